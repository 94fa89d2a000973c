// Where the programs take their libraries from. The zip is unpacked into Downloads, beside whatever else was
// downloaded there; a file named like a system library in the program folder must never be loaded in its
// place (it would run at every logon with the monitor). Only our own hidport.dll comes from the program
// folder, and that by its full path.
#pragma once

namespace sarn {

#if defined(_WIN32)
// Limits every later library search of the process to the system folder. Called first thing in each
// program, before anything loads a library.
void RestrictLibrarySearch();
// A system library (a bare name such as L"wtsapi32.dll") from the system folder only; null when missing.
// The result is an HMODULE.
[[nodiscard]] void* LoadSystemLibrary(const wchar_t* name);
#else
inline void RestrictLibrarySearch() {}
#endif

}  // namespace sarn
