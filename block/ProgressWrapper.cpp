#include "ProgressWrapper.h"

void TProgressWrapper::start(Progress* progress, std::int64_t total) {
  m_pProgress = progress;
  m_iStep = total / 100 > 0 ? total / 100 : 1;
  m_iUntilStep = 0;
  if (m_pProgress) m_pProgress->Begin((total + m_iStep - 1) / m_iStep);
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
  if (m_pProgress) m_pProgress->End();
}

void TProgressWrapper::Advance() {
  m_iUntilStep = m_iStep;
  if (m_pProgress) m_pProgress->Step();
}
