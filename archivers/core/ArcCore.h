// Shared core of our archiver libraries. A family library (UNLHA32, TAR32,
// the ZIP trio, ...) is a thin layer over it:
//
//   1. Write handlers: a command handler `int Run(HWND, const std::string& line,
//      arc::Output&)`, a listing opener `std::unique_ptr<arc::EntryCursor>
//      Open(const std::wstring& path, DWORD mode)`, a checker `bool Check(const
//      std::wstring& path, int mode)` and a memory extractor `int Mem(HWND,
//      const std::string& line, arc::MemoryTarget&, arc::Output&)`. They throw
//      arc::Error{code, text} for anything fatal and return 0 or a warning code.
//   2. Export them with the macros at the end of this header, e.g.
//        ARC_EXPORT_COMMAND(Unlha, RunLha)
//        ARC_EXPORT_COMMON(Unlha, 320)             // GetVersion, GetRunning, owner window
//        ARC_EXPORT_LISTING(Unlha, OpenLha, CheckLha)  // Open/Find/Close, times, CheckArchive
//        ARC_EXPORT_EXTRACTMEM(Unlha, MemLha)
//      A library with two command entries (QXZIP32: Unzip and Zip) uses
//      ARC_EXPORT_COMMAND twice; the busy flag and the owner window are shared
//      by the whole library.
//   3. Inside the handlers use the helpers: Tokenize/ParseCommandLine for the
//      command line (quotes, @response files, -gb names), PatternSet for
//      wildcards, SafeDestination for extraction paths, Progress for
//      "wm_arcextract" reports, ExtractEntries for a whole extraction from any
//      EntryReader (LibarchiveReader reads every format libarchive knows),
//      AtomicFile for writing an archive beside the old one and replacing it,
//      ExtractedFile for one extracted file outside ExtractEntries.
//
// Internally every name is UTF-16; ANSI (the system code page, CP932 here)
// appears only at the exported boundary and in archive headers that store it.
#pragma once

#include "archivers/core/ArcApi.h"
#include "engine/Handles.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace arc {

// A failure that ends the command (or a warning the handler chose to raise).
struct Error {
  int code;
  std::wstring text;  // shown in the output buffer after the standard message
};

// The caller's output buffer: collected here, copied out at the end, cut at a
// character boundary and always NUL-terminated.
class Output {
 public:
  void Line(const std::wstring& text) { text_ += text + L"\r\n"; }
  void Message(int code, const std::wstring& detail);  // standard text for code + detail
  const std::wstring& Text() const { return text_; }
  void CopyTo(LPSTR buffer, DWORD size) const;

 private:
  std::wstring text_;
};
std::wstring StandardMessage(int code);

// ---- text and code pages ----
std::wstring FromAnsi(const std::string& text);
std::string ToAnsi(const std::wstring& text);
std::wstring FromCodePage(const std::string& text, UINT codePage);
std::string ToCodePage(const std::wstring& text, UINT codePage, bool* lossy = nullptr);
// Copies text into a fixed field of size bytes: cut before a split double-byte
// character, always NUL-terminated.
void CopyAnsiField(char* field, size_t size, const std::string& text);
std::wstring Lower(std::wstring text);

// ---- command line ----
// Words of a command line: blanks separate, double quotes group (and vanish).
std::vector<std::string> Tokenize(const std::string& line);

struct Word {
  std::wstring text;
  bool listed = false;  // came from a response file or a -gb switch: always a name
};
struct CommandLine {
  std::wstring command;             // first word when it is not a switch ("" otherwise)
  std::vector<std::wstring> switches;  // without the leading '-' ("x1", "jm2", "-use-directory=0")
  std::vector<Word> words;          // archive, base folder, names in order
};
// separateValue: switches that take the next word as their value (TAR32's "f",
// "o"); the value is appended to the switch text ("f" + value). commandWord:
// whether a first word without '-' is a command.
CommandLine ParseCommandLine(const std::string& line, const std::vector<std::wstring>& separateValue = {},
                             bool commandWord = true);
