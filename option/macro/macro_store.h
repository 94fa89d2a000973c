// The configuration application's macro library: named sets of macros kept in config\Sarn_sequence.dat.
// A button that is given a macro carries its own copy in its ButtonSlot; the store is the library the user
// picks from and edits. PassEditedMacrosToButtons carries an edit from the store to the buttons that hold the
// macro, and MergeProfileMacros brings macros found on buttons back into the store.
#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/profile_record.h"

namespace sarn {

inline constexpr std::size_t kMacroSetNameMax = 199;  // bytes, without the terminator
inline constexpr const char* kMacroStoreSection = "SetMacro";
// Ceilings that only a damaged file reaches (see ReadMacroStoreDocument).
inline constexpr std::size_t kMacroStoreMaxSets = 10000;
inline constexpr std::size_t kMacroStoreMaxRecords = 20000;
inline constexpr std::size_t kMacroStoreMissingBudget = 1000;

struct MacroSet {
  std::string name;  // as entered (untrimmed); its file section uses the trimmed form
  std::vector<std::unique_ptr<MacroRecord>> macros;
};

struct MacroStore {
  std::vector<std::unique_ptr<MacroSet>> sets;
};

[[nodiscard]] std::filesystem::path MacroStorePath(const std::filesystem::path& programFolder);

// Replaces the store's content with the file's. 1 when the file was read, 0 when it could not be (the
// store is then empty).
[[nodiscard]] int LoadMacroStore(MacroStore& store, const std::filesystem::path& programFolder);
class IniDocument;
void ReadMacroStoreDocument(MacroStore& store, const IniDocument& doc);
// Parses store text (what LoadMacroStore does after reading the file).
void ParseMacroStore(MacroStore& store, std::string_view bytes);
// The whole store as file text.
[[nodiscard]] std::string SerializeMacroStore(const MacroStore& store);
// Replaces the file with the whole store at once. 1, or 0 when the file could not be written.
[[nodiscard]] int SaveMacroStore(const MacroStore& store, const std::filesystem::path& programFolder);
void FreeMacroStore(MacroStore& store);

[[nodiscard]] MacroSet* FindSetByIndex(MacroStore& store, int setIndex);
[[nodiscard]] const MacroSet* FindSetByIndex(const MacroStore& store, int setIndex);
[[nodiscard]] MacroRecord* FindMacroByIndex(MacroStore& store, int setIndex, int macroIndex);
[[nodiscard]] const MacroRecord* FindMacroByIndex(const MacroStore& store, int setIndex, int macroIndex);
[[nodiscard]] int FindSetByName(const MacroStore& store, std::string_view name);
[[nodiscard]] bool SetNameExists(const MacroStore& store, std::string_view name);

// Whether a set may take this name: not empty after trimming, not longer than the field, and not sharing a
// file section with another set (equal after trimming and ignoring case) or with the store's own section,
// and coming back from the file as it went in (no line ends, NULs or brackets that end a section name).
// `ignoreIndex` is the set being renamed, or -1.
[[nodiscard]] bool SetNameAllowed(const MacroStore& store, std::string_view name, int ignoreIndex = -1);
// Appends an empty set; its index, or -1 when the name is refused.
[[nodiscard]] int AddMacroSet(MacroStore& store, std::string_view name);

struct SlotMacroMatch {
  int setIndex = -1;
  int macroIndex = -1;
  bool identical = false;  // same count and the same first count steps; loops do not count
};
[[nodiscard]] SlotMacroMatch FindMacroForSlot(const MacroStore& store, const ButtonSlot& slot);
// Appends the slot's macro to a set (a new set named after the slot's set when setIndex is -1). The new
// macro's index, or -1 when the set is missing or a new set could not take the slot's set name.
int AddMacroFromSlot(MacroStore& store, const ButtonSlot& slot, int setIndex);
// Brings every macro assigned to a button of these profiles into the store. A macro the store lacks is
// added. When the store holds one of the same set and name with other steps, the stored record stays (it is
// what the user edited last: an edit reaches the buttons only with Apply) and the button's copy is added
// beside it under a name of its own ("Heal (2)"), unless the set already holds a macro with those steps.
void MergeProfileMacros(MacroStore& store, std::span<const ProfileRecord> profiles);

// After an editing session the user kept: every button of the five profiles whose set and macro names match
// a macro the session changed (`before` is the store as the session found it) takes the store's copy (loops,
// count, steps), and its change flag is set so that Apply writes it. Buttons whose macro was renamed or
// deleted keep their copy. The number of buttons changed.
int PassEditedMacrosToButtons(const MacroStore& before, const MacroStore& after, SharedBlock& block);

// A deep copy (a store owns its sets and records).
[[nodiscard]] MacroStore CopyMacroStore(const MacroStore& store);

// Gives a button a stored macro (function 48 and a copy of the record with its set's name); 1, or 0 when
// the set or macro does not exist.
[[nodiscard]] int CopyMacroToSlot(const MacroStore& store, int setIndex, int macroIndex, ButtonSlot& slot);
// Zeroes a slot's macro fields (set name, macro name, loops, count, steps).
void ClearSlotMacro(ButtonSlot& slot);

// A fresh record with the given name (cut to fit), zero elsewhere.
[[nodiscard]] std::unique_ptr<MacroRecord> NewMacroRecord(std::string_view name = {});

}  // namespace sarn
