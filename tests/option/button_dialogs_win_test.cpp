#include "option/button_dialogs_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "option/key_capture_win.h"
#include "option/skin_dialog_win.h"
#include "option/skin_kit_win.h"

namespace sarn::win {
namespace {

namespace ids = button_dialog_ids;

// Steps run one after another from a thread timer, inside the dialog's own modal loop (and inside a menu's
// loop while one is open), so a test needs no second thread. A step returns true when it is done and false
// to be tried again on the next tick; a script that does not finish in time closes the dialogs.
class Script {
 public:
  using Step = std::function<bool()>;
  explicit Script(std::vector<Step> steps) : steps_(std::move(steps)) {
    current_ = this;
    deadline_ = GetTickCount64() + 30000;
    timer_ = SetTimer(nullptr, 0, 25, Tick);
  }
  ~Script() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;
  [[nodiscard]] bool finished() const { return next_ == steps_.size(); }
  [[nodiscard]] std::size_t stuckAt() const { return next_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Script* s = current_;
    if (s == nullptr || s->running_) return;  // a step that opened a nested loop
    s->running_ = true;
    while (s->next_ < s->steps_.size() && s->steps_[s->next_]()) ++s->next_;
    if (!s->finished() && GetTickCount64() > s->deadline_) {
      EndMenu();
      for (HWND d = FindWindowW(L"SarnSkinDialog", nullptr); d != nullptr; d = FindWindowW(L"SarnSkinDialog", nullptr)) {
        SendMessageW(d, WM_CLOSE, 0, 0);
        ShowWindow(d, SW_HIDE);  // so the next search finds the next one
        if (IsWindowVisible(d)) break;
      }
    }
    s->running_ = false;
  }
  static inline Script* current_ = nullptr;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  bool running_ = false;
  ULONGLONG deadline_ = 0;
  UINT_PTR timer_ = 0;
};

HWND Dialog(const wchar_t* title) {
  HWND d = FindWindowW(L"SarnSkinDialog", title);
  return d != nullptr && IsWindowVisible(d) ? d : nullptr;
}

HWND Item(const wchar_t* title, int id) {
  HWND d = Dialog(title);
  return d != nullptr ? GetDlgItem(d, id) : nullptr;
}

std::wstring Text(HWND hwnd) {
  wchar_t text[512] = {};
  if (hwnd != nullptr) GetWindowTextW(hwnd, text, 512);
  return text;
}

// Steps shared by the tests.
Script::Step Click(const wchar_t* title, int id) {
  return [=] {
    HWND b = Item(title, id);
    if (b == nullptr) return false;
    PostMessageW(b, BM_CLICK, 0, 0);  // posted: a click may open a menu or a dialog of its own
    return true;
  };
}
Script::Step SetText(const wchar_t* title, int id, std::wstring text) {
  return [=] {
    HWND e = Item(title, id);
    if (e == nullptr) return false;
    SetWindowTextW(e, text.c_str());
    return true;
  };
}
Script::Step WaitText(const wchar_t* title, int id, std::wstring text) {
  return [=] { return Text(Item(title, id)) == text; };
}
Script::Step Pause(int ticks) {
  auto left = std::make_shared<int>(ticks);
  return [left] { return --*left <= 0; };
}
// Keys for an open popup menu, which reads the thread's keyboard messages whichever window they name.
Script::Step MenuKeys(std::vector<WPARAM> keys) {
  return [=] {
    HWND menu = FindWindowW(L"#32768", nullptr);
    if (menu == nullptr || !IsWindowVisible(menu)) return false;
    for (WPARAM k : keys) {
      PostMessageW(menu, WM_KEYDOWN, k, 1);
      PostMessageW(menu, WM_KEYUP, k, 0xC0000001);
    }
    return true;
  };
}
// A real key press and release through the system's input queue.
Script::Step Type(WORD vk) {
  return [=] {
    INPUT in[2] = {};
    for (INPUT& i : in) {
      i.type = INPUT_KEYBOARD;
      i.ki.wVk = vk;
      i.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    }
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(2, in, sizeof(INPUT)) == 2;
  };
}

class ButtonDialogWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSkinClasses(GetModuleHandleW(nullptr));
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (probe == nullptr) GTEST_SKIP() << "no window station to create windows in";
    DestroyWindow(probe);
  }
  // Runs `open` while the script drives it; fails the test when the script did not get through.
  template <typename F>
  auto Run(std::vector<Script::Step> steps, F open) {
    Script script(std::move(steps));
    const auto result = open();
    EXPECT_TRUE(script.finished()) << "stuck at step " << script.stuckAt();
    return result;
  }
};

