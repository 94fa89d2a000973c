#include "common/timer_list.h"

#include <cstring>
#include <string>

#include "common/name_match.h"
#include "common/private_profile.h"
#include "common/profile_record.h"

namespace sarn {

namespace {
constexpr const char* kSection = "Timer";
}  // namespace

std::filesystem::path TimerFilePath(const std::filesystem::path& programFolder) {
  return programFolder / "config" / "Timer.ini";
}

int LoadTimers(TimerList& list, const std::filesystem::path& programFolder) {
  list.timers.clear();
  IniDocument doc;
  if (!LoadIniFile(TimerFilePath(programFolder), doc)) return 0;
  ReadTimersDocument(list, doc);
  return 1;
}

void ReadTimersDocument(TimerList& list, const IniDocument& doc) {
  list.timers.clear();
  const int count = doc.GetInt(kSection, "Count", -1);
  for (int i = 0; i < count && list.timers.size() < kMaxTimers; ++i) {
    TimerRecord record{};
    (void)doc.GetStruct(kSection, std::to_string(i), &record, sizeof record);
    record.name[sizeof record.name - 1] = '\0';  // a name that fills the field is cut to fit
    list.timers.push_back(record);
  }
}

std::string SerializeTimers(const TimerList& list) {
  IniDocument doc;  // a fresh document: the file holds exactly these keys afterwards
  const std::size_t count = list.timers.size() < kMaxTimers ? list.timers.size() : kMaxTimers;
  doc.SetInt(kSection, "Count", static_cast<int>(count));
  for (std::size_t i = 0; i < count; ++i) {
    doc.SetStruct(kSection, std::to_string(i), &list.timers[i], sizeof(TimerRecord));
  }
  return doc.Serialize();
}

int SaveTimers(const TimerList& list, const std::filesystem::path& programFolder) {
  return WriteFileAtomic(TimerFilePath(programFolder), SerializeTimers(list)) ? 1 : 0;
}

int FindTimerByName(const TimerList& list, std::string_view name) {
  for (std::size_t i = 0; i < list.timers.size(); ++i) {
    const TimerRecord& t = list.timers[i];
    if (NamesMatch(std::string_view(t.name, TextFieldLength(t.name)), name)) return static_cast<int>(i);
  }
  return -1;
}

const TimerRecord* TimerAt(const TimerList& list, int position) {
  if (position < 0 || static_cast<std::size_t>(position) >= list.timers.size()) return nullptr;
  return &list.timers[static_cast<std::size_t>(position)];
}

TimerRecord* TimerAt(TimerList& list, int position) {
  if (position < 0 || static_cast<std::size_t>(position) >= list.timers.size()) return nullptr;
  return &list.timers[static_cast<std::size_t>(position)];
}

bool AddTimer(TimerList& list, std::string_view name, std::uint32_t value) {
  const std::string_view trimmed = TrimName(name);
  if (list.timers.size() >= kMaxTimers || trimmed.empty() || FindTimerByName(list, trimmed) >= 0) return false;
  TimerRecord record{};
  record.value = value;
  CopyTextField(record.name, std::string(trimmed).c_str());
  list.timers.push_back(record);
  return true;
}

}  // namespace sarn
