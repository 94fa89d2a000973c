// Fixed byte layouts shared by both programs, the shared block, the profile files and the mouse.
// Every record is plain data with no pointers: copied whole with a byte copy between processes and files,
// so every offset below is part of the contract and is checked at compile time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace sarn {

static_assert(std::endian::native == std::endian::little, "records are stored little-endian");

inline constexpr int kProfileCount = 5;
inline constexpr int kButtonCount = 18;  // B1..B9 and their shift layer B10..B18
inline constexpr int kMacroEventCapacity = 500;
inline constexpr int kDpiLevels = 6;

// One macro step: key (HID usage or MouseCode), kind (1 press, 2 release), delay in ms after the step.
struct MacroEvent {
  std::uint8_t key;
  std::uint8_t kind;
  std::uint16_t delay;
};
static_assert(sizeof(MacroEvent) == 4);

inline constexpr std::uint8_t kKindPress = 1;
inline constexpr std::uint8_t kKindRelease = 2;

// Mouse buttons inside macros.
enum MouseCode : std::uint8_t {
  kMouseLeft = 240,
  kMouseRight = 241,
  kMouseMiddle = 242,
  kMouseX2 = 243,  // fifth button (extended button 2)
  kMouseX1 = 244,  // fourth button (extended button 1)
};
constexpr bool IsMouseCode(std::uint8_t key) { return key >= 240 && key <= 244; }

struct ButtonSlot {
  std::uint8_t buttonIndex;
  std::uint8_t functionCode;
  char setName[50];
  char macroName[52];
  std::int32_t loops;
  std::uint16_t count;
  MacroEvent events[kMacroEventCapacity];
  std::uint8_t padding0[2];
  std::uint32_t timerValue;
  char timerName[100];
  char programPath[260];
};
static_assert(sizeof(ButtonSlot) == 2476);
static_assert(offsetof(ButtonSlot, functionCode) == 1);
static_assert(offsetof(ButtonSlot, setName) == 2);
static_assert(offsetof(ButtonSlot, macroName) == 52);
static_assert(offsetof(ButtonSlot, loops) == 104);
static_assert(offsetof(ButtonSlot, count) == 108);
static_assert(offsetof(ButtonSlot, events) == 110);
static_assert(offsetof(ButtonSlot, timerValue) == 2112);
static_assert(offsetof(ButtonSlot, timerName) == 2116);
static_assert(offsetof(ButtonSlot, programPath) == 2216);

struct ProfileRecord {
  char ProFileName[250];
  char GameFile0[500];
  char GameFile1[500];
  char GameFile2[500];
  std::uint8_t padding0[2];
  std::int32_t DbleClickSpeed;
  std::int32_t ScrollWheelSpeed;
  std::int32_t ScrollWheelFlag;
  std::int32_t MouseSpeed;
  std::int32_t Acceleration;
  std::int32_t AccelerationFlag;
  std::int32_t TiltSpeed;
  std::int32_t MediaOption;
  std::int32_t HDDKeyboard;
  std::int32_t Orientation;
  std::int32_t XYSynchronous;
  std::int32_t Sensitivity_X;
  std::int32_t Sensitivity_Y;
  std::uint8_t dpi[kDpiLevels];
  std::uint8_t padding1[2];
  std::int32_t Cpi_X;
  std::int32_t Cpi_Y;
  std::int32_t XYCpiFlag;
  std::int32_t PollingRate;
  std::int32_t LightSwitch;
  std::int32_t LightType;
  std::int32_t ColorFlag;
  std::int32_t ColorOptions;
  std::int32_t ColorChangeMode;
  std::int32_t BTOption;
  ButtonSlot MacroKeyInfo[kButtonCount];
};
inline constexpr std::size_t kProfileHeaderSize = 1852;
static_assert(sizeof(ProfileRecord) == 46420);
static_assert(offsetof(ProfileRecord, GameFile0) == 250);
static_assert(offsetof(ProfileRecord, GameFile1) == 750);
static_assert(offsetof(ProfileRecord, GameFile2) == 1250);
static_assert(offsetof(ProfileRecord, DbleClickSpeed) == 1752);
static_assert(offsetof(ProfileRecord, ScrollWheelSpeed) == 1756);
static_assert(offsetof(ProfileRecord, ScrollWheelFlag) == 1760);
static_assert(offsetof(ProfileRecord, MouseSpeed) == 1764);
static_assert(offsetof(ProfileRecord, Acceleration) == 1768);
static_assert(offsetof(ProfileRecord, AccelerationFlag) == 1772);
static_assert(offsetof(ProfileRecord, TiltSpeed) == 1776);
static_assert(offsetof(ProfileRecord, MediaOption) == 1780);
static_assert(offsetof(ProfileRecord, HDDKeyboard) == 1784);
static_assert(offsetof(ProfileRecord, Orientation) == 1788);
static_assert(offsetof(ProfileRecord, XYSynchronous) == 1792);
static_assert(offsetof(ProfileRecord, Sensitivity_X) == 1796);
static_assert(offsetof(ProfileRecord, Sensitivity_Y) == 1800);
static_assert(offsetof(ProfileRecord, dpi) == 1804);
static_assert(offsetof(ProfileRecord, Cpi_X) == 1812);
static_assert(offsetof(ProfileRecord, Cpi_Y) == 1816);
static_assert(offsetof(ProfileRecord, XYCpiFlag) == 1820);
static_assert(offsetof(ProfileRecord, PollingRate) == 1824);
static_assert(offsetof(ProfileRecord, LightSwitch) == 1828);
static_assert(offsetof(ProfileRecord, LightType) == 1832);
static_assert(offsetof(ProfileRecord, ColorFlag) == 1836);
static_assert(offsetof(ProfileRecord, ColorOptions) == 1840);
static_assert(offsetof(ProfileRecord, ColorChangeMode) == 1844);
static_assert(offsetof(ProfileRecord, BTOption) == 1848);
static_assert(offsetof(ProfileRecord, MacroKeyInfo) == kProfileHeaderSize);

