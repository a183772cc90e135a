#pragma once
// Turning a drawing into an envelope: the pixel tests (darker than a threshold,
// or near a picked colour), tracing the topmost ink of every column of the
// picture or of a region of it, the logarithmic gain mapping, resampling and
// scaling, and the save that chains them. No Qt: the picture is a borrowed
// view of its pixels, which the window makes from a QImage and vistemp-trace
// from its own decoder.
//
// Arithmetic conditions that have no sensible result (a division by zero, 0/0,
// a factor too large for a double) are not let through as infinities or NaNs:
// they throw FloatingPointError carrying the message the user is shown.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

#include "Block.h"
#include "Progress.h"

namespace vistemp {

inline constexpr const char* kDivisionByZero = "Floating point division by zero";
inline constexpr const char* kInvalidOperation = "Invalid floating point operation";
inline constexpr const char* kOverflow = "Floating point overflow";
inline constexpr const char* kInvalidPicture = "Bitmap image is not valid";

class FloatingPointError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A resampling size whose blocks the machine's memory cannot hold; carries
// "Not enough memory for N samples.".
class NotEnoughMemoryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A colour as a 32-bit word 0xAARRGGBB (Qt's QRgb); alpha is never looked at.
using Colour = std::uint32_t;

constexpr Colour MakeColour(int red, int green, int blue) {
  return 0xFF000000u | (static_cast<Colour>(red & 0xFF) << 16) | (static_cast<Colour>(green & 0xFF) << 8) |
         static_cast<Colour>(blue & 0xFF);
}
constexpr int RedOf(Colour colour) { return static_cast<int>((colour >> 16) & 0xFF); }
constexpr int GreenOf(Colour colour) { return static_cast<int>((colour >> 8) & 0xFF); }
constexpr int BlueOf(Colour colour) { return static_cast<int>(colour & 0xFF); }

// Pictures whose 32-bit pixels would take more than this are refused.
inline constexpr std::int64_t kMaxPictureBytes = std::int64_t{1} << 30;
bool IsTooLarge(std::int64_t width, std::int64_t height);
// "Picture too large: W × H pixels" (UTF-8).
std::string TooLargeMessage(std::int64_t width, std::int64_t height);

// The pixels of a picture, borrowed, rows from the top.
struct PixelView {
  enum class Layout {
    Rgb24,        // three bytes per pixel: red, green, blue
    Argb32,       // one native 32-bit Colour per pixel
    Palette8,     // one byte per pixel, an index into palette
    Palette1Msb,  // one bit per pixel, the leftmost in the high bit, an index into palette
    Palette1Lsb,  // one bit per pixel, the leftmost in the low bit
  };
  int width = 0;
  int height = 0;
  const std::uint8_t* pixels = nullptr;
  std::ptrdiff_t stride = 0;  // bytes from one row to the next
  Layout layout = Layout::Argb32;
  std::span<const Colour> palette;  // indices beyond it read as black
};

// (0.299 R + 0.587 G + 0.114 B) / 256: 0 for black, 0.99609375 for white.
double Luminance(Colour colour);

// A pixel is ink when it is strictly darker than the threshold.
bool IsInk(Colour colour, double threshold);

// Which pixels are ink: those darker than a threshold, or those within an RGB
// distance of a picked colour (the distance itself included).
class InkRule {
 public:
  static InkRule Darker(double threshold);
  static InkRule Near(Colour picked, double tolerance);

  bool IsInk(Colour colour) const;
  bool IsInk(int red, int green, int blue) const {
    return m_bByColour ? SquaredDistance(red, green, blue) <= m_iLimit : Weight(red, green, blue) < m_iLimit;
  }

 private:
  static int Weight(int red, int green, int blue) { return 299 * red + 587 * green + 114 * blue; }
  int SquaredDistance(int red, int green, int blue) const {
    const int dr = red - m_iRed, dg = green - m_iGreen, db = blue - m_iBlue;
    return dr * dr + dg * dg + db * db;
  }

  bool m_bByColour = false;
  // By luminance: the first weight 299 R + 587 G + 114 B that is not ink. By
  // colour: the largest squared distance that is ink (-1: none).
  int m_iLimit = 0;
  int m_iRed = 0, m_iGreen = 0, m_iBlue = 0;
};

// A rectangle of the picture in pixels, from its top-left corner.
struct Region {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Region&) const = default;
};

// The part of region that lies on a width x height picture (empty when none does).
Region ClipRegion(const Region& region, int width, int height);

// profile becomes one value per pixel column of the region (the whole picture
// when none is given), left to right: the height of the column's topmost ink
// pixel counted from the region's bottom row (the top row gives the region's
// height, the bottom row 1), 0 for a column without ink; interior runs of blank
// columns are then bridged by straight lines. The region is clipped to the
// picture first. progress, when given, hears about a hundred steps.
void TraceProfile(Block& profile, const PixelView& picture, const InkRule& ink,
                  const std::optional<Region>& region = std::nullopt, Progress* progress = nullptr);

// out becomes a copy of profile. With the logarithmic mapping on (and a nonzero
// range) a profile that is not flat is read as a power level spanning rangeDb
// decibels: its minimum becomes 1 and its maximum 10^(rangeDb/10). Returns false,
// leaving out untouched, when the profile is empty.
bool MakeEnvelope(Block& out, const Block& profile, bool logMapping, double rangeDb);

// envelope brought to size samples (size > 0). Upsampling places source sample i
// at i*(size-1)/(n-1), computed exactly in integers so that the last source sample
// lands on the last output sample, and fills the gaps with smooth cubic steps;
// source samples that are 0 count as gaps. Downsampling (and the same size)
// picks sample j*(n-1)/(size-1). A one-sample envelope resampled to more than one
// sample, or anything resampled to one sample, has no step and throws.
Block Resample(const Block& envelope, int size);

// Multiplies every value by target / (largest value), so that the largest becomes
// target. Throws, leaving the values alone, when the largest value is 0 or the
// factor is too large for a double.
void ScaleTo(Block& envelope, double target);

// What the save does with a profile.
struct SaveSettings {
  bool logMapping = true;
  double rangeDb = 60.0;
  std::optional<int> resampleTo;  // positive
  std::optional<double> scaleTo;  // only with resampleTo
};

// The envelope that is saved: MakeEnvelope, then Resample and ScaleTo as
// asked. False when the profile is empty; throws FloatingPointError as they do,
// and NotEnoughMemoryError, before anything is allocated, when the resampled
// block and its copy in out do not fit in the machine's memory.
bool MakeSavedEnvelope(Block& out, const Block& profile, const SaveSettings& settings);

}  // namespace vistemp
