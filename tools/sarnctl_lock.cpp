// The lock sarnctl holds around every command that changes a program folder's files (sarnctl calls only; see
// FolderLock).
#include <string>

#include "tools/sarnctl.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace sarnctl {

#if defined(_WIN32)
FolderLock::FolderLock(const std::filesystem::path& folder) {
  // One name per folder, whatever way it is spelled: the canonical path, upper-cased, hashed into the name.
  std::error_code ec;
  std::wstring path = std::filesystem::weakly_canonical(folder, ec).wstring();
  if (ec) path = folder.wstring();
  std::uint64_t hash = 1469598103934665603ull;
  for (wchar_t c : path) {
    hash ^= static_cast<std::uint64_t>(towupper(c == L'/' ? L'\\' : c));
    hash *= 1099511628211ull;
  }
  const std::wstring name = L"Local\\Sarn+_sarnctl_files_" + std::to_wstring(hash);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) return;
  // An owner that died without releasing leaves the mutex abandoned: the files are whole (every write is
  // atomic), so the lock is taken over.
  const DWORD wait = WaitForSingleObject(mutex, 30000);
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    handle_ = mutex;
  } else {
    CloseHandle(mutex);
  }
}

FolderLock::~FolderLock() {
  if (handle_ == nullptr) return;
  ReleaseMutex(static_cast<HANDLE>(handle_));
  CloseHandle(static_cast<HANDLE>(handle_));
}
#else
FolderLock::FolderLock(const std::filesystem::path& folder) {
  // The files are replaced by renames, so the lock sits on the folder, which stays.
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  if (::flock(fd, LOCK_EX) != 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
}

FolderLock::~FolderLock() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
}
#endif

}  // namespace sarnctl
