// Sarn[+]Option.exe: the configuration window.
#include <windows.h>

#include "option/main_window_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return sarn::win::RunOptionApplication(instance); }
