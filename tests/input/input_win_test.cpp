// The Win32 side sends real input: a second thread holding low-level keyboard and mouse hooks records what
// arrives. Order and generous bounds only; the machine is shared and Wine's input path is not real-time.
#include <windows.h>
#include <objbase.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>

#include "common/button_functions.h"
#include "common/injected_input.h"
#include "monitor/input/desktop_win.h"
#include "monitor/input/host_keys.h"
#include "monitor/input/input_services_win.h"
#include "monitor/input/macro_player.h"

namespace sarn {
namespace {

using ::testing::ElementsAre;

struct Arrival {
  std::string what;  // "key 65+", "mouse 0x20b 1" (the message and the extended button), ...
  DWORD time;        // the input's own time stamp (ms): hook delivery itself may lag
  bool marked;       // injected and carrying our mark, as everything the monitor sends must
  DWORD scanCode = 0;
  bool extended = false;
};

// Installs the hooks on a thread of its own with a message loop, as the hooks require.
class HookRecorder {
 public:
  HookRecorder() {
    instance_ = this;
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this] { Loop(); });
    WaitForSingleObject(ready_, 10000);
  }
  ~HookRecorder() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    CloseHandle(ready_);
    instance_ = nullptr;
  }
  [[nodiscard]] bool Hooked() const { return keyboard_ != nullptr && mouse_ != nullptr; }

  // Polls until `count` arrivals are recorded or 10 s pass.
  std::vector<Arrival> WaitFor(std::size_t count) {
    const DWORD start = GetTickCount();
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        if (arrivals_.size() >= count || GetTickCount() - start > 10000) return arrivals_;
      }
      Sleep(10);
    }
  }
  std::vector<std::string> Names(const std::vector<Arrival>& list) {
    std::vector<std::string> names;
    for (const Arrival& a : list) names.push_back(a.what);
    return names;
  }
  std::vector<std::string> Unmarked(const std::vector<Arrival>& list) {
    std::vector<std::string> names;
    for (const Arrival& a : list) {
      if (!a.marked) names.push_back(a.what);
    }
    return names;
  }

 private:
  void Loop() {
    threadId_ = GetCurrentThreadId();
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    keyboard_ = SetWindowsHookExA(WH_KEYBOARD_LL, &HookRecorder::OnKey, GetModuleHandleA(nullptr), 0);
    mouse_ = SetWindowsHookExA(WH_MOUSE_LL, &HookRecorder::OnMouse, GetModuleHandleA(nullptr), 0);
    SetEvent(ready_);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    if (keyboard_) UnhookWindowsHookEx(keyboard_);
    if (mouse_) UnhookWindowsHookEx(mouse_);
  }
  void Add(std::string what, DWORD time, bool marked, DWORD scanCode = 0, bool extended = false) {
    std::lock_guard lock(mutex_);
    arrivals_.push_back({std::move(what), time, marked, scanCode, extended});
  }
  static LRESULT CALLBACK OnKey(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && instance_ != nullptr) {
      const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
      const bool up = wParam == WM_KEYUP || wParam == WM_SYSKEYUP;
      std::string what = "key ";
      what += std::to_string(k->vkCode);
      what += up ? "-" : "+";
      instance_->Add(std::move(what), k->time, IsOwnInjectedKey(k->flags, k->dwExtraInfo), k->scanCode,
                     (k->flags & LLKHF_EXTENDED) != 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static LRESULT CALLBACK OnMouse(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && instance_ != nullptr && wParam != WM_MOUSEMOVE) {
      const auto* m = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
      char text[48];
      std::snprintf(text, sizeof text, "mouse %#x %u", static_cast<unsigned>(wParam),
                    static_cast<unsigned>(HIWORD(m->mouseData)));
      instance_->Add(text, m->time, (m->flags & LLMHF_INJECTED) != 0 && m->dwExtraInfo == kInjectedInputMark);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static inline HookRecorder* instance_ = nullptr;
  std::mutex mutex_;
  std::vector<Arrival> arrivals_;
  std::thread thread_;
  HANDLE ready_ = nullptr;
  DWORD threadId_ = 0;
  HHOOK keyboard_ = nullptr;
  HHOOK mouse_ = nullptr;
};

long long Ms(ClockTime t) { return std::chrono::duration_cast<std::chrono::milliseconds>(t).count(); }

TEST(InputWin, PlayedMacroArrivesInOrderWithItsDelays) {
  HookRecorder hooks;
  ASSERT_TRUE(hooks.Hooked());
  Win32KeyInput input;
  Win32Clock clock;
  Win32DebugOutput debug;
  auto thread = MakeWin32PlayerThread();
  MacroPlayer player(input, SystemKeyboardLayout(), clock, debug, *thread);
  ASSERT_TRUE(player.Start());

  ButtonSlot slot{};
  slot.functionCode = kFnMacro;
  const MacroEvent steps[] = {{225, 1, 40}, {4, 1, 40}, {4, 2, 40}, {225, 2, 40}, {kMouseX1, 1, 40},
                              {kMouseX1, 2, 40}};
  for (const MacroEvent& e : steps) slot.events[slot.count++] = e;
  const DWORD started = GetTickCount();
  player.StartMacroForButton(slot);

  const std::vector<Arrival> got = hooks.WaitFor(6);
  player.Shutdown();
  ASSERT_THAT(hooks.Names(got), ElementsAre("key 16+", "key 65+", "key 65-", "key 16-", "mouse 0x20b 1",
                                            "mouse 0x20c 1"));
  EXPECT_THAT(hooks.Unmarked(got), ::testing::IsEmpty()) << "our own key capture would record these";
  // Steps are due 40 ms apart from the start. On a loaded machine a late step is sent as soon as the player
  // runs again and the next ones follow on their own due times, so single gaps may shrink; the last step
  // can never come before its due time, nor very long after it.
  const long long last = static_cast<long long>(got.back().time - started);
  EXPECT_GE(last, 200 - 2);
  EXPECT_LE(last, 5000);
}

TEST(InputWin, ShutdownReleasesWhatAPlayingMacroHolds) {
  HookRecorder hooks;
  ASSERT_TRUE(hooks.Hooked());
  Win32InputServices services(kNoWindow);
  ASSERT_TRUE(services.Start());
  ButtonSlot slot{};
  slot.functionCode = kFnMacro;
  slot.count = 2;
  slot.events[0] = MacroEvent{kMouseX1, 1, 60000};  // a mouse button: held without repeats
  slot.events[1] = MacroEvent{kMouseX1, 2, 1};
  services.Player().StartMacroForButton(slot);
  ASSERT_EQ(hooks.WaitFor(1).size(), 1u);
  const DWORD start = GetTickCount();
  services.Shutdown();
  EXPECT_LT(GetTickCount() - start, 5000u) << "shut-down does not wait out the minute-long step";
  EXPECT_THAT(hooks.Names(hooks.WaitFor(2)), ElementsAre("mouse 0x20b 1", "mouse 0x20c 1"));
}

class NoTimers final : public WindowTimers {
 public:
  void StartTimer(unsigned, unsigned) override {}
  void StopTimer(unsigned) override {}
};

TEST(InputWin, HeldShortcutPressesRepeatsAndReleasesInOrder) {
  HookRecorder hooks;
  ASSERT_TRUE(hooks.Hooked());
  Win32KeyInput input;
  Win32Clock clock;
  Win32Desktop desktop(kNoWindow);
  Win32WindowTree windows;
  NoTimers timers;
  MediaPlayers players(desktop, windows, clock, kNoWindow);
  HostKeys keys(input, SystemKeyboardLayout(), clock, timers, desktop, players);

  ButtonSlot slot{};
  slot.functionCode = kFnShortcut;
  slot.count = 1;
  slot.events[0] = MacroEvent{59, kModCtrl | kModShift, 0};  // Ctrl+Shift+F2
  keys.ShortcutButton(0, slot, true);
  keys.OnShortcutTimer();  // the window's timer ticks, here called directly
  keys.OnShortcutTimer();
  keys.ShortcutButton(0, slot, false);

  const std::vector<Arrival> got = hooks.WaitFor(10);
  EXPECT_THAT(hooks.Names(got), ElementsAre("key 17+", "key 16+", "key 113+", "key 113-", "key 113+", "key 113-",
                                            "key 113+", "key 113-", "key 16-", "key 17-"));
  EXPECT_THAT(hooks.Unmarked(got), ::testing::IsEmpty());
}

// Keypad Enter reaches programs as the keyboard sends it: Enter with the extended flag and Enter's scan code;
// the ISO key by its position.
TEST(InputWin, KeypadEnterGoesOutAsExtendedEnterAndTheIsoKeyWithItsScanCode) {
  HookRecorder hooks;
  ASSERT_TRUE(hooks.Hooked());
  Win32KeyInput input;
  Win32Clock clock;
  Win32Desktop desktop(kNoWindow);
  Win32WindowTree windows;
  NoTimers timers;
  MediaPlayers players(desktop, windows, clock, kNoWindow);
  HostKeys keys(input, SystemKeyboardLayout(), clock, timers, desktop, players);
  for (std::uint8_t usage : {std::uint8_t{88}, std::uint8_t{100}}) {
    ButtonSlot slot{};
    slot.functionCode = kFnShortcut;
    slot.count = 1;
    slot.events[0] = MacroEvent{usage, kModNone, 0};
    keys.ShortcutButton(0, slot, true);
    keys.ShortcutButton(0, slot, false);
  }
  const std::vector<Arrival> got = hooks.WaitFor(4);
  ASSERT_THAT(hooks.Names(got), ElementsAre("key 13+", "key 13-", "key 226+", "key 226-"));
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_TRUE(got[i].extended) << i;
    EXPECT_EQ(got[i].scanCode, 0x1Cu) << i;
    EXPECT_FALSE(got[i + 2].extended) << i;
    EXPECT_EQ(got[i + 2].scanCode, 0x56u) << i;
  }
}

// A launch may sit in the shell for tens of seconds (an offline share): the caller never waits for it, the
// launches run in order on one thread of their own with a single-threaded apartment, and Exit waits only a
// grace time for a launch still blocked, dropping those not begun.
TEST(InputWin, ShellWorkerRunsLaunchesAwayFromTheCallerAndNeverHoldsExit) {
  struct Seen {
    std::mutex lock;
    std::vector<std::string> order;
    DWORD thread = 0;
    bool singleThreadedApartment = false;
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Seen() {
      CloseHandle(started);
      CloseHandle(release);
      CloseHandle(done);
    }
  };
  auto seen = std::make_shared<Seen>();
  auto record = [seen](const char* what) {
    std::lock_guard hold(seen->lock);
    seen->order.push_back(what);
  };
  {
    ShellWorker worker;
    ASSERT_TRUE(worker.Post([seen, record] {
      record("first");
      // Refused as a change of mode only on a thread that already has a single-threaded apartment.
      const HRESULT multi = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      seen->singleThreadedApartment = multi == RPC_E_CHANGED_MODE;
      if (SUCCEEDED(multi)) CoUninitialize();
      seen->thread = GetCurrentThreadId();
      SetEvent(seen->started);
    }));
    ASSERT_EQ(WaitForSingleObject(seen->started, 10000), WAIT_OBJECT_0);
    EXPECT_NE(seen->thread, GetCurrentThreadId());
    EXPECT_TRUE(seen->singleThreadedApartment);

    // A launch blocked in the shell: posting it and the next one returns at once.
    const ULONGLONG posted = GetTickCount64();
    ASSERT_TRUE(worker.Post([seen, record] {
      record("blocked");
      WaitForSingleObject(seen->release, 30000);
      SetEvent(seen->done);
    }));
    ASSERT_TRUE(worker.Post([record] { record("never"); }));
    EXPECT_LT(GetTickCount64() - posted, 1000u);

    // Exit: the blocked launch is given the grace time, the one behind it is dropped.
    for (int i = 0; i < 500 && [&] {
           std::lock_guard hold(seen->lock);
           return seen->order.size() < 2;
         }();
         ++i) {
      Sleep(10);
    }
    const ULONGLONG stopping = GetTickCount64();
    worker.Stop(200);
    EXPECT_LT(GetTickCount64() - stopping, 5000u) << "Exit waited for a launch blocked in the shell";
    EXPECT_FALSE(worker.Post([] {})) << "a stopped worker takes no more launches";
  }
  // The abandoned thread still owns what it uses: released after its worker is gone, it ends cleanly.
  SetEvent(seen->release);
  EXPECT_EQ(WaitForSingleObject(seen->done, 10000), WAIT_OBJECT_0);
  Sleep(100);
  std::lock_guard hold(seen->lock);
  EXPECT_THAT(seen->order, ElementsAre("first", "blocked"));
}

TEST(InputWin, ClockWaitsAreCloseToTheirDeadlines) {
  Win32Clock clock;
  const ClockTime start = clock.Now();
  ClockTime due = start;
  for (int i = 0; i < 20; ++i) {
    due += std::chrono::milliseconds(3);
    EXPECT_EQ(clock.WaitUntil(due), WaitResult::kElapsed);
    EXPECT_GE(clock.Now(), due);
  }
  EXPECT_LT(Ms(clock.Now() - due), 200);
  clock.Interrupt();
  EXPECT_EQ(clock.WaitUntil(clock.Now() + std::chrono::seconds(60)), WaitResult::kInterrupted);
}

}  // namespace
}  // namespace sarn
