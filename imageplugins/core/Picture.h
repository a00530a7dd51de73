// A decoded picture and the decoder table of one image plug-in. Plain C++
// without Windows headers, so the decoders also build natively for fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imageplugin {

// Result codes of the image plug-in family.
enum Code : int {
  kOk = 0,
  kNotImplemented = -1,
  kAborted = 1,
  kUnknownFormat = 2,
  kCorrupt = 3,
  kNoMemory = 4,
  kMemoryError = 5,
  kReadError = 6,
  kInternal = 8,
};

// A declared size beyond these is refused before anything is allocated: a
// header can claim any size in a few bytes.
constexpr uint32_t kMaxSide = 65535;
constexpr uint64_t kMaxPixels = uint64_t{1} << 27;
inline bool SizeAcceptable(uint64_t width, uint64_t height) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
         width * height <= kMaxPixels;
}

struct PictureInfo {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t xDensity = 0;
  uint16_t yDensity = 0;
  int16_t depth = 0;
};

// A bottom-up device-independent bitmap: rows of Stride() bytes, the last
// picture row first; 24-bit rows are blue, green, red. Palette entries are
// laid out as the bitmap's colour table (blue in the low byte).
struct Picture {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t bitCount = 24;
  std::vector<uint32_t> palette;
  std::vector<uint8_t> bits;

  size_t Stride() const { return ((size_t{width} * bitCount + 31) / 32) * 4; }
  // Row y counted from the top of the picture.
  uint8_t* Row(uint32_t y) { return bits.data() + size_t{height - 1 - y} * Stride(); }
  const uint8_t* Row(uint32_t y) const { return bits.data() + size_t{height - 1 - y} * Stride(); }
  // kOk, or kNoMemory for a refused size or a failed allocation.
  int Allocate(uint32_t w, uint32_t h, uint16_t bits_per_pixel);
};

inline uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return uint32_t{b} | uint32_t{g} << 8 | uint32_t{r} << 16;
}
// A sample over white by its opacity, as a viewer without transparency shows it.
inline uint8_t OverWhite(unsigned value, unsigned alpha) {
  return static_cast<uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

struct Format {
  const char* about;               // plug-in information 1
  const char* const* extensions;   // mask, description, mask, description ..., nullptr
  bool (*probe)(const uint8_t* head, size_t size);
  int (*info)(const uint8_t* data, size_t size, PictureInfo& info);
  // preview: a reduced picture when the format has a cheap one; else ignored.
  int (*decode)(const uint8_t* data, size_t size, bool preview, Picture& picture);
  bool hasPreview;
};

extern const Format kJpegFormat;
extern const Format kPngFormat;
extern const Format kGifFormat;
extern const Format kTiffFormat;
extern const Format kMagFormat;
extern const Format kPiFormat;

}  // namespace imageplugin
