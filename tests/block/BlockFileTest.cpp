// Block files against bytes written out by hand.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "Block.h"

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

std::string TempPath(const std::string& name) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return ::testing::TempDir() + "blockfile_" + test->name() + "_" + std::to_string(getpid()) +
         "_" + name;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Append(Bytes& bytes, std::initializer_list<unsigned char> more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
}

// Little-endian doubles, spelled out.
constexpr unsigned char kOne[8] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
constexpr unsigned char kTwo[8] = {0, 0, 0, 0, 0, 0, 0x00, 0x40};
constexpr unsigned char kThree[8] = {0, 0, 0, 0, 0, 0, 0x08, 0x40};
constexpr unsigned char kFour[8] = {0, 0, 0, 0, 0, 0, 0x10, 0x40};
constexpr unsigned char kFive[8] = {0, 0, 0, 0, 0, 0, 0x14, 0x40};
constexpr unsigned char kZero[8] = {};

void AppendDouble(Bytes& bytes, const unsigned char (&value)[8]) {
  bytes.insert(bytes.end(), value, value + 8);
}

// "BLOW", count, offset, start, step, domain, flag, two padding bytes.
Bytes Header(std::initializer_list<unsigned char> count, std::initializer_list<unsigned char> offset,
             const unsigned char (&start)[8], const unsigned char (&step)[8], unsigned char domain,
             unsigned char flag) {
  Bytes bytes = {'B', 'L', 'O', 'W'};
  Append(bytes, count);
  Append(bytes, offset);
  AppendDouble(bytes, start);
  AppendDouble(bytes, step);
  Append(bytes, {domain, flag, 0, 0});
  return bytes;
}

// A file of the five values 1 .. 5, start 2.0, step 1.0.
Bytes FiveValues() {
  Bytes bytes = Header({5, 0, 0, 0}, {32, 0, 0, 0}, kTwo, kOne, 0, 0);
  for (const auto* v : {&kOne, &kTwo, &kThree, &kFour, &kFive}) AppendDouble(bytes, *v);
  return bytes;
}

std::vector<double> ValuesOf(const Block& b) {
  return std::vector<double>(b.GetData(), b.GetData() + b.GetSize());
}

// A block that a failed read must leave exactly as it was.
Block Sentinel() {
  Block b(2);
  b[0] = 42.0;
  b[1] = -42.0;
  b.GetStart() = 9.0;
  b.GetStep() = 0.5;
  b.SetDomain(dmComp);
  b.SetUserFlag(5);
  return b;
}

void ExpectSentinel(const Block& b) {
  EXPECT_EQ(ValuesOf(b), (std::vector<double>{42.0, -42.0}));
  EXPECT_EQ(b.GetStart(), 9.0);
  EXPECT_EQ(b.GetStep(), 0.5);
  EXPECT_EQ(b.GetDomain(), dmComp);
  EXPECT_EQ(b.GetUserFlag(), 5);
}

TEST(BlockFileWrite, ThreeValuesGiveTheFiftySixBytesOfTheFormat) {
  Block b(3);
  b[0] = 1.0;
  b[1] = 2.0;
  b[2] = 3.0;
  const std::string path = TempPath("three.env");
  ASSERT_TRUE(b.WriteToFile(path.c_str()));
  // The padding bytes are written as zeros.
  Bytes expected = Header({3, 0, 0, 0}, {0x20, 0, 0, 0}, kZero, kOne, 0, 0);
  for (const auto* v : {&kOne, &kTwo, &kThree}) AppendDouble(expected, *v);
  ASSERT_EQ(expected.size(), 56u);
  EXPECT_EQ(ReadBytes(path), expected);
}

TEST(BlockFileWrite, AttributesLandInTheirHeaderBytes) {
  Block b(1);
  b[0] = 5.0;
  b.GetStart() = 2.0;
  b.GetStep() = 4.0;
  b.SetDomain(dmPower);
  b.SetUserFlag(0xAB);
  const std::string path = TempPath("attributes.env");
  ASSERT_TRUE(b.WriteToFile(path.c_str()));
  Bytes expected = Header({1, 0, 0, 0}, {0x20, 0, 0, 0}, kTwo, kFour, 2, 0xAB);
  AppendDouble(expected, kFive);
  EXPECT_EQ(ReadBytes(path), expected);
}

