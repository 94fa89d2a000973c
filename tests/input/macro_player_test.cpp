#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "common/button_functions.h"
#include "input/fake_desktop.h"
#include "monitor/input/macro_player.h"

namespace sarn {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using test::FakeClock;
using test::FakeDesktop;

constexpr std::uint8_t kA = 4, kB = 5, kLeftShift = 225;

ButtonSlot MacroSlot(std::initializer_list<MacroEvent> steps, int loops = 0) {
  ButtonSlot slot{};
  slot.functionCode = kFnMacro;
  slot.loops = loops;
  for (const MacroEvent& e : steps) slot.events[slot.count++] = e;
  return slot;
}

// Plays posted runs when the test says so, on the test's own thread: with the virtual clock the whole
// schedule, including presses made "during" playback, is deterministic.
class QueuedThread final : public PlayerThread {
 public:
  bool Start(std::function<void()> onPlay) override {
    onPlay_ = std::move(onPlay);
    return true;
  }
  bool PostPlay() override {
    ++posted;
    ++pending_;
    return true;
  }
  void Stop() override {}
  void RunPending() {
    while (pending_ > 0) {
      --pending_;
      onPlay_();
    }
  }
  int posted = 0;

 private:
  std::function<void()> onPlay_;
  int pending_ = 0;
};

class MacroPlayerTest : public ::testing::Test {
 protected:
  MacroPlayerTest() { EXPECT_TRUE(player.Start()); }
  std::vector<std::string> Play(const ButtonSlot& slot) {
    player.StartMacroForButton(slot);
    thread.RunPending();
    return desk.TakeLog();
  }

