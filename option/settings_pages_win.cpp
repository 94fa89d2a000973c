// The three settings pages as windows: each builds its controls from its table (option/settings_pages.h), shows
// the view the table's logic computes, and hands clicks, slider positions and number-box values back to it.
#include "option/option_page_win.h"

#include <windowsx.h>
#include <commctrl.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "common/settings_file.h"
#include "common/text_encoding.h"
#include "option/settings_pages.h"
#include "option/shell_calls_win.h"
#include "option/skin_painter_win.h"
#include "option/skin_surface_win.h"
#include "option/ui_text_win.h"
#include "option/ui_texts.h"

namespace sarn::win {
namespace {

constexpr int kPageWidth = 774, kPageHeight = 312;

SkinLook LookOf(const PageControlSpec& s) {
  switch (s.kind) {
    case PageControlKind::kPush: return s.linkPointer ? SkinLook::kLink : SkinLook::kPush;
    case PageControlKind::kToggle: return SkinLook::kCheck;
    case PageControlKind::kRadio: return SkinLook::kRadio;
    case PageControlKind::kSwatch: return SkinLook::kSwatch;
    case PageControlKind::kLevel: return SkinLook::kLevel;
    case PageControlKind::kSlider: return SkinLook::kTrack;
    case PageControlKind::kNumberBox:
    case PageControlKind::kPicture: break;
  }
  return SkinLook::kField;
}

}  // namespace

// The background of each page: group panels and headings around the controls of its table.
PageDesign SettingsPageDesign(PageKind kind, int dpi) {
  PageDesign d;
  d.width = kPageWidth;
  d.height = kPageHeight;
  d.dpi = dpi;
  switch (kind) {
    case PageKind::kMain:
      // Every slider's ends are named. The pointer slider has the acceleration toggle right below it, so its
      // ends are named at its sides, and its panel reaches out to hold the longer translations there.
      d.panels = {RECT{4, 8, 380, 102}, RECT{4, 112, 300, 206}, RECT{4, 216, 300, 304}, RECT{396, 8, 616, 102},
                  RECT{344, 112, 700, 196}, RECT{532, 200, 770, 262}};
      d.headings = {{POINT{14, 16}, Label(ui::kSensitivity)},     {POINT{14, 120}, Label(ui::kScrollWheel)},
                    {POINT{14, 224}, Label(ui::kTiltSpeed)},       {POINT{406, 16}, Label(ui::kDpiLevels)},
                    {POINT{354, 120}, Label(ui::kWindowsPointer)}, {POINT{542, 204}, Label(ui::kDoubleClickSpeed)}};
      d.notes = {{POINT{23, 78}, Label(ui::kLow)},    {POINT{300, 64}, L"1 .. 10"},
                 {POINT{23, 287}, Label(ui::kSlow)},  {POINT{634, 153}, Label(ui::kFast)},
                 {POINT{545, 246}, Label(ui::kSlow)}, {POINT{670, 246}, Label(ui::kFast)}};
      d.endNotes = {{POINT{264, 78}, Label(ui::kHigh)},
                    {POINT{286, 122}, Label(ui::kLinesPerNotch)},  // the row of the line-scrolling choice
                    {POINT{263, 287}, Label(ui::kFast)},
                    {POINT{410, 153}, Label(ui::kSlow)}};
      d.fields = {RECT{309, 40, 363, 63}};
      break;
    case PageKind::kAdvanced:
      d.brand.clear();
      // The right-hand panels are as wide as the page allows: "Polling rate (Hz)" is long in several languages.
      d.panels = {RECT{300, 14, 512, 284}, RECT{522, 8, 766, 118}, RECT{522, 180, 766, 306}};
      d.headings = {{POINT{312, 24}, Label(ui::kLighting)}, {POINT{532, 16}, Label(ui::kPollingRate)},
                    {POINT{532, 186}, Label(ui::kSoundFeedback)}};
      d.notes = {{POINT{537, 262}, Label(ui::kVolume)}};
      // Five lines of a note; the first three and the last two are one sentence each.
      for (int line = 0; line < ui::kAdvancedNoteLines; ++line) {
        d.notes.push_back({POINT{20, 24 + 16 * line + (line >= 3 ? 8 : 0)}, Label(ui::kAdvancedNoteFirst + line)});
      }
      break;
    case PageKind::kUpdate:
      d.panels = {RECT{6, 52, 230, 124}, RECT{396, 52, 620, 124}, RECT{6, 150, 300, 236}, RECT{390, 184, 620, 304},
                  RECT{4, 240, 230, 304}};
      d.headings = {{POINT{16, 60}, Label(ui::kDriver)},    {POINT{406, 60}, Label(ui::kSupport)},
                    {POINT{16, 158}, Label(ui::kVersions)}, {POINT{400, 190}, Label(ui::kContact)},
                    {POINT{14, 246}, Label(ui::kMail)}};
      d.notes = {{POINT{40, 182}, Label(ui::kFirmware)}, {POINT{40, 209}, Label(ui::kSoftware)}};
      break;
    case PageKind::kButtons:
    case PageKind::kEmpty:
      break;
  }
  return d;
}

namespace {

// The still picture of the double-click test, from the program folder; none when it cannot be read.
Bitmap LoadPicture(const std::wstring& path) {
  auto* handle = static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                 LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (handle == nullptr) return {};
  BITMAP info = {};
  GetObjectW(handle, sizeof info, &info);
  return Bitmap(handle, info.bmWidth, info.bmHeight);
}

// What the support page's buttons open in this program folder: the addresses of links.ini (written by the
// release build) and the manual installed beside the program.
SupportAddresses ReadSupportAddresses(const std::wstring& folder) {
  std::string bytes;
  if (std::ifstream in(std::filesystem::path(folder + Utf8ToWide(kLinksFileName)), std::ios::binary); in) {
    bytes.resize(64 * 1024);  // a few lines; anything longer is no file of ours
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
  }
  const std::wstring manual = folder + L"README.txt";
  const DWORD attributes = GetFileAttributesW(manual.c_str());
  const bool haveManual = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  return BuildSupportAddresses(ParseSupportLinks(bytes), haveManual ? WideToUtf8(manual) : std::string());
}

class SettingsPageWindow final : public OptionPage {
 public:
  SettingsPageWindow(PageKind kind, std::unique_ptr<PageLogic> logic, PageHost& host)
      : kind_(kind), logic_(std::move(logic)), host_(host), dpi_(host.Dpi()) {}
  ~SettingsPageWindow() override {
    if (versionFont_ != nullptr) DeleteObject(versionFont_);
  }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  bool Create(HWND parent, int id, const RECT& area);
  HWND hwnd() const override { return hwnd_; }
  void Refresh() override;
  void ReloadTexts(const TextLookup& text) override;
  void SetVersions(const std::string& software, const std::string& firmware) override;
  std::string Describe() const override;

