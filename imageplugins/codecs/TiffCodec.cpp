// TIFF through libtiff's RGBA reader: every photometric and bit depth it
// knows, as 24-bit colour with transparency over white; the first directory.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include <tiffio.h>

#include "../core/Picture.h"

namespace imageplugin {
namespace {

bool Probe(const uint8_t* head, size_t size) {
  if (size < 4) return false;
  return (head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0) ||
         (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43));
}

struct Source {
  const uint8_t* data;
  size_t size;
  uint64_t at;
};

tmsize_t ReadData(thandle_t h, void* out, tmsize_t length) {
  auto* s = static_cast<Source*>(h);
  if (length <= 0 || s->at >= s->size) return 0;
  const size_t n = std::min<uint64_t>(static_cast<uint64_t>(length), s->size - s->at);
  std::memcpy(out, s->data + s->at, n);
  s->at += n;
  return static_cast<tmsize_t>(n);
}
tmsize_t WriteData(thandle_t, void*, tmsize_t) { return 0; }
toff_t Seek(thandle_t h, toff_t offset, int whence) {
  auto* s = static_cast<Source*>(h);
  uint64_t base = whence == SEEK_CUR ? s->at : whence == SEEK_END ? s->size : 0;
  s->at = base + offset;  // reads past the end return nothing
  return s->at;
}
int Close(thandle_t) { return 0; }
toff_t Size(thandle_t h) { return static_cast<Source*>(h)->size; }
int Map(thandle_t, void**, toff_t*) { return 0; }
void Unmap(thandle_t, void*, toff_t) {}

class File {
 public:
  File(const uint8_t* data, size_t size) : source_{data, size, 0} {
    static std::once_flag quiet;
    std::call_once(quiet, [] {
      TIFFSetErrorHandler(nullptr);
      TIFFSetWarningHandler(nullptr);
    });
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options != nullptr) TIFFOpenOptionsSetMaxSingleMemAlloc(options, 256 << 20);
    tif_ = TIFFClientOpenExt("picture", "rm", &source_, ReadData, WriteData, Seek, Close, Size, Map,
                             Unmap, options);
    if (options != nullptr) TIFFOpenOptionsFree(options);
  }
  ~File() {
    if (tif_ != nullptr) TIFFClose(tif_);
  }
  Source source_;
  TIFF* tif_ = nullptr;
};

int Info(const uint8_t* data, size_t size, PictureInfo& info) {
  if (!Probe(data, size)) return kUnknownFormat;
  File f(data, size);
  if (f.tif_ == nullptr) return kCorrupt;
  uint32_t w = 0, h = 0;
  uint16_t bits = 1, samples = 1;
  TIFFGetField(f.tif_, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(f.tif_, TIFFTAG_IMAGELENGTH, &h);
  TIFFGetFieldDefaulted(f.tif_, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(f.tif_, TIFFTAG_SAMPLESPERPIXEL, &samples);
  info.width = w;
  info.height = h;
  // Both are 16-bit fields: their product can exceed the record's 16-bit depth (and an int).
  info.depth = static_cast<int16_t>(std::min<uint32_t>(uint32_t{bits} * samples, 32767));
  return kOk;
}

int Decode(const uint8_t* data, size_t size, bool, Picture& picture) {
  if (!Probe(data, size)) return kUnknownFormat;
  File f(data, size);
  if (f.tif_ == nullptr) return kCorrupt;
  uint32_t w = 0, h = 0;
  TIFFGetField(f.tif_, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(f.tif_, TIFFTAG_IMAGELENGTH, &h);
  if (!SizeAcceptable(w, h)) return w == 0 || h == 0 ? kCorrupt : kNoMemory;
  char message[1024];
  if (!TIFFRGBAImageOK(f.tif_, message)) return kCorrupt;
  int code = picture.Allocate(w, h, 24);
  if (code != kOk) return code;
  std::vector<uint32_t> raster;
  try {
    raster.resize(size_t{w} * h);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  if (!TIFFReadRGBAImageOriented(f.tif_, w, h, raster.data(), ORIENTATION_TOPLEFT, 1)) return kCorrupt;
  for (uint32_t y = 0; y < h; ++y) {
    const uint32_t* p = raster.data() + size_t{y} * w;
    uint8_t* out = picture.Row(y);
    for (uint32_t x = 0; x < w; ++x, out += 3) {
      const uint32_t v = p[x];
      const unsigned a = TIFFGetA(v);
      // The RGBA reader hands out colours already multiplied by their opacity.
      out[0] = static_cast<uint8_t>(std::min(255u, TIFFGetB(v) + 255 - a));
      out[1] = static_cast<uint8_t>(std::min(255u, TIFFGetG(v) + 255 - a));
      out[2] = static_cast<uint8_t>(std::min(255u, TIFFGetR(v) + 255 - a));
    }
  }
  return kOk;
}

const char* const kExtensions[] = {"*.tif;*.tiff", "TIFF", nullptr};

}  // namespace

const Format kTiffFormat = {"iftiff: TIFF by libtiff, for Tavix", kExtensions, Probe, Info, Decode, false};

}  // namespace imageplugin
