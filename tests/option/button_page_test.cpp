#include "option/button_page.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace sarn {
namespace {

constexpr int B(int n) { return n - 1; }  // slot index of button Bn

using Menu = std::vector<MenuEntry>;

const MenuEntry* FindSubmenu(const Menu& menu, const std::string& title) {
  for (const MenuEntry& e : menu) {
    if (e.kind == MenuEntry::Kind::kSubmenu && e.text == title) return &e;
  }
  return nullptr;
}

std::vector<unsigned> Commands(const Menu& menu) {
  std::vector<unsigned> out;
  for (const MenuEntry& e : menu) {
    if (e.kind == MenuEntry::Kind::kCommand) out.push_back(e.command);
  }
  return out;
}

// The menu as one line per entry: "-" for a separator, ">title" for a submenu, "command text" otherwise,
// a '*' in front of highlighted entries.
std::vector<std::string> Shape(const Menu& menu) {
  std::vector<std::string> out;
  for (const MenuEntry& e : menu) {
    const std::string mark = e.highlight ? "*" : "";
    if (e.kind == MenuEntry::Kind::kSeparator) out.push_back("-");
    if (e.kind == MenuEntry::Kind::kSubmenu) out.push_back(mark + ">" + e.text);
    if (e.kind == MenuEntry::Kind::kCommand) out.push_back(mark + std::to_string(e.command) + " " + e.text);
  }
  return out;
}

MacroSet& AddSet(MacroStore& store, const std::string& name, std::vector<std::string> macros = {}) {
  store.sets.push_back(std::make_unique<MacroSet>());
  store.sets.back()->name = name;
  for (const std::string& m : macros) store.sets.back()->macros.push_back(NewMacroRecord(m));
  return *store.sets.back();
}

TimerList Timers(int n) {
  TimerList list;
  for (int i = 0; i < n; ++i) {
    TimerRecord t{};
    t.value = static_cast<std::uint32_t>(10 + i);
    std::snprintf(t.name, sizeof t.name, "t%d", i);
    list.timers.push_back(t);
  }
  return list;
}

TEST(FunctionMenu, ShiftSubmenuOnlyOnB5AndB7AndWithoutFlip3DOnXp) {
  const MacroStore none;
  const ButtonSlot slot{};
  for (int button = B(3); button <= B(18); ++button) {
    const Menu menu = BuildFunctionMenu(button, slot, none, TimerList{}, false);
    const bool shiftKey = button == B(5) || button == B(7);
    EXPECT_EQ(FindSubmenu(menu, "Duvex[+]") != nullptr, shiftKey) << "B" << button + 1;
    EXPECT_EQ(menu.front().text == "Duvex[+]", shiftKey);
  }
  const Menu vista = BuildFunctionMenu(B(7), slot, none, TimerList{}, false);
  EXPECT_EQ(Commands(FindSubmenu(vista, "Duvex[+]")->items), (std::vector<unsigned>{1024, 1025, 1026, 1027, 1028, 1030, 1031}));
  EXPECT_EQ(FindSubmenu(vista, "Duvex[+]")->items[1].kind, MenuEntry::Kind::kSeparator);
  const Menu xp = BuildFunctionMenu(B(5), slot, none, TimerList{}, true);
  EXPECT_EQ(Commands(FindSubmenu(xp, "Duvex[+]")->items), (std::vector<unsigned>{1024, 1025, 1026, 1027, 1028, 1030}));

  // The rest of the main popup, in order.
  const Menu b3 = BuildFunctionMenu(B(3), slot, none, TimerList{}, false);
  EXPECT_EQ(Shape(b3), (std::vector<std::string>{">宏 + 预设编辑", ">指派定时器", ">配置文件", ">DPI 设置", ">灵敏度",
                                                 ">多媒体", "-", "1001 单击", "1002 菜单", "1003 通用滚动", "1004 双击",
                                                 "1005 指派快捷方式", "1006 已禁用", "1007 IE 前进", "1008 IE 后退",
                                                 "1009 左倾斜", "1010 右倾斜", "1013 向上滚动", "1014 向下滚动",
                                                 "1015 快速启动"}));
  EXPECT_EQ(Shape(FindSubmenu(b3, "多媒体")->items),
            (std::vector<std::string>{"1037 Windows 静音", "1038 Windows 音量增大", "1039 Windows 音量减小", "-",
                                      "1040 选择播放器", "-", "1032 打开播放器", "1033 上一曲", "1034 下一曲",
                                      "1035 播放/暂停", "1036 停止"}));
  EXPECT_EQ(Commands(FindSubmenu(b3, "灵敏度")->items), (std::vector<unsigned>{1041, 1042, 1043}));
}

TEST(FunctionMenu, MacroSetsWithTheirSeparatorsAndTheButtonsMacroMarked) {
  MacroStore store;
  const ButtonSlot plain{};
  EXPECT_EQ(Shape(FindSubmenu(BuildFunctionMenu(B(3), plain, store, {}, false), "宏 + 预设编辑")->items),
            (std::vector<std::string>{"1049 创建新宏..."}));

  AddSet(store, "  Mine  ", {"jump", "Dash"});
  AddSet(store, "world of warcraft");
  AddSet(store, "Empty");
  ButtonSlot slot{};
  slot.functionCode = kFnMacro;
  std::strcpy(slot.setName, "  MINE  ");  // the stored (untrimmed) name, in another case
  std::strcpy(slot.macroName, "dash");
  const Menu macros = FindSubmenu(BuildFunctionMenu(B(3), slot, store, {}, false), "宏 + 预设编辑")->items;
  EXPECT_EQ(Shape(macros), (std::vector<std::string>{"1049 创建新宏...", "-", "*>Mine", ">world of warcraft", "-", ">Empty"}));
  EXPECT_EQ(Shape(macros[2].items), (std::vector<std::string>{"11100 编辑宏...", "-", "1100 jump", "*1101 Dash"}));
  EXPECT_EQ(Shape(macros[3].items), (std::vector<std::string>{"11101 编辑宏..."}));

  // The same names on a button that holds no macro mark nothing; a trimmed-only match is no match.
  slot.functionCode = kFnShortcut;
  EXPECT_FALSE(FindSubmenu(BuildFunctionMenu(B(3), slot, store, {}, false), "宏 + 预设编辑")->items[2].highlight);
  slot.functionCode = kFnMacro;
  std::strcpy(slot.setName, "Mine");
  EXPECT_FALSE(FindSubmenu(BuildFunctionMenu(B(3), slot, store, {}, false), "宏 + 预设编辑")->items[2].highlight);
}

TEST(FunctionMenu, XfireSeparatorOnlyBeforeAnotherSetAndListsAreCapped) {
  MacroStore store;
  AddSet(store, "Xfire ");
  AddSet(store, "A");
  AddSet(store, " XFIRE");  // last: no separator after it
  EXPECT_EQ(Shape(FindSubmenu(BuildFunctionMenu(B(4), {}, store, {}, false), "宏 + 预设编辑")->items),
            (std::vector<std::string>{"1049 创建新宏...", "-", ">Xfire", "-", ">A", ">XFIRE"}));

  MacroStore big;
  std::vector<std::string> names;
  for (int m = 0; m < 105; ++m) names.push_back("m" + std::to_string(m));
  for (int s = 0; s < 103; ++s) AddSet(big, "set" + std::to_string(s), s == 99 ? names : std::vector<std::string>{});
  const Menu macros = FindSubmenu(BuildFunctionMenu(B(4), {}, big, {}, false), "宏 + 预设编辑")->items;
  ASSERT_EQ(macros.size(), 2u + 100u);
  const Menu& last = macros.back().items;
  ASSERT_EQ(last.size(), 2u + 100u);
  EXPECT_EQ(last.front().command, 11199u);
  EXPECT_EQ(last.back().command, 1100u + 9900u + 99u);
}

TEST(FunctionMenu, TimersAsCommands505AndUpToFifty) {
  const Menu none = FindSubmenu(BuildFunctionMenu(B(3), {}, {}, Timers(0), false), "指派定时器")->items;
  EXPECT_EQ(Shape(none), (std::vector<std::string>{"500 创建定时器", "501 编辑/删除定时器", "502 停止定时器"}));
  // A list longer than the menu can carry (a damaged file) shows its first 50.
  const Menu many = FindSubmenu(BuildFunctionMenu(B(3), {}, {}, Timers(51), false), "指派定时器")->items;
  ASSERT_EQ(many.size(), 4u + 50u);
  EXPECT_EQ(many[3].kind, MenuEntry::Kind::kSeparator);
  EXPECT_EQ(Shape({many[4], many.back()}), (std::vector<std::string>{"505 t0", "554 t49"}));
}

TEST(CommandTable, PlainAssignmentsGiveTheirCodes) {
  const std::pair<unsigned, int> table[] = {
      {1001, 1},  {1004, 4},  {1006, 6},  {1010, 10}, {1011, 11}, {1012, 0},  {1013, 13}, {1014, 14},
      {1016, 16}, {1020, 20}, {1021, 21}, {1022, 22}, {1024, 65}, {1028, 69}, {1029, 64}, {1030, 70},
      {1031, 71}, {1032, 32}, {1039, 39}, {1041, 23}, {1042, 24}, {1043, 25}, {502, 50},
      // not plain assignments
      {1000, -1}, {1005, -1}, {1015, -1}, {1023, -1}, {1040, -1}, {1044, -1}, {1049, -1}, {500, -1},
      {505, -1},  {1100, -1}, {0, -1}};
  for (const auto& [command, code] : table) EXPECT_EQ(CommandCode(command), code) << command;
}

TEST(HighlightPicture, EveryPictureBelongsToExactlyOneSlotShiftStateAndOrientation) {
  struct Shift {
    std::uint8_t b5, b7;
    int group;  // first picture of the shift layer's group, -1 without a shift key
  } const states[] = {{6, 6, -1}, {kFnDuvex, 6, 18}, {6, kFnDuvex, 36}, {kFnDuvex, kFnDuvex, 54},
                      {kFnTornelDpi, 6, -1}};  // a Tornel function is no shift key
  std::multiset<int> shown;
  for (const Shift& s : states) {
    for (int o = 0; o < 2; ++o) {
      for (int slot = 0; slot < kButtonCount; ++slot) {
        const int p = HighlightPicture(slot, s.b5, s.b7, o);
        if (slot < 9) {
          EXPECT_EQ(p, slot + 9 * o);  // the base layer never depends on the shift keys
          continue;
        }
        if (s.group < 0) {
          EXPECT_EQ(p, -1) << "slot " << slot;
          continue;
        }
        EXPECT_EQ(p, s.group + (slot - 9) + 9 * o);
        shown.insert(p);
      }
    }
  }
  // Shift layers: each picture of 18..71 chosen exactly once.
  ASSERT_EQ(shown.size(), 54u);
  for (int p = 18; p < 72; ++p) EXPECT_EQ(shown.count(p), 1u) << p;

  ProfileRecord profile{};
  profile.Orientation = 1;
  profile.MacroKeyInfo[B(5)].functionCode = kFnDuvex;
  EXPECT_EQ(HighlightPicture(B(12), profile), 29);
  profile.MacroKeyInfo[B(5)].functionCode = 6;
  EXPECT_EQ(HighlightPicture(B(12), profile), -1);
  profile.Orientation = 2;  // only 1 is left-handed
  EXPECT_EQ(HighlightPicture(B(3), profile), 2);
}

// The picture the choice rule picks must show what the user is pointing at: the hovered slot's input
// marked, its layer's numbers, the shift keys that are held for it, mirrored exactly when left-handed.
TEST(HighlightPicture, TheChosenPictureShowsTheHoveredButtonItsLayerAndTheHeldShiftKeys) {
  const std::uint8_t codes[] = {6, kFnDuvex};
  for (std::uint8_t b5 : codes) {
    for (std::uint8_t b7 : codes) {
      for (int o = 0; o < 2; ++o) {
        for (int slot = 0; slot < kButtonCount; ++slot) {
          const int p = HighlightPicture(slot, b5, b7, o);
          if (p < 0) continue;
          const HighlightContent c = HighlightPictureContent(p);
          SCOPED_TRACE(testing::Message() << "slot " << slot << " b5 " << int(b5) << " b7 " << int(b7) << " o " << o);
          EXPECT_TRUE(c.valid);
          EXPECT_EQ(c.markedInput, slot % 9);
          EXPECT_EQ(c.mirrored, o == 1);
          EXPECT_EQ(c.shiftLayer, slot >= 9);
          EXPECT_EQ(c.heldB5, slot >= 9 && b5 == kFnDuvex);
          EXPECT_EQ(c.heldB7, slot >= 9 && b7 == kFnDuvex);
        }
      }
    }
  }
  EXPECT_FALSE(HighlightPictureContent(-1).valid);
  EXPECT_FALSE(HighlightPictureContent(kHighlightPictureCount).valid);
}

TEST(MenuReopenGuard, AClickOnTheLabelWhoseMenuItClosedOpensNothing) {
  MenuReopenGuard g;
  EXPECT_TRUE(g.OnClick(4));
  g.OnMenuClosed(4);           // closed by clicking label 4 again
  EXPECT_FALSE(g.OnClick(4));  // that click only closed it
  EXPECT_TRUE(g.OnClick(4));   // the next one opens again
  g.OnMenuClosed(7);           // closed by a click on another label
  EXPECT_TRUE(g.OnClick(7));
  g.OnMenuClosed(-1);
  EXPECT_TRUE(g.OnClick(7));
}

TEST(ShortcutChoice, ChecksFromFlagsAndFlagsFromChecks) {
  ButtonSlot slot{};
  slot.events[0] = {4, 0x0A, 0};
  ShortcutChoice c = ShortcutChoice::FromSlot(slot);
  EXPECT_EQ(c.key, 4);
  EXPECT_EQ(c.checks, (std::array<bool, 5>{false, true, false, true, false}));
  EXPECT_EQ(c.Flags(), 0x0A);

  c.checks = {};
  EXPECT_EQ(c.Flags(), kModNone);  // nothing checked
  c.Toggle(kCheckCtrl);
  c.Toggle(kCheckWin);
  EXPECT_EQ(c.Flags(), kModCtrl | kModWin);
  c.Toggle(kCheckNone);
  EXPECT_EQ(c.Flags(), kModNone);  // None wins; the others keep their states
  EXPECT_FALSE(c.Enabled(kCheckShift));
  c.Toggle(kCheckShift);  // disabled: no change
  c.Toggle(kCheckNone);
  EXPECT_EQ(c.Flags(), kModCtrl | kModWin);

  // The last key that converts is the key; the generic Ctrl key has no usage code.
  EXPECT_TRUE(c.TakeKey(0xA2, UsKeyboardLayout()));  // left Ctrl
  EXPECT_EQ(c.key, 224);
  EXPECT_FALSE(c.TakeKey(0x11, UsKeyboardLayout()));
  EXPECT_EQ(c.key, 224);
}

TEST(TimerRules, CreateNeedsAFreeTrimmedNameOfAtMost24Characters) {
  TimerList list = Timers(2);  // t0, t1
  EXPECT_TRUE(TimerCreateAccepted(list, "  " + std::string(24, 'x') + " "));
  EXPECT_FALSE(TimerCreateAccepted(list, std::string(25, 'x')));
  EXPECT_TRUE(TimerCreateAccepted(list, std::string(24, 'x').replace(0, 2, "\xC3\xA9")));  // 24 characters, 25 bytes
  EXPECT_FALSE(TimerCreateAccepted(list, " \t "));
  EXPECT_FALSE(TimerCreateAccepted(list, " T1 "));
  EXPECT_FALSE(TimerCreateAccepted(Timers(50), "free"));
  EXPECT_EQ(ClampTimerValue(9), 10);
  EXPECT_EQ(ClampTimerValue(1000), 999);
}

TEST(TimerRules, ListEditorRenamesDeletesAndMovesTheSelection) {
  TimerListEditor e(Timers(3));  // t0 10, t1 11, t2 12
  EXPECT_EQ(e.current(), 0);
  EXPECT_EQ(e.Save(" T1 ", 99), TimerListEditor::SaveResult::kNameTaken);  // another timer's name
  EXPECT_EQ(e.timers().timers[0].value, 10u);
  EXPECT_STREQ(e.timers().timers[0].name, "t0");
  EXPECT_EQ(e.Save("T0", 40), TimerListEditor::SaveResult::kValueChanged);
  EXPECT_STREQ(e.timers().timers[0].name, "t0");
  EXPECT_EQ(e.timers().timers[0].value, 40u);
  EXPECT_EQ(e.Save("  boil ", 5000), TimerListEditor::SaveResult::kRenamed);
  EXPECT_EQ(e.shownName(), "boil");
  EXPECT_EQ(e.shownValue(), 999);

  e.Select(7);  // not in the list
  EXPECT_EQ(e.current(), 0);
  e.Select(2);
  ASSERT_TRUE(e.Delete());  // the last one: the selection moves back
  EXPECT_EQ(e.current(), 1);
  e.Select(0);
  ASSERT_TRUE(e.Delete());  // the first one: the next takes its place
  EXPECT_EQ(e.current(), 0);
  EXPECT_EQ(e.shownName(), "t1");
  ASSERT_TRUE(e.Delete());
  EXPECT_EQ(e.current(), -1);
  EXPECT_EQ(e.shownName(), "");
  EXPECT_EQ(e.shownValue(), 10);
  EXPECT_FALSE(e.Delete());
  EXPECT_EQ(e.Save("x", 20), TimerListEditor::SaveResult::kNoCurrent);
}

// --- The page with its dialogs and files faked -------------------------------------------------------------

struct FakeDialogs final : ButtonDialogs {
  bool ok = true;
  std::vector<std::string> opened;
  ShortcutChoice shortcutIn, shortcutOut;
  int playerIn = -1, playerOut = 0;
  std::string timerName = "egg";
  int timerValue = 180;
  int managerSet = -2;

