#include "option/key_capture_win.h"

#include <cstdio>
#include <deque>

namespace sarn::win {
namespace {

// The hook runs on the thread that installed it, inside that thread's message retrieval, so these need no
// lock: only the user-interface thread touches them.
HHOOK g_hook = nullptr;
HWND g_target = nullptr;

struct Stamp {
  DWORD vk, up, time;
};
// Stamps of posted keys, oldest first; bounded for a target that never asks.
std::deque<Stamp> g_stamps;
constexpr std::size_t kMaxStamps = 1024;

void Trace(const char* format, unsigned long long a, unsigned long long b = 0) {
  char line[96];
  std::snprintf(line, sizeof line, format, a, b);
  OutputDebugStringA(line);
}

LRESULT CALLBACK KeyHookProc(int code, WPARAM wp, LPARAM lp) {
  // Codes below zero belong to the hook chain: the system wants them passed on untouched.
  if (code < 0) return CallNextHookEx(g_hook, code, wp, lp);
  const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp);
  Trace("vkcode=%llx,scancode=%llx\n", event->vkCode, event->scanCode);
  if (g_target != nullptr) {
    const DWORD up = event->flags & LLKHF_UP;
    if (PostMessageW(g_target, kMsgKeyCaptured, event->vkCode, static_cast<LPARAM>(up))) {
      if (g_stamps.size() == kMaxStamps) g_stamps.pop_front();
      g_stamps.push_back({event->vkCode, up, event->time});
    }
  }
  // Swallowed: while a key is being captured no application, this one included, sees the keyboard.
  return 1;
}

}  // namespace

bool StartKeyHook(HWND target) {
  g_target = target;
  g_stamps.clear();
  if (g_hook == nullptr) {
    g_hook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyHookProc, GetModuleHandleW(nullptr), 0);
    Trace("Hhook: %llx\r\n", reinterpret_cast<unsigned long long>(g_hook));
  }
  return g_hook != nullptr;
}

void StopKeyHook() {
  Trace("Hhook: %llx\r\n", reinterpret_cast<unsigned long long>(g_hook));
  g_target = nullptr;
  if (g_hook == nullptr) return;
  const BOOL removed = UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
  OutputDebugStringA(removed ? "UnHhook: Success \r\n" : "UnHhook: Fail \r\n");
}

bool KeyHookInstalled() { return g_hook != nullptr; }

DWORD CapturedKeyTime(WPARAM virtualKey, LPARAM upFlag) {
  while (!g_stamps.empty()) {
    const Stamp s = g_stamps.front();
    g_stamps.pop_front();
    if (s.vk == virtualKey && s.up == static_cast<DWORD>(upFlag)) return s.time;
  }
  return static_cast<DWORD>(GetMessageTime());
}

}  // namespace sarn::win
