// The one reader and writer of every INI ("private-profile") file the system keeps, on every platform.
// It follows the Windows private-profile calls byte for byte: sections and keys match case-insensitively,
// writing an existing key replaces its value in place, a new key goes at the end of its section and a new
// section at the end of the file, lines end with CR LF. A file is read once, edited in memory and written
// once, atomically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace sarn {

class IniDocument {
 public:
  IniDocument() = default;

  // Never fails: any bytes parse (junk lines are kept as they are and ignored by lookups).
  static IniDocument Parse(std::string_view bytes);
  // The file content; an untouched document reproduces its input.
  [[nodiscard]] std::string Serialize() const;

  // Integer: "%d" semantics of GetPrivateProfileInt: optional sign and decimal digits; junk gives 0;
  // a missing key or an empty value gives the default.
  [[nodiscard]] int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
  // Text as it stands, cut as a 2048-byte read buffer cuts it; the default when the key is missing.
  [[nodiscard]] std::string GetString(std::string_view section, std::string_view key,
                                      std::string_view defaultValue) const;
  // Struct: 2n+2 hex digits (either case) whose last pair is the byte sum modulo 256. Returns false and
  // leaves the buffer untouched when the key is missing or the length or checksum do not match.
  [[nodiscard]] bool GetStruct(std::string_view section, std::string_view key, void* buffer,
                               std::size_t size) const;
  [[nodiscard]] bool HasKey(std::string_view section, std::string_view key) const;
  [[nodiscard]] bool HasSection(std::string_view section) const;

  // Text values are cut at the first CR or LF so that a value can never inject lines.
  void SetString(std::string_view section, std::string_view key, std::string_view value);
  void SetInt(std::string_view section, std::string_view key, int value);
  void SetStruct(std::string_view section, std::string_view key, const void* data, std::size_t size);
  void DeleteKey(std::string_view section, std::string_view key);
  void DeleteSection(std::string_view section);
  void Clear();

 private:
  std::vector<std::string> lines_;  // raw lines without their line ends
};

// Struct value encoding shared with every struct key: upper-case hex pairs followed by the checksum pair.
[[nodiscard]] std::string EncodeStructValue(const void* data, std::size_t size);
// Decodes into buffer only when the text is exactly 2*size+2 hex digits with a matching checksum.
[[nodiscard]] bool DecodeStructValue(std::string_view text, void* buffer, std::size_t size);

// Reads a whole file; false when it does not exist or cannot be read (the document is then empty).
[[nodiscard]] bool LoadIniFile(const std::filesystem::path& path, IniDocument& document);
// Replaces the file atomically (temporary file in the same folder, flushed, renamed over the old one):
// a crash, kill or full disk leaves the old content or the new one. Returns false on any failure.
[[nodiscard]] bool SaveIniFile(const std::filesystem::path& path, const IniDocument& document);
[[nodiscard]] bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes);

}  // namespace sarn
