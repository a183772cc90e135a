#include "EnvelopeCurve.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "Block.h"
#include "TextToNumber.h"

bool EnvelopePointsFromFile(const std::string& fileName, int hidden, std::vector<double>& points) {
  Block file;
  if (!file.ReadFromFile(fileName.c_str(), 0, -1)) return false;
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

double TableValue(double value) {
  // At most 4 significant digits first, then 2 decimals, as the table writes it.
  char text[64];
  std::snprintf(text, sizeof text, "%.3e", value);
  const double rounded = TextToNumber(text, ".");
  if (std::isfinite(rounded) && rounded != 0 && std::fabs(rounded) >= 1e4) {
    std::snprintf(text, sizeof text, "%.3e", rounded);
  } else {
    std::snprintf(text, sizeof text, "%.2f", rounded);
  }
  const double v = TextToNumberSingle(text, ".");
  if (!(v >= 0.0)) return 0.0;
  return v > 1.0 ? 1.0 : v;
}
