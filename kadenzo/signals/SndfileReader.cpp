#include "SndfileReader.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "FileCheck.h"
#include "MemoryBudget.h"

namespace {

// Samples converted per read, whatever the channel count.
constexpr std::int64_t kChunkSamples = 1 << 15;
// Capacity in frames to start with when the file does not say its length.
constexpr std::int64_t kFirstGuessFrames = 1 << 16;
constexpr std::int64_t kMaxSamples = std::numeric_limits<std::int32_t>::max();
// Chunks walked in search of a WAV's "fmt " before giving up.
constexpr int kMaxChunks = 1024;

std::int16_t ToSample(double normalised) {
  const double scaled = normalised * 32767.0;
  if (std::isnan(scaled)) return 0;
  if (scaled >= 32767.0) return 32767;
  if (scaled <= -32767.0) return -32767;
  return static_cast<std::int16_t>(std::lround(scaled));
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : m_iFd(fd) {}
  ~Descriptor() {
    if (m_iFd >= 0) close(m_iFd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return m_iFd; }

 private:
  int m_iFd;
};

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};

// What a WAV's "fmt " and "fact" chunks say.
struct WaveChunks {
  bool hasFmt = false;
  std::uint16_t formatTag = 0;  // the sub-format's tag for WAVE_FORMAT_EXTENSIBLE
  std::uint16_t blockAlign = 0;
  std::int64_t factFrames = -1;  // the true frame count of a packet format; -1 without one
};

bool ReadAt(int fd, void* bytes, std::size_t count, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
  return pread(fd, bytes, count, static_cast<off_t>(offset)) == static_cast<ssize_t>(count);
}

std::uint32_t Get16(const unsigned char* p, bool bigEndian) {
  return bigEndian ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8);
}

std::uint32_t Get32(const unsigned char* p, bool bigEndian) {
  return bigEndian ? (std::uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3]
                   : p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
}

// The chunk layouts of the WAV family. RIFF, RIFX (big-endian), RF64 and BW64:
// 4-byte names and 32-bit sizes of the payload, padded to even lengths. Sony
// Wave64: 16-byte GUID names ("fmt " and "fact" followed by one common
// suffix), 64-bit sizes that include the 24-byte header, padded to 8 bytes.
struct ChunkLayout {
  std::uint64_t first;       // offset of the first chunk
  std::size_t nameSize;
  std::size_t header;        // name and size field
  bool sizeIncludesHeader;
  std::uint64_t alignment;
};

constexpr ChunkLayout kRiffChunks{12, 4, 8, false, 2};
constexpr ChunkLayout kWave64Chunks{40, 16, 24, true, 8};

bool IsChunk(const unsigned char* name, const char* tag, const ChunkLayout& layout) {
  static constexpr unsigned char kWave64Suffix[12] = {0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
  return std::memcmp(name, tag, 4) == 0 && (layout.nameSize == 4 || std::memcmp(name + 4, kWave64Suffix, 12) == 0);
}

void ParseFmt(const unsigned char* fmt, std::size_t size, bool bigEndian, WaveChunks& chunks) {
  constexpr std::uint16_t kExtensible = 0xFFFE;
  if (size < 16) return;
  chunks.hasFmt = true;
  chunks.formatTag = static_cast<std::uint16_t>(Get16(fmt, bigEndian));
  chunks.blockAlign = static_cast<std::uint16_t>(Get16(fmt + 12, bigEndian));
  // cbSize, valid bits, channel mask, then the sub-format GUID, whose first two
  // bytes are the tag it stands for.
  if (chunks.formatTag == kExtensible && size >= 26) chunks.formatTag = static_cast<std::uint16_t>(Get16(fmt + 24, bigEndian));
}

WaveChunks ReadWaveChunks(int fd, bool wave64) {
  WaveChunks chunks;
  const ChunkLayout& layout = wave64 ? kWave64Chunks : kRiffChunks;
  unsigned char head[4];
  const bool bigEndian = !wave64 && ReadAt(fd, head, sizeof head, 0) && std::memcmp(head, "RIFX", 4) == 0;
  std::uint64_t offset = layout.first;
  for (int i = 0; i < kMaxChunks; ++i) {
    unsigned char header[24];
    if (!ReadAt(fd, header, layout.header, offset)) break;
    const unsigned char* sizeField = header + layout.nameSize;
    std::uint64_t size = Get32(sizeField, bigEndian);
    if (wave64) size |= std::uint64_t{Get32(sizeField + 4, false)} << 32;
    if (layout.sizeIncludesHeader) {
      if (size < layout.header) break;
      size -= layout.header;
    }
    if (size > std::numeric_limits<std::uint64_t>::max() / 4) break;
    const std::uint64_t payload = offset + layout.header;
    if (IsChunk(header, "fmt ", layout)) {
      std::array<unsigned char, 40> fmt{};
      const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, fmt.size()));
      if (ReadAt(fd, fmt.data(), wanted, payload)) ParseFmt(fmt.data(), wanted, bigEndian, chunks);
    } else if (IsChunk(header, "fact", layout) && size >= 4) {
      unsigned char count[4];
      if (ReadAt(fd, count, sizeof count, payload)) chunks.factFrames = Get32(count, bigEndian);
    }
    offset = (payload + size + layout.alignment - 1) / layout.alignment * layout.alignment;
  }
  return chunks;
}