  bool EditShortcut(ShortcutChoice& c) override {
    opened.push_back("shortcut");
    shortcutIn = c;
    if (ok) c = shortcutOut;
    return ok;
  }
  bool EditProgramPath(std::string&) override { return false; }
  bool ChooseMediaPlayer(int& option) override {
    opened.push_back("player");
    playerIn = option;
    if (ok) option = playerOut;
    return ok;
  }
  bool CreateTimer(const TimerList&, std::string& name, int& value) override {
    opened.push_back("timer");
    if (ok) name = timerName, value = timerValue;
    return ok;
  }
  bool EditTimers(TimerListEditor& editor) override {
    opened.push_back("timers");
    (void)editor.Delete();  // edits the dialog's copy, kept only on OK
    return ok;
  }
  bool OpenMacroManager(MacroStore& store, int setIndex) override {
    opened.push_back("manager");
    managerSet = setIndex;
    AddSet(store, "typed in the manager");
    return ok;
  }
};

struct FakeFiles final : ButtonPageFiles {
  std::vector<std::string> log;
  void SaveTimers(const TimerList& t) override { log.push_back("timers " + std::to_string(t.timers.size())); }
  void SaveMacroStore(const MacroStore& s) override { log.push_back("macros " + std::to_string(s.sets.size())); }
  void ReloadMacroStore(MacroStore& s) override {
    FreeMacroStore(s);
    AddSet(s, "from file");
    log.push_back("reload");
  }
};

class Page : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(block_.get(), 0, sizeof *block_);
    ResetSettings(*block_, [] { return 1; });
    block_->CurrentProfile = 2;
    AddSet(macros_, "Set", {"one", "two"});
    timers_ = Timers(2);
  }
  ProfileRecord& profile() { return block_->profiles[2]; }
  std::uint8_t code(int slot) { return profile().MacroKeyInfo[slot].functionCode; }
  std::int32_t changed(int slot) { return block_->ButtonChanged[2][slot]; }
  // Opens slot's menu and runs a command from it.
  PageChange Run(int slot, unsigned command) {
    EXPECT_TRUE(page_.ClickLabel(slot));
    page_.MenuClosed(-1);
    return page_.HandleCommand(command);
  }
  std::unique_ptr<SharedBlock> block_ = std::make_unique<SharedBlock>();
  MacroStore macros_;
  TimerList timers_;
  FakeDialogs dialogs_;
  FakeFiles files_;
  ButtonPage page_{*block_, macros_, timers_, dialogs_, files_, UsKeyboardLayout()};
};

