// Viewing, opening and installing entries, and the clipboard, through the
// window with our own archiver libraries: double clicks and keys from
// xdotool, a stand-in application that records how it was started, a program
// that pastes files, a second copy of the program; archives judged by lhasa.
#include "WindowDriver.h"

#include "app/WorkFolder.h"
#include "engine/ArchiveFile.h"
#include "engine/TextUtil.h"
#include "viewer/Viewer.h"
#include "../support/EscapeCheck.h"

#include <commctrl.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
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

std::vector<std::wstring> Lines(const std::wstring& path) {
  std::vector<std::wstring> lines;
  std::stringstream text(ReadAll(path));
  for (std::string line; std::getline(text, line);) lines.push_back(Utf8ToWide(line));
  return lines;
}

std::vector<std::wstring> Split(const std::wstring& line) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (size_t bar; (bar = line.find(L'|', start)) != std::wstring::npos; start = bar + 1)
    parts.push_back(line.substr(start, bar - start));
  parts.push_back(line.substr(start));
  return parts;
}

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Files (not folders) below a folder, as paths relative to it.
std::vector<std::wstring> FilesBelow(const std::wstring& folder) {
  std::vector<std::wstring> files;
  std::error_code error;
  for (auto& entry : std::filesystem::recursive_directory_iterator(std::filesystem::path(folder), error))
    if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(folder).wstring());
  std::sort(files.begin(), files.end());
  return files;
}

std::wstring ProgramFolder() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder = self;
  return folder.substr(0, folder.rfind(L'\\'));
}

// A clipboard file list as another program might put it: header, then the bytes given.
void PutFileList(const std::string& names, bool wide) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(DROPFILES) + names.size());
  auto* data = static_cast<BYTE*>(GlobalLock(block));
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = wide;
  memcpy(data, &header, sizeof header);
  memcpy(data + sizeof header, names.data(), names.size());
  GlobalUnlock(block);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  EXPECT_TRUE(SetClipboardData(CF_HDROP, block));
  CloseClipboard();
}

