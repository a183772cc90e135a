// The lane operations of the AVX2 kernels: four doubles per vector. Included
// by VectorKernels.cpp only, inside its AVX2 target region and namespace,
// before the kernels' source; LanesAvx512.h has the same names for eight.
// Every operation is one IEEE operation per lane or a pure move of bits.

#define KIT_LANE [[gnu::always_inline]] inline

constexpr int kLanes = 4;
using Vec = __m256d;      // kLanes doubles
using Mask = __m256d;     // a comparison per lane
using Index = __m128i;    // kLanes 32-bit integers
using Bits = __m256i;     // kLanes 64-bit integers
using Offset = __m256i;   // per lane the two 32-bit halves 2 o, 2 o + 1 of a position o

KIT_LANE Vec Load(const double* p) { return _mm256_loadu_pd(p); }
KIT_LANE void Store(double* p, Vec v) { _mm256_storeu_pd(p, v); }
KIT_LANE Vec Splat(double v) { return _mm256_set1_pd(v); }
KIT_LANE Vec Zero() { return _mm256_setzero_pd(); }
KIT_LANE Vec LaneNumbers() { return _mm256_setr_pd(0, 1, 2, 3); }
// Samples p[0 .. kLanes-1] as doubles.
KIT_LANE Vec LoadSamples(const std::int16_t* p) {
  const __m128i packed = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  return _mm256_cvtepi32_pd(_mm_cvtepi16_epi32(packed));
}
KIT_LANE Vec LoadInts(const int* p) {
  return _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

KIT_LANE Vec Add(Vec a, Vec b) { return _mm256_add_pd(a, b); }
KIT_LANE Vec Sub(Vec a, Vec b) { return _mm256_sub_pd(a, b); }
KIT_LANE Vec Mul(Vec a, Vec b) { return _mm256_mul_pd(a, b); }
KIT_LANE Vec Div(Vec a, Vec b) { return _mm256_div_pd(a, b); }
// a b + c and c - a b, each rounded once.
KIT_LANE Vec MulAdd(Vec a, Vec b, Vec c) { return _mm256_fmadd_pd(a, b, c); }
KIT_LANE Vec NegMulAdd(Vec a, Vec b, Vec c) { return _mm256_fnmadd_pd(a, b, c); }
KIT_LANE Vec Abs(Vec a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
KIT_LANE Vec Negate(Vec a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
KIT_LANE Vec Floor(Vec a) { return _mm256_round_pd(a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }
// Rounded to single precision and back.
KIT_LANE Vec ThroughFloat(Vec a) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(a)); }

// Ordered comparisons: false where either side is NaN.
KIT_LANE Mask Greater(Vec a, Vec b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
KIT_LANE Mask GreaterEqual(Vec a, Vec b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
KIT_LANE Mask Less(Vec a, Vec b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
KIT_LANE Mask Both(Mask a, Mask b) { return _mm256_and_pd(a, b); }
KIT_LANE bool AllLanes(Mask m) { return _mm256_movemask_pd(m) == (1 << kLanes) - 1; }
KIT_LANE Vec Select(Mask m, Vec ifTrue, Vec ifFalse) {
  return _mm256_blendv_pd(ifFalse, ifTrue, m);
}

KIT_LANE Bits AsBits(Vec a) { return _mm256_castpd_si256(a); }
KIT_LANE Vec FromBits(Bits a) { return _mm256_castsi256_pd(a); }
KIT_LANE Bits SplatBits(std::uint64_t v) { return _mm256_set1_epi64x(static_cast<long long>(v)); }
KIT_LANE Bits AddBits(Bits a, Bits b) { return _mm256_add_epi64(a, b); }
KIT_LANE Bits SubBits(Bits a, Bits b) { return _mm256_sub_epi64(a, b); }
KIT_LANE Bits ShiftBitsLeft(Bits a, int count) { return _mm256_slli_epi64(a, count); }

// Truncated toward zero; the lanes must lie in the range of int.
KIT_LANE Index Truncate(Vec a) { return _mm256_cvttpd_epi32(a); }
KIT_LANE Vec FromIndex(Index i) { return _mm256_cvtepi32_pd(i); }
KIT_LANE Index SplatIndex(int v) { return _mm_set1_epi32(v); }
KIT_LANE Index AddIndex(Index a, Index b) { return _mm_add_epi32(a, b); }
KIT_LANE Index SubIndex(Index a, Index b) { return _mm_sub_epi32(a, b); }
KIT_LANE Index MinIndex(Index a, Index b) { return _mm_min_epi32(a, b); }
KIT_LANE int LowestIndex(Index v) {
  v = _mm_min_epi32(v, _mm_shuffle_epi32(v, 0x4E));
  v = _mm_min_epi32(v, _mm_shuffle_epi32(v, 0xB1));
  return _mm_cvtsi128_si32(v);
}
KIT_LANE int HighestIndex(Index v) {
  v = _mm_max_epi32(v, _mm_shuffle_epi32(v, 0x4E));
  v = _mm_max_epi32(v, _mm_shuffle_epi32(v, 0xB1));
  return _mm_cvtsi128_si32(v);
}
// Whether lane l of v is v[0] + l in every lane.
KIT_LANE bool Consecutive(Index v) {
  const __m128i fromFirst = _mm_sub_epi32(v, _mm_setr_epi32(0, 1, 2, 3));
  return _mm_movemask_epi8(_mm_cmpeq_epi32(fromFirst, _mm_shuffle_epi32(fromFirst, 0))) == 0xFFFF;
}
KIT_LANE Vec Gather(const double* base, Index i) { return _mm256_i32gather_pd(base, i, 8); }

struct Run {  // per lane 4 consecutive 16-bit samples
  __m128i low, high;
};

// Lane l of PickOf2(low, high, offset) is element offset[l] of the
// 2 kLanes values low, high (0 <= offset[l] < 2 kLanes).
KIT_LANE Offset MakeOffset(Index o) {
  const __m256i twice = _mm256_cvtepi32_epi64(_mm_add_epi32(o, o));
  const __m256i twicePlusOne = _mm256_add_epi64(twice, _mm256_set1_epi64x(1));
  return _mm256_or_si256(twice, _mm256_slli_epi64(twicePlusOne, 32));
}
KIT_LANE Offset AddOffset(Offset o, int v) { return _mm256_add_epi32(o, _mm256_set1_epi32(2 * v)); }
// Bit b of each 32-bit half of o, as the sign that blendv reads.
KIT_LANE __m256 OffsetBit(Offset o, int b) {
  return _mm256_castsi256_ps(_mm256_slli_epi32(o, 31 - b));
}
KIT_LANE __m256 Permuted(Vec v, Offset o) {
  // The permutation reads the low three bits of each half's index.
  return _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(_mm256_castpd_si256(v), o));
}
KIT_LANE Vec PickOf2(Vec low, Vec high, Offset o) {
  return _mm256_castps_pd(_mm256_blendv_ps(Permuted(low, o), Permuted(high, o), OffsetBit(o, 3)));
}

// Per lane the 4 samples s[first[l] + offset .. first[l] + offset + 3], put
// sample by sample: the four lanes' samples 0 and 1 in low, 2 and 3 in high.
// Four plain loads and a transpose: a gather is slower on processors of this
// width, and the lanes' addresses are worked out once for all the runs of a
// window.
KIT_LANE Run GatherRun(const std::int16_t* s, Index first, int offset) {
  alignas(16) int starts[kLanes];
  _mm_store_si128(reinterpret_cast<__m128i*>(starts), first);
  const auto at = [&](int lane) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + starts[lane] + offset));
  };
  const __m128i firstTwo = _mm_unpacklo_epi16(at(0), at(1));  // a0 b0 a1 b1 a2 b2 a3 b3
  const __m128i lastTwo = _mm_unpacklo_epi16(at(2), at(3));   // c0 d0 c1 d1 c2 d2 c3 d3
  return {_mm_unpacklo_epi32(firstTwo, lastTwo), _mm_unpackhi_epi32(firstTwo, lastTwo)};
}
// Sample u (0 .. 3) of every lane's run, as doubles.
KIT_LANE Vec RunSample(Run run, int u) {
  const __m128i pair = u < 2 ? run.low : run.high;
  const __m128i four = u % 2 == 0 ? pair : _mm_srli_si128(pair, 8);
  return _mm256_cvtepi32_pd(_mm_cvtepi16_epi32(four));
}

#undef KIT_LANE
