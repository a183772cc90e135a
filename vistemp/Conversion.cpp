#include "Conversion.h"


#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "MemoryBudget.h"

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

constexpr double kWeightScale = 256000.0;
constexpr int kMaxWeight = 1000 * 255;
constexpr int kMaxSquaredDistance = 3 * 255 * 255;

// 1000 times the luminance's numerator: 299 R + 587 G + 114 B.
int Weight(Colour colour) { return 299 * RedOf(colour) + 587 * GreenOf(colour) + 114 * BlueOf(colour); }

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

// The largest squared distance whose root is within the tolerance; -1 when
// not even the picked colour itself is (a negative or undefined tolerance).
int LargestSquaredDistance(double tolerance) {
  if (!(tolerance >= 0.0)) return -1;
  if (tolerance >= 442.0) return kMaxSquaredDistance;  // beyond the cube's diagonal
  int squared = static_cast<int>(tolerance * tolerance);
  while (squared >= 0 && std::sqrt(static_cast<double>(squared)) > tolerance) --squared;
  while (std::sqrt(static_cast<double>(squared + 1)) <= tolerance) ++squared;
  return squared;
}

// Walks the region's rows from the top and gives every column the height of
// its first ink pixel. Row order keeps the reads sequential in memory; the walk
// ends as soon as every column has its ink.
template <typename InkAt>
void TraceRows(double* heights, const PixelView& picture, const Region& region, Progress* progress,
               InkAt inkAt) {
  const int bottom = region.y + region.height;
  const int right = region.x + region.width;
  const int rowsPerStep = std::max(1, region.height / 100);
  int untraced = region.width;
  for (int y = region.y; y < bottom && untraced > 0; ++y) {
    const std::uint8_t* line = picture.pixels + y * picture.stride;
    for (int x = region.x; x < right; ++x) {
      double& height = heights[x - region.x];
      if (height == 0.0 && inkAt(line, x)) {
        height = bottom - y;
        --untraced;
      }
    }
    if (progress && (y - region.y + 1) % rowsPerStep == 0) progress->Step();
  }
}

// Ink or not for each colour of a palette picture. Indices beyond the palette
// read as black, as QImage::pixel does.
std::array<bool, 256> InkPalette(const PixelView& picture, const InkRule& ink) {
  std::array<bool, 256> table;
  table.fill(ink.IsInk(MakeColour(0, 0, 0)));
  for (std::size_t i = 0; i < picture.palette.size() && i < table.size(); ++i) {
    table[i] = ink.IsInk(picture.palette[i]);
  }
  return table;
}

}  // namespace

bool IsTooLarge(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width * height > kMaxPictureBytes / 4;
}

std::string TooLargeMessage(std::int64_t width, std::int64_t height) {
  return "Picture too large: " + std::to_string(width) + " × " + std::to_string(height) + " pixels";
}

double Luminance(Colour colour) {
  // One rounding of the exact weighted sum: mid-grey 128 gives exactly 0.5 and
  // white exactly 0.99609375.
  return Weight(colour) / kWeightScale;
}

bool IsInk(Colour colour, double threshold) { return Luminance(colour) < threshold; }

InkRule InkRule::Darker(double threshold) {
  InkRule rule;
  rule.m_iLimit = FirstPaperWeight(threshold);
  return rule;
}

InkRule InkRule::Near(Colour picked, double tolerance) {
  InkRule rule;
  rule.m_bByColour = true;
  rule.m_iLimit = LargestSquaredDistance(tolerance);
  rule.m_iRed = RedOf(picked);
  rule.m_iGreen = GreenOf(picked);
  rule.m_iBlue = BlueOf(picked);
  return rule;
}

bool InkRule::IsInk(Colour colour) const { return IsInk(RedOf(colour), GreenOf(colour), BlueOf(colour)); }

Region ClipRegion(const Region& region, int width, int height) {
  const std::int64_t left = std::max<std::int64_t>(region.x, 0);
  const std::int64_t top = std::max<std::int64_t>(region.y, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{region.x} + region.width, width);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{region.y} + region.height, height);
  if (right <= left || bottom <= top) return {};
  return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
          static_cast<int>(bottom - top)};
}

void TraceProfile(Block& profile, const PixelView& picture, const InkRule& ink,
                  const std::optional<Region>& region, Progress* progress) {
  const Region traced = ClipRegion(region.value_or(Region{0, 0, picture.width, picture.height}),
                                   picture.width, picture.height);
  profile.SetSize(traced.width);
  if (traced.width == 0) return;
  double* heights = profile.GetData();
  if (progress) progress->Begin(100);

  using Layout = PixelView::Layout;
  switch (picture.layout) {
    case Layout::Rgb24:
      TraceRows(heights, picture, traced, progress, [&](const std::uint8_t* line, int x) {
        const std::uint8_t* pixel = line + 3 * x;
        return ink.IsInk(pixel[0], pixel[1], pixel[2]);
      });
      break;
    case Layout::Argb32:
      TraceRows(heights, picture, traced, progress, [&](const std::uint8_t* line, int x) {
        Colour colour;
        std::memcpy(&colour, line + 4 * static_cast<std::ptrdiff_t>(x), sizeof colour);
        return ink.IsInk(RedOf(colour), GreenOf(colour), BlueOf(colour));
      });
      break;
    case Layout::Palette8: {
      const std::array<bool, 256> table = InkPalette(picture, ink);
      TraceRows(heights, picture, traced, progress,
                [&](const std::uint8_t* line, int x) { return table[line[x]]; });
      break;
    }
    case Layout::Palette1Msb: {
      const std::array<bool, 256> table = InkPalette(picture, ink);
      TraceRows(heights, picture, traced, progress,
                [&](const std::uint8_t* line, int x) { return table[(line[x >> 3] >> (7 - (x & 7))) & 1]; });
      break;
    }
    case Layout::Palette1Lsb: {
      const std::array<bool, 256> table = InkPalette(picture, ink);
      TraceRows(heights, picture, traced, progress,
                [&](const std::uint8_t* line, int x) { return table[(line[x >> 3] >> (x & 7)) & 1]; });
      break;
    }
  }
  profile.FillGapsLinear();
  if (progress) progress->End();
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

namespace vistemp {

bool MakeSavedEnvelope(Block& out, const Block& profile, const SaveSettings& settings) {
  if (!settings.resampleTo) return MakeEnvelope(out, profile, settings.logMapping, settings.rangeDb);
  const auto size = static_cast<std::uint64_t>(std::max(*settings.resampleTo, 0));
  if (!FitsInMemory(size, 2 * sizeof(double))) throw NotEnoughMemoryError(NotEnoughMemoryMessage(size));
  Block envelope;
  if (!MakeEnvelope(envelope, profile, settings.logMapping, settings.rangeDb)) return false;
  Block resampled = Resample(envelope, *settings.resampleTo);
  if (settings.scaleTo) ScaleTo(resampled, *settings.scaleTo);
  out.SetSize(resampled.GetSize());
  out.CopyRange(resampled, 0, -1, 0);
  return true;
}

}  // namespace vistemp
