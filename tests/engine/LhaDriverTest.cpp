#include "drivers/Arj.h"
#include "drivers/DriverTable.h"
#include "drivers/Lha.h"
#include "tests/engine/SpyLibrary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const HWND Window = reinterpret_cast<HWND>(0x77);

// The command line a spy's command entry received last.
std::string SentLine(const SpyLibrary& spy, const std::string& entry) {
  auto calls = CallsTo(spy.Calls(), entry);
  if (calls.empty()) return "<nothing sent>";
  // Entry(window|command line|...): the test lines hold no "|" of their own.
  const std::string& call = calls.back();
  size_t start = call.find('|') + 1;
  return call.substr(start, call.find('|', start) - start);
}

class LhaDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    driver_ = CreateDriver<TCLHA32>();
    lha_.Reset();
  }
  std::unique_ptr<TArchiver> driver_;
  SpyLibrary lha_{(LhaLibrary(), L"UNLHA32.DLL")};
  TArchiverOptions options_;
  std::string output_ = std::string(64, '\0');
};

TEST_F(LhaDriver, DefaultExtractionIsCommandSwitchMarkerArchiveAndTwoEmptyRawItems) {
  EXPECT_EQ(driver_->Extract(nullptr, "C:\\a.lzh", options_, "", {}, false, output_), 0);
  EXPECT_EQ(SentLine(lha_, "Unlha"), "x -+  \"C:\\a.lzh\" ");
  EXPECT_EQ(driver_->LastCommandLine, "x -+  \"C:\\a.lzh\" ");
}

TEST_F(LhaDriver, EverySwitchIsWrittenInItsPlace) {
  TArchiverOptions& o = options_;
  int next = 0;
  for (TSwitch* s : {&o.a, &o.c, &o.e, &o.f, &o.h, &o.i, &o.l, &o.m, &o.n, &o.o, &o.p, &o.r, &o.s,
                     &o.t, &o.u, &o.x, &o.y, &o.z, &o.jc, &o.jd, &o.je, &o.jf, &o.jh, &o.ji, &o.jm,
                     &o.jn, &o.jp, &o.jr, &o.jsb, &o.jsc, &o.jsd, &o.jse, &o.jsf, &o.jsl, &o.jso,
                     &o.jss, &o.jst, &o.jsv, &o.jsz, &o.jw, &o.jyc, &o.jyd, &o.jyk, &o.jyn, &o.jyo,
                     &o.ga, &o.gd, &o.ge, &o.gf, &o.gj, &o.gm, &o.gn, &o.go, &o.gp, &o.gs, &o.gu,
                     &o.gw})
    *s = static_cast<TSwitch>(next++);
  o.w = "C:\\tmp";
  o.jo = "250101";
  o.job = "20251231";
  o.jx = {"*.bak"};
  o.jz = "comment";
  o.gr = "rr";
  o.UserOptions = "-userA";
  o.UserFileList = "userB";
  std::vector<std::string> names = {"f1", "sub\\f2"};
  driver_->Extract(nullptr, "C:\\a.lzh", o, "C:\\out", {names}, false, output_);
  EXPECT_EQ(SentLine(lha_, "Unlha"),
            "x -+ -a0 -c1 -e2 -f3 -h4 -i5 -l6 -m7 -n8 -o9 -p10 -r11 -s12 -t13 -u14 \"-wC:\\tmp\\\""
            " -x15 -y16 -z17 -jc18 -jd19 -je20 -jf21 -jh22 -ji23 -jm24 -jn25"
            " \"-jo250101\" \"-job20251231\""
            " -jp26 -jr27 -jsb28 -jsc29 -jsd30 -jse31 -jsf32 -jsl33 -jso34 -jss35 -jst36 -jsv37"
            " -jsz38 -jw39 \"-jx*.bak\" -jyc40 -jyd41 -jyk42 -jyn43 -jyo44 \"-jzcomment\""
            " -ga45 -gd46 -ge47 -gf48 -gj49 -gm50 -gn51 -go52 -gp53 \"-grrr\" -gs54 -gu55 -gw56"
            " -userA \"C:\\a.lzh\" \"C:\\out\\\" \"f1\" \"sub\\f2\" userB");
}

