// The button assignment page as a window: the 18 labels, the orientation buttons and the Macro Manager button
// are controls of one surface; the two mouse-picture areas are one picture control each, whose bitmap is the
// highlight picture of the moment (painted the first time it is wanted). Every decision is ButtonPage's; this
// window shows its answers, opens the function menu under a label and hands the chosen command back.
#include <windowsx.h>

#include <array>
#include <memory>
#include <vector>

#include "common/button_functions.h"
#include "common/json_writer.h"
#include "common/keyboard_layout.h"
#include "common/text_encoding.h"
#include "option/button_dialogs_win.h"
#include "option/button_page.h"
#include "option/option_page_win.h"
#include "option/skin_painter_win.h"
#include "option/skin_surface_win.h"
#include "option/ui_text_win.h"
#include "option/ui_texts.h"

namespace sarn::win {
namespace {

constexpr int kPageWidth = 774, kPageHeight = 312;
constexpr int kIdRight = 230, kIdLeft = 231, kIdMacroManager = 232;
constexpr int kIdBasePicture = 240, kIdShiftPicture = 241;
// Open menus are described to the end-to-end driver as controls: items by command, submenus by position.
constexpr int kDescribedCommandBase = 100000, kDescribedSubmenuBase = 200000;
constexpr COLORREF kInactiveCaption = RGB(120, 126, 136);
const wchar_t* const kPageClass = L"SarnOptionButtonPage";

int LabelId(int slot) { return kLabelIdBase + slot; }

RECT ScaledRect(const PageRect& r, int dpi) {
  return RECT{MulDiv(r.left, dpi, 96), MulDiv(r.top, dpi, 96), MulDiv(r.right, dpi, 96), MulDiv(r.bottom, dpi, 96)};
}

// The files of the stores go through the main window, which keeps the core's record of what is on disk.
class HostFiles final : public ButtonPageFiles {
 public:
  explicit HostFiles(PageHost& host) : host_(host) {}
  void SaveTimers(const TimerList&) override { host_.SaveTimers(); }
  void SaveMacroStore(const MacroStore&) override { host_.SaveMacros(); }
  void ReloadMacroStore(MacroStore&) override { host_.ReloadMacros(); }

 private:
  PageHost& host_;
};

class ButtonPageWindow final : public OptionPage {
 public:
  ButtonPageWindow(HWND mainWindow, PageHost& host, SharedBlock& working, MacroStore& macros, TimerList& timers)
      : host_(host), dpi_(host.Dpi()), dialogs_(mainWindow, dpi_, SystemKeyboardLayout()), files_(host),
        page_(working, macros, timers, dialogs_, files_, SystemKeyboardLayout()), working_(working) {}
  ~ButtonPageWindow() override {
    if (menuFont_ != nullptr) DeleteObject(menuFont_);
  }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  bool Create(HWND parent, int id, const RECT& area);
  HWND hwnd() const override { return hwnd_; }
  void Refresh() override;
  void ReloadTexts(const TextLookup& text) override;
  std::string Describe() const override;

 private:
  struct ShownMenu {
    std::unique_ptr<SkinMenu> menu;
    std::vector<std::pair<int, std::string>> items;  // described id and text per position
  };

  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  // The profile whose slots are shown: the one being edited, or the first while no slot is selected.
  [[nodiscard]] const ProfileRecord& Shown() const;
  void RefreshLabels();
  void ShowOrientation();
  void ShowHighlight(int picture);
  const Bitmap* Picture(int index);
  void OpenMenu(int slot);
  SkinMenu* BuildMenu(const std::vector<MenuEntry>& entries);
  void Carry(PageChange change);
  void RepaintMouseAreas();
  // The page's images with the loaded language's labels; painted again only when a label or the face changed.
  void PaintSkin();

