// Macro timing fidelity: how closely the played steps follow their recorded delays, as seen by a low-level
// keyboard hook in a second process. A 200-step macro with delays of 1 to 50 ms is played by the macro
// engine (due-time schedule, precise clock), by the engine with the waitable timer alone (no final spin),
// and by a plain player that sleeps after every step; each gap's error and the last step's lateness are
// reported for each.
//
//   macro_timing_bench.exe            run the benchmark (starts its own hook process)
//   macro_timing_bench.exe --hook F   the hook process: records key events into F until told to stop
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "common/keyboard_layout.h"
#include "common/keys.h"
#include "common/profile_record.h"
#include "monitor/input/desktop_win.h"
#include "monitor/input/macro_engine.h"

namespace {

using namespace sarn;

constexpr int kSteps = 200;
constexpr std::uint8_t kKey = 72;  // Pause: no character, no effect on an idle desktop
constexpr const char* kReadyEvent = "SarnMacroBenchHookReady";
constexpr const char* kDoneEvent = "SarnMacroBenchHookDone";

long long QpcMicros() {
  static const long long frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return c.QuadPart / frequency * 1000000 + c.QuadPart % frequency * 1000000 / frequency;
}

// ------------------------------------------------------------------ hook process

std::vector<long long> g_arrivals;

LRESULT CALLBACK OnKey(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) g_arrivals.push_back(QpcMicros());
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

int RunHook(const char* file) {
  g_arrivals.reserve(8 * kSteps);
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, OnKey, GetModuleHandleA(nullptr), 0);
  if (hook == nullptr) return 2;
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, kReadyEvent);
  HANDLE done = OpenEventA(SYNCHRONIZE, FALSE, kDoneEvent);
  if (ready == nullptr || done == nullptr) return 3;
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  SetEvent(ready);
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) break;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  UnhookWindowsHookEx(hook);
  FILE* out = std::fopen(file, "w");
  if (out == nullptr) return 4;
  for (long long t : g_arrivals) std::fprintf(out, "%lld\n", t);
  std::fclose(out);
  return 0;
}

// ------------------------------------------------------------------ players

// Records the moment each event was handed to the system, then sends it for real.
class TimedInput final : public KeyInput {
 public:
  void KeyEvent(unsigned vk, unsigned scan, unsigned flags) override {
    sent.push_back(QpcMicros());
    real_.KeyEvent(vk, scan, flags);
  }
  void MouseEvent(unsigned flags, unsigned data) override { real_.MouseEvent(flags, data); }
  std::vector<long long> sent;

 private:
  Win32KeyInput real_;
};

class NoDebug final : public DebugOutput {
 public:
  void Write(const std::string&) override {}
};

struct Run {
  const char* name;
  long long start = 0;
  std::vector<long long> sent;
};

Run PlayWithEngine(const char* name, const std::vector<MacroEvent>& steps, int spinMicros) {
  PlaybackState state;
  TimedInput input;
  Win32Clock clock(spinMicros);
  NoDebug debug;
  MacroEngine engine(state, input, SystemKeyboardLayout(), clock, debug);
  Run run{name};
  run.start = QpcMicros();
  engine.Run(steps.data(), 0, static_cast<int>(steps.size()), 1);
  run.sent = std::move(input.sent);
  return run;
}

Run PlayWithSleep(const std::vector<MacroEvent>& steps) {
  TimedInput input;
  const unsigned vk = UsageToVirtualKey(kKey, SystemKeyboardLayout());
  const unsigned scan = MapVirtualKeyA(vk, 0);
  Run run{"Sleep after each step"};
  run.start = QpcMicros();
  for (const MacroEvent& e : steps) {
    input.KeyEvent(vk, scan, e.kind == kKindRelease ? KEYEVENTF_KEYUP : 0);
    Sleep(e.delay == 0 ? 1 : e.delay);
  }
  run.sent = std::move(input.sent);
  return run;
}

// ------------------------------------------------------------------ statistics

struct Summary {
  double p50, p99, max, last;
  int overOneMs;
};

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const auto index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(v.size()))) - 1;
  return v[std::min(index, v.size() - 1)];
}

