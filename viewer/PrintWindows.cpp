#include "PrintWindows.h"

#include "ViewerTexts.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

namespace {

// The object a window procedure serves: given at creation, kept in the
// window's user data; nullptr for the messages that come before it.
template <class T>
T* WindowObject(HWND window, UINT message, LPARAM l) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
  return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

HINSTANCE ThisModule() { return GetModuleHandleW(nullptr); }

const wchar_t kProgressClass[] = L"TavixPrintProgress";
const wchar_t kPreviewClass[] = L"TavixPrintPreview";
const wchar_t kAreaClass[] = L"TavixPrintPreviewArea";

enum { kCancel = 100, kFirst = 200, kPrevious, kNext, kLast, kAdjustHeight, kAdjustWidth, kActual, kClose, kPrint };
const wchar_t* const kButtonCaptions[] = {L"|<", L"<", L">", L">|", L"Adjust Height", L"Adjust Width", L"100%",
                                           L"Close", L"Print"};
const int kButtonWidths[] = {32, 32, 32, 32, 96, 96, 48, 56, 56};
const int kPanelHeight = 32;

void RegisterOnce(const wchar_t* name, WNDPROC proc, HBRUSH background) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(ThisModule(), name, &existing)) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = ThisModule();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

HFONT GuiFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

TPrintProgress::TPrintProgress(HWND owner, const std::wstring& text) : owner_(owner) {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&init);
  RegisterOnce(kProgressClass, WindowProc, GetSysColorBrush(COLOR_BTNFACE));
  window_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kProgressClass, L"TStringsPrinter",
                            WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 320, 130, owner,
                            nullptr, ThisModule(), this);
  HWND label = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE, 12, 10, 280, 18, window_, nullptr,
                               ThisModule(), nullptr);
  bar_ = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, 12, 32, 280, 16, window_, nullptr,
                         ThisModule(), nullptr);
  HWND cancel = CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 112, 56,
                                80, 24, window_, reinterpret_cast<HMENU>(kCancel), ThisModule(), nullptr);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
  SendMessageW(cancel, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
  SendMessageW(bar_, PBM_SETRANGE32, 0, 100);
  RECT area{};
  if (owner != nullptr && GetWindowRect(owner, &area)) {
    RECT own{};
    GetWindowRect(window_, &own);
    SetWindowPos(window_, nullptr, area.left + ((area.right - area.left) - (own.right - own.left)) / 2,
                 area.top + ((area.bottom - area.top) - (own.bottom - own.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
  }
  ownerWasEnabled_ = owner != nullptr && IsWindowEnabled(owner);
  if (ownerWasEnabled_) EnableWindow(owner, FALSE);
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
}

TPrintProgress::~TPrintProgress() {
  if (ownerWasEnabled_) EnableWindow(owner_, TRUE);
  if (window_ != nullptr) DestroyWindow(window_);
}

bool TPrintProgress::Step(int percent) {
  SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  PumpMessages();
  return !cancelled_;
}

LRESULT CALLBACK TPrintProgress::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto self = WindowObject<TPrintProgress>(window, message, l);
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(w) == kCancel && self) self->cancelled_ = true;
      return 0;
    case WM_CLOSE:
      if (self) self->cancelled_ = true;
      return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

bool PrintLayoutPages(HDC printer, const TStringsPrinter& settings, const TPrinterMetrics& metrics,
                      const LOGFONTW& printerFont, const std::vector<TLayoutPage>& pages) {
  std::wstring name = settings.FileName().empty() ? L"Tavix" : settings.FileName();
  DOCINFOW doc{};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = name.c_str();
  if (StartDocW(printer, &doc) <= 0) return false;
  // Each page is recorded, played and dropped in turn, so a long document
  // never holds more than one picture.
  bool ok = true;
  RECT whole{0, 0, metrics.pageWidth, metrics.pageHeight};
  for (size_t i = 0; i < pages.size() && ok; ++i) {
    if (!settings.PagePrinted(static_cast<int>(i), pages[i].number)) continue;
    HENHMETAFILE picture = RecordLayoutPage(printer, pages[i], printerFont, metrics);
    if (picture == nullptr || StartPage(printer) <= 0) ok = false;
    if (ok) {
      PlayEnhMetaFile(printer, picture, &whole);
      if (EndPage(printer) <= 0) ok = false;
    }
    if (picture != nullptr) DeleteEnhMetaFile(picture);
  }
  if (ok) {
    EndDoc(printer);
  } else {
    AbortDoc(printer);
  }
  return ok;
}

TPrintPreview::TPrintPreview(HWND owner, HDC printer, const TStringsPrinter& settings,
                             const TPrinterMetrics& metrics, const TPageGeometry& geometry,
                             const LOGFONTW& printerFont, std::vector<TLayoutPage> pages,
                             const std::vector<std::string>& lines)
    : owner_(owner),
      printer_(printer),
      settings_(settings),
      metrics_(metrics),
      geometry_(geometry),
      printerFont_(printerFont),
      pages_(std::move(pages)),
      lines_(lines) {
  RegisterOnce(kPreviewClass, WindowProc, GetSysColorBrush(COLOR_BTNFACE));
  RegisterOnce(kAreaClass, AreaProc, GetSysColorBrush(COLOR_APPWORKSPACE));
  window_ = CreateWindowExW(0, kPreviewClass, L"Preview", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                            CW_USEDEFAULT, 800, 640, owner, nullptr, ThisModule(), this);
  int x = 4;
  for (int i = 0; i < 9; ++i) {
    HWND button = CreateWindowExW(0, L"BUTTON", kButtonCaptions[i], WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, x, 4,
                                  kButtonWidths[i], 24, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirst + i)),
                                  ThisModule(), nullptr);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
    if (i < 8) buttons_[i] = button;
    x += kButtonWidths[i] + 4;
  }
  label_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_CENTERIMAGE, x + 8, 4, 90, 24, window_,
                           nullptr, ThisModule(), nullptr);
  SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
  area_ = CreateWindowExW(WS_EX_CLIENTEDGE, kAreaClass, nullptr, WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, 0,
                          kPanelHeight, 100, 100, window_, nullptr, ThisModule(), this);
  Layout();
  GoToPage(0);
}

