// Single-key and recording capture: a low-level keyboard hook that swallows every key press and release
// while a capture runs and posts each one to the capturing window. One hook per process; starting it again
// only changes the window that receives the keys.
//
// The hook lives on a thread of its own that does nothing else: the system calls a low-level hook on the
// thread that installed it, and every key of the whole session waits for the answer. The window thread saves
// files and opens dialogs; had the hook been its own, a busy moment there would hold up the whole keyboard,
// and Windows removes, without a word, a hook that keeps it waiting past LowLevelHooksTimeout.
// Keys our monitor injects (common/injected_input.h) pass by uncaptured.
//
// Start, stop and CapturedKeyTime are called from the capturing window's thread.
#pragma once

#include <windows.h>

namespace sarn::win {

// Posted to the capturing window for every key event: wParam the virtual key as the key table has it (keypad
// Enter as the separator key, common/keys.h), lParam 0x80 for a release and 0 for a press.
inline constexpr UINT kMsgKeyCaptured = 1034;

// Starts the hook thread and its hook (or moves the capture to `target`); false when the system refused
// the hook or the thread.
bool StartKeyHook(HWND target);
// Ends the capture, removes the hook on its thread and waits for that thread; nothing happens when none runs.
void StopKeyHook();
[[nodiscard]] bool KeyHookInstalled();

// The keyboard event's own millisecond stamp (KBDLLHOOKSTRUCT::time, the system's tick of the event) for the
// oldest captured key not yet asked for, when it is this key; otherwise the message's time. A recording
// measures gaps with it, so a window that is slow to read its messages does not stretch them.
[[nodiscard]] DWORD CapturedKeyTime(WPARAM virtualKey, LPARAM upFlag);

}  // namespace sarn::win
