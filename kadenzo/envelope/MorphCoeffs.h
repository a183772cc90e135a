#pragma once
// The rhythm envelope: the gain curve of one rhythm period, values in [0, 1]
// spread evenly over the phase interval [0, 1], bound to a two-column table
// ("Offset", "Coeff") and to a picture of the curve.
//
// Table layout: the header row is the table's horizontal header, so point i is
// table row i; column 0 holds its offset (read-only), column 1 its value. The
// table (CoeffGrid) reads the values themselves.

#include <QString>
#include <vector>

#include "Block.h"
#include "EnvelopeCurve.h"

class PictureWidget;
class CoeffGrid;

class MorphCoeffs : public Block {
 public:
  // count values, all set to initialValue. Neither fills the table nor draws.
  // The picture and the table may be null and are not owned.
  MorphCoeffs(int count, PictureWidget* image, double initialValue, CoeffGrid* grid);
  // The table shows nothing afterwards, if it showed these values. A copy
  // shares the picture and the table.
  ~MorphCoeffs() override;
  MorphCoeffs(const MorphCoeffs&) = default;
  MorphCoeffs& operator=(const MorphCoeffs&) = delete;  // as the Block's

  // The number of points shown in the table and the picture.
  virtual int GetCount() const { return m_iCount; }
  // Changes the count alone; the values stay as they are (Resize changes both).
  virtual void SetCount(int n) { m_iCount = n; }

  // n stored values, all 0; with a table, the table, its headers and the
  // picture are redone. n must leave at least two points to show.
  void Resize(int n);
  // The points onto the picture, value range 0 .. 1; nothing without a picture.
  void Draw();
  // The points into the table, offsets 0.00 .. 1.00; nothing without a table.
  // Values written other than through the operations here are shown (and
  // read by the next FromGrid) only after a ToGrid.
  void ToGrid();
  // The table into the points; values outside [0, 1] (or no number at all
  // after the C fallback) are clamped and the table rewritten.
  void FromGrid();
  // A mouse release at (X, Y) in picture pixels: the point under X gets the
  // height of Y (top 1, bottom 0), quantised to 0.01; then table and picture.
  void EditAt(int X, int Y);
  // A mouse drag from (X0, Y0) to (X1, Y1): every point from the one under X0
  // to the one under X1 gets the height of the straight line between the two
  // positions at its place, quantised as EditAt does; then table and picture.
  // With X0 and X1 over the same point it is EditAt(X1, Y1).
  void EditLine(int X0, int Y0, int X1, int Y1);
  // Reads an envelope file, normalised to span [0, 1]. A file that cannot be
  // read, whose values are all equal or not all finite, or that would give
  // fewer than two points is ignored: nothing changes.
  void LoadFromFile(const QString& fileName);
  // The shown points replaced by points (at least two), then table and picture.
  void SetPoints(const std::vector<double>& points);

  // Linear interpolation at phase x (clamped to [0, 1]) over all stored values:
  // stored value k sits at phase k / (stored count - 1).
  double ValueAt(double x) const { return InterpolateEnvelope(m_pData.get(), m_iCount - 1, x); }
  double FirstValue() const { return (*this)[0]; }
  // Stores v just after the last shown point (for SeamlessCo: the seam point).
  void SetSeamValue(double v) { (*this)[GetCount()] = v; }

  // The text of point i's value cell; of every shown point's.
  void SetCoeffText(int i, const QString& text);
  void SetCoeffTexts(const QString& text);

 protected:
  // The point under picture column X, clamped to the shown points.
  int PointUnder(int X) const;
  // The height of picture row Y: the top row 1, the bottom row 0, unclamped.
  double HeightAt(int Y) const;

  PictureWidget* m_pImage;  // not owned
  CoeffGrid* m_pGrid;       // not owned
  int m_iCount;
  // Every shown point holds what its cell's text read as at the last FromGrid,
  // so that FromGrid reads only the cells that were written since.
  bool m_bValuesRead = false;
};

// The periodic envelope: one value more than it shows. The hidden last value,
// the seam point, joins the end of one period to the start of the next; the
// rhythm engine writes it at every period.
class SeamlessCo : public MorphCoeffs {
 public:
  // count shown points plus the seam point.
  SeamlessCo(int count, PictureWidget* image, double initialValue, CoeffGrid* grid)
      : MorphCoeffs(count + 1, image, initialValue, grid) {}

  int GetCount() const override { return m_iCount - 1; }
  void SetCount(int n) override { m_iCount = n + 1; }

  // The points and the seam point, for the rhythm engine.
  RhythmEnvelope ForEngine() { return {GetData(), GetCount()}; }
};
