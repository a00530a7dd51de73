// Self-extractors made from the main window with our own UNLHA32 and its
// stubs, run under Wine and compared byte for byte; sending the archive by
// mail to a stand-in MAPI32.DLL that records what a mail client would get.
#include "WindowDriver.h"

#include "CellGrid.h"
#include "dialogs/SfxWizardIds.h"

#include "engine/ArchiveFile.h"
#include "engine/TextUtil.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>

namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs a program and waits (at most a minute) for its exit code.
DWORD RunProgram(const std::wstring& commandLine) {
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 0xFFFFFFFF;
  DWORD code = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 ? 0 : 0xFFFFFFFE;
  if (code == 0) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

class SfxAndMail : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder_ = TempFolder(L"sfx-" + std::wstring(name.begin(), name.end()));
    ini_ = folder_ + L"\\Tavix.ini";
    WritePrivateProfileStringW(L"Options", L"WorkDir", (folder_ + L"\\work").c_str(), ini_.c_str());
    WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", ini_.c_str());
    CreateDirectoryW((folder_ + L"\\src").c_str(), nullptr);
    CreateDirectoryW((folder_ + L"\\src\\sub").c_str(), nullptr);
    // Binary content with every byte value, so a stub that changes bytes shows.
    std::string binary;
    for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 7 + i / 256) & 0xFF);
    contents_ = {{L"a.txt", "alpha\r\n"}, {L"setup.exe", binary}, {L"sub\\d.txt", "delta"}, {L"README", "plain"}};
    for (auto& [path, content] : contents_) WriteText(folder_ + L"\\src\\" + path, content);
  }
  void TearDown() override {
    if (main_ && IsWindow(main_->Handle())) {
      SendMessageW(main_->Handle(), WM_CLOSE, 0, 0);
      Pump(*main_, 50);
    }
    main_.reset();
  }

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
  TTavixMain& Start(const std::wstring& archive) {
    main_ = std::make_unique<TTavixMain>();
    EXPECT_TRUE(main_->Create(MainStart(ini_, {archive}, &help_), SW_SHOWNORMAL));
    Pump(*main_, 100);
    PumpUntil(*main_, [&] { return !main_->State().pendingJob && !main_->State().busy; }, 8000);
    return *main_;
  }
  // The button's command, as the tool bar sends it.
  void ClickSfxButton(TTavixMain& main) { PostMessageW(main.Handle(), WM_COMMAND, CmdMakeSfx, 0); }
  // 編集(&E), up to its last item (the self-extractor menu), into it, then the
  // item's key. The menus run their own loop, so the keys come from another
  // thread, each once the menu it is meant for is open.
  static int OpenMenus() {
    int count = 0;
    for (HWND menu = nullptr; (menu = FindWindowExW(nullptr, menu, L"#32768", nullptr));)
      if (IsWindowVisible(menu)) ++count;
    return count;
  }
  static bool WaitForMenus(int count) {
    for (int waited = 0; waited < 20000; waited += 20) {
      if (OpenMenus() >= count) return true;
      Sleep(20);
    }
    return false;
  }
  std::thread ChooseSfxMenuItem(TTavixMain& main, const std::wstring& key) {
    HWND window = main.Handle();
    PointAt(window);
    SetForegroundWindow(window);
    PumpUntil(main, [&] { return GetForegroundWindow() == window; });
    return std::thread([key] {
      Xdotool(L"key --clearmodifiers alt+e");
      if (!WaitForMenus(1)) return;
      Xdotool(L"key --clearmodifiers Up");
      Xdotool(L"key --clearmodifiers Right");
      if (!WaitForMenus(2)) return;
      Xdotool(L"key --clearmodifiers " + key);
    });
  }
  // Runs the self-extractor silently into out and compares every file with src.
  void ExpectExtractsByteForByte(const std::wstring& program, const std::wstring& out) {
    ASSERT_TRUE(Exists(program)) << WideToAnsi(program);
    EXPECT_EQ(RunProgram(L"\"" + program + L"\" /s /d \"" + out + L"\""), 0u);
    for (auto& [path, content] : contents_)
      EXPECT_EQ(ReadAll(out + L"\\" + path), content) << WideToAnsi(path);
  }
  bool Checked(TTavixMain& main, UINT id) { return MenuChecked(main.DropDown(DropSfx), id); }

  struct NoHelp : THelpService {
    void ShowContext(HWND, const std::wstring&, DWORD) override {}
    void KeywordSearch(HWND, const std::wstring&, const std::wstring&) override {}
  } help_;
  std::wstring folder_, ini_;
  std::vector<std::pair<std::wstring, std::string>> contents_;
  std::unique_ptr<TTavixMain> main_;
};

