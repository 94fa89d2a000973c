// sarnctl's edits against the configuration window's own code: the same slot bytes and change flags, the same
// refusals, and nothing changed by a refused edit.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "common/button_functions.h"
#include "common/private_profile.h"
#include "common/timer_list.h"
#include "option/macro/macro_store.h"
#include "tools/core/edits.h"

namespace sarnctl {
namespace {

class ButtonAssign : public ::testing::Test {
 protected:
  void SetUp() override {
    sarn::InitProfileDefaults(*ours, 1);
    *window = *ours;
    const int set = sarn::AddMacroSet(store, "Games");
    auto macro = sarn::NewMacroRecord("Combo");
    macro->loops = 2;
    macro->count = 3;
    for (int i = 0; i < 3; ++i) macro->events[i] = {static_cast<std::uint8_t>(4 + i), 1, 20};
    store.sets[static_cast<std::size_t>(set)]->macros.push_back(std::move(macro));
    ASSERT_TRUE(sarn::AddTimer(timers, "Tea", 180));
    context.macros = &store;
    context.timers = &timers;
    context.layout = &sarn::UsKeyboardLayout();
  }
  void TearDown() override { sarn::FreeMacroStore(store); }

  // One command through sarnctl, and what the button page does for it, side by side.
  void Both(int button, const std::vector<std::string>& function,
            const std::function<void(sarn::ButtonSlot&)>& pageAssignment) {
    std::string error;
    ASSERT_TRUE(AssignButton(*ours, button, function, context, ourSaved, ourFlags, error)) << error;
    const std::uint8_t old = window->MacroKeyInfo[button].functionCode;
    pageAssignment(window->MacroKeyInfo[button]);
    sarn::CompleteAssignment(*window, button, old, windowSaved, windowFlags);
    ASSERT_EQ(std::memcmp(ours.get(), window.get(), sizeof(sarn::ProfileRecord)), 0) << function[0];
    ASSERT_EQ(std::memcmp(ourFlags, windowFlags, sizeof ourFlags), 0) << function[0];
    ASSERT_EQ(ourSaved.codes, windowSaved.codes) << function[0];
  }