// Names of a response file: one per line, optionally quoted. Throws 0x802A.
std::vector<std::wstring> ReadResponseFile(const std::wstring& path);

// Looks a switch up by the longest known name it starts with; value is the rest.
struct SwitchValue {
  bool present = false;
  std::wstring value;
};
class Switches {
 public:
  Switches(const std::vector<std::wstring>& given, std::vector<std::wstring> known);
  // Last occurrence wins. Numeric: "" counts as 1, "-" as 0, "+" as 1.
  int Number(const std::wstring& name, int absent) const;
  SwitchValue Text(const std::wstring& name) const;
  std::vector<std::wstring> All(const std::wstring& name) const;  // every value, in order
  std::vector<std::wstring> Unknown() const;

 private:
  std::vector<std::pair<std::wstring, std::wstring>> parsed_;
  std::vector<std::wstring> unknown_;
};

// Case-insensitive wildcards ('*', '?') against a whole entry path; '/' and
// '\' are the same; "*" and "*.*" match everything.
bool WildcardMatch(const std::wstring& pattern, const std::wstring& name);
// The name as a record lists it, read back: each character the code page
// lacks has become '?'.
std::wstring ListedName(const std::wstring& name);
// Whether name is what a record lists for entryName (case-blind, '/' = '\').
bool IsListedAs(const std::wstring& name, const std::wstring& entryName);
// A name holding '?' and no '*' may be a listed name sent back, whose '?'
// stand for characters the code page lacks.
bool MayBeListedName(const std::wstring& name);

class EntryCursor;
// A listed name sent back must select the entry it came from and no other,
// yet its '?' would also match every entry differing only there ("a?.txt" for
// "a¥.txt" would take "ab.txt" too). So a name that MayBeListedName and is
// some entry's listed name is taken literally; the archive's listed names are
// learnt (Settle) before matching. '*' is never produced by the conversion:
// "*.txt" is always a wildcard.
class PatternSet {
 public:
  PatternSet() = default;
  // anyFolder: a pattern without a folder part also matches the file name of
  // an entry in any folder.
  explicit PatternSet(std::vector<std::wstring> patterns, bool anyFolder = false);
  static PatternSet FromText(const std::string& ansi);  // several blank-separated patterns
  bool Empty() const { return patterns_.empty(); }
  bool Matches(const std::wstring& path) const;      // empty set matches all
  bool MatchesAny(const std::wstring& path) const;   // empty set matches none
  const std::vector<std::wstring>& Patterns() const { return patterns_; }
  bool NeedsListing() const;
  void Learn(const std::wstring& entryName);  // one entry of the archive
  void Settle(EntryCursor& listing);          // every entry of the archive
  // Opens a listing only when some name needs one.
  void Settle(const std::function<std::unique_ptr<EntryCursor>()>& open);

 private:
  void MarkLiteral(const std::wstring& key, bool nameOnly);
  std::vector<std::wstring> patterns_;
  std::vector<char> literal_;  // per pattern: some entry is listed under it
  bool anyFolder_ = false;
  // A selection of thousands of names is common (all but a few entries), so
  // names without wildcards are looked up by their folded form, not tried
  // one by one against every entry. "Anywhere" keys hold the patterns without
  // a folder, which (with anyFolder) also match an entry's file name.
  std::unordered_set<std::wstring> plain_, plainAnywhere_;
  std::unordered_set<std::wstring> literals_, literalsAnywhere_;
  std::vector<size_t> wildcards_;  // patterns holding '*' or '?', tried in turn
  std::unordered_multimap<std::wstring, size_t> maybeListed_;  // folded key -> pattern
};

