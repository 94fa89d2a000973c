// sarnctl settings|profile|macros|timers: the stored files as JSON, and a factory reset of a folder.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/button_functions.h"
#include "common/json_writer.h"
#include "common/keyboard_layout.h"
#include "common/private_profile.h"
#include "common/profile_file.h"
#include "common/profile_record.h"
#include "common/osd_settings.h"
#include "common/settings_file.h"
#include "common/text_encoding.h"
#include "common/timer_list.h"
#include "option/macro/macro_store.h"
#include "tools/core/configuration.h"
#include "tools/core/folder_edits.h"
#include "tools/sarnctl.h"

namespace sarnctl {

namespace {

using sarn::JsonWriter;

template <std::size_t N>
std::string Text(const char (&field)[N]) {
  return sarn::AnsiToUtf8(std::string_view(field, sarn::TextFieldLength(field)));
}

void Print(const JsonWriter& json) {
  std::fputs(json.str().c_str(), stdout);
  std::fputc('\n', stdout);
}

// FOLDER argument (or the executable's folder): the word after the command.
bool ResolveFolder(const Args& args, const char* usage, std::filesystem::path& folder, int& exitCode) {
  constexpr std::size_t index = 1;
  if (args.size() > index + 1) {
    exitCode = Usage(usage);
    return false;
  }
  return ResolveFolderWord(args.size() > index ? &args[index] : nullptr, folder, exitCode);
}

// A file that exists but cannot be read is an error; a missing one means an empty store or list.
bool Unreadable(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return false;
  sarn::IniDocument doc;
  return !sarn::LoadIniFile(path, doc);
}

void WriteProfile(JsonWriter& json, const sarn::ProfileRecord& p) {
  json.BeginObject();
  json.Member("ProFileName", Text(p.ProFileName));
  json.Member("GameFile0", Text(p.GameFile0));
  json.Member("GameFile1", Text(p.GameFile1));
  json.Member("GameFile2", Text(p.GameFile2));
  json.Member("DbleClickSpeed", p.DbleClickSpeed);
  json.Member("ScrollWheelSpeed", p.ScrollWheelSpeed);
  json.Member("ScrollWheelFlag", p.ScrollWheelFlag);
  json.Member("MouseSpeed", p.MouseSpeed);
  json.Member("Acceleration", p.Acceleration);
  json.Member("AccelerationFlag", p.AccelerationFlag);
  json.Member("TiltSpeed", p.TiltSpeed);
  json.Member("MediaOption", p.MediaOption);
  json.Member("HDDKeyboard", p.HDDKeyboard);
  json.Member("Orientation", p.Orientation);
  json.Member("XYSynchronous", p.XYSynchronous);
  json.Member("Sensitivity_X", p.Sensitivity_X);
  json.Member("Sensitivity_Y", p.Sensitivity_Y);
  json.Key("dpi").BeginArray();
  for (std::uint8_t flag : p.dpi) json.Int(flag);
  json.EndArray();
  json.Member("Cpi_X", p.Cpi_X);
  json.Member("Cpi_Y", p.Cpi_Y);
  json.Member("XYCpiFlag", p.XYCpiFlag);
  json.Member("PollingRate", p.PollingRate);
  json.Member("LightSwitch", p.LightSwitch);
  json.Member("LightType", p.LightType);
  json.Member("ColorFlag", p.ColorFlag);
  json.Member("ColorOptions", p.ColorOptions);
  json.Member("ColorChangeMode", p.ColorChangeMode);
  json.Member("BTOption", p.BTOption);
  json.Key("buttons").BeginArray();
  for (const sarn::ButtonSlot& s : p.MacroKeyInfo) {
    json.BeginObject();
    json.Member("buttonIndex", static_cast<int>(s.buttonIndex));
    json.Member("functionCode", static_cast<int>(s.functionCode));
    json.Member("label", sarn::FunctionLabel(s, sarn::SystemKeyboardLayout()));
    json.Member("setName", Text(s.setName));
    json.Member("macroName", Text(s.macroName));
    json.Member("loops", s.loops);
    json.Member("count", static_cast<int>(s.count));
    WriteEvents(json, s.events, s.count);
    json.Member("timerValue", static_cast<std::int64_t>(s.timerValue));
    json.Member("timerName", Text(s.timerName));
    json.Member("programPath", Text(s.programPath));
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
}

}  // namespace

void WriteBlockMembers(JsonWriter& json, const sarn::SharedBlock& block) {
  json.Member("CurrentProfile", block.CurrentProfile);
  json.Member("WindowsProfile", block.WindowsProfile);
  json.Member("QuickHelpLan", block.QuickHelpLan);
  json.Member("MouseType", block.MouseType);
  json.Member("SoundProfile", block.SoundProfile);
  json.Member("SoundDpi", block.SoundDpi);
  json.Member("SoundSens", block.SoundSens);
  json.Member("SoundVolume", block.SoundVolume);
  json.Key("profiles").BeginArray();
  for (const auto& profile : block.profiles) WriteProfile(json, profile);
  json.EndArray();
}

namespace {

int SettingsShow(const Args& args) {
  std::filesystem::path folder;
  int exitCode = 0;
  if (!ResolveFolder(args, "settings show [FOLDER]", folder, exitCode)) return exitCode;
  if (Unreadable(sarn::SettingsFilePath(folder))) return Fail("cannot read " + sarn::SettingsFilePath(folder).string());
  auto block = std::make_unique<sarn::SharedBlock>();
  sarn::ClearSharedBlock(*block);
  (void)sarn::LoadSettings(*block, sarn::SettingsContext{folder, nullptr});

  JsonWriter json(true);
  json.BeginObject();
  WriteBlockMembers(json, *block);
  json.Member("FWVersion", sarn::ReadFirmwareVersion(folder));
  // The display's settings as it reads them: a missing or damaged key shows its default.
  sarn::IniDocument ini;
  (void)sarn::LoadIniFile(sarn::SettingsFilePath(folder), ini);
  const sarn::OsdSettings osd = sarn::ReadOsdSettings(ini);
  json.Key(sarn::kOsdSection).BeginObject();
  json.Member("Enabled", osd.enabled ? 1 : 0);
  json.Member("Duration", osd.durationMs);
  json.Member("Position", sarn::OsdPositionName(osd.position));
  json.Member("Monitor", osd.monitor);
  json.Key("HiddenWhile").BeginInlineArray();
  for (const auto& name : osd.hiddenWhile) json.String(name);
  json.EndArray();
  json.EndObject();
  json.EndObject();
  Print(json);
  return 0;
}

int ResetFolder(const std::filesystem::path& folder);

int SettingsReset(const Args& input) {
  Args args = input;
  const bool apply = TakeFlag(args, "--apply");
  std::filesystem::path folder;
  int exitCode = 0;
  if (!ResolveFolder(args, "settings reset [FOLDER]", folder, exitCode)) return exitCode;
  {
    FolderLock lock(folder);
    if (!lock.held()) return Fail("cannot lock the files of " + folder.string());
    const int reset = ResetFolder(folder);
    if (reset != 0) return reset;
  }
  return AfterEdit(folder, apply);
}

int ResetFolder(const std::filesystem::path& folder) {
  // What a reset leaves alone (the device type) is read from config.ini: one that cannot be read would give
  // a wrong device type, and the reset would stop half way.
  std::string error;
  if (!CheckFolderReadable(folder, error)) return Fail(error);
  auto block = std::make_unique<sarn::SharedBlock>();
  sarn::ClearSharedBlock(*block);
  // Read first so that what a reset leaves alone (the device type) survives it.
  (void)sarn::LoadSettings(*block, sarn::SettingsContext{folder, nullptr});
  sarn::ResetSettings(*block, [] { return sarn::DetectLanguage(sarn::SystemDefaultLanguageId()); });
  sarn::NotificationSettings notification{};
  sarn::ResetNotificationSettings(notification);
  const int saved = sarn::SaveSettings(*block, sarn::SettingsContext{folder, nullptr});
  const int savedNotification = sarn::SaveNotificationSettings(notification, folder);
  if (saved != 1 || savedNotification != 1) return Fail("cannot write the settings into " + folder.string());
  return 0;
}

}  // namespace

int RunSettings(const Args& args) {
  if (WantsHelp(args)) return SettingsHelp();
  if (!args.empty() && args[0] == "set") return SettingsSet(args);
  if (!args.empty() && args[0] == "show") return SettingsShow(args);
  if (!args.empty() && args[0] == "reset") return SettingsReset(args);
  return Usage("settings show|reset [FOLDER] | settings set KEY=VALUE... [--folder FOLDER]");
}

int RunProfile(const Args& args) {
  if (WantsHelp(args)) return ProfileHelp();
  if (args.size() >= 2 && args[1] == "set") return ProfileSet(args);
  if (args.size() != 2 || args[0] != "show") return Usage("profile show FILE.zmp | profile N set KEY=VALUE... [--folder FOLDER]");
  const auto path = sarn::AnsiPath(args[1]);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return Fail("no such file: " + args[1]);
  auto record = std::make_unique<sarn::ProfileRecord>();  // value-initialised: zero-filled
  if (sarn::ReadProfileFile(*record, path) != 1) return Fail("cannot read " + args[1]);
  JsonWriter json(true);
  WriteProfile(json, *record);
  Print(json);
  return 0;
}

int RunMacros(const Args& args) {
  if (args.empty() || args[0] != "show") return Usage("macros show [FOLDER]");
  std::filesystem::path folder;
  int exitCode = 0;
  if (!ResolveFolder(args, "macros show [FOLDER]", folder, exitCode)) return exitCode;
  const auto path = sarn::MacroStorePath(folder);
  if (Unreadable(path)) return Fail("cannot read " + path.string());
  sarn::MacroStore store;
  (void)sarn::LoadMacroStore(store, folder);
  JsonWriter json(true);
  json.BeginObject().Key("sets");
  WriteMacroStore(json, store);
  json.EndObject();
  Print(json);
  return 0;
}

int RunTimers(const Args& args) {
  if (args.empty() || args[0] != "show") return Usage("timers show [FOLDER]");
  std::filesystem::path folder;
  int exitCode = 0;
  if (!ResolveFolder(args, "timers show [FOLDER]", folder, exitCode)) return exitCode;
  const auto path = sarn::TimerFilePath(folder);
  if (Unreadable(path)) return Fail("cannot read " + path.string());
  sarn::TimerList list;
  (void)sarn::LoadTimers(list, folder);
  JsonWriter json(true);
  json.BeginObject().Key("timers");
  WriteTimers(json, list);
  json.EndObject();
  Print(json);
  return 0;
}

}  // namespace sarnctl
