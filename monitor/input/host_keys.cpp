#include "monitor/input/host_keys.h"

#include <chrono>
#include <cstring>
#include <string>

#include "common/button_functions.h"
#include "monitor/input/macro_engine.h"

namespace sarn {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kModifierGap{1};

// Keys that are themselves modifiers are never repeated: a held Shift does not auto-repeat either.
bool IsModifierKey(unsigned vk) {
  return vk == 16 || vk == 17 || vk == 18 || vk == 91 || vk == 92 || (vk >= 160 && vk <= 165);
}

}  // namespace

HostKeys::Modifiers HostKeys::ModifierList(std::uint8_t flags) {
  Modifiers list{{}, 0};
  if ((flags & kModNone) != 0) return list;
  // Always in this order, whatever order the user typed them in.
  if ((flags & kModCtrl) != 0) list.keys[list.count++] = 17;
  if ((flags & kModShift) != 0) list.keys[list.count++] = 16;
  if ((flags & kModAlt) != 0) list.keys[list.count++] = 18;
  if ((flags & kModWin) != 0) list.keys[list.count++] = 91;
  return list;
}

void HostKeys::ShortcutButton(const ButtonSlot& slot, bool pressed) {
  const MacroEvent value = slot.events[0];
  const Modifiers mods = ModifierList(value.kind);
  const unsigned vk = MacroVirtualKey(value.key, layout_);

  if (pressed) {
    shortcut_ = value;
    shortcutHeld_ = true;
    for (int i = 0; i < mods.count; ++i) {
      input_.KeyEvent(mods.keys[i], layout_.VirtualKeyToScanCode(mods.keys[i]), 0);
      (void)WaitFor(clock_, kModifierGap);
    }
    if (vk != 0) input_.KeyEvent(vk, layout_.VirtualKeyToScanCode(vk), 0);
    firstTick_ = true;
    timers_.StartTimer(kShortcutTimerId, kShortcutFirstRepeatMs);
    return;
  }

  ReleaseShortcut(value);
}

void HostKeys::ReleaseShortcut(const MacroEvent& value) {
  const Modifiers mods = ModifierList(value.kind);
  const unsigned vk = MacroVirtualKey(value.key, layout_);
  timers_.StopTimer(kShortcutTimerId);
  shortcutHeld_ = false;
  if (vk != 0) input_.KeyEvent(vk, layout_.VirtualKeyToScanCode(vk), kKeyUp);
  for (int i = mods.count - 1; i >= 0; --i) {
    (void)WaitFor(clock_, kModifierGap);
    input_.KeyEvent(mods.keys[i], layout_.VirtualKeyToScanCode(mods.keys[i]), kKeyUp);
  }
}

void HostKeys::ShortcutButton(const ProfileRecord& activeProfile, int button, bool pressed) {
  if (button < 0 || button >= kButtonCount) return;
  ShortcutButton(activeProfile.MacroKeyInfo[button], pressed);
}

void HostKeys::LaunchProgram(const ProfileRecord& activeProfile, int buttonNumber) {
  if (buttonNumber < 1 || buttonNumber > kButtonCount) return;
  LaunchProgram(activeProfile.MacroKeyInfo[buttonNumber - 1]);
}

void HostKeys::OnShortcutTimer() {
  if (firstTick_) {
    timers_.StopTimer(kShortcutTimerId);
    firstTick_ = false;
    timers_.StartTimer(kShortcutTimerId, kShortcutRepeatMs);
  }
  const unsigned vk = MacroVirtualKey(shortcut_.key, layout_);
  if (vk == 0 || IsModifierKey(vk)) return;
  const unsigned scan = layout_.VirtualKeyToScanCode(vk);
  input_.KeyEvent(vk, scan, kKeyUp);
  (void)WaitFor(clock_, kModifierGap);
  input_.KeyEvent(vk, scan, 0);
}

void HostKeys::LaunchProgram(const ButtonSlot& slot) {
  if (slot.functionCode != kFnLaunchProgram) return;
  // The path field may be filled to its last byte without a terminator.
  desktop_.ShellOpen(std::string(slot.programPath, strnlen(slot.programPath, sizeof slot.programPath)));
}

void HostKeys::TapVolumeKey(unsigned virtualKey) {
  input_.KeyEvent(virtualKey, 0, kKeyExtended);
  input_.KeyEvent(virtualKey, 0, kKeyExtended | kKeyUp);
}

void HostKeys::MediaButton(int code, bool pressed, int mediaOption) {
  if (code < kFnOpenPlayer || code > kFnVolumeDown) return;
  if (!pressed) {
    if (code == kFnVolumeUp || code == kFnVolumeDown) timers_.StopTimer(kVolumeTimerId);
    return;
  }
  switch (code) {
    case kFnOpenPlayer:
      players_.OpenMediaPlayer(mediaOption);
      break;
    case kFnPreviousTrack:
      players_.SendMediaCommand(mediaOption, kMediaPreviousTrack);
      break;
    case kFnNextTrack:
      players_.SendMediaCommand(mediaOption, kMediaNextTrack);
      break;
    case kFnPlayPause:
      players_.SendMediaCommand(mediaOption, kMediaPlayPause);
      break;
    case kFnStop:
      players_.SendMediaCommand(mediaOption, kMediaStop);
      break;
    case kFnMute:
      TapVolumeKey(kVkVolumeMute);
      break;
    case kFnVolumeUp:
    case kFnVolumeDown:
      volumeCode_ = code;
      TapVolumeKey(code == kFnVolumeUp ? kVkVolumeUp : kVkVolumeDown);
      timers_.StartTimer(kVolumeTimerId, kVolumeRepeatMs);
      break;
    default:
      break;
  }
}

void HostKeys::ReleaseAll() {
  timers_.StopTimer(kVolumeTimerId);
  if (shortcutHeld_) ReleaseShortcut(shortcut_);
}

void HostKeys::OnVolumeTimer() { TapVolumeKey(volumeCode_ == kFnVolumeUp ? kVkVolumeUp : kVkVolumeDown); }

}  // namespace sarn
