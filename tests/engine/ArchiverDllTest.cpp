#include "engine/ArchiverDll.h"
#include "tests/engine/SpyLibrary.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TArchiverDll& Lha() {
  static TArchiverDll dll(L"LHA 形式書庫", L"UNLHA32.DLL", "Unlha");
  return dll;
}

TEST(Environment, RunsInJapaneseCodePage) { EXPECT_EQ(GetACP(), 932u); }

TEST(ArchiverDll, MissingLibraryNamesKindAndFileAndRetriesLater) {
  TArchiverDll dll(L"BGA 形式書庫", L"NOSUCH32.DLL", "Nosuch");
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      dll.Load();
      FAIL() << "no exception";
    } catch (const ENoArchiverDLL& e) {
      EXPECT_EQ(e.Message(), L"BGA 形式書庫 を扱うには NOSUCH32.DLL が 必要です。");
    }
    EXPECT_EQ(dll.Module(), nullptr);
  }
  EXPECT_THROW(dll.OpenArchive(nullptr, "x.bga", 0), ENoArchiverDLL);
}

TEST(ArchiverDll, LoadTwiceLoadsOnce) {
  TArchiverDll dll(L"LHA 形式書庫", L"UNLHA32.DLL", "Unlha");
  dll.Load();
  HMODULE first = dll.Module();
  dll.Load();
  EXPECT_EQ(dll.Module(), first);
  // One reference of ours plus none left over: after unloading, the library is gone
  // unless another binding holds it.
  dll.Unload();
  EXPECT_EQ(dll.Module(), nullptr);
}

TEST(ArchiverDll, CommandPassesLineAndNullBufferForSizeZero) {
  Lha().Load();
  SpyLibrary spy(L"UNLHA32.DLL");
  spy.Reset();
  spy.SetResult(0x8019, "bad archive");
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(Lha().Command(reinterpret_cast<HWND>(0x10), " x \"a.lzh\"", buffer, 0), 0x8019);
  EXPECT_EQ(Lha().Command(nullptr, " l", buffer, sizeof buffer), 0x8019);
  EXPECT_STREQ(buffer, "bad arc");
  auto calls = spy.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_NE(calls[0].find("| x \"a.lzh\"|null|0)"), std::string::npos) << calls[0];
  EXPECT_NE(calls[1].find("| l|buf|8)"), std::string::npos) << calls[1];
}

TEST(ArchiverDll, ListingFillsTimesFromTimeEntriesInOrder) {
  Lha().Load();
  SpyLibrary spy(L"UNLHA32.DLL");
  spy.Reset();
  spy.AddEntry("a.txt", 0x5A21, 0x6000);
  spy.AddEntry("dir/b.txt", 0x5A21, 0x6000);
  HARC arc = Lha().OpenArchive(nullptr, "C:\\a.lzh", ProbeOpenMode);
  ASSERT_NE(arc, nullptr);
  TIndividualInfo record{};
  ASSERT_EQ(Lha().FindFirst(arc, "*.*", &record), 0);
  EXPECT_STREQ(record.szFileName, "a.txt");
  EXPECT_EQ(record.ftLastWriteTime.dwLowDateTime, 1u);
  EXPECT_EQ(record.ftLastAccessTime.dwLowDateTime, 2u);
  EXPECT_EQ(record.ftCreationTime.dwLowDateTime, 3u);
  ASSERT_EQ(Lha().FindNext(arc, &record), 0);
  EXPECT_STREQ(record.szFileName, "dir/b.txt");
  EXPECT_EQ(Lha().FindNext(arc, &record), -1);
  Lha().CloseArchive(arc);
  auto calls = spy.Calls();
  std::vector<std::string> names;
  for (auto& c : calls) names.push_back(c.substr(0, c.find('(')));
  std::vector<std::string> expected = {
      "UnlhaOpenArchive", "UnlhaFindFirst", "UnlhaGetWriteTimeEx", "UnlhaGetAccessTimeEx",
      "UnlhaGetCreateTimeEx", "UnlhaFindNext", "UnlhaGetWriteTimeEx", "UnlhaGetAccessTimeEx",
      "UnlhaGetCreateTimeEx", "UnlhaFindNext", "UnlhaCloseArchive"};
  EXPECT_EQ(names, expected);
  EXPECT_NE(calls[0].find("|C:\\a.lzh|8388610)"), std::string::npos) << calls[0];
}

TEST(ArchiverDll, LibraryWithoutTimeEntriesUsesDosDateAndTime) {
  TArchiverDll bare(L"Bare", L"SPYBARE.DLL", "Bare");
  bare.Load();
  SpyLibrary spy(L"SPYBARE.DLL");
  spy.Reset();
  WORD date = 0x5A21, time = 0x6000;  // 2025-01-01 12:00:00
  spy.AddEntry("a.txt", date, time);
  HARC arc = bare.OpenArchive(nullptr, "a", 0);
  TIndividualInfo record{};
  ASSERT_EQ(bare.FindFirst(arc, "*.*", &record), 0);
  FILETIME expected{};
  ASSERT_TRUE(DosDateTimeToFileTime(date, time, &expected));
  for (const FILETIME* t : {&record.ftLastWriteTime, &record.ftLastAccessTime, &record.ftCreationTime}) {
    EXPECT_EQ(t->dwLowDateTime, expected.dwLowDateTime);
    EXPECT_EQ(t->dwHighDateTime, expected.dwHighDateTime);
  }
}

TEST(ArchiverDll, MissingRequiredEntryNamesFullPathAndEntryAndOthersStayUsable) {
  TArchiverDll bare(L"Bare", L"SPYBARE.DLL", "Bare");
  HARC arc = bare.OpenArchive(nullptr, "a", 0);
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(bare.Module(), path, MAX_PATH);
  TIndividualInfo record{};
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      bare.FindNext(arc, &record);
      FAIL() << "no exception";
    } catch (const EEntryNotFound& e) {
      EXPECT_EQ(e.Message(), std::wstring(path) + L" に BareFindNext のエントリが見つかりません。");
    }
  }
  EXPECT_EQ(bare.CloseArchive(arc), 0);
  EXPECT_TRUE(std::filesystem::path(path).is_absolute());
}

TEST(ArchiverDll, LibraryPlantedInCurrentFolderIsNotLoaded) {
  // A real library that exists only in the current folder.
  Lha().Load();
  ASSERT_NE(Lha().Module(), nullptr);
  wchar_t spyDir[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(Lha().Module(), spyDir, MAX_PATH), 0u);
  auto folder = std::filesystem::temp_directory_path() / L"tavix-planted";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(spyDir, folder / L"PLANTED.DLL",
                             std::filesystem::copy_options::overwrite_existing);
  auto old = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  RemoveCurrentDirectoryFromDllSearch();
  TArchiverDll planted(L"Planted", L"PLANTED.DLL", "Unlha");
  EXPECT_THROW(planted.Load(), ENoArchiverDLL);
  std::filesystem::current_path(old);
}

}  // namespace
