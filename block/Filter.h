#pragma once
// CFilter: a recursive band-pass filter, a cascade of two-pole sections
// gain / (1 + a1 z^-1 + a2 z^-2), designed from a centre frequency f0 and a
// half-bandwidth B (cycles per sample; the pass band runs from f0 - B to f0 + B)
// and normalised to unit gain at the centre. Calling order: Design, Reset, then
// Process per value (or FilterBlock, which resets by itself).

#include "Block.h"

constexpr int Max_Filter_Power = 40;

struct FilterSection {
  double y1;
  double y2;
  double a1;
  double a2;
  double gain;
};

class CFilter {
 public:
  CFilter();
  virtual ~CFilter() = default;

  // Power / 2 sections; Power above 2 * Max_Filter_Power is a precondition failure.
  virtual void Design(double f0, double B, int Power);
  // Loads the designed coefficients into the running sections and clears their state.
  virtual void Reset();
  double Process(double x);
  void FilterBlock(Block& b, Progress* progress, int steps);

  // Whether Design(f0, B, Power) can make every section: callers with
  // frequencies from the user refuse the others instead of failing inside it.
  static bool CanDesign(double f0, double B, int Power);

  // Squared magnitude of n sections with common gain g at frequency f.
  static double SectionsPowerGain(const double* a1, const double* a2, int n, double g, double f);

  int GetCount() const { return m_iCount; }
  double GetGain() const { return m_dGain; }
  const double* GetA1() const { return m_a1; }
  const double* GetA2() const { return m_a2; }

 private:
  int m_iCount = 0;
  double m_a1[Max_Filter_Power] = {};
  double m_a2[Max_Filter_Power] = {};
  double m_dGain = 0.0;
  // One running section per designable section, so that every design that
  // passes the power check can run.
  FilterSection m_sections[Max_Filter_Power] = {};
};
