#include "option/main_window_win.h"

#include <windowsx.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/json_writer.h"
#include "common/registry.h"
#include "common/settings_file.h"
#include "common/shared_block.h"
#include "common/text_encoding.h"
#include "option/dialogs_win.h"
#include "option/option_core.h"
#include "option/option_page_win.h"
#include "option/settings_pages.h"
#include "option/skin_kit_win.h"
#include "option/skin_painter_win.h"
#include "option/skin_surface_win.h"
#include "option/ui_text_win.h"
#include "option/ui_texts.h"

namespace sarn::win {
namespace {

constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 600;
constexpr int kPageCount = 5;
constexpr int kMainPage = 0;

// One control of the main window: its layout string, its look, the number of the label painted into its
// images and the number of its help text in the language library (0: none).
struct MainControl {
  const char* layout;
  int id;
  SkinLook look;
  int label;
  int textNumber;
};

// Page tabs, in page order.
constexpr MainControl kTabs[kPageCount] = {
    {"Main,4,75,160,38,Main settings for the selected device", kIdTabFirst + 0, SkinLook::kTab, ui::kTabMain, 1003},
    {"Button Assign,164,75,157,38,Assign a function to each mouse button", kIdTabFirst + 1, SkinLook::kTab,
     ui::kTabButtons, 1037},
    {"Advanced,321,75,157,38,Advanced settings for the selected device", kIdTabFirst + 2, SkinLook::kTab,
     ui::kTabAdvanced, 1045},
    {"Console,478,75,0,0,Get help and support", kIdTabFirst + 3, SkinLook::kTab, 0, 0},
    {"Update,478,75,157,38,Check for the lastest driver update", kIdTabFirst + 4, SkinLook::kTab, ui::kTabUpdate, 1059},
};

constexpr MainControl kButtons[] = {
    {"Create,290,450,110,25,Create a new profile for the selected profile slot", kIdCreate, SkinLook::kPush,
     ui::kCreate, 1018},
    {"Load,430,450,110,25,Load a new profile for the selected profile slot", kIdLoad, SkinLook::kPush, ui::kLoad, 1019},
    {"Save,560,450,110,25,Save the current setting of the selected profile slot", kIdSave, SkinLook::kPush, ui::kSave,
     1020},
    {"Edit,685,450,110,25,Edit the profile settings of the selected profile slot", kIdEdit, SkinLook::kPush, ui::kEdit,
     1021},
    {"Min,749, 4,22,22,Minimize the application", kIdMin, SkinLook::kMinimize, 0, 1001},
    {"Exit,771, 4,22,22,Close the application without saving the changes to the device", kIdExit, SkinLook::kClose,
     0, 1002},
    {"OK,582,563,58,30,Save the setting on the device and close the application", kIdOk, SkinLook::kPrimary, ui::kOk,
     1034},
    {"Apply,640,563,72,30,Apply the setting to the device", kIdApply, SkinLook::kPrimary, ui::kApply, 1035},
    {"Cancel,712,563,80,30,Close the application without saving the changes to the device", kIdCancel,
     SkinLook::kPush, ui::kCancel, 1036},
    {"button language,12, 570,32,17,Select language", kIdLanguage, SkinLook::kSmallBox, 0, 1090},
};

constexpr const char* kSlotLayouts[kProfileCount] = {
    "Profile 1,8, 485,155,25,Click here to activate profile slot #1",
    "Profile 2,165, 485,155,25,Click here to activate profile slot #2",
    "Profile 3,322, 485,155,25,Click here to activate profile slot #3",
    "Profile 4,479, 485,156,25,Click here to activate profile slot #4",
    "Profile 5,637, 485,155,25,Click here to activate profile slot #5"};
constexpr const char* kMarkLayouts[kProfileCount] = {
    "windows profile,139, 514,22,22,", "windows profile,296, 514,22,22,", "windows profile,453, 514,22,22,",
    "windows profile,611, 514,22,22,", "windows profile,769, 514,22,22,"};
constexpr const char* kNameLayouts[kProfileCount] = {
    "Profile 1 name,8,   514,124,21,Profile assigned to profile slot #1",
    "Profile 2 name,167,   514,124,21,Profile assigned to profile slot #2",
    "Profile 3 name,324,   514,124,21,Profile assigned to profile slot #3",
    "Profile 4 name,481,   514,124,21,Profile assigned to profile slot #4",
    "Profile 5 name,639,   514,124,21,Profile assigned to profile slot #5"};
constexpr const char* kPageArea = "Page position,12,124,774,312,";
constexpr RECT kMouseTypeRect = {7, 34, 178, 79};
constexpr RECT kHelpArea = {56, 566, 570, 592};
constexpr int kSlotTextFirst = 1022, kNameTextFirst = 1027, kMarkText = 1032, kMarkSetText = 1033;

// Short names the language button shows, by language index.
constexpr const wchar_t* kLanguageCodes[kLanguageCount] = {L"DA", L"EN", L"FI", L"FR", L"DE", L"IT",
                                                           L"JA", L"KO", L"PL", L"RU", L"ZH", L"ES",
                                                           L"SV", L"TH", L"TW", L"TR", L"VI"};

std::wstring FromStored(const char* field, std::size_t size) {
  return Utf8ToWide(AnsiToUtf8(std::string(field, TextFieldLength(field, size))));
}

class Win32MonitorLink final : public MonitorLink {
 public:
  ApplyAnswer SendApplyAll(int reason) override {
    HWND monitor = FindWindowA(nullptr, kMonitorWindowTitle);
    if (monitor == nullptr) return ApplyAnswer::kNoMonitor;
    // Sent, not posted: the monitor writes the mouse before it answers, and we wait for that, but never
    // longer than the slowest write the mouse allows; a monitor the system already knows as hung is not
    // waited for at all.
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(monitor, kMsgApplyAll, static_cast<WPARAM>(reason), 0, SMTO_ABORTIFHUNG,
                               static_cast<UINT>(kApplyAllAnswerLimit.count()), &result) != 0
               ? ApplyAnswer::kAnswered
               : ApplyAnswer::kNoAnswer;
  }
  void PostApplyToDisplays() override {
    for (const char* title : kDisplayWindowTitles) {
      if (HWND w = FindWindowA(nullptr, title)) PostMessageA(w, kMsgApplyAll, 0, 0);
    }
  }
};

// Pages in page order, and the kind each one is.
constexpr PageKind kPageKinds[kPageCount] = {PageKind::kMain, PageKind::kButtons, PageKind::kAdvanced,
                                             PageKind::kEmpty, PageKind::kUpdate};

class MainWindow final : public OptionShell, public PageHost {
 public:
  MainWindow(HINSTANCE instance, std::filesystem::path folder)
      : instance_(instance), folder_(std::move(folder)), registry_(MakeWindowsRegistry()),
        storage_(folder_, registry_.get()) {}

