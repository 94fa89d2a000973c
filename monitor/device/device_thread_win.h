// The DeviceThread: a worker with a message queue that runs the device jobs, so that the window thread never
// waits for a 7-second read of the mouse. Jobs arrive as one thread message each; other messages are dropped.
#pragma once

#include <cstdint>
#include <functional>

namespace sarn {

class Win32DeviceThread {
 public:
  using Job = std::function<void(int job, std::intptr_t parameter)>;

  explicit Win32DeviceThread(unsigned jobMessage) : jobMessage_(jobMessage) {}
  ~Win32DeviceThread() { Stop(); }
  Win32DeviceThread(const Win32DeviceThread&) = delete;
  Win32DeviceThread& operator=(const Win32DeviceThread&) = delete;

  // Creates the thread (common/worker_thread.h) and returns once its queue exists, so no post is lost.
  [[nodiscard]] bool Start(Job run);
  // Queues one job (wParam = job, lParam = parameter).
  bool Post(int job, std::intptr_t parameter);
  // Queues the quit message and waits for the thread without a time limit: the job in progress ends first.
  void Stop();

 private:
  static unsigned long __stdcall Main(void* self);

  unsigned jobMessage_;
  Job run_;
  void* thread_ = nullptr;
  void* ready_ = nullptr;
  unsigned long id_ = 0;
};

}  // namespace sarn
