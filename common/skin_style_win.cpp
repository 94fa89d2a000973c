#include "common/skin_style_win.h"

#include "common/language_library_win.h"

namespace sarn::win {

HFONT SkinFont(int pixelHeight96, int dpi, bool bold, const wchar_t* face) {
  return CreateFontW(-MulDiv(pixelHeight96, dpi, 96), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                     face != nullptr ? face : LabelFace());
}

}  // namespace sarn::win
