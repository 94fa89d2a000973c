#include "option/skin_painter_win.h"

#include <algorithm>
#include <cstdint>

#include "option/ui_text_win.h"

namespace sarn::win {
namespace {

using namespace palette;

enum class State { kNormal, kHover, kPressed, kDisabled };

int Px(int v, int dpi) { return MulDiv(v, dpi, 96); }

void Fill(HDC dc, const RECT& r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void RoundBox(HDC dc, const RECT& r, int radius, COLORREF face, COLORREF edge) {
  HBRUSH b = CreateSolidBrush(face);
  HPEN p = CreatePen(PS_SOLID, 1, edge);
  HGDIOBJ ob = SelectObject(dc, b);
  HGDIOBJ op = SelectObject(dc, p);
  RoundRect(dc, r.left, r.top, r.right, r.bottom, radius, radius);
  SelectObject(dc, ob);
  SelectObject(dc, op);
  DeleteObject(b);
  DeleteObject(p);
}

void Text(HDC dc, const std::wstring& s, RECT r, COLORREF c, HFONT font, UINT format) {
  if (s.empty()) return;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, c);
  HGDIOBJ old = SelectObject(dc, font);
  // A translation longer than its control ends in an ellipsis instead of being cut mid-letter. A label at most
  // one character wider than its box (a four-digit DPI level in its narrow button) is drawn whole over the
  // box's margin: an ellipsis there would hide the digits that matter.
  const int length = static_cast<int>(s.size());
  SIZE extent{};
  TEXTMETRICW metrics{};
  const int room = r.right - r.left;
  const bool nearlyFits = GetTextExtentPoint32W(dc, s.c_str(), length, &extent) && GetTextMetricsW(dc, &metrics) &&
                          extent.cx > room && extent.cx <= room + metrics.tmAveCharWidth;
  DrawTextW(dc, s.c_str(), length, &r,
            format | DT_NOPREFIX | DT_SINGLELINE | (nearlyFits ? DT_NOCLIP : DT_END_ELLIPSIS));
  SelectObject(dc, old);
}

// Written straight into the DIB's pixels: one GDI call per row would cost more than the rest of the skin.
void Gradient(std::uint32_t* pixels, int width, int height, COLORREF top, COLORREF bottom) {
  if (pixels == nullptr) return;
  const int h = std::max(1, height);
  for (int y = 0; y < height; ++y) {
    auto mix = [&](int a, int b) { return static_cast<std::uint32_t>(a + (b - a) * y / h); };
    const std::uint32_t c = mix(GetRValue(top), GetRValue(bottom)) << 16 | mix(GetGValue(top), GetGValue(bottom)) << 8 |
                            mix(GetBValue(top), GetBValue(bottom));
    std::fill_n(pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width), width, c);
  }
}

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF c, int width) {
  HPEN p = CreatePen(PS_SOLID, width, c);
  HGDIOBJ op = SelectObject(dc, p);
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
  SelectObject(dc, op);
  DeleteObject(p);
}

// The little four-pane sign of the "windows profile" mark.
void PaneSign(HDC dc, const RECT& r, COLORREF c, int dpi) {
  const int size = std::min(r.right - r.left, r.bottom - r.top) - Px(8, dpi);
  const int x = (r.left + r.right - size) / 2, y = (r.top + r.bottom - size) / 2;
  const int half = size / 2, gap = std::max(1, Px(1, dpi));
  Fill(dc, RECT{x, y, x + half - gap, y + half - gap}, c);
  Fill(dc, RECT{x + half, y, x + size, y + half - gap}, c);
  Fill(dc, RECT{x, y + half, x + half - gap, y + size}, c);
  Fill(dc, RECT{x + half, y + half, x + size, y + size}, c);
}

