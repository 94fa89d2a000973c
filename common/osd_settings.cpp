#include "common/osd_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "common/private_profile.h"

namespace sarn {
namespace {

std::string Trimmed(std::string_view text) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  while (!text.empty() && blank(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && blank(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return std::string(text);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::optional<int> WholeNumber(std::string_view text) {
  const std::string t = Trimmed(text);
  int value = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
  return value;
}

std::optional<OsdPosition> PositionNamed(std::string_view text) {
  const std::string t = Lower(Trimmed(text));
  for (OsdPosition p : {OsdPosition::kTop, OsdPosition::kCenter, OsdPosition::kBottom}) {
    if (t == OsdPositionName(p)) return p;
  }
  return std::nullopt;
}

std::optional<int> Duration(std::string_view text) {
  const auto v = WholeNumber(text);
  if (!v || (*v != 0 && (*v < kOsdDurationRange.min || *v > kOsdDurationRange.max))) return std::nullopt;
  return v;
}

std::optional<int> Monitor(std::string_view text) {
  const auto v = WholeNumber(text);
  if (!v || *v < kOsdMonitorRange.min || *v > kOsdMonitorRange.max) return std::nullopt;
  return v;
}

std::optional<bool> Switch(std::string_view text) {
  const auto v = WholeNumber(text);
  if (!v || (*v != 0 && *v != 1)) return std::nullopt;
  return *v == 1;
}

// Names are cut at ';', trimmed and lower-cased; empty ones and those past the limit are dropped.
std::vector<std::string> ProgramNames(std::string_view text) {
  std::vector<std::string> names;
  while (!text.empty() && names.size() < kOsdHiddenWhileLimit) {
    const std::size_t cut = text.find(';');
    std::string name = Lower(Trimmed(text.substr(0, cut)));
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    if (cut == std::string_view::npos) break;
    text.remove_prefix(cut + 1);
  }
  return names;
}

std::string JoinedNames(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ";") + name;
  return text;
}

}  // namespace

const char* OsdPositionName(OsdPosition position) {
  switch (position) {
    case OsdPosition::kTop: return "top";
    case OsdPosition::kCenter: return "center";
    case OsdPosition::kBottom: return "bottom";
  }
  return "bottom";
}

OsdSettings ReadOsdSettings(const IniDocument& ini) {
  OsdSettings s;
  const auto get = [&](const char* key) { return ini.GetString(kOsdSection, key, ""); };
  if (const auto v = Switch(get("Enabled"))) s.enabled = *v;
  if (const auto v = Duration(get("Duration"))) s.durationMs = *v;
  if (const auto v = PositionNamed(get("Position"))) s.position = *v;
  if (const auto v = Monitor(get("Monitor"))) s.monitor = *v;
  s.hiddenWhile = ProgramNames(get("HiddenWhile"));
  return s;
}

void WriteOsdSettings(IniDocument& ini, const OsdSettings& s) {
  ini.SetInt(kOsdSection, "Enabled", s.enabled ? 1 : 0);
  ini.SetInt(kOsdSection, "Duration", s.durationMs);
  ini.SetString(kOsdSection, "Position", OsdPositionName(s.position));
  ini.SetInt(kOsdSection, "Monitor", s.monitor);
  ini.SetString(kOsdSection, "HiddenWhile", JoinedNames(s.hiddenWhile));
}

std::optional<OsdSettings> SetOsdSetting(const OsdSettings& settings, std::string_view key, std::string_view value,
                                         std::string& error) {
  OsdSettings s = settings;
  const auto refuse = [&](const char* why) -> std::optional<OsdSettings> {
    error = why;
    return std::nullopt;
  };
  const std::string k = Lower(Trimmed(key));
  if (k == "enabled") {
    const auto v = Switch(value);
    if (!v) return refuse("Enabled takes 0 or 1");
    s.enabled = *v;
  } else if (k == "duration") {
    const auto v = Duration(value);
    if (!v) return refuse("Duration takes 0 (the system's message duration) or 500..30000 ms");
    s.durationMs = *v;
  } else if (k == "position") {
    const auto v = PositionNamed(value);
    if (!v) return refuse("Position takes top, center or bottom");
    s.position = *v;
  } else if (k == "monitor") {
    const auto v = Monitor(value);
    if (!v) return refuse("Monitor takes 0 (the one under the pointer) or 1..16");
    s.monitor = *v;
  } else if (k == "hiddenwhile") {
    s.hiddenWhile = ProgramNames(value);
  } else {
    return refuse("unknown key: Enabled, Duration, Position, Monitor or HiddenWhile");
  }
  return s;
}

}  // namespace sarn
