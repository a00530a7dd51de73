// The installer stub: its definition file, and a silent installation with a
// file association, a start-menu entry and a command run afterwards.
#include "archivers/sfx/SfxInstall.h"
#include "archivers/sfx/SfxStubs.h"
#include "tests/archivers/bga/TestFiles.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <clocale>
#include <vector>

namespace {

using namespace testfiles;

// Whether a process of the job is other than Wine's desktop process. The
// first program to open a window in a fresh Wine session starts the desktop
// (explorer.exe /desktop) as its own child, and it stays for the session:
// waiting for it would wait for ever.
bool OthersRunIn(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
  if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting, nullptr))
    return true;
  if (accounting.ActiveProcesses == 0) return false;
  struct {
    JOBOBJECT_BASIC_PROCESS_ID_LIST list;
    ULONG_PTR more[255];
  } ids{};
  ids.list.NumberOfAssignedProcesses = 256;
  if (!QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof ids, nullptr)) return true;
  for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList; ++i) {
    DWORD id = static_cast<DWORD>(ids.list.ProcessIdList[i]);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id);
    if (process == nullptr) continue;
    wchar_t image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    bool desktop = QueryFullProcessImageNameW(process, 0, image, &size) &&
                   _wcsicmp(fs::path(image).filename().c_str(), L"explorer.exe") == 0;
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    if (running && !desktop) return true;
  }
  return false;
}

// Runs a program and waits, within a generous limit, until it and every
// process it started (the console a batch file runs in) have ended: then
// whatever a command was going to write is written, and a command that was
// not run cannot still appear. Returns the program's exit code, -1 on failure.
int RunToTheEnd(const std::wstring& commandLine, DWORD limit = 45000) {
  // Have the desktop process started now, by this process, outside the job.
  GetDesktopWindow();
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return -1;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                      &process)) {
    CloseHandle(job);
    return -1;
  }
  AssignProcessToJobObject(job, process.hProcess);
  ResumeThread(process.hThread);
  DWORD start = GetTickCount();
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, limit) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  while (OthersRunIn(job)) {
    if (GetTickCount() - start > limit) {
      code = static_cast<DWORD>(-1);
      break;
    }
    Sleep(50);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(job);
  return static_cast<int>(code);
}

TEST(InstallDefinition, ReadsEveryLineOfTheDefinition) {
  std::string text = Ansi(
      L"$WindowTitle=ツール のインストール\r\n"
      L"$InstallTitle=ツール のインストール先\r\n"
      L"$InstallDir=%ProgramFiles%\\ツール\r\n"
      L"$ClassTitle=ファイルの関連付け\r\n"
      L"Class=.tvx,ツール のﾌｧｲﾙ,bin\\tool.exe,ToolFile\r\n"
      L"$GroupTitle=スタートメニューへの登録\r\n"
      L"$Group=ツール,説明書,readme.txt\r\n"
      L"$Group=ツール,ツール,bin\\tool.exe\r\n"
      L"$Command=readme.txt\r\n"
      L"$Flag=6401\r\n");
  sfx::InstallDefinition d = sfx::ParseDefinition(text);
  EXPECT_EQ(d.windowTitle, L"ツール のインストール");
  EXPECT_EQ(d.installTitle, L"ツール のインストール先");
  EXPECT_EQ(d.installDir, L"%ProgramFiles%\\ツール");
  EXPECT_EQ(d.classTitle, L"ファイルの関連付け");
  ASSERT_EQ(d.associations.size(), 1u);
  EXPECT_EQ(d.associations[0].extension, L".tvx");
  EXPECT_EQ(d.associations[0].description, L"ツール のﾌｧｲﾙ");
  EXPECT_EQ(d.associations[0].application, L"bin\\tool.exe");
  EXPECT_EQ(d.associations[0].keyName, L"ToolFile");
  EXPECT_EQ(d.groupTitle, L"スタートメニューへの登録");
  ASSERT_EQ(d.startMenu.size(), 2u);
  EXPECT_EQ(d.startMenu[1].file, L"bin\\tool.exe");
  EXPECT_EQ(d.command, L"readme.txt");
  // 6401 = 0x1901: automatic on and off at once keeps the default.
  EXPECT_FALSE(d.flags.autoExecute);
}

