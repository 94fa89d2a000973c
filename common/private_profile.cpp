#include "common/private_profile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <system_error>
#include <vector>

#include "common/debug_output.h"
#include "common/file_lock.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace sarn {
namespace {

constexpr std::size_t kTextBufferSize = 2048;  // the read buffer every text value is read through
constexpr std::size_t kIntBufferSize = 30;     // integers are read as text through a buffer this size
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Blanks as Windows trims them around names and values; Ctrl-Z is an old end-of-file mark.
bool IsProfileSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1A'; }

std::string_view TrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsProfileSpace(s[i])) ++i;
  return s.substr(i);
}

std::string_view TrimRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && IsProfileSpace(s[n - 1])) --n;
  return s.substr(0, n);
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

// A name or value ends at its first NUL, as a C string would.
std::string_view CutAtNul(std::string_view s) { return s.substr(0, s.find('\0')); }

// Position of the first CR or LF (and NUL when asked), or npos. Values run to thousands of characters, so the
// search goes through memchr: first the LF that ends the line, then a CR (or NUL) before it.
std::size_t FindLineEnd(std::string_view s, bool nulEndsToo) {
  const char* begin = s.data();
  const void* lf = std::memchr(begin, '\n', s.size());
  std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - begin) : s.size();
  if (const void* cr = std::memchr(begin, '\r', end)) end = static_cast<std::size_t>(static_cast<const char*>(cr) - begin);
  if (nulEndsToo) {
    if (const void* nul = std::memchr(begin, '\0', end)) end = static_cast<std::size_t>(static_cast<const char*>(nul) - begin);
  }
  return end == s.size() ? std::string_view::npos : end;
}

// What we write never carries a line end (or a NUL) into the file.
std::string_view CutAtLineEnd(std::string_view s) { return s.substr(0, FindLineEnd(s, true)); }

// The name a section or key is written and looked up under. Writer and lookups must agree: leading blanks
// (line ends among them) go first, then the name ends at a line end or NUL, then trailing blanks go. Cutting
// before trimming would write "\nk" as the empty name while lookups of it found "k".
std::string_view NameAsWritten(std::string_view s) { return CutAtLineEnd(TrimLeft(s)); }
std::string_view NameAsLookedUp(std::string_view s) { return TrimRight(NameAsWritten(s)); }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// The name an entry is indexed under: two names match as writes match them exactly when these are equal.
std::string IndexName(std::string_view name) {
  std::string folded(TrimRight(name));
  for (char& c : folded) c = AsciiLower(c);
  return folded;
}

// The text a read buffer of bufferSize bytes receives. One pair of matching surrounding quotes is dropped; when
// the value does not fit, the cut falls as Windows' own copy makes it (a value whose unquoted text is exactly
// one byte too long loses that byte and the closing quote).
std::string CopyEntry(std::string_view value, std::size_t bufferSize) {
  const bool quoted = value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
  if (!quoted) return std::string(value.substr(0, bufferSize - 1));
  const std::string_view rest = value.substr(1);  // the text and its closing quote
  std::string out(rest.substr(0, bufferSize - 1));
  if (rest.size() <= bufferSize) out.pop_back();
  return out;
}

// Defaults lose their trailing spaces (never their first character) before they are copied.
std::string CopyDefault(std::string_view defaultValue, std::size_t bufferSize) {
  std::size_t n = defaultValue.size();
  while (n > 1 && defaultValue[n - 1] == ' ') --n;
  return std::string(defaultValue.substr(0, std::min(n, bufferSize - 1)));
}

// Hex digit values by character, -1 for anything else (either case is read).
constexpr std::array<signed char, 256> kHexValue = [] {
  std::array<signed char, 256> table{};
  for (auto& v : table) v = -1;
  for (int c = '0'; c <= '9'; ++c) table[static_cast<std::size_t>(c)] = static_cast<signed char>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[static_cast<std::size_t>(c)] = static_cast<signed char>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) table[static_cast<std::size_t>(c)] = static_cast<signed char>(c - 'a' + 10);
  return table;
}();

