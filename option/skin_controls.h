// What the skinned controls decide, apart from any window: layout strings, which state image a button shows,
// slider and number-box arithmetic, menu item sizes, and window shapes from images. The Win32 controls only
// translate messages into these calls and draw what they return.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sarn {

// Messages the controls send to their parents.
inline constexpr unsigned kMsgButtonHover = 1124;   // (1 or 0, notification identifier)
inline constexpr unsigned kMsgHelpText = 1125;      // (1 or 0, 0) to the main window
inline constexpr unsigned kMsgSliderMoved = 1094;   // (position, identifier)
inline constexpr unsigned kMsgNumberChanged = 1114; // (value, identifier)
inline constexpr unsigned kMsgEditChanged = 1116;   // (0 or 13, 0) from the filtered edit to its number box
inline constexpr unsigned kMsgDotChosen = 1792;     // (0, index 0..4) from the five-dot selector

struct LayoutEntry {
  std::string name;  // up to 39 bytes
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::string tip;   // up to 403 bytes, trimmed
  [[nodiscard]] std::int32_t width() const { return right - left; }
  [[nodiscard]] std::int32_t height() const { return bottom - top; }
};

// "NAME,x,y,w,h,tip": the name keeps its blanks; the tip is what follows the last comma, trimmed.
// Missing or malformed numbers read as 0.
[[nodiscard]] LayoutEntry ParseLayout(std::string_view text);

enum class ButtonImage { kNormal, kHover, kPressed, kDisabled };

struct ButtonState {
  bool toggleMode = false;
  bool pressedLook = false;  // the checked state
  bool hover = false;
  bool selected = false;     // the mouse button is held on it
  bool disabled = false;
};
[[nodiscard]] ButtonImage ChooseButtonImage(const ButtonState& state);

// Slider over a track [left, right] with a thumb `thumbWidth` wide.
class SliderModel {
 public:
  SliderModel(std::int32_t left, std::int32_t right, std::int32_t thumbWidth)
      : left_(left), right_(right), thumbWidth_(thumbWidth), thumbX_(left) {}

  void SetRange(int minimum, int maximum) { min_ = minimum; max_ = maximum; }
  void SetSnap(bool snap) { snap_ = snap; }

  // Each returns the value to report with 1094.
  int ClickTrack(std::int32_t x);
  int Drag(std::int32_t thumbX);  // the wanted thumb position; it is kept on the track
  int Release();
  // Moves the thumb without reporting anything.
  void SetPosition(int value);

  [[nodiscard]] int value() const { return value_; }
  [[nodiscard]] std::int32_t thumbX() const { return thumbX_; }

 private:
  [[nodiscard]] double DragValue() const;
  [[nodiscard]] int Clamp(long long v) const;
  [[nodiscard]] std::int32_t ThumbFor(int value) const;

  std::int32_t left_, right_, thumbWidth_;
  std::int32_t thumbX_;
  int min_ = 0, max_ = 100;
  bool snap_ = false;
  int value_ = 0;
};

// The filtered edit keeps the longest leading run of "0123456789,.".
[[nodiscard]] std::string FilterNumericText(std::string_view text);
// Keys the filtered edit lets through in numeric mode (virtual-key codes).
[[nodiscard]] bool NumericEditAcceptsKey(unsigned virtualKey);

struct NumberBoxUpdate {
  int value = 0;
  std::string shownText;   // the text the field shows afterwards
  bool notify = false;     // send 1114 (value, identifier)
};
// The number box's answer to 1116 (code 0 on a change, 13 on Enter) for the text now in its field.
[[nodiscard]] NumberBoxUpdate NumberBoxOnEdit(std::string_view text, unsigned code, int minimum, int maximum,
                                              bool decimalMode);

struct MenuItemSize {
  int width = 0;
  int height = 0;
};
inline constexpr int kFunctionMenuWidth = 140;
// The width in pixels of a text (UTF-8) as the menu draws it: its font at the screen's dpi. The window
// measures with the system; tests give their own.
using TextWidth = std::function<int(std::string_view text)>;
// A menu item's size at `dpi`. menuWidth 0 means "as wide as the text needs" (the text as drawn and the
// margins); otherwise every item is menuWidth pixels wide (already scaled by the caller).
[[nodiscard]] MenuItemSize MeasureMenuItem(unsigned command, std::string_view text, int menuWidth, int dpi,
                                           const TextWidth& textWidth);

