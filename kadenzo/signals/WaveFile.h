#pragma once
// RIFF WAVE PCM files: the reader takes 8-bit files with 1 to 4 channels and
// 16-bit files with 1 or 2; the writer writes 16-bit PCM with the canonical
// 44-byte header. Window-free: the reader reports what it read or why it
// refused, and its caller asks the user and shows the message.

#include <cstdint>
#include <string>

#include "LargeArray.h"
#include "SoundStore.h"

// The position just after the first occurrence of the four-byte tag among the
// first count positions of head (its start + 4), or 0 when it does not occur.
int FindTag(const char* head, const char* tag, int count);

enum class WaveReadResult {
  Loaded,       // format, frames and samples hold the file's sound
  CannotLoad,   // no such readable file, or its head is unusable
  StrangeData,  // a usable head, but a layout the reader does not take
  TooLarge,     // more samples than the machine's memory holds
};

struct WaveFileContent {
  WaveReadResult result = WaveReadResult::CannotLoad;
  // The file's own format record: set for Loaded and StrangeData.
  WAVEFORMATEX format = {};
  // frames x format.nChannels samples, interleaved, as signed 16-bit values
  // (8-bit samples are centred on 128 and scaled by 256). Null when there are
  // no whole frames.
  LargeArray<std::int16_t> samples;
  int frames = 0;
  // For TooLarge: the samples the file claims.
  std::uint64_t claimedSamples = 0;
  // The file begins with "RIFF": its verdict is this reader's.
  bool riff = false;
};

// Reads the whole file, opened once: PCM (or extensible PCM) with 8 or 16 bits
// per sample; any other format tag or sample size is StrangeData. Its head, the format record after "fmt "
// and the data size after "data", must lie in the first 8000 bytes; a missing
// tag, a field outside the bytes read, a size of 2^31 or more, or a rate of 0
// or of 2^31 or more makes it CannotLoad. Only whole frames that the file
// really holds are read.
WaveFileContent ReadWaveFile(const std::string& fileName);

// The samples of one channel (0-based, clamped to those the file has); those
// of a one-channel file are moved out of content, not copied.
LargeArray<std::int16_t> TakeWaveChannel(WaveFileContent& content, int channel);

// Writes the sound as 16-bit PCM with the sound's channel count and rate. An
// existing file is replaced only once the new one has been written whole;
// false, with the target as it was, when it could not be.
bool WriteWaveFile(const SoundStore& sound, const std::string& fileName);
