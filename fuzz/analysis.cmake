# Arbitrary samples, rates and period ranges through the rhythm learning.
if(TARGET kadanalysis)
  kit_add_fuzzer(learn_fuzzer SOURCES ${CMAKE_CURRENT_LIST_DIR}/learn_fuzzer.cpp LIBS kadanalysis)
endif()
