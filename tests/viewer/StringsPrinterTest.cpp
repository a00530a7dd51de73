// The printer's page layout as plain code: clamping, paper sizes, geometry
// worked out by hand, double-byte-aware wrapping, header and footer codes,
// columns, line numbers, line and page selection; and one page recorded as a
// metafile whose text records are read back.
#include "StringsPrinter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Ten dots a byte: a double-byte character is two cells.
int CellWidth(const char* bytes, int length) { return 10 * length; }

std::string Sjis(const std::wstring& text) {
  int n = WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  return bytes;
}

std::wstring Wide(const std::string& bytes) {
  int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
  return text;
}

// A page of 1000 x 1000 dots at 254 dpi (10 dots a millimetre) without paper size.
TPrinterMetrics SmallPage() {
  TPrinterMetrics m;
  m.dpi = 254;
  m.pageWidth = 1000;
  m.pageHeight = 1000;
  return m;
}
const TFontMetrics kFont{100, 10};

SYSTEMTIME Noon() {
  SYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = 3;
  t.wDay = 7;
  t.wHour = 12;
  return t;
}

std::vector<std::string> Numbered(int count) {
  std::vector<std::string> lines;
  for (int i = 1; i <= count; ++i) lines.push_back("line " + std::to_string(i));
  return lines;
}

std::vector<const TPageItem*> ItemsOf(const TLayoutPage& page, TPageItem::Kind kind) {
  std::vector<const TPageItem*> items;
  for (const auto& item : page.items)
    if (item.kind == kind) items.push_back(&item);
  return items;
}

TEST(StringsPrinterLayout, RunsInTheJapaneseCodePage) { ASSERT_EQ(GetACP(), 932u); }

TEST(StringsPrinterLayout, PropertiesStartAsCreatedAndClampWhenSet) {
  TStringsPrinter p;
  EXPECT_EQ(p.ColumnCount(), 1);
  EXPECT_EQ(p.ColumnSpace(), 4);
  EXPECT_EQ(p.FirstPageNumber(), 0);
  EXPECT_EQ(p.LastPage(), 999999);
  EXPECT_EQ(p.HeaderAlign(), haNone);
  EXPECT_EQ(p.PageOption(), poBoth);
  struct Case {
    void (TStringsPrinter::*set)(int);
    int (TStringsPrinter::*get)() const;
    int low, high;
  };
  const Case cases[] = {
      {&TStringsPrinter::SetColumnCount, &TStringsPrinter::ColumnCount, 1, 3},
      {&TStringsPrinter::SetColumnSpace, &TStringsPrinter::ColumnSpace, 0, 100},
      {&TStringsPrinter::SetMarginLeft, &TStringsPrinter::MarginLeft, 0, 100},
      {&TStringsPrinter::SetMarginRight, &TStringsPrinter::MarginRight, 0, 100},
      {&TStringsPrinter::SetMarginTop, &TStringsPrinter::MarginTop, 0, 100},
      {&TStringsPrinter::SetMarginBottom, &TStringsPrinter::MarginBottom, 0, 100},
      {&TStringsPrinter::SetMarginLine, &TStringsPrinter::MarginLine, 0, 100},
      {&TStringsPrinter::SetFirstLineNumber, &TStringsPrinter::FirstLineNumber, 1, 999999},
      {&TStringsPrinter::SetFirstPageNumber, &TStringsPrinter::FirstPageNumber, 1, 999999},
      {&TStringsPrinter::SetStartLine, &TStringsPrinter::StartLine, 1, 999999},
      {&TStringsPrinter::SetLastLine, &TStringsPrinter::LastLine, 1, 999999},
      {&TStringsPrinter::SetStartPage, &TStringsPrinter::StartPage, 1, 999999},
      {&TStringsPrinter::SetLastPage, &TStringsPrinter::LastPage, 1, 999999},
  };
  for (const auto& c : cases) {
    (p.*c.set)(c.low - 1);
    EXPECT_EQ((p.*c.get)(), c.low);
    (p.*c.set)(c.high + 1);
    EXPECT_EQ((p.*c.get)(), c.high);
    (p.*c.set)(c.low + 1);
    EXPECT_EQ((p.*c.get)(), c.low + 1);
  }
  TStringsPrinter copy;
  p.SetHeader(L"%p");
  p.SetFileName(L"C:\\doc\\a.txt");
  copy.Assign(p);
  EXPECT_EQ(copy.Header(), L"%p");
  EXPECT_EQ(copy.FileName(), L"C:\\doc\\a.txt");
  EXPECT_EQ(copy.LastPage(), p.LastPage());
  EXPECT_EQ(copy.ColumnCount(), p.ColumnCount());
}

