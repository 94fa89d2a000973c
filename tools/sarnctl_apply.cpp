// sarnctl apply: the files' configuration to the running monitor, as the configuration window's Apply hands
// over its working copy: the same change flags, the same order (ApplyWorkingCopy), ApplyAll waited for.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "common/json_writer.h"
#include "common/private_profile.h"
#include "common/settings_file.h"
#include "common/shared_block.h"
#include "option/macro/macro_store.h"
#include "option/option_core.h"
#include "tools/core/edits.h"
#include "tools/core/folder_edits.h"
#include "tools/sarnctl.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace sarnctl {

namespace {

#if defined(_WIN32)
// The monitor and the display windows, found by their titles. The wait for the monitor is the configuration
// window's: long enough for the slowest write a busy mouse allows, bounded so that a hung monitor cannot hang
// a script.
class MonitorWindows final : public sarn::MonitorLink {
 public:
  sarn::ApplyAnswer SendApplyAll(int reason) override {
    HWND monitor = FindWindowA(nullptr, sarn::kMonitorWindowTitle);
    if (monitor == nullptr) return sarn::ApplyAnswer::kNoMonitor;
    found = true;
    DWORD_PTR result = 0;
    answered = SendMessageTimeoutA(monitor, sarn::kMsgApplyAll, static_cast<WPARAM>(reason), 0, SMTO_ABORTIFHUNG,
                                   static_cast<UINT>(sarn::kApplyAllAnswerLimit.count()), &result) != 0;
    return answered ? sarn::ApplyAnswer::kAnswered : sarn::ApplyAnswer::kNoAnswer;
  }
  void PostApplyToDisplays() override {
    for (const char* title : sarn::kDisplayWindowTitles) {
      if (HWND w = FindWindowA(nullptr, title)) PostMessageA(w, sarn::kMsgApplyAll, 0, 0);
    }
    // The display's main window reloads its settings on the monitor's OsdSettings after ApplyAll; without a
    // monitor nothing else would tell it that its section changed.
    if (!found) {
      if (HWND w = FindWindowA(nullptr, sarn::kOsdWindowTitle)) PostMessageA(w, sarn::kMsgApplyAll, 0, 0);
    }
  }
  bool found = false;
  bool answered = false;
};
#else
class MonitorWindows final : public sarn::MonitorLink {
 public:
  sarn::ApplyAnswer SendApplyAll(int) override { return sarn::ApplyAnswer::kNoMonitor; }
  void PostApplyToDisplays() override {}
  bool found = false;
  bool answered = false;
};
#endif

void WriteFlags(sarn::JsonWriter& json, const sarn::SharedBlock& b) {
  json.Member("SettingsChanged", b.SettingsChanged);
  json.Key("ProfileChanged").BeginInlineArray();
  for (std::int32_t f : b.ProfileChanged) json.Int(f);
  json.EndArray();
  json.Key("ButtonChanged").BeginArray();
  for (const auto& profile : b.ButtonChanged) {
    json.BeginInlineArray();
    for (std::int32_t f : profile) json.Int(f);
    json.EndArray();
  }
  json.EndArray();
}

}  // namespace

bool MonitorRunning() {
#if defined(_WIN32)
  return FindWindowA(nullptr, sarn::kMonitorWindowTitle) != nullptr;
#else
  return false;
#endif
}

bool TakeFlag(Args& args, std::string_view flag) {
  bool found = false;
  for (auto it = args.begin(); it != args.end();) {
    if (*it == flag) {
      found = true;
      it = args.erase(it);
    } else {
      ++it;
    }
  }
  return found;
}

int AfterEdit(const std::filesystem::path& folder, bool apply) {
  if (apply) return ApplyFolder(folder);
  if (MonitorRunning()) {
    std::fputs("sarnctl: warning: the running monitor replaces this change with the mouse's settings at its next "
               "read of the mouse; run sarnctl apply (or add --apply) to send it to the mouse\n",
               stderr);
  }
  return 0;
}

