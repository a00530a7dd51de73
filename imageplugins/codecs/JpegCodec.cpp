// JPEG through libjpeg-turbo: baseline and progressive, grey, colour and CMYK,
// turned as the camera's EXIF orientation says.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "../core/Picture.h"

namespace imageplugin {
namespace {

// More scans than any encoder writes: a file that claims more is made to
// keep the decoder busy.
constexpr int kMaxScans = 1000;

struct ErrorManager {
  jpeg_error_mgr base;
  jmp_buf jump;
};

void OnError(j_common_ptr cinfo) { longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }
// The library pads a file that ends early with grey and calls it a warning;
// for us a cut file is a broken one, and we stop at once: a few bytes that
// declare a large picture would otherwise be decoded in full from nothing.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level == -1 && cinfo->err->msg_code == JWRN_JPEG_EOF) OnError(cinfo);
}
void OnProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) OnError(cinfo);
}

bool Probe(const uint8_t* head, size_t size) {
  return size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

unsigned Read16(const uint8_t* p, bool motorola) {
  return motorola ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]);
}
uint32_t Read32(const uint8_t* p, bool motorola) {
  return motorola ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                  : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
}

// The orientation tag (1 to 8) of the first EXIF block's main directory; 1 when absent.
int Orientation(j_decompress_ptr d) {
  for (jpeg_saved_marker_ptr m = d->marker_list; m != nullptr; m = m->next) {
    if (m->marker != JPEG_APP0 + 1 || m->data_length < 14 || std::memcmp(m->data, "Exif\0\0", 6) != 0)
      continue;
    const uint8_t* tiff = m->data + 6;
    const size_t size = m->data_length - 6;
    bool motorola;
    if (tiff[0] == 'M' && tiff[1] == 'M') motorola = true;
    else if (tiff[0] == 'I' && tiff[1] == 'I') motorola = false;
    else return 1;
    const uint32_t ifd = Read32(tiff + 4, motorola);
    if (ifd > size || size - ifd < 2) return 1;
    const unsigned count = Read16(tiff + ifd, motorola);
    for (unsigned i = 0; i < count; ++i) {
      const size_t at = ifd + 2 + size_t{i} * 12;
      if (at + 12 > size) break;
      if (Read16(tiff + at, motorola) == 0x0112 && Read16(tiff + at + 2, motorola) == 3) {
        const unsigned value = Read16(tiff + at + 8, motorola);
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
      }
    }
    return 1;
  }
  return 1;
}

bool Swaps(int orientation) { return orientation >= 5; }

// Source column and row of the shown pixel (x, y) for a source of w x h.
inline void SourceOf(int orientation, uint32_t x, uint32_t y, uint32_t w, uint32_t h,
                     uint32_t& sx, uint32_t& sy) {
  switch (orientation) {
    case 2: sx = w - 1 - x; sy = y; break;
    case 3: sx = w - 1 - x; sy = h - 1 - y; break;
    case 4: sx = x; sy = h - 1 - y; break;
    case 5: sx = y; sy = x; break;
    case 6: sx = y; sy = h - 1 - x; break;
    case 7: sx = w - 1 - y; sy = h - 1 - x; break;
    case 8: sx = w - 1 - y; sy = x; break;
    default: sx = x; sy = y; break;
  }
}

class Decompressor {
 public:
  Decompressor() {
    d_.err = jpeg_std_error(&error_.base);
    error_.base.error_exit = OnError;
    error_.base.emit_message = OnMessage;
    progress_.progress_monitor = OnProgress;
  }
  ~Decompressor() {
    if (created_) jpeg_destroy_decompress(&d_);
  }
  jpeg_decompress_struct d_{};
  ErrorManager error_{};
  jpeg_progress_mgr progress_{};
  bool created_ = false;
};

// Everything between setjmp and the end lives in these plain objects; the
// longjmp of an error skips no destructor.
int Header(Decompressor& j, const uint8_t* data, size_t size) {
  jpeg_create_decompress(&j.d_);
  j.created_ = true;
  j.d_.progress = &j.progress_;
  j.d_.mem->max_memory_to_use = 768L * 1024 * 1024;
  jpeg_mem_src(&j.d_, data, static_cast<unsigned long>(size));
  jpeg_save_markers(&j.d_, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&j.d_, TRUE);
  return kOk;
}

