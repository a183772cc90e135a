#include "Block.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// One gap between two anchors n indices apart; index p + k of the gap gets
// a + (b - a) * k^2 * (3n - 2k) / n^3, a step that leaves a and reaches b flat.
struct GapCubic {
  explicit GapCubic(int n) : n(n), n3(static_cast<double>(n) * n * n), threeN(3.0 * n) {}
  double At(double a, double b, int k) const {
    const double kd = k;
    return a + (b - a) * kd * kd * (threeN - 2.0 * kd) / n3;
  }
  int n;
  double n3;
  double threeN;
};

// Fills the indices strictly between the anchors (p, a) and (q, b) that lie in
// 0 .. size-1; p and q may lie outside the block (the cyclic form's virtual anchors).
void FillCubicGap(double* values, int size, int p, double a, int q, double b) {
  const GapCubic gap(q - p);
  const int first = std::max(p + 1, 0);
  const int last = std::min(q - 1, size - 1);
  for (int i = first; i <= last; ++i) values[i] = gap.At(a, b, i - p);
}

}  // namespace

int Log2(int N) {
  int M = 0;
  while (M < 31 && (1 << M) < N) ++M;
  BLOCK_REQUIRE(M < 31 && (1 << M) == N, "(1 << M) == N");
  return M;
}

Block::Block() = default;

Block::Block(int n) { SetSize(n); }

Block::Block(const Block& b) {
  SetSize(b.m_iSize);
  if (m_iSize > 0) CopyRange(b, 0, -1, 0);
}

Block::~Block() = default;

void Block::SetSize(int n) {
  m_pData.reset();
  m_iSize = 0;
  if (n > 0) {
    m_pData = MakeZeroedLargeArray<double>(static_cast<std::size_t>(n));
    m_iSize = n;
  }
  m_dStart = 0.0;
  m_dStep = 1.0;
  m_eDomain = dmReal;
  m_bUserFlag = 0;
  m_bDoCheckRange = true;
  m_szUnit[0] = '\0';
}

bool Block::SetCheckRange(bool on) {
  const bool previous = m_bDoCheckRange;
  m_bDoCheckRange = on;
  return previous;
}

int Block::DefaultEnd() const { return m_eDomain == dmPower ? (m_iSize - 1) >> 1 : m_iSize - 1; }

void Block::NormalizeRange(int& iKd, int& iKf) const {
  if (iKf < 0) iKf = DefaultEnd();
  // Beyond the classic check, a range must not leave the block at either end.
  BLOCK_REQUIRE(((iKd < m_iSize && iKf < m_iSize) || iKd < iKf) && iKd >= 0 && iKf < m_iSize,
                "iKd<m_iSize && iKf<m_iSize || iKd<iKf");
}

Block& Block::Fill(double v, int iKd, int iKf) {
  NormalizeRange(iKd, iKf);
  for (int i = iKd; i <= iKf; ++i) m_pData[i] = v;
  return *this;
}

Block& Block::CopyRange(const Block& src, int iKd, int iKf, int iKn) {
  NormalizeRange(iKd, iKf);
  BLOCK_REQUIRE(std::int64_t{iKf} - iKd + iKn < m_iSize && iKn >= 0 && iKd <= iKf,
                "iKf-iKd+iKn<m_iSize && iKn>=0 && iKd<=iKf");
  BLOCK_REQUIRE(iKf < src.m_iSize, "iKf<src.GetSize()");
  std::memmove(m_pData.get() + iKn, src.m_pData.get() + iKd,
               static_cast<std::size_t>(iKf - iKd + 1) * sizeof(double));
  return *this;
}

Block& Block::operator+=(const Block& bOper) {
  BLOCK_REQUIRE(m_iSize == bOper.m_iSize, "m_iSize==bOper.m_iSize");
  for (int i = 0; i < m_iSize; ++i) m_pData[i] += bOper.m_pData[i];
  return *this;
}

Block& Block::operator-=(const Block& bOper) {
  BLOCK_REQUIRE(m_iSize == bOper.m_iSize, "m_iSize==bOper.m_iSize");
  for (int i = 0; i < m_iSize; ++i) m_pData[i] -= bOper.m_pData[i];
  return *this;
}

Block& Block::operator*=(const Block& bOper) {
  BLOCK_REQUIRE(m_iSize == bOper.m_iSize, "m_iSize==bOper.m_iSize");
  if (m_eDomain == dmComp && bOper.m_eDomain == dmComp) {
    const int h = m_iSize / 2;
    double* re = m_pData.get();
    double* im = re + h;
    const double* opRe = bOper.m_pData.get();
    const double* opIm = opRe + h;
    for (int i = 0; i < h; ++i) {
      const double a = re[i], b = im[i], c = opRe[i], d = opIm[i];
      re[i] = a * c - b * d;
      im[i] = a * d + b * c;
    }
  } else {
    for (int i = 0; i < m_iSize; ++i) m_pData[i] *= bOper.m_pData[i];
  }
  return *this;
}

