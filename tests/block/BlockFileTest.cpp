// Block files against bytes written out by hand.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <new>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "BlockValues.h"

// The largest single request to operator new since the last reset, so that a
// test can see that a reader sized its block by the file and not by the header.
namespace {
std::size_t g_largestRequest = 0;
}

// GCC takes the free() in the replaced delete for a mismatch with new once
// both are inlined into the library's allocators.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
  if (size > g_largestRequest) g_largestRequest = size;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace {

using Bytes = std::vector<unsigned char>;

// The files the tests make, removed once all have run.
class TempFiles : public ::testing::Environment {
 public:
  void TearDown() override {
    for (const std::string& path : m_paths) std::remove(path.c_str());
  }
  std::vector<std::string> m_paths;
};

TempFiles* const g_tempFiles = static_cast<TempFiles*>(::testing::AddGlobalTestEnvironment(new TempFiles));

std::string TempPath(const std::string& name) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string path =
      ::testing::TempDir() + "blockfile_" + test->name() + "_" + std::to_string(getpid()) + "_" + name;
  g_tempFiles->m_paths.push_back(path);
  return path;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Little-endian doubles, spelled out.
constexpr unsigned char kOne[8] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
constexpr unsigned char kTwo[8] = {0, 0, 0, 0, 0, 0, 0x00, 0x40};
constexpr unsigned char kThree[8] = {0, 0, 0, 0, 0, 0, 0x08, 0x40};
constexpr unsigned char kFour[8] = {0, 0, 0, 0, 0, 0, 0x10, 0x40};
constexpr unsigned char kFive[8] = {0, 0, 0, 0, 0, 0, 0x14, 0x40};
constexpr unsigned char kZero[8] = {};

// "BLOW", count, offset, start, step, domain, flag, two padding bytes, then the values.
Bytes File(std::initializer_list<unsigned char> count, std::initializer_list<unsigned char> offset,
           const unsigned char* start, const unsigned char* step, unsigned char domain,
           unsigned char flag, std::initializer_list<const unsigned char*> values = {}) {
  Bytes bytes = {'B', 'L', 'O', 'W'};
  bytes.insert(bytes.end(), count);
  bytes.insert(bytes.end(), offset);
  bytes.insert(bytes.end(), start, start + 8);
  bytes.insert(bytes.end(), step, step + 8);
  bytes.insert(bytes.end(), {domain, flag, 0, 0});
  for (const unsigned char* v : values) bytes.insert(bytes.end(), v, v + 8);
  return bytes;
}

// The values 1 .. 5, start 2.0, step 4.0, domain byte 7, flag 0xFF.
Bytes FiveValues() {
  return File({5, 0, 0, 0}, {32, 0, 0, 0}, kTwo, kFour, 7, 0xFF,
              {kOne, kTwo, kThree, kFour, kFive});
}

// A failed read must leave the block exactly as it was.
void ExpectReadFails(const std::string& path, int iStart = 0, int iCount = -1) {
  Block b = MakeBlock({42.0, -42.0});
  b.GetStart() = 9.0;
  b.GetStep() = 0.5;
  b.SetDomain(dmComp);
  b.SetUserFlag(5);
  const auto before = Contents(b);
  EXPECT_FALSE(b.ReadFromFile(path.c_str(), iStart, iCount));
  EXPECT_EQ(Contents(b), before);
}

TEST(BlockFileWrite, BlocksGiveTheBytesOfTheFormat) {
  const Block three = MakeBlock({1, 2, 3}), empty;
  Block dressed = MakeBlock({5});
  dressed.GetStart() = 2.0;
  dressed.GetStep() = 4.0;
  dressed.SetDomain(dmPower);
  dressed.SetUserFlag(0xAB);
  // The padding bytes are written as zeros.
  const std::pair<const Block*, Bytes> cases[] = {
      {&three, File({3, 0, 0, 0}, {0x20, 0, 0, 0}, kZero, kOne, 0, 0, {kOne, kTwo, kThree})},
      {&dressed, File({1, 0, 0, 0}, {0x20, 0, 0, 0}, kTwo, kFour, 2, 0xAB, {kFive})},
      {&empty, File({0, 0, 0, 0}, {0x20, 0, 0, 0}, kZero, kOne, 0, 0)},
  };
  for (const auto& [block, expected] : cases) {
    const std::string path = TempPath("written.env");
    ASSERT_TRUE(block->WriteToFile(path.c_str()));
    EXPECT_EQ(ReadBytes(path), expected);
    // Saved through a temporary file, over the last one: the same bytes.
    const std::string saved = TempPath("saved.env");
    WriteBytes(saved, Bytes(100, 'x'));
    ASSERT_TRUE(SaveBlockFile(*block, saved));
    EXPECT_EQ(ReadBytes(saved), expected);
  }
  EXPECT_FALSE(three.WriteToFile((TempPath("no") + "/such/dir/file.env").c_str()));
  EXPECT_FALSE(SaveBlockFile(three, TempPath("no") + "/such/dir/file.env"));
}

TEST(BlockFileRead, HandWrittenFileAndItsRanges) {
  const std::string path = TempPath("five.env");
  WriteBytes(path, FiveValues());
  const BlockFileHeader header(path.c_str());
  EXPECT_TRUE(header.IsValid());
  EXPECT_EQ(header.GetCount(), 5);
  EXPECT_EQ(header.GetOffset(), 32);
  EXPECT_EQ(header.GetStart(), 2.0);

  struct Case {
    int iStart, iCount;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {0, -1, {1, 2, 3, 4, 5}},
      {1, -1, {2, 3, 4, 5}},
      {4, -1, {5}},
      {1, 2, {2, 3}},
      {3, 100, {4, 5}},  // more than the file holds: what is there
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.iStart << ", " << c.iCount);
    Block b;
    ASSERT_TRUE(b.ReadFromFile(path.c_str(), c.iStart, c.iCount));
    // The start is not advanced by iStart; the domain byte is taken as it stands.
    EXPECT_EQ(Contents(b), std::tuple(c.expected, 2.0, 4.0, 7, 0xFF));
  }
  for (const auto& [iStart, iCount] : {std::pair{5, -1}, std::pair{6, -1}, std::pair{0, 0}}) {
    SCOPED_TRACE(::testing::Message() << iStart << ", " << iCount);
    ExpectReadFails(path, iStart, iCount);
  }
}

