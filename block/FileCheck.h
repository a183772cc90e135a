#pragma once
// Whether a path names something a file reader may open. Opening a named pipe
// for reading blocks until a writer comes, and a device or a directory is no
// file to read, so readers ask this first and refuse everything else.

#include <string>

// True only when the path, after following symbolic links, is a regular file.
// Decided from the file's status alone: nothing is opened.
bool IsRegularFile(const std::string& path);