int HexDigit(char c) { return kHexValue[static_cast<unsigned char>(c)]; }

// The integer conversion Windows applies to profile integers: blanks and control characters skipped, one sign,
// an optional lower-case base prefix, digits until the first that does not belong to the base; no overflow
// check (the value wraps modulo 2^32).
int ParseProfileInt(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  unsigned base = 10;
  if (s.size() - i >= 2 && s[i] == '0') {
    if (s[i + 1] == 'x') base = 16;
    if (s[i + 1] == 'o') base = 8;
    if (s[i + 1] == 'b') base = 2;
    if (base != 10) i += 2;
  }
  std::uint32_t total = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    unsigned digit = 99;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'z') digit = static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z') digit = static_cast<unsigned>(c - 'A' + 10);
    if (digit >= base) break;
    total = total * base + digit;
  }
  if (negative) total = 0u - total;
  return static_cast<int>(total);
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  doc.original_ = std::string(bytes);
  doc.verbatim_ = true;
  std::string_view rest = bytes;
  if (rest.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    doc.utf8Bom_ = true;
    rest.remove_prefix(kUtf8Bom.size());
  }
  std::size_t current = 0;  // index into sections_: keys before the first header go to the nameless section
  while (!rest.empty()) {
    // Any CR or LF ends a line, so CR-only, LF-only and mixed files all read alike; blank lines vanish.
    const std::size_t end = FindLineEnd(rest, false);
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    line = Trim(line);
    if (line.empty()) continue;

    if (line[0] == '[') {
      const std::size_t close = line.rfind(']');
      if (close != std::string_view::npos && close > 0) {
        // Text after the last "]" is ignored; a "[" line without any "]" falls through and is kept as a key.
        doc.sections_.push_back(Section{std::string(CutAtNul(Trim(line.substr(1, close - 1)))), {}});
        current = doc.sections_.size() - 1;
        continue;
      }
    }

    Key key;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      key.name = std::string(CutAtNul(line));
    } else {
      key.name = std::string(CutAtNul(TrimRight(line.substr(0, eq))));
      key.value = std::string(CutAtNul(TrimLeft(line.substr(eq + 1))));
      key.hasValue = true;
    }
    doc.sections_[current].keys.push_back(std::move(key));
  }
  doc.fragile_ = bytes.find('\0') != std::string_view::npos;
  for (std::size_t i = 1; i < doc.sections_.size(); ++i) doc.fragile_ = doc.fragile_ || doc.sections_[i].name.empty();
  for (Section& section : doc.sections_) IndexKeys(section);
  doc.IndexSections();
  return doc;
}

void IniDocument::IndexSections() {
  sectionIndex_.clear();
  for (std::size_t i = 0; i < sections_.size(); ++i) sectionIndex_.emplace(IndexName(sections_[i].name), i);
}

void IniDocument::IndexKeys(Section& section) {
  section.keyIndex.clear();
  for (std::size_t i = 0; i < section.keys.size(); ++i) section.keyIndex.emplace(IndexName(section.keys[i].name), i);
}

std::size_t IniDocument::FindSection(std::string_view name, bool asWritten) const {
  const auto it = sectionIndex_.find(IndexName(name));
  if (it == sectionIndex_.end()) return sections_.size();
  std::size_t i = it->second;
  // Lookups match the name exactly: a first entry whose name ends in a blank (a NUL in the file cut it
  // there) is passed over, and the rest are walked, as only such a file has them.
  while (!asWritten && i < sections_.size() && !EqualsNoCase(sections_[i].name, name)) ++i;
  return i;
}

std::size_t IniDocument::FindKeyIn(const Section& section, std::string_view name, bool asWritten) {
  const auto it = section.keyIndex.find(IndexName(name));
  if (it == section.keyIndex.end()) return section.keys.size();
  std::size_t i = it->second;
  while (!asWritten && i < section.keys.size() && !EqualsNoCase(section.keys[i].name, name)) ++i;
  return i;
}

