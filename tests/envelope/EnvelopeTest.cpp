// The rhythm envelope with its real table and picture: the start-up state,
// evaluation at a phase with the seam point, the table's number rule under
// both decimal separators, mouse edits at the picture's edges, envelope files
// written by the Block library, and the curve read back from the picture.

#include <gtest/gtest.h>

#include <QColor>
#include <QLocale>
#include <QTemporaryDir>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "Block.h"
#include "CoeffGrid.h"
#include "EnvelopeCurve.h"
#include "MorphCoeffs.h"
#include "PictureWidget.h"

namespace {

class EnvelopeTest : public testing::Test {
 protected:
  EnvelopeTest() {
    image.resize(257, 97);
    image.show();  // a hidden widget keeps its picture's first size
    envelope.Resize(540);
  }
  ~EnvelopeTest() override { QLocale::setDefault(QLocale::c()); }

  QString Cell(int row, int column = 1) const { return grid.index(row, column).data().toString(); }

  QString WriteFile(const char* name, const std::vector<double>& values) {
    Block block(static_cast<int>(values.size()));
    std::copy(values.begin(), values.end(), block.GetData());
    const QString path = dir.filePath(QString::fromLatin1(name));
    EXPECT_TRUE(block.WriteToFile(path.toLocal8Bit().constData()));
    return path;
  }

  std::vector<double> Values() const {
    return {envelope.GetData(), envelope.GetData() + envelope.GetSize()};
  }

  QTemporaryDir dir;
  CoeffGrid grid;
  PictureWidget image;
  SeamlessCo envelope{540, &image, 0.5, &grid};
};

}  // namespace

TEST_F(EnvelopeTest, StartUpState) {
  EXPECT_EQ(envelope.GetCount(), 539);
  ASSERT_EQ(grid.rowCount(), 539);
  ASSERT_EQ(grid.columnCount(), 2);
  EXPECT_EQ(grid.headerData(0, Qt::Horizontal).toString(), "Offset");
  EXPECT_EQ(grid.headerData(1, Qt::Horizontal).toString(), "Coeff");
  EXPECT_EQ(Cell(0, 0), "0.00");
  EXPECT_EQ(Cell(269, 0), "0.50");
  EXPECT_EQ(Cell(538, 0), "1.00");
  EXPECT_FALSE(grid.flags(grid.index(5, 0)) & Qt::ItemIsEditable);
  EXPECT_TRUE(grid.flags(grid.index(5, 1)) & Qt::ItemIsEditable);
  for (int i = 0; i < 539; ++i) ASSERT_EQ(Cell(i), "0.00") << i;
  for (const double v : Values()) ASSERT_EQ(v, 0.0);
}

