// A stand-in image plug-in that returns what the test asks of it and logs
// the offsets it was called with. SPY_NO_<entry> leaves that entry out.
#include <windows.h>

#include <cstring>

#include "SpyPlugin.h"

namespace {
SpyConfig config = {{0, 0}, {0, 0}, 1, 1, 40, 30, 24, false, false};
SpyLog log;

void Note(LONG_PTR* list, int& count, LONG_PTR offset) {
  if (count < 8) list[count] = offset;
  ++count;
}

int Make(LONG width, LONG height, HANDLE* info_out, HANDLE* bits_out) {
  const WORD bits = WORD(config.bitCount);
  const size_t colours = bits == 8 ? 256 : 0;
  const size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
  HLOCAL info = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + colours * 4);
  HLOCAL data = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, config.shortBits ? 16 : stride * height);
  auto* header = static_cast<BITMAPINFOHEADER*>(LocalLock(info));
  *header = {sizeof(BITMAPINFOHEADER), width, height, 1, bits, BI_RGB, 0, 0, 0, DWORD(colours), 0};
  auto* table = reinterpret_cast<RGBQUAD*>(header + 1);
  for (size_t i = 0; i < colours; ++i) table[i] = {BYTE(128), BYTE(255 - i), BYTE(i), 0};
  auto* p = static_cast<BYTE*>(LocalLock(data));
  if (!config.shortBits) {
    for (LONG y = 0; y < height; ++y) {
      BYTE* row = p + (height - 1 - y) * stride;  // y from the top
      for (LONG x = 0; x < width; ++x) {
        if (bits == 8) {
          row[x] = BYTE(x + y);
        } else {
          row[x * 3] = 77, row[x * 3 + 1] = BYTE(y * 5), row[x * 3 + 2] = BYTE(x * 3);
        }
      }
    }
  }
  LocalUnlock(info);
  LocalUnlock(data);
  *info_out = info;
  *bits_out = data;
  return 0;
}
}  // namespace

extern "C" {

__declspec(dllexport) void __stdcall SpyConfigure(const SpyConfig* c) {
  config = *c;
  log = SpyLog{};
}
__declspec(dllexport) void __stdcall SpyGetLog(SpyLog* out) { *out = log; }

__declspec(dllexport) int __stdcall GetPluginInfo(int infono, LPSTR buf, int buflen) {
  const char* text = infono == 0 ? "00IN" : infono == 1 ? "spy" : nullptr;
  if (text == nullptr || buflen <= 0) return 0;
  lstrcpynA(buf, text, buflen);
  return lstrlenA(buf);
}
__declspec(dllexport) int __stdcall IsSupported(LPCSTR, void*) { return 1; }

#ifndef SPY_NO_GetPictureInfo
__declspec(dllexport) int __stdcall GetPictureInfo(LPCSTR, LONG_PTR len, unsigned, SpyPictureInfo* info) {
  Note(log.infoOffsets, log.infoCalls, len);
  const int code = config.infoCode[len == 0 ? 0 : 1];
  if (code != 0) return code;
  *info = SpyPictureInfo{0, 0, config.width, config.height, config.xDensity, config.yDensity, 24, nullptr};
  if (config.textInfo) {
    info->hInfo = LocalAlloc(LMEM_MOVEABLE, 32);
    log.textInfoGiven = true;
  }
  return 0;
}
#endif

__declspec(dllexport) int __stdcall GetPicture(LPCSTR, LONG_PTR len, unsigned, HANDLE* info, HANDLE* bits,
                                               FARPROC, LONG_PTR) {
  Note(log.pictureOffsets, log.pictureCalls, len);
  const int code = config.pictureCode[len == 0 ? 0 : 1];
  if (code != 0) {
    SetLastError(1234);
    return code;
  }
  return Make(config.width, config.height, info, bits);
}

#ifndef SPY_NO_GetPreview
__declspec(dllexport) int __stdcall GetPreview(LPCSTR, LONG_PTR len, unsigned, HANDLE* info, HANDLE* bits,
                                               FARPROC, LONG_PTR) {
  Note(log.previewOffsets, log.previewCalls, len);
  return Make((config.width + 3) / 4, (config.height + 3) / 4, info, bits);
}
#endif

}  // extern "C"