std::string IniDocument::Serialize() const {
  if (verbatim_) return original_;
  std::size_t size = utf8Bom_ ? kUtf8Bom.size() : 0;
  for (const Section& section : sections_) {
    size += section.name.size() + 4;
    for (const Key& key : section.keys) size += key.name.size() + key.value.size() + 3;
  }
  std::string out;
  out.reserve(size);
  if (utf8Bom_) out += kUtf8Bom;
  for (const Section& section : sections_) {
    if (!section.name.empty()) {
      out += '[';
      out += section.name;
      out += "]\r\n";
    }
    for (const Key& key : section.keys) {
      out += key.name;
      if (key.hasValue) {
        out += '=';
        out += key.value;
      }
      out += "\r\n";
    }
  }
  // The reader takes these bytes as the UTF-8 mark only at the very start of the file. A first line that
  // begins with them (in the file it followed a blank line or a mark of its own) would lose them and read as
  // something else, "\xEF\xBB\xBF[x]" as a section header: a line end ahead keeps it the line it was.
  if (!utf8Bom_ && out.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0) out.insert(0, "\r\n");
  return out;
}

const IniDocument::Key* IniDocument::FindKey(std::string_view section, std::string_view key) const {
  // Only the first section of a name is searched, and within it the first key of a name.
  const std::size_t s = FindSection(NameAsLookedUp(section), false);
  if (s == sections_.size()) return nullptr;
  const Section& found = sections_[s];
  const std::size_t k = FindKeyIn(found, NameAsLookedUp(key), false);
  return k < found.keys.size() ? &found.keys[k] : nullptr;
}

void IniDocument::MarkChanged() {
  modified_ = true;
  verbatim_ = false;
  original_.clear();
}

// An edit whose text reads back differently is settled at once: the document becomes what reading its own
// file gives, holding the bytes as written, so that every later read and edit sees the file as a reader of
// it would (and a read need not re-parse the whole file each time).
void IniDocument::FinishEdit() {
  // Once rewritten, a file whose names were cut at a NUL or that has a nameless section below another
  // reads back differently again (the cut name may end in a blank; the nameless keys join the section above).
  if (!verbatim_ && fragile_) unsettled_ = true;
  if (!unsettled_) return;
  IniDocument settled = Parse(Serialize());
  settled.modified_ = true;
  *this = std::move(settled);
}

int IniDocument::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
  const Key* k = FindKey(section, key);
  if (k == nullptr || !k->hasValue) return defaultValue;
  const std::string text = CopyEntry(k->value, kIntBufferSize);
  if (text.empty()) return defaultValue;
  return ParseProfileInt(text);
}

std::string IniDocument::GetString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue) const {
  const Key* k = FindKey(section, key);
  if (k == nullptr || !k->hasValue) return CopyDefault(CutAtNul(defaultValue), kTextBufferSize);
  return CopyEntry(k->value, kTextBufferSize);
}

bool IniDocument::GetStruct(std::string_view section, std::string_view key, void* buffer,
                            std::size_t size) const {
  const Key* k = FindKey(section, key);
  if (k == nullptr || !k->hasValue) return false;
  return DecodeStructValue(k->value, buffer, size);
}

std::optional<std::string> IniDocument::RawValue(std::string_view section, std::string_view key) const {
  const Key* k = FindKey(section, key);
  if (k == nullptr || !k->hasValue) return std::nullopt;
  return k->value;
}

bool IniDocument::HasKey(std::string_view section, std::string_view key) const {
  const Key* k = FindKey(section, key);
  return k != nullptr && k->hasValue;
}

bool IniDocument::HasSection(std::string_view section) const {
  return FindSection(NameAsLookedUp(section), false) < sections_.size();
}

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> names;
  for (const Section& s : sections_) {
    if (!s.name.empty() && Trim(s.name) == s.name) names.push_back(s.name);
  }
  return names;
}

