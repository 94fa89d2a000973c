#include "common/debug_output.h"

#if !defined(_WIN32)
#include <cstdio>

namespace sarn {

void WriteDebugLine(std::string_view text) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

}  // namespace sarn
#endif
