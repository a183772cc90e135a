#pragma once
// The Model dialog: duration, centre frequency and band of a generated sound.
// The caption names what will be made: "Noise" for a frequency of 0 or a
// non-zero band, "Sine" for band 0 with a non-zero frequency.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TModelForm : public QDialog {
  Q_OBJECT

 public:
  explicit TModelForm(QWidget* parent = nullptr);

  // Shows the caller's values (a null pointer is not asked; without duration
  // its edit is hidden) and runs the dialog. True when OK was pressed; the
  // given values have then been overwritten, otherwise they are untouched.
  bool Query(double* duration, double* frequency, double* band);

  QLabel* DurationLabel;
  QLineEdit* DurationEdit;
  QLabel* Label5;
  QLineEdit* FreqEdit;
  QLabel* BandLabel;
  QLineEdit* BandEdit;
  QPushButton* OkBtn;
  QPushButton* CancelBtn;

  void OkBtnClick();
  void CancelBtnClick();
  void FreqEditChange();
  void BandEditChange();

 private:
  // The caller's variables while a query runs.
  double* m_pDuration = nullptr;
  double* m_pFrequency = nullptr;
  double* m_pBand = nullptr;
};
