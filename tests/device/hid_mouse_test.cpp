// The real library's logic over a fake HID layer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

#include "hidport/device_ids.h"
#include "hidport/hid_mouse.h"

namespace sarn::hid {
namespace {

HidDeviceInfo Mouse(std::string path = "mouse-vendor") {
  return {std::move(path), kVendorId, kProductId, kVendorUsagePage, kVendorUsage, 8, 64};
}

// The development test id, as the test builds' device list names it.
DeviceList TestList() { return {{{"test mouse", kVendorId, kProductId}}, {}}; }

class FakeHid : public HidApi {
 public:
  std::vector<HidDeviceInfo> devices;
  std::vector<std::vector<std::uint8_t>> featuresSent;
  std::vector<std::string> featurePaths;  // the collection each SetFeature went to
  bool failEveryRead = false;
  std::vector<std::uint8_t> featureAnswer;
  // The answer to a read of the ready status (report 4) by collection path; a collection not named answers
  // as the mouse (04 01, padded to the length asked). An empty answer is a failed read.
  std::map<std::string, std::vector<std::uint8_t>> readyAnswers;

  std::vector<HidDeviceInfo> Enumerate() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return devices;
  }
  HidHandle Open(const std::string& path) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++opened;
    open_[++next_] = path;
    return next_;
  }
  void Close(HidHandle handle) override {
    std::lock_guard<std::mutex> lock(mutex_);
    open_.erase(handle);
  }
  bool SetFeature(HidHandle handle, const std::uint8_t* b, int n) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (dead_.count(handle)) return false;
    featuresSent.emplace_back(b, b + n);
    featurePaths.push_back(open_.count(handle) ? open_[handle] : "(closed)");
    return true;
  }
  bool GetFeature(HidHandle handle, std::uint8_t* b, int n) override {
    if (n > 0 && b[0] == 4) {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto it = readyAnswers.find(open_.count(handle) ? open_[handle] : "");
      std::vector<std::uint8_t> answer = it != readyAnswers.end() ? it->second : std::vector<std::uint8_t>{4, 1, 0};
      if (answer.empty() || static_cast<int>(answer.size()) > n) return false;
      answer.resize(static_cast<std::size_t>(n), 0);
      std::memcpy(b, answer.data(), answer.size());
      return true;
    }
    if (featureAnswer.empty() || static_cast<int>(featureAnswer.size()) != n) return false;
    std::memcpy(b, featureAnswer.data(), featureAnswer.size());
    return true;
  }
  int ReadInput(HidHandle handle, std::uint8_t* b, int n) override {
    std::unique_lock<std::mutex> lock(mutex_);
    ++reads;
    if (failEveryRead) return -1;
    wake_.wait(lock, [&] {
      return !input_.empty() || cancelled_.count(handle) || !open_.count(handle) || dead_.count(handle);
    });
    if (cancelled_.count(handle) || dead_.count(handle) || input_.empty()) return -1;
    auto report = input_.front();
    input_.pop_front();
    const int len = std::min(n, static_cast<int>(report.size()));
    std::memcpy(b, report.data(), static_cast<std::size_t>(len));
    return len;
  }
  void CancelRead(HidHandle handle) override {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_[handle] = true;
    wake_.notify_all();
  }

  void Input(std::vector<std::uint8_t> report) {
    std::lock_guard<std::mutex> lock(mutex_);
    input_.push_back(std::move(report));
    wake_.notify_all();
  }
  int OpenHandles() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(open_.size());
  }
  // The paths of the handles still open, in the order they were opened.
  std::vector<std::string> OpenPaths() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> paths;
    for (const auto& [handle, path] : open_) paths.push_back(path);
    return paths;
  }
  // A USB reset, a resume or a hub glitch: every handle open now fails from here on.
  void KillHandles() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [handle, path] : open_) dead_[handle] = true;
    wake_.notify_all();
  }
  std::atomic<int> opened{0};
  std::atomic<int> reads{0};

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::vector<std::uint8_t>> input_;
  std::map<HidHandle, std::string> open_;
  std::map<HidHandle, bool> cancelled_;
  std::map<HidHandle, bool> dead_;
  HidHandle next_ = 0;
};

