// The file and folder picker driven with real clicks and keys (xdotool under
// Xvfb) while it runs modally: a folder returned by itself, several files
// returned with full paths in list order, the history kept in the settings
// file across openings, the up button, the new-folder panel and the desktop node.
#include "BrowseDialog.h"
#include "BrowseDialogIds.h"
#include "DialogDriver.h"
#include "ExtractDialog.h"
#include "../support/XInput.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const wchar_t* const Caption = L"ﾌｧｲﾙやﾌｫﾙﾀﾞの参照";

std::wstring ReadIni(const std::wstring& ini, const wchar_t* key) {
  wchar_t text[1024] = {};
  GetPrivateProfileStringW(L"BrowseHistory", key, L"<none>", text, 1024, ini.c_str());
  return text;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{sizeof info};
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

class BrowseDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    OleInitialize(nullptr);
    InitCommonControls();
    owner_ = CreateWindowW(L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, nullptr,
                           nullptr);
    root_ = (fs::temp_directory_path() / ("tavix-browse-" + std::to_string(GetCurrentProcessId()))).wstring();
    while (!root_.empty() && root_.back() == L'\\') root_.pop_back();
    pick_ = root_ + L"\\pick";
    // Process ids come round again: a folder left by a killed run must not add entries.
    std::error_code ignored;
    fs::remove_all(root_, ignored);
    fs::create_directories(fs::path(pick_) / "sub");
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) std::ofstream(fs::path(pick_) / name) << name;
    ini_ = root_ + L"\\Tavix.ini";
  }
  void TearDown() override {
    DestroyWindow(owner_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  int Run(TBrowse& browse, const std::function<void(HWND)>& user) {
    return ShowWithUser(Caption, [&] { return browse.ShowModal(); }, user);
  }

  HWND owner_ = nullptr;
  std::wstring root_, pick_, ini_;
};

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

void ClickControl(HWND control) {
  RECT r{};
  GetClientRect(control, &r);
  ClickAt(control, r.right / 2, r.bottom / 2);
}

void ClickToolButton(HWND dialog, int command) {
  HWND toolbar = Item(dialog, IDC_BROWSE_TOOLBAR);
  RECT r{};
  SendMessageW(toolbar, TB_GETRECT, command, reinterpret_cast<LPARAM>(&r));
  ClickAt(toolbar, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

int ListIndex(HWND list, const std::wstring& name) {
  LVFINDINFOW find{};
  find.flags = LVFI_STRING;
  find.psz = name.c_str();
  return static_cast<int>(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

void ClickListItem(HWND list, const std::wstring& name, const std::wstring& modifiers = L"") {
  RECT r{};
  r.left = LVIR_LABEL;
  SendMessageW(list, LVM_GETITEMRECT, ListIndex(list, name), reinterpret_cast<LPARAM>(&r));
  ClickAt(list, r.left + 8, (r.top + r.bottom) / 2, modifiers);
}

std::wstring TreePath(HWND tree) {
  HTREEITEM selected = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  return selected ? L"selected" : L"";
}

TEST_F(BrowseDialogTest, OkWithNothingSelectedReturnsTheFolderItself) {
  std::wstring shots = ScreenshotFolder();
  TBrowse browse(owner_, ini_);
  browse.SetFolder(pick_);
  int result = Run(browse, [&](HWND window) {
    HWND list = Item(window, IDC_BROWSE_FILES);
    ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(list) == 4; }));
    // Folders first, then files by name.
    EXPECT_EQ(ListIndex(list, L"sub"), 0);
    EXPECT_EQ(ListIndex(list, L"a.txt"), 1);
    EXPECT_EQ(ListIndex(list, L"c.txt"), 3);
    EXPECT_EQ(Text(Item(window, IDC_BROWSE_FNAME)), pick_);
    EXPECT_EQ(Text(Item(window, IDC_BROWSE_HISTORY)), pick_);
    EXPECT_EQ(Text(Item(window, IDC_BROWSE_LABEL2)), L"開き直す(&H)");
    EXPECT_EQ(Text(Item(window, IDC_BROWSE_LABEL1)), L"ﾌｧｲﾙ,ﾌｫﾙﾀﾞ名(&F)");
    EXPECT_EQ(Text(Item(window, IDC_BROWSE_OK)), L"&OK");
    EXPECT_EQ(Text(Item(window, IDC_BROWSE_CANCEL)), L"ｷｬﾝｾﾙ(&C)");
    EXPECT_EQ(LOWORD(SendMessageW(window, DM_GETDEFID, 0, 0)), IDC_BROWSE_CANCEL);
    EXPECT_EQ(FocusOf(window), list);
    // Centred on the screen.
    RECT own{};
    GetWindowRect(window, &own);
    EXPECT_EQ(own.left, (GetSystemMetrics(SM_CXSCREEN) - (own.right - own.left)) / 2);
    EXPECT_EQ(own.top, (GetSystemMetrics(SM_CYSCREEN) - (own.bottom - own.top)) / 2);
    EXPECT_TRUE(Screenshot(window, shots + L"\\browse-list.png"));
    // The tool buttons tell what they do when the pointer rests on them.
    struct {
      int command;
      const wchar_t* hint;
    } hints[] = {{IDC_BROWSE_UP, L"一つ上のﾌｫﾙﾀﾞへ"},
                 {IDC_BROWSE_NEWFOLDER, L"新しいﾌｫﾙﾀﾞを作る"},
                 {IDC_BROWSE_LIST, L"一覧表示"},
                 {IDC_BROWSE_DETAILS, L"詳細表示"}};
    HWND toolbar = Item(window, IDC_BROWSE_TOOLBAR);
    HWND tip = reinterpret_cast<HWND>(SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
    ASSERT_NE(tip, nullptr);
    for (const auto& h : hints) {
      RECT r{};
      SendMessageW(toolbar, TB_GETRECT, h.command, reinterpret_cast<LPARAM>(&r));
      POINT middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
      ClientToScreen(toolbar, &middle);
      Xdotool(L"mousemove --sync " + std::to_wstring(middle.x) + L" " + std::to_wstring(middle.y - 2) +
              L" mousemove --sync " + std::to_wstring(middle.x) + L" " + std::to_wstring(middle.y));
      EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(tip) && Text(tip) == h.hint; }, 10000))
          << h.command << " " << fs::path(Text(tip)).string();
      if (h.command == IDC_BROWSE_UP) {
        RECT area{}, tipArea{};
        GetWindowRect(window, &area);
        GetWindowRect(tip, &tipArea);
        UnionRect(&area, &area, &tipArea);
        EXPECT_TRUE(ScreenshotArea(area, shots + L"\\browse-hint.png"));
      }
    }
    // The splitter between the tree and the list moves with the mouse.
    HWND tree = Item(window, IDC_BROWSE_TREE);
    RECT before{};
    GetWindowRect(tree, &before);
    int y = (before.top + before.bottom) / 2;
    Xdotool(L"mousemove --sync " + std::to_wstring(before.right + 2) + L" " + std::to_wstring(y) +
            L" mousedown 1 mousemove --sync " + std::to_wstring(before.right + 40) + L" " + std::to_wstring(y) +
            L" mousemove --sync " + std::to_wstring(before.right + 62) + L" " + std::to_wstring(y) + L" mouseup 1");
    EXPECT_TRUE(WaitUntil([&] {
      RECT now{}, files{};
      GetWindowRect(tree, &now);
      GetWindowRect(list, &files);
      return now.right == before.right + 60 && files.left == now.right + 5;
    }));
    PointAt(window);
    ClickControl(Item(window, IDC_BROWSE_OK));
  });
  ASSERT_EQ(result, IDOK);
  EXPECT_EQ(browse.Result(), std::vector<std::wstring>{pick_});
  EXPECT_EQ(browse.Folder(), pick_);
}

