// Self-extractors made by joining an outside stub and the archive (ZIP, TAR
// family): the output name, the stub search, and what is left on failure.
// The stubs lie beside the spy libraries: DOS-STUB|, GUI-STUB|, KMTARSEF|.
#include "drivers/DriverSupport.h"
#include "tests/drivers/DriverTestSupport.h"
#include "drivers/Tar.h"
#include "engine/TextUtil.h"
#include "drivers/Zip.h"

#include <thread>

namespace {

TEST(SelfExtractorName, ReplacesTheExtensionAndMovesIntoTheFolder) {
  struct Case {
    std::string archive, folder, output;
  } const cases[] = {
      {R"(C:\w\a.zip)", "", R"(C:\w\a.EXE)"},
      {R"(C:\w\a.zip)", R"(D:\out)", R"(D:\out\a.EXE)"},
      {R"(C:\w\a.zip)", R"(D:\out\)", R"(D:\out\a.EXE)"},
      {R"(C:\a\x.tgz)", "", R"(C:\a\x.EXE)"},
      {R"(C:\a\x.tar.gz)", "", R"(C:\a\x.tar.EXE)"},
      {R"(C:\w.d\noext)", "", R"(C:\w.d\noext.EXE)"},
      {"rel.zip", "", "rel.EXE"},
      // The folder ends in 表 (0x95 0x5C): its second byte is no separator.
      {R"(C:\w\a.zip)", "D:\\\x95\x5C", "D:\\\x95\x5C\\a.EXE"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SelfExtractorName(c.archive, c.folder), c.output) << c.archive << " " << c.folder;
}

class SelfExtractor : public ::testing::Test {
 protected:
  void SetUp() override {
    zip32j.Reset();
    WriteBytes(folder / "a.zip", "PK-archive");
  }
  std::unique_ptr<TArchiver> zip = CreateDriver<TCZIP32>();
  std::unique_ptr<TArchiver> tgz = CreateDriver<TTgz32>();
  std::unique_ptr<TArchiver> bz2 = CreateDriver<TBZ232>();
  SpyLibrary zip32j{L"ZIP32J.DLL"};
  ScratchFolder folder;
  // Stubs planted in the current folder must never be taken.
  InFolder in{folder.Path()};
  std::string output;
};

TEST_F(SelfExtractor, ZipJoinsTheChosenStubAndAdjustsThroughZip32j) {
  WriteBytes(folder / "sfx16.dat", "PLANTED|");
  WriteBytes(folder / "sfx32gui.dat", "PLANTED|");
  ScratchFolder out;
  for (auto [gw, stub] : {std::pair{-1, "DOS-STUB|"}, {0, "DOS-STUB|"}, {1, "GUI-STUB|"}}) {
    zip32j.Reset();
    auto options = MakeOptions([gw](auto& o) { o.gw = static_cast<TSwitch>(gw); });
    EXPECT_EQ(zip->MakeSfx(nullptr, folder / "a.zip", options, out.Path(), output), 0);
    EXPECT_EQ(ReadBytes(out / "a.EXE"), stub + std::string("PK-archive")) << gw;
    EXPECT_EQ(zip->LastCommandLine, "-A " + out / "a.EXE");
    EXPECT_EQ(CommandsTo(zip32j, "Zip"), std::vector<std::string>{"-A " + out / "a.EXE"});
  }
}

TEST_F(SelfExtractor, ZipQuotesAnOutputPathWithABlank) {
  CreateDirectoryA((folder / "with blank").c_str(), nullptr);
  zip->MakeSfx(nullptr, folder / "a.zip", TArchiverOptions(), folder / "with blank", output);
  EXPECT_EQ(zip->LastCommandLine, "-A \"" + folder / "with blank\\a.EXE" + "\"");
}

TEST_F(SelfExtractor, TarFamilyJoinsKmtarsefWithoutTheLibrary) {
  WriteBytes(folder / "kmtarsef.exe", "PLANTED|");
  WriteBytes(folder / "x.tgz", "gzip-data");
  tgz->LastCommandLine = "before";
  EXPECT_EQ(tgz->MakeSfx(nullptr, folder / "x.tgz", TArchiverOptions(), "", output), 0);
  EXPECT_EQ(ReadBytes(folder / "x.EXE"), "KMTARSEF|gzip-data");
  EXPECT_EQ(tgz->LastCommandLine, "before") << "no command line is sent";
  WriteBytes(folder / "x.bz2", "bzip2-data");
  EXPECT_ARCHIVER_ERROR(bz2->MakeSfx(nullptr, folder / "x.bz2", TArchiverOptions(), "", output),
                        EArchiver, L"BZ2 形式書庫は自己解凍形式にできません。");
}

TEST_F(SelfExtractor, AnArchiveNamedLikeItsOutputIsNeverTruncated) {
  WriteBytes(folder / "self.exe", "old self-extractor");
  EXPECT_THROW(tgz->MakeSfx(nullptr, folder / "self.exe", TArchiverOptions(), "", output),
               EArchiver);
  EXPECT_EQ(ReadBytes(folder / "self.exe"), "old self-extractor");
}

TEST_F(SelfExtractor, AFailedCopyLeavesNoHalfWrittenOutput) {
  // The archive is a pipe whose writer goes away after some bytes, so
  // reading it fails part way through the copy.
  std::string name = "tavix-sfx-" + std::to_string(GetCurrentProcessId());
  std::string pipe = R"(\\.\pipe\)" + name;
  WriteBytes(folder / (name + ".EXE"), "an older file of that name");
  HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                                   1, 4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  std::thread writer([server] {
    ConnectNamedPipe(server, nullptr);
    std::string part(3000, 'z');
    DWORD written = 0;
    WriteFile(server, part.data(), static_cast<DWORD>(part.size()), &written, nullptr);
    FlushFileBuffers(server);
    CloseHandle(server);
  });
  EXPECT_ARCHIVER_ERROR(zip->MakeSfx(nullptr, pipe, TArchiverOptions(), folder.Path(), output),
                        EArchiver, AnsiToWide(pipe) + L" を読み込めません。");
  writer.join();
  EXPECT_FALSE(Exists(folder / (name + ".EXE")));
  EXPECT_TRUE(zip32j.Calls().empty()) << "no adjusting of a broken file";
}

}  // namespace
