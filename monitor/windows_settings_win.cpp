#include <windows.h>

#include "monitor/windows_settings.h"

namespace sarn {
namespace {

// The change goes to every top-level window without waiting for any of them. SystemParametersInfo's own
// SPIF_SENDCHANGE would broadcast with a plain send, and one hung program would then hold the monitor's window
// thread until it recovers.
void BroadcastSettingChange(UINT action) { SendNotifyMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, action, 0); }

}  // namespace

void Win32SystemMouseSettings::SetDoubleClickTime(int milliseconds) {
  ::SetDoubleClickTime(static_cast<UINT>(milliseconds));
}

// The sends to `window_` go to the monitor's own window on its own thread: they are calls, not waits.
void Win32SystemMouseSettings::SetMouse(int threshold1, int threshold2, int acceleration) {
  int triple[3] = {threshold1, threshold2, acceleration};
  SystemParametersInfoA(SPI_SETMOUSE, 0, triple, 0);
  BroadcastSettingChange(SPI_SETMOUSE);
  if (window_) SendMessageA(static_cast<HWND>(window_), WM_SETTINGCHANGE, SPI_SETMOUSE, reinterpret_cast<LPARAM>(triple));
}

void Win32SystemMouseSettings::SetMouseSpeed(int speed) {
  // The speed travels as the pointer argument's value itself.
  SystemParametersInfoA(SPI_SETMOUSESPEED, 0, reinterpret_cast<PVOID>(static_cast<INT_PTR>(speed)), 0);
  BroadcastSettingChange(SPI_SETMOUSESPEED);
  if (window_) SendMessageA(static_cast<HWND>(window_), WM_SETTINGCHANGE, SPI_SETMOUSESPEED, 0);
}

void Win32SystemMouseSettings::SetWheelScrollLines(std::uint32_t lines) {
  SystemParametersInfoA(SPI_SETWHEELSCROLLLINES, lines, nullptr, 0);
  BroadcastSettingChange(SPI_SETWHEELSCROLLLINES);
  PostMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETWHEELSCROLLLINES, 0);
}

void Win32SystemMouseSettings::SetWheelScrollChars(int characters) {
  SystemParametersInfoA(SPI_SETWHEELSCROLLCHARS, static_cast<UINT>(characters), nullptr, 0);
  BroadcastSettingChange(SPI_SETWHEELSCROLLCHARS);
  PostMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETWHEELSCROLLCHARS, 0);
}

}  // namespace sarn
