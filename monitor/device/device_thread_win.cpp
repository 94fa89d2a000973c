#include "monitor/device/device_thread_win.h"

#include <windows.h>

#include "common/worker_thread.h"

namespace sarn {

bool Win32DeviceThread::Start(Job run) {
  if (thread_ != nullptr) return false;
  run_ = std::move(run);
  ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (ready_ == nullptr) return false;
  thread_ = CreateWorkerThread(&Win32DeviceThread::Main, this, &id_);
  if (thread_ != nullptr) WaitForSingleObject(ready_, INFINITE);
  CloseHandle(ready_);
  ready_ = nullptr;
  return thread_ != nullptr;
}

bool Win32DeviceThread::Post(int job, std::intptr_t parameter) {
  return thread_ != nullptr &&
         PostThreadMessageA(id_, jobMessage_, static_cast<WPARAM>(job), static_cast<LPARAM>(parameter)) != 0;
}

void Win32DeviceThread::Stop() {
  if (thread_ == nullptr) return;
  PostThreadMessageA(id_, WM_QUIT, 0, 0);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

unsigned long __stdcall Win32DeviceThread::Main(void* self) {
  auto* me = static_cast<Win32DeviceThread*>(self);
  MSG msg;
  PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue exists from here on
  SetEvent(me->ready_);
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == nullptr && msg.message == me->jobMessage_) {
      me->run_(static_cast<int>(msg.wParam), static_cast<std::intptr_t>(msg.lParam));
    }
  }
  return 0;
}

}  // namespace sarn
