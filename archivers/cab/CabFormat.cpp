#include "archivers/cab/CabFormat.h"

#include <cstring>

namespace cab {

namespace {

constexpr std::size_t HeaderSize = 36;
constexpr std::size_t FileRecordSize = 16;
constexpr std::size_t DataHeaderSize = 8;
constexpr std::size_t MaxName = 256;  // the format's limit, with room for a long path

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Reads a NUL-terminated string at offset; false when it does not end in time.
bool ReadString(const ReadAt& read, std::uint64_t offset, std::size_t limit, std::string& text) {
  char buffer[1024];
  std::size_t got = read(offset, buffer, std::min(limit + 1, sizeof buffer));
  std::size_t length = strnlen(buffer, got);
  if (length == got) return false;
  text.assign(buffer, length);
  return true;
}

}  // namespace

bool LooksLikeHeader(const ReadAt& read, std::uint64_t offset, std::uint64_t fileSize) {
  std::uint8_t h[HeaderSize];
  if (read(offset, h, sizeof h) != sizeof h) return false;
  if (std::memcmp(h, "MSCF", 4) != 0 || Get32(h + 4) != 0 || Get32(h + 12) != 0 || Get32(h + 20) != 0) return false;
  if (h[25] != 1) return false;  // major version
  std::uint32_t size = Get32(h + 8), filesOffset = Get32(h + 16);
  return size >= HeaderSize && filesOffset >= HeaderSize && filesOffset < size && offset + size <= fileSize;
}

DirectoryResult ReadDirectory(const ReadAt& read, std::uint64_t offset, std::uint64_t fileSize, bool walkBlocks,
                              Directory& directory) {
  directory = Directory{};
  std::uint8_t h[HeaderSize];
  std::size_t got = read(offset, h, sizeof h);
  if (got < 4 || std::memcmp(h, "MSCF", 4) != 0) return DirectoryResult::NotCabinet;
  if (got < sizeof h) return DirectoryResult::Truncated;
  if (!LooksLikeHeader(read, offset, ~0ull)) return DirectoryResult::NotCabinet;
  directory.cabinetSize = Get32(h + 8);
  if (offset + directory.cabinetSize > fileSize) return DirectoryResult::Truncated;
  std::uint32_t filesOffset = Get32(h + 16);
  std::uint16_t folderCount = Get16(h + 26), fileCount = Get16(h + 28);
  directory.flags = Get16(h + 30);
  const std::uint64_t end = offset + directory.cabinetSize;

  std::uint64_t pos = offset + HeaderSize;
  std::size_t folderReserve = 0, dataReserve = 0;
  if (directory.flags & ReservePresent) {
    std::uint8_t r[4];
    if (read(pos, r, 4) != 4) return DirectoryResult::Truncated;
    pos += 4 + Get16(r);
    folderReserve = r[2];
    dataReserve = r[3];
  }
  // Names of the neighbouring cabinets and disks: skipped.
  int strings = (directory.flags & PreviousCabinet ? 2 : 0) + (directory.flags & NextCabinet ? 2 : 0);
  for (int i = 0; i < strings; ++i) {
    std::string text;
    if (!ReadString(read, pos, MaxName, text)) return DirectoryResult::Broken;
    pos += text.size() + 1;
  }

  for (std::uint16_t i = 0; i < folderCount; ++i) {
    std::uint8_t f[8];
    if (pos + 8 > end || read(pos, f, 8) != 8) return DirectoryResult::Truncated;
    FolderInfo folder;
    folder.dataOffset = Get32(f);
    folder.blocks = Get16(f + 4);
    folder.compression = Get16(f + 6);
    if (folder.dataOffset > directory.cabinetSize) return DirectoryResult::Broken;
    directory.folders.push_back(folder);
    pos += 8 + folderReserve;
  }

  pos = offset + filesOffset;
  for (std::uint16_t i = 0; i < fileCount; ++i) {
    std::uint8_t r[FileRecordSize];
    if (pos + FileRecordSize > end || read(pos, r, sizeof r) != sizeof r) return DirectoryResult::Truncated;
    FileInfo file;
    file.size = Get32(r);
    file.folderOffset = Get32(r + 4);
    file.folder = Get16(r + 8);
    file.date = Get16(r + 10);
    file.time = Get16(r + 12);
    file.attributes = Get16(r + 14);
    if (!ReadString(read, pos + FileRecordSize, MaxName * 4, file.name) || file.name.empty())
      return DirectoryResult::Broken;
    if (file.folder < 0xFFFD && file.folder >= folderCount) return DirectoryResult::Broken;
    if (file.folder < folderCount) {
      std::uint64_t last = static_cast<std::uint64_t>(file.folderOffset) + file.size;
      auto& folder = directory.folders[file.folder];
      if (last > folder.unpackedBytes) folder.unpackedBytes = last;
    }
    pos += FileRecordSize + file.name.size() + 1;
    directory.files.push_back(std::move(file));
  }

  if (walkBlocks) {
    for (auto& folder : directory.folders) {
      std::uint64_t at = offset + folder.dataOffset;
      std::uint64_t unpacked = 0;
      for (std::uint16_t b = 0; b < folder.blocks; ++b) {
        std::uint8_t d[DataHeaderSize];
        if (at + DataHeaderSize > end || read(at, d, sizeof d) != sizeof d) return DirectoryResult::Truncated;
        std::uint16_t packed = Get16(d + 4), size = Get16(d + 6);
        at += DataHeaderSize + dataReserve + packed;
        if (at > end) return DirectoryResult::Truncated;
        folder.packedBytes += packed;
        unpacked += size;
      }
      // Without continuation into the next cabinet the blocks must hold every file.
      if (!(directory.flags & NextCabinet) && unpacked < folder.unpackedBytes) return DirectoryResult::Broken;
    }
  }
  return DirectoryResult::Ok;
}

std::string CompressionText(std::uint16_t compression) {
  switch (compression & 0x0F) {
    case None:
      return "Stored";
    case Mszip:
      return "MSZIP";
    case Quantum:
      return "Quantum";
    case Lzx:
      return "LZX:" + std::to_string((compression >> 8) & 0x1F);
    default:
      return "?";
  }
}

}  // namespace cab
