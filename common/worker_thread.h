// The worker threads (the monitor's DeviceThread and MacroPlayer, the configuration window's key-capture
// hook): how much stack they start with and how far it may grow.
//
// A thread starts with 4096 bytes of committed stack and grows page by page up to its reservation. The
// reservation is the executable's own (SARN_STACK_RESERVATION, written into every image at link time), never
// a per-thread value: Windows rounds a small reservation up to only 64 KiB, and one call into code with a
// larger frame would then overflow it.
#pragma once

#include <cstddef>

namespace sarn {

inline constexpr unsigned kWorkerStackCommit = 4096;
#ifdef SARN_STACK_RESERVATION
inline constexpr std::size_t kStackReservation = SARN_STACK_RESERVATION;
#endif

#ifdef _WIN32
using WorkerMain = unsigned long(__stdcall*)(void* parameter);
// CreateThread with kWorkerStackCommit committed and the executable's reservation; nullptr when it fails.
[[nodiscard]] void* CreateWorkerThread(WorkerMain main, void* parameter, unsigned long* threadId);
// The reservation of the calling thread's stack: the size of the allocation it lives in.
[[nodiscard]] std::size_t CurrentStackReservation();
#endif

}  // namespace sarn
