// wavplot: draws sound files one above the other into a PNG with the kit's own
// plotting (the drawing of the envelope picture), each strip with a title over
// it and its time span under it. scripts/type-pictures draws the pictures of
// the modulation types with it.
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "Block.h"
#include "CommandLine.h"
#include "Plot.h"
#include "SaveFile.h"
#include "SoundFile.h"

namespace {

struct Strip {
  Block values;  // the first channel, in [-1, 1)
  int rate = 0;
};

// A sound file's strip, or why it cannot be drawn.
std::string ReadStrip(const std::string& fileName, Strip& strip) {
  WaveFileContent content = ReadSoundFile(fileName);
  if (content.result != WaveReadResult::Loaded) return ReadRefusalMessage(content, fileName);
  if (content.frames < 2) return fileName + ": too short to draw";
  const LargeArray<std::int16_t> samples = TakeWaveChannel(content, 0);
  strip.values.SetSize(content.frames);
  double* values = strip.values.GetData();
  for (int i = 0; i < content.frames; ++i) values[i] = samples[i] / 32768.0;
  strip.rate = static_cast<int>(content.format.nSamplesPerSec);
  return {};
}

// "FROM:TO" in seconds as a range of sample indices within the strip; empty
// text is the whole strip. False for a span that holds fewer than two samples.
bool SpanIndices(const std::string& span, const Strip& strip, int& first, int& last) {
  first = 0;
  last = strip.values.GetSize() - 1;
  if (span.empty()) return true;
  // from_chars reads a point whatever the C locale, which QGuiApplication takes from the environment.
  const std::size_t colon = span.find(':');
  if (colon == std::string::npos) return false;
  const char* const end = span.data() + span.size();
  double from = 0, to = 0;
  const std::from_chars_result fromRead = std::from_chars(span.data(), span.data() + colon, from);
  const std::from_chars_result toRead = std::from_chars(span.data() + colon + 1, end, to);
  if (fromRead.ptr != span.data() + colon || toRead.ptr != end || fromRead.ec != std::errc() ||
      toRead.ec != std::errc() || !(from >= 0) || !(to > from)) {
    return false;
  }
  first = static_cast<int>(std::min<double>(from * strip.rate, last));
  last = static_cast<int>(std::min<double>(to * strip.rate, last));
  return first < last;
}

QString Seconds(double seconds) { return QStringLiteral("%1 s").arg(seconds, 0, 'g', 4); }

}  // namespace

int main(int argc, char** argv) {
  // A picture needs no screen: draw offscreen unless told otherwise.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);

  CLI::App app{"Draws sound files one above the other as waveforms into a PNG picture.", "wavplot"};
  cli::AddVersion(app);
  std::string output;
  std::vector<std::string> inputs, titles, spans;
  int width = 800, height = 120;
  app.add_option("OUT", output, "The PNG picture to write")->required();
  app.add_option("IN", inputs, "Sound files, drawn top to bottom (their first channel)")->required();
  cli::AllowEmpty(app.add_option("--title", titles, "A title over each strip, in the order of the files"))
      ->type_name("TEXT")
      ->allow_extra_args(false);
  cli::AllowEmpty(
      app.add_option("--span", spans, "The seconds FROM:TO of each file to draw, in their order (empty: all)"))
      ->type_name("FROM:TO")
      ->allow_extra_args(false);
  app.add_option("--width", width, "Pixels")->check(CLI::Range(100, 4000))->capture_default_str();
  app.add_option("--height", height, "Pixels of each strip")->check(CLI::Range(40, 2000))->capture_default_str();
  if (const auto code = cli::Parse(app, argc, argv)) return *code;
  RemoveUnfinishedSavesOnTermination();
  for (const auto* given : {&titles, &spans}) {
    if (!given->empty() && given->size() != inputs.size()) {
      std::fprintf(stderr, "give one --title and one --span for every file, or none\n");
      return cli::kUsage;
    }
  }

  std::vector<Strip> strips(inputs.size());
  std::vector<std::pair<int, int>> ranges(inputs.size());
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    if (const std::string refusal = ReadStrip(inputs[k], strips[k]); !refusal.empty()) return cli::Refuse(refusal);
    if (!SpanIndices(spans.empty() ? std::string() : spans[k], strips[k], ranges[k].first, ranges[k].second)) {
      std::fprintf(stderr, "not a span of %s: %s\n", inputs[k].c_str(), spans[k].c_str());
      return cli::kUsage;
    }
  }

  QImage picture(width, height * static_cast<int>(inputs.size()), QImage::Format_RGB32);
  picture.fill(Qt::white);
  QPainter canvas(&picture);
  const QFontMetrics metrics = canvas.fontMetrics();
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    const QRect strip(0, static_cast<int>(k) * height, width, height);
    const auto [first, last] = ranges[k];
    // Equal lower and upper limits: the range is the strip's own, symmetric about zero.
    PlotInRect(strips[k].values, canvas, strip, first, last, 0.0, 0.0, 0, 0, PlotFlavour::Rhythm);
    // That range leaves the plot's label rows empty: the title goes above, the time span below.
    canvas.setPen(Qt::black);
    if (!titles.empty()) {
      canvas.drawText(strip.left() + 5, strip.top() + 2 + metrics.ascent(), QString::fromStdString(titles[k]));
    }
    const int baseline = strip.top() + height - (metrics.height() + 4) + 2 + metrics.ascent();
    canvas.drawText(strip.left() + 5, baseline, Seconds(static_cast<double>(first) / strips[k].rate));
    const QString end = Seconds(static_cast<double>(last + 1) / strips[k].rate);
    canvas.drawText(strip.left() + width - 5 - metrics.horizontalAdvance(end), baseline, end);
  }
  canvas.end();
  // Encoded first and saved whole, so that a failed write leaves the old file.
  QByteArray png;
  QBuffer buffer(&png);
  SaveFile file(output);
  if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG") || !file.Open() ||
      !file.Write(png.constData(), static_cast<std::size_t>(png.size())) || !file.Commit()) {
    return cli::Refuse("Can not create " + output);
  }
  return cli::kDone;
}
