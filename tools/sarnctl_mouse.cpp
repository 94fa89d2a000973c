// sarnctl mouse COMMAND...: one command to the virtual mouse's control pipe; prints the reply.
#include <cstdio>
#include <string>

#include "tools/sarnctl.h"
#ifdef _WIN32
#include "hidport/mouse_pipe.h"
#endif

namespace sarnctl {

int RunMouse(const Args& args) {
  if (args.empty()) {
    std::fputs("usage: sarnctl mouse COMMAND...  (press N, release N, click N, tilt left|right, unplug, plug,\n"
               "       event 0xXXXXXXXX, busy N, fail, corrupt, state)\n", stderr);
    return 2;
  }
  std::string command;
  for (const auto& word : args) {
    if (!command.empty()) command += ' ';
    command += word;
  }
#ifdef _WIN32
  std::string reply;
  switch (sarn::vmouse::SendMouseCommand(command, reply)) {
    case sarn::vmouse::PipeStatus::kOk:
      std::printf("%s\n", reply.c_str());
      return reply == "ok" || reply.rfind("ok ", 0) == 0 ? 0 : 1;
    case sarn::vmouse::PipeStatus::kNoServer:
      std::fputs("sarnctl: no virtual mouse is listening (is a program using its hidport.dll running?)\n", stderr);
      return 1;
    case sarn::vmouse::PipeStatus::kFailed:
      break;
  }
  std::fputs("sarnctl: the virtual mouse did not answer\n", stderr);
  return 1;
#else
  std::fprintf(stderr, "sarnctl: '%s' not sent: the virtual mouse's pipe exists only on Windows\n", command.c_str());
  return 1;
#endif
}

}  // namespace sarnctl
