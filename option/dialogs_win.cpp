#include "option/dialogs_win.h"

#include <windowsx.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "common/settings_file.h"
#include "common/text_encoding.h"
#include "option/shell_calls_win.h"
#include "option/skin_painter_win.h"

namespace sarn::win {
namespace {

constexpr int kIdOk = IDOK;
constexpr int kIdCancel = IDCANCEL;
constexpr int kIdExit = 3;

struct SkinDialog {
  HWND hwnd = nullptr;
  PageSkin skin;
  int dpi = 96;
  bool done = false;
  bool ok = false;
  std::function<void(int)> onCommand;
  HBRUSH editBrush = CreateSolidBrush(RGB(22, 25, 30));
  HFONT editFont = nullptr;
  ~SkinDialog() {
    DeleteObject(editBrush);
    if (editFont != nullptr) DeleteObject(editFont);
  }
  void End(bool result) {
    ok = result;
    done = true;
  }
};

LRESULT CALLBACK SkinDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = reinterpret_cast<SkinDialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
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

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// Registers a plain window class (arrow cursor, no background) once per process.
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

void RegisterDialogClass() {
  static bool done = false;
  RegisterClassOnce(L"SarnSkinDialog", SkinDialogProc, done);
}

// A borderless window shaped by its painted background, centred on its owner.
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

HWND AddButton(SkinDialog& d, int id, const LayoutEntry& e) {
  SkinButtonOptions o;
  return CreateSkinButton(d.hwnd, id, LayoutRect(e, d.dpi), d.skin, o);
}

HWND AddEdit(SkinDialog& d, int id, const LayoutEntry& e, const std::wstring& text) {
  const RECT r = LayoutRect(e, d.dpi);
  HWND edit = CreateWindowExW(0, L"EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, r.left,
                              r.top, r.right - r.left, r.bottom - r.top + 2, d.hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(d.editFont), FALSE);
  return edit;
}

// Runs the dialog until it ends; the owner is disabled meanwhile, as with any modal dialog.
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

}  // namespace

bool ProfileSettingsDialog(HWND owner, int dpi, OptionShell::ProfileTexts& texts) {
  static const char* const kPathLayouts[3] = {"EDIT_PATH_TOEXECUTEABLE,35,137,265,15,",
                                              "EDIT_PATH_TOEXECUTEABLE,35,157,265,15,",
                                              "EDIT_PATH_TOEXECUTEABLE,35,177,265,15,"};
  static const char* const kBrowseLayouts[3] = {"BUTTON_BROWER,304,136,23,17,", "BUTTON_BROWER,304,156,23,17,",
                                                "BUTTON_BROWER,304,176,23,17,"};
  SkinDialog d;
  d.dpi = dpi;
  PageDesign design;
  design.width = 520;
  design.height = 346;
  design.dpi = dpi;
  design.roundedWindow = true;
  design.title = L"Profile settings";
  design.panels = {RECT{14, 60, 506, 296}};
  design.notes = {{POINT{35, 79}, L"Profile name"},
                  {POINT{35, 115}, L"Games that switch the mouse to this profile"},
                  {POINT{35, 205}, L"While one of these programs is in the foreground, the mouse uses this"},
                  {POINT{35, 221}, L"profile. Apply carries the change to the mouse."}};
  auto parts = Parts({{"BUTTON_OK,14,310,60,26,", {SkinLook::kPrimary, L"OK"}},
                      {"BUTTON_CANCEL,78,310,100,26,", {SkinLook::kPush, L"Cancel"}},
                      {"BUTTON_Exit,494,3,22,22,", {SkinLook::kClose, L""}}},
                     dpi);
  for (const char* b : kBrowseLayouts) parts.push_back({LayoutRect(ParseLayout(b), dpi), SkinLook::kPush, L"..."});
  // Boxes behind the edit fields, in layout pixels (the painter scales them).
  for (const char* p : {kPathLayouts[0], kPathLayouts[1], kPathLayouts[2], "EDIT_PROFILE_NAME,120,78,182,15,"}) {
    const LayoutEntry e = ParseLayout(p);
    design.fields.push_back(RECT{e.left - 3, e.top - 3, e.right + 3, e.bottom + 4});
  }
  CreateDialogWindow(d, owner, design, parts, L"Profile settings");
  if (d.hwnd == nullptr) return false;

  HWND name = AddEdit(d, 100, ParseLayout("EDIT_PROFILE_NAME,120,78,182,15,"), FromStored(texts.name));
  SendMessageW(name, EM_LIMITTEXT, kProfileNameMaxChars, 0);
  std::string* stored[3] = {&texts.game0, &texts.game1, &texts.game2};
  HWND paths[3];
  for (int k = 0; k < 3; ++k) {
    paths[k] = AddEdit(d, 110 + k, ParseLayout(kPathLayouts[k]), FromStored(*stored[k]));
    AddButton(d, 120 + k, ParseLayout(kBrowseLayouts[k]));
  }
  AddButton(d, kIdOk, ParseLayout("BUTTON_OK,14,310,60,26,"));
  AddButton(d, kIdCancel, ParseLayout("BUTTON_CANCEL,78,310,100,26,"));
  AddButton(d, kIdExit, ParseLayout("BUTTON_Exit,494,3,22,22,"));
  d.onCommand = [&](int id) {
    if (id >= 120 && id < 123) {
      const std::wstring chosen = BrowseForProgram(d.hwnd);
      if (!chosen.empty()) SetWindowTextW(paths[id - 120], chosen.c_str());
    } else if (id == kIdOk) {
      texts.name = ToStored(TextOf(name));
      for (int k = 0; k < 3; ++k) *stored[k] = ToStored(TextOf(paths[k]));
      d.End(true);
    }
  };
  SetFocus(name);
  return RunModal(d, owner);
}

bool ConfirmWindowsProfileDialog(HWND owner, int dpi, int slotNumber) {
  SkinDialog d;
  d.dpi = dpi;
  PageDesign design;
  design.width = 380;
  design.height = 170;
  design.dpi = dpi;
  design.roundedWindow = true;
  design.title = L"Windows profile";
  design.notes = {{POINT{20, 50}, L"Use profile slot " + std::to_wstring(slotNumber) + L" whenever no game of a"},
                  {POINT{20, 68}, L"profile is in the foreground?"},
                  {POINT{20, 92}, L"The mark reaches the mouse with the next Apply."}};
  const auto parts = Parts({{"OK,196,128,72,28,", {SkinLook::kPrimary, L"OK"}},
                            {"Cancel,276,128,88,28,", {SkinLook::kPush, L"Cancel"}},
                            {"Exit,352,4,22,22,", {SkinLook::kClose, L""}}},
                           dpi);
  CreateDialogWindow(d, owner, design, parts, L"Windows profile");
  if (d.hwnd == nullptr) return false;
  AddButton(d, kIdOk, ParseLayout("OK,196,128,72,28,"));
  AddButton(d, kIdCancel, ParseLayout("Cancel,276,128,88,28,"));
  AddButton(d, kIdExit, ParseLayout("Exit,352,4,22,22,"));
  d.onCommand = [&](int id) {
    if (id == kIdOk) d.End(true);
  };
  return RunModal(d, owner);
}

// --- Language list ----------------------------------------------------------------------------------------

namespace {

struct LanguageListData {
  int dpi = 96;
  int hover = -1;
  int result = -1;
  bool done = false;
  HFONT font = nullptr;
};

int HitAt(const LanguageListData& d, LPARAM lp) {
  // Hit tests run in layout pixels.
  return LanguageListHit(MulDiv(GET_X_LPARAM(lp), 96, d.dpi), MulDiv(GET_Y_LPARAM(lp), 96, d.dpi));
}

LRESULT CALLBACK LanguageListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = reinterpret_cast<LanguageListData*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      HBRUSH back = CreateSolidBrush(palette::kPanel);
      FillRect(dc, &rc, back);
      DeleteObject(back);
      HBRUSH edge = CreateSolidBrush(palette::kAccent);
      FrameRect(dc, &rc, edge);
      DeleteObject(edge);
      SetBkMode(dc, TRANSPARENT);
      HGDIOBJ old = SelectObject(dc, d->font);
      for (int i = 0; i < kLanguageCount; ++i) {
        RECT r = LayoutRect(ParseLayout(LanguageListLayout(i)), d->dpi);
        if (i == d->hover) {
          HBRUSH h = CreateSolidBrush(palette::kAccentDark);
          FillRect(dc, &r, h);
          DeleteObject(h);
        }
        SetTextColor(dc, i == d->hover ? RGB(255, 255, 255) : palette::kText);
        r.left += MulDiv(6, d->dpi, 96);
        const std::wstring name = Utf8ToWide(LanguageName(i));
        DrawTextW(dc, name.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
      }
      SelectObject(dc, old);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_MOUSEMOVE: {
      // The list keeps the capture, so that a press anywhere (on it or off it) reaches it.
      if (GetCapture() != hwnd) SetCapture(hwnd);
      const int hit = HitAt(*d, lp);
      if (hit != d->hover) {
        d->hover = hit;
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      d->result = msg == WM_LBUTTONDOWN ? HitAt(*d, lp) : -1;
      d->done = true;
      return 0;
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE) d->done = true;
      return 0;
    case WM_CAPTURECHANGED:
    case WM_ACTIVATEAPP:
      if (msg == WM_ACTIVATEAPP && wp != FALSE) break;
      d->done = true;
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int LanguageList(HWND owner, const RECT& buttonOnScreen, int dpi) {
  static bool registered = false;
  RegisterClassOnce(L"SarnLanguageList", LanguageListProc, registered);
  LanguageListData d;
  d.dpi = dpi;
  d.font = SkinFont(11, dpi);
  const ListPoint origin = LanguageListOrigin(0, 0);
  const int w = MulDiv(99, dpi, 96), h = MulDiv(-origin.y - 2, dpi, 96);
  HWND list = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"SarnLanguageList", L"", WS_POPUP, buttonOnScreen.left,
                              buttonOnScreen.top + MulDiv(origin.y, dpi, 96), w, h, owner, nullptr, Instance(), nullptr);
  if (list == nullptr) {
    DeleteObject(d.font);
    return -1;
  }
  SetWindowLongPtrW(list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&d));
  ShowWindow(list, SW_SHOWNA);
  SetCapture(list);
  MSG msg;
  bool quit = false;
  while (!d.done) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      quit = got == 0;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  SetWindowLongPtrW(list, GWLP_USERDATA, 0);
  if (GetCapture() == list) ReleaseCapture();
  DestroyWindow(list);
  DeleteObject(d.font);
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
  return quit ? -1 : d.result;
}

std::wstring BrowseForProgram(HWND owner) {
  wchar_t desktop[MAX_PATH] = {};
  (void)DesktopFolder(desktop);
  // "<desktop>\.exe" as the initial name opens the dialog on the desktop.
  std::wstring initial = std::wstring(desktop) + L"\\.exe";
  std::vector<wchar_t> file(32768, L'\0');
  initial.copy(file.data(), std::min(initial.size(), file.size() - 1));
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = L"exe file(*.exe)\0*.EXE\0";
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrDefExt = L"exe";
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!OpenFileDialog(&ofn)) return {};
  return std::wstring(file.data());
}

std::filesystem::path ChooseProfileFile(HWND owner, bool save) {
  // "<program folder>config\.zmp" as the initial name opens the dialog in config\ (where Save keeps its
  // copies) whatever folder the dialog remembers from last time.
  const std::wstring initial = AnsiPath(ProgramFolder()).wstring() + L"config\\.zmp";
  std::vector<wchar_t> file(32768, L'\0');
  initial.copy(file.data(), std::min(initial.size(), file.size() - 1));
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = L"Zorvan Mouse Profile(*.zmp)\0*.zmp\0";
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrDefExt = L"zmp";
  ofn.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_NOCHANGEDIR |
              (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  const BOOL ok = save ? SaveFileDialog(&ofn) : OpenFileDialog(&ofn);
  if (!ok) return {};
  std::filesystem::path chosen(std::wstring(file.data()));
  if (!save) {
    // A file that is no profile is refused here, with the reason; the slot stays as it was.
    const std::string refusal = LoadRefusalText(chosen);
    if (!refusal.empty()) {
      MessageBoxW(owner, Utf8ToWide(refusal).c_str(), Utf8ToWide(kOptionWindowTitle).c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
      return {};
    }
  }
  return chosen;
}

}  // namespace sarn::win
