// The picture control: the extension table, the built-in loader, the
// plug-in road with our plug-ins and with a spy plug-in that returns chosen
// values, every error code and text, the JPEG road, fitting and scrolling.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../imageplugins/RetroEncoders.h"
#include "All.h"
#include "JpegPicture.h"
#include "SpyPlugin.h"

namespace fs = std::filesystem;

namespace {

std::wstring WinPath(const std::string& unix_path) {
  std::wstring path = L"Z:";
  for (char c : unix_path) path += c == '/' ? L'\\' : wchar_t(c);
  return path;
}
std::wstring Pictures() { return WinPath(TAVIX_PICTURES_DIR) + L"\\"; }
std::wstring PluginExtension() { return sizeof(void*) == 8 ? L".sph" : L".spi"; }

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The control's picture as top-down RGB.
std::vector<uint8_t> PixelsOf(HBITMAP bitmap, SIZE& size) {
  BITMAP b{};
  GetObjectW(bitmap, sizeof b, &b);
  size = {b.bmWidth, b.bmHeight};
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), b.bmWidth, -b.bmHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const size_t stride = ((size_t(b.bmWidth) * 3 + 3) / 4) * 4;
  std::vector<uint8_t> dib(stride * b.bmHeight), rgb(size_t(b.bmWidth) * b.bmHeight * 3);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, bitmap, 0, b.bmHeight, dib.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  for (LONG y = 0; y < b.bmHeight; ++y)
    for (LONG x = 0; x < b.bmWidth; ++x)
      for (int c = 0; c < 3; ++c) rgb[(size_t(y) * b.bmWidth + x) * 3 + c] = dib[y * stride + x * 3 + 2 - c];
  return rgb;
}

int WorstDifference(const std::vector<uint8_t>& pixels, const std::string& judge) {
  if (pixels.size() != judge.size()) return 256;
  int worst = 0;
  for (size_t i = 0; i < judge.size(); ++i) worst = std::max(worst, std::abs(int(uint8_t(judge[i])) - int(pixels[i])));
  return worst;
}

class AllTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::path(temp) / (L"alltest-" + std::to_wstring(GetCurrentProcessId())) /
              std::wstring(info->name(), info->name() + strlen(info->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / L"spis");
    parent_ = CreateWindowExW(0, L"STATIC", L"picture host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 400, 300,
                              nullptr, nullptr, nullptr, nullptr);
    all_ = std::make_unique<TAll>(parent_);
    all_->SetSpiFolder(Spis());
    all_->SetShippedSpiFolder(L"");
    all_->OnMessage = [this](const std::wstring& text) { messages_.push_back(text); };
  }
  void TearDown() override {
    all_.reset();
    DestroyWindow(parent_);
    for (HMODULE m : spies_) FreeLibrary(m);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::wstring Spis() const { return (folder_ / L"spis").wstring() + L"\\"; }

  // The spy under a plug-in's name in the plug-in folder, told what to return.
  HMODULE Spy(const wchar_t* stem, const SpyConfig& config, const wchar_t* build = L"spyimage.dll") {
    const fs::path target = folder_ / L"spis" / (std::wstring(stem) + PluginExtension());
    fs::copy_file(fs::path(WinPath(TAVIX_SPY_IMAGE_DIR)) / build, target, fs::copy_options::overwrite_existing);
    HMODULE module = LoadLibraryW(target.c_str());
    EXPECT_NE(module, nullptr);
    auto configure = reinterpret_cast<void(__stdcall*)(const SpyConfig*)>(
        reinterpret_cast<void*>(GetProcAddress(module, "SpyConfigure")));
    configure(&config);
    spies_.push_back(module);
    return module;
  }
  static SpyLog LogOf(HMODULE spy) {
    SpyLog log;
    reinterpret_cast<void(__stdcall*)(SpyLog*)>(reinterpret_cast<void*>(GetProcAddress(spy, "SpyGetLog")))(&log);
    return log;
  }
  // A file of this name with these bytes in the scratch folder.
  std::wstring File(const std::wstring& name, const std::string& bytes) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.wstring();
  }
  SIZE Size() const { return all_->PictureSize(); }

  fs::path folder_;
  HWND parent_ = nullptr;
  std::unique_ptr<TAll> all_;
  std::vector<std::wstring> messages_;
  std::vector<HMODULE> spies_;
};

