#include "option/skin_kit_win.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>

#include "common/text_encoding.h"
#include "option/shell_calls_win.h"

namespace sarn::win {
namespace {

constexpr COLORREF kCaptionColour = RGB(224, 224, 224);
constexpr COLORREF kAccent = RGB(53, 160, 222);
constexpr COLORREF kMenuHighlight = RGB(68, 192, 255);
constexpr COLORREF kEditText = RGB(36, 36, 36);

HINSTANCE g_instance = nullptr;
HWND g_helpTarget = nullptr;
std::wstring g_helpText;
HFONT g_captionFont = nullptr;
HFONT g_trademarkFont = nullptr;

template <typename T>
T* DataOf(HWND hwnd) {
  return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

template <typename T>
void Attach(HWND hwnd, T* data) {
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
}

HFONT TrademarkFont() {
  if (g_trademarkFont == nullptr) {
    g_trademarkFont = CreateFontW(-8, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Arial");
  }
  return g_trademarkFont;
}

HFONT CaptionFont() {
  if (g_captionFont == nullptr) {
    g_captionFont = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"宋体");
  }
  return g_captionFont;
}

std::wstring WindowTextOf(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring s(static_cast<std::size_t>(std::max(0, n)) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, s.data(), n + 1);
  s.resize(static_cast<std::size_t>(std::max(0, got)));
  return s;
}

void NotifyHelp(bool on, const std::wstring& text) {
  g_helpText = on ? text : std::wstring();
  if (g_helpTarget != nullptr) SendMessageW(g_helpTarget, kMsgHelpText, on ? 1 : 0, 0);
}

bool OwnWindowActive(HWND hwnd) { return GetActiveWindow() == GetAncestor(hwnd, GA_ROOT); }

// --- Skinned button ---------------------------------------------------------------------------------------

// The state images are the skin's page images at the button's rectangle, drawn straight from the page
// images, which outlive the controls cut from them.
struct ButtonData {
  const PageSkin* skin = nullptr;
  RECT at{};
  SkinButtonOptions options;
  ButtonState state;
};

void ButtonPaint(HWND hwnd, ButtonData& d) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  d.state.toggleMode = d.options.toggle;
  d.state.disabled = IsWindowEnabled(hwnd) == FALSE;
  static constexpr Bitmap PageSkin::*kImages[4] = {&PageSkin::normal, &PageSkin::hover, &PageSkin::pressed,
                                                   &PageSkin::disabled};
  const Bitmap* image = d.skin != nullptr ? &(d.skin->*kImages[static_cast<int>(ChooseButtonImage(d.state))]) : nullptr;
  const std::wstring caption = WindowTextOf(hwnd);
  if (caption.empty()) {
    if (image != nullptr) DrawBitmapPart(dc, *image, d.at, 0, 0);
  } else {
    // Off-screen, so the caption never flickers over a bare image.
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP buffer = CreateCompatibleBitmap(dc, rc.right, rc.bottom);
    HGDIOBJ oldBitmap = SelectObject(mem, buffer);
    FillRect(mem, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (image != nullptr) DrawBitmapPart(mem, *image, d.at, 0, 0);
    SetBkMode(mem, TRANSPARENT);
    SetTextColor(mem, d.state.disabled ? RGB(110, 114, 120) : kCaptionColour);
    HGDIOBJ oldFont = SelectObject(mem, CaptionFont());
    RECT text = {5, 0, rc.right, rc.bottom};
    DrawTextW(mem, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (d.options.trademark) {
      RECT measure = text;
      DrawTextW(mem, caption.c_str(), static_cast<int>(caption.size()), &measure,
                DT_SINGLELINE | DT_LEFT | DT_NOPREFIX | DT_CALCRECT);
      SelectObject(mem, TrademarkFont());
      RECT tm = {measure.right + 1, 0, rc.right, rc.bottom};
      DrawTextW(mem, L"TM", 2, &tm, DT_SINGLELINE | DT_TOP | DT_LEFT | DT_NOPREFIX);
    }
    SelectObject(mem, oldFont);
    BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldBitmap);
    DeleteObject(buffer);
    DeleteDC(mem);
  }
  EndPaint(hwnd, &ps);
}

void ButtonEndHover(HWND hwnd, ButtonData& d) {
  if (!d.state.hover) return;
  d.state.hover = false;
  SendMessageW(GetParent(hwnd), kMsgButtonHover, 0, d.options.notifyId);
  NotifyHelp(false, {});
  InvalidateRect(hwnd, nullptr, FALSE);
}

void ButtonClick(HWND hwnd, ButtonData& d) {
  if (d.options.toggle) {
    d.state.pressedLook = !d.state.pressedLook;
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
  }
  SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED),
               reinterpret_cast<LPARAM>(hwnd));
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = DataOf<ButtonData>(hwnd);
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_PAINT:
      ButtonPaint(hwnd, *d);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETTEXT: {
      const LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, FALSE);
      return r;
    }
    case WM_ENABLE:
      if (wp == FALSE) {
        d->state.selected = false;
        ButtonEndHover(hwnd, *d);
      }
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_MOUSEMOVE: {
      POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ClientToScreen(hwnd, &pt);
      const bool held = (wp & MK_LBUTTON) != 0;
      if (WindowFromPoint(pt) == hwnd) {
        if (!d->state.hover && !held && OwnWindowActive(hwnd)) {
          d->state.hover = true;
          SendMessageW(GetParent(hwnd), kMsgButtonHover, 1, d->options.notifyId);
          NotifyHelp(true, d->options.help);
          SetCapture(hwnd);
          InvalidateRect(hwnd, nullptr, FALSE);
        }
      } else if (d->state.hover) {
        ButtonEndHover(hwnd, *d);
        if (!held && GetCapture() == hwnd) ReleaseCapture();
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      HWND root = GetAncestor(hwnd, GA_ROOT);
      if (GetActiveWindow() != root) SetActiveWindow(root);
      d->state.selected = true;
      SetCapture(hwnd);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_LBUTTONUP: {
      if (!d->state.selected) return 0;
      d->state.selected = false;
      RECT rc;
      GetClientRect(hwnd, &rc);
      const POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      const bool inside = PtInRect(&rc, pt) != FALSE;
      // The command may open a modal window, which must get the mouse: give the capture up first.
      if (GetCapture() == hwnd) ReleaseCapture();
      InvalidateRect(hwnd, nullptr, FALSE);
      if (inside && IsWindowEnabled(hwnd)) ButtonClick(hwnd, *d);
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lp) != hwnd) {
        d->state.selected = false;
        ButtonEndHover(hwnd, *d);
      }
      return 0;
    case WM_SETCURSOR:
      if (d->options.linkPointer) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
      }
      break;
    case BM_GETCHECK:
      return d->state.pressedLook ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK: {
      const bool pressed = wp == BST_CHECKED;
      if (pressed != d->state.pressedLook) {
        d->state.pressedLook = pressed;
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      return 0;
    }
    case BM_CLICK:
      if (IsWindowEnabled(hwnd)) ButtonClick(hwnd, *d);
      return 0;
    case WM_NCDESTROY:
      if (GetCapture() == hwnd) ReleaseCapture();
      delete d;
      Attach<ButtonData>(hwnd, nullptr);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// --- Slider -----------------------------------------------------------------------------------------------

struct SliderData {
  Bitmap track, thumb;
  SliderModel model;
  HWND thumbWindow = nullptr;
  RECT trackRect{};  // in the parent
  int id = 0;
  bool dragEnabled = true;
  int grab = 0;
  SliderData(const RECT& r, int thumbWidth) : model(r.left, r.right, thumbWidth), trackRect(r) {}
};

void PlaceThumb(SliderData& d) {
  if (d.thumbWindow == nullptr) return;
  const int centreY = (d.trackRect.top + d.trackRect.bottom) / 2;
  SetWindowPos(d.thumbWindow, HWND_TOP, d.model.thumbX(), centreY - d.thumb.height / 2, 0, 0,
               SWP_NOSIZE | SWP_NOACTIVATE);
}

void SliderReport(HWND slider, SliderData& d, int value) {
  PlaceThumb(d);
  SendMessageW(GetParent(slider), kMsgSliderMoved, static_cast<WPARAM>(value), d.id);
}

LRESULT CALLBACK SliderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = DataOf<SliderData>(hwnd);
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      DrawBitmap(dc, d->track, 0, 0);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
      if (IsWindowEnabled(hwnd)) SliderReport(hwnd, *d, d->model.ClickTrack(d->trackRect.left + GET_X_LPARAM(lp)));
      return 0;
    case WM_ENABLE:
      if (d->thumbWindow != nullptr) EnableWindow(d->thumbWindow, static_cast<BOOL>(wp));
      return 0;
    case WM_SHOWWINDOW:
      if (d->thumbWindow != nullptr) ShowWindow(d->thumbWindow, wp ? SW_SHOWNA : SW_HIDE);
      break;
    case WM_NCDESTROY:
      if (d->thumbWindow != nullptr) {
        SetWindowLongPtrW(d->thumbWindow, GWLP_USERDATA, 0);
        DestroyWindow(d->thumbWindow);
      }
      delete d;
      Attach<SliderData>(hwnd, nullptr);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// The thumb keeps a pointer to its slider window.
LRESULT CALLBACK ThumbProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  HWND slider = reinterpret_cast<HWND>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  SliderData* d = slider != nullptr ? DataOf<SliderData>(slider) : nullptr;
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      DrawBitmap(dc, d->thumb, 0, 0);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
      if (!d->dragEnabled || !IsWindowEnabled(hwnd)) return 0;
      d->grab = GET_X_LPARAM(lp);
      SetCapture(hwnd);
      return 0;
    case WM_MOUSEMOVE:
      if (GetCapture() == hwnd) {
        POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        MapWindowPoints(hwnd, GetParent(hwnd), &pt, 1);
        SliderReport(slider, *d, d->model.Drag(pt.x - d->grab));
      }
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) {
        ReleaseCapture();
        SliderReport(slider, *d, d->model.Release());
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// --- Number box and its filtered edit ---------------------------------------------------------------------

struct NumberBoxData {
  HWND edit = nullptr;
  int id = 0;
  int minimum = 0, maximum = 100;
  bool decimal = false;
  int value = 0;
  bool updating = false;
  HFONT font = nullptr;
  HBRUSH white = nullptr;
  std::wstring help;
  WNDPROC editProc = nullptr;
};

void SetEditText(NumberBoxData& d, const std::string& text) {
  d.updating = true;
  SetWindowTextW(d.edit, Utf8ToWide(text).c_str());
  SendMessageW(d.edit, EM_SETSEL, text.size(), text.size());
  d.updating = false;
}

// The number box's help text goes up while the pointer is over the box or its edit field (which covers all
// of the box but its frame, so the box itself hardly ever sees the pointer) and down when it left both.
void NumberBoxHover(NumberBoxData& d, HWND over, bool left) {
  HWND box = GetParent(d.edit);
  if (!left) {
    TRACKMOUSEEVENT t = {sizeof t, TME_LEAVE, over, 0};
    TrackMouseEvent(&t);
    if (!d.help.empty() && g_helpText != d.help) NotifyHelp(true, d.help);
    return;
  }
  POINT pt;
  GetCursorPos(&pt);
  RECT r;
  GetWindowRect(box, &r);
  if (PtInRect(&r, pt)) return;  // from the frame to the field or back: still over the box
  if (!d.help.empty() && g_helpText == d.help) NotifyHelp(false, d.help);
}

LRESULT CALLBACK FilteredEditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  HWND box = GetParent(hwnd);
  auto* d = DataOf<NumberBoxData>(box);
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_KEYDOWN:
      if (!NumericEditAcceptsKey(static_cast<unsigned>(wp))) return 0;
      break;
    case WM_CHAR:
      // Characters follow the keys let through above; Enter is taken on its release.
      if (wp == '\r') return 0;
      if (!(wp == '\b' || wp == ',' || wp == '.' || (wp >= '0' && wp <= '9'))) return 0;
      break;
    case WM_KEYUP:
      if (wp == VK_RETURN) SendMessageW(box, kMsgEditChanged, 13, 0);
      break;
    case WM_KILLFOCUS:
      PostMessageW(box, EditKillFocusMessage(), 0, 0);
      break;
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
      NumberBoxHover(*d, hwnd, msg == WM_MOUSELEAVE);
      break;
    case WM_GETDLGCODE:
      return CallWindowProcW(d->editProc, hwnd, msg, wp, lp) | DLGC_WANTALLKEYS;
    default:
      break;
  }
  return CallWindowProcW(d->editProc, hwnd, msg, wp, lp);
}

