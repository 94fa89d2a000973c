// File access for the INI codec on Windows: wide paths throughout, so folders with any characters work.
#include <windows.h>

#include <vector>

#include "common/private_profile.h"

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

bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes) {
  if (path.filename().empty()) return false;
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
  ok = ok && MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileW(temp.c_str());
  return ok;
}

}  // namespace sarn
