// The archive component against the spy libraries: kind rules, driver
// choice, the add steps and the progress hook.
#include "engine/ArchiveFile.h"
#include "drivers/Arj.h"
#include "drivers/Lha.h"
#include "tests/engine/SpyLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

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

TEST(ArchiveKind, FromTheExtensionOfTheFileName) {
  struct Case {
    const char* name;
    TArchiverType kind;
  } cases[] = {
      {"a.lzh", atLha},  {"A.LZH", atLha},       {"x.zip", atZip},     {"x.Cab", atCab},
      {"x.arj", atArj},  {"x.rar", atRar},       {"x.gza", atBga},     {"x.BZA", atBga},
      {"x.gca", atGCA},  {"x.bz2", atBZ2},       {"x.a", atTar},       {"x.lib", atTar},
      {"x.tar", atTar},  {"x.deb", atTar},       {"x.rpm", atTar},     {"x.cpio", atTar},
      {"x.z", atTgz},    {"x.GZ", atTgz},        {"x.tgz", atTgz},     {"x.taz", atTgz},
      {"x.exe", atAutoDetect}, {"x.txt", atNone}, {"lzh", atNone},    {"C:\\d.lzh\\file", atNone},
      {"x.tar.gz", atTgz}, {"x.lzh.bak", atNone},
      {"\x95\x5c.lzh", atLha},  // 表 ends in byte 0x5C
  };
  for (const auto& c : cases) EXPECT_EQ(ArchiveKindFromExtension(c.name), c.kind) << c.name;
}

class Component : public ::testing::Test {
 protected:
  void SetUp() override {
    lha_.Reset();
    arj_.Reset();
    folder_ = fs::temp_directory_path() / ("tavix-component-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "files");
    file_.SetOutputSize(32);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string Make(const std::string& name) {
    std::ofstream(folder_ / name) << name;
    return (folder_ / name).string();
  }
  std::vector<std::string> Commands() { return CallsTo(lha_.Calls(), "Unlha"); }

  SpyLibrary lha_{(LhaLibrary(), L"UNLHA32.DLL")};
  SpyLibrary arj_{(ArjLibrary(), L"UNARJ32.DLL")};
  fs::path folder_;
  TArchiveFile file_;
};

TEST_F(Component, KindFollowsTheFileNameAndUnknownNamesChangeNothing) {
  EXPECT_EQ(file_.ArchiverType(), atAutoDetect);
  EXPECT_EQ(file_.Archiver(), nullptr);
  file_.SetFileName("C:\\A.LZH");
  EXPECT_EQ(file_.ArchiverType(), atLha);
  TArchiver* lha = file_.Archiver();
  EXPECT_NE(dynamic_cast<TCLHA32*>(lha), nullptr);
  file_.SetFileName("C:\\notes.txt");
  EXPECT_EQ(file_.ArchiverType(), atLha);
  EXPECT_EQ(file_.Archiver(), lha);
  EXPECT_EQ(file_.FileName(), "C:\\notes.txt");
  EXPECT_EQ(MessageOf([&] { file_.SetFileName("C:\\x.gca"); }), L"書庫の形式を特定できませんでした。");
  EXPECT_EQ(file_.FileName(), "C:\\notes.txt");
  EXPECT_EQ(file_.ArchiverType(), atLha);
  file_.SetFileName("C:\\x.arj");
  EXPECT_NE(dynamic_cast<TCARJ32*>(file_.Archiver()), nullptr);
}

TEST_F(Component, UnsupportedKindsAreRefusedUnlessRestoredOrDesigned) {
  for (TArchiverType kind : {atYz1, atGCA, atBel})
    EXPECT_EQ(MessageOf([&] { file_.SetArchiverType(kind); }), L"書庫の形式を特定できませんでした。");
  EXPECT_EQ(file_.ArchiverType(), atAutoDetect);
  file_.Loading = true;
  file_.SetArchiverType(atBel);
  EXPECT_EQ(file_.ArchiverType(), atBel);
  file_.Loading = false;
  file_.Designing = true;
  file_.SetArchiverType(atLha);
  EXPECT_EQ(file_.ArchiverType(), atLha);
  EXPECT_EQ(file_.Archiver(), nullptr);
  file_.Designing = false;
  file_.SetArchiverType(atNone);
  EXPECT_EQ(file_.ArchiverType(), atLha);
}

TEST_F(Component, ContentDecidesForSelfExtractorsAndTheLastYesWins) {
  std::string exe = Make("setup.exe");
  file_.SetFileName(exe);  // both spies accept it
  EXPECT_EQ(file_.ArchiverType(), atLha);
  lha_.SetResult(1);  // LHA says no
  file_.SetFileName(exe);
  EXPECT_EQ(file_.ArchiverType(), atArj);
}

TEST_F(Component, NoProbeAcceptsTheFile) {
  std::string other = Make("other.dat");
  lha_.SetResult(1);
  arj_.SetResult(1);
  file_.SetFileName(other);
  EXPECT_EQ(file_.ArchiverType(), atAutoDetect);
  lha_.Reset();
  arj_.Reset();
  lha_.SetResult(1);
  arj_.SetResult(1);
  EXPECT_EQ(MessageOf([&] { file_.OpenArchive(nullptr, 1); }), L"書庫の形式を判別できません。");
  // The kind was asked of the content: both probes saw the file.
  for (const SpyLibrary* spy : {&lha_, &arj_}) {
    auto calls = spy->Calls();
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(),
                            [&](const std::string& call) { return call.find(other) != std::string::npos; }))
        << "no probe reached the library";
  }
  EXPECT_EQ(MessageOf([&] { file_.Extract(nullptr, nullptr, "", {}); }), L"書庫の形式を判別できません。");
  EXPECT_EQ(MessageOf([&] { file_.MakeSfx(nullptr, nullptr, ""); }), L"書庫の形式を判別できません。");
  EXPECT_TRUE(file_.LastCommandLine().empty());
  // A component that has a driver keeps it.
  file_.SetArchiverType(atLha);
  file_.SetArchiverType(atAutoDetect);
  EXPECT_EQ(file_.OpenArchive(nullptr, 1), 1);  // the spy refuses to open
  EXPECT_EQ(file_.ArchiverType(), atAutoDetect);
  EXPECT_EQ(CallsTo(lha_.Calls(), "UnlhaOpenArchive").size(), 1u);
}

