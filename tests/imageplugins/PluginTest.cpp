// Our image plug-ins through their exported entries. The pictures and the
// judge's decoding of each (name.rgb) come from make-pictures.sh: ImageMagick
// writes them from one reference picture and decodes them itself.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "PluginLibrary.h"
#include "RetroEncoders.h"

namespace {

std::string Pictures() { return WinPath(TAVIX_PICTURES_DIR) + "\\"; }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Case {
  const char* file;
  const char* plugin;
  uint16_t bitCount;  // of the bitmap handed back
  int tolerance;      // largest difference of one sample from the judge's
};

// JPEG decoders may round differently (and CMYK has no single conversion);
// libtiff's RGBA reader rounds 16-bit samples and takes the high byte of a
// 16-bit colour map, where ImageMagick divides by 257: one step. Everything
// else must give the judge's pixels exactly.
const Case kCases[] = {
    {"png24.png", "ifpng", 24, 0},  {"png24i.png", "ifpng", 24, 0}, {"png32.png", "ifpng", 24, 1},
    {"png48.png", "ifpng", 24, 0},  {"png8.png", "ifpng", 8, 0},    {"png4.png", "ifpng", 4, 0},
    {"png1.png", "ifpng", 1, 0},    {"grey8.png", "ifpng", 8, 0},   {"grey1.png", "ifpng", 8, 0},
    {"gif8.gif", "ifgif", 8, 0},    {"gif8i.gif", "ifgif", 8, 0},   {"gif4.gif", "ifgif", 8, 0},
    {"gif1.gif", "ifgif", 8, 0},    {"tif24.tif", "iftiff", 24, 0}, {"tif48.tif", "iftiff", 24, 1},
    {"tif8p.tif", "iftiff", 24, 1}, {"tif8g.tif", "iftiff", 24, 0}, {"tif1.tif", "iftiff", 24, 0},
    {"tif32.tif", "iftiff", 24, 1}, {"jpeg.jpg", "ifjpeg", 24, 2},  {"jpegp.jpg", "ifjpeg", 24, 2},
    {"jpegg.jpg", "ifjpeg", 8, 2},  {"jpegc.jpg", "ifjpeg", 24, 3}, {"jpeg-o3.jpg", "ifjpeg", 24, 2},
    {"jpeg-o6.jpg", "ifjpeg", 24, 2}, {"jpeg-o8.jpg", "ifjpeg", 24, 2},
};

TEST(ImagePlugins, EveryPictureDecodesToTheJudgesPixels) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.file);
    PluginLibrary plugin(c.plugin);
    Rgb rgb;
    ASSERT_EQ(plugin.Picture(Pictures() + c.file, rgb), 0);
    const std::string judge = ReadAll(Pictures() + std::string(c.file).substr(0, std::string(c.file).rfind('.')) + ".rgb");
    const bool turned = std::string(c.file) == "jpeg-o6.jpg" || std::string(c.file) == "jpeg-o8.jpg";
    EXPECT_EQ(rgb.width, turned ? 61u : 97u);
    EXPECT_EQ(rgb.height, turned ? 97u : 61u);
    EXPECT_EQ(rgb.bitCount, c.bitCount);
    ASSERT_EQ(judge.size(), rgb.pixels.size());
    int worst = 0;
    size_t differing = 0;
    for (size_t i = 0; i < judge.size(); ++i) {
      const int d = std::abs(int(uint8_t(judge[i])) - int(rgb.pixels[i]));
      worst = std::max(worst, d);
      differing += d != 0;
    }
    EXPECT_LE(worst, c.tolerance) << differing << " samples differ";
  }
}

