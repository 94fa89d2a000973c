#include <windows.h>

#include "common/worker_thread.h"
#include "monitor/input/macro_player.h"

namespace sarn {
namespace {

class Win32PlayerThread final : public PlayerThread {
 public:
  ~Win32PlayerThread() override { Stop(); }

  bool Start(std::function<void()> onPlay) override {
    if (thread_ != nullptr) return false;
    onPlay_ = std::move(onPlay);
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (ready_ == nullptr) return false;
    thread_ = CreateWorkerThread(&Win32PlayerThread::Main, this, &id_);
    if (thread_ != nullptr) WaitForSingleObject(ready_, INFINITE);  // its queue exists: posts cannot be lost
    CloseHandle(ready_);
    ready_ = nullptr;
    return thread_ != nullptr;
  }

  bool PostPlay() override { return thread_ != nullptr && PostThreadMessageA(id_, kPlayMacroMessage, 0, 0) != 0; }

  void Stop() override {
    if (thread_ == nullptr) return;
    PostThreadMessageA(id_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }

 private:
  static DWORD WINAPI Main(void* self) {
    auto* me = static_cast<Win32PlayerThread*>(self);
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // creates the thread's message queue
    // The thread sleeps between steps and must be back on time: a busy machine (a game) would otherwise
    // keep it waiting behind its threads of normal priority for a time slice or more.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    // The first keyboard-layout call on a thread sets the thread up in the window system (under Wine about
    // 25 ms, a display connection of its own): done here, at start, it does not delay a macro's first key.
    (void)MapVirtualKeyA(VK_SHIFT, MAPVK_VK_TO_VSC);
    SetEvent(me->ready_);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      if (msg.hwnd == nullptr && msg.message == kPlayMacroMessage) me->onPlay_();
    }
    return 0;
  }

  std::function<void()> onPlay_;
  HANDLE thread_ = nullptr;
  HANDLE ready_ = nullptr;
  DWORD id_ = 0;
};

}  // namespace

std::unique_ptr<PlayerThread> MakeWin32PlayerThread() { return std::make_unique<Win32PlayerThread>(); }

}  // namespace sarn