TEST_F(Component, AddCollectsTheFilesAndHandsTheLibraryTheExactList) {
  Make("files\\b.txt");
  Make("files\\A.txt");
  Make("files\\skip.bak");
  std::string base = (folder_ / "files").string();
  file_.SetFileName("C:\\new.lzh");
  TArchiverOptions& o = file_.Options();
  o.r = 1;
  o.jo = "19800101";
  o.jx = {"*.bak"};
  EXPECT_EQ(file_.Add(nullptr, nullptr, base, {"*.*"}), 0);
  std::string expected = "u -+ -p1  \"C:\\new.lzh\" \"" + base + "\\\" \"A.txt\" \"b.txt\" ";
  ASSERT_EQ(Commands().size(), 1u);
  EXPECT_EQ(file_.LastCommandLine(), expected);
  // The component's own options are left as they were.
  EXPECT_EQ(o.r, 1);
  EXPECT_EQ(o.jx.size(), 1u);
}

TEST_F(Component, AddThatFindsNothingOrIsCancelledCallsNoLibrary) {
  lha_.SetResult(0, "old output");
  file_.SetFileName("C:\\new.lzh");
  file_.Extract(nullptr, nullptr, "", {});
  EXPECT_STREQ(file_.OutputText(), "old output");
  lha_.Reset();
  std::string base = (folder_ / "files").string();
  EXPECT_EQ(file_.Add(nullptr, nullptr, base, {"*.none"}), 0);
  EXPECT_STREQ(file_.OutputText(), "");

  Make("files\\a.txt");
  Make("files\\b.txt");
  int reports = 0;
  file_.OnProgress = [&](TArchiveFile* sender, int state, LPEXTRACTINGINFOEX, bool& abort) {
    EXPECT_EQ(sender, &file_);
    EXPECT_EQ(state, 2053);
    abort = ++reports == 1;
  };
  EXPECT_EQ(file_.Add(nullptr, nullptr, base, {"*.txt"}), 0x8020);
  EXPECT_EQ(reports, 1);
  EXPECT_TRUE(Commands().empty());
}

