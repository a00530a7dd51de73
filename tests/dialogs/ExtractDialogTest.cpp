#include "tests/dialogs/DialogDriver.h"
#include "dialogs/ExtractDialog.h"
#include "dialogs/ExtractDialogIds.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class ExtractDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    InitCommonControls();
    owner_ = CreateWindowW(L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                           nullptr, nullptr);
    root_ = fs::temp_directory_path() / ("tavix-extract-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(root_ / "arcdir" / "inside");
    fs::create_directories(root_ / "elsewhere");
    ini_ = (root_ / "Tavix.ini").wstring();
    dialog_ = std::make_unique<TExtract>(owner_, TExtract::TInitialOptions{});
    dialog_->ExtractHistory().SetFileName(ini_);
    dialog_->SetArchivePath((root_ / "arcdir" / "data.lzh").wstring());
    dialog_->SetDesktopFolder(RegistryDesktopFolder() + L"\\");
  }
  void TearDown() override {
    dialog_.reset();
    DestroyWindow(owner_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  HWND Panel(int id) const { return GetDlgItem(dialog_->Panel1(), id); }
  HWND HistoryEdit() const { return FindWindowExW(Panel(IDC_EXTRACT_HISTORY), nullptr, L"Edit", nullptr); }
  // Shows the dialog without the modal loop, so the test drives it directly.
  void Show() {
    ShowWindow(dialog_->Handle(), SW_SHOW);
    dialog_->FormShow();
  }
  void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }
  int Width() const {
    RECT r{};
    GetWindowRect(dialog_->Handle(), &r);
    return r.right - r.left;
  }
  int PanelX() const {
    RECT r{};
    GetWindowRect(dialog_->Panel1(), &r);
    MapWindowPoints(nullptr, dialog_->Handle(), reinterpret_cast<POINT*>(&r), 2);
    return r.left;
  }

  HWND owner_ = nullptr;
  fs::path root_;
  std::wstring ini_;
  std::unique_ptr<TExtract> dialog_;
};

TEST_F(ExtractDialogTest, CaptionsAndDefaultButtonAreCancel) {
  wchar_t text[128];
  GetWindowTextW(dialog_->Handle(), text, 128);
  EXPECT_STREQ(text, L"解凍先の指定");
  GetWindowTextW(Panel(IDC_EXTRACT_CANCEL), text, 128);
  EXPECT_STREQ(text, L"ｷｬﾝｾﾙ(&C)");
  GetWindowTextW(GetDlgItem(dialog_->Handle(), IDC_EXTRACT_MAKEARCDIR), text, 128);
  EXPECT_STREQ(text, L"書庫名ﾌｫﾙﾀﾞ作成(&F)");
  EXPECT_EQ(LOWORD(SendMessageW(dialog_->Handle(), DM_GETDEFID, 0, 0)), IDC_EXTRACT_CANCEL);
  EXPECT_EQ(Width(), 472);
  EXPECT_EQ(PanelX(), 164);
  EXPECT_FALSE(IsWindowEnabled(Panel(IDC_EXTRACT_OPOPEN)));
}

TEST_F(ExtractDialogTest, CollapseAndExpandMoveThePanelOverTheOptions) {
  dialog_->SetExistFileMode(1);
  const int options[] = {IDC_EXTRACT_FILEOPTION, IDC_EXTRACT_FILE_ALL, IDC_EXTRACT_EXISTMODE,
                         IDC_EXTRACT_EXIST_OVERWRITE, IDC_EXTRACT_DIROPTION, IDC_EXTRACT_DIR_DESKTOP,
                         IDC_EXTRACT_MAKEARCDIR, IDC_EXTRACT_FOLDEROPTION, IDC_EXTRACT_FOLDER_RELATIVE,
                         IDC_EXTRACT_OPCLOSE};
  ShowWindow(dialog_->Handle(), SW_SHOW);
  for (int id : options) EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog_->Handle(), id))) << id;
  Click(GetDlgItem(dialog_->Handle(), IDC_EXTRACT_OPCLOSE));
  EXPECT_EQ(Width(), 312);
  EXPECT_EQ(PanelX(), 4);
  EXPECT_TRUE(IsWindowEnabled(Panel(IDC_EXTRACT_OPOPEN)));
  // Nothing of the pane is left to paint over the folder tree.
  for (int id : options) EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog_->Handle(), id))) << id;
  dialog_->OpCloseBtnClick();  // again: harmless
  EXPECT_EQ(Width(), 312);
  EXPECT_EQ(PanelX(), 4);
  EXPECT_EQ(dialog_->ExistFileMode(), 1);  // covered, still in force
  Click(Panel(IDC_EXTRACT_OPOPEN));
  EXPECT_EQ(Width(), 472);
  EXPECT_EQ(PanelX(), 164);
  EXPECT_FALSE(IsWindowEnabled(Panel(IDC_EXTRACT_OPOPEN)));
  for (int id : options) EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog_->Handle(), id))) << id;
}