LRESULT CALLBACK NumberBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = DataOf<NumberBoxData>(hwnd);
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == EditKillFocusMessage()) {
    PostMessageW(GetParent(hwnd), msg, 0, static_cast<LPARAM>(d->id));
    return 0;
  }
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wp) == EN_CHANGE && !d->updating) {
        const std::string typed = WideToUtf8(WindowTextOf(d->edit));
        const std::string kept = FilterNumericText(typed);
        if (kept != typed) SetEditText(*d, kept);
        InvalidateRect(d->edit, nullptr, TRUE);
        SendMessageW(hwnd, kMsgEditChanged, 0, 0);
      }
      return 0;
    case kMsgEditChanged: {
      const NumberBoxUpdate u = NumberBoxOnEdit(WideToUtf8(WindowTextOf(d->edit)), static_cast<unsigned>(wp),
                                                d->minimum, d->maximum, d->decimal);
      if (u.shownText != WideToUtf8(WindowTextOf(d->edit))) SetEditText(*d, u.shownText);
      d->value = u.value;
      if (u.notify) SendMessageW(GetParent(hwnd), kMsgNumberChanged, static_cast<WPARAM>(u.value), d->id);
      return 0;
    }
    case WM_CTLCOLOREDIT:
      SetTextColor(reinterpret_cast<HDC>(wp), kEditText);
      SetBkColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(d->white);
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
      NumberBoxHover(*d, hwnd, msg == WM_MOUSELEAVE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(dc, &rc, d->white);
      HBRUSH frame = CreateSolidBrush(kAccent);
      FrameRect(dc, &rc, frame);
      DeleteObject(frame);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_NCDESTROY:
      DeleteObject(d->font);
      DeleteObject(d->white);
      delete d;
      Attach<NumberBoxData>(hwnd, nullptr);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// --- Menu owner and frame hook ----------------------------------------------------------------------------

HHOOK g_menuHook = nullptr;
constexpr const wchar_t* kMenuOldProc = L"CoolMenu_oldProc";

void PaintMenuFrame(HWND hwnd, HDC dc) {
  RECT rc;
  GetWindowRect(hwnd, &rc);
  OffsetRect(&rc, -rc.left, -rc.top);
  HBRUSH accent = CreateSolidBrush(kAccent);
  FrameRect(dc, &rc, accent);
  DeleteObject(accent);
  for (int i = 0; i < 2; ++i) {
    InflateRect(&rc, -1, -1);
    FrameRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
}

LRESULT CALLBACK MenuFrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kMenuOldProc));
  if (old == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_NCPAINT: {
      HDC dc = GetWindowDC(hwnd);
      PaintMenuFrame(hwnd, dc);
      ReleaseDC(hwnd, dc);
      return 0;
    }
    case WM_PRINT: {
      const LRESULT r = CallWindowProcW(old, hwnd, msg, wp, lp);
      if ((lp & PRF_NONCLIENT) != 0) PaintMenuFrame(hwnd, reinterpret_cast<HDC>(wp));
      return r;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
      RemovePropW(hwnd, kMenuOldProc);
      return CallWindowProcW(old, hwnd, msg, wp, lp);
    default:
      return CallWindowProcW(old, hwnd, msg, wp, lp);
  }
}

