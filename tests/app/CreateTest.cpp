// Creating archives from the main window with our own archiver libraries: new
// archives filled by dropping and by the add command, deleting entries, Save
// As and its refusals. What Tavix writes is judged by lhasa, jlha and unzip.
#include "WindowDriver.h"

#include "app/ButtonQuestion.h"
#include "dialogs/BrowseDialogIds.h"
#include "dialogs/NewOptionDialogIds.h"
#include "engine/TextUtil.h"

#include <commctrl.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::wstring TextOf(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The Shift-JIS name 日本語.txt.
const std::wstring JapaneseName = L"\u65e5\u672c\u8a9e.txt";

struct TDialogSearch {
  std::wstring caption;
  HWND found = nullptr;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<TDialogSearch*>(data);
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && std::wstring(cls) == L"#32770" && IsWindowVisible(window) &&
      (s->caption.empty() || WindowText(window) == s->caption)) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}

// A visible dialog of this process whose caption is caption (any when empty).
HWND FindDialogWindow(const std::wstring& caption) {
  TDialogSearch search{caption};
  EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForDialog(const std::wstring& caption, int milliseconds = 20000) {
  for (int waited = 0; waited < milliseconds; waited += 20) {
    if (HWND found = FindDialogWindow(caption)) return found;
    Sleep(20);
  }
  return nullptr;
}

// The file-name box of a file dialog.
HWND FileNameBox(HWND dialog) {
  for (int id : {0x47C /* cmb13 */, 0x480 /* edt1 */})
    if (HWND box = GetDlgItem(dialog, id)) return box;
  return nullptr;
}

// Plays the user at a file dialog: names the file and presses Return.
bool AnswerFileDialog(HWND dialog, const std::wstring& name) {
  HWND box = FileNameBox(dialog);
  if (!box) return false;
  SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  for (int waited = 0; waited < 10000 && IsWindow(dialog) && IsWindowVisible(dialog); waited += 20) Sleep(20);
  return !IsWindow(dialog) || !IsWindowVisible(dialog);
}

// A drop of files on the main window at a point of its client area, as the
// shell's drop target hands it on (WM_DROPFILES).
void Drop(HWND window, POINT point, const std::vector<std::wstring>& files) {
  size_t chars = 1;
  for (const std::wstring& file : files) chars += file.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = point;
  drop->fNC = FALSE;
  drop->fWide = TRUE;
  auto* names = reinterpret_cast<wchar_t*>(drop + 1);
  for (const std::wstring& file : files) {
    file.copy(names, file.size());
    names += file.size() + 1;
  }
  GlobalUnlock(memory);
  PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

class Creating : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempFolder(TextOf(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    ini_ = folder_ + L"\\Tavix.ini";
    Setting(L"WorkDir", folder_ + L"\\work");
    Setting(L"UseShellIcon", L"0");
    Setting(L"NewMode", L"0");
    data_ = folder_ + L"\\data";
    CreateDirectoryW(data_.c_str(), nullptr);
    CreateDirectoryW((data_ + L"\\empty").c_str(), nullptr);
    CreateDirectoryW((data_ + L"\\sub").c_str(), nullptr);
    WriteText(data_ + L"\\" + JapaneseName, "nihongo\r\n");
    WriteText(data_ + L"\\zero.bin", "");
    WriteText(data_ + L"\\-readme.txt", "read me first\n");
    std::string big;
    for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i * 7919 % 1000) + "\n";
    WriteText(data_ + L"\\sub\\big.txt", big);
    WriteText(folder_ + L"\\report.doc", "report");
  }
  void TearDown() override {
    if (main_ && IsWindow(main_->Handle())) {
      main_->State().modified = false;  // nothing to ask at the end
      SendMessageW(main_->Handle(), WM_CLOSE, 0, 0);
      Pump(*main_, 50);
    }
    main_.reset();
  }
  void Setting(const wchar_t* key, const std::wstring& value) {
    WritePrivateProfileStringW(L"Options", key, value.c_str(), ini_.c_str());
  }
  TTavixMain& Start(std::vector<std::wstring> arguments = {}) {
    main_ = std::make_unique<TTavixMain>();
    EXPECT_TRUE(main_->Create(MainStart(ini_, arguments, &help_), SW_SHOWNORMAL));
    Pump(*main_, 100);
    PumpUntil(*main_, [&] { return !main_->State().pendingJob && !main_->State().busy; }, 8000);
    return *main_;
  }
  // The middle of the list, in the main window's client coordinates.
  POINT OnTheList() {
    RECT list{};
    GetWindowRect(main_->ArcList().Handle(), &list);
    POINT point{(list.left + list.right) / 2, (list.top + list.bottom) / 2};
    ScreenToClient(main_->Handle(), &point);
    return point;
  }
  void DropAndWait(const std::vector<std::wstring>& files, int entries) {
    Drop(main_->Handle(), OnTheList(), files);
    EXPECT_TRUE(PumpUntil(*main_, [&] { return main_->State().entryCount >= entries && !main_->State().busy; }, 30000))
        << main_->State().entryCount;
  }
  std::vector<std::wstring> Names() {
    std::vector<std::wstring> names;
    for (int i = 0; i < main_->ArcList().ItemCount(); ++i) names.push_back(ItemText(*main_, i, 0));
    return names;
  }
  // Runs Save As, a helper thread naming the file in the save dialog.
  bool SaveAsWithDialog(const std::wstring& path) {
    bool answered = false;
    std::thread user([&] {
      HWND dialog = WaitForDialog(L"");
      answered = dialog && AnswerFileDialog(dialog, path);
    });
    bool saved = main_->SaveAs();
    user.join();
    EXPECT_TRUE(answered);
    return saved;
  }
  // Runs a Linux tool in a folder; its exit code.
  int Tool(const std::wstring& command, const std::wstring& folder) {
    return RunUnix(L"cd", L"'" + UnixPath(folder) + L"' && " + command + L" >/dev/null 2>&1");
  }
  std::wstring Out(const std::wstring& name) {
    std::wstring out = folder_ + L"\\" + name;
    CreateDirectoryW(out.c_str(), nullptr);
    return out;
  }
  // The data folder's files, each extracted by the tool into out, byte for byte.
  void ExpectDataIn(const std::wstring& out) {
    fs::path root = fs::path(UnixPath(out));
    // Names as the tools write them: LZH names are Shift-JIS, read here as bytes.
    bool japanese = false;
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (entry.is_regular_file() && ReadAll(entry.path()) == "nihongo\r\n") japanese = true;
    EXPECT_TRUE(japanese);
    EXPECT_EQ(ReadAll(root / "data" / "-readme.txt"), "read me first\n");
    EXPECT_TRUE(fs::exists(root / "data" / "zero.bin"));
    EXPECT_EQ(fs::file_size(root / "data" / "zero.bin"), 0u);
    EXPECT_EQ(ReadAll(root / "data" / "sub" / "big.txt"), ReadAll(fs::path(UnixPath(data_ + L"\\sub\\big.txt"))));
    EXPECT_TRUE(fs::is_directory(root / "data" / "empty"));
  }

  struct NoHelp : THelpService {
    void ShowContext(HWND, const std::wstring&, DWORD) override {}
    void KeywordSearch(HWND, const std::wstring&, const std::wstring&) override {}
  } help_;
  std::wstring folder_, ini_, data_;
  std::unique_ptr<TTavixMain> main_;
};

// A folder dropped on the list of the new archive (folders relative) is stored
// under its own name with its parent as the base: every file, the 0-byte
// file, the Shift-JIS name, and -readme.txt as a name.
TEST_F(Creating, FolderDroppedOnANewLzhIsSavedAndReadByLhasaAndJlha) {
  Setting(L"PackDirOption", L"2");
  TTavixMain& main = Start();
  ASSERT_TRUE(main.State().newArchiveMode);
  DropAndWait({data_}, 4);
  EXPECT_TRUE(main.State().modified);
  std::wstring target = folder_ + L"\\made.lzh";
  ASSERT_TRUE(SaveAsWithDialog(target));
  EXPECT_FALSE(main.State().newArchiveMode);
  EXPECT_FALSE(Exists(main.State().newArchivePath));
  EXPECT_EQ(main.State().archivePath, target);
  for (const wchar_t* tool : {L"lhasa", L"jlha"}) {
    std::wstring out = Out(std::wstring(L"out-") + tool);
    EXPECT_EQ(Tool(std::wstring(tool) + L" -t '" + UnixPath(target) + L"'", out), 0) << tool;
    EXPECT_EQ(Tool(std::wstring(tool) + L" -x '" + UnixPath(target) + L"'", out), 0) << tool;
    ExpectDataIn(out);
  }
}

// The ZIP/9 choice of the new-archive dialog reaches the library as level 9
// (unzip reports maximum compression), and the archive tests clean.
TEST_F(Creating, NewZipFromTheDialogKeepsItsLevelAndUnzipReadsIt) {
  TTavixMain& main = Start();
  std::thread user([] {
    HWND dialog = WaitForDialog(L"新規作成ｵﾌﾟｼｮﾝ");
    if (!dialog) return;
    SendMessageW(GetDlgItem(dialog, IDC_NEWOPTION_KIND_ZIP), BM_CLICK, 0, 0);
    SendMessageW(GetDlgItem(dialog, IDC_NEWOPTION_ZIP_0 + 3), BM_CLICK, 0, 0);
    SendMessageW(GetDlgItem(dialog, IDC_NEWOPTION_DIR_RELATIVE), BM_CLICK, 0, 0);
    PointAt(GetDlgItem(dialog, IDC_NEWOPTION_OK), true);
  });
  SendMessageW(main.Handle(), WM_COMMAND, CmdNewArchive, 0);
  user.join();
  ASSERT_EQ(main.Arc().ArchiverType(), atZip);
  DropAndWait({data_}, 4);
  std::wstring target = folder_ + L"\\made.zip";
  ASSERT_TRUE(SaveAsWithDialog(target));
  std::wstring out = Out(L"out-zip");
  EXPECT_EQ(Tool(L"unzip -t '" + UnixPath(target) + L"'", out), 0);
  EXPECT_EQ(Tool(L"unzip -v '" + UnixPath(target) + L"' | grep -q 'Defl:X'", out), 0);
  EXPECT_EQ(Tool(L"unzip -q '" + UnixPath(target) + L"'", out), 0);
  EXPECT_EQ(ReadAll(fs::path(UnixPath(out)) / "data" / "-readme.txt"), "read me first\n");
  EXPECT_TRUE(fs::is_directory(fs::path(UnixPath(out)) / "data" / "empty"));
  EXPECT_EQ(Tool(L"bsdtar -tf '" + UnixPath(target) + L"' | grep -q 'data/sub/big.txt'", out), 0);
  EXPECT_EQ(Tool(L"bsdtar -tf '" + UnixPath(target) + L"' | grep -qx 'data/empty/'", out), 0);
  std::wstring bsdOut = Out(L"out-bsdtar");
  EXPECT_EQ(Tool(L"bsdtar -xf '" + UnixPath(target) + L"'", bsdOut), 0);
  EXPECT_TRUE(fs::is_directory(fs::path(UnixPath(bsdOut)) / "data" / "empty"));
}

// AutoNaming names the new archive after the first file added.
TEST_F(Creating, AutoNamingNamesTheArchiveAfterTheFirstFile) {
  Setting(L"AutoNaming", L"1");
  TTavixMain& main = Start();
  DropAndWait({folder_ + L"\\report.doc"}, 1);
  EXPECT_EQ(main.State().archivePath, main.State().workFolder + L"\\report.lzh");
  EXPECT_TRUE(Exists(main.State().workFolder + L"\\report.lzh"));
}

// Deleting every entry, OK at each question, ends in new-archive mode; All
// at the first question deletes the rest with one library call.
TEST_F(Creating, DeletingOneByOneEndsInNewArchiveModeAndAllMakesOneCall) {
  Setting(L"PackDirOption", L"0");
  TTavixMain& main = Start();
  DropAndWait({data_ + L"\\zero.bin", data_ + L"\\-readme.txt", data_ + L"\\" + JapaneseName}, 3);
  std::wstring target = folder_ + L"\\three.lzh";
  ASSERT_TRUE(SaveAsWithDialog(target));
  {
    TMessageBoxAnswerer answers(IdAll);
    main.ArcList().SelectAll();
    SendMessageW(main.Handle(), WM_COMMAND, CmdDelete, 0);
    Pump(main, 50);
    std::vector<std::wstring> texts = answers.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_NE(texts[0].find(L"を削除しますか."), std::wstring::npos);
  }
  // One call with every name: the last command line names them all.
  std::string line = main.Arc().LastCommandLine();
  EXPECT_NE(line.find("zero.bin"), std::string::npos) << line;
  EXPECT_NE(line.find("-gb-readme.txt"), std::string::npos) << line;
  EXPECT_NE(line.find(WideToAnsi(JapaneseName)), std::string::npos) << line;
  EXPECT_TRUE(main.State().newArchiveMode);

  // One by one, in a new archive.
  DropAndWait({data_ + L"\\zero.bin", data_ + L"\\sub"}, 2);
  ASSERT_EQ(main.State().entryCount, 2);
  std::vector<std::wstring> texts;
  {
    TMessageBoxAnswerer answers(IDOK);
    main.ArcList().SelectAll();
    SendMessageW(main.Handle(), WM_COMMAND, CmdDelete, 0);
    Pump(main, 50);
    texts = answers.Texts();
  }
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_NE(texts[2].find(L"新規作成ﾓｰﾄﾞになります."), std::wstring::npos);
  EXPECT_TRUE(main.State().newArchiveMode);
  EXPECT_FALSE(main.State().modified);
  EXPECT_EQ(main.ArcList().ItemCount(), 0);
}

// Save As onto an existing file: Cancel brings the dialog back, and the file
// is left as it was; onto the work-folder file itself or into a folder that
// is gone: a message, and the new archive stays.
TEST_F(Creating, SaveAsAsksBeforeOverwritingAndNeverLosesTheArchive) {
  TTavixMain& main = Start();
  DropAndWait({folder_ + L"\\report.doc"}, 1);
  std::wstring existing = folder_ + L"\\existing.lzh";
  WriteText(existing, "keep me");
  int dialogs = 0;
  bool asked = false;
  std::thread user([&] {
    HWND dialog = WaitForDialog(L"");
    if (!dialog) return;
    ++dialogs;
    AnswerFileDialog(dialog, existing);
    HWND question = WaitForDialog(L"");
    if (!question || FileNameBox(question)) return;
    asked = true;
    PostMessageW(question, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    for (int waited = 0; waited < 10000 && IsWindow(question); waited += 20) Sleep(20);
    dialog = WaitForDialog(L"");
    if (!dialog || !FileNameBox(dialog)) return;
    ++dialogs;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  EXPECT_FALSE(main.SaveAs());
  user.join();
  EXPECT_TRUE(asked);
  EXPECT_EQ(dialogs, 2);
  EXPECT_EQ(ReadAll(fs::path(UnixPath(existing))), "keep me");
  std::wstring work = main.State().newArchivePath;
  std::string before = ReadAll(fs::path(UnixPath(work)));
  ASSERT_FALSE(before.empty());

  // Onto itself: refused with a message, then the user cancels.
  std::wstring said;
  std::thread user2([&] {
    HWND dialog = WaitForDialog(L"");
    if (!dialog || !AnswerFileDialog(dialog, work)) return;
    HWND box = WaitForDialog(L"");
    if (!box || FileNameBox(box)) return;
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    said = text;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    for (int waited = 0; waited < 10000 && IsWindow(box); waited += 20) Sleep(20);
    dialog = WaitForDialog(L"");
    if (dialog) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  EXPECT_FALSE(main.SaveAs());
  user2.join();
  EXPECT_NE(said.find(L"作業ﾌｫﾙﾀﾞ"), std::wstring::npos) << said;
  // Onto a read-only file, answering OK to overwrite: the copy fails, the
  // user is told, and the new archive stays.
  std::wstring locked = folder_ + L"\\locked.lzh";
  WriteText(locked, "read only");
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);
  std::wstring told;
  std::thread user3([&] {
    HWND dialog = WaitForDialog(L"");
    if (!dialog || !AnswerFileDialog(dialog, locked)) return;
    for (int box = 0; box < 2; ++box) {
      HWND question = WaitForDialog(L"");
      if (!question || FileNameBox(question)) return;
      wchar_t text[1024] = {};
      GetDlgItemTextW(question, 0xFFFF, text, 1024);
      told = text;
      PostMessageW(question, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      for (int waited = 0; waited < 10000 && IsWindow(question); waited += 20) Sleep(20);
    }
  });
  EXPECT_FALSE(main.SaveAs());
  user3.join();
  EXPECT_NE(told.find(L"作業ﾌｫﾙﾀﾞに残っています"), std::wstring::npos) << told;
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadAll(fs::path(UnixPath(locked))), "read only");
  EXPECT_EQ(ReadAll(fs::path(UnixPath(work))), before);
  EXPECT_TRUE(main.State().newArchiveMode);
  EXPECT_TRUE(main.State().modified);
}

// A file dropped above the list opens it as the archive instead of adding it.
TEST_F(Creating, DroppingAboveTheListOpensTheArchive) {
  Setting(L"PackDirOption", L"0");
  Start();
  DropAndWait({data_ + L"\\zero.bin", data_ + L"\\-readme.txt"}, 2);
  std::wstring target = folder_ + L"\\two.lzh";
  ASSERT_TRUE(SaveAsWithDialog(target));
  main_.reset();
  TTavixMain& fresh = Start();
  ASSERT_TRUE(fresh.State().newArchiveMode);
  RECT list{};
  GetWindowRect(fresh.ArcList().Handle(), &list);
  POINT above{(list.left + list.right) / 2, list.top - 4};
  ScreenToClient(fresh.Handle(), &above);
  Drop(fresh.Handle(), above, {target});
  EXPECT_TRUE(PumpUntil(fresh, [&] { return fresh.State().archivePath == target && fresh.State().entryCount == 2; }, 20000));
  EXPECT_FALSE(fresh.State().newArchiveMode);
}

// A new CAB archive (no folder names) is read back by cabextract and gcab,
// the Shift-JIS name and the 0-byte file included.
TEST_F(Creating, NewCabIsReadByCabextractAndGcab) {
  TTavixMain& main = Start();
  std::thread user([] {
    HWND dialog = WaitForDialog(L"新規作成ｵﾌﾟｼｮﾝ");
    if (!dialog) return;
    SendMessageW(GetDlgItem(dialog, IDC_NEWOPTION_KIND_CAB), BM_CLICK, 0, 0);
    PointAt(GetDlgItem(dialog, IDC_NEWOPTION_OK), true);
  });
  SendMessageW(main.Handle(), WM_COMMAND, CmdNewArchive, 0);
  user.join();
  ASSERT_EQ(main.Arc().ArchiverType(), atCab);
  DropAndWait({data_ + L"\\" + JapaneseName, data_ + L"\\zero.bin", data_ + L"\\-readme.txt",
               data_ + L"\\sub\\big.txt"},
              4);
  std::wstring target = folder_ + L"\\made.cab";
  ASSERT_TRUE(SaveAsWithDialog(target));
  std::string big = ReadAll(fs::path(UnixPath(data_ + L"\\sub\\big.txt")));
  std::wstring viaCabextract = Out(L"out-cabextract"), viaGcab = Out(L"out-gcab");
  EXPECT_EQ(Tool(L"cabextract -t '" + UnixPath(target) + L"'", viaCabextract), 0);
  EXPECT_EQ(Tool(L"cabextract -q '" + UnixPath(target) + L"'", viaCabextract), 0);
  EXPECT_EQ(Tool(L"gcab -x -C . '" + UnixPath(target) + L"'", viaGcab), 0);
  for (const std::wstring& out : {viaCabextract, viaGcab}) {
    fs::path root(UnixPath(out));
    EXPECT_EQ(ReadAll(root / "-readme.txt"), "read me first\n") << root;
    EXPECT_EQ(ReadAll(root / "big.txt"), big) << root;
    EXPECT_TRUE(fs::exists(root / "zero.bin")) << root;
    EXPECT_EQ(ReadAll(root / fs::u8path("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt")), "nihongo\r\n") << root;
  }
}

// A file that another program holds open without sharing is left out: the
// user is told which one, the other files are added, and nothing is lost.
TEST_F(Creating, ALockedFileIsNamedAndTheOthersAreAdded) {
  Setting(L"PackDirOption", L"0");
  TTavixMain& main = Start();
  std::wstring locked = data_ + L"\\-readme.txt";
  HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);
  std::vector<std::wstring> texts;
  {
    TMessageBoxAnswerer answers(IDOK);
    DropAndWait({data_ + L"\\zero.bin", locked}, 1);
    PumpUntil(main, [&] { return !answers.Texts().empty(); }, 20000);
    texts = answers.Texts();
  }
  CloseHandle(hold);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find(L"ファイル追加に失敗しました"), std::wstring::npos) << texts[0];
  EXPECT_NE(texts[0].find(L"-readme.txt"), std::wstring::npos) << texts[0];
  EXPECT_EQ(Names(), std::vector<std::wstring>{L"zero.bin"});
  EXPECT_EQ(ReadAll(fs::path(UnixPath(locked))), "read me first\n");
  // Once it is free, it is added to the same archive.
  DropAndWait({locked}, 2);
  EXPECT_EQ(main.State().entryCount, 2);
}

// Deleting from an archive whose file is read-only: the library refuses,
// the user is told why, the entry stays listed and the archive is whole.
TEST_F(Creating, DeletingFromAReadOnlyArchiveKeepsTheEntryAndTheBytes) {
  Setting(L"PackDirOption", L"0");
  TTavixMain& main = Start();
  DropAndWait({data_ + L"\\zero.bin", data_ + L"\\-readme.txt"}, 2);
  std::wstring target = folder_ + L"\\kept.lzh";
  ASSERT_TRUE(SaveAsWithDialog(target));
  ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
  std::string before = ReadAll(fs::path(UnixPath(target)));
  std::vector<std::wstring> texts;
  {
    TMessageBoxAnswerer answers(IDOK);
    main.ArcList().SelectAll();
    SetForegroundWindow(main.Handle());
    SetFocus(main.ArcList().Handle());
    PointAt(main.ArcList().Handle());
    Xdotool(L"key --clearmodifiers Delete");
    PumpUntil(main, [&] { return answers.Texts().size() >= 3; }, 20000);
    Pump(main, 100);
    texts = answers.Texts();
  }
  SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_GE(texts.size(), 3u);
  EXPECT_NE(texts.back().find(L"読み出し専用"), std::wstring::npos) << texts.back();
  EXPECT_EQ(main.ArcList().ItemCount(), 2);
  EXPECT_EQ(main.State().entryCount, 2);
  EXPECT_EQ(ReadAll(fs::path(UnixPath(target))), before);
}

// A dropped file whose path is longer than MAX_PATH (and than the 255
// characters of the old drop buffer) is added under its own name.
TEST_F(Creating, AFileBeyondMaxPathIsAddedWholeUnderItsOwnName) {
  Setting(L"PackDirOption", L"0");
  TTavixMain& main = Start();
  std::wstring deep = folder_;
  while (deep.size() < 300) {
    deep += L"\\" + std::wstring(60, L'd');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
  }
  std::wstring name = std::wstring(200, L'n') + L".txt";
  std::wstring file = deep + L"\\" + name;
  ASSERT_GT(file.size(), 500u);
  WriteText(L"\\\\?\\" + file, "deep down");
  ASSERT_TRUE(Exists(L"\\\\?\\" + file));
  std::vector<std::wstring> texts;
  {
    TMessageBoxAnswerer answers(IDOK);
    DropAndWait({file}, 1);
    texts = answers.Texts();
  }
  EXPECT_TRUE(texts.empty()) << texts.front();
  EXPECT_EQ(Names(), std::vector<std::wstring>{name});
  std::wstring out = Out(L"out-deep");
  EXPECT_EQ(Tool(L"lhasa -x '" + UnixPath(main.State().archivePath) + L"'", out), 0);
  EXPECT_EQ(ReadAll(fs::path(UnixPath(out)) / std::string(name.begin(), name.end())), "deep down");
}

// Ten thousand files dropped at once all go into the archive.
TEST_F(Creating, TenThousandDroppedFilesAreAllAdded) {
  Setting(L"PackDirOption", L"0");
  TTavixMain& main = Start();
  std::wstring many = folder_ + L"\\many";
  CreateDirectoryW(many.c_str(), nullptr);
  ASSERT_EQ(RunUnix(L"cd", L"'" + UnixPath(many) + L"' && seq -f 'f%05.0f.txt' 0 9999 | xargs touch"), 0);
  std::vector<std::wstring> files;
  for (int i = 0; i < 10000; ++i) {
    wchar_t name[32];
    swprintf(name, std::size(name), L"\\f%05d.txt", i);
    files.push_back(many + name);
  }
  Drop(main.Handle(), OnTheList(), files);
  EXPECT_TRUE(PumpUntil(main, [&] { return main.State().entryCount == 10000 && !main.State().busy; }, 100000))
      << main.State().entryCount;
  std::wstring out = Out(L"out-many");
  EXPECT_EQ(Tool(L"lhasa -l '" + UnixPath(main.State().archivePath) + L"' | grep ' f[0-9]*.txt$' | wc -l | grep -qx 10000",
                 out),
            0);
}

// A folder that holds a link back to itself: the add ends, and every file is
// stored once.
TEST_F(Creating, ALinkLoopUnderAnAddedFolderEndsWithEachFileOnce) {
  Setting(L"PackDirOption", L"2");
  TTavixMain& main = Start();
  std::wstring loop = UnixPath(data_ + L"\\sub") + L"/loop";
  ASSERT_EQ(RunUnix(L"ln", L"-s .. '" + loop + L"'"), 0);
  // The link goes again at the end, so that the folder can be removed.
  struct TRemove {
    std::wstring link;
    ~TRemove() { RunUnix(L"rm", L"-f '" + link + L"'"); }
  } remove{loop};
  DWORD attributes = GetFileAttributesW((data_ + L"\\sub\\loop\\sub").c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  DropAndWait({data_}, 4);
  EXPECT_TRUE(PumpUntil(main, [&] { return !main.State().busy; }, 60000));
  std::vector<std::wstring> names = Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
  EXPECT_EQ(std::count(names.begin(), names.end(), L"big.txt"), 1);
  EXPECT_LE(main.State().entryCount, 6);
}

// The add command through the system's open dialog, as a user does it:
// Ctrl+A in the main window, the file's name typed, Return.
TEST_F(Creating, AddThroughTheOpenDialogTypedByTheUser) {
  Setting(L"PackDirOption", L"0");
  WritePrivateProfileStringW(L"DeksTop", L"LastOpen", data_.c_str(), ini_.c_str());
  Setting(L"CmnOpenDlg", L"1");
  Setting(L"ExtOpenDlg", L"0");
  TTavixMain& main = Start();
  bool typed = false;
  std::thread user([&] {
    HWND dialog = WaitForDialog(L"書庫に追加するファイルの選択");
    HWND box = dialog ? FileNameBox(dialog) : nullptr;
    if (!box) return;
    PointAt(box, true);
    for (wchar_t c : std::wstring(L"zero.bin")) Xdotool(L"type '" + std::wstring(1, c) + L"'");
    typed = Xdotool(L"key --clearmodifiers Return") == 0;
  });
  SetForegroundWindow(main.Handle());
  PointAt(main.ArcList().Handle());
  Xdotool(L"key --clearmodifiers ctrl+a");
  EXPECT_TRUE(PumpUntil(main, [&] { return main.State().entryCount == 1 && !main.State().busy; }, 30000));
  user.join();
  EXPECT_TRUE(typed);
  EXPECT_EQ(Names(), std::vector<std::wstring>{L"zero.bin"});
  EXPECT_EQ(main.State().lastOpenFolder, data_);
}

// The add command through the program's own picker: OK with nothing chosen
// in the file list adds the whole folder it shows, empty folder included.
TEST_F(Creating, AddThroughThePickerTakesTheWholeFolder) {
  Setting(L"PackDirOption", L"2");
  WritePrivateProfileStringW(L"DeksTop", L"LastOpen", data_.c_str(), ini_.c_str());
  Setting(L"CmnOpenDlg", L"0");
  Setting(L"ExtOpenDlg", L"1");
  TTavixMain& main = Start();
  bool clicked = false;
  std::thread user([&] {
    HWND dialog = WaitForDialog(L"ﾌｧｲﾙやﾌｫﾙﾀﾞの参照");
    if (!dialog) return;
    HWND list = GetDlgItem(dialog, IDC_BROWSE_FILES);
    for (int waited = 0; waited < 20000 && ListView_GetItemCount(list) < 5; waited += 20) Sleep(20);
    HWND ok = GetDlgItem(dialog, IDC_BROWSE_OK);
    RECT r{};
    GetClientRect(ok, &r);
    ClickAt(ok, r.right / 2, r.bottom / 2);
    for (int waited = 0; waited < 20000 && IsWindow(dialog); waited += 20) Sleep(20);
    clicked = !IsWindow(dialog);
  });
  SetForegroundWindow(main.Handle());
  PointAt(main.ArcList().Handle());
  Xdotool(L"key --clearmodifiers ctrl+a");
  EXPECT_TRUE(PumpUntil(main, [&] { return main.State().entryCount >= 4 && !main.State().busy; }, 30000));
  user.join();
  EXPECT_TRUE(clicked);
  std::wstring out = Out(L"out-picker");
  EXPECT_EQ(Tool(L"lhasa -x '" + UnixPath(main.State().archivePath) + L"'", out), 0);
  ExpectDataIn(out);
}

}  // namespace
