#include "Filter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;

// The band as two numbers: the mid-point alpha and the half-width beta of the
// interval between cos 2pi(f0 + B) and cos 2pi(f0 - B).
struct DesignAngles {
  DesignAngles(double f0, double B)
      : alpha(std::cos(kTwoPi * f0) * std::cos(kTwoPi * B)), beta(std::sin(kTwoPi * f0) * std::sin(kTwoPi * B)) {}
  double alpha;
  double beta;
};

// Where section i of count puts its poles; v and w are 0 when it has none.
struct SectionPoles {
  SectionPoles(const DesignAngles& angles, int count, int i) {
    const double dPhi = kPi / count;
    const double phi = i * dPhi + 0.5 * dPhi;
    re = angles.alpha + angles.beta * std::cos(phi);
    im = angles.beta * std::sin(phi);
    const double u = 1 - (re * re + im * im);
    v = 0.5 * (std::sqrt(u * u + 4 * (im * im)) - u);
    w = std::sqrt(v + 1) + std::sqrt(v);
  }
  double re;
  double im;
  double v;
  double w;
};

}  // namespace

CFilter::CFilter() = default;

void CFilter::Design(double f0, double B, int Power) {
  BLOCK_REQUIRE(Power <= 2 * Max_Filter_Power, "Power<= 2*Max_Filter_Power");
  m_iCount = Power / 2;

  const DesignAngles angles(f0, B);
  // The frequency at which the cascade is normalised to unit gain.
  const double alpha = angles.alpha;
  const double fc = std::atan(std::sqrt(1 - alpha * alpha) / alpha) * (1 / kTwoPi);

  double sum = 0.0;
  for (int i = 0; i < m_iCount; ++i) {
    const SectionPoles section(angles, m_iCount, i);
    // A section without a pole pair (B = 0, for one) cannot be normalised.
    BLOCK_REQUIRE(section.v != 0.0 && section.w != 0.0, "0");
    double r = 2 * std::sqrt(1 - section.im * section.im / section.v) / section.w;
    if (section.re < 0) r = -r;
    m_a1[i] = -r;
    m_a2[i] = 1 / (section.w * section.w);
    sum += std::log(SectionsPowerGain(m_a1 + i, m_a2 + i, 1, 1.0, fc));
  }
  m_dGain = std::exp(-sum / (2 * m_iCount));
}

bool CFilter::CanDesign(double f0, double B, int Power) {
  if (Power > 2 * Max_Filter_Power) return false;
  const int count = Power / 2;
  const DesignAngles angles(f0, B);
  for (int i = 0; i < count; ++i) {
    const SectionPoles section(angles, count, i);
    if (!(section.v != 0.0 && section.w != 0.0 && std::isfinite(section.v) && std::isfinite(section.w))) {
      return false;
    }
  }
  return true;
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

void CFilter::FilterBlock(Block& b, Progress* progress, int steps) {
  Reset();
  const int n = b.GetSize();
  const int interval = std::max(steps != 0 ? n / steps : 1, 1);
  for (int i = 0; i < n; ++i) {
    if (i % interval == 0 && progress && !progress->Step()) break;
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