std::vector<std::string> IniDocument::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  const std::size_t found = FindSection(NameAsLookedUp(section), false);
  if (found == sections_.size()) return names;
  const Section& s = sections_[found];
  for (std::size_t i = 0; i < s.keys.size(); ++i) {
    const std::string& name = s.keys[i].name;
    // A name that ends in a blank (a NUL cut it after the blank) can never be asked for: not listed. Only the
    // first key of a name is ever read, so only it decides whether the name is listed.
    if (s.keys[i].hasValue && Trim(name) == name && FindKeyIn(s, name, false) == i) names.push_back(name);
  }
  return names;
}

void IniDocument::SetString(std::string_view section, std::string_view key, std::string_view value) {
  SetStringSettled(section, key, value);
  FinishEdit();
}

void IniDocument::SetStringSettled(std::string_view section, std::string_view key, std::string_view value) {
  section = NameAsWritten(section);
  key = NameAsWritten(key);
  value = CutAtLineEnd(TrimLeft(CutAtNul(value)));

  // A name that a NUL in the file cut right after a blank ("Name\v", from "Name\v\0") is not found by lookups
  // here, yet the rewritten file no longer has the NUL and reads it as "Name". A write must go where the file
  // it produces will be read: to the first section and key that will read back under the name. Otherwise it
  // lands on a new line below, which that old line then shadows, and the write is lost. Names in a file
  // without such a cut never end in a blank here, so they match as before.
  const std::size_t index = FindSection(section, true);
  const bool newSection = index == sections_.size();
  if (newSection) {
    // A new name keeps what follows its first character, trailing blanks included, as Windows writes it.
    sections_.push_back(Section{std::string(section), {}, {}});
    sectionIndex_.emplace(IndexName(section), index);
  }
  Section& target = sections_[index];
  const std::size_t at = FindKeyIn(target, key, true);
  Key* found = at < target.keys.size() ? &target.keys[at] : nullptr;
  // Only a line that lookups already reach under the name holds the text as far as readers are concerned.
  const bool reachable = found != nullptr && found->name.size() == TrimRight(found->name).size() &&
                         target.name.size() == TrimRight(target.name).size();
  if (found == nullptr) {
    target.keys.push_back(Key{std::string(key), {}, false});
    target.keyIndex.emplace(IndexName(key), at);
    found = &target.keys.back();
  } else if (reachable && found->hasValue && found->value == value) {
    return;  // same text: the file stays exactly as it was
  }
  found->value.assign(value);
  found->hasValue = true;
  MarkChanged();

  // Does what we just wrote read back as written? Parse the lines it becomes and compare.
  if (target.name.empty()) {
    unsettled_ = unsettled_ || index != 0;  // keys of a nameless section that is not first join the one above
  } else if (newSection) {
    const IniDocument back = Parse("[" + target.name + "]\n");
    unsettled_ = unsettled_ || back.sections_.size() != 2 || back.sections_[1].name != target.name;
  }
  std::string line = found->name;
  line += '=';
  line += found->value;
  const IniDocument back = Parse(line);
  const bool same = back.sections_.size() == 1 && back.sections_[0].keys.size() == 1 &&
                    back.sections_[0].keys[0].name == found->name && back.sections_[0].keys[0].value == found->value;
  unsettled_ = unsettled_ || !same;
}

void IniDocument::SetInt(std::string_view section, std::string_view key, int value) {
  SetString(section, key, std::to_string(value));
}

void IniDocument::SetStruct(std::string_view section, std::string_view key, const void* data, std::size_t size) {
  if (data == nullptr) {
    DeleteKey(section, key);
    return;
  }
  SetString(section, key, EncodeStructValue(data, size));
}

void IniDocument::DeleteKey(std::string_view section, std::string_view key) {
  DeleteKeySettled(section, key);
  FinishEdit();
}

