// The small modal windows of the configuration application: the profile settings dialog, the windows-profile
// confirmation, the language list and the platform's file dialogs. Each is skinned like the main window.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "option/option_core.h"

namespace sarn::win {

// "Profile settings": the name (at most 20 characters) and the three games. Texts are stored text (system
// code page) in and out; true on OK.
bool ProfileSettingsDialog(HWND owner, int dpi, OptionShell::ProfileTexts& texts);
// "Mark slot n as the windows profile?" with OK, Cancel and Exit.
bool ConfirmWindowsProfileDialog(HWND owner, int dpi, int slotNumber);
// "Put everything back to the factory settings?" with OK, Cancel and Exit; true only for OK.
bool ConfirmResetDialog(HWND owner, int dpi);
// The language list dropped above the language button (button rectangle in screen pixels): 0..16 or -1.
int LanguageList(HWND owner, const RECT& buttonOnScreen, int dpi);
// The executable browser the profile and program-path dialogs share; empty when cancelled.
std::wstring BrowseForProgram(HWND owner);
// A profile file (*.zmp) to load or to save to; empty when cancelled.
std::filesystem::path ChooseProfileFile(HWND owner, bool save);

}  // namespace sarn::win
