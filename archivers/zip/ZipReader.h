// Reading ZIP archives for listing and extraction. Stored and deflated
// entries, plain or with traditional encryption, are read here straight from
// the central directory (it carries the CRC, sizes and method the records
// show); archives with other methods go through libarchive.
#pragma once

#include "../core/ArcCore.h"
#include "archivers/zip/ZipFormat.h"

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace zip {

// Info-ZIP style wildcards against a whole entry path, case-insensitive:
// '*' (also across folders), '?', '[set]', '[!set]'; "[[]" is a literal '['.
// '\' and '/' are the same; a last part "*.*" matches names without a dot too.
bool ZipWildcard(const std::wstring& pattern, const std::wstring& name);

// A '/'-separated pattern with its bracket escapes removed: the literal path
// it names ("sub/[[]x].txt" -> "sub/[x].txt"). Real sets stay as written.
std::wstring Unescape(const std::wstring& pattern);
bool HasWildcard(const std::wstring& pattern);

// The entry as the records show it.
arc::EntryInfo Describe(const Entry& entry);

// Opens the central directory (salvage: walk local headers when it is
// damaged). Throws arc::Error with the family's codes.
void LoadDirectory(File& file, const std::wstring& path, Directory& directory, bool salvage);

class ZipReader : public arc::EntryReader {
 public:
  ZipReader(const std::wstring& path, std::string password, bool salvage = false);
  ~ZipReader() override;
  bool Next(arc::EntryInfo& entry) override;
  size_t Read(void* buffer, size_t size) override;
  const Directory& Contents() const { return directory_; }
  // Whether every entry can be read here (otherwise use libarchive).
  bool Supported() const;
  // Whether every entry's local header is where the directory says.
  bool HeadersPresent();

 private:
  void StartData();
  // Reads at position_ through a read-ahead block: the headers and data of
  // small entries come from one read instead of a seek and a read each.
  bool Fetch(void* data, size_t size);
  File file_;
  Directory directory_;
  std::string password_;
  size_t next_ = 0;
  const Entry* current_ = nullptr;
  bool started_ = false, finished_ = false;
  uint64_t remaining_ = 0, produced_ = 0;
  uint32_t crc_ = 0;
  std::unique_ptr<Cipher> cipher_;
  struct Inflater;
  std::unique_ptr<Inflater> inflater_;
  std::vector<unsigned char> input_;
  uint64_t position_ = 0, aheadStart_ = 0;
  std::vector<unsigned char> ahead_;
};

// Patterns as ZipWildcard reads them, except that a name which may be a
// listed name (arc::MayBeListedName once unescaped) and is the listed name of
// an entry of the directory selects only the entries listed under it.
class ZipPatterns {
 public:
  ZipPatterns(std::vector<std::wstring> patterns, const Directory& directory);
  bool Empty() const { return patterns_.empty(); }
  bool Matches(const std::wstring& name) const;  // one of the patterns

 private:
  std::vector<std::wstring> patterns_;
  // A selection of thousands of names is common (all but a few entries), so
  // names without wildcards are looked up by their folded form; only real
  // wildcards are tried one by one.
  std::unordered_set<std::wstring> plain_;     // folded names without wildcards
  std::unordered_set<std::wstring> literals_;  // listed names of entries, folded
  std::vector<size_t> wildcards_;
};

// Lets through only entries whose names match one of the patterns (all when
// there are none).
class FilteredReader : public arc::EntryReader {
 public:
  FilteredReader(std::unique_ptr<arc::EntryReader> inner, ZipPatterns patterns)
      : inner_(std::move(inner)), patterns_(std::move(patterns)) {}
  bool Next(arc::EntryInfo& entry) override;
  size_t Read(void* buffer, size_t size) override { return inner_->Read(buffer, size); }

 private:
  std::unique_ptr<arc::EntryReader> inner_;
  ZipPatterns patterns_;
};

// Reader for extraction: ours when it can, libarchive otherwise.
std::unique_ptr<arc::EntryReader> OpenForExtraction(const std::wstring& path, const std::string& password,
                                                    std::vector<std::wstring> patterns);

}  // namespace zip
