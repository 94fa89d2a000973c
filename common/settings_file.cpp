#include "common/settings_file.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <system_error>
#include <thread>

#include "common/debug_output.h"
#include "common/private_profile.h"
#include "common/profile_file.h"
#include "common/registry.h"

namespace sarn {

namespace {

constexpr const char* kSetting = "Setting";


struct LanguageRow {
  int index;
  const char* name;
  std::uint16_t ids[20];  // zero-terminated
};
constexpr LanguageRow kLanguages[] = {
    {0, "Danish", {0x0406}},
    {1, "English", {}},
    {2, "Finnish", {0x040B}},
    {3, "French", {0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C}},
    {4, "German", {0x0407, 0x0807, 0x0C07, 0x1007, 0x1407}},
    {5, "Italian", {0x0410, 0x0810}},
    {6, "Japanese", {0x0411}},
    {7, "Korean", {0x0412}},
    {8, "Polish", {0x0415}},
    {9, "Russian", {0x0419}},
    {10, "SimplChinese", {0x0804}},
    {11, "Spanish", {0x040A, 0x080A, 0x0C0A, 0x100A, 0x140A, 0x180A, 0x1C0A, 0x200A, 0x240A, 0x280A, 0x2C0A,
                      0x300A, 0x340A, 0x380A, 0x3C0A, 0x400A, 0x440A, 0x480A, 0x4C0A, 0x500A}},
    {12, "Swedish", {0x041D}},
    {13, "Thai", {0x041E}},
    {14, "TradChinese", {0x0404}},
    {15, "Turkish", {0x041F}},
    {16, "Vietnamese", {0x042A}},
};

int WriteSettingInt(const std::filesystem::path& folder, const char* key, int value) {
  return EditIniFile(SettingsFilePath(folder), [&](IniDocument& doc) { doc.SetInt(kSetting, key, value); }) ? 1 : 0;
}

std::string WithPoint(int version) {
  std::string digits = std::to_string(version);
  return digits.substr(0, 1) + "." + digits.substr(1);
}

}  // namespace

int DetectLanguage(std::uint16_t languageId) {
  for (const LanguageRow& row : kLanguages) {
    for (std::uint16_t id : row.ids) {
      if (id == 0) break;
      if (id == languageId) return row.index;
    }
  }
  return 1;
}

int DetectLanguage(const LanguageIdSource& source) {
  return DetectLanguage(source ? source() : SystemDefaultLanguageId());
}

const char* LanguageName(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kLanguages))) return "English";
  return kLanguages[index].name;
}

std::filesystem::path SettingsFilePath(const std::filesystem::path& programFolder) {
  return programFolder / "config.ini";
}

namespace {

std::string Shown(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

void ReadSettingInts(SharedBlock& block, const IniDocument& doc, bool keepLanguage) {
  const int language = block.QuickHelpLan;
  for (const SettingIntKey& k : kSettingInts) block.*k.field = doc.GetInt(kSetting, k.key, -1);
  if (keepLanguage && block.QuickHelpLan == -1) block.QuickHelpLan = language;
}

FileRead ReadSlotFile(ProfileRecord& record, const std::filesystem::path& path) {
  IniDocument doc;
  const FileRead read = LoadIniFileState(path, doc);
  if (read == FileRead::kRead) ReadProfileDocument(record, doc);
  return read;
}

bool AnyUnread(const UnreadFiles& unread) {
  if (unread.settings) return true;
  for (bool slot : unread.slots) {
    if (slot) return true;
  }
  return false;
}

void ReadActiveRegistry(SharedBlock& block, const SettingsContext& context) {
  if (context.registry != nullptr && block.CurrentProfile >= 0 && block.CurrentProfile < kProfileCount) {
    (void)ReadMouseRegistry(block.profiles[block.CurrentProfile], *context.registry);
  }
}

int ReadUnreadFiles(SharedBlock& block, const SettingsContext& context, UnreadFiles& unread) {
  int read = 0;
  if (unread.settings) {
    IniDocument doc;
    if (LoadIniFileState(SettingsFilePath(context.folder), doc) != FileRead::kUnreadable) {
      ReadSettingInts(block, doc, true);
      unread.settings = false;
      ++read;
    }
  }
  for (int i = 0; i < kProfileCount; ++i) {
    if (!unread.slots[i]) continue;
    const FileRead state = ReadSlotFile(block.profiles[i], SlotFilePath(context.folder, i));
    if (state == FileRead::kUnreadable) continue;
    if (state == FileRead::kMissing) InitProfileDefaults(block.profiles[i], i);
    unread.slots[i] = false;
    ++read;
  }
  return read;
}

}  // namespace

int LoadSettings(SharedBlock& block, const SettingsContext& context, UnreadFiles* unread, const ReadRetry& retry) {
  UnreadFiles marks;
  IniDocument doc;
  // Missing: every integer takes its default.
  marks.settings = LoadIniFileState(SettingsFilePath(context.folder), doc) == FileRead::kUnreadable;
  ReadSettingInts(block, doc, false);

  for (int i = 0; i < kProfileCount; ++i) {
    const FileRead read = ReadSlotFile(block.profiles[i], SlotFilePath(context.folder, i));
    if (read != FileRead::kRead) InitProfileDefaults(block.profiles[i], i);
    marks.slots[i] = read == FileRead::kUnreadable;
  }
  if (unread != nullptr) {
    // A backup or scanning program holds a file for moments: a short wait usually gets the real content.
    for (int attempt = 0; attempt < retry.attempts && AnyUnread(marks); ++attempt) {
      if (retry.pause) {
        retry.pause(retry.pauseMs);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(retry.pauseMs));
      }
      (void)ReadUnreadFiles(block, context, marks);
    }
    if (marks.settings) WriteDebugLine("cannot be read, left alone until it can: " + Shown(SettingsFilePath(context.folder)));
    for (int i = 0; i < kProfileCount; ++i) {
      if (marks.slots[i]) WriteDebugLine("cannot be read, left alone until it can: " + Shown(SlotFilePath(context.folder, i)));
    }
    unread->settings = marks.settings;
    std::copy(std::begin(marks.slots), std::end(marks.slots), std::begin(unread->slots));
  }
  ReadActiveRegistry(block, context);
  return 1;
}