TEST(StringsPrinterLayout, PaperCodesGiveMillimetresAndDots) {
  struct Case {
    int code, width, height;
  };
  const Case cases[] = {{DMPAPER_LETTER, 216, 279}, {DMPAPER_A3, 297, 420}, {DMPAPER_A4, 210, 297},
                        {DMPAPER_A5, 148, 210},     {DMPAPER_B5, 182, 257}, {DMPAPER_B4, 250, 354},
                        {DMPAPER_JAPANESE_POSTCARD, 100, 148}, {DMPAPER_A3_EXTRA_TRANSVERSE, 322, 445},
                        {0, 0, 0},                  {69, 0, 0}};
  for (const auto& c : cases) {
    TPaperSize size = PaperSizeOf(c.code, false);
    EXPECT_EQ(size.width, c.width) << c.code;
    EXPECT_EQ(size.height, c.height) << c.code;
  }
  TPaperSize landscape = PaperSizeOf(DMPAPER_A4, true);
  EXPECT_EQ(landscape.width, 297);
  EXPECT_EQ(landscape.height, 210);
  EXPECT_EQ(MillimetresToDots(20, 600), 472);   // 472.44
  EXPECT_EQ(MillimetresToDots(210, 600), 4961); // 4960.6
  EXPECT_EQ(MillimetresToDots(10, 600), 236);
}

TEST(StringsPrinterLayout, GeometryOfA4At600DpiMatchesTheHandWorkedNumbers) {
  TStringsPrinter p;
  for (auto set : {&TStringsPrinter::SetMarginLeft, &TStringsPrinter::SetMarginRight, &TStringsPrinter::SetMarginTop,
                   &TStringsPrinter::SetMarginBottom})
    (p.*set)(20);
  p.SetHeader(L"%p");
  p.SetHeaderAlign(haCenter);
  p.SetFooter(L"%F");
  p.SetFooterAlign(haRight);
  p.SetLineNumber(true);
  p.SetColumnCount(2);
  p.SetColumnSpace(10);
  TPrinterMetrics a4{600, 4760, 6814, DMPAPER_A4, false};
  TPageGeometry g = p.Geometry(a4, {50, 25}, 1234);
  // Paper 4961 x 7016; offsets 100, 101, 101, 101; margins 472.
  EXPECT_EQ(g.paperWidth, 4961);
  EXPECT_EQ(g.paperHeight, 7016);
  EXPECT_EQ(g.offsetLeft, 100);
  EXPECT_EQ(g.offsetTop, 101);
  EXPECT_EQ(g.offsetRight, 101);
  EXPECT_EQ(g.offsetBottom, 101);
  EXPECT_EQ(g.text.left, 372);
  EXPECT_EQ(g.text.top, 371);
  EXPECT_EQ(g.text.right, 4389);
  EXPECT_EQ(g.text.bottom, 6443);
  EXPECT_EQ(g.header.bottom, 371 + 75);
  EXPECT_EQ(g.footer.top, 6443 - 75);
  EXPECT_EQ(g.body.top, 446);
  EXPECT_EQ(g.body.bottom, 6368);
  EXPECT_EQ(g.stripWidth, 6 * 25);              // four digits + 2
  EXPECT_EQ(g.columnWidth, (4389 - 522 - 386) / 2);  // 1740
  EXPECT_EQ(g.columnStep, 236 + 150 + 1740);
}

