// Measures a running monitor (bench/run-monitor-bench starts it) from outside, with a low-level keyboard hook
// in this process:
//   latency N [IDLE_ROUNDS [IDLE_S]]  the time from a DeviceEvent for a shortcut button to the first
//                                     synthesised key: N warm rounds, then rounds each after IDLE_S of idle
//   macro PLAYS [IDLE_PLAYS [IDLE_S]] a six-step macro on a button, played through the monitor: first-key
//                                     latency, gap errors and the last step's lateness, the first IDLE_PLAYS
//                                     plays each after IDLE_S of idle; then the same steps played here by a
//                                     thread that sleeps after every step (the baseline)
// The latency mode's baseline is a second process of this program ("injector") that does nothing but inject
// the key when a message comes, stamping the time just before: what a message to another process and the
// key's way back into this process's hook cost under this system, without any of the monitor's work.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/button_functions.h"
#include "common/shared_block.h"
#include "monitor/device/device_link.h"

namespace {

LARGE_INTEGER g_frequency;
std::int64_t Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}
double Micros(std::int64_t ticks) { return static_cast<double>(ticks) * 1e6 / static_cast<double>(g_frequency.QuadPart); }

volatile LONG64 g_lastKeyDown = 0;
constexpr DWORD kBenchKey = VK_F12;  // nothing on the bench desktop answers to it
// Every F12 event the hook saw (downs and ups), while recording.
std::vector<std::int64_t> g_events;
bool g_recording = false;

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const std::int64_t now = Now();
    auto* info = reinterpret_cast<KBDLLHOOKSTRUCT*>(lParam);
    if (info->vkCode == kBenchKey) {
      if (g_recording) g_events.push_back(now);
      if (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN) InterlockedExchange64(&g_lastKeyDown, now);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void Pump(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  } while (GetTickCount() - start < ms);
}

// Idle as the monitor sees it: nothing posted, nothing injected; the hook stays installed.
void Idle(int seconds) { Pump(static_cast<DWORD>(seconds) * 1000); }

struct Stats {
  std::vector<double> values;
  double At(double q) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
  }
  double Max() { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
};

// Pumps this thread's messages (the hook runs inside them) until the hook saw the key or the time is up.
bool WaitForKey(std::int64_t since, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (g_lastKeyDown > since) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
  return false;
}

// Finds the running monitor, writes one button slot of the active profile into its block and has it apply
// it; the monitor's window, or nullptr (with a message) when there is none or it did not answer.
template <typename Fill>
HWND AssignB6(Fill fill) {
  using namespace sarn;
  HWND monitor = FindWindowA(nullptr, kMonitorWindowTitle);
  bool mapFailed = false;
  auto store = Win32SharedBlock::OpenForOption(mapFailed);
  auto block = std::make_unique<SharedBlock>();
  if (monitor == nullptr || !store || store->ReadBlock(*block) != 1) {
    std::fputs("monitor_bench: no monitor is running\n", stderr);
    return nullptr;
  }
  ClearChangeFlags(*block);
  int active = block->CurrentProfile < 0 || block->CurrentProfile > 4 ? 0 : block->CurrentProfile;
  block->CurrentProfile = active;
  ButtonSlot& slot = block->profiles[active].MacroKeyInfo[5];
  fill(slot);
  block->ButtonChanged[active][5] = 1;
  (void)store->WriteBlock(*block);
  DWORD_PTR answer = 0;
  return SendMessageTimeoutA(monitor, kMsgApplyAll, 0, 0, SMTO_NORMAL, 60000, &answer) != 0 ? monitor : nullptr;
}

