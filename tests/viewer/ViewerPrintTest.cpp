// Printing for real: the viewer's print command, the print dialog and the
// preview driven with keys through xdotool, printed by Wine to the CUPS queue
// TavixPDF, whose PDF files are read back by pdfinfo and, as text, by
// tesseract (Wine embeds its fonts without a text mapping, so pdftotext
// cannot read them).
#include "PrintDialogIds.h"
#include "PrintWindows.h"
#include "StringsPrinter.h"
#include "Viewer.h"

#include "../dialogs/DialogDriver.h"
#include "../support/XInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

const wchar_t kQueue[] = L"TavixPDF";

std::string Sjis(const std::wstring& text) {
  int n = WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  return bytes;
}

std::wstring Utf8ToWide(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Keys(const std::wstring& keys) { ASSERT_EQ(Xdotool(L"key --clearmodifiers " + keys), 0) << keys; }

bool QueueInstalled() {
  DWORD needed = 0, count = 0;
  EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, buffer.data(), needed, &needed,
                     &count))
    return false;
  auto printers = reinterpret_cast<PRINTER_INFO_4W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i)
    if (lstrcmpiW(printers[i].pPrinterName, kQueue) == 0) return true;
  return false;
}

// The text of a page, with the blanks tesseract puts between Japanese characters taken out.
struct TPageText {
  std::vector<std::wstring> rows;
  std::wstring joined;  // without any blank
};

class PrintingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    ASSERT_TRUE(QueueInstalled()) << "Wine sees no printer TavixPDF: scripts/setup-packages.sh installs CUPS, "
                                     "the cups-pdf queue and starts the scheduler";
    ASSERT_TRUE(SetDefaultPrinterW(kQueue));
    marker_ = L"tvxprint" + std::to_wstring(GetCurrentProcessId()) + L"x" + std::to_wstring(GetTickCount() % 100000);
    root_ = WinPath(TAVIX_BINARY_DIR) + L"\\tests\\viewer\\printing-" + marker_;
    CreateDirectoryW(root_.c_str(), nullptr);
    ini_.SetFileName(root_ + L"\\Tavix.ini");
  }
  void TearDown() override {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((root_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do DeleteFileW((root_ + L"\\" + found.cFileName).c_str());
      while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(root_.c_str());
  }
  void PrintSection(const std::wstring& key, const std::wstring& value) {
    WritePrivateProfileStringW(L"Print", key.c_str(), value.c_str(), (root_ + L"\\Tavix.ini").c_str());
  }
  std::wstring Write(const std::wstring& name, const std::string& bytes) {
    std::wstring path = root_ + L"\\" + name;
    std::ofstream(path.c_str(), std::ios::binary) << bytes;
    return path;
  }
  std::wstring Judge() { return UnixPath(WinPath(TAVIX_SOURCE_DIR) + L"\\tests\\viewer\\pdf-queue.sh"); }
  // Moves the queue's PDF of this test into the scratch folder; its page count.
  int TakePdf() {
    std::wstring pdf = root_ + L"\\out.pdf";
    EXPECT_EQ(RunUnix(L"sh", Judge() + L" take " + marker_ + L" '" + UnixPath(pdf) + L"'"), 0)
        << "the queue wrote no PDF for " << std::string(marker_.begin(), marker_.end());
    std::wstring count = root_ + L"\\pages.txt";
    EXPECT_EQ(RunUnix(L"sh", Judge() + L" pages '" + UnixPath(pdf) + L"' '" + UnixPath(count) + L"'"), 0);
    return std::atoi(ReadAll(count).c_str());
  }
  TPageText Ocr(int page) {
    std::wstring out = root_ + L"\\page" + std::to_wstring(page) + L".txt";
    EXPECT_EQ(RunUnix(L"sh", Judge() + L" ocr '" + UnixPath(root_ + L"\\out.pdf") + L"' " + std::to_wstring(page) +
                                 L" '" + UnixPath(out) + L"'"),
              0);
    TPageText text;
    std::wstring all = Utf8ToWide(ReadAll(out));
    size_t start = 0;
    while (start <= all.size()) {
      size_t end = all.find(L'\n', start);
      if (end == std::wstring::npos) end = all.size();
      std::wstring row = all.substr(start, end - start);
      if (!row.empty()) text.rows.push_back(row);
      start = end + 1;
    }
    for (wchar_t c : all)
      if (!iswspace(c)) text.joined += c;
    return text;
  }
  // Opens the file in the viewer, shows it and plays the user once it is up.
  void View(TViewer& viewer, const std::wstring& path, const std::function<void(HWND)>& user) {
    viewer.Open(path);
    TUserThread thread([&] {
      HWND window = nullptr;
      WaitUntil([&] {
        window = FindWindowW(TViewer::kClassName, path.c_str());
        return window && IsWindowVisible(window);
      });
      if (!window) {
        ADD_FAILURE() << "the viewer did not appear";
        return;
      }
      PointAt(viewer.Editor().Handle());
      user(window);
      // Windows a failed step left open are closed, the viewer last.
      for (const wchar_t* caption : {L"Preview", L"印刷"}) {
        if (HWND left = FindWindowW(nullptr, caption); left && IsWindowVisible(left) && left != window)
          PostMessageW(left, caption[0] == L'P' ? WM_CLOSE : WM_COMMAND, IDCANCEL, 0);
      }
      WaitUntil([&] { return IsWindowEnabled(window) != FALSE; }, 10000);
      if (IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
    });
    viewer.ShowModal();
  }
  std::wstring Shot(const std::wstring& name) {
    std::wstring folder = WinPath(TAVIX_BINARY_DIR) + L"\\screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\viewer";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + name;
  }
  // A Shift-JIS README of count lines, each "行N" and Japanese words, some with a tab.
  std::string Readme(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i)
      text += Sjis(L"行" + std::to_wstring(i) + (i % 10 == 0 ? L"\t" : L" ") + L"日本語の説明です") + "\r\n";
    return text;
  }

  std::wstring marker_;
  std::wstring root_;
  TIniGT ini_;
};

// Whether needle occurs in text with at most errors characters changed,
// added or left out: a reader of pictures misreads a letter now and then.
bool NearlyContains(const std::wstring& text, const std::wstring& needle, size_t errors = 2) {
  // Edit distance of needle against the best substring ending at each place of text.
  std::vector<size_t> previous(needle.size() + 1), current(needle.size() + 1);
  for (size_t j = 0; j <= needle.size(); ++j) previous[j] = j;
  if (previous[needle.size()] <= errors) return true;
  for (wchar_t c : text) {
    current[0] = 0;
    for (size_t j = 1; j <= needle.size(); ++j)
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (needle[j - 1] == c ? 0 : 1)});
    if (current[needle.size()] <= errors) return true;
    std::swap(previous, current);
  }
  return false;
}

