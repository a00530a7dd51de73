#include "archivers/arj/ArjFormat.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace arj {

namespace {

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

const std::array<std::uint32_t, 256>& CrcTable() {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  return table;
}

// Pulls the compressed stream MSB first. Past the end of the entry's data it
// supplies zero bits, as the format's own readers do, but counts them so that
// a truncated entry is found out instead of decoded into garbage forever.
class BitReader {
 public:
  BitReader(Source source, std::uint32_t limit) : source_(std::move(source)), remaining_(limit) { Fill(); }

  std::uint32_t Peek(int bits) const { return static_cast<std::uint32_t>(buffer_ >> (64 - bits)); }
  void Skip(int bits) {
    buffer_ <<= bits;
    count_ -= bits;
    if (count_ < 32) Fill();
  }
  std::uint32_t Get(int bits) {
    if (bits == 0) return 0;
    std::uint32_t value = Peek(bits);
    Skip(bits);
    return value;
  }
  // More than a few bytes of padding consumed: the data ended early.
  bool Overrun() const { return padding_ > 8; }

 private:
  void Fill() {
    while (count_ <= 56) {
      if (pos_ == size_) Refill();
      std::uint8_t byte = 0;
      if (pos_ < size_) {
        byte = chunk_[pos_++];
      } else {
        ++padding_;
      }
      buffer_ |= static_cast<std::uint64_t>(byte) << (56 - count_);
      count_ += 8;
    }
  }
  void Refill() {
    pos_ = size_ = 0;
    if (remaining_ == 0) return;
    std::size_t want = std::min<std::size_t>(sizeof chunk_, remaining_);
    size_ = source_(chunk_, want);
    remaining_ -= static_cast<std::uint32_t>(size_);
    if (size_ == 0) remaining_ = 0;  // the file itself ends early
  }

  Source source_;
  std::uint32_t remaining_;
  std::uint64_t buffer_ = 0;
  int count_ = 0;
  std::uint8_t chunk_[16384];
  std::size_t pos_ = 0, size_ = 0;
  std::size_t padding_ = 0;
};

// A canonical Huffman code read through one lookup over its longest code.
class HuffmanTable {
 public:
  static constexpr std::uint16_t Invalid = 0xFFFF;

  // Lengths 0..16; false when the code is over-subscribed.
  bool Build(const std::uint8_t* lengths, int count) {
    constant_ = -1;
    int maxLength = 0;
    for (int i = 0; i < count; ++i) maxLength = std::max<int>(maxLength, lengths[i]);
    if (maxLength == 0) return false;
    bits_ = maxLength;
    table_.assign(std::size_t{1} << bits_, Invalid);
    std::uint32_t code = 0;
    for (int length = 1; length <= maxLength; ++length) {
      for (int symbol = 0; symbol < count; ++symbol) {
        if (lengths[symbol] != length) continue;
        std::uint32_t span = 1u << (bits_ - length);
        std::uint32_t first = code << (bits_ - length);
        if (first + span > table_.size()) return false;
        std::fill_n(table_.begin() + first, span, static_cast<std::uint16_t>(symbol));
        lengths_[symbol] = static_cast<std::uint8_t>(length);
        ++code;
      }
      code <<= 1;
    }
    return true;
  }
  void SetConstant(int symbol) { constant_ = symbol; }

  // The next symbol, or Invalid for a code the table does not hold.
  std::uint16_t Decode(BitReader& in) const {
    if (constant_ >= 0) return static_cast<std::uint16_t>(constant_);
    std::uint16_t symbol = table_[in.Peek(bits_)];
    if (symbol != Invalid) in.Skip(lengths_[symbol]);
    return symbol;
  }

 private:
  int constant_ = -1;
  int bits_ = 0;
  std::vector<std::uint16_t> table_;
  std::array<std::uint8_t, 512> lengths_{};
};

constexpr int Threshold = 3;

// One step of a compressed stream: a literal, or a match to copy.
struct Step {
  bool ok = true;
  bool literal = true;
  std::uint8_t byte = 0;
  std::uint32_t length = 0, distance = 0;
};

// Methods 1 to 3: LZ77 with static Huffman blocks.
class HuffmanSteps {
 public:
  static constexpr int NC = 255 + 256 + 2 - Threshold;  // literals and lengths
  static constexpr int NP = 17;                         // distance classes
  static constexpr int NT = 19;                         // code-length codes
  static constexpr int CBit = 9, PBit = 5, TBit = 5;

