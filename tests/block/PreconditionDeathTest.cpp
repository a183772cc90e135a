// Precondition failures: the exact message, then exit code 3.

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

#include "Block.h"

namespace {

std::string Message(const std::string& condition, const std::string& file) {
  std::string escaped;
  for (char c : condition) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) escaped += '\\';
    escaped += c;
  }
  return "Assertion failed: " + escaped + ", file " + file + "\\.(cpp|h), line [0-9]+";
}

const std::string kRange = Message("iKd<m_iSize && iKf<m_iSize || iKd<iKf", "Block");
const std::string kSizes = Message("m_iSize==bOper.m_iSize", "Block");

TEST(BlockDeathTest, ElementAccessOutsideWhileChecking) {
  EXPECT_EXIT(
      {
        Block b(3);
        b[3] = 1.0;
      },
      ::testing::ExitedWithCode(3), Message("!m_bDoCheckRange", "Block"));
  EXPECT_EXIT(
      {
        const Block b(3);
        std::printf("%f", b[-1]);
      },
      ::testing::ExitedWithCode(3), Message("!m_bDoCheckRange", "Block"));
}

TEST(BlockDeathTest, RangesOutsideTheBlock) {
  struct Case {
    int size, iKd, iKf;
  };
  // Both past the end and not ascending; then the ranges that pass that
  // check but still leave the block: a negative start, an end at or past the
  // size; and the whole range of an empty block.
  for (const Case& c : {Case{4, 5, 4}, Case{4, -1, 2}, Case{4, 1, 4}, Case{4, 0, 100}, Case{0, 0, -1}}) {
    SCOPED_TRACE(::testing::Message() << c.size << ": " << c.iKd << ", " << c.iKf);
    EXPECT_EXIT(Block(c.size).Fill(1.0, c.iKd, c.iKf), ::testing::ExitedWithCode(3), kRange);
    EXPECT_EXIT(Block(c.size).Sum(c.iKd, c.iKf), ::testing::ExitedWithCode(3), kRange);
  }
  BlockExtremes e{};
  EXPECT_EXIT(Block().MinMax(e), ::testing::ExitedWithCode(3), kRange);
}

TEST(BlockDeathTest, CopyRangeOutsideEitherBlock) {
  const std::string copyRange = Message("iKf-iKd+iKn<m_iSize && iKn>=0 && iKd<=iKf", "Block");
  EXPECT_EXIT(Block(4).CopyRange(Block(4), 0, 3, 1), ::testing::ExitedWithCode(3), copyRange);
  EXPECT_EXIT(Block(4).CopyRange(Block(4), 0, 1, -1), ::testing::ExitedWithCode(3), copyRange);
  EXPECT_EXIT(Block(4).CopyRange(Block(4), 2, 1, 0), ::testing::ExitedWithCode(3), copyRange);
  // A destination index so large that the sum in the check would overflow.
  EXPECT_EXIT(Block(4).CopyRange(Block(4), 0, 1, std::numeric_limits<int>::max()),
              ::testing::ExitedWithCode(3), copyRange);
  EXPECT_EXIT(Block(8).CopyRange(Block(2), 0, 5, 0), ::testing::ExitedWithCode(3),
              Message("iKf<src.GetSize()", "Block"));
}

TEST(BlockDeathTest, OperatorsOnBlocksOfDifferentSizes) {
  EXPECT_EXIT(Block(3) += Block(4), ::testing::ExitedWithCode(3), kSizes);
  EXPECT_EXIT(Block(3) -= Block(2), ::testing::ExitedWithCode(3), kSizes);
  EXPECT_EXIT(Block(3) *= Block(0), ::testing::ExitedWithCode(3), kSizes);
  EXPECT_EXIT(Block(0) /= Block(1), ::testing::ExitedWithCode(3), kSizes);
}

TEST(BlockDeathTest, Log2OfWhatIsNoPowerOfTwo) {
  for (int n : {1000, 0, -4, 3, (1 << 30) + 1}) {
    SCOPED_TRACE(n);
    EXPECT_EXIT(Log2(n), ::testing::ExitedWithCode(3), Message("(1 << M) == N", "Block"));
  }
}

TEST(BlockDeathTest, FromPolarWithSizesThatDiffer) {
  EXPECT_EXIT(Block().FromPolar(Block(3), Block(2)), ::testing::ExitedWithCode(3),
              Message("bPhase.GetSize() == nk", "Block"));
}

void ReportWithPrefix(const char* message) { std::fprintf(stderr, "reported: %s\n", message); }

TEST(BlockDeathTest, ReplacedReporterGetsTheMessageAndTheProgramStillEnds) {
  EXPECT_EXIT(
      {
        SetPreconditionReporter(&ReportWithPrefix);
        Log2(6);
      },
      ::testing::ExitedWithCode(3), "reported: " + Message("(1 << M) == N", "Block"));
  // The default reporter comes back with nullptr.
  EXPECT_EXIT(
      {
        SetPreconditionReporter(&ReportWithPrefix);
        SetPreconditionReporter(nullptr);
        Log2(6);
      },
      ::testing::ExitedWithCode(3), "^" + Message("(1 << M) == N", "Block"));
}

}  // namespace
