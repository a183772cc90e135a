# kadenzo's window: an envelope file of two million values loaded into the
# window's envelope and shown (run it under /usr/bin/time -v for the peak memory).
if(TARGET kadwindow)
  kit_add_bench(kadenzo_envelope_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/kadenzo_envelope.cpp LIBS kadwindow)
endif()
