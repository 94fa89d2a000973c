#include "option/skin_surface_win.h"

#include <windowsx.h>

#include <algorithm>

#include "common/json_writer.h"
#include "common/text_encoding.h"

namespace sarn::win {
namespace {

constexpr COLORREF kCaptionColour = RGB(224, 224, 224);
constexpr COLORREF kCaptionOff = RGB(110, 114, 120);

PixelRect ToPixel(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
RECT ToRect(const PixelRect& r) { return {r.left, r.top, r.right, r.bottom}; }

bool Meets(const PixelRect& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

const Bitmap& StateImage(const PageSkin& skin, ButtonImage image) {
  switch (image) {
    case ButtonImage::kHover: return skin.hover;
    case ButtonImage::kPressed: return skin.pressed;
    case ButtonImage::kDisabled: return skin.disabled;
    case ButtonImage::kNormal: break;
  }
  return skin.normal;
}

}  // namespace

void PaintBuffered(HWND hwnd, const std::function<void(HDC dc, const RECT& dirty)>& draw) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  const RECT& d = ps.rcPaint;
  if (d.right > d.left && d.bottom > d.top) {
    // Only the dirty part is buffered; the memory context is moved so that drawing uses window coordinates.
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP buffer = CreateCompatibleBitmap(dc, d.right - d.left, d.bottom - d.top);
    HGDIOBJ oldBitmap = SelectObject(mem, buffer);
    SetWindowOrgEx(mem, d.left, d.top, nullptr);
    draw(mem, d);
    SetWindowOrgEx(mem, 0, 0, nullptr);
    BitBlt(dc, d.left, d.top, d.right - d.left, d.bottom - d.top, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldBitmap);
    DeleteObject(buffer);
    DeleteDC(mem);
  }
  EndPaint(hwnd, &ps);
}

SkinSurface::Look* SkinSurface::LookOf(int id) {
  for (Look& l : looks_) {
    if (l.id == id) return &l;
  }
  return nullptr;
}

const SkinSurface::Look* SkinSurface::LookOf(int id) const { return const_cast<SkinSurface*>(this)->LookOf(id); }

void SkinSurface::AddButton(int id, const RECT& rect, const PageSkin* skin, const SkinButtonOptions& options) {
  SurfaceControl c;
  c.id = id;
  c.rect = ToPixel(rect);
  c.toggle = options.toggle;
  c.linkPointer = options.linkPointer;
  c.notifyId = options.notifyId != 0 ? options.notifyId : id;
  c.help = options.help;
  c.caption = options.caption;
  model_.Add(std::move(c));
  looks_.push_back({id, skin, nullptr, nullptr, false, options.trademark, CLR_INVALID});
}

void SkinSurface::AddSlider(int id, const RECT& track, const PageSkin* skin, const Bitmap* thumb,
                            const Bitmap* thumbOff, int minimum, int maximum, bool snap, std::wstring help) {
  SurfaceControl c;
  c.id = id;
  c.kind = SurfaceKind::kSlider;
  c.rect = ToPixel(track);
  c.notifyId = id;
  c.help = std::move(help);
  c.thumbWidth = thumb != nullptr ? thumb->width : 1;
  c.thumbHeight = thumb != nullptr ? thumb->height : track.bottom - track.top;
  SurfaceControl& added = model_.Add(std::move(c));
  added.slider->SetRange(minimum, maximum);
  added.slider->SetSnap(snap);
  added.slider->SetPosition(minimum);
  looks_.push_back({id, skin, thumb, thumbOff, false, false, CLR_INVALID});
}

void SkinSurface::AddPicture(int id, const RECT& rect, const Bitmap* bitmap, bool stretch, std::wstring help) {
  SurfaceControl c;
  c.id = id;
  c.kind = SurfaceKind::kPicture;
  c.rect = ToPixel(rect);
  c.notifyId = id;
  c.help = std::move(help);
  model_.Add(std::move(c));
  looks_.push_back({id, nullptr, bitmap, nullptr, stretch, false, CLR_INVALID});
}

void SkinSurface::SetPressed(int id, bool pressed) { Carry(model_.SetPressed(id, pressed)); }
void SkinSurface::SetEnabled(int id, bool enabled) { Carry(model_.SetEnabled(id, enabled)); }
void SkinSurface::SetVisible(int id, bool visible) { Carry(model_.SetVisible(id, visible)); }
void SkinSurface::SetCaption(int id, std::wstring caption) { Carry(model_.SetCaption(id, std::move(caption))); }
void SkinSurface::SetSliderPosition(int id, int value) { Carry(model_.SetSliderPosition(id, value)); }

void SkinSurface::SetHelp(int id, std::wstring help) {
  SurfaceControl* c = model_.Find(id);
  if (c == nullptr) return;
  c->help = std::move(help);
  // The help area follows a change of language at once when the pointer is over the control.
  if (model_.hovered() == id) ShowHelpText(true, c->help);
}

void SkinSurface::SetCaptionColour(int id, COLORREF colour) {
  Look* l = LookOf(id);
  const SurfaceControl* c = model_.Find(id);
  if (l == nullptr || c == nullptr || l->captionColour == colour) return;
  l->captionColour = colour;
  const RECT r = ToRect(c->rect);
  InvalidateRect(hwnd_, &r, FALSE);
}

void SkinSurface::SetSkin(int id, const PageSkin* skin) {
  Look* l = LookOf(id);
  const SurfaceControl* c = model_.Find(id);
  if (l == nullptr || c == nullptr || l->skin == skin) return;
  l->skin = skin;
  const RECT r = ToRect(c->rect);
  InvalidateRect(hwnd_, &r, FALSE);
}

void SkinSurface::SetPicture(int id, const Bitmap* bitmap) {
  Look* l = LookOf(id);
  const SurfaceControl* c = model_.Find(id);
  if (l == nullptr || c == nullptr || l->image == bitmap) return;
  l->image = bitmap;
  const RECT r = ToRect(c->rect);
  InvalidateRect(hwnd_, &r, FALSE);
}

RECT SkinSurface::RectOf(int id) const {
  const SurfaceControl* c = model_.Find(id);
  return c != nullptr ? ToRect(c->rect) : RECT{};
}

void SkinSurface::PaintControls(HDC dc, const RECT& dirty) const {
  for (const SurfaceControl& c : model_.controls()) {
    const Look* look = LookOf(c.id);
    if (!c.visible || look == nullptr) continue;
    const PixelRect thumb = model_.ThumbRect(c);
    if (!Meets(c.rect, dirty) && !(c.kind == SurfaceKind::kSlider && Meets(thumb, dirty))) continue;
    const RECT r = ToRect(c.rect);
    switch (c.kind) {
      case SurfaceKind::kButton: {
        if (look->skin == nullptr) break;
        ButtonState state;
        state.toggleMode = c.toggle;
        state.pressedLook = c.pressedLook;
        state.hover = c.hover;
        state.selected = c.selected;
        state.disabled = !c.enabled;
        DrawBitmapPart(dc, StateImage(*look->skin, ChooseButtonImage(state)), r, r.left, r.top);
        if (c.caption.empty()) break;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, !c.enabled ? kCaptionOff : look->captionColour != CLR_INVALID ? look->captionColour : kCaptionColour);
        HGDIOBJ oldFont = SelectObject(dc, SkinCaptionFont());
        RECT text = {r.left + 5, r.top, r.right, r.bottom};
        DrawTextW(dc, c.caption.c_str(), static_cast<int>(c.caption.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS);
        if (look->trademark) {
          RECT measure = text;
          DrawTextW(dc, c.caption.c_str(), static_cast<int>(c.caption.size()), &measure,
                    DT_SINGLELINE | DT_LEFT | DT_NOPREFIX | DT_CALCRECT);
          SelectObject(dc, SkinTrademarkFont());
          RECT tm = {measure.right + 1, r.top, r.right, r.bottom};
          DrawTextW(dc, L"TM", 2, &tm, DT_SINGLELINE | DT_TOP | DT_LEFT | DT_NOPREFIX);
        }
        SelectObject(dc, oldFont);
        break;
      }
      case SurfaceKind::kSlider: {
        if (look->skin != nullptr) {
          DrawBitmapPart(dc, c.enabled ? look->skin->normal : look->skin->disabled, r, r.left, r.top);
        }
        const Bitmap* image = !c.enabled && look->imageOff != nullptr ? look->imageOff : look->image;
        if (image != nullptr && image->handle != nullptr) {
          // The thumb's own background (its top-left colour) is left out, as its window shape would be.
          HDC src = CreateCompatibleDC(dc);
          HGDIOBJ old = SelectObject(src, image->handle);
          const COLORREF key = GetPixel(src, 0, 0);
          GdiTransparentBlt(dc, thumb.left, thumb.top, image->width, image->height, src, 0, 0, image->width,
                            image->height, key);
          SelectObject(src, old);
          DeleteDC(src);
        }
        break;
      }
      case SurfaceKind::kPicture: {
        if (look->image == nullptr || look->image->handle == nullptr) break;
        if (!look->stretch) {
          DrawBitmap(dc, *look->image, r.left, r.top);
          break;
        }
        HDC src = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(src, look->image->handle);
        SetStretchBltMode(dc, HALFTONE);
        StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, src, 0, 0, look->image->width,
                   look->image->height, SRCCOPY);
        SelectObject(src, old);
        DeleteDC(src);
        break;
      }
    }
  }
}

void SkinSurface::Carry(const std::vector<SurfaceEvent>& events) {
  for (const SurfaceEvent& e : events) {
    switch (e.kind) {
      case SurfaceEvent::Kind::kHoverStart:
      case SurfaceEvent::Kind::kHoverEnd: {
        const bool on = e.kind == SurfaceEvent::Kind::kHoverStart;
        SendMessageW(hwnd_, kMsgButtonHover, on ? 1 : 0, e.value);
        const SurfaceControl* c = model_.Find(e.id);
        ShowHelpText(on, c != nullptr ? c->help : std::wstring());
        break;
      }
      case SurfaceEvent::Kind::kCommand:
        // Drawn before the command runs: a toggle shows its new look even when the command opens a dialog.
        UpdateWindow(hwnd_);
        SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(e.id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd_));
        break;
      case SurfaceEvent::Kind::kSliderMoved:
        SendMessageW(hwnd_, kMsgSliderMoved, static_cast<WPARAM>(e.value), e.id);
        break;
      case SurfaceEvent::Kind::kRepaint: {
        const RECT r = ToRect(e.rect);
        InvalidateRect(hwnd_, &r, FALSE);
        break;
      }
      case SurfaceEvent::Kind::kCapture:
        SetCapture(hwnd_);
        break;
      case SurfaceEvent::Kind::kRelease:
        if (GetCapture() == hwnd_) {
          releasing_ = true;
          ReleaseCapture();
          releasing_ = false;
        }
        break;
    }
  }
}

