// The clock port of the device link. Every wait of the report protocol goes through it, so tests run the
// multi-second schedules in virtual time and assert when each exchange happened.
#pragma once

#include <cstdint>

namespace sarn {

class DeviceClock {
 public:
  virtual ~DeviceClock() = default;
  // Milliseconds on a monotonic scale; only differences mean anything.
  [[nodiscard]] virtual std::int64_t NowMs() = 0;
  // Returns once NowMs() >= deadline (at once when it already is). Waits are scheduled against absolute
  // deadlines so that a slow step does not push every later step back.
  virtual void SleepUntilMs(std::int64_t deadline) = 0;
};

// The real clock: steady_clock, and on Windows a high-resolution waitable timer for the waits.
DeviceClock& SystemDeviceClock();

}  // namespace sarn
