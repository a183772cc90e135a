#include "PictureReader.h"

#include "FileCheck.h"

#include <Magick++.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

namespace cli {

namespace {

// The coder for the file's first bytes. The picture is handed to that coder
// alone, never to one GraphicsMagick would guess from the name or content
// (which could run scripts or other programs).
const char* CoderFor(std::string_view bytes) {
  const auto startsWith = [&](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };
  if (startsWith("\x89PNG\r\n\x1a\n")) return "PNG";
  if (startsWith("\xFF\xD8\xFF")) return "JPEG";
  if (startsWith("GIF87a") || startsWith("GIF89a")) return "GIF";
  if (startsWith("BM")) return "BMP";
  if (startsWith(std::string_view("II*\0", 4)) || startsWith(std::string_view("MM\0*", 4))) return "TIFF";
  if (startsWith("RIFF") && bytes.size() >= 12 && bytes.substr(8, 4) == "WEBP") return "WEBP";
  return nullptr;
}

void InitialiseOnce() {
  static const bool initialised = [] {
    Magick::InitializeMagick(nullptr);
    return true;
  }();
  (void)initialised;
}

}  // namespace

DecodedPicture DecodedPicture::Read(const std::string& fileName) {
  DecodedPicture picture;
  picture.m_sRefusal = vistemp::kInvalidPicture;
  // A pipe or a device could block the reader for ever; a folder is no picture.
  if (!IsRegularFile(fileName)) return picture;
  std::ifstream in(fileName, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const char* coder = CoderFor(bytes);
  if (in.bad() || !coder) return picture;

  InitialiseOnce();
  try {
    const Magick::Blob blob(bytes.data(), bytes.size());
    Magick::Image image;
    image.quiet(true);  // warnings about stray chunks or tags do not refuse a picture
    image.subImage(0);
    image.subRange(1);
    image.magick(coder);
    image.ping(blob);
    if (vistemp::IsTooLarge(image.columns(), image.rows())) {
      picture.m_sRefusal = vistemp::TooLargeMessage(image.columns(), image.rows());
      return picture;
    }
    image.read(blob);
    const int width = static_cast<int>(image.columns());
    const int height = static_cast<int>(image.rows());
    if (width <= 0 || height <= 0) return picture;
    // A drawing on a transparent ground is seen on white paper, as the window
    // sees it; a BMP's pixels are taken by their colour alone.
    if (image.matte() && std::strcmp(coder, "BMP") != 0) {
      Magick::Image paper(Magick::Geometry(image.columns(), image.rows()), Magick::Color("white"));
      paper.composite(image, 0, 0, Magick::OverCompositeOp);
      image = paper;
    }
    picture.m_rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    image.write(0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), "RGB", Magick::CharPixel,
                picture.m_rgb.data());
    picture.m_iWidth = width;
    picture.m_iHeight = height;
    picture.m_sRefusal.clear();
  } catch (const std::exception&) {
    picture.m_rgb.clear();
  }
  return picture;
}

vistemp::PixelView DecodedPicture::View() const {
  vistemp::PixelView view;
  view.width = m_iWidth;
  view.height = m_iHeight;
  view.pixels = m_rgb.data();
  view.stride = static_cast<std::ptrdiff_t>(m_iWidth) * 3;
  view.layout = vistemp::PixelView::Layout::Rgb24;
  return view;
}

}  // namespace cli
