// The dark style every window of ours is drawn in: the palette and the skin's font. The configuration
// window paints its skins from it and the on-screen display its panel, so the two look like one product.
#pragma once

#include <windows.h>

namespace sarn::win {

namespace palette {
inline constexpr COLORREF kWindowTop = RGB(34, 38, 45);
inline constexpr COLORREF kWindowBottom = RGB(19, 21, 25);
inline constexpr COLORREF kPanel = RGB(27, 30, 36);
inline constexpr COLORREF kPanelEdge = RGB(52, 58, 67);
inline constexpr COLORREF kFace = RGB(44, 49, 57);
inline constexpr COLORREF kFaceHover = RGB(54, 61, 71);
inline constexpr COLORREF kEdge = RGB(68, 75, 86);
inline constexpr COLORREF kAccent = RGB(53, 160, 222);
inline constexpr COLORREF kAccentDark = RGB(30, 112, 165);
inline constexpr COLORREF kText = RGB(224, 228, 234);
inline constexpr COLORREF kTextDim = RGB(150, 157, 168);
inline constexpr COLORREF kTextOff = RGB(92, 97, 105);
inline constexpr COLORREF kDanger = RGB(196, 64, 64);
}  // namespace palette

// A font of the skin at a dpi (pixel height at 96 dpi); without a face, the face of the loaded language.
[[nodiscard]] HFONT SkinFont(int pixelHeight96, int dpi, bool bold = false, const wchar_t* face = nullptr);

}  // namespace sarn::win
