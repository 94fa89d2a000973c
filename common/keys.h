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
inline constexpr int kKeyRowCount = 109;
// The 109 rows, in table order.
const KeyRow* KeyTable();

// Usage code to virtual key; main-block keys (usage 4..69) follow the layout through their scan code.
// A code without a row gives 0.
[[nodiscard]] unsigned UsageToVirtualKey(std::uint8_t usage, const KeyboardLayout& layout);

struct UsageLookup {
  bool found;
  std::uint8_t usage;
};
[[nodiscard]] UsageLookup VirtualKeyToUsage(unsigned virtualKey, const KeyboardLayout& layout);

// Display names as UTF-8: fixed English names, or the character the key types on the layout
// (which may lie outside ASCII, such as the French digit row).
[[nodiscard]] std::string UsageName(std::uint8_t usage, const KeyboardLayout& layout);
[[nodiscard]] std::string VirtualKeyName(unsigned virtualKey, const KeyboardLayout& layout);

}  // namespace sarn