  explicit HuffmanSteps(BitReader& in) : in_(in) {}

  Step Next() {
    Step step;
    if (blockSize_ == 0) {
      blockSize_ = in_.Get(16);
      if (!ReadLengths(ptTable_, NT, TBit, 3) || !ReadLiteralLengths() || !ReadLengths(ptTable_, NP, PBit, -1)) {
        step.ok = false;
        return step;
      }
    }
    --blockSize_;
    std::uint16_t c = cTable_.Decode(in_);
    if (c == HuffmanTable::Invalid) {
      step.ok = false;
    } else if (c <= 255) {
      step.byte = static_cast<std::uint8_t>(c);
    } else {
      step.literal = false;
      step.length = c - (256 - Threshold);
      std::uint16_t p = ptTable_.Decode(in_);
      if (p == HuffmanTable::Invalid) {
        step.ok = false;
      } else {
        step.distance = p > 1 ? (1u << (p - 1)) + in_.Get(p - 1) : p;
      }
    }
    return step;
  }

 private:
  // Code lengths of the code-length code (NT) or of the distance code (NP).
  bool ReadLengths(HuffmanTable& table, int count, int countBits, int special) {
    int n = static_cast<int>(in_.Get(countBits));
    if (n == 0) {
      int symbol = static_cast<int>(in_.Get(countBits));
      if (symbol >= count) return false;
      table.SetConstant(symbol);
      std::fill(ptLengths_.begin(), ptLengths_.end(), 0);
      return true;
    }
    if (n > count) return false;
    std::fill(ptLengths_.begin(), ptLengths_.end(), 0);
    int i = 0;
    while (i < n) {
      int c = static_cast<int>(in_.Peek(3));
      if (c == 7) {
        std::uint32_t mask = 1u << 12;
        std::uint32_t bits = in_.Peek(16);
        while (mask & bits) {
          mask >>= 1;
          ++c;
        }
        if (c > 16) return false;
        in_.Skip(c - 3);
      } else {
        in_.Skip(3);
      }
      ptLengths_[i++] = static_cast<std::uint8_t>(c);
      if (i == special) {
        int zeros = static_cast<int>(in_.Get(2));
        if (i + zeros > count) return false;
        while (zeros-- > 0) ptLengths_[i++] = 0;
      }
    }
    return table.Build(ptLengths_.data(), count);
  }

  bool ReadLiteralLengths() {
    int n = static_cast<int>(in_.Get(CBit));
    if (n == 0) {
      int symbol = static_cast<int>(in_.Get(CBit));
      if (symbol >= NC) return false;
      cTable_.SetConstant(symbol);
      return true;
    }
    if (n > NC) return false;
    std::array<std::uint8_t, NC> lengths{};
    int i = 0;
    while (i < n) {
      std::uint16_t c = ptTable_.Decode(in_);
      if (c == HuffmanTable::Invalid) return false;
      if (c <= 2) {
        int zeros = c == 0 ? 1 : c == 1 ? static_cast<int>(in_.Get(4)) + 3 : static_cast<int>(in_.Get(CBit)) + 20;
        if (i + zeros > NC) return false;
        i += zeros;
      } else {
        lengths[i++] = static_cast<std::uint8_t>(c - 2);
      }
    }
    return cTable_.Build(lengths.data(), NC);
  }

  BitReader& in_;
  std::uint32_t blockSize_ = 0;
  std::array<std::uint8_t, 32> ptLengths_{};
  HuffmanTable ptTable_, cTable_;
};

// Method 4: literals and matches with simple unary-prefixed numbers.
class FastestSteps {
 public:
  explicit FastestSteps(BitReader& in) : in_(in) {}

  Step Next() {
    Step step;
    std::uint32_t c = Number(0, 7);
    if (c == 0) {
      step.byte = static_cast<std::uint8_t>(in_.Get(8));
    } else {
      step.literal = false;
      step.length = c - 1 + Threshold;
      step.distance = Number(9, 13);
    }
    return step;
  }

