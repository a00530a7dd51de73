// Pi of Japanese personal computers, 16 colours. The picture is a chain of
// pixel pairs, as one line after the other, behind two lines filled with the
// first pair. A position code names a place to copy a run of pairs from (left
// or above); the same code twice in a row instead starts literal pairs, each
// colour coded by its rank in a move-to-front list kept per left neighbour.
#include <algorithm>
#include <cstring>

#include "../core/Picture.h"

namespace imageplugin {
namespace {

uint16_t Be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

// Pi pictures come from screens of 640 x 400; a few bits of copy codes can
// declare any size, and the time to make it. Far beyond any real one is refused.
constexpr uint64_t kMaxPiPixels = uint64_t{1} << 24;

bool Probe(const uint8_t* head, size_t size) {
  // "Pi" alone is too common a start for text: also ask for the comment's end.
  return size >= 2 && head[0] == 'P' && head[1] == 'i' &&
         std::memchr(head + 2, 0x1A, std::min<size_t>(size - 2, 2046)) != nullptr;
}

struct Header {
  uint32_t width = 0, height = 0;
  uint8_t ratioX = 0, ratioY = 0;
  const uint8_t* palette = nullptr;  // R, G, B; none: the machine's defaults
  size_t body = 0;                   // where the coded pixels start
};

int ReadHeader(const uint8_t* data, size_t size, Header& h) {
  if (size < 2 || data[0] != 'P' || data[1] != 'i') return kUnknownFormat;
  // The comment ends in 0x1A; what follows up to a 0 is skipped as well.
  const void* eof = std::memchr(data + 2, 0x1A, size - 2);
  if (eof == nullptr) return kUnknownFormat;
  size_t at = static_cast<const uint8_t*>(eof) - data + 1;
  const void* zero = std::memchr(data + at, 0, size - at);
  if (zero == nullptr) return kCorrupt;
  at = static_cast<const uint8_t*>(zero) - data + 1;
  // Mode, aspect n and m, bits per pixel, machine, machine data length.
  if (size - at < 10) return kCorrupt;
  const uint8_t mode = data[at];
  h.ratioX = data[at + 1];
  h.ratioY = data[at + 2];
  const uint8_t planes = data[at + 3];
  if (planes != 4) return kUnknownFormat;  // 256-colour Pi is not ours
  const size_t extra = Be16(data + at + 8);
  at += 10;
  if (size - at < extra || size - at - extra < 4) return kCorrupt;
  at += extra;
  h.width = Be16(data + at);
  h.height = Be16(data + at + 2);
  at += 4;
  if (h.width == 0 || h.height == 0) return kCorrupt;
  if (!SizeAcceptable(h.width, h.height) || uint64_t{h.width} * h.height > kMaxPiPixels) return kNoMemory;
  if ((mode & 0x80) == 0) {
    if (size - at < 48) return kCorrupt;
    h.palette = data + at;
    at += 48;
  }
  h.body = at;
  return kOk;
}

int Info(const uint8_t* data, size_t size, PictureInfo& info) {
  Header h;
  const int code = ReadHeader(data, size, h);
  if (code != kOk) return code;
  info.width = h.width;
  info.height = h.height;
  info.depth = 4;
  // The file's aspect pair as the densities; 0 in either means square pixels.
  const bool square = h.ratioX == 0 || h.ratioY == 0;
  info.xDensity = square ? 1 : h.ratioX;
  info.yDensity = square ? 1 : h.ratioY;
  return kOk;
}

class Bits {
 public:
  Bits(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  // False once the data is spent.
  bool Read(int count, unsigned& value) {
    value = 0;
    for (int i = 0; i < count; ++i) {
      if (at_ >= size_ * 8) return false;
      value = value << 1 | ((data_[at_ / 8] >> (7 - at_ % 8)) & 1);
      ++at_;
    }
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

class Colours {
 public:
  Colours() {
    for (int i = 0; i < 16; ++i)
      for (int j = 0; j < 16; ++j) table_[i][j] = uint8_t((i - j) & 15);
  }
  // The colour after `left`: its rank is coded 1x, 00x, 010xx or 011xxx.
  bool Read(Bits& bits, uint8_t left, uint8_t& colour) {
    unsigned a = 0, b = 0, rank = 0;
    if (!bits.Read(1, a)) return false;
    if (a == 1) {
      if (!bits.Read(1, rank)) return false;
    } else {
      if (!bits.Read(1, b)) return false;
      if (b == 0) {
        if (!bits.Read(1, rank)) return false;
        rank += 2;
      } else {
        if (!bits.Read(1, b)) return false;
        if (!bits.Read(b == 0 ? 2 : 3, rank)) return false;
        rank += b == 0 ? 4 : 8;
      }
    }
    uint8_t* row = table_[left & 15];
    colour = row[rank];
    std::memmove(row + 1, row, rank);
    row[0] = colour;
    return true;
  }

 private:
  uint8_t table_[16][16];
};

// The pixel chain as it is made: the last two lines and a little in a ring
// (what copies read), each pixel also set in the picture at a moving cursor.
class Chain {
 public:
  Chain(Picture& picture, size_t lead, size_t total)
      : picture_(picture), ring_(lead + 4, 0), lead_(lead), total_(total), width_(picture.width) {}
  size_t Size() const { return ring_.size(); }
  // The pixel `distance` places back (1 is the last one made).
  uint8_t Back(size_t distance) const {
    return ring_[head_ >= distance ? head_ - distance : head_ + ring_.size() - distance];
  }
  void Push(uint8_t colour) {
    ring_[head_] = colour;
    if (++head_ == ring_.size()) head_ = 0;
    if (at_ >= lead_ && at_ < total_) {
      if (x_ == 0) row_ = picture_.Row(y_);
      row_[x_ / 2] |= x_ % 2 ? colour : uint8_t(colour << 4);
      if (++x_ == width_) x_ = 0, ++y_;
    }
    ++at_;
  }

 private:
  Picture& picture_;
  std::vector<uint8_t> ring_;
  size_t head_ = 0, lead_, total_, width_, at_ = 0;
  uint32_t x_ = 0, y_ = 0;
  uint8_t* row_ = nullptr;
};

int Decode(const uint8_t* data, size_t size, bool, Picture& picture) {
  Header h;
  int code = ReadHeader(data, size, h);
  if (code != kOk) return code;
  const size_t w = h.width;
  const size_t lead = 2 * w;  // the two lines before the picture
  const size_t total = lead + w * h.height;
  code = picture.Allocate(h.width, h.height, 4);
  if (code != kOk) return code;
  picture.palette.assign(16, 0);
  for (int i = 0; i < 16; ++i) {
    if (h.palette != nullptr) {
      const uint8_t* p = h.palette + i * 3;
      picture.palette[i] = Rgb(p[0], p[1], p[2]);
    } else {
      // The digital colours: bit 0 blue, bit 1 red, bit 2 green, bit 3 bright.
      const uint8_t on = (i & 8) ? 0xFF : 0x88;
      picture.palette[i] = i == 8 ? Rgb(0x44, 0x44, 0x44)
                                  : Rgb((i & 2) ? on : 0, (i & 4) ? on : 0, (i & 1) ? on : 0);
    }
  }
  // Copies reach two lines and a pixel back at most: a ring of that much
  // stands for the whole chain, and every pixel goes to the picture as made.
  Chain chain(picture, lead, total);
  Bits bits(data + h.body, size - h.body);
  Colours colours;
  uint8_t first = 0, second = 0;
  if (!colours.Read(bits, 0, first) || !colours.Read(bits, first, second)) return kCorrupt;
  for (size_t i = 0; i < lead; i += 2) chain.Push(first), chain.Push(second);
  size_t at = lead;
  int previous = -1;
  while (at < total) {
    unsigned position = 0;
    if (!bits.Read(2, position)) return kCorrupt;
    if (position == 3) {
      unsigned more = 0;
      if (!bits.Read(1, more)) return kCorrupt;
      position += more;
    }
    if (int(position) == previous) {
      // Literal pairs while the bit after each says 1.
      for (;;) {
        uint8_t a = 0, b = 0;
        if (!colours.Read(bits, chain.Back(1), a) || !colours.Read(bits, a, b)) return kCorrupt;
        chain.Push(a), chain.Push(b);
        at += 2;
        if (at >= total) break;
        unsigned again = 0;
        if (!bits.Read(1, again)) return kCorrupt;
        if (again == 0) break;
      }
      previous = -1;
      continue;
    }
    // A run of pairs: n ones, a zero, then n bits under a leading 1.
    unsigned ones = 0, bit = 1;
    for (;;) {
      if (!bits.Read(1, bit)) return kCorrupt;
      if (bit == 0) break;
      if (++ones > 30) return kCorrupt;
    }
    unsigned low = 0;
    if (!bits.Read(int(ones), low)) return kCorrupt;
    const size_t pairs = (size_t{1} << ones) + low;
    size_t from = 0;
    switch (position) {
      case 0: {
        const size_t back = chain.Back(1) == chain.Back(2) ? 4 : 2;
        if (at < back) return kCorrupt;
        from = at - back;
        break;
      }
      case 1: from = at - w; break;
      case 2: from = at - 2 * w; break;
      case 3: from = at - w + 1; break;
      default:
        if (at < w + 1) return kCorrupt;
        from = at - w - 1;
        break;
    }
    const size_t count = std::min(pairs * 2, total - at + (total - at) % 2);
    const size_t distance = at - from;  // the source may overlap what this copy writes
    if (distance == 0) {
      for (size_t i = 0; i < count; ++i) chain.Push(chain.Back(chain.Size()));
    } else {
      for (size_t i = 0; i < count; ++i) chain.Push(chain.Back(distance));
    }
    at += count;
    previous = int(position);
  }
  return kOk;
}

const char* const kExtensions[] = {"*.pi", "Pi", nullptr};

}  // namespace

const Format kPiFormat = {"ifpi: Pi 16 colours, for Tavix", kExtensions, Probe, Info, Decode, false};

}  // namespace imageplugin
