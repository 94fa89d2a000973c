// The virtual mouse's far side on any input: feature reports of any length and content from the library,
// control-pipe lines from the tests, and physical inputs, in any order. It must never fail an invariant of
// its own state, and every reply it gives must be a single line.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "hidport/virtual_mouse.h"

namespace {

class CountingSink : public sarn::vmouse::EventSink {
 public:
  void DeviceEvent(std::uint32_t) override { ++events; }
  void DevicePresence(bool) override { ++presence; }
  long events = 0;
  long presence = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  CountingSink sink;
  sarn::vmouse::VirtualMouse mouse(&sink);
  (void)mouse.OpenFeature();
  for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
    switch (input.ConsumeIntegralInRange<int>(0, 6)) {
      case 0: {
        const int length = input.ConsumeIntegralInRange<int>(-2, 300);
        std::vector<std::uint8_t> buffer = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<int>(0, 64));
        buffer.resize(length > 0 ? static_cast<std::size_t>(length) : 1, 0);
        (void)mouse.SetFeature(buffer.data(), length);
        break;
      }
      case 1: {
        const int length = input.ConsumeIntegralInRange<int>(-2, 300);
        std::vector<std::uint8_t> buffer(length > 0 ? static_cast<std::size_t>(length) : 1, 0);
        buffer[0] = input.ConsumeIntegral<std::uint8_t>();
        (void)mouse.GetFeature(buffer.data(), length);
        break;
      }
      case 2: {
        // The pipe hands over what stands before each line feed.
        std::string line = input.ConsumeRandomLengthString(80);
        line = line.substr(0, line.find('\n'));
        const std::string reply = sarn::vmouse::ExecuteControlCommand(mouse, line);
        for (const char c : reply) {
          if (static_cast<unsigned char>(c) < ' ') std::abort();
        }
        break;
      }
      case 3: (void)mouse.Press(input.ConsumeIntegralInRange<int>(-1, 11)); break;
      case 4: (void)mouse.Release(input.ConsumeIntegralInRange<int>(-1, 11)); break;
      case 5: (void)mouse.Event(input.ConsumeIntegral<std::uint32_t>()); break;
      default:
        if (input.ConsumeBool()) mouse.Unplug(); else mouse.Plug();
        break;
    }
    if (mouse.Active() < 0 || mouse.Active() >= sarn::vmouse::kProfiles) std::abort();
  }
  if (mouse.StateJson().find_first_of("\r\n") != std::string::npos) std::abort();
  return 0;
}
