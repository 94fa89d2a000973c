// Everything the host takes from the mouse: feature reports of any length and content stored into a profile
// (refused ones change nothing, accepted ones carry their bytes), and input reports of the HID layer turned
// into event codes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "hidport/hid_mouse.h"
#include "monitor/device/report_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const int which = input.ConsumeIntegralInRange<int>(0, 2);
  if (which == 2) {
    const std::vector<std::uint8_t> report = input.ConsumeRemainingBytes<std::uint8_t>();
    // The reader hands over the bytes it got; the length never exceeds them.
    const std::uint32_t code = sarn::hid::DecodeEventReport(report.data(), static_cast<int>(report.size()));
    if (code != 0 && (report.size() < static_cast<std::size_t>(sarn::hid::kEventReportMinLength) ||
                      report[0] != sarn::hid::kEventReportId)) {
      std::abort();
    }
    (void)sarn::hid::DecodeEventReport(report.data(), -1);
    (void)sarn::hid::DecodeEventReport(nullptr, 0);
    return 0;
  }

  sarn::FeatureReport report;
  // Lengths beyond the buffer and below zero reach the decoder when a library misbehaves.
  report.length = input.ConsumeIntegralInRange<int>(-4, 260);
  const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(report.bytes.size());
  if (!bytes.empty()) std::memcpy(report.bytes.data(), bytes.data(), bytes.size());
  if (input.ConsumeBool() && report.length >= 2 && report.length <= static_cast<int>(report.bytes.size())) {
    sarn::StoreReportChecksum(report);
    if (!sarn::ReportChecksumValid(report)) std::abort();
  }

  auto profile = std::make_unique<sarn::ProfileRecord>();
  std::memset(profile.get(), 0x5A, sizeof(sarn::ProfileRecord));
  auto before = std::make_unique<sarn::ProfileRecord>(*profile);
  const bool stored = which == 0 ? sarn::StoreProfileSettingsReport(report, *profile)
                                 : sarn::StoreButtonFunctionsReport(report, *profile);
  if (!stored && std::memcmp(before.get(), profile.get(), sizeof(sarn::ProfileRecord)) != 0) std::abort();
  if (stored && which == 1) {
    for (int b = 0; b < sarn::kButtonCount; ++b) {
      if (profile->MacroKeyInfo[b].functionCode != report[3 + static_cast<std::size_t>(b)]) std::abort();
    }
    // What was stored goes back to the mouse as the same button bytes.
    const sarn::FeatureReport out = sarn::MakeButtonFunctionsReport(*profile, report[1]);
    if (std::memcmp(out.data() + 3, report.data() + 3, sarn::kButtonCount) != 0) std::abort();
  }
  return 0;
}
