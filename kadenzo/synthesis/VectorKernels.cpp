#include "VectorKernels.h"

#include "Gain.h"
#include "GainLaw.h"
#include "Lagrange.h"
#include "EnvelopeCurve.h"
#include "RhythmEngine.h"

#if defined(__x86_64__) && defined(__GNUC__)

#include <immintrin.h>

// GCC 12 takes the deliberately undefined start value inside some gather and
// conversion intrinsics for an uninitialised variable.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// Four positions at a time (AVX2). Each lane reads its 25 samples
// s[n - 12 .. n + 12] as 13 overlapping pairs:
// a 32-bit gather at s[n - 13 + 2t] brings s[n - 13 + 2t] in its low half and
// s[n - 12 + 2t] in its high half, that is samples j = 2t - 1 and j = 2t of
// the window. So a lane needs s[n - 13] .. s[n + 12] inside the sound, which
// holds for 13 <= x + 0.5 < N - 12; other groups go through LagrangeRead.

namespace {

constexpr int kHalf = kLagrangePoints / 2;
constexpr int kPairs = kHalf + 1;
constexpr double kFirstInside = kHalf + 1.0;
constexpr double kExact = 0.0001;

}  // namespace

__attribute__((target("avx2"))) void LagrangeReadManyAvx2(const double* w, const std::int16_t* s,
                                                          int N, const double* positions, int count,
                                                          double* results) {
  constexpr int kLanes = 4;
  const __m256d half = _mm256_set1_pd(0.5);
  const __m256d firstInside = _mm256_set1_pd(kFirstInside);
  const __m256d pastInside = _mm256_set1_pd(N - static_cast<double>(kHalf));
  const __m256d exact = _mm256_set1_pd(kExact);
  const __m256d signBit = _mm256_set1_pd(-0.0);
  const __m256d halfWindow = _mm256_set1_pd(kHalf);
  const int* base = reinterpret_cast<const int*>(s);
  int k = 0;
  for (; k + kLanes <= count; k += kLanes) {
    const __m256d x = _mm256_loadu_pd(positions + k);
    const __m256d h = _mm256_add_pd(x, half);
    const __m256d inside = _mm256_and_pd(_mm256_cmp_pd(h, firstInside, _CMP_GE_OQ),
                                         _mm256_cmp_pd(h, pastInside, _CMP_LT_OQ));
    if (_mm256_movemask_pd(inside) != (1 << kLanes) - 1) {
      for (int lane = 0; lane < kLanes; ++lane) {
        results[k + lane] = LagrangeRead(w, s, N, positions[k + lane]);
      }
      continue;
    }
    const __m128i n = _mm256_cvttpd_epi32(h);
    const __m256d nd = _mm256_cvtepi32_pd(n);
    const __m256d distance = _mm256_andnot_pd(signBit, _mm256_sub_pd(x, nd));
    const __m256d atSample = _mm256_cmp_pd(distance, exact, _CMP_LT_OQ);
    const __m256d d = _mm256_sub_pd(x, _mm256_sub_pd(nd, halfWindow));

    __m256d product = d;
#pragma GCC unroll 32
    for (int j = 1; j < kLagrangePoints; ++j) {
      product = _mm256_mul_pd(product, _mm256_sub_pd(d, _mm256_set1_pd(j)));
    }

    const __m128i first = _mm_sub_epi32(n, _mm_set1_epi32(kHalf + 1));
    __m256d sum = _mm256_setzero_pd();
    __m256d centre = _mm256_setzero_pd();
#pragma GCC unroll 32
    for (int t = 0; t < kPairs; ++t) {
      const __m128i pair =
          _mm_i32gather_epi32(base, _mm_add_epi32(first, _mm_set1_epi32(2 * t)), 2);
      if (t > 0) {
        const int j = 2 * t - 1;
        const __m256d v = _mm256_cvtepi32_pd(_mm_srai_epi32(_mm_slli_epi32(pair, 16), 16));
        sum = _mm256_add_pd(sum, _mm256_div_pd(_mm256_mul_pd(v, _mm256_set1_pd(w[j])),
                                               _mm256_sub_pd(d, _mm256_set1_pd(j))));
      }
      const int j = 2 * t;
      const __m256d v = _mm256_cvtepi32_pd(_mm_srai_epi32(pair, 16));
      if (j == kHalf) centre = v;
      sum = _mm256_add_pd(sum, _mm256_div_pd(_mm256_mul_pd(v, _mm256_set1_pd(w[j])),
                                             _mm256_sub_pd(d, _mm256_set1_pd(j))));
    }
    _mm256_storeu_pd(results + k, _mm256_blendv_pd(_mm256_mul_pd(product, sum), centre, atSample));
  }
  for (; k < count; ++k) results[k] = LagrangeRead(w, s, N, positions[k]);
}

