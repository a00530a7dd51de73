// The exported entries of the image plug-in family over one Format. Every
// entry catches everything: an exception must not cross into the host.
#include <windows.h>

#include "engine/Handles.h"

#include <cstring>
#include <new>
#include <vector>

#include "Picture.h"

namespace imageplugin {
// Defined by each plug-in's build (TAVIX_PLUGIN_FORMAT names the Format).
extern const Format TAVIX_PLUGIN_FORMAT;
}  // namespace imageplugin

namespace {

using namespace imageplugin;
const Format& kFormat = TAVIX_PLUGIN_FORMAT;

#pragma pack(push, 1)
struct SusiePictureInfo {
  LONG left, top;
  LONG width, height;
  WORD x_density, y_density;
  SHORT colorDepth;
  HLOCAL hInfo;
};
#pragma pack(pop)

using ProgressCallback = int(__stdcall*)(int, int, LONG_PTR);

// Files beyond this are not pictures we could hold anyway.
constexpr LONGLONG kMaxFile = 1LL << 30;

// The bytes of the input: a file from an offset (flag 0), or memory (flag 1).
int Input(LPCSTR buf, LONG_PTR len, unsigned flag, std::vector<uint8_t>& owned, const uint8_t*& data,
          size_t& size) {
  if (buf == nullptr) return kReadError;
  if ((flag & 7) == 1) {
    if (len <= 0) return kUnknownFormat;
    data = reinterpret_cast<const uint8_t*>(buf);
    size = static_cast<size_t>(len);
    return kOk;
  }
  TFileHandle file(CreateFileA(buf, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return kReadError;
  int code = kOk;
  LARGE_INTEGER total{};
  if (!GetFileSizeEx(file.get(), &total) || len < 0) {
    code = kReadError;
  } else if (len >= total.QuadPart) {
    code = kUnknownFormat;  // nothing at that offset
  } else if (total.QuadPart - len > kMaxFile) {
    code = kNoMemory;
  } else {
    LARGE_INTEGER at{};
    at.QuadPart = len;
    try {
      owned.resize(static_cast<size_t>(total.QuadPart - len));
    } catch (const std::bad_alloc&) {
      code = kNoMemory;
    }
    if (code == kOk && !SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) code = kReadError;
    size_t done = 0;
    while (code == kOk && done < owned.size()) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(owned.size() - done, 1u << 24));
      if (!ReadFile(file.get(), owned.data() + done, want, &got, nullptr) || got == 0) code = kReadError;
      done += got;
    }
  }
  data = owned.data();
  size = owned.size();
  return code;
}

void Copy(const char* text, LPSTR buf, int buflen, int& written) {
  const int n = static_cast<int>(std::min<size_t>(std::strlen(text), static_cast<size_t>(buflen - 1)));
  std::memcpy(buf, text, n);
  buf[n] = '\0';
  written = n;
}

int DecodeToHandles(LPCSTR buf, LONG_PTR len, unsigned flag, HANDLE* info_out, HANDLE* bits_out,
            ProgressCallback progress, LONG_PTR data_arg, bool preview) {
  if (info_out == nullptr || bits_out == nullptr) return kInternal;
  *info_out = nullptr;
  *bits_out = nullptr;
  if (progress != nullptr && progress(0, 1, data_arg) != 0) return kAborted;
  std::vector<uint8_t> owned;
  const uint8_t* data = nullptr;
  size_t size = 0;
  int code = Input(buf, len, flag, owned, data, size);
  if (code != kOk) return code;
  imageplugin::Picture picture;
  code = kFormat.decode(data, size, preview, picture);
  if (code != kOk) return code;
  owned.clear();
  owned.shrink_to_fit();

  const size_t colours = picture.palette.size();
  HLOCAL info = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + colours * 4);
  HLOCAL bits = info != nullptr ? LocalAlloc(LMEM_MOVEABLE, picture.bits.size()) : nullptr;
  auto* header = info != nullptr ? static_cast<BITMAPINFOHEADER*>(LocalLock(info)) : nullptr;
  void* pixels = bits != nullptr ? LocalLock(bits) : nullptr;
  if (header == nullptr || pixels == nullptr) {
    if (header != nullptr) LocalUnlock(info);
    if (pixels != nullptr) LocalUnlock(bits);
    if (info != nullptr) LocalFree(info);
    if (bits != nullptr) LocalFree(bits);
    return kNoMemory;
  }
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = static_cast<LONG>(picture.width);
  header->biHeight = static_cast<LONG>(picture.height);
  header->biPlanes = 1;
  header->biBitCount = picture.bitCount;
  header->biCompression = BI_RGB;
  header->biSizeImage = static_cast<DWORD>(picture.bits.size());
  header->biClrUsed = static_cast<DWORD>(colours);
  std::memcpy(header + 1, picture.palette.data(), colours * 4);
  std::memcpy(pixels, picture.bits.data(), picture.bits.size());
  LocalUnlock(info);
  LocalUnlock(bits);
  if (progress != nullptr && progress(1, 1, data_arg) != 0) {
    LocalFree(info);
    LocalFree(bits);
    return kAborted;
  }
  *info_out = info;
  *bits_out = bits;
  return kOk;
}

}  // namespace

