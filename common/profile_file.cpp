#include "common/profile_file.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "common/text_encoding.h"

namespace sarn {

namespace {

constexpr const char* kSection = "Setting";

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  const std::string_view text(field, TextFieldLength(field));
  // A reader drops blanks around a value and one pair of matching quotes, so a text that starts or ends with
  // a blank or is itself quoted would come back changed. Such a text goes into the file inside quotes, which
  // the reader removes again; any other text is written as it is, so ordinary files keep their bytes.
  const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1A'; };
  const bool quoted = text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0];
  // A line end in the text cuts it when written anyway; such a text is left to that cut.
  const bool lineEnd = text.find_first_of("\r\n") != std::string_view::npos;
  if (text.empty() || lineEnd || !(quoted || blank(text.front()) || blank(text.back()))) return std::string(text);
  return '"' + std::string(text) + '"';
}

void ReadText(const IniDocument& doc, const char* key, char* field, std::size_t size) {
  const std::string text = doc.GetString(kSection, key, "");
  CopyTextField(field, size, text.c_str());
}

std::string DpiKey(int i) { return "dpi" + std::to_string(i); }
std::string SlotKey(int b) { return "MacroKeyInfo" + std::to_string(b); }

bool SamePath(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  std::error_code ecA, ecB;
  const auto ca = std::filesystem::weakly_canonical(a, ecA);
  const auto cb = std::filesystem::weakly_canonical(b, ecB);
  return !ecA && !ecB && ca == cb;
}

bool IsSlotFileTitle(std::string_view title, int slot) {
  const std::string name = "default" + std::to_string(slot);
  if (title.size() != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = title[i] >= 'A' && title[i] <= 'Z' ? static_cast<char>(title[i] - 'A' + 'a') : title[i];
    if (c != name[i]) return false;
  }
  return true;
}

}  // namespace

std::filesystem::path SlotFilePath(const std::filesystem::path& programFolder, int slot) {
  return programFolder / "config" / ("Default" + std::to_string(slot) + ".zmp");
}

void DefaultButtonSlot(ButtonSlot& slot, int button) {
  std::memset(&slot, 0, sizeof slot);
  slot.buttonIndex = static_cast<std::uint8_t>(button);
  slot.functionCode = DefaultButtonCodes[button];
}

void SanitizeButtonSlot(ButtonSlot& slot) {
  slot.setName[sizeof slot.setName - 1] = '\0';
  slot.macroName[sizeof slot.macroName - 1] = '\0';
  slot.timerName[sizeof slot.timerName - 1] = '\0';
  slot.programPath[sizeof slot.programPath - 1] = '\0';
  if (slot.count > kMacroEventCapacity) slot.count = kMacroEventCapacity;
}

void WriteProfileDocument(const ProfileRecord& r, IniDocument& doc) {
  doc.SetString(kSection, "ProFileName", FieldText(r.ProFileName));
  doc.SetString(kSection, "GameFile0", FieldText(r.GameFile0));
  doc.SetString(kSection, "GameFile1", FieldText(r.GameFile1));
  doc.SetString(kSection, "GameFile2", FieldText(r.GameFile2));
  for (const ProfileIntKey& k : kIntsBeforeDpi) doc.SetInt(kSection, k.key, r.*k.field);
  for (int i = 0; i < kDpiLevels; ++i) doc.SetInt(kSection, DpiKey(i), r.dpi[i]);
  for (const ProfileIntKey& k : kIntsAfterDpi) doc.SetInt(kSection, k.key, r.*k.field);
  for (int b = 0; b < kButtonCount; ++b) doc.SetStruct(kSection, SlotKey(b), &r.MacroKeyInfo[b], sizeof(ButtonSlot));
}

void ReadProfileDocument(ProfileRecord& r, const IniDocument& doc) {
  ReadText(doc, "ProFileName", r.ProFileName, sizeof r.ProFileName);
  ReadText(doc, "GameFile0", r.GameFile0, sizeof r.GameFile0);
  ReadText(doc, "GameFile1", r.GameFile1, sizeof r.GameFile1);
  ReadText(doc, "GameFile2", r.GameFile2, sizeof r.GameFile2);
  for (const ProfileIntKey& k : kIntsBeforeDpi) r.*k.field = doc.GetInt(kSection, k.key, -1);
  for (int i = 0; i < kDpiLevels; ++i) r.dpi[i] = static_cast<std::uint8_t>(doc.GetInt(kSection, DpiKey(i), -1));
  for (const ProfileIntKey& k : kIntsAfterDpi) r.*k.field = doc.GetInt(kSection, k.key, -1);
  for (int b = 0; b < kButtonCount; ++b) {
    ButtonSlot scratch;
    // A missing or damaged value must not leave stale bytes in the slot: the button gets its factory default.
    if (doc.GetStruct(kSection, SlotKey(b), &scratch, sizeof scratch)) {
      SanitizeButtonSlot(scratch);
    } else {
      DefaultButtonSlot(scratch, b);
    }
    std::memcpy(&r.MacroKeyInfo[b], &scratch, sizeof scratch);
  }
}

