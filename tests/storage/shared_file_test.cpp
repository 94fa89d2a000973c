// Both programs edit config.ini and the slot files. Two processes editing one file at the same time must not
// lose each other's keys, a dead or hung lock holder must not stop the other, and a file that exists but cannot
// be read is never replaced by an edit. Natively the processes are forked; under Wine the test program starts
// itself (the child runs only the Writer case, told by the environment).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "common/file_lock.h"
#include "common/private_profile.h"
#include "common/profile_file.h"
#include "common/settings_file.h"
#include "common/text_encoding.h"
#include "storage_test_support.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace sarn {
namespace {

using test::TempFolder;
using Clock = std::chrono::steady_clock;

constexpr int kEdits = 500;

// One writer's share: its own keys Name0..Name499 through the edit every writer of config.ini uses, and now
// and then one of the programs' single-key writes.
int RunWriter(const std::filesystem::path& folder, char name) {
  for (int i = 0; i < kEdits; ++i) {
    const std::string key = std::string(1, name) + std::to_string(i);
    if (!EditIniFile(SettingsFilePath(folder), [&](IniDocument& doc) { doc.SetInt("Setting", key, i); })) return 2;
    if (i % 50 != 49) continue;
    const int single = name == 'A' ? WriteCurrentProfile(folder, i % 5)
                                   : WriteSlotFileName(folder, 1, "title" + std::to_string(i));
    if (single != 1) return 3;
  }
  return 0;
}

#if defined(_WIN32)
struct Child {
  HANDLE process = nullptr;
};

// The test program again, running only `filter`, with the role in the environment.
Child StartChild(const std::string& filter, const std::string& role, const std::filesystem::path& folder) {
  SetEnvironmentVariableW(L"SARN_CHILD_ROLE", Utf8ToWide(role).c_str());
  SetEnvironmentVariableW(L"SARN_CHILD_FOLDER", folder.c_str());
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=" + Utf8ToWide(filter);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const BOOL started = CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  SetEnvironmentVariableW(L"SARN_CHILD_ROLE", nullptr);
  SetEnvironmentVariableW(L"SARN_CHILD_FOLDER", nullptr);
  if (!started) return {};
  CloseHandle(pi.hThread);
  return {pi.hProcess};
}

int WaitChild(Child& child) {
  if (child.process == nullptr) return -1;
  if (WaitForSingleObject(child.process, 300000) != WAIT_OBJECT_0) return -2;
  DWORD code = 0;
  GetExitCodeProcess(child.process, &code);
  CloseHandle(child.process);
  child.process = nullptr;
  return static_cast<int>(code);
}

void KillChild(Child& child) {
  TerminateProcess(child.process, 9);
  WaitForSingleObject(child.process, INFINITE);
  CloseHandle(child.process);
  child.process = nullptr;
}
#endif

std::string ChildRole() {
  const char* role = std::getenv("SARN_CHILD_ROLE");
  return role ? role : "";
}

// The child side (Windows): a writer, or a lock holder that waits to be killed.
TEST(SharedFileChild, Run) {
  const std::string role = ChildRole();
  if (role.empty()) GTEST_SKIP() << "runs only as a child of the tests below";
  const std::filesystem::path folder = std::getenv("SARN_CHILD_FOLDER");
  if (role == "A" || role == "B") std::exit(RunWriter(folder, role[0]));
  if (role == "holder") {
    FileLock lock(SettingsFilePath(folder));
    test::WriteBytes(folder / "holding", "1");
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  std::exit(4);
}

void ExpectEveryKey(const std::filesystem::path& folder) {
  IniDocument doc;
  ASSERT_TRUE(LoadIniFile(SettingsFilePath(folder), doc));
  int lost = 0;
  for (char name : {'A', 'B'}) {
    for (int i = 0; i < kEdits; ++i) {
      if (doc.GetInt("Setting", std::string(1, name) + std::to_string(i), -1) != i) ++lost;
    }
  }
  EXPECT_EQ(lost, 0) << "keys lost between the two writers";
  EXPECT_EQ(doc.GetInt("Setting", "CurrentProfile", -1), (kEdits - 1) % 5);
  EXPECT_EQ(doc.GetString("FileName", "Profile1", ""), "title" + std::to_string(kEdits - 1));
}

TEST(SharedFile, TwoProcessesEditingOneFileLoseNoKey) {
  if (!ChildRole().empty()) GTEST_SKIP();
  TempFolder folder;
#if defined(_WIN32)
  Child a = StartChild("SharedFileChild.Run", "A", folder.path());
  Child b = StartChild("SharedFileChild.Run", "B", folder.path());
  EXPECT_EQ(WaitChild(a), 0);
  EXPECT_EQ(WaitChild(b), 0);
#else
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) _exit(RunWriter(folder.path(), c == 0 ? 'A' : 'B'));
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
#endif
  ExpectEveryKey(folder.path());
}

// A program killed while it holds a file's lock must not make the other wait for the lock's bound, let alone
// for ever; a holder that hangs costs the other program the bound and no more.
TEST(SharedFile, DeadHolderReleasesAndHungHolderIsWaitedForBoundedly) {
  if (!ChildRole().empty()) GTEST_SKIP();
  TempFolder folder;
  const auto path = SettingsFilePath(folder.path());
#if defined(_WIN32)
  Child holder = StartChild("SharedFileChild.Run", "holder", folder.path());
  ASSERT_NE(holder.process, nullptr);
  const auto until = Clock::now() + std::chrono::seconds(60);
  while (!std::filesystem::exists(folder / "holding") && Clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(std::filesystem::exists(folder / "holding"));
  {
    FileLock blocked(path, 300);
    EXPECT_FALSE(blocked.held()) << "the child holds the lock";
  }
  KillChild(holder);
#else
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    FileLock lock(path);
    (void)!write(ready[1], "h", 1);
    for (;;) pause();
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  {
    FileLock blocked(path, 300);
    EXPECT_FALSE(blocked.held()) << "the child holds the lock";
  }
  kill(holder, SIGKILL);
  int status = 0;
  waitpid(holder, &status, 0);
#endif
  const auto start = Clock::now();
  FileLock taken(path, 60000);
  EXPECT_TRUE(taken.held());
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(30)) << "waited for the bound, not for the dead holder";
}

#if defined(_WIN32)
// A thread that ends while it holds a lock leaves the mutex abandoned; the next taker owns it all the same.
TEST(SharedFile, AbandonedLockIsTakenOver) {
  if (!ChildRole().empty()) GTEST_SKIP();
  TempFolder folder;
  const auto path = SettingsFilePath(folder.path());
  std::thread([&] { (void)new FileLock(path); }).join();  // never released: its thread ends holding it
  FileLock taken(path, 60000);
  EXPECT_TRUE(taken.held());
}
#endif

TEST(SharedFile, SpellingsOfOnePathShareALock) {
  TempFolder folder;
  std::filesystem::create_directories(folder / "sub");
  const auto plain = folder / "config.ini";
  EXPECT_EQ(FileLockName(plain), FileLockName(folder / "sub" / ".." / "." / "config.ini"));
  EXPECT_NE(FileLockName(plain), FileLockName(folder / "config" / "Default0.zmp"));
#if defined(_WIN32)
  std::wstring upper = plain.wstring();
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  EXPECT_EQ(FileLockName(plain), FileLockName(std::filesystem::path(upper)));
  // A path too long to spell out in an object name is named by its hash.
  const auto deep = folder / std::string(240, 'd') / "config.ini";
  EXPECT_LT(FileLockName(deep).size(), 260u);
  EXPECT_NE(FileLockName(deep), FileLockName(folder / std::string(240, 'e') / "config.ini"));
#endif
}

}  // namespace
}  // namespace sarn