TEST_F(BrowseDialogTest, SeveralEntriesComeBackWithFullPathsInListOrder) {
  std::wstring shots = ScreenshotFolder();
  TBrowse browse(owner_, ini_);
  browse.SetFolder(pick_ + L"\\");
  int result = Run(browse, [&](HWND window) {
    HWND list = Item(window, IDC_BROWSE_FILES);
    ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(list) == 4; }));
    ClickListItem(list, L"c.txt");
    ClickListItem(list, L"a.txt", L"ctrl");
    ClickListItem(list, L"sub", L"ctrl");
    ASSERT_TRUE(WaitUntil([&] { return Text(Item(window, IDC_BROWSE_FNAME)) == L"\"sub\" \"a.txt\" \"c.txt\" "; }))
        << fs::path(Text(Item(window, IDC_BROWSE_FNAME))).string();
    // The details view, from its tool button, and back.
    ClickToolButton(window, IDC_BROWSE_DETAILS);
    EXPECT_TRUE(WaitUntil([&] { return (GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK) == LVS_REPORT; }));
    EXPECT_TRUE(Screenshot(window, shots + L"\\browse-details.png"));
    ClickToolButton(window, IDC_BROWSE_LIST);
    EXPECT_TRUE(WaitUntil([&] { return (GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK) == LVS_LIST; }));
    EXPECT_EQ(ListView_GetSelectedCount(list), 3u);
    // Enter in the list accepts (the dialog's default button is Cancel).
    PointAt(list);
    Xdotool(L"key --clearmodifiers Return");
  });
  ASSERT_EQ(result, IDOK);
  std::vector<std::wstring> expected = {pick_ + L"\\sub", pick_ + L"\\a.txt", pick_ + L"\\c.txt"};
  EXPECT_EQ(browse.Result(), expected);
  EXPECT_EQ(browse.Folder(), pick_);  // the tree's path
}