TEST(InstallDefinition, FlagBitsTurnOptionsOnAndOff) {
  struct Case {
    unsigned value;
    bool autoExecute, askOverwrite, ignoreTimestamps, restoreAttributes;
  } cases[] = {
      {0, false, true, false, false},                          // nothing said: the wizard's defaults
      {0x001 | 0x200 | 0x800 | 0x1000, true, false, false, false},
      {0x100 | 0x002 | 0x800 | 0x1000, false, true, false, false},
      {0x100 | 0x200 | 0x008 | 0x010, false, false, true, true},
      {0x100 + 0x002 + 0x800 + 0xFFF, false, true, false, false},  // the other reading of "unchecked"
  };
  for (const Case& c : cases) {
    sfx::InstallFlags flags = sfx::DecodeFlags(c.value);
    EXPECT_EQ(flags.autoExecute, c.autoExecute) << std::hex << c.value;
    EXPECT_EQ(flags.askOverwrite, c.askOverwrite) << std::hex << c.value;
    EXPECT_EQ(flags.ignoreTimestamps, c.ignoreTimestamps) << std::hex << c.value;
    EXPECT_EQ(flags.restoreAttributes, c.restoreAttributes) << std::hex << c.value;
  }
}

TEST(InstallDefinition, FolderVariablesExpandCaseBlind) {
  wchar_t windows[MAX_PATH], system[MAX_PATH], temporary[MAX_PATH], programs[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  GetSystemDirectoryW(system, MAX_PATH);
  GetTempPathW(MAX_PATH, temporary);
  std::wstring work = temporary;
  work.pop_back();
  SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programs);
  EXPECT_EQ(sfx::ExpandInstallFolder(L"%ProgramFiles%\\Tool"), std::wstring(programs) + L"\\Tool");
  EXPECT_EQ(sfx::ExpandInstallFolder(L"%WINDIR%"), windows);
  EXPECT_EQ(sfx::ExpandInstallFolder(L"%systemdir%\\x"), std::wstring(system) + L"\\x");
  EXPECT_EQ(sfx::ExpandInstallFolder(L"%WORK%\\t"), work + L"\\t");
  EXPECT_EQ(sfx::ExpandInstallFolder(L"D:\\plain\\%other%"), L"D:\\plain\\%other%");
}

TEST(InstallDefinition, NamesFromTheDefinitionStayInsideTheFolder) {
  EXPECT_EQ(sfx::InsideFolder(L"C:\\app", L"bin\\tool.exe"), L"C:\\app\\bin\\tool.exe");
  EXPECT_EQ(sfx::InsideFolder(L"C:\\app", L"..\\..\\evil.bat"), L"C:\\app\\evil.bat");
  EXPECT_EQ(sfx::InsideFolder(L"C:\\app", L"D:\\x.exe"), L"C:\\app\\x.exe");
  EXPECT_EQ(sfx::InsideFolder(L"C:\\app", L".."), L"");
  EXPECT_FALSE(sfx::RegisterAssociation({L".???", L"n", L"a.exe", L"Key"}, L"C:\\app"));
  EXPECT_FALSE(sfx::RegisterAssociation({L".tvx", L"n", L"a.exe", L"Software\\Evil"}, L"C:\\app"));
}

TEST(InstallDefinition, MessageKeepsItsLines) {
  EXPECT_EQ(sfx::DecodeMessage(Ansi(L"一行目\n二行目\r\n")), L"一行目\r\n二行目");
}

// A ZIP with the installer files and an application.
std::string InstallerZip(const std::vector<std::pair<std::wstring, std::string>>& files) {
  std::setlocale(LC_ALL, "");
  struct archive* a = archive_write_new();
  archive_write_set_format_zip(a);
  archive_write_set_options(a, "zip:hdrcharset=UTF-8");
  std::vector<char> buffer(1 << 20);
  size_t used = 0;
  archive_write_open_memory(a, buffer.data(), buffer.size(), &used);
  for (auto& [name, bytes] : files) {
    struct archive_entry* entry = archive_entry_new();
    archive_entry_copy_pathname_w(entry, name.c_str());
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, static_cast<la_int64_t>(bytes.size()));
    archive_entry_set_mtime(entry, 1700000000, 0);
    archive_write_header(a, entry);
    archive_write_data(a, bytes.data(), bytes.size());
    archive_entry_free(entry);
  }
  archive_write_close(a);
  archive_write_free(a);
  return std::string(buffer.data(), used);
}

std::wstring DefaultValue(const std::wstring& key) {
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return L"";
  return value;
}

class Installer : public ::testing::Test {
 protected:
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\.tvxtest");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\TavixTestFile");
    wchar_t programs[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs))) {
      std::error_code ignored;
      fs::remove_all(fs::path(programs) / L"TavixTestGroup", ignored);
    }
  }
  ScratchFolder scratch;
};