struct PixelRect {
  std::int32_t left, top, right, bottom;
  bool operator==(const PixelRect&) const = default;
};
// One-pixel-high runs of every pixel whose colour (0x00RRGGBB, alpha ignored) is not `transparent`, row by
// row from the top. `stride` is in pixels.
[[nodiscard]] std::vector<PixelRect> OpaqueRuns(const std::uint32_t* pixels, int width, int height, int stride,
                                                std::uint32_t transparent);
// The shape of an image: everything but pure white.
[[nodiscard]] std::vector<PixelRect> ShapeRunsFromImage(const std::uint32_t* pixels, int width, int height,
                                                        int stride);
// The shape of a window image: everything but the colour of its top-left pixel.
[[nodiscard]] std::vector<PixelRect> ShapeRunsFromKeyColour(const std::uint32_t* pixels, int width, int height,
                                                            int stride);

// --- Screen scale -----------------------------------------------------------------------------------------
// Layout strings are in 96-dpi pixels; the window is built at the screen's dpi so that text and skin stay sharp.
[[nodiscard]] std::int32_t ScaleLength(std::int32_t length, int dpi);
[[nodiscard]] LayoutEntry ScaleLayout(const LayoutEntry& entry, int dpi);

// --- Skinned scroll bar -----------------------------------------------------------------------------------
enum class ScrollPart { kNone, kLineUp, kPageUp, kThumb, kPageDown, kLineDown };
// Parts along the bar's long axis: arrows `arrow` long at both ends, the thumb between pageUp and pageDown.
struct ScrollGeometry {
  int length = 0;      // the whole bar
  int arrow = 0;       // each arrow
  int thumbStart = 0;  // from the bar's start
  int thumbLength = 0;
};
[[nodiscard]] ScrollPart ScrollHit(const ScrollGeometry& g, int along);
// Thumb position and size for a range, a page and a position (the thumb never shrinks below the arrow).
[[nodiscard]] ScrollGeometry ScrollLayout(int length, int arrow, int minimum, int maximum, int page, int position);
// A held arrow or page area repeats: at once, after 500 ms, then every 100 ms. The delay before the next
// repeat after `repeatsSoFar` repeats (1 = the first, sent at the press).
[[nodiscard]] int ScrollRepeatDelayMs(int repeatsSoFar);
// Whether a held part keeps repeating: an arrow until the end of the range, a page area until the thumb
// reaches the pointer.
[[nodiscard]] bool ScrollKeepsRepeating(ScrollPart part, const ScrollGeometry& g, int pointerAlong, int position,
                                        int minimum, int maximumPosition);

// --- Five-dot selector -------------------------------------------------------------------------------------
// Five circles side by side in a control `width` x `height`; the index of the circle rectangle holding the
// point, or -1.
[[nodiscard]] int FiveDotHit(int width, int height, int x, int y);
[[nodiscard]] PixelRect FiveDotRect(int width, int height, int index);

// --- Scrolling text ----------------------------------------------------------------------------------------
// Moves up one pixel per 40 ms tick, holds 5000 ms whenever the offset reaches a multiple of the control's
// height, and starts again from below after the end of the text.
class ScrollingTextModel {
 public:
  static constexpr int kStepMs = 40;
  static constexpr int kPauseMs = 5000;
  ScrollingTextModel(int viewHeight, int textHeight) : viewHeight_(viewHeight), textHeight_(textHeight) {}
  // One tick; returns the milliseconds until the next tick.
  int Tick();
  // The text's top relative to the control's top.
  [[nodiscard]] int textTop() const { return -offset_; }

 private:
  int viewHeight_;
  int textHeight_;
  int offset_ = 0;
};

// --- Hover text area ---------------------------------------------------------------------------------------
// The shared help text a hover text area puts up: its own text when the help area shows something else.
[[nodiscard]] bool HoverTextTakesHelpArea(std::wstring_view shownHelp, std::wstring_view ownText);

}  // namespace sarn