bool SkinSurface::Route(UINT msg, WPARAM wp, LPARAM lp) {
  const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
  switch (msg) {
    case WM_MOUSEMOVE: {
      if (!tracking_) {
        TRACKMOUSEEVENT t = {sizeof t, TME_LEAVE, hwnd_, 0};
        tracking_ = TrackMouseEvent(&t) != FALSE;
      }
      const bool active = GetActiveWindow() == GetAncestor(hwnd_, GA_ROOT);
      Carry(model_.MouseMove(x, y, (wp & MK_LBUTTON) != 0, active));
      return false;
    }
    case WM_MOUSELEAVE:
      tracking_ = false;
      if (GetCapture() != hwnd_) Carry(model_.MouseLeave());
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (model_.HitTest(x, y) == 0) return false;
      HWND root = GetAncestor(hwnd_, GA_ROOT);
      if (GetActiveWindow() != root) SetActiveWindow(root);
      Carry(model_.MouseDown(x, y));
      return true;
    }
    case WM_LBUTTONUP:
      Carry(model_.MouseUp(x, y));
      return true;
    case WM_CAPTURECHANGED:
      if (!releasing_ && reinterpret_cast<HWND>(lp) != hwnd_) Carry(model_.CaptureLost());
      return true;
    case WM_CANCELMODE:
      Carry(model_.CaptureLost());
      return false;
    default:
      return false;
  }
}

