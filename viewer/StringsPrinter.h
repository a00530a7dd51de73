// The string-list printer: lays text lines (Shift-JIS bytes) out on pages with
// margins, header and footer bands, columns and line numbers, then prints the
// pages or shows them in a preview window. The layout is plain code over a
// measuring function, so it runs without a printer or a window.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

enum TStringsPrinterHeaderAlign { haNone = 0, haLeft = 1, haCenter = 2, haRight = 3 };
enum TStringsPrinterPageOption { poBoth = 0, poOdd = 1, poEven = 2 };
enum TStringsPrinterRangeOption { roWhole = 0, roLimited = 1 };

// Physical paper size in millimetres of a paper code (1..68); 0 x 0 otherwise.
struct TPaperSize {
  int width = 0;
  int height = 0;
};
TPaperSize PaperSizeOf(int paperCode, bool landscape);

// round(mm * dpi / 25.4).
int MillimetresToDots(int millimetres, int dpi);

// What the layout needs to know of the printer and its font.
struct TPrinterMetrics {
  int dpi = 600;           // horizontal resolution, serves vertically too
  int pageWidth = 0;       // printable area in dots
  int pageHeight = 0;
  int paperCode = 0;       // DMPAPER_*, 0 without a device mode
  bool landscape = false;
};
struct TFontMetrics {
  int lineHeight = 0;      // cell height + external leading
  int charWidth = 0;       // average character width
};

struct TPageGeometry {
  int paperWidth = 0, paperHeight = 0;  // dots
  int offsetLeft = 0, offsetTop = 0, offsetRight = 0, offsetBottom = 0;
  RECT text{};    // in printable-area coordinates
  RECT header{};  // empty at the text's top when there is no header
  RECT footer{};
  RECT body{};
  int stripWidth = 0;   // line-number strip
  int columnWidth = 0;
  int columnStep = 0;
};

// Text width in dots of Shift-JIS bytes.
using TMeasure = std::function<int(const char* bytes, int length)>;

// Cuts a line into pieces not wider than width: double-byte characters stay
// whole, a piece ends after its last blank when it has one, and every piece
// holds at least one character, so the loop always advances.
std::vector<std::string> WrapLine(const std::string& line, int width, const TMeasure& measure);

// Expands %p %F %f %y %m %d %t; "%x" of any other x gives x.
std::wstring ExpandTemplate(const std::wstring& templ, const std::wstring& fileName, int page,
                            const SYSTEMTIME& now);

// One drawn text of a page.
struct TPageItem {
  enum Kind { kHeader, kFooter, kNumber, kBody } kind;
  RECT box;
  UINT format;  // DrawText flags
  std::wstring text;
};
struct TLayoutPage {
  int number = 0;  // the page number %p gives
  std::vector<TPageItem> items;
};

class TStringsPrinter {
 public:
  TStringsPrinter();
  ~TStringsPrinter();
  TStringsPrinter(const TStringsPrinter&) = delete;
  TStringsPrinter& operator=(const TStringsPrinter&) = delete;
  void Assign(const TStringsPrinter& other);

