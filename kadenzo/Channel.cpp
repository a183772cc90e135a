#include "Channel.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "KadenzoPrompts.h"

TChannelForm::TChannelForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(QStringLiteral("Channel to use"));
  LeftButton = new QPushButton(QStringLiteral("Left"), this);
  RightButton = new QPushButton(QStringLiteral("Right"), this);
  BothButton = new QPushButton(QStringLiteral("Both (stereo)"), this);
  FileEdit = new QLineEdit(this);
  FileEdit->setReadOnly(true);
  FileEdit->setMinimumWidth(193);

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(FileEdit, 0, 0, 1, 3);
  layout->addWidget(LeftButton, 1, 0);
  layout->addWidget(RightButton, 1, 1);
  layout->addWidget(BothButton, 1, 2);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(LeftButton, RightButton);
  setTabOrder(RightButton, BothButton);
  setTabOrder(BothButton, FileEdit);

  connect(LeftButton, &QPushButton::clicked, this, &TChannelForm::LeftButtonClick);
  connect(RightButton, &QPushButton::clicked, this, &TChannelForm::RightButtonClick);
  connect(BothButton, &QPushButton::clicked, this, &TChannelForm::BothButtonClick);
}

void TChannelForm::Query(const QString& fileName, int& channel) {
  FileEdit->setText(fileName);
  m_pChannel = &channel;
  // Enter picks the default button, so it also takes the focus.
  QPushButton* preferred = channel != 0 ? LeftButton : RightButton;
  LeftButton->setDefault(preferred == LeftButton);
  RightButton->setDefault(preferred == RightButton);
  BothButton->setDefault(false);
  preferred->setFocus();

  adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  exec();
  m_pChannel = nullptr;
}

void TChannelForm::LeftButtonClick() { Choose(0); }

void TChannelForm::RightButtonClick() { Choose(1); }

void TChannelForm::BothButtonClick() { Choose(kBothChannels); }

void TChannelForm::Choose(int channel) {
  if (m_pChannel) *m_pChannel = channel;
  accept();
}
