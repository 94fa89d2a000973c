#include "common/text_encoding.h"

#include <cstdint>

namespace sarn {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one character at `pos` and moves past it. A malformed or cut sequence yields one U+FFFD for
// its longest valid-looking prefix (at least one byte), so decoding always advances and never reads past
// the end.
char32_t DecodeUtf8(std::string_view s, std::size_t& pos) {
  const auto byteAt = [&s](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
  const std::uint8_t lead = byteAt(pos++);
  if (lead < 0x80) return lead;
  int extra;
  char32_t c;
  char32_t lowest;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, c = lead & 0x1F, lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, c = lead & 0x0F, lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, c = lead & 0x07, lowest = 0x10000;
  } else {
    return kReplacement;
  }
  for (int i = 0; i < extra; ++i) {
    if (pos >= s.size() || (byteAt(pos) & 0xC0) != 0x80) return kReplacement;
    const char32_t next = (c << 6) | (byteAt(pos) & 0x3F);
    // Overlong forms, surrogates and values past U+10FFFF are refused at the first byte that shows it.
    if (i == 0) {
      const char32_t top = next << (6 * (extra - 1));
      if (top < lowest || top > 0x10FFFF || (top >= 0xD800 && top <= 0xDFFF)) return kReplacement;
    }
    c = next;
    ++pos;
  }
  return c;
}

namespace {

#if !defined(_WIN32)
// Windows-1252 in 0x80..0x9F. The five bytes the code page leaves undefined map to the control characters
// of the same value, as Windows itself does, so that every byte survives a round trip.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t FromCp1252(std::uint8_t b) { return b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : b; }

char ToCp1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}
#endif

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const char32_t c = DecodeUtf8(utf8, pos);
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0x10000) {
        out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        continue;
      }
    }
    out += static_cast<wchar_t>(c);
  }
  return out;
}

std::string WideToUtf8(std::wstring_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = static_cast<char32_t>(wide[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      c &= 0xFFFF;
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) {
        const char32_t low = static_cast<char32_t>(wide[i + 1]) & 0xFFFF;
        if (low >= 0xDC00 && low <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    AppendUtf8(out, c);  // a lone surrogate becomes U+FFFD there
  }
  return out;
}

#if !defined(_WIN32)
std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (const char b : ansi) AppendUtf8(out, FromCp1252(static_cast<std::uint8_t>(b)));
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) out += ToCp1252(DecodeUtf8(utf8, pos));
  return out;
}

std::filesystem::path AnsiPath(std::string_view ansi) { return std::filesystem::path(std::string(ansi)); }
#endif

}  // namespace sarn