TEST_F(Component, ArchiverPackFilterLeavesTheNamesToTheLibrary) {
  file_.SetFileName("C:\\new.lzh");
  file_.Options().PackFilter = pfArchiver;
  file_.Options().r = 1;
  EXPECT_EQ(file_.Add(nullptr, nullptr, "C:\\src", {"*.txt"}), 0);
  EXPECT_EQ(file_.LastCommandLine(), "u -+ -r1  \"C:\\new.lzh\" \"C:\\src\\\" \"*.txt\" ");
}

// Our own hidden progress window: other test programs running beside this one
// have theirs among the message-only windows too.
HWND OwnProgressWindow() {
  HWND window = nullptr;
  while ((window = FindWindowExW(HWND_MESSAGE, window, L"TavixArchiveProgress", nullptr)) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) return window;
  }
  return nullptr;
}

TEST_F(Component, ProgressWindowOnlyWhileSomeoneListens) {
  file_.SetFileName("C:\\a.lzh");
  file_.Extract(nullptr, nullptr, "C:\\out", {});
  EXPECT_TRUE(CallsTo(lha_.Calls(), "UnlhaSetOwnerWindowEx").empty());
  EXPECT_EQ(OwnProgressWindow(), nullptr);
  EXPECT_EQ(file_.LastCommandLine(), "x -+  \"C:\\a.lzh\" \"C:\\out\\\" ");

  file_.OnProgress = [](TArchiveFile*, int, LPEXTRACTINGINFOEX, bool&) {};
  lha_.Reset();
  file_.Extract(nullptr, nullptr, "C:\\out", {});
  EXPECT_EQ(file_.LastCommandLine(), "x -+ -n1  \"C:\\a.lzh\" \"C:\\out\\\" ");
  auto set = CallsTo(lha_.Calls(), "UnlhaSetOwnerWindowEx");
  auto kill = CallsTo(lha_.Calls(), "UnlhaKillOwnerWindowEx");
  ASSERT_EQ(set.size(), 1u);
  ASSERT_EQ(kill.size(), 1u);
  HWND hidden = OwnProgressWindow();
  ASSERT_NE(hidden, nullptr);
  EXPECT_FALSE(IsWindowVisible(hidden));
  std::string text = PointerText(hidden);
  EXPECT_EQ(set[0], "UnlhaSetOwnerWindowEx(" + text + "|" + PointerText(nullptr) + ")");
  EXPECT_EQ(kill[0], "UnlhaKillOwnerWindowEx(" + text + ")");
  EXPECT_FALSE(file_.Archiver()->HasOwnerWindow());
}

TEST_F(Component, OutputSizeZeroGivesTheLibraryNoBuffer) {
  file_.SetOutputSize(0);
  EXPECT_EQ(file_.OutputSize(), 0);
  file_.SetFileName("C:\\a.lzh");
  file_.Extract(nullptr, nullptr, "", {});
  EXPECT_NE(Commands().back().find("|null|0)"), std::string::npos) << Commands().back();
  file_.SetOutputSize(100);
  file_.Extract(nullptr, nullptr, "", {});
  EXPECT_NE(Commands().back().find("|buf|100)"), std::string::npos) << Commands().back();
}

TEST_F(Component, ArjArchivesAreReadOnly) {
  file_.SetFileName("C:\\a.arj");
  std::vector<std::string> names = {"x"};
  EXPECT_EQ(MessageOf([&] { file_.Delete(nullptr, nullptr, "", {names}); }),
            L"この形式の書庫ではファイルの削除をサポートしておりません。");
  Make("files\\a.txt");
  EXPECT_EQ(MessageOf([&] { file_.Add(nullptr, nullptr, (folder_ / "files").string(), {}); }),
            L"この形式では書庫ファイルの作成をサポートしておりません。");
  EXPECT_TRUE(lha_.Calls().empty());
  EXPECT_TRUE(CallsTo(arj_.Calls(), "Arj").empty());
}

}  // namespace
