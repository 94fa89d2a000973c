#include "monitor/instance_start.h"

namespace sarn {
namespace {
// Win32 error number, spelled out here so that the decision stays free of <windows.h>.
constexpr unsigned long kErrorAccessDenied = 5;
}  // namespace

InstanceStart DecideInstanceStart(bool mutexCreated, unsigned long lastError, bool acquired) {
  // A running monitor owns the mutex for its whole life. Ownership, not existence, decides: a configuration
  // window, an installer or a crashed monitor's leftover handle may keep the mutex in existence, and the mutex
  // of a monitor that died while owning it is abandoned, which the next wait acquires.
  if (mutexCreated) return acquired ? InstanceStart::kRun : InstanceStart::kHandOver;
  // A mutex made by an elevated monitor carries the high integrity label: a normal process may not open it
  // for the full access CreateMutex asks, so the name exists but is refused. Starting a second monitor then
  // would fight the first over the mouse, and ending silently leaves the user with a Start-menu entry that
  // does nothing: the caller says what is going on instead.
  if (lastError == kErrorAccessDenied) return InstanceStart::kUnreachable;
  return InstanceStart::kRunUnguarded;
}

}  // namespace sarn