LRESULT CALLBACK MenuHookProc(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto* c = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (c->message == WM_CREATE || c->message == WM_WINDOWPOSCHANGING) {
      wchar_t cls[16] = {};
      GetClassNameW(c->hwnd, cls, 16);
      if (std::wcscmp(cls, L"#32768") == 0 && GetPropW(c->hwnd, kMenuOldProc) == nullptr) {
        const LONG_PTR old = GetWindowLongPtrW(c->hwnd, GWLP_WNDPROC);
        SetPropW(c->hwnd, kMenuOldProc, reinterpret_cast<HANDLE>(old));
        SetWindowLongPtrW(c->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MenuFrameProc));
      }
    }
  }
  return CallNextHookEx(g_menuHook, code, wp, lp);
}

// --- Single-purpose kinds ---------------------------------------------------------------------------------

struct HoverTextData {
  std::wstring text;
  COLORREF colour;
  bool tracking = false;
};

LRESULT CALLBACK HoverTextProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = DataOf<HoverTextData>(hwnd);
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, d->colour);
      HGDIOBJ old = SelectObject(dc, CaptionFont());
      DrawTextW(dc, d->text.c_str(), -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
      SelectObject(dc, old);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (!d->tracking) {
        TRACKMOUSEEVENT t = {sizeof t, TME_LEAVE | TME_HOVER, hwnd, 1};
        d->tracking = TrackMouseEvent(&t) != FALSE;
      }
      if (HoverTextTakesHelpArea(g_helpText, d->text)) NotifyHelp(true, d->text);
      return 0;
    case WM_MOUSELEAVE:
      d->tracking = false;
      return 0;
    case WM_NCDESTROY:
      delete d;
      Attach<HoverTextData>(hwnd, nullptr);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

struct FiveDotsData {
  COLORREF colours[5];
};

LRESULT CALLBACK FiveDotsProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = DataOf<FiveDotsData>(hwnd);
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  RECT rc;
  GetClientRect(hwnd, &rc);
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
      for (int i = 0; i < 5; ++i) {
        const PixelRect r = FiveDotRect(rc.right, rc.bottom, i);
        HBRUSH b = CreateSolidBrush(d->colours[i]);
        HGDIOBJ oldBrush = SelectObject(dc, b);
        Ellipse(dc, r.left, r.top, r.right + 1, r.bottom + 1);
        SelectObject(dc, oldBrush);
        DeleteObject(b);
      }
      SelectObject(dc, oldPen);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      const int i = FiveDotHit(rc.right, rc.bottom, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      if (i >= 0) SendMessageW(GetParent(hwnd), kMsgDotChosen, 0, i);
      return 0;
    }
    case WM_NCDESTROY:
      delete d;
      Attach<FiveDotsData>(hwnd, nullptr);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

struct ScrollingTextData {
  std::wstring text;
  HFONT font;
  ScrollingTextModel model{0, 0};
};

LRESULT CALLBACK ScrollingTextProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = DataOf<ScrollingTextData>(hwnd);
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_TIMER:
      SetTimer(hwnd, 1, static_cast<UINT>(d->model.Tick()), nullptr);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, kCaptionColour);
      HGDIOBJ old = SelectObject(dc, d->font != nullptr ? d->font : CaptionFont());
      RECT text = rc;
      OffsetRect(&text, 0, d->model.textTop());
      text.bottom = text.top + 100000;
      DrawTextW(dc, d->text.c_str(), -1, &text, DT_WORDBREAK | DT_NOPREFIX);
      SelectObject(dc, old);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_NCDESTROY:
      KillTimer(hwnd, 1);
      delete d;
      Attach<ScrollingTextData>(hwnd, nullptr);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

