// The checks every reader makes before opening a file and before allocating
// a buffer whose size a file or a user gives, the writer that replaces a file
// only once it is whole, and the faulting in of large arrays being filled.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "FileCheck.h"
#include "LargeArray.h"
#include "MemoryBudget.h"
#include "SaveFile.h"

namespace {

namespace fs = std::filesystem;

TEST(FileCheckTest, OnlyRegularFilesAfterFollowingLinksPass) {
  std::string pattern = (fs::temp_directory_path() / "filecheck_XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  std::ofstream(dir / "sound.wav") << "RIFF";
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  fs::create_directory(dir / "folder");
  fs::create_symlink(dir / "sound.wav", dir / "link-to-file");
  fs::create_symlink(dir / "pipe", dir / "link-to-pipe");
  fs::create_symlink(dir / "folder", dir / "link-to-folder");
  fs::create_symlink(dir / "gone", dir / "dangling-link");

  const struct {
    fs::path path;
    bool regular;
  } cases[] = {
      {dir / "sound.wav", true},       {dir / "link-to-file", true},  {dir / "pipe", false},
      {dir / "link-to-pipe", false},   {dir / "folder", false},       {dir / "link-to-folder", false},
      {dir / "dangling-link", false},  {dir / "missing", false},      {"/dev/null", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsRegularFile(c.path.string()), c.regular) << c.path;
  fs::remove_all(dir);
}

// Large writes go out in steps; every byte must land once, in order.
TEST(SaveFileTest, LargeWriteReplacesTheTargetWhole) {
  const fs::path target = fs::temp_directory_path() / ("savefile_" + std::to_string(getpid()));
  std::ofstream(target) << "old";
  std::vector<char> bytes((std::size_t{20} << 20) + 5);
  for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>(k * 7 + k / 4096);
  SaveFile file(target.string());
  ASSERT_TRUE(file.Open());
  ASSERT_TRUE(file.Write(bytes.data(), bytes.size()));
  ASSERT_TRUE(file.Commit());
  std::ifstream in(target, std::ios::binary);
  EXPECT_TRUE(std::vector<char>(std::istreambuf_iterator<char>(in), {}) == bytes);
  fs::remove(target);
}

// A new empty folder for one test; empty when none could be made.
fs::path NewFolder() {
  std::string pattern = (fs::temp_directory_path() / "savefile_XXXXXX").string();
  return mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
}

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A link keeps pointing at the file, which is replaced; a pipe stays a pipe
// and gets the bytes (renaming a file onto it would have replaced it).
TEST(SaveFileTest, WritesThroughALinkAndIntoAPipe) {
  const fs::path dir = NewFolder();
  ASSERT_FALSE(dir.empty());
  std::ofstream(dir / "sound.wav") << "old";
  fs::create_symlink(dir / "sound.wav", dir / "link.wav");
  SaveFile linked((dir / "link.wav").string());
  ASSERT_TRUE(linked.Open() && linked.Write("new", 3) && linked.Commit());
  EXPECT_TRUE(fs::is_symlink(dir / "link.wav"));
  EXPECT_EQ(Contents(dir / "sound.wav"), "new");

  const fs::path pipe = dir / "pipe.wav";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(SaveFile(pipe.string()).Open());  // nothing reads it yet: no waiting for ever
  // The reading end is open first, so that neither end waits for the other.
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  SaveFile piped(pipe.string());
  EXPECT_TRUE(piped.Open() && piped.Write("sound", 5) && piped.Commit());
  char bytes[8];
  const ssize_t got = ::read(reader, bytes, sizeof bytes);
  ::close(reader);
  EXPECT_EQ(std::string(bytes, static_cast<std::size_t>(std::max<ssize_t>(got, 0))), "sound");
  EXPECT_EQ(fs::status(pipe).type(), fs::file_type::fifo);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 3);  // no temporary file left
  fs::remove_all(dir);
}

// A signal that ends the program in the middle of a save (Ctrl+C in a long
// render) takes the unfinished temporary file with it; the old file stays.
TEST(SaveFileDeathTest, EndingSignalsRemoveTheUnfinishedFile) {
  const fs::path dir = NewFolder();
  ASSERT_FALSE(dir.empty());
  std::ofstream(dir / "sound.flac") << "old";
  const auto saveUntil = [&](int signal) {
    RemoveUnfinishedSavesOnTermination();
    SaveFile file((dir / "sound.flac").string());
    if (file.Open() && file.Write("part", 4)) std::raise(signal);
    std::exit(0);
  };
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    EXPECT_EXIT(saveUntil(signal), testing::KilledBySignal(signal), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1) << signal;
  }
  EXPECT_EQ(Contents(dir / "sound.flac"), "old");
  fs::remove_all(dir);
}

// The pages faulted in from the end must keep what the filling from the start
// wrote, wherever the two meet.
TEST(PageFaultsAheadTest, FillingFromTheStartKeepsEveryValue) {
  constexpr std::size_t kCount = std::size_t{8} << 20;
  const LargeArray<std::int32_t> values = MakeLargeArray<std::int32_t>(kCount);
  {
    const PageFaultsAhead ahead(values.get(), kCount * sizeof(std::int32_t));
    for (std::size_t k = 0; k < kCount; ++k) values[k] = static_cast<std::int32_t>(k ^ 0x5a5a5a5a);
  }
  std::size_t wrong = 0;
  for (std::size_t k = 0; k < kCount; ++k) wrong += values[k] != static_cast<std::int32_t>(k ^ 0x5a5a5a5a);
  EXPECT_EQ(wrong, 0u);
}

TEST(MemoryBudgetTest, MeminfoGivesAvailableMemoryPlusFreeSwap) {
  const struct {
    const char* name;
    const char* meminfo;
    std::optional<std::uint64_t> bytes;
  } cases[] = {
      {"both", "MemTotal:       16000 kB\nMemFree:         1000 kB\nMemAvailable:    4000 kB\nSwapFree:        2000 kB\n",
       6000 * 1024ull},
      {"no swap line", "MemAvailable: 4000 kB\n", 4000 * 1024ull},
      {"last line without newline", "SwapFree: 1 kB\nMemAvailable: 3 kB", 4 * 1024ull},
      {"look-alike names", "MemAvailableX: 9 kB\nMemAvailable: 5 kB\nXSwapFree: 7 kB\n", 5 * 1024ull},
      {"old kernel without MemAvailable", "MemTotal: 16000 kB\nMemFree: 1000 kB\n", std::nullopt},
      {"no number", "MemAvailable: kB\n", std::nullopt},
      {"empty", "", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(AvailableBytesFromMeminfo(c.meminfo), c.bytes) << c.name;
}

TEST(MemoryBudgetTest, AbsurdBuffersDoNotFitAndSmallOnesDo) {
  ASSERT_TRUE(AvailableMemoryBytes().has_value());
  EXPECT_GT(*AvailableMemoryBytes(), 1u << 20);
  EXPECT_TRUE(FitsInMemory(0, 2));
  EXPECT_TRUE(FitsInMemory(1 << 20, 2));
  EXPECT_TRUE(FitsInMemory(*AvailableMemoryBytes() / 4, 2));
  EXPECT_FALSE(FitsInMemory(std::uint64_t{1} << 62, 2));           // 8 EiB
  EXPECT_FALSE(FitsInMemory(UINT64_MAX / 2 + 1, 2));                // the byte count overflows
  EXPECT_FALSE(FitsInMemory(*AvailableMemoryBytes(), 2));  // twice what there is
}

TEST(MemoryBudgetTest, MessageNamesThePlainCount) {
  EXPECT_EQ(NotEnoughMemoryMessage(2147483647), "Not enough memory for 2147483647 samples.");
  EXPECT_EQ(NotEnoughMemoryMessage(68719476735ull), "Not enough memory for 68719476735 samples.");
  EXPECT_EQ(NotEnoughMemoryMessage(0), "Not enough memory for 0 samples.");
}

}  // namespace
