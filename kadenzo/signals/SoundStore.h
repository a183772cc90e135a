#pragma once
// The samples of kadenzo's current sound with their format record, and the
// conversion of numeric results into samples. Window-free: the engine, the
// renderer and the tests use it alone.

#include <cstdint>

#include "LargeArray.h"

class Block;

// The platform's 18-byte packed PCM format record.
#pragma pack(push, 1)
struct WAVEFORMATEX {
  std::uint16_t wFormatTag;
  std::uint16_t nChannels;
  std::uint32_t nSamplesPerSec;
  std::uint32_t nAvgBytesPerSec;
  std::uint16_t nBlockAlign;
  std::uint16_t wBitsPerSample;
  std::uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// A value less its channel's mean, rounded to single precision: the form in
// which the rhythm's values are stored. It never changes the order of two values.
inline float CentredValue(float value, double mean) { return static_cast<float>(value - mean); }

class SoundStore {
 public:
  int GetSampleRate() const { return static_cast<int>(m_Format.nSamplesPerSec); }
  // Single samples of all channels, interleaved (left first).
  int GetLength() const { return m_iLength; }
  int GetChannels() const { return m_Format.nChannels > 1 ? m_Format.nChannels : 1; }
  int GetFrames() const { return m_iLength / GetChannels(); }
  std::int16_t* GetSamples(int index) { return m_pSamples.get() + index; }
  const std::int16_t* GetSamples(int index) const { return m_pSamples.get() + index; }
  const WAVEFORMATEX& GetFormat() const { return m_Format; }

  // 16-bit PCM at the given rate, mono unless told otherwise.
  void SetFormat(int rate, int channels = 1);
  // Replaces the samples by count zero samples.
  void SetLength(int count);
  // Takes count samples (null when count is 0) as the new ones.
  void TakeSamples(LargeArray<std::int16_t> samples, int count);
  // Hands the samples over, leaving none.
  LargeArray<std::int16_t> ReleaseSamples();
  // Fill the existing samples peak-normalised to 32767 (truncated toward zero);
  // false, with the samples unchanged, when the peak is 0. A shorter block is
  // repeated, a longer one cut; SetFromFloats reads GetLength() values.
  bool SetFromBlock(const Block& block, int rate);
  // SetLength(block size), then SetFromBlock, for a block whose values are not
  // wanted afterwards: they are lost (some read as 0) as the memory they took
  // goes back to the system page by page while they become samples, so that
  // the two are never both whole.
  bool TakeFromBlock(Block& block, int rate);
  bool SetFromFloats(const float* values, int rate);
  // The same for channelCount channels of GetFrames() values each, stored
  // interleaved and scaled by one factor from the peak of them all, so that
  // their balance stays; one channel gives SetFromFloats' samples.
  bool SetFromChannels(const float* const* channels, int channelCount, int rate);
  // SetFromChannels of the values channels[c][j] - means[c], each rounded to
  // single precision, whose peak (the largest magnitude, or 0) the caller knows;
  // null means hold zeros (a float less 0 is the float itself). The pass is
  // shared by up to `threads` threads.
  bool SetFromCentredChannels(const float* const* channels, const double* means, int channelCount, float peak,
                              int rate, int threads = 1);

 protected:
  LargeArray<std::int16_t> m_pSamples;
  int m_iLength = 0;
  WAVEFORMATEX m_Format = {};
};
