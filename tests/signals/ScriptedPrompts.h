#pragma once
// Answers the questions of kadenzo's commands from a script and records what
// was shown, so that tests can drive the sound objects without dialogs.

#include <QString>
#include <QStringList>

#include <deque>

#include "KadenzoPrompts.h"

class ScriptedPrompts : public KadenzoPrompts {
 public:
  void ShowMessage(const QString& text, const QString& caption = QString()) override {
    messages.push_back(caption + QStringLiteral(": ") + text);
  }
  QString AskFileName(const FileDialogOptions&) override {
    if (fileNames.empty()) return QString();
    const QString name = fileNames.front();
    fileNames.pop_front();
    return name;
  }
  // The next scripted channel, or the channel left alone (dialog closed).
  void AskChannel(const QString& fileName, int& channel) override {
    channelQuestions.push_back(fileName);
    if (!channels.empty()) {
      channel = channels.front();
      channels.pop_front();
    }
  }
  bool AskModel(double* duration, double* frequency, double* band) override {
    if (!modelAnswer) return false;
    if (duration) *duration = modelDuration;
    if (frequency) *frequency = modelFrequency;
    if (band) *band = modelBand;
    return true;
  }

  QStringList messages;  // "caption: text"
  QStringList channelQuestions;
  std::deque<QString> fileNames;
  std::deque<int> channels;
  bool modelAnswer = false;
  double modelDuration = 0;
  double modelFrequency = 0;
  double modelBand = 0;
};
