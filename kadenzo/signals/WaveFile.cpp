// Reading and writing WaveSignal as RIFF WAVE PCM files.
#include <QFile>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "KadenzoPrompts.h"
#include "WaveSignal.h"

int LoadChannel = 0;

namespace {

constexpr int kHeadSize = 8000;
constexpr int kHeaderSize = 44;
// Frames converted per read, so that loading needs no copy of the whole file.
constexpr qint64 kChunkBytes = 1 << 16;

const QString kErrorCaption = QStringLiteral("Error");

// One sample of each frame to 16 bits: 8-bit samples are unsigned around 128,
// 16-bit ones signed little-endian. The frame layout is a compile-time
// constant so that the loop becomes a plain vectorisable copy.
template <int BytesPerSample, int FrameBytes>
void TakeChannel(const unsigned char* frames, int count, int channel, std::int16_t* out) {
  const unsigned char* sample = frames + channel * BytesPerSample;
  for (int i = 0; i < count; ++i, sample += FrameBytes) {
    if constexpr (BytesPerSample == 1) {
      out[i] = static_cast<std::int16_t>((sample[0] - 128) * 256);
    } else {
      out[i] = static_cast<std::int16_t>(sample[0] | (sample[1] << 8));
    }
  }
}

using ChannelTaker = void (*)(const unsigned char*, int, int, std::int16_t*);

// The accepted layouts: 8-bit with 1 to 4 channels, 16-bit with 1 or 2.
ChannelTaker TakerFor(int bytesPerSample, int frameBytes) {
  if (bytesPerSample == 1) {
    switch (frameBytes) {
      case 1: return &TakeChannel<1, 1>;
      case 2: return &TakeChannel<1, 2>;
      case 3: return &TakeChannel<1, 3>;
      case 4: return &TakeChannel<1, 4>;
      default: return nullptr;
    }
  }
  if (bytesPerSample == 2) {
    if (frameBytes == 2) return &TakeChannel<2, 2>;
    if (frameBytes == 4) return &TakeChannel<2, 4>;
  }
  return nullptr;
}

}  // namespace

int FindTag(const char* head, const char* tag, int count) {
  for (int i = 0; i < count; ++i) {
    if (std::memcmp(head + i, tag, 4) == 0) return i + 4;
  }
  return 0;
}

std::int32_t ReadWaveHeader(const QString& fileName, WAVEFORMATEX& format, std::int64_t* dataOffset) {
  QFile file(fileName);
  if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly)) return 0;
  char head[kHeadSize];
  const int n = static_cast<int>(file.read(head, kHeadSize));
  if (n < 4) return 0;

  // Both tags, the format record and the size field must lie in the bytes read.
  const int p = FindTag(head, "fmt ", n - 4);
  if (p == 0 || p + 4 + static_cast<int>(sizeof(WAVEFORMATEX)) > n) return 0;
  const int q = FindTag(head, "data", n - 4);
  if (q == 0 || q + 4 > n) return 0;

  WAVEFORMATEX read;
  std::memcpy(&read, head + p + 4, sizeof read);
  read.wFormatTag = qFromLittleEndian(read.wFormatTag);
  read.nChannels = qFromLittleEndian(read.nChannels);
  read.nSamplesPerSec = qFromLittleEndian(read.nSamplesPerSec);
  read.nAvgBytesPerSec = qFromLittleEndian(read.nAvgBytesPerSec);
  read.nBlockAlign = qFromLittleEndian(read.nBlockAlign);
  read.wBitsPerSample = qFromLittleEndian(read.wBitsPerSample);
  read.cbSize = qFromLittleEndian(read.cbSize);
  // The rate is used as a signed 32-bit number from here on.
  if (read.nSamplesPerSec == 0 || read.nSamplesPerSec > std::numeric_limits<std::int32_t>::max()) return 0;

  // A size of 2^31 or more reads as negative.
  const std::int32_t size = qFromLittleEndian<std::int32_t>(head + q);
  if (size <= 0) return 0;
  format = read;
  if (dataOffset) *dataOffset = q + 4;
  return size;
}

