// Sarn[+]OSD.exe itself, started from a folder of its own beside the test program and driven by the messages
// the monitor posts. The helpers (StartDisplay, WaitForDisplayText) are what a monitor-driven test needs too.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "common/messages.h"
#include "common/module_path_win.h"
#include "osd/osd_window_win.h"

namespace sarn {
namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kFiveStyles = WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST;

// Handles this thread's messages while it waits, so that our own window stays a well-behaved foreground.
void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    Pump();
    if (condition()) return true;
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::wstring WindowText(HWND hwnd) {
  wchar_t text[512] = {};
  DWORD_PTR length = 0;
  // Through a message with a time limit, as another program would ask (GetWindowText reads only its own).
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                           2000, &length)) {
    return {};
  }
  return std::wstring(text, length);
}

HWND MainWindow() { return FindWindowA(nullptr, kOsdWindowTitle); }
HWND DisplayWindow() { return FindWindowW(win::kOsdDisplayClass, nullptr); }

// The display's window while it shows a text containing `part`; nullptr when that did not happen in time.
HWND WaitForDisplayText(const std::wstring& part, std::chrono::milliseconds limit) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        HWND display = DisplayWindow();
        if (display == nullptr || !IsWindowVisible(display)) return false;
        if (WindowText(display).find(part) == std::wstring::npos) return false;
        found = display;
        return true;
      },
      limit);
  return found;
}

int VisibleWindowsOf(DWORD processId) {
  struct Count {
    DWORD pid;
    int n = 0;
  } count{processId};
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* c = reinterpret_cast<Count*>(data);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == c->pid && IsWindowVisible(hwnd)) ++c->n;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count.n;
}

LRESULT CALLBACK FrontProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class OsdProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = ModuleFolder(nullptr) / L"osd-run";
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    std::filesystem::create_directories(folder_);
    std::filesystem::copy_file(ModuleFolder(nullptr) / L"osd" / L"Sarn[+]OSD.exe", folder_ / L"Sarn[+]OSD.exe");
    // Long enough that nothing fades while a test looks, unless a test says otherwise.
    WriteConfig("[OnScreenDisplay]\r\nDuration=30000\r\n");
    process_ = StartDisplay();
    ASSERT_NE(process_.hProcess, nullptr);
    ASSERT_TRUE(WaitFor([] { return MainWindow() != nullptr; }, std::chrono::seconds(20)))
        << "the display's main window did not appear";
    main_ = MainWindow();
  }

  void TearDown() override {
    if (front_ != nullptr) DestroyWindow(front_);
    if (process_.hProcess == nullptr) return;
    if (HWND main = MainWindow()) PostMessageW(main, WM_CLOSE, 0, 0);
    const DWORD ended = WaitForSingleObject(process_.hProcess, 10000);
    EXPECT_EQ(ended, WAIT_OBJECT_0) << "WM_CLOSE did not end the display";
    if (ended != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  void WriteConfig(const std::string& text) {
    std::ofstream(folder_ / L"config.ini", std::ios::binary) << text;
  }

  PROCESS_INFORMATION StartDisplay() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + (folder_ / L"Sarn[+]OSD.exe").wstring() + L"\"";
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(), &startup,
                        &info)) {
      return {};
    }
    return info;
  }

  // A window of our own in front, as a game or an editor would be.
  HWND BringOwnWindowForward() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = FrontProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = L"OsdTestFront";
    RegisterClassW(&windowClass);
    front_ = CreateWindowExW(0, L"OsdTestFront", L"In front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 1000, 880,
                             nullptr, nullptr, windowClass.hInstance, nullptr);
    SetForegroundWindow(front_);
    WaitFor([&] { return GetForegroundWindow() == front_; }, std::chrono::seconds(5));
    return front_;
  }

  // Sent, not posted, where a test must know the message was handled before it looks.
  void Send(UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR ignored = 0;
    ASSERT_NE(SendMessageTimeoutW(main_, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &ignored), 0);
  }

  std::filesystem::path folder_;
  PROCESS_INFORMATION process_{};
  HWND main_ = nullptr;
  HWND front_ = nullptr;
};

TEST_F(OsdProgramTest, ShowsADpiChangeWithoutTakingTheFocus) {
  HWND front = BringOwnWindowForward();
  HWND before = GetForegroundWindow();
  ASSERT_NE(before, nullptr);

  ASSERT_TRUE(PostMessageW(main_, kMsgOsdShow, static_cast<WPARAM>(OsdEvent::kDpi), 4));
  HWND display = WaitForDisplayText(L"1600", std::chrono::seconds(1));
  ASSERT_NE(display, nullptr) << "no display with 1600 within a second";
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(display, GWL_EXSTYLE)) & kFiveStyles, kFiveStyles);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(display, GWL_STYLE)) & WS_POPUP, static_cast<DWORD>(WS_POPUP));
  Pump();
  EXPECT_EQ(GetForegroundWindow(), before);
  EXPECT_EQ(GetForegroundWindow(), front);
  // The main window keeps its title and stays hidden: the monitor still finds it.
  EXPECT_EQ(MainWindow(), main_);
  EXPECT_FALSE(IsWindowVisible(main_));
  RECT place{};
  GetWindowRect(display, &place);
  EXPECT_GT(place.right - place.left, 0);
  EXPECT_GT(place.bottom - place.top, 0);

  // For a screenshot of the display over our window: SARN_OSD_HOLD_MS keeps both up that long.
  if (const char* hold = std::getenv("SARN_OSD_HOLD_MS")) {
    WaitFor([] { return false; }, std::chrono::milliseconds(std::atoi(hold)));
  }
}

