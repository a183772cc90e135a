# Benchmarks of kadenzo's synthesis: the "&Create" and "&Rhythm" commands over
# 10 minutes of sound, the 25-point read on each vector path, and a whole-process WAV-to-WAV rhythm program that
# bench/rhythm_vs_sox.sh times next to sox.
if(KIT_PROGRAMS)
  kit_add_bench(synthesis_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/synthesis_commands.cpp
    LIBS kadsynthesis)

  kit_add_bench(lagrange_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/synthesis_lagrange.cpp
    LIBS kadsynthesis)

  add_executable(rhythm_file ${CMAKE_CURRENT_LIST_DIR}/rhythm_file.cpp)
  target_link_libraries(rhythm_file PRIVATE kadsynthesis)
  kit_warnings(rhythm_file)
endif()
