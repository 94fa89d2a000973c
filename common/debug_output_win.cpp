#include <windows.h>

#include <string>

#include "common/debug_output.h"

namespace sarn {

void WriteDebugLine(std::string_view text) {
  std::string line(text);
  line += '\n';
  OutputDebugStringA(line.c_str());
}

}  // namespace sarn
