// The CAB driver through a spy CAB32.DLL.
#include "drivers/Cab.h"
#include "tests/drivers/DriverTestSupport.h"

namespace {

class CabDriver : public ::testing::Test {
 protected:
  void SetUp() override { cab.Reset(); }
  std::unique_ptr<TArchiver> driver = CreateDriver<TCCAB32>();
  SpyLibrary cab{L"CAB32.DLL"};
  std::string output;
};

TEST_F(CabDriver, SwitchesFollowTheirOptions) {
  struct Case {
    const char* name;
    OptionSetter set;
    const char* switches;
  } const cases[] = {
      {"all unset", nullptr, " "},
      {"c 1 overwrites", [](auto& o) { o.c = 1; }, " -o "},
      {"c 2", [](auto& o) { o.c = 2; }, " "},
      {"n 1 reports", [](auto& o) { o.n = 1; }, " -i "},
      {"r 1", [](auto& o) { o.r = 1; }, " -r "},
      {"work folder", [](auto& o) { o.w = R"(C:\tmp)"; }, R"( "-hC:\tmp\" )"},
      {"work folder with backslash", [](auto& o) { o.w = R"(C:\tmp\)"; }, R"( "-hC:\tmp\" )"},
      {"x 0", [](auto& o) { o.x = 0; }, " -j "},
      {"x 1", [](auto& o) { o.x = 1; }, " "},
      {"ji 1", [](auto& o) { o.ji = 1; }, " -q "},
      {"all in order",
       [](auto& o) { o.c = 1, o.n = 1, o.r = 1, o.w = R"(C:\tmp)", o.x = 0, o.ji = 1; },
       R"( -o -i -r "-hC:\tmp\" -j -q )"},
  };
  for (const auto& c : cases) {
    cab.Reset();
    driver->Extract(nullptr, R"(C:\w\a.cab)", MakeOptions(c.set), R"(C:\out)",
                    {std::string("f.txt")}, false, output);
    std::string expected = "-x" + std::string(c.switches) + R"( "C:\w\a.cab" "C:\out\" "f.txt" )";
    EXPECT_EQ(driver->LastCommandLine, expected) << c.name;
    EXPECT_EQ(CommandsTo(cab, "Cab"), std::vector<std::string>{expected}) << c.name;
  }
  driver->SetOwnerWindow(OwnerWindow);
  driver->Extract(nullptr, R"(C:\w\a.cab)", TArchiverOptions(), "", {}, false, output);
  EXPECT_EQ(driver->LastCommandLine, R"(-x -i  "C:\w\a.cab" )");
}

TEST_F(CabDriver, ExtractExpandsTheArchivePathAndAddDoesNot) {
  ScratchFolder folder;
  InFolder in(folder.Path());
  driver->Extract(nullptr, "rel.cab", TArchiverOptions(), "", {}, false, output);
  EXPECT_EQ(driver->LastCommandLine, "-x  \"" + folder / "rel.cab" + "\" ");
  driver->Add(nullptr, "rel.cab", TArchiverOptions(), R"(C:\base)", {std::string("f")}, false,
              output);
  EXPECT_EQ(driver->LastCommandLine, R"(-a  "rel.cab" "C:\base\" "f" )");
}

TEST_F(CabDriver, ResponseFileChoiceComesFromTheOptions) {
  ScratchFolder folder;
  std::string list = folder / "list.txt";
  auto options = MakeOptions([&](auto& o) {
    o.ResFileName = list;
    o.ResFileUsage = {ruOnUnpack};
  });
  driver->Add(nullptr, "a.cab", options, "", {std::string("f")}, true, output);
  EXPECT_EQ(driver->LastCommandLine, R"(-a  "a.cab" "f" )") << "no ruOnPack: names on the line";
  EXPECT_FALSE(Exists(list));
  driver->Extract(nullptr, R"(C:\a.cab)", options, "", {std::string("f")}, false, output);
  EXPECT_EQ(driver->LastCommandLine, R"(-x  "C:\a.cab" "@)" + list + "\" ");
  EXPECT_EQ(ReadBytes(list), "\"f\"\r\n");
}

TEST_F(CabDriver, SelfExtractorTakesTheOutputFolderAndNeverAResponseFile) {
  ScratchFolder folder;
  auto options = MakeOptions([&](auto& o) { o.ResFileName = folder / "list.txt"; });
  driver->MakeSfx(nullptr, "a.cab", options, R"(D:\out)", output);
  EXPECT_EQ(driver->LastCommandLine, R"(-f  "a.cab" "D:\out\" )");
  EXPECT_FALSE(Exists(folder / "list.txt"));
}

TEST_F(CabDriver, MemoryExtractionCheckAndUnsupportedOperations) {
  BYTE buffer[4];
  DWORD written = 0;
  driver->ExtractMem(nullptr, "a.cab", TArchiverOptions(), R"(d\f.txt)", buffer, 4, &written);
  EXPECT_EQ(driver->LastCommandLine, R"(  "a.cab" "d\f.txt" )");
  EXPECT_EQ(CallsTo(cab.Calls(), "CabExtractMem").size(), 1u);
  EXPECT_TRUE(driver->CheckArchive("a.cab", 1, 16));
  EXPECT_EQ(ArgumentsTo(cab, "CabCheckArchive"), std::vector<std::string>{"a.cab|17"});
  cab.Reset();
  EXPECT_ARCHIVER_ERROR(
      driver->Delete(nullptr, "a.cab", TArchiverOptions(), "", {}, false, output), EArchiver,
      L"この形式の書庫ではファイルの削除をサポートしておりません。");
  EXPECT_ARCHIVER_ERROR(
      driver->Update(nullptr, "a.cab", TArchiverOptions(), "", {}, false, output), EArchiver,
      L"この形式の書庫では書庫の更新をサポートしておりません。");
  EXPECT_TRUE(cab.Calls().empty());
}

TEST_F(CabDriver, ProbeClosesEvenAFailedOpenAndNeedsNoFile) {
  ScratchFolder folder;
  EXPECT_TRUE(IsCabArchive(folder / "missing.cab")) << "the library alone decides";
  cab.Reset();
  cab.SetResult(0x8019);
  EXPECT_FALSE(IsCabArchive(folder / "x.exe"));
  auto calls = cab.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_NE(calls[0].find("CabOpenArchive(" + PointerText(nullptr) + "|" + folder / "x.exe" + "|8388610)"),
            std::string::npos)
      << calls[0];
  EXPECT_EQ(calls[1], "CabCloseArchive(" + PointerText(nullptr) + ")");
}

}  // namespace
