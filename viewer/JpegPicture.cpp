#include "JpegPicture.h"

#include <cstring>
#include <vector>

#include "Picture.h"

TBitmap LoadJpegPicture(const std::wstring& path, int& error) {
  error = imageplugin::kReadError;
  TFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size)) return TBitmap();
  if (size.QuadPart > (LONGLONG{1} << 30)) {
    error = imageplugin::kNoMemory;
    return TBitmap();
  }
  std::vector<uint8_t> data(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!data.empty() && (!ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr) ||
                        read != data.size()))
    return TBitmap();
  imageplugin::Picture picture;
  error = imageplugin::kJpegFormat.decode(data.data(), data.size(), false, picture);
  if (error != imageplugin::kOk) return TBitmap();
  std::vector<uint8_t>().swap(data);

  std::vector<uint8_t> header(sizeof(BITMAPINFOHEADER) + picture.palette.size() * sizeof(RGBQUAD));
  auto* info = reinterpret_cast<BITMAPINFO*>(header.data());
  info->bmiHeader = {sizeof(BITMAPINFOHEADER), LONG(picture.width), LONG(picture.height), 1, picture.bitCount,
                     BI_RGB, 0, 0, 0, DWORD(picture.palette.size()), 0};
  std::memcpy(info->bmiColors, picture.palette.data(), picture.palette.size() * sizeof(RGBQUAD));
  void* bits = nullptr;
  TBitmap bitmap(CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) {
    error = imageplugin::kNoMemory;
    return TBitmap();
  }
  std::memcpy(bits, picture.bits.data(), picture.bits.size());
  GdiFlush();
  return bitmap;
}
