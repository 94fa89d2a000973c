#include <windows.h>

#include "common/name_match.h"

namespace sarn {

// CharUpperBuffA works in the system code page and leaves the trail bytes of double-byte characters alone,
// which is what the stored names need.
std::string FoldNameCase(std::string_view name) {
  std::string out(name);
  if (!out.empty()) CharUpperBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

}  // namespace sarn
