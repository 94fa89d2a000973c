#include "option/button_page.h"

#include <algorithm>
#include <cstring>

#include "common/keys.h"
#include "common/name_match.h"
#include "common/text_encoding.h"

namespace sarn {
namespace {

constexpr int kB5 = 4;
constexpr int kB7 = 6;
constexpr int kBaseSlots = 9;

constexpr std::string_view kLabelLayouts[kButtonCount] = {
    "B1,32,41,159,19,",   "B2,32,63,159,19,",   "B3,32,85,159,19,",   "B4,32,107,159,19,",
    "B5,32,129,159,19,",  "B6,32,151,159,19,",  "B7,32,173,159,19,",  "B8,32,195,159,19,",
    "B9,32,217,159,19,",  "B10,423,41,159,19,", "B11,423,63,159,19,", "B12,423,85,159,19,",
    "B13,423,107,159,19,", "B14,423,129,159,19,", "B15,423,151,159,19,", "B16,423,173,159,19,",
    "B17,423,195,159,19,", "B18,423,217,159,19,"};

template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
  return {field, TextFieldLength(field)};
}

// Stored names compared as the menu marks them: whole, ignoring case.
bool SameNameIgnoringCase(std::string_view a, std::string_view b) { return FoldNameCase(a) == FoldNameCase(b); }

MenuEntry Command(unsigned command, std::string text, bool highlight = false) {
  MenuEntry e;
  e.command = command;
  e.text = std::move(text);
  e.highlight = highlight;
  return e;
}

MenuEntry Separator() {
  MenuEntry e;
  e.kind = MenuEntry::Kind::kSeparator;
  return e;
}

MenuEntry Submenu(std::string title, std::vector<MenuEntry> items, bool highlight = false) {
  MenuEntry e;
  e.kind = MenuEntry::Kind::kSubmenu;
  e.text = std::move(title);
  e.items = std::move(items);
  e.highlight = highlight;
  return e;
}

MenuEntry SetSubmenu(const MacroSet& set, int setIndex, const ButtonSlot& slot) {
  const bool marked = slot.functionCode == kFnMacro && SameNameIgnoringCase(FieldText(slot.setName), set.name);
  std::vector<MenuEntry> items;
  items.push_back(Command(kCmdFirstEditSet + static_cast<unsigned>(setIndex), "编辑宏..."));
  const int macros = std::min<int>(static_cast<int>(set.macros.size()), kMenuMaxMacrosPerSet);
  if (macros > 0) items.push_back(Separator());
  for (int m = 0; m < macros; ++m) {
    const MacroRecord& macro = *set.macros[static_cast<std::size_t>(m)];
    const std::string_view name = FieldText(macro.name);
    items.push_back(Command(kCmdFirstMacro + static_cast<unsigned>(100 * setIndex + m), AnsiToUtf8(name),
                            marked && SameNameIgnoringCase(name, FieldText(slot.macroName))));
  }
  return Submenu(AnsiToUtf8(TrimName(set.name)), std::move(items), marked);
}

MenuEntry MacroMenu(const MacroStore& store, const ButtonSlot& slot) {
  std::vector<MenuEntry> items;
  items.push_back(Command(kCmdNewMacro, "创建新宏..."));
  const int sets = std::min<int>(static_cast<int>(store.sets.size()), kMenuMaxSets);
  if (sets > 0) items.push_back(Separator());
  for (int s = 0; s < sets; ++s) {
    const MacroSet& set = *store.sets[static_cast<std::size_t>(s)];
    items.push_back(SetSubmenu(set, s, slot));
    // Sets that come with the program's presets are kept apart from the user's own.
    if (NamesMatch(set.name, "World of Warcraft") || (NamesMatch(set.name, "Xfire") && s + 1 < sets)) {
      items.push_back(Separator());
    }
  }
  return Submenu("宏 + 预设编辑", std::move(items));
}

MenuEntry TimerMenu(const TimerList& timers) {
  std::vector<MenuEntry> items = {Command(kCmdCreateTimer, "创建定时器"), Command(kCmdEditTimers, "编辑/删除定时器"),
                                  Command(kCmdStopTimer, "停止定时器")};
  const std::size_t shown = std::min(timers.timers.size(), kMaxTimers);
  if (shown > 0) items.push_back(Separator());
  for (std::size_t i = 0; i < shown; ++i) {
    items.push_back(Command(kCmdFirstTimer + static_cast<unsigned>(i), AnsiToUtf8(FieldText(timers.timers[i].name))));
  }
  return Submenu("指派定时器", std::move(items));
}

MenuEntry ShiftMenu(bool windowsXpFamily) {
  std::vector<MenuEntry> items = {Command(1024, "Duvex[+]"),        Separator(),
                                  Command(1025, "Tornel 灵敏度"),    Command(1026, "Tornel 配置文件"),
                                  Command(1027, "Tornel DPI"),       Command(1028, "Tornel 音量"),
                                  Command(1030, "Tornel Alt-Tab")};
  if (!windowsXpFamily) items.push_back(Command(1031, "Tornel Aero Flip 3D"));
  return Submenu("Duvex[+]", std::move(items));
}

std::size_t Utf8Characters(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

// --- Layout -----------------------------------------------------------------------------------------------

std::string_view ButtonLabelLayout(int slot) {
  if (slot < 0 || slot >= kButtonCount) return {};
  return kLabelLayouts[slot];
}

int LabelHelpTextNumber(int slot) { return slot < kBaseSlots ? 1038 : 1039; }

PageRect HighlightPictureRect(int index) {
  const int x = index < 18 ? 191 : 582;
  return {x, 40, x + 165, 236};
}

// --- Labels, pictures, orientation ------------------------------------------------------------------------

bool LabelInactive(int slot, std::uint8_t code) { return slot == 0 || slot == 1 || code == kFnUnavailable; }

bool OpensFunctionMenu(int slot, std::uint8_t code) {
  return slot >= 2 && slot < kButtonCount && code != kFnUnavailable;
}

int HighlightPicture(int slot, std::uint8_t codeB5, std::uint8_t codeB7, int orientation) {
  if (slot < 0 || slot >= kButtonCount) return -1;
  int picture = -1;
  if (slot < kBaseSlots) {
    picture = slot;
  } else if (codeB5 == kFnDuvex) {
    picture = codeB7 == kFnDuvex ? slot + 45 : slot + 9;
  } else if (codeB7 == kFnDuvex) {
    picture = slot + 27;
  }
  if (picture >= 0 && LeftHanded(orientation)) picture += 9;
  return picture;
}

int HighlightPicture(int slot, const ProfileRecord& profile) {
  return HighlightPicture(slot, profile.MacroKeyInfo[kB5].functionCode, profile.MacroKeyInfo[kB7].functionCode,
                          profile.Orientation);
}

HighlightContent HighlightPictureContent(int index) {
  HighlightContent c;
  if (index < 0 || index >= kHighlightPictureCount) return c;
  const int group = index / 18, within = index % 18;
  c.valid = true;
  c.mirrored = within >= kBaseSlots;
  c.shiftLayer = group > 0;
  c.heldB5 = group == 1 || group == 3;
  c.heldB7 = group == 2 || group == 3;
  c.markedInput = within % kBaseSlots;
  return c;
}

bool MenuReopenGuard::OnClick(int label) {
  if (label == lastOpened_ && label == underPointerAtClose_) {
    // This click is the one that closed the menu.
    lastOpened_ = -1;
    underPointerAtClose_ = -1;
    return false;
  }
  lastOpened_ = label;
  return true;
}

// --- Menu -------------------------------------------------------------------------------------------------

std::vector<MenuEntry> BuildFunctionMenu(int button, const ButtonSlot& slot, const MacroStore& macros,
                                         const TimerList& timers, bool windowsXpFamily) {
  std::vector<MenuEntry> menu;
  if (button == kB5 || button == kB7) menu.push_back(ShiftMenu(windowsXpFamily));
  menu.push_back(MacroMenu(macros, slot));
  menu.push_back(TimerMenu(timers));
  menu.push_back(Submenu("配置文件", {Command(1016, "配置文件循环"), Command(1017, "配置文件向上"),
                                    Command(1018, "配置文件向下")}));
  menu.push_back(Submenu("DPI 设置", {Command(1020, "DPI 循环"), Command(1021, "DPI 增大"), Command(1022, "DPI 减小")}));
  menu.push_back(Submenu("灵敏度", {Command(1041, "灵敏度循环"), Command(1042, "灵敏度提高"),
                                  Command(1043, "灵敏度降低")}));
  menu.push_back(Submenu("多媒体", {Command(1037, "Windows 静音"), Command(1038, "Windows 音量增大"),
                                  Command(1039, "Windows 音量减小"), Separator(), Command(kCmdChoosePlayer, "选择播放器"),
                                  Separator(), Command(1032, "打开播放器"), Command(1033, "上一曲"),
                                  Command(1034, "下一曲"), Command(1035, "播放/暂停"), Command(1036, "停止")}));
  menu.push_back(Separator());
  for (const auto& [command, text] : {std::pair<unsigned, const char*>{1001, "单击"}, {1002, "菜单"},
                                      {1003, "通用滚动"}, {1004, "双击"}, {kCmdShortcut, "指派快捷方式"},
                                      {1006, "已禁用"}, {1007, "IE 前进"}, {1008, "IE 后退"}, {1009, "左倾斜"},
                                      {1010, "右倾斜"}, {1013, "向上滚动"}, {1014, "向下滚动"},
                                      {kCmdProgram, "快速启动"}}) {
    menu.push_back(Command(command, text));
  }
  return menu;
}

int CommandCode(unsigned command) {
  if (command == kCmdShortcut || command == kCmdProgram) return -1;
  if (command >= 1001 && command <= 1011) return static_cast<int>(command - 1000);
  if (command == 1012) return kFnUnavailable;
  if (command >= 1013 && command <= 1022) return static_cast<int>(command - 1000);
  if (command >= 1024 && command <= 1028) return static_cast<int>(command - 1024 + kFnDuvex);
  if (command == 1029) return kFnDisabledLegacy;
  if (command == 1030 || command == 1031) return static_cast<int>(command - 1030 + kFnTornelAltTab);
  if (command >= 1032 && command <= 1039) return static_cast<int>(command - 1000);
  if (command >= 1041 && command <= 1043) return static_cast<int>(command - 1041 + kFnSensitivityCycle);
  if (command == kCmdStopTimer) return kFnStopTimer;
  return -1;
}

// --- Shortcut dialog --------------------------------------------------------------------------------------

ShortcutChoice ShortcutChoice::FromSlot(const ButtonSlot& slot) {
  ShortcutChoice c;
  c.key = slot.events[0].key;
  for (int i = 0; i < kShortcutCheckCount; ++i) c.checks[static_cast<std::size_t>(i)] = (slot.events[0].kind >> i) & 1;
  return c;
}

void ShortcutChoice::Toggle(int check) {
  if (check < 0 || check >= kShortcutCheckCount || !Enabled(check)) return;
  checks[static_cast<std::size_t>(check)] = !checks[static_cast<std::size_t>(check)];
}

bool ShortcutChoice::TakeKey(unsigned virtualKey, const KeyboardLayout& layout) {
  const UsageLookup found = VirtualKeyToUsage(virtualKey, layout);
  if (!found.found) return false;
  key = found.usage;
  return true;
}

std::uint8_t ShortcutChoice::Flags() const {
  if (checks[kCheckNone]) return kModNone;
  std::uint8_t flags = 0;
  for (int i = kCheckShift; i < kShortcutCheckCount; ++i) {
    if (checks[static_cast<std::size_t>(i)]) flags = static_cast<std::uint8_t>(flags | (1u << i));
  }
  return flags != 0 ? flags : kModNone;
}

// --- Media player -----------------------------------------------------------------------------------------

const char* MediaPlayerName(int value) {
  static const char* const kNames[kMediaPlayerCount] = {"Windows Media player", "iTunes", "VLC Media Player",
                                                        "Winamp"};
  return value >= 0 && value < kMediaPlayerCount ? kNames[value] : "";
}

int MediaPlayerFromCommand(unsigned command) {
  return command >= kCmdFirstPlayer + 1 && command < kCmdFirstPlayer + kMediaPlayerCount
             ? static_cast<int>(command - kCmdFirstPlayer)
             : 0;
}

// --- Timers -----------------------------------------------------------------------------------------------

int ClampTimerValue(int value) { return std::clamp(value, kTimerMinValue, kTimerMaxValue); }

bool TimerCreateAccepted(const TimerList& timers, std::string_view name) {
  const std::string_view trimmed = TrimName(name);
  if (trimmed.empty() || Utf8Characters(trimmed) > kTimerNameMaxChars) return false;
  if (timers.timers.size() >= kMaxTimers) return false;
  return FindTimerByName(timers, Utf8ToAnsi(trimmed)) < 0;
}

TimerListEditor::TimerListEditor(const TimerList& timers) : timers_(timers), current_(timers.timers.empty() ? -1 : 0) {}

std::string TimerListEditor::shownName() const {
  const TimerRecord* t = TimerAt(timers_, current_);
  return t != nullptr ? AnsiToUtf8(FieldText(t->name)) : std::string();
}

int TimerListEditor::shownValue() const {
  const TimerRecord* t = TimerAt(timers_, current_);
  return t != nullptr ? static_cast<int>(t->value) : kTimerListValueWhenEmpty;
}

void TimerListEditor::Select(int position) {
  if (TimerAt(timers_, position) != nullptr) current_ = position;
}

TimerListEditor::SaveResult TimerListEditor::Save(std::string_view name, int value) {
  TimerRecord* t = TimerAt(timers_, current_);
  if (t == nullptr) return SaveResult::kNoCurrent;
  const std::string stored = Utf8ToAnsi(TrimName(name));
  const int owner = FindTimerByName(timers_, stored);
  if (owner >= 0 && owner != current_) return SaveResult::kNameTaken;
  t->value = static_cast<std::uint32_t>(ClampTimerValue(value));
  if (owner == current_) return SaveResult::kValueChanged;
  std::memset(t->name, 0, sizeof t->name);
  CopyTextField(t->name, stored.c_str());
  return SaveResult::kRenamed;
}

bool TimerListEditor::Delete() {
  if (TimerAt(timers_, current_) == nullptr) return false;
  timers_.timers.erase(timers_.timers.begin() + current_);
  const int last = static_cast<int>(timers_.timers.size()) - 1;
  current_ = std::min(current_, last);
  return true;
}

// --- Files ------------------------------------------------------------------------------------------------

void FolderButtonPageFiles::SaveTimers(const TimerList& timers) { (void)sarn::SaveTimers(timers, folder_); }

void FolderButtonPageFiles::SaveMacroStore(const MacroStore& store) { (void)sarn::SaveMacroStore(store, folder_); }

void FolderButtonPageFiles::ReloadMacroStore(MacroStore& store) {
  FreeMacroStore(store);
  (void)LoadMacroStore(store, folder_);
}

// --- Page -------------------------------------------------------------------------------------------------

ButtonPage::ButtonPage(SharedBlock& working, MacroStore& macros, TimerList& timers, ButtonDialogs& dialogs,
                       ButtonPageFiles& files, const KeyboardLayout& layout)
    : working_(working), macros_(macros), timers_(timers), dialogs_(dialogs), files_(files), layout_(layout) {}

ProfileRecord* ButtonPage::profile() {
  const int p = working_.CurrentProfile;
  return p >= 0 && p < kProfileCount ? &working_.profiles[p] : nullptr;
}

const ProfileRecord* ButtonPage::profile() const {
  const int p = working_.CurrentProfile;
  return p >= 0 && p < kProfileCount ? &working_.profiles[p] : nullptr;
}

ButtonPage::LabelView ButtonPage::Label(int slot) const {
  const ProfileRecord* p = profile();
  if (p == nullptr || slot < 0 || slot >= kButtonCount) return {};
  const ButtonSlot& s = p->MacroKeyInfo[slot];
  return {FunctionLabel(s, layout_), LabelInactive(slot, s.functionCode)};
}

int ButtonPage::Highlight(int slot) const {
  const ProfileRecord* p = profile();
  return p != nullptr ? HighlightPicture(slot, *p) : -1;
}

bool ButtonPage::leftHanded() const {
  const ProfileRecord* p = profile();
  return p != nullptr && LeftHanded(p->Orientation);
}

bool ButtonPage::ClickLabel(int slot) {
  const ProfileRecord* p = profile();
  if (p == nullptr || slot < 0 || slot >= kButtonCount) return false;
  if (!OpensFunctionMenu(slot, p->MacroKeyInfo[slot].functionCode)) return false;
  if (!guard_.OnClick(slot)) return false;
  currentButton_ = slot;
  openedSlot_ = p->MacroKeyInfo[slot];
  return true;
}

std::vector<MenuEntry> ButtonPage::BuildMenu() const {
  return BuildFunctionMenu(currentButton_, openedSlot_, macros_, timers_, osClass_ == kOsClassWindowsXp);
}

ButtonSlot* ButtonPage::CurrentSlot() {
  ProfileRecord* p = profile();
  if (p == nullptr || currentButton_ < 0 || currentButton_ >= kButtonCount) return nullptr;
  return &p->MacroKeyInfo[currentButton_];
}

bool ButtonPage::MayAssign(std::uint8_t code) const {
  // Commands come from the menu built for this slot, but a stray command (another window, a stale menu)
  // must not give B1, B2 or an unavailable slot a function, nor a shift function to a slot that is no
  // shift key: the layer rules rely on that.
  const ProfileRecord* p = profile();
  return p != nullptr && CanAssign(*p, currentButton_, code, osClass_ == kOsClassWindowsXp);
}

PageChange ButtonPage::Finish(std::uint8_t oldCode) {
  CompleteAssignment(*profile(), currentButton_, oldCode, saved_, working_.ButtonChanged[working_.CurrentProfile]);
  return PageChange::kSlots;
}

PageChange ButtonPage::HandleCommand(unsigned command) {
  ButtonSlot* slot = CurrentSlot();
  if (command == kCmdChoosePlayer) {
    ProfileRecord* p = profile();
    if (p == nullptr) return PageChange::kNone;
    int option = p->MediaOption;
    if (!dialogs_.ChooseMediaPlayer(option)) return PageChange::kNone;
    p->MediaOption = option;
    return PageChange::kProfile;
  }
  if (command == kCmdCreateTimer) {
    // The menu carries 50 timer commands; a 51st timer could never be assigned.
    if (timers_.timers.size() >= kMaxTimers) return PageChange::kNone;
    std::string name;
    int value = kTimerStartValue;
    if (!dialogs_.CreateTimer(timers_, name, value)) return PageChange::kNone;
    if (!TimerCreateAccepted(timers_, name)) return PageChange::kNone;
    if (!AddTimer(timers_, Utf8ToAnsi(TrimName(name)), static_cast<std::uint32_t>(ClampTimerValue(value)))) {
      return PageChange::kNone;
    }
    files_.SaveTimers(timers_);
    return PageChange::kStores;
  }
  if (command == kCmdEditTimers) {
    if (timers_.timers.empty()) return PageChange::kNone;
    TimerListEditor editor(timers_);
    if (!dialogs_.EditTimers(editor)) return PageChange::kNone;
    timers_ = editor.timers();
    files_.SaveTimers(timers_);
    return PageChange::kStores;
  }
  if (command == kCmdNewMacro) return OpenMacroManager(-1);
  if (command >= kCmdFirstEditSet && command < kCmdFirstEditSet + kMenuMaxSets) {
    return OpenMacroManager(static_cast<int>(command - kCmdFirstEditSet));
  }
  if (slot == nullptr) return PageChange::kNone;
  const std::uint8_t oldCode = slot->functionCode;

  if (command == kCmdShortcut) {
    if (!MayAssign(kFnShortcut)) return PageChange::kNone;
    ShortcutChoice choice = ShortcutChoice::FromSlot(*slot);
    if (!dialogs_.EditShortcut(choice)) return PageChange::kNone;
    AssignShortcut(*slot, choice.key, choice.Flags());
    return Finish(oldCode);
  }
  if (command == kCmdProgram) {
    if (!MayAssign(kFnLaunchProgram)) return PageChange::kNone;
    std::string path = oldCode == kFnLaunchProgram ? std::string(FieldText(slot->programPath)) : std::string();
    if (!dialogs_.EditProgramPath(path)) return PageChange::kNone;
    AssignProgram(*slot, path.c_str());  // cut to the 259 bytes the field holds
    return Finish(oldCode);
  }
  if (command >= kCmdFirstTimer && command < kCmdFirstTimer + kMaxTimers) {
    const TimerRecord* timer = TimerAt(timers_, static_cast<int>(command - kCmdFirstTimer));
    if (timer == nullptr || !MayAssign(kFnTimer)) return PageChange::kNone;
    AssignTimer(*slot, timer->value, std::string(FieldText(timer->name)).c_str());
    return Finish(oldCode);
  }
  if (command >= kCmdFirstMacro) {
    const int set = static_cast<int>((command - kCmdFirstMacro) / 100);
    const int macro = static_cast<int>((command - kCmdFirstMacro) % 100);
    if (!MayAssign(kFnMacro) || CopyMacroToSlot(macros_, set, macro, *slot) != 1) return PageChange::kNone;
    return Finish(oldCode);
  }
  const int code = CommandCode(command);
  if (code < 0 || !MayAssign(static_cast<std::uint8_t>(code))) return PageChange::kNone;
  AssignPlainFunction(*slot, static_cast<std::uint8_t>(code));
  return Finish(oldCode);
}

PageChange ButtonPage::SetOrientation(int orientation) {
  ProfileRecord* p = profile();
  if (p == nullptr) return PageChange::kNone;
  p->Orientation = orientation == 1 ? 1 : 0;
  return PageChange::kProfile;
}

PageChange ButtonPage::OpenMacroManager(int setIndex) {
  const MacroStore before = CopyMacroStore(macros_);
  if (dialogs_.OpenMacroManager(macros_, setIndex)) {
    // A button plays only its own copy: an edit kept here reaches every button that holds the macro now,
    // flagged for Apply. The working copy then agrees with the store, so a merge cannot take the edit back.
    (void)PassEditedMacrosToButtons(before, macros_, working_);
    files_.SaveMacroStore(macros_);
  } else {
    // The manager edits the store in place: a cancelled session is undone from the file.
    files_.ReloadMacroStore(macros_);
  }
  return PageChange::kStores;
}

}  // namespace sarn
