// Serialises each read-modify-write of a shared file (config.ini, the slot files, the macro store, Timer.ini)
// between the two programs, and between the threads of one program: both programs replace these files whole,
// so two edits at nearly the same moment would otherwise lose one program's keys.
//
// The lock is named from the file's full path, normalised, so every spelling of one file shares it: a named
// mutex on Windows, a lock file in the temporary folder held with flock elsewhere. A holder that dies releases
// it; on Windows the abandoned mutex is simply taken over (every write is atomic, so the file it left is whole).
// The wait is bounded: a holder that hangs must not hang the other program. Past the bound the caller goes on
// unlocked and says so on the debug channel: refusing would lose its change for certain, going on loses it only
// if the other writer really is mid-write. Locks are not nested: a thread holds at most one at a time.
#pragma once

#include <filesystem>
#include <string>

namespace sarn {

inline constexpr unsigned kFileLockWaitMs = 5000;

class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& file, unsigned waitMs = kFileLockWaitMs);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // False when the wait timed out or the lock could not be made (the caller went on unlocked).
  [[nodiscard]] bool held() const { return held_; }

 private:
  void* mutex_ = nullptr;  // Windows
  int fd_ = -1;            // elsewhere
  bool held_ = false;
};

// The name the lock of `file` goes by (UTF-8): equal for every spelling of one file's path.
[[nodiscard]] std::string FileLockName(const std::filesystem::path& file);

// FNV-1a over the bytes: names a lock whose path is too long to spell out.
[[nodiscard]] std::string PathHashText(std::string_view bytes);

}  // namespace sarn