#define KIT_AVX512 __attribute__((target("avx512f,avx512dq,avx2")))

namespace {

// One term of the sum, sample j of the window with value v.
KIT_AVX512 inline __m512d AddTerm(__m512d sum, __m512d v, const double* w, __m512d d, int j) {
  return _mm512_add_pd(sum, _mm512_div_pd(_mm512_mul_pd(v, _mm512_set1_pd(w[j])),
                                          _mm512_sub_pd(d, _mm512_set1_pd(j))));
}

KIT_AVX512 inline int HorizontalMin(__m256i v) {
  v = _mm256_min_epi32(v, _mm256_permute2x128_si256(v, v, 1));
  v = _mm256_min_epi32(v, _mm256_shuffle_epi32(v, 0x4E));
  v = _mm256_min_epi32(v, _mm256_shuffle_epi32(v, 0xB1));
  return _mm256_cvtsi256_si32(v);
}

KIT_AVX512 inline int HorizontalMax(__m256i v) {
  v = _mm256_max_epi32(v, _mm256_permute2x128_si256(v, v, 1));
  v = _mm256_max_epi32(v, _mm256_shuffle_epi32(v, 0x4E));
  v = _mm256_max_epi32(v, _mm256_shuffle_epi32(v, 0xB1));
  return _mm256_cvtsi256_si32(v);
}

}  // namespace

// Eight positions at a time. Their windows are fetched one of two ways:
// - when the eight centres lie within 8 samples of each other (positions that
//   move at about one sample per sample, as most delays do), the 48 samples
//   from the lowest window's start are loaded once and each lane's sample j is
//   picked out of them by a permutation;
// - otherwise each lane gathers its window as 7 runs of 4 samples, which
//   needs s[n - 12] .. s[n + 15] inside the sound.
KIT_AVX512 void LagrangeReadManyAvx512(const double* w, const std::int16_t* s, int N,
                                       const double* positions, int count, double* results) {
  constexpr int kLanes = 8;
  constexpr int kRun = 4;          // samples per 64-bit gather
  constexpr int kLoaded = 48;      // samples loaded for close centres
  constexpr int kCloseSpread = 8;  // largest centre spread served by them
  const __m512d half = _mm512_set1_pd(0.5);
  const __m512d firstInside = _mm512_set1_pd(kHalf);
  const __m512d pastInside = _mm512_set1_pd(N - static_cast<double>(kHalf + kRun - 1));
  const __m512d exact = _mm512_set1_pd(kExact);
  const __m512d halfWindow = _mm512_set1_pd(kHalf);
  int k = 0;
  for (; k + kLanes <= count; k += kLanes) {
    const __m512d x = _mm512_loadu_pd(positions + k);
    const __m512d h = _mm512_add_pd(x, half);
    const __mmask8 inside = _mm512_cmp_pd_mask(h, firstInside, _CMP_GE_OQ) &
                            _mm512_cmp_pd_mask(h, pastInside, _CMP_LT_OQ);
    if (inside != 0xFF) {
      for (int lane = 0; lane < kLanes; ++lane) {
        results[k + lane] = LagrangeRead(w, s, N, positions[k + lane]);
      }
      continue;
    }
    const __m256i n = _mm512_cvttpd_epi32(h);
    const __m512d nd = _mm512_cvtepi32_pd(n);
    const __mmask8 atSample =
        _mm512_cmp_pd_mask(_mm512_abs_pd(_mm512_sub_pd(x, nd)), exact, _CMP_LT_OQ);
    const __m512d d = _mm512_sub_pd(x, _mm512_sub_pd(nd, halfWindow));

    __m512d product = d;
#pragma GCC unroll 32
    for (int j = 1; j < kLagrangePoints; ++j) {
      product = _mm512_mul_pd(product, _mm512_sub_pd(d, _mm512_set1_pd(j)));
    }

    __m512d sum = _mm512_setzero_pd();
    __m512d centre = _mm512_setzero_pd();
    const int lowest = HorizontalMin(n);
    const int start = lowest - kHalf;
    if (HorizontalMax(n) - lowest <= kCloseSpread && start + kLoaded <= N) {
      __m512d loaded[kLoaded / kLanes];
#pragma GCC unroll 32
      for (int r = 0; r < kLoaded / kLanes; r += 2) {
        const __m512i wide = _mm512_cvtepi16_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + start + r * kLanes)));
        loaded[r] = _mm512_cvtepi32_pd(_mm512_castsi512_si256(wide));
        loaded[r + 1] = _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(wide, 1));
      }
      const __m512i offset = _mm512_cvtepi32_epi64(_mm256_sub_epi32(n, _mm256_set1_epi32(lowest)));
