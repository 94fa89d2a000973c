#include "option/macro_manager_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "option/dialog_script_win.h"
#include "option/key_capture_win.h"
#include "option/macro/macro_timeline.h"
#include "option/macro_timeline_win.h"
#include "option/skin_dialog_win.h"

namespace sarn::win {
namespace {

namespace ids = macro_manager_ids;
using MacroManagerWindow = DialogWindows;
const wchar_t* const kTitle = kMacroManagerTitle;

std::wstring TrimmedForList(const std::wstring& s) {
  const auto first = s.find_first_not_of(L' '), last = s.find_last_not_of(L' ');
  return first == std::wstring::npos ? L"" : s.substr(first, last - first + 1);
}

Script::Step FirstLine(int id, std::wstring text) {
  return [=] {
    HWND list = Item(kTitle, id);
    wchar_t line[128] = {};
    return list != nullptr && SendMessageW(list, LB_GETTEXTLEN, 0, 0) < 128 &&
           SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line)) > 0 && text == line;
  };
}

// New, the name typed into the in-place edit, Enter. Another window taking the focus ends the edit early
// (with an empty name, which creates nothing); then it starts again.
Script::Step NewMacroNamed(std::wstring name) {
  auto done = FirstLine(ids::kMacroList, TrimmedForList(name));
  return [=] {
    if (done()) return true;
    if (HWND edit = Item(kTitle, ids::kInPlaceEdit); edit != nullptr) {
      SetWindowTextW(edit, name.c_str());
      PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    } else if (HWND list = Item(kTitle, ids::kMacroList); list != nullptr && SendMessageW(list, LB_GETCOUNT, 0, 0) == 0) {
      PostMessageW(Item(kTitle, ids::kNew), BM_CLICK, 0, 0);
    }
    return false;
  };
}

Script::Step Lines(int id, int count) {
  return [=] { return SendMessageW(Item(kTitle, id), LB_GETCOUNT, 0, 0) == count; };
}

// One real key, pressed and released, with the given wait in between and after, in ticks of the script.
std::vector<Script::Step> TypeSlowly(WORD vk, std::shared_ptr<std::vector<DWORD>> sent) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  INPUT up = in;
  up.ki.dwFlags = KEYEVENTF_KEYUP;
  return {[=]() mutable {
            sent->push_back(GetTickCount());
            return SendInput(1, &in, sizeof(INPUT)) == 1;
          },
          Pause(3),
          [=]() mutable {
            sent->push_back(GetTickCount());
            return SendInput(1, &up, sizeof(INPUT)) == 1;
          },
          Pause(3)};
}