TEST_F(Page, LabelsOfB1B2AndUnavailableSlotsAreInactiveAndOpenNothing) {
  EXPECT_TRUE(page_.Label(B(1)).inactive);
  EXPECT_EQ(page_.Label(B(1)).text, "单击");
  EXPECT_TRUE(page_.Label(B(14)).inactive);  // 0 by default
  EXPECT_FALSE(page_.Label(B(3)).inactive);
  EXPECT_FALSE(page_.ClickLabel(B(1)));
  EXPECT_FALSE(page_.ClickLabel(B(2)));
  EXPECT_FALSE(page_.ClickLabel(B(14)));
  EXPECT_EQ(page_.currentButton(), -1);
  block_->CurrentProfile = -1;  // no slot selected
  EXPECT_FALSE(page_.ClickLabel(B(3)));
}

TEST_F(Page, PlainAssignmentFlagsTheSlotAndRunsTheLayerRulesWhenTheCodeChanged) {
  EXPECT_EQ(Run(B(5), 1006), PageChange::kSlots);  // B5 Duvex[+] -> disabled: the shift layer goes
  EXPECT_EQ(code(B(5)), 6);
  for (int s = B(10); s <= B(18); ++s) EXPECT_EQ(code(s), 0) << s;
  EXPECT_EQ(changed(B(5)), 1);
  EXPECT_EQ(changed(B(10)), 1);
  EXPECT_EQ(changed(B(3)), 0);

  EXPECT_EQ(Run(B(5), 1024), PageChange::kSlots);  // and back: the saved codes return
  EXPECT_EQ(code(B(10)), 8);
  EXPECT_EQ(code(B(14)), 0);
  EXPECT_EQ(code(B(16)), 6);

  block_->ButtonChanged[2][B(10)] = 0;
  EXPECT_EQ(Run(B(3), 1003), PageChange::kSlots);  // the same code again: flagged, no layer rules
  EXPECT_EQ(changed(B(3)), 1);
  EXPECT_EQ(changed(B(10)), 0);
}

