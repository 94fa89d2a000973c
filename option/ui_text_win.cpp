#include "option/ui_text_win.h"

#include "common/text_encoding.h"
#include "option/ui_texts.h"

namespace sarn::win {
std::wstring Label(int number) { return LanguageText(number, EnglishUiText(number)); }

std::wstring LabelOf(std::string_view english) {
  const int number = UiTextNumber(english);
  return number != 0 ? Label(number) : Utf8ToWide(english);
}

std::wstring LabelWith(int number, std::wstring_view value) {
  std::wstring text = Label(number);
  for (std::size_t at = text.find(L'%'); at != std::wstring::npos && at + 1 < text.size(); at = text.find(L'%', at + 1)) {
    if (text[at + 1] == L'd' || text[at + 1] == L's') return text.replace(at, 2, value);
  }
  return text;
}

}  // namespace sarn::win
