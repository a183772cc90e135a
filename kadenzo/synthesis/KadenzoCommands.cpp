#include "KadenzoCommands.h"

#include <climits>
#include <cmath>

#include "Block.h"
#include "KadenzoPrompts.h"
#include "LocaleNumbers.h"
#include "MorphCoeffs.h"
#include "PictureWidget.h"
#include "RandomGenerator.h"
#include "RhythmEngine.h"
#include "SourceGenerator.h"
#include "WaveSignal.h"

namespace {

constexpr int kCreatedRate = 44100;

const QString kNoSource = QStringLiteral("Source signal should be generated or loaded first.");
const QString kWrongPeriod = QStringLiteral("Wrong period value.");
const QString kWrongDuration = QStringLiteral("Wrong duration value.");
const QString kWrongModel = QStringLiteral("Wrong frequency or band value.");
const QString kOverflow = QStringLiteral("Floating point overflow");
const QString kInvalid = QStringLiteral("Invalid floating point operation");

void ShowSound(WaveSignal& sound, PictureWidget& image1) {
  sound.Draw();
  image1.update();
  sound.UpdateHint(&image1);
}

}  // namespace

void CreateSound(std::unique_ptr<WaveSignal>& sound, SourceSettings& settings,
                 const SynthesisContext& context) {
  if (!context.prompts.AskModel(&settings.duration, &settings.frequency, &settings.band)) return;
  const double length = kCreatedRate * settings.duration;
  if (!(length >= 1.0 && length <= INT_MAX)) {
    context.prompts.ShowMessage(kWrongDuration);
    return;
  }
  const int n = static_cast<int>(length);
  const double a = settings.band / kCreatedRate;
  const double b = settings.frequency / kCreatedRate;
  if (!SourceParametersUsable(a, b)) {
    context.prompts.ShowMessage(kWrongModel);
    return;
  }
  // Made aside: a failure on the way (an allocation, say) leaves the current sound as it was.
  Block block(n);
  auto created = std::make_unique<WaveSignal>(&context.image1.Image(), &context.prompts);
  created->SetLength(n);
  if (!GenerateSource(block, a, b, context.random, context.progressBar)) {
    context.prompts.ShowMessage(kOverflow);
    return;
  }
  created->SetFromBlock(block, kCreatedRate);
  sound = std::move(created);
  ShowSound(*sound, context.image1);
}

void RunRhythm(const RhythmTexts& texts, int type, WaveSignal* sound, SeamlessCo& envelope,
               ModulatorSettings& modulator, const SynthesisContext& context) {
  context.random.SeedFromClock();
  const double P = LocaleTextToSingle(texts.period);
  // A failed load leaves a sound without samples, and a rate of 0 gives no time.
  if (sound == nullptr || sound->GetLength() <= 0 || sound->GetSampleRate() <= 0) {
    context.prompts.ShowMessage(kNoSource);
    return;
  }
  if (!(P > 0)) {
    context.prompts.ShowMessage(kWrongPeriod);
    return;
  }
  const int fs = sound->GetSampleRate();
  Block m;
  const bool modulated = type == mtFrequency || type == mtAmpFreq;
  if (modulated) {
    const double length = P * fs;
    if (length > INT_MAX) {
      context.prompts.ShowMessage(kWrongPeriod);
      return;
    }
    const int Np = static_cast<int>(length);
    if (Np == 0) return;
    if (!context.prompts.AskModel(nullptr, &modulator.frequency, &modulator.band)) return;
    const double a = modulator.band / fs;
    const double b = modulator.frequency / fs;
    if (!SourceParametersUsable(a, b)) {
      context.prompts.ShowMessage(kWrongModel);
      return;
    }
    if (!MakeModulator(m, Np, a, b, context.random, context.progressBar)) {
      context.prompts.ShowMessage(kOverflow);
      return;
    }
  }

  RhythmParameters parameters;
  parameters.period = P;
  parameters.timeDeviation = LocaleTextToSingle(texts.timeDeviation) * 0.01;
  parameters.magnDeviation = LocaleTextToSingle(texts.magnDeviation) * 0.01;
  parameters.maxDelay = LocaleTextToSingle(texts.maxDelay) * 0.001 * fs;
  parameters.type = type;
  if (!(std::isfinite(parameters.timeDeviation) && std::isfinite(parameters.magnDeviation) &&
        std::isfinite(parameters.maxDelay))) {
    context.prompts.ShowMessage(kInvalid);
    return;
  }

  if (RhythmizeSound(*sound, parameters, modulated ? &m : nullptr, envelope, context.random,
                     context.progressBar) == RhythmOutcome::Overflow) {
    context.prompts.ShowMessage(kOverflow);
    return;
  }
  ShowSound(*sound, context.image1);
}
