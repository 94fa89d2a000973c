#include "option/option_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/keyboard_layout.h"
#include "option/button_page.h"
#include "option/macro/macro_editor.h"

namespace sarn {
namespace {

using Log = std::vector<std::string>;

std::unique_ptr<SharedBlock> DefaultBlock() {
  auto b = std::make_unique<SharedBlock>();
  std::memset(b.get(), 0, sizeof *b);
  ResetSettings(*b, [] { return 1; });
  return b;
}

struct FakeShell final : OptionShell {
  explicit FakeShell(Log& l) : log(l) {}
  void SetBusy(bool busy) override { log.push_back(busy ? "busy" : "idle"); }
  void EnableApplyButtons() override { log.push_back("enable"); }
  void Refresh(RefreshScope scope) override { log.push_back("refresh" + std::to_string(static_cast<int>(scope))); }
  void ReloadLanguage() override { log.push_back("language"); }
  void RebuildSupportAddresses() override { log.push_back("support"); }
  bool ConfirmWindowsProfile(int slotNumber) override {
    log.push_back("confirm" + std::to_string(slotNumber));
    return confirm;
  }
  bool EditProfileTexts(ProfileTexts& texts) override {
    shown = texts;
    if (!dialogOk) return false;
    texts = typed;
    return true;
  }
  std::filesystem::path ChooseProfileToLoad() override { return chosen; }
  std::filesystem::path ChooseProfileToSave() override { return chosen; }
  void ReportApplyNotAnswered() override { log.push_back("notAnswered"); }
  Log& log;
  bool confirm = true;
  bool dialogOk = true;
  ProfileTexts shown, typed;
  std::filesystem::path chosen;
};

struct FakeMonitor final : MonitorLink {
  explicit FakeMonitor(Log& l) : log(l) {}
  ApplyAnswer SendApplyAll(int reason) override {
    log.push_back("ApplyAll" + std::to_string(reason));
    return answer;
  }
  ApplyAnswer answer = ApplyAnswer::kAnswered;
  void PostApplyToDisplays() override { log.push_back("displays"); }
  Log& log;
};

// The block as the monitor keeps it; each write is kept so the flags that reached it can be checked.
struct FakeBlock final : SharedBlockStore {
  explicit FakeBlock(Log& l) : log(l), block(DefaultBlock()) {}
  int ReadBlock(SharedBlock& d) override {
    log.push_back("read");
    if (failWait) return 0;
    d = *block;
    return 1;
  }
  int WriteBlock(const SharedBlock& s) override {
    log.push_back("write");
    if (failWait) return 0;
    *block = s;
    return 1;
  }
  Log& log;
  std::unique_ptr<SharedBlock> block;
  bool failWait = false;
};

struct FakeStorage final : OptionStorage {
  explicit FakeStorage(Log& l) : log(l), files(DefaultBlock()) { files->CurrentProfile = -1; }
  void LoadSettings(SharedBlock& b) override {
    log.push_back("loadSettings");
    b = *files;
  }
  int ReadFirmwareVersion() override { return firmware; }
  int ReadDeviceState() override { return device; }
  void LoadNotificationSettings(NotificationSettings&) override { log.push_back("loadNotes"); }
  void SaveNotificationSettings(const NotificationSettings&) override { log.push_back("saveNotes"); }
  void SaveSettings(const SharedBlock& b) override {
    log.push_back("saveSettings");
    *files = b;
  }
  int LoadMacroStore(MacroStore&) override {
    log.push_back("loadMacros");
    return macroFileExists ? 1 : 0;
  }
  void SaveMacroStore(const MacroStore& s) override {
    log.push_back("saveMacros");
    savedSets = s.sets.size();
  }
  void LoadTimers(TimerList&) override { log.push_back("loadTimers"); }
  void SaveTimers(const TimerList&) override { log.push_back("saveTimers"); }
  void ReadMouseRegistry(ProfileRecord& r) override {
    log.push_back("registry");
    r.MouseSpeed = 17;
  }
  int LoadProfileIntoSlot(SharedBlock& w, const std::filesystem::path&) override {
    for (auto& f : w.ButtonChanged[w.CurrentProfile]) f = 1;
    return 1;
  }
  int SaveSlotToProfileFile(const SharedBlock&, const std::filesystem::path&) override { return 1; }
  Log& log;
  std::unique_ptr<SharedBlock> files;
  int firmware = 0;
  int device = -1;
  std::size_t savedSets = 0;
  bool macroFileExists = false;
};

struct Rig {
  explicit Rig(bool withMonitor) : shell(log), monitor(log), block(log), storage(log) {
    core = std::make_unique<OptionCore>(shell, monitor, storage, withMonitor ? &block : nullptr, [] { return 1; });
  }
  // Starts and forgets what the start logged.
  void StartQuietly() {
    core->Start();
    log.clear();
  }
  Log log;
  FakeShell shell;
  FakeMonitor monitor;
  FakeBlock block;
  FakeStorage storage;
  std::unique_ptr<OptionCore> core;
};

TEST(OptionStart, WithoutMonitorTheFilesGiveNoSlotAndTheDefaultNames) {
  Rig rig(false);
  rig.storage.firmware = 650;
  rig.core->Start();
  EXPECT_EQ(rig.log, (Log{"support", "loadSettings", "loadMacros", "loadNotes", "loadTimers", "saveMacros",
                          "refresh0", "language"}));
  EXPECT_EQ(rig.core->working().CurrentProfile, -1);
  for (int i = 0; i < kProfileCount; ++i) {
    EXPECT_STREQ(rig.core->working().profiles[i].ProFileName, ("Default" + std::to_string(i + 1)).c_str());
  }
  EXPECT_EQ(rig.core->firmwareText(), "N/A");  // 650 is out of range until the mouse was read
  EXPECT_FALSE(rig.core->monitorPresent());
}

TEST(OptionStart, AStoreFileThatAlreadyHoldsEveryMacroIsNotRewritten) {
  Rig rig(false);
  rig.storage.macroFileExists = true;
  rig.core->Start();
  EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "saveMacros"), 0);
  rig.log.clear();
  rig.core->Apply(0);  // Apply always writes the store
  EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "saveMacros"), 1);
}

