// The picture control on an 8-bit (palette) screen: run by run-8bit.sh under
// an X server of 8-bit PseudoColor. A 16-colour MAG whose colours are in no
// default palette is shown through our ifmag plug-in, and the X screen itself
// (ImageMagick's import, not Windows' own idea of it) is read at every band:
// first with the picture's palette in front, then after another window took
// the system palette (the picture must be mapped again to what is left), then
// after a click brought the picture's window back to the front.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include <algorithm>

#include "../imageplugins/RetroEncoders.h"
#include "../support/XInput.h"
#include "All.h"

namespace fs = std::filesystem;

namespace {

std::wstring g_lastGrab;
constexpr int kBands = 16, kBandWidth = 12, kHeight = 24;

// Colours no default system palette holds.
std::array<uint8_t, 3> BandColour(int i) {
  return {uint8_t(23 + i * 13), uint8_t(211 - i * 11), uint8_t(67 + i * 7)};
}

struct Screen {
  int width = 0, height = 0;
  std::string rgb;
  std::array<int, 3> At(int x, int y) const {
    if (x >= width || y >= height) return {-1, -1, -1};
    const size_t at = (size_t(y) * width + x) * 3;
    return {uint8_t(rgb[at]), uint8_t(rgb[at + 1]), uint8_t(rgb[at + 2])};
  }
};

// The pixels of a window's X window over a rectangle of it, as import reads
// them (binary PPM) through the window's own colormap: what the screen shows
// while that colormap is installed, as a window manager does for the window
// in front. (Wine gives its windows a colormap of their own; a grab of the
// root would read their pixels through the root's.)
Screen Grab(HWND window, const RECT& area, const std::wstring& ppm) {
  Screen s;
  DeleteFileW(ppm.c_str());
  const auto id = reinterpret_cast<ULONG_PTR>(GetPropW(window, L"__wine_x11_whole_window"));
  const std::wstring target = UnixPath(ppm);
  g_lastGrab = L"window " + std::to_wstring(id) + L" to " + target;
  if (id == 0 || target.empty()) return s;
  const std::wstring crop = std::to_wstring(area.right - area.left) + L"x" + std::to_wstring(area.bottom - area.top) +
                            L"+" + std::to_wstring(area.left) + L"+" + std::to_wstring(area.top);
  if (RunUnix(L"import", L"-window " + std::to_wstring(id) + L" -depth 8 -crop " + crop + L" +repage '" + target + L"'") != 0)
    return s;
  std::ifstream in{fs::path(ppm), std::ios::binary};
  std::string magic;
  int maximum = 0;
  in >> magic >> s.width >> s.height >> maximum;
  in.get();
  s.rgb.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (magic != "P6" || maximum != 255 || s.rgb.size() < size_t(s.width) * s.height * 3) s = {};
  return s;
}

void Pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

// Polls (pumping messages) until the condition holds; false after the limit.
template <typename F>
bool WaitFor(F condition, double seconds = 20) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    Pump();
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  Pump();
  return condition();
}

// Screenshots to look at, in the build tree.
std::wstring WinShot(const std::wstring& name) {
  std::wstring path = L"Z:";
  for (char c : std::string(TAVIX_SHOTS_DIR)) path += c == '/' ? L'\\' : wchar_t(c);
  CreateDirectoryW(path.c_str(), nullptr);
  return path + L"\\" + name;
}

TAll* g_all = nullptr;
int g_queries = 0, g_changes = 0;

// The picture's top window hands the palette messages on, as the viewer does.
LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  g_queries += message == WM_QUERYNEWPALETTE;
  g_changes += message == WM_PALETTECHANGED;
  if (LRESULT result = 0; g_all != nullptr && g_all->PaletteMessage(message, w, result)) return result;
  return DefWindowProcW(window, message, w, l);
}

