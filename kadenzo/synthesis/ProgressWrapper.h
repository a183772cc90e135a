#pragma once
// Drives a progress bar through a long loop in about 100 steps, whatever the
// loop's length. The bar is repainted at once, without returning to the event
// loop. A null bar makes every call do nothing.

#include <cstdint>

class QProgressBar;

class TProgressWrapper {
 public:
  // step = total / 100 passes (at least 1); the bar runs from 0 to the number
  // of steps and is shown.
  void start(QProgressBar* bar, std::int64_t total);
  // One loop pass: the bar moves at the first pass and then every step passes.
  void tick() {
    if (m_iUntilStep == 0) Advance();
    --m_iUntilStep;
  }
  // The same as `passes` calls of tick().
  void tick(std::int64_t passes);
  // Back to position 0; the bar stays visible.
  void end();

 private:
  void Advance();

  QProgressBar* m_pBar = nullptr;
  std::int64_t m_iStep = 1;
  // Passes left before the bar moves again (the bar moves when it is 0).
  std::int64_t m_iUntilStep = 0;
};
