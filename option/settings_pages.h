// The settings pages apart from any window: which controls each page has (layout strings, kinds, help-text
// numbers), what every control shows for the working copy, and what a click or a new value writes. The Win32
// page builds its controls from the table, shows the view and hands clicks and values back here, so every
// rule (DPI levels, pointer-speed table, colour rule, double-click arithmetic) is tested without a window.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/profile_record.h"

namespace sarn {

enum class PageControlKind {
  kPush,       // push button (reset, the support buttons)
  kToggle,     // flips its own pressed look on each click
  kRadio,      // member of a group whose pressed look the page sets
  kSwatch,     // radio member showing one of the seven colours
  kLevel,      // DPI level choice (radio member with the level's number)
  kSlider,
  kNumberBox,
  kPicture,    // the double-click test
};

struct PageControlSpec {
  int id;
  const char* layout;  // NAME,x,y,w,h,tip in page pixels
  PageControlKind kind;
  int helpNumber;      // string of the language library, 0 for none
  const char* label;   // painted into the control's images; may be empty
  int minimum = 0, maximum = 0;
  bool snap = false;
  int thumb = 0;       // sliders: 0 the wide thumb, 1 the small one
  bool linkPointer = false;
};

// What one control shows.
struct ControlView {
  int id = 0;
  bool pressed = false;
  bool enabled = true;
  int value = 0;  // sliders and number boxes
  bool operator==(const ControlView&) const = default;
};

// What the window must do after a click or a value, beyond showing the view again.
struct PageEffects {
  std::optional<int> doubleClickTime;  // set the Windows double-click time now (milliseconds)
  bool confirmReset = false;           // ask; on OK restore the factory settings and apply
  std::string openAddress;             // hand to the shell with "open"
  bool operator==(const PageEffects&) const = default;
};

class PageLogic {
 public:
  virtual ~PageLogic() = default;
  [[nodiscard]] virtual std::span<const PageControlSpec> Controls() const = 0;
  // Every control's look for the working copy: the selected profile and the application settings.
  [[nodiscard]] virtual std::vector<ControlView> View(const SharedBlock& working) const = 0;
  // A click on control `id`; `pressed` is a toggle's look after the click.
  virtual PageEffects Click(SharedBlock& working, int id, bool pressed) = 0;
  // A slider position (1094) or a number-box value (1114).
  virtual PageEffects Value(SharedBlock& working, int id, int value) = 0;
};

[[nodiscard]] const PageControlSpec* FindSpec(const PageLogic& page, int id);
[[nodiscard]] const ControlView* FindView(const std::vector<ControlView>& view, int id);
// The profile the pages edit: the working copy's selected slot, or none when no slot is selected.
[[nodiscard]] ProfileRecord* EditedProfile(SharedBlock& working);
[[nodiscard]] const ProfileRecord* EditedProfile(const SharedBlock& working);

// --- Sensitivity, wheel and DPI --------------------------------------------------------------------------
namespace main_page {
inline constexpr int kSensitivity = 300, kScrollSpeed = 301, kTiltSpeed = 302, kPointSpeed = 303,
                     kDoubleClick = 304;
inline constexpr int kSensitivityNumber = 400;
inline constexpr int kLineScroll = 310, kPageScroll = 311, kAcceleration = 312;
inline constexpr int kDpiEnableFirst = 320;  // 320..323
inline constexpr int kDpiLevelFirst = 330;   // 330..333
inline constexpr int kReset = 340, kDoubleClickTest = 341;
inline constexpr int kDpiCodes[4] = {1, 2, 4, 7};  // 400, 800, 1600, 3200 DPI
}  // namespace main_page

// Slider position 1..11 to the Windows pointer speed; any other position gives 10.
[[nodiscard]] int PointerSpeedFromSlider(int position);
// The slider position for a pointer speed; 9, 10 and anything outside 0..20 give 6.
[[nodiscard]] int SliderFromPointerSpeed(int speed);
// Slider 0..700 to milliseconds 900..200, and back.
[[nodiscard]] int DoubleClickTimeFromSlider(int position);
[[nodiscard]] int SliderFromDoubleClickTime(int milliseconds);
// The level index 0..3 of a Cpi code, or -1.
[[nodiscard]] int DpiLevelOfCode(int cpi);

struct DpiControls {
  bool enablePressed[4];
  bool enableEnabled[4];
  bool levelPressed[4];
  bool levelEnabled[4];
};
// The current level can never be switched off and a level that is off cannot be chosen.
[[nodiscard]] DpiControls DpiRule(const ProfileRecord& profile);

class MainPage final : public PageLogic {
 public:
  std::span<const PageControlSpec> Controls() const override;
  std::vector<ControlView> View(const SharedBlock& working) const override;
  PageEffects Click(SharedBlock& working, int id, bool pressed) override;
  PageEffects Value(SharedBlock& working, int id, int value) override;
};

// --- Lighting, polling and sound -------------------------------------------------------------------------
namespace advanced_page {
inline constexpr int kVolume = 200;
inline constexpr int kLight = 210, kBreathing = 211, kSingleColour = 212, kMultiColour = 213;
inline constexpr int kColourFirst = 220;  // 220..226
inline constexpr int kModeFirst = 230;    // 230..232
inline constexpr int kRateFirst = 240;    // 240..243: 125, 250, 500, 1000 Hz
inline constexpr int kSoundProfile = 250, kSoundDpi = 251, kSoundSens = 252;
inline constexpr int kColourCount = 7;
}  // namespace advanced_page

// The seven colours of the colour buttons, as 0x00RRGGBB.
[[nodiscard]] std::uint32_t LightColour(int index);

class AdvancedPage final : public PageLogic {
 public:
  std::span<const PageControlSpec> Controls() const override;
  std::vector<ControlView> View(const SharedBlock& working) const override;
  PageEffects Click(SharedBlock& working, int id, bool pressed) override;
  PageEffects Value(SharedBlock& working, int id, int value) override;
};

// --- Support and update ----------------------------------------------------------------------------------
namespace update_page {
inline constexpr int kUpdate = 260, kHelp = 261, kMailRequest = 262, kSupportForm = 263, kSupportMail = 264;
}  // namespace update_page

// The addresses of this build's support site and mail, read from links.ini beside the program, which the
// release build writes (scripts/release --support-url, --update-url, --mail; docs/release.md). A build
// without them leaves them empty and the page shows their buttons unavailable.
inline constexpr const char* kLinksFileName = "links.ini";
inline constexpr const char* kLinksSection = "Links";
struct SupportLinks {
  std::string support, update, mail;  // mail as "mailto:ADDRESS"; each empty when not set or not usable
  bool operator==(const SupportLinks&) const = default;
};
[[nodiscard]] SupportLinks ParseSupportLinks(std::string_view fileBytes);
// An http or https address that the shell opens as it stands: printable ASCII, no blanks or quotes.
[[nodiscard]] bool UsableWebAddress(std::string_view address);
// NAME@DOMAIN (a leading "mailto:" allowed) with nothing a mail address cannot hold.
[[nodiscard]] bool UsableMailAddress(std::string_view address);

// What each button opens; empty: unavailable. `manual` is the README.txt installed with the program (a
// path), empty when it is not there.
struct SupportAddresses {
  std::string download, manual, form, mail;
};
[[nodiscard]] SupportAddresses BuildSupportAddresses(const SupportLinks& links, std::string manual);
// "V" and the version text: "V1.28", "VN/A".
[[nodiscard]] std::string VersionLabel(std::string_view versionText);

class UpdatePage final : public PageLogic {
 public:
  std::span<const PageControlSpec> Controls() const override;
  std::vector<ControlView> View(const SharedBlock& working) const override;
  PageEffects Click(SharedBlock& working, int id, bool pressed) override;
  PageEffects Value(SharedBlock&, int, int) override { return {}; }
  void SetAddresses(SupportAddresses addresses) { addresses_ = std::move(addresses); }
  // The number of the label that says why button `id` is unavailable; 0 while it is available.
  [[nodiscard]] int UnavailableReason(int id) const;

 private:
  [[nodiscard]] const std::string* AddressOf(int id) const;
  SupportAddresses addresses_;
};

}  // namespace sarn
