// The configuration application's state apart from any window: the working and last-applied copies of the
// SharedBlock, the slot bar, Apply and its exact order, the reactions to the monitor's notifications, and the
// start-up sequence. It acts on the world only through the ports below, so every order is tested natively.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "common/language_texts.h"
#include "common/messages.h"
#include "common/profile_record.h"
#include "common/settings_file.h"
#include "common/shared_block.h"
#include "common/timer_list.h"
#include "option/macro/macro_store.h"

namespace sarn {

class RegistryPort;

inline constexpr const char* kOptionInstanceMutexName = "Zorvan_Sarn+_configure";
inline constexpr const char* kSoftwareVersionText = "1.28";
inline constexpr const char* kDisplayWindowTitles[] = {
    "ZORVAN Sarn[+] Mouse Pop3", "ZORVAN Sarn[+] Mouse CPU RAM", "ZORVAN Sarn[+] Mouse OSD SKYPE"};

inline constexpr int kLanguageCount = 17;
inline constexpr int kProfileNameMaxChars = 20;

// 1 Windows 95/98, 2 Me, 3 2000, 4 XP, 5 Vista, 6 7 and the later 6.x; 0 anything else.
[[nodiscard]] int OperatingSystemClass(unsigned platformId, unsigned major, unsigned minor);

// The picture set the language button shows: language n, or language 1 for anything outside 0..16.
[[nodiscard]] int LanguagePictureIndex(int quickHelpLan);

// The drop-down language list: entry rectangles relative to the list, hit test with the entries narrowed by
// 6 pixels on each side (so a press between the columns closes the list), and the list's top-left corner
// for a language button whose top-left is (buttonLeft, buttonTop).
struct ListPoint {
  int x = 0, y = 0;
};
[[nodiscard]] std::string_view LanguageListLayout(int index);  // "L1,3,17,93,13," .. "L17,3,274,93,13,"
[[nodiscard]] int LanguageListHit(int x, int y);                 // 0..16, or -1
[[nodiscard]] ListPoint LanguageListOrigin(int buttonLeft, int buttonTop);

// What the Load dialog tells the user when the chosen file is no profile (UTF-8, naming the file), or empty
// when the file is a profile or cannot be read at all (Load then stops without a message).
[[nodiscard]] std::string LoadRefusalText(const std::filesystem::path& chosen);

// What the Save dialog tells the user when saving slot `slot` (0..4) to `chosen` would replace another slot's
// file (UTF-8, naming the file and both profiles), or empty when the save may go ahead.
[[nodiscard]] std::string SaveRefusalText(const std::filesystem::path& programFolder, int slot,
                                          const std::filesystem::path& chosen);

// What the window shows of the core's state: the window calls back into the core for the data.
enum class RefreshScope { kWholeWindow, kNameFields, kSlotMarks, kMainPage, kVersionTexts };

// Everything the core asks of the window and the user.
class OptionShell {
 public:
  virtual ~OptionShell() = default;
  // Wait cursor on and OK/Apply disabled (true), or the reverse.
  virtual void SetBusy(bool busy) = 0;
  virtual void EnableApplyButtons() = 0;
  virtual void Refresh(RefreshScope scope) = 0;
  // The language library again (after a language choice or a restore); tooltips and page texts follow.
  virtual void ReloadLanguage() = 0;
  virtual void RebuildSupportAddresses() = 0;
  // "Mark slot n as the windows profile?" with OK, Cancel and Exit; true only for OK.
  virtual bool ConfirmWindowsProfile(int slotNumber) = 0;
  // The profile settings dialog on a copy of the four texts; true on OK with the texts changed in place.
  struct ProfileTexts {
    std::string name, game0, game1, game2;  // system code page
  };
  virtual bool EditProfileTexts(ProfileTexts& texts) = 0;
  // The platform's file dialogs; empty when the user cancels.
  virtual std::filesystem::path ChooseProfileToLoad() = 0;
  virtual std::filesystem::path ChooseProfileToSave() = 0;
  // Apply reached a monitor that did not answer in time: the changes are in the files and the block but not
  // on the mouse yet, and go again with the next Apply.
  virtual void ReportApplyNotAnswered() = 0;
};

// How long Apply waits for the monitor. The monitor answers ApplyAll after it has written the changes to the
// mouse, each write confirmed by ready polls: a busy mouse is given up 16.5 s after the write's first wait
// (500 ms for a profile's settings or buttons, 100 ms for the active profile), with 500 ms between writes.
// An Apply that changes everything writes eleven reports (the active profile, five settings, five button
// sets): at worst 10 x 17 s + 16.6 s + 11 x 0.5 s, about 192 s, and one exchange of a read already under way
// may come first. Four minutes is above all of that; a monitor that has not answered by then is not coming.
inline constexpr std::chrono::milliseconds kApplyAllAnswerLimit{240000};

enum class ApplyAnswer {
  kNoMonitor,  // no monitor window: the files are the truth, the monitor reads them when it starts
  kAnswered,   // the monitor took the change (and wrote what the flags name to the mouse)
  kNoAnswer,   // a monitor window exists but did not answer within kApplyAllAnswerLimit (or is hung)
};

// The monitor and the on-screen display windows, found by their titles.
class MonitorLink {
 public:
  virtual ~MonitorLink() = default;
  // Sends ApplyAll (reason, 0) to the monitor's window and waits at most kApplyAllAnswerLimit for it.
  [[nodiscard]] virtual ApplyAnswer SendApplyAll(int reason) = 0;
  // Posts ApplyAll (0, 0) to each display window that exists.
  virtual void PostApplyToDisplays() = 0;
};

// The stored files, behind a port so that Apply's order can be observed; FileStorage is the real thing.
class OptionStorage {
 public:
  virtual ~OptionStorage() = default;
  virtual void LoadSettings(SharedBlock& block) = 0;
  virtual int ReadFirmwareVersion() = 0;
  virtual void LoadNotificationSettings(NotificationSettings& settings) = 0;
  virtual void SaveNotificationSettings(const NotificationSettings& settings) = 0;
  virtual void SaveSettings(const SharedBlock& block) = 0;
  // 1 when the file was read.
  virtual int LoadMacroStore(MacroStore& store) = 0;
  virtual void SaveMacroStore(const MacroStore& store) = 0;
  virtual void LoadTimers(TimerList& timers) = 0;
  virtual void SaveTimers(const TimerList& timers) = 0;
  // The Windows mouse settings of the registry into one profile.
  virtual void ReadMouseRegistry(ProfileRecord& record) = 0;
  [[nodiscard]] virtual int LoadProfileIntoSlot(SharedBlock& working, const std::filesystem::path& chosen) = 0;
  [[nodiscard]] virtual int SaveSlotToProfileFile(const SharedBlock& working,
                                                  const std::filesystem::path& chosen) = 0;
};

// The stored-files procedures over one program folder; the registry may be absent.
class FileStorage final : public OptionStorage {
 public:
  FileStorage(std::filesystem::path folder, RegistryPort* registry) : folder_(std::move(folder)), registry_(registry) {}
  void LoadSettings(SharedBlock& block) override;
  int ReadFirmwareVersion() override;
  void LoadNotificationSettings(NotificationSettings& settings) override;
  void SaveNotificationSettings(const NotificationSettings& settings) override;
  void SaveSettings(const SharedBlock& block) override;
  int LoadMacroStore(MacroStore& store) override;
  void SaveMacroStore(const MacroStore& store) override;
  void LoadTimers(TimerList& timers) override;
  void SaveTimers(const TimerList& timers) override;
  void ReadMouseRegistry(ProfileRecord& record) override;
  int LoadProfileIntoSlot(SharedBlock& working, const std::filesystem::path& chosen) override;
  int SaveSlotToProfileFile(const SharedBlock& working, const std::filesystem::path& chosen) override;

