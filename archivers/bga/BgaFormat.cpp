#include "archivers/bga/BgaFormat.h"

#include <bzlib.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <vector>

namespace bga {

namespace {

constexpr size_t BufferSize = 64 * 1024;
constexpr char DeflateTag[4] = {'G', 'Z', 'I', 'P'};
constexpr char Bzip2Tag[4] = {'B', 'Z', '2', '\0'};

bool SeekTo(std::FILE* file, uint64_t offset) {
  return _fseeki64(file, static_cast<int64_t>(offset), SEEK_SET) == 0;
}

bool ReadExact(std::FILE* file, void* data, size_t size) {
  return std::fread(data, 1, size, file) == size;
}

bool WriteExact(std::FILE* file, const void* data, size_t size) {
  return std::fwrite(data, 1, size, file) == size;
}

bool KnownMethod(const char method[4]) {
  return std::memcmp(method, DeflateTag, 4) == 0 || std::memcmp(method, Bzip2Tag, 4) == 0;
}

uint32_t ByteSum(const void* data, size_t size) {
  auto bytes = static_cast<const unsigned char*>(data);
  uint32_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum += bytes[i];
  return sum;
}

bool LowerExtensionIs(const std::string& name, const char* extension) {
  size_t dot = name.find_last_of('.');
  size_t slash = name.find_last_of("\\/");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  std::string ext = name.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == extension;
}

// Compresses originalSize bytes of in to out; returns the packed size through packed.
Result EncodeDeflate(std::FILE* out, std::FILE* in, uint64_t originalSize, int level,
                     const Progress& progress, uint64_t& packed) {
  z_stream stream{};
  if (level < 0 || level > 9) level = Z_DEFAULT_COMPRESSION;
  if (deflateInit2(&stream, level, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    return Result::OutOfMemory;
  std::unique_ptr<z_stream, void (*)(z_stream*)> guard(&stream, [](z_stream* s) { deflateEnd(s); });
  std::vector<unsigned char> inBuffer(BufferSize), outBuffer(BufferSize);
  uint64_t consumed = 0;
  packed = 0;
  int flush = Z_NO_FLUSH;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (stream.avail_in == 0 && flush == Z_NO_FLUSH) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(originalSize - consumed, BufferSize));
      if (want != 0 && !ReadExact(in, inBuffer.data(), want)) return Result::ReadError;
      consumed += want;
      stream.next_in = inBuffer.data();
      stream.avail_in = static_cast<uInt>(want);
      if (consumed == originalSize) flush = Z_FINISH;
      if (progress && !progress(consumed)) return Result::Cancelled;
    }
    stream.next_out = outBuffer.data();
    stream.avail_out = static_cast<uInt>(outBuffer.size());
    status = deflate(&stream, flush);
    if (status == Z_STREAM_ERROR) return Result::Broken;
    size_t size = outBuffer.size() - stream.avail_out;
    if (size != 0 && !WriteExact(out, outBuffer.data(), size)) return Result::WriteError;
    packed += size;
  }
  return Result::Ok;
}

Result EncodeBzip2(std::FILE* out, std::FILE* in, uint64_t originalSize, int level,
                   const Progress& progress, uint64_t& packed) {
  bz_stream stream{};
  int blocks = level < 1 ? (level == 0 ? 1 : 9) : std::min(level, 9);
  if (BZ2_bzCompressInit(&stream, blocks, 0, 0) != BZ_OK) return Result::OutOfMemory;
  std::unique_ptr<bz_stream, void (*)(bz_stream*)> guard(&stream,
                                                         [](bz_stream* s) { BZ2_bzCompressEnd(s); });
  std::vector<char> inBuffer(BufferSize), outBuffer(BufferSize);
  uint64_t consumed = 0;
  packed = 0;
  int action = BZ_RUN;
  int status = BZ_RUN_OK;
  while (status != BZ_STREAM_END) {
    if (stream.avail_in == 0 && action == BZ_RUN) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(originalSize - consumed, BufferSize));
      if (want != 0 && !ReadExact(in, inBuffer.data(), want)) return Result::ReadError;
      consumed += want;
      stream.next_in = inBuffer.data();
      stream.avail_in = static_cast<unsigned>(want);
      if (consumed == originalSize) action = BZ_FINISH;
      if (progress && !progress(consumed)) return Result::Cancelled;
    }
    stream.next_out = outBuffer.data();
    stream.avail_out = static_cast<unsigned>(outBuffer.size());
    status = BZ2_bzCompress(&stream, action);
    if (status < 0) return Result::Broken;
    size_t size = outBuffer.size() - stream.avail_out;
    if (size != 0 && !WriteExact(out, outBuffer.data(), size)) return Result::WriteError;
    packed += size;
  }
  return Result::Ok;
}

}  // namespace

