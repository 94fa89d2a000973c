// Event-to-action latency of a running monitor (bench/run-monitor-bench starts it): the time from a
// DeviceEvent for a shortcut button to the first synthesised key, seen by a low-level keyboard hook in this
// process; prints p50, p99 and max.
#include <windows.h>

#include <algorithm>
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

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    auto* info = reinterpret_cast<KBDLLHOOKSTRUCT*>(lParam);
    if (info->vkCode == kBenchKey && (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN)) {
      InterlockedExchange64(&g_lastKeyDown, Now());
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

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

int Latency(int rounds) {
  using namespace sarn;
  HWND monitor = FindWindowA(nullptr, kMonitorWindowTitle);
  bool mapFailed = false;
  auto store = Win32SharedBlock::OpenForOption(mapFailed);
  if (monitor == nullptr || !store) {
    std::fputs("monitor_bench: no monitor is running\n", stderr);
    return 1;
  }
  // B6 of the active profile becomes a plain F12 shortcut.
  auto block = std::make_unique<SharedBlock>();
  if (store->ReadBlock(*block) != 1) return 1;
  ClearChangeFlags(*block);
  int active = block->CurrentProfile < 0 || block->CurrentProfile > 4 ? 0 : block->CurrentProfile;
  block->CurrentProfile = active;
  ButtonSlot& slot = block->profiles[active].MacroKeyInfo[5];
  slot.functionCode = kFnShortcut;
  slot.count = 1;
  slot.events[0] = {69 /* F12 */, kModNone, 0};
  block->ButtonChanged[active][5] = 1;
  (void)store->WriteBlock(*block);
  DWORD_PTR answer = 0;
  SendMessageTimeoutA(monitor, kMsgApplyAll, 0, 0, SMTO_NORMAL, 60000, &answer);

  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleA(nullptr), 0);
  if (hook == nullptr) return 1;
  std::vector<double> samples;
  for (int i = 0; i < rounds + 10; ++i) {
    std::int64_t sent = Now();
    PostMessageA(monitor, kDeviceEventMessage, 0x5000, 0x0006);
    bool seen = WaitForKey(sent, 2000);
    PostMessageA(monitor, kDeviceEventMessage, 0x5000, 0x0106);
    WaitForKey(Now(), 20);  // let the release pass before the next round
    if (!seen) {
      std::fprintf(stderr, "monitor_bench: no key for round %d\n", i);
      continue;
    }
    if (i >= 10) samples.push_back(Micros(g_lastKeyDown - sent));  // the first rounds warm up
  }
  UnhookWindowsHookEx(hook);
  if (samples.empty()) return 1;
  std::sort(samples.begin(), samples.end());
  auto at = [&](double q) { return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))]; };
  std::printf("event to first key, %zu rounds: p50 %.0f us, p99 %.0f us, max %.0f us\n", samples.size(), at(0.5),
              at(0.99), samples.back());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QueryPerformanceFrequency(&g_frequency);
  if (argc >= 2 && std::strcmp(argv[1], "latency") == 0) return Latency(argc >= 3 ? std::atoi(argv[2]) : 200);
  std::fputs("usage: monitor_bench latency [N]\n", stderr);
  return 2;
}