const SpyConfig kPlain = {{0, 0}, {0, 0}, 1, 1, 40, 30, 24, false, false};

TEST_F(AllTest, ExtensionTableAndMissingPlugins) {
  const struct {
    const wchar_t* name;
    const wchar_t* message;
    int error;
  } cases[] = {
      {L"photo.jpg", L"IFJPG.SPI not found", 20},  {L"photo.JPE", L"IFJPG.SPI not found", 20},
      {L"anim.gif", L"IFGIF.SPI not found", 20},   {L"scan.Tif", L"IFTIFF.SPI not found", 20},
      {L"old.pic", L"IFPIC.SPI not found", 20},    {L"old.p2", L"IFPIC2.SPI not found", 20},
      {L"old.mag", L"IFMAG.SPI not found", 20},    {L"old.q4", L"IFXLD4.SPI not found", 20},
      {L"old.pi", L"IFPI.SPI not found", 20},      {L"web.png", L"IFPNG.SPI not found", 20},
      {L"photo.jpeg", L"サポートされない拡張子", 10}, {L"scan.tiff", L"サポートされない拡張子", 10},
      {L"notes.xyz", L"サポートされない拡張子", 10}, {L"README", L"サポートされない拡張子", 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
    const std::wstring path = File(c.name, "whatever");
    all_->SetPreView(true);
    messages_.clear();
    all_->SetPictureName(path);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], std::wstring(c.message) + L" [" + path + L"]");
    EXPECT_EQ(all_->Error(), c.error);
    EXPECT_EQ(all_->PictureName(), L"");
    EXPECT_EQ(all_->Picture(), nullptr);
    // Only a JPEG keeps the preview flag.
    const bool jpeg = c.error == 20 && std::wstring(c.message).find(L"JPG") != std::wstring::npos;
    EXPECT_EQ(all_->PreView(), jpeg);
    EXPECT_EQ(all_->OrgWidth(), 0);
  }
  all_->SetPictureName(L"");
  EXPECT_EQ(all_->Error(), 0);
}

TEST_F(AllTest, OurPluginsBesideTheProgramAndAUsersPluginFirst) {
  // The settings' default folder ("C:") holds no plug-ins: the shipped ones serve.
  all_->SetSpiFolder(L"C:");
  all_->SetShippedSpiFolder(TAll::DefaultShippedSpiFolder());
  const struct {
    const wchar_t* file;
    const char* judge;
    int tolerance;
  } cases[] = {{L"png24.png", "png24.rgb", 0}, {L"png8.png", "png8.rgb", 0}, {L"gif8i.gif", "gif8i.rgb", 0},
               {L"tif24.tif", "tif24.rgb", 0}, {L"jpeg.jpg", "jpeg.rgb", 2},  {L"jpegp.jpg", "jpegp.rgb", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.judge);
    all_->SetPictureName(Pictures() + c.file);
    EXPECT_TRUE(messages_.empty());
    ASSERT_EQ(all_->Error(), 0);
    SIZE size{};
    const auto pixels = PixelsOf(all_->Picture(), size);
    EXPECT_EQ(size.cx, 97);
    EXPECT_EQ(size.cy, 61);
    EXPECT_LE(WorstDifference(pixels, ReadAll(fs::path(Pictures()) / c.judge)), c.tolerance);
  }
  EXPECT_EQ(all_->OrgWidth(), 97);  // the last one was a JPEG
  // MAG and Pi through our own decoders, made by the tests' encoders.
  const retro::Indexed p16 = retro::Pattern(97, 61, 16, 4), p256 = retro::Pattern(97, 61, 256, 6);
  const struct {
    const wchar_t* file;
    std::string bytes;
    const retro::Indexed& picture;
  } retro_cases[] = {{L"m16.mag", retro::EncodeMag(p16, false), p16},
                     {L"m256.MAG", retro::EncodeMag(p256, true), p256},
                     {L"p16.pi", retro::EncodePi(p16), p16}};
  for (const auto& c : retro_cases) {
    SCOPED_TRACE(std::string(c.file, c.file + wcslen(c.file)));
    std::ofstream(folder_ / c.file, std::ios::binary) << c.bytes;
    all_->SetPictureName((folder_ / c.file).wstring());
    EXPECT_TRUE(messages_.empty());
    ASSERT_EQ(all_->Error(), 0);
    SIZE size{};
    const auto pixels = PixelsOf(all_->Picture(), size);
    std::string judge;
    for (uint8_t index : c.picture.pixels)
      for (int k = 0; k < 3; ++k) judge += char(c.picture.palette[index * 3 + k]);
    EXPECT_EQ(WorstDifference(pixels, judge), 0);
  }
  // AutoSize: the control is the picture's size.
  RECT r{};
  GetWindowRect(all_->Handle(), &r);
  EXPECT_EQ(r.right - r.left, 97);
  EXPECT_EQ(r.bottom - r.top, 61);

  // A name the ANSI code page cannot spell reaches the plug-in by its short name.
  const fs::path odd = folder_ / L"\u0436\u263a\U0001F600 photo.png";
  fs::copy_file(fs::path(Pictures()) / L"png24.png", odd);
  all_->SetPictureName(odd.wstring());
  EXPECT_EQ(all_->Error(), 0);
  EXPECT_EQ(all_->PictureName(), odd.wstring());
  EXPECT_EQ(Size().cx, 97);

  // A plug-in of the same name in the user's folder wins over ours.
  all_->SetSpiFolder(Spis());
  Spy(L"ifpng", kPlain);
  all_->SetPictureName(Pictures() + L"png24.png");
  EXPECT_EQ(Size().cx, 40);
  EXPECT_EQ(Size().cy, 30);
}

