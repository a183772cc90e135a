// Tracing a 4000 x 1000 drawing and converting its profile to 8192 samples.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <cmath>

#include "QtPicture.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 1000;
constexpr int kSamples = 8192;

// A decaying beat drawn with a 3-pixel pen, broken by a few blank stretches.
QImage Drawing() {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setPen(QPen(Qt::black, 3));
  QPointF previous(0, kHeight - 10);
  for (int x = 1; x < kWidth; ++x) {
    const double t = static_cast<double>(x) / kWidth;
    const double level = std::exp(-4 * std::fmod(4 * t, 1.0)) * (0.5 + 0.5 * std::cos(20 * t));
    const QPointF point(x, (kHeight - 10) - (kHeight - 20) * level);
    if (x % 700 > 40) painter.drawLine(previous, point);
    previous = point;
  }
  return image;
}

void Trace(benchmark::State& state, const QImage& picture) {
  Block profile;
  for (auto _ : state) {
    vistemp::TraceProfile(profile, picture, 0.5);
    benchmark::DoNotOptimize(profile.GetData());
  }
  state.SetItemsProcessed(state.iterations() * picture.width() * picture.height());
  state.SetLabel("pixels");
}

void BM_TraceDrawing(benchmark::State& state) { Trace(state, Drawing()); }
BENCHMARK(BM_TraceDrawing)->Unit(benchmark::kMillisecond);

void BM_TracePaletteDrawing(benchmark::State& state) {
  Trace(state, Drawing().convertToFormat(QImage::Format_Indexed8));
}
BENCHMARK(BM_TracePaletteDrawing)->Unit(benchmark::kMillisecond);

// The worst case: no ink anywhere, so every pixel is read.
void BM_TraceBlank(benchmark::State& state) {
  QImage blank(kWidth, kHeight, QImage::Format_RGB32);
  blank.fill(Qt::white);
  Trace(state, blank);
}
BENCHMARK(BM_TraceBlank)->Unit(benchmark::kMillisecond);

// Log mapping, upsampling to 8192 with cubic gap filling, scaling to 1.
void BM_ConvertProfile(benchmark::State& state) {
  Block profile;
  vistemp::TraceProfile(profile, Drawing(), 0.5);
  for (auto _ : state) {
    Block envelope;
    vistemp::MakeEnvelope(envelope, profile, true, 60.0);
    Block out = vistemp::Resample(envelope, kSamples);
    vistemp::ScaleTo(out, 1.0);
    benchmark::DoNotOptimize(out.GetData());
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
  state.SetLabel("output samples");
}
BENCHMARK(BM_ConvertProfile)->Unit(benchmark::kMicrosecond);

// The whole job of Load followed by Save, without the files.
void BM_TraceAndConvert(benchmark::State& state) {
  const QImage picture = Drawing();
  for (auto _ : state) {
    Block profile;
    vistemp::TraceProfile(profile, picture, 0.5);
    Block envelope;
    vistemp::MakeEnvelope(envelope, profile, true, 60.0);
    Block out = vistemp::Resample(envelope, kSamples);
    vistemp::ScaleTo(out, 1.0);
    benchmark::DoNotOptimize(out.GetData());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  state.SetLabel("pixels");
}
BENCHMARK(BM_TraceAndConvert)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
