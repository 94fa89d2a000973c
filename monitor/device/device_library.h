// Binding of the HID access library's seven entries. The entry table is filled by the Windows loader
// (LoadDeviceLibrary) from hidport.dll; binding it is portable so that a library missing entries can be
// tested without Windows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "monitor/device/device_link.h"

namespace sarn {

// The exported names and C signatures of hidport.dll (stdcall on 32-bit Windows, undecorated names).
#if defined(_WIN32) && !defined(_WIN64)
#define SARN_HIDPORT_CALL __stdcall
#else
#define SARN_HIDPORT_CALL
#endif
extern "C" {
using OpenDevMonitorEntry = int(SARN_HIDPORT_CALL*)(void* window, unsigned eventMessage, unsigned presenceMessage);
using NoArgumentEntry = int(SARN_HIDPORT_CALL*)();
using FeatureEntry = int(SARN_HIDPORT_CALL*)(unsigned char* buffer, int length);
}

struct DeviceLibraryEntries {
  OpenDevMonitorEntry openDevMonitor = nullptr;
  NoArgumentEntry openFeatureDevice = nullptr;
  NoArgumentEntry closeDevMonitor = nullptr;
  NoArgumentEntry closeFeatureDevice = nullptr;
  FeatureEntry setFeature = nullptr;
  FeatureEntry getFeature = nullptr;
  NoArgumentEntry getMousePID = nullptr;

  [[nodiscard]] bool Complete() const {
    return openDevMonitor && openFeatureDevice && closeDevMonitor && closeFeatureDevice && setFeature &&
           getFeature && getMousePID;
  }
};

inline constexpr const char* kDeviceLibraryName = "hidport.dll";
inline constexpr const char* kEntryNames[7] = {"Open_DevMonitor", "Open_FeatureDevice", "Close_DevMonitor",
                                               "Close_FeatureDevice", "SetFeature", "GetFeature",
                                               "GetMousePID"};

// Calls through the table when every entry is there; otherwise behaves as an absent mouse (every call
// gives 0 and nothing is called), so the monitor runs on without a mouse.
class BoundDeviceLink : public DeviceLink {
 public:
  explicit BoundDeviceLink(const DeviceLibraryEntries& entries);
  [[nodiscard]] bool Bound() const { return bound_; }

  int Open_DevMonitor(void* window, unsigned eventMessage, unsigned presenceMessage) override;
  int Open_FeatureDevice() override;
  int Close_DevMonitor() override;
  int Close_FeatureDevice() override;
  int SetFeature(std::uint8_t* buffer, int length) override;
  int GetFeature(std::uint8_t* buffer, int length) override;
  int GetMousePID() override;

 private:
  DeviceLibraryEntries entries_;
  bool bound_;
};

// The loaded library (Windows): owns the module and frees it when destroyed. Bound() is false when the
// library or an entry was missing.
class DeviceLibrary : public BoundDeviceLink {
 public:
  DeviceLibrary(void* module, const DeviceLibraryEntries& entries);
  ~DeviceLibrary() override;
  DeviceLibrary(const DeviceLibrary&) = delete;
  DeviceLibrary& operator=(const DeviceLibrary&) = delete;

 private:
  void* module_;
};

// The library "hidport.dll" in programFolder, loaded by its wide path, then the seven entries. Never null: a
// missing library or entry gives an unbound link. Windows only.
std::unique_ptr<DeviceLibrary> LoadDeviceLibrary(const std::filesystem::path& programFolder);

}  // namespace sarn
