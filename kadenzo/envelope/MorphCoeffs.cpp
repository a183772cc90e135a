#include "MorphCoeffs.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "CoeffGrid.h"
#include "LocaleNumbers.h"
#include "PictureWidget.h"
#include "Plot.h"

MorphCoeffs::MorphCoeffs(int count, PictureWidget* image, double initialValue, CoeffGrid* grid)
    : m_pImage(image), m_pGrid(grid), m_iCount(count) {
  SetSize(count);
  Fill(initialValue);
}

MorphCoeffs::~MorphCoeffs() {
  if (m_pGrid != nullptr && m_pGrid->Values() == GetData()) m_pGrid->Show(nullptr, 0);
}

void MorphCoeffs::Resize(int n) {
  m_iCount = n;
  // Both the offsets (i / (points - 1)) and the plot need two points.
  BLOCK_REQUIRE(GetCount() >= 2, "GetCount() >= 2");
  SetSize(n);
  if (m_pGrid == nullptr) return;
  ToGrid();
  Draw();
}

void MorphCoeffs::Draw() {
  if (m_pImage == nullptr) return;
  PlotRange(*this, m_pImage->Image(), 0, GetCount() - 1, 0.0, 1.0, 0, 0, PlotFlavour::Rhythm);
  m_pImage->update();
}

void MorphCoeffs::ToGrid() {
  m_bValuesRead = false;
  if (m_pGrid != nullptr) m_pGrid->Show(GetData(), GetCount());
}

void MorphCoeffs::SetCoeffText(int i, const QString& text) {
  if (m_pGrid != nullptr) m_pGrid->SetCoeffText(i, text);
}

void MorphCoeffs::SetCoeffTexts(const QString& text) {
  if (m_pGrid != nullptr) m_pGrid->SetCoeffTexts(text);
}

void MorphCoeffs::FromGrid() {
  if (m_pGrid == nullptr) return;
  const int n = GetCount();
  bool changed = false;
  // A text is read once for a run of cells that hold it (Assign puts one into all).
  std::optional<QString> text;
  double read = 0.0;
  for (int i = 0; i < n; ++i) {
    // A cell showing its value, read before, would read as the same value.
    if (m_bValuesRead && !m_pGrid->HoldsText(i)) continue;
    QString cell = m_pGrid->CoeffText(i);
    if (!text || cell != *text) {
      read = LocaleTextToSingle(cell);
      text = std::move(cell);
    }
    double v = read;
    if (!(v >= 0.0)) {
      v = 0.0;
      changed = true;
    } else if (v > 1.0) {
      v = 1.0;
      changed = true;
    }
    (*this)[i] = v;
  }
  if (changed) ToGrid();
  m_bValuesRead = true;
}

int MorphCoeffs::PointUnder(int X) const {
  const int n = GetCount();
  const float strip = static_cast<float>(static_cast<double>(m_pImage->Image().width()) / n);
  // Clamping before the truncation keeps far-away positions inside int.
  return static_cast<int>(std::clamp(X / static_cast<double>(strip), 0.0, n - 1.0));
}

double MorphCoeffs::HeightAt(int Y) const {
  return 1.0 - Y / static_cast<double>(std::max(m_pImage->Image().height() - 1, 1));
}

void MorphCoeffs::EditAt(int X, int Y) { EditLine(X, Y, X, Y); }

void MorphCoeffs::EditLine(int X0, int Y0, int X1, int Y1) {
  if (m_pImage == nullptr) return;
  const int first = PointUnder(X0);
  const int last = PointUnder(X1);
  const double from = HeightAt(Y0);
  const double to = HeightAt(Y1);
  const int step = last >= first ? 1 : -1;
  for (int i = first;; i += step) {
    // The end point takes the end height exactly, so one point is EditAt's.
    const double t = i == last ? 1.0 : static_cast<double>(i - first) / (last - first);
    SetCoeffText(i, CoeffGrid::CellText(from + (to - from) * t));
    if (i == last) break;
  }
  FromGrid();
  Draw();
}

void MorphCoeffs::LoadFromFile(const QString& fileName) {
  std::vector<double> points;
  const int hidden = m_iCount - GetCount();  // values stored but not shown
  if (EnvelopePointsFromFile(QFile::encodeName(fileName).toStdString(), hidden, points)) SetPoints(points);
}

void MorphCoeffs::SetPoints(const std::vector<double>& points) {
  Resize(static_cast<int>(points.size()) + m_iCount - GetCount());
  std::copy(points.begin(), points.end(), GetData());
  ToGrid();
  Draw();
}
