#include "monitor/input/media_players.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string_view>

namespace sarn {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kKeyGap{100};
// A top-level window list is finite, but it can change under us while we walk it.
constexpr int kMaxWindowsWalked = 10000;
// A registered command shorter than this cannot name a program; the player's other key is tried.
constexpr std::size_t kShortestCommand = 10;

bool ContainsIgnoringCase(const std::string& text, const std::string& part) {
  auto it = std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
  return it != text.end();
}

std::intptr_t Lp(std::uint32_t value) { return static_cast<std::intptr_t>(value); }

std::string TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

struct KeyPress {
  unsigned virtualKey;
  std::uint32_t downLParam;
  std::uint32_t upLParam;
};

}  // namespace

std::optional<std::string> VlcProgramFromCommand(const std::string& command) {
  std::string program = command;
  if (program.empty() || program[0] != '"') {
    const auto started = program.find("--started");
    if (started != std::string::npos) program.resize(started);
  } else {
    const auto closing = program.find('"', 1);
    if (closing != std::string::npos) program = program.substr(1, closing - 1);
  }
  if (!ContainsIgnoringCase(program, "vlc")) return std::nullopt;
  return program;
}

std::optional<std::string> WinampProgramFromCommand(const std::string& command) {
  std::string program = command;
  const auto quote = program.find('"');
  if (quote == 0) {
    const auto closing = program.find('"', 1);
    program = program.substr(1, closing == std::string::npos ? std::string::npos : closing - 1);
  } else if (quote != std::string::npos) {
    // An unquoted program followed by a quoted argument: the program is what comes before the argument.
    program.resize(quote);
    while (!program.empty() && program.back() == ' ') program.pop_back();
  }
  if (!ContainsIgnoringCase(program, "winamp")) return std::nullopt;
  return program;
}

ProgramCommand ProgramCommandFromText(const std::string& text) {
  const std::string trimmed = TrimBlanks(text);
  if (trimmed.empty() || trimmed[0] != '"') return {trimmed, {}};
  const auto closing = trimmed.find('"', 1);
  if (closing == std::string::npos) return {TrimBlanks(std::string_view(trimmed).substr(1)), {}};
  return {TrimBlanks(std::string_view(trimmed).substr(1, closing - 1)),
          TrimBlanks(std::string_view(trimmed).substr(closing + 1))};
}

std::string CommandLineFor(const ProgramCommand& command) {
  std::string line = "\"" + command.program + "\"";
  if (!command.arguments.empty()) line += " " + command.arguments;
  return line;
}

void MediaPlayers::Start(const std::string& path) {
  ProgramCommand command = ProgramCommandFromText(path);
  if (!command.program.empty()) desktop_.StartProgram(command);
}

std::string MediaPlayers::ReadCommand(const char* key, const char* fallbackKey) const {
  std::string command = desktop_.ReadMachineString(key, "").value_or("");
  if (command.size() < kShortestCommand) command = desktop_.ReadMachineString(fallbackKey, "").value_or("");
  return command;
}

void MediaPlayers::OpenMediaPlayer(int player) {
  switch (player) {
    case kPlayerWindowsMedia: {
      const auto path =
          desktop_.ReadMachineString("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\wmplayer.exe", "");
      const std::string expanded = path ? desktop_.ExpandEnvironment(*path) : std::string();
      const WindowHandle running = windows_.FindTopLevel("", "Windows Media Player");
      if (running != kNoWindow) {
        desktop_.BringToForeground(running, true);
      } else if (!expanded.empty()) {
        Start(expanded);
      }
      return;
    }
    case kPlayerITunes: {
      const auto path =
          desktop_.ReadMachineString("SOFTWARE\\Apple Computer, Inc.\\iPod\\RegisteredApps\\4", "path");
      if (path && ContainsIgnoringCase(*path, "iTunes")) Start(*path);
      return;
    }
    case kPlayerVlc: {
      const auto program = VlcProgramFromCommand(ReadCommand("SOFTWARE\\Classes\\Applications\\vlc.exe\\shell\\play\\command",
                                                             "SOFTWARE\\Classes\\Applications\\vlc.exe\\shell\\open\\command"));
      if (program) Start(*program);
      return;
    }
    case kPlayerWinamp: {
      const auto program = WinampProgramFromCommand(
          ReadCommand("SOFTWARE\\Classes\\Winamp.File\\shell\\open\\command", "SOFTWARE\\Classes\\ICY\\shell\\open\\command"));
      if (program) Start(*program);
      return;
    }
    default:
      return;
  }
}

