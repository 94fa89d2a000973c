#include <chrono>
#include <thread>

#include "monitor/device/device_clock.h"

namespace sarn {

#ifndef _WIN32
namespace {

class SteadyDeviceClock final : public DeviceClock {
 public:
  std::int64_t NowMs() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  void SleepUntilMs(std::int64_t deadline) override {
    using namespace std::chrono;
    std::this_thread::sleep_until(steady_clock::time_point(milliseconds(deadline)));
  }
};

}  // namespace

DeviceClock& SystemDeviceClock() {
  static SteadyDeviceClock clock;
  return clock;
}
#endif

}  // namespace sarn
