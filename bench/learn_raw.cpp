// learn_raw FILE RATE: the period, in seconds, that LearnRhythm finds in a raw
// file of signed 16-bit little-endian mono samples (bench/learn_vs_aubio.sh).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "LearnRhythm.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: learn_raw FILE RATE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "learn_raw: can not read %s\n", argv[1]);
    return 1;
  }
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<std::int16_t> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                           (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  const LearnedRhythm learned =
      LearnRhythm(samples.data(), static_cast<std::int64_t>(samples.size()), std::atoi(argv[2]));
  std::printf("%.6f %.3f\n", learned.period, learned.confidence);
  return 0;
}