 private:
  // Up to (stop - start) one-bits, then `width` bits.
  std::uint32_t Number(int start, int stop) {
    std::uint32_t plus = 0, power = 1u << start;
    int width = start;
    for (; width < stop; ++width) {
      if (in_.Get(1) == 0) break;
      plus += power;
      power <<= 1;
    }
    return in_.Get(width) + plus;
  }

  BitReader& in_;
};

}  // namespace

struct Decoder::State {
  static constexpr std::size_t WindowSize = 65536;

  int method;
  std::uint32_t compressedSize, originalSize, expectedCrc;
  Source source;
  std::unique_ptr<BitReader> bits;
  std::unique_ptr<HuffmanSteps> huffman;
  std::unique_ptr<FastestSteps> fastest;
  std::vector<std::uint8_t> window;
  std::uint64_t total = 0;
  std::uint32_t crc = 0;
  std::uint32_t pendingLength = 0, pendingDistance = 0;
};

Decoder::Decoder(int method, std::uint32_t compressedSize, std::uint32_t originalSize, std::uint32_t expectedCrc,
                 Source source)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.method = method;
  s.compressedSize = compressedSize;
  s.originalSize = originalSize;
  s.expectedCrc = expectedCrc;
  s.source = std::move(source);
  if (method < 0 || method > 4) {
    status_ = DecodeResult::Unsupported;
  } else if (method == 0) {
    if (compressedSize != originalSize) status_ = DecodeResult::Corrupt;
  } else {
    s.bits = std::make_unique<BitReader>(s.source, compressedSize);
    if (method == 4) {
      s.fastest = std::make_unique<FastestSteps>(*s.bits);
    } else {
      s.huffman = std::make_unique<HuffmanSteps>(*s.bits);
    }
    s.window.resize(State::WindowSize);
  }
  if (status_ == DecodeResult::Ok && originalSize == 0 && expectedCrc != 0) status_ = DecodeResult::BadCrc;
}

Decoder::~Decoder() = default;

