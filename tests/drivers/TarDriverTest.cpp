// The TAR family through a spy TAR32.DLL: one table, three classes.
#include "tests/drivers/DriverTestSupport.h"
#include "drivers/Tar.h"

namespace {

class TarDriver : public ::testing::Test {
 protected:
  void SetUp() override { tar.Reset(); }
  std::unique_ptr<TArchiver> tarDriver = CreateDriver<TCTAR32>();
  std::unique_ptr<TArchiver> tgzDriver = CreateDriver<TTgz32>();
  std::unique_ptr<TArchiver> bz2Driver = CreateDriver<TBZ232>();
  SpyLibrary tar{L"TAR32.DLL"};
  std::string output;
};

struct SwitchCase {
  const char* name;
  OptionSetter set;
  const char* tar;  // switches of a TCTAR32, then of a TTgz32 and a TBZ232
  const char* tgz;
  const char* bz2;
};

TEST_F(TarDriver, SwitchesFollowOptionsAndClass) {
  const SwitchCase cases[] = {
      {"all unset", nullptr, " ", " -z ", " -B "},
      {"a 1", [](auto& o) { o.a = 1; }, " -AH ", " -AH -z ", " -AH -B "},
      {"a 0", [](auto& o) { o.a = 0; }, " -I ", " -I -z ", " -I -B "},
      {"n 1 without owner", [](auto& o) { o.n = 1; }, " --display-dialog=0 ",
       " --display-dialog=0 -z ", " --display-dialog=0 -B "},
      {"n 0", [](auto& o) { o.n = 0; }, " ", " -z ", " -B "},
      {"o 1", [](auto& o) { o.o = 1; }, " -g ", " -g -z ", " -g -B "},
      {"p 1", [](auto& o) { o.p = 1; }, " --check-all-path=1 ", " --check-all-path=1 -z ",
       " --check-all-path=1 -B "},
      {"x 0", [](auto& o) { o.x = 0; }, " --use-directory=0 ", " --use-directory=0 -z ",
       " --use-directory=0 -B "},
      {"x 1", [](auto& o) { o.x = 1; }, " --use-directory=1 ", " --use-directory=1 -z ",
       " --use-directory=1 -B "},
      {"jm 0", [](auto& o) { o.jm = 0; }, " ", " -z ", " -B "},
      {"jm 1", [](auto& o) { o.jm = 1; }, " ", " -z1 ", " -B1 "},
      {"jm 9", [](auto& o) { o.jm = 9; }, " ", " -z9 ", " -B9 "},
      {"user options", [](auto& o) { o.UserOptions = "--x"; }, " --x", " -z --x", " -B --x"},
      {"all in order", [](auto& o) { o.a = 1, o.n = 1, o.o = 1, o.p = 0, o.x = 1, o.jm = 5; },
       " -AH --display-dialog=0 -g --check-all-path=0 --use-directory=1 ",
       " -AH --display-dialog=0 -g --check-all-path=0 --use-directory=1 -z5 ",
       " -AH --display-dialog=0 -g --check-all-path=0 --use-directory=1 -B5 "},
  };
  const std::string tail = R"( -f "C:\w\a.tar" -o "C:\out\" "f.txt" )";
  for (const auto& c : cases) {
    auto options = MakeOptions(c.set);
    options.c = 1;  // overwriting: the keep switch has its own test
    for (auto [driver, switches] : {std::pair{tarDriver.get(), c.tar},
                                    std::pair{tgzDriver.get(), c.tgz},
                                    std::pair{bz2Driver.get(), c.bz2}}) {
      driver->Extract(nullptr, R"(C:\w\a.tar)", options, R"(C:\out)", {std::string("f.txt")},
                      false, output);
      EXPECT_EQ(driver->LastCommandLine, "x" + (switches + tail)) << c.name;
      driver->Add(nullptr, R"(C:\w\a.tar)", options, R"(C:\out)", {std::string("f.txt")}, false,
                  output);
      EXPECT_EQ(driver->LastCommandLine, "c" + (switches + tail)) << c.name;
    }
  }
  EXPECT_EQ(CommandsTo(tar, "Tar").size(), std::size(cases) * 6);
}

// The extraction step's c is 1 for overwrite and 0 for don't: TAR32 has no
// overwrite switch, so not overwriting asks it to keep files on disk.
TEST_F(TarDriver, ExtractionWithoutOverwriteKeepsNewerFiles) {
  struct Case {
    const char* name;
    OptionSetter set;
    const char* extract;  // switches of a TTgz32's extraction
  } const cases[] = {
      {"c unset", nullptr, " --keep-newer-files -z "},
      {"c 0, m 1", [](auto& o) { o.c = 0, o.m = 1; }, " --keep-newer-files -z "},
      {"c 1, m 0", [](auto& o) { o.c = 1, o.m = 0; }, " -z "},
      {"in order", [](auto& o) { o.c = 0, o.o = 1, o.p = 1; },
       " -g --keep-newer-files --check-all-path=1 -z "},
  };
  for (const auto& c : cases) {
    auto options = MakeOptions(c.set);
    tgzDriver->Extract(nullptr, "a.tgz", options, "", {}, false, output);
    EXPECT_EQ(tgzDriver->LastCommandLine, "x" + (c.extract + std::string(R"( -f "a.tgz" )")))
        << c.name;
    tgzDriver->Add(nullptr, "a.tgz", options, "", {}, false, output);
    EXPECT_EQ(tgzDriver->LastCommandLine.find("--keep-newer-files"), std::string::npos) << c.name;
    BYTE buffer[4];
    DWORD written = 0;
    tgzDriver->ExtractMem(nullptr, "a.tgz", options, "f", buffer, 4, &written);
    EXPECT_EQ(tgzDriver->LastCommandLine.find("--keep-newer-files"), std::string::npos) << c.name;
  }
}

TEST_F(TarDriver, AnOwnerWindowSuppressesTheDialogSwitch) {
  auto options = MakeOptions([](auto& o) { o.n = 1, o.c = 1; });
  EXPECT_TRUE(tgzDriver->SetOwnerWindow(OwnerWindow));
  tgzDriver->Extract(nullptr, "a.tgz", options, "", {}, false, output);
  EXPECT_EQ(tgzDriver->LastCommandLine, R"(x -z  -f "a.tgz" )");
  EXPECT_TRUE(tgzDriver->KillOwnerWindow(OwnerWindow));
  tgzDriver->Extract(nullptr, "a.tgz", options, "", {}, false, output);
  EXPECT_EQ(tgzDriver->LastCommandLine, R"(x --display-dialog=0 -z  -f "a.tgz" )");
  EXPECT_EQ(CallsTo(tar.Calls(), "TarSetOwnerWindowEx").size(), 1u);
  EXPECT_EQ(CallsTo(tar.Calls(), "TarKillOwnerWindowEx").size(), 1u);
}

TEST_F(TarDriver, ResponseFileChoiceComesFromTheOptions) {
  ScratchFolder folder;
  std::string list = folder / "list.txt";
  auto options = MakeOptions([&](auto& o) {
    o.ResFileName = list;
    o.ResFileUsage = {ruOnPack};
    o.c = 1;
  });
  tarDriver->Extract(nullptr, "a.tar", options, "", {std::string("f")}, true, output);
  EXPECT_EQ(tarDriver->LastCommandLine, R"(x  -f "a.tar" "f" )");
  tarDriver->Add(nullptr, "a.tar", options, "", {std::string(R"(d\f)")}, false, output);
  EXPECT_EQ(tarDriver->LastCommandLine, R"(c  -f "a.tar" "@)" + list + "\" ");
  EXPECT_EQ(ReadBytes(list), "\"d\\f\"\r\n") << "no name conversion for tar";
}

