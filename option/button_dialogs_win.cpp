#include "option/button_dialogs_win.h"

#include <algorithm>
#include <array>

#include "common/keys.h"
#include "common/name_match.h"
#include "common/text_encoding.h"
#include "option/dialogs_win.h"
#include "option/key_capture_win.h"
#include "option/macro_manager_win.h"
#include "option/shortcut_typing.h"
#include "option/skin_dialog_win.h"
#include "option/ui_text_win.h"
#include "option/ui_texts.h"

namespace sarn::win {
namespace {

namespace ids = button_dialog_ids;

// The up and down arrows of a number field: the painter has no arrow look, so the triangles are drawn
// into each state image after the boxes.
void PaintArrows(PageSkin& skin, const RECT& up, const RECT& down) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldPen = nullptr;
  for (Bitmap* image : {&skin.normal, &skin.hover, &skin.pressed, &skin.disabled}) {
    HGDIOBJ old = SelectObject(dc, image->handle);
    HBRUSH brush = CreateSolidBrush(image == &skin.disabled ? palette::kTextOff : palette::kText);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    for (const auto& [r, pointsUp] : {std::pair<RECT, bool>{up, true}, {down, false}}) {
      const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
      const int k = std::max(2, static_cast<int>(std::min(r.right - r.left, r.bottom - r.top) / 3));
      const int dir = pointsUp ? -1 : 1;
      POINT p[3] = {{cx - k, cy - dir * k / 2}, {cx + k + 1, cy - dir * k / 2}, {cx, cy + dir * (k / 2 + 1)}};
      Polygon(dc, p, 3);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
    SelectObject(dc, old);
  }
  DeleteDC(dc);
}

// A number field with arrows inside the rectangle of an "EDIT_SPIN" layout string: the value box on the
// left, the two arrows stacked at the right.
struct SpinField {
  HWND box = nullptr;
  int value = 0;
};

struct SpinGeometry {
  RECT box, up, down;  // layout pixels
};

SpinGeometry SpinLayout(const char* layout) {
  const LayoutEntry e = ParseLayout(layout);
  const int arrows = e.right - 14, middle = (e.top + e.bottom) / 2;
  return {RECT{e.left, e.top, arrows - 1, e.bottom}, RECT{arrows, e.top, e.right, middle},
          RECT{arrows, middle + 1, e.right, e.bottom}};
}

LayoutEntry EntryOf(const RECT& r) {
  LayoutEntry e;
  e.left = r.left;
  e.top = r.top;
  e.right = r.right;
  e.bottom = r.bottom;
  return e;
}

void AddSpinParts(std::vector<SkinPart>& parts, const SpinGeometry& g, int dpi) {
  parts.push_back({LayoutRect(EntryOf(g.up), dpi), SkinLook::kPush, L""});
  parts.push_back({LayoutRect(EntryOf(g.down), dpi), SkinLook::kPush, L""});
}

void CreateSpin(SkinDialog& d, SpinField& spin, const SpinGeometry& g, int value) {
  PaintArrows(d.skin, LayoutRect(EntryOf(g.up), d.dpi), LayoutRect(EntryOf(g.down), d.dpi));
  spin.box = CreateNumberBox(d.hwnd, ids::kTimerValue, LayoutRect(EntryOf(g.box), d.dpi), false);
  SetNumberBoxRange(spin.box, kTimerMinValue, kTimerMaxValue);
  spin.value = ClampTimerValue(value);
  SetNumberBoxValue(spin.box, spin.value);
  AddButton(d, ids::kTimerUp, EntryOf(g.up));
  AddButton(d, ids::kTimerDown, EntryOf(g.down));
}

void SetSpin(SpinField& spin, int value) {
  spin.value = ClampTimerValue(value);
  SetNumberBoxValue(spin.box, spin.value);
}

// The box reports only values in range while the user types, so 5 typed into it leaves the value it had. What
// it shows is brought into range, visibly, as its Enter does, before the value is used: what is saved is then
// what the box shows (5 becomes 10, 1000 becomes 999, an empty box 10).
void TakeTyped(SpinField& spin) {
  SendMessageW(spin.box, kMsgEditChanged, 13, 0);  // the box answers with kMsgNumberChanged, below
}

// Messages of a spin field: the arrows and the box's value reports.
bool SpinCommand(SpinField& spin, int id) {
  if (id == ids::kTimerUp || id == ids::kTimerDown) {
    TakeTyped(spin);
    SetSpin(spin, spin.value + (id == ids::kTimerUp ? 1 : -1));
    return true;
  }
  return false;
}

bool SpinMessage(SpinField& spin, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != kMsgNumberChanged || lp != ids::kTimerValue) return false;
  spin.value = ClampTimerValue(static_cast<int>(wp));
  return true;
}

bool ConfirmDeleteDialog(HWND owner, int dpi, const std::wstring& name) {
  SkinDialog d;
  d.dpi = dpi;
  PageDesign design = SmallDesign(380, 170, dpi, Label(ui::kDeleteTimer));
  design.notes = {{POINT{20, 50}, LabelWith(ui::kDeleteTimer1, name)}, {POINT{20, 68}, Label(ui::kDeleteTimer2)}};
  const char* ok = "OK,196,128,72,28,";
  const char* cancel = "Cancel,276,128,88,28,";
  const char* exit = "Exit,352,4,22,22,";
  CreateDialogWindow(d, owner, design, ClosingParts(ok, cancel, exit, dpi), kTimerDeleteDialogTitle);
  if (d.hwnd == nullptr) return false;
  AddClosingButtons(d, ok, cancel, exit);
  d.onCommand = [&](int id) {
    if (id == kIdOk) d.End(true);
  };
  return RunModal(d, owner);
}

}  // namespace

