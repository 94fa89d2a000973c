// The narrow desktop the input engines act through. Windows answers with the real calls (desktop_win.h);
// tests answer with a recording fake and a virtual clock, so every schedule can be asserted exactly.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sarn {

using WindowHandle = std::uintptr_t;  // 0 = no window
inline constexpr WindowHandle kNoWindow = 0;

struct ScreenPoint {
  int x;
  int y;
  friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

struct WindowRect {
  int left;
  int top;
  int right;
  int bottom;
};

// keybd_event flags and mouse_event flags used by the engines.
inline constexpr unsigned kKeyExtended = 0x1;
inline constexpr unsigned kKeyUp = 0x2;
inline constexpr unsigned kMouseLeftDown = 0x0002;
inline constexpr unsigned kMouseLeftUp = 0x0004;
inline constexpr unsigned kMouseRightDown = 0x0008;
inline constexpr unsigned kMouseRightUp = 0x0010;
inline constexpr unsigned kMouseMiddleDown = 0x0020;
inline constexpr unsigned kMouseMiddleUp = 0x0040;
inline constexpr unsigned kMouseXDown = 0x0080;
inline constexpr unsigned kMouseXUp = 0x0100;
inline constexpr unsigned kMouseAbsolute = 0x8000;

// Window messages the engines send or post.
inline constexpr unsigned kWmKeyDown = 0x0100;
inline constexpr unsigned kWmKeyUp = 0x0101;
inline constexpr unsigned kWmCommand = 0x0111;
inline constexpr unsigned kWmHScroll = 0x0114;
inline constexpr unsigned kWmAppCommand = 0x0319;
inline constexpr unsigned kSbLineLeft = 0;
inline constexpr unsigned kSbLineRight = 1;

// How long one send to another program's window may hold the window thread. These sends stand for a key
// press or a scroll step: an application that answers at all answers within a few milliseconds, and a user
// does not notice a quarter of a second. Past that the window is taken as hung and the command is dropped, so
// a program that stopped pumping messages never freezes the monitor (its buttons, its tray icon, its Exit).
inline constexpr std::chrono::milliseconds kInputSendLimit{250};

// A program to start: its path and what follows it on the command line.
struct ProgramCommand {
  std::string program;
  std::string arguments;
  friend bool operator==(const ProgramCommand&, const ProgramCommand&) = default;
};

// Synthetic keyboard and mouse-button input.
class KeyInput {
 public:
  virtual ~KeyInput() = default;
  // keybd_event(virtualKey, scanCode, flags, our mark).
  virtual void KeyEvent(unsigned virtualKey, unsigned scanCode, unsigned flags) = 0;
  // mouse_event(flags, 0, 0, data, our mark).
  virtual void MouseEvent(unsigned flags, unsigned data) = 0;
};

// Read-only questions about the window tree.
class WindowTree {
 public:
  virtual ~WindowTree() = default;
  [[nodiscard]] virtual WindowHandle DesktopWindow() const = 0;
  [[nodiscard]] virtual WindowHandle WindowFromPoint(ScreenPoint p) const = 0;
  // The child of `parent` that contains the screen point, `parent` itself, or none (ChildWindowFromPoint).
  [[nodiscard]] virtual WindowHandle ChildFromPoint(WindowHandle parent, ScreenPoint p) const = 0;
  [[nodiscard]] virtual std::string ClassName(WindowHandle w) const = 0;
  [[nodiscard]] virtual std::string Title(WindowHandle w) const = 0;
  [[nodiscard]] virtual WindowHandle Parent(WindowHandle w) const = 0;
  [[nodiscard]] virtual WindowHandle FirstChild(WindowHandle w) const = 0;
  [[nodiscard]] virtual WindowHandle NextSibling(WindowHandle w) const = 0;      // next in z-order
  [[nodiscard]] virtual WindowHandle PreviousSibling(WindowHandle w) const = 0;  // previous in z-order
  [[nodiscard]] virtual std::uint32_t Style(WindowHandle w) const = 0;
  [[nodiscard]] virtual WindowRect Rect(WindowHandle w) const = 0;
  // Every window below `w`, children and their descendants, in EnumChildWindows order.
  [[nodiscard]] virtual std::vector<WindowHandle> Descendants(WindowHandle w) const = 0;
  // FindWindow: a top-level window by class and title; an empty text matches any.
  [[nodiscard]] virtual WindowHandle FindTopLevel(std::string_view className, std::string_view title) const = 0;
};

// Acting on windows, the cursor and the shell.
class Desktop {
 public:
  virtual ~Desktop() = default;
  virtual void PostToWindow(WindowHandle w, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // Sends and waits at most `limit` for the answer (a window that is already hung is not waited for at all);
  // false when the window did not answer in time. There is no send without a limit: the windows sent to
  // belong to other programs.
  [[nodiscard]] virtual bool SendToWindow(WindowHandle w, unsigned message, std::uintptr_t wParam,
                                          std::intptr_t lParam, std::chrono::milliseconds limit) = 0;
  [[nodiscard]] virtual ScreenPoint CursorPos() const = 0;
  virtual void SetCursorPos(ScreenPoint p) = 0;
  [[nodiscard]] virtual bool ButtonsSwapped() const = 0;
  // SetForegroundWindow; with `attachInput` the foreground thread's input is attached to ours around the call.
  virtual void BringToForeground(WindowHandle w, bool attachInput) = 0;
  // ShellExecute(no owner, "open", path, no parameters, no directory, SW_SHOW). Returns at once: the shell
  // may take tens of seconds over an offline share, so the open happens away from the caller's thread.
  virtual void ShellOpen(const std::string& path) = 0;
  // Starts `command.program` (shown normally) with its arguments; returns at once, as ShellOpen.
  virtual void StartProgram(const ProgramCommand& command) = 0;
  // A string value under HKEY_LOCAL_MACHINE (empty name: the key's default value); none when missing or
  // longer than the 260-byte buffer the players' paths are read into.
  [[nodiscard]] virtual std::optional<std::string> ReadMachineString(const std::string& key,
                                                                     const std::string& valueName) const = 0;
  [[nodiscard]] virtual std::string ExpandEnvironment(const std::string& text) const = 0;
};

// Time, in microseconds on a monotonic clock. Waits are against absolute deadlines so that the time spent
// sending input never adds up over a long sequence.
using ClockTime = std::chrono::microseconds;

enum class WaitResult { kElapsed, kInterrupted };

class Clock {
 public:
  virtual ~Clock() = default;
  [[nodiscard]] virtual ClockTime Now() const = 0;
  // Returns when the deadline has passed, or at once with kInterrupted once Interrupt has been called.
  virtual WaitResult WaitUntil(ClockTime deadline) = 0;
  // From now on every wait returns at once (used at shut-down so a long wait does not hold the program).
  virtual void Interrupt() = 0;
};

inline WaitResult WaitFor(Clock& clock, std::chrono::milliseconds ms) {
  return clock.WaitUntil(clock.Now() + ms);
}

// The platform's debug-output channel (OutputDebugStringA).
class DebugOutput {
 public:
  virtual ~DebugOutput() = default;
  virtual void Write(const std::string& line) = 0;
};

// The monitor main window's timers (SetTimer/KillTimer); their ticks come back to the engines' handlers.
class WindowTimers {
 public:
  virtual ~WindowTimers() = default;
  virtual void StartTimer(unsigned id, unsigned periodMs) = 0;
  virtual void StopTimer(unsigned id) = 0;
};

}  // namespace sarn
