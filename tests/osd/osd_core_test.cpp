#include "osd/osd_core.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace sarn {
namespace {

class FakeEnvironment final : public OsdEnvironment {
 public:
  UserState state = UserState::kAcceptsNotifications;
  std::string foreground = "explorer.exe";
  std::map<int, std::string> translations;
  std::map<int, std::string> names;
  std::string message;
  int messageSeconds = 5;
  int foregroundAsked = 0;

  UserState QueryUserState() override { return state; }
  std::string ForegroundProgram() override {
    ++foregroundAsked;
    return foreground;
  }
  std::string Label(int number, std::string_view english) override {
    auto it = translations.find(number);
    return it != translations.end() ? it->second : std::string(english);
  }
  std::string ProfileName(int slot) override { return names.count(slot) ? names[slot] : ""; }
  std::string NotificationText() override { return message; }
  int SystemMessageSeconds() override { return messageSeconds; }
};

std::optional<std::string> TextOf(OsdEvent event, long value, FakeEnvironment& env) {
  return TextForEvent(event, value, env);
}

TEST(OsdText, EachEventGivesItsText) {
  FakeEnvironment env;
  env.names = {{2, "Sniper"}, {4, "  "}};
  EXPECT_EQ(TextOf(OsdEvent::kProfile, 2, env), "Profile 3: Sniper");
  EXPECT_EQ(TextOf(OsdEvent::kProfile, 0, env), "Profile 1");
  EXPECT_EQ(TextOf(OsdEvent::kProfile, 4, env), "Profile 5");  // a blank name is no name
  EXPECT_EQ(TextOf(OsdEvent::kWindowsProfile, 2, env), "Windows profile: Profile 3: Sniper");
  EXPECT_EQ(TextOf(OsdEvent::kDpi, 1, env), "400 DPI");
  EXPECT_EQ(TextOf(OsdEvent::kDpi, 2, env), "800 DPI");
  EXPECT_EQ(TextOf(OsdEvent::kDpi, 4, env), "1600 DPI");
  EXPECT_EQ(TextOf(OsdEvent::kDpi, 7, env), "3200 DPI");
  EXPECT_EQ(TextOf(OsdEvent::kDpi, 5, env), "DPI level 5");  // a level the configuration window has no name for
  EXPECT_EQ(TextOf(OsdEvent::kSensitivityUp, 7, env), "Sensitivity up: 7");
  EXPECT_EQ(TextOf(OsdEvent::kSensitivityDown, 1, env), "Sensitivity down: 1");
  EXPECT_EQ(TextOf(OsdEvent::kTimerStarted, 90, env), "Timer started: 1:30");
  EXPECT_EQ(TextOf(OsdEvent::kTimerStopped, 0, env), "Timer stopped");
  EXPECT_EQ(TextOf(OsdEvent::kTimerCountdown, 10, env), "Timer: 10 s");
  EXPECT_EQ(TextOf(OsdEvent::kTimerCountdown, 1, env), "Timer: 1 s");
}

TEST(OsdText, ValuesOutsideTheirRangesShowNothing) {
  FakeEnvironment env;
  const std::pair<OsdEvent, long> rows[] = {
      {OsdEvent::kProfile, -1},        {OsdEvent::kProfile, 5},          {OsdEvent::kWindowsProfile, 7},
      {OsdEvent::kDpi, 0},             {OsdEvent::kDpi, 8},              {OsdEvent::kSensitivityUp, 0},
      {OsdEvent::kSensitivityDown, 11}, {OsdEvent::kTimerStarted, 0},    {OsdEvent::kTimerStarted, -5},
      {OsdEvent::kTimerCountdown, 0},  {OsdEvent::kTimerCountdown, 11},  {static_cast<OsdEvent>(0), 1},
      {static_cast<OsdEvent>(9), 1},   {static_cast<OsdEvent>(0xFFFFFFFF), 1},
  };
  for (const auto& [event, value] : rows) {
    EXPECT_EQ(TextOf(event, value, env), std::nullopt) << static_cast<unsigned>(event) << " " << value;
  }
}

TEST(OsdText, TranslationsAndTheirPlaceholders) {
  FakeEnvironment env;
  env.names = {{1, "Büro"}};
  env.translations = {{osd_text::kProfileNamed, "Profil %d: %s"}, {osd_text::kDpi, "%d DPI"},
                      {osd_text::kSensitivityUp, "Empfindlichkeit 100%% hoch: %d"},
                      // A broken translation: too many placeholders, and one that would read a number as text.
                      {osd_text::kSensitivityDown, "%s %d %s %d"}};
  EXPECT_EQ(TextOf(OsdEvent::kProfile, 1, env), "Profil 2: Büro");
  EXPECT_EQ(TextOf(OsdEvent::kSensitivityUp, 3, env), "Empfindlichkeit 100% hoch: 3");
  EXPECT_EQ(TextOf(OsdEvent::kSensitivityDown, 3, env), "3   ");
  // A translation with the name before the number takes them in its own order of placeholders, as text.
  const std::string values[] = {"3", "x"};
  EXPECT_EQ(FillPlaceholders("%s%", values), "3%");
  EXPECT_EQ(FillPlaceholders("", values), "");
}

TEST(OsdText, ClockText) {
  EXPECT_EQ(ClockText(45), "0:45");
  EXPECT_EQ(ClockText(600), "10:00");
  EXPECT_EQ(ClockText(999), "16:39");
  EXPECT_EQ(ClockText(3600), "1:00:00");
  EXPECT_EQ(ClockText(3725), "1:02:05");
}

// --- Showing, replacing, fading ----------------------------------------------------------------------------

OsdAction Show(const std::string& text, int timerMs) { return {OsdAction::Kind::kShow, text, 255, timerMs}; }
OsdAction Alpha(int alpha) { return {OsdAction::Kind::kAlpha, {}, alpha, kFadeStepMs}; }
const OsdAction kHide{OsdAction::Kind::kHide, {}, 0, 0};
const OsdAction kNothing{};

TEST(OsdPresenterMessage, NumbersThatOnlyFitWhenCutAreNoEvent) {
  FakeEnvironment env;
  OsdPresenter p(env);
  p.SetSettings({});
  EXPECT_EQ(p.OnShowMessage(0x100000003ull, 4), kNothing);  // event 3 (DPI) in the low half only
  EXPECT_EQ(p.OnShowMessage(3, 0x100000004ll), kNothing);   // value 4 in the low half only
  EXPECT_EQ(p.OnShowMessage(3, -0xFFFFFFFCll), kNothing);
  EXPECT_EQ(p.OnShowMessage(3, 4).text, "1600 DPI");
}

TEST(OsdPresenter, HoldsThenFadesThenHidesAndStopsItsTimer) {
  FakeEnvironment env;
  OsdPresenter p(env);
  OsdSettings s;
  s.durationMs = 1500;
  p.SetSettings(s);
  EXPECT_EQ(p.OnEvent(OsdEvent::kDpi, 4), Show("1600 DPI", 1500));
  EXPECT_EQ(p.OnTimer(), Alpha(204));
  EXPECT_EQ(p.OnTimer(), Alpha(153));
  EXPECT_EQ(p.OnTimer(), Alpha(102));
  EXPECT_EQ(p.OnTimer(), Alpha(51));
  EXPECT_EQ(p.OnTimer(), kHide);
  EXPECT_EQ(p.state(), OsdPresenter::State::kHidden);
  // A tick already queued when the timer was stopped: hide again (nothing shows) and stop the timer.
  EXPECT_EQ(p.OnTimer(), kHide);
}

TEST(OsdPresenter, ANewChangeReplacesTheShownOneAtOnce) {
  FakeEnvironment env;
  OsdPresenter p(env);
  p.SetSettings({});  // duration 0: the system's message duration
  env.messageSeconds = 3;
  EXPECT_EQ(p.OnEvent(OsdEvent::kTimerStarted, 12), Show("Timer started: 0:12", 3000));
  EXPECT_EQ(p.OnTimer(), Alpha(204));  // fading
  for (long left = 10; left >= 1; --left) {
    // Each second replaces the text and restarts the hold; no queue, whatever the state.
    EXPECT_EQ(p.OnEvent(OsdEvent::kTimerCountdown, left), Show("Timer: " + std::to_string(left) + " s", 3000));
    EXPECT_EQ(p.state(), OsdPresenter::State::kHolding);
  }
  EXPECT_EQ(p.OnEvent(OsdEvent::kTimerStopped, 0), Show("Timer stopped", 3000));
}

TEST(OsdPresenter, HoldComesFromTheSettingsOrTheSystem) {
  FakeEnvironment env;
  OsdPresenter p(env);
  OsdSettings s;
  p.SetSettings(s);
  env.messageSeconds = 0;  // the system gave nothing
  EXPECT_EQ(p.HoldMs(), kDefaultMessageSeconds * 1000);
  env.messageSeconds = 600;  // an accessibility setting of minutes still lets the display go
  EXPECT_EQ(p.HoldMs(), 30000);
  s.durationMs = 800;
  p.SetSettings(s);
  EXPECT_EQ(p.HoldMs(), 800);
}

TEST(OsdPresenter, NeverInTheWay) {
  FakeEnvironment env;
  OsdPresenter p(env);
  OsdSettings s;
  s.hiddenWhile = {"Game.EXE", "C:\\Games\\other.exe"};
  p.SetSettings(s);

  const UserState hidden[] = {UserState::kFullScreenGame, UserState::kPresentation, UserState::kQuietTime,
                              UserState::kNotPresent};
  for (UserState state : hidden) {
    env.state = state;
    EXPECT_EQ(p.OnEvent(OsdEvent::kDpi, 2), kNothing) << to_string(state);
  }
  const UserState shown[] = {UserState::kBusy, UserState::kAcceptsNotifications, UserState::kUnknown,
                             UserState::kStoreApp};
  for (UserState state : shown) {
    env.state = state;
    EXPECT_EQ(p.OnEvent(OsdEvent::kDpi, 2).kind, OsdAction::Kind::kShow) << to_string(state);
  }

  // A listed program comes to the front while the display shows: the next change takes it away at once.
  env.foreground = "game.exe";
  EXPECT_EQ(p.OnEvent(OsdEvent::kDpi, 2), kHide);
  EXPECT_EQ(p.OnEvent(OsdEvent::kDpi, 2), kNothing);
  env.foreground = "OTHER.exe";  // listed with a folder: matched by file name
  EXPECT_EQ(p.OnEvent(OsdEvent::kDpi, 2), kNothing);
  env.foreground = "";  // cannot be told: no reason to hide
  EXPECT_EQ(p.OnEvent(OsdEvent::kDpi, 2).kind, OsdAction::Kind::kShow);

  s.enabled = false;
  p.SetSettings(s);
  env.foreground = "explorer.exe";
  EXPECT_EQ(p.OnEvent(OsdEvent::kDpi, 2), kHide);
  EXPECT_EQ(p.OnNotificationText(), kNothing);
}

TEST(OsdPresenter, ForegroundIsAskedOnlyWithAList) {
  FakeEnvironment env;
  OsdPresenter p(env);
  p.SetSettings({});
  (void)p.OnEvent(OsdEvent::kDpi, 2);
  EXPECT_EQ(env.foregroundAsked, 0);
}

TEST(OsdPresenter, NotificationTextOnOneLine) {
  FakeEnvironment env;
  OsdPresenter p(env);
  p.SetSettings({});
  env.message = "  New mail from Anna\r\nsecond line";
  EXPECT_EQ(p.OnNotificationText().text, "New mail from Anna");
  env.message = "\r\n";
  EXPECT_EQ(p.OnNotificationText(), kNothing);  // nothing to say: the shown text stays
}

TEST(OsdPlacement, InsideTheWorkAreaOfItsMonitor) {
  const OsdRect left{-1920, 0, 0, 1040};  // a monitor left of the primary one
  EXPECT_EQ(PlacePanel(left, 200, 50, OsdPosition::kBottom, 64), (OsdRect{-1060, 926, -860, 976}));
  EXPECT_EQ(PlacePanel(left, 200, 50, OsdPosition::kTop, 64), (OsdRect{-1060, 64, -860, 114}));
  EXPECT_EQ(PlacePanel(left, 200, 50, OsdPosition::kCenter, 64), (OsdRect{-1060, 495, -860, 545}));
  // Larger than the area (a long text on a small screen): against the top-left corner, never off it.
  EXPECT_EQ(PlacePanel({0, 0, 300, 100}, 400, 120, OsdPosition::kBottom, 64), (OsdRect{0, 0, 400, 120}));
  EXPECT_EQ(PlacePanel({0, 0, 300, 100}, 100, 80, OsdPosition::kTop, 64), (OsdRect{100, 20, 200, 100}));
}

TEST(OsdUserState, ShellValues) {
  EXPECT_EQ(UserStateFromQuns(3), UserState::kFullScreenGame);
  EXPECT_EQ(UserStateFromQuns(4), UserState::kPresentation);
  EXPECT_EQ(UserStateFromQuns(6), UserState::kQuietTime);
  EXPECT_EQ(UserStateFromQuns(2), UserState::kBusy);
  EXPECT_EQ(UserStateFromQuns(0), UserState::kUnknown);
  EXPECT_EQ(UserStateFromQuns(8), UserState::kUnknown);
}

}  // namespace
}  // namespace sarn
