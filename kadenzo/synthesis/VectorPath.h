#pragma once
// The ways the engine's per-sample kernels can run. Every path gives exactly
// the same results, bit for bit: each kernel does, for each sample, the same
// operations in the same order as its portable form, only for several samples
// at once.

enum class VectorPath { Portable, Avx2, Avx512 };

bool VectorPathSupported(VectorPath path);
// The fastest path this processor supports.
VectorPath FastestVectorPath();

// The form of a kernel that runs on path: its avx2 or avx512 form where this
// processor supports the path, null for the portable path or where it does not
// (the caller then runs the portable form).
template <typename Function>
Function* VectorKernel(VectorPath path, Function* avx2, Function* avx512) {
  if (!VectorPathSupported(path)) return nullptr;
  switch (path) {
    case VectorPath::Avx512:
      return avx512;
    case VectorPath::Avx2:
      return avx2;
    case VectorPath::Portable:
      return nullptr;
  }
  return nullptr;
}
