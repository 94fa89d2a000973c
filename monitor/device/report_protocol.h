// The feature reports exchanged with the mouse: ids, lengths, byte layouts and the checksum.
// Pure functions over byte buffers; the exchanges themselves are in device_protocol.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/profile_record.h"

namespace sarn {

inline constexpr std::uint8_t kSelectReportId = 4;        // write: select; read: ready status
inline constexpr std::uint8_t kActiveProfileReportId = 5;
inline constexpr std::uint8_t kProfileSettingsReportId = 6;
inline constexpr std::uint8_t kButtonFunctionsReportId = 7;
inline constexpr std::uint8_t kVersionReportId = 9;        // read: version; write: restore defaults
inline constexpr std::uint8_t kHostModeReportId = 10;

inline constexpr int kSelectReportLength = 3;
inline constexpr int kActiveProfileReportLength = 3;
inline constexpr int kProfileSettingsReportLength = 16;
inline constexpr int kButtonFunctionsReportLength = 23;
inline constexpr int kVersionReportLength = 6;
inline constexpr int kHostModeReportLength = 3;

// Byte 2 of a select: which report the next read returns.
inline constexpr std::uint8_t kSelectSettings = 0x10;
inline constexpr std::uint8_t kSelectButtons = 0x20;

// Byte 1 of the ready status; any other value means the write failed.
inline constexpr std::uint8_t kStatusDone = 1;
inline constexpr std::uint8_t kStatusBusy = 3;

// Every report is built in a zero-filled buffer: 100 bytes, 200 for the button functions; the library is
// handed the report's own length.
struct FeatureReport {
  std::array<std::uint8_t, 200> bytes{};
  int length = 0;

  std::uint8_t& operator[](std::size_t i) { return bytes[i]; }
  std::uint8_t operator[](std::size_t i) const { return bytes[i]; }
  std::uint8_t* data() { return bytes.data(); }
  const std::uint8_t* data() const { return bytes.data(); }
};

// Sum of the bytes as an unsigned 16-bit number.
[[nodiscard]] std::uint16_t ReportChecksum(const std::uint8_t* bytes, std::size_t count);
// Stores the checksum of bytes 0..length-3 in the last two bytes, low byte first.
void StoreReportChecksum(FeatureReport& report);
// True when the last two bytes hold the checksum of the bytes before them.
[[nodiscard]] bool ReportChecksumValid(const FeatureReport& report);

// A read request: the id in byte 0, the expected length.
[[nodiscard]] FeatureReport MakeReadRequest(std::uint8_t id, int length);
[[nodiscard]] FeatureReport MakeSelectReport(int slot, std::uint8_t what);
[[nodiscard]] FeatureReport MakeActiveProfileReport(int slot);
[[nodiscard]] FeatureReport MakeProfileSettingsReport(const ProfileRecord& profile, int slot);
[[nodiscard]] FeatureReport MakeButtonFunctionsReport(const ProfileRecord& profile, int slot);
[[nodiscard]] FeatureReport MakeRestoreDefaultsReport();
[[nodiscard]] FeatureReport MakeHostModeReport(bool on);

// Store a received report into the profile asked for. Both refuse (and store nothing) unless the checksum
// holds; the id, length and slot bytes are not checked.
[[nodiscard]] bool StoreProfileSettingsReport(const FeatureReport& report, ProfileRecord& profile);
[[nodiscard]] bool StoreButtonFunctionsReport(const FeatureReport& report, ProfileRecord& profile);

}  // namespace sarn
