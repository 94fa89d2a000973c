#include "option/skin_kit_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace sarn::win {
namespace {

// A bitmap from a pixel function (0x00RRGGBB).
template <typename F>
Bitmap Paint(int w, int h, F colourAt) {
  std::uint32_t* bits = nullptr;
  Bitmap b = CreatePixelBitmap(w, h, &bits);
  GdiFlush();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) bits[y * w + x] = colourAt(x, y);
  }
  return b;
}

TEST(WindowShape, WhiteBordersAndKeyColourAreLeftOut) {
  const Bitmap page = Paint(20, 10, [](int x, int y) {
    return (x < 2 || x >= 18 || y < 2 || y >= 8) ? 0xFFFFFFu : 0x202020u;
  });
  HRGN shape = ShapeFromImage(page);
  RECT box;
  ASSERT_NE(GetRgnBox(shape, &box), ERROR);
  EXPECT_EQ(box.left, 2);
  EXPECT_EQ(box.top, 2);
  EXPECT_EQ(box.right, 18);
  EXPECT_EQ(box.bottom, 8);
  DeleteObject(shape);

  // Near-white is not white: it stays in the shape.
  const Bitmap almost = Paint(4, 4, [](int, int) { return 0xFEFFFFu; });
  shape = ShapeFromImage(almost);
  EXPECT_TRUE(PtInRegion(shape, 0, 0));
  DeleteObject(shape);

  // The key colour is the top-left pixel's, whatever it is.
  const Bitmap thumb = Paint(6, 6, [](int x, int y) { return (x + y) % 2 == 0 ? 0x00FF00u : 0x123456u; });
  shape = ShapeFromKeyColour(thumb);
  EXPECT_FALSE(PtInRegion(shape, 0, 0));
  EXPECT_TRUE(PtInRegion(shape, 1, 0));
  EXPECT_FALSE(PtInRegion(shape, 5, 5));
  DeleteObject(shape);
}

TEST(WindowShape, ManyRunsAreUnitedAcrossBatches) {
  // A checkerboard gives 50 runs a row: 5000 in all, more than one batch of 2000.
  const Bitmap board = Paint(100, 100, [](int x, int y) { return (x + y) % 2 == 0 ? 0xFFFFFFu : 0u; });
  HRGN shape = ShapeFromImage(board);
  int inside = 0, wrong = 0;
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 100; ++x) {
      const bool expected = (x + y) % 2 != 0;
      if (PtInRegion(shape, x, y) != FALSE) ++inside;
      if ((PtInRegion(shape, x, y) != FALSE) != expected) ++wrong;
    }
  }
  EXPECT_EQ(inside, 5000);
  EXPECT_EQ(wrong, 0);
  DeleteObject(shape);
}

TEST(CutImage, TakesThePageImageAtTheRectangle) {
  const Bitmap page = Paint(10, 10, [](int x, int y) { return static_cast<std::uint32_t>(y * 16 + x); });
  const Bitmap part = CutImage(page, RECT{3, 4, 7, 6});
  ASSERT_EQ(part.width, 4);
  ASSERT_EQ(part.height, 2);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, part.handle);
  const COLORREF c = GetPixel(dc, 1, 1);  // page pixel (4, 5)
  SelectObject(dc, old);
  DeleteDC(dc);
  EXPECT_EQ(GetBValue(c), 5 * 16 + 4);
}

// A parent that records what its controls send.
struct Recorder {
  std::vector<std::pair<WPARAM, LPARAM>> numbers;
  std::vector<int> commands;
};
Recorder* g_recorder = nullptr;

LRESULT CALLBACK RecorderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kMsgNumberChanged && g_recorder != nullptr) g_recorder->numbers.emplace_back(wp, lp);
  if (msg == WM_COMMAND && g_recorder != nullptr) g_recorder->commands.push_back(LOWORD(wp));
  return DefWindowProcW(hwnd, msg, wp, lp);
}

class ControlWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSkinClasses(GetModuleHandleW(nullptr));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SarnTestParent";
    RegisterClassW(&wc);
    parent_ = CreateWindowExW(0, L"SarnTestParent", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (parent_ == nullptr) GTEST_SKIP() << "no window station to create windows in";
    g_recorder = &recorder_;
  }
  void TearDown() override {
    g_recorder = nullptr;
    if (parent_ != nullptr) DestroyWindow(parent_);
  }
  HWND parent_ = nullptr;
  Recorder recorder_;
};

