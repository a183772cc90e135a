#pragma once
// The work of two commands of kadenzo's main window, each one operation that
// the window calls with what its controls hold:
//   "&Create" (NoiseButtonClick): CreateSound
//   "&Rhythm" (RhythmButtonClick): RunRhythm
// Every user error is shown through the prompts and leaves everything as it
// was; a cancelled dialog ends the command silently.

#include <QString>
#include <memory>

class KadenzoPrompts;
class PictureWidget;
class QProgressBar;
class RandomGenerator;
class SeamlessCo;
class WaveSignal;

// What both commands use of the main window.
struct SynthesisContext {
  KadenzoPrompts& prompts;
  PictureWidget& image1;      // the waveform view; a created sound draws on its picture
  QProgressBar* progressBar;  // may be null
  RandomGenerator& random;
};

// The Model dialog's values for "&Create"; the window keeps them for the
// program's life.
struct SourceSettings {
  double duration = 10.0;     // seconds
  double frequency = 1000.0;  // Hz; 0 makes white noise
  double band = 400.0;        // Hz; 0 makes a sine
};

// The Model dialog's values for the modulator of "Frequency" and "Amp+Freq",
// also kept for the program's life.
struct ModulatorSettings {
  double frequency = 100.0;
  double band = 40.0;
};

// The texts of the rhythm's number fields, read with the locale's rule.
struct RhythmTexts {
  QString period;         // PeriodEdit, seconds
  QString timeDeviation;  // TimeDeviationEdit, percent
  QString magnDeviation;  // MagnDeviationEdit, percent
  QString maxDelay;       // MaxDelayEdit, milliseconds
};

// Asks the Model dialog, then makes a new sound of duration x 44100 samples
// of noise or a sine at 44100 samples per second, peak-normalised, draws it
// and sets its hint. It replaces the current sound (which stops playing) only
// once the new one is complete.
void CreateSound(std::unique_ptr<WaveSignal>& sound, SourceSettings& settings,
                 const SynthesisContext& context);

// Rebuilds the samples of the current sound (which may be null) under the
// rhythm envelope with the modulation type of the radio group's index, then
// draws it and sets its hint. Writes the envelope's seam point; for the
// Frequency types asks the Model dialog for the modulator.
void RunRhythm(const RhythmTexts& texts, int type, WaveSignal* sound, SeamlessCo& envelope,
               ModulatorSettings& modulator, const SynthesisContext& context);
