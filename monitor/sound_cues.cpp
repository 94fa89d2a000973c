#include "monitor/sound_cues.h"

#include <cstdio>

namespace sarn {

const char* SoundCueFile(int cue) {
  switch (cue) {
    case 0: return "go.wav";
    case 1: return "1.wav";
    case 2: return "2.wav";
    case 3: return "3.wav";
    case 4: return "4.wav";
    case 5: return "5.wav";
    case 10: return "10_seconds.wav";
    case 18: return "timer_stopped.wav";
    case 19: return "timer_activated.wav";
    case 21: return "400_dpi.wav";
    case 22: return "800_dpi.wav";
    case 24: return "1600_dpi.wav";
    case 27: return "3200_dpi.wav";
    case 30: return "sens_up.wav";
    case 31: return "sens_down.wav";
    case 40: return "profile_one.wav";
    case 41: return "profile_two.wav";
    case 42: return "profile_three.wav";
    case 43: return "profile_four.wav";
    case 44: return "profile_five.wav";
    case 45: return "windows_profile.wav";
    default: return "";
  }
}

int VolumeStep(int soundVolume) { return soundVolume < 0 || soundVolume > 4 ? 4 : soundVolume; }

std::filesystem::path SoundCuePath(const std::filesystem::path& programFolder, int cue, int soundVolume) {
  const std::string_view file = SoundCueFile(cue);
  if (file.empty()) return {};
  char volume[16];
  std::snprintf(volume, sizeof volume, "Volume-%d", VolumeStep(soundVolume));
  return programFolder / "Wave" / volume / file;
}

std::uint32_t OsdSettingsParam(const NotificationSettings& s) {
  return (static_cast<std::uint32_t>(s.osdWordA) & 0xFFFFu) << 16 | (static_cast<std::uint32_t>(s.osdWordB) & 0xFFFFu);
}

bool NotificationTextFromCopyData(const void* data, std::size_t size, std::string& text) {
  if (size != kCopyDataTextSize || data == nullptr) return false;
  const char* bytes = static_cast<const char*>(data) + 1;
  std::size_t n = 0;
  while (n < kCopyDataTextSize - 1 && bytes[n] != '\0' && bytes[n] != '\r' && bytes[n] != '\n') ++n;
  text.assign(bytes, n);
  return true;
}

}  // namespace sarn