Block& Block::operator/=(const Block& bOper) {
  BLOCK_REQUIRE(m_iSize == bOper.m_iSize, "m_iSize==bOper.m_iSize");
  for (int i = 0; i < m_iSize; ++i) {
    const double d = bOper.m_pData[i];
    m_pData[i] = d != 0.0 ? m_pData[i] / d : 0.0;
  }
  return *this;
}

Block& Block::operator+=(const double& v) {
  for (int i = 0; i < m_iSize; ++i) m_pData[i] += v;
  return *this;
}

Block& Block::operator*=(const double& v) {
  for (int i = 0; i < m_iSize; ++i) m_pData[i] *= v;
  return *this;
}

Block& Block::RemoveMean() {
  const double mean = Mean(0, -1);
  for (int i = 0; i < m_iSize; ++i) m_pData[i] -= mean;
  return *this;
}

Block& Block::SignedSqrt() {
  for (int i = 0; i < m_iSize; ++i) {
    const double x = m_pData[i];
    m_pData[i] = x >= 0 ? std::sqrt(x) : -std::sqrt(-x);
  }
  return *this;
}

Block& Block::Difference() {
  double previous = 0.0;
  for (int i = 0; i < m_iSize; ++i) {
    const double x = m_pData[i];
    m_pData[i] = i == 0 ? 0.0 : x - previous;
    previous = x;
  }
  return *this;
}

Block& Block::FromDecibels() {
  for (int i = 0; i < m_iSize; ++i) m_pData[i] = std::pow(10.0, 0.1 * m_pData[i]);
  return *this;
}

Block& Block::ToDecibels() {
  double smallest = 0.0;
  bool anyPositive = false;
  for (int i = 0; i < m_iSize; ++i) {
    const double x = m_pData[i];
    if (x > 0 && x < 1e38 && (!anyPositive || x < smallest)) {
      smallest = x;
      anyPositive = true;
    }
  }
  if (!anyPositive) return *this;
  const double floor = 10.0 * std::log10(smallest);
  for (int i = 0; i < m_iSize; ++i) {
    const double x = m_pData[i];
    m_pData[i] = x > 0 ? 10.0 * std::log10(x) : floor;
  }
  return *this;
}

Block& Block::FillGapsLinear() {
  int p = -1;  // index of the last nonzero value
  int i = 0;
  while (i < m_iSize) {
    if (m_pData[i] != 0.0) {
      p = i++;
      continue;
    }
    if (p < 0) {  // zeros before the first value stay
      ++i;
      continue;
    }
    int q = i + 1;
    while (q < m_iSize && m_pData[q] == 0.0) ++q;
    if (q == m_iSize) break;  // trailing zeros stay
    const double step = (m_pData[q] - m_pData[p]) / (q - p);
    double value = m_pData[p];
    for (int d = 1; d < q - p; ++d) {
      value += step;
      m_pData[p + d] = value;
    }
    i = q;
  }
  return *this;
}

Block& Block::FillGapsCubic(bool cyclic) {
  double* values = m_pData.get();
  int p;
  double a;
  if (cyclic) {
    int last = m_iSize - 1;
    while (last >= 0 && values[last] == 0.0) --last;
    if (last < 0) return *this;
    p = last - m_iSize;  // the last value seen once more, one period earlier
    a = values[last];
  } else {
    p = 0;
    while (p < m_iSize && values[p] == 0.0) ++p;
    if (p == m_iSize) return *this;
    a = values[p];
  }
  int firstAnchor = -1;
  for (int q = std::max(p + 1, 0); q < m_iSize; ++q) {
    if (values[q] == 0.0) continue;
    if (firstAnchor < 0) firstAnchor = q;
    FillCubicGap(values, m_iSize, p, a, q, values[q]);
    p = q;
    a = values[q];
  }
  if (cyclic) {
    // Close the circle: from the last anchor towards the first, one period later.
    FillCubicGap(values, m_iSize, p, a, m_iSize + firstAnchor, values[firstAnchor]);
  }
  return *this;
}

Block& Block::TakeMax(const Block& b) {
  for (int i = 0; i < m_iSize; ++i) {
    const double x = b[i];
    if (x > m_pData[i]) m_pData[i] = x;
  }
  return *this;
}

