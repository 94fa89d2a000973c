// What the soak run checks in a program folder once the programs have run for a while: every file the programs
// keep is whole and reads back through our own readers exactly as it stands, and the virtual mouse's kept
// memory holds what the slot files say was last applied.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace sarn::soak {

struct FileVerdict {
  std::string file;     // relative to the program folder, with "/"
  std::string problem;  // empty: whole and parseable
};

struct FolderVerdict {
  std::vector<FileVerdict> files;
  // Differences between the mouse's kept memory and the applied configuration, one line each.
  std::vector<std::string> memory;
  [[nodiscard]] bool Passed() const;
};

// The files checked: config.ini, the five slot files, the macro store, the timer list and the virtual mouse's
// memory (virtual-mouse.ini). Every one of them must exist.
[[nodiscard]] FolderVerdict CheckProgramFolder(const std::filesystem::path& folder);

// One JSON object: {"passed":..,"files":[{"file":..,"problem":..}],"memory":[..]}.
[[nodiscard]] std::string VerdictJson(const FolderVerdict& verdict);

}  // namespace sarn::soak
