#include "common/language_library_win.h"

#include "common/language_texts.h"
#include "common/text_encoding.h"

namespace sarn::win {
namespace {

HMODULE g_library = nullptr;
std::wstring g_face = L"Tahoma";

}  // namespace

void LoadLanguageLibrary(const std::filesystem::path& path, int language) {
  FreeLanguageLibrary();
  g_library = LoadLibraryExW(path.wstring().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  g_face = Utf8ToWide(LanguageFace(language));
}

void FreeLanguageLibrary() {
  if (g_library != nullptr) FreeLibrary(g_library);
  g_library = nullptr;
}

bool LanguageLibraryLoaded() { return g_library != nullptr; }

std::wstring LanguageText(int number, std::string_view fallback) {
  if (g_library != nullptr && number > 0) {
    // A pointer to the string in the mapped library (length returned), without a copy into a fixed buffer.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(g_library, static_cast<UINT>(number), reinterpret_cast<LPWSTR>(&text), 0);
    if (length > 0 && text != nullptr) return std::wstring(text, static_cast<std::size_t>(length));
  }
  return Utf8ToWide(fallback);
}

const wchar_t* LabelFace() { return g_face.c_str(); }

}  // namespace sarn::win
