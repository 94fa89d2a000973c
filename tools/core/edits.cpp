#include "tools/core/edits.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <memory>

#include "common/keys.h"
#include "common/name_match.h"
#include "common/profile_file.h"
#include "common/settings_file.h"
#include "common/text_encoding.h"

namespace sarnctl {

namespace {

constexpr const char* kStateSection = "sarnctl";
constexpr std::string_view kOsdPrefix = "Osd";

bool ParseInt(const std::string& text, std::int64_t& value) {
  std::string_view s = text;
  int base = 10;
  bool negative = false;
  if (!s.empty() && s[0] == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return false;
  std::int64_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  value = negative ? -v : v;
  return true;
}

bool SplitAssignment(const std::string& word, std::string& key, std::string& value, Problems& problems) {
  const auto eq = word.find('=');
  if (eq == std::string::npos || eq == 0) {
    problems.push_back(word + ": expected KEY=VALUE");
    return false;
  }
  key = word.substr(0, eq);
  value = word.substr(eq + 1);
  return true;
}

bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::size_t Utf8Characters(const std::string& s) {
  return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// Problems after an edit that were not there before it.
void KeepNew(const Problems& before, const Problems& after, Problems& problems) {
  for (const auto& p : after) {
    if (std::find(before.begin(), before.end(), p) == before.end()) problems.push_back(p);
  }
}

void CheckHeader(const sarn::ProfileRecord& p, Problems& problems) {
  // The buttons are not this edit's business: checked on a copy with default buttons.
  auto copy = std::make_unique<sarn::ProfileRecord>(p);
  for (int b = 0; b < sarn::kButtonCount; ++b) sarn::DefaultButtonSlot(copy->MacroKeyInfo[b], b);
  CheckProfile(*copy, "", problems);
}

}  // namespace

void SetProfileFields(sarn::ProfileRecord& profile, const std::vector<std::string>& assignments, Problems& problems) {
  auto edited = std::make_unique<sarn::ProfileRecord>(profile);
  const std::size_t before = problems.size();
  for (const std::string& word : assignments) {
    std::string key, value;
    if (!SplitAssignment(word, key, value, problems)) continue;
    struct Text {
      const char* key;
      char* field;
      std::size_t size;
    };
    const Text texts[] = {{"ProFileName", edited->ProFileName, sizeof edited->ProFileName},
                          {"GameFile0", edited->GameFile0, sizeof edited->GameFile0},
                          {"GameFile1", edited->GameFile1, sizeof edited->GameFile1},
                          {"GameFile2", edited->GameFile2, sizeof edited->GameFile2}};
    bool done = false;
    for (const Text& t : texts) {
      if (!SameWord(key, t.key)) continue;
      done = true;
      Problems local;
      CheckKeyText(value, t.size - 1, t.key, local);
      // The profile dialog takes at most 20 characters for a name.
      if (t.field == edited->ProFileName && Utf8Characters(value) > 20) local.push_back("ProFileName: at most 20 characters");
      if (local.empty()) sarn::CopyTextField(t.field, t.size, sarn::Utf8ToAnsi(value).c_str());
      problems.insert(problems.end(), local.begin(), local.end());
    }
    if (done) continue;
    std::int64_t number = 0;
    const bool numeric = ParseInt(value, number) && number >= INT32_MIN && number <= INT32_MAX;
    const auto setInt = [&](std::int32_t& field) {
      if (!numeric) problems.push_back(key + ": '" + value + "' is not a whole number");
      else field = static_cast<std::int32_t>(number);
    };
    for (const auto& k : sarn::kIntsBeforeDpi) {
      if (SameWord(key, k.key)) {
        setInt(edited.get()->*k.field);
        done = true;
      }
    }
    for (const auto& k : sarn::kIntsAfterDpi) {
      if (SameWord(key, k.key)) {
        setInt(edited.get()->*k.field);
        done = true;
      }
    }
    for (int i = 0; i < sarn::kDpiLevels && !done; ++i) {
      if (!SameWord(key, "dpi" + std::to_string(i))) continue;
      done = true;
      if (!numeric || number < 0 || number > 1) problems.push_back(key + ": must be 0 or 1");
      else edited->dpi[i] = static_cast<std::uint8_t>(number);
    }
    if (!done) problems.push_back(key + ": no such profile field (see sarnctl profile --help)");
  }
  Problems was, now;
  CheckHeader(profile, was);
  CheckHeader(*edited, now);
  KeepNew(was, now, problems);
  if (problems.size() == before) profile = *edited;
}

namespace {

// The display drops names past its limit and reads at most this much of a value: a longer list would come
// back shorter than it was set, one name cut in the middle.
constexpr std::size_t kIniValueLimit = 2047;

bool HiddenWhileFits(std::string_view value) {
  std::size_t names = 0;
  std::size_t length = 0;
  for (std::size_t start = 0; start <= value.size();) {
    const std::size_t cut = std::min(value.find(';', start), value.size());
    std::string_view name = value.substr(start, cut - start);
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front()))) name.remove_prefix(1);
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.remove_suffix(1);
    if (!name.empty()) {
      ++names;
      length += name.size() + (names > 1 ? 1 : 0);
    }
    start = cut + 1;
  }
  return names <= sarn::kOsdHiddenWhileLimit && length <= kIniValueLimit;
}

}  // namespace