// --- Shortcut ---------------------------------------------------------------------------------------------

bool ShortcutDialog(HWND owner, int dpi, ShortcutChoice& choice, const KeyboardLayout& layout) {
  // The check buttons in their order on screen, with the flag bit each stands for.
  static constexpr std::pair<const char*, ShortcutCheck> kChecks[] = {{"None,20,102,55,18,", kCheckNone},
                                                                      {"Shift,80,102,50,18,", kCheckShift},
                                                                      {"Ctrl,134,102,46,18,", kCheckCtrl},
                                                                      {"Win,183,102,46,18,", kCheckWin},
                                                                      {"Alt,234,102,36,18,", kCheckAlt}};
  const char* keyField = "EDIT_MACRO_SET_NAME,295,102,77,18,";
  const char* ok = "BUTTON_OK,14,162,60,30,";
  const char* cancel = "BUTTON_CANCEL,78,162,100,30,";
  const char* exit = "BUTTON_EXIT,430,4,25,22,";
  SkinDialog d;
  d.dpi = dpi;
  PageDesign design = SmallDesign(460, 206, dpi, Label(ui::kKeyShortcut));
  design.notes = {{POINT{20, 48}, Label(ui::kKeyShortcutNote)},
                  {POINT{20, 80}, Label(ui::kModifiers)},
                  {POINT{295, 80}, Label(ui::kKey)}};
  design.fields = {FieldBox(keyField)};
  std::vector<SkinPart> parts = ClosingParts(ok, cancel, exit, dpi);
  for (const auto& [text, check] : kChecks) {
    const LayoutEntry e = ParseLayout(text);
    parts.push_back({LayoutRect(e, dpi), SkinLook::kPush, Utf8ToWide(e.name)});
  }
  CreateDialogWindow(d, owner, design, parts, kShortcutDialogTitle);
  if (d.hwnd == nullptr) return false;

  ShortcutChoice state = choice;
  HWND field = AddEdit(d, ids::kKeyField, ParseLayout(keyField), Utf8ToWide(UsageName(state.key, layout)),
                       ES_READONLY);
  SetWindowLongPtrW(field, GWL_STYLE, GetWindowLongPtrW(field, GWL_STYLE) & ~WS_TABSTOP);
  std::array<HWND, kShortcutCheckCount> checks{};
  for (const auto& [text, check] : kChecks) {
    checks[static_cast<std::size_t>(check)] = AddButton(d, ids::kFirstCheck + check, ParseLayout(text));
  }
  const auto showChecks = [&] {
    for (int i = 0; i < kShortcutCheckCount; ++i) {
      HWND b = checks[static_cast<std::size_t>(i)];
      EnableWindow(b, state.Enabled(i) ? TRUE : FALSE);
      SetSkinButtonPressed(b, state.checks[static_cast<std::size_t>(i)] && state.Enabled(i));
    }
  };
  showChecks();
  AddClosingButtons(d, ok, cancel, exit);
  // Key 0 would leave the button with an empty label that does nothing: OK waits for a key.
  HWND okButton = GetDlgItem(d.hwnd, kIdOk);
  const auto hasKey = [&] { return state.key != 0; };
  EnableWindow(okButton, hasKey() ? TRUE : FALSE);

  ShortcutTyping typing;
  d.onCommand = [&](int id) {
    if (id >= ids::kFirstCheck && id < ids::kFirstCheck + kShortcutCheckCount) {
      state.Toggle(id - ids::kFirstCheck);
      showChecks();
    } else if (id == kIdOk && hasKey()) {
      // Enter reaches here as IDOK whether the button is enabled or not.
      d.End(true);
    }
  };
  d.onMessage = [&](UINT msg, WPARAM wp, LPARAM lp, LRESULT&) {
    if (msg == kMsgKeyCaptured) {
      if (typing.Take(state, static_cast<unsigned>(wp), lp != 0, layout)) {
        SetWindowTextW(field, Utf8ToWide(UsageName(state.key, layout)).c_str());
        showChecks();
        EnableWindow(okButton, hasKey() ? TRUE : FALSE);
      }
      return true;
    }
    if (msg == WM_DESTROY) StopKeyHook();
    return false;
  };
  // Every key goes to this dialog until it closes; a refused hook leaves the key as it was.
  (void)StartKeyHook(d.hwnd);
  const bool result = RunModal(d, owner);
  if (KeyHookInstalled()) StopKeyHook();  // the window could not be destroyed normally
  if (result) choice = state;
  return result;
}

