// Sarn[+]Monitor: the tray program. A hidden window owns the mouse, turns its events into actions through
// MonitorCore and the input engines, and publishes the settings in the shared block. This file only wires
// the Windows side together: messages become core calls, and the core's ports become Win32 calls.
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "common/keyboard_layout.h"
#include "common/late_library_win.h"
#include "common/private_profile.h"
#include "common/registry.h"
#include "common/settings_file.h"
#include "common/shared_block.h"
#include "common/text_encoding.h"
#include "monitor/device/device_clock.h"
#include "monitor/device/device_library.h"
#include "monitor/device/device_protocol.h"
#include "monitor/device/device_thread_win.h"
#include "monitor/game_check.h"
#include "monitor/input/input_services_win.h"
#include "monitor/instance_start.h"
#include "monitor/monitor_core.h"
#include "monitor/sound_cues.h"
#include "monitor/tray_icon_win.h"
#include "monitor/windows_settings.h"

namespace sarn {
namespace {

constexpr const char* kInstanceMutexName = "ZORVAN_Sarn+_Mouse_Normal_Monitor";
constexpr const char* kWindowClass = "SarnMonitorWnd";
constexpr const char* kTrayTip = "ZORVAN Sarn[+]";
constexpr UINT kMsgTrayCallback = 1036;
constexpr UINT kMsgDeviceJob = 1649;
constexpr UINT kTrayId = 102;
constexpr UINT kMsgWtsSessionChange = 0x02B1;
constexpr UINT kMsgIEScroll = 1238;
// Retries a tray icon the taskbar did not take (Explorer not ready at logon).
constexpr UINT kTimerTrayRetry = 504;
// The DeviceThread left a finished read in the window's slot. The message carries nothing: any program of the
// session can post it, so without a reading waiting it does nothing.
constexpr UINT kMsgDeviceReading = WM_APP + 1;

void Debug(const char* text) { OutputDebugStringA(text); }

HWND FindTitled(const char* title) { return FindWindowA(nullptr, title); }

void PostCloseIfExists(const char* title) {
  if (HWND w = FindTitled(title)) PostMessageA(w, WM_CLOSE, 0, 0);
}

bool FileExists(const std::filesystem::path& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The executable name of a process, lower case; empty when unknown.
std::string ProcessExecutable(std::uint32_t processId) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return {};
  std::string name;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == processId) {
      name = entry.szExeFile;
      break;
    }
  }
  CloseHandle(snapshot);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// True when a thread other than the caller owns the instance mutex: another monitor runs. The caller's own
// ownership (the monitor's main thread) is acquired once more and given back.
bool OtherMonitorRuns() {
  HANDLE mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kInstanceMutexName);
  if (mutex == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  const DWORD wait = WaitForSingleObject(mutex, 0);
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) ReleaseMutex(mutex);
  CloseHandle(mutex);
  return wait == WAIT_TIMEOUT;
}

