#include <cstdio>
#include <cstring>
#include <string>

#include "common/library_search.h"
#include "tools/sarnctl.h"

namespace {

struct Group {
  const char* name;
  int (*run)(const sarnctl::Args&);
  const char* usage;
};

constexpr Group kGroups[] = {
    {"mouse", sarnctl::RunMouse, "mouse COMMAND...        send one command to the virtual mouse (press N, click N, tilt left, state, ...)"},
    {"settings", sarnctl::RunSettings, "settings show [FOLDER]  settings and the five profiles as JSON\n"
                                       "  settings reset [FOLDER] [--apply]  write factory settings into the folder\n"
                                       "  settings set KEY=VALUE... [--folder FOLDER] [--apply]   change application settings"},
    {"profile", sarnctl::RunProfile, "profile show FILE.zmp   one profile file as JSON\n"
                                     "  profile N set KEY=VALUE... [--folder FOLDER] [--apply]  change fields of slot profile N (1..5)"},
    {"button", sarnctl::RunButton, "button N SLOT assign FUNCTION [ARGS] [--folder FOLDER] [--apply]  give a button a function"},
    {"macros", sarnctl::RunMacros, "macros show [FOLDER]    the macro store as JSON"},
    {"timers", sarnctl::RunTimers, "timers show [FOLDER]    the timer list as JSON"},
    {"export", sarnctl::RunExport, "export [--with-secrets] [FOLDER]  the whole configuration as one JSON document (no mail password\n"
                                   "                          unless --with-secrets)"},
    {"import", sarnctl::RunImport, "import FILE.json [FOLDER] [--apply]  check a document and write it into the folder, all files or none"},
    {"apply", sarnctl::RunApply, "apply [FOLDER]          hand the files to the running monitor (it writes the mouse)"},
    {"monitor", sarnctl::RunMonitor, "monitor show            the running monitor's shared block as JSON\n"
                                     "  monitor configure       ask the monitor to open the configuration window\n"
                                     "  monitor exit            ask the monitor to end\n"
                                     "  monitor events          follow the monitor's notifications as JSON lines until Ctrl+C"},
    {"device", sarnctl::RunDevice, "device list [FOLDER]    every HID collection and why it is or is not the mouse\n"
                                   "  device add VID:PID [--name N] [--usage-page P --usage U] [--folder FOLDER]  list a mouse"},
};

void PrintHelp(std::FILE* out) {
  std::fputs("usage: sarnctl GROUP COMMAND [ARGS]\n\n", out);
  for (const auto& g : kGroups) std::fprintf(out, "  %s\n", g.usage);
  std::fputs("\nFOLDER defaults to the folder of sarnctl itself (the program folder). --apply hands an edit to the running\n"
             "monitor as apply does; without it, an edit made while a monitor runs is replaced at its next read of\n"
             "the mouse (sarnctl warns). "
             "sarnctl GROUP --help tells more.\n", out);
}

}  // namespace

int main(int argc, char** argv) {
  sarn::RestrictLibrarySearch();  // before anything loads a library
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
      std::strcmp(argv[1], "help") == 0) {
    PrintHelp(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const auto& g : kGroups) {
    if (std::strcmp(argv[1], g.name) == 0) return g.run(sarnctl::Args(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "sarnctl: unknown command '%s' (see sarnctl --help)\n", argv[1]);
  return 2;
}
