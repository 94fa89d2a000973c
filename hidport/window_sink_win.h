// Posts the mouse's events to the window given to Open_DevMonitor: DeviceEvent with the code split over
// wParam (high 16 bits) and lParam (low 16 bits), DevicePresence with wParam 1 (attached) or 0 (removed).
#pragma once

#include <windows.h>

#include <atomic>

#include "hidport/virtual_mouse.h"

namespace sarn::hid {

class WindowSink : public vmouse::EventSink {
 public:
  void Attach(HWND window, UINT eventMessage, UINT presenceMessage) {
    eventMessage_ = eventMessage;
    presenceMessage_ = presenceMessage;
    window_ = window;
  }
  void Detach() { window_ = nullptr; }
  void DeviceEvent(std::uint32_t code) override {
    if (HWND w = window_) PostMessageA(w, eventMessage_, code >> 16, static_cast<LPARAM>(code & 0xFFFF));
  }
  void DevicePresence(bool attached) override {
    if (HWND w = window_) PostMessageA(w, presenceMessage_, attached ? 1 : 0, 0);
  }

 private:
  std::atomic<HWND> window_{nullptr};
  std::atomic<UINT> eventMessage_{0};
  std::atomic<UINT> presenceMessage_{0};
};

}  // namespace sarn::hid
