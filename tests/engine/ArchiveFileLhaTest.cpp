// The archive component end to end with our UNLHA32.DLL (bin/archivers):
// create, list, extract, delete, self-extractor, cancel and bad input.
#include "engine/ArchiveFile.h"
#include "drivers/Lha.h"
#include "engine/FileCollector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::wstring MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EArchiver& e) {
    return e.Message();
  }
  return L"<no exception>";
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string CurrentDirectory() {
  char path[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, path);
  return path;
}

// Runs first, before anything loads UNLHA32.DLL: with the library out of
// reach, the user is told which library the kind needs.
TEST(LhaMissing, SettingTheKindNamesTheMissingLibrary) {
  ASSERT_EQ(GetModuleHandleW(L"UNLHA32.DLL"), nullptr) << "run this test first, in a fresh process";
  wchar_t path[32768];
  DWORD length = GetEnvironmentVariableW(L"PATH", path, 32768);
  SetEnvironmentVariableW(L"PATH", L"");
  TArchiveFile file;
  std::wstring message = MessageOf([&] { file.SetFileName("C:\\a.lzh"); });
  bool probe = IsLhaArchive("C:\\a.lzh");
  SetEnvironmentVariableW(L"PATH", length ? path : nullptr);
  EXPECT_EQ(message, L"LHA 形式書庫 を扱うには UNLHA32.DLL が 必要です。");
  EXPECT_FALSE(probe);
  EXPECT_TRUE(file.FileName().empty());
  EXPECT_EQ(file.ArchiverType(), atAutoDetect);
  // The binding tries again at its next loading call.
  LhaLibrary().Load();
  file.SetFileName("C:\\a.lzh");
  EXPECT_EQ(file.ArchiverType(), atLha);
}

class LhaArchive : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tavix-lha-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "src" / "sub");
    fs::create_directories(root_ / "out");
    Write("src\\a.txt", "alpha");
    Write("src\\b.txt", std::string(200000, 'b'));
    Write("src\\skip.bak", "not this");
    Write("src\\sub\\c.txt", "gamma");
    Write("src\\sub\\d.dat", "delta");
    archive_ = (root_ / "test.lzh").string();
    file_.SetOutputSize(4096);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  void Write(const std::string& name, const std::string& content) {
    std::ofstream(root_ / name, std::ios::binary) << content;
  }
  // Adds the test files: everything below src except *.bak.
  void Create() {
    file_.SetFileName(archive_);
    TArchiverOptions options;
    options.r = 1;
    options.x = 1;
    options.jx = {"*.bak"};
    ASSERT_EQ(file_.Add(nullptr, &options, (root_ / "src").string(), {"*.*"}), 0)
        << file_.OutputText();
  }
  std::vector<std::string> List() {
    std::vector<std::string> names;
    EXPECT_EQ(file_.OpenArchive(nullptr, 1), 0);
    TIndividualInfo record{};
    for (int code = file_.FindFirst("*.*", &record); code == 0; code = file_.FindNext(&record)) {
      std::string name = record.szFileName;
      std::replace(name.begin(), name.end(), '/', '\\');
      names.push_back(name);
    }
    file_.CloseArchive();
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_;
  std::string archive_;
  TArchiveFile file_;
};

using Names = std::vector<std::string>;