TEST_F(AllTest, JpegPreviewOffset128AndOrgSize) {
  all_->SetShippedSpiFolder(TAll::DefaultShippedSpiFolder());
  all_->SetPreView(true);
  all_->SetPictureName(Pictures() + L"big1001.jpg");
  EXPECT_EQ(all_->Error(), 0);
  EXPECT_EQ(Size().cx, 251);
  EXPECT_EQ(Size().cy, 251);
  EXPECT_EQ(all_->OrgWidth(), 1001);
  EXPECT_EQ(all_->OrgHeight(), 1001);
  all_->SetPreView(false);  // loads again at full size
  EXPECT_EQ(Size().cx, 1001);
  // Any other kind drops the preview and the JPEG's size.
  all_->SetPreView(true);
  all_->SetPictureName(Pictures() + L"png24.png");
  EXPECT_FALSE(all_->PreView());
  EXPECT_EQ(all_->OrgWidth(), 0);

  // A JPEG behind a 128-byte header is read at offset 128.
  const std::string jpeg = ReadAll(fs::path(Pictures()) / L"jpeg.jpg");
  all_->SetPictureName(File(L"headed.jpg", std::string(128, '\x01') + jpeg));
  ASSERT_EQ(all_->Error(), 0);
  SIZE size{};
  EXPECT_LE(WorstDifference(PixelsOf(all_->Picture(), size), ReadAll(fs::path(Pictures()) / L"jpeg.rgb")), 2);
  // The same through the spy: info fails at 0, succeeds at 128, the picture is asked at 128.
  all_->SetPreView(true);
  HMODULE spy = Spy(L"ifjpeg", {{2, 0}, {0, 0}, 1, 1, 1001, 1001, 24, true, false});
  all_->SetPictureName(File(L"spy.JPG", "x"));
  SpyLog log = LogOf(spy);
  ASSERT_EQ(log.infoCalls, 2);
  EXPECT_EQ(log.infoOffsets[0], 0);
  EXPECT_EQ(log.infoOffsets[1], 128);
  ASSERT_EQ(log.previewCalls, 1);
  EXPECT_EQ(log.previewOffsets[0], 128);
  EXPECT_EQ(log.pictureCalls, 0);
  EXPECT_EQ(Size().cx, 251);
}

