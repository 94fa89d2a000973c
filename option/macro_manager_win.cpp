#include "option/macro_manager_win.h"

#include <windowsx.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/settings_file.h"
#include "common/text_encoding.h"
#include "option/key_capture_win.h"
#include "option/macro_timeline_win.h"
#include "option/skin_dialog_win.h"
#include "option/ui_text_win.h"
#include "option/ui_texts.h"

namespace sarn::win {
namespace {

namespace ids = macro_manager_ids;

// Posted by an in-place edit when its editing ends (wParam 1 when Enter or focus loss took the text, 0 for
// Esc; lParam the edit's number, so that a late message of an edit already ended cannot end the next one).
constexpr UINT kMsgInPlaceDone = WM_APP + 40;
constexpr UINT_PTR kFirstSetTimer = 1;

// Child views sit inside the editor area; their layout strings are relative to it.
constexpr int kChildX = 215, kChildY = 50;

const char* kOk = "BUTTON_OK,539,430,56,26,";
const char* kCancel = "BUTTON_Cancel,605,430,100,26,";
const char* kExit = "BUTTON_Exit,686,4,22,22,";
const char* kSelector = "BUTTON_combox_macro_select,16,75,196,23,";
const char* kNew = "BUTTON_New,15,430,71,26,";
const char* kDelete = "BUTTON_Delete,89,431,96,26,";
const char* kSwitch = "BUTTON_Switch_editor,219,430,197,25,";
const char* kMacroList = "BUTTON_List_MacroName,19,98,189,302,";
const char* kRecord = "BUTTON_Start_Record,263,57,133,23,";
const char* kDelayOption = "BUTTON_Delay_ON_OFF,262,97,150,23,";
const char* kLoopOption = "BUTTON_LoopTimes_ON_OFF,262,164,120,15,";
const char* kLoopField = "Edit_Times,284,184,30,15,";
const char* kStepList = "BUTTON_List_key_sequence,6,49,234,301,";
const char* kChildPos = "CHILD_POS,215,50,490,365,";

LayoutEntry InChild(const char* layout) {
  LayoutEntry e = ParseLayout(layout);
  e.left += kChildX;
  e.right += kChildX;
  e.top += kChildY;
  e.bottom += kChildY;
  return e;
}

SkinPart PartOf(const LayoutEntry& e, SkinLook look, const std::wstring& caption, int dpi) {
  return {LayoutRect(e, dpi), look, caption};
}

// A small confirmation or notice: its message, OK, Cancel and Exit.
bool MessageDialog(HWND owner, int dpi, const wchar_t* title, const std::wstring& line1, const std::wstring& line2) {
  const char* ok = "BUTTON_OK,72,170,56,24,";
  const char* cancel = "BUTTON_CANCEL,136,170,100,24,";
  const char* exit = "BUTTON_EXIT,274,3,26,22,";
  SkinDialog d;
  d.dpi = dpi;
  PageDesign design = SmallDesign(304, 210, dpi, Label(ui::kMacroManager));
  design.notes = {{POINT{24, 70}, line1}, {POINT{24, 90}, line2}};
  CreateDialogWindow(d, owner, design, ClosingParts(ok, cancel, exit, dpi), title);
  if (d.hwnd == nullptr) return false;
  AddClosingButtons(d, ok, cancel, exit);
  d.onCommand = [&](int id) {
    if (id == kIdOk) d.End(true);
  };
  return RunModal(d, owner);
}

void ShowNotice(HWND owner, int dpi, Notice notice) {
  switch (notice) {
    case Notice::kNone:
      return;
    case Notice::kNoSet:
      (void)MessageDialog(owner, dpi, kMacroNoticeTitle, Label(ui::kNoSet1), Label(ui::kNoSet2));
      return;
    case Notice::kNoMacro:
      (void)MessageDialog(owner, dpi, kMacroNoticeTitle, Label(ui::kNoMacro1), Label(ui::kNoMacro2));
      return;
    case Notice::kNoMacroSelected:
      (void)MessageDialog(owner, dpi, kMacroNoticeTitle, Label(ui::kNoSelection1),
                          Label(ui::kNoSelection2));
      return;
  }
}

// The name of a new set (stored text), or false.
bool SetNameDialog(HWND owner, int dpi, std::string& name) {
  const char* field = "EDIT_MACRO_SET_NAME,58,100,186,18,";
  const char* ok = "BUTTON_OK,72,170,56,24,";
  const char* cancel = "BUTTON_CANCEL,136,170,100,24,";
  const char* exit = "BUTTON_EXIT,274,3,26,22,";
  SkinDialog d;
  d.dpi = dpi;
  PageDesign design = SmallDesign(304, 210, dpi, Label(ui::kAddMacroSet));
  design.notes = {{POINT{58, 76}, Label(ui::kNewSetName)}};
  design.fields = {FieldBox(field)};
  CreateDialogWindow(d, owner, design, ClosingParts(ok, cancel, exit, dpi), kMacroSetNameTitle);
  if (d.hwnd == nullptr) return false;
  HWND edit = AddEdit(d, ids::kSetNameField, ParseLayout(field), L"");
  // Characters; the manager checks the stored bytes against a button slot's field.
  SendMessageW(edit, EM_LIMITTEXT, kSetNameMaxBytes, 0);
  AddClosingButtons(d, ok, cancel, exit);
  std::wstring typed;
  d.onCommand = [&](int id) {
    if (id == kIdOk) {
      typed = TextOf(edit);
      d.End(true);
    }
  };
  SetFocus(edit);
  if (!RunModal(d, owner)) return false;
  name = ToStored(typed);
  return true;
}

// In-place edits end on Enter, Esc or focus loss; the window procedure is replaced for that.
WNDPROC g_editProc = nullptr;
LRESULT CALLBACK InPlaceEditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_GETDLGCODE) return DLGC_WANTALLKEYS | CallWindowProcW(g_editProc, hwnd, msg, wp, lp);
  const LPARAM number = GetWindowLongPtrW(hwnd, GWLP_USERDATA);
  if (msg == WM_KEYDOWN && (wp == VK_RETURN || wp == VK_ESCAPE)) {
    PostMessageW(GetParent(hwnd), kMsgInPlaceDone, wp == VK_RETURN ? 1 : 0, number);
    return 0;
  }
  if (msg == WM_CHAR && (wp == '\r' || wp == 27)) return 0;
  if (msg == WM_KILLFOCUS) PostMessageW(GetParent(hwnd), kMsgInPlaceDone, 1, number);
  return CallWindowProcW(g_editProc, hwnd, msg, wp, lp);
}

