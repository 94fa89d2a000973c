// The idle baseline: a program with one hidden window and a message loop, nothing else.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "MinimalHiddenWindow";
  RegisterClassA(&windowClass);
  CreateWindowExA(0, windowClass.lpszClassName, "Minimal hidden window", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                  instance, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
