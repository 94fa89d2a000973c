#include "osd/osd_window_win.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/debug_output.h"
#include "common/language_library_win.h"
#include "common/language_texts.h"
#include "common/late_library_win.h"
#include "common/messages.h"
#include "common/osd_settings.h"
#include "common/private_profile.h"
#include "common/profile_file.h"
#include "common/settings_file.h"
#include "common/shared_block.h"
#include "common/skin_style_win.h"
#include "common/text_encoding.h"
#include "osd/osd_core.h"

namespace sarn::win {
namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr int kTextHeight96 = 22;   // pixels at 96 dpi
constexpr int kPadX96 = 20, kPadY96 = 12, kAccent96 = 4, kRadius96 = 10, kMargin96 = 64, kMinWidth96 = 180;
constexpr double kPanelOpacity = 0.94;  // the panel lets a little of what is behind it through

// --- What the display asks of the system ------------------------------------------------------------------

class Win32OsdEnvironment final : public OsdEnvironment {
 public:
  explicit Win32OsdEnvironment(std::filesystem::path folder) : folder_(std::move(folder)) {}

  UserState QueryUserState() override {
    // Loaded late: shell32 is mapped anyway, but the call is missing on old systems and in some shells.
    using Query = HRESULT(WINAPI*)(QUERY_USER_NOTIFICATION_STATE*);
    static const Query query = LateFunction<Query>(L"shell32.dll", "SHQueryUserNotificationState");
    QUERY_USER_NOTIFICATION_STATE state{};
    if (query == nullptr || FAILED(query(&state))) return UserState::kUnknown;
    return UserStateFromQuns(static_cast<int>(state));
  }

  std::string ForegroundProgram() override {
    HWND front = GetForegroundWindow();
    DWORD pid = 0;
    if (front == nullptr || GetWindowThreadProcessId(front, &pid) == 0 || pid == 0) return {};
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return {};
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    const BOOL ok = QueryFullProcessImageNameW(process, 0, path.data(), &size);
    CloseHandle(process);
    if (!ok) return {};
    path.resize(size);
    // The list in config.ini is text in the system code page; compare like with like.
    return Utf8ToAnsi(WideToUtf8(std::filesystem::path(path).filename().wstring()));
  }

  std::string Label(int number, std::string_view english) override {
    return WideToUtf8(LanguageText(number, english));
  }

  std::string ProfileName(int slot) override {
    if (slot < 0 || slot >= kProfileCount) return {};
    // The running monitor's block first: it has names applied a moment ago that the files may not have yet.
    // Opened for this one read and closed again, so the display never keeps a block alive.
    bool mapFailed = false;
    if (auto block = Win32SharedBlock::OpenForOption(mapFailed)) {
      auto copy = std::make_unique<SharedBlock>();
      if (block->ReadBlock(*copy) == 1) return StoredName(copy->profiles[slot].ProFileName);
    }
    auto record = std::make_unique<ProfileRecord>();
    if (ReadProfileFile(*record, SlotFilePath(folder_, slot)) != 1) return {};
    return StoredName(record->ProFileName);
  }

  std::string NotificationText() override {
    IniDocument ini;
    (void)LoadIniFile(SettingsFilePath(folder_), ini);
    return AnsiToUtf8(ini.GetString("OSDData", "Message", ""));
  }

  int SystemMessageSeconds() override {
    ULONG seconds = 0;
    if (!SystemParametersInfoW(SPI_GETMESSAGEDURATION, 0, &seconds, 0)) return 0;
    return static_cast<int>(std::min<ULONG>(seconds, 3600));
  }

 private:
  template <std::size_t N>
  static std::string StoredName(const char (&name)[N]) {
    return AnsiToUtf8(std::string_view(name, strnlen(name, N)));
  }

  std::filesystem::path folder_;
};

// --- Where and at which scale --------------------------------------------------------------------------------

HMONITOR ChosenMonitor(int number) {
  if (number > 0) {
    struct Search {
      int wanted;
      int seen = 0;
      HMONITOR found = nullptr;
    } search{number};
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          if (++s->seen != s->wanted) return TRUE;
          s->found = monitor;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    // A monitor that was unplugged: the one under the pointer, where the user looks.
  }
  // One monitor leaves nothing to choose, and asking for the pointer can cost a round trip to the display
  // server on the way to the screen.
  if (GetSystemMetrics(SM_CMONITORS) <= 1) return MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  POINT cursor{};
  GetCursorPos(&cursor);
  return MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST);
}