bool IsOsdAssignment(const std::string& word) {
  return word.size() >= 3 && SameWord(std::string_view(word).substr(0, 3), kOsdPrefix);
}

void SetOsdFields(sarn::OsdSettings& settings, const std::vector<std::string>& assignments,
                  std::vector<std::string>& named, Problems& problems) {
  constexpr const char* kKeys[] = {"Enabled", "Duration", "Position", "Monitor", "HiddenWhile"};
  sarn::OsdSettings edited = settings;
  const std::size_t before = problems.size();
  for (const std::string& word : assignments) {
    std::string key, value;
    if (!SplitAssignment(word, key, value, problems)) continue;
    const std::string inner = key.substr(std::min<std::size_t>(key.size(), 3));
    const char* sectionKey = nullptr;
    for (const char* k : kKeys) {
      if (SameWord(inner, k)) sectionKey = k;
    }
    if (!IsOsdAssignment(key) || sectionKey == nullptr) {
      problems.push_back(key + ": no such setting (see sarnctl settings --help)");
      continue;
    }
    std::string error;
    if (SameWord(inner, "HiddenWhile") && !HiddenWhileFits(value)) {
      problems.push_back(key + ": refused: at most " + std::to_string(sarn::kOsdHiddenWhileLimit) +
                         " program names and " + std::to_string(kIniValueLimit) + " characters in all");
    } else if (auto changed = sarn::SetOsdSetting(edited, sectionKey, value, error)) {
      edited = std::move(*changed);
      if (std::find(named.begin(), named.end(), sectionKey) == named.end()) named.emplace_back(sectionKey);
    } else {
      // "Duration takes ..." reads as "OsdDuration: takes ..." under the name the user typed.
      const std::string own = std::string(sectionKey) + " ";
      if (error.rfind(own, 0) == 0) error.erase(0, own.size());
      problems.push_back(key + ": '" + value + "' refused: " + error);
    }
  }
  if (problems.size() == before) settings = std::move(edited);
}

