#pragma once
// The constants of RhythmGain, shared by its portable and vector forms.

#include <cstdint>

namespace gain_law {

constexpr double kR = 10.0;
constexpr double kLn20 = 2.99573227355399099344;
constexpr double kLog2e = 1.44269504088896340736;
// ln 2 split so that k * kLn2Hi is exact for every exponent k used.
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
// Adding it rounds a number below 2^51 in magnitude to an integer, which then
// stands in the low bits of the sum.
constexpr double kShifter = 6755399441055744.0;  // 1.5 * 2^52
constexpr std::uint64_t kShifterBits = 0x4338000000000000u;
constexpr double kHighest = 709.0;  // exp beyond this: infinity
constexpr double kLowest = -708.0;  // exp below this: 0
// exp(r) = 1 + r + r^2/2! + ... + r^13/13!, |r| <= ln 2 / 2.
constexpr int kDegree = 13;
constexpr double kInverseFactorial[kDegree + 1] = {
    1.0,
    1.0,
    1.0 / 2,
    1.0 / 6,
    1.0 / 24,
    1.0 / 120,
    1.0 / 720,
    1.0 / 5040,
    1.0 / 40320,
    1.0 / 362880,
    1.0 / 3628800,
    1.0 / 39916800,
    1.0 / 479001600,
    1.0 / 6227020800,
};

}  // namespace gain_law