  ~MainWindow() override {
    FreeLanguageLibrary();
    if (icon_ != nullptr) DestroyIcon(icon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
    if (versionFont_ != nullptr) DeleteObject(versionFont_);
    if (helpFont_ != nullptr) DeleteObject(helpFont_);
  }

  bool Create();
  void Initialise();
  [[nodiscard]] HWND hwnd() const { return hwnd_; }
  // Esc, Enter and Ctrl+(Shift+)Tab of the whole window; true when the key was taken.
  bool TranslateKey(const MSG& msg);

  // OptionShell
  void SetBusy(bool busy) override;
  void EnableApplyButtons() override;
  void Refresh(RefreshScope scope) override;
  void ReloadLanguage() override;
  void RebuildSupportAddresses() override {}
  bool ConfirmWindowsProfile(int slotNumber) override { return ConfirmWindowsProfileDialog(hwnd_, dpi_, slotNumber); }
  bool EditProfileTexts(ProfileTexts& texts) override { return ProfileSettingsDialog(hwnd_, dpi_, texts); }
  std::filesystem::path ChooseProfileToLoad() override { return ChooseProfileFile(hwnd_, false); }
  std::filesystem::path ChooseProfileToSave() override {
    const std::filesystem::path chosen = ChooseProfileFile(hwnd_, true);
    const int slot = core_ != nullptr ? core_->working().CurrentProfile : -1;
    const std::string refusal = chosen.empty() ? std::string() : SaveRefusalText(folder_, slot, chosen);
    if (refusal.empty()) return chosen;
    MessageBoxW(hwnd_, Utf8ToWide(refusal).c_str(), Utf8ToWide(kOptionWindowTitle).c_str(), MB_OK | MB_ICONEXCLAMATION);
    return {};
  }
  void ReportApplyNotAnswered() override;

  // PageHost
  SharedBlock* Working() override { return core_ != nullptr ? &core_->working() : nullptr; }
  void RestoreDefaultsAfterConfirmation() override {
    if (core_ != nullptr && ConfirmResetDialog(hwnd_, dpi_)) core_->RestoreDefaults();
  }
  int Dpi() const override { return dpi_; }
  std::wstring ProgramFolder() const override {
    std::wstring f = folder_.wstring();
    if (!f.empty() && f.back() != L'\\' && f.back() != L'/') f += L'\\';
    return f;
  }
  MacroStore* Macros() override { return core_ != nullptr ? &core_->macros() : nullptr; }
  TimerList* Timers() override { return core_ != nullptr ? &core_->timers() : nullptr; }
  void SaveTimers() override {
    if (core_ != nullptr) core_->SaveTimers();
  }
  void SaveMacros() override {
    if (core_ != nullptr) core_->SaveMacros();
  }
  void ReloadMacros() override {
    if (core_ != nullptr) core_->ReloadMacros();
  }
  int OsClass() const override { return osClass_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void BuildControls();
  // The skins with the loaded language's labels; painted again only when a label or the face changed.
  void PaintSkins();
  // The page, built when it is first asked for; nullptr when it cannot be built.
  OptionPage* Page(int page);
  [[nodiscard]] static TextLookup LanguageTexts() {
    return [](int number, const std::string& fallback) { return LanguageText(number, fallback); };
  }
  void OnCommand(int id);
  void ShowPage(int page);
  void Paint(HDC dc, const RECT& dirty);
  void CloseWindow();
  void Describe(HWND replyTo) const;
  [[nodiscard]] RECT Scaled(const RECT& r) const {
    return RECT{MulDiv(r.left, dpi_, 96), MulDiv(r.top, dpi_, 96), MulDiv(r.right, dpi_, 96),
                MulDiv(r.bottom, dpi_, 96)};
  }

  HINSTANCE instance_;
  std::filesystem::path folder_;
  std::unique_ptr<RegistryPort> registry_;
  FileStorage storage_;
  Win32MonitorLink monitorLink_;
  std::unique_ptr<Win32SharedBlock> block_;
  std::unique_ptr<OptionCore> core_;
  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  std::unique_ptr<SkinSurface> surface_;
  PageSkin skin_;
  PageSkin markedSkin_;  // the marked "windows profile" toggles sit where the unmarked ones are
  Bitmap mouseTypeBadge_;
  std::array<std::unique_ptr<OptionPage>, kPageCount> pages_;
  int shownPage_ = -1;
  std::wstring paintedLabels_;  // the labels and face the skins were painted with
  HICON icon_ = nullptr, smallIcon_ = nullptr;
  HFONT versionFont_ = nullptr, helpFont_ = nullptr;
  int osClass_ = 0;
  std::wstring helpShown_;
  // The help line as drawn: the help text, or when there is none and the monitor found no mouse, where to
  // read why.
  [[nodiscard]] std::wstring HelpLine() const {
    if (helpShown_.empty() && core_ != nullptr && core_->mouseMissing()) return Label(ui::kNoMouse);
    return helpShown_;
  }
};

// The end-to-end driver asks for the window's controls with this message (wParam: its window) and gets them
// back as JSON in a WM_COPYDATA. The shipped program answers it, because the end-to-end tests run the shipped
// program; so any program can send it, and the answer is bounded: it goes only to a program that is waiting
// for it (the message was sent, not posted), only to a live window of another process, and the send gives
// up after kDescribeReplyMs or at once when that window is hung. A stranger naming a window that does not
// pump costs the window that long, never its life.
constexpr UINT kDescribeReplyMs = 250;

UINT DescribeMessage() {
  static const UINT message = RegisterWindowMessageW(L"SarnOption_Describe");
  return message;
}

bool MainWindow::Create() {
  HDC screen = GetDC(nullptr);
  dpi_ = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  if (dpi_ < 96) dpi_ = 96;

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance_;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = L"SarnOptionMain";
  RegisterClassExW(&wc);
  RegisterPageClass(instance_);
  RegisterSkinClasses(instance_);

  const int w = MulDiv(kWindowWidth, dpi_, 96), h = MulDiv(kWindowHeight, dpi_, 96);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  hwnd_ = CreateWindowExW(WS_EX_APPWINDOW, L"SarnOptionMain", L"", WS_POPUP | WS_MINIMIZEBOX | WS_SYSMENU |
                          WS_CLIPCHILDREN, std::max(0, x), std::max(0, y), w, h, nullptr, nullptr, instance_, this);
  if (hwnd_ == nullptr) return false;

  // Creation, before the window is shown: icon, controls and their skins, pages, shape.
  // Icon 128 of the program; drawn here only when the resource is missing.
  auto icon = [&](int metric) {
    const int size = GetSystemMetrics(metric);
    auto* loaded = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(128), IMAGE_ICON, size, size, 0));
    return loaded != nullptr ? loaded : PaintProgramIcon(size);
  };
  icon_ = icon(SM_CXICON);
  smallIcon_ = icon(SM_CXSMICON);
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  versionFont_ = SkinFont(14, dpi_, false, L"Arial");
  helpFont_ = SkinFont(12, dpi_);
  // Captions drawn by the buttons themselves (profile names, the language) follow the screen scale too.
  SetSkinButtonCaptionFont(SkinFont(12, dpi_, false, L"宋体"));
  SetHelpTarget(hwnd_);
  surface_ = std::make_unique<SkinSurface>(hwnd_);
  BuildControls();
  ShowPage(kMainPage);
  SetWindowRgn(hwnd_, ShapeFromImage(skin_.background), FALSE);
  return true;
}

void MainWindow::PaintSkins() {
  std::vector<std::wstring> slotLabels;
  std::wstring signature = LabelFace();
  for (int i = 0; i < kProfileCount; ++i) slotLabels.push_back(LabelWith(ui::kProfileSlot, std::to_wstring(i + 1)));
  const std::wstring software = Label(ui::kSoftware), firmware = Label(ui::kFirmware), wireless = Label(ui::kWireless);
  for (const MainControl& c : kTabs) signature += L'|' + Label(c.label);
  for (const MainControl& c : kButtons) signature += L'|' + Label(c.label);
  for (const std::wstring& l : slotLabels) signature += L'|' + l;
  signature += L'|' + software + L'|' + firmware + L'|' + wireless;
  if (signature == paintedLabels_) return;
  paintedLabels_ = std::move(signature);

  PageDesign design;
  design.width = kWindowWidth;
  design.height = kWindowHeight;
  design.dpi = dpi_;
  design.roundedWindow = true;
  design.brand = L"SARN[+]";
  design.panels = {RECT{4, 442, 797, 543}};
  design.notes = {{POINT{145, 13}, software}, {POINT{245, 13}, firmware}};
  std::vector<SkinPart> parts, marked;
  for (const MainControl& c : kTabs) parts.push_back({LayoutRect(ParseLayout(c.layout), dpi_), c.look, Label(c.label)});
  for (const MainControl& c : kButtons) parts.push_back({LayoutRect(ParseLayout(c.layout), dpi_), c.look, Label(c.label)});
  for (int i = 0; i < kProfileCount; ++i) {
    parts.push_back({LayoutRect(ParseLayout(kSlotLayouts[i]), dpi_), SkinLook::kSlot, slotLabels[i]});
    parts.push_back({LayoutRect(ParseLayout(kNameLayouts[i]), dpi_), SkinLook::kField, L""});
    parts.push_back({LayoutRect(ParseLayout(kMarkLayouts[i]), dpi_), SkinLook::kMark, L""});
    marked.push_back({LayoutRect(ParseLayout(kMarkLayouts[i]), dpi_), SkinLook::kMarkSet, L""});
  }
  for (const MainControl& c : kTabs) surface_->SetLabel(c.id, Label(c.label));
  for (const MainControl& c : kButtons) surface_->SetLabel(c.id, Label(c.label));
  for (int i = 0; i < kProfileCount; ++i) surface_->SetLabel(kIdSlotFirst + i, slotLabels[i]);
  // The controls keep pointing at these members; only the images in them are new.
  skin_ = PaintPageSkin(design, parts);
  markedSkin_.background = CutImage(skin_.background, RECT{0, 0, skin_.background.width, skin_.background.height});
  PaintStateImages(markedSkin_, marked, dpi_);

  // The picture shown for the wireless model.
  PageDesign badge;
  badge.width = kMouseTypeRect.right - kMouseTypeRect.left;
  badge.height = kMouseTypeRect.bottom - kMouseTypeRect.top;
  badge.dpi = dpi_;
  badge.notes = {{POINT{10, 12}, wireless}};
  mouseTypeBadge_ = std::move(PaintPageSkin(badge, {}).background);
  if (surface_ != nullptr) InvalidateRect(hwnd_, nullptr, FALSE);
}

void MainWindow::BuildControls() {
  PaintSkins();
  auto make = [&](const char* layout, int id, const PageSkin& skin, bool link) {
    SkinButtonOptions o;
    o.notifyId = id;
    o.linkPointer = link;
    o.help = Utf8ToWide(ParseLayout(layout).tip);
    surface_->AddButton(id, LayoutRect(ParseLayout(layout), dpi_), &skin, o);
  };
  for (const MainControl& c : kTabs) make(c.layout, c.id, skin_, false);
  for (const MainControl& c : kButtons) make(c.layout, c.id, skin_, false);
  for (int i = 0; i < kProfileCount; ++i) {
    make(kSlotLayouts[i], kIdSlotFirst + i, skin_, false);
    make(kNameLayouts[i], kIdNameFirst + i, skin_, false);
    make(kMarkLayouts[i], kIdMarkFirst + i, skin_, true);
    make(kMarkLayouts[i], kIdMarkSetFirst + i, markedSkin_, true);
    surface_->SetVisible(kIdMarkSetFirst + i, false);
  }
  surface_->AddPicture(kIdMouseTypePicture, Scaled(kMouseTypeRect), &mouseTypeBadge_, false, L"");
  surface_->SetVisible(kIdMouseTypePicture, false);
}

OptionPage* MainWindow::Page(int page) {
  if (page < 0 || page >= kPageCount) return nullptr;
  auto& slot = pages_[static_cast<std::size_t>(page)];
  if (slot == nullptr) {
    // Pages are built when first shown: only the Main page is part of the start.
    slot = CreateSettingsPage(kPageKinds[page], hwnd_, kIdPageFirst + page, LayoutRect(ParseLayout(kPageArea), dpi_),
                              *this);
    if (slot != nullptr && core_ != nullptr) {
      slot->ReloadTexts(LanguageTexts());
      slot->SetVersions(kSoftwareVersionText, core_->firmwareText());
      slot->Refresh();
    }
  }
  return slot.get();
}

void MainWindow::Initialise() {
  SetWindowTextW(hwnd_, Utf8ToWide(kOptionWindowTitle).c_str());
  bool mapFailed = false;
  block_ = Win32SharedBlock::OpenForOption(mapFailed);
  if (mapFailed) MessageBoxW(hwnd_, L"Could not map view of file.", Utf8ToWide(kOptionWindowTitle).c_str(), MB_OK);
  core_ = std::make_unique<OptionCore>(*this, monitorLink_, storage_, block_.get(),
                                       [] { return DetectLanguage(LanguageIdSource{}); });
  core_->Start();
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (GetVersionExW(&version)) {
#pragma GCC diagnostic pop
    osClass_ = OperatingSystemClass(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion);
  }
}

void MainWindow::ReloadLanguage() {
  const int lan = core_ != nullptr ? core_->working().QuickHelpLan : 1;
  LoadLanguageLibrary(LanguageLibraryPath(folder_, lan), LanguagePictureIndex(lan));
  if (helpFont_ != nullptr) DeleteObject(helpFont_);
  helpFont_ = SkinFont(12, dpi_);
  PaintSkins();
  auto setHelp = [&](int id, const char* layout, int number) {
    surface_->SetHelp(id, LanguageText(number, ParseLayout(layout).tip));
  };
  for (const MainControl& c : kTabs) setHelp(c.id, c.layout, c.textNumber);
  for (const MainControl& c : kButtons) setHelp(c.id, c.layout, c.textNumber);
  for (int i = 0; i < kProfileCount; ++i) {
    setHelp(kIdSlotFirst + i, kSlotLayouts[i], kSlotTextFirst + i);
    setHelp(kIdNameFirst + i, kNameLayouts[i], kNameTextFirst + i);
    setHelp(kIdMarkFirst + i, kMarkLayouts[i], kMarkText);
    setHelp(kIdMarkSetFirst + i, kMarkLayouts[i], kMarkSetText);
  }
  surface_->SetCaption(kIdLanguage, kLanguageCodes[LanguagePictureIndex(lan)]);
  for (auto& page : pages_) {
    if (page != nullptr) page->ReloadTexts(LanguageTexts());
  }
}

void MainWindow::Refresh(RefreshScope scope) {
  if (core_ == nullptr) return;
  const SharedBlock& w = core_->working();
  const bool whole = scope == RefreshScope::kWholeWindow;
  if (whole) {
    if (w.CurrentProfile >= 0 && w.CurrentProfile < kProfileCount) {
      for (int i = 0; i < kProfileCount; ++i) surface_->SetPressed(kIdSlotFirst + i, i == w.CurrentProfile);
    }
    surface_->SetVisible(kIdMouseTypePicture, w.MouseType == 1);
    surface_->SetCaption(kIdLanguage, kLanguageCodes[LanguagePictureIndex(w.QuickHelpLan)]);
  }
  if (whole || scope == RefreshScope::kSlotMarks) {
    for (int i = 0; i < kProfileCount; ++i) {
      surface_->SetVisible(kIdMarkFirst + i, i != w.WindowsProfile);
      surface_->SetVisible(kIdMarkSetFirst + i, i == w.WindowsProfile);
    }
  }
  if (whole || scope == RefreshScope::kNameFields) {
    for (int i = 0; i < kProfileCount; ++i) {
      const ProfileRecord& p = w.profiles[i];
      surface_->SetCaption(kIdNameFirst + i, FromStored(p.ProFileName, sizeof p.ProFileName));
      surface_->SetPressed(kIdNameFirst + i, i == w.CurrentProfile);
    }
  }
  if (whole || scope == RefreshScope::kVersionTexts) {
    InvalidateRect(hwnd_, nullptr, FALSE);
    for (auto& page : pages_) {
      if (page != nullptr) page->SetVersions(kSoftwareVersionText, core_->firmwareText());
    }
  }
  if (whole) {
    for (auto& page : pages_) {
      if (page != nullptr) page->Refresh();
    }
  } else if (scope == RefreshScope::kMainPage && pages_[kMainPage] != nullptr) {
    pages_[kMainPage]->Refresh();
  }
}

void MainWindow::SetBusy(bool busy) {
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(busy ? IDC_WAIT : IDC_ARROW)));
  surface_->SetEnabled(kIdOk, !busy);
  surface_->SetEnabled(kIdApply, !busy);
}

