#include "Plot.h"

#include <QColor>
#include <QFontMetrics>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPen>
#include <QRect>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kBlack(0x00, 0x00, 0x00);
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kGrey(0x80, 0x80, 0x80);

// Values far outside the picture are pinned here before the conversion to int,
// so that huge, infinite or undefined values cannot overflow it.
constexpr double kPixelLimit = 1 << 24;

int TruncPixel(double position) {
  if (!(position > -kPixelLimit)) return static_cast<int>(-kPixelLimit);
  if (position > kPixelLimit) return static_cast<int>(kPixelLimit);
  return static_cast<int>(position);
}

// A one-pixel cosmetic pen. With the flat cap a line leaves out its last pixel
// (for the downward and rightward lines drawn here), as the one-pixel minimum
// bars of the dense case rely on.
QPen CosmeticPen(const QColor& colour, bool dotted = false) {
  QPen pen(colour, 0);
  pen.setCapStyle(Qt::FlatCap);
  if (dotted) pen.setDashPattern({1.0, 1.0});
  return pen;
}

// Move-to / line-to drawing that never draws the end point.
class LinePen {
 public:
  explicit LinePen(QPainter& painter) : m_painter(painter) {}
  void MoveTo(int x, int y) { m_current = QPoint(x, y); }
  void LineTo(int x, int y) {
    const QPoint to(x, y);
    if (to != m_current) m_painter.drawLine(m_current, to);
    m_current = to;
  }
  void Line(int x1, int y1, int x2, int y2) {
    MoveTo(x1, y1);
    LineTo(x2, y2);
  }

 private:
  QPainter& m_painter;
  QPoint m_current;
};

// Fills the rectangle whose right and bottom edges are exclusive.
void FillEdges(QPainter& canvas, int left, int top, int right, int bottom, const QColor& colour) {
  if (right > left && bottom > top) canvas.fillRect(QRect(left, top, right - left, bottom - top), colour);
}

// A one-pixel border along the inside of the rectangle.
void FrameEdges(QPainter& canvas, int left, int top, int right, int bottom, const QColor& colour) {
  FillEdges(canvas, left, top, right, top + 1, colour);
  FillEdges(canvas, left, bottom - 1, right, bottom, colour);
  FillEdges(canvas, left, top, left + 1, bottom, colour);
  FillEdges(canvas, right - 1, top, right, bottom, colour);
}

// General decimal form, up to 15 significant digits, the locale's separator.
QString LabelText(double value, const char* unit) {
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  const std::size_t unitLength = strnlen(unit, 11);
  return locale.toString(value, 'g', 15) + QString::fromLatin1(unit, static_cast<qsizetype>(unitLength));
}

// Text whose top left corner is at (x, y), on an opaque background of the brush.
void TextOut(QPainter& canvas, int x, int y, const QString& text) {
  const QFontMetrics metrics(canvas.font());
  canvas.setBackgroundMode(Qt::OpaqueMode);
  canvas.setBackground(canvas.brush());
  canvas.drawText(QRect(x, y, metrics.horizontalAdvance(text) + 1, metrics.height()),
                  Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  canvas.setBackgroundMode(Qt::TransparentMode);
}

}  // namespace

void Plot(const Block& block, QImage& image, double lo, double hi, int nGridX, int nGridY,
          PlotFlavour flavour) {
  PlotRange(block, image, 0, -1, lo, hi, nGridX, nGridY, flavour);
}

void PlotRange(const Block& block, QImage& image, int kd, int kf, double lo, double hi, int nGridX,
               int nGridY, PlotFlavour flavour) {
  QPainter canvas(&image);
  PlotInRect(block, canvas, QRect(0, 0, image.width(), image.height()), kd, kf, lo, hi, nGridX,
             nGridY, flavour);
}

