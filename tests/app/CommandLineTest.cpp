// The command line: the parser's table of forms, the long form of a path, and
// the start-up jobs run by the window with our own archiver libraries. What
// the jobs write is judged by lhasa and unzip.
#include "WindowDriver.h"

#include "app/CommandLine.h"
#include "app/WorkFolder.h"
#include "dialogs/NewOptionDialogIds.h"
#include "engine/TextUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

std::wstring TextOf(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
std::string Narrow(const std::wstring& text) { return WideToAnsi(text); }

// The kind as the window tells it: a name no driver claims is no archive; an
// ".exe" here stands for a self-extractor, as its content would tell.
TArchiverType KindByName(const std::wstring& path) {
  TArchiverType kind = ArchiveKindFromExtension(WideToAnsi(path));
  if (kind == atAutoDetect) return atLha;
  return kind == atNone ? atAutoDetect : kind;
}

struct TParseCase {
  std::wstring line;
  int dropToIcon;
  const char* modes;  // letters: m melt, p pack, e each, x extract and exit, a add, c compress, v view
  std::wstring given;
  std::vector<std::wstring> addFiles;
};

std::string ModesOf(const TCommandLine& parsed) {
  std::string modes;
  if (parsed.melt) modes += 'm';
  if (parsed.pack) modes += 'p';
  if (parsed.packEach) modes += 'e';
  if (parsed.extractAndExit) modes += 'x';
  if (parsed.add) modes += 'a';
  if (parsed.compressFile) modes += 'c';
  if (parsed.view) modes += 'v';
  return modes;
}

TEST(CommandLineParse, EveryFormGivesItsModesAndText) {
  const std::wstring program = L"\"C:\\Program Files\\Tavix\\Tavix.exe\"";
  const std::wstring longPath = L"C:\\" + std::wstring(32000, L'x') + L".lzh";
  const TParseCase cases[] = {
      {program, 0, "", L""},
      {program + L"      \t  ", 0, "", L""},
      {program + L" /MELT", 0, "m", L""},
      {program + L" /melt", 0, "m", L""},
      {program + L" /PACK", 0, "p", L""},
      {program + L" /PACKS", 0, "pe", L""},
      {program + L" -MD /AUTOPACK", 0, "pe", L""},
      {program + L" -M \"C:\\My Files\\Old Data.LZH\"", 0, "x", L"C:\\My Files\\Old Data.LZH"},
      {program + L" -MD \"C:\\data\\x.lzh\"", 0, "", L"C:\\data\\x.lzh"},
      {program + L" -A \"C:\\a b\\one.txt\" C:\\two.doc", 0, "ac", L"\"C:\\a b\\one.txt\" C:\\two.doc" + std::wstring(),
       {L"C:\\a b\\one.txt", L"C:\\two.doc"}},
      {program + L" -a", 0, "", L""},
      // A path that contains "-a" or "-A" is a path, not the add switch.
      {program + L" \"C:\\my-archives\\x.lzh\"", 0, "", L"C:\\my-archives\\x.lzh"},
      {program + L" \"C:\\x -a y\\notes.txt\"", 0, "c", L"C:\\x -a y\\notes.txt"},
      {program + L" \"C:\\data\\notes.txt\"", 0, "c", L"C:\\data\\notes.txt"},
      {program + L" \"C:\\data\\x.lzh\"", 1, "x", L"C:\\data\\x.lzh"},
      {program + L" -A C:\\a.txt", 1, "ac", L"C:\\a.txt", {L"C:\\a.txt"}},
      {program + L" \"C:\\data\\notes.txt\"", 1, "c", L"C:\\data\\notes.txt"},
      // The program's own path ends where its argument ends, whatever it holds.
      {L"\"C:\\TOOLS.EXE\\Tavix.exe\" \"C:\\data\\x.lzh\"", 0, "", L"C:\\data\\x.lzh"},
      {L"Tavix \"C:\\sfx\\setup.exe\"", 0, "", L"C:\\sfx\\setup.exe"},
      // An unclosed quote runs to the end; a quoted folder keeps its backslash.
      {program + L" \"C:\\a b\\x.lzh", 0, "", L"C:\\a b\\x.lzh"},
      {program + L" \"C:\\dir\\\"", 0, "c", L"C:\\dir\\"},
      {program + L" -Monday.lzh", 0, "", L"-Monday.lzh"},
      {program + L" \"\\\\server\\share\\x.lzh\"", 0, "", L"\\\\server\\share\\x.lzh"},
      {program + L" \"" + longPath + L"\"", 0, "", longPath},
      {program + L" /VIEW \"C:\\a b\\Read Me.txt\"", 0, "v", L""},
  };
  for (const TParseCase& c : cases) {
    SCOPED_TRACE(Narrow(c.line.substr(0, 200)));
    TCommandLine parsed = ParseCommandLine(c.line, c.dropToIcon, KindByName);
    EXPECT_EQ(ModesOf(parsed), c.modes);
    if (c.addFiles.empty()) EXPECT_EQ(parsed.given, c.given);
    EXPECT_EQ(parsed.addFiles, c.addFiles);
    std::wstring upper = parsed.given;
    if (!upper.empty()) CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    EXPECT_EQ(parsed.text, upper);
    if (parsed.compressFile) EXPECT_EQ(parsed.fileToCompress, parsed.given);
  }
  TCommandLine view = ParseCommandLine(program + L" /VIEW \"C:\\a b\\Read Me.txt\"", 0, KindByName);
  EXPECT_EQ(view.fileToView, L"C:\\a b\\Read Me.txt");
  EXPECT_TRUE(ParseCommandLine(program, 0, KindByName).Empty());
}

TEST(CommandLineParse, LongFormRestoresTheTrueCaseOfWhatExists) {
  std::wstring folder = TempFolder(L"LongForm");
  CreateDirectoryW((folder + L"\\Mixed Case Folder").c_str(), nullptr);
  std::wstring file = folder + L"\\Mixed Case Folder\\Archive File.Lzh";
  WriteText(file, "x");
  std::wstring upper = file;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  EXPECT_EQ(LongForm(upper), file);
  // What does not exist is kept as typed after the last part that does.
  std::wstring missing = folder + L"\\MIXED CASE FOLDER\\Gone\\MORE.LZH";
  EXPECT_EQ(LongForm(missing), folder + L"\\Mixed Case Folder\\Gone\\MORE.LZH");
  // A wildcard never turns into some other file's name.
  EXPECT_EQ(LongForm(folder + L"\\MIXED CASE FOLDER\\*.LZH"), folder + L"\\Mixed Case Folder\\*.LZH");
  EXPECT_EQ(LongForm(L"\\\\server\\share\\X.LZH"), L"\\\\server\\share\\X.LZH");
  EXPECT_EQ(LongForm(L""), L"");
  std::wstring tooLong = folder + L"\\" + std::wstring(32000, L'y');
  EXPECT_EQ(LongForm(tooLong).size(), tooLong.size());
}

// The window started as the program body starts it, with our own libraries.
class StartUpJob : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    folder_ = TempFolder(TextOf(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    ini_ = folder_ + L"\\Tavix.ini";
    workDir_ = folder_ + L"\\work";
    Setting(L"WorkDir", workDir_);
    Setting(L"UseShellIcon", L"0");
    Setting(L"NewMode", L"0");
  }
  void TearDown() override {
    if (main_ && IsWindow(main_->Handle())) {
      TMessageBoxAnswerer answer(IDNO);
      SendMessageW(main_->Handle(), WM_CLOSE, 0, 0);
      Pump(*main_, 50);
    }
    main_.reset();
  }
  void Setting(const wchar_t* key, const std::wstring& value) {
    WritePrivateProfileStringW(L"Options", key, value.c_str(), ini_.c_str());
  }
  // Starts the window with the full command line after the program's path.
  TTavixMain& StartLine(const std::wstring& arguments) {
    TMainStart start = MainStart(ini_, {}, &help_);
    start.commandLine = L"\"C:\\Tavix\\Tavix.exe\" " + arguments;
    main_ = std::make_unique<TTavixMain>();
    EXPECT_TRUE(main_->Create(start, SW_SHOWNORMAL));
    Pump(*main_, 100);
    PumpUntil(*main_, [&] { return !main_->State().pendingJob && !main_->State().busy; }, 30000);
    return *main_;
  }
  int Tool(const std::wstring& command) { return RunUnix(L"", command + L" >/dev/null 2>&1"); }
  std::wstring NewArchive(const wchar_t* name) { return workDir_ + L"\\~Tavix0\\" + name; }

  struct NoHelp : THelpService {
    void ShowContext(HWND, const std::wstring&, DWORD) override {}
    void KeywordSearch(HWND, const std::wstring&, const std::wstring&) override {}
  } help_;
  std::wstring folder_, ini_, workDir_;
  std::unique_ptr<TTavixMain> main_;
};

TEST_F(StartUpJob, AQuotedPathWithBlanksOpensInItsTrueCase) {
  CreateDirectoryW((folder_ + L"\\My Archives").c_str(), nullptr);
  std::wstring archive = folder_ + L"\\My Archives\\Docs File.zip";
  ASSERT_TRUE(CopyFileW((WinPath(TAVIX_FIXTURE_DIR) + L"\\docs.zip").c_str(), archive.c_str(), FALSE));
  std::wstring typed = archive;
  CharLowerBuffW(typed.data(), static_cast<DWORD>(typed.size()));
  TTavixMain& main = StartLine(L"\"" + typed + L"\"");
  EXPECT_EQ(main.State().archivePath, archive);
  EXPECT_EQ(WindowText(main.Handle()), L"ZIP: Docs File.zip");
  EXPECT_EQ(main.State().entryCount, 2);
  EXPECT_FALSE(main.State().newArchiveMode);
}

TEST_F(StartUpJob, AddsTheFilesAfterMinusAIntoANewLzh) {
  // Blanks and "-a" inside the folder's name: still the files, not switches.
  std::wstring data = folder_ + L"\\my-a data";
  CreateDirectoryW(data.c_str(), nullptr);
  WriteText(data + L"\\First.txt", "first\r\n");
  WriteText(data + L"\\Second File.doc", "second\r\n");
  TTavixMain& main = StartLine(L"-A \"" + data + L"\\FIRST.TXT\" \"" + data + L"\\second file.doc\"");
  EXPECT_EQ(main.State().newArchivePath, NewArchive(L"Newfile.lzh"));
  EXPECT_TRUE(main.State().newArchiveMode);
  EXPECT_TRUE(main.State().modified);
  EXPECT_EQ(WindowText(main.Handle()), L"LZH: Newfile.lzh");
  EXPECT_EQ(main.State().entryCount, 2);
  std::wstring list = UnixPath(NewArchive(L"Newfile.lzh"));
  EXPECT_EQ(Tool(L"lhasa -l '" + list + L"' | grep -q 'First.txt'"), 0);
  EXPECT_EQ(Tool(L"lhasa -l '" + list + L"' | grep -q 'Second File.doc'"), 0);
  EXPECT_EQ(Tool(L"lhasa -t '" + list + L"'"), 0);
}

TEST_F(StartUpJob, ALoneTextFileIsCompressed) {
  std::wstring data = folder_ + L"\\x -a y";
  CreateDirectoryW(data.c_str(), nullptr);
  WriteText(data + L"\\Notes.txt", "notes\r\n");
  Setting(L"NewMode", L"1");
  TTavixMain& main = StartLine(L"\"" + data + L"\\notes.txt\"");
  EXPECT_TRUE(main.State().newArchiveMode);
  EXPECT_TRUE(main.State().modified);
  EXPECT_EQ(WindowText(main.Handle()), L"ZIP: Newfile.zip");
  std::wstring zip = UnixPath(NewArchive(L"Newfile.zip"));
  EXPECT_EQ(Tool(L"unzip -t '" + zip + L"'"), 0);
  EXPECT_EQ(Tool(L"unzip -p '" + zip + L"' Notes.txt | grep -q notes"), 0);
}

// NewMode 2 makes a CAB; 3 asks, and a cancelled question stops the job.
TEST_F(StartUpJob, NewModeChoosesTheKindOrAsks) {
  WriteText(folder_ + L"\\Cabinet Note.txt", "cab note\r\n");
  Setting(L"NewMode", L"2");
  {
    TTavixMain& main = StartLine(L"-A \"" + folder_ + L"\\cabinet note.txt\"");
    EXPECT_EQ(WindowText(main.Handle()), L"CAB: Newfile.cab");
    EXPECT_TRUE(main.State().modified);
    EXPECT_EQ(Tool(L"cabextract -t '" + UnixPath(NewArchive(L"Newfile.cab")) + L"' | grep -q 'Cabinet Note.txt'"), 0);
    TearDown();
  }
  Setting(L"NewMode", L"3");
  {
    // The user cancels the new-archive dialog with the mouse.
    std::atomic<bool> asked{false};
    std::thread user([&] {
      for (int waited = 0; waited < 60000 && !asked; waited += 50) {
        HWND dialog = FindWindowW(L"#32770", L"新規作成ｵﾌﾟｼｮﾝ");
        if (dialog != nullptr && IsWindowVisible(dialog)) {
          asked = true;
          PointAt(GetDlgItem(dialog, IDC_NEWOPTION_CANCEL), true);
        }
        Sleep(50);
      }
    });
    TTavixMain& main = StartLine(L"-A \"" + folder_ + L"\\cabinet note.txt\"");
    user.join();
    Pump(main, 200);
    EXPECT_TRUE(asked);
    EXPECT_TRUE(IsWindow(main.Handle()));
    EXPECT_FALSE(main.State().modified);
    EXPECT_EQ(main.State().entryCount, 0);
  }
}

TEST_F(StartUpJob, MinusMShowsTheExtractDialogAndEndsTheProgram) {
  std::wstring archive = folder_ + L"\\docs.zip";
  ASSERT_TRUE(CopyFileW((WinPath(TAVIX_FIXTURE_DIR) + L"\\docs.zip").c_str(), archive.c_str(), FALSE));
  std::wstring caption = archive + L" の解凍";
  std::atomic<bool> seen{false};
  std::thread user([&] {
    for (int waited = 0; waited < 60000 && !seen; waited += 50) {
      HWND dialog = FindWindowW(L"#32770", caption.c_str());
      if (dialog != nullptr && IsWindowVisible(dialog)) {
        seen = true;
        PointAt(dialog);
        SetForegroundWindow(dialog);
        Xdotool(L"key Escape");
        for (int i = 0; i < 200 && IsWindowVisible(dialog); ++i) Sleep(50);
        // A key lost to another window: the user presses it again.
        if (IsWindow(dialog) && IsWindowVisible(dialog)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      }
      Sleep(50);
    }
  });
  TMainStart start = MainStart(ini_, {}, &help_);
  start.commandLine = L"\"C:\\Tavix\\Tavix.exe\" -M \"" + archive + L"\"";
  main_ = std::make_unique<TTavixMain>();
  ASSERT_TRUE(main_->Create(start, SW_SHOWNORMAL));
  HWND window = main_->Handle();
  PumpUntil(*main_, [&] { return !IsWindow(window); }, 60000);
  user.join();
  EXPECT_TRUE(seen);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(StartUpJob, MeltTypedByHandFindsNoBlockAndStaysNew) {
  TMessageBoxAnswerer answer;
  TTavixMain& main = StartLine(L"/MELT");
  Pump(main, 200);
  EXPECT_TRUE(main.State().newArchiveMode);
  EXPECT_EQ(WindowText(main.Handle()), L"LZH: Newfile.lzh");
  EXPECT_EQ(main.State().entryCount, 0);
  EXPECT_TRUE(answer.Texts().empty());
}

// Bad command lines end in a message or a new archive, never in a crash or a
// job on the wrong file.
TEST_F(StartUpJob, BadCommandLinesAreToldAndLoseNothing) {
  WriteText(folder_ + L"\\empty.txt", "");
  WriteText(folder_ + L"\\empty.lzh", "");
  CreateDirectoryW((folder_ + L"\\Folder").c_str(), nullptr);
  WriteText(folder_ + L"\\Folder\\inside.txt", "inside\r\n");
  struct Case {
    std::wstring arguments;
    bool toldMissing;  // the missing-file warning, then the open dialog
  } cases[] = {
      {L"      ", false},
      {L"\"" + folder_ + L"\\gone.lzh", true},
      {L"\"" + folder_ + L"\\" + std::wstring(32000, L'z') + L".lzh\"", true},
      {L"\"\\\\nosuchserver\\share\\x.lzh\"", true},
      {L"\"" + folder_ + L"\\gone.txt\"", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.arguments.substr(0, 120)));
    TMessageBoxAnswerer answer(IDCANCEL);
    TTavixMain& main = StartLine(c.arguments);
    Pump(main, 200);
    std::vector<std::wstring> texts = answer.Texts();
    if (c.toldMissing) {
      ASSERT_FALSE(texts.empty());
      EXPECT_EQ(texts[0], L"指定されたﾌｧｲﾙが見つかりません");
    } else {
      EXPECT_TRUE(texts.empty());
    }
    EXPECT_TRUE(main.State().newArchiveMode);
    TearDown();
  }

  // A folder is compressed with what it holds; a 0-byte file as a 0-byte entry.
  Setting(L"NewMode", L"1");
  for (auto [name, entry] : {std::pair{L"Folder", L"inside.txt"}, std::pair{L"empty.txt", L"empty.txt"}}) {
    TMessageBoxAnswerer answer;
    TTavixMain& main = StartLine(L"\"" + folder_ + L"\\" + name + L"\"");
    EXPECT_TRUE(answer.Texts().empty());
    EXPECT_TRUE(main.State().modified);
    std::wstring zip = UnixPath(NewArchive(L"Newfile.zip"));
    EXPECT_EQ(Tool(L"unzip -t '" + zip + L"'"), 0);
    EXPECT_EQ(Tool(L"unzip -l '" + zip + L"' | grep -q " + entry), 0);
    TearDown();
  }

  // A 0-byte archive: told, and the window is left usable.
  {
    TMessageBoxAnswerer answer;
    TTavixMain& main = StartLine(L"\"" + folder_ + L"\\empty.lzh\"");
    Pump(main, 200);
    EXPECT_FALSE(answer.Texts().empty());
    EXPECT_TRUE(IsWindow(main.Handle()));
    TearDown();
  }

  // A file another program holds locked: the add is refused, the file stays.
  {
    std::wstring locked = folder_ + L"\\locked.txt";
    WriteText(locked, "locked\r\n");
    TFileHandle hold(CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(hold);
    TMessageBoxAnswerer answer;
    TTavixMain& main = StartLine(L"\"" + locked + L"\"");
    Pump(main, 200);
    EXPECT_FALSE(answer.Texts().empty());
    EXPECT_TRUE(IsWindow(main.Handle()));
    hold.reset();
    EXPECT_TRUE(Exists(locked));
    TearDown();
  }
}

// The settings file may be anything: the program starts with its defaults.
TEST_F(StartUpJob, AGarbageOrReadOnlySettingsFileStillStarts) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
  WriteText(ini_, garbage);
  {
    TMessageBoxAnswerer answer;
    TTavixMain& main = StartLine(L"");
    EXPECT_TRUE(main.State().newArchiveMode);
    EXPECT_TRUE(IsWindow(main.Handle()));
    TearDown();
  }
  DeleteFileW(ini_.c_str());
  Setting(L"WorkDir", workDir_);
  Setting(L"UseShellIcon", L"0");
  Setting(L"NewMode", L"0");
  SetFileAttributesW(ini_.c_str(), FILE_ATTRIBUTE_READONLY);
  WriteText(folder_ + L"\\note.txt", "note\r\n");
  {
    TMessageBoxAnswerer answer(IDNO);
    TTavixMain& main = StartLine(L"\"" + folder_ + L"\\note.txt\"");
    EXPECT_TRUE(main.State().modified);
    EXPECT_EQ(Tool(L"lhasa -t '" + UnixPath(NewArchive(L"Newfile.lzh")) + L"'"), 0);
    SendMessageW(main.Handle(), WM_CLOSE, 0, 0);
    Pump(main, 200);
    EXPECT_FALSE(IsWindow(main.Handle()));
    main_.reset();
  }
  SetFileAttributesW(ini_.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