void MainWindow::ReportApplyNotAnswered() {
  OutputDebugStringA("CSarnOption Apply: the monitor did not answer ApplyAll; the changes stay to be applied\n");
  helpShown_ = L"The monitor did not answer: your changes are saved and go to the mouse with the next Apply.";
  const RECT help = Scaled(kHelpArea);
  InvalidateRect(hwnd_, &help, FALSE);
}

void MainWindow::EnableApplyButtons() {
  surface_->SetEnabled(kIdOk, true);
  surface_->SetEnabled(kIdApply, true);
}

void MainWindow::ShowPage(int page) {
  if (page == shownPage_) return;
  OptionPage* shown = Page(page);
  if (shown == nullptr) return;
  if (shownPage_ >= 0) ShowWindow(pages_[static_cast<std::size_t>(shownPage_)]->hwnd(), SW_HIDE);
  shownPage_ = page;
  ShowWindow(shown->hwnd(), SW_SHOW);
  for (int p = 0; p < kPageCount; ++p) surface_->SetPressed(kIdTabFirst + p, p == page);
}

void MainWindow::CloseWindow() {
  if (GetCapture() != nullptr) ReleaseCapture();
  DestroyWindow(hwnd_);
}

void MainWindow::OnCommand(int id) {
  if (id >= kIdTabFirst && id < kIdTabFirst + kPageCount) return ShowPage(id - kIdTabFirst);
  if (id >= kIdSlotFirst && id < kIdSlotFirst + kProfileCount) return core_->SelectSlot(id - kIdSlotFirst);
  if (id >= kIdMarkFirst && id < kIdMarkFirst + kProfileCount) return core_->ToggleWindowsProfile(id - kIdMarkFirst);
  if (id >= kIdMarkSetFirst && id < kIdMarkSetFirst + kProfileCount) {
    return core_->ToggleWindowsProfile(id - kIdMarkSetFirst);
  }
  switch (id) {
    case kIdCreate: core_->CreateProfile(); break;
    case kIdEdit: core_->EditProfile(); break;
    case kIdLoad: (void)core_->LoadProfile(); break;
    case kIdSave: (void)core_->SaveProfile(); break;
    case kIdApply: core_->Apply(0); break;
    case kIdOk:
      core_->Apply(0);
      // Closed only once the monitor has the changes: otherwise the window stays, with the report, for
      // another Apply.
      if (!core_->applyPending()) CloseWindow();
      break;
    case kIdExit:
    case kIdCancel: CloseWindow(); break;
    case kIdMin: ShowWindow(hwnd_, SW_MINIMIZE); break;
    case kIdLanguage: {
      RECT r = surface_->RectOf(kIdLanguage);
      MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
      core_->ChooseLanguage(LanguageList(hwnd_, r, dpi_));
      break;
    }
    default: break;
  }
}