TEST_F(LhaArchive, CollectedFilesAreAddedListedAndExtracted) {
  std::string start = CurrentDirectory();
  Create();
  EXPECT_EQ(CurrentDirectory(), start);
  EXPECT_EQ(List(), (Names{"a.txt", "b.txt", "sub\\c.txt", "sub\\d.dat"}));

  TArchiverOptions options;
  options.x = 1;
  std::string out = (root_ / "out").string();
  ASSERT_EQ(file_.Extract(nullptr, &options, out, {}), 0) << file_.OutputText();
  EXPECT_EQ(ReadFile(root_ / "out" / "a.txt"), "alpha");
  EXPECT_EQ(ReadFile(root_ / "out" / "b.txt"), std::string(200000, 'b'));
  EXPECT_EQ(ReadFile(root_ / "out" / "sub" / "d.dat"), "delta");

  fs::path some = root_ / "some";
  fs::create_directories(some);
  std::vector<std::string> selection = {"a.txt", "sub\\c.txt"};
  ASSERT_EQ(file_.Extract(nullptr, &options, some.string(), {selection}), 0) << file_.OutputText();
  EXPECT_EQ(ReadFile(some / "sub" / "c.txt"), "gamma");
  size_t count = 0;
  for (auto& entry : fs::recursive_directory_iterator(some)) count += entry.is_regular_file();
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(file_.LastCommandLine().rfind("x -+ -x1  \"" + archive_ + "\"", 0), 0u)
      << file_.LastCommandLine();
}

TEST_F(LhaArchive, DeletedEntriesLeaveTheArchive) {
  Create();
  std::vector<std::string> gone = {"b.txt", "sub\\d.dat"};
  ASSERT_EQ(file_.Delete(nullptr, nullptr, "C:\\ignored", {gone}), 0) << file_.OutputText();
  EXPECT_EQ(file_.LastCommandLine(), "d -+  \"" + archive_ + "\" \"b.txt\" \"sub\\d.dat\" ");
  EXPECT_EQ(List(), (Names{"a.txt", "sub\\c.txt"}));
}

TEST_F(LhaArchive, SelfExtractorIsToldByItsContent) {
  Create();
  TArchiverOptions options;
  options.gw = 1;
  ASSERT_EQ(file_.MakeSfx(nullptr, &options, (root_ / "out").string()), 0) << file_.OutputText();
  fs::path exe = root_ / "out" / "test.exe";
  ASSERT_TRUE(fs::exists(exe));
  TArchiveFile other;
  other.SetFileName(exe.string());
  EXPECT_EQ(other.ArchiverType(), atLha);
  ASSERT_EQ(other.OpenArchive(nullptr, 1), 0);
  TIndividualInfo record{};
  EXPECT_EQ(other.FindFirst("*.*", &record), 0);
  other.CloseArchive();
}

TEST_F(LhaArchive, AbortInProgressStopsARunningExtraction) {
  Create();
  std::vector<int> states;
  file_.OnProgress = [&](TArchiveFile* sender, int state, LPEXTRACTINGINFOEX info, bool& abort) {
    EXPECT_EQ(sender, &file_);
    states.push_back(state);
    // Stop as soon as the first file is under way.
    if (state == ARCEXTRACT_INPROCESS || state == ARCEXTRACT_BEGIN) abort = true;
  };
  TArchiverOptions options;
  options.x = 1;
  int code = file_.Extract(nullptr, &options, (root_ / "out").string(), {});
  EXPECT_EQ(code, ERROR_USER_CANCEL);
  EXPECT_FALSE(states.empty());
  size_t count = 0;
  for (auto& entry : fs::recursive_directory_iterator(root_ / "out")) count += entry.is_regular_file();
  EXPECT_LT(count, 4u);
  EXPECT_NE(file_.LastCommandLine().find(" -n1 "), std::string::npos);
  EXPECT_FALSE(file_.Archiver()->HasOwnerWindow());
}

TEST_F(LhaArchive, ExceptionFromProgressComesOutAfterTheLibraryStopped) {
  Create();
  file_.OnProgress = [](TArchiveFile*, int, LPEXTRACTINGINFOEX, bool&) {
    throw EArchiver(L"停止");
  };
  EXPECT_EQ(MessageOf([&] { file_.Extract(nullptr, nullptr, (root_ / "out").string(), {}); }), L"停止");
  EXPECT_EQ(file_.LastCommandLine().rfind("x -+ -n1  \"" + archive_ + "\"", 0), 0u);
  // The component stays usable.
  file_.OnProgress = nullptr;
  EXPECT_EQ(file_.Extract(nullptr, nullptr, (root_ / "out").string(), {}), 0);
}