  FakeClock clock;
  FakeDesktop desk{clock};
  QueuedThread thread;
  MacroPlayer player{desk, UsKeyboardLayout(), clock, desk, thread};
};

TEST_F(MacroPlayerTest, PassCountFollowsLoopsWithOnePassForZeroOrLess) {
  struct Row {
    int loops;
    std::vector<std::string> expected;
  };
  const std::vector<Row> rows = {
      {0, {"@0 key 65+", "@10 key 65-"}},
      {-5, {"@0 key 65+", "@10 key 65-"}},
      {3, {"@0 key 65+", "@10 key 65-", "@20 key 65+", "@30 key 65-", "@40 key 65+", "@50 key 65-"}},
  };
  for (const Row& row : rows) {
    clock.Set(0);
    EXPECT_THAT(Play(MacroSlot({{kA, 1, 10}, {kA, 2, 10}}, row.loops)), ElementsAreArray(row.expected))
        << "loops " << row.loops;
  }
}

// The last step's delay is the pause between loops: the next pass starts only after it. After the final
// pass it is not waited (the run ends with the release), unless the last step is a press, whose delay holds
// the key with its repeats.
TEST_F(MacroPlayerTest, TheLastStepsDelayIsThePauseBetweenLoops) {
  clock.Set(0);
  EXPECT_THAT(Play(MacroSlot({{kA, 1, 20}, {kA, 2, 300}}, 2)),
              ElementsAre("@0 key 65+", "@20 key 65-", "@320 key 65+", "@340 key 65-"));
  EXPECT_FALSE(player.Playing());
  EXPECT_EQ(clock.Now(), ClockTime(std::chrono::milliseconds(340)));
  (void)Play(MacroSlot({{240, 1, 20}, {240, 2, 300}}));  // a mouse button: the same
  EXPECT_EQ(clock.Now(), ClockTime(std::chrono::milliseconds(360)));
  (void)Play(MacroSlot({{kA, 1, 300}}));
  EXPECT_EQ(clock.Now(), ClockTime(std::chrono::milliseconds(660)));
}

TEST_F(MacroPlayerTest, SlotsThatAreNotPlayableStartNothing) {
  ButtonSlot empty = MacroSlot({});
  ButtonSlot shortcut = MacroSlot({{kA, 1, 10}});
  shortcut.functionCode = kFnShortcut;
  player.StartMacroForButton(empty);
  player.StartMacroForButton(shortcut);
  EXPECT_EQ(thread.posted, 0);
}

TEST_F(MacroPlayerTest, ButtonIndexOutsideTheProfileStartsNothing) {
  auto profile = std::make_unique<ProfileRecord>();
  profile->MacroKeyInfo[17] = MacroSlot({{kA, 1, 1}});
  player.StartMacroForButton(*profile, -1);
  player.StartMacroForButton(*profile, kButtonCount);
  EXPECT_EQ(thread.posted, 0);
  player.StartMacroForButton(*profile, 17);
  EXPECT_EQ(thread.posted, 1);
}

TEST_F(MacroPlayerTest, DamagedStepCountIsHeldToTheSlotsCapacity) {
  ButtonSlot slot = MacroSlot({{kA, 1, 1}});
  slot.count = 60000;
  player.StartMacroForButton(slot);
  EXPECT_EQ(player.State().eventCount, kMacroEventCapacity);
}

TEST_F(MacroPlayerTest, ZeroDelayWaitsOneMillisecond) {
  EXPECT_THAT(Play(MacroSlot({{kA, 1, 0}, {kA, 2, 0}, {kB, 1, 0}})),
              ElementsAre("@0 key 65+", "@1 key 65-", "@2 key 66+"));
}

TEST_F(MacroPlayerTest, LongKeyPressRepeatsEvery33msAfterHalfASecond) {
  std::vector<std::string> expected = {"@0 key 65+"};
  for (int t = 500; t < 1028; t += 33) {  // r = 500, 467, ..., 5: sixteen pairs
    for (const char* key : {" key 65-", " key 65+"}) {
      std::string line = "@";
      line += std::to_string(t);
      line += key;
      expected.push_back(line);
    }
  }
  expected.push_back("@1028 key 65-");
  EXPECT_EQ(expected.size(), 34u);
  EXPECT_THAT(Play(MacroSlot({{kA, 1, 1000}, {kA, 2, 1}})), ElementsAreArray(expected));

  clock.Set(0);
  EXPECT_THAT(Play(MacroSlot({{kA, 1, 533}, {kA, 2, 1}})),
              ElementsAre("@0 key 65+", "@500 key 65-", "@500 key 65+", "@533 key 65-"));
}

TEST_F(MacroPlayerTest, MouseButtonsNeverRepeatAndCarryTheirExtendedButtonNumber) {
  EXPECT_THAT(Play(MacroSlot({{kMouseLeft, 1, 1000}, {kMouseLeft, 2, 5}})),
              ElementsAre("@0 mouse 0x2 0", "@1000 mouse 0x4 0"));
  clock.Set(0);
  EXPECT_THAT(Play(MacroSlot({{kMouseRight, 1, 1}, {kMouseMiddle, 1, 1}, {kMouseX1, 1, 1}, {kMouseX2, 1, 1},
                              {kMouseX2, 2, 1}, {kMouseX1, 2, 1}, {kMouseMiddle, 2, 1}, {kMouseRight, 2, 1}})),
              ElementsAre("@0 mouse 0x8 0", "@1 mouse 0x20 0", "@2 mouse 0x80 1", "@3 mouse 0x80 2",
                          "@4 mouse 0x100 2", "@5 mouse 0x100 1", "@6 mouse 0x40 0", "@7 mouse 0x10 0"));
}

TEST_F(MacroPlayerTest, SideModifiersFoldButWindowsKeysKeepTheirSide) {
  struct Row {
    std::uint8_t usage;
    unsigned vk;
  };
  const Row rows[] = {{225, 16}, {229, 16}, {224, 17}, {228, 17}, {226, 18}, {230, 18},
                      {227, 91}, {231, 92}, {50, 0},   {255, 0}};
  for (const Row& row : rows) {
    desk.keys.clear();
    clock.Set(0);
    Play(MacroSlot({{row.usage, 1, 1}}));
    ASSERT_EQ(desk.keys.size(), 1u);
    EXPECT_EQ(desk.keys[0].vk, row.vk) << "usage " << int(row.usage);
    if (row.vk == 0) {
      EXPECT_EQ(desk.keys[0].scan, 0u) << "usage " << int(row.usage);
    }
  }
}

TEST_F(MacroPlayerTest, KeypadEnterGoesOutExtendedEvenWhenRepeatedAndTheIsoKeyByItsPosition) {
  EXPECT_THAT(Play(MacroSlot({{88, 1, 566}, {88, 2, 1}, {100, 1, 1}, {100, 2, 1}})),
              ElementsAre("@0 key 13+ ext", "@500 key 13- ext", "@500 key 13+ ext", "@533 key 13- ext",
                          "@533 key 13+ ext", "@566 key 13- ext", "@567 key 226+", "@568 key 226-"));
  for (const auto& k : desk.keys) EXPECT_EQ(k.scan, k.vk == 13 ? 0x1Cu : 0x56u);
}

TEST_F(MacroPlayerTest, StopReleasesWhatThePlayedStepsHoldMostRecentFirst) {
  const ButtonSlot slot = MacroSlot({{kLeftShift, 1, 100}, {kA, 1, 100}, {kA, 2, 100}, {kLeftShift, 2, 100}});
  clock.At(150, [&] { player.StartMacroForButton(slot); });  // a second press while it plays
  EXPECT_THAT(Play(slot), ElementsAre("@0 key 16+", "@100 key 65+", "@200 key 65-", "@250 key 16-"));
  EXPECT_THAT(desk.debugLines, ElementsAre("g_iCurAction= 2,start=0,end=4\n", "g_iCurAction= 2,Map=4\n",
                                           "g_iCurAction= 1,Map=e1\n"));
  EXPECT_EQ(thread.posted, 1) << "a press during playback only stops it";

  // The next press starts again from the first step.
  clock.Set(1000);
  EXPECT_THAT(Play(MacroSlot({{kB, 1, 1}})), ElementsAre("@1000 key 66+"));
}

TEST_F(MacroPlayerTest, StopDuringTheLastStepReleasesOnlyAsManyAsStepsPlayed) {
  const ButtonSlot slot = MacroSlot({{kLeftShift, 1, 100}, {kA, 1, 100}});
  clock.At(150, [&] { player.StartMacroForButton(slot); });
  EXPECT_THAT(Play(slot), ElementsAre("@0 key 16+", "@100 key 65+", "@200 key 65-"));
}

TEST_F(MacroPlayerTest, MacroEndingWithAKeyDownLeavesItDown) {
  EXPECT_THAT(Play(MacroSlot({{kB, 1, 5}, {kA, 1, 5}, {kB, 2, 5}})),
              ElementsAre("@0 key 66+", "@5 key 65+", "@10 key 66-"));
}

TEST_F(MacroPlayerTest, StopEndsAutoRepeatAfterTheCurrentPair) {
  const ButtonSlot slot = MacroSlot({{kA, 1, 1000}, {kB, 1, 10}});
  clock.At(560, [&] { player.StartMacroForButton(slot); });
  EXPECT_THAT(Play(slot), ElementsAre("@0 key 65+", "@500 key 65-", "@500 key 65+", "@533 key 65-",
                                      "@533 key 65+", "@566 key 65-", "@566 key 65+", "@566 key 65-"));
}

TEST_F(MacroPlayerTest, ShutdownCutsALongWaitAndReleasesEverythingHeld) {
  const ButtonSlot slot = MacroSlot({{kLeftShift, 1, 100}, {kMouseLeft, 1, 60000}, {kA, 1, 100}});
  clock.At(1000, [&] { player.Shutdown(); });
  // A button stop at step 1 would release only the mouse button; at shut-down nothing else would ever
  // release Shift.
  EXPECT_THAT(Play(slot), ElementsAre("@0 key 16+", "@100 mouse 0x2 0", "@1000 mouse 0x4 0", "@1000 key 16-"));
  EXPECT_FALSE(player.Playing());
}

// A second press after a macro was queued but before the player's thread took it counts as a press during
// playback: it stops the macro and neither rewrites the queued steps nor queues another run.
TEST_F(MacroPlayerTest, PressWhileQueuedStopsAndLeavesTheQueuedStepsAlone) {
  player.StartMacroForButton(MacroSlot({{kA, 1, 5}, {kA, 0, 5}}));
  player.StartMacroForButton(MacroSlot({{kB, 1, 5}, {kB, 0, 5}}));
  EXPECT_TRUE(player.Playing());
  EXPECT_EQ(thread.posted, 1);
  thread.RunPending();
  EXPECT_FALSE(player.Playing());
  for (const std::string& line : desk.TakeLog()) EXPECT_EQ(line.find("key 66"), std::string::npos) << line;
  EXPECT_FALSE(Play(MacroSlot({{kB, 1, 5}, {kB, 0, 5}})).empty());  // and the next press plays again
}

TEST_F(MacroPlayerTest, CancelReleasesEverythingHeldAndThePlayerPlaysOn) {
  // Shift and A are down when the mouse goes away during the last step: a stop there releases only A (as
  // many as steps were played), a cancel releases both.
  const ButtonSlot slot = MacroSlot({{kLeftShift, 1, 100}, {kA, 1, 100}});
  clock.At(150, [&] { player.Cancel(); });
  EXPECT_THAT(Play(slot), ElementsAre("@0 key 16+", "@100 key 65+", "@200 key 65-", "@250 key 16-"));
  // A cancel while nothing plays is forgotten by the next start.
  player.Cancel();
  clock.Set(1000);
  EXPECT_THAT(Play(MacroSlot({{kB, 1, 1}, {kB, 2, 1}})), ElementsAre("@1000 key 66+", "@1001 key 66-"));
}

// A clock whose waits block until interrupted: the real player thread sits in a long step.
class BlockingClock final : public Clock {
 public:
  ClockTime Now() const override { return ClockTime{0}; }
  WaitResult WaitUntil(ClockTime) override {
    std::unique_lock lock(mutex_);
    ++waits_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return interrupted_; });
    return WaitResult::kInterrupted;
  }
  void Interrupt() override {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    changed_.notify_all();
  }
  bool WaitForFirstWait() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return waits_ > 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int waits_ = 0;
  bool interrupted_ = false;
};

