// sarnctl's edits beside the running programs: an edit waits for the lock the programs take around their own
// edits and starts from what they wrote, an import is all or nothing, and exports keep the mail password out.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <thread>

#include "common/file_lock.h"
#include "common/json_reader.h"
#include "common/osd_settings.h"
#include "common/private_profile.h"
#include "common/profile_file.h"
#include "common/settings_file.h"
#include "storage/storage_test_support.h"
#include "tools/core/configuration.h"
#include "tools/core/folder_edits.h"

namespace sarnctl {
namespace {

using sarn::test::ReadBytes;
using sarn::test::TempFolder;
using sarn::test::WriteBytes;

// Runs `command` on another thread while this one holds `file`'s lock as the monitor does for one of its
// single-key writes, and makes that write (`monitorEdit`) once the command had time to read the file.
void WhileTheMonitorWrites(const std::filesystem::path& file, const std::function<void(sarn::IniDocument&)>& monitorEdit,
                           const std::function<void()>& command) {
  std::thread other;
  {
    sarn::FileLock lock(file);
    ASSERT_TRUE(lock.held());
    other = std::thread(command);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sarn::IniDocument doc;
    ASSERT_TRUE(sarn::LoadIniFile(file, doc));
    monitorEdit(doc);
    ASSERT_TRUE(sarn::detail::ReplaceFileBytes(file, doc.Serialize()));
  }
  other.join();
}

TEST(FolderEdits, KeepWhatTheMonitorWritesWhileTheyWait) {
  TempFolder folder;
  auto block = std::make_unique<sarn::SharedBlock>();
  sarn::ClearSharedBlock(*block);
  sarn::ResetSettings(*block, [] { return 1; });
  ASSERT_EQ(sarn::SaveSettings(*block, sarn::SettingsContext{folder.path(), nullptr}), 1);
  const auto config = sarn::SettingsFilePath(folder.path());

  WhileTheMonitorWrites(
      config,
      [](sarn::IniDocument& doc) {
        doc.SetInt("Setting", "CurrentProfile", 3);
        doc.SetInt("Setting", "Device", 1);
      },
      [&] {
        Problems problems;
        std::string error;
        EXPECT_TRUE(SetSettingsInFolder(folder.path(), {"SoundVolume=1"}, problems, error)) << error;
      });
  sarn::IniDocument doc;
  ASSERT_TRUE(sarn::LoadIniFile(config, doc));
  EXPECT_EQ(doc.GetInt("Setting", "CurrentProfile", -1), 3);
  EXPECT_EQ(doc.GetInt("Setting", "Device", -1), 1);
  EXPECT_EQ(doc.GetInt("Setting", "SoundVolume", -1), 1);

  // sarnctl's own state goes into config.ini the same way.
  WhileTheMonitorWrites(
      config, [](sarn::IniDocument& ini) { ini.SetInt("Setting", "FWVersion", 131); },
      [&] {
        CommandState state;
        state.buttonChanged[2][5] = 1;
        std::string error;
        EXPECT_TRUE(WriteFolderCommandState(folder.path(), state, error)) << error;
      });
  ASSERT_TRUE(sarn::LoadIniFile(config, doc));
  EXPECT_EQ(doc.GetInt("Setting", "FWVersion", -1), 131);
  CommandState state;
  ReadCommandState(doc, state);
  EXPECT_EQ(state.buttonChanged[2][5], 1);

  // A slot file the monitor rewrites after a read of the mouse.
  const auto slot = sarn::SlotFilePath(folder.path(), 1);
  WhileTheMonitorWrites(
      slot, [](sarn::IniDocument& ini) { ini.SetInt("Setting", "Sensitivity_X", 7); },
      [&] {
        Problems problems;
        std::string error;
        EXPECT_TRUE(SetProfileInFolder(folder.path(), 1, {"TiltSpeed=9"}, problems, error)) << error;
      });
  auto profile = std::make_unique<sarn::ProfileRecord>();
  ASSERT_EQ(sarn::ReadProfileFile(*profile, slot), 1);
  EXPECT_EQ(profile->Sensitivity_X, 7);
  EXPECT_EQ(profile->TiltSpeed, 9);
}

TEST(FolderEdits, RefusedOrUnreadableWritesNothing) {
  TempFolder folder;
  std::filesystem::remove(folder.path() / "config");  // a fresh program folder
  const auto config = sarn::SettingsFilePath(folder.path());
  Problems problems;
  std::string error;
  // A refused value makes no file (a missing config.ini stays missing).
  EXPECT_FALSE(SetSettingsInFolder(folder.path(), {"SoundVolume=9"}, problems, error));
  EXPECT_FALSE(problems.empty());
  EXPECT_TRUE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(config));
  EXPECT_FALSE(std::filesystem::exists(sarn::SlotFilePath(folder.path(), 0)));
  EXPECT_FALSE(SetProfileInFolder(folder.path(), 0, {"TiltSpeed=0"}, problems, error));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "config"));

  // Something in the way that cannot be read (here a folder of that name) stops the edit and says so.
  std::filesystem::create_directories(config / "x");
  problems.clear();
  EXPECT_FALSE(SetSettingsInFolder(folder.path(), {"SoundVolume=1"}, problems, error));
  EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(CheckFolderReadable(folder.path(), error));
  EXPECT_NE(error.find("config.ini"), std::string::npos) << error;
}

