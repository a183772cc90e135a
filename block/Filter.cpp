#include "Filter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;

}  // namespace

CFilter::CFilter() = default;

void CFilter::Design(double f0, double B, int Power) {
  BLOCK_REQUIRE(Power <= 2 * Max_Filter_Power, "Power<= 2*Max_Filter_Power");
  m_iCount = Power / 2;

  const double wA = kTwoPi * f0;
  const double wB = kTwoPi * B;
  // Mid-point and half-width of the interval between cos 2pi(f0 + B) and cos 2pi(f0 - B).
  const double alpha = std::cos(wA) * std::cos(wB);
  const double beta = std::sin(wA) * std::sin(wB);
  // The frequency at which the cascade is normalised to unit gain.
  const double fc = std::atan(std::sqrt(1 - alpha * alpha) / alpha) * (1 / kTwoPi);

  const double dPhi = kPi / m_iCount;
  const double phi0 = 0.5 * dPhi;
  double sum = 0.0;
  for (int i = 0; i < m_iCount; ++i) {
    const double phi = i * dPhi + phi0;
    const double re = alpha + beta * std::cos(phi);
    const double im = beta * std::sin(phi);
    const double u = 1 - (re * re + im * im);
    const double v = 0.5 * (std::sqrt(u * u + 4 * (im * im)) - u);
    const double w = std::sqrt(v + 1) + std::sqrt(v);
    // A section without a pole pair (B = 0, for one) cannot be normalised.
    BLOCK_REQUIRE(v != 0.0 && w != 0.0, "0");
    double r = 2 * std::sqrt(1 - im * im / v) / w;
    if (re < 0) r = -r;
    m_a1[i] = -r;
    m_a2[i] = 1 / (w * w);
    sum += std::log(SectionsPowerGain(m_a1 + i, m_a2 + i, 1, 1.0, fc));
  }
  m_dGain = std::exp(-sum / (2 * m_iCount));
}

void CFilter::Reset() {
  for (int i = 0; i < m_iCount; ++i) m_sections[i] = {0.0, 0.0, m_a1[i], m_a2[i], m_dGain};
}

double CFilter::Process(double x) {
  for (int i = 0; i < m_iCount; ++i) {
    FilterSection& s = m_sections[i];
    const double y = s.gain * x - s.a1 * s.y1 - s.a2 * s.y2;
    s.y2 = s.y1;
    s.y1 = y;
    x = y;
  }
  return x;
}

void CFilter::FilterBlock(Block& b, ProgressFn fn, void* user, int steps) {
  Reset();
  const int n = b.GetSize();
  const int interval = std::max(steps != 0 ? n / steps : 1, 1);
  for (int i = 0; i < n; ++i) {
    if (i % interval == 0 && fn && !fn(user)) break;
    b[i] = Process(b[i]);
  }
}

double CFilter::SectionsPowerGain(const double* a1, const double* a2, int n, double g, double f) {
  const double omega = kTwoPi * f;
  const double cos1 = std::cos(omega), sin1 = std::sin(omega);
  const double cos2 = std::cos(2 * omega), sin2 = std::sin(2 * omega);
  double H = 1.0;
  for (int i = 0; i < n; ++i) {
    const double re = 1.0 + a1[i] * cos1 + a2[i] * cos2;
    const double im = -a1[i] * sin1 - a2[i] * sin2;
    H = g * g * H / (re * re + im * im);
  }
  return H;
}
