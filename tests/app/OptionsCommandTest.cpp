// The settings dialog reached from the main window, as a user uses it: its
// tool-bar page switched by keys, a line unchecked and a shortcut typed, then
// OK or Cancel; what the window takes back.
#include "WindowDriver.h"

#include "dialogs/OptionDialogIds.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

HWND WaitForTopWindow(const wchar_t* caption) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    HWND window = FindWindowW(L"#32770", caption);
    if ((window && IsWindowVisible(window)) || std::chrono::steady_clock::now() > limit) return window;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

HWND Page(HWND dialog, int controlId) {
  for (HWND page = FindWindowExW(dialog, nullptr, L"#32770", nullptr); page;
       page = FindWindowExW(dialog, page, L"#32770", nullptr))
    if (HWND control = GetDlgItem(page, controlId)) return control;
  return nullptr;
}

bool WaitFor(const std::function<bool()>& done) {
  for (int waited = 0; waited < 20000; waited += 20) {
    if (done()) return true;
    Sleep(20);
  }
  return done();
}

void Click(HWND window, const RECT& screen) {
  Xdotool(L"mousemove 0 0 mousemove --sync " + std::to_wstring((screen.left + screen.right) / 2) + L" " +
          std::to_wstring((screen.top + screen.bottom) / 2) + L" click 1");
}

class OptionsCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempFolder(L"options-command");
    ini_ = folder_ + L"\\Tavix.ini";
    WritePrivateProfileStringW(L"Options", L"WorkDir", (folder_ + L"\\work").c_str(), ini_.c_str());
    WritePrivateProfileStringW(L"Options", L"Archives", L".LZH.ZIP", ini_.c_str());
    main_ = std::make_unique<TTavixMain>();
    ASSERT_TRUE(main_->Create(MainStart(ini_, {}, nullptr), SW_SHOWNORMAL));
    PumpUntil(*main_, [&] { return !main_->State().pendingJob; });
  }
  void TearDown() override { main_.reset(); }

  // Opens the dialog from the View menu's command, as its shortcut Ctrl+P
  // does, lets the user act, and returns when the dialog is gone.
  void RunDialog(const std::function<void(HWND)>& user) {
    std::atomic<bool> done{false};
    std::thread acting([&] {
      HWND dialog = WaitForTopWindow(L"Tavix の設定");
      if (dialog != nullptr) user(dialog);
      done = true;
      EXPECT_NE(dialog, nullptr);
    });
    PointAt(main_->Handle(), true);
    Xdotool(L"key ctrl+p");
    // The dialog runs inside this pumping; it has closed once the user is done.
    PumpUntil(*main_, [&] { return done && FindWindowW(L"#32770", L"Tavix の設定") == nullptr; }, 60000);
    acting.join();
  }

  // On the tool-bar page: unchecks the first line ("新規作成") and gives it Ctrl+F9.
  static void EditFirstToolLine(HWND dialog) {
    for (int i = 0; i < 3; ++i) Xdotool(L"key ctrl+Tab");
    HWND list = Page(dialog, IDC_OPT_TOOLLIST);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(list) != FALSE; }));
    RECT item{};
    ListView_GetItemRect(list, 0, &item, LVIR_LABEL);
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&item), 2);
    Click(dialog, item);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(Page(dialog, IDC_OPT_HOTKEY)) != FALSE; }));
    // Space turns the check box of the line the list has in focus.
    Xdotool(L"key space");
    ASSERT_TRUE(WaitFor([&] { return !ListView_GetCheckState(list, 0); }));
    RECT hotKey{};
    GetWindowRect(Page(dialog, IDC_OPT_HOTKEY), &hotKey);
    Click(dialog, hotKey);
    Xdotool(L"key ctrl+F9");
  }

  std::wstring folder_, ini_;
  std::unique_ptr<TTavixMain> main_;
};

TEST_F(OptionsCommand, OkTakesTheToolBarLinesAndShortcutsOver) {
  ASSERT_TRUE(main_->FileBar().ItemVisible(0));
  RunDialog([](HWND dialog) {
    EditFirstToolLine(dialog);
    RECT ok{};
    GetWindowRect(GetDlgItem(dialog, IDOK), &ok);
    Click(dialog, ok);
  });
  EXPECT_FALSE(main_->Settings().ToolBtn[0]);
  EXPECT_FALSE(main_->FileBar().ItemVisible(0));
  EXPECT_EQ(main_->Settings().ShortCuts[1], L"Ctrl+F9");
  EXPECT_EQ(ShortCutToText(main_->ShortCuts()[1]), L"Ctrl+F9");
  // The extension list always ends with a blank after OK.
  EXPECT_EQ(main_->Settings().Archives, L".LZH.ZIP ");
}

TEST_F(OptionsCommand, CancelTakesNothingOver) {
  RunDialog([](HWND dialog) {
    EditFirstToolLine(dialog);
    RECT cancel{};
    GetWindowRect(GetDlgItem(dialog, IDCANCEL), &cancel);
    Click(dialog, cancel);
  });
  EXPECT_TRUE(main_->Settings().ToolBtn[0]);
  EXPECT_TRUE(main_->FileBar().ItemVisible(0));
  EXPECT_EQ(main_->Settings().ShortCuts[1], L"F2");
  EXPECT_EQ(main_->Settings().Archives, L".LZH.ZIP");
}

}  // namespace
