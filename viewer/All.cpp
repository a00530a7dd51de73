#include "All.h"

#include "ViewerTexts.h"

#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const wchar_t kClassName[] = L"TavixPicture";

#pragma pack(push, 1)
struct SusiePictureInfo {
  LONG left, top, width, height;
  WORD x_density, y_density;
  SHORT colorDepth;
  HLOCAL hInfo;
};
#pragma pack(pop)
using ProgressCallback = int(__stdcall*)(int, int, LONG_PTR);
using GetPictureInfoFn = int(__stdcall*)(LPCSTR, LONG_PTR, unsigned, SusiePictureInfo*);
using GetPictureFn = int(__stdcall*)(LPCSTR, LONG_PTR, unsigned, HANDLE*, HANDLE*, ProgressCallback, LONG_PTR);

struct KindRow {
  const wchar_t* extensions;  // each with a blank after it
  int kind;
  const wchar_t* plugin;
  const wchar_t* label;
};
const KindRow kKinds[] = {
    {L".BMP .ICO .WMF .EMF ", 0, nullptr, nullptr}, {L".JPG .JPE ", 1, L"ifjpeg.spi", L"JPG"},
    {L".GIF ", 2, L"ifgif.spi", L"GIF"},           {L".TIF ", 3, L"iftiff.spi", L"TIFF"},
    {L".PIC ", 4, L"ifpic.spi", L"PIC"},           {L".P2 ", 5, L"ifpic2.spi", L"PIC2"},
    {L".MAG ", 6, L"ifmag.spi", L"MAG"},           {L".Q4 ", 7, L"ifxld4.spi", L"XLD4"},
    {L".PI ", 8, L"ifpi.spi", L"PI"},              {L".PNG ", 9, L"ifpng.spi", L"PNG"},
};

const KindRow* KindOf(const std::wstring& name) {
  const size_t slash = name.find_last_of(L"\\/:");
  const size_t dot = name.rfind(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return nullptr;
  std::wstring extension = name.substr(dot);
  CharUpperBuffW(extension.data(), static_cast<DWORD>(extension.size()));
  extension += L' ';
  for (const KindRow& row : kKinds)
    if (std::wstring(row.extensions).find(extension) != std::wstring::npos) return &row;
  return nullptr;
}

std::wstring ErrorText(int code) {
  switch (code) {
    case 2: return viewer_texts::PictureUnknownFormat;
    case 3: return viewer_texts::PictureBroken;
    case 4: return viewer_texts::PictureNoMemory;
    case 5: return viewer_texts::PictureMemoryError;
    case 6: return viewer_texts::PictureReadError;
    default: return viewer_texts::PictureOtherError;
  }
}

std::wstring Bracketed(const std::wstring& text, const std::wstring& name) { return text + L" [" + name + L"]"; }

// The plug-in entries take the file name in the ANSI code page; a name it
// cannot spell goes by its short name.
std::string AnsiName(const std::wstring& name) {
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, &lossy);
  std::wstring usable = name;
  if (lossy) {
    wchar_t shortName[MAX_PATH];
    const DWORD length = GetShortPathNameW(name.c_str(), shortName, MAX_PATH);
    if (length > 0 && length < MAX_PATH) usable = shortName;
    n = WideCharToMultiByte(CP_ACP, 0, usable.c_str(), -1, nullptr, 0, nullptr, nullptr);
  }
  std::string result(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, usable.c_str(), -1, result.data(), n, nullptr, nullptr);
  result.resize(n > 0 ? n - 1 : 0);
  return result;
}

// The plug-in file of this build: a 64-bit program loads the 64-bit
// libraries of the family, named .sph.
std::wstring PluginFileName(const wchar_t* name) {
  std::wstring file = name;
  if (sizeof(void*) == 8) file.replace(file.size() - 4, 4, L".sph");
  return file;
}

size_t DibStride(LONG width, WORD bits) { return ((size_t(width) * bits + 31) / 32) * 4; }

// A handle pair from GetPicture, freed on every path.
struct PictureHandles {
  HANDLE info = nullptr;
  HANDLE bits = nullptr;
  ~PictureHandles() {
    if (info != nullptr) LocalFree(info);
    if (bits != nullptr) LocalFree(bits);
  }
};

