// The configuration application's program start and main window: single instance, the skinned window with
// its tabs, pages and slot bar, the language library, and the monitor's notifications.
#pragma once

#include <windows.h>

namespace sarn::win {

// Control identifiers of the main window (the end-to-end tests find controls by them).
enum MainControlId : int {
  kIdTabFirst = 100,  // 100..104: Main, Button Assign, Advanced, Console, Update
  kIdCreate = 110,
  kIdLoad = 111,
  kIdSave = 112,
  kIdEdit = 113,
  kIdSlotFirst = 120,        // 120..124
  kIdMarkFirst = 130,        // 130..134: not marked
  kIdMarkSetFirst = 140,     // 140..144: marked
  kIdNameFirst = 150,        // 150..154
  kIdLanguage = 160,
  kIdMin = 170,
  kIdExit = 171,
  kIdOk = 172,
  kIdApply = 173,
  kIdCancel = 174,
  kIdMouseTypePicture = 180,
  kIdPageFirst = 200,        // 200..204, in page order
};

// The whole program: returns the process exit code. A second instance returns at once, without a window.
int RunOptionApplication(HINSTANCE instance);

}  // namespace sarn::win
