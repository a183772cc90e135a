// The Model and channel dialogs, driven through their real widgets.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "Channel.h"
#include "KadenzoPrompts.h"
#include "Model.h"

namespace {

// Runs the steps once the modal dialog is up; if they leave it open, Escape closes it.
void WhenShown(QDialog& dialog, std::function<void()> steps) {
  QTimer::singleShot(0, &dialog, [&dialog, steps] {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    steps();
    if (dialog.isVisible()) QTest::keyClick(&dialog, Qt::Key_Escape);
  });
}

void Retype(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

class ModelDialogTest : public testing::Test {
 protected:
  void SetUp() override { QLocale::setDefault(QLocale::c()); }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }
  TModelForm form;
};

}  // namespace

TEST_F(ModelDialogTest, OkOverwritesTheCallersValuesCancelAndEscapeKeepThem) {
  double duration = 10, frequency = 1000, band = 400;
  WhenShown(form, [&] {
    Retype(form.FreqEdit, "5");
    QTest::mouseClick(form.CancelBtn, Qt::LeftButton);
  });
  EXPECT_FALSE(form.Query(&duration, &frequency, &band));
  WhenShown(form, [&] {
    Retype(form.BandEdit, "5");
    QTest::keyClick(&form, Qt::Key_Escape);
  });
  EXPECT_FALSE(form.Query(&duration, &frequency, &band));
  EXPECT_EQ(std::vector<double>({duration, frequency, band}), std::vector<double>({10, 1000, 400}));

  WhenShown(form, [&] {
    // The caller's values, not the text edited before.
    EXPECT_EQ(form.windowTitle(), "Noise");
    EXPECT_EQ(form.DurationEdit->text(), "10");
    EXPECT_EQ(form.FreqEdit->text(), "1000.0");
    EXPECT_EQ(form.BandEdit->text(), "400.0");
    EXPECT_TRUE(form.DurationEdit->hasFocus());
    // The labels' accelerators focus their edits.
    QTest::keyClick(&form, Qt::Key_B, Qt::AltModifier);
    EXPECT_TRUE(form.BandEdit->hasFocus());
    QTest::keyClick(&form, Qt::Key_Q, Qt::AltModifier);
    EXPECT_TRUE(form.FreqEdit->hasFocus());
    Retype(form.DurationEdit, "2.5");
    Retype(form.FreqEdit, "440");
    Retype(form.BandEdit, "0");
    EXPECT_EQ(form.windowTitle(), "Sine");
    // Enter in an edit presses the default button, OK.
    QTest::keyClick(form.BandEdit, Qt::Key_Return);
  });
  EXPECT_TRUE(form.Query(&duration, &frequency, &band));
  EXPECT_EQ(std::vector<double>({duration, frequency, band}), std::vector<double>({2.5, 440, 0}));
}

TEST_F(ModelDialogTest, ValuesAreWrittenWithFiveSignificantDigitsAndTheLocaleSeparator) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  double duration = 12.75, frequency = 100, band = 1234.56;
  WhenShown(form, [&] {
    EXPECT_EQ(form.DurationEdit->text(), "13");
    EXPECT_EQ(form.FreqEdit->text(), "100,0");
    EXPECT_EQ(form.BandEdit->text(), "1234,6");
    Retype(form.FreqEdit, "100,5");
    QTest::mouseClick(form.OkBtn, Qt::LeftButton);
  });
  EXPECT_TRUE(form.Query(&duration, &frequency, &band));
  EXPECT_EQ(frequency, 100.5);
  // Read back in single precision.
  EXPECT_EQ(band, static_cast<double>(1234.6f));
}

TEST_F(ModelDialogTest, WithoutDurationItIsHiddenAndFrequencyZeroHidesTheBand) {
  double frequency = 1000, band = 0;
  WhenShown(form, [&] {
    EXPECT_FALSE(form.DurationEdit->isVisible());
    EXPECT_FALSE(form.DurationLabel->isVisible());
    EXPECT_TRUE(form.FreqEdit->hasFocus());
    Retype(form.FreqEdit, "0");
    EXPECT_FALSE(form.BandEdit->isVisible());
    EXPECT_FALSE(form.BandLabel->isVisible());
    EXPECT_EQ(form.windowTitle(), "Noise");
    Retype(form.FreqEdit, "50");
    EXPECT_TRUE(form.BandEdit->isVisible());
    EXPECT_EQ(form.windowTitle(), "Sine");
    Retype(form.BandEdit, "30");
    // Text that is no number reads as 0.
    Retype(form.FreqEdit, "abc");
    EXPECT_FALSE(form.BandEdit->isVisible());
    QTest::mouseClick(form.OkBtn, Qt::LeftButton);
  });
  EXPECT_TRUE(form.Query(nullptr, &frequency, &band));
  EXPECT_EQ(frequency, 0);
  EXPECT_EQ(band, 30);
}

TEST(ChannelDialog, TheOtherChannelIsTheDefaultAndButtonsWriteTheChoice) {
  struct Case {
    int channel;
    std::function<void(TChannelForm&)> act;
    int expected;
  };
  const auto enter = [](TChannelForm& form) { QTest::keyClick(form.focusWidget(), Qt::Key_Return); };
  const auto left = [](TChannelForm& form) { QTest::mouseClick(form.LeftButton, Qt::LeftButton); };
  const auto right = [](TChannelForm& form) { QTest::mouseClick(form.RightButton, Qt::LeftButton); };
  const auto both = [](TChannelForm& form) { QTest::mouseClick(form.BothButton, Qt::LeftButton); };
  const auto escape = [](TChannelForm& form) { QTest::keyClick(&form, Qt::Key_Escape); };
  const std::vector<Case> cases = {
      {0, enter, 1}, {1, enter, 0}, {1, right, 1}, {0, left, 0}, {1, escape, 1}, {0, escape, 0},
      {0, both, kBothChannels}, {kBothChannels, enter, 0},
  };
  TChannelForm form;
  for (const Case& c : cases) {
    int channel = c.channel;
    WhenShown(form, [&] {
      EXPECT_EQ(form.windowTitle(), "Channel to use");
      EXPECT_EQ(form.FileEdit->text(), "/music/two channels.wav");
      EXPECT_EQ(form.RightButton->isDefault(), c.channel == 0);
      EXPECT_EQ(form.BothButton->text(), QStringLiteral("Both (stereo)"));
        c.act(form);
    });
    form.Query("/music/two channels.wav", channel);
    EXPECT_EQ(channel, c.expected);
  }
}