TEST(MacroPlayerThread, ShutdownStopsAPlayingMacroOnItsOwnThread) {
  BlockingClock clock;
  FakeClock stamps;
  FakeDesktop desk(stamps);
  auto thread = MakeStdPlayerThread();
  MacroPlayer player(desk, UsKeyboardLayout(), clock, desk, *thread);
  ASSERT_TRUE(player.Start());
  player.StartMacroForButton(MacroSlot({{kLeftShift, 1, 60000}}));
  ASSERT_TRUE(clock.WaitForFirstWait());
  EXPECT_TRUE(player.Playing());
  player.Shutdown();  // joins the thread
  EXPECT_FALSE(player.Playing());
  EXPECT_THAT(desk.log, ElementsAre("@0 key 16+", "@0 key 16-"));
}

// A real clock for the player's own thread: waits sleep until their deadline, and Interrupt, from any thread,
// ends every wait from then on.
class SteadyClock final : public Clock {
 public:
  ClockTime Now() const override {
    return std::chrono::duration_cast<ClockTime>(std::chrono::steady_clock::now().time_since_epoch());
  }
  WaitResult WaitUntil(ClockTime deadline) override {
    const std::chrono::steady_clock::time_point until(std::chrono::duration_cast<std::chrono::steady_clock::duration>(deadline));
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, until, [this] { return interrupted_; });
    return interrupted_ ? WaitResult::kInterrupted : WaitResult::kElapsed;
  }
  void Interrupt() override {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool interrupted_ = false;
};

