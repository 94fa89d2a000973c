// config.ini in the program folder: the block's eight "Setting" integers, the firmware version, the
// monitor's single-key notes, the notification settings, and (through LoadSettings/SaveSettings) the five
// slot profile files and the active profile's Windows mouse settings.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "common/profile_record.h"

namespace sarn {

class RegistryPort;

// The eight integers of section "Setting" that map onto the block, in the order they are read and written.
struct SettingIntKey {
  const char* key;
  std::int32_t SharedBlock::*field;
};
inline constexpr SettingIntKey kSettingInts[] = {
    {"CurrentProfile", &SharedBlock::CurrentProfile}, {"WindowsProfile", &SharedBlock::WindowsProfile},
    {"QuickHelpLan", &SharedBlock::QuickHelpLan},     {"MouseType", &SharedBlock::MouseType},
    {"SoundProfile", &SharedBlock::SoundProfile},     {"SoundDpi", &SharedBlock::SoundDpi},
    {"SoundSens", &SharedBlock::SoundSens},           {"SoundVolume", &SharedBlock::SoundVolume},
};

// The folder of the running executable (without a trailing separator); empty when the platform cannot tell.
// A path, never text in the system code page: the folder's name may hold letters that code page lacks.
[[nodiscard]] std::filesystem::path ProgramFolder();

// The system's default language identifier (GetSystemDefaultLangID on Windows; 0x0409 elsewhere).
using LanguageIdSource = std::function<std::uint16_t()>;
[[nodiscard]] std::uint16_t SystemDefaultLanguageId();
// Language index 0..16 of a language identifier; 1 (English) for every identifier not in the table.
[[nodiscard]] int DetectLanguage(std::uint16_t languageId);
[[nodiscard]] int DetectLanguage(const LanguageIdSource& source);
// The help library's language name for an index ("English" for index 1 and anything out of range).
[[nodiscard]] const char* LanguageName(int index);

// Where the settings live and how the registry is reached. Without a registry the mouse settings are not
// exchanged (native builds, sarnctl).
struct SettingsContext {
  std::filesystem::path folder;
  RegistryPort* registry = nullptr;
};

[[nodiscard]] std::filesystem::path SettingsFilePath(const std::filesystem::path& programFolder);

// The files a load found but could not read (held open without read sharing, as backup or scanning programs
// do at logon). The block holds defaults in their place, and saving those would replace the user's names,
// game bindings, shortcuts and macros: such a file is not saved until it has been read into the block.
struct UnreadFiles {
  bool settings = false;           // config.ini, its "Setting" integers
  bool notification = false;       // config.ini, the notification record (LoadNotificationSettings gave -1)
  bool slots[kProfileCount] = {};  // config\Default<n>.zmp
};

// How a load tries unreadable files again: `attempts` more reads, `pauseMs` apart (a second or so in all).
struct ReadRetry {
  int attempts = 5;
  int pauseMs = 200;
  std::function<void(int ms)> pause;  // empty: the calling thread sleeps
};

// config.ini and the five slot files into the block (defaults for what is missing), then the active
// profile's mouse settings from the registry. Returns 1. With `unread`, files that exist but cannot be read
// are tried again as `retry` says, and those still unreadable are marked there (config.ini and slots only).
int LoadSettings(SharedBlock& block, const SettingsContext& context, UnreadFiles* unread = nullptr,
                 const ReadRetry& retry = {});
// Reads each marked file that can be read now into the block, as LoadSettings would have, and unmarks it (a
// "Setting" QuickHelpLan of -1 keeps the block's language); the registry follows when anything was read.
// Returns how many files were read. The monitor calls it before it takes a full read of the mouse over.
int RetryUnreadFiles(SharedBlock& block, const SettingsContext& context, UnreadFiles& unread);
// The active profile's mouse settings to the registry, the "Setting" integers and the five slot files.
// Returns 1 when every file was written, 0 when one could not be (nothing is shown to the user). A file
// marked in `unread` is left as it is (a debug line names it); the others are saved.
int SaveSettings(const SharedBlock& block, const SettingsContext& context, const UnreadFiles* unread = nullptr);

// "Setting"/"FWVersion", 100 when missing.
[[nodiscard]] int ReadFirmwareVersion(const std::filesystem::path& programFolder);
// "Setting"/"Device" as the monitor wrote it (1 found and set up, 0 not found or removed); -1 when missing.
[[nodiscard]] int ReadDeviceState(const std::filesystem::path& programFolder);
// "1.28" for 128; "N/A" outside 100..500.
[[nodiscard]] std::string FirmwareVersionText(int version);
// After the monitor read the mouse again: only values below 100 give "N/A".
[[nodiscard]] std::string FirmwareVersionTextAfterRead(int version);

// The monitor's single-key writes of "Setting": 1, or 0 when the file could not be written.
int WriteCurrentProfile(const std::filesystem::path& programFolder, int profile);
int WriteDeviceState(const std::filesystem::path& programFolder, int present);
int WriteFirmwareVersion(const std::filesystem::path& programFolder, int version);

// "OSDSetting"/"config" as one 344-byte struct. A missing or damaged value leaves the record as it was.
// Load returns 1 when the record was replaced, -1 when config.ini exists but cannot be read, 0 otherwise;
// Save 1, or 0 on failure.
int LoadNotificationSettings(NotificationSettings& settings, const std::filesystem::path& programFolder);
int SaveNotificationSettings(const NotificationSettings& settings, const std::filesystem::path& programFolder);

}  // namespace sarn
