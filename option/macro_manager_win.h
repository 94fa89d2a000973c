// The macro manager window: sets, the macros of a set, and the step list of the selected macro with its
// recorder. It edits the store in place; the caller keeps (OK) or drops (any other exit) the edits.
#pragma once

#include <windows.h>

#include <filesystem>

#include "common/keyboard_layout.h"
#include "option/macro/macro_editor.h"

namespace sarn::win {

inline constexpr const wchar_t* kMacroManagerTitle = L"Sarn+ Macro Manager";
inline constexpr const wchar_t* kMacroSetNameTitle = L"Add Macro Set";
inline constexpr const wchar_t* kMacroConfirmTitle = L"Macro Manager confirmation";
inline constexpr const wchar_t* kMacroNoticeTitle = L"Macro Manager notice";

namespace macro_manager_ids {
inline constexpr int kSetSelector = 200;
inline constexpr int kNew = 201;
inline constexpr int kDelete = 202;
inline constexpr int kSwitchEditor = 203;
inline constexpr int kMacroList = 204;
inline constexpr int kRecord = 205;
inline constexpr int kDelayOption = 206;
inline constexpr int kLoopOption = 207;
inline constexpr int kLoopField = 208;
inline constexpr int kStepList = 209;
inline constexpr int kInPlaceEdit = 210;
inline constexpr int kSetNameField = 211;
// Commands of the set menu and the step list's context menu.
inline constexpr unsigned kCmdAddSet = 2900;
inline constexpr unsigned kCmdDeleteSet = 2901;
inline constexpr unsigned kCmdFirstSet = 3000;
inline constexpr unsigned kCmdRecordBefore = 2000;
inline constexpr unsigned kCmdRecordAfter = 2001;
inline constexpr unsigned kCmdInsertDelay = 2002;
inline constexpr unsigned kCmdFirstMouse = 2010;  // + 3 x button (left, right, wheel) + action (down, up, click)
inline constexpr unsigned kCmdEditDelay = 2030;
inline constexpr unsigned kCmdDeleteLine = 2031;
}  // namespace macro_manager_ids

// Modal; true for OK. `setIndex` -1 opens in create mode (nothing selected), otherwise in edit mode on that
// set (or on the set of `slot`'s macro when the store has it). The manager's own settings live in the
// config.ini of `settingsFolder` (empty: the program folder).
bool MacroManagerDialog(HWND owner, int dpi, MacroStore& store, int setIndex, const ButtonSlot& slot,
                        const KeyboardLayout& layout, const std::filesystem::path& settingsFolder = {});

}  // namespace sarn::win