std::string WideBytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// Closes every viewer window this process shows, keeping their captions.
class TViewerCloser {
 public:
  TViewerCloser()
      : thread_([this] {
          while (!stop_) {
            HWND viewer = FindWindowW(TViewer::kClassName, nullptr);
            if (viewer && IsWindowVisible(viewer)) {
              std::wstring caption = WindowText(viewer);
              bool existed = Exists(caption);
              {
                std::lock_guard<std::mutex> lock(mutex_);
                shown_.push_back(caption);
                existedWhileShown_.push_back(existed);
              }
              PostMessageW(viewer, WM_CLOSE, 0, 0);
              for (int i = 0; i < 200 && IsWindow(viewer) && IsWindowVisible(viewer); ++i) Sleep(10);
            }
            Sleep(20);
          }
        }) {}
  ~TViewerCloser() {
    stop_ = true;
    thread_.join();
  }
  std::vector<std::wstring> Shown() {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
  }
  std::vector<bool> ExistedWhileShown() {
    std::lock_guard<std::mutex> lock(mutex_);
    return existedWhileShown_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::wstring> shown_;
  std::vector<bool> existedWhileShown_;
  std::thread thread_;
};

class Entries : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    folder_ = TempFolder(L"entries-" + TextOf(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    ini_ = folder_ + L"\\Tavix.ini";
    WritePrivateProfileStringW(L"Options", L"WorkDir", (folder_ + L"\\work").c_str(), ini_.c_str());
    WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", ini_.c_str());
    // Skipping existing files is the setting; the work folder must not keep stale ones all the same.
    WritePrivateProfileStringW(L"Options", L"ExistFileMode", L"0", ini_.c_str());
    tools_ = ProgramFolder() + L"\\entry-tools";
    runs_ = folder_ + L"\\runs.txt";
    SetEnvironmentVariableW(L"TAVIX_RUN_RECORD", runs_.c_str());
    std::wstring src = folder_ + L"\\src";
    for (const wchar_t* sub : {L"", L"\\docs", L"\\docs\\sub", L"\\inst"}) CreateDirectoryW((src + sub).c_str(), nullptr);
    WriteText(src + L"\\readme.txt", "read me");
    WriteText(src + L"\\data.tvxnone", "no application");
    WriteText(src + L"\\docs\\sub\\note.tvxrec", "note");
    WriteText(src + L"\\inst\\data.txt", "installer data");
    ASSERT_TRUE(CopyFileW((tools_ + L"\\run_recorder.exe").c_str(), (src + L"\\inst\\SETUP.EXE").c_str(), FALSE));
    archive_ = MakeArchive(L"data.lzh", src);
    // The recorder is the application of ".tvxrec" files.
    std::wstring command = L"\"" + tools_ + L"\\run_recorder.exe\" \"%1\"";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, L".tvxrec", nullptr, REG_SZ, L"TavixTestRecorder",
                              sizeof(L"TavixTestRecorder")),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, L"TavixTestRecorder\\shell\\open\\command", nullptr, REG_SZ,
                              command.c_str(), static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    // A pasted-into new archive asks to be saved on closing: no.
    TMessageBoxAnswerer answerer(IDNO);
    if (main_ && IsWindow(main_->Handle())) {
      SendMessageW(main_->Handle(), WM_CLOSE, 0, 0);
      Pump(*main_, 50);
    }
    main_.reset();
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".tvxrec");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"TavixTestRecorder");
    if (OpenClipboard(nullptr)) {
      EmptyClipboard();
      CloseClipboard();
    }
  }

  // An LZH archive of a folder with its sub-folders, made by our library.
  std::wstring MakeArchive(const std::wstring& name, const std::wstring& source) {
    std::wstring path = folder_ + L"\\" + name;
    TArchiveFile file;
    file.SetFileName(WideToAnsi(path));
    TArchiverOptions options;
    options.r = 1;
    options.x = 1;
    EXPECT_EQ(file.Add(nullptr, &options, WideToAnsi(source), {"*.*"}), 0);
    return path;
  }
  TTavixMain& Start(std::vector<std::wstring> arguments) {
    main_ = std::make_unique<TTavixMain>();
    EXPECT_TRUE(main_->Create(MainStart(ini_, arguments, &help_), SW_SHOWNORMAL));
    Pump(*main_, 100);
    PumpUntil(*main_, [&] { return !main_->State().pendingJob && !main_->State().busy; }, 8000);
    return *main_;
  }
  int ItemOf(TTavixMain& main, const std::wstring& name) {
    for (int i = 0; i < main.ArcList().ItemCount(); ++i)
      if (ItemText(main, i, 0) == name) return i;
    return -1;
  }
  void Select(TTavixMain& main, std::initializer_list<const wchar_t*> names) {
    HWND list = main.ArcList().Handle();
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (const wchar_t* name : names) {
      int item = ItemOf(main, name);
      ASSERT_GE(item, 0) << WideToUtf8(name);
      ListView_SetItemState(list, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
  }
  // Presses keys in the list as the user does.
  void Keys(TTavixMain& main, const std::wstring& keys) {
    SetForegroundWindow(main.Handle());
    PumpUntil(main, [&] { return GetForegroundWindow() == main.Handle(); });
    SetFocus(main.ArcList().Handle());
    PointAt(main.ArcList().Handle());
    ASSERT_EQ(Xdotool(L"key --clearmodifiers " + keys), 0);
  }
  void DoubleClick(TTavixMain& main, const std::wstring& name) {
    int item = ItemOf(main, name);
    ASSERT_GE(item, 0);
    RECT r{};
    ListView_GetItemRect(main.ArcList().Handle(), item, &r, LVIR_LABEL);
    SetForegroundWindow(main.Handle());
    PumpUntil(main, [&] { return GetForegroundWindow() == main.Handle(); });
    POINT point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(main.ArcList().Handle(), &point);
    ASSERT_EQ(Xdotool(L"mousemove --sync " + std::to_wstring(point.x) + L" " + std::to_wstring(point.y) +
                      L" click --repeat 2 --delay 60 1"),
              0);
  }
  // Runs a program of ours while the window answers the clipboard; its exit code.
  DWORD RunTool(TTavixMain& main, const std::wstring& arguments) {
    std::wstring command = L"\"" + tools_ + L"\\clip_reader.exe\" " + arguments;
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    EXPECT_TRUE(PumpUntil(main, [&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, 60000));
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
  }
  std::vector<std::wstring> Read(TTavixMain& main, int requests) {
    std::wstring out = folder_ + L"\\read" + std::to_wstring(++reads_) + L".txt";
    EXPECT_EQ(RunTool(main, L"\"" + out + L"\" " + std::to_wstring(requests)), 0u);
    return Lines(out);
  }
  std::vector<std::vector<std::wstring>> Runs() {
    std::vector<std::vector<std::wstring>> runs;
    for (const std::wstring& line : Lines(runs_)) runs.push_back(Split(line));
    return runs;
  }
  // Extracts an archive with lhasa into a fresh folder; the files there.
  std::vector<std::wstring> LhasaFiles(const std::wstring& archive, const std::wstring& into) {
    CreateDirectoryW(into.c_str(), nullptr);
    EXPECT_EQ(RunUnix(L"cd", L"'" + UnixPath(into) + L"' && lhasa -xq '" + UnixPath(archive) + L"' >/dev/null 2>&1"), 0);
    return FilesBelow(into);
  }

  struct NoHelp : THelpService {
    void ShowContext(HWND, const std::wstring&, DWORD) override {}
    void KeywordSearch(HWND, const std::wstring&, const std::wstring&) override {}
  } help_;
  std::wstring folder_, ini_, tools_, runs_, archive_;
  int reads_ = 0;
  std::unique_ptr<TTavixMain> main_;
};

TEST_F(Entries, DoubleClickViewsOrOpensByTheSettingAndViewingLeavesNothing) {
  WritePrivateProfileStringW(L"Options", L"FIleOpenMode", L"1", ini_.c_str());
  TTavixMain& main = Start({archive_});
  ASSERT_EQ(main.State().entryCount, 5);
  std::wstring work = main.State().workFolder;
  {
    TViewerCloser closer;
    TMessageBoxAnswerer answerer;
    DoubleClick(main, L"readme.txt");
    ASSERT_TRUE(PumpUntil(main, [&] { return !closer.Shown().empty() && !FindWindowW(TViewer::kClassName, nullptr); },
                          30000));
    EXPECT_EQ(closer.Shown(), std::vector<std::wstring>{work + L"\\readme.txt"});
    EXPECT_EQ(closer.ExistedWhileShown(), std::vector<bool>{true});
    EXPECT_TRUE(answerer.Texts().empty());
  }
  // The viewed file is gone again; nothing else was written there.
  EXPECT_EQ(FilesBelow(work), std::vector<std::wstring>{});
  EXPECT_TRUE(Runs().empty());

  main.Settings().FIleOpenMode = false;
  DoubleClick(main, L"note.tvxrec");
  ASSERT_TRUE(PumpUntil(main, [&] { return !Runs().empty(); }, 30000));
  std::vector<std::vector<std::wstring>> runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].size(), 3u);
  EXPECT_EQ(Lower(runs[0][0]), Lower(tools_ + L"\\run_recorder.exe"));
  EXPECT_EQ(Lower(runs[0][1]), Lower(work));
  EXPECT_EQ(Lower(runs[0][2]), Lower(work + L"\\note.tvxrec"));
  // Opened files stay in the work folder until the program closes.
  EXPECT_EQ(ReadAll(work + L"\\note.tvxrec"), "note");
  EXPECT_FALSE(main.State().dragging);
}

