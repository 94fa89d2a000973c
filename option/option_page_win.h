// The pages of the main window. Each page is one child window on the page area whose controls are drawn and
// hit-tested inside it; the main window keeps the list and tells every page when to show the working copy
// again and when the language changed.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "common/profile_record.h"
#include "common/timer_list.h"
#include "option/macro/macro_store.h"

namespace sarn::win {

// A text of the language library by number, or `fallback` (UTF-8) when the library has none.
using TextLookup = std::function<std::wstring(int number, const std::string& fallback)>;

// What a page needs of the main window.
class PageHost {
 public:
  virtual ~PageHost() = default;
  // The working copy, or nullptr while the window is still being built.
  virtual SharedBlock* Working() = 0;
  // The factory settings after the user confirmed them (asked by the host in its skinned dialog).
  virtual void RestoreDefaultsAfterConfirmation() = 0;
  [[nodiscard]] virtual int Dpi() const = 0;
  [[nodiscard]] virtual std::wstring ProgramFolder() const = 0;

  // What the button page edits besides the working copy: the macro store and the timer list (nullptr while
  // the window is still being built), how they reach their files, and the operating-system class the
  // function menu depends on.
  virtual MacroStore* Macros() { return nullptr; }
  virtual TimerList* Timers() { return nullptr; }
  virtual void SaveTimers() {}
  virtual void SaveMacros() {}
  virtual void ReloadMacros() {}
  [[nodiscard]] virtual int OsClass() const { return 0; }
};

class OptionPage {
 public:
  virtual ~OptionPage() = default;
  [[nodiscard]] virtual HWND hwnd() const = 0;
  // Show the working copy: the selected profile and the application settings.
  virtual void Refresh() = 0;
  // The help texts of the newly loaded language.
  virtual void ReloadTexts(const TextLookup& text) = 0;
  // Version texts, as shown on the support page ("1.28", "N/A"); other pages ignore them.
  virtual void SetVersions(const std::string& software, const std::string& firmware) {
    (void)software;
    (void)firmware;
  }
  // The page's controls as JSON for the end-to-end driver.
  [[nodiscard]] virtual std::string Describe() const = 0;
};

// The page window class; registered once.
void RegisterPageClass(HINSTANCE instance);
inline constexpr const wchar_t* kPageClassName = L"SarnOptionPage";

enum class PageKind { kMain, kButtons, kAdvanced, kUpdate, kEmpty };
struct PageDesign;
// The background of a settings page (main, advanced, update) in the loaded language.
[[nodiscard]] PageDesign SettingsPageDesign(PageKind kind, int dpi);
// Creates a page on `area` (window pixels of the main window), hidden.
[[nodiscard]] std::unique_ptr<OptionPage> CreateSettingsPage(PageKind kind, HWND mainWindow, int id, const RECT& area,
                                                            PageHost& host);
// The button assignment page; nullptr while the host has no working copy or stores yet.
[[nodiscard]] std::unique_ptr<OptionPage> CreateButtonPage(HWND mainWindow, int id, const RECT& area, PageHost& host);

}  // namespace sarn::win
