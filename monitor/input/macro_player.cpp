#include "monitor/input/macro_player.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "common/button_functions.h"

namespace sarn {
namespace {

class StdPlayerThread final : public PlayerThread {
 public:
  ~StdPlayerThread() override { Stop(); }

  bool Start(std::function<void()> onPlay) override {
    if (thread_.joinable()) return false;
    onPlay_ = std::move(onPlay);
    thread_ = std::thread([this] { Loop(); });
    return true;
  }

  bool PostPlay() override {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable() || quit_) return false;
    queue_.push_back(kPlayMacroMessage);
    ready_.notify_one();
    return true;
  }

  void Stop() override {
    if (!thread_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
      ready_.notify_one();
    }
    thread_.join();
  }

 private:
  void Loop() {
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        // The quit message is taken in turn: plays queued before it still run.
        if (queue_.empty()) return;
        queue_.pop_front();
      }
      onPlay_();
    }
  }

  std::function<void()> onPlay_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<unsigned> queue_;
  bool quit_ = false;
};

}  // namespace

std::unique_ptr<PlayerThread> MakeStdPlayerThread() { return std::make_unique<StdPlayerThread>(); }

bool MacroPlayer::Start() {
  if (started_) return true;
  started_ = thread_.Start([this] { OnPlayMacro(); });
  return started_;
}

void MacroPlayer::StartMacroForButton(const ButtonSlot& slot) {
  if (slot.functionCode != kFnMacro || slot.count == 0) return;
  if (state_.playing.load() != 0) {
    state_.stopRequested.store(1);
    return;
  }
  state_.loopCount = slot.loops <= 0 ? 1 : slot.loops;
  // A damaged slot may claim more steps than it can hold; never read past its events.
  state_.eventCount = std::min<int>(slot.count, kMacroEventCapacity);
  std::memcpy(state_.events, slot.events, sizeof state_.events);
  state_.stopRequested.store(0);
  state_.cancelRequested.store(0);
  state_.currentStep.store(0);
  // Playing from the moment the play is queued, not from when the player's thread takes it: a second press
  // in between must not rewrite the steps that thread is about to read (it only stops the macro, as any
  // press during playback does).
  state_.playing.store(1);
  if (!thread_.PostPlay()) state_.playing.store(0);
}

void MacroPlayer::StartMacroForButton(const ProfileRecord& activeProfile, int button) {
  if (button < 0 || button >= kButtonCount) return;
  StartMacroForButton(activeProfile.MacroKeyInfo[button]);
}

void MacroPlayer::OnPlayMacro() {
  state_.playing.store(1);
  engine_.Run(state_.events, state_.currentStep.load(), state_.eventCount, state_.loopCount);
  state_.playing.store(0);
}

void MacroPlayer::Cancel() { state_.cancelRequested.store(1); }

void MacroPlayer::Shutdown() {
  if (!started_) return;
  started_ = false;
  state_.shutdownRequested.store(1);
  state_.stopRequested.store(1);
  clock_.Interrupt();
  thread_.Stop();
}

}  // namespace sarn
