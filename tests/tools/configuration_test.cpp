// The configuration document: export then import gives back every file byte for byte (factory settings,
// hand-made files, random valid configurations), and a document with anything wrong is refused with the path
// of every problem.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>

#include "common/button_functions.h"
#include "common/json_reader.h"
#include "common/private_profile.h"
#include "common/profile_file.h"
#include "common/settings_file.h"
#include "common/timer_list.h"
#include "option/macro/macro_store.h"
#include "storage/storage_test_support.h"
#include "tools/core/configuration.h"
#include "tools/core/edits.h"

namespace sarnctl {
namespace {

using sarn::test::ReadBytes;
using sarn::test::TempFolder;

std::map<std::string, std::string> FolderFiles(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[std::filesystem::relative(entry.path(), folder).generic_string()] = ReadBytes(entry.path());
  }
  return files;
}

std::string Export(const std::filesystem::path& folder) {
  Configuration config;
  std::string error;
  EXPECT_TRUE(ReadConfiguration(folder, config, error)) << error;
  return ConfigurationToJson(config, Secrets::kIncluded);
}

Problems Import(const std::string& text, const std::filesystem::path& folder) {
  sarn::JsonValue document;
  sarn::JsonError error;
  if (!sarn::ParseJson(text, document, error)) return {"json: " + error.message};
  Configuration config;
  Problems problems;
  ConfigurationFromJson(document, config, problems);
  if (!problems.empty()) return problems;
  std::string writeError;
  EXPECT_TRUE(WriteConfigurationFiles(folder, BuildConfigurationFiles(config, folder), writeError)) << writeError;
  return problems;
}

void ExpectRoundTrip(const std::filesystem::path& source) {
  const std::string document = Export(source);
  TempFolder target;
  const Problems problems = Import(document, target.path());
  ASSERT_TRUE(problems.empty()) << problems.front();
  const auto want = FolderFiles(source);
  const auto got = FolderFiles(target.path());
  for (const auto& [name, bytes] : want) {
    ASSERT_TRUE(got.count(name)) << name << " was not written";
    EXPECT_EQ(got.at(name), bytes) << name << " differs";
  }
  for (const auto& [name, bytes] : got) EXPECT_TRUE(want.count(name)) << name << " was written but did not exist";
  // And the import of an export is a fixed point.
  EXPECT_EQ(Export(target.path()), document);
}

void FactoryFolder(const std::filesystem::path& folder) {
  auto block = std::make_unique<sarn::SharedBlock>();
  sarn::ClearSharedBlock(*block);
  sarn::ResetSettings(*block, [] { return 1; });
  ASSERT_EQ(sarn::SaveSettings(*block, sarn::SettingsContext{folder, nullptr}), 1);
  sarn::NotificationSettings n{};
  sarn::ResetNotificationSettings(n);
  ASSERT_EQ(sarn::SaveNotificationSettings(n, folder), 1);
}

TEST(ConfigurationRoundTrip, FactorySettings) {
  TempFolder folder;
  FactoryFolder(folder.path());
  ExpectRoundTrip(folder.path());
}

TEST(ConfigurationRoundTrip, HandMadeFilesKeepForeignKeysOrderHiddenBytesAndAbsentFiles) {
  TempFolder folder;
  FactoryFolder(folder.path());
  // config.ini as the monitor leaves it: its own keys first, keys nobody reads, and the window's file names.
  sarn::IniDocument ini;
  ASSERT_TRUE(sarn::LoadIniFile(sarn::SettingsFilePath(folder.path()), ini));
  ini.DeleteKey("Setting", "CurrentProfile");
  ini.SetInt("Setting", "CurrentProfile", 3);  // now after the others
  ini.SetInt("Setting", "FWVersion", 128);
  ini.SetInt("Setting", "Device", 1);
  ini.SetString("FileName", "Profile2", "My \"best\" one");
  ini.SetString("OSDData", "Message", std::string(3000, 'x'));  // longer than any reader's buffer
  ini.DeleteSection("OSDSetting");  // never saved: the import must not bring the section in
  ASSERT_TRUE(sarn::SaveIniFile(sarn::SettingsFilePath(folder.path()), ini));

  // A slot file with a key of its own and buttons that carry bytes no field shows.
  auto profile = std::make_unique<sarn::ProfileRecord>();
  ASSERT_EQ(sarn::ReadProfileFile(*profile, sarn::SlotFilePath(folder.path(), 1)), 1);
  std::strcpy(profile->ProFileName, "Caf\xE9");  // code page text
  auto macro = sarn::NewMacroRecord("Long macro name");
  macro->loops = 3;
  macro->count = 4;
  for (int i = 0; i < 6; ++i) macro->events[i] = {static_cast<std::uint8_t>(4 + i), 1, static_cast<std::uint16_t>(10 * i)};
  sarn::AssignMacro(profile->MacroKeyInfo[3], "Set", *macro);  // two steps past the count travel along
  sarn::AssignShortcut(profile->MacroKeyInfo[5], 4, 0x06);     // a shortcut keeps the steps it had
  sarn::AssignMacro(profile->MacroKeyInfo[5], "Old", *macro);
  sarn::AssignShortcut(profile->MacroKeyInfo[5], 5, 0x01);
  sarn::AssignTimer(profile->MacroKeyInfo[7], 120, "Tea");
  std::memset(profile->MacroKeyInfo[7].timerName + 4, 'Z', 10);  // after the terminator
  profile->MacroKeyInfo[8].padding0[1] = 0x5A;
  sarn::IniDocument slot;
  sarn::WriteProfileDocument(*profile, slot);
  slot.SetString("Extra", "Note", "kept");
  ASSERT_TRUE(sarn::SaveIniFile(sarn::SlotFilePath(folder.path(), 1), slot));

  sarn::MacroStore store;
  ASSERT_GE(sarn::AddMacroSet(store, "  World of Warcraft "), 0);
  store.sets[0]->macros.push_back(std::move(macro));
  store.sets[0]->macros.push_back(sarn::NewMacroRecord());
  ASSERT_EQ(sarn::SaveMacroStore(store, folder.path()), 1);
  sarn::FreeMacroStore(store);
  // No timer file: the import must not make one.
  ExpectRoundTrip(folder.path());
}

TEST(ConfigurationRoundTrip, RandomValidConfigurations) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    TempFolder folder;
    FactoryFolder(folder.path());
    auto block = std::make_unique<sarn::SharedBlock>();
    sarn::ClearSharedBlock(*block);
    (void)sarn::LoadSettings(*block, sarn::SettingsContext{folder.path(), nullptr});
    block->CurrentProfile = pick(0, 4);
    block->SoundVolume = pick(0, 4);

