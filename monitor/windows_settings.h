// Pushes the active profile's pointer settings into the running Windows session.
#pragma once

#include <cstdint>
#include <string>

#include "common/profile_record.h"
#include "common/registry.h"

namespace sarn {

// The system calls that make the settings take effect, each followed by its change notification.
class SystemMouseSettings {
 public:
  virtual ~SystemMouseSettings() = default;
  virtual void SetDoubleClickTime(int milliseconds) = 0;
  // Acceleration thresholds and level, in the order the system takes them.
  virtual void SetMouse(int threshold1, int threshold2, int acceleration) = 0;
  virtual void SetMouseSpeed(int speed) = 0;
  // 0xFFFFFFFF scrolls a page per notch.
  virtual void SetWheelScrollLines(std::uint32_t lines) = 0;
  virtual void SetWheelScrollChars(int characters) = 0;
};

// Applies `profile`. Without acceleration any acceleration left in the registry is switched off there too
// (and the profile's level becomes 0); with it, the registry's values are used as they are.
void ApplyWindowsSettings(ProfileRecord& profile, RegistryPort* registry, SystemMouseSettings& system);

#if defined(_WIN32)
// SystemParametersInfo, then WM_SETTINGCHANGE to every window without waiting for any (a hung program must
// not hold the monitor), own-window WM_SETTINGCHANGE for the pointer and a posted one more for the wheel
// (window may be null).
class Win32SystemMouseSettings final : public SystemMouseSettings {
 public:
  explicit Win32SystemMouseSettings(void* ownWindow) : window_(ownWindow) {}
  void SetDoubleClickTime(int milliseconds) override;
  void SetMouse(int threshold1, int threshold2, int acceleration) override;
  void SetMouseSpeed(int speed) override;
  void SetWheelScrollLines(std::uint32_t lines) override;
  void SetWheelScrollChars(int characters) override;

 private:
  void* window_;
};
#endif

}  // namespace sarn