// Press and release rounds against a window of another process: a message that makes it press the key,
// the wait for the hook, the release; the first 10 rounds warm up, then `rounds` warm ones, then
// `idleRounds` each after `idleSeconds` without any input. With `stamp`, each key's injection time as the
// other process wrote it is subtracted too (`delivery`).
void PressRounds(HWND target, UINT message, WPARAM wp, LPARAM press, LPARAM release, int rounds, int idleRounds,
                 int idleSeconds, std::vector<double>& samples, std::vector<double>& idle,
                 volatile LONG64* stamp, std::vector<double>* delivery = nullptr) {
  for (int i = 0; i < rounds + 10 + idleRounds; ++i) {
    const bool afterIdle = i >= rounds + 10;
    if (afterIdle) Idle(idleSeconds);
    std::int64_t sent = Now();
    PostMessageA(target, message, wp, press);
    bool seen = WaitForKey(sent, 2000);
    const std::int64_t injected = stamp != nullptr ? *stamp : 0;
    PostMessageA(target, message, wp, release);
    WaitForKey(Now(), 20);  // let the release pass before the next round
    if (!seen) {
      std::fprintf(stderr, "monitor_bench: no key for round %d\n", i);
      continue;
    }
    if (afterIdle) idle.push_back(Micros(g_lastKeyDown - sent));
    else if (i >= 10) {  // the first rounds warm up
      samples.push_back(Micros(g_lastKeyDown - sent));
      if (delivery != nullptr && injected > sent) delivery->push_back(Micros(g_lastKeyDown - injected));
    }
  }
}

constexpr char kInjectorTitle[] = "monitor_bench injector";
constexpr char kInjectorStamp[] = "Local\\monitor_bench_injector_stamp";
constexpr UINT kInjectMessage = WM_APP + 7;

// The injector process: a hidden window that presses (lParam 0) or releases (1) the bench key.
int Injector() {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, kInjectorStamp);
  auto* stamp = mapping != nullptr ? static_cast<volatile LONG64*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 64))
                                   : nullptr;
  if (stamp == nullptr) return 1;
  const BYTE scan = static_cast<BYTE>(MapVirtualKeyA(kBenchKey, MAPVK_VK_TO_VSC));  // as the monitor warms up
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "monitor_bench_injector";
  RegisterClassA(&wc);
  HWND w = CreateWindowA(wc.lpszClassName, kInjectorTitle, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
  if (w == nullptr) return 1;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == kInjectMessage) {
      *stamp = Now();
      keybd_event(static_cast<BYTE>(kBenchKey), scan, msg.lParam != 0 ? KEYEVENTF_KEYUP : 0, 0);
    } else if (msg.message == WM_APP + 8) {
      break;
    }
    DispatchMessageA(&msg);
  }
  return 0;
}

// Runs the latency rounds against an injector started from this program; false when it could not start.
bool InjectorRounds(int rounds, std::vector<double>& samples, std::vector<double>& delivery) {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, kInjectorStamp);
  auto* stamp = mapping != nullptr ? static_cast<volatile LONG64*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 64))
                                   : nullptr;
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string command = std::string("\"") + path + "\" injector";
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  if (stamp == nullptr || !CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    return false;
  }
  HWND injector = nullptr;
  for (DWORD start = GetTickCount(); injector == nullptr && GetTickCount() - start < 20000;) {
    Pump(20);
    injector = FindWindowA(nullptr, kInjectorTitle);
  }
  if (injector != nullptr) {
    // The injector's thread runs at the priority the monitor's window thread has: normal.
    std::vector<double> idle;
    PressRounds(injector, kInjectMessage, 0, 0, 1, rounds, 0, 0, samples, idle, stamp, &delivery);
    PostMessageA(injector, WM_APP + 8, 0, 0);
  }
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return injector != nullptr;
}

