#include "common/json_reader.h"

#include "common/text_encoding.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace sarn {

const JsonValue* JsonValue::Find(std::string_view name) const {
  for (const auto& [key, value] : members_) {
    if (key == name) return &value;
  }
  return nullptr;
}

const char* JsonValue::KindName() const {
  switch (kind_) {
    case Kind::kNull: return "null";
    case Kind::kBool: return "a boolean";
    case Kind::kNumber: return integral_ ? "an integer" : "a number";
    case Kind::kString: return "a string";
    case Kind::kArray: return "an array";
    case Kind::kObject: return "an object";
  }
  return "a value";
}

class JsonParser {
 public:
  JsonParser(std::string_view text, JsonError& error) : text_(text), error_(error) {}

  bool ParseDocument(JsonValue& value) {
    if (text_.size() >= 2 && ((text_[0] == '\xFF' && text_[1] == '\xFE') || (text_[0] == '\xFE' && text_[1] == '\xFF'))) {
      return Fail("the text is UTF-16; save it as UTF-8");
    }
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    SkipSpace();
    if (!ParseValue(value, 0)) return false;
    SkipSpace();
    if (pos_ != text_.size()) return Fail("unexpected text after the end of the document");
    return true;
  }

 private:
  bool Fail(std::string message) {
    error_.line = 1;
    error_.column = 1;
    for (std::size_t i = 0; i < pos_ && i < text_.size(); ++i) {
      if (text_[i] == '\n') {
        ++error_.line;
        error_.column = 1;
      } else {
        ++error_.column;
      }
    }
    error_.message = std::move(message);
    return false;
  }

