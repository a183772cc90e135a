#include "SoundStore.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "Block.h"
#include "Processors.h"

namespace {

// Scaled values are within +-32767 by construction; infinities and undefined
// values (from such input values) are pinned instead of overflowing.
std::int16_t ToSample(double scaled) {
  if (std::isnan(scaled)) return 0;
  return static_cast<std::int16_t>(std::clamp(scaled, -32767.0, 32767.0));
}

// A centred value as a sample; the product in single precision, as the value
// and the scale are.
std::int16_t CentredSample(float value, double mean, float scale) { return ToSample(CentredValue(value, mean) * scale); }

using FloatLanes = float __attribute__((vector_size(16)));
using DoubleLanes = double __attribute__((vector_size(32)));
using IntLanes = std::int32_t __attribute__((vector_size(16)));
using SampleLanes = std::int16_t __attribute__((vector_size(8)));
using SamplePairLanes = std::int16_t __attribute__((vector_size(16)));

// CentredSample(values[k], mean, scale) for k = 0 .. 3, lane by lane the same
// operations in the same precisions.
[[gnu::always_inline]] inline void CentredSamples(const float* values, double mean, float scale, SampleLanes& out) {
  FloatLanes v;
  std::memcpy(&v, values, sizeof v);
  const DoubleLanes means = {mean, mean, mean, mean};
  const FloatLanes scales = {scale, scale, scale, scale};
  const DoubleLanes centred = __builtin_convertvector(v, DoubleLanes) - means;
  DoubleLanes scaled = __builtin_convertvector(__builtin_convertvector(centred, FloatLanes) * scales, DoubleLanes);
  const DoubleLanes zero = {0.0, 0.0, 0.0, 0.0};
  const DoubleLanes lowest = {-32767.0, -32767.0, -32767.0, -32767.0};
  const DoubleLanes highest = {32767.0, 32767.0, 32767.0, 32767.0};
  scaled = scaled == scaled ? scaled : zero;
  scaled = scaled < lowest ? lowest : scaled;
  scaled = highest < scaled ? highest : scaled;
  out = __builtin_convertvector(__builtin_convertvector(scaled, IntLanes), SampleLanes);
}

// Frames first .. end - 1 of one or two channels of centred values into the
// interleaved samples, four frames at a time.
__attribute__((target_clones("avx2", "default"))) void StoreCentredChannels(
    const float* const* channels, const double* means, int channelCount, float scale, int first, int end,
    std::int16_t* samples) {
  const double mean0 = means != nullptr ? means[0] : 0.0;
  int j = first;
  if (channelCount == 1) {
    for (; j + 4 <= end; j += 4) {
      SampleLanes lanes;
      CentredSamples(channels[0] + j, mean0, scale, lanes);
      std::memcpy(samples + j, &lanes, sizeof lanes);
    }
    for (; j < end; ++j) samples[j] = CentredSample(channels[0][j], mean0, scale);
    return;
  }
  const double mean1 = means != nullptr ? means[1] : 0.0;
  for (; j + 4 <= end; j += 4) {
    SampleLanes left, right;
    CentredSamples(channels[0] + j, mean0, scale, left);
    CentredSamples(channels[1] + j, mean1, scale, right);
    const SamplePairLanes pairs = __builtin_shufflevector(left, right, 0, 4, 1, 5, 2, 6, 3, 7);
    std::memcpy(samples + 2 * static_cast<std::ptrdiff_t>(j), &pairs, sizeof pairs);
  }
  for (; j < end; ++j) {
    samples[2 * static_cast<std::ptrdiff_t>(j)] = CentredSample(channels[0][j], mean0, scale);
    samples[2 * static_cast<std::ptrdiff_t>(j) + 1] = CentredSample(channels[1][j], mean1, scale);
  }
}

// The larger of the block's largest value and the magnitude of its smallest.
double PeakOf(const Block& block) {
  BlockExtremes extremes;
  block.MinMax(extremes, 0, block.GetSize() - 1);
  return std::max(extremes.max, std::fabs(extremes.min));
}

// Hands the whole pages among count values back to the system; they read as 0
// if touched again.
void GiveBack(double* values, std::size_t count) {
#if defined(__linux__)
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto begin = (reinterpret_cast<std::uintptr_t>(values) + page - 1) / page * page;
  const auto end = reinterpret_cast<std::uintptr_t>(values + count) / page * page;
  if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
#else
  (void)values;
  (void)count;
#endif
}

}  // namespace

