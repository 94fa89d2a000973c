#include "tools/core/folder_edits.h"

#include <memory>
#include <system_error>

#include "common/profile_file.h"
#include "common/settings_file.h"
#include "option/macro/macro_store.h"

namespace sarnctl {

namespace {

bool Exists(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec) || std::filesystem::exists(sarn::PendingPath(path), ec);
}

bool Edit(const std::filesystem::path& path, const std::function<bool(sarn::IniDocument&)>& edit, std::string& error) {
  switch (sarn::EditIniFileChecked(path, edit)) {
    case sarn::IniEdit::kDone:
      return true;
    case sarn::IniEdit::kRefused:
      return false;
    case sarn::IniEdit::kUnreadable:
      error = "cannot read " + path.string() + " (held open by another program?): nothing was written";
      return false;
    case sarn::IniEdit::kWriteFailed:
      break;
  }
  error = "cannot write " + path.string();
  return false;
}

}  // namespace

bool EditSettingsFile(const std::filesystem::path& folder, const std::function<bool(sarn::IniDocument&)>& edit,
                      std::string& error) {
  return Edit(sarn::SettingsFilePath(folder), edit, error);
}

bool EditSlotProfile(const std::filesystem::path& folder, int slot,
                     const std::function<bool(sarn::ProfileRecord&)>& edit, std::string& error) {
  const auto path = sarn::SlotFilePath(folder, slot);
  return Edit(path, [&](sarn::IniDocument& doc) {
    auto profile = std::make_unique<sarn::ProfileRecord>();
    sarn::InitProfileDefaults(*profile, slot);
    // Under the lock the file cannot appear or go: what exists now is what was read.
    if (Exists(path)) sarn::ReadProfileDocument(*profile, doc);
    if (!edit(*profile)) return false;
    // A fresh program folder has no config folder yet.
    std::error_code ec;
    std::filesystem::create_directory(folder / "config", ec);
    sarn::WriteProfileDocument(*profile, doc);
    return true;
  }, error);
}

bool SetSettingsInFolder(const std::filesystem::path& folder, const std::vector<std::string>& assignments,
                         Problems& problems, std::string& error) {
  std::vector<std::string> settings, display;
  for (const auto& word : assignments) (IsOsdAssignment(word) ? display : settings).push_back(word);
  return EditSettingsFile(folder, [&](sarn::IniDocument& doc) {
    auto block = std::make_unique<sarn::SharedBlock>();
    for (const auto& k : sarn::kSettingInts) block.get()->*k.field = doc.GetInt("Setting", k.key, -1);
    auto before = std::make_unique<sarn::SharedBlock>(*block);
    SetSettingFields(*block, settings, problems);
    sarn::OsdSettings osd = sarn::ReadOsdSettings(doc);
    std::vector<std::string> named;
    SetOsdFields(osd, display, named, problems);
    if (!problems.empty()) return false;
    for (const auto& k : sarn::kSettingInts) {
      if (block.get()->*k.field != before.get()->*k.field) doc.SetInt("Setting", k.key, block.get()->*k.field);
    }
    // Only the display's keys named: a hand-edited key beside them stays as it is.
    sarn::IniDocument written;
    sarn::WriteOsdSettings(written, osd);
    for (const auto& key : named) {
      doc.SetString(sarn::kOsdSection, key, written.GetString(sarn::kOsdSection, key, ""));
    }
    return true;
  }, error);
}

bool SetProfileInFolder(const std::filesystem::path& folder, int slot, const std::vector<std::string>& assignments,
                        Problems& problems, std::string& error) {
  return EditSlotProfile(folder, slot, [&](sarn::ProfileRecord& profile) {
    SetProfileFields(profile, assignments, problems);
    return problems.empty();
  }, error);
}

bool ReadFolderCommandState(const std::filesystem::path& folder, CommandState& state, std::string& error) {
  const auto path = sarn::SettingsFilePath(folder);
  sarn::IniDocument doc;
  if (!sarn::LoadIniFile(path, doc) && Exists(path)) {
    error = "cannot read " + path.string() + " (held open by another program?): nothing was written";
    return false;
  }
  ReadCommandState(doc, state);
  return true;
}

bool WriteFolderCommandState(const std::filesystem::path& folder, const CommandState& state, std::string& error) {
  return EditSettingsFile(folder, [&state](sarn::IniDocument& doc) {
    WriteCommandState(state, doc);
    return true;
  }, error);
}

bool CheckFolderReadable(const std::filesystem::path& folder, std::string& error) {
  std::vector<std::filesystem::path> paths{sarn::SettingsFilePath(folder), sarn::MacroStorePath(folder)};
  for (int p = 0; p < sarn::kProfileCount; ++p) paths.push_back(sarn::SlotFilePath(folder, p));
  for (const auto& path : paths) {
    std::string bytes;
    if (Exists(path) && !sarn::ReadWholeFile(path, bytes) && !sarn::ReadWholeFile(sarn::PendingPath(path), bytes)) {
      error = "cannot read " + path.string() + " (held open by another program?): nothing was written";
      return false;
    }
  }
  return true;
}

}  // namespace sarnctl