void MediaPlayers::SendMediaCommand(int player, unsigned command) {
  switch (player) {
    case kPlayerWindowsMedia: {
      unsigned appCommand = 0;
      switch (command) {
        case kMediaVolumeDown: appCommand = 9; break;
        case kMediaVolumeUp: appCommand = 10; break;
        case kMediaNextTrack: appCommand = 11; break;
        case kMediaPreviousTrack: appCommand = 12; break;
        case kMediaPlayPause: appCommand = 14; break;
        case kMediaStop: appCommand = 13; break;
        default: return;
      }
      // Unhandled, the command travels on to whichever media application listens for it.
      desktop_.PostToWindow(mainWindow_, kWmAppCommand, mainWindow_, Lp(appCommand << 16));
      return;
    }
    case kPlayerITunes:
      SendITunes(command);
      return;
    case kPlayerVlc:
      SendVlc(command);
      return;
    case kPlayerWinamp:
      SendWinamp(command);
      return;
    default:
      return;
  }
}

void MediaPlayers::SendITunes(unsigned command) {
  const WindowHandle w = windows_.FindTopLevel("iTunes", "iTunes");
  if (w == kNoWindow) return;
  if (command == kMediaNextTrack || command == kMediaPreviousTrack) {
    const bool next = command == kMediaNextTrack;
    const unsigned arrow = next ? 39 : 37;
    // A player that does not answer one of the four in time is taken as hung and sent nothing more: four
    // waits in a row would hold the window thread four times as long.
    auto send = [&](unsigned message, unsigned key, std::uint32_t lParam) {
      return desktop_.SendToWindow(w, message, key, Lp(lParam), kInputSendLimit);
    };
    if (!send(kWmKeyDown, 17, 0x001D0001)) return;
    (void)WaitFor(clock_, kKeyGap);
    if (!send(kWmKeyDown, arrow, next ? 0x014D0001 : 0x014B0001)) return;
    (void)WaitFor(clock_, kKeyGap);
    if (!send(kWmKeyUp, arrow, next ? 0xC14D0001 : 0xC14B0001)) return;
    (void)WaitFor(clock_, kKeyGap);
    (void)send(kWmKeyUp, 17, 0xC01D0001);
  } else if (command == kMediaPlayPause || command == kMediaStop) {
    desktop_.PostToWindow(w, kWmKeyDown, 32, Lp(0x00390001));
    (void)WaitFor(clock_, kKeyGap);
    desktop_.PostToWindow(w, kWmKeyUp, 32, Lp(0xC0390001));
  }
}

WindowHandle MediaPlayers::FindVlcWindow() const {
  WindowHandle w = windows_.FindTopLevel("QWidget", "");
  for (int walked = 0; w != kNoWindow && walked < kMaxWindowsWalked; ++walked, w = windows_.NextSibling(w)) {
    if (windows_.Title(w).find("VLC") != std::string::npos && windows_.ClassName(w) == "QWidget") return w;
  }
  return kNoWindow;
}

void MediaPlayers::SendVlc(unsigned command) {
  KeyPress key{};
  switch (command) {
    case kMediaNextTrack: key = {78, 0x00310001, 0xC0310001}; break;
    case kMediaPreviousTrack: key = {80, 0x00190001, 0xC0190001}; break;
    case kMediaPlayPause: key = {32, 0x00390001, 0xC0390001}; break;
    case kMediaStop: key = {83, 0x001F0001, 0xC01F0001}; break;
    default: return;
  }
  const WindowHandle w = FindVlcWindow();
  if (w == kNoWindow) return;
  desktop_.BringToForeground(w, false);
  desktop_.PostToWindow(w, kWmKeyDown, key.virtualKey, Lp(key.downLParam));
  (void)WaitFor(clock_, kKeyGap);
  desktop_.PostToWindow(w, kWmKeyUp, key.virtualKey, Lp(key.upLParam));
}

void MediaPlayers::SendWinamp(unsigned command) {
  const WindowHandle w = windows_.FindTopLevel("Winamp v1.x", "");
  if (w == kNoWindow) return;
  unsigned id = 0;
  switch (command) {
    case kMediaNextTrack: id = 40048; break;
    case kMediaPreviousTrack: id = 40044; break;
    case kMediaStop: id = 40047; break;
    case kMediaPlayPause:
      id = winampToggle_ ? 40046 : 40045;
      winampToggle_ = !winampToggle_;
      break;
    default: return;
  }
  // A hung Winamp is given up on after the limit; the command may still reach it when it wakes.
  (void)desktop_.SendToWindow(w, kWmCommand, id, 0, kInputSendLimit);
}

}  // namespace sarn