struct Sink : vmouse::EventSink {
  std::mutex mutex;
  std::vector<std::string> got;
  void DeviceEvent(std::uint32_t code) override {
    std::lock_guard<std::mutex> lock(mutex);
    got.push_back(std::to_string(code));
  }
  void DevicePresence(bool attached) override {
    std::lock_guard<std::mutex> lock(mutex);
    got.push_back(attached ? "attached" : "removed");
  }
  std::vector<std::string> Got() {
    std::lock_guard<std::mutex> lock(mutex);
    return got;
  }
  std::vector<std::string> WaitFor(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (got.size() >= count || std::chrono::steady_clock::now() > deadline) return got;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
};

TEST(HidMatching, FindsTheVendorCollectionOfTheMouse) {
  auto other = [](std::uint16_t vid, std::uint16_t pid, std::uint16_t page, std::uint16_t usage) {
    return HidDeviceInfo{"x", vid, pid, page, usage, 8, 64};
  };
  struct Row {
    const char* what;
    std::vector<HidDeviceInfo> devices;
    int index;
  };
  const Row rows[] = {
      {"nothing attached", {}, -1},
      {"the mouse's pointer collection is not the channel", {other(kVendorId, kProductId, 0x01, 0x02)}, -1},
      {"another vendor", {other(0x046D, kProductId, kVendorUsagePage, kVendorUsage)}, -1},
      {"another product", {other(kVendorId, 0x0002, kVendorUsagePage, kVendorUsage)}, -1},
      {"another vendor usage", {other(kVendorId, kProductId, kVendorUsagePage, 0x02)}, -1},
      {"among others", {other(kVendorId, kProductId, 0x01, 0x02), other(1, 2, 3, 4), Mouse()}, 2},
  };
  for (const auto& row : rows) EXPECT_EQ(MatchMouse(row.devices, TestList()), row.index) << row.what;
  EXPECT_EQ(MatchMouse({Mouse()}, DeviceList{}), -1) << "an empty list names no mouse";
}

TEST(HidEventReport, Decoding) {
  struct Row {
    std::vector<std::uint8_t> bytes;
    std::uint32_t code;
  };
  const Row rows[] = {
      {{0x11, 0x25, 0xF0, 0x00, 0x00, 0, 0, 0}, 0x0000F025},
      {{0x11, 0x01, 0x00, 0x00, 0x7F}, 0x7F000001},
      {{0x11, 0x04, 0x41, 0x00, 0x00}, 0x00004104},
      {{0x12, 0x25, 0xF0, 0x00, 0x00}, 0},  // another report
      {{0x11, 0x25, 0xF0, 0x00}, 0},        // short
      {{0x11, 0, 0, 0, 0}, 0},              // no event
      {{}, 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DecodeEventReport(row.bytes.data(), static_cast<int>(row.bytes.size())), row.code);
  }
}

TEST(HidMouseChannel, FeatureReportsTravelInTheCollectionsLength) {
  FakeHid hid;
  Sink sink;
  HidMouse mouse(hid, sink);
  mouse.SetDeviceList(TestList());
  std::uint8_t report[3] = {5, 3, 2};
  EXPECT_EQ(mouse.SetFeature(report, 3), 0) << "not open";
  EXPECT_EQ(mouse.OpenFeatureDevice(), 0) << "no mouse";
  hid.devices = {Mouse()};
  ASSERT_EQ(mouse.OpenFeatureDevice(), 1);

  EXPECT_EQ(mouse.SetFeature(report, 3), 1);
  ASSERT_EQ(hid.featuresSent.size(), 1u);
  EXPECT_EQ(hid.featuresSent[0].size(), 64u);
  EXPECT_EQ(hid.featuresSent[0][2], 2);
  EXPECT_EQ(hid.featuresSent[0][3], 0);
  std::vector<std::uint8_t> tooLong(65, 1);
  EXPECT_EQ(mouse.SetFeature(tooLong.data(), 65), 0);

  hid.featureAnswer.assign(64, 0xEE);
  hid.featureAnswer[0] = 9;
  hid.featureAnswer[2] = 128;
  std::uint8_t version[6] = {9};
  EXPECT_EQ(mouse.GetFeature(version, 6), 1);
  EXPECT_EQ(version[2], 128);
  EXPECT_EQ(version[5], 0xEE);
  std::vector<std::uint8_t> large(100, 0x55);
  large[0] = 9;
  EXPECT_EQ(mouse.GetFeature(large.data(), 100), 1);
  EXPECT_EQ(large[63], 0xEE);
  EXPECT_EQ(large[64], 0) << "nothing of the caller's old content past the report";

  EXPECT_EQ(mouse.CloseFeatureDevice(), 1);
  EXPECT_EQ(mouse.GetFeature(version, 6), 0);
  EXPECT_EQ(hid.OpenHandles(), 0);
}

TEST(HidMouseEvents, InputReportsArrivalAndRemoval) {
  FakeHid hid;
  Sink sink;
  {
    HidMouse mouse(hid, sink);
    mouse.SetDeviceList(TestList());
    hid.devices = {Mouse()};
    mouse.OpenDevMonitor();
    hid.Input({0x11, 0x04, 0x40, 0, 0, 0, 0, 0});
    hid.Input({0x02, 0x01, 0x02, 0x03, 0x04});  // not ours
    hid.Input({0x11, 0x04, 0x41, 0, 0, 0, 0, 0});
    EXPECT_EQ(sink.WaitFor(2), (std::vector<std::string>{"16388", "16644"}));

    mouse.DevicesChanged();  // another device came: no presence change
    hid.devices.clear();
    mouse.DevicesChanged();
    mouse.DevicesChanged();
    hid.devices = {Mouse("again")};
    mouse.DevicesChanged();
    hid.Input({0x11, 0x02, 0x00, 0x00, 0x30});
    EXPECT_EQ(sink.WaitFor(5), (std::vector<std::string>{"16388", "16644", "removed", "attached",
                                                         std::to_string(0x30000002)}));
    mouse.CloseDevMonitor();
    hid.devices.clear();
    mouse.DevicesChanged();  // no longer watching
    EXPECT_EQ(sink.WaitFor(0).size(), 5u);  // presence is posted within DevicesChanged itself
  }
  EXPECT_EQ(hid.OpenHandles(), 0);
}

// The debug output of a mouse, joined: expectations name what must be said, not the exact words.
struct DebugLines {
  std::vector<std::string> lines;
  HidMouse::DebugOutput Output() {
    return [this](std::string_view line) { lines.emplace_back(line); };
  }
  bool Says(std::string_view what) const {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(what) != std::string::npos; });
  }
};

