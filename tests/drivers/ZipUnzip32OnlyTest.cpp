// The ZIP driver when UNZIP32.DLL is the only ZIP library, and the other
// families' libraries are missing altogether.
#include "drivers/Bga.h"
#include "drivers/Cab.h"
#include "tests/drivers/DriverTestSupport.h"
#include "drivers/Rar.h"
#include "drivers/Tar.h"
#include "drivers/Zip.h"

namespace {

class Unzip32Only : public ::testing::Test {
 protected:
  void SetUp() override { unzip32.Reset(); }
  std::unique_ptr<TArchiver> driver = CreateDriver<TCZIP32>();
  SpyLibrary unzip32{L"UNZIP32.DLL"};
  std::string output;
};

TEST_F(Unzip32Only, OnlyUnzip32IsLoaded) {
  ASSERT_NE(SharedZipDll(), nullptr);
  EXPECT_NE(SharedZipDll()->Unzip32(), nullptr);
  EXPECT_EQ(SharedZipDll()->Zip32j(), nullptr);
  EXPECT_EQ(SharedZipDll()->Qxzip32(), nullptr);
}

TEST_F(Unzip32Only, ListingExtractionMemoryAndProbeWork) {
  ScratchFolder folder;
  WriteBytes(folder / "a.zip", "PK");
  unzip32.AddEntry(R"(dir/one.txt)", 0x5A21, 0x6000);
  EXPECT_TRUE(IsZipArchive(folder / "a.zip"));
  HARC handle = driver->OpenArchive(nullptr, folder / "a.zip", 1);
  ASSERT_NE(handle, nullptr);
  TIndividualInfo record{};
  EXPECT_EQ(driver->FindFirst(handle, "*.*", &record), 0);
  EXPECT_STREQ(record.szFileName, "dir/one.txt");
  driver->CloseArchive(handle);
  // The write time is asked for as "UnzipGetWriteTimeEx", which UNZIP32
  // does not export: it comes from the entry's DOS date and time.
  FILETIME dos;
  ASSERT_TRUE(DosDateTimeToFileTime(0x5A21, 0x6000, &dos));
  EXPECT_EQ(record.ftLastWriteTime.dwLowDateTime, dos.dwLowDateTime);
  EXPECT_EQ(record.ftLastAccessTime.dwLowDateTime, 2u);
  EXPECT_EQ(record.ftCreationTime.dwLowDateTime, 3u);

  EXPECT_EQ(driver->Extract(nullptr, "a.zip", TArchiverOptions(), "", {}, false, output), 0);
  EXPECT_EQ(CommandsTo(unzip32, "UnZip"), std::vector<std::string>{R"(-x  "a.zip" )"});
  BYTE buffer[4];
  DWORD written = 0;
  EXPECT_EQ(driver->ExtractMem(nullptr, "a.zip", TArchiverOptions(), "f", buffer, 4, &written), 0);
  EXPECT_EQ(CallsTo(unzip32.Calls(), "UnZipExtractMem").size(), 1u);
  EXPECT_TRUE(driver->SetOwnerWindow(OwnerWindow));
}

TEST_F(Unzip32Only, WritingNeedsAZipLibraryAndSaysSo) {
  TArchiverOptions options;
  EXPECT_ARCHIVER_ERROR(driver->Add(nullptr, "a.zip", options, "", {}, false, output), EArchiver,
                        L"ZIP 形式書庫の作成には ZIP32J.DLL または QXZIP32.DLL が必要です。");
  EXPECT_ARCHIVER_ERROR(driver->Delete(nullptr, "a.zip", options, "", {}, false, output),
                        EEntryNotFound, L"Zip のエントリが DLL に見つかりませんでした。");
  EXPECT_ARCHIVER_ERROR(driver->Update(nullptr, "a.zip", options, "", {}, false, output),
                        EEntryNotFound, L"Zip のエントリが DLL に見つかりませんでした。");
  EXPECT_ARCHIVER_ERROR(driver->MakeSfx(nullptr, "a.zip", options, "", output), EArchiver,
                        L"ZIP 形式書庫からの自己解凍書庫作成には ZIP32J.DLL が必要です。");
  EXPECT_TRUE(CommandsTo(unzip32, "UnZip").empty());
}

TEST(MissingLibraries, CreatingADriverNamesTheKindAndTheLibrary) {
  EXPECT_ARCHIVER_ERROR(CreateDriver<TCCAB32>(), ENoArchiverDLL,
                        L"CAB 形式書庫 を扱うには CAB32.DLL が 必要です。");
  EXPECT_ARCHIVER_ERROR(CreateDriver<TTgz32>(), ENoArchiverDLL,
                        L"tar/tgz/taz/bz2 形式書庫 を扱うには TAR32.DLL が 必要です。");
  EXPECT_ARCHIVER_ERROR(CreateDriver<TRar32>(), ENoArchiverDLL,
                        L"RAR 形式書庫 を扱うには UNRAR32.DLL が 必要です。");
  EXPECT_ARCHIVER_ERROR(CreateDriver<TBGA32>(), ENoArchiverDLL,
                        L"BGA 形式書庫 を扱うには BGA32.DLL が 必要です。");
  // The binding stays and tries again at its next loading call.
  EXPECT_ARCHIVER_ERROR(CreateDriver<TBGA32>()->OpenArchive(nullptr, "a.gza", 1), ENoArchiverDLL,
                        L"BGA 形式書庫 を扱うには BGA32.DLL が 必要です。");
}

TEST(MissingLibraries, ProbesAnswerNoInsteadOfRaising) {
  ScratchFolder folder;
  WriteBytes(folder / "x.exe", "MZ");
  EXPECT_FALSE(IsCabArchive(folder / "x.exe"));
  EXPECT_FALSE(IsRarArchive(folder / "x.exe"));
  EXPECT_FALSE(IsBgaArchive(folder / "x.exe"));
  EXPECT_EQ(TarFamilyKind(folder / "x.exe"), atNone);
}

}  // namespace
