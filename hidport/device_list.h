// The mice the real hidport.dll accepts: a list kept in data files beside the library, never in its code, so
// that a mouse with new ids needs no new build and a board on someone else's ids is never taken for ours.
//
//   mice.ini        shipped with the library (scripts/release writes what it is told)
//   mice.user.ini   the user's own entries (`sarnctl device add`): an entry with the same vendor and product
//                   id as a shipped one replaces it, others are added
//
// One section per mouse, any section name:
//
//   [Sarn]
//   Name=ZORVAN Sarn
//   VendorId=0x1209          1..0xFFFF (0 is no vendor)
//   ProductId=0x0001         0..0xFFFF
//   UsagePage=0xFF00         the vendor collection that carries the reports; default 0xFF00
//   Usage=0x01               default 1
//   EventReportId=0x11       the input report carrying the events; default 0x11
//   EventCodeOffset=1        where its 32-bit little-endian code starts; 1..60, default 1
//
// Reading never fails: a damaged line, an entry without ids, a value out of range or a second entry for the
// same ids is named in the problems and left out; the good entries are used.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace sarn {
class IniDocument;
}

namespace sarn::hid {

// What an entry that does not say otherwise takes: the vendor collection and the event report of our mice.
inline constexpr std::uint16_t kVendorUsagePage = 0xFF00;
inline constexpr std::uint16_t kVendorUsage = 0x01;
inline constexpr std::uint8_t kEventReportId = 0x11;

inline constexpr char kDeviceListFile[] = "mice.ini";
inline constexpr char kUserDeviceListFile[] = "mice.user.ini";

struct MouseEntry {
  std::string name;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t usagePage = kVendorUsagePage;
  std::uint16_t usage = kVendorUsage;
  std::uint8_t eventReportId = kEventReportId;
  int eventCodeOffset = 1;
  std::string origin;  // "mice.ini [Sarn]": where it was read, for the user and the debug output
};

struct DeviceList {
  std::vector<MouseEntry> mice;
  std::vector<std::string> problems;  // one line each, naming the file and what was left out
};

// Past these the rest is left out (and named): the list is read by a library inside another program.
inline constexpr std::size_t kMaxDeviceListBytes = 64 * 1024;
inline constexpr std::size_t kMaxMice = 64;

[[nodiscard]] DeviceList ParseDeviceList(std::string_view bytes, std::string_view fileName);
// The user's entries replace the shipped ones with the same vendor and product id and are added otherwise.
[[nodiscard]] DeviceList MergeDeviceLists(DeviceList shipped, DeviceList user);
// mice.ini and mice.user.ini of the folder, merged. A missing file is no problem; an unreadable one is named.
[[nodiscard]] DeviceList LoadDeviceList(const std::filesystem::path& folder);

// The entry for a collection: same vendor id, product id, usage page and usage; null when none.
[[nodiscard]] const MouseEntry* FindMouseEntry(const DeviceList& list, std::uint16_t vendorId,
                                               std::uint16_t productId, std::uint16_t usagePage,
                                               std::uint16_t usage);

// "VID:PID" in hex (with or without 0x): false when malformed or out of range (vendor 0 included).
[[nodiscard]] bool ParseUsbIds(std::string_view text, std::uint16_t& vendorId, std::uint16_t& productId);
// A number as the list writes it (0x.. hex or decimal), nothing else around it; false when junk or above max.
[[nodiscard]] bool ParseListNumber(std::string_view text, unsigned max, unsigned& value);
// "1209:0001".
[[nodiscard]] std::string FormatUsbIds(std::uint16_t vendorId, std::uint16_t productId);

// Writes the entry into a list document, replacing every section with the same vendor and product id; the
// section is named after the ids. False (document untouched) when a field is out of range.
bool PutMouseEntry(IniDocument& document, const MouseEntry& entry);

}  // namespace sarn::hid
