#include "monitor/input/tilt_scroll.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "common/value_range.h"

namespace sarn {
namespace {

// Window lists are finite but can change while we walk them; never walk forever.
constexpr int kMaxWalk = 10000;
constexpr int kMaxDepth = 64;
constexpr int kArrowInset = 5;   // pixels inside the scroll bar's end: on its arrow button
constexpr int kPaneSlack = 25;   // how far a pane's scroll bar may reach past the pane's own edges
constexpr std::uint32_t kScrollBarVertical = 0x1;
constexpr std::uint32_t kScrollBarSizeBox = 0x8;

bool IsScrollBarClass(const std::string& cls) { return cls == "ScrollBar" || cls == "NUIScrollbar"; }

struct KindRow {
  const char* className;
  ScrollKind kind;
};
constexpr KindRow kKinds[] = {
    {"_WwG", ScrollKind::kOwnerScroll},
    {"AVL_AVView", ScrollKind::kOwnerScroll},
    {"EXCEL7", ScrollKind::kSpreadsheet},
    {"paneClassDC", ScrollKind::kPane},
    {"VISIOG", ScrollKind::kDrawing},
    {"PSViewC", ScrollKind::kDrawing},
    {"EditControl", ScrollKind::kDrawing},
    {"FrontPageEditorDocumentView", ScrollKind::kWebEditor},
    {"OGrid", ScrollKind::kDatabase},
    {"OFormSub", ScrollKind::kDatabase},
    {"OPrtPrevPage", ScrollKind::kDatabase},
};

}  // namespace

ScrollKind ScrollKindOf(const std::string& className) {
  for (const KindRow& row : kKinds) {
    if (className == row.className) return row.kind;
  }
  return ScrollKind::kPlain;
}

bool ScrollTargetFinder::IsDesktopIconView(WindowHandle w) const {
  if (w == kNoWindow || windows_.ClassName(w) != "SysListView32") return false;
  WindowHandle up = windows_.Parent(w);
  for (int i = 0; up != kNoWindow && i < kMaxWalk; ++i, up = windows_.Parent(up)) {
    if (windows_.ClassName(up) == "Progman") return true;
  }
  return false;
}

bool ScrollTargetFinder::Scrollable(WindowHandle w) const {
  if (w == kNoWindow) return false;
  const std::string cls = windows_.ClassName(w);
  if (cls == "Internet Explorer_Server") return true;
  if (IsScrollBarClass(cls)) {
    const WindowRect r = windows_.Rect(w);
    return (r.right - r.left) > (r.bottom - r.top) && cursor_.x < r.right;
  }
  return (windows_.Style(w) & kStyleHScroll) != 0;
}

WindowHandle ScrollTargetFinder::AcrobatScrollBar(WindowHandle w) const {
  if (windows_.ClassName(w) != "AVL_AVScrollBar") return kNoWindow;
  const WindowHandle bar = windows_.FirstChild(w);
  if (bar == kNoWindow || windows_.ClassName(bar) != "ScrollBar") return kNoWindow;
  if ((windows_.Style(bar) & (kScrollBarVertical | kScrollBarSizeBox)) != 0) return kNoWindow;
  return bar;
}

WindowHandle ScrollTargetFinder::ChildSearch(WindowHandle w, int depth) const {
  const WindowHandle first = windows_.FirstChild(w);
  if (first == kNoWindow) return kNoWindow;
  if (Scrollable(first)) return first;
  return SiblingSearch(first, depth + 1);
}

WindowHandle ScrollTargetFinder::SiblingSearch(WindowHandle w, int depth) const {
  if (depth > kMaxDepth) return kNoWindow;
  WindowHandle s = windows_.NextSibling(w);
  for (int i = 0; s != kNoWindow && i < kMaxWalk; ++i, s = windows_.NextSibling(s)) {
    if (const WindowHandle bar = AcrobatScrollBar(s)) return bar;
    if (IsScrollBarClass(windows_.ClassName(s)) && Scrollable(s)) return s;
  }
  s = windows_.PreviousSibling(w);
  for (int i = 0; s != kNoWindow && i < kMaxWalk; ++i, s = windows_.PreviousSibling(s)) {
    if (const WindowHandle bar = AcrobatScrollBar(s)) return bar;
    const std::string cls = windows_.ClassName(s);
    if (cls == "ScrollBar" && Scrollable(s)) return s;
    if (cls == "AfxWnd70" || cls == "AfxWnd42") {
      if (const WindowHandle inner = ChildSearch(s, depth + 1)) return inner;
    }
  }
  return kNoWindow;
}

WindowHandle ScrollTargetFinder::PaneSearch(WindowHandle pane) const {
  const WindowRect ref = windows_.Rect(pane);
  const WindowHandle parent = windows_.Parent(pane);
  if (parent == kNoWindow) return kNoWindow;
  for (const WindowHandle w : windows_.Descendants(parent)) {
    if (!IsScrollBarClass(windows_.ClassName(w)) || !Scrollable(w)) continue;
    const WindowRect r = windows_.Rect(w);
    if (r.left >= ref.left - kPaneSlack && r.right <= ref.right + kPaneSlack) return w;
  }
  return kNoWindow;
}

WindowHandle ScrollTargetFinder::Find(WindowHandle underCursor) const {
  if (underCursor == kNoWindow || underCursor == windows_.DesktopWindow() || IsDesktopIconView(underCursor)) {
    return kNoWindow;
  }
  WindowHandle c = windows_.ChildFromPoint(underCursor, cursor_);
  if (c == kNoWindow) c = underCursor;
  const std::string cls = windows_.ClassName(c);

  // A browser's content window scrolls through the frame that holds it.
  WindowHandle candidate = kNoWindow;
  if (cls == "MozillaWindowClass") {
    candidate = windows_.Parent(c);
  } else if (Scrollable(c)) {
    candidate = c;
  }
  if (candidate != kNoWindow) return candidate;

  if (cls != "ScrollBar") {
    WindowHandle found = ChildSearch(c);
    if (found == kNoWindow) found = SiblingSearch(c);
    if (found != kNoWindow) return found;
  }
  // Panes keep their scroll bars elsewhere under the same parent, roughly under the pane itself.
  if (cls == "paneClassDC" || cls == "VISIOG") return PaneSearch(c);
  return kNoWindow;
}

void TiltScroller::Click() {
  const bool swapped = desktop_.ButtonsSwapped();
  input_.MouseEvent(kMouseAbsolute | (swapped ? kMouseRightDown : kMouseLeftDown), 0);
  input_.MouseEvent(kMouseAbsolute | (swapped ? kMouseRightUp : kMouseLeftUp), 0);
}

void TiltScroller::TiltScroll(int n, int tiltSpeedAsStored) {
  // The repeat count comes from a file or the shared block; every repeat is an injected click or a message.
  const int tiltSpeed = Clamped(tiltSpeedAsStored, kTiltSpeedRange);
  const ScreenPoint cursor = desktop_.CursorPos();
  const WindowHandle w = windows_.WindowFromPoint(cursor);
  const ScrollTargetFinder finder(windows_, cursor);
  if (finder.IsDesktopIconView(w) || w == windows_.DesktopWindow()) return;

  const std::string cls = windows_.ClassName(w);
  const ScrollKind kind = ScrollKindOf(cls);
  const bool browser = cls == "MozillaWindowClass";
  const WindowHandle target = finder.Find(w);
  if (target == kNoWindow) return;

  const bool left = n >= 1;
  const long long steps = left ? n : -static_cast<long long>(n);
  for (long long step = 0; step < steps; ++step) {
    switch (kind) {
      case ScrollKind::kSpreadsheet: {
        const WindowRect r = windows_.Rect(target);
        desktop_.SetCursorPos(left ? ScreenPoint{r.left + kArrowInset, r.top + kArrowInset}
                                   : ScreenPoint{r.right - kArrowInset, r.top + kArrowInset});
        for (int i = 0; i < tiltSpeed; ++i) Click();
        desktop_.SetCursorPos(cursor);
        break;
      }
      case ScrollKind::kOwnerScroll:
      case ScrollKind::kPane:
      case ScrollKind::kDrawing:
      case ScrollKind::kWebEditor:
      case ScrollKind::kDatabase: {
        const WindowHandle owner = windows_.Parent(target);
        for (int i = 0; i < tiltSpeed; ++i) {
          desktop_.PostToWindow(owner, kWmHScroll, left ? kSbLineLeft : kSbLineRight,
                                static_cast<std::intptr_t>(target));
        }
        break;
      }
      case ScrollKind::kPlain:
        for (int i = 0; i < tiltSpeed; ++i) {
          if (browser) {
            desktop_.PostToWindow(target, kWmKeyDown, left ? 37 : 39, left ? 0x014B0001 : 0x014D0001);
            desktop_.PostToWindow(target, kWmKeyUp, left ? 37 : 39,
                                  static_cast<std::intptr_t>(left ? 0xC14B0001u : 0xC14D0001u));
          } else if (left) {
            desktop_.PostToWindow(w, kWmHScroll, kSbLineLeft, 0);
          } else if (!desktop_.SendToWindow(w, kWmHScroll, kSbLineRight, 0, kInputSendLimit)) {
            // The window under the cursor is hung: the rest of this tilt is dropped, not waited for step by step.
            return;
          }
        }
        break;
    }
  }
}

int TiltScroller::IEScroll(int stepsAsSent, bool left) {
  // Any program can send the message: its count never becomes an unbounded loop of sends.
  const int steps = Clamped(stepsAsSent, kIEScrollStepsRange);
  const WindowHandle w = windows_.WindowFromPoint(desktop_.CursorPos());
  if (w == kNoWindow || windows_.ClassName(w) != "Internet Explorer_Server") return 1;
  const long long dx = std::clamp(10LL * steps * (left ? -1 : 1), static_cast<long long>(INT_MIN),
                                  static_cast<long long>(INT_MAX));
  if (documents_.ScrollBy(w, static_cast<int>(dx)) == DocumentScroller::Result::kFailed) {
    for (int i = 0; i < steps; ++i) {
      if (!desktop_.SendToWindow(w, kWmHScroll, left ? kSbLineLeft : kSbLineRight, 0, kInputSendLimit)) break;
    }
  }
  return 1;
}

}  // namespace sarn
