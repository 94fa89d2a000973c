// Start-up time of a windowed program: from CreateProcess to its top-level window with the given title being
// visible, repeated, against a minimal dialog program measured in the same run.
//   option_startup RUNS [EXE TITLE]...      prints one line per program: name, median and best in ms
//   option_startup --dialog                 is the minimal dialog program itself (the baseline)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kBaselineTitle = L"Sarn bench minimal dialog";

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_INITDIALOG) {
    SetWindowTextW(dlg, kBaselineTitle);
    return TRUE;
  }
  if (msg == WM_CLOSE || (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL)) {
    EndDialog(dlg, 0);
    return TRUE;
  }
  return FALSE;
}

// The smallest honest dialog program: an in-memory template, one static text, a button.
int RunDialog() {
  alignas(4) static WORD buffer[256] = {};
  auto* t = reinterpret_cast<DLGTEMPLATE*>(buffer);
  t->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_SETFONT | WS_VISIBLE;
  t->cdit = 0;
  t->cx = 200;
  t->cy = 100;
  WORD* p = reinterpret_cast<WORD*>(t + 1);
  *p++ = 0;  // no menu
  *p++ = 0;  // default class
  *p++ = 0;  // no title (set at WM_INITDIALOG)
  *p++ = 9;  // font size
  for (const wchar_t* f = L"Tahoma"; *f; ++f) *p++ = static_cast<WORD>(*f);
  *p++ = 0;
  return static_cast<int>(DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t, nullptr, DialogProc, 0));
}

std::wstring Wide(const char* s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s, -1, w.data(), n);
  w.resize(static_cast<std::size_t>(n > 0 ? n - 1 : 0));
  return w;
}

// One start: milliseconds until the window is visible, or -1.
double StartOnce(const std::wstring& exe, const std::wstring& args, const std::wstring& title) {
  std::wstring command = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
  std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/") + 1);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  const double start = Now();
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
    return -1;
  }
  double shown = -1;
  while (Now() - start < 60000) {
    HWND w = FindWindowW(nullptr, title.c_str());
    if (w != nullptr && IsWindowVisible(w)) {
      shown = Now() - start;
      PostMessageW(w, WM_CLOSE, 0, 0);
      break;
    }
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
    Sleep(1);
  }
  if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return shown;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "--dialog") return RunDialog();
  if (argc < 2) {
    std::fprintf(stderr, "usage: option_startup RUNS [EXE TITLE]...\n");
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[1]));
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  struct Program {
    std::string name;
    std::wstring exe, args, title;
    std::vector<double> times;
  };
  std::vector<Program> programs = {{"minimal dialog", self, L"--dialog", kBaselineTitle, {}}};
  for (int i = 2; i + 1 < argc; i += 2) programs.push_back({argv[i], Wide(argv[i]), L"", Wide(argv[i + 1]), {}});
  // Interleaved, so that a noisy moment hurts every program alike.
  for (int r = 0; r < runs + 1; ++r) {
    for (Program& p : programs) {
      const double ms = StartOnce(p.exe, p.args, p.title);
      if (ms < 0) {
        std::fprintf(stderr, "%s: the window did not appear\n", p.name.c_str());
        return 1;
      }
      if (r > 0) p.times.push_back(ms);  // the first round warms the caches
    }
  }
  const double base = [&] {
    auto t = programs[0].times;
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
  }();
  for (Program& p : programs) {
    std::sort(p.times.begin(), p.times.end());
    const double median = p.times[p.times.size() / 2];
    std::printf("%-40s median %7.1f ms  best %7.1f ms  ratio %.2f\n", p.name.c_str(), median, p.times.front(),
                median / base);
  }
  return 0;
}
