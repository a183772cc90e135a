# Arbitrary bytes through the picture reader and the tracer of the converter.
if(TARGET vtconvert)
  kit_add_fuzzer(bmptrace_fuzzer SOURCES ${CMAKE_CURRENT_LIST_DIR}/bmptrace_fuzzer.cpp LIBS vtconvert)
endif()
