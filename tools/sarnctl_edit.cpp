// sarnctl profile N set, button N SLOT assign, settings set, export and import: the edits of the stored files.
// Each reads what it changes, checks everything first and writes nothing when anything is wrong; writes go
// through the one codec and replace each file atomically, each file's read-edit-write under the lock the
// programs take for theirs (tools/core/folder_edits.h), the whole command under sarnctl's folder lock.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/json_reader.h"
#include "common/keyboard_layout.h"
#include "common/private_profile.h"
#include "common/profile_file.h"
#include "common/settings_file.h"
#include "common/text_encoding.h"
#include "common/timer_list.h"
#include "option/macro/macro_store.h"
#include "tools/core/configuration.h"
#include "tools/core/edits.h"
#include "tools/core/folder_edits.h"
#include "tools/sarnctl.h"

namespace sarnctl {

namespace {

// Takes "--folder FOLDER" out of the words; false (after printing why) when it is incomplete or the folder
// does not exist.
bool TakeFolderOption(Args& args, std::filesystem::path& folder, int& exitCode) {
  const std::string* word = nullptr;
  std::string value;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--folder") continue;
    if (i + 1 >= args.size()) {
      exitCode = Fail("--folder needs a folder");
      return false;
    }
    value = args[i + 1];
    word = &value;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    break;
  }
  return ResolveFolderWord(word, folder, exitCode);
}

int Report(const Problems& problems) {
  for (const auto& p : problems) std::fprintf(stderr, "sarnctl: %s\n", p.c_str());
  return 1;
}

// Slot numbers as the slot bar shows them.
bool ParseSlot(const std::string& word, int& slot) {
  if (word.size() != 1 || word[0] < '1' || word[0] > '5') return false;
  slot = word[0] - '1';
  return true;
}

bool ReadText(const std::string& name, std::string& text) {
  if (name == "-") {
    std::vector<char> buffer(65536);
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), stdin)) > 0) text.append(buffer.data(), n);
    return std::ferror(stdin) == 0;
  }
  return sarn::ReadWholeFile(sarn::AnsiPath(name), text);
}

}  // namespace

int ProfileHelp() {
  std::fputs(
      "usage: sarnctl profile show FILE.zmp\n"
      "       sarnctl profile N set KEY=VALUE... [--folder FOLDER] [--apply]\n\n"
      "Changes fields of slot profile N (1..5) in config\\DefaultN-1.zmp; checks every value first and writes\n"
      "nothing when one is wrong. Keys (as in the profile file):\n"
      "  ProFileName (at most 20 characters), GameFile0, GameFile1, GameFile2 (program paths)\n"
      "  DbleClickSpeed 200..900   ScrollWheelSpeed 1..10   ScrollWheelFlag 0|1   MouseSpeed 1..20\n"
      "  Acceleration 0..19   AccelerationFlag 0|1   TiltSpeed 1..10   MediaOption 0..3 (WMP, iTunes, VLC, Winamp)\n"
      "  HDDKeyboard   Orientation 0|1 (right, left hand)   XYSynchronous 0|1   Sensitivity_X, Sensitivity_Y 1..10\n"
      "  dpi0..dpi5 0|1 (400, 800, 1600, 3200 DPI, ...)   Cpi_X, Cpi_Y 1|2|4|7 (400, 800, 1600, 3200 DPI)\n"
      "  XYCpiFlag 0|1   PollingRate 0..3 (125, 250, 500, 1000 Hz)   LightSwitch 0|1   LightType 0|1\n"
      "  ColorFlag 0|1 (single colour, multicolour)   ColorOptions 0..6   ColorChangeMode 0..2   BTOption\n"
      "The current DPI level (Cpi_X) cannot be switched off. Run sarnctl apply, or add --apply, to send the\n"
      "change to the mouse (a running monitor otherwise replaces it at its next read of the mouse).\n",
      stdout);
  return 0;
}

int SettingsHelp() {
  std::fputs(
      "usage: sarnctl settings show [FOLDER]\n"
      "       sarnctl settings reset [FOLDER] [--apply]\n"
      "       sarnctl settings set KEY=VALUE... [--folder FOLDER] [--apply]\n\n"
      "set changes the application settings in config.ini:\n"
      "  CurrentProfile 1..5 (the active slot)   WindowsProfile 1..5, or 0 for none   QuickHelpLan 0..16\n"
      "  SoundProfile, SoundDpi, SoundSens 0|1 (sound on profile, DPI, sensitivity change)   SoundVolume 0..4\n"
      "and the on-screen display's, in its section OnScreenDisplay:\n"
      "  OsdEnabled 0|1   OsdDuration 0 (the system's message duration) or 500..30000 ms\n"
      "  OsdPosition top|center|bottom   OsdMonitor 0 (the one under the pointer) or 1..16\n"
      "  OsdHiddenWhile \"a.exe;b.exe\" (nothing is shown while one of them is in front; at most 32 names)\n"
      "Run sarnctl apply, or add --apply, to hand the change to the monitor (a running monitor otherwise\n"
      "replaces it at its next read of the mouse).\n",
      stdout);
  return 0;
}

