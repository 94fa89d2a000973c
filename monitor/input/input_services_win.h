// The input engines wired to the real desktop, as the monitor's main window uses them: one object made when
// the window is created, started with it, shut down when it is destroyed.
#pragma once

#include <memory>

#include "monitor/input/desktop_win.h"
#include "monitor/input/host_keys.h"
#include "monitor/input/macro_player.h"
#include "monitor/input/media_players.h"
#include "monitor/input/tilt_scroll.h"

namespace sarn {

class Win32InputServices {
 public:
  explicit Win32InputServices(WindowHandle mainWindow);
  ~Win32InputServices() { Shutdown(); }
  Win32InputServices(const Win32InputServices&) = delete;
  Win32InputServices& operator=(const Win32InputServices&) = delete;

  // Starts the MacroPlayer thread; false when it cannot be created.
  [[nodiscard]] bool Start() { return player_.Start(); }
  // Stops a playing macro, releases what it holds and ends the MacroPlayer thread; ends the launch thread
  // (a launch still blocked in the shell is abandoned after a short grace).
  void Shutdown() {
    player_.Shutdown();
    desktop_.Shutdown();
  }
  // Lets go of everything held: shortcut keys, the volume repeat, a playing macro.
  void ReleaseAll() {
    keys_.ReleaseAll();
    player_.Cancel();
  }

  MacroPlayer& Player() { return player_; }
  HostKeys& Keys() { return keys_; }
  MediaPlayers& Media() { return media_; }
  TiltScroller& Tilt() { return tilt_; }

 private:
  Win32KeyInput input_;
  Win32WindowTree windows_;
  Win32Desktop desktop_;
  Win32DebugOutput debug_;
  Win32WindowTimers timers_;
  Win32DocumentScroller documents_;
  Win32Clock windowClock_;  // the window thread's short waits
  Win32Clock playerClock_;  // the MacroPlayer's waits; interrupted at shut-down
  std::unique_ptr<PlayerThread> thread_;
  MacroPlayer player_;
  MediaPlayers media_;
  HostKeys keys_;
  TiltScroller tilt_;
};

}  // namespace sarn
