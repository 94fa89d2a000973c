#include <gtest/gtest.h>

#include <string>
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
  const TextWidth eight = [](std::string_view t) { return static_cast<int>(t.size()) * 8; };
  EXPECT_EQ(MeasureMenuItem(0, "", kFunctionMenuWidth, 96, eight).height, 5);
  EXPECT_EQ(MeasureMenuItem(1001, "Click", kFunctionMenuWidth, 96, eight).height, 18);
  EXPECT_EQ(MeasureMenuItem(1001, "Click", kFunctionMenuWidth, 96, eight).width, 140);
  EXPECT_GT(MeasureMenuItem(1001, "A much longer item text", 0, 96, eight).width,
            MeasureMenuItem(1001, "Short", 0, 96, eight).width);
}

TEST(Menu, TextWidthIsTheDrawnWidthNotTheByteCount) {
  // A measure that draws every character (not byte) 12 pixels wide, as a 12-pixel CJK face does.
  std::vector<std::string> asked;
  const TextWidth perCharacter = [&](std::string_view t) {
    asked.emplace_back(t);
    int characters = 0;
    for (const char c : t) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return characters * 12;
  };
  const std::string chinese = "\xE7\x81\xAF\xE5\x85\x89\xE5\xBC\x80\xE5\x90\xAF";  // four characters
  EXPECT_EQ(MeasureMenuItem(1001, chinese, 0, 96, perCharacter).width, 4 * 12 + 30);
  EXPECT_EQ(asked, std::vector<std::string>{chinese});
  // At 150 % the margins and the row grow with the screen; the text comes measured at that scale already.
  const MenuItemSize large = MeasureMenuItem(1001, chinese, 0, 144, perCharacter);
  EXPECT_EQ(large.width, 4 * 12 + 45);
  EXPECT_EQ(large.height, 27);
  EXPECT_EQ(MeasureMenuItem(0, "", 0, 144, perCharacter).height, 8);
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

namespace sarn {
namespace {

TEST(ScreenScale, EdgesScaleSoNeighboursStayFlush) {
  const LayoutEntry a = ParseLayout("Profile 1,8, 485,155,25,x");
  const LayoutEntry b = ParseLayout("Profile 2,165, 485,155,25,x");
  for (int dpi : {96, 120, 144, 192}) {
    const LayoutEntry sa = ScaleLayout(a, dpi), sb = ScaleLayout(b, dpi);
    EXPECT_LE(sa.right, sb.left) << dpi;
    EXPECT_EQ(sa.name, "Profile 1");
  }
  EXPECT_EQ(ScaleLayout(a, 144).left, 12);
  EXPECT_EQ(ScaleLayout(a, 192).right, 326);
  EXPECT_EQ(ScaleLength(-3, 144), -5);  // rounds away from zero like MulDiv
  EXPECT_EQ(ScaleLength(10, 0), 10);    // an unknown dpi is taken as 96
  EXPECT_EQ(ScaleLength(2147483647, 192), 2147483647);
}

TEST(ScrollBar, HitPartsAndThumb) {
  // A 100-pixel bar with 10-pixel arrows over positions 0..99 with a page of 20.
  const ScrollGeometry g = ScrollLayout(100, 10, 0, 99, 20, 40);
  EXPECT_EQ(g.thumbLength, 16);
  EXPECT_EQ(g.thumbStart, 10 + 64 * 40 / 80);
  struct Row {
    int along;
    ScrollPart part;
  };
  const Row rows[] = {{-1, ScrollPart::kNone},     {0, ScrollPart::kLineUp},      {9, ScrollPart::kLineUp},
                      {10, ScrollPart::kPageUp},   {g.thumbStart, ScrollPart::kThumb},
                      {g.thumbStart + 16, ScrollPart::kPageDown}, {90, ScrollPart::kLineDown},
                      {100, ScrollPart::kNone}};
  for (const Row& r : rows) EXPECT_EQ(ScrollHit(g, r.along), r.part) << r.along;
  // Degenerate bars never divide by zero and keep the thumb inside the track.
  for (const ScrollGeometry& d : {ScrollLayout(10, 10, 0, 0, 0, 0), ScrollLayout(100, 10, 5, 1, 3, 2),
                                  ScrollLayout(100, 10, 0, 9, 50, 99), ScrollLayout(-4, 2, 0, 9, 1, 1)}) {
    EXPECT_GE(d.thumbStart, d.arrow);
    EXPECT_LE(d.thumbStart + d.thumbLength, std::max(d.arrow, d.length - d.arrow));
  }
  EXPECT_EQ(ScrollLayout(100, 10, 0, 99, 20, 1000).thumbStart, 90 - 16);  // position past the end: at the end
}

TEST(ScrollBar, RepeatScheduleAndStops) {
  EXPECT_EQ(ScrollRepeatDelayMs(1), 500);
  EXPECT_EQ(ScrollRepeatDelayMs(2), 100);
  EXPECT_EQ(ScrollRepeatDelayMs(50), 100);
  const ScrollGeometry g = ScrollLayout(100, 10, 0, 99, 20, 40);
  EXPECT_TRUE(ScrollKeepsRepeating(ScrollPart::kLineUp, g, 5, 1, 0, 80));
  EXPECT_FALSE(ScrollKeepsRepeating(ScrollPart::kLineUp, g, 5, 0, 0, 80));
  EXPECT_FALSE(ScrollKeepsRepeating(ScrollPart::kLineDown, g, 95, 80, 0, 80));
  EXPECT_TRUE(ScrollKeepsRepeating(ScrollPart::kPageDown, g, 95, 40, 0, 80));
  EXPECT_FALSE(ScrollKeepsRepeating(ScrollPart::kPageDown, g, g.thumbStart + 3, 40, 0, 80));  // thumb reached it
  EXPECT_FALSE(ScrollKeepsRepeating(ScrollPart::kPageUp, g, g.thumbStart, 40, 0, 80));
  EXPECT_FALSE(ScrollKeepsRepeating(ScrollPart::kThumb, g, g.thumbStart, 40, 0, 80));
}

TEST(FiveDots, HitsOnlyInsideTheCircleCells) {
  struct Row {
    int x, y, expected;
  };
  // 100 x 14: cells of 20, circles 14 wide starting 3 pixels into each cell.
  const Row rows[] = {{3, 0, 0},  {16, 13, 0}, {2, 5, -1}, {17, 5, -1}, {23, 5, 1}, {83, 7, 4},
                      {96, 7, 4}, {97, 7, -1}, {50, 14, -1}, {50, -1, -1}, {-1, 5, -1}, {100, 5, -1}};
  for (const Row& r : rows) EXPECT_EQ(FiveDotHit(100, 14, r.x, r.y), r.expected) << r.x << "," << r.y;
  EXPECT_EQ(FiveDotHit(3, 14, 0, 5), -1);  // too narrow for any circle
}

TEST(ScrollingText, PausesAtEachScreenfulAndWrapsFromBelow) {
  ScrollingTextModel m(10, 25);
  std::vector<int> delays;
  for (int i = 0; i < 26; ++i) delays.push_back(m.Tick());
  EXPECT_EQ(delays[8], 40);
  EXPECT_EQ(delays[9], 5000);   // offset 10
  EXPECT_EQ(delays[19], 5000);  // offset 20
  EXPECT_EQ(delays[24], 40);    // offset 25: last line still visible
  EXPECT_EQ(m.textTop(), 10);   // offset 26 is past the text: it starts again below the view
  for (int i = 0; i < 10; ++i) EXPECT_EQ(m.Tick(), 40);  // coming back up, and no pause at offset 0
  EXPECT_EQ(m.textTop(), 0);
}

TEST(HoverText, TakesTheHelpAreaOnlyWhenItShowsSomethingElse) {
  EXPECT_TRUE(HoverTextTakesHelpArea(L"", L"Sensitivity"));
  EXPECT_FALSE(HoverTextTakesHelpArea(L"Sensitivity", L"Sensitivity"));
}

}  // namespace
}  // namespace sarn