TEST_F(LhaArchive, BadDateTextFailsTheAddAndKeepsTheCurrentDirectory) {
  std::string start = CurrentDirectory();
  file_.SetFileName(archive_);
  TArchiverOptions options;
  options.jo = "20251301";
  EXPECT_THROW(file_.Add(nullptr, &options, (root_ / "src").string(), {"*.*"}), EConvertError);
  EXPECT_EQ(CurrentDirectory(), start);
  EXPECT_FALSE(fs::exists(archive_));
}

TEST_F(LhaArchive, ProbesAnswerNoForAnythingThatIsNotAnArchive) {
  Create();
  std::string lzh = ReadFile(archive_);
  Write("empty.exe", "");
  Write("cut.exe", lzh.substr(0, 30));
  Write("text.exe", "MZ but nothing else");
  fs::create_directories(root_ / "folder.exe");
  Write("locked.exe", lzh);
  HANDLE lock = CreateFileA((root_ / "locked.exe").string().c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  for (const char* name : {"empty.exe", "cut.exe", "text.exe", "folder.exe", "locked.exe",
                           "missing.exe"}) {
    TArchiveFile probe;
    std::string path = (root_ / name).string();
    EXPECT_NO_THROW(probe.SetFileName(path)) << name;
    EXPECT_EQ(probe.ArchiverType(), atAutoDetect) << name;
    EXPECT_EQ(probe.FileName(), path);
    EXPECT_EQ(MessageOf([&] { probe.OpenArchive(nullptr, 1); }), L"書庫の形式を判別できません。")
        << name;
  }
  CloseHandle(lock);
}

// A file that goes away between collecting and the library call: the library
// names it and reports the failure, and the other files are added all the same.
TEST_F(LhaArchive, FileGoneBeforeTheLibraryCallIsNamedAndTheRestIsAdded) {
  file_.SetFileName(archive_);
  bool removed = false;
  file_.OnProgress = [&](TArchiveFile*, int state, LPEXTRACTINGINFOEX info, bool&) {
    if (state == CollectProgressState && std::string(info->szSourceFileName).find("a.txt") != std::string::npos)
      removed = DeleteFileA(info->szSourceFileName) != FALSE;
  };
  TArchiverOptions options;
  options.r = 2;
  options.x = 1;
  options.jx = {"*.bak"};
  int code = file_.Add(nullptr, &options, root_.string() + "\\", {"src\\*.*"});
  ASSERT_TRUE(removed);
  EXPECT_NE(code, 0);
  EXPECT_NE(std::string(file_.OutputText()).find("a.txt"), std::string::npos) << file_.OutputText();
  EXPECT_EQ(List(), (Names{"src\\b.txt", "src\\sub\\c.txt", "src\\sub\\d.dat"}));
}

// An empty folder under an added folder becomes a folder entry (so that it
// comes back); with folder names off it is left out.
TEST_F(LhaArchive, EmptyFolderIsStoredWhenFolderNamesAre) {
  fs::create_directories(root_ / "src" / "empty");
  Create();
  Names listed = List();
  EXPECT_NE(std::find(listed.begin(), listed.end(), "empty"), listed.end()) << ::testing::PrintToString(listed);
  TArchiverOptions options;
  options.x = 1;
  ASSERT_EQ(file_.Extract(nullptr, &options, (root_ / "out").string(), {}), 0) << file_.OutputText();
  EXPECT_TRUE(fs::is_directory(root_ / "out" / "empty"));

  fs::remove(archive_);
  TArchiverOptions flat;
  flat.r = 2;
  flat.x = 0;
  ASSERT_EQ(file_.Add(nullptr, &flat, (root_ / "src").string(), {"*.*"}), 0) << file_.OutputText();
  EXPECT_EQ(List().size(), 5u);  // a, b, skip.bak, c, d: no folder
}

}  // namespace
