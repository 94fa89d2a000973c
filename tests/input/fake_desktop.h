// A recording desktop for the input engines: every key, mouse event, message, cursor move, launch and timer
// call is logged as one line stamped with the virtual time in milliseconds, so a test states the whole
// expected schedule. Windows form a small tree under a desktop window.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <stdexcept>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "monitor/input/input_ports.h"
#include "monitor/input/tilt_scroll.h"

namespace sarn::test {

class FakeClock final : public Clock {
 public:
  ClockTime Now() const override { return now_; }
  WaitResult WaitUntil(ClockTime deadline) override {
    if (interrupted_) return WaitResult::kInterrupted;
    // Actions scheduled inside the wait run at their own time, as if another thread did them then.
    while (!actions_.empty() && actions_.begin()->first <= deadline) {
      auto node = actions_.extract(actions_.begin());
      if (node.key() > now_) now_ = node.key();
      node.mapped()();
      if (interrupted_) return WaitResult::kInterrupted;
    }
    if (deadline > now_) now_ = deadline;
    return WaitResult::kElapsed;
  }
  void Interrupt() override { interrupted_ = true; }

  void At(int ms, std::function<void()> action) {
    actions_.emplace(ClockTime(std::chrono::milliseconds(ms)), std::move(action));
  }
  void Set(int ms) { now_ = std::chrono::milliseconds(ms); }
  [[nodiscard]] long long Ms() const { return std::chrono::duration_cast<std::chrono::milliseconds>(now_).count(); }

 private:
  ClockTime now_{0};
  std::multimap<ClockTime, std::function<void()>> actions_;
  bool interrupted_ = false;
};

struct FakeWindow {
  std::string className;
  std::string title;
  WindowHandle parent = kNoWindow;
  std::uint32_t style = 0;
  WindowRect rect{0, 0, 0, 0};
};

class FakeDesktop final : public KeyInput, public WindowTree, public Desktop, public DebugOutput,
                          public WindowTimers, public DocumentScroller {
 public:
  static constexpr WindowHandle kDesktop = 1;
  static constexpr WindowHandle kMain = 2;  // the monitor's own main window

  explicit FakeDesktop(FakeClock& clock) : clock_(clock) {
    windows_[kDesktop] = FakeWindow{"#32769", "", kNoWindow, 0, {0, 0, 1280, 1024}};
  }

  // --- building the scene
  WindowHandle Add(WindowHandle parent, std::string className, std::string title = "", std::uint32_t style = 0,
                   WindowRect rect = {0, 0, 100, 100}) {
    const WindowHandle h = next_++;
    windows_[h] = FakeWindow{std::move(className), std::move(title), parent, style, rect};
    children_[parent].push_back(h);
    return h;
  }
  void PointAt(ScreenPoint p, WindowHandle under) {
    cursor_ = p;
    under_ = under;
  }
  std::map<std::string, std::string> registry;  // "key|value" -> text
  std::set<WindowHandle> hung;                    // windows that never answer a send
  bool swapped = false;
  DocumentScroller::Result documentResult = DocumentScroller::Result::kUnavailable;

  // --- what happened
  std::vector<std::string> log;
  std::vector<std::string> debugLines;
  struct KeyRecord {
    unsigned vk;
    unsigned scan;
    unsigned flags;
  };
  std::vector<KeyRecord> keys;
  std::vector<std::string> TakeLog() { return std::exchange(log, {}); }
  // The keys left down by every key event sent so far, by virtual key.
  std::vector<unsigned> KeysDown() const {
    std::map<unsigned, bool> down;
    for (const KeyRecord& k : keys) down[k.vk] = (k.flags & kKeyUp) == 0;
    std::vector<unsigned> out;
    for (const auto& [vk, isDown] : down) {
      if (isDown) out.push_back(vk);
    }
    return out;
  }
  // A test of a bound sets this, so that a missing bound fails at once instead of running out of memory.
  std::size_t logLimit = SIZE_MAX;

  // --- KeyInput
  void KeyEvent(unsigned vk, unsigned scan, unsigned flags) override {
    keys.push_back({vk, scan, flags});
    Record("key %u%s%s", vk, (flags & kKeyUp) ? "-" : "+", (flags & kKeyExtended) ? " ext" : "");
  }
  void MouseEvent(unsigned flags, unsigned data) override { Record("mouse %#x %u", flags, data); }

  // --- WindowTree
  WindowHandle DesktopWindow() const override { return kDesktop; }
  WindowHandle WindowFromPoint(ScreenPoint) const override { return under_; }
  WindowHandle ChildFromPoint(WindowHandle parent, ScreenPoint p) const override {
    for (WindowHandle c : Children(parent)) {
      const WindowRect& r = windows_.at(c).rect;
      if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return c;
    }
    return parent;
  }
  std::string ClassName(WindowHandle w) const override { return Get(w).className; }
  std::string Title(WindowHandle w) const override { return Get(w).title; }
  WindowHandle Parent(WindowHandle w) const override {
    const WindowHandle p = Get(w).parent;
    return p == kDesktop ? kNoWindow : p;  // top-level windows have no parent
  }
  WindowHandle FirstChild(WindowHandle w) const override {
    const auto& c = Children(w);
    return c.empty() ? kNoWindow : c.front();
  }
  WindowHandle NextSibling(WindowHandle w) const override { return Sibling(w, +1); }
  WindowHandle PreviousSibling(WindowHandle w) const override { return Sibling(w, -1); }
  std::uint32_t Style(WindowHandle w) const override { return Get(w).style; }
  WindowRect Rect(WindowHandle w) const override { return Get(w).rect; }
  std::vector<WindowHandle> Descendants(WindowHandle w) const override {
    std::vector<WindowHandle> out;
    for (WindowHandle c : Children(w)) {
      out.push_back(c);
      for (WindowHandle d : Descendants(c)) out.push_back(d);
    }
    return out;
  }
  WindowHandle FindTopLevel(std::string_view cls, std::string_view title) const override {
    for (WindowHandle c : Children(kDesktop)) {
      const FakeWindow& w = windows_.at(c);
      if ((cls.empty() || w.className == cls) && (title.empty() || w.title == title)) return c;
    }
    return kNoWindow;
  }

  // --- Desktop
  void PostToWindow(WindowHandle w, unsigned m, std::uintptr_t wp, std::intptr_t lp) override {
    Record("post %llu %#x %llu %#llx", static_cast<unsigned long long>(w), m, static_cast<unsigned long long>(wp),
           static_cast<unsigned long long>(lp));
  }
  // A send is logged with its limit; a window in `hung` never answers, so the send costs the whole limit.
  bool SendToWindow(WindowHandle w, unsigned m, std::uintptr_t wp, std::intptr_t lp,
                    std::chrono::milliseconds limit) override {
    Record("send %llu %#x %llu %#llx within %lldms", static_cast<unsigned long long>(w), m,
           static_cast<unsigned long long>(wp), static_cast<unsigned long long>(lp),
           static_cast<long long>(limit.count()));
    if (hung.count(w) == 0) return true;
    (void)clock_.WaitUntil(clock_.Now() + limit);
    return false;
  }
  ScreenPoint CursorPos() const override { return cursor_; }
  void SetCursorPos(ScreenPoint p) override {
    cursor_ = p;
    Record("cursor %d,%d", p.x, p.y);
  }
  bool ButtonsSwapped() const override { return swapped; }
  void BringToForeground(WindowHandle w, bool attach) override {
    Record("foreground %llu%s", static_cast<unsigned long long>(w), attach ? " attached" : "");
  }
  void ShellOpen(const std::string& path) override { Record("open %s", path.c_str()); }
  void StartProgram(const ProgramCommand& c) override {
    Record("start [%s] [%s]", c.program.c_str(), c.arguments.c_str());
  }
  std::optional<std::string> ReadMachineString(const std::string& key, const std::string& value) const override {
    auto it = registry.find(key + "|" + value);
    if (it == registry.end()) return std::nullopt;
    return it->second;
  }
  std::string ExpandEnvironment(const std::string& text) const override {
    std::string out = text;
    const std::string var = "%ProgramFiles%";
    if (auto p = out.find(var); p != std::string::npos) out.replace(p, var.size(), "C:\\Program Files");
    return out;
  }

  // --- DebugOutput
  void Write(const std::string& line) override { debugLines.push_back(line); }

  // --- WindowTimers: ticks are delivered by RunTimersUntil in virtual time
  void StartTimer(unsigned id, unsigned periodMs) override {
    timers_[id] = {periodMs, clock_.Now() + std::chrono::milliseconds(periodMs)};
    Record("timer %u start %u", id, periodMs);
  }
  void StopTimer(unsigned id) override {
    timers_.erase(id);
    Record("timer %u stop", id);
  }
  // Delivers every tick due up to `ms` to `onTick`, in time order; a handler may restart or stop timers.
  void RunTimersUntil(int ms, const std::function<void(unsigned)>& onTick) {
    const ClockTime end = std::chrono::milliseconds(ms);
    for (;;) {
      auto due = timers_.end();
      for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (due == timers_.end() || it->second.due < due->second.due) due = it;
      }
      if (due == timers_.end() || due->second.due > end) break;
      const unsigned id = due->first;
      const ClockTime at = due->second.due;
      due->second.due += std::chrono::milliseconds(due->second.period);
      (void)clock_.WaitUntil(at);
      onTick(id);
    }
    (void)clock_.WaitUntil(end);
  }
  [[nodiscard]] bool TimerRunning(unsigned id) const { return timers_.count(id) != 0; }

