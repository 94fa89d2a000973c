// Drives and inspects a running Sarn[+]Option window for the end-to-end tests, from the Windows side. The
// window's controls live inside its page windows, so they are found through the window's own description and
// pressed with real mouse and keyboard input at their places on the screen.
//   option_driver state               JSON: window count, rectangle, and the description of every control
//   option_driver click ID [PAGE]     a real click at the middle of control ID (of the main window, or of a page)
//   option_driver dblclick ID PAGE    a real double click there
//   option_driver click-at X Y        a real click at a screen point (an open menu's item)
//   option_driver move-to X Y         the pointer moved to a screen point, no click, no window brought forward
//   option_driver drag X0 Y0 X1 Y1    press at one screen point, move to the other in steps, release
//   option_driver move-to X Y         the pointer to a screen point, no button
//   option_driver record-keys SECONDS [timed] [COUNT]  records every key event of the desktop with a
//                                     low-level keyboard hook for that long, or until COUNT events and half a
//                                     second more: prints "ready", then one "VK down|up" line per event;
//                                     "timed" adds the millisecond (performance counter, 3 decimals) at which
//                                     the hook saw it and the event's own tick: "VK down|up MS TICK"
//   option_driver key VK [ctrl] [shift]  a real key press to the foreground window
//   option_driver key-sequence STEP...  real key events with measured gaps: each step is VKd, VKu (press,
//                                     release) or a number of milliseconds to wait; prints the milliseconds at
//                                     which each event was sent, one line per event
//   option_driver file-dialog PATH    waits for the window's file dialog, types PATH and presses OK
//   option_driver dialog-ok | dialog-cancel   presses OK or Cancel of the window's skinned dialog
//   option_driver dialog-title        waits for the window's skinned dialog and prints its title
//   option_driver dialog-rect         waits for it and prints its screen rectangle "L T R B"
//   option_driver dialog-click ID     a real click at the middle of its control ID
//   option_driver inner-dialog-ok     presses OK of the dialog that the skinned dialog itself opened
//   option_driver doubleclick-time    prints the system's double-click time
//   option_driver close               posts WM_CLOSE to the window
//   option_driver stalled-describe ID  asks the window to describe itself to a window of this process whose
//                                     thread then stops pumping, and while the window sends its answer there,
//                                     posts it command ID (a tab): prints the milliseconds until the command
//                                     was carried out (its visible page changed), or "stalled" after 5 s
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/shared_block.h"
#include "common/text_encoding.h"

namespace {

struct Found {
  int count = 0;
  HWND first = nullptr;
};

BOOL CALLBACK CountTitle(HWND hwnd, LPARAM lp) {
  auto* f = reinterpret_cast<Found*>(lp);
  char title[128] = {};
  GetWindowTextA(hwnd, title, sizeof title);
  // A message box of the window carries its title too; it is no main window.
  char cls[64] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (std::strcmp(title, sarn::kOptionWindowTitle) == 0 && std::strcmp(cls, "#32770") != 0) {
    if (f->first == nullptr) f->first = hwnd;
    ++f->count;
  }
  return TRUE;
}

Found FindOption() {
  Found f;
  EnumWindows(CountTitle, reinterpret_cast<LPARAM>(&f));
  return f;
}

std::string g_reply;

LRESULT CALLBACK ReplyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    g_reply.assign(static_cast<const char*>(data->lpData), data->cbData);
    return TRUE;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// The window's own description of its controls; empty when it does not answer.
std::string Describe(HWND window) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ReplyProc;
  wc.lpszClassName = L"SarnOptionDriverReply";
  RegisterClassW(&wc);
  HWND reply = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  const UINT message = RegisterWindowMessageW(L"SarnOption_Describe");
  DWORD_PTR result = 0;
  g_reply.clear();
  // The answer comes as a sent WM_COPYDATA while we wait here.
  SendMessageTimeoutW(window, message, reinterpret_cast<WPARAM>(reply), 0, SMTO_NORMAL, 10000, &result);
  DestroyWindow(reply);
  return g_reply;
}

int State() {
  const Found f = FindOption();
  std::string json = "{\"windows\":" + std::to_string(f.count);
  if (f.first != nullptr) {
    RECT r;
    GetWindowRect(f.first, &r);
    json += ",\"rect\":[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
            "," + std::to_string(r.bottom) + "]";
    json += ",\"foreground\":" + std::string(GetForegroundWindow() == f.first ? "1" : "0");
    const std::string described = Describe(f.first);
    if (!described.empty()) json += ",\"window\":" + described;
  }
  json += "}";
  std::printf("%s\n", json.c_str());
  return 0;
}

