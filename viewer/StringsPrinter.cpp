#include "StringsPrinter.h"
#include "engine/Handles.h"

#include "PrintWindows.h"
#include "ViewerTexts.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// Paper codes 1..68 in millimetres, portrait; the two reserved codes have no size.
const TPaperSize kPapers[68] = {
    {216, 279}, {216, 279}, {279, 432}, {432, 279}, {216, 356}, {140, 216}, {184, 267}, {297, 420},  // 1-8
    {210, 297}, {210, 297}, {148, 210}, {250, 354}, {182, 257}, {216, 330}, {215, 275}, {254, 356},  // 9-16
    {279, 432}, {216, 279}, {98, 225},  {105, 241}, {114, 264}, {121, 279}, {127, 292}, {432, 559},  // 17-24
    {559, 864}, {864, 1118}, {110, 220}, {162, 229}, {324, 458}, {229, 324}, {114, 162}, {114, 229}, // 25-32
    {250, 353}, {176, 250}, {176, 125}, {110, 230}, {98, 191},  {92, 165},  {378, 279}, {216, 305},  // 33-40
    {216, 330}, {250, 353}, {100, 148}, {229, 279}, {254, 279}, {381, 279}, {220, 220}, {0, 0},      // 41-48
    {0, 0},     {235, 305}, {235, 381}, {297, 457}, {236, 322}, {210, 279}, {210, 297}, {235, 305},  // 49-56
    {227, 356}, {305, 487}, {216, 322}, {210, 330}, {148, 210}, {182, 257}, {322, 445}, {174, 235},  // 57-64
    {201, 276}, {420, 594}, {297, 420}, {322, 445},                                                  // 65-68
};

int Clamp(int value, int low, int high) { return std::min(std::max(value, low), high); }

int Digits(int value) {
  int digits = 1;
  for (value = std::abs(value); value >= 10; value /= 10) ++digits;
  return digits;
}

bool IsBlankByte(unsigned char byte) { return byte <= 32; }

// Byte offsets where the characters of text start, plus its length.
std::vector<int> CharacterStarts(const std::string& text) {
  std::vector<int> starts;
  int n = static_cast<int>(text.size());
  for (int i = 0; i < n;) {
    starts.push_back(i);
    i += (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < n) ? 2 : 1;
  }
  starts.push_back(n);
  return starts;
}

std::wstring Wide(const std::string& bytes) {
  if (bytes.empty()) return {};
  int n = MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
  return text;
}

}  // namespace

TPaperSize PaperSizeOf(int paperCode, bool landscape) {
  if (paperCode < 1 || paperCode > 68) return {};
  TPaperSize size = kPapers[paperCode - 1];
  if (landscape) std::swap(size.width, size.height);
  return size;
}

int MillimetresToDots(int millimetres, int dpi) {
  return static_cast<int>(std::lround(millimetres * static_cast<double>(dpi) / 25.4));
}

std::vector<std::string> WrapLine(const std::string& line, int width, const TMeasure& measure) {
  std::vector<std::string> pieces;
  int total = static_cast<int>(line.size());
  if (total == 0 || measure(line.data(), total) <= width) {
    pieces.push_back(line);
    return pieces;
  }
  std::string rest = line;
  while (!rest.empty()) {
    std::vector<int> starts = CharacterStarts(rest);
    int characters = static_cast<int>(starts.size()) - 1;
    int length = static_cast<int>(rest.size());
    int restWidth = measure(rest.data(), length);
    if (restWidth <= width) {
      pieces.push_back(rest);
      break;
    }
    // First guess by bytes, then to a character boundary at or before it.
    int columns = width > 0 ? (restWidth + width - 1) / width : characters;
    int guess = std::max(1, length / std::max(1, columns));
    int count = static_cast<int>(std::upper_bound(starts.begin(), starts.end(), guess) - starts.begin()) - 1;
    count = Clamp(count, 1, characters);
    while (count < characters && measure(rest.data(), starts[count]) < width) ++count;
    while (count > 1 && measure(rest.data(), starts[count]) > width) --count;
    if (!IsBlankByte(static_cast<unsigned char>(rest[starts[count] - 1]))) {
      for (int c = count - 1; c >= 1; --c) {
        if (IsBlankByte(static_cast<unsigned char>(rest[starts[c] - 1])) && starts[c] - starts[c - 1] == 1) {
          count = c;
          break;
        }
      }
    }
    pieces.push_back(rest.substr(0, static_cast<size_t>(starts[count])));
    rest.erase(0, static_cast<size_t>(starts[count]));
  }
  return pieces;
}

