#pragma once
// Drives a progress display through a long loop in about 100 steps, whatever
// the loop's length. A null display makes every call do nothing.

#include <cstdint>

#include "Progress.h"

class TProgressWrapper {
 public:
  // step = total / 100 passes (at least 1); the display is told the number of
  // steps, from 0.
  void start(Progress* progress, std::int64_t total);
  // One loop pass: the display moves at the first pass and then every step passes.
  void tick() {
    if (m_iUntilStep == 0) Advance();
    --m_iUntilStep;
  }
  // The same as `passes` calls of tick().
  void tick(std::int64_t passes);
  // Back to position 0.
  void end();

 private:
  void Advance();

  Progress* m_pProgress = nullptr;
  std::int64_t m_iStep = 1;
  // Passes left before the display moves again (it moves when it is 0).
  std::int64_t m_iUntilStep = 0;
};
