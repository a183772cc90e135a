# Arbitrary bytes as a block file through the header check and the reader.
kit_add_fuzzer(blockfile_fuzzer SOURCES ${CMAKE_CURRENT_LIST_DIR}/blockfile_fuzzer.cpp LIBS block)