TEST(BlockFileWrite, EmptyBlockGivesAHeaderThatReadsAsNothing) {
  const std::string path = TempPath("empty.env");
  ASSERT_TRUE(Block().WriteToFile(path.c_str()));
  EXPECT_EQ(ReadBytes(path), Header({0, 0, 0, 0}, {0x20, 0, 0, 0}, kZero, kOne, 0, 0));
  Block target = Sentinel();
  EXPECT_FALSE(target.ReadFromFile(path.c_str()));
  ExpectSentinel(target);
}

TEST(BlockFileWrite, UncreatableFileIsReported) {
  Block b(2);
  EXPECT_FALSE(b.WriteToFile((TempPath("no") + "/such/dir/file.env").c_str()));
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
    Block b = Sentinel();
    ASSERT_TRUE(b.ReadFromFile(path.c_str(), c.iStart, c.iCount));
    EXPECT_EQ(ValuesOf(b), c.expected);
    EXPECT_EQ(b.GetStart(), 2.0);  // not advanced by iStart
    EXPECT_EQ(b.GetStep(), 1.0);
    EXPECT_EQ(b.GetDomain(), dmReal);
    EXPECT_EQ(b.GetUserFlag(), 0);
  }
  for (const auto& [iStart, iCount] : {std::pair{5, -1}, std::pair{6, -1}, std::pair{0, 0}}) {
    SCOPED_TRACE(::testing::Message() << iStart << ", " << iCount);
    Block b = Sentinel();
    EXPECT_FALSE(b.ReadFromFile(path.c_str(), iStart, iCount));
    ExpectSentinel(b);
  }
}

TEST(BlockFileRead, DomainAndFlagBytesAreTakenAsTheyStand) {
  const std::string path = TempPath("domain.env");
  Bytes bytes = Header({1, 0, 0, 0}, {32, 0, 0, 0}, kFour, kTwo, 7, 0xFF);
  AppendDouble(bytes, kThree);
  WriteBytes(path, bytes);
  Block b;
  ASSERT_TRUE(b.ReadFromFile(path.c_str()));
  EXPECT_EQ(ValuesOf(b), (std::vector<double>{3.0}));
  EXPECT_EQ(b.GetStart(), 4.0);
  EXPECT_EQ(b.GetStep(), 2.0);
  EXPECT_EQ(static_cast<int>(b.GetDomain()), 7);
  EXPECT_EQ(b.GetUserFlag(), 0xFF);
}

TEST(BlockFileRead, ValuesFromTheOffsetField) {
  const std::string path = TempPath("offset40.env");
  Bytes bytes = Header({2, 0, 0, 0}, {40, 0, 0, 0}, kZero, kOne, 0, 0);
  AppendDouble(bytes, kFive);  // skipped: the values start at byte 40
  AppendDouble(bytes, kOne);
  AppendDouble(bytes, kTwo);
  WriteBytes(path, bytes);
  Block b;
  ASSERT_TRUE(b.ReadFromFile(path.c_str()));
  EXPECT_EQ(ValuesOf(b), (std::vector<double>{1.0, 2.0}));
  ASSERT_TRUE(b.ReadFromFile(path.c_str(), 1, -1));
  EXPECT_EQ(ValuesOf(b), (std::vector<double>{2.0}));
}

