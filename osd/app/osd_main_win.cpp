// Sarn[+]OSD.exe: started by the monitor from its own folder, ended by the monitor's WM_CLOSE.
#include <windows.h>

#include "common/library_search.h"
#include "common/module_path_win.h"
#include "osd/osd_window_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace sarn;
  RestrictLibrarySearch();  // before anything loads a library

  // One display per session. A second start (the monitor started again, a double click on the file) ends
  // quietly: the first one already answers the monitor. A mutex we may not open (a display started with
  // other rights) counts as running too.
  HANDLE instanceMutex = CreateMutexA(nullptr, FALSE, win::kOsdInstanceMutexName);
  if (instanceMutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
    if (instanceMutex != nullptr) CloseHandle(instanceMutex);
    return 0;
  }

  int result = 1;
  if (win::CreateOsdWindows(instance, ModuleFolder(nullptr)) != nullptr) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    result = 0;
  }
  CloseHandle(instanceMutex);
  return result;
}