TEST_F(SfxAndMail, MenuMakesAWin32SelfExtractorThatExtractsByteForByte) {
  std::wstring archive = MakeArchive(L"data.lzh");
  std::string before = ReadAll(archive);
  TTavixMain& main = Start(archive);
  ASSERT_EQ(main.State().entryCount, 4);
  EXPECT_TRUE(Checked(main, CmdSfxWin32));
  TMessageBoxAnswerer answerer;
  std::thread user = ChooseSfxMenuItem(main, L"3");
  PumpUntil(main, [&] { return !answerer.Texts().empty(); }, 60000);
  user.join();
  ASSERT_FALSE(answerer.Texts().empty());
  EXPECT_EQ(answerer.Texts()[0], L"SFX書庫を作成しました。");
  // The switches of the run are gone again; the archive is as it was.
  EXPECT_EQ(main.Arc().Options().gw, 0);
  EXPECT_EQ(main.Arc().Options().gu, -1);
  EXPECT_EQ(main.Arc().Options().n, -1);
  EXPECT_EQ(ReadAll(archive), before);
  ExpectExtractsByteForByte(folder_ + L"\\data.exe", folder_ + L"\\out");
}

TEST_F(SfxAndMail, EveryVariantChecksItsItemAndTheButtonRepeatsWhatItShows) {
  std::wstring archive = MakeArchive(L"LongArchiveName.lzh");
  TTavixMain& main = Start(archive);
  ASSERT_EQ(main.State().entryCount, 4);
  {
    // Dos16 expects the short name beside the archive; our library writes the
    // long one, so the run tells the long-name hint.
    TMessageBoxAnswerer answerer;
    SendMessageW(main.Handle(), WM_COMMAND, CmdSfxDos16, 0);
    ASSERT_EQ(answerer.Texts().size(), 1u);
    EXPECT_EQ(answerer.Texts()[0],
              L"SFX書庫を作成できませんでした。\n\rﾛﾝｸﾞﾈｰﾑ形式のﾃﾞｨﾚｸﾄﾘ情報が含まれて\n\rいる可能性があります.");
    EXPECT_FALSE(Exists(folder_ + L"\\LongArch.exe"));
    EXPECT_TRUE(Checked(main, CmdSfxDos16));
    for (UINT other : {CmdSfxWizard, CmdSfxWin16, CmdSfxWin32, CmdSfxWin32M}) EXPECT_FALSE(Checked(main, other));
  }
  DeleteFileW((folder_ + L"\\LongArchiveName.exe").c_str());
  {
    // After Dos16 the button shows the Win16 picture and runs Win16.
    TMessageBoxAnswerer answerer;
    ClickSfxButton(main);
    ASSERT_TRUE(PumpUntil(main, [&] { return !answerer.Texts().empty(); }, 60000));
    EXPECT_EQ(answerer.Texts()[0], L"SFX書庫を作成しました。");
    EXPECT_TRUE(Checked(main, CmdSfxWin16));
    EXPECT_FALSE(Checked(main, CmdSfxDos16));
    ExpectExtractsByteForByte(folder_ + L"\\LongArchiveName.exe", folder_ + L"\\out16");
  }
  DeleteFileW((folder_ + L"\\LongArchiveName.exe").c_str());
  {
    TMessageBoxAnswerer answerer;
    SendMessageW(main.Handle(), WM_COMMAND, CmdSfxWin32M, 0);
    ASSERT_EQ(answerer.Texts().size(), 1u);
    EXPECT_EQ(answerer.Texts()[0], L"SFX書庫を作成しました。");
    EXPECT_TRUE(Checked(main, CmdSfxWin32M));
    EXPECT_FALSE(Checked(main, CmdSfxWin16));
    ExpectExtractsByteForByte(folder_ + L"\\LongArchiveName.exe", folder_ + L"\\out32m");
  }
}

