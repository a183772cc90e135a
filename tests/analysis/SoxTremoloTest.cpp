#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "LearnRhythm.h"

namespace {

constexpr int kRate = 44100;

struct Tremolo {
  const char* synth;  // what sox synthesises under the tremolo
  double speed;       // Hz
  double depth;       // percent
};

// 30 s of sox's synth under its tremolo, as raw 16-bit mono samples; the
// same samples on every run (-R), so that a noise source cannot make the
// test pass one day and fail the next.
std::vector<std::int16_t> SoxTremolo(const Tremolo& t) {
  const std::string file = testing::TempDir() + "tremolo.raw";
  const std::string command = "sox -R -n -t raw -r " + std::to_string(kRate) + " -e signed -b 16 -c 1 '" + file +
                              "' synth 30 " + t.synth + " tremolo " + std::to_string(t.speed) + " " +
                              std::to_string(t.depth) + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::remove(file.c_str());
  std::vector<std::int16_t> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const auto lo = static_cast<unsigned char>(bytes[2 * i]);
    const auto hi = static_cast<unsigned char>(bytes[2 * i + 1]);
    samples[i] = static_cast<std::int16_t>(lo | (hi << 8));
  }
  return samples;
}

// Another program's rhythm: sox's tremolo repeats every 1 / speed seconds, every
// period as long and as deep as the next.
TEST(LearnRhythm, FindsTheTremoloPeriodOfSox) {
  if (std::system("sox --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox is not installed";
  for (const Tremolo& t : {Tremolo{"pinknoise", 3, 80}, Tremolo{"whitenoise", 1.5, 60}, Tremolo{"brownnoise", 0.7, 90},
                           Tremolo{"pinknoise", 7, 50}, Tremolo{"sine 440", 2, 70}, Tremolo{"whitenoise", 11, 40},
                           // Brown noise wanders in level by itself more than a shallow, fast
                           // tremolo moves it: found at 0.2 s in none of six sox files once.
                           Tremolo{"brownnoise", 5, 40}, Tremolo{"brownnoise", 11, 60},
                           // Pink noise under a deep tremolo: clear in its plain levels, but they
                           // wander enough to read a spread of magnitudes of 7 %.
                           Tremolo{"pinknoise", 11, 70},
                           // Steady tones rich in harmonics, whose levels over short blocks swing
                           // with where the blocks cut their cycles: once no rhythm at all.
                           Tremolo{"sawtooth 110", 2, 20}, Tremolo{"square 220", 8, 30},
                           // Once read as a spread of magnitudes of 55 %.
                           Tremolo{"sawtooth 55", 3, 80},
                           // The periods' starts locked onto the tone's cycles, one early or late
                           // from period to period: once a spread of lengths of 15 and 7 %.
                           Tremolo{"sawtooth 55", 5, 40}, Tremolo{"sawtooth 220", 11, 60}}) {
    const std::vector<std::int16_t> samples = SoxTremolo(t);
    ASSERT_EQ(samples.size(), 30u * kRate) << t.synth;
    const LearnedRhythm learned = LearnRhythm(samples.data(), static_cast<std::int64_t>(samples.size()), kRate);
    EXPECT_NEAR(learned.period, 1.0 / t.speed, 0.01 / t.speed) << t.synth << " tremolo " << t.speed;
    EXPECT_GE(learned.confidence, 0.5) << t.synth << " tremolo " << t.speed;
    EXPECT_LT(learned.timeDeviation, 3.0) << t.synth << " tremolo " << t.speed;
    EXPECT_LT(learned.magnitudeDeviation, 3.0) << t.synth << " tremolo " << t.speed;
    // The tremolo takes the gain down to 1 - depth: the level S to 1 + log20 of it.
    const double trough = 1.0 + std::log(1.0 - t.depth / 100.0) / std::log(20.0);
    EXPECT_NEAR(*std::min_element(learned.envelope.begin(), learned.envelope.end()), trough, 0.05)
        << t.synth << " tremolo " << t.speed;
  }
}

}  // namespace
