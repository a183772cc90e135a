// Blocks drawn into a picture, read back pixel by pixel.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <vector>

#include "Block.h"
#include "Plot.h"

namespace {

const QRgb kWhite = 0xFFFFFFFF, kBlack = 0xFF000000, kSilver = 0xFFC0C0C0, kGrey = 0xFF808080;

// A red picture, to show what was not painted.
QImage Picture(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::red);
  return image;
}

// Height of a label strip: the text height of "0" in a picture's painter font, plus 4.
int StripHeight() {
  QImage image = Picture(1, 1);
  QPainter painter(&image);
  return QFontMetrics(painter.font()).height() + 4;
}

Block MakeBlock(const std::vector<double>& values) {
  Block block(static_cast<int>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) block[static_cast<int>(i)] = values[i];
  return block;
}

std::vector<int> ColumnsOf(const QImage& image, int y, QRgb colour) {
  std::vector<int> columns;
  for (int x = 0; x < image.width(); ++x) {
    if (image.pixel(x, y) == colour) columns.push_back(x);
  }
  return columns;
}

// Pixels of the colour in rows top .. bottom - 1 of columns left .. right - 1.
int Count(const QImage& image, int left, int right, int top, int bottom, QRgb colour) {
  int count = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) count += image.pixel(x, y) == colour;
  }
  return count;
}

// Without labels both strips are plain white (but for the bottom edge row of the area).
void ExpectBlankStrips(const QImage& image, int th) {
  const int w = image.width(), h = image.height();
  EXPECT_EQ(Count(image, 0, w, 0, th, kWhite), w * th);
  EXPECT_EQ(Count(image, 0, w, h - th + 1, h, kWhite), w * (th - 1));
}

class PlotTest : public testing::Test {
 protected:
  const int th = StripHeight();
};

}  // namespace

TEST_F(PlotTest, SparseBlockIsJoinedWithDotsFromFirstToLastColumn) {
  QImage image = Picture(629, 200);
  Plot(MakeBlock(std::vector<double>(10, 0.5)), image, 0.0, 1.0, 0, 0);

  // Worked out by hand: trunc(k * 629/9) with 629/9 a little low in single precision.
  const std::vector<int> xs = {0, 69, 139, 209, 279, 349, 419, 489, 559, 628};
  const int y = th + static_cast<int>(0.5 * static_cast<float>(200 - 2 * th));
  std::vector<int> dotTops;
  for (int x : xs) {
    for (int c = std::max(x - 2, 0); c <= std::min(x + 1, 628); ++c) dotTops.push_back(c);
  }
  EXPECT_EQ(ColumnsOf(image, y - 2, kBlack), dotTops);
  // The line runs along the samples' row; each dot's silver inside covers the
  // pixel left of its sample, and the last dot is not crossed by a line.
  EXPECT_EQ(ColumnsOf(image, y, kSilver), (std::vector<int>{68, 138, 208, 278, 348, 418, 488, 558, 627, 628}));
  EXPECT_EQ(ColumnsOf(image, y, kBlack).size(), 619u);
}

TEST_F(PlotTest, DenseBlockHasOneBarPerColumn) {
  // Column 0 covers samples 0 .. 13, column 1 starts at 13, column 628 ends at 8191.
  const std::vector<std::pair<int, std::vector<int>>> cases = {{13, {0, 1}}, {14, {1}}, {8191, {628}}};
  for (const auto& [spike, tallColumns] : cases) {
    SCOPED_TRACE(spike);
    Block block(8192);
    block[spike] = 1.0;
    QImage image = Picture(629, 200);
    Plot(block, image, -1.0, 1.0, 0, 0);
    for (int x = 0; x < 629; ++x) {
      const int black = Count(image, x, x + 1, th, 200 - th, kBlack);
      // A flat stretch still shows one pixel per column.
      const bool tall = std::find(tallColumns.begin(), tallColumns.end(), x) != tallColumns.end();
      ASSERT_TRUE(tall ? black > 10 : black == 1) << x << ": " << black;
    }
  }
}

TEST_F(PlotTest, AutomaticRangeStraddlingZeroIsSymmetricWithZeroLineAndNoLabels) {
  QImage image = Picture(200, 200);
  Plot(MakeBlock({-3, -2, -1, 0, 1}), image, 0.0, 0.0, 0, 0);
  const double ys = static_cast<float>((200 - 2 * th) / 6.0);
  const int zeroRow = th + static_cast<int>(3 * ys);
  EXPECT_EQ(image.pixel(10, zeroRow), kGrey);
  // The largest value, 1, lies a third of the way down, not at the top edge.
  const int topOfCurve = th + static_cast<int>((3 - 1) * ys);
  EXPECT_EQ(Count(image, 0, 200, th, topOfCurve - 2, kBlack), 0);
  EXPECT_FALSE(ColumnsOf(image, topOfCurve, kBlack).empty());
  ExpectBlankStrips(image, th);

  // A constant block leaves only the empty area.
  image = Picture(100, 80);
  Plot(MakeBlock({2, 2, 2, 2}), image, 0.0, 0.0, 0, 0);
  EXPECT_EQ(Count(image, 0, 100, th, 80 - th, kSilver), 100 * (80 - 2 * th));
  ExpectBlankStrips(image, th);
}

