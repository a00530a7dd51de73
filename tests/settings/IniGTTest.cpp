#include "settings/IniGT.h"
#include "settings/MainSettings.h"
#include "tests/settings/SettingsTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(Environment, JapaneseCodePage) { ASSERT_EQ(GetACP(), 932u); }

TIniGT IniAt(const std::wstring& path, TIniGTFence fence = fnNone) {
  TIniGT ini;
  ini.SetFence(fence);
  ini.SetFileName(path);
  return ini;
}

TEST(IniGTNumbers, HexDecimalAndGarbage) {
  struct Case {
    const char* stored;
    int expected;
  } cases[] = {
      {"26", 26},          {"0x1A", 26},        {"0X1a", 26},       {"-7", -7},
      {"0x", 99},          {"0X", 99},          {"0x1G", 99},       {"abc", 99},
      {"12abc", 99},       {"", 99},            {"-", 99},          {"2147483647", 2147483647},
      {"2147483648", 99},  {"-2147483648", INT32_MIN}, {"0xFFFFFFFF", -1}, {"0x100000000", 99},
      {"  42  ", 42},  // the profile service trims the blanks around a value
  };
  TempFolder folder;
  std::string file = "[N]\r\n";
  for (size_t i = 0; i < std::size(cases); ++i) {
    file += "k" + std::to_string(i) + "=" + cases[i].stored + "\r\n";
  }
  WriteBytes(folder.File(L"n.ini"), file);
  TIniGT ini = IniAt(folder.File(L"n.ini"));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(ini.ReadInteger(L"N", L"k" + std::to_wstring(i), 99), cases[i].expected)
        << "stored " << cases[i].stored;
  }
  EXPECT_EQ(ini.ReadInteger(L"N", L"missing", 5), 5);
  EXPECT_TRUE(ini.ReadBool(L"N", L"k0", false));
  EXPECT_FALSE(ini.ReadBool(L"N", L"k4", false));  // "0x" is garbage: the default
  EXPECT_TRUE(ini.ReadBool(L"N", L"k4", true));
}

TEST(IniGTFences, ReadingRemovesOnePairByFence) {
  // Values as bytes of code page 932: A2/A3 are the half-width corner brackets.
  TempFolder folder;
  WriteBytes(folder.File(L"f.ini"),
             "[F]\r\nbrackets=\xA2" "abc\xA3\r\nquotes=\"abc\"\r\nlone=\xA2\r\n"
             "twice=\xA2\xA2" "abc\xA3\xA3\r\nopenOnly=\xA2" "abc\r\n");
  struct Case {
    TIniGTFence fence;
    const wchar_t* key;
    std::wstring expected;
  } cases[] = {
      {fnVer11Mode, L"brackets", L"abc"},
      {fnVer11Mode, L"quotes", L"abc"},
      {fnParenthesis, L"brackets", L"abc"},
      {fnNone, L"brackets", L"\uFF62abc\uFF63"},
      {fnDoubleQuote, L"brackets", L"\uFF62abc\uFF63"},
      {fnVer11Mode, L"lone", L"\uFF62"},
      {fnVer11Mode, L"twice", L"\uFF62abc\uFF63"},
      {fnParenthesis, L"openOnly", L"\uFF62abc"},
  };
  for (const auto& c : cases) {
    TIniGT ini = IniAt(folder.File(L"f.ini"), c.fence);
    EXPECT_EQ(ini.ReadString(L"F", c.key, L"-"), c.expected) << c.key << " fence " << c.fence;
  }
}