TEST_F(OsdProgramTest, QuickChangesLeaveOneWindowWithTheLast) {
  // Posted messages are handled in order, so 3200 (only the last) shows once all ten were handled.
  const long codes[] = {1, 2, 4, 1, 2, 4, 2, 1, 4, 7};
  for (long code : codes) PostMessageW(main_, kMsgOsdShow, static_cast<WPARAM>(OsdEvent::kDpi), code);
  HWND display = WaitForDisplayText(L"3200", std::chrono::seconds(5));
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(WindowText(display), L"3200 DPI");
  DWORD pid = 0;
  GetWindowThreadProcessId(display, &pid);
  EXPECT_EQ(VisibleWindowsOf(pid), 1);
}

TEST_F(OsdProgramTest, ShowsTheStoredNotificationText) {
  WriteConfig("[OnScreenDisplay]\r\nDuration=30000\r\n[OSDData]\r\nMessage=Build finished\r\n");
  PostMessageW(main_, kMsgOsdText, 50, 0);
  HWND display = WaitForDisplayText(L"Build finished", std::chrono::seconds(5));
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(WindowText(display), L"Build finished");
}

TEST_F(OsdProgramTest, FadesAwayAfterItsDurationAndObeysTheOffSwitch) {
  WriteConfig("[OnScreenDisplay]\r\nDuration=500\r\n");
  Send(kMsgOsdSettings, 0, 0);
  Send(kMsgOsdShow, static_cast<WPARAM>(OsdEvent::kSensitivityUp), 6);
  HWND display = DisplayWindow();
  ASSERT_NE(display, nullptr);
  EXPECT_TRUE(IsWindowVisible(display));
  EXPECT_EQ(WindowText(display), L"Sensitivity up: 6");
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(display); }, std::chrono::seconds(10))) << "never faded";

  // Switched off through ApplyAll's reload: a change shows nothing.
  WriteConfig("[OnScreenDisplay]\r\nEnabled=0\r\n");
  Send(kMsgApplyAll, 0, 0);
  Send(kMsgOsdShow, static_cast<WPARAM>(OsdEvent::kDpi), 2);
  EXPECT_FALSE(IsWindowVisible(display));
}

// No monitor runs here, so the name comes from the slot file; the language follows config.ini on each reload.
TEST_F(OsdProgramTest, ProfileNamesInTheChosenLanguage) {
  std::filesystem::copy(ModuleFolder(nullptr) / L"help", folder_ / L"help");
  std::filesystem::create_directories(folder_ / L"config");
  std::ofstream(folder_ / L"config" / L"Default2.zmp", std::ios::binary) << "[Setting]\r\nProFileName=Sniper\r\n";
  WriteConfig("[Setting]\r\nQuickHelpLan=1\r\n[OnScreenDisplay]\r\nDuration=30000\r\n");
  Send(kMsgOsdSettings, 0, 0);
  Send(kMsgOsdShow, static_cast<WPARAM>(OsdEvent::kWindowsProfile), 2);
  HWND display = DisplayWindow();
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(WindowText(display), L"Windows profile: Profile 3: Sniper");

  WriteConfig("[Setting]\r\nQuickHelpLan=4\r\n[OnScreenDisplay]\r\nDuration=30000\r\n");  // German
  Send(kMsgOsdSettings, 0, 0);
  Send(kMsgOsdShow, static_cast<WPARAM>(OsdEvent::kProfile), 2);
  EXPECT_EQ(WindowText(display), L"Profil 3: Sniper");
  Send(kMsgOsdShow, static_cast<WPARAM>(OsdEvent::kProfile), 0);
  EXPECT_EQ(WindowText(display), L"Profil 1");  // no slot file: no name
}

TEST_F(OsdProgramTest, ASettingsFileHeldOpenKeepsTheSettings) {
  WriteConfig("[OnScreenDisplay]\r\nEnabled=0\r\n");
  Send(kMsgOsdSettings, 0, 0);
  // Held without sharing, as a backup program may hold it while the monitor forwards an Apply.
  HANDLE held = CreateFileW((folder_ / L"config.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Send(kMsgOsdSettings, 0, 0);
  Send(kMsgOsdShow, static_cast<WPARAM>(OsdEvent::kDpi), 2);
  CloseHandle(held);
  HWND display = DisplayWindow();
  ASSERT_NE(display, nullptr);
  EXPECT_FALSE(IsWindowVisible(display)) << "the off switch was lost while the file could not be read";
}

TEST_F(OsdProgramTest, ASecondStartEndsQuietly) {
  PROCESS_INFORMATION second = StartDisplay();
  ASSERT_NE(second.hProcess, nullptr);
  EXPECT_EQ(WaitForSingleObject(second.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(second.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(second.hThread);
  CloseHandle(second.hProcess);
  EXPECT_EQ(MainWindow(), main_);
}

}  // namespace
}  // namespace sarn
