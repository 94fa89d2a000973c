#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/keyboard_layout.h"
#include "common/keys.h"
#include "common/profile_record.h"

namespace sarn {
namespace {

// The test prefix runs with the US layout, so the system layout must answer as the US table does for
// every main-block key (the keys placed by position, whose names and recordings follow the layout).
// Outside the main block Wine's scan codes follow the X server's keymap (keypad, Print Screen, Pause), so
// they are not compared. Mismatches are gathered into one readable list.
TEST(Win32KeyboardLayout, AgreesWithTheUsTableOnEveryKeyOfTheTable) {
  const KeyboardLayout& system = SystemKeyboardLayout();
  const KeyboardLayout& us = UsKeyboardLayout();
  std::string mismatches;
  const auto note = [&mismatches](const char* what, unsigned code, long got, long want) {
    char line[96];
    std::snprintf(line, sizeof line, "%s %u: system %ld, table %ld\n", what, code, got, want);
    mismatches += line;
  };
  for (int i = 0; i < kKeyRowCount; ++i) {
    const KeyRow& row = KeyTable()[i];
    if (IsMouseCode(row.usage)) continue;  // not keys: the table maps them to themselves
    if (row.scanCode != 0 && system.ScanCodeToVirtualKey(row.scanCode) != us.ScanCodeToVirtualKey(row.scanCode))
      note("scan->vk", row.scanCode, system.ScanCodeToVirtualKey(row.scanCode), us.ScanCodeToVirtualKey(row.scanCode));
    const unsigned vk = UsageToVirtualKey(row.usage, us);
    const unsigned scan = us.VirtualKeyToScanCode(vk);
    const bool mainBlock = row.usage >= 4 && row.usage <= 69;
    if (mainBlock && system.VirtualKeyToScanCode(vk) != scan) {
      note("vk->scan", vk, system.VirtualKeyToScanCode(vk), scan);
    }
    // Characters only name main-block keys; the others have names of their own.
    if (row.usage <= 57 && system.CharacterOf(vk, scan) != us.CharacterOf(vk, scan))
      note("char", vk, system.CharacterOf(vk, scan), us.CharacterOf(vk, scan));
    if (UsageName(row.usage, system) != UsageName(row.usage, us))
      mismatches += "name " + std::to_string(row.usage) + ": " + UsageName(row.usage, system) + "\n";
  }
  EXPECT_EQ(mismatches, "");
  EXPECT_EQ(UsageName(4, system), "A");
}

}  // namespace
}  // namespace sarn