TEST(OptionStart, WithMonitorTheBlockWinsAndOnlyTheActiveProfileTakesTheRegistry) {
  Rig rig(true);
  rig.block.block->CurrentProfile = 2;
  rig.block.block->ButtonChanged[0][0] = 1;  // stale flags are not carried into the copies
  CopyTextField(rig.block.block->profiles[4].ProFileName, "FromMonitor");
  rig.core->Start();
  const SharedBlock& w = rig.core->working();
  EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "loadSettings"), 0);
  EXPECT_STREQ(w.profiles[4].ProFileName, "FromMonitor");
  EXPECT_EQ(w.ButtonChanged[0][0], 0);
  EXPECT_EQ(w.profiles[2].MouseSpeed, 17);
  EXPECT_NE(w.profiles[1].MouseSpeed, 17);
  EXPECT_NE(rig.core->lastApplied().profiles[2].MouseSpeed, 17);  // registry goes into the working copy only
}

TEST(OptionStart, MonitorWhoseMutexCannotBeWaitedForFallsBackToTheFiles) {
  Rig rig(true);
  rig.block.failWait = true;
  rig.core->Start();
  EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "loadSettings"), 1);
}

// The monitor writes "Device" at its start and at every arrival and removal; without a monitor the value may
// be from any time before and says nothing.
TEST(OptionStart, TheHelpLineTellsOfAMissingMouseOnlyWhenARunningMonitorFoundNone) {
  struct Case {
    bool monitor;
    bool blockReadable;
    int device;
    bool missing;
  };
  const Case cases[] = {{true, true, 0, true},    {true, true, 1, false},  {true, true, -1, false},
                        {false, true, 0, false},  {true, false, 0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.monitor << c.blockReadable << " device " << c.device);
    Rig rig(c.monitor);
    rig.block.failWait = !c.blockReadable;
    rig.storage.device = c.device;
    rig.core->Start();
    EXPECT_EQ(rig.core->mouseMissing(), c.missing);
    // The monitor read a mouse after all (plugged in while the window is open).
    rig.core->OnDeviceReadDone();
    EXPECT_FALSE(rig.core->mouseMissing());
  }
}

