#include "common/registry.h"

#include <climits>
#include <string>

#include "common/value_range.h"

namespace sarn {

namespace {

constexpr std::size_t kValueBufferSize = 80;  // decimal texts are short; longer junk is cut like a fixed buffer

constexpr std::array<AccelerationRow, kAccelerationRows> MakeTable() {
  std::array<AccelerationRow, kAccelerationRows> t{};
  t[0] = {0, 0, 0};
  for (int row = 1; row <= 10; ++row) t[static_cast<std::size_t>(row)] = {1, 14 - row, 0};
  for (int row = 11; row <= 19; ++row) t[static_cast<std::size_t>(row)] = {2, 4, 24 - row};
  return t;
}
constexpr auto kTable = MakeTable();

bool ReadInt(RegistryKey& key, std::string_view name, int& value) {
  std::string text;
  if (!key.ReadText(name, text)) return false;
  if (text.size() >= kValueBufferSize) text.resize(kValueBufferSize - 1);
  return ParseRegistryInt(text, value);
}

bool WriteInt(RegistryKey& key, std::string_view name, int value) {
  return key.WriteText(name, std::to_string(value));
}

}  // namespace

const std::array<AccelerationRow, kAccelerationRows>& AccelerationTable() { return kTable; }

bool ParseRegistryInt(std::string_view text, int& value) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  long long v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;  // saturate
  }
  if (negative) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  value = static_cast<int>(v);
  return true;
}

int ReadMouseRegistry(ProfileRecord& record, RegistryPort& registry) {
  {
    auto mouse = registry.OpenOrCreate(kMouseKeyPath);
    if (!mouse) return 0;
    int v = 0;
    if (ReadInt(*mouse, "DoubleClickSpeed", v)) record.DbleClickSpeed = v;
    if (ReadInt(*mouse, "MouseSensitivity", v)) record.MouseSpeed = v;

    int speed = 0, t1 = 0, t2 = 0;
    if (ReadInt(*mouse, "MouseSpeed", speed) && ReadInt(*mouse, "MouseThreshold1", t1) &&
        ReadInt(*mouse, "MouseThreshold2", t2)) {
      // The last matching row wins; no match keeps the level the profile had.
      for (int row = 0; row < kAccelerationRows; ++row) {
        const AccelerationRow& r = kTable[static_cast<std::size_t>(row)];
        if (r.mouseSpeed == speed && t1 <= r.threshold1 && t2 <= r.threshold2) record.Acceleration = row;
      }
    }
    record.AccelerationFlag = record.Acceleration != 0 ? 1 : 0;
  }

  auto desktop = registry.OpenOrCreate(kDesktopKeyPath);
  if (!desktop) return -1;
  int lines = 0;
  if (ReadInt(*desktop, "WheelScrollLines", lines)) {
    if (lines == -1) {
      record.ScrollWheelFlag = 1;
      if (record.ScrollWheelSpeed < 1 || record.ScrollWheelSpeed > 10) record.ScrollWheelSpeed = 3;
    } else {
      record.ScrollWheelSpeed = lines;
      record.ScrollWheelFlag = 0;
    }
  }
  int chars = 0;
  if (ReadInt(*desktop, "WheelScrollChars", chars)) record.TiltSpeed = chars;
  return 1;
}

int WriteMouseRegistry(const ProfileRecord& record, RegistryPort& registry) {
  {
    auto mouse = registry.OpenOrCreate(kMouseKeyPath);
    if (!mouse) return -1;
    // The record's numbers come from files and the shared block; Windows reads these values at every logon.
    (void)WriteInt(*mouse, "DoubleClickSpeed", Clamped(record.DbleClickSpeed, kDoubleClickSpeedRange));
    (void)WriteInt(*mouse, "MouseSensitivity", Clamped(record.MouseSpeed, kMouseSpeedRange));
    const int row = record.AccelerationFlag != 0 ? Clamped(record.Acceleration, kAccelerationRange) : 0;
    const AccelerationRow& r = kTable[static_cast<std::size_t>(row)];
    (void)WriteInt(*mouse, "MouseSpeed", r.mouseSpeed);
    (void)WriteInt(*mouse, "MouseThreshold1", r.threshold1);
    (void)WriteInt(*mouse, "MouseThreshold2", r.threshold2);
  }
  auto desktop = registry.OpenOrCreate(kDesktopKeyPath);
  if (!desktop) return -1;
  (void)WriteInt(*desktop, "WheelScrollLines",
                 record.ScrollWheelFlag == 1 ? -1 : Clamped(record.ScrollWheelSpeed, kScrollWheelSpeedRange));
  (void)WriteInt(*desktop, "WheelScrollChars", Clamped(record.TiltSpeed, kTiltSpeedRange));
  return 1;
}

}  // namespace sarn
