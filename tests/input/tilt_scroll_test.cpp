#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include "input/fake_desktop.h"
#include "monitor/input/tilt_scroll.h"

namespace sarn {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using test::FakeClock;
using test::FakeDesktop;

constexpr WindowHandle kTop = FakeDesktop::kDesktop;
constexpr WindowRect kPage{0, 0, 800, 600};
constexpr WindowRect kHBar{0, 580, 780, 597};   // wider than tall: horizontal
constexpr WindowRect kVBar{780, 0, 797, 580};   // taller than wide: vertical
constexpr ScreenPoint kMiddle{400, 300};

std::string Id(WindowHandle w) { return std::to_string(w); }
std::string Hex(WindowHandle w) {
  char text[32];
  std::snprintf(text, sizeof text, "%#llx", static_cast<unsigned long long>(w));
  return text;
}

class TiltScrollTest : public ::testing::Test {
 protected:
  std::vector<std::string> Tilt(WindowHandle under, int n, int speed) {
    desk.PointAt(kMiddle, under);
    scroller.TiltScroll(n, speed);
    return desk.TakeLog();
  }
  WindowHandle Target(WindowHandle under) const { return ScrollTargetFinder(desk, kMiddle).Find(under); }

  FakeClock clock;
  FakeDesktop desk{clock};
  TiltScroller scroller{desk, desk, desk, desk};
};

TEST_F(TiltScrollTest, DesktopIconsAndTheDesktopItselfNeverScroll) {
  const WindowHandle progman = desk.Add(kTop, "Progman", "Program Manager", kStyleHScroll, kPage);
  const WindowHandle view = desk.Add(progman, "SHELLDLL_DefView", "", kStyleHScroll, kPage);
  const WindowHandle icons = desk.Add(view, "SysListView32", "FolderView", kStyleHScroll, kPage);
  EXPECT_THAT(Tilt(icons, 1, 3), IsEmpty());
  EXPECT_THAT(Tilt(FakeDesktop::kDesktop, 1, 3), IsEmpty());
  EXPECT_THAT(Tilt(kNoWindow, 1, 3), IsEmpty());
  // A list view elsewhere scrolls as any window with a horizontal scroll bar.
  const WindowHandle list = desk.Add(kTop, "SysListView32", "", kStyleHScroll, kPage);
  EXPECT_THAT(Tilt(list, 1, 1), ElementsAre("@0 post " + Id(list) + " 0x114 0 0"));
}

TEST_F(TiltScrollTest, PlainWindowGetsTiltSpeedLineScrollsPostedLeftSentRight) {
  const WindowHandle w = desk.Add(kTop, "Notepad", "", kStyleHScroll, kPage);
  const std::string post = "@0 post " + Id(w) + " 0x114 0 0", send = "@0 send " + Id(w) + " 0x114 1 0 within 250ms";
  EXPECT_THAT(Tilt(w, 1, 3), ElementsAre(post, post, post));
  EXPECT_THAT(Tilt(w, -1, 2), ElementsAre(send, send));
  EXPECT_THAT(Tilt(w, 0, 2), IsEmpty());
}

TEST_F(TiltScrollTest, HungWindowCostsOneSendLimitPerTiltNotOnePerStep) {
  const WindowHandle w = desk.Add(kTop, "Notepad", "", kStyleHScroll, kPage);
  desk.hung.insert(w);
  EXPECT_THAT(Tilt(w, -3, 4), ElementsAre("@0 send " + Id(w) + " 0x114 1 0 within 250ms"));
  EXPECT_EQ(clock.Ms(), 250);
  // Tilting left only posts, so a hung window costs nothing at all.
  EXPECT_THAT(Tilt(w, 2, 2), ::testing::SizeIs(4));
  EXPECT_EQ(clock.Ms(), 250);

  // The scroll request of other programs falls back to sends, and gives up on a hung view as quickly.
  const WindowHandle html = desk.Add(kTop, "Internet Explorer_Server", "", 0, kPage);
  desk.hung.insert(html);
  desk.PointAt(kMiddle, html);
  desk.documentResult = DocumentScroller::Result::kFailed;
  EXPECT_EQ(scroller.IEScroll(50, true), 1);
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@250 scrollBy " + Id(html) + " -500",
                                          "@250 send " + Id(html) + " 0x114 0 0 within 250ms"));
  EXPECT_EQ(clock.Ms(), 500);
}

TEST_F(TiltScrollTest, WindowWithNothingToScrollIsLeftAlone) {
  const WindowHandle w = desk.Add(kTop, "Static", "", 0, kPage);
  desk.Add(w, "Button", "", 0, {0, 0, 10, 10});
  desk.Add(kTop, "ScrollBar", "", 0, kVBar);  // a sibling, but vertical
  EXPECT_THAT(Tilt(w, 1, 3), IsEmpty());
}

