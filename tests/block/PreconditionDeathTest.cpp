// Precondition failures: the exact message, then exit code 3.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <utility>

#include "Block.h"

namespace {

std::string Message(const std::string& condition) {
  std::string escaped;
  for (char c : condition) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) escaped += '\\';
    escaped += c;
  }
  return "Assertion failed: " + escaped + ", file Block\\.(cpp|h), line [0-9]+";
}

TEST(BlockDeathTest, RangesOutsideTheBlock) {
  const std::string range = Message("iKd<m_iSize && iKf<m_iSize || iKd<iKf");
  struct Case {
    int size, iKd, iKf;
  };
  // Both past the end and not ascending; then the ranges that pass that
  // check but still leave the block: a negative start, an end at or past the
  // size; and the whole range of an empty block.
  for (const Case& c :
       {Case{4, 5, 4}, Case{4, -1, 2}, Case{4, 1, 4}, Case{4, 0, 100}, Case{0, 0, -1}}) {
    SCOPED_TRACE(::testing::Message() << c.size << ": " << c.iKd << ", " << c.iKf);
    EXPECT_EXIT(Block(c.size).Fill(1.0, c.iKd, c.iKf), ::testing::ExitedWithCode(3), range);
    EXPECT_EXIT(Block(c.size).Sum(c.iKd, c.iKf), ::testing::ExitedWithCode(3), range);
  }
  BlockExtremes e{};
  EXPECT_EXIT(Block().MinMax(e), ::testing::ExitedWithCode(3), range);
}

TEST(BlockDeathTest, AccessCopiesOperatorsAndPolarFormOutsideTheirSizes) {
  const char* const copyRange = "iKf-iKd+iKn<m_iSize && iKn>=0 && iKd<=iKf";
  const char* const sizes = "m_iSize==bOper.m_iSize";
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[] { Block(3)[3] = 1.0; }, "!m_bDoCheckRange"},
      {[] { std::printf("%f", static_cast<const Block&>(Block(3))[-1]); }, "!m_bDoCheckRange"},
      {[] { Block(4).CopyRange(Block(4), 0, 3, 1); }, copyRange},
      {[] { Block(4).CopyRange(Block(4), 0, 1, -1); }, copyRange},
      {[] { Block(4).CopyRange(Block(4), 2, 1, 0); }, copyRange},
      // A destination index so large that the sum in the check would overflow.
      {[] { Block(4).CopyRange(Block(4), 0, 1, std::numeric_limits<int>::max()); }, copyRange},
      {[] { Block(8).CopyRange(Block(2), 0, 5, 0); }, "iKf<src.GetSize()"},
      {[] { Block(3) += Block(4); }, sizes},
      {[] { Block(3) -= Block(2); }, sizes},
      {[] { Block(3) *= Block(0); }, sizes},
      {[] { Block(0) /= Block(1); }, sizes},
      {[] { Block().FromPolar(Block(3), Block(2)); }, "bPhase.GetSize() == nk"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EXIT(cases[i].first(), ::testing::ExitedWithCode(3), Message(cases[i].second)) << i;
}

TEST(BlockDeathTest, Log2OfWhatIsNoPowerOfTwo) {
  for (int n : {1000, 0, -4, 3, (1 << 30) + 1})
    EXPECT_EXIT(Log2(n), ::testing::ExitedWithCode(3), Message("(1 << M) == N")) << n;
}

void ReportWithPrefix(const char* message) { std::fprintf(stderr, "reported: %s\n", message); }

TEST(BlockDeathTest, ReplacedReporterGetsTheMessageAndTheProgramStillEnds) {
  EXPECT_EXIT((SetPreconditionReporter(&ReportWithPrefix), Log2(6)), ::testing::ExitedWithCode(3),
              "reported: " + Message("(1 << M) == N"));
  // The default reporter comes back with nullptr.
  EXPECT_EXIT(
      (SetPreconditionReporter(&ReportWithPrefix), SetPreconditionReporter(nullptr), Log2(6)),
      ::testing::ExitedWithCode(3), "^" + Message("(1 << M) == N"));
}

}  // namespace
