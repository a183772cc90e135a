// The Fourier transform on Blocks, against FFTW on random and known signals,
// and against a plain scalar rendering of its arithmetic for exact equality.

#include <fftw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <utility>
#include <vector>

#include "BlockValues.h"

namespace {

std::vector<double> RandomValues(int n, unsigned seed) {
  std::mt19937_64 engine(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> values(static_cast<std::size_t>(n));
  for (double& v : values) v = uniform(engine);
  return values;
}

// X_k = sum_j x_j e^(-2 pi i jk/N), k = 0 .. N/2, from FFTW, in the packed
// layout: Re X_k at k, X_h at h, Im X_k at h + k, all times 2/sqrt(N).
std::vector<double> PackedFromFftw(const std::vector<double>& values) {
  const int n = static_cast<int>(values.size());
  const int h = n / 2;
  std::vector<double> in(values);
  std::vector<std::complex<double>> X(static_cast<std::size_t>(h + 1));
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, in.data(), reinterpret_cast<fftw_complex*>(X.data()),
                                        FFTW_ESTIMATE);
  fftw_execute(plan);
  fftw_destroy_plan(plan);
  const double scale = 2.0 / std::sqrt(static_cast<double>(n));
  std::vector<double> packed(static_cast<std::size_t>(n));
  for (int k = 0; k < h; ++k) packed[k] = scale * X[k].real();
  packed[h] = scale * X[h].real();
  for (int k = 1; k < h; ++k) packed[h + k] = scale * X[k].imag();
  return packed;
}

// Checks actual against expected within the transform's rounding for a table
// of n points. The tables come from a rotation recurrence whose step is off by
// about 1e-16 n / (2 pi) radians (the sine is taken from 1 - cos^2), so the
// phase of the last entries drifts by some 3.5e-17 n^2; allow a few times that.
void ExpectWithinRounding(const std::vector<double>& actual, const std::vector<double>& expected,
                          int n) {
  ASSERT_EQ(actual.size(), expected.size());
  double worst = 0.0, magnitude = 1.0;
  for (std::size_t i = 0; i < actual.size(); ++i) {
    worst = std::max(worst, std::fabs(actual[i] - expected[i]));
    magnitude = std::max(magnitude, std::fabs(expected[i]));
  }
  EXPECT_LE(worst, magnitude * (1e-13 + 1.5e-16 * static_cast<double>(n) * n));
}

// The transform's arithmetic written out plainly, step by step and in the
// order it is defined, with its own tables: swaps for the bit reversal,
// strided table reads with the exact constants at the eighth turns, separate
// scaling and split passes. The fast code must give exactly these values.
namespace literal {

constexpr double kPi = 3.141592653589793;

void BuildTwiddles(int n, std::vector<double>& sinT, std::vector<double>& cosT) {
  const double c = std::cos(2.0 * kPi / n);
  const double s = -std::sqrt(1.0 - c * c);
  double C = 1.0, S = 0.0;
  for (int k = 0; k < n; ++k) {
    cosT[k] = C;
    sinT[k] = S;
    const double nc = C * c - S * s;
    S = C * s + S * c;
    C = nc;
  }
}

void ComplexFFT(int M, int n, bool inverse, double* re, double* im, const std::vector<double>& sinT,
                const std::vector<double>& cosT) {
  for (int i = 0, j = 0; i < n; ++i) {
    if (i < j) std::swap(re[i], re[j]), std::swap(im[i], im[j]);
    for (int k = n / 2; k > 0 && (j ^= k) < k; k /= 2) {  // j counts up in bit-reversed order
    }
  }
  if (inverse)
    for (int i = 0; i < n; ++i) im[i] = -im[i];
  const double e = 0.707106781186548;
  for (int s = 1; s <= M; ++s) {
    const int half = 1 << (s - 1), span = 1 << s, stride = n / span;
    for (int jj = 0; jj < half; ++jj) {
      double wr = cosT[jj * stride], wi = sinT[jj * stride];
      if (jj == 0) wr = 1.0, wi = 0.0;
      if (s >= 3 && jj == half / 4) wr = e, wi = -e;
      if (s >= 2 && jj == half / 2) wr = 0.0, wi = -1.0;
      if (s >= 3 && jj == 3 * half / 4) wr = -e, wi = -e;
      for (int g = jj; g < n; g += span) {
        const int k = g + half;
        double tr, ti;
        if (jj == 0) {
          tr = re[k], ti = im[k];
        } else if (s >= 2 && jj == half / 2) {
          tr = im[k], ti = -re[k];
        } else {
          tr = re[k] * wr - im[k] * wi;
          ti = re[k] * wi + im[k] * wr;
        }
        re[k] = re[g] - tr, im[k] = im[g] - ti;
        re[g] = re[g] + tr, im[g] = im[g] + ti;
      }
    }
  }
  const double c = (inverse ? -1.0 : 1.0) / std::sqrt(static_cast<double>(n));
  for (int i = 0; i < n; ++i) re[i] *= std::fabs(c), im[i] *= c;
}

std::vector<double> Forward(std::vector<double> x) {
  const int N = static_cast<int>(x.size()), h = N / 2;
  std::vector<double> sinT(N), cosT(N), dr(2 * N), di(2 * N);
  BuildTwiddles(h, sinT, cosT);
  double P = 0.0;
  for (int i = 0; i < h; ++i) {
    dr[i] = x[2 * i], di[i] = x[2 * i + 1];
    P += x[2 * i] - x[2 * i + 1];
  }
  ComplexFFT(Log2(h), h, false, dr.data(), di.data(), sinT, cosT);
  // The split into the real spectrum; R[0] is doubled, the Nyquist slot comes from P.
  const double s = 1.0 / std::sqrt(2.0), dTheta = kPi / h;
  x[0] = 2 * ((dr[0] + di[0]) * s);
  for (int k = 1; k < h; ++k) {
    const double C = k % 2 ? std::cos(k * dTheta) : cosT[k / 2];
    const double S = k % 2 ? -std::sin(k * dTheta) : sinT[k / 2];
    const double A = dr[k] + dr[h - k], B = di[k] + di[h - k];
    const double D = di[k] - di[h - k], E = dr[k] - dr[h - k];
    x[k] = (C * B + A + S * E) * s;
    x[h + k] = (S * B + D - C * E) * s;
  }
  x[h] = 2 * P / std::sqrt(2.0 * h);
  return x;
}

std::vector<double> Inverse(std::vector<double> x) {
  const int N = static_cast<int>(x.size()), h = N / 2;
  std::vector<double> sinT(N), cosT(N), dr(2 * N), di(2 * N);
  BuildTwiddles(N, sinT, cosT);
  const double q = 0.5 * x[h] / std::sqrt(static_cast<double>(N));
  x[0] *= 0.5;
  for (int i = 0; i < h; ++i) dr[i] = x[i], di[i] = x[h + i];
  ComplexFFT(Log2(N), N, true, dr.data(), di.data(), sinT, cosT);
  for (int i = 0; i < N; ++i) x[i] = i % 2 == 0 ? dr[i] + q : dr[i] - q;
  return x;
}

}  // namespace literal

TEST(FftKnownSignals, WorkedOutSpectraAndAnOddSize) {
  // (0, 1, 0, 0): X_k = e^(-i pi k / 2), times 2/sqrt(4).
  Block b = MakeBlock({0, 1, 0, 0});
  ExpectValuesNear(b.ForwardFFT(), {1, 0, -1, -1}, 1e-15);
  // (3, 1): X_0 = 4, X_1 = 2, times 2/sqrt(2).
  Block pair = MakeBlock({3, 1});
  ExpectValuesNear(pair.ForwardFFT(), {4 * std::sqrt(2.0), 2 * std::sqrt(2.0)}, 1e-14);
  Block odd = MakeBlock({1, 0, 0, 0, 9});  // an odd size leaves the last value out
  ExpectValuesNear(odd.ForwardFFT(), {1, 1, 1, 0, 9}, 1e-15);
}

// Forward against FFTW, back again (the round trip), and FFTW's spectrum back
// through InverseFFT, for every power of two up to 65536. The spectrum's step
// is 1 / (N step) and its start stays; the round trip restores the step.
TEST(FftAgainstFftw, RandomRealInputBothWaysAndRoundTrip) {
  for (int n = 2; n <= 65536; n *= 2) {
    SCOPED_TRACE(n);
    const std::vector<double> input = RandomValues(n, static_cast<unsigned>(n));
    const std::vector<double> expected = PackedFromFftw(input);
    Block b = MakeBlock(input);
    b.GetStep() = 1.0 / 44100.0;
    b.GetStart() = 7.0;
    b.ForwardFFT();
    EXPECT_EQ(b.GetDomain(), dmComp);
    EXPECT_DOUBLE_EQ(b.GetStep(), 44100.0 / n);
    EXPECT_EQ(b.GetStart(), 7.0);
    const std::vector<double> spectrum = ValuesOf(b);
    ExpectWithinRounding(spectrum, expected, n / 2);
    // The Nyquist slot on its own: 2/sqrt(N) times the alternating sum.
    double alternating = 0.0;
    for (int i = 0; i < n; ++i) alternating += i % 2 == 0 ? input[i] : -input[i];
    EXPECT_NEAR(spectrum[n / 2], 2.0 * alternating / std::sqrt(static_cast<double>(n)), 1e-12);

    b.InverseFFT();
    EXPECT_EQ(b.GetDomain(), dmReal);
    EXPECT_DOUBLE_EQ(b.GetStep(), 1.0 / 44100.0);
    ExpectWithinRounding(ValuesOf(b), input, n);
    Block fromFftw = MakeBlock(expected);
    ExpectWithinRounding(ValuesOf(fromFftw.InverseFFT()), input, n);
  }
}

// Every size both ways, then a run that changes the size, the direction or
// both from one transform to the next, and repeats one, so that each kind of
// table rebuild (and reuse) meets the plain rendering bit for bit.
TEST(FftExactArithmetic, SameValuesAsThePlainRenderingAcrossTableRebuilds) {
  std::vector<std::pair<int, bool>> runs;
  for (int n = 2; n <= 65536; n *= 2) runs.insert(runs.end(), {{n, true}, {n, false}});
  runs.insert(runs.end(), {{1024, true}, {1024, true}, {2048, true}, {1024, true}, {1024, false},
                           {2048, false}, {1024, false}});
  // Large enough for the inverse transform to share its work with a thread.
  runs.push_back({1 << 18, false});
  unsigned seed = 0;
  for (const auto& [n, forward] : runs) {
    SCOPED_TRACE(::testing::Message() << n << (forward ? " forward" : " inverse"));
    const std::vector<double> input = RandomValues(n, ++seed);  // read as a packed spectrum too
    Block b = MakeBlock(input);
    if (forward) {
      EXPECT_EQ(ValuesOf(b.ForwardFFT()), literal::Forward(input));
    } else {
      EXPECT_EQ(ValuesOf(b.InverseFFT()), literal::Inverse(input));
    }
  }
}

TEST(PowerSpectrum, SquaredMagnitudesOfTheFftwSpectrumSmoothedOrInDecibels) {
  const int n = 64, h = n / 2;
  const std::vector<double> input = RandomValues(n, 3u);
  const std::vector<double> v = PackedFromFftw(input);
  // Smoothing works on each half on its own, from the unsmoothed neighbours.
  auto value = [&](bool smooth, int first, int i) {
    if (!smooth) return v[first + i];
    const double left = i > 0 ? v[first + i - 1] : 0.0;
    const double right = i + 1 < h ? v[first + i + 1] : 0.0;
    return 0.5 * v[first + i] - 0.25 * (left + right);
  };
  for (bool smooth : {false, true}) {
    for (bool decibels : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "smooth " << smooth << ", decibels " << decibels);
      Block b = MakeBlock(input);
      b.PowerSpectrum(smooth, decibels);
      EXPECT_EQ(b.GetDomain(), dmPower);
      // Bin 0 pairs the DC value with the Nyquist value, as every complex
      // operation on the packed layout does.
      for (int k = 0; k < h; ++k) {
        const double re = value(smooth, 0, k), im = value(smooth, h, k), power = re * re + im * im;
        if (decibels) {
          EXPECT_NEAR(b[k], 10.0 * std::log10(power), 1e-9) << k;
        } else {
          EXPECT_NEAR(b[k], power, 1e-12) << k;
          EXPECT_EQ(b[h + k], 0.0) << k;
        }
      }
    }
  }
}

