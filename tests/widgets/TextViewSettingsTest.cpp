#include "TextViewSettings.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::wstring TempFile(const wchar_t* name) {
  auto path = std::filesystem::temp_directory_path() / (std::wstring(name) + std::to_wstring(GetCurrentProcessId()));
  std::filesystem::remove(path);
  return path.wstring();
}

TEST(EditorSettings, TheViewerDefaultsAndTheLineBreakingSets) {
  TEditorSettings s;
  EXPECT_TRUE(s.wordWrap);
  EXPECT_EQ(s.wrapColumn, 80);
  EXPECT_EQ(s.tabSize, 4);
  EXPECT_TRUE(s.returnMark);
  EXPECT_TRUE(s.eofMark);
  EXPECT_TRUE(s.markAddresses);
  EXPECT_EQ(s.fontName, L"ＭＳ ゴシック");
  EXPECT_EQ(s.followChars, L"、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』!),.:;?]}｡｣､･ｰﾞﾟ");
  EXPECT_EQ(s.leadChars, L"（［｛「『([{｢");
  EXPECT_EQ(s.punctuationChars, L"、。，．,.｡､");
}

TEST(EditorSettings, SaveAndLoadRoundTripEverySetting) {
  std::wstring path = TempFile(L"tavix-env-");
  // The environments keep their own section in the same file.
  WritePrivateProfileStringW(L"Environ", L"Name", L"ログ", path.c_str());
  TEditorSettings s;
  s.freeCaret = true;
  s.tabSize = 8;
  s.scrollBars = sbVertical;
  s.marginLeft = 12;
  s.fontName = L"IPAGothic";
  s.fontSize = 14;
  s.lineNumbers = true;
  s.lineNumberDigits = 7;
  s.ruler = true;
  s.rulerGauge = 8;
  s.brackets = {{L"<", L">"}, {L"【", L"】"}};
  s.quotes = L"\"'";
  s.hexPrefix = L"$";
  s.lineComment = L" ;";
  s.colors[teNumber] = {RGB(1, 2, 3), RGB(4, 5, 6), true, true, false};
  s.wrapColumn = 0;
  s.followChars = L"」";
  s.pushOut = false;
  s.reservedWords = {L"begin", L"end", L"関数"};
  ASSERT_TRUE(s.Save(path));
  TEditorSettings loaded;
  ASSERT_TRUE(loaded.Load(path));
  EXPECT_TRUE(loaded == s);
  wchar_t name[64] = {};
  GetPrivateProfileStringW(L"Environ", L"Name", L"", name, 64, path.c_str());
  EXPECT_STREQ(name, L"ログ");
  // A shorter list replaces a longer one whole.
  s.reservedWords = {L"only"};
  s.brackets.clear();
  ASSERT_TRUE(s.Save(path));
  ASSERT_TRUE(loaded.Load(path));
  EXPECT_EQ(loaded.reservedWords, s.reservedWords);
  EXPECT_TRUE(loaded.brackets.empty());
  std::filesystem::remove(path);
}

TEST(EditorSettings, AMissingOrForeignFileChangesNothingAndValuesAreClamped) {
  TEditorSettings s;
  s.tabSize = 7;
  EXPECT_FALSE(s.Load(TempFile(L"tavix-missing-")));
  std::wstring path = TempFile(L"tavix-foreign-");
  WritePrivateProfileStringW(L"Other", L"Key", L"1", path.c_str());
  EXPECT_FALSE(s.Load(path));
  EXPECT_EQ(s.tabSize, 7);
  WritePrivateProfileStringW(L"Editor", L"Version", L"1", path.c_str());
  WritePrivateProfileStringW(L"View", L"TabSize", L"99", path.c_str());
  WritePrivateProfileStringW(L"WordWrap", L"Column", L"-5", path.c_str());
  WritePrivateProfileStringW(L"View", L"FontSize", L"junk", path.c_str());
  ASSERT_TRUE(s.Load(path));
  EXPECT_EQ(s.tabSize, 16);
  EXPECT_EQ(s.wrapColumn, 0);
  EXPECT_EQ(s.fontSize, TEditorSettings{}.fontSize);
  std::filesystem::remove(path);
}

}  // namespace
