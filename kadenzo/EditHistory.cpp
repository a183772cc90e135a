#include "EditHistory.h"

#include <utility>

#include "Precondition.h"

namespace kadenzo {

std::size_t EditStep::Bytes() const {
  std::size_t bytes = 0;
  if (envelope) bytes += envelope->values.size() * sizeof(double);
  if (sound) {
    bytes += sound->samples.size() * sizeof(std::int16_t) + sound->periodStarts.size() * sizeof(std::int64_t);
  }
  return bytes;
}

void EditHistory::Record(EditStep before) {
  for (const EditStep& step : m_redo) m_bytes -= step.Bytes();
  m_redo.clear();
  m_bytes += before.Bytes();
  m_undo.push_back(std::move(before));
  DropOldest();
}

void EditHistory::DropOldest() {
  while (!m_undo.empty() && (m_undo.size() > m_maxSteps || m_bytes > m_maxBytes)) {
    m_bytes -= m_undo.front().Bytes();
    m_undo.pop_front();
  }
}

EditStep EditHistory::Swap(std::deque<EditStep>& from, std::deque<EditStep>& to, EditStep present) {
  BLOCK_REQUIRE(!from.empty(), "a step to take back");
  EditStep restored = std::move(from.back());
  from.pop_back();
  m_bytes += present.Bytes();
  m_bytes -= restored.Bytes();
  to.push_back(std::move(present));
  return restored;
}

EditStep EditHistory::Undo(EditStep present) { return Swap(m_undo, m_redo, std::move(present)); }

EditStep EditHistory::Redo(EditStep present) {
  EditStep restored = Swap(m_redo, m_undo, std::move(present));
  // A redone step can be larger than the one it undid.
  DropOldest();
  return restored;
}

}  // namespace kadenzo
