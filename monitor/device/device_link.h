// The device-link port: the seven entries of the HID access library, as the monitor calls them.
// The Windows adapter binds them from hidport.dll; tests put a fake or the virtual mouse behind it.
#pragma once

#include <cstdint>

namespace sarn {

// Window messages the library posts to the window given to Open_DevMonitor.
inline constexpr unsigned kDeviceEventMessage = 1325;     // wParam = code >> 16, lParam = code & 0xFFFF
inline constexpr unsigned kDevicePresenceMessage = 1326;  // wParam 1 = attached, 0 = removed

// Presence codes the monitor makes from DevicePresence.
inline constexpr std::uint32_t kPresenceAttached = 0x7F000001;
inline constexpr std::uint32_t kPresenceRemoved = 0x7F000002;
inline constexpr std::uint32_t kPresenceUnknown = 0x7F000000;

// Joins the two message words of DeviceEvent into one event code.
constexpr std::uint32_t JoinDeviceEvent(std::uintptr_t wParam, std::intptr_t lParam) {
  return ((static_cast<std::uint32_t>(wParam) & 0xFFFFu) << 16) | (static_cast<std::uint32_t>(lParam) & 0xFFFFu);
}
constexpr std::uint32_t PresenceCode(std::uintptr_t wParam) {
  return wParam == 1 ? kPresenceAttached : wParam == 0 ? kPresenceRemoved : kPresenceUnknown;
}

class DeviceLink {
 public:
  virtual ~DeviceLink() = default;
  // window is the HWND that receives DeviceEvent and DevicePresence; the result is ignored by the monitor.
  virtual int Open_DevMonitor(void* window, unsigned eventMessage, unsigned presenceMessage) = 0;
  // Nonzero: the mouse is open for feature reports.
  virtual int Open_FeatureDevice() = 0;
  virtual int Close_DevMonitor() = 0;
  virtual int Close_FeatureDevice() = 0;
  // Sends buffer[0..length) as one feature report (byte 0 = report id); nonzero = sent.
  virtual int SetFeature(std::uint8_t* buffer, int length) = 0;
  // buffer[0] = wanted report id on entry; on return the report; nonzero = received.
  virtual int GetFeature(std::uint8_t* buffer, int length) = 0;
  virtual int GetMousePID() = 0;
};

}  // namespace sarn