// ---- entries ----
struct EntryInfo {
  std::wstring name;  // stored path, '/' separated
  uint64_t originalSize = 0;
  uint64_t compressedSize = 0;
  uint32_t crc = 0;
  UINT osType = OSTYPE_MSDOS;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  std::string method;  // "-lh5-"
  FILETIME writeTime{}, createTime{}, accessTime{};  // UTC; 0 = unknown
  bool isDirectory = false;
  bool isLink = false;      // symbolic or hard link: never extracted as a link
  bool isHardLink = false;  // extracted as a copy of its target when that was extracted
  std::wstring linkTarget;
  int format = 0;  // libarchive's format code when read through it (ARCHIVE_FORMAT_RAW etc.)
};
FILETIME FileTimeFromUnix(int64_t seconds, long nanoseconds = 0);
int64_t UnixFromFileTime(const FILETIME& time);
bool IsZero(const FILETIME& time);
void DosDateTime(const FILETIME& utc, WORD& date, WORD& time);
FILETIME FileTimeFromDos(WORD date, WORD time);  // local DOS time to UTC
std::string AttributeText(DWORD attributes);     // "--A--" (S H A R D)
WORD Ratio(uint64_t original, uint64_t compressed);
void FillRecord(const EntryInfo& entry, INDIVIDUALINFO& record, bool backslashes);

// A listing: one entry at a time.
class EntryCursor {
 public:
  virtual ~EntryCursor() = default;
  virtual bool Next(EntryInfo& entry) = 0;  // false at the end; throws Error
  virtual bool BackslashNames() const { return false; }  // '\' in records instead of '/'
};
// A listing that can also hand out each entry's data (after Next).
class EntryReader : public EntryCursor {
 public:
  // Fills up to size bytes; 0 at the end of the entry's data. Throws Error.
  virtual size_t Read(void* buffer, size_t size) = 0;
};

// libarchive-based reader for everything libarchive reads. offset: where the
// archive starts inside the file (self-extractors); options such as
// "hdrcharset=CP932". Names come with '/' separators, except with
// "hdrcharset=ISO-8859-1": then they come unchanged, one character per byte,
// for the family to decode.
enum class ReadFormats { All, Lha, Tar, Raw };
std::unique_ptr<EntryReader> OpenLibarchive(const std::wstring& path, ReadFormats formats, const char* options = nullptr,
                                            uint64_t offset = 0);

// The same over a stream of bytes (a decompressed stream, say); source returns
// 0 at its end and may throw Error.
std::unique_ptr<EntryReader> OpenLibarchiveStream(std::function<size_t(void*, size_t)> source, ReadFormats formats,
                                                  const char* options = nullptr);

// ---- files and paths ----
bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
bool FolderIsEmpty(const std::wstring& path);  // an existing folder with nothing in it
std::wstring FullPath(const std::wstring& path);
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
std::wstring FolderOf(const std::wstring& path);  // without trailing '\'
std::wstring FileNameOf(const std::wstring& path);
// created (optional) gets each folder made here, outermost first, so that a
// failed entry can take them away again.
bool CreateFolders(const std::wstring& folder, std::vector<std::wstring>* created = nullptr);
// Removes the folders CreateFolders made (innermost first) while they are empty.
void RemoveCreatedFolders(const std::vector<std::wstring>& created);
// The stored name made safe: no "..", ".", drive, root, device names, stream
// colons or characters Windows refuses. Empty when nothing is left.
std::wstring SanitizeEntryPath(const std::wstring& stored);
// Destination of an entry: always inside destination. keepFolders false = flat.
// Throws 0x8049 if the result would leave the folder (cannot happen by design,
// checked all the same).
std::wstring SafeDestination(const std::wstring& destination, const std::wstring& stored, bool keepFolders);
// The same for many entries: the folder is made a full path once.
class DestinationFolder {
 public:
  explicit DestinationFolder(const std::wstring& destination);
  std::wstring Place(const std::wstring& stored, bool keepFolders) const;  // throws 0x8049
  const std::wstring& Root() const { return root_; }

 private:
  std::wstring root_, prefix_;  // prefix_: root_ with one trailing '\'
};

