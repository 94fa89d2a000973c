// The on-screen display's latency, measured from outside (bench/run-osd-bench starts the programs):
//   osd_bench ROUNDS BASELINE_TITLE [DISPLAY_TITLE]
// Each round waits until both windows are hidden, then
//   - posts OsdShow (DPI, 1 or 2 in turn) straight to the baseline window: a message to another process and
//     that process's window shown, nothing else;
//   - posts the same DPI change as a DeviceEvent to the monitor's window, which tells the display: the
//     monitor's handling, its post to the display and the display's own work on top of the same path;
//   - posts OsdShow straight to the display's window: the display's own work alone, which splits the
//     difference into the display's part and the monitor's;
// and takes the time until a window of that program is shown: the titled window is only how it is found (a
// display may keep it hidden and show another window of its own). "Shown" is seen two ways, whichever comes
// first: an EVENT_OBJECT_SHOW WinEvent hooked out of context, and IsWindowVisible polled in a tight loop that
// yields between looks. Only the hidden-to-shown step can be seen from outside whatever the display paints
// with, so the display hides between rounds (the run script sets its duration to 500 ms).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/messages.h"
#include "common/shared_block.h"
#include "monitor/device/device_link.h"

namespace {

LARGE_INTEGER g_frequency;
std::int64_t Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}
double Micros(std::int64_t ticks) {
  return static_cast<double>(ticks) * 1e6 / static_cast<double>(g_frequency.QuadPart);
}

// The top-level windows of one program, found from its titled window.
struct Program {
  DWORD processId = 0;
  std::vector<HWND> windows;
  [[nodiscard]] bool AnyVisible() const {
    for (HWND w : windows) {
      if (IsWindowVisible(w)) return true;
    }
    return false;
  }
  [[nodiscard]] bool Owns(HWND w) const { return std::find(windows.begin(), windows.end(), w) != windows.end(); }
};

BOOL CALLBACK AddWindow(HWND hwnd, LPARAM lParam) {
  auto* program = reinterpret_cast<Program*>(lParam);
  DWORD processId = 0;
  GetWindowThreadProcessId(hwnd, &processId);
  if (processId == program->processId) program->windows.push_back(hwnd);
  return TRUE;
}

Program ProgramOf(HWND titled) {
  Program program;
  GetWindowThreadProcessId(titled, &program.processId);
  EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&program));
  return program;
}

const Program* g_watched = nullptr;
std::int64_t g_shownAt = 0;

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG, DWORD, DWORD) {
  if (event == EVENT_OBJECT_SHOW && object == OBJID_WINDOW && g_shownAt == 0 && g_watched != nullptr &&
      g_watched->Owns(hwnd)) {
    g_shownAt = Now();
  }
}

struct Stats {
  std::vector<double> values;
  int missed = 0;
  int byHook = 0;
  double At(double q) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
  }
};

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// A display may create its windows as it first needs them: they are looked up afresh outside the timed part.
bool WaitHidden(HWND titled, DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs;) {
    Pump();
    if (!ProgramOf(titled).AnyVisible()) return true;
    Sleep(5);
  }
  return false;
}

// One round: post, then look until a window of the titled window's program is shown (or 2 s pass).
void Round(HWND titled, HWND target, UINT message, WPARAM wParam, LPARAM lParam, Stats& stats) {
  const Program program = ProgramOf(titled);
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, OnWinEvent, program.processId,
                                       0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
  g_watched = &program;
  g_shownAt = 0;
  const std::int64_t start = Now();
  PostMessageA(target, message, wParam, lParam);
  std::int64_t seen = 0;
  for (;;) {
    Pump();
    if (program.AnyVisible()) {
      seen = Now();
      break;
    }
    if (Micros(Now() - start) > 2e6) break;
    SwitchToThread();
  }
  Pump();
  if (hook != nullptr) UnhookWinEvent(hook);
  if (seen == 0) {
    ++stats.missed;
    return;
  }
  if (g_shownAt != 0 && g_shownAt < seen) {
    seen = g_shownAt;
    ++stats.byHook;
  }
  stats.values.push_back(Micros(seen - start));
}

void Print(const char* name, Stats& s) {
  std::printf("%-40s %zu rounds: p50 %.0f us, p99 %.0f us, max %.0f us (missed %d, seen first by the hook %d)\n",
              name, s.values.size(), s.At(0.5), s.At(0.99), s.At(1.0), s.missed, s.byHook);
}

}  // namespace

int main(int argc, char** argv) {
  QueryPerformanceFrequency(&g_frequency);
  if (argc < 3) {
    std::fputs("usage: osd_bench ROUNDS BASELINE_TITLE [DISPLAY_TITLE]\n", stderr);
    return 2;
  }
  const int rounds = std::max(1, std::atoi(argv[1]));
  HWND baseline = FindWindowA(nullptr, argv[2]);
  HWND display = argc >= 4 ? FindWindowA(nullptr, argv[3]) : nullptr;
  HWND monitor = FindWindowA(nullptr, sarn::kMonitorWindowTitle);
  if (baseline == nullptr) {
    std::fprintf(stderr, "osd_bench: no window titled \"%s\"\n", argv[2]);
    return 1;
  }
  if (argc >= 4 && (display == nullptr || monitor == nullptr)) {
    std::fprintf(stderr, "osd_bench: %s\n", display == nullptr ? "the display program's window is missing"
                                                              : "no monitor is running");
    display = nullptr;
  }
  Stats direct, throughMonitor, displayDirect, warmUp;
  for (int i = 0; i < rounds + 5; ++i) {
    const int level = 1 + (i % 2);
    if (!WaitHidden(baseline, 5000) || (display != nullptr && !WaitHidden(display, 35000))) {
      std::fputs("osd_bench: a window stays shown; the rounds stop here\n", stderr);
      break;
    }
    const bool warming = i < 5;
    Round(baseline, baseline, sarn::kMsgOsdShow, static_cast<WPARAM>(sarn::OsdEvent::kDpi), level,
          warming ? warmUp : direct);
    if (display != nullptr) {
      Round(display, monitor, sarn::kDeviceEventMessage, 0xB000, level, warming ? warmUp : throughMonitor);
      if (!WaitHidden(display, 35000)) break;
      Round(display, display, sarn::kMsgOsdShow, static_cast<WPARAM>(sarn::OsdEvent::kDpi), level,
            warming ? warmUp : displayDirect);
    }
  }
  Print("baseline: OsdShow posted to a layered window", direct);
  if (display == nullptr) {
    std::puts("display: not measured, the display program is missing");
    return 1;
  }
  Print("display: DeviceEvent to the monitor", throughMonitor);
  Print("display: OsdShow posted to it", displayDirect);
  // What the monitor does for each change before its post: look the display up by its title.
  const std::int64_t lookStart = Now();
  for (int i = 0; i < 1000; ++i) (void)FindWindowA(nullptr, sarn::kOsdWindowTitle);
  std::printf("FindWindow of the display's title: %.0f us a call (1000 calls)\n", Micros(Now() - lookStart) / 1000);
  std::printf("of that, the display's own part p50 %+.0f us, the monitor's p50 %+.0f us\n",
              displayDirect.At(0.5) - direct.At(0.5), throughMonitor.At(0.5) - displayDirect.At(0.5));
  const double p99 = throughMonitor.At(0.99) - direct.At(0.99);
  std::printf("display against baseline: p50 %+.0f us, p99 %+.0f us (goal: p99 within 2000 us) %s\n",
              throughMonitor.At(0.5) - direct.At(0.5), p99, p99 <= 2000 ? "met" : "NOT met");
  return 0;
}
