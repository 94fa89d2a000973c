#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>
#include <memory>

#include "common/private_profile.h"
#include "common/profile_file.h"
#include "common/settings_file.h"
#include "storage_test_support.h"

namespace sarn {
namespace {

using test::MemoryRegistry;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

std::unique_ptr<SharedBlock> ZeroBlock() {
  auto block = std::make_unique<SharedBlock>();
  std::memset(block.get(), 0, sizeof(SharedBlock));
  return block;
}

std::unique_ptr<SharedBlock> FactoryBlock() {
  auto block = ZeroBlock();
  ResetSettings(*block, [] { return 3; });
  return block;
}

TEST(DetectLanguage, WholeIdentifierIsCompared) {
  const std::pair<std::uint16_t, int> cases[] = {
      {0x0406, 0}, {0x0409, 1},  {0x040B, 2},  {0x140C, 3},  {0x0807, 4},  {0x0810, 5},  {0x0411, 6},
      {0x0412, 7}, {0x0415, 8},  {0x0419, 9},  {0x0804, 10}, {0x0C0A, 11}, {0x500A, 11}, {0x041D, 12},
      {0x041E, 13}, {0x0404, 14}, {0x041F, 15}, {0x042A, 16}, {0x0416, 1},  {0x0C04, 1},  {0x1004, 1},
      {0x0816, 1}, {0x540A, 1},  {0x0000, 1},  {0xFFFF, 1},
  };
  for (auto [id, index] : cases) EXPECT_EQ(DetectLanguage(id), index) << std::hex << id;
  EXPECT_EQ(DetectLanguage(LanguageIdSource([] { return std::uint16_t{0x0C0A}; })), 11);
  EXPECT_STREQ(LanguageName(10), "SimplChinese");
  EXPECT_STREQ(LanguageName(17), "English");
}

TEST(FirmwareVersionText, BothRules) {
  const struct {
    int v;
    const char* atStart;
    const char* afterRead;
  } cases[] = {
      {128, "1.28", "1.28"}, {100, "1.00", "1.00"}, {500, "5.00", "5.00"}, {501, "N/A", "5.01"},
      {99, "N/A", "N/A"},    {0, "N/A", "N/A"},     {-5, "N/A", "N/A"},   {1234, "N/A", "1.234"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FirmwareVersionText(c.v), c.atStart) << c.v;
    EXPECT_EQ(FirmwareVersionTextAfterRead(c.v), c.afterRead) << c.v;
  }
}

TEST(LoadSettings, EmptyFolderGivesMinusOneAndDefaultProfiles) {
  TempFolder folder;
  auto block = ZeroBlock();
  MemoryRegistry reg;
  reg.SetText(kMouseKeyPath, "DoubleClickSpeed", "900");
  EXPECT_EQ(LoadSettings(*block, {folder.path(), &reg}), 1);
  EXPECT_EQ(block->CurrentProfile, -1);
  EXPECT_EQ(block->WindowsProfile, -1);
  EXPECT_EQ(block->SoundProfile, -1);
  EXPECT_EQ(block->SoundVolume, -1);
  for (int i = 0; i < kProfileCount; ++i) {
    EXPECT_EQ(std::string(block->profiles[i].ProFileName), "Default" + std::to_string(i + 1));
    EXPECT_EQ(block->profiles[i].DbleClickSpeed, 500);  // no active profile: the registry is not read
  }
  EXPECT_EQ(ReadFirmwareVersion(folder.path()), 100);
}

TEST(SaveSettings, RoundTripWithRegistryExchange) {
  TempFolder folder;
  auto block = FactoryBlock();
  block->CurrentProfile = 2;
  block->WindowsProfile = -1;
  block->MouseType = 7;
  block->profiles[2].DbleClickSpeed = 650;
  block->profiles[4].Sensitivity_Y = 9;
  std::strcpy(block->profiles[1].ProFileName, "Sniper");
  MemoryRegistry reg;
  EXPECT_EQ(SaveSettings(*block, {folder.path(), &reg}), 1);
  EXPECT_EQ(reg.Get(kMouseKeyPath, "DoubleClickSpeed"), "650");
  EXPECT_NE(ReadBytes(folder / "config.ini").find("WindowsProfile=-1\r\n"), std::string::npos);

  reg.SetText(kMouseKeyPath, "DoubleClickSpeed", "333");  // Windows changed meanwhile
  auto back = ZeroBlock();
  EXPECT_EQ(LoadSettings(*back, {folder.path(), &reg}), 1);
  EXPECT_EQ(back->CurrentProfile, 2);
  EXPECT_EQ(back->WindowsProfile, -1);
  EXPECT_EQ(back->QuickHelpLan, 3);
  EXPECT_EQ(back->MouseType, 7);
  EXPECT_EQ(back->SoundVolume, 2);
  EXPECT_EQ(back->profiles[2].DbleClickSpeed, 333);
  EXPECT_EQ(back->profiles[4].Sensitivity_Y, 9);
  EXPECT_STREQ(back->profiles[1].ProFileName, "Sniper");
  EXPECT_EQ(std::memcmp(&back->profiles[0], &block->profiles[0], sizeof(ProfileRecord)), 0);
}

TEST(SaveSettings, KeepsKeysItDoesNotOwnAndWritesInOrder) {
  TempFolder folder;
  WriteBytes(folder / "config.ini",
             "[Setting]\r\nFWVersion=128\r\nDevice=1\r\nCurrentProfile=4\r\n[FileName]\r\nProfile1=fps\r\n");
  auto block = FactoryBlock();
  EXPECT_EQ(SaveSettings(*block, {folder.path(), nullptr}), 1);
  const std::string text = ReadBytes(folder / "config.ini");
  EXPECT_EQ(text,
            "[Setting]\r\nFWVersion=128\r\nDevice=1\r\nCurrentProfile=0\r\nWindowsProfile=-1\r\nQuickHelpLan=3\r\n"
            "MouseType=0\r\nSoundProfile=1\r\nSoundDpi=1\r\nSoundSens=1\r\nSoundVolume=2\r\n"
            "[FileName]\r\nProfile1=fps\r\n");
  EXPECT_EQ(ReadFirmwareVersion(folder.path()), 128);
}

TEST(SaveSettings, CreatesTheConfigFolderAndFailsQuietlyInAMissingFolder) {
  TempFolder folder;
  std::filesystem::remove_all(folder / "config");
  auto block = FactoryBlock();
  EXPECT_EQ(SaveSettings(*block, {folder.path(), nullptr}), 1);
  EXPECT_TRUE(std::filesystem::exists(SlotFilePath(folder.path(), 4)));
  EXPECT_EQ(SaveSettings(*block, {folder / "absent", nullptr}), 0);
  EXPECT_FALSE(std::filesystem::exists(folder / "absent"));
}

// An Apply that changed one profile writes that profile's file and nothing else, with the bytes a save of
// the whole into an empty folder gives. Untouched files keep a time stamp set far in the past.
TEST(SaveSettings, WritesOnlyTheFilesWhoseContentChanged) {
  TempFolder folder, fresh;
  auto block = FactoryBlock();
  ASSERT_EQ(SaveSettings(*block, {folder.path(), nullptr}), 1);
  std::vector<std::filesystem::path> files{SettingsFilePath(folder.path())};
  for (int i = 0; i < kProfileCount; ++i) files.push_back(SlotFilePath(folder.path(), i));
  const auto past = std::filesystem::last_write_time(files[0]) - std::chrono::hours(24 * 365);
  auto stamp = [&] {
    for (const auto& f : files) std::filesystem::last_write_time(f, past);
  };
  auto written = [&] {
    std::vector<int> which;
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (std::filesystem::last_write_time(files[i]) != past) which.push_back(static_cast<int>(i));
    }
    return which;
  };
  stamp();
  ASSERT_EQ(SaveSettings(*block, {folder.path(), nullptr}), 1);
  EXPECT_TRUE(written().empty());

