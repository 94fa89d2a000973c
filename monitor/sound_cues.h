// Spoken cues: numbers, files and where they lie; the messages to the on-screen display program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/messages.h"  // the display window's title and messages
#include "common/profile_record.h"

namespace sarn {

enum SoundCue : int {
  kCueGo = 0,
  kCueTenSeconds = 10,
  kCueTimerStopped = 18,
  kCueTimerActivated = 19,
  kCueDpiBase = 20,      // + the DPI level code (1, 2, 4, 7)
  kCueSensitivityUp = 30,
  kCueSensitivityDown = 31,
  kCueProfileBase = 40,  // + the slot 0..4
  kCueWindowsProfile = 45,
};

// The file of a cue; empty for numbers without one.
[[nodiscard]] const char* SoundCueFile(int cue);
// Volume step 0..4 from SoundVolume: anything out of range counts as the loudest.
[[nodiscard]] int VolumeStep(int soundVolume);
// programFolder\Wave\Volume-<step>\<file>; empty when the cue has no file.
[[nodiscard]] std::filesystem::path SoundCuePath(const std::filesystem::path& programFolder, int cue, int soundVolume);

// Titles of the display program's other windows (its main window's title is in common/messages.h).
inline constexpr const char* kOsdPop3Title = "ZORVAN Sarn[+] Mouse Pop3";
inline constexpr const char* kOsdCpuRamTitle = "ZORVAN Sarn[+] Mouse CPU RAM";
inline constexpr const char* kOsdSkypeTitle = "ZORVAN Sarn[+] Mouse OSD SKYPE";

// lParam of OsdSettings: the low 16 bits of each forwarded word, A high, B low.
[[nodiscard]] std::uint32_t OsdSettingsParam(const NotificationSettings& settings);

// A notification text arrives as exactly 151 bytes; the text is what follows byte 0, at most 150 bytes,
// ending at the first NUL, CR or LF (a text may never carry a line into the settings file).
inline constexpr std::size_t kCopyDataTextSize = 151;
// False when the size is not 151 (nothing is to be stored).
[[nodiscard]] bool NotificationTextFromCopyData(const void* data, std::size_t size, std::string& text);

}  // namespace sarn
