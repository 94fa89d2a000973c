// The development test identity the virtual mouse reports (the pid.codes vendor and its test product id). The
// real hidport.dll never includes this: it takes its mice from the device list beside it (device_list.h), and
// this id is in that list only in development folders and test builds (hidport/virtual/mice.ini).
#pragma once

#include <cstdint>

namespace sarn::hid {

inline constexpr std::uint16_t kVendorId = 0x1209;
inline constexpr std::uint16_t kProductId = 0x0001;

}  // namespace sarn::hid
