// The Fourier transform on Blocks: a real forward transform into the packed
// spectrum (dmComp) and its inverse, both on an in-place radix-2 complex FFT
// with 1/sqrt(n) scaling, sharing one cache of twiddle tables.
//
// The arithmetic is fixed down to the order of every operation, so that a
// spectrum comes out the same bits on every build: the tables are made by a
// rotation recurrence, four twiddles per stage are exact constants, and the
// faster code paths below only rearrange memory (table entries copied into
// the order they are used, butterflies of one stage visited in another order,
// passes fused), never the sums.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <barrier>
#include <memory>
#include <thread>
#include <vector>

#include "Block.h"
#include "Processors.h"

namespace {

constexpr double kPi = 3.141592653589793;
// The eighth-turn twiddle, to the digits the transform has always used.
constexpr double kEighthTurn = 0.707106781186548;

enum TableKind : int { kNoTables = -1, kForwardTables = 0, kInverseTables = 1 };

LargeArray<double> UninitialisedDoubles(int n) { return MakeLargeArray<double>(static_cast<std::size_t>(n)); }

// Module state shared by all Blocks: made on first use from the twiddle tables
// and kept while consecutive transforms have the same block size and
// direction. A forward transform of N values runs on N/2 points, an inverse
// one on N points.
struct TwiddleCache {
  int size = 0;  // the block size N it was made for; 0 = nothing made
  int kind = kNoTables;
  // The twiddles of the stage with half-length `half` at [half, 2 half), in
  // the order its butterflies use them, with the exact constants in place.
  double* stageCos = nullptr;
  double* stageSin = nullptr;
  // Where each point goes in the bit-reversal permutation.
  std::unique_ptr<std::int32_t[]> reversed;
  // Forward only: the rotation of bin k (1 <= k < h) in SplitRealSpectrum.
  LargeArray<double> splitCos;
  LargeArray<double> splitSin;
  // The complex transform's work arrays, one value per point. They carry
  // nothing from one call to the next; keeping them saves an allocation (and,
  // for large blocks, fresh pages) on every call.
  double* workRe = nullptr;
  double* workIm = nullptr;
  // The four arrays above, kArraySkew values apart. A stage reads points a
  // power of two apart in all four at once; laid end to end, those addresses
  // would share a handful of level-1 cache sets and keep evicting one another.
  LargeArray<double> pointArrays;
};

constexpr int kArraySkew = 128;

TwiddleCache g_tables;

void FreeTables() { g_tables = TwiddleCache{}; }

// Releases the tables when the program ends.
class CTablesKiller {
 public:
  CTablesKiller() = default;
  CTablesKiller(const CTablesKiller&) = delete;
  CTablesKiller& operator=(const CTablesKiller&) = delete;
  ~CTablesKiller() { FreeTables(); }
};

const CTablesKiller g_tablesKiller;

// cosT[k] ~ cos(2 pi k / n), sinT[k] ~ -sin(2 pi k / n), k = 0 .. n-1, made by
// repeated rotation rather than a sine and cosine per entry.
void BuildTwiddles(int n, double* sinT, double* cosT) {
  const double c = std::cos(2.0 * kPi / n);
  const double s = -std::sqrt(1.0 - c * c);
  double C = 1.0;
  double S = 0.0;
  for (int k = 0; k < n; ++k) {
    cosT[k] = C;
    sinT[k] = S;
    const double nextC = C * c - S * s;
    S = C * s + S * c;
    C = nextC;
  }
}

// The bit-reversal permutation of n points: the counter j runs through the
// reversed indices as i counts up.
void BitReverse(int n, std::int32_t* reversed) {
  int j = 0;
  for (int i = 0; i < n; ++i) {
    reversed[i] = j;
    int k = n / 2;
    while (k >= 1 && k <= j) {
      j -= k;
      k /= 2;
    }
    j += k;
  }
}

// Copies the twiddles of every stage of an n-point transform out of the tables
// into the order the butterflies use them. Stage s (half = 2^(s-1)) uses entry
// j n / (2 half) for twiddle j, except four exact ones: 1 at j = 0, -i at
// j = half/2, 0.707106781186548 (1 - i) at j = half/4 and
// -0.707106781186548 (1 + i) at j = 3 half/4. A product with the exact 1 or -i
// has the value of x[k] itself or of (im, -re), the shortcuts they stand for.
void BuildStageTwiddles(int n, const double* sinT, const double* cosT, double* stageSin,
                        double* stageCos) {
  for (int half = 1; half < n; half *= 2) {
    const int stride = n / (2 * half);
    double* wc = stageCos + half;
    double* ws = stageSin + half;
    for (int j = 0; j < half; ++j) {
      wc[j] = cosT[j * stride];
      ws[j] = sinT[j * stride];
    }
    wc[0] = 1.0;
    ws[0] = 0.0;
    if (half >= 2) {
      wc[half / 2] = 0.0;
      ws[half / 2] = -1.0;
    }
    if (half >= 4) {
      wc[half / 4] = kEighthTurn;
      ws[half / 4] = -kEighthTurn;
      wc[3 * half / 4] = -kEighthTurn;
      ws[3 * half / 4] = -kEighthTurn;
    }
  }
}

// Makes the cache for a block of N values unless it was made for the same
// size and direction: the tables SinTable and CosTable (N entries, made for n
// points), and from them everything the transform reads per call.
void EnsureTables(int N, TableKind kind) {
  if (g_tables.size == N && g_tables.kind == kind) return;
  FreeTables();
  const int n = kind == kForwardTables ? N / 2 : N;
  std::vector<double> SinTable(static_cast<std::size_t>(N));
  std::vector<double> CosTable(static_cast<std::size_t>(N));
  BuildTwiddles(n, SinTable.data(), CosTable.data());

  TwiddleCache t;
  t.pointArrays = UninitialisedDoubles(4 * (n + kArraySkew));
  double* const arrays[4] = {t.pointArrays.get(), arrays[0] + n + kArraySkew, arrays[1] + n + kArraySkew,
                             arrays[2] + n + kArraySkew};
  t.workRe = arrays[0];
  t.workIm = arrays[1];
  t.stageCos = arrays[2];
  t.stageSin = arrays[3];
  BuildStageTwiddles(n, SinTable.data(), CosTable.data(), t.stageSin, t.stageCos);
  t.reversed = std::make_unique_for_overwrite<std::int32_t[]>(static_cast<std::size_t>(n));
  BitReverse(n, t.reversed.get());
  if (kind == kForwardTables) {
    // Odd bins take their rotation from a sine and cosine, even ones from the tables.
    const int h = n;
    const double dTheta = kPi / h;
    t.splitSin = UninitialisedDoubles(h);
    t.splitCos = UninitialisedDoubles(h);
    for (int k = 1; k < h; ++k) {
      if (k % 2 == 1) {
        t.splitCos[k] = std::cos(k * dTheta);
        t.splitSin[k] = -std::sin(k * dTheta);
      } else {
        t.splitCos[k] = CosTable[k / 2];
        t.splitSin[k] = SinTable[k / 2];
      }
    }
  }
  t.size = N;
  t.kind = kind;
  g_tables = std::move(t);
}

// Four doubles processed as one; plain element-wise IEEE operations, so the
// results are those of the scalar code. Wider work goes as two of them: a
// pack of eight on a processor without 512-bit registers is taken apart
// through the stack on every store.
using Pack4 = double __attribute__((vector_size(32)));

template <typename Pack>
[[gnu::always_inline]] inline void LoadPack(Pack& v, const double* p) {
  std::memcpy(&v, p, sizeof v);
}

template <typename Pack>
[[gnu::always_inline]] inline void StorePack(double* p, const Pack& v) {
  std::memcpy(p, &v, sizeof v);
}

// Eight lines of 8 consecutive bit-reversed points side by side: r[p][h] and
// m[p][h] hold position p of lines 4h .. 4h + 3.
using LineColumns = Pack4[8][2];

// Stages 1 to 3 of the transform on eight lines at once, in place. Stages 1
// and 2 have the twiddles 1 and -i, so t is x[k] itself or (im, -re) of x[k];
// stage 3 takes its twiddles from the stage table like every later stage.
// With kOddZero the points at odd positions are 0 (imaginary part -0), as the
// inverse transform's zero-padding puts them, and the compiler drops the
// operations on them that cannot change a value.
template <bool kOddZero>
[[gnu::always_inline]] inline void RunFirstThreeStages(LineColumns& r, LineColumns& m,
                                                       const double* stageSin,
                                                       const double* stageCos) {
  if constexpr (kOddZero) {
    for (int p = 1; p < 8; p += 2)
      for (int h = 0; h < 2; ++h) r[p][h] = Pack4{0.0, 0.0, 0.0, 0.0}, m[p][h] = Pack4{-0.0, -0.0, -0.0, -0.0};
  }
  for (int h = 0; h < 2; ++h) {
    for (int g = 0; g < 8; g += 4) {
      Pack4 r0 = r[g][h], r1 = r[g + 1][h], r2 = r[g + 2][h], r3 = r[g + 3][h];
      Pack4 i0 = m[g][h], i1 = m[g + 1][h], i2 = m[g + 2][h], i3 = m[g + 3][h];
      Pack4 tr = r1, ti = i1;
      r1 = r0 - tr, i1 = i0 - ti, r0 = r0 + tr, i0 = i0 + ti;
      tr = r3, ti = i3;
      r3 = r2 - tr, i3 = i2 - ti, r2 = r2 + tr, i2 = i2 + ti;
      tr = r2, ti = i2;
      r[g + 2][h] = r0 - tr, m[g + 2][h] = i0 - ti, r[g][h] = r0 + tr, m[g][h] = i0 + ti;
      tr = i3, ti = -r3;
      r[g + 3][h] = r1 - tr, m[g + 3][h] = i1 - ti, r[g + 1][h] = r1 + tr, m[g + 1][h] = i1 + ti;
    }
    for (int j = 0; j < 4; ++j) {
      const double c = stageCos[4 + j], s = stageSin[4 + j];
      const Pack4 wr = {c, c, c, c}, wi = {s, s, s, s};
      const Pack4 tr = r[j + 4][h] * wr - m[j + 4][h] * wi;
      const Pack4 ti = r[j + 4][h] * wi + m[j + 4][h] * wr;
      r[j + 4][h] = r[j][h] - tr, m[j + 4][h] = m[j][h] - ti;
      r[j][h] = r[j][h] + tr, m[j][h] = m[j][h] + ti;
    }
  }
}

// Writes the eight lines to out + lineStart[k], transposing them back from
// the columns they were worked on in, four by four.
[[gnu::always_inline]] inline void StoreLines(const LineColumns& v, const int (&lineStart)[8],
                                              double* out) {
  for (int h = 0; h < 2; ++h) {
    for (int p = 0; p < 8; p += 4) {
      const Pack4 t0 = __builtin_shufflevector(v[p][h], v[p + 1][h], 0, 4, 2, 6);
      const Pack4 t1 = __builtin_shufflevector(v[p][h], v[p + 1][h], 1, 5, 3, 7);
      const Pack4 t2 = __builtin_shufflevector(v[p + 2][h], v[p + 3][h], 0, 4, 2, 6);
      const Pack4 t3 = __builtin_shufflevector(v[p + 2][h], v[p + 3][h], 1, 5, 3, 7);
      StorePack(out + lineStart[4 * h] + p, __builtin_shufflevector(t0, t2, 0, 1, 4, 5));
      StorePack(out + lineStart[4 * h + 1] + p, __builtin_shufflevector(t1, t3, 0, 1, 4, 5));
      StorePack(out + lineStart[4 * h + 2] + p, __builtin_shufflevector(t0, t2, 2, 3, 6, 7));
      StorePack(out + lineStart[4 * h + 3] + p, __builtin_shufflevector(t1, t3, 2, 3, 6, 7));
    }
  }
}

// The forward transform's points: point i is (x[2i], x[2i + 1]).
struct PairedSamples {
  const double* x;
  [[gnu::always_inline]] void operator()(int i, double& re, double& im) const {
    re = x[2 * i];
    im = x[2 * i + 1];
  }
  // Points i .. i + 7, as the columns of one row of a tile.
  [[gnu::always_inline]] void operator()(int i, Pack4 (&re)[2], Pack4 (&im)[2]) const {
    for (int h = 0; h < 2; ++h) {
      Pack4 a, b;
      LoadPack(a, x + 2 * i + 8 * h);
      LoadPack(b, x + 2 * i + 8 * h + 4);
      re[h] = __builtin_shufflevector(a, b, 0, 2, 4, 6);
      im[h] = __builtin_shufflevector(a, b, 1, 3, 5, 7);
    }
  }
};

// The inverse transform's points: the first half of the packed spectrum
// conjugated, point i = (x[i], -x[h + i]), so that the forward stages compute
// the inverse.
struct ConjugatedSpectrum {
  const double* x;
  int h;
  [[gnu::always_inline]] void operator()(int i, double& re, double& im) const {
    re = x[i];
    im = -x[h + i];
  }
  [[gnu::always_inline]] void operator()(int i, Pack4 (&re)[2], Pack4 (&im)[2]) const {
    for (int k = 0; k < 2; ++k) {
      LoadPack(re[k], x + i + 4 * k);
      LoadPack(im[k], x + h + i + 4 * k);
      im[k] = -im[k];
    }
  }
};

// Moves point i of `source` to position reversed[i] of (re, im), n = 2^M
// points, and returns the number of stages it has run on them as well. Large
// transforms go in tiles of 8 x 8 points (the top and bottom three bits of
// i), so that every cache line is read and written whole instead of one value
// per line; each line of 8 points written also goes through the first three
// stages on the way, the tile's eight lines side by side. With kUpperHalfZero
// the points n/2 .. n-1 are 0 (-0 in the imaginary part) and source is not
// asked for them. Only the tiles firstTile .. endTile - 1 of n / 64 are
// moved, so that threads can share the work; small transforms (no tiles) go
// whole with tile 0.
template <bool kUpperHalfZero, typename Source>
[[gnu::always_inline]] inline int PermuteBitReversed(int M, const std::int32_t* reversed,
                                                     const Source& source, double* re, double* im,
                                                     const double* stageSin, const double* stageCos,
                                                     int firstTile, int endTile) {
  const int n = 1 << M;
  if (M < 6) {
    if (firstTile > 0) return 0;
    for (int i = 0; i < n; ++i) {
      if (kUpperHalfZero && i >= n / 2) {
        re[reversed[i]] = 0.0, im[reversed[i]] = -0.0;
      } else {
        source(i, re[reversed[i]], im[reversed[i]]);
      }
    }
    return 0;
  }
  constexpr int kReversed3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  constexpr int kRows = kUpperHalfZero ? 4 : 8;
  const int shift = M - 3;
  for (int tile = firstTile; tile < endTile; ++tile) {
    const int middle = tile * 8;
    LineColumns lineRe;
    LineColumns lineIm;
    for (int a = 0; a < kRows; ++a) source((a << shift) | middle, lineRe[kReversed3[a]], lineIm[kReversed3[a]]);
    RunFirstThreeStages<kUpperHalfZero>(lineRe, lineIm, stageSin, stageCos);
    // With the top and bottom three bits exchanged and reversed, the middle
    // bits reverse among themselves.
    const int reversedMiddle = reversed[middle];
    int lineStart[8];
    for (int c = 0; c < 8; ++c) lineStart[c] = (kReversed3[c] << shift) | reversedMiddle;
    StoreLines(lineRe, lineStart, re);
    StoreLines(lineIm, lineStart, im);
  }
  return 3;
}

// The permutations of the two directions, in the widest vectors the processor has.
__attribute__((target_clones("avx512f", "avx2", "default"))) int PermuteSamples(
    int M, const std::int32_t* reversed, const double* x, double* re, double* im,
    const double* stageSin, const double* stageCos) {
  return PermuteBitReversed<false>(M, reversed, PairedSamples{x}, re, im, stageSin, stageCos, 0,
                                   (1 << M) / 64);
}

__attribute__((target_clones("avx512f", "avx2", "default"))) int PermuteSpectrum(
    int M, const std::int32_t* reversed, const double* x, int h, double* re, double* im,
    const double* stageSin, const double* stageCos, int firstTile, int endTile) {
  return PermuteBitReversed<true>(M, reversed, ConjugatedSpectrum{x, h}, re, im, stageSin, stageCos,
                                  firstTile, endTile);
}

// One butterfly on every lane: t = b W, b = a - t, a = a + t.
template <typename Pack>
[[gnu::always_inline]] inline void Butterfly(Pack& ar, Pack& ai, Pack& br, Pack& bi,
                                             const Pack& wr, const Pack& wi) {
  const Pack tr = br * wr - bi * wi;
  const Pack ti = br * wi + bi * wr;
  br = ar - tr;
  bi = ai - ti;
  ar = ar + tr;
  ai = ai + ti;
}

// Stages 1 and 2 on n points (n >= 2), four points at a time: their twiddles
// are 1 and -i, so t is x[k] itself or (im, -re) of x[k].
[[gnu::always_inline]] inline void RunFirstTwoStages(int n, double* __restrict re,
                                                     double* __restrict im) {
  if (n == 2) {
    const double tr = re[1], ti = im[1];
    re[1] = re[0] - tr, im[1] = im[0] - ti, re[0] = re[0] + tr, im[0] = im[0] + ti;
    return;
  }
  for (int g = 0; g < n; g += 4) {
    double r0 = re[g], r1 = re[g + 1], r2 = re[g + 2], r3 = re[g + 3];
    double i0 = im[g], i1 = im[g + 1], i2 = im[g + 2], i3 = im[g + 3];
    double tr = r1, ti = i1;
    r1 = r0 - tr, i1 = i0 - ti, r0 = r0 + tr, i0 = i0 + ti;
    tr = r3, ti = i3;
    r3 = r2 - tr, i3 = i2 - ti, r2 = r2 + tr, i2 = i2 + ti;
    tr = r2, ti = i2;
    re[g + 2] = r0 - tr, im[g + 2] = i0 - ti, re[g] = r0 + tr, im[g] = i0 + ti;
    tr = i3, ti = -r3;
    re[g + 3] = r1 - tr, im[g + 3] = i1 - ti, re[g + 1] = r1 + tr, im[g + 1] = i1 + ti;
  }
}

// The stages with half-lengths `half`, 2 half and 4 half .. below n, two per
// pass over the data: the four points g, g + half, g + 2 half, g + 3 half go
// through both stages in registers. An odd number of stages leaves the last
// one to a pass of its own. half >= 4.
template <typename Pack, int kUnroll = 1>
[[gnu::always_inline]] inline void RunStagePair(int n, int half, double* __restrict re,
                                                double* __restrict im, const double* stageSin,
                                                const double* stageCos) {
  constexpr int kWidth = sizeof(Pack) / sizeof(double);
  const double* inner = stageCos + half;
  const double* innerSin = stageSin + half;
  const double* outer = stageCos + 2 * half;
  const double* outerSin = stageSin + 2 * half;
  for (int g0 = 0; g0 < n; g0 += 4 * half) {
    double* r = re + g0;
    double* m = im + g0;
    for (int j0 = 0; j0 < half; j0 += kWidth * kUnroll) {
      for (int u = 0; u < kUnroll; ++u) {
        const int j = j0 + u * kWidth;
        Pack r0, r1, r2, r3, m0, m1, m2, m3, wr, wi;
        LoadPack(r0, r + j), LoadPack(m0, m + j);
        LoadPack(r1, r + half + j), LoadPack(m1, m + half + j);
        LoadPack(r2, r + 2 * half + j), LoadPack(m2, m + 2 * half + j);
        LoadPack(r3, r + 3 * half + j), LoadPack(m3, m + 3 * half + j);
        LoadPack(wr, inner + j), LoadPack(wi, innerSin + j);
        Butterfly(r0, m0, r1, m1, wr, wi);
        Butterfly(r2, m2, r3, m3, wr, wi);
        LoadPack(wr, outer + j), LoadPack(wi, outerSin + j);
        Butterfly(r0, m0, r2, m2, wr, wi);
        LoadPack(wr, outer + half + j), LoadPack(wi, outerSin + half + j);
        Butterfly(r1, m1, r3, m3, wr, wi);
        StorePack(r + j, r0), StorePack(m + j, m0);
        StorePack(r + half + j, r1), StorePack(m + half + j, m1);
        StorePack(r + 2 * half + j, r2), StorePack(m + 2 * half + j, m2);
        StorePack(r + 3 * half + j, r3), StorePack(m + 3 * half + j, m3);
      }
    }
  }
}

template <typename Pack, int kUnroll = 1>
[[gnu::always_inline]] inline void RunLastStage(int n, double* __restrict re,
                                                double* __restrict im, const double* stageSin,
                                                const double* stageCos) {
  constexpr int kWidth = sizeof(Pack) / sizeof(double);
  const int half = n / 2;
  const double* wc = stageCos + half;
  const double* ws = stageSin + half;
  for (int j0 = 0; j0 < half; j0 += kWidth * kUnroll) {
    for (int u = 0; u < kUnroll; ++u) {
      const int j = j0 + u * kWidth;
      Pack ar, ai, br, bi, wr, wi;
      LoadPack(ar, re + j), LoadPack(ai, im + j);
      LoadPack(br, re + half + j), LoadPack(bi, im + half + j);
      LoadPack(wr, wc + j), LoadPack(wi, ws + j);
      Butterfly(ar, ai, br, bi, wr, wi);
      StorePack(re + j, ar), StorePack(im + j, ai);
      StorePack(re + half + j, br), StorePack(im + half + j, bi);
    }
  }
}

// The stages from half-length `half` (>= 4) to the last on n points.
[[gnu::always_inline]] inline void RunStagesFrom(int half, int n, double* __restrict re,
                                                 double* __restrict im, const double* stageSin,
                                                 const double* stageCos) {
  for (; 4 * half <= n; half *= 4) {
    if (half < 8) {
      RunStagePair<Pack4>(n, half, re, im, stageSin, stageCos);
    } else {
      RunStagePair<Pack4, 2>(n, half, re, im, stageSin, stageCos);
    }
  }
  if (half < n) {
    if (half < 8) {
      RunLastStage<Pack4>(n, re, im, stageSin, stageCos);
    } else {
      RunLastStage<Pack4, 2>(n, re, im, stageSin, stageCos);
    }
  }
}

// The stages within a block of points concern that block alone, so blocks go
// through them one after the other while they stay in a cache: the stages up
// to kInnerBlock points (re and im 32 KB, the level-1 cache), then those up to
// kOuterBlock points (512 KB, the level-2 cache), then the stages above, which
// join the outer blocks.
constexpr int kInnerBlock = 1 << 11;
constexpr int kOuterBlock = 1 << 15;

// From this size on an inverse transform shares its work with a second
// thread. Below it, starting the thread and having it scheduled (about 80 us
// and more on a virtual machine) takes what the second core saves.
constexpr int kThreadedInverse = 1 << 18;

// The stages of the decimation-in-time transform on n bit-reversed points,
// after the first `done` (0 or 3 with n >= 8). Each butterfly:
// t = x[k] W, x[k] = x[g] - t, x[g] = x[g] + t.
__attribute__((target_clones("avx512f", "avx2", "default"))) void RunStages(
    int n, int done, double* __restrict re, double* __restrict im, const double* stageSin,
    const double* stageCos) {
  if (n < 2) return;
  const int outer = n < kOuterBlock ? n : kOuterBlock;
  const int inner = outer < kInnerBlock ? outer : kInnerBlock;
  for (int o = 0; o < n; o += outer) {
    for (int b = o; b < o + outer; b += inner) {
      if (done == 0) {
        RunFirstTwoStages(inner, re + b, im + b);
        if (inner >= 8) RunStagesFrom(4, inner, re + b, im + b, stageSin, stageCos);
      } else {
        RunStagesFrom(8, inner, re + b, im + b, stageSin, stageCos);
      }
    }
    if (inner < outer) RunStagesFrom(inner, outer, re + o, im + o, stageSin, stageCos);
  }
  if (outer < n) RunStagesFrom(outer, n, re, im, stageSin, stageCos);
}

// The last stage of the transform on n points (n >= 2), of which the inverse
// keeps only the real parts, written straight into the block's values scaled
// and with the Nyquist term: x[i] = re[i] scale + q for even i and
// re[i] scale - q for odd i. The imaginary parts of this stage are not made.
// Only the butterflies j = first .. end - 1 (a multiple of 8 apart, or to
// the end) are done.
__attribute__((target_clones("avx512f", "avx2", "default"))) void RunLastStageToReal(
    int n, const double* __restrict re, const double* __restrict im, const double* stageSin,
    const double* stageCos, double scale, double q, double* __restrict x, int first, int end) {
  const int half = n / 2;
  const double* wc = stageCos + half;
  const double* ws = stageSin + half;
  int j = first;
  if (half >= 8) {
    // The even lanes add q, the odd ones -q: the same as subtracting q.
    const Pack4 nyquist = {q, -q, q, -q};
    for (; j + 8 <= end; j += 8) {
      for (int k = j; k < j + 8; k += 4) {
        Pack4 ar, br, bi, wr, wi;
        LoadPack(ar, re + k);
        LoadPack(br, re + half + k), LoadPack(bi, im + half + k);
        LoadPack(wr, wc + k), LoadPack(wi, ws + k);
        const Pack4 tr = br * wr - bi * wi;
        StorePack(x + k, (ar + tr) * scale + nyquist);
        StorePack(x + half + k, (ar - tr) * scale + nyquist);
      }
    }
  }
  // Small transforms: the twiddles 1 and -i as the shortcuts they stand for.
  for (; j < end; ++j) {
    const double br = re[half + j], bi = im[half + j];
    const double tr = j == 0 ? br : 2 * j == half ? bi : br * wc[j] - bi * ws[j];
    x[j] = (re[j] + tr) * scale + (j % 2 == 0 ? q : -q);
    x[half + j] = (re[j] - tr) * scale + ((half + j) % 2 == 0 ? q : -q);
  }
}

// Given the unscaled transform Z of the h complex values x[2j] + i x[2j+1],
// writes the spectrum of the 2h real values into x: real parts of bins
// 0 .. h-1 to x[0 .. h-1] and imaginary parts of bins 1 .. h-1 to
// x[h+1 .. 2h-1]. Z is scaled by `scale` (1/sqrt(h)) as it is read. x[h] is
// left to the caller (the Nyquist bin).
void SplitRealSpectrum(int h, const double* splitSin, const double* splitCos, double scale,
                       const double* __restrict re, const double* __restrict im,
                       double* __restrict x) {
  const double s = 1.0 / std::sqrt(2.0);
  x[0] = (re[0] * scale + im[0] * scale) * s;
  for (int k = 1; k < h; ++k) {
    const double reK = re[k] * scale, reM = re[h - k] * scale;
    const double imK = im[k] * scale, imM = im[h - k] * scale;
    const double A = reK + reM;
    const double B = imK + imM;
    const double D = imK - imM;
    const double E = reK - reM;
    const double C = splitCos[k];
    const double S = splitSin[k];
    x[k] = (C * B + A + S * E) * s;
    x[h + k] = (S * B + D - C * E) * s;
  }
}

}  // namespace

