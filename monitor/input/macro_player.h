// The MacroPlayer: a worker thread with a message queue that plays the macro copied into the playback
// state, so that the monitor's window thread keeps receiving device events while a macro runs.
#pragma once

#include <functional>
#include <memory>

#include "common/keyboard_layout.h"
#include "common/profile_record.h"
#include "monitor/input/input_ports.h"
#include "monitor/input/macro_engine.h"

namespace sarn {

// A thread with a message queue: PostPlay queues one play message, Stop queues the quit message and waits
// for the thread to end (the run in progress finishes first).
class PlayerThread {
 public:
  virtual ~PlayerThread() = default;
  // Creates the thread; `onPlay` runs on it for every play message. False when the thread cannot start.
  [[nodiscard]] virtual bool Start(std::function<void()> onPlay) = 0;
  [[nodiscard]] virtual bool PostPlay() = 0;
  virtual void Stop() = 0;
};

// A standard-library thread and queue (native builds and tests).
std::unique_ptr<PlayerThread> MakeStdPlayerThread();
#ifdef _WIN32
// A Win32 worker thread (common/worker_thread.h) with a message loop taking thread message 1648.
std::unique_ptr<PlayerThread> MakeWin32PlayerThread();
#endif

class MacroPlayer {
 public:
  MacroPlayer(KeyInput& input, const KeyboardLayout& layout, Clock& clock, DebugOutput& debug,
              PlayerThread& thread)
      : engine_(state_, input, layout, clock, debug), clock_(clock), thread_(thread) {}
  MacroPlayer(const MacroPlayer&) = delete;
  MacroPlayer& operator=(const MacroPlayer&) = delete;
  ~MacroPlayer() { Shutdown(); }

  [[nodiscard]] bool Start();

  // On the window thread, for a press of a macro button (never on release). A press while a macro plays
  // only stops it.
  void StartMacroForButton(const ButtonSlot& slot);
  // The same for button index 0..17 of the active profile; other indexes do nothing.
  void StartMacroForButton(const ProfileRecord& activeProfile, int button);

  // Stops a playing (or queued) macro at its next step and releases everything it holds; the player stays
  // ready for the next macro.
  void Cancel();

  // Monitor shut-down: stops a playing macro at once, releases everything it holds and ends the thread.
  void Shutdown();

  [[nodiscard]] bool Playing() const { return state_.playing.load() != 0; }
  [[nodiscard]] const PlaybackState& State() const { return state_; }

 private:
  void OnPlayMacro();

  PlaybackState state_;
  MacroEngine engine_;
  Clock& clock_;
  PlayerThread& thread_;
  bool started_ = false;
};

}  // namespace sarn
