#include "option/main_window_win.h"

#include <windowsx.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/registry.h"
#include "common/settings_file.h"
#include "common/shared_block.h"
#include "common/text_encoding.h"
#include "option/dialogs_win.h"
#include "option/option_core.h"
#include "option/skin_kit_win.h"
#include "option/skin_painter_win.h"

namespace sarn::win {
namespace {

constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 600;
constexpr int kPageCount = 5;
constexpr int kMainPage = 0;

// One control of the main window: its layout string, its look, the label painted into its images, and the
// number of its text in the language library (0: none).
struct MainControl {
  const char* layout;
  int id;
  SkinLook look;
  const wchar_t* label;
  int textNumber;
};

// Page tabs, in page order.
constexpr MainControl kTabs[kPageCount] = {
    {"Main,4,75,160,38,Main settings for the selected device", kIdTabFirst + 0, SkinLook::kTab, L"Main", 1003},
    {"Button Assign,164,75,157,38,Assign a function to each mouse button", kIdTabFirst + 1, SkinLook::kTab,
     L"Button Assign", 1037},
    {"Advanced,321,75,157,38,Advanced settings for the selected device", kIdTabFirst + 2, SkinLook::kTab,
     L"Advanced", 1045},
    {"Console,478,75,0,0,Get help and support", kIdTabFirst + 3, SkinLook::kTab, L"", 0},
    {"Update,478,75,157,38,Check for the lastest driver update", kIdTabFirst + 4, SkinLook::kTab, L"Update", 1059},
};

constexpr MainControl kButtons[] = {
    {"Create,290,450,110,25,Create a new profile for the selected profile slot", kIdCreate, SkinLook::kPush,
     L"Create", 1018},
    {"Load,430,450,110,25,Load a new profile for the selected profile slot", kIdLoad, SkinLook::kPush, L"Load", 1019},
    {"Save,560,450,110,25,Save the current setting of the selected profile slot", kIdSave, SkinLook::kPush, L"Save",
     1020},
    {"Edit,685,450,110,25,Edit the profile settings of the selected profile slot", kIdEdit, SkinLook::kPush, L"Edit",
     1021},
    {"Min,749, 4,22,22,Minimize the application", kIdMin, SkinLook::kMinimize, L"", 1001},
    {"Exit,771, 4,22,22,Close the application without saving the changes to the device", kIdExit, SkinLook::kClose,
     L"", 1002},
    {"OK,582,563,58,30,Save the setting on the device and close the application", kIdOk, SkinLook::kPrimary, L"OK",
     1034},
    {"Apply,640,563,72,30,Apply the setting to the device", kIdApply, SkinLook::kPrimary, L"Apply", 1035},
    {"Cancel,712,563,80,30,Close the application without saving the changes to the device", kIdCancel,
     SkinLook::kPush, L"Cancel", 1036},
    {"button language,12, 570,32,17,Select language", kIdLanguage, SkinLook::kSmallBox, L"", 1090},
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

constexpr const wchar_t* kPageTitles[kPageCount] = {L"DPI, sensitivity and wheel", L"Button assignment",
                                                    L"Lighting, polling rate and sound", L"", L"Support and updates"};

// Short names the language button shows, by language index.
constexpr const wchar_t* kLanguageCodes[kLanguageCount] = {L"DA", L"EN", L"FI", L"FR", L"DE", L"IT",
                                                           L"JA", L"KO", L"PL", L"RU", L"ZH", L"ES",
                                                           L"SV", L"TH", L"TW", L"TR", L"VI"};

std::wstring FromStored(const char* field, std::size_t size) {
  return Utf8ToWide(AnsiToUtf8(std::string(field, TextFieldLength(field, size))));
}

class Win32MonitorLink final : public MonitorLink {
 public:
  bool SendApplyAll(int reason) override {
    HWND monitor = FindWindowA(nullptr, kMonitorWindowTitle);
    if (monitor == nullptr) return false;
    // Sent, not posted: the monitor writes the mouse before it answers, and we wait for that.
    SendMessageA(monitor, kMsgApplyAll, static_cast<WPARAM>(reason), 0);
    return true;
  }
  void PostApplyToDisplays() override {
    for (const char* title : kDisplayWindowTitles) {
      if (HWND w = FindWindowA(nullptr, title)) PostMessageA(w, kMsgApplyAll, 0, 0);
    }
  }
};

LRESULT CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* background = reinterpret_cast<Bitmap*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (background != nullptr) DrawBitmap(dc, *background, 0, 0);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case kMsgHelpText:
    case kMsgButtonHover:
      // Controls of a page report to it; the help text belongs to the main window.
      return SendMessageW(GetParent(hwnd), msg, wp, lp);
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

class MainWindow final : public OptionShell {
 public:
  MainWindow(HINSTANCE instance, std::filesystem::path folder)
      : instance_(instance), folder_(std::move(folder)), registry_(MakeWindowsRegistry()),
        storage_(folder_, registry_.get()) {}

  ~MainWindow() override {
    if (language_ != nullptr) FreeLibrary(language_);
    if (icon_ != nullptr) DestroyIcon(icon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
    if (versionFont_ != nullptr) DeleteObject(versionFont_);
    if (helpFont_ != nullptr) DeleteObject(helpFont_);
  }

  bool Create();
  void Initialise();
  [[nodiscard]] HWND hwnd() const { return hwnd_; }

  // OptionShell
  void SetBusy(bool busy) override;
  void EnableApplyButtons() override;
  void Refresh(RefreshScope scope) override;
  void ReloadLanguage() override;
  void RebuildSupportAddresses() override {}
  bool ConfirmWindowsProfile(int slotNumber) override { return ConfirmWindowsProfileDialog(hwnd_, dpi_, slotNumber); }
  bool EditProfileTexts(ProfileTexts& texts) override { return ProfileSettingsDialog(hwnd_, dpi_, texts); }
  std::filesystem::path ChooseProfileToLoad() override { return ChooseProfileFile(hwnd_, false); }
  std::filesystem::path ChooseProfileToSave() override { return ChooseProfileFile(hwnd_, true); }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void BuildControls();
  void BuildPages();
  void OnCommand(int id);
  void ShowPage(int page);
  void Paint();
  void CloseWindow();
  [[nodiscard]] RECT Scaled(const RECT& r) const {
    return RECT{MulDiv(r.left, dpi_, 96), MulDiv(r.top, dpi_, 96), MulDiv(r.right, dpi_, 96),
                MulDiv(r.bottom, dpi_, 96)};
  }
  [[nodiscard]] std::wstring LibraryText(int number, const std::string& fallback) const;

  HINSTANCE instance_;
  std::filesystem::path folder_;
  std::unique_ptr<RegistryPort> registry_;
  FileStorage storage_;
  Win32MonitorLink monitorLink_;
  std::unique_ptr<Win32SharedBlock> block_;
  std::unique_ptr<OptionCore> core_;
  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  PageSkin skin_;
  PageSkin markedSkin_;  // the marked "windows profile" toggles sit where the unmarked ones are
  std::array<Bitmap, kPageCount> pageBackgrounds_;
  std::array<HWND, kPageCount> tabs_{};
  std::array<HWND, kPageCount> pages_{};
  std::array<HWND, kProfileCount> slots_{}, marks_{}, marksSet_{}, names_{};
  HWND mouseTypePicture_ = nullptr;
  int shownPage_ = -1;
  HMODULE language_ = nullptr;
  HICON icon_ = nullptr, smallIcon_ = nullptr;
  HFONT versionFont_ = nullptr, helpFont_ = nullptr;
  int osClass_ = 0;
  std::wstring helpShown_;
};

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
  WNDCLASSEXW page = wc;
  page.lpfnWndProc = PageProc;
  page.lpszClassName = L"SarnOptionPage";
  RegisterClassExW(&page);
  RegisterSkinClasses(instance_);

  const int w = MulDiv(kWindowWidth, dpi_, 96), h = MulDiv(kWindowHeight, dpi_, 96);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  hwnd_ = CreateWindowExW(WS_EX_APPWINDOW, L"SarnOptionMain", L"", WS_POPUP | WS_MINIMIZEBOX | WS_SYSMENU |
                          WS_CLIPCHILDREN, std::max(0, x), std::max(0, y), w, h, nullptr, nullptr, instance_, this);
  if (hwnd_ == nullptr) return false;

  // Creation, before the window is shown: icon, controls and their skins, pages, shape.
  icon_ = PaintProgramIcon(GetSystemMetrics(SM_CXICON));
  smallIcon_ = PaintProgramIcon(GetSystemMetrics(SM_CXSMICON));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  versionFont_ = SkinFont(14, dpi_, false, L"Arial");
  helpFont_ = SkinFont(12, dpi_);
  // Captions drawn by the buttons themselves (profile names, the language) follow the screen scale too.
  SetSkinButtonCaptionFont(SkinFont(12, dpi_, false, L"宋体"));
  SetHelpTarget(hwnd_);
  BuildControls();
  BuildPages();
  ShowPage(kMainPage);
  SetWindowRgn(hwnd_, ShapeFromImage(skin_.background), FALSE);
  return true;
}

void MainWindow::BuildControls() {
  PageDesign design;
  design.width = kWindowWidth;
  design.height = kWindowHeight;
  design.dpi = dpi_;
  design.roundedWindow = true;
  design.brand = L"SARN[+]";
  design.panels = {RECT{4, 442, 797, 543}};
  design.notes = {{POINT{145, 13}, L"Software"}, {POINT{245, 13}, L"Firmware"}};
  std::vector<SkinPart> parts, marked;
  for (const MainControl& c : kTabs) parts.push_back({LayoutRect(ParseLayout(c.layout), dpi_), c.look, c.label});
  for (const MainControl& c : kButtons) parts.push_back({LayoutRect(ParseLayout(c.layout), dpi_), c.look, c.label});
  for (int i = 0; i < kProfileCount; ++i) {
    const std::wstring label = L"Profile " + std::to_wstring(i + 1);
    parts.push_back({LayoutRect(ParseLayout(kSlotLayouts[i]), dpi_), SkinLook::kSlot, label});
    parts.push_back({LayoutRect(ParseLayout(kNameLayouts[i]), dpi_), SkinLook::kField, L""});
    parts.push_back({LayoutRect(ParseLayout(kMarkLayouts[i]), dpi_), SkinLook::kMark, L""});
    marked.push_back({LayoutRect(ParseLayout(kMarkLayouts[i]), dpi_), SkinLook::kMarkSet, L""});
  }
  skin_ = PaintPageSkin(design, parts);
  markedSkin_.background = CutImage(skin_.background, RECT{0, 0, skin_.background.width, skin_.background.height});
  PaintStateImages(markedSkin_, marked, dpi_);

  auto make = [&](const char* layout, int id, const PageSkin& skin, bool link) {
    SkinButtonOptions o;
    o.notifyId = id;
    o.linkPointer = link;
    o.help = Utf8ToWide(ParseLayout(layout).tip);
    return CreateSkinButton(hwnd_, id, LayoutRect(ParseLayout(layout), dpi_), skin, o);
  };
  for (int p = 0; p < kPageCount; ++p) tabs_[static_cast<std::size_t>(p)] = make(kTabs[p].layout, kTabs[p].id, skin_, false);
  for (const MainControl& c : kButtons) make(c.layout, c.id, skin_, false);
  for (int i = 0; i < kProfileCount; ++i) {
    const auto k = static_cast<std::size_t>(i);
    slots_[k] = make(kSlotLayouts[i], kIdSlotFirst + i, skin_, false);
    names_[k] = make(kNameLayouts[i], kIdNameFirst + i, skin_, false);
    marks_[k] = make(kMarkLayouts[i], kIdMarkFirst + i, skin_, true);
    marksSet_[k] = make(kMarkLayouts[i], kIdMarkSetFirst + i, markedSkin_, true);
    ShowWindow(marksSet_[k], SW_HIDE);
  }
  // The picture shown for the wireless model.
  PageDesign badge;
  badge.width = kMouseTypeRect.right - kMouseTypeRect.left;
  badge.height = kMouseTypeRect.bottom - kMouseTypeRect.top;
  badge.dpi = dpi_;
  badge.notes = {{POINT{10, 12}, L"Wireless model"}};
  PageSkin badgeSkin = PaintPageSkin(badge, {});
  mouseTypePicture_ = CreatePicture(hwnd_, kIdMouseTypePicture, Scaled(kMouseTypeRect),
                                    std::move(badgeSkin.background), false);
  ShowWindow(mouseTypePicture_, SW_HIDE);
}

void MainWindow::BuildPages() {
  const RECT area = LayoutRect(ParseLayout(kPageArea), dpi_);
  for (int p = 0; p < kPageCount; ++p) {
    const auto k = static_cast<std::size_t>(p);
    PageDesign design;
    design.width = 774;
    design.height = 312;
    design.dpi = dpi_;
    design.title = kPageTitles[p];
    pageBackgrounds_[k] = PaintPageSkin(design, {}).background;
    pages_[k] = CreateWindowExW(WS_EX_CONTROLPARENT, L"SarnOptionPage", L"", WS_CHILD | WS_CLIPSIBLINGS, area.left,
                                area.top, area.right - area.left, area.bottom - area.top, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdPageFirst + p)), instance_, nullptr);
    SetWindowLongPtrW(pages_[k], GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&pageBackgrounds_[k]));
  }
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

std::wstring MainWindow::LibraryText(int number, const std::string& fallback) const {
  if (language_ != nullptr && number != 0) {
    wchar_t text[501] = {};
    if (LoadStringW(language_, static_cast<UINT>(number), text, 501) > 0) return text;
  }
  return Utf8ToWide(fallback);
}

void MainWindow::ReloadLanguage() {
  if (language_ != nullptr) FreeLibrary(language_);
  const int lan = core_ != nullptr ? core_->working().QuickHelpLan : 1;
  language_ = LoadLibraryExW(LanguageLibraryPath(folder_, lan).wstring().c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  auto setHelp = [&](int id, const char* layout, int number) {
    SetSkinButtonHelp(GetDlgItem(hwnd_, id), LibraryText(number, ParseLayout(layout).tip));
  };
  for (const MainControl& c : kTabs) setHelp(c.id, c.layout, c.textNumber);
  for (const MainControl& c : kButtons) setHelp(c.id, c.layout, c.textNumber);
  for (int i = 0; i < kProfileCount; ++i) {
    setHelp(kIdSlotFirst + i, kSlotLayouts[i], kSlotTextFirst + i);
    setHelp(kIdNameFirst + i, kNameLayouts[i], kNameTextFirst + i);
    setHelp(kIdMarkFirst + i, kMarkLayouts[i], kMarkText);
    setHelp(kIdMarkSetFirst + i, kMarkLayouts[i], kMarkSetText);
  }
  SetWindowTextW(GetDlgItem(hwnd_, kIdLanguage), kLanguageCodes[LanguagePictureIndex(lan)]);
}

void MainWindow::Refresh(RefreshScope scope) {
  if (core_ == nullptr) return;
  const SharedBlock& w = core_->working();
  const bool whole = scope == RefreshScope::kWholeWindow;
  if (whole) {
    if (w.CurrentProfile >= 0 && w.CurrentProfile < kProfileCount) {
      for (int i = 0; i < kProfileCount; ++i) SetSkinButtonPressed(slots_[static_cast<std::size_t>(i)], i == w.CurrentProfile);
    }
    ShowWindow(mouseTypePicture_, w.MouseType == 1 ? SW_SHOW : SW_HIDE);
    SetWindowTextW(GetDlgItem(hwnd_, kIdLanguage), kLanguageCodes[LanguagePictureIndex(w.QuickHelpLan)]);
  }
  if (whole || scope == RefreshScope::kSlotMarks) {
    for (int i = 0; i < kProfileCount; ++i) {
      const auto k = static_cast<std::size_t>(i);
      ShowWindow(marks_[k], i == w.WindowsProfile ? SW_HIDE : SW_SHOW);
      ShowWindow(marksSet_[k], i == w.WindowsProfile ? SW_SHOW : SW_HIDE);
    }
  }
  if (whole || scope == RefreshScope::kNameFields) {
    for (int i = 0; i < kProfileCount; ++i) {
      const auto k = static_cast<std::size_t>(i);
      const ProfileRecord& p = w.profiles[i];
      SetWindowTextW(names_[k], FromStored(p.ProFileName, sizeof p.ProFileName).c_str());
      SetSkinButtonPressed(names_[k], i == w.CurrentProfile);
    }
  }
  if (whole || scope == RefreshScope::kVersionTexts) InvalidateRect(hwnd_, nullptr, FALSE);
  // The pages draw only their backgrounds for now; their own refreshes hook in here.
}

void MainWindow::SetBusy(bool busy) {
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(busy ? IDC_WAIT : IDC_ARROW)));
  EnableWindow(GetDlgItem(hwnd_, kIdOk), busy ? FALSE : TRUE);
  EnableWindow(GetDlgItem(hwnd_, kIdApply), busy ? FALSE : TRUE);
}

