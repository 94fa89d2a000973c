#include "option/macro_timeline_win.h"

#include <windowsx.h>

#include <algorithm>
#include <string>

#include "common/keys.h"
#include "common/text_encoding.h"
#include "option/key_capture_win.h"
#include "option/macro/macro_editor.h"
#include "option/skin_dialog_win.h"
#include "option/ui_text_win.h"
#include "option/ui_texts.h"

namespace sarn::win {

// Layout strings of the view, relative to its own top left corner.
namespace {
const char* kAddLayout = "BUTTON_ADD,4,330,30,20,";
const char* kDeleteLayout = "BUTTON_DELETE,34,330,30,20,";
const char* kZoomInLayout = "BUTTON_ZOOM_IN,457,1,22,20,";
const char* kZoomOutLayout = "BUTTON_ZOOM_OUT,435,1,22,20,";
// The rows control: under the zoom buttons, above ADD and DELETE.
constexpr RECT kRowsBox = {4, 24, 486, 326};
constexpr int kNameColumn = 72;  // key names left of the bars
constexpr int kRuler = 16;       // time marks above the first row
constexpr int kEdgeGrip = 4;     // how near an edge the pointer must be to drag it
}  // namespace

struct TimelineView::Impl {
  const KeyboardLayout& layout;
  Hooks hooks;
  int dpi = 96;
  HWND view = nullptr, rows = nullptr;
  PageSkin skin;
  HFONT font = nullptr;
  std::vector<TimelineBar> bars;
  int selected = -1;
  int firstRow = 0;
  std::int32_t span = kFirstSpan;
  std::int32_t offset = 0;
  bool dirty = false;
  int pending = -1;  // the new bar waiting for its key
  int dragBar = -1;
  BarEdge dragEdge = BarEdge::kStart;
  // The pause after the last step (the wait before the macro repeats): drawn as a marker after the last
  // step and dragged like a bar's edge.
  std::int32_t pause = 0;
  bool dragPause = false;

  Impl(const KeyboardLayout& l, Hooks h) : layout(l), hooks(std::move(h)) {}

  [[nodiscard]] int Px(int layoutPixels) const { return MulDiv(layoutPixels, dpi, 96); }
  [[nodiscard]] int RowWidth() const {
    RECT c;
    GetClientRect(rows, &c);
    return std::max(1, static_cast<int>(c.right) - Px(kNameColumn) - Px(2));
  }
  [[nodiscard]] int count() const { return static_cast<int>(bars.size()); }

  void UpdateScrollBars() {
    firstRow = FirstRowShowing(firstRow, -1, count());
    offset = std::clamp<std::int32_t>(offset, 0, MaxOffset(bars, span, pause));
    SCROLLINFO v = {sizeof v, SIF_ALL | SIF_DISABLENOSCROLL, 0, std::max(0, count() - 1), kTimelineRows, firstRow, 0};
    SetScrollInfo(rows, SB_VERT, &v, TRUE);
    SCROLLINFO h = {sizeof h, SIF_ALL | SIF_DISABLENOSCROLL, 0, MaxOffset(bars, span, pause) + span - 1,
                    static_cast<UINT>(span), offset, 0};
    SetScrollInfo(rows, SB_HORZ, &h, TRUE);
    InvalidateRect(rows, nullptr, FALSE);
  }

  void Select(int bar) {
    selected = bar >= 0 && bar < count() ? bar : -1;
    firstRow = FirstRowShowing(firstRow, selected, count());
    UpdateScrollBars();
  }

  // --- Buttons ---------------------------------------------------------------------------------------------

