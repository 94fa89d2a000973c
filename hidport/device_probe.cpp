#include "hidport/device_probe.h"

#include <algorithm>

namespace sarn::hid {

std::string JudgeReadyAnswer(bool read, const std::uint8_t* report, int length) {
  if (length < kReadyReportLength) {
    return "its feature reports (" + std::to_string(length) + " bytes) cannot hold the ready status";
  }
  if (!read || !report) return "it did not answer the read of the ready status (report 4)";
  if (report[0] != kReadyReportId) {
    return "it answered the ready status with report " + std::to_string(report[0]) + " instead of 4";
  }
  const std::uint8_t status = report[1];
  if (status < 1 || status > 3) return "its ready status " + std::to_string(status) + " is none the mouse gives";
  return {};
}

std::string ProbeCollection(HidApi& api, const HidDeviceInfo& d) {
  if (d.featureReportLength < kReadyReportLength) return JudgeReadyAnswer(false, nullptr, d.featureReportLength);
  const HidHandle handle = api.Open(d.path);
  if (handle == 0) return "it could not be opened (in use by another program, or no access)";
  // Feature reports travel in the collection's length; the rest of the buffer is the report's padding.
  std::vector<std::uint8_t> report(static_cast<std::size_t>(d.featureReportLength), 0);
  report[0] = kReadyReportId;
  const bool read = api.GetFeature(handle, report.data(), d.featureReportLength);
  api.Close(handle);
  return JudgeReadyAnswer(read, report.data(), d.featureReportLength);
}

std::vector<CollectionVerdict> ChooseMouse(HidApi& api, const std::vector<HidDeviceInfo>& devices,
                                           const DeviceList& list) {
  std::vector<CollectionVerdict> verdicts(devices.size());
  bool found = false;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    CollectionVerdict& v = verdicts[i];
    v.entry = FindMouseEntry(list, devices[i].vendorId, devices[i].productId, devices[i].usagePage, devices[i].usage);
    if (!v.entry) continue;
    if (found) {
      v.verdict = Verdict::kNotTried;
      continue;
    }
    v.why = ProbeCollection(api, devices[i]);
    found = v.why.empty();
    v.verdict = found ? Verdict::kChosen : Verdict::kNoAnswer;
  }
  return verdicts;
}

std::string DescribeVerdict(const CollectionVerdict& v) {
  switch (v.verdict) {
    case Verdict::kNotListed:
      return "not in the device list";
    case Verdict::kNoAnswer:
      return "in the device list (" + v.entry->origin + ") but did not answer: " + v.why;
    case Verdict::kNotTried:
      return "in the device list (" + v.entry->origin + "), not tried: another collection was chosen";
    case Verdict::kChosen:
      return "chosen: " + v.entry->name + " (" + v.entry->origin + ")";
  }
  return {};
}

}  // namespace sarn::hid