// --- Program path -----------------------------------------------------------------------------------------

bool ProgramPathDialog(HWND owner, int dpi, std::wstring& path) {
  const char* pathField = "Gaming path to executeable,27,88,227,15,";
  const char* browse = "browser1,256,86,24,20,";
  const char* ok = "BUTTON_OK,72,200,56,24,";
  const char* cancel = "BUTTON_CANCEL,136,200,100,24,";
  const char* exit = "BUTTON_EXIT,274,3,26,22,";
  SkinDialog d;
  d.dpi = dpi;
  PageDesign design = SmallDesign(304, 240, dpi, Label(ui::kProgramToStart));
  design.notes = {{POINT{27, 66}, Label(ui::kProgramNote1)}, {POINT{27, 124}, Label(ui::kProgramNote2)}};
  design.fields = {FieldBox(pathField)};
  std::vector<SkinPart> parts = ClosingParts(ok, cancel, exit, dpi);
  AddParts(parts, Parts({{browse, {SkinLook::kPush, L"..."}}}, dpi));
  CreateDialogWindow(d, owner, design, parts, kProgramPathDialogTitle);
  if (d.hwnd == nullptr) return false;
  HWND field = AddEdit(d, ids::kPathField, ParseLayout(pathField), path);
  // What fits the slot's field; a longer browsed path is cut when it is stored.
  SendMessageW(field, EM_LIMITTEXT, sizeof(ButtonSlot::programPath) - 1, 0);
  AddButton(d, ids::kBrowse, ParseLayout(browse));
  AddClosingButtons(d, ok, cancel, exit);
  std::wstring result;
  d.onCommand = [&](int id) {
    if (id == ids::kBrowse) {
      const std::wstring chosen = BrowseForProgram(d.hwnd);
      if (!chosen.empty()) SetWindowTextW(field, chosen.c_str());
    } else if (id == kIdOk) {
      result = TextOf(field);
      d.End(true);
    }
  };
  SetFocus(field);
  if (!RunModal(d, owner)) return false;
  path = result;
  return true;
}

// --- Media player -----------------------------------------------------------------------------------------

bool MediaPlayerDialog(HWND owner, int dpi, int& option) {
  const char* selector = "BUTTON_PLAY,33,76,160,20,";
  const char* ok = "BUTTON_OK,18,162,55,30,";
  const char* cancel = "BUTTON_CANCEL,82,162,96,30,";
  const char* exit = "BUTTON_EXIT,276,4,22,22,";
  SkinDialog d;
  d.dpi = dpi;
  PageDesign design = SmallDesign(302, 206, dpi, Label(ui::kMediaPlayer));
  design.notes = {{POINT{33, 54}, Label(ui::kMediaPlayerNote)}};
  std::vector<SkinPart> parts = ClosingParts(ok, cancel, exit, dpi);
  AddParts(parts, Parts({{selector, {SkinLook::kField, L""}}}, dpi));
  CreateDialogWindow(d, owner, design, parts, kMediaPlayerDialogTitle);
  if (d.hwnd == nullptr) return false;
  int value = option;
  HWND player = AddButton(d, ids::kPlayer, ParseLayout(selector));
  const auto show = [&] {
    SetWindowTextW(player, Utf8ToWide(MediaPlayerName(value)).c_str());
    // A value the list does not hold shows the selector unselected.
    SetSkinButtonPressed(player, value >= 0 && value < kMediaPlayerCount);
  };
  show();
  AddClosingButtons(d, ok, cancel, exit);
  HFONT font = ArialFont(14, 5, dpi);
  MenuReopenGuard guard;
  d.onCommand = [&](int id) {
    if (id == ids::kPlayer) {
      SkinMenu menu(font);
      for (int i = 0; i < kMediaPlayerCount; ++i) {
        menu.AppendItem(kCmdFirstPlayer + static_cast<unsigned>(i), Utf8ToWide(MediaPlayerName(i)));
      }
      const unsigned chosen = DropMenu(menu, player, guard, ids::kPlayer);
      if (chosen != 0) {
        value = MediaPlayerFromCommand(chosen);
        show();
      }
    } else if (id == kIdOk) {
      d.End(true);
    }
  };
  const bool result = RunModal(d, owner);
  DeleteObject(font);
  if (result) option = value;
  return result;
}

