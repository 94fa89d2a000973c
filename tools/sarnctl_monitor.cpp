// sarnctl monitor: look into the running monitor's shared block, and ask it to open the configuration
// window or to end. Windows only: the block and the window exist only there.
#include <cstdio>
#include <memory>
#include <string>

#include "tools/sarnctl.h"

#if defined(_WIN32)
#include <windows.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <vector>

#include "common/json_writer.h"
#include "common/messages.h"
#include "common/private_profile.h"
#include "common/settings_file.h"
#include "common/shared_block.h"
#include "common/text_encoding.h"
#endif

namespace sarnctl {

#if defined(_WIN32)
namespace {

int PostCommand(unsigned command) {
  HWND monitor = FindWindowA(nullptr, sarn::kMonitorWindowTitle);
  if (monitor == nullptr) return Fail("no monitor is running");
  if (!PostMessageA(monitor, WM_COMMAND, command, 0)) return Fail("the monitor did not take the command");
  std::puts("ok");
  return 0;
}

int Show() {
  bool mapFailed = false;
  auto store = sarn::Win32SharedBlock::OpenForOption(mapFailed);
  if (!store) return Fail(mapFailed ? "could not map the monitor's shared block" : "no monitor is running");
  auto block = std::make_unique<sarn::SharedBlock>();
  if (store->ReadBlock(*block) != 1) return Fail("could not read the monitor's shared block");
  sarn::JsonWriter json(true);
  json.BeginObject();
  WriteBlockMembers(json, *block);
  // The block carries no firmware version: the monitor keeps it in config.ini beside us.
  json.Member("FWVersion", sarn::ReadFirmwareVersion(ExecutableFolder()));
  json.Key("ButtonChanged").BeginArray();
  for (const auto& profile : block->ButtonChanged) {
    json.BeginArray();
    for (std::int32_t flag : profile) json.Int(flag);
    json.EndArray();
  }
  json.EndArray();
  json.Key("ProfileChanged").BeginArray();
  for (std::int32_t flag : block->ProfileChanged) json.Int(flag);
  json.EndArray();
  json.Member("SettingsChanged", block->SettingsChanged);
  json.EndObject();
  std::puts(json.str().c_str());
  return 0;
}

std::atomic<bool> stopEvents{false};

BOOL WINAPI StopOnCtrlC(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
  stopEvents = true;
  return TRUE;
}

void Emit(sarn::JsonWriter& json) {
  std::puts(json.str().c_str());
  std::fflush(stdout);  // a script reads each line as it comes
}

bool SensorDiffers(const sarn::ProfileRecord& a, const sarn::ProfileRecord& b) {
  return a.Sensitivity_X != b.Sensitivity_X || a.Sensitivity_Y != b.Sensitivity_Y || a.Cpi_X != b.Cpi_X ||
         a.Cpi_Y != b.Cpi_Y || a.PollingRate != b.PollingRate || std::memcmp(a.dpi, b.dpi, sizeof a.dpi) != 0;
}

struct FileState {
  int firmware = 0;
  int device = 0;
};
FileState ReadFileState(const std::filesystem::path& folder) {
  sarn::IniDocument doc;
  (void)sarn::LoadIniFile(sarn::SettingsFilePath(folder), doc);
  return {doc.GetInt("Setting", "FWVersion", 100), doc.GetInt("Setting", "Device", -1)};
}

// Follows the monitor from outside: its block and its notes in config.ini, polled. The monitor's own
// notifications go to the window with the configuration window's title, which the monitor takes for an open
// configuration window (it then skips the windows-profile switch and brings that window forward instead of
// starting one), so an observer must not take that title.
int Events() {
  bool mapFailed = false;
  auto store = sarn::Win32SharedBlock::OpenForOption(mapFailed);
  if (!store) return Fail(mapFailed ? "could not map the monitor's shared block" : "no monitor is running");
  const std::filesystem::path folder = ExecutableFolder();
  auto last = std::make_unique<sarn::SharedBlock>();
  auto now = std::make_unique<sarn::SharedBlock>();
  if (store->ReadBlock(*last) != 1) return Fail("could not read the monitor's shared block");
  FileState files = ReadFileState(folder);
  SetConsoleCtrlHandler(StopOnCtrlC, TRUE);
  {
    sarn::JsonWriter json;
    json.BeginObject().Member("event", "following").Member("profile", last->CurrentProfile + 1);
    json.Member("FWVersion", files.firmware).Member("device", files.device).EndObject();
    Emit(json);
  }
  while (!stopEvents) {
    Sleep(50);
    if (FindWindowA(nullptr, sarn::kMonitorWindowTitle) == nullptr) {
      sarn::JsonWriter json;
      json.BeginObject().Member("event", "monitor-ended").EndObject();
      Emit(json);
      return 0;
    }
    if (store->ReadBlock(*now) == 1 && std::memcmp(now.get(), last.get(), sizeof(sarn::SharedBlock)) != 0) {
      const int p = now->CurrentProfile;
      const bool switched = p != last->CurrentProfile;
      if (switched) {
        sarn::JsonWriter json;
        json.BeginObject().Member("event", "profile-switched").Member("profile", p + 1).EndObject();
        Emit(json);
      }
      std::vector<int> changed;
      for (int i = 0; i < sarn::kProfileCount; ++i) {
        const sarn::ProfileRecord& a = now->profiles[i];
        const sarn::ProfileRecord& b = last->profiles[i];
        if (!switched && i == p && SensorDiffers(a, b)) {
          sarn::JsonWriter json;
          json.BeginObject().Member("event", "sensor-changed").Member("profile", i + 1);
          json.Member("Sensitivity_X", a.Sensitivity_X).Member("Sensitivity_Y", a.Sensitivity_Y);
          json.Member("Cpi_X", a.Cpi_X).Member("Cpi_Y", a.Cpi_Y).Member("PollingRate", a.PollingRate);
          json.Key("dpi").BeginArray();
          for (std::uint8_t flag : a.dpi) json.Int(flag);
          json.EndArray().EndObject();
          Emit(json);
          // Only the sensor fields changed: nothing more to tell about this profile.
          auto rest = std::make_unique<sarn::ProfileRecord>(b);
          rest->Sensitivity_X = a.Sensitivity_X, rest->Sensitivity_Y = a.Sensitivity_Y;
          rest->Cpi_X = a.Cpi_X, rest->Cpi_Y = a.Cpi_Y, rest->PollingRate = a.PollingRate;
          std::memcpy(rest->dpi, a.dpi, sizeof a.dpi);
          if (std::memcmp(rest.get(), &a, sizeof a) == 0) continue;
        }
        if (std::memcmp(&a, &b, sizeof a) != 0) changed.push_back(i + 1);
      }
      if (!changed.empty()) {
        // What a full read of the mouse or an apply brings.
        sarn::JsonWriter json;
        json.BeginObject().Member("event", "profiles-changed").Key("profiles").BeginArray();
        for (int i : changed) json.Int(i);
        json.EndArray().EndObject();
        Emit(json);
      }
      std::swap(last, now);
    }
    const FileState next = ReadFileState(folder);
    if (next.firmware != files.firmware) {
      sarn::JsonWriter json;
      json.BeginObject().Member("event", "firmware").Member("FWVersion", next.firmware);
      json.Member("text", sarn::FirmwareVersionTextAfterRead(next.firmware)).EndObject();
      Emit(json);
    }
    if (next.device != files.device) {
      sarn::JsonWriter json;
      json.BeginObject().Member("event", next.device == 1 ? "device-attached" : "device-removed").EndObject();
      Emit(json);
    }
    files = next;
  }
  return 0;
}

}  // namespace

int RunMonitor(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs("usage: sarnctl monitor show|configure|exit|events\n\n"
               "  show       the running monitor's shared block as JSON, with the change flags\n"
               "  configure  ask the monitor to open the configuration window\n"
               "  exit       ask the monitor to end\n"
               "  events     follow the monitor until Ctrl+C: one JSON object a line, \"event\" one of following,\n"
               "             profile-switched, sensor-changed, profiles-changed (after a read of the mouse or an\n"
               "             apply), firmware, device-attached, device-removed, monitor-ended\n",
               stdout);
    return 0;
  }
  if (args.size() == 1 && args[0] == "events") return Events();
  if (args.size() == 1 && args[0] == "show") return Show();
  if (args.size() == 1 && args[0] == "configure") return PostCommand(sarn::kCmdOpenConfiguration);
  if (args.size() == 1 && args[0] == "exit") return PostCommand(sarn::kCmdExit);
  std::fputs("usage: sarnctl monitor show|configure|exit|events\n", stderr);
  return 2;
}
#else
int RunMonitor(const Args&) {
  std::fputs("sarnctl: the monitor runs only on Windows\n", stderr);
  return 1;
}
#endif

}  // namespace sarnctl
