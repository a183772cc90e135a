#pragma once
// The vector kernels behind LagrangeReadMany, RhythmGains, PeriodLevels and
// Distort: several samples per step, each with exactly the operations of
// their portable forms in the same order, or ones that give the same values.
// There is one set per instruction set (namespaces avx2 and avx512), both
// compiled from one source over the lane width, VectorKernels.inc. Positions
// too close to the ends of the sound for a whole window are read by
// LagrangeRead; `method` picks how the quotients are taken (every way gives
// the same bits). A set may run only where VectorPathSupported says so;
// VectorKernel picks the one to run.
//
// PeriodLevels: level[j] = ValueAt(((first + j) / fs - T0) / Pc) * Mc over the
// stored values[0 .. last] of an envelope.
// Distort: value[k] = DistortSample(x[k], peak[k], gain[k], magnitude[k]).

#include <cstdint>

#include "Lagrange.h"

namespace avx2 {
void LagrangeReadMany(const double* w, const std::int16_t* const* s, int channels, int N, const double* positions,
                      int count, double* const* results, QuotientMethod method);
void RhythmGains(const double* S, int count, double* g);
void PeriodLevels(const double* values, int last, double fs, double T0, double Pc, double Mc,
                  int first, int count, double* level);
void Distort(const std::int16_t* x, const int* peak, const double* gain, const double* magnitude,
             int count, double* value);
}  // namespace avx2

namespace avx512 {
void LagrangeReadMany(const double* w, const std::int16_t* const* s, int channels, int N, const double* positions,
                      int count, double* const* results, QuotientMethod method);
void RhythmGains(const double* S, int count, double* g);
void PeriodLevels(const double* values, int last, double fs, double T0, double Pc, double Mc,
                  int first, int count, double* level);
void Distort(const std::int16_t* x, const int* peak, const double* gain, const double* magnitude,
             int count, double* value);
}  // namespace avx512
