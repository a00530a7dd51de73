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
  Instance Launch() {
    Instance instance;
    STARTUPINFOW startup{sizeof startup};
    std::wstring command = L"\"" + program_ + L"\"";
    EXPECT_TRUE(CreateProcessW(program_.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               folder_.c_str(), &startup, &instance.process));
    for (int i = 0; i < 1000 && !instance.window; ++i) {
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

}  // namespace
