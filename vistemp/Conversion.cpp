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

// 1000 times the luminance's numerator: 299 R + 587 G + 114 B.
int Weight(QRgb colour) { return 299 * qRed(colour) + 587 * qGreen(colour) + 114 * qBlue(colour); }

constexpr double kWeightScale = 256000.0;
constexpr int kMaxWeight = 1000 * 255;

// IsInk without a division per pixel: since the luminance grows with the weight,
// the ink weights at a threshold are those below the first weight that is not
// ink, found here once with the very comparison IsInk makes.
int FirstPaperWeight(double threshold) {
  if (!(threshold > 0.0)) return 0;
  if (threshold > 1.0) return kMaxWeight + 1;
  int weight = static_cast<int>(std::ceil(threshold * kWeightScale));
  while (weight > 0 && (weight - 1) / kWeightScale >= threshold) --weight;
  while (weight <= kMaxWeight && weight / kWeightScale < threshold) ++weight;
  return weight;
}

// Walks the rows from the top and gives every column the height of its first ink
// pixel. Row order keeps the reads sequential in memory; the walk ends as soon as
// every column has its ink.
template <typename InkAt>
void TraceRows(double* heights, const QImage& pixels, InkAt inkAt) {
  const int width = pixels.width();
  const int height = pixels.height();
  int untraced = width;
  for (int y = 0; y < height && untraced > 0; ++y) {
    const uchar* line = pixels.constScanLine(y);
    for (int x = 0; x < width; ++x) {
      if (heights[x] == 0.0 && inkAt(line, x)) {
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
  return Weight(colour) / kWeightScale;
}

bool IsInk(QRgb colour, double threshold) { return Luminance(colour) < threshold; }

void TraceProfile(Block& profile, const QImage& bitmap, double threshold) {
  profile.SetSize(bitmap.width());
  if (bitmap.width() == 0) return;
  double* heights = profile.GetData();

  switch (bitmap.format()) {
    case QImage::Format_Indexed8: {
      const std::array<bool, 256> ink = InkPalette(bitmap, threshold);
      TraceRows(heights, bitmap, [&](const uchar* line, int x) { return ink[line[x]]; });
      break;
    }
    case QImage::Format_Mono: {
      const std::array<bool, 256> ink = InkPalette(bitmap, threshold);
      TraceRows(heights, bitmap,
                [&](const uchar* line, int x) { return ink[(line[x >> 3] >> (7 - (x & 7))) & 1]; });
      break;
    }
    case QImage::Format_MonoLSB: {
      const std::array<bool, 256> ink = InkPalette(bitmap, threshold);
      TraceRows(heights, bitmap,
                [&](const uchar* line, int x) { return ink[(line[x >> 3] >> (x & 7)) & 1]; });
      break;
    }
    default: {
      // 32-bit pixels as they are; formats the BMP reader does not produce are
      // converted once.
      const bool direct =
          bitmap.format() == QImage::Format_RGB32 || bitmap.format() == QImage::Format_ARGB32;
      const QImage pixels = direct ? bitmap : bitmap.convertToFormat(QImage::Format_ARGB32);
      const int firstPaper = FirstPaperWeight(threshold);
      TraceRows(heights, pixels, [&](const uchar* line, int x) {
        return Weight(reinterpret_cast<const QRgb*>(line)[x]) < firstPaper;
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
