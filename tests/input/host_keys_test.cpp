#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "common/button_functions.h"
#include "input/fake_desktop.h"
#include "monitor/input/host_keys.h"

namespace sarn {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using test::FakeClock;
using test::FakeDesktop;

ButtonSlot Shortcut(std::uint8_t key, std::uint8_t flags) {
  ButtonSlot slot{};
  slot.functionCode = kFnShortcut;
  slot.count = 1;
  slot.events[0] = MacroEvent{key, flags, 0};  // the flags as stored, not as the editor would tidy them
  return slot;
}

class HostKeysTest : public ::testing::Test {
 protected:
  void RunTimersUntil(int ms) {
    desk.RunTimersUntil(ms, [this](unsigned id) {
      if (id == kShortcutTimerId) keys.OnShortcutTimer();
      if (id == kVolumeTimerId) keys.OnVolumeTimer();
    });
  }

  FakeClock clock;
  FakeDesktop desk{clock};
  MediaPlayers players{desk, desk, clock, FakeDesktop::kMain};
  HostKeys keys{desk, UsKeyboardLayout(), clock, desk, desk, players};
};

TEST_F(HostKeysTest, NoModifierFlagPressesTheKeyAloneWhateverElseIsSet) {
  for (std::uint8_t flags : {std::uint8_t{0x01}, std::uint8_t{0x1F}}) {
    clock.Set(0);
    keys.ShortcutButton(0, Shortcut(4, flags), true);
    keys.ShortcutButton(0, Shortcut(4, flags), false);
    EXPECT_THAT(desk.TakeLog(),
                ElementsAre("@0 key 65+", "@0 timer 102 start 1000", "@0 timer 102 stop", "@0 key 65-"))
        << "flags " << int(flags);
  }
}

TEST_F(HostKeysTest, ModifiersGoDownInFixedOrderAndComeUpInReverse) {
  const ButtonSlot slot = Shortcut(58, 0x1E);  // Ctrl+Shift+Alt+Win+F1
  keys.ShortcutButton(0, slot, true);
  clock.Set(50);
  keys.ShortcutButton(0, slot, false);
  EXPECT_THAT(desk.TakeLog(),
              ElementsAre("@0 key 17+", "@1 key 16+", "@2 key 18+", "@3 key 91+", "@4 key 112+",
                          "@4 timer 102 start 1000", "@50 timer 102 stop", "@50 key 112-", "@51 key 91-",
                          "@52 key 18-", "@53 key 16-", "@54 key 17-"));
}

TEST_F(HostKeysTest, KeypadEnterShortcutIsPressedRepeatedAndReleasedWithTheExtendedFlag) {
  const ButtonSlot slot = Shortcut(88, 0x04);  // Ctrl+keypad Enter
  keys.ShortcutButton(0, slot, true);
  RunTimersUntil(1050);
  keys.ShortcutButton(0, slot, false);
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@0 key 17+", "@1 key 13+ ext", "@1 timer 102 start 1000",
                                          "@1001 timer 102 stop", "@1001 timer 102 start 100", "@1001 key 13- ext",
                                          "@1002 key 13+ ext", "@1050 timer 102 stop", "@1050 key 13- ext",
                                          "@1051 key 17-"));
  for (const auto& k : desk.keys) EXPECT_EQ(k.scan, k.vk == 13 ? 0x1Cu : 0x1Du);
}

TEST_F(HostKeysTest, HeldShortcutRepeatsAfterASecondThenEveryTenthOfASecond) {
  const ButtonSlot slot = Shortcut(4, 0x01);
  keys.ShortcutButton(0, slot, true);
  RunTimersUntil(1250);
  keys.ShortcutButton(0, slot, false);
  EXPECT_THAT(desk.TakeLog(),
              ElementsAre("@0 key 65+", "@0 timer 102 start 1000", "@1000 timer 102 stop",
                          "@1000 timer 102 start 100", "@1000 key 65-", "@1001 key 65+", "@1100 key 65-",
                          "@1101 key 65+", "@1200 key 65-", "@1201 key 65+", "@1250 timer 102 stop",
                          "@1250 key 65-"));
  EXPECT_FALSE(desk.TimerRunning(kShortcutTimerId));
}

