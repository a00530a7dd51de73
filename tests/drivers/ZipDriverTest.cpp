// The ZIP driver with all three libraries present: which library each call
// reaches, the two switch tables, the name conversion and the probe.
#include "tests/drivers/DriverTestSupport.h"
#include "drivers/Zip.h"

namespace {

const std::string Archive = R"(C:\w\a.zip)";
const std::string Entry = R"(sub\[x].txt)";
const std::string Converted = R"("sub/[[]x].txt")";

class ZipDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const SpyLibrary* spy : {&unzip32, &zip32j, &qxzip32}) spy->Reset();
  }
  // Created first: it loads the libraries the spies below look for.
  std::unique_ptr<TArchiver> driver = CreateDriver<TCZIP32>();
  std::string output;
  SpyLibrary unzip32{L"UNZIP32.DLL"};
  SpyLibrary zip32j{L"ZIP32J.DLL"};
  SpyLibrary qxzip32{L"QXZIP32.DLL"};
};

TEST(ZipNameFilter, TurnsBackslashesIntoSlashesAndEscapesBrackets) {
  struct Case {
    std::string name, converted;
  } const cases[] = {
      {R"(sub\[x].txt)", "sub/[[]x].txt"},
      {"plain.txt", "plain.txt"},
      {"[[", "[[][[]"},
      {R"(a\b\c)", "a/b/c"},
      // 表 is 0x95 0x5C in code page 932: its second byte is no backslash.
      {"\x95\x5C\\[.txt", "\x95\x5C/[[].txt"},
      {"\x83\x5B[", "\x83\x5B[[]"},
  };
  for (const auto& c : cases) EXPECT_EQ(ZipNameFilter(c.name), c.converted) << c.name;
}

struct SwitchCase {
  const char* name;
  OptionSetter set;
  const char* switches;  // the switch items and the user options, before the archive
};

TEST_F(ZipDriver, ExtractionSwitchesFollowTheirOptions) {
  const SwitchCase cases[] = {
      {"all unset", nullptr, " "},
      {"c 1 overwrites", [](auto& o) { o.c = 1; }, " -o "},
      {"c 0", [](auto& o) { o.c = 0; }, " "},
      {"c 2", [](auto& o) { o.c = 2; }, " "},
      {"n 1 reports", [](auto& o) { o.n = 1; }, " --i "},
      {"n 0", [](auto& o) { o.n = 0; }, " "},
      {"x 0 drops folders", [](auto& o) { o.x = 0; }, " -j "},
      {"x 1", [](auto& o) { o.x = 1; }, " "},
      {"user options", [](auto& o) { o.UserOptions = "-P pw"; }, " -P pw"},
      {"c 1 and x 0", [](auto& o) { o.c = 1, o.x = 0; }, " -o -j "},
      {"all", [](auto& o) { o.c = 1, o.n = 1, o.x = 0; }, " -o --i -j "},
  };
  for (const auto& c : cases) {
    unzip32.Reset();
    driver->Extract(nullptr, Archive, MakeOptions(c.set), R"(C:\out)", {Entry}, false, output);
    std::string expected = "-x" + std::string(c.switches) + R"( "C:\w\a.zip" "C:\out\" )" +
                           Converted + " ";
    EXPECT_EQ(driver->LastCommandLine, expected) << c.name;
    EXPECT_EQ(CommandsTo(unzip32, "UnZip"), std::vector<std::string>{expected}) << c.name;
  }
  EXPECT_TRUE(CommandsTo(qxzip32, "Unzip").empty());
}

TEST_F(ZipDriver, AnOwnerWindowAsksForReportsAndIsRegisteredWithUnzip32) {
  EXPECT_TRUE(driver->SetOwnerWindow(OwnerWindow));
  EXPECT_TRUE(driver->HasOwnerWindow());
  driver->Extract(nullptr, Archive, TArchiverOptions(), "", {}, false, output);
  EXPECT_EQ(driver->LastCommandLine, R"(-x --i  "C:\w\a.zip" )");
  EXPECT_TRUE(driver->KillOwnerWindow(OwnerWindow));
  EXPECT_FALSE(driver->HasOwnerWindow());
  EXPECT_EQ(CallsTo(unzip32.Calls(), "UnZipSetOwnerWindowEx").size(), 1u);
  EXPECT_EQ(CallsTo(unzip32.Calls(), "UnZipKillOwnerWindowEx").size(), 1u);
  EXPECT_TRUE(CallsTo(qxzip32.Calls(), "UnzipSetOwnerWindowEx").empty());
}

