#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "common/registry.h"
#include "storage_test_support.h"

namespace sarn {
namespace {

using test::MemoryRegistry;

ProfileRecord Profile() {
  ProfileRecord r;
  std::memset(&r, 0, sizeof r);
  InitProfileDefaults(r, 0);
  return r;
}

TEST(ReadMouseRegistry, AccelerationRowsLastMatchWinsAndNoMatchKeeps) {
  const struct {
    const char* speed;
    const char* t1;
    const char* t2;
    int before;
    int after;
    int flag;
  } cases[] = {
      {"1", "6", "10", 7, 7, 1},      // common Windows default: no speed-1 row has threshold 2 >= 10
      {"1", "6", "10", 0, 0, 0},      // ... and a kept 0 means acceleration off
      {"2", "4", "6", 3, 18, 1},      // rows 11..18 match, the last one wins
      {"0", "0", "0", 12, 0, 0},      // row 0 only
      {"1", "4", "0", 0, 10, 1},      // rows 1..10 match
      {"1", "13", "0", 5, 1, 1},      // only row 1 has threshold 1 >= 13
      {"3", "0", "0", 9, 9, 1},       // no row has speed 3
      {"abc", "4", "6", 4, 4, 1},     // junk speed: unreadable, level kept
      {"2", "", "6", 4, 4, 1},        // empty threshold: unreadable
      {" 2", "+4", "6xyz", 4, 18, 1}, // blanks, sign and trailing junk are read like decimal text
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.speed) + "," + c.t1 + "," + c.t2);
    MemoryRegistry reg;
    reg.SetText(kMouseKeyPath, "MouseSpeed", c.speed);
    reg.SetText(kMouseKeyPath, "MouseThreshold1", c.t1);
    reg.SetText(kMouseKeyPath, "MouseThreshold2", c.t2);
    ProfileRecord r = Profile();
    r.Acceleration = c.before;
    r.AccelerationFlag = 1 - c.flag;  // must be recomputed
    EXPECT_EQ(ReadMouseRegistry(r, reg), 1);
    EXPECT_EQ(r.Acceleration, c.after);
    EXPECT_EQ(r.AccelerationFlag, c.flag);
  }
}

TEST(ReadMouseRegistry, WheelLinesAndTilt) {
  struct Case {
    const char* lines;  // nullptr: value missing
    int speedBefore;
    int speedAfter;
    int flagAfter;
  } cases[] = {
      {"-1", 0, 3, 1},   // page scrolling; an unusable line count becomes 3
      {"-1", 7, 7, 1},   // a usable one is kept
      {"-1", 11, 3, 1},
      {"5", 7, 5, 0},
      {"0", 7, 0, 0},
      {nullptr, 6, 6, 0},  // missing: both fields as they were (flag was 0)
      {"junk", 6, 6, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines ? c.lines : "(missing)");
    MemoryRegistry reg;
    if (c.lines) reg.SetText(kDesktopKeyPath, "WheelScrollLines", c.lines);
    ProfileRecord r = Profile();
    r.ScrollWheelSpeed = c.speedBefore;
    r.ScrollWheelFlag = 0;
    EXPECT_EQ(ReadMouseRegistry(r, reg), 1);
    EXPECT_EQ(r.ScrollWheelSpeed, c.speedAfter);
    EXPECT_EQ(r.ScrollWheelFlag, c.flagAfter);
  }
}

TEST(ReadMouseRegistry, MissingOrWrongTypedValuesLeaveFieldsAsTheyWere) {
  MemoryRegistry reg;
  reg.SetNonText(kMouseKeyPath, "DoubleClickSpeed");
  reg.SetText(kMouseKeyPath, "MouseSensitivity", "");
  reg.SetText(kDesktopKeyPath, "WheelScrollChars", std::string(200, '7'));  // too long: cut, still a number
  ProfileRecord r = Profile();
  r.DbleClickSpeed = 432;
  r.MouseSpeed = 12;
  r.TiltSpeed = 4;
  EXPECT_EQ(ReadMouseRegistry(r, reg), 1);
  EXPECT_EQ(r.DbleClickSpeed, 432);
  EXPECT_EQ(r.MouseSpeed, 12);
  EXPECT_EQ(r.TiltSpeed, 2147483647);  // saturated, never undefined
}