// The line numbers ("N:") tesseract read on a row, in order.
std::vector<int> NumbersOf(const std::wstring& row) {
  std::vector<int> numbers;
  static const std::wregex number(L"(\\d+)\\s?[:;]");
  for (auto it = std::wsregex_iterator(row.begin(), row.end(), number); it != std::wsregex_iterator(); ++it)
    numbers.push_back(std::stoi((*it)[1].str()));
  return numbers;
}

TEST_F(PrintingTest, ViewerPrintsTwoColumnsWithLineNumbersHeaderFooterAndJapanese) {
  PrintSection(L"Header", L"Page %p of %F");
  PrintSection(L"HeaderAlign", L"1");
  PrintSection(L"Footer", L"%% end %F");
  PrintSection(L"FooterAlign", L"2");
  PrintSection(L"ColumnCount", L"0");
  PrintSection(L"LineNo", L"0");
  ini_.Loaded();
  std::wstring name = L"readme-" + marker_ + L".txt";
  std::wstring path = Write(name, Readme(150));
  TViewer viewer(nullptr, ini_, TViewerOptions{});
  bool dialogSeen = false;
  View(viewer, path, [&](HWND window) {
    // ﾌｧｲﾙ(&F) → 印刷(&P)...
    Keys(L"alt+f");
    Keys(L"p");
    HWND dialog = WaitForWindow(L"印刷");
    dialogSeen = dialog != nullptr;
    if (!dialog) return;
    PointAt(dialog);
    // 二段(&2) and 行番号(&G) with their mnemonics, then &OK.
    Keys(L"alt+2");
    WaitUntil([&] { return IsDlgButtonChecked(dialog, IDC_PRINT_MULTICOL_2) == BST_CHECKED; }, 10000);
    Keys(L"alt+g");
    WaitUntil([&] { return IsDlgButtonChecked(dialog, IDC_PRINT_LINENO) == BST_CHECKED; }, 10000);
    Screenshot(dialog, Shot(L"print-dialog-two-columns.png"));
    Keys(L"alt+o");
    // The viewer is usable again once the job is sent.
    WaitUntil([&] { return IsWindowEnabled(window) != FALSE && !IsWindowVisible(dialog); }, 60000);
  });
  ASSERT_TRUE(dialogSeen) << "the print command showed no dialog";
  EXPECT_EQ(TIniGT::ReadProfileText(root_ + L"\\Tavix.ini", L"Print", L"ColumnCount", L"?"), L"1");
  EXPECT_EQ(TIniGT::ReadProfileText(root_ + L"\\Tavix.ini", L"Print", L"LineNo", L"?"), L"1");

  int pages = TakePdf();
  ASSERT_GE(pages, 2) << "150 lines in two columns take more than one sheet";
  ASSERT_LE(pages, 3);
  TPageText first = Ocr(1);
  TPageText second = Ocr(2);
  std::wstring file = name;
  // Header centred: "Page 1 of readme-….txt"; footer "% end readme-….txt".
  auto headerNumber = [](const TPageText& page) {
    std::wsmatch match;
    static const std::wregex header(L"Page(\\d+)of");
    return std::regex_search(page.joined, match, header) ? std::stoi(match[1].str()) : -1;
  };
  EXPECT_EQ(headerNumber(first), 1) << ReadAll(root_ + L"\\page1.txt");
  EXPECT_EQ(headerNumber(second), 2) << ReadAll(root_ + L"\\page2.txt");
  EXPECT_TRUE(NearlyContains(first.joined, L"of" + file)) << "%F: the name without its folder";
  EXPECT_TRUE(NearlyContains(second.joined, L"of" + file));
  // The footer: "%%" gives one percent sign.
  EXPECT_NE(first.joined.find(L"%end"), std::wstring::npos);
  EXPECT_TRUE(NearlyContains(first.joined, L"%end" + file));
  // Line numbers in two columns: a row shows 1: on the left and a later number on the right.
  bool twoColumns = false;
  int lastOnFirst = 0;
  for (const std::wstring& row : first.rows) {
    std::vector<int> numbers = NumbersOf(row);
    if (numbers.size() == 2 && numbers[0] == 1 && numbers[1] > 20) twoColumns = true;
    for (int n : numbers) lastOnFirst = std::max(lastOnFirst, n);
  }
  EXPECT_TRUE(twoColumns) << ReadAll(root_ + L"\\page1.txt");
  int firstOnSecond = 0;
  for (const std::wstring& row : second.rows)
    if (std::vector<int> numbers = NumbersOf(row); !numbers.empty()) {
      firstOnSecond = numbers[0];
      break;
    }
  EXPECT_EQ(firstOnSecond, lastOnFirst + 1) << "the second sheet goes on where the first stopped";
  // The Japanese text, as the reader sees it.
  EXPECT_TRUE(NearlyContains(first.joined, L"行1日本語の説明です", 1)) << ReadAll(root_ + L"\\page1.txt");
  EXPECT_TRUE(NearlyContains(second.joined, L"行150日本語の説明です", 1)) << ReadAll(root_ + L"\\page2.txt");
}

