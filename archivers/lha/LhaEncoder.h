// Our LZH encoder: -lh5-/-lh6-/-lh7- (LZ77 over an 8/32/64 KiB window with
// static Huffman blocks in the classic LHA bit layout) and -lh1- (a 4 KiB
// window, matches up to 60 bytes, adaptive Huffman).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace lha {

class Encoder {
 public:
  // dictionaryBits: 12 (lh1), 13 (lh5), 15 (lh6) or 16 (lh7). sink receives the
  // compressed bytes as they are ready.
  Encoder(int dictionaryBits, std::function<void(const uint8_t*, size_t)> sink);
  ~Encoder();
  // Starts a new stream into the same sink, keeping the buffers: an archive of
  // many small files would otherwise allocate and fill 1.6 MB per entry.
  void Reset();
  void Write(const uint8_t* data, size_t size);
  void Finish();
  uint64_t OutputSize() const;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// -lh1- decoding, which libarchive lacks: the compressed bytes come from
// source (0 at their end), Read gives up to size bytes, 0 once originalSize
// bytes are out. Throws Corrupt when the data cannot be what was written.
class Lh1Decoder {
 public:
  struct Corrupt {};
  Lh1Decoder(std::function<size_t(uint8_t*, size_t)> source, uint64_t originalSize);
  ~Lh1Decoder();
  size_t Read(uint8_t* buffer, size_t size);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace lha
