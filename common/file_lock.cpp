#include "common/file_lock.h"

#include <cstdint>
#include <cstdio>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>

#include "common/debug_output.h"
#endif

namespace sarn {

std::string PathHashText(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(hash));
  return text;
}

#if !defined(_WIN32)
std::string FileLockName(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(file, ec);
  if (ec) full = file;
  const std::filesystem::path normal = std::filesystem::weakly_canonical(full, ec);
  if (!ec) full = normal;
  std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  if (ec) folder = "/tmp";
  return (folder / ("sarn-file-lock-" + PathHashText(full.lexically_normal().string()) + ".lock")).string();
}

FileLock::FileLock(const std::filesystem::path& file, unsigned waitMs) {
  const std::string name = FileLockName(file);
  // Read-only is enough for flock, and works on a lock file another user created.
  fd_ = ::open(name.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    WriteDebugLine("file lock " + name + " cannot be made: going on unlocked");
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
      held_ = true;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  WriteDebugLine("file lock of " + file.string() + " not taken in time: going on unlocked");
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the flock
}
#endif

}  // namespace sarn