struct SharedBlock {
  std::int32_t CurrentProfile;
  std::int32_t WindowsProfile;
  std::int32_t QuickHelpLan;
  ProfileRecord profiles[kProfileCount];
  std::int32_t MouseType;
  std::int32_t ButtonChanged[kProfileCount][kButtonCount];
  std::int32_t ProfileChanged[kProfileCount];
  std::int32_t SettingsChanged;
  std::int32_t SoundProfile;
  std::int32_t SoundDpi;
  std::int32_t SoundSens;
  std::int32_t SoundVolume;
};
static_assert(sizeof(SharedBlock) == 232516);
static_assert(offsetof(SharedBlock, profiles) == 12);
static_assert(offsetof(SharedBlock, MouseType) == 232112);
static_assert(offsetof(SharedBlock, ButtonChanged) == 232116);
static_assert(offsetof(SharedBlock, ProfileChanged) == 232476);
static_assert(offsetof(SharedBlock, SettingsChanged) == 232496);
static_assert(offsetof(SharedBlock, SoundProfile) == 232500);
static_assert(offsetof(SharedBlock, SoundDpi) == 232504);
static_assert(offsetof(SharedBlock, SoundSens) == 232508);
static_assert(offsetof(SharedBlock, SoundVolume) == 232512);

struct NotificationSettings {
  std::int32_t options[7];
  std::int32_t osdWordA;
  std::int32_t osdWordB;
  char mailServer[100];
  std::int32_t mailPort;
  char mailUser[100];
  char mailPassword[100];
  std::int32_t checkInterval;
};
static_assert(sizeof(NotificationSettings) == 344);
static_assert(offsetof(NotificationSettings, osdWordA) == 28);
static_assert(offsetof(NotificationSettings, osdWordB) == 32);
static_assert(offsetof(NotificationSettings, mailServer) == 36);
static_assert(offsetof(NotificationSettings, mailPort) == 136);
static_assert(offsetof(NotificationSettings, mailUser) == 140);
static_assert(offsetof(NotificationSettings, mailPassword) == 240);
static_assert(offsetof(NotificationSettings, checkInterval) == 340);

struct MacroRecord {
  char name[52];
  std::int32_t loops;
  std::uint32_t count;
  MacroEvent events[kMacroEventCapacity];
};
static_assert(sizeof(MacroRecord) == 2060);
static_assert(offsetof(MacroRecord, loops) == 52);
static_assert(offsetof(MacroRecord, count) == 56);
static_assert(offsetof(MacroRecord, events) == 60);

// The default function of each of the 18 slots (B1..B18).
inline constexpr std::uint8_t DefaultButtonCodes[kButtonCount] = {
    1, 2, 3, 7, 65, 6, 6, 13, 14,  // B1..B9
    8, 7, 37, 6, 0, 6, 6, 38, 39,  // B10..B18
};

// Fills one profile with factory defaults; slot is 0..4 (its name becomes "Default<slot+1>").
// Padding and the bytes after text terminators keep what the record held.
void InitProfileDefaults(ProfileRecord& record, int slot);

// The system language, asked only when a reset needs it (tests inject their own).
using LanguageSource = std::function<int()>;

// Factory settings of a block: profile 0 active, no windows profile, sounds on at volume 2, five default profiles.
// MouseType and the change flags are left as they are.
void ResetSettings(SharedBlock& block, const LanguageSource& language);

// Empties the profile part before it is filled from the monitor or the files.
void ClearSharedBlock(SharedBlock& block);

void ResetNotificationSettings(NotificationSettings& settings);

// Copies text into a fixed field, cut to fit and always terminated (an empty field when size is 0 is impossible).
void CopyTextField(char* field, std::size_t size, const char* text);
template <std::size_t N>
void CopyTextField(char (&field)[N], const char* text) { CopyTextField(field, N, text); }

// Length of a text field up to its terminator, never past the field.
std::size_t TextFieldLength(const char* field, std::size_t size);
template <std::size_t N>
std::size_t TextFieldLength(const char (&field)[N]) { return TextFieldLength(field, N); }

}  // namespace sarn
