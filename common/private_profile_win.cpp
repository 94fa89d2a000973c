// File access for the INI codec on Windows: wide paths throughout, so folders with any characters work.
#include <windows.h>

#include <string>
#include <vector>

#include "common/debug_output.h"
#include "common/private_profile.h"
#include "common/text_encoding.h"

namespace sarn {

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
  bytes.clear();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // The buffer lives on the heap: this runs on worker threads whose stacks start at one page.
  std::vector<char> chunk(65536);
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    bytes.append(chunk.data(), got);
  }
  CloseHandle(file);
  if (!ok) bytes.clear();
  return ok;
}

namespace {

// How long a replacement refused because the file is held open is tried again. Viewers and scanners hold a
// file for moments; the window thread waits at most this long.
constexpr ULONGLONG kReplaceRetryMs = 1000;

// The errors of a rename over a file another process holds open without delete sharing.
bool HeldOpen(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::string Narrow(const std::filesystem::path& path) { return WideToUtf8(path.wstring()); }

}  // namespace

namespace detail {

bool ReplaceFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  if (path.filename().empty()) return false;
  // A folder or a file the user made read-only is not replaced, and waiting would not change that.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
    return false;
  }
  // A name of our own beside the target: same folder, so the final move is a rename on the same volume.
  static volatile LONG counter = 0;
  std::filesystem::path temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
    const std::wstring suffix = L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                                std::to_wstring(InterlockedIncrement(&counter)) + L".tmp";
    temp = path;
    temp += suffix;
    file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  if (file == INVALID_HANDLE_VALUE) return false;

  bool ok = true;
  while (ok && !bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x10000000u ? 0x10000000u : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    ok = WriteFile(file, bytes.data(), chunk, &written, nullptr) && written > 0;
    if (ok) bytes.remove_prefix(written);
  }
  ok = ok && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  if (!ok) {
    DeleteFileW(temp.c_str());
    return false;
  }

  const ULONGLONG start = GetTickCount64();
  DWORD pause = 5;
  for (;;) {
    if (MoveOver(temp, path)) return true;
    const DWORD error = GetLastError();
    if (!HeldOpen(error) || GetTickCount64() - start >= kReplaceRetryMs) {
      // Still refused: the new content waits as the pending content, where the next read and save find it.
      if (HeldOpen(error) && MoveOver(temp, PendingPath(path))) {
        WriteDebugLine("held open, not replaced (error " + std::to_string(error) + "); new content kept in " +
                       Narrow(PendingPath(path)));
      } else {
        WriteDebugLine("not replaced (error " + std::to_string(error) + "): " + Narrow(path));
        DeleteFileW(temp.c_str());
      }
      return false;
    }
    Sleep(pause);
    pause = pause < 50 ? pause * 2 : 100;
  }
}

}  // namespace detail

}  // namespace sarn
