#include "SoundStore.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "Block.h"

namespace {

// Scaled values are within +-32767 by construction; infinities and undefined
// values (from such input values) are pinned instead of overflowing.
std::int16_t ToSample(double scaled) {
  if (std::isnan(scaled)) return 0;
  return static_cast<std::int16_t>(std::clamp(scaled, -32767.0, 32767.0));
}

}  // namespace

void SoundStore::SetFormat(int rate) {
  m_Format.wFormatTag = 1;
  m_Format.nChannels = 1;
  m_Format.nSamplesPerSec = static_cast<std::uint32_t>(rate);
  m_Format.nAvgBytesPerSec = 2 * static_cast<std::uint32_t>(rate);
  m_Format.nBlockAlign = 2;
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

bool SoundStore::SetFromBlock(const Block& block, int rate) {
  SetFormat(rate);
  const int size = block.GetSize();
  if (size == 0) return false;
  BlockExtremes extremes;
  block.MinMax(extremes, 0, size - 1);
  const double peak = std::max(extremes.max, std::fabs(extremes.min));
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

bool SoundStore::SetFromFloats(const float* values, int rate) {
  SetFormat(rate);
  float max = 0;
  float min = 0;
  for (int j = 0; j < m_iLength; ++j) {
    max = std::max(max, values[j]);
    min = std::min(min, values[j]);
  }
  const float peak = std::max(max, std::fabs(min));
  if (peak == 0) return false;
  const float scale = 32767 / peak;
  // The product in single precision, as the values and the scale are.
  for (int j = 0; j < m_iLength; ++j) m_pSamples[j] = ToSample(values[j] * scale);
  return true;
}