  void Command(int id) {
    switch (id) {
      case timeline_ids::kAdd: {
        if (pending >= 0 || (hooks.mayEdit && !hooks.mayEdit())) return;
        const int added = AddBar(bars, selected);
        if (added < 0) return;
        pending = added;
        dirty = true;
        Select(added);
        // The next key pressed anywhere becomes the bar's key; everything else waits for it.
        if (!StartKeyHook(rows)) {
          bars.erase(bars.begin() + pending);
          pending = -1;
          Select(-1);
          return;
        }
        if (hooks.capturing) hooks.capturing(true);
        SetFocus(rows);
        return;
      }
      case timeline_ids::kDeleteBar:
        if (pending >= 0 || selected < 0) return;
        bars.erase(bars.begin() + selected);
        dirty = true;
        Select(-1);
        return;
      case timeline_ids::kZoomIn:
        span = ZoomInSpan(span);
        offset = OffsetAfterZoomIn(bars, offset, span);
        UpdateScrollBars();
        return;
      case timeline_ids::kZoomOut:
        span = ZoomOutSpan(span);
        UpdateScrollBars();
        return;
      default:
        return;
    }
  }

  void KeyCaptured(WPARAM vk, LPARAM up) {
    (void)CapturedKeyTime(vk, up);  // keep the hook's stamps in step with its messages
    if (pending < 0 || up != 0) return;
    const UsageLookup usage = VirtualKeyToUsage(static_cast<unsigned>(vk), layout);
    if (!usage.found || usage.usage == 0) return;  // not a key a macro can play: wait for another
    bars[static_cast<std::size_t>(pending)].key = usage.usage;
    EndCapture();
  }

  void EndCapture() {
    if (KeyHookInstalled()) StopKeyHook();
    const bool was = pending >= 0;
    pending = -1;
    if (was && hooks.capturing) hooks.capturing(false);
    InvalidateRect(rows, nullptr, FALSE);
  }

  // --- Rows ------------------------------------------------------------------------------------------------

  // The bar under a point of the rows control, or -1; `edge` tells which edge is within reach, if any.
  int BarAt(int x, int y, bool& nearEdge, BarEdge& edge) const {
    nearEdge = false;
    if (y < Px(kRuler)) return -1;
    const int row = firstRow + (y - Px(kRuler)) / Px(kTimelineRowPitch);
    if (row >= count() || row >= firstRow + kTimelineRows) return -1;
    const TimelineBar& b = bars[static_cast<std::size_t>(row)];
    const int x0 = Px(kNameColumn) + TimeToPixel(b.start, offset, span, RowWidth());
    const int x1 = Px(kNameColumn) + TimeToPixel(b.end, offset, span, RowWidth());
    const int grip = Px(kEdgeGrip);
    // The nearer edge wins; a bar of no length grows to the right first.
    if (std::abs(x - x1) <= grip && std::abs(x - x1) <= std::abs(x - x0)) {
      nearEdge = true;
      edge = BarEdge::kEnd;
    } else if (std::abs(x - x0) <= grip) {
      nearEdge = true;
      edge = BarEdge::kStart;
    }
    return row;
  }

  // The pixel of the pause marker (the end of the pause after the last step), or nothing without bars.
  [[nodiscard]] bool PauseMarker(int& x) const {
    if (std::none_of(bars.begin(), bars.end(), [](const TimelineBar& b) { return b.key != 0; })) return false;
    x = Px(kNameColumn) + TimeToPixel(LastStepTime(bars) + pause, offset, span, RowWidth());
    return true;
  }
  // Whether the pause marker is within reach at x; a bar's edge there wins, except in the ruler.
  [[nodiscard]] bool NearPauseMarker(int x, int y) const {
    int marker = 0;
    if (!PauseMarker(marker) || std::abs(x - marker) > Px(kEdgeGrip) || x < Px(kNameColumn)) return false;
    if (y < Px(kRuler)) return true;
    bool nearEdge = false;
    BarEdge edge = BarEdge::kStart;
    (void)BarAt(x, y, nearEdge, edge);
    return !nearEdge;
  }

  void MouseDown(int x, int y) {
    SetFocus(rows);
    if (pending < 0 && NearPauseMarker(x, y)) {
      dragPause = true;
      SetCapture(rows);
      return;
    }
    bool nearEdge = false;
    BarEdge edge = BarEdge::kStart;
    const int bar = BarAt(x, y, nearEdge, edge);
    if (y < Px(kRuler)) return;
    Select(bar);
    if (bar >= 0 && nearEdge && x >= Px(kNameColumn) && pending < 0) {
      dragBar = bar;
      dragEdge = edge;
      SetCapture(rows);
    }
  }