bool IsProfileDocument(const IniDocument& doc) {
  static const char* const kTexts[] = {"ProFileName", "GameFile0", "GameFile1", "GameFile2"};
  for (const char* key : kTexts) {
    if (doc.HasKey(kSection, key)) return true;
  }
  for (const ProfileIntKey& k : kIntsBeforeDpi) {
    if (doc.HasKey(kSection, k.key)) return true;
  }
  for (const ProfileIntKey& k : kIntsAfterDpi) {
    if (doc.HasKey(kSection, k.key)) return true;
  }
  for (int i = 0; i < kDpiLevels; ++i) {
    if (doc.HasKey(kSection, DpiKey(i))) return true;
  }
  for (int b = 0; b < kButtonCount; ++b) {
    if (doc.HasKey(kSection, SlotKey(b))) return true;
  }
  return false;
}

int ReadProfileFile(ProfileRecord& record, const std::filesystem::path& path) {
  IniDocument doc;
  if (!LoadIniFile(path, doc)) return 0;
  ReadProfileDocument(record, doc);
  return 1;
}

int WriteProfileFile(const ProfileRecord& record, const std::filesystem::path& path) {
  // A missing file is created; keys of the file that are not ours stay.
  return EditIniFile(path, [&](IniDocument& doc) { WriteProfileDocument(record, doc); }) ? 1 : 0;
}

int WriteSlotFileName(const std::filesystem::path& programFolder, int slotNumber, std::string_view title) {
  const bool saved = EditIniFile(programFolder / "config.ini", [&](IniDocument& doc) {
    doc.SetString("FileName", "Profile" + std::to_string(slotNumber), title);
  });
  return saved ? 1 : 0;
}

std::string ProfileFileTitle(const std::filesystem::path& path) {
#if defined(_WIN32)
  std::string name = Utf8ToAnsi(WideToUtf8(path.filename().wstring()));
#else
  std::string name = path.filename().string();
#endif
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

int LoadProfileIntoSlot(SharedBlock& working, const std::filesystem::path& programFolder,
                        const std::filesystem::path& chosen) {
  const int s = working.CurrentProfile;
  if (s < 0 || s >= kProfileCount) return 0;
  // The newest saved content: a slot file whose last save is still pending reads as that save.
  std::string bytes;
  if (ReadNewestFile(chosen, bytes) != FileRead::kRead) return 0;
  const IniDocument doc = IniDocument::Parse(bytes);
  if (!IsProfileDocument(doc)) return -1;

  // Keep a copy beside the programs; the profile is read from the bytes already in hand, so a copy that
  // cannot be written (read-only folder, or the chosen file is that copy) changes nothing.
  const std::string title = ProfileFileTitle(chosen);
  const auto copy = programFolder / AnsiPath(title + ".zmp");
  if (!SamePath(chosen, copy)) (void)WriteFileAtomic(copy, bytes);

  ReadProfileDocument(working.profiles[s], doc);
  for (int b = 0; b < kButtonCount; ++b) working.ButtonChanged[s][b] = 1;
  return 1;
}

int SaveTakesSlotFile(const std::filesystem::path& programFolder, int slot, const std::filesystem::path& chosen) {
  const std::string title = ProfileFileTitle(chosen);
  const auto copy = programFolder / "config" / AnsiPath(title + ".zmp");
  for (int other = 0; other < kProfileCount; ++other) {
    if (other == slot) continue;
    const auto slotFile = SlotFilePath(programFolder, other);
    // The copy goes to config\<title>.zmp, and the file system ignores the case of names.
    if (IsSlotFileTitle(title, other) || SamePath(chosen, slotFile) || SamePath(copy, slotFile)) return other;
  }
  return -1;
}

int SaveSlotToProfileFile(const SharedBlock& working, const std::filesystem::path& programFolder,
                          const std::filesystem::path& chosen) {
  const int s = working.CurrentProfile;
  if (s < 0 || s >= kProfileCount) return 0;
  if (SaveTakesSlotFile(programFolder, s, chosen) >= 0) return -1;
  // A fresh document replaces the old file in one step: it ends up with exactly our keys, in order, and
  // is never missing in between.
  IniDocument doc;
  WriteProfileDocument(working.profiles[s], doc);
  if (!SaveIniFile(chosen, doc)) return 0;

  const std::string title = ProfileFileTitle(chosen);
  (void)WriteSlotFileName(programFolder, s + 1, title);
  const auto copy = programFolder / "config" / AnsiPath(title + ".zmp");
  if (!SamePath(chosen, copy)) (void)WriteFileAtomic(copy, doc.Serialize());
  return 1;
}

}  // namespace sarn