struct LinkTextData {
  std::wstring text, address;
  HFONT font;
  bool hover = false, clicked = false;
};

LRESULT CALLBACK LinkTextProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = DataOf<LinkTextData>(hwnd);
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  RECT rc;
  GetClientRect(hwnd, &rc);
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, d->clicked ? RGB(150, 120, 220) : d->hover ? kMenuHighlight : kAccent);
      HGDIOBJ old = SelectObject(dc, d->font != nullptr ? d->font : CaptionFont());
      DrawTextW(dc, d->text.c_str(), -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
      SelectObject(dc, old);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_MOUSEMOVE: {
      const POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      const bool over = PtInRect(&rc, pt) != FALSE;
      if (over != d->hover) {
        d->hover = over;
        if (over) SetCapture(hwnd);
        else if (GetCapture() == hwnd) ReleaseCapture();
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    }
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
      return TRUE;
    case WM_LBUTTONUP:
      if (!d->address.empty()) {
        if (GetCapture() == hwnd) ReleaseCapture();
        d->hover = false;
        (void)ShellOpen(d->address.c_str());
        d->clicked = true;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case WM_NCDESTROY:
      delete d;
      Attach<LinkTextData>(hwnd, nullptr);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

struct PictureData {
  Bitmap bitmap;
  bool stretch;
};

LRESULT CALLBACK PictureProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = DataOf<PictureData>(hwnd);
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      HDC mem = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(mem, d->bitmap.handle);
      if (d->stretch) {
        SetStretchBltMode(dc, HALFTONE);
        StretchBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, d->bitmap.width, d->bitmap.height, SRCCOPY);
      } else {
        BitBlt(dc, 0, 0, d->bitmap.width, d->bitmap.height, mem, 0, 0, SRCCOPY);
      }
      SelectObject(mem, old);
      DeleteDC(mem);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_NCDESTROY:
      delete d;
      Attach<PictureData>(hwnd, nullptr);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

struct ScrollBarData {
  bool vertical;
  int minimum = 0, maximum = 100, page = 10, position = 0;
  ScrollPart held = ScrollPart::kNone;
  int repeats = 0;
  int grab = 0;
  int pointer = 0;
};

ScrollGeometry GeometryOf(HWND hwnd, const ScrollBarData& d) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  const int length = d.vertical ? rc.bottom : rc.right;
  const int arrow = d.vertical ? rc.right : rc.bottom;
  return ScrollLayout(length, arrow, d.minimum, d.maximum, d.page, d.position);
}

int MaximumPosition(const ScrollBarData& d) { return std::max(d.minimum, d.maximum - std::max(d.page, 1) + 1); }

void SendScroll(HWND hwnd, const ScrollBarData& d, int code, int position = 0) {
  SendMessageW(GetParent(hwnd), d.vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, position),
               reinterpret_cast<LPARAM>(hwnd));
}

int CodeOf(ScrollPart part) {
  switch (part) {
    case ScrollPart::kLineUp: return SB_LINEUP;
    case ScrollPart::kLineDown: return SB_LINEDOWN;
    case ScrollPart::kPageUp: return SB_PAGEUP;
    case ScrollPart::kPageDown: return SB_PAGEDOWN;
    default: return SB_ENDSCROLL;
  }
}