TEST_F(ButtonDialogWindows, ShortcutTakesTheKeysTypedWhileTheHookCapturesAndKeepsNoneExclusive) {
  const wchar_t* t = kShortcutDialogTitle;
  ShortcutChoice choice;
  choice.key = 4;  // A
  choice.checks = {false, true, false, false, false};
  HWND shift = nullptr;
  const bool ok = Run(
      {Script::Step([&] { return KeyHookInstalled() && Text(Item(t, ids::kKeyField)) == L"A"; }),
       Type(VK_LCONTROL), WaitText(t, ids::kKeyField, L"Left Control"),
       Click(t, ids::kFirstCheck + kCheckNone),
       Script::Step([&] {
         shift = Item(t, ids::kFirstCheck + kCheckShift);
         return shift != nullptr && !IsWindowEnabled(shift);
       }),
       Click(t, ids::kFirstCheck + kCheckShift),  // disabled while None is checked
       Click(t, ids::kFirstCheck + kCheckNone), Script::Step([&] { return IsWindowEnabled(shift) != FALSE; }),
       Click(t, ids::kFirstCheck + kCheckAlt),
       Script::Step([&] { return SkinButtonPressed(Item(t, ids::kFirstCheck + kCheckAlt)); }),
       Type('Q'), WaitText(t, ids::kKeyField, L"Q"), Click(t, kIdOk)},
      [&] { return ShortcutDialog(nullptr, 96, choice, SystemKeyboardLayout()); });
  ASSERT_TRUE(ok);
  EXPECT_EQ(choice.key, 20);  // Q
  EXPECT_EQ(choice.checks, (std::array<bool, 5>{false, true, false, true, false}));
  EXPECT_EQ(choice.Flags(), kModShift | kModAlt);
  EXPECT_FALSE(KeyHookInstalled());
}

