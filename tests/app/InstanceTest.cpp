// Several copies of the real program at once: instance counter, window
// offsets and work folders.
#include "WindowDriver.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::wstring TextOf(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

struct Instance {
  PROCESS_INFORMATION process{};
  HWND window = nullptr;
};

struct FindMain {
  DWORD process;
  HWND found = nullptr;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM data) {
  auto* find = reinterpret_cast<FindMain*>(data);
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == find->process && std::wstring(cls) == L"TTavixMain" && IsWindowVisible(window)) {
    find->found = window;
    return FALSE;
  }
  return TRUE;
}

class Instances : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempFolder(TextOf(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring bin = self;
    bin.erase(bin.rfind(L'\\'));
    program_ = folder_ + L"\\Tavix.exe";
    ASSERT_TRUE(CopyFileW((bin + L"\\Tavix.exe").c_str(), program_.c_str(), FALSE));
    ini_ = folder_ + L"\\Tavix.ini";
    workDir_ = folder_ + L"\\work";
    WritePrivateProfileStringW(L"Options", L"WorkDir", workDir_.c_str(), ini_.c_str());
  }
  // Starts the program; environment: a block for CreateProcess, or null for ours.
  Instance Launch(wchar_t* environment = nullptr, bool waitForWindow = true) {
    Instance instance;
    STARTUPINFOW startup{sizeof startup};
    std::wstring command = L"\"" + program_ + L"\"";
    EXPECT_TRUE(CreateProcessW(program_.c_str(), command.data(), nullptr, nullptr, FALSE,
                               environment ? CREATE_UNICODE_ENVIRONMENT : 0, environment, folder_.c_str(), &startup,
                               &instance.process));
    for (int i = 0; waitForWindow && i < 1000 && !instance.window; ++i) {
      FindMain find{instance.process.dwProcessId};
      EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&find));
      instance.window = find.found;
      if (!instance.window) Sleep(20);
    }
    return instance;
  }
  void Close(Instance& instance) {
    PostMessageW(instance.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(instance.process.hProcess, 20000), WAIT_OBJECT_0);
    CloseHandle(instance.process.hProcess);
    CloseHandle(instance.process.hThread);
  }
  int Running() { return static_cast<int>(GetPrivateProfileIntW(L"Work", L"HowManyOpen", -1, ini_.c_str())); }
  bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  std::wstring folder_, program_, ini_, workDir_;
};

TEST_F(Instances, ThreeInstancesCountThemselvesAndShareNothingButTheSettings) {
  Instance instances[3];
  for (int n = 0; n < 3; ++n) {
    instances[n] = Launch();
    ASSERT_NE(instances[n].window, nullptr) << n;
    EXPECT_EQ(WindowText(instances[n].window), L"LZH: Newfile.lzh");
    RECT bounds{};
    GetWindowRect(instances[n].window, &bounds);
    EXPECT_EQ(bounds.left, 110 + 10 * n) << n;
    EXPECT_EQ(bounds.top, 60 + 10 * n) << n;
    EXPECT_TRUE(Exists(workDir_ + L"\\~Tavix" + std::to_wstring(n))) << n;
  }
  EXPECT_EQ(Running(), 3);
  CreateDirectoryW((workDir_ + L"\\~TavixOld").c_str(), nullptr);
  Close(instances[1]);
  EXPECT_EQ(Running(), 2);
  EXPECT_FALSE(Exists(workDir_ + L"\\~Tavix1"));  // only its own folder goes
  EXPECT_TRUE(Exists(workDir_ + L"\\~Tavix0"));
  Close(instances[0]);
  Close(instances[2]);
  EXPECT_EQ(Running(), 0);
  // The last one out removes every work folder, old ones included.
  EXPECT_FALSE(Exists(workDir_ + L"\\~Tavix2"));
  EXPECT_FALSE(Exists(workDir_ + L"\\~TavixOld"));
  EXPECT_TRUE(Exists(workDir_));
}

