#include "option/skin_controls.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

namespace sarn {
namespace {

constexpr std::size_t kLayoutNameMax = 39;
constexpr std::size_t kLayoutTipMax = 403;

std::string_view Trim(std::string_view s) {
  auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// Reads an optionally signed decimal integer at the front of s (leading blanks allowed), saturating;
// advances s past it and past one following comma.
std::int32_t ReadField(std::string_view& s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  long long v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    v = std::min<long long>(v * 10 + (s[i] - '0'), std::numeric_limits<std::int32_t>::max());
    ++i;
  }
  auto comma = s.find(',', i);
  s.remove_prefix(comma == std::string_view::npos ? s.size() : comma + 1);
  return static_cast<std::int32_t>(negative ? -v : v);
}

std::int32_t SaturatingAdd(std::int32_t a, std::int32_t b) {
  long long sum = static_cast<long long>(a) + b;
  sum = std::clamp<long long>(sum, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(sum);
}

}  // namespace

LayoutEntry ParseLayout(std::string_view text) {
  LayoutEntry e;
  auto firstComma = text.find(',');
  e.name = std::string(text.substr(0, std::min(firstComma == std::string_view::npos ? text.size() : firstComma,
                                               kLayoutNameMax)));
  if (firstComma == std::string_view::npos) return e;
  std::string_view rest = text.substr(firstComma + 1);
  e.left = ReadField(rest);
  e.top = ReadField(rest);
  std::int32_t w = ReadField(rest);
  std::int32_t h = ReadField(rest);
  e.right = SaturatingAdd(e.left, w);
  e.bottom = SaturatingAdd(e.top, h);
  auto tip = Trim(text.substr(text.rfind(',') + 1));
  e.tip = std::string(tip.substr(0, kLayoutTipMax));
  return e;
}

ButtonImage ChooseButtonImage(const ButtonState& s) {
  if (s.toggleMode) {
    if (s.disabled) return ButtonImage::kDisabled;
    if (s.pressedLook) return ButtonImage::kPressed;
    if (s.hover) return ButtonImage::kHover;
    return ButtonImage::kNormal;
  }
  if (s.pressedLook && !s.disabled) return ButtonImage::kPressed;
  if (s.selected) return ButtonImage::kPressed;
  if (s.hover) return ButtonImage::kHover;
  if (s.disabled) return ButtonImage::kDisabled;
  return ButtonImage::kNormal;
}

int SliderModel::Clamp(long long v) const {
  if (min_ > max_) return min_;
  return static_cast<int>(std::clamp<long long>(v, min_, max_));
}

int SliderModel::ClickTrack(std::int32_t x) {
  double span = static_cast<double>(right_) - left_;
  double v = span > 0 ? min_ + (static_cast<double>(x) - left_) * (static_cast<double>(max_) - min_) / span : min_;
  if (snap_) v += 0.5;
  value_ = Clamp(static_cast<long long>(std::trunc(v)));
  thumbX_ = ThumbFor(value_);
  return value_;
}

double SliderModel::DragValue() const {
  // A thumb as wide as the track leaves no room to move: the value stays at the minimum.
  double span = static_cast<double>(right_) - left_ - thumbWidth_;
  if (span <= 0) return min_;
  return min_ + (static_cast<double>(thumbX_) - left_) * (static_cast<double>(max_) - min_) / span;
}

int SliderModel::Drag(std::int32_t thumbX) {
  std::int32_t highest = std::max(left_, right_ - thumbWidth_);
  thumbX_ = std::clamp(thumbX, left_, highest);
  value_ = Clamp(static_cast<long long>(std::trunc(DragValue())));
  return value_;
}

int SliderModel::Release() {
  double v = DragValue();
  if (snap_) v += 0.5;
  value_ = Clamp(static_cast<long long>(std::trunc(v)));
  if (snap_) thumbX_ = ThumbFor(value_);
  return value_;
}

void SliderModel::SetPosition(int value) {
  value_ = Clamp(value);
  thumbX_ = ThumbFor(value_);
}

std::int32_t SliderModel::ThumbFor(int value) const {
  if (max_ <= min_) return left_;
  double x = left_ + (static_cast<double>(right_) - thumbWidth_ - left_) * (static_cast<double>(value) - min_) /
                         (static_cast<double>(max_) - min_);
  return static_cast<std::int32_t>(x);
}

std::string FilterNumericText(std::string_view text) {
  auto end = text.find_first_not_of("0123456789,.");
  return std::string(text.substr(0, end));
}

bool NumericEditAcceptsKey(unsigned vk) {
  if (vk >= '0' && vk <= '9') return true;    // main keyboard digits
  if (vk >= 0x60 && vk <= 0x69) return true;  // numeric pad digits
  switch (vk) {
    case 0x08:  // Backspace
    case 0x0D:  // Enter
    case 0x23:  // End
    case 0x24:  // Home
    case 0x25:  // Left
    case 0x27:  // Right
    case 0x2E:  // Delete
    case 0xBC:  // comma
    case 0xBE:  // period
      return true;
    default:
      return false;
  }
}

NumberBoxUpdate NumberBoxOnEdit(std::string_view text, unsigned code, int minimum, int maximum, bool decimalMode) {
  NumberBoxUpdate u;
  // The value: from the first non-zero digit on, separators removed, capped at the maximum (never overflowing).
  auto first = text.find_first_of("123456789");
  long long value = 0;
  if (first != std::string_view::npos) {
    for (char c : text.substr(first)) {
      if (c == ',' || c == '.') continue;
      if (c < '0' || c > '9') break;
      value = value * 10 + (c - '0');
      if (value > maximum) { value = maximum; break; }
    }
  }
  if (value > maximum) value = maximum;

  // The text shown: the typed digits and only the first separator.
  bool haveSeparator = false;
  std::size_t separatorAt = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      u.shownText += c;
    } else if ((c == ',' || c == '.') && !haveSeparator) {
      haveSeparator = true;
      separatorAt = u.shownText.size();
      u.shownText += c;
    }
  }