void Block::ToPolar(Block& mag, Block& phase) const {
  const int h = m_iSize / 2;
  if (mag.m_iSize != h) mag.SetSize(h);
  if (phase.m_iSize != h) phase.SetSize(h);
  for (int i = 0; i < h; ++i) {
    const double re = m_pData[i];
    const double im = m_pData[h + i];
    mag.m_pData[i] = std::sqrt(re * re + im * im);
    phase.m_pData[i] = re == 0.0 && im == 0.0 ? 0.0 : std::atan2(-im, re) * 180.0 / kPi;
  }
  mag.m_dStart = phase.m_dStart = m_dStart;
  mag.m_dStep = phase.m_dStep = m_dStep;
}

Block& Block::FromPolar(const Block& mag, const Block& phase) {
  const int nk = mag.GetSize();
  BLOCK_REQUIRE(phase.GetSize() == nk, "bPhase.GetSize() == nk");
  if (m_iSize != 2 * nk) SetSize(2 * nk);
  for (int i = 0; i < nk; ++i) {
    const double p = phase.m_pData[i] * kPi / 180.0;
    m_pData[i] = std::cos(p) * mag.m_pData[i];
    m_pData[nk + i] = -std::sin(p) * mag.m_pData[i];
  }
  return *this;
}

Block& Block::Convolve(Block& kernel, Progress* progress, int steps) {
  const int m = kernel.GetSize();
  const int half = m / 2;
  const int n = m_iSize;
  const std::vector<double> copy(m_pData.get(), m_pData.get() + n);
  // Kernel taps beyond its end (an even-sized kernel) read as 0.
  kernel.SetCheckRange(false);
  const int interval = std::max(steps != 0 ? n / steps : 1, 1);
  for (int i = 0; i < n; ++i) {
    if (i % interval == 0 && progress && !progress->Step()) break;
    double sum = 0.0;
    const int jFirst = std::max(-half, -i);
    const int jLast = std::min(half, n - 1 - i);
    for (int j = jFirst; j <= jLast; ++j) sum += kernel[half - j] * copy[i + j];
    m_pData[i] = sum;
  }
  kernel.SetCheckRange(true);
  return *this;
}

Block& Block::CumulativeSum() {
  double sum = 0.0;
  for (int i = 0; i < m_iSize; ++i) {
    sum += m_pData[i];
    m_pData[i] = sum;
  }
  return *this;
}

Block& Block::Abs() {
  for (int i = 0; i < m_iSize; ++i) m_pData[i] = std::fabs(m_pData[i]);
  return *this;
}

Block& Block::Clip(double lo, double hi) {
  if (lo > hi) std::swap(lo, hi);
  if (lo == hi) {
    // Fill validates its range; an empty block has none and nothing to clip.
    if (m_iSize > 0) Fill(lo, 0, m_iSize - 1);
    return *this;
  }
  for (int i = 0; i < m_iSize; ++i) m_pData[i] = std::clamp(m_pData[i], lo, hi);
  return *this;
}

void Block::MinMax(BlockExtremes& out, int iKd, int iKf) const {
  NormalizeRange(iKd, iKf);
  out.max = out.min = m_pData[iKd];
  out.maxPos = out.minPos = iKd;
  for (int i = iKd + 1; i <= iKf; ++i) {
    const double x = m_pData[i];
    if (x < out.min) {
      out.min = x;
      out.minPos = i;
    } else if (x > out.max) {
      out.max = x;
      out.maxPos = i;
    }
  }
}

double Block::Sum(int iKd, int iKf) const {
  NormalizeRange(iKd, iKf);
  double sum = 0.0;
  for (int i = iKd; i <= iKf; ++i) sum += m_pData[i];
  return sum;
}

double Block::Mean(int iKd, int iKf) const {
  NormalizeRange(iKd, iKf);
  return Sum(iKd, iKf) / (iKf - iKd + 1);
}

double Block::StdDev(int iKd, int iKf) const {
  NormalizeRange(iKd, iKf);
  const double m = Mean(iKd, iKf);
  double sum = 0.0;
  for (int i = iKd; i <= iKf; ++i) {
    const double d = m_pData[i] - m;
    sum += d * d;
  }
  return std::sqrt(sum / (iKf - iKd));
}

Block& Block::Histogram(Block& hist, int iKd, int iKf) const {
  NormalizeRange(iKd, iKf);
  const int last = hist.GetSize() - 1;
  for (int i = iKd; i <= iKf; ++i) {
    double t = (m_pData[i] - hist.m_dStart) / hist.m_dStep;
    if (!(t >= 0)) t = 0;  // also a NaN value
    if (t > last) t = last;
    hist[static_cast<int>(t)] += 1.0;
  }
  return hist;
}