void IniDocument::DeleteKeySettled(std::string_view section, std::string_view key) {
  for (Section& s : sections_) {
    if (!EqualsNoCase(s.name, section)) continue;
    // Unlike lookups, a delete goes on to later sections of the same name until it finds the key.
    for (auto it = s.keys.begin(); it != s.keys.end(); ++it) {
      if (EqualsNoCase(it->name, key)) {
        s.keys.erase(it);
        IndexKeys(s);
        MarkChanged();
        return;
      }
    }
  }
}

void IniDocument::DeleteSection(std::string_view section) {
  DeleteSectionSettled(section);
  FinishEdit();
}

void IniDocument::DeleteSectionSettled(std::string_view section) {
  for (auto it = sections_.begin(); it != sections_.end(); ++it) {
    if (EqualsNoCase(it->name, section)) {
      sections_.erase(it);
      MarkChanged();
      // Reading the file back always starts with the (possibly empty) nameless section.
      if (sections_.empty() || !sections_[0].name.empty()) sections_.insert(sections_.begin(), Section{});
      IndexSections();
      // Keys of a nameless section that is no longer first read back as part of the section above them.
      for (std::size_t i = 1; i < sections_.size(); ++i) unsettled_ = unsettled_ || sections_[i].name.empty();
      return;
    }
  }
}

void IniDocument::Clear() {
  sections_.assign(1, Section{});
  IndexSections();
  utf8Bom_ = false;
  unsettled_ = false;
  fragile_ = false;
  MarkChanged();
}

namespace {

// The per-byte loops of the struct codec decide nothing (every byte is handled alike), yet a coverage-guided
// fuzzer build traces each of their compares: for a reader of twenty 5000-digit button values that tracing was
// most of the time of every execution. They are left out of coverage; their callers' checks are not.
#if defined(__clang__)
#define SARN_NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define SARN_NO_COVERAGE
#endif

constexpr char kHex[] = "0123456789ABCDEF";

// Upper-case hex pairs of the bytes into out (2*size characters); returns the byte sum.
SARN_NO_COVERAGE unsigned EncodeHexPairs(const unsigned char* bytes, std::size_t size, char* out) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < size; ++i) {
    out[2 * i] = kHex[bytes[i] >> 4];
    out[2 * i + 1] = kHex[bytes[i] & 0x0F];
    sum += bytes[i];
  }
  return sum;
}

// 2*size hex digits (either case) into out; false when any is not a hex digit. sum receives the byte sum.
SARN_NO_COVERAGE bool DecodeHexPairs(const char* text, std::size_t size, unsigned char* out, unsigned& sum) {
  unsigned total = 0;
  bool valid = true;
  for (std::size_t i = 0; i < size; ++i) {
    const int hi = HexDigit(text[2 * i]);
    const int lo = HexDigit(text[2 * i + 1]);
    valid &= (hi | lo) >= 0;
    const unsigned byte = static_cast<unsigned>((hi << 4) | lo) & 0xFFu;
    out[i] = static_cast<unsigned char>(byte);
    total += byte;
  }
  sum = total;
  return valid;
}

}  // namespace

std::string EncodeStructValue(const void* data, std::size_t size) {
  std::string out(2 * size + 2, '\0');
  const unsigned sum = EncodeHexPairs(static_cast<const unsigned char*>(data), size, out.data());
  out[2 * size] = kHex[(sum >> 4) & 0x0F];
  out[2 * size + 1] = kHex[sum & 0x0F];
  return out;
}

bool DecodeStructValue(std::string_view text, void* buffer, std::size_t size) {
  if (size > (std::numeric_limits<std::size_t>::max() - 2) / 2 || text.size() != 2 * size + 2) return false;
  if (buffer == nullptr && size > 0) return false;
  // Decode aside and validate everything first: a damaged value must leave the caller's buffer as it was.
  std::vector<unsigned char> decoded(size);
  unsigned sum = 0;
  const bool valid = DecodeHexPairs(text.data(), size, decoded.data(), sum);
  const int checkHi = HexDigit(text[2 * size]);
  const int checkLo = HexDigit(text[2 * size + 1]);
  if (!valid || checkHi < 0 || checkLo < 0 || static_cast<unsigned>(checkHi * 16 + checkLo) != (sum & 0xFF)) return false;
  if (size > 0) std::memcpy(buffer, decoded.data(), size);
  return true;
}

