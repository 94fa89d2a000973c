#include "common/profile_record.h"

#include <cstdio>
#include <cstring>

namespace sarn {

void InitProfileDefaults(ProfileRecord& r, int slot) {
  // Only the first byte of each text is written: the rest of a field carries no meaning.
  std::snprintf(r.ProFileName, sizeof r.ProFileName, "Default%d", slot + 1);
  r.GameFile0[0] = r.GameFile1[0] = r.GameFile2[0] = '\0';

  r.DbleClickSpeed = 500;
  r.ScrollWheelSpeed = 3;
  r.ScrollWheelFlag = 0;
  r.MouseSpeed = 10;
  r.Acceleration = 10;
  r.AccelerationFlag = 0;
  r.TiltSpeed = 3;
  r.MediaOption = 0;
  r.HDDKeyboard = 1;
  r.Orientation = 0;
  r.XYSynchronous = 1;
  r.Sensitivity_X = 5;
  r.Sensitivity_Y = 5;
  for (auto& flag : r.dpi) flag = 1;
  r.Cpi_X = 2;
  r.Cpi_Y = 2;
  r.XYCpiFlag = 1;
  r.PollingRate = 3;
  r.LightSwitch = 1;
  r.LightType = 1;
  r.ColorFlag = 1;
  r.ColorOptions = 0;
  r.ColorChangeMode = 0;
  r.BTOption = 0;

  std::memset(r.MacroKeyInfo, 0, sizeof r.MacroKeyInfo);
  for (int b = 0; b < kButtonCount; ++b) {
    r.MacroKeyInfo[b].buttonIndex = static_cast<std::uint8_t>(b);
    r.MacroKeyInfo[b].functionCode = DefaultButtonCodes[b];
  }
}

void ResetSettings(SharedBlock& block, const LanguageSource& language) {
  block.CurrentProfile = 0;
  block.WindowsProfile = -1;
  block.QuickHelpLan = language ? language() : 1;
  block.SoundProfile = 1;
  block.SoundDpi = 1;
  block.SoundSens = 1;
  block.SoundVolume = 2;
  for (int i = 0; i < kProfileCount; ++i) InitProfileDefaults(block.profiles[i], i);
}

void ClearSharedBlock(SharedBlock& block) {
  block.CurrentProfile = -1;
  std::memset(block.profiles, 0, sizeof block.profiles);
  block.MouseType = 0;
  std::memset(block.ButtonChanged, 0, sizeof block.ButtonChanged);
  std::memset(block.ProfileChanged, 0, sizeof block.ProfileChanged);
  block.SettingsChanged = 0;
}

void ResetNotificationSettings(NotificationSettings& s) {
  for (auto& option : s.options) option = 0;
  s.osdWordA = 0;
  s.osdWordB = 0;
  s.mailServer[0] = '\0';
  s.mailPort = 110;
  s.mailUser[0] = '\0';
  s.mailPassword[0] = '\0';
  s.checkInterval = 5;
}

void CopyTextField(char* field, std::size_t size, const char* text) {
  if (size == 0) return;
  std::size_t n = 0;
  if (text != nullptr) {
    while (n + 1 < size && text[n] != '\0') ++n;
    std::memcpy(field, text, n);
  }
  field[n] = '\0';
}

std::size_t TextFieldLength(const char* field, std::size_t size) {
  const void* end = std::memchr(field, '\0', size);
  return end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : size;
}

}  // namespace sarn