UINT MonitorDpi(HMONITOR monitor) {
  // shcore is no KnownDLL and is missing before Windows 8.1: loaded late from the system folder.
  using GetDpi = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const GetDpi getDpi = LateFunction<GetDpi>(L"shcore.dll", "GetDpiForMonitor");
  UINT x = 0, y = 0;
  if (getDpi != nullptr && SUCCEEDED(getDpi(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y)) && y > 0) return y;
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// --- The panel -------------------------------------------------------------------------------------------------

// A 32-bit top-down picture with premultiplied alpha, as UpdateLayeredWindow takes it.
class PanelBitmap {
 public:
  PanelBitmap(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (bitmap_ != nullptr) old_ = SelectObject(dc_, bitmap_);
  }
  ~PanelBitmap() {
    if (old_ != nullptr) SelectObject(dc_, old_);
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  PanelBitmap(const PanelBitmap&) = delete;
  PanelBitmap& operator=(const PanelBitmap&) = delete;

  [[nodiscard]] bool ok() const { return bits_ != nullptr; }
  [[nodiscard]] HDC dc() const { return dc_; }
  [[nodiscard]] int width() const { return width_; }
  [[nodiscard]] int height() const { return height_; }
  [[nodiscard]] std::uint32_t* pixels() const { return static_cast<std::uint32_t*>(bits_); }

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
};

// Signed distance of a pixel centre from the outline of a rounded rectangle (negative inside).
double OutlineDistance(double x, double y, double width, double height, double radius) {
  const double qx = std::abs(x - width / 2) - (width / 2 - radius);
  const double qy = std::abs(y - height / 2) - (height / 2 - radius);
  // Only the corners need the square root: along a side one of the two is not positive.
  const double outside = qx > 0 && qy > 0 ? std::hypot(qx, qy) : std::max(qx, 0.0) + std::max(qy, 0.0);
  return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

// GDI draws colour only (it leaves alpha undefined): the panel is painted opaque, then each pixel takes its
// alpha from the rounded outline (smoothed over one pixel), with the edge colour on the outline itself.
void ShapePanel(const PanelBitmap& panel, double radius) {
  const std::uint32_t edge = GetRValue(palette::kPanelEdge) << 16 | GetGValue(palette::kPanelEdge) << 8 |
                             GetBValue(palette::kPanelEdge);
  for (int y = 0; y < panel.height(); ++y) {
    for (int x = 0; x < panel.width(); ++x) {
      std::uint32_t& p = panel.pixels()[y * panel.width() + x];
      const double d = OutlineDistance(x + 0.5, y + 0.5, panel.width(), panel.height(), radius);
      const double coverage = std::clamp(0.5 - d, 0.0, 1.0);
      const double edgeMix = std::clamp(d + 1.5, 0.0, 1.0);
      const double alpha = coverage * kPanelOpacity;
      std::uint32_t out = static_cast<std::uint32_t>(alpha * 255 + 0.5) << 24;
      for (int shift = 0; shift <= 16; shift += 8) {
        const double c = ((p >> shift) & 0xFF) * (1 - edgeMix) + ((edge >> shift) & 0xFF) * edgeMix;
        out |= static_cast<std::uint32_t>(c * alpha + 0.5) << shift;
      }
      p = out;
    }
  }
}

// --- The program -----------------------------------------------------------------------------------------------

class OsdProgram {
 public:
  explicit OsdProgram(std::filesystem::path folder)
      : folder_(std::move(folder)), environment_(folder_), presenter_(environment_) {}
  ~OsdProgram() {
    if (font_ != nullptr) DeleteObject(font_);
  }
  OsdProgram(const OsdProgram&) = delete;
  OsdProgram& operator=(const OsdProgram&) = delete;

  void Attach(HWND main, HWND display) {
    main_ = main;
    display_ = display;
    ReloadSettings();
  }

  LRESULT MainMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    switch (message) {
      case kMsgOsdShow:
        // The monitor's numbers are checked where they are used: an unknown event or value shows nothing.
        Carry(presenter_.OnShowMessage(static_cast<std::uint64_t>(wParam), static_cast<std::int64_t>(lParam)));
        return 0;
      case kMsgOsdText:
        Carry(presenter_.OnNotificationText());
        return 0;
      case kMsgOsdSettings:
      case kMsgApplyAll:
        ReloadSettings();
        return 0;
      case WM_TIMER:
        if (wParam == kTimerId) Carry(presenter_.OnTimer());
        return 0;
      case WM_CLOSE:
        DestroyWindow(main_);
        return 0;
      case WM_DESTROY:
        KillTimer(main_, kTimerId);
        if (display_ != nullptr) DestroyWindow(display_);
        display_ = nullptr;
        PostQuitMessage(0);
        return 0;
      default:
        handled = false;
        return 0;
    }
  }

 private:
  void ReloadSettings() {
    IniDocument ini;
    // A settings file held open by a backup or a scanner at this moment is not a missing one: the display
    // keeps what it had (an "Enabled=0" must not turn into the default "on"), and the next reload reads it.
    if (LoadIniFileState(SettingsFilePath(folder_), ini) == FileRead::kUnreadable) {
      WriteDebugLine("OSD config.ini cannot be read now: settings kept\n");
      return;
    }
    presenter_.SetSettings(ReadOsdSettings(ini));
    int language = ini.GetInt("Setting", "QuickHelpLan", -1);
    if (language < 0 || language >= 17) language = DetectLanguage(LanguageIdSource{});
    if (language != language_) {
      LoadLanguageLibrary(LanguageLibraryPath(folder_, language), language);
      language_ = language;
    }
    // Switched off while something shows: it goes at once.
    if (!presenter_.settings().enabled && presenter_.state() != OsdPresenter::State::kHidden) {
      presenter_.Reset();
      Hide();
    }
  }

  void Carry(const OsdAction& action) {
    switch (action.kind) {
      case OsdAction::Kind::kNothing:
        return;
      case OsdAction::Kind::kShow:
        if (!Show(Utf8ToWide(action.text))) {
          // Nothing half-shown stays up without its timer: the text before this one goes too.
          presenter_.Reset();
          Hide();
          KillTimer(main_, kTimerId);
          return;
        }
        break;
      case OsdAction::Kind::kAlpha:
        SetAlpha(static_cast<BYTE>(std::clamp(action.alpha, 0, 255)));
        break;
      case OsdAction::Kind::kHide:
        Hide();
        break;
    }
    if (action.timerMs > 0) {
      SetTimer(main_, kTimerId, static_cast<UINT>(action.timerMs), nullptr);
    } else {
      KillTimer(main_, kTimerId);
    }
  }

  bool Show(const std::wstring& text) {
    if (display_ == nullptr) return false;
    HMONITOR monitor = ChosenMonitor(presenter_.settings().monitor);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) return false;
    const int dpi = static_cast<int>(MonitorDpi(monitor));
    auto scaled = [dpi](int pixels96) { return MulDiv(pixels96, dpi, 96); };

    HFONT font = FontFor(dpi);
    HDC measure = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = SelectObject(measure, font);
    RECT textBox{0, 0, 0, 0};
    DrawTextW(measure, text.c_str(), static_cast<int>(text.size()), &textBox,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(measure, oldFont);
    DeleteDC(measure);

    const RECT& work = info.rcWork;
    const int margin = scaled(kMargin96) / 2;
    const int padX = scaled(kPadX96), padY = scaled(kPadY96), accent = std::max(2, scaled(kAccent96));
    const int maxWidth = std::max(1, static_cast<int>(work.right - work.left) - 2 * margin);
    const int width = std::clamp(static_cast<int>(textBox.right) + 2 * padX + accent, scaled(kMinWidth96), maxWidth);
    const int height = static_cast<int>(textBox.bottom) + 2 * padY;

    auto panel = std::make_unique<PanelBitmap>(width, height);
    if (!panel->ok()) return false;
    HDC dc = panel->dc();
    HBRUSH background = CreateSolidBrush(palette::kPanel);
    RECT all{0, 0, width, height};
    FillRect(dc, &all, background);
    DeleteObject(background);
    HBRUSH accentBrush = CreateSolidBrush(palette::kAccent);
    RECT bar{padX / 2, padY, padX / 2 + accent, height - padY};
    FillRect(dc, &bar, accentBrush);
    DeleteObject(accentBrush);
    oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, palette::kText);
    RECT textArea{padX + accent, 0, width - padX, height};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textArea,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, oldFont);
    GdiFlush();
    ShapePanel(*panel, scaled(kRadius96));

    const OsdRect place = PlacePanel({static_cast<int>(work.left), static_cast<int>(work.top),
                                      static_cast<int>(work.right), static_cast<int>(work.bottom)},
                                     width, height, presenter_.settings().position, scaled(kMargin96));
    panel_ = std::move(panel);
    origin_ = {place.left, place.top};
    if (!SetAlpha(255)) return false;
    // Topmost again on every show: another topmost window may have come up since.
    SetWindowPos(display_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // The text for readers right after the pixels: the panel is what the player waits for.
    SetWindowTextW(display_, text.c_str());
    return true;
  }

  // The panel's font, kept while the scale and the language (whose face it takes) stay: a font made anew for
  // every change would be realized, and its glyphs rasterized, anew each time the user presses a button.
  HFONT FontFor(int dpi) {
    if (font_ == nullptr || fontDpi_ != dpi || fontLanguage_ != language_) {
      if (font_ != nullptr) DeleteObject(font_);
      font_ = SkinFont(kTextHeight96, dpi, true);
      fontDpi_ = dpi;
      fontLanguage_ = language_;
    }
    return font_;
  }

  bool SetAlpha(BYTE alpha) {
    if (panel_ == nullptr || display_ == nullptr) return false;
    BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
    SIZE size{panel_->width(), panel_->height()};
    POINT source{0, 0};
    HDC screen = GetDC(nullptr);
    const BOOL ok = UpdateLayeredWindow(display_, screen, &origin_, &size, panel_->dc(), &source, 0, &blend, ULW_ALPHA);
    ReleaseDC(nullptr, screen);
    if (!ok) WriteDebugLine("OSD UpdateLayeredWindow failed\n");
    return ok != FALSE;
  }

  void Hide() {
    if (display_ != nullptr) {
      SetWindowPos(display_, nullptr, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      SetWindowTextW(display_, L"");
    }
    panel_.reset();  // nothing kept while nothing shows
  }

  std::filesystem::path folder_;
  Win32OsdEnvironment environment_;
  OsdPresenter presenter_;
  HWND main_ = nullptr;
  HWND display_ = nullptr;
  int language_ = -2;
  std::unique_ptr<PanelBitmap> panel_;
  POINT origin_{0, 0};
  HFONT font_ = nullptr;
  int fontDpi_ = 0;
  int fontLanguage_ = -2;
};

OsdProgram* g_program = nullptr;

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_program != nullptr) {
    bool handled = false;
    const LRESULT result = g_program->MainMessage(message, wParam, lParam, handled);
    if (handled) return result;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK DisplayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_DPICHANGED:
      return 0;  // the panel is drawn for its monitor's DPI at every show; the system must not resize it
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

HWND CreateOsdWindows(HINSTANCE instance, const std::filesystem::path& programFolder) {
  WNDCLASSW mainClass{};
  mainClass.lpfnWndProc = MainProc;
  mainClass.hInstance = instance;
  mainClass.lpszClassName = kOsdMainClass;
  WNDCLASSW displayClass{};
  displayClass.lpfnWndProc = DisplayProc;
  displayClass.hInstance = instance;
  displayClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
  displayClass.lpszClassName = kOsdDisplayClass;
  if (RegisterClassW(&mainClass) == 0 || RegisterClassW(&displayClass) == 0) return nullptr;

  static OsdProgram program(programFolder);
  // Hidden for good, but a real top-level window (a message-only window cannot be found by its title).
  HWND main = CreateWindowExW(WS_EX_TOOLWINDOW, kOsdMainClass, Utf8ToWide(kOsdWindowTitle).c_str(), WS_POPUP, 0, 0, 0,
                              0, nullptr, nullptr, instance, nullptr);
  HWND display = CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST,
                                 kOsdDisplayClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  if (main == nullptr || display == nullptr) {
    if (display != nullptr) DestroyWindow(display);
    if (main != nullptr) DestroyWindow(main);
    return nullptr;
  }
  g_program = &program;
  program.Attach(main, display);
  return main;
}

}  // namespace sarn::win