    sarn::MacroStore store;
    sarn::TimerList timers;
    for (int s = 0; s < pick(0, 3); ++s) {
      const int set = sarn::AddMacroSet(store, "Set " + std::to_string(s));
      for (int m = 0; m < pick(1, 3); ++m) {
        auto record = sarn::NewMacroRecord("M" + std::to_string(m));
        record->count = static_cast<std::uint32_t>(pick(0, 500));
        record->loops = pick(0, 255);
        for (std::uint32_t e = 0; e < record->count; ++e) {
          record->events[e] = {static_cast<std::uint8_t>(pick(4, 99)), static_cast<std::uint8_t>(pick(1, 2)),
                               static_cast<std::uint16_t>(pick(0, 65535))};
        }
        store.sets[static_cast<std::size_t>(set)]->macros.push_back(std::move(record));
      }
    }
    for (int t = 0; t < pick(0, 5); ++t) ASSERT_TRUE(sarn::AddTimer(timers, "Timer " + std::to_string(t), static_cast<std::uint32_t>(pick(10, 999))));

    // Profiles changed as the edit commands change them, so every value is one the window could produce.
    AssignContext context;
    context.macros = &store;
    context.timers = &timers;
    context.layout = &sarn::UsKeyboardLayout();
    sarn::SavedShiftCodes saved;
    const auto names = FunctionNames();
    for (auto& p : block->profiles) {
      Problems problems;
      SetProfileFields(p, {"Sensitivity_X=" + std::to_string(pick(1, 10)), "PollingRate=" + std::to_string(pick(0, 3)),
                           "ColorOptions=" + std::to_string(pick(0, 6)), "DbleClickSpeed=" + std::to_string(pick(200, 900)),
                           "GameFile0=C:\\Games\\g" + std::to_string(pick(0, 99)) + ".exe"},
                       problems);
      ASSERT_TRUE(problems.empty()) << problems.front();
      for (int i = 0; i < 30; ++i) {
        const FunctionName& f = names[static_cast<std::size_t>(pick(0, static_cast<int>(names.size()) - 1))];
        std::vector<std::string> function{f.name};
        if (f.code == sarn::kFnShortcut) function.push_back("Ctrl+Alt+F4");
        if (f.code == sarn::kFnLaunchProgram) function.push_back("C:\\Tools\\run.exe");
        if (f.code == sarn::kFnTimer) function.push_back("Timer 0");
        if (f.code == sarn::kFnMacro) function.insert(function.end(), {"Set 0", "M0"});
        std::int32_t flags[sarn::kButtonCount] = {};
        std::string error;
        (void)AssignButton(p, pick(0, 17), function, context, saved, flags, error);  // refusals change nothing
      }
    }
    ASSERT_EQ(sarn::SaveSettings(*block, sarn::SettingsContext{folder.path(), nullptr}), 1);
    ASSERT_EQ(sarn::SaveMacroStore(store, folder.path()), 1);
    ASSERT_EQ(sarn::SaveTimers(timers, folder.path()), 1);
    sarn::FreeMacroStore(store);
    ExpectRoundTrip(folder.path());
  }
}

