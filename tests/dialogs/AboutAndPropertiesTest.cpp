// The about box's version text and the archive properties dialog.
#include "AboutDialog.h"
#include "ArcPropDialog.h"
#include "ArcPropDialogIds.h"
#include "DialogDriver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring BinFolder() {
  std::wstring path = L"Z:" + std::wstring(TAVIX_BINARY_DIR, TAVIX_BINARY_DIR + strlen(TAVIX_BINARY_DIR)) + L"/bin/";
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

FILETIME LocalTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME time{year, month, 0, day, hour, minute, second, 0};
  FILETIME local{}, utc{};
  SystemTimeToFileTime(&time, &local);
  LocalFileTimeToFileTime(&local, &utc);
  return utc;
}

TEST(AboutBox, ShowsTheProgramsFileVersionByItsFirstTranslation) {
  EXPECT_EQ(TAbout::FileVersionOf(BinFolder() + L"Tavix.exe"), L"0.1.0");
  EXPECT_EQ(TAbout::FileVersionOf(BinFolder() + L"dialogs_tests.exe"), L"");
  EXPECT_EQ(TAbout::FileVersionOf(BinFolder() + L"version_probe.dll"), L"UnKnown");
  EXPECT_EQ(TAbout::FileVersionOf(BinFolder() + L"missing.exe"), L"");
}

TEST(ArchiveProperties, LabelsFollowTheListingAndTheFile) {
  TArcProp::TFacts facts;
  facts.Name = L"report.lzh";
  facts.FileKnown = true;
  facts.WriteTime = LocalTime(2026, 3, 9, 13, 5, 58);
  facts.ArchiveSize = 1234567;
  facts.EntryCount = 12345;
  facts.OriginalSize = 2469134;
  facts.CompressionType = L"-lh5-";
  facts.EditableKind = true;
  TArcProp::TTexts texts = TArcProp::TextsFor(facts);
  EXPECT_EQ(texts.Mdate, L"2026/03/09 13:05:58");
  EXPECT_EQ(texts.ASize, L"1,234,567");
  EXPECT_EQ(texts.FilesN, L"12,345");
  EXPECT_EQ(texts.OrgSize, L"2,469,134");
  EXPECT_EQ(texts.TotalRatio, L"50.0%");
  EXPECT_EQ(texts.CType, L"-lh5-");
  EXPECT_TRUE(texts.CanEditEnabled);

  // Two-second steps: an odd second shows the even one below it.
  facts.WriteTime = LocalTime(2026, 3, 9, 13, 5, 59);
  EXPECT_EQ(TArcProp::TextsFor(facts).Mdate, L"2026/03/09 13:05:58");

  facts.ArchiveSize = 9;
  facts.OriginalSize = 100;
  EXPECT_EQ(TArcProp::TextsFor(facts).TotalRatio, L" 9.0%");
  facts.OriginalSize = 0;
  EXPECT_EQ(TArcProp::TextsFor(facts).TotalRatio, L"-");

  TArcProp::TFacts empty = facts;
  empty.EntryCount = 0;
  texts = TArcProp::TextsFor(empty);
  EXPECT_EQ(texts.Mdate, L"?\?-?\?-?? ??:??:??");
  EXPECT_EQ(texts.ASize, L"0");
  EXPECT_EQ(texts.FilesN, L"?");
  EXPECT_EQ(texts.OrgSize, L"?");
  EXPECT_EQ(texts.CType, L"-??\?-");
  EXPECT_EQ(texts.TotalRatio, L"0");
  EXPECT_FALSE(texts.CanEditEnabled);

  // A listing that failed still shows the file's own facts.
  empty.ListingAvailable = false;
  EXPECT_EQ(TArcProp::TextsFor(empty).ASize, L"9");

  TArcProp::TFacts tar = facts;
  tar.EditableKind = false;
  EXPECT_FALSE(TArcProp::TextsFor(tar).CanEditEnabled);
}

TEST(ArchiveProperties, CloseBoxStillHandsBackBothValues) {
  TArcProp::TFacts facts;
  facts.Name = L"report.lzh";
  facts.FileKnown = true;
  facts.EntryCount = 1;
  facts.EditableKind = true;
  TUserThread user([] {
    HWND dialog = WaitForWindow(L"書庫のﾌﾟﾛﾊﾟﾃｨ");
    ASSERT_NE(dialog, nullptr);
    HWND canEdit = GetDlgItem(dialog, IDC_ARCPROP_CANEDIT);
    HWND baseDir = GetDlgItem(dialog, IDC_ARCPROP_BASEDIR);
    EXPECT_FALSE(IsWindowEnabled(baseDir));
    SendMessageW(canEdit, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(baseDir));
    SetWindowTextW(baseDir, L"");
    TypeText(baseDir, L"C:\\基準");
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  TArcProp::TChoice choice = TArcProp::ShowModal(nullptr, facts, {true, L"C:\\old"});
  user.Join();
  EXPECT_FALSE(choice.ReadOnly);
  EXPECT_EQ(choice.BaseDir, L"C:\\基準");

  // A kind that cannot be changed keeps its state, whatever it was.
  facts.EditableKind = false;
  TUserThread closer([] {
    HWND dialog = WaitForWindow(L"書庫のﾌﾟﾛﾊﾟﾃｨ");
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_ARCPROP_CANEDIT)));
    PressUntilGone(dialog, IDOK);
  });
  choice = TArcProp::ShowModal(nullptr, facts, {false, L"C:\\keep"});
  closer.Join();
  EXPECT_FALSE(choice.ReadOnly);
  EXPECT_EQ(choice.BaseDir, L"C:\\keep");
}

}  // namespace
