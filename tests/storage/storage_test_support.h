// Shared helpers of the storage tests: a temporary program folder, whole-file reads and writes, and an
// in-memory registry with the failures the real one can show.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "common/registry.h"

namespace sarn::test {

class TempFolder {
 public:
  TempFolder() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("sarn-storage-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_ / "config");
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  [[nodiscard]] std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// A struct value as the rules spell it, written out independently of the codec: every byte as two upper-case
// hex digits, then the byte sum modulo 256.
inline std::string HandHex(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::string out;
  unsigned sum = 0;
  char pair[3];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    out += pair;
    sum += bytes[i];
  }
  std::snprintf(pair, sizeof pair, "%02X", sum & 0xFFu);
  return out + pair;
}

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Registry values keyed case-insensitively like the real one; each value has a type so that a value of the
// wrong type can be planted. Keys listed in `unopenable` can be neither opened nor created.
class MemoryRegistry final : public RegistryPort {
 public:
  struct Value {
    bool isText = true;
    std::string text;
  };
  using Values = std::map<std::string, Value>;

  std::unique_ptr<RegistryKey> OpenOrCreate(std::string_view path) override {
    const std::string key = Fold(path);
    if (unopenable.count(key) != 0) return nullptr;
    return std::make_unique<Key>(keys[key]);
  }

  void SetText(std::string_view key, std::string_view name, std::string_view text) {
    keys[Fold(key)][Fold(name)] = Value{true, std::string(text)};
  }
  void SetNonText(std::string_view key, std::string_view name) { keys[Fold(key)][Fold(name)] = Value{false, {}}; }
  [[nodiscard]] std::string Get(std::string_view key, std::string_view name) const {
    auto k = keys.find(Fold(key));
    if (k == keys.end()) return "<missing>";
    auto v = k->second.find(Fold(name));
    return v == k->second.end() ? "<missing>" : v->second.text;
  }
  void Refuse(std::string_view key) { unopenable.insert(Fold(key)); }

  std::map<std::string, Values> keys;
  std::set<std::string> unopenable;

 private:
  class Key final : public RegistryKey {
   public:
    explicit Key(Values& values) : values_(values) {}
    bool ReadText(std::string_view name, std::string& text) override {
      auto it = values_.find(Fold(name));
      if (it == values_.end() || !it->second.isText) return false;
      text = it->second.text;
      return true;
    }
    bool WriteText(std::string_view name, std::string_view text) override {
      values_[Fold(name)] = Value{true, std::string(text)};
      return true;
    }

   private:
    Values& values_;
  };

  static std::string Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
  }
};

}  // namespace sarn::test
