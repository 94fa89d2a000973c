// The built assets as Windows takes them: the animation control opens and plays the double-click animation to
// its end, the still picture loads, and both programs carry icon 128 at 16, 32 and 48 pixels. The build
// copies wave\, and the two programs into programs\, beside this test program.
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Beside(const wchar_t* relative) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + relative;
}

bool stopped = false;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == ACN_STOP) stopped = true;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The frame count the file's main header gives, read with the same RIFF calls the control uses.
DWORD AviFrames(const std::wstring& path) {
  HMMIO file = mmioOpenW(const_cast<wchar_t*>(path.c_str()), nullptr, MMIO_READ);
  if (file == nullptr) return 0;
  MMCKINFO riff{}, hdrl{}, avih{};
  DWORD frames = 0, header[14] = {};
  riff.fccType = mmioFOURCC('A', 'V', 'I', ' ');
  hdrl.fccType = mmioFOURCC('h', 'd', 'r', 'l');
  avih.ckid = mmioFOURCC('a', 'v', 'i', 'h');
  if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) == 0 && mmioDescend(file, &hdrl, &riff, MMIO_FINDLIST) == 0 &&
      mmioDescend(file, &avih, &hdrl, MMIO_FINDCHUNK) == 0 &&
      mmioRead(file, reinterpret_cast<HPSTR>(header), sizeof header) == sizeof header)
    frames = header[4];
  mmioClose(file, 0);
  return frames;
}

TEST(DoubleClickAssets, AnimationControlOpensAndPlaysTheClickToItsEnd) {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_ANIMATE_CLASS};
  ASSERT_TRUE(InitCommonControlsEx(&init));
  WNDCLASSW wc{};
  wc.lpfnWndProc = ParentProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"SarnAssetsTestParent";
  RegisterClassW(&wc);
  HWND parent = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
  ASSERT_NE(parent, nullptr);
  // ACS_TIMER: frames are drawn from this thread's messages, so the stop notice arrives while we pump.
  HWND animation = CreateWindowExW(0, ANIMATE_CLASSW, L"", WS_CHILD | WS_VISIBLE | ACS_TIMER, 0, 0, 123, 66, parent,
                                   reinterpret_cast<HMENU>(1), wc.hInstance, nullptr);
  ASSERT_NE(animation, nullptr);

  const std::wstring path = Beside(L"wave\\double_click.avi");
  ASSERT_TRUE(SendMessageW(animation, ACM_OPENW, 0, reinterpret_cast<LPARAM>(path.c_str())))
      << "the animation control refuses the file";
  const DWORD frames = AviFrames(path);
  EXPECT_GE(frames, 12u);
  EXPECT_LE(frames, 20u);
  // The control knows exactly that many frames: the last one plays, one past it does not.
  EXPECT_FALSE(Animate_Play(animation, 0, frames, 1));
  stopped = false;
  ASSERT_TRUE(Animate_Play(animation, 0, frames - 1, 1));
  const DWORD deadline = GetTickCount() + 20000;
  while (!stopped && GetTickCount() < deadline) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  EXPECT_TRUE(stopped) << "played once, the control reports its stop";

  // A file that is not an animation is refused, so the check above means something.
  const std::wstring still = Beside(L"wave\\double_click.bmp");
  EXPECT_FALSE(SendMessageW(animation, ACM_OPENW, 0, reinterpret_cast<LPARAM>(still.c_str())));
  DestroyWindow(parent);
}

TEST(DoubleClickAssets, StillPictureHasTheControlsProportions) {
  HANDLE bitmap = LoadImageW(nullptr, Beside(L"wave\\double_click.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
  ASSERT_NE(bitmap, nullptr);
  BITMAP info{};
  ASSERT_TRUE(GetObjectW(bitmap, sizeof info, &info));
  EXPECT_GE(info.bmWidth, 41);
  EXPECT_EQ(info.bmWidth * 22, info.bmHeight * 41) << "41 x 22, stretched without distortion";
  DeleteObject(bitmap);
}

TEST(ProgramIcons, BothProgramsCarryIcon128AtEachSize) {
  const struct { const wchar_t* path; const char* name; } programs[] = {
      {L"programs\\Sarn[+]Monitor.exe", "monitor"}, {L"programs\\Sarn[+]Option.exe", "option"}};
  for (const auto& [exe, name] : programs) {
    SCOPED_TRACE(name);
    HMODULE module = LoadLibraryExW(Beside(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC groupInfo = FindResourceW(module, MAKEINTRESOURCEW(128), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(groupInfo, nullptr) << "no icon 128";
    auto* group = static_cast<BYTE*>(LockResource(LoadResource(module, groupInfo)));
    ASSERT_NE(group, nullptr);
    for (int size : {16, 32, 48}) {
      // The entry Windows would choose for this size must be an image of exactly this size: not a scaled one.
      const int id = LookupIconIdFromDirectoryEx(group, TRUE, size, size, LR_DEFAULTCOLOR);
      HRSRC imageInfo = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));  // RT_ICON
      ASSERT_NE(imageInfo, nullptr) << size;
      const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, imageInfo)));
      ASSERT_NE(header, nullptr);
      EXPECT_EQ(header->biWidth, size);
      EXPECT_EQ(header->biHeight, 2 * size);
      EXPECT_EQ(header->biBitCount, 32);
      HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(const_cast<BITMAPINFOHEADER*>(header)),
                                            SizeofResource(module, imageInfo), TRUE, 0x00030000, size, size, 0);
      EXPECT_NE(icon, nullptr) << size;
      if (icon != nullptr) DestroyIcon(icon);
    }
    FreeLibrary(module);
  }
}

}  // namespace