std::wstring ExpandTemplate(const std::wstring& templ, const std::wstring& fileName, int page,
                            const SYSTEMTIME& now) {
  std::wstring out;
  for (size_t i = 0; i < templ.size(); ++i) {
    if (templ[i] != L'%' || i + 1 >= templ.size()) {
      out += templ[i];
      continue;
    }
    wchar_t code = templ[++i];
    switch (code) {
      case L'p': out += std::to_wstring(page); break;
      case L'F': {
        size_t slash = fileName.find_last_of(L"\\/:");
        out += slash == std::wstring::npos ? fileName : fileName.substr(slash + 1);
        break;
      }
      case L'f': out += fileName; break;
      case L'y': out += std::to_wstring(now.wYear); break;
      case L'm': out += std::to_wstring(now.wMonth); break;
      case L'd': out += std::to_wstring(now.wDay); break;
      case L't': {
        wchar_t time[128] = {};
        if (GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 128) > 0) out += time;
        break;
      }
      default: out += code; break;
    }
  }
  return out;
}

TStringsPrinter::TStringsPrinter() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    font_ = metrics.lfMessageFont;
  } else {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font_, &font_);
  }
}

TStringsPrinter::~TStringsPrinter() = default;

void TStringsPrinter::Assign(const TStringsPrinter& other) {
  columnCount_ = other.columnCount_;
  columnSpace_ = other.columnSpace_;
  fileName_ = other.fileName_;
  firstLineNumber_ = other.firstLineNumber_;
  firstPageNumber_ = other.firstPageNumber_;
  font_ = other.font_;
  footer_ = other.footer_;
  footerAlign_ = other.footerAlign_;
  header_ = other.header_;
  headerAlign_ = other.headerAlign_;
  lastLine_ = other.lastLine_;
  lastPage_ = other.lastPage_;
  lineNumber_ = other.lineNumber_;
  lineRangeOption_ = other.lineRangeOption_;
  marginBottom_ = other.marginBottom_;
  marginLeft_ = other.marginLeft_;
  marginRight_ = other.marginRight_;
  marginTop_ = other.marginTop_;
  marginLine_ = other.marginLine_;
  pageOption_ = other.pageOption_;
  rangeOption_ = other.rangeOption_;
  startLine_ = other.startLine_;
  startPage_ = other.startPage_;
}

void TStringsPrinter::SetColumnCount(int value) { columnCount_ = Clamp(value, 1, 3); }
void TStringsPrinter::SetColumnSpace(int value) { columnSpace_ = Clamp(value, 0, 100); }
void TStringsPrinter::SetFirstLineNumber(int value) { firstLineNumber_ = Clamp(value, 1, 999999); }
void TStringsPrinter::SetFirstPageNumber(int value) { firstPageNumber_ = Clamp(value, 1, 999999); }
void TStringsPrinter::SetLastLine(int value) { lastLine_ = Clamp(value, 1, 999999); }
void TStringsPrinter::SetLastPage(int value) { lastPage_ = Clamp(value, 1, 999999); }
void TStringsPrinter::SetMarginBottom(int value) { marginBottom_ = Clamp(value, 0, 100); }
void TStringsPrinter::SetMarginLeft(int value) { marginLeft_ = Clamp(value, 0, 100); }
void TStringsPrinter::SetMarginRight(int value) { marginRight_ = Clamp(value, 0, 100); }
void TStringsPrinter::SetMarginTop(int value) { marginTop_ = Clamp(value, 0, 100); }
void TStringsPrinter::SetMarginLine(int value) { marginLine_ = Clamp(value, 0, 100); }
void TStringsPrinter::SetStartLine(int value) { startLine_ = Clamp(value, 1, 999999); }
void TStringsPrinter::SetStartPage(int value) { startPage_ = Clamp(value, 1, 999999); }

