#pragma once
// The vector kernels behind LagrangeReadMany, RhythmGains, PeriodLevels and
// Distort: several samples per step, each with exactly the operations of
// their portable forms in the same order. Positions too close to the ends of the sound for a whole
// window are read by LagrangeRead. A kernel may run only where
// VectorPathSupported says so.

#include <cstdint>

void LagrangeReadManyAvx2(const double* w, const std::int16_t* s, int N, const double* positions,
                          int count, double* results);
void LagrangeReadManyAvx512(const double* w, const std::int16_t* s, int N, const double* positions,
                            int count, double* results);

void RhythmGainsAvx2(const double* S, int count, double* g);
void RhythmGainsAvx512(const double* S, int count, double* g);

// level[j] = ValueAt(((first + j) / fs - T0) / Pc) * Mc over the stored
// values[0 .. last] of an envelope.
void PeriodLevelsAvx2(const double* values, int last, double fs, double T0, double Pc, double Mc,
                      int first, int count, double* level);
void PeriodLevelsAvx512(const double* values, int last, double fs, double T0, double Pc, double Mc,
                        int first, int count, double* level);

// value[k] = the Distortion type's output for source sample x[k] (see Distort).
void DistortAvx2(const std::int16_t* x, const int* peak, const double* gain,
                 const double* magnitude, int count, double* value);
void DistortAvx512(const std::int16_t* x, const int* peak, const double* gain,
                   const double* magnitude, int count, double* value);
