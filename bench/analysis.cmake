# Benchmarks of the rhythm learning: 10 minutes of the engine's renders at
# 44.1 kHz, and bench/learn_vs_aubio.sh's learner of raw sox files.
include(${PROJECT_SOURCE_DIR}/tests/analysis/EngineRender.cmake)
kit_add_bench(analysis_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_learn.cpp
  LIBS kadanalysis analysis_render)

# learn_raw: prints the period learned from a raw 16-bit mono file.
add_executable(learn_raw ${CMAKE_CURRENT_LIST_DIR}/learn_raw.cpp)
target_link_libraries(learn_raw PRIVATE kadanalysis)
kit_warnings(learn_raw)

# learn_grid: the learning's round trip over a wide grid of engine renders.
add_executable(learn_grid ${CMAKE_CURRENT_LIST_DIR}/learn_grid.cpp)
target_link_libraries(learn_grid PRIVATE kadanalysis analysis_render)
kit_warnings(learn_grid)
