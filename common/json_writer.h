// A small streaming JSON writer for the machine-readable outputs (sarnctl, the virtual mouse's state reply).
// Strings must be UTF-8; control characters and quotes are escaped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sarn {

class JsonWriter {
 public:
  explicit JsonWriter(bool pretty = false) : pretty_(pretty) {}

  JsonWriter& BeginObject() { Open('{'); return *this; }
  JsonWriter& EndObject() { Close('}'); return *this; }
  JsonWriter& BeginArray() { Open('['); return *this; }
  JsonWriter& EndArray() { Close(']'); return *this; }
  // An array written on one line even in pretty output (short rows such as a macro step).
  JsonWriter& BeginInlineArray() {
    Open('[');
    inline_.back() = true;
    return *this;
  }

  JsonWriter& Key(std::string_view key) {
    Separate();
    AppendString(key);
    out_ += pretty_ ? ": " : ":";
    afterKey_ = true;
    return *this;
  }
  JsonWriter& String(std::string_view value) { Separate(); AppendString(value); return *this; }
  JsonWriter& Int(std::int64_t value) { Separate(); out_ += std::to_string(value); return *this; }
  JsonWriter& Bool(bool value) { Separate(); out_ += value ? "true" : "false"; return *this; }
  JsonWriter& Null() { Separate(); out_ += "null"; return *this; }

  // Shorthands for "key": value members.
  JsonWriter& Member(std::string_view key, std::string_view value) { return Key(key).String(value); }
  JsonWriter& Member(std::string_view key, const char* value) { return Key(key).String(value); }
  JsonWriter& Member(std::string_view key, std::int64_t value) { return Key(key).Int(value); }
  JsonWriter& Member(std::string_view key, int value) { return Key(key).Int(value); }
  JsonWriter& Member(std::string_view key, unsigned value) { return Key(key).Int(value); }

  [[nodiscard]] const std::string& str() const { return out_; }

 private:
  void Open(char c) {
    Separate();
    out_ += c;
    first_.push_back(true);
    inline_.push_back(!inline_.empty() && inline_.back());
  }
  void Close(char c) {
    bool empty = first_.empty() || first_.back();
    const bool inlined = !inline_.empty() && inline_.back();
    if (!first_.empty()) first_.pop_back();
    if (!inline_.empty()) inline_.pop_back();
    if (pretty_ && !empty && !inlined) Newline();
    out_ += c;
  }
  void Separate() {
    if (afterKey_) { afterKey_ = false; return; }
    if (first_.empty()) return;
    if (!first_.back()) out_ += inline_.back() && pretty_ ? ", " : ",";
    first_.back() = false;
    if (pretty_ && !inline_.back()) Newline();
  }
  void Newline() {
    out_ += '\n';
    out_.append(first_.size() * 2, ' ');
  }
  void AppendString(std::string_view s) {
    out_ += '"';
    for (unsigned char c : s) {
      switch (c) {
        case '"': out_ += "\\\""; break;
        case '\\': out_ += "\\\\"; break;
        case '\n': out_ += "\\n"; break;
        case '\r': out_ += "\\r"; break;
        case '\t': out_ += "\\t"; break;
        default:
          if (c < 0x20) {
            static const char kHex[] = "0123456789abcdef";
            out_ += "\\u00";
            out_ += kHex[c >> 4];
            out_ += kHex[c & 15];
          } else {
            out_ += static_cast<char>(c);
          }
      }
    }
    out_ += '"';
  }

  bool pretty_;
  bool afterKey_ = false;
  std::vector<bool> first_;
  std::vector<bool> inline_;  // per open container: written on one line
  std::string out_;
};

}  // namespace sarn
