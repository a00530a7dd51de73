// Tiny MAG and Pi encoders written from the formats' public descriptions, the
// judges of our decoders: nothing on this machine reads either format. They
// search every copy place the formats offer, so the decoders' copy, flag and
// colour-list roads are all taken. Plain C++: the fuzz script makes its seeds
// with them too.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace retro {

struct Indexed {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;   // top-down, one index a pixel
  std::vector<uint8_t> palette;  // red, green, blue per colour
  uint8_t At(uint32_t x, uint32_t y) const { return pixels[size_t{y} * width + x]; }
};

// A pattern with runs, repeats from above and noise, in `colours` colours.
inline Indexed Pattern(uint32_t width, uint32_t height, unsigned colours, uint32_t seed) {
  Indexed p;
  p.width = width;
  p.height = height;
  p.pixels.resize(size_t{width} * height);
  uint32_t state = seed;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      state = state * 1103515245u + 12345u;
      uint8_t v = uint8_t(((x / 3) + (y / 2) * 5) % colours);
      if ((x / 8 + y / 4) % 5 == 2) v = uint8_t((state >> 16) % colours);  // noise blocks
      if (y > 8 && y % 9 == 0) v = p.At(x, y - 8);                         // a line repeated from above
      p.pixels[size_t{y} * width + x] = v;
    }
  for (unsigned i = 0; i < colours; ++i) {
    p.palette.push_back(uint8_t(i * 37 + 11));
    p.palette.push_back(uint8_t(255 - i * 13));
    p.palette.push_back(uint8_t(i * 91 + seed));
  }
  return p;
}

inline void Le16(std::string& s, uint32_t v) { s += char(v & 0xFF), s += char(v >> 8 & 0xFF); }
inline void Le32(std::string& s, uint32_t v) { Le16(s, v & 0xFFFF), Le16(s, v >> 16); }
inline void Be16(std::string& s, uint32_t v) { s += char(v >> 8 & 0xFF), s += char(v & 0xFF); }

// MAG: `left` is the declared first column (the streams start at the flag
// boundary before it); `mode` is the header's screen mode byte.
inline std::string EncodeMag(const Indexed& p, bool colours256, uint32_t left = 0, uint8_t mode = 0) {
  const uint32_t align = colours256 ? 4 : 8;
  const uint32_t start = left / align * align, right = left + p.width - 1;
  const uint32_t span = (right / align + 1) * align - start;  // pixels the streams cover
  const size_t lineBytes = colours256 ? span : span / 2, units = lineBytes / 2;
  std::vector<std::vector<uint8_t>> lines(p.height, std::vector<uint8_t>(lineBytes, 0));
  for (uint32_t y = 0; y < p.height; ++y)
    for (uint32_t x = 0; x < p.width; ++x) {
      const uint32_t at = x + left - start;
      if (colours256) lines[y][at] = p.At(x, y);
      else lines[y][at / 2] |= at % 2 ? p.At(x, y) : uint8_t(p.At(x, y) << 4);
    }
  static const int dx[16] = {0, 1, 2, 4, 0, 1, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0};
  static const int dy[16] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16};
  std::string flagA, flagB, pixels;
  uint8_t bits = 0;
  int nbits = 0;
  std::vector<uint8_t> above(units / 2, 0);
  for (uint32_t y = 0; y < p.height; ++y) {
    std::vector<uint8_t> flags(units / 2, 0);
    for (size_t u = 0; u < units; ++u) {
      int chosen = 0;
      for (int n = 1; n < 16 && chosen == 0; ++n) {
        if (uint32_t(dy[n]) > y || size_t(dx[n]) > u) continue;
        const auto& from = lines[y - dy[n]];
        const size_t f = (u - dx[n]) * 2;
        if (from[f] == lines[y][u * 2] && from[f + 1] == lines[y][u * 2 + 1]) chosen = n;
      }
      if (chosen == 0) pixels += char(lines[y][u * 2]), pixels += char(lines[y][u * 2 + 1]);
      flags[u / 2] |= u % 2 ? chosen : chosen << 4;
    }
    for (size_t f = 0; f < flags.size(); ++f) {
      const uint8_t change = flags[f] ^ above[f];
      bits = uint8_t(bits << 1 | (change != 0));
      if (++nbits == 8) flagA += char(bits), bits = 0, nbits = 0;
      if (change != 0) flagB += char(change);
    }
    above = flags;
  }
  if (nbits > 0) flagA += char(bits << (8 - nbits));
  if (flagA.size() % 2) flagA += '\0';

  std::string file = "MAKI02  TEST";
  file += std::string("retro test        ", 18);
  file += "a picture for the decoder\x1A";
  std::string header;
  header += '\0', header += char(0x03), header += '\0', header += char(mode | (colours256 ? 0x80 : 0));
  Le16(header, left), Le16(header, 0), Le16(header, right), Le16(header, p.height - 1);
  const size_t colours = colours256 ? 256 : 16;
  const uint32_t flagAAt = uint32_t(32 + colours * 3), flagBAt = uint32_t(flagAAt + flagA.size());
  const uint32_t pixelsAt = uint32_t(flagBAt + flagB.size());
  Le32(header, flagAAt), Le32(header, flagBAt), Le32(header, uint32_t(flagB.size()));
  Le32(header, pixelsAt), Le32(header, uint32_t(pixels.size()));
  for (size_t i = 0; i < colours; ++i) {  // green, red, blue
    const size_t c = i * 3 < p.palette.size() ? i * 3 : 0;
    header += char(p.palette[c + 1]), header += char(p.palette[c]), header += char(p.palette[c + 2]);
  }
  return file + header + flagA + flagB + pixels;
}