bool MainWindow::TranslateKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
  wchar_t cls[16] = {};
  GetClassNameW(msg.hwnd, cls, 16);
  const bool inEdit = lstrcmpiW(cls, L"Edit") == 0;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  switch (msg.wParam) {
    case VK_ESCAPE:
      // Esc in a number box ends the typing: the box keeps the typed value (the working copy has followed
      // every key already) shown as Enter would show it, and the focus goes back to the window. Everywhere
      // else Esc is Cancel.
      if (inEdit) {
        HWND box = GetParent(msg.hwnd);
        wchar_t boxClass[32] = {};
        GetClassNameW(box, boxClass, 32);
        if (lstrcmpW(boxClass, L"SarnNumberBox") == 0) SendMessageW(box, kMsgEditChanged, 13, 0);
        SetFocus(hwnd_);
        return true;
      }
      OnCommand(kIdCancel);
      return true;
    case VK_RETURN:
      // Enter in a number box takes its value; everywhere else it is OK.
      if (inEdit) return false;
      if (surface_->model().Find(kIdOk)->enabled) OnCommand(kIdOk);
      return true;
    case VK_TAB: {
      if (!ctrl) return false;
      // The visible tabs in order; the console page has no tab of its own.
      static constexpr int kOrder[] = {0, 1, 2, 4};
      int at = 0;
      for (int i = 0; i < 4; ++i) {
        if (kOrder[i] == shownPage_) at = i;
      }
      const int step = GetKeyState(VK_SHIFT) < 0 ? 3 : 1;
      ShowPage(kOrder[(at + step) % 4]);
      return true;
    }
    default:
      return false;
  }
}