TEST_F(AllTest, JpegErrorCodesAndTexts) {
  const struct {
    int code;
    const wchar_t* text;
  } cases[] = {{2, L"未知のフォーマット"}, {3, L"データが壊れている"}, {4, L"メモリーが確保出来ない"},
               {5, L"メモリーエラー"},     {6, L"ファイルリードエラー"}, {7, L"その他のエラー"},
               {-1, L"その他のエラー"},     {1, L"その他のエラー"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    HMODULE spy = Spy(L"ifjpeg", {{c.code, c.code}, {0, 0}, 1, 1, 40, 30, 24, false, false});
    messages_.clear();
    const std::wstring path = File(L"bad.jpg", "x");
    all_->SetPictureName(path);
    EXPECT_EQ(all_->Error(), c.code);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], std::wstring(c.text) + L" [" + path + L"]");
    EXPECT_EQ(all_->PictureName(), L"");
    EXPECT_EQ(LogOf(spy).infoCalls, 2);  // 0, then 128
    FreeLibrary(spy);
    spies_.pop_back();
  }
  // A plug-in whose pixel block is smaller than its header says is not read past its end.
  Spy(L"ifjpeg", {{0, 0}, {0, 0}, 1, 1, 40, 30, 24, false, true});
  messages_.clear();
  all_->SetPictureName(File(L"short.jpg", "x"));
  EXPECT_EQ(all_->Error(), 5);
  EXPECT_EQ(all_->Picture(), nullptr);
}

TEST_F(AllTest, OtherKindsRaiseTheirErrorsAndRetryOnlyUnknownFormat) {
  HMODULE spy = Spy(L"iftiff", {{0, 0}, {2, 0}, 1, 1, 40, 30, 8, false, false});
  all_->SetPictureName(File(L"retry.tif", "x"));
  EXPECT_EQ(all_->Error(), 0);
  SpyLog log = LogOf(spy);
  ASSERT_EQ(log.pictureCalls, 2);
  EXPECT_EQ(log.pictureOffsets[1], 128);
  EXPECT_EQ(log.infoCalls, 0);  // TIFF asks no information
  // The spy's 8-bit picture came through its palette: index x + y, red = index.
  SIZE size{};
  const auto pixels = PixelsOf(all_->Picture(), size);
  EXPECT_EQ(pixels[(5 * 40 + 7) * 3 + 0], 12);
  EXPECT_EQ(pixels[(5 * 40 + 7) * 3 + 1], 255 - 12);
  EXPECT_EQ(pixels[(5 * 40 + 7) * 3 + 2], 128);

  FreeLibrary(spy);
  spies_.pop_back();
  spy = Spy(L"iftiff", {{0, 0}, {3, 3}, 1, 1, 40, 30, 24, false, false});
  const std::wstring path = File(L"broken.tif", "x");
  try {
    all_->SetPictureName(path);
    ADD_FAILURE() << "no error raised";
  } catch (const EPictureError& e) {
    EXPECT_EQ(e.Message(), L"データが壊れている [" + path + L"] : 1234");
  }
  EXPECT_EQ(all_->Error(), 3);
  EXPECT_EQ(LogOf(spy).pictureCalls, 1);  // not unknown format: no retry
  EXPECT_TRUE(messages_.empty());
}

TEST_F(AllTest, PicDensitiesCorrectTheAspect) {
  const struct {
    WORD x, y;
    LONG width, height;
  } cases[] = {{1, 2, 80, 30}, {1, 1, 40, 30}, {2, 1, 40, 60}, {3, 4, 53, 30}, {0, 2, 40, 30}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + ":" + std::to_string(c.y));
    HMODULE spy = Spy(L"ifpic", {{0, 0}, {0, 0}, c.x, c.y, 40, 30, 24, false, false});
    all_->SetPictureName(File(L"old.PIC", "x"));
    EXPECT_EQ(all_->Error(), 0);
    EXPECT_EQ(Size().cx, c.width);
    EXPECT_EQ(Size().cy, c.height);
    EXPECT_EQ(LogOf(spy).infoCalls, 1);
    FreeLibrary(spy);
    spies_.pop_back();
  }
  HMODULE spy = Spy(L"ifpic2", {{0, 0}, {0, 0}, 1, 2, 40, 30, 24, false, false});
  all_->SetPictureName(File(L"old.p2", "x"));
  EXPECT_EQ(Size().cx, 80);
  (void)spy;
}

TEST_F(AllTest, AMissingEntryPointFailsAsAMissingPlugin) {
  Spy(L"ifjpeg", kPlain, L"spyimage_nopreview.dll");
  const std::wstring path = File(L"photo.jpg", "x");
  all_->SetPictureName(path);
  EXPECT_EQ(all_->Error(), TAll::kPluginEntryMissing);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], L"IFJPG.SPI not found [" + path + L"]");
  // GIF needs only GetPicture: the same spy serves.
  Spy(L"ifgif", kPlain, L"spyimage_nopreview.dll");
  all_->SetPictureName(File(L"anim.gif", "x"));
  EXPECT_EQ(all_->Error(), 0);
}