// A file written under a temporary name in its final folder and moved over
// the target only by Commit; dropped (deleted) otherwise.
class AtomicFile {
 public:
  // workFolder: where the file is built (the -w switch); it is copied beside
  // the target before the final rename. Throws 0x8025 when no temporary can be made.
  explicit AtomicFile(const std::wstring& target, const std::wstring& workFolder = L"");
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  void Write(const void* data, size_t size);  // throws 0x8013 / 0x8005
  uint64_t Position() const { return position_; }
  void Seek(uint64_t position);
  HANDLE Handle() const { return file_.get(); }
  const std::wstring& TemporaryPath() const { return temporary_; }
  void Commit(const FILETIME* writeTime = nullptr, DWORD attributes = 0);  // throws 0x8013
  void Close(const FILETIME* writeTime);  // complete, not yet in place; Commit later
  void Drop();

 private:
  std::wstring target_, temporary_;
  bool elsewhere_ = false;
  TFileHandle file_;
  uint64_t position_ = 0;
};

// A file being extracted. A name nothing holds yet is written in place: a
// temporary name and a rename cost milliseconds per file under Wine, which is
// most of the time spent on an archive of many small files. An existing file
// is replaced only at Commit (through an AtomicFile), so it survives any
// failure. Until Commit, Drop and the destructor remove whatever was written.
class ExtractedFile {
 public:
  explicit ExtractedFile(std::wstring target) : target_(std::move(target)) {}  // a full path
  ~ExtractedFile() { Drop(); }
  ExtractedFile(const ExtractedFile&) = delete;
  ExtractedFile& operator=(const ExtractedFile&) = delete;
  // Creates the target when nothing of that name exists. Otherwise returns the
  // Windows error (ERROR_FILE_EXISTS, ERROR_PATH_NOT_FOUND, ...) and writes nothing.
  DWORD CreateNew();
  // For an existing target: writes beside it. Throws 0x8025.
  void CreateReplacement();
  void Write(const void* data, size_t size);  // throws 0x8013 / 0x8005
  void Close(const FILETIME* writeTime);      // complete, put in place by Commit
  void Commit(const FILETIME* writeTime = nullptr, DWORD attributes = 0);  // throws 0x8013
  void Drop();
  const std::wstring& Target() const { return target_; }

 private:
  std::wstring target_;
  std::unique_ptr<AtomicFile> replacement_;
  TFileHandle file_;
  bool created_ = false;  // target_ was made here and goes again unless committed
};

// Input file with buffered reading, used by our own format readers.
class InputFile {
 public:
  explicit InputFile(const std::wstring& path);  // throws 0x8018 / 0x8029
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  uint64_t Size() const { return size_; }
  // Returns the bytes read, fewer only at the end of the file. Small reads
  // come from a block read ahead: format readers ask for headers a few bytes
  // at a time, and every call to the system costs more than copying a block.
  size_t ReadAt(uint64_t offset, void* buffer, size_t size);
  HANDLE Handle() const { return file_.get(); }

 private:
  size_t ReadDirect(uint64_t offset, void* buffer, size_t size);
  TFileHandle file_;
  uint64_t size_ = 0;
  std::vector<char> ahead_;
  uint64_t aheadOffset_ = 0;
  size_t aheadSize_ = 0;
};

// ---- files to add ----
// A file found for adding. relative: its path relative to the base folder as
// the name was given ("sub\\a.txt"), or the full path when it lies elsewhere.
struct FoundFile {
  std::wstring fullPath;
  std::wstring relative;
  bool isDirectory = false;
  DWORD attributes = 0;
  uint64_t size = 0;
  FILETIME writeTime{}, createTime{}, accessTime{};
};
struct CollectOptions {
  int recursion = 0;            // 0 none, 1 wildcards search sub-folders, 2 also named folders whole
  bool fullPathMatch = false;   // with recursion 1: plain names are not searched in sub-folders
  bool includeHidden = false;   // hidden and system files too
  bool shortNames = false;      // 8.3 names where a file has one
  bool folders = false;         // also report the folders passed on the way (ZIP folder entries)
  bool namedFolders = false;    // a folder named on its own is reported as a folder
  std::vector<std::wstring>* unmatched = nullptr;  // receives the plain names that found nothing
  int64_t notBefore = 0, notAfter = 0;  // local-time bounds as Unix-like seconds, 0 = none
  PatternSet exclusions;        // against the relative path and the file name, case-blind
};
// The names are paths or wildcards, absolute or relative to base. An empty list
// means every file of the base folder. Each file appears once.
std::vector<FoundFile> CollectFiles(const std::wstring& base, const std::vector<std::wstring>& names,
                                    const CollectOptions& options);
