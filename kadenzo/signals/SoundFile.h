#pragma once
// Every sound file the kit reads, the same way for the window's "&Load" and
// the renderer: 8- and 16-bit PCM WAV by the kit's own reader, every other
// sound file libsndfile reads through it. Window-free.

#include <string>

#include "WaveFile.h"

// Anything but a regular file is CannotLoad without being opened (a named
// pipe would block); so is a RIFF file whose head the kit's reader refuses. For StrangeData the format record is the WAV file's own,
// so that a caller can still ask which channel was meant.
WaveFileContent ReadSoundFile(const std::string& fileName);

// What a refusal says: "Can not load " + fileName, "Strange kind of data!" or
// "Not enough memory for " + count + " samples."; empty for a file that loaded.
std::string ReadRefusalMessage(const WaveFileContent& content, const std::string& fileName);
