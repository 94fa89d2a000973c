#include <windows.h>

#include "common/worker_thread.h"

namespace sarn {

void* CreateWorkerThread(WorkerMain main, void* parameter, unsigned long* threadId) {
  // Without STACK_SIZE_PARAM_IS_A_RESERVATION the size is the initial commit and the reservation stays the
  // image's.
  return CreateThread(nullptr, kWorkerStackCommit, main, parameter, 0, threadId);
}

std::size_t CurrentStackReservation() {
  // The stack is one reserved allocation (committed pages at the top, a guard page, reserved pages below):
  // walk every region of the allocation this frame lies in.
  MEMORY_BASIC_INFORMATION info{};
  const volatile char here = 0;
  if (VirtualQuery(const_cast<const char*>(&here), &info, sizeof info) == 0) return 0;
  auto* const allocation = info.AllocationBase;
  auto* address = static_cast<const char*>(allocation);
  std::size_t size = 0;
  while (VirtualQuery(address, &info, sizeof info) != 0 && info.AllocationBase == allocation) {
    size += info.RegionSize;
    address += info.RegionSize;
  }
  return size;
}

}  // namespace sarn
