#pragma once
// The autocorrelation of a real sequence through the block library's FFT.

#include <vector>

// r[tau] = sum over j = 0 .. n - 1 - tau of x[j] x[j + tau], for tau = 0 ..
// maxLag (0 <= maxLag < n): the plain (not circular, not normalised) sum, to
// rounding. Zero-pads to a power of two of at least n + maxLag values and
// transforms once each way, so it allocates that block and the FFT's tables.
std::vector<double> Autocorrelation(const double* x, int n, int maxLag);
