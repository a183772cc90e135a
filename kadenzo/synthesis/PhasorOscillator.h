#pragma once
// A sine source without a sine call per sample: a phasor (z1, z0) of length A
// rotated by the step angle at every next(). With phase 0 it gives
// -A sin(k omega) for k = 0, 1, 2, ...: it starts at 0 and first goes negative.

#include <cmath>

class PhasorOscillator {
 public:
  // The sine of the step angle is taken as never negative; that fixes the
  // phase of an aliased wave (omega beyond pi).
  void start(double A, double omega, double phi) {
    m_c = std::cos(omega);
    m_s = std::sqrt(1 - m_c * m_c);
    m_z0 = A * std::sin(phi);
    m_z1 = A * std::cos(phi);
  }

  // The output component as it was on entry; then one rotation.
  double next() {
    const double out = m_z0;
    const double z0 = m_z0 * m_c - m_z1 * m_s;
    m_z1 = m_z0 * m_s + m_z1 * m_c;
    m_z0 = z0;
    return out;
  }

 private:
  double m_z0 = 0.0;
  double m_z1 = 0.0;
  double m_c = 1.0;
  double m_s = 0.0;
};
