// Names the user types (macro sets, macros, timers) are matched the way people read them: blanks at either
// end do not count and case does not matter. Stored names are system-code-page text, so the case folding
// must understand that code page (double-byte lead and trail bytes on East Asian systems).
#pragma once

#include <string>
#include <string_view>

namespace sarn {

// The name without the white space (space, tab, CR, LF, VT, FF) at both ends.
[[nodiscard]] std::string_view TrimName(std::string_view name);
// True when both names are equal after trimming, ignoring case in the system code page.
[[nodiscard]] bool NamesMatch(std::string_view a, std::string_view b);
// Upper-case form used for comparisons (system code page; natively Windows-1252).
[[nodiscard]] std::string FoldNameCase(std::string_view name);

}  // namespace sarn
