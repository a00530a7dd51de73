#include "settings/HistoryEx.h"
#include "tests/settings/SettingsTestSupport.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::wstring>;

TEST(HistoryExAdd, MostRecentFirstWithoutRepeats) {
  THistoryEx h(L"OpenHistory");
  EXPECT_EQ(h.Count(), -1);
  EXPECT_EQ(h.Max(), 10);
  h.Add(L"C:\\a.lzh");
  h.Add(L"C:\\b.lzh");
  h.Add(L"C:\\a.lzh");
  EXPECT_EQ(h.History(), (Lines{L"C:\\a.lzh", L"C:\\b.lzh"}));
  h.Add(L"C:\\A.LZH");  // differs in case only: a line of its own
  EXPECT_EQ(h.History(), (Lines{L"C:\\A.LZH", L"C:\\a.lzh", L"C:\\b.lzh"}));
  EXPECT_EQ(h.Count(), 3);
}

TEST(HistoryExAdd, KeepsAtMostMax) {
  THistoryEx h(L"H");
  for (int i = 0; i < 11; ++i) h.Add(std::to_wstring(i));
  ASSERT_EQ(h.Count(), 10);
  EXPECT_EQ(h.History().front(), L"10");
  EXPECT_EQ(h.History().back(), L"1");  // "0", the oldest, dropped

  // A full list re-adding one of its lines keeps all the others.
  h.Add(L"5");
  EXPECT_EQ(h.Count(), 10);
  EXPECT_EQ(h.History().front(), L"5");
  EXPECT_EQ(h.History().back(), L"1");

  // A lowered Max trims the list on the next add instead of keeping it over.
  h.SetMax(3);
  h.Add(L"new");
  EXPECT_EQ(h.History(), (Lines{L"new", L"5", L"10"}));
  h.SetMax(0);
  h.Add(L"none");
  EXPECT_EQ(h.Count(), 0);
}

TEST(HistoryExSetFromList, CopiesUpToMax) {
  THistoryEx h(L"H");
  h.SetFromList({});
  EXPECT_EQ(h.Count(), -1);
  h.SetFromList({L"only"});
  EXPECT_EQ(h.History(), (Lines{L"only"}));
  h.SetMax(2);
  h.SetFromList({L"x", L"y", L"z"});
  EXPECT_EQ(h.History(), (Lines{L"x", L"y"}));
  h.SetFromList({});
  EXPECT_EQ(h.History(), (Lines{L"x", L"y"}));
}

struct HistoryFile : ::testing::Test {
  TempFolder folder;
  std::wstring path = folder.File(L"Tavix.ini");
  THistoryEx Named(const std::wstring& name) {
    THistoryEx h(name);
    h.SetFileName(path);
    return h;
  }
};

TEST_F(HistoryFile, LoadCollapsesDuplicatesAndSkipsNil) {
  WriteBytes(path, "[OpenHistory]\r\n0=A\r\n1=B\r\n2=A\r\n3=NIL\r\n4=C\r\n[Other]\r\n0=X\r\n");
  THistoryEx h = Named(L"OpenHistory");
  h.Load();
  EXPECT_EQ(h.History(), (Lines{L"A", L"B", L"C"}));
  // Lines already there stay below the loaded ones.
  THistoryEx other = Named(L"Other");
  other.Add(L"mine");
  other.Reload();
  EXPECT_EQ(other.History(), (Lines{L"X", L"mine"}));
}

TEST_F(HistoryFile, SaveLeavesKeysAboveTheCount) {
  THistoryEx h = Named(L"MeltHistory");
  h.SetFromList({L"1", L"2", L"3", L"4", L"5"});
  ASSERT_TRUE(h.Save());
  h.SetFromList({L"c", L"", L"a"});
  ASSERT_TRUE(h.Save());
  std::string bytes = ReadBytes(path);
  EXPECT_NE(bytes.find("1=NIL"), std::string::npos) << bytes;

  THistoryEx back = Named(L"MeltHistory");
  back.Load();
  EXPECT_EQ(back.History(), (Lines{L"c", L"a", L"4", L"5"}));
}

TEST_F(HistoryFile, JapanesePathsSurvive) {
  THistoryEx h = Named(L"ExtractHistory");
  h.Add(L"D:\\解凍先\\ﾃｽﾄ");
  ASSERT_TRUE(h.Save());
  THistoryEx back = Named(L"ExtractHistory");
  back.Load();
  EXPECT_EQ(back.History(), (Lines{L"D:\\解凍先\\ﾃｽﾄ"}));
}

TEST_F(HistoryFile, UnreadableOrReadOnlyFiles) {
  THistoryEx missing = Named(L"H");
  missing.SetFileName(folder.File(L"absent\\x.ini"));
  missing.Load();
  EXPECT_EQ(missing.Count(), -1);
  missing.Add(L"x");
  EXPECT_FALSE(missing.Save());  // the folder does not exist

  WriteBytes(path, "[H]\r\n0=old\r\n");
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  THistoryEx h = Named(L"H");
  h.Load();
  h.Add(L"new");
  EXPECT_TRUE(h.Save());
  EXPECT_EQ(ReadBytes(path), "[H]\r\n0=old\r\n");
}

TEST(HistoryExFile, BesideTheProgram) {
  THistoryEx h(L"H");
  EXPECT_EQ(h.FileName(), ProgramFolder() + L"settings_tests.ini");
}

}  // namespace