  CopyTextField(block->profiles[2].GameFile0, "C:\\Games\\game.exe");
  ASSERT_EQ(SaveSettings(*block, {folder.path(), nullptr}), 1);
  EXPECT_EQ(written(), (std::vector<int>{3}));  // config.ini first, then slots 0..4
  ASSERT_EQ(SaveSettings(*block, {fresh.path(), nullptr}), 1);
  EXPECT_EQ(ReadBytes(files[3]), ReadBytes(SlotFilePath(fresh.path(), 2)));

  stamp();
  block->CurrentProfile = 3;  // a setting of config.ini only
  ASSERT_EQ(SaveSettings(*block, {folder.path(), nullptr}), 1);
  EXPECT_EQ(written(), (std::vector<int>{0}));
}

// A folder standing where a file is expected exists but cannot be read, as a file held open without read
// sharing (a backup or scanning program at logon) cannot; ReleaseHeld puts the file back.
void Hold(const std::filesystem::path& path) {
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
}
void ReleaseHeld(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::remove(path);
  WriteBytes(path, bytes);
}

// The user's content of a file unreadable at start must survive the first save: the block holds defaults
// (and the mouse's values) in its place, never the names, bindings and macros of that file.
TEST(UnreadableAtLoad, RetriedThenLeftAloneUntilReadIntoTheBlock) {
  TempFolder folder;
  auto user = FactoryBlock();
  CopyTextField(user->profiles[1].ProFileName, "Racing");
  CopyTextField(user->profiles[2].ProFileName, "Sniper");
  CopyTextField(user->profiles[2].MacroKeyInfo[5].macroName, "reload");
  user->SoundVolume = 7;
  user->QuickHelpLan = -1;  // not chosen yet: the monitor detects it
  ASSERT_EQ(SaveSettings(*user, {folder.path(), nullptr}), 1);
  const auto configIni = SettingsFilePath(folder.path());
  const auto slot1 = SlotFilePath(folder.path(), 1), slot2 = SlotFilePath(folder.path(), 2);
  const std::string iniBytes = ReadBytes(configIni), slot1Bytes = ReadBytes(slot1), slot2Bytes = ReadBytes(slot2);
  Hold(configIni);
  Hold(slot1);
  Hold(slot2);

  // Slot 1 comes free during the start-up retries; slot 2 and config.ini stay held through all of them.
  auto block = FactoryBlock();
  UnreadFiles unread;
  int pauses = 0;
  ReadRetry retry{3, 200, [&](int ms) {
                    EXPECT_EQ(ms, 200);
                    if (++pauses == 2) ReleaseHeld(slot1, slot1Bytes);
                  }};
  ASSERT_EQ(LoadSettings(*block, {folder.path(), nullptr}, &unread, retry), 1);
  EXPECT_EQ(pauses, 3);
  EXPECT_STREQ(block->profiles[1].ProFileName, "Racing");
  EXPECT_STREQ(block->profiles[2].ProFileName, "Default3");
  EXPECT_TRUE(unread.settings);
  EXPECT_FALSE(unread.slots[1]);
  EXPECT_TRUE(unread.slots[2]);
  EXPECT_EQ(block->SoundVolume, -1);

  // Released after the load: the save still leaves both alone, the other files go on.
  ReleaseHeld(configIni, iniBytes);
  ReleaseHeld(slot2, slot2Bytes);
  block->profiles[0].Cpi_X = 3;
  block->profiles[2].Cpi_X = 3;  // the mouse's value, taken over onto defaults
  EXPECT_EQ(SaveSettings(*block, {folder.path(), nullptr}, &unread), 0);
  EXPECT_EQ(ReadBytes(configIni), iniBytes);
  EXPECT_EQ(ReadBytes(slot2), slot2Bytes);
  auto check = ZeroBlock();
  (void)LoadSettings(*check, {folder.path(), nullptr});
  EXPECT_EQ(check->profiles[0].Cpi_X, 3);

  // Once read into the block, a save writes them again, the user's content and the new value together.
  block->QuickHelpLan = 4;
  EXPECT_EQ(RetryUnreadFiles(*block, {folder.path(), nullptr}, unread), 2);
  EXPECT_EQ(RetryUnreadFiles(*block, {folder.path(), nullptr}, unread), 0);
  EXPECT_FALSE(unread.settings || unread.slots[2]);
  EXPECT_EQ(block->SoundVolume, 7);
  EXPECT_EQ(block->QuickHelpLan, 4) << "a language the file leaves at -1 stays as detected";
  block->profiles[2].Cpi_X = 3;
  ASSERT_EQ(SaveSettings(*block, {folder.path(), nullptr}, &unread), 1);
  (void)LoadSettings(*check, {folder.path(), nullptr});
  EXPECT_STREQ(check->profiles[2].ProFileName, "Sniper");
  EXPECT_STREQ(check->profiles[2].MacroKeyInfo[5].macroName, "reload");
  EXPECT_EQ(check->profiles[2].Cpi_X, 3);
  EXPECT_EQ(check->SoundVolume, 7);
}

TEST(UnreadableAtLoad, MissingFilesAreNoReasonToWaitAndNotificationsTellUnreadable) {
  TempFolder folder;
  auto block = FactoryBlock();
  UnreadFiles unread;
  int pauses = 0;
  ASSERT_EQ(LoadSettings(*block, {folder.path(), nullptr}, &unread, ReadRetry{5, 200, [&](int) { ++pauses; }}), 1);
  EXPECT_EQ(pauses, 0);
  EXPECT_FALSE(unread.settings || unread.slots[0]);
  EXPECT_EQ(SaveSettings(*block, {folder.path(), nullptr}, &unread), 1) << "missing files take defaults";

  NotificationSettings settings{};
  EXPECT_EQ(LoadNotificationSettings(settings, folder.path()), 0);
  Hold(SettingsFilePath(folder.path()));
  EXPECT_EQ(LoadNotificationSettings(settings, folder.path()), -1);
}

TEST(SingleKeyWrites, ReplaceOneKeyAndKeepTheRest) {
  TempFolder folder;
  auto block = FactoryBlock();
  ASSERT_EQ(SaveSettings(*block, {folder.path(), nullptr}), 1);
  EXPECT_EQ(WriteCurrentProfile(folder.path(), 3), 1);
  EXPECT_EQ(WriteDeviceState(folder.path(), 1), 1);
  EXPECT_EQ(WriteFirmwareVersion(folder.path(), 131), 1);
  EXPECT_EQ(WriteDeviceState(folder.path(), 0), 1);
  auto back = ZeroBlock();
  (void)LoadSettings(*back, {folder.path(), nullptr});
  EXPECT_EQ(back->CurrentProfile, 3);
  EXPECT_EQ(back->SoundVolume, 2);
  EXPECT_EQ(ReadFirmwareVersion(folder.path()), 131);
  const std::string text = ReadBytes(folder / "config.ini");
  EXPECT_NE(text.find("CurrentProfile=3\r\n"), std::string::npos);
  EXPECT_NE(text.find("Device=0\r\n"), std::string::npos);
  EXPECT_EQ(text.find("Device=1"), std::string::npos);
}

NotificationSettings SampleNotification() {
  NotificationSettings n;
  std::memset(&n, 0, sizeof n);
  ResetNotificationSettings(n);
  n.osdWordA = 0x00012345;
  n.options[6] = -2;
  std::strcpy(n.mailServer, "pop.example.org");
  return n;
}

TEST(NotificationSettings, RoundTripAndDamagedValuesLeaveTheRecord) {
  TempFolder folder;
  const NotificationSettings saved = SampleNotification();
  ASSERT_EQ(SaveNotificationSettings(saved, folder.path()), 1);
  const std::string text = ReadBytes(folder / "config.ini");
  ASSERT_EQ(text.find("[OSDSetting]\r\nconfig="), 0u);
  EXPECT_EQ(text.size(), std::string("[OSDSetting]\r\nconfig=\r\n").size() + 2 * 344 + 2);

  NotificationSettings back;
  std::memset(&back, 0x5A, sizeof back);
  EXPECT_EQ(LoadNotificationSettings(back, folder.path()), 1);
  EXPECT_EQ(std::memcmp(&back, &saved, sizeof back), 0);

  const std::string value = text.substr(text.find('=') + 1, 2 * 344 + 2);
  const std::string damaged[] = {
      value.substr(0, value.size() - 2),                          // no checksum
      value.substr(0, value.size() - 1) + (value.back() == '0' ? "1" : "0"),  // wrong checksum
      value + "00",                                               // too long
      "zz" + value.substr(2),                                     // not hex
      "",
  };
  for (const auto& v : damaged) {
    WriteBytes(folder / "config.ini", "[OSDSetting]\r\nconfig=" + v + "\r\n");
    NotificationSettings kept = SampleNotification();
    kept.checkInterval = 77;
    EXPECT_EQ(LoadNotificationSettings(kept, folder.path()), 0);
    EXPECT_EQ(kept.checkInterval, 77);
  }
}

TEST(NotificationSettings, TextsFillingTheirFieldAreCut) {
  TempFolder folder;
  NotificationSettings n = SampleNotification();
  std::memset(n.mailUser, 'u', sizeof n.mailUser);  // no terminator
  ASSERT_EQ(SaveNotificationSettings(n, folder.path()), 1);
  NotificationSettings back{};
  ASSERT_EQ(LoadNotificationSettings(back, folder.path()), 1);
  EXPECT_EQ(std::strlen(back.mailUser), sizeof back.mailUser - 1);
}

}  // namespace
}  // namespace sarn
