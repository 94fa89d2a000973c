// The ranges of the numbers that come from outside (profile files, the shared block, the registry, messages
// of other programs) and the one clamp applied where such a number is used. A stored file keeps whatever it
// holds; only the value handed to a system call, a loop or the mouse is brought into range, so a hand-edited
// TiltSpeed of a million cannot turn one tilt into a million injected clicks.
#pragma once

#include <concepts>
#include <utility>

namespace sarn {

struct ValueRange {
  int min;
  int max;
};

// `value` limited to `range`; any integer type, so a 64-bit message parameter is limited before it narrows.
template <std::integral T>
[[nodiscard]] constexpr int Clamped(T value, ValueRange range) {
  if (std::cmp_less(value, range.min)) return range.min;
  if (std::cmp_greater(value, range.max)) return range.max;
  return static_cast<int>(value);
}

// Profile record fields (docs/files.md).
inline constexpr ValueRange kDoubleClickSpeedRange{200, 900};  // milliseconds
inline constexpr ValueRange kScrollWheelSpeedRange{1, 10};     // lines per notch
inline constexpr ValueRange kMouseSpeedRange{1, 20};           // the system's pointer speed
inline constexpr ValueRange kAccelerationRange{0, 19};         // row of the acceleration table
inline constexpr ValueRange kTiltSpeedRange{1, 10};            // characters, and repeats, per tilt
inline constexpr ValueRange kSensitivityRange{1, 10};
inline constexpr ValueRange kCpiRange{1, 7};                   // DPI level codes 1, 2, 4, 7
inline constexpr ValueRange kPollingRateRange{0, 3};
inline constexpr ValueRange kFlagRange{0, 1};                  // XYSynchronous, LightSwitch, LightType, Orientation
inline constexpr ValueRange kColorOptionsRange{0, 6};
inline constexpr ValueRange kColorChangeModeRange{0, 2};

// The acceleration values the registry hands over as they are when the profile keeps acceleration on: the
// system knows levels 0..2; thresholds are distances in mickeys, never negative (the table's own reach 13).
inline constexpr ValueRange kSystemAccelerationRange{0, 2};
inline constexpr ValueRange kMouseThresholdRange{0, 255};

// Message 1238 from other programs: document scroll steps (10 pixels each) and line scrolls it may cause.
inline constexpr ValueRange kIEScrollStepsRange{0, 100};

}  // namespace sarn