void ShowStartError(const char* text) {
  MessageBoxA(nullptr, text, kTrayTip, MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
}

class MonitorWindow final : public WindowTimers, public MonitorDevice, public MonitorHost, public ButtonActions {
 public:
  explicit MonitorWindow(bool openConfiguration) : openConfiguration_(openConfiguration) {}

  // False before creation and once the monitor has shut down (after the session ended, the window may
  // still get messages until Windows ends the process; nothing of ours is left to act on them).
  [[nodiscard]] bool Ready() const { return core_ != nullptr && !shutDown_; }
  LRESULT OnCreate(HWND hwnd);
  void OnDestroy() { ShutDown(false); }
  // WM_ENDSESSION(TRUE): Windows ends the process after this returns, without WM_DESTROY.
  void OnSessionEnd() { ShutDown(true); }
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

  // WindowTimers
  void StartTimer(unsigned id, unsigned periodMs) override { SetTimer(hwnd_, id, periodMs, nullptr); }
  void StopTimer(unsigned id) override { KillTimer(hwnd_, id); }

  // MonitorDevice
  void OpenFeatureDevice() override { (void)link_->Open_FeatureDevice(); }
  void CloseFeatureDevice() override { (void)link_->Close_FeatureDevice(); }
  bool OpenDevice() override;
  void CloseDevice() override;
  void RequestAbort() override { sarn::RequestAbort(flags_); }
  // The DeviceThread never reads the working copy: a read carries the count of the copy's changes (to tell,
  // when it comes back, what changed meanwhile) and a profile write carries its slot.
  void PostDeviceJob(int job) override {
    const std::intptr_t parameter = job == kJobReadAll ? static_cast<std::intptr_t>(core_->copyChanges().Mark())
                                                       : static_cast<std::intptr_t>(block_->CurrentProfile);
    (void)deviceThread_.Post(job, parameter);
  }

  // MonitorHost: the core writes the block after every change it made to the copy.
  void WriteBlock() override { PublishBlock(); }
  void WriteCurrentProfile(int slot) override { (void)sarn::WriteCurrentProfile(folderPath_, slot); }
  void WriteDeviceState(int state) override { (void)sarn::WriteDeviceState(folderPath_, state); }
  void ApplyWindowsSettings(int slot) override {
    if (slot < 0 || slot >= kProfileCount) return;
    if (registry_) (void)WriteMouseRegistry(block_->profiles[slot], *registry_);
    ApplyActiveWindowsSettings();
  }
  bool OptionWindowExists() override { return FindTitled(kOptionWindowTitle) != nullptr; }
  void PostToOption(unsigned message) override {
    if (HWND w = FindTitled(kOptionWindowTitle)) PostMessageA(w, message, 0, 0);
  }
  void CloseOptionWindow() override { PostCloseIfExists(kOptionWindowTitle); }
  void PostOwnCommand(unsigned command) override { PostMessageA(hwnd_, WM_COMMAND, command, 0); }
  void SetTrayIcon(bool shown) override { shown ? AddTrayIcon() : RemoveTrayIcon(); }
  void PlaySoundCue(int cue) override {
    (void)PlaySoundLate(nullptr, SND_PURGE);
    const std::filesystem::path path = SoundCuePath(folderPath_, cue, block_->SoundVolume);
    if (path.empty()) return;
    const std::string trace = "PlaySoundCue " + WideToUtf8(path.wstring()) + "\n";
    Debug(trace.c_str());
    (void)PlaySoundLate(path.c_str(), SND_FILENAME | SND_NOWAIT | SND_ASYNC);
  }
  // Posted, never sent: a display that hangs must not hold up the mouse's events.
  void ShowOnDisplay(OsdEvent event, int value) override {
    if (HWND osd = FindTitled(kOsdWindowTitle)) {
      PostMessageA(osd, kMsgOsdShow, static_cast<WPARAM>(event), static_cast<LPARAM>(value));
    }
  }
  void Debug(std::string_view text) override { sarn::Debug(std::string(text).c_str()); }

  // ButtonActions: the functions take the active profile's slot.
  void TiltScroll(int direction) override {
    if (ActiveValid()) input_->Tilt().TiltScroll(direction, Active().TiltSpeed);
  }
  void LaunchProgram(int button) override {
    if (ActiveValid()) input_->Keys().LaunchProgram(Active().MacroKeyInfo[button - 1]);
  }
  void ShortcutButton(int index, bool pressed) override {
    if (!pressed) input_->Keys().ReleaseShortcut(index);  // what the press put down, whatever the slot is now
    else if (ActiveValid()) input_->Keys().ShortcutButton(Active(), index, true);
  }
  void StartMacroForButton(int index) override {
    if (ActiveValid()) input_->Player().StartMacroForButton(Active().MacroKeyInfo[index]);
  }
  void MediaButton(int code, bool pressed) override {
    input_->Keys().MediaButton(code, pressed, ActiveValid() ? Active().MediaOption : 0);
  }
  void ReleaseHeldKeys() override { input_->Keys().ReleaseAll(); }
  void ReleaseAll() override { input_->ReleaseAll(); }

 private:
  [[nodiscard]] bool ActiveValid() const { return block_->CurrentProfile >= 0 && block_->CurrentProfile < kProfileCount; }
  ProfileRecord& Active() { return block_->profiles[block_->CurrentProfile]; }
  void PublishBlock() {
    if (store_) (void)store_->WriteBlock(*block_);
  }
  // The copy was replaced from the block (an Apply, or a read the configuration application asked for).
  void ReadBlockIntoCopy() {
    core_->copyChanges().HostChanged();
    if (store_) (void)store_->ReadBlock(*block_);
  }
  void ReleaseUntilRefused();
  bool OpenSharedBlock();
  void ShutDown(bool sessionEnding);

  void ApplyActiveWindowsSettings();
  void OnApplyAllSetting(WPARAM restoreDefaults);
  LRESULT OnCopyData(const COPYDATASTRUCT* data);
  void OnSystrayNotify(LPARAM mouseMessage);
  void OnCustomizer();
  void AddTrayIcon();
  void RemoveTrayIcon();
  void RegisterSessionNotification();
  void UnregisterSessionNotification();
  void RunDeviceJob(int job, std::intptr_t parameter);  // on the DeviceThread
  void OnDeviceReading();

  bool openConfiguration_;
  HWND hwnd_ = nullptr;
  std::filesystem::path folderPath_;
  std::unique_ptr<SharedBlock> block_ = std::make_unique<SharedBlock>();
  NotificationSettings notification_{};
  UnreadFiles unread_;  // files unreadable at start: never saved over until they were read
  std::unique_ptr<Win32SharedBlock> store_;
  std::unique_ptr<RegistryPort> registry_;
  std::unique_ptr<DeviceLibrary> link_;
  DeviceFlags flags_;
  std::unique_ptr<DeviceProtocol> protocol_;
  Win32DeviceThread deviceThread_{kMsgDeviceJob};
  // Where the DeviceThread leaves a finished reading for the window (the latest one wins).
  std::mutex readingLock_;
  std::unique_ptr<DeviceReading> readingWaiting_;
  HMODULE wtsapi_ = nullptr;
  bool created_ = false;      // false: creation was refused, there is nothing of ours to shut down
  bool shutDown_ = false;     // the shut-down ran (at the session's end or on WM_DESTROY); it runs once
  bool tookOverBlock_ = false;  // the block existed without a monitor and is ours now
  UINT taskbarCreated_ = 0;   // the registered "TaskbarCreated" message
  TrayIconKeeper tray_{kTimerTrayRetry};
  ForegroundProgram foreground_{ProcessExecutable};  // the game check's view of the foreground program

  std::unique_ptr<Win32InputServices> input_;  // macro player, shortcuts, media, tilt

  std::unique_ptr<MonitorCore> core_;
};

LRESULT MonitorWindow::OnCreate(HWND hwnd) {
  hwnd_ = hwnd;
  tray_.Attach(hwnd, kTrayId, kMsgTrayCallback, kTrayTip);
  folderPath_ = ProgramFolder();
  RegisterSessionNotification();
  registry_ = MakeWindowsRegistry();
  link_ = LoadDeviceLibrary(folderPath_);

  ClearSharedBlock(*block_);
  SettingsContext context{folderPath_, registry_.get()};
  (void)LoadSettings(*block_, context, &unread_);
  (void)LoadNotificationSettings(notification_, folderPath_);
  if (block_->QuickHelpLan == -1) block_->QuickHelpLan = DetectLanguage(SystemDefaultLanguageId());

  // A second monitor cannot own the block: refusing the window ends this program, which leaves the running
  // monitor, its mouse and the windows around it alone.
  if (!OpenSharedBlock()) {
    ReleaseUntilRefused();
    return -1;
  }
  created_ = true;
  PublishBlock();
  // A configuration window that outlived the monitor before us still shows that monitor's block: it reloads
  // the block on this message, as after a profile switch.
  if (tookOverBlock_) PostToOption(kMsgProfileSwitched);

  // The take-over of a read runs on the window thread (OnDeviceReading), so every step below does too.
  DeviceHostSteps steps;
  steps.saveFirmwareVersion = [this](int version) { (void)WriteFirmwareVersion(folderPath_, version); };
  steps.saveSettings = [this] { (void)SaveSettings(*block_, SettingsContext{folderPath_, registry_.get()}, &unread_); };
  steps.publishBlock = [this] { PublishBlock(); };
  steps.notifyReadDone = [this] { PostToOption(kMsgDeviceReadDone); };
  protocol_ = std::make_unique<DeviceProtocol>(*link_, SystemDeviceClock(), flags_, *block_, steps);

  input_ = std::make_unique<Win32InputServices>(reinterpret_cast<WindowHandle>(hwnd));
  (void)input_->Start();
  (void)deviceThread_.Start([this](int job, std::intptr_t parameter) { RunDeviceJob(job, parameter); });
  taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
  core_ = std::make_unique<MonitorCore>(*block_, flags_.deviceState, *this, *this, *this, *this);

  SetWindowLongPtrA(hwnd, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
  if (OpenDevice()) {
    SetTimer(hwnd, kTimerGameCheck, kGameCheckPeriodMs, nullptr);
    SetTimer(hwnd, kTimerFirstRead, 200, nullptr);
    AddTrayIcon();
    if (openConfiguration_) OnCustomizer();
    flags_.deviceState.store(kDeviceOpen);
  } else {
    flags_.deviceState.store(kDeviceClosed);
  }
  WriteDeviceState(flags_.deviceState.load() == kDeviceOpen ? 1 : 0);
  ApplyActiveWindowsSettings();

  const std::filesystem::path osd = folderPath_ / L"Sarn[+]OSD.exe";
  if (FileExists(osd)) {
    EnsureComForShell();
    ShellExecuteW(nullptr, L"open", osd.c_str(), nullptr, nullptr, SW_SHOW);
  }
  return 0;
}

// The block is ours when we create it, or when it outlived its monitor: a configuration window keeps it (and
// its mutex) as long as it runs, and a monitor that crashed left it behind. Only a running monitor, the owner
// of the instance mutex, keeps us out.
bool MonitorWindow::OpenSharedBlock() {
  store_ = Win32SharedBlock::CreateForMonitor();
  if (store_) return true;
  if (OtherMonitorRuns()) return false;
  store_ = Win32SharedBlock::TakeOverForMonitor();
  if (!store_ || !store_->mapped()) {
    store_.reset();
    Debug("CMonitorWnd the shared block of an earlier monitor cannot be taken over\n");
    ShowStartError(
        "The monitor cannot start: the configuration window of an earlier monitor still holds the settings it "
        "shares with the monitor, and they cannot be taken over.\n\nClose the configuration window, then start "
        "the monitor again.");
    return false;
  }
  Debug("CMonitorWnd took over the shared block of an earlier monitor\n");
  tookOverBlock_ = true;
  return true;
}

void MonitorWindow::ReleaseUntilRefused() {
  // Only what this instance took itself: no device call, no message to any other window.
  UnregisterSessionNotification();
  link_.reset();
  registry_.reset();
}

void MonitorWindow::ShutDown(bool sessionEnding) {
  if (!created_ || shutDown_) return;
  shutDown_ = true;
  // Nothing held may outlive the monitor: a shortcut's keys, the volume repeat, a playing macro.
  if (core_) core_->ReleaseEverything();
  // At the session's end Windows gives a few seconds: every pause and ready wait of the mouse is cut short
  // (they end within one 100 ms step), so what remains is one report exchange at a time.
  if (sessionEnding) flags_.abortRequested.store(1);
  // A full read still running would end with host mode on again after we switched it off: the device
  // thread is stopped first (the job running ends within 100 ms, the jobs queued behind it do nothing), then
  // the mouse is handed back.
  RequestStop(flags_);
  deviceThread_.Stop();
  // Host mode off is sent without waiting for the mouse's confirmation when the session ends: the polls
  // could take seconds with a busy mouse, and nothing could be done about a refusal anyway.
  if (sessionEnding) flags_.abortRequested.store(1);
  if (protocol_ && flags_.deviceState.load() == kDeviceOpen) (void)protocol_->WriteHostMode(false);
  KillTimer(hwnd_, kTimerGameCheck);
  KillTimer(hwnd_, kTimerFirstRead);
  KillTimer(hwnd_, kTimerResumeCheck);
  for (unsigned id = kTimerSoundProfile; id <= kTimerSoundSensDown; ++id) KillTimer(hwnd_, id);
  PostCloseIfExists(kOptionWindowTitle);
  for (const char* title : {kOsdWindowTitle, kOsdPop3Title, kOsdCpuRamTitle, kOsdSkypeTitle}) PostCloseIfExists(title);
  if (link_) CloseDevice();
  // A playing macro is stopped and releases what it holds, so Exit never waits for a long macro.
  if (input_) input_->Shutdown();
  UnregisterSessionNotification();
  store_.reset();
  protocol_.reset();
  link_.reset();
  // Last: the one call that waits for another process (Explorer, which may itself be ending with the
  // session); everything that matters is done before it.
  RemoveTrayIcon();
}

void MonitorWindow::UnregisterSessionNotification() {
  if (wtsapi_) {
    using Unregister = BOOL(WINAPI*)(HWND);
    if (auto unregister = reinterpret_cast<Unregister>(
            reinterpret_cast<void*>(GetProcAddress(wtsapi_, "WTSUnRegisterSessionNotification")))) {
      unregister(hwnd_);
    }
    FreeLibrary(wtsapi_);
    wtsapi_ = nullptr;
  }
}

void MonitorWindow::RegisterSessionNotification() {
  wtsapi_ = static_cast<HMODULE>(LoadSystemLibrary(L"wtsapi32.dll"));
  if (!wtsapi_) return;
  using Register = BOOL(WINAPI*)(HWND, DWORD);
  auto registerFn = reinterpret_cast<Register>(
      reinterpret_cast<void*>(GetProcAddress(wtsapi_, "WTSRegisterSessionNotification")));
  if (!registerFn) return;
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (registerFn(hwnd_, 0)) return;
    Sleep(1000);
  }
}

bool MonitorWindow::OpenDevice() {
  (void)link_->Open_DevMonitor(hwnd_, kDeviceEventMessage, kDevicePresenceMessage);
  return link_->Open_FeatureDevice() != 0;
}

void MonitorWindow::CloseDevice() {
  (void)link_->Close_DevMonitor();
  (void)link_->Close_FeatureDevice();
}

void MonitorWindow::ApplyActiveWindowsSettings() {
  if (!ActiveValid()) return;
  Win32SystemMouseSettings system(hwnd_);
  sarn::ApplyWindowsSettings(Active(), registry_.get(), system);
}

void MonitorWindow::OnApplyAllSetting(WPARAM restoreDefaults) {
  core_->ReleaseHeldButton();
  ReadBlockIntoCopy();
  ApplyActiveWindowsSettings();
  (void)LoadNotificationSettings(notification_, folderPath_);
  if (HWND osd = FindTitled(kOsdWindowTitle)) PostMessageA(osd, kMsgOsdSettings, 0, OsdSettingsParam(notification_));
  if (flags_.deviceState.load() == kDeviceOpen) {
    // The configuration application waits in its send until the mouse has taken the change.
    if (restoreDefaults == 1) (void)protocol_->WriteRestoreDefaults();
    else (void)protocol_->WriteChangedToDevice();
  }
}

LRESULT MonitorWindow::OnCopyData(const COPYDATASTRUCT* data) {
  std::string text;
  if (data == nullptr || !NotificationTextFromCopyData(data->lpData, data->cbData, text)) return 1;
  (void)EditIniFile(SettingsFilePath(folderPath_),
                    [&](IniDocument& ini) { ini.SetString("OSDData", "Message", text); });
  if (HWND osd = FindTitled(kOsdWindowTitle); osd && flags_.deviceState.load() == kDeviceOpen) {
    PostMessageA(osd, kMsgOsdText, 50, 0);
  }
  return 1;
}

void MonitorWindow::OnCustomizer() {
  Debug("CMonitorWnd OnCustomizer\n");
  if (HWND option = FindTitled(kOptionWindowTitle)) {
    Debug("CMonitorWnd OnCustomizer hWnd!=NULL\n");
    if (IsIconic(option)) ShowWindow(option, SW_SHOWNORMAL);
    SetForegroundWindow(option);
    SetActiveWindow(option);
    return;
  }
  Debug("CMonitorWnd OnCustomizer hWnd==NULL\n");
  const std::filesystem::path option = folderPath_ / L"Sarn[+]Option.exe";
  EnsureComForShell();
  ShellExecuteW(nullptr, L"open", option.c_str(), nullptr, nullptr, SW_SHOW);
}

void MonitorWindow::OnSystrayNotify(LPARAM mouseMessage) {
  HWND popup = GetLastActivePopup(hwnd_);
  switch (mouseMessage) {
    case WM_LBUTTONDOWN:
      if (IsIconic(popup)) ShowWindow(popup, SW_SHOWNORMAL);
      SetForegroundWindow(popup);
      SetActiveWindow(popup);
      break;
    case WM_LBUTTONDBLCLK:
      Debug("OnSystrayNotify WM_LBUTTONDBLCLK\n");
      OnCustomizer();
      break;
    case WM_RBUTTONDOWN: {
      Debug("OnSystrayNotify WM_RBUTTONDOWN\n");
      SetForegroundWindow(popup);
      HMENU menu = CreatePopupMenu();
      AppendMenuA(menu, MF_STRING, kCmdOpenConfiguration, "Configuration");
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuA(menu, MF_STRING, kCmdExit, "Exit");
      SetMenuDefaultItem(menu, kCmdOpenConfiguration, FALSE);
      POINT cursor{};
      GetCursorPos(&cursor);
      TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, hwnd_, nullptr);
      PostMessageA(hwnd_, WM_NULL, 0, 0);
      DestroyMenu(menu);
      break;
    }
    default:
      break;
  }
}