std::size_t Decoder::Read(void* buffer, std::size_t size) {
  State& s = *state_;
  if (status_ != DecodeResult::Ok || s.total >= s.originalSize) return 0;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t produced = 0;
  size = static_cast<std::size_t>(std::min<std::uint64_t>(size, s.originalSize - s.total));
  if (s.method == 0) {
    while (produced < size) {
      std::size_t got = s.source(out + produced, size - produced);
      if (got == 0) {
        status_ = DecodeResult::Corrupt;
        return 0;
      }
      produced += got;
    }
  } else {
    const std::size_t mask = State::WindowSize - 1;
    while (produced < size) {
      if (s.pendingLength > 0) {
        std::size_t from = static_cast<std::size_t>(s.total - s.pendingDistance - 1);
        while (s.pendingLength > 0 && produced < size) {
          std::uint8_t byte = s.window[from++ & mask];
          s.window[s.total++ & mask] = byte;
          out[produced++] = byte;
          --s.pendingLength;
        }
        continue;
      }
      Step step = s.huffman ? s.huffman->Next() : s.fastest->Next();
      if (!step.ok || s.bits->Overrun()) {
        status_ = DecodeResult::Corrupt;
        return 0;
      }
      if (step.literal) {
        s.window[s.total++ & mask] = step.byte;
        out[produced++] = step.byte;
        continue;
      }
      // A match may not reach before the first byte, nor past the window.
      if (step.distance + 1ull > s.total || step.distance + 1ull > State::WindowSize) {
        status_ = DecodeResult::Corrupt;
        return 0;
      }
      s.pendingDistance = step.distance;
      s.pendingLength = static_cast<std::uint32_t>(std::min<std::uint64_t>(step.length, s.originalSize - s.total));
    }
  }
  if (s.method == 0) s.total += produced;
  s.crc = Crc32(s.crc, out, produced);
  if (s.total >= s.originalSize && s.crc != s.expectedCrc) status_ = DecodeResult::BadCrc;
  return produced;
}

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size) {
  const auto& table = CrcTable();
  const auto* p = static_cast<const std::uint8_t*>(data);
  crc = ~crc;
  while (size-- > 0) crc = table[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

ParseResult ParseHeader(const ReadAt& read, std::uint64_t offset, Header& header, std::uint64_t& next) {
  std::uint8_t start[4];
  std::size_t got = read(offset, start, 4);
  if (got >= 1 && start[0] != HeaderId0) return ParseResult::NotHeader;
  if (got >= 2 && start[1] != HeaderId1) return ParseResult::NotHeader;
  if (got < 4) return ParseResult::Truncated;
  std::size_t size = Get16(start + 2);
  if (size == 0) {
    next = offset + 4;
    return ParseResult::End;
  }
  if (size > MaxBasicHeader || size < MinFixedHeader) return ParseResult::Broken;
  std::vector<std::uint8_t> basic(size + 4);
  if (read(offset + 4, basic.data(), basic.size()) != basic.size()) return ParseResult::Truncated;
  if (Crc32(0, basic.data(), size) != Get32(basic.data() + size)) return ParseResult::BadCrc;
  const std::uint8_t* p = basic.data();
  std::size_t fixed = p[0];
  if (fixed < MinFixedHeader || fixed >= size) return ParseResult::Broken;
  header.archiverVersion = p[1];
  header.minimumVersion = p[2];
  header.hostOs = p[3];
  header.flags = p[4];
  header.method = p[5];
  header.fileType = p[6];
  header.dosDateTime = Get32(p + 8);
  header.compressedSize = Get32(p + 12);
  header.originalSize = Get32(p + 16);
  header.crc = Get32(p + 20);
  header.fileSpecPosition = Get16(p + 24);
  header.accessMode = Get16(p + 26);
  // Name and comment follow the fixed part, each NUL-terminated.
  const char* text = reinterpret_cast<const char*>(p + fixed);
  std::size_t textSize = size - fixed;
  std::size_t nameLength = strnlen(text, textSize);
  if (nameLength == textSize) return ParseResult::Broken;
  header.name.assign(text, nameLength);
  std::size_t commentLength = strnlen(text + nameLength + 1, textSize - nameLength - 1);
  header.comment.assign(text + nameLength + 1, commentLength);

  // Extended headers: size, data, CRC; size 0 ends them.
  std::uint64_t pos = offset + 4 + size + 4;
  for (int count = 0;; ++count) {
    std::uint8_t extSize[2];
    if (read(pos, extSize, 2) != 2) return ParseResult::Truncated;
    pos += 2;
    std::uint16_t length = Get16(extSize);
    if (length == 0) break;
    if (count > 64) return ParseResult::Broken;
    pos += length + 4u;
  }
  header.dataOffset = pos;
  next = pos;
  return ParseResult::Ok;
}

bool FindMainHeader(const ReadAt& read, std::uint64_t fileSize, bool searchAll, std::uint64_t& offset) {
  Header header;
  std::uint64_t next = 0;
  auto isMain = [&](std::uint64_t at) {
    return ParseHeader(read, at, header, next) == ParseResult::Ok && header.fileType == MainHeader;
  };
  if (isMain(0)) {
    offset = 0;
    return true;
  }
  if (!searchAll) return false;
  std::vector<std::uint8_t> chunk(65536 + 1);
  for (std::uint64_t base = 0; base < fileSize; base += 65536) {
    std::size_t got = read(base, chunk.data(), chunk.size());
    for (std::size_t i = 0; i + 1 < got; ++i) {
      if (chunk[i] == HeaderId0 && chunk[i + 1] == HeaderId1 && isMain(base + i)) {
        offset = base + i;
        return true;
      }
    }
  }
  return false;
}

DecodeResult Decode(int method, std::uint32_t compressedSize, std::uint32_t originalSize,
                    std::uint32_t expectedCrc, const Source& source, const Sink& sink) {
  Decoder decoder(method, compressedSize, originalSize, expectedCrc, source);
  std::vector<std::uint8_t> buffer(65536);
  while (std::size_t got = decoder.Read(buffer.data(), buffer.size())) {
    if (!sink(buffer.data(), got)) return DecodeResult::Cancelled;
  }
  return decoder.Status();
}

std::string MethodText(int method) {
  if (method < 0 || method > 9) return "-arj?-";
  return "-arj" + std::to_string(method) + "-";
}

}  // namespace arj
