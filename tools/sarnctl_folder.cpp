#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/text_encoding.h"
#include "option/option_core.h"

#include "tools/sarnctl.h"

#if defined(_WIN32)
#include <windows.h>

#include "common/module_path_win.h"
#endif

namespace sarnctl {

int Fail(const std::string& message) {
  std::fprintf(stderr, "sarnctl: %s\n", message.c_str());
  return 1;
}

int Usage(const char* usage) {
  std::fprintf(stderr, "sarnctl: usage: sarnctl %s\n", usage);
  return 2;
}

bool WindowsXpFamily() {
#if defined(_WIN32)
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
  return sarn::OperatingSystemClass(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion) == 4;
#else
  return false;
#endif
}

bool WantsHelp(const Args& args) {
  for (const auto& word : args) {
    if (word == "--help" || word == "-h") return true;
  }
  return false;
}

bool ResolveFolderWord(const std::string* word, std::filesystem::path& folder, int& exitCode) {
  folder = word != nullptr ? sarn::AnsiPath(*word) : ExecutableFolder();
  std::error_code ec;
  if (folder.empty() || !std::filesystem::is_directory(folder, ec)) {
    exitCode = Fail("no such folder: " + (word != nullptr ? *word : std::string("(program folder)")));
    return false;
  }
  return true;
}

std::filesystem::path ExecutableFolder() {
#if defined(_WIN32)
  return sarn::ModuleFolder(nullptr);
#else
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path();
#endif
}

}  // namespace sarnctl