#pragma GCC unroll 32
      for (int j = 0; j < kLagrangePoints; ++j) {
        const int r = j / kLanes;
        const __m512i index = _mm512_add_epi64(offset, _mm512_set1_epi64(j % kLanes));
        const __m512d v = _mm512_permutex2var_pd(loaded[r], index, loaded[r + 1]);
        if (j == kHalf) centre = v;
        sum = AddTerm(sum, v, w, d, j);
      }
    } else {
      const __m256i first = _mm256_sub_epi32(n, _mm256_set1_epi32(kHalf));
      __m512i run = _mm512_setzero_si512();
#pragma GCC unroll 32
      for (int j = 0; j < kLagrangePoints; ++j) {
        const int u = j % kRun;
        if (u == 0)
          run = _mm512_i32gather_epi64(_mm256_add_epi32(first, _mm256_set1_epi32(j)), s, 2);
        const __m512d v =
            _mm512_cvtepi64_pd(_mm512_srai_epi64(_mm512_slli_epi64(run, 48 - 16 * u), 48));
        if (j == kHalf) centre = v;
        sum = AddTerm(sum, v, w, d, j);
      }
    }
    _mm512_storeu_pd(results + k,
                     _mm512_mask_blend_pd(atSample, _mm512_mul_pd(product, sum), centre));
  }
  for (; k < count; ++k) results[k] = LagrangeRead(w, s, N, positions[k]);
}

KIT_AVX512 void RhythmGainsAvx512(const double* S, int count, double* g) {
  using namespace gain_law;
  constexpr int kLanes = 8;
  const __m512d R = _mm512_set1_pd(kR);
  const __m512d tenth = _mm512_set1_pd(0.1);
  const __m512d ln20 = _mm512_set1_pd(kLn20);
  const __m512d log2e = _mm512_set1_pd(kLog2e);
  const __m512d shifter = _mm512_set1_pd(kShifter);
  const __m512d ln2Hi = _mm512_set1_pd(kLn2Hi);
  const __m512d ln2Lo = _mm512_set1_pd(kLn2Lo);
  const __m512d highest = _mm512_set1_pd(kHighest);
  const __m512d lowest = _mm512_set1_pd(kLowest);
  const __m512d infinity = _mm512_set1_pd(__builtin_inf());
  const __m512i shifterBits = _mm512_set1_epi64(static_cast<long long>(kShifterBits));
  const __m512i bias = _mm512_set1_epi64(1023);
  int k = 0;
  for (; k + kLanes <= count; k += kLanes) {
    const __m512d level = _mm512_loadu_pd(S + k);
    const __m512d z =
        _mm512_mul_pd(_mm512_mul_pd(tenth, _mm512_sub_pd(_mm512_mul_pd(R, level), R)), ln20);
    const __m512d shifted = _mm512_add_pd(_mm512_mul_pd(z, log2e), shifter);
    const __m512d e = _mm512_sub_pd(shifted, shifter);
    const __m512d r =
        _mm512_sub_pd(_mm512_sub_pd(z, _mm512_mul_pd(e, ln2Hi)), _mm512_mul_pd(e, ln2Lo));
    __m512d p = _mm512_set1_pd(kInverseFactorial[kDegree]);
#pragma GCC unroll 32
    for (int n = kDegree - 1; n >= 0; --n) {
      p = _mm512_add_pd(_mm512_mul_pd(p, r), _mm512_set1_pd(kInverseFactorial[n]));
    }
    const __m512i exponent = _mm512_sub_epi64(_mm512_castpd_si512(shifted), shifterBits);
    const __m512d scale =
        _mm512_castsi512_pd(_mm512_slli_epi64(_mm512_add_epi64(exponent, bias), 52));
    __m512d gain = _mm512_mul_pd(p, scale);
    gain = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(z, highest, _CMP_GT_OQ), gain, infinity);
    gain =
        _mm512_mask_blend_pd(_mm512_cmp_pd_mask(z, lowest, _CMP_LT_OQ), gain, _mm512_setzero_pd());
    _mm512_storeu_pd(g + k, gain);
  }
  for (; k < count; ++k) g[k] = RhythmGain(S[k]);
}

