#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "common/profile_record.h"

namespace sarn {
namespace {

TEST(ProfileDefaults, ThirdSlotHasItsNameCodesAndZeroedSlots) {
  ProfileRecord r;
  std::memset(&r, 0xAB, sizeof r);
  InitProfileDefaults(r, 2);
  EXPECT_STREQ(r.ProFileName, "Default3");
  EXPECT_EQ(r.GameFile0[0], '\0');
  EXPECT_EQ(r.MacroKeyInfo[13].functionCode, 0);   // B14
  EXPECT_EQ(r.MacroKeyInfo[4].functionCode, 65);   // B5
  const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
  for (std::size_t i = kProfileHeaderSize; i < sizeof r; ++i) {
    std::size_t inSlot = (i - kProfileHeaderSize) % sizeof(ButtonSlot);
    std::size_t slot = (i - kProfileHeaderSize) / sizeof(ButtonSlot);
    unsigned expected = inSlot == 0 ? slot : inSlot == 1 ? DefaultButtonCodes[slot] : 0;
    ASSERT_EQ(bytes[i], expected) << "byte " << i;
  }
  // The bytes after a text's terminator are not written.
  EXPECT_EQ(static_cast<unsigned char>(r.ProFileName[9]), 0xAB);
  EXPECT_EQ(static_cast<unsigned char>(r.GameFile0[1]), 0xAB);
}

TEST(ProfileDefaults, HeaderValuesAndDpiBytes) {
  ProfileRecord r{};
  InitProfileDefaults(r, 0);
  EXPECT_STREQ(r.ProFileName, "Default1");
  EXPECT_EQ(r.DbleClickSpeed, 500);
  EXPECT_EQ(r.MouseSpeed, 10);
  EXPECT_EQ(r.HDDKeyboard, 1);
  EXPECT_EQ(r.PollingRate, 3);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
  EXPECT_EQ(bytes[1809], 1);  // dpi5
  EXPECT_EQ(bytes[1812], 2);  // Cpi_X starts here
  EXPECT_EQ(bytes[1810], 0);
}

TEST(SharedBlockReset, ResetKeepsMouseTypeAndFlagsClearKeepsSounds) {
  auto block = std::make_unique<SharedBlock>();
  std::memset(block.get(), 0, sizeof *block);
  block->MouseType = 7;
  block->ButtonChanged[2][3] = 1;
  ResetSettings(*block, [] { return 11; });
  EXPECT_EQ(block->CurrentProfile, 0);
  EXPECT_EQ(block->WindowsProfile, -1);
  EXPECT_EQ(block->QuickHelpLan, 11);
  EXPECT_EQ(block->SoundVolume, 2);
  EXPECT_EQ(block->MouseType, 7);
  EXPECT_EQ(block->ButtonChanged[2][3], 1);
  EXPECT_STREQ(block->profiles[4].ProFileName, "Default5");

  block->WindowsProfile = 3;
  block->ProfileChanged[1] = 1;
  block->SettingsChanged = 1;
  ClearSharedBlock(*block);
  EXPECT_EQ(block->CurrentProfile, -1);
  EXPECT_EQ(block->WindowsProfile, 3);
  EXPECT_EQ(block->SoundVolume, 2);
  EXPECT_EQ(block->SoundProfile, 1);
  EXPECT_EQ(block->MouseType, 0);
  EXPECT_EQ(block->ButtonChanged[2][3], 0);
  EXPECT_EQ(block->ProfileChanged[1], 0);
  EXPECT_EQ(block->SettingsChanged, 0);
  EXPECT_EQ(block->profiles[0].ProFileName[0], '\0');
}

TEST(NotificationDefaults, PortIntervalAndEmptyTexts) {
  NotificationSettings s;
  std::memset(&s, 0x5A, sizeof s);
  ResetNotificationSettings(s);
  EXPECT_EQ(s.mailPort, 110);
  EXPECT_EQ(s.checkInterval, 5);
  EXPECT_EQ(s.mailServer[0], '\0');
  EXPECT_EQ(s.mailPassword[0], '\0');
  for (int option : s.options) EXPECT_EQ(option, 0);
  EXPECT_EQ(s.osdWordA, 0);
}

TEST(TextFields, CopyIsCutToTheFieldAndTerminated) {
  char field[5];
  std::memset(field, 'x', sizeof field);
  CopyTextField(field, "abcdefgh");
  EXPECT_STREQ(field, "abcd");
  CopyTextField(field, nullptr);
  EXPECT_STREQ(field, "");
  char unterminated[3] = {'a', 'b', 'c'};
  EXPECT_EQ(TextFieldLength(unterminated), 3u);
}

}  // namespace
}  // namespace sarn
