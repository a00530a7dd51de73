// The preview window and the print dialog driven as a user does, under Xvfb:
// page buttons, zoom, a screenshot; the dialog's fields and section "Print".
#include "DialogDriver.h"
#include "PrintDialog.h"
#include "PrintDialogIds.h"
#include "PrintWindows.h"
#include "../support/XInput.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

bool ClickControl(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  return Xdotool(L"mousemove 0 0 mousemove --sync " + std::to_wstring((r.left + r.right) / 2) + L" " +
                 std::to_wstring((r.top + r.bottom) / 2) + L" click 1") == 0;
}

HWND Button(HWND window, const std::wstring& caption) {
  return FindWindowExW(window, nullptr, L"Button", caption.c_str());
}

std::string Sjis(const std::wstring& text) {
  int n = WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  return bytes;
}

fs::path Scratch(const std::string& name) {
  fs::path dir = fs::path(TAVIX_BINARY_DIR) / "tests" / "viewer" / "scratch" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(PrintPreviewWindow, PagesStepAndZoomAsTheButtonsSay) {
  // No printer is installed under Wine here: the screen stands in as the
  // reference of the recorded pages, at its own resolution.
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  TPrinterMetrics metrics{dpi, MulDiv(190, dpi * 10, 254), MulDiv(277, dpi * 10, 254), DMPAPER_A4, false};
  TStringsPrinter printer;
  printer.SetFirstPageNumber(1);
  printer.SetFirstLineNumber(1);
  printer.SetLineNumber(true);
  printer.SetColumnCount(2);
  printer.SetColumnSpace(10);
  printer.SetHeader(L"%p / %F");
  printer.SetHeaderAlign(haCenter);
  printer.SetFileName(L"C:\\doc\\README.txt");
  LOGFONTW font = printer.PrinterFont(dpi, dpi);
  HFONT handle = CreateFontIndirectW(&font);
  HGDIOBJ old = SelectObject(screen, handle);
  TEXTMETRICW tm{};
  GetTextMetricsW(screen, &tm);
  TFontMetrics fontMetrics{tm.tmHeight + tm.tmExternalLeading, tm.tmAveCharWidth};
  TMeasure measure = [screen](const char* bytes, int length) {
    int n = MultiByteToWideChar(932, 0, bytes, length, nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(932, 0, bytes, length, text.data(), n);
    SIZE size{};
    GetTextExtentPoint32W(screen, text.c_str(), n, &size);
    return static_cast<int>(size.cx);
  };
  std::vector<std::string> lines;
  for (int i = 1; i <= 400; ++i) lines.push_back(Sjis(L"行 " + std::to_wstring(i) + L" 日本語の説明文です。"));
  SYSTEMTIME now{};
  GetLocalTime(&now);
  auto pages = printer.LayOut(lines, metrics, fontMetrics, measure, now, nullptr, nullptr);
  TPageGeometry geometry = printer.Geometry(metrics, fontMetrics, static_cast<int>(lines.size()));
  SelectObject(screen, old);
  DeleteObject(handle);
  ASSERT_GE(pages.size(), 3u);
  int pageCount = static_cast<int>(pages.size());

  TPrintPreview preview(nullptr, screen, printer, metrics, geometry, font, std::move(pages), lines);
  SIZE actual{}, width{};
  std::wstring labelAfterNext, labelAtLast;
  bool nextDisabledAtLast = false, previousEnabled = false;
  fs::path shots = fs::path(TAVIX_BINARY_DIR) / "screenshots" / "viewer";
  fs::create_directories(shots);
  ShowWithUser(L"Preview", [&] { preview.ShowModal(); return 0; }, [&](HWND window) {
    actual = preview.ImageSize();
    ClickControl(Button(window, L">"));
    WaitUntil([&] { return preview.PageIndex() == 1; });
    labelAfterNext = Text(FindChildByText(window, L"  2 / " + std::wstring(pageCount < 10 ? L"  " : L" ") +
                                                      std::to_wstring(pageCount)));
    previousEnabled = IsWindowEnabled(Button(window, L"<")) != FALSE;
    ClickControl(Button(window, L"Adjust Width"));
    WaitUntil([&] { return preview.Zoom() == pzWidth; });
    width = preview.ImageSize();
    Screenshot(window, (shots / "preview-width-page2.png").wstring());
    ClickControl(Button(window, L">|"));
    WaitUntil([&] { return preview.PageIndex() == pageCount - 1; });
    nextDisabledAtLast = !IsWindowEnabled(Button(window, L">"));
    ClickControl(Button(window, L"100%"));
    WaitUntil([&] { return preview.Zoom() == pzActual; });
    Screenshot(window, (shots / "preview-actual-last.png").wstring());
    ClickControl(Button(window, L"Close"));
  });
  ReleaseDC(nullptr, screen);
  // 100%: the sheet (210 mm) at the screen's resolution, which is the reference's here.
  EXPECT_EQ(actual.cx, MulDiv(210, dpi * 10, 254) + 0) << "sheet width in screen dots";
  EXPECT_FALSE(labelAfterNext.empty());
  EXPECT_TRUE(previousEnabled);
  EXPECT_TRUE(nextDisabledAtLast);
  RECT area{};
  GetClientRect(preview.Handle(), &area);
  EXPECT_GT(width.cx, 0);
  EXPECT_NE(width.cx, actual.cx);
  EXPECT_EQ(width.cy, MulDiv(width.cx, 297, 210)) << "the height follows the width";
  EXPECT_EQ(preview.PageIndex(), pageCount - 1);
}

TEST(PrintProgressWindow, CancelStopsTheRun) {
  // The window as a layout run drives it: a step per percent until Cancel.
  TPrintProgress progress(nullptr, L"プレビューを作成中");
  std::wstring label;
  TUserThread user([&] {
    HWND window = WaitForWindow(L"TStringsPrinter");
    if (!window) return;
    if (HWND text = FindWindowExW(window, nullptr, L"Static", nullptr)) label = Text(text);
    fs::path shots = fs::path(TAVIX_BINARY_DIR) / "screenshots" / "viewer";
    fs::create_directories(shots);
    Screenshot(window, (shots / "print-progress.png").wstring());
    ClickControl(FindWindowExW(window, nullptr, L"Button", L"Cancel"));
  });
  bool stopped = false;
  int percent = 0;
  for (ULONGLONG until = GetTickCount64() + 60000; GetTickCount64() < until;) {
    if (!progress.Step(percent)) {
      stopped = true;
      break;
    }
    percent = (percent + 1) % 101;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  user.Join();
  EXPECT_TRUE(stopped) << "Cancel was pressed";
  EXPECT_EQ(label, L"プレビューを作成中");
  EXPECT_FALSE(progress.Step(100)) << "a cancelled run stays cancelled";
}

TEST(PrintDialogSettings, FieldsComeFromSectionPrintAndGoBackAtClose) {
  fs::path dir = Scratch("dialog");
  fs::path ini = dir / "tavix.ini";
  {
    std::ofstream out(ini);
    out << "[Print]\nHeader=Page %p of file %F\nFooter=\nHeaderAlign=2\nFooterAlign=1\nLeftMargin=3\n"
           "RightMargin=150\nTopMargin=30\nBottomMargin=25\nColumnCount=1\nLineNo=1\n";
  }
  TPrintDlg dialog(nullptr, ini.wstring());
  EXPECT_EQ(dialog.HeaderTemplate(), L"Page %p of file %F");
  EXPECT_EQ(dialog.HeaderAlignIndex(), 2);
  EXPECT_EQ(dialog.FooterAlignIndex(), 1);
  EXPECT_EQ(dialog.MarginLeft(), 5) << "below 5 cannot be entered";
  EXPECT_EQ(dialog.MarginRight(), 100);
  EXPECT_EQ(dialog.MarginTop(), 30);
  EXPECT_EQ(dialog.ColumnIndex(), 1);
  EXPECT_TRUE(dialog.LineNo());

  // The user picks the first item of the footer list with the keyboard and
  // the three-column choice with the mouse, then cancels.
  std::wstring footerShown;
  int result = ShowWithUser(L"印刷", [&] { return dialog.ShowModal(); }, [&](HWND window) {
    HWND footerEdit = FindWindowExW(GetDlgItem(window, IDC_PRINT_FOOTER), nullptr, L"Edit", nullptr);
    ClickControl(footerEdit);
    Xdotool(L"key Down");
    WaitUntil([&] { return Text(footerEdit) == L"%p"; }, 20000);
    footerShown = Text(footerEdit);
    ClickControl(GetDlgItem(window, IDC_PRINT_MULTICOL_3));
    WaitUntil([&] { return IsDlgButtonChecked(window, IDC_PRINT_MULTICOL_3) == BST_CHECKED; }, 20000);
    fs::path shots = fs::path(TAVIX_BINARY_DIR) / "screenshots" / "viewer";
    fs::create_directories(shots);
    Screenshot(window, (shots / "print-dialog-margins.png").wstring());
    ClickControl(GetDlgItem(window, IDC_PRINT_BUTTON1));
    WaitUntil([&] { return !IsWindowVisible(window); }, 20000);
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(footerShown, L"%p") << "an item shows its template";
  EXPECT_EQ(TIniGT::ReadProfileText(ini.wstring(), L"Print", L"Footer", L"?"), L"%p");
  EXPECT_EQ(TIniGT::ReadProfileText(ini.wstring(), L"Print", L"Header", L"?"), L"Page %p of file %F");
  EXPECT_EQ(TIniGT::ReadProfileText(ini.wstring(), L"Print", L"ColumnCount", L"?"), L"2");
  EXPECT_EQ(TIniGT::ReadProfileText(ini.wstring(), L"Print", L"LeftMargin", L"?"), L"5");
  EXPECT_EQ(TIniGT::ReadProfileText(ini.wstring(), L"Print", L"RightMargin", L"?"), L"100");
  EXPECT_EQ(TIniGT::ReadProfileText(ini.wstring(), L"Print", L"LineNo", L"?"), L"1");

  // A fresh dialog reads what the last one wrote.
  TPrintDlg again(nullptr, ini.wstring());
  EXPECT_EQ(again.FooterTemplate(), L"%p");
  EXPECT_EQ(again.ColumnIndex(), 2);
  EXPECT_EQ(TPrintDlg::TemplateOf(L"ファイル名（フルパス名）"), L"%f");
  EXPECT_EQ(TPrintDlg::TemplateOf(L"年月日と時刻"), L"%y/%m/%d %t");
  EXPECT_EQ(ExpandTabs("a\tb", 4), "a   b");
  EXPECT_EQ(ExpandTabs(Sjis(L"あ\tx"), 4), Sjis(L"あ  x"));
}

}  // namespace