void SoundStore::SetFormat(int rate, int channels) {
  m_Format.wFormatTag = 1;
  m_Format.nChannels = static_cast<std::uint16_t>(channels);
  m_Format.nSamplesPerSec = static_cast<std::uint32_t>(rate);
  m_Format.nBlockAlign = static_cast<std::uint16_t>(2 * channels);
  m_Format.nAvgBytesPerSec = m_Format.nBlockAlign * static_cast<std::uint32_t>(rate);
  m_Format.wBitsPerSample = 16;
  m_Format.cbSize = 0;
}

void SoundStore::SetLength(int count) {
  count = std::max(count, 0);
  TakeSamples(count > 0 ? MakeZeroedLargeArray<std::int16_t>(static_cast<std::size_t>(count)) : nullptr, count);
}

void SoundStore::TakeSamples(LargeArray<std::int16_t> samples, int count) {
  m_pSamples = count > 0 ? std::move(samples) : nullptr;
  m_iLength = count > 0 ? count : 0;
}

LargeArray<std::int16_t> SoundStore::ReleaseSamples() {
  m_iLength = 0;
  return std::move(m_pSamples);
}

bool SoundStore::SetFromBlock(const Block& block, int rate) {
  SetFormat(rate);
  const int size = block.GetSize();
  if (size == 0) return false;
  const double peak = PeakOf(block);
  if (peak == 0) return false;
  const double scale = 32767 / peak;
  const double* values = block.GetData();
  // The block is repeated when it is shorter than the sound.
  for (int start = 0; start < m_iLength; start += size) {
    const int count = std::min(size, m_iLength - start);
    std::int16_t* samples = m_pSamples.get() + start;
    for (int i = 0; i < count; ++i) samples[i] = ToSample(values[i] * scale);
  }
  return true;
}

bool SoundStore::TakeFromBlock(Block& block, int rate) {
  SetFormat(rate);
  const int size = block.GetSize();
  const double peak = size > 0 ? PeakOf(block) : 0.0;
  double* values = block.GetData();
  if (peak == 0) {
    GiveBack(values, static_cast<std::size_t>(size));
    SetLength(size);
    return false;
  }
  const double scale = 32767 / peak;
  // Fresh memory, which takes room only as it is written: 2 MB of values at
  // a time become samples and go back.
  LargeArray<std::int16_t> samples = MakeLargeArray<std::int16_t>(static_cast<std::size_t>(size));
  constexpr int kSpan = 1 << 18;
  for (int start = 0; start < size; start += kSpan) {
    const int count = std::min(kSpan, size - start);
    for (int i = start; i < start + count; ++i) samples[i] = ToSample(values[i] * scale);
    GiveBack(values + start, static_cast<std::size_t>(count));
  }
  TakeSamples(std::move(samples), size);
  return true;
}

bool SoundStore::SetFromFloats(const float* values, int rate) { return SetFromChannels(&values, 1, rate); }

bool SoundStore::SetFromChannels(const float* const* channels, int channelCount, int rate) {
  const int frames = m_iLength / std::max(channelCount, 1);
  float max = 0;
  float min = 0;
  for (int c = 0; c < channelCount; ++c) {
    for (int j = 0; j < frames; ++j) {
      max = std::max(max, channels[c][j]);
      min = std::min(min, channels[c][j]);
    }
  }
  return SetFromCentredChannels(channels, nullptr, channelCount, std::max(max, std::fabs(min)), rate);
}

bool SoundStore::SetFromCentredChannels(const float* const* channels, const double* means, int channelCount,
                                        float peak, int rate, int threads) {
  SetFormat(rate, channelCount);
  const int frames = GetFrames();
  if (peak == 0) return false;
  const float scale = 32767 / peak;
  const auto store = [&](int first, int end) {
    if (channelCount <= 2) return StoreCentredChannels(channels, means, channelCount, scale, first, end, m_pSamples.get());
    for (int c = 0; c < channelCount; ++c) {
      const float* values = channels[c];
      const double mean = means != nullptr ? means[c] : 0.0;
      std::int16_t* samples = m_pSamples.get() + c;
      for (int j = first; j < end; ++j) {
        samples[static_cast<std::ptrdiff_t>(j) * channelCount] = CentredSample(values[j], mean, scale);
      }
    }
  };
  RunInParts(frames, threads, kMemoryPassPerThread, store);
  return true;
}
