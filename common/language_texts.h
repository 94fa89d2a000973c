// Where a language's texts come from and the face they are drawn in: shared by every program that shows
// texts of the chosen language (the configuration window, the on-screen display).
#pragma once

#include <filesystem>

namespace sarn {

// "help\<Language>_help.dll" under the program folder (English for an index outside the language table).
[[nodiscard]] std::filesystem::path LanguageLibraryPath(const std::filesystem::path& programFolder,
                                                       int quickHelpLan);

// The face the labels and help texts of a language (index of the language table) are drawn in. The skin's
// own face has no Chinese, Japanese, Korean or Thai glyphs; these are faces Windows has for those scripts.
[[nodiscard]] const char* LanguageFace(int language);

}  // namespace sarn