void WaveSignal::Load(const QString& fileName) {
  WAVEFORMATEX format = {};
  std::int64_t dataOffset = 0;
  const std::int32_t size = ReadWaveHeader(fileName, format, &dataOffset);
  if (size == 0) {
    if (!fileName.isEmpty()) ShowMessage(QStringLiteral("Can not load ") + fileName, kErrorCaption);
    return;
  }

  if (format.nChannels == 2) {
    if (m_pPrompts) m_pPrompts->AskChannel(fileName, LoadChannel);
  } else {
    LoadChannel = 0;
  }

  const int bytesPerSample = format.wBitsPerSample / 8;
  const int frameBytes = format.nChannels * bytesPerSample;
  const ChannelTaker takeChannel = TakerFor(bytesPerSample, frameBytes);
  if (!takeChannel) {
    ShowMessage(QStringLiteral("Strange kind of data!"), kErrorCaption);
    return;
  }
  const int channel = std::clamp(LoadChannel, 0, format.nChannels - 1);

  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly) || !file.seek(dataOffset)) {
    ShowMessage(QStringLiteral("Can not load ") + fileName, kErrorCaption);
    return;
  }
  // Only whole frames that the file really holds.
  const qint64 present = std::max<qint64>(file.size() - dataOffset, 0);
  const int frames = static_cast<int>(std::min<qint64>(size, present) / frameBytes);

  LargeArray<std::int16_t> samples;
  // Every sample is written below before it is used: no need to clear them first.
  if (frames > 0) samples = MakeLargeArray<std::int16_t>(static_cast<std::size_t>(frames));
  const qint64 framesPerChunk = kChunkBytes / frameBytes;
  std::vector<unsigned char> chunk(static_cast<std::size_t>(std::min<qint64>(frames, framesPerChunk) * frameBytes));
  int done = 0;
  while (done < frames) {
    const qint64 want = std::min<qint64>(frames - done, framesPerChunk) * frameBytes;
    const qint64 got = file.read(reinterpret_cast<char*>(chunk.data()), want);
    const int whole = got > 0 ? static_cast<int>(got / frameBytes) : 0;
    takeChannel(chunk.data(), whole, channel, samples.get() + done);
    done += whole;
    if (got != want) break;  // the file shrank while being read
  }

  Stop();
  SetFormat(static_cast<int>(format.nSamplesPerSec));
  m_pSamples = done > 0 ? std::move(samples) : nullptr;
  m_iLength = done;
}

void WaveSignal::Save(const QString& fileName) {
  const std::uint16_t channels = m_Format.nChannels;
  const std::uint16_t bits = m_Format.wBitsPerSample;
  const std::uint16_t blockAlign = static_cast<std::uint16_t>(channels * (bits / 8));
  const std::uint64_t dataBytes = static_cast<std::uint64_t>(m_iLength) * (bits / 8);
  const std::uint64_t sampleBytes = static_cast<std::uint64_t>(m_iLength) * sizeof(std::int16_t);

  // The file replaces an existing one only once it has been written whole.
  QSaveFile file(fileName);
  bool written = dataBytes + 36 <= std::numeric_limits<std::uint32_t>::max() && !fileName.isEmpty() &&
                 file.open(QIODevice::WriteOnly);
  if (written) {
    unsigned char header[kHeaderSize];
    std::memcpy(header + 0, "RIFF", 4);
    qToLittleEndian<std::uint32_t>(static_cast<std::uint32_t>(dataBytes + 36), header + 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    qToLittleEndian<std::uint32_t>(16, header + 16);
    qToLittleEndian<std::uint16_t>(1, header + 20);
    qToLittleEndian<std::uint16_t>(channels, header + 22);
    qToLittleEndian<std::uint32_t>(m_Format.nSamplesPerSec, header + 24);
    qToLittleEndian<std::uint32_t>(blockAlign * m_Format.nSamplesPerSec, header + 28);
    qToLittleEndian<std::uint16_t>(blockAlign, header + 32);
    qToLittleEndian<std::uint16_t>(bits, header + 34);
    std::memcpy(header + 36, "data", 4);
    qToLittleEndian<std::uint32_t>(static_cast<std::uint32_t>(dataBytes), header + 40);
    written = file.write(reinterpret_cast<const char*>(header), kHeaderSize) == kHeaderSize;
  }
  if (written && sampleBytes > 0) {
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
      written = file.write(reinterpret_cast<const char*>(m_pSamples.get()), static_cast<qint64>(sampleBytes)) ==
                static_cast<qint64>(sampleBytes);
    } else {
      std::vector<std::int16_t> little(m_pSamples.get(), m_pSamples.get() + m_iLength);
      qToLittleEndian<std::int16_t>(little.data(), m_iLength, little.data());
      written = file.write(reinterpret_cast<const char*>(little.data()), static_cast<qint64>(sampleBytes)) ==
                static_cast<qint64>(sampleBytes);
    }
  }
  if (!written || !file.commit()) ShowMessage(QStringLiteral("Can not create ") + fileName, kErrorCaption);
}

void StereoWaveSignal::Load(const QString&) {
  ShowMessage(QStringLiteral("StereoWaveSignal::Load"), QStringLiteral("not implemented"));
}