void MainWindow::Describe(HWND replyTo) const {
  if ((InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_NOTIFY | ISMEX_CALLBACK)) != ISMEX_SEND) return;
  if (replyTo == nullptr || !IsWindow(replyTo)) return;
  DWORD process = 0;
  if (GetWindowThreadProcessId(replyTo, &process) == 0 || process == GetCurrentProcessId()) return;
  std::string json = "{\"shown\":" + std::to_string(shownPage_) + ",\"main\":" + surface_->Describe() + ",\"pages\":[";
  for (int p = 0; p < kPageCount; ++p) {
    if (p > 0) json += ",";
    json += pages_[static_cast<std::size_t>(p)] != nullptr ? pages_[static_cast<std::size_t>(p)]->Describe() : "[]";
  }
  json += "],\"help\":";
  json += JsonWriter().String(WideToUtf8(HelpLine())).str();
  json += "}";
  COPYDATASTRUCT data = {1, static_cast<DWORD>(json.size()), json.data()};
  DWORD_PTR ignored = 0;
  // SMTO_BLOCK: nothing else runs in this window while it waits, so no second request nests inside this one.
  (void)SendMessageTimeoutW(replyTo, WM_COPYDATA, reinterpret_cast<WPARAM>(hwnd_), reinterpret_cast<LPARAM>(&data),
                            SMTO_ABORTIFHUNG | SMTO_BLOCK, kDescribeReplyMs, &ignored);
}