TEST(IniGTFences, WritingWrapsAndReadsBack) {
  // The file is in the ANSI code page; the corner brackets are single bytes.
  const std::string text = "\x93\xfa\x96\x7b\x8c\xea x";  // 日本語 x in Shift-JIS
  struct Case {
    TIniGTFence fence;
    std::string stored;
  } cases[] = {
      {fnNone, text},
      {fnDoubleQuote, "\"" + text + "\""},
      {fnParenthesis, "\xA2" + text + "\xA3"},
      {fnVer11Mode, "\xA2" + text + "\xA3"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    TIniGT ini = IniAt(folder.File(L"w.ini"), c.fence);
    ini.WriteString(L"S", L"v", L"日本語 x");
    std::string bytes = ReadBytes(folder.File(L"w.ini"));
    EXPECT_NE(bytes.find("v=" + c.stored + "\r\n"), std::string::npos) << "fence " << c.fence;
    EXPECT_EQ(ini.ReadString(L"S", L"v", L""), L"日本語 x") << "fence " << c.fence;
  }
}

TEST(IniGTTexts, DefaultsAndLimit) {
  TempFolder folder;
  for (TIniGTFence fence : {fnNone, fnDoubleQuote, fnParenthesis, fnVer11Mode}) {
    TIniGT ini = IniAt(folder.File(L"absent.ini"), fence);
    EXPECT_EQ(ini.ReadString(L"S", L"k", L"def"), L"def") << fence;
    EXPECT_EQ(ini.ReadString(L"S", L"k", L""), L"") << fence;
  }
  TIniGT ini = IniAt(folder.File(L"long.ini"));
  ini.WriteString(L"S", L"long", std::wstring(1500, L'あ'));
  EXPECT_EQ(ini.ReadString(L"S", L"long", L""), std::wstring(1023, L'あ'));
}

TEST(IniGTFileName, FullPathByDefaultDir) {
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  TIniGT ini;
  ini.SetFileName(L"a.ini");
  EXPECT_EQ(ini.FullPath(), ProgramFolder() + L"a.ini");
  ini.SetDefaultDir(ddWindows);
  EXPECT_EQ(ini.FullPath(), std::wstring(windows) + L"\\a.ini");
  ini.SetDefaultDir(ddNone);
  EXPECT_EQ(ini.FullPath(), L"a.ini");
  ini.SetFileName(L"C:\\x\\b.ini");
  EXPECT_EQ(ini.FullPath(), L"C:\\x\\b.ini");
  ini.SetDefaultDir(ddApplication);
  EXPECT_EQ(ini.FullPath(), L"C:\\x\\b.ini");
}

TEST(IniGTFileName, DefaultNameFromProgram) {
  // The test program is settings_tests.exe.
  TIniGT ini;
  ini.Loaded();
  EXPECT_EQ(ini.FileName(), L"Settings_tests.ini");
  EXPECT_EQ(ini.FullPath(), ProgramFolder() + L"Settings_tests.ini");
  TIniGT named;
  named.SetFileName(L"own.ini");
  named.Loaded();
  EXPECT_EQ(named.FileName(), L"own.ini");
}

TEST(IniGTReadOnly, WarnsOnceThenSkipsWrites) {
  WarningRecorder warnings;
  TempFolder folder;
  std::wstring path = folder.File(L"ro.ini");
  WriteBytes(path, "[S]\r\nk=5\r\n");
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  TIniGT ini = IniAt(path);
  ASSERT_EQ(warnings.texts.size(), 1u);
  EXPECT_EQ(warnings.texts[0], path + L"は書込み禁止です.データの保存は出来ません.");
  EXPECT_TRUE(ini.WriteDisabled());
  ini.WriteInteger(L"S", L"k", 6);
  ini.WriteString(L"S", L"t", L"x");
  ini.WriteBool(L"S", L"b", true);
  EXPECT_EQ(warnings.texts.size(), 1u);
  EXPECT_EQ(ReadBytes(path), "[S]\r\nk=5\r\n");
  EXPECT_EQ(ini.ReadInteger(L"S", L"k", 0), 5);

  // A writable file neither warns nor refuses.
  TIniGT other = IniAt(folder.File(L"rw.ini"));
  EXPECT_FALSE(other.WriteDisabled());
  EXPECT_EQ(warnings.texts.size(), 1u);
}

TEST(IniGTWriteError, NamesThePath) {
  TempFolder folder;
  std::wstring path = folder.File(L"no such folder\\x.ini");
  TIniGT ini = IniAt(path);
  try {
    ini.WriteInteger(L"S", L"k", 1);
    FAIL() << "no error";
  } catch (const EIniFileError& e) {
    EXPECT_EQ(e.Message(), path + L" に書き込めません");
  }
  EXPECT_THROW(ini.WriteString(L"S", L"k", L"v"), EIniFileError);
  EXPECT_THROW(ini.WriteBool(L"S", L"k", true), EIniFileError);
}

TEST(MainSettings, MissingFileGivesDefaults) {
  TempFolder folder;
  TIniGT ini = IniAt(folder.File(L"Tavix.ini"));
  TMainSettings s = ReadMainSettings(ini, L"C:\\windows");
  EXPECT_EQ(s.WorkDir, L"C:\\windows\\temp");
  EXPECT_EQ(s.SpisDir, L"C:");
  EXPECT_EQ(s.LastOpen, L"C:");
  EXPECT_EQ(s.LastExtract, L"C:");
  EXPECT_EQ(s.TextFiles, L".TXT.INI.C.CPP.PAS.INC.H.HPP.ASM.DOC");
  EXPECT_EQ(s.Archives, L".LZH.ZIP.CAB.ARJ.RAR.TAR.TZ.BZ2.GZ.Z");
  EXPECT_EQ(s.FolderOption, 2);
  EXPECT_EQ(s.NewMode, 3);
  EXPECT_EQ(s.LzhPackOption, 2);
  EXPECT_EQ(s.ZipPackOption, 2);
  EXPECT_EQ(s.MainWidth, 432);
  EXPECT_EQ(s.MainHeight, 340);
  EXPECT_EQ(s.IconStyle, 3);
  EXPECT_EQ(s.ShortCuts[0], L"F3");
  EXPECT_EQ(s.ShortCuts[2], L"Ctrl+M");
  EXPECT_EQ(s.ShortCuts[13], L"Ctrl+V");
  EXPECT_EQ(s.ShortCuts[16], L"");
  for (bool shown : s.ToolBtn) EXPECT_TRUE(shown);
  EXPECT_EQ(s.HowManyOpen, 0);
  // Of the Options flags only these two default to on.
  for (const auto& row : MainSettingKeys()) {
    if (row.Type != TSettingType::Flag || row.Section != L"Options") continue;
    bool on = row.Key == L"MakeArcDir" || row.Key == L"UseShellIcon" || row.Key == L"CmnOpenDlg";
    EXPECT_EQ(row.Flag(s), on) << std::string(row.Key.begin(), row.Key.end());
  }
  EXPECT_EQ(DefaultWorkDir(L""), L"c:\\WIndows\\Temp");
  EXPECT_EQ(WindowsDrive(L"\\\\srv\\share\\windows"), L"\\\\srv\\share");
}

TEST(MainSettings, WrittenAtCloseAndReadBack) {
  TempFolder folder;
  std::wstring path = folder.File(L"Tavix.ini");
  TIniGT ini = IniAt(path);
  TMainSettings s = DefaultMainSettings(L"C:\\windows");
  s.WorkDir = L"D:\\作業";
  s.MakeArcDir = false;
  s.ExtractFileOpt = 1;
  s.ToolBtn[23] = false;
  s.ShortCuts[14] = L"Ctrl+Shift+S";
  s.MainLeft = -5;
  s.LastOpen = L"E:\\書庫";
  s.LastExtract = L"should not be written";
  s.ExtractBoxText = L"written after the dialog";
  s.HowManyOpen = 7;
  WriteMainSettings(ini, s, TSettingWrite::AtClose);
  TMainSettings back = ReadMainSettings(ini, L"C:\\windows");
  EXPECT_EQ(back.WorkDir, L"D:\\作業");
  EXPECT_FALSE(back.MakeArcDir);
  EXPECT_EQ(back.ExtractFileOpt, 1);
  EXPECT_FALSE(back.ToolBtn[23]);
  EXPECT_TRUE(back.ToolBtn[22]);
  EXPECT_EQ(back.ShortCuts[14], L"Ctrl+Shift+S");
  EXPECT_EQ(back.MainLeft, -5);
  EXPECT_EQ(back.LastOpen, L"E:\\書庫");
  EXPECT_EQ(back.LastExtract, L"C:");
  EXPECT_EQ(back.ExtractBoxText, L"");
  EXPECT_EQ(back.HowManyOpen, 0);

  WriteMainSettings(ini, s, TSettingWrite::AfterExtractDialog);
  EXPECT_EQ(ReadMainSettings(ini, L"C:\\windows").ExtractBoxText, L"written after the dialog");
  std::string bytes = ReadBytes(path);
  EXPECT_NE(bytes.find("[DeksTop]"), std::string::npos);
  EXPECT_NE(bytes.find("[DeskTop]"), std::string::npos);
  EXPECT_EQ(bytes.find("should not be written"), std::string::npos);

  const TMainSettingKey* row = FindMainSettingKey(L"options", L"fileopenmode");
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->Key, L"FIleOpenMode");
  EXPECT_EQ(row->DialogControl, L"UseOwnViewer");
}

}  // namespace
