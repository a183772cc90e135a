#pragma once
// The questions kadenzo's commands put to the user, on top of message boxes and
// file dialogs. The window's real implementation shows TChannelForm and
// TModelForm; tests answer them.

#include "Prompts.h"

// The answer to the channel question that takes both channels as a stereo sound.
constexpr int kBothChannels = 2;

class KadenzoPrompts : public Prompts {
 public:
  // Which channel of a two-channel file to use: leaves 0 (left), 1 (right) or
  // kBothChannels in channel, or leaves it alone when the dialog is closed
  // another way.
  virtual void AskChannel(const QString& fileName, int& channel) = 0;

  // The Model dialog. Each pointer may be null (not asked); true when OK was
  // pressed, and then the given values have been overwritten.
  virtual bool AskModel(double* duration, double* frequency, double* band) = 0;
};
