// sarnctl: the command-line companion. Each group of commands lives in a file of its own and is reached
// through one entry point; main only dispatches on the first word.
#pragma once

#include <string>
#include <vector>

#include "common/json_writer.h"
#include "common/profile_record.h"

namespace sarnctl {

using Args = std::vector<std::string>;  // the words after the group name

// Each returns the process exit code (0 on success); errors are one line on stderr.
int RunMouse(const Args& args);     // sarnctl mouse COMMAND...      (virtual mouse control pipe)
int RunSettings(const Args& args);  // sarnctl settings show|reset [FOLDER]
int RunProfile(const Args& args);   // sarnctl profile show FILE.zmp
int RunMacros(const Args& args);    // sarnctl macros show [FOLDER]
int RunTimers(const Args& args);    // sarnctl timers show [FOLDER]
int RunMonitor(const Args& args);   // sarnctl monitor show|configure|exit

// The eight "Setting" integers and the five profiles of a block, as members of an object the caller opened;
// shared by `settings show` and `monitor show`.
void WriteBlockMembers(sarn::JsonWriter& json, const sarn::SharedBlock& block);

// The folder of the running sarnctl executable, with a trailing separator; the default FOLDER.
std::string ExecutableFolder();

}  // namespace sarnctl