 private:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void Carry(const PageEffects& e);
  void PlayDoubleClickTest();
  void ShowWhyUnavailable(bool moved, LPARAM lp);
  // The page's images with the loaded language's labels; painted again only when a label or the face changed.
  void PaintSkin();
  [[nodiscard]] RECT Scaled(const char* layout) const { return LayoutRect(ParseLayout(layout), dpi_); }

  PageKind kind_;
  std::unique_ptr<PageLogic> logic_;
  PageHost& host_;
  int dpi_;
  HWND hwnd_ = nullptr;
  std::unique_ptr<SkinSurface> surface_;
  PageSkin skin_;
  Bitmap wideThumb_, wideThumbOff_, smallThumb_, smallThumbOff_, testPicture_;
  HWND numberBox_ = nullptr;
  int numberShown_ = -1;
  HWND animation_ = nullptr;
  HFONT versionFont_ = nullptr;
  std::wstring software_, firmware_;
  std::wstring paintedLabels_;
  bool testPictureFromFile_ = false;
  bool animationFailed_ = false;
  UpdatePage* update_ = nullptr;   // the support page's logic, on that page
  std::wstring unavailableShown_;  // the reason put on the help line for an unavailable button
};

bool SettingsPageWindow::Create(HWND parent, int id, const RECT& area) {
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClassName, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                          area.left, area.top, area.right - area.left, area.bottom - area.top, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  if (hwnd_ == nullptr) return false;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  surface_ = std::make_unique<SkinSurface>(hwnd_);

  PaintSkin();
  for (const PageControlSpec& s : logic_->Controls()) {
    if (s.kind == PageControlKind::kSlider && s.thumb == 0 && wideThumb_.handle == nullptr) {
      wideThumb_ = PaintSliderThumb(12, 22, dpi_, true);
      wideThumbOff_ = PaintSliderThumb(12, 22, dpi_, false);
    }
    if (s.kind == PageControlKind::kSlider && s.thumb == 1 && smallThumb_.handle == nullptr) {
      smallThumb_ = PaintSliderThumb(10, 16, dpi_, true);
      smallThumbOff_ = PaintSliderThumb(10, 16, dpi_, false);
    }
  }

  const std::wstring folder = host_.ProgramFolder();
  for (const PageControlSpec& s : logic_->Controls()) {
    const RECT r = Scaled(s.layout);
    const std::wstring tip = Utf8ToWide(ParseLayout(s.layout).tip);
    switch (s.kind) {
      case PageControlKind::kSlider:
        surface_->AddSlider(s.id, r, &skin_, s.thumb == 0 ? &wideThumb_ : &smallThumb_,
                            s.thumb == 0 ? &wideThumbOff_ : &smallThumbOff_, s.minimum, s.maximum, s.snap, tip);
        break;
      case PageControlKind::kNumberBox:
        numberBox_ = CreateNumberBox(hwnd_, s.id, r, false);
        SetNumberBoxRange(numberBox_, s.minimum, s.maximum);
        break;
      case PageControlKind::kPicture:
        // PaintSkin has drawn the picture that stands in when the file cannot be read.
        if (Bitmap fromFile = LoadPicture(folder + L"wave\\double_click.bmp"); fromFile.handle != nullptr) {
          testPicture_ = std::move(fromFile);
          testPictureFromFile_ = true;
        }
        surface_->AddPicture(s.id, r, &testPicture_, true, tip);
        break;
      default: {
        SkinButtonOptions o;
        o.toggle = s.kind == PageControlKind::kToggle;
        o.linkPointer = s.linkPointer;
        o.help = tip;
        surface_->AddButton(s.id, r, &skin_, o);
        break;
      }
    }
  }
  if (kind_ == PageKind::kUpdate) {
    update_ = static_cast<UpdatePage*>(logic_.get());
    update_->SetAddresses(ReadSupportAddresses(folder));
    for (const PageControlSpec& s : logic_->Controls()) {
      surface_->SetEnabled(s.id, update_->UnavailableReason(s.id) == 0);
    }
  }
  if (kind_ == PageKind::kUpdate) versionFont_ = CreateFontW(-MulDiv(12, dpi_, 96), MulDiv(6, dpi_, 96), 0, 0,
                                                             FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                                             CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Arial");
  // The page images are drawn whole; the window takes the shape of what is not pure white.
  SetWindowRgn(hwnd_, ShapeFromImage(skin_.background), FALSE);
  return true;
}

void SettingsPageWindow::PaintSkin() {
  std::vector<SkinPart> parts;
  std::wstring signature = LabelFace();
  for (const PageControlSpec& s : logic_->Controls()) {
    if (s.kind == PageControlKind::kNumberBox || s.kind == PageControlKind::kPicture) continue;
    SkinPart part{Scaled(s.layout), LookOf(s), LabelOf(s.label)};
    if (s.kind == PageControlKind::kSwatch) {
      const std::uint32_t c = LightColour(s.id - advanced_page::kColourFirst);
      part.colour = RGB(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF);
    }
    signature += L'|' + part.label;
    if (!part.label.empty()) surface_->SetLabel(s.id, part.label);
    parts.push_back(std::move(part));
  }
  const PageDesign design = SettingsPageDesign(kind_, dpi_);
  for (const auto& text : design.headings) signature += L'|' + text.second;
  for (const auto& text : design.notes) signature += L'|' + text.second;
  for (const auto& text : design.endNotes) signature += L'|' + text.second;
  if (signature == paintedLabels_) return;
  paintedLabels_ = std::move(signature);
  // The controls keep pointing at skin_; only the images in it are new.
  skin_ = PaintPageSkin(design, parts);
  for (const PageControlSpec& s : logic_->Controls()) {
    if (s.kind != PageControlKind::kPicture || testPictureFromFile_) continue;
    // Without the picture file the test still shows where to double-click.
    PageDesign still;
    still.width = ParseLayout(s.layout).width();
    still.height = ParseLayout(s.layout).height();
    still.dpi = dpi_;
    still.notes = {{POINT{6, 4}, Label(ui::kTest)}};
    testPicture_ = std::move(PaintPageSkin(still, {}).background);
  }
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void SettingsPageWindow::Refresh() {
  SharedBlock* w = host_.Working();
  if (w == nullptr) return;
  for (const ControlView& v : logic_->View(*w)) {
    const PageControlSpec* s = FindSpec(*logic_, v.id);
    if (s == nullptr) continue;
    if (s->kind == PageControlKind::kNumberBox) {
      // Shown again only when it changed, so that a value being typed keeps its caret.
      if (v.value != numberShown_) SetNumberBoxValue(numberBox_, v.value);
      numberShown_ = v.value;
      EnableWindow(numberBox_, v.enabled ? TRUE : FALSE);
      continue;
    }
    surface_->SetEnabled(v.id, v.enabled);
    if (s->kind == PageControlKind::kSlider) {
      surface_->SetSliderPosition(v.id, v.value);
    } else {
      surface_->SetPressed(v.id, v.pressed);
    }
  }
}

void SettingsPageWindow::ReloadTexts(const TextLookup& text) {
  PaintSkin();
  for (const PageControlSpec& s : logic_->Controls()) {
    if (s.helpNumber == 0) continue;
    std::wstring help = text(s.helpNumber, ParseLayout(s.layout).tip);
    if (s.kind == PageControlKind::kNumberBox) {
      SetNumberBoxHelp(numberBox_, std::move(help));
    } else {
      surface_->SetHelp(s.id, std::move(help));
    }
  }
}

void SettingsPageWindow::SetVersions(const std::string& software, const std::string& firmware) {
  if (kind_ != PageKind::kUpdate) return;
  software_ = Utf8ToWide(VersionLabel(software));
  firmware_ = Utf8ToWide(VersionLabel(firmware));
  InvalidateRect(hwnd_, nullptr, FALSE);
}

std::string SettingsPageWindow::Describe() const {
  std::string json = surface_->Describe();
  if (numberBox_ != nullptr) {
    wchar_t text[32] = {};
    GetWindowTextW(GetWindow(numberBox_, GW_CHILD), text, 32);
    RECT r;
    GetWindowRect(numberBox_, &r);
    json.insert(json.size() - 1, std::string(json.size() > 2 ? "," : "") + "{\"id\":" +
                                     std::to_string(GetDlgCtrlID(numberBox_)) + ",\"rect\":[" +
                                     std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                                     std::to_string(r.right) + "," + std::to_string(r.bottom) + "],\"text\":\"" +
                                     WideToUtf8(text) + "\"}");
  }
  if (kind_ == PageKind::kUpdate) {
    json.insert(json.size() - 1, ",{\"id\":0,\"software\":\"" + WideToUtf8(software_) + "\",\"firmware\":\"" +
                                     WideToUtf8(firmware_) + "\"}");
  }
  return json;
}

void SettingsPageWindow::Carry(const PageEffects& e) {
  if (e.doubleClickTime) SetDoubleClickTime(static_cast<UINT>(*e.doubleClickTime));
  if (!e.openAddress.empty()) (void)ShellOpen(Utf8ToWide(e.openAddress).c_str());
  if (e.confirmReset) host_.RestoreDefaultsAfterConfirmation();
  Refresh();
}

// The animation is created over the picture the first time and played once from its first frame to its last;
// the sound is played without waiting and is skipped while another sound plays.
void SettingsPageWindow::PlayDoubleClickTest() {
  const std::wstring folder = host_.ProgramFolder();
  const RECT r = surface_->RectOf(main_page::kDoubleClickTest);
  if (animation_ == nullptr && !animationFailed_) {
    if (!LoadAnimationControl()) return;
    // Shown only once its film is open.
    animation_ = CreateWindowExW(0, L"SysAnimate32", L"", WS_CHILD | ACS_CENTER, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, hwnd_, nullptr, nullptr, nullptr);
    if (animation_ == nullptr) return;
    const std::wstring avi = folder + L"wave\\double_click.avi";
    if (SendMessageW(animation_, ACM_OPENW, 0, reinterpret_cast<LPARAM>(avi.c_str())) == FALSE) {
      // A missing or unreadable animation would leave an empty box where the test was: the still picture
      // stays, and the sound still answers the double click.
      DestroyWindow(animation_);
      animation_ = nullptr;
      animationFailed_ = true;
    } else {
      ShowWindow(animation_, SW_SHOWNA);
      surface_->SetVisible(main_page::kDoubleClickTest, false);
    }
  }
  if (animation_ != nullptr) SendMessageW(animation_, ACM_PLAY, 1, MAKELPARAM(0, 0xFFFF));
  PlaySoundFile((folder + L"wave\\double_click.wav").c_str());
}

// An unavailable button takes no hover; the pointer over it puts up why it is unavailable instead, in the
// same place and on the same terms (this window active) as a help text.
void SettingsPageWindow::ShowWhyUnavailable(bool moved, LPARAM lp) {
  std::wstring reason;
  if (moved && GetActiveWindow() == GetAncestor(hwnd_, GA_ROOT)) {
    const SurfaceControl* c = surface_->model().Find(surface_->model().HitTest(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)));
    const int number = c != nullptr && !c->enabled ? update_->UnavailableReason(c->id) : 0;
    if (number != 0) reason = Label(number);
  }
  if (reason == unavailableShown_) return;
  if (!reason.empty()) {
    ShowHelpText(true, reason);
  } else if (SharedHelpText() == unavailableShown_) {
    ShowHelpText(false, unavailableShown_);
  }
  unavailableShown_ = std::move(reason);
}

LRESULT CALLBACK SettingsPageWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<SettingsPageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self != nullptr ? self->Handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT SettingsPageWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      PaintBuffered(hwnd_, [&](HDC dc, const RECT& dirty) {
        DrawBitmapPart(dc, skin_.background, dirty, dirty.left, dirty.top);
        surface_->PaintControls(dc, dirty);
        if (kind_ == PageKind::kUpdate) {
          SetBkMode(dc, TRANSPARENT);
          SetTextColor(dc, RGB(240, 240, 240));
          HGDIOBJ old = SelectObject(dc, versionFont_);
          TextOutW(dc, MulDiv(151, dpi_, 96), MulDiv(182, dpi_, 96), firmware_.c_str(), static_cast<int>(firmware_.size()));
          TextOutW(dc, MulDiv(129, dpi_, 96), MulDiv(209, dpi_, 96), software_.c_str(), static_cast<int>(software_.size()));
          SelectObject(dc, old);
        }
      });
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDBLCLK:
      // The double click is judged by the system's double-click time, the one the slider sets.
      if (kind_ == PageKind::kMain) {
        const POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        const RECT test = surface_->RectOf(main_page::kDoubleClickTest);
        if (PtInRect(&test, pt)) {
          PlayDoubleClickTest();
          return 0;
        }
      }
      surface_->Route(msg, wp, lp);
      return 0;
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
      surface_->Route(msg, wp, lp);
      if (update_ != nullptr) ShowWhyUnavailable(msg == WM_MOUSEMOVE, lp);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
      surface_->Route(msg, wp, lp);
      return msg == WM_CANCELMODE ? DefWindowProcW(hwnd_, msg, wp, lp) : 0;
    case WM_SETCURSOR: {
      POINT pt;
      GetCursorPos(&pt);
      ScreenToClient(hwnd_, &pt);
      if (LOWORD(lp) == HTCLIENT && surface_->SetCursorFor(pt)) return TRUE;
      break;
    }
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED && reinterpret_cast<HWND>(lp) == hwnd_) {
        if (SharedBlock* w = host_.Working()) {
          const int id = LOWORD(wp);
          Carry(logic_->Click(*w, id, surface_->Pressed(id)));
        }
      }
      return 0;
    case kMsgSliderMoved:
    case kMsgNumberChanged:
      if (SharedBlock* w = host_.Working()) Carry(logic_->Value(*w, static_cast<int>(lp), static_cast<int>(wp)));
      return 0;
    case kMsgButtonHover:
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

// A page without controls of its own: the console page (never shown) and pages still to come.
class EmptyLogic final : public PageLogic {
 public:
  std::span<const PageControlSpec> Controls() const override { return {}; }
  std::vector<ControlView> View(const SharedBlock&) const override { return {}; }
  PageEffects Click(SharedBlock&, int, bool) override { return {}; }
  PageEffects Value(SharedBlock&, int, int) override { return {}; }
};

}  // namespace

void RegisterPageClass(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  // Double clicks are wanted: the double-click test is judged by them.
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = SettingsPageWindow::Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = kPageClassName;
  RegisterClassExW(&wc);
}

std::unique_ptr<OptionPage> CreateSettingsPage(PageKind kind, HWND mainWindow, int id, const RECT& area,
                                               PageHost& host) {
  if (kind == PageKind::kButtons) return CreateButtonPage(mainWindow, id, area, host);
  std::unique_ptr<PageLogic> logic;
  switch (kind) {
    case PageKind::kMain: logic = std::make_unique<MainPage>(); break;
    case PageKind::kAdvanced: logic = std::make_unique<AdvancedPage>(); break;
    case PageKind::kUpdate: logic = std::make_unique<UpdatePage>(); break;
    case PageKind::kButtons:
    case PageKind::kEmpty: logic = std::make_unique<EmptyLogic>(); break;
  }
  auto page = std::make_unique<SettingsPageWindow>(kind, std::move(logic), host);
  if (!page->Create(mainWindow, id, area)) return nullptr;
  return page;
}

}  // namespace sarn::win