TEST_F(ZipDriver, Zip32jSwitchesFollowTheirOptions) {
  const SwitchCase cases[] = {
      {"all unset", nullptr, " -D "},
      {"a 0", [](auto& o) { o.a = 0; }, " -D "},
      {"a 1 adds hidden files", [](auto& o) { o.a = 1; }, " -S -D "},
      {"a 2 also stores folders", [](auto& o) { o.a = 2; }, " -S "},
      {"l 1", [](auto& o) { o.l = 1; }, " -D -v "},
      {"n 1", [](auto& o) { o.n = 1; }, " -D -q -o "},
      {"r 1", [](auto& o) { o.r = 1; }, " -D -r "},
      {"u 1", [](auto& o) { o.u = 1; }, " -D -u "},
      {"x 0", [](auto& o) { o.x = 0; }, " -D -j "},
      {"x 1", [](auto& o) { o.x = 1; }, " -D "},
      {"jc 1", [](auto& o) { o.jc = 1; }, " -D -FF "},
      {"ji 1", [](auto& o) { o.ji = 1; }, " -D -k "},
      {"jm 0", [](auto& o) { o.jm = 0; }, " -D -0 "},
      {"jm 9", [](auto& o) { o.jm = 9; }, " -D -9 "},
      {"gd 1", [](auto& o) { o.gd = 1; }, " -D -J "},
      {"password", [](auto& o) { o.UserOptions = "-P secret"; }, " -D -P secret"},
      {"all in order",
       [](auto& o) { o.a = 1, o.l = 1, o.n = 1, o.r = 1, o.u = 1, o.x = 0, o.jc = 1, o.ji = 1,
                     o.jm = 6, o.gd = 1; },
       " -S -D -v -q -r -o -u -j -FF -k -6 -J "},
  };
  for (const auto& c : cases) {
    zip32j.Reset();
    auto options = MakeOptions(c.set);
    std::string tail = R"( "C:\w\a.zip" "C:\base\" )" + Converted + " ";
    driver->Add(nullptr, Archive, options, R"(C:\base)", {Entry}, false, output);
    EXPECT_EQ(driver->LastCommandLine, c.switches + tail) << c.name;
    driver->Delete(nullptr, Archive, options, R"(C:\base)", {Entry}, false, output);
    EXPECT_EQ(driver->LastCommandLine, "-d" + (c.switches + tail)) << c.name;
    driver->Update(nullptr, Archive, options, R"(C:\base)", {Entry}, false, output);
    EXPECT_EQ(driver->LastCommandLine, "-f" + (c.switches + tail)) << c.name;
    EXPECT_EQ(CommandsTo(zip32j, "Zip").size(), 3u) << c.name;
  }
  // ZIP32J writes whenever it is there; QXZIP32's "-ru" is only the fallback.
  EXPECT_TRUE(CommandsTo(qxzip32, "Zip").empty());
}

TEST_F(ZipDriver, ConvertedNamesGoIntoTheResponseFileToo) {
  ScratchFolder folder;
  auto options = MakeOptions([&](auto& o) { o.ResFileName = folder / "names.txt"; });
  driver->Add(nullptr, Archive, options, "", {Entry, std::string("b.txt")}, true, output);
  EXPECT_EQ(ReadBytes(folder / "names.txt"), "\"sub/[[]x].txt\"\r\n\"b.txt\"\r\n");
  EXPECT_EQ(driver->LastCommandLine, R"( -D  "C:\w\a.zip" "@)" + folder / "names.txt" + "\" ");
  driver->Extract(nullptr, Archive, options, "", {Entry}, true, output);
  EXPECT_EQ(ReadBytes(folder / "names.txt"), "\"sub/[[]x].txt\"\r\n");
}

TEST_F(ZipDriver, ResultsAndOutputPassThroughUnchanged) {
  zip32j.SetResult(0x8019, "not a zip");
  unzip32.SetResult(0x8012, "cannot make folder");
  std::string small(5, 'x');
  EXPECT_EQ(driver->Add(nullptr, Archive, TArchiverOptions(), "", {}, false, small), 0x8019);
  EXPECT_STREQ(small.c_str(), "not ");
  EXPECT_EQ(driver->Extract(nullptr, Archive, TArchiverOptions(), "", {}, false, output), 0x8012);
  EXPECT_EQ(CommandsTo(unzip32, "UnZip").size(), 1u);
  auto extract = ArgumentsTo(unzip32, "UnZip");
  EXPECT_NE(extract[0].find("|null|0"), std::string::npos) << "an empty output gives a null buffer";
}

