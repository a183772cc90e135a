#include "ProgressBarProgress.h"

#include <QProgressBar>

void ProgressBarProgress::Begin(std::int64_t steps) {
  if (m_pBar == nullptr) return;
  m_pBar->setRange(0, static_cast<int>(steps));
  m_pBar->setValue(0);
  m_pBar->setVisible(true);
  m_pBar->repaint();
}

bool ProgressBarProgress::Step() {
  if (m_pBar == nullptr) return true;
  m_pBar->setValue(m_pBar->value() + 1);
  m_pBar->repaint();
  return true;
}

void ProgressBarProgress::End() {
  if (m_pBar == nullptr) return;
  m_pBar->setValue(0);
  m_pBar->repaint();
}
