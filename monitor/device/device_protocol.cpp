#include "monitor/device/device_protocol.h"

#include <cstring>
#include <memory>

namespace sarn {
namespace {

constexpr int kSequenceGapMs = 500;
constexpr int kSelectGapMs = 100;
constexpr int kPauseStepMs = 100;
constexpr int kMaxReadyPolls = 10;

bool ValidSlot(int slot) { return slot >= 0 && slot < kProfileCount; }

// Wait before ready poll n (0-based): the caller's first wait, then 1 s, 1.5 s and 2 s from then on.
int ReadyPollWait(int n, int firstWaitMs) {
  switch (n) {
    case 0: return firstWaitMs;
    case 1: return 1000;
    case 2: return 1500;
    default: return 2000;
  }
}

}  // namespace

void RequestAbort(DeviceFlags& flags) {
  if (flags.transferBusy.load() == 1) flags.abortRequested.store(1);
}

void RequestStop(DeviceFlags& flags) { flags.stopRequested.store(1); }

bool StartDeviceJob(DeviceFlags& flags) {
  if (flags.stopRequested.load() != 0 || flags.deviceState.load() != kDeviceOpen) return false;
  flags.transferBusy.store(1);
  flags.abortRequested.store(0);
  return true;
}

void EndDeviceJob(DeviceFlags& flags) { flags.transferBusy.store(0); }

DeviceProtocol::DeviceProtocol(DeviceLink& link, DeviceClock& clock, DeviceFlags& flags, SharedBlock& block,
                               DeviceHostSteps steps)
    : link_(link), clock_(clock), flags_(flags), block_(block), steps_(std::move(steps)) {}

bool DeviceProtocol::Pause(int ms) {
  const std::int64_t start = clock_.NowMs();
  const int rounds = ms / kPauseStepMs;
  for (int i = 0; i < rounds; ++i) {
    if (Aborted()) return false;
    clock_.SleepUntilMs(start + static_cast<std::int64_t>(i + 1) * kPauseStepMs);
  }
  return !Aborted();
}

int DeviceProtocol::WaitDeviceReady(int firstWaitMs) {
  int status = 0;
  int result = 0;
  for (int n = 0; n < kMaxReadyPolls; ++n) {
    Pause(ReadyPollWait(n, firstWaitMs));
    if (Aborted()) return 0;
    FeatureReport poll = MakeReadRequest(kSelectReportId, kSelectReportLength);
    if (link_.GetFeature(poll.data(), poll.length) != 0) {
      status = poll[1];
      result = status == kStatusDone ? 1 : 0;
    } else {
      result = 0;  // a failed poll keeps the previous status: a busy mouse is polled again
    }
    if (status != kStatusBusy) return result;
  }
  return result;
}

int DeviceProtocol::WriteConfirmed(FeatureReport report, int firstWaitMs) {
  std::lock_guard<std::mutex> lock(exchange_);
  if (link_.SetFeature(report.data(), report.length) == 0) return 0;
  return WaitDeviceReady(firstWaitMs);
}

int DeviceProtocol::WriteActiveProfile() { return WriteActiveProfile(block_.CurrentProfile); }

int DeviceProtocol::WriteActiveProfile(int slot) {
  // -1 only exists while a block is being filled; the mouse has no such slot.
  if (!ValidSlot(slot)) return 0;
  return WriteConfirmed(MakeActiveProfileReport(slot), 100);
}

int DeviceProtocol::WriteProfileSettings(int slot) {
  if (!ValidSlot(slot)) return 0;
  return WriteConfirmed(MakeProfileSettingsReport(block_.profiles[slot], slot), 500);
}

int DeviceProtocol::WriteButtonFunctions(int slot) {
  if (!ValidSlot(slot)) return 0;
  return WriteConfirmed(MakeButtonFunctionsReport(block_.profiles[slot], slot), 500);
}

int DeviceProtocol::WriteRestoreDefaults() { return WriteConfirmed(MakeRestoreDefaultsReport(), 100); }

int DeviceProtocol::WriteHostMode(bool on) { return WriteConfirmed(MakeHostModeReport(on), 100); }

int DeviceProtocol::ExchangeRead(FeatureReport& report) {
  std::lock_guard<std::mutex> lock(exchange_);
  return link_.GetFeature(report.data(), report.length);
}

int DeviceProtocol::ReadActiveProfile() {
  FeatureReport r = MakeReadRequest(kActiveProfileReportId, kActiveProfileReportLength);
  const int result = ExchangeRead(r);
  if (result != 0 && r[2] < kProfileCount) block_.CurrentProfile = r[2];
  return result;
}

int DeviceProtocol::ExchangeSelected(int slot, std::uint8_t what, std::uint8_t id, int length,
                                     FeatureReport& report) {
  if (!ValidSlot(slot)) return 0;
  report = MakeReadRequest(id, length);
  std::lock_guard<std::mutex> lock(exchange_);
  FeatureReport select = MakeSelectReport(slot, what);
  // A select that did not go out leaves the previous selection standing: the read would hand back
  // another profile's data and store it in this slot. Read nothing instead.
  if (link_.SetFeature(select.data(), select.length) == 0) return 0;
  Pause(kSelectGapMs);
  if (Aborted()) return 0;
  return link_.GetFeature(report.data(), report.length);
}

int DeviceProtocol::ReadSelected(int slot, std::uint8_t what, std::uint8_t id, int length,
                                 bool (*store)(const FeatureReport&, ProfileRecord&)) {
  FeatureReport r;
  const int result = ExchangeSelected(slot, what, id, length, r);
  if (result == 0) return 0;
  if (!store(r, block_.profiles[slot])) return 0;
  return result;
}

int DeviceProtocol::ReadProfileSettings(int slot) {
  return ReadSelected(slot, kSelectSettings, kProfileSettingsReportId, kProfileSettingsReportLength,
                      &StoreProfileSettingsReport);
}

int DeviceProtocol::ReadButtonFunctions(int slot) {
  return ReadSelected(slot, kSelectButtons, kButtonFunctionsReportId, kButtonFunctionsReportLength,
                      &StoreButtonFunctionsReport);
}

int DeviceProtocol::ReadVersion() {
  FeatureReport r = MakeReadRequest(kVersionReportId, kVersionReportLength);
  const int version = ExchangeRead(r) != 0 ? r[2] : 0;
  if (steps_.saveFirmwareVersion) steps_.saveFirmwareVersion(version);
  return version;
}

void DeviceProtocol::ReadAllFromDevice(DeviceReading& reading) {
  reading.complete = false;
  reading.activeProfile = -1;
  FeatureReport version = MakeReadRequest(kVersionReportId, kVersionReportLength);
  reading.firmwareVersion = ExchangeRead(version) != 0 ? version[2] : 0;
  if (!Pause(kSequenceGapMs)) return;
  FeatureReport active = MakeReadRequest(kActiveProfileReportId, kActiveProfileReportLength);
  if (ExchangeRead(active) != 0 && active[2] < kProfileCount) reading.activeProfile = active[2];
  if (!Pause(kSequenceGapMs)) return;
  for (int slot = 0; slot < kProfileCount; ++slot) {
    reading.settingsResult[slot] = ExchangeSelected(slot, kSelectSettings, kProfileSettingsReportId,
                                                    kProfileSettingsReportLength, reading.settings[slot]);
    if (!Pause(kSequenceGapMs)) return;
  }
  for (int slot = 0; slot < kProfileCount; ++slot) {
    reading.buttonsResult[slot] = ExchangeSelected(slot, kSelectButtons, kButtonFunctionsReportId,
                                                   kButtonFunctionsReportLength, reading.buttons[slot]);
    if (!Pause(kSequenceGapMs)) return;
  }
  reading.complete = true;
}

int DeviceProtocol::TakeOverReading(const DeviceReading& reading, const KeptValues& keep) {
  if (steps_.saveFirmwareVersion) steps_.saveFirmwareVersion(reading.firmwareVersion);
  // A read cut short by a removal or the shut-down leaves the copy as it was: half a read is not the mouse.
  if (!reading.complete) return 0;
  if (ValidSlot(reading.activeProfile) && !keep.activeProfile) block_.CurrentProfile = reading.activeProfile;
  for (int slot = 0; slot < kProfileCount; ++slot) {
    if (reading.settingsResult[slot] == 0) continue;
    ProfileRecord& p = block_.profiles[slot];
    const int cpiX = p.Cpi_X, cpiY = p.Cpi_Y, sensX = p.Sensitivity_X, sensY = p.Sensitivity_Y;
    const int polling = p.PollingRate;
    if (!StoreProfileSettingsReport(reading.settings[slot], p)) continue;
    const std::uint8_t kept = keep.settings[slot];
    if ((kept & kKeepDpi) != 0) {
      p.Cpi_X = cpiX;
      p.Cpi_Y = cpiY;
    }
    if ((kept & kKeepSensitivity) != 0) {
      p.Sensitivity_X = sensX;
      p.Sensitivity_Y = sensY;
    }
    if ((kept & kKeepPolling) != 0) p.PollingRate = polling;
  }
  int kept = 0;
  for (int slot = 0; slot < kProfileCount; ++slot) {
    const bool stored = reading.buttonsResult[slot] != 0 &&
                        StoreButtonFunctionsReport(reading.buttons[slot], block_.profiles[slot]);
    kept = stored ? reading.buttonsResult[slot] : 0;
  }
  block_.MouseType = 0;
  std::memset(block_.ButtonChanged, 0, sizeof block_.ButtonChanged);
  if (kept != 0) {
    if (steps_.saveSettings) steps_.saveSettings();
    if (steps_.publishBlock) steps_.publishBlock();
    if (steps_.notifyReadDone) steps_.notifyReadDone();
  }
  return kept;
}

int DeviceProtocol::ReadAllFromDevice() {
  // About 2 KiB of reports: kept off the stack of the thread that reads.
  auto reading = std::make_unique<DeviceReading>();
  ReadAllFromDevice(*reading);
  return TakeOverReading(*reading);
}

int DeviceProtocol::WriteChangedToDevice() {
  // Nothing to write is not a failure.
  int result = 1;
  if (block_.SettingsChanged == 1) {
    result = WriteActiveProfile();
    if (!Pause(kSequenceGapMs)) return 0;
  }
  for (int slot = 0; slot < kProfileCount; ++slot) {
    if (block_.ProfileChanged[slot] != 1) continue;
    result = WriteProfileSettings(slot);
    if (!Pause(kSequenceGapMs)) return 0;
  }
  for (int slot = 0; slot < kProfileCount; ++slot) {
    bool changed = false;
    for (int b = 0; b < kButtonCount; ++b) changed = changed || block_.ButtonChanged[slot][b] == 1;
    if (!changed) continue;
    result = WriteButtonFunctions(slot);
    if (!Pause(kSequenceGapMs)) return 0;
  }
  return result;
}

}  // namespace sarn