TEST_F(HostKeysTest, ModifierOrMissingKeyShortcutsAreNeverRepeated) {
  for (std::uint8_t key : {std::uint8_t{225}, std::uint8_t{231}, std::uint8_t{50}}) {
    desk.keys.clear();
    keys.ShortcutButton(0, Shortcut(key, 0x01), true);
    RunTimersUntil(static_cast<int>(clock.Ms()) + 1500);
    keys.ShortcutButton(0, Shortcut(key, 0x01), false);
    const unsigned expectedVk = key == 225 ? 16 : key == 231 ? 92 : 0;
    if (expectedVk == 0) {
      EXPECT_TRUE(desk.keys.empty()) << "usage " << int(key);
    } else {
      ASSERT_EQ(desk.keys.size(), 2u) << "usage " << int(key);
      EXPECT_EQ(desk.keys[0].vk, expectedVk);
      EXPECT_EQ(desk.keys[1].flags, kKeyUp);
    }
  }
}

TEST_F(HostKeysTest, HeldVolumeKeyTapsEvery300ms) {
  keys.MediaButton(kFnVolumeUp, true, 0);
  RunTimersUntil(1000);
  keys.MediaButton(kFnVolumeUp, false, 0);
  EXPECT_THAT(desk.TakeLog(),
              ElementsAre("@0 key 175+ ext", "@0 key 175- ext", "@0 timer 101 start 300", "@300 key 175+ ext",
                          "@300 key 175- ext", "@600 key 175+ ext", "@600 key 175- ext", "@900 key 175+ ext",
                          "@900 key 175- ext", "@1000 timer 101 stop"));
  keys.MediaButton(kFnVolumeDown, true, 0);
  keys.OnVolumeTimer();
  keys.MediaButton(kFnMute, true, 0);
  keys.MediaButton(kFnMute, false, 0);
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@1000 key 174+ ext", "@1000 key 174- ext", "@1000 timer 101 start 300",
                                          "@1000 key 174+ ext", "@1000 key 174- ext", "@1000 key 173+ ext",
                                          "@1000 key 173- ext"));
}

TEST_F(HostKeysTest, ReleaseAllLetsGoOfAHeldShortcutAndTheVolumeRepeatOnce) {
  keys.ShortcutButton(0, Shortcut(4, 0x06), true);  // Ctrl+Shift+A held
  keys.MediaButton(kFnVolumeDown, true, 0);
  desk.TakeLog();
  clock.Set(10);
  keys.ReleaseAll();
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@10 timer 101 stop", "@10 timer 102 stop", "@10 key 65-", "@11 key 16-",
                                          "@12 key 17-"));
  RunTimersUntil(5000);
  keys.ReleaseAll();  // nothing is held any more: no key goes up twice
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@5000 timer 101 stop"));
}

TEST_F(HostKeysTest, EachButtonLetsGoOfItsOwnKeysAndASharedKeyGoesUpWithTheLastHolder) {
  keys.ShortcutButton(3, Shortcut(4, kModCtrl), true);  // B4: Ctrl+A
  clock.Set(10);
  keys.ShortcutButton(5, Shortcut(5, kModCtrl | kModShift), true);  // B6: Ctrl+Shift+B, now the one repeated
  clock.Set(20);
  keys.ShortcutButton(3, Shortcut(4, kModCtrl), false);  // B6 still needs Ctrl, and its repeat goes on
  RunTimersUntil(1050);
  EXPECT_THAT(desk.TakeLog(),
              ElementsAre("@0 key 17+", "@1 key 65+", "@1 timer 102 start 1000", "@10 key 17+", "@11 key 16+",
                          "@12 key 66+", "@12 timer 102 start 1000", "@20 key 65-", "@1012 timer 102 stop",
                          "@1012 timer 102 start 100", "@1012 key 66-", "@1013 key 66+"));
  EXPECT_THAT(desk.KeysDown(), ElementsAre(16, 17, 66));
  keys.ShortcutButton(5, Shortcut(5, kModCtrl | kModShift), false);
  EXPECT_THAT(desk.TakeLog(),
              ElementsAre("@1050 timer 102 stop", "@1050 key 66-", "@1051 key 16-", "@1052 key 17-"));

  // Released under another profile, where the slot holds other keys: what the press put down comes up.
  desk.keys.clear();
  keys.ShortcutButton(5, Shortcut(4, kModCtrl), true);
  keys.ShortcutButton(5, Shortcut(29, kModShift), false);  // Shift+Z now
  EXPECT_THAT(desk.KeysDown(), IsEmpty());
  for (const FakeDesktop::KeyRecord& k : desk.keys) EXPECT_TRUE(k.vk == 17 || k.vk == 65) << k.vk;

  // A press whose release was lost: the next press lets go first, so one release leaves nothing down.
  keys.ShortcutButton(0, Shortcut(4, kModAlt), true);
  keys.ShortcutButton(0, Shortcut(4, kModAlt), true);
  keys.ShortcutButton(0, Shortcut(4, kModAlt), false);
  EXPECT_THAT(desk.KeysDown(), IsEmpty());
}

