// What the key-capture hook does with one keyboard event, apart from the hook itself so that the decision is
// tested natively. The hook (key_capture_win.cpp) asks this for every event of hook code HC_ACTION.
#pragma once

#include <cstdint>

#include "common/injected_input.h"

namespace sarn {

enum class CapturedKeyAction {
  kPassOn,   // to the next hook and on to the focused window, as if no capture were running
  kCapture,  // posted to the capturing window and swallowed: no application sees it
};

// `flags` and `extraInfo` as the event carries them (KBDLLHOOKSTRUCT::flags, ::dwExtraInfo); `capturing`
// whether a window is taking keys right now (it is not between the end of a capture and the hook's removal).
// Keys our monitor injects are passed on: a macro or shortcut that plays while the user records is not part
// of the recording, and the program it plays into still gets it.
[[nodiscard]] constexpr CapturedKeyAction DecideCapturedKey(std::uint32_t flags, std::uintptr_t extraInfo,
                                                            bool capturing) {
  if (!capturing || IsOwnInjectedKey(flags, extraInfo)) return CapturedKeyAction::kPassOn;
  return CapturedKeyAction::kCapture;
}

}  // namespace sarn