TEST(Apply, RunsItsStepsInOrderAndSwapsTheCopies) {
  Rig rig(true);
  rig.StartQuietly();
  rig.core->SelectSlot(2);
  rig.log.clear();
  rig.core->Apply(0);
  EXPECT_EQ(rig.log, (Log{"busy", "write", "saveNotes", "saveSettings", "saveMacros", "ApplyAll0", "displays",
                          "idle"}));
  // The monitor saw the selection as a settings change; the copies are clean and equal afterwards.
  EXPECT_EQ(rig.block.block->SettingsChanged, 1);
  EXPECT_EQ(rig.block.block->CurrentProfile, 2);
  EXPECT_EQ(rig.core->working().SettingsChanged, 0);
  EXPECT_EQ(std::memcmp(&rig.core->working(), &rig.core->lastApplied(), sizeof(SharedBlock)), 0);

  rig.core->Apply(0);  // nothing changed since: every flag reaches the monitor as 0
  EXPECT_EQ(rig.block.block->SettingsChanged, 0);
}

TEST(Apply, WithoutMonitorStillWritesTheFiles) {
  Rig rig(false);
  rig.StartQuietly();
  rig.core->SelectSlot(1);
  rig.core->Apply(0);
  EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "write"), 0);
  EXPECT_EQ(rig.storage.files->CurrentProfile, 1);
}

TEST(Apply, NamesAndGamePathsSetNoFlagButButtonFlagsFromLoadTravelOnce) {
  Rig rig(true);
  rig.block.block->CurrentProfile = 3;
  rig.StartQuietly();
  rig.shell.typed = {"Shooter", "C:\\g.exe", "", ""};
  rig.core->EditProfile();
  rig.shell.chosen = "x.zmp";
  ASSERT_EQ(rig.core->LoadProfile(), 1);
  rig.core->Apply(0);
  const SharedBlock& sent = *rig.block.block;
  EXPECT_EQ(sent.SettingsChanged, 0);
  for (int p = 0; p < kProfileCount; ++p) EXPECT_EQ(sent.ProfileChanged[p], 0);
  for (int b = 0; b < kButtonCount; ++b) EXPECT_EQ(sent.ButtonChanged[3][b], 1);
  EXPECT_EQ(sent.ButtonChanged[2][0], 0);
  EXPECT_STREQ(sent.profiles[3].ProFileName, "Shooter");
  rig.core->Apply(0);
  EXPECT_EQ(rig.block.block->ButtonChanged[3][0], 0);
}

TEST(Apply, AMonitorThatDoesNotAnswerIsReportedAndTheNextApplySendsTheSameChanges) {
  Rig rig(true);
  rig.block.block->CurrentProfile = 0;
  rig.StartQuietly();
  rig.core->SelectSlot(2);
  rig.core->working().profiles[1].Sensitivity_X = 9;
  rig.shell.chosen = "x.zmp";
  ASSERT_EQ(rig.core->LoadProfile(), 1);  // flags every button of slot 3: flags set once, not recomputed
  auto expectSent = [&](int settings, int profile1, int button) {
    const SharedBlock& sent = *rig.block.block;
    EXPECT_EQ(sent.SettingsChanged, settings);
    EXPECT_EQ(sent.ProfileChanged[1], profile1);
    EXPECT_EQ(sent.ButtonChanged[2][17], button);
  };

  rig.monitor.answer = ApplyAnswer::kNoAnswer;
  rig.log.clear();
  rig.core->Apply(0);
  EXPECT_EQ(rig.log, (Log{"busy", "write", "saveNotes", "saveSettings", "saveMacros", "ApplyAll0", "displays",
                          "idle", "notAnswered"}));
  EXPECT_TRUE(rig.core->applyPending());
  expectSent(1, 1, 1);
  EXPECT_EQ(rig.core->lastApplied().CurrentProfile, 0);
  EXPECT_EQ(rig.core->working().ButtonChanged[2][17], 1);

  // Still no answer: still nothing counted as applied.
  rig.core->Apply(0);
  expectSent(1, 1, 1);

  rig.monitor.answer = ApplyAnswer::kAnswered;
  rig.log.clear();
  rig.core->Apply(0);
  expectSent(1, 1, 1);
  EXPECT_FALSE(rig.core->applyPending());
  EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "notAnswered"), 0);
  rig.core->Apply(0);
  expectSent(0, 0, 0);
}