  void MouseMove(int x, int y) {
    const std::int32_t time = PixelToTime(x - Px(kNameColumn), offset, span, RowWidth());
    if (dragPause) {
      const std::int32_t moved = PauseAt(bars, time);
      if (moved != pause) {
        pause = moved;
        dirty = true;
        InvalidateRect(rows, nullptr, FALSE);
      }
      return;
    }
    if (dragBar < 0) {
      bool nearEdge = false;
      BarEdge edge = BarEdge::kStart;
      (void)BarAt(x, y, nearEdge, edge);
      if ((nearEdge && x >= Px(kNameColumn)) || NearPauseMarker(x, y)) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32644)));
      }
      return;
    }
    if (DragEdge(bars, dragBar, dragEdge, time)) {
      dirty = true;
      InvalidateRect(rows, nullptr, FALSE);
    }
  }

  void Scroll(int bar, int code) {
    SCROLLINFO si = {sizeof si, SIF_ALL};
    GetScrollInfo(rows, bar, &si);
    if (bar == SB_VERT) {
      int pos = firstRow;
      switch (code) {
        case SB_LINEUP: --pos; break;
        case SB_LINEDOWN: ++pos; break;
        case SB_PAGEUP: pos -= kTimelineRows; break;
        case SB_PAGEDOWN: pos += kTimelineRows; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: pos = si.nTrackPos; break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = count(); break;
        default: return;
      }
      firstRow = FirstRowShowing(pos, -1, count());
    } else {
      std::int32_t pos = offset;
      const std::int32_t line = HorizontalLineStep(span);
      switch (code) {
        case SB_LINELEFT: pos -= line; break;
        case SB_LINERIGHT: pos += line; break;
        case SB_PAGELEFT: pos -= span; break;
        case SB_PAGERIGHT: pos += span; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: pos = si.nTrackPos; break;
        case SB_LEFT: pos = 0; break;
        case SB_RIGHT: pos = MaxOffset(bars, span, pause); break;
        default: return;
      }
      offset = std::clamp<std::int32_t>(pos, 0, MaxOffset(bars, span, pause));
    }
    UpdateScrollBars();
  }

  void Paint(HDC target) {
    RECT c;
    GetClientRect(rows, &c);
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, c.right, c.bottom);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    auto fill = [&](RECT r, COLORREF colour) {
      HBRUSH b = CreateSolidBrush(colour);
      FillRect(dc, &r, b);
      DeleteObject(b);
    };
    fill(c, palette::kPanel);
    const int names = Px(kNameColumn), width = RowWidth(), top = Px(kRuler), pitch = Px(kTimelineRowPitch);
    const int height = Px(kTimelineRowHeight);
    // Ruler: five marks across the span, with their times.
    SetTextColor(dc, palette::kTextDim);
    fill(RECT{names, top - 1, c.right, top}, palette::kPanelEdge);
    for (int k = 0; k <= 4; ++k) {
      const int x = names + width * k / 5;
      fill(RECT{x, top - Px(5), x + 1, top + pitch * kTimelineRows}, palette::kPanelEdge);
      const std::int64_t t = offset + static_cast<std::int64_t>(span) * k / 5;
      const std::wstring label = std::to_wstring(t) + L" ms";
      TextOutW(dc, x + Px(2), 0, label.c_str(), static_cast<int>(label.size()));
    }
    for (int r = 0; r < kTimelineRows; ++r) {
      const int index = firstRow + r;
      if (index >= count()) break;
      const TimelineBar& b = bars[static_cast<std::size_t>(index)];
      const int y = top + r * pitch;
      if (index == selected) fill(RECT{0, y, c.right, y + height}, palette::kFaceHover);
      SetTextColor(dc, index == selected ? palette::kText : palette::kTextDim);
      // A new bar shows no name until its key comes.
      const std::wstring name = b.key == 0 ? L"" : Utf8ToWide(UsageName(b.key, layout));
      RECT nameBox = {Px(3), y, names - Px(3), y + height};
      DrawTextW(dc, name.c_str(), -1, &nameBox, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
      const int x0 = std::max(names + TimeToPixel(b.start, offset, span, width), names);
      const int x1 = std::min(names + TimeToPixel(b.end, offset, span, width), names + width);
      if (x1 < names || x0 > names + width) continue;  // outside the shown time
      const COLORREF colour = index == pending ? palette::kTextOff
                              : index == selected ? palette::kAccent
                                                  : palette::kAccentDark;
      // Bars of no length stay visible as a thin mark.
      fill(RECT{x0, y + Px(2), std::max(x1, x0 + Px(2)), y + height - Px(1)}, colour);
    }
    // The pause after the last step: a band on the ruler from the last step to the marker, the marker line
    // across the rows, and its length in the row under the last bar.
    if (int marker = 0; PauseMarker(marker)) {
      const int last = names + TimeToPixel(LastStepTime(bars), offset, span, width);
      const int from = std::clamp(last, names, names + width), to = std::clamp(marker, names, names + width);
      if (to > from) fill(RECT{from, top - Px(4), to, top}, palette::kAccent);
      if (marker >= names && marker <= names + width) {
        fill(RECT{marker, top, marker + Px(2), top + pitch * kTimelineRows}, palette::kAccent);
        const int row = std::clamp(count() - firstRow, 0, kTimelineRows - 1);
        const std::wstring label = std::to_wstring(pause) + L" ms";
        SetTextColor(dc, palette::kText);
        TextOutW(dc, marker + Px(4), top + row * pitch, label.c_str(), static_cast<int>(label.size()));
      }
    }
    BitBlt(target, 0, 0, c.right, c.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }

  static LRESULT CALLBACK RowsProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        self->Paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
      }
      case WM_ERASEBKGND:
        return 1;
      case WM_LBUTTONDOWN:
        self->MouseDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        return 0;
      case WM_MOUSEMOVE:
        self->MouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        return 0;
      case WM_LBUTTONUP:
      case WM_CAPTURECHANGED:
        if (self->dragBar >= 0 || self->dragPause) {
          self->dragBar = -1;
          self->dragPause = false;
          if (GetCapture() == hwnd) ReleaseCapture();
          self->UpdateScrollBars();  // the last bar's end may have moved the scroll range
        }
        return 0;
      case WM_VSCROLL:
        self->Scroll(SB_VERT, LOWORD(wp));
        return 0;
      case WM_HSCROLL:
        self->Scroll(SB_HORZ, LOWORD(wp));
        return 0;
      case WM_MOUSEWHEEL:
        self->Scroll(SB_VERT, GET_WHEEL_DELTA_WPARAM(wp) > 0 ? SB_LINEUP : SB_LINEDOWN);
        return 0;
      case kMsgKeyCaptured:
        self->KeyCaptured(wp, lp);
        return 0;
      case WM_DESTROY:
        if (self->pending >= 0) self->EndCapture();
        return 0;
      default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
  }

  static LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        DrawBitmap(dc, self->skin.background, 0, 0);
        EndPaint(hwnd, &ps);
        return 0;
      }
      case WM_ERASEBKGND:
        return 1;
      case WM_COMMAND:
        self->Command(LOWORD(wp));
        return 0;
      default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
  }
};