template <typename F>
F Entry(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

TAll::TAll(HWND parent, int id) {
  static const ATOM registered = [] {
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.style = CS_HREDRAW | CS_VREDRAW;
    c.lpfnWndProc = WindowProc;
    c.hInstance = GetModuleHandleW(nullptr);
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.lpszClassName = kClassName;
    return RegisterClassExW(&c);
  }();
  (void)registered;
  shippedSpiFolder_ = DefaultShippedSpiFolder();
  window_ = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), this);
  OnMessage = [this](const std::wstring& text) {
    MessageBoxW(GetParent(window_), text.c_str(), L"Tavix", MB_OK | MB_ICONERROR);
  };
}

TAll::~TAll() {
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

std::wstring TAll::DefaultShippedSpiFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return L"";
  std::wstring folder(path, n);
  folder.resize(folder.find_last_of(L'\\') + 1);
  return folder + L"imageplugins\\";
}

void TAll::SetPictureName(const std::wstring& name) {
  Clear();
  pictureName_ = name;
  if (!pictureName_.empty()) {
    Load();
  } else {
    error_ = 0;
  }
}

void TAll::SetPreView(bool value) {
  preView_ = value;
  if (!pictureName_.empty()) SetPictureName(std::wstring(pictureName_));
}

void TAll::SetAutoSize(bool value) {
  autoSize_ = value;
  UpdateLayout();
}

void TAll::Clear() {
  bitmap_.reset();
  palette_.reset();
  pictureSize_ = displaySize_ = SIZE{};
  scroll_ = POINT{};
  UpdateLayout();
}

void TAll::Fail(int error, const std::wstring& text) {
  error_ = error;
  const std::wstring name = pictureName_;
  pictureName_.clear();
  Clear();
  if (OnMessage) OnMessage(Bracketed(text, name));
}

void TAll::Load() {
  error_ = 0;
  const KindRow* row = KindOf(pictureName_);
  if (row == nullptr) {
    Fail(kUnsupportedExtension, viewer_texts::PictureUnsupportedExtension);
    preView_ = false;
    orgWidth_ = orgHeight_ = 0;
    return;
  }
  if (row->kind == 0) {
    // Only a JPEG keeps the preview flag and its size.
    preView_ = false;
    orgWidth_ = orgHeight_ = 0;
    LoadNative();
  } else {
    LoadWithPlugin(row->kind);
  }
}

void TAll::LoadNative() {
  // The platform's picture loader over the file's bytes.
  TFileHandle file(CreateFileW(pictureName_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw EPictureError(Bracketed(ErrorText(6), pictureName_) + L" : " + std::to_wstring(GetLastError()));
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > (LONGLONG{1} << 30))
    throw EPictureError(Bracketed(ErrorText(4), pictureName_));
  TGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, std::max<SIZE_T>(static_cast<SIZE_T>(size.QuadPart), 1)));
  if (!memory) throw EPictureError(Bracketed(ErrorText(4), pictureName_));
  {
    TGlobalLock<char> data(memory.get());
    DWORD read = 0;
    if (data.get() == nullptr || !ReadFile(file.get(), data.get(), static_cast<DWORD>(size.QuadPart), &read, nullptr) ||
        read != size.QuadPart)
      throw EPictureError(Bracketed(ErrorText(6), pictureName_));
  }
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  TScopeExit uninitialise([com] {
    if (SUCCEEDED(com)) CoUninitialize();
  });
  TComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(memory.get(), FALSE, stream.put())))
    throw EPictureError(Bracketed(ErrorText(4), pictureName_));
  TComPtr<IPicture> picture;
  const HRESULT loaded =
      OleLoadPicture(stream.get(), static_cast<LONG>(size.QuadPart), FALSE, IID_IPicture, picture.put_void());
  if (loaded == CTL_E_INVALIDPICTURE || (FAILED(loaded) && size.QuadPart == 0)) {
    Fail(kUnknownNative, viewer_texts::PictureUnknownFormat);
    return;
  }
  if (FAILED(loaded) || !picture) {
    // Wine and Windows differ in the code for data they cannot read at all.
    Fail(kUnknownNative, viewer_texts::PictureUnknownFormat);
    return;
  }
  OLE_XSIZE_HIMETRIC himetricWidth = 0;
  OLE_YSIZE_HIMETRIC himetricHeight = 0;
  picture->get_Width(&himetricWidth);
  picture->get_Height(&himetricHeight);
  HDC screen = GetDC(nullptr);
  const int width = MulDiv(himetricWidth, GetDeviceCaps(screen, LOGPIXELSX), 2540);
  const int height = MulDiv(himetricHeight, GetDeviceCaps(screen, LOGPIXELSY), 2540);
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) {
    ReleaseDC(nullptr, screen);
    Fail(kUnknownNative, viewer_texts::PictureUnknownFormat);
    return;
  }
  // Icons and metafiles are drawn over the window's colour.
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  TBitmap bitmap(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  if (!bitmap || dc == nullptr) {
    if (dc != nullptr) DeleteDC(dc);
    throw EPictureError(Bracketed(ErrorText(4), pictureName_));
  }
  HGDIOBJ old = SelectObject(dc, bitmap.get());
  RECT all{0, 0, width, height};
  FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
  picture->Render(dc, 0, 0, width, height, 0, himetricHeight, himetricWidth, -himetricHeight, nullptr);
  SelectObject(dc, old);
  DeleteDC(dc);
  SetBitmap(std::move(bitmap));
}

