// Pieces shared by CAB32, UNRAR32 and UNARJ32 on top of the core: the words
// after the switches, entry selection by name, readers that filter or adjust
// entries, archives inside self-extractors, and the text listing.
#pragma once

#include "archivers/core/ArcCore.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace family {

// Archive, base or destination folder (a word ending in '\' or '/' right after
// the archive) and the names that follow.
struct Positional {
  std::wstring archive;
  std::wstring folder;
  std::vector<std::wstring> names;
};
// Throws 0x802B when there is no archive name.
Positional SplitPositional(const arc::CommandLine& line);

// Which entries a command works on. Strict: each pattern against the whole
// stored path. Otherwise a pattern without a folder part also matches the
// entry's file name in any folder. No patterns: everything. Settle before
// matching, so that a listed name selects only its own entry.
class Selection {
 public:
  Selection(std::vector<std::wstring> patterns, bool strict);
  bool Matches(const std::wstring& path) const { return patterns_.Matches(path); }
  void Settle(const std::function<std::unique_ptr<arc::EntryCursor>()>& open) { patterns_.Settle(open); }

 private:
  arc::PatternSet patterns_;
};

// A reader that passes on only the entries `keep` accepts; keep may adjust
// the entry (method text, attributes) on the way. readThrough: an entry whose
// data was not read is read to its end before the next one instead of being
// skipped (libarchive's CAB reader loses its place when it skips into another
// folder). atEnd runs when the inner reader ends and may throw.
class AdaptedReader : public arc::EntryReader {
 public:
  AdaptedReader(std::unique_ptr<arc::EntryReader> inner, std::function<bool(arc::EntryInfo&)> keep,
                bool readThrough = false, std::function<void()> atEnd = nullptr);
  bool Next(arc::EntryInfo& entry) override;
  size_t Read(void* buffer, size_t size) override;
  bool BackslashNames() const override { return inner_->BackslashNames(); }

 private:
  std::unique_ptr<arc::EntryReader> inner_;
  std::function<bool(arc::EntryInfo&)> keep_;
  bool readThrough_;
  std::function<void()> atEnd_;
  bool unread_ = false;  // the current entry's data is not finished
};

// Where an archive with this signature starts: at 0, or, in an executable (a
// self-extractor) or when searchAll, at the first place `valid` accepts.
// Returns false when there is none. An executable is searched within its
// first `executableLimit` bytes unless searchAll.
bool FindArchiveStart(const std::wstring& path, std::string_view signature, bool searchAll,
                      const std::function<bool(arc::InputFile&, uint64_t)>& valid, uint64_t& offset,
                      uint64_t executableLimit = 4u << 20);

// ExtractMem: the first name of the line from the archive of the line into
// memory. The line's command word is optional and ignored (a first word
// that is none of `commands` is the archive).
int ExtractMemory(const std::string& text, const std::vector<std::wstring>& commands,
                  const std::function<std::unique_ptr<arc::EntryReader>(const std::wstring&)>& open,
                  arc::MemoryTarget& target);

// Writes a listing of every entry the reader gives into the output.
int ListEntries(arc::EntryCursor& cursor, const Selection& selection, arc::Output& output);

// Reads every entry's data: CheckArchive's full level. False on any error.
bool ReadAllData(arc::EntryReader& reader);

// "hdrcharset=CP932" for the system code page: names stored without a UTF-8
// mark are in it.
std::string AnsiCharsetOption();

}  // namespace family