TEST_F(BrowseDialogTest, TheHistoryIsKeptInTheSettingsAcrossOpenings) {
  {
    TBrowse browse(owner_, ini_);
    browse.SetFolder(pick_);
    int result = Run(browse, [&](HWND window) {
      HWND list = Item(window, IDC_BROWSE_FILES);
      ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(list) == 4; }));
      Xdotool(L"key --clearmodifiers alt+o");
    });
    ASSERT_EQ(result, IDOK);
  }
  EXPECT_EQ(ReadIni(ini_, L"0"), pick_);
  {
    // Up twice from sub: the parent folders, shown in the path panel.
    TBrowse browse(owner_, ini_);
    browse.SetFolder(pick_ + L"\\sub");
    int result = Run(browse, [&](HWND window) {
      HWND combo = Item(window, IDC_BROWSE_HISTORY);
      EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 1);
      ClickToolButton(window, IDC_BROWSE_UP);
      EXPECT_TRUE(WaitUntil([&] { return Text(Item(window, IDC_BROWSE_FNAME)) == pick_; }));
      ClickToolButton(window, IDC_BROWSE_UP);
      EXPECT_TRUE(WaitUntil([&] { return Text(Item(window, IDC_BROWSE_FNAME)) == root_; }));
      HWND list = Item(window, IDC_BROWSE_FILES);
      EXPECT_TRUE(WaitUntil([&] { return ListIndex(list, L"pick") >= 0; }));
      ClickControl(Item(window, IDC_BROWSE_OK));
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(browse.Result(), std::vector<std::wstring>{root_});
  }
  EXPECT_EQ(ReadIni(ini_, L"0"), root_);
  EXPECT_EQ(ReadIni(ini_, L"1"), pick_);
  {
    // A folder that is gone: the Windows drive's root, an empty history
    // text; then the second history line chosen from the drop-down, and Cancel.
    TBrowse browse(owner_, ini_);
    browse.SetFolder(root_ + L"\\gone");
    int result = Run(browse, [&](HWND window) {
      HWND combo = Item(window, IDC_BROWSE_HISTORY);
      EXPECT_EQ(Text(combo), L"");
      EXPECT_EQ(Text(Item(window, IDC_BROWSE_FNAME)), L"");
      ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
      HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
      PointAt(edit, true);
      Xdotool(L"key --clearmodifiers alt+Down");
      EXPECT_TRUE(WaitUntil([&] { return SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != FALSE; }));
      Xdotool(L"key --clearmodifiers Down");
      Xdotool(L"key --clearmodifiers Down");
      Xdotool(L"key --clearmodifiers Return");
      EXPECT_TRUE(WaitUntil([&] { return Text(Item(window, IDC_BROWSE_FNAME)) == pick_; }))
          << fs::path(Text(Item(window, IDC_BROWSE_FNAME))).string();
      HWND list = Item(window, IDC_BROWSE_FILES);
      EXPECT_TRUE(WaitUntil([&] { return ListView_GetItemCount(list) == 4; }));
      PointAt(window);
      Xdotool(L"key --clearmodifiers Escape");
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(browse.Result().empty());
  }
  // Cancel saved the history too, unchanged.
  EXPECT_EQ(ReadIni(ini_, L"0"), root_);
  EXPECT_EQ(ReadIni(ini_, L"1"), pick_);
  EXPECT_EQ(ReadIni(ini_, L"2"), L"<none>");
}

TEST_F(BrowseDialogTest, TheNewFolderPanelCreatesTheFolderAndReportsAFailure) {
  std::wstring shots = ScreenshotFolder();
  TBrowse browse(owner_, ini_);
  browse.SetFolder(pick_);
  std::wstring failure;
  int result = Run(browse, [&](HWND window) {
    HWND list = Item(window, IDC_BROWSE_FILES);
    ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(list) == 4; }));
    for (int round = 0; round < 2; ++round) {
      ClickToolButton(window, IDC_BROWSE_NEWFOLDER);
      HWND edit = nullptr;
      ASSERT_TRUE(WaitUntil([&] {
        edit = FindWindowExW(window, nullptr, L"#32770", nullptr);
        edit = edit && IsWindowVisible(edit) ? GetDlgItem(edit, IDC_BROWSE_EDIT1) : nullptr;
        return edit != nullptr && FocusOf(window) == edit;
      }));
      HWND panel = GetParent(edit);
      // The field keeps what was typed the last time.
      EXPECT_EQ(Text(edit), round == 0 ? L"新しいﾌｫﾙﾀﾞ" : L"made");
      EXPECT_EQ(Text(GetDlgItem(panel, IDC_BROWSE_LABEL3)), L"新しいﾌｫﾙﾀﾞ名を入力");
      RECT r{};
      GetWindowRect(panel, &r);
      EXPECT_EQ(r.right - r.left, 180);
      EXPECT_EQ(r.bottom - r.top, 80);
      DWORD selection = static_cast<DWORD>(SendMessageW(edit, EM_GETSEL, 0, 0));
      EXPECT_EQ(LOWORD(selection), 0);
      EXPECT_EQ(HIWORD(selection), Text(edit).size());
      PointAt(edit);
      for (wchar_t c : std::wstring(L"made")) Xdotool(L"type '" + std::wstring(1, c) + L"'");
      ASSERT_TRUE(WaitUntil([&] { return Text(edit) == L"made"; }));
      if (round == 0) {
        EXPECT_TRUE(Screenshot(window, shots + L"\\browse-new-folder.png"));
      }
      // Enter creates while the panel is up.
      Xdotool(L"key --clearmodifiers Return");
      EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(panel); }));
      if (round == 0) {
        EXPECT_TRUE(WaitUntil([&] { return Text(Item(window, IDC_BROWSE_FNAME)) == pick_ + L"\\made"; }));
        EXPECT_TRUE(fs::is_directory(fs::path(pick_) / "made"));
        EXPECT_EQ(LOWORD(SendMessageW(window, DM_GETDEFID, 0, 0)), IDC_BROWSE_CANCEL);
        // Back in pick, where the second one would be made again.
        ClickToolButton(window, IDC_BROWSE_UP);
        ASSERT_TRUE(WaitUntil([&] { return Text(Item(window, IDC_BROWSE_FNAME)) == pick_; }));
      } else {
        HWND box = WaitForWindow(L"Tavix");
        ASSERT_NE(box, nullptr);
        failure = MessageBoxText(box);
        PointAt(box);
        Xdotool(L"key --clearmodifiers Return");
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
      }
    }
    PointAt(window);
    ClickControl(Item(window, IDC_BROWSE_CANCEL));
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(failure, L"ﾃﾞｨﾚｸﾄﾘの作成に失敗しました.");
  EXPECT_TRUE(browse.Result().empty());
}

