#include "option/macro/macro_store.h"

#include <cstring>

#include "common/name_match.h"
#include "common/private_profile.h"

namespace sarn {

namespace {

std::string_view SlotText(const char* field, std::size_t size) { return {field, TextFieldLength(field, size)}; }

std::string CutSetName(std::string_view name) {
  return std::string(name.substr(0, name.size() < kMacroSetNameMax ? name.size() : kMacroSetNameMax));
}

void SanitizeRecord(MacroRecord& record) {
  record.name[sizeof record.name - 1] = '\0';
  if (record.count > kMacroEventCapacity) record.count = kMacroEventCapacity;
}

}  // namespace

std::filesystem::path MacroStorePath(const std::filesystem::path& programFolder) {
  return programFolder / "config" / "Sarn_sequence.dat";
}

std::unique_ptr<MacroRecord> NewMacroRecord(std::string_view name) {
  auto record = std::make_unique<MacroRecord>();
  std::memset(record.get(), 0, sizeof(MacroRecord));
  CopyTextField(record->name, std::string(name).c_str());
  return record;
}

void FreeMacroStore(MacroStore& store) { store.sets.clear(); }

void ReadMacroStoreDocument(MacroStore& store, const IniDocument& doc) {
  FreeMacroStore(store);
  // Counts come from the file and may be junk: entries that are missing from the file are made up (as empty
  // sets or macros) only within a small budget, and the store as a whole has a ceiling far above any real
  // library, so a damaged count cannot exhaust memory.
  std::size_t missingBudget = kMacroStoreMissingBudget;
  const int setCount = doc.GetInt(kMacroStoreSection, "number", -1);
  for (int i = 0; i < setCount && store.sets.size() < kMacroStoreMaxSets; ++i) {
    const std::string key = std::to_string(i);
    if (!doc.HasKey(kMacroStoreSection, key)) {
      if (missingBudget == 0) break;
      --missingBudget;
    }
    auto set = std::make_unique<MacroSet>();
    set->name = CutSetName(doc.GetString(kMacroStoreSection, key, ""));
    store.sets.push_back(std::move(set));
  }
  std::size_t records = 0;
  for (auto& set : store.sets) {
    const std::string section(TrimName(set->name));
    const int macroCount = doc.GetInt(section, "number", -1);
    for (int j = 0; j < macroCount && records < kMacroStoreMaxRecords; ++j, ++records) {
      const std::string key = std::to_string(j);
      auto record = NewMacroRecord();
      // A damaged entry keeps its place as an empty macro so the indexes of the others do not move.
      if (!doc.GetStruct(section, key, record.get(), sizeof(MacroRecord))) {
        if (!doc.HasKey(section, key)) {
          if (missingBudget == 0) break;
          --missingBudget;
        }
        std::memset(record.get(), 0, sizeof(MacroRecord));
      }
      SanitizeRecord(*record);
      set->macros.push_back(std::move(record));
    }
  }
}

void ParseMacroStore(MacroStore& store, std::string_view bytes) {
  ReadMacroStoreDocument(store, IniDocument::Parse(bytes));
}

int LoadMacroStore(MacroStore& store, const std::filesystem::path& programFolder) {
  FreeMacroStore(store);
  IniDocument doc;
  if (!LoadIniFile(MacroStorePath(programFolder), doc)) return 0;
  ReadMacroStoreDocument(store, doc);
  return 1;
}

std::string SerializeMacroStore(const MacroStore& store) {
  IniDocument doc;
  doc.SetInt(kMacroStoreSection, "number", static_cast<int>(store.sets.size()));
  for (std::size_t i = 0; i < store.sets.size(); ++i) {
    doc.SetString(kMacroStoreSection, std::to_string(i), store.sets[i]->name);
  }
  for (const auto& set : store.sets) {
    const std::string section(TrimName(set->name));
    doc.SetInt(section, "number", static_cast<int>(set->macros.size()));
    for (std::size_t j = 0; j < set->macros.size(); ++j) {
      doc.SetStruct(section, std::to_string(j), set->macros[j].get(), sizeof(MacroRecord));
    }
  }
  return doc.Serialize();
}

int SaveMacroStore(const MacroStore& store, const std::filesystem::path& programFolder) {
  const std::string bytes = SerializeMacroStore(store);
  // A file that already holds the store is not written again (every Apply saves the store).
  std::string held;
  if (ReadNewestFile(MacroStorePath(programFolder), held) == FileRead::kRead && held == bytes) return 1;
  return WriteFileAtomic(MacroStorePath(programFolder), bytes) ? 1 : 0;
}

MacroSet* FindSetByIndex(MacroStore& store, int setIndex) {
  if (setIndex < 0 || static_cast<std::size_t>(setIndex) >= store.sets.size()) return nullptr;
  return store.sets[static_cast<std::size_t>(setIndex)].get();
}

const MacroSet* FindSetByIndex(const MacroStore& store, int setIndex) {
  return FindSetByIndex(const_cast<MacroStore&>(store), setIndex);
}

MacroRecord* FindMacroByIndex(MacroStore& store, int setIndex, int macroIndex) {
  MacroSet* set = FindSetByIndex(store, setIndex);
  if (set == nullptr || macroIndex < 0 || static_cast<std::size_t>(macroIndex) >= set->macros.size()) return nullptr;
  return set->macros[static_cast<std::size_t>(macroIndex)].get();
}

const MacroRecord* FindMacroByIndex(const MacroStore& store, int setIndex, int macroIndex) {
  return FindMacroByIndex(const_cast<MacroStore&>(store), setIndex, macroIndex);
}

int FindSetByName(const MacroStore& store, std::string_view name) {
  for (std::size_t i = 0; i < store.sets.size(); ++i) {
    if (NamesMatch(store.sets[i]->name, name)) return static_cast<int>(i);
  }
  return -1;
}

bool SetNameExists(const MacroStore& store, std::string_view name) { return FindSetByName(store, name) >= 0; }

namespace {
// Whether a name comes back from the file as it went in: as the value under "SetMacro" and as the name of its
// own section (blanks around it are not kept by the file, so they do not count here).
bool SurvivesTheFile(std::string_view name) {
  const std::string trimmed(TrimName(name));
  IniDocument doc;
  doc.SetString(kMacroStoreSection, "0", trimmed);
  doc.SetInt(trimmed, "number", 1);
  const IniDocument back = IniDocument::Parse(doc.Serialize());
  return back.GetString(kMacroStoreSection, "0", "") == trimmed && back.GetInt(trimmed, "number", -1) == 1 &&
         !NamesMatch(trimmed, kMacroStoreSection);
}
}  // namespace

bool SetNameAllowed(const MacroStore& store, std::string_view name, int ignoreIndex) {
  if (TrimName(name).empty() || name.size() > kMacroSetNameMax) return false;
  if (NamesMatch(name, kMacroStoreSection) || !SurvivesTheFile(name)) return false;
  for (std::size_t i = 0; i < store.sets.size(); ++i) {
    if (static_cast<int>(i) != ignoreIndex && NamesMatch(store.sets[i]->name, name)) return false;
  }
  return true;
}

int AddMacroSet(MacroStore& store, std::string_view name) {
  if (!SetNameAllowed(store, name)) return -1;
  auto set = std::make_unique<MacroSet>();
  set->name = std::string(name);
  store.sets.push_back(std::move(set));
  return static_cast<int>(store.sets.size()) - 1;
}

SlotMacroMatch FindMacroForSlot(const MacroStore& store, const ButtonSlot& slot) {
  SlotMacroMatch match;
  match.setIndex = FindSetByName(store, SlotText(slot.setName, sizeof slot.setName));
  if (match.setIndex < 0) return match;
  const MacroSet& set = *store.sets[static_cast<std::size_t>(match.setIndex)];
  const std::string_view macroName = SlotText(slot.macroName, sizeof slot.macroName);
  for (std::size_t j = 0; j < set.macros.size(); ++j) {
    const MacroRecord& record = *set.macros[j];
    if (!NamesMatch(SlotText(record.name, sizeof record.name), macroName)) continue;
    match.macroIndex = static_cast<int>(j);
    const std::size_t count = slot.count < kMacroEventCapacity ? slot.count : kMacroEventCapacity;
    match.identical = record.count == slot.count &&
                      std::memcmp(record.events, slot.events, count * sizeof(MacroEvent)) == 0;
    return match;
  }
  return match;
}

int AddMacroFromSlot(MacroStore& store, const ButtonSlot& slot, int setIndex) {
  if (setIndex == -1) setIndex = AddMacroSet(store, SlotText(slot.setName, sizeof slot.setName));
  MacroSet* set = FindSetByIndex(store, setIndex);
  if (set == nullptr) return -1;
  auto record = NewMacroRecord(SlotText(slot.macroName, sizeof slot.macroName));
  record->loops = slot.loops;
  record->count = slot.count < kMacroEventCapacity ? slot.count : kMacroEventCapacity;
  std::memcpy(record->events, slot.events, record->count * sizeof(MacroEvent));
  set->macros.push_back(std::move(record));
  return static_cast<int>(set->macros.size()) - 1;
}

namespace {

bool SameSteps(const MacroRecord& record, const ButtonSlot& slot) {
  const std::size_t count = slot.count < kMacroEventCapacity ? slot.count : kMacroEventCapacity;
  return record.count == slot.count && std::memcmp(record.events, slot.events, count * sizeof(MacroEvent)) == 0;
}

bool SameRecord(const MacroRecord& a, const MacroRecord& b) {
  const std::size_t count = a.count < kMacroEventCapacity ? a.count : kMacroEventCapacity;
  return a.loops == b.loops && a.count == b.count &&
         std::memcmp(a.events, b.events, count * sizeof(MacroEvent)) == 0;
}

// "NAME (n)" with the first n from 2 that no macro of the set has, cut to fit the record's name field. A cut
// name also loses a trailing run of bytes above 0x7F: that never splits a character of a double-byte code
// page or of UTF-8 (a lead byte left alone at the end would swallow the suffix's blank).
std::string DistinctMacroName(const MacroSet& set, std::string_view name) {
  name = TrimName(name);
  constexpr std::size_t kField = sizeof(MacroRecord::name) - 1;
  for (std::size_t n = 2;; ++n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    std::string base(name);
    if (base.size() + suffix.size() > kField) {
      base.resize(kField - suffix.size());
      while (!base.empty() && static_cast<unsigned char>(base.back()) > 0x7F) base.pop_back();
    }
    const std::string candidate = base + suffix;
    bool taken = false;
    for (const auto& record : set.macros) {
      if (NamesMatch(SlotText(record->name, sizeof record->name), candidate)) taken = true;
    }
    if (!taken) return candidate;
  }
}

}  // namespace

void MergeProfileMacros(MacroStore& store, std::span<const ProfileRecord> profiles) {
  for (const ProfileRecord& profile : profiles) {
    for (const ButtonSlot& slot : profile.MacroKeyInfo) {
      if (slot.functionCode != 48 || slot.setName[0] == '\0') continue;
      const SlotMacroMatch match = FindMacroForSlot(store, slot);
      if (match.setIndex < 0 || match.macroIndex < 0) {
        (void)AddMacroFromSlot(store, slot, match.setIndex);
        continue;
      }
      if (match.identical) continue;
      // Writing the button's copy over the stored record would undo an edit that was kept with OK but not
      // yet applied; dropping it would lose what the button plays. So both stay, the button's copy once.
      MacroSet& set = *store.sets[static_cast<std::size_t>(match.setIndex)];
      bool held = false;
      for (const auto& record : set.macros) held = held || SameSteps(*record, slot);
      if (held) continue;
      const std::string name = DistinctMacroName(set, SlotText(slot.macroName, sizeof slot.macroName));
      const int added = AddMacroFromSlot(store, slot, match.setIndex);
      if (added < 0) continue;
      MacroRecord& record = *set.macros[static_cast<std::size_t>(added)];
      std::memset(record.name, 0, sizeof record.name);
      CopyTextField(record.name, name.c_str());
    }
  }
}

int PassEditedMacrosToButtons(const MacroStore& before, const MacroStore& after, SharedBlock& block) {
  int changed = 0;
  for (int p = 0; p < kProfileCount; ++p) {
    for (int b = 0; b < kButtonCount; ++b) {
      ButtonSlot& slot = block.profiles[p].MacroKeyInfo[b];
      if (slot.functionCode != 48 || slot.setName[0] == '\0') continue;
      const SlotMacroMatch now = FindMacroForSlot(after, slot);
      const MacroRecord* record = FindMacroByIndex(after, now.setIndex, now.macroIndex);
      if (record == nullptr) continue;
      // Only what this session changed: a button may hold another copy of a macro the user did not touch
      // (a profile file loaded since the start), and that copy is not the store's to replace.
      const SlotMacroMatch was = FindMacroForSlot(before, slot);
      const MacroRecord* old = FindMacroByIndex(before, was.setIndex, was.macroIndex);
      if (old != nullptr && SameRecord(*old, *record)) continue;
      if (SameSteps(*record, slot) && slot.loops == record->loops) continue;
      slot.loops = record->loops;
      slot.count =
          static_cast<std::uint16_t>(record->count < kMacroEventCapacity ? record->count : kMacroEventCapacity);
      std::memcpy(slot.events, record->events, sizeof slot.events);
      block.ButtonChanged[p][b] = 1;
      ++changed;
    }
  }
  return changed;
}

MacroStore CopyMacroStore(const MacroStore& store) {
  MacroStore copy;
  for (const auto& set : store.sets) {
    auto s = std::make_unique<MacroSet>();
    s->name = set->name;
    for (const auto& record : set->macros) s->macros.push_back(std::make_unique<MacroRecord>(*record));
    copy.sets.push_back(std::move(s));
  }
  return copy;
}

int CopyMacroToSlot(const MacroStore& store, int setIndex, int macroIndex, ButtonSlot& slot) {
  const MacroSet* set = FindSetByIndex(store, setIndex);
  const MacroRecord* record = FindMacroByIndex(store, setIndex, macroIndex);
  if (set == nullptr || record == nullptr) return 0;
  slot.functionCode = 48;
  CopyTextField(slot.setName, set->name.c_str());
  std::memcpy(slot.macroName, record->name, sizeof slot.macroName);
  slot.macroName[sizeof slot.macroName - 1] = '\0';
  slot.loops = record->loops;
  slot.count = static_cast<std::uint16_t>(record->count < kMacroEventCapacity ? record->count : kMacroEventCapacity);
  std::memcpy(slot.events, record->events, sizeof slot.events);
  return 1;
}

void ClearSlotMacro(ButtonSlot& slot) {
  std::memset(slot.setName, 0, sizeof slot.setName);
  std::memset(slot.macroName, 0, 50);
  slot.loops = 0;
  slot.count = 0;
  std::memset(slot.events, 0, sizeof slot.events);
}

}  // namespace sarn
