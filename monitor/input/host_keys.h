// The button functions that act on the desktop from the monitor's window thread: keyboard shortcuts with
// their held-key repeat, program launch, the media-player buttons and the Windows volume keys.
//
// A held shortcut:   press ... 1000 ms ... repeat ... 100 ms ... repeat ... release
// A held volume key: tap ... 300 ms ... tap ... 300 ms ... tap ... release
// The repeats are ticks of the main window's timers 102 and 101, forwarded to OnShortcutTimer and
// OnVolumeTimer.
//
// What a button pressed is remembered with the button, not looked up again at its release: by then the
// active profile may have changed, and the same slot may hold other keys or another function. A key that
// several held buttons pressed (Ctrl of two shortcuts) goes up with the last of them, so letting go of one
// button never lifts a modifier another button still holds.
#pragma once

#include <cstdint>
#include <vector>

#include "common/keyboard_layout.h"
#include "common/profile_record.h"
#include "monitor/input/input_ports.h"
#include "monitor/input/media_players.h"

namespace sarn {

inline constexpr unsigned kVolumeTimerId = 101;
inline constexpr unsigned kShortcutTimerId = 102;
inline constexpr unsigned kShortcutFirstRepeatMs = 1000;
inline constexpr unsigned kShortcutRepeatMs = 100;
inline constexpr unsigned kVolumeRepeatMs = 300;

inline constexpr unsigned kVkVolumeMute = 173;
inline constexpr unsigned kVkVolumeDown = 174;
inline constexpr unsigned kVkVolumeUp = 175;

class HostKeys {
 public:
  HostKeys(KeyInput& input, const KeyboardLayout& layout, Clock& clock, WindowTimers& timers, Desktop& desktop,
           MediaPlayers& players)
      : input_(input), layout_(layout), clock_(clock), timers_(timers), desktop_(desktop), players_(players) {}

  // Button index `button` (0..17), holding the keyboard shortcut `slot`, was pressed; or released, which lets
  // go of exactly what its press put down, whatever `slot` holds by then. Other indexes do nothing.
  void ShortcutButton(int button, const ButtonSlot& slot, bool pressed);
  // The same with the slot of that button in the active profile.
  void ShortcutButton(const ProfileRecord& activeProfile, int button, bool pressed);
  // Lets go of what button index `button` holds, as its release does; nothing when it holds nothing.
  void ReleaseShortcut(int button);
  void OnShortcutTimer();  // tick of timer 102

  // A quick-launch slot was pressed: open its program.
  void LaunchProgram(const ButtonSlot& slot);
  // The same for button number 1..18 of the active profile; other numbers do nothing.
  void LaunchProgram(const ProfileRecord& activeProfile, int buttonNumber);

  // Function codes 32..39; `mediaOption` is the active profile's player choice.
  void MediaButton(int code, bool pressed, int mediaOption);
  void OnVolumeTimer();  // tick of timer 101

  // Lets go of every held shortcut (the last pressed first; each its key, then its modifiers) and ends a
  // volume key's repeat: for the paths on which the mouse's own release will never come, and before the
  // host changes profile or settings under a held button.
  void ReleaseAll();

 private:
  struct Modifiers {
    unsigned keys[4];
    int count;
  };
  // The keys one held shortcut button put down, as it put them down.
  struct HeldShortcut {
    int button;
    Modifiers modifiers;
    unsigned key;  // 0: none
  };
  [[nodiscard]] static Modifiers ModifierList(std::uint8_t flags);
  void TapVolumeKey(unsigned virtualKey);
  [[nodiscard]] bool StillHeld(unsigned virtualKey) const;

  KeyInput& input_;
  const KeyboardLayout& layout_;
  Clock& clock_;
  WindowTimers& timers_;
  Desktop& desktop_;
  MediaPlayers& players_;
  std::vector<HeldShortcut> held_;  // in the order of the presses
  int repeatButton_ = -1;           // the shortcut button last pressed, while held: the repeat works on it
  bool firstTick_ = false;
  int volumeCode_ = 0;              // the volume function last pressed, while its repeat runs; else 0
};

}  // namespace sarn
