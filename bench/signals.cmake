# Benchmarks of the sound objects: the waveform view of ten minutes of sound
# next to a plain min/max scan, and WAV loading and saving (bench/wav_vs_sox.sh
# times sox on the same file).
kit_add_bench(signals_draw_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/signals_draw.cpp
  LIBS kadsignals)

kit_add_bench(signals_wav_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/signals_wav.cpp
  LIBS kadsignals)
