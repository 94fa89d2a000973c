// The labels the configuration window draws (tabs, group titles, buttons, the dialogs' texts), by the numbers
// under which each language library holds them. Help texts have numbers of their own below 3300; the labels
// take 3300..3499 so that the two never meet. The English text is both the fallback, when a library or one
// of its strings is missing, and the text English_help.rc must carry for the number.
#pragma once

#include <span>
#include <string_view>

#include "common/language_texts.h"

namespace sarn {

struct UiText {
  int number;
  const char* english;  // UTF-8
};

namespace ui {
inline constexpr int kFirst = 3300, kLast = 3499;
// The frame: tabs, slot bar and window buttons.
inline constexpr int kTabMain = 3300, kTabButtons = 3301, kTabAdvanced = 3302, kTabUpdate = 3303;
inline constexpr int kCreate = 3304, kLoad = 3305, kSave = 3306, kEdit = 3307, kOk = 3308, kApply = 3309,
                     kCancel = 3310, kProfileSlot = 3311, kSoftware = 3312, kFirmware = 3313, kWireless = 3314;
// Group titles and notes of the Main page.
inline constexpr int kSensitivity = 3320, kScrollWheel = 3321, kTiltSpeed = 3322, kDpiLevels = 3323,
                     kWindowsPointer = 3324, kDoubleClickSpeed = 3325, kLow = 3326, kHigh = 3327, kFast = 3328,
                     kSlow = 3329, kTest = 3330, kLinesPerNotch = 3334;
// The Advanced page.
inline constexpr int kLighting = 3340, kPollingRate = 3341, kSoundFeedback = 3342, kVolume = 3343,
                     kAdvancedNoteFirst = 3344;  // five lines
inline constexpr int kAdvancedNoteLines = 5;
// The support page.
inline constexpr int kDriver = 3360, kSupport = 3361, kVersions = 3362, kContact = 3363, kMail = 3364;
// The button page.
inline constexpr int kButtons = 3370, kShiftLayer = 3371, kMouse = 3372, kRightHanded = 3373, kLeftHanded = 3374,
                     kMacroManager = 3375;
// The profile settings dialog and the two confirmations.
inline constexpr int kProfileSettings = 3380, kProfileName = 3381, kGamesTitle = 3382, kGamesNote1 = 3383,
                     kGamesNote2 = 3384, kWindowsProfile = 3385, kWindowsProfile1 = 3386, kWindowsProfile2 = 3387,
                     kWindowsProfile3 = 3388, kFactorySettings = 3389, kFactory1 = 3390, kFactory2 = 3391,
                     kFactory3 = 3392;
// The button page's dialogs.
inline constexpr int kDeleteTimer = 3400, kDeleteTimer1 = 3401, kDeleteTimer2 = 3402, kKeyShortcut = 3403,
                     kKeyShortcutNote = 3404, kModifiers = 3405, kKey = 3406, kProgramToStart = 3407,
                     kProgramNote1 = 3408, kProgramNote2 = 3409, kMediaPlayer = 3410, kMediaPlayerNote = 3411,
                     kNewTimer = 3412, kName = 3413, kSeconds = 3414, kNewTimerNote1 = 3415, kNewTimerNote2 = 3416,
                     kTimers = 3417, kTimer = 3418, kTimersNote = 3419, kDelete = 3420;
// The macro manager.
inline constexpr int kAddMacroSet = 3430, kNewSetName = 3431, kMacroSet = 3432, kSteps = 3433, kTimes = 3434,
                     kNew = 3435, kStartRecord = 3436, kRecordDelays = 3437, kLoop = 3438, kTimelineView = 3439,
                     kStepListView = 3440, kChooseSet = 3441, kNoSet1 = 3442, kNoSet2 = 3443, kNoMacro1 = 3444,
                     kNoMacro2 = 3445, kNoSelection1 = 3446, kNoSelection2 = 3447, kDeleteSet1 = 3448,
                     kDeleteSet2 = 3449, kDeleteMacro = 3450, kPauseCut1 = 3451, kPauseCut2 = 3452,
                     kLeftButton = 3453, kRightButton = 3454, kWheel = 3455, kDown = 3456, kUp = 3457,
                     kClick = 3458, kRecordBefore = 3459, kRecordAfter = 3460, kInsertDelay = 3461,
                     kInsertMouseEvent = 3462, kEditDelay = 3463, kTimelineNote = 3464;
}  // namespace ui

// Every label, in number order.
[[nodiscard]] std::span<const UiText> UiTexts();
// The English text of a label number; "" for a number that is none.
[[nodiscard]] std::string_view EnglishUiText(int number);
// The number whose English text is `english` (the page tables name their labels by text); 0 for none.
[[nodiscard]] int UiTextNumber(std::string_view english);

}  // namespace sarn