void SetSettingFields(sarn::SharedBlock& block, const std::vector<std::string>& assignments, Problems& problems) {
  struct Setting {
    const char* key;
    std::int32_t sarn::SharedBlock::*field;
    int offset;  // what the user types minus what is stored (slots are numbered from 1)
  };
  constexpr Setting kSettable[] = {
      {"CurrentProfile", &sarn::SharedBlock::CurrentProfile, 1}, {"WindowsProfile", &sarn::SharedBlock::WindowsProfile, 1},
      {"QuickHelpLan", &sarn::SharedBlock::QuickHelpLan, 0},     {"SoundProfile", &sarn::SharedBlock::SoundProfile, 0},
      {"SoundDpi", &sarn::SharedBlock::SoundDpi, 0},             {"SoundSens", &sarn::SharedBlock::SoundSens, 0},
      {"SoundVolume", &sarn::SharedBlock::SoundVolume, 0},
  };
  auto edited = std::make_unique<sarn::SharedBlock>(block);
  const std::size_t before = problems.size();
  for (const std::string& word : assignments) {
    std::string key, value;
    if (!SplitAssignment(word, key, value, problems)) continue;
    const Setting* setting = nullptr;
    for (const Setting& s : kSettable) {
      if (SameWord(key, s.key)) setting = &s;
    }
    std::int64_t number = 0;
    if (setting == nullptr) {
      problems.push_back(key + ": no such setting (see sarnctl settings --help)");
    } else if (!ParseInt(value, number) || number < INT32_MIN + 1 || number > INT32_MAX) {
      problems.push_back(key + ": '" + value + "' is not a whole number");
    } else if (setting->field == &sarn::SharedBlock::WindowsProfile && number == 0) {
      edited.get()->*setting->field = -1;  // 0: no slot carries the mark
    } else {
      edited.get()->*setting->field = static_cast<std::int32_t>(number - setting->offset);
    }
  }
  Problems was, now;
  CheckSettings(block, "", was);
  CheckSettings(*edited, "", now);
  // Slot numbers as the user typed them.
  for (auto& p : now) {
    if (p.rfind("CurrentProfile:", 0) == 0) p = "CurrentProfile: the slot is 1..5";
    if (p.rfind("WindowsProfile:", 0) == 0) p = "WindowsProfile: the slot is 1..5, or 0 for none";
  }
  for (auto& p : was) {
    if (p.rfind("CurrentProfile:", 0) == 0) p = "CurrentProfile: the slot is 1..5";
    if (p.rfind("WindowsProfile:", 0) == 0) p = "WindowsProfile: the slot is 1..5, or 0 for none";
  }
  KeepNew(was, now, problems);
  if (problems.size() == before) block = *edited;
}

int ParseButton(const std::string& word) {
  std::string_view s = word;
  if (!s.empty() && (s[0] == 'B' || s[0] == 'b')) s.remove_prefix(1);
  int n = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty() || n < 1 || n > sarn::kButtonCount) return -1;
  return n - 1;
}

std::vector<FunctionName> FunctionNames() {
  return {
      {"click", sarn::kFnClick},
      {"menu", sarn::kFnMenu},
      {"universal-scroll", sarn::kFnUniversalScroll},
      {"double-click", sarn::kFnDoubleClick},
      {"shortcut", sarn::kFnShortcut},
      {"disabled", sarn::kFnDisabled},
      {"browser-forward", sarn::kFnBrowserForward},
      {"browser-back", sarn::kFnBrowserBack},
      {"tilt-left", sarn::kFnTiltLeft},
      {"tilt-right", sarn::kFnTiltRight},
      {"scroll-up", sarn::kFnScrollUp},
      {"scroll-down", sarn::kFnScrollDown},
      {"program", sarn::kFnLaunchProgram},
      {"profile-cycle", sarn::kFnProfileCycle},
      {"profile-up", sarn::kFnProfileUp},
      {"profile-down", sarn::kFnProfileDown},
      {"dpi-cycle", sarn::kFnDpiCycle},
      {"dpi-up", sarn::kFnDpiUp},
      {"dpi-down", sarn::kFnDpiDown},
      {"sensitivity-cycle", sarn::kFnSensitivityCycle},
      {"sensitivity-up", sarn::kFnSensitivityUp},
      {"sensitivity-down", sarn::kFnSensitivityDown},
      {"open-player", sarn::kFnOpenPlayer},
      {"previous-track", sarn::kFnPreviousTrack},
      {"next-track", sarn::kFnNextTrack},
      {"play-pause", sarn::kFnPlayPause},
      {"stop", sarn::kFnStop},
      {"mute", sarn::kFnMute},
      {"volume-up", sarn::kFnVolumeUp},
      {"volume-down", sarn::kFnVolumeDown},
      {"macro", sarn::kFnMacro},
      {"timer", sarn::kFnTimer},
      {"stop-timer", sarn::kFnStopTimer},
      {"duvex", sarn::kFnDuvex},
      {"tornel-sensitivity", sarn::kFnTornelSensitivity},
      {"tornel-profile", sarn::kFnTornelProfile},
      {"tornel-dpi", sarn::kFnTornelDpi},
      {"tornel-volume", sarn::kFnTornelVolume},
      {"tornel-alt-tab", sarn::kFnTornelAltTab},
      {"tornel-flip-3d", sarn::kFnTornelFlip3D},
  };
}

