#include "option/dialogs_win.h"

#include <windowsx.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "common/settings_file.h"
#include "common/text_encoding.h"
#include "option/shell_calls_win.h"
#include "option/skin_dialog_win.h"
#include "option/skin_painter_win.h"
#include "option/ui_text_win.h"
#include "option/ui_texts.h"

namespace sarn::win {

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
  design.title = Label(ui::kProfileSettings);
  design.panels = {RECT{14, 60, 506, 296}};
  design.notes = {{POINT{35, 79}, Label(ui::kProfileName)},
                  {POINT{35, 115}, Label(ui::kGamesTitle)},
                  {POINT{35, 205}, Label(ui::kGamesNote1)},
                  {POINT{35, 221}, Label(ui::kGamesNote2)}};
  auto parts = Parts({{"BUTTON_OK,14,310,60,26,", {SkinLook::kPrimary, Label(ui::kOk).c_str()}},
                      {"BUTTON_CANCEL,78,310,100,26,", {SkinLook::kPush, Label(ui::kCancel).c_str()}},
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

bool ConfirmDialog(HWND owner, int dpi, const std::wstring& title, const std::vector<std::wstring>& lines) {
  SkinDialog d;
  d.dpi = dpi;
  PageDesign design;
  design.width = 380;
  design.height = 170;
  design.dpi = dpi;
  design.roundedWindow = true;
  design.title = title;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    // A blank line before the last one sets the consequence apart from the question.
    const int y = 50 + 18 * static_cast<int>(i) + (i + 1 == lines.size() && i > 0 ? 6 : 0);
    design.notes.push_back({POINT{20, y}, lines[i]});
  }
  const auto parts = Parts({{"OK,196,128,72,28,", {SkinLook::kPrimary, Label(ui::kOk).c_str()}},
                            {"Cancel,276,128,88,28,", {SkinLook::kPush, Label(ui::kCancel).c_str()}},
                            {"Exit,352,4,22,22,", {SkinLook::kClose, L""}}},
                           dpi);
  CreateDialogWindow(d, owner, design, parts, title.c_str());
  if (d.hwnd == nullptr) return false;
  AddButton(d, kIdOk, ParseLayout("OK,196,128,72,28,"));
  AddButton(d, kIdCancel, ParseLayout("Cancel,276,128,88,28,"));
  AddButton(d, kIdExit, ParseLayout("Exit,352,4,22,22,"));
  d.onCommand = [&](int id) {
    if (id == kIdOk) d.End(true);
  };
  return RunModal(d, owner);
}

bool ConfirmWindowsProfileDialog(HWND owner, int dpi, int slotNumber) {
  return ConfirmDialog(owner, dpi, Label(ui::kWindowsProfile),
                       {LabelWith(ui::kWindowsProfile1, std::to_wstring(slotNumber)), Label(ui::kWindowsProfile2),
                        Label(ui::kWindowsProfile3)});
}

bool ConfirmResetDialog(HWND owner, int dpi) {
  return ConfirmDialog(owner, dpi, Label(ui::kFactorySettings),
                       {Label(ui::kFactory1), Label(ui::kFactory2), Label(ui::kFactory3)});
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
    case WM_MOUSEACTIVATE:
      // The list never takes activation from the main window: otherwise the main window would be left
      // inactive (no hover, no help line) when the list goes.
      return MA_NOACTIVATE;
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
    // The list is never focused, so its keys reach the focused main window: Esc is taken here.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
      d.done = true;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  SetWindowLongPtrW(list, GWLP_USERDATA, 0);
  if (GetCapture() == list) ReleaseCapture();
  // The owner is enabled and made active before the list goes, so that the system never hands activation to
  // another program's window in between; then the pointer's place is given to the owner again, so the
  // control under it hovers (and puts its help text up) without waiting for the next move.
  if (owner != nullptr) {
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
  }
  DestroyWindow(list);
  if (owner != nullptr) {
    POINT pt;
    GetCursorPos(&pt);
    HWND under = WindowFromPoint(pt);
    if (under != nullptr && (under == owner || IsChild(owner, under))) {
      ScreenToClient(under, &pt);
      PostMessageW(under, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    }
  }
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
  const std::wstring initial = (ProgramFolder() / L"config" / L".zmp").wstring();
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
