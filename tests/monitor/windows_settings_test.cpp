#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "monitor/windows_settings.h"
#include "storage/storage_test_support.h"

namespace sarn {
namespace {

struct RecordingSystem final : SystemMouseSettings {
  std::vector<std::string> calls;
  void SetDoubleClickTime(int ms) override { calls.push_back("dblclk " + std::to_string(ms)); }
  void SetMouse(int t1, int t2, int a) override {
    calls.push_back("mouse " + std::to_string(t1) + "," + std::to_string(t2) + "," + std::to_string(a));
  }
  void SetMouseSpeed(int s) override { calls.push_back("speed " + std::to_string(s)); }
  void SetWheelScrollLines(std::uint32_t l) override { calls.push_back("lines " + std::to_string(l)); }
  void SetWheelScrollChars(int c) override { calls.push_back("chars " + std::to_string(c)); }
};

class WindowsSettingsTest : public ::testing::Test {
 protected:
  WindowsSettingsTest() {
    InitProfileDefaults(profile, 0);
    registry.SetText(kMouseKeyPath, "MouseThreshold1", "6");
    registry.SetText(kMouseKeyPath, "MouseThreshold2", "10");
    registry.SetText(kMouseKeyPath, "MouseSpeed", "1");
  }
  ProfileRecord profile{};
  test::MemoryRegistry registry;
  RecordingSystem system;
};

TEST_F(WindowsSettingsTest, AccelerationOffClearsTheRegistryAndTheProfileLevel) {
  profile.AccelerationFlag = 0;
  profile.Acceleration = 12;
  ApplyWindowsSettings(profile, &registry, system);
  EXPECT_EQ(profile.Acceleration, 0);
  EXPECT_EQ(registry.Get(kMouseKeyPath, "MouseThreshold1"), "0");
  EXPECT_EQ(registry.Get(kMouseKeyPath, "MouseThreshold2"), "0");
  EXPECT_EQ(registry.Get(kMouseKeyPath, "MouseSpeed"), "0");
  EXPECT_EQ(system.calls,
            (std::vector<std::string>{"dblclk 500", "mouse 0,0,0", "speed 10", "lines 3", "chars 3"}));
}

TEST_F(WindowsSettingsTest, AccelerationOnUsesTheRegistryAsItIs) {
  profile.AccelerationFlag = 1;
  profile.Acceleration = 12;
  profile.ScrollWheelFlag = 1;
  profile.ScrollWheelSpeed = 7;
  ApplyWindowsSettings(profile, &registry, system);
  EXPECT_EQ(profile.Acceleration, 12);
  EXPECT_EQ(registry.Get(kMouseKeyPath, "MouseThreshold1"), "6");
  EXPECT_EQ(system.calls[1], "mouse 6,10,1");
  EXPECT_EQ(system.calls[3], "lines 4294967295");  // a page per notch whatever the line count
}

TEST_F(WindowsSettingsTest, MissingOrJunkValuesReadAsZeroAndNoRegistryStillApplies) {
  registry.SetText(kMouseKeyPath, "MouseThreshold1", "junk");
  registry.SetNonText(kMouseKeyPath, "MouseThreshold2");
  registry.SetText(kMouseKeyPath, "MouseSpeed", "0");
  profile.Acceleration = 5;
  ApplyWindowsSettings(profile, &registry, system);
  EXPECT_EQ(profile.Acceleration, 5);  // nothing to switch off
  EXPECT_EQ(registry.Get(kMouseKeyPath, "MouseThreshold1"), "junk");
  EXPECT_EQ(system.calls[1], "mouse 0,0,0");

  system.calls.clear();
  registry.Refuse(kMouseKeyPath);
  ApplyWindowsSettings(profile, &registry, system);
  ApplyWindowsSettings(profile, nullptr, system);
  EXPECT_EQ(system.calls.size(), 10u);  // every step runs regardless of the registry
}

// Numbers from a file, the shared block or the registry reach the system calls within the ranges the system
// and the pages know.
TEST_F(WindowsSettingsTest, OutOfRangeValuesReachTheSystemClamped) {
  profile.AccelerationFlag = 1;
  profile.DbleClickSpeed = INT_MIN;
  profile.MouseSpeed = 1000;
  profile.ScrollWheelSpeed = -5;
  profile.TiltSpeed = 1000000;
  registry.SetText(kMouseKeyPath, "MouseThreshold1", "-7");
  registry.SetText(kMouseKeyPath, "MouseThreshold2", "99999");
  registry.SetText(kMouseKeyPath, "MouseSpeed", "9");
  ApplyWindowsSettings(profile, &registry, system);
  EXPECT_EQ(system.calls,
            (std::vector<std::string>{"dblclk 200", "mouse 0,255,2", "speed 20", "lines 1", "chars 10"}));
  EXPECT_EQ(profile.TiltSpeed, 1000000);  // the record keeps what it holds

  system.calls.clear();
  profile.DbleClickSpeed = INT_MAX;
  profile.MouseSpeed = 0;
  profile.ScrollWheelSpeed = INT_MAX;
  profile.TiltSpeed = INT_MIN;
  ApplyWindowsSettings(profile, &registry, system);
  EXPECT_EQ(system.calls,
            (std::vector<std::string>{"dblclk 900", "mouse 0,255,2", "speed 1", "lines 10", "chars 1"}));
}

}  // namespace
}  // namespace sarn
