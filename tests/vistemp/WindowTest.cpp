// The converter's window driven through its real controls on the offscreen
// platform, with the dialogs answered by script.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <algorithm>
#include <QFileInfo>
#include <deque>
#include <vector>

#include "PictureWidget.h"
#include "ScriptedPrompts.h"
#include "TestPictures.h"
#include "vtMain.h"

using vistemp::TForm1;
using vistemp_test::ColumnPicture;
using vistemp_test::TestFolder;

namespace {


std::vector<double> ReadEnvelope(const QString& path) {
  Block block;
  if (!block.ReadFromFile(QFile::encodeName(path).constData(), 0, -1)) return {};
  return std::vector<double>(block.GetData(), block.GetData() + block.GetSize());
}

// Heights 1 .. n, one column each.
QImage Rising(int n) {
  std::vector<int> heights(n);
  for (int x = 0; x < n; ++x) heights[x] = x + 1;
  return ColumnPicture(heights, n);
}

bool HasPixel(const QImage& image, QRgb colour) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) return true;
    }
  }
  return false;
}

class VistempWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  }

  void Load(const QImage& picture, const QString& name = QStringLiteral("picture.bmp")) {
    prompts.fileNames.push_back(folder.SaveBmp(picture, name));
    QTest::mouseClick(form.LoadButton, Qt::LeftButton);
  }

  // Saves under the given name and returns the values written (none when no file).
  std::vector<double> Save(const QString& name = QStringLiteral("out.env")) {
    prompts.fileNames.push_back(folder.Path(name));
    QTest::mouseClick(form.SaveButton, Qt::LeftButton);
    return QFile::exists(folder.Path(name)) ? ReadEnvelope(folder.Path(name)) : std::vector<double>{};
  }

  // A click on a check box's indicator, as a user would.
  static void Click(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
  }

  TestFolder folder;
  ScriptedPrompts prompts;
  TForm1 form{&prompts};
};

TEST_F(VistempWindow, KeepsItsSizeAndTheDesignedOrder) {
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_GE(form.width(), 631);
  EXPECT_GE(form.height(), 329);
  const QWidget* order[] = {form.LoadButton, form.ThreshEdit, form.LogCheckBox,
                            form.RangeEdit, form.ResampleCheckBox, form.SzEdit,
                            form.ScaleCheckBox, form.ScaleEdit, form.SaveButton, form.ExitButton};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    EXPECT_LT(order[i - 1]->x(), order[i]->x()) << i;
    EXPECT_LE(order[i]->geometry().right(), form.Panel1->width());
  }
  EXPECT_EQ(form.Panel1->geometry().bottom(), form.height() - 1);
  EXPECT_LT(form.Image1->geometry().bottom(), form.Panel1->y());
}

TEST_F(VistempWindow, VisibilityFollowsTheCheckBoxes) {
  Click(form.ResampleCheckBox);
  EXPECT_TRUE(form.SzEdit->isVisible());
  EXPECT_TRUE(form.ScaleCheckBox->isVisible());
  EXPECT_FALSE(form.ScaleEdit->isVisible());

  Click(form.ScaleCheckBox);
  EXPECT_TRUE(form.ScaleEdit->isVisible());
  Click(form.ScaleCheckBox);
  EXPECT_FALSE(form.ScaleEdit->isVisible());
  Click(form.ScaleCheckBox);

  Click(form.ResampleCheckBox);  // off: all three hide, the scale box stays checked
  EXPECT_FALSE(form.SzEdit->isVisible());
  EXPECT_FALSE(form.ScaleCheckBox->isVisible());
  EXPECT_FALSE(form.ScaleEdit->isVisible());
  EXPECT_TRUE(form.ScaleCheckBox->isChecked());

  Click(form.ResampleCheckBox);  // on again: the kept scale setting shows its edit
  EXPECT_TRUE(form.ScaleEdit->isVisible());

  Click(form.LogCheckBox);
  EXPECT_FALSE(form.RangeEdit->isVisible());
  Click(form.LogCheckBox);
  EXPECT_TRUE(form.RangeEdit->isVisible());
}

