#include "common/keys.h"

#include <cstdio>

#include "common/text_encoding.h"

namespace sarn {
namespace {

// Virtual key, HID usage, set-1 scan code. Keys of the main block carry their scan code so that they are
// placed by position on any layout; the others are fixed virtual keys.
constexpr KeyRow kRows[kKeyRowCount] = {
    // Letters a..z
    {65, 4, 30}, {66, 5, 48}, {67, 6, 46}, {68, 7, 32}, {69, 8, 18}, {70, 9, 33}, {71, 10, 34},
    {72, 11, 35}, {73, 12, 23}, {74, 13, 36}, {75, 14, 37}, {76, 15, 38}, {77, 16, 50}, {78, 17, 49},
    {79, 18, 24}, {80, 19, 25}, {81, 20, 16}, {82, 21, 19}, {83, 22, 31}, {84, 23, 20}, {85, 24, 22},
    {86, 25, 47}, {87, 26, 17}, {88, 27, 45}, {89, 28, 21}, {90, 29, 44},
    // Digits 1..9, 0
    {49, 30, 2}, {50, 31, 3}, {51, 32, 4}, {52, 33, 5}, {53, 34, 6}, {54, 35, 7}, {55, 36, 8},
    {56, 37, 9}, {57, 38, 10}, {48, 39, 11},
    // Enter, Escape, Backspace, Tab, Space, punctuation, Caps Lock
    {13, 40, 28}, {27, 41, 1}, {8, 42, 14}, {9, 43, 15}, {32, 44, 57}, {189, 45, 12}, {187, 46, 13},
    {219, 47, 26}, {221, 48, 27}, {220, 49, 43}, {186, 51, 39}, {222, 52, 40}, {192, 53, 41},
    {188, 54, 51}, {190, 55, 52}, {191, 56, 53}, {20, 57, 58},
    // F1..F12
    {112, 58, 59}, {113, 59, 60}, {114, 60, 61}, {115, 61, 62}, {116, 62, 63}, {117, 63, 64},
    {118, 64, 65}, {119, 65, 66}, {120, 66, 67}, {121, 67, 68}, {122, 68, 87}, {123, 69, 88},
    // Print Screen .. Up
    {44, 70, 0}, {145, 71, 0}, {19, 72, 0}, {45, 73, 0}, {36, 74, 0}, {33, 75, 0}, {46, 76, 0},
    {35, 77, 0}, {34, 78, 0}, {39, 79, 0}, {37, 80, 0}, {40, 81, 0}, {38, 82, 0},
    // Keypad; its Enter is the separator key so that it stays apart from the main Enter
    {144, 83, 0}, {111, 84, 0}, {106, 85, 0}, {109, 86, 0}, {107, 87, 0}, {108, 88, 0},
    {97, 89, 0}, {98, 90, 0}, {99, 91, 0}, {100, 92, 0}, {101, 93, 0}, {102, 94, 0}, {103, 95, 0},
    {104, 96, 0}, {105, 97, 0}, {96, 98, 0}, {110, 99, 0},
    // The ISO key beside the left Shift ("<" on German keyboards, "\" on British ones), placed by position
    // as the main block is
    {226, 100, 86},
    // Application, modifiers with their sides
    {93, 101, 0}, {162, 224, 0}, {160, 225, 0}, {164, 226, 0}, {91, 227, 0}, {163, 228, 0},
    {161, 229, 0}, {165, 230, 0}, {92, 231, 0},
    // Mouse buttons map to themselves
    {240, 240, 0}, {241, 241, 0}, {242, 242, 0}, {243, 243, 0}, {244, 244, 0},
};

constexpr bool IsPlacedByPosition(unsigned usage) { return (usage >= 4 && usage <= 69) || usage == 100; }

const KeyRow* RowOfUsage(unsigned usage) {
  for (const KeyRow& row : kRows)
    if (row.usage == usage) return &row;
  return nullptr;
}

struct Name {
  unsigned code;
  const char* text;
};

constexpr Name kUsageNames[] = {
    {70, "Print Screen"}, {71, "Scroll Lock"}, {72, "Break"}, {73, "Insert"}, {74, "Home"},
    {75, "Page Up"}, {76, "Delete"}, {77, "End"}, {78, "Page Down"}, {79, "Right Arrow"},
    {80, "Left Arrow"}, {81, "Down Arrow"}, {82, "Up Arrow"}, {83, "Num Lock"}, {84, "Num_/"},
    {85, "Num_*"}, {86, "Num_-"}, {87, "Num_+"}, {88, "Num_Enter"}, {98, "Num_0"}, {99, "Num_."},
    {100, "Europe 2"}, {101, "APP"}, {130, "Sleep"}, {224, "Left Control"}, {225, "Left Shift"},
    {226, "Left Alt"}, {227, "Left GUI"}, {228, "Right Control"}, {229, "Right Shift"},
    {230, "Right Alt"}, {231, "Right GUI"}, {240, "Left Button"}, {241, "Right Button"},
    {242, "Wheel"}, {243, "Side Button 1"}, {244, "Side Button 2"},
};

constexpr Name kVirtualKeyNames[] = {
    {8, "BackSpace"}, {9, "Tab"}, {12, "Clr"}, {13, "Enter"}, {16, "Shift"}, {17, "Ctrl"},
    {18, "Alt"}, {19, "Pause"}, {20, "Caps Lock"}, {27, "Esc"}, {32, "Space"}, {33, "Page Up"},
    {34, "Page Down"}, {35, "End"}, {36, "Home"}, {37, "Left Arrow"}, {38, "Up Arrow"},
    {39, "Right Arrow"}, {40, "Down Arrow"}, {41, "Select"}, {42, "Print Screen"}, {43, "Exe"},
    {44, "Snapshot"}, {45, "Insert"}, {46, "Delete"}, {47, "Help"}, {91, "Left Windows Button"},
    {92, "Right Windows Button"}, {93, "APP"}, {106, "Num*"}, {107, "Num+"}, {108, "NumRet"},
    {109, "Num-"}, {110, "Num."}, {111, "Num/"}, {144, "Num Lock"}, {145, "Scroll Lock"},
    {160, "Left Shift"}, {161, "Right Shift"}, {162, "Left Ctrl"}, {163, "Right Ctrl"},
    {164, "Left Alt"}, {165, "Right Alt"}, {240, "Left Button"}, {241, "Right Button"},
    {242, "Wheel"}, {243, "Side Button 1"}, {244, "Side Button 2"},
};

template <std::size_t N>
const char* Find(const Name (&names)[N], unsigned code) {
  for (const Name& n : names)
    if (n.code == code) return n.text;
  return nullptr;
}

std::string Numbered(const char* prefix, unsigned number) {
  char text[16];
  std::snprintf(text, sizeof text, "%s%u", prefix, number);
  return text;
}

}  // namespace

const KeyRow* KeyTable() { return kRows; }

unsigned UsageToVirtualKey(std::uint8_t usage, const KeyboardLayout& layout) {
  const KeyRow* row = RowOfUsage(usage);
  if (row == nullptr) return 0;
  if (IsPlacedByPosition(usage)) return layout.ScanCodeToVirtualKey(row->scanCode);
  return row->virtualKey;
}

UsageLookup VirtualKeyToUsage(unsigned virtualKey, const KeyboardLayout& layout) {
  const KeyRow* byKey = nullptr;
  for (const KeyRow& row : kRows) {
    if (row.virtualKey == virtualKey) {
      byKey = &row;
      break;
    }
  }
  if (byKey == nullptr || IsPlacedByPosition(byKey->usage)) {
    // Main-block keys are recorded by where they sit. That also covers a key some layouts give a virtual
    // key of their own (the French '!' key is VK_OEM_8), which would otherwise be lost. Rows without a
    // scan code carry 0 there, so a key the layout cannot place never matches them.
    const unsigned scanCode = layout.VirtualKeyToScanCode(virtualKey);
    if (scanCode != 0) {
      for (const KeyRow& row : kRows)
        if (row.scanCode == scanCode) return {true, row.usage};
    }
  }
  if (byKey == nullptr) return {false, 0};
  return {true, byKey->usage};
}

KeyStroke StrokeOfVirtualKey(unsigned virtualKey, const KeyboardLayout& layout) {
  if (virtualKey == kVirtualKeyKeypadEnter) {
    return {kVirtualKeyReturn, layout.VirtualKeyToScanCode(kVirtualKeyReturn), true};
  }
  return {virtualKey, layout.VirtualKeyToScanCode(virtualKey), false};
}

std::string UsageName(std::uint8_t usage, const KeyboardLayout& layout) {
  if (usage >= 4 && usage <= 57) return VirtualKeyName(UsageToVirtualKey(usage, layout), layout);
  if (usage >= 58 && usage <= 69) return Numbered("F", usage - 57u);
  if (usage >= 89 && usage <= 97) return Numbered("Num_", usage - 88u);
  const char* name = Find(kUsageNames, usage);
  return name != nullptr ? name : "";
}

std::string VirtualKeyName(unsigned virtualKey, const KeyboardLayout& layout) {
  if (virtualKey >= 96 && virtualKey <= 105) return Numbered("Num", virtualKey - 96);
  if (virtualKey >= 112 && virtualKey <= 123) return Numbered("F", virtualKey - 111);
  if (const char* name = Find(kVirtualKeyNames, virtualKey)) return name;
  if (virtualKey == 0 || virtualKey > 255) return "";
  int c = layout.CharacterOf(virtualKey, layout.VirtualKeyToScanCode(virtualKey));
  // Control characters (Ctrl+Break types 0x03) make no readable name.
  if (c < 0x20 || c == 0x7F || c > 0xFF) return "";
  if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
  // The layout answers in the system code page; names are UTF-8.
  const char text[2] = {static_cast<char>(c), '\0'};
  return AnsiToUtf8(text);
}

}  // namespace sarn