extern "C" {

__declspec(dllexport) int __stdcall GetPluginInfo(int infono, LPSTR buf, int buflen) {
  if (buf == nullptr || buflen <= 0 || infono < 0) return 0;
  int written = 0;
  if (infono == 0) {
    Copy("00IN", buf, buflen, written);
  } else if (infono == 1) {
    Copy(kFormat.about, buf, buflen, written);
  } else {
    int i = 0;
    while (kFormat.extensions[i] != nullptr && i < infono - 2) ++i;
    if (i == infono - 2 && kFormat.extensions[i] != nullptr) Copy(kFormat.extensions[i], buf, buflen, written);
  }
  return written;
}

// dw is a file handle when its upper bits are clear, else the first 2 KB of the file.
__declspec(dllexport) int __stdcall IsSupported(LPCSTR, void* dw) {
  try {
    const auto value = reinterpret_cast<ULONG_PTR>(dw);
    if ((value & ~ULONG_PTR{0xFFFF}) != 0) return kFormat.probe(static_cast<const uint8_t*>(dw), 2048) ? 1 : 0;
    uint8_t head[2048];
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(dw), head, sizeof head, &got, nullptr)) return 0;
    return kFormat.probe(head, got) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

__declspec(dllexport) int __stdcall GetPictureInfo(LPCSTR buf, LONG_PTR len, unsigned int flag,
                                                   SusiePictureInfo* lpInfo) {
  if (lpInfo == nullptr) return kInternal;
  try {
    std::vector<uint8_t> owned;
    const uint8_t* data = nullptr;
    size_t size = 0;
    int code = Input(buf, len, flag, owned, data, size);
    if (code != kOk) return code;
    PictureInfo info;
    code = kFormat.info(data, size, info);
    if (code != kOk) return code;
    *lpInfo = SusiePictureInfo{};
    lpInfo->width = static_cast<LONG>(info.width);
    lpInfo->height = static_cast<LONG>(info.height);
    lpInfo->x_density = info.xDensity;
    lpInfo->y_density = info.yDensity;
    lpInfo->colorDepth = info.depth;
    lpInfo->hInfo = nullptr;
    return kOk;
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  } catch (...) {
    return kInternal;
  }
}

__declspec(dllexport) int __stdcall GetPicture(LPCSTR buf, LONG_PTR len, unsigned int flag, HANDLE* pHBInfo,
                                               HANDLE* pHBm, ProgressCallback lpPrgressCallback, LONG_PTR lData) {
  try {
    return DecodeToHandles(buf, len, flag, pHBInfo, pHBm, lpPrgressCallback, lData, false);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  } catch (...) {
    return kInternal;
  }
}

__declspec(dllexport) int __stdcall GetPreview(LPCSTR buf, LONG_PTR len, unsigned int flag, HANDLE* pHBInfo,
                                               HANDLE* pHBm, ProgressCallback lpPrgressCallback, LONG_PTR lData) {
  if (!kFormat.hasPreview) return kNotImplemented;
  try {
    return DecodeToHandles(buf, len, flag, pHBInfo, pHBm, lpPrgressCallback, lData, true);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  } catch (...) {
    return kInternal;
  }
}

}  // extern "C"