TPageGeometry TStringsPrinter::Geometry(const TPrinterMetrics& printer, const TFontMetrics& font,
                                        int lineCount) const {
  TPageGeometry g;
  TPaperSize paper = PaperSizeOf(printer.paperCode, printer.landscape);
  g.paperWidth = MillimetresToDots(paper.width, printer.dpi);
  g.paperHeight = MillimetresToDots(paper.height, printer.dpi);
  g.offsetLeft = std::max(0, (g.paperWidth - printer.pageWidth) / 2);
  g.offsetTop = std::max(0, (g.paperHeight - printer.pageHeight) / 2);
  g.offsetRight = std::max(0, g.paperWidth - printer.pageWidth - g.offsetLeft);
  g.offsetBottom = std::max(0, g.paperHeight - printer.pageHeight - g.offsetTop);
  g.text.left = std::max(0, MillimetresToDots(marginLeft_, printer.dpi) - g.offsetLeft);
  g.text.top = std::max(0, MillimetresToDots(marginTop_, printer.dpi) - g.offsetTop);
  g.text.right = std::min(printer.pageWidth,
                          printer.pageWidth + g.offsetRight - MillimetresToDots(marginRight_, printer.dpi));
  g.text.bottom = std::min(printer.pageHeight,
                           printer.pageHeight + g.offsetBottom - MillimetresToDots(marginBottom_, printer.dpi));
  int band = 3 * font.lineHeight / 2;
  g.header = {g.text.left, g.text.top, g.text.right, g.text.top};
  if (headerAlign_ != haNone && !header_.empty()) g.header.bottom += band;
  g.footer = {g.text.left, g.text.bottom, g.text.right, g.text.bottom};
  if (footerAlign_ != haNone && !footer_.empty()) g.footer.top -= band;
  g.body = {g.text.left, g.header.bottom, g.text.right, g.footer.top};
  g.stripWidth = lineNumber_ ? (Digits(lineCount) + 2) * font.charWidth : 0;
  int gap = MillimetresToDots(columnSpace_, printer.dpi);
  int stripRight = g.body.left + g.stripWidth;
  g.columnWidth = (g.text.right - stripRight - (gap + g.stripWidth) * (columnCount_ - 1)) / columnCount_;
  g.columnStep = gap + g.stripWidth + g.columnWidth;
  return g;
}

int TStringsPrinter::FirstLayoutNumber() const {
  return rangeOption_ == roLimited ? firstPageNumber_ - startPage_ + 1 : firstPageNumber_;
}

bool TStringsPrinter::PagePrinted(int position, int number) const {
  if (rangeOption_ == roLimited && (position + 1 < startPage_ || position + 1 > lastPage_)) return false;
  if (number <= 0) return false;
  if (pageOption_ == poOdd) return number % 2 == 1;
  if (pageOption_ == poEven) return number % 2 == 0;
  return true;
}

std::vector<TLayoutPage> TStringsPrinter::LayOut(const std::vector<std::string>& lines,
                                                 const TPrinterMetrics& printer, const TFontMetrics& font,
                                                 const TMeasure& measure, const SYSTEMTIME& now,
                                                 const std::function<bool(int)>& progress,
                                                 bool* cancelled) const {
  if (cancelled) *cancelled = false;
  TPageGeometry g = Geometry(printer, font, static_cast<int>(lines.size()));
  int gap = MillimetresToDots(marginLine_, printer.dpi);
  int step = font.lineHeight + gap;
  // Without room for one line per column the pages would never end.
  if (font.lineHeight <= 0 || g.body.bottom - g.body.top < step || g.columnWidth <= 0)
    throw std::runtime_error("no text area");

  std::vector<TLayoutPage> pages;
  int number = FirstLayoutNumber();
  auto band = [&](TLayoutPage& page, TPageItem::Kind kind) {
    bool header = kind == TPageItem::kHeader;
    TStringsPrinterHeaderAlign align = header ? headerAlign_ : footerAlign_;
    const std::wstring& templ = header ? header_ : footer_;
    if (align == haNone || templ.empty()) return;
    UINT format = DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER |
                  (align == haLeft ? DT_LEFT : align == haCenter ? DT_CENTER : DT_RIGHT);
    page.items.push_back({kind, header ? g.header : g.footer, format, ExpandTemplate(templ, fileName_, page.number, now)});
  };
  auto startPage = [&] {
    pages.emplace_back();
    pages.back().number = number;
    band(pages.back(), TPageItem::kHeader);
  };
  startPage();
  int column = 0;
  int y = g.body.top;
  int counter = firstLineNumber_ - 1;
  int count = static_cast<int>(lines.size());
  int shown = -1;
  for (int q = 0; q < count; ++q) {
    int percent = count == 1 ? 100 : static_cast<int>(std::lround(q * 100.0 / (count - 1)));
    if (percent != shown) {
      shown = percent;
      if (progress && !progress(percent)) {
        if (cancelled) *cancelled = true;
        return {};
      }
    }
    if (lineRangeOption_ == roLimited && (q < startLine_ - 1 || q > lastLine_ - 1)) continue;
    ++counter;
    for (const std::string& piece : WrapLine(lines[q], g.columnWidth, measure)) {
      if (g.body.bottom < y + step) {
        if (column + 1 < columnCount_) {
          ++column;
        } else {
          band(pages.back(), TPageItem::kFooter);
          ++number;
          startPage();
          column = 0;
        }
        y = g.body.top;
      }
      int stripLeft = g.text.left + column * g.columnStep;
      if (lineNumber_) {
        pages.back().items.push_back({TPageItem::kNumber, {stripLeft, y, stripLeft + g.stripWidth, y + font.lineHeight},
                                      DT_SINGLELINE | DT_NOPREFIX | DT_RIGHT, std::to_wstring(counter) + L":"});
      }
      int left = stripLeft + g.stripWidth;
      pages.back().items.push_back({TPageItem::kBody, {left, y, left + g.columnWidth, y + font.lineHeight},
                                    DT_SINGLELINE | DT_NOPREFIX | DT_LEFT | DT_EXPANDTABS | DT_EXTERNALLEADING |
                                        DT_NOCLIP,
                                    Wide(piece)});
      y += step;
    }
  }
  band(pages.back(), TPageItem::kFooter);
  return pages;
}