std::filesystem::path PendingPath(const std::filesystem::path& path) {
  std::filesystem::path pending = path;
  pending += ".pending";
  return pending;
}

namespace {

// Missing and unreadable are different things: an edit may start from an empty document only for a file that
// is not there.
FileRead ReadFileState(const std::filesystem::path& path, std::string& bytes) {
  if (ReadWholeFile(path, bytes)) return FileRead::kRead;
  std::error_code ec;
  const bool exists = std::filesystem::exists(path, ec);
  return exists || ec ? FileRead::kUnreadable : FileRead::kMissing;
}

// How long a temporary file may stand before a save of its file takes it for one a killed save left: a live
// save writes, flushes and renames within moments, and saves of one file take its lock in turn.
constexpr std::chrono::seconds kStaleTemporaryAge{60};

bool ReplaceAndSettle(const std::filesystem::path& path, std::string_view bytes) {
  (void)RemoveStaleTemporaryFiles(path, kStaleTemporaryAge);
  if (!detail::ReplaceFileBytes(path, bytes)) return false;
  // The file now holds the newest content; a pending copy left by an earlier refused save is stale.
  std::error_code ec;
  const auto pending = PendingPath(path);
  if (std::filesystem::exists(pending, ec) && !std::filesystem::remove(pending, ec)) {
    WriteDebugLine("stale pending content could not be removed: " + pending.string());
  }
  return true;
}

}  // namespace

FileRead ReadNewestFile(const std::filesystem::path& path, std::string& bytes) {
  const auto pendingPath = PendingPath(path);
  const FileRead pending = ReadFileState(pendingPath, bytes);
  if (pending == FileRead::kMissing) return ReadFileState(path, bytes);
  // A save that replaced the file removes the pending copy; one it could not remove is older than the file.
  std::error_code ecFile, ecPending;
  const auto fileTime = std::filesystem::last_write_time(path, ecFile);
  const auto pendingTime = std::filesystem::last_write_time(pendingPath, ecPending);
  if (!ecFile && !ecPending && fileTime > pendingTime) {
    std::string file;
    const FileRead read = ReadFileState(path, file);
    if (read == FileRead::kRead) bytes = std::move(file);
    if (read != FileRead::kMissing) return read;
  }
  return pending;
}

FileRead LoadIniFileState(const std::filesystem::path& path, IniDocument& document) {
  std::string bytes;
  const FileRead read = ReadNewestFile(path, bytes);
  document = read == FileRead::kRead ? IniDocument::Parse(bytes) : IniDocument{};
  return read;
}

bool LoadIniFile(const std::filesystem::path& path, IniDocument& document) {
  return LoadIniFileState(path, document) == FileRead::kRead;
}

namespace {

template <typename Char>
bool AllDigits(std::basic_string_view<Char> text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](Char c) { return c >= '0' && c <= '9'; });
}

template <typename Char>
bool SameNameIgnoringCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  const auto lower = [](Char c) { return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](Char x, Char y) { return lower(x) == lower(y); });
}

