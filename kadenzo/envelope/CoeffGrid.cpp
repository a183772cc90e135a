#include "CoeffGrid.h"

#include "LocaleNumbers.h"

QString CoeffGrid::CellText(double value) { return FormatFixedPrecision(value, 4, 2); }

CoeffGrid::CoeffGrid(QObject* parent) : QAbstractTableModel(parent) {}

void CoeffGrid::Show(const double* values, int count) {
  beginResetModel();
  m_pValues = values;
  m_iRows = values != nullptr ? count : 0;
  m_AllTexts.reset();
  m_Texts.clear();
  endResetModel();
}

QString CoeffGrid::CoeffText(int row) const {
  if (const auto typed = m_Texts.find(row); typed != m_Texts.end()) return typed->second;
  if (m_AllTexts) return *m_AllTexts;
  return CellText(m_pValues[row]);
}

void CoeffGrid::SetCoeffText(int row, const QString& text) {
  if (row < 0 || row >= m_iRows) return;
  m_Texts[row] = text;
  const QModelIndex cell = index(row, kCoeffColumn);
  emit dataChanged(cell, cell);
}

void CoeffGrid::SetCoeffTexts(const QString& text) {
  m_AllTexts = text;
  m_Texts.clear();
  if (m_iRows > 0) emit dataChanged(index(0, kCoeffColumn), index(m_iRows - 1, kCoeffColumn));
}

int CoeffGrid::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_iRows; }

int CoeffGrid::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant CoeffGrid::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= m_iRows || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  if (index.column() == kCoeffColumn) return CoeffText(index.row());
  return CellText(static_cast<double>(index.row()) / (m_iRows - 1));
}

bool CoeffGrid::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.column() != kCoeffColumn || role != Qt::EditRole) return false;
  SetCoeffText(index.row(), value.toString());
  return true;
}

Qt::ItemFlags CoeffGrid::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  const Qt::ItemFlags shown = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  return index.column() == kCoeffColumn ? shown | Qt::ItemIsEditable : shown;
}

QVariant CoeffGrid::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  return section == kOffsetColumn ? QStringLiteral("Offset") : QStringLiteral("Coeff");
}
