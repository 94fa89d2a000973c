#include "hidport/hid_mouse.h"

#include <algorithm>
#include <cstring>

#include "hidport/device_ids.h"

namespace sarn::hid {

int MatchMouse(const std::vector<HidDeviceInfo>& devices) {
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const auto& d = devices[i];
    if (d.vendorId == kVendorId && d.productId == kProductId && d.usagePage == kVendorUsagePage &&
        d.usage == kVendorUsage) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::uint32_t DecodeEventReport(const std::uint8_t* r, int length) {
  if (!r || length < kEventReportMinLength || r[0] != kEventReportId) return 0;
  return static_cast<std::uint32_t>(r[1]) | static_cast<std::uint32_t>(r[2]) << 8 |
         static_cast<std::uint32_t>(r[3]) << 16 | static_cast<std::uint32_t>(r[4]) << 24;
}

HidMouse::HidMouse(HidApi& api, vmouse::EventSink& sink, std::chrono::milliseconds recoveryWait)
    : api_(api), sink_(sink), worker_(recoveryWait) {}

HidMouse::~HidMouse() {
  CloseDevMonitor();
  CloseFeatureDevice();
}

int HidMouse::OpenDevMonitor() {
  std::lock_guard<std::mutex> lock(mutex_);
  monitoring_ = true;
  const auto devices = api_.Enumerate();
  const int found = MatchMouse(devices);
  failedReopens_ = 0;
  worker_.Start([this] { Relook(false); });
  if (found >= 0) {
    const auto& device = devices[static_cast<std::size_t>(found)];
    StartReader(device);
    if (input_ != 0) path_ = device.path;
  }
  present_ = input_ != 0;
  return 1;
}

int HidMouse::CloseDevMonitor() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    monitoring_ = false;
  }
  // Not under the lock: a re-look running on the worker waits for it.
  worker_.Stop();
  std::lock_guard<std::mutex> lock(mutex_);
  StopReader();
  return 1;
}

int HidMouse::OpenFeatureDevice() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (feature_ != 0) return 1;
  const auto devices = api_.Enumerate();
  const int found = MatchMouse(devices);
  if (found < 0) return 0;
  const auto& device = devices[static_cast<std::size_t>(found)];
  feature_ = api_.Open(device.path);
  featureLength_ = device.featureReportLength;
  return feature_ != 0 ? 1 : 0;
}

int HidMouse::CloseFeatureDevice() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (feature_ != 0) api_.Close(feature_);
  feature_ = 0;
  return 1;
}

int HidMouse::SetFeature(const std::uint8_t* buffer, int length) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (feature_ == 0 || !buffer || length < 1 || length > featureLength_) return 0;
  std::vector<std::uint8_t> report(static_cast<std::size_t>(featureLength_), 0);
  std::memcpy(report.data(), buffer, static_cast<std::size_t>(length));
  return api_.SetFeature(feature_, report.data(), featureLength_) ? 1 : 0;
}

int HidMouse::GetFeature(std::uint8_t* buffer, int length) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (feature_ == 0 || !buffer || length < 1) return 0;
  std::vector<std::uint8_t> report(static_cast<std::size_t>(std::max(featureLength_, 1)), 0);
  report[0] = buffer[0];
  if (!api_.GetFeature(feature_, report.data(), featureLength_)) return 0;
  const auto n = static_cast<std::size_t>(std::min(length, featureLength_));
  std::memset(buffer, 0, static_cast<std::size_t>(length));
  std::memcpy(buffer, report.data(), n);
  return 1;
}

void HidMouse::DevicesChanged() { Relook(true); }

void HidMouse::Relook(bool notice) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!monitoring_) return;
  if (notice) failedReopens_ = 0;
  RelookState state;
  state.held = present_;
  state.heldPath = path_;
  state.readFailed = readFailed_.exchange(false);
  state.failedReopens = failedReopens_.load();
  const auto devices = api_.Enumerate();
  const int found = MatchMouse(devices);
  const std::string foundPath = found >= 0 ? devices[static_cast<std::size_t>(found)].path : std::string();
  switch (DecideRelook(state, found >= 0, foundPath)) {
    case RelookAction::kKeep:
      return;
    case RelookAction::kGone:
      Gone();
      return;
    case RelookAction::kReopen:
      if (state.held && state.readFailed && foundPath == state.heldPath) ++failedReopens_;
      Reopen(devices[static_cast<std::size_t>(found)]);
      return;
  }
}

void HidMouse::Reopen(const HidDeviceInfo& device) {
  const bool told = present_;
  const bool hadFeature = feature_ != 0;
  StopReader();
  if (feature_ != 0) api_.Close(feature_);
  feature_ = 0;
  present_ = false;
  path_.clear();
  // The host sets the mouse up afresh only on an arrival, and takes one only after a removal.
  if (told) sink_.DevicePresence(false);
  StartReader(device);
  if (input_ == 0) return;  // not ready yet: the next notice tries again
  present_ = true;
  path_ = device.path;
  if (hadFeature) {
    feature_ = api_.Open(device.path);
    featureLength_ = device.featureReportLength;
  }
  sink_.DevicePresence(true);
}

void HidMouse::Gone() {
  StopReader();
  // A dead feature handle kept open would let OpenFeatureDevice answer "open" for a mouse that came back.
  if (feature_ != 0) api_.Close(feature_);
  feature_ = 0;
  present_ = false;
  path_.clear();
  sink_.DevicePresence(false);
}

void HidMouse::StartReader(const HidDeviceInfo& device) {
  StopReader();
  input_ = api_.Open(device.path);
  if (input_ == 0) return;
  stopping_ = false;
  readFailed_ = false;  // the old reader is joined: nothing of its handle is left to report
  reader_ = std::thread([this, handle = input_, length = std::max(device.inputReportLength, 1)] {
    ReadLoop(handle, length);
  });
}

void HidMouse::StopReader() {
  if (input_ == 0) return;
  stopping_ = true;
  api_.CancelRead(input_);
  if (reader_.joinable()) reader_.join();
  api_.Close(input_);
  input_ = 0;
}

void HidMouse::ReadLoop(HidHandle handle, int length) {
  std::vector<std::uint8_t> report(static_cast<std::size_t>(length));
  while (!stopping_) {
    const int got = api_.ReadInput(handle, report.data(), length);
    if (got < 0) {
      // Not stopped by us: the handle is dead (removed, reset, resumed from sleep). Whether the mouse is
      // still there, here or under a new path, the re-look finds out; it may stop this thread, so it runs
      // on the worker.
      if (!stopping_) {
        readFailed_ = true;
        worker_.Request();
      }
      return;
    }
    if (got > 0) failedReopens_ = 0;
    if (const std::uint32_t code = DecodeEventReport(report.data(), got)) sink_.DeviceEvent(code);
  }
}

}  // namespace sarn::hid
