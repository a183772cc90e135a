// Conversion of numbers into samples, the waveform view and the hint.
#include <gtest/gtest.h>

#include <QImage>

#include <vector>

#include "Block.h"
#include "PictureWidget.h"
#include "ScriptedKadenzoPrompts.h"
#include "WaveSignal.h"

namespace {

const QRgb kWhite = 0xFFFFFFFF;
const QRgb kBlue = 0xFF0000FF;
const QRgb kBlack = 0xFF000000;
const QRgb kGrey = 0xFF808080;

std::vector<std::int16_t> SamplesOf(const WaveSignal& sound) {
  return {sound.GetSamples(0), sound.GetSamples(0) + sound.GetLength()};
}

std::vector<int> RowsOf(const QImage& image, int x, QRgb colour) {
  std::vector<int> rows;
  for (int y = 0; y < image.height(); ++y) {
    if (image.pixel(x, y) == colour) rows.push_back(y);
  }
  return rows;
}

std::vector<int> ColumnsOf(const QImage& image, int y, QRgb colour) {
  std::vector<int> columns;
  for (int x = 0; x < image.width(); ++x) {
    if (image.pixel(x, y) == colour) columns.push_back(x);
  }
  return columns;
}

QImage Picture(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::red);
  return image;
}

}  // namespace

TEST(WaveSignal, SetFromBlockScalesThePeakTo32767AndTruncates) {
  struct Case {
    std::vector<double> values;
    std::vector<std::int16_t> expected;
  };
  const std::vector<Case> cases = {
      {{1.0, 0.99999, -0.5, 0.5, 0.0}, {32767, 32766, -16383, 16383, 0}},
      {{-4.0, -2.0, -1.0, -3.0, -4.0}, {-32767, -16383, -8191, -24575, -32767}},
      {{0.25, -1.0, 0.5, 0.75, 1.0}, {8191, -32767, 16383, 24575, 32767}},
  };
  ScriptedKadenzoPrompts prompts;
  for (const Case& c : cases) {
    WaveSignal sound(nullptr, &prompts);
    sound.SetLength(5);
    Block block(5);
    for (int i = 0; i < 5; ++i) block[i] = c.values[static_cast<std::size_t>(i)];
    EXPECT_TRUE(sound.SetFromBlock(block, 8000));
    EXPECT_EQ(SamplesOf(sound), c.expected);
    EXPECT_EQ(sound.GetSampleRate(), 8000);

    std::vector<float> floats(c.values.begin(), c.values.end());
    WaveSignal fromFloats(nullptr, &prompts);
    fromFloats.SetLength(5);
    EXPECT_TRUE(fromFloats.SetFromFloats(floats.data(), 8000));
    // Single precision: the peak still gives 32767 and half of it 16383.
    EXPECT_EQ(SamplesOf(fromFloats)[0], c.expected[0]);
    EXPECT_EQ(SamplesOf(fromFloats)[4], c.expected[4]);
  }
}

TEST(WaveSignal, ZeroPeakLeavesSamplesAndReportsFalse) {
  ScriptedKadenzoPrompts prompts;
  WaveSignal sound(nullptr, &prompts);
  sound.SetLength(3);
  Block block(3);
  block[0] = 1.0;
  ASSERT_TRUE(sound.SetFromBlock(block, 44100));
  const std::vector<std::int16_t> before = SamplesOf(sound);
  EXPECT_FALSE(sound.SetFromBlock(Block(3), 22050));
  EXPECT_FALSE(sound.SetFromBlock(Block(), 22050));
  const float zeros[3] = {0, 0, 0};
  EXPECT_FALSE(sound.SetFromFloats(zeros, 22050));
  EXPECT_EQ(SamplesOf(sound), before);
  EXPECT_EQ(sound.GetSampleRate(), 22050);
}

TEST(WaveSignal, ShortBlockIsRepeatedAndLongBlockCut) {
  ScriptedKadenzoPrompts prompts;
  WaveSignal sound(nullptr, &prompts);
  sound.SetLength(250);
  Block block(100);
  for (int i = 0; i < 100; ++i) block[i] = i + 1;
  ASSERT_TRUE(sound.SetFromBlock(block, 44100));
  const std::vector<std::int16_t> s = SamplesOf(sound);
  for (int i = 0; i < 250; ++i) ASSERT_EQ(s[static_cast<std::size_t>(i)], (i % 100 + 1) * 32767 / 100) << i;

  sound.SetLength(10);
  ASSERT_TRUE(sound.SetFromBlock(block, 44100));
  EXPECT_EQ(SamplesOf(sound)[9], 10 * 32767 / 100);
}

TEST(WaveSignal, NonFiniteValuesDoNotOverflowSamples) {
  ScriptedKadenzoPrompts prompts;
  WaveSignal sound(nullptr, &prompts);
  sound.SetLength(3);
  Block block(3);
  block[0] = 1.0;
  block[1] = std::numeric_limits<double>::infinity();
  block[2] = -2.0;
  sound.SetFromBlock(block, 44100);
  for (std::int16_t v : SamplesOf(sound)) EXPECT_GE(v, -32767);
}

