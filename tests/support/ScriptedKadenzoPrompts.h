#pragma once
// kadenzo's questions answered from a script: the channel of a two-channel file
// and the Model dialog, on top of messages and file names.

#include "KadenzoPrompts.h"
#include "ScriptedPrompts.h"

class ScriptedKadenzoPrompts : public ScriptedPromptsOf<KadenzoPrompts> {
 public:
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

  QStringList channelQuestions;
  std::deque<int> channels;
  bool modelAnswer = false;
  double modelDuration = 0;
  double modelFrequency = 0;
  double modelBand = 0;
};
