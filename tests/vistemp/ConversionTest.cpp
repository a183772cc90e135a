// The conversion without the window: pixel test, tracing of BMP pictures, the
// logarithmic mapping, resampling, scaling and the arithmetic errors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "QtPicture.h"
#include "TestPictures.h"

using namespace vistemp;
using vistemp_test::ColumnPicture;
using vistemp_test::TestFolder;

namespace {

Block MakeBlock(const std::vector<double>& values) {
  Block block(static_cast<int>(values.size()));
  for (int i = 0; i < block.GetSize(); ++i) block[i] = values[i];
  return block;
}

std::vector<double> Values(const Block& block) {
  return std::vector<double>(block.GetData(), block.GetData() + block.GetSize());
}

// Distinct nonzero values, so that a sample taken from the wrong place shows.
Block Envelope(int n) {
  Block block(n);
  for (int i = 0; i < n; ++i) block[i] = 1.0 + (i * 37 % 101) + i / 1000.0;
  return block;
}

std::vector<double> Traced(const QImage& picture, double threshold) {
  Block profile;
  TraceProfile(profile, picture, threshold);
  return Values(profile);
}

}  // namespace

TEST(Luminance, WeighsTheChannelsAndIgnoresAlpha) {
  const std::pair<QRgb, double> colours[] = {
      {qRgb(0, 0, 0), 0.0},             {qRgb(255, 255, 255), 0.99609375},
      {qRgb(128, 128, 128), 0.5},       {qRgb(127, 127, 127), 0.49609375},
      {qRgb(255, 0, 0), 0.29783203125}, {qRgb(0, 255, 0), 0.58470703125},
      {qRgb(0, 0, 255), 0.1135546875},  {qRgba(128, 128, 128, 0), 0.5}};
  for (const auto& [colour, luminance] : colours) EXPECT_DOUBLE_EQ(Luminance(colour), luminance) << std::hex << colour;
}

TEST(TraceProfile, DiagonalGivesOneToHeightInEveryBmpKind) {
  const QImage diagonal = vistemp_test::Rising(40);
  std::vector<double> expected(40);
  std::iota(expected.begin(), expected.end(), 1.0);
  // Qt's reader gives 32-bit pixels, a palette or single bits depending on the
  // file; each takes its own path through the tracer.
  const std::pair<QImage, QImage::Format> kinds[] = {
      {diagonal, QImage::Format_RGB32},
      {diagonal.convertToFormat(QImage::Format_Indexed8), QImage::Format_Indexed8},
      {diagonal.convertToFormat(QImage::Format_Mono), QImage::Format_Mono}};
  TestFolder folder;
  for (const auto& [picture, format] : kinds) {
    const QImage loaded = folder.ThroughBmp(picture);
    EXPECT_EQ(loaded.format(), format);
    EXPECT_EQ(Traced(loaded, 0.5), expected) << format;
  }
}

TEST(TraceProfile, TakesTheTopmostInkAndBridgesBlankColumnsButNotBlankEdges) {
  TestFolder folder;
  EXPECT_EQ(Traced(folder.ThroughBmp(ColumnPicture({0, 0, 4, 0, 0, 10, 7, 0, 7, 0}, 12)), 0.5),
            (std::vector<double>{0, 0, 4, 6, 8, 10, 7, 7, 7, 0}));

  // Mid-grey 128 in row 1, grey 127 in row 3, black in row 6 of 8: mid-grey is
  // exactly on the default threshold, not a hair below it.
  QImage picture(1, 8, QImage::Format_RGB32);
  picture.fill(Qt::white);
  picture.setPixel(0, 1, qRgb(128, 128, 128));
  picture.setPixel(0, 3, qRgb(127, 127, 127));
  picture.setPixel(0, 6, qRgb(0, 0, 0));
  picture = folder.ThroughBmp(picture);
  for (const auto& [threshold, height] : {std::pair{0.5, 5.0}, {0.50001, 7.0}, {0.3, 2.0}, {0.0, 0.0}}) {
    EXPECT_EQ(Traced(picture, threshold), std::vector<double>{height}) << "threshold " << threshold;
  }
}

TEST(TraceProfile, DecidesInkExactlyAsIsInkForEveryGreyAndManyColours) {
  // Row 0 holds the colour under test (every grey, then random colours), row 1
  // black: a column traces to 2 when its colour is ink and to 1 when it is not.
  QImage picture(256 + 3000, 2, QImage::Format_RGB32);
  std::uint32_t state = 12345;
  for (int x = 0; x < picture.width(); ++x) {
    state = state * 1103515245u + 12345u;
    picture.setPixel(x, 0, x < 256 ? qRgb(x, x, x) : qRgb(state >> 24, (state >> 16) & 0xFF, (state >> 8) & 0xFF));
    picture.setPixel(x, 1, qRgb(0, 0, 0));
  }
  const double onEdge = Luminance(picture.pixel(300, 0));
  for (const double threshold : {1e-9, 0.25, 0.49609375, 0.5, 0.5000001, onEdge, std::nextafter(onEdge, 0.0),
                                 std::nextafter(onEdge, 1.0), 0.99609375, 0.9961, 2.0}) {
    // The 24-bit copy is converted by the tracer before it is read.
    for (const QImage& kind : {picture, picture.convertToFormat(QImage::Format_RGB888)}) {
      const std::vector<double> profile = Traced(kind, threshold);
      ASSERT_EQ(profile.size(), static_cast<std::size_t>(picture.width()));
      for (int x = 0; x < picture.width(); ++x) {
        ASSERT_EQ(profile[x], IsInk(picture.pixel(x, 0), threshold) ? 2.0 : 1.0)
            << "colour " << std::hex << picture.pixel(x, 0) << " at threshold " << threshold;
      }
    }
  }
}

