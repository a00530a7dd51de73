// The BGA container (".gza" and ".bza"): a plain sequence of entries, each a
// header, the folder and file name, and the entry's compressed data. There is
// no directory at the end and no end marker: the archive ends with the file.
//
// Entry header, little-endian, no padding (28 bytes):
//    0  u32   checksum: sum of the unsigned bytes from offset 4 to the end of
//             the two names
//    4  c[4]  method: "GZIP" (deflate) or "BZ2\0" (bzip2)
//    8  u32   packed size: bytes of data after the names
//   12  u32   original size
//   16  u16   DOS date
//   18  u16   DOS time
//   20  u8    DOS attributes
//   21  u8    header type: 0 = a file (the only kind)
//   22  u16   data kind: 0 = the method's own stream (the only kind)
//   24  u16   folder name length
//   26  u16   file name length
//   28        folder name (ANSI code page, ends in '\' when not empty), then
//             the file name
// Data of "GZIP" entries is one gzip member (RFC 1952, so it carries the CRC-32
// and the size of the original); data of "BZ2\0" entries is one bzip2 stream.
// Both carry their own checks, so damaged data never extracts silently.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace bga {

#pragma pack(push, 1)
struct Header {
  uint32_t checksum;
  char method[4];
  uint32_t packedSize;
  uint32_t originalSize;
  uint16_t date;
  uint16_t time;
  uint8_t attributes;
  uint8_t headerType;
  uint16_t dataKind;
  uint16_t folderLength;
  uint16_t nameLength;
};
#pragma pack(pop)
static_assert(sizeof(Header) == 28);

enum class Method { Deflate, Bzip2 };

// The method a new archive gets from its extension: ".bza" bzip2, anything else deflate.
Method MethodForArchiveName(const std::string& archiveName);

struct Entry {
  Header header{};
  std::string folder;  // "" or ending in '\'
  std::string name;
  uint64_t headerOffset = 0;
  uint64_t dataOffset = 0;
  std::string Path() const { return folder + name; }
  uint64_t End() const { return dataOffset + header.packedSize; }
  bool IsDeflate() const;
  bool IsBzip2() const;
  const char* ModeText() const;  // "GZIP" / "BZ2" for the entry record
};

enum class Status {
  Ok,
  End,        // no further entry: the offset is the end of the file
  Broken,     // a header that is no BGA header (checksum, method, lengths)
  Truncated,  // a header or its data reaches past the end of the file
  ReadError,
};

// Reads the header at offset; on Ok the entry's data lies inside [offset, fileEnd).
Status ReadEntry(std::FILE* file, uint64_t offset, uint64_t fileEnd, Entry& entry);

// Finds the first entry of an archive inside a larger file (a self-extractor):
// the data after the program image when there is one, else the first offset
// below scanLimit whose header checks. Returns false when none is found.
bool FindArchiveStart(std::FILE* file, uint64_t fileSize, uint64_t scanLimit, uint64_t& start);

// Offset where data appended to a Windows program starts (after its last
// section); 0 when the file is no Windows program.
uint64_t AppendedDataOffset(std::FILE* file, uint64_t fileSize);

enum class Result {
  Ok,
  Cancelled,     // the sink or the progress answer asked to stop
  Broken,        // the data does not decode, or its check or size differs
  Unsupported,   // an unknown method or data kind
  ReadError,
  WriteError,
  OutOfMemory,
};

// Receives decoded data; returns false to stop.
using Sink = std::function<bool(const void* data, size_t size)>;
// Called with the bytes done so far; returns false to stop.
using Progress = std::function<bool(uint64_t done)>;

// Decodes one entry's data piece by piece. The file position belongs to the
// reader between Start and the end of the data.
class DataReader {
 public:
  DataReader();
  ~DataReader();
  DataReader(const DataReader&) = delete;
  DataReader& operator=(const DataReader&) = delete;
  Result Start(std::FILE* file, const Entry& entry);  // entry must outlive the reading
  // Up to size decoded bytes into buffer; got == 0 with Ok at the end, once the
  // size and the stream's own check have been confirmed.
  Result Read(void* buffer, size_t size, size_t& got);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Decodes an entry's data into sink, checking its size and its check value.
Result Decode(std::FILE* file, const Entry& entry, const Sink& sink);

// The CRC-32 a deflate entry carries (0 for bzip2 entries or when unreadable).
uint32_t StoredCrc(std::FILE* file, const Entry& entry);

// Writes one entry at the current position of out: header, names and the
// compressed contents of in (originalSize bytes). Level 0-9; -1 = default.
// On failure the output position is undefined (the caller discards the file).
Result WriteEntry(std::FILE* out, std::FILE* in, uint64_t originalSize, Method method, int level,
                  const std::string& folder, const std::string& name, uint16_t date, uint16_t time,
                  uint8_t attributes, const Progress& progress);

// Copies an entry of another archive unchanged.
Result CopyEntry(std::FILE* out, std::FILE* in, const Entry& entry);

// Checksum of the header bytes after the checksum field plus the names.
uint32_t Checksum(const Header& header, const std::string& folder, const std::string& name);

// Largest folder + file name a header may carry (the entry record's name field).
constexpr size_t MaxPathBytes = 512;

}  // namespace bga