KIT_AVX512 void PeriodLevelsAvx512(const double* values, int last, double fs, double T0, double Pc,
                                   double Mc, int first, int count, double* level) {
  constexpr int kLanes = 8;
  const __m512d lanes = _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7);
  const __m512d vfs = _mm512_set1_pd(fs);
  const __m512d vT0 = _mm512_set1_pd(T0);
  const __m512d vPc = _mm512_set1_pd(Pc);
  const __m512d vMc = _mm512_set1_pd(Mc);
  const __m512d zero = _mm512_setzero_pd();
  const __m512d one = _mm512_set1_pd(1.0);
  const __m512d m = _mm512_set1_pd(last);
  const __m512d lastValue = _mm512_set1_pd(values[last]);
  const __m256i secondLast = _mm256_set1_epi32(last - 1);
  int j = 0;
  for (; j + kLanes <= count; j += kLanes) {
    const __m512d i = _mm512_add_pd(_mm512_set1_pd(first + j), lanes);
    __m512d x = _mm512_div_pd(_mm512_sub_pd(_mm512_div_pd(i, vfs), vT0), vPc);
    x = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(x, zero, _CMP_GE_OQ), zero, x);
    x = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(x, one, _CMP_GT_OQ), x, one);
    const __m512d k =
        _mm512_roundscale_pd(_mm512_mul_pd(m, x), _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __mmask8 inside = _mm512_cmp_pd_mask(k, m, _CMP_LT_OQ);
    const __m512d f =
        _mm512_cvtps_pd(_mm512_cvtpd_ps(_mm512_mul_pd(_mm512_sub_pd(x, _mm512_div_pd(k, m)), m)));
    // Lanes at the last value would gather past it; they take it whole below.
    const __m256i index = _mm256_min_epi32(_mm512_cvttpd_epi32(k), secondLast);
    // Neighbouring samples mostly share their envelope values: when the eight
    // indices span less than 15, the 16 values from the lowest serve all.
    const int lowest = HorizontalMin(index);
    __m512d below;
    __m512d above;
    if (HorizontalMax(index) - lowest < 15 && lowest + 16 <= last + 1) {
      const __m512d low = _mm512_loadu_pd(values + lowest);
      const __m512d high = _mm512_loadu_pd(values + lowest + 8);
      const __m512i offset =
          _mm512_cvtepi32_epi64(_mm256_sub_epi32(index, _mm256_set1_epi32(lowest)));
      below = _mm512_permutex2var_pd(low, offset, high);
      above = _mm512_permutex2var_pd(low, _mm512_add_epi64(offset, _mm512_set1_epi64(1)), high);
    } else {
      below = _mm512_i32gather_pd(index, values, 8);
      above = _mm512_i32gather_pd(index, values + 1, 8);
    }
    const __m512d between =
        _mm512_add_pd(_mm512_mul_pd(below, _mm512_sub_pd(one, f)), _mm512_mul_pd(above, f));
    _mm512_storeu_pd(level + j,
                     _mm512_mul_pd(_mm512_mask_blend_pd(inside, lastValue, between), vMc));
  }
  for (; j < count; ++j)
    level[j] = InterpolateEnvelope(values, last, ((first + j) / fs - T0) / Pc) * Mc;
}

