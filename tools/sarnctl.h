// sarnctl: the command-line companion. Each group of commands lives in a file of its own and is reached
// through one entry point; main only dispatches on the first word.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/json_writer.h"
#include "common/profile_record.h"

namespace sarnctl {

using Args = std::vector<std::string>;  // the words after the group name

// Each returns the process exit code (0 on success); errors are one line on stderr.
int RunMouse(const Args& args);     // sarnctl mouse COMMAND...      (virtual mouse control pipe)
int RunSettings(const Args& args);  // sarnctl settings show|reset [FOLDER], settings set KEY=VALUE... [--folder F]
int RunProfile(const Args& args);   // sarnctl profile show FILE.zmp, profile N set KEY=VALUE... [--folder F]
int RunButton(const Args& args);    // sarnctl button N SLOT assign FUNCTION [ARGS] [--folder F]
int RunExport(const Args& args);    // sarnctl export [--with-secrets] [FOLDER]
int RunImport(const Args& args);    // sarnctl import FILE.json [FOLDER] [--apply]
int RunApply(const Args& args);     // sarnctl apply [FOLDER]
int RunMacros(const Args& args);    // sarnctl macros show [FOLDER]
int RunTimers(const Args& args);    // sarnctl timers show [FOLDER]
int RunMonitor(const Args& args);   // sarnctl monitor show|configure|exit|events
int RunDevice(const Args& args);    // sarnctl device list [FOLDER], device add VID:PID [OPTIONS]

// The eight "Setting" integers and the five profiles of a block, as members of an object the caller opened;
// shared by `settings show` and `monitor show`.
void WriteBlockMembers(sarn::JsonWriter& json, const sarn::SharedBlock& block);

// The folder of the running sarnctl executable; the default FOLDER. Empty when it cannot be had.
std::filesystem::path ExecutableFolder();

// Held around every command that changes a folder's files, so that two sarnctl calls never mix their changes
// (a button assignment changes a slot file and sarnctl's state in config.ini). The programs do not take it:
// against them each file is edited under the per-file lock they share (common/file_lock.h).
class FolderLock {
 public:
  explicit FolderLock(const std::filesystem::path& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  [[nodiscard]] bool held() const {
#if defined(_WIN32)
    return handle_ != nullptr;
#else
    return fd_ >= 0;
#endif
  }

 private:
#if defined(_WIN32)
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// The set commands and their help (sarnctl_edit.cpp), reached through the show groups.
int ProfileSet(const Args& args);
int SettingsSet(const Args& args);
int ProfileHelp();
int SettingsHelp();

// `apply` on a folder (the caller holds no lock of it): the exit code.
int ApplyFolder(const std::filesystem::path& folder);
// True when a monitor runs (its window exists); false off Windows, where none can.
bool MonitorRunning();
// Takes every `flag` (a word such as "--apply") out of the words; true when it was there.
bool TakeFlag(Args& args, std::string_view flag);
// What follows an edit of FOLDER's files (the caller holds no lock; the exit code). With --apply the files go
// to the monitor as `apply` sends them. Without it a running monitor is told about on stderr: its next read of
// the mouse replaces the files with what the mouse holds, so an edit left there would go back unseen.
int AfterEdit(const std::filesystem::path& folder, bool apply);

// Whether the system is of the Windows XP family (which offers no Flip 3D); false off Windows.
bool WindowsXpFamily();

// One line "sarnctl: message" on stderr; 1.
int Fail(const std::string& message);
// "sarnctl: usage: sarnctl USAGE" on stderr; 2.
int Usage(const char* usage);
// True when the words ask for help (--help or -h anywhere).
bool WantsHelp(const Args& args);
// The FOLDER word (or the executable's folder) as a folder that exists; false after printing why not.
bool ResolveFolderWord(const std::string* word, std::filesystem::path& folder, int& exitCode);

}  // namespace sarnctl