TEST(StringsPrinterLayout, WrappingBreaksAfterTheLastBlankAndNeverSplitsADoubleByteCharacter) {
  using Pieces = std::vector<std::string>;
  EXPECT_EQ(WrapLine("abc def ghi", 90, CellWidth), (Pieces{"abc def ", "ghi"}));
  EXPECT_EQ(WrapLine("", 90, CellWidth), (Pieces{""}));
  EXPECT_EQ(WrapLine("abcdefghij", 40, CellWidth), (Pieces{"abcd", "efgh", "ij"}));
  // Five double-byte characters of 20 dots in columns of 50: two a piece.
  std::string kana = Sjis(L"あいうえお");
  Pieces pieces = WrapLine(kana, 50, CellWidth);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(Wide(pieces[0]), L"あい");
  EXPECT_EQ(Wide(pieces[1]), L"うえ");
  EXPECT_EQ(Wide(pieces[2]), L"お");
  // A single byte ahead shifts every boundary by one byte; the characters stay whole.
  pieces = WrapLine(Sjis(L"aあいう表示"), 40, CellWidth);
  std::wstring joined;
  for (const auto& piece : pieces) {
    std::wstring text = Wide(piece);
    EXPECT_FALSE(text.empty()) << "a piece is not whole Shift-JIS";
    EXPECT_LE(CellWidth(piece.data(), static_cast<int>(piece.size())), 40);
    joined += text;
  }
  EXPECT_EQ(joined, L"aあいう表示");
  EXPECT_EQ(Wide(pieces[0]), L"aあ");
  // Japanese words with an ASCII blank break after the blank.
  pieces = WrapLine(Sjis(L"日本 語です"), 90, CellWidth);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(Wide(pieces[0]), L"日本 ");
  EXPECT_EQ(Wide(pieces[1]), L"語です");
  // A column narrower than one character still moves on, one character a piece.
  pieces = WrapLine(Sjis(L"漢字x"), 5, CellWidth);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(Wide(pieces[1]), L"字");
}

TEST(StringsPrinterLayout, TemplatesExpandEveryCode) {
  SYSTEMTIME now = Noon();
  wchar_t time[64] = {};
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 64);
  EXPECT_EQ(ExpandTemplate(L"%p / %F", L"C:\\doc\\a.txt", 3, now), L"3 / a.txt");
  EXPECT_EQ(ExpandTemplate(L"%f", L"C:\\doc\\a.txt", 1, now), L"C:\\doc\\a.txt");
  EXPECT_EQ(ExpandTemplate(L"%y/%m/%d %t", L"", 1, now), std::wstring(L"2026/3/7 ") + time);
  EXPECT_EQ(ExpandTemplate(L"100%% %q", L"", 1, now), L"100% q");
  EXPECT_EQ(ExpandTemplate(L"Page %p of file %F", L"x\\読む.txt", 12, now), L"Page 12 of file 読む.txt");
}

TEST(StringsPrinterLayout, PagesCarryHeaderAndFooterWithTheirNumbers) {
  TStringsPrinter p;
  p.SetFirstPageNumber(1);
  p.SetFirstLineNumber(1);
  p.SetHeader(L"%p / %F");
  p.SetHeaderAlign(haRight);
  p.SetFooter(L"- %p -");
  p.SetFooterAlign(haCenter);
  p.SetFileName(L"C:\\doc\\a.txt");
  // Bands of 150 leave 700 dots of body: 7 lines a page; 20 lines make 3 pages.
  std::vector<TLayoutPage> pages = p.LayOut(Numbered(20), SmallPage(), kFont, CellWidth, Noon(), nullptr, nullptr);
  ASSERT_EQ(pages.size(), 3u);
  auto header = ItemsOf(pages[2], TPageItem::kHeader);
  ASSERT_EQ(header.size(), 1u);
  EXPECT_EQ(header[0]->text, L"3 / a.txt");
  EXPECT_TRUE(header[0]->format & DT_RIGHT);
  auto footer = ItemsOf(pages[0], TPageItem::kFooter);
  ASSERT_EQ(footer.size(), 1u);
  EXPECT_EQ(footer[0]->text, L"- 1 -");
  EXPECT_EQ(footer[0]->box.bottom, 1000);
  EXPECT_EQ(ItemsOf(pages[0], TPageItem::kBody).size(), 7u);
  EXPECT_EQ(ItemsOf(pages[2], TPageItem::kBody).size(), 6u);
  EXPECT_EQ(ItemsOf(pages[1], TPageItem::kBody)[0]->text, L"line 8");
}

