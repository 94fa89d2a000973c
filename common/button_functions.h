// The function codes a button slot can hold, how each is shown, which buttons may hold what, and the
// shift-layer rules that keep the 18 slots of a profile consistent when a Duvex[+] key comes or goes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/keyboard_layout.h"
#include "common/profile_record.h"

namespace sarn {

enum ButtonFunctionCode : std::uint8_t {
  kFnUnavailable = 0,
  kFnClick = 1,
  kFnMenu = 2,
  kFnUniversalScroll = 3,
  kFnDoubleClick = 4,
  kFnShortcut = 5,
  kFnDisabled = 6,
  kFnBrowserForward = 7,
  kFnBrowserBack = 8,
  kFnTiltLeft = 9,
  kFnTiltRight = 10,
  kFnDpiChange = 11,
  kFnScrollUp = 13,
  kFnScrollDown = 14,
  kFnLaunchProgram = 15,
  kFnProfileCycle = 16,
  kFnProfileUp = 17,
  kFnProfileDown = 18,
  kFnAssignSensitivity = 19,
  kFnDpiCycle = 20,
  kFnDpiUp = 21,
  kFnDpiDown = 22,
  kFnSensitivityCycle = 23,
  kFnSensitivityUp = 24,
  kFnSensitivityDown = 25,
  kFnOpenPlayer = 32,
  kFnPreviousTrack = 33,
  kFnNextTrack = 34,
  kFnPlayPause = 35,
  kFnStop = 36,
  kFnMute = 37,
  kFnVolumeUp = 38,
  kFnVolumeDown = 39,
  kFnMacro = 48,
  kFnTimer = 49,
  kFnStopTimer = 50,
  kFnDisabledLegacy = 64,
  kFnDuvex = 65,
  kFnTornelSensitivity = 66,
  kFnTornelProfile = 67,
  kFnTornelDpi = 68,
  kFnTornelVolume = 69,
  kFnTornelAltTab = 70,
  kFnTornelFlip3D = 71,
};

// Modifier flags of a shortcut (the kind byte of events[0]).
inline constexpr std::uint8_t kModNone = 0x01;
inline constexpr std::uint8_t kModShift = 0x02;
inline constexpr std::uint8_t kModCtrl = 0x04;
inline constexpr std::uint8_t kModAlt = 0x08;
inline constexpr std::uint8_t kModWin = 0x10;

// The fixed UTF-8 text of a code (empty for codes without one, and for 5, 15, 48, 49 whose text comes
// from the slot).
[[nodiscard]] const char* FixedFunctionText(std::uint8_t code);
// How a slot's function is shown on the button page, as UTF-8 (names stored in the system code page
// are converted).
[[nodiscard]] std::string FunctionLabel(const ButtonSlot& slot, const KeyboardLayout& layout);

// Whether the button menu offers `code` for slot `button` (0..17). `windowsXpFamily` hides Flip 3D.
// B1, B2 and unavailable slots (code 0) are never reassigned.
[[nodiscard]] bool CanAssign(const ProfileRecord& profile, int button, std::uint8_t code, bool windowsXpFamily);

// The assignments: each writes its code and the parameters it uses, clears the macro fields it does not
// use, and leaves timerValue, timerName and programPath alone unless it is the one that sets them. Texts
// are cut to fit their fields (set name 49 bytes, macro name 51, timer name 99, program path 259).
// A shortcut's "no modifier" flag excludes the others; a macro's count is capped at the 500 steps a slot
// holds.
void AssignShortcut(ButtonSlot& slot, std::uint8_t key, std::uint8_t modifiers);
void AssignMacro(ButtonSlot& slot, const char* setName, const MacroRecord& macro);
void AssignTimer(ButtonSlot& slot, std::uint32_t timerValue, const char* timerName);
void AssignProgram(ButtonSlot& slot, const char* programPath);
void AssignPlainFunction(ButtonSlot& slot, std::uint8_t code);

// Codes of B10..B18 that the layer rules switched off, so they come back with the layer. Held once by the
// configuration application and shared by all profiles.
struct SavedShiftCodes {
  std::array<std::uint8_t, 9> codes{9, 10, 37, 6, 6, 6, 6, 38, 39};
};

// Run after one slot of `profile` changed to a different `newCode`; rewrites shift-layer slots and sets
// their flags in `buttonChanged` (the 18 flags of that profile).
void ApplyLayerRules(ProfileRecord& profile, std::uint8_t newCode, SavedShiftCodes& saved,
                     std::int32_t (&buttonChanged)[kButtonCount]);

// Finishes an assignment to slot `button` (0..17) as the button page does: flags the slot as changed,
// whether or not its code changed, and runs the layer rules when the code differs from `oldCode`.
void CompleteAssignment(ProfileRecord& profile, int button, std::uint8_t oldCode, SavedShiftCodes& saved,
                        std::int32_t (&buttonChanged)[kButtonCount]);

}  // namespace sarn
