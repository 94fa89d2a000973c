#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/keyboard_layout.h"
#include "common/keys.h"

namespace sarn {
namespace {

const KeyboardLayout& Us() { return UsKeyboardLayout(); }
const KeyboardLayout& French() { return FrenchKeyboardLayout(); }

TEST(KeyTable, UsagesAreUniqueAndTheGapsStayEmpty) {
  std::set<unsigned> usages;
  const KeyRow* rows = KeyTable();
  for (int i = 0; i < kKeyRowCount; ++i) {
    EXPECT_TRUE(usages.insert(rows[i].usage).second) << "duplicate usage " << unsigned{rows[i].usage};
    // Only the main block and the ISO key beside it are placed by position, and every key of them has one.
    const bool mainBlock = (rows[i].usage >= 4 && rows[i].usage <= 69) || rows[i].usage == 100;
    EXPECT_EQ(rows[i].scanCode != 0, mainBlock) << "usage " << unsigned{rows[i].usage};
  }
  EXPECT_EQ(usages.count(50), 0u);
}

struct UsageCase {
  const KeyboardLayout& (*layout)();
  unsigned usage;
  unsigned virtualKey;
};

TEST(UsageToVirtualKey, FollowsThePositionOnlyInTheMainBlock) {
  const UsageCase cases[] = {
      {Us, 4, 'A'},      {Us, 29, 'Z'},      {Us, 39, '0'},     {Us, 30, '1'},   {Us, 45, 189},
      {Us, 56, 191},     {Us, 57, 20},       {Us, 58, 112},     {Us, 68, 122},   {Us, 69, 123},
      {Us, 88, 108},     {Us, 89, 97},       {Us, 98, 96},      {Us, 228, 163},  {Us, 231, 92},
      {Us, 240, 240},    {Us, 244, 244},
      {French, 4, 'Q'},  {French, 20, 'A'},  {French, 26, 'Z'}, {French, 29, 'W'},
      {French, 51, 'M'}, {French, 16, 188},  {French, 45, 219}, {French, 56, 223},
      {French, 74, 36},  {French, 225, 160}, {Us, 100, 226},  {French, 100, 226},
      // No row: 0, the gaps of the table, and codes past it.
      {Us, 0, 0},        {Us, 3, 0},         {Us, 50, 0},       {Us, 102, 0},
      {Us, 130, 0},      {Us, 245, 0},       {Us, 255, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UsageToVirtualKey(static_cast<std::uint8_t>(c.usage), c.layout()), c.virtualKey)
        << "usage " << c.usage;
}

TEST(VirtualKeyToUsage, ReversesEveryRowOnBothLayouts) {
  for (const KeyboardLayout* layout : {&Us(), &French()}) {
    for (int i = 0; i < kKeyRowCount; ++i) {
      const std::uint8_t usage = KeyTable()[i].usage;
      const UsageLookup back = VirtualKeyToUsage(UsageToVirtualKey(usage, *layout), *layout);
      EXPECT_TRUE(back.found) << "usage " << unsigned{usage};
      EXPECT_EQ(back.usage, usage);
    }
  }
}

TEST(VirtualKeyToUsage, KeepsSidesAndDropsKeysWithoutARow) {
  struct Case {
    unsigned virtualKey;
    bool found;
    unsigned usage;
  } const cases[] = {
      {165, true, 230}, {160, true, 225}, {92, true, 231}, {108, true, 88}, {13, true, 40},
      {16, false, 0},   {17, false, 0},   {18, false, 0},  {0, false, 0},   {124, false, 0},
      {226, true, 100}, {255, false, 0},  {0x10041, false, 0},
  };
  for (const auto& c : cases) {
    const UsageLookup r = VirtualKeyToUsage(c.virtualKey, Us());
    EXPECT_EQ(r.found, c.found) << "vk " << c.virtualKey;
    EXPECT_EQ(r.usage, c.usage) << "vk " << c.virtualKey;
  }
}

TEST(VirtualKeyToUsage, FrenchKeysAreRecordedByPosition) {
  EXPECT_EQ(VirtualKeyToUsage('A', French()).usage, 20);  // the US Q position
  EXPECT_EQ(VirtualKeyToUsage('M', French()).usage, 51);
  EXPECT_EQ(VirtualKeyToUsage(188, French()).usage, 16);  // comma sits where US has M
  // '!' has a virtual key of its own on this layout and still records as the key it sits on.
  const UsageLookup bang = VirtualKeyToUsage(223, French());
  EXPECT_TRUE(bang.found);
  EXPECT_EQ(bang.usage, 56);
  // The layout has no minus key of its own: the row found by virtual key stands, not a keyless row.
  const UsageLookup minus = VirtualKeyToUsage(189, French());
  EXPECT_TRUE(minus.found);
  EXPECT_EQ(minus.usage, 45);
}

struct NameCase {
  const KeyboardLayout& (*layout)();
  unsigned code;
  const char* name;
};

TEST(UsageName, NamesByTableOrByTheLayoutsCharacter) {
  const NameCase cases[] = {
      {Us, 4, "A"},           {French, 4, "Q"},          {French, 20, "A"},
      {French, 51, "M"},      {Us, 51, ";"},             {Us, 53, "`"},
      {Us, 39, "0"},          {French, 31, "\xC3\xA9"},  {French, 53, "\xC2\xB2"},
      {French, 47, "^"},      {French, 56, "!"},         {Us, 40, "Enter"},
      {Us, 41, "Esc"},        {Us, 42, "BackSpace"},     {Us, 44, "Space"},
      {Us, 57, "Caps Lock"},  {Us, 58, "F1"},            {Us, 67, "F10"},
      {Us, 69, "F12"},        {Us, 72, "Break"},         {Us, 88, "Num_Enter"},
      {Us, 89, "Num_1"},      {Us, 97, "Num_9"},         {Us, 98, "Num_0"},
      {Us, 99, "Num_."},      {Us, 100, "Europe 2"},     {Us, 101, "APP"},
      {Us, 130, "Sleep"},     {Us, 224, "Left Control"}, {Us, 230, "Right Alt"},
      {Us, 231, "Right GUI"}, {Us, 242, "Wheel"},        {Us, 244, "Side Button 2"},
      {Us, 0, ""},            {Us, 50, ""},              {Us, 102, ""},
      {Us, 129, ""},          {Us, 232, ""},             {Us, 255, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UsageName(static_cast<std::uint8_t>(c.code), c.layout()), c.name) << "usage " << c.code;
}

TEST(VirtualKeyName, NamesByTableOrByTheLayoutsCharacter) {
  const NameCase cases[] = {
      {Us, 108, "NumRet"},   {Us, 96, "Num0"},       {Us, 105, "Num9"},     {Us, 112, "F1"},
      {Us, 123, "F12"},      {Us, 12, "Clr"},        {Us, 16, "Shift"},     {Us, 44, "Snapshot"},
      {Us, 91, "Left Windows Button"},               {Us, 165, "Right Alt"}, {Us, 'A', "A"},
      {Us, '7', "7"},        {Us, 186, ";"},         {Us, 222, "'"},        {Us, 226, "\\"},
      {French, 186, "$"},    {French, '2', "\xC3\xA9"},
      // Keys that type nothing, or only a control character, have no name.
      {Us, 0, ""},           {Us, 3, ""},            {Us, 124, ""},         {Us, 255, ""},
      {Us, 256 + 'A', ""},
  };
  for (const auto& c : cases) EXPECT_EQ(VirtualKeyName(c.code, c.layout()), c.name) << "vk " << c.code;
}

TEST(KeypadEnter, IsTheSeparatorKeyInTheTableAndEnterWithTheExtendedFlagOnTheWire) {
  // The hook's events: only the extended flag tells keypad Enter from the main Enter.
  EXPECT_EQ(TableVirtualKey(13, false), 13u);
  EXPECT_EQ(TableVirtualKey(13, true), 108u);
  EXPECT_EQ(TableVirtualKey(37, true), 37u);  // other extended keys keep their own virtual key
  EXPECT_EQ(VirtualKeyToUsage(TableVirtualKey(13, true), Us()).usage, 88);
  EXPECT_EQ(VirtualKeyToUsage(TableVirtualKey(13, false), Us()).usage, 40);
  // Typed back out: Enter's scan code with the extended flag; every other key as the layout places it.
  for (const KeyboardLayout* layout : {&Us(), &French()}) {
    EXPECT_EQ(StrokeOfVirtualKey(108, *layout), (KeyStroke{13, 0x1C, true}));
    EXPECT_EQ(StrokeOfVirtualKey(13, *layout), (KeyStroke{13, 0x1C, false}));
    EXPECT_EQ(StrokeOfVirtualKey(226, *layout), (KeyStroke{226, 0x56, false}));
  }
}

TEST(KeyboardLayoutTables, MainBlockScanCodesRoundTripToDistinctKeys) {
  for (const KeyboardLayout* layout : {&Us(), &French()}) {
    std::set<unsigned> keys;
    for (int i = 0; i < kKeyRowCount; ++i) {
      const unsigned scan = KeyTable()[i].scanCode;
      if (scan == 0) continue;
      const unsigned vk = layout->ScanCodeToVirtualKey(scan);
      EXPECT_NE(vk, 0u) << "scan " << scan;
      EXPECT_TRUE(keys.insert(vk).second) << "scan " << scan;
      EXPECT_EQ(layout->VirtualKeyToScanCode(vk), scan) << "vk " << vk;
    }
    // The generic modifiers share the scan code of their left key; the keypad digits share the
    // navigation keys' codes, which map back to the navigation keys.
    EXPECT_EQ(layout->VirtualKeyToScanCode(16), 0x2Au);
    EXPECT_EQ(layout->VirtualKeyToScanCode(17), 0x1Du);
    EXPECT_EQ(layout->VirtualKeyToScanCode(18), 0x38u);
    EXPECT_EQ(layout->VirtualKeyToScanCode(103), 0x47u);
    EXPECT_EQ(layout->ScanCodeToVirtualKey(0x47), 36u);
    EXPECT_EQ(layout->ScanCodeToVirtualKey(0), 0u);
  }
}

}  // namespace
}  // namespace sarn
