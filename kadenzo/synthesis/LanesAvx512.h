// The lane operations of the AVX-512 kernels: eight doubles per vector.
// Included by VectorKernels.cpp only, inside its AVX-512 target region and
// namespace, before the kernels' source; LanesAvx2.h has the same names for
// four. Every operation is one IEEE operation per lane or a pure move of bits.

#define KIT_LANE [[gnu::always_inline]] inline

constexpr int kLanes = 8;
using Vec = __m512d;     // kLanes doubles
using Mask = __mmask8;   // a comparison per lane
using Index = __m256i;   // kLanes 32-bit integers
using Bits = __m512i;    // kLanes 64-bit integers
using Offset = __m512i;  // kLanes 64-bit positions
using Run = __m512i;     // per lane 4 consecutive 16-bit samples

KIT_LANE Vec Load(const double* p) { return _mm512_loadu_pd(p); }
KIT_LANE void Store(double* p, Vec v) { _mm512_storeu_pd(p, v); }
KIT_LANE Vec Splat(double v) { return _mm512_set1_pd(v); }
KIT_LANE Vec Zero() { return _mm512_setzero_pd(); }
KIT_LANE Vec LaneNumbers() { return _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7); }
// Samples p[0 .. kLanes-1] as doubles.
KIT_LANE Vec LoadSamples(const std::int16_t* p) {
  const __m128i packed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return _mm512_cvtepi32_pd(_mm256_cvtepi16_epi32(packed));
}
KIT_LANE Vec LoadInts(const int* p) {
  return _mm512_cvtepi32_pd(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}

KIT_LANE Vec Add(Vec a, Vec b) { return _mm512_add_pd(a, b); }
KIT_LANE Vec Sub(Vec a, Vec b) { return _mm512_sub_pd(a, b); }
KIT_LANE Vec Mul(Vec a, Vec b) { return _mm512_mul_pd(a, b); }
KIT_LANE Vec Div(Vec a, Vec b) { return _mm512_div_pd(a, b); }
// a b + c and c - a b, each rounded once.
KIT_LANE Vec MulAdd(Vec a, Vec b, Vec c) { return _mm512_fmadd_pd(a, b, c); }
KIT_LANE Vec NegMulAdd(Vec a, Vec b, Vec c) { return _mm512_fnmadd_pd(a, b, c); }
// 1 / a correctly rounded, without the divider, for the read's divisors
// (multiples of 2^-49 between 0.0001 and 12.5 in magnitude): the 14-bit
// estimate, then Newton steps y + y (1 - a y), each of two fused operations.
// Two make it faithful, and from a faithful one the third rounds correctly
// (Markstein's theorem), since no such divisor has a significand of all ones.
// The read takes every other quotient of one channel through it.
KIT_LANE Vec Reciprocal(Vec a) {
  const Vec one = Splat(1.0);
  Vec y = _mm512_rcp14_pd(a);
  for (int step = 0; step < 3; ++step) y = MulAdd(y, NegMulAdd(a, y, one), y);
  return y;
}
KIT_LANE Vec Abs(Vec a) { return _mm512_abs_pd(a); }
KIT_LANE Vec Negate(Vec a) { return _mm512_xor_pd(a, _mm512_set1_pd(-0.0)); }
KIT_LANE Vec Floor(Vec a) {
  return _mm512_roundscale_pd(a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
}
// Rounded to single precision and back.
KIT_LANE Vec ThroughFloat(Vec a) { return _mm512_cvtps_pd(_mm512_cvtpd_ps(a)); }

// Ordered comparisons: false where either side is NaN.
KIT_LANE Mask Greater(Vec a, Vec b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
KIT_LANE Mask GreaterEqual(Vec a, Vec b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
KIT_LANE Mask Less(Vec a, Vec b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
KIT_LANE Mask Both(Mask a, Mask b) { return a & b; }
KIT_LANE bool AllLanes(Mask m) { return m == 0xFF; }
KIT_LANE Vec Select(Mask m, Vec ifTrue, Vec ifFalse) {
  return _mm512_mask_blend_pd(m, ifFalse, ifTrue);
}

KIT_LANE Bits AsBits(Vec a) { return _mm512_castpd_si512(a); }
KIT_LANE Vec FromBits(Bits a) { return _mm512_castsi512_pd(a); }
KIT_LANE Bits SplatBits(std::uint64_t v) { return _mm512_set1_epi64(static_cast<long long>(v)); }
KIT_LANE Bits AddBits(Bits a, Bits b) { return _mm512_add_epi64(a, b); }
KIT_LANE Bits SubBits(Bits a, Bits b) { return _mm512_sub_epi64(a, b); }
KIT_LANE Bits ShiftBitsLeft(Bits a, int count) { return _mm512_slli_epi64(a, count); }

// Truncated toward zero; the lanes must lie in the range of int.
KIT_LANE Index Truncate(Vec a) { return _mm512_cvttpd_epi32(a); }
KIT_LANE Vec FromIndex(Index i) { return _mm512_cvtepi32_pd(i); }
KIT_LANE Index SplatIndex(int v) { return _mm256_set1_epi32(v); }
KIT_LANE Index AddIndex(Index a, Index b) { return _mm256_add_epi32(a, b); }
KIT_LANE Index SubIndex(Index a, Index b) { return _mm256_sub_epi32(a, b); }
KIT_LANE Index MinIndex(Index a, Index b) { return _mm256_min_epi32(a, b); }
KIT_LANE int LowestIndex(Index v) {
  v = _mm256_min_epi32(v, _mm256_permute2x128_si256(v, v, 1));
  v = _mm256_min_epi32(v, _mm256_shuffle_epi32(v, 0x4E));
  v = _mm256_min_epi32(v, _mm256_shuffle_epi32(v, 0xB1));
  return _mm256_cvtsi256_si32(v);
}
KIT_LANE int HighestIndex(Index v) {
  v = _mm256_max_epi32(v, _mm256_permute2x128_si256(v, v, 1));
  v = _mm256_max_epi32(v, _mm256_shuffle_epi32(v, 0x4E));
  v = _mm256_max_epi32(v, _mm256_shuffle_epi32(v, 0xB1));
  return _mm256_cvtsi256_si32(v);
}
// Whether lane l of v is v[0] + l in every lane.
KIT_LANE bool Consecutive(Index v) {
  const __m256i fromFirst = _mm256_sub_epi32(v, _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  const __m256i first = _mm256_permutevar8x32_epi32(fromFirst, _mm256_setzero_si256());
  return _mm256_movemask_epi8(_mm256_cmpeq_epi32(fromFirst, first)) == -1;
}
KIT_LANE Vec Gather(const double* base, Index i) { return _mm512_i32gather_pd(i, base, 8); }

// Lane l of PickOf2(low, high, offset) is element offset[l] of the
// 2 kLanes values low, high (0 <= offset[l] < 2 kLanes).
KIT_LANE Offset MakeOffset(Index o) { return _mm512_cvtepi32_epi64(o); }
KIT_LANE Offset AddOffset(Offset o, int v) { return _mm512_add_epi64(o, _mm512_set1_epi64(v)); }
KIT_LANE Vec PickOf2(Vec low, Vec high, Offset o) { return _mm512_permutex2var_pd(low, o, high); }

// Per lane the 4 samples s[first[l] .. first[l] + 3].
KIT_LANE Run GatherRun(const std::int16_t* s, Index first, int offset) {
  return _mm512_i32gather_epi64(_mm256_add_epi32(first, _mm256_set1_epi32(offset)), s, 2);
}
// Sample u (0 .. 3) of every lane's run, as doubles.
KIT_LANE Vec RunSample(Run run, int u) {
  return _mm512_cvtepi64_pd(_mm512_srai_epi64(_mm512_slli_epi64(run, 48 - 16 * u), 48));
}

#undef KIT_LANE
