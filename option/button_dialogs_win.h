// The dialogs the button page opens for a function's parameters: the shortcut dialog (keys captured by the
// keyboard hook for its whole life), the program path, the media player choice, and the two timer dialogs.
// All are skinned modal windows; each returns true for OK and changes its arguments only then.
#pragma once

#include <windows.h>

#include <string>

#include "common/keyboard_layout.h"
#include "option/button_page.h"

namespace sarn::win {

// Control identifiers (GetDlgItem on the dialog window).
namespace button_dialog_ids {
inline constexpr int kKeyField = 100;
inline constexpr int kFirstCheck = 110;  // + ShortcutCheck (None, Shift, Ctrl, Alt, Win)
inline constexpr int kPathField = 120;
inline constexpr int kBrowse = 121;
inline constexpr int kPlayer = 130;
inline constexpr int kTimerName = 140;
inline constexpr int kTimerValue = 141;
inline constexpr int kTimerUp = 142;
inline constexpr int kTimerDown = 143;
inline constexpr int kTimerList = 144;
inline constexpr int kTimerSave = 145;
inline constexpr int kTimerDelete = 146;
}  // namespace button_dialog_ids

// Window titles.
inline constexpr const wchar_t* kShortcutDialogTitle = L"Brin Key Shortcut Dialog";
inline constexpr const wchar_t* kProgramPathDialogTitle = L"Program to start";
inline constexpr const wchar_t* kMediaPlayerDialogTitle = L"Media player";
inline constexpr const wchar_t* kTimerCreateDialogTitle = L"New timer";
inline constexpr const wchar_t* kTimerListDialogTitle = L"Timers";
inline constexpr const wchar_t* kTimerDeleteDialogTitle = L"Delete timer";

bool ShortcutDialog(HWND owner, int dpi, ShortcutChoice& choice, const KeyboardLayout& layout);
bool ProgramPathDialog(HWND owner, int dpi, std::wstring& path);
// A value outside 0..3 shows an empty selector and comes back unchanged unless a player is chosen.
bool MediaPlayerDialog(HWND owner, int dpi, int& option);
// Name (UTF-8, trimmed on OK) and value of a new timer; OK keeps the dialog open until the name is free.
bool TimerCreateDialog(HWND owner, int dpi, const TimerList& timers, std::string& name, int& value);
bool TimerListDialog(HWND owner, int dpi, TimerListEditor& editor);

// The dialogs port of the button page.
class Win32ButtonDialogs final : public ButtonDialogs {
 public:
  Win32ButtonDialogs(HWND owner, int dpi, const KeyboardLayout& layout) : owner_(owner), dpi_(dpi), layout_(layout) {}
  bool EditShortcut(ShortcutChoice& choice) override;
  bool EditProgramPath(std::string& path) override;
  bool ChooseMediaPlayer(int& option) override;
  bool CreateTimer(const TimerList& timers, std::string& name, int& value) override;
  bool EditTimers(TimerListEditor& editor) override;
  bool OpenMacroManager(MacroStore& store, int setIndex) override;
  // The button being edited when the manager opens: its macro is preselected and its set marked.
  void SetEditedSlot(const ButtonSlot& slot) { editedSlot_ = slot; }

 private:
  HWND owner_;
  int dpi_;
  const KeyboardLayout& layout_;
  ButtonSlot editedSlot_{};
};

}  // namespace sarn::win
