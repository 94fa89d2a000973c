#include "hidport/hid_mouse.h"

#include <algorithm>
#include <cstring>

#include "common/debug_output.h"
#include "hidport/device_probe.h"

namespace sarn::hid {

int MatchMouse(const std::vector<HidDeviceInfo>& devices, const DeviceList& list) {
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const auto& d = devices[i];
    if (FindMouseEntry(list, d.vendorId, d.productId, d.usagePage, d.usage)) return static_cast<int>(i);
  }
  return -1;
}

std::uint32_t DecodeEventReport(const std::uint8_t* r, int length, std::uint8_t reportId, int codeOffset) {
  if (!r || codeOffset < 1 || length < codeOffset + 4 || r[0] != reportId) return 0;
  r += codeOffset;
  return static_cast<std::uint32_t>(r[0]) | static_cast<std::uint32_t>(r[1]) << 8 |
         static_cast<std::uint32_t>(r[2]) << 16 | static_cast<std::uint32_t>(r[3]) << 24;
}

HidMouse::HidMouse(HidApi& api, vmouse::EventSink& sink, std::chrono::milliseconds recoveryWait)
    : api_(api), sink_(sink), debug_([](std::string_view line) { WriteDebugLine(line); }), worker_(recoveryWait) {}

void HidMouse::SetDeviceList(DeviceList list) {
  std::lock_guard<std::mutex> lock(mutex_);
  list_ = std::move(list);
  for (const auto& problem : list_.problems) Debug("device list: " + problem);
}

void HidMouse::SetDebugOutput(DebugOutput debug) {
  std::lock_guard<std::mutex> lock(mutex_);
  debug_ = std::move(debug);
}

int HidMouse::ProductId() {
  std::lock_guard<std::mutex> lock(mutex_);
  return feature_ != 0 ? productId_ : 0;
}

int HidMouse::MatchMouse(const std::vector<HidDeviceInfo>& devices) {
  // A path that left the enumeration is forgotten: what comes back under it is asked again.
  for (auto* probed : {&answered_, &refused_}) {
    std::erase_if(*probed, [&](const std::string& path) {
      return std::none_of(devices.begin(), devices.end(), [&](const HidDeviceInfo& d) { return d.path == path; });
    });
  }
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const auto& d = devices[i];
    const MouseEntry* entry = FindMouseEntry(list_, d.vendorId, d.productId, d.usagePage, d.usage);
    if (!entry || refused_.count(d.path)) continue;
    if (!answered_.count(d.path)) {
      const std::string why = ProbeCollection(api_, d);
      if (!why.empty()) {
        refused_.insert(d.path);
        Debug(d.path + ": passed over, in the device list (" + entry->origin + ") but did not answer: " + why);
        continue;
      }
      answered_.insert(d.path);
    }
    return static_cast<int>(i);
  }
  return -1;
}

std::uint32_t HidMouse::DecodeEventReport(const std::uint8_t* report, int length) const {
  return hid::DecodeEventReport(report, length, eventReportId_, eventCodeOffset_);
}

void HidMouse::Debug(const std::string& line) const {
  if (debug_) debug_("hidport: " + line);
}

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
  if (list_.mice.empty()) {
    Debug(std::string("no mouse is looked for: the device list is empty (") + kDeviceListFile + ", " +
          kUserDeviceListFile + " beside hidport.dll)");
    return 0;
  }
  const auto devices = api_.Enumerate();
  // Asked again right before the channel opens: one that answered may have been replaced under the same path.
  answered_.clear();
  refused_.clear();
  const int chosen = MatchMouse(devices);
  if (chosen < 0) {
    if (refused_.empty()) {
      Debug("none of the " + std::to_string(devices.size()) + " HID collections is in the device list");
    }
    return 0;
  }
  const auto& device = devices[static_cast<std::size_t>(chosen)];
  feature_ = api_.Open(device.path);
  featureLength_ = device.featureReportLength;
  productId_ = device.productId;
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
    productId_ = device.productId;
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
  if (const MouseEntry* entry = FindMouseEntry(list_, device.vendorId, device.productId, device.usagePage, device.usage)) {
    eventReportId_ = entry->eventReportId;
    eventCodeOffset_ = entry->eventCodeOffset;
  }
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
