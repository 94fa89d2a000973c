#include "tools/core/configuration.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <span>
#include <set>
#include <system_error>
#include <thread>

#include "common/button_functions.h"
#include "common/file_lock.h"
#include "common/json_writer.h"
#include "common/name_match.h"
#include "common/private_profile.h"
#include "common/profile_file.h"
#include "common/settings_file.h"
#include "common/text_encoding.h"

namespace sarnctl {

using sarn::IniDocument;
using sarn::JsonValue;
using sarn::JsonWriter;

Configuration::Configuration() : block(std::make_unique<sarn::SharedBlock>()) {
  std::memset(block.get(), 0, sizeof(sarn::SharedBlock));
  sarn::ResetNotificationSettings(notification);
}
Configuration::~Configuration() { sarn::FreeMacroStore(macros); }

namespace {

constexpr const char* kSetting = "Setting";
constexpr const char* kOsdSection = "OSDSetting";
constexpr const char* kOsdKey = "config";
constexpr const char* kConfigIniName = "config.ini";

std::string SlotFileName(int slot) { return "config/Default" + std::to_string(slot) + ".zmp"; }
constexpr const char* kMacroFileName = "config/Sarn_sequence.dat";
constexpr const char* kTimerFileName = "config/Timer.ini";

bool Exists(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

// --- byte patches for what the named fields do not show ------------------------------------------------------
// Records carry bytes that mean nothing (padding, text after its terminator, steps past the count) but that
// the files keep. They travel as "hidden" runs so that a document reproduces its files exactly; on import a
// run only fills bytes that are still meaningless in the new record.

using Mask = std::vector<bool>;  // true: the byte means nothing

void MarkTail(Mask& mask, std::size_t offset, const char* field, std::size_t size) {
  const std::size_t length = sarn::TextFieldLength(field, size);
  for (std::size_t i = length + 1; i < size; ++i) mask[offset + i] = true;
}
void MarkRange(Mask& mask, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i) mask[i] = true;
}

Mask FreeBytes(const sarn::ButtonSlot& s) {
  Mask m(sizeof s, false);
  MarkTail(m, offsetof(sarn::ButtonSlot, setName), s.setName, sizeof s.setName);
  MarkTail(m, offsetof(sarn::ButtonSlot, macroName), s.macroName, sizeof s.macroName);
  MarkRange(m, offsetof(sarn::ButtonSlot, events) + s.count * sizeof(sarn::MacroEvent), offsetof(sarn::ButtonSlot, timerValue));
  MarkTail(m, offsetof(sarn::ButtonSlot, timerName), s.timerName, sizeof s.timerName);
  MarkTail(m, offsetof(sarn::ButtonSlot, programPath), s.programPath, sizeof s.programPath);
  return m;
}
Mask FreeBytes(const sarn::MacroRecord& r) {
  Mask m(sizeof r, false);
  MarkTail(m, offsetof(sarn::MacroRecord, name), r.name, sizeof r.name);
  const std::size_t count = r.count < sarn::kMacroEventCapacity ? r.count : sarn::kMacroEventCapacity;
  MarkRange(m, offsetof(sarn::MacroRecord, events) + count * sizeof(sarn::MacroEvent), sizeof r);
  return m;
}
Mask FreeBytes(const sarn::TimerRecord& t) {
  Mask m(sizeof t, false);
  MarkTail(m, offsetof(sarn::TimerRecord, name), t.name, sizeof t.name);
  return m;
}
Mask FreeBytes(const sarn::NotificationSettings& n) {
  Mask m(sizeof n, false);
  MarkTail(m, offsetof(sarn::NotificationSettings, mailServer), n.mailServer, sizeof n.mailServer);
  MarkTail(m, offsetof(sarn::NotificationSettings, mailUser), n.mailUser, sizeof n.mailUser);
  MarkTail(m, offsetof(sarn::NotificationSettings, mailPassword), n.mailPassword, sizeof n.mailPassword);
  return m;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

template <typename Record>
void WriteHidden(JsonWriter& json, const Record& record) {
  const Mask mask = FreeBytes(record);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  bool open = false;
  for (std::size_t i = 0; i < sizeof record;) {
    if (!mask[i] || bytes[i] == 0) {
      ++i;
      continue;
    }
    std::size_t end = i;
    std::string hex;
    while (end < sizeof record && mask[end] && bytes[end] != 0) {
      hex += kHexDigits[bytes[end] >> 4];
      hex += kHexDigits[bytes[end] & 15];
      ++end;
    }
    if (!open) {
      json.Key("hidden").BeginArray();
      open = true;
    }
    json.BeginInlineArray().Int(static_cast<std::int64_t>(i)).String(hex).EndArray();
    i = end;
  }
  if (open) json.EndArray();
}

std::string Text(const char* field, std::size_t size) {
  return sarn::AnsiToUtf8(std::string_view(field, sarn::TextFieldLength(field, size)));
}
template <std::size_t N>
std::string Text(const char (&field)[N]) {
  return Text(field, N);
}


// --- the files' keys -----------------------------------------------------------------------------------------

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

using KeyList = std::vector<std::pair<std::string, std::string>>;

KeyList DocumentKeys(const IniDocument& doc) {
  KeyList keys;
  std::vector<std::string> seen;
  for (const std::string& section : doc.SectionNames()) {
    bool repeated = false;
    for (const auto& s : seen) repeated = repeated || SameName(s, section);
    if (repeated) continue;
    seen.push_back(section);
    for (const std::string& key : doc.KeyNames(section)) keys.emplace_back(section, key);
  }
  return keys;
}

bool Contains(const KeyList& list, const std::string& section, const std::string& key) {
  for (const auto& [s, k] : list) {
    if (SameName(s, section) && SameName(k, key)) return true;
  }
  return false;
}

// The keys the programs write into config.ini and read back, in the order a fresh file has them.
void WriteConfigKeys(const Configuration& c, IniDocument& doc) {
  for (const auto& k : sarn::kSettingInts) doc.SetInt(kSetting, k.key, c.block.get()->*k.field);
  doc.SetInt(kSetting, "FWVersion", c.firmwareVersion);
  doc.SetStruct(kOsdSection, kOsdKey, &c.notification, sizeof c.notification);
}

// What the programs read from a folder without any file: the values a missing key gives.
void MissingReadValues(Configuration& c) {
  sarn::ClearSharedBlock(*c.block);
  for (const auto& k : sarn::kSettingInts) c.block.get()->*k.field = -1;
  for (int p = 0; p < sarn::kProfileCount; ++p) sarn::InitProfileDefaults(c.block->profiles[p], p);
  c.firmwareVersion = 100;
  std::memset(&c.notification, 0, sizeof c.notification);
  sarn::ResetNotificationSettings(c.notification);
}

KeyList OwnKeys(const std::function<void(IniDocument&)>& writer) {
  IniDocument doc;
  writer(doc);
  return DocumentKeys(doc);
}

FileLayout ReadLayout(const IniDocument& doc, bool present, const KeyList& own) {
  FileLayout layout;
  layout.present = present;
  if (!present) return layout;
  const KeyList keys = DocumentKeys(doc);
  if (keys == own) return layout;  // the usual shape: nothing to keep
  for (const auto& [section, key] : keys) {
    FileLayout::Entry e{section, key, FileLayout::Entry::Kind::kOwn, {}};
    if (!Contains(own, section, key)) {
      e.kind = FileLayout::Entry::Kind::kForeign;
      e.value = doc.RawValue(section, key).value_or("");
    }
    layout.entries.push_back(std::move(e));
  }
  for (const auto& [section, key] : own) {
    if (!Contains(keys, section, key)) layout.entries.push_back({section, key, FileLayout::Entry::Kind::kOwnMissing, {}});
  }
  return layout;
}

// Lays the file out as it was, lets the programs' writer fill in their keys, and takes out again the keys the
// file lacked when they still hold what a missing key reads as.
std::string BuildIniFile(const FileLayout& layout, const std::function<void(IniDocument&)>& writer,
                         const std::function<void(IniDocument&)>& missingWriter) {
  IniDocument doc;
  for (const auto& e : layout.entries) {
    if (e.kind == FileLayout::Entry::Kind::kOwn) doc.SetString(e.section, e.key, "");
    if (e.kind == FileLayout::Entry::Kind::kForeign) doc.SetString(e.section, e.key, e.value);
  }
  writer(doc);
  IniDocument missing;
  missingWriter(missing);
  for (const auto& e : layout.entries) {
    if (e.kind != FileLayout::Entry::Kind::kOwnMissing) continue;
    if (doc.RawValue(e.section, e.key) == missing.RawValue(e.section, e.key)) doc.DeleteKey(e.section, e.key);
  }
  // A section that only the taken-out keys brought goes with them.
  for (const std::string& section : doc.SectionNames()) {
    if (!doc.KeyNames(section).empty()) continue;
    bool laidOut = false;
    for (const auto& e : layout.entries) {
      laidOut = laidOut || (e.kind != FileLayout::Entry::Kind::kOwnMissing && SameName(e.section, section));
    }
    if (!laidOut) doc.DeleteSection(section);
  }
  return doc.Serialize();
}

}  // namespace

void WriteEvents(JsonWriter& json, const sarn::MacroEvent* events, std::size_t count) {
  json.Key("events").BeginArray();
  for (std::size_t i = 0; i < count && i < sarn::kMacroEventCapacity; ++i) {
    json.BeginInlineArray().Int(events[i].key).Int(events[i].kind).Int(events[i].delay).EndArray();
  }
  json.EndArray();
}

void WriteMacroStore(JsonWriter& json, const sarn::MacroStore& store) {
  json.BeginArray();
  for (const auto& set : store.sets) {
    json.BeginObject();
    json.Member("name", sarn::AnsiToUtf8(set->name));
    json.Key("macros").BeginArray();
    for (const auto& m : set->macros) {
      json.BeginObject();
      json.Member("name", Text(m->name));
      json.Member("loops", m->loops);
      WriteEvents(json, m->events, m->count);
      WriteHidden(json, *m);
      json.EndObject();
    }
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();
}

void WriteTimers(JsonWriter& json, const sarn::TimerList& timers) {
  json.BeginArray();
  for (const auto& t : timers.timers) {
    json.BeginObject();
    json.Member("name", Text(t.name));
    json.Member("value", static_cast<std::int64_t>(t.value));
    WriteHidden(json, t);
    json.EndObject();
  }
  json.EndArray();
}

// --- reading a folder ----------------------------------------------------------------------------------------

bool ReadConfiguration(const std::filesystem::path& folder, Configuration& c, std::string& error) {
  const auto configPath = sarn::SettingsFilePath(folder);
  IniDocument config;
  const bool configPresent = Exists(configPath);
  if (configPresent && !sarn::LoadIniFile(configPath, config)) {
    error = "cannot read " + configPath.string();
    return false;
  }
  // The same reads as the programs': missing keys and files give their defaults.
  MissingReadValues(c);
  (void)sarn::LoadSettings(*c.block, sarn::SettingsContext{folder, nullptr});
  c.firmwareVersion = sarn::ReadFirmwareVersion(folder);
  (void)sarn::LoadNotificationSettings(c.notification, folder);
  c.configIni = ReadLayout(config, configPresent, OwnKeys([&c](IniDocument& d) { WriteConfigKeys(c, d); }));

  for (int p = 0; p < sarn::kProfileCount; ++p) {
    const auto path = sarn::SlotFilePath(folder, p);
    IniDocument doc;
    const bool present = Exists(path);
    if (present && !sarn::LoadIniFile(path, doc)) {
      error = "cannot read " + path.string();
      return false;
    }
    const sarn::ProfileRecord& profile = c.block->profiles[p];
    c.slotFiles[p] = ReadLayout(doc, present, OwnKeys([&profile](IniDocument& d) { sarn::WriteProfileDocument(profile, d); }));
  }

  c.macroFilePresent = Exists(sarn::MacroStorePath(folder));
  if (c.macroFilePresent && sarn::LoadMacroStore(c.macros, folder) != 1) {
    error = "cannot read " + sarn::MacroStorePath(folder).string();
    return false;
  }
  c.timerFilePresent = Exists(sarn::TimerFilePath(folder));
  if (c.timerFilePresent && sarn::LoadTimers(c.timers, folder) != 1) {
    error = "cannot read " + sarn::TimerFilePath(folder).string();
    return false;
  }
  c.layoutKnown = true;
  return true;
}

// --- the document --------------------------------------------------------------------------------------------

namespace {

void WriteSlot(JsonWriter& json, const sarn::ButtonSlot& s) {
  json.BeginObject();
  json.Member("function", static_cast<int>(s.functionCode));
  json.Member("setName", Text(s.setName));
  json.Member("macroName", Text(s.macroName));
  json.Member("loops", s.loops);
  WriteEvents(json, s.events, s.count);
  json.Member("timerValue", static_cast<std::int64_t>(s.timerValue));
  json.Member("timerName", Text(s.timerName));
  json.Member("programPath", Text(s.programPath));
  WriteHidden(json, s);
  json.EndObject();
}

void WriteProfile(JsonWriter& json, const sarn::ProfileRecord& p) {
  json.BeginObject();
  json.Member("ProFileName", Text(p.ProFileName));
  json.Member("GameFile0", Text(p.GameFile0));
  json.Member("GameFile1", Text(p.GameFile1));
  json.Member("GameFile2", Text(p.GameFile2));
  for (const auto& k : sarn::kIntsBeforeDpi) json.Member(k.key, p.*k.field);
  json.Key("dpi").BeginInlineArray();
  for (std::uint8_t flag : p.dpi) json.Int(flag);
  json.EndArray();
  for (const auto& k : sarn::kIntsAfterDpi) json.Member(k.key, p.*k.field);
  json.Key("buttons").BeginArray();
  for (const auto& slot : p.MacroKeyInfo) WriteSlot(json, slot);
  json.EndArray();
  json.EndObject();
}

}  // namespace

std::string ConfigurationToJson(const Configuration& c, Secrets secrets) {
  JsonWriter json(true);
  json.BeginObject();
  json.Member("format", kDocumentFormat);
  json.Member("version", kDocumentVersion);

  json.Key("settings").BeginObject();
  for (const auto& k : sarn::kSettingInts) json.Member(k.key, c.block.get()->*k.field);
  json.Member("FWVersion", c.firmwareVersion);
  json.EndObject();

  const sarn::NotificationSettings& n = c.notification;
  json.Key("notification").BeginObject();
  json.Key("options").BeginInlineArray();
  for (std::int32_t option : n.options) json.Int(option);
  json.EndArray();
  json.Member("osdWordA", n.osdWordA);
  json.Member("osdWordB", n.osdWordB);
  json.Member("mailServer", Text(n.mailServer));
  json.Member("mailPort", n.mailPort);
  json.Member("mailUser", Text(n.mailUser));
  if (secrets == Secrets::kIncluded) json.Member("mailPassword", Text(n.mailPassword));
  json.Member("checkInterval", n.checkInterval);
  if (secrets == Secrets::kIncluded) {
    WriteHidden(json, n);
  } else {
    // The bytes behind the password's terminator are what is left of an older, longer password.
    sarn::NotificationSettings shown = n;
    std::memset(shown.mailPassword, 0, sizeof shown.mailPassword);
    WriteHidden(json, shown);
  }
  json.EndObject();

  json.Key("profiles").BeginArray();
  for (const auto& profile : c.block->profiles) WriteProfile(json, profile);
  json.EndArray();

  json.Key("macros");
  WriteMacroStore(json, c.macros);
  json.Key("timers");
  WriteTimers(json, c.timers);

  if (c.layoutKnown) {
    json.Key("files").BeginObject();
    const auto layout = [&json](const std::string& name, const FileLayout& l) {
      if (!l.present) return;
      json.Key(name).BeginArray();
      for (const auto& e : l.entries) {
        json.BeginInlineArray().String(sarn::AnsiToUtf8(e.section)).String(sarn::AnsiToUtf8(e.key));
        if (e.kind == FileLayout::Entry::Kind::kForeign) json.String(sarn::AnsiToUtf8(e.value));
        if (e.kind == FileLayout::Entry::Kind::kOwnMissing) json.Null();
        json.EndArray();
      }
      json.EndArray();
    };
    layout(kConfigIniName, c.configIni);
    for (int p = 0; p < sarn::kProfileCount; ++p) layout(SlotFileName(p), c.slotFiles[p]);
    if (c.macroFilePresent) json.Key(kMacroFileName).BeginArray().EndArray();
    if (c.timerFilePresent) json.Key(kTimerFileName).BeginArray().EndArray();
    json.EndObject();
  }
  json.EndObject();
  return json.str() + "\n";
}

// --- checking a document -------------------------------------------------------------------------------------

namespace {

std::string Index(const std::string& path, std::size_t i) { return path + "[" + std::to_string(i) + "]"; }
std::string Member(const std::string& path, std::string_view name) {
  return path.empty() ? std::string(name) : path + "." + std::string(name);
}

// Walks one object: every member must be known, every required one present, each of its type.
class ObjectReader {
 public:
  ObjectReader(const JsonValue* value, std::string path, Problems& problems)
      : value_(value), path_(std::move(path)), problems_(problems) {
    if (value_ != nullptr && !value_->IsObject()) {
      Problem(path_, std::string("must be an object, not ") + value_->KindName());
      value_ = nullptr;
    }
  }
  ~ObjectReader() {
    if (value_ == nullptr) return;
    for (const auto& [name, v] : value_->members()) {
      if (used_.count(name) == 0) Problem(Member(path_, name), "unknown member");
    }
  }
  ObjectReader(const ObjectReader&) = delete;
  ObjectReader& operator=(const ObjectReader&) = delete;

  [[nodiscard]] bool ok() const { return value_ != nullptr; }
  [[nodiscard]] const std::string& path() const { return path_; }

  const JsonValue* Take(std::string_view name, bool required = true) {
    if (value_ == nullptr) return nullptr;
    used_.insert(std::string(name));
    const JsonValue* v = value_->Find(name);
    if (v == nullptr && required) Problem(Member(path_, name), "missing");
    return v;
  }

  template <typename T>
  bool Int(std::string_view name, std::int64_t min, std::int64_t max, T& out) {
    const JsonValue* v = Take(name);
    return v != nullptr && ReadInt(*v, Member(path_, name), min, max, out);
  }
  bool Text(std::string_view name, std::size_t maxBytes, std::string& ansi) {
    const JsonValue* v = Take(name);
    return v != nullptr && ReadText(*v, Member(path_, name), maxBytes, ansi);
  }
  const JsonValue* Array(std::string_view name, bool required = true) {
    const JsonValue* v = Take(name, required);
    if (v != nullptr && !v->IsArray()) {
      Problem(Member(path_, name), std::string("must be an array, not ") + v->KindName());
      return nullptr;
    }
    return v;
  }

  void Problem(const std::string& path, const std::string& message) { problems_.push_back(path + ": " + message); }

  template <typename T>
  bool ReadInt(const JsonValue& v, const std::string& path, std::int64_t min, std::int64_t max, T& out) {
    if (!v.IsInteger()) {
      if (v.IsNumber() && v.number() == static_cast<double>(static_cast<std::int64_t>(v.number())) &&
          v.number() > -1e18 && v.number() < 1e18) {
        Problem(path, "must be written as an integer");
      } else if (v.IsNumber()) {
        Problem(path, "must be an integer " + std::to_string(min) + ".." + std::to_string(max));
      } else {
        Problem(path, std::string("must be an integer, not ") + v.KindName());
      }
      return false;
    }
    if (v.integer() < min || v.integer() > max) {
      Problem(path, std::to_string(v.integer()) + " is outside " + std::to_string(min) + ".." + std::to_string(max));
      return false;
    }
    out = static_cast<T>(v.integer());
    return true;
  }

  bool ReadText(const JsonValue& v, const std::string& path, std::size_t maxBytes, std::string& ansi) {
    if (!v.IsString()) {
      Problem(path, std::string("must be a string, not ") + v.KindName());
      return false;
    }
    const std::string& utf8 = v.string();
    if (utf8.find('\0') != std::string::npos) {
      Problem(path, "contains a NUL character");
      return false;
    }
    ansi = sarn::Utf8ToAnsi(utf8);
    if (sarn::AnsiToUtf8(ansi) != utf8) {
      Problem(path, "has characters the system code page cannot hold");
      return false;
    }
    if (ansi.size() > maxBytes) {
      Problem(path, "is " + std::to_string(ansi.size()) + " bytes long; at most " + std::to_string(maxBytes) + " fit");
      return false;
    }
    return true;
  }

 private:
  const JsonValue* value_;
  std::string path_;
  Problems& problems_;
  std::set<std::string> used_;
};

constexpr std::int64_t kI32Min = INT32_MIN;
constexpr std::int64_t kI32Max = INT32_MAX;

template <std::size_t N>
void StoreText(char (&field)[N], const std::string& ansi) {
  std::memset(field, 0, N);
  std::memcpy(field, ansi.data(), ansi.size() < N ? ansi.size() : N - 1);
}

// `pressRelease`: the steps of a macro (kind 1 press, 2 release). A slot that holds another function keeps the
// steps it had (a shortcut keeps its modifier flags there, and the layer rules change only the code).
bool ReadEvents(ObjectReader& r, sarn::MacroEvent* events, std::size_t& count, bool pressRelease) {
  const JsonValue* list = r.Array("events");
  if (list == nullptr) return false;
  const std::string path = Member(r.path(), "events");
  if (list->items().size() > sarn::kMacroEventCapacity) {
    r.Problem(path, std::to_string(list->items().size()) + " steps; at most " +
                        std::to_string(sarn::kMacroEventCapacity) + " fit");
    return false;
  }
  bool ok = true;
  count = list->items().size();
  for (std::size_t i = 0; i < count; ++i) {
    const JsonValue& step = list->items()[i];
    const std::string at = Index(path, i);
    if (!step.IsArray() || step.items().size() != 3) {
      r.Problem(at, "must be [key, kind, delay]");
      ok = false;
      continue;
    }
    ok = r.ReadInt(step.items()[0], Index(at, 0), 0, 255, events[i].key) && ok;
    ok = r.ReadInt(step.items()[1], Index(at, 1), pressRelease ? 1 : 0, pressRelease ? 2 : 255, events[i].kind) && ok;
    ok = r.ReadInt(step.items()[2], Index(at, 2), 0, 65535, events[i].delay) && ok;
  }
  return ok;
}

bool IsHex(const std::string& s) {
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

template <typename Record>
void ReadHidden(ObjectReader& r, Record& record) {
  const JsonValue* runs = r.Array("hidden", false);
  if (runs == nullptr) return;
  const Mask mask = FreeBytes(record);
  auto* bytes = reinterpret_cast<unsigned char*>(&record);
  const std::string path = Member(r.path(), "hidden");
  for (std::size_t i = 0; i < runs->items().size(); ++i) {
    const JsonValue& run = runs->items()[i];
    const std::string at = Index(path, i);
    std::size_t offset = 0;
    if (!run.IsArray() || run.items().size() != 2 || !run.items()[1].IsString()) {
      r.Problem(at, "must be [offset, \"HEX\"]");
      continue;
    }
    if (!r.ReadInt(run.items()[0], Index(at, 0), 0, static_cast<std::int64_t>(sizeof record) - 1, offset)) continue;
    const std::string& hex = run.items()[1].string();
    if (hex.empty() || hex.size() % 2 != 0 || !IsHex(hex)) {
      r.Problem(Index(at, 1), "must be pairs of hexadecimal digits");
      continue;
    }
    std::vector<unsigned char> data(hex.size() / 2);
    for (std::size_t j = 0; j < data.size(); ++j) data[j] = static_cast<unsigned char>(std::stoul(hex.substr(2 * j, 2), nullptr, 16));
    if (offset + data.size() > sizeof record) {
      r.Problem(at, "reaches past the end of the record");
      continue;
    }
    for (std::size_t j = 0; j < data.size(); ++j) {
      if (mask[offset + j]) bytes[offset + j] = data[j];
    }
  }
}

void ReadSlot(const JsonValue& v, const std::string& path, int button, sarn::ButtonSlot& s, Problems& problems) {
  std::memset(&s, 0, sizeof s);
  s.buttonIndex = static_cast<std::uint8_t>(button);
  ObjectReader r(&v, path, problems);
  if (!r.ok()) return;
  std::string text;
  (void)r.Int("function", 0, 255, s.functionCode);
  if (r.Text("setName", sizeof s.setName - 1, text)) StoreText(s.setName, text);
  if (r.Text("macroName", sizeof s.macroName - 1, text)) StoreText(s.macroName, text);
  (void)r.Int("loops", kI32Min, kI32Max, s.loops);
  std::size_t count = 0;
  if (ReadEvents(r, s.events, count, s.functionCode == sarn::kFnMacro)) s.count = static_cast<std::uint16_t>(count);
  (void)r.Int("timerValue", 0, UINT32_MAX, s.timerValue);
  if (r.Text("timerName", sizeof s.timerName - 1, text)) StoreText(s.timerName, text);
  if (r.Text("programPath", sizeof s.programPath - 1, text)) StoreText(s.programPath, text);
  ReadHidden(r, s);
}

struct IntRule {
  const char* key;
  std::int64_t min, max;
};
// The values the configuration window can give each field (fields nothing interprets take any integer).
constexpr IntRule kProfileRules[] = {
    {"DbleClickSpeed", 200, 900}, {"ScrollWheelSpeed", 1, 10}, {"ScrollWheelFlag", 0, 1},
    {"MouseSpeed", 1, 20},        {"Acceleration", 0, 19},     {"AccelerationFlag", 0, 1},
    {"TiltSpeed", 1, 10},         {"MediaOption", 0, 3},       {"HDDKeyboard", kI32Min, kI32Max},
    {"Orientation", 0, 1},        {"XYSynchronous", 0, 1},     {"Sensitivity_X", 1, 10},
    {"Sensitivity_Y", 1, 10},     {"Cpi_X", 1, 7},             {"Cpi_Y", 1, 7},
    {"XYCpiFlag", 0, 1},          {"PollingRate", 0, 3},       {"LightSwitch", 0, 1},
    {"LightType", 0, 1},          {"ColorFlag", 0, 1},         {"ColorOptions", 0, 6},
    {"ColorChangeMode", 0, 2},    {"BTOption", kI32Min, kI32Max},
};
// -1 is what a missing key reads as, and the monitor keeps it for a folder that never had the settings.
constexpr IntRule kSettingRules[] = {
    {"CurrentProfile", 0, 4}, {"WindowsProfile", -1, 4}, {"QuickHelpLan", -1, 16}, {"MouseType", kI32Min, kI32Max},
    {"SoundProfile", -1, 1},  {"SoundDpi", -1, 1},       {"SoundSens", -1, 1},    {"SoundVolume", -1, 4},
};

const IntRule* FindRule(std::span<const IntRule> rules, std::string_view key) {
  for (const IntRule& rule : rules) {
    if (key == rule.key) return &rule;
  }
  return nullptr;
}

// DPI level codes and the enable flag each belongs to.
int DpiFlagOfLevel(int code) {
  switch (code) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 2;
    case 7: return 3;
    default: return -1;
  }
}

void ReadProfile(const JsonValue& v, const std::string& path, int slot, sarn::ProfileRecord& p, Problems& problems) {
  std::memset(&p, 0, sizeof p);
  ObjectReader r(&v, path, problems);
  if (!r.ok()) return;
  std::string text;
  const auto keyText = [&](const char* name, char* field, std::size_t size) {
    const JsonValue* value = r.Take(name);
    if (value == nullptr || !r.ReadText(*value, Member(path, name), size - 1, text)) return;
    Problems local;
    CheckKeyText(value->string(), size - 1, Member(path, name), local);
    for (auto& problem : local) problems.push_back(std::move(problem));
    if (local.empty()) sarn::CopyTextField(field, size, text.c_str());
  };
  keyText("ProFileName", p.ProFileName, sizeof p.ProFileName);
  keyText("GameFile0", p.GameFile0, sizeof p.GameFile0);
  keyText("GameFile1", p.GameFile1, sizeof p.GameFile1);
  keyText("GameFile2", p.GameFile2, sizeof p.GameFile2);
  // Range checks come after reading (CheckProfile); here only the types and the 32-bit bounds.
  for (const auto& k : sarn::kIntsBeforeDpi) (void)r.Int(k.key, kI32Min, kI32Max, p.*k.field);
  if (const JsonValue* dpi = r.Array("dpi")) {
    if (dpi->items().size() != sarn::kDpiLevels) {
      r.Problem(Member(path, "dpi"), "must hold 6 flags");
    } else {
      for (int i = 0; i < sarn::kDpiLevels; ++i) {
        (void)r.ReadInt(dpi->items()[static_cast<std::size_t>(i)], Index(Member(path, "dpi"), static_cast<std::size_t>(i)), 0, 1, p.dpi[i]);
      }
    }
  }
  for (const auto& k : sarn::kIntsAfterDpi) (void)r.Int(k.key, kI32Min, kI32Max, p.*k.field);
  const JsonValue* buttons = r.Array("buttons");
  if (buttons != nullptr && buttons->items().size() != sarn::kButtonCount) {
    r.Problem(Member(path, "buttons"), "must hold 18 buttons");
  } else if (buttons != nullptr) {
    for (int b = 0; b < sarn::kButtonCount; ++b) {
      ReadSlot(buttons->items()[static_cast<std::size_t>(b)], Index(Member(path, "buttons"), static_cast<std::size_t>(b)), b,
               p.MacroKeyInfo[b], problems);
    }
  } else {
    for (int b = 0; b < sarn::kButtonCount; ++b) sarn::DefaultButtonSlot(p.MacroKeyInfo[b], b);
  }
  (void)slot;
}

void ReadLayoutMember(const JsonValue& v, const std::string& path, FileLayout& layout, const KeyList& own,
                      Problems& problems) {
  layout.present = true;
  if (!v.IsArray()) {
    problems.push_back(path + ": must be an array");
    return;
  }
  for (std::size_t i = 0; i < v.items().size(); ++i) {
    const JsonValue& e = v.items()[i];
    const std::string at = Index(path, i);
    const auto& items = e.items();
    if (!e.IsArray() || items.size() < 2 || items.size() > 3 || !items[0].IsString() || !items[1].IsString() ||
        (items.size() == 3 && !items[2].IsString() && !items[2].IsNull())) {
      problems.push_back(at + ": must be [section, key], [section, key, value] or [section, key, null]");
      continue;
    }
    FileLayout::Entry entry;
    entry.section = sarn::Utf8ToAnsi(items[0].string());
    entry.key = sarn::Utf8ToAnsi(items[1].string());
    const bool isOwn = Contains(own, entry.section, entry.key);
    if (items.size() == 3 && items[2].IsString()) {
      if (isOwn) {
        problems.push_back(at + ": " + items[1].string() + " is a key of the programs and takes no value here");
        continue;
      }
      entry.kind = FileLayout::Entry::Kind::kForeign;
      entry.value = sarn::Utf8ToAnsi(items[2].string());
      // The value must come back from the file as it stands.
      IniDocument probe;
      probe.SetString(entry.section, entry.key, entry.value);
      if (probe.RawValue(entry.section, entry.key) != entry.value || sarn::AnsiToUtf8(entry.value) != items[2].string()) {
        problems.push_back(Index(at, 2) + ": cannot be stored as a value of an INI file");
        continue;
      }
    } else {
      if (!isOwn) {
        problems.push_back(at + ": " + items[1].string() + " is no key of the programs; give its value");
        continue;
      }
      entry.kind = items.size() == 3 ? FileLayout::Entry::Kind::kOwnMissing : FileLayout::Entry::Kind::kOwn;
    }
    IniDocument probe;
    probe.SetString(entry.section, entry.key, "1");
    if (entry.section.empty() || entry.key.empty() || DocumentKeys(probe) != KeyList{{entry.section, entry.key}}) {
      problems.push_back(at + ": not a section and key name an INI file can hold");
      continue;
    }
    layout.entries.push_back(std::move(entry));
  }
}

}  // namespace

void CheckKeyText(const std::string& utf8, std::size_t maxBytes, const std::string& path, Problems& problems) {
  const std::string ansi = sarn::Utf8ToAnsi(utf8);
  if (utf8.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    problems.push_back(path + ": may not contain line ends or NUL");
    return;
  }
  if (sarn::AnsiToUtf8(ansi) != utf8) {
    problems.push_back(path + ": has characters the system code page cannot hold");
    return;
  }
  if (ansi.size() > maxBytes) {
    problems.push_back(path + ": is " + std::to_string(ansi.size()) + " bytes long; at most " + std::to_string(maxBytes) + " fit");
    return;
  }
  // Blanks at either end and surrounding quotes do not survive the file.
  IniDocument probe;
  probe.SetString("s", "k", ansi);
  if (probe.GetString("s", "k", "") != ansi) problems.push_back(path + ": would not read back as written (blanks at an end, or quotes around it)");
}

void CheckProfile(const sarn::ProfileRecord& p, const std::string& path, Problems& problems) {
  const auto check = [&](const char* key, std::int32_t value) {
    const IntRule* rule = FindRule(kProfileRules, key);
    if (rule != nullptr && (value < rule->min || value > rule->max)) {
      problems.push_back(Member(path, key) + ": " + std::to_string(value) + " is outside " + std::to_string(rule->min) +
                         ".." + std::to_string(rule->max));
    }
  };
  for (const auto& k : sarn::kIntsBeforeDpi) check(k.key, p.*k.field);
  for (const auto& k : sarn::kIntsAfterDpi) check(k.key, p.*k.field);
  for (int i = 0; i < sarn::kDpiLevels; ++i) {
    if (p.dpi[i] > 1) problems.push_back(Index(Member(path, "dpi"), static_cast<std::size_t>(i)) + ": must be 0 or 1");
  }
  for (const auto* axis : {"Cpi_X", "Cpi_Y"}) {
    const int code = std::string_view(axis) == "Cpi_X" ? p.Cpi_X : p.Cpi_Y;
    if (DpiFlagOfLevel(code) < 0) {
      problems.push_back(Member(path, axis) + ": " + std::to_string(code) + " is no DPI level (1, 2, 4 or 7)");
    }
  }
  // The current level cannot be switched off.
  const int flag = DpiFlagOfLevel(p.Cpi_X);
  if (flag >= 0 && p.dpi[flag] != 1) {
    problems.push_back(Member(path, "dpi") + ": the current DPI level (Cpi_X " + std::to_string(p.Cpi_X) + ") is switched off");
  }

  // Buttons: codes the slot may hold, and a shift layer as the layer rules leave it.
  const std::string buttons = Member(path, "buttons");
  const sarn::ButtonSlot* s = p.MacroKeyInfo;
  const bool shift5 = s[4].functionCode == sarn::kFnDuvex;
  const bool shift7 = s[6].functionCode == sarn::kFnDuvex;
  for (int b = 0; b < sarn::kButtonCount; ++b) {
    const sarn::ButtonSlot& slot = s[b];
    const std::string at = Member(Index(buttons, static_cast<std::size_t>(b)), "function");
    const std::uint8_t code = slot.functionCode;
    const std::string name = "B" + std::to_string(b + 1);
    if (b < 2) {
      if (code != sarn::DefaultButtonCodes[b]) {
        problems.push_back(at + ": " + name + " always keeps " + std::to_string(sarn::DefaultButtonCodes[b]));
      }
      continue;
    }
    if (b >= 9) {
      const bool off = (!shift5 && !shift7) || (b == 13 && shift5) || (b == 15 && shift7);
      if (off && code != sarn::kFnUnavailable) {
        problems.push_back(at + ": " + name + " must be 0 (unavailable) while " +
                           (b == 13 && shift5 ? "B5 holds Duvex[+]"
                            : b == 15 && shift7 ? "B7 holds Duvex[+]"
                                                : "neither B5 nor B7 holds Duvex[+]"));
        continue;
      }
      if (!off && code == sarn::kFnUnavailable) {
        problems.push_back(at + ": " + name + " cannot be 0 while its shift layer is on");
        continue;
      }
      if (off) continue;
    }
    // A slot may hold what the menu offers it and the codes the mouse may report but nobody assigns.
    const bool heldOnly = code == sarn::kFnDpiChange || code == sarn::kFnAssignSensitivity || code == sarn::kFnDisabledLegacy;
    if (!heldOnly && !sarn::CanAssign(p, b, code, false)) {
      problems.push_back(at + ": " + name + " cannot hold function " + std::to_string(code));
      continue;
    }
    const std::string slotPath = Index(buttons, static_cast<std::size_t>(b));
    if (code == sarn::kFnShortcut) {
      const std::uint8_t flags = slot.events[0].kind;
      if (slot.count != 1) {
        problems.push_back(Member(slotPath, "events") + ": a shortcut has exactly one step [key, modifiers, delay]");
      } else if (slot.events[0].key == 0) {
        problems.push_back(Member(slotPath, "events") + "[0][0]: a shortcut needs a key");
      } else if (flags == 0 || flags > 0x1F || ((flags & sarn::kModNone) && flags != sarn::kModNone)) {
        problems.push_back(Member(slotPath, "events") + "[0][1]: modifiers must be 1 (none) or Shift 2, Ctrl 4, Alt 8, Win 16 combined");
      }
    }
    if (code == sarn::kFnMacro && (slot.loops < 0 || slot.loops > 255)) {
      problems.push_back(Member(slotPath, "loops") + ": " + std::to_string(slot.loops) + " is outside 0..255");
    }
    if (code == sarn::kFnTimer) {
      if (slot.timerValue < sarn::kTimerMinValue || slot.timerValue > sarn::kTimerMaxValue) {
        problems.push_back(Member(slotPath, "timerValue") + ": a timer runs 10..999 seconds");
      }
      if (sarn::TrimName(std::string_view(slot.timerName, sarn::TextFieldLength(slot.timerName))).empty()) {
        problems.push_back(Member(slotPath, "timerName") + ": a timer needs a name");
      }
    }
    if (code == sarn::kFnLaunchProgram && slot.programPath[0] == '\0') {
      problems.push_back(Member(slotPath, "programPath") + ": a quick launch needs a program");
    }
  }
}

void CheckSettings(const sarn::SharedBlock& block, const std::string& path, Problems& problems) {
  for (const auto& k : sarn::kSettingInts) {
    const IntRule* rule = FindRule(kSettingRules, k.key);
    const std::int32_t value = block.*k.field;
    if (rule != nullptr && (value < rule->min || value > rule->max)) {
      problems.push_back(Member(path, k.key) + ": " + std::to_string(value) + " is outside " + std::to_string(rule->min) +
                         ".." + std::to_string(rule->max));
    }
  }
}

void ConfigurationFromJson(const JsonValue& document, Configuration& c, Problems& problems) {
  MissingReadValues(c);
  sarn::FreeMacroStore(c.macros);
  c.timers.timers.clear();
  ObjectReader root(&document, "", problems);
  if (!root.ok()) return;

  std::string format;
  if (const JsonValue* f = root.Take("format")) {
    if (!f->IsString() || f->string() != kDocumentFormat) {
      root.Problem("format", std::string("must be \"") + kDocumentFormat + "\"");
    }
  }
  int version = 0;
  if (root.Int("version", kI32Min, kI32Max, version) && version != kDocumentVersion) {
    root.Problem("version", "version " + std::to_string(version) + " is not known (this sarnctl reads version 1)");
    return;
  }

  {
    ObjectReader r(root.Take("settings"), "settings", problems);
    for (const auto& k : sarn::kSettingInts) (void)r.Int(k.key, kI32Min, kI32Max, c.block.get()->*k.field);
    (void)r.Int("FWVersion", kI32Min, kI32Max, c.firmwareVersion);
    if (r.ok()) CheckSettings(*c.block, "settings", problems);
  }

  {
    sarn::NotificationSettings& n = c.notification;
    std::memset(&n, 0, sizeof n);
    ObjectReader r(root.Take("notification"), "notification", problems);
    if (const JsonValue* options = r.Array("options")) {
      if (options->items().size() != 7) {
        r.Problem("notification.options", "must hold 7 integers");
      } else {
        for (std::size_t i = 0; i < 7; ++i) (void)r.ReadInt(options->items()[i], Index("notification.options", i), kI32Min, kI32Max, n.options[i]);
      }
    }
    std::string text;
    (void)r.Int("osdWordA", kI32Min, kI32Max, n.osdWordA);
    (void)r.Int("osdWordB", kI32Min, kI32Max, n.osdWordB);
    if (r.Text("mailServer", sizeof n.mailServer - 1, text)) StoreText(n.mailServer, text);
    (void)r.Int("mailPort", 0, 65535, n.mailPort);
    if (r.Text("mailUser", sizeof n.mailUser - 1, text)) StoreText(n.mailUser, text);
    // Optional: an export without secrets leaves it out, and the import then keeps the folder's.
    c.mailPasswordGiven = r.Take("mailPassword", false) != nullptr;
    if (c.mailPasswordGiven && r.Text("mailPassword", sizeof n.mailPassword - 1, text)) StoreText(n.mailPassword, text);
    (void)r.Int("checkInterval", kI32Min, kI32Max, n.checkInterval);
    ReadHidden(r, n);
  }

  if (const JsonValue* profiles = root.Array("profiles")) {
    if (profiles->items().size() != sarn::kProfileCount) {
      root.Problem("profiles", "must hold 5 profiles");
    } else {
      for (int p = 0; p < sarn::kProfileCount; ++p) {
        const std::string path = Index("profiles", static_cast<std::size_t>(p));
        const std::size_t before = problems.size();
        ReadProfile(profiles->items()[static_cast<std::size_t>(p)], path, p, c.block->profiles[p], problems);
        // Rules between fields only mean something once every field was read.
        if (problems.size() == before) CheckProfile(c.block->profiles[p], path, problems);
      }
    }
  }

  if (const JsonValue* sets = root.Array("macros")) {
    for (std::size_t i = 0; i < sets->items().size(); ++i) {
      const std::string path = Index("macros", i);
      ObjectReader r(&sets->items()[i], path, problems);
      if (!r.ok()) continue;
      auto set = std::make_unique<sarn::MacroSet>();
      std::string name;
      if (r.Text("name", sarn::kMacroSetNameMax, name) && !sarn::SetNameAllowed(c.macros, name)) {
        r.Problem(Member(path, "name"), "\"" + sets->items()[i].Find("name")->string() +
                                            "\" would share a file section with another set, or cannot be a section name");
      }
      set->name = name;
      if (const JsonValue* macros = r.Array("macros")) {
        for (std::size_t j = 0; j < macros->items().size(); ++j) {
          ObjectReader m(&macros->items()[j], Index(Member(path, "macros"), j), problems);
          auto record = sarn::NewMacroRecord();
          if (m.ok()) {
            std::string text;
            if (m.Text("name", sizeof record->name - 1, text)) StoreText(record->name, text);
            (void)m.Int("loops", 0, 255, record->loops);
            std::size_t count = 0;
            if (ReadEvents(m, record->events, count, true)) record->count = static_cast<std::uint32_t>(count);
            ReadHidden(m, *record);
          }
          set->macros.push_back(std::move(record));
        }
      }
      c.macros.sets.push_back(std::move(set));
    }
  }

  if (const JsonValue* timers = root.Array("timers")) {
    if (timers->items().size() > sarn::kMaxTimers) root.Problem("timers", "at most 50 timers");
    for (std::size_t i = 0; i < timers->items().size() && i < sarn::kMaxTimers; ++i) {
      const std::string path = Index("timers", i);
      ObjectReader r(&timers->items()[i], path, problems);
      sarn::TimerRecord t{};
      std::string name;
      if (r.Text("name", sizeof t.name - 1, name)) {
        StoreText(t.name, name);
        if (sarn::TrimName(name).empty()) r.Problem(Member(path, "name"), "a timer needs a name");
        else if (sarn::FindTimerByName(c.timers, name) >= 0) r.Problem(Member(path, "name"), "another timer has this name");
      }
      (void)r.Int("value", sarn::kTimerMinValue, sarn::kTimerMaxValue, t.value);
      ReadHidden(r, t);
      c.timers.timers.push_back(t);
    }
  }

  c.layoutKnown = false;
  if (const JsonValue* files = root.Take("files", false)) {
    c.layoutKnown = true;
    if (!files->IsObject()) {
      root.Problem("files", "must be an object");
      return;
    }
    const KeyList configOwn = OwnKeys([&c](IniDocument& d) { WriteConfigKeys(c, d); });
    const KeyList profileOwn = OwnKeys([&c](IniDocument& d) { sarn::WriteProfileDocument(c.block->profiles[0], d); });
    for (const auto& [name, value] : files->members()) {
      const std::string path = Member("files", "\"" + name + "\"");
      bool known = false;
      if (name == kConfigIniName) {
        ReadLayoutMember(value, path, c.configIni, configOwn, problems);
        known = true;
      }
      for (int p = 0; p < sarn::kProfileCount; ++p) {
        if (name == SlotFileName(p)) {
          ReadLayoutMember(value, path, c.slotFiles[p], profileOwn, problems);
          known = true;
        }
      }
      if (name == kMacroFileName || name == kTimerFileName) {
        known = true;
        if (!value.IsArray() || !value.items().empty()) problems.push_back(path + ": must be [] (the file is written whole)");
        (name == kMacroFileName ? c.macroFilePresent : c.timerFilePresent) = true;
      }
      if (!known) problems.push_back(path + ": not a file of the configuration");
    }
  }
}

// --- writing -------------------------------------------------------------------------------------------------

std::vector<FileContent> BuildConfigurationFiles(const Configuration& c, const std::filesystem::path& folder) {
  Configuration missing;
  MissingReadValues(missing);
  std::vector<FileContent> files;
  // A file the document says was absent is left out when it reads no differently missing, unless the folder
  // has one (which must then be replaced).
  const auto add = [&](const std::string& name, bool present, std::string bytes, const std::string& missingBytes) {
    const std::filesystem::path relative = sarn::AnsiPath(name);
    if (c.layoutKnown && !present && bytes == missingBytes && !Exists(folder / relative)) return;
    files.push_back({relative, std::move(bytes)});
  };

  const FileLayout empty;
  const auto configWriter = [&c](IniDocument& d) { WriteConfigKeys(c, d); };
  const auto configMissing = [&missing](IniDocument& d) { WriteConfigKeys(missing, d); };
  add(kConfigIniName, c.configIni.present, BuildIniFile(c.configIni, configWriter, configMissing),
      BuildIniFile(empty, configMissing, configMissing));
  for (int p = 0; p < sarn::kProfileCount; ++p) {
    const sarn::ProfileRecord& record = c.block->profiles[p];
    const sarn::ProfileRecord& fallback = missing.block->profiles[p];
    const auto writer = [&record](IniDocument& d) { sarn::WriteProfileDocument(record, d); };
    const auto missingWriter = [&fallback](IniDocument& d) { sarn::WriteProfileDocument(fallback, d); };
    add(SlotFileName(p), c.slotFiles[p].present, BuildIniFile(c.slotFiles[p], writer, missingWriter),
        BuildIniFile(empty, missingWriter, missingWriter));
  }
  add(kMacroFileName, c.macroFilePresent, sarn::SerializeMacroStore(c.macros), sarn::SerializeMacroStore(missing.macros));
  add(kTimerFileName, c.timerFilePresent, sarn::SerializeTimers(c.timers), sarn::SerializeTimers(missing.timers));
  return files;
}

void KeepFolderSecrets(Configuration& c, const sarn::NotificationSettings& current) {
  if (c.mailPasswordGiven) return;
  std::memcpy(c.notification.mailPassword, current.mailPassword, sizeof current.mailPassword);
}

bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  // On Windows a file that a reader, a viewer, a scanner or an indexer has open for a moment refuses the
  // rename; tried again for about a second, as the programs' own saves do, before the import gives up.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
  auto pause = std::chrono::milliseconds(5);
  for (;;) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    if (!ec) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(pause);
    if (pause < std::chrono::milliseconds(100)) pause *= 2;
  }
}

namespace {

// One file of an import on its way in: the new content and the old one, each already on disk beside it.
struct Staged {
  std::filesystem::path target, fresh, old;
  bool existed = false;
  bool replaced = false;
};

void RemoveQuietly(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
}

std::string Names(const std::vector<Staged>& staged, bool replaced) {
  std::string names;
  for (const Staged& s : staged) {
    if (s.replaced != replaced) continue;
    names += (names.empty() ? "" : ", ") + s.target.string();
  }
  return names.empty() ? "none" : names;
}

}  // namespace

bool WriteConfigurationFiles(const std::filesystem::path& folder, const std::vector<FileContent>& files,
                             std::string& error, const ReplaceFileFn& replace) {
  std::error_code ec;
  std::filesystem::create_directory(folder / "config", ec);
  // Each file's lock is held from the read of its old content to the end, so that no edit of the programs
  // falls between and is lost. The programs take one lock at a time, so holding several cannot deadlock.
  std::vector<std::unique_ptr<sarn::FileLock>> locks;
  std::vector<Staged> staged;
  const auto cleanUp = [&staged] {
    for (const Staged& s : staged) {
      RemoveQuietly(s.fresh);
      RemoveQuietly(s.old);
    }
  };
  for (const FileContent& f : files) {
    Staged s;
    s.target = folder / f.relative;
    s.fresh = s.target;
    s.fresh += ".import-new";
    s.old = s.target;
    s.old += ".import-old";
    locks.push_back(std::make_unique<sarn::FileLock>(s.target));
    s.existed = Exists(s.target);
    std::string oldBytes;
    staged.push_back(s);
    if (s.existed && !sarn::ReadWholeFile(s.target, oldBytes)) {
      cleanUp();
      error = "cannot read " + s.target.string() + " (held open by another program?): nothing was written";
      return false;
    }
    if (!sarn::detail::ReplaceFileBytes(s.fresh, f.bytes) ||
        (s.existed && !sarn::detail::ReplaceFileBytes(s.old, oldBytes))) {
      cleanUp();
      error = "cannot write beside " + s.target.string() + ": nothing was written";
      return false;
    }
  }

  for (Staged& s : staged) {
    if (replace(s.fresh, s.target)) {
      s.replaced = true;
      continue;
    }
    const std::string refused = s.target.string();
    // Put back what was replaced, newest first.
    bool restored = true;
    for (auto it = staged.rbegin(); it != staged.rend(); ++it) {
      if (!it->replaced) continue;
      const bool back = it->existed ? replace(it->old, it->target) : (std::filesystem::remove(it->target, ec), !ec);
      it->replaced = !back;
      restored = restored && back;
    }
    cleanUp();
    if (restored) {
      error = "cannot replace " + refused + " (held open by another program?): nothing was written";
    } else {
      error = "cannot replace " + refused + ", and the files replaced before it could not all be put back: new: " +
              Names(staged, true) + "; old: " + Names(staged, false);
    }
    return false;
  }
  cleanUp();
  // Content a refused save of the programs left waiting would otherwise be read in place of the new files.
  for (const Staged& s : staged) RemoveQuietly(sarn::PendingPath(s.target));
  return true;
}

}  // namespace sarnctl
