#include "option/ui_texts.h"

#include <algorithm>

namespace sarn {
namespace {

// One entry a line, "{number, "English"}," : the release check reads this table to compare it with
// English_help.rc, so keep the form.
constexpr UiText kTexts[] = {
    {3300, "Main"},
    {3301, "Button Assign"},
    {3302, "Advanced"},
    {3303, "Update"},
    {3304, "Create"},
    {3305, "Load"},
    {3306, "Save"},
    {3307, "Edit"},
    {3308, "OK"},
    {3309, "Apply"},
    {3310, "Cancel"},
    {3311, "Profile %d"},
    {3312, "Software"},
    {3313, "Firmware"},
    {3314, "Wireless model"},
    {3320, "Sensitivity"},
    {3321, "Scroll wheel"},
    {3322, "Tilt speed"},
    {3323, "DPI levels"},
    {3324, "Windows pointer"},
    {3325, "Double-click speed"},
    {3326, "Low"},
    {3327, "High"},
    {3328, "Fast"},
    {3329, "Slow"},
    {3330, "Test"},
    {3331, "One page per notch"},
    {3332, "Mouse acceleration"},
    {3333, "Reset"},
    {3334, "Lines per notch"},
    {3340, "Lighting"},
    {3341, "Polling rate (Hz)"},
    {3342, "Sound feedback"},
    {3343, "Volume"},
    {3344, "Lighting and polling rate belong"},
    {3345, "to the selected profile; sound"},
    {3346, "feedback is the same for all."},
    {3347, "Changes reach the mouse with"},
    {3348, "Apply or OK."},
    {3349, "Light on"},
    {3350, "Breathing light"},
    {3351, "Single colour"},
    {3352, "Multicolour"},
    {3353, "Mode 1"},
    {3354, "Mode 2"},
    {3355, "Mode 3"},
    {3356, "Profile switch"},
    {3357, "DPI switch"},
    {3358, "Sensitivity switch"},
    {3360, "Driver"},
    {3361, "Support"},
    {3362, "Versions"},
    {3363, "Contact"},
    {3364, "Mail"},
    {3365, "Driver download"},
    {3366, "Support pages"},
    {3367, "Mail request"},
    {3368, "Support form"},
    {3369, "Mail support"},
    {3370, "Buttons"},
    {3371, "With Duvex[+] held"},
    {3372, "Mouse"},
    {3373, "Right-handed"},
    {3374, "Left-handed"},
    {3375, "Macro Manager"},
    {3380, "Profile settings"},
    {3381, "Profile name"},
    {3382, "Games that switch the mouse to this profile"},
    {3383, "While one of these programs is in the foreground, the mouse uses this"},
    {3384, "profile. Apply carries the change to the mouse."},
    {3385, "Windows profile"},
    {3386, "Use profile slot %d whenever no game of a"},
    {3387, "profile is in the foreground?"},
    {3388, "The mark reaches the mouse with the next Apply."},
    {3389, "Factory settings"},
    {3390, "Put all five profiles, their buttons, the sound feedback"},
    {3391, "and the language back to the factory settings?"},
    {3392, "They are applied to the mouse at once."},
    {3400, "Delete timer"},
    {3401, "Delete the timer \"%s\"?"},
    {3402, "Buttons that hold it keep counting its time."},
    {3403, "Key shortcut"},
    {3404, "Press the key this button should send, then choose its modifiers."},
    {3405, "Modifiers"},
    {3406, "Key"},
    {3407, "Program to start"},
    {3408, "The program this button starts"},
    {3409, "Type its path or browse for it."},
    {3410, "Media player"},
    {3411, "The player the media buttons control"},
    {3412, "New timer"},
    {3413, "Name"},
    {3414, "Seconds"},
    {3415, "A button given this timer counts down from its value and speaks"},
    {3416, "the last seconds. Names are unique; 10 to 999 seconds."},
    {3417, "Timers"},
    {3418, "Timer"},
    {3419, "Save renames the timer or changes its time; OK saves and closes."},
    {3420, "Delete"},
    {3430, "Add Macro Set"},
    {3431, "Name of the new macro set"},
    {3432, "Macro set"},
    {3433, "Steps (right click to edit)"},
    {3434, "times"},
    {3435, "New"},
    {3436, "Start Record"},
    {3437, "Record delays"},
    {3438, "Loop"},
    {3439, "Timeline view"},
    {3440, "Step list view"},
    {3441, "(choose a set)"},
    {3442, "No macro set is chosen."},
    {3443, "Choose or add a set first."},
    {3444, "No macro is chosen."},
    {3445, "Choose or create a macro first."},
    {3446, "No macro is selected."},
    {3447, "Select the macro to delete."},
    {3448, "Delete this macro set"},
    {3449, "and all its macros?"},
    {3450, "Delete this macro?"},
    {3451, "A pause longer than 65535 ms"},
    {3452, "was shortened to 65535 ms."},
    {3453, "Left Button"},
    {3454, "Right Button"},
    {3455, "Wheel"},
    {3456, "Down"},
    {3457, "Up"},
    {3458, "Click"},
    {3459, "Start Record before"},
    {3460, "Start Record after"},
    {3461, "Insert Delay"},
    {3462, "Insert Mouse Event"},
    {3463, "Edit Delay"},
    {3464, "Timeline (drag the edges of a bar)"},
    {3470, "No supported mouse was found. See README.txt, \"My mouse is not found\"."},
    {3475, "Not set in this build"},
    {3476, "The manual (README.txt) is not in the program folder"},
};

}  // namespace

std::span<const UiText> UiTexts() { return kTexts; }

std::string_view EnglishUiText(int number) {
  const auto* it = std::lower_bound(std::begin(kTexts), std::end(kTexts), number,
                                    [](const UiText& t, int n) { return t.number < n; });
  return it != std::end(kTexts) && it->number == number ? it->english : "";
}

int UiTextNumber(std::string_view english) {
  if (english.empty()) return 0;
  for (const UiText& t : kTexts) {
    if (english == t.english) return t.number;
  }
  return 0;
}

const char* LanguageFace(int language) {
  switch (language) {
    case 6: return "Meiryo";               // Japanese
    case 7: return "Malgun Gothic";        // Korean
    case 10: return "Microsoft YaHei";     // Simplified Chinese
    case 13: return "Leelawadee";          // Thai
    case 14: return "Microsoft JhengHei";  // Traditional Chinese
    default: return "Tahoma";
  }
}

}  // namespace sarn