LOGFONTW TStringsPrinter::PrinterFont(int printerDpi, int screenDpi) const {
  LOGFONTW font = font_;
  font.lfHeight = static_cast<LONG>(std::lround(font_.lfHeight * static_cast<double>(printerDpi) / screenDpi));
  font.lfWidth = static_cast<LONG>(std::lround(font_.lfWidth * static_cast<double>(printerDpi) / screenDpi));
  return font;
}

void DrawLayoutPage(HDC dc, const TLayoutPage& page, HFONT font) {
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  for (const TPageItem& item : page.items) {
    RECT box = item.box;
    DrawTextW(dc, item.text.c_str(), static_cast<int>(item.text.size()), &box, item.format);
  }
  SelectObject(dc, old);
}

HENHMETAFILE RecordLayoutPage(HDC printer, const TLayoutPage& page, const LOGFONTW& printerFont,
                              const TPrinterMetrics& metrics) {
  // The frame is in hundredths of millimetres.
  RECT frame{0, 0, MulDiv(metrics.pageWidth, 2540, metrics.dpi), MulDiv(metrics.pageHeight, 2540, metrics.dpi)};
  HDC dc = CreateEnhMetaFileW(printer, nullptr, &frame, L"Tavix\0Page\0");
  if (dc == nullptr) return nullptr;
  TFont font(CreateFontIndirectW(&printerFont));
  DrawLayoutPage(dc, page, font.get());
  return CloseEnhMetaFile(dc);
}

namespace {

// The printer the setup dialog chose; null: the system's default.
HGLOBAL currentDevMode = nullptr;
HGLOBAL currentDevNames = nullptr;

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

using viewer_texts::NoPrinter;
using viewer_texts::NoTextArea;
using viewer_texts::PrintCaption;

}  // namespace

HDC CreateCurrentPrinterDC() {
  if (currentDevNames == nullptr) {
    PRINTDLGW pd{};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_RETURNDEFAULT;
    if (!PrintDlgW(&pd)) return nullptr;
    currentDevMode = pd.hDevMode;
    currentDevNames = pd.hDevNames;
  }
  auto names = static_cast<DEVNAMES*>(GlobalLock(currentDevNames));
  if (names == nullptr) return nullptr;
  auto mode = currentDevMode ? static_cast<DEVMODEW*>(GlobalLock(currentDevMode)) : nullptr;
  const wchar_t* base = reinterpret_cast<const wchar_t*>(names);
  HDC dc = CreateDCW(base + names->wDriverOffset, base + names->wDeviceOffset, nullptr, mode);
  if (mode) GlobalUnlock(currentDevMode);
  GlobalUnlock(currentDevNames);
  return dc;
}