TEST(BlockFileRead, RejectedFilesLeaveTheBlockAlone) {
  std::vector<std::pair<std::string, Bytes>> files;
  for (int i = 0; i < 4; ++i) {
    Bytes bytes = FiveValues();
    bytes[i] ^= 0x20;  // "bLOW", "BlOW", ...
    files.emplace_back("magic byte " + std::to_string(i), bytes);
  }
  const Bytes five = FiveValues();
  files.emplace_back("empty file", Bytes{});
  files.emplace_back("header cut at 31 bytes", Bytes(five.begin(), five.begin() + 31));
  files.emplace_back("header only, count 5", Bytes(five.begin(), five.begin() + 32));
  {
    Bytes negative = FiveValues();
    negative[4] = 0xFE, negative[5] = 0xFF, negative[6] = 0xFF, negative[7] = 0xFF;  // -2
    files.emplace_back("negative count", negative);
  }
  {
    Bytes negative = FiveValues();
    negative[8] = 0xF8, negative[9] = 0xFF, negative[10] = 0xFF, negative[11] = 0xFF;  // -8
    files.emplace_back("negative offset", negative);
  }
  {
    Bytes beyond = FiveValues();
    beyond[8] = 0x00, beyond[9] = 0x10;  // 4096, past the end
    files.emplace_back("offset past the end", beyond);
  }
  for (const auto& [what, bytes] : files) {
    SCOPED_TRACE(what);
    const std::string path = TempPath("rejected.env");
    WriteBytes(path, bytes);
    Block b = Sentinel();
    EXPECT_FALSE(b.ReadFromFile(path.c_str()));
    ExpectSentinel(b);
  }
  Block b = Sentinel();
  EXPECT_FALSE(b.ReadFromFile(TempPath("missing.env").c_str()));
  ExpectSentinel(b);
  EXPECT_FALSE(BlockFileHeader(TempPath("missing.env").c_str()).IsValid());
}

TEST(BlockFileRead, CountBeyondTheFileGivesTheValuesPresent) {
  const std::string path = TempPath("short.env");
  Bytes bytes = Header({10, 0, 0, 0}, {32, 0, 0, 0}, kZero, kOne, 0, 0);
  for (const auto* v : {&kOne, &kTwo, &kThree, &kFour}) AppendDouble(bytes, *v);
  WriteBytes(path, bytes);
  Block b;
  ASSERT_TRUE(b.ReadFromFile(path.c_str()));
  EXPECT_EQ(ValuesOf(b), (std::vector<double>{1, 2, 3, 4}));
}

TEST(BlockFileRead, TwoBillionClaimedValuesInFortyBytesAllocateNothingLarge) {
  const std::string path = TempPath("liar.env");
  // 2,000,000,000 = 0x77359400.
  Bytes bytes = Header({0x00, 0x94, 0x35, 0x77}, {32, 0, 0, 0}, kZero, kOne, 0, 0);
  AppendDouble(bytes, kThree);
  WriteBytes(path, bytes);
  ASSERT_EQ(bytes.size(), 40u);
  g_largestRequest = 0;
  const std::vector<double> probe(1 << 18);
  ASSERT_GE(g_largestRequest, sizeof(double) << 18);  // the probe sees allocations
  Block b;
  g_largestRequest = 0;
  ASSERT_TRUE(b.ReadFromFile(path.c_str()));
  EXPECT_LT(g_largestRequest, 1u << 20);
  EXPECT_EQ(ValuesOf(b), (std::vector<double>{3.0}));
  g_largestRequest = 0;
  ASSERT_TRUE(b.ReadFromFile(path.c_str(), 0, 2000000000));
  EXPECT_LT(g_largestRequest, 1u << 20);
  EXPECT_EQ(b.GetSize(), 1);
}

TEST(BlockFileRoundTrip, WhatIsWrittenReadsBack) {
  Block b(1000);
  for (int i = 0; i < 1000; ++i) b[i] = std::sin(i * 0.01) * 1e3 - 1e-300 * i;
  b.GetStart() = -0.125;
  b.GetStep() = 1.0 / 44100.0;
  b.SetUserFlag(1);
  const std::string path = TempPath("round.env");
  ASSERT_TRUE(b.WriteToFile(path.c_str()));
  Block back;
  ASSERT_TRUE(back.ReadFromFile(path.c_str()));
  EXPECT_EQ(ValuesOf(back), ValuesOf(b));
  EXPECT_EQ(back.GetStart(), b.GetStart());
  EXPECT_EQ(back.GetStep(), b.GetStep());
  EXPECT_EQ(back.GetUserFlag(), 1);
  EXPECT_EQ(ReadBytes(path).size(), 32u + 8u * 1000u);
}

}  // namespace
