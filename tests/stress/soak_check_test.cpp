// The soak run's folder check: a folder as the programs leave it passes; a cut, damaged or missing file and a
// mouse that holds something else than the slot files are each reported against the right file.
#include "tests/stress/soak_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "common/button_functions.h"
#include "common/private_profile.h"
#include "common/profile_record.h"
#include "common/settings_file.h"
#include "common/timer_list.h"
#include "hidport/virtual_mouse.h"
#include "monitor/device/report_protocol.h"
#include "option/macro/macro_store.h"
#include "storage/storage_test_support.h"

namespace sarn::soak {
namespace {

using test::ReadBytes;
using test::TempFolder;

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  ASSERT_TRUE(WriteFileAtomic(path, bytes));
}

// A folder as the programs leave it after an Apply of `block` has reached the mouse.
void WriteFolder(const std::filesystem::path& folder, const SharedBlock& block) {
  ASSERT_EQ(SaveSettings(block, {folder, nullptr}), 1);
  ASSERT_EQ(WriteFirmwareVersion(folder, 128), 1);
  ASSERT_EQ(WriteDeviceState(folder, 1), 1);
  MacroStore store;
  ASSERT_EQ(AddMacroSet(store, "Set"), 0);
  store.sets.back()->macros.push_back(NewMacroRecord("One"));
  store.sets.back()->macros.push_back(NewMacroRecord("Two"));
  ASSERT_EQ(SaveMacroStore(store, folder), 1);
  TimerList timers;
  ASSERT_TRUE(AddTimer(timers, "Tea", 180));
  ASSERT_EQ(SaveTimers(timers, folder), 1);

  auto mouse = std::make_unique<vmouse::VirtualMouse>();
  ASSERT_EQ(mouse->OpenFeature(), 1);
  for (int slot = 0; slot < kProfileCount; ++slot) {
    FeatureReport r = MakeProfileSettingsReport(block.profiles[slot], slot);
    ASSERT_EQ(mouse->SetFeature(r.data(), r.length), 1);
    r = MakeButtonFunctionsReport(block.profiles[slot], slot);
    ASSERT_EQ(mouse->SetFeature(r.data(), r.length), 1);
  }
  const FeatureReport active = MakeActiveProfileReport(block.CurrentProfile);
  ASSERT_EQ(mouse->SetFeature(active.data(), active.length), 1);
  IniDocument memory;
  mouse->Save(memory);
  ASSERT_TRUE(SaveIniFile(folder / "virtual-mouse.ini", memory));
}

class SoakCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    block_ = std::make_unique<SharedBlock>();
    std::memset(block_.get(), 0, sizeof(SharedBlock));
    ResetSettings(*block_, [] { return 1; });
    block_->CurrentProfile = 2;
    block_->profiles[1].Cpi_X = block_->profiles[1].Cpi_Y = 4;
    block_->profiles[3].MacroKeyInfo[3].functionCode = kFnProfileUp;
    WriteFolder(folder_.path(), *block_);
  }

  // The files with a problem, as "file: problem".
  std::vector<std::string> Problems() const {
    std::vector<std::string> found;
    for (const auto& f : CheckProgramFolder(folder_.path()).files) {
      if (!f.problem.empty()) found.push_back(f.file + ": " + f.problem);
    }
    return found;
  }
  void ExpectOnlyProblemIn(const std::string& file) const {
    const auto found = Problems();
    ASSERT_EQ(found.size(), 1u) << ::testing::PrintToString(found);
    EXPECT_EQ(found[0].rfind(file + ": ", 0), 0u) << found[0];
  }

  TempFolder folder_;
  std::unique_ptr<SharedBlock> block_;
};

TEST_F(SoakCheck, AFolderAsTheProgramsLeaveItPassesWithEveryFileListed) {
  const auto verdict = CheckProgramFolder(folder_.path());
  EXPECT_TRUE(verdict.Passed()) << VerdictJson(verdict);
  std::vector<std::string> names;
  for (const auto& f : verdict.files) names.push_back(f.file);
  EXPECT_EQ(names, (std::vector<std::string>{"config.ini", "config/Default0.zmp", "config/Default1.zmp",
                                             "config/Default2.zmp", "config/Default3.zmp", "config/Default4.zmp",
                                             "config/Sarn_sequence.dat", "config/Timer.ini", "virtual-mouse.ini"}));
}

