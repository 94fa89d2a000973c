// Stored texts are in the system code page; windows, JSON and labels want Unicode. Conversions happen here,
// at the edge. On Windows the system (ANSI) code page is used; elsewhere stored text is taken as Windows-1252.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace sarn {

[[nodiscard]] std::string AnsiToUtf8(std::string_view ansi);
// One character as UTF-8 (surrogates and values past U+10FFFF become U+FFFD).
void AppendUtf8(std::string& out, char32_t c);
// Decodes the character at `pos` and moves past it; a malformed, overlong or cut sequence gives U+FFFD for at
// least one byte, so decoding always advances and never reads past the end.
[[nodiscard]] char32_t DecodeUtf8(std::string_view s, std::size_t& pos);
// Characters the code page cannot hold become '?'.
[[nodiscard]] std::string Utf8ToAnsi(std::string_view utf8);
[[nodiscard]] std::wstring Utf8ToWide(std::string_view utf8);
[[nodiscard]] std::string WideToUtf8(std::wstring_view wide);
// A path from stored (system code page) text: on Windows converted through the ANSI code page, elsewhere as is.
[[nodiscard]] std::filesystem::path AnsiPath(std::string_view ansi);

}  // namespace sarn
