// Sound files through libsndfile: files written by sox read back against sox's
// own 16-bit decoding of the same file, hand-made samples against hand-worked
// values, and every kind of file that must be refused.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "SndfileReader.h"

namespace {

namespace fs = std::filesystem;
using Samples = std::vector<std::int16_t>;

bool SoxAvailable() { return std::system("sox --version >/dev/null 2>&1") == 0; }

bool RunQuietly(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

std::string ReadBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

template <typename T>
std::string Le(T value) {
  std::string bytes;
  for (std::size_t i = 0; i < sizeof(T); ++i) bytes += static_cast<char>(static_cast<std::uint64_t>(value) >> (8 * i) & 0xFF);
  return bytes;
}

std::string LeFloat(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return Le(bits);
}

// A WAV file with the given "fmt " fields (fmtTail after the 16 plain bytes).
std::string Wave(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::uint16_t blockAlign,
                 const std::string& data, const std::string& fmtTail = {}) {
  const std::string fmt = Le(tag) + Le(channels) + Le(rate) + Le(rate * blockAlign) + Le(blockAlign) + Le(bits) + fmtTail;
  const std::string chunks = "fmt " + Le<std::uint32_t>(fmt.size()) + fmt + "data" + Le<std::uint32_t>(data.size()) + data;
  return "RIFF" + Le<std::uint32_t>(chunks.size() + 4) + "WAVE" + chunks;
}

// cbSize 22, valid bits, channel mask, and the sub-format GUID of `tag`.
std::string ExtensibleTail(std::uint16_t validBits, std::uint16_t tag) {
  return Le<std::uint16_t>(22) + Le(validBits) + Le<std::uint32_t>(4) + Le(tag) +
         std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
}

Samples SamplesOf(const SoundFileContent& content) {
  return content.samples ? Samples(content.samples.get(), content.samples.get() + content.sampleCount) : Samples();
}

// The largest difference between two equally long runs; INT_MAX when the lengths differ.
int MaxDifference(const Samples& a, const Samples& b) {
  if (a.size() != b.size()) return std::numeric_limits<int>::max();
  int worst = 0;
  for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

class SndfileReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "sndfile_test_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }

  fs::path Write(const std::string& name, const std::string& bytes) {
    WriteBytes(dir / name, bytes);
    return dir / name;
  }

  // What sox itself reads from the file, as 16-bit samples without dither.
  Samples SoxSamples(const fs::path& file) {
    const fs::path raw = dir / (file.filename().string() + ".raw");
    EXPECT_TRUE(RunQuietly("sox -D '" + file.string() + "' -t raw -e signed-integer -b 16 -L '" + raw.string() + "'"));
    const std::string bytes = ReadBytes(raw);
    Samples samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) | (bytes[2 * i + 1] << 8));
    }
    return samples;
  }

  fs::path dir;
};

// Clears the bits below `bits` of every sample of a plain WAV that sox wrote
// (44-byte header, containers of `containerBytes`), so that the file honestly
// holds `bits`-bit samples, and returns the offset of its bits-per-sample field.
std::size_t NarrowSamples(const fs::path& file, int containerBytes, int bits) {
  std::string bytes = ReadBytes(file);
  const int cleared = containerBytes * 8 - bits;
  for (std::size_t i = 44; i + containerBytes <= bytes.size(); i += containerBytes) {
    bytes[i] = static_cast<char>(bytes[i] & (0xFF << cleared));
  }
  WriteBytes(file, bytes);
  return 34;
}

void SetBitsPerSample(const fs::path& file, std::size_t offset, std::uint16_t bits) {
  std::string bytes = ReadBytes(file);
  bytes.replace(offset, 2, Le(bits));
  WriteBytes(file, bytes);
}

struct SoxCase {
  const char* name;
  const char* options;  // sox's output options
  const char* extension;
  int channels;
  int narrowTo;  // 0, or the bits a plain WAV is re-labelled with after sox wrote it
  int containerBytes;
};

