// How the shortcut dialog turns the keys typed into it into its key and check buttons, apart from the dialog
// so that it is tested natively. The dialog feeds it every press and release the keyboard hook captures.
//
// A shortcut is typed the way it is used: Ctrl+C is Ctrl down, C down, C up, Ctrl up. The key pressed while
// modifiers are held becomes the key, and the modifiers held are what the check buttons show; the releases
// that follow change nothing, so letting go of Ctrl does not make Ctrl the key. A modifier pressed and let go
// with no other key in between is the key itself (Ctrl alone is "Left Control"). A key typed with no
// modifier held keeps the checks, so a key the keyboard cannot carry with a modifier can still be given one
// with a click.
#pragma once

#include <bitset>

#include "common/keyboard_layout.h"
#include "option/button_page.h"

namespace sarn {

class ShortcutTyping {
 public:
  // One key event as the hook posts it (the table's virtual key, and whether it is a release). True when
  // `choice` changed.
  bool Take(ShortcutChoice& choice, unsigned virtualKey, bool released, const KeyboardLayout& layout);

 private:
  using Modifiers = std::bitset<kShortcutCheckCount>;  // indexed by ShortcutCheck; kCheckNone unused
  [[nodiscard]] Modifiers Held(unsigned except) const;
  static bool Commit(ShortcutChoice& choice, unsigned virtualKey, const Modifiers& held, int ownCheck,
                     const KeyboardLayout& layout);

  std::bitset<256> down_;     // keys pressed while the dialog was open and not yet released
  unsigned lone_ = 0;         // the modifier pressed last, while no other key has been pressed since; 0 for none
  Modifiers loneHeld_;        // the other modifiers held when it went down
};

}  // namespace sarn
