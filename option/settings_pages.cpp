#include "option/settings_pages.h"

#include <array>

#include "common/private_profile.h"
#include "option/ui_texts.h"

namespace sarn {
namespace {

using Kind = PageControlKind;

ControlView& Put(std::vector<ControlView>& view, int id, bool pressed, bool enabled, int value = 0) {
  view.push_back({id, pressed, enabled, value});
  return view.back();
}

}  // namespace

const PageControlSpec* FindSpec(const PageLogic& page, int id) {
  for (const PageControlSpec& s : page.Controls()) {
    if (s.id == id) return &s;
  }
  return nullptr;
}

const ControlView* FindView(const std::vector<ControlView>& view, int id) {
  for (const ControlView& v : view) {
    if (v.id == id) return &v;
  }
  return nullptr;
}

ProfileRecord* EditedProfile(SharedBlock& working) {
  const int p = working.CurrentProfile;
  return p >= 0 && p < kProfileCount ? &working.profiles[p] : nullptr;
}

const ProfileRecord* EditedProfile(const SharedBlock& working) {
  return EditedProfile(const_cast<SharedBlock&>(working));
}

// --- Sensitivity, wheel and DPI --------------------------------------------------------------------------

int PointerSpeedFromSlider(int position) {
  static constexpr int kSpeeds[11] = {1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20};
  return position >= 1 && position <= 11 ? kSpeeds[position - 1] : 10;
}

int SliderFromPointerSpeed(int speed) {
  if (speed < 0 || speed > 20) return 6;
  // Odd speeds share the slider position of the even speed above them; 9 and 10 are the middle.
  static constexpr int kPositions[21] = {1, 1, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11};
  return kPositions[speed];
}

int DoubleClickTimeFromSlider(int position) { return 900 - position; }
int SliderFromDoubleClickTime(int milliseconds) { return 900 - milliseconds; }

int DpiLevelOfCode(int cpi) {
  for (int i = 0; i < 4; ++i) {
    if (main_page::kDpiCodes[i] == cpi) return i;
  }
  return -1;
}

DpiControls DpiRule(const ProfileRecord& profile) {
  DpiControls c{};
  const int current = DpiLevelOfCode(profile.Cpi_X);
  for (int i = 0; i < 4; ++i) {
    const bool on = profile.dpi[i] != 0;
    c.enablePressed[i] = on;
    c.levelEnabled[i] = on;
    c.levelPressed[i] = i == current;
    c.enableEnabled[i] = i != current;
  }
  return c;
}

std::span<const PageControlSpec> MainPage::Controls() const {
  using namespace main_page;
  static constexpr PageControlSpec kSpecs[] = {
      {kSensitivity, "SENSITIVITY,23,50,241,25,", Kind::kSlider, 1004, "", 1, 10, true, 0},
      {kSensitivityNumber, "Sensitivity,311,42,50,19,", Kind::kNumberBox, 1005, "", 1, 10},
      {kScrollSpeed, "Scroll speed,46,149,240,25,", Kind::kSlider, 1008, "", 1, 10, true, 0},
      {kLineScroll, "not one page,13,144,20,20,", Kind::kRadio, 1008, ""},
      {kPageScroll, "one page,13,169,190,20,", Kind::kRadio, 1009, "One page per notch"},
      {kTiltSpeed, "Tilt Speed,23,259,240,25,", Kind::kSlider, 1012, "", 1, 10, true, 0},
      {kPointSpeed, "Point Speed,414,149,216,21,", Kind::kSlider, 1010, "", 1, 11, true, 0},
      {kAcceleration, "Enable mouse acceleration,406,169,175,16,", Kind::kToggle, 1011, "Mouse acceleration"},
      {kDpiEnableFirst + 0, "400DPI,414,37,15,15,", Kind::kToggle, 1006, ""},
      {kDpiEnableFirst + 1, "800DPI,466,37,15,15,", Kind::kToggle, 1006, ""},
      {kDpiEnableFirst + 2, "1600DPI,518,37,15,15,", Kind::kToggle, 1006, ""},
      {kDpiEnableFirst + 3, "3200DPI,570,37,15,15,", Kind::kToggle, 1006, ""},
      {kDpiLevelFirst + 0, "400DPI,408,53,25,30,", Kind::kLevel, 1007, "400"},
      {kDpiLevelFirst + 1, "800DPI,461,53,25,30,", Kind::kLevel, 1007, "800"},
      {kDpiLevelFirst + 2, "1600DPI,510,53,31,30,", Kind::kLevel, 1007, "1600"},
      {kDpiLevelFirst + 3, "3200DPI,562,53,33,30,", Kind::kLevel, 1007, "3200"},
      {kDoubleClick, "Double Click speed,545,224,140,20,", Kind::kSlider, 1014, "", 0, 700, false, 1},
      {kDoubleClickTest, "Double Click Test,721,222,41,22,", Kind::kPicture, 1013, ""},
      {kReset, "BUTTON_Reset,665,275,100,25,Reset", Kind::kPush, 1015, "Reset"},
  };
  return kSpecs;
}

std::vector<ControlView> MainPage::View(const SharedBlock& working) const {
  using namespace main_page;
  std::vector<ControlView> v;
  const ProfileRecord* p = EditedProfile(working);
  // Without a selected slot there is nothing to edit: the controls show the first profile, disabled.
  const ProfileRecord& shown = p != nullptr ? *p : working.profiles[0];
  const bool on = p != nullptr;
  Put(v, kSensitivity, false, on, shown.Sensitivity_X);
  Put(v, kSensitivityNumber, false, on, shown.Sensitivity_X);
  Put(v, kScrollSpeed, false, on, shown.ScrollWheelSpeed);
  Put(v, kTiltSpeed, false, on, shown.TiltSpeed);
  Put(v, kPointSpeed, false, on, SliderFromPointerSpeed(shown.MouseSpeed));
  Put(v, kDoubleClick, false, on, SliderFromDoubleClickTime(shown.DbleClickSpeed));
  Put(v, kLineScroll, shown.ScrollWheelFlag == 0, on);
  Put(v, kPageScroll, shown.ScrollWheelFlag == 1, on);
  Put(v, kAcceleration, shown.AccelerationFlag != 0, on);
  const DpiControls dpi = DpiRule(shown);
  for (int i = 0; i < 4; ++i) {
    Put(v, kDpiEnableFirst + i, dpi.enablePressed[i], on && dpi.enableEnabled[i]);
    Put(v, kDpiLevelFirst + i, dpi.levelPressed[i], on && dpi.levelEnabled[i]);
  }
  Put(v, kDoubleClickTest, false, true);
  Put(v, kReset, false, true);
  return v;
}

PageEffects MainPage::Click(SharedBlock& working, int id, bool pressed) {
  using namespace main_page;
  PageEffects e;
  if (id == kReset) {
    e.confirmReset = true;
    return e;
  }
  ProfileRecord* p = EditedProfile(working);
  if (p == nullptr) return e;
  if (id == kLineScroll || id == kPageScroll) {
    p->ScrollWheelFlag = id == kPageScroll ? 1 : 0;
  } else if (id == kAcceleration) {
    p->AccelerationFlag = pressed ? 1 : 0;
    p->Acceleration = pressed ? 8 : 0;
  } else if (id >= kDpiEnableFirst && id < kDpiEnableFirst + 4) {
    const int level = id - kDpiEnableFirst;
    // The current level stays on whatever the click said: its toggle is disabled, and a click that still
    // arrives must not leave the mouse without its level.
    if (level != DpiLevelOfCode(p->Cpi_X)) p->dpi[level] = pressed ? 1 : 0;
  } else if (id >= kDpiLevelFirst && id < kDpiLevelFirst + 4) {
    const int level = id - kDpiLevelFirst;
    if (p->dpi[level] != 0) p->Cpi_X = p->Cpi_Y = kDpiCodes[level];
  }
  return e;
}

PageEffects MainPage::Value(SharedBlock& working, int id, int value) {
  using namespace main_page;
  PageEffects e;
  ProfileRecord* p = EditedProfile(working);
  if (p == nullptr) return e;
  const PageControlSpec* spec = FindSpec(*this, id);
  if (spec == nullptr || value < spec->minimum || value > spec->maximum) return e;
  switch (id) {
    case kSensitivity:
    case kSensitivityNumber:
      if (value != p->Sensitivity_X) p->Sensitivity_X = p->Sensitivity_Y = value;
      break;
    case kScrollSpeed: p->ScrollWheelSpeed = value; break;
    case kTiltSpeed: p->TiltSpeed = value; break;
    case kPointSpeed: p->MouseSpeed = PointerSpeedFromSlider(value); break;
    case kDoubleClick:
      p->DbleClickSpeed = DoubleClickTimeFromSlider(value);
      e.doubleClickTime = p->DbleClickSpeed;
      break;
    default: break;
  }
  return e;
}

// --- Lighting, polling and sound -------------------------------------------------------------------------

std::uint32_t LightColour(int index) {
  static constexpr std::array<std::uint32_t, advanced_page::kColourCount> kColours = {
      0xFF2D2D, 0x2DE05A, 0x2D6BFF, 0xFFD02D, 0x2DE0E0, 0xC04DF0, 0xF0F0F0};
  return index >= 0 && index < advanced_page::kColourCount ? kColours[static_cast<std::size_t>(index)] : 0;
}

std::span<const PageControlSpec> AdvancedPage::Controls() const {
  using namespace advanced_page;
  static constexpr PageControlSpec kSpecs[] = {
      {kLight, "Turn light on/off,315,58,100,16,", Kind::kToggle, 1046, "Light on"},
      {kBreathing, "Light breathing,315,76,160,16,", Kind::kToggle, 1047, "Breathing light"},
      {kSingleColour, "Choose a single color,315,108,180,20,", Kind::kRadio, 1048, "Single colour"},
      {kColourFirst + 0, "Color 1,335,133,22,22,", Kind::kSwatch, 1048, ""},
      {kColourFirst + 1, "Color 2,358,133,22,22,", Kind::kSwatch, 1048, ""},
      {kColourFirst + 2, "Color 3,381,133,22,22,", Kind::kSwatch, 1048, ""},
      {kColourFirst + 3, "Color 4,404,133,22,22,", Kind::kSwatch, 1048, ""},
      {kColourFirst + 4, "Color 5,427,133,22,22,", Kind::kSwatch, 1048, ""},
      {kColourFirst + 5, "Color 6,450,133,22,22,", Kind::kSwatch, 1048, ""},
      {kColourFirst + 6, "Color 7,473,133,22,22,", Kind::kSwatch, 1048, ""},
      {kMultiColour, "Activate multicolor ,315,176,180,20,", Kind::kRadio, 1049, "Multicolour"},
      {kModeFirst + 0, "Mode1,330,219,160,18,", Kind::kRadio, 1050, "Mode 1"},
      {kModeFirst + 1, "Mode2,330,237,160,18,", Kind::kRadio, 1051, "Mode 2"},
      {kModeFirst + 2, "Mode3,330,255,160,18,", Kind::kRadio, 1052, "Mode 3"},
      {kRateFirst + 0, "125Hz,535,36,65,18,", Kind::kRadio, 1053, "125"},
      {kRateFirst + 1, "250Hz,535,54,65,18,", Kind::kRadio, 1053, "250"},
      {kRateFirst + 2, "500Hz,535,72,65,18,", Kind::kRadio, 1053, "500"},
      {kRateFirst + 3, "1000Hz,535,90,65,18,", Kind::kRadio, 1053, "1000"},
      {kSoundProfile, "Sound FeedBack Profile Switch,537,203,125,16,", Kind::kToggle, 1055, "Profile switch"},
      {kSoundDpi, "Sound FeedBack DPi Switch,537,221,125,16,", Kind::kToggle, 1056, "DPI switch"},
      {kSoundSens, "Sound FeedBack Sensitivity Switch,537,239,125,16,", Kind::kToggle, 1057, "Sensitivity switch"},
      {kVolume, "Sound Volume,562,279,98,20,", Kind::kSlider, 1054, "", 0, 4, true, 1},
  };
  return kSpecs;
}

std::vector<ControlView> AdvancedPage::View(const SharedBlock& working) const {
  using namespace advanced_page;
  std::vector<ControlView> v;
  const ProfileRecord* p = EditedProfile(working);
  const ProfileRecord& shown = p != nullptr ? *p : working.profiles[0];
  const bool on = p != nullptr;
  // The colour rule: one colour, or the modes of the multicolour light; the other group's choice is kept.
  const bool single = shown.ColorFlag == 0;
  Put(v, kLight, shown.LightSwitch == 1, on);
  Put(v, kBreathing, shown.LightType == 1, on);
  Put(v, kSingleColour, shown.ColorFlag == 0, on);
  Put(v, kMultiColour, shown.ColorFlag == 1, on);
  for (int i = 0; i < kColourCount; ++i) Put(v, kColourFirst + i, shown.ColorOptions == i, on && single);
  for (int i = 0; i < 3; ++i) Put(v, kModeFirst + i, shown.ColorChangeMode == i, on && !single);
  for (int i = 0; i < 4; ++i) Put(v, kRateFirst + i, shown.PollingRate == i, on);
  // Sound feedback belongs to the application, not to a profile.
  Put(v, kSoundProfile, working.SoundProfile == 1, true);
  Put(v, kSoundDpi, working.SoundDpi == 1, true);
  Put(v, kSoundSens, working.SoundSens == 1, true);
  Put(v, kVolume, false, true, working.SoundVolume);
  return v;
}

PageEffects AdvancedPage::Click(SharedBlock& working, int id, bool pressed) {
  using namespace advanced_page;
  const int flag = pressed ? 1 : 0;
  if (id == kSoundProfile) working.SoundProfile = flag;
  if (id == kSoundDpi) working.SoundDpi = flag;
  if (id == kSoundSens) working.SoundSens = flag;
  ProfileRecord* p = EditedProfile(working);
  if (p == nullptr) return {};
  if (id == kLight) p->LightSwitch = flag;
  if (id == kBreathing) p->LightType = flag;
  if (id == kSingleColour) p->ColorFlag = 0;
  if (id == kMultiColour) p->ColorFlag = 1;
  if (id >= kColourFirst && id < kColourFirst + kColourCount && p->ColorFlag == 0) p->ColorOptions = id - kColourFirst;
  if (id >= kModeFirst && id < kModeFirst + 3 && p->ColorFlag != 0) p->ColorChangeMode = id - kModeFirst;
  if (id >= kRateFirst && id < kRateFirst + 4) p->PollingRate = id - kRateFirst;
  return {};
}

PageEffects AdvancedPage::Value(SharedBlock& working, int id, int value) {
  if (id == advanced_page::kVolume && value >= 0 && value <= 4) working.SoundVolume = value;
  return {};
}

// --- Support and update ----------------------------------------------------------------------------------

bool UsableWebAddress(std::string_view address) {
  const auto startsWith = [&](std::string_view scheme) {
    if (address.size() <= scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
      const char c = address[i];
      if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != scheme[i]) return false;
    }
    return true;
  };
  if (address.size() > 2000 || !(startsWith("https://") || startsWith("http://"))) return false;
  // Anything outside printable ASCII, and the characters an address must carry encoded, could make the shell
  // open something else than what the release named (or a file of that name).
  for (const char c : address) {
    if (c <= ' ' || c > '~' || std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos) return false;
  }
  const std::size_t host = address.find("//") + 2;
  return host < address.size() && address[host] != '/';
}

