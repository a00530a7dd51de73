// PNG through libpng: palette pictures keep their palette, grey ones get a
// grey one, everything else becomes 24-bit colour with transparency over white.
#include <csetjmp>
#include <cstring>

#include <png.h>

#include "../core/Picture.h"

namespace imageplugin {
namespace {

bool Probe(const uint8_t* head, size_t size) {
  return size >= 8 && png_sig_cmp(head, 0, 8) == 0;
}

struct Source {
  const uint8_t* data;
  size_t size;
  size_t at;
};

void ReadData(png_structp png, png_bytep out, size_t length) {
  auto* s = static_cast<Source*>(png_get_io_ptr(png));
  if (length > s->size - s->at) png_error(png, "cut short");
  std::memcpy(out, s->data + s->at, length);
  s->at += length;
}
void OnWarning(png_structp, png_const_charp) {}
void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : source_{data, size, 0} {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (png_ != nullptr) info_ = png_create_info_struct(png_);
  }
  ~Reader() { png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr); }
  bool Ready() const { return png_ != nullptr && info_ != nullptr; }
  void Start() {
    png_set_read_fn(png_, &source_, ReadData);
    png_set_user_limits(png_, kMaxSide, kMaxSide);
    png_set_chunk_malloc_max(png_, 16u << 20);
    png_read_info(png_, info_);
  }
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  Source source_;
};

int Info(const uint8_t* data, size_t size, PictureInfo& info) {
  if (!Probe(data, size)) return kUnknownFormat;
  Reader r(data, size);
  if (!r.Ready()) return kNoMemory;
  if (setjmp(png_jmpbuf(r.png_))) return kCorrupt;
  r.Start();
  info.width = png_get_image_width(r.png_, r.info_);
  info.height = png_get_image_height(r.png_, r.info_);
  info.depth = static_cast<int16_t>(png_get_bit_depth(r.png_, r.info_) * png_get_channels(r.png_, r.info_));
  return kOk;
}

int DecodeInto(Reader& r, Picture& picture, std::vector<png_bytep>& rows, std::vector<uint8_t>& rgba) {
  r.Start();
  png_structp png = r.png_;
  png_infop info = r.info_;
  const uint32_t w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (!SizeAcceptable(w, h)) return kNoMemory;
  const int type = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  const bool transparent = (type & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS);
  png_set_interlace_handling(png);
  int code = kOk;
  bool blend = false;
  if (type == PNG_COLOR_TYPE_PALETTE && !transparent) {
    png_colorp colours = nullptr;
    int count = 0;
    png_get_PLTE(png, info, &colours, &count);
    const uint16_t bits = depth == 1 ? 1 : depth == 4 ? 4 : 8;
    if (depth == 2) png_set_packing(png);
    code = picture.Allocate(w, h, bits);
    if (code != kOk) return code;
    picture.palette.assign(size_t{1} << bits, 0);
    for (int i = 0; i < count && i < (1 << bits); ++i)
      picture.palette[i] = Rgb(colours[i].red, colours[i].green, colours[i].blue);
  } else if (type == PNG_COLOR_TYPE_GRAY && !transparent && depth <= 8) {
    if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    code = picture.Allocate(w, h, 8);
    if (code != kOk) return code;
    picture.palette.resize(256);
    for (unsigned i = 0; i < 256; ++i) picture.palette[i] = Rgb(i, i, i);
  } else {
    png_set_expand(png);
    if ((type & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
    if (depth == 16) png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    code = picture.Allocate(w, h, 24);
    if (code != kOk) return code;
    blend = transparent || depth == 16;
  }
  png_read_update_info(png, info);
  rows.resize(h);
  // 16-bit samples and transparency go through 4 samples a pixel of their own depth.
  const size_t sample = depth == 16 ? 2 : 1;
  if (blend) {
    if (png_get_rowbytes(png, info) != size_t{w} * 4 * sample) return kInternal;
    rgba.resize(size_t{w} * h * 4 * sample);
    for (uint32_t y = 0; y < h; ++y) rows[y] = rgba.data() + size_t{y} * w * 4 * sample;
  } else {
    if (png_get_rowbytes(png, info) > picture.Stride()) return kInternal;
    for (uint32_t y = 0; y < h; ++y) rows[y] = picture.Row(y);
  }
  png_read_image(png, rows.data());
  if (blend) {
    for (uint32_t y = 0; y < h; ++y) {
      const uint8_t* p = rows[y];
      uint8_t* out = picture.Row(y);
      if (sample == 1) {
        for (uint32_t x = 0; x < w; ++x, p += 4, out += 3) {
          out[0] = OverWhite(p[0], p[3]);
          out[1] = OverWhite(p[1], p[3]);
          out[2] = OverWhite(p[2], p[3]);
        }
        continue;
      }
      // To 8 bits as ImageMagick does (v / 257, cut toward zero).
      for (uint32_t x = 0; x < w; ++x, p += 8, out += 3) {
        const unsigned a = (p[6] << 8 | p[7]) / 257;
        out[0] = OverWhite((p[0] << 8 | p[1]) / 257, a);
        out[1] = OverWhite((p[2] << 8 | p[3]) / 257, a);
        out[2] = OverWhite((p[4] << 8 | p[5]) / 257, a);
      }
    }
  }
  // What follows the pixels (text, time) does not matter for showing them.
  return kOk;
}

int Decode(const uint8_t* data, size_t size, bool, Picture& picture) {
  if (!Probe(data, size)) return kUnknownFormat;
  Reader r(data, size);
  if (!r.Ready()) return kNoMemory;
  std::vector<png_bytep> rows;
  std::vector<uint8_t> rgba;
  if (setjmp(png_jmpbuf(r.png_))) return kCorrupt;
  return DecodeInto(r, picture, rows, rgba);
}

const char* const kExtensions[] = {"*.png", "PNG", nullptr};

}  // namespace

const Format kPngFormat = {"ifpng: PNG by libpng, for Tavix", kExtensions, Probe, Info, Decode, false};

}  // namespace imageplugin
