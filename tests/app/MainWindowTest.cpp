// The main window driven in this process: start-up, menus and toolbar,
// listing archives, command states, sorting, cancelling, closing.
#include "WindowDriver.h"

#include "app/res/resource.h"
#include "engine/Handles.h"
#include "shellext/HandOverBlock.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace {

std::wstring TextOf(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

constexpr WORD Date(int y, int m, int d) { return static_cast<WORD>(((y - 1980) << 9) | (m << 5) | d); }
constexpr WORD Time(int h, int mi, int halfSeconds) { return static_cast<WORD>((h << 11) | (mi << 5) | halfSeconds); }

std::wstring ReadIni(const std::wstring& ini, const wchar_t* section, const wchar_t* key) {
  wchar_t text[1024] = {};
  GetPrivateProfileStringW(section, key, L"<none>", text, 1024, ini.c_str());
  return text;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    spy_ = LoadSpy();
    ASSERT_NE(spy_, nullptr);
    SpyReset(spy_);
    folder_ = TempFolder(TextOf(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    ini_ = folder_ + L"\\Tavix.ini";
    workDir_ = folder_ + L"\\work";
    WritePrivateProfileStringW(L"Options", L"WorkDir", workDir_.c_str(), ini_.c_str());
    WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", ini_.c_str());
    WritePrivateProfileStringW(L"DeksTop", L"LastOpen", folder_.c_str(), ini_.c_str());
  }
  void TearDown() override { main_.reset(); }

  // Starts the window with the given arguments and lets its first job run
  // (or, without wait, leaves running it to the caller).
  TTavixMain& Start(std::vector<std::wstring> arguments = {}, bool wait = true) {
    TMainStart start = MainStart(ini_, arguments, &help_);
    main_ = std::make_unique<TTavixMain>();
    EXPECT_TRUE(main_->Create(start, SW_SHOWNORMAL));
    if (!wait) return *main_;
    Pump(*main_, 100);
    PumpUntil(*main_, [&] { return !main_->State().pendingJob && !main_->State().busy; });
    return *main_;
  }
  std::wstring Archive(const wchar_t* name) {
    std::wstring path = folder_ + L"\\" + name;
    WriteText(path, "archive");
    return path;
  }
  void Close() {
    SendMessageW(main_->Handle(), WM_CLOSE, 0, 0);
    Pump(*main_, 50);
  }

  struct RecordingHelp : THelpService {
    std::vector<std::wstring> calls;
    void ShowContext(HWND, const std::wstring& file, DWORD context) override {
      calls.push_back(file + L"#" + std::to_wstring(context));
    }
    void KeywordSearch(HWND, const std::wstring& file, const std::wstring& key) override {
      calls.push_back(file + L"?" + key);
    }
  } help_;
  HMODULE spy_ = nullptr;
  std::wstring folder_, ini_, workDir_;
  std::unique_ptr<TTavixMain> main_;
};

TEST_F(MainWindow, WithoutArgumentsStartsANewLzhArchiveInItsWorkFolder) {
  TTavixMain& main = Start();
  EXPECT_EQ(WindowText(main.Handle()), L"LZH: Newfile.lzh");
  EXPECT_EQ(main.ApplicationTitle(), L"Newfile.lzh");
  EXPECT_TRUE(main.State().newArchiveMode);
  EXPECT_FALSE(main.State().readOnlyView);
  EXPECT_EQ(main.State().newArchivePath, workDir_ + L"\\~Tavix0\\Newfile.lzh");
  EXPECT_TRUE(Exists(workDir_ + L"\\~Tavix0"));
  EXPECT_EQ(ReadIni(ini_, L"Work", L"HowManyOpen"), L"1");
  // An empty new LZH archive offers adding, nothing that needs entries.
  EXPECT_TRUE(MenuEnabled(main.MainMenu(), CmdAdd));
  EXPECT_FALSE(MenuEnabled(main.MainMenu(), CmdExtract));
  EXPECT_FALSE(main.FileBar().Enabled(CmdExtract));
  EXPECT_FALSE(MenuEnabled(main.MainMenu(), CmdSaveAs));
  RECT bounds{};
  GetWindowRect(main.Handle(), &bounds);
  EXPECT_EQ(bounds.left, 110);
  EXPECT_EQ(bounds.top, 60);
  EXPECT_EQ(bounds.right - bounds.left, 432);
  EXPECT_EQ(bounds.bottom - bounds.top, 340);
}

TEST_F(MainWindow, MenusCarryTheirCaptionsAndShortcuts) {
  TTavixMain& main = Start();
  HMENU menu = main.MainMenu();
  const wchar_t* tops[] = {L"ﾌｧｲﾙ(&F)", L"編集(&E)", L"表示(&V)", L"ﾍﾙﾌﾟ(&H)"};
  for (int i = 0; i < 4; ++i) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(text), tops[i]);
  }
  struct Item {
    UINT id;
    const wchar_t* full;
  } items[] = {
      {CmdOpenArchive, L"開く(&O)...\tF3"},      {CmdNewArchive, L"新規作成(&N)...\tF2"},
      {CmdExtract, L"解凍(&M)\tCtrl+M"},     {CmdView, L"閲覧(&V)\tCtrl+W"},
      {CmdOptions, L"設定...(&T)\tCtrl+P"}, {CmdExit, L"終了(&X)\tCtrl+Q"},
      {CmdSaveAs, L"名前を付けて保存(&A)..."}, {CmdSelectAll, L"全て選択(&L)"},
      {CmdAbout, L"ﾊﾞｰｼﾞｮﾝ情報(&A)..."},  {CmdSfxWin32M, L"&Win32M SFX..."},
  };
  for (const Item& item : items) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, item.id, text, 128, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(text), item.full);
  }
  // The install item is hidden until a single installer is selected.
  EXPECT_EQ(GetMenuState(menu, CmdInstall, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_TRUE(MenuChecked(menu, CmdReportView));
  EXPECT_TRUE(MenuChecked(main.DropDown(3), CmdSfxWin32));
  EXPECT_EQ(MenuCaption(main.DropDown(1), CmdExtractToDesktop), L"ﾃﾞｽｸﾄｯﾌﾟへ");
  EXPECT_EQ(MenuCaption(main.ListPopup(), CmdArchiveProperties), L"ﾌﾟﾛﾊﾟﾃｨ(&P)...");
}

TEST_F(MainWindow, CtrlQPressedOnTheKeyboardCloses) {
  TTavixMain& main = Start();
  HWND window = main.Handle();
  PointAt(window);
  SetForegroundWindow(window);
  PumpUntil(main, [&] { return GetForegroundWindow() == window; });
  ASSERT_EQ(Xdotool(L"key --clearmodifiers ctrl+q"), 0);
  EXPECT_TRUE(PumpUntil(main, [&] { return !IsWindow(window); }, 10000));
  EXPECT_EQ(ReadIni(ini_, L"Work", L"HowManyOpen"), L"0");
}

// Every row of the command table is built: a row without a handler would be
// a command shown disabled for good.
TEST(Commands, EveryRowHasItsHandler) {
#define TAVIX_ID_OF(id, ...) id,
  for (UINT id : {TAVIX_MAIN_COMMANDS(TAVIX_ID_OF)}) EXPECT_TRUE(CommandBuilt(id)) << id;
#undef TAVIX_ID_OF
}

TEST_F(MainWindow, ToolbarHasItsItemsHintsAndStatusPanels) {
  TTavixMain& main = Start();
  TDockToolBar& bar = main.FileBar();
  ASSERT_EQ(bar.ItemCount(), 24);
  EXPECT_EQ(bar.Caption(), L"Tavixｺﾏﾝﾄﾞ");
  EXPECT_EQ(main.MeltOpBar().Caption(), L"解凍時ｵﾌﾟｼｮﾝ");
  EXPECT_FALSE(bar.Enabled(CmdCopy));
  EXPECT_FALSE(bar.Enabled(CmdInstall));
  SIZE size = bar.IdealSize();
  EXPECT_GT(size.cx, 200);
  // Hovering a button shows the second part of its hint in panel 0.
  NMTBHOTITEM hot{};
  hot.hdr.hwndFrom = bar.Handle();
  hot.hdr.code = TBN_HOTITEMCHANGE;
  hot.idNew = CmdOpenArchive;
  SendMessageW(main.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hot));
  EXPECT_EQ(main.StatusBar1().Text(0), L"書庫ﾌｧｲﾙを開きます");
  EXPECT_EQ(SendMessageW(main.StatusBar1().Handle(), SB_GETPARTS, 0, 0), 5);
  // Help calls name their topics.
  SendMessageW(main.Handle(), WM_COMMAND, CmdHelpContents, 0);
  SendMessageW(main.Handle(), WM_COMMAND, CmdHelpSearch, 0);
  ASSERT_EQ(help_.calls.size(), 2u);
  EXPECT_NE(help_.calls[0].find(L".hlp>LMain#1"), std::wstring::npos);
  EXPECT_NE(help_.calls[1].find(L".hlp>LMain?"), std::wstring::npos);
  // Hidden toolbar items follow the settings.
  main.Settings().ToolBtn[0] = false;
  main.ApplyToolButtonVisibility();
  EXPECT_FALSE(bar.ItemVisible(0));
  EXPECT_TRUE(bar.ItemVisible(1));
}

