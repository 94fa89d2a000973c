// Save and load of the macro library at its largest against a small one, in one run: the time per macro of
// each, and their ratio. A store whose cost grows with the number of macros already held (a key looked up by
// walking its section, a section by walking the file) shows a ratio far above 1; every Apply saves the store.
//   macro_store_bench [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "option/macro/macro_store.h"

namespace {

using namespace sarn;

MacroStore MakeStore(int sets, int macrosPerSet) {
  MacroStore store;
  for (int s = 0; s < sets; ++s) {
    auto set = std::make_unique<MacroSet>();
    set->name = "Set " + std::to_string(s);
    for (int m = 0; m < macrosPerSet; ++m) {
      auto record = std::make_unique<MacroRecord>();
      std::memset(record.get(), 0, sizeof(MacroRecord));
      std::snprintf(record->name, sizeof record->name, "Macro %d", m);
      record->count = 4;
      for (int e = 0; e < 4; ++e) record->events[e] = MacroEvent{static_cast<std::uint8_t>(0x41 + e), e % 2 ? kKindRelease : kKindPress, static_cast<std::uint16_t>(10 * (e + 1))};
      set->macros.push_back(std::move(record));
    }
    store.sets.push_back(std::move(set));
  }
  return store;
}

struct Cost {
  double save = 0, load = 0;  // microseconds per macro, best round
};

Cost Measure(int sets, int macrosPerSet, int rounds) {
  const MacroStore store = MakeStore(sets, macrosPerSet);
  const double macros = static_cast<double>(sets) * macrosPerSet;
  Cost best{1e300, 1e300};
  for (int r = 0; r < rounds; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    const std::string text = SerializeMacroStore(store);
    const auto t1 = std::chrono::steady_clock::now();
    MacroStore back;
    ParseMacroStore(back, text);
    const auto t2 = std::chrono::steady_clock::now();
    if (back.sets.size() != store.sets.size() || back.sets.back()->macros.size() != store.sets.back()->macros.size()) {
      std::fprintf(stderr, "the store did not read back\n");
      std::exit(1);
    }
    best.save = std::min(best.save, std::chrono::duration<double, std::micro>(t1 - t0).count() / macros);
    best.load = std::min(best.load, std::chrono::duration<double, std::micro>(t2 - t1).count() / macros);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  struct Case {
    const char* what;
    int sets, macros;
  };
  const Case baseline{"1 set of 200 macros (baseline)", 1, 200};
  const Case cases[] = {{"1 set of 20000 macros", 1, 20000}, {"10000 sets of 2 macros", 10000, 2},
                        {"200 sets of 100 macros", 200, 100}};
  const Cost base = Measure(baseline.sets, baseline.macros, rounds);
  std::printf("%-32s %14s %14s %10s %10s\n", "store", "save us/macro", "load us/macro", "save x", "load x");
  std::printf("%-32s %14.2f %14.2f %10.2f %10.2f\n", baseline.what, base.save, base.load, 1.0, 1.0);
  for (const Case& c : cases) {
    const Cost cost = Measure(c.sets, c.macros, rounds);
    std::printf("%-32s %14.2f %14.2f %10.2f %10.2f\n", c.what, cost.save, cost.load, cost.save / base.save,
                cost.load / base.load);
  }
  return 0;
}