bool UsableMailAddress(std::string_view address) {
  if (address.size() > 7 && (address.substr(0, 7) == "mailto:" || address.substr(0, 7) == "MAILTO:")) {
    address.remove_prefix(7);
  }
  const std::size_t at = address.find('@');
  if (address.size() > 254 || at == std::string_view::npos || at == 0 ||
      address.find('@', at + 1) != std::string_view::npos) {
    return false;
  }
  const std::string_view local = address.substr(0, at), domain = address.substr(at + 1);
  const auto alnum = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
  for (const char c : local) {
    if (!alnum(c) && std::string_view(".!#$%&'*+/=^_`{|}~-").find(c) == std::string_view::npos) return false;
  }
  if (domain.empty() || domain.front() == '.' || domain.back() == '.' || domain.find('.') == std::string_view::npos ||
      domain.find("..") != std::string_view::npos) {
    return false;
  }
  for (const char c : domain) {
    if (!alnum(c) && c != '.' && c != '-') return false;
  }
  return true;
}

SupportLinks ParseSupportLinks(std::string_view fileBytes) {
  const IniDocument ini = IniDocument::Parse(fileBytes);
  SupportLinks links;
  const auto web = [&](const char* key) {
    std::string v = ini.GetString(kLinksSection, key, "");
    return UsableWebAddress(v) ? v : std::string();
  };
  links.support = web("Support");
  links.update = web("Update");
  std::string mail = ini.GetString(kLinksSection, "Mail", "");
  if (UsableMailAddress(mail)) {
    if (mail.size() > 7 && (mail.compare(0, 7, "mailto:") == 0 || mail.compare(0, 7, "MAILTO:") == 0)) {
      mail.erase(0, 7);
    }
    links.mail = "mailto:" + mail;
  }
  return links;
}

