#include <windows.h>

#include <string>

#include "common/library_search.h"

namespace sarn {

void RestrictLibrarySearch() {
  // Looked up rather than imported: a Windows 7 without its loader update lacks it and would refuse to start.
  using Fn = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE) return;
  // Without it, at least the current folder (a document's folder, a share) leaves the search.
  (void)SetDllDirectoryW(L"");
}

void* LoadSystemLibrary(const wchar_t* name) {
  HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
    // A loader that does not know the search flags: name the file in the system folder instead.
    wchar_t folder[MAX_PATH];
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH) module = LoadLibraryW((std::wstring(folder, n) + L"\\" + name).c_str());
  }
  return module;
}

}  // namespace sarn
