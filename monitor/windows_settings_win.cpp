#include <windows.h>

#include "monitor/windows_settings.h"

namespace sarn {

void Win32SystemMouseSettings::SetDoubleClickTime(int milliseconds) {
  ::SetDoubleClickTime(static_cast<UINT>(milliseconds));
}

void Win32SystemMouseSettings::SetMouse(int threshold1, int threshold2, int acceleration) {
  int triple[3] = {threshold1, threshold2, acceleration};
  SystemParametersInfoA(SPI_SETMOUSE, 0, triple, SPIF_SENDCHANGE);
  if (window_) SendMessageA(static_cast<HWND>(window_), WM_SETTINGCHANGE, SPI_SETMOUSE, reinterpret_cast<LPARAM>(triple));
}

void Win32SystemMouseSettings::SetMouseSpeed(int speed) {
  // The speed travels as the pointer argument's value itself.
  SystemParametersInfoA(SPI_SETMOUSESPEED, 0, reinterpret_cast<PVOID>(static_cast<INT_PTR>(speed)), SPIF_SENDCHANGE);
  if (window_) SendMessageA(static_cast<HWND>(window_), WM_SETTINGCHANGE, SPI_SETMOUSESPEED, 0);
}

void Win32SystemMouseSettings::SetWheelScrollLines(std::uint32_t lines) {
  SystemParametersInfoA(SPI_SETWHEELSCROLLLINES, lines, nullptr, SPIF_SENDCHANGE);
  PostMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETWHEELSCROLLLINES, 0);
}

void Win32SystemMouseSettings::SetWheelScrollChars(int characters) {
  SystemParametersInfoA(SPI_SETWHEELSCROLLCHARS, static_cast<UINT>(characters), nullptr, SPIF_SENDCHANGE);
  PostMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETWHEELSCROLLCHARS, 0);
}

}  // namespace sarn
