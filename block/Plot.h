#pragma once
// Drawing a Block as a curve into a picture: white label strips at the top and
// bottom, a silver plot area (or a dotted grid), a grey zero line when the range
// straddles zero, the curve in black and, for a given range, the values of the
// top and bottom edges. Sparse blocks are joined by lines (with dots when the
// samples are more than 3 pixels apart); dense blocks show one min-to-max bar
// per pixel column. Needs QtGui; the rest of the library does not.

#include "Block.h"

class QImage;
class QPainter;
class QRect;

// The two programs draw with slightly different rules: the rhythm program rounds
// grid and zero lines to the nearest pixel, always takes a negative kf as the last
// sample, keeps dots silver with a grid and clears the plot area's last row.
enum class PlotFlavour { Converter, Rhythm };

// lo == hi asks for a range taken from the block (automatic, no labels).
// nGridX == nGridY == 0 means no grid. The block must not be empty and, after a
// negative kf is resolved, kd < kf (precondition failures otherwise).
void Plot(const Block& block, QImage& image, double lo, double hi, int nGridX, int nGridY,
          PlotFlavour flavour = PlotFlavour::Converter);
void PlotRange(const Block& block, QImage& image, int kd, int kf, double lo, double hi, int nGridX,
               int nGridY, PlotFlavour flavour = PlotFlavour::Converter);
void PlotInRect(const Block& block, QPainter& canvas, const QRect& rect, int kd, int kf, double lo,
                double hi, int nGridX, int nGridY, PlotFlavour flavour = PlotFlavour::Converter);
