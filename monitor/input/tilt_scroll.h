// Horizontal scrolling by wheel tilt. Many applications ignore a plain horizontal-scroll request, so we find
// the window or scroll bar under the cursor that can scroll sideways and drive it the way its window class
// answers to: scroll-bar messages to a scroll bar's owner, arrow keys to browser windows, clicks on the
// scroll-bar arrows of spreadsheets, or the document's own scrolling for embedded HTML views.
#pragma once

#include <cstdint>
#include <string>

#include "monitor/input/input_ports.h"

namespace sarn {

inline constexpr unsigned kIEScrollMessage = 1238;  // wParam steps, lParam != 0 scrolls left
inline constexpr std::uint32_t kStyleHScroll = 0x00100000;

// How the application under the cursor is driven; chosen by its window class.
enum class ScrollKind { kPlain = 0, kOwnerScroll = 1, kSpreadsheet = 2, kPane = 3, kDrawing = 4,
                        kWebEditor = 5, kDatabase = 6 };
[[nodiscard]] ScrollKind ScrollKindOf(const std::string& className);

// Searches the window tree around the cursor for the window that scrolls horizontally.
class ScrollTargetFinder {
 public:
  ScrollTargetFinder(const WindowTree& windows, ScreenPoint cursor) : windows_(windows), cursor_(cursor) {}

  // The horizontal scroll target for the window under the cursor; none when there is nothing to scroll.
  [[nodiscard]] WindowHandle Find(WindowHandle underCursor) const;

  [[nodiscard]] bool Scrollable(WindowHandle w) const;
  [[nodiscard]] WindowHandle ChildSearch(WindowHandle w, int depth = 0) const;
  [[nodiscard]] WindowHandle SiblingSearch(WindowHandle w, int depth = 0) const;
  // Desktop icons: a list view somewhere below the shell's program manager window.
  [[nodiscard]] bool IsDesktopIconView(WindowHandle w) const;

 private:
  [[nodiscard]] WindowHandle AcrobatScrollBar(WindowHandle w) const;
  [[nodiscard]] WindowHandle PaneSearch(WindowHandle pane) const;

  const WindowTree& windows_;
  ScreenPoint cursor_;
};

// Scrolls the document of an embedded HTML view; the platform answers through its accessibility library.
class DocumentScroller {
 public:
  enum class Result { kUnavailable, kScrolled, kFailed };
  virtual ~DocumentScroller() = default;
  [[nodiscard]] virtual Result ScrollBy(WindowHandle htmlView, int dx) = 0;
};

class TiltScroller {
 public:
  TiltScroller(const WindowTree& windows, Desktop& desktop, KeyInput& input, DocumentScroller& documents)
      : windows_(windows), desktop_(desktop), input_(input), documents_(documents) {}

  // One tilt of n steps: n >= 1 scrolls left, n <= -1 right; each step is repeated `tiltSpeed` times.
  void TiltScroll(int n, int tiltSpeed);

  // Message 1238 from other programs: scroll the HTML view under the cursor by `steps`. Answered with 1.
  [[nodiscard]] int IEScroll(int steps, bool left);

 private:
  void Click();

  const WindowTree& windows_;
  Desktop& desktop_;
  KeyInput& input_;
  DocumentScroller& documents_;
};

}  // namespace sarn
