// The macro manager's logic without a window: the recorder that turns captured keys into steps, the step
// list and its commands, and the rules for sets and macros. Every edit acts on the store's record at once
// (all 500 steps and the count), so what the window shows is always what the store holds; the caller keeps
// (saves) or drops (reloads) the store when the manager closes.
//
// Time comes in with each key: the millisecond stamp of the keyboard event itself, so the gaps between keys
// do not depend on when the window got round to the message.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/keyboard_layout.h"
#include "common/profile_record.h"
#include "option/macro/macro_store.h"

namespace sarn {

inline constexpr int kMaxMacroSteps = kMacroEventCapacity;
inline constexpr int kMaxMacroSets = 100;
inline constexpr int kMaxMacrosPerSet = 100;
// A set name must fit a button slot's 50-byte field with its terminator: a longer one would be cut when the
// macro is assigned and could no longer be found (or would come back as a second set) when profiles merge.
inline constexpr std::size_t kSetNameMaxBytes = sizeof(ButtonSlot::setName) - 1;
inline constexpr int kMacroNameMaxChars = 24;
inline constexpr std::uint16_t kMaxStepDelay = 65535;

// --- Steps -----------------------------------------------------------------------------------------------

// Inserts a step at `index` (-1 or count: at the end); false when the macro holds 500 steps.
bool InsertStep(MacroRecord& macro, int index, MacroEvent step);
// Removes the step at `index`; the following steps move up and the freed entry is zeroed.
void RemoveStep(MacroRecord& macro, int index);
void ClearSteps(MacroRecord& macro);

enum class LineKind { kKeyPress, kKeyRelease, kMouse, kDelay };
struct StepLine {
  std::string text;  // UTF-8
  int step;          // 1-based number of the step the line belongs to
  LineKind kind;
};
// One line per step ("NAME Press" / "NAME Release"), followed by "N ms" when the step has a delay.
[[nodiscard]] std::vector<StepLine> BuildStepLines(const MacroRecord& macro, const KeyboardLayout& layout);

enum class MouseAction { kDown, kUp, kClick };
// Inserts a mouse button's press, release or both (a click needs two free entries) in front of step
// `beforeStep` (0-based; -1: at the end). False when nothing was inserted.
bool InsertMouseEvent(MacroRecord& macro, int beforeStep, std::uint8_t button, MouseAction action);
// "Insert Delay" on the line of step `step` (0-based): gives the previous step a delay of 1 ms when it has
// none. The index of the step that got it, or -1.
int InsertDelay(MacroRecord& macro, int step);
// What the in-place delay editor's text becomes: trimmed decimal, above 65534 is 65535, 0 or less is 1.
[[nodiscard]] std::uint16_t DelayFromText(std::string_view text);
// The pause after the last step: the last step's delay, which the player waits before the next loop (0 for
// an empty macro).
[[nodiscard]] std::uint16_t PauseAfterLast(const MacroRecord& macro);

// The step a delay editor was opened for, remembered by identity: the record (records of a store never
// move while they exist), the step's place and what the step was. The value typed goes there, wherever the
// selection has gone meanwhile, or nowhere when that step no longer exists.
struct DelayTarget {
  const MacroRecord* macro = nullptr;
  int step = -1;
  MacroEvent event{};
};
[[nodiscard]] DelayTarget DelayTargetOf(const MacroRecord& macro, int step);
// "Delete" on a line: a delay line clears the step's delay, a step line removes the step.
void DeleteLine(MacroRecord& macro, const StepLine& line);

// The loop field: trimmed decimal, 256 or more is 255, 0 or less is 1.
[[nodiscard]] int LoopValueFromText(std::string_view text);
struct LoopView {
  bool on;
  int value;  // 1..255
};
[[nodiscard]] LoopView LoopOf(const MacroRecord* macro);
// `loops` for the option and value: the value when on, 0 when off (0 is what marks the option off; the
// player plays such a macro once).
void SetLoops(MacroRecord& macro, bool on, int value);

// --- Recorder --------------------------------------------------------------------------------------------

// Recording into one macro: each captured key becomes a step at the insertion point, and the time since
// the previous key becomes that previous step's delay (when the delay option is on).
class MacroRecorder {
 public:
  // Where a recording puts its keys.
  enum class Place { kAnew, kBefore, kAfter, kAppend };
  // `step` is the 0-based step of the selected line for kBefore and kAfter (-1: append); kAnew empties
  // the macro first.
  void Start(MacroRecord& macro, Place place, int step);
  enum class Result { kIgnored, kTaken, kLimitReached };
  // A captured key: virtual key, release or press, and the event's millisecond stamp. kLimitReached means
  // the macro now holds 500 steps and the recording has ended.
  Result TakeKey(MacroRecord& macro, unsigned virtualKey, bool released, std::uint32_t timeMs,
                 const KeyboardLayout& layout);
  // Ends the recording at `timeMs` (the same clock as the keys'). With the delay option on, the last key
  // taken keeps the time until then as its delay (at most 65535 ms): recorded at the end of a macro, that
  // is the pause before the macro repeats.
  void Stop(MacroRecord& macro, std::uint32_t timeMs);
  // Ends the recording without touching the steps (the 500-step limit, a closing window).
  void Stop();