bool ParseShortcut(const std::string& text, const sarn::KeyboardLayout& layout, std::uint8_t& key,
                   std::uint8_t& modifiers) {
  modifiers = 0;
  std::string_view rest = text;
  // Modifiers come first, each followed by "+"; the last part is the key (which may itself be "+").
  for (;;) {
    const auto plus = rest.find('+');
    if (plus == std::string_view::npos || plus == 0 || plus + 1 >= rest.size()) break;
    const std::string_view word = rest.substr(0, plus);
    if (SameWord(word, "Ctrl") || SameWord(word, "Control")) modifiers |= sarn::kModCtrl;
    else if (SameWord(word, "Shift")) modifiers |= sarn::kModShift;
    else if (SameWord(word, "Alt")) modifiers |= sarn::kModAlt;
    else if (SameWord(word, "Win") || SameWord(word, "Windows")) modifiers |= sarn::kModWin;
    else break;
    rest.remove_prefix(plus + 1);
  }
  if (modifiers == 0) modifiers = sarn::kModNone;
  const std::string name(rest);
  std::int64_t code = 0;
  if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X') && ParseInt(name, code) && code > 0 &&
      code < 256) {
    key = static_cast<std::uint8_t>(code);
    return !sarn::UsageName(key, layout).empty();
  }
  for (int usage = 1; usage < 256; ++usage) {
    const std::string shown = sarn::UsageName(static_cast<std::uint8_t>(usage), layout);
    if (!shown.empty() && SameWord(shown, name)) {
      key = static_cast<std::uint8_t>(usage);
      return true;
    }
  }
  return false;
}

