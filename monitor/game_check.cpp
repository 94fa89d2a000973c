#include "monitor/game_check.h"

#include <cctype>

namespace sarn {
namespace {

bool Blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string_view Field(const char* field, std::size_t size) { return {field, TextFieldLength(field, size)}; }

}  // namespace

std::string_view GameFileName(std::string_view path) {
  while (!path.empty() && Blank(path.front())) path.remove_prefix(1);
  while (!path.empty() && Blank(path.back())) path.remove_suffix(1);
  auto slash = path.find_last_of("\\/:");
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  return path;
}

int MatchGameProfile(const ProfileRecord (&profiles)[kProfileCount], std::string_view executableName) {
  if (executableName.empty()) return -1;
  for (int slot = 0; slot < kProfileCount; ++slot) {
    const ProfileRecord& p = profiles[slot];
    for (std::string_view game : {Field(p.GameFile0, sizeof p.GameFile0), Field(p.GameFile1, sizeof p.GameFile1),
                                  Field(p.GameFile2, sizeof p.GameFile2)}) {
      std::string_view name = GameFileName(game);
      if (!name.empty() && EqualIgnoringCase(name, executableName)) return slot;
    }
  }
  return -1;
}

const std::string& ForegroundProgram::Executable(std::uintptr_t window, std::uint32_t processId) {
  if (known_ && window == window_ && processId == processId_) return executable_;
  // With no window in front there is no program to name; asking would take a snapshot on every tick.
  executable_ = window == 0 || processId == 0 ? std::string() : resolve_(processId);
  window_ = window;
  processId_ = processId;
  known_ = !executable_.empty() || window == 0 || processId == 0;
  return executable_;
}

}  // namespace sarn