Method MethodForArchiveName(const std::string& archiveName) {
  return LowerExtensionIs(archiveName, ".bza") ? Method::Bzip2 : Method::Deflate;
}

bool Entry::IsDeflate() const { return std::memcmp(header.method, DeflateTag, 4) == 0; }
bool Entry::IsBzip2() const { return std::memcmp(header.method, Bzip2Tag, 4) == 0; }
const char* Entry::ModeText() const { return IsBzip2() ? "BZ2" : IsDeflate() ? "GZIP" : "????"; }

uint32_t Checksum(const Header& header, const std::string& folder, const std::string& name) {
  return ByteSum(reinterpret_cast<const char*>(&header) + 4, sizeof(Header) - 4) +
         ByteSum(folder.data(), folder.size()) + ByteSum(name.data(), name.size());
}

Status ReadEntry(std::FILE* file, uint64_t offset, uint64_t fileEnd, Entry& entry) {
  if (offset == fileEnd) return Status::End;
  if (offset > fileEnd || fileEnd - offset < sizeof(Header)) return Status::Truncated;
  if (!SeekTo(file, offset)) return Status::ReadError;
  Header header;
  if (!ReadExact(file, &header, sizeof header)) return Status::ReadError;
  // A header with a method tag we do not know still lists when its checksum
  // holds; only its extraction fails.
  uint64_t namesEnd = offset + sizeof(Header) + header.folderLength + header.nameLength;
  if (namesEnd > fileEnd) return KnownMethod(header.method) ? Status::Truncated : Status::Broken;
  std::string folder(header.folderLength, '\0'), name(header.nameLength, '\0');
  if (!ReadExact(file, folder.data(), folder.size()) || !ReadExact(file, name.data(), name.size()))
    return Status::ReadError;
  if (Checksum(header, folder, name) != header.checksum) return Status::Broken;
  if (header.nameLength == 0) return Status::Broken;
  if (namesEnd + header.packedSize > fileEnd) return Status::Truncated;
  entry.header = header;
  entry.folder = std::move(folder);
  entry.name = std::move(name);
  entry.headerOffset = offset;
  entry.dataOffset = namesEnd;
  return Status::Ok;
}

uint64_t AppendedDataOffset(std::FILE* file, uint64_t fileSize) {
  unsigned char dos[64];
  if (fileSize < sizeof dos || !SeekTo(file, 0) || !ReadExact(file, dos, sizeof dos)) return 0;
  if (dos[0] != 'M' || dos[1] != 'Z') return 0;
  uint32_t peOffset;
  std::memcpy(&peOffset, dos + 0x3C, 4);
  unsigned char pe[24];
  if (uint64_t(peOffset) + sizeof pe > fileSize || !SeekTo(file, peOffset) ||
      !ReadExact(file, pe, sizeof pe) || std::memcmp(pe, "PE\0\0", 4) != 0)
    return 0;
  uint16_t sections, optionalSize;
  std::memcpy(&sections, pe + 6, 2);
  std::memcpy(&optionalSize, pe + 20, 2);
  uint64_t table = uint64_t(peOffset) + sizeof pe + optionalSize;
  uint64_t end = 0;
  for (uint16_t i = 0; i < sections; ++i) {
    unsigned char section[40];
    if (!SeekTo(file, table + i * 40ull) || !ReadExact(file, section, sizeof section)) return 0;
    uint32_t rawSize, rawOffset;
    std::memcpy(&rawSize, section + 16, 4);
    std::memcpy(&rawOffset, section + 20, 4);
    if (rawSize != 0) end = std::max<uint64_t>(end, uint64_t(rawOffset) + rawSize);
  }
  return end <= fileSize ? end : 0;
}

