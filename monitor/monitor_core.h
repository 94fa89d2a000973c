// The monitor's decisions, apart from any window: the dispatch of device events, setting changes made on the
// mouse, the announcement timers, the countdown, the game check's decision, and attach and removal.
// Everything runs on the window thread; the window procedure turns messages and timer ticks into these calls,
// and the core acts only through the ports below.
//
// Announcements: every change stops the five sound timers and starts its own with 500 ms, so a burst of
// changes is announced once, with the state at the last tick:
//
//   event ──> stop 601..605, start 60x (500 ms) ──tick──> stop 60x, play cue computed now
//
// The on-screen display is told at once instead, with the value as it stands after the change, whether or
// not the cue's sound is switched on: it replaces what it shows in place, so a burst simply ends on the last
// value, and a timer would only delay it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/messages.h"
#include "common/profile_record.h"
#include "monitor/device/device_protocol.h"  // device states
#include "monitor/input/input_ports.h"      // window timers

namespace sarn {

// Window timers of the monitor's main window.
enum MonitorTimer : unsigned {
  kTimerGameCheck = 500,
  kTimerFirstRead = 502,
  kTimerOpenAttached = 503,  // the wait before an attached mouse is opened
  kTimerResumeCheck = 505,   // the wait after a resume from sleep before the mouse is looked for again
  kTimerCountdown = 600,
  kTimerSoundProfile = 601,
  kTimerSoundWindowsProfile = 602,
  kTimerSoundDpi = 603,
  kTimerSoundSensUp = 604,
  kTimerSoundSensDown = 605,
};
inline constexpr unsigned kAttachOpenDelayMs = 5000;
// After a resume the bus re-enumerates and the mouse, powered again, needs the same moment as after an attach.
inline constexpr unsigned kResumeCheckDelayMs = kAttachOpenDelayMs;
inline constexpr unsigned kGameCheckPeriodMs = 2000;
inline constexpr unsigned kSoundDelayMs = 500;



// Device jobs of the DeviceThread.
inline constexpr int kJobReadAll = 2;
inline constexpr int kJobWriteActiveProfile = 3;

// Counts the changes to the working copy, so that a full read, which carries the count from when it was asked
// for, can be judged when it comes back. After a change the host made to the mouse from the block (an Apply, a
// copy replaced from the block) parts of the reading may be older than the copy: the mouse is read again.
// A change the mouse made itself (profile, DPI, sensitivity, polling buttons) and a profile switch the host
// queued behind the read do not start the read again: the mouse holds them, so the reading is taken over with
// those values kept from the copy. (A DPI button pressed every few seconds would otherwise keep the reading
// from ever landing.)
class CopyChanges {
 public:
  [[nodiscard]] std::uint32_t Mark() const { return count_; }
  void HostChanged() { host_ = ++count_; }
  void ProfileChanged() { profile_ = ++count_; }
  void SettingsChanged(int slot, std::uint8_t what);  // kKeep* bits
  [[nodiscard]] bool HostChangedSince(std::uint32_t mark) const { return After(host_, mark); }
  [[nodiscard]] KeptValues KeptSince(std::uint32_t mark) const;

 private:
  // Wrap-safe "made after the mark" (2^31 changes would be needed to mislead it).
  static bool After(std::uint32_t change, std::uint32_t mark) {
    return static_cast<std::int32_t>(change - mark) > 0;
  }
  static constexpr int kKinds = 3;  // dpi, sensitivity, polling
  std::uint32_t count_ = 0;
  std::uint32_t host_ = 0;
  std::uint32_t profile_ = 0;
  std::uint32_t settings_[kProfileCount][kKinds] = {};
};

// What the core asks of the mouse and the device thread.
class MonitorDevice {
 public:
  virtual ~MonitorDevice() = default;
  virtual void OpenFeatureDevice() = 0;
  virtual void CloseFeatureDevice() = 0;
  // The library's watch of the mouse and the feature channel together: true when the mouse was opened.
  virtual bool OpenDevice() = 0;
  virtual void CloseDevice() = 0;
  virtual void RequestAbort() = 0;
  virtual void PostDeviceJob(int job) = 0;
};

// The monitor's surroundings: files, registry, windows, tray and sound.
class MonitorHost {
 public:
  virtual ~MonitorHost() = default;
  virtual void WriteBlock() = 0;                       // publish the monitor's copy in the shared block
  virtual void WriteCurrentProfile(int slot) = 0;      // "Setting"/"CurrentProfile"
  virtual void WriteDeviceState(int state) = 0;        // "Setting"/"Device"
  virtual void ApplyWindowsSettings(int slot) = 0;     // registry write and system parameters of that profile
  virtual bool OptionWindowExists() = 0;
  virtual void PostToOption(unsigned message) = 0;     // posted when the window exists
  virtual void CloseOptionWindow() = 0;
  virtual void PostOwnCommand(unsigned command) = 0;   // WM_COMMAND to the monitor's own window
  virtual void SetTrayIcon(bool shown) = 0;
  virtual void PlaySoundCue(int cue) = 0;
  virtual void ShowOnDisplay(OsdEvent event, int value) = 0;  // posted to the display when it runs
  virtual void Debug(std::string_view text) = 0;
};

// The host-side functions of buttons (input synthesis).
class ButtonActions {
 public:
  virtual ~ButtonActions() = default;
  virtual void TiltScroll(int direction) = 0;
  virtual void LaunchProgram(int button) = 0;                 // button number 1..18
  // A release lets go of exactly what that button's press put down, whatever its slot holds by then.
  virtual void ShortcutButton(int buttonIndex, bool pressed) = 0;
  virtual void StartMacroForButton(int buttonIndex) = 0;
  virtual void MediaButton(int functionCode, bool pressed) = 0;
  // Releases what every held shortcut and media button holds (keys, the volume key's repeat); a playing
  // macro goes on.
  virtual void ReleaseHeldKeys() = 0;
  // Releases whatever the functions hold: the held buttons' keys, the volume key's repeat, a playing macro.
  virtual void ReleaseAll() = 0;
};

class MonitorCore {
 public:
  MonitorCore(SharedBlock& block, std::atomic<int>& deviceState, WindowTimers& timers, MonitorDevice& device,
              MonitorHost& host, ButtonActions& actions)
      : block_(block), deviceState_(deviceState), timers_(timers), device_(device), host_(host), actions_(actions) {}