TEST_F(MainWindow, F1OverACommandBarButtonOpensThatCommandsHelpTopic) {
  TTavixMain& main = Start();
  HWND window = main.Handle();
  PointAt(window);
  SetForegroundWindow(window);
  PumpUntil(main, [&] { return GetForegroundWindow() == window; });
  auto pressF1Over = [&](RECT r) {
    int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    Xdotool(L"mousemove --sync " + std::to_wstring(x) + L" " + std::to_wstring(y));
    PumpUntil(main, [&] {
      POINT at{};
      GetCursorPos(&at);
      return at.x == x && at.y == y;
    });
    size_t before = help_.calls.size();
    EXPECT_EQ(Xdotool(L"key F1"), 0);
    EXPECT_TRUE(PumpUntil(main, [&] { return help_.calls.size() > before; }, 10000));
    return help_.calls.size() > before ? help_.calls.back() : std::wstring(L"<none>");
  };
  // Disabled buttons (adding is not built yet) still name their topic.
  EXPECT_EQ(pressF1Over(main.FileBar().ButtonRect(CmdExtract)), main.HelpFile() + L"#19");
  EXPECT_EQ(pressF1Over(main.FileBar().ButtonRect(CmdAdd)), main.HelpFile() + L"#22");
  // The keys reach the window only under the pointer: the buttons further
  // right come into the window when the ones before them are hidden.
  for (int i = 0; i < 17; ++i) main.Settings().ToolBtn[i] = false;
  main.ApplyToolButtonVisibility();
  EXPECT_EQ(pressF1Over(main.FileBar().ButtonRect(CmdOptions)), main.HelpFile() + L"#25");
  EXPECT_EQ(pressF1Over(main.FileBar().ButtonRect(CmdExit)), main.HelpFile() + L"#5");
  // Anywhere else the main window's topic.
  RECT list{};
  GetWindowRect(main.ArcList().Handle(), &list);
  EXPECT_EQ(pressF1Over(list), main.HelpFile() + L"#5");
}

