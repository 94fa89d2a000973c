// The button functions that act on the desktop from the monitor's window thread: keyboard shortcuts with
// their held-key repeat, program launch, the media-player buttons and the Windows volume keys.
//
// A held shortcut:   press ... 1000 ms ... repeat ... 100 ms ... repeat ... release
// A held volume key: tap ... 300 ms ... tap ... 300 ms ... tap ... release
// The repeats are ticks of the main window's timers 102 and 101, forwarded to OnShortcutTimer and
// OnVolumeTimer.
#pragma once

#include <cstdint>

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

  // A slot holding a keyboard shortcut was pressed or released.
  void ShortcutButton(const ButtonSlot& slot, bool pressed);
  // The same for button index 0..17 of the active profile; other indexes do nothing.
  void ShortcutButton(const ProfileRecord& activeProfile, int button, bool pressed);
  void OnShortcutTimer();  // tick of timer 102

  // A quick-launch slot was pressed: open its program.
  void LaunchProgram(const ButtonSlot& slot);
  // The same for button number 1..18 of the active profile; other numbers do nothing.
  void LaunchProgram(const ProfileRecord& activeProfile, int buttonNumber);

  // Function codes 32..39; `mediaOption` is the active profile's player choice.
  void MediaButton(int code, bool pressed, int mediaOption);
  void OnVolumeTimer();  // tick of timer 101

  // Lets go of a held shortcut (its key, then its modifiers) and ends a volume key's repeat: for the paths on
  // which the mouse's own release will never come.
  void ReleaseAll();

 private:
  struct Modifiers {
    unsigned keys[4];
    int count;
  };
  [[nodiscard]] static Modifiers ModifierList(std::uint8_t flags);
  void TapVolumeKey(unsigned virtualKey);
  void ReleaseShortcut(const MacroEvent& value);

  KeyInput& input_;
  const KeyboardLayout& layout_;
  Clock& clock_;
  WindowTimers& timers_;
  Desktop& desktop_;
  MediaPlayers& players_;
  MacroEvent shortcut_{};  // the shortcut last pressed; the repeat works on it
  bool firstTick_ = false;
  bool shortcutHeld_ = false;
  int volumeCode_ = 0;
};

}  // namespace sarn
