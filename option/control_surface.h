// The controls of one window, as small objects inside it: the window draws them from its own off-screen bitmap
// and routes the mouse to them. One window per page keeps start-up fast (a child window costs about a
// millisecond to create), while every control still behaves as a skinned control does: hover with its help
// text, capture while the button is held, toggles flipping on release, sliders reporting while dragged, and
// clicks reaching the window as commands from the control's identifier.
//
// This is the decision part, apart from any window: the window feeds it mouse input and carries out the
// events it returns, in order.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "option/skin_controls.h"

namespace sarn {

enum class SurfaceKind {
  kButton,   // push button, toggle, radio member, label
  kSlider,   // a track with a thumb
  kPicture,  // drawn by its owner; takes hover (help text) but no clicks
};

struct SurfaceControl {
  int id = 0;
  SurfaceKind kind = SurfaceKind::kButton;
  PixelRect rect{};
  bool toggle = false;
  bool visible = true;
  bool enabled = true;
  bool pressedLook = false;
  bool linkPointer = false;
  int notifyId = 0;        // sent with 1124
  std::wstring help;       // put into the help area while hovered
  std::wstring caption;    // drawn over the state image
  // Sliders: the thumb's size; the model follows the track rectangle.
  int thumbWidth = 0, thumbHeight = 0;
  std::optional<SliderModel> slider;

  // Live state.
  bool hover = false;
  bool selected = false;  // the mouse button went down on it and is still held
};

struct SurfaceEvent {
  enum class Kind {
    kHoverStart,   // 1124 (1, notifyId) and the help text up
    kHoverEnd,     // 1124 (0, notifyId) and the help text down
    kCommand,      // the click: a command from `id`
    kSliderMoved,  // 1094 (value, id)
    kRepaint,      // `rect` must be drawn again
    kCapture,      // take the mouse
    kRelease,      // give the mouse back
  };
  Kind kind;
  int id = 0;
  int value = 0;
  PixelRect rect{};
  bool operator==(const SurfaceEvent&) const = default;
};

class ControlSurface {
 public:
  // Adds a control and returns it; identifiers are unique within a surface.
  SurfaceControl& Add(SurfaceControl control);
  [[nodiscard]] SurfaceControl* Find(int id);
  [[nodiscard]] const SurfaceControl* Find(int id) const;
  [[nodiscard]] const std::vector<SurfaceControl>& controls() const { return controls_; }

  // The state setters return the events they cause (a repaint, the end of a hover of a control that goes
  // away); each does nothing when the state is already so.
  std::vector<SurfaceEvent> SetPressed(int id, bool pressed);
  std::vector<SurfaceEvent> SetEnabled(int id, bool enabled);
  std::vector<SurfaceEvent> SetVisible(int id, bool visible);
  std::vector<SurfaceEvent> SetCaption(int id, std::wstring caption);
  std::vector<SurfaceEvent> SetSliderPosition(int id, int value);
  [[nodiscard]] bool Pressed(int id) const;

  // The visible control under a point: a slider's thumb before anything else, then the control added last.
  [[nodiscard]] int HitTest(int x, int y) const;
  [[nodiscard]] PixelRect ThumbRect(const SurfaceControl& slider) const;

  // Mouse input in window pixels. `active`: the window's top-level window is the active one.
  std::vector<SurfaceEvent> MouseMove(int x, int y, bool leftHeld, bool active);
  std::vector<SurfaceEvent> MouseDown(int x, int y);
  std::vector<SurfaceEvent> MouseUp(int x, int y);
  // The pointer left the window, or the window lost the capture to someone else.
  std::vector<SurfaceEvent> MouseLeave();
  std::vector<SurfaceEvent> CaptureLost();

  [[nodiscard]] int hovered() const { return hovered_; }
  [[nodiscard]] bool capturing() const { return pressed_ != 0 || dragging_ != 0 || hovered_ != 0; }

 private:
  void EndHover(std::vector<SurfaceEvent>& out);
  // A control that goes away (disabled or hidden) loses its hover and gives back the mouse.
  void LetGo(SurfaceControl& c, std::vector<SurfaceEvent>& out);
  void Repaint(const SurfaceControl& c, std::vector<SurfaceEvent>& out) const;

  std::vector<SurfaceControl> controls_;
  int hovered_ = 0;   // id of the hovered control, 0 for none
  int pressed_ = 0;   // id of the button the mouse went down on
  int dragging_ = 0;  // id of the slider whose thumb is held
  int grab_ = 0;      // where in the thumb it was taken
};

}  // namespace sarn
