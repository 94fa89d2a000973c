// The user's named countdowns, kept by the configuration application in config\Timer.ini. A button that is
// given a timer carries its own copy of the 104 bytes (ButtonSlot::timerValue and timerName).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace sarn {

class IniDocument;

struct TimerRecord {
  std::uint32_t value;  // seconds, 10..999
  char name[100];       // NUL-terminated, system code page
};
static_assert(sizeof(TimerRecord) == 104);

inline constexpr std::size_t kMaxTimers = 50;
inline constexpr int kTimerMinValue = 10;
inline constexpr int kTimerMaxValue = 999;

// Ordered list of at most kMaxTimers records; a position is a menu command offset, so the cap is firm.
struct TimerList {
  std::vector<TimerRecord> timers;
};

// config\Timer.ini under the program folder.
[[nodiscard]] std::filesystem::path TimerFilePath(const std::filesystem::path& programFolder);

// Replaces the list with the file's records (an empty list when the file is missing). A record that cannot
// be decoded is kept at its position as an all-zero record. Returns 1 when the file was read, 0 otherwise.
[[nodiscard]] int LoadTimers(TimerList& list, const std::filesystem::path& programFolder);
// The same from a document already read (the file's text, or any bytes parsed as one).
void ReadTimersDocument(TimerList& list, const IniDocument& document);
// The file text of a list: exactly "Count" and the records (at most kMaxTimers).
[[nodiscard]] std::string SerializeTimers(const TimerList& list);
// Writes exactly "Count" and the records, replacing the whole file at once. 1 on success, 0 on failure.
[[nodiscard]] int SaveTimers(const TimerList& list, const std::filesystem::path& programFolder);

// Position of the first timer whose name matches (trimmed, ignoring case), or -1.
[[nodiscard]] int FindTimerByName(const TimerList& list, std::string_view name);
// The record at a position, or nullptr.
[[nodiscard]] const TimerRecord* TimerAt(const TimerList& list, int position);
[[nodiscard]] TimerRecord* TimerAt(TimerList& list, int position);

// Appends a timer; false (and nothing changes) when the list is full or the name is empty or taken.
[[nodiscard]] bool AddTimer(TimerList& list, std::string_view name, std::uint32_t value);

}  // namespace sarn
