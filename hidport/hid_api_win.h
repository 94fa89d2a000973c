// The HID layer over SetupAPI and hid.dll, and a watcher of HID arrivals and removals.
#pragma once

#include <functional>
#include <thread>

#include "hidport/hid_mouse.h"

namespace sarn::hid {

class WinHidApi : public HidApi {
 public:
  std::vector<HidDeviceInfo> Enumerate() override;
  HidHandle Open(const std::string& path) override;
  void Close(HidHandle handle) override;
  bool SetFeature(HidHandle handle, const std::uint8_t* buffer, int length) override;
  bool GetFeature(HidHandle handle, std::uint8_t* buffer, int length) override;
  int ReadInput(HidHandle handle, std::uint8_t* buffer, int length) override;
  void CancelRead(HidHandle handle) override;
};

// A thread with a message-only window registered for HID device-interface notifications; calls changed()
// on every arrival or removal. Started and stopped by the library's open and close entries.
class HidWatcher {
 public:
  ~HidWatcher() { Stop(); }
  void Start(std::function<void()> changed);
  void Stop();

 private:
  std::thread thread_;
  std::function<void()> changed_;
  unsigned long threadId_ = 0;
};

}  // namespace sarn::hid
