#include "monitor/device/report_protocol.h"

#include "common/value_range.h"

namespace sarn {
namespace {

// Profile fields are 32-bit in the record; a report carries their low byte.
std::uint8_t Low(std::int32_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

// A field as the mouse may be given it: the record comes from files and the shared block, and the low byte
// of an out-of-range value is any setting at all (a colour of -1 would even read as multicolour).
std::uint8_t Field(std::int32_t value, ValueRange range) { return static_cast<std::uint8_t>(Clamped(value, range)); }

}  // namespace

std::uint16_t ReportChecksum(const std::uint8_t* bytes, std::size_t count) {
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum = static_cast<std::uint16_t>(sum + bytes[i]);
  return sum;
}

void StoreReportChecksum(FeatureReport& report) {
  const auto n = static_cast<std::size_t>(report.length);
  if (n < 2) return;
  const std::uint16_t sum = ReportChecksum(report.data(), n - 2);
  report[n - 2] = static_cast<std::uint8_t>(sum & 0xFF);
  report[n - 1] = static_cast<std::uint8_t>(sum >> 8);
}

bool ReportChecksumValid(const FeatureReport& report) {
  const auto n = static_cast<std::size_t>(report.length);
  if (n < 2 || n > report.bytes.size()) return false;
  const std::uint16_t sum = ReportChecksum(report.data(), n - 2);
  return report[n - 2] == (sum & 0xFF) && report[n - 1] == (sum >> 8);
}

FeatureReport MakeReadRequest(std::uint8_t id, int length) {
  FeatureReport r;
  r[0] = id;
  r.length = length;
  return r;
}

FeatureReport MakeSelectReport(int slot, std::uint8_t what) {
  FeatureReport r;
  r[0] = kSelectReportId;
  r[1] = Low(slot);
  r[2] = what;
  r.length = kSelectReportLength;
  return r;
}

FeatureReport MakeActiveProfileReport(int slot) {
  FeatureReport r;
  r[0] = kActiveProfileReportId;
  r[1] = 3;
  r[2] = Low(slot);
  r.length = kActiveProfileReportLength;
  return r;
}

FeatureReport MakeProfileSettingsReport(const ProfileRecord& p, int slot) {
  FeatureReport r;
  r.length = kProfileSettingsReportLength;
  r[0] = kProfileSettingsReportId;
  r[1] = kProfileSettingsReportLength;
  r[2] = Low(slot);
  r[3] = Field(p.XYSynchronous, kFlagRange);
  r[4] = Field(p.Sensitivity_X, kSensitivityRange);
  r[5] = Field(p.Sensitivity_Y, kSensitivityRange);
  // Only the first four levels travel to the mouse; the upper bits stay zero.
  std::uint8_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    if (p.dpi[i] == 1) mask = static_cast<std::uint8_t>(mask | (1u << i));
  }
  r[6] = mask;
  r[7] = Field(p.Cpi_X, kCpiRange);
  r[8] = Field(p.PollingRate, kPollingRateRange);
  r[9] = Field(p.LightSwitch, kFlagRange);
  r[10] = Field(p.LightType, kFlagRange);
  if (p.ColorFlag == 0) {
    r[11] = static_cast<std::uint8_t>(Field(p.ColorOptions, kColorOptionsRange) + 1);
    r[12] = 3;
  } else {
    r[11] = 0;
    r[12] = Field(p.ColorChangeMode, kColorChangeModeRange);
  }
  r[13] = Field(p.Orientation, kFlagRange);
  StoreReportChecksum(r);
  return r;
}

bool StoreProfileSettingsReport(const FeatureReport& r, ProfileRecord& p) {
  if (r.length != kProfileSettingsReportLength || !ReportChecksumValid(r)) return false;
  p.XYSynchronous = r[3];
  p.Sensitivity_X = r[4];
  p.Sensitivity_Y = r[5];
  for (int i = 0; i < kDpiLevels; ++i) p.dpi[i] = static_cast<std::uint8_t>((r[6] >> i) & 1);
  p.Cpi_X = r[7];
  p.Cpi_Y = r[7];
  p.PollingRate = r[8];
  p.LightSwitch = r[9];
  p.LightType = r[10];
  if (r[11] == 0) {
    p.ColorFlag = 1;
    p.ColorOptions = 1;
    p.ColorChangeMode = r[12];
  } else {
    p.ColorFlag = 0;
    p.ColorOptions = r[11] - 1;
    p.ColorChangeMode = 0;
  }
  p.Orientation = r[13];
  return true;
}

FeatureReport MakeButtonFunctionsReport(const ProfileRecord& p, int slot) {
  FeatureReport r;
  r.length = kButtonFunctionsReportLength;
  r[0] = kButtonFunctionsReportId;
  r[1] = kButtonFunctionsReportLength;
  r[2] = Low(slot);
  for (int b = 0; b < kButtonCount; ++b) r[3 + static_cast<std::size_t>(b)] = p.MacroKeyInfo[b].functionCode;
  StoreReportChecksum(r);
  return r;
}

bool StoreButtonFunctionsReport(const FeatureReport& r, ProfileRecord& p) {
  if (r.length != kButtonFunctionsReportLength || !ReportChecksumValid(r)) return false;
  for (int b = 0; b < kButtonCount; ++b) p.MacroKeyInfo[b].functionCode = r[3 + static_cast<std::size_t>(b)];
  return true;
}

FeatureReport MakeRestoreDefaultsReport() {
  FeatureReport r;
  r.length = kVersionReportLength;
  r[0] = kVersionReportId;
  r[1] = 6;
  r[2] = 7;
  return r;
}

FeatureReport MakeHostModeReport(bool on) {
  FeatureReport r;
  r.length = kHostModeReportLength;
  r[0] = kHostModeReportId;
  r[1] = 3;
  r[2] = on ? 1 : 0;
  return r;
}

}  // namespace sarn