TEST_F(LhaDriver, OwnerWindowForcesProgressSwitchWhateverTheOption) {
  struct Case {
    bool owner;
    TSwitch n;
    const char* expected;
  } cases[] = {
      {false, -1, "x -+  \"a.lzh\" "},
      {false, 0, "x -+ -n0  \"a.lzh\" "},
      {true, 0, "x -+ -n1  \"a.lzh\" "},
      {true, -1, "x -+ -n1  \"a.lzh\" "},
      {true, 2, "x -+ -n1  \"a.lzh\" "},
  };
  for (const auto& c : cases) {
    options_.n = c.n;
    if (c.owner) {
      EXPECT_TRUE(driver_->SetOwnerWindow(Window));
    }
    driver_->Extract(nullptr, "a.lzh", options_, "", {}, false, output_);
    EXPECT_EQ(driver_->LastCommandLine, c.expected);
    if (c.owner) {
      EXPECT_TRUE(driver_->KillOwnerWindow(Window));
    }
  }
  auto calls = lha_.Calls();
  EXPECT_EQ(CallsTo(calls, "UnlhaSetOwnerWindowEx").size(), 3u);
  EXPECT_EQ(CallsTo(calls, "UnlhaKillOwnerWindowEx").size(), 3u);
  EXPECT_NE(CallsTo(calls, "UnlhaSetOwnerWindowEx")[0].find(PointerText(Window) + "|" + PointerText(nullptr)),
            std::string::npos);
}

TEST_F(LhaDriver, ExclusionsAreSeparateQuotedWordsBetweenJwAndJyc) {
  options_.jw = 1;
  options_.jyc = 1;
  options_.jx = {"*.bak", "a b\\*", "~*"};
  driver_->Extract(nullptr, "a.lzh", options_, "", {}, false, output_);
  EXPECT_EQ(driver_->LastCommandLine,
            "x -+ -jw1 \"-jx*.bak\" \"-jxa b\\*\" \"-jx~*\" -jyc1  \"a.lzh\" ");
}

TEST_F(LhaDriver, CommandWordsAndTargets) {
  std::vector<std::string> names = {"n1"};
  BYTE buffer[8];
  DWORD written = 0;
  struct Case {
    std::function<void()> call;
    std::string entry, line;
  } cases[] = {
      {[&] { driver_->Add(nullptr, "a.lzh", options_, "C:\\base", {names}, false, output_); },
       "Unlha", "u -+  \"a.lzh\" \"C:\\base\\\" \"n1\" "},
      {[&] { driver_->Delete(nullptr, "a.lzh", options_, "C:\\base", {names}, false, output_); },
       "Unlha", "d -+  \"a.lzh\" \"n1\" "},
      {[&] { driver_->Update(nullptr, "a.lzh", options_, "C:\\base", {names}, false, output_); },
       "Unlha", "f -+  \"a.lzh\" \"C:\\base\\\" \"n1\" "},
      {[&] { driver_->MakeSfx(nullptr, "a.lzh", options_, "C:\\sfx", output_); }, "Unlha",
       "s -+  \"a.lzh\" \"C:\\sfx\\\" "},
      {[&] { driver_->ExtractMem(nullptr, "a.lzh", options_, "doc.txt", buffer, 8, &written); },
       "UnlhaExtractMem", " -+  \"a.lzh\" \"doc.txt\" "},
  };
  for (const auto& c : cases) {
    lha_.Reset();
    c.call();
    EXPECT_EQ(SentLine(lha_, c.entry), c.line);
    EXPECT_EQ(driver_->LastCommandLine, c.line);
  }
  // Memory extraction hands no time or attribute pointers.
  EXPECT_NE(lha_.Calls().back().find("|8|" + PointerText(nullptr) + "|" + PointerText(nullptr) + ")"), std::string::npos)
      << lha_.Calls().back();
}

