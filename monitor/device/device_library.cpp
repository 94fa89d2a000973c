#include "monitor/device/device_library.h"

namespace sarn {

BoundDeviceLink::BoundDeviceLink(const DeviceLibraryEntries& entries)
    : entries_(entries), bound_(entries.Complete()) {}

int BoundDeviceLink::Open_DevMonitor(void* window, unsigned eventMessage, unsigned presenceMessage) {
  return bound_ ? entries_.openDevMonitor(window, eventMessage, presenceMessage) : 0;
}
int BoundDeviceLink::Open_FeatureDevice() { return bound_ ? entries_.openFeatureDevice() : 0; }
int BoundDeviceLink::Close_DevMonitor() { return bound_ ? entries_.closeDevMonitor() : 0; }
int BoundDeviceLink::Close_FeatureDevice() { return bound_ ? entries_.closeFeatureDevice() : 0; }
int BoundDeviceLink::SetFeature(std::uint8_t* buffer, int length) {
  return bound_ && buffer && length > 0 ? entries_.setFeature(buffer, length) : 0;
}
int BoundDeviceLink::GetFeature(std::uint8_t* buffer, int length) {
  return bound_ && buffer && length > 0 ? entries_.getFeature(buffer, length) : 0;
}
int BoundDeviceLink::GetMousePID() { return bound_ ? entries_.getMousePID() : 0; }

}  // namespace sarn
