// Placeholder until this group of commands is built.
#include <cstdio>

#include "tools/sarnctl.h"

namespace sarnctl {

int RunMonitor(const Args&) {
  std::fputs("sarnctl: this command is not available yet\n", stderr);
  return 2;
}

}  // namespace sarnctl
