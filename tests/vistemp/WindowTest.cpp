// The converter's window driven through its real controls on the offscreen
// platform, with the dialogs answered by script.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>
#include <tuple>
#include <vector>

#include "MemoryBudget.h"
#include "PictureWidget.h"
#include "TracedPictureView.h"
#include "TestPictures.h"

using vistemp_test::ColumnPicture;
using vistemp_test::Rising;
using vistemp_test::VistempWindow;

namespace {

bool HasPixel(const QImage& image, QRgb colour) {
  const QImage pixels = image.convertToFormat(QImage::Format_RGB32);  // unpadded lines
  const auto* begin = reinterpret_cast<const QRgb*>(pixels.constBits());
  const auto* end = begin + pixels.width() * pixels.height();
  return std::find(begin, end, colour) != end;
}

TEST_F(VistempWindow, KeepsTheDesignedOrderAndGrowsAroundThePicture) {
  // The window may grow; the panels keep their heights at the bottom and the
  // picture takes the room above them.
  EXPECT_GT(form.maximumHeight(), form.minimumHeight());
  EXPECT_GT(form.maximumWidth(), form.minimumWidth());
  const int panel1Height = form.Panel1->height(), panel2Height = form.Panel2->height();
  const int pictureHeight = form.PictureView->height();
  form.resize(form.width() + 300, form.height() + 200);
  EXPECT_EQ(form.Panel1->geometry().bottom(), form.height() - 1);
  EXPECT_EQ(form.Panel1->height(), panel1Height);
  EXPECT_EQ(form.Panel2->height(), panel2Height);
  EXPECT_EQ(form.Image1->width(), form.Panel2->contentsRect().width());
  EXPECT_EQ(form.PictureView->height(), pictureHeight + 200);
  EXPECT_EQ(form.PictureView->width(), form.width());
  EXPECT_GE(form.width(), 631);
  EXPECT_GE(form.height(), 329);
  const QWidget* order[] = {form.LoadButton,       form.ThreshEdit, form.LogCheckBox,   form.RangeEdit,
                            form.ResampleCheckBox, form.SzEdit,     form.ScaleCheckBox, form.ScaleEdit,
                            form.SaveButton,       form.ExitButton};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    EXPECT_LT(order[i - 1]->x(), order[i]->x()) << i;
    EXPECT_LE(order[i]->geometry().right(), form.Panel1->width());
  }
  EXPECT_LT(form.Image1->geometry().bottom(), form.Panel1->y());
}

TEST_F(VistempWindow, VisibilityFollowsTheCheckBoxes) {
  // The box clicked, then whether SzEdit, ScaleCheckBox, ScaleEdit and RangeEdit show.
  const std::pair<QCheckBox*, std::tuple<bool, bool, bool, bool>> steps[] = {
      {form.ResampleCheckBox, {true, true, false, true}},
      {form.ScaleCheckBox, {true, true, true, true}},
      {form.ScaleCheckBox, {true, true, false, true}},
      {form.ScaleCheckBox, {true, true, true, true}},
      {form.ResampleCheckBox, {false, false, false, true}},  // the scale box stays checked ...
      {form.ResampleCheckBox, {true, true, true, true}},     // ... and shows its edit again
      {form.LogCheckBox, {true, true, true, false}},
      {form.LogCheckBox, {true, true, true, true}}};
  for (const auto& [box, shown] : steps) {
    Click(box);
    EXPECT_EQ(std::tuple(form.SzEdit->isVisible(), form.ScaleCheckBox->isVisible(), form.ScaleEdit->isVisible(),
                         form.RangeEdit->isVisible()),
              shown)
        << box->text().toStdString();
  }
}

TEST_F(VistempWindow, UpDownStepsTheRangeByTenAndStopsAtBothEnds) {
  QTest::keyClicks(form.RangeEdit, "45");  // the text cannot be typed over
  EXPECT_EQ(form.RangeEdit->text(), "60");
  Load(Rising(50));
  for (const char* expected : {"70", "80", "90", "100"}) {
    const QImage previous = form.Image1->Image().copy();
    QTest::keyClick(form.RangeEdit, Qt::Key_Up);
    EXPECT_EQ(form.RangeEdit->text(), expected);
    // Every step draws the preview again: another dynamic range bends the curve.
    EXPECT_NE(form.Image1->Image(), previous) << expected;
  }
  QTest::keyClick(form.RangeEdit, Qt::Key_Up);
  EXPECT_EQ(form.RangeEdit->text(), "100");
  for (int i = 0; i < 9; ++i) QTest::keyClick(form.RangeEdit, Qt::Key_Down);
  EXPECT_EQ(form.RangeEdit->text(), "20");
}

TEST_F(VistempWindow, LoadTracesThePictureAndDrawsThePreviewButNotAFlatCurve) {
  const QImage blank = form.Image1->Image().copy();
  Load(Rising(40));
  ASSERT_EQ(form.GetProfile().GetSize(), 40);
  EXPECT_EQ(form.GetProfile()[39], 40.0);
  EXPECT_NE(form.Image1->Image(), blank);
  EXPECT_TRUE(HasPixel(form.Image1->Image(), qRgb(0, 0, 0)));           // the curve
  EXPECT_TRUE(HasPixel(form.Image1->Image(), qRgb(0xC0, 0xC0, 0xC0)));  // the plot area

  // The threshold belongs to the trace: changing it alone changes nothing.
  form.ThreshEdit->setText("0");
  EXPECT_EQ(form.GetProfile()[39], 40.0);
  Load(Rising(40));
  EXPECT_EQ(form.GetProfile()[39], 0.0);

  // A flat curve is not drawn, and is written with its raw heights.
  form.ThreshEdit->setText("0.5");
  Load(ColumnPicture(std::vector<int>(30, 7), 20));
  EXPECT_FALSE(HasPixel(form.Image1->Image(), qRgb(0, 0, 0)));
  EXPECT_TRUE(HasPixel(form.Image1->Image(), qRgb(0xC0, 0xC0, 0xC0)));
  EXPECT_EQ(Save(), std::vector<double>(30, 7.0));
}

