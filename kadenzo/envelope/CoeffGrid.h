#pragma once
// The envelope's two-column table ("Offset", "Coeff") as a model over the
// envelope's own values: a cell's text is made when the view asks for it, so
// that an envelope of millions of points costs no item per cell.
//
// A Coeff cell shows its point's value in the table's 2-decimal form unless a
// text was put into it (typed, or written by Test, Assign and the mouse); that
// text stays until the table is rewritten from the values (Show). Offsets are
// read-only.

#include <QAbstractTableModel>
#include <QString>
#include <optional>
#include <unordered_map>

class CoeffGrid : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit CoeffGrid(QObject* parent = nullptr);

  // Rewrites the table from count points of values, which stay owned by the
  // caller and must outlive their showing (Show(nullptr, 0) shows nothing).
  void Show(const double* values, int count);
  // The values shown, or null.
  const double* Values() const { return m_pValues; }
  // What Coeff cell row holds.
  QString CoeffText(int row) const;
  void SetCoeffText(int row, const QString& text);
  // The same text into every Coeff cell.
  void SetCoeffTexts(const QString& text);
  // Whether Coeff cell row holds a text put into it since the last Show.
  bool HoldsText(int row) const { return m_AllTexts || m_Texts.count(row) != 0; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // A number as the table writes it: fixed notation, 2 decimals, at most 4
  // significant digits, the locale's separator.
  static QString CellText(double value);

  static constexpr int kOffsetColumn = 0;
  static constexpr int kCoeffColumn = 1;

 private:
  const double* m_pValues = nullptr;  // not owned
  int m_iRows = 0;
  // Texts put into the Coeff cells since the last Show: one for all of them,
  // and those of single cells, which take precedence.
  std::optional<QString> m_AllTexts;
  std::unordered_map<int, QString> m_Texts;
};