TEST_F(Entries, OpeningTellsOfNoApplicationAndOfAnEntryThatCannotBeExtracted) {
  TTavixMain& main = Start({archive_});
  std::wstring work = main.State().workFolder;
  TMessageBoxAnswerer answerer;
  Select(main, {L"data.tvxnone"});
  Keys(main, L"ctrl+x");
  ASSERT_TRUE(PumpUntil(main, [&] { return !answerer.Texts().empty(); }, 30000));
  std::wstring told = answerer.Texts()[0];
  EXPECT_EQ(told.rfind(L"このﾌｧｲﾙを開くｱﾌﾟﾘｹｰｼｮﾝはありません: ", 0), 0u) << WideToUtf8(told);
  EXPECT_GT(told.size(), wcslen(L"このﾌｧｲﾙを開くｱﾌﾟﾘｹｰｼｮﾝはありません: "));

  // The archive goes away while it is shown: viewing cannot extract the entry.
  ASSERT_TRUE(DeleteFileW(archive_.c_str()));
  Select(main, {L"readme.txt"});
  Keys(main, L"ctrl+w");
  std::wstring expected = L"readme.txtを開くことに失敗しました.";
  ASSERT_TRUE(PumpUntil(main, [&] {
    for (const std::wstring& text : answerer.Texts())
      if (text == expected) return true;
    return false;
  }, 30000));
  EXPECT_FALSE(Exists(work + L"\\readme.txt"));
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
  EXPECT_TRUE(Runs().empty());
}

