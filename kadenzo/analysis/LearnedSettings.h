#pragma once
// A learned rhythm in the terms of kadenzo's rhythm fields and envelope, the
// same for the window's "Lear&n…" and the renderer's --learn.

#include <cstdint>
#include <string>
#include <vector>

#include "LearnRhythm.h"

// Below this confidence a learned rhythm changes nothing.
constexpr double kLeastConfidence = 0.5;

// The window's envelope has 539 points over one period and the seam point;
// learning gives 540 values, the last at the phase where the seam point sits.
constexpr int kLearnedEnvelopeValues = 540;

// The rhythm of a sound file's samples (frames x channels, interleaved; the
// channels are averaged, or where they cancel so, the loudest taken alone).
LearnedRhythm LearnFromSamples(const std::int16_t* samples, int frames, int channels, int rate,
                               Progress* progress = nullptr);

// "No clear rhythm in " + name + " (confidence C)."
std::string NoRhythmMessage(const std::string& fileName, double confidence);

// "period=... time-deviation=... magnitude-deviation=... confidence=...", or
// the same as a JSON object.
std::string DescribeLearned(const LearnedRhythm& rhythm, bool json);
