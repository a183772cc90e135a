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

#include "Block.h"

namespace {

std::vector<double> RandomValues(int n, unsigned seed) {
  std::mt19937_64 engine(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> values(static_cast<std::size_t>(n));
  for (double& v : values) v = uniform(engine);
  return values;
}

Block MakeBlock(const std::vector<double>& values) {
  Block b(static_cast<int>(values.size()));
  std::copy(values.begin(), values.end(), b.GetData());
  return b;
}

std::vector<double> ValuesOf(const Block& b) {
  return std::vector<double>(b.GetData(), b.GetData() + b.GetSize());
}

// X_k = sum_j x_j e^(-2 pi i jk/N), k = 0 .. N/2, from FFTW.
std::vector<std::complex<double>> FftwSpectrum(const std::vector<double>& values) {
  const int n = static_cast<int>(values.size());
  std::vector<double> in(values);
  std::vector<std::complex<double>> out(static_cast<std::size_t>(n / 2 + 1));
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, in.data(), reinterpret_cast<fftw_complex*>(out.data()),
                                        FFTW_ESTIMATE);
  fftw_execute(plan);
  fftw_destroy_plan(plan);
  return out;
}

// The packed layout: Re X_k at k, X_h at h, Im X_k at h + k, all times 2/sqrt(N).
std::vector<double> PackedFromFftw(const std::vector<double>& values) {
  const int n = static_cast<int>(values.size());
  const int h = n / 2;
  const std::vector<std::complex<double>> X = FftwSpectrum(values);
  const double scale = 2.0 / std::sqrt(static_cast<double>(n));
  std::vector<double> packed(static_cast<std::size_t>(n));
  for (int k = 0; k < h; ++k) packed[k] = scale * X[k].real();
  packed[h] = scale * X[h].real();
  for (int k = 1; k < h; ++k) packed[h + k] = scale * X[k].imag();
  return packed;
}

double MaxAbsDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double worst = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
  return worst;
}

double MaxAbs(const std::vector<double>& a) {
  double worst = 0.0;
  for (double v : a) worst = std::max(worst, std::fabs(v));
  return worst;
}

