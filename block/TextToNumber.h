#pragma once
#include <string_view>

// The number-field rule of both programs. The text is first read as a whole as a
// number written with the given decimal separator (surrounding blanks allowed);
// if that fails, the leading number in C notation is taken (optional sign,
// digits, a point, optional exponent; leading white space skipped); if there is
// none, the result is 0. It never reports an error. Numbers too large for a
// double read as infinity of their sign, as the C library does.
double TextToNumber(std::string_view text, std::string_view decimalSeparator);

// The same rule with the result rounded to single precision.
float TextToNumberSingle(std::string_view text, std::string_view decimalSeparator);
