// The timer-list reader on any bytes: at most the firm number of records, every name terminated, and the list
// it read writes a file that reads back as the same records.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/private_profile.h"
#include "common/timer_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  sarn::TimerList list;
  sarn::ReadTimersDocument(list, sarn::IniDocument::Parse(bytes));
  if (list.timers.size() > sarn::kMaxTimers) std::abort();
  for (const auto& t : list.timers) {
    if (std::memchr(t.name, 0, sizeof t.name) == nullptr) std::abort();
  }

  sarn::TimerList back;
  sarn::ReadTimersDocument(back, sarn::IniDocument::Parse(sarn::SerializeTimers(list)));
  if (back.timers.size() != list.timers.size()) std::abort();
  for (std::size_t i = 0; i < list.timers.size(); ++i) {
    if (std::memcmp(&back.timers[i], &list.timers[i], sizeof(sarn::TimerRecord)) != 0) std::abort();
  }

  // The lookups the menus make on whatever was read.
  if (!list.timers.empty()) {
    const int found = sarn::FindTimerByName(list, list.timers[0].name);
    if (found > 0 && sarn::TimerAt(list, found) == nullptr) std::abort();
  }
  (void)sarn::TimerAt(list, static_cast<int>(size) - 1);
  return 0;
}
