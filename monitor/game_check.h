// Which profile names the program in the foreground.
#pragma once

#include <string_view>

#include "common/profile_record.h"

namespace sarn {

// The file name and extension of a game path, blanks around it trimmed ("C:\Games\X.EXE " gives "X.EXE").
[[nodiscard]] std::string_view GameFileName(std::string_view gamePath);
// The first slot (in slot order, then game order) whose game has the executable's name, ignoring case; -1 when none.
[[nodiscard]] int MatchGameProfile(const ProfileRecord (&profiles)[kProfileCount], std::string_view executableName);

}  // namespace sarn
