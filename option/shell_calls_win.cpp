#include "option/shell_calls_win.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <shlobj.h>

#include "common/library_search.h"

namespace sarn::win {
namespace {

template <typename Fn>
Fn Entry(const wchar_t* library, const char* name) {
  HMODULE module = GetModuleHandleW(library);
  if (module == nullptr) module = static_cast<HMODULE>(LoadSystemLibrary(library));  // kept for the process's life
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool (*g_shellOpenForTest)(const wchar_t*) = nullptr;

}  // namespace

void SetShellOpenForTest(bool (*open)(const wchar_t* what)) { g_shellOpenForTest = open; }

bool ShellOpen(const wchar_t* what) {
  if (g_shellOpenForTest != nullptr) return g_shellOpenForTest(what);
  using Fn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  static const Fn shellExecute = Entry<Fn>(L"shell32.dll", "ShellExecuteW");
  if (shellExecute == nullptr) return false;
  return reinterpret_cast<INT_PTR>(shellExecute(nullptr, L"open", what, nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

bool DesktopFolder(wchar_t (&path)[MAX_PATH]) {
  path[0] = 0;
  using Fn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
  static const Fn getFolderPath = Entry<Fn>(L"shell32.dll", "SHGetFolderPathW");
  if (getFolderPath == nullptr) return false;
  if (FAILED(getFolderPath(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path))) {
    path[0] = 0;
    return false;
  }
  return true;
}

BOOL OpenFileDialog(OPENFILENAMEW* ofn) {
  using Fn = BOOL(WINAPI*)(OPENFILENAMEW*);
  static const Fn open = Entry<Fn>(L"comdlg32.dll", "GetOpenFileNameW");
  return open != nullptr ? open(ofn) : FALSE;
}

BOOL SaveFileDialog(OPENFILENAMEW* ofn) {
  using Fn = BOOL(WINAPI*)(OPENFILENAMEW*);
  static const Fn save = Entry<Fn>(L"comdlg32.dll", "GetSaveFileNameW");
  return save != nullptr ? save(ofn) : FALSE;
}

bool LoadAnimationControl() {
  using Fn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  static const Fn init = Entry<Fn>(L"comctl32.dll", "InitCommonControlsEx");
  if (init == nullptr) return false;
  const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_ANIMATE_CLASS};
  return init(&classes) != FALSE;
}

void PlaySoundFile(const wchar_t* path) {
  using Fn = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);
  static const Fn play = Entry<Fn>(L"winmm.dll", "PlaySoundW");
  if (play != nullptr) (void)play(path, nullptr, SND_FILENAME | SND_ASYNC | SND_NOSTOP | SND_NODEFAULT);
}

}  // namespace sarn::win
