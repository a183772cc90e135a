# Benchmarks of the block library: the Fourier transform next to FFTW, the
# band-pass filter and gap filling.
if(NOT TARGET PkgConfig::FFTW3)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(FFTW3 REQUIRED IMPORTED_TARGET fftw3)
endif()

kit_add_bench(block_fft_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/block_fft.cpp
  LIBS blockfft PkgConfig::FFTW3)

kit_add_bench(block_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/block_filter_gaps.cpp
  LIBS block)