  [[nodiscard]] bool recording() const { return recording_; }
  [[nodiscard]] bool delayOption() const { return delayOption_; }
  void SetDelayOption(bool on) { delayOption_ = on; }
  [[nodiscard]] int insertionIndex() const { return insertion_; }

 private:
  [[nodiscard]] std::uint16_t GapSince(std::uint32_t timeMs) const;

  bool recording_ = false;
  bool delayOption_ = false;
  bool havePrevious_ = false;
  int insertion_ = -1;
  int lastStep_ = -1;  // where the last key taken went
  std::uint32_t lastTime_ = 0;
  bool haveLastEvent_ = false;
  unsigned lastKey_ = 0;
  bool lastReleased_ = false;
};

// --- Manager ---------------------------------------------------------------------------------------------

enum class Notice { kNone, kNoSet, kNoMacro, kNoMacroSelected };

struct SetMenuLine {
  enum class Kind { kSet, kSeparator, kAddSet, kDeleteSet } kind;
  int setIndex;      // for kSet
  std::string text;  // UTF-8
  bool highlight;    // the set of the edited button's macro
};

class MacroManager {
 public:
  enum class Mode { kCreate, kEdit };
  // `slot` is a copy of the button being edited (zero when none): its macro is preselected in edit mode
  // and its set highlighted in the set menu.
  MacroManager(MacroStore& store, Mode mode, int setIndex, const ButtonSlot& slot);

  // An empty store opens with the set-name dialog, as if "[+]Add Macro Set" had been chosen.
  [[nodiscard]] bool wantsFirstSet() const { return store_.sets.empty(); }

  [[nodiscard]] int selectedSet() const { return set_; }
  [[nodiscard]] int selectedMacro() const { return macro_; }
  [[nodiscard]] std::string selectedSetName() const;  // UTF-8, trimmed
  [[nodiscard]] std::vector<std::string> MacroNames() const;  // UTF-8
  [[nodiscard]] MacroRecord* selectedRecord();
  [[nodiscard]] std::vector<SetMenuLine> SetMenu() const;

  void SelectSet(int setIndex);
  void SelectMacro(int macroIndex);

  // The set-name dialog's text (stored text): added and selected when the trimmed name fits a button
  // slot, shares no file section and the store holds fewer than 100 sets.
  bool AddSet(std::string_view name);
  void DeleteSelectedSet();

  // BUTTON_New: kNoSet without a set; kNone when a new line may be opened (fewer than 100 macros),
  // `allowed` false when the set is full.
  [[nodiscard]] Notice NewMacroCheck(bool& allowed) const;
  // The new line's text when its editing ends: true when a macro was created (and selected); false when
  // the trimmed name is empty or another macro of the set has it.
  bool CreateMacro(std::string_view name);
  // An existing line renamed in place: false (and the old name stays) when the trimmed name is empty or
  // another macro has it.
  bool RenameMacro(int macroIndex, std::string_view name);
  [[nodiscard]] Notice DeleteMacroCheck() const;
  // "[x]Delete Macro Set": kNoSet without a selected set.
  [[nodiscard]] Notice DeleteSetCheck() const;
  void DeleteSelectedMacro();

  // What the editor views need before a command: kNoSet, kNoMacro, or kNone.
  [[nodiscard]] Notice EditorNotice() const;

  // Sets the delay of the step `target` names when that macro is still in the store and the step is still
  // there as it was; false (and nothing changes) otherwise.
  bool SetDelay(const DelayTarget& target, std::uint16_t delay);

 private:
  [[nodiscard]] MacroSet* set();
  [[nodiscard]] const MacroSet* set() const;
  [[nodiscard]] const MacroRecord* selectedRecordConst() const;
  [[nodiscard]] bool MacroNameTaken(std::string_view name, int ignoreIndex) const;

  MacroStore& store_;
  ButtonSlot slot_;
  int set_ = -1;
  int macro_ = -1;
};

// --- The manager's own settings -------------------------------------------------------------------------

// "Record delays" is remembered in config.ini (section "MacroManager", key "RecordDelays", 0 or 1) so that a
// recording keeps its delays unless the user switched them off; a missing or unreadable key means on.
inline constexpr const char* kMacroManagerSection = "MacroManager";
inline constexpr const char* kRecordDelaysKey = "RecordDelays";
[[nodiscard]] bool LoadRecordDelaysChoice(const std::filesystem::path& programFolder);
// False when config.ini could not be written (the choice then holds for this session only).
bool SaveRecordDelaysChoice(const std::filesystem::path& programFolder, bool on);

}  // namespace sarn
