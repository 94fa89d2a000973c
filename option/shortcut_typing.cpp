#include "option/shortcut_typing.h"

namespace sarn {
namespace {

// The check button a modifier key stands for, or -1. The hook reports the sided keys; the generic ones come
// from programs that inject them.
int CheckOfModifier(unsigned vk) {
  switch (vk) {
    case 16:
    case 160:
    case 161:
      return kCheckShift;
    case 17:
    case 162:
    case 163:
      return kCheckCtrl;
    case 18:
    case 164:
    case 165:
      return kCheckAlt;
    case 91:
    case 92:
      return kCheckWin;
    default:
      return -1;
  }
}

// The table knows only the sided modifiers; a generic one is taken as the left key.
unsigned Sided(unsigned vk) {
  switch (vk) {
    case 16:
      return 160;
    case 17:
      return 162;
    case 18:
      return 164;
    default:
      return vk;
  }
}

}  // namespace

ShortcutTyping::Modifiers ShortcutTyping::Held(unsigned except) const {
  Modifiers held;
  for (unsigned vk = 0; vk < down_.size(); ++vk) {
    const int check = CheckOfModifier(vk);
    if (check >= 0 && vk != except && down_[vk]) held.set(static_cast<std::size_t>(check));
  }
  return held;
}

bool ShortcutTyping::Commit(ShortcutChoice& choice, unsigned virtualKey, const Modifiers& held, int ownCheck,
                            const KeyboardLayout& layout) {
  ShortcutChoice next = choice;
  if (!next.TakeKey(Sided(virtualKey), layout)) return false;
  if (held.any()) {
    next.checks[kCheckNone] = false;
    for (int i = kCheckShift; i < kShortcutCheckCount; ++i) {
      next.checks[static_cast<std::size_t>(i)] = held[static_cast<std::size_t>(i)];
    }
  } else if (ownCheck >= 0) {
    // A modifier that is the key is not also its own modifier.
    next.checks[static_cast<std::size_t>(ownCheck)] = false;
  }
  const bool changed = next.key != choice.key || next.checks != choice.checks;
  choice = next;
  return changed;
}

bool ShortcutTyping::Take(ShortcutChoice& choice, unsigned virtualKey, bool released, const KeyboardLayout& layout) {
  if (virtualKey >= down_.size()) return false;
  const int check = CheckOfModifier(virtualKey);
  if (released) {
    // A key already down when the dialog opened (the Enter that opened it, a held Ctrl) counts for nothing.
    if (!down_[virtualKey]) return false;
    down_.reset(virtualKey);
    if (check < 0 || lone_ != virtualKey) return false;
    lone_ = 0;
    return Commit(choice, virtualKey, loneHeld_, check, layout);
  }
  const bool repeat = down_[virtualKey];
  down_.set(virtualKey);
  if (check >= 0) {
    // A held modifier repeats its press; it is still alone.
    if (!repeat) {
      lone_ = virtualKey;
      loneHeld_ = Held(virtualKey);
    }
    return false;
  }
  lone_ = 0;
  return Commit(choice, virtualKey, Held(0), -1, layout);
}

}  // namespace sarn
