// Draws the skins: a page's background and its four page-sized state images, once at start, from the
// controls' rectangles and a small palette. Controls cut their pictures out of these images exactly as they
// would out of designer bitmaps, so a bitmap skin can replace any page without touching the controls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/skin_style_win.h"
#include "option/skin_kit_win.h"

namespace sarn::win {

enum class SkinLook {
  kTab,          // page tab: a bar under the pressed one
  kPush,         // ordinary push button
  kPrimary,      // the buttons that carry edits to the mouse (OK, Apply)
  kSlot,         // profile slot button
  kField,        // a field whose text the control draws itself (profile names)
  kMark,         // "windows profile" mark, not set
  kMarkSet,      // "windows profile" mark, set
  kMinimize,
  kClose,
  kSmallBox,     // a small box whose text the control draws (language button)
  kCheck,        // toggle: a box that is ticked when pressed, its label to the right
  kRadio,        // radio member: a ring with a dot when pressed, its label to the right
  kSwatch,       // a colour to choose (`colour`), ringed when pressed
  kLevel,        // DPI level choice: the level's number, lit when pressed
  kTrack,        // slider track: a groove across the rectangle
  kLink,         // a button that leads out of the program (mail, web form)
  kLabel,        // a button's function label: a field whose caption the control draws, lit when hovered
  kLabelOff,     // the same label while it cannot be changed: flat and dim in every state
};

struct SkinPart {
  RECT rect;  // in page pixels
  SkinLook look;
  std::wstring label;  // drawn into the images; empty for controls that draw their own caption
  COLORREF colour = 0; // kSwatch
};

struct PageDesign {
  int width = 0, height = 0;  // page pixels
  int dpi = 96;
  bool roundedWindow = false;  // a top-level window: corners outside the shape are pure white
  std::wstring brand;          // large text at the top left
  std::wstring title;          // page heading
  std::vector<RECT> panels;    // darker areas that group controls
  std::vector<RECT> fields;    // inset boxes behind edit fields
  std::vector<std::pair<POINT, std::wstring>> notes;  // small dim texts
  // Small dim texts that end at their point, for the right end of a slider: a longer translation grows leftwards,
  // into the panel, rather than past its edge.
  std::vector<std::pair<POINT, std::wstring>> endNotes;
  std::vector<std::pair<POINT, std::wstring>> headings;  // group headings, with an accent mark
};

[[nodiscard]] PageSkin PaintPageSkin(const PageDesign& design, const std::vector<SkinPart>& parts);
// Where the headings and notes of `design` land when painted (pixels at its dpi, in the loaded language's
// face), to check translations against the panels they belong in.
[[nodiscard]] std::vector<RECT> PageTextRects(const PageDesign& design);
// The four state images of `parts` over a skin's background (already painted or loaded).
void PaintStateImages(PageSkin& skin, const std::vector<SkinPart>& parts, int dpi);

// The mouse from above with its nine inputs numbered, drawn into `area` (device pixels) of a device context:
// 1..9 for the base layer, 10..18 for the shift layer; the held shift keys (B5, B7) show a plus, the marked
// input (0..8, -1 for none) is lit. Mirrored, B1 is the right-hand main button.
struct MouseDrawing {
  bool mirrored = false;
  bool shiftLayer = false;
  bool heldB5 = false, heldB7 = false;
  int markedInput = -1;
};
void PaintMouse(HDC dc, const RECT& area, const MouseDrawing& mouse, int dpi);

// A slider's thumb, `width` x `height` page pixels, on a key colour that drawing leaves out.
[[nodiscard]] Bitmap PaintSliderThumb(int width, int height, int dpi, bool enabled);

// The program icon (large or small), drawn in the same palette.
[[nodiscard]] HICON PaintProgramIcon(int size);

}  // namespace sarn::win
