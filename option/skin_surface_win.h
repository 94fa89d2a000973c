// A window whose skinned controls live inside it (see control_surface.h): it draws them from its skin's page
// images into its own off-screen bitmap and routes the mouse to them. Controls keep the messages of the
// kit's windowed controls: a click is a WM_COMMAND (id, BN_CLICKED) to the window, hover sends 1124 to it and
// puts the help text up through 1125, a slider sends 1094 (position, id).
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "option/control_surface.h"
#include "option/skin_kit_win.h"

namespace sarn::win {

class SkinSurface {
 public:
  explicit SkinSurface(HWND hwnd) : hwnd_(hwnd) {}
  SkinSurface(const SkinSurface&) = delete;
  SkinSurface& operator=(const SkinSurface&) = delete;

  // Rectangles are in window pixels. The skin (and a thumb or picture bitmap) must outlive the surface.
  void AddButton(int id, const RECT& rect, const PageSkin* skin, const SkinButtonOptions& options);
  void AddSlider(int id, const RECT& track, const PageSkin* skin, const Bitmap* thumb, const Bitmap* thumbOff,
                 int minimum, int maximum, bool snap, std::wstring help);
  // A picture shows a bitmap (stretched to its rectangle when `stretch`), or nothing while it has none.
  void AddPicture(int id, const RECT& rect, const Bitmap* bitmap, bool stretch, std::wstring help);

  void SetPressed(int id, bool pressed);
  [[nodiscard]] bool Pressed(int id) const { return model_.Pressed(id); }
  void SetEnabled(int id, bool enabled);
  void SetVisible(int id, bool visible);
  void SetCaption(int id, std::wstring caption);
  // The colour of an enabled control's caption; CLR_INVALID for the kit's own.
  void SetCaptionColour(int id, COLORREF colour);
  void SetHelp(int id, std::wstring help);
  // The label painted into a control's skin images, kept only to describe the control.
  void SetLabel(int id, std::wstring label) { labels_[id] = std::move(label); }
  void SetSkin(int id, const PageSkin* skin);
  void SetPicture(int id, const Bitmap* bitmap);
  void SetSliderPosition(int id, int value);
  [[nodiscard]] RECT RectOf(int id) const;
  [[nodiscard]] const ControlSurface& model() const { return model_; }

  // Draws every visible control that meets `dirty` onto a device context holding the window's background.
  void PaintControls(HDC dc, const RECT& dirty) const;
  // The mouse messages of the window: true when the surface took the message (a press on a control).
  // A press on no control is left to the window (the main window drags itself by its background).
  bool Route(UINT msg, WPARAM wp, LPARAM lp);
  // The link pointer over a control that asks for it; true when the cursor was set.
  bool SetCursorFor(POINT client) const;

  // Every control as JSON, rectangles in screen pixels, for the end-to-end driver.
  [[nodiscard]] std::string Describe() const;

 private:
  struct Look {
    int id;
    const PageSkin* skin = nullptr;
    const Bitmap* image = nullptr;  // a slider's thumb or a picture's bitmap
    const Bitmap* imageOff = nullptr;  // a disabled slider's thumb
    bool stretch = false;
    bool trademark = false;
    COLORREF captionColour = CLR_INVALID;
  };
  void Carry(const std::vector<SurfaceEvent>& events);
  [[nodiscard]] const Look* LookOf(int id) const;
  Look* LookOf(int id);

  HWND hwnd_;
  ControlSurface model_;
  std::vector<Look> looks_;
  std::map<int, std::wstring> labels_;
  bool tracking_ = false;
  bool releasing_ = false;
};

// Paints a window through an off-screen bitmap: `draw` draws everything (background first) into the memory
// context, which is then copied to the screen.
void PaintBuffered(HWND hwnd, const std::function<void(HDC dc, const RECT& dirty)>& draw);

}  // namespace sarn::win