TEST_F(PrintingTest, PageRangeAndOddPagesPrintOnlyThoseSheets) {
  // Five sheets of one column; sheets 2-4 of the document, numbered from 1,
  // and of those only the odd numbers: document sheets 2 and 4.
  std::vector<std::string> lines;
  for (int i = 1; i <= 300; ++i) lines.push_back("row " + std::to_string(i));
  TStringsPrinter printer;
  LOGFONTW font{};
  font.lfHeight = -40;
  font.lfCharSet = SHIFTJIS_CHARSET;
  lstrcpyW(font.lfFaceName, L"ＭＳ ゴシック");
  printer.SetFont(font);
  printer.SetMarginLeft(20);
  printer.SetMarginRight(20);
  printer.SetMarginTop(20);
  printer.SetMarginBottom(20);
  printer.SetHeader(L"Sheet %p");
  printer.SetHeaderAlign(haLeft);
  printer.SetFileName(root_ + L"\\range-" + marker_ + L".txt");
  printer.SetLineNumber(true);
  printer.SetFirstLineNumber(1);
  printer.SetFirstPageNumber(1);
  printer.SetRangeOption(roLimited);
  printer.SetStartPage(2);
  printer.SetLastPage(4);
  printer.SetPageOption(poOdd);
  ASSERT_TRUE(printer.Print(nullptr, lines));
  int pages = TakePdf();
  ASSERT_EQ(pages, 2);
  TPageText one = Ocr(1), two = Ocr(2);
  EXPECT_TRUE(NearlyContains(one.joined, L"Sheet1", 0)) << ReadAll(root_ + L"\\page1.txt");
  EXPECT_TRUE(NearlyContains(two.joined, L"Sheet3", 0)) << ReadAll(root_ + L"\\page2.txt");
  EXPECT_EQ(one.joined.find(L"1:row1"), std::wstring::npos) << "the document's first sheet is not printed";
  // Sheet 1 of the range is the document's second sheet: its rows follow those of a whole sheet.
  int firstRow = 0;
  for (const std::wstring& row : one.rows)
    if (std::vector<int> numbers = NumbersOf(row); !numbers.empty()) {
      firstRow = numbers[0];
      break;
    }
  EXPECT_GT(firstRow, 20);
}