TPrintPreview::~TPrintPreview() {
  if (picture_ != nullptr) DeleteEnhMetaFile(picture_);
  if (window_ != nullptr) DestroyWindow(window_);
}

void TPrintPreview::ShowModal() {
  bool ownerWasEnabled = owner_ != nullptr && IsWindowEnabled(owner_);
  if (ownerWasEnabled) EnableWindow(owner_, FALSE);
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  MSG msg;
  while (!closed_) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    // The keys work wherever the focus is inside the window (its buttons take none).
    if (msg.message == WM_KEYDOWN && (msg.hwnd == window_ || IsChild(window_, msg.hwnd)) &&
        Key(static_cast<UINT>(msg.wParam)))
      continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (ownerWasEnabled) EnableWindow(owner_, TRUE);
  ShowWindow(window_, SW_HIDE);
  if (owner_ != nullptr) SetActiveWindow(owner_);
}

void TPrintPreview::GoToPage(int index) {
  page_ = std::clamp(index, 0, std::max(0, PageCount() - 1));
  wchar_t text[64];
  swprintf(text, 64, L"%3d / %3d", page_ + 1, PageCount());
  SetWindowTextW(label_, text);
  EnableWindow(buttons_[0], page_ > 0);
  EnableWindow(buttons_[1], page_ > 0);
  EnableWindow(buttons_[2], page_ + 1 < PageCount());
  EnableWindow(buttons_[3], page_ + 1 < PageCount());
  if (picture_ != nullptr) DeleteEnhMetaFile(picture_);
  picture_ = pages_.empty() ? nullptr : RecordLayoutPage(printer_, pages_[page_], printerFont_, metrics_);
  InvalidateRect(area_, nullptr, TRUE);
}

void TPrintPreview::SetZoom(TPreviewZoom zoom) {
  zoom_ = zoom;
  scroll_ = {};
  PlaceImage();
}

SIZE TPrintPreview::ImageSize() const {
  int sheetWidth = metrics_.pageWidth + geometry_.offsetLeft + geometry_.offsetRight;
  int sheetHeight = metrics_.pageHeight + geometry_.offsetTop + geometry_.offsetBottom;
  SIZE size{};
  if (sheetWidth <= 0 || sheetHeight <= 0) return size;
  if (zoom_ == pzActual) {
    size.cx = MulDiv(sheetWidth, ScreenDpi(), metrics_.dpi);
    size.cy = MulDiv(sheetHeight, ScreenDpi(), metrics_.dpi);
  } else {
    // The whole area less the edges and the scroll bar across the other way.
    RECT outer{};
    GetWindowRect(area_, &outer);
    int width = outer.right - outer.left - 2 * GetSystemMetrics(SM_CXEDGE);
    int height = outer.bottom - outer.top - 2 * GetSystemMetrics(SM_CYEDGE);
    if (zoom_ == pzWidth) {
      size.cx = std::max(1, width - GetSystemMetrics(SM_CXVSCROLL));
      size.cy = MulDiv(size.cx, sheetHeight, sheetWidth);
    } else {
      size.cy = std::max(1, height - GetSystemMetrics(SM_CYHSCROLL));
      size.cx = MulDiv(size.cy, sheetWidth, sheetHeight);
    }
  }
  return size;
}

void TPrintPreview::Layout() {
  RECT client{};
  GetClientRect(window_, &client);
  MoveWindow(area_, 0, kPanelHeight, client.right, std::max(0L, client.bottom - kPanelHeight), TRUE);
  PlaceImage();
}

