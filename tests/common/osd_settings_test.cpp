#include "common/osd_settings.h"

#include <gtest/gtest.h>

#include "common/private_profile.h"

namespace sarn {
namespace {

TEST(OsdSettings, JunkAndOutOfRangeValuesFallBackToDefaultsKeyByKey) {
  const auto ini = IniDocument::Parse(
      "[OnScreenDisplay]\r\nEnabled=2\r\nDuration=499\r\nPosition=sideways\r\nMonitor=17\r\n"
      "HiddenWhile= Game.EXE ;;game.exe;other.exe;\r\n");
  const OsdSettings s = ReadOsdSettings(ini);
  EXPECT_TRUE(s.enabled);
  EXPECT_EQ(s.durationMs, 0);
  EXPECT_EQ(s.position, OsdPosition::kBottom);
  EXPECT_EQ(s.monitor, 0);
  EXPECT_EQ(s.hiddenWhile, (std::vector<std::string>{"game.exe", "other.exe"}));

  const auto good = ReadOsdSettings(IniDocument::Parse(
      "[OnScreenDisplay]\r\nEnabled=0\r\nDuration=30000\r\nPosition=TOP\r\nMonitor=16\r\n"));
  EXPECT_FALSE(good.enabled);
  EXPECT_EQ(good.durationMs, 30000);
  EXPECT_EQ(good.position, OsdPosition::kTop);
  EXPECT_EQ(good.monitor, 16);
}

TEST(OsdSettings, WrittenSettingsReadBackAndTheToolRefusesWhatTheReaderWouldDrop) {
  OsdSettings s;
  std::string error;
  for (const auto& [key, value] : std::vector<std::pair<const char*, const char*>>{
           {"Enabled", "0"}, {"duration", "1500"}, {"Position", "center"}, {"Monitor", "2"},
           {"HiddenWhile", "a.exe;b.exe"}}) {
    auto next = SetOsdSetting(s, key, value, error);
    ASSERT_TRUE(next) << key << ": " << error;
    s = *next;
  }
  IniDocument ini;
  WriteOsdSettings(ini, s);
  const OsdSettings back = ReadOsdSettings(ini);
  EXPECT_FALSE(back.enabled);
  EXPECT_EQ(back.durationMs, 1500);
  EXPECT_EQ(back.position, OsdPosition::kCenter);
  EXPECT_EQ(back.monitor, 2);
  EXPECT_EQ(back.hiddenWhile, (std::vector<std::string>{"a.exe", "b.exe"}));

  for (const auto& [key, value] : std::vector<std::pair<const char*, const char*>>{
           {"Enabled", "yes"}, {"Duration", "100"}, {"Duration", "1500ms"}, {"Monitor", "-1"},
           {"Position", ""}, {"Colour", "red"}}) {
    error.clear();
    EXPECT_FALSE(SetOsdSetting(s, key, value, error)) << key << "=" << value;
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace sarn
