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
//   lock FILE READY STOP  holds FILE open without any sharing (as a backup or scanning program may at logon),
//                       writes the file READY once it does, and closes it when the file STOP appears.
//   taskbar-created     posts the registered "TaskbarCreated" message to the monitor, as a restarted
//                       Explorer does; exits 0 when it was posted.
//   keys READY STOP     watches the keyboard through a low-level hook, as any other program on the desktop
//                       would; writes the file READY once the hook is in and prints every key event as it
//                       comes ("122+", "17-"). When the file STOP appears it prints "left down:" and the keys
//                       still down, and exits 0 when there are none, 4 otherwise.
//   timed-keys READY STOP
//                       the same, each event with the hook's millisecond stamp ("118+@123456").
//   post MSG W L        posts message MSG with wParam W and lParam L (numbers, 0x for hex) to the monitor, as
//                       any program of the session can; exits 0 when it was posted.
//   display READY STOP  stands in for the on-screen display: a window of its title (a display already running is
//                       asked to close first) that prints each OsdShow ("show EVENT VALUE"), OsdSettings
//                       ("settings") and ApplyAll ("applyall") it is posted; writes READY once the window exists
//                       and exits 0 when the file STOP appears.
//   exit-within MS      asks the monitor to end (its Exit command, as the tray and the installer do) and waits
//                       for its window to go, as the installer does; prints the milliseconds taken and exits 0
//                       when the window went within MS.
//   hang DIR MS         a program that hangs: a visible top-level window of Winamp's class with a horizontal
//                       scroll bar, the cursor put over it. Each WM_HSCROLL or WM_COMMAND creates DIR\NAME-N
//                       (NAME hscroll or command, N counting from 1), then the thread sleeps MS milliseconds
//                       inside the handler and creates DIR\NAME-N-done. DIR\ready once the window is up;
//                       exits 0 when DIR\stop appears.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "common/messages.h"
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

LRESULT CALLBACK DisplayWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == sarn::kMsgOsdShow) {
    std::printf("show %u %ld\n", static_cast<unsigned>(wParam), static_cast<long>(lParam));
  } else if (message == sarn::kMsgOsdSettings) {
    std::puts("settings");
  } else if (message == sarn::kMsgApplyAll) {
    std::puts("applyall");
  } else if (message == WM_TIMER && GetFileAttributesA(g_stop.c_str()) != INVALID_FILE_ATTRIBUTES) {
    PostQuitMessage(0);
  } else {
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  std::fflush(stdout);
  return 0;
}

int Display(const char* ready, const char* stop) {
  g_stop = stop;
  if (HWND running = FindWindowA(nullptr, sarn::kOsdWindowTitle)) {
    PostMessageA(running, WM_CLOSE, 0, 0);
    for (int i = 0; i < 500 && IsWindow(running); ++i) Sleep(20);
    if (IsWindow(running)) return 1;
  }
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DisplayWindow;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "SarnDisplayPeer";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, windowClass.lpszClassName, sarn::kOsdWindowTitle, WS_POPUP, 0, 0,
                                10, 10, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return 1;
  SetTimer(window, 1, 50, nullptr);
  if (FILE* f = std::fopen(ready, "w")) std::fclose(f);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
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

HHOOK g_keyboard = nullptr;
std::map<DWORD, bool> g_down;
bool g_timed = false;

LRESULT CALLBACK OnKey(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const bool up = (key->flags & LLKHF_UP) != 0;
    g_down[key->vkCode] = !up;
    if (g_timed) {
      std::printf("%lu%c@%lu\n", static_cast<unsigned long>(key->vkCode), up ? '-' : '+',
                  static_cast<unsigned long>(key->time));
    } else {
      std::printf("%lu%c\n", static_cast<unsigned long>(key->vkCode), up ? '-' : '+');
    }
    std::fflush(stdout);
  }
  return CallNextHookEx(g_keyboard, code, wParam, lParam);
}

int WatchKeys(const char* ready, const char* stop) {
  g_keyboard = SetWindowsHookExA(WH_KEYBOARD_LL, OnKey, GetModuleHandleA(nullptr), 0);
  if (g_keyboard == nullptr) return 1;
  // A thread timer: its messages come only when nothing else is queued, so every key already sent to the hook
  // has been seen when STOP is noticed.
  SetTimer(nullptr, 0, 50, nullptr);
  if (FILE* f = std::fopen(ready, "w")) std::fclose(f);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && GetFileAttributesA(stop) != INVALID_FILE_ATTRIBUTES) break;
    DispatchMessageA(&msg);
  }
  UnhookWindowsHookEx(g_keyboard);
  std::string left;
  for (const auto& [vk, down] : g_down) {
    if (down) left += " " + std::to_string(vk);
  }
  std::printf("left down:%s\n", left.empty() ? " none" : left.c_str());
  return left.empty() ? 0 : 4;
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
  if (mode == "display" && argc == 4) return Display(argv[2], argv[3]);
  if (mode == "keys" && argc == 4) return WatchKeys(argv[2], argv[3]);
  if (mode == "timed-keys" && argc == 4) {
    g_timed = true;
    return WatchKeys(argv[2], argv[3]);
  }
  if (mode == "keep-block" && argc == 4) return KeepBlock(argv[2], argv[3]);
  if (mode == "kill-monitor") return KillMonitor();
  if (mode == "end-session") return EndSession();
  if (mode == "close") {
    HWND monitor = FindWindowA(nullptr, sarn::kMonitorWindowTitle);
    return monitor != nullptr && PostMessageA(monitor, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  if (mode == "hang" && argc == 4) return Hang(argv[2], argv[3]);
  if (mode == "lock" && argc == 5) return Lock(argv[2], argv[3], argv[4]);
  if (mode == "taskbar-created") {
    HWND monitor = FindWindowA(nullptr, sarn::kMonitorWindowTitle);
    const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return monitor != nullptr && message != 0 && PostMessageA(monitor, message, 0, 0) ? 0 : 1;
  }
  if (mode == "post" && argc == 5) {
    HWND monitor = FindWindowA(nullptr, sarn::kMonitorWindowTitle);
    const auto number = [](const char* text) { return std::strtoull(text, nullptr, 0); };
    return monitor != nullptr && PostMessageA(monitor, static_cast<UINT>(number(argv[2])),
                                              static_cast<WPARAM>(number(argv[3])),
                                              static_cast<LPARAM>(number(argv[4])))
               ? 0
               : 1;
  }
  if (mode == "exit-within" && argc == 3) {
    HWND monitor = FindWindowA(nullptr, sarn::kMonitorWindowTitle);
    if (monitor == nullptr) return 1;
    const DWORD limit = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
    const DWORD start = GetTickCount();
    if (!PostMessageA(monitor, WM_COMMAND, sarn::kCmdExit, 0)) return 1;
    while (IsWindow(monitor) && GetTickCount() - start < limit + 30000) Sleep(10);
    const DWORD took = GetTickCount() - start;
    std::printf("%lu\n", static_cast<unsigned long>(took));
    return took <= limit ? 0 : 3;
  }
  std::fputs("usage: monitor_peer hold READY STOP | keep-block READY STOP | kill-monitor | end-session | close | "
             "taskbar-created | keys READY STOP | post MSG W L | exit-within MS | hang DIR MS | "
             "lock FILE READY STOP\n",
             stderr);
  return 2;
}
