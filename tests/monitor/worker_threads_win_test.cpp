// The two worker threads are created as the monitor creates them, and each measures, from inside, the stack it
// was given. Wine gives every thread at least 1 MiB whatever it asks for, so the check is against the stated
// 2 MiB reservation: a thread that asks for a small reservation of its own gets less here too.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "common/worker_thread.h"
#include "monitor/device/device_thread_win.h"
#include "monitor/input/macro_player.h"

namespace sarn {
namespace {

TEST(WorkerThreads, ReservationIsTheExecutablesNotAPage) {
  static_assert(kStackReservation >= 2 * 1024 * 1024);
  std::atomic<std::size_t> deviceStack{0}, playerStack{0};
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);

  Win32DeviceThread device(1649);
  ASSERT_TRUE(device.Start([&](int job, std::intptr_t parameter) {
    EXPECT_EQ(job, 2);
    EXPECT_EQ(parameter, 77);
    deviceStack = CurrentStackReservation();
    SetEvent(done);
  }));
  ASSERT_TRUE(device.Post(2, 77));
  ASSERT_EQ(WaitForSingleObject(done, 30000), WAIT_OBJECT_0);
  device.Stop();

  ResetEvent(done);
  auto player = MakeWin32PlayerThread();
  ASSERT_TRUE(player->Start([&] {
    playerStack = CurrentStackReservation();
    SetEvent(done);
  }));
  ASSERT_TRUE(player->PostPlay());
  ASSERT_EQ(WaitForSingleObject(done, 30000), WAIT_OBJECT_0);
  player->Stop();
  CloseHandle(done);

  EXPECT_GE(deviceStack.load(), kStackReservation);
  EXPECT_GE(playerStack.load(), kStackReservation);
  // The thread that runs the tests is the reference: same image, same reservation.
  EXPECT_GE(CurrentStackReservation(), kStackReservation);
}

}  // namespace
}  // namespace sarn