LRESULT CALLBACK ScrollBarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = DataOf<ScrollBarData>(hwnd);
  if (d == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  const int along = d->vertical ? GET_Y_LPARAM(lp) : GET_X_LPARAM(lp);
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      HBRUSH track = CreateSolidBrush(RGB(30, 33, 38));
      HBRUSH face = CreateSolidBrush(RGB(70, 76, 86));
      HBRUSH accent = CreateSolidBrush(kAccent);
      FillRect(dc, &rc, track);
      const ScrollGeometry g = GeometryOf(hwnd, *d);
      auto span = [&](int from, int to) {
        return d->vertical ? RECT{1, from + 1, rc.right - 1, to - 1} : RECT{from + 1, 1, to - 1, rc.bottom - 1};
      };
      RECT a = span(0, g.arrow), b = span(g.length - g.arrow, g.length), t = span(g.thumbStart, g.thumbStart + g.thumbLength);
      FillRect(dc, &a, face);
      FillRect(dc, &b, face);
      FillRect(dc, &t, d->held == ScrollPart::kThumb ? accent : face);
      DeleteObject(track);
      DeleteObject(face);
      DeleteObject(accent);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      const ScrollGeometry g = GeometryOf(hwnd, *d);
      d->held = ScrollHit(g, along);
      d->pointer = along;
      SetCapture(hwnd);
      if (d->held == ScrollPart::kThumb) {
        d->grab = along - g.thumbStart;
      } else if (d->held != ScrollPart::kNone) {
        d->repeats = 1;
        SendScroll(hwnd, *d, CodeOf(d->held));
        SetTimer(hwnd, 1, static_cast<UINT>(ScrollRepeatDelayMs(d->repeats)), nullptr);
      }
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_TIMER: {
      const ScrollGeometry g = GeometryOf(hwnd, *d);
      if (!ScrollKeepsRepeating(d->held, g, d->pointer, d->position, d->minimum, MaximumPosition(*d))) {
        KillTimer(hwnd, 1);
        return 0;
      }
      ++d->repeats;
      SendScroll(hwnd, *d, CodeOf(d->held));
      SetTimer(hwnd, 1, static_cast<UINT>(ScrollRepeatDelayMs(d->repeats)), nullptr);
      return 0;
    }
    case WM_MOUSEMOVE:
      d->pointer = along;
      if (d->held == ScrollPart::kThumb) {
        const ScrollGeometry g = GeometryOf(hwnd, *d);
        const int room = g.length - 2 * g.arrow - g.thumbLength;
        const int span = MaximumPosition(*d) - d->minimum;
        const int at = std::clamp(along - d->grab - g.arrow, 0, std::max(0, room));
        const int position = d->minimum + (room > 0 ? at * span / room : 0);
        SendScroll(hwnd, *d, SB_THUMBTRACK, position);
      }
      return 0;
    case WM_LBUTTONUP:
      KillTimer(hwnd, 1);
      if (GetCapture() == hwnd) ReleaseCapture();
      if (d->held == ScrollPart::kThumb) SendScroll(hwnd, *d, SB_THUMBPOSITION, d->position);
      if (d->held != ScrollPart::kNone) SendScroll(hwnd, *d, SB_ENDSCROLL);
      d->held = ScrollPart::kNone;
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_NCDESTROY:
      KillTimer(hwnd, 1);
      delete d;
      Attach<ScrollBarData>(hwnd, nullptr);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterOne(const wchar_t* name, WNDPROC proc, HCURSOR cursor = nullptr) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = g_instance;
  wc.hCursor = cursor != nullptr ? cursor : LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

HWND CreateChild(const wchar_t* cls, HWND parent, int id, const RECT& r, DWORD extraStyle = 0) {
  return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | extraStyle, r.left, r.top, r.right - r.left,
                         r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_instance,
                         nullptr);
}

HRGN RegionFromRuns(const std::vector<PixelRect>& runs) {
  HRGN result = CreateRectRgn(0, 0, 0, 0);
  // Regions are built in batches: one huge RGNDATA is slow to create and may be refused.
  constexpr std::size_t kBatch = 2000;
  for (std::size_t start = 0; start < runs.size(); start += kBatch) {
    const std::size_t n = std::min(kBatch, runs.size() - start);
    std::vector<unsigned char> buffer(sizeof(RGNDATAHEADER) + n * sizeof(RECT));
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(n);
    data->rdh.nRgnSize = static_cast<DWORD>(n * sizeof(RECT));
    RECT bounds = {LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    auto* rects = reinterpret_cast<RECT*>(data->Buffer);
    for (std::size_t i = 0; i < n; ++i) {
      const PixelRect& p = runs[start + i];
      rects[i] = {p.left, p.top, p.right, p.bottom};
      bounds.left = std::min<LONG>(bounds.left, p.left);
      bounds.top = std::min<LONG>(bounds.top, p.top);
      bounds.right = std::max<LONG>(bounds.right, p.right);
      bounds.bottom = std::max<LONG>(bounds.bottom, p.bottom);
    }
    data->rdh.rcBound = bounds;
    HRGN part = ExtCreateRegion(nullptr, static_cast<DWORD>(buffer.size()), data);
    if (part != nullptr) {
      CombineRgn(result, result, part, RGN_OR);
      DeleteObject(part);
    }
  }
  return result;
}

std::vector<std::uint32_t> PixelsOf(const Bitmap& image) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  if (pixels.empty()) return pixels;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = image.width;
  bi.bmiHeader.biHeight = -image.height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, image.handle, 0, static_cast<UINT>(image.height), pixels.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  return pixels;
}

}  // namespace

// --- Public -----------------------------------------------------------------------------------------------

Bitmap& Bitmap::operator=(Bitmap&& o) noexcept {
  if (this != &o) {
    if (handle != nullptr) DeleteObject(handle);
    handle = o.handle;
    width = o.width;
    height = o.height;
    o.handle = nullptr;
  }
  return *this;
}

Bitmap::~Bitmap() {
  if (handle != nullptr) DeleteObject(handle);
}

void RegisterSkinClasses(HINSTANCE instance) {
  if (g_instance != nullptr) return;
  g_instance = instance;
  RegisterOne(L"SarnSkinButton", ButtonProc);
  RegisterOne(L"SarnSkinSlider", SliderProc);
  RegisterOne(L"SarnSkinThumb", ThumbProc);
  RegisterOne(L"SarnNumberBox", NumberBoxProc);
  RegisterOne(L"SarnHoverText", HoverTextProc);
  RegisterOne(L"SarnFiveDots", FiveDotsProc);
  RegisterOne(L"SarnScrollingText", ScrollingTextProc);
  RegisterOne(L"SarnLinkText", LinkTextProc);
  RegisterOne(L"SarnPicture", PictureProc);
  RegisterOne(L"SarnScrollBar", ScrollBarProc);
}