TEST_F(Page, CommandsTheSlotMayNotTakeChangeNothing) {
  const auto before = std::make_unique<SharedBlock>(*block_);
  EXPECT_TRUE(page_.ClickLabel(B(3)));
  EXPECT_EQ(page_.HandleCommand(1024), PageChange::kNone);  // Duvex[+] is for B5 and B7 only
  EXPECT_EQ(page_.HandleCommand(1012), PageChange::kNone);  // never offered: 0, 11, 64
  EXPECT_EQ(page_.HandleCommand(1011), PageChange::kNone);
  EXPECT_EQ(page_.HandleCommand(1029), PageChange::kNone);
  EXPECT_EQ(page_.HandleCommand(507), PageChange::kNone);   // no third timer
  EXPECT_EQ(page_.HandleCommand(1102), PageChange::kNone);  // no third macro
  EXPECT_EQ(page_.HandleCommand(1000), PageChange::kNone);
  page_.SetOsClass(kOsClassWindowsXp);
  EXPECT_TRUE(page_.ClickLabel(B(7)));
  EXPECT_EQ(page_.HandleCommand(1031), PageChange::kNone);  // no Flip 3D on the XP family
  EXPECT_EQ(std::memcmp(before.get(), block_.get(), sizeof *block_), 0);
  EXPECT_TRUE(dialogs_.opened.empty());
}

