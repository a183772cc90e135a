#pragma once
// The 25-point Lagrange interpolation through which the time-shifting rhythm
// types read the source at fractional sample positions.

#include <cstdint>

#include "VectorPath.h"

constexpr int kLagrangePoints = 25;

// w[j] = (-1)^j / j! / (24 - j)!, j = 0 .. 24: the barycentric weights of 25
// equally spaced nodes.
void LagrangeWeights(double w[kLagrangePoints]);

// The source s[0 .. N-1] read at position x through the 25 samples centred on
// the nearest one, n = trunc(x + 0.5):
//   d = x - (n - 12),  result = prod_k (d - k) * sum_j s[n - 12 + j] * w[j] / (d - j)
// with k, j = 0 .. 24, the product taken in order of k and the sum in order of
// j, leaving out the samples outside the sound. Within 0.0001 of n the result
// is s[n] exactly (0 outside the sound). A position with no sample of the sound
// among its 25 gives 0; a NaN position gives NaN.
double LagrangeRead(const double w[kLagrangePoints], const std::int16_t* s, int N, double x);

// How the vector reads take their quotients: every one from the divider;
// through the divisors' reciprocals and two corrections; or every other
// window sample from the divider and the rest through one reciprocal, from
// the divider, that the channels share. All give the same bits; which is
// faster depends on the processor's divider against its units of fused
// multiply-adds.
enum class QuotientMethod { Divisions, Reciprocals, Alternating };

// The faster method on path for one channel or two read together, found once
// per process by timing a short read each way (a fraction of a millisecond).
QuotientMethod FasterQuotientMethod(VectorPath path, int channels);

// results[c][k] = LagrangeRead(w, s[c], N, positions[k]) for the channels
// c = 0 .. channels - 1 and k = 0 .. count - 1, on the given path if this
// processor supports it (else the portable one), taking the quotients by the
// given method. Two channels read together share the work that depends on the
// positions alone.
void LagrangeReadMany(const double w[kLagrangePoints], const std::int16_t* const* s, int channels, int N,
                      const double* positions, int count, double* const* results, VectorPath path,
                      QuotientMethod method);

// The same by the faster method.
void LagrangeReadMany(const double w[kLagrangePoints], const std::int16_t* const* s, int channels, int N,
                      const double* positions, int count, double* const* results,
                      VectorPath path = FastestVectorPath());

// The same for one channel.
inline void LagrangeReadMany(const double w[kLagrangePoints], const std::int16_t* s, int N, const double* positions,
                             int count, double* results, VectorPath path = FastestVectorPath()) {
  LagrangeReadMany(w, &s, 1, N, positions, count, &results, path);
}