void SetHelpTarget(HWND mainWindow) { g_helpTarget = mainWindow; }
const std::wstring& SharedHelpText() { return g_helpText; }
void SetSharedHelpText(std::wstring text) { g_helpText = std::move(text); }
void ShowHelpText(bool on, const std::wstring& text) { NotifyHelp(on, text); }
HFONT SkinCaptionFont() { return CaptionFont(); }
HFONT SkinTrademarkFont() { return TrademarkFont(); }

Bitmap CreatePixelBitmap(int width, int height, std::uint32_t** bits) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = std::max(1, width);
  bi.bmiHeader.biHeight = -std::max(1, height);
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP h = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bits != nullptr) *bits = static_cast<std::uint32_t*>(pixels);
  return Bitmap(h, std::max(1, width), std::max(1, height));
}

Bitmap CutImage(const Bitmap& page, const RECT& rect) {
  const int w = std::max(1, static_cast<int>(rect.right - rect.left));
  const int h = std::max(1, static_cast<int>(rect.bottom - rect.top));
  Bitmap out = CreatePixelBitmap(w, h);
  if (page.handle == nullptr || out.handle == nullptr) return out;
  HDC src = CreateCompatibleDC(nullptr);
  HDC dst = CreateCompatibleDC(nullptr);
  HGDIOBJ oldSrc = SelectObject(src, page.handle);
  HGDIOBJ oldDst = SelectObject(dst, out.handle);
  BitBlt(dst, 0, 0, w, h, src, rect.left, rect.top, SRCCOPY);
  SelectObject(src, oldSrc);
  SelectObject(dst, oldDst);
  DeleteDC(src);
  DeleteDC(dst);
  return out;
}

