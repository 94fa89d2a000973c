#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>

#include "common/shared_block.h"

namespace sarn {
namespace {

TEST(Win32SharedBlock, MonitorCreatesOptionOpensAndBothCopyTheWholeBlock) {
  bool mapFailed = true;
  EXPECT_EQ(Win32SharedBlock::OpenForOption(mapFailed), nullptr);  // no monitor yet
  EXPECT_FALSE(mapFailed);

  auto monitor = Win32SharedBlock::CreateForMonitor();
  ASSERT_NE(monitor, nullptr);
  ASSERT_TRUE(monitor->mapped());
  EXPECT_EQ(Win32SharedBlock::CreateForMonitor(), nullptr);  // a second monitor finds the mutex

  auto written = std::make_unique<SharedBlock>();
  std::memset(written.get(), 0, sizeof *written);
  ResetSettings(*written, [] { return 3; });
  written->SoundVolume = 4;  // the last field: the whole block travels
  ASSERT_EQ(monitor->WriteBlock(*written), 1);

  auto option = Win32SharedBlock::OpenForOption(mapFailed);
  ASSERT_NE(option, nullptr);
  auto read = std::make_unique<SharedBlock>();
  ASSERT_EQ(option->ReadBlock(*read), 1);
  EXPECT_EQ(std::memcmp(read.get(), written.get(), sizeof(SharedBlock)), 0);

  read->CurrentProfile = 4;
  ASSERT_EQ(option->WriteBlock(*read), 1);
  ASSERT_EQ(monitor->ReadBlock(*written), 1);
  EXPECT_EQ(written->CurrentProfile, 4);

  option.reset();
  monitor.reset();
  EXPECT_EQ(Win32SharedBlock::OpenForOption(mapFailed), nullptr);  // gone with the monitor
  EXPECT_NE(Win32SharedBlock::CreateForMonitor(), nullptr);
}

}  // namespace
}  // namespace sarn