void TAll::LoadWithPlugin(int kind) {
  const KindRow& row = *std::find_if(std::begin(kKinds), std::end(kKinds), [kind](const KindRow& r) { return r.kind == kind; });
  if (kind != 1) {
    preView_ = false;
    orgWidth_ = orgHeight_ = 0;
  }
  const std::wstring file = PluginFileName(row.plugin);
  TModule module(LoadLibraryW((spiFolder_ + file).c_str()));
  if (!module && !shippedSpiFolder_.empty()) module.reset(LoadLibraryW((shippedSpiFolder_ + file).c_str()));
  const std::wstring notFound = std::wstring(L"IF") + row.label + L".SPI not found";
  if (!module) {
    Fail(kPluginNotFound, notFound);
    return;
  }
  const bool withInfo = kind == 1 || kind == 4 || kind == 5;
  auto pictureInfo = withInfo ? Entry<GetPictureInfoFn>(module.get(), "GetPictureInfo") : nullptr;
  auto preview = withInfo ? Entry<GetPictureFn>(module.get(), "GetPreview") : nullptr;
  auto getPicture = Entry<GetPictureFn>(module.get(), "GetPicture");
  if (getPicture == nullptr || (withInfo && (pictureInfo == nullptr || preview == nullptr))) {
    Fail(kPluginEntryMissing, notFound);
    return;
  }
  const std::string name = AnsiName(pictureName_);
  HDC screen = GetDC(nullptr);
  TScopeExit releaseScreen([screen] { ReleaseDC(nullptr, screen); });

  // The plug-in's bitmap into one of ours; false when its handles do not
  // hold what the header says.
  auto copy = [&](PictureHandles& handles, TBitmap& bitmap, bool sizeFromHeader, HPALETTE* palette) -> bool {
    TGlobalLock<BITMAPINFO> info(handles.info);
    TGlobalLock<uint8_t> bits(handles.bits);
    if (info.get() == nullptr || bits.get() == nullptr || GlobalSize(handles.info) < sizeof(BITMAPINFOHEADER))
      return false;
    const BITMAPINFOHEADER& header = info.get()->bmiHeader;
    const LONG lines = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const WORD count = header.biBitCount;
    if (header.biWidth <= 0 || lines <= 0 || header.biWidth > 65535 || lines > 65535 ||
        (count != 1 && count != 4 && count != 8 && count != 16 && count != 24 && count != 32) ||
        GlobalSize(handles.bits) < DibStride(header.biWidth, count) * size_t(lines))
      return false;
    const size_t colours = count <= 8 ? (header.biClrUsed != 0 ? header.biClrUsed : size_t{1} << count) : 0;
    if (colours > 256 || GlobalSize(handles.info) < header.biSize + colours * sizeof(RGBQUAD)) return false;
    if (sizeFromHeader) {
      BITMAPINFO made{};
      made.bmiHeader = {sizeof(BITMAPINFOHEADER), header.biWidth, lines, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
      void* unused = nullptr;
      bitmap.reset(CreateDIBSection(screen, &made, DIB_RGB_COLORS, &unused, nullptr, 0));
      if (!bitmap) return false;
    }
    if (palette != nullptr && count <= 8 && GetDeviceCaps(screen, BITSPIXEL) == 8) {
      std::vector<uint8_t> storage(sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY));
      auto* logical = reinterpret_cast<LOGPALETTE*>(storage.data());
      logical->palVersion = 0x300;
      logical->palNumEntries = static_cast<WORD>(colours);
      const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(info.get()) + header.biSize);
      for (size_t i = 0; i < colours; ++i)
        logical->palPalEntry[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
      *palette = CreatePalette(logical);
    }
    // Rows laid out as our bitmap's own: copied as they are (Wine's
    // SetDIBits takes far longer over a large picture).
    DIBSECTION section{};
    if (count == 24 && header.biHeight > 0 && header.biCompression == BI_RGB &&
        GetObjectW(bitmap.get(), sizeof section, &section) == sizeof section && section.dsBm.bmBits != nullptr &&
        section.dsBm.bmWidth == header.biWidth && section.dsBm.bmHeight == lines && section.dsBm.bmBitsPixel == 24 &&
        section.dsBmih.biHeight > 0) {
      std::memcpy(section.dsBm.bmBits, bits.get(), DibStride(header.biWidth, 24) * size_t(lines));
      return true;
    }
    return SetDIBits(screen, bitmap.get(), 0, lines, bits.get(), info.get(), DIB_RGB_COLORS) != 0;
  };

  if (kind == 1) {
    LONG_PTR offset = 0;
    SusiePictureInfo info{};
    int code = pictureInfo(name.c_str(), 0, 0, &info);
    if (code != 0) {
      code = pictureInfo(name.c_str(), 128, 0, &info);
      if (code == 0) offset = 128;
    }
    if (code != 0) {
      Fail(code, ErrorText(code));
      return;
    }
    orgWidth_ = info.width;
    orgHeight_ = info.height;
    if (info.hInfo != nullptr) LocalFree(info.hInfo);
    const LONG width = preView_ ? (info.width + 3) / 4 : info.width;
    const LONG height = preView_ ? (info.height + 3) / 4 : info.height;
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) {
      Fail(3, ErrorText(3));
      return;
    }
    BITMAPINFO made{};
    made.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* unused = nullptr;
    TBitmap bitmap(CreateDIBSection(screen, &made, DIB_RGB_COLORS, &unused, nullptr, 0));
    if (!bitmap) {
      Fail(4, ErrorText(4));
      return;
    }
    PictureHandles handles;
    code = (preView_ ? preview : getPicture)(name.c_str(), offset, 0, &handles.info, &handles.bits, nullptr, 0);
    if (code != 0) {
      Fail(code, ErrorText(code));
      return;
    }
    if (!copy(handles, bitmap, false, nullptr)) {
      Fail(5, ErrorText(5));
      return;
    }
    SetBitmap(std::move(bitmap));
    return;
  }

  PictureHandles handles;
  int code = getPicture(name.c_str(), 0, 0, &handles.info, &handles.bits, nullptr, 0);
  if (code == 2) code = getPicture(name.c_str(), 128, 0, &handles.info, &handles.bits, nullptr, 0);
  if (code != 0) {
    error_ = code;
    const DWORD last = GetLastError();
    throw EPictureError(Bracketed(ErrorText(code), pictureName_) + L" : " + std::to_wstring(last));
  }
  TBitmap bitmap;
  HPALETTE madePalette = nullptr;
  if (!copy(handles, bitmap, true, &madePalette)) {
    TPalette discarded(madePalette);
    error_ = 5;
    throw EPictureError(Bracketed(ErrorText(5), pictureName_) + L" : " + std::to_wstring(GetLastError()));
  }
  TPalette palette(madePalette);
  if (palette) {
    HDC dc = GetDC(window_);
    HPALETTE old = SelectPalette(dc, palette.get(), FALSE);
    RealizePalette(dc);
    SelectPalette(dc, old, FALSE);
    ReleaseDC(window_, dc);
  }
  if (kind == 4 || kind == 5) {
    SusiePictureInfo info{};
    if (pictureInfo(name.c_str(), 0, 0, &info) == 0) {
      BITMAP b{};
      GetObjectW(bitmap.get(), sizeof b, &b);
      LONGLONG width = b.bmWidth, height = b.bmHeight;
      const unsigned x = info.x_density, y = info.y_density;
      // A density of 0 says nothing about the aspect; it would also divide by 0.
      if (x != 0 && y != 0 && !(x == 1 && y == 1)) {
        if (x < y) width = width * y / x;
        else height = height * x / y;
      }
      if ((width != b.bmWidth || height != b.bmHeight) && width <= 65535 && height <= 65535) {
        BITMAPINFO made{};
        made.bmiHeader = {sizeof(BITMAPINFOHEADER), LONG(width), LONG(height), 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        void* unused = nullptr;
        TBitmap stretched(CreateDIBSection(screen, &made, DIB_RGB_COLORS, &unused, nullptr, 0));
        if (stretched) {
          HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
          HGDIOBJ oldFrom = SelectObject(from, bitmap.get()), oldTo = SelectObject(to, stretched.get());
          SetStretchBltMode(to, COLORONCOLOR);
          StretchBlt(to, 0, 0, int(width), int(height), from, 0, 0, b.bmWidth, b.bmHeight, SRCCOPY);
          SelectObject(from, oldFrom);
          SelectObject(to, oldTo);
          DeleteDC(from);
          DeleteDC(to);
          bitmap = std::move(stretched);
        }
      }
    }
  }
  SetBitmap(std::move(bitmap));
  palette_ = std::move(palette);
  if (palette_) {
    // The top window realises the picture's palette once.
    HWND top = window_;
    while (GetParent(top) != nullptr) top = GetParent(top);
    HDC dc = GetDC(top);
    HPALETTE old = SelectPalette(dc, palette_.get(), FALSE);
    RealizePalette(dc);
    SelectPalette(dc, old, FALSE);
    ReleaseDC(top, dc);
  }
}

