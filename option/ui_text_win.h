// The language library of the running window and the texts taken from it. The window has one thread and
// one language at a time: the main window loads the library on each language choice, and every page and
// dialog takes its labels from here when it paints its skin or opens, never per paint.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "common/language_library_win.h"

namespace sarn::win {

// A label by number (option/ui_texts.h), English when the library lacks it.
[[nodiscard]] std::wstring Label(int number);
// A label named by its English text, as the page tables name them; a text without a number stays as it is.
[[nodiscard]] std::wstring LabelOf(std::string_view english);
// A label with its one placeholder (%d or %s) replaced by `value`. Replaced as text, never formatted: a
// translation whose placeholder differs must not be able to read past the arguments.
[[nodiscard]] std::wstring LabelWith(int number, std::wstring_view value);

}  // namespace sarn::win
