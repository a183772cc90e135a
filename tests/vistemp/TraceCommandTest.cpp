// vistemp-trace, the command-line converter: its files equal the window's for
// the same settings, byte for byte, and it refuses as the window does, with
// the kit's exit codes and nothing written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <optional>
#include <vector>

#include "MemoryBudget.h"
#include "TestPictures.h"

using vistemp_test::Chart;
using vistemp_test::ChartParts;
using vistemp_test::VistempWindow;

namespace {

struct Outcome {
  int exitCode = -1;
  QString out, err;
};

Outcome Trace(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(VISTEMP_TRACE), arguments);
  EXPECT_TRUE(process.waitForFinished(60000)) << arguments.join(' ').toStdString();
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the window is set to, and the same as vistemp-trace's options.
struct Settings {
  const char* what;
  QString threshold = "0.5";
  std::optional<QPoint> pickAt;  // a click in pick mode on this pixel
  QString tolerance = "60";
  std::optional<QRect> region;
  std::optional<int> rangeDb;  // log mapping
  std::optional<int> resample;
  std::optional<QString> scale;
  QStringList options;
};

class TraceCommand : public VistempWindow {
 protected:
  void Apply(const Settings& settings, const QString& picture) {
    form.ThreshEdit->setText(settings.threshold);
    form.ToleranceEdit->setText(settings.tolerance);
    if (form.PickCheckBox->isChecked() != settings.pickAt.has_value()) Click(form.PickCheckBox);
    LoadFile(picture);
    if (settings.pickAt) form.PictureClick(*settings.pickAt);
    if (settings.region) {
      form.PictureDrag(*settings.region);
    } else {
      form.PictureDoubleClick();
    }
    if (form.LogCheckBox->isChecked() != settings.rangeDb.has_value()) Click(form.LogCheckBox);
    if (settings.rangeDb) form.RangeEdit->setValue(*settings.rangeDb);
    if (form.ResampleCheckBox->isChecked() != settings.resample.has_value()) Click(form.ResampleCheckBox);
    if (settings.resample) {
      form.SzEdit->setText(QString::number(*settings.resample));
      if (form.ScaleCheckBox->isChecked() != settings.scale.has_value()) Click(form.ScaleCheckBox);
      if (settings.scale) form.ScaleEdit->setText(*settings.scale);
    }
  }
};

// Lossless formats only: Qt's JPEG reader and GraphicsMagick's may round a
// pixel differently.
TEST_F(TraceCommand, WritesTheWindowsFileByteForByte) {
  const QImage chart = Chart();
  const int redRow = 40 + static_cast<int>(20 * std::sin(150 / 20.0));
  const int blueRow = 120 + static_cast<int>(25 * std::cos(150 / 30.0));
  const QStringList pictures = {folder.SaveAs(chart, "chart.png", "PNG"),
                                folder.SaveAs(chart, "chart.bmp", "BMP"),
                                folder.SaveAs(chart, "chart.webp", "WEBP"),
                                folder.SaveAs(chart, "chart.tif", "TIFF"),
                                folder.SaveAs(chart.convertToFormat(QImage::Format_Indexed8), "palette.bmp", "BMP"),
                                folder.SaveAs(vistemp_test::OnTransparentGround(chart), "ground.png", "PNG")};
  const Settings cases[] = {
      {"the defaults", "0.5", {}, "60", {}, 60, {}, {}, {"--log", "60"}},
      {"linear", "0.5", {}, "60", {}, {}, {}, {}, {}},
      {"threshold, resampled", "0.7", {}, "60", {}, 30, 8192, {}, {"--threshold", "0.7", "--log", "30", "--resample", "8192"}},
      {"red, scaled", "0.5", QPoint(150, redRow), "60", {}, 40, 8192, "1.0",
       {"--colour", "E6140A", "--log", "40", "--resample", "8192", "--scale", "1.0"}},
      {"blue in a region", "0.5", QPoint(150, blueRow), "30", QRect(15, 15, 270, 170), 100, 300, "2.5",
       {"--colour", "1428dc", "--tolerance", "30", "--region", "15,15,270,170", "--log", "100", "--resample", "300",
        "--scale", "2.5"}},
      {"a region", "0.5", {}, "60", QRect(15, 15, 270, 170), {}, {}, {}, {"--region", "15,15,270,170"}},
  };
  for (const QString& picture : pictures) {
    for (const Settings& settings : cases) {
      const std::string what = QFileInfo(picture).fileName().toStdString() + ", " + settings.what;
      Apply(settings, picture);
      ASSERT_FALSE(Save("window.env").empty()) << what;
      const Outcome run = Trace(QStringList{picture, folder.Path("trace.env"), "--quiet"} + QStringList(settings.options));
      ASSERT_EQ(run.exitCode, 0) << what << ": " << run.err.toStdString();
      EXPECT_TRUE(run.out.isEmpty() && run.err.isEmpty()) << what;
      EXPECT_EQ(Contents(folder.Path("trace.env")), Contents(folder.Path("window.env"))) << what;
    }
  }
}

TEST_F(TraceCommand, RefusesWithTheWindowsMessagesAndWritesNothing) {
  const QString chart = folder.SaveAs(Chart(), "chart.png", "PNG");
  const QString narrow = folder.SaveAs(vistemp_test::ColumnPicture({3}, 5), "narrow.png", "PNG");
  QFile damaged(folder.Path("damaged.png"));
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write(Contents(chart).left(200));
  damaged.close();
  const QString fifo = folder.Path("pipe.png");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  ASSERT_TRUE(QDir().mkpath(folder.Path("folder.png")));
  ASSERT_TRUE(QDir().mkpath(folder.Path("taken.env")));
  QFile huge(folder.Path("huge.png"));
  ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.write(vistemp_test::PngHeader(20000, 15000)) > 0);
  huge.close();
  const QString out = folder.Path("out.env");

