// The monitor's tray icon: the program's icon resource 128 at the small-icon size or, in an executable that
// carries none, a small mouse drawn at run time, so the tray never shows a blank square.
#pragma once

#include <windows.h>

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

}  // namespace sarn