TEST_F(Page, MacroOverMacroCopiesAndFlagsWithoutTheLayerRules) {
  // A shift layer that the rules would switch off (no shift key) shows whether they ran.
  profile().MacroKeyInfo[B(5)].functionCode = 6;
  ASSERT_EQ(Run(B(3), 1100), PageChange::kSlots);  // the first macro: the code changes, the rules run
  EXPECT_EQ(code(B(10)), 0);
  profile().MacroKeyInfo[B(10)].functionCode = 8;
  block_->ButtonChanged[2][B(3)] = 0;
  block_->ButtonChanged[2][B(10)] = 0;

  ASSERT_EQ(Run(B(3), 1101), PageChange::kSlots);
  EXPECT_STREQ(profile().MacroKeyInfo[B(3)].macroName, "two");
  EXPECT_STREQ(profile().MacroKeyInfo[B(3)].setName, "Set");
  EXPECT_EQ(changed(B(3)), 1);
  EXPECT_EQ(code(B(10)), 8);
  EXPECT_EQ(changed(B(10)), 0);
}

TEST_F(Page, ChoosingThePlayerChangesMediaOptionOnly) {
  profile().MediaOption = 7;
  dialogs_.playerOut = 3;
  auto expected = std::make_unique<SharedBlock>(*block_);
  expected->profiles[2].MediaOption = 3;
  EXPECT_EQ(Run(B(4), kCmdChoosePlayer), PageChange::kProfile);
  EXPECT_EQ(dialogs_.playerIn, 7);
  EXPECT_EQ(std::memcmp(expected.get(), block_.get(), sizeof *block_), 0);

  dialogs_.ok = false;
  dialogs_.playerOut = 1;
  EXPECT_EQ(Run(B(4), kCmdChoosePlayer), PageChange::kNone);
  EXPECT_EQ(profile().MediaOption, 3);
}