TEST_F(SfxAndMail, ReadOnlyFolderGivesTheFailureAndLeavesTheArchive) {
  std::wstring archive = MakeArchive(L"data.lzh");
  std::string before = ReadAll(archive);
  TTavixMain& main = Start(archive);
  ASSERT_EQ(main.State().entryCount, 4);
  // The result cannot be written: a folder of that name is in the way.
  CreateDirectoryW((folder_ + L"\\data.exe").c_str(), nullptr);
  TMessageBoxAnswerer answerer;
  SendMessageW(main.Handle(), WM_COMMAND, CmdSfxWin32, 0);
  ASSERT_EQ(answerer.Texts().size(), 1u);
  EXPECT_EQ(answerer.Texts()[0], L"SFX書庫の作成に失敗しました。");
  EXPECT_EQ(ReadAll(archive), before);
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
  EXPECT_EQ(main.Arc().Options().gw, 0);
}

// The wizard's window, once it is up (at most a minute).
HWND WaitForWizard() {
  for (int waited = 0; waited < 60000; waited += 20) {
    HWND wizard = FindWindowW(L"#32770", L"SFX Wizard");
    if (wizard && IsWindowVisible(wizard)) return wizard;
    Sleep(20);
  }
  return nullptr;
}

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 20000) {
  for (int waited = 0; waited < milliseconds; waited += 20) {
    if (condition()) return true;
    Sleep(20);
  }
  return condition();
}

void ClickControl(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  RECT r{};
  GetClientRect(control, &r);
  ClickAt(control, std::min<int>(r.right / 2, 20), r.bottom / 2);
}

// Next through the pages with the mouse, from page 1 to 6.
bool ClickThroughToTheLastPage(HWND wizard) {
  for (int page = 2; page <= 6; ++page) {
    ClickControl(wizard, IDC_SFXWIZ_NEXT);
    if (!WaitFor([&] { return IsWindowVisible(GetDlgItem(wizard, IDC_SFXWIZ_FINISH)) || page < 6; })) return false;
  }
  return WaitFor([&] { return IsWindowVisible(GetDlgItem(wizard, IDC_SFXWIZ_FINISH)) != FALSE; });
}

