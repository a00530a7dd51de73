// The ARJ archive format: header parsing and the decoders of methods 0 to 4.
// Plain code without Windows dependencies, so the tests can call it directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace arj {

constexpr std::uint8_t HeaderId0 = 0x60;
constexpr std::uint8_t HeaderId1 = 0xEA;
// Largest basic header the format allows; anything bigger is damage.
constexpr std::size_t MaxBasicHeader = 2600;
// First byte (fixed part) of every header is at least this long.
constexpr std::size_t MinFixedHeader = 30;
// Window of methods 1 to 4.
constexpr std::size_t DictionarySize = 26624;

enum FileType : std::uint8_t {
  Binary = 0,
  Text7Bit = 1,
  MainHeader = 2,
  Directory = 3,
  VolumeLabel = 4,
};

enum Flags : std::uint8_t {
  Garbled = 0x01,
  Volume = 0x04,  // continues in the next volume
  ExtFile = 0x08, // continued from the previous volume
  PathSymbols = 0x10,
};

enum HostOs : std::uint8_t {
  MsDos = 0,
  Primos = 1,
  Unix = 2,
  Amiga = 3,
  MacOs = 4,
  Os2 = 5,
  AppleGs = 6,
  AtariSt = 7,
  Next = 8,
  VaxVms = 9,
  Win95 = 10,
  Win32 = 11,
};

// One header as stored (the main header uses the same layout).
struct Header {
  std::uint8_t archiverVersion = 0;
  std::uint8_t minimumVersion = 0;
  std::uint8_t hostOs = 0;
  std::uint8_t flags = 0;
  std::uint8_t method = 0;
  std::uint8_t fileType = 0;
  std::uint32_t dosDateTime = 0;  // date in the high word; Unix time from Unix hosts
  std::uint32_t compressedSize = 0;
  std::uint32_t originalSize = 0;
  std::uint32_t crc = 0;
  std::uint16_t fileSpecPosition = 0;
  std::uint16_t accessMode = 0;  // DOS attributes in the low byte for DOS-like hosts
  std::string name;              // bytes as stored
  std::string comment;
  std::uint64_t dataOffset = 0;  // first byte of the compressed data
};

enum class ParseResult {
  Ok,
  End,          // the end-of-archive header (size 0)
  NotHeader,    // no header id here
  Truncated,
  Broken,       // impossible sizes
  BadCrc,
};

// Reads the header that starts at `offset` with the given byte reader
// (offset, buffer, size -> bytes read). On Ok `next` is the offset after the
// header and its extended headers; the caller adds compressedSize for files.
using ReadAt = std::function<std::size_t(std::uint64_t, void*, std::size_t)>;
ParseResult ParseHeader(const ReadAt& read, std::uint64_t offset, Header& header, std::uint64_t& next);

// Finds the main header: at 0, or (searchAll) anywhere in the first
// `searchLimit` bytes, as in a self-extractor. Returns false when none is valid.
bool FindMainHeader(const ReadAt& read, std::uint64_t fileSize, bool searchAll, std::uint64_t& offset);

enum class DecodeResult {
  Ok,
  Corrupt,      // impossible codes or distances, or data ends early
  BadCrc,
  Cancelled,    // the sink refused more data
  Unsupported,  // unknown method
};

// Compressed bytes on demand: returns the bytes read, 0 at the end.
using Source = std::function<std::size_t(void*, std::size_t)>;
// Decoded bytes; false stops decoding (DecodeResult::Cancelled).
using Sink = std::function<bool(const void*, std::size_t)>;

// Decodes one entry's data (methods 0 to 4) on demand and checks its CRC at
// the end.
class Decoder {
 public:
  Decoder(int method, std::uint32_t compressedSize, std::uint32_t originalSize, std::uint32_t expectedCrc,
          Source source);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // Fills up to `size` bytes; 0 at the end of the data or after an error.
  // Once the last byte is out, Status() tells whether the CRC matched.
  std::size_t Read(void* buffer, std::size_t size);
  DecodeResult Status() const { return status_; }

 private:
  struct State;
  std::unique_ptr<State> state_;
  DecodeResult status_ = DecodeResult::Ok;
};

// The whole entry at once into a sink.
DecodeResult Decode(int method, std::uint32_t compressedSize, std::uint32_t originalSize,
                    std::uint32_t expectedCrc, const Source& source, const Sink& sink);

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size);

// "-arj1-" style text of a method for the listing's mode field.
std::string MethodText(int method);

}  // namespace arj
