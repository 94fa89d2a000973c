// Test helper: holds a file open as a viewer, a virus scanner or an indexer may, without any sharing, so that
// nobody else can read, write, rename over or delete it.
//   file_holder FILE READY STOP   opens FILE (share mode 0), writes the file READY, and closes FILE and exits 0
//                                 once the file STOP appears (after at most a minute: exits 2).
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: file_holder FILE READY STOP\n", stderr);
    return 2;
  }
  HANDLE held = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot open %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  for (int i = 0; i < 600 && GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  CloseHandle(held);
  return GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES ? 2 : 0;
}
