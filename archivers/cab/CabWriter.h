// Writes a cabinet with one MSZIP folder. Plain code (zlib only), so the
// tests call it directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cab {

// Attribute bit of a name stored in UTF-8.
constexpr std::uint16_t AttributeNameIsUtf8 = 0x80;
// Largest uncompressed block of a CFDATA record.
constexpr std::size_t BlockSize = 32768;
// The format counts files in 16 bits; the top values mean "continued".
constexpr std::size_t MaxFiles = 0xFFEF;
// A folder's uncompressed data must stay below this (offsets are 32-bit).
constexpr std::uint64_t MaxFolderSize = 0x7FFF8000;

struct FileToWrite {
  std::string name;            // stored name, folders separated by '\'
  std::uint32_t size = 0;      // bytes the reader will deliver
  std::uint16_t dosDate = 0;
  std::uint16_t dosTime = 0;
  std::uint16_t attributes = 0;  // DOS attributes, plus AttributeNameIsUtf8
  // Reads the next bytes of the file: the number read, 0 at the end, or
  // SIZE_MAX on a read error.
  std::function<std::size_t(void*, std::size_t)> read;
};

struct Output {
  virtual ~Output() = default;
  virtual bool Write(const void* data, std::size_t size) = 0;
  virtual bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) = 0;
};

enum class WriteResult {
  Ok,
  TooManyFiles,
  TooBig,
  ReadError,   // failedFile says which
  SizeChanged, // a file delivered more or fewer bytes than announced
  WriteError,
  Cancelled,
};

// Progress after each block: (file index, bytes of that file consumed so far).
// Returning false cancels.
using Progress = std::function<bool(std::size_t, std::uint64_t)>;

// Writes header, folder, file records and the data blocks. `level` is the
// zlib level (0-9). On failure `failedFile` names the file at fault.
WriteResult WriteCabinet(std::vector<FileToWrite>& files, Output& out, int level, const Progress& progress,
                         std::size_t& failedFile);

// The cabinet checksum of a data block (seeded with 0 for the data, then
// over the two size fields).
std::uint32_t Checksum(const void* data, std::size_t size, std::uint32_t seed);

}  // namespace cab