TEST(ImagePlugins, PictureInfoMemoryInputAndOffsets) {
  PluginLibrary jpeg("ifjpeg");
  SusiePictureInfo info{};
  ASSERT_EQ(jpeg.PictureInfo(Pictures() + "jpeg-o6.jpg", 0, info), 0);
  EXPECT_EQ(info.width, 61);  // turned as the camera meant
  EXPECT_EQ(info.height, 97);
  EXPECT_EQ(info.colorDepth, 24);
  EXPECT_EQ(info.hInfo, nullptr);

  // The same picture from memory (flag 1) and behind a 128-byte header.
  const std::string bytes = ReadAll(Pictures() + "png24.png");
  PluginLibrary png("ifpng");
  Rgb fromFile, fromMemory, shifted;
  ASSERT_EQ(png.Picture(Pictures() + "png24.png", fromFile), 0);
  ASSERT_EQ(png.Picture(bytes.data(), LONG_PTR(bytes.size()), 1, fromMemory), 0);
  EXPECT_EQ(fromFile.pixels, fromMemory.pixels);
  ASSERT_EQ(png.PictureInfo(bytes.data(), LONG_PTR(bytes.size()), info, 1), 0);
  EXPECT_EQ(info.width, 97);
  EXPECT_EQ(info.height, 61);

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring headed = std::wstring(temp) + L"headed-" + std::to_wstring(GetCurrentProcessId()) + L".png";
  std::ofstream(std::filesystem::path(headed), std::ios::binary) << std::string(128, 'M') << bytes;
  char narrow[MAX_PATH];
  WideCharToMultiByte(CP_ACP, 0, headed.c_str(), -1, narrow, MAX_PATH, nullptr, nullptr);
  EXPECT_EQ(png.Picture(narrow, shifted, 0), 2);
  ASSERT_EQ(png.Picture(narrow, shifted, 128), 0);
  EXPECT_EQ(shifted.pixels, fromFile.pixels);
  EXPECT_EQ(png.Picture(narrow, shifted, 1 << 20), 2);  // past the end
  DeleteFileW(headed.c_str());
  EXPECT_EQ(png.Picture(Pictures() + "no-such.png", shifted), 6);
}

TEST(ImagePlugins, PluginInfoAndIsSupported) {
  const struct {
    const char* plugin;
    const char* own;
    const char* mask;
  } plugins[] = {{"ifjpeg", "jpeg.jpg", "*.jpg;*.jpeg;*.jpe;*.jfif"},
                 {"ifpng", "png24.png", "*.png"},
                 {"ifgif", "gif8.gif", "*.gif"},
                 {"iftiff", "tif24.tif", "*.tif;*.tiff"}};
  for (const auto& p : plugins) {
    SCOPED_TRACE(p.plugin);
    PluginLibrary plugin(p.plugin);
    EXPECT_EQ(plugin.Info(0), "00IN");
    EXPECT_NE(plugin.Info(1), "");
    EXPECT_EQ(plugin.Info(2), p.mask);
    EXPECT_NE(plugin.Info(3), "");
    EXPECT_EQ(plugin.Info(4), "");
    SusiePictureInfo unused{};
    EXPECT_EQ(plugin.PictureInfo(std::string(""), 0, unused), 6);
    for (const auto& other : plugins) {
      // The head of the file as a 2 KB buffer, and as an open file handle.
      std::string head = ReadAll(Pictures() + other.own);
      head.resize(2048);
      const int expected = other.own == p.own ? 1 : 0;
      EXPECT_EQ(plugin.IsSupported(other.own, head.data()), expected) << other.own;
      HANDLE file = CreateFileA((Pictures() + other.own).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE);
      EXPECT_EQ(plugin.IsSupported(other.own, file), expected) << other.own;
      CloseHandle(file);
    }
  }
}

TEST(ImagePlugins, JpegPreviewIsAQuarterRoundedUp) {
  PluginLibrary jpeg("ifjpeg");
  Rgb full, preview;
  ASSERT_EQ(jpeg.Picture(Pictures() + "big1001.jpg", full), 0);
  EXPECT_EQ(full.width, 1001u);
  ASSERT_EQ(jpeg.Picture(Pictures() + "big1001.jpg", preview, 0, true), 0);
  EXPECT_EQ(preview.width, 251u);
  EXPECT_EQ(preview.height, 251u);
  // Red to blue from top to bottom, in the preview too.
  EXPECT_GT(preview.pixels[0], 200);
  EXPECT_GT(preview.pixels[preview.pixels.size() - 1], 200);
  PluginLibrary png("ifpng");
  EXPECT_EQ(png.Picture(Pictures() + "png24.png", preview, 0, true), -1);
}

size_t PeakMemory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PeakPagefileUsage;
}