  // The arguments, the exit code and the message on standard error.
  const std::tuple<QStringList, int, QString> cases[] = {
      {{folder.Path("missing.png"), out}, 1, "Bitmap image is not valid"},
      {{huge.fileName(), out}, 1, QString::fromUtf8("Picture too large: 20000 × 15000 pixels")},
      {{damaged.fileName(), out}, 1, "Bitmap image is not valid"},
      {{fifo, out}, 1, "Bitmap image is not valid"},
      {{folder.Path("folder.png"), out}, 1, "Bitmap image is not valid"},
      {{"/dev/zero", out}, 1, "Bitmap image is not valid"},
      {{chart, out, "--region", "400,0,10,10"}, 1, "The region lies outside the picture"},
      {{narrow, out, "--resample", "8192"}, 1, "Floating point division by zero"},
      {{chart, out, "--resample", "1"}, 1, "Floating point division by zero"},
      {{chart, out, "--threshold", "0", "--resample", "100", "--scale", "1"}, 1, "Floating point division by zero"},
      {{chart, folder.Path("taken.env")}, 1, "Can not create " + folder.Path("taken.env")},
      {{chart, folder.Path("missing/out.env")}, 1, "Can not create " + folder.Path("missing/out.env")},
      {QStringList{}, 2, {}},
      {{chart}, 2, {}},
      {{chart, out, "--colour", "red"}, 2, {}},
      {{chart, out, "--colour", "FF0000", "--threshold", "0.3"}, 2, {}},
      {{chart, out, "--tolerance", "10"}, 2, {}},
      {{chart, out, "--scale", "1"}, 2, {}},
      {{chart, out, "--resample", "0"}, 2, {}},
      {{chart, out, "--region", "1,2,3"}, 2, {}},
      {{chart, out, "--region", "0,0,0,5"}, 2, {}},
      {{chart, out, "--region", "-1,0,5,5"}, 2, {}},
      {{chart, out, "--bogus"}, 2, {}},
      {{chart, out, "--threshold", ""}, 2, {}},  // not 0
      {{chart, out, "--log", "nan"}, 2, {}},     // not an envelope of NaN
      {{chart, out, "--log", "4000"}, 2, {}},    // nor of infinities
  };
  std::vector<std::tuple<QStringList, int, QString>> refused(std::begin(cases), std::end(cases));
  // The resampled block and its copy, 32 GiB, are not allocated where they do not fit.
  if (!FitsInMemory(2147483647, 2 * sizeof(double))) {
    refused.push_back({{chart, out, "--resample", "2147483647"}, 1, "Not enough memory for 2147483647 samples."});
  }
  const QStringList before = folder.Entries();
  for (const auto& [arguments, exitCode, message] : refused) {
    const Outcome run = Trace(arguments);
    const std::string what = arguments.join(' ').toStdString();
    EXPECT_EQ(run.exitCode, exitCode) << what;
    if (exitCode == 1) {
      EXPECT_EQ(run.err, message + "\n") << what;
    } else {
      EXPECT_FALSE(run.err.isEmpty()) << what;
    }
    EXPECT_TRUE(run.out.isEmpty()) << what;
    EXPECT_EQ(folder.Entries(), before) << what;
  }

  for (const auto& [arguments, exitCode, message] :
       {std::tuple{QStringList{"--help"}, 0, QString("Usage: vistemp-trace")},
        std::tuple{QStringList{"--version"}, 0, QString("vistemp-trace ")}}) {
    const Outcome run = Trace(arguments);
    EXPECT_EQ(run.exitCode, exitCode);
    EXPECT_TRUE(run.out.contains(message)) << run.out.toStdString();
  }
}

}  // namespace