void MonitorWindow::AddTrayIcon() { tray_.Show(); }

void MonitorWindow::RemoveTrayIcon() { tray_.Hide(); }

void MonitorWindow::RunDeviceJob(int job, std::intptr_t parameter) {
  if (!StartDeviceJob(flags_)) return;
  if (job == kJobReadAll) {
    auto reading = std::make_unique<DeviceReading>();
    reading->tag = parameter;
    protocol_->ReadAllFromDevice(*reading);
    const bool aborted = flags_.abortRequested.load() != 0 || flags_.stopRequested.load() != 0;
    {
      std::lock_guard<std::mutex> lock(readingLock_);
      readingWaiting_ = std::move(reading);
    }
    (void)PostMessageA(hwnd_, kMsgDeviceReading, 0, 0);
    // An aborted read (removal, shut-down) does not take the mouse over again.
    if (!aborted) (void)protocol_->WriteHostMode(true);
  } else if (job == kJobWriteActiveProfile) {
    (void)protocol_->WriteActiveProfile(static_cast<int>(parameter));
  }
  EndDeviceJob(flags_);
}

void MonitorWindow::OnDeviceReading() {
  std::unique_ptr<DeviceReading> reading;
  {
    std::lock_guard<std::mutex> lock(readingLock_);
    reading = std::move(readingWaiting_);
  }
  if (!reading) return;  // posted by someone else, or a reading already taken
  const auto mark = static_cast<std::uint32_t>(reading->tag);
  CopyChanges& changes = core_->copyChanges();
  if (reading->complete && changes.HostChangedSince(mark)) {
    // The host wrote to the mouse from the block while it was read (an Apply): parts of the reading may be
    // older than the copy. The mouse has taken those changes, so it is read again.
    Debug("CMonitorWnd the settings changed during the read: reading the mouse again\n");
    if (flags_.deviceState.load() == kDeviceOpen) PostDeviceJob(kJobReadAll);
    return;
  }
  // A file unreadable at start that reads now goes into the copy first, so the save below keeps its content.
  if (reading->complete) (void)RetryUnreadFiles(*block_, SettingsContext{folderPath_, registry_.get()}, unread_);
  // Changes made on the mouse meanwhile are in the copy and in the mouse, perhaps not in the reading: kept.
  (void)protocol_->TakeOverReading(*reading, changes.KeptSince(mark));
}

