// Any bytes: parse, query every name, re-serialize, then edit with names and values taken from the input.
// The parser must never crash, an untouched document must give back its input, reads must agree with what
// the file would read back as, and an edited document must never hold a bare CR or LF.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/private_profile.h"

namespace {

// A failed check names itself, so a finding says at once which promise broke.
#define CHECK(condition)                                                              \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "check failed (line %d): %s\n", __LINE__, #condition);    \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

bool OnlyCrLfLineEnds(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) return false;
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return false;
  }
  return true;
}

void QueryEverything(const sarn::IniDocument& doc) {
  unsigned char buffer[16];
  for (const std::string& section : doc.SectionNames()) {
    CHECK(doc.HasSection(section));
    for (const std::string& key : doc.KeyNames(section)) {
      CHECK(doc.HasKey(section, key));
      CHECK(doc.GetString(section, key, "").size() < 2048);
      (void)doc.GetInt(section, key, -1);
      (void)doc.GetStruct(section, key, buffer, 1 + key.size() % sizeof buffer);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view whole(reinterpret_cast<const char*>(data), size);
  {
    const sarn::IniDocument doc = sarn::IniDocument::Parse(whole);
    CHECK(doc.Serialize() == whole);
    QueryEverything(doc);
  }

  FuzzedDataProvider input(data, size);
  sarn::IniDocument doc = sarn::IniDocument::Parse(input.ConsumeRandomLengthString(4096));
  for (int step = 0; step < 8 && input.remaining_bytes() > 0; ++step) {
    const int operation = input.ConsumeIntegralInRange(0, 4);
    const std::string section = input.ConsumeRandomLengthString(24);
    const std::string key = input.ConsumeRandomLengthString(24);
    const std::string value = input.ConsumeRandomLengthString(3000);
    switch (operation) {
      case 0: doc.SetString(section, key, value); break;
      case 1: doc.SetInt(section, key, input.ConsumeIntegral<int>()); break;
      case 2: doc.SetStruct(section, key, value.data(), value.size()); break;
      case 3: doc.DeleteKey(section, key); break;
      default: doc.DeleteSection(section); break;
    }
    const std::string bytes = doc.Serialize();
    if (doc.Modified()) CHECK(OnlyCrLfLineEnds(bytes));
    // The document reads exactly as its file will.
    const sarn::IniDocument back = sarn::IniDocument::Parse(bytes);
    CHECK(doc.GetString(section, key, "\x01") == back.GetString(section, key, "\x01"));
    CHECK(doc.GetInt(section, key, 7) == back.GetInt(section, key, 7));
    CHECK(doc.SectionNames() == back.SectionNames());
    if (operation == 2) {
      std::string decoded(value.size(), '\0');
      CHECK(!doc.HasKey(section, key) || back.GetStruct(section, key, decoded.data(), decoded.size()));
    }
  }
  QueryEverything(doc);
  return 0;
}
