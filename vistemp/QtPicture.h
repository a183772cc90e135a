#pragma once
// The window's side of pictures: reading every format Qt reads, and a QImage
// seen as the PixelView the tracer reads.

#include <QImage>
#include <QList>
#include <QString>
#include <optional>

#include "Conversion.h"

namespace vistemp {

// A picture's pixels as the tracer reads them: 32-bit, palette and one-bit
// pictures as they are, every other format converted once.
class QImagePixels {
 public:
  explicit QImagePixels(const QImage& picture);
  QImagePixels(const QImagePixels&) = delete;
  QImagePixels& operator=(const QImagePixels&) = delete;

  const PixelView& View() const { return m_view; }

 private:
  QImage m_picture;
  QList<QRgb> m_palette;
  PixelView m_view;
};

// Traces the whole picture with ink darker than the threshold.
void TraceProfile(Block& profile, const QImage& bitmap, double threshold);
// Traces the picture (or the region of it) with the given ink.
void TraceProfile(Block& profile, const QImage& bitmap, const InkRule& ink,
                  const std::optional<Region>& region = std::nullopt);

// A picture read from a file, or why it was refused.
struct LoadedPicture {
  QImage picture;
  QString refusal;  // empty when the picture was read
};

// Reads a picture in any format Qt reads, as it is stored (no rotation from
// the file's orientation tag), laid on white where it is transparent (a BMP
// by its colours alone). Refuses anything but a regular file, and
// damaged pictures, with "Bitmap image is not valid"; pictures whose 32-bit
// pixels would pass kMaxPictureBytes with "Picture too large: W × H pixels".
LoadedPicture LoadPicture(const QString& fileName);

}  // namespace vistemp