int RunApply(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs("usage: sarnctl apply [FOLDER]\n\n"
               "Hands the configuration in FOLDER's files to the running monitor as the configuration window's\n"
               "Apply does: the shared block with the change flags (what differs from the monitor's block, and\n"
               "the buttons assigned since the last apply), the files, then ApplyAll, waited for; the monitor\n"
               "then writes the changes to the mouse. Prints the flags sent as JSON. Without a monitor the files\n"
               "stay written, nothing is sent, and the exit code is 1. A file that cannot be read stops it\n"
               "before anything is written or sent.\n",
               stdout);
    return 0;
  }
  if (args.size() > 1) return Usage("apply [FOLDER]");
  std::filesystem::path folder;
  int exitCode = 0;
  if (!ResolveFolderWord(args.empty() ? nullptr : &args[0], folder, exitCode)) return exitCode;
  return ApplyFolder(folder);
}

int ApplyFolder(const std::filesystem::path& folder) {
  FolderLock lock(folder);
  if (!lock.held()) return Fail("cannot lock the files of " + folder.string());
  // Every file read here is written back: one that cannot be read would be replaced by defaults.
  std::string error;
  CommandState state;
  if (!CheckFolderReadable(folder, error) || !ReadFolderCommandState(folder, state, error)) return Fail(error);
  // Without registry access: the monitor sets the Windows mouse settings itself on ApplyAll.
  sarn::FileStorage storage(folder, nullptr);
  auto working = std::make_unique<sarn::SharedBlock>();
  sarn::ClearSharedBlock(*working);
  storage.LoadSettings(*working);
  sarn::NotificationSettings notifications{};
  sarn::ResetNotificationSettings(notifications);
  storage.LoadNotificationSettings(notifications);
  sarn::MacroStore macros;
  (void)storage.LoadMacroStore(macros);

  auto lastApplied = std::make_unique<sarn::SharedBlock>(*working);
  std::unique_ptr<sarn::SharedBlockStore> block;
#if defined(_WIN32)
  bool mapFailed = false;
  auto store = sarn::Win32SharedBlock::OpenForOption(mapFailed);
  if (mapFailed) std::fputs("sarnctl: could not map the monitor's shared block\n", stderr);
  if (store && store->ReadBlock(*lastApplied) == 1) {
    // The window starts from the monitor's block; here the files are the edited copy and the block is what
    // the monitor (and so the mouse) holds. Buttons the window would have flagged at assignment: those
    // assigned since the last apply, and any that differ from the block.
    working->MouseType = lastApplied->MouseType;
    for (int p = 0; p < sarn::kProfileCount; ++p) {
      for (int b = 0; b < sarn::kButtonCount; ++b) {
        const bool differs = std::memcmp(&working->profiles[p].MacroKeyInfo[b], &lastApplied->profiles[p].MacroKeyInfo[b],
                                         sizeof(sarn::ButtonSlot)) != 0;
        working->ButtonChanged[p][b] = state.buttonChanged[p][b] || differs ? 1 : 0;
      }
    }
    block = std::move(store);
  } else {
    *lastApplied = *working;
  }
#endif
  auto sent = std::make_unique<sarn::SharedBlock>(*working);
  sarn::ComputeChangeFlags(*sent, *lastApplied);

  MonitorWindows monitor;
  (void)sarn::ApplyWorkingCopy(*working, *lastApplied, block.get(), storage, monitor, notifications, macros, 0);
  sarn::FreeMacroStore(macros);
  if (!monitor.found || block == nullptr) {
    return Fail("no monitor is running: the files are written, nothing was sent to the mouse");
  }
  if (!monitor.answered) return Fail("the monitor did not answer ApplyAll");

  // The flags went out: the next apply starts afresh.
  bool pending = false;
  for (const auto& profile : state.buttonChanged) {
    for (std::int32_t flag : profile) pending = pending || flag != 0;
  }
  if (pending) {
    std::memset(state.buttonChanged, 0, sizeof state.buttonChanged);
    if (!WriteFolderCommandState(folder, state, error)) {
      return Fail(error + " (the change reached the monitor; the button flags stay noted)");
    }
  }

  sarn::JsonWriter json(false);
  json.BeginObject();
  WriteFlags(json, *sent);
  json.EndObject();
  std::puts(json.str().c_str());
  return 0;
}

}  // namespace sarnctl