TEST_F(VistempWindow, InvalidBitmapOrOnePixelWidePictureKeepsThePreview) {
  Load(Rising(40));
  const QImage preview = form.Image1->Image().copy();
  QFile bad(folder.Path("bad.bmp"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly) && bad.write("BM this is not a picture") > 0);
  bad.close();
  prompts.fileNames.push_back(bad.fileName());
  QTest::mouseClick(form.LoadButton, Qt::LeftButton);
  EXPECT_EQ(prompts.messages, QStringList{"Bitmap image is not valid"});
  EXPECT_EQ(form.GetProfile().GetSize(), 40);
  EXPECT_EQ(form.Image1->Image(), preview);

  // One column cannot be drawn, but it is loaded and can be saved.
  Load(ColumnPicture({3}, 5), "narrow.bmp");
  EXPECT_EQ(prompts.messages.size(), 1);
  EXPECT_EQ(form.GetProfile().GetSize(), 1);
  EXPECT_EQ(form.Image1->Image(), preview);
  EXPECT_EQ(Save(), std::vector<double>{3.0});
}

TEST_F(VistempWindow, SavesTheLogMappedEnvelopeAndScalesOnlyWhenResampling) {
  Load(Rising(101));
  Click(form.ResampleCheckBox);
  Click(form.ScaleCheckBox);
  Click(form.ResampleCheckBox);  // the scale box stays checked, but hidden and ignored
  const std::vector<double> values = Save();
  ASSERT_EQ(values.size(), 101u);
  EXPECT_NEAR(values[0], 1.0, 1e-12);
  EXPECT_NEAR(values[100], 1e6, 1e-6);

  // Overwriting (here at a range of 20) replaces the file and leaves nothing else in the folder.
  for (int i = 0; i < 4; ++i) QTest::keyClick(form.RangeEdit, Qt::Key_Down);
  const std::vector<double> again = Save();
  ASSERT_EQ(again.size(), 101u);
  EXPECT_NEAR(again[100], 100.0, 1e-10);
  EXPECT_EQ(folder.Entries(), (QStringList{"out.env", "picture.bmp"}));
}

TEST_F(VistempWindow, CancelledDialogsAndASaveWithoutPictureDoNothing) {
  QTest::mouseClick(form.LoadButton, Qt::LeftButton);
  QTest::mouseClick(form.SaveButton, Qt::LeftButton);
  EXPECT_TRUE(Save().empty());
  EXPECT_EQ(prompts.asked.size(), 3u);
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_EQ(folder.Entries(), QStringList());
}

TEST_F(VistempWindow, RefusedSavesSayWhyAndWriteNothing) {
  // The picture, the size typed, whether to scale, and the message shown.
  const std::tuple<QImage, QString, bool, QString> cases[] = {
      {Rising(10), "12x", false, "'12x' is not a valid integer value"},
      {Rising(10), "8192.0", false, "'8192.0' is not a valid integer value"},
      {Rising(10), "", false, "'' is not a valid integer value"},
      {Rising(10), "0", false, "'0' is not a positive number of samples"},
      {Rising(10), "-3", false, "'-3' is not a positive number of samples"},
      {ColumnPicture({3}, 5), "8192", false, "Floating point division by zero"},
      {Rising(10), "1", false, "Floating point division by zero"},
      {ColumnPicture({3}, 5), "1", false, "Invalid floating point operation"},
      {ColumnPicture(std::vector<int>(20, 0), 10), "100", true, "Floating point division by zero"}};  // no ink
  std::vector<std::tuple<QImage, QString, bool, QString>> refused(std::begin(cases), std::end(cases));
  // The resampled block and its copy, 32 GiB, are not allocated where they do not fit.
  if (!FitsInMemory(2147483647, 2 * sizeof(double))) {
    refused.push_back({Rising(10), "2147483647", false, "Not enough memory for 2147483647 samples."});
  }
  Click(form.ResampleCheckBox);
  for (const auto& [picture, size, scale, message] : refused) {
    Load(picture);
    form.SzEdit->setText(size);
    if (form.ScaleCheckBox->isChecked() != scale) Click(form.ScaleCheckBox);
    prompts.messages.clear();
    EXPECT_TRUE(Save().empty()) << "size " << size.toStdString();
    EXPECT_EQ(prompts.messages, QStringList{message});
    EXPECT_EQ(folder.Entries(), QStringList{"picture.bmp"}) << "size " << size.toStdString();
  }
}

TEST_F(VistempWindow, FailedWriteIsReportedAndLeavesNoFileBehind) {
  Load(Rising(10));
  // A folder stands where the file should go: it cannot be replaced.
  ASSERT_TRUE(QDir().mkpath(folder.Path("taken.env")));
  Save("taken.env");
  EXPECT_EQ(folder.Entries(), (QStringList{"picture.bmp", "taken.env"}));
  EXPECT_TRUE(QFileInfo(folder.Path("taken.env")).isDir());
  Save("missing/out.env");
  EXPECT_EQ(prompts.messages, (QStringList{"Can not create " + folder.Path("taken.env"),
                                           "Can not create " + folder.Path("missing/out.env")}));
}

}  // namespace