TEST(Apply, RestoreDefaultsSendsEveryButtonFlagWithReasonOne) {
  Rig rig(true);
  rig.block.block->CurrentProfile = 0;
  rig.StartQuietly();
  rig.core->RestoreDefaults();
  const Log tail(rig.log.end() - 3, rig.log.end());
  EXPECT_EQ(tail, (Log{"ApplyAll1", "displays", "idle"}));
  for (int p = 0; p < kProfileCount; ++p) {
    for (int b = 0; b < kButtonCount; ++b) EXPECT_EQ(rig.block.block->ButtonChanged[p][b], 1);
    EXPECT_EQ(rig.block.block->ProfileChanged[p], 0);  // recomputed: defaults equal the defaults
  }
}

TEST(SlotBar, SelectionRefusesSlotsOutsideTheBar) {
  Rig rig(false);
  rig.StartQuietly();
  for (int bad : {-1, 5, 100}) rig.core->SelectSlot(bad);
  EXPECT_EQ(rig.core->working().CurrentProfile, -1);
  EXPECT_TRUE(rig.log.empty());
  EXPECT_EQ(rig.core->LoadProfile(), 0);  // no slot selected: nothing to load into
  rig.core->CreateProfile();
  rig.core->SelectSlot(4);
  EXPECT_EQ(rig.core->working().CurrentProfile, 4);
}

TEST(SlotBar, WindowsProfileMark) {
  Rig rig(false);
  rig.StartQuietly();
  rig.shell.confirm = false;
  rig.core->ToggleWindowsProfile(2);
  EXPECT_EQ(rig.core->working().WindowsProfile, -1);  // cancelled
  rig.shell.confirm = true;
  rig.core->ToggleWindowsProfile(2);
  EXPECT_EQ(rig.core->working().WindowsProfile, 2);
  rig.log.clear();
  rig.core->ToggleWindowsProfile(2);  // the marked slot: removed without asking
  EXPECT_EQ(rig.core->working().WindowsProfile, -1);
  EXPECT_EQ(rig.log, (Log{"refresh2"}));
  rig.core->ToggleWindowsProfile(0);
  rig.core->ToggleWindowsProfile(3);  // moves the mark after confirmation
  EXPECT_EQ(rig.core->working().WindowsProfile, 3);
}

TEST(SlotBar, CreateStartsEmptyEditStartsFilledCancelTouchesNothing) {
  Rig rig(false);
  rig.StartQuietly();
  rig.core->SelectSlot(0);
  ProfileRecord& p = rig.core->working().profiles[0];
  CopyTextField(p.GameFile1, "C:\\game.exe");
  rig.shell.dialogOk = false;
  rig.core->EditProfile();
  EXPECT_EQ(rig.shell.shown.name, "Default1");
  EXPECT_EQ(rig.shell.shown.game1, "C:\\game.exe");
  EXPECT_STREQ(p.GameFile1, "C:\\game.exe");
  rig.shell.dialogOk = true;
  rig.shell.typed = {};
  rig.core->CreateProfile();  // OK at once clears the name and all game paths
  EXPECT_TRUE(rig.shell.shown.name.empty());
  EXPECT_STREQ(p.ProFileName, "");
  EXPECT_STREQ(p.GameFile1, "");
  rig.shell.typed.game0 = std::string(900, 'g');  // a path longer than its field is cut, not overrun
  rig.core->EditProfile();
  EXPECT_EQ(TextFieldLength(p.GameFile0), sizeof p.GameFile0 - 1);
}

