#pragma once
// The texts with which kadenzo refuses the work of "&Create" and "&Rhythm",
// shared by the window and the renderer.

namespace messages {

inline constexpr const char* kNoSource = "Source signal should be generated or loaded first.";
inline constexpr const char* kWrongPeriod = "Wrong period value.";
inline constexpr const char* kWrongDuration = "Wrong duration value.";
inline constexpr const char* kWrongModel = "Wrong frequency or band value.";
inline constexpr const char* kOverflow = "Floating point overflow";
inline constexpr const char* kInvalid = "Invalid floating point operation";

}  // namespace messages
