// The on-screen display's baseline: the least a display of the same kind does. A hidden layered, topmost,
// click-through popup that, on OsdShow, takes the text, shows itself without activation, paints at once and
// hides again after DURATION ms. No settings, no other windows, no timers while hidden.
// Usage: osd_baseline.exe [TITLE [DURATION_MS]]   (defaults "osd_bench baseline", 500)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "common/messages.h"

namespace {

wchar_t g_text[64] = L"";
UINT g_durationMs = 500;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case sarn::kMsgOsdShow:
      std::swprintf(g_text, sizeof g_text / sizeof g_text[0], L"event %u: %d", static_cast<unsigned>(wParam),
                    static_cast<int>(lParam));
      InvalidateRect(hwnd, nullptr, TRUE);
      ShowWindow(hwnd, SW_SHOWNOACTIVATE);
      UpdateWindow(hwnd);
      SetTimer(hwnd, 1, g_durationMs, nullptr);
      return 0;
    case WM_TIMER:
      KillTimer(hwnd, 1);
      ShowWindow(hwnd, SW_HIDE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(255, 255, 255));
      DrawTextW(dc, g_text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const int argc = __argc;
  char** argv = __argv;
  const char* title = argc >= 2 ? argv[1] : "osd_bench baseline";
  if (argc >= 3) g_durationMs = static_cast<UINT>(std::strtoul(argv[2], nullptr, 10));
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.lpszClassName = L"OsdBenchBaseline";
  RegisterClassW(&windowClass);
  HWND hwnd = CreateWindowExA(WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT,
                              "OsdBenchBaseline", title, WS_POPUP, 40, 40, 320, 64, nullptr, nullptr, instance,
                              nullptr);
  if (hwnd == nullptr) {
    std::fprintf(stderr, "osd_baseline: no window (%lu)\n", GetLastError());
    return 1;
  }
  SetLayeredWindowAttributes(hwnd, 0, 220, LWA_ALPHA);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
