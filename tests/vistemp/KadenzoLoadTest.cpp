// An envelope written by the converter's window, loaded as a rhythm envelope by
// kadenzo's own loader.
#include <gtest/gtest.h>

#include <algorithm>

#include "MorphCoeffs.h"
#include "TestPictures.h"

namespace {

using KadenzoLoadsVistempEnvelopes = vistemp_test::VistempWindow;

TEST_F(KadenzoLoadsVistempEnvelopes, ResampledScaledLogEnvelopeArrivesNormalised) {
  Load(vistemp_test::Rising(629));
  Click(form.ResampleCheckBox);
  Click(form.ScaleCheckBox);
  const std::vector<double> written = Save("beat.env");
  EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
  ASSERT_EQ(written.size(), 8192u);
  // 60 dB from the lowest column to the highest, scaled to 1.0; the last column
  // lands on the last sample.
  const auto [low, high] = std::minmax_element(written.begin(), written.end());
  EXPECT_NEAR(*low, 1e-6, 1e-18);
  EXPECT_NEAR(*high, 1.0, 1e-15);
  EXPECT_NEAR(written[8191], 1.0, 1e-15);

  SeamlessCo envelope(539, nullptr, 0.0, nullptr);
  envelope.LoadFromFile(folder.Path("beat.env"));
  // One point per file value but the last, each normalised onto [0, 1].
  ASSERT_EQ(envelope.GetCount(), 8191);
  for (int i = 0; i < 8191; ++i) {
    ASSERT_NEAR(envelope[i], (written[i] - *low) / (*high - *low), 1e-12) << i;
  }
  EXPECT_EQ(envelope[0], 0.0);
}

}  // namespace
