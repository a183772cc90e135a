#pragma once
// Answers a window's questions from a script and records what it showed, so
// that tests can drive the commands without dialogs.

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

#include "Prompts.h"

template <typename Base>
class ScriptedPromptsOf : public Base {
 public:
  void ShowMessage(const QString& text, const QString& caption = QString()) override {
    messages.push_back(caption.isEmpty() ? text : caption + QStringLiteral(": ") + text);
  }
  QString AskFileName(const FileDialogOptions& options) override {
    asked.push_back(options);
    if (fileNames.empty()) return QString();
    const QString name = fileNames.front();
    fileNames.pop_front();
    return name;
  }

  QStringList messages;           // "caption: text", or the text alone under the application title
  std::deque<QString> fileNames;  // the names chosen, in order; none left (or an empty one) cancels
  std::vector<FileDialogOptions> asked;
};

using ScriptedPrompts = ScriptedPromptsOf<Prompts>;
