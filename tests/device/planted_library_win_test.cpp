// hidport.dll's own imports come from the system folder, never from the program folder, where a planted
// hid.dll would run at every start of the monitor. Meaningful in its own process (ctest device_planted_hid),
// where hid.dll is not loaded yet and Wine is told to take a same-named file before its own library, as
// Windows does for any library that is no KnownDLL; elsewhere it passes without showing anything.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "monitor/device/device_library.h"

namespace sarn {
namespace {

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.erase(folder.find_last_of(L"\\/") + 1);
}

// The loader's first place for a library's imports, unless told otherwise, is the program's own folder: the
// monitor's program folder is where hidport.dll lives.
TEST(PlantedLibrary, HidportsImportsComeFromTheSystemFolder) {
  const std::wstring folder = ExeFolder();
  const std::wstring planted = folder + L"hid.dll", mark = planted + L".loaded";
  DeleteFileW(mark.c_str());
  ASSERT_TRUE(CopyFileW((folder + L"planted_library.dll").c_str(), planted.c_str(), FALSE));
  {
    auto library = LoadDeviceLibrary(folder + L"real\\");
    EXPECT_TRUE(library->Bound());
  }
  const bool loaded = GetFileAttributesW(mark.c_str()) != INVALID_FILE_ATTRIBUTES;
  DeleteFileW(mark.c_str());
  EXPECT_TRUE(DeleteFileW(planted.c_str()) || GetModuleHandleW(L"hid.dll") == nullptr);
  EXPECT_FALSE(loaded) << "hid.dll was taken from the program folder";
}

}  // namespace
}  // namespace sarn
