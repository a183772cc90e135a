// The number-field rule: the locale's form first, then the leading number in
// C notation, then 0.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "TextToNumber.h"

namespace {

TEST(TextToNumber, TableOfFields) {
  const std::string zeros(400, '0');
  struct Case {
    std::string text;
    const char* separator;
    double expected;
  };
  const Case cases[] = {
      // The locale's separator, the whole text.
      {"1,5", ",", 1.5},
      {"1,5e2", ",", 150.0},
      {"  2,5  ", ",", 2.5},
      {",5", ",", 0.5},
      {"7,", ",", 7.0},
      {"+4", ".", 4.0},
      {"2E-2", ".", 0.02},
      {"\t12\n", ".", 12.0},
      // Not a number in the locale's form: the leading number in C notation.
      {"1.5", ",", 1.5},
      {"1,5", ".", 1.0},
      {"12abc", ",", 12.0},
      {"  -7.25x", ",", -7.25},
      {"1 000", ".", 1.0},
      {"3e+", ".", 3.0},
      {"4.5e1x", ",", 45.0},
      {"0x10", ".", 0.0},
      // Nothing numeric: 0.
      {"", ".", 0.0},
      {"   ", ",", 0.0},
      {"abc", ".", 0.0},
      {".", ".", 0.0},
      {"inf", ".", 0.0},
      {"nan", ",", 0.0},
      {"e5", ".", 0.0},
      // Beyond the range of a double: infinity of the sign or 0, by the size
      // of the value and not by the sign of the written exponent.
      {"1e400", ".", HUGE_VAL},
      {"2,5e999", ",", HUGE_VAL},
      {std::string(400, '9'), ".", HUGE_VAL},
      {"1" + zeros + "e-10", ".", HUGE_VAL},
      {"-1" + zeros + "e-10", ".", -HUGE_VAL},
      {"1e-400", ".", 0.0},
      {"0." + zeros + "1", ".", 0.0},
      {"0," + zeros + "1", ",", 0.0},
      {"1e-310", ".", 1e-310},  // subnormal, not zero
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << '"' << c.text << "\" with \"" << c.separator << '"');
    EXPECT_EQ(TextToNumber(c.text, c.separator), c.expected);
  }
}

TEST(TextToNumber, SinglePrecisionRoundsTheDoubleResult) {
  EXPECT_EQ(TextToNumberSingle("0,1", ","), 0.1f);
  EXPECT_EQ(TextToNumberSingle("0.1", ","), 0.1f);
  EXPECT_EQ(TextToNumberSingle("16777217", "."), 16777216.0f);
  EXPECT_EQ(TextToNumberSingle("3.4028234663852886e38", "."), FLT_MAX);
  EXPECT_EQ(TextToNumberSingle("1e39", "."), HUGE_VALF);
  EXPECT_EQ(TextToNumberSingle("-1e39", "."), -HUGE_VALF);
  EXPECT_EQ(TextToNumberSingle("1e-50", "."), 0.0f);
  EXPECT_EQ(TextToNumberSingle("x", "."), 0.0f);
}

}  // namespace
