#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/button_functions.h"
#include "common/keyboard_layout.h"

namespace sarn {
namespace {

constexpr int B(int n) { return n - 1; }  // slot index of button Bn

ButtonSlot SlotWith(std::uint8_t code) {
  ButtonSlot slot{};
  slot.functionCode = code;
  return slot;
}

ButtonSlot Shortcut(std::uint8_t key, std::uint8_t flags, std::uint16_t count = 1) {
  ButtonSlot slot = SlotWith(kFnShortcut);
  slot.count = count;
  slot.events[0] = {key, flags, 0};
  return slot;
}

template <std::size_t N>
ButtonSlot WithText(std::uint8_t code, char (ButtonSlot::*field)[N], const char* text) {
  ButtonSlot slot = SlotWith(code);
  std::strncpy(slot.*field, text, N);  // a text of N bytes or more leaves the field without its NUL
  return slot;
}

TEST(FunctionLabel, ShowsTheSlotsFunction) {
  const std::string full260(260, 'p');
  const std::string full52(52, 'm');
  struct Case {
    const char* what;
    ButtonSlot slot;
    std::string label;
  } const cases[] = {
      {"shortcut without a step", Shortcut(4, kModCtrl, 0), ""},
      {"no modifier", Shortcut(4, 0x01), "A"},
      {"ctrl shift", Shortcut(4, 0x06), "Ctrl+Shift+A"},
      {"all four in order", Shortcut(4, 0x1E), "Ctrl+Shift+Alt+Win+A"},
      {"none wins over the others", Shortcut(4, 0x1F), "A"},
      {"modifier as the key", Shortcut(230, kModAlt), "Alt+Right Alt"},
      {"keypad enter", Shortcut(88, kModWin), "Win+Num_Enter"},
      {"key without a name", Shortcut(102, kModCtrl), "Ctrl+"},
      {"program", WithText(kFnLaunchProgram, &ButtonSlot::programPath, "C:\\Games\\run.exe"), "run.exe"},
      {"program, slashes", WithText(kFnLaunchProgram, &ButtonSlot::programPath, "C:/a\\b/tool"), "tool"},
      {"program, drive only", WithText(kFnLaunchProgram, &ButtonSlot::programPath, "D:notes.txt"), "notes.txt"},
      {"program, folder", WithText(kFnLaunchProgram, &ButtonSlot::programPath, "C:\\Games\\"), ""},
      {"program, empty", SlotWith(kFnLaunchProgram), ""},
      {"program, code page", WithText(kFnLaunchProgram, &ButtonSlot::programPath, "C:\\caf\xE9.exe"),
       "caf\xC3\xA9.exe"},
      {"program, field without NUL", WithText(kFnLaunchProgram, &ButtonSlot::programPath, full260.c_str()),
       full260},
      {"macro", WithText(kFnMacro, &ButtonSlot::macroName, "Combo \x80"), "Combo \xE2\x82\xAC"},
      {"macro, field without NUL", WithText(kFnMacro, &ButtonSlot::macroName, full52.c_str()), full52},
      {"timer", WithText(kFnTimer, &ButtonSlot::timerName, "Tea"), "Tea"},
      {"timer code shows no program", WithText(kFnTimer, &ButtonSlot::programPath, "x.exe"), ""},
      {"unavailable", SlotWith(0), "已禁用"},
      {"disabled", SlotWith(6), "已禁用"},
      {"old disabled", SlotWith(64), "已禁用"},
      {"play/pause", SlotWith(35), "播放/暂停"},
      {"shift key", SlotWith(65), "Duvex[+]"},
      {"flip 3d", SlotWith(71), "Tornel Aero Flip 3D"},
      {"gap 12", SlotWith(12), ""},
      {"gap 72", SlotWith(72), ""},
      {"last code", SlotWith(255), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FunctionLabel(c.slot, UsKeyboardLayout()), c.label) << c.what;
  EXPECT_EQ(FunctionLabel(Shortcut(4, kModCtrl), FrenchKeyboardLayout()), "Ctrl+Q");
}

TEST(CanAssign, FollowsTheButtonMenu) {
  auto profile = std::make_unique<ProfileRecord>();
  InitProfileDefaults(*profile, 0);  // B14 holds 0
  struct Case {
    int button;
    int code;
    bool xp;
    bool allowed;
  } const cases[] = {
      {B(3), 1, false, true},    {B(3), 10, false, true},  {B(3), 5, false, true},
      {B(3), 15, false, true},   {B(3), 25, false, true},  {B(3), 32, false, true},
      {B(3), 39, false, true},   {B(3), 48, false, true},  {B(3), 50, false, true},
      {B(18), 49, false, true},  {B(5), 65, false, true},  {B(7), 71, false, true},
      {B(7), 66, true, true},
      // Never offered.
      {B(3), 0, false, false},   {B(3), 11, false, false}, {B(3), 12, false, false},
      {B(3), 19, false, false},  {B(3), 26, false, false}, {B(3), 40, false, false},
      {B(3), 51, false, false},  {B(5), 64, false, false}, {B(5), 72, false, false},
      {B(3), 255, false, false},
      // Shift key and wheel combinations belong to B5 and B7 alone; Flip 3D not on the XP family.
      {B(3), 65, false, false},  {B(14), 65, false, false}, {B(16), 70, false, false},
      {B(5), 71, true, false},
      // B1, B2 and unavailable slots are never reassigned; slots outside the profile do not exist.
      {B(1), 1, false, false},   {B(2), 3, false, false},  {B(14), 1, false, false},
      {-1, 1, false, false},     {18, 1, false, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CanAssign(*profile, c.button, static_cast<std::uint8_t>(c.code), c.xp), c.allowed)
        << "B" << c.button + 1 << " code " << c.code << (c.xp ? " xp" : "");
}

// A slot full of recognisable junk, so that every byte an assignment leaves alone can be checked.
ButtonSlot JunkSlot() {
  ButtonSlot slot;
  std::memset(&slot, 0xA5, sizeof slot);
  return slot;
}

void ExpectMacroFieldsCleared(const ButtonSlot& s) {
  for (char c : s.setName) EXPECT_EQ(c, 0);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(s.macroName[i], 0);
  EXPECT_EQ(s.loops, 0);
  EXPECT_EQ(s.count, 0);
  for (const MacroEvent& e : s.events) ASSERT_TRUE(e.key == 0 && e.kind == 0 && e.delay == 0);
}

void ExpectBytesKept(const ButtonSlot& after, std::size_t from, std::size_t to) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&after);
  for (std::size_t i = from; i < to; ++i) ASSERT_EQ(bytes[i], 0xA5) << "byte " << i;
}

TEST(Assignments, WriteTheirFieldsAndKeepTheRest) {
  const std::size_t timerStart = offsetof(ButtonSlot, timerValue);
  {
    ButtonSlot s = JunkSlot();
    AssignShortcut(s, 4, 0x07);
    EXPECT_EQ(s.functionCode, kFnShortcut);
    EXPECT_EQ(s.count, 1);
    EXPECT_EQ(s.events[0].key, 4);
    EXPECT_EQ(s.events[0].kind, kModNone);  // "no modifier" drops the others
    for (char c : s.setName) EXPECT_EQ(c, 0);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(s.macroName[i], 0);
    ExpectBytesKept(s, offsetof(ButtonSlot, macroName) + 50, offsetof(ButtonSlot, count));  // name tail, loops
    ExpectBytesKept(s, offsetof(ButtonSlot, events) + 2, sizeof s);  // first delay, later steps, timer, program
  }
  {
    ButtonSlot s = JunkSlot();
    AssignTimer(s, 720, "Tea");
    EXPECT_EQ(s.functionCode, kFnTimer);
    EXPECT_EQ(s.timerValue, 720u);
    EXPECT_STREQ(s.timerName, "Tea");
    ExpectMacroFieldsCleared(s);
    ExpectBytesKept(s, offsetof(ButtonSlot, programPath), sizeof s);
  }
  {
    ButtonSlot s = JunkSlot();
    const std::string longPath = "C:\\" + std::string(300, 'd');
    AssignProgram(s, longPath.c_str());
    EXPECT_EQ(s.functionCode, kFnLaunchProgram);
    EXPECT_EQ(std::string(s.programPath), longPath.substr(0, 259));
    ExpectMacroFieldsCleared(s);
    ExpectBytesKept(s, timerStart, offsetof(ButtonSlot, programPath));
  }
  {
    ButtonSlot s = JunkSlot();
    AssignPlainFunction(s, kFnMute);
    EXPECT_EQ(s.functionCode, kFnMute);
    EXPECT_EQ(s.buttonIndex, 0xA5);
    ExpectMacroFieldsCleared(s);
    ExpectBytesKept(s, timerStart, sizeof s);
  }
}

TEST(Assignments, MacroCopyIsCutToTheSlotAndItsStepCount) {
  auto macro = std::make_unique<MacroRecord>();
  std::memset(macro.get(), 0, sizeof *macro);
  std::memset(macro->name, 'n', sizeof macro->name);  // 52 bytes, no NUL
  macro->loops = -3;
  macro->count = 70000;  // damaged
  for (int i = 0; i < kMacroEventCapacity; ++i) macro->events[i] = {static_cast<std::uint8_t>(i), 1, 7};
  const std::string longSet(80, 's');

  ButtonSlot s = JunkSlot();
  AssignMacro(s, longSet.c_str(), *macro);
  EXPECT_EQ(s.functionCode, kFnMacro);
  EXPECT_EQ(std::string(s.setName), longSet.substr(0, 49));
  EXPECT_EQ(std::string(s.macroName), std::string(51, 'n'));
  EXPECT_EQ(s.loops, -3);
  EXPECT_EQ(s.count, kMacroEventCapacity);
  EXPECT_EQ(std::memcmp(s.events, macro->events, sizeof s.events), 0);
  ExpectBytesKept(s, offsetof(ButtonSlot, timerValue), sizeof s);

  macro->count = 12;
  AssignMacro(s, nullptr, *macro);
  EXPECT_EQ(s.count, 12);
  EXPECT_STREQ(s.setName, "");
}

// The button page's side of an assignment: write the code, flag the slot, run the layer rules.
class ShiftLayer : public ::testing::Test {
 protected:
  ShiftLayer() {
    InitProfileDefaults(profile, 0);
    ClearFlags();
  }