// --- Timers -----------------------------------------------------------------------------------------------

namespace {

// What both timer dialogs hold: the closing buttons, the name (at most 24 characters) and the seconds.
constexpr const char* kTimerOk = "BUTTON_OK,14,310,60,26,";
constexpr const char* kTimerCancel = "BUTTON_CANCEL,78,310,100,26,";
constexpr const char* kTimerExit = "BUTTON_Exit,494,3,22,22,";
constexpr const char* kTimerSpin = "EDIT_SPIN,115,161,50,19,";

struct TimerFields {
  HWND name = nullptr;
  SpinField number;
};

std::vector<SkinPart> TimerDesign(PageDesign& design, const char* nameField, int dpi) {
  design.fields = {FieldBox(nameField)};
  std::vector<SkinPart> parts = ClosingParts(kTimerOk, kTimerCancel, kTimerExit, dpi);
  AddSpinParts(parts, SpinLayout(kTimerSpin), dpi);
  return parts;
}

void CreateTimerFields(SkinDialog& d, TimerFields& f, const char* nameField, int value) {
  f.name = AddEdit(d, ids::kTimerName, ParseLayout(nameField), L"");
  SendMessageW(f.name, EM_LIMITTEXT, kTimerNameMaxChars, 0);
  CreateSpin(d, f.number, SpinLayout(kTimerSpin), value);
  AddClosingButtons(d, kTimerOk, kTimerCancel, kTimerExit);
  d.onMessage = [&f](UINT msg, WPARAM wp, LPARAM lp, LRESULT&) { return SpinMessage(f.number, msg, wp, lp); };
}

}  // namespace

bool TimerCreateDialog(HWND owner, int dpi, const TimerList& timers, std::string& name, int& value) {
  const char* nameField = "EDIT_PROFILE_NAME,116,90,182,15,";
  SkinDialog d;
  d.dpi = dpi;
  PageDesign design = SmallDesign(520, 346, dpi, Label(ui::kNewTimer));
  design.panels = {RECT{14, 60, 506, 296}};
  design.notes = {{POINT{35, 91}, Label(ui::kName)},
                  {POINT{35, 163}, Label(ui::kSeconds)},
                  {POINT{35, 205}, Label(ui::kNewTimerNote1)},
                  {POINT{35, 221}, Label(ui::kNewTimerNote2)}};
  CreateDialogWindow(d, owner, design, TimerDesign(design, nameField, dpi), kTimerCreateDialogTitle);
  if (d.hwnd == nullptr) return false;
  TimerFields f;
  CreateTimerFields(d, f, nameField, kTimerStartValue);
  std::string typed;
  d.onCommand = [&](int id) {
    if (SpinCommand(f.number, id)) return;
    if (id != kIdOk) return;
    TakeTyped(f.number);
    typed = WideToUtf8(TextOf(f.name));
    // An empty or taken name keeps the dialog open.
    if (TimerCreateAccepted(timers, typed)) d.End(true);
  };
  SetFocus(f.name);
  if (!RunModal(d, owner)) return false;
  name = std::string(TrimName(typed));
  value = f.number.value;
  return true;
}