bool FindArchiveStart(std::FILE* file, uint64_t fileSize, uint64_t scanLimit, uint64_t& start) {
  Entry entry;
  uint64_t appended = AppendedDataOffset(file, fileSize);
  if (appended != 0 && ReadEntry(file, appended, fileSize, entry) == Status::Ok) {
    start = appended;
    return true;
  }
  // Search for a method tag whose header checks, four bytes after its start.
  std::vector<unsigned char> buffer(BufferSize + 4);
  uint64_t scanEnd = std::min(fileSize, scanLimit);
  for (uint64_t base = 0; base < scanEnd; base += BufferSize) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(fileSize - base, buffer.size()));
    if (!SeekTo(file, base) || !ReadExact(file, buffer.data(), want)) return false;
    for (size_t i = 0; i + 4 <= want && i < BufferSize && base + i < scanEnd; ++i) {
      if (!KnownMethod(reinterpret_cast<const char*>(&buffer[i]))) continue;
      uint64_t candidate = base + i;
      if (candidate < 4) continue;
      if (ReadEntry(file, candidate - 4, fileSize, entry) == Status::Ok) {
        start = candidate - 4;
        return true;
      }
    }
  }
  return false;
}

struct DataReader::State {
  std::FILE* file = nullptr;
  const Entry* entry = nullptr;
  bool deflate = true;
  z_stream zlib{};
  bz_stream bzip{};
  bool initialised = false;
  bool ended = false;  // the stream's end marker was decoded
  std::vector<unsigned char> input = std::vector<unsigned char>(BufferSize);
  size_t available = 0;   // undecoded bytes at next
  unsigned char* next = nullptr;
  uint64_t remaining = 0;  // packed bytes not yet read from the file
  uint64_t produced = 0;

  ~State() {
    if (!initialised) return;
    if (deflate)
      inflateEnd(&zlib);
    else
      BZ2_bzDecompressEnd(&bzip);
  }
};

DataReader::DataReader() = default;
DataReader::~DataReader() = default;

Result DataReader::Start(std::FILE* file, const Entry& entry) {
  state_.reset();
  if (entry.header.dataKind != 0 || entry.header.headerType != 0) return Result::Unsupported;
  if (!entry.IsDeflate() && !entry.IsBzip2()) return Result::Unsupported;
  if (!SeekTo(file, entry.dataOffset)) return Result::ReadError;
  auto state = std::make_unique<State>();
  state->file = file;
  state->entry = &entry;
  state->deflate = entry.IsDeflate();
  state->remaining = entry.header.packedSize;
  // 16 + 15: a gzip member only; zlib checks its CRC-32 and size trailer.
  int status = state->deflate ? inflateInit2(&state->zlib, 16 + 15) : BZ2_bzDecompressInit(&state->bzip, 0, 0);
  if (status != 0) return Result::OutOfMemory;
  state->initialised = true;
  state_ = std::move(state);
  return Result::Ok;
}

Result DataReader::Read(void* buffer, size_t size, size_t& got) {
  got = 0;
  if (!state_) return Result::Unsupported;
  State& s = *state_;
  const uint64_t expected = s.entry->header.originalSize;
  while (got == 0 && size != 0) {
    if (s.ended) {
      // Every packed byte belongs to the stream, and the sizes agree.
      if (s.available != 0 || s.remaining != 0 || s.produced != expected) return Result::Broken;
      return Result::Ok;
    }
    if (s.available == 0) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(s.remaining, s.input.size()));
      if (want == 0) return Result::Broken;  // data ends inside the stream
      if (!ReadExact(s.file, s.input.data(), want)) return Result::ReadError;
      s.remaining -= want;
      s.available = want;
      s.next = s.input.data();
    }
    size_t window = static_cast<size_t>(std::min<uint64_t>(size, 1u << 30));
    size_t consumed;
    if (s.deflate) {
      s.zlib.next_in = s.next;
      s.zlib.avail_in = static_cast<uInt>(s.available);
      s.zlib.next_out = static_cast<Bytef*>(buffer);
      s.zlib.avail_out = static_cast<uInt>(window);
      int status = inflate(&s.zlib, Z_NO_FLUSH);
      if (status == Z_MEM_ERROR) return Result::OutOfMemory;
      if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) return Result::Broken;
      if (status == Z_STREAM_END) s.ended = true;
      consumed = s.available - s.zlib.avail_in;
      got = window - s.zlib.avail_out;
    } else {
      s.bzip.next_in = reinterpret_cast<char*>(s.next);
      s.bzip.avail_in = static_cast<unsigned>(s.available);
      s.bzip.next_out = static_cast<char*>(buffer);
      s.bzip.avail_out = static_cast<unsigned>(window);
      int status = BZ2_bzDecompress(&s.bzip);
      if (status == BZ_MEM_ERROR) return Result::OutOfMemory;
      if (status != BZ_OK && status != BZ_STREAM_END) return Result::Broken;
      if (status == BZ_STREAM_END) s.ended = true;
      consumed = s.available - s.bzip.avail_in;
      got = window - s.bzip.avail_out;
    }
    s.next += consumed;
    s.available -= consumed;
    s.produced += got;
    if (s.produced > expected) return Result::Broken;
    if (got == 0 && consumed == 0 && !s.ended) return Result::Broken;  // no progress: damaged stream
  }
  return Result::Ok;
}