void MouseAt(int x, int y, DWORD flags) {
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dx = static_cast<LONG>((x * 65535LL + w / 2) / (w - 1));
  in.mi.dy = static_cast<LONG>((y * 65535LL + h / 2) / (h - 1));
  in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
  SendInput(1, &in, sizeof in);
}

void ClickAt(int x, int y, int times) {
  MouseAt(x, y, 0);
  Sleep(60);
  MouseAt(x, y, 0);  // a second move, so that hover has started where a person's pointer would have
  Sleep(60);
  for (int i = 0; i < times; ++i) {
    MouseAt(x, y, MOUSEEVENTF_LEFTDOWN);
    Sleep(20);
    MouseAt(x, y, MOUSEEVENTF_LEFTUP);
    Sleep(40);
  }
}

int Drag(int x0, int y0, int x1, int y1) {
  MouseAt(x0, y0, 0);
  Sleep(60);
  MouseAt(x0, y0, MOUSEEVENTF_LEFTDOWN);
  Sleep(40);
  for (int i = 1; i <= 10; ++i) {
    MouseAt(x0 + (x1 - x0) * i / 10, y0 + (y1 - y0) * i / 10, 0);
    Sleep(20);
  }
  MouseAt(x1, y1, MOUSEEVENTF_LEFTUP);
  Sleep(60);
  return 0;
}

int Key(unsigned vk, bool ctrl, bool shift) {
  auto press = [](unsigned key, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = static_cast<WORD>(key);
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
    Sleep(20);
  };
  if (ctrl) press(VK_CONTROL, false);
  if (shift) press(VK_SHIFT, false);
  press(vk, false);
  press(vk, true);
  if (shift) press(VK_SHIFT, true);
  if (ctrl) press(VK_CONTROL, true);
  return 0;
}

// Milliseconds of the performance counter: the clock both the sender and the recorder stamp with.
double NowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// A wait that ends within a fraction of a millisecond: sleep while more than 2 ms remain (the timer's
// resolution may be coarse), then spin.
void WaitUntilMs(double due) {
  for (double now = NowMs(); now < due; now = NowMs()) {
    if (due - now > 2.0) Sleep(1);
  }
}

struct RecordedKey {
  DWORD vk;
  bool down;
  double ms;
  DWORD tick;
};
std::vector<RecordedKey> g_keys;

LRESULT CALLBACK RecordKey(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp);
    g_keys.push_back({k->vkCode, wp == WM_KEYDOWN || wp == WM_SYSKEYDOWN, NowMs(), k->time});
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

// Steps "65d", "65u" or a wait in milliseconds; every gap is measured from the previous event's sending, so
// the time SendInput itself takes does not add up.
int KeySequence(int count, char** steps) {
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    std::strtoul(steps[i], &end, 0);
    if (end == steps[i] || !(*end == '\0' || ((*end == 'd' || *end == 'u') && end[1] == '\0'))) return 2;
  }
  timeBeginPeriod(1);
  std::vector<double> sent;
  double due = NowMs();
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(steps[i], &end, 0);
    if (*end == '\0') {
      due += static_cast<double>(value);
      continue;
    }
    WaitUntilMs(due);
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = static_cast<WORD>(value);
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(static_cast<UINT>(value), MAPVK_VK_TO_VSC));
    in.ki.dwFlags = *end == 'u' ? KEYEVENTF_KEYUP : 0;
    due = NowMs();
    SendInput(1, &in, sizeof in);
    sent.push_back(due);
  }
  timeEndPeriod(1);
  for (double ms : sent) std::printf("%.3f\n", ms);
  return 0;
}

// The hook runs on this thread while it waits for messages, so the thread pumps until the time is up.
// With a count, the window is only the limit: a slow desktop (program starts under load) must not cut the
// recording short, and half a second after the count still catches an event too many.
int RecordKeys(int seconds, bool timed, std::size_t count) {
  HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, RecordKey, GetModuleHandleW(nullptr), 0);
  if (hook == nullptr) return 3;
  std::printf("ready\n");
  std::fflush(stdout);
  ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    if (count > 0 && g_keys.size() >= count) end = std::min(end, GetTickCount64() + 500);
  }
  UnhookWindowsHookEx(hook);
  for (const RecordedKey& k : g_keys) {
    if (timed) {
      std::printf("%lu %s %.3f %lu\n", static_cast<unsigned long>(k.vk), k.down ? "down" : "up", k.ms,
                  static_cast<unsigned long>(k.tick));
    } else {
      std::printf("%lu %s\n", static_cast<unsigned long>(k.vk), k.down ? "down" : "up");
    }
  }
  return 0;
}

