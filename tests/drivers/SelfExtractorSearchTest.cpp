// Where the self-extractor stubs are looked for when neither the program's
// folder nor the libraries' folder holds one: a stub planted in the current
// folder must not be built into the user's self-extractor.
#include "tests/drivers/DriverTestSupport.h"
#include "drivers/Tar.h"
#include "drivers/Zip.h"

namespace {

TEST(SelfExtractorSearch, AStubInTheCurrentFolderIsNeverTaken) {
  auto zip = CreateDriver<TCZIP32>();
  auto tgz = CreateDriver<TTgz32>();
  SpyLibrary zip32j{L"ZIP32J.DLL"};
  zip32j.Reset();
  ScratchFolder folder;
  WriteBytes(folder / "a.zip", "PK-archive");
  for (const char* stub : {"sfx16.dat", "sfx32gui.dat", "kmtarsef.exe"})
    WriteBytes(folder / stub, "PLANTED|");
  InFolder in(folder.Path());
  std::string output;
  EXPECT_ARCHIVER_ERROR(zip->MakeSfx(nullptr, folder / "a.zip", TArchiverOptions(), "", output),
                        EArchiver, L"zip 書庫からのDOS自己解凍書庫の作成には sfx16.dat が必要です。");
  EXPECT_ARCHIVER_ERROR(
      zip->MakeSfx(nullptr, folder / "a.zip", MakeOptions([](auto& o) { o.gw = 1; }), "", output),
      EArchiver, L"zip 書庫からのWin32自己解凍書庫の作成には sfx32gui.dat が必要です。");
  EXPECT_ARCHIVER_ERROR(tgz->MakeSfx(nullptr, folder / "a.zip", TArchiverOptions(), "", output),
                        EArchiver,
                        L"tar/tgz 書庫からの自己解凍書庫の作成には kmtarsef.exe が必要です。");
  EXPECT_FALSE(Exists(folder / "a.EXE"));
  EXPECT_TRUE(zip32j.Calls().empty());
}

}  // namespace
