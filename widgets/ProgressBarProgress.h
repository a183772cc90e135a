#pragma once
// Long work's progress shown on a window's progress bar, repainted at once,
// without returning to the event loop. A null bar shows nothing.

#include "Progress.h"

class QProgressBar;

class ProgressBarProgress : public Progress {
 public:
  explicit ProgressBarProgress(QProgressBar* bar) : m_pBar(bar) {}

  // The bar runs from 0 to steps and is shown.
  void Begin(std::int64_t steps) override;
  bool Step() override;
  // Back to 0; the bar stays visible.
  void End() override;

 private:
  QProgressBar* m_pBar;
};
