#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/private_profile.h"
#include "common/timer_list.h"
#include "storage_test_support.h"

namespace sarn {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

TEST(TimerList, RoundTripAndExactFileText) {
  TempFolder folder;
  TimerList list;
  ASSERT_TRUE(AddTimer(list, "  Egg ", 240));
  ASSERT_TRUE(AddTimer(list, "Respawn", 10));
  EXPECT_FALSE(AddTimer(list, "EGG", 30));
  EXPECT_FALSE(AddTimer(list, "   ", 30));
  ASSERT_EQ(SaveTimers(list, folder.path()), 1);
  std::string expected = "[Timer]\r\nCount=2\r\n0=" + test::HandHex(&list.timers[0], 104) + "\r\n1=" +
                         test::HandHex(&list.timers[1], 104) + "\r\n";
  EXPECT_EQ(ReadBytes(TimerFilePath(folder.path())), expected);

  TimerList back;
  ASSERT_EQ(LoadTimers(back, folder.path()), 1);
  ASSERT_EQ(back.timers.size(), 2u);
  EXPECT_STREQ(back.timers[0].name, "Egg");
  EXPECT_EQ(back.timers[0].value, 240u);
  EXPECT_EQ(FindTimerByName(back, "respawn "), 1);
  EXPECT_EQ(FindTimerByName(back, "Resp"), -1);
  ASSERT_NE(TimerAt(back, 1), nullptr);
  EXPECT_EQ(TimerAt(back, 1)->value, 10u);
  EXPECT_EQ(TimerAt(back, 2), nullptr);
  EXPECT_EQ(TimerAt(back, -1), nullptr);

  // Saving fewer timers leaves no stale keys behind.
  back.timers.pop_back();
  ASSERT_EQ(SaveTimers(back, folder.path()), 1);
  EXPECT_EQ(ReadBytes(TimerFilePath(folder.path())).find("1="), std::string::npos);
}

TEST(TimerList, DamagedFilesAndTheCap) {
  TempFolder folder;
  TimerRecord good{};
  good.value = 30;
  std::strcpy(good.name, "Thirty");
  TimerRecord overlong{};
  std::memset(overlong.name, 'x', sizeof overlong.name);
  const std::string goodHex = EncodeStructValue(&good, sizeof good);
  const struct {
    const char* what;
    std::string text;
    std::size_t size;
  } cases[] = {
      {"missing count", "[Timer]\r\n0=" + goodHex + "\r\n", 0},
      {"negative count", "[Timer]\r\nCount=-3\r\n", 0},
      {"bad records stay as zero records", "[Timer]\r\nCount=3\r\n0=" + goodHex.substr(2) + "\r\n1=" + goodHex + "\r\n", 3},
      {"huge count is capped", "[Timer]\r\nCount=2000000000\r\n", kMaxTimers},
      {"garbage", std::string("\x01\x02[[[==\r\n\r\r\n", 12), 0},
      {"overlong name", "[Timer]\r\nCount=1\r\n0=" + EncodeStructValue(&overlong, sizeof overlong) + "\r\n", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(TimerFilePath(folder.path()), c.text);
    TimerList list;
    EXPECT_EQ(LoadTimers(list, folder.path()), 1);
    ASSERT_EQ(list.timers.size(), c.size);
    for (const auto& t : list.timers) EXPECT_LT(std::strlen(t.name), sizeof t.name);
  }
  WriteBytes(TimerFilePath(folder.path()), cases[2].text);
  TimerList list;
  (void)LoadTimers(list, folder.path());
  EXPECT_EQ(list.timers[0].value, 0u);
  EXPECT_STREQ(list.timers[1].name, "Thirty");

  std::filesystem::remove(TimerFilePath(folder.path()));
  EXPECT_EQ(LoadTimers(list, folder.path()), 0);
  EXPECT_TRUE(list.timers.empty());

  for (int i = 0; i < 60; ++i) {
    std::string name = "timer ";
    name += std::to_string(i);
    (void)AddTimer(list, name, 10);
  }
  EXPECT_EQ(list.timers.size(), kMaxTimers);
}

}  // namespace
}  // namespace sarn