Block& Block::ForwardFFT() {
  const int N = m_iSize;
  const int h = N / 2;
  const int M = Log2(h);
  EnsureTables(N, kForwardTables);
  double* dr = g_tables.workRe;
  double* di = g_tables.workIm;
  double* x = m_pData.get();
  // The Nyquist bin comes from the alternating sum, added in index order.
  double P = 0.0;
  for (int i = 0; i < h; ++i) P += x[2 * i] - x[2 * i + 1];
  // Even values as real parts, odd ones as imaginary parts, in bit-reversed order.
  const double* stageSin = g_tables.stageSin;
  const double* stageCos = g_tables.stageCos;
  const int done = PermuteSamples(M, g_tables.reversed.get(), x, dr, di, stageSin, stageCos);
  RunStages(h, done, dr, di, stageSin, stageCos);
  const double scale = 1.0 / std::sqrt(static_cast<double>(h));
  SplitRealSpectrum(h, g_tables.splitSin.get(), g_tables.splitCos.get(), scale, dr, di, x);

  m_dStep = 1.0 / (N * m_dStep);
  m_eDomain = dmComp;
  x[0] *= 2;
  x[h] = 2 * P / std::sqrt(2.0 * h);
  return *this;
}

Block& Block::InverseFFT() {
  const int N = m_iSize;
  const int h = N / 2;
  const int M = Log2(N);
  EnsureTables(N, kInverseTables);
  double* dr = g_tables.workRe;
  double* di = g_tables.workIm;

  double* x = m_pData.get();
  const double q = 0.5 * x[h] / std::sqrt(static_cast<double>(N));  // the Nyquist term
  x[0] *= 0.5;
  // The first half of the spectrum in bit-reversed order, conjugated, then
  // zeros. The Nyquist value in di[0] only reaches the imaginary output.
  const double* stageSin = g_tables.stageSin;
  const double* stageCos = g_tables.stageCos;
  // Only the real part is kept, so the closing conjugation has nothing to do.
  const double scale = 1.0 / std::sqrt(static_cast<double>(N));
  if (N >= kThreadedInverse && AvailableProcessors() > 1) {
    // Two threads move half of the tiles each. Below the last stage each half
    // of the points is a transform of its own, one per thread; then both
    // share the last stage, once both halves are done and the block's values
    // are no longer read.
    std::barrier stepDone(2);
    const auto part = [&](int which) {
      const int tiles = N / 64;
      PermuteSpectrum(M, g_tables.reversed.get(), x, h, dr, di, stageSin, stageCos, which * (tiles / 2),
                      (which + 1) * (tiles / 2));
      stepDone.arrive_and_wait();
      RunStages(N / 2, 3, dr + which * (N / 2), di + which * (N / 2), stageSin, stageCos);
      stepDone.arrive_and_wait();
      RunLastStageToReal(N, dr, di, stageSin, stageCos, scale, q, x, which * (h / 2), (which + 1) * (h / 2));
    };
    std::jthread other(part, 1);
    part(0);
  } else if (N >= 2) {
    const int done = PermuteSpectrum(M, g_tables.reversed.get(), x, h, dr, di, stageSin, stageCos, 0, N / 64);
    RunStages(N / 2, done, dr, di, stageSin, stageCos);
    RunStages(N / 2, done, dr + N / 2, di + N / 2, stageSin, stageCos);
    RunLastStageToReal(N, dr, di, stageSin, stageCos, scale, q, x, 0, h);
  } else {
    PermuteSpectrum(M, g_tables.reversed.get(), x, h, dr, di, stageSin, stageCos, 0, 0);
    x[0] = dr[0] * scale + q;
  }
  m_dStep = 1.0 / (N * m_dStep);
  m_eDomain = dmReal;
  return *this;
}

