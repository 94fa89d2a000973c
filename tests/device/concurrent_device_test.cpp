// The device thread's full read and write, the mouse's own input reports on the HID reader thread and the
// window thread taking the events, all at once through the real code: the virtual mouse behind one lock (as
// its library keeps it), the monitor's protocol, and the HID layer's reader. Meant for the ThreadSanitizer
// build (scripts/tsan); in the other builds it checks that nothing is lost or stuck.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "device_fakes.h"
#include "hidport/device_ids.h"
#include "hidport/hid_mouse.h"
#include "hidport/virtual_mouse.h"
#include "monitor/device/device_protocol.h"

namespace sarn {
namespace {

// The window thread's message queue: events from the reader thread wait here for the window.
struct WindowQueue : vmouse::EventSink {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::uint32_t> events;
  int presence = 0;
  void DeviceEvent(std::uint32_t code) override {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(code);
    wake.notify_all();
  }
  void DevicePresence(bool) override {
    std::lock_guard<std::mutex> lock(mutex);
    ++presence;
  }
};

// The mouse's side: the virtual mouse under one lock; its events become input reports for the reader.
class MouseHid : public hid::HidApi, public vmouse::EventSink {
 public:
  MouseHid() : mouse(this) {}
  std::vector<hid::HidDeviceInfo> Enumerate() override {
    return {{"mouse", hid::kVendorId, hid::kProductId, hid::kVendorUsagePage, hid::kVendorUsage, 8, 64}};
  }
  hid::HidHandle Open(const std::string&) override { return ++next_; }
  void Close(hid::HidHandle) override {}
  bool SetFeature(hid::HidHandle, const std::uint8_t* b, int n) override { return Feature(true, b, n); }
  bool GetFeature(hid::HidHandle, std::uint8_t* b, int n) override { return Feature(false, b, n); }
  int ReadInput(hid::HidHandle, std::uint8_t* b, int n) override {
    std::unique_lock<std::mutex> lock(inputMutex_);
    wake_.wait(lock, [&] { return !input_.empty() || cancelled_; });
    if (input_.empty()) return -1;
    const std::uint32_t code = input_.front();
    input_.pop_front();
    std::memset(b, 0, static_cast<std::size_t>(n));
    b[0] = hid::kEventReportId;
    std::memcpy(b + 1, &code, 4);
    return n;
  }
  void CancelRead(hid::HidHandle) override {
    std::lock_guard<std::mutex> lock(inputMutex_);
    cancelled_ = true;
    wake_.notify_all();
  }
  // Physical side, from its own thread.
  void Click(int input) {
    std::lock_guard<std::mutex> lock(mouseMutex_);
    (void)mouse.Click(input);
    (void)mouse.Event(0x40000000u | static_cast<std::uint32_t>(input));  // and a macro button's press
  }
  void DeviceEvent(std::uint32_t code) override {  // called under mouseMutex_
    std::lock_guard<std::mutex> lock(inputMutex_);
    input_.push_back(code);
    ++posted;
    wake_.notify_all();
  }
  void DevicePresence(bool) override {}
  bool Feature(bool set, std::uint8_t* b, int n) {
    std::lock_guard<std::mutex> lock(mouseMutex_);
    if (!mouse.FeatureOpen()) (void)mouse.OpenFeature();
    return (set ? mouse.SetFeature(b, n) : mouse.GetFeature(b, n)) != 0;
  }
  bool Feature(bool set, const std::uint8_t* b, int n) {
    std::vector<std::uint8_t> copy(b, b + n);
    return Feature(set, copy.data(), n);
  }
  vmouse::VirtualMouse mouse;
  std::atomic<int> posted{0};

 private:
  std::mutex mouseMutex_, inputMutex_;
  std::condition_variable wake_;
  std::deque<std::uint32_t> input_;
  bool cancelled_ = false;
  hid::HidHandle next_ = 0;
};

// The monitor's library boundary over the HID layer's channel.
class HidLink : public DeviceLink {
 public:
  explicit HidLink(hid::HidMouse& mouse) : mouse_(mouse) {}
  int Open_DevMonitor(void*, unsigned, unsigned) override { return mouse_.OpenDevMonitor(); }
  int Open_FeatureDevice() override { return mouse_.OpenFeatureDevice(); }
  int Close_DevMonitor() override { return mouse_.CloseDevMonitor(); }
  int Close_FeatureDevice() override { return mouse_.CloseFeatureDevice(); }
  int SetFeature(std::uint8_t* b, int n) override { return mouse_.SetFeature(b, n); }
  int GetFeature(std::uint8_t* b, int n) override { return mouse_.GetFeature(b, n); }
  int GetMousePID() override { return 0; }

 private:
  hid::HidMouse& mouse_;
};

TEST(ConcurrentDevice, ReadsWritesInputReportsAndDispatchTogether) {
  MouseHid hidLayer;
  WindowQueue window;
  hid::HidMouse hidMouse(hidLayer, window);
  hidMouse.SetDeviceList({{{"test mouse", hid::kVendorId, hid::kProductId}}, {}});
  HidLink link(hidMouse);
  test::VirtualClock clock;
  DeviceFlags flags;
  auto block = std::make_unique<SharedBlock>();
  ClearSharedBlock(*block);
  DeviceProtocol protocol{link, clock, flags, *block, DeviceHostSteps{[](int) {}, [] {}, [] {}, [] {}}};
  ASSERT_EQ(link.Open_DevMonitor(nullptr, 0, 0), 1);
  ASSERT_EQ(link.Open_FeatureDevice(), 1);
  flags.transferBusy = 1;

  constexpr int kClicks = 300;
  std::atomic<int> reads{0}, writes{0};
  std::atomic<bool> clicksDone{false};
  std::thread device([&] {  // the device thread: full reads and writes in turn
    for (int i = 0; i < 20; ++i) {
      reads += protocol.ReadAllFromDevice() == 1;
      writes += protocol.WriteProfileSettings(i % kProfileCount) == 1;
      writes += protocol.WriteButtonFunctions(i % kProfileCount) == 1;
    }
  });
  std::thread physical([&] {  // the user clicks a macro button (slot events go to the host)
    for (int i = 0; i < kClicks; ++i) hidLayer.Click(1 + i % 9);
    clicksDone = true;
  });
  std::size_t taken = 0;
  std::thread windowThread([&] {  // the window thread takes events until the clicks are all in
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::unique_lock<std::mutex> lock(window.mutex);
    while (std::chrono::steady_clock::now() < deadline) {
      (void)window.wake.wait_for(lock, std::chrono::milliseconds(20), [&] { return !window.events.empty(); });
      taken += window.events.size();
      window.events.clear();
      if (clicksDone.load() && static_cast<int>(taken) >= hidLayer.posted.load()) return;
    }
  });
  physical.join();
  device.join();
  windowThread.join();
  (void)link.Close_FeatureDevice();
  (void)link.Close_DevMonitor();
  EXPECT_EQ(reads.load(), 20);
  EXPECT_EQ(writes.load(), 40);
  EXPECT_GE(hidLayer.posted.load(), kClicks);
  EXPECT_EQ(static_cast<int>(taken), hidLayer.posted.load());
}

}  // namespace
}  // namespace sarn
