// The language library of the running program and the texts taken from it. A program has one window thread
// and one language at a time: it loads the library on each language choice and takes its texts from here
// when it paints or opens something, never per paint.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace sarn::win {

// Frees the library loaded so far and loads `path` as data (none when it cannot be loaded); `language` is the
// index of the language table, which chooses the face of the labels.
void LoadLanguageLibrary(const std::filesystem::path& path, int language);
void FreeLanguageLibrary();
[[nodiscard]] bool LanguageLibraryLoaded();

// String `number` of the library, or `fallback` (UTF-8) when the library or the string is missing.
[[nodiscard]] std::wstring LanguageText(int number, std::string_view fallback);
// The face labels and help texts are drawn in for the loaded language.
[[nodiscard]] const wchar_t* LabelFace();

}  // namespace sarn::win
