#include <windows.h>

#include "monitor/device/device_library.h"

namespace sarn {

DeviceLibrary::DeviceLibrary(void* module, const DeviceLibraryEntries& entries)
    : BoundDeviceLink(entries), module_(module) {}

DeviceLibrary::~DeviceLibrary() {
  if (module_) FreeLibrary(static_cast<HMODULE>(module_));
}

namespace {

template <typename Entry>
Entry Find(HMODULE module, const char* name) {
  // GetProcAddress hands back a generic function pointer; the entry's real type is fixed by its name.
  return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

std::unique_ptr<DeviceLibrary> LoadDeviceLibrary(const std::filesystem::path& programFolder) {
  const std::filesystem::path path = programFolder / kDeviceLibraryName;
  HMODULE module = LoadLibraryW(path.c_str());
  DeviceLibraryEntries entries;
  if (module) {
    entries.openDevMonitor = Find<OpenDevMonitorEntry>(module, kEntryNames[0]);
    entries.openFeatureDevice = Find<NoArgumentEntry>(module, kEntryNames[1]);
    entries.closeDevMonitor = Find<NoArgumentEntry>(module, kEntryNames[2]);
    entries.closeFeatureDevice = Find<NoArgumentEntry>(module, kEntryNames[3]);
    entries.setFeature = Find<FeatureEntry>(module, kEntryNames[4]);
    entries.getFeature = Find<FeatureEntry>(module, kEntryNames[5]);
    entries.getMousePID = Find<NoArgumentEntry>(module, kEntryNames[6]);
  }
  return std::make_unique<DeviceLibrary>(module, entries);
}

}  // namespace sarn