void TPrintPreview::PlaceImage() {
  SIZE image = ImageSize();
  RECT client{};
  GetClientRect(area_, &client);
  origin_.x = image.cx < client.right ? (client.right - image.cx) / 2 : 0;
  origin_.y = image.cy < client.bottom ? (client.bottom - image.cy) / 2 : 0;
  SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS};
  info.nMax = image.cx - 1;
  info.nPage = static_cast<UINT>(client.right);
  scroll_.x = std::clamp<LONG>(scroll_.x, 0, std::max<LONG>(0, image.cx - client.right));
  info.nPos = scroll_.x;
  SetScrollInfo(area_, SB_HORZ, &info, TRUE);
  info.nMax = image.cy - 1;
  info.nPage = static_cast<UINT>(client.bottom);
  scroll_.y = std::clamp<LONG>(scroll_.y, 0, std::max<LONG>(0, image.cy - client.bottom));
  info.nPos = scroll_.y;
  SetScrollInfo(area_, SB_VERT, &info, TRUE);
  InvalidateRect(area_, nullptr, TRUE);
}

void TPrintPreview::PaintArea(HDC dc) {
  SIZE image = ImageSize();
  int sheetWidth = metrics_.pageWidth + geometry_.offsetLeft + geometry_.offsetRight;
  int sheetHeight = metrics_.pageHeight + geometry_.offsetTop + geometry_.offsetBottom;
  if (image.cx <= 0 || sheetWidth <= 0) return;
  int left = origin_.x - scroll_.x, top = origin_.y - scroll_.y;
  RECT sheet{left, top, left + image.cx, top + image.cy};
  FillRect(dc, &sheet, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  FrameRect(dc, &sheet, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  if (picture_ == nullptr) return;
  RECT place{left + MulDiv(geometry_.offsetLeft, image.cx, sheetWidth),
             top + MulDiv(geometry_.offsetTop, image.cy, sheetHeight), 0, 0};
  place.right = place.left + MulDiv(metrics_.pageWidth, image.cx, sheetWidth);
  place.bottom = place.top + MulDiv(metrics_.pageHeight, image.cy, sheetHeight);
  PlayEnhMetaFile(dc, picture_, &place);
}

bool TPrintPreview::Key(UINT key) {
  bool control = GetKeyState(VK_CONTROL) < 0;
  switch (key) {
    case VK_HOME: Command(kFirst); return true;
    case VK_PRIOR: Command(kPrevious); return true;
    case VK_NEXT: Command(kNext); return true;
    case VK_END: Command(kLast); return true;
    case VK_ESCAPE: Command(kClose); return true;
    case 'P':
      if (!control) return false;
      Command(kPrint);
      return true;
  }
  return false;
}

void TPrintPreview::Command(int id) {
  switch (id) {
    case kFirst: GoToPage(0); break;
    case kPrevious: GoToPage(page_ - 1); break;
    case kNext: GoToPage(page_ + 1); break;
    case kLast: GoToPage(PageCount() - 1); break;
    case kAdjustHeight: SetZoom(pzHeight); break;
    case kAdjustWidth: SetZoom(pzWidth); break;
    case kActual: SetZoom(pzActual); break;
    case kClose: closed_ = true; break;
    case kPrint:
      if (!PrintLayoutPages(printer_, settings_, metrics_, printerFont_, pages_))
        MessageBoxW(window_, viewer_texts::PrintFailed, L"Preview", MB_ICONERROR);
      closed_ = true;
      break;
  }
}

LRESULT CALLBACK TPrintPreview::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto self = WindowObject<TPrintPreview>(window, message, l);
  switch (message) {
    case WM_SIZE:
      if (self && self->area_) self->Layout();
      return 0;
    case WM_COMMAND:
      if (self) self->Command(LOWORD(w));
      return 0;
    case WM_CLOSE:
      if (self) self->closed_ = true;
      return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

LRESULT CALLBACK TPrintPreview::AreaProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto self = WindowObject<TPrintPreview>(window, message, l);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      if (self) self->PaintArea(dc);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_HSCROLL:
    case WM_VSCROLL: {
      if (!self) return 0;
      int bar = message == WM_HSCROLL ? SB_HORZ : SB_VERT;
      SCROLLINFO info{sizeof info, SIF_ALL};
      GetScrollInfo(window, bar, &info);
      int pos = info.nPos;
      switch (LOWORD(w)) {
        case SB_LINEUP: pos -= 16; break;
        case SB_LINEDOWN: pos += 16; break;
        case SB_PAGEUP: pos -= static_cast<int>(info.nPage); break;
        case SB_PAGEDOWN: pos += static_cast<int>(info.nPage); break;
        case SB_THUMBTRACK: pos = info.nTrackPos; break;
      }
      (bar == SB_HORZ ? self->scroll_.x : self->scroll_.y) = pos;
      self->PlaceImage();
      return 0;
    }
  }
  return DefWindowProcW(window, message, w, l);
}