// --- refused documents ---------------------------------------------------------------------------------------

struct Edit {
  const char* what;
  std::string from, to;  // the first occurrence of `from` in the factory document becomes `to`
  const char* problem;   // the start of the expected problem
};

TEST(ConfigurationImport, RefusesEveryWrongDocumentAndWritesNothing) {
  TempFolder source;
  FactoryFolder(source.path());
  const std::string document = Export(source.path());
  const std::string macros = "\"macros\": [\n    {\"name\": \"Games\", \"macros\": [{\"name\": \"m\", \"loops\": 1, \"events\": [";
  std::string steps;
  for (int i = 0; i < 501; ++i) steps += std::string(i ? "," : "") + "[4,1,0]";
  const Edit edits[] = {
      {"wrong type", "\"Cpi_X\": 2", "\"Cpi_X\": \"2\"", "profiles[0].Cpi_X: must be an integer, not a string"},
      {"fraction", "\"SoundVolume\": 2", "\"SoundVolume\": 2.5", "settings.SoundVolume: must be an integer"},
      {"out of range", "\"Sensitivity_X\": 5", "\"Sensitivity_X\": 11", "profiles[0].Sensitivity_X: 11 is outside 1..10"},
      {"no DPI level", "\"Cpi_Y\": 2", "\"Cpi_Y\": 3", "profiles[0].Cpi_Y: 3 is no DPI level"},
      {"current level off", "\"dpi\": [1, 1", "\"dpi\": [1, 0", "profiles[0].dpi: the current DPI level"},
      {"slot out of range", "\"CurrentProfile\": 0", "\"CurrentProfile\": 5", "settings.CurrentProfile: 5 is outside 0..4"},
      {"too long name", "\"ProFileName\": \"Default1\"", "\"ProFileName\": \"" + std::string(250, 'n') + "\"",
       "profiles[0].ProFileName: is 250 bytes long; at most 249 fit"},
      {"line end in a name", "\"ProFileName\": \"Default1\"", "\"ProFileName\": \"a\\nb\"", "profiles[0].ProFileName: may not contain line ends"},
      {"not in the code page", "\"ProFileName\": \"Default1\"", "\"ProFileName\": \"\\u4e2d\"", "profiles[0].ProFileName: has characters"},
      {"B1 reassigned", "\"function\": 1", "\"function\": 5", "profiles[0].buttons[0].function: B1 always keeps 1"},
      {"Duvex on B4", "\"function\": 7", "\"function\": 65", "profiles[0].buttons[3].function: B4 cannot hold function 65"},
      {"code no slot takes", "\"function\": 13", "\"function\": 12", "profiles[0].buttons[7].function: B8 cannot hold function 12"},
      {"shift layer without Duvex", "\"function\": 65", "\"function\": 6", "profiles[0].buttons[9].function: B10 must be 0"},
      {"shortcut without a key", "\"function\": 7,\n          \"setName\": \"\",\n          \"macroName\": \"\",\n          \"loops\": 0,\n          \"events\": []",
       "\"function\": 5,\n          \"setName\": \"\",\n          \"macroName\": \"\",\n          \"loops\": 0,\n          \"events\": [[0, 1, 0]]",
       "profiles[0].buttons[3].events[0][0]: a shortcut needs a key"},
      {"shortcut modifiers", "\"function\": 7,\n          \"setName\": \"\",\n          \"macroName\": \"\",\n          \"loops\": 0,\n          \"events\": []",
       "\"function\": 5,\n          \"setName\": \"\",\n          \"macroName\": \"\",\n          \"loops\": 0,\n          \"events\": [[4, 3, 0]]",
       "profiles[0].buttons[3].events[0][1]: modifiers"},
      {"macro over 500 steps", "\"macros\": [],", macros + steps + "]}]}],", "macros[0].macros[0].events: 501 steps; at most 500 fit"},
      {"sets sharing a section", "\"macros\": [],",
       "\"macros\": [{\"name\": \"Games\", \"macros\": []}, {\"name\": \" games \", \"macros\": []}],",
       "macros[1].name: \" games \" would share a file section"},
      {"the store's own section", "\"macros\": [],", "\"macros\": [{\"name\": \"SetMacro\", \"macros\": []}],", "macros[0].name:"},
      {"timer too short", "\"timers\": [],", "\"timers\": [{\"name\": \"Egg\", \"value\": 5}],", "timers[0].value: 5 is outside 10..999"},
      {"timers sharing a name", "\"timers\": [],",
       "\"timers\": [{\"name\": \"Egg\", \"value\": 50}, {\"name\": \"egg \", \"value\": 60}],", "timers[1].name: another timer"},
      {"unknown member", "\"SoundVolume\": 2", "\"SoundVolume\": 2, \"Volume\": 3", "settings.Volume: unknown member"},
      {"missing member", "\"SoundVolume\": 2,\n", "", "settings.SoundVolume: missing"},
      {"other version", "\"version\": 1", "\"version\": 2", "version: version 2 is not known"},
      {"buttons short", "\"buttons\": [", "\"buttons\": [{},", "profiles[0].buttons: must hold 18 buttons"},
      {"hidden not hex", "\"programPath\": \"\"", "\"programPath\": \"\", \"hidden\": [[300, \"XYZ\"]]",
       "profiles[0].buttons[0].hidden[0][1]: must be pairs"},
      {"unknown file", "\"files\": {", "\"files\": {\"evil.ini\": [],", "files.\"evil.ini\": not a file"},
      {"foreign value for an own key", "\"config/Default0.zmp\": []", "\"config/Default0.zmp\": [[\"Setting\", \"Cpi_X\", \"3\"]]",
       "files.\"config/Default0.zmp\"[0]: Cpi_X is a key of the programs"},
  };
  for (const Edit& e : edits) {
    SCOPED_TRACE(e.what);
    const auto at = document.find(e.from);
    ASSERT_NE(at, std::string::npos);
    std::string changed = document;
    changed.replace(at, e.from.size(), e.to);
    TempFolder target;
    const Problems problems = Import(changed, target.path());
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(problems.front().rfind(e.problem, 0), 0u) << problems.front();
    EXPECT_TRUE(FolderFiles(target.path()).empty()) << "something was written";
  }
}