TEST_F(Entries, InstallRunsTheInstallerAmongTheWholeArchiveNotAStaleOne) {
  TTavixMain& main = Start({archive_});
  std::wstring work = main.State().workFolder;
  // Install is offered only while the one installer is selected.
  Select(main, {L"readme.txt"});
  main.ApplyCommandStates();
  EXPECT_FALSE(MenuEnabled(main.MainMenu(), CmdInstall));
  Select(main, {L"SETUP.EXE", L"readme.txt"});
  main.ApplyCommandStates();
  EXPECT_FALSE(MenuEnabled(main.MainMenu(), CmdInstall));
  Select(main, {L"SETUP.EXE"});
  main.ApplyCommandStates();
  EXPECT_TRUE(MenuEnabled(main.MainMenu(), CmdInstall));
  EXPECT_TRUE(MenuEnabled(main.ListPopup(), CmdInstall));

  // What another archive left in the work folder must not run in its place.
  CreateDirectoryW((work + L"\\inst").c_str(), nullptr);
  WriteText(work + L"\\inst\\SETUP.EXE", "not a program");
  WriteText(work + L"\\readme.txt", "stale");
  TMessageBoxAnswerer answerer;
  Keys(main, L"ctrl+i");
  ASSERT_TRUE(PumpUntil(main, [&] { return !Runs().empty() || !answerer.Texts().empty(); }, 30000));
  ASSERT_EQ(Runs().size(), 1u) << (answerer.Texts().empty() ? "" : WideToUtf8(answerer.Texts()[0]));
  std::vector<std::wstring> run = Runs()[0];
  ASSERT_EQ(run.size(), 2u);
  EXPECT_EQ(Lower(run[0]), Lower(work + L"\\inst\\SETUP.EXE"));
  EXPECT_EQ(Lower(run[1]), Lower(work + L"\\inst"));
  // The whole archive lies in the work folder with its folders.
  EXPECT_EQ(ReadAll(work + L"\\inst\\data.txt"), "installer data");
  EXPECT_EQ(ReadAll(work + L"\\readme.txt"), "read me");
  EXPECT_EQ(ReadAll(work + L"\\docs\\sub\\note.tvxrec"), "note");
  EXPECT_TRUE(answerer.Texts().empty());
}

TEST_F(Entries, CopyWritesNothingForTheFirstThreeRequestsThenOffersTheFiles) {
  TTavixMain& main = Start({archive_});
  std::wstring work = main.State().workFolder;
  Select(main, {L"readme.txt", L"note.tvxrec"});
  Keys(main, L"ctrl+c");
  ASSERT_TRUE(PumpUntil(main, [] { return IsClipboardFormatAvailable(CF_HDROP) != FALSE; }, 10000));
  // In list order.
  EXPECT_EQ(main.State().copyList, (std::vector<std::wstring>{L"docs/sub/note.tvxrec", L"readme.txt"}));

  EXPECT_EQ(Read(main, 3), std::vector<std::wstring>{L"empty 3"});
  EXPECT_EQ(main.State().copyRenderCount, 3);
  EXPECT_EQ(FilesBelow(work), std::vector<std::wstring>{});

  std::vector<std::wstring> read = Read(main, 10);
  std::vector<std::wstring> expected = {L"empty 0", L"effect 1", work + L"\\docs\\sub\\note.tvxrec",
                                        work + L"\\readme.txt"};
  EXPECT_EQ(read, expected);
  EXPECT_EQ(ReadAll(work + L"\\readme.txt"), "read me");
  EXPECT_EQ(ReadAll(work + L"\\docs\\sub\\note.tvxrec"), "note");
}

