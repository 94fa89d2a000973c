#include "option/macro/macro_timeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "option/macro/macro_editor.h"

namespace sarn {
namespace {

using Step = std::tuple<int, int, int>;  // key, kind, delay
constexpr int kA = 4, kB = 5, kC = 6;

std::unique_ptr<MacroRecord> MacroOf(const std::vector<Step>& steps) {
  auto m = NewMacroRecord("m");
  for (const auto& [key, kind, delay] : steps) {
    m->events[m->count++] = {static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(kind),
                             static_cast<std::uint16_t>(delay)};
  }
  return m;
}

std::vector<Step> StepsOf(const MacroRecord& m) {
  std::vector<Step> out;
  for (std::uint32_t i = 0; i < m.count; ++i) out.emplace_back(m.events[i].key, m.events[i].kind, m.events[i].delay);
  return out;
}

TEST(MacroTimelineTest, OverlappingKeysBecomeBarsAndComeBackAsTheSameSteps) {
  const std::vector<Step> steps = {{kA, 1, 100}, {kB, 1, 50}, {kA, 2, 200}, {kB, 2, 0}};
  const auto m = MacroOf(steps);
  const std::vector<TimelineBar> bars = BarsFromMacro(*m);
  EXPECT_EQ(bars, (std::vector<TimelineBar>{{kA, 0, 150}, {kB, 100, 350}}));

  auto back = NewMacroRecord("m");
  back->events[7] = {9, 9, 9};  // stale entries past the new count must go
  EXPECT_EQ(MacroFromBars(bars, *back).shortenedGaps, 0);
  EXPECT_EQ(StepsOf(*back), steps);
  EXPECT_EQ(back->events[7].key, 0);
}

TEST(MacroTimelineTest, UnmatchedStepsAreLeftOutAndBarsFollowTheirPresses) {
  // B is released before A although pressed after it; C is never released; the first A release has no press.
  const auto m = MacroOf({{kA, 2, 10}, {kA, 1, 10}, {kB, 1, 10}, {kC, 1, 10}, {kB, 2, 10}, {kA, 2, 0}});
  EXPECT_EQ(BarsFromMacro(*m), (std::vector<TimelineBar>{{kA, 10, 50}, {kB, 20, 40}}));
  // A key pressed twice before its releases: each release closes the latest press.
  const auto nested = MacroOf({{kA, 1, 5}, {kA, 1, 5}, {kA, 2, 5}, {kA, 2, 0}});
  EXPECT_EQ(BarsFromMacro(*nested), (std::vector<TimelineBar>{{kA, 0, 15}, {kA, 5, 10}}));
}

TEST(MacroTimelineTest, TiesKeepBarsApart) {
  // Back-to-back bars of one key, listed in the wrong order, and a bar of no length.
  const std::vector<TimelineBar> bars = {{kA, 100, 200}, {kA, 0, 100}, {kB, 300, 300}};
  auto m = NewMacroRecord("m");
  (void)MacroFromBars(bars, *m);
  EXPECT_EQ(StepsOf(*m), (std::vector<Step>{{kA, 1, 100}, {kA, 2, 0}, {kA, 1, 100}, {kA, 2, 100}, {kB, 1, 0}, {kB, 2, 0}}));
  EXPECT_EQ(BarsFromMacro(*m), (std::vector<TimelineBar>{{kA, 0, 100}, {kA, 100, 200}, {kB, 300, 300}}));
}

TEST(MacroTimelineTest, RandomMacrosRoundTrip) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    auto m = NewMacroRecord("m");
    const int count = std::uniform_int_distribution<int>(0, kMaxMacroSteps)(rng);
    for (int i = 0; i < count; ++i) {
      // Few keys and many zero delays, so that ties and repeated keys are common.
      const auto key = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(4, 7)(rng));
      const auto kind = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(1, 2)(rng));
      const int d = std::uniform_int_distribution<int>(-3, 400)(rng);
      m->events[m->count++] = {key, kind, static_cast<std::uint16_t>(d < 0 ? 0 : d)};
    }
    std::vector<TimelineBar> bars = BarsFromMacro(*m);
    // Steps left out at the start take their time with them: a macro begins with its first step.
    std::int32_t first = bars.empty() ? 0 : bars[0].start;
    for (const TimelineBar& b : bars) first = std::min(first, b.start);
    for (TimelineBar& b : bars) b.start -= first, b.end -= first;
    auto back = NewMacroRecord("m");
    ASSERT_EQ(MacroFromBars(bars, *back).shortenedGaps, 0);
    ASSERT_EQ(BarsFromMacro(*back), bars) << "round " << round;
    // Bars from a macro take steps in pairs from a macro of at most 500.
    ASSERT_LE(static_cast<int>(back->count), count);
  }
}