TEST_F(LhaDriver, ResponseFileTakesTheNamesWhenAsked) {
  fs::path list = fs::temp_directory_path() / "tavix-lha-res.txt";
  options_.ResFileName = list.string();
  std::vector<std::string> names = {"a.txt", "\x93\xfa\x96\x7b\x8c\xea.txt"};  // 日本語 in CP932
  driver_->Add(nullptr, "a.lzh", options_, "", {names}, true, output_);
  EXPECT_EQ(SentLine(lha_, "Unlha"), "u -+  \"a.lzh\" \"@" + list.string() + "\" ");
  std::ifstream in(list, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "\"a.txt\"\r\n\"\x93\xfa\x96\x7b\x8c\xea.txt\"\r\n");
  in.close();
  fs::remove(list);
  // Without the flag the names stay on the line even though a file is named.
  driver_->Add(nullptr, "a.lzh", options_, "", {names}, false, output_);
  EXPECT_EQ(SentLine(lha_, "Unlha"), "u -+  \"a.lzh\" \"a.txt\" \"\x93\xfa\x96\x7b\x8c\xea.txt\" ");
  EXPECT_FALSE(fs::exists(list));
}

TEST_F(LhaDriver, LibraryResultAndOutputPassThrough) {
  lha_.SetResult(0x8005, "oops");
  EXPECT_EQ(driver_->Extract(Window, "a.lzh", options_, "", {}, false, output_), 0x8005);
  EXPECT_STREQ(output_.c_str(), "oops");
  std::string none;
  driver_->Extract(Window, "a.lzh", options_, "", {}, false, none);
  EXPECT_NE(lha_.Calls().back().find("|null|0)"), std::string::npos);
  EXPECT_EQ(lha_.Calls().back().rfind("Unlha(" + PointerText(Window) + "|", 0), 0u);
}

TEST_F(LhaDriver, ListingOpensTheFullPath) {
  fs::path cwd = fs::current_path();
  fs::current_path(fs::temp_directory_path());
  HARC handle = driver_->OpenArchive(nullptr, "rel.lzh", 1);
  fs::current_path(cwd);
  EXPECT_NE(handle, nullptr);
  std::string expected = (fs::temp_directory_path() / "rel.lzh").string();
  auto open = CallsTo(lha_.Calls(), "UnlhaOpenArchive");
  ASSERT_EQ(open.size(), 1u);
  EXPECT_NE(open[0].find("|" + expected + "|1)"), std::string::npos) << open[0];
  EXPECT_TRUE(driver_->CheckArchive("x.lzh", 1, 16));
  EXPECT_EQ(CallsTo(lha_.Calls(), "UnlhaCheckArchive")[0], "UnlhaCheckArchive(x.lzh|17)");
}

class ArjDriver : public LhaDriver {
 protected:
  void SetUp() override {
    LhaDriver::SetUp();
    arjDriver_ = CreateDriver<TCARJ32>();
    arj_.Reset();
  }
  std::unique_ptr<TArchiver> arjDriver_;
  SpyLibrary arj_{(ArjLibrary(), L"UNARJ32.DLL")};
};

TEST_F(ArjDriver, ExtractionLineIsTheLhaLineSentToTheArjLibrary) {
  options_.a = 1;
  options_.jx = {"*.bak"};
  std::vector<std::string> names = {"f1"};
  arjDriver_->SetOwnerWindow(Window);
  driver_->SetOwnerWindow(Window);
  arjDriver_->Extract(nullptr, "C:\\a.arj", options_, "C:\\out", {names}, false, output_);
  driver_->Extract(nullptr, "C:\\a.arj", options_, "C:\\out", {names}, false, output_);
  EXPECT_EQ(SentLine(arj_, "Arj"), SentLine(lha_, "Unlha"));
  EXPECT_EQ(SentLine(arj_, "Arj"), "x -+ -a1 -n1 \"-jx*.bak\"  \"C:\\a.arj\" \"C:\\out\\\" \"f1\" ");
  EXPECT_EQ(CallsTo(arj_.Calls(), "ArjSetOwnerWindowEx").size(), 1u);
  EXPECT_EQ(CallsTo(lha_.Calls(), "UnlhaSetOwnerWindowEx").size(), 1u);
}