int Latency(int rounds, int idleRounds, int idleSeconds) {
  using namespace sarn;
  // B6 of the active profile becomes a plain F12 shortcut.
  HWND monitor = AssignB6([](ButtonSlot& slot) {
    slot.functionCode = kFnShortcut;
    slot.count = 1;
    slot.events[0] = {69 /* F12 */, kModNone, 0};
  });
  if (monitor == nullptr) return 1;

  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleA(nullptr), 0);
  if (hook == nullptr) return 1;
  std::vector<double> samples, idle;
  PressRounds(monitor, kDeviceEventMessage, 0x5000, 0x0006, 0x0106, rounds, idleRounds, idleSeconds, samples, idle,
              nullptr);
  std::vector<double> base, delivery;
  const bool haveBaseline = InjectorRounds(rounds, base, delivery);
  UnhookWindowsHookEx(hook);
  if (samples.empty()) return 1;
  std::sort(samples.begin(), samples.end());
  auto at = [&](const std::vector<double>& v, double q) {
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
  };
  std::printf("event to first key, %zu warm rounds: p50 %.0f us, p99 %.0f us, max %.0f us\n", samples.size(),
              at(samples, 0.5), at(samples, 0.99), samples.back());
  if (haveBaseline && !base.empty() && !delivery.empty()) {
    std::sort(base.begin(), base.end());
    std::sort(delivery.begin(), delivery.end());
    std::printf("  baseline, a message to a process that only injects, %zu rounds: p50 %.0f us, p99 %.0f us, "
                "max %.0f us (ratio of p99s %.2f)\n",
                base.size(), at(base, 0.5), at(base, 0.99), base.back(), at(samples, 0.99) / at(base, 0.99));
    std::printf("    of that, the injected key to this process's hook: p50 %.0f us, p99 %.0f us, max %.0f us\n",
                at(delivery, 0.5), at(delivery, 0.99), delivery.back());
  }
  if (!idle.empty()) {
    std::printf("  after %d s idle, %zu rounds:", idleSeconds, idle.size());
    for (double v : idle) std::printf(" %.0f", v);
    std::printf(" us\n");
    std::vector<double> all = samples;
    all.insert(all.end(), idle.begin(), idle.end());
    std::sort(all.begin(), all.end());
    // The idle rounds are few: counted in, the p99 of the whole is the goal's figure.
    std::printf("  all %zu rounds, idle ones counted: p50 %.0f us, p99 %.0f us, max %.0f us\n", all.size(),
                at(all, 0.5), at(all, 0.99), all.back());
  }
  return 0;
}

// ------------------------------------------------------------------ macro, end to end

// Six steps, F12 down and up in turn, with the delays a new user would try; the last delay only ends it.
constexpr int kMacroSteps = 6;
constexpr int kMacroDelays[kMacroSteps] = {30, 10, 50, 20, 5, 10};
constexpr int kMacroSpanMs = 30 + 10 + 50 + 20 + 5;  // first key to last key

struct PlayFigures {
  Stats firstKey, gapError, lastLate;  // ms
  int missed = 0;
};

// Waits for the six keys of one play (or gives up) and adds its figures.
void CollectPlay(std::int64_t trigger, PlayFigures& f) {
  DWORD start = GetTickCount();
  while (g_events.size() < static_cast<std::size_t>(kMacroSteps) && GetTickCount() - start < 2000) Pump(1);
  if (g_events.size() < static_cast<std::size_t>(kMacroSteps)) {
    ++f.missed;
    return;
  }
  auto ms = [](std::int64_t ticks) { return Micros(ticks) / 1000.0; };
  f.firstKey.values.push_back(ms(g_events[0] - trigger));
  for (int i = 0; i + 1 < kMacroSteps; ++i) {
    f.gapError.values.push_back(std::fabs(ms(g_events[i + 1] - g_events[i]) - kMacroDelays[i]));
  }
  // Against the button event: the first key's latency counts, as the user feels it.
  f.lastLate.values.push_back(ms(g_events[kMacroSteps - 1] - trigger) - kMacroSpanMs);
}

void Print(const char* name, PlayFigures& f) {
  std::printf("%s, %zu plays%s:\n", name, f.firstKey.values.size(), f.missed ? " (some missed)" : "");
  std::printf("  first key after the trigger: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", f.firstKey.At(0.5),
              f.firstKey.At(0.99), f.firstKey.Max());
  std::printf("  gap error:                   p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", f.gapError.At(0.5),
              f.gapError.At(0.99), f.gapError.Max());
  std::printf("  last step late:              p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", f.lastLate.At(0.5),
              f.lastLate.At(0.99), f.lastLate.Max());
}

struct Baseline {
  HANDLE go = nullptr;
  volatile LONG quit = 0;
};

DWORD WINAPI SleepPlayer(void* p) {
  auto* b = static_cast<Baseline*>(p);
  const BYTE scan = static_cast<BYTE>(MapVirtualKeyA(kBenchKey, MAPVK_VK_TO_VSC));
  for (;;) {
    WaitForSingleObject(b->go, INFINITE);
    if (b->quit) return 0;
    for (int i = 0; i < kMacroSteps; ++i) {
      keybd_event(static_cast<BYTE>(kBenchKey), scan, i % 2 ? KEYEVENTF_KEYUP : 0, 0);
      Sleep(static_cast<DWORD>(kMacroDelays[i]));
    }
  }
}

