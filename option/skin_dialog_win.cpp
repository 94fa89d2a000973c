#include "option/skin_dialog_win.h"

#include <windowsx.h>

#include "common/text_encoding.h"
#include "option/skin_kit_win.h"
#include "option/ui_text_win.h"
#include "option/ui_texts.h"

namespace sarn::win {
namespace {

LRESULT CALLBACK SkinDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = reinterpret_cast<SkinDialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  if (d->onMessage) {
    LRESULT result = 0;
    if (d->onMessage(msg, wp, lp, result)) return result;
  }
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      DrawBitmap(dc, d->skin.background, 0, 0);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN: {
      POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ClientToScreen(hwnd, &pt);
      SendMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
      return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:  // read-only fields
      SetTextColor(reinterpret_cast<HDC>(wp), palette::kText);
      SetBkColor(reinterpret_cast<HDC>(wp), RGB(22, 25, 30));
      return reinterpret_cast<LRESULT>(d->editBrush);
    case WM_COMMAND:
      if (LOWORD(wp) == kIdCancel || LOWORD(wp) == kIdExit) {
        d->End(false);
      } else if (d->onCommand) {
        d->onCommand(LOWORD(wp));
      }
      return 0;
    case WM_CLOSE:
      d->End(false);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterDialogClass() {
  static bool done = false;
  RegisterClassOnce(L"SarnSkinDialog", SkinDialogProc, done);
}

}  // namespace

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

void RegisterClassOnce(const wchar_t* name, WNDPROC proc, bool& done) {
  if (done) return;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = Instance();
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
  done = true;
}

void CreateDialogWindow(SkinDialog& d, HWND owner, const PageDesign& design, const std::vector<SkinPart>& parts,
                        const wchar_t* title) {
  RegisterDialogClass();
  d.skin = PaintPageSkin(design, parts);
  d.editFont = SkinFont(13, d.dpi);
  RECT ownerRect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (owner != nullptr) GetWindowRect(owner, &ownerRect);
  const int w = d.skin.background.width, h = d.skin.background.height;
  const int x = (ownerRect.left + ownerRect.right - w) / 2, y = (ownerRect.top + ownerRect.bottom - h) / 2;
  d.hwnd = CreateWindowExW(0, L"SarnSkinDialog", title, WS_POPUP | WS_CLIPCHILDREN, x, y, w,
                           h, owner, nullptr, Instance(), nullptr);
  SetWindowLongPtrW(d.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&d));
  SetWindowRgn(d.hwnd, ShapeFromImage(d.skin.background), FALSE);
}

HWND AddButton(SkinDialog& d, int id, const LayoutEntry& e, const SkinButtonOptions& options) {
  return CreateSkinButton(d.hwnd, id, LayoutRect(e, d.dpi), d.skin, options);
}

HWND AddEdit(SkinDialog& d, int id, const LayoutEntry& e, const std::wstring& text, DWORD extraStyle) {
  const RECT r = LayoutRect(e, d.dpi);
  HWND edit = CreateWindowExW(0, L"EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | extraStyle,
                              r.left, r.top, r.right - r.left, r.bottom - r.top + 2, d.hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(d.editFont), FALSE);
  return edit;
}

bool RunModal(SkinDialog& d, HWND owner) {
  if (d.hwnd == nullptr) return false;
  if (owner != nullptr) EnableWindow(owner, FALSE);
  ShowWindow(d.hwnd, SW_SHOW);
  SetForegroundWindow(d.hwnd);
  MSG msg;
  bool quit = false;
  while (!d.done) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      quit = got == 0;
      break;
    }
    if (!IsDialogMessageW(d.hwnd, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (owner != nullptr) {
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
  }
  DestroyWindow(d.hwnd);
  d.hwnd = nullptr;
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
  return d.ok && !quit;
}

PageDesign SmallDesign(int width, int height, int dpi, const std::wstring& title) {
  PageDesign design;
  design.width = width;
  design.height = height;
  design.dpi = dpi;
  design.roundedWindow = true;
  design.title = title;
  return design;
}

// The inset box behind an edit field, in layout pixels.
RECT FieldBox(const char* layout) {
  const LayoutEntry e = ParseLayout(layout);
  return RECT{e.left - 3, e.top - 3, e.right + 3, e.bottom + 4};
}

void AddParts(std::vector<SkinPart>& parts, const std::vector<SkinPart>& more) {
  parts.insert(parts.end(), more.begin(), more.end());
}

// Closing buttons of every dialog here: OK, Cancel and Exit at their layout strings.
void AddClosingButtons(SkinDialog& d, const char* ok, const char* cancel, const char* exit) {
  AddButton(d, kIdOk, ParseLayout(ok));
  AddButton(d, kIdCancel, ParseLayout(cancel));
  AddButton(d, kIdExit, ParseLayout(exit));
}

std::vector<SkinPart> ClosingParts(const char* ok, const char* cancel, const char* exit, int dpi) {
  return Parts({{ok, {SkinLook::kPrimary, Label(ui::kOk).c_str()}},
                {cancel, {SkinLook::kPush, Label(ui::kCancel).c_str()}},
                {exit, {SkinLook::kClose, L""}}},
               dpi);
}

// A menu dropped under a selector button. The click that closes an open menu by landing on the selector
// must not open it again at once.
unsigned DropMenu(SkinMenu& menu, HWND selector, MenuReopenGuard& guard, int id) {
  if (!guard.OnClick(id)) return 0;
  RECT r;
  GetWindowRect(selector, &r);
  const unsigned chosen = menu.Show(GetParent(selector), POINT{r.left + 1, r.bottom - 1});
  POINT at;
  GetCursorPos(&at);
  guard.OnMenuClosed(WindowFromPoint(at) == selector ? id : -1);
  return chosen;
}

namespace {
// Arial has no Chinese, Japanese, Korean or Thai glyphs: those languages draw in their own face.
const wchar_t* ArialOrScriptFace() { return lstrcmpW(LabelFace(), L"Tahoma") == 0 ? L"Arial" : LabelFace(); }
}  // namespace

HFONT ArialFont(int height, int width, int dpi) {
  return CreateFontW(-MulDiv(height, dpi, 96), MulDiv(width, dpi, 96), 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                     ArialOrScriptFace());
}

std::wstring FromStored(const std::string& s) { return Utf8ToWide(AnsiToUtf8(s)); }
std::string ToStored(const std::wstring& s) { return Utf8ToAnsi(WideToUtf8(s)); }

std::wstring TextOf(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring s(static_cast<std::size_t>(n) + 1, L'\0');
  s.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, s.data(), n + 1)));
  return s;
}

std::vector<SkinPart> Parts(std::initializer_list<std::pair<const char*, std::pair<SkinLook, const wchar_t*>>> list,
                            int dpi) {
  std::vector<SkinPart> parts;
  for (const auto& [layout, look] : list) parts.push_back({LayoutRect(ParseLayout(layout), dpi), look.first, look.second});
  return parts;
}

}  // namespace sarn::win