TEST(ImagePlugins, BadInputGivesAnErrorCodeWithoutCrashOrHang) {
  const struct {
    const char* file;
    const char* plugin;
    int code;  // 0: any code will do (the damage may not show), but no crash
  } cases[] = {
      {"trunc-png24.png", "ifpng", 3},     {"trunc-png24i.png", "ifpng", 3},  {"trunc-gif8.gif", "ifgif", 3},
      {"trunc-gif8i.gif", "ifgif", 3},     {"trunc-tif24.tif", "iftiff", 3},  {"trunc-tif48.tif", "iftiff", 3},
      {"trunc-jpeg.jpg", "ifjpeg", 3},     {"trunc-jpegp.jpg", "ifjpeg", 3},  {"short-png24.png", "ifpng", 3},
      {"short-gif8.gif", "ifgif", 3},      {"short-tif24.tif", "iftiff", 3},  {"short-jpeg.jpg", "ifjpeg", 3},
      {"short-jpegp.jpg", "ifjpeg", 3},    {"mangled-png24.png", "ifpng", 3}, {"mangled-png24i.png", "ifpng", 3},
      {"mangled-gif8.gif", "ifgif", 0},    {"mangled-gif8i.gif", "ifgif", 0}, {"mangled-tif24.tif", "iftiff", 0},
      {"mangled-tif48.tif", "iftiff", 0},  {"mangled-jpeg.jpg", "ifjpeg", 0}, {"mangled-jpegp.jpg", "ifjpeg", 0},
      {"huge-png.png", "ifpng", 3},        {"huge-gif.gif", "ifgif", 4},      {"huge-tif.tif", "iftiff", 4},
      {"huge-jpeg.jpg", "ifjpeg", 4},      {"zero-frame.gif", "ifgif", 3},    {"strip-offset.tif", "iftiff", 3},
      {"bad-huffman.jpg", "ifjpeg", 3},    {"png-named.jpg", "ifjpeg", 2},    {"jpeg-named.png", "ifpng", 2},
      {"png-named.jpg", "ifgif", 2},       {"png-named.jpg", "iftiff", 2},    {"empty.gif", "ifgif", 2},
  };
  const size_t before = PeakMemory();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " by " + c.plugin);
    PluginLibrary plugin(c.plugin);
    Rgb rgb;
    const auto start = std::chrono::steady_clock::now();
    const int code = plugin.Picture(Pictures() + c.file, rgb);
    SusiePictureInfo info{};
    const int info_code = plugin.PictureInfo(Pictures() + c.file, 0, info);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0);
    if (c.code != 0) {
      EXPECT_EQ(code, c.code);
      if (c.code == 2) {
        EXPECT_EQ(info_code, 2);
      }
    } else {
      EXPECT_TRUE(code == 0 || code == 2 || code == 3) << code;
    }
  }
  // The huge ones were refused before anything of their size was allocated.
  EXPECT_LT(PeakMemory() - before, size_t{200} << 20);
}

// The seeds and every fault the fuzzers found (scripts/fuzz-pictures.sh),
// through the exported entries from memory: a code, never a crash.
TEST(ImagePlugins, FuzzCorpusReplay) {
  const struct {
    const char* folder;
    const char* plugin;
  } formats[] = {{"jpeg", "ifjpeg"}, {"png", "ifpng"}, {"gif", "ifgif"},
                 {"tiff", "iftiff"}, {"mag", "ifmag"},   {"pi", "ifpi"}};
  int files = 0;
  for (const auto& f : formats) {
    PluginLibrary plugin(f.plugin);
    const std::filesystem::path folder =
        std::filesystem::path(WinPath(TAVIX_SOURCE_DIR)) / "tests" / "imageplugins" / "corpus" / f.folder;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      SCOPED_TRACE(entry.path().string());
      const std::string bytes = ReadAll(entry.path().string());
      SusiePictureInfo info{};
      const int info_code = plugin.PictureInfo(bytes.data(), LONG_PTR(bytes.size()), info, 1);
      EXPECT_TRUE(info_code >= -1 && info_code <= 8) << info_code;
      for (bool preview : {false, true}) {
        Rgb rgb;
        const int code = plugin.Picture(bytes.data(), LONG_PTR(bytes.size()), 1, rgb, preview);
        EXPECT_TRUE(code >= -1 && code <= 8) << code;
      }
      ++files;
    }
  }
  EXPECT_GE(files, 26);
}