// The middle of control `id` in the description: of the main window ("main") or of page `page`.
bool ControlCentre(const std::string& json, int id, int page, int& x, int& y) {
  std::size_t from = 0;
  if (page >= 0) {
    from = json.find("\"pages\":[");
    if (from == std::string::npos) return false;
    from += 9;
    // Skip `page` page arrays by their brackets.
    for (int p = 0; p < page; ++p) {
      int depth = 0;
      for (; from < json.size(); ++from) {
        if (json[from] == '[') ++depth;
        if (json[from] == ']' && --depth == 0) break;
      }
      from = json.find('[', from + 1);
      if (from == std::string::npos) return false;
    }
  } else {
    from = json.find("\"main\":[");
    if (from == std::string::npos) return false;
  }
  const std::string key = "{\"id\":" + std::to_string(id) + ",\"rect\":[";
  std::size_t at = json.find(key, from);
  if (at == std::string::npos) return false;
  int l = 0, t = 0, r = 0, b = 0;
  if (std::sscanf(json.c_str() + at + key.size(), "%d,%d,%d,%d", &l, &t, &r, &b) != 4) return false;
  x = (l + r) / 2;
  y = (t + b) / 2;
  return true;
}

int ClickControl(int id, int page, int times) {
  const Found f = FindOption();
  if (f.first == nullptr) return 2;
  int x = 0, y = 0;
  if (!ControlCentre(Describe(f.first), id, page, x, y)) return 3;
  SetForegroundWindow(f.first);
  ClickAt(x, y, times);
  return 0;
}

struct DialogSearch {
  DWORD process;
  HWND owner;
  HWND found;
  bool common;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<DialogSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char cls[64] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  const bool match = s->common ? std::strcmp(cls, "#32770") == 0 : hwnd != s->owner && GetWindow(hwnd, GW_OWNER) == s->owner;
  if (pid == s->process && match && IsWindowVisible(hwnd)) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND WaitDialog(bool common) {
  const Found f = FindOption();
  if (f.first == nullptr) return nullptr;
  DialogSearch s = {0, f.first, nullptr, common};
  GetWindowThreadProcessId(f.first, &s.process);
  for (int i = 0; i < 300 && s.found == nullptr; ++i) {
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&s));
    if (s.found == nullptr) Sleep(100);
  }
  return s.found;
}

int FileDialog(const char* path) {
  HWND dialog = WaitDialog(true);
  if (dialog == nullptr) return 3;
  // The file name box of the explorer-style dialog (a combo box with an edit, or a plain edit).
  const std::wstring wide = sarn::Utf8ToWide(path);
  HWND box = GetDlgItem(dialog, 0x47C);
  if (box == nullptr) box = GetDlgItem(dialog, 0x480);
  if (box == nullptr) return 4;
  SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  return 0;
}

// The skinned dialogs are windows owned by the main window whose buttons are IDOK and IDCANCEL.
int SkinDialog(int button) {
  HWND dialog = WaitDialog(false);
  if (dialog == nullptr) return 3;
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  return 0;
}

}  // namespace

std::vector<HWND> VisibleChildren(HWND window) {
  std::vector<HWND> shown;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM lp) {
        if (IsWindowVisible(child)) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&shown));
  return shown;
}

struct DescribeRequest {
  HWND window;
  HWND replyTo;
};

DWORD WINAPI SendDescribe(void* parameter) {
  const auto* request = static_cast<const DescribeRequest*>(parameter);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(request->window, RegisterWindowMessageW(L"SarnOption_Describe"),
                      reinterpret_cast<WPARAM>(request->replyTo), 0, SMTO_NORMAL, 10000, &result);
  return 0;
}