TEST_F(Instances, ACountLeftByAKilledInstanceIsNotTakenForARunningOne) {
  // A killed program never takes its count back.
  CreateDirectoryW(workDir_.c_str(), nullptr);
  WritePrivateProfileStringW(L"Work", L"HowManyOpen", L"5", ini_.c_str());
  CreateDirectoryW((workDir_ + L"\\~TavixOld").c_str(), nullptr);
  Instance first = Launch();
  ASSERT_NE(first.window, nullptr);
  RECT bounds{};
  GetWindowRect(first.window, &bounds);
  EXPECT_EQ(bounds.left, 110);
  EXPECT_EQ(bounds.top, 60);
  EXPECT_EQ(Running(), 1);
  Instance second = Launch();  // a real second instance still counts
  ASSERT_NE(second.window, nullptr);
  GetWindowRect(second.window, &bounds);
  EXPECT_EQ(bounds.left, 120);
  EXPECT_EQ(Running(), 2);
  Close(first);
  EXPECT_EQ(Running(), 1);
  EXPECT_TRUE(Exists(workDir_ + L"\\~TavixOld"));
  Close(second);
  EXPECT_EQ(Running(), 0);
  EXPECT_FALSE(Exists(workDir_ + L"\\~TavixOld"));  // the last one out cleans up
}

TEST_F(Instances, AStaleWorkFolderIsSkippedAndRemovedAtTheLastClose) {
  CreateDirectoryW(workDir_.c_str(), nullptr);
  CreateDirectoryW((workDir_ + L"\\~Tavix0").c_str(), nullptr);
  WriteText(workDir_ + L"\\~Tavix0\\left.txt", "left behind");
  Instance instance = Launch();
  ASSERT_NE(instance.window, nullptr);
  EXPECT_TRUE(Exists(workDir_ + L"\\~Tavix1"));
  Close(instance);
  EXPECT_FALSE(Exists(workDir_ + L"\\~Tavix0"));
  EXPECT_FALSE(Exists(workDir_ + L"\\~Tavix1"));
}

// A message box of another process, found by its process id.
struct FindBox {
  DWORD process;
  HWND found = nullptr;
};

BOOL CALLBACK FindBoxOf(HWND window, LPARAM data) {
  auto* find = reinterpret_cast<FindBox*>(data);
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == find->process && std::wstring(cls) == L"#32770" && IsWindowVisible(window)) {
    find->found = window;
    return FALSE;
  }
  return TRUE;
}

TEST_F(Instances, StartsWithoutTheLzhLibraryAndSaysWhatIsMissing) {
  // The same environment without the folder of our archiver libraries on PATH.
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
    std::wstring text = entry;
    if (_wcsnicmp(text.c_str(), L"PATH=", 5) == 0) text = L"PATH=C:\\windows\\system32;C:\\windows";
    block += text;
    block.push_back(L'\0');
  }
  FreeEnvironmentStringsW(strings);
  block.push_back(L'\0');
  Instance instance = Launch(block.data(), false);
  FindBox box{instance.process.dwProcessId};
  for (int i = 0; i < 1500 && !box.found; ++i) {
    EnumWindows(FindBoxOf, reinterpret_cast<LPARAM>(&box));
    if (!box.found) Sleep(20);
  }
  ASSERT_NE(box.found, nullptr) << "no message about the missing library";
  wchar_t text[1024] = {};
  GetDlgItemTextW(box.found, 0xFFFF, text, 1024);
  EXPECT_NE(std::wstring(text).find(L"UNLHA32.DLL"), std::wstring::npos) << std::wstring(text);
  PostMessageW(box.found, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 1000 && !instance.window; ++i) {
    FindMain find{instance.process.dwProcessId};
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&find));
    instance.window = find.found;
    if (!instance.window) Sleep(20);
  }
  ASSERT_NE(instance.window, nullptr) << "the window did not come up";
  EXPECT_EQ(WindowText(instance.window), L"LZH: Newfile.lzh");
  EXPECT_TRUE(IsWindowEnabled(instance.window));
  EXPECT_EQ(Running(), 1);
  Close(instance);
  EXPECT_EQ(Running(), 0);
}

}  // namespace
