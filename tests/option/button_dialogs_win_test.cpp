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

// Real key events through the system's input queue, in order: {virtual key, released}; keypad Enter is
// VK_RETURN sent with the extended flag, as the keyboard sends it.
struct KeyStep {
  WORD vk;
  bool up;
  bool extended = false;
};
Script::Step Keys(std::vector<KeyStep> steps) {
  return [=] {
    std::vector<INPUT> in;
    for (const KeyStep& k : steps) {
      INPUT i{};
      i.type = INPUT_KEYBOARD;
      i.ki.wVk = k.vk;
      i.ki.wScan = static_cast<WORD>(MapVirtualKeyW(k.vk, MAPVK_VK_TO_VSC));
      i.ki.dwFlags = (k.up ? KEYEVENTF_KEYUP : 0) | (k.extended ? KEYEVENTF_EXTENDEDKEY : 0);
      in.push_back(i);
    }
    return SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)) == in.size();
  };
}

bool Pressed(const wchar_t* t, int check) { return SkinButtonPressed(Item(t, ids::kFirstCheck + check)); }

// The dialog as it is on the screen, for the eye: e2e\run\NAME.bmp beside the test program, where the end-to-end
// tests leave their screenshots.
void SaveShot(HWND hwnd, const wchar_t* name) {
  RECT r;
  GetWindowRect(hwnd, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = w;
  info.biHeight = h;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  std::vector<BYTE> pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(h));
  GetDIBits(mem, bitmap, 0, static_cast<UINT>(h), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring dir(exe);
  dir.resize(dir.find_last_of(L'\\') + 1);
  CreateDirectoryW((dir + L"e2e").c_str(), nullptr);
  CreateDirectoryW((dir + L"e2e\\run").c_str(), nullptr);
  HANDLE file = CreateFileW((dir + L"e2e\\run\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  BITMAPFILEHEADER head{};
  head.bfType = 0x4D42;
  head.bfOffBits = static_cast<DWORD>(sizeof head + sizeof info);
  head.bfSize = head.bfOffBits + static_cast<DWORD>(pixels.size());
  DWORD written = 0;
  WriteFile(file, &head, sizeof head, &written, nullptr);
  WriteFile(file, &info, sizeof info, &written, nullptr);
  WriteFile(file, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
  CloseHandle(file);
}

TEST_F(ButtonDialogWindows, ShortcutIsTypedTheNaturalWayAndOkWaitsForAKey) {
  const wchar_t* t = kShortcutDialogTitle;
  ShortcutChoice choice;  // a slot without a key
  const bool ok = Run(
      {Script::Step([&] { return KeyHookInstalled() && Item(t, kIdOk) != nullptr; }),
       Script::Step([&] { return !IsWindowEnabled(Item(t, kIdOk)); }),
       // Neither a click nor Enter (which reaches the dialog as IDOK when it gets past the hook) closes it.
       Click(t, kIdOk), Script::Step([&] { return PostMessageW(Dialog(t), WM_KEYDOWN, VK_RETURN, 0) != FALSE; }),
       Pause(8), Script::Step([&] { return Dialog(t) != nullptr; }),
       Keys({{VK_LCONTROL, false}, {'C', false}, {'C', true}, {VK_LCONTROL, true}}), WaitText(t, ids::kKeyField, L"C"),
       Pause(4),  // the releases have come in too
       Script::Step([&] {
         EXPECT_TRUE(Pressed(t, kCheckCtrl));
         EXPECT_FALSE(Pressed(t, kCheckShift) || Pressed(t, kCheckAlt) || Pressed(t, kCheckWin));
         EXPECT_TRUE(IsWindowEnabled(Item(t, kIdOk)));
         EXPECT_EQ(Text(Item(t, ids::kKeyField)), L"C");
         SaveShot(Dialog(t), L"shortcut-ctrl-c.bmp");
         return true;
       }),
       Click(t, kIdOk)},
      [&] { return ShortcutDialog(nullptr, 96, choice, SystemKeyboardLayout()); });
  ASSERT_TRUE(ok);
  EXPECT_EQ(choice.key, 6);  // C
  EXPECT_EQ(choice.Flags(), kModCtrl);

  // Ctrl alone is the key; a key the dialog opened on stays with OK as it was.
  EXPECT_TRUE(Run({Script::Step([&] { return KeyHookInstalled() && IsWindowEnabled(Item(t, kIdOk)); }),
                   Keys({{VK_LCONTROL, false}, {VK_LCONTROL, true}}), WaitText(t, ids::kKeyField, L"Left Control"),
                   Click(t, kIdOk)},
                  [&] { return ShortcutDialog(nullptr, 96, choice, SystemKeyboardLayout()); }));
  EXPECT_EQ(choice.key, 224);
  EXPECT_EQ(choice.Flags(), kModNone);
  EXPECT_TRUE(Run({Script::Step([&] { return KeyHookInstalled() && IsWindowEnabled(Item(t, kIdOk)); }),
                   Click(t, kIdOk)},
                  [&] { return ShortcutDialog(nullptr, 96, choice, SystemKeyboardLayout()); }));
  EXPECT_EQ(choice.key, 224);
}

TEST_F(ButtonDialogWindows, ShortcutTellsKeypadEnterFromEnterAndTakesTheIsoKey) {
  const wchar_t* t = kShortcutDialogTitle;
  ShortcutChoice choice;
  EXPECT_TRUE(Run({Script::Step([&] { return KeyHookInstalled() && Dialog(t) != nullptr; }),
                   Keys({{VK_RETURN, false, true}, {VK_RETURN, true, true}}), WaitText(t, ids::kKeyField, L"Num_Enter"),
                   Keys({{VK_RETURN, false}, {VK_RETURN, true}}), WaitText(t, ids::kKeyField, L"Enter"),
                   Keys({{VK_OEM_102, false}, {VK_OEM_102, true}}), WaitText(t, ids::kKeyField, L"Europe 2"),
                   Click(t, kIdOk)},
                  [&] { return ShortcutDialog(nullptr, 96, choice, SystemKeyboardLayout()); }));
  EXPECT_EQ(choice.key, 100);
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

// Seconds typed into the number box itself, as the keyboard would put them there.
Script::Step TypeSeconds(const wchar_t* t, const wchar_t* text) {
  return [=] {
    HWND edit = GetWindow(Item(t, ids::kTimerValue), GW_CHILD);
    if (edit == nullptr) return false;
    SetWindowTextW(edit, text);
    return true;
  };
}
Script::Step WaitSeconds(const wchar_t* t, std::wstring text) {
  return [=] { return Text(GetWindow(Item(t, ids::kTimerValue), GW_CHILD)) == text; };
}

TEST_F(ButtonDialogWindows, TimerDialogsSaveSecondsOutOfRangeAsTheBoxShowsThemBroughtIntoRange) {
  const struct {
    const wchar_t* typed;
    const wchar_t* shown;
    unsigned saved;
  } cases[] = {{L"5", L"10", 10}, {L"1000", L"999", 999}};
  for (const auto& c : cases) {
    const wchar_t* t = kTimerCreateDialogTitle;
    std::string name;
    int value = 0;
    EXPECT_TRUE(Run({WaitText(t, ids::kTimerName, L""), SetText(t, ids::kTimerName, L"tea"), TypeSeconds(t, c.typed),
                     Click(t, kIdOk)},
                    [&] { return TimerCreateDialog(nullptr, 96, TimerList{}, name, value); }));
    EXPECT_EQ(value, static_cast<int>(c.saved)) << "typed " << c.typed;

    // The list's Save keeps the dialog open: the box shows what was saved.
    t = kTimerListDialogTitle;
    TimerListEditor editor(TwoTimers());
    EXPECT_TRUE(Run({WaitText(t, ids::kTimerName, L"t0"), TypeSeconds(t, c.typed), Click(t, ids::kTimerSave),
                     WaitSeconds(t, c.shown), Click(t, ids::kTimerList), MenuKeys({VK_DOWN, VK_DOWN, VK_RETURN}),
                     WaitText(t, ids::kTimerName, L"t1"), TypeSeconds(t, c.typed), Click(t, kIdOk)},
                    [&] { return TimerListDialog(nullptr, 96, editor); }));
    ASSERT_EQ(editor.timers().timers.size(), 2u);
    EXPECT_EQ(editor.timers().timers[0].value, c.saved) << "typed " << c.typed;
    EXPECT_EQ(editor.timers().timers[1].value, c.saved) << "typed " << c.typed;
  }
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
