#include "WindowPrompts.h"

#include "Channel.h"
#include "Model.h"

WindowPrompts::WindowPrompts(QWidget* window)
    : m_Dialogs(window), m_pChannelForm(new TChannelForm(window)), m_pModelForm(new TModelForm(window)) {}

void WindowPrompts::ShowMessage(const QString& text, const QString& caption) {
  m_Dialogs.ShowMessage(text, caption);
}

QString WindowPrompts::AskFileName(const FileDialogOptions& options) { return m_Dialogs.AskFileName(options); }

void WindowPrompts::AskChannel(const QString& fileName, int& channel) { m_pChannelForm->Query(fileName, channel); }

bool WindowPrompts::AskModel(double* duration, double* frequency, double* band) {
  return m_pModelForm->Query(duration, frequency, band);
}