TEST_F(BrowseDialogTest, TheDesktopNodeGivesTheRealDesktopFolderADoubleClickAccepts) {
  std::wstring desktop = RegistryDesktopFolder();
  ASSERT_FALSE(desktop.empty());
  auto browse = std::make_unique<TBrowse>(owner_, ini_);
  browse->SetDesktopFolder(desktop + L"\\");
  browse->SetFolder(pick_);
  int result = Run(*browse, [&](HWND window) {
    HWND tree = Item(window, IDC_BROWSE_TREE);
    HWND list = Item(window, IDC_BROWSE_FILES);
    ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(list) == 4; }));
    HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    RECT r{};
    SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(root));
    TreeView_GetItemRect(tree, root, &r, TRUE);
    ClickAt(tree, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ASSERT_TRUE(WaitUntil([&] { return Text(Item(window, IDC_BROWSE_FNAME)) == L"ﾃﾞｽｸﾄｯﾌﾟ"; }));
    EXPECT_FALSE(TreePath(tree).empty());
    POINT middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(tree, &middle);
    Xdotool(L"mousemove --sync " + std::to_wstring(middle.x) + L" " + std::to_wstring(middle.y) +
            L" click --repeat 2 --delay 80 1");
  });
  ASSERT_EQ(result, IDOK);
  EXPECT_EQ(browse->Result(), std::vector<std::wstring>{desktop + L"\\"});
  browse.reset();
  EXPECT_EQ(ReadIni(ini_, L"0"), desktop + L"\\");
}

