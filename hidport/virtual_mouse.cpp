#include "hidport/virtual_mouse.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/json_writer.h"
#include "common/profile_record.h"

namespace sarn::vmouse {
namespace {

constexpr std::uint8_t kStatusDone = 1;
constexpr std::uint8_t kStatusFailed = 2;
constexpr std::uint8_t kStatusBusy = 3;

// An event code carries its type in the high 16 bits and its value in the low 16 bits.
constexpr std::uint32_t EventType(std::uint32_t type) { return type << 16; }
constexpr std::uint32_t kTypeTilt = EventType(0x1000);
constexpr std::uint32_t kTypeProfile = EventType(0x3000);
constexpr std::uint32_t kTypeDpi = EventType(0xB000);
constexpr std::uint32_t kTypeSensitivity = EventType(0xC000);
constexpr std::uint32_t kTypeMedia = EventType(0xF000);
constexpr std::uint32_t kTiltLeft = 255;
constexpr std::uint32_t kTiltRight = 1;

// The functions the host carries out for a button, by code: the event type that carries press and release.
struct HostFunction {
  std::uint8_t code;
  std::uint32_t type;
};
constexpr HostFunction kHostFunctions[] = {
    {48, EventType(0x4000)},  // macro
    {5, EventType(0x5000)},   // keyboard shortcut
    {49, EventType(0x8000)},  // timer
    {50, EventType(0x9000)},  // stop timer
    {15, EventType(0x6000)},  // program launch
};

std::uint32_t HostEventType(std::uint8_t code) {
  for (const auto& f : kHostFunctions) {
    if (f.code == code) return f.type;
  }
  return 0;
}

bool IsMediaCode(std::uint8_t code) { return code >= 32 && code <= 39; }

// DPI level codes of the four levels the cycle knows (mask bits 0..3): 400, 800, 1600, 3200 DPI.
constexpr std::uint8_t kDpiLevelCodes[4] = {1, 2, 4, 7};

std::uint16_t Sum(const std::uint8_t* bytes, int count) {
  std::uint16_t sum = 0;
  for (int i = 0; i < count; ++i) sum = static_cast<std::uint16_t>(sum + bytes[i]);
  return sum;
}

bool ChecksumHolds(const std::uint8_t* report, int length) {
  const std::uint16_t sum = Sum(report, length - 2);
  return report[length - 2] == (sum & 0xFF) && report[length - 1] == (sum >> 8);
}

void PutChecksum(std::uint8_t* report, int length) {
  const std::uint16_t sum = Sum(report, length - 2);
  report[length - 2] = static_cast<std::uint8_t>(sum & 0xFF);
  report[length - 1] = static_cast<std::uint8_t>(sum >> 8);
}

OnBoardProfile FactoryProfile(int slot) {
  // A whole profile (46 KiB) is far too big for the stack of the monitor's DeviceThread, which calls this
  // through a restore-defaults write.
  const auto owned = std::make_unique<ProfileRecord>();
  ProfileRecord& record = *owned;
  InitProfileDefaults(record, slot);
  OnBoardProfile p;
  auto& s = p.settings;
  s[kXYSynchronous] = static_cast<std::uint8_t>(record.XYSynchronous);
  s[kSensitivityX] = static_cast<std::uint8_t>(record.Sensitivity_X);
  s[kSensitivityY] = static_cast<std::uint8_t>(record.Sensitivity_Y);
  std::uint8_t mask = 0;
  for (int i = 0; i < kDpiLevels; ++i) {
    if (record.dpi[i] == 1) mask = static_cast<std::uint8_t>(mask | (1u << i));
  }
  s[kDpiMask] = mask;
  s[kCpi] = static_cast<std::uint8_t>(record.Cpi_X);
  s[kPollingRate] = static_cast<std::uint8_t>(record.PollingRate);
  s[kLightSwitch] = static_cast<std::uint8_t>(record.LightSwitch);
  s[kLightType] = static_cast<std::uint8_t>(record.LightType);
  s[kColorA] = record.ColorFlag == 0 ? static_cast<std::uint8_t>(record.ColorOptions + 1) : 0;
  s[kColorB] = record.ColorFlag == 0 ? 3 : static_cast<std::uint8_t>(record.ColorChangeMode);
  s[kOrientation] = static_cast<std::uint8_t>(record.Orientation);
  for (int b = 0; b < kSlots; ++b) p.buttons[static_cast<std::size_t>(b)] = record.MacroKeyInfo[b].functionCode;
  return p;
}

}  // namespace

VirtualMouse::VirtualMouse(EventSink* sink) : sink_(sink) { FactoryReset(); }

void VirtualMouse::FactoryReset() {
  for (int i = 0; i < kProfiles; ++i) profiles_[static_cast<std::size_t>(i)] = FactoryProfile(i);
  active_ = 0;
  memoryChanged_ = true;
}

bool VirtualMouse::TakeMemoryChanged() {
  const bool changed = memoryChanged_;
  memoryChanged_ = false;
  return changed;
}

int VirtualMouse::OpenFeature() {
  featureOpen_ = plugged_;
  return featureOpen_ ? 1 : 0;
}

void VirtualMouse::Accept(bool ok) { status_ = ok ? kStatusDone : kStatusFailed; }

int VirtualMouse::SetFeature(const std::uint8_t* b, int length) {
  if (!plugged_ || !featureOpen_ || !b || length < 3) return 0;
  switch (b[0]) {
    case 4:
      if (b[1] >= kProfiles || (b[2] != 0x10 && b[2] != 0x20)) return 0;
      selectedSlot_ = b[1];
      selectedWhat_ = b[2];
      return 1;
    case 5:
      Accept(b[2] < kProfiles);
      if (b[2] < kProfiles && active_ != b[2]) {
        active_ = b[2];
        memoryChanged_ = true;
      }
      return 1;
    case 6: {
      if (length < 16) return 0;
      const bool ok = ChecksumHolds(b, 16) && b[2] < kProfiles;
      Accept(ok);
      if (ok) {
        std::memcpy(profiles_[b[2]].settings.data(), b + 3, 11);
        memoryChanged_ = true;
      }
      return 1;
    }
    case 7: {
      if (length < 23) return 0;
      const bool ok = ChecksumHolds(b, 23) && b[2] < kProfiles;
      Accept(ok);
      if (ok) {
        std::memcpy(profiles_[b[2]].buttons.data(), b + 3, kSlots);
        memoryChanged_ = true;
      }
      return 1;
    }
    case 9: {
      if (length < 6) return 0;
      const bool ok = b[1] == 6 && b[2] == 7 && b[3] == 0 && b[4] == 0 && b[5] == 0;
      Accept(ok);
      if (ok) FactoryReset();
      return 1;
    }
    case 10:
      Accept(b[2] <= 1);
      if (b[2] <= 1) hostMode_ = b[2];
      return 1;
    default:
      return 0;
  }
}

int VirtualMouse::GetFeature(std::uint8_t* b, int length) {
  if (!plugged_ || !featureOpen_ || !b || length < 3) return 0;
  std::uint8_t report[23] = {b[0]};
  int size = 3;
  switch (b[0]) {
    case 4:
      if (busyPolls_ > 0) {
        --busyPolls_;
        report[1] = kStatusBusy;
      } else if (failNext_) {
        failNext_ = false;
        report[1] = kStatusFailed;
      } else {
        report[1] = status_;
      }
      break;
    case 5:
      report[1] = 3;
      report[2] = static_cast<std::uint8_t>(active_);
      break;
    case 6:
    case 7: {
      const bool settings = b[0] == 6;
      size = settings ? 16 : 23;
      if (selectedWhat_ != (settings ? 0x10 : 0x20)) return 0;
      const auto& p = profiles_[static_cast<std::size_t>(selectedSlot_)];
      report[1] = static_cast<std::uint8_t>(size);
      report[2] = static_cast<std::uint8_t>(selectedSlot_);
      if (settings) {
        std::memcpy(report + 3, p.settings.data(), 11);
      } else {
        std::memcpy(report + 3, p.buttons.data(), kSlots);
      }
      PutChecksum(report, size);
      if (corruptNext_) {
        corruptNext_ = false;
        report[size - 2] = static_cast<std::uint8_t>(report[size - 2] + 1);
      }
      break;
    }
    case 9:
      size = 6;
      report[1] = 6;
      report[2] = kFirmwareVersion;
      break;
    case 10:
      report[1] = 3;
      report[2] = static_cast<std::uint8_t>(hostMode_);
      break;
    default:
      return 0;
  }
  if (length < size) return 0;
  std::memset(b, 0, static_cast<std::size_t>(length));
  std::memcpy(b, report, static_cast<std::size_t>(size));
  return 1;
}

void VirtualMouse::Post(std::uint32_t code) {
  if (sink_) sink_->DeviceEvent(code);
}

Refusal VirtualMouse::Press(int input) {
  if (input < 1 || input > kInputs) return "input must be 1..9";
  if (!plugged_) return "unplugged";
  Held& h = held_[static_cast<std::size_t>(input)];
  if (h.down) return {};  // a held input cannot be pressed again
  h.down = true;

  // Wheel combinations: a held 66..69 turns the wheel into up/down of its quantity.
  if (input == 8 || input == 9) {
    const int direction = input == 8 ? 1 : -1;
    for (int i = 1; i <= kInputs; ++i) {
      const Held& other = held_[static_cast<std::size_t>(i)];
      if (i == input || !other.down || other.code < 66 || other.code > 69) continue;
      h.slot = 0;
      h.code = 0;
      switch (other.code) {
        case 66: StepSensitivity(direction, false); break;
        case 67: StepProfile(direction, false); break;
        case 68: StepDpi(direction, false); break;
        default:
          Post(kTypeMedia | (direction > 0 ? 38u : 39u));
          Post(kTypeMedia | 0x100u | (direction > 0 ? 38u : 39u));
          break;
      }
      return {};
    }
  }

  // The shift layer: while an input holding the shift code is down, input n acts as slot n + 9.
  bool shifted = false;
  for (int i = 1; i <= kInputs; ++i) {
    const Held& other = held_[static_cast<std::size_t>(i)];
    if (i != input && other.down && other.slot != 0 && other.code == kShiftCode) shifted = true;
  }
  h.slot = shifted ? input + 9 : input;
  h.code = profiles_[static_cast<std::size_t>(active_)].buttons[static_cast<std::size_t>(h.slot - 1)];
  PressSlot(h.slot, h.code);
  return {};
}

Refusal VirtualMouse::Release(int input) {
  if (input < 1 || input > kInputs) return "input must be 1..9";
  if (!plugged_) return "unplugged";
  Held& h = held_[static_cast<std::size_t>(input)];
  if (!h.down) return {};
  h.down = false;
  // The release belongs to the slot the press went to, whatever changed since.
  if (h.slot != 0) ReleaseSlot(h.slot, h.code);
  h = Held{};
  return {};
}

Refusal VirtualMouse::Click(int input) {
  Refusal r = Press(input);
  if (!r.empty()) return r;
  return Release(input);
}

void VirtualMouse::PressSlot(int slot, std::uint8_t code) {
  if (const std::uint32_t type = HostEventType(code)) {
    Post(type | static_cast<std::uint32_t>(slot));
    return;
  }
  if (IsMediaCode(code)) {
    Post(kTypeMedia | code);
    return;
  }
  switch (code) {
    case 9: Post(kTypeTilt | kTiltLeft); break;
    case 10: Post(kTypeTilt | kTiltRight); break;
    case 16: StepProfile(1, true); break;
    case 17: StepProfile(1, false); break;
    case 18: StepProfile(-1, false); break;
    case 11:
    case 20: StepDpi(1, true); break;
    case 21: StepDpi(1, false); break;
    case 22: StepDpi(-1, false); break;
    case 23: StepSensitivity(1, true); break;
    case 24: StepSensitivity(1, false); break;
    case 25: StepSensitivity(-1, false); break;
    default: break;  // plain mouse functions, the shift key, disabled slots
  }
}

void VirtualMouse::ReleaseSlot(int slot, std::uint8_t code) {
  if (const std::uint32_t type = HostEventType(code)) {
    Post(type | 0x100u | static_cast<std::uint32_t>(slot));
  } else if (IsMediaCode(code)) {
    Post(kTypeMedia | 0x100u | code);
  }
}

void VirtualMouse::StepProfile(int direction, bool wrap) {
  int next = active_ + direction;
  if (wrap) next = (next + kProfiles) % kProfiles;
  next = std::clamp(next, 0, kProfiles - 1);
  if (next == active_) return;
  active_ = next;
  memoryChanged_ = true;
  Post(kTypeProfile | static_cast<std::uint32_t>(active_ + 1));
}

void VirtualMouse::StepDpi(int direction, bool wrap) {
  auto& s = profiles_[static_cast<std::size_t>(active_)].settings;
  std::uint8_t levels[4];
  int count = 0, current = -1;
  for (int i = 0; i < 4; ++i) {
    if (!(s[kDpiMask] & (1u << i))) continue;
    if (kDpiLevelCodes[i] == s[kCpi]) current = count;
    levels[count++] = kDpiLevelCodes[i];
  }
  if (count == 0) return;
  int next;
  if (current < 0) {
    next = direction > 0 ? 0 : count - 1;  // a level outside the cycle steps into it
  } else {
    next = current + direction;
    next = wrap ? (next + count) % count : std::clamp(next, 0, count - 1);
  }
  if (levels[next] == s[kCpi]) return;
  s[kCpi] = levels[next];
  memoryChanged_ = true;
  Post(kTypeDpi | s[kCpi]);
}

void VirtualMouse::StepSensitivity(int direction, bool wrap) {
  auto& s = profiles_[static_cast<std::size_t>(active_)].settings;
  auto step = [&](int v) {
    v = std::clamp(v, 1, 10) + direction;
    return wrap ? (v > 10 ? 1 : v < 1 ? 10 : v) : std::clamp(v, 1, 10);
  };
  const int x = step(s[kSensitivityX]);
  const int y = s[kXYSynchronous] ? x : step(s[kSensitivityY]);
  if (x == s[kSensitivityX] && y == s[kSensitivityY]) return;
  s[kSensitivityX] = static_cast<std::uint8_t>(x);
  s[kSensitivityY] = static_cast<std::uint8_t>(y);
  memoryChanged_ = true;
  Post(kTypeSensitivity | static_cast<std::uint32_t>(y << 8) | static_cast<std::uint32_t>(x));
}

Refusal VirtualMouse::Tilt(bool left) {
  if (!plugged_) return "unplugged";
  Post(kTypeTilt | (left ? kTiltLeft : kTiltRight));
  return {};
}

Refusal VirtualMouse::Event(std::uint32_t code) {
  if (!plugged_) return "unplugged";
  Post(code);
  return {};
}

void VirtualMouse::Unplug() {
  plugged_ = false;
  featureOpen_ = false;
  held_ = {};
  if (sink_) sink_->DevicePresence(false);
}

void VirtualMouse::Plug() {
  plugged_ = true;
  if (sink_) sink_->DevicePresence(true);
}

std::string VirtualMouse::StateJson() const {
  JsonWriter w;
  w.BeginObject();
  w.Member("active", active_).Member("hostMode", hostMode_).Member("firmware", int{kFirmwareVersion});
  w.Key("plugged").Bool(plugged_);
  w.Key("profiles").BeginArray();
  for (const auto& p : profiles_) {
    // The fields as the monitor reads them out of report 6.
    const auto& s = p.settings;
    const bool multicolour = s[kColorA] == 0;
    w.BeginObject();
    w.Member("XYSynchronous", int{s[kXYSynchronous]});
    w.Member("Sensitivity_X", int{s[kSensitivityX]});
    w.Member("Sensitivity_Y", int{s[kSensitivityY]});
    w.Key("dpi").BeginArray();
    for (int i = 0; i < kDpiLevels; ++i) w.Int((s[kDpiMask] >> i) & 1);
    w.EndArray();
    w.Member("Cpi_X", int{s[kCpi]}).Member("Cpi_Y", int{s[kCpi]});
    w.Member("PollingRate", int{s[kPollingRate]});
    w.Member("LightSwitch", int{s[kLightSwitch]}).Member("LightType", int{s[kLightType]});
    w.Member("ColorFlag", multicolour ? 1 : 0);
    w.Member("ColorOptions", multicolour ? 1 : s[kColorA] - 1);
    w.Member("ColorChangeMode", multicolour ? int{s[kColorB]} : 0);
    w.Member("Orientation", int{s[kOrientation]});
    w.Key("buttons").BeginArray();
    for (auto code : p.buttons) w.Int(code);
    w.EndArray();
    w.EndObject();
  }
  w.EndArray();
  w.EndObject();
  return w.str();
}

}  // namespace sarn::vmouse
