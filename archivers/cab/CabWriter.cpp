#include "archivers/cab/CabWriter.h"

#include <zlib.h>

#include <cstring>
#include <memory>

namespace cab {

namespace {

constexpr std::size_t HeaderSize = 36;
constexpr std::size_t FolderSize = 8;
constexpr std::size_t FileRecordSize = 16;
constexpr std::size_t DataHeaderSize = 8;
constexpr std::uint16_t CompressMszip = 1;
// A block that does not compress becomes deflate's stored blocks: the raw
// data, a few bytes of framing and the 'CK' signature.
constexpr std::size_t MaxCompressedBlock = BlockSize + 64;

void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

// One deflate stream per block; each starts from the previous block's data
// as its dictionary, which is how MSZIP readers decode it.
class BlockCompressor {
 public:
  explicit BlockCompressor(int level) {
    std::memset(&stream_, 0, sizeof stream_);
    ok_ = deflateInit2(&stream_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  }
  ~BlockCompressor() {
    if (ok_) deflateEnd(&stream_);
  }
  bool ok() const { return ok_; }

  // Compresses `size` bytes into `out` ('CK' included); returns its length or 0.
  std::size_t Compress(const std::uint8_t* data, std::size_t size, std::uint8_t* out) {
    if (deflateReset(&stream_) != Z_OK) return 0;
    if (dictionarySize_ > 0 && deflateSetDictionary(&stream_, dictionary_, static_cast<uInt>(dictionarySize_)) != Z_OK)
      return 0;
    out[0] = 'C';
    out[1] = 'K';
    stream_.next_in = const_cast<Bytef*>(data);
    stream_.avail_in = static_cast<uInt>(size);
    stream_.next_out = out + 2;
    stream_.avail_out = static_cast<uInt>(MaxCompressedBlock - 2);
    if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) return 0;
    std::memcpy(dictionary_, data, size);
    dictionarySize_ = size;
    return MaxCompressedBlock - stream_.avail_out;
  }

 private:
  z_stream stream_;
  bool ok_ = false;
  std::uint8_t dictionary_[BlockSize];
  std::size_t dictionarySize_ = 0;
};

}  // namespace

std::uint32_t Checksum(const void* data, std::size_t size, std::uint32_t seed) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::uint32_t sum = seed;
  for (std::size_t n = size / 4; n > 0; --n, p += 4)
    sum ^= static_cast<std::uint32_t>(p[0]) | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  // The tail is taken in reverse order, as the format defines it.
  std::uint32_t tail = 0;
  switch (size % 4) {
    case 3:
      tail |= static_cast<std::uint32_t>(*p++) << 16;
      [[fallthrough]];
    case 2:
      tail |= static_cast<std::uint32_t>(*p++) << 8;
      [[fallthrough]];
    case 1:
      tail |= *p++;
      break;
    default:
      break;
  }
  return sum ^ tail;
}

WriteResult WriteCabinet(std::vector<FileToWrite>& files, Output& out, int level, const Progress& progress,
                         std::size_t& failedFile) {
  failedFile = 0;
  if (files.size() > MaxFiles) return WriteResult::TooManyFiles;
  std::uint64_t total = 0;
  std::size_t namesSize = 0;
  for (const auto& file : files) {
    total += file.size;
    namesSize += file.name.size() + 1;
  }
  if (total > MaxFolderSize) return WriteResult::TooBig;

  // Header, folder and file records first; the block count and the total size
  // are filled in once the data is written.
  const std::size_t filesOffset = HeaderSize + FolderSize;
  const std::size_t dataOffset = filesOffset + files.size() * FileRecordSize + namesSize;
  std::vector<std::uint8_t> head(dataOffset, 0);
  std::uint8_t* h = head.data();
  std::memcpy(h, "MSCF", 4);
  Put32(h + 16, static_cast<std::uint32_t>(filesOffset));
  h[24] = 3;  // version 1.3
  h[25] = 1;
  Put16(h + 26, 1);
  Put16(h + 28, static_cast<std::uint32_t>(files.size()));
  Put32(h + HeaderSize, static_cast<std::uint32_t>(dataOffset));
  Put16(h + HeaderSize + 6, CompressMszip);
  std::uint8_t* record = h + filesOffset;
  std::uint32_t folderOffset = 0;
  for (const auto& file : files) {
    Put32(record, file.size);
    Put32(record + 4, folderOffset);
    Put16(record + 8, 0);
    Put16(record + 10, file.dosDate);
    Put16(record + 12, file.dosTime);
    Put16(record + 14, file.attributes);
    std::memcpy(record + FileRecordSize, file.name.c_str(), file.name.size() + 1);
    record += FileRecordSize + file.name.size() + 1;
    folderOffset += file.size;
  }
  if (!out.Write(head.data(), head.size())) return WriteResult::WriteError;

  auto compressor = std::make_unique<BlockCompressor>(level);
  if (!compressor->ok()) return WriteResult::WriteError;
  auto block = std::make_unique<std::uint8_t[]>(BlockSize);
  auto packed = std::make_unique<std::uint8_t[]>(DataHeaderSize + MaxCompressedBlock);
  std::size_t filled = 0;
  std::uint32_t blocks = 0;
  std::uint64_t written = dataOffset;

  auto flush = [&]() -> bool {
    std::size_t size = compressor->Compress(block.get(), filled, packed.get() + DataHeaderSize);
    if (size == 0) return false;
    std::uint8_t* d = packed.get();
    Put16(d + 4, static_cast<std::uint32_t>(size));
    Put16(d + 6, static_cast<std::uint32_t>(filled));
    Put32(d, Checksum(d + 4, 4, Checksum(d + DataHeaderSize, size, 0)));
    if (!out.Write(d, DataHeaderSize + size)) return false;
    written += DataHeaderSize + size;
    ++blocks;
    filled = 0;
    return true;
  };

  for (std::size_t index = 0; index < files.size(); ++index) {
    FileToWrite& file = files[index];
    failedFile = index;
    std::uint64_t done = 0;
    if (progress && !progress(index, 0)) return WriteResult::Cancelled;
    for (;;) {
      std::size_t room = BlockSize - filled;
      std::size_t got = file.read ? file.read(block.get() + filled, room) : 0;
      if (got == SIZE_MAX) return WriteResult::ReadError;
      if (got == 0) break;
      done += got;
      if (done > file.size) return WriteResult::SizeChanged;
      filled += got;
      if (filled == BlockSize) {
        if (!flush()) return WriteResult::WriteError;
        if (progress && !progress(index, done)) return WriteResult::Cancelled;
      }
    }
    if (done != file.size) return WriteResult::SizeChanged;
    if (progress && !progress(index, done)) return WriteResult::Cancelled;
  }
  if (filled > 0 && !flush()) return WriteResult::WriteError;
  if (blocks > 0xFFFF || written > 0xFFFFFFFFu) return WriteResult::TooBig;

  Put32(h + 8, static_cast<std::uint32_t>(written));
  Put16(h + HeaderSize + 4, blocks);
  if (!out.WriteAt(0, h, HeaderSize + FolderSize)) return WriteResult::WriteError;
  return WriteResult::Ok;
}

}  // namespace cab
