#include "osd/osd_core.h"

#include <algorithm>
#include <array>
#include <utility>

#include "common/debug_output.h"
#include "common/name_match.h"
#include "common/value_range.h"

namespace sarn {
namespace {

// One entry a line, "{number, "English"}," : the release check reads this table to compare it with
// English_help.rc, so keep the form.
constexpr OsdLabel kLabels[] = {
    {3500, "Profile %d: %s"},
    {3501, "Profile %d"},
    {3502, "Windows profile: %s"},
    {3503, "%d DPI"},
    {3504, "DPI level %d"},
    {3505, "Sensitivity up: %d"},
    {3506, "Sensitivity down: %d"},
    {3507, "Timer started: %s"},
    {3508, "Timer stopped"},
    {3509, "Timer: %d s"},
};

// The DPI of each level code the configuration window names; the other codes are levels without a name.
constexpr std::array<std::pair<std::int64_t, std::int64_t>, 4> kDpiOfCode = {{{1, 400}, {2, 800}, {4, 1600}, {7, 3200}}};

constexpr std::int64_t kSlotCount = 5;
constexpr std::int64_t kSensitivityMin = 1, kSensitivityMax = 10;
constexpr std::int64_t kCountdownMax = 10;
constexpr std::int64_t kTimerMaxSeconds = 24 * 3600;
constexpr int kMaxMessageSeconds = 30;

std::string Text(OsdEnvironment& env, int number, std::initializer_list<std::string> values) {
  const std::string label = env.Label(number, EnglishOsdText(number));
  return FillPlaceholders(label, std::span<const std::string>(values.begin(), values.size()));
}

std::string ProfileText(OsdEnvironment& env, std::int64_t slot) {
  const std::string number = std::to_string(slot + 1);
  std::string name = env.ProfileName(static_cast<int>(slot));
  name = std::string(TrimName(name));
  return name.empty() ? Text(env, osd_text::kProfile, {number}) : Text(env, osd_text::kProfileNamed, {number, name});
}

// A text shown on one line: cut at the first line break, blank ends trimmed.
std::string OneLine(std::string_view text) {
  const std::size_t end = text.find_first_of("\r\n");
  if (end != std::string_view::npos) text = text.substr(0, end);
  return std::string(TrimName(text));
}

}  // namespace

std::span<const OsdLabel> OsdLabels() { return kLabels; }

std::string_view EnglishOsdText(int number) {
  for (const OsdLabel& l : kLabels) {
    if (l.number == number) return l.english;
  }
  return "";
}

const char* to_string(UserState state) {
  switch (state) {
    case UserState::kUnknown: return "unknown";
    case UserState::kNotPresent: return "not present";
    case UserState::kBusy: return "busy";
    case UserState::kFullScreenGame: return "full-screen game";
    case UserState::kPresentation: return "presentation";
    case UserState::kAcceptsNotifications: return "accepts notifications";
    case UserState::kQuietTime: return "quiet time";
    case UserState::kStoreApp: return "store app";
  }
  return "?";
}

bool StateAllowsDisplay(UserState state) {
  switch (state) {
    case UserState::kNotPresent:
    case UserState::kFullScreenGame:
    case UserState::kPresentation:
    case UserState::kQuietTime:
      return false;
    case UserState::kUnknown:
    case UserState::kBusy:
    case UserState::kAcceptsNotifications:
    case UserState::kStoreApp:
      return true;
  }
  return true;
}

UserState UserStateFromQuns(int quns) {
  switch (quns) {
    case 1: return UserState::kNotPresent;
    case 2: return UserState::kBusy;
    case 3: return UserState::kFullScreenGame;
    case 4: return UserState::kPresentation;
    case 5: return UserState::kAcceptsNotifications;
    case 6: return UserState::kQuietTime;
    case 7: return UserState::kStoreApp;
    default: return UserState::kUnknown;
  }
}

OsdRect PlacePanel(const OsdRect& workArea, int width, int height, OsdPosition position, int margin) {
  const int areaWidth = workArea.right - workArea.left, areaHeight = workArea.bottom - workArea.top;
  int left = workArea.left + (areaWidth - width) / 2;
  int top = 0;
  switch (position) {
    case OsdPosition::kTop: top = workArea.top + margin; break;
    case OsdPosition::kCenter: top = workArea.top + (areaHeight - height) / 2; break;
    case OsdPosition::kBottom: top = workArea.bottom - margin - height; break;
  }
  top = std::max(workArea.top, std::min(top, workArea.bottom - height));
  left = std::max(workArea.left, left);
  return {left, top, left + width, top + height};
}

std::string FillPlaceholders(std::string_view text, std::span<const std::string> values) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      const char kind = text[i + 1];
      if (kind == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (kind == 'd' || kind == 's') {
        if (next < values.size()) out += values[next++];
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::string ClockText(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  const std::int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  auto two = [](std::int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
  return h > 0 ? std::to_string(h) + ":" + two(m) + ":" + two(s) : std::to_string(m) + ":" + two(s);
}

std::optional<std::string> TextForEvent(OsdEvent event, std::int64_t value, OsdEnvironment& env) {
  switch (event) {
    case OsdEvent::kProfile:
      if (value < 0 || value >= kSlotCount) return std::nullopt;
      return ProfileText(env, value);
    case OsdEvent::kWindowsProfile:
      if (value < 0 || value >= kSlotCount) return std::nullopt;
      return Text(env, osd_text::kWindowsProfile, {ProfileText(env, value)});
    case OsdEvent::kDpi: {
      if (value < kCpiRange.min || value > kCpiRange.max) return std::nullopt;
      for (const auto& [code, dpi] : kDpiOfCode) {
        if (code == value) return Text(env, osd_text::kDpi, {std::to_string(dpi)});
      }
      return Text(env, osd_text::kDpiLevel, {std::to_string(value)});
    }
    case OsdEvent::kSensitivityUp:
    case OsdEvent::kSensitivityDown:
      if (value < kSensitivityMin || value > kSensitivityMax) return std::nullopt;
      return Text(env, event == OsdEvent::kSensitivityUp ? osd_text::kSensitivityUp : osd_text::kSensitivityDown,
                  {std::to_string(value)});
    case OsdEvent::kTimerStarted:
      if (value <= 0 || value > kTimerMaxSeconds) return std::nullopt;
      return Text(env, osd_text::kTimerStarted, {ClockText(value)});
    case OsdEvent::kTimerStopped:
      return Text(env, osd_text::kTimerStopped, {});
    case OsdEvent::kTimerCountdown:
      if (value < 1 || value > kCountdownMax) return std::nullopt;
      return Text(env, osd_text::kCountdown, {std::to_string(value)});
  }
  return std::nullopt;  // a number no monitor of ours posts
}

bool ProgramListed(const std::vector<std::string>& list, std::string_view program) {
  auto fileName = [](std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
  };
  const std::string_view name = fileName(TrimName(program));
  if (name.empty()) return false;
  return std::any_of(list.begin(), list.end(),
                     [&](const std::string& entry) { return NamesMatch(fileName(TrimName(entry)), name); });
}

const char* to_string(OsdPresenter::State state) {
  switch (state) {
    case OsdPresenter::State::kHidden: return "hidden";
    case OsdPresenter::State::kHolding: return "holding";
    case OsdPresenter::State::kFading: return "fading";
  }
  return "?";
}

void OsdPresenter::SetSettings(OsdSettings settings) { settings_ = std::move(settings); }

int OsdPresenter::HoldMs() {
  if (settings_.durationMs > 0) return settings_.durationMs;
  int seconds = env_.SystemMessageSeconds();
  if (seconds <= 0) seconds = kDefaultMessageSeconds;
  return std::min(seconds, kMaxMessageSeconds) * 1000;
}

bool OsdPresenter::MayShow() {
  if (!settings_.enabled) return false;
  if (!StateAllowsDisplay(env_.QueryUserState())) return false;
  // Only asked when there is a list: naming the foreground program opens its process.
  return settings_.hiddenWhile.empty() || !ProgramListed(settings_.hiddenWhile, env_.ForegroundProgram());
}

OsdAction OsdPresenter::Present(std::optional<std::string> text) {
  if (!text || text->empty()) return {};
  if (!MayShow()) {
    // What is up stays no longer in the way of what the user now does.
    if (state_ == State::kHidden) return {};
    Reset();
    return {OsdAction::Kind::kHide, {}, 0, 0};
  }
  MoveTo(State::kHolding);
  fadeStep_ = 0;
  return {OsdAction::Kind::kShow, std::move(*text), 255, HoldMs()};
}

OsdAction OsdPresenter::OnShowMessage(std::uint64_t wParam, std::int64_t lParam) {
  if (wParam > UINT32_MAX) return {};
  return OnEvent(static_cast<OsdEvent>(wParam), lParam);
}

OsdAction OsdPresenter::OnEvent(OsdEvent event, std::int64_t value) { return Present(TextForEvent(event, value, env_)); }

OsdAction OsdPresenter::OnNotificationText() { return Present(OneLine(env_.NotificationText())); }

OsdAction OsdPresenter::OnTimer() {
  switch (state_) {
    case State::kHidden:
      return {OsdAction::Kind::kHide, {}, 0, 0};  // a tick that was already queued: stop the timer
    case State::kHolding:
      MoveTo(State::kFading);
      fadeStep_ = 1;
      return {OsdAction::Kind::kAlpha, {}, 255 * (kFadeSteps - fadeStep_) / kFadeSteps, kFadeStepMs};
    case State::kFading:
      if (++fadeStep_ >= kFadeSteps) {
        Reset();
        return {OsdAction::Kind::kHide, {}, 0, 0};
      }
      return {OsdAction::Kind::kAlpha, {}, 255 * (kFadeSteps - fadeStep_) / kFadeSteps, kFadeStepMs};
  }
  return {};
}

void OsdPresenter::Reset() {
  MoveTo(State::kHidden);
  fadeStep_ = 0;
}

void OsdPresenter::MoveTo(State next) {
  if (next == state_) return;
  WriteDebugLine(std::string("OSD ") + to_string(state_) + " -> " + to_string(next) + "\n");
  state_ = next;
}

}  // namespace sarn
