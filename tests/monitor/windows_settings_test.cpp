#include <gtest/gtest.h>

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

}  // namespace
}  // namespace sarn
