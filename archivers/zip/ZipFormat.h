// The ZIP container as our Zip command needs it: the central directory of an
// existing archive (entries are copied over raw, so encrypted or foreign
// entries survive an update untouched), and a writer for new entries
// (stored or deflated, optionally with traditional PKWARE encryption).
#pragma once

#include <windows.h>

#include "engine/Handles.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zip {

constexpr uint16_t FlagEncrypted = 0x0001;
constexpr uint16_t FlagDescriptor = 0x0008;
constexpr uint16_t FlagUtf8 = 0x0800;

// Where the writer puts an archive (a plain file, or the core's atomic file).
class Sink {
 public:
  virtual ~Sink() = default;
  virtual bool Write(const void* data, size_t size) = 0;
  virtual bool Seek(uint64_t offset) = 0;
  virtual uint64_t Tell() const = 0;
  virtual bool Truncate() = 0;  // ends the file at the current position
};

// A file opened through its wide name, read and written in large blocks.
class File : public Sink {
 public:
  File() = default;
  bool OpenRead(const std::wstring& path);
  bool Create(const std::wstring& path);
  void Close();
  bool IsOpen() const { return static_cast<bool>(handle_); }
  HANDLE Handle() const { return handle_.get(); }
  uint64_t Size() const;
  bool Seek(uint64_t offset) override;
  uint64_t Tell() const override;
  bool Truncate() override { return SetEndOfFile(handle_.get()) != 0; }
  bool ReadExact(void* data, size_t size);
  size_t ReadSome(void* data, size_t size);  // 0 at end or on error (then Failed())
  bool Failed() const { return failed_; }
  bool Write(const void* data, size_t size) override;

 private:
  TFileHandle handle_;
  bool failed_ = false;
};

struct Entry {
  std::string name;  // bytes as stored
  uint16_t madeBy = 0;
  uint16_t needed = 20;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t size = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  uint64_t localOffset = 0;  // as stored in the directory
  std::string extra;         // central extra fields, zip64 field removed
  std::string comment;
  int64_t modifiedUnix = -1;  // from the extended timestamp field, -1 = none
  std::string unicodeName;    // UTF-8 name of an Info-ZIP unicode path field, when it matches

  bool IsDirectory() const;
  bool IsEncrypted() const { return (flags & FlagEncrypted) != 0; }
  // The name as text: UTF-8 when the flag or a matching unicode path field
  // says so, or when the bytes can only be UTF-8 (what tools on Linux and
  // macOS write without the flag); otherwise the ANSI code page.
  std::wstring WideName() const;
  FILETIME WriteTime() const;
};

struct Directory {
  std::vector<Entry> entries;
  int64_t bias = 0;           // archive bytes start this far into the file (a stub before it)
  uint64_t directoryStart = 0;  // where the central directory really starts in the file
  uint64_t prefixSize = 0;    // bytes before the first entry (a self-extractor stub)
  std::string comment;
};

enum class ReadResult { Ok, NotZip, Broken, CannotRead };

// Reads the central directory of the file; the end record is searched in the
// last 64 KiB plus its own size, so comments and stubs before the archive work.
ReadResult ReadDirectory(File& file, Directory& directory, std::string& message);

// Salvage for damaged archives: walks the local headers from the start of the
// file and collects every entry whose sizes are known there.
ReadResult ScanLocalHeaders(File& file, Directory& directory);

// Size of an entry's local header plus data plus descriptor, starting at
// `offset` in the file (the entry's local header).
bool EntrySpan(File& file, const Entry& entry, uint64_t offset, uint64_t& span);

// Traditional PKWARE encryption (the 12-byte header is the caller's).
class Cipher {
 public:
  explicit Cipher(const std::string& password);
  unsigned char Encrypt(unsigned char plain);
  void Encrypt(unsigned char* data, size_t size);
  void Decrypt(unsigned char* data, size_t size);

 private:
  unsigned char KeyByte() const;
  void Update(unsigned char plain);
  uint32_t keys_[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

// An entry's data made apart from the archive, in memory, to be written later.
struct Packed {
  uint16_t method = 0;
  uint32_t crc = 0;
  uint64_t size = 0;
  std::string data;
};

// Compresses whole files into memory, as Writer::Add would write them without
// a password; keeps its deflate state from file to file. One per thread.
class Packer {
 public:
  enum class Result { Ok, ReadError, Cancelled, TooLarge };
  Packer();
  ~Packer();
  // `limit`: the most input or output kept (TooLarge beyond).
  Result Pack(File& source, int level, uint64_t limit, Packed& packed, const std::function<bool(uint64_t)>& progress);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Writes a new archive sequentially; Finish writes the central directory.
class Writer {
 public:
  using Progress = std::function<bool(uint64_t done)>;  // false = cancel

  explicit Writer(Sink& out);
  ~Writer();
  // Copies an entry of another archive byte for byte (its local header at
  // `offset` in `source`).
  bool CopyRaw(File& source, const Entry& entry, uint64_t offset);
  // Compresses `source` (may be null for a folder) as a new entry. `level` 0
  // stores; data that deflate cannot shrink is stored as well.
  enum class AddResult { Ok, ReadError, WriteError, Cancelled };
  AddResult Add(Entry entry, File* source, int level, const std::string& password, const Progress& progress);
  // An entry whose data a Packer made at `level`: the same bytes Add writes.
  bool AddPacked(Entry entry, const Packed& packed, int level);
  bool Finish(const std::string& comment);
  const std::vector<Entry>& Entries() const { return written_; }

 private:
  bool WriteLocalHeader(const Entry& entry, bool zip64);
  static std::string LocalHeader(const Entry& entry, bool zip64);
  static constexpr uint64_t BufferedEntry = 1 << 20;
  Sink& out_;
  std::vector<Entry> written_;
  struct Buffers;
  std::unique_ptr<Buffers> buffers_;
};

// Strict UTF-8 containing at least one multi-byte character.
bool LooksLikeUtf8(const std::string& text);

// Date and time helpers shared by the commands.
void FileTimeToDos(const FILETIME& time, uint16_t& dosDate, uint16_t& dosTime);
int64_t FileTimeToUnix(const FILETIME& time);
FILETIME UnixToFileTime(int64_t seconds);

}  // namespace zip
