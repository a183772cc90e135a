#pragma once
// The window's undo and redo history. Every step keeps what one command
// changed as it was before (the envelope's values, the sound's samples and
// rate, or both); undoing a step swaps that with the window's present state,
// so that redoing it gives back the command's result exactly, without running
// the command again. The history keeps the newest steps within a count and a
// byte budget and drops the oldest first.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace kadenzo {

struct EnvelopeSnapshot {
  std::vector<double> values;  // every stored value, the seam point included
  bool operator==(const EnvelopeSnapshot&) const = default;
};

struct SoundSnapshot {
  bool present = false;  // false: there was no sound
  std::vector<std::int16_t> samples;  // interleaved
  int sampleRate = 0;
  int channels = 1;
  std::vector<std::int64_t> periodStarts;  // where a Rhythm's periods began
  bool operator==(const SoundSnapshot&) const = default;
};

// The parts of the window's state that one step changed.
struct EditStep {
  std::optional<EnvelopeSnapshot> envelope;
  std::optional<SoundSnapshot> sound;
  std::size_t Bytes() const;
};

class EditHistory {
 public:
  static constexpr std::size_t kMaxSteps = 32;
  static constexpr std::size_t kMaxBytes = std::size_t{1} << 30;

  explicit EditHistory(std::size_t maxSteps = kMaxSteps, std::size_t maxBytes = kMaxBytes)
      : m_maxSteps(maxSteps), m_maxBytes(maxBytes) {}

  // A command has changed the window: before holds the parts it changed as
  // they were. Forgets every step that could be redone.
  void Record(EditStep before);

  // The step the next Undo (Redo) restores, or null when there is none; its
  // parts tell which present state the caller passes in.
  const EditStep* NextUndo() const { return m_undo.empty() ? nullptr : &m_undo.back(); }
  const EditStep* NextRedo() const { return m_redo.empty() ? nullptr : &m_redo.back(); }
  // present holds the same parts as NextUndo() (NextRedo()) as they are now;
  // returns the state to restore. There must be a step.
  EditStep Undo(EditStep present);
  EditStep Redo(EditStep present);

  std::size_t UndoCount() const { return m_undo.size(); }
  std::size_t RedoCount() const { return m_redo.size(); }
  std::size_t Bytes() const { return m_bytes; }

 private:
  EditStep Swap(std::deque<EditStep>& from, std::deque<EditStep>& to, EditStep present);
  void DropOldest();

  std::size_t m_maxSteps;
  std::size_t m_maxBytes;
  std::deque<EditStep> m_undo;  // oldest first
  std::deque<EditStep> m_redo;  // the next redo last
  std::size_t m_bytes = 0;      // of both lists
};

}  // namespace kadenzo