  std::unique_ptr<sarn::ProfileRecord> ours = std::make_unique<sarn::ProfileRecord>();
  std::unique_ptr<sarn::ProfileRecord> window = std::make_unique<sarn::ProfileRecord>();
  sarn::SavedShiftCodes ourSaved, windowSaved;
  std::int32_t ourFlags[sarn::kButtonCount] = {}, windowFlags[sarn::kButtonCount] = {};
  sarn::MacroStore store;
  sarn::TimerList timers;
  AssignContext context;
};

TEST_F(ButtonAssign, GivesTheSameBytesAndFlagsAsTheButtonPage) {
  Both(4, {"disabled"}, [](sarn::ButtonSlot& s) { sarn::AssignPlainFunction(s, 6); });  // the layer goes
  Both(4, {"duvex"}, [](sarn::ButtonSlot& s) { sarn::AssignPlainFunction(s, 65); });    // and comes back
  Both(6, {"65"}, [](sarn::ButtonSlot& s) { sarn::AssignPlainFunction(s, 65); });       // both shift keys
  Both(6, {"tornel-dpi"}, [](sarn::ButtonSlot& s) { sarn::AssignPlainFunction(s, 68); });
  Both(3, {"shortcut", "Ctrl+Shift+A"}, [](sarn::ButtonSlot& s) { sarn::AssignShortcut(s, 4, 0x06); });
  Both(2, {"macro", " games ", "COMBO"}, [this](sarn::ButtonSlot& s) { ASSERT_EQ(sarn::CopyMacroToSlot(store, 0, 0, s), 1); });
  // The same code again: flagged, but the layer rules do not run.
  Both(2, {"macro", "Games", "Combo"}, [this](sarn::ButtonSlot& s) { ASSERT_EQ(sarn::CopyMacroToSlot(store, 0, 0, s), 1); });
  Both(2, {"shortcut", "Alt+F4"}, [](sarn::ButtonSlot& s) { sarn::AssignShortcut(s, 61, 0x08); });
  Both(5, {"timer", "tea"}, [](sarn::ButtonSlot& s) { sarn::AssignTimer(s, 180, "Tea"); });
  Both(7, {"program", "C:\\Tools\\calc.exe"}, [](sarn::ButtonSlot& s) { sarn::AssignProgram(s, "C:\\Tools\\calc.exe"); });
  Both(10, {"open-player", "vlc"}, [this](sarn::ButtonSlot& s) {
    sarn::AssignPlainFunction(s, 32);
    window->MediaOption = 2;  // the page's player choice, which the command takes along
  });
  EXPECT_EQ(ours->MediaOption, 2);
  EXPECT_EQ(ours->MacroKeyInfo[2].count, 1);  // the shortcut over a macro keeps its later steps
  EXPECT_EQ(ours->MacroKeyInfo[2].events[1].key, 5);
}

TEST_F(ButtonAssign, RefusesWhatTheMenuDoesNotOfferAndChangesNothing) {
  struct Case {
    int button;
    std::vector<std::string> function;
    const char* error;
    bool xp = false;
  };
  const Case cases[] = {
      {0, {"menu"}, "B1 is never reassigned"},
      {1, {"click"}, "B2 is never reassigned"},
      {13, {"click"}, "B14 is unavailable"},
      {3, {"duvex"}, "B4 cannot take function 65"},
      {4, {"tornel-flip-3d"}, "B5 cannot take function 71", true},
      {3, {"11"}, "B4 cannot take function 11"},
      {3, {"0"}, "B4 cannot take function 0"},
      {3, {"warp"}, "unknown function 'warp'"},
      {3, {"shortcut", "Ctrl+Nothing"}, "unknown key"},
      {3, {"shortcut"}, "usage: shortcut"},
      {3, {"click", "extra"}, "usage: click"},
      {3, {"macro", "Games", "None"}, "no macro named 'None'"},
      {3, {"macro", "Other", "Combo"}, "no macro set named 'Other'"},
      {3, {"timer", "Coffee"}, "no timer named 'Coffee'"},
      {3, {"program", std::string(300, 'p')}, "PATH: is 300 bytes long"},
      {3, {"open-player", "foobar"}, "unknown player"},
  };
  const auto before = std::make_unique<sarn::ProfileRecord>(*ours);
  for (const Case& c : cases) {
    context.windowsXpFamily = c.xp;
    std::string error;
    EXPECT_FALSE(AssignButton(*ours, c.button, c.function, context, ourSaved, ourFlags, error)) << c.error;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
  EXPECT_EQ(std::memcmp(ours.get(), before.get(), sizeof(sarn::ProfileRecord)), 0);
  for (std::int32_t flag : ourFlags) EXPECT_EQ(flag, 0);
}

TEST(Shortcut, KeyNamesAndModifiers) {
  std::uint8_t key = 0, modifiers = 0;
  ASSERT_TRUE(ParseShortcut("a", sarn::UsKeyboardLayout(), key, modifiers));
  EXPECT_EQ(key, 4);
  EXPECT_EQ(modifiers, sarn::kModNone);
  ASSERT_TRUE(ParseShortcut("ctrl+win+Page Down", sarn::UsKeyboardLayout(), key, modifiers));
  EXPECT_EQ(key, 78);
  EXPECT_EQ(modifiers, sarn::kModCtrl | sarn::kModWin);
  ASSERT_TRUE(ParseShortcut("Shift+0x2C", sarn::UsKeyboardLayout(), key, modifiers));  // Space by its code
  EXPECT_EQ(key, 44);
  EXPECT_EQ(modifiers, sarn::kModShift);
  EXPECT_FALSE(ParseShortcut("Ctrl+", sarn::UsKeyboardLayout(), key, modifiers));
  EXPECT_FALSE(ParseShortcut("Shift+0xFF", sarn::UsKeyboardLayout(), key, modifiers));  // no key has that code
}

TEST(ProfileSet, ChecksEveryValueAndOnlyBlamesTheEdit) {
  auto profile = std::make_unique<sarn::ProfileRecord>();
  sarn::InitProfileDefaults(*profile, 0);
  Problems problems;
  SetProfileFields(*profile, {"Cpi_X=4", "Cpi_Y=0x4", "ProFileName=Racing", "dpi5=0"}, problems);
  ASSERT_TRUE(problems.empty()) << problems.front();
  EXPECT_EQ(profile->Cpi_X, 4);
  EXPECT_EQ(profile->Cpi_Y, 4);
  EXPECT_STREQ(profile->ProFileName, "Racing");
  EXPECT_EQ(profile->dpi[5], 0);

  const auto before = std::make_unique<sarn::ProfileRecord>(*profile);
  SetProfileFields(*profile, {"dpi2=0", "PollingRate=4", "Nope=1", "ProFileName=" + std::string(21, 'x'), "TiltSpeed=x"},
                   problems);
  EXPECT_EQ(problems.size(), 5u);  // every one, including the DPI rule (the current level 1600 switched off)
  EXPECT_EQ(std::memcmp(profile.get(), before.get(), sizeof(sarn::ProfileRecord)), 0);

  // A field the file holds damaged does not block an unrelated change.
  profile->MouseSpeed = -1;
  problems.clear();
  SetProfileFields(*profile, {"Sensitivity_X=9"}, problems);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(profile->Sensitivity_X, 9);
}

TEST(SettingsSet, SlotsAsTheUserCountsThem) {
  auto block = std::make_unique<sarn::SharedBlock>();
  std::memset(block.get(), 0, sizeof(sarn::SharedBlock));
  Problems problems;
  SetSettingFields(*block, {"CurrentProfile=3", "WindowsProfile=0", "SoundVolume=4"}, problems);
  ASSERT_TRUE(problems.empty()) << problems.front();
  EXPECT_EQ(block->CurrentProfile, 2);
  EXPECT_EQ(block->WindowsProfile, -1);
  EXPECT_EQ(block->SoundVolume, 4);
  SetSettingFields(*block, {"CurrentProfile=6", "MouseType=1"}, problems);
  EXPECT_EQ(problems.size(), 2u);
  EXPECT_EQ(block->CurrentProfile, 2);
}

TEST(CommandState, SurvivesConfigIni) {
  CommandState state;
  state.saved.codes = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  state.buttonChanged[4][17] = 1;
  state.buttonChanged[0][0] = 1;
  sarn::IniDocument ini;
  WriteCommandState(state, ini);
  CommandState back;
  ReadCommandState(sarn::IniDocument::Parse(ini.Serialize()), back);
  EXPECT_EQ(back.saved.codes, state.saved.codes);
  EXPECT_EQ(std::memcmp(back.buttonChanged, state.buttonChanged, sizeof back.buttonChanged), 0);
  // Damaged or missing: the window's starting codes, no flags.
  CommandState fresh;
  ReadCommandState(sarn::IniDocument::Parse("[sarnctl]\r\nSavedShiftCodes=0102\r\n"), fresh);
  EXPECT_EQ(fresh.saved.codes, sarn::SavedShiftCodes().codes);
}

}  // namespace
}  // namespace sarnctl
