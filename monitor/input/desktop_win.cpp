#include "monitor/input/desktop_win.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "common/injected_input.h"
#include "common/late_library_win.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace sarn {
namespace {

HWND H(WindowHandle w) { return reinterpret_cast<HWND>(w); }
WindowHandle W(HWND h) { return reinterpret_cast<WindowHandle>(h); }

std::string Copy(std::string_view text) { return std::string(text); }

}  // namespace

// ---------------------------------------------------------------- input

// Everything we inject carries our mark, so that our own hooks (the configuration window's key capture)
// can tell it from the user's input.
void Win32KeyInput::KeyEvent(unsigned virtualKey, unsigned scanCode, unsigned flags) {
  keybd_event(static_cast<BYTE>(virtualKey), static_cast<BYTE>(scanCode), flags, kInjectedInputMark);
}

void Win32KeyInput::MouseEvent(unsigned flags, unsigned data) {
  mouse_event(flags, 0, 0, data, kInjectedInputMark);
}

// ---------------------------------------------------------------- window tree

WindowHandle Win32WindowTree::DesktopWindow() const { return W(GetDesktopWindow()); }

WindowHandle Win32WindowTree::WindowFromPoint(ScreenPoint p) const { return W(::WindowFromPoint(POINT{p.x, p.y})); }

WindowHandle Win32WindowTree::ChildFromPoint(WindowHandle parent, ScreenPoint p) const {
  POINT client{p.x, p.y};
  if (!ScreenToClient(H(parent), &client)) return kNoWindow;
  return W(ChildWindowFromPoint(H(parent), client));
}

