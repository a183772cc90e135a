#pragma once
// The renderer's files beyond the 16-bit store: the engine's output before
// its rounding to 16 bits, as 24-bit or 32-bit float WAV or as 24-bit FLAC,
// through libsndfile. Window-free.

#include <optional>
#include <string>
#include <string_view>

enum class RenderedFormat {
  Wav24,  // WAV, 24-bit PCM
  Float,  // WAV, 32-bit IEEE float
  Flac,   // FLAC, 24 bits
};

// "wav24", "float" or "flac"; nothing for any other name.
std::optional<RenderedFormat> RenderedFormatNamed(std::string_view name);

// Writes channelCount (1 or 2) channels of frames values each, full scale at
// ±1 (values beyond it are clipped, never wrapped), at rate samples per second.
// Through a temporary file: the target is replaced only once the whole file is
// written; false, with the target as it was and nothing left behind, when it
// could not be. A pipe is refused: libsndfile seeks back to finish a file.
bool WriteRenderedSound(const std::string& path, RenderedFormat format, const float* const* channels,
                        int channelCount, int frames, int rate);