int ProfileSet(const Args& input) {
  Args args = input;
  const bool apply = TakeFlag(args, "--apply");
  std::filesystem::path folder;
  int exitCode = 0;
  if (!TakeFolderOption(args, folder, exitCode)) return exitCode;
  int slot = 0;
  if (args.size() < 3 || !ParseSlot(args[0], slot)) {
    return Usage("profile N set KEY=VALUE... [--folder FOLDER] [--apply]  (N is 1..5)");
  }
  {
    FolderLock lock(folder);
    if (!lock.held()) return Fail("cannot lock the files of " + folder.string());
    Problems problems;
    std::string error;
    if (!SetProfileInFolder(folder, slot, Args(args.begin() + 2, args.end()), problems, error)) {
      return problems.empty() ? Fail(error) : Report(problems);
    }
  }
  return AfterEdit(folder, apply);
}

int SettingsSet(const Args& input) {
  Args args = input;
  const bool apply = TakeFlag(args, "--apply");
  std::filesystem::path folder;
  int exitCode = 0;
  if (!TakeFolderOption(args, folder, exitCode)) return exitCode;
  if (args.size() < 2) return Usage("settings set KEY=VALUE... [--folder FOLDER] [--apply]");
  {
    FolderLock lock(folder);
    if (!lock.held()) return Fail("cannot lock the files of " + folder.string());
    Problems problems;
    std::string error;
    if (!SetSettingsInFolder(folder, Args(args.begin() + 1, args.end()), problems, error)) {
      return problems.empty() ? Fail(error) : Report(problems);
    }
  }
  return AfterEdit(folder, apply);
}

int RunButton(const Args& input) {
  if (WantsHelp(input)) {
    std::fputs(
        "usage: sarnctl button N SLOT assign FUNCTION [ARGS] [--folder FOLDER] [--apply]\n\n"
        "Gives button SLOT (B1..B18; B10..B18 are the shift layer) of slot profile N (1..5) a function, with the\n"
        "configuration window's rules: B1 and B2 are never reassigned, an unavailable slot (0) takes nothing,\n"
        "Duvex[+] and the Tornel functions go on B5 and B7 only, and the shift layer follows Duvex[+].\n"
        "FUNCTION is a name or a code:\n",
        stdout);
    for (const FunctionName& f : FunctionNames()) std::printf("  %-20s %d\n", f.name, f.code);
    std::fputs(
        "Arguments: shortcut KEYS (Ctrl+Shift+A, Alt+F4, Win+0x04), program PATH, timer NAME, macro SET MACRO,\n"
        "open-player [wmp|itunes|vlc|winamp]. Run sarnctl apply, or add --apply, to send the change to the mouse.\n",
        stdout);
    return 0;
  }
  Args args = input;
  const bool apply = TakeFlag(args, "--apply");
  std::filesystem::path folder;
  int exitCode = 0;
  if (!TakeFolderOption(args, folder, exitCode)) return exitCode;
  int slot = 0;
  const int button = args.size() >= 2 ? ParseButton(args[1]) : -1;
  if (args.size() < 4 || !ParseSlot(args[0], slot) || button < 0 || args[2] != "assign") {
    return Usage("button N SLOT assign FUNCTION [ARGS] [--folder FOLDER] [--apply]  (N 1..5, SLOT B1..B18)");
  }
  {
    // The folder lock keeps other sarnctl calls off sarnctl's own state while the slot file changes.
    FolderLock lock(folder);
    if (!lock.held()) return Fail("cannot lock the files of " + folder.string());
    std::string error;
    CommandState state;
    if (!ReadFolderCommandState(folder, state, error)) return Fail(error);
    sarn::MacroStore macros;
    sarn::TimerList timers;
    (void)sarn::LoadMacroStore(macros, folder);
    (void)sarn::LoadTimers(timers, folder);
    AssignContext context;
    context.macros = &macros;
    context.timers = &timers;
    context.layout = &sarn::SystemKeyboardLayout();
    context.windowsXpFamily = WindowsXpFamily();
    std::string refusal;
    const bool ok = EditSlotProfile(folder, slot, [&](sarn::ProfileRecord& profile) {
      return AssignButton(profile, button, Args(args.begin() + 3, args.end()), context, state.saved,
                          state.buttonChanged[slot], refusal);
    }, error);
    sarn::FreeMacroStore(macros);
    if (!ok) return Fail(refusal.empty() ? error : refusal);
    if (!WriteFolderCommandState(folder, state, error)) {
      return Fail(error + " (the button is assigned, but apply will not know to send it unless it differs)");
    }
  }
  return AfterEdit(folder, apply);
}

