#pragma once
// The gain law of the rhythm: the envelope level S gives the gain
//   g = 20^(0.1 (R S - R)), R = 10,
// that is 20^(S - 1): S = 1 gives 1, S = 0 gives 0.05. It is computed as
// exp(y ln 20) with y = 0.1 (R S - R), by one fixed sequence of operations, so
// that every vector path gives the same bits: within a relative 1e-14 of the
// exact power for S in [-2, 3], within 1e-13 up to |S| = 200. Beyond the range
// of numbers it is infinity or 0; NaN stays NaN.

#include "VectorPath.h"

double RhythmGain(double S);

// g[k] = RhythmGain(S[k]) for k = 0 .. count - 1, on the given path if this
// processor supports it (else the portable one).
void RhythmGains(const double* S, int count, double* g, VectorPath path = FastestVectorPath());
