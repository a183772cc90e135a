// Conversion of numbers into samples, the waveform view and the hint.
#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "Block.h"
#include "PictureWidget.h"
#include "ScriptedKadenzoPrompts.h"
#include "WaveSignal.h"

namespace {

using Samples = std::vector<std::int16_t>;
const QRgb kWhite = 0xFFFFFFFF, kBlue = 0xFF0000FF, kBlack = 0xFF000000, kGrey = 0xFF808080;

Samples SamplesOf(const WaveSignal& sound) { return {sound.GetSamples(0), sound.GetSamples(0) + sound.GetLength()}; }

Block MakeBlock(const std::vector<double>& values) {
  Block block(static_cast<int>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) block[static_cast<int>(i)] = values[i];
  return block;
}

// The rows (or, with a row given, the columns) where the picture has the colour.
std::vector<int> Where(const QImage& image, int x, int y, QRgb colour) {
  std::vector<int> found;
  const int n = x < 0 ? image.width() : image.height();
  for (int i = 0; i < n; ++i) {
    if (image.pixel(x < 0 ? i : x, x < 0 ? y : i) == colour) found.push_back(i);
  }
  return found;
}
std::vector<int> RowsOf(const QImage& image, int x, QRgb colour) { return Where(image, x, 0, colour); }
std::vector<int> ColumnsOf(const QImage& image, int y, QRgb colour) { return Where(image, -1, y, colour); }

class WaveSignalTest : public testing::Test {
 protected:
  // A sound of the given length drawing into a red picture.
  void MakeSound(int length, int width, int height) {
    image = QImage(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    sound.SetCanvas(&image);
    sound.SetLength(length);
  }

  ScriptedKadenzoPrompts prompts;
  QImage image;
  WaveSignal sound{nullptr, &prompts};
};

}  // namespace

TEST_F(WaveSignalTest, SetFromBlockScalesThePeakTo32767AndTruncates) {
  const std::vector<std::pair<std::vector<double>, Samples>> cases = {
      {{1.0, 0.99999, -0.5, 0.5, 0.0}, {32767, 32766, -16383, 16383, 0}},
      {{-4.0, -2.0, -1.0, -3.0, -4.0}, {-32767, -16383, -8191, -24575, -32767}},
      {{0.25, -1.0, 0.5, 0.75, 1.0}, {8191, -32767, 16383, 24575, 32767}},
      // A shorter block is repeated, a longer one cut (its peak still counts).
      {{0.5, -1.0}, {16383, -32767, 16383, -32767, 16383}},
      {{0.5, 0.25, -1.0}, {16383, 8191}},
  };
  for (const auto& [values, expected] : cases) {
    sound.SetLength(static_cast<int>(expected.size()));
    EXPECT_TRUE(sound.SetFromBlock(MakeBlock(values), 8000));
    EXPECT_EQ(SamplesOf(sound), expected);
    EXPECT_EQ(sound.GetSampleRate(), 8000);
    if (values.size() != expected.size()) continue;
    // Single precision: the peak still gives 32767 and half of it 16383.
    const std::vector<float> floats(values.begin(), values.end());
    EXPECT_TRUE(sound.SetFromFloats(floats.data(), 8000));
    EXPECT_EQ(SamplesOf(sound).front(), expected.front());
    EXPECT_EQ(SamplesOf(sound).back(), expected.back());
  }
}

TEST_F(WaveSignalTest, ZeroPeakLeavesSamplesAndInfinityDoesNotOverflow) {
  sound.SetLength(3);
  ASSERT_TRUE(sound.SetFromBlock(MakeBlock({1.0}), 44100));
  EXPECT_FALSE(sound.SetFromBlock(Block(3), 22050));
  EXPECT_FALSE(sound.SetFromBlock(Block(), 22050));
  const float zeros[3] = {0, 0, 0};
  EXPECT_FALSE(sound.SetFromFloats(zeros, 22050));
  EXPECT_EQ(SamplesOf(sound), (Samples{32767, 32767, 32767}));
  EXPECT_EQ(sound.GetSampleRate(), 22050);

  sound.SetFromBlock(MakeBlock({1.0, std::numeric_limits<double>::infinity(), -2.0}), 44100);
  for (std::int16_t v : SamplesOf(sound)) EXPECT_GE(v, -32767);
}

// Four frames at a time and the rest one by one give the same samples: each
// value truncated after the scale, clamped to the 16-bit range, an undefined
// one 0, and the channels interleaved.
TEST_F(WaveSignalTest, CentredChannelsBecomeTruncatedClampedInterleavedSamples) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const float left[7] = {0.75f, 0.0f, 2.25f, nan, -inf, 1.25f, -0.75f};
  const float right[7] = {-0.75f, 1.25f, 0.25f, 0.5f, 3.25f, nan, 0.75f};
  const double means[2] = {0.25, 0.25};
  const float* channels[2] = {left, right};
  sound.SetLength(7);
  ASSERT_TRUE(sound.SetFromCentredChannels(channels, means, 1, 1.0f, 44100, 1));
  EXPECT_EQ(SamplesOf(sound), (Samples{16383, -8191, 32767, 0, -32767, 32767, -32767}));
  sound.SetLength(14);
  ASSERT_TRUE(sound.SetFromCentredChannels(channels, means, 2, 1.0f, 44100, 1));
  EXPECT_EQ(SamplesOf(sound), (Samples{16383, -32767, -8191, 32767, 32767, 0, 0, 8191, -32767, 32767, 32767, 0,
                                       -32767, 16383}));
}