 private:
  std::filesystem::path folder_;
  RegistryPort* registry_;
  UnreadFiles unread_;  // files that could not be read at load are not saved over
};

// Apply's order, the one the window and sarnctl share: the change flags against the last applied copy, the
// block (skipped without a monitor), the notification settings, settings and profile files and the macro store,
// ApplyAll to the monitor and to the display windows; then the working copy, its flags cleared, becomes the
// last applied copy. A monitor that did not answer has not written the mouse: then the flags stay and the
// last applied copy stays as it was, so the next Apply sends the same changes again.
[[nodiscard]] ApplyAnswer ApplyWorkingCopy(SharedBlock& working, SharedBlock& lastApplied, SharedBlockStore* block, OptionStorage& storage,
                      MonitorLink& monitor, const NotificationSettings& notifications, const MacroStore& macros,
                      int reason);

class OptionCore {
 public:
  // `block` is the monitor's shared block, or nullptr when no monitor runs; `language` gives the system
  // language for a restore to defaults.
  OptionCore(OptionShell& shell, MonitorLink& monitor, OptionStorage& storage, SharedBlockStore* block,
             LanguageSource language);
  ~OptionCore();
  OptionCore(const OptionCore&) = delete;
  OptionCore& operator=(const OptionCore&) = delete;

