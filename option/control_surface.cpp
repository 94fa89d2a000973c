#include "option/control_surface.h"

#include <algorithm>

namespace sarn {
namespace {

bool Inside(const PixelRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

PixelRect Union(const PixelRect& a, const PixelRect& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

}  // namespace

SurfaceControl& ControlSurface::Add(SurfaceControl control) {
  if (control.kind == SurfaceKind::kSlider && !control.slider) {
    control.slider.emplace(control.rect.left, control.rect.right, control.thumbWidth);
  }
  controls_.push_back(std::move(control));
  return controls_.back();
}

SurfaceControl* ControlSurface::Find(int id) {
  for (SurfaceControl& c : controls_) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

const SurfaceControl* ControlSurface::Find(int id) const {
  return const_cast<ControlSurface*>(this)->Find(id);
}

PixelRect ControlSurface::ThumbRect(const SurfaceControl& c) const {
  if (!c.slider) return c.rect;
  const int centre = (c.rect.top + c.rect.bottom) / 2;
  const int top = centre - c.thumbHeight / 2;
  return {c.slider->thumbX(), top, c.slider->thumbX() + c.thumbWidth, top + c.thumbHeight};
}

void ControlSurface::Repaint(const SurfaceControl& c, std::vector<SurfaceEvent>& out) const {
  // A slider's thumb may stand out of its track.
  const PixelRect r = c.kind == SurfaceKind::kSlider ? Union(c.rect, ThumbRect(c)) : c.rect;
  out.push_back({SurfaceEvent::Kind::kRepaint, c.id, 0, r});
}

std::vector<SurfaceEvent> ControlSurface::SetPressed(int id, bool pressed) {
  std::vector<SurfaceEvent> out;
  SurfaceControl* c = Find(id);
  if (c == nullptr || c->pressedLook == pressed) return out;
  c->pressedLook = pressed;
  if (c->visible) Repaint(*c, out);
  return out;
}

bool ControlSurface::Pressed(int id) const {
  const SurfaceControl* c = Find(id);
  return c != nullptr && c->pressedLook;
}

std::vector<SurfaceEvent> ControlSurface::SetEnabled(int id, bool enabled) {
  std::vector<SurfaceEvent> out;
  SurfaceControl* c = Find(id);
  if (c == nullptr || c->enabled == enabled) return out;
  c->enabled = enabled;
  // A disabled control lets go of everything, as a disabled window does.
  if (!enabled) LetGo(*c, out);
  if (c->visible) Repaint(*c, out);
  return out;
}

std::vector<SurfaceEvent> ControlSurface::SetVisible(int id, bool visible) {
  std::vector<SurfaceEvent> out;
  SurfaceControl* c = Find(id);
  if (c == nullptr || c->visible == visible) return out;
  if (!visible) LetGo(*c, out);
  c->visible = visible;
  // Hidden, it leaves the background (or whatever shares its place) to be drawn there.
  Repaint(*c, out);
  return out;
}

std::vector<SurfaceEvent> ControlSurface::SetCaption(int id, std::wstring caption) {
  std::vector<SurfaceEvent> out;
  SurfaceControl* c = Find(id);
  if (c == nullptr || c->caption == caption) return out;
  c->caption = std::move(caption);
  if (c->visible) Repaint(*c, out);
  return out;
}

std::vector<SurfaceEvent> ControlSurface::SetSliderPosition(int id, int value) {
  std::vector<SurfaceEvent> out;
  SurfaceControl* c = Find(id);
  if (c == nullptr || !c->slider || dragging_ == id) return out;
  const PixelRect before = ThumbRect(*c);
  c->slider->SetPosition(value);
  if (c->visible && ThumbRect(*c) != before) Repaint(*c, out);
  return out;
}

int ControlSurface::HitTest(int x, int y) const {
  for (const SurfaceControl& c : controls_) {
    if (c.visible && c.kind == SurfaceKind::kSlider && Inside(ThumbRect(c), x, y)) return c.id;
  }
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    if (it->visible && Inside(it->rect, x, y)) return it->id;
  }
  return 0;
}

void ControlSurface::LetGo(SurfaceControl& c, std::vector<SurfaceEvent>& out) {
  if (hovered_ == c.id) EndHover(out);
  if (pressed_ == c.id || dragging_ == c.id) {
    pressed_ = dragging_ = 0;
    c.selected = false;
    out.push_back({SurfaceEvent::Kind::kRelease});
  }
}

void ControlSurface::EndHover(std::vector<SurfaceEvent>& out) {
  if (hovered_ == 0) return;
  SurfaceControl* c = Find(hovered_);
  const int id = hovered_;
  hovered_ = 0;
  if (c == nullptr) return;
  c->hover = false;
  out.push_back({SurfaceEvent::Kind::kHoverEnd, id, c->notifyId});
  if (c->visible) Repaint(*c, out);
}

std::vector<SurfaceEvent> ControlSurface::MouseMove(int x, int y, bool leftHeld, bool active) {
  std::vector<SurfaceEvent> out;
  if (dragging_ != 0) {
    SurfaceControl* s = Find(dragging_);
    if (s != nullptr && s->slider) {
      const int value = s->slider->Drag(x - grab_);
      Repaint(*s, out);
      out.push_back({SurfaceEvent::Kind::kSliderMoved, s->id, value});
    }
    return out;
  }
  const int over = HitTest(x, y);
  if (over == hovered_) return out;
  // Leaving a control ends its hover; a move with the button held starts none.
  EndHover(out);
  SurfaceControl* c = over != 0 ? Find(over) : nullptr;
  if (c != nullptr && c->enabled && !leftHeld && active) {
    hovered_ = over;
    c->hover = true;
    out.push_back({SurfaceEvent::Kind::kHoverStart, c->id, c->notifyId});
    Repaint(*c, out);
  }
  return out;
}

std::vector<SurfaceEvent> ControlSurface::MouseDown(int x, int y) {
  std::vector<SurfaceEvent> out;
  const int over = HitTest(x, y);
  SurfaceControl* c = over != 0 ? Find(over) : nullptr;
  if (c == nullptr || !c->enabled) return out;
  switch (c->kind) {
    case SurfaceKind::kButton:
      pressed_ = c->id;
      c->selected = true;
      out.push_back({SurfaceEvent::Kind::kCapture});
      Repaint(*c, out);
      break;
    case SurfaceKind::kSlider:
      if (Inside(ThumbRect(*c), x, y)) {
        dragging_ = c->id;
        grab_ = x - c->slider->thumbX();
        out.push_back({SurfaceEvent::Kind::kCapture});
      } else {
        const PixelRect before = ThumbRect(*c);
        const int value = c->slider->ClickTrack(x);
        out.push_back({SurfaceEvent::Kind::kRepaint, c->id, 0, Union(Union(c->rect, before), ThumbRect(*c))});
        out.push_back({SurfaceEvent::Kind::kSliderMoved, c->id, value});
      }
      break;
    case SurfaceKind::kPicture:
      break;
  }
  return out;
}

std::vector<SurfaceEvent> ControlSurface::MouseUp(int x, int y) {
  std::vector<SurfaceEvent> out;
  if (dragging_ != 0) {
    SurfaceControl* s = Find(dragging_);
    dragging_ = 0;
    out.push_back({SurfaceEvent::Kind::kRelease});
    if (s != nullptr && s->slider) {
      const PixelRect before = ThumbRect(*s);
      const int value = s->slider->Release();
      out.push_back({SurfaceEvent::Kind::kRepaint, s->id, 0, Union(Union(s->rect, before), ThumbRect(*s))});
      out.push_back({SurfaceEvent::Kind::kSliderMoved, s->id, value});
    }
    return out;
  }
  if (pressed_ == 0) return out;
  SurfaceControl* c = Find(pressed_);
  pressed_ = 0;
  // The command may open a modal window, which must get the mouse: the capture goes first.
  out.push_back({SurfaceEvent::Kind::kRelease});
  if (c == nullptr) return out;
  c->selected = false;
  const bool inside = c->visible && Inside(c->rect, x, y);
  if (inside && c->enabled && c->toggle) c->pressedLook = !c->pressedLook;
  Repaint(*c, out);
  if (inside && c->enabled) out.push_back({SurfaceEvent::Kind::kCommand, c->id});
  return out;
}

std::vector<SurfaceEvent> ControlSurface::MouseLeave() {
  std::vector<SurfaceEvent> out;
  EndHover(out);
  return out;
}

std::vector<SurfaceEvent> ControlSurface::CaptureLost() {
  std::vector<SurfaceEvent> out;
  if (pressed_ != 0) {
    if (SurfaceControl* c = Find(pressed_)) {
      c->selected = false;
      Repaint(*c, out);
    }
    pressed_ = 0;
  }
  if (dragging_ != 0) {
    // The thumb stays where it was dragged to; its value was reported on the way.
    dragging_ = 0;
  }
  EndHover(out);
  return out;
}

}  // namespace sarn