void PlotInRect(const Block& block, QPainter& canvas, const QRect& rect, int kd, int kf, double lo,
                double hi, int nGridX, int nGridY, PlotFlavour flavour) {
  const bool rhythm = flavour == PlotFlavour::Rhythm;
  // Grid and zero lines: truncated, or placed at the nearest pixel.
  const double lineRounding = rhythm ? 0.5 : 0.0;

  BLOCK_REQUIRE(block.GetSize() != 0, "m_iSize");
  if (kf < 0) {
    const bool halfBlock = !rhythm && block.GetDomain() == dmPower;
    kf = (halfBlock ? block.GetSize() / 2 : block.GetSize()) - 1;
  }
  BLOCK_REQUIRE(kd < kf, "kd < kf");

  canvas.setRenderHint(QPainter::Antialiasing, false);
  LinePen pen(canvas);
  const int L = rect.left();
  const int T = rect.top();
  const int R = L + rect.width();
  const int B = T + rect.height();
  const int W = R - L;
  const int H = B - T;

  canvas.setBrush(kWhite);
  FillEdges(canvas, L, T, R, B, kWhite);

  canvas.setPen(CosmeticPen(kBlack));
  const int th = QFontMetrics(canvas.font()).size(Qt::TextSingleLine, QStringLiteral("0")).height() + 4;
  const int Ta = T + th;
  const int Ba = B - th;
  const int Hi = H - 2 * th;

  // The brush colour fills the sample dots below.
  QColor brush = kSilver;
  if (nGridX != 0 || nGridY != 0) {
    FrameEdges(canvas, L, Ta, R, Ba, kSilver);
    if (!rhythm) brush = kWhite;
  } else {
    FillEdges(canvas, L, Ta, R, Ba, kSilver);
  }
  canvas.setBrush(brush);

  bool automatic = false;
  if (lo == hi) {
    BlockExtremes extremes;
    block.MinMax(extremes, 0, -1);
    lo = extremes.min;
    hi = extremes.max;
    automatic = true;
  }
  const double labelLo = lo;
  const double labelHi = hi;

  canvas.setPen(CosmeticPen(kGrey, true));
  for (int i = 1; i < nGridY; ++i) {
    const int y = Ta + TruncPixel(static_cast<double>(Hi) / nGridY * i + lineRounding);
    pen.Line(L, y, R, y);
  }
  for (int j = 1; j < nGridX; ++j) {
    const int x = L + TruncPixel(static_cast<double>(W) / nGridX * j + lineRounding);
    pen.Line(x, Ta, x, Ba);
  }

  if (hi != lo) {
    // Scales rounded to single precision; positions are then worked out in double.
    const double xs = static_cast<float>(static_cast<double>(W) / (static_cast<double>(kf) - kd));
    double ys = static_cast<float>(Hi / (hi - lo));
    const bool dots = xs > 3.0;

    if (hi * lo < 0) {
      canvas.setPen(CosmeticPen(kGrey));
      if (automatic) {
        hi = std::max(std::fabs(lo), std::fabs(hi));
        lo = -hi;
        ys = static_cast<float>(Hi / (hi - lo));
      }
      const int y0 = Ta + TruncPixel(hi * ys + lineRounding);
      pen.Line(L, y0, R, y0);
    }

    canvas.setPen(CosmeticPen(kBlack));
    const auto yOf = [&](double v) { return TruncPixel((hi - v) * ys + Ta); };
    const double drawn = static_cast<double>(kf) - kd + 1;
    if (drawn < W) {
      for (int k = kd; k <= kf; ++k) {
        const int x = TruncPixel((k - kd) * xs + L);
        const int y = yOf(block[k]);
        if (k == kd) {
          pen.MoveTo(x, y);
        } else {
          pen.LineTo(x, y);
        }
        if (dots) canvas.drawEllipse(QRect(x - 2, y - 2, 3, 3));
      }
    } else {
      int s = kd;
      for (int c = 0; c < W; ++c) {
        const int e = static_cast<int>(std::min<double>(kd + std::trunc((c + 1) / xs + 0.5), kf));
        BlockExtremes extremes;
        block.MinMax(extremes, s, e);
        s = e;
        const int y1 = yOf(extremes.max);
        int y2 = yOf(extremes.min);
        if (y1 == y2) y2 = y1 + 1;
        pen.Line(L + c, y1, L + c, y2);
      }
    }
  }

  canvas.setBrush(kWhite);
  FillEdges(canvas, L, T, R, T + th, kWhite);
  FillEdges(canvas, L, rhythm ? B - th : B - th + 1, R, B, kWhite);

  if (!automatic) {
    canvas.setPen(CosmeticPen(kBlack));
    const char* unit = block.GetUnit();
    TextOut(canvas, L + 5, T + 2, LabelText(labelHi, unit));
    TextOut(canvas, L + 5, B - th + 2, LabelText(labelLo, unit));
  }
}
