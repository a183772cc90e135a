// The window's save for the classic settings (luminance threshold, whole
// picture) must keep writing the very bytes it wrote before colour picking,
// regions and the other picture formats existed. The digests below were taken
// from files the converter wrote before those features were added.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <cmath>
#include <cstdint>
#include <vector>

#include "TestPictures.h"

using vistemp_test::ColumnPicture;
using vistemp_test::VistempWindow;

namespace {

std::uint64_t Fnv1a(const QByteArray& bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char byte : bytes) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= 1099511628211ull;
  }
  return hash;
}

// A decaying, rising and broken curve 629 columns wide with blank edges.
QImage Curve() {
  std::vector<int> heights(629);
  for (int x = 0; x < 629; ++x) {
    const bool blank = x < 7 || x > 611 || (x > 200 && x < 240) || (x > 400 && x < 403);
    heights[x] = blank ? 0 : 1 + static_cast<int>(140 + 120 * std::sin(x / 37.0) * std::exp(-x / 500.0));
  }
  return ColumnPicture(heights, 286);
}

struct Settings {
  const char* what;
  bool palette;  // saved as an 8-bit palette BMP
  const char* threshold;
  bool log;
  int rangeSteps;  // arrow-key steps from 60, negative downwards
  const char* resample;  // nullptr: no resampling
  const char* scale;     // nullptr: no scaling
  std::uint64_t digest;
};

class SavedBytes : public VistempWindow {};

TEST_F(SavedBytes, ClassicSettingsWriteTheBytesTheyAlwaysWrote) {
  const Settings cases[] = {
      {"log 60", false, "0.5", true, 0, nullptr, nullptr, 3151932152064033573ull},
      {"linear", false, "0.5", false, 0, nullptr, nullptr, 14213914117130370947ull},
      {"log 20 to 8192", false, "0.5", true, -4, "8192", nullptr, 164024008894494952ull},
      {"log 60 to 8192 scaled", false, "0.5", true, 0, "8192", "1.0", 15167002485008582262ull},
      {"linear to 300 scaled", false, "0.5", false, 0, "300", "2.5", 2991415903668796934ull},
      {"palette log 100 to 1000", true, "0.7", true, 4, "1000", nullptr, 776337644226267769ull},
  };
  for (const Settings& settings : cases) {
    form.ThreshEdit->setText(settings.threshold);
    const QImage curve = Curve();
    Load(settings.palette ? curve.convertToFormat(QImage::Format_Indexed8) : curve);
    if (form.LogCheckBox->isChecked() != settings.log) Click(form.LogCheckBox);
    form.RangeEdit->setValue(60 + 10 * settings.rangeSteps);
    if (form.ResampleCheckBox->isChecked() != (settings.resample != nullptr)) Click(form.ResampleCheckBox);
    if (settings.resample) {
      form.SzEdit->setText(settings.resample);
      if (form.ScaleCheckBox->isChecked() != (settings.scale != nullptr)) Click(form.ScaleCheckBox);
      if (settings.scale) form.ScaleEdit->setText(settings.scale);
    }
    ASSERT_FALSE(Save().empty()) << settings.what;
    QFile written(folder.Path("out.env"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(Fnv1a(written.readAll()), settings.digest) << settings.what;
  }
}

}  // namespace
