#include <windows.h>
#include <mshtml.h>
#include <oleacc.h>

#include "common/late_library_win.h"
#include "monitor/input/desktop_win.h"

namespace sarn {
namespace {

template <typename T>
struct ComRef {
  T* p = nullptr;
  ~ComRef() {
    if (p != nullptr) p->Release();
  }
};

// COM must be up on the calling thread for the document to be handed across; undo only what we did.
struct ComScope {
  HRESULT hr = InitializeComLate();
  ~ComScope() {
    if (SUCCEEDED(hr)) UninitializeComLate();
  }
};

}  // namespace

DocumentScroller::Result Win32DocumentScroller::ScrollBy(WindowHandle htmlView, int dx) {
  HMODULE library = static_cast<HMODULE>(LoadSystemLibrary(L"oleacc.dll"));
  if (library == nullptr) return Result::kUnavailable;
  auto objectFromLresult =
      reinterpret_cast<LPFNOBJECTFROMLRESULT>(reinterpret_cast<void*>(GetProcAddress(library, "ObjectFromLresult")));
  Result result = Result::kUnavailable;
  if (objectFromLresult != nullptr) {
    ComScope com;
    const UINT getObject = RegisterWindowMessageA("WM_HTML_GETOBJECT");
    DWORD_PTR answer = 0;
    // The view belongs to another program: bounded like every input-like send (no answer, no scroll).
    SendMessageTimeoutA(reinterpret_cast<HWND>(htmlView), getObject, 0, 0, SMTO_ABORTIFHUNG,
                        static_cast<UINT>(kInputSendLimit.count()), &answer);
    ComRef<IHTMLDocument2> document;
    ComRef<IDispatch> script;
    ComRef<IHTMLWindow2> window;
    if (SUCCEEDED(objectFromLresult(static_cast<LRESULT>(answer), IID_IHTMLDocument2, 0,
                                    reinterpret_cast<void**>(&document.p))) &&
        document.p != nullptr && SUCCEEDED(document.p->get_Script(&script.p)) && script.p != nullptr &&
        SUCCEEDED(script.p->QueryInterface(IID_IHTMLWindow2, reinterpret_cast<void**>(&window.p))) &&
        window.p != nullptr) {
      result = SUCCEEDED(window.p->scrollBy(dx, 0)) ? Result::kScrolled : Result::kFailed;
    }
  }
  FreeLibrary(library);
  return result;
}

}  // namespace sarn