void PaintPart(HDC dc, const SkinPart& part, State s, HFONT font, HFONT bold, HFONT small, int dpi) {
  const RECT& r = part.rect;
  const int radius = Px(6, dpi);
  const UINT centred = DT_CENTER | DT_VCENTER;
  switch (part.look) {
    case SkinLook::kTab: {
      COLORREF text = s == State::kDisabled ? kTextOff : s == State::kNormal ? kTextDim : kText;
      if (s == State::kPressed) Fill(dc, RECT{r.left, r.top, r.right, r.bottom}, kPanel);
      Text(dc, part.label, r, text, bold, centred);
      if (s == State::kPressed) Fill(dc, RECT{r.left + Px(8, dpi), r.bottom - Px(3, dpi), r.right - Px(8, dpi), r.bottom}, kAccent);
      if (s == State::kHover) Fill(dc, RECT{r.left + Px(20, dpi), r.bottom - Px(2, dpi), r.right - Px(20, dpi), r.bottom}, kEdge);
      break;
    }
    case SkinLook::kPush:
    case SkinLook::kPrimary:
    case SkinLook::kSlot: {
      const bool primary = part.look == SkinLook::kPrimary;
      COLORREF face = primary ? kAccentDark : kFace, edge = kEdge, text = kText;
      if (s == State::kHover) {
        face = primary ? kAccent : kFaceHover;
        edge = kAccent;
      } else if (s == State::kPressed) {
        face = part.look == SkinLook::kSlot ? kAccent : kAccentDark;
        edge = kAccent;
        text = RGB(255, 255, 255);
      } else if (s == State::kDisabled) {
        face = kPanel;
        edge = kPanelEdge;
        text = kTextOff;
      }
      RoundBox(dc, r, radius, face, edge);
      Text(dc, part.label, r, text, part.look == SkinLook::kPush ? font : bold, centred);
      break;
    }
    case SkinLook::kField:
    case SkinLook::kSmallBox: {
      const COLORREF face = s == State::kPressed ? RGB(27, 56, 76) : RGB(22, 25, 30);
      const COLORREF edge = s == State::kPressed || s == State::kHover ? kAccent : kPanelEdge;
      RoundBox(dc, r, Px(4, dpi), face, edge);
      Text(dc, part.label, r, kText, font, centred);
      break;
    }
    case SkinLook::kMark:
    case SkinLook::kMarkSet: {
      const bool set = part.look == SkinLook::kMarkSet;
      RoundBox(dc, r, Px(4, dpi), set ? RGB(27, 56, 76) : RGB(22, 25, 30),
               s == State::kHover || set ? kAccent : kPanelEdge);
      const COLORREF sign = s == State::kDisabled ? kTextOff : set ? kAccent : s == State::kHover ? kText : kTextOff;
      PaneSign(dc, r, sign, dpi);
      break;
    }
    case SkinLook::kCheck:
    case SkinLook::kRadio: {
      // The mark sits at the left, centred on the row; the label follows it.
      const int box = std::min(static_cast<int>(r.bottom - r.top), Px(13, dpi));
      const int top = (r.top + r.bottom - box) / 2;
      const RECT mark = {r.left + Px(1, dpi), top, r.left + Px(1, dpi) + box, top + box};
      const bool on = s == State::kPressed;
      const COLORREF edge = s == State::kDisabled ? kPanelEdge : s == State::kHover || on ? kAccent : kEdge;
      const COLORREF face = s == State::kDisabled ? kPanel : RGB(22, 25, 30);
      if (part.look == SkinLook::kCheck) {
        RoundBox(dc, mark, Px(3, dpi), on ? kAccent : face, edge);
        if (on) {
          const int w = std::max(2, Px(2, dpi));
          Line(dc, mark.left + box / 4, mark.top + box / 2, mark.left + box / 2 - 1, mark.bottom - box / 4 - 1,
               RGB(255, 255, 255), w);
          Line(dc, mark.left + box / 2 - 1, mark.bottom - box / 4 - 1, mark.right - box / 4, mark.top + box / 4,
               RGB(255, 255, 255), w);
        }
      } else {
        RoundBox(dc, mark, box, face, edge);
        if (on) {
          const int k = box / 4 + 1;
          RoundBox(dc, RECT{mark.left + k, mark.top + k, mark.right - k, mark.bottom - k}, box, kAccent, kAccent);
        }
      }
      const COLORREF text = s == State::kDisabled ? kTextOff : s == State::kNormal ? kTextDim : kText;
      Text(dc, part.label, RECT{mark.right + Px(6, dpi), r.top, r.right, r.bottom}, text, font, DT_LEFT | DT_VCENTER);
      break;
    }
    case SkinLook::kSwatch: {
      const bool on = s == State::kPressed;
      const COLORREF ring = s == State::kDisabled ? kPanelEdge : on ? RGB(255, 255, 255) : s == State::kHover ? kAccent : kEdge;
      RoundBox(dc, r, Px(5, dpi), kPanel, ring);
      const int k = Px(on ? 4 : 3, dpi);
      COLORREF c = part.colour;
      if (s == State::kDisabled) {
        // A dimmed colour: the choice is kept but cannot be made while the light is multicolour.
        c = RGB((GetRValue(c) + 2 * 40) / 3, (GetGValue(c) + 2 * 44) / 3, (GetBValue(c) + 2 * 52) / 3);
      }
      RoundBox(dc, RECT{r.left + k, r.top + k, r.right - k, r.bottom - k}, Px(3, dpi), c, c);
      break;
    }
    case SkinLook::kLevel: {
      const bool on = s == State::kPressed;
      const COLORREF face = on ? kAccent : s == State::kHover ? kFaceHover : s == State::kDisabled ? kPanel : kFace;
      RoundBox(dc, r, Px(4, dpi), face, s == State::kDisabled ? kPanelEdge : on || s == State::kHover ? kAccent : kEdge);
      Text(dc, part.label, r, s == State::kDisabled ? kTextOff : on ? RGB(255, 255, 255) : kText, small, centred);
      break;
    }
    case SkinLook::kTrack: {
      const int cy = (r.top + r.bottom) / 2, h = std::max(2, Px(4, dpi));
      RoundBox(dc, RECT{r.left, cy - h / 2, r.right, cy - h / 2 + h}, h, s == State::kDisabled ? kPanel : RGB(16, 18, 22),
               s == State::kDisabled ? kPanelEdge : kEdge);
      // Ticks under the groove at every tenth, so the steps can be seen.
      for (int i = 0; i <= 10; ++i) {
        const int x = r.left + (r.right - r.left - 1) * i / 10;
        Fill(dc, RECT{x, cy + h, x + 1, cy + h + Px(i % 5 == 0 ? 4 : 2, dpi)}, kPanelEdge);
      }
      break;
    }
    case SkinLook::kLink: {
      const COLORREF text = s == State::kDisabled ? kTextOff : s == State::kNormal ? kAccent : RGB(120, 200, 245);
      if (s == State::kHover || s == State::kPressed) RoundBox(dc, r, Px(4, dpi), kFace, kAccent);
      else RoundBox(dc, r, Px(4, dpi), kPanel, kPanelEdge);
      Text(dc, part.label, r, text, font, centred);
      break;
    }
    case SkinLook::kLabel: {
      const COLORREF face = s == State::kPressed ? RGB(27, 56, 76) : s == State::kHover ? RGB(30, 40, 50) : RGB(22, 25, 30);
      const COLORREF edge = s == State::kPressed || s == State::kHover ? kAccent : kPanelEdge;
      RoundBox(dc, r, Px(4, dpi), face, edge);
      break;
    }
    case SkinLook::kLabelOff:
      RoundBox(dc, r, Px(4, dpi), kPanel, kPanelEdge);
      break;
    case SkinLook::kMinimize:
    case SkinLook::kClose: {
      const bool close = part.look == SkinLook::kClose;
      if (s == State::kHover || s == State::kPressed) {
        RoundBox(dc, r, Px(4, dpi), close ? kDanger : kFaceHover, close ? kDanger : kEdge);
      }
      const COLORREF c = s == State::kDisabled ? kTextOff : s == State::kNormal ? kTextDim : RGB(255, 255, 255);
      const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2, k = Px(5, dpi), w = std::max(1, Px(2, dpi) - 1);
      if (close) {
        Line(dc, cx - k, cy - k, cx + k, cy + k, c, w);
        Line(dc, cx - k, cy + k, cx + k, cy - k, c, w);
      } else {
        Line(dc, cx - k, cy + k / 2, cx + k, cy + k / 2, c, w);
      }
      break;
    }
  }
}