TEST_F(Entries, CopyInAnArchiveWithOneEntryOffersThatEntry) {
  std::wstring one = folder_ + L"\\one";
  CreateDirectoryW(one.c_str(), nullptr);
  WriteText(one + L"\\only.txt", "only");
  TTavixMain& main = Start({MakeArchive(L"one.lzh", one)});
  ASSERT_EQ(main.State().entryCount, 1);
  Select(main, {L"only.txt"});
  Keys(main, L"ctrl+c");
  ASSERT_TRUE(PumpUntil(main, [] { return IsClipboardFormatAvailable(CF_HDROP) != FALSE; }, 10000));
  std::vector<std::wstring> read = Read(main, 10);
  std::vector<std::wstring> expected = {L"empty 3", L"effect 1", main.State().workFolder + L"\\only.txt"};
  EXPECT_EQ(read, expected);
  EXPECT_EQ(ReadAll(main.State().workFolder + L"\\only.txt"), "only");
}

TEST_F(Entries, CopyThenPasteIntoAnotherArchiveKeepsTheFoldersAndASecondPasteHasNothing) {
  TTavixMain& main = Start({archive_});
  Select(main, {L"readme.txt", L"note.tvxrec"});
  Keys(main, L"ctrl+c");
  ASSERT_TRUE(PumpUntil(main, [] { return IsClipboardFormatAvailable(CF_HDROP) != FALSE; }, 10000));
  // Another archive of this program: a new one.
  main.EnterNewArchiveMode();
  std::wstring created = main.State().archivePath;
  main.ApplyCommandStates();
  EXPECT_TRUE(MenuEnabled(main.MainMenu(), CmdPaste));
  Keys(main, L"ctrl+v");
  ASSERT_TRUE(PumpUntil(main, [&] { return main.State().entryCount == 2 && !main.State().busy; }, 30000));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP));
  std::vector<std::wstring> files = LhasaFiles(created, folder_ + L"\\judged");
  EXPECT_EQ(files, (std::vector<std::wstring>{L"docs\\sub\\note.tvxrec", L"readme.txt"}));
  EXPECT_EQ(ReadAll(folder_ + L"\\judged\\readme.txt"), "read me");
  EXPECT_EQ(ReadAll(folder_ + L"\\judged\\docs\\sub\\note.tvxrec"), "note");

  // The paste emptied the clipboard: a second one has nothing to add.
  main.ApplyCommandStates();
  EXPECT_FALSE(MenuEnabled(main.MainMenu(), CmdPaste));
  TMessageBoxAnswerer answerer;
  SendMessageW(main.Handle(), WM_COMMAND, CmdPaste, 0);
  EXPECT_EQ(main.State().entryCount, 2);
  EXPECT_TRUE(answerer.Texts().empty());
}