TEST(ConfigurationImport, ReportsEveryProblemNotJustTheFirst) {
  TempFolder source;
  FactoryFolder(source.path());
  std::string document = Export(source.path());
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"\"SoundDpi\": 1", "\"SoundDpi\": -2"},
                                 {"\"TiltSpeed\": 3", "\"TiltSpeed\": 0"},
                                 {"\"mailPort\": 110", "\"mailPort\": \"110\""}}) {
    document.replace(document.find(from), from.size(), to);
  }
  const Problems problems = Import(document, source.path());
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_EQ(problems[0].rfind("settings.SoundDpi", 0), 0u);
  EXPECT_EQ(problems[1].rfind("notification.mailPort", 0), 0u);
  EXPECT_EQ(problems[2].rfind("profiles[0].TiltSpeed", 0), 0u);
}

TEST(ConfigurationImport, DocumentWithoutFileLayoutWritesEveryFile) {
  TempFolder source;
  FactoryFolder(source.path());
  std::string document = Export(source.path());
  const auto files = document.find(",\n  \"files\"");
  document = document.substr(0, files) + "\n}\n";
  TempFolder target;
  ASSERT_TRUE(Import(document, target.path()).empty());
  const auto written = FolderFiles(target.path());
  EXPECT_EQ(written.size(), 8u);  // config.ini, five slot files, the macro store and the timer list
  EXPECT_EQ(written.at("config/Default3.zmp"), ReadBytes(sarn::SlotFilePath(source.path(), 3)));
}

}  // namespace
}  // namespace sarnctl
