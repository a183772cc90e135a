#pragma once
// Sound files of every kind libsndfile reads (WAV with any sample type,
// WAVE_FORMAT_EXTENSIBLE, mu-law, A-law, ADPCM, FLAC, Ogg Vorbis, AIFF/AIFC and
// the rest), turned into the kit's 16-bit store. Window-free and Qt-free: the
// reader says what it read or why it refused; the caller chooses the channel
// and shows the message.
//
// Samples are read as doubles normalised to full scale ±1, multiplied by 32767
// and rounded to nearest; anything beyond full scale (floats may exceed it)
// becomes ±32767, a NaN becomes 0, so no sample wraps and none is −32768.
// The file is decoded in chunks straight into the result: no copy of the whole
// sound in any other type is made.

#include <cstdint>
#include <string>

#include "LargeArray.h"

enum class SoundFileRefusal {
  None,         // read
  CannotOpen,   // no regular file, not a sound file, or no frames: "Can not load " + name
  Unsupported,  // a sound file with data this reader cannot take: "Strange kind of data!"
  TooLarge,     // more samples than memory (or a 32-bit count) holds: NotEnoughMemoryMessage
};

struct SoundFileContent {
  SoundFileRefusal refusal = SoundFileRefusal::CannotOpen;
  int sampleRate = 0;        // samples per second of each channel, 1 … 2^31 − 1
  int channels = 0;          // interleaved in `samples`, first channel first
  std::int64_t frames = 0;   // frames in `samples`
  // frames × channels: the samples held, or for TooLarge those the file claims
  // (saturated at the largest value).
  std::uint64_t sampleCount = 0;
  LargeArray<std::int16_t> samples;

  bool IsRead() const { return refusal == SoundFileRefusal::None; }
};

// Reads the whole file. Refuses, without opening it, anything but a regular
// file (a named pipe would block). A file shorter than its header says gives
// the frames that could be decoded. A WAV sample layout libsndfile would
// misread (a block alignment other than channels × the container of the
// sample type, as in 20-bit samples in 32-bit containers) is Unsupported; a
// WAV packet format (ADPCM, GSM) ends at the frame count of its "fact" chunk.
// At most 2^31 − 1 samples in all, so that callers can count them in an int.
SoundFileContent ReadWithSndfile(const std::string& path);

// The message a refusal shows: "Can not load " + fileName, "Strange kind of
// data!" or "Not enough memory for " + sampleCount + " samples."; empty for a
// file that was read.
std::string SoundFileRefusalMessage(const SoundFileContent& content, const std::string& fileName);