// The display's keys go through the same edit: checked with the others, written only when all are taken, and
// only the keys named.
TEST(FolderEdits, DisplaySettingsAreSetBesideTheOthers) {
  TempFolder folder;
  const auto config = sarn::SettingsFilePath(folder.path());
  WriteBytes(config, "[Setting]\r\nSoundVolume=4\r\n[OnScreenDisplay]\r\nPosition=sideways\r\nDuration=2000\r\n");
  Problems problems;
  std::string error;
  ASSERT_TRUE(SetSettingsInFolder(folder.path(), {"SoundVolume=2", "OsdEnabled=0", "osdhiddenwhile= Game.EXE ; b.exe;"},
                                  problems, error)) << error;
  sarn::IniDocument doc;
  ASSERT_TRUE(sarn::LoadIniFile(config, doc));
  EXPECT_EQ(doc.GetInt("Setting", "SoundVolume", -1), 2);
  EXPECT_EQ(doc.GetString("OnScreenDisplay", "Enabled", ""), "0");
  EXPECT_EQ(doc.GetString("OnScreenDisplay", "HiddenWhile", ""), "game.exe;b.exe");
  EXPECT_EQ(doc.GetString("OnScreenDisplay", "Position", ""), "sideways");  // not named: left as it was
  EXPECT_FALSE(doc.HasKey("OnScreenDisplay", "Monitor"));
  EXPECT_EQ(sarn::ReadOsdSettings(doc).durationMs, 2000);

  // Each refused value is named; nothing at all is written, the accepted keys beside them included.
  const std::string before = ReadBytes(config);
  std::string names(33 * 6, ';');
  for (int i = 0; i < 33; ++i) names.replace(static_cast<std::size_t>(i) * 6, 5, "g" + std::to_string(100 + i) + "x");
  struct Refused {
    std::vector<std::string> words;
    std::string says;
  };
  const Refused cases[] = {
      {{"SoundVolume=3", "OsdDuration=100"}, "OsdDuration: '100' refused: takes 0"},
      {{"OsdPosition=left", "OsdMonitor=3"}, "top, center or bottom"},
      {{"OsdMonitor=17"}, "OsdMonitor"},
      {{"OsdEnabled=yes"}, "OsdEnabled"},
      {{"OsdColour=1"}, "OsdColour: no such setting"},
      {{"OsdMonitor=2", "SoundVolume=9"}, "SoundVolume"},
      {{"OsdHiddenWhile=" + names}, "at most 32 program names"},
      {{"OsdHiddenWhile=" + std::string(2100, 'a')}, "2047 characters"},
  };
  for (const auto& c : cases) {
    problems.clear();
    EXPECT_FALSE(SetSettingsInFolder(folder.path(), c.words, problems, error)) << c.words[0];
    ASSERT_EQ(problems.size(), 1u) << c.words[0];
    EXPECT_NE(problems[0].find(c.says), std::string::npos) << problems[0];
    EXPECT_EQ(ReadBytes(config), before) << c.words[0];
  }
}

// --- import ----------------------------------------------------------------------------------------------------

std::map<std::string, std::string> FolderFiles(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[std::filesystem::relative(entry.path(), folder).generic_string()] = ReadBytes(entry.path());
  }
  return files;
}

// A folder with every file, and a configuration that differs from it in each of them.
void Prepare(const std::filesystem::path& folder, Configuration& changed) {
  auto block = std::make_unique<sarn::SharedBlock>();
  sarn::ClearSharedBlock(*block);
  sarn::ResetSettings(*block, [] { return 1; });
  ASSERT_EQ(sarn::SaveSettings(*block, sarn::SettingsContext{folder, nullptr}), 1);
  std::string error;
  ASSERT_TRUE(ReadConfiguration(folder, changed, error)) << error;
  changed.block->SoundVolume = 1;
  for (auto& profile : changed.block->profiles) profile.TiltSpeed = 9;
}

