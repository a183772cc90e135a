#include "SoundFile.h"

#include <utility>

#include "FileCheck.h"
#include "MemoryBudget.h"
#include "SndfileReader.h"

WaveFileContent ReadSoundFile(const std::string& fileName) {
  WaveFileContent content;
  if (!IsRegularFile(fileName)) return content;
  content = ReadWaveFile(fileName);
  // A RIFF file whose head the kit's reader cannot use stays refused, as it always was.
  if (content.result == WaveReadResult::Loaded || (content.riff && content.result == WaveReadResult::CannotLoad)) {
    return content;
  }

  SoundFileContent other = ReadWithSndfile(fileName);
  switch (other.refusal) {
    case SoundFileRefusal::None:
      content.result = WaveReadResult::Loaded;
      content.format = {};
      content.format.wFormatTag = 1;
      content.format.nChannels = static_cast<std::uint16_t>(other.channels);
      content.format.nSamplesPerSec = static_cast<std::uint32_t>(other.sampleRate);
      content.format.nBlockAlign = static_cast<std::uint16_t>(2 * other.channels);
      content.format.nAvgBytesPerSec = content.format.nBlockAlign * content.format.nSamplesPerSec;
      content.format.wBitsPerSample = 16;
      content.frames = static_cast<int>(other.frames);
      content.samples = std::move(other.samples);
      break;
    case SoundFileRefusal::TooLarge:
      content.result = WaveReadResult::TooLarge;
      content.claimedSamples = other.sampleCount;
      break;
    case SoundFileRefusal::Unsupported:
      content.result = WaveReadResult::StrangeData;
      break;
    case SoundFileRefusal::CannotOpen:
      // The kit's reader may have found a WAV head that libsndfile does not.
      break;
  }
  return content;
}

std::string ReadRefusalMessage(const WaveFileContent& content, const std::string& fileName) {
  switch (content.result) {
    case WaveReadResult::Loaded: return {};
    case WaveReadResult::CannotLoad: return "Can not load " + fileName;
    case WaveReadResult::StrangeData: return "Strange kind of data!";
    case WaveReadResult::TooLarge: return NotEnoughMemoryMessage(content.claimedSamples);
  }
  return {};
}