TEST_F(ArjDriver, WritingOperationsAreRefusedAndReachNoLibrary) {
  std::vector<std::string> names = {"f1"};
  struct Case {
    std::function<void()> call;
    std::wstring message;
  } cases[] = {
      {[&] { arjDriver_->Add(nullptr, "a.arj", options_, "", {names}, false, output_); },
       L"この形式では書庫ファイルの作成をサポートしておりません。"},
      {[&] { arjDriver_->Delete(nullptr, "a.arj", options_, "", {names}, false, output_); },
       L"この形式の書庫ではファイルの削除をサポートしておりません。"},
      {[&] { arjDriver_->Update(nullptr, "a.arj", options_, "", {names}, false, output_); },
       L"この形式の書庫では書庫の更新をサポートしておりません。"},
      {[&] { arjDriver_->MakeSfx(nullptr, "a.arj", options_, "", output_); },
       L"この形式では自己解凍書庫の作成をサポートしておりません。"},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no exception";
    } catch (const EArchiver& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
  EXPECT_TRUE(lha_.Calls().empty());
  EXPECT_TRUE(arj_.Calls().empty());
  EXPECT_TRUE(arjDriver_->LastCommandLine.empty());
}

TEST_F(ArjDriver, MemoryExtractionAndListingUseTheArjLibrary) {
  arj_.AddEntry("in.txt", 0x5A21, 0);
  BYTE buffer[4];
  DWORD written = 0;
  arjDriver_->ExtractMem(nullptr, "a.arj", options_, "in.txt", buffer, 4, &written);
  HARC handle = arjDriver_->OpenArchive(nullptr, "C:\\a.arj", 1);
  TIndividualInfo record{};
  EXPECT_EQ(arjDriver_->FindFirst(handle, "*.*", &record), 0);
  EXPECT_STREQ(record.szFileName, "in.txt");
  EXPECT_EQ(arjDriver_->FindNext(handle, &record), -1);
  arjDriver_->CloseArchive(handle);
  EXPECT_EQ(SentLine(arj_, "ArjExtractMem"), " -+  \"a.arj\" \"in.txt\" ");
  EXPECT_TRUE(lha_.Calls().empty());
}

// A file on disk for the probes (the spies answer for any content).
struct ProbeFile {
  fs::path path = fs::temp_directory_path() / "tavix-probe.bin";
  ProbeFile() { std::ofstream(path, std::ios::binary) << "content"; }
  ~ProbeFile() { fs::remove(path); }
};

TEST_F(ArjDriver, ProbesAskTheirLibrariesAndTheLastYesWins) {
  ProbeFile file;
  std::string full = file.path.string();
  EXPECT_TRUE(IsLhaArchive(full));
  std::vector<std::string> expected = {
      "UnlhaCheckArchive(" + full + "|16)", "UnlhaOpenArchive(" + PointerText(nullptr) + "|" + full + "|8388610)",
      "UnlhaCloseArchive(" + PointerText(0x5150) + ")"};
  EXPECT_EQ(lha_.Calls(), expected);
  EXPECT_TRUE(IsArjArchive(full));
  EXPECT_EQ(CallsTo(arj_.Calls(), "ArjCheckArchive").size(), 0u);
  // Both say yes: LHA runs last and wins; LHA says no: ARJ.
  EXPECT_EQ(ArchiveKindFromContent(full), atLha);
  lha_.SetResult(1);
  EXPECT_EQ(ArchiveKindFromContent(full), atArj);
  arj_.SetResult(1);
  EXPECT_EQ(ArchiveKindFromContent(full), atNone);
}

TEST_F(ArjDriver, ProbesNeverHandAFolderOrAMissingFileToALibrary) {
  for (const fs::path& p : {fs::temp_directory_path(), fs::temp_directory_path() / "no-such.lzh"}) {
    lha_.Reset();
    arj_.Reset();
    EXPECT_FALSE(IsLhaArchive(p.string()));
    EXPECT_FALSE(IsArjArchive(p.string()));
    EXPECT_EQ(ArchiveKindFromContent(p.string()), atNone);
    EXPECT_TRUE(CallsTo(lha_.Calls(), "UnlhaCheckArchive").empty());
    EXPECT_TRUE(CallsTo(arj_.Calls(), "ArjOpenArchive").empty());
  }
}

TEST(DriverTable, KindsWithoutADriverFailCleanly) {
  for (TArchiverType kind : {atYz1, atGCA, atBel, atNone, atAutoDetect})
    EXPECT_THROW(CreateArchiver(kind), EArchiver);
  EXPECT_NE(CreateArchiver(atLha), nullptr);
  EXPECT_NE(CreateArchiver(atArj), nullptr);
}

}  // namespace