TEST(ReadMouseRegistry, KeysThatCannotBeOpenedGiveTheirResults) {
  MemoryRegistry noMouse;
  noMouse.Refuse(kMouseKeyPath);
  ProfileRecord r = Profile();
  EXPECT_EQ(ReadMouseRegistry(r, noMouse), 0);

  MemoryRegistry noDesktop;
  noDesktop.Refuse("control panel\\DESKTOP");  // key paths match without regard to case
  noDesktop.SetText(kMouseKeyPath, "DoubleClickSpeed", "640");
  EXPECT_EQ(ReadMouseRegistry(r, noDesktop), -1);
  EXPECT_EQ(r.DbleClickSpeed, 640);  // the mouse key was read before the failure
}

TEST(WriteMouseRegistry, WritesDecimalTextAndTheAccelerationRow) {
  struct Case {
    int level;
    int flag;
    const char* speed;
    const char* t1;
    const char* t2;
  } cases[] = {
      {25, 1, "2", "4", "5"},  // limited to row 19
      {25, 0, "0", "0", "0"},  // flag off always writes row 0
      {10, 0, "0", "0", "0"},
      {-3, 1, "0", "0", "0"},
      {4, 1, "1", "10", "0"},
      {11, 1, "2", "4", "13"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    MemoryRegistry reg;
    ProfileRecord r = Profile();
    r.Acceleration = c.level;
    r.AccelerationFlag = c.flag;
    EXPECT_EQ(WriteMouseRegistry(r, reg), 1);
    EXPECT_EQ(reg.Get(kMouseKeyPath, "MouseSpeed"), c.speed);
    EXPECT_EQ(reg.Get(kMouseKeyPath, "MouseThreshold1"), c.t1);
    EXPECT_EQ(reg.Get(kMouseKeyPath, "MouseThreshold2"), c.t2);
  }
}

// Windows reads these values at every logon: a junk number from a file never becomes the session's setting.
TEST(WriteMouseRegistry, OutOfRangeValuesAreWrittenClamped) {
  struct Case {
    int value;
    const char* doubleClick;
    const char* pointer;
    const char* lines;
    const char* chars;
  } cases[] = {
      {INT_MIN, "200", "1", "1", "1"},
      {0, "200", "1", "1", "1"},
      {1000000, "900", "20", "10", "10"},
      {INT_MAX, "900", "20", "10", "10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    MemoryRegistry reg;
    ProfileRecord r = Profile();
    r.DbleClickSpeed = r.MouseSpeed = r.ScrollWheelSpeed = r.TiltSpeed = c.value;
    EXPECT_EQ(WriteMouseRegistry(r, reg), 1);
    EXPECT_EQ(reg.Get(kMouseKeyPath, "DoubleClickSpeed"), c.doubleClick);
    EXPECT_EQ(reg.Get(kMouseKeyPath, "MouseSensitivity"), c.pointer);
    EXPECT_EQ(reg.Get(kDesktopKeyPath, "WheelScrollLines"), c.lines);
    EXPECT_EQ(reg.Get(kDesktopKeyPath, "WheelScrollChars"), c.chars);
  }
}

TEST(WriteMouseRegistry, WheelAndFailures) {
  MemoryRegistry reg;
  ProfileRecord r = Profile();
  r.ScrollWheelFlag = 1;
  r.ScrollWheelSpeed = 8;
  r.TiltSpeed = 6;
  r.DbleClickSpeed = 700;
  EXPECT_EQ(WriteMouseRegistry(r, reg), 1);
  EXPECT_EQ(reg.Get(kDesktopKeyPath, "WheelScrollLines"), "-1");
  EXPECT_EQ(reg.Get(kDesktopKeyPath, "WheelScrollChars"), "6");
  EXPECT_EQ(reg.Get(kMouseKeyPath, "DoubleClickSpeed"), "700");

  // Writing then reading gives the profile back (page scrolling keeps its usable line count).
  ProfileRecord back = Profile();
  back.ScrollWheelSpeed = 8;
  EXPECT_EQ(ReadMouseRegistry(back, reg), 1);
  EXPECT_EQ(back.ScrollWheelFlag, 1);
  EXPECT_EQ(back.ScrollWheelSpeed, 8);
  EXPECT_EQ(back.TiltSpeed, 6);

  MemoryRegistry noMouse;
  noMouse.Refuse(kMouseKeyPath);
  EXPECT_EQ(WriteMouseRegistry(r, noMouse), -1);
  EXPECT_EQ(noMouse.Get(kDesktopKeyPath, "WheelScrollLines"), "<missing>");
  MemoryRegistry noDesktop;
  noDesktop.Refuse(kDesktopKeyPath);
  EXPECT_EQ(WriteMouseRegistry(r, noDesktop), -1);
}

}  // namespace
}  // namespace sarn