// MAG and Pi: nothing here reads them, so our own small encoders (written from
// the formats' descriptions) make the files from known pixels.
std::string WritePicture(const std::string& name, const std::string& bytes) {
  const std::string path = Pictures() + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

void ExpectPixels(const Rgb& rgb, const retro::Indexed& p) {
  ASSERT_EQ(rgb.width, p.width);
  ASSERT_EQ(rgb.height, p.height);
  size_t differing = 0;
  for (size_t i = 0; i < p.pixels.size(); ++i)
    for (int c = 0; c < 3; ++c) differing += rgb.pixels[i * 3 + c] != p.palette[p.pixels[i] * 3 + c];
  EXPECT_EQ(differing, 0u);
}

TEST(RetroPlugins, MagAndPiDecodeToTheEncodersPixels) {
  const retro::Indexed p16 = retro::Pattern(97, 61, 16, 7), p256 = retro::Pattern(97, 61, 256, 9);
  const retro::Indexed tall = retro::Pattern(3, 40, 16, 5), dot = retro::Pattern(1, 1, 16, 3);
  const struct {
    const char* name;
    std::string bytes;
    const retro::Indexed& picture;
    uint16_t bitCount;
    WORD xDensity, yDensity;
  } cases[] = {
      {"m16.mag", retro::EncodeMag(p16, false), p16, 4, 1, 1},
      {"m16-left5-200line.mag", retro::EncodeMag(p16, false, 5, 0x01), p16, 4, 2, 1},
      {"m256-left3.mag", retro::EncodeMag(p256, true, 3), p256, 8, 1, 1},
      {"m16-tall.mag", retro::EncodeMag(tall, false, 13), tall, 4, 1, 1},
      {"p16.pi", retro::EncodePi(p16), p16, 4, 1, 1},
      {"p16-ratio.pi", retro::EncodePi(p16, 1, 2), p16, 4, 1, 2},
      {"p16-tall.pi", retro::EncodePi(tall), tall, 4, 1, 1},
      {"p16-dot.pi", retro::EncodePi(dot), dot, 4, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PluginLibrary plugin(std::string(c.name).ends_with(".pi") ? "ifpi" : "ifmag");
    const std::string path = WritePicture(c.name, c.bytes);
    Rgb fromFile, fromMemory, preview;
    ASSERT_EQ(plugin.Picture(path, fromFile), 0);
    EXPECT_EQ(fromFile.bitCount, c.bitCount);
    ExpectPixels(fromFile, c.picture);
    ASSERT_EQ(plugin.Picture(c.bytes.data(), LONG_PTR(c.bytes.size()), 1, fromMemory), 0);
    EXPECT_EQ(fromMemory.pixels, fromFile.pixels);
    EXPECT_EQ(plugin.Picture(path, preview, 0, true), -1);
    SusiePictureInfo info{};
    ASSERT_EQ(plugin.PictureInfo(path, 0, info), 0);
    EXPECT_EQ(info.width, LONG(c.picture.width));
    EXPECT_EQ(info.height, LONG(c.picture.height));
    EXPECT_EQ(info.colorDepth, c.bitCount);
    EXPECT_EQ(info.x_density, c.xDensity);
    EXPECT_EQ(info.y_density, c.yDensity);
    // Behind a 128-byte header, as the viewer retries.
    const std::string headed = WritePicture(std::string("headed-") + c.name, std::string(128, 'M') + c.bytes);
    EXPECT_EQ(plugin.Picture(headed, preview), 2);
    ASSERT_EQ(plugin.Picture(headed, preview, 128), 0);
    EXPECT_EQ(preview.pixels, fromFile.pixels);
  }
}

TEST(RetroPlugins, PluginInfoAndIsSupported) {
  const retro::Indexed p = retro::Pattern(16, 4, 16, 1);
  std::string mag = retro::EncodeMag(p, false), pi = retro::EncodePi(p), png = ReadAll(Pictures() + "png24.png");
  for (std::string* head : {&mag, &pi, &png}) head->resize(2048);
  // Text that starts like a Pi file but has no comment end is not one.
  std::string text = "Pictures of the trip\r\n";
  text.resize(2048);
  const struct {
    const char* plugin;
    const char* mask;
    const std::string* own;
  } plugins[] = {{"ifmag", "*.mag;*.mki", &mag}, {"ifpi", "*.pi", &pi}};
  for (const auto& p : plugins) {
    SCOPED_TRACE(p.plugin);
    PluginLibrary plugin(p.plugin);
    EXPECT_EQ(plugin.Info(0), "00IN");
    EXPECT_NE(plugin.Info(1), "");
    EXPECT_EQ(plugin.Info(2), p.mask);
    EXPECT_NE(plugin.Info(3), "");
    EXPECT_EQ(plugin.Info(4), "");
    for (const std::string* head : {&mag, &pi, &png, &text})
      EXPECT_EQ(plugin.IsSupported("x", const_cast<char*>(head->data())), head == p.own ? 1 : 0);
    HANDLE file = CreateFileA(WritePicture(std::string("own-") + p.plugin, *p.own).c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(plugin.IsSupported("x", file), 1);
    CloseHandle(file);
  }
}

TEST(RetroPlugins, BadInputGivesAnErrorCodeWithoutCrashOrHang) {
  const retro::Indexed p16 = retro::Pattern(97, 61, 16, 7), p256 = retro::Pattern(41, 20, 256, 2);
  const std::string mags[] = {retro::EncodeMag(p16, false), retro::EncodeMag(p256, true, 1)};
  const std::string pi = retro::EncodePi(p16);
  PluginLibrary mag("ifmag"), pip("ifpi");
  const auto start = std::chrono::steady_clock::now();
  // Every cut of every file: a code, never a picture, never a crash.
  auto cuts = [](PluginLibrary& plugin, const std::string& whole) {
    for (size_t n = 0; n < whole.size(); n += 1 + n / 64) {
      SCOPED_TRACE(n);
      Rgb rgb;
      const int code = plugin.Picture(whole.data(), LONG_PTR(n), 1, rgb);
      EXPECT_TRUE(code == 2 || code == 3) << code;
    }
  };
  for (const std::string& m : mags) cuts(mag, m);
  cuts(pip, pi);

  const size_t before = PeakMemory();
  Rgb rgb;
  SusiePictureInfo info{};
  // The header of a MAG follows the comment's 0x1A; offsets count from it.
  const size_t head = mags[0].find('\x1A') + 1;
  auto patched = [&](size_t at, std::initializer_list<uint8_t> bytes) {
    std::string m = mags[0];
    for (uint8_t b : bytes) m[at++] = char(b);
    return m;
  };
  const struct {
    const char* what;
    std::string bytes;
    int code;
  } magCases[] = {
      {"65535 x 65535 declared", patched(head + 8, {0xFF, 0xFF, 0xFF, 0xFF}), 4},
      // 8000 x 8000 fits the limits, but flag A cannot cover it.
      {"8000 x 8000 declared", patched(head + 8, {0x3F, 0x1F, 0x3F, 0x1F}), 3},
      {"end before start", patched(head + 4, {0x10, 0x00, 0x00, 0x00, 0x00, 0x00}), 3},
      {"flag B far out", patched(head + 16, {0x00, 0x00, 0x00, 0x40}), 3},
      {"flag B before flag A", patched(head + 16, {0x10, 0x00, 0x00, 0x00}), 3},
      {"pixels far out", patched(head + 24, {0xF0, 0xFF, 0xFF, 0xFF}), 3},
      {"pixel size too large", patched(head + 28, {0x00, 0x00, 0x10, 0x00}), 3},
      {"no comment end", mags[0].substr(0, head - 1), 3},
  };
  for (const auto& c : magCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(mag.Picture(c.bytes.data(), LONG_PTR(c.bytes.size()), 1, rgb), c.code);
    EXPECT_EQ(mag.PictureInfo(c.bytes.data(), LONG_PTR(c.bytes.size()), info, 1), c.code);
  }
  // Pi: the size follows the machine data; cut the body to a few bytes.
  const size_t piSize = pi.find('\0', pi.find('\x1A')) + 1 + 10 + 3;
  auto piWith = [&](uint32_t w, uint32_t h, size_t body) {
    std::string s = pi.substr(0, piSize);
    s += char(w >> 8), s += char(w & 0xFF), s += char(h >> 8), s += char(h & 0xFF);
    return s + pi.substr(piSize + 4, 48 + body);
  };
  EXPECT_EQ(pi.substr(0, piSize + 4), piWith(97, 61, 0).substr(0, piSize + 4));
  const struct {
    const char* what;
    std::string bytes;
    int code;
  } piCases[] = {
      {"65535 x 65535 declared", piWith(65535, 65535, 100), 4},
      {"11000 x 11000 declared", piWith(11000, 11000, 100), 4},
      {"4000 x 4000 declared, little body", piWith(4000, 4000, 100), 3},
      {"no width", piWith(0, 61, 100), 3},
      {"256 colours", [&] { std::string s = pi; s[piSize - 10] = 8; return s; }(), 2},
      {"no comment end", "Pi without an end", 2},
  };
  for (const auto& c : piCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(pip.Picture(c.bytes.data(), LONG_PTR(c.bytes.size()), 1, rgb), c.code);
  }
  EXPECT_LT(PeakMemory() - before, size_t{200} << 20);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 60.0);
}

}  // namespace
