#pragma once
// The ways the engine's per-sample kernels can run. Every path gives exactly
// the same results, bit for bit: each kernel does, for each sample, the same
// operations in the same order as its portable form, only for several samples
// at once.

enum class VectorPath { Portable, Avx2, Avx512 };

bool VectorPathSupported(VectorPath path);
// The fastest path this processor supports.
VectorPath FastestVectorPath();
