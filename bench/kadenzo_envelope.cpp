// An envelope file of 2,000,000 values loaded into kadenzo's window through
// its Load envelope command and shown (table, picture and all painted), then
// applied and assigned. The table is a view on the values: the load pays for the file,
// the values, the undo step and the picture, not for an item per cell.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cmath>

#include "Block.h"
#include "kdMain.h"

namespace {

constexpr int kValues = 2000000;

QString WriteLargeEnvelope(const QTemporaryDir& dir) {
  Block values(kValues);
  for (int i = 0; i < kValues; ++i) values[i] = 0.5 + 0.5 * std::sin(i * 0.0001);
  const QString path = dir.filePath(QStringLiteral("large.env"));
  return values.WriteToFile(path.toLocal8Bit().constData()) ? path : QString();
}

void LoadAndShowTwoMillionValues(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = WriteLargeEnvelope(dir);
  kadenzo::TForm1 form;
  form.show();
  QApplication::processEvents();
  for (auto _ : state) {
    form.OpenEnvelope(path);
    form.repaint();
    state.PauseTiming();
    if (form.Envelope().GetCount() != kValues - 1) state.SkipWithError("the envelope was not loaded");
    form.UndoClick();  // back to the 539 points of the start
    form.repaint();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kValues);
  state.SetLabel("items = values");
}

// The first Apply after the load reads every cell's text; Assign's one text
// is read once.
void ApplyAfterLoadingTwoMillionValues(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = WriteLargeEnvelope(dir);
  kadenzo::TForm1 form;
  form.show();
  for (auto _ : state) {
    state.PauseTiming();
    form.OpenEnvelope(path);
    form.repaint();
    state.ResumeTiming();
    form.RhythmApplyBtnClick();
    form.repaint();
    state.PauseTiming();
    form.UndoClick();
    form.UndoClick();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kValues);
  state.SetLabel("items = values");
}

void AssignTwoMillionValues(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = WriteLargeEnvelope(dir);
  kadenzo::TForm1 form;
  form.show();
  form.OpenEnvelope(path);
  QApplication::processEvents();
  for (auto _ : state) {
    form.AssignButtonClick();
    form.repaint();
  }
  state.SetItemsProcessed(state.iterations() * kValues);
  state.SetLabel("items = values");
}

}  // namespace

BENCHMARK(LoadAndShowTwoMillionValues)->Unit(benchmark::kMillisecond);
BENCHMARK(ApplyAfterLoadingTwoMillionValues)->Unit(benchmark::kMillisecond);
BENCHMARK(AssignTwoMillionValues)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
