// The few layout-dependent questions the key conversions ask. Windows answers them with the user's
// current keyboard layout; native builds and tests use the fixed US or French tables.
#pragma once

namespace sarn {

class KeyboardLayout {
 public:
  virtual ~KeyboardLayout() = default;
  // Scan code (set 1) to virtual key, as MapVirtualKey(scan, 3); 0 when the layout has none.
  [[nodiscard]] virtual unsigned ScanCodeToVirtualKey(unsigned scanCode) const = 0;
  // Virtual key to scan code, as MapVirtualKey(vk, 0); 0 when the layout has none.
  [[nodiscard]] virtual unsigned VirtualKeyToScanCode(unsigned virtualKey) const = 0;
  // The character the key types with no modifier held (ToAscii with an empty key state), as a byte of the
  // system code page; 0 for none. A dead key answers with the accent it shows.
  [[nodiscard]] virtual int CharacterOf(unsigned virtualKey, unsigned scanCode) const = 0;
};

const KeyboardLayout& UsKeyboardLayout();
const KeyboardLayout& FrenchKeyboardLayout();
// The layout of the running system: the user's layout on Windows, the US table elsewhere.
const KeyboardLayout& SystemKeyboardLayout();

}  // namespace sarn
