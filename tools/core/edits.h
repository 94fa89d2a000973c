// The edits of sarnctl's set and assign commands, apart from files: each changes a record as the configuration
// window's controls would, or refuses with one message per problem and changes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/button_functions.h"
#include "common/osd_settings.h"
#include "common/private_profile.h"
#include "common/profile_record.h"
#include "common/timer_list.h"
#include "option/macro/macro_store.h"
#include "tools/core/configuration.h"

namespace sarnctl {

// KEY=VALUE words onto a profile (keys as in the profile file and the document; dpi0..dpi5 for the flags).
// Texts follow the profile dialog: a name of at most 20 characters. Only problems the edit brings in are
// reported, so a damaged field elsewhere does not block an unrelated change.
void SetProfileFields(sarn::ProfileRecord& profile, const std::vector<std::string>& assignments, Problems& problems);
// KEY=VALUE words onto the settings of a block (CurrentProfile as slot 1..5, WindowsProfile 0 for none or 1..5,
// QuickHelpLan, SoundProfile, SoundDpi, SoundSens, SoundVolume).
void SetSettingFields(sarn::SharedBlock& block, const std::vector<std::string>& assignments, Problems& problems);

// The on-screen display's keys take "Osd" before its section's key: OsdEnabled, OsdDuration, OsdPosition,
// OsdMonitor, OsdHiddenWhile.
[[nodiscard]] bool IsOsdAssignment(const std::string& word);
// KEY=VALUE words onto the display's settings, each checked by the display's own rules; `named` gets the
// section's keys named, so that only those are written. Unchanged on any problem.
void SetOsdFields(sarn::OsdSettings& settings, const std::vector<std::string>& assignments,
                  std::vector<std::string>& named, Problems& problems);

// A button name: "B1".."B18" or "1".."18"; -1 otherwise.
[[nodiscard]] int ParseButton(const std::string& word);

// What an assignment needs beyond the profile.
struct AssignContext {
  const sarn::MacroStore* macros = nullptr;
  const sarn::TimerList* timers = nullptr;
  const sarn::KeyboardLayout* layout = nullptr;
  bool windowsXpFamily = false;
};

// `button N SLOT assign FUNCTION [ARGS]`: FUNCTION by name (see FunctionNames) or code, with the arguments a
// shortcut ("Ctrl+Shift+A"), a program (its path), a timer (its name), a macro (set and macro names) or the
// player ("open-player [wmp|itunes|vlc|winamp]") take. Runs the button page's assignment and layer rules:
// `buttonChanged` gets the flags the page sets. False with `error` when the slot may not take it.
[[nodiscard]] bool AssignButton(sarn::ProfileRecord& profile, int button, const std::vector<std::string>& function,
                                const AssignContext& context, sarn::SavedShiftCodes& saved,
                                std::int32_t (&buttonChanged)[sarn::kButtonCount], std::string& error);

// The names FUNCTION takes, with their codes, for --help.
struct FunctionName {
  const char* name;
  std::uint8_t code;
};
[[nodiscard]] std::vector<FunctionName> FunctionNames();

// A key combination such as "Ctrl+Alt+Delete" or "Shift+0x04": the key's usage code and the modifier flags.
[[nodiscard]] bool ParseShortcut(const std::string& text, const sarn::KeyboardLayout& layout, std::uint8_t& key,
                                 std::uint8_t& modifiers);

// What sarnctl keeps between its calls in config.ini section "sarnctl": the shift-layer codes the layer rules
// put aside (the window keeps them while it runs) and the button flags set since the last apply.
struct CommandState {
  sarn::SavedShiftCodes saved;
  std::int32_t buttonChanged[sarn::kProfileCount][sarn::kButtonCount] = {};
};
void ReadCommandState(const sarn::IniDocument& configIni, CommandState& state);
void WriteCommandState(const CommandState& state, sarn::IniDocument& configIni);

}  // namespace sarnctl
