#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/button_functions.h"
#include "input/fake_desktop.h"
#include "monitor/game_check.h"
#include "monitor/input/host_keys.h"
#include "monitor/monitor_core.h"
#include "monitor/sound_cues.h"

namespace sarn {
namespace {

// Window timers in virtual time: Advance fires every due tick in time order, as a message loop would.
class VirtualTimers final : public WindowTimers {
 public:
  void StartTimer(unsigned id, unsigned periodMs) override { timers_[id] = {periodMs, now_ + periodMs}; }
  void StopTimer(unsigned id) override { timers_.erase(id); }
  bool Running(unsigned id) const { return timers_.count(id) != 0; }

  template <typename OnTick>
  void Advance(long long ms, OnTick onTick) {
    long long end = now_ + ms;
    for (;;) {
      auto next = std::min_element(timers_.begin(), timers_.end(),
                                   [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
      if (next == timers_.end() || next->second.due > end) break;
      now_ = next->second.due;
      next->second.due += next->second.period;
      onTick(next->first);
    }
    now_ = end;
  }
  long long now() const { return now_; }

 private:
  struct Timer {
    unsigned period;
    long long due;
  };
  std::map<unsigned, Timer> timers_;
  long long now_ = 0;
};

// Records every outward call as one line; sounds carry their virtual time.
struct Recorder final : MonitorDevice, MonitorHost, ButtonActions {
  std::vector<std::string> log;
  const VirtualTimers* clock = nullptr;
  bool optionOpen = true;

  void Add(std::string s) { log.push_back(std::move(s)); }
  void OpenFeatureDevice() override { Add("open"); }
  void CloseFeatureDevice() override { Add("close"); }
  bool mousePresent = true;  // what the library finds when it opens
  bool OpenDevice() override {
    Add(mousePresent ? "open device" : "open device: none");
    return mousePresent;
  }
  void CloseDevice() override { Add("close device"); }
  void RequestAbort() override { Add("abort"); }
  void PostDeviceJob(int job) override { Add("job " + std::to_string(job)); }
  void WriteBlock() override { Add("block"); }
  void WriteCurrentProfile(int slot) override { Add("ini CurrentProfile=" + std::to_string(slot)); }
  void WriteDeviceState(int state) override { Add("ini Device=" + std::to_string(state)); }
  void ApplyWindowsSettings(int slot) override { Add("windows " + std::to_string(slot)); }
  bool OptionWindowExists() override { return optionOpen; }
  void PostToOption(unsigned m) override { Add("option " + std::to_string(m)); }
  void CloseOptionWindow() override { Add("option close"); }
  void PostOwnCommand(unsigned c) override { Add("command " + std::to_string(c)); }
  void SetTrayIcon(bool shown) override { Add(shown ? "tray on" : "tray off"); }
  void PlaySoundCue(int cue) override {
    Add("@" + std::to_string(clock->now()) + " " + SoundCueFile(cue));
  }
  // Kept apart from the log: the display is told beside everything else, and its order is its own.
  std::vector<std::string> displayed;
  void ShowOnDisplay(OsdEvent event, int value) override {
    displayed.push_back("@" + std::to_string(clock->now()) + " " + std::to_string(static_cast<unsigned>(event)) +
                    "=" + std::to_string(value));
  }
  void Debug(std::string_view) override {}
  void TiltScroll(int d) override { Add("tilt " + std::to_string(d)); }
  void LaunchProgram(int b) override { Add("launch " + std::to_string(b)); }
  void ShortcutButton(int i, bool p) override { Add("shortcut " + std::to_string(i) + (p ? " down" : " up")); }
  void StartMacroForButton(int i) override { Add("macro " + std::to_string(i)); }
  void MediaButton(int c, bool p) override { Add("media " + std::to_string(c) + (p ? " down" : " up")); }
  void ReleaseHeldKeys() override { Add("release keys"); }
  void ReleaseAll() override { Add("release all"); }

  std::vector<std::string> Take() { return std::exchange(log, {}); }
  std::vector<std::string> Sounds() {
    std::vector<std::string> s;
    for (auto& l : log) if (l[0] == '@') s.push_back(l);
    log.clear();
    return s;
  }
};

class MonitorCoreTest : public ::testing::Test {
 protected:
  MonitorCoreTest() : block(std::make_unique<SharedBlock>()) {
    ResetSettings(*block, [] { return 1; });
    block->MouseType = 0;
    rec.clock = &timers;
    core = std::make_unique<MonitorCore>(*block, deviceState, timers, rec, rec, rec);
  }
  void Advance(long long ms) {
    timers.Advance(ms, [this](unsigned id) { core->OnTimer(id); });
  }
  static std::uint32_t Button(unsigned type, unsigned n, bool released) {
    return type << 16 | (released ? 0x100u : 0u) | n;
  }
  ButtonSlot& Slot(int profile, int index) { return block->profiles[profile].MacroKeyInfo[index]; }
  void Shortcut(int profile, int index, std::uint8_t key) {
    ButtonSlot& s = Slot(profile, index);
    s.functionCode = kFnShortcut;
    s.count = 1;
    s.events[0] = {key, kModCtrl, 0};
  }

  std::unique_ptr<SharedBlock> block;
  std::atomic<int> deviceState{kDeviceOpen};
  VirtualTimers timers;
  Recorder rec;
  std::unique_ptr<MonitorCore> core;
};

using Log = std::vector<std::string>;

TEST_F(MonitorCoreTest, ProfileChangeOnTheMouseIsSavedPublishedAndAnnouncedWithoutWritingTheMouse) {
  core->OnDeviceEvent(0x30000003);
  EXPECT_EQ(block->CurrentProfile, 2);
  EXPECT_EQ(rec.Take(), (Log{"release all", "ini CurrentProfile=2", "block", "windows 2", "option 1255"}));
  Advance(499);
  EXPECT_TRUE(rec.Take().empty());
  Advance(1);
  EXPECT_EQ(rec.Take(), (Log{"@500 profile_three.wav"}));
  Advance(5000);
  EXPECT_TRUE(rec.Take().empty());  // one-shot
}

TEST_F(MonitorCoreTest, BurstsAreAnnouncedOnceWithTheStateAtTheTick) {
  core->OnDeviceEvent(0xB0000001);
  Advance(300);
  core->OnDeviceEvent(0xB0000007);
  EXPECT_EQ(block->profiles[0].Cpi_X, 7);
  EXPECT_EQ(block->profiles[0].Cpi_Y, 7);
  Advance(1000);
  EXPECT_EQ(rec.Sounds(), (Log{"@800 3200_dpi.wav"}));
  // Profile cue computed at the tick: changed by hand after the announcement.
  core->OnDeviceEvent(0x30000001);
  block->CurrentProfile = 3;
  Advance(500);
  EXPECT_EQ(rec.Sounds(), (Log{"@1800 profile_four.wav"}));
}

TEST_F(MonitorCoreTest, SensitivityEvents) {
  // Same X, new Y: Y changes, no sound.
  core->OnDeviceEvent(0xC0000805);
  EXPECT_EQ(block->profiles[0].Sensitivity_Y, 8);
  EXPECT_EQ(rec.Take(), (Log{"block", "option 1257"}));
  Advance(1000);
  EXPECT_TRUE(rec.Sounds().empty());
  core->OnDeviceEvent(0xC0000806);
  Advance(500);
  EXPECT_EQ(rec.Sounds(), (Log{"@1500 sens_up.wav"}));
  core->OnDeviceEvent(0xC0000802);
  Advance(500);
  EXPECT_EQ(rec.Sounds(), (Log{"@2000 sens_down.wav"}));
  // Out of range values change nothing and write nothing.
  core->OnDeviceEvent(0xC0000B00);
  core->OnDeviceEvent(0xB0000008);
  core->OnDeviceEvent(0xD0000005);
  core->OnDeviceEvent(0x30000006);
  EXPECT_TRUE(rec.Take().empty());
  core->OnDeviceEvent(0xD0000001);
  EXPECT_EQ(block->profiles[0].PollingRate, 0);
  EXPECT_EQ(rec.Take(), (Log{"block", "option 1257"}));
}

TEST_F(MonitorCoreTest, ButtonEventsReachTheirFunctions) {
  Shortcut(0, 5, 4);
  Slot(0, 6).functionCode = kFnMacro;
  Slot(0, 7).functionCode = kFnDpiCycle;
  core->OnDeviceEvent(Button(0x5000, 6, false));
  core->OnDeviceEvent(Button(0x5000, 6, true));
  core->OnDeviceEvent(Button(0x4000, 7, false));
  core->OnDeviceEvent(Button(0x4000, 7, true));  // a macro acts on press only
  core->OnDeviceEvent(Button(0x8000, 8, false)); // nothing for other codes
  core->OnDeviceEvent(Button(0x5000, 19, false));
  core->OnDeviceEvent(Button(0x6000, 3, false));
  core->OnDeviceEvent(Button(0x6000, 3, true));
  core->OnDeviceEvent(0xF0000026);
  core->OnDeviceEvent(0xF0000126);
  core->OnDeviceEvent(0xF0000028);               // not a media code
  core->OnDeviceEvent(0x100000FF);
  core->OnDeviceEvent(0x10000001);
  core->OnDeviceEvent(0xA0000001);
  core->OnDeviceEvent(0x1A000001);
  // Every button's release reaches the shortcut keys, which let go of whatever that button's press held.
  EXPECT_EQ(rec.Take(), (Log{"shortcut 5 down", "shortcut 5 up", "macro 6", "shortcut 6 up", "launch 3",
                             "media 38 down", "media 38 up", "tilt 1", "tilt -1", "command 6001"}));
}

TEST_F(MonitorCoreTest, HeldShortcutIsReleasedBeforeAGameSwitchAndTheMouseReleaseDropped) {
  Shortcut(0, 5, 4);
  Shortcut(2, 5, 5);
  CopyTextField(block->profiles[2].GameFile1, "  C:\\Games\\Quake\\QUAKE.EXE ");
  rec.optionOpen = false;
  core->OnDeviceEvent(Button(0x5000, 6, false));
  rec.Take();
  core->GameCheck("quake.exe");
  EXPECT_EQ(block->CurrentProfile, 2);
  EXPECT_EQ(rec.Take(), (Log{"shortcut 5 up", "release keys", "block", "job 3", "windows 2"}));
  core->OnDeviceEvent(Button(0x5000, 6, true));  // the mouse's own release: dropped once
  EXPECT_TRUE(rec.Take().empty());
  core->OnDeviceEvent(Button(0x5000, 6, true));
  EXPECT_EQ(rec.Take(), (Log{"shortcut 5 up"}));
  Advance(500);
  EXPECT_EQ(rec.Sounds(), (Log{"@500 profile_three.wav"}));
}

TEST_F(MonitorCoreTest, GameCheckDecisions) {
  CopyTextField(block->profiles[1].GameFile2, "D:/x/Game.exe");
  CopyTextField(block->profiles[3].GameFile0, "game.EXE");
  block->WindowsProfile = 4;
  rec.optionOpen = true;
  core->GameCheck("game.exe");
  EXPECT_EQ(block->CurrentProfile, 1);  // the first slot naming it wins
  rec.Take();
  core->GameCheck("game.exe");          // already active: nothing, no sound
  EXPECT_TRUE(rec.Take().empty());
  core->GameCheck("explorer.exe");      // the configuration window holds the windows profile back
  EXPECT_EQ(block->CurrentProfile, 1);
  rec.optionOpen = false;
  core->GameCheck("explorer.exe");
  EXPECT_EQ(block->CurrentProfile, 4);
  Advance(500);
  EXPECT_EQ(rec.Sounds(), (Log{"@500 windows_profile.wav"}));
  core->GameCheck("");                  // windows profile already active: nothing
  EXPECT_TRUE(rec.Take().empty());
  block->WindowsProfile = -1;
  core->GameCheck("game.exe");
  core->GameCheck("explorer.exe");      // no windows profile: the game's profile stays
  EXPECT_EQ(block->CurrentProfile, 1);
  block->WindowsProfile = 9;            // a damaged mark is no profile
  core->GameCheck("explorer.exe");
  EXPECT_EQ(block->CurrentProfile, 1);
}

// The game check names the foreground program only when the window or its process changed; every tick still
// makes the decision, so a profile changed on the mouse under a running game is switched back as before.
TEST_F(MonitorCoreTest, GameCheckResolvesTheForegroundProgramOnlyWhenItChanged) {
  std::map<std::uint32_t, std::string> processes{{10, "game.exe"}, {11, "explorer.exe"}};
  std::vector<std::uint32_t> resolved;
  ForegroundProgram foreground([&](std::uint32_t id) {
    resolved.push_back(id);
    return processes.count(id) != 0 ? processes[id] : std::string();
  });
  CopyTextField(block->profiles[2].GameFile0, "C:\\Games\\GAME.EXE");
  block->WindowsProfile = 0;
  rec.optionOpen = false;
  auto tick = [&](std::uintptr_t window, std::uint32_t process) {
    core->GameCheck(foreground.Executable(window, process));
  };
  tick(0xA0, 10);
  EXPECT_EQ(block->CurrentProfile, 2);
  block->CurrentProfile = 3;  // switched on the mouse while the game stays in front
  tick(0xA0, 10);
  tick(0xA0, 10);
  EXPECT_EQ(block->CurrentProfile, 2);
  EXPECT_EQ(resolved, (std::vector<std::uint32_t>{10}));

  tick(0xB0, 11);  // another program in front
  EXPECT_EQ(block->CurrentProfile, 0);
  tick(0xB0, 10);  // the same handle now belongs to another process: named again
  EXPECT_EQ(block->CurrentProfile, 2);
  EXPECT_EQ(resolved, (std::vector<std::uint32_t>{10, 11, 10}));

  // A process that cannot be named (gone, or the snapshot failed) is asked for again on the next tick.
  tick(0xC0, 12);
  tick(0xC0, 12);
  processes[12] = "game.exe";
  tick(0xC0, 12);
  tick(0xC0, 12);
  EXPECT_EQ(resolved, (std::vector<std::uint32_t>{10, 11, 10, 12, 12, 12}));
  EXPECT_EQ(block->CurrentProfile, 2);
  foreground.Forget();
  tick(0xC0, 12);
  EXPECT_EQ(resolved.size(), 7u);

  // No window in front (a locked or secure desktop; a bare X server under Wine): no program to look for,
  // so no snapshot on any tick, and the Windows profile comes back as for any program that is no game.
  tick(0, 0);
  tick(0, 0);
  tick(0, 0);
  EXPECT_EQ(resolved.size(), 7u);
  EXPECT_EQ(block->CurrentProfile, 0);
}

TEST_F(MonitorCoreTest, CountdownSpeaksItsSecondsAndSilencesOtherCues) {
  Slot(0, 6).functionCode = kFnTimer;
  Slot(0, 6).timerValue = 12;
  Slot(0, 7).functionCode = kFnStopTimer;
  core->OnDeviceEvent(Button(0x9000, 7, false));
  core->OnDeviceEvent(Button(0x9000, 7, true));
  Advance(9000);
  // A DPI change 3 s before the end makes no sound.
  core->OnDeviceEvent(0xB0000004);
  Advance(4000);
  EXPECT_EQ(rec.Sounds(), (Log{"@0 timer_activated.wav", "@2000 10_seconds.wav", "@7000 5.wav", "@8000 4.wav",
                               "@9000 3.wav", "@10000 2.wav", "@11000 1.wav", "@12000 go.wav"}));
  EXPECT_FALSE(core->timerRunning());
  EXPECT_FALSE(core->finalSeconds());
  // Stop with no timer running: silence.
  core->OnDeviceEvent(Button(0x9000, 8, false));
  EXPECT_TRUE(rec.Sounds().empty());
}

TEST_F(MonitorCoreTest, CountdownOfTenRestartAndStop) {
  Slot(0, 6).functionCode = kFnTimer;
  Slot(0, 6).timerValue = 10;
  Slot(0, 7).functionCode = kFnStopTimer;
  core->OnDeviceEvent(Button(0x9000, 7, false));
  EXPECT_EQ(rec.Sounds(), (Log{"@0 timer_activated.wav", "@0 10_seconds.wav"}));
  Advance(6000);  // 4 left: final seconds
  EXPECT_TRUE(core->finalSeconds());
  rec.Take();
  core->OnDeviceEvent(Button(0x9000, 7, true));
  core->OnDeviceEvent(Button(0x9000, 7, false));  // restart with the full value
  EXPECT_EQ(core->countdown(), 10);
  EXPECT_TRUE(core->finalSeconds());              // not cleared by a restart
  core->OnDeviceEvent(Button(0x9000, 8, false));
  EXPECT_EQ(rec.Sounds(), (Log{"@6000 timer_activated.wav", "@6000 10_seconds.wav", "@6000 timer_stopped.wav"}));
  EXPECT_FALSE(timers.Running(kTimerCountdown));
  Advance(20000);
  EXPECT_TRUE(rec.Sounds().empty());
}

// The display is told at the change itself with the value after it, sounds on or off; "event=value" with
// OsdEvent numbers: 1 profile, 2 Windows profile, 3 DPI, 4/5 sensitivity up/down, 6 started, 7 stopped, 8 left.
TEST_F(MonitorCoreTest, DisplayIsToldAtEveryChangeAtOnceWhateverTheSounds) {
  block->SoundProfile = block->SoundDpi = block->SoundSens = 0;
  core->OnDeviceEvent(0x30000004);  // profile 4 on the mouse: slot 3
  core->OnDeviceEvent(0xB0000001);
  Advance(100);
  core->OnDeviceEvent(0xB0000007);  // a burst: each value at once, the last one stays
  core->OnDeviceEvent(0xC0000807);  // sensitivity 5 -> 7
  core->OnDeviceEvent(0xC0000903);
  core->OnDeviceEvent(0xC0000A03);  // same X: no direction, nothing shown
  core->OnDeviceEvent(0xB0000008);  // out of range: nothing
  core->OnDeviceEvent(0x30000000);
  Advance(1000);
  EXPECT_EQ(rec.displayed, (Log{"@0 1=3", "@0 3=1", "@100 3=7", "@100 4=7", "@100 5=3"}));
  EXPECT_TRUE(rec.Sounds().empty());

  // With the sounds on, the display is told the same and the sounds keep their 500 ms burst rule.
  rec.displayed.clear();
  block->SoundProfile = block->SoundDpi = block->SoundSens = 1;
  core->OnDeviceEvent(0xB0000002);
  Advance(200);
  core->OnDeviceEvent(0xB0000004);
  Advance(1000);
  EXPECT_EQ(rec.displayed, (Log{"@1100 3=2", "@1300 3=4"}));
  EXPECT_EQ(rec.Sounds(), (Log{"@1800 1600_dpi.wav"}));
}

TEST_F(MonitorCoreTest, DisplayIsToldOfGameAndWindowsProfileSwitches) {
  block->SoundProfile = 0;
  CopyTextField(block->profiles[2].GameFile0, "game.exe");
  block->WindowsProfile = 4;
  rec.optionOpen = false;
  core->GameCheck("game.exe");
  core->GameCheck("game.exe");      // no switch: nothing shown
  core->GameCheck("explorer.exe");
  EXPECT_EQ(rec.displayed, (Log{"@0 1=2", "@0 2=4"}));
}

TEST_F(MonitorCoreTest, DisplayIsToldOfTheCountdown) {
  Slot(0, 6).functionCode = kFnTimer;
  Slot(0, 6).timerValue = 12;
  Slot(0, 7).functionCode = kFnStopTimer;
  core->OnDeviceEvent(Button(0x9000, 7, false));
  Advance(9000);
  core->OnDeviceEvent(0xB0000004);  // no sound in the last seconds, but the display shows the change
  Advance(4000);
  EXPECT_EQ(rec.displayed, (Log{"@0 6=12", "@2000 8=10", "@3000 8=9", "@4000 8=8", "@5000 8=7", "@6000 8=6",
                            "@7000 8=5", "@8000 8=4", "@9000 8=3", "@9000 3=4", "@10000 8=2", "@11000 8=1"}));
  rec.displayed.clear();
  core->OnDeviceEvent(Button(0x9000, 8, false));  // nothing runs: nothing to show
  Slot(0, 6).timerValue = 10;
  core->OnDeviceEvent(Button(0x9000, 7, false));
  Advance(1000);
  core->OnDeviceEvent(Button(0x9000, 8, false));
  Advance(5000);
  EXPECT_EQ(rec.displayed, (Log{"@13000 6=10", "@14000 8=9", "@14000 7=0"}));
}

TEST_F(MonitorCoreTest, AttachWaitsThenOpensAndRemovalCloses) {
  deviceState = kDeviceRemoved;
  core->OnDevicePresence(1);
  core->OnDevicePresence(1);  // a repeated attach is ignored
  Advance(4999);
  EXPECT_TRUE(rec.Take().empty());
  Advance(1);
  EXPECT_EQ(rec.Take(), (Log{"open", "job 2", "tray on", "ini Device=1"}));
  EXPECT_EQ(deviceState.load(), kDeviceOpen);
  EXPECT_TRUE(timers.Running(kTimerGameCheck));
  core->OnDevicePresence(1);
  Advance(6000);
  EXPECT_TRUE(rec.Take().empty());

  core->OnDevicePresence(0);
  EXPECT_EQ(rec.Take(), (Log{"release all", "close", "abort", "tray off", "ini Device=0", "option close"}));
  EXPECT_FALSE(timers.Running(kTimerGameCheck));
  core->OnDevicePresence(0);
  EXPECT_TRUE(rec.Take().empty());

  // Unplugged again before the wait is over: nothing is opened.
  core->OnDevicePresence(1);
  Advance(2000);
  core->OnDevicePresence(0);
  Advance(10000);
  EXPECT_TRUE(rec.Take().empty());
  EXPECT_EQ(deviceState.load(), kDeviceRemoved);
}

TEST_F(MonitorCoreTest, AfterAConsoleDisconnectTheMouseIsOpenedAfreshWhateverHappenedMeanwhile) {
  const Log opened{"job 2", "tray on", "ini Device=1"};
  const Log gone{"release all", "close", "abort", "tray off", "ini Device=0", "option close"};
  const Log disconnect{"release all", "ini Device=0", "abort", "close device"};

  // Disconnect, unplug, reconnect, plug: the plug opens the mouse.
  core->OnConsoleDisconnect();
  EXPECT_EQ(rec.Take(), disconnect);
  EXPECT_FALSE(timers.Running(kTimerGameCheck));
  rec.mousePresent = false;
  core->OnConsoleConnect();
  Log expected{"open device: none"};
  expected.insert(expected.end(), gone.begin(), gone.end());
  EXPECT_EQ(rec.Take(), expected);
  core->OnDevicePresence(1);
  Advance(kAttachOpenDelayMs);
  expected = {"open"};
  expected.insert(expected.end(), opened.begin(), opened.end());
  EXPECT_EQ(rec.Take(), expected);
  EXPECT_EQ(deviceState.load(), kDeviceOpen);
  EXPECT_TRUE(timers.Running(kTimerGameCheck));

  // Disconnect and reconnect with the mouse left in: opened and read again at the connect.
  core->OnConsoleDisconnect();
  rec.Take();
  rec.mousePresent = true;
  core->OnConsoleConnect();
  expected = {"open device"};
  expected.insert(expected.end(), opened.begin(), opened.end());
  EXPECT_EQ(rec.Take(), expected);
  EXPECT_EQ(deviceState.load(), kDeviceOpen);

  // An attach still waiting at the disconnect opens nothing while the console is away.
  deviceState = kDeviceRemoved;
  core->OnDevicePresence(1);
  core->OnConsoleDisconnect();
  Advance(2 * kAttachOpenDelayMs);
  EXPECT_EQ(rec.Take(), disconnect);
}

TEST_F(MonitorCoreTest, AResumeLooksForTheMouseAgainAndReadsIt) {
  const Log relook{"abort", "close device", "open device"};
  Log expected = relook;
  expected.insert(expected.end(), {"job 2", "tray on", "ini Device=1"});

  // Both resume notices come: one look, after the wait.
  core->OnResume();
  Advance(1000);
  core->OnResume();
  Advance(kResumeCheckDelayMs - 1);
  EXPECT_TRUE(rec.Take().empty());
  Advance(1);
  EXPECT_EQ(rec.Take(), expected) << "read again, which ends with host mode on";
  Advance(3 * kResumeCheckDelayMs);
  EXPECT_TRUE(rec.Take().empty());

  // Unplugged during the sleep: removed, then its arrival opens it.
  rec.mousePresent = false;
  core->OnResume();
  Advance(kResumeCheckDelayMs);
  EXPECT_EQ(rec.Take(), (Log{"abort", "close device", "open device: none", "release all", "close", "abort",
                             "tray off", "ini Device=0", "option close"}));
  EXPECT_EQ(deviceState.load(), kDeviceRemoved);
  EXPECT_FALSE(timers.Running(kTimerGameCheck));

  // Plugged in during the sleep, with no mouse before it: opened, with its icon.
  rec.mousePresent = true;
  core->OnResume();
  Advance(kResumeCheckDelayMs);
  EXPECT_EQ(rec.Take(), expected);
  EXPECT_EQ(deviceState.load(), kDeviceOpen);

  // The library found the mouse again by itself (removal, arrival): the attach opens it, the resume leaves it.
  core->OnResume();
  core->OnDevicePresence(0);
  core->OnDevicePresence(1);
  rec.Take();
  Advance(kAttachOpenDelayMs);
  EXPECT_EQ(rec.Take(), (Log{"open", "job 2", "tray on", "ini Device=1"}));

  // Resumed with the console disconnected: the connect looks for the mouse, not the resume.
  core->OnConsoleDisconnect();
  rec.Take();
  core->OnResume();
  Advance(kResumeCheckDelayMs);
  EXPECT_TRUE(rec.Take().empty());
}

TEST_F(MonitorCoreTest, PresenceValuesOtherThanAttachedAndRemovedAreIgnored) {
  core->OnDeviceEvent(Button(0x5000, 2, false));
  rec.Take();
  for (std::uintptr_t wParam : {std::uintptr_t{2}, std::uintptr_t{3}, std::uintptr_t{0x7F00}, ~std::uintptr_t{0}}) {
    SCOPED_TRACE(wParam);
    core->OnDevicePresence(wParam);
    EXPECT_TRUE(rec.Take().empty());
    EXPECT_EQ(deviceState.load(), kDeviceOpen);
    EXPECT_EQ(core->lastEvent(), Button(0x5000, 2, false));  // the held button is still the one to release
  }
}

// The HID library passes the mouse's codes through: a DeviceEvent of the presence type is not a presence.
TEST_F(MonitorCoreTest, PresenceComesOnlyAsDevicePresence) {
  for (std::uint32_t code : {kPresenceRemoved, kPresenceAttached, 0x7F00FFFFu}) {
    SCOPED_TRACE(code);
    core->OnDeviceEvent(code);
    Advance(6000);
    EXPECT_TRUE(rec.Take().empty());
    EXPECT_EQ(deviceState.load(), kDeviceOpen);
  }
  deviceState = kDeviceRemoved;
  core->OnDeviceEvent(kPresenceAttached);
  Advance(6000);
  EXPECT_TRUE(rec.Take().empty());
  EXPECT_EQ(deviceState.load(), kDeviceRemoved);
}

// What a full read that comes back may do: changes made on the mouse (and a host profile switch queued behind
// the read) are kept from the copy; only a change the host wrote from the block reads the mouse again.
TEST_F(MonitorCoreTest, ChangesDuringAReadAreKeptOrReadAgain) {
  CopyChanges& changes = core->copyChanges();
  core->OnDeviceEvent(0x30000002);  // before the read: the reading has it
  const std::uint32_t mark = changes.Mark();
  EXPECT_FALSE(changes.KeptSince(mark).activeProfile);

  core->OnDeviceEvent(0xB0000004);  // DPI on slot 1
  core->OnDeviceEvent(0x30000003);
  core->OnDeviceEvent(0xC0000303);  // sensitivity on slot 2
  core->OnDeviceEvent(0xD0000009);  // polling value out of range: no change
  EXPECT_FALSE(changes.HostChangedSince(mark));
  KeptValues kept = changes.KeptSince(mark);
  EXPECT_TRUE(kept.activeProfile);
  EXPECT_EQ(kept.settings[1], kKeepDpi);
  EXPECT_EQ(kept.settings[2], kKeepSensitivity);
  EXPECT_EQ(kept.settings[0] | kept.settings[3] | kept.settings[4], 0);

  const std::uint32_t later = changes.Mark();
  core->SwitchProfile(4);  // the game check
  EXPECT_FALSE(changes.HostChangedSince(later));
  kept = changes.KeptSince(later);
  EXPECT_TRUE(kept.activeProfile);
  EXPECT_EQ(kept.settings[1], 0);

  changes.HostChanged();  // an Apply
  EXPECT_TRUE(changes.HostChangedSince(mark));
  EXPECT_FALSE(changes.HostChangedSince(changes.Mark()));
}

TEST_F(MonitorCoreTest, EveryPathWithoutTheMousesReleaseLetsGoOfWhatIsHeld) {
  Shortcut(0, 1, 4);
  // Unplugged while a shortcut is held.
  core->OnDeviceEvent(Button(0x5000, 2, false));
  core->OnDevicePresence(0);
  EXPECT_EQ(rec.Take(), (Log{"shortcut 1 down", "release all", "close", "abort", "tray off", "ini Device=0",
                             "option close"}));
  // A profile change made on the mouse while a volume key is held: released before the profile changes.
  deviceState = kDeviceOpen;
  core->OnDeviceEvent(0xF0000026);
  core->OnDeviceEvent(0x30000002);
  Log log = rec.Take();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0], "media 38 down");
  EXPECT_EQ(log[1], "release all");
  EXPECT_EQ(log[2], "ini CurrentProfile=1");
  // Session disconnect and Exit: the window asks for it; a later host switch dispatches no release twice.
  block->CurrentProfile = 0;
  core->OnDeviceEvent(Button(0x5000, 2, false));
  rec.Take();
  core->ReleaseEverything();
  EXPECT_EQ(rec.Take(), (Log{"release all"}));
  core->SwitchProfile(3);
  EXPECT_EQ(rec.Take(), (Log{"release keys", "block", "job 3", "windows 3", "option 1255"}));
}

// The core wired to the real shortcut and volume keys on a recording desktop, as the program wires them: what
// reaches the desktop is checked, not only which function was asked.
class MonitorKeysTest : public ::testing::Test {
 protected:
  struct DesktopActions final : ButtonActions {
    DesktopActions(SharedBlock& b, HostKeys& k, Recorder& r) : block(b), keys(k), rec(r) {}
    void TiltScroll(int) override {}
    void LaunchProgram(int) override {}
    void ShortcutButton(int i, bool pressed) override {
      if (!pressed) keys.ReleaseShortcut(i);
      else keys.ShortcutButton(block.profiles[block.CurrentProfile], i, true);
    }
    void StartMacroForButton(int i) override { rec.Add("macro " + std::to_string(i)); }
    void MediaButton(int code, bool pressed) override { keys.MediaButton(code, pressed, 0); }
    void ReleaseHeldKeys() override { keys.ReleaseAll(); }
    void ReleaseAll() override { keys.ReleaseAll(); }
    SharedBlock& block;
    HostKeys& keys;
    Recorder& rec;
  };