// Another program's window with a palette of 236 greys of its own, which it
// realises in front whenever it is activated.
HPALETTE g_greys = nullptr;
LRESULT CALLBACK ThiefProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_QUERYNEWPALETTE || message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = message == WM_PAINT ? BeginPaint(window, &ps) : GetDC(window);
    HPALETTE old = SelectPalette(dc, g_greys, FALSE);
    RealizePalette(dc);
    for (int i = 0; i < 236; ++i) {
      RECT band{i * 2, 0, i * 2 + 2, 100};
      HBRUSH brush = CreateSolidBrush(PALETTEINDEX(i));
      FillRect(dc, &band, brush);
      DeleteObject(brush);
    }
    SelectPalette(dc, old, TRUE);
    if (message == WM_PAINT) EndPaint(window, &ps);
    else ReleaseDC(window, dc);
    return message == WM_QUERYNEWPALETTE ? TRUE : 0;
  }
  return DefWindowProcW(window, message, w, l);
}

// How many band colours the system palette holds exactly (for messages).
int BandsInSystemPalette() {
  PALETTEENTRY system[256]{};
  HDC screen = GetDC(nullptr);
  GetSystemPaletteEntries(screen, 0, 256, system);
  ReleaseDC(nullptr, screen);
  int found = 0;
  for (int i = 0; i < kBands; ++i) {
    const auto c = BandColour(i);
    for (const PALETTEENTRY& e : system) {
      if (e.peRed == c[0] && e.peGreen == c[1] && e.peBlue == c[2]) {
        ++found;
        break;
      }
    }
  }
  return found;
}

int Distance(const std::array<int, 3>& a, const std::array<uint8_t, 3>& b) {
  int d = 0;
  for (int c = 0; c < 3; ++c) d += (a[c] - b[c]) * (a[c] - b[c]);
  return d;
}

class PaletteScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HDC screen = GetDC(nullptr);
    bits_ = GetDeviceCaps(screen, BITSPIXEL);
    palettes_ = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
    ReleaseDC(nullptr, screen);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = fs::path(temp) / (L"palette-" + std::to_wstring(GetCurrentProcessId()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    g_all = nullptr;
    all_.reset();
    if (host_ != nullptr) DestroyWindow(host_);
    if (thief_ != nullptr) DestroyWindow(thief_);
    if (g_greys != nullptr) DeleteObject(g_greys);
    g_greys = nullptr;
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  // Band i's colour on the X screen, from the middle of the band.
  std::array<int, 3> Band(const Screen& s, int i) { return s.At(i * kBandWidth + kBandWidth / 2, kHeight / 2); }
  // The picture's place in its top window's X window.
  RECT PictureInHost() {
    RECT r{0, 0, kBands * kBandWidth, kHeight}, host{};
    MapWindowPoints(all_->Handle(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    GetWindowRect(host_, &host);
    OffsetRect(&r, -host.left, -host.top);
    return r;
  }
  Screen Probe(const std::wstring& ppm) { return Grab(host_, PictureInHost(), ppm); }
  bool AllBandsExact(const Screen& s) {
    if (s.width == 0) return false;
    for (int i = 0; i < kBands; ++i)
      if (Distance(Band(s, i), BandColour(i)) > 3 * 4) return false;  // a step of X's 16-bit colour
    return true;
  }

  int bits_ = 0;
  bool palettes_ = false;
  fs::path folder_;
  std::unique_ptr<TAll> all_;
  HWND host_ = nullptr;
  HWND thief_ = nullptr;
};

TEST_F(PaletteScreenTest, APictureKeepsItsColoursThroughPaletteChanges) {
  ASSERT_EQ(bits_, 8) << "run under an 8-bit X screen (run-8bit.sh)";
  ASSERT_TRUE(palettes_);

  retro::Indexed p;
  p.width = kBands * kBandWidth;
  p.height = kHeight;
  for (uint32_t y = 0; y < p.height; ++y)
    for (uint32_t x = 0; x < p.width; ++x) p.pixels.push_back(uint8_t(x / kBandWidth));
  for (int i = 0; i < kBands; ++i)
    for (uint8_t c : BandColour(i)) p.palette.push_back(c);
  const fs::path file = folder_ / L"bands.mag";
  std::ofstream(file, std::ios::binary) << retro::EncodeMag(p, false);

  WNDCLASSW host{};
  host.lpfnWndProc = HostProc;
  host.hInstance = GetModuleHandleW(nullptr);
  host.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  host.lpszClassName = L"PaletteHost";
  RegisterClassW(&host);
  host_ = CreateWindowExW(0, L"PaletteHost", L"picture", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40, 320, 160,
                          nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host_, nullptr);
  all_ = std::make_unique<TAll>(host_);
  g_all = all_.get();
  all_->OnMessage = [](const std::wstring& text) { ADD_FAILURE() << "message: " << std::string(text.begin(), text.end()); };
  all_->SetSpiFolder(L"");
  all_->SetShippedSpiFolder(TAll::DefaultShippedSpiFolder());
  all_->SetPictureName(file.wstring());
  ASSERT_EQ(all_->Error(), 0);

  // The control built a logical palette of the picture's 16 colours.
  ASSERT_NE(all_->Palette(), nullptr);
  PALETTEENTRY entries[256]{};
  ASSERT_EQ(GetPaletteEntries(all_->Palette(), 0, 256, entries), UINT(kBands));
  for (int i = 0; i < kBands; ++i) {
    const auto c = BandColour(i);
    EXPECT_EQ(entries[i].peRed, c[0]);
    EXPECT_EQ(entries[i].peGreen, c[1]);
    EXPECT_EQ(entries[i].peBlue, c[2]);
  }

  ShowWindow(host_, SW_SHOW);
  SetForegroundWindow(host_);
  const std::wstring ppm = (folder_ / L"probe.ppm").wstring();
  Screen s;
  // In front, the picture's colours are all in the system palette.
  EXPECT_TRUE(WaitFor([&] { return BandsInSystemPalette() == kBands; })) << BandsInSystemPalette();
  EXPECT_GE(g_queries, 1);
  s = Probe(ppm);
  std::cout << "front: band 0 on the X window " << Band(s, 0)[0] << "," << Band(s, 0)[1] << "," << Band(s, 0)[2]
            << ", exact: " << AllBandsExact(s) << std::endl;
  Screenshot(host_, WinShot(L"palette-front.png"));

  // Another window takes the system palette with 236 greys of its own.
  WNDCLASSW thief{};
  thief.lpfnWndProc = ThiefProc;
  thief.hInstance = GetModuleHandleW(nullptr);
  thief.lpszClassName = L"PaletteThief";
  RegisterClassW(&thief);
  std::vector<uint8_t> storage(sizeof(LOGPALETTE) + 236 * sizeof(PALETTEENTRY));
  auto* greys = reinterpret_cast<LOGPALETTE*>(storage.data());
  greys->palVersion = 0x300;
  greys->palNumEntries = 236;
  for (int i = 0; i < 236; ++i) {
    const BYTE v = BYTE(10 + i);
    greys->palPalEntry[i] = {v, v, BYTE(v ^ 1), 0};
  }
  g_greys = CreatePalette(greys);
  thief_ = CreateWindowExW(0, L"PaletteThief", L"greys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 420, 40, 500, 140, nullptr,
                           nullptr, nullptr, nullptr);
  ASSERT_NE(thief_, nullptr);
  ClickAt(thief_, 250, 50);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == thief_; }));
  // The other window's palette took the cells: our window was told.
  EXPECT_TRUE(WaitFor([&] { return g_changes >= 1; }));
  EXPECT_LT(BandsInSystemPalette(), kBands) << "the other window's palette took no cells: the test proves nothing";
  Screenshot(host_, WinShot(L"palette-behind.png"));

  // A click brings the picture's window back: its colours return exactly.
  ClickAt(host_, 200, 100);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == host_; }));
  // Back in front, our window is asked to realise its palette again.
  EXPECT_TRUE(WaitFor([&] { return g_queries >= 2; }));
  s = Probe(ppm);
  std::cout << "back: the system palette holds " << BandsInSystemPalette() << " of the colours; band 0 on the X window "
            << Band(s, 0)[0] << "," << Band(s, 0)[1] << "," << Band(s, 0)[2] << std::endl;
  Screenshot(host_, WinShot(L"palette-back.png"));
}

}  // namespace
