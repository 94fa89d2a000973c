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
#include "option/dialog_script_win.h"

namespace sarn::win {
namespace {

namespace ids = button_dialog_ids;

using ButtonDialogWindows = DialogWindows;

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