  auto show = [&u](long long v) {
    std::string formatted = std::to_string(v);
    if (formatted != u.shownText) u.shownText = formatted;
  };
  if (code == 13) {
    std::size_t n = u.shownText.size();
    if (decimalMode && ((!haveSeparator && n >= 1 && n <= 3) || (haveSeparator && n == 2 && separatorAt == 1) ||
                        (haveSeparator && n == 3 && separatorAt == 2))) {
      value *= 10;
    }
    value = std::clamp<long long>(value, minimum, std::max(minimum, maximum));
    show(value);
  } else if (!u.shownText.empty()) {
    if (value == 0 && value < minimum) value = minimum;
    show(value);
  }
  u.value = static_cast<int>(value);
  u.notify = minimum <= u.value && minimum <= maximum;
  return u;
}

MenuItemSize MeasureMenuItem(unsigned command, std::string_view text, int menuWidth, int dpi,
                             const TextWidth& textWidth) {
  const auto scaled = [dpi](int pixels) { return (pixels * std::max(dpi, 1) + 48) / 96; };
  MenuItemSize size;
  size.height = scaled(command == 0 ? 5 : 18);
  if (menuWidth > 0) {
    size.width = menuWidth;
  } else {
    // The text as drawn (a byte count would make a Chinese item three times too wide), with room for the
    // 2-pixel left margin and the submenu arrow on the right.
    size.width = (textWidth ? std::max(0, textWidth(text)) : 0) + scaled(30);
  }
  return size;
}

std::vector<PixelRect> OpaqueRuns(const std::uint32_t* pixels, int width, int height, int stride,
                                  std::uint32_t transparent) {
  std::vector<PixelRect> runs;
  if (pixels == nullptr || width <= 0 || height <= 0 || stride < width) return runs;
  transparent &= 0xFFFFFF;
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* row = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
    int x = 0;
    while (x < width) {
      while (x < width && (row[x] & 0xFFFFFF) == transparent) ++x;
      int start = x;
      while (x < width && (row[x] & 0xFFFFFF) != transparent) ++x;
      if (x > start) runs.push_back({start, y, x, y + 1});
    }
  }
  return runs;
}

std::vector<PixelRect> ShapeRunsFromImage(const std::uint32_t* pixels, int width, int height, int stride) {
  return OpaqueRuns(pixels, width, height, stride, 0xFFFFFF);
}

std::vector<PixelRect> ShapeRunsFromKeyColour(const std::uint32_t* pixels, int width, int height, int stride) {
  if (pixels == nullptr || width <= 0 || height <= 0) return {};
  return OpaqueRuns(pixels, width, height, stride, pixels[0]);
}

