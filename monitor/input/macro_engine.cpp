#include "monitor/input/macro_engine.h"

#include <algorithm>
#include <cstdio>

#include "common/keys.h"

namespace sarn {
namespace {

constexpr int kRepeatStartMs = 500;   // a press held longer than this repeats like a held key
constexpr int kRepeatPeriodMs = 33;
constexpr int kReleaseGapMs = 50;

std::string Format(const char* format, int a, int b, int c) {
  char line[96];
  std::snprintf(line, sizeof line, format, a, b, c);
  return line;
}

}  // namespace

unsigned FoldModifier(unsigned virtualKey) {
  switch (virtualKey) {
    case 160:
    case 161:
      return 16;
    case 162:
    case 163:
      return 17;
    case 164:
    case 165:
      return 18;
    default:
      return virtualKey;
  }
}

unsigned MacroVirtualKey(std::uint8_t key, const KeyboardLayout& layout) {
  return FoldModifier(UsageToVirtualKey(key, layout));
}

void SendTableKey(KeyInput& input, const KeyboardLayout& layout, unsigned virtualKey, unsigned flags) {
  const KeyStroke stroke = StrokeOfVirtualKey(virtualKey, layout);
  input.KeyEvent(stroke.virtualKey, stroke.scanCode, stroke.extended ? flags | kKeyExtended : flags);
}

MouseButtonEvent MouseButtonFor(std::uint8_t code, bool down) {
  switch (code) {
    case kMouseLeft:
      return {down ? kMouseLeftDown : kMouseLeftUp, 0};
    case kMouseRight:
      return {down ? kMouseRightDown : kMouseRightUp, 0};
    case kMouseMiddle:
      return {down ? kMouseMiddleDown : kMouseMiddleUp, 0};
    case kMouseX1:
      return {down ? kMouseXDown : kMouseXUp, 1};
    case kMouseX2:
      return {down ? kMouseXDown : kMouseXUp, 2};
    default:
      return {0, 0};
  }
}

MacroEngine::Interruption MacroEngine::Pending() const {
  if (state_.shutdownRequested.load() != 0) return Interruption::kShutdown;
  if (state_.cancelRequested.load() != 0) return Interruption::kCancel;
  if (state_.stopRequested.load() != 0) return Interruption::kStop;
  return Interruption::kNone;
}

MacroEngine::Interruption MacroEngine::WaitStep(ClockTime& due, int ms) {
  due += std::chrono::milliseconds(ms);
  if (clock_.WaitUntil(due) == WaitResult::kInterrupted) return Interruption::kShutdown;
  return Interruption::kNone;
}

MacroEngine::Interruption MacroEngine::PlayStep(const MacroEvent& step, ClockTime& due, bool last) {
  const std::uint8_t key = step.key;
  const std::uint8_t kind = step.kind;
  const int wait = step.delay == 0 ? 1 : step.delay;
  // The last step's delay is the pause before the next pass. After the run's very last step nothing follows:
  // a release or mouse step does not wait it, so the macro ends at once and the next press of its button
  // starts it again instead of only stopping it. A press still waits: its delay is a held key that repeats.
  const bool waits = !last || kind == kKindPress;

  if (kind == kKindPress) {
    held_.push_back(key);
  } else if (kind == kKindRelease) {
    // Remove the most recent press of this code; a code never pressed leaves the stack alone.
    auto it = std::find(held_.rbegin(), held_.rend(), key);
    if (it != held_.rend()) held_.erase(std::next(it).base());
  }

  if (IsMouseCode(key)) {
    if (kind == kKindPress || kind == kKindRelease) {
      const MouseButtonEvent e = MouseButtonFor(key, kind == kKindPress);
      input_.MouseEvent(e.flags, e.data);
    }
    return waits ? WaitStep(due, wait) : Interruption::kNone;
  }

  const unsigned vk = MacroVirtualKey(key, layout_);
  SendTableKey(input_, layout_, vk, kind == kKindRelease ? kKeyUp : 0);
  if (kind == kKindRelease || (kind == kKindPress && wait <= kRepeatStartMs)) {
    return waits ? WaitStep(due, wait) : Interruption::kNone;
  }
  if (kind != kKindPress) return Interruption::kNone;

  if (WaitStep(due, kRepeatStartMs) == Interruption::kShutdown) return Interruption::kShutdown;
  for (int rest = wait - kRepeatStartMs; rest > 0; rest -= kRepeatPeriodMs) {
    SendTableKey(input_, layout_, vk, kKeyUp);
    SendTableKey(input_, layout_, vk, 0);
    const Interruption why = Pending();
    if (why == Interruption::kShutdown || why == Interruption::kCancel) return why;
    if (why == Interruption::kStop) break;  // noticed again before the next step
    if (WaitStep(due, kRepeatPeriodMs) == Interruption::kShutdown) return Interruption::kShutdown;
  }
  return Interruption::kNone;
}

void MacroEngine::SendRelease(std::uint8_t key) {
  if (IsMouseCode(key)) {
    const MouseButtonEvent e = MouseButtonFor(key, false);
    input_.MouseEvent(e.flags, e.data);
    return;
  }
  SendTableKey(input_, layout_, MacroVirtualKey(key, layout_), kKeyUp);
}

void MacroEngine::ReleaseHeld(int first, Interruption why) {
  ClockTime due = clock_.Now();
  // At shut-down or a cancel nothing else will ever release these, so everything goes; a stop releases at
  // most as many inputs as steps were played, most recent first.
  const bool all = why == Interruption::kShutdown || why == Interruption::kCancel;
  while (!held_.empty() && (all || state_.currentStep.load() > first)) {
    const std::uint8_t code = held_.back();
    held_.pop_back();
    debug_.Write(Format("g_iCurAction= %d,Map=%x\n", state_.currentStep.load(), code, 0));
    state_.currentStep.fetch_sub(1);
    SendRelease(code);
    (void)WaitStep(due, kReleaseGapMs);
  }
}

void MacroEngine::Run(const MacroEvent* events, int first, int end, int passes) {
  held_.clear();
  if (end <= first) return;

  ClockTime due = clock_.Now();
  Interruption why = Interruption::kNone;
  for (int pass = 0; pass < passes && why == Interruption::kNone; ++pass) {
    for (int j = first; j < end; ++j) {
      state_.currentStep.store(j);
      why = Pending();
      if (why != Interruption::kNone) break;
      why = PlayStep(events[j], due, pass + 1 == passes && j + 1 == end);
      if (why != Interruption::kNone) break;
    }
    if (why == Interruption::kNone) why = Pending();
  }

  const int current = state_.currentStep.load();
  debug_.Write(Format("g_iCurAction= %d,start=%d,end=%d\n", current, first, end));

  if (why == Interruption::kShutdown || why == Interruption::kCancel) {
    ReleaseHeld(first, why);
  } else if (why == Interruption::kStop && current > first && current < end) {
    ReleaseHeld(first, why);
  }
  held_.clear();
}

}  // namespace sarn