// The bound for the transform's rounding, for a table of n points. The
// tables come from a rotation recurrence whose step is off by about
// 1e-16 n / (2 pi) radians (the sine is taken from 1 - cos^2), so the phase
// of the last entries drifts by some 3.5e-17 n^2; allow a few times that.
double Tolerance(int n, double magnitude) {
  return std::max(magnitude, 1.0) * (1e-13 + 1.5e-16 * static_cast<double>(n) * n);
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
  int j = 0;
  for (int i = 0; i < n - 1; ++i) {
    if (i < j) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
    int k = n / 2;
    while (k <= j) {
      j -= k;
      k /= 2;
    }
    j += k;
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
  std::vector<double> R(2 * N), I(2 * N);
  const double s = 1.0 / std::sqrt(2.0), dTheta = kPi / h;
  R[0] = (dr[0] + di[0]) * s;
  R[h] = (dr[0] - di[0]) * s;
  for (int k = 1; k < h; ++k) {
    const double C = k % 2 ? std::cos(k * dTheta) : cosT[k / 2];
    const double S = k % 2 ? -std::sin(k * dTheta) : sinT[k / 2];
    const double A = dr[k] + dr[h - k], B = di[k] + di[h - k];
    const double D = di[k] - di[h - k], E = dr[k] - dr[h - k];
    R[k] = (C * B + A + S * E) * s;
    I[k] = (S * B + D - C * E) * s;
  }
  for (int i = 0; i < h; ++i) x[i] = R[i], x[h + i] = I[i];
  x[0] *= 2;
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

TEST(FftKnownSignals, SmallBlocksGiveTheWorkedOutSpectraAndComeBack) {
  const double r = 2.0 / std::sqrt(2.0);  // 2/sqrt(N) for N = 2
  struct Case {
    std::vector<double> input;
    double step;
    std::vector<double> spectrum;
  };
  const Case cases[] = {
      {{1, 1, 1, 1}, 0.5, {4, 0, 0, 0}},
      {{1, -1, 1, -1}, 1.0, {0, 0, 4, 0}},
      {{1, 0, 0, 0}, 1.0, {1, 1, 1, 0}},
      {{0, 1, 0, 0}, 1.0, {1, 0, -1, -1}},
      {{3, 1}, 0.25, {4 * r, 2 * r}},
      {{2, 2, 2, 2, 2, 2, 2, 2}, 1.0, {2 * 8 * 2 / std::sqrt(8.0), 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.input));
    Block b = MakeBlock(c.input);
    b.GetStep() = c.step;
    b.GetStart() = 7.0;
    b.ForwardFFT();
    EXPECT_EQ(b.GetDomain(), dmComp);
    EXPECT_DOUBLE_EQ(b.GetStep(), 1.0 / (c.input.size() * c.step));
    EXPECT_EQ(b.GetStart(), 7.0);
    for (int i = 0; i < b.GetSize(); ++i) EXPECT_NEAR(b[i], c.spectrum[i], 1e-14) << "value " << i;

    b.InverseFFT();
    EXPECT_EQ(b.GetDomain(), dmReal);
    EXPECT_DOUBLE_EQ(b.GetStep(), c.step);
    for (int i = 0; i < b.GetSize(); ++i) EXPECT_NEAR(b[i], c.input[i], 1e-14) << "value " << i;
  }
}

TEST(FftAgainstFftw, RandomRealInputOfEveryPowerOfTwoUpTo65536) {
  for (int n = 2; n <= 65536; n *= 2) {
    SCOPED_TRACE(n);
    const std::vector<double> input = RandomValues(n, static_cast<unsigned>(n));
    const std::vector<double> expected = PackedFromFftw(input);
    Block b = MakeBlock(input);
    b.ForwardFFT();
    const std::vector<double> spectrum = ValuesOf(b);
    EXPECT_LE(MaxAbsDifference(spectrum, expected), Tolerance(n / 2, MaxAbs(expected)));
    // The Nyquist slot on its own: 2/sqrt(N) times the alternating sum.
    double alternating = 0.0;
    for (int i = 0; i < n; ++i) alternating += i % 2 == 0 ? input[i] : -input[i];
    EXPECT_NEAR(spectrum[n / 2], 2.0 * alternating / std::sqrt(static_cast<double>(n)), 1e-12);
  }
}

TEST(FftAgainstFftw, InverseOfAnFftwSpectrumGivesItsSignal) {
  for (int n : {2, 4, 16, 1024, 65536}) {
    SCOPED_TRACE(n);
    const std::vector<double> input = RandomValues(n, 1000u + static_cast<unsigned>(n));
    Block b = MakeBlock(PackedFromFftw(input));
    b.InverseFFT();
    EXPECT_LE(MaxAbsDifference(ValuesOf(b), input), Tolerance(n, MaxAbs(input)));
  }
}

TEST(FftRoundTrip, ForwardThenInverseRestoresValuesAndStep) {
  for (int n = 2; n <= 65536; n *= 4) {
    SCOPED_TRACE(n);
    const std::vector<double> input = RandomValues(n, 77u + static_cast<unsigned>(n));
    Block b = MakeBlock(input);
    b.GetStep() = 1.0 / 44100.0;
    b.ForwardFFT().InverseFFT();
    EXPECT_EQ(b.GetDomain(), dmReal);
    EXPECT_DOUBLE_EQ(b.GetStep(), 1.0 / 44100.0);
    EXPECT_LE(MaxAbsDifference(ValuesOf(b), input), Tolerance(n, 1.0));
  }
}

TEST(FftExactArithmetic, SameValuesAsThePlainRendering) {
  for (int n = 2; n <= 65536; n *= 2) {
    SCOPED_TRACE(n);
    const std::vector<double> input = RandomValues(n, 5u * static_cast<unsigned>(n));
    Block forward = MakeBlock(input);
    forward.ForwardFFT();
    EXPECT_EQ(ValuesOf(forward), literal::Forward(input));

    Block inverse = MakeBlock(input);  // read as a packed spectrum
    inverse.InverseFFT();
    EXPECT_EQ(ValuesOf(inverse), literal::Inverse(input));
  }
}

TEST(FftTables, ChangeOfSizeOrDirectionRebuildsThem) {
  const std::vector<double> input = RandomValues(1024, 11u);
  const std::vector<double> other = RandomValues(2048, 12u);
  const std::vector<double> expected = literal::Forward(input);
  const std::vector<double> expectedOther = literal::Forward(other);

  Block a = MakeBlock(input);
  a.ForwardFFT();
  EXPECT_EQ(ValuesOf(a), expected);
  a.InverseFFT();  // same size, other direction
  EXPECT_EQ(ValuesOf(a), literal::Inverse(expected));
  Block again = MakeBlock(input);
  again.ForwardFFT();  // and back
  EXPECT_EQ(ValuesOf(again), expected);

  Block bigger = MakeBlock(other);
  bigger.ForwardFFT();  // same direction, other size
  EXPECT_EQ(ValuesOf(bigger), expectedOther);
  bigger.InverseFFT();
  EXPECT_EQ(ValuesOf(bigger), literal::Inverse(expectedOther));
  Block smaller = MakeBlock(expected);
  smaller.InverseFFT();  // same direction, other size
  EXPECT_EQ(ValuesOf(smaller), literal::Inverse(expected));
}

TEST(FftOddSize, LastValueIsLeftOut) {
  Block b = MakeBlock({1, 0, 0, 0, 9});
  b.ForwardFFT();
  EXPECT_NEAR(b[0], 1.0, 1e-15);
  EXPECT_NEAR(b[1], 1.0, 1e-15);
  EXPECT_NEAR(b[2], 1.0, 1e-15);
  EXPECT_NEAR(b[3], 0.0, 1e-15);
  EXPECT_EQ(b[4], 9.0);
}

TEST(PowerSpectrum, SquaredMagnitudesInTheFirstHalf) {
  const int n = 64, h = n / 2;
  const std::vector<double> input = RandomValues(n, 3u);
  const std::vector<double> packed = PackedFromFftw(input);
  Block b = MakeBlock(input);
  b.PowerSpectrum(false, false);
  EXPECT_EQ(b.GetDomain(), dmPower);
  // Bin 0 pairs the DC value with the Nyquist value, as every complex
  // operation on the packed layout does.
  for (int k = 0; k < h; ++k)
    EXPECT_NEAR(b[k], packed[k] * packed[k] + packed[h + k] * packed[h + k], 1e-12) << k;
  for (int k = h; k < n; ++k) EXPECT_EQ(b[k], 0.0) << k;

  Block db = MakeBlock(input);
  db.PowerSpectrum(false, true);
  for (int k = 0; k < h; ++k) EXPECT_NEAR(db[k], 10.0 * std::log10(b[k]), 1e-9) << k;
}

TEST(PowerSpectrum, SmoothingUsesTheUnsmoothedNeighboursOfEachHalf) {
  const int n = 16, h = n / 2;
  const std::vector<double> input = RandomValues(n, 4u);
  const std::vector<double> v = PackedFromFftw(input);
  auto smoothed = [&](int first, int i) {
    const double left = i > 0 ? v[first + i - 1] : 0.0;
    const double right = i + 1 < h ? v[first + i + 1] : 0.0;
    return 0.5 * v[first + i] - 0.25 * (left + right);
  };
  Block b = MakeBlock(input);
  b.PowerSpectrum(true, false);
  for (int k = 0; k < h; ++k) {
    const double re = smoothed(0, k), im = smoothed(h, k);
    EXPECT_NEAR(b[k], re * re + im * im, 1e-12) << k;
  }
}

TEST(CrossSpectrum, ProductWithTheConjugateOfTheOther) {
  const int n = 32, h = n / 2;
  const std::vector<double> x = RandomValues(n, 5u), y = RandomValues(n, 6u);
  const std::vector<std::complex<double>> X = FftwSpectrum(x), Y = FftwSpectrum(y);
  Block a = MakeBlock(x), b = MakeBlock(y);
  a.ForwardFFT();
  b.ForwardFFT();
  a.CrossSpectrum(b);
  const double scale = 4.0 / n;  // (2/sqrt(N))^2
  for (int k = 1; k < h; ++k) {
    const std::complex<double> expected = scale * X[k] * std::conj(Y[k]);
    EXPECT_NEAR(a[k], expected.real(), 1e-12) << k;
    EXPECT_NEAR(a[h + k], expected.imag(), 1e-12) << k;
  }
  // Element 0 pairs DC with Nyquist: (X0 + i Xh)(Y0 - i Yh).
  EXPECT_NEAR(a[0], scale * (X[0].real() * Y[0].real() + X[h].real() * Y[h].real()), 1e-12);
  EXPECT_NEAR(a[h], scale * (X[h].real() * Y[0].real() - X[0].real() * Y[h].real()), 1e-12);
}

TEST(FftDeathTest, SizesThatAreNotPowersOfTwo) {
  const char* const notPowerOfTwo =
      R"(Assertion failed: \(1 << M\) == N, file Block\.cpp, line [0-9]+)";
  for (int n : {0, 1, 6, 12}) {
    SCOPED_TRACE(n);
    EXPECT_EXIT(Block(n).ForwardFFT(), ::testing::ExitedWithCode(3), notPowerOfTwo);
  }
  for (int n : {0, 6, 12}) {
    SCOPED_TRACE(n);
    EXPECT_EXIT(Block(n).InverseFFT(), ::testing::ExitedWithCode(3), notPowerOfTwo);
  }
}

TEST(FftDeathTest, CrossSpectrumOfDifferentSizes) {
  Block a(8), b(16);
  EXPECT_EXIT(a.CrossSpectrum(b), ::testing::ExitedWithCode(3),
              R"(Assertion failed: nt\.GetSize\(\) == m_iSize, file BLOFFT\.cpp, line [0-9]+)");
}

}  // namespace
