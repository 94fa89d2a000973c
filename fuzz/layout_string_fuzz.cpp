// The layout-string reader (skin INI values) on any text: name and tip within their caps, no arithmetic
// overflow in the edges, and a scaled entry for every screen dpi.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "option/skin_controls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const sarn::LayoutEntry e = sarn::ParseLayout(text);
  if (e.name.size() > 39 || e.tip.size() > 403) std::abort();
  if (text.find(',') == std::string_view::npos && e.name.size() != (size < 39 ? size : 39)) std::abort();
  (void)e.width();
  (void)e.height();
  for (const int dpi : {0, 96, 120, 144, 192, 480}) {
    const sarn::LayoutEntry s = sarn::ScaleLayout(e, dpi);
    if (s.name != e.name || s.tip != e.tip) std::abort();
  }
  return 0;
}
