// Display texts of the entry list, sorting on those texts, shortcut texts.
#include "app/ListRecord.h"
#include "settings/ShortCutText.h"

#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

namespace {

constexpr WORD Date(int y, int m, int d) { return static_cast<WORD>(((y - 1980) << 9) | (m << 5) | d); }
constexpr WORD Time(int h, int mi, int halfSeconds) { return static_cast<WORD>((h << 11) | (mi << 5) | halfSeconds); }

TEST(ListRecordTexts, EnvironmentIsJapanese) { EXPECT_EQ(GetACP(), 932u); }

TEST(ListRecordTexts, NumbersDatesAndTimes) {
  TNumberStyle style;  // "," and "."
  struct Case {
    uint64_t size;
    const wchar_t* text;
  } sizes[] = {{0, L"       0"}, {999, L"     999"}, {1000, L"   1,000"}, {12345678, L"12,345,678"},
               {4294967295u, L"4,294,967,295"}};
  for (const Case& c : sizes) EXPECT_EQ(FormatSize(c.size, style), c.text) << c.size;
  EXPECT_EQ(FormatRatio(452, style), L"45.2%");
  EXPECT_EQ(FormatRatio(1000, style), L"100.0%");
  EXPECT_EQ(FormatRatio(5, style), L"0.5%");
  EXPECT_EQ(FormatDosDate(Date(2025, 4, 1)), L"2025/04/01");
  EXPECT_EQ(FormatDosTime(Time(10, 20, 15)), L"10:20:30");  // seconds are stored halved
  EXPECT_EQ(FormatDosTime(Time(23, 59, 29)), L"23:59:58");
}

TEST(ListRecordTexts, LocaleSeparatorsAndTheWidestValuesFitTheirFields) {
  TNumberStyle german{L'.', L','};
  EXPECT_EQ(FormatSize(1234567, german), L"1.234.567");
  EXPECT_EQ(FormatRatio(65535, german), L"6.553,5%");
  TNumberStyle none{L'\0', L'.'};  // a locale without a thousands separator
  EXPECT_EQ(FormatSize(1234567, none), L" 1234567");
  TIndividualInfo info{};
  std::strcpy(info.szFileName, "a");
  info.dwOriginalSize = info.dwCompressedSize = 4294967295u;
  info.wRatio = 65535;
  info.wDate = 0xFFFF;
  info.wTime = 0xFFFF;
  TListRecord record;
  FillListRecord(record, info, TNumberStyle{});
  EXPECT_STREQ(record.size, L"4,294,967,295");
  EXPECT_STREQ(record.compressed, L"4,294,967,295");
  EXPECT_STREQ(record.ratio, L"6,553.5%");
  EXPECT_STREQ(record.date, L"2107/15/31");
  EXPECT_STREQ(record.time, L"31:63:62");
}

TEST(ListRecordTexts, NamesSplitAtEitherSlashAndJoinWithSlashes) {
  struct Case {
    const wchar_t *stored, *folder, *name, *entryPath;
  } cases[] = {
      {L"docs/sub/readme.txt", L"docs\\sub", L"readme.txt", L"docs/sub/readme.txt"},
      {L"docs\\a.txt", L"docs", L"a.txt", L"docs/a.txt"},
      {L"plain.txt", L"", L"plain.txt", L"plain.txt"},
      {L"dir/", L"dir", L"", L"dir/"},
  };
  for (const Case& c : cases) {
    TListRecord record;
    SplitEntryName(c.stored, record.folder, record.name);
    EXPECT_EQ(record.folder, c.folder) << c.stored;
    EXPECT_EQ(record.name, c.name) << c.stored;
    EXPECT_EQ(EntryPath(record), c.entryPath) << c.stored;
  }
}

TEST(ListRecordTexts, ShiftJisNamesWithBackslashSecondBytesStayWhole) {
  TIndividualInfo info{};
  // "表" is 0x95 0x5C in Shift-JIS: its second byte must not split the name.
  std::strcpy(info.szFileName, "dir/\x95\x5C.txt");
  TListRecord record;
  FillListRecord(record, info, TNumberStyle{});
  EXPECT_EQ(record.folder, L"dir");
  EXPECT_EQ(record.name, L"表.txt");
}

TEST(ListRecordTexts, UnterminatedNameFieldIsCut) {
  TIndividualInfo info{};
  std::memset(info.szFileName, 'a', sizeof info.szFileName);
  std::memset(info.dummy1, 'b', sizeof info.dummy1);
  TListRecord record;
  FillListRecord(record, info, TNumberStyle{});
  EXPECT_EQ(record.name.size(), 255u);
  // A folder longer than its field is cut as well, and keeps "\" as separator.
  std::memset(info.szFileName, 'a', sizeof info.szFileName);
  info.szFileName[1] = '/';
  info.szFileName[400] = '/';
  FillListRecord(record, info, TNumberStyle{});
  EXPECT_EQ(record.folder.size(), 255u);
  EXPECT_EQ(record.folder.substr(0, 3), L"a\\a");
  EXPECT_EQ(record.name.size(), 112u);  // up to the field's end
}

std::vector<TListRecord> Records(std::initializer_list<const wchar_t*> sizes) {
  std::vector<TListRecord> records;
  for (const wchar_t* size : sizes) {
    TListRecord& record = records.emplace_back();
    std::wcsncpy(record.size, size, 13);
    std::wcsncpy(record.ratio, size, 8);
    record.name = size;
  }
  return records;
}

std::vector<std::wstring> Column(const std::vector<TListRecord>& records, int column) {
  std::vector<std::wstring> texts;
  for (const TListRecord& record : records) texts.push_back(record.ColumnText(column));
  return texts;
}

TEST(ListRecordSorting, SizesCompareAsTextSoWideSizesSortBeforeSmallerOnes) {
  TNumberStyle style;
  auto records = Records({});
  for (uint64_t size : {2000000ull, 500ull, 10000000ull, 70000ull}) {
    TListRecord& record = records.emplace_back();
    std::wcscpy(record.size, FormatSize(size, style).c_str());
  }
  SortListRecords(records, 3, false);
  EXPECT_EQ(Column(records, 3),
            (std::vector<std::wstring>{L"     500", L"  70,000", L"10,000,000", L"2,000,000"}));
  SortListRecords(records, 3, true);
  EXPECT_EQ(Column(records, 3),
            (std::vector<std::wstring>{L"2,000,000", L"10,000,000", L"  70,000", L"     500"}));
}

TEST(ListRecordSorting, RatioSortsAsText) {
  auto records = Records({L"45.2%", L"100.0%", L"9.0%"});
  SortListRecords(records, 4, false);
  EXPECT_EQ(Column(records, 4), (std::vector<std::wstring>{L"100.0%", L"45.2%", L"9.0%"}));
}

TEST(ListRecordSorting, NamesCompareCaseSensitively) {
  // The locale's case-sensitive order puts a lower-case letter before its capital.
  auto records = Records({L"B.txt", L"b.txt", L"a.txt", L"A.txt"});
  SortListRecords(records, 0, false);
  EXPECT_EQ(Column(records, 0), (std::vector<std::wstring>{L"a.txt", L"A.txt", L"b.txt", L"B.txt"}));
  SortListRecords(records, 0, true);
  EXPECT_EQ(Column(records, 0), (std::vector<std::wstring>{L"B.txt", L"b.txt", L"A.txt", L"a.txt"}));
}

// Sorting compares prepared keys; the order must stay the one CompareStringW
// gives on every comparison, ties included (the sort is not stable), for
// Japanese names, full- and half-width forms, mixed case and numbers.
TEST(ListRecordSorting, KeyOrderIsTheOrderOfCompareString) {
  const wchar_t* pieces[] = {L"ア", L"あ", L"ｱ", L"亜", L"表", L"ー", L"A",  L"a",    L"Ａ",   L"ａ",   L"B",
                             L"b",  L"1",  L"２", L"10", L"9",  L"_",  L"-",  L" ",    L".",    L"~",    L"日本",
                             L"ファイル", L"ﾌｧｲﾙ", L"file", L"File", L"FILE", L"0", L"00", L"é", L"E", L"ß"};
  TNumberStyle style;
  std::vector<TListRecord> records;
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  for (int i = 0; i < 3000; ++i) {
    TListRecord& record = records.emplace_back();
    record.iconIndex = i;  // tells equal texts apart
    for (uint32_t k = 0, n = 1 + next(5); k < n; ++k) record.name += pieces[next(std::size(pieces))];
    for (uint32_t k = 0, n = next(3); k < n; ++k) record.folder += pieces[next(std::size(pieces))];
    std::wcscpy(record.date, FormatDosDate(static_cast<WORD>(next(0xFFFF))).c_str());
    std::wcscpy(record.time, FormatDosTime(static_cast<WORD>(next(0xBF7F))).c_str());
    std::wcscpy(record.size, FormatSize(next(3) ? next(100000) : next(4000000000u), style).c_str());
    std::wcscpy(record.ratio, FormatRatio(next(1001), style).c_str());
    std::wcscpy(record.compressed, FormatSize(next(50000), style).c_str());
  }
  for (int column = 0; column < ListColumnCount; ++column) {
    for (bool descending : {false, true}) {
      SCOPED_TRACE(column * 2 + descending);
      std::vector<TListRecord> expected = records, actual = records;
      std::sort(expected.begin(), expected.end(), [&](const TListRecord& a, const TListRecord& b) {
        int order =
            CompareStringW(LOCALE_USER_DEFAULT, 0, a.ColumnText(column), -1, b.ColumnText(column), -1) - CSTR_EQUAL;
        return descending ? order > 0 : order < 0;
      });
      SortListRecords(actual, column, descending);
      ASSERT_EQ(actual.size(), expected.size());
      size_t differ = 0;
      for (size_t i = 0; i < actual.size(); ++i) {
        if (actual[i].iconIndex == expected[i].iconIndex) continue;
        if (differ++ < 5) ADD_FAILURE() << i << ": " << testing::PrintToString(std::wstring(actual[i].ColumnText(column)))
                                        << " where " << testing::PrintToString(std::wstring(expected[i].ColumnText(column)));
      }
      EXPECT_EQ(differ, 0u);
    }
  }
}

TEST(ShortCutText, TextsConvertBothWays) {
  struct Case {
    const wchar_t* text;
    TShortCut shortCut;
  } cases[] = {
      {L"Ctrl+M", static_cast<TShortCut>(scCtrl | 'M')}, {L"F3", VK_F3},
      {L"Shift+F3", static_cast<TShortCut>(scShift | VK_F3)}, {L"Ctrl+Q", static_cast<TShortCut>(scCtrl | 'Q')},
      {L"Shift+Ctrl+Alt+Del", static_cast<TShortCut>(scShift | scCtrl | scAlt | VK_DELETE)},
      {L"F12", VK_F12}, {L"Esc", VK_ESCAPE}, {L"Ctrl+1", static_cast<TShortCut>(scCtrl | '1')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextToShortCut(c.text), c.shortCut) << c.text;
    EXPECT_EQ(ShortCutToText(c.shortCut), c.text) << c.text;
  }
  EXPECT_EQ(TextToShortCut(L"ctrl + m"), static_cast<TShortCut>(scCtrl | 'M'));
  for (const wchar_t* bad : {L"", L"Ctrl+", L"Hyper+M", L"F0", L"F25", L"Ctrl+MM"})
    EXPECT_EQ(TextToShortCut(bad), scNone) << bad;
  EXPECT_EQ(ShortCutToText(scNone), L"");
  ACCEL accel = ShortCutToAccel(static_cast<TShortCut>(scShift | VK_F3), 7);
  EXPECT_EQ(accel.fVirt, FVIRTKEY | FSHIFT);
  EXPECT_EQ(accel.key, VK_F3);
}

}  // namespace
