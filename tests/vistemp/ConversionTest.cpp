// The conversion without the window: pixel test, tracing of BMP pictures, the
// logarithmic mapping, resampling, scaling and the arithmetic errors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "Conversion.h"
#include "TestPictures.h"

using namespace vistemp;
using vistemp_test::ColumnPicture;
using vistemp_test::LoadBmp;
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

}  // namespace

TEST(PixelTest, LuminanceWeighsTheChannelsAndInkIsStrictlyDarker) {
  const struct {
    QRgb colour;
    double luminance;
  } colours[] = {
      {qRgb(0, 0, 0), 0.0},           {qRgb(255, 255, 255), 0.99609375},
      {qRgb(128, 128, 128), 0.5},     {qRgb(127, 127, 127), 0.49609375},
      {qRgb(255, 0, 0), 0.29783203125}, {qRgb(0, 255, 0), 0.58470703125},
      {qRgb(0, 0, 255), 0.1135546875},  {qRgba(128, 128, 128, 0), 0.5},  // alpha plays no part
  };
  for (const auto& c : colours) EXPECT_DOUBLE_EQ(Luminance(c.colour), c.luminance) << std::hex << c.colour;

  // Mid-grey is exactly on the default threshold, not a hair below it.
  EXPECT_FALSE(IsInk(qRgb(128, 128, 128), 0.5));
  EXPECT_TRUE(IsInk(qRgb(127, 127, 127), 0.5));
  EXPECT_TRUE(IsInk(qRgb(255, 255, 255), 0.9961));  // above white: everything is ink
  EXPECT_FALSE(IsInk(qRgb(0, 0, 0), 0.0));          // 0: nothing is
}

TEST(TraceProfile, DiagonalGivesOneToHeightInEveryBmpKind) {
  constexpr int kSide = 40;
  std::vector<int> heights(kSide);
  for (int x = 0; x < kSide; ++x) heights[x] = x + 1;
  const QImage diagonal = ColumnPicture(heights, kSide);

  // Qt's reader gives 32-bit pixels, a palette or single bits depending on the
  // file; each takes its own path through the tracer.
  const struct {
    QImage picture;
    QImage::Format loaded;
  } kinds[] = {
      {diagonal, QImage::Format_RGB32},
      {diagonal.convertToFormat(QImage::Format_Indexed8), QImage::Format_Indexed8},
      {diagonal.convertToFormat(QImage::Format_Mono), QImage::Format_Mono},
      {diagonal.convertToFormat(QImage::Format_RGB16), QImage::Format_RGB32},
  };
  TestFolder folder;
  for (const auto& kind : kinds) {
    const QImage loaded = LoadBmp(folder.SaveBmp(kind.picture));
    EXPECT_EQ(loaded.format(), kind.loaded);
    Block profile;
    TraceProfile(profile, loaded, 0.5);
    ASSERT_EQ(profile.GetSize(), kSide);
    for (int x = 0; x < kSide; ++x) EXPECT_EQ(profile[x], x + 1.0) << "column " << x;
  }
  // A picture in a format the BMP reader never gives is read the same way.
  Block profile;
  TraceProfile(profile, diagonal.convertToFormat(QImage::Format_Grayscale8), 0.5);
  ASSERT_EQ(profile.GetSize(), kSide);
  EXPECT_EQ(profile[0], 1.0);
  EXPECT_EQ(profile[kSide - 1], kSide);
}

TEST(TraceProfile, BridgesBlankColumnsWithStraightLinesAndKeepsBlankEdges) {
  TestFolder folder;
  const QImage picture = LoadBmp(folder.SaveBmp(ColumnPicture({0, 0, 4, 0, 0, 10, 7, 0, 7, 0}, 12)));
  Block profile;
  TraceProfile(profile, picture, 0.5);
  EXPECT_EQ(Values(profile), (std::vector<double>{0, 0, 4, 6, 8, 10, 7, 7, 7, 0}));
}

