// Test helper: stands in for the programs around the monitor.
//   hold READY STOP     stands in for a running monitor: owns the monitor's instance mutex, keeps the shared
//                       mutex and shows windows titled as the configuration application and the display
//                       program; writes the file READY once they exist. Exits 0 when the file STOP appears,
//                       3 (printing the title) when either window is told to close.
//   keep-block READY STOP
//                       maps the shared block as the configuration application does and keeps it until the
//                       file STOP appears; writes READY once it holds the block. Exits 0, 1 when no block.
//                       It also keeps a handle to the monitor's instance mutex, so that a monitor killed
//                       while owning it leaves it in existence, abandoned: the hardest case for the next start.
//   kill-monitor        ends the monitor's process with TerminateProcess (a crash) and waits for it to end.
//   end-session         sends WM_QUERYENDSESSION and WM_ENDSESSION(TRUE) to the monitor as a log-off does, each
//                       with Windows' 5 s limit; prints the time the end took. Exits 0 when the query was
//                       answered TRUE and both came back in time.
//   close               posts WM_CLOSE to the monitor's window.
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

void WaitForFile(const char* path) {
  while (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) Sleep(20);
}

int KeepBlock(const char* ready, const char* stop) {
  bool mapFailed = false;
  auto block = sarn::Win32SharedBlock::OpenForOption(mapFailed);
  HANDLE instance = OpenMutexA(SYNCHRONIZE, FALSE, "ZORVAN_Sarn+_Mouse_Normal_Monitor");
  if (!block || instance == nullptr) return 1;
  if (FILE* f = std::fopen(ready, "w")) std::fclose(f);
  WaitForFile(stop);
  CloseHandle(instance);
  return 0;
}

int KillMonitor() {
  HWND monitor = FindWindowA(nullptr, sarn::kMonitorWindowTitle);
  DWORD processId = 0;
  if (monitor == nullptr || GetWindowThreadProcessId(monitor, &processId) == 0) return 1;
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
  if (process == nullptr) return 1;
  const bool ended = TerminateProcess(process, 9) && WaitForSingleObject(process, 30000) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended ? 0 : 1;
}

int EndSession() {
  HWND monitor = FindWindowA(nullptr, sarn::kMonitorWindowTitle);
  if (monitor == nullptr) return 1;
  DWORD_PTR answer = 0;
  const ULONGLONG start = GetTickCount64();
  if (!SendMessageTimeoutA(monitor, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer) ||
      answer != TRUE) {
    std::puts("query not answered TRUE in time");
    return 1;
  }
  const ULONGLONG queried = GetTickCount64();
  if (!SendMessageTimeoutA(monitor, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer)) {
    std::puts("end not answered in time");
    return 1;
  }
  std::printf("query %llu ms, end %llu ms\n", queried - start, GetTickCount64() - queried);
  return 0;
}

int Hold(const char* ready, const char* stop) {
  g_stop = stop;
  HANDLE instance = CreateMutexA(nullptr, TRUE, "ZORVAN_Sarn+_Mouse_Normal_Monitor");
  HANDLE mutex = CreateMutexA(nullptr, FALSE, sarn::kSharedMutexName);
  if (instance == nullptr || mutex == nullptr) return 1;
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
  ReleaseMutex(instance);
  CloseHandle(instance);
  return g_closed;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "hold" && argc == 4) return Hold(argv[2], argv[3]);
  if (mode == "keep-block" && argc == 4) return KeepBlock(argv[2], argv[3]);
  if (mode == "kill-monitor") return KillMonitor();
  if (mode == "end-session") return EndSession();
  if (mode == "close") {
    HWND monitor = FindWindowA(nullptr, sarn::kMonitorWindowTitle);
    return monitor != nullptr && PostMessageA(monitor, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  if (mode == "taskbar-created") {
    HWND monitor = FindWindowA(nullptr, sarn::kMonitorWindowTitle);
    const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return monitor != nullptr && message != 0 && PostMessageA(monitor, message, 0, 0) ? 0 : 1;
  }
  std::fputs("usage: monitor_peer hold READY STOP | keep-block READY STOP | kill-monitor | end-session | close | "
             "taskbar-created\n",
             stderr);
  return 2;
}
