#include <gtest/gtest.h>

#include <string>

#include "common/text_encoding.h"

namespace sarn {
namespace {

// The tests run natively (Windows-1252) and under Wine, whose system code page is 1252 as well.

TEST(AnsiText, CodePageBytesBecomeUtf8) {
  struct Case {
    std::string ansi;
    std::string utf8;
  } const cases[] = {
      {"Macro 1", "Macro 1"},
      {"caf\xE9", "caf\xC3\xA9"},
      {"\x80", "\xE2\x82\xAC"},     // euro sign
      {"\x9F", "\xC5\xB8"},         // Y with diaeresis
      {"\x81\x8D", "\xC2\x81\xC2\x8D"},  // undefined in the code page: kept as control characters
      {"\xFF", "\xC3\xBF"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(AnsiToUtf8(c.ansi), c.utf8) << c.ansi;
}

TEST(AnsiText, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
}

TEST(AnsiText, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD\xE6\x96\x87 ok"), "?? ok");
  EXPECT_EQ(Utf8ToAnsi("\xC3"), "?");  // a cut sequence does not swallow what follows or crash
}

TEST(Utf8Text, MalformedInputDecodesToReplacementCharacters) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  struct Case {
    std::string in;
    std::string out;
  } const cases[] = {
      {"plain", "plain"},
      {"\xC3\xA9", "\xC3\xA9"},
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},  // outside the basic plane: a surrogate pair on Windows
      {"\xC3", r},
      {"\xC3(", r + "("},
      {"\xE2\x82", r},
      {"\xE2\x82x", r + "x"},
      {"\x80\xBF", r + r},
      {"\xC0\xAF", r + r},               // overlong slash
      {"\xE0\x80\xAF", r + r + r},       // overlong slash, three bytes
      {"\xED\xA0\x80", r + r + r},       // encoded surrogate
      {"\xF4\x90\x80\x80", r + r + r + r},  // past U+10FFFF
      {"\xF8\x88\x80\x80\x80", r + r + r + r + r},
      {"\xFF" "a", r + "a"},
  };
  for (const auto& c : cases) EXPECT_EQ(WideToUtf8(Utf8ToWide(c.in)), c.out) << c.in;
}

TEST(Utf8Text, WideTextEncodes) {
  EXPECT_EQ(WideToUtf8(L"\u5355\u51FB"), "\xE5\x8D\x95\xE5\x87\xBB");
  EXPECT_EQ(Utf8ToWide("\xE5\x8D\x95\xE5\x87\xBB"), L"\u5355\u51FB");
  // A lone surrogate cannot be written as UTF-8.
  const std::wstring lone{static_cast<wchar_t>(0xD800), L'a'};
  EXPECT_EQ(WideToUtf8(lone), "\xEF\xBF\xBD" "a");
}

#if defined(_WIN32)
TEST(AnsiText, PathsGoThroughTheCodePage) {
  EXPECT_EQ(AnsiPath("config\\caf\xE9.zmp").wstring(), L"config\\caf\u00E9.zmp");
}
#endif

}  // namespace
}  // namespace sarn
