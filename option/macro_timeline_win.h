// The macro manager's timeline view: one row per key bar of the selected macro, with the bar drawn across
// the row between its press and its release. Bars are moved by dragging their edges, added with one
// captured key and deleted; the view zooms and scrolls in time and in rows. It works on its own copy of the
// bars and writes them into the macro only when the manager asks and something was changed, so that merely
// looking at a macro in the timeline never rewrites it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "common/keyboard_layout.h"
#include "option/macro/macro_timeline.h"

namespace sarn::win {

namespace timeline_ids {
inline constexpr int kView = 230;
inline constexpr int kAdd = 231;
inline constexpr int kDeleteBar = 232;
inline constexpr int kZoomIn = 233;
inline constexpr int kZoomOut = 234;
inline constexpr int kRows = 235;
}  // namespace timeline_ids

class TimelineView {
 public:
  struct Hooks {
    // Before an edit that needs a macro: false (after showing the notice) when none is selected.
    std::function<bool()> mayEdit;
    // A new bar waits for its key (true) or got it (false): the manager is disabled meanwhile.
    std::function<void(bool)> capturing;
  };

  TimelineView(const KeyboardLayout& layout, Hooks hooks);
  ~TimelineView();
  TimelineView(const TimelineView&) = delete;
  TimelineView& operator=(const TimelineView&) = delete;

  // The view fills `area` (parent pixels) of `parent`; hidden until Show.
  void Create(HWND parent, const RECT& area, int dpi);
  void Show(bool shown);
  [[nodiscard]] bool shown() const;
  [[nodiscard]] HWND hwnd() const;

  // The bars of a macro (none for nullptr); forgets earlier edits and a pending new bar.
  void Load(const MacroRecord* macro);
  // Writes the bars into `macro` when they were edited since Load; what was shortened to fit.
  WriteBack Store(MacroRecord& macro);

  [[nodiscard]] const std::vector<TimelineBar>& bars() const;
  [[nodiscard]] int selected() const;
  [[nodiscard]] std::int32_t span() const;
  // The pause after the last step, as shown (ms).
  [[nodiscard]] std::int32_t pause() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace sarn::win