TEST(HidMouseChoice, AnEmptyListChoosesNothingAndSaysWhy) {
  FakeHid hid;
  Sink sink;
  HidMouse mouse(hid, sink);
  DebugLines debug;
  mouse.SetDebugOutput(debug.Output());
  hid.devices = {Mouse()};
  EXPECT_EQ(mouse.OpenFeatureDevice(), 0);
  EXPECT_EQ(hid.opened, 0) << "nothing is touched without a list";
  EXPECT_TRUE(debug.Says("device list is empty")) << ::testing::PrintToString(debug.lines);

  mouse.SetDeviceList({{{"another", 0x046D, 0xC000}}, {}});
  EXPECT_EQ(mouse.OpenFeatureDevice(), 0);
  EXPECT_TRUE(debug.Says("none of the 1 HID collections is in the device list"));
}

TEST(HidMouseChoice, ACollectionThatDoesNotAnswerAsTheMouseIsNeverWritten) {
  // Each junk answer to the ready-status read, from the first listed collection; the second answers properly.
  struct Row {
    const char* what;
    std::vector<std::uint8_t> answer;
    int featureLength;
  };
  const Row rows[] = {
      {"the read fails", {}, 64},
      {"another report id", {5, 1, 0}, 64},
      {"status 0", {4, 0, 0}, 64},
      {"a status no mouse gives", {4, 0x7F, 0}, 64},
      {"feature reports too short for report 4", {4, 1}, 2},
  };
  for (const auto& row : rows) {
    FakeHid hid;
    Sink sink;
    DebugLines debug;
    HidMouse mouse(hid, sink);
    mouse.SetDebugOutput(debug.Output());
    mouse.SetDeviceList(TestList());
    HidDeviceInfo board = Mouse("hobby-board");
    board.featureReportLength = row.featureLength;
    hid.devices = {board, Mouse("the-mouse")};
    hid.readyAnswers["hobby-board"] = row.answer;

    mouse.OpenDevMonitor();
    ASSERT_EQ(mouse.OpenFeatureDevice(), 1) << row.what;
    std::uint8_t hostMode[3] = {10, 3, 1};
    EXPECT_EQ(mouse.SetFeature(hostMode, 3), 1) << row.what;
    EXPECT_EQ(hid.featurePaths, std::vector<std::string>{"the-mouse"}) << row.what;
    EXPECT_EQ(mouse.ProductId(), kProductId);
    EXPECT_TRUE(debug.Says("hobby-board: passed over")) << row.what << ::testing::PrintToString(debug.lines);
    mouse.CloseDevMonitor();
    mouse.CloseFeatureDevice();
    EXPECT_EQ(hid.OpenHandles(), 0) << row.what;
  }

  // Alone, the board is not the mouse: no channel, no presence, no write.
  FakeHid hid;
  Sink sink;
  HidMouse mouse(hid, sink);
  mouse.SetDebugOutput([](std::string_view) {});
  mouse.SetDeviceList(TestList());
  hid.devices = {Mouse("hobby-board")};
  hid.readyAnswers["hobby-board"] = {4, 9, 0};
  mouse.OpenDevMonitor();
  EXPECT_EQ(mouse.OpenFeatureDevice(), 0);
  EXPECT_EQ(mouse.ProductId(), 0);
  std::uint8_t hostMode[3] = {10, 3, 1};
  EXPECT_EQ(mouse.SetFeature(hostMode, 3), 0);
  EXPECT_TRUE(hid.featuresSent.empty());
  // The board goes and a mouse comes: that is an arrival.
  hid.devices = {Mouse("the-mouse")};
  mouse.DevicesChanged();
  EXPECT_EQ(sink.WaitFor(1), std::vector<std::string>{"attached"});
}