TEST_F(PlotTest, GivenRangeLabelsUseTheLocaleAndTheCurveIsCutAtTheStrip) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  QImage image = Picture(300, 120);
  Plot(MakeBlock({0.2, 1.8, 0.2}), image, -0.5, 1.5, 0, 0);
  QLocale::setDefault(QLocale::c());

  // The labels as the painter writes these texts on white.
  QImage expected(300, 120, QImage::Format_RGB32);
  expected.fill(Qt::white);
  {
    QPainter painter(&expected);
    painter.drawText(QRect(5, 2, 100, th), Qt::AlignLeft | Qt::AlignTop, "1,5");
    painter.drawText(QRect(5, 120 - th + 2, 100, th), Qt::AlignLeft | Qt::AlignTop, "-0,5");
  }
  EXPECT_EQ(image.copy(0, 0, 300, th), expected.copy(0, 0, 300, th));
  EXPECT_EQ(image.copy(0, 120 - th, 300, th), expected.copy(0, 120 - th, 300, th));
}

TEST_F(PlotTest, GridLinesFramesAndFlavours) {
  struct Case {
    PlotFlavour flavour;
    std::vector<int> verticals;
    QRgb dotInside, bottomEdgeRow;
    bool secondHalfOfPowerShown;
  };
  // 630 / 4 = 157.5: truncated for the converter, to the nearest pixel for the rhythm program,
  // which also keeps dots silver, clears the bottom edge row and shows a power block whole.
  const std::vector<Case> cases = {{PlotFlavour::Converter, {157, 315, 472}, kWhite, kBlack, false},
                                   {PlotFlavour::Rhythm, {158, 315, 473}, kSilver, kWhite, true}};
  Block power(1024);
  power.SetDomain(dmPower);
  for (int i = 512; i < 1024; ++i) power[i] = 1.0;
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.flavour));
    QImage image = Picture(630, 151);
    const int hi = 151 - 2 * th, bottomEdge = th + hi;
    // Two zero samples at the bottom edge, 630 pixels apart: dots at x = 0 and x = 630.
    PlotRange(MakeBlock({0, 0}), image, 0, -1, 0.0, 1.0, 4, 2, c.flavour);
    std::vector<int> verticals;
    for (int x = 0; x < 630; ++x) {
      if (image.pixel(x, th + 3) == kGrey || image.pixel(x, th + 4) == kGrey) verticals.push_back(x);
    }
    EXPECT_EQ(verticals, c.verticals);
    const double half = hi / 2.0 + (c.flavour == PlotFlavour::Rhythm ? 0.5 : 0.0);
    const std::size_t dotted = ColumnsOf(image, th + static_cast<int>(half), kGrey).size();
    EXPECT_TRUE(dotted > 250 && dotted < 380) << dotted;
    // A silver frame around a white area.
    for (const QPoint& p : {QPoint(300, th), QPoint(0, th + 10), QPoint(629, th + 10), QPoint(300, bottomEdge - 1)}) {
      EXPECT_EQ(image.pixel(p), kSilver) << p.x() << "," << p.y();
    }
    EXPECT_EQ(image.pixel(300, th + 10), kWhite);
    EXPECT_EQ(image.pixel(300, bottomEdge), c.bottomEdgeRow);
    // Inside of the second dot: the brush left by the grid.
    EXPECT_EQ(image.pixel(629, bottomEdge - 1), c.dotInside);

    // A power block up to its default end: the converter shows its first half only.
    image = Picture(700, 120);
    PlotRange(power, image, 0, -1, 0.0, 2.0, 0, 0, c.flavour);
    EXPECT_EQ(!ColumnsOf(image, th + (120 - 2 * th) / 2, kBlack).empty(), c.secondHalfOfPowerShown);
  }
}

TEST(PlotDeathTest, EmptyBlockAndSingleSampleAreRefused) {
  QImage image = Picture(50, 50);
  EXPECT_EXIT(Plot(Block(), image, 0.0, 0.0, 0, 0), testing::ExitedWithCode(3),
              "Assertion failed: m_iSize, file Plot.cpp, line");
  EXPECT_EXIT(Plot(Block(1), image, 0.0, 0.0, 0, 0), testing::ExitedWithCode(3),
              "Assertion failed: kd < kf, file Plot.cpp, line");
  EXPECT_EXIT(PlotRange(Block(9), image, 4, 4, 0.0, 0.0, 0, 0), testing::ExitedWithCode(3),
              "Assertion failed: kd < kf, file Plot.cpp, line");
}