TEST_F(Page, ShortcutTakesTheDialogsResultOnlyOnOk) {
  ButtonSlot& b4 = profile().MacroKeyInfo[B(4)];
  b4.events[0] = {9, 0x06, 0};
  std::strcpy(b4.setName, "old");
  dialogs_.ok = false;
  EXPECT_EQ(Run(B(4), kCmdShortcut), PageChange::kNone);
  EXPECT_EQ(dialogs_.shortcutIn.key, 9);
  EXPECT_EQ(dialogs_.shortcutIn.checks, (std::array<bool, 5>{false, true, true, false, false}));
  EXPECT_EQ(code(B(4)), kFnBrowserForward);
  EXPECT_EQ(changed(B(4)), 0);

  dialogs_.ok = true;
  dialogs_.shortcutOut.key = 224;
  dialogs_.shortcutOut.checks = {false, false, false, true, false};
  EXPECT_EQ(Run(B(4), kCmdShortcut), PageChange::kSlots);
  EXPECT_EQ(code(B(4)), kFnShortcut);
  EXPECT_EQ(b4.count, 1);
  EXPECT_EQ(b4.events[0].key, 224);
  EXPECT_EQ(b4.events[0].kind, kModAlt);
  EXPECT_STREQ(b4.setName, "");
  EXPECT_EQ(page_.Label(B(4)).text, "Alt+Left Control");

}

