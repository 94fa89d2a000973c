#include "common/shared_block.h"

#include <cstring>

namespace sarn {

bool DeviceSettingsDiffer(const ProfileRecord& a, const ProfileRecord& b) {
  return a.HDDKeyboard != b.HDDKeyboard || a.Orientation != b.Orientation || a.XYSynchronous != b.XYSynchronous ||
         a.Sensitivity_X != b.Sensitivity_X || a.Sensitivity_Y != b.Sensitivity_Y ||
         std::memcmp(a.dpi, b.dpi, sizeof a.dpi) != 0 || a.Cpi_X != b.Cpi_X || a.Cpi_Y != b.Cpi_Y ||
         a.XYCpiFlag != b.XYCpiFlag || a.PollingRate != b.PollingRate || a.LightSwitch != b.LightSwitch ||
         a.LightType != b.LightType || a.ColorFlag != b.ColorFlag || a.ColorOptions != b.ColorOptions ||
         a.ColorChangeMode != b.ColorChangeMode || a.BTOption != b.BTOption;
}

void ComputeChangeFlags(SharedBlock& w, const SharedBlock& last) {
  w.SettingsChanged = (w.CurrentProfile != last.CurrentProfile || w.SoundProfile != last.SoundProfile ||
                       w.SoundDpi != last.SoundDpi || w.SoundSens != last.SoundSens ||
                       w.SoundVolume != last.SoundVolume)
                          ? 1
                          : 0;
  for (int p = 0; p < kProfileCount; ++p) {
    w.ProfileChanged[p] = DeviceSettingsDiffer(w.profiles[p], last.profiles[p]) ? 1 : 0;
  }
}

void ClearChangeFlags(SharedBlock& block) {
  std::memset(block.ButtonChanged, 0, sizeof block.ButtonChanged);
  std::memset(block.ProfileChanged, 0, sizeof block.ProfileChanged);
  block.SettingsChanged = 0;
}

}  // namespace sarn
