#include "option/settings_pages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "option/skin_controls.h"
#include "option/ui_texts.h"

namespace sarn {
namespace {

std::unique_ptr<SharedBlock> Block(int current = 0) {
  auto b = std::make_unique<SharedBlock>();
  std::memset(b.get(), 0, sizeof *b);
  ResetSettings(*b, [] { return 1; });
  b->CurrentProfile = current;
  return b;
}

ControlView ViewOf(const PageLogic& page, const SharedBlock& w, int id) {
  const auto v = page.View(w);
  const ControlView* c = FindView(v, id);
  EXPECT_NE(c, nullptr) << id;
  return c != nullptr ? *c : ControlView{};
}

// Every table entry parses, sits inside the page and has a view; identifiers are unique per page.
TEST(SettingsPages, TablesAreWellFormed) {
  MainPage main;
  AdvancedPage advanced;
  UpdatePage update;
  auto w = Block();
  for (const PageLogic* page : {static_cast<const PageLogic*>(&main), static_cast<const PageLogic*>(&advanced),
                                static_cast<const PageLogic*>(&update)}) {
    const auto view = page->View(*w);
    for (const PageControlSpec& s : page->Controls()) {
      const LayoutEntry e = ParseLayout(s.layout);
      EXPECT_GT(e.width(), 0) << s.layout;
      EXPECT_LE(e.right, 774) << s.layout;
      EXPECT_LE(e.bottom, 312) << s.layout;
      EXPECT_NE(FindView(view, s.id), nullptr) << s.layout;
      int same = 0;
      for (const PageControlSpec& t : page->Controls()) same += t.id == s.id ? 1 : 0;
      EXPECT_EQ(same, 1) << s.id;
    }
  }
  EXPECT_EQ(ParseLayout(FindSpec(advanced, advanced_page::kMultiColour)->layout).name, "Activate multicolor ");
}

TEST(SettingsPages, PointerSpeedTableBothWays) {
  const int forward[12] = {10, 1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20};
  for (int pos = 0; pos <= 11; ++pos) EXPECT_EQ(PointerSpeedFromSlider(pos), forward[pos]) << pos;
  EXPECT_EQ(PointerSpeedFromSlider(12), 10);
  EXPECT_EQ(PointerSpeedFromSlider(-3), 10);
  const int back[21] = {1, 1, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11};
  for (int speed = 0; speed <= 20; ++speed) EXPECT_EQ(SliderFromPointerSpeed(speed), back[speed]) << speed;
  EXPECT_EQ(SliderFromPointerSpeed(-1), 6);
  EXPECT_EQ(SliderFromPointerSpeed(21), 6);
  EXPECT_EQ(SliderFromPointerSpeed(1000), 6);

  // 9 places the slider at 6; moving it back writes 10.
  MainPage page;
  auto w = Block();
  w->profiles[0].MouseSpeed = 9;
  EXPECT_EQ(ViewOf(page, *w, main_page::kPointSpeed).value, 6);
  page.Value(*w, main_page::kPointSpeed, 6);
  EXPECT_EQ(w->profiles[0].MouseSpeed, 10);
}

TEST(SettingsPages, DoubleClickSliderSetsWindowsAtOnce) {
  MainPage page;
  auto w = Block();
  EXPECT_EQ(w->profiles[0].DbleClickSpeed, 500);
  EXPECT_EQ(ViewOf(page, *w, main_page::kDoubleClick).value, 400);
  EXPECT_EQ(page.Value(*w, main_page::kDoubleClick, 0).doubleClickTime, 900);
  EXPECT_EQ(w->profiles[0].DbleClickSpeed, 900);
  EXPECT_EQ(page.Value(*w, main_page::kDoubleClick, 700).doubleClickTime, 200);
  EXPECT_EQ(w->profiles[0].DbleClickSpeed, 200);
  // Outside the slider's range nothing is written.
  EXPECT_FALSE(page.Value(*w, main_page::kDoubleClick, 701).doubleClickTime.has_value());
  EXPECT_EQ(w->profiles[0].DbleClickSpeed, 200);
}

// The DPI rule over every enable pattern and every current level (and a code that is no level).
TEST(SettingsPages, DpiRuleOverAllPatterns) {
  MainPage page;
  for (int pattern = 0; pattern < 16; ++pattern) {
    for (int level = -1; level < 4; ++level) {
      auto w = Block();
      ProfileRecord& p = w->profiles[0];
      for (int i = 0; i < 4; ++i) p.dpi[i] = (pattern >> i) & 1;
      p.Cpi_X = p.Cpi_Y = level >= 0 ? main_page::kDpiCodes[level] : 3;
      const auto view = page.View(*w);
      for (int i = 0; i < 4; ++i) {
        const ControlView* enable = FindView(view, main_page::kDpiEnableFirst + i);
        const ControlView* choice = FindView(view, main_page::kDpiLevelFirst + i);
        const bool on = (pattern >> i) & 1;
        EXPECT_EQ(enable->pressed, on);
        EXPECT_EQ(enable->enabled, i != level) << "the current level can be switched off";
        EXPECT_EQ(choice->enabled, on) << "a level that is off can be chosen";
        EXPECT_EQ(choice->pressed, i == level);
      }
      // A click that still reaches a disabled control changes nothing.
      if (level >= 0) {
        page.Click(*w, main_page::kDpiEnableFirst + level, false);
        EXPECT_EQ(p.dpi[level], (pattern >> level) & 1);
      }
      for (int i = 0; i < 4; ++i) {
        if ((pattern >> i) & 1) continue;
        page.Click(*w, main_page::kDpiLevelFirst + i, true);
        EXPECT_EQ(DpiLevelOfCode(p.Cpi_X), level) << "chose level " << i << " that is off";
      }
    }
  }
}

TEST(SettingsPages, DpiClicksWriteLevelsAndChoice) {
  MainPage page;
  auto w = Block();
  ProfileRecord& p = w->profiles[0];
  std::memset(p.dpi, 1, 4);
  p.dpi[4] = 7;  // the two levels without controls stay as they are
  p.dpi[5] = 9;
  page.Click(*w, main_page::kDpiLevelFirst + 1, true);
  EXPECT_EQ(p.Cpi_X, 2);
  EXPECT_EQ(p.Cpi_Y, 2);
  page.Click(*w, main_page::kDpiEnableFirst + 2, false);
  EXPECT_EQ(p.dpi[2], 0);
  EXPECT_FALSE(ViewOf(page, *w, main_page::kDpiLevelFirst + 2).enabled);
  EXPECT_FALSE(ViewOf(page, *w, main_page::kDpiEnableFirst + 1).enabled);
  EXPECT_EQ(p.dpi[4], 7);
  EXPECT_EQ(p.dpi[5], 9);
}

TEST(SettingsPages, SensitivityFromSliderAndNumberBox) {
  MainPage page;
  auto w = Block(2);
  ProfileRecord& p = w->profiles[2];
  p.Sensitivity_X = 5;
  p.Sensitivity_Y = 3;  // an equal value does nothing, so Y keeps its own
  page.Value(*w, main_page::kSensitivity, 5);
  EXPECT_EQ(p.Sensitivity_Y, 3);
  page.Value(*w, main_page::kSensitivityNumber, 8);
  EXPECT_EQ(p.Sensitivity_X, 8);
  EXPECT_EQ(p.Sensitivity_Y, 8);
  EXPECT_EQ(ViewOf(page, *w, main_page::kSensitivity).value, 8);
  page.Value(*w, main_page::kSensitivity, 11);  // out of range: nothing
  EXPECT_EQ(p.Sensitivity_X, 8);
  EXPECT_EQ(w->profiles[0].Sensitivity_X, w->profiles[1].Sensitivity_X) << "another profile was written";
}

TEST(SettingsPages, AccelerationScrollingAndWheels) {
  MainPage page;
  auto w = Block();
  ProfileRecord& p = w->profiles[0];
  p.Acceleration = 3;
  page.Click(*w, main_page::kAcceleration, true);
  EXPECT_EQ(p.Acceleration, 8);
  EXPECT_EQ(p.AccelerationFlag, 1);
  p.Acceleration = 5;
  page.Click(*w, main_page::kAcceleration, false);
  EXPECT_EQ(p.Acceleration, 0);
  EXPECT_EQ(p.AccelerationFlag, 0);
  page.Click(*w, main_page::kPageScroll, true);
  EXPECT_EQ(p.ScrollWheelFlag, 1);
  EXPECT_TRUE(ViewOf(page, *w, main_page::kPageScroll).pressed);
  EXPECT_FALSE(ViewOf(page, *w, main_page::kLineScroll).pressed);
  page.Value(*w, main_page::kScrollSpeed, 9);
  page.Value(*w, main_page::kTiltSpeed, 2);
  EXPECT_EQ(p.ScrollWheelSpeed, 9);
  EXPECT_EQ(p.TiltSpeed, 2);
  EXPECT_TRUE(page.Click(*w, main_page::kReset, false).confirmReset);
}

TEST(SettingsPages, NoSelectedSlotEditsNothing) {
  MainPage main;
  AdvancedPage advanced;
  auto w = Block(-1);
  const auto before = std::make_unique<SharedBlock>(*w);
  main.Value(*w, main_page::kSensitivity, 9);
  main.Click(*w, main_page::kAcceleration, true);
  advanced.Click(*w, advanced_page::kRateFirst, true);
  EXPECT_EQ(std::memcmp(before->profiles, w->profiles, sizeof w->profiles), 0);
  EXPECT_FALSE(ViewOf(main, *w, main_page::kSensitivity).enabled);
  EXPECT_TRUE(ViewOf(main, *w, main_page::kReset).enabled);
  EXPECT_TRUE(ViewOf(advanced, *w, advanced_page::kSoundDpi).enabled) << "sound is the application's";
}

TEST(SettingsPages, ColourRuleKeepsTheOtherChoice) {
  AdvancedPage page;
  auto w = Block();
  ProfileRecord& p = w->profiles[0];
  page.Click(*w, advanced_page::kSingleColour, true);
  page.Click(*w, advanced_page::kColourFirst + 4, true);
  page.Click(*w, advanced_page::kMultiColour, true);
  EXPECT_EQ(p.ColorFlag, 1);
  EXPECT_FALSE(ViewOf(page, *w, advanced_page::kColourFirst + 4).enabled);
  EXPECT_TRUE(ViewOf(page, *w, advanced_page::kModeFirst).enabled);
  page.Click(*w, advanced_page::kColourFirst + 1, true);  // disabled: no effect
  page.Click(*w, advanced_page::kModeFirst + 2, true);
  page.Click(*w, advanced_page::kSingleColour, true);
  const ControlView colour = ViewOf(page, *w, advanced_page::kColourFirst + 4);
  EXPECT_TRUE(colour.pressed && colour.enabled) << "switching back shows the colour chosen before";
  EXPECT_EQ(p.ColorChangeMode, 2);
  EXPECT_FALSE(ViewOf(page, *w, advanced_page::kModeFirst + 2).enabled);
}

TEST(SettingsPages, PollingRateAndSound) {
  AdvancedPage page;
  auto w = Block();
  ProfileRecord& p = w->profiles[0];
  p.PollingRate = 7;
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(ViewOf(page, *w, advanced_page::kRateFirst + i).pressed);
  page.Click(*w, advanced_page::kRateFirst + 1, true);
  EXPECT_EQ(p.PollingRate, 1);
  EXPECT_TRUE(ViewOf(page, *w, advanced_page::kRateFirst + 1).pressed);

  page.Click(*w, advanced_page::kSoundDpi, false);
  page.Value(*w, advanced_page::kVolume, 4);
  page.Value(*w, advanced_page::kVolume, 5);
  EXPECT_EQ(w->SoundDpi, 0);
  EXPECT_EQ(w->SoundVolume, 4);
  w->CurrentProfile = 3;  // another slot: the sound settings stay as they are
  EXPECT_FALSE(ViewOf(page, *w, advanced_page::kSoundDpi).pressed);
  EXPECT_EQ(ViewOf(page, *w, advanced_page::kVolume).value, 4);
  page.Click(*w, advanced_page::kLight, false);
  page.Click(*w, advanced_page::kBreathing, false);
  EXPECT_EQ(w->profiles[3].LightSwitch, 0);
  EXPECT_EQ(w->profiles[3].LightType, 0);
  EXPECT_EQ(p.LightSwitch, 1);
}

TEST(SettingsPages, SupportButtonsOpenTheBuildsAddressesOrStayUnavailable) {
  UpdatePage page;
  auto w = Block();
  using namespace update_page;
  // A build without addresses: every button unavailable, saying why, and a click opens nothing.
  for (int id : {kUpdate, kHelp, kMailRequest, kSupportForm, kSupportMail}) {
    EXPECT_FALSE(ViewOf(page, *w, id).enabled) << id;
    EXPECT_EQ(page.Click(*w, id, false).openAddress, "") << id;
    EXPECT_EQ(page.UnavailableReason(id), id == kHelp ? ui::kManualMissing : ui::kNotInThisBuild) << id;
  }
  const SupportLinks links = ParseSupportLinks(
      "[Links]\r\nSupport=https://help.example.org/form?lang=en\r\nUpdate=https://dl.example.org/\r\n"
      "Mail=team@example.org\r\n");
  page.SetAddresses(BuildSupportAddresses(links, "C:\\Sarn\\README.txt"));
  EXPECT_EQ(page.Click(*w, kUpdate, false).openAddress, "https://dl.example.org/");
  EXPECT_EQ(page.Click(*w, kHelp, false).openAddress, "C:\\Sarn\\README.txt");
  // The upper support-form button opens the form; the lower one, like the mail request, starts a mail.
  EXPECT_EQ(page.Click(*w, kSupportForm, false).openAddress, "https://help.example.org/form?lang=en");
  EXPECT_EQ(page.Click(*w, kSupportMail, false).openAddress, "mailto:team@example.org");
  EXPECT_EQ(page.Click(*w, kMailRequest, false).openAddress, "mailto:team@example.org");
  for (int id : {kUpdate, kHelp, kMailRequest, kSupportForm, kSupportMail}) {
    EXPECT_TRUE(ViewOf(page, *w, id).enabled) << id;
    EXPECT_EQ(page.UnavailableReason(id), 0) << id;
  }
  for (int id : {kMailRequest, kSupportForm, kSupportMail}) EXPECT_TRUE(FindSpec(page, id)->linkPointer) << id;
  EXPECT_FALSE(FindSpec(page, kUpdate)->linkPointer);
  EXPECT_EQ(VersionLabel("1.28"), "V1.28");
  EXPECT_EQ(VersionLabel("N/A"), "VN/A");
}

TEST(SettingsPages, AddressFileWithJunkGivesOnlyUsableAddresses) {
  EXPECT_EQ(ParseSupportLinks(""), SupportLinks{});
  EXPECT_EQ(ParseSupportLinks(std::string("\0\xFF[Links\nSupport\n=\n", 19)), SupportLinks{});
  // Another section, or keys without a usable value, give nothing.
  EXPECT_EQ(ParseSupportLinks("[Other]\nSupport=https://a.example/\n"), SupportLinks{});
  const SupportLinks mixed = ParseSupportLinks(
      "[links]\nsupport = \"https://a.example/x\"\nUpdate=file:///C:/Windows/System32/calc.exe\n"
      "Mail=mailto:Team.Lead+sarn@mail.example.co\n");
  EXPECT_EQ(mixed.support, "https://a.example/x");
  EXPECT_EQ(mixed.update, "");
  EXPECT_EQ(mixed.mail, "mailto:Team.Lead+sarn@mail.example.co");

  for (const char* bad : {"https://", "https:///path", "http:/a.example", "ftp://a.example/", "https://a b.example/",
                          "https://a.example/\"x\"", "https://a.example/<x>", "https://a.example/\xC3\xA9",
                          "https://a.example/\t", "C:\\Windows\\notepad.exe", "javascript:alert(1)"}) {
    EXPECT_FALSE(UsableWebAddress(bad)) << bad;
  }
  EXPECT_TRUE(UsableWebAddress("HTTP://a.example"));
  EXPECT_FALSE(UsableWebAddress("https://a.example/" + std::string(2000, 'a')));
  for (const char* bad : {"", "@a.example", "team@", "team@example", "team@@a.example", "a@b@c.example",
                          "te am@a.example", "team@a..example", "team@.a.example", "team@a.example.",
                          "team@a.example?subject=x", "team@a_b.example", "mailto:", "t\xC3\xA9@a.example"}) {
    EXPECT_FALSE(UsableMailAddress(bad)) << bad;
  }
}

}  // namespace
}  // namespace sarn
