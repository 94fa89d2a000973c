// hidport.dll for the mouse on USB: the seven library entries over the Windows HID API. The mouse's input
// reports are read on a thread of its own and posted as DeviceEvent; arrival and removal come from device
// notifications and are posted as DevicePresence. Threads start with Open_DevMonitor, never in DllMain.
// Which mice it looks for is read from the device list beside it (mice.ini, mice.user.ini): no id is
// compiled in.
#include <windows.h>

#include "common/module_path_win.h"
#include "hidport/device_list.h"
#include "hidport/hid_api_win.h"
#include "hidport/hid_mouse.h"
#include "hidport/window_sink_win.h"
#include "monitor/device/device_library.h"

namespace {

HMODULE gModule = nullptr;

struct Library {
  sarn::hid::WindowSink sink;
  sarn::hid::WinHidApi api;
  sarn::hid::HidMouse mouse{api, sink};
  sarn::hid::HidWatcher watcher;
};

// Never destroyed: a library freed without Close_DevMonitor must not end threads in the loader lock.
Library& Lib() {
  static Library* library = new Library;
  return *library;
}

// Read at each open, so an entry added with `sarnctl device add` counts from the monitor's next start or the
// mouse's next arrival without a new library.
void LoadList(Library& lib) {
  const std::filesystem::path folder = sarn::ModuleFolder(gModule);
  lib.mouse.SetDeviceList(folder.empty() ? sarn::hid::DeviceList{} : sarn::hid::LoadDeviceList(folder));
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    gModule = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

int SARN_HIDPORT_CALL Open_DevMonitor(void* window, unsigned eventMessage, unsigned presenceMessage) {
  Library& lib = Lib();
  lib.sink.Attach(static_cast<HWND>(window), eventMessage, presenceMessage);
  LoadList(lib);
  lib.mouse.OpenDevMonitor();
  lib.watcher.Start([&lib] { lib.mouse.DevicesChanged(); });
  return 1;
}

int SARN_HIDPORT_CALL Open_FeatureDevice() {
  Library& lib = Lib();
  LoadList(lib);
  return lib.mouse.OpenFeatureDevice();
}

int SARN_HIDPORT_CALL Close_DevMonitor() {
  Library& lib = Lib();
  lib.watcher.Stop();
  lib.mouse.CloseDevMonitor();
  lib.sink.Detach();
  return 1;
}

int SARN_HIDPORT_CALL Close_FeatureDevice() { return Lib().mouse.CloseFeatureDevice(); }

int SARN_HIDPORT_CALL SetFeature(unsigned char* buffer, int length) { return Lib().mouse.SetFeature(buffer, length); }

int SARN_HIDPORT_CALL GetFeature(unsigned char* buffer, int length) { return Lib().mouse.GetFeature(buffer, length); }

int SARN_HIDPORT_CALL GetMousePID() { return Lib().mouse.ProductId(); }

}  // extern "C"
