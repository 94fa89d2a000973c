// The on-screen display's own settings: section "OnScreenDisplay" of config.ini, read by the display program at
// start and on ApplyAll, changed by hand or by `sarnctl settings set`. (The 344-byte notification record in
// "OSDSetting"/"config" is another thing and is carried unchanged.) One reader for both, so that a value the
// tool accepts is a value the display uses, and a hand-edited junk value falls back to its default.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/value_range.h"

namespace sarn {

class IniDocument;

inline constexpr const char* kOsdSection = "OnScreenDisplay";

enum class OsdPosition { kTop, kCenter, kBottom };

// Duration 0 means the system's message duration (the accessibility setting users change for every popup).
inline constexpr ValueRange kOsdDurationRange{500, 30000};  // milliseconds, when set
inline constexpr ValueRange kOsdMonitorRange{0, 16};        // 0 = the monitor under the pointer, n = the n-th
inline constexpr std::size_t kOsdHiddenWhileLimit = 32;     // program names; more are ignored

struct OsdSettings {
  bool enabled = true;
  int durationMs = 0;
  OsdPosition position = OsdPosition::kBottom;
  int monitor = 0;
  // Executable names (as "game.exe", compared without case) during which nothing is shown.
  std::vector<std::string> hiddenWhile;
};

// Keys: Enabled 0|1, Duration (ms, 0 = system), Position top|center|bottom, Monitor 0..16, HiddenWhile
// names separated by ';'. A missing or damaged value gives that key's default; never fails.
[[nodiscard]] OsdSettings ReadOsdSettings(const IniDocument& ini);
void WriteOsdSettings(IniDocument& ini, const OsdSettings& settings);

// One KEY=VALUE of the tool, checked as strictly as the reader is lenient: the settings with the key changed,
// or nothing and a message naming the accepted values.
[[nodiscard]] std::optional<OsdSettings> SetOsdSetting(const OsdSettings& settings, std::string_view key,
                                                       std::string_view value, std::string& error);

[[nodiscard]] const char* OsdPositionName(OsdPosition position);

}  // namespace sarn