std::string Win32WindowTree::ClassName(WindowHandle w) const {
  char name[256] = {};
  const int n = GetClassNameA(H(w), name, sizeof name);
  return std::string(name, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string Win32WindowTree::Title(WindowHandle w) const {
  char title[512] = {};
  const int n = GetWindowTextA(H(w), title, sizeof title);
  return std::string(title, n > 0 ? static_cast<std::size_t>(n) : 0);
}

WindowHandle Win32WindowTree::Parent(WindowHandle w) const { return W(GetParent(H(w))); }
WindowHandle Win32WindowTree::FirstChild(WindowHandle w) const { return W(GetWindow(H(w), GW_CHILD)); }
WindowHandle Win32WindowTree::NextSibling(WindowHandle w) const { return W(GetWindow(H(w), GW_HWNDNEXT)); }
WindowHandle Win32WindowTree::PreviousSibling(WindowHandle w) const { return W(GetWindow(H(w), GW_HWNDPREV)); }

std::uint32_t Win32WindowTree::Style(WindowHandle w) const {
  return static_cast<std::uint32_t>(GetWindowLongA(H(w), GWL_STYLE));
}

WindowRect Win32WindowTree::Rect(WindowHandle w) const {
  RECT r{};
  GetWindowRect(H(w), &r);
  return {r.left, r.top, r.right, r.bottom};
}

std::vector<WindowHandle> Win32WindowTree::Descendants(WindowHandle w) const {
  std::vector<WindowHandle> found;
  if (w == kNoWindow) return found;
  EnumChildWindows(
      H(w),
      [](HWND child, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<WindowHandle>*>(list)->push_back(W(child));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

WindowHandle Win32WindowTree::FindTopLevel(std::string_view className, std::string_view title) const {
  const std::string cls = Copy(className), text = Copy(title);
  return W(FindWindowA(cls.empty() ? nullptr : cls.c_str(), text.empty() ? nullptr : text.c_str()));
}

// ---------------------------------------------------------------- desktop

void Win32Desktop::PostToWindow(WindowHandle w, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  PostMessageA(H(w), message, wParam, lParam);
}

void Win32Desktop::SendToWindow(WindowHandle w, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  SendMessageA(H(w), message, wParam, lParam);
}

ScreenPoint Win32Desktop::CursorPos() const {
  POINT p{};
  GetCursorPos(&p);
  return {p.x, p.y};
}

void Win32Desktop::SetCursorPos(ScreenPoint p) { ::SetCursorPos(p.x, p.y); }

bool Win32Desktop::ButtonsSwapped() const { return GetSystemMetrics(SM_SWAPBUTTON) != 0; }

void Win32Desktop::BringToForeground(WindowHandle w, bool attachInput) {
  if (!attachInput) {
    SetForegroundWindow(H(w));
    return;
  }
  // Windows lets a thread take the foreground only when it shares input with the current foreground.
  const DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  const DWORD ours = mainWindow_ != kNoWindow ? GetWindowThreadProcessId(H(mainWindow_), nullptr) : GetCurrentThreadId();
  const bool attached = foreground != 0 && foreground != ours && AttachThreadInput(foreground, ours, TRUE);
  SetForegroundWindow(H(w));
  if (attached) AttachThreadInput(foreground, ours, FALSE);
}

void Win32Desktop::ShellOpen(const std::string& path) {
  EnsureComForShell();
  ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOW);
}

void Win32Desktop::Execute(const std::string& commandLine) { WinExec(commandLine.c_str(), SW_SHOWNORMAL); }

std::optional<std::string> Win32Desktop::ReadMachineString(const std::string& key,
                                                           const std::string& valueName) const {
  HKEY handle = nullptr;
  // Read access is all we need; asking for more fails for ordinary users.
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::nullopt;
  char buffer[260] = {};
  DWORD size = sizeof buffer;
  DWORD type = 0;
  const LONG status = RegQueryValueExA(handle, valueName.empty() ? nullptr : valueName.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
  return std::string(buffer, strnlen(buffer, size));
}

std::string Win32Desktop::ExpandEnvironment(const std::string& text) const {
  char buffer[260] = {};
  const DWORD n = ExpandEnvironmentStringsA(text.c_str(), buffer, sizeof buffer);
  if (n == 0 || n > sizeof buffer) return std::string();  // does not fit the path buffer: not a usable path
  return std::string(buffer);
}

// ---------------------------------------------------------------- clock

Win32Clock::Win32Clock(int spinMicros) : spinMicros_(spinMicros) {
  LARGE_INTEGER f{};
  QueryPerformanceFrequency(&f);
  frequency_ = f.QuadPart > 0 ? f.QuadPart : 1;
  timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
  highResolution_ = timer_ != nullptr;
  if (timer_ == nullptr) {
    // Older systems: an ordinary timer, with the scheduler's period raised so it fires within a millisecond.
    timer_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    raisedPeriod_ = RaiseTimerPeriod();
  }
  interrupt_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

Win32Clock::~Win32Clock() {
  if (timer_ != nullptr) CloseHandle(timer_);
  if (interrupt_ != nullptr) CloseHandle(interrupt_);
  if (raisedPeriod_) LowerTimerPeriod();
}

ClockTime Win32Clock::Now() const {
  LARGE_INTEGER c{};
  QueryPerformanceCounter(&c);
  const std::int64_t whole = c.QuadPart / frequency_, part = c.QuadPart % frequency_;
  return ClockTime(whole * 1000000 + part * 1000000 / frequency_);
}

WaitResult Win32Clock::WaitUntil(ClockTime deadline) {
  for (;;) {
    if (interrupted_.load()) return WaitResult::kInterrupted;
    const std::int64_t remaining = (deadline - Now()).count();
    if (remaining <= 0) return WaitResult::kElapsed;
    if (remaining <= spinMicros_ || timer_ == nullptr) {
      // The last stretch: busy-wait rather than sleep, a timer would overshoot it. Not a yield either: on a
      // busy machine a yield hands the processor away for a whole time slice.
      if (timer_ == nullptr && remaining > spinMicros_) {
        WaitForSingleObject(interrupt_, static_cast<DWORD>((remaining - spinMicros_) / 1000));
      } else {
        YieldProcessor();
      }
      continue;
    }
    LARGE_INTEGER due{};
    due.QuadPart = -(remaining - spinMicros_) * 10;  // relative, in 100 ns units
    if (!SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
      CloseHandle(timer_);
      timer_ = nullptr;
      continue;
    }
    HANDLE handles[2] = {timer_, interrupt_};
    if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) return WaitResult::kInterrupted;
  }
}

void Win32Clock::Interrupt() {
  interrupted_.store(true);
  if (interrupt_ != nullptr) SetEvent(interrupt_);
}

// ---------------------------------------------------------------- debug output and timers

void Win32DebugOutput::Write(const std::string& line) { OutputDebugStringA(line.c_str()); }

void Win32WindowTimers::StartTimer(unsigned id, unsigned periodMs) { SetTimer(H(window_), id, periodMs, nullptr); }

void Win32WindowTimers::StopTimer(unsigned id) { KillTimer(H(window_), id); }

}  // namespace sarn
