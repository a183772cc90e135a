#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "Autocorrelation.h"

// Against the plain sum, for lengths on and off the powers of two and lags up
// to the last: a packing or padding fault shows up as wrapped or scaled lags.
TEST(Autocorrelation, EqualsThePlainSum) {
  std::mt19937 engine(7);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  for (const auto& [n, maxLag] : {std::pair{1, 0}, {2, 1}, {5, 4}, {64, 63}, {1000, 300}, {4096, 10}}) {
    std::vector<double> x(static_cast<std::size_t>(n));
    for (double& v : x) v = uniform(engine);
    const std::vector<double> r = Autocorrelation(x.data(), n, maxLag);
    ASSERT_EQ(r.size(), static_cast<std::size_t>(maxLag) + 1);
    for (int tau = 0; tau <= maxLag; ++tau) {
      double expected = 0.0;
      for (int j = 0; j + tau < n; ++j) expected += x[static_cast<std::size_t>(j)] * x[static_cast<std::size_t>(j + tau)];
      EXPECT_NEAR(r[static_cast<std::size_t>(tau)], expected, 1e-9 * n) << "n " << n << " lag " << tau;
    }
  }
}
