// The button page apart from any window: the function menu of a slot, what each menu command does to the
// working copy, which label looks active, which mouse picture is highlighted, the orientation, and the rules
// of the dialogs that supply a function's parameters (shortcut, program, media player, timers). The page
// window and the dialogs only translate messages into these calls; the dialogs themselves are behind
// ButtonDialogs, the files behind ButtonPageFiles.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/button_functions.h"
#include "common/keyboard_layout.h"
#include "common/profile_record.h"
#include "common/timer_list.h"
#include "option/macro/macro_store.h"

namespace sarn {

// --- Layout and identifiers -------------------------------------------------------------------------------
inline constexpr int kLabelIdBase = 200;  // label of slot k: 200 + k (the 1124 notification identifier)
inline constexpr int kHighlightPictureCount = 72;
inline constexpr int kOsClassWindowsXp = 4;

// "B1,32,41,159,19," .. "B18,423,217,159,19,"; empty outside 0..17.
[[nodiscard]] std::string_view ButtonLabelLayout(int slot);
inline constexpr std::string_view kRightHandedLayout = "right,166,278,100,20,";
inline constexpr std::string_view kLeftHandedLayout = "Left,270,278,100,20,";
inline constexpr std::string_view kMacroManagerLayout = "Macro Manager,605,276,155,24,";
// Language-library string shown in the help area over a control: labels of the base layer 1038, of the
// shift layer 1039, right 1041, Left 1042, Macro Manager 1044.
[[nodiscard]] int LabelHelpTextNumber(int slot);
inline constexpr int kRightHandedHelpText = 1041;
inline constexpr int kLeftHandedHelpText = 1042;
inline constexpr int kMacroManagerHelpText = 1044;

struct PageRect {
  int left, top, right, bottom;
  bool operator==(const PageRect&) const = default;
};
// Where highlight picture `index` (0..71) sits on the page: x 191 for 0..17, 582 for 18..71, y 40..236.
[[nodiscard]] PageRect HighlightPictureRect(int index);
// The two mouse-picture areas that an orientation change repaints.
inline constexpr PageRect kMousePictureAreas[2] = {{215, 28, 355, 150}, {610, 28, 750, 150}};

// --- Labels, pictures, orientation ------------------------------------------------------------------------
// B1, B2 and unavailable slots (code 0) wear the inactive look and open no menu.
[[nodiscard]] bool LabelInactive(int slot, std::uint8_t code);
[[nodiscard]] bool OpensFunctionMenu(int slot, std::uint8_t code);

// The highlight picture for slot 0..17, given the codes of B5 and B7 and the orientation; -1 for none
// (a shift-layer slot while neither B5 nor B7 is a shift key). Pictures 0..17 show the base layer,
// 18..35 the shift layer of B5, 36..53 that of B7, 54..71 both; the left-handed half of each group is 9 on.
[[nodiscard]] int HighlightPicture(int slot, std::uint8_t codeB5, std::uint8_t codeB7, int orientation);
[[nodiscard]] int HighlightPicture(int slot, const ProfileRecord& profile);

// What highlight picture `index` (0..71) shows: the mouse from above, mirrored for the left-handed half of
// each group, its buttons numbered for the base layer (1..9) or the shift layer (10..18), the shift buttons
// held for that layer marked with a plus, and one input (0..8, the hovered slot's) marked. `valid` is false
// outside 0..71.
struct HighlightContent {
  bool valid = false;
  bool mirrored = false;
  bool shiftLayer = false;
  bool heldB5 = false, heldB7 = false;
  int markedInput = -1;
  bool operator==(const HighlightContent&) const = default;
};
[[nodiscard]] HighlightContent HighlightPictureContent(int index);

// The page background and the pressed orientation button follow Orientation: 1 is left-handed, anything
// else right-handed.
[[nodiscard]] inline bool LeftHanded(int orientation) { return orientation == 1; }

// A click on a label while its own menu is open closes the menu; on many systems that click also reaches
// the label, and it must not open the menu again. The page remembers the label whose menu it opened and
// which label was under the pointer when that menu closed.
class MenuReopenGuard {
 public:
  // Whether a click on `label` should open its menu (and, if so, remembers it as the one opened).
  [[nodiscard]] bool OnClick(int label);
  // The menu closed with `labelUnderPointer` (-1 for none) under the pointer.
  void OnMenuClosed(int labelUnderPointer) { underPointerAtClose_ = labelUnderPointer; }