TimelineView::TimelineView(const KeyboardLayout& layout, Hooks hooks)
    : impl_(std::make_unique<Impl>(layout, std::move(hooks))) {}

TimelineView::~TimelineView() {
  if (impl_->font != nullptr) DeleteObject(impl_->font);
}

void TimelineView::Create(HWND parent, const RECT& area, int dpi) {
  Impl& m = *impl_;
  m.dpi = dpi;
  static bool viewClass = false, rowsClass = false;
  RegisterClassOnce(L"SarnMacroTimelineView", Impl::ViewProc, viewClass);
  RegisterClassOnce(L"SarnMacroTimelineRows", Impl::RowsProc, rowsClass);
  const int w = static_cast<int>(area.right - area.left);
  const int h = static_cast<int>(area.bottom - area.top);
  // Its own picture: the panel of the editor area with the four buttons and a box around the rows.
  PageDesign design;
  design.width = MulDiv(w, 96, dpi);
  design.height = MulDiv(h, 96, dpi);
  design.dpi = dpi;
  design.panels = {RECT{0, 0, design.width, design.height}};
  design.fields = {RECT{kRowsBox.left - 2, kRowsBox.top - 2, kRowsBox.right + 2, kRowsBox.bottom + 2}};
  design.notes = {{POINT{6, 4}, Label(ui::kTimelineNote)}};
  const std::vector<SkinPart> parts = Parts({{kAddLayout, {SkinLook::kPush, L"+"}},
                                             {kDeleteLayout, {SkinLook::kPush, L"-"}},
                                             {kZoomInLayout, {SkinLook::kPush, L"+"}},
                                             {kZoomOutLayout, {SkinLook::kPush, L"-"}}},
                                            dpi);
  m.skin = PaintPageSkin(design, parts);
  m.view = CreateWindowExW(0, L"SarnMacroTimelineView", L"", WS_CHILD | WS_CLIPCHILDREN, area.left, area.top, w, h,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(timeline_ids::kView)), Instance(),
                           nullptr);
  SetWindowLongPtrW(m.view, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m));
  for (const auto& [id, layoutString] : {std::pair{timeline_ids::kAdd, kAddLayout},
                                         std::pair{timeline_ids::kDeleteBar, kDeleteLayout},
                                         std::pair{timeline_ids::kZoomIn, kZoomInLayout},
                                         std::pair{timeline_ids::kZoomOut, kZoomOutLayout}}) {
    (void)CreateSkinButton(m.view, id, LayoutRect(ParseLayout(layoutString), dpi), m.skin, SkinButtonOptions{});
  }
  const RECT box = {m.Px(kRowsBox.left), m.Px(kRowsBox.top), m.Px(kRowsBox.right), m.Px(kRowsBox.bottom)};
  m.rows = CreateWindowExW(0, L"SarnMacroTimelineRows", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
                           box.left, box.top, box.right - box.left, box.bottom - box.top, m.view,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(timeline_ids::kRows)), Instance(), nullptr);
  SetWindowLongPtrW(m.rows, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m));
  m.font = SkinFont(12, dpi);
  m.UpdateScrollBars();
}

