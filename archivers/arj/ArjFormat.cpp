#include "ArjFormat.h"

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
  BitReader(const Source& source, std::uint32_t limit) : source_(source), remaining_(limit) { Fill(); }

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

  const Source& source_;
  std::uint32_t remaining_;
  std::uint64_t buffer_ = 0;
  int count_ = 0;
  std::uint8_t chunk_[16384];
  std::size_t pos_ = 0, size_ = 0;
  std::size_t padding_ = 0;
};

// The output window: decoded bytes go to the sink whenever it fills, and at
// the end; the CRC is taken on the way.
class Window {
 public:
  Window(const Sink& sink) : sink_(sink), data_(new std::uint8_t[Size]) {}

  bool Put(std::uint8_t byte) {
    data_[pos_++] = byte;
    ++total_;
    return pos_ < Size || Flush();
  }
  // Copies `length` bytes from `distance` + 1 back; false when that reaches
  // before the first byte (damaged data) or the sink refused.
  bool Copy(std::uint32_t distance, std::uint32_t length, bool& refused) {
    if (static_cast<std::uint64_t>(distance) + 1 > total_ || distance + 1 > Size) return false;
    std::size_t from = (pos_ + Size - distance - 1) % Size;
    while (length-- > 0) {
      data_[pos_++] = data_[from];
      from = (from + 1) % Size;
      ++total_;
      if (pos_ == Size && !Flush()) {
        refused = true;
        return false;
      }
    }
    return true;
  }
  bool Flush() {
    if (flushed_ < pos_) {
      crc_ = Crc32(crc_, data_.get() + flushed_, pos_ - flushed_);
      if (!sink_(data_.get() + flushed_, pos_ - flushed_)) return false;
    }
    if (pos_ == Size) pos_ = 0;
    flushed_ = pos_;
    return true;
  }
  std::uint64_t Total() const { return total_; }
  std::uint32_t Crc() const { return crc_; }

 private:
  static constexpr std::size_t Size = 65536;
  const Sink& sink_;
  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t pos_ = 0, flushed_ = 0;
  std::uint64_t total_ = 0;
  std::uint32_t crc_ = 0;
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

// Methods 1 to 3: LZ77 with static Huffman blocks.
class HuffmanDecoder {
 public:
  static constexpr int Threshold = 3;
  static constexpr int NC = 255 + 256 + 2 - Threshold;  // literals and lengths
  static constexpr int NP = 17;                         // distance classes
  static constexpr int NT = 19;                         // code-length codes
  static constexpr int CBit = 9, PBit = 5, TBit = 5;

  explicit HuffmanDecoder(BitReader& in) : in_(in) {}

  DecodeResult Run(Window& out, std::uint32_t originalSize) {
    bool refused = false;
    while (out.Total() < originalSize) {
      if (blockSize_ == 0) {
        blockSize_ = in_.Get(16);
        if (!ReadLengths(ptTable_, NT, TBit, 3) || !ReadLiteralLengths() || !ReadLengths(ptTable_, NP, PBit, -1))
          return DecodeResult::Corrupt;
        if (in_.Overrun()) return DecodeResult::Corrupt;
      }
      --blockSize_;
      std::uint16_t c = cTable_.Decode(in_);
      if (c == HuffmanTable::Invalid) return DecodeResult::Corrupt;
      if (c <= 255) {
        if (!out.Put(static_cast<std::uint8_t>(c))) return DecodeResult::Cancelled;
      } else {
        std::uint32_t length = c - (256 - Threshold);
        std::uint16_t p = ptTable_.Decode(in_);
        if (p == HuffmanTable::Invalid) return DecodeResult::Corrupt;
        std::uint32_t distance = p;
        if (p > 1) distance = (1u << (p - 1)) + in_.Get(p - 1);
        length = std::min<std::uint32_t>(length, static_cast<std::uint32_t>(originalSize - out.Total()));
        if (!out.Copy(distance, length, refused)) return refused ? DecodeResult::Cancelled : DecodeResult::Corrupt;
      }
      if (in_.Overrun()) return DecodeResult::Corrupt;
    }
    return DecodeResult::Ok;
  }

 private:
  // Code lengths of the code-length code (NT) or of the distance code (NP).
  bool ReadLengths(HuffmanTable& table, int count, int countBits, int special) {
    int n = static_cast<int>(in_.Get(countBits));
    if (n == 0) {
      int symbol = static_cast<int>(in_.Get(countBits));
      if (symbol >= count) return false;
      table.SetConstant(symbol);
      std::fill_n(ptLengths_.begin(), count, 0);
      ptLengths_[symbol] = 0;
      return true;
    }
    if (n > count) return false;
    std::fill_n(ptLengths_.begin(), NT > NP ? NT : NP, 0);
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
DecodeResult DecodeFastest(BitReader& in, Window& out, std::uint32_t originalSize) {
  // A number coded as up to (stop - start) one-bits, then `width` bits.
  auto number = [&in](int start, int stop) {
    std::uint32_t plus = 0, power = 1u << start;
    int width = start;
    for (; width < stop; ++width) {
      if (in.Get(1) == 0) break;
      plus += power;
      power <<= 1;
    }
    return in.Get(width) + plus;
  };
  bool refused = false;
  while (out.Total() < originalSize) {
    std::uint32_t c = number(0, 7);
    if (c == 0) {
      if (!out.Put(static_cast<std::uint8_t>(in.Get(8)))) return DecodeResult::Cancelled;
    } else {
      std::uint32_t length = c - 1 + HuffmanDecoder::Threshold;
      std::uint32_t distance = number(9, 13);
      length = std::min<std::uint32_t>(length, static_cast<std::uint32_t>(originalSize - out.Total()));
      if (!out.Copy(distance, length, refused)) return refused ? DecodeResult::Cancelled : DecodeResult::Corrupt;
    }
    if (in.Overrun()) return DecodeResult::Corrupt;
  }
  return DecodeResult::Ok;
}

}  // namespace

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
  Window out(sink);
  DecodeResult result = DecodeResult::Ok;
  if (method == 0) {
    std::uint8_t buffer[16384];
    std::uint32_t remaining = compressedSize;
    std::uint32_t crc = 0;
    if (compressedSize != originalSize) return DecodeResult::Corrupt;
    while (remaining > 0) {
      std::size_t got = source(buffer, std::min<std::size_t>(sizeof buffer, remaining));
      if (got == 0) return DecodeResult::Corrupt;
      crc = Crc32(crc, buffer, got);
      if (!sink(buffer, got)) return DecodeResult::Cancelled;
      remaining -= static_cast<std::uint32_t>(got);
    }
    return crc == expectedCrc ? DecodeResult::Ok : DecodeResult::BadCrc;
  }
  if (method < 1 || method > 4) return DecodeResult::Unsupported;
  auto in = std::make_unique<BitReader>(source, compressedSize);
  if (method == 4) {
    result = DecodeFastest(*in, out, originalSize);
  } else {
    auto decoder = std::make_unique<HuffmanDecoder>(*in);
    result = decoder->Run(out, originalSize);
  }
  if (result != DecodeResult::Ok) return result;
  if (!out.Flush()) return DecodeResult::Cancelled;
  return out.Crc() == expectedCrc ? DecodeResult::Ok : DecodeResult::BadCrc;
}

std::string MethodText(int method) {
  if (method < 0 || method > 9) return "-arj?-";
  return "-arj" + std::to_string(method) + "-";
}

}  // namespace arj
