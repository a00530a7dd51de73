// The RAR driver through a spy UNRAR32.DLL: read only.
#include "tests/drivers/DriverTestSupport.h"
#include "drivers/Rar.h"

namespace {

class RarDriver : public ::testing::Test {
 protected:
  void SetUp() override { rar.Reset(); }
  std::unique_ptr<TArchiver> driver = CreateDriver<TRar32>();
  SpyLibrary rar{L"UNRAR32.DLL"};
  std::string output;
};

TEST_F(RarDriver, CommandWordAndSwitchesFollowTheirOptions) {
  struct Case {
    const char* name;
    OptionSetter set;
    const char* start;  // command word, switches and user options
  } const cases[] = {
      {"all unset", nullptr, "-x -u "},
      {"c 1 overwrites", [](auto& o) { o.c = 1; }, "-x "},
      {"c 0", [](auto& o) { o.c = 0; }, "-x -u "},
      {"m 1", [](auto& o) { o.m = 1; }, "-x -u -y "},
      {"p 1", [](auto& o) { o.p = 1; }, "-x -u -s "},
      {"x 0 drops folders", [](auto& o) { o.x = 0; }, "-e -u "},
      {"x 1", [](auto& o) { o.x = 1; }, "-x -u "},
      {"all", [](auto& o) { o.c = 1, o.m = 1, o.p = 1, o.x = 0, o.UserOptions = "-ppw"; },
       "-e -y -s -ppw"},
  };
  for (const auto& c : cases) {
    rar.Reset();
    driver->Extract(nullptr, "a.rar", MakeOptions(c.set), R"(C:\out)", {std::string("f.txt")},
                    false, output);
    std::string expected = c.start + std::string(R"( "a.rar" "C:\out\" "f.txt" )");
    EXPECT_EQ(driver->LastCommandLine, expected) << c.name;
    EXPECT_EQ(CommandsTo(rar, "Unrar"), std::vector<std::string>{expected}) << c.name;
  }
}

TEST_F(RarDriver, ResponseFileChoiceComesFromTheOptions) {
  ScratchFolder folder;
  auto options = MakeOptions([&](auto& o) { o.ResFileName = folder / "list.txt"; });
  driver->Extract(nullptr, "a.rar", options, "", {std::string("f")}, false, output);
  EXPECT_EQ(driver->LastCommandLine, R"(-x -u  "a.rar" "@)" + folder / "list.txt" + "\" ");
  options.ResFileUsage = {ruOnPack};
  driver->Extract(nullptr, "a.rar", options, "", {std::string("f")}, true, output);
  EXPECT_EQ(driver->LastCommandLine, R"(-x -u  "a.rar" "f" )");
}

TEST_F(RarDriver, WritingOperationsAreRefusedWithoutCallingTheLibrary) {
  TArchiverOptions options;
  EXPECT_ARCHIVER_ERROR(driver->Add(nullptr, "a.rar", options, "", {}, false, output), EArchiver,
                        L"この形式では書庫ファイルの作成をサポートしておりません。");
  EXPECT_ARCHIVER_ERROR(driver->Delete(nullptr, "a.rar", options, "", {}, false, output),
                        EArchiver, L"この形式の書庫ではファイルの削除をサポートしておりません。");
  EXPECT_ARCHIVER_ERROR(driver->Update(nullptr, "a.rar", options, "", {}, false, output),
                        EArchiver, L"この形式の書庫では書庫の更新をサポートしておりません。");
  EXPECT_ARCHIVER_ERROR(driver->MakeSfx(nullptr, "a.rar", options, "", output), EArchiver,
                        L"この形式では自己解凍書庫の作成をサポートしておりません。");
  EXPECT_TRUE(rar.Calls().empty());
  EXPECT_TRUE(driver->LastCommandLine.empty());
}

TEST_F(RarDriver, MemoryExtractionCheckOwnerWindowAndProbe) {
  BYTE buffer[4];
  DWORD written = 0;
  driver->ExtractMem(nullptr, "a.rar", TArchiverOptions(), "f.txt", buffer, 4, &written);
  EXPECT_EQ(driver->LastCommandLine, R"( -u  "a.rar" "f.txt" )");
  EXPECT_EQ(CallsTo(rar.Calls(), "UnrarExtractMem").size(), 1u);
  EXPECT_TRUE(driver->CheckArchive("a.rar", 1, 16));
  EXPECT_EQ(ArgumentsTo(rar, "UnrarCheckArchive"), std::vector<std::string>{"a.rar|17"});
  EXPECT_TRUE(driver->SetOwnerWindow(OwnerWindow));
  EXPECT_TRUE(driver->HasOwnerWindow());
  EXPECT_TRUE(driver->KillOwnerWindow(OwnerWindow));
  rar.Reset();
  rar.SetResult(1);
  EXPECT_FALSE(IsRarArchive("missing.rar"));
  EXPECT_EQ(CallsTo(rar.Calls(), "UnrarCloseArchive"),
            std::vector<std::string>{"UnrarCloseArchive(" + PointerText(nullptr) + ")"});
}

}  // namespace
