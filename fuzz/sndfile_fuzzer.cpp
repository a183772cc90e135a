// The libsndfile reader on arbitrary bytes: it must neither crash, hang nor
// read outside its buffers, and what it accepts must be a consistent sound in
// the 16-bit store (no sample below -32767).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "SndfileReader.h"

namespace {

// The input file, removed when the fuzzer ends.
struct ScratchFile {
  std::string path = "/tmp/sndfile_fuzzer_" + std::to_string(getpid()) + ".snd";
  ~ScratchFile() { std::remove(path.c_str()); }
};

bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ScratchFile file;
  if (!WriteFile(file.path, data, size)) return 0;

  const SoundFileContent content = ReadWithSndfile(file.path);
  if (!content.IsRead()) {
    if (content.samples || SoundFileRefusalMessage(content, file.path).empty()) std::abort();
    return 0;
  }
  if (!content.samples || content.sampleRate <= 0 || content.channels <= 0 || content.frames <= 0 ||
      content.sampleCount != static_cast<std::uint64_t>(content.frames) * static_cast<std::uint64_t>(content.channels) ||
      content.sampleCount > 0x7FFFFFFFu) {
    std::abort();
  }
  for (std::uint64_t i = 0; i < content.sampleCount; ++i) {
    if (content.samples[i] < -32767) std::abort();
  }
  return 0;
}