// "YYMMDD[hhmmss]" or "YYYYMMDD[hhmmss]" (an "l" in front is dropped) to
// local seconds; 0 for any other length. Throws 0x8024 on a bad date.
int64_t ParseDateBound(const std::wstring& text, bool endOfDay);
int64_t LocalSeconds(const FILETIME& utc);

// ---- progress ----
// The owner window (and callback) registered with SetOwnerWindowEx.
HWND OwnerWindow();
// Reports to the owner window; each report returns false when the owner asked
// to stop. Without an owner every report is accepted silently.
class Progress {
 public:
  explicit Progress(const std::wstring& archive);
  bool Open();
  bool Begin(const EntryInfo& entry, const std::wstring& destination);
  bool Advance(uint64_t written);  // sends at most every 64 KiB
  bool Finish();                   // INPROCESS with the final count
  void End();
  uint64_t Written() const { return written_; }

 private:
  bool Send(UINT state);
  EXTRACTINGINFOEX info_{};
  std::wstring archive_;
  uint64_t written_ = 0, reported_ = 0;
};

// ---- extraction ----
struct ExtractOptions {
  std::wstring destination;  // folder; created when missing
  PatternSet patterns;       // empty = everything
  PatternSet exclusions;
  bool keepFolders = true;
  bool overwrite = false;  // otherwise only entries newer than the file on disk
  bool testOnly = false;   // read and verify every entry, write nothing
  bool commitAtEnd = false;  // files appear only after the whole archive read without error
  bool allOrNothing = false;  // with commitAtEnd: any failed entry drops the files no CRC confirmed (empty ones)
  bool namesGiven = false;  // the caller named entries: none found is an error (0x8031)
};
// Whether a command's names select something narrower than "everything".
bool NamesSelect(const std::vector<std::wstring>& names);
struct ExtractResult {
  int code = 0;  // 0 or the first warning
  int extracted = 0;
  int skipped = 0;
};
// Extracts every selected entry of reader; throws Error on fatal errors (after
// removing a partly written file). Warnings go to output and into the result.
ExtractResult ExtractEntries(EntryReader& reader, const std::wstring& archive, const ExtractOptions& options,
                             Output& output);

// The memory extraction target of ExtractMem.
struct MemoryTarget {
  BYTE* buffer;
  DWORD size;
  time_t* time;
  WORD* attributes;
  DWORD* written;
};
// Finds the first entry matching name and copies its data; 0x801D when the
// entry is larger than the buffer (the buffer holds its beginning).
int ExtractToMemory(EntryReader& reader, const std::wstring& name, MemoryTarget& target);

// ---- glue behind the exported entries ----
using CommandHandler = int (*)(HWND, const std::string&, Output&);
using ListingOpener = std::unique_ptr<EntryCursor> (*)(const std::wstring&, DWORD);
using ArchiveChecker = bool (*)(const std::wstring&, int);
using MemoryHandler = int (*)(HWND, const std::string&, MemoryTarget&, Output&);

int RunCommand(CommandHandler handler, HWND window, LPCSTR line, LPSTR output, DWORD size);
BOOL IsRunning();
BOOL SetOwner(HWND window, LPARCHIVERPROC proc);
BOOL KillOwner(HWND window);
HARC OpenListing(ListingOpener opener, HWND window, LPCSTR path, DWORD mode);
int CloseListing(HARC handle);
int FindFirstEntry(HARC handle, LPCSTR wildcard, INDIVIDUALINFO* record);
int FindNextEntry(HARC handle, INDIVIDUALINFO* record);
BOOL EntryTime(HARC handle, int which, FILETIME* time);
BOOL CheckArchive(ArchiveChecker checker, LPCSTR path, int mode);
int RunExtractMem(MemoryHandler handler, HWND window, LPCSTR line, LPBYTE buffer, DWORD size, time_t* time,
                  LPWORD attributes, LPDWORD written);

}  // namespace arc