LRESULT MonitorWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = true;
  if (taskbarCreated_ != 0 && message == taskbarCreated_) {
    // Explorer restarted with an empty tray: without the icon there would be no way to configure or exit.
    tray_.OnTaskbarCreated();
    return 0;
  }
  switch (message) {
    case WM_TIMER:
      switch (wParam) {
        case kTimerFirstRead:
          KillTimer(hwnd_, kTimerFirstRead);
          PostDeviceJob(kJobReadAll);
          break;
        case kTimerGameCheck: {
          HWND foreground = GetForegroundWindow();
          DWORD processId = 0;
          GetWindowThreadProcessId(foreground, &processId);
          core_->GameCheck(foreground_.Executable(reinterpret_cast<std::uintptr_t>(foreground), processId));
          break;
        }
        case kShortcutTimerId:
          input_->Keys().OnShortcutTimer();
          break;
        case kVolumeTimerId:
          input_->Keys().OnVolumeTimer();
          break;
        case kTimerTrayRetry:
          tray_.OnRetryTimer();
          break;
        default:
          (void)core_->OnTimer(static_cast<unsigned>(wParam));
          break;
      }
      handled = false;  // default processing follows each tick
      return 0;
    case WM_COPYDATA:
      return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_DEVICECHANGE:
      return 1;
    case kMsgWtsSessionChange:
      if (wParam == WTS_CONSOLE_CONNECT) core_->OnConsoleConnect();
      else if (wParam == WTS_CONSOLE_DISCONNECT) core_->OnConsoleDisconnect();
      return 0;
    case WM_POWERBROADCAST:
      // Sleep may have cut the mouse's power (host mode lost) or re-enumerated it under new handles.
      if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) core_->OnResume();
      return TRUE;
    case kMsgApplyAll:
      OnApplyAllSetting(wParam);
      return 0;
    case kMsgReadBlock:
      ReadBlockIntoCopy();
      return 0;
    case kMsgReadBlockAndApply:
      ReadBlockIntoCopy();
      ApplyActiveWindowsSettings();
      return 0;
    case 1228:
    case 1229:
    case 1274:
      return 0;
    case 1327:
      return 1;
    case kMsgTrayCallback:
      OnSystrayNotify(lParam);
      return 0;
    case kDevicePresenceMessage:
      core_->OnDevicePresence(wParam);
      return 0;
    case kMsgDeviceReading:
      OnDeviceReading();
      return 0;
    case kDeviceEventMessage:
      core_->OnDeviceEvent(JoinDeviceEvent(wParam, lParam));
      return 0;
    case kMsgIEScroll:
      return input_->Tilt().IEScroll(static_cast<int>(wParam), lParam != 0);
    case WM_COMMAND:
      if (LOWORD(wParam) == kCmdOpenConfiguration) {
        OnCustomizer();
        return 0;
      }
      if (LOWORD(wParam) == kCmdExit) {
        PostMessageA(hwnd_, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    default:
      break;
  }
  handled = false;
  return 0;
}

