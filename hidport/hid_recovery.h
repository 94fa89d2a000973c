// How the library finds the mouse again after its handles died: a read error, a resume from sleep, a USB reset
// or a hub glitch that removes and re-adds the mouse, perhaps under a new device path, faster than one
// enumeration follows the other.
//
//   read error (reader thread) ──> RecoveryWorker::Request ──(short wait)──> re-look (worker thread)
//   arrival or removal notice (notification thread) ─────────────────────> re-look (that thread)
//
// A re-look enumerates and compares what it finds with what the handles were opened on (DecideRelook). The
// reader thread never re-looks itself: a re-look may stop the reader, and a thread cannot join itself.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace sarn::hid {

enum class RelookAction {
  kKeep,    // the handles are good: nothing to do
  kGone,    // the mouse is not there (or failed too often): handles closed, removal told
  kReopen,  // the mouse is there: handles (re)opened on its path, removal (when it was held) then arrival told
};

struct RelookState {
  bool held = false;        // the handles are open on heldPath
  std::string heldPath;
  bool readFailed = false;  // a read on the held handles failed since the last re-look: they are dead
  int failedReopens = 0;    // reopens after a read error without one report read since
};

// Reopens for read errors on the same path without one report in between; then the library waits for the
// next arrival or removal notice, so a mouse that fails every read costs a few reopens, not a busy loop.
inline constexpr int kMaxFailedReopens = 3;

// found: whether the enumeration has the mouse, and its path.
[[nodiscard]] RelookAction DecideRelook(const RelookState& state, bool found, const std::string& foundPath);

// One thread that runs a re-look when asked, after a short wait: at a pulled plug the read fails a moment
// before the mouse leaves the enumeration, and the wait lets it leave first. Requests made meanwhile are
// taken by that one re-look.
class RecoveryWorker {
 public:
  explicit RecoveryWorker(std::chrono::milliseconds wait) : wait_(wait) {}
  ~RecoveryWorker() { Stop(); }
  RecoveryWorker(const RecoveryWorker&) = delete;
  RecoveryWorker& operator=(const RecoveryWorker&) = delete;

  void Start(std::function<void()> relook);
  // Never from within relook (it joins the worker).
  void Stop();
  // From any thread; nothing when not started.
  void Request();

 private:
  void Run();

  std::chrono::milliseconds wait_;
  std::function<void()> relook_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool requested_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace sarn::hid