  PageHost& host_;
  int dpi_;
  Win32ButtonDialogs dialogs_;
  HostFiles files_;
  ButtonPage page_;
  SharedBlock& working_;
  HWND hwnd_ = nullptr;
  std::unique_ptr<SkinSurface> surface_;
  PageSkin activeSkin_, inactiveSkin_;
  Bitmap leftBackground_;  // activeSkin_.background is the right-handed one
  std::array<Bitmap, kHighlightPictureCount> pictures_;
  bool leftShown_ = false;
  int highlight_ = -1;
  bool menuOpen_ = false;
  HFONT menuFont_ = nullptr;
  std::vector<ShownMenu> menus_;  // while the function menu is open: the main popup first
  std::wstring paintedLabels_;
};

const ProfileRecord& ButtonPageWindow::Shown() const {
  const ProfileRecord* p = page_.profile();
  return p != nullptr ? *p : working_.profiles[0];
}

PageDesign PageBackground(int dpi) {
  PageDesign d;
  d.width = kPageWidth;
  d.height = kPageHeight;
  d.dpi = dpi;
  d.panels = {RECT{20, 8, 366, 248}, RECT{411, 8, 757, 248}};
  d.headings = {{POINT{32, 16}, Label(ui::kButtons)}, {POINT{423, 16}, Label(ui::kShiftLayer)}};
  d.notes = {{POINT{40, 281}, Label(ui::kMouse)}};
  return d;
}

// The two mouse-picture areas of a background, for one orientation: the base layer and the shift layer.
void PaintMouseAreas(Bitmap& background, bool mirrored, int dpi) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, background.handle);
  MouseDrawing base;
  base.mirrored = mirrored;
  PaintMouse(dc, ScaledRect(HighlightPictureRect(0), dpi), base, dpi);
  MouseDrawing shift = base;
  shift.shiftLayer = true;
  PaintMouse(dc, ScaledRect(HighlightPictureRect(18), dpi), shift, dpi);
  SelectObject(dc, old);
  DeleteDC(dc);
}

bool ButtonPageWindow::Create(HWND parent, int id, const RECT& area) {
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                          area.left, area.top, area.right - area.left, area.bottom - area.top, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  if (hwnd_ == nullptr) return false;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  surface_ = std::make_unique<SkinSurface>(hwnd_);

  auto rectOf = [&](std::string_view layout) { return LayoutRect(ParseLayout(layout), dpi_); };
  PaintSkin();
  for (int k = 0; k < kButtonCount; ++k) {
    SkinButtonOptions o;
    o.notifyId = LabelId(k);
    surface_->AddButton(LabelId(k), rectOf(ButtonLabelLayout(k)), &activeSkin_, o);
  }
  surface_->AddButton(kIdRight, rectOf(kRightHandedLayout), &activeSkin_, {});
  surface_->AddButton(kIdLeft, rectOf(kLeftHandedLayout), &activeSkin_, {});
  surface_->AddButton(kIdMacroManager, rectOf(kMacroManagerLayout), &activeSkin_, {});
  surface_->AddPicture(kIdBasePicture, ScaledRect(HighlightPictureRect(0), dpi_), nullptr, false, L"");
  surface_->AddPicture(kIdShiftPicture, ScaledRect(HighlightPictureRect(18), dpi_), nullptr, false, L"");

  menuFont_ = SkinFont(12, dpi_, false, L"宋体");
  SetWindowRgn(hwnd_, ShapeFromImage(activeSkin_.background), FALSE);
  return true;
}