TEST_F(TiltScrollTest, SpreadsheetIsClickedOnTheScrollBarArrowsWithThePrimaryButton) {
  const WindowHandle sheet = desk.Add(kTop, "EXCEL7", "Book1", 0, kPage);
  desk.Add(sheet, "ScrollBar", "", 0, kHBar);
  EXPECT_THAT(Tilt(sheet, -1, 2), ElementsAre("@0 cursor 775,585", "@0 mouse 0x8002 0", "@0 mouse 0x8004 0",
                                              "@0 mouse 0x8002 0", "@0 mouse 0x8004 0", "@0 cursor 400,300"));
  desk.swapped = true;
  EXPECT_THAT(Tilt(sheet, 1, 1),
              ElementsAre("@0 cursor 5,585", "@0 mouse 0x8008 0", "@0 mouse 0x8010 0", "@0 cursor 400,300"));
}

TEST_F(TiltScrollTest, BrowserContentGetsArrowKeysThroughItsFrame) {
  const WindowHandle frame = desk.Add(kTop, "MozillaWindowClass", "Browser", 0, kPage);
  const WindowHandle content = desk.Add(frame, "MozillaWindowClass", "", 0, kPage);
  const std::string to = "@0 post " + Id(frame);
  EXPECT_THAT(Tilt(content, 1, 2), ElementsAre(to + " 0x100 37 0x14b0001", to + " 0x101 37 0xc14b0001",
                                               to + " 0x100 37 0x14b0001", to + " 0x101 37 0xc14b0001"));
  EXPECT_THAT(Tilt(content, -1, 1), ElementsAre(to + " 0x100 39 0x14d0001", to + " 0x101 39 0xc14d0001"));
}

TEST_F(TiltScrollTest, DocumentWindowsScrollThroughTheirScrollBarsOwner) {
  const WindowHandle frame = desk.Add(kTop, "_WwF", "Document", 0, kPage);
  const WindowHandle doc = desk.Add(frame, "_WwG", "", 0, {0, 0, 780, 580});
  const WindowHandle bar = desk.Add(frame, "ScrollBar", "", 0, kHBar);
  const std::string to = "@0 post " + Id(frame) + " 0x114 0 " + Hex(bar);
  EXPECT_THAT(Tilt(doc, 2, 1), ElementsAre(to, to));
}

TEST_F(TiltScrollTest, ScrollTargetSearchesOverWindowTrees) {
  // Forward siblings: a reader's scroll-bar wrapper counts only when its bar is horizontal and no size box.
  {
    const WindowHandle parent = desk.Add(kTop, "AVL_AVFrame", "", 0, kPage);
    const WindowHandle view = desk.Add(parent, "AVL_AVView", "", 0, {0, 0, 780, 580});
    const WindowHandle vwrap = desk.Add(parent, "AVL_AVScrollBar", "", 0, kVBar);
    desk.Add(vwrap, "ScrollBar", "", 0x1, kHBar);
    const WindowHandle boxwrap = desk.Add(parent, "AVL_AVScrollBar", "", 0, kHBar);
    desk.Add(boxwrap, "ScrollBar", "", 0x8, kHBar);
    const WindowHandle hwrap = desk.Add(parent, "AVL_AVScrollBar", "", 0, kHBar);
    const WindowHandle hbar = desk.Add(hwrap, "ScrollBar", "", 0, kHBar);
    EXPECT_EQ(Target(view), hbar);
  }
  // Backward siblings: only "ScrollBar" itself, or a bar inside an MFC wrapper window.
  {
    const WindowHandle parent = desk.Add(kTop, "Frame", "", 0, kPage);
    const WindowHandle afx = desk.Add(parent, "AfxWnd42", "", 0, kPage);
    const WindowHandle inner = desk.Add(afx, "ScrollBar", "", 0, kHBar);
    desk.Add(parent, "NUIScrollbar", "", 0, kHBar);
    const WindowHandle view = desk.Add(parent, "View", "", 0, {0, 0, 780, 580});
    EXPECT_EQ(Target(view), inner);
  }
  // A bar that ends left of the cursor, or stands upright, does not scroll sideways.
  {
    const WindowHandle parent = desk.Add(kTop, "Frame", "", 0, kPage);
    const WindowHandle view = desk.Add(parent, "View", "", 0, {0, 0, 780, 580});
    desk.Add(parent, "NUIScrollbar", "", 0, {0, 580, 300, 597});
    desk.Add(parent, "ScrollBar", "", 0, kVBar);
    EXPECT_EQ(Target(view), kNoWindow);
    const WindowHandle nui = desk.Add(parent, "NUIScrollbar", "", 0, kHBar);
    EXPECT_EQ(Target(view), nui);
  }
  // Children first: the first child, or a scroll bar beside it.
  {
    const WindowHandle host = desk.Add(kTop, "Host", "", 0, kPage);
    desk.Add(host, "Panel", "", 0, {0, 0, 10, 10});
    const WindowHandle bar = desk.Add(host, "ScrollBar", "", 0, {0, 580, 500, 597});
    EXPECT_EQ(Target(host), bar);
    const WindowHandle html = desk.Add(host, "Internet Explorer_Server", "", 0, {100, 100, 700, 500});
    EXPECT_EQ(Target(host), html) << "the child under the cursor comes first";
  }
}

