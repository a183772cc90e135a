// The vector kernels, compiled once per instruction set from the one source
// VectorKernels.inc: each set's lane operations and the kernels are included
// inside a target region of their own and a namespace named after the set.

#include "VectorKernels.h"

#include <cmath>
#include <cstdint>

#include "Distortion.h"
#include "Gain.h"
#include "GainLaw.h"
#include "Lagrange.h"
#include "EnvelopeCurve.h"

#if defined(__x86_64__) && defined(__GNUC__)

#include <immintrin.h>

// GCC 12 takes the deliberately undefined start value inside some gather and
// conversion intrinsics for an uninitialised variable.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// GCC takes a target region as a pragma; clang as an attribute given to every
// function of the region.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#endif
namespace avx2 {
#include "LanesAvx2.h"
#include "VectorKernels.inc"
}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512dq,avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq,avx2,fma")
#endif
namespace avx512 {
#include "LanesAvx512.h"
#include "VectorKernels.inc"
}  // namespace avx512
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#pragma GCC diagnostic pop

#else

// Never called: no vector path is supported here.
#define KIT_NO_VECTOR_KERNELS                                                                             \
  void LagrangeReadMany(const double*, const std::int16_t* const*, int, int, const double*, int, double* const*, \
                        QuotientMethod) {}                                                                            \
  void RhythmGains(const double*, int, double*) {}                                                        \
  void PeriodLevels(const double*, int, double, double, double, double, int, int, double*) {}             \
  void Distort(const std::int16_t*, const int*, const double*, const double*, int, double*) {}
namespace avx2 {
KIT_NO_VECTOR_KERNELS
}
namespace avx512 {
KIT_NO_VECTOR_KERNELS
}
#undef KIT_NO_VECTOR_KERNELS

#endif
