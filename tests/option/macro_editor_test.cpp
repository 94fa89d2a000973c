#include "option/macro/macro_editor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "common/button_functions.h"

namespace sarn {
namespace {

constexpr unsigned kVkA = 'A', kVkB = 'B', kVkRightAlt = 0xA5;

using Step = std::tuple<int, int, int>;  // key, kind, delay

std::vector<Step> Steps(const MacroRecord& m) {
  std::vector<Step> out;
  for (std::uint32_t i = 0; i < m.count; ++i) out.emplace_back(m.events[i].key, m.events[i].kind, m.events[i].delay);
  return out;
}

// Entries past `count` must stay zero: the record is written to the file and the button whole.
bool TailIsZero(const MacroRecord& m) {
  for (int i = static_cast<int>(m.count); i < kMaxMacroSteps; ++i) {
    if (m.events[i].key != 0 || m.events[i].kind != 0 || m.events[i].delay != 0) return false;
  }
  return true;
}

std::unique_ptr<MacroRecord> MacroOf(const std::vector<Step>& steps) {
  auto m = NewMacroRecord("m");
  for (const auto& [key, kind, delay] : steps) {
    m->events[m->count++] = {static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(kind),
                             static_cast<std::uint16_t>(delay)};
  }
  return m;
}

class Recording : public ::testing::Test {
 protected:
  // Feeds (virtual key, released, time) in order; the result of the last one.
  MacroRecorder::Result Feed(std::initializer_list<std::tuple<unsigned, bool, std::uint32_t>> keys) {
    MacroRecorder::Result r = MacroRecorder::Result::kIgnored;
    for (const auto& [vk, up, t] : keys) r = recorder.TakeKey(*macro, vk, up, t, UsKeyboardLayout());
    return r;
  }
  std::unique_ptr<MacroRecord> macro = NewMacroRecord("m");
  MacroRecorder recorder;
};

TEST_F(Recording, GapsBecomeTheDelayOfThePreviousStep) {
  recorder.SetDelayOption(true);
  recorder.Start(*macro, MacroRecorder::Place::kAnew, -1);
  Feed({{kVkA, false, 10'000}, {kVkA, true, 10'037}, {kVkB, false, 10'080}, {kVkB, true, 10'121}});
  EXPECT_EQ(Steps(*macro), (std::vector<Step>{{4, 1, 37}, {4, 2, 43}, {5, 1, 41}, {5, 2, 0}}));
}

TEST_F(Recording, HeldKeyIsOnePressAndOneRelease) {
  recorder.SetDelayOption(true);
  recorder.Start(*macro, MacroRecorder::Place::kAnew, -1);
  EXPECT_EQ(Feed({{kVkA, false, 0}}), MacroRecorder::Result::kTaken);
  // Auto-repeat for two seconds.
  for (std::uint32_t t = 500; t < 2000; t += 33) {
    EXPECT_EQ(recorder.TakeKey(*macro, kVkA, false, t, UsKeyboardLayout()), MacroRecorder::Result::kIgnored);
  }
  Feed({{kVkA, true, 2000}});
  EXPECT_EQ(Steps(*macro), (std::vector<Step>{{4, 1, 2000}, {4, 2, 0}}));
}

TEST_F(Recording, DelayCappedAtSixteenBitsAndSafeAcrossTheStampWrap) {
  recorder.SetDelayOption(true);
  recorder.Start(*macro, MacroRecorder::Place::kAnew, -1);
  Feed({{kVkA, false, 1000}, {kVkA, true, 1000 + 65'535 + 4'000}, {kVkB, false, 0xFFFF'FF00u}, {kVkB, true, 0x100}});
  EXPECT_EQ(Steps(*macro)[0], Step(4, 1, 65535));
  // 0xFFFFFF00 -> 0x100 is 512 ms later, not four billion ms earlier.
  EXPECT_EQ(Steps(*macro)[2], Step(5, 1, 512));
}

// The last key waits until Stop: at the end of a macro that is the pause before it repeats. Without the
// delay option, and when the limit ended the recording, it stays 0.
TEST_F(Recording, StopGivesTheLastKeyTheTimeUntilStop) {
  recorder.SetDelayOption(true);
  recorder.Start(*macro, MacroRecorder::Place::kAnew, -1);
  Feed({{kVkA, false, 1000}, {kVkA, true, 1040}});
  recorder.Stop(*macro, 1340);
  EXPECT_EQ(Steps(*macro), (std::vector<Step>{{4, 1, 40}, {4, 2, 300}}));
  EXPECT_FALSE(recorder.recording());
  recorder.Stop(*macro, 9000);  // a second stop changes nothing
  EXPECT_EQ(macro->events[1].delay, 300);

  // Recorded into the middle: the last new key, not the macro's last step, waits until Stop.
  macro = MacroOf({{20, 1, 11}, {20, 2, 12}});
  recorder.Start(*macro, MacroRecorder::Place::kBefore, 1);
  Feed({{kVkB, false, 100}});
  recorder.Stop(*macro, 100 + 70'000);
  EXPECT_EQ(Steps(*macro), (std::vector<Step>{{20, 1, 11}, {5, 1, 65535}, {20, 2, 12}}));

  // Nothing recorded: the old last step keeps its pause.
  macro = MacroOf({{20, 1, 11}, {20, 2, 250}});
  recorder.Start(*macro, MacroRecorder::Place::kAppend, -1);
  recorder.Stop(*macro, 5000);
  EXPECT_EQ(macro->events[1].delay, 250);

  recorder.SetDelayOption(false);
  macro = NewMacroRecord("m");
  recorder.Start(*macro, MacroRecorder::Place::kAnew, -1);
  Feed({{kVkA, false, 0}});
  recorder.Stop(*macro, 500);
  EXPECT_EQ(macro->events[0].delay, 0);
}

TEST_F(Recording, DelayOptionOffRecordsNoTime) {
  recorder.Start(*macro, MacroRecorder::Place::kAnew, -1);
  Feed({{kVkA, false, 0}, {kVkA, true, 300}, {kVkB, false, 900}, {kVkB, true, 5000}});
  for (const auto& [key, kind, delay] : Steps(*macro)) EXPECT_EQ(delay, 0);
  EXPECT_EQ(macro->count, 4u);
}

TEST_F(Recording, SidedModifiersAndUnknownKeys) {
  recorder.Start(*macro, MacroRecorder::Place::kAnew, -1);
  Feed({{kVkRightAlt, false, 0}, {kVkRightAlt, true, 10}});
  // Generic Alt (18) has no row; 0xF0 maps onto a mouse code, which the keyboard must not record.
  Feed({{18, false, 20}, {0xF0, false, 30}});
  EXPECT_EQ(Steps(*macro), (std::vector<Step>{{230, 1, 0}, {230, 2, 0}}));
}

TEST_F(Recording, RecordBeforeInsertsInTypingOrderAtTheStep) {
  macro = MacroOf({{20, 1, 11}, {20, 2, 12}, {21, 1, 13}, {21, 2, 14}, {22, 1, 0}});
  recorder.SetDelayOption(true);
  recorder.Start(*macro, MacroRecorder::Place::kBefore, 2);
  Feed({{kVkA, false, 100}, {kVkA, true, 160}, {kVkB, false, 230}});
  // The old steps keep their delays (no time is known for them); the gaps land on the new keys; the
  // last new key waits 0 before the old third step.
  EXPECT_EQ(Steps(*macro), (std::vector<Step>{{20, 1, 11}, {20, 2, 12}, {4, 1, 60}, {4, 2, 70}, {5, 1, 0},
                                              {21, 1, 13}, {21, 2, 14}, {22, 1, 0}}));
  EXPECT_EQ(recorder.insertionIndex(), 5);
}

TEST_F(Recording, RecordAfterAndAppendAndAnew) {
  macro = MacroOf({{20, 1, 0}, {20, 2, 0}});
  recorder.Start(*macro, MacroRecorder::Place::kAfter, 0);
  Feed({{kVkA, false, 0}});
  recorder.Stop();
  recorder.Start(*macro, MacroRecorder::Place::kAppend, -1);
  Feed({{kVkB, false, 0}});
  EXPECT_EQ(Steps(*macro), (std::vector<Step>{{20, 1, 0}, {4, 1, 0}, {20, 2, 0}, {5, 1, 0}}));
  // After the last step is the end: the same as appending.
  recorder.Start(*macro, MacroRecorder::Place::kAfter, 3);
  EXPECT_EQ(recorder.insertionIndex(), -1);
  recorder.Start(*macro, MacroRecorder::Place::kAnew, -1);
  EXPECT_EQ(macro->count, 0u);
  EXPECT_TRUE(TailIsZero(*macro));
}

TEST_F(Recording, FiveHundredStepsEndTheRecording) {
  macro = MacroOf(std::vector<Step>(498, Step{20, 1, 0}));
  recorder.SetDelayOption(true);
  recorder.Start(*macro, MacroRecorder::Place::kAppend, -1);
  EXPECT_EQ(Feed({{kVkA, false, 0}}), MacroRecorder::Result::kTaken);
  EXPECT_EQ(Feed({{kVkA, true, 5}}), MacroRecorder::Result::kLimitReached);
  EXPECT_FALSE(recorder.recording());
  recorder.Stop(*macro, 900);  // the window's Stop after the limit: the recording already ended
  EXPECT_EQ(macro->events[499].delay, 0);
  EXPECT_EQ(Feed({{kVkB, false, 9}}), MacroRecorder::Result::kIgnored);
  EXPECT_EQ(macro->count, 500u);
}

// --- Step list ---------------------------------------------------------------------------------------------

TEST(StepList, LinesCarryTheirStepAndKind) {
  auto m = MacroOf({{4, 1, 100}, {4, 2, 0}, {240, 1, 7}});
  const std::vector<StepLine> lines = BuildStepLines(*m, UsKeyboardLayout());
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].text, "A Press");
  EXPECT_EQ(lines[1].text, "100 ms");
  EXPECT_EQ(lines[1].step, 1);
  EXPECT_EQ(lines[1].kind, LineKind::kDelay);
  EXPECT_EQ(lines[2].text, "A Release");
  EXPECT_EQ(lines[2].kind, LineKind::kKeyRelease);
  EXPECT_EQ(lines[3].text, "Left Button Press");
  EXPECT_EQ(lines[3].kind, LineKind::kMouse);
  EXPECT_EQ(lines[4].step, 3);
}

TEST(StepList, MouseEvents) {
  auto m = MacroOf({{4, 1, 0}, {4, 2, 0}});
  EXPECT_TRUE(InsertMouseEvent(*m, 1, kMouseMiddle, MouseAction::kClick));
  EXPECT_TRUE(InsertMouseEvent(*m, -1, kMouseRight, MouseAction::kUp));
  EXPECT_EQ(Steps(*m), (std::vector<Step>{{4, 1, 0}, {242, 1, 0}, {242, 2, 0}, {4, 2, 0}, {241, 2, 0}}));
  // A click takes two entries or none.
  auto full = MacroOf(std::vector<Step>(499, Step{4, 1, 0}));
  EXPECT_FALSE(InsertMouseEvent(*full, 0, kMouseLeft, MouseAction::kClick));
  EXPECT_TRUE(InsertMouseEvent(*full, 0, kMouseLeft, MouseAction::kDown));
  EXPECT_FALSE(InsertMouseEvent(*full, 0, kMouseLeft, MouseAction::kDown));
  EXPECT_EQ(full->count, 500u);
}

TEST(StepList, InsertEditAndDeleteDelays) {
  auto m = MacroOf({{4, 1, 0}, {4, 2, 30}, {5, 1, 0}});
  EXPECT_EQ(InsertDelay(*m, 0), -1);  // nothing before the first step
  EXPECT_EQ(InsertDelay(*m, 2), -1);  // the previous step already waits
  EXPECT_EQ(InsertDelay(*m, 1), 0);
  EXPECT_EQ(m->events[0].delay, 1);
  const std::vector<StepLine> lines = BuildStepLines(*m, UsKeyboardLayout());
  ASSERT_EQ(lines[1].text, "1 ms");
  DeleteLine(*m, lines[1]);  // the delay line: the delay goes, the step stays
  EXPECT_EQ(Steps(*m), (std::vector<Step>{{4, 1, 0}, {4, 2, 30}, {5, 1, 0}}));
  DeleteLine(*m, BuildStepLines(*m, UsKeyboardLayout())[0]);  // a step line: the step goes
  EXPECT_EQ(Steps(*m), (std::vector<Step>{{4, 2, 30}, {5, 1, 0}}));
  EXPECT_TRUE(TailIsZero(*m));
}

TEST(StepList, FieldTexts) {
  for (const auto& [text, delay] : std::vector<std::pair<std::string, int>>{
           {"250", 250}, {" 65534 ", 65534}, {"65535", 65535}, {"70000", 65535},
           {"99999999999999999999", 65535}, {"0", 1}, {"", 1}, {"-4", 1}}) {
    EXPECT_EQ(DelayFromText(text), delay) << text;
  }
  for (const auto& [text, loops] : std::vector<std::pair<std::string, int>>{
           {"999", 255}, {"256", 255}, {"255", 255}, {"0", 1}, {"", 1}, {" 7", 7}}) {
    EXPECT_EQ(LoopValueFromText(text), loops) << text;
  }
}

TEST(StepList, LoopOptionSurvivesItsOwnRecord) {
  auto m = NewMacroRecord("m");
  SetLoops(*m, true, 12);
  EXPECT_EQ(m->loops, 12);
  SetLoops(*m, false, 12);
  // Off must read back as off: a 1 here would turn the option on when the macro is shown again.
  EXPECT_FALSE(LoopOf(m.get()).on);
  m->loops = -3;
  EXPECT_EQ(LoopOf(m.get()).value, 1);
  EXPECT_FALSE(LoopOf(nullptr).on);
}

// --- Manager -----------------------------------------------------------------------------------------------

ButtonSlot SlotWith(const char* set, const char* macro) {
  ButtonSlot slot{};
  slot.functionCode = kFnMacro;
  CopyTextField(slot.setName, set);
  CopyTextField(slot.macroName, macro);
  return slot;
}

std::unique_ptr<MacroStore> StoreOf(const std::vector<std::pair<std::string, std::vector<std::string>>>& sets) {
  auto store = std::make_unique<MacroStore>();
  for (const auto& [name, macros] : sets) {
    auto set = std::make_unique<MacroSet>();
    set->name = name;
    for (const std::string& m : macros) set->macros.push_back(NewMacroRecord(m));
    store->sets.push_back(std::move(set));
  }
  return store;
}

TEST(Manager, SetNames) {
  MacroStore store;
  MacroManager manager(store, MacroManager::Mode::kCreate, -1, ButtonSlot{});
  EXPECT_TRUE(manager.wantsFirstSet());
  EXPECT_TRUE(manager.AddSet("  Raid \t"));
  EXPECT_EQ(store.sets[0]->name, "Raid");
  EXPECT_EQ(manager.selectedSet(), 0);
  EXPECT_FALSE(manager.AddSet("RAID"));     // same file section
  EXPECT_FALSE(manager.AddSet("setmacro"));  // the store's own section
  EXPECT_FALSE(manager.AddSet("   "));
  EXPECT_FALSE(manager.AddSet(std::string(50, 'n')));  // would be cut in a button slot
  EXPECT_TRUE(manager.AddSet(" " + std::string(49, 'n') + " "));
  while (store.sets.size() < 100) ASSERT_TRUE(manager.AddSet("s" + std::to_string(store.sets.size())));
  EXPECT_FALSE(manager.AddSet("one more"));
  EXPECT_EQ(store.sets.size(), 100u);
}

TEST(Manager, DeletingSetsMovesTheSelection) {
  auto store = StoreOf({{"a", {"x"}}, {"b", {}}, {"c", {"y", "z"}}});
  MacroManager manager(*store, MacroManager::Mode::kEdit, 1, ButtonSlot{});
  EXPECT_EQ(manager.selectedMacro(), -1);  // an empty set selects nothing
  manager.DeleteSelectedSet();
  EXPECT_EQ(manager.selectedSetName(), "c");
  EXPECT_EQ(manager.selectedMacro(), 0);
  manager.DeleteSelectedSet();
  EXPECT_EQ(manager.selectedSetName(), "a");
  manager.DeleteSelectedSet();
  EXPECT_EQ(manager.selectedSet(), -1);
  EXPECT_TRUE(manager.MacroNames().empty());
  EXPECT_EQ(manager.EditorNotice(), Notice::kNoSet);
}

TEST(Manager, MacroNames) {
  auto store = StoreOf({{"s", {"Fire"}}});
  MacroManager manager(*store, MacroManager::Mode::kEdit, 0, ButtonSlot{});
  bool allowed = false;
  EXPECT_EQ(manager.NewMacroCheck(allowed), Notice::kNone);
  EXPECT_TRUE(allowed);
  EXPECT_FALSE(manager.CreateMacro(" fIRE "));
  EXPECT_FALSE(manager.CreateMacro("  "));
  EXPECT_TRUE(manager.CreateMacro(" Heal "));
  EXPECT_EQ(manager.MacroNames(), (std::vector<std::string>{"Fire", "Heal"}));
  EXPECT_EQ(manager.selectedMacro(), 1);
  EXPECT_FALSE(manager.RenameMacro(1, "FIRE"));
  EXPECT_TRUE(manager.RenameMacro(1, "heal"));  // its own name in other case is fine
  EXPECT_EQ(manager.MacroNames()[1], "heal");
  manager.DeleteSelectedMacro();
  EXPECT_EQ(manager.selectedMacro(), 0);
  manager.DeleteSelectedMacro();
  EXPECT_EQ(manager.selectedMacro(), -1);
  EXPECT_EQ(manager.DeleteMacroCheck(), Notice::kNoMacroSelected);
  EXPECT_EQ(manager.EditorNotice(), Notice::kNoMacro);
  while (store->sets[0]->macros.size() < 100) store->sets[0]->macros.push_back(NewMacroRecord());
  (void)manager.NewMacroCheck(allowed);
  EXPECT_FALSE(allowed);
}

TEST(Manager, NoSetNotices) {
  auto store = StoreOf({{"s", {"m"}}});
  MacroManager manager(*store, MacroManager::Mode::kCreate, 0, ButtonSlot{});
  bool allowed = true;
  EXPECT_EQ(manager.selectedSet(), -1);  // create mode selects nothing
  EXPECT_EQ(manager.DeleteSetCheck(), Notice::kNoSet);
  manager.DeleteSelectedSet();
  EXPECT_EQ(store->sets.size(), 1u);
  EXPECT_EQ(manager.NewMacroCheck(allowed), Notice::kNoSet);
  EXPECT_FALSE(allowed);
  EXPECT_FALSE(manager.CreateMacro("n"));
  EXPECT_EQ(manager.EditorNotice(), Notice::kNoSet);
}

TEST(Manager, EditModePreselectsTheButtonsMacro) {
  auto store = StoreOf({{"a", {"x"}}, {"Mine", {"one", "two"}}});
  MacroManager manager(*store, MacroManager::Mode::kEdit, 0, SlotWith(" mine", "TWO "));
  EXPECT_EQ(manager.selectedSet(), 1);
  EXPECT_EQ(manager.selectedMacro(), 1);
  manager.SelectSet(0);
  EXPECT_EQ(manager.selectedMacro(), 0);
  // A macro that is gone: its set stays selected with its first macro.
  MacroManager gone(*store, MacroManager::Mode::kEdit, 0, SlotWith("Mine", "three"));
  EXPECT_EQ(gone.selectedSet(), 1);
  EXPECT_EQ(gone.selectedMacro(), 0);
  // A set that is gone: the set the caller named.
  MacroManager named(*store, MacroManager::Mode::kEdit, 0, SlotWith("other", "x"));
  EXPECT_EQ(named.selectedSet(), 0);
}

TEST(Manager, SetMenu) {
  auto store = StoreOf({{"World of Warcraft", {}}, {"xfire", {}}, {"Mine", {}}, {"Xfire", {}}});
  MacroManager manager(*store, MacroManager::Mode::kCreate, -1, SlotWith("MINE", "m"));
  std::vector<std::string> shape;
  for (const SetMenuLine& l : manager.SetMenu()) shape.push_back(l.kind == SetMenuLine::Kind::kSeparator ? "-" : (l.highlight ? "*" : "") + l.text);
  EXPECT_EQ(shape, (std::vector<std::string>{"World of Warcraft", "-", "xfire", "-", "*Mine", "Xfire", "-",
                                             "[+]Add Macro Set", "[x]Delete Macro Set"}));
}

// A delay editor is bound to the macro and step it was opened for: the value lands there even after the
// selection moved to another macro, and nowhere once that macro or step is gone.
TEST(Manager, DelayEditsGoToTheirOwnStepOrNowhere) {
  auto store = StoreOf({{"s", {"first", "second"}}});
  MacroRecord& first = *store->sets[0]->macros[0];
  MacroRecord& second = *store->sets[0]->macros[1];
  for (MacroRecord* m : {&first, &second}) {
    m->events[0] = {4, 1, 0};
    m->events[1] = {4, 2, 0};
    m->count = 2;
  }
  MacroManager manager(*store, MacroManager::Mode::kEdit, 0, ButtonSlot{});
  const DelayTarget last = DelayTargetOf(first, 1);  // the pause after the last step
  manager.SelectMacro(1);
  EXPECT_TRUE(manager.SetDelay(last, 300));
  EXPECT_EQ(PauseAfterLast(first), 300);
  EXPECT_EQ(PauseAfterLast(second), 0);

  const DelayTarget removedStep = DelayTargetOf(first, 1);
  RemoveStep(first, 1);
  EXPECT_FALSE(manager.SetDelay(removedStep, 50));
  const DelayTarget changedStep = DelayTargetOf(second, 0);
  second.events[0].key = 5;
  EXPECT_FALSE(manager.SetDelay(changedStep, 50));
  const DelayTarget deleted = DelayTargetOf(second, 1);
  manager.DeleteSelectedMacro();
  EXPECT_FALSE(manager.SetDelay(deleted, 50));
  EXPECT_FALSE(manager.SetDelay(DelayTargetOf(first, 7), 50));  // no such step: no target
  EXPECT_EQ(Steps(first), (std::vector<Step>{{4, 1, 0}}));
}

// "Record delays" is the user's last choice, kept beside the other keys of config.ini; a new user has it on.
TEST(Manager, RecordDelaysChoiceIsRemembered) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("sarn-record-delays-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(LoadRecordDelaysChoice(folder));  // no config.ini
  {
    std::ofstream ini(folder / "config.ini", std::ios::binary);
    ini << "[Setting]\r\nCurrentProfile=2\r\n";
  }
  EXPECT_TRUE(LoadRecordDelaysChoice(folder));  // no key
  ASSERT_TRUE(SaveRecordDelaysChoice(folder, false));
  EXPECT_FALSE(LoadRecordDelaysChoice(folder));
  ASSERT_TRUE(SaveRecordDelaysChoice(folder, true));
  EXPECT_TRUE(LoadRecordDelaysChoice(folder));
  std::string text;
  {
    std::ifstream in(folder / "config.ini", std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  EXPECT_NE(text.find("CurrentProfile=2"), std::string::npos);  // the other keys stay
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace sarn
