#include "monitor/input/desktop_win.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <mutex>
#include <utility>

#include "common/injected_input.h"
#include "common/late_library_win.h"
#include "common/text_encoding.h"
#include "monitor/input/media_players.h"

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

bool Win32Desktop::SendToWindow(WindowHandle w, unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                std::chrono::milliseconds limit) {
  // SMTO_ABORTIFHUNG: a window the system already knows as hung is not waited for at all. No SMTO_BLOCK:
  // while we wait, sends to the monitor (an Apply, a scroll request) are still answered, and a target that
  // sends to us from its own handler does not deadlock with us for the whole limit.
  DWORD_PTR answer = 0;
  const auto ms = static_cast<UINT>(std::clamp<long long>(limit.count(), 0, INT_MAX));
  return SendMessageTimeoutA(H(w), message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, ms, &answer) != 0;
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

// ---------------------------------------------------------------- shell worker

struct ShellWorker::Queue {
  std::mutex lock;
  std::deque<std::function<void()>> requests;
  bool stopping = false;
  HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ~Queue() {
    if (wake != nullptr) CloseHandle(wake);
  }
};

namespace {

DWORD WINAPI ShellWorkerMain(void* parameter) {
  // The thread's own reference: an abandoned thread never touches freed memory.
  std::unique_ptr<std::shared_ptr<ShellWorker::Queue>> owned(static_cast<std::shared_ptr<ShellWorker::Queue>*>(parameter));
  const std::shared_ptr<ShellWorker::Queue> queue = *owned;
  const HRESULT com = InitializeComLate();
  for (;;) {
    // Shell extensions may post to this apartment: their messages are pumped while we wait for work.
    MsgWaitForMultipleObjectsEx(1, &queue->wake, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    for (;;) {
      std::function<void()> request;
      {
        std::lock_guard<std::mutex> hold(queue->lock);
        if (queue->stopping || queue->requests.empty()) break;
        request = std::move(queue->requests.front());
        queue->requests.pop_front();
      }
      request();
    }
    std::lock_guard<std::mutex> hold(queue->lock);
    if (queue->stopping) break;
  }
  if (SUCCEEDED(com)) UninitializeComLate();
  return 0;
}

}  // namespace

bool ShellWorker::Post(std::function<void()> request) {
  if (stopped_) return false;
  if (thread_ == nullptr) {
    queue_ = std::make_shared<Queue>();
    if (queue_->wake == nullptr) return false;
    auto* reference = new std::shared_ptr<Queue>(queue_);
    thread_ = CreateThread(nullptr, 0, ShellWorkerMain, reference, 0, nullptr);
    if (thread_ == nullptr) {
      delete reference;
      return false;
    }
  }
  {
    std::lock_guard<std::mutex> hold(queue_->lock);
    queue_->requests.push_back(std::move(request));
  }
  SetEvent(queue_->wake);
  return true;
}

void ShellWorker::Stop(unsigned graceMs) {
  stopped_ = true;
  if (thread_ == nullptr) return;
  {
    std::lock_guard<std::mutex> hold(queue_->lock);
    queue_->stopping = true;
    queue_->requests.clear();
  }
  SetEvent(queue_->wake);
  if (WaitForSingleObject(thread_, graceMs) != WAIT_OBJECT_0) {
    OutputDebugStringA("Sarn shell worker: a launch is still blocked in the shell at exit; it is abandoned\n");
  }
  CloseHandle(thread_);
  thread_ = nullptr;
}

// ---------------------------------------------------------------- launches

void Win32Desktop::ShellOpen(const std::string& path) {
  // Stored paths are in the system code page; the shell gets them wide.
  std::wstring wide = Utf8ToWide(AnsiToUtf8(path));
  const bool queued = shell_.Post([wide = std::move(wide)] {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOW));
    if (result <= 32) {
      const std::string line = "Sarn ShellOpen failed (" + std::to_string(result) + "): " + WideToUtf8(wide) + "\n";
      OutputDebugStringA(line.c_str());
    }
  });
  if (!queued) OutputDebugStringA("Sarn ShellOpen: no launch thread, nothing opened\n");
}

void Win32Desktop::StartProgram(const ProgramCommand& command) {
  // The program is named twice: as the application, so no part of a path with spaces is ever taken for a
  // program of its own, and quoted at the head of the command line, as programs expect to find themselves.
  std::wstring application = Utf8ToWide(AnsiToUtf8(command.program));
  std::wstring line = Utf8ToWide(AnsiToUtf8(CommandLineFor(command)));
  const bool queued = shell_.Post([application = std::move(application), line = std::move(line)]() mutable {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    } else {
      const std::string text = "Sarn StartProgram failed (" + std::to_string(GetLastError()) + "): " +
                               WideToUtf8(line) + "\n";
      OutputDebugStringA(text.c_str());
    }
  });
  if (!queued) OutputDebugStringA("Sarn StartProgram: no launch thread, nothing started\n");
}

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
