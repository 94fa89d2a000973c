// The virtual mouse's control pipe: one command per line, one reply line ("ok", "ok {json}", "error reason").
// Windows only; the server runs inside the virtual hidport.dll, the client in sarnctl and the tests.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace sarn::vmouse {

inline constexpr const char* kControlPipeName = R"(\\.\pipe\SarnVirtualMouse)";

// kControlPipeName, unless SARN_VIRTUAL_MOUSE_PIPE names another pipe (\\.\pipe\...): tests that run beside
// other programs with a virtual mouse use a name of their own. Read by the server and the client alike.
std::string ControlPipeName();

enum class PipeStatus { kOk, kNoServer, kFailed };

// Sends one command (a line end is added) and reads the reply line (without its line end). Waits up to
// timeoutMs for the pipe when the server is busy with another client.
[[nodiscard]] PipeStatus SendMouseCommand(std::string_view command, std::string& reply, int timeoutMs = 5000);

// Serves the pipe on a thread of its own until Stop. One client at a time; every line it sends is answered
// with handler(line) followed by a line end.
class MousePipeServer {
 public:
  using Handler = std::function<std::string(std::string_view line)>;
  MousePipeServer();
  ~MousePipeServer();
  MousePipeServer(const MousePipeServer&) = delete;
  MousePipeServer& operator=(const MousePipeServer&) = delete;

  void Start(Handler handler);
  // Ends the thread and waits for it; a client in the middle of a command gets no reply.
  void Stop();
  [[nodiscard]] bool Running() const;

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace sarn::vmouse
