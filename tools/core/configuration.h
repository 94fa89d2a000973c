// The whole configuration of a program folder as one value, and its JSON document (docs/configuration-json.md):
// read from the files as the programs read them, checked field by field, and written back so that a document
// taken from a folder reproduces every one of its files byte for byte.
//
//   folder ──ReadConfiguration──> Configuration ──ConfigurationToJson──> text
//   text ──ParseJson, ConfigurationFromJson (every problem, with its path)──> Configuration
//        ──BuildConfigurationFiles──> bytes per file ──WriteConfigurationFiles──> folder
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/json_reader.h"
#include "common/json_writer.h"
#include "common/profile_record.h"
#include "common/timer_list.h"
#include "option/macro/macro_store.h"

namespace sarnctl {

inline constexpr int kDocumentVersion = 1;
inline constexpr const char* kDocumentFormat = "Sarn[+] configuration";

// How one INI file held its keys, so that an import writes them back in the same order and with the keys of
// other programs. Empty `entries` with `present` means: exactly the programs' own keys in their usual order.
struct FileLayout {
  struct Entry {
    std::string section, key;
    enum class Kind { kOwn, kForeign, kOwnMissing } kind = Kind::kOwn;
    std::string value;  // foreign keys: the value as it stands
  };
  bool present = false;  // the file existed
  std::vector<Entry> entries;
};

struct Configuration {
  Configuration();
  ~Configuration();
  Configuration(const Configuration&) = delete;
  Configuration& operator=(const Configuration&) = delete;

  // The eight "Setting" integers and the five profiles; the change flags are unused (zero).
  std::unique_ptr<sarn::SharedBlock> block;
  int firmwareVersion = 100;
  sarn::NotificationSettings notification{};
  sarn::MacroStore macros;
  sarn::TimerList timers;

  FileLayout configIni;
  FileLayout slotFiles[sarn::kProfileCount];
  bool macroFilePresent = false;
  bool timerFilePresent = false;
  bool layoutKnown = false;  // false for a document without "files": every file is written
  // False for a document without the mail password (an export made without secrets): the import keeps the
  // folder's own password instead (KeepFolderSecrets).
  bool mailPasswordGiven = true;
};

// The folder's files as the programs read them (missing files give what the programs use in their place).
// False with `error` when a file exists but cannot be read.
[[nodiscard]] bool ReadConfiguration(const std::filesystem::path& folder, Configuration& config, std::string& error);

// Exports go to support and into bug reports: the mail password (with any bytes of an older password left
// behind its terminator) is written only when asked for.
enum class Secrets { kLeftOut, kIncluded };
[[nodiscard]] std::string ConfigurationToJson(const Configuration& config, Secrets secrets = Secrets::kLeftOut);
// Member "events": the first `count` steps (at most 500) as [key, kind, delay] rows.
void WriteEvents(sarn::JsonWriter& json, const sarn::MacroEvent* events, std::size_t count);
// The document's "macros" and "timers" values (also what `macros show` and `timers show` print).
void WriteMacroStore(sarn::JsonWriter& json, const sarn::MacroStore& store);
void WriteTimers(sarn::JsonWriter& json, const sarn::TimerList& timers);

// Every problem of a document, each as "JSON path: what is wrong". Empty when the document can be imported.
using Problems = std::vector<std::string>;
void ConfigurationFromJson(const sarn::JsonValue& document, Configuration& config, Problems& problems);
// For a document without the mail password: the whole password field of `current` (the folder's record as it
// stands) goes into the configuration, so that an import never clears a password it was not given.
void KeepFolderSecrets(Configuration& config, const sarn::NotificationSettings& current);

// The checks that the edit commands share with the import; each adds problems under `path`.
void CheckProfile(const sarn::ProfileRecord& profile, const std::string& path, Problems& problems);
void CheckSettings(const sarn::SharedBlock& block, const std::string& path, Problems& problems);
// A text for an INI key: representable in the system code page, no line ends, reads back as written.
void CheckKeyText(const std::string& utf8, std::size_t maxBytes, const std::string& path, Problems& problems);

struct FileContent {
  std::filesystem::path relative;  // under the program folder
  std::string bytes;
};
// The files an import writes into `folder` (files that did not exist when the document was taken and would
// read no differently missing are left out, unless the folder has them).
[[nodiscard]] std::vector<FileContent> BuildConfigurationFiles(const Configuration& config,
                                                               const std::filesystem::path& folder);
// How a staged file takes the place of its target: a rename over it. Tests put in one that fails.
using ReplaceFileFn = std::function<bool(const std::filesystem::path& from, const std::filesystem::path& to)>;
[[nodiscard]] bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to);
// All or nothing, under each file's lock (the one the programs take for their edits): every new content and
// every old one is first written beside its file, in the same folder; then each file is replaced in turn, and
// when one cannot be, those already replaced get their old content back (a file that was missing is removed).
// False with `error` when nothing changed; when even a put-back fails, `error` says exactly which files hold
// the new content and which the old.
[[nodiscard]] bool WriteConfigurationFiles(const std::filesystem::path& folder, const std::vector<FileContent>& files,
                                           std::string& error, const ReplaceFileFn& replace = RenameOver);

}  // namespace sarnctl
