// The key-capture hook with real input under Wine: keys sent with SendInput from another thread, a capturing
// window on the test's thread, and (where it matters what the capture lets through) a second low-level hook
// installed before it, which the system calls only for keys the capture passes on.
#include "option/key_capture_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/injected_input.h"

namespace sarn::win {
namespace {

constexpr UINT kMsgBlock = WM_APP + 1;  // the window's thread sleeps for wParam ms

// "65+" for a press of A, "65-" for its release.
std::string KeyName(DWORD vk, bool up) { return std::to_string(vk) + (up ? "-" : "+"); }

// A capturing window on the test's thread: it notes every captured key with the time its message was posted.
class CaptureWindow {
 public:
  struct Key {
    std::string name;
    DWORD posted;  // GetMessageTime: when the hook posted it
  };
  CaptureWindow() {
    WNDCLASSW c{};
    c.lpfnWndProc = Proc;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = L"SarnKeyCaptureTest";
    RegisterClassW(&c);
    hwnd_ = CreateWindowExW(0, c.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, c.hInstance, nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~CaptureWindow() {
    if (KeyHookInstalled()) StopKeyHook();
    DestroyWindow(hwnd_);
  }
  CaptureWindow(const CaptureWindow&) = delete;
  CaptureWindow& operator=(const CaptureWindow&) = delete;
  [[nodiscard]] HWND hwnd() const { return hwnd_; }

  // Runs the thread's messages until `count` keys came or 10 s passed.
  std::vector<Key> Pump(std::size_t count) {
    const ULONGLONG deadline = GetTickCount64() + 10000;
    MSG msg;
    while (keys_.size() < count && GetTickCount64() < deadline) {
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      if (keys_.size() < count) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return keys_;
  }
  static std::vector<std::string> Names(const std::vector<Key>& keys) {
    std::vector<std::string> names;
    for (const Key& k : keys) names.push_back(k.name);
    return names;
  }

  std::atomic<DWORD> blockStart{0}, blockEnd{0};

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<CaptureWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && msg == kMsgKeyCaptured) {
      self->keys_.push_back({KeyName(static_cast<DWORD>(wp), lp != 0), static_cast<DWORD>(GetMessageTime())});
      return 0;
    }
    if (self != nullptr && msg == kMsgBlock) {
      // The window thread at its slowest: a save, a dialog, a debugger writing out each line.
      self->blockStart = GetTickCount();
      Sleep(static_cast<DWORD>(wp));
      self->blockEnd = GetTickCount();
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  HWND hwnd_ = nullptr;
  std::vector<Key> keys_;
};

// Press and release of each key, with the given extra information.
bool Send(const std::vector<WORD>& keys, ULONG_PTR extraInfo) {
  std::vector<INPUT> in;
  for (WORD vk : keys) {
    for (DWORD flags : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
      INPUT i{};
      i.type = INPUT_KEYBOARD;
      i.ki.wVk = vk;
      i.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
      i.ki.dwFlags = flags;
      i.ki.dwExtraInfo = extraInfo;
      in.push_back(i);
    }
  }
  return SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)) == in.size();
}

// A low-level keyboard hook on a thread of its own, noting every key that reaches it.
class KeysPassedOn {
 public:
  KeysPassedOn() {
    instance_ = this;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, ready] {
      threadId_ = GetCurrentThreadId();
      MSG msg;
      PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
      hook_ = SetWindowsHookExW(WH_KEYBOARD_LL, OnKey, GetModuleHandleW(nullptr), 0);
      SetEvent(ready);
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      }
      if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    });
    WaitForSingleObject(ready, 10000);
    CloseHandle(ready);
  }
  ~KeysPassedOn() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    instance_ = nullptr;
  }
  KeysPassedOn(const KeysPassedOn&) = delete;
  KeysPassedOn& operator=(const KeysPassedOn&) = delete;
  [[nodiscard]] bool Hooked() const { return hook_ != nullptr; }
  std::vector<std::string> WaitFor(std::size_t count) {
    const ULONGLONG deadline = GetTickCount64() + 10000;
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        if (keys_.size() >= count || GetTickCount64() > deadline) return keys_;
      }
      Sleep(10);
    }
  }

 private:
  static LRESULT CALLBACK OnKey(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && instance_ != nullptr) {
      const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp);
      std::lock_guard lock(instance_->mutex_);
      instance_->keys_.push_back(KeyName(k->vkCode, (k->flags & LLKHF_UP) != 0));
    }
    return CallNextHookEx(nullptr, code, wp, lp);
  }
  static inline KeysPassedOn* instance_ = nullptr;
  std::mutex mutex_;
  std::vector<std::string> keys_;
  std::thread thread_;
  DWORD threadId_ = 0;
  HHOOK hook_ = nullptr;
};

