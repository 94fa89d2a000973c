#include "monitor/windows_settings.h"

#include <cstdlib>
#include <memory>

namespace sarn {
namespace {

// Decimal text as atoi reads it: a missing value or junk gives 0.
int TextToInt(const std::string& text) { return std::atoi(text.c_str()); }

}  // namespace

void ApplyWindowsSettings(ProfileRecord& p, RegistryPort* registry, SystemMouseSettings& system) {
  system.SetDoubleClickTime(p.DbleClickSpeed);

  std::unique_ptr<RegistryKey> key = registry ? registry->OpenOrCreate(kMouseKeyPath) : nullptr;
  std::string speed, threshold2, threshold1;
  if (key) {
    (void)key->ReadText("MouseSpeed", speed);
    (void)key->ReadText("MouseThreshold2", threshold2);
    (void)key->ReadText("MouseThreshold1", threshold1);
  }
  int acceleration = TextToInt(speed);
  int t2 = TextToInt(threshold2);
  int t1 = TextToInt(threshold1);
  if (p.AccelerationFlag != 1 && (acceleration != 0 || t2 != 0 || t1 != 0)) {
    p.Acceleration = 0;
    acceleration = t2 = t1 = 0;
    if (key) {
      (void)key->WriteText("MouseSpeed", "0");
      (void)key->WriteText("MouseThreshold2", "0");
      (void)key->WriteText("MouseThreshold1", "0");
    }
  }
  system.SetMouse(t1, t2, acceleration);
  system.SetMouseSpeed(p.MouseSpeed);
  system.SetWheelScrollLines(p.ScrollWheelFlag != 0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(p.ScrollWheelSpeed));
  system.SetWheelScrollChars(p.TiltSpeed);
}

}  // namespace sarn
