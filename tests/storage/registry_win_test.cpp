// The registry adapter against the real registry of the current user (under Wine, the test prefix's).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "common/registry.h"

namespace sarn {
namespace {

struct Saved {
  bool present = false;
  DWORD type = 0;
  std::string data;
};

// Puts back every value a test touches, so the prefix keeps its own mouse settings.
class RegistryValuesGuard {
 public:
  RegistryValuesGuard() {
    for (const auto& [key, name] : kTouched) {
      Saved s;
      HKEY h = nullptr;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &h) == ERROR_SUCCESS) {
        char buffer[512];
        DWORD size = sizeof buffer;
        if (RegQueryValueExA(h, name, nullptr, &s.type, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS) {
          s.present = true;
          s.data.assign(buffer, size);
        }
        RegCloseKey(h);
      }
      saved_[std::string(key) + "|" + name] = s;
    }
  }
  ~RegistryValuesGuard() {
    for (const auto& [key, name] : kTouched) {
      const Saved& s = saved_[std::string(key) + "|" + name];
      HKEY h = nullptr;
      if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS) continue;
      if (s.present) {
        RegSetValueExA(h, name, 0, s.type, reinterpret_cast<const BYTE*>(s.data.data()), static_cast<DWORD>(s.data.size()));
      } else {
        RegDeleteValueA(h, name);
      }
      RegCloseKey(h);
    }
  }

 private:
  static constexpr std::pair<const char*, const char*> kTouched[] = {
      {"Control Panel\\Mouse", "DoubleClickSpeed"}, {"Control Panel\\Mouse", "MouseSensitivity"},
      {"Control Panel\\Mouse", "MouseSpeed"},       {"Control Panel\\Mouse", "MouseThreshold1"},
      {"Control Panel\\Mouse", "MouseThreshold2"},  {"Control Panel\\Desktop", "WheelScrollLines"},
      {"Control Panel\\Desktop", "WheelScrollChars"},
  };
  std::map<std::string, Saved> saved_;
};

Saved Raw(const char* key, const char* name) {
  Saved s;
  HKEY h = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return s;
  char buffer[512];
  DWORD size = sizeof buffer;
  if (RegQueryValueExA(h, name, nullptr, &s.type, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS) {
    s.present = true;
    s.data.assign(buffer, size);
  }
  RegCloseKey(h);
  return s;
}

ProfileRecord Profile() {
  ProfileRecord r;
  std::memset(&r, 0, sizeof r);
  InitProfileDefaults(r, 0);
  return r;
}

TEST(WindowsRegistry, WritesDecimalTextAndReadsItBack) {
  RegistryValuesGuard guard;
  auto registry = MakeWindowsRegistry();
  ProfileRecord r = Profile();
  r.DbleClickSpeed = 640;
  r.MouseSpeed = 14;
  r.Acceleration = 25;
  r.AccelerationFlag = 1;
  r.ScrollWheelFlag = 1;
  r.ScrollWheelSpeed = 7;
  r.TiltSpeed = 5;
  ASSERT_EQ(WriteMouseRegistry(r, *registry), 1);

  const Saved lines = Raw("Control Panel\\Desktop", "WheelScrollLines");
  ASSERT_TRUE(lines.present);
  EXPECT_EQ(lines.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(lines.data.substr(0, 2), "-1");
  const Saved t2 = Raw("Control Panel\\Mouse", "MouseThreshold2");
  EXPECT_EQ(t2.data.substr(0, 1), "5");  // row 19 is (2, 4, 5)

  ProfileRecord back = Profile();
  back.ScrollWheelSpeed = 7;
  ASSERT_EQ(ReadMouseRegistry(back, *registry), 1);
  EXPECT_EQ(back.DbleClickSpeed, 640);
  EXPECT_EQ(back.MouseSpeed, 14);
  EXPECT_EQ(back.Acceleration, 19);
  EXPECT_EQ(back.AccelerationFlag, 1);
  EXPECT_EQ(back.ScrollWheelFlag, 1);
  EXPECT_EQ(back.ScrollWheelSpeed, 7);
  EXPECT_EQ(back.TiltSpeed, 5);
}

TEST(WindowsRegistry, ValuesOfAnotherTypeOrMissingLeaveFields) {
  RegistryValuesGuard guard;
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  const DWORD seven = 7;
  RegSetValueExA(h, "WheelScrollChars", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&seven), sizeof seven);
  RegDeleteValueA(h, "WheelScrollLines");
  RegCloseKey(h);

  auto registry = MakeWindowsRegistry();
  ProfileRecord r = Profile();
  r.TiltSpeed = 2;
  r.ScrollWheelSpeed = 9;
  ASSERT_EQ(ReadMouseRegistry(r, *registry), 1);
  EXPECT_EQ(r.TiltSpeed, 2);
  EXPECT_EQ(r.ScrollWheelSpeed, 9);
}

TEST(WindowsRegistry, OpenOrCreateMakesAMissingKey) {
  auto registry = MakeWindowsRegistry();
  const char* path = "Software\\SarnStorageTest\\Fresh";
  RegDeleteKeyA(HKEY_CURRENT_USER, path);
  {
    auto key = registry->OpenOrCreate(path);
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->WriteText("v", "12"));
    std::string text;
    EXPECT_TRUE(key->ReadText("v", text));
    EXPECT_EQ(text, "12");
    EXPECT_FALSE(key->ReadText("absent", text));
  }
  const Saved stored = Raw(path, "v");
  EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(stored.data.substr(0, 2), "12");
  RegDeleteKeyA(HKEY_CURRENT_USER, path);
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\SarnStorageTest");
}

}  // namespace
}  // namespace sarn
