#include "option/macro/macro_timeline.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace sarn {
namespace {

struct TimedStep {
  std::int32_t time;
  // Order among steps of the same time: a release that ends a bar begun earlier comes first, then the
  // presses, then the releases of bars of no length. So back-to-back bars of one key (A 0-100, A 100-200)
  // do not come back as nested ones, and a bar of no length keeps its press before its release.
  int rank;
  MacroEvent event;
};

std::vector<TimedStep> StepsOf(const std::vector<TimelineBar>& bars) {
  std::vector<TimedStep> steps;
  steps.reserve(bars.size() * 2);
  for (const TimelineBar& bar : bars) {
    if (bar.key == 0) continue;  // a new bar still waiting for its key
    if (steps.size() + 2 > static_cast<std::size_t>(kMacroEventCapacity)) break;
    steps.push_back({bar.start, 1, MacroEvent{bar.key, kKindPress, 0}});
    steps.push_back({bar.end, bar.end > bar.start ? 0 : 2, MacroEvent{bar.key, kKindRelease, 0}});
  }
  // Stable: steps of one time and rank keep the order of their bars.
  std::stable_sort(steps.begin(), steps.end(), [](const TimedStep& a, const TimedStep& b) {
    return a.time != b.time ? a.time < b.time : a.rank < b.rank;
  });
  return steps;
}

}  // namespace

std::vector<TimelineBar> BarsFromMacro(const MacroRecord& macro) {
  struct Open {
    std::uint8_t key;
    std::int32_t time;
    int order;  // the press's place among the presses
  };
  struct Closed {
    TimelineBar bar;
    int order;
  };
  std::vector<Open> open;
  std::vector<Closed> closed;
  const int count = std::min<int>(static_cast<int>(macro.count), kMacroEventCapacity);
  std::int32_t t = 0;
  int presses = 0;
  for (int i = 0; i < count; ++i) {
    const MacroEvent& e = macro.events[i];
    if (e.kind == kKindPress) {
      open.push_back({e.key, t, presses++});
    } else if (e.kind == kKindRelease) {
      for (auto it = open.rbegin(); it != open.rend(); ++it) {
        if (it->key != e.key) continue;
        closed.push_back({TimelineBar{e.key, it->time, t}, it->order});
        open.erase(std::next(it).base());
        break;
      }
    }
    t += e.delay;
  }
  std::stable_sort(closed.begin(), closed.end(), [](const Closed& a, const Closed& b) { return a.order < b.order; });
  std::vector<TimelineBar> bars;
  for (const Closed& c : closed) {
    if (static_cast<int>(bars.size()) == kMaxTimelineBars) break;
    bars.push_back(c.bar);
  }
  return bars;
}

WriteBack MacroFromBars(const std::vector<TimelineBar>& bars, MacroRecord& macro, std::int32_t pause) {
  const std::vector<TimedStep> steps = StepsOf(bars);
  WriteBack result;
  std::memset(macro.events, 0, sizeof macro.events);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    MacroEvent e = steps[i].event;
    if (i + 1 < steps.size()) {
      const std::int32_t gap = steps[i + 1].time - steps[i].time;
      if (gap > kMaxStepGap) ++result.shortenedGaps;
      e.delay = static_cast<std::uint16_t>(std::min(gap, kMaxStepGap));
    }
    macro.events[i] = e;
  }
  macro.count = static_cast<std::uint32_t>(steps.size());
  if (!steps.empty()) macro.events[steps.size() - 1].delay = static_cast<std::uint16_t>(std::clamp(pause, 0, kMaxStepGap));
  return result;
}

std::int32_t LastStepTime(const std::vector<TimelineBar>& bars) {
  std::int32_t last = 0;
  for (const TimelineBar& bar : bars) {
    if (bar.key != 0) last = std::max(last, bar.end);
  }
  return last;
}

std::int32_t PauseAt(const std::vector<TimelineBar>& bars, std::int32_t time) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(static_cast<std::int64_t>(time) - LastStepTime(bars), 0, kMaxStepGap));
}

std::int32_t LongestGap(const std::vector<TimelineBar>& bars) {
  const std::vector<TimedStep> steps = StepsOf(bars);
  std::int32_t longest = 0;
  for (std::size_t i = 1; i < steps.size(); ++i) longest = std::max(longest, steps[i].time - steps[i - 1].time);
  return longest;
}

std::int32_t SnapSpan(std::int32_t span) {
  if (span >= 2000) return span;
  if (span <= 14) return 10;
  if (span <= 29) return 25;
  if (span <= 49) return 45;
  if (span <= 99) return 90;
  if (span <= 199) return 187;
  if (span <= 499) return 375;
  if (span <= 999) return 750;
  return 1500;
}

