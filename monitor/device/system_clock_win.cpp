#include <windows.h>
#include <mmsystem.h>
#include <timeapi.h>

#include <chrono>

#include "common/late_library_win.h"
#include "monitor/device/device_clock.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace sarn {
namespace {

// A plain Sleep rounds to the 15.6 ms tick; a high-resolution waitable timer does not. Older systems
// refuse the flag, and then the timer period is raised to 1 ms instead.
class WindowsDeviceClock final : public DeviceClock {
 public:
  std::int64_t NowMs() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  void SleepUntilMs(std::int64_t deadline) override {
    const std::int64_t left = deadline - NowMs();
    if (left <= 0) return;
    thread_local Timer timer;
    if (timer.handle) {
      LARGE_INTEGER due;
      due.QuadPart = -left * 10000;  // relative, in 100 ns units
      if (SetWaitableTimer(timer.handle, &due, 0, nullptr, nullptr, FALSE)) {
        WaitForSingleObject(timer.handle, INFINITE);
        return;
      }
    }
    Sleep(static_cast<DWORD>(left));
  }

 private:
  struct Timer {
    Timer() {
      handle = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
      if (!handle) {
        raisedPeriod = RaiseTimerPeriod();
        handle = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
      }
    }
    ~Timer() {
      if (handle) CloseHandle(handle);
      if (raisedPeriod) LowerTimerPeriod();
    }
    HANDLE handle = nullptr;
    bool raisedPeriod = false;
  };
};

}  // namespace

DeviceClock& SystemDeviceClock() {
  static WindowsDeviceClock clock;
  return clock;
}

}  // namespace sarn