int RunExport(const Args& input) {
  if (WantsHelp(input)) {
    std::fputs("usage: sarnctl export [--with-secrets] [FOLDER] > FILE.json\n\n"
               "The whole configuration of FOLDER (settings, notification settings, the five profiles with every\n"
               "button, the macro store and the timers) as one JSON document (docs/configuration-json.md).\n"
               "The mail password is left out unless --with-secrets is given: exports go to support. sarnctl\n"
               "import of the document writes every file back byte for byte, keeping the folder's own password\n"
               "when the document has none.\n",
               stdout);
    return 0;
  }
  Args args = input;
  const bool withSecrets = TakeFlag(args, "--with-secrets");
  if (args.size() > 1) return Usage("export [--with-secrets] [FOLDER]");
  std::filesystem::path folder;
  int exitCode = 0;
  if (!ResolveFolderWord(args.empty() ? nullptr : &args[0], folder, exitCode)) return exitCode;
  FolderLock lock(folder);
  if (!lock.held()) return Fail("cannot lock the files of " + folder.string());
  Configuration config;
  std::string error;
  if (!ReadConfiguration(folder, config, error)) return Fail(error);
  const std::string text = ConfigurationToJson(config, withSecrets ? Secrets::kIncluded : Secrets::kLeftOut);
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    return Fail("cannot write the document");
  }
  return 0;
}

int RunImport(const Args& input) {
  if (WantsHelp(input)) {
    std::fputs("usage: sarnctl import FILE.json [FOLDER] [--apply]   (FILE.json may be - for standard input)\n\n"
               "Checks the whole document first (types, ranges, field sizes, the codes each button may hold,\n"
               "macro set names that would share a file section) and prints every problem with its JSON path;\n"
               "only a document without problems is written, all files or none: each new file is written beside\n"
               "the old one first, and when one cannot replace its old file, those already replaced are put back.\n"
               "A document without the mail password keeps the folder's. --apply then sends it to the mouse\n"
               "as sarnctl apply does.\n",
               stdout);
    return 0;
  }
  Args args = input;
  const bool apply = TakeFlag(args, "--apply");
  if (args.empty() || args.size() > 2) return Usage("import FILE.json [FOLDER] [--apply]");
  std::filesystem::path folder;
  int exitCode = 0;
  if (!ResolveFolderWord(args.size() > 1 ? &args[1] : nullptr, folder, exitCode)) return exitCode;
  std::string text;
  if (!ReadText(args[0], text)) return Fail("cannot read " + args[0]);
  sarn::JsonValue document;
  sarn::JsonError jsonError;
  if (!sarn::ParseJson(text, document, jsonError)) {
    return Fail(args[0] + ":" + std::to_string(jsonError.line) + ":" + std::to_string(jsonError.column) + ": " +
                jsonError.message);
  }
  Configuration config;
  Problems problems;
  ConfigurationFromJson(document, config, problems);
  if (!problems.empty()) {
    Report(problems);
    return Fail("nothing was written (" + std::to_string(problems.size()) + " problem" + (problems.size() == 1 ? ")" : "s)"));
  }
  {
    FolderLock lock(folder);
    if (!lock.held()) return Fail("cannot lock the files of " + folder.string());
    std::string error;
    if (!config.mailPasswordGiven) {
      // The document has no password: the folder's stays, so config.ini must be readable to know it.
      const auto configPath = sarn::SettingsFilePath(folder);
      sarn::IniDocument configIni;
      std::error_code ec;
      if (!sarn::LoadIniFile(configPath, configIni) && std::filesystem::exists(configPath, ec)) {
        return Fail("cannot read " + configPath.string() + " (held open by another program?): nothing was written");
      }
      sarn::NotificationSettings current{};
      sarn::ResetNotificationSettings(current);
      (void)sarn::LoadNotificationSettings(current, folder);
      KeepFolderSecrets(config, current);
    }
    if (!WriteConfigurationFiles(folder, BuildConfigurationFiles(config, folder), error)) return Fail(error);
  }
  return AfterEdit(folder, apply);
}

}  // namespace sarnctl