void ButtonPageWindow::PaintSkin() {
  auto rectOf = [&](std::string_view layout) { return LayoutRect(ParseLayout(layout), dpi_); };
  std::vector<SkinPart> active, inactive;
  for (int k = 0; k < kButtonCount; ++k) {
    active.push_back({rectOf(ButtonLabelLayout(k)), SkinLook::kLabel, L""});
    inactive.push_back({rectOf(ButtonLabelLayout(k)), SkinLook::kLabelOff, L""});
  }
  const std::wstring right = Label(ui::kRightHanded), left = Label(ui::kLeftHanded), macros = Label(ui::kMacroManager);
  active.push_back({rectOf(kRightHandedLayout), SkinLook::kRadio, right});
  active.push_back({rectOf(kLeftHandedLayout), SkinLook::kRadio, left});
  active.push_back({rectOf(kMacroManagerLayout), SkinLook::kPush, macros});
  const PageDesign design = PageBackground(dpi_);
  std::wstring signature = std::wstring(LabelFace()) + L'|' + right + L'|' + left + L'|' + macros;
  for (const auto& text : design.headings) signature += L'|' + text.second;
  for (const auto& text : design.notes) signature += L'|' + text.second;
  if (signature == paintedLabels_) return;
  paintedLabels_ = std::move(signature);
  surface_->SetLabel(kIdRight, right);
  surface_->SetLabel(kIdLeft, left);
  surface_->SetLabel(kIdMacroManager, macros);
  // The controls keep pointing at these members; only the images in them are new.
  activeSkin_ = PaintPageSkin(design, active);
  // The inactive labels take their images from the same page background.
  inactiveSkin_.background = CutImage(activeSkin_.background, RECT{0, 0, activeSkin_.background.width,
                                                                   activeSkin_.background.height});
  PaintStateImages(inactiveSkin_, inactive, dpi_);
  leftBackground_ = CutImage(activeSkin_.background, RECT{0, 0, activeSkin_.background.width,
                                                          activeSkin_.background.height});
  PaintMouseAreas(activeSkin_.background, false, dpi_);
  PaintMouseAreas(leftBackground_, true, dpi_);

  // The highlight pictures are cut from the backgrounds again when next shown.
  for (Bitmap& picture : pictures_) picture = Bitmap{};
  if (highlight_ >= 0) ShowHighlight(highlight_);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void ButtonPageWindow::Refresh() {
  page_.SetOsClass(host_.OsClass());
  // A page without a slot to edit shows the first profile, its controls disabled.
  const bool editable = page_.profile() != nullptr;
  for (int k = 0; k < kButtonCount; ++k) surface_->SetEnabled(LabelId(k), editable);
  surface_->SetEnabled(kIdRight, editable);
  surface_->SetEnabled(kIdLeft, editable);
  RefreshLabels();
  ShowOrientation();
  ShowHighlight(-1);
}

void ButtonPageWindow::RefreshLabels() {
  const ProfileRecord& p = Shown();
  for (int k = 0; k < kButtonCount; ++k) {
    const ButtonSlot& slot = p.MacroKeyInfo[k];
    const bool inactive = LabelInactive(k, slot.functionCode);
    surface_->SetSkin(LabelId(k), inactive ? &inactiveSkin_ : &activeSkin_);
    surface_->SetCaptionColour(LabelId(k), inactive ? kInactiveCaption : CLR_INVALID);
    surface_->SetCaption(LabelId(k), Utf8ToWide(FunctionLabel(slot, SystemKeyboardLayout())));
  }
  // At once, not at the next quiet moment: a command's new text shows before anything else happens.
  UpdateWindow(hwnd_);
}

void ButtonPageWindow::ShowOrientation() {
  const bool left = LeftHanded(Shown().Orientation);
  surface_->SetPressed(kIdRight, !left);
  surface_->SetPressed(kIdLeft, left);
  if (left != leftShown_) {
    leftShown_ = left;
    RepaintMouseAreas();
  }
}

void ButtonPageWindow::RepaintMouseAreas() {
  // The pictures fill the two areas in which the background's mouse changes with the orientation.
  for (const int index : {0, 18}) {
    const RECT r = ScaledRect(HighlightPictureRect(index), dpi_);
    InvalidateRect(hwnd_, &r, FALSE);
  }
  for (const PageRect& area : kMousePictureAreas) {
    const RECT r = ScaledRect(area, dpi_);
    InvalidateRect(hwnd_, &r, FALSE);
  }
}

const Bitmap* ButtonPageWindow::Picture(int index) {
  if (index < 0 || index >= kHighlightPictureCount) return nullptr;
  Bitmap& picture = pictures_[static_cast<std::size_t>(index)];
  if (picture.handle == nullptr) {
    const HighlightContent c = HighlightPictureContent(index);
    const RECT at = ScaledRect(HighlightPictureRect(index), dpi_);
    picture = CutImage(c.mirrored ? leftBackground_ : activeSkin_.background, at);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, picture.handle);
    MouseDrawing m;
    m.mirrored = c.mirrored;
    m.shiftLayer = c.shiftLayer;
    m.heldB5 = c.heldB5;
    m.heldB7 = c.heldB7;
    m.markedInput = c.markedInput;
    PaintMouse(dc, RECT{0, 0, picture.width, picture.height}, m, dpi_);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  return &picture;
}

void ButtonPageWindow::ShowHighlight(int picture) {
  const Bitmap* shown = Picture(picture);
  const bool shiftArea = picture >= 18;
  surface_->SetPicture(kIdBasePicture, shown != nullptr && !shiftArea ? shown : nullptr);
  surface_->SetPicture(kIdShiftPicture, shown != nullptr && shiftArea ? shown : nullptr);
  highlight_ = shown != nullptr ? picture : -1;
}

SkinMenu* ButtonPageWindow::BuildMenu(const std::vector<MenuEntry>& entries) {
  // Submenus are built first: an item needs its submenu to exist.
  ShownMenu shown;
  shown.menu = std::make_unique<SkinMenu>(menuFont_);
  shown.menu->SetWidth(MulDiv(kFunctionMenuWidth, dpi_, 96));
  SkinMenu* menu = shown.menu.get();
  const std::size_t at = menus_.size();
  menus_.push_back(std::move(shown));
  for (const MenuEntry& e : entries) {
    switch (e.kind) {
      case MenuEntry::Kind::kSeparator:
        menu->AppendItem(0, L"");
        menus_[at].items.emplace_back(0, "");
        break;
      case MenuEntry::Kind::kSubmenu: {
        const int index = static_cast<int>(menus_.size());
        SkinMenu* sub = BuildMenu(e.items);
        menu->AppendItem(0, Utf8ToWide(e.text), sub, e.highlight ? 1 : 0, e.trademark);
        menus_[at].items.emplace_back(kDescribedSubmenuBase + index, e.text);
        break;
      }
      case MenuEntry::Kind::kCommand:
        menu->AppendItem(e.command, Utf8ToWide(e.text), nullptr, e.highlight ? 1 : 0, e.trademark);
        menus_[at].items.emplace_back(kDescribedCommandBase + static_cast<int>(e.command), e.text);
        break;
    }
  }
  return menu;
}

void ButtonPageWindow::OpenMenu(int slot) {
  if (!page_.ClickLabel(slot)) return;
  // The label's picture stays up while its menu is open.
  menuOpen_ = true;
  ShowHighlight(page_.Highlight(slot));
  UpdateWindow(hwnd_);
  menus_.clear();
  SkinMenu* root = BuildMenu(page_.BuildMenu());
  RECT r = surface_->RectOf(LabelId(slot));
  POINT at = {r.left + 1, r.bottom};
  ClientToScreen(hwnd_, &at);
  const unsigned command = root->Show(GetAncestor(hwnd_, GA_ROOT), at, true);
  menus_.clear();

  POINT cursor;
  GetCursorPos(&cursor);
  int under = -1;
  if (WindowFromPoint(cursor) == hwnd_) {
    ScreenToClient(hwnd_, &cursor);
    const int hit = surface_->model().HitTest(cursor.x, cursor.y);
    if (hit >= kLabelIdBase && hit < kLabelIdBase + kButtonCount) under = hit - kLabelIdBase;
  }
  page_.MenuClosed(under);
  menuOpen_ = false;
  ShowHighlight(-1);
  InvalidateRect(hwnd_, &r, FALSE);
  SetFocus(hwnd_);
  if (command != 0) SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

void ButtonPageWindow::Carry(PageChange change) {
  switch (change) {
    case PageChange::kSlots: RefreshLabels(); break;
    case PageChange::kProfile: ShowOrientation(); break;
    case PageChange::kStores:
    case PageChange::kNone: break;
  }
}

void ButtonPageWindow::ReloadTexts(const TextLookup& text) {
  PaintSkin();
  static const std::string kBase = "Click to choose the function of this button";
  static const std::string kShift = "Click to choose the function of this button while the shift button is held";
  for (int k = 0; k < kButtonCount; ++k) {
    const int number = LabelHelpTextNumber(k);
    surface_->SetHelp(LabelId(k), text(number, number == 1038 ? kBase : kShift));
  }
  surface_->SetHelp(kIdRight, text(kRightHandedHelpText, "Right-handed layout"));
  surface_->SetHelp(kIdLeft, text(kLeftHandedHelpText, "Left-handed layout"));
  surface_->SetHelp(kIdMacroManager, text(kMacroManagerHelpText, "Record and edit macros"));
}

std::string ButtonPageWindow::Describe() const {
  std::string json = surface_->Describe();
  JsonWriter j;
  j.BeginArray();
  j.BeginObject().Member("id", 0).Member("highlight", highlight_).Key("menuOpen").Bool(menuOpen_);
  j.Key("inactive").BeginArray();
  for (int k = 0; k < kButtonCount; ++k) {
    if (LabelInactive(k, Shown().MacroKeyInfo[k].functionCode)) j.Int(k);
  }
  j.EndArray().EndObject();
  for (const ShownMenu& m : menus_) {
    for (std::size_t pos = 0; pos < m.items.size(); ++pos) {
      const auto& [id, text] = m.items[pos];
      RECT r = {};
      // Only the popups on the screen have item rectangles.
      if (id == 0 || !GetMenuItemRect(nullptr, m.menu->handle(), static_cast<UINT>(pos), &r)) continue;
      j.BeginObject().Member("id", id);
      j.Key("rect").BeginArray().Int(r.left).Int(r.top).Int(r.right).Int(r.bottom).EndArray();
      j.Key("visible").Bool(true).Key("enabled").Bool(true).Key("pressed").Bool(false).Member("caption", text);
      j.EndObject();
    }
  }
  j.EndArray();
  const std::string extra = j.str();  // "[...]"
  json.insert(json.size() - 1, (json.size() > 2 ? "," : "") + extra.substr(1, extra.size() - 2));
  return json;
}

LRESULT CALLBACK ButtonPageWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<ButtonPageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self != nullptr ? self->Handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT ButtonPageWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      PaintBuffered(hwnd_, [&](HDC dc, const RECT& dirty) {
        DrawBitmapPart(dc, leftShown_ ? leftBackground_ : activeSkin_.background, dirty, dirty.left, dirty.top);
        surface_->PaintControls(dc, dirty);
      });
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
      surface_->Route(msg, wp, lp);
      return msg == WM_CANCELMODE ? DefWindowProcW(hwnd_, msg, wp, lp) : 0;
    case kMsgButtonHover: {
      const int slot = static_cast<int>(lp) - kLabelIdBase;
      if (slot < 0 || slot >= kButtonCount || menuOpen_) return 0;
      ShowHighlight(wp != 0 ? page_.Highlight(slot) : -1);
      return 0;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (HIWORD(wp) == BN_CLICKED && reinterpret_cast<HWND>(lp) == hwnd_) {
        // A control of the page.
        if (id >= kLabelIdBase && id < kLabelIdBase + kButtonCount) {
          OpenMenu(id - kLabelIdBase);
        } else if (id == kIdRight || id == kIdLeft) {
          Carry(page_.SetOrientation(id == kIdLeft ? 1 : 0));
          ShowOrientation();
        } else if (id == kIdMacroManager) {
          Carry(page_.OpenMacroManager());
        }
        return 0;
      }
      if (lp == 0) {
        // A function-menu command. The macro manager preselects the macro of the slot being edited.
        const int button = page_.currentButton();
        const int profile = working_.CurrentProfile;
        if (button >= 0 && button < kButtonCount && profile >= 0 && profile < kProfileCount) {
          dialogs_.SetEditedSlot(working_.profiles[profile].MacroKeyInfo[button]);
        }
        Carry(page_.HandleCommand(static_cast<unsigned>(id)));
      }
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace

std::unique_ptr<OptionPage> CreateButtonPage(HWND mainWindow, int id, const RECT& area, PageHost& host) {
  SharedBlock* working = host.Working();
  MacroStore* macros = host.Macros();
  TimerList* timers = host.Timers();
  if (working == nullptr || macros == nullptr || timers == nullptr) return nullptr;
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ButtonPageWindow::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kPageClass;
    registered = RegisterClassExW(&wc) != 0;
  }
  auto page = std::make_unique<ButtonPageWindow>(mainWindow, host, *working, *macros, *timers);
  if (!page->Create(mainWindow, id, area)) return nullptr;
  return page;
}

}  // namespace sarn::win
