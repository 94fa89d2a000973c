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

void HostKeys::ShortcutButton(int button, const ButtonSlot& slot, bool pressed) {
  if (button < 0 || button >= kButtonCount) return;
  // A second press without its release (a release lost on the way) first lets go of the first press.
  ReleaseShortcut(button);
  if (!pressed) return;

  const MacroEvent value = slot.events[0];
  HeldShortcut press{button, ModifierList(value.kind), MacroVirtualKey(value.key, layout_)};
  for (int i = 0; i < press.modifiers.count; ++i) {
    input_.KeyEvent(press.modifiers.keys[i], layout_.VirtualKeyToScanCode(press.modifiers.keys[i]), 0);
    (void)WaitFor(clock_, kModifierGap);
  }
  if (press.key != 0) SendTableKey(input_, layout_, press.key, 0);
  held_.push_back(press);
  repeatButton_ = button;
  firstTick_ = true;
  timers_.StartTimer(kShortcutTimerId, kShortcutFirstRepeatMs);
}

bool HostKeys::StillHeld(unsigned virtualKey) const {
  for (const HeldShortcut& h : held_) {
    if (h.key == virtualKey) return true;
    for (int i = 0; i < h.modifiers.count; ++i) {
      if (h.modifiers.keys[i] == virtualKey) return true;
    }
  }
  return false;
}

void HostKeys::ReleaseShortcut(int button) {
  auto it = held_.begin();
  while (it != held_.end() && it->button != button) ++it;
  if (it == held_.end()) return;
  const HeldShortcut press = *it;
  held_.erase(it);
  // The repeat belongs to the button last pressed; letting go of another held button leaves it running,
  // as a keyboard keeps repeating the last key while an earlier one comes up.
  if (repeatButton_ == button) {
    timers_.StopTimer(kShortcutTimerId);
    repeatButton_ = -1;
  }
  if (press.key != 0 && !StillHeld(press.key)) {
    SendTableKey(input_, layout_, press.key, kKeyUp);
  }
  for (int i = press.modifiers.count - 1; i >= 0; --i) {
    const unsigned vk = press.modifiers.keys[i];
    if (StillHeld(vk)) continue;
    (void)WaitFor(clock_, kModifierGap);
    input_.KeyEvent(vk, layout_.VirtualKeyToScanCode(vk), kKeyUp);
  }
}

void HostKeys::ShortcutButton(const ProfileRecord& activeProfile, int button, bool pressed) {
  if (button < 0 || button >= kButtonCount) return;
  ShortcutButton(button, activeProfile.MacroKeyInfo[button], pressed);
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
  unsigned vk = 0;
  for (const HeldShortcut& h : held_) {
    if (h.button == repeatButton_) vk = h.key;
  }
  if (vk == 0 || IsModifierKey(vk)) return;
  SendTableKey(input_, layout_, vk, kKeyUp);
  (void)WaitFor(clock_, kModifierGap);
  SendTableKey(input_, layout_, vk, 0);
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
    // The repeat belongs to the volume button last pressed (the event names the function, not the
    // button): the release of the other one leaves it running.
    if (code == kFnVolumeUp || code == kFnVolumeDown) {
      if (code == volumeCode_) {
        timers_.StopTimer(kVolumeTimerId);
        volumeCode_ = 0;
      }
    }
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
  volumeCode_ = 0;
  while (!held_.empty()) ReleaseShortcut(held_.back().button);
}

void HostKeys::OnVolumeTimer() {
  if (volumeCode_ == 0) return;  // a tick already queued when the repeat ended
  TapVolumeKey(volumeCode_ == kFnVolumeUp ? kVkVolumeUp : kVkVolumeDown);
}

}  // namespace sarn
