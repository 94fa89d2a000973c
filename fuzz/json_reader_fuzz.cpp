// The JSON reader on any bytes: it must never crash, read past the text or recurse without bound, and what it
// accepts must come back the same through the writer and the reader again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/json_reader.h"
#include "common/json_writer.h"

namespace {

void Write(const sarn::JsonValue& v, sarn::JsonWriter& w) {
  switch (v.kind()) {
    case sarn::JsonValue::Kind::kNull: w.Null(); break;
    case sarn::JsonValue::Kind::kBool: w.Bool(v.boolean()); break;
    case sarn::JsonValue::Kind::kNumber:
      if (v.IsInteger()) w.Int(v.integer());
      else w.Null();  // the writer has no fractions; compared as null below
      break;
    case sarn::JsonValue::Kind::kString: w.String(v.string()); break;
    case sarn::JsonValue::Kind::kArray:
      w.BeginArray();
      for (const auto& item : v.items()) Write(item, w);
      w.EndArray();
      break;
    case sarn::JsonValue::Kind::kObject:
      w.BeginObject();
      for (const auto& [name, member] : v.members()) {
        w.Key(name);
        Write(member, w);
      }
      w.EndObject();
      break;
  }
}

bool Same(const sarn::JsonValue& a, const sarn::JsonValue& b) {
  if (a.IsNumber() && !a.IsInteger()) return b.IsNull();
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case sarn::JsonValue::Kind::kNull: return true;
    case sarn::JsonValue::Kind::kBool: return a.boolean() == b.boolean();
    case sarn::JsonValue::Kind::kNumber: return b.IsInteger() && a.integer() == b.integer();
    case sarn::JsonValue::Kind::kString: return a.string() == b.string();
    case sarn::JsonValue::Kind::kArray:
      if (a.items().size() != b.items().size()) return false;
      for (std::size_t i = 0; i < a.items().size(); ++i) {
        if (!Same(a.items()[i], b.items()[i])) return false;
      }
      return true;
    case sarn::JsonValue::Kind::kObject:
      if (a.members().size() != b.members().size()) return false;
      for (std::size_t i = 0; i < a.members().size(); ++i) {
        if (a.members()[i].first != b.members()[i].first || !Same(a.members()[i].second, b.members()[i].second)) return false;
      }
      return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  sarn::JsonValue value;
  sarn::JsonError error;
  if (!sarn::ParseJson(text, value, error)) {
    if (error.line == 0 || error.column == 0 || error.message.empty()) std::abort();
    return 0;
  }
  sarn::JsonWriter writer(size % 2 == 0);
  Write(value, writer);
  sarn::JsonValue again;
  if (!sarn::ParseJson(writer.str(), again, error) || !Same(value, again)) std::abort();
  return 0;
}
