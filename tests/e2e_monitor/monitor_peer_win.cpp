// Test helper: stands in for the programs around the monitor.
//   hold READY STOP     keeps the shared mutex in existence (as a configuration application that outlived its
//                       monitor would) and shows windows titled as the configuration application and the
//                       display program; writes the file READY once they exist. Exits 0 when the file STOP
//                       appears, 3 (printing the title) when either window is told to close.
//   lock FILE READY STOP  holds FILE open without any sharing (as a backup or scanning program may at logon),
//                       writes the file READY once it does, and closes it when the file STOP appears.
//   taskbar-created     posts the registered "TaskbarCreated" message to the monitor, as a restarted
//                       Explorer does; exits 0 when it was posted.
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/shared_block.h"

namespace {

int g_closed = 0;
std::string g_stop;

LRESULT CALLBACK PeerWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    char title[128] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    std::printf("closed %s\n", title);
    g_closed = 3;
    PostQuitMessage(3);
    return 0;
  }
  if (message == WM_TIMER && GetFileAttributesA(g_stop.c_str()) != INVALID_FILE_ATTRIBUTES) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

int Hold(const char* ready, const char* stop) {
  g_stop = stop;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, sarn::kSharedMutexName);
  if (mutex == nullptr) return 1;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = PeerWindow;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "SarnMonitorPeer";
  RegisterClassA(&windowClass);
  HWND option = CreateWindowExA(0, windowClass.lpszClassName, sarn::kOptionWindowTitle, WS_POPUP, 0, 0, 10, 10,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
  HWND osd = CreateWindowExA(0, windowClass.lpszClassName, "ZORVAN Sarn[+] Mouse OSD", WS_POPUP, 0, 0, 10, 10,
                             nullptr, nullptr, windowClass.hInstance, nullptr);
  if (option == nullptr || osd == nullptr) return 1;
  // Timer messages come only when nothing else is queued: a close posted before STOP appears is seen first.
  SetTimer(option, 1, 50, nullptr);
  if (FILE* f = std::fopen(ready, "w")) std::fclose(f);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  CloseHandle(mutex);
  return g_closed;
}

int Lock(const char* file, const char* ready, const char* stop) {
  HANDLE held = CreateFileA(file, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  if (FILE* f = std::fopen(ready, "w")) std::fclose(f);
  while (GetFileAttributesA(stop) == INVALID_FILE_ATTRIBUTES) Sleep(50);
  CloseHandle(held);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "hold" && argc == 4) return Hold(argv[2], argv[3]);
  if (mode == "lock" && argc == 5) return Lock(argv[2], argv[3], argv[4]);
  if (mode == "taskbar-created") {
    HWND monitor = FindWindowA(nullptr, sarn::kMonitorWindowTitle);
    const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return monitor != nullptr && message != 0 && PostMessageA(monitor, message, 0, 0) ? 0 : 1;
  }
  std::fputs("usage: monitor_peer hold READY STOP | lock FILE READY STOP | taskbar-created\n", stderr);
  return 2;
}
