// Where a module lies, asked through the wide call. The ANSI call answers a folder named outside the system
// code page (a user name in Polish on a Western system, in Chinese on an English one) with '?' in place of
// the letters, and nothing can be found through that name; the installer puts the programs under the user's
// profile, so such folders are common.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace sarn {

// The full file name of a module (nullptr: the running executable); empty when it cannot be had. The
// buffer grows past MAX_PATH for long paths.
inline std::filesystem::path ModuleFileName(HMODULE module) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    // A cut name fills the buffer (without its terminator on older systems): try again with more room.
    if (n < buffer.size()) {
      buffer.resize(n);
      return std::filesystem::path(buffer);
    }
    if (buffer.size() > 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

// The folder of a module (nullptr: the running executable), without a trailing separator; empty when unknown.
inline std::filesystem::path ModuleFolder(HMODULE module) {
  const std::filesystem::path file = ModuleFileName(module);
  return file.has_parent_path() ? file.parent_path() : std::filesystem::path();
}

}  // namespace sarn