TEST_F(SndfileReaderTest, FilesSoxWroteLoadToTheSamplesSoxReads) {
  if (!SoxAvailable()) GTEST_SKIP() << "sox is not installed";
  const SoxCase cases[] = {
      {"wav_24_extensible", "-b 24", "wav", 1, 0, 0},
      {"wav_24_plain", "-t wavpcm -b 24", "wav", 1, 0, 0},
      {"wav_24_stereo", "-b 24", "wav", 2, 0, 0},
      {"wav_32_int", "-b 32 -e signed-integer", "wav", 1, 0, 0},
      {"wav_32_float", "-b 32 -e floating-point", "wav", 2, 0, 0},
      {"wav_64_float", "-b 64 -e floating-point", "wav", 1, 0, 0},
      {"wav_16_three_channels_extensible", "-b 16", "wav", 3, 0, 0},
      {"wav_mu_law", "-e mu-law", "wav", 1, 0, 0},
      {"wav_a_law", "-e a-law", "wav", 2, 0, 0},
      {"wav_ima_adpcm", "-e ima-adpcm", "wav", 1, 0, 0},
      {"wav_ms_adpcm", "-e ms-adpcm", "wav", 2, 0, 0},
      {"wav_gsm", "-e gsm-full-rate", "wav", 1, 0, 0},
      {"wav_12_bits_in_16", "-t wavpcm -b 16", "wav", 2, 12, 2},
      {"wav_20_bits_in_24", "-t wavpcm -b 24", "wav", 1, 20, 3},
      {"w64_24", "-b 24", "w64", 2, 0, 0},
      {"flac_16", "-b 16", "flac", 1, 0, 0},
      {"flac_24_stereo", "-b 24", "flac", 2, 0, 0},
      {"ogg_vorbis_stereo", "", "ogg", 2, 0, 0},
      {"aiff_16_stereo", "-b 16", "aiff", 2, 0, 0},
      {"aiff_24", "-b 24", "aiff", 1, 0, 0},
      {"aiff_8", "-b 8", "aiff", 1, 0, 0},
      {"aifc", "-t aifc -b 16", "aifc", 1, 0, 0},
      {"au_mu_law", "-e mu-law", "au", 1, 0, 0},
      {"caf_16", "-b 16", "caf", 1, 0, 0},
      {"ircam_16", "-b 16", "sf", 1, 0, 0},
  };
  for (const SoxCase& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir / (std::string(c.name) + "." + c.extension);
    // Two tones a channel, loud enough to reach near full scale, and a
    // rate that is not a common one so that a wrong rate shows.
    ASSERT_TRUE(RunQuietly("sox -n -r 22050 -c " + std::to_string(c.channels) + " " + c.options + " '" + file.string() +
                    "' synth 0.3 sine 440 sine 1250 sine 3000 remix - gain -0.2"));
    std::size_t bitsField = 0;
    if (c.narrowTo != 0) bitsField = NarrowSamples(file, c.containerBytes, c.narrowTo);
    const Samples expected = SoxSamples(file);
    if (c.narrowTo != 0) SetBitsPerSample(file, bitsField, static_cast<std::uint16_t>(c.narrowTo));

    const SoundFileContent content = ReadWithSndfile(file.string());
    ASSERT_TRUE(content.IsRead()) << SoundFileRefusalMessage(content, file.string());
    EXPECT_EQ(content.sampleRate, 22050);
    EXPECT_EQ(content.channels, c.channels);
    // 0.3 s exactly; sox pads packet formats (ADPCM, GSM) to whole packets,
    // the reader keeps the true length the "fact" chunk gives.
    constexpr std::int64_t kFrames = 6615;
    ASSERT_EQ(content.frames, kFrames);
    ASSERT_EQ(content.sampleCount, static_cast<std::uint64_t>(kFrames * c.channels));
    ASSERT_GE(expected.size(), content.sampleCount);
    const Samples actual = SamplesOf(content);
    EXPECT_LE(MaxDifference(actual, Samples(expected.begin(), expected.begin() + actual.size())), 1);
    EXPECT_GT(*std::max_element(actual.begin(), actual.end()), 20000);
  }
}

// Full scale (2^23 for 24 bits) becomes 32767, and values are rounded, not truncated.
TEST_F(SndfileReaderTest, ScalesFullScaleTo32767AndRoundsToNearest) {
  std::string data;
  for (std::int32_t v : {8388607, -8388608, 4194304, -4194304, 128, 129, -129, 0}) data += Le(v).substr(0, 3);
  const SoundFileContent content = ReadWithSndfile(Write("s24.wav", Wave(1, 1, 48000, 24, 3, data)).string());
  ASSERT_TRUE(content.IsRead());
  // x * 32767 / 2^23: 32766.996, -32767, 16383.5, -16383.5, 0.49998, 0.50389, -0.50389, 0.
  EXPECT_EQ(SamplesOf(content), (Samples{32767, -32767, 16384, -16384, 0, 1, -1, 0}));
}

