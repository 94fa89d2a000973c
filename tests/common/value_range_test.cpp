#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "common/value_range.h"

namespace sarn {
namespace {

TEST(Clamped, EveryRangeKeepsItsValuesAndLimitsTheRest) {
  struct Row {
    const char* field;
    ValueRange range;
  };
  const Row rows[] = {
      {"DbleClickSpeed", kDoubleClickSpeedRange}, {"ScrollWheelSpeed", kScrollWheelSpeedRange},
      {"MouseSpeed", kMouseSpeedRange},           {"Acceleration", kAccelerationRange},
      {"TiltSpeed", kTiltSpeedRange},             {"Sensitivity", kSensitivityRange},
      {"Cpi", kCpiRange},                         {"PollingRate", kPollingRateRange},
      {"flags", kFlagRange},                      {"ColorOptions", kColorOptionsRange},
      {"ColorChangeMode", kColorChangeModeRange}, {"system acceleration", kSystemAccelerationRange},
      {"thresholds", kMouseThresholdRange},       {"message 1238 steps", kIEScrollStepsRange},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.field);
    const ValueRange r = row.range;
    ASSERT_LE(r.min, r.max);
    EXPECT_EQ(Clamped(INT_MIN, r), r.min);
    EXPECT_EQ(Clamped(r.min - 1, r), r.min);
    EXPECT_EQ(Clamped(r.min, r), r.min);
    EXPECT_EQ(Clamped((r.min + r.max) / 2, r), (r.min + r.max) / 2);
    EXPECT_EQ(Clamped(r.max, r), r.max);
    EXPECT_EQ(Clamped(r.max + 1, r), r.max);
    EXPECT_EQ(Clamped(INT_MAX, r), r.max);
  }
}

TEST(Clamped, WideAndUnsignedValuesAreLimitedBeforeTheyNarrow) {
  // A message parameter is 64 bits wide: its low 32 bits alone would read as 5, or as -1.
  EXPECT_EQ(Clamped(std::uint64_t{0x100000005}, kTiltSpeedRange), 10);
  EXPECT_EQ(Clamped(std::uint64_t{0xFFFFFFFF}, kIEScrollStepsRange), 100);
  EXPECT_EQ(Clamped(std::uint64_t{UINT64_MAX}, kIEScrollStepsRange), 100);
  EXPECT_EQ(Clamped(std::int64_t{INT64_MIN}, kDoubleClickSpeedRange), 200);
  EXPECT_EQ(Clamped(std::uint8_t{255}, kColorOptionsRange), 6);
  EXPECT_EQ(Clamped(0u, kTiltSpeedRange), 1);
}

}  // namespace
}  // namespace sarn