TEST_F(TiltScrollTest, PaneFindsAScrollBarElsewhereUnderItsParentWithinSlack) {
  const WindowHandle workbook = desk.Add(kTop, "Workbook", "", 0, kPage);
  const WindowHandle pane = desk.Add(workbook, "paneClassDC", "", 0, {100, 0, 700, 580});
  const WindowHandle tools = desk.Add(workbook, "Toolbar", "", 0, {0, 580, 800, 600});
  desk.Add(tools, "ScrollBar", "", 0, {50, 580, 700, 597});     // starts 50 left of the pane: too far
  const WindowHandle bar = desk.Add(tools, "ScrollBar", "", 0, {80, 580, 720, 597});  // within 25
  EXPECT_EQ(Target(pane), bar);
  EXPECT_THAT(Tilt(pane, 1, 1), ElementsAre("@0 post " + Id(tools) + " 0x114 0 " + Hex(bar)));
}

TEST_F(TiltScrollTest, IEScrollScrollsTheDocumentAndFallsBackToLineScrolls) {
  const WindowHandle other = desk.Add(kTop, "Notepad", "", kStyleHScroll, kPage);
  const WindowHandle html = desk.Add(kTop, "Internet Explorer_Server", "", 0, kPage);
  desk.PointAt(kMiddle, other);
  EXPECT_EQ(scroller.IEScroll(3, true), 1);
  EXPECT_THAT(desk.TakeLog(), IsEmpty());

  desk.PointAt(kMiddle, html);
  desk.documentResult = DocumentScroller::Result::kScrolled;
  EXPECT_EQ(scroller.IEScroll(3, true), 1);
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@0 scrollBy " + Id(html) + " -30"));

  desk.documentResult = DocumentScroller::Result::kFailed;
  (void)scroller.IEScroll(2, false);
  const std::string send = "@0 send " + Id(html) + " 0x114 1 0 within 250ms";
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@0 scrollBy " + Id(html) + " 20", send, send));

  desk.documentResult = DocumentScroller::Result::kUnavailable;
  (void)scroller.IEScroll(2, false);
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@0 scrollBy " + Id(html) + " 20"));
}

// The repeat count comes from a profile file or the shared block and the step count of message 1238 from any
// program: neither may turn into millions of injected clicks or sent messages.
TEST_F(TiltScrollTest, RepeatAndStepCountsFromOutsideAreBounded) {
  desk.logLimit = 1000;
  const WindowHandle w = desk.Add(kTop, "Notepad", "", kStyleHScroll, kPage);
  EXPECT_EQ(Tilt(w, 1, 1000000).size(), 10u);
  EXPECT_EQ(Tilt(w, -1, INT_MAX).size(), 10u);
  EXPECT_EQ(Tilt(w, 1, 0).size(), 1u);  // below the range is its lowest value, as Windows would be set
  EXPECT_EQ(Tilt(w, 1, INT_MIN).size(), 1u);

  const WindowHandle sheet = desk.Add(kTop, "EXCEL7", "Book1", 0, kPage);
  desk.Add(sheet, "ScrollBar", "", 0, kHBar);
  EXPECT_EQ(Tilt(sheet, 1, 1000000).size(), 2u + 2u * 10u);  // cursor there and back, ten clicks

  const WindowHandle html = desk.Add(kTop, "Internet Explorer_Server", "", 0, kPage);
  desk.PointAt(kMiddle, html);
  desk.documentResult = DocumentScroller::Result::kFailed;
  EXPECT_EQ(scroller.IEScroll(0x7FFFFFFF, true), 1);
  std::vector<std::string> log = desk.TakeLog();
  ASSERT_EQ(log.size(), 1u + 100u);
  EXPECT_EQ(log.front(), "@0 scrollBy " + Id(html) + " -1000");
  (void)scroller.IEScroll(INT_MIN, false);
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@0 scrollBy " + Id(html) + " 0"));
}

}  // namespace
}  // namespace sarn