TEST_F(SndfileReaderTest, FloatsBeyondFullScaleClampAndNaNBecomesZero) {
  std::string data;
  for (float v : {0.5f, 2.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                  -std::numeric_limits<float>::infinity(), -1.0f}) {
    data += LeFloat(v);
  }
  const SoundFileContent content = ReadWithSndfile(Write("f32.wav", Wave(3, 1, 8000, 32, 4, data)).string());
  ASSERT_TRUE(content.IsRead());
  EXPECT_EQ(SamplesOf(content), (Samples{16384, 32767, -32767, 0, 32767, -32767, -32767}));
}

// Samples whose bit count is not a whole number of bytes sit in the container
// the block alignment gives; libsndfile assumes the next whole byte, so any
// other container must be refused rather than read as noise.
TEST_F(SndfileReaderTest, SampleContainersFollowTheBlockAlignmentOrAreRefused) {
  const std::string pcm16 = Le<std::int16_t>(0x1230) + Le<std::int16_t>(-0x4560);
  const std::string pcm32 = Le<std::int32_t>(0x12300000) + Le<std::int32_t>(-0x45600000);
  struct Case {
    const char* name;
    std::string file;
    bool read;
  } cases[] = {
      {"12 bits in 2 bytes", Wave(1, 1, 8000, 12, 2, pcm16), true},
      {"12 bits in 2 bytes, extensible", Wave(0xFFFE, 1, 8000, 16, 2, pcm16, ExtensibleTail(12, 1)), true},
      {"20 bits in 4 bytes", Wave(1, 1, 8000, 20, 4, pcm32), false},
      {"20 bits in 4 bytes, extensible", Wave(0xFFFE, 1, 8000, 32, 4, pcm32, ExtensibleTail(20, 1)), true},
      {"16 bits in 4-byte frames", Wave(1, 1, 8000, 16, 4, pcm32), false},
      {"16-bit container, extensible, 4-byte frames", Wave(0xFFFE, 1, 8000, 16, 4, pcm32, ExtensibleTail(16, 1)), false},
      {"8 bits in 2-byte frames", Wave(1, 1, 8000, 8, 2, pcm16), false},
      {"mu-law in 2-byte frames", Wave(7, 1, 8000, 8, 2, pcm16), false},
      {"mu-law claiming 16 bits", Wave(7, 1, 8000, 16, 2, pcm16), false},
      {"block alignment 0", Wave(1, 1, 8000, 16, 0, pcm16), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SoundFileContent content = ReadWithSndfile(Write("layout.wav", c.file).string());
    if (c.read) {
      ASSERT_TRUE(content.IsRead());
      ASSERT_EQ(content.frames, 2);
      // 0x1230 / 32768 * 32767 = 4655.86 and -0x4560 / 32768 * 32767 = -17759.46,
      // the same through 32-bit containers.
      EXPECT_EQ(SamplesOf(content), (Samples{4656, -17759}));
    } else {
      EXPECT_EQ(content.refusal, SoundFileRefusal::Unsupported);
      EXPECT_EQ(SoundFileRefusalMessage(content, "x"), "Strange kind of data!");
      EXPECT_FALSE(content.samples);
    }
  }
}

TEST_F(SndfileReaderTest, RefusesWhatIsNoReadableSound) {
  const std::string pcm16 = Le<std::int16_t>(1000) + Le<std::int16_t>(-1000);
  std::string garbage;
  std::uint32_t state = 12345;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((state = state * 1103515245 + 12345) >> 24);
  const std::string wave = Wave(1, 1, 8000, 16, 2, pcm16);
  struct Case {
    const char* name;
    std::string file;
    SoundFileRefusal refusal;
  } cases[] = {
      {"empty file", "", SoundFileRefusal::CannotOpen},
      {"random bytes", garbage, SoundFileRefusal::CannotOpen},
      {"text", "Just some words, no sound at all.\n", SoundFileRefusal::CannotOpen},
      {"RIFF head cut inside fmt", wave.substr(0, 30), SoundFileRefusal::Unsupported},
      {"no data bytes", Wave(1, 1, 8000, 16, 2, ""), SoundFileRefusal::CannotOpen},
      {"MPEG tag over PCM bytes", Wave(0x55, 1, 8000, 16, 2, pcm16), SoundFileRefusal::Unsupported},
      {"unknown tag", Wave(0x1234, 1, 8000, 16, 2, pcm16), SoundFileRefusal::Unsupported},
      {"extensible with an unknown sub-format", Wave(0xFFFE, 1, 8000, 16, 2, pcm16, ExtensibleTail(16, 0x55)),
       SoundFileRefusal::Unsupported},
      {"float tag with 16 bits", Wave(3, 1, 8000, 16, 2, pcm16), SoundFileRefusal::Unsupported},
      {"rate 0", Wave(1, 1, 0, 16, 2, pcm16), SoundFileRefusal::Unsupported},
      {"rate 2^31", Wave(1, 1, 0x80000000u, 16, 2, pcm16), SoundFileRefusal::Unsupported},
      {"rate 2^32 - 1", Wave(1, 1, 0xFFFFFFFFu, 16, 2, pcm16), SoundFileRefusal::Unsupported},
      {"no channels", Wave(1, 0, 8000, 16, 2, pcm16), SoundFileRefusal::Unsupported},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SoundFileContent content = ReadWithSndfile(Write("refused.bin", c.file).string());
    EXPECT_EQ(content.refusal, c.refusal);
    EXPECT_FALSE(content.samples);
  }
  EXPECT_EQ(ReadWithSndfile(Write("max.wav", Wave(1, 1, 0x7FFFFFFF, 16, 2, pcm16)).string()).sampleRate, 0x7FFFFFFF);
}

TEST_F(SndfileReaderTest, RefusesPipesDirectoriesDevicesAndMissingFilesWithoutOpeningThem) {
  const fs::path fifo = dir / "pipe.wav";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(dir / "folder.wav");
  fs::create_symlink(fifo, dir / "link-to-pipe.wav");
  for (const fs::path& path : {fifo, dir / "folder.wav", dir / "link-to-pipe.wav", fs::path("/dev/zero"), dir / "missing.wav"}) {
    SCOPED_TRACE(path.string());
    const SoundFileContent content = ReadWithSndfile(path.string());
    EXPECT_EQ(content.refusal, SoundFileRefusal::CannotOpen);
    EXPECT_EQ(SoundFileRefusalMessage(content, "song.wav"), "Can not load song.wav");
  }
}

// A header may claim far more frames than the file holds: only what the file
// has is kept, and a claim beyond memory is refused before anything is allocated.
TEST_F(SndfileReaderTest, FrameCountsFromTheFileAreCheckedAndTruncatedFilesKeepTheirFrames) {
  if (!SoxAvailable()) GTEST_SKIP() << "sox is not installed";
  // Ten seconds of a 1 Hz square wave: 80000 frames in a file of some 20 KB,
  // more frames than bytes, so the store grows while the frames come.
  const fs::path flac = dir / "square.flac";
  ASSERT_TRUE(RunQuietly("sox -n -r 8000 -b 16 '" + flac.string() + "' synth 10 square 1 gain -3"));
  const Samples expected = SoxSamples(flac);
  ASSERT_EQ(expected.size(), 80000u);
  EXPECT_LE(MaxDifference(SamplesOf(ReadWithSndfile(flac.string())), expected), 1);

  std::string bytes = ReadBytes(flac);
  // STREAMINFO follows "fLaC" and its 4-byte block header; its 36-bit sample
  // count takes the low nibble of byte 13 and bytes 14 to 17.
  bytes[8 + 13] = static_cast<char>(bytes[8 + 13] | 0x0F);
  bytes.replace(8 + 14, 4, "\xFF\xFF\xFF\xFF");
  const SoundFileContent huge = ReadWithSndfile(Write("huge.flac", bytes).string());
  EXPECT_EQ(huge.refusal, SoundFileRefusal::TooLarge);
  EXPECT_FALSE(huge.samples);
  EXPECT_EQ(SoundFileRefusalMessage(huge, "huge.flac"), "Not enough memory for 68719476735 samples.");

  // A zero count means "unknown": the frames are read as they come.
  bytes[8 + 13] = static_cast<char>(bytes[8 + 13] & 0xF0);
  bytes.replace(8 + 14, 4, std::string(4, '\0'));
  const SoundFileContent unknown = ReadWithSndfile(Write("unknown.flac", bytes).string());
  ASSERT_TRUE(unknown.IsRead());
  EXPECT_EQ(unknown.frames, 80000);
  EXPECT_LE(MaxDifference(SamplesOf(unknown), expected), 1);

  const fs::path wav = dir / "tone.wav";
  ASSERT_TRUE(RunQuietly("sox -n -r 8000 -t wavpcm -b 24 -c 2 '" + wav.string() + "' synth 0.1 sine 440 sine 660"));
  const Samples whole = SamplesOf(ReadWithSndfile(wav.string()));
  const std::string cut = ReadBytes(wav).substr(0, 44 + 6 * 100 + 4);  // 100 frames and part of one
  const SoundFileContent truncated = ReadWithSndfile(Write("cut.wav", cut).string());
  ASSERT_TRUE(truncated.IsRead());
  EXPECT_EQ(truncated.frames, 100);
  EXPECT_EQ(SamplesOf(truncated), Samples(whole.begin(), whole.begin() + 200));
}

}  // namespace
