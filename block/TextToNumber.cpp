#include "TextToNumber.h"

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

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

double Convert(const std::string& number) {
  double value = 0.0;
  const char* first = number.data();
  const char* last = first + number.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (error == std::errc::result_out_of_range) {
    // from_chars leaves the value alone on range errors; follow strtod instead.
    const std::size_t digits = number.find_first_of("123456789");
    const std::size_t e = number.find('e');
    const bool tiny = digits == std::string::npos || (e != std::string::npos && number[e + 1] == '-');
    const double magnitude = tiny ? 0.0 : HUGE_VAL;
    return number[0] == '-' ? -magnitude : magnitude;
  }
  return error == std::errc() && end == last ? value : 0.0;
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