#define ARC_EXPORT extern "C" __declspec(dllexport)
#define ARC_CAT2(a, b) a##b
#define ARC_CAT(a, b) ARC_CAT2(a, b)

#define ARC_EXPORT_COMMAND(Name, handler)                                 \
  ARC_EXPORT int WINAPI Name(HWND window, LPCSTR line, LPSTR out, DWORD size) { \
    return arc::RunCommand(handler, window, line, out, size);             \
  }

#define ARC_EXPORT_COMMON(Prefix, version)                                                      \
  ARC_EXPORT WORD WINAPI ARC_CAT(Prefix, GetVersion)() { return version; }                     \
  ARC_EXPORT BOOL WINAPI ARC_CAT(Prefix, GetRunning)() { return arc::IsRunning(); }            \
  ARC_EXPORT BOOL WINAPI ARC_CAT(Prefix, SetOwnerWindowEx)(HWND window, LPARCHIVERPROC proc) { \
    return arc::SetOwner(window, proc);                                                        \
  }                                                                                            \
  ARC_EXPORT BOOL WINAPI ARC_CAT(Prefix, KillOwnerWindowEx)(HWND window) { return arc::KillOwner(window); }

#define ARC_EXPORT_LISTING(Prefix, opener, checker)                                                       \
  ARC_EXPORT HARC WINAPI ARC_CAT(Prefix, OpenArchive)(HWND window, LPCSTR path, DWORD mode) {             \
    return arc::OpenListing(opener, window, path, mode);                                                   \
  }                                                                                                       \
  ARC_EXPORT int WINAPI ARC_CAT(Prefix, CloseArchive)(HARC handle) { return arc::CloseListing(handle); }   \
  ARC_EXPORT int WINAPI ARC_CAT(Prefix, FindFirst)(HARC handle, LPCSTR wildcard, LPINDIVIDUALINFO info) { \
    return arc::FindFirstEntry(handle, wildcard, info);                                                        \
  }                                                                                                       \
  ARC_EXPORT int WINAPI ARC_CAT(Prefix, FindNext)(HARC handle, LPINDIVIDUALINFO info) {                   \
    return arc::FindNextEntry(handle, info);                                                                   \
  }                                                                                                       \
  ARC_EXPORT BOOL WINAPI ARC_CAT(Prefix, GetWriteTimeEx)(HARC handle, FILETIME * time) {                  \
    return arc::EntryTime(handle, 0, time);                                                               \
  }                                                                                                       \
  ARC_EXPORT BOOL WINAPI ARC_CAT(Prefix, GetCreateTimeEx)(HARC handle, FILETIME * time) {                 \
    return arc::EntryTime(handle, 1, time);                                                               \
  }                                                                                                       \
  ARC_EXPORT BOOL WINAPI ARC_CAT(Prefix, GetAccessTimeEx)(HARC handle, FILETIME * time) {                 \
    return arc::EntryTime(handle, 2, time);                                                               \
  }                                                                                                       \
  ARC_EXPORT BOOL WINAPI ARC_CAT(Prefix, CheckArchive)(LPCSTR path, int mode) {                           \
    return arc::CheckArchive(checker, path, mode);                                                        \
  }

#define ARC_EXPORT_EXTRACTMEM(Prefix, handler)                                                          \
  ARC_EXPORT int WINAPI ARC_CAT(Prefix, ExtractMem)(HWND window, LPCSTR line, LPBYTE buffer, DWORD size, \
                                                    time_t * time, LPWORD attributes, LPDWORD written) { \
    return arc::RunExtractMem(handler, window, line, buffer, size, time, attributes, written);          \
  }