SupportAddresses BuildSupportAddresses(const SupportLinks& links, std::string manual) {
  return {links.update, std::move(manual), links.support, links.mail};
}

std::string VersionLabel(std::string_view versionText) { return "V" + std::string(versionText); }

std::span<const PageControlSpec> UpdatePage::Controls() const {
  using namespace update_page;
  static constexpr PageControlSpec kSpecs[] = {
      {kUpdate, "BUTTON_update,15,81,200,34,", Kind::kPush, 1060, "Driver download"},
      {kHelp, "BUTTON_help,405,81,200,34,", Kind::kPush, 1062, "Support pages"},
      {kMailRequest, "BUTTON_Email_Request,10,265,100,30,", Kind::kPush, 1061, "Mail request", 0, 0, false, 0, true},
      {kSupportForm, "BUTTON_Support_Form,400,210,100,30,", Kind::kPush, 1063, "Support form", 0, 0, false, 0, true},
      {kSupportMail, "BUTTON_Support_Form,400,265,100,30,", Kind::kPush, 1064, "Mail support", 0, 0, false, 0, true},
  };
  return kSpecs;
}

const std::string* UpdatePage::AddressOf(int id) const {
  using namespace update_page;
  switch (id) {
    case kUpdate: return &addresses_.download;
    case kHelp: return &addresses_.manual;
    case kSupportForm: return &addresses_.form;
    // Both of these start a mail, though one carries the support form's layout name.
    case kMailRequest:
    case kSupportMail: return &addresses_.mail;
    default: return nullptr;
  }
}

int UpdatePage::UnavailableReason(int id) const {
  const std::string* address = AddressOf(id);
  if (address == nullptr || !address->empty()) return 0;
  return id == update_page::kHelp ? ui::kManualMissing : ui::kNotInThisBuild;
}

std::vector<ControlView> UpdatePage::View(const SharedBlock&) const {
  std::vector<ControlView> v;
  for (const PageControlSpec& s : Controls()) Put(v, s.id, false, UnavailableReason(s.id) == 0);
  return v;
}

PageEffects UpdatePage::Click(SharedBlock&, int id, bool) {
  PageEffects e;
  if (const std::string* address = AddressOf(id)) e.openAddress = *address;
  return e;
}

}  // namespace sarn
