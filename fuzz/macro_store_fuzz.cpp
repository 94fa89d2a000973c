// The macro-store loader on any bytes: bounded memory, terminated names, step counts within the steps, and a
// store whose set names are all acceptable comes back from its own file exactly.
//
// A few bytes of damaged counts make up to a thousand empty macros (each 4 KB of text in the file), and
// inputs like that took most of the campaign's time in writing and reading them back. The loader and its
// caps are checked on every input; the round trip on stores of up to kRoundTripRecords macros, which is every
// library a user keeps and still many times the per-record and per-set paths a bigger one would take again.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "common/name_match.h"
#include "option/macro/macro_store.h"

namespace {
constexpr std::size_t kRoundTripRecords = 256;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  sarn::MacroStore store;
  sarn::ParseMacroStore(store, bytes);
  if (store.sets.size() > sarn::kMacroStoreMaxSets) std::abort();
  std::size_t records = 0;
  bool namesAcceptable = true;
  sarn::MacroStore others;  // the sets before the one looked at, names only
  for (std::size_t i = 0; i < store.sets.size(); ++i) {
    const sarn::MacroSet& set = *store.sets[i];
    if (set.name.size() > sarn::kMacroSetNameMax) std::abort();
    records += set.macros.size();
    for (const auto& m : set.macros) {
      if (m->count > sarn::kMacroEventCapacity || m->name[sizeof m->name - 1] != 0) std::abort();
    }
    // The names a user could have given: what the store would accept if this set were added last.
    if (namesAcceptable) {
      if (!sarn::SetNameAllowed(others, set.name) || set.name != sarn::TrimName(set.name)) namesAcceptable = false;
      others.sets.push_back(std::make_unique<sarn::MacroSet>(sarn::MacroSet{set.name, {}}));
    }
  }
  if (records > sarn::kMacroStoreMaxRecords) std::abort();

  if (records <= kRoundTripRecords) {
    const std::string text = sarn::SerializeMacroStore(store);
    sarn::MacroStore back;
    sarn::ParseMacroStore(back, text);
    if (namesAcceptable) {
      if (back.sets.size() != store.sets.size()) std::abort();
      for (std::size_t i = 0; i < store.sets.size(); ++i) {
        if (back.sets[i]->name != store.sets[i]->name) std::abort();
        if (back.sets[i]->macros.size() != store.sets[i]->macros.size()) std::abort();
        for (std::size_t j = 0; j < store.sets[i]->macros.size(); ++j) {
          if (std::memcmp(back.sets[i]->macros[j].get(), store.sets[i]->macros[j].get(),
                          sizeof(sarn::MacroRecord)) != 0) {
            std::abort();
          }
        }
      }
      if (sarn::SerializeMacroStore(back) != text) std::abort();
    }
  }

  // The lookups and the merge on whatever was loaded.
  const sarn::MacroRecord* m = sarn::FindMacroByIndex(store, 0, 0);
  if (m != nullptr && store.sets[0]->name.size() < sizeof(sarn::ButtonSlot::setName)) {
    sarn::ButtonSlot slot{};
    if (sarn::CopyMacroToSlot(store, 0, 0, slot) != 1) std::abort();
    const sarn::SlotMacroMatch match = sarn::FindMacroForSlot(store, slot);
    if (match.setIndex < 0 || match.macroIndex < 0) std::abort();
    (void)m;
  }
  return 0;
}
