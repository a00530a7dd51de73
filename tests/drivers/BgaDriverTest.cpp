// The BGA driver through a spy BGA32.DLL.
#include "drivers/Bga.h"
#include "tests/drivers/DriverTestSupport.h"

namespace {

class BgaDriver : public ::testing::Test {
 protected:
  void SetUp() override { bga.Reset(); }
  std::unique_ptr<TArchiver> driver = CreateDriver<TBGA32>();
  SpyLibrary bga{L"BGA32.DLL"};
  std::string output;
};

TEST_F(BgaDriver, SwitchesFollowTheirOptionsWithExactlyOneOfOAndN) {
  struct Case {
    const char* name;
    OptionSetter set;
    const char* switches;
  } const cases[] = {
      {"all unset", nullptr, " -n -j "},
      {"a 1", [](auto& o) { o.a = 1; }, " -a -n -j "},
      {"a 0", [](auto& o) { o.a = 0; }, " -n -j "},
      {"c 1 overwrites", [](auto& o) { o.c = 1; }, " -o -j "},
      {"c 0", [](auto& o) { o.c = 0; }, " -n -j "},
      {"n 1 reports", [](auto& o) { o.n = 1; }, " -n -i -j "},
      {"r 1", [](auto& o) { o.r = 1; }, " -n -r -j "},
      {"x 0", [](auto& o) { o.x = 0; }, " -n -j "},
      {"x 1 keeps folders", [](auto& o) { o.x = 1; }, " -n "},
      {"jm 0", [](auto& o) { o.jm = 0; }, " -n -j -l0 "},
      {"jm 3", [](auto& o) { o.jm = 3; }, " -n -j -l3 "},
      {"all in order", [](auto& o) { o.a = 1, o.c = 1, o.n = 1, o.r = 1, o.x = 0, o.jm = 9; },
       " -a -o -i -r -j -l9 "},
  };
  for (const auto& c : cases) {
    bga.Reset();
    driver->Extract(nullptr, "a.gza", MakeOptions(c.set), R"(C:\out)", {std::string("f.txt")},
                    false, output);
    std::string expected = "x" + std::string(c.switches) + R"( "a.gza" "C:\out\" "f.txt" )";
    EXPECT_EQ(driver->LastCommandLine, expected) << c.name;
    EXPECT_EQ(CommandsTo(bga, "Bga"), std::vector<std::string>{expected}) << c.name;
  }
  driver->SetOwnerWindow(OwnerWindow);
  driver->Add(nullptr, "a.gza", TArchiverOptions(), R"(C:\base)", {std::string("f")}, false,
              output);
  EXPECT_EQ(driver->LastCommandLine, R"(a -n -i -j  "a.gza" "C:\base\" "f" )");
}

TEST_F(BgaDriver, DeleteNeverPassesAFolderAndTakesItsResponseFileFromTheOptions) {
  ScratchFolder folder;
  std::string list = folder / "list.txt";
  auto options = MakeOptions([&](auto& o) { o.ResFileName = list; });
  driver->Delete(nullptr, "a.gza", options, R"(C:\base)", {std::string(R"(d\f)")}, false, output);
  EXPECT_EQ(driver->LastCommandLine, R"(d -n -j  "a.gza" "@)" + list + "\" ");
  EXPECT_EQ(ReadBytes(list), "\"d\\f\"\r\n");
  options.ResFileUsage = {ruOnPack, ruOnUnpack};
  driver->Delete(nullptr, "a.gza", options, R"(C:\base)", {std::string(R"(d\f)")}, true, output);
  EXPECT_EQ(driver->LastCommandLine, R"(d -n -j  "a.gza" "d\f" )");
}

TEST_F(BgaDriver, SelfExtractorTakesTheResponseFileRoadWithAnEmptyList) {
  ScratchFolder folder;
  std::string list = folder / "list.txt";
  auto options = MakeOptions([&](auto& o) { o.ResFileName = list; });
  driver->MakeSfx(nullptr, "a.gza", options, R"(D:\out)", output);
  EXPECT_EQ(driver->LastCommandLine, R"(s -n -j  "a.gza" "D:\out\" "@)" + list + "\" ");
  EXPECT_EQ(ReadBytes(list), "");
  options.ResFileUsage = {};
  driver->MakeSfx(nullptr, "a.gza", options, "", output);
  EXPECT_EQ(driver->LastCommandLine, R"(s -n -j  "a.gza" )");
}

TEST_F(BgaDriver, CheckAsksMode2AsMode1) {
  for (auto [mode, sent] : {std::pair{0, "a.gza|16"}, {1, "a.gza|17"}, {2, "a.gza|17"}}) {
    bga.Reset();
    EXPECT_TRUE(driver->CheckArchive("a.gza", mode, 16));
    EXPECT_EQ(ArgumentsTo(bga, "BgaCheckArchive"), std::vector<std::string>{sent}) << mode;
  }
}

TEST_F(BgaDriver, UnsupportedOperationsAndTheProbe) {
  BYTE buffer[4];
  DWORD written = 0;
  EXPECT_ARCHIVER_ERROR(driver->Update(nullptr, "a.gza", TArchiverOptions(), "", {}, false, output),
                        EArchiver, L"この形式の書庫では書庫の更新をサポートしておりません。");
  EXPECT_ARCHIVER_ERROR(
      driver->ExtractMem(nullptr, "a.gza", TArchiverOptions(), "f", buffer, 4, &written),
      EArchiver, L"この形式ではメモリへの展開をサポートしておりません。");
  EXPECT_TRUE(bga.Calls().empty());
  ScratchFolder folder;
  EXPECT_FALSE(IsBgaArchive(folder / "missing.gza"));
  EXPECT_TRUE(bga.Calls().empty()) << "a missing file is not opened";
  WriteBytes(folder / "x.gza", "x");
  EXPECT_TRUE(IsBgaArchive(folder / "x.gza"));
  bga.SetResult(1);
  EXPECT_FALSE(IsBgaArchive(folder / "x.gza"));
  EXPECT_EQ(CallsTo(bga.Calls(), "BgaCloseArchive").size(), 2u) << "closed in every case";
}

}  // namespace