TEST_F(EnvelopeTest, ValueAtJoinsThePointsAndTheSeam) {
  envelope.Resize(5);  // 4 points and the seam point
  ASSERT_EQ(envelope.GetCount(), 4);
  const double seam = 0.3;
  const double values[] = {0, 1, 0, 1, seam};
  std::copy(std::begin(values), std::end(values), envelope.GetData());
  struct Case {
    double x, value;
  } cases[] = {{0.125, 0.5}, {0.25, 1.0}, {0.875, (1 + seam) / 2}, {1.0, seam},
               {-2.0, 0.0},  {7.0, seam}, {std::nan(""), 0.0},     {0.0, 0.0}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(envelope.ValueAt(c.x), c.value) << c.x;
}

TEST_F(EnvelopeTest, FromGridClampsAndReadsTheLocaleSeparator) {
  // Values are read in single precision; a clamped value rewrites the whole
  // table with the locale's separator, otherwise the texts stay as typed.
  const QLocale german(QLocale::German);
  struct Case {
    QLocale locale;
    const char* text;
    double value;
    const char* cellAfter;
  } cases[] = {
      {QLocale::c(), "abc", 0.0, "abc"},    {QLocale::c(), "0.25", 0.25, "0.25"},
      {QLocale::c(), "1.5", 1.0, "1.00"},   {QLocale::c(), "-3", 0.0, "0.00"},
      {QLocale::c(), "1e999", 1.0, "1.00"}, {QLocale::c(), "0,25", 0.0, "0,25"},
      {german, "0,25", 0.25, "0,25"},       {german, "0.25", 0.25, "0.25"},
      {german, " 0,5 ", 0.5, " 0,5 "},      {german, "1,5", 1.0, "1,00"},
      {german, "0,1", 0.1f, "0,1"},
  };
  for (const Case& c : cases) {
    QLocale::setDefault(c.locale);
    envelope.SetCoeffText(3, c.text);
    envelope.FromGrid();
    EXPECT_EQ(envelope[3], c.value) << c.text;
    EXPECT_EQ(Cell(3), c.cellAfter) << c.text;
  }
  EXPECT_EQ(Cell(269, 0), "0,50");
}

TEST_F(EnvelopeTest, EditAtTheEdgesOfThePicture) {
  // Ten points, so that each has a strip of about 26 pixels.
  envelope.Resize(11);
  ASSERT_EQ(image.Image().size(), QSize(257, 97));
  const int inPointFive = 140;  // 5 * 25.7 <= 140 < 6 * 25.7
  struct Case {
    int x, y, point;
    const char* text;
    double value;
  } cases[] = {
      {inPointFive, 0, 5, "1.00", 1.0},   {inPointFive, 96, 5, "0.00", 0.0},
      {inPointFive, 48, 5, "0.50", 0.5},  {-10, 20, 0, "0.79", 0.79},
      {1000, 20, 9, "0.79", 0.79},        {256, 72, 9, "0.25", 0.25},
      {inPointFive, -50, 5, "1.00", 1.0}, {inPointFive, 400, 5, "0.00", 0.0},
  };
  for (const Case& c : cases) {
    envelope.EditAt(c.x, c.y);
    EXPECT_EQ(Cell(c.point), c.text) << c.x << ", " << c.y;
    EXPECT_FLOAT_EQ(envelope[c.point], c.value) << c.x << ", " << c.y;
  }
  EXPECT_TRUE(envelope[4] == 0.0 && envelope[6] == 0.0);  // the neighbours stay
}

TEST_F(EnvelopeTest, EditLineSetsEveryPointBetweenItsEndsLinearly) {
  envelope.Resize(11);  // ten points, strips of 25.7 pixels
  struct Case {
    int x0, y0, x1, y1;
    std::vector<const char*> cells;  // points 0 .. 9 afterwards
  } cases[] = {
      // From point 1 at the bottom to point 5 at the top, and the same line drawn backwards.
      {30, 96, 140, 0, {"0.00", "0.00", "0.25", "0.50", "0.75", "1.00", "0.00", "0.00", "0.00", "0.00"}},
      {140, 96, 30, 0, {"0.00", "1.00", "0.75", "0.50", "0.25", "0.00", "0.00", "0.00", "0.00", "0.00"}},
      // Both ends over point 5: the end position alone, as EditAt.
      {135, 96, 140, 48, {"0.00", "0.00", "0.00", "0.00", "0.00", "0.50", "0.00", "0.00", "0.00", "0.00"}},
      // Ends outside the picture are clamped to the first and last point and to 0 .. 1.
      {-40, -100, 1000, 200, {"1.00", "1.00", "1.00", "1.00", "0.65", "0.31", "0.00", "0.00", "0.00", "0.00"}},
  };
  for (const Case& c : cases) {
    envelope.Resize(11);
    envelope.EditLine(c.x0, c.y0, c.x1, c.y1);
    for (int i = 0; i < 10; ++i) {
      EXPECT_EQ(Cell(i), c.cells[i]) << c.x0 << "," << c.y0 << " to " << c.x1 << "," << c.y1 << " point " << i;
      EXPECT_FLOAT_EQ(envelope[i], std::atof(c.cells[i])) << i;
    }
  }
}

TEST_F(EnvelopeTest, DrawShowsTheCurveBetweenZeroAndOne) {
  // The first black pixel down the middle column of the picture.
  auto curveRow = [&](double level) {
    envelope.Fill(level);
    envelope.Draw();
    const QImage& picture = image.Image();
    int y = 0;
    while (y < picture.height() && picture.pixelColor(128, y) != QColor(Qt::black)) ++y;
    return y;
  };
  // A constant 0.5 lies halfway down the plot area (between the label
  // strips), a constant 1 at its top.
  const int half = curveRow(0.5);
  EXPECT_NEAR(half, 48, 4);
  EXPECT_LT(curveRow(1.0), half - 20);
}

TEST_F(EnvelopeTest, LoadFromFileNormalisesAndSpreadsTheValues) {
  std::vector<double> ramp, spread;
  for (int i = 0; i <= 540; ++i) ramp.push_back(i);
  for (int i = 0; i < 540; ++i) spread.push_back(i / 540.0);
  struct Case {
    const char* name;
    std::vector<double> file, points;
    const char* lastCell;
  } cases[] = {
      {"ramp.env", ramp, spread, "1.00"},  // 541 values: 540 points
      // Normalised over the points and the saved seam point.
      {"saved.env", {0.2, 0.6, 0.4, 1.0, 1.2}, {0.0, 0.4, 0.2, 0.8}, "0.80"},
      {"three.env", {4.0, 2.0, 0.0}, {1.0, 0.5}, "0.50"},  // the fewest that show two points
  };
  for (const Case& c : cases) {
    envelope.LoadFromFile(WriteFile(c.name, c.file));
    const int count = static_cast<int>(c.points.size());
    ASSERT_EQ(envelope.GetCount(), count) << c.name;
    EXPECT_EQ(grid.rowCount(), count);
    for (int i = 0; i < count; ++i) ASSERT_DOUBLE_EQ(envelope[i], c.points[i]) << c.name << i;
    EXPECT_EQ(envelope[count], 0.0);  // the seam point waits for the engine
    EXPECT_EQ(Cell(count - 1), c.lastCell) << c.name;
  }
  // Without a seam point a file of its own size is taken one to one.
  MorphCoeffs plain(3, nullptr, 0.0, nullptr);
  const std::vector<double> seven = {3, 1, 4, 1, 5, 9, 2};
  plain.LoadFromFile(WriteFile("seven.env", seven));
  ASSERT_EQ(plain.GetCount(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_DOUBLE_EQ(plain[i], (seven[i] - 1) / 8) << i;
}

TEST_F(EnvelopeTest, FilesThatCannotGiveAnEnvelopeAreIgnored) {
  for (int i = 0; i < 539; ++i) envelope[i] = (i % 10) / 10.0;
  envelope.ToGrid();
  const std::vector<double> before = Values();
  const double huge = std::numeric_limits<double>::max();
  const QString files[] = {
      WriteFile("constant.env", std::vector<double>(100, 3.7)),
      WriteFile("two.env", {0.0, 1.0}),  // one point only: cannot be drawn
      WriteFile("one.env", {5.0}),
      WriteFile("nan.env", {0.0, 1.0, std::nan(""), 0.5}),
      WriteFile("infinite.env", {0.0, INFINITY, 0.5}),
      WriteFile("span.env", {huge, -huge, 0.0}),
      WriteFile("empty.env", {}),
      dir.filePath("missing.env"),
  };
  for (const QString& file : files) {
    envelope.LoadFromFile(file);
    EXPECT_EQ(Values(), before) << file.toStdString();
    EXPECT_EQ(grid.rowCount(), 539);
    EXPECT_EQ(Cell(3), "0.30");
  }
}

TEST_F(EnvelopeTest, FromGridReadsEveryCellThatWasShownOrWrittenAnew) {
  // Loaded values are exact until applied; then each takes the table's rounding.
  std::vector<double> file;
  for (int i = 0; i <= 540; ++i) file.push_back(std::sin(i * 0.1));
  envelope.LoadFromFile(WriteFile("sine.env", file));
  const std::vector<double> loaded = Values();
  const auto rounded = [&](int except) {
    for (int i = 0; i < 539; ++i) {
      if (i != except) {
        ASSERT_EQ(envelope[i], TableValue(loaded[i])) << i;
      }
    }
  };
  envelope.FromGrid();
  rounded(-1);
  // Values written directly and shown again are read again.
  std::copy(loaded.begin(), loaded.end(), envelope.GetData());
  envelope.ToGrid();
  envelope.FromGrid();
  rounded(-1);
  // A cell written after an apply is read; so is one text put into all.
  envelope.SetCoeffText(7, "0.5");
  envelope.FromGrid();
  EXPECT_EQ(envelope[7], 0.5);
  rounded(7);
  envelope.SetCoeffTexts("0.25");
  envelope.FromGrid();
  for (int i = 0; i < 539; ++i) ASSERT_EQ(envelope[i], 0.25) << i;
}

TEST(SeamlessCoDeathTest, ResizeMustLeaveTwoPoints) {
  SeamlessCo envelope(539, nullptr, 0.0, nullptr);
  EXPECT_DEATH(envelope.Resize(2), "Assertion failed: GetCount\\(\\) >= 2");
}

TEST(TableValue, RoundsAsTheTableWritesAndReads) {
  // Ties round away from zero, as the table's formatting does; then single
  // precision and [0, 1].
  const std::pair<double, double> cases[] = {
      {0.625, 0.63f},   {0.615, 0.61f},   {0.995, 0.99f},  {0.12345, 0.12f}, {0.005, 0.01f},
      {0.0049, 0.0},    {-0.2, 0.0},      {1.7, 1.0},      {0.0, 0.0},       {1e-300, 0.0},
      {0.999949, 1.0},  {0.3125, 0.31f},  {0.375, 0.38f},  {0.015625, 0.02f},
  };
  for (const auto& [value, table] : cases) EXPECT_EQ(TableValue(value), table) << value;
  // The same where the C library writes a decimal comma, as in a Qt program
  // started in such a locale (it returned 1 for 0.625 there).
  const std::string before = std::setlocale(LC_NUMERIC, nullptr);
  ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr) << "scripts/setup makes this locale";
  for (const auto& [value, table] : cases) EXPECT_EQ(TableValue(value), table) << value << " with a decimal comma";
  std::setlocale(LC_NUMERIC, before.c_str());
}
