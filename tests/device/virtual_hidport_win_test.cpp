// The virtual mouse's hidport.dll under Windows: loaded through LoadDeviceLibrary from a freshly staged
// folder, driven through its control pipe as sarnctl drives it, its events received as window messages and
// its report log checked line by line.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "hidport/mouse_pipe.h"
#include "monitor/device/device_library.h"
#include "monitor/device/device_protocol.h"

namespace sarn {
namespace {

using vmouse::PipeStatus;
using vmouse::SendMouseCommand;

std::string ExeFolder() {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, n);
  return folder.erase(folder.find_last_of("\\/") + 1);
}

// A fresh program folder under the temporary folder, holding what `files` names from the test's own folder.
std::string StageFolder(const char* name) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  DeleteFileA((folder + "virtual-mouse.ini").c_str());
  DeleteFileA((folder + "report.log").c_str());
  return folder;
}

struct Message {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

class MessageWindow {
 public:
  MessageWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SarnDeviceTestWindow";
    RegisterClassA(&wc);
    hwnd = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
  ~MessageWindow() { DestroyWindow(hwnd); }

  // Collects device messages until `count` have come or the deadline passes.
  std::vector<std::string> Take(std::size_t count, int deadlineMs = 5000) {
    std::vector<std::string> got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
      MSG msg;
      while (PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE)) {
        char text[64];
        if (msg.message == kDeviceEventMessage) {
          std::snprintf(text, sizeof text, "event %08X", JoinDeviceEvent(msg.wParam, msg.lParam));
        } else if (msg.message == kDevicePresenceMessage) {
          std::snprintf(text, sizeof text, "presence %08X", PresenceCode(msg.wParam));
        } else {
          continue;
        }
        got.push_back(text);
      }
      if (got.size() < count) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_POSTMESSAGE);
    }
    return got;
  }

  HWND hwnd;
};

std::string Command(const std::string& line) {
  std::string reply;
  EXPECT_EQ(SendMouseCommand(line, reply), PipeStatus::kOk) << line;
  return reply;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(VirtualHidport, EntriesPipeEventsAndLog) {
  const std::string folder = StageFolder("sarn-vmouse");
  ASSERT_TRUE(CopyFileA((ExeFolder() + "hidport.dll").c_str(), (folder + "hidport.dll").c_str(), FALSE));
  const std::string logPath = folder + "report.log";
  SetEnvironmentVariableA("SARN_VIRTUAL_MOUSE_LOG", logPath.c_str());
  // A pipe of our own: other programs with a virtual mouse may run beside this test.
  const std::string pipe = R"(\\.\pipe\SarnVirtualMouseTest)" + std::to_string(GetCurrentProcessId());
  SetEnvironmentVariableA("SARN_VIRTUAL_MOUSE_PIPE", pipe.c_str());

  MessageWindow window;
  auto library = LoadDeviceLibrary(folder);
  ASSERT_TRUE(library->Bound());
  library->Open_DevMonitor(window.hwnd, kDeviceEventMessage, kDevicePresenceMessage);
  ASSERT_NE(library->Open_FeatureDevice(), 0);

  // Physical inputs through the pipe; the factory profile has mute on the shifted wheel button.
  EXPECT_EQ(Command("press 5"), "ok");
  EXPECT_EQ(Command("click 3"), "ok");
  EXPECT_EQ(Command("release 5"), "ok");
  EXPECT_EQ(Command("tilt left"), "ok");
  EXPECT_EQ(Command("event 0xA0000001"), "ok");
  EXPECT_EQ(window.Take(4), (std::vector<std::string>{"event F0000025", "event F0000125", "event 100000FF",
                                                      "event A0000001"}));
  EXPECT_EQ(Command("press 11").rfind("error ", 0), 0u);

  // Reports through the library: the monitor's protocol with the real clock.
  DeviceFlags flags;
  SharedBlock block{};
  ResetSettings(block, [] { return 1; });
  block.CurrentProfile = 2;
  DeviceProtocol protocol(*library, SystemDeviceClock(), flags, block);
  EXPECT_EQ(protocol.WriteActiveProfile(), 1);
  EXPECT_EQ(Command("busy 1"), "ok");
  EXPECT_EQ(protocol.WriteHostMode(true), 1);
  std::uint8_t unknown[3] = {8, 0, 0};
  EXPECT_EQ(library->GetFeature(unknown, 3), 0);

  const std::string state = Command("state");
  EXPECT_EQ(state.rfind(R"(ok {"active":2,"hostMode":1,"firmware":128,)", 0), 0u) << state;

  EXPECT_EQ(Command("unplug"), "ok");
  EXPECT_EQ(library->SetFeature(unknown, 3), 0);
  EXPECT_EQ(library->Open_FeatureDevice(), 0);
  EXPECT_EQ(Command("plug"), "ok");
  EXPECT_EQ(window.Take(2), (std::vector<std::string>{"presence 7F000002", "presence 7F000001"}));
  EXPECT_NE(library->Open_FeatureDevice(), 0);

  library->Close_DevMonitor();
  library->Close_FeatureDevice();
  library.reset();
  std::string reply;
  EXPECT_EQ(SendMouseCommand("state", reply, 200), PipeStatus::kNoServer);

  const std::vector<std::string> lines = ReadLines(logPath);
  const std::regex format(R"(\d+ (SET|GET) (ok|fail)( [0-9A-F]{2})*)");
  std::vector<std::string> withoutTimes;
  long previous = -1;
  for (const auto& line : lines) {
    EXPECT_TRUE(std::regex_match(line, format)) << line;
    const long ms = std::stol(line);
    EXPECT_GE(ms, previous);
    previous = ms;
    withoutTimes.push_back(line.substr(line.find(' ') + 1));
  }
  EXPECT_EQ(withoutTimes, (std::vector<std::string>{"SET ok 05 03 02", "GET ok 04 01 00", "SET ok 0A 03 01",
                                                    "GET ok 04 03 00", "GET ok 04 01 00", "GET fail 08 00 00",
                                                    "SET fail 08 00 00"}));
  // The ready poll follows its write after the 100 ms first wait.
  ASSERT_GE(lines.size(), 2u);
  EXPECT_GE(std::stol(lines[1]) - std::stol(lines[0]), 95);

  // The mouse keeps its memory across loads.
  SetEnvironmentVariableA("SARN_VIRTUAL_MOUSE_LOG", nullptr);
  library = LoadDeviceLibrary(folder);
  library->Open_DevMonitor(window.hwnd, kDeviceEventMessage, kDevicePresenceMessage);
  EXPECT_EQ(Command("state").rfind(R"(ok {"active":2,)", 0), 0u);
  library->Close_DevMonitor();
  library->Close_FeatureDevice();
}

// A folder named outside the system code page and longer than MAX_PATH: the library loads from it, finds
// itself there, and keeps its memory and its report log in it.
TEST(VirtualHidport, FolderOutsideTheCodePageAndPastMaxPath) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"\u0141ukasz \u6d4b\u8bd5-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  for (wchar_t part : {L'a', L'b'}) {
    folder += L"\\" + std::wstring(120, part);
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  folder += L"\\";
  ASSERT_GT(folder.size(), static_cast<std::size_t>(MAX_PATH));
  const std::wstring memory = folder + L"virtual-mouse.ini";
  const std::wstring log = folder + L"report.log";
  DeleteFileW(memory.c_str());
  DeleteFileW(log.c_str());
  const std::wstring beside = std::filesystem::path(ExeFolder() + "hidport.dll").wstring();
  ASSERT_TRUE(CopyFileW(beside.c_str(), (folder + L"hidport.dll").c_str(), FALSE));
  SetEnvironmentVariableW(L"SARN_VIRTUAL_MOUSE_LOG", log.c_str());
  SetEnvironmentVariableA("SARN_VIRTUAL_MOUSE_PIPE",
                          (R"(\\.\pipe\SarnVirtualMouseWide)" + std::to_string(GetCurrentProcessId())).c_str());

  MessageWindow window;
  auto library = LoadDeviceLibrary(std::filesystem::path(folder));
  ASSERT_TRUE(library->Bound());
  library->Open_DevMonitor(window.hwnd, kDeviceEventMessage, kDevicePresenceMessage);
  ASSERT_NE(library->Open_FeatureDevice(), 0);
  DeviceFlags flags;
  SharedBlock block{};
  ResetSettings(block, [] { return 1; });
  block.CurrentProfile = 3;
  DeviceProtocol protocol(*library, SystemDeviceClock(), flags, block);
  EXPECT_EQ(protocol.WriteActiveProfile(), 1);
  library->Close_DevMonitor();
  library->Close_FeatureDevice();
  library.reset();
  SetEnvironmentVariableW(L"SARN_VIRTUAL_MOUSE_LOG", nullptr);

  EXPECT_NE(GetFileAttributesW(memory.c_str()), INVALID_FILE_ATTRIBUTES) << "no memory kept beside the library";
  EXPECT_NE(GetFileAttributesW(log.c_str()), INVALID_FILE_ATTRIBUTES) << "no report log";
}