TPrinterMetrics MetricsOf(HDC printer) {
  TPrinterMetrics metrics;
  metrics.dpi = GetDeviceCaps(printer, LOGPIXELSX);
  metrics.pageWidth = GetDeviceCaps(printer, HORZRES);
  metrics.pageHeight = GetDeviceCaps(printer, VERTRES);
  if (currentDevMode != nullptr) {
    if (auto mode = static_cast<DEVMODEW*>(GlobalLock(currentDevMode))) {
      if (mode->dmFields & DM_PAPERSIZE) metrics.paperCode = mode->dmPaperSize;
      metrics.landscape = (mode->dmFields & DM_ORIENTATION) && mode->dmOrientation == DMORIENT_LANDSCAPE;
      GlobalUnlock(currentDevMode);
    }
  }
  return metrics;
}

bool PrinterSetupDialog(HWND owner) {
  PRINTDLGW pd{};
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = owner;
  pd.hDevMode = currentDevMode;
  pd.hDevNames = currentDevNames;
  pd.Flags = PD_PRINTSETUP;
  if (!PrintDlgW(&pd)) {
    if (CommDlgExtendedError() == PDERR_NODEFAULTPRN) MessageBoxW(owner, NoPrinter, PrintCaption, MB_ICONERROR);
    return false;
  }
  currentDevMode = pd.hDevMode;
  currentDevNames = pd.hDevNames;
  return true;
}

namespace {

// The common road of Print and Preview: printer, font, layout with progress.
struct TRun {
  HDC printer = nullptr;
  TPrinterMetrics metrics;
  LOGFONTW font{};
  TPageGeometry geometry;
  std::vector<TLayoutPage> pages;
  ~TRun() {
    if (printer) DeleteDC(printer);
  }
};

bool Prepare(HWND owner, const TStringsPrinter& self, const std::vector<std::string>& lines,
             const std::wstring& progressText, TRun& run) {
  run.printer = CreateCurrentPrinterDC();
  if (run.printer == nullptr) {
    MessageBoxW(owner, NoPrinter, PrintCaption, MB_ICONERROR);
    return false;
  }
  run.metrics = MetricsOf(run.printer);
  run.font = self.PrinterFont(run.metrics.dpi, ScreenDpi());
  TFont font(CreateFontIndirectW(&run.font));
  HGDIOBJ old = SelectObject(run.printer, font.get());
  TEXTMETRICW tm{};
  GetTextMetricsW(run.printer, &tm);
  TFontMetrics fontMetrics{tm.tmHeight + tm.tmExternalLeading, tm.tmAveCharWidth};
  HDC measuring = run.printer;
  TMeasure measure = [measuring](const char* bytes, int length) {
    int n = MultiByteToWideChar(932, 0, bytes, length, nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(932, 0, bytes, length, text.data(), n);
    SIZE size{};
    GetTextExtentPoint32W(measuring, text.c_str(), n, &size);
    return static_cast<int>(size.cx);
  };
  SYSTEMTIME now{};
  GetLocalTime(&now);
  bool cancelled = false;
  bool ok = true;
  try {
    TPrintProgress progress(owner, progressText);
    run.geometry = self.Geometry(run.metrics, fontMetrics, static_cast<int>(lines.size()));
    run.pages = self.LayOut(lines, run.metrics, fontMetrics, measure, now,
                            [&progress](int percent) { return progress.Step(percent); }, &cancelled);
  } catch (const std::runtime_error&) {
    // The layout's only refusal: no room for one line.
    MessageBoxW(owner, NoTextArea, PrintCaption, MB_ICONERROR);
    ok = false;
  }
  SelectObject(run.printer, old);
  return ok && !cancelled;
}

}  // namespace

bool TStringsPrinter::Print(HWND owner, const std::vector<std::string>& lines) {
  TRun run;
  if (!Prepare(owner, *this, lines, viewer_texts::Printing, run)) return false;
  if (!PrintLayoutPages(run.printer, *this, run.metrics, run.font, run.pages)) {
    MessageBoxW(owner, viewer_texts::PrintFailed, PrintCaption, MB_ICONERROR);
    return false;
  }
  return true;
}

bool TStringsPrinter::Preview(HWND owner, const std::vector<std::string>& lines) {
  TRun run;
  if (!Prepare(owner, *this, lines, viewer_texts::MakingPreview, run)) return false;
  TPrintPreview preview(owner, run.printer, *this, run.metrics, run.geometry, run.font, std::move(run.pages), lines);
  preview.ShowModal();
  return true;
}
