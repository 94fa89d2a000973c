// A small strict JSON reader for documents people edit by hand (sarnctl import): exactly the JSON grammar,
// no comments, no trailing commas, no duplicate member names, strings of valid UTF-8 only. Anything else is
// refused with the line and column where it went wrong, so a typo never turns into a quietly different
// configuration. Numbers keep whether they were written as integers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sarn {

class JsonValue {
 public:
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };

  [[nodiscard]] Kind kind() const { return kind_; }
  [[nodiscard]] bool IsNull() const { return kind_ == Kind::kNull; }
  [[nodiscard]] bool IsBool() const { return kind_ == Kind::kBool; }
  [[nodiscard]] bool IsNumber() const { return kind_ == Kind::kNumber; }
  // A number written without fraction or exponent that fits 64 bits.
  [[nodiscard]] bool IsInteger() const { return kind_ == Kind::kNumber && integral_; }
  [[nodiscard]] bool IsString() const { return kind_ == Kind::kString; }
  [[nodiscard]] bool IsArray() const { return kind_ == Kind::kArray; }
  [[nodiscard]] bool IsObject() const { return kind_ == Kind::kObject; }

  [[nodiscard]] bool boolean() const { return boolean_; }
  [[nodiscard]] std::int64_t integer() const { return integer_; }
  [[nodiscard]] double number() const { return number_; }
  [[nodiscard]] const std::string& string() const { return string_; }
  [[nodiscard]] const std::vector<JsonValue>& items() const { return items_; }
  // Members in document order.
  [[nodiscard]] const std::vector<std::pair<std::string, JsonValue>>& members() const { return members_; }
  // The member of that name, or nullptr (also for a value that is no object).
  [[nodiscard]] const JsonValue* Find(std::string_view name) const;

  // A human name of the kind for messages: "an object", "a string", ...
  [[nodiscard]] const char* KindName() const;

 private:
  friend class JsonParser;
  Kind kind_ = Kind::kNull;
  bool boolean_ = false;
  bool integral_ = false;
  std::int64_t integer_ = 0;
  double number_ = 0;
  std::string string_;
  std::vector<JsonValue> items_;
  std::vector<std::pair<std::string, JsonValue>> members_;
};

struct JsonError {
  std::size_t line = 0;    // 1-based
  std::size_t column = 0;  // 1-based, in bytes
  std::string message;
};

// Deeper nesting than this is refused (no document of ours comes near it; it keeps the stack bounded).
inline constexpr int kJsonMaxDepth = 64;

// The whole text must be one value with optional white space around it; a UTF-8 byte-order mark in front is
// allowed. False with `error` set otherwise (`value` is then unspecified).
[[nodiscard]] bool ParseJson(std::string_view text, JsonValue& value, JsonError& error);

}  // namespace sarn
