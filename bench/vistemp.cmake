# The converter: tracing a large drawing and converting it to an 8192-sample envelope.
if(TARGET vtconvert)
  kit_add_bench(vistemp_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/vistemp_convert.cpp LIBS vtconvert)
endif()