TEST(MakeEnvelope, MapsTheProfileOntoTheDecibelRange) {
  std::vector<double> heights(101);
  std::iota(heights.begin(), heights.end(), 1.0);
  // What, the profile, logarithmic or not, the range, and (index, value) pairs expected.
  const std::tuple<const char*, std::vector<double>, bool, double, std::vector<std::pair<int, double>>> cases[] = {
      {"range 60", heights, true, 60, {{0, 1.0}, {50, 1e3}, {100, 1e6}}},
      {"range 20", heights, true, 20, {{0, 1.0}, {50, 10.0}, {100, 100.0}}},
      {"flat stays raw", {7, 7, 7}, true, 60, {{0, 7.0}, {2, 7.0}}},
      {"blank edges become 1", {0, 5, 10, 0}, true, 20, {{0, 1.0}, {1, 10.0}, {2, 100.0}, {3, 1.0}}},
      {"blank edges stay 0", {0, 5, 10, 0}, false, 20, {{0, 0.0}, {1, 5.0}, {3, 0.0}}}};
  for (const auto& [what, profile, log, range, expected] : cases) {
    Block out;
    ASSERT_TRUE(MakeEnvelope(out, MakeBlock(profile), log, range)) << what;
    ASSERT_EQ(out.GetSize(), static_cast<int>(profile.size())) << what;
    for (const auto& [index, value] : expected) {
      EXPECT_NEAR(out[index], value, value * 1e-12) << what << " at " << index;
    }
  }
}

TEST(Resample, UpsamplingPlacesEverySourceSampleAndStepsSmoothlyBetween) {
  const Block source = Envelope(600);
  const Block out = Resample(source, 8192);
  ASSERT_EQ(out.GetSize(), 8192);
  for (int i = 0; i + 1 < 600; ++i) {
    // Source sample i belongs at i * 8191 / 599, rounded down; the smooth step
    // a + (b - a) (3t^2 - 2t^3) leads to the next one.
    const int p = i * 8191 / 599, q = (i + 1) * 8191 / 599;
    ASSERT_EQ(out[p], source[i]) << "sample " << i;
    for (int d = 1; d < q - p; ++d) {
      const double t = static_cast<double>(d) / (q - p);
      ASSERT_NEAR(out[p + d], source[i] + (source[i + 1] - source[i]) * (3 * t * t - 2 * t * t * t), 1e-9)
          << "between samples " << i << " and " << i + 1;
    }
  }
  EXPECT_EQ(out[8191], source[599]);
  // A middle 0 is a gap bridged like the others; 0s at the ends stay.
  EXPECT_EQ(Values(Resample(MakeBlock({2, 0, 4}), 5)), (std::vector<double>{2, 2.3125, 3, 3.6875, 4}));
  EXPECT_EQ(Values(Resample(MakeBlock({0, 5, 5, 0}), 7)), (std::vector<double>{0, 0, 5, 5, 5, 0, 0}));
}

TEST(Resample, LastSourceSampleLandsOnTheLastOutputForEveryWidth) {
  // Widths at which a rounded-down ratio once left the last sample 0.
  for (int n : {8, 10, 12, 15, 64, 101, 629, 4000, 8191}) {
    const Block source = Envelope(n);
    const Block out = Resample(source, 8192);
    ASSERT_EQ(out.GetSize(), 8192);
    EXPECT_EQ(out[8191], source[n - 1]) << "width " << n;
    EXPECT_NE(out[8191], 0.0) << "width " << n;
  }
}

TEST(Resample, DownsamplingPicksSamplesAndTheSameSizeKeepsThemAll) {
  const Block source = Envelope(600);
  const Block out = Resample(source, 300);
  ASSERT_EQ(out.GetSize(), 300);
  // Sample j is source sample j * 599 / 299 rounded down, the last one the last.
  for (int j = 0; j < 300; ++j) EXPECT_EQ(out[j], source[j * 599 / 299]) << "sample " << j;
  EXPECT_EQ(Values(Resample(MakeBlock({1, 2, 3, 4, 5, 6, 7}), 3)), (std::vector<double>{1, 4, 7}));
  EXPECT_EQ(Values(Resample(source, 600)), Values(source));
}

// The window's save shows these messages for resampling; scaling alone is checked here.
TEST(ScaleTo, MakesTheLargestSampleTheTargetOrThrowsAndChangesNothing) {
  const auto inf = std::numeric_limits<double>::infinity();
  const std::tuple<std::vector<double>, double, std::string, std::vector<double>> cases[] = {
      {{1, 2, 4, 0}, 1.0, "", {0.25, 0.5, 1.0, 0.0}},
      {{0, 0}, 1.0, kDivisionByZero, {0, 0}},
      {{0, 0}, 0.0, kInvalidOperation, {0, 0}},
      {{1, 2}, inf, kOverflow, {1, 2}},
      {{1e-300, 1e-300}, 1e300, kOverflow, {1e-300, 1e-300}}};
  for (const auto& [values, target, message, expected] : cases) {
    Block block = MakeBlock(values);
    std::string thrown;
    try {
      ScaleTo(block, target);
    } catch (const FloatingPointError& error) {
      thrown = error.what();
    }
    EXPECT_EQ(thrown, message) << target;
    EXPECT_EQ(Values(block), expected) << target;
  }
}