TEST(MacroTimelineTest, GapsBeyondSixteenBitsAreShortenedAndCounted) {
  const std::vector<TimelineBar> bars = {{kA, 0, 10}, {kB, 70010, 70020}};
  auto m = NewMacroRecord("m");
  EXPECT_EQ(MacroFromBars(bars, *m).shortenedGaps, 1);
  EXPECT_EQ(StepsOf(*m), (std::vector<Step>{{kA, 1, 10}, {kA, 2, 65535}, {kB, 1, 10}, {kB, 2, 0}}));
  EXPECT_EQ(LongestGap(bars), 70000);
  // Long macros are fine as long as no single gap is too long.
  std::vector<TimelineBar> chain;
  for (int i = 0; i < 250; ++i) chain.push_back({kA, i * 60000, i * 60000 + 60000});
  EXPECT_EQ(MacroFromBars(chain, *m).shortenedGaps, 0);
  EXPECT_EQ(BarsFromMacro(*m), chain);
}

// The pause after the last step comes in as the last step's delay, goes back out unchanged however the bars
// moved, and is what the pause marker's drag sets: 0..65535 ms after the last step.
TEST(MacroTimelineTest, ThePauseAfterTheLastStepRoundTrips) {
  const auto m = MacroOf({{kA, 1, 100}, {kB, 1, 50}, {kA, 2, 200}, {kB, 2, 300}});
  const std::vector<TimelineBar> bars = BarsFromMacro(*m);
  ASSERT_EQ(PauseAfterLast(*m), 300);
  auto back = NewMacroRecord("m");
  (void)MacroFromBars(bars, *back, PauseAfterLast(*m));
  EXPECT_EQ(StepsOf(*back), StepsOf(*m));
  (void)MacroFromBars(bars, *back, 100000);
  EXPECT_EQ(PauseAfterLast(*back), 65535);
  (void)MacroFromBars({}, *back, 300);
  EXPECT_EQ(back->count, 0u);
  EXPECT_EQ(back->events[0].delay, 0);

  EXPECT_EQ(LastStepTime(bars), 350);
  EXPECT_EQ(PauseAt(bars, 650), 300);
  EXPECT_EQ(PauseAt(bars, 100), 0);  // never before the last step
  EXPECT_EQ(PauseAt(bars, 350 + 70000), 65535);
  // A pending bar (no key yet) is no step: the pause starts after the real ones.
  EXPECT_EQ(LastStepTime({{kA, 0, 100}, {0, 0, 900}}), 100);
  // The view opens wide enough and scrolls far enough to show the pause.
  EXPECT_EQ(FittingSpan(bars, 300), 750);
  EXPECT_EQ(MaxOffset({{kA, 0, 60000}}, 3000, 5000), 62000);
}

TEST(MacroTimelineTest, PendingBarsAndTooManyBarsAreNotWritten) {
  std::vector<TimelineBar> bars(260, TimelineBar{kA, 0, 1});
  bars[0].key = 0;  // still waiting for its key
  auto m = NewMacroRecord("m");
  (void)MacroFromBars(bars, *m);
  EXPECT_EQ(m->count, static_cast<std::uint32_t>(kMaxMacroSteps));
  EXPECT_EQ(MacroFromBars({}, *m).shortenedGaps, 0);
  EXPECT_EQ(m->count, 0u);
}

TEST(MacroTimelineTest, ZoomSteps) {
  std::vector<std::int32_t> out;
  std::int32_t s = kMaxSpan;
  for (int i = 0; i < 13; ++i, s = ZoomOutSpan(s)) out.push_back(s);
  EXPECT_EQ(out, (std::vector<std::int32_t>{48000, 24000, 12000, 6000, 3000, 1500, 750, 375, 187, 90, 45, 25, 10}));
  EXPECT_EQ(ZoomOutSpan(10), 10);
  EXPECT_EQ(ZoomInSpan(10), 25);
  EXPECT_EQ(ZoomInSpan(45), 90);
  EXPECT_EQ(ZoomInSpan(187), 375);
  EXPECT_EQ(ZoomInSpan(1500), 3000);
  EXPECT_EQ(ZoomInSpan(48000), 48000);
  for (std::int32_t z : out) EXPECT_GT(HorizontalLineStep(z), 0) << z;
  EXPECT_EQ(HorizontalLineStep(187), 5);
  EXPECT_EQ(HorizontalLineStep(48000), 1600);
  EXPECT_EQ(HorizontalLineStep(10), 1);
}