int RetryUnreadFiles(SharedBlock& block, const SettingsContext& context, UnreadFiles& unread) {
  const int read = ReadUnreadFiles(block, context, unread);
  if (read > 0) ReadActiveRegistry(block, context);
  return read;
}

int SaveSettings(const SharedBlock& block, const SettingsContext& context, const UnreadFiles* unread) {
  if (context.registry != nullptr && block.CurrentProfile >= 0 && block.CurrentProfile < kProfileCount) {
    (void)WriteMouseRegistry(block.profiles[block.CurrentProfile], *context.registry);
  }
  const auto skipped = [](const std::filesystem::path& path) {
    WriteDebugLine("not saved, it could not be read when loaded: " + Shown(path));
    return 0;
  };
  int result = 1;
  if (unread != nullptr && unread->settings) {
    result = skipped(SettingsFilePath(context.folder));
  } else {
    const bool saved = EditIniFile(SettingsFilePath(context.folder), [&](IniDocument& doc) {
      for (const SettingIntKey& k : kSettingInts) doc.SetInt(kSetting, k.key, block.*k.field);
    });
    if (!saved) result = 0;
  }

  // A program folder without its config folder (a fresh copy) would otherwise never keep its profiles.
  std::error_code ec;
  if (std::filesystem::is_directory(context.folder, ec)) std::filesystem::create_directory(context.folder / "config", ec);
  for (int i = 0; i < kProfileCount; ++i) {
    if (unread != nullptr && unread->slots[i]) {
      result = skipped(SlotFilePath(context.folder, i));
    } else if (WriteProfileFile(block.profiles[i], SlotFilePath(context.folder, i)) == 0) {
      result = 0;
    }
  }
  return result;
}

int ReadFirmwareVersion(const std::filesystem::path& programFolder) {
  IniDocument doc;
  (void)LoadIniFile(SettingsFilePath(programFolder), doc);
  return doc.GetInt(kSetting, "FWVersion", 100);
}

int ReadDeviceState(const std::filesystem::path& programFolder) {
  IniDocument doc;
  (void)LoadIniFile(SettingsFilePath(programFolder), doc);
  return doc.GetInt(kSetting, "Device", -1);
}

std::string FirmwareVersionText(int version) {
  if (version < 100 || version > 500) return "N/A";
  return WithPoint(version);
}

std::string FirmwareVersionTextAfterRead(int version) {
  if (version < 100) return "N/A";
  return WithPoint(version);
}

int WriteCurrentProfile(const std::filesystem::path& programFolder, int profile) {
  return WriteSettingInt(programFolder, "CurrentProfile", profile);
}

int WriteDeviceState(const std::filesystem::path& programFolder, int present) {
  return WriteSettingInt(programFolder, "Device", present);
}

int WriteFirmwareVersion(const std::filesystem::path& programFolder, int version) {
  return WriteSettingInt(programFolder, "FWVersion", version);
}

int LoadNotificationSettings(NotificationSettings& settings, const std::filesystem::path& programFolder) {
  IniDocument doc;
  const FileRead read = LoadIniFileState(SettingsFilePath(programFolder), doc);
  if (read != FileRead::kRead) return read == FileRead::kUnreadable ? -1 : 0;
  NotificationSettings scratch;
  if (!doc.GetStruct("OSDSetting", "config", &scratch, sizeof scratch)) return 0;
  // Texts that fill their field are cut to fit so nothing reads past them.
  scratch.mailServer[sizeof scratch.mailServer - 1] = '\0';
  scratch.mailUser[sizeof scratch.mailUser - 1] = '\0';
  scratch.mailPassword[sizeof scratch.mailPassword - 1] = '\0';
  settings = scratch;
  return 1;
}

int SaveNotificationSettings(const NotificationSettings& settings, const std::filesystem::path& programFolder) {
  const bool saved = EditIniFile(SettingsFilePath(programFolder), [&](IniDocument& doc) {
    doc.SetStruct("OSDSetting", "config", &settings, sizeof settings);
  });
  return saved ? 1 : 0;
}

#if !defined(_WIN32)
std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path();
}

std::uint16_t SystemDefaultLanguageId() { return 0x0409; }
#endif

}  // namespace sarn