void MainWindow::EnableApplyButtons() {
  EnableWindow(GetDlgItem(hwnd_, kIdOk), TRUE);
  EnableWindow(GetDlgItem(hwnd_, kIdApply), TRUE);
}

void MainWindow::ShowPage(int page) {
  if (page == shownPage_ || page < 0 || page >= kPageCount) return;
  if (shownPage_ >= 0) ShowWindow(pages_[static_cast<std::size_t>(shownPage_)], SW_HIDE);
  shownPage_ = page;
  ShowWindow(pages_[static_cast<std::size_t>(page)], SW_SHOW);
  for (int p = 0; p < kPageCount; ++p) SetSkinButtonPressed(tabs_[static_cast<std::size_t>(p)], p == page);
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
      CloseWindow();
      break;
    case kIdExit:
    case kIdCancel: CloseWindow(); break;
    case kIdMin: ShowWindow(hwnd_, SW_MINIMIZE); break;
    case kIdLanguage: {
      RECT r;
      GetWindowRect(GetDlgItem(hwnd_, kIdLanguage), &r);
      core_->ChooseLanguage(LanguageList(hwnd_, r, dpi_));
      break;
    }
    default: break;
  }
}

void MainWindow::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  RECT rc;
  GetClientRect(hwnd_, &rc);
  // Off-screen, so the texts never flicker over the background.
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP buffer = CreateCompatibleBitmap(dc, rc.right, rc.bottom);
  HGDIOBJ oldBitmap = SelectObject(mem, buffer);
  DrawBitmap(mem, skin_.background, 0, 0);
  SetBkMode(mem, TRANSPARENT);
  SetTextColor(mem, RGB(255, 255, 255));
  HGDIOBJ oldFont = SelectObject(mem, versionFont_);
  const std::wstring software = Utf8ToWide(kSoftwareVersionText);
  const std::wstring firmware = Utf8ToWide(core_ != nullptr ? core_->firmwareText() : std::string("N/A"));
  TextOutW(mem, MulDiv(199, dpi_, 96), MulDiv(12, dpi_, 96), software.c_str(), static_cast<int>(software.size()));
  TextOutW(mem, MulDiv(299, dpi_, 96), MulDiv(12, dpi_, 96), firmware.c_str(), static_cast<int>(firmware.size()));
  SelectObject(mem, helpFont_);
  SetTextColor(mem, palette::kTextDim);
  RECT help = Scaled(kHelpArea);
  DrawTextW(mem, helpShown_.c_str(), -1, &help, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(mem, oldFont);
  BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top,
         mem, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
  SelectObject(mem, oldBitmap);
  DeleteObject(buffer);
  DeleteDC(mem);
  EndPaint(hwnd_, &ps);
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
  switch (msg) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN: {
      // No caption: a press on the background drags the whole window.
      POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ClientToScreen(hwnd_, &pt);
      SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
      return 0;
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
    case kMsgDeviceReadDoneNote:
      if (core_ != nullptr) core_->OnDeviceReadDone();
      return 0;
    case kMsgProfileSwitchedNote:
      if (core_ != nullptr) core_->OnProfileSwitched();
      return 0;
    case kMsgEnableApply:
      if (core_ != nullptr) core_->OnEnableApply();
      return 0;
    case kMsgSensorChangedNote:
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
  const std::string folder = ProgramFolder();
  InstallMenuFrameHook();
  int exitCode = 0;
  {
    auto window = std::make_unique<MainWindow>(instance, AnsiPath(folder));
    if (window->Create()) {
      window->Initialise();
      ShowWindow(window->hwnd(), SW_SHOW);
      UpdateWindow(window->hwnd());
      SetForegroundWindow(window->hwnd());
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
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