bool AssignButton(sarn::ProfileRecord& profile, int button, const std::vector<std::string>& function,
                  const AssignContext& context, sarn::SavedShiftCodes& saved,
                  std::int32_t (&buttonChanged)[sarn::kButtonCount], std::string& error) {
  if (button < 0 || button >= sarn::kButtonCount) {
    error = "no such button (B1..B18)";
    return false;
  }
  if (function.empty()) {
    error = "no function given";
    return false;
  }
  std::int64_t code = -1;
  for (const FunctionName& f : FunctionNames()) {
    if (SameWord(function[0], f.name)) code = f.code;
  }
  if (code < 0 && (!ParseInt(function[0], code) || code < 0 || code > 255)) {
    error = "unknown function '" + function[0] + "' (see sarnctl button --help)";
    return false;
  }
  const auto c = static_cast<std::uint8_t>(code);
  const std::string name = "B" + std::to_string(button + 1);
  if (!sarn::CanAssign(profile, button, c, context.windowsXpFamily)) {
    if (button < 2) error = name + " is never reassigned";
    else if (profile.MacroKeyInfo[button].functionCode == sarn::kFnUnavailable) error = name + " is unavailable (its shift layer is off)";
    else error = name + " cannot take function " + std::to_string(code);
    return false;
  }
  const auto arguments = [&](std::size_t n, const char* usage) {
    if (function.size() == n + 1) return true;
    error = std::string("usage: ") + function[0] + " " + usage;
    return false;
  };

  sarn::ButtonSlot& slot = profile.MacroKeyInfo[button];
  auto edited = std::make_unique<sarn::ButtonSlot>(slot);
  int mediaOption = -1;
  switch (c) {
    case sarn::kFnShortcut: {
      if (!arguments(1, "KEYS (such as Ctrl+Shift+A)")) return false;
      std::uint8_t key = 0, modifiers = 0;
      if (!ParseShortcut(function[1], context.layout ? *context.layout : sarn::SystemKeyboardLayout(), key, modifiers)) {
        error = "unknown key in '" + function[1] + "'";
        return false;
      }
      sarn::AssignShortcut(*edited, key, modifiers);
      break;
    }
    case sarn::kFnLaunchProgram: {
      if (!arguments(1, "PATH")) return false;
      Problems problems;
      CheckKeyText(function[1], sizeof slot.programPath - 1, "PATH", problems);
      if (!problems.empty()) {
        error = problems.front();
        return false;
      }
      sarn::AssignProgram(*edited, sarn::Utf8ToAnsi(function[1]).c_str());
      break;
    }
    case sarn::kFnTimer: {
      if (!arguments(1, "NAME")) return false;
      const int t = context.timers ? sarn::FindTimerByName(*context.timers, sarn::Utf8ToAnsi(function[1])) : -1;
      if (t < 0) {
        error = "no timer named '" + function[1] + "' (sarnctl timers show)";
        return false;
      }
      const sarn::TimerRecord& timer = *sarn::TimerAt(*context.timers, t);
      sarn::AssignTimer(*edited, timer.value, timer.name);
      break;
    }
    case sarn::kFnMacro: {
      if (!arguments(2, "SET MACRO")) return false;
      const int set = context.macros ? sarn::FindSetByName(*context.macros, sarn::Utf8ToAnsi(function[1])) : -1;
      if (set < 0) {
        error = "no macro set named '" + function[1] + "' (sarnctl macros show)";
        return false;
      }
      const sarn::MacroSet& macros = *sarn::FindSetByIndex(*context.macros, set);
      int found = -1;
      for (std::size_t m = 0; m < macros.macros.size() && found < 0; ++m) {
        const sarn::MacroRecord& r = *macros.macros[m];
        if (sarn::NamesMatch(std::string_view(r.name, sarn::TextFieldLength(r.name)), sarn::Utf8ToAnsi(function[2]))) {
          found = static_cast<int>(m);
        }
      }
      if (found < 0 || sarn::CopyMacroToSlot(*context.macros, set, found, *edited) != 1) {
        error = "no macro named '" + function[2] + "' in set '" + function[1] + "'";
        return false;
      }
      break;
    }
    case sarn::kFnOpenPlayer: {
      if (function.size() > 2) {
        error = "usage: open-player [wmp|itunes|vlc|winamp]";
        return false;
      }
      if (function.size() == 2) {
        constexpr const char* kPlayers[] = {"wmp", "itunes", "vlc", "winamp"};
        for (int i = 0; i < 4; ++i) {
          if (SameWord(function[1], kPlayers[i])) mediaOption = i;
        }
        if (mediaOption < 0) {
          error = "unknown player '" + function[1] + "' (wmp, itunes, vlc or winamp)";
          return false;
        }
      }
      sarn::AssignPlainFunction(*edited, c);
      break;
    }
    default:
      if (!arguments(0, "(no arguments)")) return false;
      sarn::AssignPlainFunction(*edited, c);
  }
  const std::uint8_t oldCode = slot.functionCode;
  slot = *edited;
  if (mediaOption >= 0) profile.MediaOption = mediaOption;
  sarn::CompleteAssignment(profile, button, oldCode, saved, buttonChanged);
  return true;
}

void ReadCommandState(const sarn::IniDocument& configIni, CommandState& state) {
  sarn::SavedShiftCodes saved;
  if (configIni.GetStruct(kStateSection, "SavedShiftCodes", saved.codes.data(), saved.codes.size())) state.saved = saved;
  std::uint8_t flags[sarn::kProfileCount * sarn::kButtonCount];
  if (configIni.GetStruct(kStateSection, "ButtonChanged", flags, sizeof flags)) {
    for (int p = 0; p < sarn::kProfileCount; ++p) {
      for (int b = 0; b < sarn::kButtonCount; ++b) state.buttonChanged[p][b] = flags[p * sarn::kButtonCount + b] != 0;
    }
  }
}

void WriteCommandState(const CommandState& state, sarn::IniDocument& configIni) {
  configIni.SetStruct(kStateSection, "SavedShiftCodes", state.saved.codes.data(), state.saved.codes.size());
  std::uint8_t flags[sarn::kProfileCount * sarn::kButtonCount];
  for (int p = 0; p < sarn::kProfileCount; ++p) {
    for (int b = 0; b < sarn::kButtonCount; ++b) flags[p * sarn::kButtonCount + b] = state.buttonChanged[p][b] ? 1 : 0;
  }
  configIni.SetStruct(kStateSection, "ButtonChanged", flags, sizeof flags);
}

}  // namespace sarnctl
