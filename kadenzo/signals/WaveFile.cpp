#include "WaveFile.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <limits>
#include <vector>

#include "SaveFile.h"

static_assert(std::endian::native == std::endian::little,
              "WAV files are little-endian and are read and written as the machine stores them");

namespace {

constexpr int kHeadSize = 8000;
constexpr int kHeaderSize = 44;
// Bytes converted per read, so that loading needs no copy of the whole file.
constexpr std::int64_t kChunkBytes = 1 << 16;
constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kExtensible = 0xFFFE;

template <typename T>
T ReadField(const char* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

template <typename T>
void WriteField(unsigned char* bytes, T value) {
  std::memcpy(bytes, &value, sizeof value);
}

// The head of a WAV file: the data size in bytes (0 when unusable), its format
// record, the encoding of its samples, where the data start and whether it is
// a RIFF file at all.
std::int32_t ReadHead(std::ifstream& file, WAVEFORMATEX& format, std::uint16_t& encoding, std::int64_t& dataOffset,
                      bool& riff) {
  char head[kHeadSize];
  file.read(head, kHeadSize);
  const int n = static_cast<int>(file.gcount());
  if (n < 4) return 0;
  riff = std::memcmp(head, "RIFF", 4) == 0;

  // Both tags, the format record and the size field must lie in the bytes read.
  const int p = FindTag(head, "fmt ", n - 4);
  if (p == 0 || p + 4 + static_cast<int>(sizeof(WAVEFORMATEX)) > n) return 0;
  const int q = FindTag(head, "data", n - 4);
  if (q == 0 || q + 4 > n) return 0;

  WAVEFORMATEX read;
  std::memcpy(&read, head + p + 4, sizeof read);
  // An extensible record names its encoding in the first two bytes of its sub-format.
  constexpr int kSubFormat = sizeof(WAVEFORMATEX) + 6;
  encoding = read.wFormatTag;
  if (encoding == kExtensible) {
    encoding = read.cbSize >= 22 && p + 4 + kSubFormat + 2 <= n ? ReadField<std::uint16_t>(head + p + 4 + kSubFormat) : 0;
  }
  // The rate is used as a signed 32-bit number from here on.
  if (read.nSamplesPerSec == 0 || read.nSamplesPerSec > std::numeric_limits<std::int32_t>::max()) return 0;
  // A size of 2^31 or more reads as negative.
  const std::int32_t size = ReadField<std::int32_t>(head + q);
  if (size <= 0) return 0;
  format = read;
  dataOffset = q + 4;
  return size;
}

// The accepted layouts: PCM, 8-bit with 1 to 4 channels, 16-bit with 1 or 2.
// Other sample sizes (12 bits in 16-bit containers, say) and other encodings
// are for a reader that knows them.
bool Accepted(const WAVEFORMATEX& format, std::uint16_t encoding) {
  const int bits = format.wBitsPerSample;
  const int channels = format.nChannels;
  return encoding == kPcm &&
         ((bits == 8 && channels >= 1 && channels <= 4) || (bits == 16 && (channels == 1 || channels == 2)));
}

// 8-bit samples, unsigned around 128, to 16 bits.
void WidenSamples(const unsigned char* bytes, std::int64_t count, std::int16_t* out) {
  for (std::int64_t i = 0; i < count; ++i) out[i] = static_cast<std::int16_t>((bytes[i] - 128) * 256);
}

}  // namespace

int FindTag(const char* head, const char* tag, int count) {
  for (int i = 0; i < count; ++i) {
    if (std::memcmp(head + i, tag, 4) == 0) return i + 4;
  }
  return 0;
}

WaveFileContent ReadWaveFile(const std::string& fileName) {
  WaveFileContent content;
  if (fileName.empty()) return content;
  std::ifstream file(fileName, std::ios::binary);
  if (!file) return content;
  std::int64_t dataOffset = 0;
  std::uint16_t encoding = 0;
  const std::int32_t size = ReadHead(file, content.format, encoding, dataOffset, content.riff);
  if (size == 0) return content;
  if (!Accepted(content.format, encoding)) {
    content.result = WaveReadResult::StrangeData;
    return content;
  }

  file.clear();
  file.seekg(0, std::ios::end);
  const std::int64_t fileSize = file.tellg();
  file.seekg(dataOffset);
  if (!file || fileSize < 0) return content;
  const int bytesPerSample = content.format.wBitsPerSample / 8;
  const int frameBytes = content.format.nChannels * bytesPerSample;
  // Only whole frames that the file really holds.
  const std::int64_t present = std::max<std::int64_t>(fileSize - dataOffset, 0);
  const std::int64_t frames = std::min<std::int64_t>(size, present) / frameBytes;

  LargeArray<std::int16_t> samples;
  // Every sample is written below before it is used: no need to clear them first.
  const auto sampleCount = static_cast<std::size_t>(frames * content.format.nChannels);
  if (frames > 0) samples = MakeLargeArray<std::int16_t>(sampleCount);
  const PageFaultsAhead faultsAhead(samples.get(), sampleCount * sizeof(std::int16_t));
  const std::int64_t framesPerChunk = kChunkBytes / frameBytes;
  // 16-bit samples (signed little-endian, as held) are read straight into
  // place; 8-bit ones through a chunk.
  const bool inPlace = bytesPerSample == 2;
  std::vector<unsigned char> chunk(inPlace ? 0 : static_cast<std::size_t>(std::min(frames, framesPerChunk) * frameBytes));
  std::int64_t done = 0;
  while (done < frames) {
    const std::int64_t want = std::min(frames - done, framesPerChunk) * frameBytes;
    std::int16_t* out = samples.get() + done * content.format.nChannels;
    file.read(inPlace ? reinterpret_cast<char*>(out) : reinterpret_cast<char*>(chunk.data()), want);
    const std::int64_t got = file.gcount();
    const std::int64_t whole = got / frameBytes;
    if (!inPlace) WidenSamples(chunk.data(), whole * content.format.nChannels, out);
    done += whole;
    if (got != want) break;  // the file shrank while being read
  }
  content.result = WaveReadResult::Loaded;
  content.frames = static_cast<int>(done);
  if (done > 0) content.samples = std::move(samples);
  return content;
}

LargeArray<std::int16_t> TakeWaveChannel(WaveFileContent& content, int channel) {
  const int channels = std::max<int>(content.format.nChannels, 1);
  if (content.frames <= 0 || !content.samples) return nullptr;
  if (channels == 1) return std::move(content.samples);
  channel = std::clamp(channel, 0, channels - 1);
  LargeArray<std::int16_t> out = MakeLargeArray<std::int16_t>(static_cast<std::size_t>(content.frames));
  const std::int16_t* in = content.samples.get() + channel;
  for (int i = 0; i < content.frames; ++i) out[i] = in[static_cast<std::int64_t>(i) * channels];
  return out;
}

bool WriteWaveFile(const SoundStore& sound, const std::string& fileName) {
  const WAVEFORMATEX& format = sound.GetFormat();
  const int length = sound.GetLength();
  const std::uint16_t channels = format.nChannels;
  const std::uint16_t bits = format.wBitsPerSample;
  const std::uint16_t blockAlign = static_cast<std::uint16_t>(channels * (bits / 8));
  const std::uint64_t dataBytes = static_cast<std::uint64_t>(length) * (bits / 8);
  const std::uint64_t sampleBytes = static_cast<std::uint64_t>(length) * sizeof(std::int16_t);
  if (dataBytes + 36 > std::numeric_limits<std::uint32_t>::max()) return false;

  unsigned char header[kHeaderSize];
  std::memcpy(header + 0, "RIFF", 4);
  WriteField<std::uint32_t>(header + 4, static_cast<std::uint32_t>(dataBytes + 36));
  std::memcpy(header + 8, "WAVEfmt ", 8);
  WriteField<std::uint32_t>(header + 16, 16);
  WriteField<std::uint16_t>(header + 20, 1);
  WriteField<std::uint16_t>(header + 22, channels);
  WriteField<std::uint32_t>(header + 24, format.nSamplesPerSec);
  WriteField<std::uint32_t>(header + 28, blockAlign * format.nSamplesPerSec);
  WriteField<std::uint16_t>(header + 32, blockAlign);
  WriteField<std::uint16_t>(header + 34, bits);
  std::memcpy(header + 36, "data", 4);
  WriteField<std::uint32_t>(header + 40, static_cast<std::uint32_t>(dataBytes));

  SaveFile file(fileName);
  return file.Open() && file.Write(header, kHeaderSize) &&
         (sampleBytes == 0 || file.Write(sound.GetSamples(0), sampleBytes)) && file.Commit();
}
