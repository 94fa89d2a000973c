// The macro editor's timeline: a macro's steps as key bars (press to release), the way back from bars to
// steps, and the arithmetic of the timeline control (zoom spans, scroll steps, pixels and times, edge drags).
//
// Times are milliseconds from the start of the macro, held in 32 bits: a macro of 500 steps of 65535 ms
// each still fits. Only the gap between two consecutive steps is stored in 16 bits (the step's delay); a
// gap longer than 65535 ms cannot be stored, so the way back shortens it to 65535 ms and says so, and the
// timeline refuses edge drags that would open such a gap (see MacroFromBars and DragEdge).
#pragma once

#include <cstdint>
#include <vector>

#include "common/profile_record.h"

namespace sarn {

struct TimelineBar {
  std::uint8_t key;
  std::int32_t start;  // ms from the start of the macro
  std::int32_t end;    // ms, never before start
  bool operator==(const TimelineBar&) const = default;
};

inline constexpr int kMaxTimelineBars = kMacroEventCapacity / 2;  // a bar is two steps
inline constexpr std::int32_t kMaxStepGap = 65535;                 // what a step's 16-bit delay holds

// The bars of a macro, in the order of their presses. A release closes the most recent open press of its
// key; a release without a press is ignored and a press never released is dropped. At most 250 bars (a
// macro holds 500 steps, so there cannot be more).
[[nodiscard]] std::vector<TimelineBar> BarsFromMacro(const MacroRecord& macro);

struct WriteBack {
  int shortenedGaps = 0;  // gaps longer than 65535 ms that were cut to 65535 ms (later steps move earlier)
};
// Writes the bars into the macro's steps: a press at each bar's start and a release at its end, sorted by
// time (stable: equal times keep bar order, a bar's press before its release), each delay the time to the
// next step, the last one `pause` (the wait before the macro repeats, at most 65535 ms). At most 250 bars are
// written; the rest of the 500 entries is zeroed.
WriteBack MacroFromBars(const std::vector<TimelineBar>& bars, MacroRecord& macro, std::int32_t pause = 0);

// The time of the bars' last step (the latest end; 0 for none): where the pause after the last step begins.
[[nodiscard]] std::int32_t LastStepTime(const std::vector<TimelineBar>& bars);
// The pause after the last step when its end is dragged to `time`: 0..65535 ms from LastStepTime.
[[nodiscard]] std::int32_t PauseAt(const std::vector<TimelineBar>& bars, std::int32_t time);

// The longest gap between two consecutive steps the bars would give (0 for fewer than two steps).
[[nodiscard]] std::int32_t LongestGap(const std::vector<TimelineBar>& bars);

// --- The control's arithmetic ---------------------------------------------------------------------------

inline constexpr int kTimelineRows = 19;       // rows shown at a time
inline constexpr int kTimelineRowHeight = 13;  // a row's bar height
inline constexpr int kTimelineRowPitch = 14;   // from one row to the next
inline constexpr std::int32_t kMaxSpan = 48000;
inline constexpr std::int32_t kFirstSpan = 3000;  // the span a timeline opens with

// The visible time span after zooming in (twice the time shown, at most 48000) or out (half).
[[nodiscard]] std::int32_t ZoomInSpan(std::int32_t span);
[[nodiscard]] std::int32_t ZoomOutSpan(std::int32_t span);
// A span below 2000 put on one of the fixed steps (10, 25, 45, 90, 187, 375, 750, 1500).
[[nodiscard]] std::int32_t SnapSpan(std::int32_t span);

// The span a macro's timeline opens with: the smallest zoom step that shows every bar and the pause after
// the last step with a tenth to spare (3000 ms for no bars).
[[nodiscard]] std::int32_t FittingSpan(const std::vector<TimelineBar>& bars, std::int32_t pause = 0);
// How far the time offset may go: the end of the last bar (and the pause after it) or 48000 ms, whichever is
// later, less a span.
[[nodiscard]] std::int32_t MaxOffset(const std::vector<TimelineBar>& bars, std::int32_t span, std::int32_t pause = 0);
// The offset after zooming in to `span`: inside MaxOffset, and 0 when no bar's start or end reaches the span.
[[nodiscard]] std::int32_t OffsetAfterZoomIn(const std::vector<TimelineBar>& bars, std::int32_t offset,
                                             std::int32_t span);
// The horizontal scroll bar's line step for a span (its page step is the span itself).
[[nodiscard]] std::int32_t HorizontalLineStep(std::int32_t span);

// Pixel of a time in a row `rowWidth` pixels wide (may fall outside the row), and the time at a pixel
// (never below 0).
[[nodiscard]] int TimeToPixel(std::int32_t time, std::int32_t offset, std::int32_t span, int rowWidth);
[[nodiscard]] std::int32_t PixelToTime(int x, std::int32_t offset, std::int32_t span, int rowWidth);

enum class BarEdge { kStart, kEnd };
// Moves one edge of bar `index` to `time`: a start stays in 0..end and an end at or after the start. A move
// that would leave a gap of more than 65535 ms between two steps is refused. True when the bar changed.
bool DragEdge(std::vector<TimelineBar>& bars, int index, BarEdge edge, std::int32_t time);

// BUTTON_ADD's new bar (its key still to come): before the selected bar with its times, or after the last
// with the last bar's times, or at 0..0 in an empty timeline. The new bar's index, or -1 when 250 are there.
int AddBar(std::vector<TimelineBar>& bars, int selected);

// The first shown row kept so that `row` is visible, and in range for `count` bars.
[[nodiscard]] int FirstRowShowing(int firstRow, int row, int count);

}  // namespace sarn