TEST_F(PrintingTest, PreviewPagesWithKeysAndPrintsFromThere) {
  PrintSection(L"Header", L"%p");
  PrintSection(L"HeaderAlign", L"2");
  PrintSection(L"ColumnCount", L"0");
  PrintSection(L"LineNo", L"1");
  ini_.Loaded();
  std::wstring path = Write(L"preview-" + marker_ + L".txt", Readme(200));
  TViewer viewer(nullptr, ini_, TViewerOptions{});
  std::wstring previewCaption, labelAtStart, labelAfterNext, labelAtEnd, labelAfterHome;
  bool dialogAgain = false;
  View(viewer, path, [&](HWND window) {
    Keys(L"alt+f");
    Keys(L"p");
    HWND dialog = WaitForWindow(L"印刷");
    if (!dialog) return;
    PointAt(dialog);
    previewCaption = Text(GetDlgItem(dialog, IDC_PRINT_BUTTON4));
    Keys(L"alt+v");
    HWND preview = WaitForWindow(L"Preview");
    if (!preview) return;
    PointAt(preview);
    HWND label = FindWindowExW(preview, nullptr, L"Static", nullptr);
    labelAtStart = Text(label);
    Screenshot(preview, Shot(L"print-preview-first.png"));
    Keys(L"Next");
    WaitUntil([&] { return Text(label) != labelAtStart; }, 10000);
    labelAfterNext = Text(label);
    Keys(L"End");
    WaitUntil([&] { return Text(label) != labelAfterNext; }, 10000);
    labelAtEnd = Text(label);
    Screenshot(preview, Shot(L"print-preview-last.png"));
    Keys(L"Home");
    WaitUntil([&] { return Text(label) != labelAtEnd; }, 10000);
    labelAfterHome = Text(label);
    // Ctrl+P prints; the dialog comes back, and Cancel ends.
    Keys(L"ctrl+p");
    WaitUntil([&] { return !IsWindowVisible(preview); }, 60000);
    dialogAgain = WaitForWindow(L"印刷", 60000) != nullptr;
    if (dialogAgain) {
      PointAt(dialog);
      Keys(L"Escape");
      WaitUntil([&] { return !IsWindowVisible(dialog); }, 10000);
    }
    (void)window;
  });
  EXPECT_EQ(previewCaption, L"ﾌﾟﾚﾋﾞｭｰ(&V)");
  // "%3d / %3d": the position and the count.
  int count = labelAtStart.size() > 6 ? std::stoi(labelAtStart.substr(6)) : 0;
  ASSERT_GE(count, 3) << "200 lines take several sheets";
  auto label = [](int n, int of) {
    wchar_t text[32];
    swprintf(text, 32, L"%3d / %3d", n, of);
    return std::wstring(text);
  };
  EXPECT_EQ(labelAtStart, label(1, count));
  EXPECT_EQ(labelAfterNext, label(2, count));
  EXPECT_EQ(labelAtEnd, label(count, count));
  EXPECT_EQ(labelAfterHome, label(1, count));
  EXPECT_TRUE(dialogAgain) << "after the preview the dialog is shown again";
  int pages = TakePdf();
  EXPECT_EQ(pages, count) << "the preview printed every sheet it showed";
  TPageText last = Ocr(pages);
  int lastRow = 0;
  for (const std::wstring& row : last.rows)
    if (std::vector<int> numbers = NumbersOf(row); !numbers.empty()) lastRow = numbers.back();
  EXPECT_EQ(lastRow, 200) << "the last sheet ends with the last line";
}

}  // namespace
