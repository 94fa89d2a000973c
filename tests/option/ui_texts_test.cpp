#include "option/ui_texts.h"

#include <gtest/gtest.h>

#include <string>

#include "option/settings_pages.h"

namespace sarn {
namespace {

// Numbers stay in their own range, in order and once each (the lookup is a binary search), and every
// label has English text; the help libraries are checked against this table by the release test.
TEST(UiTexts, NumbersAreOrderedUniqueAndInTheirRange) {
  int previous = 0;
  for (const UiText& t : UiTexts()) {
    EXPECT_GE(t.number, ui::kFirst);
    EXPECT_LE(t.number, ui::kLast);
    EXPECT_GT(t.number, previous) << t.number;
    EXPECT_FALSE(std::string(t.english).empty()) << t.number;
    EXPECT_EQ(EnglishUiText(t.number), t.english);
    previous = t.number;
  }
  EXPECT_EQ(EnglishUiText(ui::kFirst - 1), "");
  EXPECT_EQ(EnglishUiText(1038), "");  // a help text, not a label
  EXPECT_EQ(UiTextNumber(""), 0);
  EXPECT_EQ(UiTextNumber("Apply"), ui::kApply);
}

// A label the page tables paint must have a number, or it would stay English in every language.
TEST(UiTexts, EveryPageLabelIsNumbered) {
  MainPage main;
  AdvancedPage advanced;
  UpdatePage update;
  for (const PageLogic* page : {static_cast<const PageLogic*>(&main), static_cast<const PageLogic*>(&advanced),
                                static_cast<const PageLogic*>(&update)}) {
    for (const PageControlSpec& s : page->Controls()) {
      const std::string label = s.label;
      // Numbers (DPI levels, polling rates) read the same in every language.
      if (label.empty() || label.find_first_not_of("0123456789") == std::string::npos) continue;
      EXPECT_NE(UiTextNumber(label), 0) << label;
    }
  }
}

TEST(UiTexts, ScriptsWithoutGlyphsInTheSkinFaceGetTheirOwn) {
  EXPECT_STREQ(LanguageFace(1), "Tahoma");        // English
  EXPECT_STREQ(LanguageFace(9), "Tahoma");        // Russian: Tahoma has Cyrillic
  EXPECT_STREQ(LanguageFace(6), "Meiryo");        // Japanese
  EXPECT_STREQ(LanguageFace(7), "Malgun Gothic"); // Korean
  EXPECT_STREQ(LanguageFace(10), "Microsoft YaHei");
  EXPECT_STREQ(LanguageFace(13), "Leelawadee");   // Thai
  EXPECT_STREQ(LanguageFace(14), "Microsoft JhengHei");
  EXPECT_STREQ(LanguageFace(-1), "Tahoma");
  EXPECT_STREQ(LanguageFace(17), "Tahoma");
}

}  // namespace
}  // namespace sarn