TEST_F(ButtonDialogWindows, ShortcutCancelAndExitChangeNothing) {
  const wchar_t* t = kShortcutDialogTitle;
  for (int closer : {kIdCancel, kIdExit}) {
    ShortcutChoice choice;
    choice.key = 4;
    choice.checks = {true, false, false, false, false};
    const bool ok = Run({Script::Step([&] { return KeyHookInstalled() && Dialog(t) != nullptr; }), Type('B'),
                         WaitText(t, ids::kKeyField, L"B"), Click(t, ids::kFirstCheck + kCheckNone),
                         Script::Step([&] { return !SkinButtonPressed(Item(t, ids::kFirstCheck + kCheckNone)); }),
                         Click(t, closer)},
                        [&] { return ShortcutDialog(nullptr, 96, choice, SystemKeyboardLayout()); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(choice.key, 4);
    EXPECT_EQ(choice.checks, (std::array<bool, 5>{true, false, false, false, false}));
    EXPECT_FALSE(KeyHookInstalled());
  }
}

// The page with the real dialogs: what OK stores reaches the slot, cut to the slot's field.
struct NoFiles final : ButtonPageFiles {
  void SaveTimers(const TimerList&) override {}
  void SaveMacroStore(const MacroStore&) override {}
  void ReloadMacroStore(MacroStore&) override {}
};

TEST_F(ButtonDialogWindows, ProgramPathReachesTheSlotCutToItsFieldAndCancelKeepsIt) {
  auto block = std::make_unique<SharedBlock>();
  std::memset(block.get(), 0, sizeof *block);
  ResetSettings(*block, [] { return 1; });
  MacroStore macros;
  TimerList timers;
  NoFiles files;
  Win32ButtonDialogs dialogs(nullptr, 96, SystemKeyboardLayout());
  ButtonPage page(*block, macros, timers, dialogs, files, SystemKeyboardLayout());
  ButtonSlot& b4 = block->profiles[0].MacroKeyInfo[3];
  const wchar_t* t = kProgramPathDialogTitle;

  ASSERT_TRUE(page.ClickLabel(3));
  const std::wstring longPath = L"C:\\" + std::wstring(300, L'x') + L".exe";
  EXPECT_EQ(Run({WaitText(t, ids::kPathField, L""), SetText(t, ids::kPathField, longPath), Click(t, kIdOk)},
                [&] { return page.HandleCommand(kCmdProgram); }),
            PageChange::kSlots);
  EXPECT_EQ(b4.functionCode, kFnLaunchProgram);
  EXPECT_EQ(std::string(b4.programPath), "C:\\" + std::string(256, 'x'));

  std::strcpy(b4.programPath, "C:\\Tools\\run.exe");
  for (int closer : {kIdCancel, kIdExit}) {
    EXPECT_EQ(Run({WaitText(t, ids::kPathField, L"C:\\Tools\\run.exe"), SetText(t, ids::kPathField, L"D:\\other.exe"),
                   Click(t, closer)},
                  [&] { return page.HandleCommand(kCmdProgram); }),
              PageChange::kNone);
    EXPECT_STREQ(b4.programPath, "C:\\Tools\\run.exe");
  }
}

TEST_F(ButtonDialogWindows, MediaPlayerChoiceFromTheSelectorsMenuAndUnknownValuesKept) {
  const wchar_t* t = kMediaPlayerDialogTitle;
  int option = 2;
  EXPECT_TRUE(Run({WaitText(t, ids::kPlayer, L"VLC Media Player"), Click(t, ids::kPlayer),
                   MenuKeys({VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}), WaitText(t, ids::kPlayer, L"Winamp"),
                   Click(t, kIdOk)},
                  [&] { return MediaPlayerDialog(nullptr, 96, option); }));
  EXPECT_EQ(option, 3);

  option = 7;
  EXPECT_TRUE(Run({Script::Step([&] {
                     HWND s = Item(t, ids::kPlayer);
                     return s != nullptr && Text(s).empty() && !SkinButtonPressed(s);
                   }),
                   Click(t, kIdOk)},
                  [&] { return MediaPlayerDialog(nullptr, 96, option); }));
  EXPECT_EQ(option, 7);

  EXPECT_FALSE(Run({Click(t, ids::kPlayer), MenuKeys({VK_DOWN, VK_RETURN}),
                    WaitText(t, ids::kPlayer, L"Windows Media player"), Click(t, kIdCancel)},
                   [&] { return MediaPlayerDialog(nullptr, 96, option); }));
  EXPECT_EQ(option, 7);
}

TimerList TwoTimers() {
  TimerList list;
  (void)AddTimer(list, "t0", 10);
  (void)AddTimer(list, "t1", 11);
  return list;
}

TEST_F(ButtonDialogWindows, TimerCreateStaysOpenOnATakenNameAndCountsWithItsArrows) {
  const wchar_t* t = kTimerCreateDialogTitle;
  const TimerList timers = TwoTimers();
  std::string name = "unchanged";
  int value = 0;
  EXPECT_TRUE(Run({WaitText(t, ids::kTimerName, L""), SetText(t, ids::kTimerName, L" T1 "), Click(t, kIdOk),
                   Pause(8), Script::Step([&] { return Dialog(t) != nullptr; }),  // the name is taken: still open
                   SetText(t, ids::kTimerName, L"  tea "), Click(t, ids::kTimerUp), Click(t, ids::kTimerUp),
                   Click(t, ids::kTimerUp), Click(t, ids::kTimerDown), Pause(4), Click(t, kIdOk)},
                  [&] { return TimerCreateDialog(nullptr, 96, timers, name, value); }));
  EXPECT_EQ(name, "tea");
  EXPECT_EQ(value, 32);

  EXPECT_FALSE(Run({SetText(t, ids::kTimerName, L"soup"), Click(t, kIdExit)},
                   [&] { return TimerCreateDialog(nullptr, 96, timers, name, value); }));
  EXPECT_EQ(name, "tea");
  EXPECT_EQ(value, 32);
}

TEST_F(ButtonDialogWindows, TimerListRenamesPicksDeletesAfterConfirmingAndCancelKeepsTheList) {
  const wchar_t* t = kTimerListDialogTitle;
  TimerList three = TwoTimers();
  (void)AddTimer(three, "t2", 12);
  TimerListEditor editor(three);
  const std::vector<Script::Step> deleteSecond = {
      WaitText(t, ids::kTimerName, L"t0"), SetText(t, ids::kTimerName, L"t2"), Click(t, ids::kTimerSave), Pause(4),
      Click(t, ids::kTimerList), MenuKeys({VK_DOWN, VK_DOWN, VK_RETURN}), WaitText(t, ids::kTimerList, L"t1"),
      WaitText(t, ids::kTimerName, L"t1"), Click(t, ids::kTimerDelete),
      Click(kTimerDeleteDialogTitle, kIdOk), WaitText(t, ids::kTimerName, L"t2")};
  std::vector<Script::Step> steps = deleteSecond;
  steps.push_back(Click(t, kIdCancel));
  EXPECT_FALSE(Run(steps, [&] { return TimerListDialog(nullptr, 96, editor); }));
  EXPECT_EQ(editor.timers().timers.size(), 3u);

  steps = deleteSecond;
  steps.push_back(Click(t, kIdOk));
  EXPECT_TRUE(Run(steps, [&] { return TimerListDialog(nullptr, 96, editor); }));
  ASSERT_EQ(editor.timers().timers.size(), 2u);
  EXPECT_STREQ(editor.timers().timers[0].name, "t0");  // the rename to t2's name changed nothing
  EXPECT_EQ(editor.timers().timers[0].value, 10u);
  EXPECT_STREQ(editor.timers().timers[1].name, "t2");
  EXPECT_EQ(editor.current(), 1);
}

}  // namespace
}  // namespace sarn::win