void DrawBitmapPart(HDC dc, const Bitmap& bitmap, const RECT& part, int x, int y) {
  if (bitmap.handle == nullptr) return;
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bitmap.handle);
  BitBlt(dc, x, y, part.right - part.left, part.bottom - part.top, mem, part.left, part.top, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

void DrawBitmap(HDC dc, const Bitmap& bitmap, int x, int y) {
  if (bitmap.handle == nullptr) return;
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bitmap.handle);
  BitBlt(dc, x, y, bitmap.width, bitmap.height, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

HRGN ShapeFromImage(const Bitmap& image) {
  const auto pixels = PixelsOf(image);
  return RegionFromRuns(ShapeRunsFromImage(pixels.data(), image.width, image.height, image.width));
}

HRGN ShapeFromKeyColour(const Bitmap& image) {
  const auto pixels = PixelsOf(image);
  return RegionFromRuns(ShapeRunsFromKeyColour(pixels.data(), image.width, image.height, image.width));
}

RECT LayoutRect(const LayoutEntry& entry, int dpi) {
  const LayoutEntry s = ScaleLayout(entry, dpi);
  return RECT{s.left, s.top, s.right, s.bottom};
}

HWND CreateSkinButton(HWND parent, int id, const RECT& rect, const PageSkin& skin, const SkinButtonOptions& options) {
  HWND hwnd = CreateChild(L"SarnSkinButton", parent, id, rect);
  if (hwnd == nullptr) return nullptr;
  auto* d = new ButtonData;
  d->options = options;
  d->state.toggleMode = options.toggle;
  Attach(hwnd, d);
  SetSkinButtonImages(hwnd, skin, rect);
  if (!options.caption.empty()) SetWindowTextW(hwnd, options.caption.c_str());
  return hwnd;
}

void SetSkinButtonImages(HWND button, const PageSkin& skin, const RECT& rect) {
  auto* d = DataOf<ButtonData>(button);
  if (d == nullptr) return;
  d->skin = &skin;
  d->at = rect;
  InvalidateRect(button, nullptr, FALSE);
}

void SetSkinButtonHelp(HWND button, std::wstring help) {
  if (auto* d = DataOf<ButtonData>(button)) d->options.help = std::move(help);
}

void SetSkinButtonPressed(HWND button, bool pressed) {
  SendMessageW(button, BM_SETCHECK, pressed ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool SkinButtonPressed(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetSkinButtonCaptionFont(HFONT font) { g_captionFont = font; }

HWND CreateSkinSlider(HWND parent, int id, const RECT& track, const Bitmap& trackImage, const Bitmap& thumbImage,
                      bool makeShape) {
  HWND hwnd = CreateChild(L"SarnSkinSlider", parent, id, track);
  if (hwnd == nullptr) return nullptr;
  auto* d = new SliderData(track, thumbImage.width);
  d->id = id;
  d->track = CutImage(trackImage, RECT{0, 0, trackImage.width, trackImage.height});
  d->thumb = CutImage(thumbImage, RECT{0, 0, thumbImage.width, thumbImage.height});
  Attach(hwnd, d);
  d->thumbWindow = CreateWindowExW(0, L"SarnSkinThumb", L"", WS_CHILD | WS_VISIBLE, track.left,
                                   (track.top + track.bottom - thumbImage.height) / 2, thumbImage.width,
                                   thumbImage.height, parent, nullptr, g_instance, nullptr);
  if (d->thumbWindow != nullptr) {
    SetWindowLongPtrW(d->thumbWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hwnd));
    if (makeShape) SetWindowRgn(d->thumbWindow, ShapeFromKeyColour(d->thumb), FALSE);
    PlaceThumb(*d);
  }
  return hwnd;
}

void SetSkinSliderRange(HWND slider, int minimum, int maximum) {
  if (auto* d = DataOf<SliderData>(slider)) d->model.SetRange(minimum, maximum);
}
void SetSkinSliderSnap(HWND slider, bool snap) {
  if (auto* d = DataOf<SliderData>(slider)) d->model.SetSnap(snap);
}
void SetSkinSliderPosition(HWND slider, int value) {
  if (auto* d = DataOf<SliderData>(slider)) {
    d->model.SetPosition(value);
    PlaceThumb(*d);
  }
}
void EnableSkinSliderDrag(HWND slider, bool enable) {
  if (auto* d = DataOf<SliderData>(slider)) d->dragEnabled = enable;
}

UINT EditKillFocusMessage() {
  static const UINT message = RegisterWindowMessageW(L"BitmapEdit_KillFocus");
  return message;
}

HWND CreateNumberBox(HWND parent, int id, const RECT& rect, bool decimalMode) {
  HWND hwnd = CreateChild(L"SarnNumberBox", parent, id, rect, WS_CLIPCHILDREN);
  if (hwnd == nullptr) return nullptr;
  auto* d = new NumberBoxData;
  d->id = id;
  d->decimal = decimalMode;
  d->white = CreateSolidBrush(RGB(255, 255, 255));
  // The rectangle comes scaled to the screen; the field's text follows the same scale.
  HDC screen = GetDC(nullptr);
  const int dpi = std::max(96, GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);
  d->font = CreateFontW(-MulDiv(14, dpi, 96), MulDiv(6, dpi, 96), 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                        L"Arial");
  Attach(hwnd, d);
  const int w = rect.right - rect.left, h = rect.bottom - rect.top, line = MulDiv(16, dpi, 96);
  d->edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 2, std::max(1, (h - line) / 2),
                            std::max(1, w - 4), std::min(line, h - 2), hwnd, nullptr, g_instance, nullptr);
  SendMessageW(d->edit, WM_SETFONT, reinterpret_cast<WPARAM>(d->font), FALSE);
  d->editProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(d->edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FilteredEditProc)));
  return hwnd;
}

void SetNumberBoxRange(HWND box, int minimum, int maximum) {
  if (auto* d = DataOf<NumberBoxData>(box)) {
    d->minimum = minimum;
    d->maximum = maximum;
  }
}

void SetNumberBoxValue(HWND box, int value) {
  if (auto* d = DataOf<NumberBoxData>(box)) {
    d->value = value;
    SetEditText(*d, std::to_string(value));
  }
}

void SetNumberBoxHelp(HWND box, std::wstring help) {
  if (auto* d = DataOf<NumberBoxData>(box)) d->help = std::move(help);
}

LRESULT CALLBACK MenuOwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_MEASUREITEM: {
      auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (m->CtlType != ODT_MENU) break;
      const auto* item = reinterpret_cast<const SkinMenu::Item*>(m->itemData);
      if (item == nullptr) break;
      // A submenu's item has no command of its own (0 here) but is a full row, not a separator. The text is
      // measured in the font the item is drawn with, at the screen's dpi (the fonts are made at that dpi).
      HDC screen = GetDC(nullptr);
      const int dpi = std::max(96, GetDeviceCaps(screen, LOGPIXELSY));
      const auto drawnWidth = [&](std::string_view text) {
        const std::wstring wide = Utf8ToWide(text);
        HGDIOBJ old = SelectObject(screen, item->owner->font_ != nullptr ? item->owner->font_ : CaptionFont());
        SIZE extent = {};
        GetTextExtentPoint32W(screen, wide.c_str(), static_cast<int>(wide.size()), &extent);
        int width = extent.cx;
        if (item->trademark) {
          SelectObject(screen, TrademarkFont());
          if (GetTextExtentPoint32W(screen, L"TM", 2, &extent)) width += 1 + extent.cx;
        }
        SelectObject(screen, old);
        return static_cast<int>(width);
      };
      const MenuItemSize size = MeasureMenuItem(item->submenu ? 1u : item->command, WideToUtf8(item->text),
                                                item->owner->width_, dpi, drawnWidth);
      ReleaseDC(nullptr, screen);
      m->itemWidth = static_cast<UINT>(size.width);
      m->itemHeight = static_cast<UINT>(size.height);
      return TRUE;
    }
    case WM_DRAWITEM: {
      auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (di->CtlType != ODT_MENU) break;
      const auto* item = reinterpret_cast<const SkinMenu::Item*>(di->itemData);
      if (item == nullptr) break;
      HDC dc = di->hDC;
      RECT rc = di->rcItem;
      if (item->command == 0 && !item->submenu) {
        FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        HPEN pen = CreatePen(PS_SOLID, 1, kAccent);
        HGDIOBJ old = SelectObject(dc, pen);
        const int y = (rc.top + rc.bottom) / 2;
        MoveToEx(dc, rc.left, y, nullptr);
        LineTo(dc, rc.right, y);
        SelectObject(dc, old);
        DeleteObject(pen);
        return TRUE;
      }
      const bool selected = (di->itemState & ODS_SELECTED) != 0;
      HBRUSH fill = CreateSolidBrush(selected ? kAccent : RGB(0, 0, 0));
      FillRect(dc, &rc, fill);
      DeleteObject(fill);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, item->highlight == 1 && !selected ? kMenuHighlight : RGB(255, 255, 255));
      HGDIOBJ oldFont = SelectObject(dc, item->owner->font_ != nullptr ? item->owner->font_ : CaptionFont());
      RECT text = rc;
      text.left += 2;
      DrawTextW(dc, item->text.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
      if (item->trademark) {
        RECT measure = text;
        DrawTextW(dc, item->text.c_str(), -1, &measure, DT_SINGLELINE | DT_LEFT | DT_NOPREFIX | DT_CALCRECT);
        SelectObject(dc, TrademarkFont());
        RECT tm = {measure.right + 1, rc.top + 1, rc.right, rc.bottom};
        DrawTextW(dc, L"TM", 2, &tm, DT_SINGLELINE | DT_TOP | DT_LEFT | DT_NOPREFIX);
      }
      SelectObject(dc, oldFont);
      if (item->submenu) {
        // Our own arrow; the clip keeps the system from drawing its arrow over it.
        const int x = rc.right - 19, cy = (rc.top + rc.bottom) / 2;
        HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        for (int i = 0; i < 4; ++i) {
          RECT line = {x + i, cy - 3 + i, x + i + 1, cy + 4 - i};
          FillRect(dc, &line, white);
        }
        ExcludeClipRect(dc, rc.left, rc.top, rc.right, rc.bottom);
      }
      return TRUE;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

SkinMenu::SkinMenu(HFONT font) : menu_(CreatePopupMenu()), font_(font) {}

SkinMenu::~SkinMenu() {
  // Submenus belong to their own SkinMenu objects: detach them so DestroyMenu does not free them twice.
  for (int i = GetMenuItemCount(menu_) - 1; i >= 0; --i) {
    if (GetSubMenu(menu_, i) != nullptr) RemoveMenu(menu_, static_cast<UINT>(i), MF_BYPOSITION);
  }
  DestroyMenu(menu_);
}

void SkinMenu::AppendItem(unsigned command, std::wstring text, SkinMenu* submenu, int highlight, bool trademark) {
  items_.push_back(std::make_unique<Item>(Item{command, std::move(text), submenu != nullptr, highlight, trademark, this}));
  Item* item = items_.back().get();
  const UINT flags = MF_OWNERDRAW | (submenu != nullptr ? MF_POPUP : 0);
  const UINT_PTR id = submenu != nullptr ? reinterpret_cast<UINT_PTR>(submenu->menu_) : command;
  AppendMenuW(menu_, flags, id, reinterpret_cast<LPCWSTR>(item));
}

unsigned SkinMenu::Show(HWND owner, POINT screenPoint, bool rightButtonToo) {
  static bool registered = false;
  if (!registered) {
    RegisterOne(L"SarnMenuOwner", MenuOwnerProc);
    registered = true;
  }
  HWND host = CreateWindowExW(WS_EX_TOOLWINDOW, L"SarnMenuOwner", L"", WS_POPUP, 0, 0, 0, 0, owner, nullptr,
                              g_instance, nullptr);
  if (host == nullptr) return 0;
  if (owner != nullptr) SetForegroundWindow(owner);
  const UINT flags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN | (rightButtonToo ? TPM_RIGHTBUTTON : 0);
  const BOOL chosen = TrackPopupMenuEx(menu_, flags, screenPoint.x, screenPoint.y, host, nullptr);
  DestroyWindow(host);
  return static_cast<unsigned>(chosen);
}

void InstallMenuFrameHook() {
  if (g_menuHook == nullptr) g_menuHook = SetWindowsHookExW(WH_CALLWNDPROC, MenuHookProc, nullptr, GetCurrentThreadId());
}

void RemoveMenuFrameHook() {
  if (g_menuHook != nullptr) UnhookWindowsHookEx(g_menuHook);
  g_menuHook = nullptr;
}

HWND CreateHoverText(HWND parent, int id, const RECT& rect, std::wstring text, COLORREF colour) {
  HWND hwnd = CreateChild(L"SarnHoverText", parent, id, rect);
  if (hwnd != nullptr) Attach(hwnd, new HoverTextData{std::move(text), colour});
  return hwnd;
}

HWND CreateFiveDots(HWND parent, int id, const RECT& rect, const COLORREF (&colours)[5]) {
  HWND hwnd = CreateChild(L"SarnFiveDots", parent, id, rect);
  if (hwnd != nullptr) {
    auto* d = new FiveDotsData;
    std::copy(std::begin(colours), std::end(colours), d->colours);
    Attach(hwnd, d);
  }
  return hwnd;
}

HWND CreateScrollingText(HWND parent, int id, const RECT& rect, std::wstring text, HFONT font) {
  HWND hwnd = CreateChild(L"SarnScrollingText", parent, id, rect);
  if (hwnd == nullptr) return nullptr;
  auto* d = new ScrollingTextData{std::move(text), font};
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, font != nullptr ? font : CaptionFont());
  RECT measure = {0, 0, rect.right - rect.left, 0};
  DrawTextW(dc, d->text.c_str(), -1, &measure, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  d->model = ScrollingTextModel(rect.bottom - rect.top, measure.bottom);
  Attach(hwnd, d);
  SetTimer(hwnd, 1, ScrollingTextModel::kStepMs, nullptr);
  return hwnd;
}

HWND CreateLinkText(HWND parent, int id, const RECT& rect, std::wstring text, std::wstring address, HFONT font) {
  HWND hwnd = CreateChild(L"SarnLinkText", parent, id, rect);
  if (hwnd != nullptr) Attach(hwnd, new LinkTextData{std::move(text), std::move(address), font});
  return hwnd;
}

HWND CreatePicture(HWND parent, int id, const RECT& rect, Bitmap bitmap, bool stretch) {
  HWND hwnd = CreateChild(L"SarnPicture", parent, id, rect);
  if (hwnd != nullptr) Attach(hwnd, new PictureData{std::move(bitmap), stretch});
  return hwnd;
}

HWND CreateSkinScrollBar(HWND parent, int id, const RECT& rect, bool vertical) {
  HWND hwnd = CreateChild(L"SarnScrollBar", parent, id, rect);
  if (hwnd != nullptr) Attach(hwnd, new ScrollBarData{vertical});
  return hwnd;
}

void SetSkinScrollBar(HWND bar, int minimum, int maximum, int page, int position) {
  if (auto* d = DataOf<ScrollBarData>(bar)) {
    d->minimum = minimum;
    d->maximum = maximum;
    d->page = page;
    d->position = position;
    InvalidateRect(bar, nullptr, FALSE);
  }
}

}  // namespace sarn::win
