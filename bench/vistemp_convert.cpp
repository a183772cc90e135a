// Tracing a 4000 x 1000 drawing and converting its profile to 8192 samples;
// tracing an A4 page at 600 dpi (4960 x 7016) and converting it, by darkness
// and by colour, from the window's 32-bit pixels and vistemp-trace's RGB rows.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

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

constexpr int kPageWidth = 4960;
constexpr int kPageHeight = 7016;

// A chart on an A4 page: a black frame, a red curve low on the page (so that
// most of each column is read before its ink) and a blue one above it.
QImage Page() {
  QImage image(kPageWidth, kPageHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setPen(QPen(Qt::black, 6));
  painter.drawRect(200, 200, kPageWidth - 400, kPageHeight - 400);
  for (const auto& [colour, base] : {std::pair{QColor(230, 20, 10), 5500.0}, {QColor(20, 40, 220), 3000.0}}) {
    painter.setPen(QPen(colour, 8));
    QPointF previous(300, base);
    for (int x = 301; x < kPageWidth - 300; x += 4) {
      const QPointF point(x, base - 1200 * std::exp(-3 * std::fmod(x / 1100.0, 1.0)));
      painter.drawLine(previous, point);
      previous = point;
    }
  }
  return image;
}

// The page as vistemp-trace decodes it: 8-bit RGB rows.
std::vector<std::uint8_t> RgbRows(const QImage& page) {
  const QImage rgb = page.convertToFormat(QImage::Format_RGB888);
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(rgb.width()) * rgb.height() * 3);
  for (int y = 0; y < rgb.height(); ++y) {
    std::memcpy(rows.data() + static_cast<std::size_t>(y) * rgb.width() * 3, rgb.constScanLine(y),
                static_cast<std::size_t>(rgb.width()) * 3);
  }
  return rows;
}

// Trace (inside the frame when asked) and convert as the save does: log 60,
// 8192 samples, scaled to 1 when there is ink to scale.
void TraceAndConvertPage(benchmark::State& state, const vistemp::PixelView& page, const vistemp::InkRule& ink,
                         std::optional<vistemp::Region> region, bool scaled = true) {
  vistemp::SaveSettings settings;
  settings.resampleTo = kSamples;
  if (scaled) settings.scaleTo = 1.0;
  for (auto _ : state) {
    Block profile;
    vistemp::TraceProfile(profile, page, ink, region);
    Block out;
    vistemp::MakeSavedEnvelope(out, profile, settings);
    benchmark::DoNotOptimize(out.GetData());
  }
  state.SetItemsProcessed(state.iterations() * kPageWidth * kPageHeight);
  state.SetLabel("pixels");
}

const vistemp::InkRule kRedInk = vistemp::InkRule::Near(vistemp::MakeColour(230, 20, 10), 60);
const vistemp::Region kInsideFrame{210, 210, kPageWidth - 420, kPageHeight - 420};

void BM_A4Page(benchmark::State& state) {
  static const QImage page = Page();
  static const std::vector<std::uint8_t> rgb = RgbRows(page);
  const vistemp::QImagePixels window(page);
  vistemp::PixelView command = window.View();
  command.layout = vistemp::PixelView::Layout::Rgb24;
  command.pixels = rgb.data();
  command.stride = static_cast<std::ptrdiff_t>(kPageWidth) * 3;
  const vistemp::PixelView& pixels = state.range(0) == 0 ? window.View() : command;
  switch (state.range(1)) {
    case 0: TraceAndConvertPage(state, pixels, vistemp::InkRule::Darker(0.5), std::nullopt); break;
    case 1: TraceAndConvertPage(state, pixels, vistemp::InkRule::Darker(0.5), kInsideFrame); break;
    case 2: TraceAndConvertPage(state, pixels, kRedInk, std::nullopt); break;
    default: TraceAndConvertPage(state, pixels, vistemp::InkRule::Darker(0.0), std::nullopt, false); break;
  }
}
// Arguments: pixels (0 the window's 32-bit, 1 vistemp-trace's RGB), ink (0 dark,
// 1 dark inside the frame, 2 the red curve, 3 none at all: every pixel read).
BENCHMARK(BM_A4Page)->ArgsProduct({{0, 1}, {0, 1, 2, 3}})->ArgNames({"rgb", "ink"})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
