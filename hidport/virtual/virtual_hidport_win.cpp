// hidport.dll of the virtual mouse: the seven library entries over the firmware emulation, the control pipe,
// the report log, and the on-board memory kept in "virtual-mouse.ini" beside the DLL.
//
// Nothing starts in DllMain: the pipe thread starts with Open_DevMonitor and ends with Close_DevMonitor,
// which the monitor calls before it frees the library.
#include <windows.h>

#include <filesystem>
#include <mutex>
#include <string>

#include "common/module_path_win.h"
#include "common/private_profile.h"
#include "hidport/device_ids.h"
#include "hidport/mouse_pipe.h"
#include "hidport/virtual_mouse.h"
#include "hidport/window_sink_win.h"
#include "monitor/device/device_library.h"

namespace {

using sarn::vmouse::VirtualMouse;

HMODULE gModule = nullptr;
LARGE_INTEGER gLoadedAt{};

struct Library {
  std::mutex mutex;  // one caller at a time: monitor threads and the pipe thread
  sarn::hid::WindowSink sink;
  VirtualMouse mouse{&sink};
  sarn::vmouse::MousePipeServer pipe;
  std::filesystem::path iniPath;
  bool loaded = false;

  // The first entry call reads the on-board memory (a missing file is a factory-fresh mouse).
  void EnsureLoaded() {
    if (loaded) return;
    loaded = true;
    const std::filesystem::path folder = sarn::ModuleFolder(gModule);
    if (folder.empty()) return;  // nowhere to keep the memory: a factory-fresh mouse that forgets
    iniPath = folder / L"virtual-mouse.ini";
    sarn::IniDocument document;
    if (sarn::LoadIniFile(iniPath, document)) {
      mouse.Load(document);
      (void)mouse.TakeMemoryChanged();
    }
  }

  void SaveIfChanged() {
    if (!mouse.TakeMemoryChanged() || iniPath.empty()) return;
    sarn::IniDocument document;
    (void)sarn::LoadIniFile(iniPath, document);
    mouse.Save(document);
    (void)sarn::SaveIniFile(iniPath, document);  // a failed save loses nothing the mouse needs now
  }

  std::string Command(std::string_view line) {
    std::lock_guard<std::mutex> lock(mutex);
    EnsureLoaded();
    std::string reply = sarn::vmouse::ExecuteControlCommand(mouse, line);
    SaveIfChanged();
    return reply;
  }
};

// Never destroyed: a library unloaded without Close_DevMonitor must not run a thread's destructor in the
// loader lock.
Library& Lib() {
  static Library* library = new Library;
  return *library;
}

void Log(bool set, int ok, const unsigned char* buffer, int length) {
  // The log lies where the test says, often in a folder named outside the system code page: wide all through.
  const DWORD size = GetEnvironmentVariableW(L"SARN_VIRTUAL_MOUSE_LOG", nullptr, 0);
  if (size == 0) return;
  std::wstring path(size, L'\0');
  const DWORD n = GetEnvironmentVariableW(L"SARN_VIRTUAL_MOUSE_LOG", path.data(), size);
  if (n == 0 || n >= size) return;
  path.resize(n);
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  const std::int64_t ms = (now.QuadPart - gLoadedAt.QuadPart) * 1000 / frequency.QuadPart;
  const std::string line =
      sarn::vmouse::FormatReportLogLine(ms, set, ok != 0, buffer, length > 0 ? length : 0) + "\n";
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    gModule = instance;
    QueryPerformanceCounter(&gLoadedAt);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

int SARN_HIDPORT_CALL Open_DevMonitor(void* window, unsigned eventMessage, unsigned presenceMessage) {
  Library& lib = Lib();
  {
    std::lock_guard<std::mutex> lock(lib.mutex);
    lib.EnsureLoaded();
    lib.sink.Attach(static_cast<HWND>(window), eventMessage, presenceMessage);
  }
  lib.pipe.Start([&lib](std::string_view line) { return lib.Command(line); });
  return 1;
}

int SARN_HIDPORT_CALL Open_FeatureDevice() {
  Library& lib = Lib();
  std::lock_guard<std::mutex> lock(lib.mutex);
  lib.EnsureLoaded();
  return lib.mouse.OpenFeature();
}

int SARN_HIDPORT_CALL Close_DevMonitor() {
  Library& lib = Lib();
  {
    std::lock_guard<std::mutex> lock(lib.mutex);
    lib.sink.Detach();
  }
  lib.pipe.Stop();  // outside the lock: the pipe thread may be waiting for it
  return 1;
}

int SARN_HIDPORT_CALL Close_FeatureDevice() {
  Library& lib = Lib();
  std::lock_guard<std::mutex> lock(lib.mutex);
  lib.mouse.CloseFeature();
  return 1;
}

int SARN_HIDPORT_CALL SetFeature(unsigned char* buffer, int length) {
  Library& lib = Lib();
  std::lock_guard<std::mutex> lock(lib.mutex);
  lib.EnsureLoaded();
  const int result = lib.mouse.SetFeature(buffer, length);
  Log(true, result, buffer, length);
  lib.SaveIfChanged();
  return result;
}

int SARN_HIDPORT_CALL GetFeature(unsigned char* buffer, int length) {
  Library& lib = Lib();
  std::lock_guard<std::mutex> lock(lib.mutex);
  lib.EnsureLoaded();
  const int result = lib.mouse.GetFeature(buffer, length);
  Log(false, result, buffer, length);
  return result;
}

int SARN_HIDPORT_CALL GetMousePID() { return sarn::hid::kProductId; }

}  // extern "C"