std::vector<std::wstring> ComboItems(HWND combo) {
  std::vector<std::wstring> items;
  int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t text[600] = {};
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

// The wizard from the menu, on a real archive: the installer definition and
// message go into the self-extractor, which replaces the .exe beside the
// archive, extracts every file byte for byte and keeps the two files out.
TEST_F(SfxAndMail, WizardBuildsAnInstallerBesideTheArchive) {
  std::wstring archive = MakeArchive(L"tool.lzh");
  std::string before = ReadAll(archive);
  WriteText(folder_ + L"\\tool.exe", "an old program of the same name");
  TTavixMain& main = Start(archive);
  ASSERT_EQ(main.State().entryCount, 4);
  std::vector<std::wstring> autoExecute, attachedApp, entries;
  std::unique_ptr<TMessageBoxAnswerer> answerer;
  std::atomic<bool> answering{false};
  std::thread menu = ChooseSfxMenuItem(main, L"s");
  std::thread user([&] {
    HWND wizard = WaitForWizard();
    if (!wizard) return;
    PointAt(wizard);
    autoExecute = ComboItems(GetDlgItem(wizard, IDC_SFXWIZ_AUTOEXECUTE));
    attachedApp = ComboItems(GetDlgItem(wizard, IDC_SFXWIZ_ATTACHEDAPP));
    entries = TCellGrid::FromHandle(GetDlgItem(wizard, IDC_SFXWIZ_ADDFILES))->Choices(1);
    ClickControl(wizard, IDC_SFXWIZ_SHOWMSGBOX);
    if (!WaitFor([&] { return IsWindowEnabled(GetDlgItem(wizard, IDC_SFXWIZ_MESSG)) != FALSE; })) return;
    if (!ClickThroughToTheLastPage(wizard)) return;
    ClickControl(wizard, IDC_SFXWIZ_FINISH);
    if (!WaitFor([&] { return !IsWindow(wizard); })) return;
    answerer = std::make_unique<TMessageBoxAnswerer>();
    answering = true;
  });
  PumpUntil(main, [&] { return answering && !answerer->Texts().empty() && !main.State().busy; }, 120000);
  menu.join();
  user.join();
  // In the archive's order; a name without extension is offered to run.
  std::sort(autoExecute.begin(), autoExecute.end());
  EXPECT_EQ(autoExecute, (std::vector<std::wstring>{L"README", L"a.txt", L"d.txt", L"setup.exe"}));
  EXPECT_EQ(attachedApp, (std::vector<std::wstring>{L"setup.exe"}));
  EXPECT_EQ(entries.size(), 4u);
  ASSERT_TRUE(answering);
  ASSERT_EQ(answerer->Texts().size(), 1u);
  EXPECT_EQ(answerer->Texts()[0], L"SFX書庫を作成しました。");
  answerer.reset();

  // The window shows the new program; the archive itself is as it was.
  const std::wstring program = folder_ + L"\\tool.exe";
  EXPECT_EQ(main.State().archivePath, program);
  EXPECT_EQ(ReadAll(archive), before);
  EXPECT_TRUE(MenuChecked(main.DropDown(DropSfx), CmdSfxWizard));
  EXPECT_FALSE(MenuChecked(main.DropDown(DropSfx), CmdSfxWin32));

  // The installer stub, then an LZH archive that an independent reader takes,
  // with "$" and "!" as the wizard's fields made them.
  wchar_t stub[MAX_PATH] = {};
  ASSERT_NE(SearchPathW(nullptr, L"sfxinst.dat", nullptr, MAX_PATH, stub, nullptr), 0u);
  std::string stubBytes = ReadAll(stub), programBytes = ReadAll(program);
  ASSERT_GT(programBytes.size(), stubBytes.size());
  EXPECT_TRUE(programBytes.compare(0, stubBytes.size(), stubBytes) == 0);
  WriteText(folder_ + L"\\tail.lzh", programBytes.substr(stubBytes.size()));
  CreateDirectoryW((folder_ + L"\\judged").c_str(), nullptr);
  ASSERT_EQ(RunUnix(L"bsdtar", L"-xf '" + UnixPath(folder_ + L"\\tail.lzh") + L"' -C '" +
                                   UnixPath(folder_ + L"\\judged") + L"'"),
            0);
  EXPECT_EQ(ReadAll(folder_ + L"\\judged\\$"),
            WideToAnsi(L"$WindowTitle=tool のインストール\r\n$InstallTitle=tool のインストール先\r\n"
                       L"$InstallDir=%ProgramFiles%\\tool\r\n$Flag=6402\r\n"));
  EXPECT_EQ(ReadAll(folder_ + L"\\judged\\!"), WideToAnsi(L"tool のインストールを開始します。\r\n"));
  for (auto& [path, content] : contents_) EXPECT_EQ(ReadAll(folder_ + L"\\judged\\" + path), content);

  ExpectExtractsByteForByte(program, folder_ + L"\\out");
  EXPECT_FALSE(Exists(folder_ + L"\\out\\$"));
  EXPECT_FALSE(Exists(folder_ + L"\\out\\!"));
}

// With the message box left unchecked no "!" goes into the program; a wizard
// cancelled builds nothing.
TEST_F(SfxAndMail, WizardWithoutMessageWritesNoMessageFileAndCancelBuildsNothing) {
  std::wstring archive = MakeArchive(L"plain.lzh");
  TTavixMain& main = Start(archive);
  ASSERT_EQ(main.State().entryCount, 4);
  for (bool finish : {false, true}) {
    std::unique_ptr<TMessageBoxAnswerer> answerer;
    std::atomic<bool> done{false};
    std::thread user([&] {
      HWND wizard = WaitForWizard();
      if (!wizard) return;
      PointAt(wizard);
      if (finish) {
        if (!ClickThroughToTheLastPage(wizard)) return;
        ClickControl(wizard, IDC_SFXWIZ_FINISH);
      } else {
        ClickControl(wizard, IDC_SFXWIZ_CANCEL);
      }
      if (!WaitFor([&] { return !IsWindow(wizard); })) return;
      if (finish) answerer = std::make_unique<TMessageBoxAnswerer>();
      done = true;
    });
    // The tool-bar button runs the wizard once it was chosen.
    if (finish) ClickSfxButton(main);
    else PostMessageW(main.Handle(), WM_COMMAND, CmdSfxWizard, 0);
    PumpUntil(main, [&] { return done && (!finish || !answerer->Texts().empty()) && !main.State().busy; }, 120000);
    user.join();
    ASSERT_TRUE(done) << finish;
    if (!finish) {
      EXPECT_FALSE(Exists(folder_ + L"\\plain.exe"));
      EXPECT_EQ(main.State().archivePath, archive);
      EXPECT_EQ(main.State().sfxButton, 3);
    } else {
      ASSERT_EQ(answerer->Texts().size(), 1u);
      EXPECT_EQ(answerer->Texts()[0], L"SFX書庫を作成しました。");
    }
  }
  // "$" is there, "!" is not: the listing of the new program says so.
  std::vector<std::wstring> names;
  for (int i = 0; i < main.State().entryCount; ++i) names.push_back(ItemText(main, i, 0));
  EXPECT_NE(std::find(names.begin(), names.end(), L"$"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), L"!"), names.end());
  ExpectExtractsByteForByte(folder_ + L"\\plain.exe", folder_ + L"\\out");
}

