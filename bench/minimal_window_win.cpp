// The idle baseline, built like the monitor at rest: a hidden window with a 2 s timer, two worker threads
// waiting on their message queues, and a tray icon. Nothing else: no settings, no device, no input engines.
#include <windows.h>
#include <shellapi.h>

namespace {

DWORD WINAPI IdleWorker(void*) {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
  }
  return 0;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    // What the monitor's check costs at the least: a look at the foreground window.
    DWORD processId = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &processId);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "MinimalHiddenWindow";
  RegisterClassA(&windowClass);
  HWND hwnd = CreateWindowExA(0, windowClass.lpszClassName, "Minimal hidden window", WS_POPUP, 0, 0, 1, 1, nullptr,
                              nullptr, instance, nullptr);
  SetTimer(hwnd, 1, 2000, nullptr);
  for (int i = 0; i < 2; ++i) CloseHandle(CreateThread(nullptr, 0, IdleWorker, nullptr, 0, nullptr));
  NOTIFYICONDATAA tray{};
  tray.cbSize = sizeof tray;
  tray.hWnd = hwnd;
  tray.uID = 1;
  tray.uFlags = NIF_ICON | NIF_TIP;
  tray.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  lstrcpynA(tray.szTip, "Minimal", sizeof tray.szTip);
  Shell_NotifyIconA(NIM_ADD, &tray);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  Shell_NotifyIconA(NIM_DELETE, &tray);
  return 0;
}