 private:
  int lastOpened_ = -1;
  int underPointerAtClose_ = -1;
};

// --- The function menu ------------------------------------------------------------------------------------
struct MenuEntry {
  enum class Kind { kCommand, kSubmenu, kSeparator };
  Kind kind = Kind::kCommand;
  unsigned command = 0;  // 0 for separators and submenus
  std::string text;      // UTF-8
  std::vector<MenuEntry> items;  // a submenu's entries
  bool highlight = false;
  bool trademark = false;
};

inline constexpr int kMenuMaxSets = 100;
inline constexpr int kMenuMaxMacrosPerSet = 100;
inline constexpr unsigned kCmdNothing = 1000;
inline constexpr unsigned kCmdShortcut = 1005;
inline constexpr unsigned kCmdProgram = 1015;
inline constexpr unsigned kCmdChoosePlayer = 1040;
inline constexpr unsigned kCmdNewMacro = 1049;
inline constexpr unsigned kCmdCreateTimer = 500;
inline constexpr unsigned kCmdEditTimers = 501;
inline constexpr unsigned kCmdStopTimer = 502;
inline constexpr unsigned kCmdFirstTimer = 505;
inline constexpr unsigned kCmdFirstMacro = 1100;     // + 100 x set + macro
inline constexpr unsigned kCmdFirstEditSet = 11100;  // + set

// The main popup for a slot. `slot` is the copy taken when the menu opened: it marks the set and macro the
// button holds. Set, macro and timer names are stored text and come out as UTF-8.
[[nodiscard]] std::vector<MenuEntry> BuildFunctionMenu(int button, const ButtonSlot& slot, const MacroStore& macros,
                                                       const TimerList& timers, bool windowsXpFamily);

// The code a plain assignment command gives (1001..1043 as the command table says), or -1 for commands that
// are not plain assignments.
[[nodiscard]] int CommandCode(unsigned command);

// --- Shortcut dialog --------------------------------------------------------------------------------------
enum ShortcutCheck { kCheckNone = 0, kCheckShift, kCheckCtrl, kCheckAlt, kCheckWin, kShortcutCheckCount };

// The shortcut dialog's state: the key (a usage code) and the five check buttons, which are the bits 0..4 of
// the modifier flags.
struct ShortcutChoice {
  std::uint8_t key = 0;
  std::array<bool, kShortcutCheckCount> checks{};

  // The key of the slot's first step and the check states from its flags.
  [[nodiscard]] static ShortcutChoice FromSlot(const ButtonSlot& slot);
  // A checked "None" disables the others (they keep their states, unused).
  [[nodiscard]] bool Enabled(int check) const { return check == kCheckNone || !checks[kCheckNone]; }
  // A click on a check button; a disabled one does not change.
  void Toggle(int check);
  // A captured key (the table's virtual key) becomes the key. False when it has no usage code.
  bool TakeKey(unsigned virtualKey, const KeyboardLayout& layout);
  // Modifier flags: 0x01 alone when "None" or nothing is checked, else Shift 0x02, Ctrl 0x04, Alt 0x08,
  // Win 0x10.
  [[nodiscard]] std::uint8_t Flags() const;
};

// --- Media player choice ----------------------------------------------------------------------------------
inline constexpr int kMediaPlayerCount = 4;
inline constexpr unsigned kCmdFirstPlayer = 1001;
// "Windows Media player", "iTunes", "VLC Media Player", "Winamp"; empty outside 0..3.
[[nodiscard]] const char* MediaPlayerName(int value);
// 1002..1004 choose 1..3; any other command (1001 among them) chooses 0.
[[nodiscard]] int MediaPlayerFromCommand(unsigned command);

// --- Timers -----------------------------------------------------------------------------------------------
inline constexpr int kTimerNameMaxChars = 24;
inline constexpr int kTimerStartValue = 30;
inline constexpr int kTimerListValueWhenEmpty = 10;
inline constexpr unsigned kCmdFirstTimerListEntry = 1000;  // the list dialog's popup: 1000 + position

[[nodiscard]] int ClampTimerValue(int value);
// The create dialog's OK test: the trimmed name is not empty, at most 24 characters, not taken, and the list
// has room. `name` is UTF-8.
[[nodiscard]] bool TimerCreateAccepted(const TimerList& timers, std::string_view name);

// The list dialog on a copy of the timer list: the caller takes the copy only when the dialog ends with OK,
// so Cancel and Exit leave the list as it was.
class TimerListEditor {
 public:
  explicit TimerListEditor(const TimerList& timers);

  [[nodiscard]] const TimerList& timers() const { return timers_; }
  [[nodiscard]] int current() const { return current_; }
  // The name (UTF-8) and value the dialog shows for the current timer; empty and 10 when there is none.
  [[nodiscard]] std::string shownName() const;
  [[nodiscard]] int shownValue() const;
  // A pick from the list's popup; positions outside the list are ignored.
  void Select(int position);

  enum class SaveResult { kNoCurrent, kRenamed, kValueChanged, kNameTaken };
  // The Save button: a free name renames the current timer and sets its value; its own name changes the
  // value only; another timer's name changes nothing. `name` is UTF-8, trimmed here.
  SaveResult Save(std::string_view name, int value);
  // The Delete button after the user confirmed: removes the current timer; the position stays, but at most
  // the last one (-1 once the list is empty). False when there was nothing to delete.
  bool Delete();