MonitorWindow* g_window = nullptr;

// A start with "1" (the Start menu's configuration entry) while a monitor runs: the running one opens the
// window.
void HandOverConfiguration() {
  HWND running = FindWindowA(nullptr, kMonitorWindowTitle);
  if (running != nullptr) PostMessageA(running, WM_COMMAND, kCmdOpenConfiguration, 0);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    return g_window->OnCreate(hwnd);
  }
  if (message == WM_DESTROY) {
    g_window->OnDestroy();
    PostQuitMessage(0);
    return 0;
  }
  // Log-off and shut-down: the answer to the query is at once yes (nothing of ours needs the user), and at
  // the end the monitor shuts down as on WM_DESTROY, which Windows will not send before it ends the process.
  if (message == WM_QUERYENDSESSION) return TRUE;
  if (message == WM_ENDSESSION) {
    if (wParam != FALSE && g_window != nullptr) g_window->OnSessionEnd();
    return 0;
  }
  if (g_window != nullptr && g_window->Ready()) {
    bool handled = false;
    LRESULT result = g_window->Handle(message, wParam, lParam, handled);
    if (handled) return result;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace
}  // namespace sarn

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  using namespace sarn;
  RestrictLibrarySearch();  // before anything loads a library
  const bool openConfiguration = commandLine != nullptr && commandLine[0] == '1';

  HANDLE instanceMutex = CreateMutexA(nullptr, FALSE, kInstanceMutexName);
  const DWORD createError = GetLastError();
  bool acquired = false;
  if (instanceMutex != nullptr) {
    const DWORD wait = WaitForSingleObject(instanceMutex, 0);
    acquired = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  }
  const InstanceStart start = DecideInstanceStart(instanceMutex != nullptr, createError, acquired);
  if (start == InstanceStart::kUnreachable) {
    Debug("CMonitorWnd a monitor running as administrator owns the mouse: this one ends\n");
    // A second monitor would fight the first over the mouse, and a silent end would leave the user with a
    // Start-menu entry that does nothing; the configuration window cannot reach the other one either.
    ShowStartError(
        "Another ZORVAN Sarn[+] monitor is already running with administrator rights (it was started by a setup "
        "or a program run as administrator). This one cannot reach it, and the configuration window cannot send "
        "your changes to it.\n\nEnd the other monitor (Exit on its tray icon, or end Sarn[+]Monitor.exe in Task "
        "Manager) or log off and on again, then start ZORVAN Sarn[+] again.");
    return 1;
  }
  if (start == InstanceStart::kHandOver) {
    CloseHandle(instanceMutex);
    if (openConfiguration) HandOverConfiguration();
    return 0;
  }

  auto window = std::make_unique<MonitorWindow>(openConfiguration);
  g_window = window.get();

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass);
  HWND hwnd = CreateWindowExA(0, kWindowClass, kMonitorWindowTitle, WS_POPUP, 100, 100, 100, 100, nullptr, nullptr,
                              instance, nullptr);
  if (hwnd != nullptr) {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  g_window = nullptr;
  window.reset();
  if (instanceMutex != nullptr) {
    ReleaseMutex(instanceMutex);
    CloseHandle(instanceMutex);
  }
  return 0;
}
