// rhythm_file IN.wav OUT.wav TYPE
// rhythm_file --create SECONDS OUT.wav TYPE
//
// The read (or the making), the rhythm and the write of kadenzo's own code as
// one process, so that bench/rhythm_vs_sox.sh can time it next to sox on the
// same file and measure its memory. The first form loads IN.wav into a
// WaveSignal; the second makes SECONDS of band-limited noise (1000 Hz, band
// 400 Hz) as "&Create" does. Then the rhythm with modulation type TYPE (0 .. 5)
// under a rising and falling envelope (period 0.25 s, deviations 10 %, maximum
// delay 100 ms, modulator 100 Hz with band 40 Hz), and the result is saved.

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Block.h"
#include "MorphCoeffs.h"
#include "RandomGenerator.h"
#include "RhythmEngine.h"
#include "SourceGenerator.h"
#include "WaveSignal.h"

namespace {

constexpr int kCreatedRate = 44100;

bool Create(WaveSignal& sound, double seconds, RandomGenerator& random) {
  const int n = static_cast<int>(seconds * kCreatedRate);
  if (n < 1) return false;
  Block block(n);
  GenerateSource(block, 400.0 / kCreatedRate, 1000.0 / kCreatedRate, random, nullptr);
  sound.SetLength(n);
  sound.SetFromBlock(block, kCreatedRate);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const bool create = argc == 5 && std::strcmp(argv[1], "--create") == 0;
  if (argc != 4 && !create) {
    std::fprintf(stderr, "usage: %s IN.wav OUT.wav TYPE\n       %s --create SECONDS OUT.wav TYPE\n",
                 argv[0], argv[0]);
    return 2;
  }
  const char* output = argv[argc - 2];
  const int type = std::atoi(argv[argc - 1]);

  RandomGenerator random;
  WaveSignal sound(nullptr, nullptr);
  if (create) {
    Create(sound, std::atof(argv[2]), random);
  } else {
    sound.Load(QString::fromLocal8Bit(argv[1]));
  }
  const int fs = sound.GetSampleRate();
  if (sound.GetLength() == 0 || fs <= 0) {
    std::fprintf(stderr, "%s: no sound to work on\n", argv[0]);
    return 1;
  }

  SeamlessCo envelope(539, nullptr, 0.0, nullptr);
  for (int i = 0; i < 539; ++i) envelope[i] = i < 270 ? i / 270.0 : (539 - i) / 270.0;
  const RhythmParameters parameters{0.25, 0.1, 0.1, 0.1 * fs, type};
  random.SeedFromClock();
  Block modulator;
  if (type == mtFrequency || type == mtAmpFreq) {
    MakeModulator(modulator, static_cast<int>(parameters.period * fs), 40.0 / fs, 100.0 / fs,
                  random, nullptr);
  }
  RhythmizeSound(sound, parameters, modulator.GetSize() > 0 ? &modulator : nullptr, envelope,
                 random, nullptr);
  sound.Save(QString::fromLocal8Bit(output));
  return 0;
}