bool TimerListDialog(HWND owner, int dpi, TimerListEditor& editor) {
  const char* listField = "LIST_TIMER,116,64,182,18,";
  const char* nameField = "EDIT_PROFILE_NAME,116,110,182,15,";
  const char* save = "BUTTON_SAVE,318,106,84,24,";
  const char* remove = "BUTTON_DELETE,410,106,84,24,";
  SkinDialog d;
  d.dpi = dpi;
  PageDesign design = SmallDesign(520, 346, dpi, Label(ui::kTimers));
  design.panels = {RECT{14, 50, 506, 296}};
  design.notes = {{POINT{35, 66}, Label(ui::kTimer)},
                  {POINT{35, 111}, Label(ui::kName)},
                  {POINT{35, 163}, Label(ui::kSeconds)},
                  {POINT{35, 221}, Label(ui::kTimersNote)}};
  std::vector<SkinPart> parts = TimerDesign(design, nameField, dpi);
  AddParts(parts, Parts({{listField, {SkinLook::kField, L""}},
                         {save, {SkinLook::kPush, Label(ui::kSave).c_str()}},
                         {remove, {SkinLook::kPush, Label(ui::kDelete).c_str()}}},
                        dpi));
  CreateDialogWindow(d, owner, design, parts, kTimerListDialogTitle);
  if (d.hwnd == nullptr) return false;

  TimerListEditor work = editor;
  HWND list = AddButton(d, ids::kTimerList, ParseLayout(listField));
  TimerFields f;
  CreateTimerFields(d, f, nameField, kTimerListValueWhenEmpty);
  HWND nameEdit = f.name;
  SpinField& number = f.number;
  AddButton(d, ids::kTimerSave, ParseLayout(save));
  AddButton(d, ids::kTimerDelete, ParseLayout(remove));
  const auto show = [&] {
    const std::wstring name = Utf8ToWide(work.shownName());
    SetWindowTextW(list, name.c_str());
    SetWindowTextW(nameEdit, name.c_str());
    SetSpin(number, work.shownValue());
  };
  show();
  const auto saveTyped = [&] {
    TakeTyped(number);
    return work.Save(WideToUtf8(TextOf(nameEdit)), number.value);
  };
  HFONT font = ArialFont(15, 0, dpi);
  MenuReopenGuard guard;
  d.onCommand = [&](int id) {
    if (SpinCommand(number, id)) return;
    if (id == ids::kTimerList) {
      SkinMenu menu(font);
      const auto& timers = work.timers().timers;
      for (std::size_t i = 0; i < timers.size(); ++i) {
        menu.AppendItem(kCmdFirstTimerListEntry + static_cast<unsigned>(i),
                        FromStored(std::string(timers[i].name, TextFieldLength(timers[i].name))));
      }
      const unsigned chosen = DropMenu(menu, list, guard, ids::kTimerList);
      if (chosen >= kCmdFirstTimerListEntry) {
        work.Select(static_cast<int>(chosen - kCmdFirstTimerListEntry));
        show();
      }
    } else if (id == ids::kTimerSave) {
      if (saveTyped() != TimerListEditor::SaveResult::kNameTaken) show();
    } else if (id == ids::kTimerDelete) {
      if (work.current() >= 0 && ConfirmDeleteDialog(d.hwnd, d.dpi, Utf8ToWide(work.shownName()))) {
        (void)work.Delete();
        show();
      }
    } else if (id == kIdOk) {
      (void)saveTyped();
      d.End(true);
    }
  };
  const bool result = RunModal(d, owner);
  DeleteObject(font);
  if (result) editor = work;
  return result;
}

// --- Port -------------------------------------------------------------------------------------------------

bool Win32ButtonDialogs::EditShortcut(ShortcutChoice& choice) { return ShortcutDialog(owner_, dpi_, choice, layout_); }

bool Win32ButtonDialogs::EditProgramPath(std::string& path) {
  std::wstring wide = FromStored(path);
  if (!ProgramPathDialog(owner_, dpi_, wide)) return false;
  path = ToStored(wide);
  return true;
}

bool Win32ButtonDialogs::ChooseMediaPlayer(int& option) { return MediaPlayerDialog(owner_, dpi_, option); }

bool Win32ButtonDialogs::CreateTimer(const TimerList& timers, std::string& name, int& value) {
  return TimerCreateDialog(owner_, dpi_, timers, name, value);
}

bool Win32ButtonDialogs::EditTimers(TimerListEditor& editor) { return TimerListDialog(owner_, dpi_, editor); }

bool Win32ButtonDialogs::OpenMacroManager(MacroStore& store, int setIndex) {
  return MacroManagerDialog(owner_, dpi_, store, setIndex, editedSlot_, layout_);
}

}  // namespace sarn::win
