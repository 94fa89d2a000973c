// osd_probe: what the on-screen display shows, for end-to-end scripts that cannot call Win32 themselves.
//   osd_probe wait TEXT MS      waits up to MS milliseconds for the display to show a text containing TEXT
//                               (UTF-8); prints the shown text; 0 when it did, 1 when not
//   osd_probe text              prints the shown text; 0 when the display shows something, 1 when hidden
//   osd_probe post EVENT VALUE  posts OsdShow (EVENT, VALUE) to the display's main window; 0 when posted
//   osd_probe close             posts WM_CLOSE to it, as the monitor does at its end; 0 when posted
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "common/messages.h"
#include "common/text_encoding.h"

namespace {

// The display window's text while it is visible; nothing while it is hidden or missing.
bool ShownText(std::wstring& text) {
  HWND display = FindWindowW(L"SarnOsdDisplay", nullptr);
  if (display == nullptr || !IsWindowVisible(display)) return false;
  wchar_t buffer[512] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(display, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, 2000, &length)) {
    return false;
  }
  text.assign(buffer, length);
  return true;
}

void Print(const std::wstring& text) { std::printf("%s\n", sarn::WideToUtf8(text).c_str()); }

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "wait" && argc == 4) {
    const std::wstring wanted = sarn::Utf8ToWide(argv[2]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atoi(argv[3]));
    std::wstring text;
    for (;;) {
      if (ShownText(text) && text.find(wanted) != std::wstring::npos) {
        Print(text);
        return 0;
      }
      if (std::chrono::steady_clock::now() > deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Print(text);
    return 1;
  }
  if (mode == "text" && argc == 2) {
    std::wstring text;
    const bool shown = ShownText(text);
    Print(text);
    return shown ? 0 : 1;
  }
  if (mode == "post" && argc == 4) {
    HWND main = FindWindowA(nullptr, sarn::kOsdWindowTitle);
    return main != nullptr && PostMessageA(main, sarn::kMsgOsdShow, std::strtoul(argv[2], nullptr, 10),
                                           std::strtol(argv[3], nullptr, 10))
               ? 0
               : 1;
  }
  if (mode == "close" && argc == 2) {
    HWND main = FindWindowA(nullptr, sarn::kOsdWindowTitle);
    return main != nullptr && PostMessageA(main, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  std::fprintf(stderr, "usage: osd_probe wait TEXT MS | text | post EVENT VALUE | close\n");
  return 2;
}
