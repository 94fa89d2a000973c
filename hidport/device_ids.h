// The USB identity of the mouse, in one place: the real hidport.dll looks for it, the virtual one reports it.
#pragma once

#include <cstdint>

namespace sarn::hid {

// The pid.codes vendor and its test product id: stand-ins until the mouse's own ids are known.
inline constexpr std::uint16_t kVendorId = 0x1209;
inline constexpr std::uint16_t kProductId = 0x0001;

}  // namespace sarn::hid
