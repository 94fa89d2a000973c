// Which profile names the program in the foreground.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/profile_record.h"

namespace sarn {

// The file name and extension of a game path, blanks around it trimmed ("C:\Games\X.EXE " gives "X.EXE").
[[nodiscard]] std::string_view GameFileName(std::string_view gamePath);
// The first slot (in slot order, then game order) whose game has the executable's name, ignoring case; -1 when none.
[[nodiscard]] int MatchGameProfile(const ProfileRecord (&profiles)[kProfileCount], std::string_view executableName);

// The executable of the foreground program, resolved only when the foreground window or its process changed:
// naming a process takes a snapshot of every process, while asking for the foreground window costs next to
// nothing, and the check runs every two seconds for as long as the monitor runs.
class ForegroundProgram {
 public:
  // Resolves a process id to its executable name ("" when it cannot be named).
  using Resolver = std::function<std::string(std::uint32_t processId)>;
  explicit ForegroundProgram(Resolver resolve) : resolve_(std::move(resolve)) {}

  // The executable for this foreground window and its process. A window handle can come back for another
  // program only with another process, so the pair names the program; a name that could not be found is
  // looked for again on the next call. No window in front (0) names no program and looks for none.
  const std::string& Executable(std::uintptr_t window, std::uint32_t processId);
  // Forgets the last answer (the next call resolves again).
  void Forget() { known_ = false; }

 private:
  Resolver resolve_;
  bool known_ = false;
  std::uintptr_t window_ = 0;
  std::uint32_t processId_ = 0;
  std::string executable_;
};

}  // namespace sarn