TEST(TraceProfile, TakesTheTopmostInkOfTheColumn) {
  // Mid-grey 128 in row 1, grey 127 in row 3, black in row 6 of 8.
  QImage picture(1, 8, QImage::Format_RGB32);
  picture.fill(Qt::white);
  picture.setPixel(0, 1, qRgb(128, 128, 128));
  picture.setPixel(0, 3, qRgb(127, 127, 127));
  picture.setPixel(0, 6, qRgb(0, 0, 0));
  TestFolder folder;
  picture = LoadBmp(folder.SaveBmp(picture));
  for (const auto& [threshold, height] : {std::pair{0.5, 5.0}, {0.50001, 7.0}, {0.3, 2.0}, {0.0, 0.0}}) {
    Block profile;
    TraceProfile(profile, picture, threshold);
    EXPECT_EQ(profile[0], height) << "threshold " << threshold;
  }
}

TEST(TraceProfile, DecidesInkExactlyAsIsInkForEveryGreyAndManyColours) {
  // Row 0 holds the colour under test, row 1 black: a column traces to 2 when
  // its colour is ink and to 1 when it is not.
  std::vector<QRgb> colours;
  for (int grey = 0; grey < 256; ++grey) colours.push_back(qRgb(grey, grey, grey));
  std::uint32_t state = 12345;
  for (int i = 0; i < 3000; ++i) {
    state = state * 1103515245u + 12345u;
    colours.push_back(qRgb(state >> 24, (state >> 16) & 0xFF, (state >> 8) & 0xFF));
  }
  QImage picture(static_cast<int>(colours.size()), 2, QImage::Format_RGB32);
  for (int x = 0; x < picture.width(); ++x) {
    picture.setPixel(x, 0, colours[x]);
    picture.setPixel(x, 1, qRgb(0, 0, 0));
  }
  const double onEdge = Luminance(colours[300]);
  for (const double threshold : {1e-9, 0.25, 0.49609375, 0.5, 0.5000001, onEdge,
                                 std::nextafter(onEdge, 0.0), std::nextafter(onEdge, 1.0),
                                 0.99609375, 0.9961, 2.0}) {
    for (const QImage& kind : {picture, picture.convertToFormat(QImage::Format_RGB888)}) {
      Block profile;
      TraceProfile(profile, kind, threshold);
      ASSERT_EQ(profile.GetSize(), picture.width());
      for (int x = 0; x < picture.width(); ++x) {
        ASSERT_EQ(profile[x], IsInk(colours[x], threshold) ? 2.0 : 1.0)
            << "colour " << std::hex << colours[x] << " at threshold " << threshold;
      }
    }
  }
}

TEST(MakeEnvelope, MapsTheProfileOntoTheDecibelRange) {
  Block rising(101);
  for (int i = 0; i < 101; ++i) rising[i] = i + 1.0;  // heights 1 .. 101
  const struct {
    const char* what;
    Block profile;
    bool log;
    double range;
    std::vector<std::pair<int, double>> expected;  // index, value
  } cases[] = {
      {"range 60", Block(rising), true, 60, {{0, 1.0}, {50, 1e3}, {100, 1e6}}},
      {"range 20", Block(rising), true, 20, {{0, 1.0}, {50, 10.0}, {100, 100.0}}},
      {"linear", Block(rising), false, 60, {{0, 1.0}, {50, 51.0}, {100, 101.0}}},
      {"range 0", Block(rising), true, 0, {{0, 1.0}, {100, 101.0}}},
      {"flat stays raw", MakeBlock({7, 7, 7}), true, 60, {{0, 7.0}, {2, 7.0}}},
      {"blank edges become 1", MakeBlock({0, 5, 10, 0}), true, 20,
       {{0, 1.0}, {1, 10.0}, {2, 100.0}, {3, 1.0}}},
      {"blank edges stay 0", MakeBlock({0, 5, 10, 0}), false, 20, {{0, 0.0}, {1, 5.0}, {3, 0.0}}},
  };
  for (const auto& c : cases) {
    Block out;
    ASSERT_TRUE(MakeEnvelope(out, c.profile, c.log, c.range)) << c.what;
    ASSERT_EQ(out.GetSize(), c.profile.GetSize()) << c.what;
    for (const auto& [index, value] : c.expected) {
      EXPECT_NEAR(out[index], value, value * 1e-12) << c.what << " at " << index;
    }
  }
  Block untouched = MakeBlock({1, 2, 3});
  EXPECT_FALSE(MakeEnvelope(untouched, Block(), true, 60));
  EXPECT_EQ(Values(untouched), (std::vector<double>{1, 2, 3}));
}

