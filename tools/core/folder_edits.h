// The read-modify-writes of sarnctl's edit commands on a program folder's files. Each runs whole under the
// lock the programs take around their own edits of that file, starts from the file as it is at that moment
// and writes only what the command changes, so that a key the monitor writes in between (CurrentProfile,
// Device, FWVersion) is never lost. A file that exists but cannot be read stops the command: nothing is
// written, since starting from an empty document would drop every key the command does not set.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/private_profile.h"
#include "common/profile_record.h"
#include "tools/core/configuration.h"
#include "tools/core/edits.h"

namespace sarnctl {

// config.ini edited in place. `edit` returns false to write nothing (it noted why). False with `error` when the
// file could not be read or written; `error` stays empty when `edit` refused.
[[nodiscard]] bool EditSettingsFile(const std::filesystem::path& folder,
                                    const std::function<bool(sarn::IniDocument&)>& edit, std::string& error);

// Slot profile `slot` (0..4) as the programs read it (factory defaults without a file), changed by `edit` and
// written back, in one hold of the file's lock. As EditSettingsFile otherwise.
[[nodiscard]] bool EditSlotProfile(const std::filesystem::path& folder, int slot,
                                   const std::function<bool(sarn::ProfileRecord&)>& edit, std::string& error);

// `settings set`: only the named keys are written.
[[nodiscard]] bool SetSettingsInFolder(const std::filesystem::path& folder, const std::vector<std::string>& assignments,
                                       Problems& problems, std::string& error);
// `profile N set` on slot 0..4.
[[nodiscard]] bool SetProfileInFolder(const std::filesystem::path& folder, int slot,
                                      const std::vector<std::string>& assignments, Problems& problems,
                                      std::string& error);

// sarnctl's state in config.ini (a missing file gives the empty state); false with `error` when it exists but
// cannot be read.
[[nodiscard]] bool ReadFolderCommandState(const std::filesystem::path& folder, CommandState& state, std::string& error);
// Writes the state's keys into config.ini, leaving every other key as the file holds it then.
[[nodiscard]] bool WriteFolderCommandState(const std::filesystem::path& folder, const CommandState& state,
                                           std::string& error);

// The files `apply` reads and then writes back (config.ini, the slot files, the macro store): false with
// `error` naming the first one that exists but cannot be read.
[[nodiscard]] bool CheckFolderReadable(const std::filesystem::path& folder, std::string& error);

}  // namespace sarnctl