// The virtual keys whose last event in the log is a key-down.
std::vector<std::string> KeysLeftDown(const std::vector<std::string>& log) {
  std::map<std::string, bool> down;
  for (const std::string& line : log) {
    const auto at = line.find(" key ");
    if (at == std::string::npos) continue;
    const std::string rest = line.substr(at + 5);
    const auto sign = rest.find_first_of("+-");
    down[rest.substr(0, sign)] = rest[sign] == '+';
  }
  std::vector<std::string> keys;
  for (const auto& [key, held] : down) {
    if (held) keys.push_back(key);
  }
  return keys;
}

// The window thread starts, replaces and cancels macros while the player's own thread plays them (the
// ThreadSanitizer build runs this): afterwards no key the macros pressed is left down.
//
// Each macro releases in the same pass every key it presses, so however a run ends nothing may stay down:
// played through, its own steps released everything; stopped, it holds at most one key per step played in
// the pass, and a stop releases that many; cancelled, everything held is released. A key left down means a
// run lost its held list (two runs at once, a run started over a running one) or a release step went
// missing. (Step kind 0 is not a release but a second key-down; with it, one run played through unstopped
// while the window thread was descheduled left A down, as documented for a macro that never releases.)
TEST(MacroPlayerThread, StartsReplacementsAndCancelsFromTheWindowThreadWhilePlaying) {
  SteadyClock clock;
  FakeClock stamps;  // only the player's thread stamps the log
  FakeDesktop desk(stamps);
  auto thread = MakeStdPlayerThread();
  MacroPlayer player(desk, UsKeyboardLayout(), clock, desk, *thread);
  ASSERT_TRUE(player.Start());
  const ButtonSlot a = MacroSlot({{kA, kKindPress, 1}, {kA, kKindRelease, 1}}, 3);
  const ButtonSlot b = MacroSlot(
      {{kLeftShift, kKindPress, 1}, {kB, kKindPress, 1}, {kB, kKindRelease, 1}, {kLeftShift, kKindRelease, 1}});
  std::thread window([&] {
    for (int i = 0; i < 600; ++i) {
      switch (i % 5) {
        case 0: player.StartMacroForButton(a); break;
        case 1: player.StartMacroForButton(b); break;
        case 2: player.Cancel(); break;
        case 3: player.StartMacroForButton(i % 2 ? a : b); break;
        default: (void)player.Playing(); break;
      }
      // Gaps of 0 to 1.7 ms: stops and cancels land before, within and between steps and passes.
      std::this_thread::sleep_for(std::chrono::microseconds((i * 389) % 1700));
    }
  });
  window.join();
  // However the race went (the window thread may have finished before the player took any play), the player
  // comes to rest, and one whole play afterwards is played in full.
  auto settle = [&] {
    for (int i = 0; i < 2000 && player.Playing(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return !player.Playing();
  };
  ASSERT_TRUE(settle());
  EXPECT_THAT(KeysLeftDown(desk.TakeLog()), ElementsAre());
  player.StartMacroForButton(a);
  ASSERT_TRUE(settle());
  player.Shutdown();
  EXPECT_FALSE(player.Playing());
  // Three passes of A pressed and released (the stamps are the unmoved fake clock's).
  EXPECT_THAT(desk.log,
              ElementsAre("@0 key 65+", "@0 key 65-", "@0 key 65+", "@0 key 65-", "@0 key 65+", "@0 key 65-"));
}

}  // namespace
}  // namespace sarn