// A folder of its own for the manager's config.ini, so that a test starts as a new user does.
class SettingsFolder {
 public:
  SettingsFolder() {
    path_ = std::filesystem::temp_directory_path() / ("sarn-macro-manager-" + std::to_string(GetCurrentProcessId()) +
                                                      "-" + std::to_string(++count_));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~SettingsFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  SettingsFolder(const SettingsFolder&) = delete;
  SettingsFolder& operator=(const SettingsFolder&) = delete;
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

 private:
  static inline int count_ = 0;
  std::filesystem::path path_;
};

// A new user records with delays: no click on "Record delays" is needed.
TEST_F(MacroManagerWindow, EmptyStoreAsksForASetThenRecordsRealKeysWithTheirGaps) {
  MacroStore store;
  SettingsFolder settings;
  std::vector<Script::Step> steps = {
      // The set-name dialog opens by itself on an empty store.
      SetText(kMacroSetNameTitle, ids::kSetNameField, L"  Raid  "), Click(kMacroSetNameTitle, kIdOk),
      WaitText(kTitle, ids::kSetSelector, L"Raid"),
      NewMacroNamed(L" Burst "),
      Click(kTitle, ids::kRecord),
      Script::Step([] { return KeyHookInstalled(); })};
  auto sent = std::make_shared<std::vector<DWORD>>();
  for (WORD vk : {WORD{'A'}, WORD{'B'}}) {
    for (auto& s : TypeSlowly(vk, sent)) steps.push_back(s);
  }
  steps.push_back(Lines(ids::kStepList, 7));  // four steps, three delays
  steps.push_back(Pause(4));
  steps.push_back(Click(kTitle, ids::kRecord));
  steps.push_back(Script::Step([] { return !KeyHookInstalled(); }));
  steps.push_back(Click(kTitle, kIdOk));
  const bool ok = Run(steps, [&] {
    return MacroManagerDialog(nullptr, 96, store, -1, ButtonSlot{}, SystemKeyboardLayout(), settings.path());
  });
  ASSERT_TRUE(ok);
  ASSERT_EQ(store.sets.size(), 1u);
  EXPECT_EQ(store.sets[0]->name, "Raid");
  ASSERT_EQ(store.sets[0]->macros.size(), 1u);
  const MacroRecord& m = *store.sets[0]->macros[0];
  EXPECT_STREQ(m.name, "Burst");
  ASSERT_EQ(m.count, 4u);
  const int keys[] = {4, 4, 5, 5}, kinds[] = {1, 2, 1, 2};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(m.events[i].key, keys[i]);
    EXPECT_EQ(m.events[i].kind, kinds[i]);
  }
  // The gaps are the keys' own: what passed between sending them, however late the window read them.
  ASSERT_EQ(sent->size(), 4u);
  for (std::size_t i = 0; i < 3; ++i) {
    const int gap = static_cast<int>((*sent)[i + 1] - (*sent)[i]);
    EXPECT_GT(m.events[i].delay, 0) << i;
    EXPECT_NEAR(m.events[i].delay, gap, 20) << i;
  }
  // The last key waited until Stop: the pause before the macro repeats.
  EXPECT_GE(m.events[3].delay, 50);
  EXPECT_FALSE(KeyHookInstalled());
}

TEST_F(MacroManagerWindow, StepMenuInsertsAWheelClickAndCancelReportsCancel) {
  MacroStore store;
  ASSERT_EQ(AddMacroSet(store, "Mine"), 0);
  store.sets[0]->macros.push_back(NewMacroRecord("m"));
  ButtonSlot slot{};
  slot.functionCode = 48;
  CopyTextField(slot.setName, "mine");
  CopyTextField(slot.macroName, "M");
  const bool ok = Run(
      {Lines(ids::kMacroList, 1),
       // Wheel (third entry of the mouse submenu), then Click (third entry).
       Script::Step([] {
         HWND list = Item(kTitle, ids::kStepList);
         if (list == nullptr) return false;
         RECT r;
         GetWindowRect(list, &r);
         PostMessageW(GetParent(list), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(r.left + 10, r.top + 10));
         return true;
       }),
       MenuKeys({VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_RETURN}),
       Lines(ids::kStepList, 2), SetText(kTitle, ids::kLoopField, L"999"), WaitText(kTitle, ids::kLoopField, L"255"),
       Click(kTitle, kIdCancel)},
      [&] { return MacroManagerDialog(nullptr, 96, store, 0, slot, SystemKeyboardLayout()); });
  EXPECT_FALSE(ok);
  const MacroRecord& m = *store.sets[0]->macros[0];
  ASSERT_EQ(m.count, 2u);
  EXPECT_EQ(m.events[0].key, 242);
  EXPECT_EQ(m.events[0].kind, 1);
  EXPECT_EQ(m.events[1].kind, 2);
  EXPECT_EQ(m.events[1].delay, 0);
}

// A real left click at a screen point (the pointer is moved there first).
void ClickAt(POINT p) {
  SetCursorPos(p.x, p.y);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
}

// --- Delays in the step list ---------------------------------------------------------------------------

// Opens the step list's context menu on `line` (-1: the last line) and picks entry `entry`: 0 Start Record
// before, 1 Start Record after, 2 Insert Delay, 4 Edit Delay, 5 Delete.
std::vector<Script::Step> StepMenu(int line, int entry) {
  std::vector<WPARAM> keys(static_cast<std::size_t>(entry) + 1, VK_DOWN);
  keys.push_back(VK_RETURN);
  return {Script::Step([=] {
            HWND list = Item(kTitle, ids::kStepList);
            const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
            const int at = line < 0 ? count - 1 : line;
            if (list == nullptr || at < 0 || at >= count) return false;
            RECT r;
            SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&r));
            POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            ClientToScreen(list, &p);
            PostMessageW(GetParent(list), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(p.x, p.y));
            return true;
          }),
          MenuKeys(keys)};
}

