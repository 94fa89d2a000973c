#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/name_match.h"
#include "common/private_profile.h"
#include "option/macro/macro_store.h"
#include "storage_test_support.h"

namespace sarn {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

std::unique_ptr<MacroRecord> Macro(const char* name, int count, int loops = 0) {
  auto m = NewMacroRecord(name);
  m->loops = loops;
  m->count = static_cast<std::uint32_t>(count);
  for (int i = 0; i < count; ++i) {
    m->events[i] = MacroEvent{static_cast<std::uint8_t>(4 + i), static_cast<std::uint8_t>(1 + i % 2),
                              static_cast<std::uint16_t>(10 * i)};
  }
  return m;
}

MacroSet& AddSet(MacroStore& store, const char* name) {
  const int index = AddMacroSet(store, name);
  EXPECT_GE(index, 0) << name;
  return *store.sets[static_cast<std::size_t>(index)];
}

ButtonSlot MacroSlot(const char* set, const char* macro, int count, int loops = 1) {
  ButtonSlot s;
  std::memset(&s, 0, sizeof s);
  s.functionCode = 48;
  std::strcpy(s.setName, set);
  std::strcpy(s.macroName, macro);
  s.loops = loops;
  s.count = static_cast<std::uint16_t>(count);
  for (int i = 0; i < count; ++i) s.events[i] = MacroEvent{static_cast<std::uint8_t>(4 + i), 1, 5};
  return s;
}

std::string Hex(const MacroRecord& m) { return test::HandHex(&m, sizeof m); }

TEST(MacroStoreFile, WrittenTextFollowsTheLayout) {
  MacroStore store;
  EXPECT_EQ(SerializeMacroStore(store), "[SetMacro]\r\nnumber=0\r\n");

  AddSet(store, "Games").macros.push_back(Macro("abc", 3));
  AddSet(store, "Empty");
  const std::string text = SerializeMacroStore(store);
  const std::string expected = "[SetMacro]\r\nnumber=2\r\n0=Games\r\n1=Empty\r\n[Games]\r\nnumber=1\r\n0=" +
                               Hex(*store.sets[0]->macros[0]) + "\r\n[Empty]\r\nnumber=0\r\n";
  EXPECT_EQ(text, expected);
  const std::string value = Hex(*store.sets[0]->macros[0]);
  ASSERT_EQ(value.size(), 4122u);
  // Three steps, then 497 zero steps, then the checksum.
  EXPECT_EQ(value.substr(120 + 24, 497 * 8), std::string(497 * 8, '0'));

  auto abc = NewMacroRecord("abc");
  EXPECT_EQ(Hex(*abc).substr(4120), "26");  // 0x61 + 0x62 + 0x63 = 0x126
}

TEST(MacroStoreFile, RoundTripThroughTheFile) {
  TempFolder folder;
  MacroStore store;
  MacroSet& a = AddSet(store, " Blanks around ");
  a.macros.push_back(Macro("one", 500, 7));
  a.macros.push_back(Macro("two", 0, -1));
  AddSet(store, std::string(199, 'x').c_str()).macros.push_back(Macro("long set", 2));
  AddSet(store, "\xC9t\xE9");
  ASSERT_EQ(SaveMacroStore(store, folder.path()), 1);

  MacroStore back;
  back.sets.push_back(std::make_unique<MacroSet>());  // loading replaces what was there
  ASSERT_EQ(LoadMacroStore(back, folder.path()), 1);
  ASSERT_EQ(back.sets.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    // Blanks around a value do not survive the text file; the set and its macros are found again.
    EXPECT_EQ(back.sets[i]->name, TrimName(store.sets[i]->name));
    ASSERT_EQ(back.sets[i]->macros.size(), store.sets[i]->macros.size());
    for (std::size_t j = 0; j < store.sets[i]->macros.size(); ++j) {
      EXPECT_EQ(std::memcmp(back.sets[i]->macros[j].get(), store.sets[i]->macros[j].get(), sizeof(MacroRecord)), 0);
    }
  }
  // The last step's delay (the pause before the macro repeats) is kept like any other.
  EXPECT_EQ(back.sets[0]->macros[0]->events[499].delay, 4990);
  // From the first load on, the store and its file reproduce each other.
  ASSERT_EQ(SaveMacroStore(back, folder.path()), 1);
  MacroStore again;
  ASSERT_EQ(LoadMacroStore(again, folder.path()), 1);
  EXPECT_EQ(SerializeMacroStore(again), ReadBytes(MacroStorePath(folder.path())));

  FreeMacroStore(back);
  EXPECT_TRUE(back.sets.empty());
  EXPECT_EQ(LoadMacroStore(back, folder / "absent"), 0);
  EXPECT_TRUE(back.sets.empty());
}

TEST(MacroStoreFile, DamagedContentLoadsByTheRules) {
  auto good = Macro("good", 2);
  const std::string goodHex = Hex(*good);
  const struct {
    const char* what;
    std::string text;
    std::vector<std::size_t> macrosPerSet;
  } cases[] = {
      {"no file content", "", {}},
      {"zero sets", "[SetMacro]\r\nnumber=0\r\n0=A\r\n", {}},
      {"negative sets", "[SetMacro]\r\nnumber=-4\r\n", {}},
      {"junk count", "[SetMacro]\r\nnumber=x\r\n", {}},
      {"set without number", "[SetMacro]\r\nnumber=1\r\n0=A\r\n[A]\r\n0=" + goodHex + "\r\n", {0}},
      {"missing set name gives an empty name", "[SetMacro]\r\nnumber=2\r\n0=A\r\n[A]\r\nnumber=1\r\n0=" + goodHex + "\r\n", {1, 0}},
      {"bad entries keep their place",
       "[SetMacro]\r\nnumber=1\r\n0=A\r\n[A]\r\nnumber=5\r\n0=" + goodHex.substr(0, 4120) + "\r\n1=" + goodHex +
           "\r\n2=" + goodHex.substr(0, 4120) + "FF\r\n3=nonsense\r\n",
       {5}},
      {"huge counts are bounded", "[SetMacro]\r\nnumber=2147483647\r\n0=A\r\n[A]\r\nnumber=2147483647\r\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MacroStore store;
    ParseMacroStore(store, c.text);
    if (std::string(c.what) == "huge counts are bounded") {
      EXPECT_LE(store.sets.size(), kMacroStoreMissingBudget + 1);
      std::size_t records = 0;
      for (const auto& s : store.sets) records += s->macros.size();
      EXPECT_LE(records, kMacroStoreMissingBudget);
      continue;
    }
    ASSERT_EQ(store.sets.size(), c.macrosPerSet.size());
    for (std::size_t i = 0; i < store.sets.size(); ++i) EXPECT_EQ(store.sets[i]->macros.size(), c.macrosPerSet[i]);
  }
  MacroStore store;
  ParseMacroStore(store, cases[6].text);
  const MacroRecord zero{};
  EXPECT_EQ(std::memcmp(FindMacroByIndex(store, 0, 0), &zero, sizeof zero), 0);
  EXPECT_EQ(std::memcmp(FindMacroByIndex(store, 0, 1), good.get(), sizeof zero), 0);
  EXPECT_EQ(std::memcmp(FindMacroByIndex(store, 0, 4), &zero, sizeof zero), 0);
}

TEST(MacroStoreFile, OverlongNamesAndCountsAreCut) {
  auto bad = Macro("x", 1);
  std::memset(bad->name, 'n', sizeof bad->name);
  bad->count = 100000;
  const std::string text = "[SetMacro]\r\nnumber=1\r\n0=" + std::string(300, 's') + "\r\n[" + std::string(199, 's') +
                           "]\r\nnumber=1\r\n0=" + Hex(*bad) + "\r\n";
  MacroStore store;
  ParseMacroStore(store, text);
  ASSERT_EQ(store.sets.size(), 1u);
  EXPECT_EQ(store.sets[0]->name.size(), 199u);
  ASSERT_EQ(store.sets[0]->macros.size(), 1u);
  EXPECT_EQ(std::strlen(store.sets[0]->macros[0]->name), 51u);
  EXPECT_EQ(store.sets[0]->macros[0]->count, 500u);
}

TEST(MacroSetNames, NamesThatWouldShareASectionAreRefused) {
  MacroStore store;
  ASSERT_EQ(AddMacroSet(store, "Games"), 0);
  const struct {
    const char* name;
    bool allowed;
  } cases[] = {
      {"games", false},    {"  GAMES\t", false}, {"SetMacro", false}, {" setmacro ", false}, {"two\nlines", false},
      {"", false},         {"   ", false},       {"Games2", true},    {"\xE9t\xE9", true},
  };
  for (const auto& c : cases) EXPECT_EQ(SetNameAllowed(store, c.name), c.allowed) << c.name;
  EXPECT_FALSE(SetNameAllowed(store, std::string(200, 'a')));
  EXPECT_TRUE(SetNameAllowed(store, "GAMES", 0));  // renaming a set to another case of its own name
  ASSERT_EQ(AddMacroSet(store, "\xE9t\xE9"), 1);
  EXPECT_EQ(AddMacroSet(store, "\xC9T\xC9"), -1);  // Windows-1252 letters fold too
  EXPECT_TRUE(SetNameExists(store, " \xC9t\xE9 "));
  EXPECT_FALSE(SetNameExists(store, "Game"));
  EXPECT_EQ(store.sets.size(), 2u);
}

TEST(MacroSlots, FindCopyClear) {
  MacroStore store;
  MacroSet& set = AddSet(store, "Fps");
  set.macros.push_back(Macro("reload", 4, 2));
  ButtonSlot slot;
  std::memset(&slot, 0xCC, sizeof slot);
  ASSERT_EQ(CopyMacroToSlot(store, 0, 0, slot), 1);
  EXPECT_EQ(slot.functionCode, 48);
  EXPECT_STREQ(slot.setName, "Fps");
  EXPECT_STREQ(slot.macroName, "reload");
  EXPECT_EQ(slot.loops, 2);
  EXPECT_EQ(slot.count, 4);
  EXPECT_EQ(std::memcmp(slot.events, set.macros[0]->events, sizeof slot.events), 0);
  EXPECT_EQ(slot.timerValue, 0xCCCCCCCCu);  // other fields untouched
  EXPECT_EQ(CopyMacroToSlot(store, 0, 1, slot), 0);

  SlotMacroMatch m = FindMacroForSlot(store, slot);
  EXPECT_EQ(m.setIndex, 0);
  EXPECT_EQ(m.macroIndex, 0);
  EXPECT_TRUE(m.identical);
  std::strcpy(slot.macroName, " RELOAD ");
  slot.loops = 9;  // loops do not count
  EXPECT_TRUE(FindMacroForSlot(store, slot).identical);
  slot.events[3].delay = 1;
  EXPECT_FALSE(FindMacroForSlot(store, slot).identical);
  std::strcpy(slot.macroName, "other");
  m = FindMacroForSlot(store, slot);
  EXPECT_EQ(m.setIndex, 0);
  EXPECT_EQ(m.macroIndex, -1);

  slot.macroName[50] = 'Q';
  ClearSlotMacro(slot);
  EXPECT_EQ(slot.setName[0], 0);
  EXPECT_EQ(slot.count, 0);
  EXPECT_EQ(slot.loops, 0);
  EXPECT_EQ(slot.events[3].delay, 0);
  EXPECT_EQ(slot.macroName[50], 'Q');  // only the first 50 name bytes
  EXPECT_EQ(slot.functionCode, 48);
}

TEST(MergeProfileMacros, AddsChangedAndNewMacrosOnce) {
  MacroStore store;
  AddSet(store, "Fps").macros.push_back(Macro("reload", 0));
  std::vector<ProfileRecord> profiles(2);
  for (int i = 0; i < 2; ++i) {
    std::memset(&profiles[static_cast<std::size_t>(i)], 0, sizeof(ProfileRecord));
    InitProfileDefaults(profiles[static_cast<std::size_t>(i)], i);
  }
  profiles[0].MacroKeyInfo[3] = MacroSlot("fps ", "Reload", 3);   // other steps: kept beside the record
  profiles[0].MacroKeyInfo[4] = MacroSlot("Fps", "jump", 1);      // new macro in an existing set
  profiles[1].MacroKeyInfo[5] = MacroSlot("Rts", "build", 2);     // new set
  profiles[1].MacroKeyInfo[6] = MacroSlot("Rts", "build", 2);     // same again: added once
  profiles[1].MacroKeyInfo[7] = MacroSlot("", "orphan", 2);       // no set name: skipped
  profiles[1].MacroKeyInfo[8] = MacroSlot("Other", "x", 2);
  profiles[1].MacroKeyInfo[8].functionCode = 5;                   // not a macro: skipped
  profiles[1].MacroKeyInfo[9] = MacroSlot("setmacro", "x", 2);    // a name the file cannot hold

  MergeProfileMacros(store, profiles);
  MergeProfileMacros(store, profiles);
  ASSERT_EQ(store.sets.size(), 2u);
  ASSERT_EQ(store.sets[0]->macros.size(), 3u);
  EXPECT_STREQ(store.sets[0]->macros[0]->name, "reload");  // the stored record stays as it was
  EXPECT_EQ(store.sets[0]->macros[0]->count, 0u);
  EXPECT_STREQ(store.sets[0]->macros[1]->name, "Reload (2)");  // the button's copy, once
  EXPECT_EQ(store.sets[0]->macros[1]->count, 3u);
  EXPECT_EQ(store.sets[0]->macros[1]->loops, 1);
  EXPECT_STREQ(store.sets[0]->macros[2]->name, "jump");
  EXPECT_EQ(store.sets[1]->name, "Rts");
  EXPECT_EQ(store.sets[1]->macros.size(), 1u);

  // A slot that differs only in loops leaves the stored record alone.
  profiles[0].MacroKeyInfo[3].loops = 42;
  profiles[0].MacroKeyInfo[3].count = 0;
  MergeProfileMacros(store, profiles);
  EXPECT_EQ(store.sets[0]->macros[0]->loops, 0);
  EXPECT_EQ(store.sets[0]->macros.size(), 3u);
}

// Two buttons with two other versions of one macro: each is kept under the next free name, and a name at the
// end of the field is cut before the number without splitting a double-byte character.
TEST(MergeProfileMacros, EveryDifferingCopyGetsANameThatFits) {
  MacroStore store;
  const std::string longName = "Heal" + std::string(42, 'x') + "\xD6\xD0";  // 48 bytes, ends in one GBK character
  MacroSet& set = AddSet(store, "WoW");
  set.macros.push_back(Macro("Heal", 4));
  set.macros.push_back(Macro("Heal (2)", 5));  // a name the user gave: taken
  set.macros.push_back(Macro(longName.c_str(), 4));
  std::vector<ProfileRecord> profiles(1);
  std::memset(profiles.data(), 0, sizeof(ProfileRecord));
  profiles[0].MacroKeyInfo[2] = MacroSlot("WoW", "Heal", 1);
  profiles[0].MacroKeyInfo[3] = MacroSlot("WoW", "heal", 2);
  profiles[0].MacroKeyInfo[4] = MacroSlot("WoW", "HEAL", 2);  // the same steps as B4: nothing more
  profiles[0].MacroKeyInfo[5] = MacroSlot("WoW", longName.c_str(), 3);
  MergeProfileMacros(store, profiles);
  MergeProfileMacros(store, profiles);
  ASSERT_EQ(set.macros.size(), 6u);
  EXPECT_EQ(set.macros[0]->count, 4u);
  EXPECT_STREQ(set.macros[3]->name, "Heal (3)");
  EXPECT_EQ(set.macros[3]->count, 1u);
  EXPECT_STREQ(set.macros[4]->name, "heal (4)");
  EXPECT_EQ(set.macros[4]->count, 2u);
  EXPECT_EQ(std::string(set.macros[5]->name), "Heal" + std::string(42, 'x') + " (2)");
  EXPECT_EQ(set.macros[5]->count, 3u);
}

ProfileRecord& Zeroed(ProfileRecord& p) {
  std::memset(&p, 0, sizeof p);
  return p;
}

// An edit kept with OK reaches every button of every profile that holds that macro, and only those.
TEST(PassEditedMacrosToButtons, EditedMacrosReachTheirButtonsFlagged) {
  MacroStore store;
  MacroSet& wow = AddSet(store, "WoW");
  wow.macros.push_back(Macro("Heal", 4, 1));
  wow.macros.push_back(Macro("Jump", 2));
  wow.macros.push_back(Macro("Gone", 2));
  AddSet(store, "Rts").macros.push_back(Macro("Heal", 4, 1));
  auto block = std::make_unique<SharedBlock>();
  std::memset(block.get(), 0, sizeof *block);
  for (auto& p : block->profiles) Zeroed(p);
  auto hold = [&](int profile, int button, int set, int macro) {
    ASSERT_EQ(CopyMacroToSlot(store, set, macro, block->profiles[profile].MacroKeyInfo[button]), 1);
  };
  hold(0, 2, 0, 0);  // WoW Heal on B3 of profiles 1 and 4
  hold(3, 2, 0, 0);
  hold(1, 2, 1, 0);  // Rts Heal: another set
  hold(2, 3, 0, 1);  // Jump, with another version loaded from a file: not edited, not replaced
  block->profiles[2].MacroKeyInfo[3].events[0].delay = 999;
  hold(4, 4, 0, 2);  // Gone: deleted in the manager, the button keeps what it plays
  const MacroStore before = CopyMacroStore(store);

  wow.macros[0]->events[1].delay = 777;
  wow.macros[0]->events[4] = MacroEvent{9, 1, 0};
  wow.macros[0]->count = 5;
  wow.macros[0]->loops = 3;
  wow.macros.erase(wow.macros.begin() + 2);
  EXPECT_EQ(PassEditedMacrosToButtons(before, store, *block), 2);
  for (int p : {0, 3}) {
    const ButtonSlot& slot = block->profiles[p].MacroKeyInfo[2];
    EXPECT_EQ(slot.count, 5) << p;
    EXPECT_EQ(slot.loops, 3) << p;
    EXPECT_EQ(slot.events[1].delay, 777) << p;
    EXPECT_EQ(slot.events[4].key, 9) << p;
    EXPECT_EQ(block->ButtonChanged[p][2], 1) << p;
  }
  EXPECT_EQ(block->profiles[1].MacroKeyInfo[2].count, 4);
  EXPECT_EQ(block->profiles[2].MacroKeyInfo[3].events[0].delay, 999);
  EXPECT_EQ(block->profiles[4].MacroKeyInfo[4].count, 2);
  int flagged = 0;
  for (const auto& profile : block->ButtonChanged) {
    for (const auto flag : profile) flagged += flag;
  }
  EXPECT_EQ(flagged, 2);

  // What a merge at the next start then finds: the edit stays; only the deleted macro (still on a button)
  // and the unedited other version of Jump come back.
  MergeProfileMacros(store, std::span<const ProfileRecord>(block->profiles, kProfileCount));
  ASSERT_EQ(wow.macros.size(), 4u);
  EXPECT_EQ(wow.macros[0]->count, 5u);
  EXPECT_EQ(wow.macros[0]->events[1].delay, 777);
  EXPECT_STREQ(wow.macros[2]->name, "Jump (2)");
  EXPECT_STREQ(wow.macros[3]->name, "Gone");

  // Only the loops changed: that is an edit too.
  const MacroStore again = CopyMacroStore(store);
  wow.macros[0]->loops = 7;
  EXPECT_EQ(PassEditedMacrosToButtons(again, store, *block), 2);
  EXPECT_EQ(block->profiles[3].MacroKeyInfo[2].loops, 7);
  EXPECT_EQ(PassEditedMacrosToButtons(CopyMacroStore(store), store, *block), 0);
}

}  // namespace
}  // namespace sarn
