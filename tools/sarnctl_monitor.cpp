// sarnctl monitor: look into the running monitor's shared block, and ask it to open the configuration
// window or to end. Windows only: the block and the window exist only there.
#include <cstdio>
#include <memory>
#include <string>

#include "tools/sarnctl.h"

#if defined(_WIN32)
#include <windows.h>

#include "common/json_writer.h"
#include "common/messages.h"
#include "common/settings_file.h"
#include "common/shared_block.h"
#include "common/text_encoding.h"
#endif

namespace sarnctl {

#if defined(_WIN32)
namespace {

int Fail(const char* message) {
  std::fprintf(stderr, "sarnctl: %s\n", message);
  return 1;
}

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
  json.Member("FWVersion", sarn::ReadFirmwareVersion(sarn::AnsiPath(ExecutableFolder())));
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

}  // namespace

int RunMonitor(const Args& args) {
  if (args.size() == 1 && args[0] == "show") return Show();
  if (args.size() == 1 && args[0] == "configure") return PostCommand(sarn::kCmdOpenConfiguration);
  if (args.size() == 1 && args[0] == "exit") return PostCommand(sarn::kCmdExit);
  std::fputs("usage: sarnctl monitor show|configure|exit\n", stderr);
  return 2;
}
#else
int RunMonitor(const Args&) {
  std::fputs("sarnctl: the monitor runs only on Windows\n", stderr);
  return 1;
}
#endif

}  // namespace sarnctl
