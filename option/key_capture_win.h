// Single-key and recording capture: a low-level keyboard hook that swallows every key press and release
// while it is installed and posts each one to the capturing window. One hook per process; starting it
// again only changes the window that receives the keys.
#pragma once

#include <windows.h>

namespace sarn::win {

// Posted to the capturing window for every key event: wParam the virtual key, lParam 0x80 for a release
// and 0 for a press.
inline constexpr UINT kMsgKeyCaptured = 1034;

// Installs the hook (or moves it to `target`); false when the system refused it.
bool StartKeyHook(HWND target);
// Removes the hook; nothing happens when none is installed.
void StopKeyHook();
[[nodiscard]] bool KeyHookInstalled();

// The keyboard event's own millisecond stamp (KBDLLHOOKSTRUCT::time, the system's tick of the event) for the
// oldest captured key not yet asked for, when it is this key; otherwise the message's time. A recording
// measures gaps with it, so a window that is slow to read its messages does not stretch them.
[[nodiscard]] DWORD CapturedKeyTime(WPARAM virtualKey, LPARAM upFlag);

}  // namespace sarn::win
