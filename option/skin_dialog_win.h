// What every small modal window of the configuration application shares: a borderless window shaped by its
// painted skin, skinned buttons and edit fields placed by layout strings, and a modal loop that disables the
// owner meanwhile.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "option/button_page.h"
#include "option/skin_kit_win.h"
#include "option/skin_painter_win.h"

namespace sarn::win {

inline constexpr int kIdOk = IDOK;
inline constexpr int kIdCancel = IDCANCEL;
inline constexpr int kIdExit = 3;

struct SkinDialog {
  HWND hwnd = nullptr;
  PageSkin skin;
  int dpi = 96;
  bool done = false;
  bool ok = false;
  // Commands of the dialog's controls other than Cancel and Exit, which end the dialog with cancel.
  std::function<void(int)> onCommand;
  // Any other message first; true when it was handled (with `result`).
  std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> onMessage;
  HBRUSH editBrush = CreateSolidBrush(RGB(22, 25, 30));
  HFONT editFont = nullptr;
  SkinDialog() = default;
  SkinDialog(const SkinDialog&) = delete;
  SkinDialog& operator=(const SkinDialog&) = delete;
  ~SkinDialog() {
    DeleteObject(editBrush);
    if (editFont != nullptr) DeleteObject(editFont);
  }
  void End(bool result) {
    ok = result;
    done = true;
  }
};

HINSTANCE Instance();
// Registers a plain window class (arrow cursor, no background) once per process.
void RegisterClassOnce(const wchar_t* name, WNDPROC proc, bool& done);

// A borderless window shaped by its painted background, centred on its owner (hidden until RunModal).
void CreateDialogWindow(SkinDialog& d, HWND owner, const PageDesign& design, const std::vector<SkinPart>& parts,
                        const wchar_t* title);
HWND AddButton(SkinDialog& d, int id, const LayoutEntry& e, const SkinButtonOptions& options = {});
HWND AddEdit(SkinDialog& d, int id, const LayoutEntry& e, const std::wstring& text, DWORD extraStyle = 0);
// Runs the dialog until it ends and destroys it; true for OK. A WM_QUIT ends it with cancel and is posted
// again for the outer loop.
bool RunModal(SkinDialog& d, HWND owner);

std::wstring FromStored(const std::string& s);
std::string ToStored(const std::wstring& s);
std::wstring TextOf(HWND hwnd);

// Skin parts from layout strings with their looks and captions.
std::vector<SkinPart> Parts(std::initializer_list<std::pair<const char*, std::pair<SkinLook, const wchar_t*>>> list,
                            int dpi);

// A small dialog's design: rounded, titled, `width` x `height` layout pixels.
PageDesign SmallDesign(int width, int height, int dpi, const std::wstring& title);
// The inset box behind an edit field, in layout pixels.
RECT FieldBox(const char* layout);
void AddParts(std::vector<SkinPart>& parts, const std::vector<SkinPart>& more);
// OK, Cancel and Exit at their layout strings: their looks, and the buttons.
std::vector<SkinPart> ClosingParts(const char* ok, const char* cancel, const char* exit, int dpi);
void AddClosingButtons(SkinDialog& d, const char* ok, const char* cancel, const char* exit);
// A menu dropped under a selector button; the chosen command or 0. The click that closes an open menu by
// landing on the selector does not open it again.
unsigned DropMenu(SkinMenu& menu, HWND selector, MenuReopenGuard& guard, int id);
HFONT ArialFont(int height, int width, int dpi);

}  // namespace sarn::win
