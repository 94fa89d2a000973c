#include <gtest/gtest.h>

#include "monitor/instance_start.h"

namespace sarn {
namespace {

// The answers CreateMutex gives at the monitor's start, in Win32 numbers.
constexpr unsigned long kNoError = 0;
constexpr unsigned long kAccessDenied = 5;
constexpr unsigned long kAlreadyExists = 183;
constexpr unsigned long kInvalidHandle = 6;

TEST(InstanceStart, FirstRunsAndSecondHandsOver) {
  EXPECT_EQ(DecideInstanceStart(true, kNoError), InstanceStart::kRun);
  EXPECT_EQ(DecideInstanceStart(true, kAlreadyExists), InstanceStart::kHandOver);
}

// An elevated monitor's mutex refuses a normal one: neither a second monitor nor a silent end.
TEST(InstanceStart, RefusedMutexMeansAnUnreachableMonitor) {
  EXPECT_EQ(DecideInstanceStart(false, kAccessDenied), InstanceStart::kUnreachable);
  // Only the handle tells whether the mutex was made; a stale error beside a handle changes nothing.
  EXPECT_EQ(DecideInstanceStart(true, kAccessDenied), InstanceStart::kRun);
  EXPECT_EQ(DecideInstanceStart(false, kInvalidHandle), InstanceStart::kRunUnguarded);
}

}  // namespace
}  // namespace sarn
