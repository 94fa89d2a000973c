// hidport.dll for the mouse on USB: the seven library entries over the Windows HID API. The mouse's input
// reports are read on a thread of its own and posted as DeviceEvent; arrival and removal come from device
// notifications and are posted as DevicePresence. Threads start with Open_DevMonitor, never in DllMain.
#include <windows.h>

#include "hidport/device_ids.h"
#include "hidport/hid_api_win.h"
#include "hidport/hid_mouse.h"
#include "hidport/window_sink_win.h"
#include "monitor/device/device_library.h"

namespace {

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

}  // namespace

extern "C" {

int SARN_HIDPORT_CALL Open_DevMonitor(void* window, unsigned eventMessage, unsigned presenceMessage) {
  Library& lib = Lib();
  lib.sink.Attach(static_cast<HWND>(window), eventMessage, presenceMessage);
  lib.mouse.OpenDevMonitor();
  lib.watcher.Start([&lib] { lib.mouse.DevicesChanged(); });
  return 1;
}

int SARN_HIDPORT_CALL Open_FeatureDevice() { return Lib().mouse.OpenFeatureDevice(); }

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

int SARN_HIDPORT_CALL GetMousePID() { return sarn::hid::kProductId; }

}  // extern "C"
