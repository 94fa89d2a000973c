// Win32 answers to the input engines' ports. Only Windows builds include this header.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "monitor/input/input_ports.h"
#include "monitor/input/tilt_scroll.h"

namespace sarn {

// keybd_event and mouse_event, as the rest of the system's synthetic input, each marked with
// kInjectedInputMark (common/injected_input.h).
class Win32KeyInput final : public KeyInput {
 public:
  void KeyEvent(unsigned virtualKey, unsigned scanCode, unsigned flags) override;
  void MouseEvent(unsigned flags, unsigned data) override;
};

class Win32WindowTree final : public WindowTree {
 public:
  WindowHandle DesktopWindow() const override;
  WindowHandle WindowFromPoint(ScreenPoint p) const override;
  WindowHandle ChildFromPoint(WindowHandle parent, ScreenPoint p) const override;
  std::string ClassName(WindowHandle w) const override;
  std::string Title(WindowHandle w) const override;
  WindowHandle Parent(WindowHandle w) const override;
  WindowHandle FirstChild(WindowHandle w) const override;
  WindowHandle NextSibling(WindowHandle w) const override;
  WindowHandle PreviousSibling(WindowHandle w) const override;
  std::uint32_t Style(WindowHandle w) const override;
  WindowRect Rect(WindowHandle w) const override;
  std::vector<WindowHandle> Descendants(WindowHandle w) const override;
  WindowHandle FindTopLevel(std::string_view className, std::string_view title) const override;
};

// Shell opens and program starts, one after another on a thread of their own: over an offline share the
// shell can take tens of seconds, and the window thread must not wait for that. The thread is started on the
// first request, with COM (a single-threaded apartment, which the shell wants) and a message pump of its own.
// Stop ends it: requests not yet begun are dropped; one still blocked in the shell after the grace time is
// abandoned (the thread keeps its own reference to the queue, and ends with the process).
class ShellWorker {
 public:
  ShellWorker() = default;
  ~ShellWorker() { Stop(); }
  ShellWorker(const ShellWorker&) = delete;
  ShellWorker& operator=(const ShellWorker&) = delete;

  // Queues `request`; it must own everything it uses (it may run after the caller has gone). False when the
  // thread cannot be started or the worker was stopped.
  bool Post(std::function<void()> request);
  void Stop(unsigned graceMs = kExitGraceMs);

  // How long Exit waits for a request that is still in the shell.
  static constexpr unsigned kExitGraceMs = 1000;

  struct Queue;  // shared by the worker object and its thread

 private:
  std::shared_ptr<Queue> queue_;
  void* thread_ = nullptr;
  bool stopped_ = false;
};

class Win32Desktop final : public Desktop {
 public:
  // `mainWindow`: the monitor's window, whose thread takes the foreground along with a player's window.
  explicit Win32Desktop(WindowHandle mainWindow) : mainWindow_(mainWindow) {}
  void PostToWindow(WindowHandle w, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool SendToWindow(WindowHandle w, unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                    std::chrono::milliseconds limit) override;
  ScreenPoint CursorPos() const override;
  void SetCursorPos(ScreenPoint p) override;
  bool ButtonsSwapped() const override;
  void BringToForeground(WindowHandle w, bool attachInput) override;
  void ShellOpen(const std::string& path) override;
  void StartProgram(const ProgramCommand& command) override;
  std::optional<std::string> ReadMachineString(const std::string& key, const std::string& valueName) const override;
  std::string ExpandEnvironment(const std::string& text) const override;

  // At shut-down: no more launches; one still in the shell is waited for briefly, then abandoned.
  void Shutdown() { shell_.Stop(); }

 private:
  WindowHandle mainWindow_;
  ShellWorker shell_;
};

// A precise clock: QueryPerformanceCounter for the time, a high-resolution waitable timer for the waits
// (or, where the system has none, an ordinary one with the timer period raised to 1 ms). The last
// `spinMicros` before a deadline are spent yielding instead of sleeping, which absorbs the timer's own
// lateness. One instance per waiting thread.
class Win32Clock final : public Clock {
 public:
  explicit Win32Clock(int spinMicros = 1000);
  ~Win32Clock() override;
  Win32Clock(const Win32Clock&) = delete;
  Win32Clock& operator=(const Win32Clock&) = delete;

  ClockTime Now() const override;
  WaitResult WaitUntil(ClockTime deadline) override;
  void Interrupt() override;

  [[nodiscard]] bool HighResolution() const { return highResolution_; }

 private:
  void* timer_ = nullptr;
  void* interrupt_ = nullptr;
  std::int64_t frequency_ = 1;
  int spinMicros_;
  bool highResolution_ = false;
  bool raisedPeriod_ = false;
  std::atomic<bool> interrupted_{false};
};

class Win32DebugOutput final : public DebugOutput {
 public:
  void Write(const std::string& line) override;
};

// SetTimer/KillTimer on the monitor's main window; the ticks arrive as WM_TIMER there.
class Win32WindowTimers final : public WindowTimers {
 public:
  explicit Win32WindowTimers(WindowHandle window) : window_(window) {}
  void StartTimer(unsigned id, unsigned periodMs) override;
  void StopTimer(unsigned id) override;

 private:
  WindowHandle window_;
};

// The document of an embedded HTML view, reached through the accessibility library.
class Win32DocumentScroller final : public DocumentScroller {
 public:
  Result ScrollBy(WindowHandle htmlView, int dx) override;
};

}  // namespace sarn
