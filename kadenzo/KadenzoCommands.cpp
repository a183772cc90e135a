#include "KadenzoCommands.h"

#include <QFile>

#include "Block.h"
#include "LearnedSettings.h"
#include "SoundFile.h"
#include "KadenzoPrompts.h"
#include "LocaleNumbers.h"
#include "MemoryBudget.h"
#include "Messages.h"
#include "MorphCoeffs.h"
#include "RandomGenerator.h"
#include "WaveSignal.h"

namespace {

void SeedRun(const SynthesisContext& context) {
  context.random.Seed(context.keptSeed ? *context.keptSeed : context.random.ClockSeed());
}

}  // namespace

CommandOutcome CreateSound(std::unique_ptr<WaveSignal>& sound, SourceSettings& settings,
                           const SynthesisContext& context) {
  if (!context.prompts.AskModel(&settings.duration, &settings.frequency, &settings.band)) {
    return CommandOutcome::Unchanged;
  }
  SeedRun(context);
  // Made aside: a failure on the way (an allocation, say) leaves the current sound as it was.
  auto created = std::make_unique<WaveSignal>(context.canvas, &context.prompts);
  std::uint64_t tooMany = 0;
  switch (CreateSource(settings, context.random, context.progress, *created, &tooMany)) {
    case SourceOutcome::Created:
      sound = std::move(created);
      return CommandOutcome::Changed;
    case SourceOutcome::WrongDuration:
      context.prompts.ShowMessage(messages::kWrongDuration);
      break;
    case SourceOutcome::TooLarge:
      context.prompts.ShowMessage(QString::fromStdString(NotEnoughMemoryMessage(tooMany)));
      break;
    case SourceOutcome::WrongModel:
      context.prompts.ShowMessage(messages::kWrongModel);
      break;
    case SourceOutcome::Overflow:
      context.prompts.ShowMessage(messages::kOverflow);
      break;
  }
  return CommandOutcome::Unchanged;
}

CommandOutcome RunRhythm(const RhythmTexts& texts, int type, WaveSignal* sound, SeamlessCo& envelope,
                         ModulatorSettings& modulator, const SynthesisContext& context,
                         std::vector<PeriodRecord>* periods) {
  SeedRun(context);
  const double P = LocaleTextToSingle(texts.period);
  int Np = 0;
  std::uint64_t tooMany = 0;
  switch (CheckRhythm(sound, P, type, &Np, &tooMany)) {
    case RhythmCheck::NoSource:
      context.prompts.ShowMessage(messages::kNoSource);
      return CommandOutcome::Unchanged;
    case RhythmCheck::WrongPeriod:
      context.prompts.ShowMessage(messages::kWrongPeriod);
      return CommandOutcome::Unchanged;
    case RhythmCheck::TooLarge:
      context.prompts.ShowMessage(QString::fromStdString(NotEnoughMemoryMessage(tooMany)));
      return CommandOutcome::Unchanged;
    case RhythmCheck::NoModulator:
      return CommandOutcome::Unchanged;
    case RhythmCheck::Ready:
      break;
  }
  const int fs = sound->GetSampleRate();
  // Read before the modulator's dialog, so that a field that is no finite
  // number changes nothing.
  const std::optional<RhythmParameters> parameters =
      MakeRhythmParameters({P, LocaleTextToSingle(texts.timeDeviation), LocaleTextToSingle(texts.magnDeviation),
                            LocaleTextToSingle(texts.maxDelay), type},
                           fs);
  if (!parameters) {
    context.prompts.ShowMessage(messages::kInvalid);
    return CommandOutcome::Unchanged;
  }
  Block m;
  if (UsesModulator(type)) {
    if (!context.prompts.AskModel(nullptr, &modulator.frequency, &modulator.band)) return CommandOutcome::Unchanged;
    const double a = modulator.band / fs;
    const double b = modulator.frequency / fs;
    if (!SourceParametersUsable(a, b)) {
      context.prompts.ShowMessage(messages::kWrongModel);
      return CommandOutcome::Unchanged;
    }
    if (!MakeModulator(m, Np, a, b, context.random, context.progress)) {
      context.prompts.ShowMessage(messages::kOverflow);
      return CommandOutcome::Unchanged;
    }
  }

  if (RhythmizeSound(*sound, *parameters, UsesModulator(type) ? &m : nullptr, envelope.ForEngine(), context.random,
                     context.progress, periods) == RhythmOutcome::Overflow) {
    context.prompts.ShowMessage(messages::kOverflow);
    return CommandOutcome::Unchanged;
  }
  return CommandOutcome::Changed;
}

LearnOutcome LearnFromFile(const QString& fileName, Progress* progress) {
  LearnOutcome outcome;
  const WaveFileContent content = ReadSoundFile(QFile::encodeName(fileName).toStdString());
  if (content.result != WaveReadResult::Loaded) {
    outcome.message = QString::fromStdString(ReadRefusalMessage(content, fileName.toStdString()));
    outcome.caption = QStringLiteral("Error");
    return outcome;
  }
  outcome.rhythm = LearnFromSamples(content.samples.get(), content.frames, content.format.nChannels,
                                    static_cast<int>(content.format.nSamplesPerSec), progress);
  if (outcome.rhythm.confidence < kLeastConfidence) {
    outcome.message = QString::fromStdString(NoRhythmMessage(fileName.toStdString(), outcome.rhythm.confidence));
  }
  return outcome;
}