TEST_F(MainWindow, ListsEntriesWithTheirTexts) {
  SpyAdd(spy_, "docs/sub/readme.txt", 1234, 600, 486, Date(2025, 4, 1), Time(10, 20, 15));
  SpyAdd(spy_, "\x93\xfa\x96\x7b\x8c\xea.txt", 12345678, 12345678, 1000, Date(1999, 12, 31), Time(23, 59, 29));
  SpyAdd(spy_, "SETUP.EXE", 0, 0, 0, Date(1980, 1, 1), Time(0, 0, 0));
  TTavixMain& main = Start({Archive(L"test.lzh")});
  ASSERT_EQ(main.ArcList().ItemCount(), 3);
  EXPECT_EQ(WindowText(main.Handle()), L"LZH: test.lzh");
  const wchar_t* first[] = {L"readme.txt", L"2025/04/01", L"10:20:30", L"   1,234", L"48.6%", L"     600", L"docs\\sub"};
  for (int column = 0; column < 7; ++column) EXPECT_EQ(ItemText(main, 0, column), first[column]) << column;
  EXPECT_EQ(ItemText(main, 1, 0), L"日本語.txt");
  EXPECT_EQ(ItemText(main, 1, 3), L"12,345,678");
  EXPECT_EQ(ItemText(main, 1, 4), L"100.0%");
  EXPECT_EQ(ItemText(main, 1, 2), L"23:59:58");
  EXPECT_EQ(ItemText(main, 1, 6), L"");
  EXPECT_EQ(EntryPath(main.State().records[0]), L"docs/sub/readme.txt");
  EXPECT_EQ(main.StatusBar1().Text(0), L"ファイル情報を取得しました");
  EXPECT_EQ(main.StatusBar1().Text(1), L"3 Files");
  EXPECT_EQ(main.State().totalOriginalSize, 1234u + 12345678u);
  EXPECT_EQ(main.State().firstMethod, L"-lh5-");
  EXPECT_EQ(main.State().statusImage, 1);
  EXPECT_TRUE(main.State().readOnlyView);
  // A read-only view of an LZH archive: extract, no add or delete.
  EXPECT_TRUE(MenuEnabled(main.MainMenu(), CmdExtract));
  EXPECT_FALSE(MenuEnabled(main.MainMenu(), CmdAdd));
  EXPECT_FALSE(main.FileBar().Enabled(CmdDelete));
  // The archive went to the reopen menus.
  HMENU reopen = GetSubMenu(GetSubMenu(main.MainMenu(), 0), 2);
  EXPECT_EQ(MenuCaption(reopen, CmdReopenFirst), folder_ + L"\\test.lzh");
  EXPECT_EQ(MenuCaption(main.DropDown(0), CmdReopenFirst), folder_ + L"\\test.lzh");

  // Selecting the installer alone shows the install commands; another entry hides them.
  ListView_SetItemState(main.ArcList().Handle(), 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  EXPECT_NE(GetMenuState(main.MainMenu(), CmdInstall, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_NE(GetMenuState(main.ListPopup(), CmdInstall, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_EQ(main.StatusBar1().Text(0), L" 1 個のファイルを選択");
  EXPECT_FALSE(main.FileBar().Enabled(CmdDelete));  // still a read-only view
  ListView_SetItemState(main.ArcList().Handle(), -1, 0, LVIS_SELECTED);
  ListView_SetItemState(main.ArcList().Handle(), 0, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(GetMenuState(main.MainMenu(), CmdInstall, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_FALSE(main.FileBar().Enabled(CmdInstall));
  ListView_SetItemState(main.ArcList().Handle(), -1, 0, LVIS_SELECTED);
  EXPECT_FALSE(main.FileBar().Enabled(CmdView));
}

TEST_F(MainWindow, ColumnClicksSortByTextEachColumnWithItsOwnDirection) {
  SpyAdd(spy_, "b.txt", 2000000, 1, 452, Date(2001, 1, 1), 0);
  SpyAdd(spy_, "a.txt", 500, 1, 1000, Date(2000, 1, 1), 0);
  SpyAdd(spy_, "c.txt", 10000000, 1, 90, Date(2002, 1, 1), 0);
  TTavixMain& main = Start({Archive(L"sort.lzh")});
  auto column = [&](int c) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < main.ArcList().ItemCount(); ++i) texts.push_back(ItemText(main, i, c));
    return texts;
  };
  auto click = [&](int c) {
    NMLISTVIEW info{};
    info.hdr.hwndFrom = main.ArcList().Handle();
    info.hdr.idFrom = IDC_ARCLIST;
    info.hdr.code = LVN_COLUMNCLICK;
    info.iItem = -1;
    info.iSubItem = c;
    SendMessageW(main.Handle(), WM_NOTIFY, IDC_ARCLIST, reinterpret_cast<LPARAM>(&info));
  };
  click(3);
  EXPECT_EQ(column(0), (std::vector<std::wstring>{L"a.txt", L"c.txt", L"b.txt"}));  // "10,000,000" < "2,000,000"
  EXPECT_EQ(main.ArcList().SortArrow(3), TSortArrow::Up);
  click(3);
  EXPECT_EQ(column(0), (std::vector<std::wstring>{L"b.txt", L"c.txt", L"a.txt"}));
  EXPECT_EQ(main.ArcList().SortArrow(3), TSortArrow::Down);
  click(4);
  EXPECT_EQ(column(4), (std::vector<std::wstring>{L"100.0%", L"45.2%", L"9.0%"}));
  click(1);
  EXPECT_EQ(column(0), (std::vector<std::wstring>{L"a.txt", L"b.txt", L"c.txt"}));
  EXPECT_EQ(main.ArcList().SortArrow(3), TSortArrow::None);
}

TEST_F(MainWindow, ExactlyTwentyEntriesAllShow) {
  for (int i = 0; i < 20; ++i) SpyAdd(spy_, "f" + std::to_string(i) + ".txt", i, i, 0, Date(2020, 1, 1), 0);
  TTavixMain& main = Start({Archive(L"twenty.lzh")});
  EXPECT_EQ(main.ArcList().ItemCount(), 20);
  EXPECT_EQ(ItemText(main, 19, 0), L"f19.txt");
  EXPECT_EQ(main.StatusBar1().Text(1), L"20 Files");
}

TEST_F(MainWindow, TheFileCountShowsInTensWhileALongListingRuns) {
  const int total = 60000;
  for (int i = 0; i < total; ++i) SpyAdd(spy_, "file" + std::to_string(i), 1, 1, 0, Date(2020, 1, 1), 0);
  Start({Archive(L"long.lzh")}, false);
  // Another thread reads the panel as the window shows it, while messages run.
  HWND bar = main_->StatusBar1().Handle();
  std::atomic<bool> done{false};
  std::vector<std::wstring> seen;
  std::thread watch([&] {
    while (!done) {
      wchar_t text[64] = {};
      if (SendMessageTimeoutW(bar, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 100, nullptr) &&
          (seen.empty() || seen.back() != text))
        seen.push_back(text);
      Sleep(1);
    }
  });
  PumpUntil(*main_, [&] { return !main_->State().pendingJob && !main_->State().busy; }, 20000);
  Pump(*main_, 100);  // the watcher's last look, after the listing
  done = true;
  watch.join();
  ASSERT_EQ(main_->State().entryCount, total);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), std::to_wstring(total) + L" Files");
  int between = 0;
  for (const std::wstring& text : seen) {
    if (text.empty()) continue;
    int count = _wtoi(text.c_str());
    EXPECT_EQ(text, std::to_wstring(count) + L" Files");
    EXPECT_TRUE(count == 1 || count % 10 == 0) << count;
    if (count > 1 && count < total) ++between;
  }
  EXPECT_GT(between, 0) << "the count showed only at the end";
}

TEST_F(MainWindow, ShellIconsFollowEachEntrysFileType) {
  // Two file types registered with icons of their own, so names of different
  // types get different system icons; removed again at the end.
  struct FileType {
    const wchar_t *extension, *className, *icon;
  } types[] = {{L".tvxone", L"Tavix.TestOne", L",3"}, {L".tvxtwo", L"Tavix.TestTwo", L",4"}};
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  std::wstring shell32 = std::wstring(system) + L"\\shell32.dll";
  auto removeTypes = [&] {
    for (const FileType& type : types) {
      RegDeleteTreeW(HKEY_CLASSES_ROOT, type.extension);
      RegDeleteTreeW(HKEY_CLASSES_ROOT, type.className);
    }
  };
  removeTypes();
  for (const FileType& type : types) {
    std::wstring icon = shell32 + type.icon;
    RegSetKeyValueW(HKEY_CLASSES_ROOT, type.extension, nullptr, REG_SZ, type.className,
                    static_cast<DWORD>((wcslen(type.className) + 1) * sizeof(wchar_t)));
    RegSetKeyValueW(HKEY_CLASSES_ROOT, (std::wstring(type.className) + L"\\DefaultIcon").c_str(), nullptr, REG_SZ,
                    icon.c_str(), static_cast<DWORD>((icon.size() + 1) * sizeof(wchar_t)));
  }
  WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"1", ini_.c_str());
  const char* names[] = {"a.tvxone", "b.tvxtwo", "c.TVXONE", "dir/d.tvxtwo", "e", "f.txt", "g.tvxtwo.tvxone"};
  for (const char* name : names) SpyAdd(spy_, name, 1, 1, 0, Date(2020, 1, 1), 0);
  TTavixMain& main = Start({Archive(L"icons.lzh")});
  const std::vector<TListRecord>& records = main.State().records;
  ASSERT_EQ(records.size(), std::size(names));
  // The icon the list shows, as the list view asks for it when painting.
  std::vector<int> shown;
  for (size_t i = 0; i < records.size(); ++i) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = static_cast<int>(i);
    item.iImage = -2;
    ASSERT_TRUE(ListView_GetItem(main.ArcList().Handle(), &item));
    SHFILEINFOW shell{};
    SHGetFileInfoW(records[i].name.c_str(), 0, &shell, sizeof shell,
                   SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    EXPECT_EQ(item.iImage, shell.iIcon) << records[i].name;
    shown.push_back(item.iImage);
  }
  EXPECT_NE(shown[0], shown[1]);
  EXPECT_EQ(shown[0], shown[6]);
  removeTypes();
}

TEST_F(MainWindow, IconViewsLayTheEntriesOutInARow) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) SpyAdd(spy_, name, 1, 1, 0, Date(2020, 1, 1), 0);
  TTavixMain& main = Start({Archive(L"row.lzh")});
  HWND list = main.ArcList().Handle();
  for (UINT view : {CmdLargeIcons, CmdSmallIcons}) {
    SendMessageW(main.Handle(), WM_COMMAND, view, 0);
    POINT first{}, second{};
    ListView_GetItemPosition(list, 0, &first);
    ListView_GetItemPosition(list, 1, &second);
    EXPECT_GT(second.x, first.x) << view;
    EXPECT_EQ(second.y, first.y) << view;
  }
}

TEST_F(MainWindow, AnArchiveWithoutEntriesWarnsAndMarksTheListingUnavailable) {
  TMessageBoxAnswerer answer;
  TTavixMain& main = Start({Archive(L"empty.lzh")});
  ASSERT_FALSE(answer.Texts().empty());
  EXPECT_EQ(answer.Texts()[0], L"書庫ファイル情報を取得できませんでした.\n\r" + folder_ +
                                   L"\\empty.lzh はTavixでは操作出来ません.");
  EXPECT_EQ(main.StatusBar1().Text(0), L"ファイル情報を取得出来ません");
  EXPECT_EQ(main.ArcList().ItemCount(), 0);
  EXPECT_TRUE(main.State().listingUnavailable);
  EXPECT_FALSE(MenuEnabled(main.MainMenu(), CmdView));
  // The whole archive can still be extracted.
  EXPECT_TRUE(MenuEnabled(main.MainMenu(), CmdExtract));
  EXPECT_TRUE(MenuEnabled(main.ListPopup(), CmdExtract));
  EXPECT_TRUE(main.FileBar().Enabled(CmdExtract));
}

TEST_F(MainWindow, SelfExtractingArchiveListsWithoutSfxCommands) {
  SpyAdd(spy_, "inside.txt", 10, 10, 1000, Date(2020, 1, 1), 0);
  TTavixMain& main = Start({Archive(L"sfx.exe")});
  EXPECT_EQ(WindowText(main.Handle()), L"LZH: sfx.exe");
  EXPECT_EQ(main.ArcList().ItemCount(), 1);
  EXPECT_TRUE(MenuEnabled(main.MainMenu(), CmdExtract));
  EXPECT_FALSE(main.FileBar().Enabled(CmdMakeSfx));
}

TEST_F(MainWindow, JarIsListedAsZipWithTheZipSfxSet) {
  std::wstring jar = WinPath(TAVIX_FIXTURE_DIR) + L"\\docs.jar";
  TTavixMain& main = Start({jar});
  EXPECT_EQ(WindowText(main.Handle()), L"ZIP: docs.jar");
  EXPECT_EQ(main.State().currentKind, atZip);
  ASSERT_EQ(main.ArcList().ItemCount(), 2);
  EXPECT_EQ(ItemText(main, 1, 0), L"readme.txt");
  EXPECT_EQ(ItemText(main, 1, 6), L"docs\\sub");
  // The ZIP set moves the check mark and the button's image (the SFX commands themselves are not built yet).
  EXPECT_TRUE(MenuChecked(main.DropDown(3), CmdSfxWin32M));
  EXPECT_EQ(main.FileBar().Image(CmdMakeSfx), 2);
}

TEST_F(MainWindow, EscStopsALongListing) {
  for (int i = 0; i < 60000; ++i) SpyAdd(spy_, "file" + std::to_string(i), 1, 1, 0, Date(2020, 1, 1), 0);
  std::atomic<bool> started{false};
  std::thread pressEsc;
  TMainStart start;
  start.settingsPath = ini_;
  std::wstring archive = Archive(L"long.lzh");
  start.commandLine = L"Tavix.exe \"" + archive + L"\"";
  start.help = &help_;
  main_ = std::make_unique<TTavixMain>();
  ASSERT_TRUE(main_->Create(start, SW_SHOWNORMAL));
  HWND list = main_->ArcList().Handle();
  pressEsc = std::thread([&] {
    // Only once the listing has begun: the list shows its first 20 entries then.
    for (int i = 0; i < 1000; ++i) {
      DWORD_PTR count = 0;
      if (SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_BLOCK, 100, &count) && count > 0) break;
      Sleep(10);
    }
    PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
    started = true;
  });
  PumpUntil(*main_, [&] { return started && !main_->State().busy && !main_->State().pendingJob; }, 20000);
  pressEsc.join();
  EXPECT_GT(main_->State().entryCount, 0);
  EXPECT_LT(main_->State().entryCount, 60000);
  EXPECT_EQ(main_->StatusBar1().Text(0), L"処理を強制中断しました.");
  EXPECT_TRUE(IsWindowEnabled(main_->Handle()));
}

