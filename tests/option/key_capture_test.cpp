#include "option/key_capture.h"

#include <gtest/gtest.h>

namespace sarn {
namespace {

constexpr std::uint32_t kUp = 0x80, kExtended = 0x01, kLowerIntegrityInjected = 0x02;

struct KeyCase {
  const char* what;
  std::uint32_t flags;
  std::uintptr_t extraInfo;
  CapturedKeyAction expected;
};

TEST(CapturedKeyDecision, OnlyKeysInjectedWithOurMarkPassTheCapture) {
  const KeyCase cases[] = {
      {"the user's key", 0, 0, CapturedKeyAction::kCapture},
      {"the user's release", kUp | kExtended, 0, CapturedKeyAction::kCapture},
      {"a keyboard whose driver sets our value", 0, kInjectedInputMark, CapturedKeyAction::kCapture},
      {"injected without a mark (a test, an on-screen keyboard)", kLowLevelKeyInjected, 0, CapturedKeyAction::kCapture},
      {"injected with another program's mark", kLowLevelKeyInjected, 0xFF515700, CapturedKeyAction::kCapture},
      {"injected with a near miss of our mark", kLowLevelKeyInjected, kInjectedInputMark + 1,
       CapturedKeyAction::kCapture},
      {"our macro's key", kLowLevelKeyInjected, kInjectedInputMark, CapturedKeyAction::kPassOn},
      {"our macro's release of an extended key", kLowLevelKeyInjected | kUp | kExtended, kInjectedInputMark,
       CapturedKeyAction::kPassOn},
      {"ours from a lower integrity level", kLowLevelKeyInjected | kLowerIntegrityInjected, kInjectedInputMark,
       CapturedKeyAction::kPassOn},
  };
  for (const KeyCase& c : cases) {
    EXPECT_EQ(DecideCapturedKey(c.flags, c.extraInfo, true), c.expected) << c.what;
    // Once the capture has ended, nothing is taken any more, whoever sent it.
    EXPECT_EQ(DecideCapturedKey(c.flags, c.extraInfo, false), CapturedKeyAction::kPassOn) << c.what;
  }
}

}  // namespace
}  // namespace sarn