TEST_F(AllTest, BuiltInLoaderForWindowsFormats) {
  all_->SetPreView(true);
  all_->SetPictureName(Pictures() + L"native.bmp");
  EXPECT_FALSE(all_->PreView());
  ASSERT_EQ(all_->Error(), 0);
  SIZE size{};
  EXPECT_EQ(WorstDifference(PixelsOf(all_->Picture(), size), ReadAll(fs::path(Pictures()) / L"native.rgb")), 0);
  all_->SetPictureName(Pictures() + L"native.ico");
  ASSERT_EQ(all_->Error(), 0);
  EXPECT_EQ(Size().cx, 32);

  // An enhanced metafile and a placeable Windows metafile drawn here: a red square.
  RECT frame{0, 0, 2000, 1000};  // 0.01 mm
  HDC emf = CreateEnhMetaFileW(nullptr, (folder_ / L"drawn.emf").c_str(), &frame, nullptr);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT square{0, 0, 2000, 2000};
  FillRect(emf, &square, red);
  DeleteEnhMetaFile(CloseEnhMetaFile(emf));
  all_->SetPictureName((folder_ / L"drawn.EMF").wstring());
  ASSERT_EQ(all_->Error(), 0);
  EXPECT_GT(Size().cx, 10);
  auto pixels = PixelsOf(all_->Picture(), size);
  const size_t middle = (size_t(size.cy / 2) * size.cx + size.cx / 2) * 3;
  EXPECT_EQ(pixels[middle], 255);
  EXPECT_EQ(pixels[middle + 1], 0);

  HDC wmf = CreateMetaFileW(nullptr);
  SetMapMode(wmf, MM_ANISOTROPIC);
  SetWindowExtEx(wmf, 100, 50, nullptr);
  FillRect(wmf, &square, red);
  HMETAFILE meta = CloseMetaFile(wmf);
  std::string body(GetMetaFileBitsEx(meta, 0, nullptr), '\0');
  GetMetaFileBitsEx(meta, UINT(body.size()), body.data());
  DeleteMetaFile(meta);
  DeleteObject(red);
  WORD header[11] = {0xCDD7, 0x9AC6, 0, 0, 0, 100, 50, 96, 0, 0, 0};
  for (int i = 0; i < 10; ++i) header[10] ^= header[i];
  all_->SetPictureName(File(L"drawn.wmf", std::string(reinterpret_cast<char*>(header), 22) + body));
  ASSERT_EQ(all_->Error(), 0);
  EXPECT_EQ(Size().cx, 100);
  pixels = PixelsOf(all_->Picture(), size);
  EXPECT_EQ(pixels[(size_t(25) * size.cx + 50) * 3], 255);

  // Something else under a Windows picture's name. (Wine's loader also
  // takes PNG, GIF and JPEG by their content, so text stands in.)
  for (const wchar_t* name : {L"fake.bmp", L"fake.ico", L"fake.emf", L"fake.wmf", L"empty.bmp"}) {
    messages_.clear();
    const std::wstring path = File(name, std::wstring(name) == L"empty.bmp" ? "" : "This is a text, not a picture.\r\n");
    all_->SetPictureName(path);
    EXPECT_EQ(all_->Error(), 2);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], L"未知のフォーマット [" + path + L"]");
    EXPECT_EQ(all_->PictureName(), L"");
  }
}

