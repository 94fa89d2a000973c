// Driving the skinned dialogs in tests: a script of steps run from a thread timer inside the dialog's own
// modal loop, and the steps the dialog tests share.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "option/skin_kit_win.h"

namespace sarn::win {

// Steps run one after another from a thread timer, inside the dialog's own modal loop (and inside a menu's
// loop while one is open), so a test needs no second thread. A step returns true when it is done and false
// to be tried again on the next tick; a script that does not finish in time closes the dialogs.
class Script {
 public:
  using Step = std::function<bool()>;
  explicit Script(std::vector<Step> steps) : steps_(std::move(steps)) {
    current_ = this;
    deadline_ = GetTickCount64() + 30000;
    timer_ = SetTimer(nullptr, 0, 25, Tick);
  }
  ~Script() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;
  [[nodiscard]] bool finished() const { return next_ == steps_.size(); }
  [[nodiscard]] std::size_t stuckAt() const { return next_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Script* s = current_;
    if (s == nullptr || s->running_) return;  // a step that opened a nested loop
    s->running_ = true;
    while (s->next_ < s->steps_.size() && s->steps_[s->next_]()) ++s->next_;
    if (!s->finished() && GetTickCount64() > s->deadline_) {
      // Close every dialog of this thread once a tick: a closed dialog stays findable (hidden) until its
      // modal loop destroys it, so searching until none is left would never end.
      EndMenu();
      EnumThreadWindows(GetCurrentThreadId(), CloseDialog, 0);
    }
    s->running_ = false;
  }
  static BOOL CALLBACK CloseDialog(HWND hwnd, LPARAM) {
    wchar_t name[32] = {};
    GetClassNameW(hwnd, name, 32);
    if (std::wstring(name) == L"SarnSkinDialog") PostMessageW(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
  }
  static inline Script* current_ = nullptr;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  bool running_ = false;
  ULONGLONG deadline_ = 0;
  UINT_PTR timer_ = 0;
};

inline HWND Dialog(const wchar_t* title) {
  HWND d = FindWindowW(L"SarnSkinDialog", title);
  return d != nullptr && IsWindowVisible(d) ? d : nullptr;
}

inline HWND Item(const wchar_t* title, int id) {
  HWND d = Dialog(title);
  return d != nullptr ? GetDlgItem(d, id) : nullptr;
}

inline std::wstring Text(HWND hwnd) {
  wchar_t text[512] = {};
  if (hwnd != nullptr) GetWindowTextW(hwnd, text, 512);
  return text;
}

// Steps shared by the tests.
inline Script::Step Click(const wchar_t* title, int id) {
  return [=] {
    HWND b = Item(title, id);
    if (b == nullptr) return false;
    PostMessageW(b, BM_CLICK, 0, 0);  // posted: a click may open a menu or a dialog of its own
    return true;
  };
}
inline Script::Step SetText(const wchar_t* title, int id, std::wstring text) {
  return [=] {
    HWND e = Item(title, id);
    if (e == nullptr) return false;
    SetWindowTextW(e, text.c_str());
    return true;
  };
}
inline Script::Step WaitText(const wchar_t* title, int id, std::wstring text) {
  return [=] { return Text(Item(title, id)) == text; };
}
inline Script::Step Pause(int ticks) {
  auto left = std::make_shared<int>(ticks);
  return [left] { return --*left <= 0; };
}
// Keys for an open popup menu, which reads the thread's keyboard messages whichever window they name.
inline Script::Step MenuKeys(std::vector<WPARAM> keys) {
  return [=] {
    HWND menu = FindWindowW(L"#32768", nullptr);
    if (menu == nullptr || !IsWindowVisible(menu)) return false;
    for (WPARAM k : keys) {
      PostMessageW(menu, WM_KEYDOWN, k, 1);
      PostMessageW(menu, WM_KEYUP, k, 0xC0000001);
    }
    return true;
  };
}
// A real key press and release through the system's input queue.
inline Script::Step Type(WORD vk) {
  return [=] {
    INPUT in[2] = {};
    for (INPUT& i : in) {
      i.type = INPUT_KEYBOARD;
      i.ki.wVk = vk;
      i.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    }
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(2, in, sizeof(INPUT)) == 2;
  };
}

class DialogWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSkinClasses(GetModuleHandleW(nullptr));
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (probe == nullptr) GTEST_SKIP() << "no window station to create windows in";
    DestroyWindow(probe);
  }
  // Runs `open` while the script drives it; fails the test when the script did not get through.
  template <typename F>
  auto Run(std::vector<Script::Step> steps, F open) {
    Script script(std::move(steps));
    const auto result = open();
    EXPECT_TRUE(script.finished()) << "stuck at step " << script.stuckAt();
    return result;
  }
};

}  // namespace sarn::win