Result Decode(std::FILE* file, const Entry& entry, const Sink& sink) {
  DataReader reader;
  Result result = reader.Start(file, entry);
  std::vector<unsigned char> buffer(BufferSize);
  while (result == Result::Ok) {
    size_t got;
    result = reader.Read(buffer.data(), buffer.size(), got);
    if (result != Result::Ok || got == 0) break;
    if (!sink(buffer.data(), got)) return Result::Cancelled;
  }
  return result;
}

uint32_t StoredCrc(std::FILE* file, const Entry& entry) {
  unsigned char crc[4];
  if (!entry.IsDeflate() || entry.header.packedSize < 18) return 0;
  if (!SeekTo(file, entry.End() - 8) || !ReadExact(file, crc, 4)) return 0;
  return crc[0] | crc[1] << 8 | crc[2] << 16 | uint32_t(crc[3]) << 24;
}

Result WriteEntry(std::FILE* out, std::FILE* in, uint64_t originalSize, Method method, int level,
                  const std::string& folder, const std::string& name, uint16_t date, uint16_t time,
                  uint8_t attributes, const Progress& progress) {
  if (originalSize > 0xFFFFFFFFull) return Result::Unsupported;
  if (name.empty() || folder.size() + name.size() > MaxPathBytes) return Result::Unsupported;
  Header header{};
  std::memcpy(header.method, method == Method::Bzip2 ? Bzip2Tag : DeflateTag, 4);
  header.originalSize = static_cast<uint32_t>(originalSize);
  header.date = date;
  header.time = time;
  header.attributes = attributes;
  header.folderLength = static_cast<uint16_t>(folder.size());
  header.nameLength = static_cast<uint16_t>(name.size());
  int64_t headerOffset = _ftelli64(out);
  if (headerOffset < 0) return Result::WriteError;
  // The header goes first with a zero packed size and is rewritten once the data is known.
  if (!WriteExact(out, &header, sizeof header) || !WriteExact(out, folder.data(), folder.size()) ||
      !WriteExact(out, name.data(), name.size()))
    return Result::WriteError;
  uint64_t packed = 0;
  Result result = method == Method::Bzip2 ? EncodeBzip2(out, in, originalSize, level, progress, packed)
                                          : EncodeDeflate(out, in, originalSize, level, progress, packed);
  if (result != Result::Ok) return result;
  if (packed > 0xFFFFFFFFull) return Result::Unsupported;
  header.packedSize = static_cast<uint32_t>(packed);
  header.checksum = Checksum(header, folder, name);
  int64_t end = _ftelli64(out);
  if (end < 0 || _fseeki64(out, headerOffset, SEEK_SET) != 0 || !WriteExact(out, &header, sizeof header) ||
      _fseeki64(out, end, SEEK_SET) != 0)
    return Result::WriteError;
  return Result::Ok;
}

Result CopyEntry(std::FILE* out, std::FILE* in, const Entry& entry) {
  if (!SeekTo(in, entry.headerOffset)) return Result::ReadError;
  std::vector<unsigned char> buffer(BufferSize);
  uint64_t remaining = entry.End() - entry.headerOffset;
  while (remaining != 0) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(remaining, buffer.size()));
    if (!ReadExact(in, buffer.data(), want)) return Result::ReadError;
    if (!WriteExact(out, buffer.data(), want)) return Result::WriteError;
    remaining -= want;
  }
  return Result::Ok;
}

}  // namespace bga