  [[nodiscard]] bool AtEnd() const { return pos_ >= text_.size(); }
  [[nodiscard]] char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++pos_;
  }

  bool Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return Fail("unknown word (expected a value)");
    pos_ += word.size();
    return true;
  }

  bool ParseValue(JsonValue& v, int depth) {
    if (AtEnd()) return Fail("the document ends where a value was expected");
    switch (Peek()) {
      case '{': return ParseObject(v, depth + 1);
      case '[': return ParseArray(v, depth + 1);
      case '"': v.kind_ = JsonValue::Kind::kString; return ParseString(v.string_);
      case 't': v.kind_ = JsonValue::Kind::kBool; v.boolean_ = true; return Literal("true");
      case 'f': v.kind_ = JsonValue::Kind::kBool; v.boolean_ = false; return Literal("false");
      case 'n': v.kind_ = JsonValue::Kind::kNull; return Literal("null");
      default:
        if (Peek() == '-' || (Peek() >= '0' && Peek() <= '9')) return ParseNumber(v);
        return Fail("unexpected character (expected a value)");
    }
  }

  bool ParseObject(JsonValue& v, int depth) {
    if (depth > kJsonMaxDepth) return Fail("nested too deeply");
    v.kind_ = JsonValue::Kind::kObject;
    ++pos_;
    SkipSpace();
    if (Peek() == '}') {
      ++pos_;
      return true;
    }
    for (;;) {
      SkipSpace();
      if (Peek() != '"') return Fail("expected a member name in double quotes");
      const std::size_t nameAt = pos_;
      std::string name;
      if (!ParseString(name)) return false;
      if (v.Find(name) != nullptr) {
        pos_ = nameAt;
        return Fail("the member \"" + name + "\" appears twice");
      }
      SkipSpace();
      if (Peek() != ':') return Fail("expected ':' after the member name");
      ++pos_;
      SkipSpace();
      v.members_.emplace_back(std::move(name), JsonValue());
      if (!ParseValue(v.members_.back().second, depth)) return false;
      SkipSpace();
      if (Peek() == ',') {
        ++pos_;
        continue;
      }
      if (Peek() == '}') {
        ++pos_;
        return true;
      }
      return Fail("expected ',' or '}' in the object");
    }
  }

  bool ParseArray(JsonValue& v, int depth) {
    if (depth > kJsonMaxDepth) return Fail("nested too deeply");
    v.kind_ = JsonValue::Kind::kArray;
    ++pos_;
    SkipSpace();
    if (Peek() == ']') {
      ++pos_;
      return true;
    }
    for (;;) {
      SkipSpace();
      v.items_.emplace_back();
      if (!ParseValue(v.items_.back(), depth)) return false;
      SkipSpace();
      if (Peek() == ',') {
        ++pos_;
        continue;
      }
      if (Peek() == ']') {
        ++pos_;
        return true;
      }
      return Fail("expected ',' or ']' in the array");
    }
  }

  bool ParseNumber(JsonValue& v) {
    const std::size_t start = pos_;
    bool integral = true;
    if (Peek() == '-') ++pos_;
    if (Peek() == '0') {
      ++pos_;
      if (Peek() >= '0' && Peek() <= '9') return Fail("a number may not start with 0");
    } else if (Peek() >= '1' && Peek() <= '9') {
      while (Peek() >= '0' && Peek() <= '9') ++pos_;
    } else {
      return Fail("expected a digit");
    }
    if (Peek() == '.') {
      integral = false;
      ++pos_;
      if (!(Peek() >= '0' && Peek() <= '9')) return Fail("expected a digit after '.'");
      while (Peek() >= '0' && Peek() <= '9') ++pos_;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      integral = false;
      ++pos_;
      if (Peek() == '+' || Peek() == '-') ++pos_;
      if (!(Peek() >= '0' && Peek() <= '9')) return Fail("expected a digit in the exponent");
      while (Peek() >= '0' && Peek() <= '9') ++pos_;
    }
    const std::string token(text_.substr(start, pos_ - start));
    v.kind_ = JsonValue::Kind::kNumber;
    v.number_ = std::strtod(token.c_str(), nullptr);
    if (integral) {
      errno = 0;
      const long long n = std::strtoll(token.c_str(), nullptr, 10);
      // Too large for 64 bits: kept as a plain number, which our readers refuse as out of range.
      if (errno != ERANGE) {
        v.integral_ = true;
        v.integer_ = n;
      }
    }
    return true;
  }

  bool Hex4(char32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = Peek();
      int digit;
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      else return Fail("expected four hexadecimal digits after \\u");
      value = (value << 4) | static_cast<char32_t>(digit);
      ++pos_;
    }
    return true;
  }

  bool Escape(std::string& out) {
    ++pos_;  // the backslash
    const char c = Peek();
    ++pos_;
    switch (c) {
      case '"': out += '"'; return true;
      case '\\': out += '\\'; return true;
      case '/': out += '/'; return true;
      case 'b': out += '\b'; return true;
      case 'f': out += '\f'; return true;
      case 'n': out += '\n'; return true;
      case 'r': out += '\r'; return true;
      case 't': out += '\t'; return true;
      case 'u': {
        char32_t first = 0;
        if (!Hex4(first)) return false;
        if (first >= 0xDC00 && first <= 0xDFFF) return Fail("a lone low surrogate in \\u escapes");
        if (first >= 0xD800 && first <= 0xDBFF) {
          if (text_.substr(pos_, 2) != "\\u") return Fail("a high surrogate without its low half");
          pos_ += 2;
          char32_t second = 0;
          if (!Hex4(second)) return false;
          if (second < 0xDC00 || second > 0xDFFF) return Fail("a high surrogate without its low half");
          first = 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
        }
        AppendUtf8(out, first);
        return true;
      }
      default:
        pos_ -= 2;  // at the backslash
        return Fail("unknown escape sequence");
    }
  }

  // One UTF-8 character copied as it stands; false on a malformed sequence (a U+FFFD that was not written
  // as such).
  bool Utf8Character(std::string& out) {
    const std::size_t start = pos_;
    const char32_t c = DecodeUtf8(text_, pos_);
    const std::string_view bytes = text_.substr(start, pos_ - start);
    if (c == 0xFFFD && bytes != "\xEF\xBF\xBD") {
      pos_ = start;
      return Fail("the text is not valid UTF-8");
    }
    out.append(bytes);
    return true;
  }

  bool ParseString(std::string& out) {
    ++pos_;  // the opening quote
    for (;;) {
      if (AtEnd()) return Fail("the text ends inside a string");
      const unsigned char c = static_cast<unsigned char>(Peek());
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c == '\\') {
        if (!Escape(out)) return false;
      } else if (c < 0x20) {
        return Fail("a control character inside a string (write it as an escape)");
      } else if (!Utf8Character(out)) {
        return false;
      }
    }
  }

  std::string_view text_;
  JsonError& error_;
  std::size_t pos_ = 0;
};

bool ParseJson(std::string_view text, JsonValue& value, JsonError& error) {
  value = JsonValue();
  JsonParser parser(text, error);
  return parser.ParseDocument(value);
}

}  // namespace sarn
