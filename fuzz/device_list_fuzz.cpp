// The device list as a user may leave it: any bytes give a bounded list whose every entry is in range, and an
// entry written back the way sarnctl writes it reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/private_profile.h"
#include "hidport/device_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const sarn::hid::DeviceList list = sarn::hid::ParseDeviceList(bytes, "mice.ini");
  if (list.mice.size() > sarn::hid::kMaxMice) std::abort();
  for (const auto& m : list.mice) {
    if (m.vendorId == 0 || m.usagePage == 0 || m.eventReportId == 0 || m.eventCodeOffset < 1 ||
        m.eventCodeOffset > 60) {
      std::abort();
    }
    sarn::IniDocument document;
    if (!sarn::hid::PutMouseEntry(document, m)) std::abort();
    const sarn::hid::DeviceList back = sarn::hid::ParseDeviceList(document.Serialize(), "mice.user.ini");
    if (back.mice.size() != 1) std::abort();
    const auto& b = back.mice[0];
    if (b.vendorId != m.vendorId || b.productId != m.productId || b.usagePage != m.usagePage || b.usage != m.usage ||
        b.eventReportId != m.eventReportId || b.eventCodeOffset != m.eventCodeOffset) {
      std::abort();
    }
  }
  return 0;
}