void TimelineView::Show(bool shown) {
  ShowWindow(impl_->view, shown ? SW_SHOW : SW_HIDE);
  if (shown) impl_->UpdateScrollBars();
}

bool TimelineView::shown() const { return impl_->view != nullptr && IsWindowVisible(impl_->view) != FALSE; }
HWND TimelineView::hwnd() const { return impl_->view; }

void TimelineView::Load(const MacroRecord* macro) {
  Impl& m = *impl_;
  m.EndCapture();
  m.bars = macro != nullptr ? BarsFromMacro(*macro) : std::vector<TimelineBar>{};
  m.pause = macro != nullptr ? PauseAfterLast(*macro) : 0;
  m.dirty = false;
  m.span = FittingSpan(m.bars, m.pause);
  m.selected = -1;
  m.firstRow = 0;
  m.offset = 0;
  m.dragBar = -1;
  m.dragPause = false;
  m.UpdateScrollBars();
}

WriteBack TimelineView::Store(MacroRecord& macro) {
  Impl& m = *impl_;
  if (m.pending >= 0) {  // a bar still without a key is dropped
    m.bars.erase(m.bars.begin() + m.pending);
    m.EndCapture();
    m.Select(-1);
  }
  if (!m.dirty) return {};
  m.dirty = false;
  return MacroFromBars(m.bars, macro, m.pause);
}

const std::vector<TimelineBar>& TimelineView::bars() const { return impl_->bars; }
int TimelineView::selected() const { return impl_->selected; }
std::int32_t TimelineView::span() const { return impl_->span; }
std::int32_t TimelineView::pause() const { return impl_->pause; }

}  // namespace sarn::win
