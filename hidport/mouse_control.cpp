// The control contract of the virtual mouse: one command per line, one reply line.
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "hidport/virtual_mouse.h"

namespace sarn::vmouse {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
    std::size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r' && line[j] != '\n') ++j;
    if (j > i) words.push_back(line.substr(i, j - i));
    i = j;
  }
  return words;
}

// Whole word as a number in base; false on anything else (signs, junk, overflow).
template <typename T>
bool Number(std::string_view word, T& value, int base = 10) {
  if (word.empty()) return false;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
  return ec == std::errc() && end == word.data() + word.size();
}

std::string Reply(const Refusal& refusal) { return refusal.empty() ? "ok" : "error " + refusal; }

}  // namespace

std::string ExecuteControlCommand(VirtualMouse& mouse, std::string_view line) {
  const auto w = Words(line);
  if (w.empty()) return "error empty command";
  const std::string_view cmd = w[0];
  const std::size_t n = w.size();

  if ((cmd == "press" || cmd == "release" || cmd == "click")) {
    int input = 0;
    if (n != 2 || !Number(w[1], input) || input < 1 || input > kInputs) return "error usage: " + std::string(cmd) + " N (1..9)";
    if (cmd == "press") return Reply(mouse.Press(input));
    if (cmd == "release") return Reply(mouse.Release(input));
    return Reply(mouse.Click(input));
  }
  if (cmd == "tilt") {
    if (n == 2 && (w[1] == "left" || w[1] == "right")) return Reply(mouse.Tilt(w[1] == "left"));
    return "error usage: tilt left|right";
  }
  if (cmd == "event") {
    std::uint32_t code = 0;
    if (n != 2 || w[1].size() < 3 || w[1].size() > 10 || (w[1].substr(0, 2) != "0x" && w[1].substr(0, 2) != "0X") ||
        !Number(w[1].substr(2), code, 16)) {
      return "error usage: event 0xXXXXXXXX";
    }
    return Reply(mouse.Event(code));
  }
  if (cmd == "busy") {
    int polls = 0;
    if (n != 2 || !Number(w[1], polls) || polls < 0) return "error usage: busy N";
    mouse.Busy(polls);
    return "ok";
  }
  if (n == 1) {
    if (cmd == "unplug") { mouse.Unplug(); return "ok"; }
    if (cmd == "plug") { mouse.Plug(); return "ok"; }
    if (cmd == "fail") { mouse.Fail(); return "ok"; }
    if (cmd == "corrupt") { mouse.Corrupt(); return "ok"; }
    if (cmd == "state") return "ok " + mouse.StateJson();
  }
  // The echo is part of a one-line reply: a carriage return or other control byte in it would break the
  // reply apart on the client's side.
  std::string echo(line.substr(0, 60));
  for (char& c : echo) {
    if (static_cast<unsigned char>(c) < ' ' || c == '\x7f') c = '?';
  }
  return "error unknown command: " + echo;
}

std::string FormatReportLogLine(std::int64_t milliseconds, bool set, bool ok, const std::uint8_t* bytes,
                                int length) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string line = std::to_string(milliseconds);
  line += set ? " SET " : " GET ";
  line += ok ? "ok" : "fail";
  for (int i = 0; bytes && i < length; ++i) {
    line += ' ';
    line += kDigits[bytes[i] >> 4];
    line += kDigits[bytes[i] & 15];
  }
  return line;
}

}  // namespace sarn::vmouse
