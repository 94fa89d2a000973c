#include <windows.h>

#include <chrono>
#include <thread>

#include "hidport/mouse_pipe.h"

namespace sarn::vmouse {
namespace {

// Waits for an overlapped operation or the stop event; false when stopped or failed.
bool Complete(HANDLE pipe, OVERLAPPED& ov, BOOL started, HANDLE stop, DWORD& transferred) {
  if (!started && GetLastError() != ERROR_IO_PENDING) return false;
  if (!started) {
    HANDLE events[2] = {stop, ov.hEvent};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
      CancelIo(pipe);
      GetOverlappedResult(pipe, &ov, &transferred, TRUE);
      return false;
    }
  }
  return GetOverlappedResult(pipe, &ov, &transferred, FALSE) != FALSE;
}

}  // namespace

std::string ControlPipeName() {
  char name[256];
  const DWORD n = GetEnvironmentVariableA("SARN_VIRTUAL_MOUSE_PIPE", name, sizeof name);
  if (n > 0 && n < sizeof name && std::string_view(name, n).rfind(R"(\\.\pipe\)", 0) == 0) return {name, n};
  return kControlPipeName;
}

struct MousePipeServer::Impl {
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE io = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread thread;
  Handler handler;

  void Serve(HANDLE pipe) {
    std::string pending;
    char buffer[512];
    for (;;) {
      OVERLAPPED ov{};
      ov.hEvent = io;
      ResetEvent(io);
      DWORD got = 0;
      const BOOL started = ReadFile(pipe, buffer, sizeof buffer, nullptr, &ov);
      if (!Complete(pipe, ov, started, stop, got) || got == 0) return;
      pending.append(buffer, got);
      std::size_t end;
      while ((end = pending.find('\n')) != std::string::npos) {
        std::string reply = handler(std::string_view(pending).substr(0, end)) + "\n";
        pending.erase(0, end + 1);
        OVERLAPPED wov{};
        wov.hEvent = io;
        ResetEvent(io);
        DWORD put = 0;
        const BOOL wrote = WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), nullptr, &wov);
        if (!Complete(pipe, wov, wrote, stop, put)) return;
      }
      if (pending.size() > 4096) return;  // no line end in sight: not a client of ours
    }
  }

  // The next instance is made before a client is served, so the name never disappears between two
  // clients; the first one claims the name so that a second virtual mouse cannot answer in its place.
  static HANDLE CreateInstance(bool first) {
    return CreateNamedPipeA(ControlPipeName().c_str(),
                            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 4096, 4096,
                            0, nullptr);
  }

  void Run() {
    while (WaitForSingleObject(stop, 0) != WAIT_OBJECT_0) {
      if (listening == INVALID_HANDLE_VALUE) listening = CreateInstance(true);
      if (listening == INVALID_HANDLE_VALUE) {
        // Another process serves the name: try again until stopped.
        WaitForSingleObject(stop, 500);
        continue;
      }
      HANDLE pipe = listening;
      listening = INVALID_HANDLE_VALUE;
      OVERLAPPED ov{};
      ov.hEvent = io;
      ResetEvent(io);
      DWORD unused = 0;
      const BOOL connected = ConnectNamedPipe(pipe, &ov);
      bool ok = connected || GetLastError() == ERROR_PIPE_CONNECTED;
      if (!ok) ok = Complete(pipe, ov, FALSE, stop, unused);
      if (ok) {
        listening = CreateInstance(false);
        Serve(pipe);
        FlushFileBuffers(pipe);
        DisconnectNamedPipe(pipe);
      }
      CloseHandle(pipe);
    }
    if (listening != INVALID_HANDLE_VALUE) CloseHandle(listening);
    listening = INVALID_HANDLE_VALUE;
  }

  HANDLE listening = INVALID_HANDLE_VALUE;
};

MousePipeServer::MousePipeServer() : impl_(new Impl) {}

MousePipeServer::~MousePipeServer() {
  Stop();
  CloseHandle(impl_->stop);
  CloseHandle(impl_->io);
  delete impl_;
}

void MousePipeServer::Start(Handler handler) {
  if (impl_->thread.joinable()) return;
  impl_->handler = std::move(handler);
  ResetEvent(impl_->stop);
  // Made here, before Start returns: a command sent right after opening the library finds the pipe.
  impl_->listening = Impl::CreateInstance(true);
  impl_->thread = std::thread([this] { impl_->Run(); });
}

void MousePipeServer::Stop() {
  if (!impl_->thread.joinable()) return;
  SetEvent(impl_->stop);
  impl_->thread.join();
}

bool MousePipeServer::Running() const { return impl_->thread.joinable(); }

PipeStatus SendMouseCommand(std::string_view command, std::string& reply, int timeoutMs) {
  reply.clear();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  const std::string name = ControlPipeName();
  HANDLE pipe = INVALID_HANDLE_VALUE;
  for (;;) {
    pipe = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe != INVALID_HANDLE_VALUE) break;
    const DWORD error = GetLastError();
    if (std::chrono::steady_clock::now() >= deadline) {
      return error == ERROR_PIPE_BUSY ? PipeStatus::kFailed : PipeStatus::kNoServer;
    }
    if (error == ERROR_PIPE_BUSY) {
      WaitNamedPipeA(name.c_str(), 100);
    } else if (error == ERROR_FILE_NOT_FOUND) {
      return PipeStatus::kNoServer;  // the server keeps an instance listening at all times
    } else {
      Sleep(20);  // the server is between two clients
    }
  }
  std::string line(command);
  line += '\n';
  DWORD put = 0;
  bool ok = WriteFile(pipe, line.data(), static_cast<DWORD>(line.size()), &put, nullptr) && put == line.size();
  while (ok) {
    char c;
    DWORD got = 0;
    if (!ReadFile(pipe, &c, 1, &got, nullptr) || got == 0) {
      ok = false;
    } else if (c == '\n') {
      break;
    } else if (c != '\r') {
      reply += c;
    }
  }
  CloseHandle(pipe);
  return ok ? PipeStatus::kOk : PipeStatus::kFailed;
}

}  // namespace sarn::vmouse
