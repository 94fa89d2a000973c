#include <windows.h>

#include "common/keyboard_layout.h"

namespace sarn {
namespace {

// The user's current keyboard layout, asked afresh on every call so that a layout switch takes effect.
class Win32KeyboardLayout final : public KeyboardLayout {
 public:
  unsigned ScanCodeToVirtualKey(unsigned scanCode) const override {
    return MapVirtualKeyA(scanCode, MAPVK_VSC_TO_VK_EX);
  }
  unsigned VirtualKeyToScanCode(unsigned virtualKey) const override {
    return MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  }
  int CharacterOf(unsigned virtualKey, unsigned scanCode) const override {
    BYTE keyState[256] = {};
    WORD typed[2] = {};
    const int result = ToAscii(virtualKey, scanCode, keyState, typed, 0);
    if (result == 0) return 0;
    if (result < 0) {
      // A dead key leaves its accent pending for the next key typed; a second call clears it so that
      // asking for a name never changes what the user types next.
      WORD ignored[2] = {};
      ToAscii(virtualKey, scanCode, keyState, ignored, 0);
    }
    return typed[0] & 0xFF;
  }
};

}  // namespace

const KeyboardLayout& SystemKeyboardLayout() {
  static const Win32KeyboardLayout layout;
  return layout;
}

}  // namespace sarn
