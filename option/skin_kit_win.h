// The skinned controls as Win32 windows. Every control cuts its state images out of page-sized images at its
// own rectangle, so a page's skin is drawn (or loaded) once as whole pages. The decisions (image choice,
// slider and number-box arithmetic, hit tests) are in skin_controls.h; these windows translate messages.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "option/skin_controls.h"

namespace sarn::win {

// Registers the window classes once; safe to call again.
void RegisterSkinClasses(HINSTANCE instance);

// The main window receives 1125 from every control; the shared help text is what it then shows.
void SetHelpTarget(HWND mainWindow);
[[nodiscard]] const std::wstring& SharedHelpText();
void SetSharedHelpText(std::wstring text);
// A control's help text up (or down) in the main window's help area: the shared text and 1125.
void ShowHelpText(bool on, const std::wstring& text);
// The fonts of button captions and of their "TM" mark.
[[nodiscard]] HFONT SkinCaptionFont();
[[nodiscard]] HFONT SkinTrademarkFont();

// Owned page-sized images. A page's skin: its background and the four state images of its controls.
struct Bitmap {
  HBITMAP handle = nullptr;
  int width = 0, height = 0;
  Bitmap() = default;
  Bitmap(HBITMAP h, int w, int hgt) : handle(h), width(w), height(hgt) {}
  Bitmap(Bitmap&& o) noexcept : handle(o.handle), width(o.width), height(o.height) { o.handle = nullptr; }
  Bitmap& operator=(Bitmap&& o) noexcept;
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  ~Bitmap();
};
struct PageSkin {
  Bitmap background, normal, hover, pressed, disabled;
};

// A 32-bit top-down DIB section (pixels may be written directly); `bits` receives the pixel pointer.
[[nodiscard]] Bitmap CreatePixelBitmap(int width, int height, std::uint32_t** bits = nullptr);
// The part of a page image at a rectangle, as a bitmap of its own.
[[nodiscard]] Bitmap CutImage(const Bitmap& page, const RECT& rect);
// Paints a bitmap, or the part of it at a rectangle, at (x, y) of a device context.
void DrawBitmap(HDC dc, const Bitmap& bitmap, int x, int y);
void DrawBitmapPart(HDC dc, const Bitmap& bitmap, const RECT& part, int x, int y);

// Window shapes from images: every pixel but pure white; every pixel but the top-left pixel's colour.
[[nodiscard]] HRGN ShapeFromImage(const Bitmap& image);
[[nodiscard]] HRGN ShapeFromKeyColour(const Bitmap& image);

// Rectangle of a parsed layout entry in window pixels at the given dpi.
[[nodiscard]] RECT LayoutRect(const LayoutEntry& entry, int dpi);

// --- Skinned button: push, toggle, radio member and label. Its state images are the skin's page images at
// its rectangle; the skin must outlive the button. BM_GETCHECK/BM_SETCHECK read and set the pressed
// look; WM_GETTEXT/WM_SETTEXT the caption; clicks reach the parent as WM_COMMAND BN_CLICKED.
struct SkinButtonOptions {
  bool toggle = false;
  bool linkPointer = false;
  bool trademark = false;
  int notifyId = 0;
  std::wstring caption;
  std::wstring help;
};
HWND CreateSkinButton(HWND parent, int id, const RECT& rect, const PageSkin& skin, const SkinButtonOptions& options);
void SetSkinButtonHelp(HWND button, std::wstring help);
void SetSkinButtonPressed(HWND button, bool pressed);
[[nodiscard]] bool SkinButtonPressed(HWND button);
void SetSkinButtonImages(HWND button, const PageSkin& skin, const RECT& rect);
// The caption font (12-pixel "宋体" unless the caller changes it) and colour are the kit's; the caption starts
// 5 pixels from the left, vertically centred.
void SetSkinButtonCaptionFont(HFONT font);

// --- Slider: a track with a thumb window that stays above its siblings. Sends 1094 (value, id).
HWND CreateSkinSlider(HWND parent, int id, const RECT& track, const Bitmap& trackImage, const Bitmap& thumbImage,
                      bool makeShape);
void SetSkinSliderRange(HWND slider, int minimum, int maximum);
void SetSkinSliderSnap(HWND slider, bool snap);
void SetSkinSliderPosition(HWND slider, int value);
void EnableSkinSliderDrag(HWND slider, bool enable);

// --- Number box with its filtered edit field. Sends 1114 (value, id) to its parent.
HWND CreateNumberBox(HWND parent, int id, const RECT& rect, bool decimalMode);
void SetNumberBoxRange(HWND box, int minimum, int maximum);
void SetNumberBoxValue(HWND box, int value);
void SetNumberBoxHelp(HWND box, std::wstring help);
// The message the filtered edit posts to its parent when it loses the keyboard focus.
[[nodiscard]] UINT EditKillFocusMessage();

// --- Owner-drawn popup menu. The frame of every popup menu of the thread is painted by the hook below.
class SkinMenu {
 public:
  explicit SkinMenu(HFONT font);
  ~SkinMenu();
  SkinMenu(const SkinMenu&) = delete;
  SkinMenu& operator=(const SkinMenu&) = delete;
  void AppendItem(unsigned command, std::wstring text, SkinMenu* submenu = nullptr, int highlight = 0,
                  bool trademark = false);
  void SetWidth(int width) { width_ = width; }
  // Shows the menu and returns the chosen command, 0 when none. `rightButtonToo`: items can also be chosen
  // with the right mouse button.
  unsigned Show(HWND owner, POINT screenPoint, bool rightButtonToo = false);
  [[nodiscard]] HMENU handle() const { return menu_; }

  struct Item {
    unsigned command;
    std::wstring text;
    bool submenu;
    int highlight;
    bool trademark;
    SkinMenu* owner;
  };

 private:
  friend LRESULT CALLBACK MenuOwnerProc(HWND, UINT, WPARAM, LPARAM);
  HMENU menu_;
  HFONT font_;
  int width_ = 0;
  std::vector<std::unique_ptr<Item>> items_;
};
// Installed once at start; removed at the end of the program.
void InstallMenuFrameHook();
void RemoveMenuFrameHook();

// --- Single-purpose kinds.
// A label that puts its text into the help area when the pointer comes over it.
HWND CreateHoverText(HWND parent, int id, const RECT& rect, std::wstring text, COLORREF colour);
// Five circles in their colours; a press sends 1792 (0, index).
HWND CreateFiveDots(HWND parent, int id, const RECT& rect, const COLORREF (&colours)[5]);
// A text moving upwards, pausing at each screenful.
HWND CreateScrollingText(HWND parent, int id, const RECT& rect, std::wstring text, HFONT font);
// A text with a hover look that opens its address with the shell when clicked.
HWND CreateLinkText(HWND parent, int id, const RECT& rect, std::wstring text, std::wstring address, HFONT font);
// One bitmap, stretched to the rectangle when `stretch`.
HWND CreatePicture(HWND parent, int id, const RECT& rect, Bitmap bitmap, bool stretch);
// A skinned scroll bar sending WM_VSCROLL / WM_HSCROLL to its parent; SetScrollInfo-like state.
HWND CreateSkinScrollBar(HWND parent, int id, const RECT& rect, bool vertical);
void SetSkinScrollBar(HWND bar, int minimum, int maximum, int page, int position);

}  // namespace sarn::win
