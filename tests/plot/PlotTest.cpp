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

const QRgb kWhite = 0xFFFFFFFF;
const QRgb kBlack = 0xFF000000;
const QRgb kSilver = 0xFFC0C0C0;
const QRgb kGrey = 0xFF808080;

QImage Picture(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::red);
  return image;
}

// Height of a label strip: the text height of "0" in the painter's font, plus 4.
int StripHeight(QImage& image) {
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

int CountInColumn(const QImage& image, int x, int top, int bottom, QRgb colour) {
  int count = 0;
  for (int y = top; y < bottom; ++y) count += image.pixel(x, y) == colour;
  return count;
}

int CountInRows(const QImage& image, int top, int bottom, QRgb colour) {
  int count = 0;
  for (int y = top; y < bottom; ++y) count += static_cast<int>(ColumnsOf(image, y, colour).size());
  return count;
}

}  // namespace

TEST(Plot, SparseBlockIsJoinedWithDotsFromFirstToLastColumn) {
  QImage image = Picture(629, 200);
  const int th = StripHeight(image);
  const int hi = 200 - 2 * th;
  Plot(MakeBlock(std::vector<double>(10, 0.5)), image, 0.0, 1.0, 0, 0);

  // Worked out by hand: trunc(k * 629/9) with 629/9 a little low in single precision.
  const std::vector<int> xs = {0, 69, 139, 209, 279, 349, 419, 489, 559, 628};
  const int y = th + static_cast<int>(0.5 * static_cast<float>(hi / 1.0));
  std::vector<int> dotTops;
  for (int x : xs) {
    for (int c = x - 2; c <= x + 1; ++c) {
      if (c >= 0 && c < 629) dotTops.push_back(c);
    }
  }
  EXPECT_EQ(ColumnsOf(image, y - 2, kBlack), dotTops);
  // The line runs along the samples' row; each dot's silver inside covers the
  // pixel left of its sample, and the last dot is not crossed by a line.
  EXPECT_EQ(ColumnsOf(image, y, kSilver), (std::vector<int>{68, 138, 208, 278, 348, 418, 488, 558, 627, 628}));
  EXPECT_EQ(ColumnsOf(image, y, kBlack).size(), 619u);
  EXPECT_EQ(image.pixel(300, th + 5), kSilver);
}

TEST(Plot, DenseBlockHasOneBarPerColumn) {
  struct Case {
    int spike;
    std::vector<int> tallColumns;
  };
  // Column 0 covers samples 0 .. 13, column 1 starts at 13, column 628 ends at 8191.
  const std::vector<Case> cases = {{13, {0, 1}}, {14, {1}}, {8191, {628}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spike);
    Block block(8192);
    block[c.spike] = 1.0;
    QImage image = Picture(629, 200);
    const int th = StripHeight(image);
    Plot(block, image, -1.0, 1.0, 0, 0);
    for (int x = 0; x < 629; ++x) {
      const int black = CountInColumn(image, x, th, 200 - th, kBlack);
      const bool tall = std::find(c.tallColumns.begin(), c.tallColumns.end(), x) != c.tallColumns.end();
      // A flat stretch still shows one pixel per column.
      if (tall) {
        EXPECT_GT(black, 10) << x;
      } else {
        ASSERT_EQ(black, 1) << x;
      }
    }
  }
}

TEST(Plot, AutomaticRangeStraddlingZeroIsSymmetricWithZeroLineAndNoLabels) {
  QImage image = Picture(200, 200);
  const int th = StripHeight(image);
  const int hi = 200 - 2 * th;
  Plot(MakeBlock({-3, -2, -1, 0, 1}), image, 0.0, 0.0, 0, 0);

  const double ys = static_cast<float>(hi / 6.0);
  const int zeroRow = th + static_cast<int>(3 * ys);
  EXPECT_EQ(image.pixel(190, zeroRow - 20), kSilver);
  EXPECT_EQ(image.pixel(10, zeroRow), kGrey);
  // The largest value, 1, lies a third of the way down, not at the top edge.
  const int topOfCurve = th + static_cast<int>((3 - 1) * ys);
  EXPECT_EQ(CountInRows(image, th, topOfCurve - 2, kBlack), 0);
  EXPECT_GT(ColumnsOf(image, topOfCurve, kBlack).size(), 0u);
  // No labels: both strips are plain white.
  EXPECT_EQ(ColumnsOf(image, th / 2, kWhite).size(), 200u);
  EXPECT_EQ(CountInRows(image, 0, th, kWhite), 200 * th);
  EXPECT_EQ(CountInRows(image, 200 - th + 1, 200, kWhite), 200 * (th - 1));
}

