// MAG (MAKI02) of Japanese personal computers, 16 and 256 colours. After the
// "MAKI02  " text head and the comment ending in 0x1A comes a 32-byte header
// whose offsets count from its own start, the G-R-B palette, then three
// streams: flag A (one bit per flag byte: XOR a byte of flag B into the flag
// line), flag B, and the pixel units that a nibble 0 of a flag takes
// literally; nibbles 1-15 copy a unit from a fixed place left or above.
#include <cstring>

#include "../core/Picture.h"

namespace imageplugin {
namespace {

constexpr size_t kHeaderSize = 32;
// Where nibbles 1-15 copy from: units (2 bytes) to the left, lines up.
constexpr int kLeft[16] = {0, 1, 2, 4, 0, 1, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0};
constexpr int kUp[16] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16};

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

bool Probe(const uint8_t* head, size_t size) { return size >= 8 && std::memcmp(head, "MAKI02  ", 8) == 0; }

// The header, checked against the file before anything is allocated.
struct Header {
  bool wide = false;        // 256 colours: a byte a pixel, else a nibble
  bool halfLines = false;   // 200-line mode: pixels twice as tall as wide
  uint32_t left = 0, width = 0, height = 0;  // the declared area
  uint32_t alignedLeft = 0, alignedWidth = 0;  // what the streams cover
  const uint8_t* palette = nullptr;
  const uint8_t* flagA = nullptr;
  size_t flagASize = 0;
  const uint8_t* flagB = nullptr;
  size_t flagBSize = 0;
  const uint8_t* pixels = nullptr;
  size_t pixelSize = 0;
};

// A stream of the file within its declared bounds; out of range is corrupt.
bool Span(const uint8_t* base, size_t available, uint32_t offset, uint64_t size, const uint8_t*& at) {
  if (offset > available || size > available - offset) return false;
  at = base + offset;
  return true;
}

int ReadHeader(const uint8_t* data, size_t size, Header& h) {
  if (!Probe(data, size)) return kUnknownFormat;
  const void* end = std::memchr(data + 8, 0x1A, size - 8);
  if (end == nullptr) return kCorrupt;
  const size_t at = static_cast<const uint8_t*>(end) - data + 1;
  if (size - at < kHeaderSize) return kCorrupt;
  const uint8_t* head = data + at;
  const size_t available = size - at;
  const uint8_t mode = head[3];
  h.wide = (mode & 0x80) != 0;
  h.halfLines = (mode & 0x01) != 0;
  const uint32_t x0 = Le16(head + 4), y0 = Le16(head + 6), x1 = Le16(head + 8), y1 = Le16(head + 10);
  if (x1 < x0 || y1 < y0) return kCorrupt;
  h.left = x0;
  h.width = x1 - x0 + 1;
  h.height = y1 - y0 + 1;
  // A flag byte covers 8 pixels of 16 colours or 4 of 256.
  const uint32_t align = h.wide ? 4 : 8;
  h.alignedLeft = x0 / align * align;
  h.alignedWidth = (x1 / align + 1) * align - h.alignedLeft;
  if (!SizeAcceptable(h.alignedWidth, h.height)) return kNoMemory;
  const size_t colours = h.wide ? 256 : 16;
  if (available - kHeaderSize < colours * 3) return kCorrupt;
  h.palette = head + kHeaderSize;
  const uint32_t flagA = Le32(head + 12), flagB = Le32(head + 16), pixels = Le32(head + 24);
  const uint32_t flagBSize = Le32(head + 20), pixelSize = Le32(head + 28);
  // Flag A runs up to flag B; it needs a bit for every flag byte of the picture.
  if (flagB < flagA) return kCorrupt;
  const uint64_t flagsPerLine = h.wide ? h.alignedWidth / 4 : h.alignedWidth / 8;
  if (uint64_t{flagB - flagA} * 8 < flagsPerLine * h.height) return kCorrupt;
  if (!Span(head, available, flagA, flagB - flagA, h.flagA) || !Span(head, available, flagB, flagBSize, h.flagB) ||
      !Span(head, available, pixels, pixelSize, h.pixels))
    return kCorrupt;
  h.flagASize = flagB - flagA;
  h.flagBSize = flagBSize;
  h.pixelSize = pixelSize;
  return kOk;
}

int Info(const uint8_t* data, size_t size, PictureInfo& info) {
  Header h;
  const int code = ReadHeader(data, size, h);
  if (code != kOk) return code;
  info.width = h.width;
  info.height = h.height;
  info.depth = h.wide ? 8 : 4;
  // Densities as pixels per length: a 200-line picture has half as many down.
  info.xDensity = h.halfLines ? 2 : 1;
  info.yDensity = 1;
  return kOk;
}

int Decode(const uint8_t* data, size_t size, bool, Picture& picture) {
  Header h;
  int code = ReadHeader(data, size, h);
  if (code != kOk) return code;
  // The decoded area as bytes: units of 2 bytes, 4 pixels of 16 colours or 2 of 256.
  const size_t lineBytes = h.wide ? h.alignedWidth : h.alignedWidth / 2;
  const size_t flagsPerLine = lineBytes / 4;
  // Copies reach 16 lines up at most: keep 17 lines in a ring.
  constexpr size_t kRing = 17;
  std::vector<uint8_t> ring(lineBytes * kRing), flags(flagsPerLine, 0);
  code = picture.Allocate(h.width, h.height, h.wide ? 8 : 4);
  if (code != kOk) return code;
  const size_t colours = h.wide ? 256 : 16;
  picture.palette.assign(colours, 0);
  for (size_t i = 0; i < colours; ++i) {
    const uint8_t* p = h.palette + i * 3;
    picture.palette[i] = Rgb(p[1], p[0], p[2]);
  }
  size_t bitA = 0, atB = 0, atPixels = 0;
  const uint32_t skip = h.left - h.alignedLeft;
  for (uint32_t y = 0; y < h.height; ++y) {
    uint8_t* line = &ring[(y % kRing) * lineBytes];
    for (size_t f = 0; f < flagsPerLine; ++f) {
      if (bitA >= h.flagASize * 8) return kCorrupt;
      if ((h.flagA[bitA / 8] >> (7 - bitA % 8)) & 1) {
        if (atB >= h.flagBSize) return kCorrupt;
        flags[f] ^= h.flagB[atB++];
      }
      ++bitA;
      for (int half = 0; half < 2; ++half) {
        const size_t unit = f * 2 + half;
        const int nibble = half == 0 ? flags[f] >> 4 : flags[f] & 15;
        uint8_t* to = line + unit * 2;
        if (nibble == 0) {
          if (h.pixelSize - atPixels < 2) return kCorrupt;
          to[0] = h.pixels[atPixels];
          to[1] = h.pixels[atPixels + 1];
          atPixels += 2;
        } else {
          // A place before the picture's first line or left edge is corrupt.
          if (uint32_t(kUp[nibble]) > y || size_t(kLeft[nibble]) > unit) return kCorrupt;
          const uint8_t* from = &ring[((y - kUp[nibble]) % kRing) * lineBytes] + (unit - kLeft[nibble]) * 2;
          to[0] = from[0];
          to[1] = from[1];
        }
      }
    }
    uint8_t* row = picture.Row(y);
    if (h.wide) {
      std::memcpy(row, line + skip, h.width);
    } else {
      for (uint32_t x = 0; x < h.width; ++x) {
        const uint32_t from = x + skip;
        const uint8_t index = (line[from / 2] >> (from % 2 ? 0 : 4)) & 15;
        row[x / 2] |= x % 2 ? index : uint8_t(index << 4);
      }
    }
  }
  return kOk;
}

const char* const kExtensions[] = {"*.mag;*.mki", "MAG (MAKI02)", nullptr};

}  // namespace

const Format kMagFormat = {"ifmag: MAG (MAKI02) 16/256 colours, for Tavix", kExtensions, Probe, Info, Decode, false};

}  // namespace imageplugin
