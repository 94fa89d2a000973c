// System libraries loaded the first time they are needed. The monitor spends its life idle in the tray: the
// sound library (which brings COM and the audio codecs with it) and COM itself are only wanted for a sound
// cue, a program launch or a document scroll, so they are not imported and stay out of its memory until then.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "common/library_search.h"

namespace sarn {

// A function of a system library, loaded on first use from the system folder only (never a same-named
// library beside the program) and kept for the program's life; nullptr when either is missing.
template <typename Function>
Function LateFunction(const wchar_t* library, const char* name) {
  HMODULE module = GetModuleHandleW(library);
  if (module == nullptr) module = static_cast<HMODULE>(LoadSystemLibrary(library));
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// timeBeginPeriod(1) / timeEndPeriod(1): for the old systems without high-resolution waitable timers.
inline bool RaiseTimerPeriod() {
  auto begin = LateFunction<UINT(WINAPI*)(UINT)>(L"winmm.dll", "timeBeginPeriod");
  return begin != nullptr && begin(1) == 0;
}
inline void LowerTimerPeriod() {
  if (auto end = LateFunction<UINT(WINAPI*)(UINT)>(L"winmm.dll", "timeEndPeriod")) end(1);
}

// PlaySoundW (a file's path is wide: the program folder may be named outside the system code page); false
// when the sound library is missing.
inline bool PlaySoundLate(const wchar_t* sound, DWORD flags) {
  auto play = LateFunction<BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD)>(L"winmm.dll", "PlaySoundW");
  return play != nullptr && play(sound, nullptr, flags) != FALSE;
}

// CoInitializeEx / CoUninitialize for a single-threaded apartment on the calling thread.
inline HRESULT InitializeComLate() {
  auto init = LateFunction<HRESULT(WINAPI*)(LPVOID, DWORD)>(L"ole32.dll", "CoInitializeEx");
  return init != nullptr ? init(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE) : E_NOTIMPL;
}
inline void UninitializeComLate() {
  if (auto uninit = LateFunction<void(WINAPI*)()>(L"ole32.dll", "CoUninitialize")) uninit();
}

// Shell execution wants COM on the thread; the first launch from a thread starts it there, once. The
// apartment stays until the thread ends, as one started at the thread's beginning would.
inline void EnsureComForShell() {
  static thread_local bool started = false;
  if (!started) {
    started = true;
    (void)InitializeComLate();
  }
}

}  // namespace sarn