int Info(const uint8_t* data, size_t size, PictureInfo& info) {
  if (!Probe(data, size)) return kUnknownFormat;
  Decompressor j;
  if (setjmp(j.error_.jump)) return kCorrupt;
  Header(j, data, size);
  const int orientation = Orientation(&j.d_);
  info.width = Swaps(orientation) ? j.d_.image_height : j.d_.image_width;
  info.height = Swaps(orientation) ? j.d_.image_width : j.d_.image_height;
  info.depth = j.d_.num_components == 1 ? 8 : 24;
  if (j.d_.saw_JFIF_marker && j.d_.X_density != 0 && j.d_.Y_density != 0) {
    info.xDensity = j.d_.X_density;
    info.yDensity = j.d_.Y_density;
  }
  return kOk;
}

int DecodeInto(Decompressor& j, const uint8_t* data, size_t size, bool preview, Picture& picture,
               std::vector<uint8_t>& plain) {
  Header(j, data, size);
  jpeg_decompress_struct& d = j.d_;
  if (!SizeAcceptable(d.image_width, d.image_height)) return kNoMemory;
  const bool grey = d.jpeg_color_space == JCS_GRAYSCALE;
  const bool cmyk = d.jpeg_color_space == JCS_CMYK || d.jpeg_color_space == JCS_YCCK;
  d.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
  if (preview) {
    d.scale_num = 1;
    d.scale_denom = 4;
  }
  jpeg_calc_output_dimensions(&d);
  const int orientation = Orientation(&d);
  const uint32_t w = d.output_width, h = d.output_height;
  const int r = grey ? kOk
                     : picture.Allocate(Swaps(orientation) ? h : w, Swaps(orientation) ? w : h, 24);
  if (grey) {
    const int g = picture.Allocate(Swaps(orientation) ? h : w, Swaps(orientation) ? w : h, 8);
    if (g != kOk) return g;
    picture.palette.resize(256);
    for (unsigned i = 0; i < 256; ++i) picture.palette[i] = Rgb(i, i, i);
  } else if (r != kOk) {
    return r;
  }
  jpeg_start_decompress(&d);
  const unsigned channels = d.output_components;
  if (orientation == 1 && !cmyk) {
    while (d.output_scanline < h) {
      JSAMPROW row = picture.Row(d.output_scanline);
      jpeg_read_scanlines(&d, &row, 1);
    }
  } else {
    plain.resize(size_t{w} * h * channels);
    while (d.output_scanline < h) {
      JSAMPROW row = plain.data() + size_t{d.output_scanline} * w * channels;
      jpeg_read_scanlines(&d, &row, 1);
    }
    // Adobe's CMYK files store the inks inverted, as nearly every writer does.
    const bool inverted = d.saw_Adobe_marker;
    for (uint32_t y = 0; y < picture.height; ++y) {
      uint8_t* out = picture.Row(y);
      for (uint32_t x = 0; x < picture.width; ++x) {
        uint32_t sx, sy;
        SourceOf(orientation, x, y, w, h, sx, sy);
        const uint8_t* p = plain.data() + (size_t{sy} * w + sx) * channels;
        if (grey) {
          out[x] = p[0];
        } else if (cmyk) {
          unsigned c = p[0], m = p[1], yl = p[2], k = p[3];
          if (!inverted) c = 255 - c, m = 255 - m, yl = 255 - yl, k = 255 - k;
          out[x * 3 + 0] = static_cast<uint8_t>((yl * k + 127) / 255);
          out[x * 3 + 1] = static_cast<uint8_t>((m * k + 127) / 255);
          out[x * 3 + 2] = static_cast<uint8_t>((c * k + 127) / 255);
        } else {
          std::memcpy(out + x * 3, p, 3);
        }
      }
    }
  }
  jpeg_finish_decompress(&d);
  return kOk;
}

int Decode(const uint8_t* data, size_t size, bool preview, Picture& picture) {
  if (!Probe(data, size)) return kUnknownFormat;
  Decompressor j;
  std::vector<uint8_t> plain;
  if (setjmp(j.error_.jump)) return kCorrupt;
  return DecodeInto(j, data, size, preview, picture, plain);
}

const char* const kExtensions[] = {"*.jpg;*.jpeg;*.jpe;*.jfif", "JPEG", nullptr};

}  // namespace

const Format kJpegFormat = {"ifjpeg: JPEG by libjpeg-turbo, for Tavix", kExtensions, Probe, Info, Decode, true};

}  // namespace imageplugin
