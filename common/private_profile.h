// The one reader and writer of every INI ("private-profile") file the system keeps, on every platform.
// It follows the Windows private-profile calls byte for byte: sections and keys match case-insensitively
// (ASCII letters only), writing an existing key replaces its value in place, a new key goes at the end of its
// section and a new section at the end of the file, lines end with CR LF. A file is read once, edited in memory
// and written once, atomically. docs/ini-format.md describes the format and where we deliberately differ.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sarn {

class IniDocument {
 public:
  IniDocument() = default;

  // Never fails: any bytes parse (junk lines are kept as they are and ignored by lookups).
  static IniDocument Parse(std::string_view bytes);
  // The file content; an untouched document reproduces its input.
  [[nodiscard]] std::string Serialize() const;

  // Integer as GetPrivateProfileInt reads it: the text as GetString would give it, cut to 29 bytes; leading
  // control characters and blanks skipped, an optional sign, an optional "0x"/"0o"/"0b" prefix, then digits,
  // wrapping modulo 2^32. Junk gives 0; a missing key or an empty value gives the default.
  [[nodiscard]] int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
  // Text as GetPrivateProfileString gives it into a 2048-byte buffer: one pair of matching surrounding quotes
  // removed, at most 2047 bytes. The default (trailing blanks dropped) when the key is missing or has no "=".
  [[nodiscard]] std::string GetString(std::string_view section, std::string_view key,
                                      std::string_view defaultValue) const;
  // Struct: 2n+2 hex digits (either case) whose last pair is the byte sum modulo 256. Returns false and
  // leaves the buffer untouched when the key is missing or the length or checksum do not match.
  [[nodiscard]] bool GetStruct(std::string_view section, std::string_view key, void* buffer,
                               std::size_t size) const;
  // The value as it stands in the file: quotes kept, not cut to the reader's buffer; nothing for a missing key
  // or a line without "=". For tools that carry keys they do not understand from one file to another.
  [[nodiscard]] std::optional<std::string> RawValue(std::string_view section, std::string_view key) const;
  // A key counts only when its line holds "=" (a bare word or a comment line is no key).
  [[nodiscard]] bool HasKey(std::string_view section, std::string_view key) const;
  [[nodiscard]] bool HasSection(std::string_view section) const;
  // Named sections in file order (duplicates included), and the names a section can be read under: each
  // name once, as the first key of that name has a value (exactly the names HasKey accepts). Names nobody can
  // ask for (ending in a blank, which only a NUL in the file can cause) are left out.
  [[nodiscard]] std::vector<std::string> SectionNames() const;
  [[nodiscard]] std::vector<std::string> KeyNames(std::string_view section) const;

  // Leading blanks of names and value are dropped (as Windows does). Then values and names are cut at the first
  // CR, LF or NUL so that nothing written can inject lines; lookups cut names the same way, so a name reads
  // back from where it was written. Writing the value a key already has changes nothing.
  // Every edit sees the document as a reader of its serialized form would (so a trailing blank written with
  // one value is gone once the next edit rewrites the file), exactly as with the Windows calls.
  void SetString(std::string_view section, std::string_view key, std::string_view value);
  void SetInt(std::string_view section, std::string_view key, int value);
  // A null data pointer deletes the key.
  void SetStruct(std::string_view section, std::string_view key, const void* data, std::size_t size);
  // Deleting removes the first match only; names are compared as given (not trimmed), as Windows does.
  void DeleteKey(std::string_view section, std::string_view key);
  void DeleteSection(std::string_view section);
  void Clear();

  // True once an edit changed the content (Serialize then writes the normalised form).
  [[nodiscard]] bool Modified() const { return modified_; }

 private:
  struct Key {
    std::string name;
    std::string value;
    bool hasValue = false;  // false for a line without "=" (kept and written back as it was)
  };
  // Where the first entry of each name stands, by the name as a write matches it (ASCII letters lowered,
  // trailing blanks dropped): without it every lookup walks the file, and a store of thousands of keys took
  // time in the square of its size to save and to load. Kept up to date by every edit.
  using NameIndex = std::unordered_map<std::string, std::size_t>;
  struct Section {
    std::string name;  // empty for the keys before the first header (written without a header)
    std::vector<Key> keys;
    NameIndex keyIndex;
  };

  [[nodiscard]] const Key* FindKey(std::string_view section, std::string_view key) const;
  // The first section whose name equals `name` (trimmed) ignoring case, or sections_.size(); with `asWritten`,
  // also one whose name only ends in blanks the lookups do not drop (see SetStringSettled).
  [[nodiscard]] std::size_t FindSection(std::string_view name, bool asWritten) const;
  [[nodiscard]] static std::size_t FindKeyIn(const Section& section, std::string_view name, bool asWritten);
  void IndexSections();
  static void IndexKeys(Section& section);
  // Every edit ends here: when what it wrote reads back differently (a trailing blank, a key line that parses
  // as a header), the document is replaced by what its own file reads as.
  void FinishEdit();
  void MarkChanged();
  void SetStringSettled(std::string_view section, std::string_view key, std::string_view value);
  void DeleteKeySettled(std::string_view section, std::string_view key);
  void DeleteSectionSettled(std::string_view section);