TEST_F(WaveSignalTest, TakeFromBlockGivesTheSamplesOfSetFromBlock) {
  // Several spans of 2 MB of values and a partial one, the memory handed back behind them.
  const int n = 3 * (1 << 18) + 12345;
  Block block(n);
  for (int i = 0; i < n; ++i) block[i] = std::sin(i * 0.001) * (1.0 + i % 7);
  sound.SetLength(n);
  ASSERT_TRUE(sound.SetFromBlock(block, 44100));
  const Samples expected = SamplesOf(sound);
  WaveSignal taken{nullptr, &prompts};
  EXPECT_TRUE(taken.TakeFromBlock(block, 22050));
  EXPECT_EQ(SamplesOf(taken), expected);
  EXPECT_EQ(taken.GetSampleRate(), 22050);

  // A peak of 0: n zero samples.
  Block zeros(n);
  EXPECT_FALSE(taken.TakeFromBlock(zeros, 8000));
  EXPECT_EQ(SamplesOf(taken), Samples(static_cast<std::size_t>(n), 0));
  EXPECT_EQ(taken.GetSampleRate(), 8000);
}

TEST_F(WaveSignalTest, EmptySoundDrawsAGreyCrossAndTheHintGivesCountAndDuration) {
  MakeSound(0, 40, 30);
  sound.Draw();
  EXPECT_EQ(image.pixel(20, 0), kGrey);
  EXPECT_EQ(image.pixel(20, 15), kBlack);
  EXPECT_EQ(RowsOf(image, 5, kBlack).size(), 2u);

  PictureWidget control;
  control.SetHint("old");
  control.SetHintShown(true);
  sound.UpdateHint(&control);
  EXPECT_FALSE(control.HintShown());
  EXPECT_EQ(control.Hint(), "old");
  sound.UpdateHint(nullptr);
  sound.SetLength(22050);
  sound.UpdateHint(&control);
  EXPECT_TRUE(control.HintShown());
  EXPECT_EQ(control.Hint(), "22050 counts");
  sound.SetFormat(11025);
  sound.UpdateHint(&control);
  EXPECT_EQ(control.Hint(), "22050 counts\n2.00 sec");
}

TEST_F(WaveSignalTest, ColumnModeShowsMinToMaxOfEachColumnsSamples) {
  MakeSound(1000, 500, 101);
  // Two samples per column: even columns swing from -32767 to 32767, odd ones stay at 0 (one pixel high).
  sound.SetFromBlock(MakeBlock({1.0, -1.0, 0.0, 0.0}), 44100);
  sound.Draw();
  // 50 -+ 32767 * 101 / 65535 truncated gives 0 and 100; the bar stops above the latter.
  std::vector<int> bar(100);
  std::iota(bar.begin(), bar.end(), 0);
  for (int x = 0; x < 500; x += 2) {
    ASSERT_EQ(RowsOf(image, x, kBlue), bar) << x;
    ASSERT_EQ(RowsOf(image, x + 1, kBlue), std::vector<int>{50}) << x + 1;
  }
  EXPECT_EQ(image.pixel(1, 0), kWhite);
}

TEST_F(WaveSignalTest, PointModeJoinsSamplesAndMarksThemWhenFarApart) {
  std::vector<int> everyFifth;
  for (int c = 0; c <= 496; ++c) {
    if (c % 5 != 2) everyFifth.push_back(c);
  }
  // 500 samples: one per pixel, no marks; 100 samples: a mark at every fifth pixel.
  for (const auto& [length, marks] : std::vector<std::pair<int, std::vector<int>>>{{500, {}}, {100, everyFifth}}) {
    SCOPED_TRACE(length);
    MakeSound(length, 500, 60);
    sound.SetFormat(8000);
    sound.Draw();
    // A constant sound lies on the middle row; marks stand 2 pixels above it.
    EXPECT_EQ(ColumnsOf(image, 28, kBlue), marks);
    EXPECT_GE(ColumnsOf(image, 30, kBlue).size(), marks.empty() ? 496u : 1u);
    EXPECT_TRUE(ColumnsOf(image, 26, kBlue).empty());
  }
}

TEST(StereoWaveSignal, DrawsLeftAboveRightAndRefusesToLoad) {
  ScriptedKadenzoPrompts prompts;
  QImage image(100, 100, QImage::Format_RGB32);
  image.fill(Qt::red);
  StereoWaveSignal sound(&image, &prompts);
  sound.SetLength(2000);
  // Left loud, right silent.
  for (int i = 0; i < 2000; i += 2) *sound.GetSamples(i) = (i / 2) % 2 ? 30000 : -30000;
  sound.Draw();
  // Upper half 50 pixels high: +-30000 reach rows 2 .. 46; the silent right channel is row 75 alone.
  std::vector<int> expected(45);
  std::iota(expected.begin(), expected.end(), 2);
  expected.push_back(75);
  EXPECT_EQ(RowsOf(image, 50, kBlue), expected);

  sound.Load("anything.wav");
  EXPECT_EQ(prompts.messages, QStringList{"not implemented: StereoWaveSignal::Load"});
  EXPECT_EQ(sound.GetLength(), 2000);
}
