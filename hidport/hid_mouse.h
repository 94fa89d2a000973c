// The real hidport.dll's logic over an abstract HID layer: finding the mouse, the feature channel, the input
// reports that carry its events, and its arrival and removal. The Windows HID layer (SetupAPI and hid.dll)
// is in real/; tests use a fake one.
//
// The mouse is a HID collection whose vendor id, product id, usage page and usage are those of an entry of the
// device list (hidport/device_list.h; by default the vendor-defined usage page 0xFF00, usage 1) and that
// answered the read of its ready status (hidport/device_probe.h). That collection carries the feature
// reports 4..10 and one input report:
//
//   event report: byte 0 = 0x11, bytes 1..4 = the 32-bit event code, little-endian, rest reserved (zero).
//   A code of 0 is no event. The host sees each code as one DeviceEvent. (The list may name another report
//   id and where the code starts.)
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "hidport/device_list.h"
#include "hidport/hid_recovery.h"
#include "hidport/virtual_mouse.h"  // EventSink

namespace sarn::hid {

inline constexpr int kEventReportMinLength = 5;

struct HidDeviceInfo {
  std::string path;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  int inputReportLength = 0;    // with the id byte, as the HID layer gives it
  int featureReportLength = 0;  // the same for feature reports
};

using HidHandle = std::intptr_t;  // 0 = none

class HidApi {
 public:
  virtual ~HidApi() = default;
  virtual std::vector<HidDeviceInfo> Enumerate() = 0;
  virtual HidHandle Open(const std::string& path) = 0;
  virtual void Close(HidHandle handle) = 0;
  virtual bool SetFeature(HidHandle handle, const std::uint8_t* buffer, int length) = 0;
  virtual bool GetFeature(HidHandle handle, std::uint8_t* buffer, int length) = 0;
  // Blocks until an input report comes (gives its length), or the device is gone or CancelRead was called
  // (gives -1).
  virtual int ReadInput(HidHandle handle, std::uint8_t* buffer, int length) = 0;
  virtual void CancelRead(HidHandle handle) = 0;
};

// Index of the first collection in devices that the list names, or -1.
[[nodiscard]] int MatchMouse(const std::vector<HidDeviceInfo>& devices, const DeviceList& list);
// The event code of an input report, or 0 when it is not an event report (another id, or too short to hold
// the code at codeOffset).
[[nodiscard]] std::uint32_t DecodeEventReport(const std::uint8_t* report, int length,
                                              std::uint8_t reportId = kEventReportId, int codeOffset = 1);

// How long a failed read waits before the re-look (see hid_recovery.h).
inline constexpr std::chrono::milliseconds kRecoveryWait{250};

class HidMouse {
 public:
  HidMouse(HidApi& api, vmouse::EventSink& sink, std::chrono::milliseconds recoveryWait = kRecoveryWait);
  using DebugOutput = std::function<void(std::string_view)>;

  // The mice to look for (none until given: nothing is taken for the mouse). Its problems go to the debug
  // output, which is the platform's debug channel unless a test gives its own.
  void SetDeviceList(DeviceList list);
  void SetDebugOutput(DebugOutput debug);
  // The product id of the collection open for feature reports, 0 when none.
  int ProductId();
  ~HidMouse();
  HidMouse(const HidMouse&) = delete;
  HidMouse& operator=(const HidMouse&) = delete;

  // Events and presence go to the sink from here on; input reports are read while the mouse is there.
  int OpenDevMonitor();
  int CloseDevMonitor();
  // Nonzero when the mouse was found and its feature channel opened.
  int OpenFeatureDevice();
  int CloseFeatureDevice();
  // Reports travel in a buffer of the collection's feature length: shorter reports are padded with zeros,
  // and a read hands back exactly the caller's length.
  int SetFeature(const std::uint8_t* buffer, int length);
  int GetFeature(std::uint8_t* buffer, int length);

  // From the platform's device notifications (any HID device came or went): presence is posted only when
  // the mouse itself came or went, or came back (on the same or a new path) with its old handles dead, which
  // is posted as a removal then an arrival so that the host sets the mouse up afresh.
  void DevicesChanged();

 private:
  // Over the device list: the first listed collection that answered the ready-status read (each is probed
  // once until it leaves the enumeration or the feature channel is opened anew), or -1.
  // (Members, so the arrival and reader code calls them without knowing about the list or the probe.)
  [[nodiscard]] int MatchMouse(const std::vector<HidDeviceInfo>& devices);
  // The event code of an input report as the read collection's entry lays it out.
  [[nodiscard]] std::uint32_t DecodeEventReport(const std::uint8_t* report, int length) const;
  void Debug(const std::string& line) const;

  void StartReader(const HidDeviceInfo& device);
  void StopReader();
  void ReadLoop(HidHandle handle, int length);
  // The re-look of hid_recovery.h; notice: from an arrival or removal notice (gives a failing mouse its
  // reopens back).
  void Relook(bool notice);
  void Reopen(const HidDeviceInfo& device);
  void Gone();

  HidApi& api_;
  vmouse::EventSink& sink_;
  std::mutex mutex_;
  bool monitoring_ = false;
  bool present_ = false;
  std::string path_;  // what the handles were opened on
  HidHandle feature_ = 0;
  int featureLength_ = 0;
  int productId_ = 0;
  DeviceList list_;
  DebugOutput debug_;
  std::set<std::string> answered_;  // paths of listed collections that answered as the mouse
  std::set<std::string> refused_;   // ... and of those that did not
  std::uint8_t eventReportId_ = kEventReportId;  // of the collection read; set before the reader starts
  int eventCodeOffset_ = 1;
  HidHandle input_ = 0;
  std::thread reader_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> readFailed_{false};
  std::atomic<int> failedReopens_{0};
  RecoveryWorker worker_;  // last: stopped before anything it uses goes
};

}  // namespace sarn::hid
