// An envelope written by the converter's window, loaded as a rhythm envelope by
// kadenzo's own loader.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <deque>

#include "MorphCoeffs.h"
#include "ScriptedPrompts.h"
#include "TestPictures.h"
#include "vtMain.h"

namespace {

TEST(KadenzoLoadsVistempEnvelopes, ResampledScaledLogEnvelopeArrivesNormalised) {
  vistemp_test::TestFolder folder;
  std::vector<int> heights(629);
  for (int x = 0; x < 629; ++x) heights[x] = 1 + x / 7;
  const QString picture = folder.SaveBmp(vistemp_test::ColumnPicture(heights, 100));
  const QString envelopeFile = folder.Path("beat.env");

  ScriptedPrompts prompts;
  prompts.fileNames = {picture, envelopeFile};
  vistemp::TForm1 form(&prompts);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QTest::mouseClick(form.LoadButton, Qt::LeftButton);
  form.ResampleCheckBox->setChecked(true);
  form.ScaleCheckBox->setChecked(true);
  QTest::mouseClick(form.SaveButton, Qt::LeftButton);
  EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();

  Block written;
  ASSERT_TRUE(written.ReadFromFile(QFile::encodeName(envelopeFile).constData(), 0, -1));
  ASSERT_EQ(written.GetSize(), 8192);
  BlockExtremes extremes;
  written.MinMax(extremes, 0, -1);
  ASSERT_LT(extremes.min, extremes.max);

  SeamlessCo envelope(539, nullptr, 0.0, nullptr);
  envelope.LoadFromFile(envelopeFile);
  // One point per file value but the last, each normalised onto [0, 1].
  ASSERT_EQ(envelope.GetCount(), 8191);
  for (int i = 0; i < 8191; ++i) {
    ASSERT_NEAR(envelope[i], (written[i] - extremes.min) / (extremes.max - extremes.min), 1e-12) << i;
  }
  EXPECT_EQ(envelope[0], 0.0);
  EXPECT_GT(envelope[8190], 0.99);
}

}  // namespace