// The mouse drawing's geometry, in a 165 x 196 box, right-handed.
constexpr int kMouseBoxWidth = 165, kMouseBoxHeight = 196;
constexpr RECT kMouseBody = {40, 20, 126, 190};
constexpr int kButtonsBottom = 92;
constexpr RECT kWheel = {77, 40, 89, 72};
struct MouseInput {
  RECT shape;   // the button's own area (main buttons: clipped to the body)
  POINT tag;    // centre of its number
};
constexpr MouseInput kMouseInputs[9] = {
    {{40, 20, 83, kButtonsBottom}, {61, 62}},   // B1 primary
    {{83, 20, 126, kButtonsBottom}, {105, 62}},  // B2 secondary
    {kWheel, {83, 56}},                          // B3 wheel button
    {{33, 104, 43, 126}, {17, 115}},             // B4 left flank, front
    {{33, 132, 43, 154}, {17, 143}},             // B5 left flank, rear
    {{123, 104, 133, 126}, {149, 115}},          // B6 right flank, front
    {{123, 132, 133, 154}, {149, 143}},          // B7 right flank, rear
    {{77, 24, 89, 37}, {83, 30}},                // B8 wheel up
    {{77, 75, 89, 88}, {83, 82}},                // B9 wheel down
};
constexpr COLORREF kHeld = RGB(232, 150, 48);

}  // namespace

