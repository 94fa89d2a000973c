// The monitor program's own window, driven in-process: the whole program file is compiled here with its entry
// point renamed, so the test runs the real create and destroy handlers.
#define WinMain SarnMonitorProgramMain
#include "monitor/app/monitor_main_win.cpp"
#undef WinMain

#include <gtest/gtest.h>

#include <cstring>

namespace sarn {
namespace {

int g_peerCloses = 0;

LRESULT CALLBACK PeerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    ++g_peerCloses;
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND CreatePeer(const char* title) {
  WNDCLASSA peerClass{};
  peerClass.lpfnWndProc = PeerProc;
  peerClass.hInstance = GetModuleHandleA(nullptr);
  peerClass.lpszClassName = "SarnTestPeer";
  RegisterClassA(&peerClass);
  return CreateWindowExA(0, peerClass.lpszClassName, title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                         peerClass.hInstance, nullptr);
}

void PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) {
      if (msg.message != WM_QUIT) DispatchMessageA(&msg);
    }
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

// The running monitor's main thread owns the instance mutex; here a thread of the test stands in for it.
class RunningMonitorThread {
 public:
  RunningMonitorThread() {
    thread_ = CreateThread(nullptr, 0, Main, this, 0, nullptr);
    WaitForSingleObject(owned_, INFINITE);
  }
  ~RunningMonitorThread() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(owned_);
    CloseHandle(stop_);
  }

 private:
  static DWORD WINAPI Main(void* self) {
    auto* me = static_cast<RunningMonitorThread*>(self);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, kInstanceMutexName);
    SetEvent(me->owned_);
    WaitForSingleObject(me->stop_, INFINITE);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
  }
  HANDLE owned_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread_ = nullptr;
};

// A second monitor that finds the shared block taken by a running monitor refuses its window. Windows then destroys that window,
// which runs its WM_DESTROY; Wine leaves it out, so the test delivers it the way Windows does. Either way the
// refused program must leave the running monitor's windows and block alone.
TEST(MonitorWindowRefusedStart, TouchesNothingOfTheRunningMonitor) {
  RunningMonitorThread runningInstance;
  auto running = Win32SharedBlock::CreateForMonitor();
  ASSERT_NE(running, nullptr) << "another monitor holds the shared block";
  auto published = std::make_unique<SharedBlock>();
  std::memset(published.get(), 0, sizeof *published);
  ResetSettings(*published, [] { return 2; });
  ASSERT_EQ(running->WriteBlock(*published), 1);

  g_peerCloses = 0;
  std::vector<HWND> peers;
  for (const char* title : {kOptionWindowTitle, kOsdWindowTitle, kOsdPop3Title, kOsdCpuRamTitle, kOsdSkypeTitle}) {
    peers.push_back(CreatePeer(title));
    ASSERT_NE(peers.back(), nullptr);
  }

  auto window = std::make_unique<MonitorWindow>(false);
  g_window = window.get();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass);
  HWND refused = CreateWindowExA(0, kWindowClass, kMonitorWindowTitle, WS_POPUP, 100, 100, 100, 100, nullptr,
                                 nullptr, windowClass.hInstance, nullptr);
  EXPECT_EQ(refused, nullptr);
  EXPECT_FALSE(window->Ready());
  WindowProc(nullptr, WM_DESTROY, 0, 0);
  g_window = nullptr;
  window.reset();

  PumpFor(200);
  EXPECT_EQ(g_peerCloses, 0) << "the refused start closed a window of the running monitor";
  auto after = std::make_unique<SharedBlock>();
  ASSERT_EQ(running->ReadBlock(*after), 1);
  EXPECT_EQ(std::memcmp(after.get(), published.get(), sizeof *after), 0) << "the refused start wrote the block";
  for (HWND peer : peers) DestroyWindow(peer);
}

}  // namespace
}  // namespace sarn
