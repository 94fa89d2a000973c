// The settings pages as windows, on a program folder of the test's own: what the support page's buttons open
// with and without the release's address file, and the double-click test without a usable animation.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/profile_record.h"
#include "common/text_encoding.h"
#include "option/option_page_win.h"
#include "option/settings_pages.h"
#include "option/shell_calls_win.h"
#include "option/skin_kit_win.h"
#include "option/ui_text_win.h"
#include "option/ui_texts.h"

namespace sarn::win {
namespace {

std::vector<std::wstring> g_opened;
bool RecordOpen(const wchar_t* what) {
  g_opened.emplace_back(what);
  return true;
}

class FolderHost final : public PageHost {
 public:
  explicit FolderHost(std::wstring folder) : folder_(std::move(folder)) {}
  SharedBlock* Working() override { return &block_; }
  void RestoreDefaultsAfterConfirmation() override {}
  int Dpi() const override { return 96; }
  std::wstring ProgramFolder() const override { return folder_; }

 private:
  std::wstring folder_;
  SharedBlock block_{};
};

class SettingsPageWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::filesystem::path(temp) / ("sarn-pages-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_ / "wave");
    RegisterSkinClasses(GetModuleHandleW(nullptr));
    RegisterPageClass(GetModuleHandleW(nullptr));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SarnPagesTestParent";
    RegisterClassW(&wc);
    parent_ = CreateWindowExW(0, L"SarnPagesTestParent", L"", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (parent_ == nullptr) GTEST_SKIP() << "no window station to create windows in";
    SetForegroundWindow(parent_);
    SetActiveWindow(parent_);
    g_opened.clear();
    SetShellOpenForTest(RecordOpen);
  }
  void TearDown() override {
    SetShellOpenForTest(nullptr);
    page_.reset();
    if (parent_ != nullptr) DestroyWindow(parent_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  void Write(const char* name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }
  OptionPage& Open(PageKind kind) {
    host_ = std::make_unique<FolderHost>(folder_.wstring() + L"\\");
    page_ = CreateSettingsPage(kind, parent_, 900, RECT{0, 0, 800, 480}, *host_);
    EXPECT_NE(page_, nullptr);
    ShowWindow(page_->hwnd(), SW_SHOW);
    page_->Refresh();
    return *page_;
  }
  // The middle of a control, in page pixels, from the page's own description.
  POINT Centre(int id) const {
    const std::string json = page_->Describe();
    const std::string key = "{\"id\":" + std::to_string(id) + ",\"rect\":[";
    const std::size_t at = json.find(key);
    EXPECT_NE(at, std::string::npos) << id;
    long l = 0, t = 0, r = 0, b = 0;
    std::sscanf(json.c_str() + at + key.size(), "%ld,%ld,%ld,%ld", &l, &t, &r, &b);
    POINT p = {(l + r) / 2, (t + b) / 2};
    ScreenToClient(page_->hwnd(), &p);
    return p;
  }
  bool Described(int id, const char* what) const {
    const std::string json = page_->Describe();
    const std::size_t at = json.find("{\"id\":" + std::to_string(id) + ",");
    return at != std::string::npos && json.find(std::string("\"") + what + "\":true", at) < json.find('}', at);
  }
  void Click(int id) {
    SendMessageW(page_->hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(page_->hwnd()));
  }

  std::filesystem::path folder_;
  HWND parent_ = nullptr;
  std::unique_ptr<FolderHost> host_;
  std::unique_ptr<OptionPage> page_;
};

TEST_F(SettingsPageWindows, SupportButtonsOpenTheReleaseAddressesAndTheInstalledManual) {
  // As scripts/release writes it.
  Write("links.ini", "[Links]\r\nSupport=https://support.example.net/form\r\nUpdate=https://example.net/dl/\r\n"
                     "Mail=help@example.net\r\n");
  Write("README.txt", "manual\r\n");
  Open(PageKind::kUpdate);
  using namespace update_page;
  for (int id : {kUpdate, kHelp, kSupportForm, kMailRequest, kSupportMail}) {
    EXPECT_TRUE(Described(id, "enabled")) << id;
    Click(id);
  }
  const std::wstring manual = folder_.wstring() + L"\\README.txt";
  EXPECT_EQ(g_opened, (std::vector<std::wstring>{L"https://example.net/dl/", manual,
                                                 L"https://support.example.net/form", L"mailto:help@example.net",
                                                 L"mailto:help@example.net"}));
}

TEST_F(SettingsPageWindows, SupportButtonsWithoutAddressesAreUnavailableAndSayWhy) {
  Open(PageKind::kUpdate);
  using namespace update_page;
  for (int id : {kUpdate, kHelp, kSupportForm, kMailRequest, kSupportMail}) {
    EXPECT_FALSE(Described(id, "enabled")) << id;
    Click(id);
  }
  EXPECT_TRUE(g_opened.empty());
  // The pointer over an unavailable button puts the reason on the help line, and takes it down on leaving.
  SetSharedHelpText(L"");
  const POINT over = Centre(kUpdate);
  SendMessageW(page_->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(over.x, over.y));
  EXPECT_EQ(SharedHelpText(), Label(ui::kNotInThisBuild));
  const POINT manual = Centre(kHelp);
  SendMessageW(page_->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(manual.x, manual.y));
  EXPECT_EQ(SharedHelpText(), Label(ui::kManualMissing));
  SendMessageW(page_->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
  EXPECT_EQ(SharedHelpText(), L"");
}

TEST_F(SettingsPageWindows, DoubleClickTestKeepsThePictureWhenTheAnimationCannotBeOpened) {
  Write("wave/double_click.avi", "RIFF junk, no animation");
  Open(PageKind::kMain);
  ASSERT_TRUE(Described(main_page::kDoubleClickTest, "visible"));
  const POINT at = Centre(main_page::kDoubleClickTest);
  SendMessageW(page_->hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  EXPECT_TRUE(Described(main_page::kDoubleClickTest, "visible"));
  HWND animation = FindWindowExW(page_->hwnd(), nullptr, L"SysAnimate32", nullptr);
  EXPECT_TRUE(animation == nullptr || !IsWindowVisible(animation));
  // A second double click neither shows an empty box.
  SendMessageW(page_->hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  EXPECT_TRUE(Described(main_page::kDoubleClickTest, "visible"));
}

}  // namespace
}  // namespace sarn::win
