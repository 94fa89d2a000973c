// The soak run's eyes inside Wine (or Windows):
//   soak_probe sample MS STOPFILE   every MS milliseconds until STOPFILE exists, one line per running program:
//                                   "<ms> <exe> <pid> <handles> <threads> <private bytes>"
//                                   (GetProcessHandleCount, the Toolhelp thread list, PrivateUsage)
//   soak_probe seed FOLDER          writes a macro store and a timer list, so that the run has them to keep whole
//   soak_probe check FOLDER         the folder's verdict as one JSON line (tests/stress/soak_check.h); exit 1 on
//                                   a failure
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "common/timer_list.h"
#include "option/macro/macro_store.h"
#include "tests/stress/soak_check.h"

namespace {

const char* const kWatched[] = {"Sarn[+]Monitor.exe", "Sarn[+]Option.exe"};

struct Sample {
  std::string exe;
  DWORD handles = 0;
  int threads = 0;
  SIZE_T privateBytes = 0;
};

std::map<DWORD, Sample> TakeSamples() {
  std::map<DWORD, Sample> samples;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return samples;
  PROCESSENTRY32 process{};
  process.dwSize = sizeof process;
  for (BOOL more = Process32First(snapshot, &process); more; more = Process32Next(snapshot, &process)) {
    for (const char* exe : kWatched) {
      if (_stricmp(process.szExeFile, exe) == 0) samples[process.th32ProcessID].exe = exe;
    }
  }
  THREADENTRY32 thread{};
  thread.dwSize = sizeof thread;
  for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread)) {
    auto it = samples.find(thread.th32OwnerProcessID);
    if (it != samples.end()) ++it->second.threads;
  }
  CloseHandle(snapshot);
  for (auto& [pid, sample] : samples) {
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (h == nullptr) continue;
    (void)GetProcessHandleCount(h, &sample.handles);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(h, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
      sample.privateBytes = memory.PrivateUsage;
    }
    CloseHandle(h);
  }
  return samples;
}

int SampleUntil(int intervalMs, const char* stopFile) {
  const ULONGLONG start = GetTickCount64();
  while (GetFileAttributesA(stopFile) == INVALID_FILE_ATTRIBUTES) {
    const ULONGLONG now = GetTickCount64() - start;
    for (const auto& [pid, s] : TakeSamples()) {
      std::printf("%llu %s %lu %lu %d %llu\n", now, s.exe.c_str(), static_cast<unsigned long>(pid),
                  static_cast<unsigned long>(s.handles), s.threads, static_cast<unsigned long long>(s.privateBytes));
    }
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(intervalMs));
  }
  return 0;
}

int Seed(const char* folder) {
  sarn::MacroStore store;
  for (int s = 0; s < 3; ++s) {
    (void)sarn::AddMacroSet(store, "Soak set " + std::to_string(s + 1));
    for (int m = 0; m < 4; ++m) {
      auto macro = sarn::NewMacroRecord("Macro " + std::to_string(m + 1));
      macro->loops = 1;
      macro->count = 2;
      macro->events[0] = sarn::MacroEvent{0x04, 1, 20};
      macro->events[1] = sarn::MacroEvent{0x04, 0, 20};
      store.sets.back()->macros.push_back(std::move(macro));
    }
  }
  sarn::TimerList timers;
  for (int t = 0; t < 5; ++t) (void)sarn::AddTimer(timers, "Soak timer " + std::to_string(t + 1), 60u + 30u * t);
  const bool ok = sarn::SaveMacroStore(store, folder) == 1 && sarn::SaveTimers(timers, folder) == 1;
  sarn::FreeMacroStore(store);
  std::puts(ok ? "ok" : "failed");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "sample") == 0) return SampleUntil(std::atoi(argv[2]), argv[3]);
  if (argc == 3 && std::strcmp(argv[1], "seed") == 0) return Seed(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "check") == 0) {
    const auto verdict = sarn::soak::CheckProgramFolder(argv[2]);
    std::printf("%s\n", sarn::soak::VerdictJson(verdict).c_str());
    return verdict.Passed() ? 0 : 1;
  }
  std::fputs("usage: soak_probe sample MS STOPFILE | seed FOLDER | check FOLDER\n", stderr);
  return 2;
}
