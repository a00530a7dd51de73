// GIF through giflib: the first frame, placed on the logical screen, as an
// 8-bit palette picture; the transparent colour shows as white.
#include <algorithm>
#include <cstring>

#include <gif_lib.h>

#include "../core/Picture.h"

namespace imageplugin {
namespace {

bool Probe(const uint8_t* head, size_t size) {
  return size >= 6 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0);
}

struct Source {
  const uint8_t* data;
  size_t size;
  size_t at;
};

int ReadData(GifFileType* gif, GifByteType* out, int length) {
  auto* s = static_cast<Source*>(gif->UserData);
  if (length <= 0) return 0;
  const size_t n = std::min(static_cast<size_t>(length), s->size - s->at);
  std::memcpy(out, s->data + s->at, n);
  s->at += n;
  return static_cast<int>(n);
}

class File {
 public:
  File(const uint8_t* data, size_t size) : source_{data, size, 0} {
    int error = 0;
    gif_ = DGifOpen(&source_, ReadData, &error);
  }
  ~File() {
    int error = 0;
    if (gif_ != nullptr) DGifCloseFile(gif_, &error);
  }
  Source source_;
  GifFileType* gif_ = nullptr;
};

int Info(const uint8_t* data, size_t size, PictureInfo& info) {
  if (!Probe(data, size)) return kUnknownFormat;
  File f(data, size);
  if (f.gif_ == nullptr) return kCorrupt;
  info.width = f.gif_->SWidth;
  info.height = f.gif_->SHeight;
  info.depth = 8;
  return kOk;
}

int Decode(const uint8_t* data, size_t size, bool, Picture& picture) {
  if (!Probe(data, size)) return kUnknownFormat;
  File f(data, size);
  GifFileType* gif = f.gif_;
  if (gif == nullptr) return kCorrupt;
  int transparent = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType record;
    if (DGifGetRecordType(gif, &record) == GIF_ERROR) return kCorrupt;
    if (record == IMAGE_DESC_RECORD_TYPE) break;
    if (record == TERMINATE_RECORD_TYPE) return kCorrupt;
    if (record != EXTENSION_RECORD_TYPE) return kCorrupt;
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return kCorrupt;
    if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
      GraphicsControlBlock gcb;
      if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) transparent = gcb.TransparentColor;
    }
    while (block != nullptr)
      if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return kCorrupt;
  }
  if (DGifGetImageDesc(gif) == GIF_ERROR) return kCorrupt;
  const GifImageDesc& frame = gif->Image;
  if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0) return kCorrupt;
  const ColorMapObject* map = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
  if (map == nullptr || map->ColorCount <= 0 || map->ColorCount > 256) return kCorrupt;
  // A frame reaching past the logical screen widens the picture instead of being cut.
  const uint64_t w = std::max<uint64_t>(gif->SWidth, uint64_t(frame.Left) + frame.Width);
  const uint64_t h = std::max<uint64_t>(gif->SHeight, uint64_t(frame.Top) + frame.Height);
  if (!SizeAcceptable(w, h)) return kNoMemory;
  const int code = picture.Allocate(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 8);
  if (code != kOk) return code;
  picture.palette.assign(256, 0);
  for (int i = 0; i < map->ColorCount; ++i)
    picture.palette[i] = Rgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
  if (transparent >= 0 && transparent < 256) picture.palette[transparent] = Rgb(255, 255, 255);
  const int background = transparent >= 0 ? transparent : gif->SBackGroundColor;
  for (uint32_t y = 0; y < h; ++y) std::memset(picture.Row(y), background & 0xFF, w);

  std::vector<GifPixelType> line(frame.Width);
  static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  const int passes = frame.Interlace ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = frame.Interlace ? kStart[pass] : 0, step = frame.Interlace ? kStep[pass] : 1;
    for (int y = start; y < frame.Height; y += step) {
      if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) return kCorrupt;
      std::memcpy(picture.Row(frame.Top + y) + frame.Left, line.data(), frame.Width);
    }
  }
  return kOk;
}

const char* const kExtensions[] = {"*.gif", "GIF", nullptr};

}  // namespace

const Format kGifFormat = {"ifgif: GIF by giflib (first frame), for Tavix", kExtensions, Probe, Info, Decode, false};

}  // namespace imageplugin
