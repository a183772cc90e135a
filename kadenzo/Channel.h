#pragma once
// The channel dialog: which channel of a two-channel WAV file to use.

#include <QDialog>

class QLineEdit;
class QPushButton;

class TChannelForm : public QDialog {
  Q_OBJECT

 public:
  explicit TChannelForm(QWidget* parent = nullptr);

  // Shows the file name and runs the dialog. "Left" leaves 0 in channel,
  // "Right" 1; closed any other way, channel keeps its value. The button of
  // the channel not used last time is the default.
  void Query(const QString& fileName, int& channel);

  QPushButton* LeftButton;
  QPushButton* RightButton;
  QLineEdit* FileEdit;

  void LeftButtonClick();
  void RightButtonClick();

 private:
  int* m_pChannel = nullptr;  // the caller's variable while a query runs
};
