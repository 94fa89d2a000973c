// The virtual mouse: an emulation of the mouse's firmware on the far side of the library boundary.
// It keeps five on-board profiles, answers every feature report as the mouse does, and turns physical
// inputs (B1..B9 and the wheel tilt) into what the mouse does with them: a change of its own state that it
// reports to the host, or a button event for a function only the host can carry out.
//
// Event mapping (one table, HostEventType in virtual_mouse.cpp):
//   (type in the high 16 bits of the code, value in the low 16 bits)
//   code 48 macro  → 0x4000 | state << 8 | slot     code 5 shortcut  → 0x5000 | …
//   code 49 timer  → 0x8000 | …                     code 50 stop     → 0x9000 | …
//   code 15 launch → 0x6000 | …                     codes 32..39     → 0xF000 | state << 8 | code
//   code 9, tilt left → 0x1000 | 255 (on press)     code 10, tilt right → 0x1000 | 1
//   profile 16/17/18 → 0x3000 | new slot 1..5; DPI 11/20/21/22 → 0xB000 | level code;
//   sensitivity 23/24/25 → 0xC000 | Y << 8 | X; each only when the value changed.
//   Wheel combinations: while an input holding 66 (sensitivity), 67 (profile), 68 (DPI) or 69 (volume) is
//   held, the wheel (B8 up, B9 down) steps that quantity instead of scrolling; volume as keys 38/39.
//   slot is 1..18 (the shift layer included), state 0 = pressed, 1 = released. Plain mouse functions
//   (click, menu, scrolling, browser buttons, disabled) send nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sarn {
class IniDocument;
}

namespace sarn::vmouse {

inline constexpr int kProfiles = 5;
inline constexpr int kSlots = 18;
inline constexpr int kInputs = 9;
inline constexpr std::uint8_t kFirmwareVersion = 128;  // 1.28
inline constexpr std::uint8_t kShiftCode = 65;

// Where the mouse's events go (the DLL posts them as window messages; tests record them).
class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void DeviceEvent(std::uint32_t code) = 0;
  virtual void DevicePresence(bool attached) = 0;
};

// One on-board profile: the device settings as report 6 carries them (bytes 3..13) and the 18 codes.
struct OnBoardProfile {
  std::array<std::uint8_t, 11> settings{};
  std::array<std::uint8_t, kSlots> buttons{};
  bool operator==(const OnBoardProfile&) const = default;
};

// Indices into OnBoardProfile::settings (report byte − 3).
enum SettingByte : int {
  kXYSynchronous = 0, kSensitivityX, kSensitivityY, kDpiMask, kCpi, kPollingRate, kLightSwitch, kLightType,
  kColorA, kColorB, kOrientation,
};

// Result of a control action: empty = done, else the reason it was refused.
using Refusal = std::string;

class VirtualMouse {
 public:
  explicit VirtualMouse(EventSink* sink = nullptr);

  // Factory content: the default profiles, profile 1 active, host mode off.
  void FactoryReset();
  [[nodiscard]] const OnBoardProfile& Profile(int slot) const { return profiles_[slot]; }
  [[nodiscard]] int Active() const { return active_; }
  [[nodiscard]] int HostMode() const { return hostMode_; }
  [[nodiscard]] bool Plugged() const { return plugged_; }
  [[nodiscard]] bool FeatureOpen() const { return featureOpen_; }
  void SetProfile(int slot, const OnBoardProfile& profile) { profiles_[slot] = profile; }

  // The library side. Feature reports need the channel open and the mouse plugged in.
  int OpenFeature();
  void CloseFeature() { featureOpen_ = false; }
  int SetFeature(const std::uint8_t* buffer, int length);
  int GetFeature(std::uint8_t* buffer, int length);

  // Physical side.
  Refusal Press(int input);
  Refusal Release(int input);
  Refusal Click(int input);
  Refusal Tilt(bool left);
  Refusal Event(std::uint32_t code);
  void Unplug();
  void Plug();
  void Busy(int polls) { busyPolls_ = polls; }
  void Fail() { failNext_ = true; }
  void Corrupt() { corruptNext_ = true; }

  // {"active","hostMode","firmware","plugged","profiles":[{report-6 fields by record name, "dpi", "buttons"}]}
  [[nodiscard]] std::string StateJson() const;

  // On-board memory changed since the last call (the DLL then saves it).
  bool TakeMemoryChanged();
  void Save(IniDocument& document) const;
  // Values that are missing or damaged keep what the mouse holds (factory content on a fresh mouse).
  // Host mode is not kept: the monitor sets it after every full read.
  void Load(const IniDocument& document);

 private:
  struct Held {
    bool down = false;
    int slot = 0;  // 1..18; 0 = consumed by a wheel combination
    std::uint8_t code = 0;
  };
  void Post(std::uint32_t code);
  void PressSlot(int slot, std::uint8_t code);
  void ReleaseSlot(int slot, std::uint8_t code);
  void StepProfile(int direction, bool wrap);
  void StepDpi(int direction, bool wrap);
  void StepSensitivity(int direction, bool wrap);
  void Accept(bool ok);

  EventSink* sink_;
  std::array<OnBoardProfile, kProfiles> profiles_{};
  int active_ = 0;
  int hostMode_ = 0;
  bool plugged_ = true;
  bool featureOpen_ = false;
  int selectedSlot_ = 0;
  std::uint8_t selectedWhat_ = 0x10;
  std::uint8_t status_ = 1;
  int busyPolls_ = 0;
  bool failNext_ = false;
  bool corruptNext_ = false;
  bool memoryChanged_ = false;
  std::array<Held, kInputs + 1> held_{};  // by input number 1..9
};

// Runs one control command ("press 3", "tilt left", "state", ...) and gives the reply line without its
// line end: "ok", "ok {json}" or "error reason".
std::string ExecuteControlCommand(VirtualMouse& mouse, std::string_view line);

// One line of the report log: "812 SET ok 05 03 02".
std::string FormatReportLogLine(std::int64_t milliseconds, bool set, bool ok, const std::uint8_t* bytes,
                                int length);

}  // namespace sarn::vmouse
