// Sarn[+]Option.exe: the configuration window.
#include <windows.h>

#include "common/library_search.h"
#include "option/main_window_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  sarn::RestrictLibrarySearch();  // before anything loads a library
  return sarn::win::RunOptionApplication(instance);
}
