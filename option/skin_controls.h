// What the skinned controls decide, apart from any window: layout strings, which state image a button shows,
// slider and number-box arithmetic, menu item sizes, and window shapes from images. The Win32 controls only
// translate messages into these calls and draw what they return.
#pragma once

#include <cstdint>
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
// menuWidth 0 means "as wide as the text needs".
[[nodiscard]] MenuItemSize MeasureMenuItem(unsigned command, std::string_view text, int menuWidth);

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

}  // namespace sarn
