#include "common/button_functions.h"

#include <cstring>
#include <string_view>

#include "common/keys.h"
#include "common/text_encoding.h"

namespace sarn {
namespace {

constexpr int kB5 = 4;
constexpr int kB7 = 6;
constexpr int kFirstShiftSlot = 9;  // B10
constexpr int kB14 = 13;
constexpr int kB16 = 15;

// Slot field of B10..B18 in SavedShiftCodes.
constexpr int SavedIndex(int slot) { return slot - kFirstShiftSlot; }

std::string_view FieldText(const char* field, std::size_t size) {
  return {field, TextFieldLength(field, size)};
}

// The file name and extension of a path, as the path splitter sees them: after a drive letter and
// after the last separator of either kind.
std::string_view FileNameOf(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') path.remove_prefix(2);
  const std::size_t separator = path.find_last_of("\\/");
  if (separator != std::string_view::npos) path.remove_prefix(separator + 1);
  return path;
}

void ClearMacroFields(ButtonSlot& slot) {
  // Only the first 50 bytes of the macro name are cleared: the last two carry no text once byte 0 is NUL.
  std::memset(slot.setName, 0, sizeof slot.setName);
  std::memset(slot.macroName, 0, 50);
  slot.loops = 0;
  slot.count = 0;
  std::memset(slot.events, 0, sizeof slot.events);
}

// Writes text into a field cut to fit, and zeroes the rest of the field so no stale bytes travel on.
template <std::size_t N>
void SetTextField(char (&field)[N], std::string_view text) {
  std::memset(field, 0, N);
  const std::size_t length = text.size() < N ? text.size() : N - 1;
  if (length > 0) std::memcpy(field, text.data(), length);
}

std::string_view CString(const char* text) { return text != nullptr ? std::string_view(text) : std::string_view(); }

}  // namespace

const char* FixedFunctionText(std::uint8_t code) {
  switch (code) {
    case kFnUnavailable:
    case kFnDisabled:
    case kFnDisabledLegacy: return "已禁用";
    case kFnClick: return "单击";
    case kFnMenu: return "菜单";
    case kFnUniversalScroll: return "通用滚动";
    case kFnDoubleClick: return "双击";
    case kFnBrowserForward: return "IE 前进";
    case kFnBrowserBack: return "IE 后退";
    case kFnTiltLeft: return "左倾斜";
    case kFnTiltRight: return "右倾斜";
    case kFnDpiChange: return "DPI 变更";
    case kFnScrollUp: return "向上滚动";
    case kFnScrollDown: return "向下滚动";
    case kFnProfileCycle: return "配置文件循环";
    case kFnProfileUp: return "配置文件向上";
    case kFnProfileDown: return "配置文件向下";
    case kFnAssignSensitivity: return "指派灵敏度";
    case kFnDpiCycle: return "DPI 循环";
    case kFnDpiUp: return "DPI 增大";
    case kFnDpiDown: return "DPI 减小";
    case kFnSensitivityCycle: return "灵敏度循环";
    case kFnSensitivityUp: return "灵敏度提高";
    case kFnSensitivityDown: return "灵敏度降低";
    case kFnOpenPlayer: return "打开播放器";
    case kFnPreviousTrack: return "上一曲";
    case kFnNextTrack: return "下一曲";
    case kFnPlayPause: return "播放/暂停";
    case kFnStop: return "停止";
    case kFnMute: return "Windows 静音";
    case kFnVolumeUp: return "Windows 音量增大";
    case kFnVolumeDown: return "Windows 音量减小";
    case kFnStopTimer: return "停止定时器";
    case kFnDuvex: return "Duvex[+]";
    case kFnTornelSensitivity: return "Tornel 灵敏度";
    case kFnTornelProfile: return "Tornel 配置文件";
    case kFnTornelDpi: return "Tornel DPI";
    case kFnTornelVolume: return "Tornel 音量";
    case kFnTornelAltTab: return "Tornel Alt-Tab";
    case kFnTornelFlip3D: return "Tornel Aero Flip 3D";
    default: return "";
  }
}

std::string FunctionLabel(const ButtonSlot& slot, const KeyboardLayout& layout) {
  switch (slot.functionCode) {
    case kFnShortcut: {
      if (slot.count == 0) return "";
      const std::uint8_t flags = slot.events[0].kind;
      std::string label;
      if ((flags & kModNone) == 0) {
        if (flags & kModCtrl) label += "Ctrl+";
        if (flags & kModShift) label += "Shift+";
        if (flags & kModAlt) label += "Alt+";
        if (flags & kModWin) label += "Win+";
      }
      return label + UsageName(slot.events[0].key, layout);
    }
    case kFnLaunchProgram:
      return AnsiToUtf8(FileNameOf(FieldText(slot.programPath, sizeof slot.programPath)));
    case kFnMacro: return AnsiToUtf8(FieldText(slot.macroName, sizeof slot.macroName));
    case kFnTimer: return AnsiToUtf8(FieldText(slot.timerName, sizeof slot.timerName));
    default: return FixedFunctionText(slot.functionCode);
  }
}

bool CanAssign(const ProfileRecord& profile, int button, std::uint8_t code, bool windowsXpFamily) {
  if (button < 0 || button >= kButtonCount) return false;
  if (button == 0 || button == 1) return false;
  if (profile.MacroKeyInfo[button].functionCode == kFnUnavailable) return false;
  if ((code >= 1 && code <= 10) || (code >= 13 && code <= 18) || (code >= 20 && code <= 25) ||
      (code >= 32 && code <= 39) || code == kFnMacro || code == kFnTimer || code == kFnStopTimer)
    return true;
  if (code >= kFnDuvex && code <= kFnTornelFlip3D) {
    if (button != kB5 && button != kB7) return false;
    return !(code == kFnTornelFlip3D && windowsXpFamily);
  }
  return false;
}

void AssignShortcut(ButtonSlot& slot, std::uint8_t key, std::uint8_t modifiers) {
  // Only the first step is read for a shortcut: loops and the later steps keep what they held.
  std::memset(slot.setName, 0, sizeof slot.setName);
  std::memset(slot.macroName, 0, 50);
  slot.functionCode = kFnShortcut;
  slot.count = 1;
  slot.events[0].key = key;
  // "No modifier" excludes the others.
  slot.events[0].kind = (modifiers & kModNone) ? kModNone : modifiers;
}

void AssignMacro(ButtonSlot& slot, const char* setName, const MacroRecord& macro) {
  slot.functionCode = kFnMacro;
  SetTextField(slot.setName, CString(setName));
  SetTextField(slot.macroName, FieldText(macro.name, sizeof macro.name));
  slot.loops = macro.loops;
  // A damaged count must not send playback past the 500 steps a slot holds.
  slot.count = static_cast<std::uint16_t>(macro.count < kMacroEventCapacity ? macro.count : kMacroEventCapacity);
  std::memcpy(slot.events, macro.events, sizeof slot.events);
}

void AssignTimer(ButtonSlot& slot, std::uint32_t timerValue, const char* timerName) {
  ClearMacroFields(slot);
  slot.functionCode = kFnTimer;
  slot.timerValue = timerValue;
  SetTextField(slot.timerName, CString(timerName));
}

void AssignProgram(ButtonSlot& slot, const char* programPath) {
  ClearMacroFields(slot);
  slot.functionCode = kFnLaunchProgram;
  SetTextField(slot.programPath, CString(programPath));
}

void AssignPlainFunction(ButtonSlot& slot, std::uint8_t code) {
  ClearMacroFields(slot);
  slot.functionCode = code;
}

void ApplyLayerRules(ProfileRecord& profile, std::uint8_t newCode, SavedShiftCodes& saved,
                     std::int32_t (&buttonChanged)[kButtonCount]) {
  ButtonSlot* slots = profile.MacroKeyInfo;
  const bool shiftOn5 = slots[kB5].functionCode == kFnDuvex;
  const bool shiftOn7 = slots[kB7].functionCode == kFnDuvex;
  const auto setCode = [&](int slot, std::uint8_t code) {
    slots[slot].functionCode = code;
    buttonChanged[slot] = 1;
  };
  const auto savedOrDisabled = [&](int slot) {
    const std::uint8_t code = saved.codes[SavedIndex(slot)];
    return code != kFnUnavailable ? code : std::uint8_t{kFnDisabled};
  };

  if (!shiftOn5 && !shiftOn7) {
    // No shift key: the whole layer goes, remembering what it held.
    for (int slot = kFirstShiftSlot; slot < kButtonCount; ++slot) {
      if (slots[slot].functionCode != kFnUnavailable) saved.codes[SavedIndex(slot)] = slots[slot].functionCode;
      setCode(slot, kFnUnavailable);
    }
  } else if (shiftOn5 && shiftOn7) {
    // Each shift key is held on the other's shifted slot: neither can hold a function.
    for (int slot : {kB14, kB16}) {
      saved.codes[SavedIndex(slot)] = slots[slot].functionCode;
      setCode(slot, kFnUnavailable);
    }
  } else {
    // One shift key: its own shifted slot is unusable, the other's comes back.
    const int own = shiftOn5 ? kB14 : kB16;
    const int other = shiftOn5 ? kB16 : kB14;
    setCode(own, kFnUnavailable);
    if (newCode == kFnDuvex) {
      // The layer has just come back. Every rewritten slot is flagged so it reaches the mouse.
      for (int slot = kFirstShiftSlot; slot < kButtonCount; ++slot) {
        if (slot == own) continue;
        setCode(slot, shiftOn5 || slot == other ? savedOrDisabled(slot) : saved.codes[SavedIndex(slot)]);
      }
    } else if (slots[other].functionCode == kFnUnavailable) {
      setCode(other, savedOrDisabled(other));
    }
  }
}

void CompleteAssignment(ProfileRecord& profile, int button, std::uint8_t oldCode, SavedShiftCodes& saved,
                        std::int32_t (&buttonChanged)[kButtonCount]) {
  if (button < 0 || button >= kButtonCount) return;
  buttonChanged[button] = 1;
  const std::uint8_t newCode = profile.MacroKeyInfo[button].functionCode;
  if (newCode != oldCode) ApplyLayerRules(profile, newCode, saved, buttonChanged);
}

}  // namespace sarn
