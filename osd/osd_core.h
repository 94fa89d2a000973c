// What the on-screen display shows and when, apart from any window: the text of each announced change, the
// rules that keep it out of the user's way, and the life of the one shown text (hold, fade, gone).
//
//   Show ──► kHolding ──(duration)──► kFading ──(kFadeSteps × kFadeStepMs)──► kHidden
//               ▲  │                     │
//               └──┴──── Show ◄──────────┘     a new text replaces the shown one at once, timers restarted
//
// One timer at a time, and none while nothing is shown: idle, the display costs nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/messages.h"
#include "common/osd_settings.h"

namespace sarn {

// The display's texts by the numbers under which each language library holds them; the English text is the
// fallback when a library or one of its strings is missing, and the text English_help.rc carries.
namespace osd_text {
inline constexpr int kFirst = 3500, kLast = 3529;
inline constexpr int kProfileNamed = 3500, kProfile = 3501, kWindowsProfile = 3502, kDpi = 3503,
                     kDpiLevel = 3504, kSensitivityUp = 3505, kSensitivityDown = 3506, kTimerStarted = 3507,
                     kTimerStopped = 3508, kCountdown = 3509;
}  // namespace osd_text

struct OsdLabel {
  int number;
  const char* english;  // UTF-8
};
[[nodiscard]] std::span<const OsdLabel> OsdLabels();
[[nodiscard]] std::string_view EnglishOsdText(int number);

// What the shell says about the user (SHQueryUserNotificationState, in the system's order).
enum class UserState {
  kUnknown,            // the query is missing or failed
  kNotPresent,         // screen saver, locked, or another user's session in front
  kBusy,               // a full-screen window that is no exclusive game (borderless game, video, F11 browser)
  kFullScreenGame,     // a Direct3D program in exclusive full screen
  kPresentation,       // presentation mode
  kAcceptsNotifications,
  kQuietTime,          // the first hour after a new user's first logon
  kStoreApp,           // a full-screen Store app
};
[[nodiscard]] const char* to_string(UserState state);
// Whether a display may appear now: never over an exclusive full-screen game (a topmost window there can
// take the game out of exclusive mode or minimise it), in a presentation, in quiet time or to nobody. A
// borderless full-screen game is where a DPI change most needs confirming and a click-through topmost
// window does not disturb it, so "busy" shows.
[[nodiscard]] bool StateAllowsDisplay(UserState state);

// The shell's QUERY_USER_NOTIFICATION_STATE value (1..7) as a state; kUnknown for anything else.
[[nodiscard]] UserState UserStateFromQuns(int quns);

// Where the panel goes: inside the work area of its monitor, centred across, at the chosen height, kept
// `margin` pixels off the edges; a panel wider or taller than the area is laid against its left or top.
struct OsdRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const OsdRect&) const = default;
};
[[nodiscard]] OsdRect PlacePanel(const OsdRect& workArea, int width, int height, OsdPosition position, int margin);

// What the display asks of its surroundings. Texts are UTF-8.
class OsdEnvironment {
 public:
  virtual ~OsdEnvironment() = default;
  [[nodiscard]] virtual UserState QueryUserState() = 0;
  // The file name of the program whose window is in front ("game.exe"); "" when it cannot be told.
  [[nodiscard]] virtual std::string ForegroundProgram() = 0;
  // Label `number` of the chosen language, or `english` when the language lacks it.
  [[nodiscard]] virtual std::string Label(int number, std::string_view english) = 0;
  // The name of profile slot 0..4 as the user gave it; "" for none.
  [[nodiscard]] virtual std::string ProfileName(int slot) = 0;
  // The last notification text stored for the display ("OSDData"/"Message" of config.ini).
  [[nodiscard]] virtual std::string NotificationText() = 0;
  // The system's time for a message to stay up, in seconds (the accessibility setting).
  [[nodiscard]] virtual int SystemMessageSeconds() = 0;
};

// Replaces the placeholders (%d, %s) of a translated text in order with `values`, as text: a translation
// with fewer or other placeholders never reads past what was given, and "%%" stays a percent sign.
[[nodiscard]] std::string FillPlaceholders(std::string_view text, std::span<const std::string> values);
// A timer's length as a clock shows it: "0:45", "12:00", "1:00:00".
[[nodiscard]] std::string ClockText(std::int64_t seconds);
// The text of an announced change; nothing for an event or value outside its range.
[[nodiscard]] std::optional<std::string> TextForEvent(OsdEvent event, std::int64_t value, OsdEnvironment& env);
// A program name of the hidden-while list matches the foreground program: by file name, without case.
[[nodiscard]] bool ProgramListed(const std::vector<std::string>& list, std::string_view program);

inline constexpr int kFadeStepMs = 40;
inline constexpr int kFadeSteps = 5;
inline constexpr int kDefaultMessageSeconds = 5;

// What the window does next. kNothing leaves window and timer as they are; otherwise `timerMs` 0 stops the one
// timer and any other value (re)starts it with that interval.
struct OsdAction {
  enum class Kind { kNothing, kShow, kAlpha, kHide };
  Kind kind = Kind::kNothing;
  std::string text;  // kShow
  int alpha = 255;   // kShow, kAlpha: 0..255
  int timerMs = 0;
  bool operator==(const OsdAction&) const = default;
};

class OsdPresenter {
 public:
  enum class State { kHidden, kHolding, kFading };

  explicit OsdPresenter(OsdEnvironment& env) : env_(env) {}
  void SetSettings(OsdSettings settings);
  [[nodiscard]] const OsdSettings& settings() const { return settings_; }
  [[nodiscard]] State state() const { return state_; }

  // OsdShow as it arrives (wParam, lParam at their full width: a number that only fits when cut is no
  // event and no value of ours), the event itself, and OsdText.
  [[nodiscard]] OsdAction OnShowMessage(std::uint64_t wParam, std::int64_t lParam);
  [[nodiscard]] OsdAction OnEvent(OsdEvent event, std::int64_t value);
  [[nodiscard]] OsdAction OnNotificationText();
  // The one timer's tick.
  [[nodiscard]] OsdAction OnTimer();
  // The display was closed or lost (the window went away): back to hidden.
  void Reset();

  // How long a text holds before it fades, in milliseconds.
  [[nodiscard]] int HoldMs();

 private:
  [[nodiscard]] OsdAction Present(std::optional<std::string> text);
  [[nodiscard]] bool MayShow();
  void MoveTo(State next);  // every change of state goes to the debug channel

  OsdEnvironment& env_;
  OsdSettings settings_;
  State state_ = State::kHidden;
  int fadeStep_ = 0;
};
[[nodiscard]] const char* to_string(OsdPresenter::State state);

}  // namespace sarn