TEST_F(MainWindow, WheelScrollsTwoLinesPerNotchAndIgnoresFinerSteps) {
  for (int i = 0; i < 200; ++i) SpyAdd(spy_, "f" + std::to_string(i), 1, 1, 0, Date(2020, 1, 1), 0);
  TTavixMain& main = Start({Archive(L"wheel.lzh")});
  HWND list = main.ArcList().Handle();
  EXPECT_EQ(ListView_GetTopIndex(list), 0);
  SendMessageW(main.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
  EXPECT_EQ(ListView_GetTopIndex(list), 2);
  SendMessageW(main.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-60)), 0);
  EXPECT_EQ(ListView_GetTopIndex(list), 2);
  SendMessageW(main.Handle(), MsWheelRollMessage(), static_cast<WORD>(120), 0);
  EXPECT_EQ(ListView_GetTopIndex(list), 0);
}

TEST_F(MainWindow, ViewStylesCycleAndTheCloseWritesTheSettings) {
  TTavixMain& main = Start();
  SendMessageW(main.Handle(), WM_COMMAND, CmdNextViewStyle, 0);  // report -> large icons
  EXPECT_EQ(main.ArcList().ViewStyle(), 0);
  EXPECT_TRUE(MenuChecked(main.MainMenu(), CmdLargeIcons));
  EXPECT_TRUE(MenuChecked(main.DropDown(4), CmdLargeIcons));
  SendMessageW(main.Handle(), WM_COMMAND, CmdListView, 0);
  EXPECT_EQ(main.ArcList().ViewStyle(), 2);
  EXPECT_FALSE(MenuChecked(main.MainMenu(), CmdLargeIcons));
  SendMessageW(main.Handle(), WM_COMMAND, CmdShowCommandBar, 0);  // hide the command bar
  EXPECT_FALSE(main.Docks().BarVisible(main.FileBar()));
  main.ShortCuts()[0] = static_cast<TShortCut>(scShift | VK_F3);
  Close();
  EXPECT_EQ(ReadIni(ini_, L"DeskTop", L"IconStyle"), L"2");
  EXPECT_EQ(ReadIni(ini_, L"ShortCut", L"sLOpen"), L"Shift+F3");
  EXPECT_EQ(ReadIni(ini_, L"ShortCut", L"sMelt"), L"Ctrl+M");
  EXPECT_EQ(ReadIni(ini_, L"DeskTop", L"ToolBtn0"), L"1");
  EXPECT_EQ(ReadIni(ini_, L"DeskTop", L"MainLeft"), L"110");
  EXPECT_EQ(ReadIni(ini_, L"Work", L"HowManyOpen"), L"0");
  EXPECT_EQ(ReadIni(ini_, L"ToolBar.FileBar", L"Visible"), L"0");
  EXPECT_FALSE(Exists(workDir_ + L"\\~Tavix0"));

  // The next start restores what was written.
  TTavixMain& again = Start();
  EXPECT_EQ(again.ArcList().ViewStyle(), 2);
  EXPECT_FALSE(again.Docks().BarVisible(again.FileBar()));
  EXPECT_FALSE(MenuChecked(again.MainMenu(), CmdShowCommandBar));
  wchar_t text[64] = {};
  GetMenuStringW(again.MainMenu(), CmdOpenArchive, text, 64, MF_BYCOMMAND);
  EXPECT_EQ(std::wstring(text), L"開く(&O)...\tShift+F3");
}