Script::Step LineIs(int id, int line, std::wstring text) {
  return [=] {
    HWND list = Item(kTitle, id);
    wchar_t buffer[128] = {};
    return list != nullptr && SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(line), 0) < 128 &&
           SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(buffer)) >= 0 &&
           text == buffer;
  };
}

// Types into the open in-place edit; Enter ends it.
Script::Step TypeInPlace(std::wstring text, bool enter) {
  return [=] {
    HWND edit = Item(kTitle, ids::kInPlaceEdit);
    if (edit == nullptr || !IsWindowVisible(edit)) return false;
    SetWindowTextW(edit, text.c_str());
    if (enter) PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    return true;
  };
}

Script::Step NoInPlaceEdit() {
  return [] { return Item(kTitle, ids::kInPlaceEdit) == nullptr; };
}

void AddKeyMacro(MacroSet& set, const char* name, std::initializer_list<MacroEvent> steps) {
  auto m = NewMacroRecord(name);
  for (const MacroEvent& e : steps) m->events[m->count++] = e;
  set.macros.push_back(std::move(m));
}

// Edit Delay works on a step without a delay line, here the last one (the pause before the macro repeats),
// and a click on another macro while the field is open leaves the typed value with the first macro.
TEST_F(MacroManagerWindow, EditDelayKeepsTheValueWithItsMacroWhenAnotherIsClicked) {
  MacroStore store;
  ASSERT_EQ(AddMacroSet(store, "Mine"), 0);
  AddKeyMacro(*store.sets[0], "first", {{4, 1, 0}, {4, 2, 0}});
  AddKeyMacro(*store.sets[0], "second", {{4, 1, 0}, {4, 2, 0}});
  std::vector<Script::Step> steps = {Lines(ids::kMacroList, 2), Lines(ids::kStepList, 2)};
  for (auto& s : StepMenu(1, 4)) steps.push_back(s);
  steps.push_back(TypeInPlace(L"300", false));
  steps.push_back([] {
    // A press on the second macro as Windows' list box handles it: it takes the focus (the field posts its
    // end) and changes the selection with its notification, all before the posted end is read. (Wine's list
    // box notifies only on the release, after the end was read, so a real click here would not show it.)
    HWND list = Item(kTitle, ids::kMacroList);
    SetFocus(list);
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(ids::kMacroList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    return true;
  });
  steps.push_back([] { return SendMessageW(Item(kTitle, ids::kMacroList), LB_GETCURSEL, 0, 0) == 1; });
  steps.push_back(NoInPlaceEdit());
  steps.push_back(Lines(ids::kStepList, 2));  // the second macro, still without delays
  steps.push_back(Click(kTitle, kIdOk));
  ButtonSlot slot{};
  EXPECT_TRUE(Run(steps, [&] { return MacroManagerDialog(nullptr, 96, store, 0, slot, SystemKeyboardLayout()); }));
  EXPECT_EQ(store.sets[0]->macros[0]->events[1].delay, 300);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(store.sets[0]->macros[1]->events[i].delay, 0) << i;
}

// The step menu's delay commands and recordings into the middle and at the end, one after the other.
TEST_F(MacroManagerWindow, StepMenuEditsDelaysAndRecordsBeforeAndAfter) {
  MacroStore store;
  SettingsFolder settings;
  ASSERT_EQ(AddMacroSet(store, "Mine"), 0);
  AddKeyMacro(*store.sets[0], "m", {{4, 1, 0}, {4, 2, 0}, {5, 1, 0}, {5, 2, 0}});
  const MacroRecord& m = *store.sets[0]->macros[0];
  auto count = [&m](std::uint32_t n) { return Script::Step([&m, n] { return m.count == n; }); };
  std::vector<Script::Step> steps = {Lines(ids::kStepList, 4)};
  auto add = [&steps](std::vector<Script::Step> more) { steps.insert(steps.end(), more.begin(), more.end()); };
  add(StepMenu(2, 2));  // Insert Delay on "B Press": A's release waits 1 ms
  add({Lines(ids::kStepList, 5), LineIs(ids::kStepList, 2, L"1 ms"),
       Script::Step([] {  // a double click on the delay line opens it
         HWND list = Item(kTitle, ids::kStepList);
         SendMessageW(list, LB_SETCURSEL, 2, 0);
         PostMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(ids::kStepList, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
         return true;
       }),
       TypeInPlace(L"40", true), LineIs(ids::kStepList, 2, L"40 ms")});
  add(StepMenu(0, 5));  // Delete "A Press"
  add({Lines(ids::kStepList, 4), LineIs(ids::kStepList, 2, L"B Press")});
  add(StepMenu(2, 0));  // Record before "B Press"
  add({Script::Step([] { return KeyHookInstalled(); }), Type('C'), count(5), Pause(4), Click(kTitle, ids::kRecord),
       Script::Step([] { return !KeyHookInstalled(); })});
  add(StepMenu(-1, 1));  // Record after the last line
  add({Script::Step([] { return KeyHookInstalled(); }), Type('D'), count(7), Pause(4), Click(kTitle, ids::kRecord),
       Script::Step([] { return !KeyHookInstalled(); }), Click(kTitle, kIdOk)});
  ButtonSlot slot{};
  EXPECT_TRUE(Run(steps, [&] {
    return MacroManagerDialog(nullptr, 96, store, 0, slot, SystemKeyboardLayout(), settings.path());
  }));
  ASSERT_EQ(m.count, 7u);
  const int keys[] = {4, 6, 6, 5, 5, 7, 7}, kinds[] = {2, 1, 2, 1, 2, 1, 2};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(m.events[i].key, keys[i]) << i;
    EXPECT_EQ(m.events[i].kind, kinds[i]) << i;
  }
  EXPECT_EQ(m.events[0].delay, 40);
  EXPECT_GE(m.events[2].delay, 50);  // the last key of each recording waited until Stop
  EXPECT_EQ(m.events[4].delay, 0);
  EXPECT_GE(m.events[6].delay, 50);
}

// "Record delays" is what the user chose last time, even after Cancel; a new user has it on.
TEST_F(MacroManagerWindow, RecordDelaysIsRememberedAcrossOpenings) {
  MacroStore store;
  SettingsFolder settings;
  ASSERT_EQ(AddMacroSet(store, "Mine"), 0);
  auto pressed = [](bool on) {
    return Script::Step([on] {
      HWND b = Item(kTitle, ids::kDelayOption);
      return b != nullptr && SkinButtonPressed(b) == on;
    });
  };
  ButtonSlot slot{};
  auto open = [&] { return MacroManagerDialog(nullptr, 96, store, 0, slot, SystemKeyboardLayout(), settings.path()); };
  EXPECT_FALSE(Run({pressed(true), Click(kTitle, ids::kDelayOption), pressed(false), Click(kTitle, kIdCancel)}, open));
  EXPECT_TRUE(Run({pressed(false), Click(kTitle, kIdOk)}, open));
  std::string text;
  {
    std::ifstream in(settings.path() / "config.ini", std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  EXPECT_NE(text.find("RecordDelays=0"), std::string::npos) << text;
}

// "[x]Delete Macro Set" with no set selected says so, as the other commands do, and deletes nothing.
TEST_F(MacroManagerWindow, DeleteSetWithoutASetShowsTheNotice) {
  MacroStore store;
  ASSERT_EQ(AddMacroSet(store, "Mine"), 0);
  const bool ok = Run({Script::Step([] { return Dialog(kTitle) != nullptr; }), Click(kTitle, ids::kSetSelector),
                       MenuKeys({VK_UP, VK_RETURN}), Script::Step([] { return Dialog(kMacroNoticeTitle) != nullptr; }),
                       Click(kMacroNoticeTitle, kIdOk), Script::Step([] { return Dialog(kMacroNoticeTitle) == nullptr; }),
                       Click(kTitle, kIdCancel)},
                      [&] { return MacroManagerDialog(nullptr, 96, store, -1, ButtonSlot{}, SystemKeyboardLayout()); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(store.sets.size(), 1u);
}

// --- Timeline view ---------------------------------------------------------------------------------------

HWND TimelineItem(int id) {
  HWND view = Item(kTitle, timeline_ids::kView);
  return view != nullptr && IsWindowVisible(view) ? GetDlgItem(view, id) : nullptr;
}

Script::Step TimelineShown(bool shown) {
  return [=] { return (TimelineItem(timeline_ids::kRows) != nullptr) == shown; };
}

Script::Step ClickTimeline(int id) {
  return [=] {
    HWND b = TimelineItem(id);
    if (b == nullptr) return false;
    PostMessageW(b, BM_CLICK, 0, 0);
    return true;
  };
}

// Drags the end edge of the bar in `row` (shown from time 0 over `span`) from one time to another.
Script::Step DragEnd(int row, std::int32_t from, std::int32_t to, std::int32_t span) {
  return [=] {
    HWND rows = TimelineItem(timeline_ids::kRows);
    if (rows == nullptr) return false;
    RECT c;
    GetClientRect(rows, &c);
    const int width = c.right - 72 - 2;
    const int y = 16 + row * kTimelineRowPitch + 5;
    const int x0 = 72 + TimeToPixel(from, 0, span, width), x1 = 72 + TimeToPixel(to, 0, span, width);
    SendMessageW(rows, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x0, y));
    SendMessageW(rows, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((x0 + x1) / 2, y));
    SendMessageW(rows, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x1, y));
    SendMessageW(rows, WM_LBUTTONUP, 0, MAKELPARAM(x1, y));
    return true;
  };
}

struct TimelineFixture {
  MacroStore store;
  ButtonSlot slot{};
  TimelineFixture() {
    EXPECT_EQ(AddMacroSet(store, "Mine"), 0);
    auto m = NewMacroRecord("m");
    // A 0-150 and B 100-350, then a press of C that is never released.
    const MacroEvent steps[] = {{4, 1, 100}, {5, 1, 50}, {4, 2, 200}, {5, 2, 0}, {6, 1, 0}};
    for (const MacroEvent& e : steps) m->events[m->count++] = e;
    store.sets[0]->macros.push_back(std::move(m));
  }
  MacroRecord& macro() { return *store.sets[0]->macros[0]; }
  bool Open() { return MacroManagerDialog(nullptr, 96, store, 0, slot, SystemKeyboardLayout()); }
};

TEST_F(MacroManagerWindow, LookingAtTheTimelineLeavesTheMacroAsItWas) {
  TimelineFixture f;
  const bool ok = Run({Lines(ids::kMacroList, 1), WaitText(kTitle, ids::kSwitchEditor, L"Timeline view"),
                       Click(kTitle, ids::kSwitchEditor), TimelineShown(true),
                       WaitText(kTitle, ids::kSwitchEditor, L"Step list view"),
                       ClickTimeline(timeline_ids::kZoomIn), Click(kTitle, ids::kSwitchEditor), TimelineShown(false),
                       Lines(ids::kStepList, 8), Click(kTitle, ids::kSwitchEditor), TimelineShown(true),
                       Click(kTitle, kIdOk)},
                      [&] { return f.Open(); });
  EXPECT_TRUE(ok);
  // The unreleased C is not a bar, but it is still in the macro: nothing was edited.
  EXPECT_EQ(f.macro().count, 5u);
  EXPECT_EQ(f.macro().events[4].key, 6);
}

TEST_F(MacroManagerWindow, TimelineEditsAreWrittenBackOnSwitchAndOk) {
  TimelineFixture f;
  const bool ok = Run({Lines(ids::kMacroList, 1), Click(kTitle, ids::kSwitchEditor), TimelineShown(true),
                       DragEnd(1, 350, 700, FittingSpan(BarsFromMacro(f.macro()))),
                       // Back to the step list: the drag is in the steps now.
                       Click(kTitle, ids::kSwitchEditor), TimelineShown(false), Lines(ids::kStepList, 7),
                       Click(kTitle, ids::kSwitchEditor), TimelineShown(true),
                       Script::Step([] {
                         HWND rows = TimelineItem(timeline_ids::kRows);
                         if (rows == nullptr) return false;
                         SendMessageW(rows, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 16 + 5));  // A's name
                         SendMessageW(rows, WM_LBUTTONUP, 0, MAKELPARAM(20, 16 + 5));
                         return true;
                       }),
                       ClickTimeline(timeline_ids::kDeleteBar), Click(kTitle, kIdOk)},
                      [&] { return f.Open(); });
  EXPECT_TRUE(ok);
  // Only B is left, from 100 to about 700 ms (a pixel is a few ms): a macro starts with its first step.
  const MacroRecord& m = f.macro();
  ASSERT_EQ(m.count, 2u);
  EXPECT_EQ(m.events[0].key, 5);
  EXPECT_EQ(m.events[0].kind, 1);
  EXPECT_NEAR(m.events[0].delay, 600, 5);
  EXPECT_EQ(m.events[1].kind, 2);
  EXPECT_EQ(m.events[1].delay, 0);
}

// ADD appends a bar over the last bar's time and takes the next real key pressed as its key; until the key
// comes, the view's buttons are disabled.
TEST_F(MacroManagerWindow, AddTakesOneRealKeyForTheNewBar) {
  TimelineFixture f;
  const bool ok = Run({Lines(ids::kMacroList, 1), Click(kTitle, ids::kSwitchEditor), TimelineShown(true),
                       ClickTimeline(timeline_ids::kAdd), Script::Step([] { return KeyHookInstalled(); }),
                       Script::Step([] { return IsWindowEnabled(TimelineItem(timeline_ids::kAdd)) == FALSE; }),
                       Type('D'), Script::Step([] { return !KeyHookInstalled(); }),
                       Script::Step([] { return IsWindowEnabled(TimelineItem(timeline_ids::kAdd)) != FALSE; }),
                       Click(kTitle, kIdOk)},
                      [&] { return f.Open(); });
  EXPECT_TRUE(ok);
  EXPECT_FALSE(KeyHookInstalled());
  // A 0-150, B 100-350 and the new D over B's time; the unreleased C is no bar, so the edit drops it.
  const std::vector<TimelineBar> bars = BarsFromMacro(f.macro());
  ASSERT_EQ(bars.size(), 3u);
  const TimelineBar expected[] = {{4, 0, 150}, {5, 100, 350}, {7, 100, 350}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(bars[i].key, expected[i].key) << i;
    EXPECT_EQ(bars[i].start, expected[i].start) << i;
    EXPECT_EQ(bars[i].end, expected[i].end) << i;
  }
}

// Clicks a part of one of the rows' scroll bars as a user would: `arrow` the line arrow at the far end (down,
// right), otherwise the page area between the thumb and that arrow.
Script::Step ClickScrollBar(LONG object, bool arrow) {
  return [=] {
    HWND rows = TimelineItem(timeline_ids::kRows);
    SCROLLBARINFO info = {sizeof info};
    if (rows == nullptr || !GetScrollBarInfo(rows, object, &info)) return false;
    const RECT& r = info.rcScrollBar;
    const bool vertical = object == OBJID_VSCROLL;
    const LONG length = vertical ? r.bottom - r.top : r.right - r.left;
    const int arrowSize = GetSystemMetrics(vertical ? SM_CYVSCROLL : SM_CXHSCROLL);
    const LONG along = arrow ? length - arrowSize / 2 : (info.xyThumbBottom + length - arrowSize) / 2;
    const POINT p = vertical ? POINT{(r.left + r.right) / 2, r.top + along} : POINT{r.left + along, (r.top + r.bottom) / 2};
    ClickAt(p);
    return true;
  };
}

Script::Step ScrollPosIs(int bar, int pos) {
  return [=] {
    HWND rows = TimelineItem(timeline_ids::kRows);
    return rows != nullptr && GetScrollPos(rows, bar) == pos;
  };
}

// Both scroll bars, clicked: a line down shows the next row, a page down at most the last 19 rows; a line
// right moves the time by the span's line step, a page right by the span.
TEST_F(MacroManagerWindow, ScrollBarsMoveByTheirLinesAndPages) {
  MacroStore store;
  ASSERT_EQ(AddMacroSet(store, "Mine"), 0);
  auto m = NewMacroRecord("m");
  for (std::uint8_t i = 0; i < 30; ++i) {  // 30 one-key bars, one after the other
    m->events[m->count++] = MacroEvent{static_cast<std::uint8_t>(4 + i), 1, 50};
    m->events[m->count++] = MacroEvent{static_cast<std::uint8_t>(4 + i), 2, 50};
  }
  store.sets[0]->macros.push_back(std::move(m));
  const std::int32_t span = FittingSpan(BarsFromMacro(*store.sets[0]->macros[0]));
  const int line = HorizontalLineStep(span);
  ASSERT_GT(line, 0);
  ButtonSlot slot{};
  const bool ok = Run({Lines(ids::kMacroList, 1), Click(kTitle, ids::kSwitchEditor), TimelineShown(true),
                       ScrollPosIs(SB_VERT, 0), ScrollPosIs(SB_HORZ, 0),
                       ClickScrollBar(OBJID_VSCROLL, true), ScrollPosIs(SB_VERT, 1),
                       ClickScrollBar(OBJID_VSCROLL, false), ScrollPosIs(SB_VERT, 30 - kTimelineRows),
                       ClickScrollBar(OBJID_HSCROLL, true), ScrollPosIs(SB_HORZ, line),
                       ClickScrollBar(OBJID_HSCROLL, false), ScrollPosIs(SB_HORZ, line + span),
                       Click(kTitle, kIdOk)},
                      [&] { return MacroManagerDialog(nullptr, 96, store, 0, slot, SystemKeyboardLayout()); });
  EXPECT_TRUE(ok);
  EXPECT_EQ(store.sets[0]->macros[0]->count, 60u);  // scrolling edits nothing
}

// The pause after the last step is dragged on the ruler from the last step's end, and stored with the bars.
TEST_F(MacroManagerWindow, TimelineSetsThePauseAfterTheLastStep) {
  MacroStore store;
  ASSERT_EQ(AddMacroSet(store, "Mine"), 0);
  AddKeyMacro(*store.sets[0], "m", {{4, 1, 100}, {4, 2, 0}});  // A from 0 to 100, no pause
  const std::int32_t span = FittingSpan(BarsFromMacro(*store.sets[0]->macros[0]));
  ButtonSlot slot{};
  const bool ok = Run({Lines(ids::kMacroList, 1), Click(kTitle, ids::kSwitchEditor), TimelineShown(true),
                       Script::Step([=] {
                         HWND rows = TimelineItem(timeline_ids::kRows);
                         if (rows == nullptr) return false;
                         RECT c;
                         GetClientRect(rows, &c);
                         const int width = c.right - 72 - 2;
                         const int x0 = 72 + TimeToPixel(100, 0, span, width), x1 = 72 + TimeToPixel(180, 0, span, width);
                         SendMessageW(rows, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x0, 8));  // on the ruler
                         SendMessageW(rows, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x1, 8));
                         SendMessageW(rows, WM_LBUTTONUP, 0, MAKELPARAM(x1, 8));
                         return true;
                       }),
                       Click(kTitle, ids::kSwitchEditor), TimelineShown(false), Lines(ids::kStepList, 4),
                       Click(kTitle, kIdOk)},
                      [&] { return MacroManagerDialog(nullptr, 96, store, 0, slot, SystemKeyboardLayout()); });
  EXPECT_TRUE(ok);
  const MacroRecord& m = *store.sets[0]->macros[0];
  ASSERT_EQ(m.count, 2u);
  EXPECT_EQ(m.events[0].delay, 100);
  EXPECT_NEAR(m.events[1].delay, 80, 3);
}

}  // namespace
}  // namespace sarn::win
