#include "monitor/input/input_services_win.h"

#include "common/keyboard_layout.h"

namespace sarn {

Win32InputServices::Win32InputServices(WindowHandle mainWindow)
    : desktop_(mainWindow),
      timers_(mainWindow),
      thread_(MakeWin32PlayerThread()),
      player_(input_, SystemKeyboardLayout(), playerClock_, debug_, *thread_),
      media_(desktop_, windows_, windowClock_, mainWindow),
      keys_(input_, SystemKeyboardLayout(), windowClock_, timers_, desktop_, media_),
      tilt_(windows_, desktop_, input_, documents_) {}

}  // namespace sarn
