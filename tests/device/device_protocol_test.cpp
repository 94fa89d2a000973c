#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "device_fakes.h"
#include "monitor/device/device_protocol.h"

namespace sarn {
namespace {

using test::RecordingLink;
using test::VirtualClock;
using Lines = std::vector<std::string>;

struct Rig {
  VirtualClock clock;
  RecordingLink link{clock};
  DeviceFlags flags;
  SharedBlock block{};
  int saved = 0, published = 0, notified = 0, firmware = -1;
  DeviceProtocol protocol{link, clock, flags, block,
                          DeviceHostSteps{[this](int v) { firmware = v; }, [this] { ++saved; },
                                          [this] { ++published; }, [this] { ++notified; }}};
  Rig() {
    ResetSettings(block, [] { return 1; });
    flags.transferBusy = 1;
  }
  // Answers status polls with the given statuses in turn (the last one repeats).
  void Statuses(std::vector<int> statuses) {
    link.onGet = [statuses, n = std::size_t{0}](std::uint8_t* b, int) mutable {
      if (b[0] == 4) b[1] = static_cast<std::uint8_t>(statuses[std::min(n++, statuses.size() - 1)]);
      return 1;
    };
  }
};

TEST(WaitDeviceReady, PollScheduleAndOutcome) {
  struct Row {
    const char* what;
    int firstWait;
    std::vector<int> statuses;  // -1: the poll itself fails
    int result;
    std::vector<std::int64_t> pollTimes;
  };
  const Row rows[] = {
      {"done at once", 100, {1}, 1, {100}},
      {"failed status ends at once", 500, {2}, 0, {500}},
      {"unknown status ends at once", 500, {0}, 0, {500}},
      {"busy twice, then done", 500, {3, 3, 1}, 1, {500, 1500, 3000}},
      {"busy forever: ten polls, w + 16.5 s", 500, {3},
       0, {500, 1500, 3000, 5000, 7000, 9000, 11000, 13000, 15000, 17000}},
      {"first poll fails: no status yet", 100, {-1, 1}, 0, {100}},
      {"a failed poll while busy polls again", 100, {3, -1, 1}, 1, {100, 1100, 2600}},
      {"a failed last poll gives 0", 100, {3, 3, 3, 3, 3, 3, 3, 3, 3, -1}, 0,
       {100, 1100, 2600, 4600, 6600, 8600, 10600, 12600, 14600, 16600}},
      {"wait below one step polls at once", 50, {1}, 1, {0}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Rig rig;
    rig.link.onGet = [statuses = row.statuses, n = std::size_t{0}](std::uint8_t* b, int) mutable {
      const int s = statuses[std::min(n++, statuses.size() - 1)];
      if (s < 0) return 0;
      b[1] = static_cast<std::uint8_t>(s);
      return 1;
    };
    EXPECT_EQ(rig.protocol.WaitDeviceReady(row.firstWait), row.result);
    std::vector<std::int64_t> times;
    for (const auto& e : rig.link.Log()) {
      EXPECT_EQ(test::Hex(e.bytes).substr(0, 2), "04");
      EXPECT_EQ(e.bytes.size(), 3u);
      times.push_back(e.time);
    }
    EXPECT_EQ(times, row.pollTimes);
  }
}

TEST(DeviceWrites, EachWriteIsConfirmedAfterItsFirstWait) {
  Rig rig;
  rig.block.CurrentProfile = 3;
  rig.block.profiles[1].MacroKeyInfo[0].functionCode = 48;
  EXPECT_EQ(rig.protocol.WriteActiveProfile(), 1);
  EXPECT_EQ(rig.protocol.WriteProfileSettings(1), 1);
  EXPECT_EQ(rig.protocol.WriteButtonFunctions(1), 1);
  EXPECT_EQ(rig.protocol.WriteRestoreDefaults(), 1);
  EXPECT_EQ(rig.protocol.WriteHostMode(true), 1);
  EXPECT_EQ(rig.link.Lines(), (Lines{
      "0 SET 05 03 03", "100 GET 04 01 00",
      "100 SET 06 10 01 01 05 05 0F 02 03 01 01 00 00 00 38 00", "600 GET 04 01 00",
      "600 SET 07 17 01 30 02 03 07 41 06 06 0D 0E 08 07 25 06 00 06 06 26 27 56 01", "1100 GET 04 01 00",
      "1100 SET 09 06 07 00 00 00", "1200 GET 04 01 00",
      "1200 SET 0A 03 01", "1300 GET 04 01 00"}));
}

TEST(DeviceWrites, NotSentMeansNoPollsAndNoSuccess) {
  Rig rig;
  rig.link.onSet = [](std::uint8_t*, int) { return 0; };
  EXPECT_EQ(rig.protocol.WriteHostMode(false), 0);
  EXPECT_EQ(rig.protocol.WriteProfileSettings(0), 0);
  EXPECT_EQ(rig.link.Log().size(), 2u);
  EXPECT_EQ(rig.clock.NowMs(), 0);
}

TEST(DeviceWrites, SlotsOutsideTheMouseAreNeverSent) {
  Rig rig;
  rig.block.CurrentProfile = -1;  // a block still being filled
  EXPECT_EQ(rig.protocol.WriteActiveProfile(), 0);
  EXPECT_EQ(rig.protocol.WriteProfileSettings(5), 0);
  EXPECT_EQ(rig.protocol.WriteButtonFunctions(-1), 0);
  EXPECT_EQ(rig.protocol.ReadProfileSettings(7), 0);
  EXPECT_TRUE(rig.link.Log().empty());
}

TEST(DeviceReads, ActiveProfile) {
  struct Row {
    int getResult;
    std::uint8_t slot;
    int expectedProfile;
  };
  for (const Row row : {Row{1, 4, 4}, Row{1, 5, 0}, Row{1, 255, 0}, Row{0, 3, 0}}) {
    Rig rig;
    rig.link.onGet = [row](std::uint8_t* b, int) {
      b[2] = row.slot;
      return row.getResult;
    };
    EXPECT_EQ(rig.protocol.ReadActiveProfile(), row.getResult);
    EXPECT_EQ(rig.block.CurrentProfile, row.expectedProfile) << int(row.slot);
  }
}

TEST(DeviceReads, VersionIsSavedEvenWhenTheReadFails) {
  Rig rig;
  rig.link.onGet = [](std::uint8_t* b, int) {
    b[2] = 128;
    return 1;
  };
  EXPECT_EQ(rig.protocol.ReadVersion(), 128);
  EXPECT_EQ(rig.firmware, 128);
  rig.link.onGet = [](std::uint8_t* b, int) {
    b[2] = 99;
    return 0;
  };
  EXPECT_EQ(rig.protocol.ReadVersion(), 0);
  EXPECT_EQ(rig.firmware, 0);
}

TEST(DeviceReads, FailuresStoreNothing) {
  struct Row {
    const char* what;
    int setResult, getResult;
    bool corrupt;
    std::size_t exchanges;
  };
  const Row rows[] = {{"bad checksum", 1, 1, true, 2},
                      {"read fails", 1, 0, false, 2},
                      {"select not sent: the old selection would answer", 0, 1, false, 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Rig rig;
    const SharedBlock before = rig.block;
    rig.link.onSet = [row](std::uint8_t*, int) { return row.setResult; };
    rig.link.onGet = [row](std::uint8_t* b, int n) {
      std::memset(b + 1, 9, static_cast<std::size_t>(n - 1));
      if (!row.corrupt) b[n - 2] = b[n - 1] = 0;
      return row.getResult;
    };
    EXPECT_EQ(rig.protocol.ReadProfileSettings(0), 0);
    EXPECT_EQ(rig.link.Log().size(), row.exchanges);
    EXPECT_EQ(0, std::memcmp(&before, &rig.block, sizeof before));
  }
}

}  // namespace
}  // namespace sarn