TEST(Notifications, DeviceReadDoneReplacesBothCopiesAndMergesMacros) {
  Rig rig(true);
  rig.StartQuietly();
  rig.core->SelectSlot(3);  // an unsaved edit, lost by the re-read
  rig.storage.firmware = 650;
  rig.block.block->CurrentProfile = 1;
  rig.block.block->ButtonChanged[1][1] = 1;
  ButtonSlot& slot = rig.block.block->profiles[0].MacroKeyInfo[0];
  slot.functionCode = 48;
  CopyTextField(slot.setName, "Merged");
  CopyTextField(slot.macroName, "M1");
  slot.count = 1;
  rig.log.clear();
  rig.core->OnDeviceReadDone();
  EXPECT_EQ(rig.core->firmwareText(), "6.50");
  EXPECT_EQ(rig.core->working().CurrentProfile, 1);
  EXPECT_EQ(rig.core->lastApplied().ButtonChanged[1][1], 0);
  EXPECT_EQ(rig.core->working().ButtonChanged[1][1], 0);
  EXPECT_EQ(rig.storage.savedSets, 1u);
  EXPECT_EQ(rig.log.back(), "saveMacros");
}

TEST(Notifications, ProfileSwitchedAndSensorChanged) {
  Rig rig(true);
  rig.block.block->CurrentProfile = 0;
  rig.StartQuietly();
  ProfileRecord& mine = rig.core->working().profiles[1];
  mine.LightType = 3;  // unsaved edit of a non-sensor field
  mine.MouseSpeed = 2;
  ProfileRecord& theirs = rig.block.block->profiles[1];
  rig.block.block->CurrentProfile = 1;
  theirs.Sensitivity_X = 7;
  theirs.dpi[5] = 4;
  theirs.PollingRate = 2;
  theirs.MouseSpeed = 9;
  rig.core->OnSensorChanged();
  EXPECT_EQ(mine.Sensitivity_X, 7);
  EXPECT_EQ(mine.dpi[5], 4);
  EXPECT_EQ(mine.PollingRate, 2);
  EXPECT_EQ(mine.LightType, 3);
  EXPECT_EQ(mine.MouseSpeed, 2);
  EXPECT_EQ(rig.core->working().CurrentProfile, 0);  // the selection stays
  EXPECT_EQ(rig.log.back(), "refresh3");

  rig.core->OnProfileSwitched();  // everything from the block; unsaved edits are dropped
  EXPECT_EQ(rig.core->working().CurrentProfile, 1);
  EXPECT_EQ(mine.LightType, theirs.LightType);
  rig.core->OnEnableApply();
  EXPECT_EQ(rig.log.back(), "enable");
}

TEST(Language, ChoiceAndPictureAndLibrary) {
  Rig rig(false);
  rig.StartQuietly();
  for (int bad : {-1, 17}) rig.core->ChooseLanguage(bad);
  EXPECT_TRUE(rig.log.empty());
  rig.core->ChooseLanguage(3);
  EXPECT_EQ(rig.core->working().QuickHelpLan, 3);
  EXPECT_EQ(rig.log, (Log{"language"}));
  EXPECT_EQ(LanguagePictureIndex(-1), 1);
  EXPECT_EQ(LanguagePictureIndex(16), 16);
  EXPECT_EQ(LanguageLibraryPath("/p", -1), std::filesystem::path("/p/help/English_help.dll"));
  EXPECT_EQ(LanguageLibraryPath("/p", 3), std::filesystem::path("/p/help/French_help.dll"));
}

TEST(Language, ListHitsOnlyInsideNarrowedEntries) {
  struct Row {
    int x, y, expected;
  };
  const Row rows[] = {{50, 20, 0},  {50, 280, 16}, {8, 20, -1},  {9, 20, 0},    {89, 20, 0},
                      {90, 20, -1}, {50, 16, -1},  {50, 30, -1}, {50, 287, -1}, {-5, -5, -1}};
  for (const Row& r : rows) EXPECT_EQ(LanguageListHit(r.x, r.y), r.expected) << r.x << "," << r.y;
  EXPECT_EQ(LanguageListLayout(16), "L17,3,274,93,13,");
  EXPECT_TRUE(LanguageListLayout(17).empty());
  EXPECT_EQ(LanguageListOrigin(12, 570).y, 281);
}

TEST(OperatingSystem, ClassFromVersion) {
  struct Row {
    unsigned platform, major, minor;
    int expected;
  };
  const Row rows[] = {{1, 4, 10, 1}, {1, 4, 89, 1}, {1, 4, 90, 2}, {2, 5, 0, 3}, {2, 5, 2, 4}, {2, 6, 0, 5},
                      {2, 6, 3, 6},  {2, 10, 0, 0}, {2, 4, 0, 0},  {1, 5, 0, 0}, {0, 6, 1, 0}};
  for (const Row& r : rows) EXPECT_EQ(OperatingSystemClass(r.platform, r.major, r.minor), r.expected);
}