class ManagerWindow {
 public:
  ManagerWindow(MacroStore& store, int setIndex, const ButtonSlot& slot, const KeyboardLayout& layout, int dpi,
                std::filesystem::path settingsFolder)
      : manager_(store, setIndex < 0 ? MacroManager::Mode::kCreate : MacroManager::Mode::kEdit, setIndex, slot),
        layout_(layout),
        settingsFolder_(std::move(settingsFolder)),
        timeline_(layout, TimelineView::Hooks{[this] { return MayEditTimeline(); },
                                              [this](bool on) { TimelineCapturing(on); }}) {
    d_.dpi = dpi;
    recorder_.SetDelayOption(LoadRecordDelaysChoice(settingsFolder_));
  }

  bool Run(HWND owner) {
    Create(owner);
    if (d_.hwnd == nullptr) return false;
    ShowAll();
    if (manager_.wantsFirstSet()) SetTimer(d_.hwnd, kFirstSetTimer, 100, nullptr);
    const bool ok = RunModal(d_, owner);
    if (KeyHookInstalled()) StopKeyHook();
    DeleteObject(menuFont_);
    DeleteObject(listFont_);
    DeleteObject(listBrush_);
    return ok;
  }

 private:
  void Create(HWND owner) {
    const int dpi = d_.dpi;
    PageDesign design = SmallDesign(720, 470, dpi, Label(ui::kMacroManager));
    design.panels = {RECT{12, 50, 212, 415}, RECT{kChildX, kChildY, kChildX + 490, kChildY + 365}};
    design.notes = {{POINT{19, 56}, Label(ui::kMacroSet)},
                    {POINT{kChildX + 6, kChildY + 28}, Label(ui::kSteps)},
                    {POINT{kChildX + 322, kChildY + 184}, Label(ui::kTimes)}};
    const LayoutEntry field = InChild(kLoopField);
    design.fields.push_back(RECT{field.left - 3, field.top - 3, field.right + 3, field.bottom + 4});
    std::vector<SkinPart> parts = ClosingParts(kOk, kCancel, kExit, dpi);
    parts.push_back(PartOf(ParseLayout(kSelector), SkinLook::kField, L"", dpi));
    parts.push_back(PartOf(ParseLayout(kNew), SkinLook::kPush, Label(ui::kNew), dpi));
    parts.push_back(PartOf(ParseLayout(kDelete), SkinLook::kPush, Label(ui::kDelete), dpi));
    // Its caption is drawn by the button itself: it names the view the click switches to.
    parts.push_back(PartOf(ParseLayout(kSwitch), SkinLook::kPush, L"", dpi));
    parts.push_back(PartOf(InChild(kRecord), SkinLook::kPush, Label(ui::kStartRecord), dpi));
    parts.push_back(PartOf(InChild(kDelayOption), SkinLook::kCheck, Label(ui::kRecordDelays), dpi));
    parts.push_back(PartOf(InChild(kLoopOption), SkinLook::kCheck, Label(ui::kLoop), dpi));
    CreateDialogWindow(d_, owner, design, parts, kMacroManagerTitle);
    if (d_.hwnd == nullptr) return;
    SetWindowTextW(d_.hwnd, kMacroManagerTitle);
    AddClosingButtons(d_, kOk, kCancel, kExit);
    selector_ = AddButton(d_, ids::kSetSelector, ParseLayout(kSelector));
    newButton_ = AddButton(d_, ids::kNew, ParseLayout(kNew));
    deleteButton_ = AddButton(d_, ids::kDelete, ParseLayout(kDelete));
    switchButton_ = AddButton(d_, ids::kSwitchEditor, ParseLayout(kSwitch));
    SetWindowTextW(switchButton_, Label(ui::kTimelineView).c_str());
    record_ = AddButton(d_, ids::kRecord, InChild(kRecord), SkinButtonOptions{});
    delayOption_ = AddButton(d_, ids::kDelayOption, InChild(kDelayOption), SkinButtonOptions{});
    loopOption_ = AddButton(d_, ids::kLoopOption, InChild(kLoopOption), SkinButtonOptions{});
    loopField_ = AddEdit(d_, ids::kLoopField, InChild(kLoopField), L"1", ES_NUMBER);
    SendMessageW(loopField_, EM_LIMITTEXT, 3, 0);
    listFont_ = SkinFont(13, dpi);
    menuFont_ = ArialFont(15, 0, dpi);
    macroList_ = AddList(ids::kMacroList, ParseLayout(kMacroList));
    stepList_ = AddList(ids::kStepList, InChild(kStepList));
    timeline_.Create(d_.hwnd, LayoutRect(ParseLayout(kChildPos), dpi), dpi);

    d_.onCommand = [this](int id) { Command(id); };
    d_.onMessage = [this](UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) { return Message(msg, wp, lp, result); };
  }

