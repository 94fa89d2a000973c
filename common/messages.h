// Window messages and command ids that cross a program boundary: between the monitor and the configuration
// application, and from a second monitor, sarnctl and the tests to the running monitor. Each number lives here
// only; messages a program sends only to itself or its own threads stay with that program.
#pragma once

namespace sarn {

// To the monitor's window. ApplyAll is sent and waited for: wParam 0 apply, 1 restore defaults.
inline constexpr unsigned kMsgApplyAll = 1224;
inline constexpr unsigned kMsgReadBlock = 1226;
inline constexpr unsigned kMsgReadBlockAndApply = 1227;

// Posted to the configuration window (wParam and lParam 0). Nothing of ours sends 1256 or 1258; the window
// accepts them (1256 enables OK and Apply, 1258 is ignored).
inline constexpr unsigned kMsgDeviceReadDone = 1254;
inline constexpr unsigned kMsgProfileSwitched = 1255;
inline constexpr unsigned kMsgEnableApply = 1256;
inline constexpr unsigned kMsgSensorChanged = 1257;
inline constexpr unsigned kMsgIgnored = 1258;

// WM_COMMAND ids of the monitor: its tray menu's items, also posted by a second monitor and by sarnctl.
inline constexpr unsigned kCmdOpenConfiguration = 6001;
inline constexpr unsigned kCmdExit = 6002;

// To the on-screen display program's main window, found by its title (posted, never sent: a display that
// hangs must not hold up the monitor). OsdText: wParam 50, lParam 0, a new text is in "OSDData"/"Message" of
// config.ini. OsdSettings: wParam 0, lParam the two forwarded words of the notification record.
inline constexpr const char* kOsdWindowTitle = "ZORVAN Sarn[+] Mouse OSD";
inline constexpr unsigned kMsgOsdText = 1324;
inline constexpr unsigned kMsgOsdSettings = 1326;

// OsdShow: posted by the monitor at the moment it announces a change, whether or not the spoken cue for it is
// switched on. wParam is one OsdEvent, lParam its value. The display reads anything else it shows (profile
// names) from the shared block or the settings file itself.
inline constexpr unsigned kMsgOsdShow = 1330;
enum class OsdEvent : unsigned {
  kProfile = 1,          // lParam: the slot switched to, 0..4
  kWindowsProfile = 2,   // lParam: the slot switched to, 0..4 (the profile used outside listed games)
  kDpi = 3,              // lParam: the DPI level code, 1..7
  kSensitivityUp = 4,    // lParam: the new sensitivity, 1..10
  kSensitivityDown = 5,  // lParam: the new sensitivity, 1..10
  kTimerStarted = 6,     // lParam: the countdown's length in seconds
  kTimerStopped = 7,     // lParam: 0
  kTimerCountdown = 8,   // lParam: seconds left, 10..1 (the last ten seconds)
};

}  // namespace sarn
