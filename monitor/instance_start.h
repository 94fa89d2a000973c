// What the monitor does at start with the answers about its session-wide instance mutex.
#pragma once

namespace sarn {

enum class InstanceStart {
  kRun,            // no monitor owns the mutex (none runs, or one died owning it): this one runs
  kHandOver,       // one already runs and owns it: pass the request on (open the configuration window) and end
  kUnreachable,    // one already runs with rights this one lacks (elevated): it cannot be reached; tell the user
  kRunUnguarded,   // the mutex could not be made for another reason: run, as a monitor is better than none
};

// mutexCreated: CreateMutex returned a handle; lastError: GetLastError right after it (Win32 numbers);
// acquired: with a handle, a wait of 0 ms took ownership (WAIT_OBJECT_0 or WAIT_ABANDONED).
[[nodiscard]] InstanceStart DecideInstanceStart(bool mutexCreated, unsigned long lastError, bool acquired);

}  // namespace sarn
