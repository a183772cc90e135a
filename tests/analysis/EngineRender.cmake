# analysis_render: sounds rendered by the rhythm engine and the envelope shapes
# of the round trips, shared by the analysis tests and benchmarks (included
# from both; made once).
if(NOT TARGET analysis_render)
  add_library(analysis_render STATIC ${CMAKE_CURRENT_LIST_DIR}/EngineRender.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RoundTripShapes.cpp)
  target_include_directories(analysis_render PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(analysis_render PUBLIC kadsynthesis)
  kit_warnings(analysis_render)
  kit_window_free(analysis_render)
endif()
