// Kills every save path at random moments and checks that each file it writes is whole afterwards: the old
// content or the new, never missing, never a mix. Then the same saves against a full disk and a read-only
// folder: the old files stay and the save says it failed. Needs fork, so it runs on the native builds.
//   sarn_kill_saves [--rounds N] [--path NAME]     (paths: settings apply profile macros timers vmouse)
// Prints one line per path: kills, damaged files, and the full-disk and read-only results.
// Exit status 0 when nothing was damaged and every refused save was reported as failed.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/private_profile.h"
#include "common/profile_file.h"
#include "common/settings_file.h"
#include "common/timer_list.h"
#include "hidport/virtual_mouse.h"
#include "option/macro/macro_store.h"
#include "option/option_core.h"

namespace {

namespace fs = std::filesystem;
using namespace sarn;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class Folder {
 public:
  explicit Folder(const std::string& tag) {
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("sarn-kill-" + tag + "-" + std::to_string(rd()));
    fs::create_directories(path_ / "config");
  }
  ~Folder() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(path_ / "config", fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::unique_ptr<SharedBlock> Block(int variant) {
  auto block = std::make_unique<SharedBlock>();
  std::memset(block.get(), 0, sizeof(SharedBlock));
  ResetSettings(*block, [] { return 1; });
  block->CurrentProfile = variant;
  for (int i = 0; i < kProfileCount; ++i) {
    std::snprintf(block->profiles[i].ProFileName, sizeof block->profiles[i].ProFileName, "v%d-%d", variant, i);
    for (auto& slot : block->profiles[i].MacroKeyInfo) {
      slot.count = 300 + variant;
      for (auto& e : slot.events) e = MacroEvent{static_cast<std::uint8_t>(variant + 4), 1, 1};
    }
  }
  return block;
}

class NoMonitor final : public MonitorLink {
 public:
  ApplyAnswer SendApplyAll(int) override { return ApplyAnswer::kNoMonitor; }
  void PostApplyToDisplays() override {}
};

// One save path: writes variant 0 or 1 of its content into a program folder; returns whether it said it
// succeeded. `files` are the paths (relative to the folder) it replaces.
struct SavePath {
  std::string name;
  std::vector<std::string> files;
  std::function<bool(const fs::path&, int)> save;
  // A save made of several whole-file writes of one file: its first write alone (nothing for a single write).
  std::function<void(const fs::path&, int)> firstStep;
};

std::vector<SavePath> MakePaths() {
  static std::unique_ptr<SharedBlock> blocks[2] = {Block(0), Block(1)};
  static MacroStore stores[2];
  static TimerList timers[2];
  static NotificationSettings notes[2];
  for (int v = 0; v < 2; ++v) {
    for (int s = 0; s < 5 + v; ++s) {
      (void)AddMacroSet(stores[v], "set" + std::to_string(s));
      for (int m = 0; m < 20; ++m) stores[v].sets.back()->macros.push_back(NewMacroRecord("m" + std::to_string(m + v)));
    }
    for (int t = 0; t < 10 + 20 * v; ++t) (void)AddTimer(timers[v], "t" + std::to_string(t), 10 + static_cast<unsigned>(t));
    ResetNotificationSettings(notes[v]);
    std::memset(reinterpret_cast<char*>(&notes[v]), 0x20 + v, 16);
  }
  std::vector<SavePath> paths;
  paths.push_back({"settings", {"config.ini", "config/Default0.zmp", "config/Default2.zmp", "config/Default4.zmp"},
                   [](const fs::path& f, int v) { return SaveSettings(*blocks[v], {f, nullptr}) == 1; }});
  // Apply writes the notification settings, config.ini with the slot files, and the macro store in turn.
  paths.push_back({"apply", {"config.ini", "config/Default1.zmp", "config/Default3.zmp", "config/Sarn_sequence.dat"},
                   [](const fs::path& f, int v) {
                     FileStorage storage(f, nullptr);
                     NoMonitor monitor;
                     auto working = std::make_unique<SharedBlock>(*blocks[v]);
                     auto last = std::make_unique<SharedBlock>(*blocks[1 - v]);
                     (void)ApplyWorkingCopy(*working, *last, nullptr, storage, monitor, notes[v], stores[v], 0);
                     // Apply itself reports nothing; its files say whether it got through.
                     return SaveSettings(*blocks[v], {f, nullptr}) == 1 && SaveMacroStore(stores[v], f) == 1;
                   },
                   // config.ini takes the notification settings first, then the mouse settings.
                   [](const fs::path& f, int v) { (void)SaveNotificationSettings(notes[v], f); }});
  paths.push_back({"profile", {"chosen.zmp", "config.ini"},
                   [](const fs::path& f, int v) {
                     return SaveSlotToProfileFile(*blocks[v], f, f / "chosen.zmp") == 1;
                   }});
  paths.push_back({"macros", {"config/Sarn_sequence.dat"},
                   [](const fs::path& f, int v) { return SaveMacroStore(stores[v], f) == 1; }});
  paths.push_back({"timers", {"config/Timer.ini"},
                   [](const fs::path& f, int v) { return SaveTimers(timers[v], f) == 1; }});
  // The virtual mouse keeps its memory as its DLL does: read the file, store the profiles, write it back.
  paths.push_back({"vmouse", {"virtual-mouse.ini"},
                   [](const fs::path& f, int v) {
                     vmouse::VirtualMouse mouse;
                     vmouse::OnBoardProfile p = mouse.Profile(2);
                     p.buttons[0] = static_cast<std::uint8_t>(40 + v);
                     for (int i = 0; i < vmouse::kProfiles; ++i) mouse.SetProfile(i, p);
                     IniDocument doc;
                     (void)LoadIniFile(f / "virtual-mouse.ini", doc);
                     mouse.Save(doc);
                     doc.SetString("Padding", "Text", std::string(static_cast<std::size_t>(2000 + 3000 * v), 'p'));
                     return SaveIniFile(f / "virtual-mouse.ini", doc);
                   }});
  return paths;
}

using Files = std::map<std::string, std::string>;
Files Snapshot(const fs::path& folder, const std::vector<std::string>& names) {
  Files files;
  for (const auto& n : names) files[n] = ReadBytes(folder / n);
  return files;
}

// Temporary files a killed save leaves beside its target are allowed; the targets themselves must be whole.
struct KillResult {
  int kills = 0;
  int damaged = 0;
};

KillResult KillRounds(const SavePath& path, int rounds, std::mt19937& random) {
  Folder folder(path.name);
  // Both versions are taken in the folder itself: some files name the folder they were saved in.
  (void)path.save(folder.path(), 1);
  const Files newer = Snapshot(folder.path(), path.files);
  if (path.firstStep) path.firstStep(folder.path(), 0);
  const Files newerThenStep = Snapshot(folder.path(), path.files);
  (void)path.save(folder.path(), 0);
  const Files older = Snapshot(folder.path(), path.files);
  if (path.firstStep) path.firstStep(folder.path(), 1);
  const Files olderThenStep = Snapshot(folder.path(), path.files);
  (void)path.save(folder.path(), 0);
  const auto whole = [&](const std::string& name, const std::string& now) {
    return now == older.at(name) || now == newer.at(name) || now == newerThenStep.at(name) ||
           now == olderThenStep.at(name);
  };
  KillResult result;
  for (int round = 0; round < rounds; ++round) {
    const pid_t child = fork();
    if (child < 0) { std::perror("fork"); std::exit(2); }
    if (child == 0) {
      for (int i = 1;; ++i) (void)path.save(folder.path(), i % 2);
    }
    usleep(std::uniform_int_distribution<useconds_t>(0, 30000)(random));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ++result.kills;
    for (const auto& name : path.files) {
      const std::string now = ReadBytes(folder.path() / name);
      // Files that only one variant's run writes differently (the notes of config.ini) may carry either.
      if (now == "<missing>" || !whole(name, now)) {
        ++result.damaged;
        std::fprintf(stderr, "  %s: %s damaged after kill %d (%zu bytes)\n", path.name.c_str(), name.c_str(), round,
                     now.size());
      }
    }
  }
  return result;
}

// Runs the save of variant 1 in a child under `restrict` over a folder holding variant 0: true when the
// child reported failure and every file is as it was.
// Runs the save of variant 1 in a child under `restrict` over a folder holding variant 0: true when the
// child reported failure and every file is either as it was or wholly the new one (a save of several files
// may get some of them through before the disk is full).
bool RefusedSaveKeepsOld(const SavePath& path, const std::function<void(const fs::path&)>& restrict) {
  Folder folder(path.name + "-refuse");
  (void)path.save(folder.path(), 1);
  const Files newer = Snapshot(folder.path(), path.files);
  (void)path.save(folder.path(), 0);
  const Files before = Snapshot(folder.path(), path.files);
  const pid_t child = fork();
  if (child == 0) {
    restrict(folder.path());
    _exit(path.save(folder.path(), 1) ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  const bool reported = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  bool kept = true;
  int unchanged = 0;
  for (const auto& [name, now] : Snapshot(folder.path(), path.files)) {
    if (now == before.at(name)) ++unchanged;
    else if (now != newer.at(name)) kept = false;
  }
  if (unchanged == 0) kept = false;  // a refused save that changed everything was no refusal
  if (!reported) std::fprintf(stderr, "  %s: a refused save was reported as done\n", path.name.c_str());
  if (!kept) std::fprintf(stderr, "  %s: a refused save damaged its files\n", path.name.c_str());
  return reported && kept;
}

void FullDisk(const fs::path&) {
  // No file may grow past 1 KiB: every file of every path is larger.
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit{1024, 1024};
  setrlimit(RLIMIT_FSIZE, &limit);
}

void ReadOnlyFolder(const fs::path& folder) {
  chmod(folder.c_str(), 0555);
  chmod((folder / "config").c_str(), 0555);
  // The superuser writes anywhere; the save runs as nobody so that the folder's mode counts.
  if (geteuid() == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 1000;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--rounds" && i + 1 < argc) rounds = std::atoi(argv[++i]);
    else if (a == "--path" && i + 1 < argc) only = argv[++i];
    else { std::fprintf(stderr, "usage: %s [--rounds N] [--path NAME]\n", argv[0]); return 2; }
  }
  std::mt19937 random(static_cast<unsigned>(std::random_device{}()));
  bool ok = true;
  std::printf("%-9s %6s %8s %10s %10s\n", "path", "kills", "damaged", "full-disk", "read-only");
  for (const SavePath& path : MakePaths()) {
    if (!only.empty() && path.name != only) continue;
    const KillResult k = KillRounds(path, rounds, random);
    const bool full = RefusedSaveKeepsOld(path, FullDisk);
    const bool readOnly = RefusedSaveKeepsOld(path, ReadOnlyFolder);
    std::printf("%-9s %6d %8d %10s %10s\n", path.name.c_str(), k.kills, k.damaged, full ? "kept" : "FAILED",
                readOnly ? "kept" : "FAILED");
    std::fflush(stdout);
    ok = ok && k.damaged == 0 && full && readOnly;
  }
  return ok ? 0 : 1;
}