bool SkinSurface::SetCursorFor(POINT client) const {
  const SurfaceControl* c = model_.Find(model_.HitTest(client.x, client.y));
  if (c == nullptr || !c->linkPointer || !c->enabled) return false;
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
  return true;
}

std::string SkinSurface::Describe() const {
  JsonWriter j;
  j.BeginArray();
  for (const SurfaceControl& c : model_.controls()) {
    POINT tl = {c.rect.left, c.rect.top}, br = {c.rect.right, c.rect.bottom};
    ClientToScreen(hwnd_, &tl);
    ClientToScreen(hwnd_, &br);
    j.BeginObject().Member("id", c.id);
    j.Key("rect").BeginArray().Int(tl.x).Int(tl.y).Int(br.x).Int(br.y).EndArray();
    j.Key("visible").Bool(c.visible && IsWindowVisible(hwnd_)).Key("enabled").Bool(c.enabled);
    j.Key("pressed").Bool(c.pressedLook).Member("caption", WideToUtf8(c.caption));
    if (const auto label = labels_.find(c.id); label != labels_.end()) j.Member("label", WideToUtf8(label->second));
    if (c.slider) {
      j.Member("value", c.slider->value());
      const PixelRect t = model_.ThumbRect(c);
      POINT centre = {(t.left + t.right) / 2, (t.top + t.bottom) / 2};
      ClientToScreen(hwnd_, &centre);
      j.Key("thumb").BeginArray().Int(centre.x).Int(centre.y).EndArray();
    }
    j.EndObject();
  }
  j.EndArray();
  return j.str();
}

}  // namespace sarn::win