TEST_F(VistempWindow, UpDownStepsTheRangeByTenAndStopsAtBothEnds) {
  QTest::keyClicks(form.RangeEdit, "45");  // the text cannot be typed over
  EXPECT_EQ(form.RangeEdit->text(), "60");

  Load(Rising(50));
  for (const char* expected : {"70", "80", "90", "100", "100"}) {
    const QString before = form.RangeEdit->text();
    const QImage previous = form.Image1->Image().copy();
    QTest::keyClick(form.RangeEdit, Qt::Key_Up);
    EXPECT_EQ(form.RangeEdit->text(), expected);
    // Every step draws the preview again: another dynamic range bends the curve.
    if (before != expected) {
      EXPECT_NE(form.Image1->Image(), previous) << expected;
    }
  }
  for (int i = 0; i < 10; ++i) QTest::keyClick(form.RangeEdit, Qt::Key_Down);
  EXPECT_EQ(form.RangeEdit->text(), "20");
}

TEST_F(VistempWindow, CancelledDialogsAndASaveWithoutPictureDoNothing) {
  QTest::mouseClick(form.LoadButton, Qt::LeftButton);
  QTest::mouseClick(form.SaveButton, Qt::LeftButton);
  ASSERT_EQ(prompts.asked.size(), 2u);
  EXPECT_TRUE(Save().empty());
  EXPECT_EQ(prompts.asked.size(), 3u);
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_EQ(folder.Entries(), QStringList());
}

TEST_F(VistempWindow, LoadTracesThePictureAndDrawsThePreview) {
  const QImage blank = form.Image1->Image().copy();
  Load(Rising(40));
  ASSERT_EQ(form.GetProfile().GetSize(), 40);
  for (int x = 0; x < 40; ++x) EXPECT_EQ(form.GetProfile()[x], x + 1.0);
  const QImage& preview = form.Image1->Image();
  EXPECT_NE(preview, blank);
  EXPECT_TRUE(HasPixel(preview, qRgb(0, 0, 0)));        // the curve
  EXPECT_TRUE(HasPixel(preview, qRgb(0xC0, 0xC0, 0xC0)));  // the plot area

  // The threshold belongs to the trace: changing it alone changes nothing.
  form.ThreshEdit->setText("0");
  EXPECT_EQ(form.GetProfile()[39], 40.0);
  Load(Rising(40));
  EXPECT_EQ(form.GetProfile()[39], 0.0);
}

TEST_F(VistempWindow, FlatCurveDrawsNoCurveAndIsWrittenRaw) {
  Load(ColumnPicture(std::vector<int>(30, 7), 20));
  EXPECT_FALSE(HasPixel(form.Image1->Image(), qRgb(0, 0, 0)));
  EXPECT_TRUE(HasPixel(form.Image1->Image(), qRgb(0xC0, 0xC0, 0xC0)));
  EXPECT_EQ(Save(), std::vector<double>(30, 7.0));
}

TEST_F(VistempWindow, InvalidBitmapKeepsTheProfileAndThePreview) {
  Load(Rising(40));
  const QImage preview = form.Image1->Image().copy();
  const QString bad = folder.Path("bad.bmp");
  QFile file(bad);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("BM this is not a picture");
  file.close();
  prompts.fileNames.push_back(bad);
  QTest::mouseClick(form.LoadButton, Qt::LeftButton);
  EXPECT_EQ(prompts.messages, QStringList{"Bitmap image is not valid"});
  EXPECT_EQ(form.GetProfile().GetSize(), 40);
  EXPECT_EQ(form.Image1->Image(), preview);
}

TEST_F(VistempWindow, OnePixelWidePictureKeepsThePreviewAndCanBeSaved) {
  Load(Rising(40));
  const QImage preview = form.Image1->Image().copy();
  Load(ColumnPicture({3}, 5), "narrow.bmp");
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_EQ(form.GetProfile().GetSize(), 1);
  EXPECT_EQ(form.Image1->Image(), preview);
  EXPECT_EQ(Save(), std::vector<double>{3.0});
}

