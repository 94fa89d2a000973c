#include "hidport/hid_recovery.h"

#include <utility>

namespace sarn::hid {

RelookAction DecideRelook(const RelookState& state, bool found, const std::string& foundPath) {
  if (!found) return state.held ? RelookAction::kGone : RelookAction::kKeep;
  if (!state.held) return RelookAction::kReopen;
  // Removed and re-added between two enumerations: the old handles point at a device that is no more.
  if (foundPath != state.heldPath) return RelookAction::kReopen;
  if (!state.readFailed) return RelookAction::kKeep;
  return state.failedReopens < kMaxFailedReopens ? RelookAction::kReopen : RelookAction::kGone;
}

void RecoveryWorker::Start(std::function<void()> relook) {
  if (thread_.joinable()) return;
  relook_ = std::move(relook);
  {
    // A request made before the start (a read that failed at once) is kept: the thread takes it first.
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
  }
  thread_ = std::thread([this] { Run(); });
}

void RecoveryWorker::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void RecoveryWorker::Request() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = true;
  }
  wake_.notify_all();
}

void RecoveryWorker::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return requested_ || stopping_; });
    if (stopping_) return;
    if (wake_.wait_for(lock, wait_, [this] { return stopping_; })) return;
    requested_ = false;
    lock.unlock();
    relook_();
    lock.lock();
  }
}

}  // namespace sarn::hid