void TAll::AssignPicture(TBitmap bitmap) {
  Clear();
  SetBitmap(std::move(bitmap));
}

void TAll::SetBitmap(TBitmap bitmap) {
  bitmap_ = std::move(bitmap);
  BITMAP b{};
  if (bitmap_ && GetObjectW(bitmap_.get(), sizeof b, &b) != 0) {
    pictureSize_ = {b.bmWidth, b.bmHeight};
  } else {
    pictureSize_ = {};
  }
  displaySize_ = pictureSize_;
  scroll_ = POINT{};
  UpdateLayout();
}

void TAll::SetDisplaySize(SIZE size) {
  displaySize_ = size;
  scroll_ = POINT{};
  UpdateLayout();
}

SIZE TAll::FitSize(SIZE picture, SIZE area, bool shrink) {
  if (!shrink || picture.cx <= 0 || picture.cy <= 0 || area.cx <= 0 || area.cy <= 0 ||
      (picture.cx <= area.cx && picture.cy <= area.cy))
    return picture;
  const double scale = double(picture.cx) / picture.cy > double(area.cx) / area.cy ? double(area.cx) / picture.cx
                                                                                    : double(area.cy) / picture.cy;
  return SIZE{LONG(picture.cx * scale), LONG(picture.cy * scale)};
}

