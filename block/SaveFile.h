#pragma once
// Writing a file so that a failed write never leaves a damaged file behind:
// the bytes go to a temporary file beside the target, which replaces the
// target in one step only once it is complete. The temporary file takes the
// permissions a plain create would give (the target's own when it exists).
// A link is followed, so that the file it names is replaced; a device or a
// pipe, which no file can replace, is written directly.

#include <cstddef>
#include <string>

// Has SIGINT, SIGTERM and SIGHUP remove the temporary files of the saves in
// progress before they end the program as they would have, so that stopping a
// long write leaves nothing behind. A signal that is ignored stays ignored.
void RemoveUnfinishedSavesOnTermination();

class SaveFile {
 public:
  explicit SaveFile(std::string target);
  // Removes the temporary file unless Commit succeeded.
  ~SaveFile();
  SaveFile(const SaveFile&) = delete;
  SaveFile& operator=(const SaveFile&) = delete;

  // Creates the temporary file; false when it cannot be made.
  bool Open();
  // Appends bytes; false (and every later call false) when they were not all written.
  bool Write(const void* bytes, std::size_t count);
  // The open file (-1 before Open and after Commit), for a writer
  // that needs to seek back, such as a sound file library; Commit still
  // decides whether the target is replaced.
  int Descriptor() const { return m_iDescriptor; }
  // Flushes, closes and renames onto the target; false, with the target as it
  // was and no temporary file left, when any step failed (a device or a pipe
  // keeps what reached it).
  bool Commit();

 private:
  std::string m_sTarget;
  std::string m_sTemporary;
  int m_iTracked = -1;  // the temporary file's slot among the saves in progress
  int m_iDescriptor = -1;
  bool m_bFailed = false;
};