// The Load dialog's refusal: a readable file that is no profile is named in the message; a profile, or a file
// that cannot be read at all (Load then stops without a word), gives none.
TEST(LoadRefusal, NamesAFileThatIsNoProfile) {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("sarn-load-refusal-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(folder);
  const auto put = [&](const char* name, std::string_view text) {
    std::ofstream(folder / name, std::ios::binary) << text;
    return folder / name;
  };
  const std::string refusal = LoadRefusalText(put("config.ini", "[Setting]\r\nCurrentProfile=2\r\n"));
  EXPECT_NE(refusal.find("\"config.ini\""), std::string::npos) << refusal;
  EXPECT_NE(refusal.find("Zorvan Mouse Profile"), std::string::npos) << refusal;
  EXPECT_FALSE(LoadRefusalText(put("empty.zmp", "")).empty());
  EXPECT_EQ(LoadRefusalText(put("fps.zmp", "[Setting]\r\nTiltSpeed=3\r\n")), "");
  EXPECT_EQ(LoadRefusalText(folder / "missing.zmp"), "");
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

// The configuration window started without a monitor reads the files itself: what it could not read it shows
// as defaults, and Apply must not write those over the file, even once the file reads again.
TEST(FileStorageUnreadable, ApplyLeavesFilesUnreadableAtLoadAlone) {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("sarn-unreadable-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(folder / "config");
  const auto ini = folder / "config.ini";
  const auto slot = folder / "config" / "Default1.zmp";
  const std::string iniText = "[Setting]\r\nSoundVolume=7\r\n[OSDSetting]\r\nconfig=00\r\n";
  const std::string slotText = "[Setting]\r\nProFileName=Racing\r\n";
  std::filesystem::create_directory(ini);  // exists, cannot be read (as a file held open by a backup program)
  std::filesystem::create_directory(slot);
  FileStorage storage(folder, nullptr);
  auto block = std::make_unique<SharedBlock>();
  std::memset(block.get(), 0, sizeof(SharedBlock));
  storage.LoadSettings(*block);
  NotificationSettings notifications{};
  storage.LoadNotificationSettings(notifications);
  EXPECT_STREQ(block->profiles[1].ProFileName, "Default2");

  for (const auto& [path, text] : {std::pair{ini, iniText}, std::pair{slot, slotText}}) {
    std::filesystem::remove(path);
    std::ofstream(path, std::ios::binary) << text;
  }
  storage.SaveNotificationSettings(notifications);
  storage.SaveSettings(*block);
  const auto read = [](const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(read(ini), iniText);
  EXPECT_EQ(read(slot), slotText);
  EXPECT_TRUE(std::filesystem::exists(folder / "config" / "Default0.zmp")) << "the readable slots are saved";
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

// Saving slot 3 under slot 1's file name would put profile 3 into slot 1's file.
TEST(SaveRefusal, NamesTheSlotWhoseFileWouldBeReplaced) {
  const std::filesystem::path folder = "/program";
  const std::string refusal = SaveRefusalText(folder, 2, "/home/desk/Default0.zmp");
  EXPECT_NE(refusal.find("\"Default0.zmp\""), std::string::npos) << refusal;
  EXPECT_NE(refusal.find("profile 1"), std::string::npos) << refusal;
  EXPECT_NE(refusal.find("Profile 3 was not saved"), std::string::npos) << refusal;
  EXPECT_EQ(SaveRefusalText(folder, 0, "/home/desk/Default0.zmp"), "");
  EXPECT_EQ(SaveRefusalText(folder, 2, "/home/desk/fps.zmp"), "");
}

// The macro manager's OK on the button page, over real files: a macro held by B3 of two profiles is edited
// (one delay and the loops) in the manager's own terms.
struct EditFirstMacro final : ButtonDialogs {
  bool EditShortcut(ShortcutChoice&) override { return false; }
  bool EditProgramPath(std::string&) override { return false; }
  bool ChooseMediaPlayer(int&) override { return false; }
  bool CreateTimer(const TimerList&, std::string&, int&) override { return false; }
  bool EditTimers(TimerListEditor&) override { return false; }
  bool OpenMacroManager(MacroStore& store, int setIndex) override {
    MacroManager manager(store, MacroManager::Mode::kEdit, setIndex, ButtonSlot{});
    MacroRecord* macro = manager.selectedRecord();
    if (macro == nullptr) return false;
    macro->events[1].delay = 250;
    SetLoops(*macro, true, 3);
    return true;
  }
};

// What the page window gives the page: the core's own saving and reloading.
struct CoreFiles final : ButtonPageFiles {
  explicit CoreFiles(OptionCore& c) : core(c) {}
  void SaveTimers(const TimerList&) override { core.SaveTimers(); }
  void SaveMacroStore(const MacroStore&) override { core.SaveMacros(); }
  void ReloadMacroStore(MacroStore&) override { core.ReloadMacros(); }
  OptionCore& core;
};

// One run of the configuration application over a program folder, without a monitor.
struct Session {
  explicit Session(const std::filesystem::path& folder)
      : shell(log), monitor(log), storage(folder, nullptr), core(shell, monitor, storage, nullptr, [] { return 1; }) {
    core.Start();
  }
  const ButtonSlot& B3(int profile) const { return core.working().profiles[profile].MacroKeyInfo[2]; }
  Log log;
  FakeShell shell;
  FakeMonitor monitor;
  FileStorage storage;
  OptionCore core;
};

TEST(MacroEdit, ReachesEveryButtonHoldingItAndNoRestartTakesItBack) {
  for (const bool applied : {true, false}) {
    SCOPED_TRACE(applied ? "OK and Apply" : "OK without Apply");
    const auto folder = std::filesystem::temp_directory_path() /
                        ("sarn-macro-edit-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "config");
    {  // "Heal" of set "WoW" recorded (40, 120, 40 ms) and given to B3 of profiles 1 and 4, applied.
      Session first(folder);
      ASSERT_EQ(AddMacroSet(first.core.macros(), "WoW"), 0);
      auto heal = NewMacroRecord("Heal");
      heal->count = 4;
      const std::uint16_t delays[] = {40, 120, 40, 0};
      for (int i = 0; i < 4; ++i) heal->events[i] = MacroEvent{static_cast<std::uint8_t>(4 + i / 2), 1, delays[i]};
      first.core.macros().sets[0]->macros.push_back(std::move(heal));
      for (int p : {0, 3}) {
        ASSERT_EQ(CopyMacroToSlot(first.core.macros(), 0, 0, first.core.working().profiles[p].MacroKeyInfo[2]), 1);
      }
      first.core.Apply(0);
    }
    {  // The next start: the manager's OK.
      Session second(folder);
      EditFirstMacro dialogs;
      CoreFiles files(second.core);
      ButtonPage page(second.core.working(), second.core.macros(), second.core.timers(), dialogs, files,
                      UsKeyboardLayout());
      (void)page.OpenMacroManager(0);
      for (int p : {0, 3}) {
        EXPECT_EQ(second.B3(p).events[1].delay, 250) << p;
        EXPECT_EQ(second.B3(p).loops, 3) << p;
        EXPECT_EQ(second.core.working().ButtonChanged[p][2], 1) << p;  // what Apply sends to the mouse
      }
      EXPECT_EQ(second.core.working().ButtonChanged[1][2], 0);
      if (applied) second.core.Apply(0);
    }
    Session third(folder);  // a fresh start over the saved files
    const MacroSet& wow = *third.core.macros().sets.at(0);
    ASSERT_EQ(wow.macros.size(), applied ? 1u : 2u);
    EXPECT_EQ(wow.macros[0]->events[1].delay, 250);
    EXPECT_EQ(wow.macros[0]->loops, 3);
    EXPECT_EQ(third.B3(3).events[1].delay, applied ? 250 : 120);
    if (!applied) {  // the buttons still play the old version: it is kept beside the edit
      EXPECT_STREQ(wow.macros[1]->name, "Heal (2)");
      EXPECT_EQ(wow.macros[1]->events[1].delay, 120);
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
}

}  // namespace
}  // namespace sarn