TEST(CrossSpectrum, ProductWithTheConjugateOfTheOther) {
  const int n = 32, h = n / 2;
  const std::vector<double> x = RandomValues(n, 5u), y = RandomValues(n, 6u);
  const std::vector<double> X = PackedFromFftw(x), Y = PackedFromFftw(y);
  Block a = MakeBlock(x), b = MakeBlock(y);
  a.ForwardFFT().CrossSpectrum(b.ForwardFFT());
  // Element 0 pairs DC with Nyquist: (X0 + i Xh)(Y0 - i Yh).
  for (int k = 0; k < h; ++k) {
    const std::complex<double> expected =
        std::complex(X[k], X[h + k]) * std::conj(std::complex(Y[k], Y[h + k]));
    EXPECT_NEAR(a[k], expected.real(), 1e-12) << k;
    EXPECT_NEAR(a[h + k], expected.imag(), 1e-12) << k;
  }
}

TEST(FftDeathTest, SizesThatAreNotPowersOfTwoAndCrossSpectrumOfDifferentSizes) {
  const char* const notPowerOfTwo =
      R"(Assertion failed: \(1 << M\) == N, file Block\.cpp, line [0-9]+)";
  for (int n : {0, 1, 6, 12})
    EXPECT_EXIT(Block(n).ForwardFFT(), ::testing::ExitedWithCode(3), notPowerOfTwo) << n;
  for (int n : {0, 6, 12})
    EXPECT_EXIT(Block(n).InverseFFT(), ::testing::ExitedWithCode(3), notPowerOfTwo) << n;
  Block a(8), b(16);
  EXPECT_EXIT(a.CrossSpectrum(b), ::testing::ExitedWithCode(3),
              R"(Assertion failed: nt\.GetSize\(\) == m_iSize, file BLOFFT\.cpp, line [0-9]+)");
}

}  // namespace