TEST_F(HostKeysTest, ReleaseAllLetsGoOfEveryHeldButtonLastPressedFirst) {
  keys.ShortcutButton(1, Shortcut(23, kModCtrl), true);   // push-to-talk Ctrl+T
  keys.ShortcutButton(4, Shortcut(58, kModShift), true);  // Shift+F1
  desk.TakeLog();
  clock.Set(100);
  keys.ReleaseAll();
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@100 timer 101 stop", "@100 timer 102 stop", "@100 key 112-",
                                          "@101 key 16-", "@101 key 84-", "@102 key 17-"));
  // The mouse's own releases, should they still come, find nothing held.
  keys.ShortcutButton(1, Shortcut(23, kModCtrl), false);
  keys.ShortcutButton(4, Shortcut(58, kModShift), false);
  EXPECT_THAT(desk.TakeLog(), IsEmpty());
}

TEST_F(HostKeysTest, VolumeRepeatEndsWithTheReleaseOfTheFunctionItRepeats) {
  keys.MediaButton(kFnVolumeUp, true, 0);
  clock.Set(100);
  keys.MediaButton(kFnVolumeDown, true, 0);  // the repeat now turns the volume down
  clock.Set(200);
  keys.MediaButton(kFnVolumeUp, false, 0);
  desk.TakeLog();
  RunTimersUntil(450);
  keys.MediaButton(kFnVolumeDown, false, 0);
  keys.MediaButton(kFnVolumeDown, false, 0);
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@400 key 174+ ext", "@400 key 174- ext", "@450 timer 101 stop"));
}

TEST_F(HostKeysTest, MediaButtonsActOnPressOnlyAndIgnoreOtherCodes) {
  // Windows Media Player: the application commands go through our own window.
  keys.MediaButton(kFnPreviousTrack, true, 0);
  keys.MediaButton(kFnNextTrack, true, 0);
  keys.MediaButton(kFnPlayPause, true, 0);
  keys.MediaButton(kFnStop, true, 0);
  keys.MediaButton(kFnStop, false, 0);
  keys.MediaButton(31, true, 0);
  keys.MediaButton(40, true, 0);
  keys.MediaButton(kFnPlayPause, true, 7);  // not a player we know
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@0 post 2 0x319 2 0xc0000", "@0 post 2 0x319 2 0xb0000",
                                          "@0 post 2 0x319 2 0xe0000", "@0 post 2 0x319 2 0xd0000"));
}

TEST_F(HostKeysTest, LaunchProgramOpensOnlyQuickLaunchSlots) {
  ButtonSlot slot{};
  slot.functionCode = kFnLaunchProgram;
  std::memset(slot.programPath, 'x', sizeof slot.programPath);  // no terminator at all
  keys.LaunchProgram(slot);
  slot.functionCode = kFnMacro;
  keys.LaunchProgram(slot);
  ASSERT_EQ(desk.log.size(), 1u);
  EXPECT_EQ(desk.log[0], "@0 open " + std::string(260, 'x'));

  // By button number 1..18 of the active profile.
  auto profile = std::make_unique<ProfileRecord>();
  profile->MacroKeyInfo[17].functionCode = kFnLaunchProgram;
  std::strcpy(profile->MacroKeyInfo[17].programPath, "C:\\Games\\game.exe");
  desk.TakeLog();
  for (int number : {0, 19, -1, 18}) keys.LaunchProgram(*profile, number);
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@0 open C:\\Games\\game.exe"));
}

}  // namespace
}  // namespace sarn