// In a folder whose name holds a blank and Japanese: while the program
// cannot be written (a folder of its name is in the way) the failure is told
// and the window and the archive stay as they were; then it is made.
TEST_F(SfxAndMail, WizardThatCannotWriteItsProgramKeepsTheArchive) {
  CreateDirectoryW((folder_ + L"\\作業 フォルダ").c_str(), nullptr);
  std::wstring archive = MakeArchive(L"作業 フォルダ\\data.lzh");
  std::string before = ReadAll(archive);
  CreateDirectoryW((folder_ + L"\\作業 フォルダ\\data.exe").c_str(), nullptr);
  TTavixMain& main = Start(archive);
  ASSERT_EQ(main.State().entryCount, 4);
  // Blocked, then with the way cleared.
  for (bool blocked : {true, false}) {
    if (!blocked) ASSERT_TRUE(RemoveDirectoryW((folder_ + L"\\作業 フォルダ\\data.exe").c_str()));
    std::unique_ptr<TMessageBoxAnswerer> answerer;
    std::atomic<bool> done{false};
    std::thread user([&] {
      HWND wizard = WaitForWizard();
      if (!wizard) return;
      PointAt(wizard);
      if (!ClickThroughToTheLastPage(wizard)) return;
      ClickControl(wizard, IDC_SFXWIZ_FINISH);
      if (!WaitFor([&] { return !IsWindow(wizard); })) return;
      answerer = std::make_unique<TMessageBoxAnswerer>();
      done = true;
    });
    PostMessageW(main.Handle(), WM_COMMAND, CmdSfxWizard, 0);
    PumpUntil(main, [&] { return done && !answerer->Texts().empty() && !main.State().busy; }, 120000);
    user.join();
    ASSERT_TRUE(done) << blocked;
    ASSERT_EQ(answerer->Texts().size(), 1u) << blocked;
    EXPECT_EQ(answerer->Texts()[0], blocked ? L"SFX書庫の作成に失敗しました。" : L"SFX書庫を作成しました。");
    answerer.reset();
    EXPECT_EQ(ReadAll(archive), before);
    EXPECT_TRUE(IsWindowEnabled(main.Handle()));
    if (blocked) {
      EXPECT_EQ(main.State().archivePath, archive);
      EXPECT_EQ(main.State().entryCount, 4);
    }
  }
  ExpectExtractsByteForByte(folder_ + L"\\作業 フォルダ\\data.exe", folder_ + L"\\out");
}

