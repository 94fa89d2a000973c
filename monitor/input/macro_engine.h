// Macro playback: replays a button's macro steps as synthetic key and mouse-button input.
//
// Timing of one key press step with a long delay (auto-repeat of a held key):
//
//   down ... 500 ms ... up,down ... 33 ms ... up,down ... 33 ms ... (while the remainder r = delay - 500 > 0,
//                                                                    r shrinking by 33 each pair)
//
// A stop (a second press of a macro button) is noticed before every step, after every pass and between
// auto-repeat pairs; a step's plain wait always runs to its end. What the stopped macro still holds is then
// released, most recent first, 50 ms apart. A cancel (the mouse gone, the session left, a profile change on
// the mouse) is noticed where a stop is, and then everything still held is released.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "common/keyboard_layout.h"
#include "common/profile_record.h"
#include "monitor/input/input_ports.h"

namespace sarn {

inline constexpr unsigned kPlayMacroMessage = 1648;  // thread message that starts one run

// The monitor's one playback state, shared by the window thread and the player thread. `events`,
// `eventCount` and `loopCount` are written only while `playing` is 0.
struct PlaybackState {
  MacroEvent events[kMacroEventCapacity] = {};
  int eventCount = 0;
  int loopCount = 1;
  std::atomic<int> currentStep{0};
  std::atomic<int> stopRequested{0};
  std::atomic<int> playing{0};
  // Set only at monitor shut-down: the run ends at once and everything still held is released.
  std::atomic<int> shutdownRequested{0};
  // Ends the run like a stop, but releases everything still held; cleared when the next macro starts.
  std::atomic<int> cancelRequested{0};
};

// Left and right Shift, Ctrl and Alt become the generic keys; the Windows keys keep their side.
[[nodiscard]] unsigned FoldModifier(unsigned virtualKey);

// The virtual key a key code is sent as: table conversion, then folding.
[[nodiscard]] unsigned MacroVirtualKey(std::uint8_t key, const KeyboardLayout& layout);

// keybd_event for a virtual key of the key table with `flags` (kKeyUp or 0): the scan code of the layout, and
// keypad Enter (the table's separator key) as Enter with the extended flag.
void SendTableKey(KeyInput& input, const KeyboardLayout& layout, unsigned virtualKey, unsigned flags);

struct MouseButtonEvent {
  unsigned flags;
  unsigned data;
};
// The mouse_event flags and data for a MouseCode going down or up; flags 0 for any other code.
[[nodiscard]] MouseButtonEvent MouseButtonFor(std::uint8_t code, bool down);

class MacroEngine {
 public:
  MacroEngine(PlaybackState& state, KeyInput& input, const KeyboardLayout& layout, Clock& clock,
              DebugOutput& debug)
      : state_(state), input_(input), layout_(layout), clock_(clock), debug_(debug) {}

  // Plays events[first..end) `passes` times. Runs on the player thread only.
  void Run(const MacroEvent* events, int first, int end, int passes);

 private:
  enum class Interruption { kNone, kStop, kCancel, kShutdown };

  [[nodiscard]] Interruption Pending() const;
  // Waits until `due` (advanced by the wait) and reports a shut-down that cut the wait short.
  [[nodiscard]] Interruption WaitStep(ClockTime& due, int ms);
  // `last`: the final step of the run's final pass.
  [[nodiscard]] Interruption PlayStep(const MacroEvent& step, ClockTime& due, bool last);
  void SendRelease(std::uint8_t key);
  void ReleaseHeld(int first, Interruption why);

  PlaybackState& state_;
  KeyInput& input_;
  const KeyboardLayout& layout_;
  Clock& clock_;
  DebugOutput& debug_;
  std::vector<std::uint8_t> held_;  // HeldInputStack: last pressed at the back
};

}  // namespace sarn
