#include "option/option_core.h"

#include <array>
#include <cstring>
#include <utility>

#include "common/debug_output.h"
#include "common/profile_file.h"
#include "common/registry.h"
#include "common/settings_file.h"
#include "common/text_encoding.h"
#include "option/skin_controls.h"

namespace sarn {

int OperatingSystemClass(unsigned platformId, unsigned major, unsigned minor) {
  if (platformId == 1 && major == 4) return minor < 90 ? 1 : 2;
  if (platformId == 2 && major == 5) return minor == 0 ? 3 : 4;
  if (platformId == 2 && major == 6) return minor == 0 ? 5 : 6;
  return 0;
}

int LanguagePictureIndex(int quickHelpLan) {
  return quickHelpLan >= 0 && quickHelpLan < kLanguageCount ? quickHelpLan : 1;
}

namespace {

constexpr std::array<std::string_view, kLanguageCount> kLanguageListLayouts = {
    "L1,3,17,93,13,",   "L2,3,34,93,13,",   "L3,3,50,93,13,",   "L4,3,66,93,13,",   "L5,3,82,93,13,",
    "L6,3,98,93,13,",   "L7,3,114,93,13,",  "L8,3,130,93,13,",  "L9,3,146,93,13,",  "L10,3,162,93,13,",
    "L11,3,178,93,13,", "L12,3,194,93,13,", "L13,3,210,93,13,", "L14,3,226,93,13,", "L15,3,242,93,13,",
    "L16,3,258,93,13,", "L17,3,274,93,13,"};

// Hover, pressed and the help area are what the list's narrow margins keep free for.
constexpr int kLanguageHitInset = 6;
constexpr int kLanguageListLift = 289;

void SetAllChangeFlags(SharedBlock& block) {
  for (auto& profile : block.ButtonChanged) {
    for (auto& flag : profile) flag = 1;
  }
  for (auto& flag : block.ProfileChanged) flag = 1;
  block.SettingsChanged = 1;
}

}  // namespace

std::string_view LanguageListLayout(int index) {
  return index >= 0 && index < kLanguageCount ? kLanguageListLayouts[static_cast<std::size_t>(index)]
                                              : std::string_view();
}

int LanguageListHit(int x, int y) {
  for (int i = 0; i < kLanguageCount; ++i) {
    const LayoutEntry e = ParseLayout(kLanguageListLayouts[static_cast<std::size_t>(i)]);
    if (x >= e.left + kLanguageHitInset && x < e.right - kLanguageHitInset && y >= e.top && y < e.bottom) return i;
  }
  return -1;
}

ListPoint LanguageListOrigin(int buttonLeft, int buttonTop) { return {buttonLeft, buttonTop - kLanguageListLift}; }

std::string LoadRefusalText(const std::filesystem::path& chosen) {
  std::string bytes;
  if (ReadNewestFile(chosen, bytes) != FileRead::kRead || IsProfileDocument(IniDocument::Parse(bytes))) return {};
#if defined(_WIN32)
  const std::string name = WideToUtf8(chosen.filename().wstring());
#else
  const std::string name = chosen.filename().string();
#endif
  return "\"" + name + "\" is not a Zorvan Mouse Profile file (*.zmp). Nothing was loaded.";
}

std::string SaveRefusalText(const std::filesystem::path& programFolder, int slot, const std::filesystem::path& chosen) {
  if (slot < 0 || slot >= kProfileCount) return {};
  const int other = SaveTakesSlotFile(programFolder, slot, chosen);
  if (other < 0) return {};
#if defined(_WIN32)
  const std::string name = WideToUtf8(chosen.filename().wstring());
#else
  const std::string name = chosen.filename().string();
#endif
  return "\"" + name + "\" would replace the file of profile " + std::to_string(other + 1) + " (config\\Default" +
         std::to_string(other) + ".zmp). Profile " + std::to_string(slot + 1) +
         " was not saved; choose another name.";
}

// --- FileStorage ------------------------------------------------------------------------------------------

void FileStorage::LoadSettings(SharedBlock& block) {
  // The registry is read separately (only for a running monitor's active profile, after the copy).
  (void)sarn::LoadSettings(block, SettingsContext{folder_, nullptr}, &unread_);
  if (registry_ != nullptr && block.CurrentProfile >= 0 && block.CurrentProfile < kProfileCount) {
    (void)sarn::ReadMouseRegistry(block.profiles[block.CurrentProfile], *registry_);
  }
}
int FileStorage::ReadFirmwareVersion() { return sarn::ReadFirmwareVersion(folder_); }
void FileStorage::LoadNotificationSettings(NotificationSettings& s) {
  if (sarn::LoadNotificationSettings(s, folder_) == -1) unread_.notification = true;
}
void FileStorage::SaveNotificationSettings(const NotificationSettings& s) {
  // The record shown is the defaults, not what config.ini holds.
  if (unread_.notification) {
    WriteDebugLine("notification settings not saved: config.ini could not be read when loaded");
    return;
  }
  (void)sarn::SaveNotificationSettings(s, folder_);
}
void FileStorage::SaveSettings(const SharedBlock& block) {
  (void)sarn::SaveSettings(block, SettingsContext{folder_, registry_}, &unread_);
}
int FileStorage::LoadMacroStore(MacroStore& store) { return sarn::LoadMacroStore(store, folder_); }
void FileStorage::SaveMacroStore(const MacroStore& store) { (void)sarn::SaveMacroStore(store, folder_); }
void FileStorage::LoadTimers(TimerList& timers) { (void)sarn::LoadTimers(timers, folder_); }
void FileStorage::SaveTimers(const TimerList& timers) { (void)sarn::SaveTimers(timers, folder_); }
void FileStorage::ReadMouseRegistry(ProfileRecord& record) {
  if (registry_ != nullptr) (void)sarn::ReadMouseRegistry(record, *registry_);
}
int FileStorage::LoadProfileIntoSlot(SharedBlock& working, const std::filesystem::path& chosen) {
  return sarn::LoadProfileIntoSlot(working, folder_, chosen);
}
int FileStorage::SaveSlotToProfileFile(const SharedBlock& working, const std::filesystem::path& chosen) {
  return sarn::SaveSlotToProfileFile(working, folder_, chosen);
}

// --- OptionCore -------------------------------------------------------------------------------------------

OptionCore::OptionCore(OptionShell& shell, MonitorLink& monitor, OptionStorage& storage, SharedBlockStore* block,
                       LanguageSource language)
    : shell_(shell),
      monitor_(monitor),
      storage_(storage),
      block_(block),
      language_(std::move(language)),
      working_(std::make_unique<SharedBlock>()),
      lastApplied_(std::make_unique<SharedBlock>()) {
  std::memset(working_.get(), 0, sizeof(SharedBlock));
  std::memset(lastApplied_.get(), 0, sizeof(SharedBlock));
  working_->CurrentProfile = lastApplied_->CurrentProfile = -1;
  working_->WindowsProfile = lastApplied_->WindowsProfile = -1;
  ResetNotificationSettings(notifications_);
}

OptionCore::~OptionCore() { FreeMacroStore(macros_); }

ProfileRecord* OptionCore::selectedProfile() {
  const int p = working_->CurrentProfile;
  return p >= 0 && p < kProfileCount ? &working_->profiles[p] : nullptr;
}

void OptionCore::ReadBlockIntoLastApplied() {
  // A failed wait leaves the last-applied copy as it was.
  if (block_ != nullptr) (void)block_->ReadBlock(*lastApplied_);
}

void OptionCore::MergeAndSaveMacros() {
  // The store is written when the merge brought something in (or the file is not known to hold it); an
  // unchanged store is not rewritten, which keeps a flushed file write off every start.
  const std::string before = SerializeMacroStore(macros_);
  MergeProfileMacros(macros_, std::span<const ProfileRecord>(working_->profiles, kProfileCount));
  if (!macroFileCurrent_ || SerializeMacroStore(macros_) != before) {
    storage_.SaveMacroStore(macros_);
    macroFileCurrent_ = true;
  }
}

void OptionCore::SaveMacros() {
  storage_.SaveMacroStore(macros_);
  macroFileCurrent_ = true;
}

void OptionCore::ReloadMacros() {
  FreeMacroStore(macros_);
  macroFileCurrent_ = storage_.LoadMacroStore(macros_) == 1;
}

void OptionCore::Start() {
  ClearSharedBlock(*lastApplied_);
  firmwareText_ = FirmwareVersionText(storage_.ReadFirmwareVersion());
  shell_.RebuildSupportAddresses();
  if (block_ != nullptr && block_->ReadBlock(*lastApplied_) == 1) {
    ClearChangeFlags(*lastApplied_);
  } else {
    // No monitor (or its mutex could not be waited for): the files are the truth.
    storage_.LoadSettings(*lastApplied_);
  }
  macroFileCurrent_ = storage_.LoadMacroStore(macros_) == 1;
  storage_.LoadNotificationSettings(notifications_);
  storage_.LoadTimers(timers_);
  *working_ = *lastApplied_;
  MergeAndSaveMacros();
  // The monitor's block carries the profiles as the mouse has them; the Windows settings are the system's.
  if (block_ != nullptr) {
    if (ProfileRecord* active = selectedProfile()) storage_.ReadMouseRegistry(*active);
  }
  shell_.Refresh(RefreshScope::kWholeWindow);
  shell_.ReloadLanguage();
}

void OptionCore::SelectSlot(int slot) {
  if (slot < 0 || slot >= kProfileCount) return;
  working_->CurrentProfile = slot;
  shell_.Refresh(RefreshScope::kWholeWindow);
}

void OptionCore::ToggleWindowsProfile(int slot) {
  if (slot < 0 || slot >= kProfileCount) return;
  if (working_->WindowsProfile == slot) {
    working_->WindowsProfile = -1;
  } else if (shell_.ConfirmWindowsProfile(slot + 1)) {
    working_->WindowsProfile = slot;
  }
  shell_.Refresh(RefreshScope::kSlotMarks);
}

void OptionCore::EditProfileTexts(bool fresh) {
  ProfileRecord* p = selectedProfile();
  if (p == nullptr) return;
  OptionShell::ProfileTexts texts;
  if (!fresh) {
    texts.name.assign(p->ProFileName, TextFieldLength(p->ProFileName));
    texts.game0.assign(p->GameFile0, TextFieldLength(p->GameFile0));
    texts.game1.assign(p->GameFile1, TextFieldLength(p->GameFile1));
    texts.game2.assign(p->GameFile2, TextFieldLength(p->GameFile2));
  }
  if (!shell_.EditProfileTexts(texts)) return;
  // Each text is cut to its field; the dialog already limits the name to 20 characters.
  CopyTextField(p->ProFileName, texts.name.c_str());
  CopyTextField(p->GameFile0, texts.game0.c_str());
  CopyTextField(p->GameFile1, texts.game1.c_str());
  CopyTextField(p->GameFile2, texts.game2.c_str());
  shell_.Refresh(RefreshScope::kNameFields);
}

void OptionCore::CreateProfile() { EditProfileTexts(true); }
void OptionCore::EditProfile() { EditProfileTexts(false); }

int OptionCore::LoadProfile() {
  if (selectedProfile() == nullptr) return 0;
  const std::filesystem::path chosen = shell_.ChooseProfileToLoad();
  if (chosen.empty()) return 0;
  if (storage_.LoadProfileIntoSlot(*working_, chosen) != 1) return 0;
  shell_.Refresh(RefreshScope::kWholeWindow);
  return 1;
}

int OptionCore::SaveProfile() {
  if (selectedProfile() == nullptr) return 0;
  const std::filesystem::path chosen = shell_.ChooseProfileToSave();
  if (chosen.empty()) return 0;
  return storage_.SaveSlotToProfileFile(*working_, chosen) == 1 ? 1 : 0;
}

ApplyAnswer ApplyWorkingCopy(SharedBlock& working, SharedBlock& lastApplied, SharedBlockStore* block,
                             OptionStorage& storage, MonitorLink& monitor, const NotificationSettings& notifications,
                             const MacroStore& macros, int reason) {
  ComputeChangeFlags(working, lastApplied);
  // Without a monitor there is no mutex: the copy is skipped and the files are written all the same.
  if (block != nullptr) (void)block->WriteBlock(working);
  storage.SaveNotificationSettings(notifications);
  storage.SaveSettings(working);
  storage.SaveMacroStore(macros);
  const ApplyAnswer answer = monitor.SendApplyAll(reason);
  monitor.PostApplyToDisplays();
  if (answer == ApplyAnswer::kNoAnswer) return answer;
  ClearChangeFlags(working);
  lastApplied = working;
  return answer;
}

void OptionCore::Apply(int reason) {
  shell_.SetBusy(true);
  const ApplyAnswer answer =
      ApplyWorkingCopy(*working_, *lastApplied_, block_, storage_, monitor_, notifications_, macros_, reason);
  shell_.SetBusy(false);
  applyPending_ = answer == ApplyAnswer::kNoAnswer;
  if (applyPending_) shell_.ReportApplyNotAnswered();
}

void OptionCore::RestoreDefaults() {
  ResetSettings(*working_, language_);
  ResetNotificationSettings(notifications_);
  SetAllChangeFlags(*working_);
  shell_.Refresh(RefreshScope::kWholeWindow);
  shell_.ReloadLanguage();
  Apply(1);
}

void OptionCore::ChooseLanguage(int index) {
  if (index < 0 || index >= kLanguageCount) return;
  working_->QuickHelpLan = index;
  shell_.ReloadLanguage();
}

void OptionCore::OnDeviceReadDone() {
  firmwareText_ = FirmwareVersionTextAfterRead(storage_.ReadFirmwareVersion());
  shell_.Refresh(RefreshScope::kVersionTexts);
  ReadBlockIntoLastApplied();
  ClearChangeFlags(*lastApplied_);
  *working_ = *lastApplied_;
  shell_.Refresh(RefreshScope::kWholeWindow);
  shell_.RebuildSupportAddresses();
  MergeAndSaveMacros();
}

void OptionCore::OnProfileSwitched() {
  ReadBlockIntoLastApplied();
  *working_ = *lastApplied_;
  shell_.Refresh(RefreshScope::kWholeWindow);
}

void OptionCore::OnSensorChanged() {
  ReadBlockIntoLastApplied();
  const int p = lastApplied_->CurrentProfile;
  if (p >= 0 && p < kProfileCount) {
    const ProfileRecord& from = lastApplied_->profiles[p];
    ProfileRecord& to = working_->profiles[p];
    // Only what the mouse changes by itself; the user's other unsaved edits stay.
    to.Sensitivity_X = from.Sensitivity_X;
    to.Sensitivity_Y = from.Sensitivity_Y;
    std::memcpy(to.dpi, from.dpi, sizeof to.dpi);
    to.Cpi_X = from.Cpi_X;
    to.Cpi_Y = from.Cpi_Y;
    to.PollingRate = from.PollingRate;
  }
  shell_.Refresh(RefreshScope::kMainPage);
}

void OptionCore::OnEnableApply() { shell_.EnableApplyButtons(); }

}  // namespace sarn
