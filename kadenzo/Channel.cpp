#include "Channel.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

TChannelForm::TChannelForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(QStringLiteral("Channel to use"));
  LeftButton = new QPushButton(QStringLiteral("Left"), this);
  RightButton = new QPushButton(QStringLiteral("Right"), this);
  FileEdit = new QLineEdit(this);
  FileEdit->setReadOnly(true);
  FileEdit->setMinimumWidth(193);

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(FileEdit, 0, 0, 1, 2);
  layout->addWidget(LeftButton, 1, 0);
  layout->addWidget(RightButton, 1, 1);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(LeftButton, RightButton);
  setTabOrder(RightButton, FileEdit);

  connect(LeftButton, &QPushButton::clicked, this, &TChannelForm::LeftButtonClick);
  connect(RightButton, &QPushButton::clicked, this, &TChannelForm::RightButtonClick);
}

void TChannelForm::Query(const QString& fileName, int& channel) {
  FileEdit->setText(fileName);
  m_pChannel = &channel;
  // Enter picks the default button, so it also takes the focus.
  QPushButton* preferred = channel != 0 ? LeftButton : RightButton;
  LeftButton->setDefault(preferred == LeftButton);
  RightButton->setDefault(preferred == RightButton);
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

void TChannelForm::LeftButtonClick() {
  if (m_pChannel) *m_pChannel = 0;
  accept();
}

void TChannelForm::RightButtonClick() {
  if (m_pChannel) *m_pChannel = 1;
  accept();
}
