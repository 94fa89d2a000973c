// Which HID collection is the mouse. Ids can be shared (a test id on a hobby board, a maker's id on another of
// its products), so a listed collection is taken only after it answered a harmless read like the mouse does:
// GetFeature of report 4, the ready status. Nothing is written to a collection before that.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hidport/device_list.h"
#include "hidport/hid_mouse.h"

namespace sarn::hid {

inline constexpr std::uint8_t kReadyReportId = 4;
inline constexpr int kReadyReportLength = 3;

// Empty when the answer is the mouse's (report id 4, a status of 1 done, 2 failed or 3 busy, from a collection
// whose feature reports hold report 4); else why not, for the user.
// `read` is whether GetFeature succeeded; `length` the collection's feature report length, the bytes read.
[[nodiscard]] std::string JudgeReadyAnswer(bool read, const std::uint8_t* report, int length);

enum class Verdict {
  kNotListed,   // no entry of the device list has these ids and usage
  kNoAnswer,    // listed, but it did not answer as the mouse (why says how)
  kNotTried,    // listed, not tried: an earlier collection was chosen
  kChosen,      // the mouse
};

struct CollectionVerdict {
  Verdict verdict = Verdict::kNotListed;
  std::string why;
  const MouseEntry* entry = nullptr;  // into the list given; null when not listed
};

// Opens the collection, reads its ready status and closes it again; empty when it answered as the mouse, else
// why not. Never writes.
[[nodiscard]] std::string ProbeCollection(HidApi& api, const HidDeviceInfo& device);

// One verdict per collection, in the order given. Listed collections are probed in that order until one answers.
[[nodiscard]] std::vector<CollectionVerdict> ChooseMouse(HidApi& api, const std::vector<HidDeviceInfo>& devices,
                                                         const DeviceList& list);

// "not in the device list", "chosen", ...: the verdict as sarnctl and the debug output say it.
[[nodiscard]] std::string DescribeVerdict(const CollectionVerdict& verdict);

}  // namespace sarn::hid