void PaintMouse(HDC dc, const RECT& area, const MouseDrawing& mouse, int dpi) {
  const int w = area.right - area.left, h = area.bottom - area.top;
  auto x = [&](int v) { return area.left + MulDiv(mouse.mirrored ? kMouseBoxWidth - v : v, w, kMouseBoxWidth); };
  auto y = [&](int v) { return area.top + MulDiv(v, h, kMouseBoxHeight); };
  auto box = [&](const RECT& r) {
    const int a = x(r.left), b = x(r.right);
    return RECT{std::min(a, b), y(r.top), std::max(a, b), y(r.bottom)};
  };
  const RECT body = box(kMouseBody);
  const int round = MulDiv(80, w, kMouseBoxWidth);
  HRGN bodyShape = CreateRoundRectRgn(body.left, body.top, body.right + 1, body.bottom + 1, round, MulDiv(110, h, kMouseBoxHeight));

  // The flank buttons stick out of the body, so they go first.
  for (int i = 3; i <= 6; ++i) {
    const bool held = mouse.shiftLayer && ((i == 4 && mouse.heldB5) || (i == 6 && mouse.heldB7));
    const COLORREF face = held ? kHeld : i == mouse.markedInput ? kAccent : kFace;
    RoundBox(dc, box(kMouseInputs[i].shape), Px(4, dpi), face, i == mouse.markedInput ? RGB(120, 200, 245) : kEdge);
  }
  HBRUSH bodyBrush = CreateSolidBrush(RGB(36, 40, 47));
  FillRgn(dc, bodyShape, bodyBrush);
  DeleteObject(bodyBrush);
  // A main button marked: its part of the body lit.
  for (int i = 0; i < 2; ++i) {
    if (i != mouse.markedInput) continue;
    const RECT part = box(kMouseInputs[i].shape);
    HRGN lit = CreateRectRgn(part.left, part.top, part.right, part.bottom);
    CombineRgn(lit, lit, bodyShape, RGN_AND);
    HBRUSH accent = CreateSolidBrush(kAccentDark);
    FillRgn(dc, lit, accent);
    DeleteObject(accent);
    DeleteObject(lit);
  }
  HBRUSH edge = CreateSolidBrush(kEdge);
  FrameRgn(dc, bodyShape, edge, std::max(1, Px(1, dpi)), std::max(1, Px(1, dpi)));
  DeleteObject(edge);
  DeleteObject(bodyShape);
  // The split between the main buttons and their lower edge.
  Line(dc, x(83), y(21), x(83), y(kButtonsBottom), kEdge, std::max(1, Px(1, dpi)));
  Line(dc, x(46), y(kButtonsBottom), x(120), y(kButtonsBottom), kEdge, std::max(1, Px(1, dpi)));
  // Wheel, with the arrows of wheel up and down.
  RoundBox(dc, box(kWheel), Px(6, dpi), mouse.markedInput == 2 ? kAccent : RGB(20, 22, 26), kEdge);
  for (int i : {7, 8}) {
    const RECT r = box(kMouseInputs[i].shape);
    const COLORREF c = i == mouse.markedInput ? kAccent : kPanelEdge;
    RoundBox(dc, r, Px(4, dpi), c, c);
  }

  HFONT number = SkinFont(10, dpi, true);
  const int radius = Px(9, dpi);
  for (int i = 0; i < 9; ++i) {
    const POINT c = {x(kMouseInputs[i].tag.x), y(kMouseInputs[i].tag.y)};
    const RECT tag = {c.x - radius, c.y - radius, c.x + radius + 1, c.y + radius + 1};
    const bool held = mouse.shiftLayer && ((i == 4 && mouse.heldB5) || (i == 6 && mouse.heldB7));
    const bool marked = i == mouse.markedInput;
    const COLORREF face = held ? kHeld : marked ? kAccent : kFace;
    RoundBox(dc, tag, 2 * radius, face, marked ? RGB(255, 255, 255) : held ? kHeld : kEdge);
    const std::wstring text = held ? L"+" : std::to_wstring(i + 1 + (mouse.shiftLayer ? 9 : 0));
    Text(dc, text, tag, held || marked ? RGB(255, 255, 255) : kText, number, DT_CENTER | DT_VCENTER);
  }
  DeleteObject(number);
}