TEST(MacroTimelineTest, ATimelineOpensAtTheSpanThatShowsItsBars) {
  EXPECT_EQ(FittingSpan({}), kFirstSpan);
  EXPECT_EQ(FittingSpan({{kA, 0, 0}}), 10);
  EXPECT_EQ(FittingSpan({{kA, 0, 240}, {kB, 100, 150}}), 375);
  EXPECT_EQ(FittingSpan({{kA, 0, 350}}), 750);  // 350 ms and a tenth more do not fit 375
  EXPECT_EQ(FittingSpan({{kA, 0, 2'000'000}}), kMaxSpan);
}

TEST(MacroTimelineTest, ZoomInKeepsTheOffsetInRange) {
  const std::vector<TimelineBar> shortOnes = {{kA, 0, 900}};
  EXPECT_EQ(OffsetAfterZoomIn(shortOnes, 500, 1500), 0);  // everything fits from 0
  const std::vector<TimelineBar> longOnes = {{kA, 0, 30000}};
  EXPECT_EQ(OffsetAfterZoomIn(longOnes, 40000, 12000), 36000);
  EXPECT_EQ(OffsetAfterZoomIn(longOnes, 5000, 12000), 5000);
  // A macro longer than 48 s can still be scrolled to its end.
  EXPECT_EQ(MaxOffset({{kA, 0, 100000}}, 3000), 97000);
  EXPECT_EQ(MaxOffset({}, 48000), 0);
}

TEST(MacroTimelineTest, PixelsAndTimes) {
  EXPECT_EQ(TimeToPixel(1500, 0, 3000, 400), 200);
  EXPECT_EQ(TimeToPixel(500, 1000, 3000, 400), -66);
  EXPECT_EQ(PixelToTime(200, 1000, 3000, 400), 2500);
  EXPECT_EQ(PixelToTime(-50, 100, 3000, 400), 0);
  // Large times do not overflow the product.
  EXPECT_EQ(TimeToPixel(30'000'000, 0, 48000, 400), 250000);
  for (int x = 0; x <= 400; x += 37) EXPECT_EQ(TimeToPixel(PixelToTime(x, 0, 48000, 400), 0, 48000, 400), x);
}

TEST(MacroTimelineTest, EdgeDragsAreClamped) {
  std::vector<TimelineBar> bars = {{kA, 100, 200}, {kB, 150, 300}};
  EXPECT_TRUE(DragEdge(bars, 0, BarEdge::kStart, 250));  // past the end: stops at it
  EXPECT_EQ(bars[0], (TimelineBar{kA, 200, 200}));
  EXPECT_TRUE(DragEdge(bars, 0, BarEdge::kStart, -40));
  EXPECT_EQ(bars[0].start, 0);
  EXPECT_TRUE(DragEdge(bars, 1, BarEdge::kEnd, 10));  // before the start: stops at it
  EXPECT_EQ(bars[1], (TimelineBar{kB, 150, 150}));
  EXPECT_FALSE(DragEdge(bars, 1, BarEdge::kEnd, 150));
  EXPECT_FALSE(DragEdge(bars, 2, BarEdge::kEnd, 150));
  // An end more than 65535 ms after every other step would not fit a delay.
  EXPECT_FALSE(DragEdge(bars, 1, BarEdge::kEnd, 200 + 65536));
  EXPECT_TRUE(DragEdge(bars, 1, BarEdge::kEnd, 200 + 65535));
  EXPECT_EQ(LongestGap(bars), 65535);
}

TEST(MacroTimelineTest, NewBarsAndRows) {
  std::vector<TimelineBar> bars;
  EXPECT_EQ(AddBar(bars, -1), 0);
  EXPECT_EQ(bars[0], (TimelineBar{0, 0, 0}));
  bars = {{kA, 10, 20}, {kB, 30, 40}};
  EXPECT_EQ(AddBar(bars, 1), 1);
  EXPECT_EQ(bars, (std::vector<TimelineBar>{{kA, 10, 20}, {0, 30, 40}, {kB, 30, 40}}));
  EXPECT_EQ(AddBar(bars, -1), 3);
  EXPECT_EQ(bars[3], (TimelineBar{0, 30, 40}));
  bars.assign(kMaxTimelineBars, TimelineBar{kA, 0, 1});
  EXPECT_EQ(AddBar(bars, 0), -1);

  EXPECT_EQ(FirstRowShowing(0, 25, 40), 7);
  EXPECT_EQ(FirstRowShowing(10, 3, 40), 3);
  EXPECT_EQ(FirstRowShowing(30, -1, 40), 21);  // never past the last full page
  EXPECT_EQ(FirstRowShowing(5, -1, 10), 0);
}

}  // namespace
}  // namespace sarn
