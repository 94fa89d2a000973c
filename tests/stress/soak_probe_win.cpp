// The soak run's eyes inside Wine (or Windows):
//   soak_probe sample MS STOPFILE   every MS milliseconds until STOPFILE exists, one line per running program:
//                                   "<ms> <exe> <pid> <handles> <threads> <private bytes>"
//                                   (GetProcessHandleCount or copies of its handle values, the Toolhelp thread
//                                   list, PrivateUsage or its committed private pages); first a
//                                   line "# handles: SOURCE, private: SOURCE"
//   soak_probe seed FOLDER          writes a macro store and a timer list, so that the run has them to keep whole,
//                                   and gives the virtual mouse profile, DPI and sensitivity cycles on B4, B6 and
//                                   B7 of every profile (its kept memory, read by the monitor at start)
//   soak_probe check FOLDER         the folder's verdict as one JSON line (tests/stress/soak_check.h); exit 1 on
//                                   a failure
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "common/button_functions.h"
#include "common/private_profile.h"
#include "hidport/virtual_mouse.h"
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

// Wine answers GetProcessHandleCount and PrivateUsage of another process with 0. There the handles are
// counted by asking for a copy of each handle value in turn, and private memory is the committed private pages
// (what PrivateUsage counts on Windows, near enough), walked with VirtualQueryEx. The system's handle list
// would be quicker, but Wine 8's server crashed within seconds when it was asked for it while the soak's
// processes came and went.
bool gHandlesByCopies = false;
bool gPrivateFromPages = false;

// Handle values are multiples of 4, handed out from the lowest free one, so a process's handles lie in a compact
// range: the count stops after a long run of values that are no handle.
DWORD HandlesByCopies(HANDLE process) {
  constexpr std::uintptr_t kStep = 4, kGiveUpAfter = 1024;
  DWORD count = 0;
  std::uintptr_t lastFound = 0;
  for (std::uintptr_t value = kStep; value - lastFound <= kGiveUpAfter * kStep; value += kStep) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
      CloseHandle(copy);
      ++count;
      lastFound = value;
    }
  }
  return count;
}

SIZE_T CommittedPrivateBytes(HANDLE process) {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (const char* at = nullptr; VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return total;
}

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
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE, FALSE, pid);
    if (h == nullptr) continue;
    if (!GetProcessHandleCount(h, &sample.handles) || sample.handles == 0) {
      gHandlesByCopies = true;
      sample.handles = HandlesByCopies(h);
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(h, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
      sample.privateBytes = memory.PrivateUsage;
    }
    if (sample.privateBytes == 0) {
      gPrivateFromPages = true;
      sample.privateBytes = CommittedPrivateBytes(h);
    }
    CloseHandle(h);
  }
  return samples;
}

int SampleUntil(int intervalMs, const char* stopFile) {
  const ULONGLONG start = GetTickCount64();
  bool told = false;
  while (GetFileAttributesA(stopFile) == INVALID_FILE_ATTRIBUTES) {
    const ULONGLONG now = GetTickCount64() - start;
    const auto samples = TakeSamples();
    if (!told && !samples.empty()) {
      told = true;
      std::printf("# handles: %s, private: %s\n", gHandlesByCopies ? "handle values copied" : "GetProcessHandleCount",
                  gPrivateFromPages ? "committed private pages" : "PrivateUsage");
    }
    for (const auto& [pid, s] : samples) {
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
  auto mouse = std::make_unique<sarn::vmouse::VirtualMouse>();
  for (int p = 0; p < sarn::vmouse::kProfiles; ++p) {
    sarn::vmouse::OnBoardProfile profile = mouse->Profile(p);
    profile.buttons[3] = sarn::kFnProfileCycle;
    profile.buttons[5] = sarn::kFnDpiCycle;
    profile.buttons[6] = sarn::kFnSensitivityCycle;
    mouse->SetProfile(p, profile);
  }
  sarn::IniDocument memory;
  mouse->Save(memory);
  const bool ok = sarn::SaveMacroStore(store, folder) == 1 && sarn::SaveTimers(timers, folder) == 1 &&
                  sarn::SaveIniFile(std::filesystem::path(folder) / "virtual-mouse.ini", memory);
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
