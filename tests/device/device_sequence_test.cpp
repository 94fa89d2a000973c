#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "device_fakes.h"
#include "monitor/device/device_protocol.h"

namespace sarn {
namespace {

using test::RecordingLink;
using test::VirtualClock;
using Lines = std::vector<std::string>;

// A link that answers like a mouse holding `profiles`: select, then the selected report.
struct MouseRig {
  VirtualClock clock;
  RecordingLink link{clock};
  DeviceFlags flags;
  SharedBlock block{};
  ProfileRecord mouse[kProfileCount]{};
  int selectedSlot = 0, selectedWhat = 0x10;
  int corruptSlot = -1;  // this slot's settings and buttons come back with a bad checksum
  int saved = 0, published = 0, notified = 0;
  std::vector<std::string> steps;
  DeviceProtocol protocol{link, clock, flags, block,
                          DeviceHostSteps{[](int) {}, [this] { steps.push_back("save"); },
                                          [this] { steps.push_back("publish"); },
                                          [this] { steps.push_back("notify"); }}};

  MouseRig() {
    ClearSharedBlock(block);
    for (int i = 0; i < kProfileCount; ++i) {
      InitProfileDefaults(mouse[i], i);
      mouse[i].Sensitivity_X = 1 + i;
      mouse[i].MacroKeyInfo[2].functionCode = static_cast<std::uint8_t>(20 + i);
    }
    flags.transferBusy = 1;
    link.onSet = [this](std::uint8_t* b, int) {
      if (b[0] == 4) selectedSlot = b[1], selectedWhat = b[2];
      return 1;
    };
    link.onGet = [this](std::uint8_t* b, int n) {
      FeatureReport r;
      switch (b[0]) {
        case 4: b[1] = 1; return 1;
        case 5: b[1] = 3; b[2] = 2; return 1;
        case 9: b[1] = 6; b[2] = 128; return 1;
        case 6: r = MakeProfileSettingsReport(mouse[selectedSlot], selectedSlot); break;
        case 7: r = MakeButtonFunctionsReport(mouse[selectedSlot], selectedSlot); break;
        default: return 0;
      }
      if (selectedSlot == corruptSlot) r[static_cast<std::size_t>(r.length - 1)] ^= 0x40;
      std::memcpy(b, r.data(), static_cast<std::size_t>(n));
      return 1;
    };
  }
};

TEST(ReadAllFromDevice, ScheduleOfAFullRead) {
  MouseRig rig;
  rig.block.MouseType = 7;
  rig.block.ButtonChanged[3][5] = 1;
  EXPECT_EQ(rig.protocol.ReadAllFromDevice(), 1);

  Lines expected = {"0 GET 09 06 80 00 00 00", "500 GET 05 03 02"};
  std::int64_t t = 1000;
  for (int what : {0x10, 0x20}) {
    for (int slot = 0; slot < kProfileCount; ++slot, t += 600) {
      char select[64];
      std::snprintf(select, sizeof select, "%lld SET 04 %02X %02X", static_cast<long long>(t), slot, what);
      expected.push_back(select);
      expected.push_back(std::to_string(t + 100) + " GET " + (what == 0x10 ? "06" : "07"));
    }
  }
  auto lines = rig.link.Lines();
  for (std::size_t i = 2; i < lines.size(); ++i) {
    if (lines[i].find(" GET ") != std::string::npos) lines[i] = lines[i].substr(0, lines[i].find(" GET ") + 7);
  }
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(rig.clock.NowMs(), 7000);  // at least 12 × 500 + 10 × 100

  EXPECT_EQ(rig.block.CurrentProfile, 2);
  for (int i = 0; i < kProfileCount; ++i) {
    EXPECT_EQ(rig.block.profiles[i].Sensitivity_X, 1 + i);
    EXPECT_EQ(rig.block.profiles[i].MacroKeyInfo[2].functionCode, 20 + i);
  }
  EXPECT_EQ(rig.block.MouseType, 0);
  EXPECT_EQ(rig.block.ButtonChanged[3][5], 0);
  EXPECT_EQ(rig.steps, (Lines{"save", "publish", "notify"}));
}

TEST(ReadAllFromDevice, OnlyTheLastButtonReadDecidesThePublication) {
  struct Row {
    int corruptSlot;
    int result;
    bool published;
  };
  for (const Row row : {Row{2, 1, true}, Row{4, 0, false}}) {
    SCOPED_TRACE(row.corruptSlot);
    MouseRig rig;
    rig.corruptSlot = row.corruptSlot;
    rig.block.ButtonChanged[0][0] = 1;
    EXPECT_EQ(rig.protocol.ReadAllFromDevice(), row.result);
    EXPECT_EQ(rig.steps.size(), row.published ? 3u : 0u);
    EXPECT_EQ(rig.block.profiles[row.corruptSlot].Sensitivity_X, 0);  // stored nothing
    EXPECT_EQ(rig.block.profiles[1].Sensitivity_X, 2);
    EXPECT_EQ(rig.block.ButtonChanged[0][0], 0);  // cleared either way
    EXPECT_EQ(rig.clock.NowMs(), 7000);
  }
}

TEST(ReadAllFromDevice, TheReadFillsItsOwnRecordAndTheCopyChangesInOneStep) {
  MouseRig rig;
  rig.block.CurrentProfile = 4;
  rig.block.profiles[1].Sensitivity_X = 9;
  rig.block.ButtonChanged[0][0] = 1;
  const auto before = std::make_unique<SharedBlock>(rig.block);
  // Halfway through, the window thread changes and reads the copy: the read must not have touched it.
  bool untouched = false;
  rig.clock.At(4000, [&] { untouched = std::memcmp(before.get(), &rig.block, sizeof rig.block) == 0; });
  auto reading = std::make_unique<DeviceReading>();
  rig.protocol.ReadAllFromDevice(*reading);
  EXPECT_TRUE(untouched);
  EXPECT_EQ(std::memcmp(before.get(), &rig.block, sizeof rig.block), 0);
  EXPECT_TRUE(rig.steps.empty());
  ASSERT_TRUE(reading->complete);
  EXPECT_EQ(reading->activeProfile, 2);

  EXPECT_EQ(rig.protocol.TakeOverReading(*reading), 1);
  EXPECT_EQ(rig.block.CurrentProfile, 2);
  EXPECT_EQ(rig.block.profiles[1].Sensitivity_X, 2);
  EXPECT_EQ(rig.block.ButtonChanged[0][0], 0);
  EXPECT_EQ(rig.steps, (Lines{"save", "publish", "notify"}));
}

TEST(ReadAllFromDevice, AnAbortedReadingChangesNothingButTheFirmwareVersion) {
  MouseRig rig;
  int firmware = -1;
  DeviceProtocol protocol{rig.link, rig.clock, rig.flags, rig.block,
                          DeviceHostSteps{[&firmware](int v) { firmware = v; }, nullptr, nullptr, nullptr}};
  rig.block.ButtonChanged[0][0] = 1;
  const auto before = std::make_unique<SharedBlock>(rig.block);
  rig.clock.At(2345, [&rig] { RequestAbort(rig.flags); });  // after the active profile and two settings reads
  EXPECT_EQ(protocol.ReadAllFromDevice(), 0);
  EXPECT_EQ(firmware, 128);
  EXPECT_EQ(std::memcmp(before.get(), &rig.block, sizeof rig.block), 0);
}

TEST(Abort, EndsEveryWaitWithin100ms) {
  struct Row {
    const char* what;
    std::int64_t abortAt;
    std::function<int(DeviceProtocol&)> run;
  };
  const Row rows[] = {
      {"full read, in a sequence pause", 2345, [](DeviceProtocol& p) { return p.ReadAllFromDevice(); }},
      {"full read, between select and read", 1050, [](DeviceProtocol& p) { return p.ReadAllFromDevice(); }},
      {"busy ready wait", 9999, [](DeviceProtocol& p) { return p.WriteProfileSettings(0); }},
      {"changed writes", 620, [](DeviceProtocol& p) { return p.WriteChangedToDevice(); }},
      {"pause", 301, [](DeviceProtocol& p) { return p.Pause(5000) ? 1 : 0; }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    MouseRig rig;
    rig.block.ProfileChanged[0] = rig.block.ProfileChanged[1] = 1;
    if (std::string(row.what) == "busy ready wait") {
      auto answer = rig.link.onGet;
      rig.link.onGet = [answer](std::uint8_t* b, int n) {
        const int r = answer(b, n);
        if (b[0] == 4) b[1] = 3;
        return r;
      };
    }
    rig.clock.At(row.abortAt, [&rig] { RequestAbort(rig.flags); });
    EXPECT_EQ(row.run(rig.protocol), 0);
    EXPECT_LE(rig.clock.NowMs() - row.abortAt, 100);
    EXPECT_TRUE(rig.steps.empty());
    for (const auto& e : rig.link.Log()) EXPECT_LE(e.time, row.abortAt);
  }
}

TEST(Abort, RequestAbortOnlyWhileATransferRuns) {
  DeviceFlags flags;
  RequestAbort(flags);
  EXPECT_EQ(flags.abortRequested, 0);
  flags.transferBusy = 1;
  RequestAbort(flags);
  EXPECT_EQ(flags.abortRequested, 1);
}

// The monitor's end reaches every job: the one running stops within 100 ms, one queued behind it (started
// only after the stop) does nothing, and a stop asked for while no job ran still holds. A removal's abort, by
// contrast, belongs to its job alone.
TEST(DeviceJobs, StopAtExitEndsTheRunningJobAndEveryQueuedOne) {
  {
    MouseRig rig;
    rig.flags.transferBusy = 0;
    rig.flags.deviceState = kDeviceOpen;
    ASSERT_TRUE(StartDeviceJob(rig.flags));
    rig.clock.At(2345, [&rig] { RequestStop(rig.flags); });
    auto reading = std::make_unique<DeviceReading>();
    rig.protocol.ReadAllFromDevice(*reading);
    EndDeviceJob(rig.flags);
    EXPECT_FALSE(reading->complete);
    EXPECT_LE(rig.clock.NowMs(), 2445);
    EXPECT_FALSE(StartDeviceJob(rig.flags)) << "a queued job ran after the stop";
    // Even run, it would not wait: the host-mode write at the end is sent without its ready wait.
    const std::int64_t before = rig.clock.NowMs();
    rig.protocol.ReadAllFromDevice(*reading);
    EXPECT_EQ(rig.protocol.WriteHostMode(false), 0);
    EXPECT_LT(rig.clock.NowMs() - before, 100);
    EXPECT_EQ(rig.link.Lines().back().substr(rig.link.Lines().back().find(' ')), " SET 0A 03 00");
  }
  {
    MouseRig rig;
    rig.flags.transferBusy = 0;
    rig.flags.deviceState = kDeviceOpen;
    RequestStop(rig.flags);  // between two jobs
    EXPECT_FALSE(StartDeviceJob(rig.flags));
  }
  {
    MouseRig rig;
    rig.flags.transferBusy = 0;
    rig.flags.deviceState = kDeviceOpen;
    ASSERT_TRUE(StartDeviceJob(rig.flags));
    RequestAbort(rig.flags);
    EndDeviceJob(rig.flags);
    ASSERT_TRUE(StartDeviceJob(rig.flags));
    EXPECT_EQ(rig.protocol.ReadAllFromDevice(), 1) << "a removal's abort outlived its job";
    rig.flags.deviceState = kDeviceRemoved;
    EXPECT_FALSE(StartDeviceJob(rig.flags));
  }
}

// Values the mouse changed after its reading was made stay as the copy has them; the rest is the reading's.
TEST(TakeOverReading, KeepsTheValuesNamedAndTakesTheRest) {
  MouseRig rig;
  auto reading = std::make_unique<DeviceReading>();
  rig.protocol.ReadAllFromDevice(*reading);
  ASSERT_TRUE(reading->complete);
  rig.block.CurrentProfile = 4;                      // a profile button pressed during the read
  rig.block.profiles[1].Cpi_X = rig.block.profiles[1].Cpi_Y = 7;  // a DPI button
  rig.block.profiles[1].Sensitivity_X = 10;          // not named: the reading's comes in
  rig.block.profiles[3].PollingRate = 3;
  rig.block.profiles[3].Sensitivity_Y = 9;
  KeptValues keep;
  keep.activeProfile = true;
  keep.settings[1] = kKeepDpi;
  keep.settings[3] = kKeepPolling | kKeepSensitivity;
  EXPECT_EQ(rig.protocol.TakeOverReading(*reading, keep), 1);
  EXPECT_EQ(rig.block.CurrentProfile, 4);
  EXPECT_EQ(rig.block.profiles[1].Cpi_X, 7);
  EXPECT_EQ(rig.block.profiles[1].Cpi_Y, 7);
  EXPECT_EQ(rig.block.profiles[1].Sensitivity_X, rig.mouse[1].Sensitivity_X);
  EXPECT_EQ(rig.block.profiles[3].PollingRate, 3);
  EXPECT_EQ(rig.block.profiles[3].Sensitivity_Y, 9);
  EXPECT_EQ(rig.block.profiles[3].Cpi_X, rig.mouse[3].Cpi_X);
  EXPECT_EQ(rig.block.profiles[0].Cpi_X, rig.mouse[0].Cpi_X);
}

TEST(ReadAllFromDevice, RemovalDuringTheReadStopsIt) {
  MouseRig rig;
  rig.clock.At(3210, [&rig] {
    // What the removal handler does: the library loses the mouse, the monitor asks the transfer to stop.
    rig.link.onSet = rig.link.onGet = [](std::uint8_t*, int) { return 0; };
    RequestAbort(rig.flags);
  });
  EXPECT_EQ(rig.protocol.ReadAllFromDevice(), 0);
  EXPECT_LE(rig.clock.NowMs(), 3310);
  EXPECT_TRUE(rig.steps.empty());
}

TEST(WriteChangedToDevice, WritesWhatTheFlagsNameInOrder) {
  MouseRig rig;
  ResetSettings(rig.block, [] { return 1; });
  rig.block.CurrentProfile = 1;
  rig.block.SettingsChanged = 1;
  rig.block.ProfileChanged[3] = 1;
  rig.block.ProfileChanged[0] = 1;
  rig.block.ProfileChanged[4] = 2;  // only 1 means changed
  rig.block.ButtonChanged[2][17] = 1;
  EXPECT_EQ(rig.protocol.WriteChangedToDevice(), 1);
  Lines heads;
  for (const auto& line : rig.link.Lines()) heads.push_back(line.substr(0, line.find(' ') + 13));
  EXPECT_EQ(heads, (Lines{"0 SET 05 03 01", "100 GET 04 01 00", "600 SET 06 10 00", "1100 GET 04 01 00",
                          "1600 SET 06 10 03", "2100 GET 04 01 00", "2600 SET 07 17 02", "3100 GET 04 01 00"}));
  EXPECT_EQ(rig.clock.NowMs(), 3600);
  EXPECT_EQ(rig.block.SettingsChanged, 1);  // the configuration application clears the flags
}

TEST(WriteChangedToDevice, ResultIsThatOfTheLastWrite) {
  MouseRig rig;
  ResetSettings(rig.block, [] { return 1; });
  EXPECT_EQ(rig.protocol.WriteChangedToDevice(), 1);  // nothing to write
  EXPECT_TRUE(rig.link.Log().empty());

  rig.block.ProfileChanged[0] = 1;
  rig.block.ButtonChanged[1][0] = 1;
  int polls = 0;
  rig.link.onGet = [&polls](std::uint8_t* b, int) {
    b[1] = ++polls == 1 ? 1 : 2;  // the settings write is done, the button write fails
    return 1;
  };
  EXPECT_EQ(rig.protocol.WriteChangedToDevice(), 0);
  rig.block.ProfileChanged[0] = 0;
  polls = 1;
  rig.block.ButtonChanged[1][0] = 0;
  rig.block.ProfileChanged[2] = 1;
  rig.block.ButtonChanged[4][3] = 1;
  rig.link.onGet = [&polls](std::uint8_t* b, int) {
    b[1] = ++polls == 2 ? 2 : 1;  // a failed write is not repeated; the next one decides
    return 1;
  };
  EXPECT_EQ(rig.protocol.WriteChangedToDevice(), 1);
}

// Two threads writing at once: no status poll may answer the other thread's write.
TEST(ExchangeLock, WritesOfTwoThreadsDoNotInterleave) {
  struct ImmediateClock : DeviceClock {
    std::int64_t NowMs() override { return 0; }
    void SleepUntilMs(std::int64_t) override { std::this_thread::yield(); }
  } clock;
  struct CheckingLink : test::RecordingLink {
    using RecordingLink::RecordingLink;
    std::atomic<int> open{0}, overlaps{0};
  } link(clock);
  link.onSet = [&link](std::uint8_t*, int) {
    if (link.open.exchange(1) != 0) ++link.overlaps;
    return 1;
  };
  link.onGet = [&link](std::uint8_t* b, int) {
    b[1] = 1;
    link.open = 0;
    return 1;
  };
  DeviceFlags flags;
  SharedBlock block{};
  ResetSettings(block, [] { return 1; });
  DeviceProtocol protocol(link, clock, flags, block);
  auto writer = [&protocol](int slot) {
    for (int i = 0; i < 200; ++i) (void)protocol.WriteProfileSettings(slot);
  };
  std::thread a(writer, 0), b(writer, 1);
  a.join();
  b.join();
  EXPECT_EQ(link.overlaps, 0);
  EXPECT_EQ(link.Log().size(), 800u);
}

}  // namespace
}  // namespace sarn