template <typename Char>
bool IsTemporaryName(std::basic_string_view<Char> candidate, std::basic_string_view<Char> fileName) {
  if (fileName.empty()) return false;
  // POSIX: "." NAME "." and the six characters mkstemp chose.
  if (candidate.size() == fileName.size() + 8 && candidate[0] == '.' &&
      candidate.substr(1, fileName.size()) == fileName && candidate[fileName.size() + 1] == '.') {
    return true;
  }
  // Windows: NAME "." process "." counter ".tmp" (compared ignoring case, as the file system does).
  const Char suffix[] = {'.', 't', 'm', 'p'};
  const std::basic_string_view<Char> tmp(suffix, 4);
  if (candidate.size() < fileName.size() + 4 + tmp.size()) return false;
  if (!SameNameIgnoringCase(candidate.substr(0, fileName.size()), fileName) || candidate[fileName.size()] != '.' ||
      !SameNameIgnoringCase(candidate.substr(candidate.size() - tmp.size()), tmp)) {
    return false;
  }
  const auto middle = candidate.substr(fileName.size() + 1, candidate.size() - fileName.size() - 1 - tmp.size());
  const auto dot = middle.find('.');
  return dot != middle.npos && AllDigits(middle.substr(0, dot)) && AllDigits(middle.substr(dot + 1));
}

std::string ShownPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

bool IsTemporaryFileOf(std::string_view candidate, std::string_view fileName) {
  return IsTemporaryName(candidate, fileName);
}

int RemoveStaleTemporaryFiles(const std::filesystem::path& path, std::chrono::seconds age) {
  using NameView = std::basic_string_view<std::filesystem::path::value_type>;
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  const auto fileName = path.filename().native();
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return 0;
  const auto now = std::filesystem::file_time_type::clock::now();
  int removed = 0;
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const auto name = it->path().filename().native();
    if (!IsTemporaryName(NameView(name), NameView(fileName))) continue;
    std::error_code entryEc;
    if (!it->is_regular_file(entryEc)) continue;
    const auto written = it->last_write_time(entryEc);
    if (entryEc || now - written < age) continue;
    if (std::filesystem::remove(it->path(), entryEc)) ++removed;
  }
  if (removed > 0) WriteDebugLine("removed " + std::to_string(removed) + " stale temporary file(s) of " + ShownPath(path));
  return removed;
}

bool SaveIniFile(const std::filesystem::path& path, const IniDocument& document) {
  return WriteFileAtomic(path, document.Serialize());
}

bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes) {
  FileLock lock(path);
  return ReplaceAndSettle(path, bytes);
}

bool EditIniFile(const std::filesystem::path& path, const std::function<void(IniDocument&)>& edit) {
  return EditIniFileChecked(path, [&edit](IniDocument& document) {
           edit(document);
           return true;
         }) == IniEdit::kDone;
}

IniEdit EditIniFileChecked(const std::filesystem::path& path, const std::function<bool(IniDocument&)>& edit) {
  FileLock lock(path);
  std::string bytes;
  std::error_code ec;
  const bool pending = std::filesystem::exists(PendingPath(path), ec);
  const FileRead read = ReadNewestFile(path, bytes);
  if (read == FileRead::kUnreadable) {
    WriteDebugLine("not replaced, it exists but cannot be read: " + path.string());
    return IniEdit::kUnreadable;
  }
  IniDocument document = IniDocument::Parse(bytes);
  if (!edit(document)) return IniEdit::kRefused;
  // A file that already holds exactly this is not written again (no flush, no rename for nothing); content
  // still pending from a refused save always is.
  if (read == FileRead::kRead && !pending && !document.Modified()) return IniEdit::kDone;
  return ReplaceAndSettle(path, document.Serialize()) ? IniEdit::kDone : IniEdit::kWriteFailed;
}

bool SaveIniFileIfChanged(const std::filesystem::path& path, const IniDocument& document, bool loaded) {
  if (loaded && !document.Modified()) return true;
  return SaveIniFile(path, document);
}

#ifndef _WIN32
namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::vector<char> chunk(65536);  // on the heap, as on Windows
  for (;;) {
    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    bytes.append(chunk.data(), static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

namespace detail {

bool ReplaceFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  if (path.filename().empty()) return false;
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return false;
  // Keep the permissions of the file we replace; a new file gets the usual rw-r--r--.
  struct stat old {};
  (void)::fchmod(fd, ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(pattern.c_str(), path.c_str()) != 0) {
    ::unlink(pattern.c_str());
    return false;
  }
  // Make the rename itself durable.
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace detail
#endif

}  // namespace sarn
