#include <filesystem>
#include <system_error>

#include "tools/sarnctl.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace sarnctl {

std::string ExecutableFolder() {
#if defined(_WIN32)
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::string s(path, n);
  auto slash = s.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
#else
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path().string() + "/";
#endif
}

}  // namespace sarnctl