TEST_F(Page, TimersAreCreatedEditedAndAssigned) {
  EXPECT_EQ(Run(B(6), kCmdCreateTimer), PageChange::kStores);
  ASSERT_EQ(timers_.timers.size(), 3u);
  EXPECT_STREQ(timers_.timers[2].name, "egg");
  EXPECT_EQ(files_.log, (std::vector<std::string>{"timers 3"}));

  EXPECT_EQ(Run(B(6), kCmdFirstTimer + 2), PageChange::kSlots);
  EXPECT_EQ(code(B(6)), kFnTimer);
  EXPECT_EQ(profile().MacroKeyInfo[B(6)].timerValue, 180u);
  EXPECT_EQ(page_.Label(B(6)).text, "egg");

  dialogs_.ok = false;  // the list dialog deletes in its copy, then is cancelled
  EXPECT_EQ(Run(B(6), kCmdEditTimers), PageChange::kNone);
  EXPECT_EQ(timers_.timers.size(), 3u);
  dialogs_.ok = true;
  EXPECT_EQ(Run(B(6), kCmdEditTimers), PageChange::kStores);
  EXPECT_EQ(timers_.timers.size(), 2u);
  EXPECT_EQ(files_.log.back(), "timers 2");

  timers_ = Timers(50);
  dialogs_.opened.clear();
  EXPECT_EQ(Run(B(6), kCmdCreateTimer), PageChange::kNone);  // full: the dialog does not open
  timers_ = {};
  EXPECT_EQ(Run(B(6), kCmdEditTimers), PageChange::kNone);   // nothing to edit
  EXPECT_TRUE(dialogs_.opened.empty());
}

TEST_F(Page, MacroManagerSavesOnOkAndRereadsTheFileOtherwise) {
  EXPECT_EQ(Run(B(3), kCmdFirstEditSet), PageChange::kStores);
  EXPECT_EQ(dialogs_.managerSet, 0);
  EXPECT_EQ(files_.log, (std::vector<std::string>{"macros 2"}));
  dialogs_.ok = false;
  EXPECT_EQ(page_.OpenMacroManager(), PageChange::kStores);
  EXPECT_EQ(dialogs_.managerSet, -1);
  ASSERT_EQ(macros_.sets.size(), 1u);
  EXPECT_EQ(macros_.sets[0]->name, "from file");
}

}  // namespace
}  // namespace sarn
