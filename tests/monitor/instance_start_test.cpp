#include <gtest/gtest.h>

#include "monitor/instance_start.h"

namespace sarn {
namespace {

// The answers CreateMutex gives at the monitor's start, in Win32 numbers.
constexpr unsigned long kNoError = 0;
constexpr unsigned long kAccessDenied = 5;
constexpr unsigned long kAlreadyExists = 183;
constexpr unsigned long kInvalidHandle = 6;

// Ownership decides, not existence: a mutex kept alive by another program, or abandoned by a crashed monitor,
// is acquired and this monitor runs.
TEST(InstanceStart, OwnershipDecidesWhetherAMonitorRuns) {
  EXPECT_EQ(DecideInstanceStart(true, kNoError, true), InstanceStart::kRun);
  EXPECT_EQ(DecideInstanceStart(true, kAlreadyExists, true), InstanceStart::kRun);
  EXPECT_EQ(DecideInstanceStart(true, kAlreadyExists, false), InstanceStart::kHandOver);
}

// An elevated monitor's mutex refuses a normal one: neither a second monitor nor a silent end.
TEST(InstanceStart, RefusedMutexMeansAnUnreachableMonitor) {
  EXPECT_EQ(DecideInstanceStart(false, kAccessDenied, false), InstanceStart::kUnreachable);
  // Only the handle tells whether the mutex was made; a stale error beside a handle changes nothing.
  EXPECT_EQ(DecideInstanceStart(true, kAccessDenied, true), InstanceStart::kRun);
  EXPECT_EQ(DecideInstanceStart(false, kInvalidHandle, false), InstanceStart::kRunUnguarded);
}

}  // namespace
}  // namespace sarn