// Bytes one sample takes in a WAV frame of this libsndfile sub-type; 0 for the
// packet formats (ADPCM, GSM …), whose block alignment is a packet size.
int ContainerBytes(int subtype) {
  switch (subtype) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW: return 1;
    case SF_FORMAT_PCM_16: return 2;
    case SF_FORMAT_PCM_24: return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT: return 4;
    case SF_FORMAT_DOUBLE: return 8;
    default: return 0;
  }
}

// The frames to take from a file libsndfile opened: its own count, except for
// the WAV family, where two of its habits need mending. It takes the container
// of a sample from the bit count (12 bits in 2 bytes, 20 in 3) and ignores the
// block alignment, so wider containers (20 bits in 4 bytes) or padded frames
// would be read as noise: those are refused (empty). And it decodes packet formats
// up to the end of the data, where a partial last packet (the pad byte of an
// odd-sized chunk) becomes a burst of noise: the "fact" count, the true length,
// limits them.
std::optional<std::int64_t> FramesToRead(int fd, const SF_INFO& info) {
  const int major = info.format & SF_FORMAT_TYPEMASK;
  if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX && major != SF_FORMAT_RF64 && major != SF_FORMAT_W64) {
    return info.frames;
  }
  const WaveChunks chunks = ReadWaveChunks(fd, major == SF_FORMAT_W64);
  const int bytes = ContainerBytes(info.format & SF_FORMAT_SUBMASK);
  if (bytes == 0) return chunks.factFrames > 0 ? std::min<std::int64_t>(info.frames, chunks.factFrames) : info.frames;
  const bool frameMatches = chunks.hasFmt && chunks.blockAlign == static_cast<std::int64_t>(bytes) * info.channels;
  if (!frameMatches) return std::nullopt;
  return info.frames;
}

SoundFileContent Refusal(SoundFileRefusal reason) {
  SoundFileContent content;
  content.refusal = reason;
  return content;
}

SoundFileContent TooLarge(std::int64_t frames, int channels) {
  SoundFileContent content = Refusal(SoundFileRefusal::TooLarge);
  content.channels = channels;
  content.frames = frames;
  const auto wide = static_cast<std::uint64_t>(frames);
  const auto width = static_cast<std::uint64_t>(channels);
  content.sampleCount =
      wide > std::numeric_limits<std::uint64_t>::max() / width ? std::numeric_limits<std::uint64_t>::max() : wide * width;
  return content;
}

bool FitsStore(std::int64_t frames, int channels) {
  return frames <= kMaxSamples / channels && FitsInMemory(static_cast<std::uint64_t>(frames) * channels, sizeof(std::int16_t));
}

// A new array of `frames` frames holding the first `kept` frames of `old`.
LargeArray<std::int16_t> Resized(const LargeArray<std::int16_t>& old, std::int64_t kept, std::int64_t frames, int channels) {
  LargeArray<std::int16_t> resized = MakeLargeArray<std::int16_t>(static_cast<std::size_t>(frames * channels));
  if (kept > 0) std::memcpy(resized.get(), old.get(), static_cast<std::size_t>(kept * channels) * sizeof(std::int16_t));
  return resized;
}

}  // namespace