TEST_F(Entries, CopyInOneInstancePastesIntoASecondInstance) {
  std::wstring second = folder_ + L"\\second";
  CreateDirectoryW(second.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\Tavix.exe").c_str(), (second + L"\\Tavix.exe").c_str(), FALSE));
  std::wstring secondWork = second + L"\\work";
  WritePrivateProfileStringW(L"Options", L"WorkDir", secondWork.c_str(), (second + L"\\Tavix.ini").c_str());
  WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", (second + L"\\Tavix.ini").c_str());

  TTavixMain& main = Start({archive_});
  Select(main, {L"readme.txt", L"note.tvxrec"});
  Keys(main, L"ctrl+c");
  ASSERT_TRUE(PumpUntil(main, [] { return IsClipboardFormatAvailable(CF_HDROP) != FALSE; }, 10000));

  std::wstring command = L"\"" + second + L"\\Tavix.exe\"";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, second.c_str(), &startup,
                             &process));
  TScopeExit end([&] {
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  });
  HWND other = nullptr;
  PumpUntil(main, [&] {
    for (HWND w = FindWindowW(L"TTavixMain", nullptr); w; w = FindWindowExW(nullptr, w, L"TTavixMain", nullptr)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner == process.dwProcessId && IsWindowVisible(w)) other = w;
    }
    return other != nullptr;
  }, 30000);
  ASSERT_TRUE(other);
  HWND otherList = FindWindowExW(other, nullptr, WC_LISTVIEWW, nullptr);
  ASSERT_TRUE(otherList);
  // The user clicks into the other window's list and presses Ctrl+V there.
  ClickAt(otherList, 30, 60);
  PumpUntil(main, [&] { return GetForegroundWindow() == other; }, 10000);
  ASSERT_EQ(Xdotool(L"key --clearmodifiers ctrl+v"), 0);
  std::wstring pasted = secondWork + L"\\~Tavix0\\Newfile.lzh";
  ASSERT_TRUE(PumpUntil(main, [&] { return Exists(pasted) && !IsClipboardFormatAvailable(CF_HDROP); }, 60000));
  // The other instance may still be writing: lhasa judges the finished archive.
  std::vector<std::wstring> files;
  PumpUntil(main, [&] {
    DeleteFolderSilently(folder_ + L"\\judged");
    files = LhasaFiles(pasted, folder_ + L"\\judged");
    return files.size() == 2;
  }, 30000);
  EXPECT_EQ(files, (std::vector<std::wstring>{L"docs\\sub\\note.tvxrec", L"readme.txt"}));
  EXPECT_EQ(ReadAll(folder_ + L"\\judged\\docs\\sub\\note.tvxrec"), "note");
  PostMessageW(other, WM_CLOSE, 0, 0);
}

TEST_F(Entries, PasteTakesOnlyPlainFullPathsOfExistingFilesFromAHostileList) {
  std::wstring in = folder_ + L"\\in";
  CreateDirectoryW(in.c_str(), nullptr);
  for (const wchar_t* name : {L"good1.txt", L"good2.txt", L"good3.txt", L"good4.txt", L"good5.txt", L"-x.txt"})
    WriteText(in + L"\\" + name, "good");
  TTavixMain& main = Start({});
  ASSERT_TRUE(main.State().newArchiveMode);
  std::wstring created = main.State().archivePath;
  TMessageBoxAnswerer answerer;

  // Wide: relative, wildcard, "..", device and very long names around two good ones; the list
  // ends at the empty name.
  std::wstring list = in + L"\\good1.txt" + L'\0' + L"good2.txt" + L'\0' + in + L"\\*.txt" + L'\0' + in +
                      L"\\..\\in\\good3.txt" + L'\0' + L"\\\\?\\" + in + L"\\good3.txt" + L'\0' +
                      std::wstring(40000, L'a') + L'\0' + in + L"\\-x.txt" + L'\0' + in + L"\\missing.txt" +
                      L'\0' + L'\0' + in + L"\\good4.txt" + L'\0' + L'\0';
  PutFileList(WideBytes(list), true);
  Keys(main, L"ctrl+v");
  ASSERT_TRUE(PumpUntil(main, [&] { return main.State().entryCount == 2 && !main.State().busy; }, 30000));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP));

  // Narrow, without the final NUL: the name the block cuts off is no name.
  PutFileList(WideToAnsi(in + L"\\good3.txt") + '\0' + WideToAnsi(in + L"\\good4.txt"), false);
  Keys(main, L"ctrl+v");
  ASSERT_TRUE(PumpUntil(main, [&] { return main.State().entryCount == 3 && !main.State().busy; }, 30000));

  // 10,000 names of which one exists.
  std::wstring many;
  for (int i = 0; i < 9999; ++i) many += in + L"\\gone" + std::to_wstring(i) + L".txt" + L'\0';
  many += in + L"\\good5.txt" + L'\0' + L'\0';
  PutFileList(WideBytes(many), true);
  Keys(main, L"ctrl+v");
  ASSERT_TRUE(PumpUntil(main, [&] { return main.State().entryCount == 4 && !main.State().busy; }, 60000));

  std::vector<std::wstring> files = LhasaFiles(created, folder_ + L"\\judged");
  EXPECT_EQ(files, (std::vector<std::wstring>{L"-x.txt", L"good1.txt", L"good3.txt", L"good5.txt"}));
  EXPECT_TRUE(answerer.Texts().empty()) << WideToUtf8(answerer.Texts()[0]);
}

