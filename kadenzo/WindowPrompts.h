#pragma once
// The real answers to kadenzo's questions: message boxes and file dialogs on
// the main window, and the Channel and Model dialogs, created hidden with it.

#include "KadenzoPrompts.h"
#include "Prompts.h"

class TChannelForm;
class TModelForm;

class WindowPrompts : public KadenzoPrompts {
 public:
  explicit WindowPrompts(QWidget* window);

  void ShowMessage(const QString& text, const QString& caption = QString()) override;
  QString AskFileName(const FileDialogOptions& options) override;
  void AskChannel(const QString& fileName, int& channel) override;
  bool AskModel(double* duration, double* frequency, double* band) override;

 private:
  QtPrompts m_Dialogs;
  TChannelForm* m_pChannelForm;  // owned by the window
  TModelForm* m_pModelForm;      // owned by the window
};
