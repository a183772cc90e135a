#include "TextToNumber.h"

#include <cctype>
#include <cfloat>
#include <clocale>
#include <cstdlib>
#include <cmath>
#include <string>

namespace {

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Scans [sign] digits [separator digits] [exponent] from `pos` and appends the
// number in C notation to `out`. Returns the position after the number, or
// npos when no digit was found. An exponent marker without digits is not part
// of the number.
std::size_t ScanNumber(std::string_view text, std::size_t pos, std::string_view separator,
                       std::string& out) {
  const std::size_t n = text.size();
  if (pos < n && (text[pos] == '+' || text[pos] == '-')) {
    if (text[pos] == '-') out += '-';
    ++pos;
  }
  bool anyDigit = false;
  while (pos < n && IsDigit(text[pos])) {
    out += text[pos++];
    anyDigit = true;
  }
  if (!separator.empty() && text.substr(pos, separator.size()) == separator) {
    std::size_t after = pos + separator.size();
    std::string fraction;
    while (after < n && IsDigit(text[after])) fraction += text[after++];
    if (anyDigit || !fraction.empty()) {
      out += '.';
      out += fraction;
      anyDigit = anyDigit || !fraction.empty();
      pos = after;
    }
  }
  if (!anyDigit) return std::string_view::npos;
  if (pos < n && (text[pos] == 'e' || text[pos] == 'E')) {
    std::size_t e = pos + 1;
    std::string exponent = "e";
    if (e < n && (text[e] == '+' || text[e] == '-')) exponent += text[e++];
    if (e < n && IsDigit(text[e])) {
      while (e < n && IsDigit(text[e])) exponent += text[e++];
      out += exponent;
      pos = e;
    }
  }
  return pos;
}

// strtod of the "C" locale: correctly rounded, independent of the process's
// locale, and on overflow or underflow the infinity or zero the value calls for.
double Convert(const std::string& number) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return strtod_l(number.c_str(), nullptr, cLocale);
}

}  // namespace

double TextToNumber(std::string_view text, std::string_view decimalSeparator) {
  std::string number;
  {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    if (ScanNumber(text.substr(0, end), begin, decimalSeparator, number) == end) return Convert(number);
  }
  number.clear();
  std::size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (ScanNumber(text, pos, ".", number) == std::string_view::npos) return 0.0;
  return Convert(number);
}

float TextToNumberSingle(std::string_view text, std::string_view decimalSeparator) {
  const double value = TextToNumber(text, decimalSeparator);
  // Beyond the largest float plus half its spacing the value rounds to infinity;
  // the cast itself is only defined inside the float range.
  const double limit = static_cast<double>(FLT_MAX) + std::ldexp(1.0, 103);
  if (std::fabs(value) >= limit) return value > 0 ? HUGE_VALF : -HUGE_VALF;
  return static_cast<float>(value);
}