TEST_F(BrowseDialogTest, AFolderTypedIntoTheHistoryBoxIsFollowedOnceTheHandPauses) {
  TBrowse browse(owner_, ini_);
  browse.SetFolder(root_);
  int result = Run(browse, [&](HWND window) {
    HWND combo = Item(window, IDC_BROWSE_HISTORY);
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    HWND list = Item(window, IDC_BROWSE_FILES);
    ASSERT_TRUE(WaitUntil([&] { return ListIndex(list, L"pick") >= 0; }));
    PointAt(edit, true);
    Xdotool(L"key --clearmodifiers End");
    for (wchar_t c : std::wstring(L"\\pick")) Xdotool(L"type '" + std::wstring(1, c) + L"'");
    ASSERT_TRUE(WaitUntil([&] { return Text(combo) == pick_; })) << fs::path(Text(combo)).string();
    EXPECT_TRUE(WaitUntil([&] { return Text(Item(window, IDC_BROWSE_FNAME)) == pick_; }));
    EXPECT_TRUE(WaitUntil([&] { return ListView_GetItemCount(list) == 4; }));
    // The typing hand keeps the box.
    EXPECT_EQ(FocusOf(window), edit);
    ClickControl(Item(window, IDC_BROWSE_OK));
  });
  ASSERT_EQ(result, IDOK);
  EXPECT_EQ(browse.Result(), std::vector<std::wstring>{pick_});
}

}  // namespace