TEST(ConfigurationImport, IsAllOrNothing) {
  {
    // A file that cannot be read is found before anything is replaced.
    TempFolder folder;
    Configuration changed;
    Prepare(folder.path(), changed);
    const auto files = BuildConfigurationFiles(changed, folder.path());
    std::filesystem::remove(sarn::SlotFilePath(folder.path(), 2));
    std::filesystem::create_directories(sarn::SlotFilePath(folder.path(), 2) / "x");
    const auto before = FolderFiles(folder.path());
    std::string error;
    EXPECT_FALSE(WriteConfigurationFiles(folder.path(), files, error));
    EXPECT_NE(error.find("nothing was written"), std::string::npos) << error;
    EXPECT_TRUE(FolderFiles(folder.path()) == before);
  }
  {
    // A replacement refused half way: what was replaced is put back, and nothing staged is left behind.
    TempFolder folder;
    Configuration changed;
    Prepare(folder.path(), changed);
    const auto files = BuildConfigurationFiles(changed, folder.path());
    ASSERT_GE(files.size(), 4u);
    const auto before = FolderFiles(folder.path());
    int calls = 0;
    std::string error;
    EXPECT_FALSE(WriteConfigurationFiles(folder.path(), files, error, [&](const auto& from, const auto& to) {
      return ++calls != 3 && RenameOver(from, to);
    }));
    EXPECT_NE(error.find("nothing was written"), std::string::npos) << error;
    EXPECT_TRUE(FolderFiles(folder.path()) == before);

    // A put-back refused too: the message names the file that holds the new content.
    calls = 0;
    EXPECT_FALSE(WriteConfigurationFiles(folder.path(), files, error, [&](const auto& from, const auto& to) {
      ++calls;
      return calls != 3 && calls != 4 && RenameOver(from, to);
    }));
    // (calls 1 and 2 replaced config.ini and Default0.zmp, 3 was refused, 4 put back Default0.zmp: refused)
    EXPECT_NE(error.find("new: " + (folder.path() / files[1].relative).string() + ";"), std::string::npos) << error;
    EXPECT_TRUE(ReadBytes(folder.path() / files[1].relative) == files[1].bytes);
    EXPECT_TRUE(ReadBytes(folder.path() / files[0].relative) == before.at(files[0].relative.generic_string()));

    // And without trouble every file is new.
    EXPECT_TRUE(WriteConfigurationFiles(folder.path(), files, error)) << error;
    std::map<std::string, std::string> want;
    for (const auto& f : files) want[f.relative.generic_string()] = f.bytes;
    EXPECT_TRUE(FolderFiles(folder.path()) == want);
  }
}

// --- secrets ---------------------------------------------------------------------------------------------------

TEST(ConfigurationExport, LeavesTheMailPasswordOutUnlessAskedAndImportKeepsTheFolders) {
  TempFolder folder;
  Configuration factory;
  Prepare(folder.path(), factory);
  sarn::NotificationSettings n{};
  sarn::ResetNotificationSettings(n);
  // What an older, longer password left behind the terminator is a secret too.
  std::memcpy(n.mailPassword, "Kw4\0Zq7oldsecret", 16);
  std::memcpy(n.mailServer, "pop.example", 12);
  ASSERT_EQ(sarn::SaveNotificationSettings(n, folder.path()), 1);
  Configuration config;
  std::string error;
  ASSERT_TRUE(ReadConfiguration(folder.path(), config, error)) << error;

  const std::string plain = ConfigurationToJson(config);
  EXPECT_EQ(plain.find("mailPassword"), std::string::npos);
  EXPECT_EQ(plain.find("Kw4"), std::string::npos);
  EXPECT_EQ(plain.find("5A7137"), std::string::npos) << "the old password's bytes as a hidden run";
  const std::string full = ConfigurationToJson(config, Secrets::kIncluded);
  EXPECT_NE(full.find("\"mailPassword\": \"Kw4\""), std::string::npos);

  // The plain export imported into a folder with a password of its own keeps that password, bytes and all.
  TempFolder other;
  Configuration otherFactory;
  Prepare(other.path(), otherFactory);
  sarn::NotificationSettings theirs{};
  sarn::ResetNotificationSettings(theirs);
  std::memcpy(theirs.mailPassword, "Other\0pw", 8);
  ASSERT_EQ(sarn::SaveNotificationSettings(theirs, other.path()), 1);
  sarn::JsonValue document;
  sarn::JsonError jsonError;
  ASSERT_TRUE(sarn::ParseJson(plain, document, jsonError)) << jsonError.message;
  Configuration imported;
  Problems problems;
  ConfigurationFromJson(document, imported, problems);
  ASSERT_TRUE(problems.empty()) << problems.front();
  EXPECT_FALSE(imported.mailPasswordGiven);
  KeepFolderSecrets(imported, theirs);
  ASSERT_TRUE(WriteConfigurationFiles(other.path(), BuildConfigurationFiles(imported, other.path()), error)) << error;
  sarn::NotificationSettings after{};
  ASSERT_EQ(sarn::LoadNotificationSettings(after, other.path()), 1);
  EXPECT_EQ(std::memcmp(after.mailPassword, theirs.mailPassword, sizeof after.mailPassword), 0);
  EXPECT_STREQ(after.mailServer, "pop.example");
}

}  // namespace
}  // namespace sarnctl
