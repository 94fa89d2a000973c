// Opening and commanding the four supported media players: Windows Media Player, iTunes, VLC, Winamp.
#pragma once

#include <optional>
#include <string>

#include "monitor/input/input_ports.h"

namespace sarn {

enum MediaCommand : unsigned {
  kMediaVolumeDown = 4096,
  kMediaVolumeUp = 4097,
  kMediaNextTrack = 4098,
  kMediaPreviousTrack = 4099,
  kMediaPlayPause = 4100,
  kMediaStop = 4101,
};

enum MediaPlayer : int {
  kPlayerWindowsMedia = 0,
  kPlayerITunes = 1,
  kPlayerVlc = 2,
  kPlayerWinamp = 3,
};

// The program to start, from the open command registered for VLC or Winamp; none when the command does not
// name that player.
[[nodiscard]] std::optional<std::string> VlcProgramFromCommand(const std::string& command);
[[nodiscard]] std::optional<std::string> WinampProgramFromCommand(const std::string& command);

// A path read from the registry, as a program to start: a quoted path ends at its closing quote and what
// follows is its arguments; an unquoted one is all path, spaces included ("C:\Program Files\X\x.exe" is one
// program, never "C:\Program.exe" with arguments). Blanks around either are dropped.
[[nodiscard]] ProgramCommand ProgramCommandFromText(const std::string& text);
// The command line that starts `command`: the program always in quotes, then the arguments.
[[nodiscard]] std::string CommandLineFor(const ProgramCommand& command);

class MediaPlayers {
 public:
  // `mainWindow` is the monitor's own main window (Windows Media Player commands go through it).
  MediaPlayers(Desktop& desktop, const WindowTree& windows, Clock& clock, WindowHandle mainWindow)
      : desktop_(desktop), windows_(windows), clock_(clock), mainWindow_(mainWindow) {}

  void OpenMediaPlayer(int player);
  void SendMediaCommand(int player, unsigned command);

  // Winamp's play/pause alternates; the flag follows our own commands, not the player's real state.
  [[nodiscard]] bool WinampPlaying() const { return winampToggle_; }

 private:
  [[nodiscard]] std::string ReadCommand(const char* key, const char* fallbackKey) const;
  void SendITunes(unsigned command);
  void SendVlc(unsigned command);
  void SendWinamp(unsigned command);
  void Start(const std::string& path);
  [[nodiscard]] WindowHandle FindVlcWindow() const;

  Desktop& desktop_;
  const WindowTree& windows_;
  Clock& clock_;
  WindowHandle mainWindow_;
  bool winampToggle_ = false;
};

}  // namespace sarn
