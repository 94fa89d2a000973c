#include "option/shortcut_typing.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/keys.h"

namespace sarn {
namespace {

constexpr int kLCtrl = 162, kRCtrl = 163, kLShift = 160, kLAlt = 164, kLWin = 91, kF5 = 116;
using Checks = std::array<bool, kShortcutCheckCount>;  // None, Shift, Ctrl, Alt, Win

// "+vk" presses, "-vk" releases, fed in order to a fresh dialog's typing.
struct Typed {
  ShortcutChoice choice;
  ShortcutTyping typing;
  void Feed(const std::vector<int>& events) {
    for (int e : events) (void)typing.Take(choice, static_cast<unsigned>(e < 0 ? -e : e), e < 0, UsKeyboardLayout());
  }
};

TEST(ShortcutTyping, TheKeyPressedUnderModifiersWinsAndReleasesChangeNothing) {
  struct Case {
    const char* what;
    std::vector<int> events;
    std::uint8_t key;
    Checks checks;
  } const cases[] = {
      {"Ctrl+C", {+kLCtrl, +'C', -'C', -kLCtrl}, 6, {false, false, true, false, false}},
      {"Ctrl let go before C", {+kLCtrl, +'C', -kLCtrl, -'C'}, 6, {false, false, true, false, false}},
      {"Shift+Alt+F5", {+kLShift, +kLAlt, +kF5, -kF5, -kLAlt, -kLShift}, 62, {false, true, false, true, false}},
      {"right Ctrl and Win count as Ctrl and Win", {+kRCtrl, +kLWin, +'A', -'A', -kLWin, -kRCtrl}, 4,
       {false, false, true, false, true}},
      {"Ctrl alone", {+kLCtrl, -kLCtrl}, 224, {}},
      {"a held Ctrl repeats its press and is still alone", {+kLCtrl, +kLCtrl, +kLCtrl, -kLCtrl}, 224, {}},
      {"the generic Ctrl is the left one", {+17, -17}, 224, {}},
      {"Shift alone while Ctrl is held", {+kLCtrl, +kLShift, -kLShift, -kLCtrl}, 225,
       {false, false, true, false, false}},
      {"the last key pressed", {+kLCtrl, +'C', -'C', +'V', -'V', -kLCtrl}, 25, {false, false, true, false, false}},
      {"releases of keys never pressed here", {-'C', -kLCtrl, -kLShift}, 0, {}},
      {"a key without a row between Ctrl's press and release", {+kLCtrl, +255, -255, -kLCtrl}, 0, {}},
  };
  for (const Case& c : cases) {
    Typed t;
    t.Feed(c.events);
    EXPECT_EQ(t.choice.key, c.key) << c.what;
    EXPECT_EQ(t.choice.checks, c.checks) << c.what;
  }
}

TEST(ShortcutTyping, KeysTypedAloneKeepTheChecksClickedButNoneGivesWayToTypedModifiers) {
  Typed t;
  t.choice.checks = {false, true, false, true, false};  // Shift and Alt clicked
  t.Feed({+'Q', -'Q'});
  EXPECT_EQ(t.choice.key, 20);
  EXPECT_EQ(t.choice.checks, (Checks{false, true, false, true, false}));
  // A modifier that becomes the key is not its own modifier.
  t.Feed({+kLShift, -kLShift});
  EXPECT_EQ(t.choice.key, 225);
  EXPECT_EQ(t.choice.checks, (Checks{false, false, false, true, false}));
  // "None" checked: typed modifiers replace it, or the others could not be seen.
  t.choice.checks = {true, false, false, false, false};
  t.Feed({+kLWin, +'E', -'E', -kLWin});
  EXPECT_EQ(t.choice.key, 8);
  EXPECT_EQ(t.choice.checks, (Checks{false, false, false, false, true}));
  EXPECT_EQ(t.choice.Flags(), kModWin);
}

TEST(ShortcutTyping, KeypadEnterAndTheIsoKeyAreKeysOfTheirOwn) {
  Typed t;
  const int keypadEnter = static_cast<int>(TableVirtualKey(13, true));
  t.Feed({+kLCtrl, +keypadEnter, -keypadEnter, -kLCtrl});
  EXPECT_EQ(t.choice.key, 88);
  EXPECT_EQ(UsageName(t.choice.key, UsKeyboardLayout()), "Num_Enter");
  t.Feed({+13, -13});
  EXPECT_EQ(t.choice.key, 40);
  t.Feed({+226, -226});
  EXPECT_EQ(t.choice.key, 100);
  EXPECT_EQ(t.choice.checks, (Checks{false, false, true, false, false}));
}

}  // namespace
}  // namespace sarn