namespace {

// The headings and notes of a design with the box each is painted in (pixels at its dpi): painting and the
// translation check take them from here, so they cannot disagree.
struct DesignText {
  const std::wstring* text;
  RECT box;
  UINT align;  // DT_LEFT or DT_RIGHT
  bool heading;
};

std::vector<DesignText> DesignTexts(const PageDesign& design) {
  const int dpi = design.dpi, w = Px(design.width, dpi);
  std::vector<DesignText> texts;
  for (const auto& [at, text] : design.headings) {
    texts.push_back({&text, RECT{Px(at.x + 8, dpi), Px(at.y, dpi), w, Px(at.y + 16, dpi)}, DT_LEFT, true});
  }
  for (const auto& [at, text] : design.notes) {
    texts.push_back({&text, RECT{Px(at.x, dpi), Px(at.y, dpi), w, Px(at.y + 16, dpi)}, DT_LEFT, false});
  }
  for (const auto& [at, text] : design.endNotes) {
    texts.push_back({&text, RECT{0, Px(at.y, dpi), Px(at.x, dpi), Px(at.y + 16, dpi)}, DT_RIGHT, false});
  }
  return texts;
}

}  // namespace

PageSkin PaintPageSkin(const PageDesign& design, const std::vector<SkinPart>& parts) {
  const int dpi = design.dpi;
  const int w = Px(design.width, dpi), h = Px(design.height, dpi);
  PageSkin skin;
  std::uint32_t* pixels = nullptr;
  skin.background = CreatePixelBitmap(w, h, &pixels);
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT brand = SkinFont(22, dpi, true);
  HFONT heading = SkinFont(15, dpi, true);
  HFONT small = SkinFont(11, dpi);
  HFONT headingSmall = SkinFont(12, dpi, true);

  HGDIOBJ old = SelectObject(dc, skin.background.handle);
  const RECT all = {0, 0, w, h};
  if (design.roundedWindow) {
    // Pure white outside the rounded outline: the window's shape leaves it out.
    GdiFlush();
    Gradient(pixels, w, h, kWindowTop, kWindowBottom);
    HRGN round = CreateRoundRectRgn(0, 0, w + 1, h + 1, Px(18, dpi), Px(18, dpi));
    HRGN outside = CreateRectRgn(0, 0, w, h);
    CombineRgn(outside, outside, round, RGN_DIFF);
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRgn(dc, outside, white);
    DeleteObject(white);
    DeleteObject(outside);
    HBRUSH edge = CreateSolidBrush(kPanelEdge);
    FrameRgn(dc, round, edge, 1, 1);
    DeleteObject(edge);
    DeleteObject(round);
  } else {
    Fill(dc, all, kPanel);
  }
  for (const RECT& p : design.panels) {
    RoundBox(dc, RECT{Px(p.left, dpi), Px(p.top, dpi), Px(p.right, dpi), Px(p.bottom, dpi)}, Px(10, dpi), kPanel,
             kPanelEdge);
  }
  for (const RECT& f : design.fields) {
    RoundBox(dc, RECT{Px(f.left, dpi), Px(f.top, dpi), Px(f.right, dpi), Px(f.bottom, dpi)}, Px(4, dpi),
             RGB(22, 25, 30), kPanelEdge);
  }
  if (!design.brand.empty()) {
    Text(dc, design.brand, RECT{Px(16, dpi), Px(4, dpi), Px(140, dpi), Px(36, dpi)}, kText, brand, DT_LEFT | DT_VCENTER);
    Fill(dc, RECT{Px(16, dpi), Px(34, dpi), Px(52, dpi), Px(36, dpi)}, kAccent);
  }
  if (!design.title.empty()) {
    Text(dc, design.title, RECT{Px(20, dpi), Px(10, dpi), w - Px(20, dpi), Px(34, dpi)}, kText, heading,
         DT_LEFT | DT_VCENTER);
    Fill(dc, RECT{Px(20, dpi), Px(36, dpi), w - Px(20, dpi), Px(37, dpi)}, kPanelEdge);
  }
  for (const auto& [at, text] : design.headings) {
    Fill(dc, RECT{Px(at.x, dpi), Px(at.y + 3, dpi), Px(at.x + 3, dpi), Px(at.y + 13, dpi)}, kAccent);
  }
  for (const DesignText& t : DesignTexts(design)) {
    Text(dc, *t.text, t.box, t.heading ? kText : kTextDim, t.heading ? headingSmall : small, t.align | DT_TOP);
  }
  SelectObject(dc, old);

  DeleteDC(dc);
  for (HFONT f : {brand, heading, small, headingSmall}) DeleteObject(f);
  PaintStateImages(skin, parts, dpi);
  return skin;
}