TEST(StringsPrinterLayout, ColumnsFillLeftToRightWithTheirOwnLineNumbers) {
  TStringsPrinter p;
  p.SetFirstPageNumber(1);
  p.SetFirstLineNumber(1);
  p.SetColumnCount(2);
  p.SetColumnSpace(10);  // 100 dots
  p.SetLineNumber(true);
  std::vector<std::string> lines = Numbered(24);
  lines[2] = std::string(60, 'x');  // wider than a column: two pieces, one number
  std::vector<TLayoutPage> pages = p.LayOut(lines, SmallPage(), kFont, CellWidth, Noon(), nullptr, nullptr);
  // Strip (2 digits + 2) x 10 = 40; columns (1000 - 40 - 140) / 2 = 410 wide, step 550.
  ASSERT_EQ(pages.size(), 2u);
  auto body = ItemsOf(pages[0], TPageItem::kBody);
  auto numbers = ItemsOf(pages[0], TPageItem::kNumber);
  ASSERT_EQ(body.size(), 20u);
  ASSERT_EQ(numbers.size(), 20u);
  EXPECT_EQ(body[0]->box.left, 40);
  EXPECT_EQ(body[2]->text, std::wstring(41, L'x'));
  EXPECT_EQ(numbers[2]->text, L"3:");
  EXPECT_EQ(numbers[3]->text, L"3:");
  EXPECT_EQ(numbers[4]->text, L"4:");
  EXPECT_TRUE(numbers[4]->format & DT_RIGHT);
  EXPECT_EQ(body[10]->box.left, 40 + 550);
  EXPECT_EQ(body[10]->box.top, 0);
  EXPECT_EQ(numbers[10]->box.left, 550);
  EXPECT_EQ(numbers[10]->text, L"10:");
  EXPECT_EQ(ItemsOf(pages[1], TPageItem::kNumber)[0]->text, L"20:");
}

TEST(StringsPrinterLayout, LineRangeNumbersOnlyThePrintedLines) {
  TStringsPrinter p;
  p.SetFirstPageNumber(1);
  p.SetFirstLineNumber(1);
  p.SetLineNumber(true);
  p.SetLineRangeOption(roLimited);
  p.SetStartLine(3);
  p.SetLastLine(5);
  std::vector<TLayoutPage> pages = p.LayOut(Numbered(9), SmallPage(), kFont, CellWidth, Noon(), nullptr, nullptr);
  ASSERT_EQ(pages.size(), 1u);
  auto body = ItemsOf(pages[0], TPageItem::kBody);
  ASSERT_EQ(body.size(), 3u);
  EXPECT_EQ(body[0]->text, L"line 3");
  EXPECT_EQ(body[2]->text, L"line 5");
  EXPECT_EQ(ItemsOf(pages[0], TPageItem::kNumber)[0]->text, L"1:");
}

TEST(StringsPrinterLayout, PageSelectionByRangeAndOddOrEven) {
  TStringsPrinter p;
  p.SetFirstPageNumber(1);
  std::vector<TLayoutPage> pages = p.LayOut(Numbered(25), SmallPage(), kFont, CellWidth, Noon(), nullptr, nullptr);
  ASSERT_EQ(pages.size(), 3u);
  auto printed = [&](const std::vector<TLayoutPage>& list) {
    std::vector<int> numbers;
    for (size_t i = 0; i < list.size(); ++i)
      if (p.PagePrinted(static_cast<int>(i), list[i].number)) numbers.push_back(static_cast<int>(i) + 1);
    return numbers;
  };
  EXPECT_EQ(printed(pages), (std::vector<int>{1, 2, 3}));
  p.SetPageOption(poOdd);
  EXPECT_EQ(printed(pages), (std::vector<int>{1, 3}));
  p.SetPageOption(poEven);
  EXPECT_EQ(printed(pages), (std::vector<int>{2}));
  p.SetPageOption(poBoth);
  // From the second page on, numbered from 1: position 2 is page 1, position 1 (number 0) is not printed.
  p.SetRangeOption(roLimited);
  p.SetStartPage(2);
  p.SetLastPage(3);
  p.SetHeader(L"%p");
  p.SetHeaderAlign(haLeft);
  pages = p.LayOut(Numbered(25), SmallPage(), kFont, CellWidth, Noon(), nullptr, nullptr);
  ASSERT_GE(pages.size(), 2u);
  EXPECT_EQ(pages[1].number, 1);
  EXPECT_EQ(ItemsOf(pages[1], TPageItem::kHeader)[0]->text, L"1");
  EXPECT_FALSE(p.PagePrinted(0, pages[0].number));
  EXPECT_TRUE(p.PagePrinted(1, pages[1].number));
  p.SetPageOption(poEven);
  EXPECT_FALSE(p.PagePrinted(1, pages[1].number));
}

