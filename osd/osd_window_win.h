// The display program's two windows. The main window is hidden for the program's life and keeps the title
// the monitor finds it by ("ZORVAN Sarn[+] Mouse OSD"); it takes the messages and owns the one timer. The
// display window is the panel itself: layered, click-through, topmost, never activated, never in the taskbar
// or Alt+Tab, and its window text is the text it shows (so a test or a screen reader can read it) — a second
// window, because the main window's title must never change.
#pragma once

#include <windows.h>

#include <filesystem>

namespace sarn::win {

inline constexpr const wchar_t* kOsdMainClass = L"SarnOsdMain";
inline constexpr const wchar_t* kOsdDisplayClass = L"SarnOsdDisplay";
inline constexpr const char* kOsdInstanceMutexName = "ZORVAN_Sarn+_Mouse_OSD";

// Registers the classes and creates both windows; the main window's handle, or nullptr. The program folder
// holds config.ini, config\ and help\.
[[nodiscard]] HWND CreateOsdWindows(HINSTANCE instance, const std::filesystem::path& programFolder);

}  // namespace sarn::win