__attribute__((target("avx2"))) void PeriodLevelsAvx2(const double* values, int last, double fs,
                                                      double T0, double Pc, double Mc, int first,
                                                      int count, double* level) {
  constexpr int kLanes = 4;
  const __m256d lanes = _mm256_setr_pd(0, 1, 2, 3);
  const __m256d vfs = _mm256_set1_pd(fs);
  const __m256d vT0 = _mm256_set1_pd(T0);
  const __m256d vPc = _mm256_set1_pd(Pc);
  const __m256d vMc = _mm256_set1_pd(Mc);
  const __m256d zero = _mm256_setzero_pd();
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d m = _mm256_set1_pd(last);
  const __m256d lastValue = _mm256_set1_pd(values[last]);
  const __m128i secondLast = _mm_set1_epi32(last - 1);
  int j = 0;
  for (; j + kLanes <= count; j += kLanes) {
    const __m256d i = _mm256_add_pd(_mm256_set1_pd(first + j), lanes);
    __m256d x = _mm256_div_pd(_mm256_sub_pd(_mm256_div_pd(i, vfs), vT0), vPc);
    x = _mm256_blendv_pd(zero, x, _mm256_cmp_pd(x, zero, _CMP_GE_OQ));
    x = _mm256_blendv_pd(x, one, _mm256_cmp_pd(x, one, _CMP_GT_OQ));
    const __m256d k =
        _mm256_round_pd(_mm256_mul_pd(m, x), _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __m256d inside = _mm256_cmp_pd(k, m, _CMP_LT_OQ);
    const __m256d f =
        _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_mul_pd(_mm256_sub_pd(x, _mm256_div_pd(k, m)), m)));
    const __m128i index = _mm_min_epi32(_mm256_cvttpd_epi32(k), secondLast);
    const __m256d below = _mm256_i32gather_pd(values, index, 8);
    const __m256d above = _mm256_i32gather_pd(values + 1, index, 8);
    const __m256d between =
        _mm256_add_pd(_mm256_mul_pd(below, _mm256_sub_pd(one, f)), _mm256_mul_pd(above, f));
    _mm256_storeu_pd(level + j, _mm256_mul_pd(_mm256_blendv_pd(lastValue, between, inside), vMc));
  }
  for (; j < count; ++j)
    level[j] = InterpolateEnvelope(values, last, ((first + j) / fs - T0) / Pc) * Mc;
}

__attribute__((target("avx2"))) void RhythmGainsAvx2(const double* S, int count, double* g) {
  using namespace gain_law;
  constexpr int kLanes = 4;
  const __m256d R = _mm256_set1_pd(kR);
  const __m256d tenth = _mm256_set1_pd(0.1);
  const __m256d ln20 = _mm256_set1_pd(kLn20);
  const __m256d log2e = _mm256_set1_pd(kLog2e);
  const __m256d shifter = _mm256_set1_pd(kShifter);
  const __m256d ln2Hi = _mm256_set1_pd(kLn2Hi);
  const __m256d ln2Lo = _mm256_set1_pd(kLn2Lo);
  const __m256d highest = _mm256_set1_pd(kHighest);
  const __m256d lowest = _mm256_set1_pd(kLowest);
  const __m256d infinity = _mm256_set1_pd(__builtin_inf());
  const __m256i shifterBits = _mm256_set1_epi64x(static_cast<long long>(kShifterBits));
  const __m256i bias = _mm256_set1_epi64x(1023);
  int k = 0;
  for (; k + kLanes <= count; k += kLanes) {
    const __m256d level = _mm256_loadu_pd(S + k);
    const __m256d z =
        _mm256_mul_pd(_mm256_mul_pd(tenth, _mm256_sub_pd(_mm256_mul_pd(R, level), R)), ln20);
    const __m256d shifted = _mm256_add_pd(_mm256_mul_pd(z, log2e), shifter);
    const __m256d e = _mm256_sub_pd(shifted, shifter);
    const __m256d r =
        _mm256_sub_pd(_mm256_sub_pd(z, _mm256_mul_pd(e, ln2Hi)), _mm256_mul_pd(e, ln2Lo));
    __m256d p = _mm256_set1_pd(kInverseFactorial[kDegree]);
#pragma GCC unroll 32
    for (int n = kDegree - 1; n >= 0; --n) {
      p = _mm256_add_pd(_mm256_mul_pd(p, r), _mm256_set1_pd(kInverseFactorial[n]));
    }
    const __m256i exponent = _mm256_sub_epi64(_mm256_castpd_si256(shifted), shifterBits);
    const __m256d scale =
        _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_add_epi64(exponent, bias), 52));
    __m256d gain = _mm256_mul_pd(p, scale);
    gain = _mm256_blendv_pd(gain, infinity, _mm256_cmp_pd(z, highest, _CMP_GT_OQ));
    gain = _mm256_blendv_pd(gain, _mm256_setzero_pd(), _mm256_cmp_pd(z, lowest, _CMP_LT_OQ));
    _mm256_storeu_pd(g + k, gain);
  }
  for (; k < count; ++k) g[k] = RhythmGain(S[k]);
}