TEST_F(AllTest, JpegRoadOfTheViewer) {
  const struct {
    const wchar_t* file;
    const char* judge;
    LONG width, height;
    int tolerance;
  } cases[] = {{L"jpeg.jpg", "jpeg.rgb", 97, 61, 2},      {L"jpegp.jpg", "jpegp.rgb", 97, 61, 2},
               {L"jpegc.jpg", "jpegc.rgb", 97, 61, 3},    {L"jpegg.jpg", "jpegg.rgb", 97, 61, 2},
               {L"jpeg-o6.jpg", "jpeg-o6.rgb", 61, 97, 2}, {L"jpeg-o3.jpg", "jpeg-o3.rgb", 97, 61, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.judge);
    int error = -99;
    TBitmap bitmap = LoadJpegPicture(Pictures() + c.file, error);
    ASSERT_EQ(error, 0);
    all_->AssignPicture(std::move(bitmap));
    SIZE size{};
    const auto pixels = PixelsOf(all_->Picture(), size);
    EXPECT_EQ(size.cx, c.width);
    EXPECT_EQ(size.cy, c.height);
    EXPECT_LE(WorstDifference(pixels, ReadAll(fs::path(Pictures()) / c.judge)), c.tolerance);
  }
  int error = 0;
  EXPECT_FALSE(LoadJpegPicture(Pictures() + L"bad-huffman.jpg", error));
  EXPECT_EQ(error, 3);
  EXPECT_FALSE(LoadJpegPicture(Pictures() + L"png-named.jpg", error));
  EXPECT_EQ(error, 2);
  EXPECT_FALSE(LoadJpegPicture(Pictures() + L"huge-jpeg.jpg", error));
  EXPECT_EQ(error, 4);
  EXPECT_FALSE(LoadJpegPicture(Pictures() + L"no-such.jpg", error));
  EXPECT_EQ(error, 6);
}

COLORREF ScreenPixel(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, p.x, p.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

// Waits (with a generous limit) until the pixel shows the colour.
bool ShowsColour(HWND window, int x, int y, COLORREF want, int tolerance = 8) {
  for (int i = 0; i < 500; ++i) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    const COLORREF got = ScreenPixel(window, x, y);
    if (std::abs(GetRValue(got) - GetRValue(want)) <= tolerance && std::abs(GetGValue(got) - GetGValue(want)) <= tolerance &&
        std::abs(GetBValue(got) - GetBValue(want)) <= tolerance)
      return true;
    Sleep(10);
  }
  return false;
}

TEST_F(AllTest, FitsPaintsAndScrolls) {
  EXPECT_EQ(TAll::FitSize({1001, 1001}, {392, 292}, true).cx, 292);
  EXPECT_EQ(TAll::FitSize({1001, 1001}, {392, 292}, true).cy, 292);
  EXPECT_EQ(TAll::FitSize({1000, 200}, {392, 292}, true).cx, 392);
  EXPECT_EQ(TAll::FitSize({1000, 200}, {392, 292}, true).cy, 78);
  EXPECT_EQ(TAll::FitSize({1001, 1001}, {392, 292}, false).cx, 1001);
  EXPECT_EQ(TAll::FitSize({97, 61}, {392, 292}, true).cx, 97);

  // The spy's 24-bit picture: red = 3x, green = 5y, blue 77.
  Spy(L"ifpng", {{0, 0}, {0, 0}, 1, 1, 80, 50, 24, false, false});
  ShowWindow(parent_, SW_SHOW);
  all_->SetPictureName(File(L"probe.png", "x"));
  ASSERT_EQ(all_->Error(), 0);
  EXPECT_TRUE(ShowsColour(all_->Handle(), 20, 10, RGB(60, 50, 77)));

  // Stretched to twice its size, the pixel at (40, 20) is the picture's (20, 10).
  all_->SetDisplaySize({160, 100});
  RECT r{};
  GetClientRect(all_->Handle(), &r);
  EXPECT_EQ(r.right, 160);
  EXPECT_TRUE(ShowsColour(all_->Handle(), 41, 21, RGB(60, 50, 77)));

  // AutoSize off in a small window: scroll bars, and scrolling moves the picture.
  all_->SetDisplaySize({80, 50});
  all_->SetAutoSize(false);
  SetWindowPos(all_->Handle(), nullptr, 0, 0, 60, 40, SWP_NOMOVE | SWP_NOZORDER);
  SCROLLINFO s{sizeof s, SIF_ALL};
  ASSERT_TRUE(GetScrollInfo(all_->Handle(), SB_HORZ, &s));
  EXPECT_EQ(s.nMax, 79);
  EXPECT_GT(s.nPage, 0u);
  EXPECT_LT(int(s.nPage), 60);
  SendMessageW(all_->Handle(), WM_HSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
  EXPECT_EQ(all_->ScrollPosition().x, 16);
  EXPECT_TRUE(ShowsColour(all_->Handle(), 4, 10, RGB(60, 50, 77)));
}

}  // namespace