TEST(WaveSignal, EmptySoundDrawsAGreyCrossAndSwitchesTheHintOff) {
  ScriptedKadenzoPrompts prompts;
  QImage image = Picture(40, 30);
  WaveSignal sound(&image, &prompts);
  sound.Draw();
  EXPECT_EQ(image.pixel(0, 0), kBlack);
  EXPECT_EQ(image.pixel(20, 0), kGrey);
  EXPECT_EQ(image.pixel(0, 15), kGrey);
  EXPECT_EQ(image.pixel(20, 15), kBlack);
  EXPECT_EQ(RowsOf(image, 5, kBlack).size(), 2u);

  PictureWidget control;
  control.SetHint(QStringLiteral("old"));
  control.SetHintShown(true);
  sound.UpdateHint(&control);
  EXPECT_FALSE(control.HintShown());
  EXPECT_EQ(control.Hint(), QStringLiteral("old"));
  sound.UpdateHint(nullptr);
}

TEST(WaveSignal, HintGivesCountAndDuration) {
  ScriptedKadenzoPrompts prompts;
  WaveSignal sound(nullptr, &prompts);
  sound.SetLength(22050);
  PictureWidget control;
  sound.UpdateHint(&control);
  EXPECT_TRUE(control.HintShown());
  EXPECT_EQ(control.Hint(), QStringLiteral("22050 counts"));
  sound.SetFormat(11025);
  sound.UpdateHint(&control);
  EXPECT_EQ(control.Hint(), QStringLiteral("22050 counts\n2.00 sec"));
}

TEST(WaveSignal, ColumnModeShowsMinToMaxOfEachColumnsSamples) {
  ScriptedKadenzoPrompts prompts;
  QImage image = Picture(500, 101);
  WaveSignal sound(&image, &prompts);
  sound.SetLength(1000);
  sound.SetFormat(44100);
  // Two samples per column: even columns swing from -32767 to 32767, odd ones stay at 0.
  Block block(4);
  block[0] = 1.0;
  block[1] = -1.0;
  sound.SetFromBlock(block, 44100);
  sound.Draw();
  const double k = 101 / 65535.0;
  const int top = static_cast<int>(50 - 32767 * k);
  const int bottom = static_cast<int>(50 + 32767 * k);
  for (int x = 0; x < 500; x += 2) {
    ASSERT_EQ(RowsOf(image, x, kBlue).front(), top) << x;
    ASSERT_EQ(RowsOf(image, x, kBlue).back(), bottom - 1) << x;
    ASSERT_EQ(RowsOf(image, x + 1, kBlue), std::vector<int>{50}) << x + 1;
  }
  EXPECT_EQ(image.pixel(1, 0), kWhite);
}

TEST(WaveSignal, PointModeJoinsSamplesAndMarksThemWhenFarApart) {
  struct Case {
    int length;
    std::vector<int> markColumns;
  };
  std::vector<int> everyFifth;
  for (int x = 0; x < 500; x += 5) {
    for (int c = x - 2; c <= x + 1; ++c) {
      if (c >= 0) everyFifth.push_back(c);
    }
  }
  // 500 samples: one per pixel, no marks; 100 samples: a mark at every fifth pixel.
  for (const Case& c : {Case{500, {}}, Case{100, everyFifth}}) {
    SCOPED_TRACE(c.length);
    ScriptedKadenzoPrompts prompts;
    QImage image = Picture(500, 60);
    WaveSignal sound(&image, &prompts);
    sound.SetLength(c.length);
    sound.SetFormat(8000);
    sound.Draw();
    // A constant sound lies on the middle row; marks stand 2 pixels above it.
    EXPECT_EQ(ColumnsOf(image, 28, kBlue), c.markColumns);
    EXPECT_GE(ColumnsOf(image, 30, kBlue).size(), 495u * (c.markColumns.empty() ? 1 : 0) + 1);
    EXPECT_TRUE(ColumnsOf(image, 26, kBlue).empty());
  }
}

TEST(WaveSignal, ConstantSoundInColumnModeIsOnePixelHigh) {
  ScriptedKadenzoPrompts prompts;
  QImage image = Picture(100, 50);
  WaveSignal sound(&image, &prompts);
  sound.SetLength(1000);
  Block block(1);
  block[0] = 1.0;
  sound.SetFromBlock(block, 44100);
  sound.Draw();
  const int row = static_cast<int>(25 - 32767 * (50 / 65535.0));
  for (int x = 0; x < 100; ++x) ASSERT_EQ(RowsOf(image, x, kBlue), std::vector<int>{row}) << x;
}

TEST(StereoWaveSignal, DrawsLeftAboveRightAndRefusesToLoad) {
  ScriptedKadenzoPrompts prompts;
  QImage image = Picture(100, 100);
  StereoWaveSignal sound(&image, &prompts);
  // Unary plus copies the packed fields before gtest binds references to them.
  EXPECT_EQ(+sound.GetFormat().nChannels, 2);
  EXPECT_EQ(+sound.GetFormat().nBlockAlign, 4);
  EXPECT_EQ(+sound.GetFormat().nAvgBytesPerSec, 176400u);
  sound.SetLength(2000);
  // Left loud, right silent.
  for (int i = 0; i < 2000; i += 2) *sound.GetSamples(i) = (i / 2) % 2 ? 30000 : -30000;
  sound.Draw();
  // Upper half 50 pixels high: +-30000 reach rows 2 .. 46; the silent right channel is row 75 alone.
  std::vector<int> rows = RowsOf(image, 50, kBlue);
  std::vector<int> expected;
  for (int y = 2; y <= 46; ++y) expected.push_back(y);
  expected.push_back(75);
  EXPECT_EQ(rows, expected);

  sound.Load(QStringLiteral("anything.wav"));
  EXPECT_EQ(prompts.messages, QStringList{QStringLiteral("not implemented: StereoWaveSignal::Load")});
  EXPECT_EQ(sound.GetLength(), 2000);
}