// The answer's window belongs to this (main) thread, which never pumps again: its queue shows the answer's
// send waiting (GetQueueStatus reads the queue without taking anything from it), and the window is then
// inside that send when the command is posted. A window that waits for such an answer without a limit
// never carries the command out.
int StalledDescribe(int command) {
  const Found f = FindOption();
  if (f.first == nullptr) return 3;
  HWND stalled = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  (void)GetQueueStatus(QS_SENDMESSAGE);
  DescribeRequest request{f.first, stalled};
  HANDLE asker = CreateThread(nullptr, 0, SendDescribe, &request, 0, nullptr);
  if (asker == nullptr) return 3;
  const ULONGLONG asked = GetTickCount64();
  while ((GetQueueStatus(QS_SENDMESSAGE) & QS_SENDMESSAGE) == 0) {
    if (GetTickCount64() - asked > 5000) {
      std::printf("no answer was sent\n");
      return 4;
    }
    Sleep(1);
  }
  const std::vector<HWND> before = VisibleChildren(f.first);
  PostMessageW(f.first, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
  const ULONGLONG posted = GetTickCount64();
  while (VisibleChildren(f.first) == before) {
    if (GetTickCount64() - posted > 5000) {
      std::printf("stalled\n");
      return 0;  // ending the process ends the window's send as well
    }
    Sleep(5);
  }
  std::printf("%llu\n", GetTickCount64() - posted);
  return 0;
}

int main(int argc, char** argv) {
  auto is = [&](const char* name, int args) { return argc >= 2 + args && std::strcmp(argv[1], name) == 0; };
  if (is("state", 0)) return State();
  if (is("click", 1)) return ClickControl(std::atoi(argv[2]), argc >= 4 ? std::atoi(argv[3]) : -1, 1);
  if (is("dblclick", 2)) return ClickControl(std::atoi(argv[2]), std::atoi(argv[3]), 2);
  if (is("click-at", 2)) {
    ClickAt(std::atoi(argv[2]), std::atoi(argv[3]), 1);
    return 0;
  }
  if (is("move-to", 2)) {
    MouseAt(std::atoi(argv[2]) - 3, std::atoi(argv[3]), 0);
    Sleep(60);
    MouseAt(std::atoi(argv[2]), std::atoi(argv[3]), 0);
    Sleep(60);
    return 0;
  }
  if (is("record-keys", 1)) {
    bool timed = false;
    std::size_t count = 0;
    for (int i = 3; i < argc; ++i) {
      if (std::strcmp(argv[i], "timed") == 0) {
        timed = true;
      } else {
        count = static_cast<std::size_t>(std::strtoul(argv[i], nullptr, 10));
      }
    }
    return RecordKeys(std::atoi(argv[2]), timed, count);
  }
  if (is("key-sequence", 1)) return KeySequence(argc - 2, argv + 2);
  if (is("drag", 4)) return Drag(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
  if (is("key", 1)) {
    bool ctrl = false, shift = false;
    for (int i = 3; i < argc; ++i) {
      ctrl = ctrl || std::strcmp(argv[i], "ctrl") == 0;
      shift = shift || std::strcmp(argv[i], "shift") == 0;
    }
    return Key(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 0)), ctrl, shift);
  }
  if (is("file-dialog", 1)) return FileDialog(argv[2]);
  if (is("dialog-ok", 0)) return SkinDialog(IDOK);
  if (is("dialog-cancel", 0)) return SkinDialog(IDCANCEL);
  if (is("dialog-title", 0)) {
    HWND dialog = WaitDialog(false);
    if (dialog == nullptr) return 3;
    wchar_t title[128] = {};
    GetWindowTextW(dialog, title, 128);
    std::printf("%s\n", sarn::WideToUtf8(title).c_str());
    return 0;
  }
  if (is("dialog-rect", 0)) {
    HWND dialog = WaitDialog(false);
    if (dialog == nullptr) return 3;
    RECT r;
    GetWindowRect(dialog, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  if (is("dialog-click", 1)) {
    HWND dialog = WaitDialog(false);
    if (dialog == nullptr) return 3;
    HWND item = GetDlgItem(dialog, std::atoi(argv[2]));
    if (item == nullptr || !IsWindowVisible(item)) return 4;
    RECT r;
    GetWindowRect(item, &r);
    SetForegroundWindow(dialog);
    ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2, 1);
    return 0;
  }
  if (is("inner-dialog-ok", 0)) {
    HWND outer = WaitDialog(false);
    if (outer == nullptr) return 3;
    DialogSearch inner = {0, outer, nullptr, false};
    GetWindowThreadProcessId(outer, &inner.process);
    for (int i = 0; i < 100 && inner.found == nullptr; ++i) {
      EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&inner));
      if (inner.found == nullptr) Sleep(100);
    }
    if (inner.found == nullptr) return 4;
    PostMessageW(inner.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
  }
  if (is("doubleclick-time", 0)) {
    std::printf("%u\n", GetDoubleClickTime());
    return 0;
  }
  if (is("stalled-describe", 1)) return StalledDescribe(std::atoi(argv[2]));
  if (is("close", 0)) {
    const Found f = FindOption();
    if (f.first == nullptr) return 2;
    PostMessageW(f.first, WM_CLOSE, 0, 0);
    return 0;
  }
  std::fprintf(stderr, "usage: option_driver state | click ID [PAGE] | click-at X Y | move-to X Y | dblclick ID PAGE | drag X0 Y0 X1 Y1 | "
                       "record-keys SECONDS [timed] [COUNT] | key VK [ctrl] [shift] | key-sequence STEP... | file-dialog PATH | dialog-ok | dialog-cancel | dialog-title | dialog-rect | dialog-click ID | inner-dialog-ok | "
                       "doubleclick-time | close | stalled-describe ID\n");
  return 2;
}