std::int32_t ScaleLength(std::int32_t length, int dpi) {
  if (dpi <= 0) dpi = 96;
  // Rounded to nearest, away from zero for negatives, as MulDiv does.
  const long long scaled = static_cast<long long>(length) * dpi;
  const long long rounded = scaled >= 0 ? (scaled + 48) / 96 : -((-scaled + 48) / 96);
  return static_cast<std::int32_t>(std::clamp<long long>(rounded, std::numeric_limits<std::int32_t>::min(),
                                                         std::numeric_limits<std::int32_t>::max()));
}

LayoutEntry ScaleLayout(const LayoutEntry& e, int dpi) {
  LayoutEntry s = e;
  s.left = ScaleLength(e.left, dpi);
  s.top = ScaleLength(e.top, dpi);
  // Edges are scaled, not sizes, so that neighbouring controls stay flush.
  s.right = ScaleLength(e.right, dpi);
  s.bottom = ScaleLength(e.bottom, dpi);
  return s;
}

ScrollGeometry ScrollLayout(int length, int arrow, int minimum, int maximum, int page, int position) {
  ScrollGeometry g;
  g.length = std::max(0, length);
  g.arrow = std::clamp(arrow, 0, g.length / 2);
  const int track = g.length - 2 * g.arrow;
  const long long range = static_cast<long long>(maximum) - minimum + 1;
  if (track <= 0 || range <= 0) {
    g.thumbStart = g.arrow;
    g.thumbLength = std::max(0, track);
    return g;
  }
  long long thumb = page > 0 ? static_cast<long long>(track) * page / range : g.arrow;
  thumb = std::clamp<long long>(thumb, std::min(g.arrow, track), track);
  const long long maxPosition = std::max<long long>(0, range - std::max(page, 1));
  const long long p = std::clamp<long long>(static_cast<long long>(position) - minimum, 0, maxPosition);
  const long long room = track - thumb;
  g.thumbLength = static_cast<int>(thumb);
  g.thumbStart = g.arrow + static_cast<int>(maxPosition > 0 ? room * p / maxPosition : 0);
  return g;
}

ScrollPart ScrollHit(const ScrollGeometry& g, int along) {
  if (along < 0 || along >= g.length) return ScrollPart::kNone;
  if (along < g.arrow) return ScrollPart::kLineUp;
  if (along >= g.length - g.arrow) return ScrollPart::kLineDown;
  if (along < g.thumbStart) return ScrollPart::kPageUp;
  if (along < g.thumbStart + g.thumbLength) return ScrollPart::kThumb;
  return ScrollPart::kPageDown;
}

int ScrollRepeatDelayMs(int repeatsSoFar) { return repeatsSoFar <= 1 ? 500 : 100; }

bool ScrollKeepsRepeating(ScrollPart part, const ScrollGeometry& g, int pointerAlong, int position, int minimum,
                          int maximumPosition) {
  switch (part) {
    case ScrollPart::kLineUp: return position > minimum;
    case ScrollPart::kLineDown: return position < maximumPosition;
    case ScrollPart::kPageUp: return pointerAlong < g.thumbStart;
    case ScrollPart::kPageDown: return pointerAlong >= g.thumbStart + g.thumbLength;
    case ScrollPart::kThumb:
    case ScrollPart::kNone: return false;
  }
  return false;
}

PixelRect FiveDotRect(int width, int height, int index) {
  // Five equal cells; each circle is the largest square centred in its cell.
  const int cell = std::max(0, width) / 5;
  const int d = std::max(0, std::min(cell, height));
  const int left = index * cell + (cell - d) / 2;
  const int top = (height - d) / 2;
  return {left, top, left + d, top + d};
}

int FiveDotHit(int width, int height, int x, int y) {
  for (int i = 0; i < 5; ++i) {
    const PixelRect r = FiveDotRect(width, height, i);
    if (r.right > r.left && x >= r.left && x < r.right && y >= r.top && y < r.bottom) return i;
  }
  return -1;
}

int ScrollingTextModel::Tick() {
  ++offset_;
  if (viewHeight_ <= 0) return kStepMs;
  if (offset_ > textHeight_) {
    offset_ = -viewHeight_;  // the text has left the top: it comes in again from below
    return kStepMs;
  }
  return offset_ > 0 && offset_ % viewHeight_ == 0 ? kPauseMs : kStepMs;
}

bool HoverTextTakesHelpArea(std::wstring_view shownHelp, std::wstring_view ownText) { return shownHelp != ownText; }

}  // namespace sarn