  void Assign(int button, std::uint8_t code) {
    const std::uint8_t old = profile.MacroKeyInfo[button].functionCode;
    AssignPlainFunction(profile.MacroKeyInfo[button], code);
    CompleteAssignment(profile, button, old, saved, flags);
  }
  void ClearFlags() {
    for (auto& f : flags) f = 0;
  }
  std::array<int, 9> ShiftCodes() const {
    std::array<int, 9> codes{};
    for (int i = 0; i < 9; ++i) codes[i] = profile.MacroKeyInfo[B(10) + i].functionCode;
    return codes;
  }
  std::array<int, 9> Saved() const {
    std::array<int, 9> codes{};
    for (int i = 0; i < 9; ++i) codes[i] = saved.codes[i];
    return codes;
  }
  std::vector<int> Flagged() const {  // as button numbers
    std::vector<int> buttons;
    for (int b = 0; b < kButtonCount; ++b)
      if (flags[b]) buttons.push_back(b + 1);
    return buttons;
  }

  ProfileRecord profile;
  SavedShiftCodes saved;
  std::int32_t flags[kButtonCount];
};

using Codes = std::array<int, 9>;
using Buttons = std::vector<int>;

TEST_F(ShiftLayer, RemovingTheShiftKeyParksTheLayerAndBringingItBackRestoresIt) {
  Assign(B(5), kFnDisabled);
  EXPECT_EQ(ShiftCodes(), (Codes{0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Saved(), (Codes{8, 7, 37, 6, 6, 6, 6, 38, 39}));  // B14 held 0 and keeps its old saved code
  EXPECT_EQ(Flagged(), (Buttons{5, 10, 11, 12, 13, 14, 15, 16, 17, 18}));

  ClearFlags();
  Assign(B(5), kFnDuvex);
  EXPECT_EQ(ShiftCodes(), (Codes{8, 7, 37, 6, 0, 6, 6, 38, 39}));
  EXPECT_EQ(Flagged(), (Buttons{5, 10, 11, 12, 13, 14, 15, 16, 17, 18}));
}

TEST_F(ShiftLayer, SecondShiftKeyTakesBothShiftedSlotsAndGivesOneBack) {
  Assign(B(16), kFnPreviousTrack);
  Assign(B(7), kFnDuvex);
  EXPECT_EQ(ShiftCodes(), (Codes{8, 7, 37, 6, 0, 6, 0, 38, 39}));
  EXPECT_EQ(saved.codes[B(14) - B(10)], 0);  // saved even though it held 0
  EXPECT_EQ(saved.codes[B(16) - B(10)], kFnPreviousTrack);

  ClearFlags();
  Assign(B(7), kFnDisabled);
  EXPECT_EQ(ShiftCodes(), (Codes{8, 7, 37, 6, 0, 6, 33, 38, 39}));
  EXPECT_EQ(Flagged(), (Buttons{7, 14, 16}));
}

TEST_F(ShiftLayer, ShiftKeyMovingToB7RestoresTheLayerExceptB16) {
  Assign(B(12), kFnPlayPause);
  Assign(B(5), kFnDisabled);
  ClearFlags();
  Assign(B(7), kFnDuvex);
  EXPECT_EQ(ShiftCodes(), (Codes{8, 7, 35, 6, 6, 6, 0, 38, 39}));
  // Every rewritten slot is flagged, or the mouse would keep the parked layer.
  EXPECT_EQ(Flagged(), (Buttons{7, 10, 11, 12, 13, 14, 15, 16, 17, 18}));

  // Swapping the shift key back to B5 through "both" and then "B5 alone".
  Assign(B(5), kFnDuvex);
  EXPECT_EQ(ShiftCodes(), (Codes{8, 7, 35, 6, 0, 6, 0, 38, 39}));
  Assign(B(7), kFnDisabled);
  EXPECT_EQ(ShiftCodes(), (Codes{8, 7, 35, 6, 0, 6, 6, 38, 39}));
}

TEST_F(ShiftLayer, B5GivingUpTheShiftKeyWhileB7HoldsItFreesB14) {
  Assign(B(7), kFnDuvex);
  Assign(B(5), kFnDisabled);
  EXPECT_EQ(ShiftCodes(), (Codes{8, 7, 37, 6, 6, 6, 0, 38, 39}));  // B14's saved 0 becomes 6
}

TEST_F(ShiftLayer, WheelCombinationIsNoShiftKey) {
  Assign(B(5), kFnTornelDpi);
  EXPECT_EQ(ShiftCodes(), (Codes{0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(ShiftLayer, SameCodeAgainOnlyFlagsTheSlot) {
  auto macro = std::make_unique<MacroRecord>();
  std::memset(macro.get(), 0, sizeof *macro);
  AssignMacro(profile.MacroKeyInfo[B(3)], "Set", *macro);
  CompleteAssignment(profile, B(3), kFnUniversalScroll, saved, flags);
  Assign(B(16), kFnStop);
  ClearFlags();
  const SavedShiftCodes before = saved;

  AssignMacro(profile.MacroKeyInfo[B(3)], "Set", *macro);
  CompleteAssignment(profile, B(3), kFnMacro, saved, flags);
  EXPECT_EQ(Flagged(), (Buttons{3}));
  EXPECT_EQ(ShiftCodes(), (Codes{8, 7, 37, 6, 0, 6, 36, 38, 39}));
  EXPECT_EQ(saved.codes, before.codes);
}

}  // namespace
}  // namespace sarn
