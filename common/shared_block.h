// The SharedBlock both programs exchange: the names of the mapping and mutex, the whole-block copies, and the
// change flags the configuration application sets before it applies.
#pragma once

#include <memory>

#include "common/messages.h"
#include "common/profile_record.h"

namespace sarn {

inline constexpr const char* kSharedBlockName = "ZORVAN_Sarn+_Mouse_Share_Data";
inline constexpr const char* kSharedMutexName = "Zorvan_Sarn+_Mouse_Mutex_Object";
inline constexpr const char* kMonitorWindowTitle = "ZORVAN Sarn[+] Mouse Monitor";
inline constexpr const char* kOptionWindowTitle = "ZORVAN Sarn[+] Mouse Option";

// Whole-block copies under the shared mutex; 1 on success, 0 when nothing was copied.
class SharedBlockStore {
 public:
  virtual ~SharedBlockStore() = default;
  [[nodiscard]] virtual int ReadBlock(SharedBlock& destination) = 0;
  [[nodiscard]] virtual int WriteBlock(const SharedBlock& source) = 0;
};

// True when a device setting of a profile differs (the fields report 6 carries, and the two stored extras).
[[nodiscard]] bool DeviceSettingsDiffer(const ProfileRecord& a, const ProfileRecord& b);
// Sets SettingsChanged and ProfileChanged of `working` from its differences to `lastApplied`.
// ButtonChanged is left alone: it is set when a button is edited or a profile file is loaded.
void ComputeChangeFlags(SharedBlock& working, const SharedBlock& lastApplied);
void ClearChangeFlags(SharedBlock& block);

#if defined(_WIN32)
// The Windows mapping. The monitor creates it (any process may open it); the configuration application opens
// it when a monitor runs. A store whose mapping failed copies nothing.
class Win32SharedBlock final : public SharedBlockStore {
 public:
  ~Win32SharedBlock() override;
  Win32SharedBlock(const Win32SharedBlock&) = delete;
  Win32SharedBlock& operator=(const Win32SharedBlock&) = delete;

  // Monitor side: creates the shared mutex; nullptr when it already exists (another monitor owns the block).
  [[nodiscard]] static std::unique_ptr<Win32SharedBlock> CreateForMonitor();
  // Monitor side, when no other monitor runs but the block outlived its monitor (a configuration window keeps
  // it): opens the existing mutex and mapping (or creates what is gone). nullptr when the mutex cannot be had.
  [[nodiscard]] static std::unique_ptr<Win32SharedBlock> TakeOverForMonitor();
  // Configuration side: nullptr when no monitor's block exists; when the block exists but cannot be mapped,
  // `mapFailed` is set (the caller tells the user).
  [[nodiscard]] static std::unique_ptr<Win32SharedBlock> OpenForOption(bool& mapFailed);

  [[nodiscard]] bool mapped() const { return view_ != nullptr; }
  int ReadBlock(SharedBlock& destination) override;
  int WriteBlock(const SharedBlock& source) override;

 private:
  Win32SharedBlock() = default;
  [[nodiscard]] static std::unique_ptr<Win32SharedBlock> MonitorBlock(bool takeOver);
  void* mutex_ = nullptr;
  void* mapping_ = nullptr;
  void* view_ = nullptr;
};
#endif

}  // namespace sarn