TEST(VirtualHidport, MissingLibraryOrEntriesIsAnAbsentMouse) {
  const std::string empty = StageFolder("sarn-nomouse");
  DeleteFileA((empty + "hidport.dll").c_str());
  auto none = LoadDeviceLibrary(empty);
  EXPECT_FALSE(none->Bound());
  EXPECT_EQ(none->Open_FeatureDevice(), 0);

  // A library that loads but has none of the entries.
  const std::string other = StageFolder("sarn-otherdll");
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  ASSERT_TRUE(CopyFileA((std::string(system) + "\\version.dll").c_str(), (other + "hidport.dll").c_str(), FALSE));
  auto wrong = LoadDeviceLibrary(other);
  EXPECT_FALSE(wrong->Bound());
  std::uint8_t buffer[3] = {4, 0, 0};
  EXPECT_EQ(wrong->GetFeature(buffer, 3), 0);
  EXPECT_EQ(wrong->Open_DevMonitor(nullptr, kDeviceEventMessage, kDevicePresenceMessage), 0);
}

}  // namespace
}  // namespace sarn

namespace sarn {
namespace {

// The library for the mouse on USB loads and runs its entries with the development list beside it; Wine has
// no such mouse.
TEST(RealHidport, LoadsAndFindsNoMouse) {
  MessageWindow window;
  auto library = LoadDeviceLibrary(ExeFolder() + "real\\");
  ASSERT_TRUE(library->Bound());
  EXPECT_NE(library->Open_DevMonitor(window.hwnd, kDeviceEventMessage, kDevicePresenceMessage), 0);
  EXPECT_EQ(library->Open_FeatureDevice(), 0);
  std::uint8_t report[3] = {5, 3, 0};
  EXPECT_EQ(library->SetFeature(report, 3), 0);
  EXPECT_EQ(library->GetFeature(report, 3), 0);
  EXPECT_EQ(library->GetMousePID(), 0) << "no mouse open, and no id of its own";
  library->Close_DevMonitor();
  library->Close_FeatureDevice();
  EXPECT_TRUE(window.Take(1, 100).empty());
}

}  // namespace
}  // namespace sarn
