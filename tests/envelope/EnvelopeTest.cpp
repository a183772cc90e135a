// The rhythm envelope with its real table and picture: the start-up state,
// evaluation at a phase with the seam point, the table's number rule under
// both decimal separators, mouse edits at the picture's edges, envelope files
// written by the Block library, and the curve read back from the picture.

#include <gtest/gtest.h>

#include <QColor>
#include <QLocale>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cmath>
#include <limits>
#include <vector>

#include "Block.h"
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

  QString Cell(int row, int column) const {
    const QTableWidgetItem* item = grid.item(row, column);
    return item != nullptr ? item->text() : QString();
  }

  void SetCell(int row, const QString& text) { envelope.SetCoeffText(row, text); }

  QString WriteFile(const char* name, const std::vector<double>& values) {
    Block block(static_cast<int>(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i) block[static_cast<int>(i)] = values[i];
    const QString path = dir.filePath(QString::fromLatin1(name));
    EXPECT_TRUE(block.WriteToFile(path.toLocal8Bit().constData()));
    return path;
  }

  std::vector<double> Values() const {
    return {envelope.GetData(), envelope.GetData() + envelope.GetSize()};
  }

  QTemporaryDir dir;
  QTableWidget grid;
  PictureWidget image;
  SeamlessCo envelope{540, &image, 0.5, &grid};
};

}  // namespace

TEST_F(EnvelopeTest, StartUpState) {
  EXPECT_EQ(envelope.GetCount(), 539);
  EXPECT_EQ(envelope.GetSize(), 540);
  ASSERT_EQ(grid.rowCount(), 539);
  ASSERT_EQ(grid.columnCount(), 2);
  EXPECT_EQ(grid.horizontalHeaderItem(0)->text(), QStringLiteral("Offset"));
  EXPECT_EQ(grid.horizontalHeaderItem(1)->text(), QStringLiteral("Coeff"));
  EXPECT_EQ(Cell(0, 0), QStringLiteral("0.00"));
  EXPECT_EQ(Cell(269, 0), QStringLiteral("0.50"));
  EXPECT_EQ(Cell(538, 0), QStringLiteral("1.00"));
  EXPECT_FALSE(grid.item(5, 0)->flags() & Qt::ItemIsEditable);
  EXPECT_TRUE(grid.item(5, 1)->flags() & Qt::ItemIsEditable);
  for (int i = 0; i < 539; ++i) ASSERT_EQ(Cell(i, 1), QStringLiteral("0.00")) << i;
  for (const double v : Values()) ASSERT_EQ(v, 0.0);
  for (const double x : {-1.0, 0.0, 0.3, 0.999, 1.0, 5.0}) EXPECT_EQ(envelope.ValueAt(x), 0.0);
}

TEST_F(EnvelopeTest, ValueAtJoinsThePointsAndTheSeam) {
  envelope.Resize(5);  // 4 points and the seam point
  ASSERT_EQ(envelope.GetCount(), 4);
  const double seam = 0.3;
  const double values[] = {0, 1, 0, 1, seam};
  for (int i = 0; i < 5; ++i) envelope[i] = values[i];
  struct Case {
    double x, value;
  } cases[] = {{0.125, 0.5}, {0.25, 1.0}, {0.875, (1 + seam) / 2}, {1.0, seam},
               {-2.0, 0.0},  {7.0, seam}, {std::nan(""), 0.0},     {0.0, 0.0}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(envelope.ValueAt(c.x), c.value) << c.x;
  EXPECT_EQ(envelope.FirstValue(), 0.0);
  envelope.SetSeamValue(0.9);
  EXPECT_EQ(envelope[4], 0.9);
}

TEST_F(EnvelopeTest, FromGridClampsAndReadsTheLocaleSeparator) {
  SetCell(3, "abc");
  SetCell(4, "0.25");
  envelope.FromGrid();
  EXPECT_EQ(envelope[3], 0.0);
  EXPECT_EQ(Cell(3, 1), QStringLiteral("abc"));  // nothing clamped: the text stays
  EXPECT_EQ(envelope[4], 0.25);

  SetCell(1, "1.5");
  SetCell(2, "-3");
  SetCell(5, "1e999");
  envelope.FromGrid();
  EXPECT_EQ(envelope[1], 1.0);
  EXPECT_EQ(envelope[2], 0.0);
  EXPECT_EQ(envelope[5], 1.0);
  EXPECT_EQ(Cell(1, 1), QStringLiteral("1.00"));  // rewritten
  EXPECT_EQ(Cell(2, 1), QStringLiteral("0.00"));
  EXPECT_EQ(Cell(3, 1), QStringLiteral("0.00"));
  EXPECT_EQ(Cell(4, 1), QStringLiteral("0.25"));

  struct Case {
    QLocale locale;
    const char* text;
    double value;
  } cases[] = {
      {QLocale(QLocale::German), "0,25", 0.25},
      {QLocale(QLocale::German), "0.25", 0.25},
      {QLocale::c(), "0,25", 0.0},
      {QLocale::c(), "0.25", 0.25},
      {QLocale(QLocale::German), " 0,5 ", 0.5},
  };
  for (const Case& c : cases) {
    QLocale::setDefault(c.locale);
    SetCell(7, c.text);
    envelope.FromGrid();
    EXPECT_FLOAT_EQ(envelope[7], c.value) << c.text;
  }
  // Values are single precision, written with the locale's separator.
  QLocale::setDefault(QLocale(QLocale::German));
  SetCell(7, "1,5");
  envelope.FromGrid();
  EXPECT_EQ(Cell(7, 1), QStringLiteral("1,00"));
  EXPECT_EQ(Cell(269, 0), QStringLiteral("0,50"));
  SetCell(8, "0,1");
  envelope.FromGrid();
  EXPECT_EQ(envelope[8], static_cast<double>(0.1f));
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
    EXPECT_EQ(Cell(c.point, 1), QString::fromLatin1(c.text)) << c.x << ", " << c.y;
    EXPECT_FLOAT_EQ(envelope[c.point], c.value) << c.x << ", " << c.y;
  }
  EXPECT_EQ(envelope[4], 0.0);
  EXPECT_EQ(envelope[6], 0.0);
}