  // --- DocumentScroller
  Result ScrollBy(WindowHandle w, int dx) override {
    Record("scrollBy %llu %d", static_cast<unsigned long long>(w), dx);
    return documentResult;
  }

 private:
  struct Timer {
    unsigned period;
    ClockTime due;
  };

  template <typename... A>
  void Record(const char* format, A... args) {
    char text[400];
    std::snprintf(text, sizeof text, format, args...);
    std::string line = "@";  // appended piecewise: GCC 12 misreads "literal + temporary" (-Wrestrict)
    line += std::to_string(clock_.Ms());
    line += ' ';
    line += text;
    if (log.size() >= logLimit) throw std::length_error("more calls than the test allows: " + line);
    log.push_back(std::move(line));
  }
  const FakeWindow& Get(WindowHandle w) const {
    static const FakeWindow none{};
    auto it = windows_.find(w);
    return it == windows_.end() ? none : it->second;
  }
  const std::vector<WindowHandle>& Children(WindowHandle w) const {
    static const std::vector<WindowHandle> none;
    auto it = children_.find(w);
    return it == children_.end() ? none : it->second;
  }
  WindowHandle Sibling(WindowHandle w, int direction) const {
    const auto& list = Children(Get(w).parent);
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (list[i] != w) continue;
      const long j = static_cast<long>(i) + direction;
      return (j < 0 || j >= static_cast<long>(list.size())) ? kNoWindow : list[static_cast<std::size_t>(j)];
    }
    return kNoWindow;
  }

  FakeClock& clock_;
  std::map<WindowHandle, FakeWindow> windows_;
  std::map<WindowHandle, std::vector<WindowHandle>> children_;
  std::map<unsigned, Timer> timers_;
  WindowHandle next_ = 100;
  WindowHandle under_ = kNoWindow;
  ScreenPoint cursor_{0, 0};
};

}  // namespace sarn::test
