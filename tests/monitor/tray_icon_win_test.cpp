#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
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

// A taskbar that refuses the first `failAdds` adds (Explorer not ready yet) and then holds the icon.
struct FakeTray {
  int failAdds = 0;
  int adds = 0;
  int deletes = 0;
  bool present = false;
  bool lostAddAnswer = false;  // the add arrives but its answer says it failed
  char tip[128] = {};
};
FakeTray g_tray;

BOOL FakeNotify(DWORD message, NOTIFYICONDATAA* data) {
  switch (message) {
    case NIM_ADD:
      ++g_tray.adds;
      if (g_tray.adds <= g_tray.failAdds || g_tray.present) return FALSE;
      g_tray.present = true;
      std::memcpy(g_tray.tip, data->szTip, sizeof g_tray.tip);
      return g_tray.lostAddAnswer ? FALSE : TRUE;
    case NIM_MODIFY:
      return g_tray.present ? TRUE : FALSE;
    case NIM_DELETE:
      ++g_tray.deletes;
      g_tray.present = false;
      return TRUE;
    default:
      return FALSE;
  }
}

TrayIconKeeper* g_keeper = nullptr;

LRESULT CALLBACK KeeperWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && g_keeper != nullptr && wParam == g_keeper->timerId()) {
    g_keeper->OnRetryTimer();
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void PumpUntil(DWORD ms, bool (*done)()) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms && !(done != nullptr && done())) {
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg);
    Sleep(2);
  }
}

class TrayIconKeeperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_tray = FakeTray{};
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = KeeperWindow;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SarnTrayKeeperTest";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    keeper_.Attach(window_, 7, WM_APP + 7, "tip");
    g_keeper = &keeper_;
  }
  void TearDown() override {
    g_keeper = nullptr;
    DestroyWindow(window_);
  }
  HWND window_ = nullptr;
  // Retries after 5, 10, 20, 20 ... ms.
  TrayIconKeeper keeper_{77, FakeNotify, 5, 20};
};

TEST_F(TrayIconKeeperTest, AnIconTheTaskbarRefusedIsAddedOnceItTakesIt) {
  g_tray.failAdds = 4;
  keeper_.Show();
  EXPECT_FALSE(keeper_.shown());
  PumpUntil(5000, [] { return g_tray.present; });
  EXPECT_TRUE(g_tray.present);
  EXPECT_TRUE(keeper_.shown());
  EXPECT_EQ(g_tray.adds, 5);
  EXPECT_STREQ(g_tray.tip, "tip");
  // Once there, nothing is added again.
  PumpUntil(150, nullptr);
  EXPECT_EQ(g_tray.adds, 5);
}

TEST_F(TrayIconKeeperTest, NoRetryOnceTheIconIsNoLongerWanted) {
  g_tray.failAdds = 1000;
  keeper_.Show();
  PumpUntil(60, nullptr);
  keeper_.Hide();
  const int adds = g_tray.adds;
  EXPECT_GE(adds, 2);
  PumpUntil(150, nullptr);
  EXPECT_EQ(g_tray.adds, adds);
  // A new taskbar gets no icon that is not wanted.
  keeper_.OnTaskbarCreated();
  EXPECT_EQ(g_tray.adds, adds);
}

TEST_F(TrayIconKeeperTest, AnAddAnsweredAsFailedWhileTheIconArrivedIsNotRetriedForEver) {
  g_tray.lostAddAnswer = true;
  keeper_.Show();
  EXPECT_TRUE(g_tray.present);
  EXPECT_TRUE(keeper_.shown());
  PumpUntil(100, nullptr);
  EXPECT_EQ(g_tray.adds, 1);
}

TEST_F(TrayIconKeeperTest, ARestartedTaskbarGetsTheIconAgainAndRetriesIfItRefuses) {
  keeper_.Show();
  ASSERT_TRUE(g_tray.present);
  // Explorer restarted: its tray is empty and its first add fails.
  g_tray.present = false;
  g_tray.failAdds = g_tray.adds + 1;
  keeper_.OnTaskbarCreated();
  EXPECT_FALSE(g_tray.present);
  PumpUntil(5000, [] { return g_tray.present; });
  EXPECT_TRUE(g_tray.present);
  EXPECT_EQ(g_tray.adds, 3);
}

}  // namespace
}  // namespace sarn