// The keyboard must not wait for the capturing window's thread: while that thread is busy for 2 s, keys
// typed meanwhile are taken by the hook at once (their messages are posted while the thread still sleeps),
// and the window reads them afterwards, in the order they were typed.
TEST(KeyCaptureWin, HookAnswersWhileTheWindowThreadIsBusy) {
  CaptureWindow window;
  ASSERT_NE(window.hwnd(), nullptr);
  ASSERT_TRUE(StartKeyHook(window.hwnd()));
  std::atomic<DWORD> sent{0};
  std::atomic<bool> sentOk{false};
  std::thread typist([&] {
    while (window.blockStart.load() == 0) Sleep(5);
    sent = GetTickCount();
    sentOk = Send({'A', 'B', 'C'}, 0);
  });
  PostMessageW(window.hwnd(), kMsgBlock, 2000, 0);
  const std::vector<CaptureWindow::Key> keys = window.Pump(6);
  typist.join();
  StopKeyHook();
  ASSERT_TRUE(sentOk);
  EXPECT_EQ(CaptureWindow::Names(keys), (std::vector<std::string>{"65+", "65-", "66+", "66-", "67+", "67-"}));
  const DWORD blockEnd = window.blockEnd.load();
  ASSERT_NE(blockEnd, 0u);
  for (const CaptureWindow::Key& k : keys) {
    EXPECT_LT(static_cast<int>(k.posted - blockEnd), 0) << k.name << " was taken only after the thread was free";
    const int waited = static_cast<int>(k.posted - sent.load());
    EXPECT_LT(waited, 1000) << k.name << " waited " << waited << " ms";
  }
  EXPECT_FALSE(KeyHookInstalled());
}

// Keys our monitor injects carry our mark and pass by the capture; the same keys without the mark, or with
// another program's, are captured and swallowed.
TEST(KeyCaptureWin, OwnMarkedKeysPassOnAndEveryOtherKeyIsCaptured) {
  KeysPassedOn passed;  // installed first, so the system calls it after the capture's hook
  ASSERT_TRUE(passed.Hooked());
  CaptureWindow window;
  ASSERT_TRUE(StartKeyHook(window.hwnd()));
  ASSERT_TRUE(Send({'A'}, kInjectedInputMark));
  ASSERT_TRUE(Send({'B'}, 0));
  ASSERT_TRUE(Send({'C'}, kInjectedInputMark));
  ASSERT_TRUE(Send({'D'}, 0x1234));  // another program's own mark
  const std::vector<CaptureWindow::Key> captured = window.Pump(4);
  const std::vector<std::string> passedOn = passed.WaitFor(4);
  StopKeyHook();
  EXPECT_EQ(CaptureWindow::Names(captured), (std::vector<std::string>{"66+", "66-", "68+", "68-"}));
  EXPECT_EQ(passedOn, (std::vector<std::string>{"65+", "65-", "67+", "67-"}));
}

}  // namespace
}  // namespace sarn::win