int Macro(int plays, int idlePlays, int idleSeconds) {
  using namespace sarn;
  HWND monitor = AssignB6([](ButtonSlot& slot) {
    slot.functionCode = kFnMacro;
    slot.loops = 1;
    slot.count = kMacroSteps;
    for (int i = 0; i < kMacroSteps; ++i) {
      slot.events[i] = {69 /* F12 */, i % 2 ? kKindRelease : kKindPress, static_cast<std::uint16_t>(kMacroDelays[i])};
    }
  });
  if (monitor == nullptr) return 1;
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleA(nullptr), 0);
  if (hook == nullptr) return 1;
  g_events.reserve(64);

  PlayFigures monitorPlays, monitorIdle;
  for (int i = 0; i < plays; ++i) {
    const bool afterIdle = i < idlePlays;
    Idle(afterIdle ? idleSeconds : 0);
    Pump(afterIdle ? 0 : 150);
    g_events.clear();
    g_recording = true;
    const std::int64_t trigger = Now();
    PostMessageA(monitor, kDeviceEventMessage, 0x5000, 0x0006);  // B6 pressed
    PostMessageA(monitor, kDeviceEventMessage, 0x5000, 0x0106);  // and released
    CollectPlay(trigger, afterIdle ? monitorIdle : monitorPlays);
    g_recording = false;
  }

  Baseline baseline;
  baseline.go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE player = CreateThread(nullptr, 0, SleepPlayer, &baseline, 0, nullptr);
  PlayFigures sleepPlays, sleepIdle;
  for (int i = 0; i < plays; ++i) {
    const bool afterIdle = i < idlePlays;
    Idle(afterIdle ? idleSeconds : 0);
    Pump(afterIdle ? 0 : 150);
    g_events.clear();
    g_recording = true;
    const std::int64_t trigger = Now();
    SetEvent(baseline.go);
    CollectPlay(trigger, afterIdle ? sleepIdle : sleepPlays);
    g_recording = false;
  }
  baseline.quit = 1;
  SetEvent(baseline.go);
  WaitForSingleObject(player, INFINITE);
  UnhookWindowsHookEx(hook);

  std::printf("macro of %d steps (delays 30 10 50 20 5 ms) on B6, hook in this process:\n", kMacroSteps);
  if (idlePlays > 0) {
    std::printf("-- the first %d plays, each after %d s idle --\n", idlePlays, idleSeconds);
    Print("through the monitor", monitorIdle);
    Print("Sleep per step (baseline)", sleepIdle);
    std::printf("-- the other plays, 150 ms apart --\n");
  }
  Print("through the monitor", monitorPlays);
  Print("Sleep per step (baseline)", sleepPlays);
  PlayFigures all = monitorPlays;
  all.firstKey.values.insert(all.firstKey.values.end(), monitorIdle.firstKey.values.begin(),
                             monitorIdle.firstKey.values.end());
  all.gapError.values.insert(all.gapError.values.end(), monitorIdle.gapError.values.begin(),
                             monitorIdle.gapError.values.end());
  all.lastLate.values.insert(all.lastLate.values.end(), monitorIdle.lastLate.values.begin(),
                             monitorIdle.lastLate.values.end());
  all.missed += monitorIdle.missed;
  Print("through the monitor, all plays", all);
  return monitorPlays.missed + monitorIdle.missed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QueryPerformanceFrequency(&g_frequency);
  auto arg = [&](int i, int fallback) { return argc > i ? std::atoi(argv[i]) : fallback; };
  if (argc >= 2 && std::strcmp(argv[1], "latency") == 0) return Latency(arg(2, 200), arg(3, 0), arg(4, 10));
  if (argc >= 2 && std::strcmp(argv[1], "injector") == 0) return Injector();
  if (argc >= 2 && std::strcmp(argv[1], "macro") == 0) return Macro(arg(2, 50), arg(3, 3), arg(4, 10));
  std::fputs("usage: monitor_bench latency [N [IDLE_ROUNDS [IDLE_S]]] | macro [PLAYS [IDLE_PLAYS [IDLE_S]]]\n", stderr);
  return 2;
}