TEST(Plot, GivenRangeLabelsUseTheLocaleAndTheCurveIsCutAtTheStrip) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  QImage image = Picture(300, 120);
  const int th = StripHeight(image);
  Plot(MakeBlock({0.2, 1.8, 0.2}), image, -0.5, 1.5, 0, 0);
  QLocale::setDefault(QLocale::c());

  // The labels as the painter writes these texts on white.
  QImage expected = Picture(300, 120);
  expected.fill(Qt::white);
  {
    QPainter painter(&expected);
    painter.setPen(Qt::black);
    painter.drawText(QRect(5, 2, 100, th), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("1,5"));
    painter.drawText(QRect(5, 120 - th + 2, 100, th), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("-0,5"));
  }
  for (int y = 0; y < th; ++y) {
    for (int x = 0; x < 300; ++x) {
      ASSERT_EQ(image.pixel(x, y), expected.pixel(x, y)) << x << "," << y;
      ASSERT_EQ(image.pixel(x, 119 - y), expected.pixel(x, 119 - y)) << x << "," << 119 - y;
    }
  }
  EXPECT_GT(CountInRows(image, 0, th, kBlack), 0);
}

TEST(Plot, ConstantBlockWithAutomaticRangeShowsOnlyTheEmptyArea) {
  QImage image = Picture(100, 80);
  const int th = StripHeight(image);
  Plot(MakeBlock({2, 2, 2, 2}), image, 0.0, 0.0, 0, 0);
  EXPECT_EQ(CountInRows(image, 0, th, kWhite), 100 * th);
  EXPECT_EQ(CountInRows(image, th, 80 - th, kSilver), 100 * (80 - 2 * th));
  EXPECT_EQ(CountInRows(image, 80 - th + 1, 80, kWhite), 100 * (th - 1));
}

TEST(Plot, GridLinesFramesAndFlavours) {
  struct Case {
    PlotFlavour flavour;
    std::vector<int> verticals;
    QRgb dotInside;
    QRgb bottomEdgeRow;
  };
  // 630 / 4 = 157.5: truncated for the converter, to the nearest pixel for the
  // rhythm program, which also keeps dots silver and clears the bottom edge row.
  const std::vector<Case> cases = {{PlotFlavour::Converter, {157, 315, 472}, kWhite, kBlack},
                                   {PlotFlavour::Rhythm, {158, 315, 473}, kSilver, kWhite}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.flavour));
    QImage image = Picture(630, 151);
    const int th = StripHeight(image);
    const int hi = 151 - 2 * th;
    const int bottomEdge = th + hi;
    // Two zero samples at the bottom edge, 630 pixels apart: dots at x = 0 and x = 630.
    PlotRange(MakeBlock({0, 0}), image, 0, -1, 0.0, 1.0, 4, 2, c.flavour);

    const int row = th + 3;
    std::vector<int> verticals;
    for (int x = 0; x < 630; ++x) {
      if (image.pixel(x, row) == kGrey || image.pixel(x, row + 1) == kGrey) verticals.push_back(x);
    }
    EXPECT_EQ(verticals, c.verticals);
    const double half = hi / 2.0 + (c.flavour == PlotFlavour::Rhythm ? 0.5 : 0.0);
    const std::vector<int> dotted = ColumnsOf(image, th + static_cast<int>(half), kGrey);
    EXPECT_GT(dotted.size(), 250u);
    EXPECT_LT(dotted.size(), 380u);
    // A silver frame around a white area.
    EXPECT_EQ(image.pixel(300, th), kSilver);
    EXPECT_EQ(image.pixel(0, th + 10), kSilver);
    EXPECT_EQ(image.pixel(629, th + 10), kSilver);
    EXPECT_EQ(image.pixel(300, th + 10), kWhite);
    EXPECT_EQ(image.pixel(300, bottomEdge - 1), kSilver);
    EXPECT_EQ(image.pixel(300, bottomEdge), c.bottomEdgeRow);
    // Inside of the second dot: the brush left by the grid.
    EXPECT_EQ(image.pixel(629, bottomEdge - 1), c.dotInside);
  }
}

TEST(Plot, PowerBlockWithDefaultEndShowsItsFirstHalf) {
  Block block(1024);
  block.SetDomain(dmPower);
  for (int i = 512; i < 1024; ++i) block[i] = 1.0;
  struct Case {
    PlotFlavour flavour;
    bool secondHalfShown;
  };
  for (const Case& c : {Case{PlotFlavour::Converter, false}, Case{PlotFlavour::Rhythm, true}}) {
    QImage image = Picture(700, 120);
    const int th = StripHeight(image);
    PlotRange(block, image, 0, -1, 0.0, 2.0, 0, 0, c.flavour);
    const int middleRow = th + (120 - 2 * th) / 2;
    EXPECT_EQ(!ColumnsOf(image, middleRow, kBlack).empty(), c.secondHalfShown);
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
