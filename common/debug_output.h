// One line to the platform's debug-output channel (OutputDebugStringA on Windows, stderr elsewhere). For the
// few storage failures that are not shown to the user but must leave a trace.
#pragma once

#include <string_view>

namespace sarn {

void WriteDebugLine(std::string_view text);

}  // namespace sarn