// Gap errors (ms, absolute) between consecutive times, and how late the last one is against its due time.
Summary Summarize(const std::vector<long long>& times, long long start, const std::vector<MacroEvent>& steps) {
  std::vector<double> errors;
  long long due = 0;
  for (std::size_t i = 0; i + 1 < times.size(); ++i) {
    const long long expected = steps[i].delay == 0 ? 1000 : steps[i].delay * 1000LL;
    due += expected;
    errors.push_back(std::fabs(static_cast<double>(times[i + 1] - times[i] - expected)) / 1000.0);
  }
  const double last = static_cast<double>(times.back() - start - due) / 1000.0;
  const auto over = std::count_if(errors.begin(), errors.end(), [](double e) { return e > 1.0; });
  return {Percentile(errors, 0.50), Percentile(errors, 0.99), Percentile(errors, 1.0), last, static_cast<int>(over)};
}

void Print(const char* name, const char* seenBy, const Summary& s) {
  std::printf("%-34s %-8s %8.3f %8.3f %8.3f %10.3f %7d\n", name, seenBy, s.p50, s.p99, s.max, s.last, s.overOneMs);
}

int RunBench() {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> delay(1, 50);
  std::vector<MacroEvent> steps;
  for (int i = 0; i < kSteps; ++i) {
    steps.push_back(MacroEvent{kKey, static_cast<std::uint8_t>(i % 2 == 0 ? kKindPress : kKindRelease),
                               static_cast<std::uint16_t>(delay(random))});
  }

  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string file = temp;
  file += "sarn_macro_bench_hook.txt";
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, kReadyEvent);
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, kDoneEvent);
  std::string command = "\"";  // built piecewise: GCC 12 misreads "literal + temporary" (-Wrestrict)
  command += exe;
  command += "\" --hook \"";
  command += file;
  command += "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "cannot start the hook process\n");
    return 1;
  }
  HANDLE waitFor[2] = {ready, pi.hProcess};
  if (WaitForMultipleObjects(2, waitFor, FALSE, 20000) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "the hook process did not get ready\n");
    return 1;
  }

  Win32Clock probe;
  std::printf("waitable timer: %s\n", probe.HighResolution() ? "high resolution" : "ordinary, period 1 ms");
  std::vector<Run> runs;
  // Warm the input path up: a process's first synthetic input is slow to arrive.
  runs.push_back(PlayWithEngine("(warm-up)", std::vector<MacroEvent>(steps.begin(), steps.begin() + 4), 1000));
  Sleep(200);
  runs.push_back(PlayWithEngine("engine: due times, timer + spin", steps, 1000));
  Sleep(200);
  runs.push_back(PlayWithEngine("engine: due times, timer only", steps, 0));
  Sleep(200);
  runs.push_back(PlayWithSleep(steps));
  Sleep(300);

  SetEvent(done);
  WaitForSingleObject(pi.hProcess, 20000);
  std::vector<long long> arrivals;
  if (FILE* in = std::fopen(file.c_str(), "r")) {
    long long t;
    while (std::fscanf(in, "%lld", &t) == 1) arrivals.push_back(t);
    std::fclose(in);
  }
  DeleteFileA(file.c_str());

  std::size_t expected = 0;
  for (const Run& r : runs) expected += r.sent.size();
  std::printf("steps %d, delays 1..50 ms, %zu events sent, %zu seen by the hook process\n\n", kSteps, expected,
              arrivals.size());
  std::printf("%-34s %-8s %8s %8s %8s %10s %7s\n", "player", "seen by", "p50 ms", "p99 ms", "max ms", "last late",
              ">1 ms");
  std::size_t offset = 0;
  for (const Run& r : runs) {
    const std::size_t n = r.sent.size();
    if (r.name[0] != '(') {
      Print(r.name, "sender", Summarize(r.sent, r.start, steps));
      if (arrivals.size() == expected) {
        const std::vector<long long> seen(arrivals.begin() + static_cast<long>(offset),
                                          arrivals.begin() + static_cast<long>(offset + n));
        Print(r.name, "hook", Summarize(seen, r.start, steps));
      }
    }
    offset += n;
  }
  if (arrivals.size() != expected) std::printf("\n(hook saw a different number of events: no hook figures)\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--hook") return RunHook(argv[2]);
  return RunBench();
}
