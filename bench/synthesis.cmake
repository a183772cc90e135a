# Benchmarks of kadenzo's synthesis: the work of "&Create" and "&Rhythm" over
# 10 minutes of sound. bench/rhythm_vs_sox.sh times kadenzo-render next to sox.
kit_add_bench(synthesis_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/synthesis_commands.cpp
  LIBS kadsynthesis)

kit_add_bench(lagrange_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/synthesis_lagrange.cpp
  LIBS kadsynthesis)

kit_add_bench(kernels_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/synthesis_kernels.cpp
  LIBS kadsynthesis)
