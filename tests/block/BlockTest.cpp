// Block operations on values worked out by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <numbers>
#include <vector>

#include "Block.h"

namespace {

Block MakeBlock(std::initializer_list<double> values) {
  Block b(static_cast<int>(values.size()));
  int i = 0;
  for (double v : values) b[i++] = v;
  return b;
}

std::vector<double> ValuesOf(const Block& b) {
  return std::vector<double>(b.GetData(), b.GetData() + b.GetSize());
}

void ExpectValuesNear(const Block& b, const std::vector<double>& expected, double tolerance) {
  ASSERT_EQ(b.GetSize(), static_cast<int>(expected.size()));
  for (int i = 0; i < b.GetSize(); ++i) EXPECT_NEAR(b[i], expected[i], tolerance) << "value " << i;
}

TEST(BlockAttributes, SetSizeStartsAfreshEvenAtTheSameSize) {
  Block b(4);
  b.Fill(3.0);
  b.GetStep() = 0.5;
  b.GetStart() = 2.0;
  b.SetDomain(dmComp);
  b.SetUserFlag(9);
  b.SetCheckRange(false);
  b.GetUnit()[0] = 'V';
  b.SetSize(4);
  EXPECT_EQ(ValuesOf(b), std::vector<double>(4, 0.0));
  EXPECT_EQ(b.GetStep(), 1.0);
  EXPECT_EQ(b.GetStart(), 0.0);
  EXPECT_EQ(b.GetDomain(), dmReal);
  EXPECT_EQ(b.GetUserFlag(), 0);
  EXPECT_TRUE(b.SetCheckRange(true));
  EXPECT_STREQ(b.GetUnit(), "");
  b.SetSize(0);
  EXPECT_EQ(b.GetSize(), 0);
  EXPECT_EQ(b.GetData(), nullptr);
}

TEST(BlockAttributes, CopyTakesTheValuesOnly) {
  Block original = MakeBlock({1.5, -2.0, 3.25});
  original.GetStep() = 0.25;
  original.GetStart() = 4.0;
  original.SetDomain(dmComp);
  original.SetUserFlag(3);
  original.SetCheckRange(false);
  const Block copy(original);
  EXPECT_EQ(ValuesOf(copy), ValuesOf(original));
  EXPECT_NE(copy.GetData(), original.GetData());
  EXPECT_EQ(copy.GetStep(), 1.0);
  EXPECT_EQ(copy.GetStart(), 0.0);
  EXPECT_EQ(copy.GetDomain(), dmReal);
  EXPECT_EQ(copy.GetUserFlag(), 0);
  const Block empty;
  EXPECT_EQ(Block(empty).GetSize(), 0);
}

TEST(BlockAccess, OutOfRangeWithoutCheckingReadsZeroAndLosesWrites) {
  Block b = MakeBlock({1, 2, 3});
  EXPECT_TRUE(b.SetCheckRange(false));
  b[3] = 7.0;
  b[-1] = 8.0;
  EXPECT_EQ(b[3], 0.0);
  EXPECT_EQ(b[-1], 0.0);
  EXPECT_EQ(b[1000000], 0.0);
  EXPECT_EQ(ValuesOf(b), (std::vector<double>{1, 2, 3}));
  EXPECT_FALSE(b.SetCheckRange(true));
}

TEST(BlockRange, DefaultEndDependsOnTheDomain) {
  struct Case {
    TDomain domain;
    int size;
    int expectedEnd;
  };
  for (const Case& c : {Case{dmReal, 8, 7}, Case{dmComp, 8, 7}, Case{dmPower, 8, 3},
                        Case{dmPower, 7, 3}, Case{dmPower, 2, 0}}) {
    Block b(c.size);
    b.SetDomain(c.domain);
    int iKd = 0, iKf = -1;
    b.NormalizeRange(iKd, iKf);
    EXPECT_EQ(iKf, c.expectedEnd) << c.size << " values, domain " << int{c.domain};
    EXPECT_EQ(iKd, 0);
  }
  Block b(8);
  int iKd = 2, iKf = 5;  // an explicit end stays
  b.NormalizeRange(iKd, iKf);
  EXPECT_EQ(iKf, 5);
}

TEST(BlockStatistics, MinMaxFirstIndexWinsAmongEqualExtremes) {
  struct Case {
    std::vector<double> values;
    int iKd, iKf;
    double max, min;
    int maxPos, minPos;
  };
  const Case cases[] = {
      {{3, 1, 3, 1}, 0, -1, 3, 1, 0, 1},
      {{5}, 0, -1, 5, 5, 0, 0},
      {{-1, -1, -1}, 0, -1, -1, -1, 0, 0},
      {{0, 9, -4, 9, -4, 2}, 1, 4, 9, -4, 1, 2},
      {{0, 9, -4, 9, -4, 2}, 3, -1, 9, -4, 3, 4},
      {{1, 2, 3, 4}, 0, -1, 4, 1, 3, 0},
  };
  for (const Case& c : cases) {
    Block b(static_cast<int>(c.values.size()));
    for (int i = 0; i < b.GetSize(); ++i) b[i] = c.values[i];
    BlockExtremes e{};
    b.MinMax(e, c.iKd, c.iKf);
    SCOPED_TRACE(::testing::PrintToString(c.values));
    EXPECT_EQ(e.max, c.max);
    EXPECT_EQ(e.min, c.min);
    EXPECT_EQ(e.maxPos, c.maxPos);
    EXPECT_EQ(e.minPos, c.minPos);
  }
}

TEST(BlockStatistics, SumMeanAndSampleDeviation) {
  const Block b = MakeBlock({2, 4, 4, 4, 5, 5, 7, 9});
  EXPECT_EQ(b.Sum(), 40.0);
  EXPECT_EQ(b.Mean(), 5.0);
  EXPECT_DOUBLE_EQ(b.StdDev(), std::sqrt(32.0 / 7.0));
  EXPECT_EQ(b.Sum(1, 3), 12.0);
  EXPECT_EQ(b.Mean(6, -1), 8.0);
  EXPECT_DOUBLE_EQ(b.StdDev(6, 7), std::sqrt(2.0));
  // One value: the divisor n - 1 is zero and the result is not a number.
  EXPECT_TRUE(std::isnan(b.StdDev(2, 2)));
}

TEST(BlockArithmetic, BlockOperatorsElementWiseAndComplex) {
  {
    Block a = MakeBlock({1, 2, 3, 4});
    a += MakeBlock({10, 20, 30, 40});
    EXPECT_EQ(ValuesOf(a), (std::vector<double>{11, 22, 33, 44}));
    a -= MakeBlock({1, 2, 3, 4});
    EXPECT_EQ(ValuesOf(a), (std::vector<double>{10, 20, 30, 40}));
  }
  {
    // (1 + 3i)(5 + 7i) = -16 + 22i and (2 + 4i)(6 + 8i) = -20 + 40i.
    Block a = MakeBlock({1, 2, 3, 4}), b = MakeBlock({5, 6, 7, 8});
    a.SetDomain(dmComp);
    b.SetDomain(dmComp);
    a *= b;
    EXPECT_EQ(ValuesOf(a), (std::vector<double>{-16, -20, 22, 40}));
    EXPECT_EQ(a.GetDomain(), dmComp);
  }
  {
    Block a = MakeBlock({1, 2, 3, 4}), b = MakeBlock({5, 6, 7, 8});
    a.SetDomain(dmComp);  // only one of them complex: element by element
    a *= b;
    EXPECT_EQ(ValuesOf(a), (std::vector<double>{5, 12, 21, 32}));
  }
  {
    Block a = MakeBlock({6, 8, 5, -9}), b = MakeBlock({2, -4, 0, 3});
    a.SetDomain(dmComp);
    b.SetDomain(dmComp);  // division is element-wise whatever the domains
    a /= b;
    EXPECT_EQ(ValuesOf(a), (std::vector<double>{3, -2, 0, -3}));
  }
  {
    Block a = MakeBlock({1, -2, 0.5});
    a.GetStep() = 0.5;
    a.GetStart() = 3.0;
    (a += 1.0) *= 2.0;
    EXPECT_EQ(ValuesOf(a), (std::vector<double>{4, -2, 3}));
    EXPECT_EQ(a.GetStep(), 0.5);
    EXPECT_EQ(a.GetStart(), 3.0);
  }
}

TEST(BlockValueOperations, OneLinersOnWorkedExamples) {
  struct Case {
    const char* name;
    std::vector<double> input;
    Block& (*operation)(Block&);
    std::vector<double> expected;
  };
  const Case cases[] = {
      {"Difference", {1, 4, 9, 16}, [](Block& b) -> Block& { return b.Difference(); }, {0, 3, 5, 7}},
      {"Difference of one", {5}, [](Block& b) -> Block& { return b.Difference(); }, {0}},
      {"Difference of none", {}, [](Block& b) -> Block& { return b.Difference(); }, {}},
      {"FromDecibels", {0, 10, -10, 3}, [](Block& b) -> Block& { return b.FromDecibels(); },
       {1, 10, 0.1, std::pow(10.0, 0.3)}},
      {"ToDecibels", {100, 0, -5, 0.01}, [](Block& b) -> Block& { return b.ToDecibels(); },
       {20, -20, -20, -20}},
      {"ToDecibels without positives", {0, -1}, [](Block& b) -> Block& { return b.ToDecibels(); },
       {0, -1}},
      {"SignedSqrt", {4, -9, 0, 2.25}, [](Block& b) -> Block& { return b.SignedSqrt(); },
       {2, -3, 0, 1.5}},
      {"RemoveMean", {1, 2, 3, 6}, [](Block& b) -> Block& { return b.RemoveMean(); },
       {-2, -1, 0, 3}},
      {"CumulativeSum", {1, 2, -4, 0.5}, [](Block& b) -> Block& { return b.CumulativeSum(); },
       {1, 3, -1, -0.5}},
      {"Abs", {-1.5, 0, 2}, [](Block& b) -> Block& { return b.Abs(); }, {1.5, 0, 2}},
      {"Clip", {-5, 0.5, 5}, [](Block& b) -> Block& { return b.Clip(1, -1); }, {-1, 0.5, 1}},
      {"Clip to one value", {-5, 0.5, 5}, [](Block& b) -> Block& { return b.Clip(2, 2); },
       {2, 2, 2}},
      {"Clip of none", {}, [](Block& b) -> Block& { return b.Clip(2, 2); }, {}},
      {"Fill", {1, 2, 3, 4}, [](Block& b) -> Block& { return b.Fill(7, 1, 2); }, {1, 7, 7, 4}},
      {"Fill to the end", {1, 2, 3}, [](Block& b) -> Block& { return b.Fill(0.5, 1); },
       {1, 0.5, 0.5}},
      {"FillGapsLinear", {0, 2, 0, 0, 8, 0}, [](Block& b) -> Block& { return b.FillGapsLinear(); },
       {0, 2, 4, 6, 8, 0}},
      {"FillGapsLinear twice", {1, 0, 3, 0, 0, 0, -1},
       [](Block& b) -> Block& { return b.FillGapsLinear(); }, {1, 2, 3, 2, 1, 0, -1}},
      {"FillGapsLinear all zero", {0, 0, 0}, [](Block& b) -> Block& { return b.FillGapsLinear(); },
       {0, 0, 0}},
      {"FillGapsCubic", {0, 1, 0, 0, 0, 5, 0},
       [](Block& b) -> Block& { return b.FillGapsCubic(false); }, {0, 1, 1.625, 3, 4.375, 5, 0}},
      // Cyclic: the gap before the 2 continues from the 4 one period earlier
      // and the gap after the 4 runs towards the 2 one period later; every gap
      // here is 3 long: a + (b - a) k^2 (9 - 2k) / 27.
      {"FillGapsCubic cyclic", {0, 2, 0, 0, 4, 0},
       [](Block& b) -> Block& { return b.FillGapsCubic(true); },
       {4 - 2 * 20.0 / 27, 2, 2 + 2 * 7.0 / 27, 2 + 2 * 20.0 / 27, 4, 4 - 2 * 7.0 / 27}},
      {"FillGapsCubic cyclic one value", {0, 0, 2, 0},
       [](Block& b) -> Block& { return b.FillGapsCubic(true); }, {2, 2, 2, 2}},
      {"FillGapsCubic cyclic all zero", {0, 0, 0},
       [](Block& b) -> Block& { return b.FillGapsCubic(true); }, {0, 0, 0}},
      {"FillGapsCubic all zero", {0, 0, 0},
       [](Block& b) -> Block& { return b.FillGapsCubic(false); }, {0, 0, 0}},
      {"FillGapsCubic of none", {}, [](Block& b) -> Block& { return b.FillGapsCubic(true); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Block b(static_cast<int>(c.input.size()));
    for (int i = 0; i < b.GetSize(); ++i) b[i] = c.input[i];
    Block& result = c.operation(b);
    EXPECT_EQ(&result, &b);
    ExpectValuesNear(b, c.expected, 1e-12);
  }
}

TEST(BlockGaps, LongCubicGapStaysBetweenItsAnchorsAndIsSymmetric) {
  const int gap = 2000;
  const double a = 1.0, b = 3.0;
  for (bool cyclic : {false, true}) {
    SCOPED_TRACE(cyclic);
    // Anchors at 5 and 5 + gap + 1; cyclic, the wrap-around gap is filled too.
    Block block(gap + 12);
    const int p = 5, q = p + gap + 1;
    block[p] = a;
    block[q] = b;
    block.FillGapsCubic(cyclic);
    double previous = a;
    for (int k = 1; k <= gap; ++k) {
      const double v = block[p + k];
      ASSERT_GE(v, a);
      ASSERT_LE(v, b);
      ASSERT_GE(v, previous) << k;  // a smooth step never turns back
      previous = v;
      // Point symmetry about the middle: as far above a as the mirror point is below b.
      ASSERT_NEAR(v - a, b - block[q - k], 1e-12) << k;
    }
    EXPECT_LT(block[p + 1000], (a + b) / 2);  // the middle lies between k = 1000 and 1001
    EXPECT_GT(block[p + 1001], (a + b) / 2);
    if (cyclic) {
      for (int i = 0; i < block.GetSize(); ++i) {
        ASSERT_GE(block[i], a) << i;
        ASSERT_LE(block[i], b) << i;
      }
    } else {
      for (int i = 0; i < p; ++i) EXPECT_EQ(block[i], 0.0);
      for (int i = q + 1; i < block.GetSize(); ++i) EXPECT_EQ(block[i], 0.0);
    }
  }
}

TEST(BlockCopy, CopyRangeMovesValuesAlsoWithinOneBlock) {
  Block dst(6);
  const Block src = MakeBlock({1, 2, 3, 4, 5});
  dst.CopyRange(src, 1, 3, 2);
  EXPECT_EQ(ValuesOf(dst), (std::vector<double>{0, 0, 2, 3, 4, 0}));
  Block self = MakeBlock({1, 2, 3, 4, 5});
  self.CopyRange(self, 0, 2, 2);  // overlapping: a move, not a forward copy
  EXPECT_EQ(ValuesOf(self), (std::vector<double>{1, 2, 1, 2, 3}));
}

TEST(BlockSpectra, PolarFormBothWays) {
  // Two elements (3 + 4i) and (0 - 2i), packed as re0 re1 im0 im1.
  Block packed = MakeBlock({3, 0, 4, -2});
  packed.GetStart() = 1.5;
  packed.GetStep() = 0.25;
  Block mag(7), phase(2);
  phase.GetStep() = 9.0;
  packed.ToPolar(mag, phase);
  ASSERT_EQ(mag.GetSize(), 2);
  ASSERT_EQ(phase.GetSize(), 2);
  EXPECT_DOUBLE_EQ(mag[0], 5.0);
  EXPECT_DOUBLE_EQ(mag[1], 2.0);
  EXPECT_NEAR(phase[0], -std::atan2(4.0, 3.0) * 180.0 / std::numbers::pi, 1e-12);
  EXPECT_NEAR(phase[1], 90.0, 1e-12);
  EXPECT_EQ(mag.GetStart(), 1.5);
  EXPECT_EQ(phase.GetStep(), 0.25);

  Block zero(2);
  Block zeroMag, zeroPhase;
  zero.ToPolar(zeroMag, zeroPhase);
  EXPECT_EQ(zeroPhase[0], 0.0);

  Block back;
  back.FromPolar(mag, phase);
  ExpectValuesNear(back, {3, 0, 4, -2}, 1e-12);
}

TEST(BlockSpectra, TakeMaxAndHistogram) {
  Block a = MakeBlock({1, 5, -2, 0});
  a.TakeMax(MakeBlock({3, 4, -1, 0}));
  EXPECT_EQ(ValuesOf(a), (std::vector<double>{3, 5, -1, 0}));

  // Bins of width 0.5 from 1.0; values outside land in the end bins.
  Block hist(4);
  hist.GetStart() = 1.0;
  hist.GetStep() = 0.5;
  hist[0] = 10.0;  // not cleared first
  const Block values = MakeBlock({1.0, 1.49, 1.5, 2.9, -7.0, 100.0, 2.0});
  EXPECT_EQ(&values.Histogram(hist), &hist);
  EXPECT_EQ(ValuesOf(hist), (std::vector<double>{13, 1, 1, 2}));
}

struct ConvolveProgress {
  int calls = 0;
  int stopAt = -1;
};

bool ConvolveStep(void* user) {
  auto* p = static_cast<ConvolveProgress*>(user);
  return ++p->calls != p->stopAt;
}

TEST(BlockConvolve, KernelOrientationEvenKernelsAndStopping) {
  struct Case {
    std::vector<double> kernel;
    std::vector<double> expected;
  };
  // An impulse at index 2 reproduces the kernel, centred on it.
  const Case cases[] = {
      {{1, 2, 3}, {0, 1, 2, 3, 0}},
      {{1, 2}, {0, 1, 2, 0, 0}},  // tap beyond the even kernel's end reads 0
      {{4}, {0, 0, 4, 0, 0}},
      {{1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.kernel));
    Block b = MakeBlock({0, 0, 1, 0, 0});
    Block kernel(static_cast<int>(c.kernel.size()));
    for (int i = 0; i < kernel.GetSize(); ++i) kernel[i] = c.kernel[i];
    b.Convolve(kernel, nullptr, nullptr, 0);
    EXPECT_EQ(ValuesOf(b), c.expected);
    EXPECT_TRUE(kernel.SetCheckRange(true));  // switched back on
  }
  Block b = MakeBlock({1, 1, 1, 1, 1, 1});
  Block kernel = MakeBlock({1, 1, 1});
  ConvolveProgress progress;
  progress.stopAt = 2;  // steps 3: calls at 0, 2, 4; the second stops
  b.Convolve(kernel, &ConvolveStep, &progress, 3);
  EXPECT_EQ(progress.calls, 2);
  EXPECT_EQ(ValuesOf(b), (std::vector<double>{2, 3, 1, 1, 1, 1}));
}

TEST(BlockLog2, PowersOfTwo) {
  const int cases[][2] = {{1, 0}, {2, 1}, {1024, 10}, {1 << 30, 30}};
  for (const auto& [n, m] : cases) EXPECT_EQ(Log2(n), m) << n;
}

}  // namespace