TEST_F(ZipDriver, ListingGoesToQxzip32FirstWithAFullPath) {
  ScratchFolder folder;
  InFolder in(folder.Path());
  qxzip32.AddEntry("one.txt", 0x5A21, 0x6000);
  HARC handle = driver->OpenArchive(nullptr, "rel.zip", 1);
  ASSERT_NE(handle, nullptr);
  TIndividualInfo record{};
  EXPECT_EQ(driver->FindFirst(handle, "*.*", &record), 0);
  EXPECT_STREQ(record.szFileName, "one.txt");
  EXPECT_EQ(driver->FindNext(handle, &record), -1);
  EXPECT_EQ(driver->CloseArchive(handle), 0);
  auto opened = ArgumentsTo(qxzip32, "UnzipOpenArchive");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_NE(opened[0].find("|" + folder / "rel.zip" + "|1"), std::string::npos) << opened[0];
  // QXZIP32 spells every time entry with a lower-case z and has all three.
  EXPECT_EQ(record.ftLastWriteTime.dwLowDateTime, 1u);
  EXPECT_EQ(record.ftLastAccessTime.dwLowDateTime, 2u);
  EXPECT_EQ(record.ftCreationTime.dwLowDateTime, 3u);
  for (const char* entry : {"UnzipFindFirst", "UnzipFindNext", "UnzipCloseArchive"})
    EXPECT_EQ(CallsTo(qxzip32.Calls(), entry).size(), 1u) << entry;
  EXPECT_TRUE(unzip32.Calls().empty());
  EXPECT_TRUE(zip32j.Calls().empty());
}

TEST_F(ZipDriver, CheckAndMemoryExtractionGoToUnzip32) {
  EXPECT_TRUE(driver->CheckArchive(Archive, 1, 16));
  EXPECT_EQ(ArgumentsTo(unzip32, "UnZipCheckArchive"),
            std::vector<std::string>{Archive + "|1"}) << "the flags are not passed";
  unzip32.SetResult(0, "hello");
  BYTE buffer[16] = {};
  DWORD written = 0;
  EXPECT_EQ(driver->ExtractMem(nullptr, Archive, MakeOptions([](auto& o) { o.x = 0; }), Entry,
                               buffer, sizeof buffer, &written),
            0);
  EXPECT_EQ(written, 5u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), written), "hello");
  std::string line = R"( -j  "C:\w\a.zip" )" + Converted + " ";
  EXPECT_EQ(driver->LastCommandLine, line);
  auto calls = ArgumentsTo(unzip32, "UnZipExtractMem");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NE(calls[0].find("|" + line + "|16|" + PointerText(nullptr) + "|" + PointerText(nullptr)), std::string::npos)
      << calls[0];
  EXPECT_TRUE(CallsTo(qxzip32.Calls(), "UnzipExtractMem").empty());
}

TEST_F(ZipDriver, ProbeAnswersOnlyForExistingFilesAZipLibraryOpens) {
  ScratchFolder folder;
  WriteBytes(folder / "a.exe", "MZ");
  EXPECT_FALSE(IsZipArchive(folder / "missing.exe"));
  EXPECT_TRUE(qxzip32.Calls().empty()) << "a missing file is not opened";
  EXPECT_TRUE(IsZipArchive(folder / "a.exe"));
  auto opened = ArgumentsTo(qxzip32, "UnzipOpenArchive");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_NE(opened[0].find("|" + folder / "a.exe" + "|8388610"), std::string::npos) << opened[0];
  EXPECT_EQ(CallsTo(qxzip32.Calls(), "UnzipCloseArchive").size(), 1u);
  qxzip32.Reset();
  qxzip32.SetResult(0x8019);
  EXPECT_FALSE(IsZipArchive(folder / "a.exe"));
  EXPECT_TRUE(CallsTo(qxzip32.Calls(), "UnzipCloseArchive").empty()) << "no handle, nothing to close";
}

}  // namespace