TEST_F(VistempWindow, SavesTheLogMappedEnvelopeAsABlockFile) {
  Load(Rising(101));
  const std::vector<double> values = Save();
  ASSERT_EQ(values.size(), 101u);
  EXPECT_NEAR(values[0], 1.0, 1e-12);
  EXPECT_NEAR(values[50], 1e3, 1e-9);
  EXPECT_NEAR(values[100], 1e6, 1e-6);

  // The header carries a fresh block's attributes.
  QFile file(folder.Path("out.env"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  ASSERT_EQ(bytes.size(), 32 + 8 * 101);
  const char header[] = "BLOW\x65\0\0\0\x20\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\xF0\x3F\0\0";
  EXPECT_EQ(bytes.left(30), QByteArray(header, 30));

  // Overwriting replaces the file and leaves nothing else in the folder.
  QTest::keyClick(form.RangeEdit, Qt::Key_Down);
  QTest::keyClick(form.RangeEdit, Qt::Key_Down);
  QTest::keyClick(form.RangeEdit, Qt::Key_Down);
  QTest::keyClick(form.RangeEdit, Qt::Key_Down);
  EXPECT_EQ(form.RangeEdit->text(), "20");
  const std::vector<double> again = Save();
  ASSERT_EQ(again.size(), 101u);
  EXPECT_NEAR(again[100], 100.0, 1e-10);
  EXPECT_EQ(folder.Entries(), (QStringList{"out.env", "picture.bmp"}));
}

TEST_F(VistempWindow, ResamplesAndScalesOnlyWhenResampling) {
  Load(Rising(629));
  Click(form.ResampleCheckBox);
  Click(form.ScaleCheckBox);
  const std::vector<double> scaled = Save("scaled.env");
  ASSERT_EQ(scaled.size(), 8192u);
  EXPECT_NEAR(*std::max_element(scaled.begin(), scaled.end()), 1.0, 1e-15);
  EXPECT_NEAR(scaled[8191], 1.0, 1e-15);  // the last column, at the last sample
  EXPECT_NEAR(scaled[0], 1e-6, 1e-18);

  Click(form.ResampleCheckBox);  // scale box still checked, but hidden and ignored
  const std::vector<double> raw = Save("raw.env");
  ASSERT_EQ(raw.size(), 629u);
  EXPECT_NEAR(raw[628], 1e6, 1e-6);
}

TEST_F(VistempWindow, RefusedSavesSayWhyAndWriteNothing) {
  const struct {
    const char* what;
    QImage picture;
    QString size;
    bool scale;
    QString message;
  } cases[] = {
      {"no integer", Rising(10), "12x", false, "'12x' is not a valid integer value"},
      {"decimal", Rising(10), "8192.0", false, "'8192.0' is not a valid integer value"},
      {"empty", Rising(10), "", false, "'' is not a valid integer value"},
      {"zero", Rising(10), "0", false, "'0' is not a positive number of samples"},
      {"negative", Rising(10), "-3", false, "'-3' is not a positive number of samples"},
      {"one column", ColumnPicture({3}, 5), "8192", false, "Floating point division by zero"},
      {"to one sample", Rising(10), "1", false, "Floating point division by zero"},
      {"one to one", ColumnPicture({3}, 5), "1", false, "Invalid floating point operation"},
      {"no ink", QImage(), "100", true, "Floating point division by zero"},
  };
  Click(form.ResampleCheckBox);
  for (const auto& c : cases) {
    QImage picture = c.picture;
    if (picture.isNull()) {
      picture = QImage(20, 10, QImage::Format_RGB32);
      picture.fill(Qt::white);
    }
    Load(picture);
    form.SzEdit->setText(c.size);
    if (form.ScaleCheckBox->isChecked() != c.scale) Click(form.ScaleCheckBox);
    prompts.messages.clear();
    EXPECT_TRUE(Save().empty()) << c.what;
    EXPECT_EQ(prompts.messages, QStringList{c.message}) << c.what;
    EXPECT_EQ(folder.Entries(), QStringList{"picture.bmp"}) << c.what;
  }
}

TEST_F(VistempWindow, FailedWriteIsReportedAndLeavesNoFileBehind) {
  Load(Rising(10));
  // A folder stands where the file should go: it cannot be replaced.
  ASSERT_TRUE(QDir().mkpath(folder.Path("taken.env")));
  Save("taken.env");
  EXPECT_EQ(prompts.messages, QStringList{"Can not create " + folder.Path("taken.env")});
  EXPECT_EQ(folder.Entries(), (QStringList{"picture.bmp", "taken.env"}));
  EXPECT_TRUE(QFileInfo(folder.Path("taken.env")).isDir());

  prompts.messages.clear();
  Save("missing/out.env");
  EXPECT_EQ(prompts.messages, QStringList{"Can not create " + folder.Path("missing/out.env")});
}

}  // namespace
