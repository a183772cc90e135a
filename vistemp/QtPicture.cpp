#include "QtPicture.h"

#include "FileCheck.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace vistemp {

QImagePixels::QImagePixels(const QImage& picture) {
  using Layout = PixelView::Layout;
  Layout layout = Layout::Argb32;
  switch (picture.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
      m_picture = picture;
      break;
    case QImage::Format_Indexed8:
      m_picture = picture;
      layout = Layout::Palette8;
      break;
    case QImage::Format_Mono:
      m_picture = picture;
      layout = Layout::Palette1Msb;
      break;
    case QImage::Format_MonoLSB:
      m_picture = picture;
      layout = Layout::Palette1Lsb;
      break;
    default:
      m_picture = picture.convertToFormat(QImage::Format_ARGB32);
      break;
  }
  m_palette = m_picture.colorTable();
  m_view.width = m_picture.width();
  m_view.height = m_picture.height();
  m_view.pixels = m_picture.constBits();
  m_view.stride = m_picture.bytesPerLine();
  m_view.layout = layout;
  m_view.palette = std::span<const Colour>(m_palette.constData(), static_cast<std::size_t>(m_palette.size()));
}

void TraceProfile(Block& profile, const QImage& bitmap, double threshold) {
  TraceProfile(profile, bitmap, InkRule::Darker(threshold));
}

void TraceProfile(Block& profile, const QImage& bitmap, const InkRule& ink, const std::optional<Region>& region) {
  const QImagePixels pixels(bitmap);
  TraceProfile(profile, pixels.View(), ink, region);
}

namespace {

// A drawing on a transparent ground is seen on white paper. Its transparent
// pixels keep whatever colour they were stored with, often black, which would
// read as ink; laid on white, they read as the paper they show.
void LayOnWhite(QImage& picture) {
  picture.convertTo(QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&picture);
  painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
  painter.fillRect(picture.rect(), Qt::white);
  painter.end();
  picture.convertTo(QImage::Format_RGB32);
}

}  // namespace

LoadedPicture LoadPicture(const QString& fileName) {
  const QString invalid = QString::fromUtf8(kInvalidPicture);
  // A pipe or a device could block the reader for ever; a folder is no picture.
  if (!IsRegularFile(QFile::encodeName(fileName).toStdString())) return {QImage(), invalid};

  QImageReader::setAllocationLimit(static_cast<int>(kMaxPictureBytes >> 20));
  QImageReader reader(fileName);
  reader.setAutoTransform(false);
  const QSize size = reader.size();
  const bool bmp = reader.format() == "bmp";  // known once the header is read; cleared by read()
  if (size.isValid() && IsTooLarge(size.width(), size.height())) {
    return {QImage(), QString::fromStdString(TooLargeMessage(size.width(), size.height()))};
  }
  QImage picture;
  if (!reader.read(&picture)) return {QImage(), invalid};
  // A BMP's pixels are taken by their colour alone, whatever its fourth byte holds.
  if (picture.hasAlphaChannel() && !bmp) LayOnWhite(picture);
  return {std::move(picture), QString()};
}

}  // namespace vistemp