TEST_F(MainWindow, AMissingArchiveOnTheCommandLineWarnsAndFallsBackToANewArchive) {
  TMessageBoxAnswerer answer(IDCANCEL);
  TTavixMain& main = Start({folder_ + L"\\missing.lzh"});
  ASSERT_FALSE(answer.Texts().empty());
  EXPECT_EQ(answer.Texts()[0], L"指定されたﾌｧｲﾙが見つかりません");
  EXPECT_TRUE(main.State().newArchiveMode);
  EXPECT_EQ(WindowText(main.Handle()), L"LZH: Newfile.lzh");
}

TEST_F(MainWindow, MeltOpensTheArchiveTheShellExtensionHandedOver) {
  SpyAdd(spy_, "readme.txt", 1, 1, 0, Date(2020, 1, 1), 0);
  std::wstring archive = Archive(L"handed over.lzh");
  // The block as the extension leaves it: kept open by its writer.
  TKernelHandle block(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x7FFF, L"TavixEx"));
  ASSERT_TRUE(block);
  TMappedView view(MapViewOfFile(block.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0x7FFF));
  ASSERT_TRUE(view);
  std::string text = hand_over::Encode({archive});
  memcpy(view.get(), text.c_str(), text.size() + 1);
  TTavixMain& main = Start({L"/MELT"});
  EXPECT_EQ(WindowText(main.Handle()), L"LZH: handed over.lzh");
  EXPECT_EQ(main.State().archivePath, archive);
  EXPECT_EQ(main.State().entryCount, 1);
  EXPECT_TRUE(main.State().readOnlyView);
}

