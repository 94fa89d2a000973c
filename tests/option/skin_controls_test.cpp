#include <gtest/gtest.h>

#include <vector>

#include "option/skin_controls.h"

namespace sarn {
namespace {

TEST(ParseLayout, NamesRectanglesAndTips) {
  struct Row {
    const char* text;
    const char* name;
    LayoutEntry rect;
    const char* tip;
  };
  const Row rows[] = {
      {"Main,4,75,160,38,Main settings for the selected device", "Main", {"", 4, 75, 164, 113, ""},
       "Main settings for the selected device"},
      {"B1,32,41,159,19,", "B1", {"", 32, 41, 191, 60, ""}, ""},
      {"Activate multicolor ,315,176,180,20,", "Activate multicolor ", {"", 315, 176, 495, 196, ""}, ""},
      {"BUTTON_Reset,665,275,100,25,Reset", "BUTTON_Reset", {"", 665, 275, 765, 300, ""}, "Reset"},
      {"Tip,1,2,3,4,  first part, last part  ", "Tip", {"", 1, 2, 4, 6, ""}, "last part"},
      // Malformed rows: never crash, numbers that are not there read as 0.
      {"", "", {"", 0, 0, 0, 0, ""}, ""},
      {"OnlyName", "OnlyName", {"", 0, 0, 0, 0, ""}, ""},
      {"X,12", "X", {"", 12, 0, 12, 0, ""}, "12"},
      {"X,a,b,c,d,e", "X", {"", 0, 0, 0, 0, ""}, "e"},
      {"X,-5,2147483647,10,2147483647,t", "X", {"", -5, 2147483647, 5, 2147483647, ""}, "t"},
  };
  for (const auto& r : rows) {
    LayoutEntry e = ParseLayout(r.text);
    EXPECT_EQ(e.name, r.name) << r.text;
    EXPECT_EQ(e.left, r.rect.left) << r.text;
    EXPECT_EQ(e.top, r.rect.top) << r.text;
    EXPECT_EQ(e.right, r.rect.right) << r.text;
    EXPECT_EQ(e.bottom, r.rect.bottom) << r.text;
    EXPECT_EQ(e.tip, r.tip) << r.text;
  }
  EXPECT_EQ(ParseLayout(std::string(100, 'n') + ",1,1,1,1,x").name.size(), 39u);
}

TEST(ButtonImage, ToggleAndPushButtonsPickTheirStateImage) {
  using B = ButtonImage;
  struct Row {
    ButtonState s;
    B expected;
  };
  const Row rows[] = {
      {{true, true, true, false, true}, B::kDisabled},   // toggle: disabled wins over the checked look
      {{true, true, true, false, false}, B::kPressed},
      {{true, false, true, false, false}, B::kHover},
      {{true, false, false, true, false}, B::kNormal},   // toggle ignores the held mouse button
      {{false, true, false, false, false}, B::kPressed},
      {{false, true, false, false, true}, B::kDisabled}, // push: disabled checked look falls through
      {{false, false, true, true, true}, B::kPressed},   // held mouse button first
      {{false, false, true, false, true}, B::kHover},    // hover before disabled
      {{false, false, false, false, true}, B::kDisabled},
      {{false, false, false, false, false}, B::kNormal},
  };
  for (const auto& r : rows) EXPECT_EQ(ChooseButtonImage(r.s), r.expected);
}

TEST(Slider, ClickDragReleaseAndSetPosition) {
  SliderModel s(100, 300, 20);
  s.SetRange(0, 700);
  // Click without snap truncates; with snap rounds.
  EXPECT_EQ(s.ClickTrack(101), 3);  // 700/200 = 3.5
  s.SetSnap(true);
  EXPECT_EQ(s.ClickTrack(101), 4);
  EXPECT_EQ(s.ClickTrack(50), 0);     // clamped
  EXPECT_EQ(s.ClickTrack(1000), 700);
  s.SetSnap(false);
  // Drag keeps the thumb on the track: [left, right - w].
  EXPECT_EQ(s.Drag(10), 0);
  EXPECT_EQ(s.thumbX(), 100);
  EXPECT_EQ(s.Drag(500), 700);
  EXPECT_EQ(s.thumbX(), 280);
  // Released a fraction of a step past a position: the lower position without snap.
  EXPECT_EQ(s.Drag(101), 3);  // 700/180 = 3.89
  EXPECT_EQ(s.Release(), 3);
  EXPECT_EQ(s.thumbX(), 101);
  s.SetSnap(true);
  EXPECT_EQ(s.Release(), 4);
  EXPECT_EQ(s.thumbX(), 100 + 180 * 4 / 700);
  s.SetPosition(350);
  EXPECT_EQ(s.value(), 350);
  EXPECT_EQ(s.thumbX(), 190);
  s.SetPosition(-7);
  EXPECT_EQ(s.value(), 0);
}

TEST(Slider, DegenerateTracksAndRangesNeverDivideByZero) {
  SliderModel s(10, 30, 20);  // the thumb fills the track
  s.SetRange(5, 9);
  EXPECT_EQ(s.Drag(25), 5);
  EXPECT_EQ(s.Release(), 5);
  SliderModel flat(10, 10, 0);
  flat.SetRange(1, 1);
  EXPECT_EQ(flat.ClickTrack(10), 1);
  flat.SetPosition(4);
  EXPECT_EQ(flat.thumbX(), 10);
}

TEST(NumericEdit, KeepsTheLeadingNumericRunAndFiltersKeys) {
  EXPECT_EQ(FilterNumericText("12,5x7"), "12,5");
  EXPECT_EQ(FilterNumericText("x12"), "");
  EXPECT_TRUE(NumericEditAcceptsKey('7'));
  EXPECT_TRUE(NumericEditAcceptsKey(0x63));  // numeric pad 3
  EXPECT_TRUE(NumericEditAcceptsKey(0xBE));
  EXPECT_FALSE(NumericEditAcceptsKey('A'));
  EXPECT_FALSE(NumericEditAcceptsKey(0x20));
}

TEST(NumberBox, ValuesShownTextsAndNotifications) {
  struct Row {
    const char* text;
    unsigned code;
    int min, max;
    bool decimal;
    int value;
    const char* shown;
    bool notify;
  };
  const Row rows[] = {
      {"12", 0, 1, 10, false, 10, "10", true},          // capped at the maximum
      {"12", 13, 1, 10, false, 10, "10", true},
      {"0", 0, 1, 10, false, 1, "1", true},             // a zero below the minimum becomes the minimum
      {"", 0, 1, 10, false, 0, "", false},              // an empty field reports nothing
      {"007", 0, 1, 10, false, 7, "7", true},
      {"5", 13, 1, 100, true, 50, "50", true},          // decimal mode: tenths
      {"1.", 13, 1, 100, true, 10, "10", true},
      {"1.5", 13, 1, 100, true, 15, "15", true},
      {"12.", 13, 1, 200, true, 120, "120", true},
      {"1.2.3", 0, 1, 9999, false, 123, "123", true},   // only the first separator is kept while typing
      {"99999999999999999999", 0, 0, 400, false, 400, "400", true},  // no overflow
      {"3", 13, 5, 10, false, 5, "5", true},            // Enter clamps to the minimum
  };
  for (const auto& r : rows) {
    auto u = NumberBoxOnEdit(r.text, r.code, r.min, r.max, r.decimal);
    EXPECT_EQ(u.value, r.value) << r.text << " code " << r.code;
    EXPECT_EQ(u.shownText, r.shown) << r.text << " code " << r.code;
    EXPECT_EQ(u.notify, r.notify) << r.text << " code " << r.code;
  }
}

TEST(Menu, SeparatorsAreThinAndFunctionMenusFixedWidth) {
  EXPECT_EQ(MeasureMenuItem(0, "", kFunctionMenuWidth).height, 5);
  EXPECT_EQ(MeasureMenuItem(1001, "Click", kFunctionMenuWidth).height, 18);
  EXPECT_EQ(MeasureMenuItem(1001, "Click", kFunctionMenuWidth).width, 140);
  EXPECT_GT(MeasureMenuItem(1001, "A much longer item text", 0).width,
            MeasureMenuItem(1001, "Short", 0).width);
}

TEST(Shapes, WhiteBordersAndKeyColourAreCutAway) {
  constexpr std::uint32_t W = 0xFFFFFF, K = 0x00FF00, C = 0x123456;
  // 4x3 image with a white border column on the left and a white last row; stride 5 (padding ignored).
  const std::vector<std::uint32_t> image = {
      W, C, C, W, 0,
      W, C, W, C, 0,
      W, W, W, W, 0,
  };
  auto runs = ShapeRunsFromImage(image.data(), 4, 3, 5);
  EXPECT_EQ(runs, (std::vector<PixelRect>{{1, 0, 3, 1}, {1, 1, 2, 2}, {3, 1, 4, 2}}));
  // Alpha bytes do not matter: 0xFFFFFFFF is white too.
  const std::vector<std::uint32_t> alpha = {0xFFFFFFFF, C | 0xFF000000u};
  EXPECT_EQ(ShapeRunsFromImage(alpha.data(), 2, 1, 2), (std::vector<PixelRect>{{1, 0, 2, 1}}));

  const std::vector<std::uint32_t> keyed = {K, C, K, C, K, K};
  EXPECT_EQ(ShapeRunsFromKeyColour(keyed.data(), 3, 2, 3), (std::vector<PixelRect>{{1, 0, 2, 1}, {0, 1, 1, 2}}));
  EXPECT_TRUE(ShapeRunsFromImage(nullptr, 3, 3, 3).empty());
  EXPECT_TRUE(ShapeRunsFromImage(image.data(), 4, 3, 2).empty());  // a stride shorter than a row is refused
}

}  // namespace
}  // namespace sarn
