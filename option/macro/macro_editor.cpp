#include "option/macro/macro_editor.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/button_functions.h"
#include "common/keys.h"
#include "common/name_match.h"
#include "common/private_profile.h"
#include "common/profile_record.h"
#include "common/settings_file.h"
#include "common/text_encoding.h"

namespace sarn {
namespace {

int Count(const MacroRecord& macro) {
  return static_cast<int>(std::min<std::uint32_t>(macro.count, kMaxMacroSteps));
}

std::string_view NameOf(const MacroRecord& macro) { return {macro.name, TextFieldLength(macro.name)}; }

// A decimal number at the start of trimmed text, saturating instead of overflowing; a sign is allowed.
long long LeadingNumber(std::string_view text) {
  text = TrimName(text);
  bool negative = false;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = std::min<long long>(value * 10 + (text[i] - '0'), 1'000'000'000);
  }
  return negative ? -value : value;
}

}  // namespace

// --- Steps -----------------------------------------------------------------------------------------------

bool InsertStep(MacroRecord& macro, int index, MacroEvent step) {
  const int count = Count(macro);
  if (count >= kMaxMacroSteps) return false;
  if (index < 0 || index > count) index = count;
  std::memmove(&macro.events[index + 1], &macro.events[index],
               static_cast<std::size_t>(count - index) * sizeof(MacroEvent));
  macro.events[index] = step;
  macro.count = static_cast<std::uint32_t>(count + 1);
  return true;
}

void RemoveStep(MacroRecord& macro, int index) {
  const int count = Count(macro);
  if (index < 0 || index >= count) return;
  std::memmove(&macro.events[index], &macro.events[index + 1],
               static_cast<std::size_t>(count - index - 1) * sizeof(MacroEvent));
  macro.events[count - 1] = MacroEvent{};
  macro.count = static_cast<std::uint32_t>(count - 1);
}

void ClearSteps(MacroRecord& macro) {
  std::memset(macro.events, 0, sizeof macro.events);
  macro.count = 0;
}

std::vector<StepLine> BuildStepLines(const MacroRecord& macro, const KeyboardLayout& layout) {
  std::vector<StepLine> lines;
  const int count = Count(macro);
  for (int i = 0; i < count; ++i) {
    const MacroEvent& e = macro.events[i];
    const bool press = e.kind == kKindPress;
    const LineKind kind = e.key >= kMouseLeft ? LineKind::kMouse : press ? LineKind::kKeyPress : LineKind::kKeyRelease;
    lines.push_back({UsageName(e.key, layout) + (press ? " Press" : " Release"), i + 1, kind});
    if (e.delay != 0) lines.push_back({std::to_string(e.delay) + " ms", i + 1, LineKind::kDelay});
  }
  return lines;
}

bool InsertMouseEvent(MacroRecord& macro, int beforeStep, std::uint8_t button, MouseAction action) {
  const int count = Count(macro);
  if (beforeStep < 0 || beforeStep > count) beforeStep = count;
  if (action == MouseAction::kClick) {
    // A click is both halves or nothing: a lone press would leave the button held when the macro plays.
    if (count + 2 > kMaxMacroSteps) return false;
    (void)InsertStep(macro, beforeStep, {button, kKindPress, 0});
    return InsertStep(macro, beforeStep + 1, {button, kKindRelease, 0});
  }
  return InsertStep(macro, beforeStep, {button, action == MouseAction::kDown ? kKindPress : kKindRelease, 0});
}

int InsertDelay(MacroRecord& macro, int step) {
  if (step < 1 || step >= Count(macro)) return -1;
  MacroEvent& previous = macro.events[step - 1];
  if (previous.delay != 0) return -1;
  previous.delay = 1;
  return step - 1;
}

std::uint16_t DelayFromText(std::string_view text) {
  const long long value = LeadingNumber(text);
  if (value > 65534) return kMaxStepDelay;
  if (value <= 0) return 1;
  return static_cast<std::uint16_t>(value);
}

std::uint16_t PauseAfterLast(const MacroRecord& macro) {
  const int count = Count(macro);
  return count == 0 ? 0 : macro.events[count - 1].delay;
}

DelayTarget DelayTargetOf(const MacroRecord& macro, int step) {
  if (step < 0 || step >= Count(macro)) return {};
  return {&macro, step, macro.events[step]};
}

void DeleteLine(MacroRecord& macro, const StepLine& line) {
  const int index = line.step - 1;
  if (index < 0 || index >= Count(macro)) return;
  if (line.kind == LineKind::kDelay) {
    macro.events[index].delay = 0;
  } else {
    RemoveStep(macro, index);
  }
}

int LoopValueFromText(std::string_view text) {
  const long long value = LeadingNumber(text);
  if (value >= 256) return 255;
  if (value <= 0) return 1;
  return static_cast<int>(value);
}

LoopView LoopOf(const MacroRecord* macro) {
  if (macro == nullptr) return {false, 1};
  return {macro->loops != 0, macro->loops <= 0 ? 1 : std::min(macro->loops, 255)};
}

void SetLoops(MacroRecord& macro, bool on, int value) { macro.loops = on ? std::clamp(value, 1, 255) : 0; }

// --- Recorder --------------------------------------------------------------------------------------------

void MacroRecorder::Start(MacroRecord& macro, Place place, int step) {
  switch (place) {
    case Place::kAnew:
      ClearSteps(macro);
      insertion_ = -1;
      break;
    case Place::kBefore:
      insertion_ = step;
      break;
    case Place::kAfter:
      insertion_ = step < 0 ? -1 : step + 1;
      break;
    case Place::kAppend:
      insertion_ = -1;
      break;
  }
  if (insertion_ >= Count(macro)) insertion_ = -1;
  recording_ = true;
  havePrevious_ = false;
  haveLastEvent_ = false;
  lastStep_ = -1;
}

MacroRecorder::Result MacroRecorder::TakeKey(MacroRecord& macro, unsigned virtualKey, bool released,
                                             std::uint32_t timeMs, const KeyboardLayout& layout) {
  if (!recording_) return Result::kIgnored;
  // A held key repeats its press; only the first one is a step.
  if (haveLastEvent_ && virtualKey == lastKey_ && released == lastReleased_) return Result::kIgnored;
  const UsageLookup usage = VirtualKeyToUsage(virtualKey, layout);
  // Mouse buttons are inserted by hand, never taken from the keyboard (the table maps the virtual keys
  // 240..244 onto their codes).
  if (!usage.found || usage.usage >= kMouseLeft) return Result::kIgnored;

  const int count = Count(macro);
  if (havePrevious_ && delayOption_) {
    const int previous = insertion_ < 0 ? count - 1 : insertion_ - 1;
    if (previous >= 0 && previous < count) macro.events[previous].delay = GapSince(timeMs);
  }
  const MacroEvent step{usage.usage, released ? kKindRelease : kKindPress, 0};
  lastStep_ = insertion_ < 0 ? count : insertion_;
  if (!InsertStep(macro, insertion_, step)) {
    lastStep_ = -1;
  } else if (insertion_ >= 0) {
    ++insertion_;
  }
  lastTime_ = timeMs;
  havePrevious_ = true;
  haveLastEvent_ = true;
  lastKey_ = virtualKey;
  lastReleased_ = released;
  if (Count(macro) >= kMaxMacroSteps) {
    Stop();
    return Result::kLimitReached;
  }
  return Result::kTaken;
}

std::uint16_t MacroRecorder::GapSince(std::uint32_t timeMs) const {
  // Unsigned arithmetic keeps the gap right across the wrap of the 32-bit millisecond stamp.
  const std::uint32_t gap = timeMs - lastTime_;
  return static_cast<std::uint16_t>(std::min<std::uint32_t>(gap, kMaxStepDelay));
}

void MacroRecorder::Stop(MacroRecord& macro, std::uint32_t timeMs) {
  if (recording_ && havePrevious_ && delayOption_ && lastStep_ >= 0 && lastStep_ < Count(macro)) {
    macro.events[lastStep_].delay = GapSince(timeMs);
  }
  Stop();
}

void MacroRecorder::Stop() {
  recording_ = false;
  havePrevious_ = false;
  lastStep_ = -1;
  lastTime_ = 0;
}

// --- Manager ---------------------------------------------------------------------------------------------

MacroManager::MacroManager(MacroStore& store, Mode mode, int setIndex, const ButtonSlot& slot)
    : store_(store), slot_(slot) {
  if (store_.sets.empty() || mode == Mode::kCreate) return;
  const SlotMacroMatch match =
      slot_.functionCode == kFnMacro ? FindMacroForSlot(store_, slot_) : SlotMacroMatch{};
  SelectSet(match.setIndex >= 0 ? match.setIndex : setIndex);
}

MacroSet* MacroManager::set() { return FindSetByIndex(store_, set_); }
const MacroSet* MacroManager::set() const { return FindSetByIndex(store_, set_); }

std::string MacroManager::selectedSetName() const {
  const MacroSet* s = set();
  return s == nullptr ? std::string() : AnsiToUtf8(TrimName(s->name));
}

std::vector<std::string> MacroManager::MacroNames() const {
  std::vector<std::string> names;
  if (const MacroSet* s = set()) {
    for (const auto& m : s->macros) names.push_back(AnsiToUtf8(NameOf(*m)));
  }
  return names;
}

MacroRecord* MacroManager::selectedRecord() { return FindMacroByIndex(store_, set_, macro_); }

std::vector<SetMenuLine> MacroManager::SetMenu() const {
  std::vector<SetMenuLine> lines;
  const std::string_view slotSet(slot_.setName, TextFieldLength(slot_.setName));
  const int sets = static_cast<int>(store_.sets.size());
  for (int i = 0; i < sets; ++i) {
    const std::string& name = store_.sets[static_cast<std::size_t>(i)]->name;
    lines.push_back({SetMenuLine::Kind::kSet, i, AnsiToUtf8(TrimName(name)),
                     slot_.functionCode == kFnMacro && NamesMatch(name, slotSet)});
    // The sets that come with the program's presets are kept apart from the user's own.
    if (NamesMatch(name, "World of Warcraft") || (NamesMatch(name, "Xfire") && i + 1 < sets)) {
      lines.push_back({SetMenuLine::Kind::kSeparator, -1, {}, false});
    }
  }
  lines.push_back({SetMenuLine::Kind::kSeparator, -1, {}, false});
  lines.push_back({SetMenuLine::Kind::kAddSet, -1, "[+]Add Macro Set", false});
  lines.push_back({SetMenuLine::Kind::kDeleteSet, -1, "[x]Delete Macro Set", false});
  return lines;
}

void MacroManager::SelectSet(int setIndex) {
  set_ = FindSetByIndex(store_, setIndex) != nullptr ? setIndex : -1;
  macro_ = -1;
  const MacroSet* s = set();
  if (s == nullptr || s->macros.empty()) return;
  macro_ = 0;
  if (slot_.functionCode != kFnMacro || !NamesMatch(s->name, {slot_.setName, TextFieldLength(slot_.setName)})) return;
  const std::string_view slotMacro(slot_.macroName, TextFieldLength(slot_.macroName));
  for (std::size_t i = 0; i < s->macros.size(); ++i) {
    if (NamesMatch(NameOf(*s->macros[i]), slotMacro)) {
      macro_ = static_cast<int>(i);
      return;
    }
  }
}

void MacroManager::SelectMacro(int macroIndex) {
  macro_ = FindMacroByIndex(store_, set_, macroIndex) != nullptr ? macroIndex : -1;
}

bool MacroManager::AddSet(std::string_view name) {
  if (store_.sets.size() >= kMaxMacroSets) return false;
  const std::string_view trimmed = TrimName(name);
  if (trimmed.size() > kSetNameMaxBytes) return false;
  const int index = AddMacroSet(store_, trimmed);
  if (index < 0) return false;
  SelectSet(index);
  return true;
}

void MacroManager::DeleteSelectedSet() {
  if (set() == nullptr) return;
  store_.sets.erase(store_.sets.begin() + set_);
  const int sets = static_cast<int>(store_.sets.size());
  SelectSet(sets == 0 ? -1 : std::min(set_, sets - 1));
}

Notice MacroManager::NewMacroCheck(bool& allowed) const {
  const MacroSet* s = set();
  allowed = s != nullptr && s->macros.size() < kMaxMacrosPerSet;
  return s == nullptr ? Notice::kNoSet : Notice::kNone;
}

bool MacroManager::MacroNameTaken(std::string_view name, int ignoreIndex) const {
  const MacroSet* s = set();
  if (s == nullptr) return false;
  for (std::size_t i = 0; i < s->macros.size(); ++i) {
    if (static_cast<int>(i) != ignoreIndex && NamesMatch(NameOf(*s->macros[i]), name)) return true;
  }
  return false;
}

bool MacroManager::CreateMacro(std::string_view name) {
  MacroSet* s = set();
  name = TrimName(name);
  if (s == nullptr || s->macros.size() >= kMaxMacrosPerSet || name.empty() || MacroNameTaken(name, -1)) return false;
  s->macros.push_back(NewMacroRecord(name));
  macro_ = static_cast<int>(s->macros.size()) - 1;
  return true;
}

bool MacroManager::RenameMacro(int macroIndex, std::string_view name) {
  MacroRecord* record = FindMacroByIndex(store_, set_, macroIndex);
  name = TrimName(name);
  if (record == nullptr || name.empty() || MacroNameTaken(name, macroIndex)) return false;
  std::memset(record->name, 0, sizeof record->name);
  CopyTextField(record->name, std::string(name).c_str());
  return true;
}

Notice MacroManager::DeleteMacroCheck() const {
  return selectedRecordConst() == nullptr ? Notice::kNoMacroSelected : Notice::kNone;
}

void MacroManager::DeleteSelectedMacro() {
  MacroSet* s = set();
  if (s == nullptr || macro_ < 0 || macro_ >= static_cast<int>(s->macros.size())) return;
  s->macros.erase(s->macros.begin() + macro_);
  const int left = static_cast<int>(s->macros.size());
  macro_ = left == 0 ? -1 : std::min(macro_, left - 1);
}

Notice MacroManager::DeleteSetCheck() const { return set() == nullptr ? Notice::kNoSet : Notice::kNone; }

bool MacroManager::SetDelay(const DelayTarget& target, std::uint16_t delay) {
  for (const auto& s : store_.sets) {
    for (const auto& record : s->macros) {
      if (record.get() != target.macro) continue;
      if (target.step < 0 || target.step >= Count(*record)) return false;
      MacroEvent& e = record->events[target.step];
      // Steps may have moved under the editor (nothing in the window does that today, but a wrong step
      // would be worse than none).
      if (e.key != target.event.key || e.kind != target.event.kind) return false;
      e.delay = delay;
      return true;
    }
  }
  return false;
}

Notice MacroManager::EditorNotice() const {
  if (set() == nullptr) return Notice::kNoSet;
  return selectedRecordConst() == nullptr ? Notice::kNoMacro : Notice::kNone;
}

const MacroRecord* MacroManager::selectedRecordConst() const { return FindMacroByIndex(store_, set_, macro_); }

// --- The manager's own settings -------------------------------------------------------------------------

bool LoadRecordDelaysChoice(const std::filesystem::path& programFolder) {
  IniDocument doc;
  if (!LoadIniFile(SettingsFilePath(programFolder), doc)) return true;
  return doc.GetInt(kMacroManagerSection, kRecordDelaysKey, 1) != 0;
}

bool SaveRecordDelaysChoice(const std::filesystem::path& programFolder, bool on) {
  return EditIniFile(SettingsFilePath(programFolder),
                     [on](IniDocument& doc) { doc.SetInt(kMacroManagerSection, kRecordDelaysKey, on ? 1 : 0); });
}

}  // namespace sarn
