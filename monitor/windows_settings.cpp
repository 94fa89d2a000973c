#include "monitor/windows_settings.h"

#include <cstdlib>
#include <memory>

#include "common/value_range.h"

namespace sarn {
namespace {

// Decimal text as atoi reads it: a missing value or junk gives 0.
int TextToInt(const std::string& text) { return std::atoi(text.c_str()); }

}  // namespace

void ApplyWindowsSettings(ProfileRecord& p, RegistryPort* registry, SystemMouseSettings& system) {
  // Every number below comes from a file, the shared block or the registry; the system takes it as it is.
  system.SetDoubleClickTime(Clamped(p.DbleClickSpeed, kDoubleClickSpeedRange));

  std::unique_ptr<RegistryKey> key = registry ? registry->OpenOrCreate(kMouseKeyPath) : nullptr;
  std::string speed, threshold2, threshold1;
  if (key) {
    (void)key->ReadText("MouseSpeed", speed);
    (void)key->ReadText("MouseThreshold2", threshold2);
    (void)key->ReadText("MouseThreshold1", threshold1);
  }
  int acceleration = Clamped(TextToInt(speed), kSystemAccelerationRange);
  int t2 = Clamped(TextToInt(threshold2), kMouseThresholdRange);
  int t1 = Clamped(TextToInt(threshold1), kMouseThresholdRange);
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
  system.SetMouseSpeed(Clamped(p.MouseSpeed, kMouseSpeedRange));
  system.SetWheelScrollLines(p.ScrollWheelFlag != 0
                                 ? 0xFFFFFFFFu
                                 : static_cast<std::uint32_t>(Clamped(p.ScrollWheelSpeed, kScrollWheelSpeedRange)));
  system.SetWheelScrollChars(Clamped(p.TiltSpeed, kTiltSpeedRange));
}

}  // namespace sarn