std::int32_t ZoomInSpan(std::int32_t span) { return SnapSpan(std::min(span * 2, kMaxSpan)); }
std::int32_t ZoomOutSpan(std::int32_t span) { return SnapSpan(span / 2); }

std::int32_t FittingSpan(const std::vector<TimelineBar>& bars, std::int32_t pause) {
  if (bars.empty()) return kFirstSpan;
  std::int64_t last = 0;
  for (const TimelineBar& bar : bars) last = std::max<std::int64_t>(last, bar.end);
  last += std::max(pause, 0);
  const std::int64_t wanted = last + last / 10;
  std::int32_t span = 10;
  while (span < kMaxSpan && span < wanted) span = ZoomInSpan(span);
  return span;
}

std::int32_t MaxOffset(const std::vector<TimelineBar>& bars, std::int32_t span, std::int32_t pause) {
  std::int64_t last = 0;
  for (const TimelineBar& bar : bars) last = std::max<std::int64_t>(last, bar.end);
  last = std::max<std::int64_t>(kMaxSpan, last + std::max(pause, 0));
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(last - span, 0, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t OffsetAfterZoomIn(const std::vector<TimelineBar>& bars, std::int32_t offset, std::int32_t span) {
  const bool reaches = std::any_of(bars.begin(), bars.end(),
                                   [span](const TimelineBar& b) { return b.start >= span || b.end >= span; });
  if (!reaches) return 0;
  return std::clamp<std::int32_t>(offset, 0, MaxOffset(bars, span));
}

std::int32_t HorizontalLineStep(std::int32_t span) {
  switch (span) {
    case 25:
    case 45:
      return 2;
    case 90:
      return 3;
    case 187:
      return 5;
    case 375:
      return 10;
    case 750:
      return 20;
    case 1500:
      return 40;
    case 3000:
      return 100;
    case 6000:
      return 200;
    case 12000:
      return 400;
    case 24000:
      return 800;
    case 48000:
      return 1600;
    default:
      return 1;
  }
}

int TimeToPixel(std::int32_t time, std::int32_t offset, std::int32_t span, int rowWidth) {
  if (span <= 0) return 0;
  const std::int64_t x = (static_cast<std::int64_t>(time) - offset) * rowWidth / span;
  return static_cast<int>(std::clamp<std::int64_t>(x, -1'000'000, 1'000'000));
}

std::int32_t PixelToTime(int x, std::int32_t offset, std::int32_t span, int rowWidth) {
  if (rowWidth <= 0) return offset;
  const std::int64_t t = static_cast<std::int64_t>(x) * span / rowWidth + offset;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(t, 0, std::numeric_limits<std::int32_t>::max()));
}

bool DragEdge(std::vector<TimelineBar>& bars, int index, BarEdge edge, std::int32_t time) {
  if (index < 0 || index >= static_cast<int>(bars.size())) return false;
  TimelineBar moved = bars[static_cast<std::size_t>(index)];
  if (edge == BarEdge::kStart) {
    moved.start = std::clamp<std::int32_t>(time, 0, moved.end);
  } else {
    moved.end = std::max(time, moved.start);
  }
  if (moved == bars[static_cast<std::size_t>(index)]) return false;
  std::vector<TimelineBar> candidate = bars;
  candidate[static_cast<std::size_t>(index)] = moved;
  // A macro that already holds a longer gap (its unmatched steps were left out) may still be edited, as
  // long as the edit does not make that gap longer.
  const std::int32_t gap = LongestGap(candidate);
  if (gap > kMaxStepGap && gap > LongestGap(bars)) return false;
  bars = std::move(candidate);
  return true;
}

int AddBar(std::vector<TimelineBar>& bars, int selected) {
  if (static_cast<int>(bars.size()) >= kMaxTimelineBars) return -1;
  if (selected >= 0 && selected < static_cast<int>(bars.size())) {
    const TimelineBar& s = bars[static_cast<std::size_t>(selected)];
    bars.insert(bars.begin() + selected, TimelineBar{0, s.start, s.end});
    return selected;
  }
  bars.push_back(bars.empty() ? TimelineBar{0, 0, 0} : TimelineBar{0, bars.back().start, bars.back().end});
  return static_cast<int>(bars.size()) - 1;
}

int FirstRowShowing(int firstRow, int row, int count) {
  if (row >= 0) {
    if (row < firstRow) firstRow = row;
    if (row >= firstRow + kTimelineRows) firstRow = row - kTimelineRows + 1;
  }
  return std::clamp(firstRow, 0, std::max(0, count - kTimelineRows));
}

}  // namespace sarn
