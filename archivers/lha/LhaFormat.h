// LZH headers: reading levels 0 to 3, writing level 2, finding an archive
// inside a self-extractor, and listing/reading cursors for the core.
#pragma once

#include "archivers/core/ArcCore.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lha {

uint16_t Crc16(const void* data, size_t size, uint16_t crc = 0);

struct Header {
  uint64_t offset = 0;      // where the header starts
  uint64_t dataOffset = 0;  // where the compressed data starts
  uint64_t compressedSize = 0, originalSize = 0;
  std::string method;  // "-lh5-"
  int level = 0;
  uint16_t crc = 0;
  uint8_t osId = 'M';
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  std::wstring name;  // '/' separated
  FILETIME writeTime{}, createTime{}, accessTime{};
  bool isDirectory = false;
  bool isLink = false;     // a Unix symbolic link, stored as "name|target"
  std::wstring linkTarget;

  uint64_t End() const { return dataOffset + compressedSize; }
  arc::EntryInfo Entry() const;
};

enum class Parse { Ok, End, Invalid };
// Reads the header at offset (End: the archive's end mark or the file's end).
Parse ReadHeader(arc::InputFile& file, uint64_t offset, Header& header);
// Where the archive starts: 0 for a plain archive; with searchAll anywhere in
// the file (a self-extractor); -1 when there is none. A candidate counts only
// when the header after it is valid too (or the archive ends there).
int64_t FindArchiveStart(arc::InputFile& file, bool searchAll);

// A level-2 header for a new entry, with Shift-JIS names.
struct NewEntry {
  std::wstring name;  // '/' separated
  std::string method;
  uint64_t compressedSize = 0, originalSize = 0;
  uint16_t crc = 0;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  FILETIME writeTime{}, createTime{}, accessTime{};
  bool isDirectory = false;
};
std::vector<uint8_t> BuildHeader(const NewEntry& entry);  // throws ERROR_LONG_FILE_NAME

// searchAll: look for the archive anywhere in the file, not only at its start
// or inside an executable.
std::unique_ptr<arc::EntryCursor> OpenCursor(const std::wstring& path, bool searchAll = false);
// Reads data through libarchive while the headers come from our own parser.
std::unique_ptr<arc::EntryReader> OpenReader(const std::wstring& path, bool searchAll = false);
// Every header of the archive (for rewriting it); throws on damage.
std::vector<Header> ReadAllHeaders(const std::wstring& path, uint64_t* start = nullptr);

}  // namespace lha
