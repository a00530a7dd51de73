// The ZIP driver when QXZIP32.DLL is the only ZIP library: its entries are
// spelled "Unzip...", it writes with "-ru", and it has no owner-window pair
// the driver would use.
#include "tests/drivers/DriverTestSupport.h"
#include "drivers/Zip.h"

namespace {

class Qxzip32Only : public ::testing::Test {
 protected:
  void SetUp() override { qxzip32.Reset(); }
  std::unique_ptr<TArchiver> driver = CreateDriver<TCZIP32>();
  SpyLibrary qxzip32{L"QXZIP32.DLL"};
  std::string output;
};

TEST_F(Qxzip32Only, ReadingUsesTheLowerCaseNames) {
  ScratchFolder folder;
  WriteBytes(folder / "a.zip", "PK");
  qxzip32.AddEntry("one.txt", 0x5A21, 0x6000);
  EXPECT_TRUE(IsZipArchive(folder / "a.zip"));
  HARC handle = driver->OpenArchive(nullptr, folder / "a.zip", 1);
  TIndividualInfo record{};
  EXPECT_EQ(driver->FindFirst(handle, "*.*", &record), 0);
  EXPECT_EQ(driver->FindNext(handle, &record), -1);
  driver->CloseArchive(handle);
  EXPECT_EQ(record.ftLastWriteTime.dwLowDateTime, 1u);
  EXPECT_TRUE(driver->CheckArchive(folder / "a.zip", 0, 0));
  driver->Extract(nullptr, "a.zip", TArchiverOptions(), R"(C:\out)", {std::string(R"(sub\[x].txt)")},
                  false, output);
  EXPECT_EQ(CommandsTo(qxzip32, "Unzip"),
            std::vector<std::string>{R"(-x  "a.zip" "C:\out\" "sub/[[]x].txt" )"});
  for (const char* entry : {"UnzipOpenArchive", "UnzipFindFirst", "UnzipFindNext",
                            "UnzipCloseArchive", "UnzipCheckArchive", "UnzipGetWriteTimeEx",
                            "UnzipGetCreateTimeEx", "UnzipGetAccessTimeEx"})
    EXPECT_FALSE(CallsTo(qxzip32.Calls(), entry).empty()) << entry;
}

TEST_F(Qxzip32Only, AddSendsRuWithNamesUnconvertedAndNoBaseFolder) {
  struct Case {
    const char* name;
    OptionSetter set;
    const char* switches;
  } const cases[] = {
      {"all unset", nullptr, " "},
      {"c 1", [](auto& o) { o.c = 1; }, " -o "},
      {"x 0", [](auto& o) { o.x = 0; }, " -j "},
      {"ZIP32J-only switches stay out", [](auto& o) { o.a = 1, o.r = 1, o.jm = 9; }, " "},
      {"both", [](auto& o) { o.c = 1, o.x = 0, o.UserOptions = "-P pw"; }, " -o -j -P pw"},
  };
  ScratchFolder base;  // the library runs in it
  for (const auto& c : cases) {
    qxzip32.Reset();
    driver->Add(nullptr, R"(C:\w\new.zip)", MakeOptions(c.set), base.Path(),
                {std::string(R"(sub\[x].txt)")}, false, output);
    std::string expected = "-ru" + std::string(c.switches) + R"( "C:\w\new.zip" "sub\[x].txt" )";
    EXPECT_EQ(driver->LastCommandLine, expected) << c.name;
    EXPECT_EQ(CommandsTo(qxzip32, "Zip"), std::vector<std::string>{expected}) << c.name;
  }
}

TEST_F(Qxzip32Only, AddingToAnArchiveWithEntriesKeepsIt) {
  ScratchFolder folder;
  WriteBytes(folder / "has.zip", "PK entries");
  WriteBytes(folder / "empty.zip", "");
  driver->Add(nullptr, folder / "has.zip", TArchiverOptions(), "", {std::string("f")}, false,
              output);
  EXPECT_EQ(ReadBytes(folder / "has.zip"), "PK entries");
  driver->Add(nullptr, folder / "empty.zip", TArchiverOptions(), "", {std::string("f")}, false,
              output);
  EXPECT_FALSE(Exists(folder / "empty.zip")) << "an empty placeholder is written anew";
  EXPECT_EQ(CommandsTo(qxzip32, "Zip").size(), 2u);
}

TEST_F(Qxzip32Only, DeleteAndUpdateReachQxzip32sZip) {
  driver->Delete(nullptr, "a.zip", TArchiverOptions(), "", {std::string("f")}, false, output);
  driver->Update(nullptr, "a.zip", TArchiverOptions(), "", {std::string("f")}, false, output);
  EXPECT_EQ(CommandsTo(qxzip32, "Zip"),
            (std::vector<std::string>{R"(-d -D  "a.zip" "f" )", R"(-f -D  "a.zip" "f" )"}));
}

TEST_F(Qxzip32Only, OwnerWindowAndSelfExtractorNeedOtherLibraries) {
  EXPECT_ARCHIVER_ERROR(driver->SetOwnerWindow(OwnerWindow), EEntryNotFound,
                        L"UNZIP32.DLL に UnZipSetOwnerWindowEx のエントリが見つかりません。");
  EXPECT_FALSE(driver->HasOwnerWindow());
  EXPECT_TRUE(CallsTo(qxzip32.Calls(), "UnzipSetOwnerWindowEx").empty());
  EXPECT_ARCHIVER_ERROR(driver->MakeSfx(nullptr, "a.zip", TArchiverOptions(), "", output),
                        EArchiver, L"ZIP 形式書庫からの自己解凍書庫作成には ZIP32J.DLL が必要です。");
}

}  // namespace
