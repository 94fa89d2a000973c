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

}  // namespace sarn