TEST_F(ControlWindows, NumberBoxReportsTypedValuesCappedAndShowsTheClampOnEnter) {
  HWND box = CreateNumberBox(parent_, 42, RECT{0, 0, 80, 20}, false);
  ASSERT_NE(box, nullptr);
  SetNumberBoxRange(box, 1, 10);
  HWND edit = GetWindow(box, GW_CHILD);
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, L"12");
  ASSERT_FALSE(recorder_.numbers.empty());
  EXPECT_EQ(recorder_.numbers.back(), (std::pair<WPARAM, LPARAM>(10, 42)));
  SendMessageW(box, kMsgEditChanged, 13, 0);  // Enter
  wchar_t text[16] = {};
  GetWindowTextW(edit, text, 16);
  EXPECT_STREQ(text, L"10");

  // Letters never stay in the field: the leading run of digits and separators is kept.
  SetWindowTextW(edit, L"7a9");
  GetWindowTextW(edit, text, 16);
  EXPECT_STREQ(text, L"7");
  EXPECT_EQ(recorder_.numbers.back().first, 7u);
}

TEST_F(ControlWindows, ToggleButtonFlipsItsLookAndTellsTheParent) {
  PageSkin skin;
  SkinButtonOptions o;
  o.toggle = true;
  HWND toggle = CreateSkinButton(parent_, 7, RECT{0, 0, 20, 20}, skin, o);
  o.toggle = false;
  HWND push = CreateSkinButton(parent_, 8, RECT{30, 0, 50, 20}, skin, o);
  ASSERT_NE(toggle, nullptr);
  SendMessageW(toggle, BM_CLICK, 0, 0);
  EXPECT_TRUE(SkinButtonPressed(toggle));
  SendMessageW(toggle, BM_CLICK, 0, 0);
  EXPECT_FALSE(SkinButtonPressed(toggle));
  SendMessageW(push, BM_CLICK, 0, 0);
  EXPECT_FALSE(SkinButtonPressed(push));  // a push button's look is its parent's to set
  EnableWindow(push, FALSE);
  SendMessageW(push, BM_CLICK, 0, 0);  // a disabled button sends nothing
  EXPECT_EQ(recorder_.commands, (std::vector<int>{7, 7, 8}));
}

// While the menu is open: its window's width, and (with SARN_MENU_SHOT set to a .bmp path) its picture.
int g_menuWidth = 0;
void CALLBACK MeasureOpenMenu(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  HWND menu = FindWindowW(L"#32768", nullptr);
  if (menu != nullptr && IsWindowVisible(menu)) {
    RECT r;
    GetWindowRect(menu, &r);
    g_menuWidth = r.right - r.left;
    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("SARN_MENU_SHOT", path, MAX_PATH) > 0) {
      const int w = r.right - r.left, h = r.bottom - r.top;
      std::uint32_t* bits = nullptr;
      Bitmap shot = CreatePixelBitmap(w, h, &bits);
      HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
      HGDIOBJ old = SelectObject(mem, shot.handle);
      BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
      GdiFlush();
      BITMAPFILEHEADER f = {0x4D42, static_cast<DWORD>(54 + w * h * 4), 0, 0, 54};
      BITMAPINFOHEADER i = {sizeof i, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
      if (FILE* out = std::fopen(path, "wb")) {
        std::fwrite(&f, sizeof f, 1, out);
        std::fwrite(&i, sizeof i, 1, out);
        std::fwrite(bits, 4, static_cast<std::size_t>(w) * static_cast<std::size_t>(h), out);
        std::fclose(out);
      }
      SelectObject(mem, old);
      DeleteDC(mem);
      ReleaseDC(nullptr, screen);
    }
  }
  EndMenu();
}

TEST_F(ControlWindows, ChineseMenuIsAsWideAsItsDrawnText) {
  const std::wstring longest = L"\u706F\u5149\u5F00\u542F\u8BBE\u7F6E";  // six characters, 18 bytes in UTF-8
  SkinMenu menu(nullptr);
  menu.AppendItem(1, longest);
  menu.AppendItem(2, L"\u5B8F");
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, SkinCaptionFont());
  SIZE text = {};
  GetTextExtentPoint32W(screen, longest.c_str(), static_cast<int>(longest.size()), &text);
  SelectObject(screen, old);
  const int margins = MulDiv(30, GetDeviceCaps(screen, LOGPIXELSY), 96);
  ReleaseDC(nullptr, screen);
  ShowWindow(parent_, SW_SHOW);
  InstallMenuFrameHook();
  g_menuWidth = 0;
  SetTimer(nullptr, 0, 300, MeasureOpenMenu);
  menu.Show(parent_, POINT{40, 40});
  RemoveMenuFrameHook();
  ASSERT_GT(g_menuWidth, 0) << "the menu did not open";
  // The item is the text and its margins wide; the frame and the system's own room around owner-drawn
  // items add some 20 pixels (a byte count made this one 72 pixels wider).
  EXPECT_GE(g_menuWidth, text.cx + margins);
  EXPECT_LE(g_menuWidth, text.cx + margins + 24) << "text " << text.cx << " pixels";
}

}  // namespace
}  // namespace sarn::win
