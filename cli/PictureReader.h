#pragma once
// Reading a picture without Qt, for the command-line converter: PNG, JPEG,
// GIF (its first frame), BMP, TIFF (its first page) and WebP, decoded by
// GraphicsMagick into 8-bit RGB rows as they are stored (no rotation from an
// orientation tag, alpha dropped).

#include <cstdint>
#include <string>
#include <vector>

#include "Conversion.h"

namespace cli {

class DecodedPicture {
 public:
  // The picture's RGB rows, laid on white where it is transparent (a BMP by
  // its colours alone, as the window reads them). Empty, with the reason,
  // when the file was refused: anything but a regular file and damaged or
  // unknown pictures give "Bitmap image is not valid", pictures whose 32-bit
  // pixels would pass 1 GiB "Picture too large: W × H pixels".
  static DecodedPicture Read(const std::string& fileName);

  bool IsValid() const { return m_sRefusal.empty(); }
  const std::string& Refusal() const { return m_sRefusal; }
  vistemp::PixelView View() const;

 private:
  std::vector<std::uint8_t> m_rgb;
  int m_iWidth = 0;
  int m_iHeight = 0;
  std::string m_sRefusal;
};

}  // namespace cli