std::vector<RECT> PageTextRects(const PageDesign& design) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT small = SkinFont(11, design.dpi);
  HFONT headingSmall = SkinFont(12, design.dpi, true);
  std::vector<RECT> rects;
  for (const DesignText& t : DesignTexts(design)) {
    HGDIOBJ old = SelectObject(dc, t.heading ? headingSmall : small);
    SIZE extent{};
    GetTextExtentPoint32W(dc, t.text->c_str(), static_cast<int>(t.text->size()), &extent);
    SelectObject(dc, old);
    // As wide as the text, as high as the box it is painted in (which clips it).
    RECT r = t.box;
    if (t.align == DT_RIGHT) r.left = r.right - extent.cx;
    else r.right = r.left + extent.cx;
    rects.push_back(r);
  }
  DeleteDC(dc);
  DeleteObject(small);
  DeleteObject(headingSmall);
  return rects;
}

void PaintStateImages(PageSkin& skin, const std::vector<SkinPart>& parts, int dpi) {
  // Each state image starts as the background, so a cut-out blends into the page around it. A page without
  // controls of its own needs none.
  if (parts.empty()) return;
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = SkinFont(12, dpi);
  HFONT bold = SkinFont(12, dpi, true);
  HFONT small = SkinFont(11, dpi, true);
  const RECT all = {0, 0, skin.background.width, skin.background.height};
  Bitmap* states[4] = {&skin.normal, &skin.hover, &skin.pressed, &skin.disabled};
  for (int i = 0; i < 4; ++i) {
    *states[i] = CutImage(skin.background, all);
    HGDIOBJ old = SelectObject(dc, states[i]->handle);
    for (const SkinPart& part : parts) PaintPart(dc, part, static_cast<State>(i), font, bold, small, dpi);
    SelectObject(dc, old);
  }
  DeleteDC(dc);
  DeleteObject(font);
  DeleteObject(bold);
  DeleteObject(small);
}

Bitmap PaintSliderThumb(int width, int height, int dpi, bool enabled) {
  const int w = Px(width, dpi), h = Px(height, dpi);
  Bitmap thumb = CreatePixelBitmap(w, h);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, thumb.handle);
  // The key colour is the top-left pixel; the body is drawn inside it.
  Fill(dc, RECT{0, 0, w, h}, RGB(255, 0, 255));
  RoundBox(dc, RECT{1, 1, w - 1, h - 1}, Px(5, dpi), enabled ? kAccent : kFace, enabled ? RGB(120, 200, 245) : kEdge);
  for (int i = -1; i <= 1; ++i) {
    const int x = w / 2 + i * Px(2, dpi);
    Fill(dc, RECT{x, h / 3, x + 1, h - h / 3}, enabled ? kAccentDark : kPanelEdge);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return thumb;
}

HICON PaintProgramIcon(int size) {
  Bitmap colour = CreatePixelBitmap(size, size);
  Bitmap mask(CreateBitmap(size, size, 1, 1, nullptr), size, size);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, colour.handle);
  Fill(dc, RECT{0, 0, size, size}, RGB(0, 0, 0));
  RoundBox(dc, RECT{0, 0, size, size}, size / 3, kWindowTop, kAccent);
  const int k = size / 4;
  // A mouse outline: body and the split between the two buttons.
  RoundBox(dc, RECT{k + 1, k / 2 + 1, size - k - 1, size - k / 2 - 1}, size / 3, kFace, kAccent);
  Line(dc, size / 2, k / 2 + 2, size / 2, size / 2 - 1, kAccent, std::max(1, size / 16));
  SelectObject(dc, mask.handle);
  Fill(dc, RECT{0, 0, size, size}, RGB(255, 255, 255));
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  HGDIOBJ ob = SelectObject(dc, black);
  HGDIOBJ op = SelectObject(dc, GetStockObject(NULL_PEN));
  RoundRect(dc, 0, 0, size + 1, size + 1, size / 3, size / 3);
  SelectObject(dc, ob);
  SelectObject(dc, op);
  SelectObject(dc, old);
  DeleteDC(dc);
  ICONINFO info = {TRUE, 0, 0, mask.handle, colour.handle};
  return CreateIconIndirect(&info);
}

}  // namespace sarn::win
