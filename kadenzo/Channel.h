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
  // "Right" 1, "Both (stereo)" kBothChannels; closed any other way, channel
  // keeps its value. Left is the default after Right or both, Right after Left.
  void Query(const QString& fileName, int& channel);

  QPushButton* LeftButton;
  QPushButton* RightButton;
  QPushButton* BothButton;
  QLineEdit* FileEdit;

  void LeftButtonClick();
  void RightButtonClick();
  void BothButtonClick();

 private:
  void Choose(int channel);

  int* m_pChannel = nullptr;  // the caller's variable while a query runs
};