class BitWriter {
 public:
  void Put(unsigned value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      byte_ = uint8_t(byte_ << 1 | (value >> i & 1));
      if (++n_ == 8) out_ += char(byte_), byte_ = 0, n_ = 0;
    }
  }
  std::string Finish() {
    if (n_ > 0) out_ += char(byte_ << (8 - n_));
    n_ = 0;
    return out_;
  }

 private:
  std::string out_;
  uint8_t byte_ = 0;
  int n_ = 0;
};

// Pi, 16 colours: `ratio` the header's aspect pair.
inline std::string EncodePi(const Indexed& p, uint8_t ratioX = 0, uint8_t ratioY = 0) {
  const size_t w = p.width, lead = 2 * w, total = lead + w * p.height;
  std::vector<uint8_t> target(total + 2, 0);
  for (size_t i = 0; i < size_t{w} * p.height; ++i) target[lead + i] = p.pixels[i];
  const uint8_t first = target[lead], second = total > lead + 1 ? target[lead + 1] : 0;
  for (size_t i = 0; i < lead; i += 2) target[i] = first, target[i + 1] = second;

  uint8_t table[16][16];
  for (int i = 0; i < 16; ++i)
    for (int j = 0; j < 16; ++j) table[i][j] = uint8_t((i - j) & 15);
  BitWriter out;
  auto colour = [&](uint8_t left, uint8_t c) {
    uint8_t* row = table[left & 15];
    int rank = 0;
    while (row[rank] != c) ++rank;
    if (rank < 2) out.Put(2 | rank, 2);
    else if (rank < 4) out.Put(rank - 2, 3);
    else if (rank < 8) out.Put(0b010, 3), out.Put(rank - 4, 2);
    else out.Put(0b011, 3), out.Put(rank - 8, 3);
    for (int i = rank; i > 0; --i) row[i] = row[i - 1];
    row[0] = c;
  };
  auto source = [&](int position, size_t at, size_t& from) {
    switch (position) {
      case 0: {
        const size_t back = target[at - 1] == target[at - 2] ? 4 : 2;
        if (at < back) return false;
        from = at - back;
        return true;
      }
      case 1: from = at - w; return true;
      case 2: from = at - 2 * w; return true;
      case 3: from = at - w + 1; return from < at;
      default: from = at - w - 1; return at >= w + 1;
    }
  };
  // Whole pairs that a copy from `position` gets right (a last half pair counts).
  auto match = [&](int position, size_t at) -> size_t {
    size_t from = 0;
    if (!source(position, at, from)) return 0;
    size_t i = 0;
    while (at + i < total && target[from + i] == target[at + i]) ++i;
    if (at + i >= total) return (total - at + 1) / 2;
    return i / 2;
  };
  colour(0, first);
  colour(first, second);
  size_t at = lead;
  int previous = -1;
  while (at < total) {
    int best = -1;
    size_t bestPairs = 0;
    for (int position = 0; position < 5; ++position) {
      if (position == previous) continue;
      const size_t pairs = match(position, at);
      if (pairs > bestPairs) best = position, bestPairs = pairs;
    }
    auto putPosition = [&](int position) {
      if (position < 3) out.Put(unsigned(position), 2);
      else out.Put(position == 3 ? 0b110 : 0b111, 3);
    };
    if (best >= 0) {
      putPosition(best);
      int ones = 0;
      while ((size_t{2} << ones) <= bestPairs) ++ones;
      for (int i = 0; i < ones; ++i) out.Put(1, 1);
      out.Put(0, 1);
      out.Put(unsigned(bestPairs - (size_t{1} << ones)), ones);
      at += std::min(bestPairs * 2, total - at + (total - at) % 2);
      previous = best;
      continue;
    }
    if (previous < 0) throw std::logic_error("no copy place and no literal code");
    putPosition(previous);
    for (;;) {
      colour(target[at - 1], target[at]);
      colour(target[at], target[at + 1]);
      at += 2;
      if (at >= total) break;
      bool copyable = false;
      for (int position = 0; position < 5; ++position) copyable = copyable || match(position, at) > 0;
      out.Put(copyable ? 0 : 1, 1);
      if (copyable) break;
    }
    previous = -1;
  }
  std::string file = "Pi";
  file += "a picture for the decoder\x1A";
  file += "dummy";
  file += '\0';
  file += '\0', file += char(ratioX), file += char(ratioY), file += char(4);
  file += "TEST";
  Be16(file, 3), file += "xyz";  // machine data
  Be16(file, p.width), Be16(file, p.height);
  for (size_t i = 0; i < 48; ++i) file += char(i < p.palette.size() ? p.palette[i] : 0);
  return file + out.Finish();
}

}  // namespace retro
