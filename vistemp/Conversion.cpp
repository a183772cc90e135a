#include "Conversion.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace vistemp {

namespace {

double CheckedDivide(double dividend, double divisor) {
  if (divisor == 0.0) {
    throw FloatingPointError(dividend == 0.0 || std::isnan(dividend) ? kInvalidOperation
                                                                      : kDivisionByZero);
  }
  const double quotient = dividend / divisor;
  if (std::isnan(quotient)) throw FloatingPointError(kInvalidOperation);
  if (std::isinf(quotient)) throw FloatingPointError(kOverflow);
  return quotient;
}

// Walks the rows from the top and gives every column the height of its first ink
// pixel. Row order keeps the reads sequential in memory; the walk ends as soon as
// every column has its ink.
template <typename InkAt>
void TraceRows(double* heights, int width, int height, InkAt inkAt) {
  int untraced = width;
  for (int y = 0; y < height && untraced > 0; ++y) {
    for (int x = 0; x < width; ++x) {
      if (heights[x] == 0.0 && inkAt(y, x)) {
        heights[x] = height - y;
        --untraced;
      }
    }
  }
}

// Ink or not for each colour of a palette picture. Indices beyond the palette
// read as black, as QImage::pixel does.
std::array<bool, 256> InkPalette(const QImage& bitmap, double threshold) {
  std::array<bool, 256> ink;
  ink.fill(IsInk(qRgb(0, 0, 0), threshold));
  const QList<QRgb> colours = bitmap.colorTable();
  for (int i = 0; i < colours.size() && i < 256; ++i) ink[i] = IsInk(colours[i], threshold);
  return ink;
}

}  // namespace

double Luminance(QRgb colour) {
  // One rounding of the exact weighted sum: mid-grey 128 gives exactly 0.5 and
  // white exactly 0.99609375.
  const int weighted = 299 * qRed(colour) + 587 * qGreen(colour) + 114 * qBlue(colour);
  return weighted / 256000.0;
}

bool IsInk(QRgb colour, double threshold) { return Luminance(colour) < threshold; }

void TraceProfile(Block& profile, const QImage& bitmap, double threshold) {
  const int width = bitmap.width();
  const int height = bitmap.height();
  profile.SetSize(width);
  double* heights = profile.GetData();
  if (width == 0) return;

  switch (bitmap.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
      TraceRows(heights, width, height, [&](int y, int x) {
        return IsInk(reinterpret_cast<const QRgb*>(bitmap.constScanLine(y))[x], threshold);
      });
      break;
    case QImage::Format_Indexed8: {
      const std::array<bool, 256> ink = InkPalette(bitmap, threshold);
      TraceRows(heights, width, height,
                [&](int y, int x) { return ink[bitmap.constScanLine(y)[x]]; });
      break;
    }
    case QImage::Format_Mono: {
      const std::array<bool, 256> ink = InkPalette(bitmap, threshold);
      TraceRows(heights, width, height, [&](int y, int x) {
        return ink[(bitmap.constScanLine(y)[x >> 3] >> (7 - (x & 7))) & 1];
      });
      break;
    }
    case QImage::Format_MonoLSB: {
      const std::array<bool, 256> ink = InkPalette(bitmap, threshold);
      TraceRows(heights, width, height, [&](int y, int x) {
        return ink[(bitmap.constScanLine(y)[x >> 3] >> (x & 7)) & 1];
      });
      break;
    }
    default: {
      // Formats the BMP reader does not produce: one conversion, then as above.
      const QImage pixels = bitmap.convertToFormat(QImage::Format_ARGB32);
      TraceRows(heights, width, height, [&](int y, int x) {
        return IsInk(reinterpret_cast<const QRgb*>(pixels.constScanLine(y))[x], threshold);
      });
      break;
    }
  }
  profile.FillGapsLinear();
}

bool MakeEnvelope(Block& out, const Block& profile, bool logMapping, double rangeDb) {
  const int n = profile.GetSize();
  if (n == 0) return false;
  out.SetSize(n);
  out.CopyRange(profile, 0, -1, 0);
  if (logMapping && rangeDb != 0.0) {
    BlockExtremes extremes;
    out.MinMax(extremes, 0, -1);
    // A flat profile has no level differences to map and keeps its raw heights.
    if (extremes.max != extremes.min) {
      out += -extremes.min;
      out *= rangeDb / (extremes.max - extremes.min);
      out.FromDecibels();
    }
  }
  return true;
}

Block Resample(const Block& envelope, int size) {
  const int n = envelope.GetSize();
  BLOCK_REQUIRE(n > 0 && size > 0, "n > 0 && size > 0");
  Block out(size);
  if (size > n) {
    // Source sample i goes to i*(size-1)/(n-1), exactly, so the last one lands on
    // the last output sample whatever the widths.
    if (n == 1) throw FloatingPointError(kDivisionByZero);
    for (int i = 0; i < n; ++i) {
      const auto k = static_cast<int>(std::int64_t{i} * (size - 1) / (n - 1));
      out[k] = envelope[i];
    }
    out.FillGapsCubic(false);
  } else {
    if (size == 1) throw FloatingPointError(n == 1 ? kInvalidOperation : kDivisionByZero);
    for (int j = 0; j < size; ++j) {
      const auto k = static_cast<int>(std::int64_t{j} * (n - 1) / (size - 1));
      out[j] = envelope[k];
    }
  }
  return out;
}

void ScaleTo(Block& envelope, double target) {
  if (envelope.GetSize() == 0) return;
  BlockExtremes extremes;
  envelope.MinMax(extremes, 0, -1);
  envelope *= CheckedDivide(target, extremes.max);
}

}  // namespace vistemp
