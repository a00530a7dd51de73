// A BGA archive as the shared core reads archives: entry by entry, each
// entry's data on demand. Used by BGA32.DLL and by the self-extractors.
#pragma once

#include "archivers/core/ArcCore.h"
#include "archivers/bga/BgaFormat.h"

#include <cstdio>
#include <string>

class TBgaReader : public arc::EntryReader {
 public:
  // Opens a .gza/.bza file, or a program with a BGA archive appended to it.
  // Throws arc::Error: 0x8018 when the file cannot be opened, 0x8019 when it
  // holds no BGA archive.
  explicit TBgaReader(const std::wstring& path);
  ~TBgaReader() override;
  TBgaReader(const TBgaReader&) = delete;
  TBgaReader& operator=(const TBgaReader&) = delete;

  bool Next(arc::EntryInfo& entry) override;  // throws 0x8016 / 0x8042 on a damaged header
  size_t Read(void* buffer, size_t size) override;  // throws 0x800C on damaged data
  bool BackslashNames() const override { return true; }

  const bga::Entry& Current() const { return current_; }
  uint64_t ArchiveStart() const { return start_; }
  uint64_t FileSize() const { return size_; }
  std::FILE* File() const { return file_; }

  // Whether path holds a BGA archive whose first header checks (searching the
  // whole file when searchInside is set).
  static bool Probe(const std::wstring& path, bool searchInside);

 private:
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
  uint64_t start_ = 0;
  uint64_t next_ = 0;
  bga::Entry current_;
  bool hasCurrent_ = false;
  bga::DataReader data_;
  bool dataStarted_ = false;
  bool dataDone_ = false;
};

// Converts an entry of the format to the core's entry description.
arc::EntryInfo ToEntryInfo(const bga::Entry& entry, uint32_t crc);