TEST_F(Entries, HostileEntryNamesViewedOpenedAndCopiedStayInsideTheWorkFolder) {
  const std::wstring marker = L"tavixentryescape";
  TTavixMain& main = Start({WinPath(TAVIX_FIXTURE_DIR) + L"\\hostile-entries.zip"});
  ASSERT_GT(main.State().entryCount, 5);
  std::wstring work = main.State().workFolder;
  TMessageBoxAnswerer answerer;
  size_t started = 0;
  {
    TViewerCloser closer;
    for (int i = 0; i < main.ArcList().ItemCount(); ++i) {
      ListView_SetItemState(main.ArcList().Handle(), -1, 0, LVIS_SELECTED);
      ListView_SetItemState(main.ArcList().Handle(), i, LVIS_SELECTED, LVIS_SELECTED);
      SendMessageW(main.Handle(), WM_COMMAND, CmdView, 0);
      // Viewing deleted its file again: one there now was extracted to be opened.
      std::wstring name = ItemText(main, i, 0);
      DeleteFileW((work + L"\\" + name).c_str());
      SendMessageW(main.Handle(), WM_COMMAND, CmdOpenEntry, 0);
      if (name.find(L':') == std::wstring::npos && Exists(work + L"\\" + name)) ++started;
    }
    // Every viewed file was a file of the work folder.
    for (const std::wstring& shown : closer.Shown()) EXPECT_TRUE(escape_check::IsInside(shown, work)) << WideToUtf8(shown);
    EXPECT_GT(closer.Shown().size(), 0u);
  }
  // Whatever the recorder was started on lies in the work folder; the good entry ran.
  EXPECT_TRUE(PumpUntil(main, [&] { return Runs().size() >= started; }, 30000)) << started;
  EXPECT_EQ(Runs().size(), started);
  bool goodRan = false;
  for (const std::vector<std::wstring>& run : Runs()) {
    ASSERT_EQ(run.size(), 3u);
    EXPECT_TRUE(escape_check::IsInside(run[2], work)) << WideToUtf8(run[2]);
    EXPECT_EQ(Lower(run[2]).find(L".."), std::wstring::npos) << WideToUtf8(run[2]);
    goodRan = goodRan || Lower(run[2]) == Lower(work + L"\\good.tvxrec");
  }
  EXPECT_TRUE(goodRan);

  SendMessageW(main.Handle(), WM_COMMAND, CmdSelectAll, 0);
  Keys(main, L"ctrl+c");
  ASSERT_TRUE(PumpUntil(main, [] { return IsClipboardFormatAvailable(CF_HDROP) != FALSE; }, 10000));
  std::vector<std::wstring> read = Read(main, 10);
  ASSERT_GE(read.size(), 3u);
  EXPECT_EQ(read[0], L"empty 3");
  for (size_t i = 2; i < read.size(); ++i) {
    EXPECT_TRUE(escape_check::IsInside(read[i], work)) << WideToUtf8(read[i]);
    EXPECT_EQ(read[i].find(L".."), std::wstring::npos) << WideToUtf8(read[i]);
    EXPECT_TRUE(Exists(read[i])) << WideToUtf8(read[i]);
  }
  EXPECT_NE(std::find(read.begin(), read.end(), work + L"\\-dash.tvxrec"), read.end());
  EXPECT_NE(std::find(read.begin(), read.end(), work + L"\\@at.tvxrec"), read.end());
  EXPECT_EQ(escape_check::EscapedFiles(marker, work), std::vector<std::wstring>{});
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
}

}  // namespace
