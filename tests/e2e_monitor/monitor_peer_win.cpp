// Test helper: stands in for the programs around the monitor.
//   hold READY STOP     keeps the shared mutex in existence (as a configuration application that outlived its
//                       monitor would) and shows windows titled as the configuration application and the
//                       display program; writes the file READY once they exist. Exits 0 when the file STOP
//                       appears, 3 (printing the title) when either window is told to close.
//   taskbar-created     posts the registered "TaskbarCreated" message to the monitor, as a restarted
//                       Explorer does; exits 0 when it was posted.
//   hang DIR MS         a program that hangs: a visible top-level window of Winamp's class with a horizontal
//                       scroll bar, the cursor put over it. Each WM_HSCROLL or WM_COMMAND creates DIR\NAME-N
//                       (NAME hscroll or command, N counting from 1), then the thread sleeps MS milliseconds
//                       inside the handler and creates DIR\NAME-N-done. DIR\ready once the window is up;
//                       exits 0 when DIR\stop appears.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
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

std::string g_dir;
DWORD g_hangMs = 0;
int g_handled = 0;

void Touch(const std::string& name) {
  if (FILE* f = std::fopen((g_dir + "\\" + name).c_str(), "w")) std::fclose(f);
}

LRESULT CALLBACK HungWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_HSCROLL || message == WM_COMMAND) {
    const std::string name = (message == WM_HSCROLL ? "hscroll-" : "command-") + std::to_string(++g_handled);
    Touch(name);
    // Not pumping: whoever sent this waits, and the system sees this program as hung.
    Sleep(g_hangMs);
    Touch(name + "-done");
    return 0;
  }
  if (message == WM_TIMER && GetFileAttributesA((g_dir + "\\stop").c_str()) != INVALID_FILE_ATTRIBUTES) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

int Hang(const char* dir, const char* ms) {
  g_dir = dir;
  g_hangMs = static_cast<DWORD>(std::strtoul(ms, nullptr, 10));
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = HungWindow;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "Winamp v1.x";
  RegisterClassA(&windowClass);
  HWND w = CreateWindowExA(WS_EX_TOPMOST, windowClass.lpszClassName, "Winamp", WS_POPUP | WS_VISIBLE | WS_HSCROLL, 0,
                           0, 400, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (w == nullptr) return 1;
  SetTimer(w, 1, 50, nullptr);
  SetCursorPos(200, 150);
  MSG msg;
  // The window is up once its first messages went through; only then is the cursor reliably over it.
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  if (WindowFromPoint(POINT{200, 150}) != w) {
    std::fputs("monitor_peer: the window is not under the cursor\n", stderr);
    return 1;
  }
  Touch("ready");
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "hold" && argc == 4) return Hold(argv[2], argv[3]);
  if (mode == "hang" && argc == 4) return Hang(argv[2], argv[3]);
  if (mode == "taskbar-created") {
    HWND monitor = FindWindowA(nullptr, sarn::kMonitorWindowTitle);
    const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return monitor != nullptr && message != 0 && PostMessageA(monitor, message, 0, 0) ? 0 : 1;
  }
  std::fputs("usage: monitor_peer hold READY STOP | taskbar-created | hang DIR MS\n", stderr);
  return 2;
}
