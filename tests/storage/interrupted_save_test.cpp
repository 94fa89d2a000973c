// Saves killed at random moments, or failing for lack of space, must leave every file whole: the old
// content or the new, never a mix, never missing. Needs fork, so it runs on the native builds.
#if !defined(_WIN32)

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/profile_file.h"
#include "common/settings_file.h"
#include "common/timer_list.h"
#include "option/macro/macro_store.h"
#include "storage_test_support.h"

namespace sarn {
namespace {

using test::ReadBytes;
using test::TempFolder;

using Files = std::map<std::string, std::string>;  // relative path -> content

Files Snapshot(const std::filesystem::path& folder, const std::vector<std::string>& names) {
  Files files;
  for (const auto& name : names) files[name] = ReadBytes(folder / name);
  return files;
}

std::unique_ptr<SharedBlock> Block(int variant) {
  auto block = std::make_unique<SharedBlock>();
  std::memset(block.get(), 0, sizeof(SharedBlock));
  ResetSettings(*block, [] { return 1; });
  block->CurrentProfile = variant;
  for (int i = 0; i < kProfileCount; ++i) {
    std::snprintf(block->profiles[i].ProFileName, sizeof block->profiles[i].ProFileName, "v%d-%d", variant, i);
    for (auto& slot : block->profiles[i].MacroKeyInfo) {
      slot.count = 500;
      for (auto& e : slot.events) e = MacroEvent{static_cast<std::uint8_t>(variant + 4), 1, 1};
    }
  }
  return block;
}

// Runs `save(variant)` in a child over and over, alternating variants 0 and 1, kills it at a random
// moment, and checks each file against the two complete versions.
void KillDuringSaves(const std::function<void(const std::filesystem::path&, int)>& save,
                     const std::vector<std::string>& names, int rounds) {
  TempFolder folder;
  TempFolder reference;
  save(reference.path(), 1);
  const Files newer = Snapshot(reference.path(), names);
  save(folder.path(), 0);
  const Files older = Snapshot(folder.path(), names);
  for (const auto& name : names) ASSERT_NE(older.at(name), newer.at(name)) << name;

  std::mt19937 random(12345);
  for (int round = 0; round < rounds; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 1;; ++i) save(folder.path(), i % 2);
    }
    usleep(std::uniform_int_distribution<useconds_t>(0, 40000)(random));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    for (const auto& name : names) {
      const std::string now = ReadBytes(folder / name);
      EXPECT_TRUE(now == older.at(name) || now == newer.at(name))
          << name << " is damaged after round " << round << " (" << now.size() << " bytes)";
    }
  }
}

TEST(InterruptedSaves, SettingsAndSlotFilesStayWhole) {
  const std::vector<std::string> names = {"config.ini", "config/Default0.zmp", "config/Default2.zmp",
                                          "config/Default4.zmp"};
  const auto a = Block(0);
  const auto b = Block(1);
  KillDuringSaves(
      [&](const std::filesystem::path& folder, int variant) {
        (void)SaveSettings(variant == 0 ? *a : *b, {folder, nullptr});
      },
      names, 40);
}

TEST(InterruptedSaves, MacroStoreAndTimersStayWhole) {
  MacroStore stores[2];
  TimerList timers[2];
  for (int v = 0; v < 2; ++v) {
    for (int s = 0; s < 5 + v; ++s) {
      (void)AddMacroSet(stores[v], "set" + std::to_string(s));
      for (int m = 0; m < 20; ++m) stores[v].sets.back()->macros.push_back(NewMacroRecord("m" + std::to_string(m + v)));
    }
    for (int t = 0; t < 10 + 20 * v; ++t) (void)AddTimer(timers[v], "t" + std::to_string(t), 10 + static_cast<unsigned>(t));
  }
  KillDuringSaves(
      [&](const std::filesystem::path& folder, int variant) {
        (void)SaveMacroStore(stores[variant], folder);
        (void)SaveTimers(timers[variant], folder);
      },
      {"config/Sarn_sequence.dat", "config/Timer.ini"}, 40);
}

TEST(InterruptedSaves, AFullDiskKeepsTheOldFiles) {
  TempFolder folder;
  const auto a = Block(0);
  const auto b = Block(1);
  ASSERT_EQ(SaveSettings(*a, {folder.path(), nullptr}), 1);
  const std::vector<std::string> slots = {"config/Default0.zmp", "config/Default3.zmp"};
  const Files before = Snapshot(folder.path(), slots);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Files may not grow past 4 KiB: the slot files (about 90 KiB each) cannot be written.
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    const int result = SaveSettings(*b, {folder.path(), nullptr});
    _exit(result == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a failed save must be reported as failed";
  EXPECT_EQ(Snapshot(folder.path(), slots), before);
  auto back = std::make_unique<SharedBlock>();
  (void)LoadSettings(*back, {folder.path(), nullptr});
  EXPECT_STREQ(back->profiles[3].ProFileName, "v0-3");
}

}  // namespace
}  // namespace sarn

#endif
