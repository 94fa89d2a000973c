#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "common/shared_block.h"

namespace sarn {
namespace {

TEST(Win32SharedBlock, MonitorCreatesOptionOpensAndBothCopyTheWholeBlock) {
  bool mapFailed = true;
  EXPECT_EQ(Win32SharedBlock::OpenForOption(mapFailed), nullptr);  // no monitor yet
  EXPECT_FALSE(mapFailed);

  auto monitor = Win32SharedBlock::CreateForMonitor();
  ASSERT_NE(monitor, nullptr);
  ASSERT_TRUE(monitor->mapped());
  EXPECT_EQ(Win32SharedBlock::CreateForMonitor(), nullptr);  // a second monitor finds the mutex

  auto written = std::make_unique<SharedBlock>();
  std::memset(written.get(), 0, sizeof *written);
  ResetSettings(*written, [] { return 3; });
  written->SoundVolume = 4;  // the last field: the whole block travels
  ASSERT_EQ(monitor->WriteBlock(*written), 1);

  auto option = Win32SharedBlock::OpenForOption(mapFailed);
  ASSERT_NE(option, nullptr);
  auto read = std::make_unique<SharedBlock>();
  ASSERT_EQ(option->ReadBlock(*read), 1);
  EXPECT_EQ(std::memcmp(read.get(), written.get(), sizeof(SharedBlock)), 0);

  read->CurrentProfile = 4;
  ASSERT_EQ(option->WriteBlock(*read), 1);
  ASSERT_EQ(monitor->ReadBlock(*written), 1);
  EXPECT_EQ(written->CurrentProfile, 4);

  option.reset();
  monitor.reset();
  EXPECT_EQ(Win32SharedBlock::OpenForOption(mapFailed), nullptr);  // gone with the monitor
  EXPECT_NE(Win32SharedBlock::CreateForMonitor(), nullptr);
}

// Run in a child process of the test below: takes the shared mutex, says so, and waits to be killed.
TEST(SharedMutexHolder, HoldsTheMutexUntilKilled) {
  const char* ready = std::getenv("SARN_TEST_HOLD_SHARED_MUTEX");
  if (ready == nullptr) GTEST_SKIP() << "only as the holder process of AbandonedByAKilledHolder";
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, kSharedMutexName);
  ASSERT_NE(mutex, nullptr);
  ASSERT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_OBJECT_0);
  HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready);
  ASSERT_NE(event, nullptr);
  SetEvent(event);
  Sleep(INFINITE);
}

TEST(Win32SharedBlock, AbandonedByAKilledHolder) {
  auto monitor = Win32SharedBlock::CreateForMonitor();
  ASSERT_NE(monitor, nullptr);
  const std::string eventName = "sarn-test-holder-ready-" + std::to_string(GetCurrentProcessId());
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  ASSERT_NE(ready, nullptr);

  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=SharedMutexHolder.*";
  SetEnvironmentVariableA("SARN_TEST_HOLD_SHARED_MUTEX", eventName.c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION holder{};
  const BOOL started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &holder);
  SetEnvironmentVariableA("SARN_TEST_HOLD_SHARED_MUTEX", nullptr);
  ASSERT_TRUE(started);
  const DWORD held = WaitForSingleObject(ready, 60000);
  TerminateProcess(holder.hProcess, 9);
  WaitForSingleObject(holder.hProcess, 60000);
  CloseHandle(holder.hThread);
  CloseHandle(holder.hProcess);
  CloseHandle(ready);
  ASSERT_EQ(held, WAIT_OBJECT_0) << "the holder never took the mutex";

  // The first copy after the kill finds the mutex abandoned: it is ours, the copy goes ahead and releases it.
  auto block = std::make_unique<SharedBlock>();
  EXPECT_EQ(monitor->ReadBlock(*block), 1);
  // The other program (another thread owns nothing here) can take the mutex after us.
  DWORD other = WAIT_FAILED;
  std::thread([&other] {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kSharedMutexName);
    if (mutex == nullptr) return;
    other = WaitForSingleObject(mutex, 10000);
    if (other == WAIT_OBJECT_0) ReleaseMutex(mutex);
    CloseHandle(mutex);
  }).join();
  EXPECT_EQ(other, static_cast<DWORD>(WAIT_OBJECT_0)) << "the mutex stayed with the thread that found it abandoned";
  EXPECT_EQ(monitor->WriteBlock(*block), 1);
}

}  // namespace
}  // namespace sarn
