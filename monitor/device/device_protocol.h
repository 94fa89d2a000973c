// The report exchanges with the mouse: every read and write, the ready-status wait, and the two composite
// sequences (read everything after the mouse is attached; write what the configuration application changed).
//
// Timing (all waits through the DeviceClock, abortable in 100 ms steps):
//
//   write  : SetFeature ──w──▶ poll ──1000──▶ poll ──1500──▶ poll ──2000──▶ … (at most 10 polls while busy)
//   read   : select ──100──▶ GetFeature
//   sequence steps are 500 ms apart; a full read takes 500 + 500 + 10 × (100 + 500) = 7000 ms at least.
//
// The window thread and the DeviceThread both run exchanges; a lock held for one exchange (a write and its
// ready polls, or a select and its read) keeps a poll of one from answering the write of the other.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "common/profile_record.h"
#include "monitor/device/device_clock.h"
#include "monitor/device/device_link.h"
#include "monitor/device/report_protocol.h"

namespace sarn {

// Monitor-wide single-word flags shared by the window thread and the DeviceThread.
struct DeviceFlags {
  std::atomic<int> deviceState{0};     // 0 no mouse open, 1 attached and open, 2 removed
  std::atomic<int> transferBusy{0};    // the DeviceThread runs a job
  std::atomic<int> abortRequested{0};  // ends any pause, ready wait and running sequence
  std::atomic<int> stopRequested{0};   // the monitor ends: like an abort, but never cleared, and no job starts
};

inline constexpr int kDeviceClosed = 0;
inline constexpr int kDeviceOpen = 1;
inline constexpr int kDeviceRemoved = 2;

// Asks a running transfer to stop; nothing happens when none runs.
void RequestAbort(DeviceFlags& flags);
// The monitor ends: the transfer running stops within 100 ms, and every job still queued behind it does
// nothing. Unlike an abort it holds whether or not a transfer runs, and a job's start does not clear it.
void RequestStop(DeviceFlags& flags);
// Frame one job of the DeviceThread. StartDeviceJob gives false (run nothing) once the monitor ends or
// while no mouse is open; otherwise it marks the transfer busy and forgets the previous job's abort.
[[nodiscard]] bool StartDeviceJob(DeviceFlags& flags);
void EndDeviceJob(DeviceFlags& flags);

// The monitor's own steps at the end of a full read; any may be left empty.
struct DeviceHostSteps {
  std::function<void(int firmwareVersion)> saveFirmwareVersion;  // "Setting"/"FWVersion" of the settings
  std::function<void()> saveSettings;                            // settings file and the five profile files
  std::function<void()> publishBlock;                            // working copy into the shared block
  std::function<void()> notifyReadDone;                          // DeviceReadDone to an open option window
};

// What one full read brought back from the mouse, kept apart from the working copy: the DeviceThread fills
// it, the window thread takes it over in one step (TakeOverReading), so only one thread ever writes the copy.
struct DeviceReading {
  std::intptr_t tag = 0;    // the caller's mark, handed back untouched (the monitor's copy generation)
  bool complete = false;    // the read ran to its end (no abort)
  int firmwareVersion = 0;  // 0 when that read failed
  int activeProfile = -1;   // -1: not read, or not a slot of the mouse
  FeatureReport settings[kProfileCount];
  int settingsResult[kProfileCount] = {};  // the link's answer for each read; 0 = nothing came
  FeatureReport buttons[kProfileCount];
  int buttonsResult[kProfileCount] = {};
};

// Values of the working copy that the take-over of a reading leaves as they are: the mouse changed them (or
// the host queued them for the mouse) after the reading may have been made, so the copy is newer.
inline constexpr std::uint8_t kKeepDpi = 1;          // Cpi_X, Cpi_Y
inline constexpr std::uint8_t kKeepSensitivity = 2;  // Sensitivity_X, Sensitivity_Y
inline constexpr std::uint8_t kKeepPolling = 4;      // PollingRate
struct KeptValues {
  bool activeProfile = false;
  std::uint8_t settings[kProfileCount] = {};  // kKeep* bits per slot
};

class DeviceProtocol {
 public:
  // All operations work on block, the monitor's working copy, except ReadAllFromDevice(DeviceReading&).
  DeviceProtocol(DeviceLink& link, DeviceClock& clock, DeviceFlags& flags, SharedBlock& block,
                 DeviceHostSteps steps = {});

  // Each write sends its report and, when sent, gives the result of WaitDeviceReady; 0 when not sent.
  [[nodiscard]] int WriteActiveProfile();
  // The same for a slot the caller read from the working copy (the DeviceThread never reads the copy).
  [[nodiscard]] int WriteActiveProfile(int slot);
  [[nodiscard]] int WriteProfileSettings(int slot);
  [[nodiscard]] int WriteButtonFunctions(int slot);
  [[nodiscard]] int WriteRestoreDefaults();
  [[nodiscard]] int WriteHostMode(bool on);

  [[nodiscard]] int ReadActiveProfile();
  [[nodiscard]] int ReadProfileSettings(int slot);
  [[nodiscard]] int ReadButtonFunctions(int slot);
  // Gives the firmware version (0 when the read failed) after handing it to saveFirmwareVersion.
  int ReadVersion();

  // The full read in two halves. The first touches only `reading`, the link and the flags (DeviceThread);
  // the second applies a complete reading to the working copy and runs the host steps (window thread): the
  // firmware version is saved in any case, the rest only from a complete reading, and the settings are saved
  // and published only when the last button read was kept. TakeOverReading gives that last result; `keep`
  // names the copy's values that stay.
  void ReadAllFromDevice(DeviceReading& reading);
  [[nodiscard]] int TakeOverReading(const DeviceReading& reading, const KeptValues& keep = {});
  // Both halves on the calling thread.
  [[nodiscard]] int ReadAllFromDevice();
  [[nodiscard]] int WriteChangedToDevice();

  // 1 when the mouse reports done; 0 on failure, after ten busy answers, or on abort.
  [[nodiscard]] int WaitDeviceReady(int firstWaitMs);
  // t / 100 steps of 100 ms, ended early by abortRequested. True when it ran to the end.
  bool Pause(int ms);

 private:
  [[nodiscard]] bool Aborted() const {
    return flags_.abortRequested.load() != 0 || flags_.stopRequested.load() != 0;
  }
  int WriteConfirmed(FeatureReport report, int firstWaitMs);
  int ReadSelected(int slot, std::uint8_t what, std::uint8_t id, int length,
                   bool (*store)(const FeatureReport&, ProfileRecord&));
  // The exchanges alone: the report comes back in `report`, nothing is stored.
  int ExchangeSelected(int slot, std::uint8_t what, std::uint8_t id, int length, FeatureReport& report);
  int ExchangeRead(FeatureReport& report);

  DeviceLink& link_;
  DeviceClock& clock_;
  DeviceFlags& flags_;
  SharedBlock& block_;
  DeviceHostSteps steps_;
  std::mutex exchange_;
};

}  // namespace sarn
