#include "SaveFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// The temporary files of the saves in progress, where a signal handler can
// read them without allocating: a slot is claimed, filled, and only then
// marked ready.
enum SlotState : int { kFree, kClaimed, kReady };
struct UnfinishedSave {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};
constexpr int kTrackedSaves = 8;
UnfinishedSave g_unfinished[kTrackedSaves];

// The slot now holding path, or -1 when none is free (that save is then left
// to its destructor alone).
int Track(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int slot = 0; slot < kTrackedSaves; ++slot) {
    int expected = kFree;
    if (g_unfinished[slot].state.compare_exchange_strong(expected, kClaimed)) {
      std::memcpy(g_unfinished[slot].path, path.c_str(), path.size() + 1);
      g_unfinished[slot].state.store(kReady);
      return slot;
    }
  }
  return -1;
}

void Untrack(int& slot) {
  if (slot >= 0) g_unfinished[slot].state.store(kFree);
  slot = -1;
}

// Only unlink, which a signal handler may call. The handler resets itself on
// entry (SA_RESETHAND), so the signal raised again ends the program as it
// would have, once the handler returns.
void RemoveUnfinishedSavesAndEnd(int signal) {
  for (const UnfinishedSave& save : g_unfinished) {
    if (save.state.load() == kReady) ::unlink(save.path);
  }
  ::raise(signal);
}

// The target's own permissions, or read and write for all that the umask allows.
mode_t TargetMode(const std::string& target) {
  struct stat info;
  if (::stat(target.c_str(), &info) == 0) return info.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

void RemoveUnfinishedSavesOnTermination() {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveUnfinishedSavesAndEnd;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(signal, &action, nullptr);
  }
}

SaveFile::SaveFile(std::string target) : m_sTarget(std::move(target)) {}

SaveFile::~SaveFile() {
  if (m_iDescriptor >= 0) ::close(m_iDescriptor);
  if (!m_sTemporary.empty()) ::unlink(m_sTemporary.c_str());
  Untrack(m_iTracked);
}

bool SaveFile::Open() {
  if (m_sTarget.empty() || m_iDescriptor >= 0) return false;
  // Through a link, the file it names is replaced and the link kept.
  if (char* resolved = ::realpath(m_sTarget.c_str(), nullptr)) {
    m_sTarget = resolved;
    std::free(resolved);
  }
  // A device or a pipe cannot be replaced by renaming (that would put a plain
  // file in its place): the bytes go straight to it. A pipe that nothing reads
  // is refused rather than waited on for ever.
  struct stat info;
  if (::stat(m_sTarget.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
    m_iDescriptor = ::open(m_sTarget.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK);
    if (m_iDescriptor < 0) return false;
    const int flags = ::fcntl(m_iDescriptor, F_GETFL);
    if (flags < 0 || ::fcntl(m_iDescriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) m_bFailed = true;
    return !m_bFailed;
  }
  std::string name = m_sTarget + ".XXXXXX";
  std::vector<char> pattern(name.begin(), name.end());
  pattern.push_back('\0');
  // mkstemp reserves the name by creating the file, so nothing else is overwritten.
  const int descriptor = ::mkstemp(pattern.data());
  if (descriptor < 0) return false;
  m_iDescriptor = descriptor;
  m_sTemporary = pattern.data();
  m_iTracked = Track(m_sTemporary);
  if (::fchmod(m_iDescriptor, TargetMode(m_sTarget)) != 0) m_bFailed = true;
  return !m_bFailed;
}

bool SaveFile::Write(const void* bytes, std::size_t count) {
  if (m_iDescriptor < 0 || m_bFailed) return false;
  // Large writes go in steps, each step's writeback started at once, so that
  // the disk works while the rest is copied and Commit's flush waits less.
  constexpr std::size_t kStep = std::size_t{8} << 20;
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t written = ::write(m_iDescriptor, next, std::min(count, kStep));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      m_bFailed = true;
      return false;
    }
#if defined(__linux__)
    // From 0 to the end: the pages already on their way are not dirty, so
    // only this step's are started.
    ::sync_file_range(m_iDescriptor, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
    next += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

bool SaveFile::Commit() {
  if (m_iDescriptor < 0 || m_bFailed) return false;
  const bool direct = m_sTemporary.empty();  // a device or a pipe, which take no fsync
  const bool synced = direct || ::fsync(m_iDescriptor) == 0;
  const bool closed = ::close(m_iDescriptor) == 0 && synced;
  m_iDescriptor = -1;
  if (direct) return closed;
  if (!closed || std::rename(m_sTemporary.c_str(), m_sTarget.c_str()) != 0) return false;
  m_sTemporary.clear();
  Untrack(m_iTracked);
  return true;
}
