#include "monitor/monitor_core.h"

#include <cstdio>

#include "common/button_functions.h"
#include "monitor/device/device_link.h"
#include "monitor/game_check.h"
#include "monitor/sound_cues.h"

namespace sarn {
namespace {

constexpr unsigned kTypeTilt = 0x1000;
constexpr unsigned kTypeProfile = 0x3000;
constexpr unsigned kTypeButtonA = 0x4000;
constexpr unsigned kTypeShortcut = 0x5000;
constexpr unsigned kTypeLaunch = 0x6000;
constexpr unsigned kTypeNoAction = 0x7000;
constexpr unsigned kTypePresence = 0x7F00;
constexpr unsigned kTypeButtonB = 0x8000;
constexpr unsigned kTypeButtonC = 0x9000;
constexpr unsigned kTypeConfigure = 0xA000;
constexpr unsigned kTypeDpi = 0xB000;
constexpr unsigned kTypeSensitivity = 0xC000;
constexpr unsigned kTypePolling = 0xD000;
constexpr unsigned kTypeMedia = 0xF000;

constexpr unsigned TypeOf(std::uint32_t code) { return code >> 16; }
constexpr unsigned ValueOf(std::uint32_t code) { return code & 0xFFFFu; }
constexpr unsigned Byte0(std::uint32_t code) { return code & 0xFFu; }
constexpr unsigned Byte1(std::uint32_t code) { return (code >> 8) & 0xFFu; }
constexpr bool IsButtonNumber(unsigned n) { return n >= 1 && n <= kButtonCount; }

}  // namespace

void CopyChanges::SettingsChanged(int slot, std::uint8_t what) {
  if (slot < 0 || slot >= kProfileCount) return;
  ++count_;
  for (int kind = 0; kind < kKinds; ++kind) {
    if ((what & (1u << kind)) != 0) settings_[slot][kind] = count_;
  }
}

KeptValues CopyChanges::KeptSince(std::uint32_t mark) const {
  KeptValues kept;
  kept.activeProfile = After(profile_, mark);
  for (int slot = 0; slot < kProfileCount; ++slot) {
    for (int kind = 0; kind < kKinds; ++kind) {
      if (After(settings_[slot][kind], mark)) kept.settings[slot] |= static_cast<std::uint8_t>(1u << kind);
    }
  }
  return kept;
}

void MonitorCore::OnDeviceEvent(std::uint32_t code) {
  if (TypeOf(code) == kTypePresence) {
    // The HID library passes the mouse's codes through: a mouse, or any program posting DeviceEvent, could
    // otherwise fake a removal. Presence is DevicePresence's alone.
    char text[64];
    std::snprintf(text, sizeof text, "DeviceEvent %08X ignored: presence comes as DevicePresence\n",
                  static_cast<unsigned>(code));
    host_.Debug(text);
    return;
  }
  if (releasedByHost_ && code == lastEvent_) {
    // The mouse's own release of a button the host already released.
    releasedByHost_ = false;
    return;
  }
  lastEvent_ = code;
  releasedByHost_ = false;
  Dispatch(code);
}

void MonitorCore::OnDevicePresence(std::uintptr_t wParam) {
  const std::uint32_t code = PresenceCode(wParam);
  if (code == kPresenceUnknown) return;
  releasedByHost_ = false;
  lastEvent_ = code;
  Presence(ValueOf(code));
}

void MonitorCore::ReleaseEverything() {
  actions_.ReleaseAll();
  // The held button is released now; its own release, should it still come, finds nothing held.
  releasedByHost_ = false;
  lastEvent_ = 0;
}

void MonitorCore::ReleaseHeldButton() {
  unsigned type = TypeOf(lastEvent_);
  if ((type == kTypeShortcut || type == kTypeMedia) && Byte1(lastEvent_) == 0) {
    lastEvent_ |= 0x100u;
    releasedByHost_ = true;
    Dispatch(lastEvent_);
  }
  // The last event tells of one button only: others may be held as well (two shortcuts, or a DPI step on
  // the mouse after the press).
  actions_.ReleaseHeldKeys();
}

void MonitorCore::SwitchProfile(int slot) {
  if (slot < 0 || slot >= kProfileCount) return;
  ReleaseHeldButton();
  block_.CurrentProfile = slot;
  host_.WriteBlock();
  // The write is queued behind any read: the copy's profile is the one the mouse will have.
  changes_.ProfileChanged();
  device_.PostDeviceJob(kJobWriteActiveProfile);
  host_.ApplyWindowsSettings(slot);
  if (host_.OptionWindowExists()) host_.PostToOption(kMsgProfileSwitched);
}

void MonitorCore::Presence(unsigned value) {
  if (value == 1 && deviceState_.load() != kDeviceOpen && !attachPending_) {
    // The mouse needs a moment after it appears; a timer keeps the window thread answering meanwhile.
    attachPending_ = true;
    timers_.StartTimer(kTimerOpenAttached, kAttachOpenDelayMs);
  } else if (value == 2) {
    if (attachPending_) {
      // Gone again before it was opened: there is nothing to open any more.
      attachPending_ = false;
      timers_.StopTimer(kTimerOpenAttached);
    }
    MouseGone();
  }
}

void MonitorCore::MouseGone() {
  if (deviceState_.load() == kDeviceRemoved) return;
  ReleaseEverything();
  deviceState_.store(kDeviceRemoved);
  device_.CloseFeatureDevice();
  device_.RequestAbort();
  host_.SetTrayIcon(false);
  timers_.StopTimer(kTimerGameCheck);
  host_.WriteDeviceState(0);
  host_.CloseOptionWindow();
}

void MonitorCore::OnConsoleDisconnect() {
  consoleDisconnected_ = true;
  ReleaseEverything();
  if (attachPending_) {
    attachPending_ = false;
    timers_.StopTimer(kTimerOpenAttached);
  }
  timers_.StopTimer(kTimerResumeCheck);
  timers_.StopTimer(kTimerGameCheck);
  host_.WriteDeviceState(0);
  device_.RequestAbort();
  device_.CloseDevice();
  // Not open any more: kept "open", the mouse's arrival after the connect would be taken for a repeat and
  // ignored, and the feature channel would stay closed.
  deviceState_.store(kDeviceClosed);
}

void MonitorCore::OnConsoleConnect() {
  consoleDisconnected_ = false;
  if (device_.OpenDevice()) {
    MouseOpened();
  } else {
    // Unplugged meanwhile: as a removal (no icon); the watch is open again, so its arrival opens it.
    MouseGone();
  }
}

void MonitorCore::OnResume() { timers_.StartTimer(kTimerResumeCheck, kResumeCheckDelayMs); }

void MonitorCore::ResumeCheck() {
  // An arrival waits to be opened (the library found the mouse again by itself): that opening reads it.
  if (attachPending_) return;
  // While the console is disconnected the mouse stays closed; the connect looks for it.
  if (consoleDisconnected_) return;
  // What was known before the sleep is not trusted: the handles may point at a device that is no more.
  device_.RequestAbort();
  device_.CloseDevice();
  if (device_.OpenDevice()) {
    MouseOpened();
  } else {
    MouseGone();
  }
}

void MonitorCore::Dispatch(std::uint32_t code) {
  unsigned type = TypeOf(code);
  unsigned value = ValueOf(code);
  switch (type) {
    case kTypeTilt:
      if (value == 1) actions_.TiltScroll(-1);
      else if (value == 255) actions_.TiltScroll(+1);
      break;
    case kTypeProfile:
    case kTypeDpi:
    case kTypeSensitivity:
    case kTypePolling:
    case kTypeNoAction:
      SettingChange(type, value);
      break;
    case kTypeButtonA:
    case kTypeShortcut:
    case kTypeButtonB:
    case kTypeButtonC:
      if (IsButtonNumber(Byte0(code))) ButtonFunction(code);
      break;
    case kTypeLaunch:
      if (IsButtonNumber(Byte0(code)) && Byte1(code) == 0) actions_.LaunchProgram(static_cast<int>(Byte0(code)));
      break;
    case kTypeConfigure:
      if (value == 1) host_.PostOwnCommand(kCmdOpenConfiguration);
      break;
    case kTypeMedia:
      if (Byte0(code) >= kFnOpenPlayer && Byte0(code) <= kFnVolumeDown) {
        actions_.MediaButton(static_cast<int>(Byte0(code)), Byte1(code) == 0);
      }
      break;
    default: {
      char text[48];
      std::snprintf(text, sizeof text, "DeviceEvent %08X: unknown type, ignored\n", static_cast<unsigned>(code));
      host_.Debug(text);
      break;
    }
  }
}

void MonitorCore::ButtonFunction(std::uint32_t code) {
  int index = static_cast<int>(Byte0(code)) - 1;
  bool pressed = Byte1(code) == 0;
  // What a press put down comes up with the button's release whatever the button does now: the settings may
  // have been read again from the configuration window since, with another function in this slot.
  if (!pressed) actions_.ShortcutButton(index, false);
  if (!ActiveProfileValid()) return;
  switch (ActiveProfile().MacroKeyInfo[index].functionCode) {
    case kFnShortcut:
      if (pressed) actions_.ShortcutButton(index, true);
      break;
    case kFnMacro:
      if (pressed) actions_.StartMacroForButton(index);
      break;
    case kFnTimer:
    case kFnStopTimer:
      TimerButton(code);
      break;
    default:
      break;
  }
}

void MonitorCore::SettingChange(unsigned type, unsigned value) {
  bool changed = false;
  if (type == kTypeProfile) {
    if (value >= 1 && value <= 5) {
      // The held button's release would be looked up in the new profile, where it may be another function.
      actions_.ReleaseAll();
      block_.CurrentProfile = static_cast<int>(value) - 1;
      changes_.ProfileChanged();
      host_.WriteCurrentProfile(block_.CurrentProfile);
      char text[32];
      std::snprintf(text, sizeof text, "Profile Id: %u \n", value);
      host_.Debug(text);
      ShowProfile(OsdEvent::kProfile);
      if (block_.SoundProfile == 1) Announce(kTimerSoundProfile);
      changed = true;
    }
  } else if (type == kTypeNoAction) {
    changed = value == 1;
  } else if (ActiveProfileValid()) {
    ProfileRecord& p = ActiveProfile();
    if (type == kTypeDpi && value >= 1 && value <= 7) {
      p.Cpi_X = p.Cpi_Y = static_cast<int>(value);
      changes_.SettingsChanged(block_.CurrentProfile, kKeepDpi);
      host_.ShowOnDisplay(OsdEvent::kDpi, p.Cpi_X);
      if (block_.SoundDpi == 1) Announce(kTimerSoundDpi);
      changed = true;
    } else if (type == kTypeSensitivity) {
      int x = static_cast<int>(value & 0xFF);
      int y = static_cast<int>(value >> 8);
      bool up = x > p.Sensitivity_X;
      bool down = x < p.Sensitivity_X;
      if (x >= 1 && x <= 10) { p.Sensitivity_X = x; changed = true; }
      if (y >= 1 && y <= 10) { p.Sensitivity_Y = y; changed = true; }
      if (changed) changes_.SettingsChanged(block_.CurrentProfile, kKeepSensitivity);
      if (up) host_.ShowOnDisplay(OsdEvent::kSensitivityUp, p.Sensitivity_X);
      else if (down) host_.ShowOnDisplay(OsdEvent::kSensitivityDown, p.Sensitivity_X);
      if (block_.SoundSens == 1) {
        if (up) Announce(kTimerSoundSensUp);
        else if (down) Announce(kTimerSoundSensDown);
      }
    } else if (type == kTypePolling && value >= 1 && value <= 4) {
      p.PollingRate = static_cast<int>(value) - 1;
      changes_.SettingsChanged(block_.CurrentProfile, kKeepPolling);
      changed = true;
    }
  }
  if (!changed || type == kTypeNoAction) return;
  // The mouse made the change itself: nothing is written to it.
  host_.WriteBlock();
  if (type == kTypeProfile) {
    host_.ApplyWindowsSettings(block_.CurrentProfile);
    host_.PostToOption(kMsgProfileSwitched);
  } else {
    host_.PostToOption(kMsgSensorChanged);
  }
}

void MonitorCore::ShowProfile(OsdEvent event) {
  if (ActiveProfileValid()) host_.ShowOnDisplay(event, block_.CurrentProfile);
}

void MonitorCore::StopSoundTimers() {
  for (unsigned id = kTimerSoundProfile; id <= kTimerSoundSensDown; ++id) timers_.StopTimer(id);
}

void MonitorCore::Announce(unsigned timer) {
  // The last seconds of a countdown belong to its own cues.
  if (finalSeconds_) return;
  StopSoundTimers();
  timers_.StartTimer(timer, kSoundDelayMs);
}

bool MonitorCore::OnTimer(unsigned id) {
  switch (id) {
    case kTimerOpenAttached:
      timers_.StopTimer(id);
      if (attachPending_) {
        attachPending_ = false;
        OpenAttachedMouse();
      }
      return true;
    case kTimerResumeCheck:
      timers_.StopTimer(id);
      ResumeCheck();
      return true;
    case kTimerSoundProfile:
    case kTimerSoundWindowsProfile:
    case kTimerSoundDpi:
    case kTimerSoundSensUp:
    case kTimerSoundSensDown: {
      timers_.StopTimer(id);
      // The cue is taken from the state at the tick, not from when the change was announced.
      int cue = -1;
      if (id == kTimerSoundProfile && ActiveProfileValid()) cue = kCueProfileBase + block_.CurrentProfile;
      if (id == kTimerSoundWindowsProfile) cue = kCueWindowsProfile;
      if (id == kTimerSoundDpi && ActiveProfileValid()) cue = kCueDpiBase + ActiveProfile().Cpi_X;
      if (id == kTimerSoundSensUp) cue = kCueSensitivityUp;
      if (id == kTimerSoundSensDown) cue = kCueSensitivityDown;
      if (cue >= 0) host_.PlaySoundCue(cue);
      return true;
    }
    case kTimerCountdown:
      --countdown_;
      if (countdown_ <= 5 && !finalSeconds_) finalSeconds_ = true;
      if (countdown_ >= 1 && countdown_ <= 10) host_.ShowOnDisplay(OsdEvent::kTimerCountdown, countdown_);
      if (countdown_ == 10) host_.PlaySoundCue(kCueTenSeconds);
      if (countdown_ >= 1 && countdown_ <= 5) host_.PlaySoundCue(countdown_);
      if (countdown_ <= 0) {
        timers_.StopTimer(kTimerCountdown);
        host_.PlaySoundCue(kCueGo);
        timerRunning_ = false;
        finalSeconds_ = false;
      }
      return true;
    default:
      return false;
  }
}

void MonitorCore::OpenAttachedMouse() {
  if (deviceState_.load() == kDeviceOpen) return;
  device_.OpenFeatureDevice();
  MouseOpened();
}

// The job reads everything and ends with host mode on.
void MonitorCore::MouseOpened() {
  // Opened afresh and read again now: a resume check still waiting has nothing older left to check.
  timers_.StopTimer(kTimerResumeCheck);
  deviceState_.store(kDeviceOpen);
  device_.PostDeviceJob(kJobReadAll);
  host_.SetTrayIcon(true);
  host_.WriteDeviceState(1);
  timers_.StartTimer(kTimerGameCheck, kGameCheckPeriodMs);
}

void MonitorCore::TimerButton(std::uint32_t code) {
  if (Byte1(code) == 1 || !IsButtonNumber(Byte0(code)) || !ActiveProfileValid()) return;
  const ButtonSlot& slot = ActiveProfile().MacroKeyInfo[Byte0(code) - 1];
  if (slot.functionCode == kFnStopTimer) {
    if (!timerRunning_) return;
    timers_.StopTimer(kTimerCountdown);
    timerRunning_ = false;
    finalSeconds_ = false;
    host_.ShowOnDisplay(OsdEvent::kTimerStopped, 0);
    host_.PlaySoundCue(kCueTimerStopped);
  } else if (slot.functionCode == kFnTimer) {
    if (timerRunning_) timers_.StopTimer(kTimerCountdown);
    timerRunning_ = true;
    countdown_ = static_cast<int>(slot.timerValue);
    host_.ShowOnDisplay(OsdEvent::kTimerStarted, countdown_);
    host_.PlaySoundCue(kCueTimerActivated);
    timers_.StartTimer(kTimerCountdown, 1000);
    if (countdown_ == 10) host_.PlaySoundCue(kCueTenSeconds);
  }
}

void MonitorCore::GameCheck(std::string_view foregroundExecutable) {
  int slot = MatchGameProfile(block_.profiles, foregroundExecutable);
  unsigned soundTimer = 0;
  if (slot >= 0) {
    if (slot == block_.CurrentProfile) return;
    SwitchProfile(slot);
    ShowProfile(OsdEvent::kProfile);
    soundTimer = kTimerSoundProfile;
  } else {
    int windows = block_.WindowsProfile;
    if (windows < 0 || windows >= kProfileCount || host_.OptionWindowExists() || block_.CurrentProfile == windows) {
      return;
    }
    SwitchProfile(windows);
    ShowProfile(OsdEvent::kWindowsProfile);
    soundTimer = kTimerSoundWindowsProfile;
  }
  if (block_.SoundProfile == 1) Announce(soundTimer);
}

}  // namespace sarn