// The value the availability check reads, in this test's own Wine prefix.
void SetMapiSwitch(const wchar_t* value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows Messaging Subsystem", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  if (value)
    RegSetValueExW(key, L"MAPI", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
  else
    RegDeleteValueW(key, L"MAPI");
  RegCloseKey(key);
}

TEST_F(SfxAndMail, SendHandsTheArchiveToTheMailClient) {
  SetMapiSwitch(L"1");
  // Wine prefers its own MAPI32 to a file of that name; this test program
  // takes ours (a setting of this prefix only). Loaded first under its name,
  // the program's own load finds it.
  HKEY overrides = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\app_sfx_tests.exe\\DllOverrides", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &overrides, nullptr),
            ERROR_SUCCESS);
  const wchar_t native[] = L"native";
  RegSetValueExW(overrides, L"mapi32", 0, REG_SZ, reinterpret_cast<const BYTE*>(native), sizeof native);
  RegCloseKey(overrides);
  HMODULE standIn = LoadLibraryW((WinPath(TAVIX_BINARY_DIR) + L"\\bin\\mapi-standin\\MAPI32.DLL").c_str());
  ASSERT_NE(standIn, nullptr);
  auto record = reinterpret_cast<const char*(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(standIn, "StandInRecord")));
  if (!record && !GetEnvironmentVariableW(L"TAVIX_MAPI_RERUN", nullptr, 0)) {
    // Wine read the overrides when this process started, before the setting
    // was there: the same test again in a process that sees it.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    SetEnvironmentVariableW(L"TAVIX_MAPI_RERUN", L"1");
    EXPECT_EQ(RunProgram(L"\"" + std::wstring(self) +
                         L"\" --gtest_filter=SfxAndMail.SendHandsTheArchiveToTheMailClient"),
              0u);
    return;
  }
  ASSERT_NE(record, nullptr);
  std::wstring archive = MakeArchive(L"送 付 data.lzh");
  TTavixMain& main = Start(archive);
  ASSERT_EQ(main.State().entryCount, 4);
  TMessageBoxAnswerer answerer;
  SendMessageW(main.Handle(), WM_COMMAND, CmdSend, 0);
  EXPECT_TRUE(answerer.Texts().empty());
  EXPECT_EQ(AnsiToWide(record()), L"calls=1 flags=8 dialog-windows-disabled=1\n"
                                  L"subject=ファイル送付:送 付 data.lzh\nbody=\nmessage-flags=2\n"
                                  L"originator=0 name= address=\n"
                                  L"recipient=1 name= address=anyone\n"
                                  L"file flags=1 position=-1 path=" +
                                      archive + L" name=(null) type=(null)\n");
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
}

TEST_F(SfxAndMail, SendWithoutMapiSaysItFailed) {
  SetMapiSwitch(nullptr);
  std::wstring archive = MakeArchive(L"data.lzh");
  TTavixMain& main = Start(archive);
  TMessageBoxAnswerer answerer;
  SendMessageW(main.Handle(), WM_COMMAND, CmdSend, 0);
  ASSERT_EQ(answerer.Texts().size(), 1u);
  EXPECT_EQ(answerer.Texts()[0], L"送信に失敗しました");
  EXPECT_EQ(GetModuleHandleW(L"MAPI32.DLL"), nullptr);
}

}  // namespace
