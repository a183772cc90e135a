#pragma once
// The window's side of two commands of kadenzo's main window, each one
// operation that the window calls with what its controls hold:
//   "&Create" (NoiseButtonClick): CreateSound
//   "&Rhythm" (RhythmButtonClick): RunRhythm
// They ask the user through the prompts, run the window-free work and report
// whether the sound changed; the window draws the result. Every user error is
// shown through the prompts and leaves everything as it was; a cancelled
// dialog ends the command silently.

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "LearnRhythm.h"
#include "RhythmEngine.h"
#include "SourceGenerator.h"

class KadenzoPrompts;
class Progress;
class QImage;
class RandomGenerator;
class SeamlessCo;
class WaveSignal;

// What both commands use of the main window.
struct SynthesisContext {
  KadenzoPrompts& prompts;
  QImage* canvas;  // the waveform view's picture, for a created sound
  Progress* progress;  // may be null
  RandomGenerator& random;
  // The seed every run takes; none: the clock's seconds at the start of the run.
  std::optional<std::uint64_t> keptSeed;
};

// The texts of the rhythm's number fields, read with the locale's rule.
struct RhythmTexts {
  QString period;         // PeriodEdit, seconds
  QString timeDeviation;  // TimeDeviationEdit, percent
  QString magnDeviation;  // MagnDeviationEdit, percent
  QString maxDelay;       // MaxDelayEdit, milliseconds
};

enum class CommandOutcome {
  Unchanged,  // refused or cancelled: the sound is as it was
  Changed,    // the sound is new or rewritten; the generator holds the run's seed
};

// Asks the Model dialog (whose answers settings keeps), then makes a new sound
// of noise or a sine. It replaces the current sound (which stops playing) only
// once the new one is complete.
CommandOutcome CreateSound(std::unique_ptr<WaveSignal>& sound, SourceSettings& settings,
                           const SynthesisContext& context);

// Rebuilds the samples of the current sound (which may be null) under the
// rhythm envelope with the modulation type of the radio group's index. Writes
// the envelope's seam point; for the Frequency types asks the Model dialog for
// the modulator. periods, when given, receives where the periods fell.
CommandOutcome RunRhythm(const RhythmTexts& texts, int type, WaveSignal* sound, SeamlessCo& envelope,
                         ModulatorSettings& modulator, const SynthesisContext& context,
                         std::vector<PeriodRecord>* periods = nullptr);

// What "Lear&n…" found in a sound file: the rhythm, or the message (with its
// caption) that says why nothing changes.
struct LearnOutcome {
  LearnedRhythm rhythm;
  QString message;
  QString caption;
};
LearnOutcome LearnFromFile(const QString& fileName, Progress* progress);
