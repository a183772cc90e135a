#include "RenderedSoundFile.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <memory>

#include "SaveFile.h"

namespace {

// Frames interleaved and handed to libsndfile per call.
constexpr int kChunkFrames = 4096;
constexpr int kMaxChannels = 2;

int SndfileFormat(RenderedFormat format) {
  switch (format) {
    case RenderedFormat::Wav24: return SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    case RenderedFormat::Float: return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    case RenderedFormat::Flac: return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
  }
  return 0;
}

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};

}  // namespace

std::optional<RenderedFormat> RenderedFormatNamed(std::string_view name) {
  if (name == "wav24") return RenderedFormat::Wav24;
  if (name == "float") return RenderedFormat::Float;
  if (name == "flac") return RenderedFormat::Flac;
  return std::nullopt;
}

bool WriteRenderedSound(const std::string& path, RenderedFormat format, const float* const* channels,
                        int channelCount, int frames, int rate) {
  if (channelCount < 1 || channelCount > kMaxChannels || frames < 0 || rate <= 0) return false;
  SaveFile target(path);
  // libsndfile seeks back to finish the header (FLAC's too): a pipe would get
  // a damaged file.
  if (!target.Open() || ::lseek(target.Descriptor(), 0, SEEK_CUR) < 0) return false;
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channelCount;
  info.format = SndfileFormat(format);
  if (!sf_format_check(&info)) return false;
  std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_fd(target.Descriptor(), SFM_WRITE, &info, SF_FALSE));
  if (!file) return false;
  // Full scale itself would wrap to the most negative integer without clipping.
  sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
  // A float WAV's PEAK chunk holds the time of writing: without it, the same
  // seed gives the same file.
  sf_command(file.get(), SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  std::array<float, kChunkFrames * kMaxChannels> chunk;
  for (int first = 0; first < frames; first += kChunkFrames) {
    const int count = std::min(kChunkFrames, frames - first);
    for (int i = 0; i < count; ++i) {
      for (int c = 0; c < channelCount; ++c) chunk[i * channelCount + c] = channels[c][first + i];
    }
    if (sf_writef_float(file.get(), chunk.data(), count) != count) return false;
  }
  // Closing writes the header's sizes (and FLAC's last frame): its failure is a failed file.
  if (sf_close(file.release()) != 0) return false;
  return target.Commit();
}
