#include "EnvelopeCurve.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "Block.h"
#include "FileCheck.h"
#include "TextToNumber.h"

bool EnvelopePointsFromFile(const std::string& fileName, int hidden, std::vector<double>& points) {
  Block file;
  // A named pipe would block the read.
  if (!IsRegularFile(fileName) || !file.ReadFromFile(fileName.c_str(), 0, -1)) return false;
  const int m = file.GetSize();
  const int n = m - hidden;
  if (n < 2) return false;
  const double* values = file.GetData();
  if (!std::all_of(values, values + m, [](double v) { return std::isfinite(v); })) return false;
  BlockExtremes range;
  file.MinMax(range);
  const double span = range.max - range.min;
  // All equal; or so far apart that the span overflows and the scale would be 0.
  if (!(span > 0.0 && std::isfinite(span))) return false;
  file += -range.min;
  file *= 1.0 / span;
  // A span below the smallest normal number makes 1 / span infinite.
  if (!std::all_of(values, values + m, [](double v) { return v >= 0.0 && v <= 1.0; })) return false;

  // The file never has fewer values than there are points: take every
  // (m / n)-th value, or all of them.
  points.resize(static_cast<std::size_t>(n));
  const double step = static_cast<double>(m) / n;
  for (int i = 0; i < n; ++i) points[i] = m > n ? file[static_cast<int>(std::floor(i * step))] : file[i];
  return true;
}

std::vector<double> CyclicCurve(const std::vector<double>& anchors, int count) {
  Block curve(count);
  const int k = static_cast<int>(anchors.size());
  // The cubic fills exact zeros; the smallest positive number stands in for an
  // anchor of 0 and rounds to 0 in the table.
  for (int j = 0; j < k; ++j) {
    curve[static_cast<int>(static_cast<long long>(j) * count / k)] =
        anchors[j] != 0.0 ? anchors[j] : std::numeric_limits<double>::denorm_min();
  }
  curve.FillGapsCubic(true);
  return std::vector<double>(curve.GetData(), curve.GetData() + count);
}

std::vector<double> TestCurveAnchors() { return {1.0, 0.1, 0.7, 0.2}; }

namespace {

// Adds one to the number whose digits end at `last` (digits and one '.' at most).
void RoundUp(std::string& digits, std::size_t last) {
  for (std::size_t i = last + 1; i-- > 0;) {
    if (digits[i] == '.') continue;
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// The printed form of |value| cut after `kept` characters, rounded half away
// from zero on its exact decimal expansion, as the table's formatting rounds.
std::string CutHalfAway(std::string digits, std::size_t kept) {
  const bool up = kept < digits.size() && digits[kept] >= '5';
  digits.resize(kept);
  if (up) RoundUp(digits, kept - 1);
  return digits;
}

// |value|'s exact decimal expansion to 120 places, in fixed or scientific
// notation. to_chars, unlike printf, writes a point whatever the C locale
// (which a Qt program takes from the environment).
std::string Printed(double value, std::chars_format format) {
  char text[512];
  const std::to_chars_result end = std::to_chars(text, text + sizeof text, std::fabs(value), format, 120);
  return std::string(text, end.ptr);
}

// value with `decimals` decimals.
double Fixed(double value, int decimals) {
  const std::string digits = Printed(value, std::chars_format::fixed);
  const std::string cut = CutHalfAway(digits, digits.find('.') + 1 + decimals);
  const double magnitude = TextToNumber(cut, ".");
  return value < 0 ? -magnitude : magnitude;
}

// value with `precision` significant digits.
double Significant(double value, int precision) {
  const std::string printed = Printed(value, std::chars_format::scientific);
  const std::size_t e = printed.find('e');
  const std::string mantissa = CutHalfAway(printed.substr(0, e), precision + 1);  // "d." and precision - 1 digits
  const double magnitude = TextToNumber(mantissa + printed.substr(e), ".");
  return value < 0 ? -magnitude : magnitude;
}

}  // namespace

double TableValue(double value) {
  // At most 4 significant digits first, then 2 decimals, as the table writes it.
  double v = value;
  if (std::isfinite(value) && value != 0) {
    const double rounded = Significant(value, 4);
    v = std::fabs(rounded) >= 1e4 ? rounded : Fixed(rounded, 2);
  }
  v = static_cast<float>(v);
  if (!(v >= 0.0)) return 0.0;
  return v > 1.0 ? 1.0 : v;
}