  MonitorKeysTest() {
    ResetSettings(*block, [] { return 1; });
    rec.clock = &timers;
    rec.optionOpen = false;
  }
  void Shortcut(int profile, int index, std::uint8_t key, std::uint8_t flags) {
    ButtonSlot& s = block->profiles[profile].MacroKeyInfo[index];
    s.functionCode = kFnShortcut;
    s.count = 1;
    s.events[0] = {key, flags, 0};
  }
  static std::uint32_t Button(unsigned n, bool released) { return 0x5000u << 16 | (released ? 0x100u : 0u) | n; }

  std::unique_ptr<SharedBlock> block = std::make_unique<SharedBlock>();
  std::atomic<int> deviceState{kDeviceOpen};
  VirtualTimers timers;
  Recorder rec;
  test::FakeClock clock;
  test::FakeDesktop desk{clock};
  MediaPlayers players{desk, desk, clock, test::FakeDesktop::kMain};
  HostKeys keys{desk, UsKeyboardLayout(), clock, desk, desk, players};
  DesktopActions actions{*block, keys, rec};
  MonitorCore core{*block, deviceState, timers, rec, rec, actions};
};

TEST_F(MonitorKeysTest, EveryHeldButtonComesUpBeforeTheHostSwitchesProfileOrTakesNewSettings) {
  Shortcut(0, 5, 23, kModCtrl);  // B6: push-to-talk, Ctrl+T
  Shortcut(0, 6, 4, kModShift);  // B7: Shift+A
  CopyTextField(block->profiles[2].GameFile0, "game.exe");

  // Push-to-talk held, then a DPI step on the mouse: the last event is no longer the held button.
  core.OnDeviceEvent(Button(6, false));
  core.OnDeviceEvent(0xB0000003);
  core.GameCheck("game.exe");
  ASSERT_EQ(block->CurrentProfile, 2);
  EXPECT_THAT(desk.KeysDown(), ::testing::IsEmpty());
  const std::size_t sent = desk.keys.size();
  core.OnDeviceEvent(Button(6, true));  // the mouse's own release: nothing more goes up
  EXPECT_EQ(desk.keys.size(), sent);

  // Two buttons held when the configuration window applies new settings.
  block->CurrentProfile = 0;
  core.OnDeviceEvent(Button(6, false));
  core.OnDeviceEvent(Button(7, false));
  core.ReleaseHeldButton();
  EXPECT_THAT(desk.KeysDown(), ::testing::IsEmpty());
  const std::size_t released = desk.keys.size();
  core.OnDeviceEvent(Button(7, true));
  core.OnDeviceEvent(Button(6, true));
  EXPECT_EQ(desk.keys.size(), released);
}

// The settings read again from the configuration window between a press and its release: the release lets go
// of what the press put down, whatever the slot holds now, and sends nothing else.
TEST_F(MonitorKeysTest, ReleaseAfterTheSlotChangedLetsGoOfWhatThePressPutDown) {
  Shortcut(0, 5, 4, kModCtrl);  // B6: Ctrl+A; in the second profile Alt+Z, in the third a macro
  Shortcut(1, 5, 29, kModAlt);
  block->profiles[2].MacroKeyInfo[5].functionCode = kFnMacro;
  for (int profile : {1, 2}) {
    SCOPED_TRACE(profile);
    block->CurrentProfile = 0;
    desk.keys.clear();
    core.OnDeviceEvent(Button(6, false));
    block->CurrentProfile = profile;
    core.OnDeviceEvent(Button(6, true));
    EXPECT_THAT(desk.KeysDown(), ::testing::IsEmpty());
    for (const test::FakeDesktop::KeyRecord& k : desk.keys) EXPECT_TRUE(k.vk == 17 || k.vk == 65) << k.vk;
    EXPECT_THAT(rec.Take(), ::testing::IsEmpty());  // no macro started by a release
  }
}

TEST(SoundCues, PathsVolumeStepsAndCopyDataTexts) {
  EXPECT_EQ(SoundCuePath("P", kCueProfileBase + 2, 7).generic_string(), "P/Wave/Volume-4/profile_three.wav");
  EXPECT_EQ(SoundCuePath("P", kCueDpiBase + 4, -1).generic_string(), "P/Wave/Volume-4/1600_dpi.wav");
  EXPECT_EQ(SoundCuePath("P", kCueDpiBase + 1, 2).generic_string(), "P/Wave/Volume-2/400_dpi.wav");
  EXPECT_TRUE(SoundCuePath("P", kCueDpiBase + 3, 0).empty());  // level code 3 has no file
  EXPECT_STREQ(SoundCueFile(99), "");

  NotificationSettings s{};
  s.osdWordA = 0x00012345;
  s.osdWordB = 7;
  EXPECT_EQ(OsdSettingsParam(s), 0x23450007u);

  std::string text = "unchanged";
  char data[152] = {};
  EXPECT_FALSE(NotificationTextFromCopyData(data, 150, text));
  EXPECT_FALSE(NotificationTextFromCopyData(data, 152, text));
  EXPECT_EQ(text, "unchanged");
  std::memset(data, 'x', sizeof data);
  EXPECT_TRUE(NotificationTextFromCopyData(data, 151, text));
  EXPECT_EQ(text.size(), 150u);  // never read past the 151 bytes
  std::memcpy(data, "\x01Hello\r\n[Setting]", 17);
  EXPECT_TRUE(NotificationTextFromCopyData(data, 151, text));
  EXPECT_EQ(text, "Hello");
}

}  // namespace
}  // namespace sarn
