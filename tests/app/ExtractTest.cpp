// Extraction from the main window with our own archiver libraries and real
// archives: the run, the options toolbar, the quick destinations, the
// destination dialog, extract-and-exit, cancelling and failures.
#include "WindowDriver.h"

#include "engine/ArchiveFile.h"
#include "dialogs/ExtractDialogIds.h"
#include "engine/TextUtil.h"
#include "app/WorkFolder.h"
#include "../support/EscapeCheck.h"
#include "app/res/resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::wstring TextOf(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::wstring ReadIni(const std::wstring& ini, const wchar_t* section, const wchar_t* key) {
  wchar_t text[1024] = {};
  GetPrivateProfileStringW(section, key, L"<none>", text, 1024, ini.c_str());
  return text;
}

// A visible window of this process whose caption ends with suffix.
struct TCaptionSearch {
  std::wstring suffix;
  HWND found = nullptr;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TCaptionSearch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  std::wstring caption = WindowText(window);
  const std::wstring& suffix = search->suffix;
  if (process == GetCurrentProcessId() && IsWindowVisible(window) && caption.size() >= suffix.size() &&
      caption.compare(caption.size() - suffix.size(), suffix.size(), suffix) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForCaption(const std::wstring& suffix, int timeoutMs = 8000) {
  TCaptionSearch search{suffix};
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(20);
  }
  return nullptr;
}

// Plays the user at the extraction dialog on its own thread: waits for the
// dialog, acts on it, then presses button until the dialog goes away.
class TDialogUser {
 public:
  TDialogUser(std::wstring caption, std::function<void(HWND dialog)> act, int button)
      : thread_([=, this] {
          HWND dialog = WaitForCaption(caption, 30000);
          if (!dialog) return;
          found = true;
          act(dialog);
          for (int i = 0; i < 30 && IsWindowVisible(dialog); ++i) {
            // The buttons sit on the dialog's inner panel.
            HWND panel = FindWindowExW(dialog, nullptr, L"#32770", nullptr);
            PostMessageW(panel, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            for (int wait = 0; wait < 50 && IsWindowVisible(dialog); ++wait) Sleep(20);
          }
        }) {}
  ~TDialogUser() { thread_.join(); }
  std::atomic<bool> found{false};

 private:
  std::thread thread_;
};

// Adds to the destination in the dialog's history box with real key presses:
// a click into the box, the caret to its end, the rest typed.
bool TypeWithKeys(TTavixMain& main, const std::wstring& tail) {
  HWND box = GetDlgItem(main.ExtractDialog()->Panel1(), IDC_EXTRACT_HISTORY);
  HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
  PointAt(edit, true);
  Xdotool(L"key --clearmodifiers End");
  // One key at a time, as a hand types: a burst of keys raced Wine's keyboard
  // mapping here and lost some of them.
  for (wchar_t c : tail) Xdotool(L"type '" + std::wstring(1, c) + L"'");
  // The keys reach the window after xdotool has ended: like the user, look
  // at the box before going on.
  for (int waited = 0; waited < 60000 && !WindowText(edit).ends_with(tail); waited += 20) Sleep(20);
  return WindowText(edit).ends_with(tail);
}

// Puts a destination into the dialog's history box.
void TypeDestination(TTavixMain& main, const std::wstring& path) {
  HWND panel = main.ExtractDialog()->Panel1();
  HWND box = GetDlgItem(panel, IDC_EXTRACT_HISTORY);
  SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  SendMessageW(panel, WM_COMMAND, MAKEWPARAM(IDC_EXTRACT_HISTORY, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(box));
}

class Extraction : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempFolder(TextOf(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    ini_ = folder_ + L"\\Tavix.ini";
    WritePrivateProfileStringW(L"Options", L"WorkDir", (folder_ + L"\\work").c_str(), ini_.c_str());
    WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", ini_.c_str());
    CreateDirectoryW((folder_ + L"\\src").c_str(), nullptr);
    CreateDirectoryW((folder_ + L"\\src\\sub").c_str(), nullptr);
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteText(folder_ + L"\\src\\" + TextOf(name), name);
    WriteText(folder_ + L"\\src\\sub\\d.txt", "d.txt");
    archive_ = MakeArchive(L"data.lzh");
  }
  void TearDown() override {
    if (main_ && IsWindow(main_->Handle())) {
      SendMessageW(main_->Handle(), WM_CLOSE, 0, 0);
      Pump(*main_, 50);
    }
    main_.reset();
  }

  // An LZH archive of src (a.txt, b.txt, c.txt, sub\d.txt) made by our library.
  std::wstring MakeArchive(const std::wstring& name) {
    std::wstring path = folder_ + L"\\" + name;
    TArchiveFile file;
    file.SetFileName(WideToAnsi(path));
    TArchiverOptions options;
    options.r = 1;
    options.x = 1;
    EXPECT_EQ(file.Add(nullptr, &options, WideToAnsi(folder_ + L"\\src"), {"*.*"}), 0);
    return path;
  }
  TTavixMain& Start(std::vector<std::wstring> arguments) {
    TMainStart start = MainStart(ini_, arguments, &help_);
    start.openFolder = [this](const std::wstring& folder) { opened_.push_back(folder); };
    main_ = std::make_unique<TTavixMain>();
    EXPECT_TRUE(main_->Create(start, SW_SHOWNORMAL));
    Pump(*main_, 100);
    PumpUntil(*main_, [&] { return !main_->State().pendingJob && !main_->State().busy; }, 8000);
    return *main_;
  }
  TTavixMain& Open() {
    TTavixMain& main = Start({archive_});
    EXPECT_EQ(main.State().entryCount, 4);
    return main;
  }
  // Selects the listed entries with these names.
  void Select(TTavixMain& main, std::initializer_list<const wchar_t*> names) {
    HWND list = main.ArcList().Handle();
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    for (int i = 0; i < main.ArcList().ItemCount(); ++i)
      for (const wchar_t* name : names)
        if (ItemText(main, i, 0) == name) ListView_SetItemState(list, i, LVIS_SELECTED, LVIS_SELECTED);
  }
  void Click(TTavixMain& main, UINT id) { SendMessageW(main.ExtractOptionControl(id), BM_CLICK, 0, 0); }
  bool Checked(TTavixMain& main, UINT id) {
    return SendMessageW(main.ExtractOptionControl(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  std::wstring Out(const std::wstring& name) {
    std::wstring out = folder_ + L"\\" + name;
    CreateDirectoryW(out.c_str(), nullptr);
    return out;
  }

  struct NoHelp : THelpService {
    void ShowContext(HWND, const std::wstring&, DWORD) override {}
    void KeywordSearch(HWND, const std::wstring&, const std::wstring&) override {}
  } help_;
  std::wstring folder_, ini_, archive_;
  std::vector<std::wstring> opened_;
  std::unique_ptr<TTavixMain> main_;
};

TEST_F(Extraction, ToolbarFollowsTheSettingsAndSetsThemBack) {
  WritePrivateProfileStringW(L"Options", L"FolderOption", L"1", ini_.c_str());
  WritePrivateProfileStringW(L"Options", L"ExistFileMode", L"1", ini_.c_str());
  TTavixMain& main = Start({});
  EXPECT_EQ(WindowText(main.ExtractOptionControl(IDC_OPTIONS_LABEL)), L"解凍時:  ");
  EXPECT_EQ(WindowText(main.ExtractOptionControl(IDC_NONDIR)), L"ﾃﾞｲﾚｸﾄﾘ無効");
  EXPECT_FALSE(Checked(main, IDC_ALLFILE));
  EXPECT_TRUE(Checked(main, IDC_OVERWRITE));
  EXPECT_TRUE(Checked(main, IDC_MKSUBDIR));
  EXPECT_TRUE(Checked(main, IDC_ABSDIR));
  EXPECT_FALSE(Checked(main, IDC_RELDIR));

  Click(main, IDC_ALLFILE);
  Click(main, IDC_OVERWRITE);
  Click(main, IDC_MKSUBDIR);
  Click(main, IDC_RELDIR);
  EXPECT_EQ(main.Settings().ExtractFileOpt, 1);
  EXPECT_EQ(main.Settings().ExistFileMode, 0);
  EXPECT_FALSE(main.Settings().MakeArcDir);
  EXPECT_EQ(main.Settings().FolderOption, 2);
  EXPECT_EQ(main.Settings().PackDirOption, 2);  // adding follows the bar
  EXPECT_FALSE(Checked(main, IDC_ABSDIR));
  Click(main, IDC_NONDIR);
  EXPECT_EQ(main.Settings().PackDirOption, 0);
  SendMessageW(main.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(ReadIni(ini_, L"Options", L"FolderOption"), L"0");
  EXPECT_EQ(ReadIni(ini_, L"Options", L"ExtractFileOpt"), L"1");
}

TEST_F(Extraction, SelectionOrEverythingWithStoredFoldersKeptOrIgnored) {
  TTavixMain& main = Open();
  Select(main, {L"a.txt", L"d.txt"});
  std::wstring some = Out(L"some");
  main.ExtractRun(some, false);
  EXPECT_EQ(ReadAll(some + L"\\a.txt"), "a.txt");
  EXPECT_EQ(ReadAll(some + L"\\sub\\d.txt"), "d.txt");  // relative folders by default
  EXPECT_FALSE(Exists(some + L"\\b.txt"));
  EXPECT_EQ(main.StatusBar1().Text(0), L"ﾌｧｲﾙ解凍を実行しました");
  EXPECT_EQ(main.State().lastExtractFolder, some);

  // All files with three selected: everything goes and the count is the entry count.
  Select(main, {L"a.txt", L"b.txt", L"c.txt"});
  Click(main, IDC_ALLFILE);
  Click(main, IDC_NONDIR);
  std::wstring all = Out(L"all");
  main.ExtractRun(all, false);
  for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) EXPECT_TRUE(Exists(all + L"\\" + TextOf(name)));
  EXPECT_FALSE(Exists(all + L"\\sub"));
  EXPECT_EQ(main.Arc().Options().x, 0);
  EXPECT_EQ(main.StatusBar1().Text(0), L"ﾌｧｲﾙ解凍を実行しました");

  // Absolute folders: the full-path switch too; relative paths still stay inside.
  Click(main, IDC_ABSDIR);
  std::wstring absolute = Out(L"absolute");
  main.ExtractRun(absolute, false);
  EXPECT_EQ(main.Arc().Options().x, 1);
  EXPECT_EQ(main.Arc().Options().jf, 1);
  EXPECT_TRUE(Exists(absolute + L"\\sub\\d.txt"));
}

TEST_F(Extraction, SubFolderIsNamedAfterTheArchiveWithoutDoublingTheBackslash) {
  TTavixMain& main = Open();
  main.Settings().ExtractFileOpt = 1;
  std::wstring out = Out(L"out");
  main.ExtractRun(out + L"\\", true);
  EXPECT_TRUE(Exists(out + L"\\data\\a.txt"));
  EXPECT_EQ(main.State().archiveBaseFolder, out + L"\\data\\");
  EXPECT_EQ(main.State().lastExtractFolder, out + L"\\");
}

TEST_F(Extraction, ExistingFilesAreSkippedAndCountedThenOverwritten) {
  TTavixMain& main = Open();
  std::wstring out = Out(L"out");
  WriteText(out + L"\\a.txt", "mine");
  Select(main, {L"a.txt", L"b.txt", L"c.txt"});
  {
    TMessageBoxAnswerer answerer;
    main.ExtractRun(out, false);
    // The message boxes are modal inside the run: by now each one was answered.
    ASSERT_EQ(answerer.Texts().size(), 1u);
    EXPECT_EQ(answerer.Texts()[0],
              L"解凍がｽｷｯﾌﾟされたﾌｧｲﾙがありました.\r解凍しようとしたﾌｧｲﾙ数: 3\r実際に解凍したﾌｧｲﾙ数 : 2");
  }
  EXPECT_EQ(main.StatusBar1().Text(0), L"2 個のﾌｧｲﾙを解凍しました");
  EXPECT_EQ(ReadAll(out + L"\\a.txt"), "mine");
  EXPECT_EQ(main.Arc().Options().c, 0);
  EXPECT_EQ(main.Arc().Options().m, 1);

  Click(main, IDC_OVERWRITE);
  main.ExtractRun(out, false);
  EXPECT_EQ(ReadAll(out + L"\\a.txt"), "a.txt");
  EXPECT_EQ(main.StatusBar1().Text(0), L"ﾌｧｲﾙ解凍を実行しました");
}

TEST_F(Extraction, ListingUnavailableExtractsEverythingAndReportsItRan) {
  TTavixMain& main = Open();
  main.State().listingUnavailable = true;
  Select(main, {L"a.txt"});
  std::wstring out = Out(L"out");
  WriteText(out + L"\\b.txt", "mine");  // skipped, yet no count message
  TMessageBoxAnswerer answerer;
  main.ExtractRun(out, false);
  EXPECT_TRUE(Exists(out + L"\\c.txt"));
  EXPECT_EQ(main.StatusBar1().Text(0), L"ﾌｧｲﾙ解凍を実行しました");
  EXPECT_TRUE(answerer.Texts().empty());
}

TEST_F(Extraction, AfterAnUnlistableArchiveTheNextOneExtractsOnlyTheSelectionAndCounts) {
  std::wstring broken = folder_ + L"\\broken.lzh";
  WriteText(broken, "not an archive at all");
  TTavixMain* started = nullptr;
  {
    TMessageBoxAnswerer warning;  // "書庫ファイル情報を取得できませんでした..."
    started = &Start({broken});
  }
  TTavixMain& main = *started;
  ASSERT_TRUE(main.State().listingUnavailable);
  main.FullOpen(archive_);
  ASSERT_EQ(main.State().entryCount, 4);
  EXPECT_FALSE(main.State().listingUnavailable);
  std::wstring out = Out(L"out");
  WriteText(out + L"\\b.txt", "mine");
  Select(main, {L"a.txt", L"b.txt"});
  TMessageBoxAnswerer answerer;
  main.ExtractRun(out, false);
  EXPECT_TRUE(Exists(out + L"\\a.txt"));
  EXPECT_FALSE(Exists(out + L"\\c.txt"));
  EXPECT_FALSE(Exists(out + L"\\sub"));
  EXPECT_EQ(ReadAll(out + L"\\b.txt"), "mine");
  // The counts were compared: two asked for, one written.
  ASSERT_EQ(answerer.Texts().size(), 1u);
  EXPECT_EQ(answerer.Texts()[0],
            L"解凍がｽｷｯﾌﾟされたﾌｧｲﾙがありました.\r解凍しようとしたﾌｧｲﾙ数: 2\r実際に解凍したﾌｧｲﾙ数 : 1");
}

TEST_F(Extraction, NothingSelectedExtractsNothingAndSaysSo) {
  TTavixMain& main = Open();
  Select(main, {});
  std::wstring out = Out(L"out");
  TMessageBoxAnswerer answerer;
  main.ExtractRun(out, false);
  ASSERT_EQ(answerer.Texts().size(), 1u);
  EXPECT_EQ(answerer.Texts()[0], L"解凍するﾌｧｲﾙが選択されていません.");
  EXPECT_NE(main.StatusBar1().Text(0), L"ﾌｧｲﾙ解凍を実行しました");
  EXPECT_FALSE(Exists(out + L"\\a.txt"));
}

TEST_F(Extraction, QuickDestinationsDesktopArchiveFolderAndPreviousFolders) {
  std::wstring archive = MakeArchive(L"tavix-quick-test.lzh");
  TTavixMain& main = Start({archive});
  main.Settings().ExtractFileOpt = 1;
  std::wstring desktop = main.State().desktopFolder + L"tavix-quick-test";
  DeleteFolderSilently(desktop);
  SendMessageW(main.Handle(), WM_COMMAND, CmdExtractToDesktop, 0);
  EXPECT_TRUE(Exists(desktop + L"\\a.txt"));  // always into a sub-folder
  // The prefix's own desktop, never the host's home behind a link.
  EXPECT_TRUE(InsideWineDrive(desktop + L"\\a.txt")) << UnixPath(desktop + L"\\a.txt");
  DeleteFolderSilently(desktop);

  main.Settings().MakeArcDir = false;
  SendMessageW(main.Handle(), WM_COMMAND, CmdExtractToArchiveFolder, 0);
  EXPECT_TRUE(Exists(folder_ + L"\\a.txt"));
  EXPECT_EQ(main.State().lastExtractFolder, folder_);

  std::wstring first = Out(L"first"), second = Out(L"A&B");
  main.ExtractHistory().SetHistory({second, first});
  SendMessageW(main.Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(main.DropDown(1)), 0);
  HMENU previous = GetSubMenu(main.DropDown(1), 2);
  ASSERT_EQ(GetMenuItemCount(previous), 2);
  EXPECT_EQ(MenuCaption(previous, CmdExtractHistoryFirst), folder_ + L"\\A&&B");
  EXPECT_EQ(MenuCaption(previous, CmdExtractHistoryFirst + 1), first);
  SendMessageW(main.Handle(), WM_COMMAND, CmdExtractHistoryFirst + 1, 0);
  EXPECT_TRUE(Exists(first + L"\\sub\\d.txt"));

  main.ExtractHistory().SetHistory({});
  SendMessageW(main.Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(main.DropDown(1)), 0);
  EXPECT_EQ(GetMenuItemCount(previous), 0);
  EXPECT_TRUE(GetMenuState(main.DropDown(1), 2, MF_BYPOSITION) & MF_GRAYED);
}

TEST_F(Extraction, DialogChoosesTheDestinationAndKeepsItsStateOnOkAndCancel) {
  TTavixMain& main = Open();
  main.Settings().ExtractFileOpt = 1;
  main.Settings().ExtDirOption = 1;  // the box starts with the archive's folder
  // A folder that does not exist yet, typed on the keyboard: the extraction makes it.
  std::wstring out = Out(L"chosen") + L"\\typed";
  bool collapsed = false, typed = false;
  {
    TDialogUser user(L"解凍先の指定", [&](HWND dialog) {
      collapsed = main.ExtractDialog()->Collapsed();
      SetWindowPos(dialog, nullptr, 150, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      typed = TypeWithKeys(main, L"\\chosen\\typed");
    }, IDC_EXTRACT_OK);
    PostMessageW(main.Handle(), WM_COMMAND, CmdExtract, 0);
    PumpUntil(main, [&] { return Exists(out + L"\\data\\a.txt") && IsWindowEnabled(main.Handle()); }, 90000);
  }
  ASSERT_TRUE(typed) << "the keys did not all reach the box";
  EXPECT_TRUE(collapsed);  // the options are on the toolbar
  EXPECT_TRUE(Exists(out + L"\\data\\sub\\d.txt"));
  EXPECT_EQ(ReadIni(ini_, L"DeskTop", L"ExtractLeft"), L"150");
  EXPECT_EQ(ReadIni(ini_, L"DeskTop", L"ExtractTop"), L"90");
  EXPECT_EQ(ReadIni(ini_, L"DeskTop", L"LastExtract"), out);
  EXPECT_EQ(ReadIni(ini_, L"ExtractHistory", L"0"), out);
  EXPECT_EQ(ReadIni(ini_, L"MeltHistory", L"0"), out);
  EXPECT_EQ(main.State().lastExtractFolder, out);

  // Cancel extracts nothing but keeps the position and the box text.
  {
    TDialogUser user(L"解凍先の指定", [&](HWND dialog) {
      SetWindowPos(dialog, nullptr, 170, 95, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      SendMessageW(GetDlgItem(main.ExtractDialog()->Panel1(), IDC_EXTRACT_HISTORY), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(L"C:\\typed"));
    }, IDC_EXTRACT_CANCEL);
    PostMessageW(main.Handle(), WM_COMMAND, CmdExtract, 0);
    PumpUntil(main, [&] { return ReadIni(ini_, L"DeskTop", L"ExtractLeft") == L"170"; }, 40000);
  }
  EXPECT_EQ(ReadIni(ini_, L"DeskTop", L"ExtractTop"), L"95");
  EXPECT_EQ(ReadIni(ini_, L"DeskTop", L"LastExtract"), L"C:\\typed");
  EXPECT_EQ(main.State().lastExtractFolder, out);
}

TEST_F(Extraction, EscStopsALongExtractionAndTheCountsTellWhatWasWritten) {
  for (int i = 0; i < 400; ++i) WriteText(folder_ + L"\\src\\many" + std::to_wstring(i) + L".txt", "x");
  std::wstring archive = MakeArchive(L"many.lzh");
  TTavixMain& main = Start({archive});
  ASSERT_EQ(main.State().entryCount, 404);
  main.Settings().ExtractFileOpt = 1;
  std::wstring out = Out(L"out");
  // The key waits in the queue; the first progress report finds it.
  PostMessageW(main.ArcList().Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  TMessageBoxAnswerer answerer;
  main.ExtractRun(out, false);
  ASSERT_EQ(answerer.Texts().size(), 1u);
  EXPECT_NE(answerer.Texts()[0].find(L"解凍しようとしたﾌｧｲﾙ数: 404\r"), std::wstring::npos);
  EXPECT_LT(main.State().processedFiles, 404);
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
  EXPECT_FALSE(main.State().busy);
}

TEST_F(Extraction, FailuresAreToldNotReportedAsSuccess) {
  TTavixMain& main = Open();
  main.Settings().ExtractFileOpt = 1;
  {
    // A destination below a file cannot be made.
    WriteText(folder_ + L"\\blocker", "file");
    TMessageBoxAnswerer answerer;
    main.ExtractRun(folder_ + L"\\blocker\\out", false);
    ASSERT_EQ(answerer.Texts().size(), 1u);
    EXPECT_EQ(answerer.Texts()[0].rfind(L"解凍中にｴﾗｰが発生しました (ｴﾗｰｺｰﾄﾞ: 0x", 0), 0u) << answerer.Texts()[0];
    EXPECT_NE(answerer.Texts()[0].find(L"\r\r["), std::wstring::npos);  // the library's own words follow
    EXPECT_EQ(main.StatusBar1().Text(0), L"0 個のﾌｧｲﾙを解凍しました");
  }
  {
    // No folder at all (a tree node such as the computer has none).
    TMessageBoxAnswerer answerer;
    main.ExtractRun(L"", true);
    ASSERT_EQ(answerer.Texts().size(), 1u);
    EXPECT_EQ(answerer.Texts()[0], L"解凍先のﾌｫﾙﾀﾞが指定されていません.");
  }
  {
    // The archive went away while it was shown.
    DeleteFileW(archive_.c_str());
    TMessageBoxAnswerer answerer;
    main.ExtractRun(Out(L"gone"), false);
    ASSERT_EQ(answerer.Texts().size(), 1u);
    EXPECT_NE(answerer.Texts()[0].find(L"解凍中にｴﾗｰが発生しました"), std::wstring::npos);
    EXPECT_TRUE(IsWindowEnabled(main.Handle()));
  }
}

TEST_F(Extraction, AVeryLongDestinationEitherWorksOrIsTold) {
  TTavixMain& main = Open();
  main.Settings().ExtractFileOpt = 1;
  std::wstring deep = folder_ + L"\\" + std::wstring(200, L'x') + L"\\" + std::wstring(200, L'y');
  TMessageBoxAnswerer answerer;
  main.ExtractRun(deep, true);
  bool extracted = Exists(L"\\\\?\\" + deep + L"\\data\\sub\\d.txt");
  EXPECT_TRUE(extracted || !answerer.Texts().empty());
  if (!extracted) {
    EXPECT_EQ(main.StatusBar1().Text(0).find(L"ﾌｧｲﾙ解凍を実行しました"), std::wstring::npos);
  }
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));

  // Such a tree goes whole, and only it: the shell's delete alone cannot
  // address the deep paths (Wine's emptied the current folder instead).
  std::wstring here = Out(L"here");
  WriteText(here + L"\\keep.txt", "keep");
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(here.c_str());
  DeleteFolderSilently(folder_ + L"\\" + std::wstring(200, L'x'));
  SetCurrentDirectoryW(previous);
  EXPECT_TRUE(Exists(here + L"\\keep.txt"));
  EXPECT_FALSE(Exists(folder_ + L"\\" + std::wstring(200, L'x')));
}

TEST_F(Extraction, HostileEntryNamesStayInsideTheDestination) {
  std::wstring archive = WinPath(TAVIX_FIXTURE_DIR) + L"\\hostile.zip";
  TTavixMain& main = Start({archive});
  ASSERT_GT(main.State().entryCount, 0);
  main.Settings().ExtractFileOpt = 1;
  std::wstring out = Out(L"deep\\out");
  TMessageBoxAnswerer answerer;
  main.ExtractRun(out, false);
  // Every hostile name holds the marker: none may show up outside the destination.
  EXPECT_EQ(escape_check::EscapedFiles(L"tavixhostileapp", out), std::vector<std::wstring>{});
  EXPECT_TRUE(Exists(out + L"\\good.txt"));
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));

  // Names that look like switches or response files are names all the same.
  main.Settings().ExtractFileOpt = 0;
  Select(main, {L"-dash.txt", L"@at.txt"});
  std::wstring picked = Out(L"picked");
  main.ExtractRun(picked, false);
  EXPECT_EQ(ReadAll(picked + L"\\-dash.txt"), "dash") << main.Arc().LastCommandLine();
  EXPECT_EQ(ReadAll(picked + L"\\@at.txt"), "at");
  EXPECT_FALSE(Exists(picked + L"\\good.txt"));
}

TEST_F(Extraction, MinusMShowsTheDialogForTheArchiveExtractsEverythingAndEnds) {
  std::wstring out = Out(L"dropped");
  bool fileOptionEnabled = true;
  TDialogUser user(L"data.lzh の解凍", [&](HWND dialog) {
    fileOptionEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_EXTRACT_FILE_SELECTED));
    TypeDestination(*main_, out);
  }, IDC_EXTRACT_OK);
  TTavixMain& main = Start({L"-M", archive_});
  PumpUntil(main, [&] { return !IsWindow(main.Handle()); }, 40000);
  EXPECT_TRUE(user.found);
  EXPECT_FALSE(fileOptionEnabled);
  EXPECT_FALSE(IsWindow(main.Handle()));
  EXPECT_TRUE(Exists(out + L"\\data\\a.txt"));
  EXPECT_TRUE(Exists(out + L"\\data\\sub\\d.txt"));
}

TEST_F(Extraction, FolderOpensAfterAUserExtractionNotAfterATemporaryOne) {
  WritePrivateProfileStringW(L"Options", L"IsFolderOpen", L"1", ini_.c_str());
  TTavixMain& main = Open();
  main.Settings().ExtractFileOpt = 1;
  main.Settings().LhaCommand = L"-a1";  // the user's extra switches for LZH
  std::wstring out = Out(L"out");
  main.ExtractRun(out, false);
  EXPECT_EQ(main.Arc().Options().UserOptions, " -a1");
  EXPECT_TRUE(Exists(out + L"\\a.txt"));
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0], out + L"\\");
  EXPECT_FALSE(main.ExtractStep({"a.txt"}, Out(L"temp"), TExtractMode::Temporary));
  EXPECT_EQ(main.Arc().Options().y, 1);
  EXPECT_EQ(opened_.size(), 1u);
  EXPECT_FALSE(main.ExtractStep({"sub\\d.txt"}, Out(L"install"), TExtractMode::WithFolders));
  EXPECT_TRUE(Exists(folder_ + L"\\install\\sub\\d.txt"));
  EXPECT_EQ(opened_.size(), 2u);
}

}  // namespace
