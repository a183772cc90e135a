#include "Model.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "LocaleNumbers.h"

TModelForm::TModelForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(QStringLiteral("Model"));

  DurationLabel = new QLabel(QStringLiteral("&Duration,s"), this);
  DurationEdit = new QLineEdit(QStringLiteral("10"), this);
  Label5 = new QLabel(QStringLiteral("Fre&q, Hz"), this);
  FreqEdit = new QLineEdit(QStringLiteral("1000"), this);
  FreqEdit->setToolTip(QStringLiteral("Set zero to disable filtration (create white noise)"));
  BandLabel = new QLabel(QStringLiteral("&Band, Hz"), this);
  BandEdit = new QLineEdit(QStringLiteral("800"), this);
  BandEdit->setToolTip(QStringLiteral("Set zero to create sine wave"));
  OkBtn = new QPushButton(QStringLiteral("&OK"), this);
  CancelBtn = new QPushButton(QStringLiteral("C&ancel"), this);
  DurationLabel->setBuddy(DurationEdit);
  Label5->setBuddy(FreqEdit);
  BandLabel->setBuddy(BandEdit);
  OkBtn->setDefault(true);
  CancelBtn->setAutoDefault(false);

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(24, 16, 14, 14);
  layout->setHorizontalSpacing(39);
  layout->addWidget(DurationLabel, 0, 0);
  layout->addWidget(DurationEdit, 1, 0);
  layout->setRowMinimumHeight(2, 10);
  layout->addWidget(Label5, 3, 0);
  layout->addWidget(FreqEdit, 4, 0);
  layout->addWidget(BandLabel, 3, 1);
  layout->addWidget(BandEdit, 4, 1);
  layout->setRowMinimumHeight(5, 16);
  layout->addWidget(OkBtn, 6, 0);
  layout->addWidget(CancelBtn, 6, 1);
  // Fixed border: the dialog keeps the size its contents need.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(DurationEdit, FreqEdit);
  setTabOrder(FreqEdit, BandEdit);
  setTabOrder(BandEdit, OkBtn);
  setTabOrder(OkBtn, CancelBtn);

  connect(OkBtn, &QPushButton::clicked, this, &TModelForm::OkBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TModelForm::CancelBtnClick);
  connect(FreqEdit, &QLineEdit::textChanged, this, &TModelForm::FreqEditChange);
  connect(BandEdit, &QLineEdit::textChanged, this, &TModelForm::BandEditChange);
}

bool TModelForm::Query(double* duration, double* frequency, double* band) {
  m_pDuration = duration;
  m_pFrequency = frequency;
  m_pBand = band;
  if (frequency) FreqEdit->setText(FormatFixedPrecision(*frequency, 5, 1));
  if (band) BandEdit->setText(FormatFixedPrecision(*band, 5, 1));
  if (duration) DurationEdit->setText(FormatFixedPrecision(*duration, 5, 0));
  BandEditChange();
  FreqEditChange();
  DurationLabel->setVisible(duration != nullptr);
  DurationEdit->setVisible(duration != nullptr);
  (duration ? DurationEdit : FreqEdit)->setFocus();

  const bool accepted = exec() == QDialog::Accepted;
  m_pDuration = m_pFrequency = m_pBand = nullptr;
  return accepted;
}

void TModelForm::OkBtnClick() {
  if (m_pFrequency) *m_pFrequency = LocaleTextToSingle(FreqEdit->text());
  if (m_pBand) *m_pBand = LocaleTextToSingle(BandEdit->text());
  if (m_pDuration) *m_pDuration = LocaleTextToSingle(DurationEdit->text());
  m_pDuration = m_pFrequency = m_pBand = nullptr;
  accept();
}

void TModelForm::CancelBtnClick() { reject(); }

void TModelForm::FreqEditChange() {
  const bool filtered = LocaleTextToSingle(FreqEdit->text()) != 0;
  BandLabel->setVisible(filtered);
  BandEdit->setVisible(filtered);
  if (filtered) {
    BandEditChange();
  } else {
    setWindowTitle(QStringLiteral("Noise"));
  }
}

void TModelForm::BandEditChange() {
  setWindowTitle(LocaleTextToSingle(BandEdit->text()) != 0 ? QStringLiteral("Noise") : QStringLiteral("Sine"));
}
