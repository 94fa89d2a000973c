#include <windows.h>

#include "common/settings_file.h"

namespace sarn {

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::string s(path, n);
  const auto slash = s.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
}

std::uint16_t SystemDefaultLanguageId() { return GetSystemDefaultLangID(); }

}  // namespace sarn
