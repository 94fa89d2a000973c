// Named mutexes for the file locks. Object names may not contain "\" after the namespace and are limited to
// MAX_PATH characters, so the path is spelt with "/" and a path too long for that is named by its hash.
#include <windows.h>

#include <string>

#include "common/debug_output.h"
#include "common/file_lock.h"
#include "common/text_encoding.h"

namespace sarn {

namespace {

constexpr const wchar_t* kPrefix = L"Local\\Sarn+FileLock:";
constexpr std::size_t kMaxSpelledPath = 200;

// Full path, long folder names (an 8.3 spelling names the same file), upper case (the file system ignores case).
std::wstring NormalizedPath(const std::filesystem::path& file) {
  std::wstring full(32768, L'\0');
  DWORD n = GetFullPathNameW(file.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n == 0 || n >= full.size()) {
    full = file.wstring();
  } else {
    full.resize(n);
  }
  const std::size_t slash = full.find_last_of(L"\\/");
  if (slash != std::wstring::npos && slash > 0) {
    const std::wstring folder = full.substr(0, slash);
    std::wstring longFolder(32768, L'\0');
    n = GetLongPathNameW(folder.c_str(), longFolder.data(), static_cast<DWORD>(longFolder.size()));
    if (n > 0 && n < longFolder.size()) {
      longFolder.resize(n);
      full = longFolder + full.substr(slash);
    }
  }
  if (!full.empty()) CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
  for (wchar_t& c : full) {
    if (c == L'\\') c = L'/';
  }
  return full;
}

std::wstring MutexName(const std::filesystem::path& file) {
  const std::wstring normal = NormalizedPath(file);
  if (normal.size() <= kMaxSpelledPath) return kPrefix + normal;
  return kPrefix + Utf8ToWide("#" + PathHashText(WideToUtf8(normal)));
}

}  // namespace

std::string FileLockName(const std::filesystem::path& file) { return WideToUtf8(MutexName(file)); }

FileLock::FileLock(const std::filesystem::path& file, unsigned waitMs) {
  mutex_ = CreateMutexW(nullptr, FALSE, MutexName(file).c_str());
  if (mutex_ == nullptr) {
    WriteDebugLine("file lock of " + WideToUtf8(file.wstring()) + " cannot be made: going on unlocked");
    return;
  }
  const DWORD waited = WaitForSingleObject(mutex_, waitMs);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    // Abandoned: a program ended while it held the lock; the file it left is whole, so we go on as owner.
    if (waited == WAIT_ABANDONED) WriteDebugLine("file lock of " + WideToUtf8(file.wstring()) + " was abandoned");
    held_ = true;
    return;
  }
  WriteDebugLine("file lock of " + WideToUtf8(file.wstring()) + " not taken in time: going on unlocked");
}

FileLock::~FileLock() {
  if (mutex_ == nullptr) return;
  if (held_) ReleaseMutex(mutex_);
  CloseHandle(mutex_);
}

}  // namespace sarn
