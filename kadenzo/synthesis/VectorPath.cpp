#include "VectorPath.h"

bool VectorPathSupported(VectorPath path) {
#if defined(__x86_64__) && defined(__GNUC__)
  static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  static const bool avx512 =
      avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
  switch (path) {
    case VectorPath::Portable:
      return true;
    case VectorPath::Avx2:
      return avx2;
    case VectorPath::Avx512:
      return avx512;
  }
  return false;
#else
  return path == VectorPath::Portable;
#endif
}

VectorPath FastestVectorPath() {
  static const VectorPath fastest = VectorPathSupported(VectorPath::Avx512) ? VectorPath::Avx512
                                    : VectorPathSupported(VectorPath::Avx2) ? VectorPath::Avx2
                                                                            : VectorPath::Portable;
  return fastest;
}
