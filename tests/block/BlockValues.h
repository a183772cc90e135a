#pragma once
// Blocks to and from plain vectors, and a progress callback, for the block tests.

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "Block.h"
#include "Progress.h"

inline Block MakeBlock(const std::vector<double>& values) {
  Block b(static_cast<int>(values.size()));
  for (int i = 0; i < b.GetSize(); ++i) b[i] = values[i];
  return b;
}

inline std::vector<double> ValuesOf(const Block& b) {
  return std::vector<double>(b.GetData(), b.GetData() + b.GetSize());
}

inline void ExpectValuesNear(const Block& b, const std::vector<double>& expected,
                             double tolerance) {
  ASSERT_EQ(b.GetSize(), static_cast<int>(expected.size()));
  for (int i = 0; i < b.GetSize(); ++i) EXPECT_NEAR(b[i], expected[i], tolerance) << "value " << i;
}

// The values with start, step, domain and flag, to compare whole blocks at once.
inline auto Contents(const Block& b) {
  return std::tuple(ValuesOf(b), b.GetStart(), b.GetStep(), static_cast<int>(b.GetDomain()),
                    static_cast<int>(b.GetUserFlag()));
}

// Counts the progress calls; asks to stop at call number stopAt.
struct ProgressCounter : Progress {
  explicit ProgressCounter(int stop = -1) : stopAt(stop) {}
  int calls = 0;
  int stopAt;
  bool Step() override { return ++calls != stopAt; }
};