  int ColumnCount() const { return columnCount_; }
  void SetColumnCount(int value);
  int ColumnSpace() const { return columnSpace_; }
  void SetColumnSpace(int value);
  const std::wstring& FileName() const { return fileName_; }
  void SetFileName(const std::wstring& value) { fileName_ = value; }
  int FirstLineNumber() const { return firstLineNumber_; }
  void SetFirstLineNumber(int value);
  int FirstPageNumber() const { return firstPageNumber_; }
  void SetFirstPageNumber(int value);
  const LOGFONTW& Font() const { return font_; }
  // Height in screen pixels, as a window font has it.
  void SetFont(const LOGFONTW& value) { font_ = value; }
  const std::wstring& Footer() const { return footer_; }
  void SetFooter(const std::wstring& value) { footer_ = value; }
  TStringsPrinterHeaderAlign FooterAlign() const { return footerAlign_; }
  void SetFooterAlign(TStringsPrinterHeaderAlign value) { footerAlign_ = value; }
  const std::wstring& Header() const { return header_; }
  void SetHeader(const std::wstring& value) { header_ = value; }
  TStringsPrinterHeaderAlign HeaderAlign() const { return headerAlign_; }
  void SetHeaderAlign(TStringsPrinterHeaderAlign value) { headerAlign_ = value; }
  int LastLine() const { return lastLine_; }
  void SetLastLine(int value);
  int LastPage() const { return lastPage_; }
  void SetLastPage(int value);
  bool LineNumber() const { return lineNumber_; }
  void SetLineNumber(bool value) { lineNumber_ = value; }
  TStringsPrinterRangeOption LineRangeOption() const { return lineRangeOption_; }
  void SetLineRangeOption(TStringsPrinterRangeOption value) { lineRangeOption_ = value; }
  int MarginBottom() const { return marginBottom_; }
  void SetMarginBottom(int value);
  int MarginLeft() const { return marginLeft_; }
  void SetMarginLeft(int value);
  int MarginRight() const { return marginRight_; }
  void SetMarginRight(int value);
  int MarginTop() const { return marginTop_; }
  void SetMarginTop(int value);
  int MarginLine() const { return marginLine_; }
  void SetMarginLine(int value);
  TStringsPrinterPageOption PageOption() const { return pageOption_; }
  void SetPageOption(TStringsPrinterPageOption value) { pageOption_ = value; }
  TStringsPrinterRangeOption RangeOption() const { return rangeOption_; }
  void SetRangeOption(TStringsPrinterRangeOption value) { rangeOption_ = value; }
  int StartLine() const { return startLine_; }
  void SetStartLine(int value);
  int StartPage() const { return startPage_; }
  void SetStartPage(int value);

  // Lays out and prints on the current printer; false when cancelled or no
  // printer is there (the user has been told).
  bool Print(HWND owner, const std::vector<std::string>& lines);
  // Lays out and shows the preview window modally; false when cancelled.
  bool Preview(HWND owner, const std::vector<std::string>& lines);

  // The plain parts, for the runs above and for tests.
  TPageGeometry Geometry(const TPrinterMetrics& printer, const TFontMetrics& font, int lineCount) const;
  // Progress gets 0..100 and answers false to cancel; then the result is empty
  // and cancelled is set.
  std::vector<TLayoutPage> LayOut(const std::vector<std::string>& lines, const TPrinterMetrics& printer,
                                  const TFontMetrics& font, const TMeasure& measure, const SYSTEMTIME& now,
                                  const std::function<bool(int percent)>& progress, bool* cancelled) const;
  // Whether the page at position (from 0) is printed.
  bool PagePrinted(int position, int number) const;
  // The page number of the first page (for %p).
  int FirstLayoutNumber() const;

  // The font scaled to the printer's resolution.
  LOGFONTW PrinterFont(int printerDpi, int screenDpi) const;

 private:
  int columnCount_ = 1;
  int columnSpace_ = 4;
  std::wstring fileName_;
  int firstLineNumber_ = 0;
  int firstPageNumber_ = 0;
  LOGFONTW font_{};
  std::wstring footer_;
  TStringsPrinterHeaderAlign footerAlign_ = haNone;
  std::wstring header_;
  TStringsPrinterHeaderAlign headerAlign_ = haNone;
  int lastLine_ = 0;
  int lastPage_ = 999999;
  bool lineNumber_ = false;
  TStringsPrinterRangeOption lineRangeOption_ = roWhole;
  int marginBottom_ = 0, marginLeft_ = 0, marginRight_ = 0, marginTop_ = 0, marginLine_ = 0;
  TStringsPrinterPageOption pageOption_ = poBoth;
  TStringsPrinterRangeOption rangeOption_ = roWhole;
  int startLine_ = 0;
  int startPage_ = 0;
};

// Draws a laid-out page onto a device context in printable-area coordinates,
// with the printer font.
void DrawLayoutPage(HDC dc, const TLayoutPage& page, HFONT font);
// Records the page as an enhanced metafile over the printer's reference
// context (the caller deletes it).
HENHMETAFILE RecordLayoutPage(HDC printer, const TLayoutPage& page, const LOGFONTW& printerFont,
                              const TPrinterMetrics& metrics);

// The current printer (the system's default until the setup dialog picks
// another): a device context, or null when none is installed.
HDC CreateCurrentPrinterDC();
TPrinterMetrics MetricsOf(HDC printer);
// The system's printer setup dialog; true when the user chose OK.
bool PrinterSetupDialog(HWND owner);