TEST_F(TarDriver, MemoryExtractionCheckAndUnsupportedOperations) {
  BYTE buffer[4];
  DWORD written = 0;
  tgzDriver->ExtractMem(nullptr, "a.tgz", TArchiverOptions(), "f.txt", buffer, 4, &written);
  EXPECT_EQ(tgzDriver->LastCommandLine, R"( -z  -f "a.tgz" "f.txt" )");
  EXPECT_EQ(CallsTo(tar.Calls(), "TarExtractMem").size(), 1u);
  EXPECT_TRUE(tarDriver->CheckArchive("a.tar", 2, 16));
  EXPECT_EQ(ArgumentsTo(tar, "TarCheckArchive"), std::vector<std::string>{"a.tar|18"});
  tar.Reset();
  EXPECT_ARCHIVER_ERROR(
      tarDriver->Delete(nullptr, "a.tar", TArchiverOptions(), "", {}, false, output), EArchiver,
      L"この形式の書庫ではファイルの削除をサポートしておりません。");
  EXPECT_ARCHIVER_ERROR(
      bz2Driver->Update(nullptr, "a.bz2", TArchiverOptions(), "", {}, false, output), EArchiver,
      L"この形式の書庫では書庫の更新をサポートしておりません。");
  EXPECT_TRUE(tar.Calls().empty());
}

TEST_F(TarDriver, ListingOpensTheFullPath) {
  ScratchFolder folder;
  InFolder in(folder.Path());
  HARC handle = bz2Driver->OpenArchive(nullptr, "x.bz2", 1);
  bz2Driver->CloseArchive(handle);
  EXPECT_EQ(ArgumentsTo(tar, "TarOpenArchive"),
            std::vector<std::string>{PointerText(nullptr) + "|" + folder / "x.bz2" + "|1"});
}

TEST_F(TarDriver, ProbeMapsTheLibrarysAnswer) {
  struct Case {
    int answer;
    TArchiverType kind;
  } const cases[] = {{-1, atNone}, {0, atNone}, {1, atTar}, {2, atTgz}, {3, atTgz},
                     {4, atTgz},   {5, atTgz},  {6, atBZ2}, {7, atBZ2}, {8, atNone},
                     {9, atNone},  {33, atNone}, {49, atNone}};
  for (const auto& c : cases) {
    tar.Reset();
    tar.SetResult(c.answer);
    EXPECT_EQ(TarFamilyKind("rel\\x.tgz"), c.kind) << c.answer;
  }
  EXPECT_EQ(ArgumentsTo(tar, "TarGetArchiveType"), std::vector<std::string>{"rel\\x.tgz"})
      << "the name goes unexpanded";
}

}  // namespace