  // DeviceEvent (the joined code) and DevicePresence (its wParam: 1 attached, 0 removed; other values are
  // not presence changes and are ignored). Presence comes only as DevicePresence: a DeviceEvent whose type
  // is that of the presence codes (0x7F00) is the mouse's or another program's, and is ignored.
  void OnDeviceEvent(std::uint32_t code);
  void OnDevicePresence(std::uintptr_t wParam);
  // The console session was disconnected or connected (WM_WTSSESSION_CHANGE 2 and 1). While disconnected
  // the mouse is closed and not watched: whatever happened to it meanwhile, the connect (or a later arrival)
  // opens it afresh.
  void OnConsoleDisconnect();
  void OnConsoleConnect();
  // Resumed from sleep (either resume notice; they may both come): after kResumeCheckDelayMs the library
  // looks for the mouse again with fresh handles, and a mouse found is read again and taken into host mode
  // as after an attach, since it may have lost power and with it host mode; a mouse not found is removed.
  void OnResume();
  // Releases every pressed shortcut or media button before the host switches profile or takes new
  // settings; the mouse's own release of the last pressed one is then dropped once.
  void ReleaseHeldButton();
  // Everything held is let go: the mouse is gone, the session is left or the monitor ends, so no release
  // from the mouse will ever come for it.
  void ReleaseEverything();
  void SwitchProfile(int slot);
  // One tick of a window timer that the core owns (600, 601..605, 503, 505). False for other ids.
  bool OnTimer(unsigned id);
  // The game check's decision, given the executable of the foreground program ("" when none is known).
  void GameCheck(std::string_view foregroundExecutable);
  // Timer buttons (function codes 49 and 50).
  void TimerButton(std::uint32_t code);

  [[nodiscard]] bool finalSeconds() const { return finalSeconds_; }
  [[nodiscard]] bool timerRunning() const { return timerRunning_; }
  [[nodiscard]] int countdown() const { return countdown_; }
  [[nodiscard]] std::uint32_t lastEvent() const { return lastEvent_; }
  // The changes to the working copy, for judging a reading that comes back; the window adds its own.
  [[nodiscard]] CopyChanges& copyChanges() { return changes_; }

 private:
  void Dispatch(std::uint32_t code);
  void Presence(unsigned value);
  void SettingChange(unsigned type, unsigned value);
  void ButtonFunction(std::uint32_t code);
  void Announce(unsigned timer);
  void ShowProfile(OsdEvent event);
  void StopSoundTimers();
  void OpenAttachedMouse();
  void MouseOpened();
  void MouseGone();
  void ResumeCheck();
  [[nodiscard]] bool ActiveProfileValid() const { return block_.CurrentProfile >= 0 && block_.CurrentProfile < kProfileCount; }
  ProfileRecord& ActiveProfile() { return block_.profiles[block_.CurrentProfile]; }

  SharedBlock& block_;
  std::atomic<int>& deviceState_;
  WindowTimers& timers_;
  MonitorDevice& device_;
  MonitorHost& host_;
  ButtonActions& actions_;
  CopyChanges changes_;

  std::uint32_t lastEvent_ = 0;
  bool releasedByHost_ = false;
  bool attachPending_ = false;
  bool consoleDisconnected_ = false;
  int countdown_ = 0;
  bool timerRunning_ = false;
  bool finalSeconds_ = false;
};

}  // namespace sarn
