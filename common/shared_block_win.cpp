#include <windows.h>

#include <cstring>

#include "common/shared_block.h"

namespace sarn {

std::unique_ptr<Win32SharedBlock> Win32SharedBlock::CreateForMonitor() { return MonitorBlock(false); }

std::unique_ptr<Win32SharedBlock> Win32SharedBlock::TakeOverForMonitor() { return MonitorBlock(true); }

std::unique_ptr<Win32SharedBlock> Win32SharedBlock::MonitorBlock(bool takeOver) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kSharedMutexName);
  if (mutex == nullptr) return nullptr;
  if (GetLastError() == ERROR_ALREADY_EXISTS && !takeOver) {
    CloseHandle(mutex);
    return nullptr;
  }
  std::unique_ptr<Win32SharedBlock> block(new Win32SharedBlock());
  block->mutex_ = mutex;

  // A present but empty (null) access list: any process of the session may open the block. A mapping that
  // already exists (taken over) is opened as it is; its size must still hold a whole block, or it is not mapped.
  SECURITY_DESCRIPTOR descriptor;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, TRUE};
  if (InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
      SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
    block->mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0,
                                         static_cast<DWORD>(sizeof(SharedBlock)), kSharedBlockName);
    if (block->mapping_ != nullptr) {
      block->view_ = MapViewOfFile(block->mapping_, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(SharedBlock));
    }
  }
  return block;
}

std::unique_ptr<Win32SharedBlock> Win32SharedBlock::OpenForOption(bool& mapFailed) {
  mapFailed = false;
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, kSharedBlockName);
  if (mapping == nullptr) return nullptr;
  void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedBlock));
  if (view == nullptr) {
    CloseHandle(mapping);
    mapFailed = true;
    return nullptr;
  }
  std::unique_ptr<Win32SharedBlock> block(new Win32SharedBlock());
  block->mapping_ = mapping;
  block->view_ = view;
  block->mutex_ = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kSharedMutexName);
  return block;
}

Win32SharedBlock::~Win32SharedBlock() {
  if (view_ != nullptr) UnmapViewOfFile(view_);
  if (mapping_ != nullptr) CloseHandle(mapping_);
  if (mutex_ != nullptr) CloseHandle(mutex_);
}

namespace {

// True when the calling thread now owns the mutex. An abandoned mutex (its holder was killed or ended while
// holding it) is owned all the same: the copy goes ahead and the mutex must be released, or the other program
// would wait for it for ever. The holder died within a whole-block copy at worst, and every copy replaces the
// whole block, so the next writer mends what it left.
bool Acquire(HANDLE mutex) {
  const DWORD result = WaitForSingleObject(mutex, INFINITE);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

}  // namespace

int Win32SharedBlock::ReadBlock(SharedBlock& destination) {
  if (view_ == nullptr || mutex_ == nullptr) return 0;
  if (!Acquire(mutex_)) return 0;
  std::memcpy(&destination, view_, sizeof(SharedBlock));
  ReleaseMutex(mutex_);
  return 1;
}

int Win32SharedBlock::WriteBlock(const SharedBlock& source) {
  if (view_ == nullptr || mutex_ == nullptr) return 0;
  if (!Acquire(mutex_)) return 0;
  std::memcpy(view_, &source, sizeof(SharedBlock));
  ReleaseMutex(mutex_);
  return 1;
}

}  // namespace sarn