 private:
  TimerList timers_;
  int current_ = -1;
};

// --- Ports ------------------------------------------------------------------------------------------------
// The dialogs the page opens. Each returns true for OK, with its result in the arguments; on false the
// arguments are as they were.
class ButtonDialogs {
 public:
  virtual ~ButtonDialogs() = default;
  virtual bool EditShortcut(ShortcutChoice& choice) = 0;
  // Path as stored text (system code page).
  virtual bool EditProgramPath(std::string& path) = 0;
  virtual bool ChooseMediaPlayer(int& option) = 0;
  // A new timer's name (UTF-8) and value; the dialog keeps itself open until TimerCreateAccepted.
  virtual bool CreateTimer(const TimerList& timers, std::string& name, int& value) = 0;
  // The list dialog; on OK the editor holds the list to keep.
  virtual bool EditTimers(TimerListEditor& editor) = 0;
  // The macro manager on the store itself, with set `setIndex` selected (-1: create mode, none selected).
  virtual bool OpenMacroManager(MacroStore& store, int setIndex) = 0;
};

class ButtonPageFiles {
 public:
  virtual ~ButtonPageFiles() = default;
  virtual void SaveTimers(const TimerList& timers) = 0;
  virtual void SaveMacroStore(const MacroStore& store) = 0;
  // Drops the store's content and reads it again from its file.
  virtual void ReloadMacroStore(MacroStore& store) = 0;
};

// The real files under a program folder.
class FolderButtonPageFiles final : public ButtonPageFiles {
 public:
  explicit FolderButtonPageFiles(std::filesystem::path folder) : folder_(std::move(folder)) {}
  void SaveTimers(const TimerList& timers) override;
  void SaveMacroStore(const MacroStore& store) override;
  void ReloadMacroStore(MacroStore& store) override;

 private:
  std::filesystem::path folder_;
};

// --- The page ---------------------------------------------------------------------------------------------
// What a command or button did, so that the window repaints what changed.
enum class PageChange {
  kNone,
  kSlots,    // slot codes or texts: refresh the labels
  kProfile,  // a profile field that no label shows (MediaOption)
  kStores,   // the timer list or the macro store (the next menu shows it)
};

class ButtonPage {
 public:
  // The page edits `working` (the configuration application's working copy) in its current profile, and
  // takes sets from `macros` and timers from `timers`.
  ButtonPage(SharedBlock& working, MacroStore& macros, TimerList& timers, ButtonDialogs& dialogs,
             ButtonPageFiles& files, const KeyboardLayout& layout);

  // The operating-system class of the main window (4 is the Windows XP family: no Flip 3D).
  void SetOsClass(int osClass) { osClass_ = osClass; }

  // The profile being edited, or nullptr when no slot is selected.
  [[nodiscard]] ProfileRecord* profile();
  [[nodiscard]] const ProfileRecord* profile() const;

  struct LabelView {
    std::string text;  // UTF-8
    bool inactive = true;
  };
  [[nodiscard]] LabelView Label(int slot) const;
  [[nodiscard]] int Highlight(int slot) const;
  [[nodiscard]] bool leftHanded() const;

  // A click on label `slot`: true when the page should now show BuildMenu() under it. The slot becomes the
  // current button and its content is copied aside for marking the current macro.
  [[nodiscard]] bool ClickLabel(int slot);
  [[nodiscard]] std::vector<MenuEntry> BuildMenu() const;
  // After the menu closed, with the label under the pointer then (-1 for none).
  void MenuClosed(int labelUnderPointer) { guard_.OnMenuClosed(labelUnderPointer); }
  [[nodiscard]] int currentButton() const { return currentButton_; }

  // A menu command for the current button.
  PageChange HandleCommand(unsigned command);
  // The right / Left buttons: Orientation 0 or 1.
  PageChange SetOrientation(int orientation);
  // The Macro Manager button: as the menu's "创建新宏...". OK passes the edited macros to the buttons of
  // all five profiles that hold them (PassEditedMacrosToButtons) and saves the store; anything else reads
  // the store again.
  PageChange OpenMacroManager(int setIndex = -1);

  [[nodiscard]] SavedShiftCodes& savedShiftCodes() { return saved_; }

 private:
  [[nodiscard]] ButtonSlot* CurrentSlot();
  [[nodiscard]] bool MayAssign(std::uint8_t code) const;
  PageChange Finish(std::uint8_t oldCode);

  SharedBlock& working_;
  MacroStore& macros_;
  TimerList& timers_;
  ButtonDialogs& dialogs_;
  ButtonPageFiles& files_;
  const KeyboardLayout& layout_;
  SavedShiftCodes saved_;
  MenuReopenGuard guard_;
  int osClass_ = 0;
  int currentButton_ = -1;
  ButtonSlot openedSlot_{};
};

}  // namespace sarn