TEST_F(ExtractDialogTest, FirstShowingWithEmptyHistoryLeavesTheBoxEmpty) {
  dialog_->SetHistoryText(L"C:\\from-settings");
  Show();
  EXPECT_EQ(dialog_->HistoryText(), L"");
  EXPECT_EQ(dialog_->DirOption(), 0);
}

TEST_F(ExtractDialogTest, PresetFoldersNavigateTheTree) {
  dialog_->ExtractHistory().Add((root_ / "elsewhere").wstring());
  Show();
  EXPECT_EQ(dialog_->Destination(), (root_ / "elsewhere").wstring());
  EXPECT_EQ(dialog_->HistoryText(), (root_ / "elsewhere").wstring());

  Click(GetDlgItem(dialog_->Handle(), IDC_EXTRACT_DIR_ARCHIVE));
  EXPECT_EQ(dialog_->Destination(), (root_ / "arcdir").wstring());

  // The desktop node's display name never becomes the destination.
  Click(GetDlgItem(dialog_->Handle(), IDC_EXTRACT_DIR_DESKTOP));
  std::wstring desktop = RegistryDesktopFolder();
  ASSERT_FALSE(desktop.empty());
  EXPECT_EQ(dialog_->Destination(), desktop);
  EXPECT_EQ(dialog_->HistoryText(), desktop);
}

TEST_F(ExtractDialogTest, TypedPathChoosesThePresetByPrefix) {
  Show();
  struct Case {
    std::wstring typed;
    int dirOption;
  } cases[] = {
      {(root_ / "arcdir" / "inside").wstring(), 1},
      {RegistryDesktopFolder() + L"\\sub", 2},
      {(root_ / "elsewhere").wstring(), 0},
  };
  for (const auto& c : cases) {
    SetWindowTextW(HistoryEdit(), L"");
    SetFocus(HistoryEdit());
    TypeText(HistoryEdit(), c.typed);
    EXPECT_EQ(dialog_->DirOption(), c.dirOption) << fs::path(c.typed).string();
    EXPECT_EQ(dialog_->HistoryText(), c.typed);
    // The typing hand keeps the box: the focus stays, and the typed text is the destination.
    EXPECT_EQ(GetFocus(), HistoryEdit());
    EXPECT_EQ(dialog_->Destination(), c.typed);
  }
  // A folder that does not exist yet, typed below the one the tree shows.
  std::wstring fresh = (root_ / "elsewhere" / "not-yet").wstring();
  SetWindowTextW(HistoryEdit(), L"");
  TypeText(HistoryEdit(), fresh);
  EXPECT_EQ(dialog_->Destination(), fresh);
  dialog_->OkBtnClick();
  EXPECT_EQ(dialog_->Destination(), fresh);
  EXPECT_EQ(dialog_->ExtractHistory().History().front(), fresh);
}