TEST_F(MainWindow, AReopenItemWhoseFileIsGoneWarns) {
  SpyAdd(spy_, "a.txt", 1, 1, 0, Date(2020, 1, 1), 0);
  std::wstring path = Archive(L"gone.lzh");
  TTavixMain& main = Start({path});
  DeleteFileW(path.c_str());
  TMessageBoxAnswerer answer;
  SendMessageW(main.Handle(), WM_COMMAND, CmdReopenFirst, 0);
  ASSERT_FALSE(answer.Texts().empty());
  EXPECT_EQ(answer.Texts()[0], L"ﾌｧｲﾙ " + path + L" は存在しません.");
}

TEST_F(MainWindow, AReopenItemShowsAnAmpersandAsItIs) {
  SpyAdd(spy_, "a.txt", 1, 1, 0, Date(2020, 1, 1), 0);
  CreateDirectoryW((folder_ + L"\\A&B").c_str(), nullptr);
  std::wstring path = folder_ + L"\\A&B\\x&y.lzh";
  WriteText(path, "archive");
  TTavixMain& main = Start({path});
  HMENU reopen = GetSubMenu(GetSubMenu(main.MainMenu(), 0), 2);
  EXPECT_EQ(MenuCaption(reopen, CmdReopenFirst), folder_ + L"\\A&&B\\x&&y.lzh");
  EXPECT_EQ(MenuCaption(main.DropDown(0), CmdReopenFirst), folder_ + L"\\A&&B\\x&&y.lzh");
}

