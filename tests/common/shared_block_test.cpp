#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "common/shared_block.h"

namespace sarn {
namespace {

std::unique_ptr<SharedBlock> DefaultBlock() {
  auto b = std::make_unique<SharedBlock>();
  std::memset(b.get(), 0, sizeof *b);
  ResetSettings(*b, [] { return 1; });
  return b;
}

TEST(ChangeFlags, NothingChangedSetsNothing) {
  auto last = DefaultBlock();
  auto work = std::make_unique<SharedBlock>(*last);
  work->ButtonChanged[1][2] = 1;
  ComputeChangeFlags(*work, *last);
  EXPECT_EQ(work->SettingsChanged, 0);
  for (int p = 0; p < kProfileCount; ++p) EXPECT_EQ(work->ProfileChanged[p], 0);
  EXPECT_EQ(work->ButtonChanged[1][2], 1);  // set at edit time, kept
}

TEST(ChangeFlags, EachDeviceFieldMarksItsProfileAndOthersDoNot) {
  auto last = DefaultBlock();
  using Edit = void (*)(ProfileRecord&);
  const Edit deviceEdits[] = {
      [](ProfileRecord& p) { p.HDDKeyboard = 0; },   [](ProfileRecord& p) { p.Orientation = 1; },
      [](ProfileRecord& p) { p.XYSynchronous = 0; }, [](ProfileRecord& p) { p.Sensitivity_X = 9; },
      [](ProfileRecord& p) { p.Sensitivity_Y = 9; }, [](ProfileRecord& p) { p.dpi[5] = 0; },
      [](ProfileRecord& p) { p.Cpi_X = 4; },         [](ProfileRecord& p) { p.Cpi_Y = 4; },
      [](ProfileRecord& p) { p.XYCpiFlag = 0; },     [](ProfileRecord& p) { p.PollingRate = 0; },
      [](ProfileRecord& p) { p.LightSwitch = 0; },   [](ProfileRecord& p) { p.LightType = 0; },
      [](ProfileRecord& p) { p.ColorFlag = 0; },     [](ProfileRecord& p) { p.ColorOptions = 3; },
      [](ProfileRecord& p) { p.ColorChangeMode = 2; }, [](ProfileRecord& p) { p.BTOption = 1; },
  };
  for (Edit edit : deviceEdits) {
    auto work = std::make_unique<SharedBlock>(*last);
    edit(work->profiles[3]);
    ComputeChangeFlags(*work, *last);
    EXPECT_EQ(work->ProfileChanged[3], 1);
    EXPECT_EQ(work->ProfileChanged[2], 0);
    EXPECT_EQ(work->SettingsChanged, 0);
  }
  const Edit hostEdits[] = {
      [](ProfileRecord& p) { p.MouseSpeed = 3; }, [](ProfileRecord& p) { p.ProFileName[0] = 'X'; },
      [](ProfileRecord& p) { p.MacroKeyInfo[4].functionCode = 6; }, [](ProfileRecord& p) { p.TiltSpeed = 9; },
  };
  for (Edit edit : hostEdits) {
    auto work = std::make_unique<SharedBlock>(*last);
    edit(work->profiles[3]);
    ComputeChangeFlags(*work, *last);
    EXPECT_EQ(work->ProfileChanged[3], 0);
  }
}

TEST(ChangeFlags, ActiveProfileAndSoundOptionsAreSettings) {
  auto last = DefaultBlock();
  for (auto field : {&SharedBlock::CurrentProfile, &SharedBlock::SoundProfile, &SharedBlock::SoundDpi,
                     &SharedBlock::SoundSens, &SharedBlock::SoundVolume}) {
    auto work = std::make_unique<SharedBlock>(*last);
    work.get()->*field += 1;
    ComputeChangeFlags(*work, *last);
    EXPECT_EQ(work->SettingsChanged, 1);
  }
  auto work = std::make_unique<SharedBlock>(*last);
  work->WindowsProfile = 2;
  work->QuickHelpLan = 5;
  ComputeChangeFlags(*work, *last);
  EXPECT_EQ(work->SettingsChanged, 0);
  work->ButtonChanged[0][0] = work->ProfileChanged[1] = work->SettingsChanged = 1;
  ClearChangeFlags(*work);
  EXPECT_EQ(work->ButtonChanged[0][0] + work->ProfileChanged[1] + work->SettingsChanged, 0);
}

}  // namespace
}  // namespace sarn
