// Fakes for the device link: a virtual clock with scheduled actions, and a link that records every exchange
// with its virtual time and answers through a replaceable handler.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/device/device_clock.h"
#include "monitor/device/device_link.h"

namespace sarn::test {

class VirtualClock : public DeviceClock {
 public:
  std::int64_t NowMs() override { return now_; }
  // Runs the actions due up to the deadline, each at its own time, then stands at the deadline.
  void SleepUntilMs(std::int64_t deadline) override {
    while (!actions_.empty() && actions_.begin()->first <= deadline) {
      auto it = actions_.begin();
      if (it->first > now_) now_ = it->first;
      auto action = std::move(it->second);
      actions_.erase(it);
      action();
    }
    if (deadline > now_) now_ = deadline;
  }
  void At(std::int64_t time, std::function<void()> action) { actions_.emplace(time, std::move(action)); }

 private:
  std::int64_t now_ = 0;
  std::multimap<std::int64_t, std::function<void()>> actions_;
};

struct Exchange {
  std::int64_t time;
  bool set;  // SetFeature, else GetFeature
  std::vector<std::uint8_t> bytes;
  int result;
};

// Hex pairs of the bytes, as "05 03 02": compact expectations.
inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (auto b : bytes) {
    if (!s.empty()) s += ' ';
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

class RecordingLink : public DeviceLink {
 public:
  using Handler = std::function<int(std::uint8_t* buffer, int length)>;
  explicit RecordingLink(DeviceClock& clock) : clock_(clock) {}

  Handler onSet = [](std::uint8_t*, int) { return 1; };
  Handler onGet = [](std::uint8_t* b, int) {
    if (b[0] == 4) b[1] = 1;  // ready: done
    return 1;
  };

  int Open_DevMonitor(void*, unsigned, unsigned) override { return 1; }
  int Open_FeatureDevice() override { return 1; }
  int Close_DevMonitor() override { return 1; }
  int Close_FeatureDevice() override { return 1; }
  int SetFeature(std::uint8_t* buffer, int length) override {
    const int r = onSet(buffer, length);
    Record(true, buffer, length, r);
    return r;
  }
  int GetFeature(std::uint8_t* buffer, int length) override {
    const int r = onGet(buffer, length);
    Record(false, buffer, length, r);
    return r;
  }
  int GetMousePID() override { return 0; }

  std::vector<Exchange> Log() {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
  }
  // "t SET|GET hex" lines: a whole schedule compares in one expectation.
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (const auto& e : Log()) {
      lines.push_back(std::to_string(e.time) + (e.set ? " SET " : " GET ") + Hex(e.bytes));
    }
    return lines;
  }

 private:
  void Record(bool set, const std::uint8_t* buffer, int length, int result) {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.push_back({clock_.NowMs(), set, std::vector<std::uint8_t>(buffer, buffer + length), result});
  }
  DeviceClock& clock_;
  std::mutex mutex_;
  std::vector<Exchange> log_;
};

}  // namespace sarn::test
