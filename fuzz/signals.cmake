# Arbitrary bytes as a WAV file through the reader, the waveform view and a
# save-and-reload round trip.
if(TARGET kadsignals)
  kit_add_fuzzer(wav_fuzzer SOURCES ${CMAKE_CURRENT_LIST_DIR}/wav_fuzzer.cpp LIBS kadsignals)
endif()
# Arbitrary bytes as a sound file of any kind through libsndfile.
if(TARGET kadsndfile)
  kit_add_fuzzer(sndfile_fuzzer SOURCES ${CMAKE_CURRENT_LIST_DIR}/sndfile_fuzzer.cpp LIBS kadsndfile)
endif()