Block& Block::PowerSpectrum(bool smooth, bool decibels) {
  ForwardFFT();
  const int h = m_iSize / 2;
  double* x = m_pData.get();
  if (smooth) {
    BLOCK_REQUIRE(m_eDomain == dmComp, "m_eDomain==dmComp");
    // Each half on its own, from the unsmoothed neighbours, zero beyond its ends.
    for (double* v : {x, x + h}) {
      double previous = 0.0;
      for (int i = 0; i < h; ++i) {
        const double current = v[i];
        const double next = i + 1 < h ? v[i + 1] : 0.0;
        v[i] = 0.5 * current - 0.25 * (previous + next);
        previous = current;
      }
    }
  }
  for (int i = 0; i < h; ++i) x[i] = x[i] * x[i] + x[h + i] * x[h + i];
  for (int i = h; i < m_iSize; ++i) x[i] = 0.0;
  m_eDomain = dmPower;
  if (decibels) ToDecibels();
  return *this;
}

Block& Block::CrossSpectrum(const Block& nt) {
  BLOCK_REQUIRE(nt.GetSize() == m_iSize, "nt.GetSize() == m_iSize");
  const int h = m_iSize / 2;
  double* x = m_pData.get();
  const double* y = nt.m_pData.get();
  for (int i = 0; i < h; ++i) {
    const double a = x[i], b = x[h + i], c = y[i], d = y[h + i];
    x[i] = a * c + b * d;
    x[h + i] = b * c - a * d;
  }
  return *this;
}
