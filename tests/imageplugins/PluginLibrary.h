// One of our image plug-ins loaded by file name, as Tavix loads it, with
// typed entries and the picture it returns turned into plain RGB.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#pragma pack(push, 1)
struct SusiePictureInfo {
  LONG left, top, width, height;
  WORD x_density, y_density;
  SHORT colorDepth;
  HLOCAL hInfo;
};
#pragma pack(pop)

using ProgressCallback = int(__stdcall*)(int, int, LONG_PTR);

// "Z:\..." for a Linux path.
inline std::string WinPath(const std::string& unix_path) {
  std::string path = "Z:" + unix_path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// The plug-in file of this build: .sph for 64-bit, .spi for 32-bit.
inline std::string PluginFile(const std::string& stem) {
  return WinPath(TAVIX_IMAGEPLUGINS_DIR) + "\\" + stem + (sizeof(void*) == 8 ? ".sph" : ".spi");
}

struct Rgb {
  uint32_t width = 0, height = 0;
  uint16_t bitCount = 0;
  std::vector<uint8_t> pixels;  // top-down, red, green, blue
};

class PluginLibrary {
 public:
  explicit PluginLibrary(const std::string& stem) {
    module_ = LoadLibraryA(PluginFile(stem).c_str());
    if (module_ == nullptr) throw std::runtime_error("cannot load " + PluginFile(stem));
    info_ = Entry<decltype(info_)>("GetPluginInfo");
    supported_ = Entry<decltype(supported_)>("IsSupported");
    picture_info_ = Entry<decltype(picture_info_)>("GetPictureInfo");
    picture_ = Entry<decltype(picture_)>("GetPicture");
    preview_ = Entry<decltype(preview_)>("GetPreview");
  }
  ~PluginLibrary() { FreeLibrary(module_); }
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  std::string Info(int number) {
    char buffer[256] = {};
    const int n = info_(number, buffer, sizeof buffer);
    return std::string(buffer, n > 0 ? n : 0);
  }
  int IsSupported(const char* name, void* dw) { return supported_(name, dw); }
  int PictureInfo(const char* buf, LONG_PTR len, SusiePictureInfo& info, unsigned flag = 0) {
    return picture_info_(buf, len, flag, &info);
  }
  int PictureInfo(const std::string& file, LONG_PTR offset, SusiePictureInfo& info) {
    return picture_info_(file.c_str(), offset, 0, &info);
  }
  // GetPicture (or GetPreview) and the picture as RGB; the handles are freed.
  int Picture(const char* buf, LONG_PTR len, unsigned flag, Rgb& out, bool preview = false);
  int Picture(const std::string& file, Rgb& out, LONG_PTR offset = 0, bool preview = false) {
    return Picture(file.c_str(), offset, 0, out, preview);
  }

 private:
  template <typename F>
  F Entry(const char* name) {
    auto f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    if (f == nullptr) throw std::runtime_error(std::string("no entry ") + name);
    return f;
  }
  HMODULE module_;
  int(__stdcall* info_)(int, LPSTR, int) = nullptr;
  int(__stdcall* supported_)(LPCSTR, void*) = nullptr;
  int(__stdcall* picture_info_)(LPCSTR, LONG_PTR, unsigned, SusiePictureInfo*) = nullptr;
  int(__stdcall* picture_)(LPCSTR, LONG_PTR, unsigned, HANDLE*, HANDLE*, ProgressCallback, LONG_PTR) = nullptr;
  int(__stdcall* preview_)(LPCSTR, LONG_PTR, unsigned, HANDLE*, HANDLE*, ProgressCallback, LONG_PTR) = nullptr;
};

inline int PluginLibrary::Picture(const char* buf, LONG_PTR len, unsigned flag, Rgb& out, bool preview) {
  HANDLE info = nullptr, bits = nullptr;
  const int code = (preview ? preview_ : picture_)(buf, len, flag, &info, &bits, nullptr, 0);
  if (code != 0) {
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(bits, nullptr);
    return code;
  }
  auto* header = static_cast<BITMAPINFOHEADER*>(LocalLock(info));
  auto* data = static_cast<const uint8_t*>(LocalLock(bits));
  const auto* colours = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(header) + header->biSize);
  out.width = header->biWidth;
  out.height = header->biHeight;
  out.bitCount = header->biBitCount;
  const size_t stride = ((size_t{out.width} * out.bitCount + 31) / 32) * 4;
  EXPECT_GE(LocalSize(bits), stride * out.height);
  out.pixels.resize(size_t{out.width} * out.height * 3);
  for (uint32_t y = 0; y < out.height; ++y) {
    const uint8_t* row = data + (out.height - 1 - y) * stride;
    for (uint32_t x = 0; x < out.width; ++x) {
      uint8_t* p = &out.pixels[(size_t{y} * out.width + x) * 3];
      if (out.bitCount == 24) {
        p[0] = row[x * 3 + 2], p[1] = row[x * 3 + 1], p[2] = row[x * 3];
        continue;
      }
      unsigned index = 0;
      if (out.bitCount == 8) index = row[x];
      else if (out.bitCount == 4) index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
      else if (out.bitCount == 1) index = (row[x / 8] >> (7 - x % 8)) & 1;
      const unsigned used = header->biClrUsed != 0 ? header->biClrUsed : 1u << out.bitCount;
      EXPECT_LT(index, used);
      p[0] = colours[index].rgbRed, p[1] = colours[index].rgbGreen, p[2] = colours[index].rgbBlue;
    }
  }
  LocalUnlock(info);
  LocalUnlock(bits);
  LocalFree(info);
  LocalFree(bits);
  return 0;
}
