#include "common/name_match.h"

namespace sarn {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
}  // namespace

std::string_view TrimName(std::string_view name) {
  while (!name.empty() && IsBlank(name.front())) name.remove_prefix(1);
  while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
  return name;
}

bool NamesMatch(std::string_view a, std::string_view b) {
  a = TrimName(a);
  b = TrimName(b);
  if (a.size() != b.size()) {
    // Case folding never changes the length of single-byte text; double-byte text is folded per character
    // and keeps its length as well, so different lengths can never match.
    return false;
  }
  return FoldNameCase(a) == FoldNameCase(b);
}

#if !defined(_WIN32)
// Windows-1252, the code page stored text is taken to be on systems without one.
std::string FoldNameCase(std::string_view name) {
  std::string out(name);
  for (char& ch : out) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 'a' && c <= 'z') {
      c = static_cast<unsigned char>(c - 32);
    } else if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {  // à..þ except ÷
      c = static_cast<unsigned char>(c - 32);
    } else if (c == 0x9A || c == 0x9C || c == 0x9E) {  // š œ ž
      c = static_cast<unsigned char>(c - 16);
    } else if (c == 0xFF) {  // ÿ
      c = 0x9F;
    }
    ch = static_cast<char>(c);
  }
  return out;
}
#endif

}  // namespace sarn