TEST_F(ExtractDialogTest, NewFolderWithNoFolderSelectedIsRefusedNotMadeAtTheDriveRoot) {
  Show();
  TreeView_SelectItem(GetDlgItem(dialog_->Panel1(), IDC_EXTRACT_TREE), nullptr);
  // The current folder is on C:, so a root-relative name would land in C:\.
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(root_.wstring().c_str());
  std::wstring name = L"tavix-root-" + std::to_wstring(GetCurrentProcessId());
  std::wstring asked, told;
  {
    TUserThread user([&] {
      // Either the name is asked for (the fault) or the user is told to choose a place.
      for (int waited = 0; waited < 30000 && asked.empty() && told.empty(); waited += 20) {
        if (HWND box = WaitForWindow(L"フォルダ作成", 20)) {
          asked = L"asked";
          SetDlgItemTextW(box, IDC_INPUTBOX_EDIT, name.c_str());
          PressUntilGone(box, IDOK);
        } else if (HWND message = WaitForWindow(L"Tavix", 20)) {
          told = MessageBoxText(message);
          PressUntilGone(message, IDOK);
        }
      }
    });
    Click(Panel(IDC_EXTRACT_MAKEDIR));
  }
  SetCurrentDirectoryW(previous);
  bool madeAtRoot = fs::exists(fs::path(L"C:\\") / name);
  std::error_code ignored;
  fs::remove(fs::path(L"C:\\") / name, ignored);
  EXPECT_FALSE(madeAtRoot);
  EXPECT_EQ(asked, L"");
  EXPECT_EQ(told, L"ﾌｫﾙﾀﾞを作成する場所を選択してください.");
}

TEST_F(ExtractDialogTest, OkPutsTheDestinationOnTopOfTheHistoryCancelDoesNot) {
  dialog_->ExtractHistory().Add(L"C:\\older");
  dialog_->SetDirOption(1);
  TUserThread user([&] {
    HWND window = WaitForWindow(L"解凍先の指定");
    ASSERT_NE(window, nullptr);
    SendMessageW(Panel(IDC_EXTRACT_OK), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(dialog_->ShowModal(), IDOK);
  user.Join();
  EXPECT_EQ(dialog_->ExtractHistory().History().front(), (root_ / "arcdir").wstring());
  EXPECT_FALSE(dialog_->Shown());
  EXPECT_TRUE(IsWindowEnabled(owner_));

  TUserThread escape([&] {
    HWND window = WaitForWindow(L"解凍先の指定");
    ASSERT_NE(window, nullptr);
    SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(dialog_->ShowModal(), IDCANCEL);
  escape.Join();
  EXPECT_EQ(dialog_->ExtractHistory().History().size(), 2u);
}

TEST_F(ExtractDialogTest, NewFolderIsCreatedAndSelectedAnExistingOneFailsWithTheSystemCode) {
  dialog_->ExtractHistory().Add((root_ / "elsewhere").wstring());
  Show();
  auto answer = [](const std::wstring& name) {
    return TUserThread([name] {
      HWND box = WaitForWindow(L"フォルダ作成");
      ASSERT_NE(box, nullptr);
      SetDlgItemTextW(box, IDC_INPUTBOX_EDIT, name.c_str());
      PressUntilGone(box, IDOK);
    });
  };
  {
    auto user = answer(L"新しいフォルダ");
    Click(Panel(IDC_EXTRACT_MAKEDIR));
  }
  fs::path created = root_ / "elsewhere" / L"新しいフォルダ";
  EXPECT_TRUE(fs::is_directory(created));
  EXPECT_EQ(dialog_->Destination(), created.wstring());

  dialog_->ExtractHistory().Add((root_).wstring());
  dialog_->FormShow();
  std::wstring message;
  {
    TUserThread user([&] {
      HWND box = WaitForWindow(L"フォルダ作成");
      ASSERT_NE(box, nullptr);
      SetDlgItemTextW(box, IDC_INPUTBOX_EDIT, L"elsewhere");
      PressUntilGone(box, IDOK);
      HWND error = WaitForWindow(L"Tavix");
      ASSERT_NE(error, nullptr);
      message = MessageBoxText(error);
      PressUntilGone(error, IDOK);
    });
    Click(Panel(IDC_EXTRACT_MAKEDIR));
  }
  EXPECT_EQ(message, L"ﾌｫﾙﾀﾞ " + (root_ / "elsewhere").wstring() + L" は作成出来ませんでした.183");
  EXPECT_EQ(dialog_->Destination(), root_.wstring());
}

}  // namespace
