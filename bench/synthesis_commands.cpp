// The two commands of kadenzo's synthesis over 10 minutes at 44.1 kHz
// (26,460,000 samples): "&Rhythm" with each of the six modulation types on
// band-limited noise (1000 Hz, band 400 Hz), and "&Create" of that noise. Both
// run as the window runs them, on an offscreen picture and progress bar, with
// the Model dialog answered at once. Items are samples.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QProgressBar>
#include <QTableWidget>
#include <memory>

#include "KadenzoCommands.h"
#include "KadenzoPrompts.h"
#include "MorphCoeffs.h"
#include "PictureWidget.h"
#include "RandomGenerator.h"
#include "WaveSignal.h"

namespace {

constexpr double kSeconds = 600.0;
constexpr int kSamples = 26460000;

// Accepts every dialog as it is and swallows messages.
class AcceptingPrompts : public KadenzoPrompts {
 public:
  void ShowMessage(const QString&, const QString&) override {}
  QString AskFileName(const FileDialogOptions&) override { return {}; }
  void AskChannel(const QString&, int&) override {}
  bool AskModel(double*, double*, double*) override { return true; }
};

struct Window {
  Window() : context{prompts, image1, &progressBar, random} {
    image1.resize(539, 89);
    progressBar.resize(539, 16);
  }
  AcceptingPrompts prompts;
  PictureWidget image1;
  QProgressBar progressBar;
  RandomGenerator random{[] { return std::int64_t{1234}; }};
  SynthesisContext context;
};

Window& TheWindow() {
  static Window window;
  return window;
}

void Create(benchmark::State& state) {
  Window& window = TheWindow();
  SourceSettings settings;
  settings.duration = kSeconds;
  std::unique_ptr<WaveSignal> sound;
  for (auto _ : state) {
    CreateSound(sound, settings, window.context);
    benchmark::DoNotOptimize(sound->GetSamples(0));
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}

void Rhythm(benchmark::State& state) {
  Window& window = TheWindow();
  SourceSettings settings;
  settings.duration = kSeconds;
  std::unique_ptr<WaveSignal> source;
  CreateSound(source, settings, window.context);
  WaveSignal sound(&window.image1.Image(), &window.prompts);
  sound.SetLength(kSamples);
  sound.SetFormat(44100);

  // A rising and falling envelope, as typed into the table.
  QTableWidget grid;
  SeamlessCo envelope(540, nullptr, 0.5, &grid);
  envelope.Resize(540);
  for (int i = 0; i < envelope.GetCount(); ++i)
    envelope[i] = i < 270 ? i / 270.0 : (539 - i) / 270.0;
  ModulatorSettings modulator;
  const RhythmTexts texts{QStringLiteral("0.25"), QStringLiteral("10"), QStringLiteral("10"),
                          QStringLiteral("100")};
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(source->GetSamples(0), source->GetSamples(kSamples), sound.GetSamples(0));
    state.ResumeTiming();
    RunRhythm(texts, static_cast<int>(state.range(0)), &sound, envelope, modulator, window.context);
    benchmark::DoNotOptimize(sound.GetSamples(0));
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}

}  // namespace

BENCHMARK(Create)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Rhythm)->DenseRange(0, 5)->ArgName("type")->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
