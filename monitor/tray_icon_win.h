// The monitor's tray icon: the program's icon resource 128 at the small-icon size or, in an executable that
// carries none, a small mouse drawn at run time, so the tray never shows a blank square.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace sarn {

inline constexpr int kProgramIconResource = 128;

// Resource 128 of `module` at `size` pixels, else the drawn icon; nullptr only when GDI fails. The caller
// destroys it (DestroyIcon).
[[nodiscard]] HICON LoadProgramIcon(HMODULE module, int size);

// The executable's small icon, made at the first Get and kept for the program's life.
class TrayIcon {
 public:
  TrayIcon() = default;
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;
  [[nodiscard]] HICON Get();

 private:
  HICON icon_ = nullptr;
};

// Keeps the monitor's icon in the tray while it is wanted. At logon the monitor may start before Explorer
// has a tray: Shell_NotifyIcon(NIM_ADD) then fails, and without a retry the user would have no way to open
// the configuration window or end the monitor. A failed add is tried again on a window timer whose delay
// doubles from `firstRetryMs` up to `longestRetryMs`, until an add succeeds or the icon is no longer wanted.
class TrayIconKeeper {
 public:
  // Shell_NotifyIconA, or a stand-in for tests.
  using ShellNotify = BOOL (*)(DWORD message, NOTIFYICONDATAA* data);
  static constexpr unsigned kFirstRetryMs = 500;
  static constexpr unsigned kLongestRetryMs = 16000;

  TrayIconKeeper(unsigned retryTimerId, ShellNotify notify = DefaultNotify, unsigned firstRetryMs = kFirstRetryMs,
                 unsigned longestRetryMs = kLongestRetryMs)
      : timerId_(retryTimerId), notify_(notify), firstRetryMs_(firstRetryMs), longestRetryMs_(longestRetryMs) {}

  // `window` receives `callbackMessage` for mouse actions on the icon and the retry timer's WM_TIMER.
  void Attach(HWND window, UINT iconId, UINT callbackMessage, const char* tip);
  void Show();
  void Hide();
  // The taskbar was created again (Explorer restarted, its tray empty): the icon is added again if wanted.
  void OnTaskbarCreated();
  // WM_TIMER with the retry timer's id.
  void OnRetryTimer();
  [[nodiscard]] unsigned timerId() const { return timerId_; }
  [[nodiscard]] bool wanted() const { return wanted_; }
  [[nodiscard]] bool shown() const { return shown_; }

 private:
  static BOOL DefaultNotify(DWORD message, NOTIFYICONDATAA* data) { return Shell_NotifyIconA(message, data); }
  void Add();
  NOTIFYICONDATAA Data() const;

  unsigned timerId_;
  ShellNotify notify_;
  unsigned firstRetryMs_;
  unsigned longestRetryMs_;
  unsigned nextRetryMs_ = 0;  // 0: no retry pending
  HWND window_ = nullptr;
  UINT iconId_ = 0;
  UINT callbackMessage_ = 0;
  const char* tip_ = "";
  bool wanted_ = false;
  bool shown_ = false;
  TrayIcon icon_;
};

}  // namespace sarn