TEST_F(SoakCheck, EachDamagedFileIsReportedAgainstItself) {
  struct Damage {
    const char* file;
    std::function<std::string(std::string)> change;
  };
  const auto cutInLine = [](std::string b) { return b.substr(0, b.size() / 2); };
  // The last whole line gone: every line that is left is whole, but the file no longer reads as written.
  const auto lastLineGone = [](std::string b) { return b.substr(0, b.rfind('\n', b.size() - 3) + 1); };
  // One hex digit of a struct value changed: its checksum no longer holds.
  const auto structDigit = [](std::string b) {
    const std::size_t at = b.find("=", b.find("MacroKeyInfo5=")) + 7;
    b[at] = b[at] == '0' ? '1' : '0';
    return b;
  };
  const Damage damages[] = {
      {"config/Default2.zmp", cutInLine},
      {"config/Default4.zmp", structDigit},
      {"config/Sarn_sequence.dat", lastLineGone},
      {"config/Timer.ini", cutInLine},
      {"config.ini", [](std::string b) { return b.replace(b.find("SoundVolume="), 12, "SoundVolume=9"); }},
      {"config/Default1.zmp", [](std::string b) { return b.replace(b.find("\r\n"), 2, "\n"); }},
  };
  for (const auto& d : damages) {
    SCOPED_TRACE(d.file);
    const auto path = folder_.path() / d.file;
    const std::string kept = ReadBytes(path);
    WriteBytes(path, d.change(kept));
    ExpectOnlyProblemIn(d.file);
    WriteBytes(path, kept);
  }
  std::filesystem::remove(folder_.path() / "config/Timer.ini");
  ExpectOnlyProblemIn("config/Timer.ini");
}

TEST_F(SoakCheck, TheMouseMemoryMustReadBackAndHoldWhatWasApplied) {
  const auto path = folder_.path() / "virtual-mouse.ini";
  const std::string kept = ReadBytes(path);
  IniDocument memory = IniDocument::Parse(kept);
  auto mouse = std::make_unique<vmouse::VirtualMouse>();
  mouse->Load(memory);

  // A damaged struct: the mouse would hold factory content there, which the read-back shows.
  std::string damaged = kept;
  const std::size_t at = damaged.find("Settings=") + 12;
  damaged[at] = damaged[at] == 'A' ? 'B' : 'A';
  WriteBytes(path, damaged);
  EXPECT_FALSE(CheckProgramFolder(folder_.path()).Passed());
  ExpectOnlyProblemIn("virtual-mouse.ini");

  // Whole, but profile 2's DPI level and profile 4's B4 are not what the slot files say was applied.
  vmouse::OnBoardProfile p = mouse->Profile(1);
  p.settings[vmouse::kCpi] = 2;
  mouse->SetProfile(1, p);
  p = mouse->Profile(3);
  p.buttons[3] = 7;
  mouse->SetProfile(3, p);
  mouse->Save(memory);
  WriteBytes(path, memory.Serialize());
  auto verdict = CheckProgramFolder(folder_.path());
  EXPECT_TRUE(Problems().empty());
  ASSERT_EQ(verdict.memory.size(), 2u) << VerdictJson(verdict);
  EXPECT_EQ(verdict.memory[0].rfind("profile 2 settings: mouse ", 0), 0u);
  EXPECT_EQ(verdict.memory[1].rfind("profile 4 buttons: mouse ", 0), 0u);

  // The active profile is what config.ini names.
  WriteBytes(path, kept);
  ASSERT_EQ(WriteCurrentProfile(folder_.path(), 0), 1);
  verdict = CheckProgramFolder(folder_.path());
  ASSERT_EQ(verdict.memory.size(), 1u) << VerdictJson(verdict);
  EXPECT_EQ(verdict.memory[0], "active profile 3, config.ini CurrentProfile 1");
}

}  // namespace
}  // namespace sarn::soak