TEST_F(Installer, SilentInstallationRegistersAndRunsTheCommand) {
  std::string definition = Ansi(
      L"$WindowTitle=テスト のインストール\r\n"
      L"$InstallTitle=テスト のインストール先\r\n"
      L"$InstallDir=%WORK%\\unused\r\n"
      L"$ClassTitle=ファイルの関連付け\r\n"
      L"Class=.tvxtest,テスト のﾌｧｲﾙ,bin\\viewer.exe,TavixTestFile\r\n"
      L"$GroupTitle=スタートメニューへの登録\r\n"
      L"$Group=TavixTestGroup,説明書,doc\\readme.txt\r\n"
      L"$Group=TavixTestGroup,Escape,..\\..\\outside.txt\r\n"
      L"$Command=run.bat\r\n"
      L"$Flag=6657\r\n");  // 0x1A01: automatic, no questions
  std::string zip = InstallerZip({
      {L"$", definition},
      {L"!", Ansi(L"テスト のインストールを開始します。")},
      {L"bin/viewer.exe", "not really a program"},
      {L"doc/readme.txt", "read me"},
      {L"run.bat", "@echo off\r\necho ran> ran.txt\r\n"},
  });
  WriteFile(scratch / L"archive.zip", zip);
  wchar_t stub[MAX_PATH];
  ASSERT_NE(SearchPathW(nullptr, sfx::InstallerStub, nullptr, MAX_PATH, stub, nullptr), 0u);
  fs::path program = scratch / L"setup.exe";
  ASSERT_EQ(sfx::JoinStubAndArchive(stub, (scratch / L"archive.zip").wstring(), program.wstring()), 0u);
  fs::path folder = scratch / L"installed";
  ASSERT_EQ(RunToTheEnd(L"\"" + program.wstring() + L"\" /s /r /d \"" + folder.wstring() + L"\""), 0);

  auto tree = Tree(folder);
  EXPECT_FALSE(tree.count(L"$"));
  EXPECT_FALSE(tree.count(L"!"));
  EXPECT_EQ(tree[L"doc\\readme.txt"], "read me");
  EXPECT_EQ(tree[L"bin\\viewer.exe"], "not really a program");

  EXPECT_EQ(DefaultValue(L"Software\\Classes\\.tvxtest"), L"TavixTestFile");
  EXPECT_EQ(DefaultValue(L"Software\\Classes\\TavixTestFile"), L"テスト のﾌｧｲﾙ");
  std::wstring command = DefaultValue(L"Software\\Classes\\TavixTestFile\\shell\\open\\command");
  std::wstring viewer = fs::weakly_canonical(folder / L"bin\\viewer.exe").wstring();
  EXPECT_EQ(command, L"\"" + viewer + L"\" \"%1\"");

  wchar_t programs[MAX_PATH];
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs)));
  EXPECT_TRUE(fs::exists(fs::path(programs) / L"TavixTestGroup" / L"説明書.lnk"));
  // A shortcut to a file outside the installation would point inside it instead, where there is none: not made.
  EXPECT_FALSE(fs::exists(fs::path(programs) / L"TavixTestGroup" / L"Escape.lnk"));

  // The command ran. Wine may start the console of a batch file outside the
  // stub's job, so its file is also waited for (a generous limit: the first
  // console of a fresh Wine session takes seconds).
  for (DWORD start = GetTickCount(); !fs::exists(folder / L"ran.txt") && GetTickCount() - start < 45000;) Sleep(50);
  EXPECT_TRUE(fs::exists(folder / L"ran.txt"));
}

// The GUI stub installs too when its archive carries a definition: UNLHA32
// may join any of our GUI stubs to an archive made by the wizard.
TEST_F(Installer, GuiStubFollowsADefinitionButRunsNothingWithoutTheRunSwitch) {
  std::string zip = InstallerZip({
      {L"$", "$InstallDir=%WORK%\r\n$Command=run.bat\r\n$Flag=1\r\n"},
      {L"run.bat", "@echo off\r\necho ran> ran.txt\r\n"},
  });
  WriteFile(scratch / L"archive.zip", zip);
  wchar_t stub[MAX_PATH];
  ASSERT_NE(SearchPathW(nullptr, sfx::GuiStub, nullptr, MAX_PATH, stub, nullptr), 0u);
  fs::path program = scratch / L"setup.exe";
  ASSERT_EQ(sfx::JoinStubAndArchive(stub, (scratch / L"archive.zip").wstring(), program.wstring()), 0u);
  fs::path folder = scratch / L"installed";
  ASSERT_EQ(RunToTheEnd(L"\"" + program.wstring() + L"\" /s /d \"" + folder.wstring() + L"\""), 0);
  EXPECT_TRUE(fs::exists(folder / L"run.bat"));
  EXPECT_FALSE(fs::exists(folder / L"$"));
  EXPECT_FALSE(fs::exists(folder / L"ran.txt"));
}

}  // namespace