// The smooth step a + (b - a) (3t^2 - 2t^3) between two anchors.
double SmoothStep(double a, double b, int d, int length) {
  const double t = static_cast<double>(d) / length;
  return a + (b - a) * (3 * t * t - 2 * t * t * t);
}

TEST(Resample, UpsamplingPlacesEverySourceSampleAndStepsSmoothlyBetween) {
  constexpr int kN = 8192;
  const Block source = Envelope(600);
  const Block out = Resample(source, kN);
  ASSERT_EQ(out.GetSize(), kN);
  EXPECT_EQ(out[0], source[0]);
  EXPECT_EQ(out[kN - 1], source[599]);
  for (int i = 0; i + 1 < 600; ++i) {
    // Source sample i belongs at i * 8191 / 599, rounded down.
    const int p = static_cast<int>(std::floor(i * 8191.0 / 599.0 + 1e-9));
    const int q = static_cast<int>(std::floor((i + 1) * 8191.0 / 599.0 + 1e-9));
    ASSERT_EQ(out[p], source[i]) << "sample " << i;
    for (int d = 1; d < q - p; ++d) {
      ASSERT_NEAR(out[p + d], SmoothStep(source[i], source[i + 1], d, q - p), 1e-9)
          << "between samples " << i << " and " << i + 1;
    }
  }
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

TEST(Resample, SourceZerosAreGapsOfTheUpsampledCurve) {
  // The middle 0 is placed and then bridged; 0s at the ends stay.
  EXPECT_EQ(Values(Resample(MakeBlock({2, 0, 4}), 5)), (std::vector<double>{2, 2.3125, 3, 3.6875, 4}));
  EXPECT_EQ(Values(Resample(MakeBlock({0, 5, 5, 0}), 7)), (std::vector<double>{0, 0, 5, 5, 5, 0, 0}));
}

TEST(Resample, DownsamplingPicksSamples) {
  const Block source = Envelope(600);
  const Block out = Resample(source, 300);
  ASSERT_EQ(out.GetSize(), 300);
  const double r = 599.0 / 299.0;
  for (int j = 0; j < 300; ++j) {
    EXPECT_EQ(out[j], source[static_cast<int>(j * r)]) << "sample " << j;
  }
  EXPECT_EQ(out[299], source[599]);

  EXPECT_EQ(Values(Resample(MakeBlock({1, 2, 3, 4, 5, 6, 7}), 3)), (std::vector<double>{1, 4, 7}));
  EXPECT_EQ(Values(Resample(source, 600)), Values(source));
}

TEST(ScaleTo, MakesTheLargestSampleTheTarget) {
  Block block = MakeBlock({1, 2, 4, 0});
  ScaleTo(block, 1.0);
  EXPECT_EQ(Values(block), (std::vector<double>{0.25, 0.5, 1.0, 0.0}));

  Block resampled = Resample(Envelope(629), 8192);
  ScaleTo(resampled, 1.0);
  BlockExtremes extremes;
  resampled.MinMax(extremes, 0, -1);
  EXPECT_NEAR(extremes.max, 1.0, 1e-15);
}

// The window's save shows these for resampling; scaling alone is checked here.
TEST(ConversionErrors, ScalingWithoutAMaximumOrBeyondADoubleThrowsAndChangesNothing) {
  const struct {
    std::vector<double> values;
    double target;
    const char* message;
  } cases[] = {
      {{0, 0}, 1.0, kDivisionByZero},
      {{0, 0}, 0.0, kInvalidOperation},
      {{1, 2}, std::numeric_limits<double>::infinity(), kOverflow},
      {{1e-300, 1e-300}, 1e300, kOverflow},
  };
  for (const auto& c : cases) {
    Block block = MakeBlock(c.values);
    try {
      ScaleTo(block, c.target);
      ADD_FAILURE() << c.target << ": nothing thrown";
    } catch (const FloatingPointError& error) {
      EXPECT_STREQ(error.what(), c.message) << c.target;
    }
    EXPECT_EQ(Values(block), c.values);
  }
}
