// The settings pages' headings and notes in every language the window ships: each ends inside the panel it
// starts in (or inside the page), so no translation runs over a panel's edge or off the page. The build copies
// the help libraries into help\ beside this test program.
#include <gtest/gtest.h>

#include <string>

#include "common/settings_file.h"
#include "option/option_core.h"
#include "option/option_page_win.h"
#include "option/skin_painter_win.h"
#include "option/ui_text_win.h"

namespace sarn::win {
namespace {

std::filesystem::path TestFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(std::wstring(path, n)).parent_path();
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

TEST(SettingsPageTexts, EveryTranslationEndsInsideItsPanel) {
  for (int lan = 0; lan < kLanguageCount; ++lan) {
    const std::filesystem::path library = LanguageLibraryPath(TestFolder(), lan);
    ASSERT_TRUE(std::filesystem::exists(library)) << library.string();
    LoadLanguageLibrary(library, LanguagePictureIndex(lan));
    ASSERT_TRUE(LanguageLibraryLoaded()) << LanguageName(lan);
    for (const int dpi : {96, 144}) {
      for (const PageKind kind : {PageKind::kMain, PageKind::kAdvanced, PageKind::kUpdate}) {
        const PageDesign design = SettingsPageDesign(kind, dpi);
        const auto px = [dpi](int v) { return MulDiv(v, dpi, 96); };
        const RECT page = {0, 0, px(design.width), px(design.height)};
        const std::vector<RECT> texts = PageTextRects(design);
        for (const RECT& text : texts) {
          const POINT start = {text.left, text.top};
          RECT room = page;
          for (const RECT& p : design.panels) {
            const RECT panel = {px(p.left), px(p.top), px(p.right), px(p.bottom)};
            if (PtInRect(&panel, start) || PtInRect(&panel, POINT{text.right - 1, text.top})) room = panel;
          }
          EXPECT_TRUE(Inside(text, room))
              << LanguageName(lan) << " at dpi " << dpi << ", page " << static_cast<int>(kind) << ": the text at "
              << text.left << "," << text.top << "-" << text.right << "," << text.bottom << " leaves " << room.left
              << "," << room.top << "-" << room.right << "," << room.bottom;
        }
      }
    }
  }
  FreeLanguageLibrary();
}

}  // namespace
}  // namespace sarn::win
