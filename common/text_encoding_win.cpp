#include <windows.h>

#include "common/text_encoding.h"

namespace sarn {
namespace {

std::wstring AnsiToWide(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int size = static_cast<int>(ansi.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), length);
  return wide;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) { return WideToUtf8(AnsiToWide(ansi)); }

std::string Utf8ToAnsi(std::string_view utf8) {
  const std::wstring wide = Utf8ToWide(utf8);
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, "?", nullptr);
  if (length <= 0) return {};
  std::string ansi(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), size, ansi.data(), length, "?", nullptr);
  return ansi;
}

std::filesystem::path AnsiPath(std::string_view ansi) { return std::filesystem::path(AnsiToWide(ansi)); }

}  // namespace sarn