TEST_F(EnvelopeTest, DrawShowsTheCurveBetweenZeroAndOne) {
  // A constant 0.5 lies halfway down the plot area (between the label strips).
  for (int i = 0; i < 539; ++i) SetCell(i, "0.5");
  envelope.FromGrid();
  envelope.Draw();
  const QImage& picture = image.Image();
  auto blackRows = [&](int x) {
    std::vector<int> rows;
    for (int y = 0; y < picture.height(); ++y) {
      if (picture.pixelColor(x, y) == QColor(Qt::black)) rows.push_back(y);
    }
    return rows;
  };
  const std::vector<int> rows = blackRows(128);
  ASSERT_FALSE(rows.empty());
  EXPECT_NEAR(rows.front(), 48, 4);
  // Raised to 1 it lies at the top of the plot area.
  for (int i = 0; i < 539; ++i) SetCell(i, "1");
  envelope.FromGrid();
  envelope.Draw();
  const std::vector<int> top = blackRows(128);
  ASSERT_FALSE(top.empty());
  EXPECT_LT(top.front(), rows.front() - 20);
}

TEST_F(EnvelopeTest, LoadFromFileNormalisesAndSpreadsTheValues) {
  std::vector<double> ramp(541);
  for (int i = 0; i <= 540; ++i) ramp[i] = i;
  envelope.LoadFromFile(WriteFile("ramp.env", ramp));
  ASSERT_EQ(envelope.GetCount(), 540);
  EXPECT_EQ(grid.rowCount(), 540);
  for (int i = 0; i < 540; ++i) ASSERT_DOUBLE_EQ(envelope[i], i / 540.0) << i;
  EXPECT_EQ(envelope[540], 0.0);  // the seam point waits for the engine
  EXPECT_EQ(Cell(270, 1), QStringLiteral("0.50"));

  // A saved envelope comes back normalised over its points and seam point.
  envelope.Resize(5);
  const double saved[] = {0.2, 0.6, 0.4, 1.0, 1.2};
  for (int i = 0; i < 5; ++i) envelope[i] = saved[i];
  const QString path = dir.filePath("saved.env");
  ASSERT_TRUE(envelope.WriteToFile(path.toLocal8Bit().constData()));
  envelope.LoadFromFile(path);
  ASSERT_EQ(envelope.GetCount(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(envelope[i], (saved[i] - 0.2) / 1.0, 1e-12) << i;
  EXPECT_EQ(envelope[4], 0.0);

  // The fewest values that still show two points.
  envelope.LoadFromFile(WriteFile("three.env", {4.0, 2.0, 0.0}));
  ASSERT_EQ(envelope.GetCount(), 2);
  EXPECT_EQ(envelope[0], 1.0);
  EXPECT_EQ(envelope[1], 0.5);
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
    EXPECT_EQ(Cell(3, 1), QStringLiteral("0.30"));
  }
}

TEST(MorphCoeffs, LoadsAFileOfItsOwnSizeOneToOne) {
  QTemporaryDir dir;
  Block block(7);
  const double values[] = {3, 1, 4, 1, 5, 9, 2};
  for (int i = 0; i < 7; ++i) block[i] = values[i];
  const QString path = dir.filePath("seven.env");
  ASSERT_TRUE(block.WriteToFile(path.toLocal8Bit().constData()));
  MorphCoeffs envelope(3, nullptr, 0.0, nullptr);
  envelope.LoadFromFile(path);
  ASSERT_EQ(envelope.GetCount(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_DOUBLE_EQ(envelope[i], (values[i] - 1) / 8) << i;
}

TEST(SeamlessCoDeathTest, ResizeMustLeaveTwoPoints) {
  SeamlessCo envelope(539, nullptr, 0.0, nullptr);
  EXPECT_DEATH(envelope.Resize(2), "Assertion failed: GetCount\\(\\) >= 2");
}