TEST_F(MainWindow, ArchivesThatCannotBeHandledAreToldAndTheWindowStaysUsable) {
  // An unknown kind named on the command line: told, and a new archive instead.
  {
    TMessageBoxAnswerer answer;
    TTavixMain& main = Start({Archive(L"unknown.gca")});
    ASSERT_EQ(answer.Texts().size(), 1u);
    EXPECT_EQ(answer.Texts()[0], L"書庫の形式を特定できませんでした。");
    EXPECT_TRUE(main.State().newArchiveMode);
    EXPECT_EQ(WindowText(main.Handle()), L"LZH: Newfile.lzh");
    EXPECT_TRUE(IsWindowEnabled(main.Handle()));
    Close();
    EXPECT_EQ(ReadIni(ini_, L"Work", L"HowManyOpen"), L"0");
  }
  // Chosen while another archive is shown: told, and the shown archive stays.
  SpyAdd(spy_, "a.txt", 1, 1, 0, Date(2020, 1, 1), 0);
  std::wstring unknown = Archive(L"other.gca");
  TTavixMain& main = Start({Archive(L"shown.lzh")});
  main.OpenHistory().SetHistory({unknown});
  TMessageBoxAnswerer answer;
  SendMessageW(main.Handle(), WM_COMMAND, CmdReopenFirst, 0);
  ASSERT_EQ(answer.Texts().size(), 1u);
  EXPECT_EQ(answer.Texts()[0], L"書庫の形式を特定できませんでした。");
  EXPECT_EQ(WindowText(main.Handle()), L"LZH: shown.lzh");
  EXPECT_EQ(main.State().archivePath, folder_ + L"\\shown.lzh");
  EXPECT_EQ(main.ArcList().ItemCount(), 1);
  EXPECT_TRUE(MenuEnabled(main.MainMenu(), CmdExtract));
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
}

TEST_F(MainWindow, AFailureDuringTheListingIsToldAndLeavesTheWindowUsable) {
  // An ARJ library without its FindNext entry: the engine raises after the first entry.
  static HMODULE arj = LoadLibraryW((WinPath(TAVIX_BINARY_DIR) + L"\\bin\\spy-app\\UNARJ32.DLL").c_str());
  ASSERT_NE(arj, nullptr);
  SpyReset(arj);
  SpyAdd(arj, "first.txt", 1, 1, 0, Date(2020, 1, 1), 0);
  SpyAdd(arj, "second.txt", 1, 1, 0, Date(2020, 1, 1), 0);
  TMessageBoxAnswerer answer;
  TTavixMain& main = Start({Archive(L"broken.arj")});
  ASSERT_EQ(answer.Texts().size(), 1u);
  EXPECT_NE(answer.Texts()[0].find(L"のエントリが見つかりません"), std::wstring::npos) << answer.Texts()[0];
  EXPECT_FALSE(main.State().busy);
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
  HWND window = main.Handle();
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(ReadIni(ini_, L"Work", L"HowManyOpen"), L"0");
}

