// The printer's two windows: the progress window of a layout run (with its
// Cancel button) and the preview window that shows the laid-out pages.
#pragma once

#include "StringsPrinter.h"

#include <windows.h>

#include <string>
#include <vector>

// Shown (not modally) while the layout runs; Step pumps the window messages.
class TPrintProgress {
 public:
  TPrintProgress(HWND owner, const std::wstring& text);
  ~TPrintProgress();
  TPrintProgress(const TPrintProgress&) = delete;
  TPrintProgress& operator=(const TPrintProgress&) = delete;
  HWND Handle() const { return window_; }
  // Sets the bar; false once Cancel was pressed.
  bool Step(int percent);

 private:
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  HWND owner_;
  HWND window_ = nullptr;
  HWND bar_ = nullptr;
  bool cancelled_ = false;
  bool ownerWasEnabled_ = false;
};

enum TPreviewZoom { pzActual, pzHeight, pzWidth };

// The preview window: page by page, zoomed to 100%, the height or the width.
// Pages are recorded one at a time, when shown, over the printer's context.
// Keys: Home, PageUp, PageDown, End go to the first, previous, next and last
// page; Ctrl+P prints; Esc closes.
class TPrintPreview {
 public:
  TPrintPreview(HWND owner, HDC printer, const TStringsPrinter& settings, const TPrinterMetrics& metrics,
                const TPageGeometry& geometry, const LOGFONTW& printerFont, std::vector<TLayoutPage> pages,
                const std::vector<std::string>& lines);
  ~TPrintPreview();
  TPrintPreview(const TPrintPreview&) = delete;
  TPrintPreview& operator=(const TPrintPreview&) = delete;
  void ShowModal();

  HWND Handle() const { return window_; }
  int PageIndex() const { return page_; }
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TPreviewZoom Zoom() const { return zoom_; }
  SIZE ImageSize() const;
  void GoToPage(int index);
  void SetZoom(TPreviewZoom zoom);

 private:
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK AreaProc(HWND, UINT, WPARAM, LPARAM);
  void Layout();
  void PlaceImage();
  void PaintArea(HDC dc);
  void Command(int id);
  bool Key(UINT key);

  HWND owner_;
  HDC printer_;
  const TStringsPrinter& settings_;
  TPrinterMetrics metrics_;
  TPageGeometry geometry_;
  LOGFONTW printerFont_;
  std::vector<TLayoutPage> pages_;
  const std::vector<std::string>& lines_;
  HWND window_ = nullptr;
  HWND area_ = nullptr;
  HWND label_ = nullptr;
  HWND buttons_[8] = {};
  HENHMETAFILE picture_ = nullptr;
  int page_ = 0;
  TPreviewZoom zoom_ = pzActual;
  POINT origin_{};  // image position in the area (before scrolling)
  POINT scroll_{};
  bool closed_ = false;
};

// Plays the pages that the settings select onto the printer as one print
// job; false when the job could not start.
bool PrintLayoutPages(HDC printer, const TStringsPrinter& settings, const TPrinterMetrics& metrics,
                      const LOGFONTW& printerFont, const std::vector<TLayoutPage>& pages);
