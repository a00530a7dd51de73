// The find dialog driven with real keys and clicks under Xvfb: the user types
// into it and leaves it by a button, Return or Escape.
#include "DialogDriver.h"
#include "FindDialog.h"
#include "FindDialogIds.h"
#include "../support/XInput.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool WaitFor(const std::function<bool()>& done) { return WaitUntil(done, 20000); }

bool ClickControl(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  // --sync waits for a move: from where a former test left the pointer there would be none.
  return Xdotool(L"mousemove 0 0 mousemove --sync " + std::to_wstring((r.left + r.right) / 2) + L" " +
                 std::to_wstring((r.top + r.bottom) / 2) + L" click 1") == 0;
}

// Types into the dialog's text box one key at a time and waits until it shows the text.
bool TypeInto(HWND dialog, const std::wstring& text) {
  HWND edit = FindWindowExW(GetDlgItem(dialog, IDC_FIND_WORD), nullptr, L"Edit", nullptr);
  if (!edit || !ClickControl(edit)) return false;
  Xdotool(L"key --clearmodifiers ctrl+a BackSpace");
  for (wchar_t c : text) Xdotool(L"type '" + std::wstring(1, c) + L"'");
  return WaitFor([&] { return Text(edit) == text; });
}

class FindDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateWindowW(L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 500, 300, nullptr,
                           nullptr, nullptr, nullptr);
    root_ = fs::temp_directory_path() / ("tavix-find-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(root_);
    ini_ = (root_ / "Tavix.ini").wstring();
  }
  void TearDown() override {
    DestroyWindow(owner_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  // As the viewer prepares it.
  std::unique_ptr<TFindDlg> Prepared() {
    auto dialog = std::make_unique<TFindDlg>(owner_, ini_);
    dialog->CenterOn(owner_);
    dialog->SetStartPointsEnabled(true);
    dialog->SetDownCaption(L"下検索(&N)");
    dialog->SetUpVisible(true);
    dialog->SetFindWord(L"");
    return dialog;
  }
  // Shows the dialog; the user acts on it from a second thread.
  int Show(TFindDlg& dialog, const std::function<void(HWND)>& user) {
    TUserThread thread([&] {
      HWND window = WaitForWindow(L"検索");
      if (window) user(window);
    });
    return dialog.ShowModal();
  }
  bool Stored(const wchar_t* key) {
    TIniGT ini;
    ini.SetFileName(ini_);
    return ini.ReadBool(L"Find", key, false);
  }
  std::vector<std::wstring> History() {
    THistoryEx history(L"FindHistory");
    history.SetFileName(ini_);
    history.Load();
    return history.History();
  }

  HWND owner_ = nullptr;
  fs::path root_;
  std::wstring ini_;
};

TEST_F(FindDialogTest, CaptionsAndTheViewersSetUp) {
  auto dialog = Prepared();
  EXPECT_EQ(Text(dialog->Handle()), L"検索");
  EXPECT_EQ(Text(GetDlgItem(dialog->Handle(), IDC_FIND_DOWN)), L"下検索(&N)");
  EXPECT_EQ(Text(GetDlgItem(dialog->Handle(), IDC_FIND_UP)), L"上検索(&P)");
  EXPECT_EQ(Text(GetDlgItem(dialog->Handle(), IDC_FIND_FUZZY)), L"あいまい検索(&F)");
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog->Handle(), IDC_FIND_UP)) ||
              (GetWindowLongW(GetDlgItem(dialog->Handle(), IDC_FIND_UP), GWL_STYLE) & WS_VISIBLE));
  EXPECT_FALSE(GetWindowLongW(GetDlgItem(dialog->Handle(), IDC_FIND_WHOLEWORD), GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(GetWindowLongW(dialog->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(LOWORD(SendMessageW(dialog->Handle(), DM_GETDEFID, 0, 0)), IDC_FIND_DOWN);
  // Defaults: from here, no options.
  EXPECT_TRUE(dialog->FromHere());
  EXPECT_FALSE(dialog->FromTop() || dialog->MatchCase() || dialog->RegExp() || dialog->Fuzzy() || dialog->WholeWord());
}

TEST_F(FindDialogTest, ATypedTextIsInTheHistoryOnceAndTheButtonGivesTheDirection) {
  auto first = Prepared();
  int result = Show(*first, [&](HWND window) {
    if (TypeInto(window, L"needle")) Xdotool(L"key --clearmodifiers Return");
  });
  EXPECT_EQ(result, IDYES);
  EXPECT_EQ(first->FindWord(), L"needle");
  first.reset();
  auto second = Prepared();
  result = Show(*second, [&](HWND window) {
    if (TypeInto(window, L"other")) Xdotool(L"key --clearmodifiers alt+p");
  });
  EXPECT_EQ(result, IDNO);
  second.reset();
  auto third = Prepared();
  result = Show(*third, [&](HWND window) {
    if (TypeInto(window, L"needle")) Xdotool(L"key --clearmodifiers Return");
  });
  EXPECT_EQ(result, IDYES);
  third.reset();
  EXPECT_EQ(History(), (std::vector<std::wstring>{L"needle", L"other"}));
}

TEST_F(FindDialogTest, CancelStillSavesTheOptionsAndTheHistoryButNotTheText) {
  THistoryEx earlier(L"FindHistory");
  earlier.SetFileName(ini_);
  earlier.Add(L"earlier");
  ASSERT_TRUE(earlier.Save());
  auto dialog = Prepared();
  int result = Show(*dialog, [&](HWND window) {
    HWND regex = GetDlgItem(window, IDC_FIND_REGEXP);
    if (!ClickControl(regex) || !WaitFor([&] { return IsDlgButtonChecked(window, IDC_FIND_REGEXP) == BST_CHECKED; }))
      return;
    HWND fromTop = GetDlgItem(window, IDC_FIND_FROMTOP);
    if (!ClickControl(fromTop) || !WaitFor([&] { return IsDlgButtonChecked(window, IDC_FIND_FROMTOP) == BST_CHECKED; }))
      return;
    if (TypeInto(window, L"typed")) Xdotool(L"key --clearmodifiers Escape");
  });
  EXPECT_EQ(result, IDCANCEL);
  dialog.reset();
  EXPECT_TRUE(Stored(L"RegExp"));
  EXPECT_TRUE(Stored(L"FromTop"));
  EXPECT_FALSE(Stored(L"From"));
  EXPECT_FALSE(Stored(L"MatchCase"));
  EXPECT_EQ(History(), std::vector<std::wstring>{L"earlier"});
}

TEST_F(FindDialogTest, FromTopStoredWithFromEndsSelected) {
  WritePrivateProfileStringW(L"Find", L"From", L"1", ini_.c_str());
  WritePrivateProfileStringW(L"Find", L"FromTop", L"1", ini_.c_str());
  WritePrivateProfileStringW(L"Find", L"WholeWord", L"1", ini_.c_str());
  auto dialog = Prepared();
  EXPECT_TRUE(dialog->FromTop());
  EXPECT_FALSE(dialog->FromHere());
  // Hidden, yet its stored state counts.
  EXPECT_TRUE(dialog->WholeWord());
}

}  // namespace
