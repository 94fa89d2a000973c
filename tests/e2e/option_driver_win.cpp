// Drives and inspects a running Sarn[+]Option window for the end-to-end test, from the Windows side.
//   option_driver state              JSON: window count, rectangle, slot buttons, names, marks, tabs
//   option_driver click ID           a click on the control ID (posted, so a sent ApplyAll does not block us)
//   option_driver file-dialog PATH   waits for the window's file dialog, types PATH and presses OK
//   option_driver close              posts WM_CLOSE to the window
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/shared_block.h"
#include "common/text_encoding.h"
#include "option/main_window_win.h"

namespace {

struct Found {
  int count = 0;
  HWND first = nullptr;
};

BOOL CALLBACK CountTitle(HWND hwnd, LPARAM lp) {
  auto* f = reinterpret_cast<Found*>(lp);
  char title[128] = {};
  GetWindowTextA(hwnd, title, sizeof title);
  if (std::strcmp(title, sarn::kOptionWindowTitle) == 0) {
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

std::string TextOf(HWND hwnd) {
  wchar_t text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  return sarn::WideToUtf8(text);
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

int State() {
  const Found f = FindOption();
  std::string json = "{\"windows\":" + std::to_string(f.count);
  if (f.first != nullptr) {
    RECT r;
    GetWindowRect(f.first, &r);
    json += ",\"rect\":[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
            "," + std::to_string(r.bottom) + "]";
    auto list = [&](const char* name, int first, int n, bool text) {
      json += std::string(",\"") + name + "\":[";
      for (int i = 0; i < n; ++i) {
        HWND c = GetDlgItem(f.first, first + i);
        if (i > 0) json += ",";
        if (text) {
          json += Quote(TextOf(c));
        } else if (std::strcmp(name, "marked") == 0) {
          json += IsWindowVisible(c) ? "1" : "0";
        } else {
          json += SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0";
        }
      }
      json += "]";
    };
    list("slots", sarn::win::kIdSlotFirst, 5, false);
    list("names", sarn::win::kIdNameFirst, 5, true);
    list("marked", sarn::win::kIdMarkSetFirst, 5, false);
    list("tabs", sarn::win::kIdTabFirst, 5, false);
    json += ",\"apply_enabled\":" + std::string(IsWindowEnabled(GetDlgItem(f.first, sarn::win::kIdApply)) ? "1" : "0");
  }
  json += "}";
  std::printf("%s\n", json.c_str());
  return 0;
}

int Click(int id) {
  const Found f = FindOption();
  HWND c = f.first != nullptr ? GetDlgItem(f.first, id) : nullptr;
  if (c == nullptr) return 2;
  PostMessageW(c, BM_CLICK, 0, 0);
  return 0;
}

struct DialogSearch {
  DWORD process;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<DialogSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char cls[32] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (pid == s->process && std::strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd)) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

int FileDialog(const char* path) {
  const Found f = FindOption();
  if (f.first == nullptr) return 2;
  DialogSearch s = {0, nullptr};
  GetWindowThreadProcessId(f.first, &s.process);
  for (int i = 0; i < 300 && s.found == nullptr; ++i) {
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&s));
    if (s.found == nullptr) Sleep(100);
  }
  if (s.found == nullptr) return 3;
  // The file name box of the explorer-style dialog (a combo box with an edit, or a plain edit).
  const std::wstring wide = sarn::Utf8ToWide(path);
  HWND box = GetDlgItem(s.found, 0x47C);
  if (box == nullptr) box = GetDlgItem(s.found, 0x480);
  if (box == nullptr) return 4;
  SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  PostMessageW(s.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(s.found, IDOK)));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "state") == 0) return State();
  if (argc >= 3 && std::strcmp(argv[1], "click") == 0) return Click(std::atoi(argv[2]));
  if (argc >= 3 && std::strcmp(argv[1], "file-dialog") == 0) return FileDialog(argv[2]);
  if (argc >= 2 && std::strcmp(argv[1], "close") == 0) {
    const Found f = FindOption();
    if (f.first == nullptr) return 2;
    PostMessageW(f.first, WM_CLOSE, 0, 0);
    return 0;
  }
  std::fprintf(stderr, "usage: option_driver state | click ID | file-dialog PATH | close\n");
  return 2;
}