TEST(BlockFileRead, ValuesFromTheOffsetField) {
  const std::string path = TempPath("offset40.env");
  // The first value is skipped: the values start at byte 40.
  WriteBytes(path, File({2, 0, 0, 0}, {40, 0, 0, 0}, kZero, kOne, 0, 0, {kFive, kOne, kTwo}));
  Block b;
  ASSERT_TRUE(b.ReadFromFile(path.c_str()));
  EXPECT_EQ(ValuesOf(b), (std::vector<double>{1.0, 2.0}));
  ASSERT_TRUE(b.ReadFromFile(path.c_str(), 1, -1));
  EXPECT_EQ(ValuesOf(b), (std::vector<double>{2.0}));
}

TEST(BlockFileRead, RejectedFilesLeaveTheBlockAlone) {
  const Bytes five = FiveValues();
  auto patched = [&five](std::initializer_list<std::pair<int, unsigned char>> changes) {
    Bytes bytes = five;
    for (const auto& [at, value] : changes) bytes.at(at) = value;
    return bytes;
  };
  const std::pair<const char*, Bytes> files[] = {
      {"magic B", patched({{0, 'b'}})},
      {"magic L", patched({{1, 'l'}})},
      {"magic O", patched({{2, 'o'}})},
      {"magic W", patched({{3, 'w'}})},
      {"empty file", {}},
      {"header cut at 31 bytes", Bytes(five.begin(), five.begin() + 31)},
      {"header only, count 5", Bytes(five.begin(), five.begin() + 32)},
      {"count 0, written for an empty block", File({0, 0, 0, 0}, {32, 0, 0, 0}, kZero, kOne, 0, 0)},
      {"count -2", patched({{4, 0xFE}, {5, 0xFF}, {6, 0xFF}, {7, 0xFF}})},
      {"offset -8", patched({{8, 0xF8}, {9, 0xFF}, {10, 0xFF}, {11, 0xFF}})},
      {"offset 4096, past the end", patched({{8, 0x00}, {9, 0x10}})},
  };
  for (const auto& [what, bytes] : files) {
    SCOPED_TRACE(what);
    const std::string path = TempPath("rejected.env");
    WriteBytes(path, bytes);
    ExpectReadFails(path);
  }
  ExpectReadFails(TempPath("missing.env"));
  EXPECT_FALSE(BlockFileHeader(TempPath("missing.env").c_str()).IsValid());
}

// A header whose count asks for more than the file holds gives the values
// present, and the block is sized by the file: two billion claimed values in
// 40 bytes must not allocate 16 GB.
TEST(BlockFileRead, CountBeyondTheFileGivesTheValuesPresentAndAllocatesNothingLarge) {
  g_largestRequest = 0;
  const std::vector<double> probe(1 << 18);
  ASSERT_GE(g_largestRequest, sizeof(double) << 18);  // the probe sees allocations
  const std::string path = TempPath("liar.env");
  // 2,000,000,000 = 0x77359400.
  const Bytes liar = File({0x00, 0x94, 0x35, 0x77}, {32, 0, 0, 0}, kZero, kOne, 0, 0, {kThree});
  ASSERT_EQ(liar.size(), 40u);
  WriteBytes(path, liar);
  for (int iCount : {-1, 2000000000}) {
    Block b;
    g_largestRequest = 0;
    ASSERT_TRUE(b.ReadFromFile(path.c_str(), 0, iCount));
    EXPECT_LT(g_largestRequest, 1u << 20) << iCount;
    EXPECT_EQ(ValuesOf(b), (std::vector<double>{3.0})) << iCount;
  }
}

}  // namespace