TEST(HidMouseChoice, TheListsEventLayoutIsDecoded) {
  FakeHid hid;
  Sink sink;
  HidMouse mouse(hid, sink);
  DeviceList list = TestList();
  list.mice[0].eventReportId = 0x22;
  list.mice[0].eventCodeOffset = 2;
  mouse.SetDeviceList(list);
  hid.devices = {Mouse()};
  mouse.OpenDevMonitor();
  hid.Input({0x11, 0x01, 0x30, 0, 0, 0, 0, 0});  // the default layout is not this mouse's
  hid.Input({0x22, 0xEE, 0x04, 0x40, 0, 0, 0, 0});
  EXPECT_EQ(sink.WaitFor(1), std::vector<std::string>{"16388"});
  mouse.CloseDevMonitor();
}

TEST(HidMouseChoice, ListProblemsReachTheDebugOutput) {
  FakeHid hid;
  Sink sink;
  HidMouse mouse(hid, sink);
  DebugLines debug;
  mouse.SetDebugOutput(debug.Output());
  mouse.SetDeviceList(ParseDeviceList("[A]\nVendorId=0x1234\nProductId 5\n", "mice.ini"));
  EXPECT_TRUE(debug.Says("mice.ini line 3: damaged line 'ProductId 5'")) << ::testing::PrintToString(debug.lines);
  EXPECT_TRUE(debug.Says("mice.ini [A]: no ProductId"));
}

using Log = std::vector<std::string>;
constexpr std::chrono::milliseconds kShortWait{1};
constexpr std::chrono::hours kNeverByItself{1};  // only notices re-look

void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }

TEST(HidMouseRecovery, AReadErrorWithTheMouseStillThereReopensBothHandles) {
  FakeHid hid;
  Sink sink;
  HidMouse mouse(hid, sink, kShortWait);
  mouse.SetDeviceList(TestList());
  hid.devices = {Mouse()};
  mouse.OpenDevMonitor();
  ASSERT_EQ(mouse.OpenFeatureDevice(), 1);

  hid.KillHandles();  // reset on the bus; the mouse stays enumerated under its path
  EXPECT_EQ(sink.WaitFor(2), (Log{"removed", "attached"}));
  hid.Input({0x11, 0x04, 0x40, 0, 0, 0, 0, 0});
  EXPECT_EQ(sink.WaitFor(3).back(), "16388");
  std::uint8_t report[3] = {5, 3, 2};
  EXPECT_EQ(mouse.SetFeature(report, 3), 1) << "the feature channel is on a live handle";
  EXPECT_EQ(hid.OpenHandles(), 2);

  // The platform's notices of the same re-enumeration, late: the handles are good, nothing is told twice.
  mouse.DevicesChanged();
  mouse.DevicesChanged();
  Settle();
  EXPECT_EQ(sink.Got().size(), 3u);

  // Then a real unplug and plug: the channel is opened again by the host, and works.
  hid.devices.clear();
  hid.KillHandles();
  mouse.DevicesChanged();
  EXPECT_EQ(mouse.SetFeature(report, 3), 0);
  EXPECT_EQ(mouse.OpenFeatureDevice(), 0) << "no dead handle answers for a mouse that is gone";
  hid.devices = {Mouse()};
  mouse.DevicesChanged();
  ASSERT_EQ(mouse.OpenFeatureDevice(), 1);
  EXPECT_EQ(mouse.SetFeature(report, 3), 1);
  hid.Input({0x11, 0x04, 0x41, 0, 0, 0, 0, 0});
  EXPECT_EQ(sink.WaitFor(6), (Log{"removed", "attached", "16388", "removed", "attached", "16644"}));
}

TEST(HidMouseRecovery, AQuickRemoveAndReAddBetweenTwoLooksIsReopened) {
  struct Case {
    const char* what;
    std::string newPath;
    bool readFailsFirst;  // else the notice comes before the old handle's read has failed
    std::chrono::milliseconds wait;
  };
  // A new path is seen by the notice alone; the same path only through the failed read.
  const Case cases[] = {{"new path", "mouse-after-reset", false, kNeverByItself},
                        {"same path", "mouse-vendor", true, kShortWait}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeHid hid;
    Sink sink;
    HidMouse mouse(hid, sink, c.wait);
    mouse.SetDeviceList(TestList());
    hid.devices = {Mouse()};
    mouse.OpenDevMonitor();
    ASSERT_EQ(mouse.OpenFeatureDevice(), 1);

    if (c.readFailsFirst) hid.KillHandles();
    hid.devices = {Mouse(c.newPath)};
    mouse.DevicesChanged();
    EXPECT_EQ(sink.WaitFor(2), (Log{"removed", "attached"}));
    Settle();
    EXPECT_EQ(sink.Got().size(), 2u) << "one reopen, told once";
    EXPECT_EQ(hid.OpenPaths(), (Log{c.newPath, c.newPath}));
    std::uint8_t report[3] = {5, 3, 2};
    ASSERT_EQ(mouse.SetFeature(report, 3), 1);
    EXPECT_EQ(hid.featurePaths.back(), c.newPath);
    hid.Input({0x11, 0x02, 0x00, 0x00, 0x30});
    EXPECT_EQ(sink.WaitFor(3).back(), std::to_string(0x30000002));
  }
}

TEST(HidMouseRecovery, AMouseThatFailsEveryReadIsGivenUpUntilTheNextNotice) {
  FakeHid hid;
  Sink sink;
  HidMouse mouse(hid, sink, kShortWait);
  mouse.SetDeviceList(TestList());
  hid.devices = {Mouse()};
  hid.failEveryRead = true;
  mouse.OpenDevMonitor();
  const Log reopens{"removed", "attached", "removed", "attached", "removed", "attached", "removed"};
  EXPECT_EQ(sink.WaitFor(reopens.size()), reopens);
  Settle();
  EXPECT_EQ(sink.Got(), reopens) << "given up, told removed";
  constexpr int kProbe = 1;  // the ready-status read opens the collection once, before it is taken
  EXPECT_EQ(hid.opened.load(), kProbe + 1 + kMaxFailedReopens);
  EXPECT_EQ(hid.reads.load(), 1 + kMaxFailedReopens);
  EXPECT_EQ(hid.OpenHandles(), 0);

  mouse.DevicesChanged();  // a notice gives it another few tries
  Settle();
  EXPECT_EQ(hid.opened.load(), kProbe + 2 * (1 + kMaxFailedReopens));
  EXPECT_EQ(sink.Got().size(), reopens.size() + 1 + reopens.size()) << "arrival, then the same tries";
  mouse.CloseDevMonitor();
}

}  // namespace
}  // namespace sarn::hid
