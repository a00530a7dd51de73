// Lays out and prints a large Shift-JIS log on the default printer through
// the string-list printer, as the viewer's print command does (two columns,
// line numbers, header and footer); bench/print.sh picks the printer, makes
// the log and waits for the pages. Prints the time and the memory.
#include "PrintDialog.h"
#include "PrintWindows.h"
#include "StringsPrinter.h"

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Wine reports no private bytes; the working set is what it keeps.
double PeakMB() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PeakWorkingSetSize / 1e6;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::printf("usage: print_bench FILE\n");
    return 2;
  }
  const double before = PeakMB();
  auto start = std::chrono::steady_clock::now();
  std::ifstream in(argv[1], std::ios::binary);
  std::string text{std::istreambuf_iterator<char>(in), {}};
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    size_t stop = end > at && text[end - 1] == '\r' ? end - 1 : end;
    lines.push_back(ExpandTabs(text.substr(at, stop - at), 4));
    at = end + 1;
  }
  text = {};
  double read = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  TStringsPrinter printer;
  LOGFONTW font{};
  font.lfHeight = -15;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  lstrcpyW(font.lfFaceName, L"ＭＳ ゴシック");
  printer.SetFont(font);
  printer.SetMarginLeft(20);
  printer.SetMarginRight(20);
  printer.SetMarginTop(20);
  printer.SetMarginBottom(20);
  printer.SetHeader(L"%F  %p");
  printer.SetHeaderAlign(haCenter);
  printer.SetFooter(L"%y/%m/%d");
  printer.SetFooterAlign(haRight);
  printer.SetFileName(argv[1]);
  printer.SetColumnCount(2);
  printer.SetColumnSpace(10);
  printer.SetLineNumber(true);
  printer.SetFirstLineNumber(1);
  printer.SetFirstPageNumber(1);
  // The two halves alone first: the layout over the printer's context, then
  // the pages played into a print job of their own (not waited for).
  {
    HDC dc = CreateCurrentPrinterDC();
    if (dc == nullptr) {
      std::printf("no printer\n");
      return 1;
    }
    TPrinterMetrics metrics = MetricsOf(dc);
    HDC screen = GetDC(nullptr);
    LOGFONTW scaled = printer.PrinterFont(metrics.dpi, GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
    HFONT handle = CreateFontIndirectW(&scaled);
    HGDIOBJ old = SelectObject(dc, handle);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    TMeasure measure = [dc](const char* bytes, int length) {
      wchar_t wide[4096];
      int n = MultiByteToWideChar(932, 0, bytes, std::min(length, 4096), wide, 4096);
      SIZE size{};
      GetTextExtentPoint32W(dc, wide, n, &size);
      return static_cast<int>(size.cx);
    };
    SYSTEMTIME now{};
    GetLocalTime(&now);
    auto phase = std::chrono::steady_clock::now();
    auto pages = printer.LayOut(lines, metrics, {tm.tmHeight + tm.tmExternalLeading, tm.tmAveCharWidth}, measure, now,
                                nullptr, nullptr);
    std::printf("lay-out alone: %.2f s, %zu pages\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - phase).count(), pages.size());
    SelectObject(dc, old);
    DeleteObject(handle);
    if (argc > 2) {
      phase = std::chrono::steady_clock::now();
      PrintLayoutPages(dc, printer, metrics, scaled, pages);
      std::printf("pages played into the print job alone: %.2f s\n",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - phase).count());
    }
    DeleteDC(dc);
  }
  start = std::chrono::steady_clock::now();
  bool printed = printer.Print(nullptr, lines);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("lines: %zu (read in %.2f s)\n", lines.size(), read);
  std::printf("Tavix lay-out and spooling to the printer: %.2f s%s\n", seconds, printed ? "" : " (FAILED)");
  std::printf("Tavix peak working set: %.1f MB (%.1f MB before reading)\n", PeakMB(), before);
  return printed ? 0 : 1;
}
