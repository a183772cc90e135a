// The number-field rule: the locale's form first, then the leading number in
// C notation, then 0.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "TextToNumber.h"

namespace {

TEST(TextToNumber, TableOfFields) {
  struct Case {
    const char* text;
    const char* separator;
    double expected;
  };
  const Case cases[] = {
      // The locale's separator, the whole text.
      {"1,5", ",", 1.5},
      {"-3,25", ",", -3.25},
      {"1,5e2", ",", 150.0},
      {"  2,5  ", ",", 2.5},
      {",5", ",", 0.5},
      {"7,", ",", 7.0},
      {"2.5", ".", 2.5},
      {"+4", ".", 4.0},
      {"1e3", ".", 1000.0},
      {"2E-2", ".", 0.02},
      {"\t12\n", ".", 12.0},
      // Not a number in the locale's form: the leading number in C notation.
      {"1.5", ",", 1.5},
      {"1,5", ".", 1.0},
      {"12abc", ",", 12.0},
      {"  -7.25x", ",", -7.25},
      {"1 000", ".", 1.0},
      {"3e", ".", 3.0},
      {"3e+", ".", 3.0},
      {"4.5e1x", ",", 45.0},
      {"0x10", ".", 0.0},
      // Nothing numeric: 0.
      {"", ".", 0.0},
      {"   ", ",", 0.0},
      {"abc", ".", 0.0},
      {"-", ".", 0.0},
      {".", ".", 0.0},
      {"inf", ".", 0.0},
      {"nan", ",", 0.0},
      {"e5", ".", 0.0},
      {"0", ",", 0.0},
      {"-0", ",", 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << '"' << c.text << "\" with \"" << c.separator << '"');
    EXPECT_EQ(TextToNumber(c.text, c.separator), c.expected);
  }
}

TEST(TextToNumber, BeyondTheRangeOfADouble) {
  EXPECT_EQ(TextToNumber("1e400", "."), HUGE_VAL);
  EXPECT_EQ(TextToNumber("-1e400", "."), -HUGE_VAL);
  EXPECT_EQ(TextToNumber("2,5e999", ","), HUGE_VAL);
  EXPECT_EQ(TextToNumber("1e-400", "."), 0.0);
  EXPECT_EQ(TextToNumber(std::string(400, '9'), "."), HUGE_VAL);
  EXPECT_EQ(TextToNumber("1e-310", "."), 1e-310);  // subnormal, not zero
}

// Fails today and is left disabled until the reader is mended: on a range
// error the reader decides between 0 and infinity by whether the written
// exponent is negative, not by the size of the value, so a long fraction
// that underflows reads as infinity and a long mantissa with a negative
// exponent that overflows reads as 0.
TEST(TextToNumber, RangeErrorsFollowTheSizeOfTheValue) {
  EXPECT_EQ(TextToNumber("0." + std::string(400, '0') + "1", "."), 0.0);
  EXPECT_EQ(TextToNumber("0," + std::string(400, '0') + "1", ","), 0.0);
  EXPECT_EQ(TextToNumber("1" + std::string(400, '0') + "e-10", "."), HUGE_VAL);
  EXPECT_EQ(TextToNumber("-1" + std::string(400, '0') + "e-10", "."), -HUGE_VAL);
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
