#include "ProgressWrapper.h"

#include <QProgressBar>

void TProgressWrapper::start(QProgressBar* bar, std::int64_t total) {
  m_pBar = bar;
  m_iStep = total / 100 > 0 ? total / 100 : 1;
  m_iUntilStep = 0;
  if (m_pBar == nullptr) return;
  m_pBar->setRange(0, static_cast<int>((total + m_iStep - 1) / m_iStep));
  m_pBar->setValue(0);
  m_pBar->setVisible(true);
  m_pBar->repaint();
}

void TProgressWrapper::tick(std::int64_t passes) {
  while (passes > m_iUntilStep) {
    passes -= m_iUntilStep + 1;
    Advance();
    m_iUntilStep = m_iStep - 1;
  }
  m_iUntilStep -= passes;
}

void TProgressWrapper::end() {
  if (m_pBar == nullptr) return;
  m_pBar->setValue(0);
  m_pBar->repaint();
}

void TProgressWrapper::Advance() {
  m_iUntilStep = m_iStep;
  if (m_pBar == nullptr) return;
  m_pBar->setValue(m_pBar->value() + 1);
  m_pBar->repaint();
}
