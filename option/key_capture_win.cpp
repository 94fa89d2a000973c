#include "option/key_capture_win.h"

#include <atomic>
#include <cstdio>
#include <deque>

#include "common/keys.h"
#include "common/worker_thread.h"
#include "option/key_capture.h"

namespace sarn::win {
namespace {

// The window that takes the keys; null while no capture runs. The hook thread reads it for every key, the
// window thread writes it, so it is the one thing the two share besides the stamps.
std::atomic<HWND> g_target{nullptr};

// The hook thread, owned by the window thread. g_hook and g_unhooked are written by the hook thread before
// it signals that it is ready and before it ends, and read by the window thread after waiting for either.
HANDLE g_thread = nullptr;
DWORD g_threadId = 0;
HHOOK g_hook = nullptr;
BOOL g_unhooked = FALSE;

struct Stamp {
  DWORD vk, up, time;
};
// Stamps of posted keys, oldest first; bounded for a target that never asks. Pushed by the hook thread,
// taken by the window thread, under a lock held for a few instructions only.
SRWLOCK g_stampsLock = SRWLOCK_INIT;
std::deque<Stamp> g_stamps;
constexpr std::size_t kMaxStamps = 1024;

class StampsLocked {
 public:
  StampsLocked() { AcquireSRWLockExclusive(&g_stampsLock); }
  ~StampsLocked() { ReleaseSRWLockExclusive(&g_stampsLock); }
  StampsLocked(const StampsLocked&) = delete;
  StampsLocked& operator=(const StampsLocked&) = delete;
};

void Trace(const char* format, unsigned long long a) {
  char line[64];
  std::snprintf(line, sizeof line, format, a);
  OutputDebugStringA(line);
}

// Runs on the hook thread while every key of the session waits for it: no file, no debug output, no
// SendMessage, nothing that could wait for another thread. A post and a short lock are all it does.
LRESULT CALLBACK KeyHookProc(int code, WPARAM wp, LPARAM lp) {
  // Codes below zero belong to the hook chain: the system wants them passed on untouched.
  if (code < 0) return CallNextHookEx(nullptr, code, wp, lp);
  const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp);
  const HWND target = g_target.load();
  if (DecideCapturedKey(event->flags, event->dwExtraInfo, target != nullptr) == CapturedKeyAction::kPassOn) {
    return CallNextHookEx(nullptr, code, wp, lp);
  }
  const DWORD up = event->flags & LLKHF_UP;
  const DWORD vk = TableVirtualKey(event->vkCode, (event->flags & LLKHF_EXTENDED) != 0);
  {
    // Stamp and post together, so the window never sees a key before its stamp.
    StampsLocked lock;
    if (PostMessageW(target, kMsgKeyCaptured, vk, static_cast<LPARAM>(up))) {
      if (g_stamps.size() == kMaxStamps) g_stamps.pop_front();
      g_stamps.push_back({vk, up, event->time});
    }
  }
  // Swallowed: while a key is being captured no application, this one included, sees the keyboard.
  return 1;
}

DWORD WINAPI HookThreadMain(void* ready) {
  MSG msg;
  PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue exists before StopKeyHook posts to it
  // Answering quickly matters more here than anywhere: the keyboard waits. The thread is idle otherwise.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  g_hook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyHookProc, GetModuleHandleW(nullptr), 0);
  SetEvent(static_cast<HANDLE>(ready));
  if (g_hook == nullptr) return 0;
  // The system calls the hook from inside this thread's message retrieval; the only message is WM_QUIT.
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
  }
  g_unhooked = UnhookWindowsHookEx(g_hook);
  return 0;
}

void JoinHookThread() {
  // WM_QUIT ends the loop; posted again should the first post be lost (a full queue), never waited on blindly.
  while (WaitForSingleObject(g_thread, 0) == WAIT_TIMEOUT) {
    PostThreadMessageW(g_threadId, WM_QUIT, 0, 0);
    if (WaitForSingleObject(g_thread, 1000) != WAIT_TIMEOUT) break;
  }
  CloseHandle(g_thread);
  g_thread = nullptr;
  g_threadId = 0;
}

}  // namespace

bool StartKeyHook(HWND target) {
  {
    StampsLocked lock;
    g_stamps.clear();
  }
  g_target.store(target);
  if (g_thread != nullptr) return true;  // already capturing: only the target moves
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (ready != nullptr) {
    g_hook = nullptr;
    g_unhooked = FALSE;
    g_thread = CreateWorkerThread(HookThreadMain, ready, &g_threadId);
    if (g_thread != nullptr) WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
  }
  Trace("Hhook: %llx\r\n", reinterpret_cast<unsigned long long>(g_hook));
  if (g_hook == nullptr) {
    if (g_thread != nullptr) JoinHookThread();  // it ends by itself without a hook
    g_target.store(nullptr);
    return false;
  }
  return true;
}

void StopKeyHook() {
  Trace("Hhook: %llx\r\n", reinterpret_cast<unsigned long long>(g_hook));
  // Keys that reach the hook from now until it is gone pass on.
  g_target.store(nullptr);
  if (g_thread == nullptr) return;
  JoinHookThread();
  g_hook = nullptr;
  OutputDebugStringA(g_unhooked ? "UnHhook: Success \r\n" : "UnHhook: Fail \r\n");
}

bool KeyHookInstalled() { return g_thread != nullptr; }

DWORD CapturedKeyTime(WPARAM virtualKey, LPARAM upFlag) {
  StampsLocked lock;
  while (!g_stamps.empty()) {
    const Stamp s = g_stamps.front();
    g_stamps.pop_front();
    if (s.vk == virtualKey && s.up == static_cast<DWORD>(upFlag)) return s.time;
  }
  return static_cast<DWORD>(GetMessageTime());
}

}  // namespace sarn::win