  // The initialisation after the window exists and before it is shown: copies, files, macros, registry,
  // refresh. `mapFailed`: the block exists but could not be mapped (the caller has told the user).
  void Start();

  void SelectSlot(int slot);
  void ToggleWindowsProfile(int slot);
  void CreateProfile();
  void EditProfile();
  // The Load and Save buttons; 1 when a file was loaded or saved, 0 when cancelled or failed.
  int LoadProfile();
  int SaveProfile();
  void Apply(int reason);
  // The last Apply reached a monitor that did not answer: its changes still wait to go to the mouse.
  [[nodiscard]] bool applyPending() const { return applyPending_; }
  // The sensitivity page's restore-defaults action, after the user confirmed it.
  void RestoreDefaults();
  // A pick from the language list: 0..16 changes the language, anything else nothing.
  void ChooseLanguage(int index);

  // The monitor's notifications.
  void OnDeviceReadDone();
  void OnProfileSwitched();
  void OnSensorChanged();
  void OnEnableApply();

  [[nodiscard]] SharedBlock& working() { return *working_; }
  [[nodiscard]] const SharedBlock& working() const { return *working_; }
  [[nodiscard]] const SharedBlock& lastApplied() const { return *lastApplied_; }
  [[nodiscard]] ProfileRecord* selectedProfile();
  [[nodiscard]] bool monitorPresent() const { return block_ != nullptr; }
  [[nodiscard]] MacroStore& macros() { return macros_; }
  [[nodiscard]] TimerList& timers() { return timers_; }
  // The button page's edits of the stores: the timer list and the macro store written to their files, or
  // the macro store read again from its file (after an edit that was cancelled).
  void SaveTimers() { storage_.SaveTimers(timers_); }
  void SaveMacros();
  void ReloadMacros();
  [[nodiscard]] NotificationSettings& notifications() { return notifications_; }
  [[nodiscard]] const std::string& firmwareText() const { return firmwareText_; }

 private:
  void ReadBlockIntoLastApplied();
  void MergeAndSaveMacros();
  void EditProfileTexts(bool fresh);

  OptionShell& shell_;
  MonitorLink& monitor_;
  OptionStorage& storage_;
  SharedBlockStore* block_;
  LanguageSource language_;
  std::unique_ptr<SharedBlock> working_;
  std::unique_ptr<SharedBlock> lastApplied_;
  bool applyPending_ = false;
  MacroStore macros_;
  TimerList timers_;
  NotificationSettings notifications_{};
  std::string firmwareText_ = "N/A";
  bool macroFileCurrent_ = false;  // the macro store file holds exactly macros_
};

}  // namespace sarn
