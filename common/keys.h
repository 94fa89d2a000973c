// Keys are stored as HID keyboard usage codes (and MouseCode 240..244) and converted to and from
// Windows virtual keys only when a macro is played or a key is recorded.
#pragma once

#include <cstdint>
#include <string>

#include "common/keyboard_layout.h"

namespace sarn {

struct KeyRow {
  std::uint8_t virtualKey;
  std::uint8_t usage;
  std::uint8_t scanCode;  // set 1; 0 for keys placed by virtual key alone
};
inline constexpr int kKeyRowCount = 110;
// The 110 rows, in table order.
const KeyRow* KeyTable();

// Usage code to virtual key; main-block keys (usage 4..69) follow the layout through their scan code.
// A code without a row gives 0.
[[nodiscard]] unsigned UsageToVirtualKey(std::uint8_t usage, const KeyboardLayout& layout);

struct UsageLookup {
  bool found;
  std::uint8_t usage;
};
[[nodiscard]] UsageLookup VirtualKeyToUsage(unsigned virtualKey, const KeyboardLayout& layout);

// Keypad Enter and the main Enter share virtual key 13 and scan code 28; only the extended flag of the event
// tells them apart. The table gives keypad Enter the separator key (108) instead, so that every place that
// turns a virtual key into a usage keeps them apart without asking for the flag.
inline constexpr unsigned kVirtualKeyReturn = 13;
inline constexpr unsigned kVirtualKeyKeypadEnter = 108;
// The table's virtual key for a key event from the keyboard (its virtual key and extended flag).
[[nodiscard]] constexpr unsigned TableVirtualKey(unsigned virtualKey, bool extended) {
  return virtualKey == kVirtualKeyReturn && extended ? kVirtualKeyKeypadEnter : virtualKey;
}

// What keybd_event is given to type a virtual key of the table: the key, its scan code on the layout and
// whether the extended flag goes with it. Keypad Enter goes out as Enter with the extended flag, the way the
// keyboard sends it; programs ignore the separator key.
struct KeyStroke {
  unsigned virtualKey;
  unsigned scanCode;
  bool extended;
  friend bool operator==(const KeyStroke&, const KeyStroke&) = default;
};
[[nodiscard]] KeyStroke StrokeOfVirtualKey(unsigned virtualKey, const KeyboardLayout& layout);

// Display names as UTF-8: fixed English names, or the character the key types on the layout
// (which may lie outside ASCII, such as the French digit row).
[[nodiscard]] std::string UsageName(std::uint8_t usage, const KeyboardLayout& layout);
[[nodiscard]] std::string VirtualKeyName(unsigned virtualKey, const KeyboardLayout& layout);

}  // namespace sarn
