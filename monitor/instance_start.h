// What the monitor does at start with the answer of creating its session-wide instance mutex.
#pragma once

namespace sarn {

enum class InstanceStart {
  kRun,            // the first monitor of the session: it runs
  kHandOver,       // one already runs and answers: pass the request on (open the configuration window) and end
  kUnreachable,    // one already runs with rights this one lacks (elevated): it cannot be reached; tell the user
  kRunUnguarded,   // the mutex could not be made for another reason: run, as a monitor is better than none
};

// mutexCreated: CreateMutex returned a handle; lastError: GetLastError right after it (Win32 numbers).
[[nodiscard]] InstanceStart DecideInstanceStart(bool mutexCreated, unsigned long lastError);

}  // namespace sarn