SoundFileContent ReadWithSndfile(const std::string& path) {
  if (!IsRegularFile(path)) return Refusal(SoundFileRefusal::CannotOpen);
  // Non-blocking, and checked again once open, in case the path was replaced
  // by a pipe in between.
  const Descriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat status {};
  if (fd.Get() < 0 || fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return Refusal(SoundFileRefusal::CannotOpen);
  }

  SF_INFO info{};
  const std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_fd(fd.Get(), SFM_READ, &info, SF_FALSE));
  if (!file) {
    const int error = sf_error(nullptr);
    const bool noSoundFile = error == SF_ERR_UNRECOGNISED_FORMAT || error == SF_ERR_SYSTEM;
    return Refusal(noSoundFile ? SoundFileRefusal::CannotOpen : SoundFileRefusal::Unsupported);
  }
  if (info.samplerate <= 0 || info.channels <= 0) return Refusal(SoundFileRefusal::Unsupported);
  const std::optional<std::int64_t> framesToRead = FramesToRead(fd.Get(), info);
  if (!framesToRead) return Refusal(SoundFileRefusal::Unsupported);
  const std::int64_t claimedFrames = *framesToRead;
  if (claimedFrames <= 0) return Refusal(SoundFileRefusal::CannotOpen);

  const int channels = info.channels;
  // Without a length in the header libsndfile says SF_COUNT_MAX. A length is
  // checked against memory at once, but only trusted as far as one frame per
  // byte of the file (what every uncompressed format takes at least): beyond
  // that, as for a compressed file whose header may lie, the store grows as
  // the frames come.
  const bool lengthKnown = claimedFrames != SF_COUNT_MAX;
  const std::int64_t maxFrames = kMaxSamples / channels;
  const std::int64_t lastFrames = lengthKnown ? claimedFrames : maxFrames;
  if (lengthKnown && !FitsStore(claimedFrames, channels)) return TooLarge(claimedFrames, channels);
  const std::int64_t fileBytes = std::max<std::int64_t>(status.st_size, kFirstGuessFrames);
  std::int64_t capacity = std::min({lastFrames, fileBytes, maxFrames});
  if (!FitsStore(capacity, channels)) return TooLarge(capacity, channels);

  LargeArray<std::int16_t> samples = MakeLargeArray<std::int16_t>(static_cast<std::size_t>(capacity * channels));
  const std::int64_t chunkFrames = std::max<std::int64_t>(1, kChunkSamples / channels);
  std::vector<double> chunk(static_cast<std::size_t>(chunkFrames * channels));
  std::int64_t frames = 0;
  for (;;) {
    if (frames == capacity) {
      if (capacity == lastFrames) {
        if (lengthKnown) break;
        return TooLarge(capacity + 1, channels);
      }
      const std::int64_t grown = std::min(capacity * 2, lastFrames);
      if (!FitsStore(grown, channels)) return TooLarge(grown, channels);
      samples = Resized(samples, frames, grown, channels);
      capacity = grown;
    }
    const sf_count_t got = sf_readf_double(file.get(), chunk.data(), std::min(chunkFrames, capacity - frames));
    if (got <= 0) break;
    std::transform(chunk.data(), chunk.data() + got * channels, samples.get() + frames * channels, ToSample);
    frames += got;
  }
  if (frames == 0) return Refusal(SoundFileRefusal::CannotOpen);
  if (frames < capacity) samples = Resized(samples, frames, frames, channels);

  SoundFileContent content;
  content.refusal = SoundFileRefusal::None;
  content.sampleRate = info.samplerate;
  content.channels = channels;
  content.frames = frames;
  content.sampleCount = static_cast<std::uint64_t>(frames) * channels;
  content.samples = std::move(samples);
  return content;
}

std::string SoundFileRefusalMessage(const SoundFileContent& content, const std::string& fileName) {
  switch (content.refusal) {
    case SoundFileRefusal::None: return std::string();
    case SoundFileRefusal::CannotOpen: return "Can not load " + fileName;
    case SoundFileRefusal::Unsupported: return "Strange kind of data!";
    case SoundFileRefusal::TooLarge: return NotEnoughMemoryMessage(content.sampleCount);
  }
  return std::string();
}