void MainWindow::Paint(HDC dc, const RECT& dirty) {
  DrawBitmapPart(dc, skin_.background, dirty, dirty.left, dirty.top);
  surface_->PaintControls(dc, dirty);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  HGDIOBJ oldFont = SelectObject(dc, versionFont_);
  const std::wstring software = Utf8ToWide(kSoftwareVersionText);
  const std::wstring firmware = Utf8ToWide(core_ != nullptr ? core_->firmwareText() : std::string("N/A"));
  TextOutW(dc, MulDiv(199, dpi_, 96), MulDiv(12, dpi_, 96), software.c_str(), static_cast<int>(software.size()));
  TextOutW(dc, MulDiv(299, dpi_, 96), MulDiv(12, dpi_, 96), firmware.c_str(), static_cast<int>(firmware.size()));
  SelectObject(dc, helpFont_);
  SetTextColor(dc, palette::kTextDim);
  RECT help = Scaled(kHelpArea);
  const std::wstring helpLine = HelpLine();
  DrawTextW(dc, helpLine.c_str(), -1, &help, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, oldFont);
}

LRESULT CALLBACK MainWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self != nullptr ? self->Handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT MainWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == DescribeMessage() && msg != 0) {
    Describe(reinterpret_cast<HWND>(wp));
    return 1;
  }
  switch (msg) {
    case WM_PAINT:
      PaintBuffered(hwnd_, [this](HDC dc, const RECT& dirty) { Paint(dc, dirty); });
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN: {
      if (surface_ != nullptr && surface_->Route(msg, wp, lp)) return 0;
      // No caption: a press on the background drags the whole window.
      POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ClientToScreen(hwnd_, &pt);
      SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
      return 0;
    }
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_CAPTURECHANGED:
      if (surface_ != nullptr) surface_->Route(msg, wp, lp);
      return 0;
    case WM_SETCURSOR: {
      POINT pt;
      GetCursorPos(&pt);
      ScreenToClient(hwnd_, &pt);
      if (LOWORD(lp) == HTCLIENT && surface_ != nullptr && surface_->SetCursorFor(pt)) return TRUE;
      break;
    }
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED && core_ != nullptr) OnCommand(LOWORD(wp));
      return 0;
    case kMsgHelpText:
      if (helpShown_ != SharedHelpText()) {
        helpShown_ = SharedHelpText();
        RECT help = Scaled(kHelpArea);
        InvalidateRect(hwnd_, &help, FALSE);
      }
      return 0;
    case kMsgButtonHover:
      return 0;
    case kMsgDeviceReadDone:
      if (core_ != nullptr) core_->OnDeviceReadDone();
      return 0;
    case kMsgProfileSwitched:
      if (core_ != nullptr) core_->OnProfileSwitched();
      return 0;
    case kMsgEnableApply:
      if (core_ != nullptr) core_->OnEnableApply();
      return 0;
    case kMsgSensorChanged:
      if (core_ != nullptr) core_->OnSensorChanged();
      return 0;
    case kMsgIgnored:
      return 0;
    case WM_CLOSE:
      CloseWindow();
      return 0;
    case WM_DESTROY:
      SetHelpTarget(nullptr);
      block_.reset();
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace

int RunOptionApplication(HINSTANCE instance) {
  HANDLE instanceMutex = CreateMutexA(nullptr, FALSE, kOptionInstanceMutexName);
  if (instanceMutex == nullptr) return 0;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(instanceMutex);
    return 0;
  }
  const std::filesystem::path folder = ProgramFolder();
  InstallMenuFrameHook();
  int exitCode = 0;
  {
    auto window = std::make_unique<MainWindow>(instance, folder);
    if (window->Create()) {
      window->Initialise();
      ShowWindow(window->hwnd(), SW_SHOW);
      UpdateWindow(window->hwnd());
      SetForegroundWindow(window->hwnd());
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (window->TranslateKey(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      exitCode = static_cast<int>(msg.wParam);
    }
  }
  RemoveMenuFrameHook();
  ReleaseMutex(instanceMutex);
  CloseHandle(instanceMutex);
  return exitCode;
}

}  // namespace sarn::win
