// The directory of a cabinet: header, folders and file records, read without
// decompressing anything (listings, checks, and what libarchive does not tell:
// DOS attributes, compression per folder, compressed sizes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cab {

enum Compression : std::uint16_t { None = 0, Mszip = 1, Quantum = 2, Lzx = 3 };

enum HeaderFlags : std::uint16_t { PreviousCabinet = 0x1, NextCabinet = 0x2, ReservePresent = 0x4 };

struct FolderInfo {
  std::uint32_t dataOffset = 0;  // first CFDATA, from the cabinet start
  std::uint16_t blocks = 0;
  std::uint16_t compression = 0;  // low 4 bits: Compression; LZX window in bits 8-12
  std::uint64_t packedBytes = 0;   // data of its blocks (known after walking them)
  std::uint64_t unpackedBytes = 0;
};

struct FileInfo {
  std::string name;  // bytes as stored; UTF-8 when attributes has 0x80
  std::uint32_t size = 0;
  std::uint32_t folderOffset = 0;
  std::uint16_t folder = 0;  // 0xFFFD-0xFFFF: continued across cabinets
  std::uint16_t date = 0, time = 0, attributes = 0;
};

struct Directory {
  std::uint32_t cabinetSize = 0;
  std::uint16_t flags = 0;
  std::vector<FolderInfo> folders;
  std::vector<FileInfo> files;
};

enum class DirectoryResult { Ok, NotCabinet, Truncated, Broken };

using ReadAt = std::function<std::size_t(std::uint64_t, void*, std::size_t)>;

// Whether a cabinet header starts at offset: signature, reserved fields,
// version 1.x and a plausible size (what the search in a self-extractor
// looks for).
bool LooksLikeHeader(const ReadAt& read, std::uint64_t offset, std::uint64_t fileSize);

// Reads the directory of the cabinet at offset. walkBlocks: also read every
// data block's header to learn the folders' packed sizes and check that the
// blocks lie inside the cabinet.
DirectoryResult ReadDirectory(const ReadAt& read, std::uint64_t offset, std::uint64_t fileSize, bool walkBlocks,
                              Directory& directory);

// "MSZIP", "LZX:21", "Quantum", "Stored".
std::string CompressionText(std::uint16_t compression);

}  // namespace cab