TEST_F(MainWindow, ALibraryFailingAtTheCloseKeepsWhatWasListedAndLeavesTheWindowUsable) {
  static HMODULE cab = LoadLibraryW((WinPath(TAVIX_BINARY_DIR) + L"\\bin\\spy-app\\CAB32.DLL").c_str());
  ASSERT_NE(cab, nullptr);
  SpyReset(cab);
  SpyAdd(cab, "first.txt", 1, 1, 0, Date(2020, 1, 1), 0);
  SpyAdd(cab, "second.txt", 1, 1, 0, Date(2020, 1, 1), 0);
  TMessageBoxAnswerer answer;
  TTavixMain& main = Start({Archive(L"closing.cab")});
  ASSERT_EQ(answer.Texts().size(), 1u);
  EXPECT_NE(answer.Texts()[0].find(L"のエントリが見つかりません"), std::wstring::npos) << answer.Texts()[0];
  EXPECT_FALSE(main.State().busy);
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
  // The listing ended like any failed listing: what was read shows, and the bar says it failed.
  EXPECT_EQ(main.ArcList().ItemCount(), 2);
  EXPECT_EQ(main.State().statusImage, 1);
  EXPECT_EQ(main.StatusBar1().Text(0), L"ファイル情報を取得出来ません");
  EXPECT_EQ(main.StatusBar1().Text(1), L"2 Files");
  HWND window = main.Handle();
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(ReadIni(ini_, L"Work", L"HowManyOpen"), L"0");
}

TEST_F(MainWindow, ALibraryThatListsForeverIsStoppedByEscOrByTheBound) {
  SpyAdd(spy_, "again.txt", 1, 1, 0, Date(2020, 1, 1), 0);
  reinterpret_cast<void(WINAPI*)(BOOL)>(reinterpret_cast<void*>(GetProcAddress(spy_, "SpySetEndless")))(TRUE);
  // Esc pressed on the keyboard while the listing runs (the listing holds
  // this thread: the key comes from another, once entries show).
  Start({Archive(L"endless.lzh")}, false);
  HWND window = main_->Handle();
  HWND list = main_->ArcList().Handle();
  PointAt(list);
  std::atomic<int> pressed{-2};
  std::thread user([&] {
    for (int i = 0; i < 2000; ++i) {
      DWORD_PTR count = 0;
      if (SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_BLOCK, 100, &count) && count > 0) break;
      Sleep(10);
    }
    pressed = Xdotool(L"key Escape");
  });
  PumpUntil(*main_, [&] { return pressed != -2 && !main_->State().busy && !main_->State().pendingJob; }, 60000);
  user.join();
  EXPECT_EQ(pressed, 0);
  EXPECT_GT(main_->State().entryCount, 0);
  EXPECT_LT(main_->State().entryCount, TTavixMain::MaxListedEntries);
  EXPECT_EQ(main_->StatusBar1().Text(0), L"処理を強制中断しました.");
  EXPECT_TRUE(IsWindowEnabled(window));
  Close();

  // Left alone, the listing ends at the bound and says so.
  TMessageBoxAnswerer answer;
  TTavixMain& main = Start({Archive(L"endless2.lzh")}, false);
  DWORD began = GetTickCount();
  EXPECT_TRUE(PumpUntil(main, [&] { return !main.State().busy && !main.State().pendingJob; }, 100000));
  std::printf("listing to the bound took %lu ms\n", GetTickCount() - began);
  EXPECT_EQ(main.State().entryCount, TTavixMain::MaxListedEntries);
  ASSERT_EQ(answer.Texts().size(), 1u);
  EXPECT_EQ(answer.Texts()[0], L"書庫のファイルが多すぎます.\n\r最初の " + std::to_wstring(TTavixMain::MaxListedEntries) +
                                   L" 個だけを表示します. 書庫が壊れている可能性があります.");
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
}

TEST_F(MainWindow, ClosingWhileMinimisedKeepsTheNormalBounds) {
  TTavixMain& main = Start();
  SendMessageW(main.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  PumpUntil(main, [&] { return IsIconic(main.Handle()) != FALSE; });
  ASSERT_TRUE(IsIconic(main.Handle()));
  Close();
  EXPECT_EQ(ReadIni(ini_, L"DeskTop", L"MainLeft"), L"110");
  EXPECT_EQ(ReadIni(ini_, L"DeskTop", L"MainTop"), L"60");
  EXPECT_EQ(ReadIni(ini_, L"DeskTop", L"MainWidth"), L"432");
  EXPECT_EQ(ReadIni(ini_, L"DeskTop", L"MainHeight"), L"340");
}

TEST_F(MainWindow, ASettingsFileThatCannotBeWrittenIsToldAndTheWindowStillStarts) {
  // The settings file's folder does not exist: every write fails.
  ini_ = folder_ + L"\\missing\\Tavix.ini";
  TMessageBoxAnswerer answer;
  TTavixMain& main = Start();
  ASSERT_FALSE(answer.Texts().empty());
  EXPECT_EQ(answer.Texts()[0], ini_ + L" に書き込めません");
  EXPECT_EQ(WindowText(main.Handle()), L"LZH: Newfile.lzh");
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
  HWND window = main.Handle();
  Close();
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
