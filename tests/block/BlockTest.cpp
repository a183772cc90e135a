// Block operations on values worked out by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "BlockValues.h"

namespace {

Block& Complex(Block& b) {
  b.SetDomain(dmComp);
  return b;
}

TEST(BlockAttributes, CopyTakesTheValuesAndSetSizeStartsAfreshEvenAtTheSameSize) {
  const std::vector<double> values = {1.5, -2.0, 3.25};
  Block b = MakeBlock(values);
  b.GetStep() = 0.5;
  b.GetStart() = 2.0;
  b.SetDomain(dmComp);
  b.SetUserFlag(9);
  b.SetCheckRange(false);
  b.GetUnit()[0] = 'V';
  const Block copy(b);
  EXPECT_EQ(Contents(copy), Contents(MakeBlock(values)));
  EXPECT_STREQ(copy.GetUnit(), "");
  b.SetSize(3);
  EXPECT_EQ(Contents(b), Contents(Block(3)));
  EXPECT_STREQ(b.GetUnit(), "");
  EXPECT_TRUE(b.SetCheckRange(true));
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

TEST(BlockRange, DefaultEndDependsOnTheDomainAndAnExplicitEndStays) {
  struct Case {
    TDomain domain;
    int size, iKf, expectedEnd;
  };
  for (const Case& c : {Case{dmReal, 8, -1, 7}, Case{dmComp, 8, -1, 7}, Case{dmPower, 8, -1, 3},
                        Case{dmPower, 7, -1, 3}, Case{dmPower, 2, -1, 0}, Case{dmPower, 8, 5, 5}}) {
    Block b(c.size);
    b.SetDomain(c.domain);
    int iKd = 0, iKf = c.iKf;
    b.NormalizeRange(iKd, iKf);
    EXPECT_EQ(iKf, c.expectedEnd) << c.size << " values, domain " << int{c.domain};
  }
}

TEST(BlockStatistics, MinMaxFirstIndexWinsAmongEqualExtremes) {
  struct Case {
    std::vector<double> values;
    int iKd, iKf;
    double max, min;
    int maxPos, minPos;
  };
  const Case cases[] = {
      {{3, 1, 3, 1}, 0, -1, 3, 1, 0, 1},          {{5}, 0, -1, 5, 5, 0, 0},
      {{-1, -1, -1}, 0, -1, -1, -1, 0, 0},        {{0, 9, -4, 9, -4, 2}, 1, 4, 9, -4, 1, 2},
      {{0, 9, -4, 9, -4, 2}, 3, -1, 9, -4, 3, 4}, {{1, 2, 3, 4}, 0, -1, 4, 1, 3, 0},
  };
  for (const Case& c : cases) {
    BlockExtremes e{};
    MakeBlock(c.values).MinMax(e, c.iKd, c.iKf);
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

TEST(BlockOperations, WorkedExamples) {
  struct Case {
    const char* name;
    std::vector<double> input;
    void (*operation)(Block&);
    std::vector<double> expected;
  };
  const Case cases[] = {
      {"+= and -=", {1, 2, 3, 4},
       [](Block& b) { (b += MakeBlock({10, 20, 30, 40})) -= MakeBlock({4, 3, 2, 1}); },
       {7, 19, 31, 43}},
      // Packed as re0 re1 im0 im1: (1 + 3i)(5 + 7i) = -16 + 22i, (2 + 4i)(6 + 8i) = -20 + 40i.
      {"*= complex", {1, 2, 3, 4},
       [](Block& b) {
         Block other = MakeBlock({5, 6, 7, 8});
         Complex(b) *= Complex(other);
       },
       {-16, -20, 22, 40}},
      {"*= with one complex", {1, 2, 3, 4}, [](Block& b) { Complex(b) *= MakeBlock({5, 6, 7, 8}); },
       {5, 12, 21, 32}},
      {"/= complex: element-wise, a zero divisor gives 0", {6, 8, 5, -9},
       [](Block& b) {
         Block other = MakeBlock({2, -4, 0, 3});
         Complex(b) /= Complex(other);
       },
       {3, -2, 0, -3}},
      {"scalar += and *=", {1, -2, 0.5}, [](Block& b) { (b += 1.0) *= 2.0; }, {4, -2, 3}},
      {"Difference", {1, 4, 9, 16}, [](Block& b) { b.Difference(); }, {0, 3, 5, 7}},
      {"Difference of none", {}, [](Block& b) { b.Difference(); }, {}},
      {"FromDecibels", {0, 10, -10, 3}, [](Block& b) { b.FromDecibels(); },
       {1, 10, 0.1, std::pow(10.0, 0.3)}},
      {"ToDecibels", {100, 0, -5, 0.01}, [](Block& b) { b.ToDecibels(); }, {20, -20, -20, -20}},
      {"ToDecibels without positives", {0, -1}, [](Block& b) { b.ToDecibels(); }, {0, -1}},
      {"SignedSqrt", {4, -9, 0, 2.25}, [](Block& b) { b.SignedSqrt(); }, {2, -3, 0, 1.5}},
      {"RemoveMean", {1, 2, 3, 6}, [](Block& b) { b.RemoveMean(); }, {-2, -1, 0, 3}},
      {"CumulativeSum", {1, 2, -4, 0.5}, [](Block& b) { b.CumulativeSum(); }, {1, 3, -1, -0.5}},
      {"Abs", {-1.5, 0, 2}, [](Block& b) { b.Abs(); }, {1.5, 0, 2}},
      {"Clip", {-5, 0.5, 5}, [](Block& b) { b.Clip(1, -1); }, {-1, 0.5, 1}},
      {"Clip of none to one value", {}, [](Block& b) { b.Clip(2, 2); }, {}},
      {"Fill", {1, 2, 3, 4}, [](Block& b) { b.Fill(7, 1, 2); }, {1, 7, 7, 4}},
      {"TakeMax", {1, 5, -2, 0}, [](Block& b) { b.TakeMax(MakeBlock({3, 4, -1, 0})); },
       {3, 5, -1, 0}},
      // Bins of width 0.5 from 1.0, not cleared first; values outside land in the end bins.
      {"Histogram", {10, 0, 0, 0},
       [](Block& hist) {
         hist.GetStart() = 1.0;
         hist.GetStep() = 0.5;
         MakeBlock({1.0, 1.49, 1.5, 2.9, -7.0, 100.0, 2.0}).Histogram(hist);
       },
       {13, 1, 1, 2}},
      {"CopyRange", {0, 0, 0, 0, 0, 0},
       [](Block& b) { b.CopyRange(MakeBlock({1, 2, 3, 4, 5}), 1, 3, 2); }, {0, 0, 2, 3, 4, 0}},
      // Overlapping: a move, not a forward copy.
      {"CopyRange within one block", {1, 2, 3, 4, 5}, [](Block& b) { b.CopyRange(b, 0, 2, 2); },
       {1, 2, 1, 2, 3}},
      {"FillGapsLinear", {0, 2, 0, 0, 8, 0}, [](Block& b) { b.FillGapsLinear(); },
       {0, 2, 4, 6, 8, 0}},
      {"FillGapsLinear twice", {1, 0, 3, 0, 0, 0, -1}, [](Block& b) { b.FillGapsLinear(); },
       {1, 2, 3, 2, 1, 0, -1}},
      {"FillGapsLinear all zero", {0, 0, 0}, [](Block& b) { b.FillGapsLinear(); }, {0, 0, 0}},
      {"FillGapsCubic", {0, 1, 0, 0, 0, 5, 0}, [](Block& b) { b.FillGapsCubic(false); },
       {0, 1, 1.625, 3, 4.375, 5, 0}},
      // Cyclic: the gap before the 2 continues from the 4 one period earlier
      // and the gap after the 4 runs towards the 2 one period later; every gap
      // here is 3 long: a + (b - a) k^2 (9 - 2k) / 27.
      {"FillGapsCubic cyclic", {0, 2, 0, 0, 4, 0}, [](Block& b) { b.FillGapsCubic(true); },
       {4 - 2 * 20.0 / 27, 2, 2 + 2 * 7.0 / 27, 2 + 2 * 20.0 / 27, 4, 4 - 2 * 7.0 / 27}},
      {"FillGapsCubic cyclic one value", {0, 0, 2, 0}, [](Block& b) { b.FillGapsCubic(true); },
       {2, 2, 2, 2}},
      {"FillGapsCubic cyclic all zero", {0, 0, 0}, [](Block& b) { b.FillGapsCubic(true); },
       {0, 0, 0}},
      {"FillGapsCubic of none", {}, [](Block& b) { b.FillGapsCubic(true); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Block b = MakeBlock(c.input);
    c.operation(b);
    ExpectValuesNear(b, c.expected, 1e-12);
  }
}

TEST(BlockGaps, LongCubicGapStaysBetweenItsAnchorsAndIsSymmetric) {
  const int gap = 2000, p = 5, q = p + gap + 1;
  const double a = 1.0, b = 3.0;
  for (bool cyclic : {false, true}) {
    SCOPED_TRACE(cyclic);
    Block block(q + 7);
    block[p] = a;
    block[q] = b;
    block.FillGapsCubic(cyclic);
    for (int k = 1; k <= gap + 1; ++k) {
      ASSERT_GE(block[p + k], block[p + k - 1]) << k;  // a smooth step never turns back
      // Point symmetry about the middle: as far above a as the mirror point is below b.
      ASSERT_NEAR(block[p + k] - a, b - block[q - k], 1e-12) << k;
    }
    EXPECT_LT(block[p + 1000], (a + b) / 2);  // the middle lies between k = 1000 and 1001
    EXPECT_GT(block[p + 1001], (a + b) / 2);
    // Outside the gap: untouched, or cyclic, the wrap-around gap between the same anchors.
    for (int i = 0; i < block.GetSize(); ++i) {
      if (i >= p && i <= q) continue;
      const bool betweenAnchors = block[i] >= a && block[i] <= b;
      ASSERT_TRUE(cyclic ? betweenAnchors : block[i] == 0.0) << i << ": " << block[i];
    }
  }
}

TEST(BlockSpectra, PolarFormBothWays) {
  // Two elements (3 + 4i) and (0 - 2i), packed as re0 re1 im0 im1.
  Block packed = MakeBlock({3, 0, 4, -2});
  packed.GetStart() = 1.5;
  packed.GetStep() = 0.25;
  Block mag(7), phase(2);
  packed.ToPolar(mag, phase);
  ExpectValuesNear(mag, {5, 2}, 1e-15);
  ExpectValuesNear(phase, {-std::atan2(4.0, 3.0) * 180.0 / std::numbers::pi, 90.0}, 1e-12);
  EXPECT_EQ(mag.GetStart(), 1.5);
  EXPECT_EQ(phase.GetStep(), 0.25);
  Block back;
  back.FromPolar(mag, phase);
  ExpectValuesNear(back, {3, 0, 4, -2}, 1e-12);

  Block zeroMag, zeroPhase;
  Block(2).ToPolar(zeroMag, zeroPhase);
  EXPECT_EQ(zeroPhase[0], 0.0);
}

TEST(BlockConvolve, KernelOrientationEvenKernelsAndStopping) {
  // An impulse at index 2 reproduces the kernel, centred on it.
  const std::vector<double> cases[][2] = {
      {{1, 2, 3}, {0, 1, 2, 3, 0}},
      {{1, 2}, {0, 1, 2, 0, 0}},  // tap beyond the even kernel's end reads 0
      {{4}, {0, 0, 4, 0, 0}},
      {{1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1}},
  };
  for (const auto& [kernelValues, expected] : cases) {
    SCOPED_TRACE(::testing::PrintToString(kernelValues));
    Block b = MakeBlock({0, 0, 1, 0, 0}), kernel = MakeBlock(kernelValues);
    b.Convolve(kernel, nullptr, 0);
    EXPECT_EQ(ValuesOf(b), expected);
    EXPECT_TRUE(kernel.SetCheckRange(true));  // switched back on
  }
  Block b = MakeBlock({1, 1, 1, 1, 1, 1}), kernel = MakeBlock({1, 1, 1});
  ProgressCounter progress(2);  // steps 3: calls at 0, 2, 4; the second stops
  b.Convolve(kernel, &progress, 3);
  EXPECT_EQ(progress.calls, 2);
  EXPECT_EQ(ValuesOf(b), (std::vector<double>{2, 3, 1, 1, 1, 1}));
}

TEST(BlockLog2, PowersOfTwo) {
  const int cases[][2] = {{1, 0}, {2, 1}, {1024, 10}, {1 << 30, 30}};
  for (const auto& [n, m] : cases) EXPECT_EQ(Log2(n), m) << n;
}

}  // namespace