KIT_AVX512 void DistortAvx512(const std::int16_t* x, const int* peak, const double* gain,
                              const double* magnitude, int count, double* value) {
  constexpr int kLanes = 8;
  const __m512d zero = _mm512_setzero_pd();
  const __m512d signBit = _mm512_set1_pd(-0.0);
  int k = 0;
  for (; k + kLanes <= count; k += kLanes) {
    const __m512d sample = _mm512_cvtepi32_pd(
        _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + k))));
    const __m512d limit = _mm512_mul_pd(
        _mm512_cvtepi32_pd(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(peak + k))),
        _mm512_loadu_pd(gain + k));
    const __mmask8 over = _mm512_cmp_pd_mask(
        _mm512_abs_pd(_mm512_div_pd(sample, _mm512_loadu_pd(magnitude + k))), limit, _CMP_GT_OQ);
    const __mmask8 positive = _mm512_cmp_pd_mask(sample, zero, _CMP_GT_OQ);
    const __m512d clipped = _mm512_mask_blend_pd(positive, _mm512_xor_pd(limit, signBit), limit);
    _mm512_storeu_pd(value + k, _mm512_mask_blend_pd(over, sample, clipped));
  }
  for (; k < count; ++k) value[k] = DistortSample(x[k], peak[k], gain[k], magnitude[k]);
}

__attribute__((target("avx2"))) void DistortAvx2(const std::int16_t* x, const int* peak,
                                                 const double* gain, const double* magnitude,
                                                 int count, double* value) {
  constexpr int kLanes = 4;
  const __m256d zero = _mm256_setzero_pd();
  const __m256d signBit = _mm256_set1_pd(-0.0);
  int k = 0;
  for (; k + kLanes <= count; k += kLanes) {
    const __m256d sample = _mm256_cvtepi32_pd(
        _mm_cvtepi16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(x + k))));
    const __m256d limit = _mm256_mul_pd(
        _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(peak + k))),
        _mm256_loadu_pd(gain + k));
    const __m256d over = _mm256_cmp_pd(
        _mm256_andnot_pd(signBit, _mm256_div_pd(sample, _mm256_loadu_pd(magnitude + k))), limit,
        _CMP_GT_OQ);
    const __m256d positive = _mm256_cmp_pd(sample, zero, _CMP_GT_OQ);
    const __m256d clipped = _mm256_blendv_pd(_mm256_xor_pd(limit, signBit), limit, positive);
    _mm256_storeu_pd(value + k, _mm256_blendv_pd(sample, clipped, over));
  }
  for (; k < count; ++k) value[k] = DistortSample(x[k], peak[k], gain[k], magnitude[k]);
}

#pragma GCC diagnostic pop

#else

// Never called: no vector path is supported here.
void LagrangeReadManyAvx2(const double*, const std::int16_t*, int, const double*, int, double*) {}
void LagrangeReadManyAvx512(const double*, const std::int16_t*, int, const double*, int, double*) {}
void RhythmGainsAvx2(const double*, int, double*) {}
void RhythmGainsAvx512(const double*, int, double*) {}
void PeriodLevelsAvx2(const double*, int, double, double, double, double, int, int, double*) {}
void PeriodLevelsAvx512(const double*, int, double, double, double, double, int, int, double*) {}
void DistortAvx2(const std::int16_t*, const int*, const double*, const double*, int, double*) {}
void DistortAvx512(const std::int16_t*, const int*, const double*, const double*, int, double*) {}

#endif
