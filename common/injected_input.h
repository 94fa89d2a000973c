// The mark on input we inject ourselves. Every key and mouse-button event the monitor synthesises (macro
// playback, shortcuts, volume keys) carries kInjectedInputMark as its extra information (`dwExtraInfo`), so
// that our own low-level hooks can tell it from what the user types: the configuration window's key capture
// lets a macro that plays while the user records another pass by instead of recording it.
#pragma once

#include <cstdint>

namespace sarn {

// "SARN" in ASCII: a value no driver or other program is likely to use, and one that fits ULONG_PTR on
// 32-bit as on 64-bit Windows.
inline constexpr std::uintptr_t kInjectedInputMark = 0x5341524E;

// LLKHF_INJECTED in a low-level keyboard event's flags (KBDLLHOOKSTRUCT::flags): the event came from
// SendInput or keybd_event, not from a keyboard.
inline constexpr std::uint32_t kLowLevelKeyInjected = 0x10;

// Ours only when the system says it was injected AND it carries our mark: a keyboard driver that happens to
// set the same extra information is still the user's keyboard, and other programs' injected keys (remote
// desktop, on-screen keyboards) carry their own.
[[nodiscard]] constexpr bool IsOwnInjectedKey(std::uint32_t flags, std::uintptr_t extraInfo) {
  return (flags & kLowLevelKeyInjected) != 0 && extraInfo == kInjectedInputMark;
}

}  // namespace sarn