  HWND AddList(int id, const LayoutEntry& e) {
    const RECT r = LayoutRect(e, d_.dpi);
    HWND list = CreateWindowExW(0, L"LISTBOX", L"",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                                r.left, r.top, r.right - r.left, r.bottom - r.top, d_.hwnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_), FALSE);
    return list;
  }

  // --- Showing ---------------------------------------------------------------------------------------------

  void ShowAll() {
    const std::string setName = manager_.selectedSetName();
    SetWindowTextW(selector_, (setName.empty() ? Label(ui::kChooseSet) : Utf8ToWide(setName)).c_str());
    SendMessageW(macroList_, LB_RESETCONTENT, 0, 0);
    for (const std::string& name : manager_.MacroNames()) {
      SendMessageW(macroList_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf8ToWide(name).c_str()));
    }
    SendMessageW(macroList_, LB_SETCURSEL, static_cast<WPARAM>(manager_.selectedMacro()), 0);
    ShowSteps(false);
    timeline_.Load(manager_.selectedRecord());
    const LoopView loop = LoopOf(manager_.selectedRecord());
    loopOn_ = loop.on;
    SetSkinButtonPressed(loopOption_, loop.on);
    settingLoopText_ = true;
    SetWindowTextW(loopField_, std::to_wstring(loop.value).c_str());
    settingLoopText_ = false;
    SetSkinButtonPressed(delayOption_, recorder_.delayOption());
  }

  // Rebuilds the step list; `keepScroll` holds the first shown line where it was.
  void ShowSteps(bool keepScroll, int select = -1) {
    const LRESULT top = SendMessageW(stepList_, LB_GETTOPINDEX, 0, 0);
    SendMessageW(stepList_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(stepList_, LB_RESETCONTENT, 0, 0);
    lines_.clear();
    if (const MacroRecord* macro = manager_.selectedRecord()) lines_ = BuildStepLines(*macro, layout_);
    for (const StepLine& line : lines_) {
      SendMessageW(stepList_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf8ToWide(line.text).c_str()));
    }
    if (keepScroll) SendMessageW(stepList_, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    if (select >= 0) SendMessageW(stepList_, LB_SETCURSEL, static_cast<WPARAM>(select), 0);
    SendMessageW(stepList_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(stepList_, nullptr, TRUE);
  }

  [[nodiscard]] int SelectedLine() const {
    const auto sel = static_cast<int>(SendMessageW(stepList_, LB_GETCURSEL, 0, 0));
    return sel >= 0 && sel < static_cast<int>(lines_.size()) ? sel : -1;
  }
  // The 0-based step of the selected line, or -1.
  [[nodiscard]] int SelectedStep() const {
    const int line = SelectedLine();
    return line < 0 ? -1 : lines_[static_cast<std::size_t>(line)].step - 1;
  }

  // --- Commands --------------------------------------------------------------------------------------------

  void Command(int id) {
    switch (id) {
      case kIdOk:
        if (!StoreTimeline()) return;
        d_.End(true);
        return;
      case ids::kSwitchEditor:
        SwitchView();
        return;
      case ids::kSetSelector:
        SetMenu();
        return;
      case ids::kNew:
        NewMacro();
        return;
      case ids::kDelete:
        DeleteMacro();
        return;
      case ids::kRecord:
        if (recorder_.recording()) {
          StopRecording();
        } else {
          StartRecording(MacroRecorder::Place::kAnew, -1);
        }
        return;
      case ids::kDelayOption:
        recorder_.SetDelayOption(!recorder_.delayOption());
        SetSkinButtonPressed(delayOption_, recorder_.delayOption());
        // A choice that cannot be written holds for this session; the next opening asks the file again.
        (void)SaveRecordDelaysChoice(settingsFolder_, recorder_.delayOption());
        return;
      case ids::kLoopOption:
        LoopChanged(!loopOn_);
        return;
      default:
        return;
    }
  }

  void SetMenu() {
    SkinMenu menu(menuFont_);
    for (const SetMenuLine& line : manager_.SetMenu()) {
      switch (line.kind) {
        case SetMenuLine::Kind::kSet:
          menu.AppendItem(ids::kCmdFirstSet + static_cast<unsigned>(line.setIndex), Utf8ToWide(line.text), nullptr,
                          line.highlight ? 1 : 0);
          break;
        case SetMenuLine::Kind::kSeparator:
          menu.AppendItem(0, L"");
          break;
        case SetMenuLine::Kind::kAddSet:
          menu.AppendItem(ids::kCmdAddSet, Utf8ToWide(line.text));
          break;
        case SetMenuLine::Kind::kDeleteSet:
          menu.AppendItem(ids::kCmdDeleteSet, Utf8ToWide(line.text));
          break;
      }
    }
    const unsigned chosen = DropMenu(menu, selector_, guard_, ids::kSetSelector);
    if (chosen == ids::kCmdAddSet) {
      AddSet();
    } else if (chosen != 0 && !StoreTimeline()) {
      return;
    } else if (chosen == ids::kCmdDeleteSet) {
      if (const Notice notice = manager_.DeleteSetCheck(); notice != Notice::kNone) {
        return ShowNotice(d_.hwnd, d_.dpi, notice);
      }
      if (MessageDialog(d_.hwnd, d_.dpi, kMacroConfirmTitle, Label(ui::kDeleteSet1), Label(ui::kDeleteSet2))) {
        manager_.DeleteSelectedSet();
        ShowAll();
      }
    } else if (chosen >= ids::kCmdFirstSet) {
      manager_.SelectSet(static_cast<int>(chosen - ids::kCmdFirstSet));
      ShowAll();
    }
  }

  void AddSet() {
    std::string name;
    if (SetNameDialog(d_.hwnd, d_.dpi, name) && manager_.AddSet(name)) ShowAll();
  }

  void NewMacro() {
    if (!StoreTimeline()) return;
    bool allowed = false;
    const Notice notice = manager_.NewMacroCheck(allowed);
    if (notice != Notice::kNone) return ShowNotice(d_.hwnd, d_.dpi, notice);
    if (!allowed) return;
    const auto line = static_cast<int>(SendMessageW(macroList_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"")));
    BeginInPlace(macroList_, line, L"", kMacroNameMaxChars, Editing::kNewMacro, 0);
  }

  void DeleteMacro() {
    const Notice notice = manager_.DeleteMacroCheck();
    if (notice != Notice::kNone) return ShowNotice(d_.hwnd, d_.dpi, notice);
    if (!StoreTimeline()) return;
    if (MessageDialog(d_.hwnd, d_.dpi, kMacroConfirmTitle, Label(ui::kDeleteMacro), L"")) {
      manager_.DeleteSelectedMacro();
      ShowAll();
    }
  }

  void LoopChanged(bool on) {
    MacroRecord* macro = manager_.selectedRecord();
    if (macro == nullptr) return ShowNotice(d_.hwnd, d_.dpi, manager_.EditorNotice());
    loopOn_ = on;
    SetLoops(*macro, on, LoopValueFromText(WideToUtf8(TextOf(loopField_))));
    SetSkinButtonPressed(loopOption_, on);
  }

  void LoopTextChanged() {
    if (settingLoopText_) return;
    const int value = LoopValueFromText(WideToUtf8(TextOf(loopField_)));
    const std::wstring shown = std::to_wstring(value);
    if (TextOf(loopField_) != shown && !TextOf(loopField_).empty()) {
      settingLoopText_ = true;
      SetWindowTextW(loopField_, shown.c_str());
      SendMessageW(loopField_, EM_SETSEL, shown.size(), static_cast<LPARAM>(shown.size()));
      settingLoopText_ = false;
    }
    if (MacroRecord* macro = manager_.selectedRecord()) SetLoops(*macro, loopOn_, value);
  }

  // --- Timeline --------------------------------------------------------------------------------------------

  // The step list's own controls, hidden while the timeline covers the editor area.
  void ShowStepListControls(bool on) {
    for (HWND h : {record_, delayOption_, loopOption_, loopField_, stepList_}) ShowWindow(h, on ? SW_SHOW : SW_HIDE);
  }

  void SwitchView() {
    if (timeline_.shown()) {
      if (!StoreTimeline()) return;
      timeline_.Show(false);
      ShowStepListControls(true);
      SetWindowTextW(switchButton_, Label(ui::kTimelineView).c_str());
      ShowSteps(false);
    } else {
      timeline_.Load(manager_.selectedRecord());
      ShowStepListControls(false);
      timeline_.Show(true);
      SetWindowTextW(switchButton_, Label(ui::kStepListView).c_str());
    }
    InvalidateRect(switchButton_, nullptr, TRUE);
  }

  // Writes the timeline's edits into the selected macro when the timeline is up. A pause longer than a
  // step's delay can hold is cut to 65535 ms; the user is told, and the timeline shows what was stored.
  // Always true: the edits are kept either way; the notice only says how.
  bool StoreTimeline() {
    if (!timeline_.shown()) return true;
    MacroRecord* macro = manager_.selectedRecord();
    if (macro == nullptr) return true;
    const WriteBack written = timeline_.Store(*macro);
    if (written.shortenedGaps > 0) {
      (void)MessageDialog(d_.hwnd, d_.dpi, kMacroNoticeTitle, Label(ui::kPauseCut1), Label(ui::kPauseCut2));
      timeline_.Load(macro);
    }
    return true;
  }

  bool MayEditTimeline() {
    if (manager_.selectedRecord() != nullptr) return true;
    ShowNotice(d_.hwnd, d_.dpi, manager_.EditorNotice());
    return false;
  }

  // A new bar waits for its key: nothing else of the manager works until it comes.
  void TimelineCapturing(bool on) {
    EnableControls(!on);
    for (int id : {timeline_ids::kAdd, timeline_ids::kDeleteBar, timeline_ids::kZoomIn, timeline_ids::kZoomOut}) {
      EnableWindow(GetDlgItem(timeline_.hwnd(), id), on ? FALSE : TRUE);
    }
  }

  // --- Recording -------------------------------------------------------------------------------------------

  void StartRecording(MacroRecorder::Place place, int step) {
    MacroRecord* macro = manager_.selectedRecord();
    if (macro == nullptr) {
      SetSkinButtonPressed(record_, false);
      return ShowNotice(d_.hwnd, d_.dpi, manager_.EditorNotice());
    }
    recorder_.Start(*macro, place, step);
    SetSkinButtonPressed(record_, true);
    // A refused hook records nothing; the button still stops the attempt.
    (void)StartKeyHook(d_.hwnd);
    EnableControls(false);
    SetFocus(d_.hwnd);
    ShowSteps(false);
  }

  void StopRecording() {
    // The time until Stop becomes the last recorded key's delay (with the delay option on).
    if (MacroRecord* macro = manager_.selectedRecord()) {
      recorder_.Stop(*macro, GetTickCount());
    } else {
      recorder_.Stop();
    }
    StopKeyHook();
    SetSkinButtonPressed(record_, false);
    EnableControls(true);
    ShowSteps(true);
  }

  // While recording only the record button works: the keys all go to the recording.
  void EnableControls(bool on) {
    for (HWND h : {selector_, newButton_, deleteButton_, switchButton_, delayOption_, loopOption_, loopField_, macroList_,
                   stepList_, GetDlgItem(d_.hwnd, kIdOk), GetDlgItem(d_.hwnd, kIdCancel), GetDlgItem(d_.hwnd, kIdExit)}) {
      EnableWindow(h, on ? TRUE : FALSE);
    }
  }

  void KeyCaptured(WPARAM wp, LPARAM lp) {
    const DWORD time = CapturedKeyTime(wp, lp);
    MacroRecord* macro = manager_.selectedRecord();
    if (macro == nullptr || !recorder_.recording()) return;
    const MacroRecorder::Result r = recorder_.TakeKey(*macro, static_cast<unsigned>(wp), lp != 0, time, layout_);
    if (r == MacroRecorder::Result::kIgnored) return;
    if (r == MacroRecorder::Result::kLimitReached) return StopRecording();
    ShowSteps(false);
    SendMessageW(stepList_, LB_SETTOPINDEX, lines_.empty() ? 0 : lines_.size() - 1, 0);
  }

  // --- Step list context menu ------------------------------------------------------------------------------

  void StepMenu(POINT screen) {
    // An edit still open ends first: the menu's commands work on the list as it then stands.
    if (editing_ != Editing::kNone) EndInPlace(true);
    POINT client = screen;
    ScreenToClient(stepList_, &client);
    const LRESULT hit = SendMessageW(stepList_, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
    if (HIWORD(hit) == 0) SendMessageW(stepList_, LB_SETCURSEL, LOWORD(hit), 0);
    SkinMenu mouse[3] = {SkinMenu(menuFont_), SkinMenu(menuFont_), SkinMenu(menuFont_)};
    SkinMenu buttons(menuFont_), menu(menuFont_);
    const int names[3] = {ui::kLeftButton, ui::kRightButton, ui::kWheel};
    for (unsigned b = 0; b < 3; ++b) {
      mouse[b].AppendItem(ids::kCmdFirstMouse + 3 * b, Label(ui::kDown));
      mouse[b].AppendItem(ids::kCmdFirstMouse + 3 * b + 1, Label(ui::kUp));
      mouse[b].AppendItem(ids::kCmdFirstMouse + 3 * b + 2, Label(ui::kClick));
      buttons.AppendItem(0, Label(names[b]), &mouse[b]);
    }
    menu.AppendItem(ids::kCmdRecordBefore, Label(ui::kRecordBefore));
    menu.AppendItem(ids::kCmdRecordAfter, Label(ui::kRecordAfter));
    menu.AppendItem(ids::kCmdInsertDelay, Label(ui::kInsertDelay));
    menu.AppendItem(0, Label(ui::kInsertMouseEvent), &buttons);
    menu.AppendItem(ids::kCmdEditDelay, Label(ui::kEditDelay));
    menu.AppendItem(ids::kCmdDeleteLine, Label(ui::kDelete));
    StepCommand(menu.Show(d_.hwnd, screen));
  }

  // The delay of the step of any line, edited in place: on its delay line, or on a line opened under the
  // step when it has none yet. The edit is bound to this macro and step, whatever is selected when it ends.
  void EditDelay(int line) {
    MacroRecord* macro = manager_.selectedRecord();
    if (macro == nullptr || line < 0 || line >= static_cast<int>(lines_.size())) return;
    const StepLine& chosen = lines_[static_cast<std::size_t>(line)];
    const int step = chosen.step - 1;
    if (step < 0 || step >= static_cast<int>(macro->count)) return;
    int at = line;
    if (chosen.kind != LineKind::kDelay) {
      const bool hasLine = line + 1 < static_cast<int>(lines_.size()) &&
                           lines_[static_cast<std::size_t>(line) + 1].kind == LineKind::kDelay &&
                           lines_[static_cast<std::size_t>(line) + 1].step == chosen.step;
      at = line + 1;
      if (!hasLine) SendMessageW(stepList_, LB_INSERTSTRING, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(L""));
    }
    SendMessageW(stepList_, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
    delayTarget_ = DelayTargetOf(*macro, step);
    const std::uint16_t delay = macro->events[step].delay;
    BeginInPlace(stepList_, at, delay == 0 ? L"" : std::to_wstring(delay), 20, Editing::kDelay, step);
  }

  void StepCommand(unsigned command) {
    if (command == 0) return;
    MacroRecord* macro = manager_.selectedRecord();
    if (macro == nullptr) return ShowNotice(d_.hwnd, d_.dpi, manager_.EditorNotice());
    const int line = SelectedLine();
    const int step = SelectedStep();
    int select = -1;
    switch (command) {
      case ids::kCmdRecordBefore:
        return StartRecording(step < 0 ? MacroRecorder::Place::kAppend : MacroRecorder::Place::kBefore, step);
      case ids::kCmdRecordAfter:
        return StartRecording(step < 0 ? MacroRecorder::Place::kAppend : MacroRecorder::Place::kAfter, step);
      case ids::kCmdInsertDelay:
        if (line < 0 || lines_[static_cast<std::size_t>(line)].kind == LineKind::kDelay) return;
        if (InsertDelay(*macro, step) < 0) return;
        select = line;  // the new delay line takes the place of the selected step line
        break;
      case ids::kCmdEditDelay:
        return EditDelay(line);
      case ids::kCmdDeleteLine:
        if (line < 0) return;
        DeleteLine(*macro, lines_[static_cast<std::size_t>(line)]);
        break;
      default: {
        if (command < ids::kCmdFirstMouse || command >= ids::kCmdFirstMouse + 9) return;
        const unsigned n = command - ids::kCmdFirstMouse;
        const auto button = static_cast<std::uint8_t>(kMouseLeft + n / 3);
        (void)InsertMouseEvent(*macro, step, button, static_cast<MouseAction>(n % 3));
        break;
      }
    }
    ShowSteps(true, select);
  }

 private:
  // --- In-place editing ------------------------------------------------------------------------------------

  enum class Editing { kNone, kNewMacro, kRename, kDelay };

  void BeginInPlace(HWND list, int line, const std::wstring& text, int limit, Editing what, int index) {
    RECT r;
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(list, d_.hwnd, reinterpret_cast<POINT*>(&r), 2);
    inPlace_ = CreateWindowExW(0, L"EDIT", text.c_str(),
                               WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL | (what == Editing::kDelay ? ES_NUMBER : 0),
                               r.left, r.top - 1, r.right - r.left, r.bottom - r.top + 4, d_.hwnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::kInPlaceEdit)), Instance(), nullptr);
    SendMessageW(inPlace_, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_), FALSE);
    SendMessageW(inPlace_, EM_LIMITTEXT, static_cast<WPARAM>(limit), 0);
    SetWindowLongPtrW(inPlace_, GWLP_USERDATA, static_cast<LONG_PTR>(++inPlaceNumber_));
    g_editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(inPlace_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InPlaceEditProc)));
    SetWindowPos(inPlace_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    editing_ = what;
    editIndex_ = index;
    SetFocus(inPlace_);
    SendMessageW(inPlace_, EM_SETSEL, 0, -1);
  }

  void EndInPlace(bool take) {
    if (editing_ == Editing::kNone || inPlace_ == nullptr) return;
    const Editing what = editing_;
    editing_ = Editing::kNone;
    const std::wstring text = TextOf(inPlace_);
    HWND edit = inPlace_;
    inPlace_ = nullptr;
    DestroyWindow(edit);
    switch (what) {
      case Editing::kNewMacro:
        if (take) (void)manager_.CreateMacro(ToStored(text));
        ShowAll();
        break;
      case Editing::kRename:
        if (take) (void)manager_.RenameMacro(editIndex_, ToStored(text));
        ShowAll();
        break;
      case Editing::kDelay: {
        // An empty field on a step that had no delay adds none.
        const DelayTarget target = std::exchange(delayTarget_, DelayTarget{});
        if (take && !(text.empty() && target.event.delay == 0)) {
          (void)manager_.SetDelay(target, DelayFromText(WideToUtf8(text)));
        }
        ShowSteps(true);
        break;
      }
      case Editing::kNone:
        break;
    }
  }

  bool Message(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
      case kMsgKeyCaptured:
        KeyCaptured(wp, lp);
        return true;
      case kMsgInPlaceDone:
        if (lp == static_cast<LPARAM>(inPlaceNumber_)) EndInPlace(wp != 0);
        return true;
      case WM_TIMER:
        if (wp != kFirstSetTimer) return false;
        KillTimer(d_.hwnd, kFirstSetTimer);
        AddSet();
        return true;
      case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wp) != stepList_) return false;
        StepMenu(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return true;
      case WM_CTLCOLORLISTBOX:
        SetTextColor(reinterpret_cast<HDC>(wp), palette::kText);
        SetBkColor(reinterpret_cast<HDC>(wp), palette::kPanel);
        result = reinterpret_cast<LRESULT>(listBrush_);
        return true;
      case WM_COMMAND:
        if (LOWORD(wp) == ids::kMacroList && HIWORD(wp) == LBN_SELCHANGE) {
          (void)StoreTimeline();
          manager_.SelectMacro(static_cast<int>(SendMessageW(macroList_, LB_GETCURSEL, 0, 0)));
          ShowAll();
          return true;
        }
        if (LOWORD(wp) == ids::kMacroList && HIWORD(wp) == LBN_DBLCLK && manager_.selectedMacro() >= 0) {
          const int index = manager_.selectedMacro();
          BeginInPlace(macroList_, index, Utf8ToWide(manager_.MacroNames()[static_cast<std::size_t>(index)]),
                       kMacroNameMaxChars, Editing::kRename, index);
          return true;
        }
        if (LOWORD(wp) == ids::kStepList && HIWORD(wp) == LBN_DBLCLK && editing_ == Editing::kNone) {
          EditDelay(SelectedLine());
          return true;
        }
        if (LOWORD(wp) == ids::kLoopField && HIWORD(wp) == EN_CHANGE) {
          LoopTextChanged();
          return true;
        }
        if (LOWORD(wp) == kIdCancel || LOWORD(wp) == kIdExit || LOWORD(wp) == kIdOk) {
          // Closing ends a recording and drops an unfinished in-place edit.
          if (recorder_.recording()) StopRecording();
        }
        return false;
      case WM_DESTROY:
        if (KeyHookInstalled()) StopKeyHook();
        return false;
      default:
        return false;
    }
  }

  SkinDialog d_;
  MacroManager manager_;
  MacroRecorder recorder_;
  const KeyboardLayout& layout_;
  std::filesystem::path settingsFolder_;
  TimelineView timeline_;
  std::vector<StepLine> lines_;
  MenuReopenGuard guard_;
  HWND selector_ = nullptr, newButton_ = nullptr, deleteButton_ = nullptr, switchButton_ = nullptr;
  HWND record_ = nullptr, delayOption_ = nullptr, loopOption_ = nullptr, loopField_ = nullptr;
  HWND macroList_ = nullptr, stepList_ = nullptr, inPlace_ = nullptr;
  HFONT listFont_ = nullptr, menuFont_ = nullptr;
  HBRUSH listBrush_ = CreateSolidBrush(palette::kPanel);
  Editing editing_ = Editing::kNone;
  int editIndex_ = 0;
  DelayTarget delayTarget_;
  int inPlaceNumber_ = 0;
  bool settingLoopText_ = false;
  bool loopOn_ = false;
};

}  // namespace

bool MacroManagerDialog(HWND owner, int dpi, MacroStore& store, int setIndex, const ButtonSlot& slot,
                        const KeyboardLayout& layout, const std::filesystem::path& settingsFolder) {
  auto window = std::make_unique<ManagerWindow>(store, setIndex, slot, layout, dpi,
                                                settingsFolder.empty() ? ProgramFolder() : settingsFolder);
  return window->Run(owner);
}

}  // namespace sarn::win
