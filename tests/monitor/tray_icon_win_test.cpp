#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "monitor/tray_icon_win.h"

namespace sarn {
namespace {

// Counts the opaque pixels (mask bit 0) and the lit ones among them (colour not black).
struct Coverage {
  int width = 0, opaque = 0, lit = 0;
};

Coverage Inspect(HICON icon) {
  Coverage c;
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return c;
  BITMAP bm{};
  GetObject(info.hbmColor, sizeof bm, &bm);
  c.width = bm.bmWidth;
  const int w = bm.bmWidth, h = bm.bmHeight;
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<DWORD> color(static_cast<std::size_t>(w * h)), mask(static_cast<std::size_t>(w * h));
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, info.hbmColor, 0, static_cast<UINT>(h), color.data(), &bi, DIB_RGB_COLORS);
  GetDIBits(dc, info.hbmMask, 0, static_cast<UINT>(h), mask.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  for (std::size_t i = 0; i < color.size(); ++i) {
    if ((mask[i] & 0xFFFFFF) == 0) {
      ++c.opaque;
      if ((color[i] & 0xFFFFFF) != 0) ++c.lit;
    }
  }
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return c;
}

TEST(TrayIcon, AnExecutableWithoutIconResourceStillGetsAVisibleIconOfTheAskedSize) {
  // The test program carries no resource 128: the drawn icon stands in.
  for (int size : {16, 20, 32}) {
    SCOPED_TRACE(size);
    HICON icon = LoadProgramIcon(GetModuleHandleA(nullptr), size);
    ASSERT_NE(icon, nullptr);
    const Coverage c = Inspect(icon);
    EXPECT_EQ(c.width, size);
    EXPECT_GT(c.opaque, size * size / 3);      // a shape, not a blank square
    EXPECT_LT(c.opaque, size * size);          // with transparent corners
    EXPECT_GT(c.lit, c.opaque / 2);            // in colour
    DestroyIcon(icon);
  }
}

}  // namespace
}  // namespace sarn