TEST(StringsPrinterLayout, ProgressReachesHundredForOneLineAndCancelStops) {
  TStringsPrinter p;
  p.SetFirstPageNumber(1);
  std::vector<int> seen;
  bool cancelled = true;
  auto pages = p.LayOut({"only"}, SmallPage(), kFont, CellWidth, Noon(),
                        [&](int percent) { seen.push_back(percent); return true; }, &cancelled);
  EXPECT_EQ(seen, std::vector<int>{100});
  EXPECT_FALSE(cancelled);
  EXPECT_EQ(pages.size(), 1u);
  int calls = 0;
  pages = p.LayOut(Numbered(500), SmallPage(), kFont, CellWidth, Noon(),
                   [&](int percent) { return ++calls < 3 && percent < 100; }, &cancelled);
  EXPECT_TRUE(cancelled);
  EXPECT_TRUE(pages.empty());
}

TEST(StringsPrinterLayout, NoRoomForALineIsRefusedInsteadOfLoopingForever) {
  TStringsPrinter p;
  p.SetFirstPageNumber(1);
  p.SetMarginTop(50);
  p.SetMarginBottom(50);  // 1000 dots of margin on a 1000-dot page
  EXPECT_THROW(p.LayOut(Numbered(3), SmallPage(), kFont, CellWidth, Noon(), nullptr, nullptr), std::runtime_error);
  TStringsPrinter narrow;
  narrow.SetMarginLeft(60);
  narrow.SetMarginRight(60);
  EXPECT_THROW(narrow.LayOut(Numbered(3), SmallPage(), kFont, CellWidth, Noon(), nullptr, nullptr),
               std::runtime_error);
}

// The recorded picture of a page holds the texts of the layout.
int CALLBACK CollectText(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM data) {
  if (record->iType == EMR_EXTTEXTOUTW) {
    auto text = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
    auto chars = reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(record) + text->emrtext.offString);
    reinterpret_cast<std::vector<std::wstring>*>(data)->emplace_back(chars, text->emrtext.nChars);
  }
  return 1;
}

TEST(StringsPrinterLayout, RecordedPageHoldsHeaderNumbersAndJapaneseText) {
  TStringsPrinter p;
  p.SetFirstPageNumber(1);
  p.SetFirstLineNumber(1);
  p.SetLineNumber(true);
  p.SetHeader(L"%p / %F");
  p.SetHeaderAlign(haLeft);
  p.SetFileName(L"C:\\doc\\読んでね.txt");
  HDC screen = GetDC(nullptr);
  TPrinterMetrics metrics{GetDeviceCaps(screen, LOGPIXELSX), 600, 800, 0, false};
  LOGFONTW font = p.PrinterFont(metrics.dpi, metrics.dpi);
  auto pages = p.LayOut({Sjis(L"日本語のテキスト"), "second"}, metrics, {16, 8}, CellWidth, Noon(), nullptr, nullptr);
  ASSERT_EQ(pages.size(), 1u);
  HENHMETAFILE picture = RecordLayoutPage(screen, pages[0], font, metrics);
  ASSERT_NE(picture, nullptr);
  std::vector<std::wstring> texts;
  EnumEnhMetaFile(nullptr, picture, CollectText, &texts, nullptr);
  DeleteEnhMetaFile(picture);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(texts, (std::vector<std::wstring>{L"1 / 読んでね.txt", L"1:", L"日本語のテキスト", L"2:", L"second"}));
}

}  // namespace