  std::vector<Section> sections_{Section{}};
  NameIndex sectionIndex_{{std::string(), 0}};
  bool utf8Bom_ = false;
  bool modified_ = false;
  bool verbatim_ = true;    // original_ is the file's content (nothing changed since it was parsed)
  bool unsettled_ = false;  // the edit under way wrote text that reads back differently from what is held
  bool fragile_ = false;    // parsed text that reads back differently once rewritten (NULs, nameless sections)
  std::string original_;  // the parsed bytes, given back while verbatim_
};

// Struct value encoding shared with every struct key: upper-case hex pairs followed by the checksum pair.
[[nodiscard]] std::string EncodeStructValue(const void* data, std::size_t size);
// Decodes into buffer only when the text is exactly 2*size+2 hex digits with a matching checksum.
[[nodiscard]] bool DecodeStructValue(std::string_view text, void* buffer, std::size_t size);

// Reads a whole file's bytes; false (and bytes empty) when it does not exist or cannot be read.
[[nodiscard]] bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes);

// Where a file's new content waits when its replacement could not be made in time (on Windows a file held
// open without delete sharing, by a viewer, a virus scanner or an indexer, cannot be renamed over). Reads and
// the next save of the file take the content from here; the next successful save removes it.
[[nodiscard]] std::filesystem::path PendingPath(const std::filesystem::path& path);

// What a read found. A file that exists but cannot be read (held open without read sharing by a backup or
// scanning program) is not a missing one: defaults may take the place of a missing file, never of that one.
enum class FileRead { kRead, kMissing, kUnreadable };

// The newest saved content of a file: its pending content when there is one and the file is not newer (a
// pending copy a later save could not remove is stale), else the file. Every reader of our files goes
// through here, so none sees older content than another.
[[nodiscard]] FileRead ReadNewestFile(const std::filesystem::path& path, std::string& bytes);

// Reads a whole file, or its pending content when there is one; false when neither exists or can be read
// (the document is then empty). LoadIniFileState tells the two apart.
[[nodiscard]] bool LoadIniFile(const std::filesystem::path& path, IniDocument& document);
[[nodiscard]] FileRead LoadIniFileState(const std::filesystem::path& path, IniDocument& document);
// Replaces the file atomically (temporary file in the same folder, flushed, renamed over the old one) under
// the file's lock: a crash, kill or full disk leaves the old content or the new one. Returns false on any
// failure, also when the new content could only be kept as the pending content.
[[nodiscard]] bool SaveIniFile(const std::filesystem::path& path, const IniDocument& document);
[[nodiscard]] bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes);
// SaveIniFile for a document read from the file (`loaded`: LoadIniFile succeeded): a document no edit changed
// is not written again, since the file already holds exactly its bytes (and a flushed write costs time).
[[nodiscard]] bool SaveIniFileIfChanged(const std::filesystem::path& path, const IniDocument& document, bool loaded);

// The read-modify-write of a shared file, whole under the file's lock: the file (or its pending content) is
// read, a file that does not exist reads as empty, `edit` changes the document and the result is written as
// WriteFileAtomic writes. A file that exists but cannot be read is not replaced (that would drop every key
// of it that this edit does not set): false, nothing written. False also when the write fails.
[[nodiscard]] bool EditIniFile(const std::filesystem::path& path, const std::function<void(IniDocument&)>& edit);

// EditIniFile for an edit that checks what it reads (a command-line edit that may be refused): `edit` returning
// false writes nothing, not even a new file. Says which of the outcomes it was, so that the caller can tell
// the user.
enum class IniEdit { kDone, kRefused, kUnreadable, kWriteFailed };
[[nodiscard]] IniEdit EditIniFileChecked(const std::filesystem::path& path,
                                         const std::function<bool(IniDocument&)>& edit);

// A temporary file of our atomic replacement of the file named `fileName` (".NAME.XXXXXX" as the POSIX build
// makes them, "NAME.<process>.<n>.tmp" as the Windows build does). A save killed between writing and renaming
// leaves one behind.
[[nodiscard]] bool IsTemporaryFileOf(std::string_view candidate, std::string_view fileName);
// Removes the temporary files of `path` left beside it that are older than `age` (a younger one may belong to
// a save still under way); the number removed. Every save of the file does this first.
int RemoveStaleTemporaryFiles(const std::filesystem::path& path, std::chrono::seconds age);

namespace detail {
// The platform's atomic replacement without the lock (callers hold it). On Windows a replacement that stays
// refused for a bounded time leaves the new content as the pending content.
[[nodiscard]] bool ReplaceFileBytes(const std::filesystem::path& path, std::string_view bytes);
}  // namespace detail

}  // namespace sarn
