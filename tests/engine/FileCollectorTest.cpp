#include "engine/FileCollector.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string CurrentDirectory() {
  char path[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, path);
  return path;
}

// A real folder tree in the temporary folder, removed afterwards.
class Collector : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = (fs::temp_directory_path() / ("tavix-collect-" + std::to_string(GetCurrentProcessId())))
                .string();
    fs::remove_all(root_);
    fs::create_directories(root_ + "\\sub\\deeper");
    fs::create_directories(root_ + "\\hid");
    for (const char* name : {"a.txt", "B.txt", "c.dat", "sub\\d.txt", "sub\\a.txt",
                             "sub\\deeper\\e.txt", "sub\\deeper\\f.dat", "hid\\g.txt"})
      Make(name);
    Make("hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    Make("system.txt", FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesA((root_ + "\\hid").c_str(), FILE_ATTRIBUTE_HIDDEN);
    start_ = original_ = CurrentDirectory();
  }
  void TearDown() override {
    SetCurrentDirectoryA(original_.c_str());
    for (const char* name : {"hidden.txt", "system.txt", "hid"})
      SetFileAttributesA((root_ + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  void Make(const std::string& name, DWORD attributes = 0) {
    std::ofstream(root_ + "\\" + name) << name;
    if (attributes) SetFileAttributesA((root_ + "\\" + name).c_str(), attributes);
  }
  // Last-write time given in local time.
  void Stamp(const std::string& name, WORD year, WORD month, WORD day, WORD hour, WORD minute,
             WORD second, WORD milliseconds = 0) {
    SYSTEMTIME local{year, month, 0, day, hour, minute, second, milliseconds};
    FILETIME localTime, utc;
    ASSERT_TRUE(SystemTimeToFileTime(&local, &localTime));
    ASSERT_TRUE(LocalFileTimeToFileTime(&localTime, &utc));
    HANDLE file = CreateFileA((root_ + "\\" + name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFileTime(file, nullptr, nullptr, &utc);
    CloseHandle(file);
  }
  std::vector<std::string> Collect(TArchiverOptions& options, const TNameList& files,
                                   const std::string& base = "") {
    bool cancel = false;
    auto result = CollectFiles(options, base.empty() ? root_ : base, files, cancel, {});
    EXPECT_FALSE(cancel);
    EXPECT_EQ(CurrentDirectory(), start_);
    return result;
  }

  std::string root_, start_, original_;
  TArchiverOptions options_;
};

using Names = std::vector<std::string>;

TEST_F(Collector, EmptyListCollectsTheVisibleFilesOfTheFolder) {
  SetCurrentDirectoryA(root_.c_str());
  start_ = CurrentDirectory();
  bool cancel = false;
  EXPECT_EQ(CollectFiles(options_, "", {}, cancel, {}), (Names{"a.txt", "B.txt", "c.dat"}));
  TArchiverOptions withHidden;
  withHidden.a = 1;
  EXPECT_EQ(CollectFiles(withHidden, "", {}, cancel, {}),
            (Names{"a.txt", "B.txt", "c.dat", "hidden.txt", "system.txt"}));
  // An empty name is a source that matches nothing: no fallback to everything.
  std::vector<std::string> empty = {""};
  EXPECT_TRUE(CollectFiles(options_, "", {empty}, cancel, {}).empty());
}

TEST_F(Collector, RecursionRules) {
  struct Case {
    TSwitch r, p;
    std::string source;
    Names expected;
  } cases[] = {
      {-1, -1, "*.txt", {"a.txt", "B.txt"}},
      {1, -1, "*.txt",
       {"a.txt", "B.txt", "hid\\g.txt", "sub\\a.txt", "sub\\d.txt", "sub\\deeper\\e.txt"}},
      {1, 1, "*.txt",
       {"a.txt", "B.txt", "hid\\g.txt", "sub\\a.txt", "sub\\d.txt", "sub\\deeper\\e.txt"}},
      {1, 1, "a.txt", {"a.txt"}},
      {1, -1, "a.txt", {"a.txt", "sub\\a.txt"}},
      {1, -1, "sub\\*.dat", {"sub\\deeper\\f.dat"}},
      {2, -1, "sub", {"sub\\a.txt", "sub\\d.txt", "sub\\deeper\\e.txt", "sub\\deeper\\f.dat"}},
      {1, -1, "sub", {}},
  };
  for (const auto& c : cases) {
    TArchiverOptions o;
    o.r = c.r;
    o.p = c.p;
    EXPECT_EQ(Collect(o, {c.source}), c.expected) << c.source << " r" << int(c.r) << " p" << int(c.p);
    EXPECT_EQ(o.r, -1);
    EXPECT_EQ(o.p, 1);
  }
}

TEST_F(Collector, AbsolutePatternsAndPathsRelativeToTheBase) {
  options_.r = 1;
  std::string pattern = root_ + "\\sub\\*.txt";
  EXPECT_EQ(Collect(options_, {pattern}),
            (Names{root_ + "\\sub\\a.txt", root_ + "\\sub\\d.txt", root_ + "\\sub\\deeper\\e.txt"}));
  TArchiverOptions relative;
  relative.r = 1;
  relative.jf = -2;
  EXPECT_EQ(Collect(relative, {pattern}), (Names{"sub\\a.txt", "sub\\d.txt", "sub\\deeper\\e.txt"}));
}

TEST_F(Collector, DateWindowKeepsWholeDaysAtBothEnds) {
  Stamp("a.txt", 2024, 12, 31, 23, 59, 59, 900);
  Stamp("B.txt", 2025, 1, 1, 0, 0, 0);
  Stamp("c.dat", 2025, 12, 31, 23, 59, 59, 500);
  Make("z.txt");
  Stamp("z.txt", 2026, 1, 1, 0, 0, 0);
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::string century = std::to_string(now.wYear / 100);
  ASSERT_EQ(century, "20");  // the six-digit form below is read in this century
  struct Case {
    std::string jo, job;
    Names expected;
  } cases[] = {
      {"250101", "20251231", {"B.txt", "c.dat"}},
      {"l250101", "l20251231", {"B.txt", "c.dat"}},
      {"20250101000001", "", {"c.dat", "z.txt"}},
      {"", "241231235959", {"a.txt"}},
      {"", "20241231", {"a.txt"}},
      {"2501011", "", {"a.txt", "B.txt", "c.dat", "z.txt"}},  // 7 digits: no bound
  };
  for (const auto& c : cases) {
    TArchiverOptions o;
    o.jo = c.jo;
    o.job = c.job;
    EXPECT_EQ(Collect(o, {"*.*"}), c.expected) << c.jo << ".." << c.job;
    EXPECT_TRUE(o.jo.empty());
    EXPECT_TRUE(o.job.empty());
  }
}

TEST_F(Collector, BadDateTextFailsAndLeavesTheCurrentDirectory) {
  for (const char* bad : {"25x101", "251301", "20250230", "250101240000", "2025013100:000", "l2501O1"}) {
    TArchiverOptions o;
    o.job = bad;
    bool cancel = false;
    EXPECT_THROW(CollectFiles(o, root_, {"*.*"}, cancel, {}), EConvertError) << bad;
    EXPECT_EQ(CurrentDirectory(), start_);
  }
  try {
    DateTextToLocalTime("251301", "000000");
    FAIL() << "month 13 was taken";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"日付の指定 '251301' は正しい日付ではありません。");
  }
}

TEST_F(Collector, MissingBaseFolderIsAnErrorNotAnotherFolder) {
  bool cancel = false;
  EXPECT_THROW(CollectFiles(options_, root_ + "\\nothere", {"*.*"}, cancel, {}), EArchiver);
  EXPECT_EQ(CurrentDirectory(), start_);
}

TEST_F(Collector, ExclusionsAndDuplicatesIgnoreCase) {
  options_.r = 1;
  options_.jx = {"SUB\\A.TXT", "*.DAT"};
  std::vector<std::string> sources = {"*.txt", "sub\\*.*", "A.TXT", "b.txt"};
  EXPECT_EQ(Collect(options_, {sources}),
            (Names{"a.txt", "B.txt", "hid\\g.txt", "sub\\d.txt", "sub\\deeper\\e.txt"}));
}

TEST_F(Collector, EachNewFileIsReportedOnceAndAbortStopsTheSearch) {
  std::vector<std::string> reported;
  TCollectProgress progress = [&](int state, LPEXTRACTINGINFOEX record, bool& abort) {
    EXPECT_EQ(state, 2053);
    reported.push_back(record->szSourceFileName);
  };
  bool cancel = false;
  std::vector<std::string> sources = {"a.txt", "*.txt", "A.txt"};
  EXPECT_EQ(CollectFiles(options_, root_, {sources}, cancel, progress), (Names{"a.txt", "B.txt"}));
  EXPECT_EQ(reported, (Names{"a.txt", "B.txt"}));
  EXPECT_FALSE(cancel);

  reported.clear();
  TArchiverOptions o;
  o.r = 1;
  progress = [&](int, LPEXTRACTINGINFOEX record, bool& abort) {
    reported.push_back(record->szSourceFileName);
    abort = reported.size() == 2;
  };
  CollectFiles(o, root_, {"*.*", "sub\\*.*"}, cancel, progress);
  EXPECT_TRUE(cancel);
  EXPECT_EQ(reported.size(), 2u);
  EXPECT_EQ(CurrentDirectory(), start_);
}

// A name the caller marked "-gb" is that file, whatever it begins with; the
// mark is not part of the name and makes no pattern.
TEST_F(Collector, MarkedNamesAreLookedUpWithoutTheirMark) {
  Make("-x.txt");
  Make("@list");
  Make("sub\\-y.txt");
  EXPECT_EQ(Collect(options_, {"-gb-x.txt", "-GB@list", "-gbsub\\-y.txt", "-gb*.txt", "-gbnone"}),
            (Names{"@list", "sub\\-y.txt", "-x.txt"}));  // the system's order skips "-"
  EXPECT_EQ(Collect(options_, {"-x.txt", "@list"}), (Names{"@list", "-x.txt"}))
      << "unmarked names are found as they are";
}

// Folders deeper than MAX_PATH characters are searched like any other.
TEST_F(Collector, FilesBeyondMaxPathAreFound) {
  std::wstring deep = L"\\\\?\\" + std::wstring(root_.begin(), root_.end());
  std::string relative;
  for (int level = 0; level < 6; ++level) {
    std::string part(60, static_cast<char>('k' + level));
    deep += L"\\" + std::wstring(part.begin(), part.end());
    relative += part + "\\";
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  }
  HANDLE file = CreateFileW((deep + L"\\far.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  ASSERT_GT(root_.size() + relative.size(), static_cast<size_t>(MAX_PATH));
  options_.r = 1;
  Names found = Collect(options_, {"far.txt"});
  EXPECT_EQ(found, (Names{relative + "far.txt"}));
  options_.r = 2;
  found = Collect(options_, {relative.substr(0, relative.size() - 1)});
  EXPECT_EQ(found, (Names{relative + "far.txt"}));
  // The tree is too deep for the clean-up's own path handling.
  DeleteFileW((deep + L"\\far.txt").c_str());
  for (int level = 0; level < 6; ++level) {
    RemoveDirectoryW(deep.c_str());
    deep.resize(deep.rfind(L'\\'));
  }
}

}  // namespace