void TAll::UpdateLayout() {
  if (window_ == nullptr || laying_) return;
  laying_ = true;
  if (autoSize_) {
    // The window is the picture: nothing to scroll.
    scroll_ = POINT{};
    ShowScrollBar(window_, SB_BOTH, FALSE);
    SetWindowPos(window_, nullptr, 0, 0, displaySize_.cx, displaySize_.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    // Scroll bars while the window shows less than the picture; setting one
    // narrows the other side, so twice.
    for (int round = 0; round < 2; ++round) {
      RECT client{};
      GetClientRect(window_, &client);
      const LONG page[2] = {client.right, client.bottom};
      const LONG total[2] = {displaySize_.cx, displaySize_.cy};
      LONG* at[2] = {&scroll_.x, &scroll_.y};
      for (int i = 0; i < 2; ++i) {
        *at[i] = std::clamp<LONG>(*at[i], 0, std::max<LONG>(0, total[i] - page[i]));
        SCROLLINFO s{sizeof s, SIF_ALL, 0, std::max<LONG>(0, total[i] - 1), UINT(std::max<LONG>(page[i], 0)), *at[i], 0};
        SetScrollInfo(window_, i == 0 ? SB_HORZ : SB_VERT, &s, TRUE);
      }
    }
  }
  InvalidateRect(window_, nullptr, TRUE);
  laying_ = false;
}

void TAll::Scroll(int bar, WPARAM wparam) {
  SCROLLINFO s{sizeof s, SIF_ALL};
  GetScrollInfo(window_, bar, &s);
  int pos = s.nPos;
  switch (LOWORD(wparam)) {
    case SB_LINEUP: pos -= 16; break;
    case SB_LINEDOWN: pos += 16; break;
    case SB_PAGEUP: pos -= int(s.nPage); break;
    case SB_PAGEDOWN: pos += int(s.nPage); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = s.nTrackPos; break;
    case SB_TOP: pos = s.nMin; break;
    case SB_BOTTOM: pos = s.nMax; break;
    default: return;
  }
  (bar == SB_HORZ ? scroll_.x : scroll_.y) = pos;
  UpdateLayout();
  UpdateWindow(window_);
}

void TAll::Paint(HDC dc) {
  RECT client{};
  GetClientRect(window_, &client);
  if (!bitmap_) {
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    return;
  }
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, bitmap_.get());
  HPALETTE oldPalette = palette_ ? SelectPalette(dc, palette_.get(), FALSE) : nullptr;
  if (palette_) RealizePalette(dc);
  if (displaySize_.cx == pictureSize_.cx && displaySize_.cy == pictureSize_.cy) {
    BitBlt(dc, -scroll_.x, -scroll_.y, pictureSize_.cx, pictureSize_.cy, memory, 0, 0, SRCCOPY);
  } else {
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, -scroll_.x, -scroll_.y, displaySize_.cx, displaySize_.cy, memory, 0, 0, pictureSize_.cx,
               pictureSize_.cy, SRCCOPY);
  }
  if (oldPalette != nullptr) SelectPalette(dc, oldPalette, FALSE);
  SelectObject(memory, old);
  DeleteDC(memory);
  // The rest of the window beyond the picture.
  TGdiObject<HRGN> rest(CreateRectRgnIndirect(&client));
  TGdiObject<HRGN> shown(
      CreateRectRgn(-scroll_.x, -scroll_.y, displaySize_.cx - scroll_.x, displaySize_.cy - scroll_.y));
  CombineRgn(rest.get(), rest.get(), shown.get(), RGN_DIFF);
  FillRgn(dc, rest.get(), GetSysColorBrush(COLOR_BTNFACE));
}

