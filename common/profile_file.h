// Profile files (*.zmp): one ProfileRecord as INI text, every key in section "Setting". The five slot files
// config\Default0.zmp .. Default4.zmp hold the working profiles; the Load and Save buttons of the slot bar
// move a profile between a slot and a file of the user's choosing.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/private_profile.h"
#include "common/profile_record.h"

namespace sarn {

// The integer keys of the "Setting" section of a profile file, in file order: those before the six dpi flags
// and those after them (the benchmark writes the same keys through the platform calls).
struct ProfileIntKey {
  const char* key;
  std::int32_t ProfileRecord::*field;
};

inline constexpr ProfileIntKey kIntsBeforeDpi[] = {
    {"DbleClickSpeed", &ProfileRecord::DbleClickSpeed},   {"ScrollWheelSpeed", &ProfileRecord::ScrollWheelSpeed},
    {"ScrollWheelFlag", &ProfileRecord::ScrollWheelFlag}, {"MouseSpeed", &ProfileRecord::MouseSpeed},
    {"Acceleration", &ProfileRecord::Acceleration},       {"AccelerationFlag", &ProfileRecord::AccelerationFlag},
    {"TiltSpeed", &ProfileRecord::TiltSpeed},             {"MediaOption", &ProfileRecord::MediaOption},
    {"HDDKeyboard", &ProfileRecord::HDDKeyboard},         {"Orientation", &ProfileRecord::Orientation},
    {"XYSynchronous", &ProfileRecord::XYSynchronous},     {"Sensitivity_X", &ProfileRecord::Sensitivity_X},
    {"Sensitivity_Y", &ProfileRecord::Sensitivity_Y},
};
inline constexpr ProfileIntKey kIntsAfterDpi[] = {
    {"Cpi_X", &ProfileRecord::Cpi_X},
    {"Cpi_Y", &ProfileRecord::Cpi_Y},
    {"XYCpiFlag", &ProfileRecord::XYCpiFlag},
    {"PollingRate", &ProfileRecord::PollingRate},
    {"LightSwitch", &ProfileRecord::LightSwitch},
    {"LightType", &ProfileRecord::LightType},
    {"ColorFlag", &ProfileRecord::ColorFlag},
    {"ColorOptions", &ProfileRecord::ColorOptions},
    {"ColorChangeMode", &ProfileRecord::ColorChangeMode},
    {"BTOption", &ProfileRecord::BTOption},
};

// config\Default<slot>.zmp under the program folder (slot 0..4).
[[nodiscard]] std::filesystem::path SlotFilePath(const std::filesystem::path& programFolder, int slot);

// Every key of a profile into a document, in key order; keys already present are replaced in place and
// other keys of the document stay.
void WriteProfileDocument(const ProfileRecord& record, IniDocument& doc);
// Every key of a profile from a document. Missing integers give -1 (255 for a dpi byte), missing texts an
// empty text, a missing or damaged button value the factory default of that slot. Texts longer than their
// field are cut to fit.
void ReadProfileDocument(ProfileRecord& record, const IniDocument& doc);

// Reads a profile file onto the record: 1, or 0 (record untouched) when the file cannot be read.
[[nodiscard]] int ReadProfileFile(ProfileRecord& record, const std::filesystem::path& path);
// Writes every key into the file, keeping keys of the file that are not ours: 1, or 0 on failure.
[[nodiscard]] int WriteProfileFile(const ProfileRecord& record, const std::filesystem::path& path);

// "FileName"/"Profile<slotNumber>" = title in config.ini (slotNumber 1..5): 1, or 0 on failure.
[[nodiscard]] int WriteSlotFileName(const std::filesystem::path& programFolder, int slotNumber,
                                    std::string_view title);

// The title of a chosen file: its name without folder and without the part from its last ".", as stored
// (system code page) text.
[[nodiscard]] std::string ProfileFileTitle(const std::filesystem::path& path);

// A profile file holds section "Setting" with at least one of the profile's keys. Anything else (a text file,
// config.ini, another program's file) is no profile: read as one, every field would become -1.
[[nodiscard]] bool IsProfileDocument(const IniDocument& doc);

// The Load button, after the user chose `chosen`: the file is copied to <title>.zmp in the program folder
// and read into the current slot of the working copy, whose 18 button change flags are set. Returns 1; 0 when
// there is no current slot or the file cannot be read, -1 when it is no profile (nothing changes, nothing is
// copied).
[[nodiscard]] int LoadProfileIntoSlot(SharedBlock& working, const std::filesystem::path& programFolder,
                                      const std::filesystem::path& chosen);
// The other slot (0..4) whose file a Save of `slot` to `chosen` would replace, or -1. The copy Save keeps is
// config\<title>.zmp, so a file named like a slot file ("Default0.zmp", in any folder and any case) would
// overwrite that slot's profile with another one; the slot's own file is allowed (it is that profile).
[[nodiscard]] int SaveTakesSlotFile(const std::filesystem::path& programFolder, int slot,
                                    const std::filesystem::path& chosen);
// The Save button, after the user chose `chosen`: the file is replaced by exactly the keys of the current
// slot's profile, its title is noted in config.ini, and a copy goes to config\<title>.zmp. Returns 1, 0
// when there is no current slot or the file cannot be written, -1 when the save would replace another slot's
// file (SaveTakesSlotFile; nothing is written).
[[nodiscard]] int SaveSlotToProfileFile(const SharedBlock& working, const std::filesystem::path& programFolder,
                                        const std::filesystem::path& chosen);

// Text fields that a decoded block may hold without a terminator are cut to fit, and a step count beyond
// the event array is limited to it, so that nothing downstream reads past a field.
void SanitizeButtonSlot(ButtonSlot& slot);
// A slot's factory default (slot 0..17).
void DefaultButtonSlot(ButtonSlot& slot, int button);

}  // namespace sarn