UINT TAll::RealizeOwnPalette(bool background) {
  if (!palette_) return 0;
  HDC dc = GetDC(window_);
  HPALETTE old = SelectPalette(dc, palette_.get(), background ? TRUE : FALSE);
  const UINT changed = RealizePalette(dc);
  SelectPalette(dc, old, TRUE);
  ReleaseDC(window_, dc);
  return changed;
}

bool TAll::PaletteMessage(UINT message, WPARAM wparam, LRESULT& result) {
  result = 0;
  if (message == WM_QUERYNEWPALETTE) {
    // Our window came to the front: the picture's colours take the system
    // palette again, and the picture is drawn anew with them.
    if (!palette_) return true;
    RealizeOwnPalette(false);
    InvalidateRect(window_, nullptr, FALSE);
    result = TRUE;
    return true;
  }
  if (message == WM_PALETTECHANGED) {
    // Another window changed the system palette: the screen pixels of the
    // picture now name other colours, so map ours again and repaint. A
    // change we made ourselves needs nothing (and would never end).
    const HWND changer = reinterpret_cast<HWND>(wparam);
    if (palette_ && changer != window_ && changer != GetAncestor(window_, GA_ROOT)) {
      RealizeOwnPalette(true);
      InvalidateRect(window_, nullptr, FALSE);
    }
    return true;
  }
  return false;
}

LRESULT CALLBACK TAll::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TAll*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<TAll*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->Handle(message, wparam, lparam) : DefWindowProcW(window, message, wparam, lparam);
}

LRESULT TAll::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window_, &ps);
      Paint(dc);
      EndPaint(window_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      UpdateLayout();
      return 0;
    case WM_HSCROLL:
      Scroll(SB_HORZ, wparam);
      return 0;
    case WM_VSCROLL:
      Scroll(SB_VERT, wparam);
      return 0;
    case WM_MOUSEWHEEL:
      Scroll(SB_VERT, GET_WHEEL_DELTA_WPARAM(wparam) > 0 ? SB_LINEUP : SB_LINEDOWN);
      return 0;
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED: {
      LRESULT result = 0;
      PaletteMessage(message, wparam, result);
      return result;
    }
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}
