#include "archivers/zip/ZipFormat.h"

#include <bcrypt.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace zip {
namespace {

constexpr uint32_t SigLocal = 0x04034b50;
constexpr uint32_t SigCentral = 0x02014b50;
constexpr uint32_t SigEnd = 0x06054b50;
constexpr uint32_t SigEnd64 = 0x06064b50;
constexpr uint32_t SigLocator64 = 0x07064b50;
constexpr uint32_t SigDescriptor = 0x08074b50;
constexpr uint64_t Max32 = 0xFFFFFFFFull;
constexpr size_t BlockSize = 256 * 1024;
constexpr size_t ProgressBlock = 64 * 1024;  // input per progress report
constexpr int64_t UnixEpochAsFileTime = 116444736000000000LL;

uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const unsigned char* p) { return Get16(p) | static_cast<uint32_t>(Get16(p + 2)) << 16; }
uint64_t Get64(const unsigned char* p) { return Get32(p) | static_cast<uint64_t>(Get32(p + 4)) << 32; }

void Put16(std::string& s, uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, static_cast<uint16_t>(v));
  Put16(s, static_cast<uint16_t>(v >> 16));
}
void Put64(std::string& s, uint64_t v) {
  Put32(s, static_cast<uint32_t>(v));
  Put32(s, static_cast<uint32_t>(v >> 32));
}

uint32_t Clamp32(uint64_t v) { return v >= Max32 ? 0xFFFFFFFFu : static_cast<uint32_t>(v); }

// Splits extra fields, applies what we understand to the entry and returns
// the rest (a zip64 field is rebuilt on writing, so it is dropped here).
std::string ParseExtra(Entry& entry, const unsigned char* p, size_t size, bool central) {
  std::string rest;
  size_t i = 0;
  while (i + 4 <= size) {
    uint16_t id = Get16(p + i);
    uint16_t length = Get16(p + i + 2);
    if (i + 4 + length > size) break;
    const unsigned char* data = p + i + 4;
    if (id == 0x0001) {
      size_t k = 0;
      if (entry.size == Max32 && k + 8 <= length) entry.size = Get64(data + k), k += 8;
      if (entry.compressedSize == Max32 && k + 8 <= length) entry.compressedSize = Get64(data + k), k += 8;
      if (central && entry.localOffset == Max32 && k + 8 <= length) entry.localOffset = Get64(data + k), k += 8;
    } else {
      if (id == 0x5455 && length >= 5 && (data[0] & 1)) {
        entry.modifiedUnix = static_cast<int32_t>(Get32(data + 1));
      } else if (id == 0x7075 && length >= 5 && data[0] == 1) {
        uint32_t nameCrc = Get32(data + 1);
        uLong actual = crc32(0, reinterpret_cast<const Bytef*>(entry.name.data()), static_cast<uInt>(entry.name.size()));
        if (actual == nameCrc) entry.unicodeName.assign(reinterpret_cast<const char*>(data + 5), length - 5);
      }
      rest.append(reinterpret_cast<const char*>(p + i), 4 + length);
    }
    i += 4 + length;
  }
  return rest;
}

std::wstring ToWide(const std::string& text, UINT codePage) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string CentralRecord(const Entry& e) {
  std::string zip64;
  if (e.size >= Max32) Put64(zip64, e.size);
  if (e.compressedSize >= Max32) Put64(zip64, e.compressedSize);
  if (e.localOffset >= Max32) Put64(zip64, e.localOffset);
  std::string extra;
  if (!zip64.empty()) {
    Put16(extra, 0x0001);
    Put16(extra, static_cast<uint16_t>(zip64.size()));
    extra += zip64;
  }
  extra += e.extra;
  std::string r;
  Put32(r, SigCentral);
  Put16(r, e.madeBy);
  Put16(r, zip64.empty() ? e.needed : std::max<uint16_t>(e.needed, 45));
  Put16(r, e.flags);
  Put16(r, e.method);
  Put16(r, e.dosTime);
  Put16(r, e.dosDate);
  Put32(r, e.crc);
  Put32(r, Clamp32(e.compressedSize));
  Put32(r, Clamp32(e.size));
  Put16(r, static_cast<uint16_t>(e.name.size()));
  Put16(r, static_cast<uint16_t>(extra.size()));
  Put16(r, static_cast<uint16_t>(e.comment.size()));
  Put16(r, 0);
  Put16(r, e.internalAttributes);
  Put32(r, e.externalAttributes);
  Put32(r, Clamp32(e.localOffset));
  r += e.name;
  r += extra;
  r += e.comment;
  return r;
}

}  // namespace

Cipher::Cipher(const std::string& password) {
  for (unsigned char c : password) Update(c);
}

unsigned char Cipher::Encrypt(unsigned char plain) {
  unsigned char cipher = static_cast<unsigned char>(plain ^ KeyByte());
  Update(plain);
  return cipher;
}

void Cipher::Encrypt(unsigned char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) data[i] = Encrypt(data[i]);
}

void Cipher::Decrypt(unsigned char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    data[i] = static_cast<unsigned char>(data[i] ^ KeyByte());
    Update(data[i]);
  }
}

unsigned char Cipher::KeyByte() const {
  unsigned temp = (keys_[2] | 2) & 0xFFFF;
  return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
}

void Cipher::Update(unsigned char c) {
  static const z_crc_t* table = get_crc_table();
  keys_[0] = table[(keys_[0] ^ c) & 0xFF] ^ (keys_[0] >> 8);
  keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
  keys_[2] = table[(keys_[2] ^ (keys_[1] >> 24)) & 0xFF] ^ (keys_[2] >> 8);
}

bool File::OpenRead(const std::wstring& path) {
  handle_.reset();  // the old file closes before the new one is opened
  handle_.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  return IsOpen();
}

bool File::Create(const std::wstring& path) {
  handle_.reset();  // the old file closes before the new one is created
  handle_.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  return IsOpen();
}

void File::Close() { handle_.reset(); }

uint64_t File::Size() const {
  LARGE_INTEGER size{};
  GetFileSizeEx(handle_.get(), &size);
  return static_cast<uint64_t>(size.QuadPart);
}

bool File::Seek(uint64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(handle_.get(), to, nullptr, FILE_BEGIN) != 0;
}

uint64_t File::Tell() const {
  LARGE_INTEGER zero{}, now{};
  SetFilePointerEx(handle_.get(), zero, &now, FILE_CURRENT);
  return static_cast<uint64_t>(now.QuadPart);
}

size_t File::ReadSome(void* data, size_t size) {
  DWORD got = 0;
  if (!ReadFile(handle_.get(), data, static_cast<DWORD>(size), &got, nullptr)) {
    failed_ = true;
    return 0;
  }
  return got;
}

bool File::ReadExact(void* data, size_t size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    size_t got = ReadSome(p, std::min(size, BlockSize * 4));
    if (got == 0) return false;
    p += got;
    size -= got;
  }
  return true;
}

bool File::Write(const void* data, size_t size) {
  auto* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = static_cast<DWORD>(std::min(size, BlockSize * 4)), done = 0;
    if (!WriteFile(handle_.get(), p, chunk, &done, nullptr) || done != chunk) return false;
    p += done;
    size -= done;
  }
  return true;
}

bool Entry::IsDirectory() const {
  return (!name.empty() && name.back() == '/') || (externalAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Strict UTF-8 with at least one multi-byte character. CP932 names almost
// never pass: most of their lead bytes (0x81-0x9F) are UTF-8 continuation bytes.
bool LooksLikeUtf8(const std::string& text) {
  bool multiByte = false;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80 ? 1 : (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3
                                : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    if (length == 3 && ((c == 0xE0 && static_cast<unsigned char>(text[i + 1]) < 0xA0) ||
                        (c == 0xED && static_cast<unsigned char>(text[i + 1]) >= 0xA0)))
      return false;  // overlong form or surrogate
    if (length == 4 && ((c == 0xF0 && static_cast<unsigned char>(text[i + 1]) < 0x90) ||
                        (c == 0xF4 && static_cast<unsigned char>(text[i + 1]) >= 0x90)))
      return false;
    multiByte |= length > 1;
    i += length;
  }
  return multiByte;
}

std::wstring Entry::WideName() const {
  if (!unicodeName.empty()) return ToWide(unicodeName, CP_UTF8);
  return ToWide(name, (flags & FlagUtf8) || LooksLikeUtf8(name) ? CP_UTF8 : CP_ACP);
}

FILETIME Entry::WriteTime() const {
  if (modifiedUnix >= 0) return UnixToFileTime(modifiedUnix);
  FILETIME local{}, utc{};
  DosDateTimeToFileTime(dosDate, dosTime, &local);
  LocalFileTimeToFileTime(&local, &utc);
  return utc;
}

void FileTimeToDos(const FILETIME& time, uint16_t& dosDate, uint16_t& dosTime) {
  FILETIME local{};
  WORD d = 0x21, t = 0;  // 1980-01-01 for times a DOS date cannot hold
  if (FileTimeToLocalFileTime(&time, &local) && FileTimeToDosDateTime(&local, &d, &t)) {
    dosDate = d;
    dosTime = t;
  } else {
    dosDate = 0x21;
    dosTime = 0;
  }
}

int64_t FileTimeToUnix(const FILETIME& time) {
  int64_t ticks = static_cast<int64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
  return (ticks - UnixEpochAsFileTime) / 10000000;
}

FILETIME UnixToFileTime(int64_t seconds) {
  int64_t ticks = seconds * 10000000 + UnixEpochAsFileTime;
  FILETIME t;
  t.dwLowDateTime = static_cast<DWORD>(ticks);
  t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return t;
}

ReadResult ReadDirectory(File& file, Directory& directory, std::string& message) {
  directory = Directory{};
  uint64_t fileSize = file.Size();
  if (fileSize < 22) return ReadResult::NotZip;
  size_t tailSize = static_cast<size_t>(std::min<uint64_t>(fileSize, 0xFFFF + 22));
  std::string tail(tailSize, '\0');
  if (!file.Seek(fileSize - tailSize) || !file.ReadExact(tail.data(), tailSize)) return ReadResult::CannotRead;
  auto* t = reinterpret_cast<const unsigned char*>(tail.data());
  size_t pos = std::string::npos;
  for (size_t i = tailSize - 22 + 1; i-- > 0;) {
    if (Get32(t + i) == SigEnd && i + 22 + Get16(t + i + 20) <= tailSize) {
      pos = i;
      break;
    }
  }
  if (pos == std::string::npos) return ReadResult::NotZip;
  uint64_t endPos = fileSize - tailSize + pos;
  uint64_t count = Get16(t + pos + 10);
  uint64_t cdSize = Get32(t + pos + 12);
  uint64_t cdOffset = Get32(t + pos + 16);
  directory.comment.assign(tail, pos + 22, Get16(t + pos + 20));
  uint64_t recordPos = endPos;
  if ((count == 0xFFFF || cdSize == Max32 || cdOffset == Max32) && endPos >= 20 + 56) {
    unsigned char locator[20], end64[56];
    if (file.Seek(endPos - 20) && file.ReadExact(locator, 20) && Get32(locator) == SigLocator64) {
      // Normally right before the locator; otherwise where the locator says.
      uint64_t candidates[] = {endPos - 20 - 56, Get64(locator + 8)};
      for (uint64_t at : candidates) {
        if (at + 56 <= endPos && file.Seek(at) && file.ReadExact(end64, 56) && Get32(end64) == SigEnd64) {
          count = Get64(end64 + 32);
          cdSize = Get64(end64 + 40);
          cdOffset = Get64(end64 + 48);
          recordPos = at;
          break;
        }
      }
    }
  }
  if (cdSize > recordPos) {
    message = "central directory larger than the file";
    return ReadResult::Broken;
  }
  uint64_t cdStart = recordPos - cdSize;
  directory.bias = static_cast<int64_t>(cdStart) - static_cast<int64_t>(cdOffset);
  directory.directoryStart = cdStart;
  if (cdSize > 0x7FFFFFFF) return ReadResult::Broken;
  std::string cd(static_cast<size_t>(cdSize), '\0');
  if (!file.Seek(cdStart) || !file.ReadExact(cd.data(), cd.size())) return ReadResult::CannotRead;
  auto* p = reinterpret_cast<const unsigned char*>(cd.data());
  size_t i = 0;
  directory.entries.reserve(static_cast<size_t>(std::min<uint64_t>(count, cd.size() / 46)));
  uint64_t firstLocal = cdStart;
  while (i + 46 <= cd.size() && Get32(p + i) == SigCentral) {
    Entry e;
    e.madeBy = Get16(p + i + 4);
    e.needed = Get16(p + i + 6);
    e.flags = Get16(p + i + 8);
    e.method = Get16(p + i + 10);
    e.dosTime = Get16(p + i + 12);
    e.dosDate = Get16(p + i + 14);
    e.crc = Get32(p + i + 16);
    e.compressedSize = Get32(p + i + 20);
    e.size = Get32(p + i + 24);
    size_t nameLength = Get16(p + i + 28), extraLength = Get16(p + i + 30), commentLength = Get16(p + i + 32);
    e.internalAttributes = Get16(p + i + 36);
    e.externalAttributes = Get32(p + i + 38);
    e.localOffset = Get32(p + i + 42);
    size_t next = i + 46 + nameLength + extraLength + commentLength;
    if (next > cd.size()) break;
    e.name.assign(cd, i + 46, nameLength);
    e.extra = ParseExtra(e, p + i + 46 + nameLength, extraLength, true);
    e.comment.assign(cd, i + 46 + nameLength + extraLength, commentLength);
    int64_t actual = static_cast<int64_t>(e.localOffset) + directory.bias;
    if (actual < 0 || static_cast<uint64_t>(actual) + 30 > cdStart) {
      message = "entry offset outside the archive";
      return ReadResult::Broken;
    }
    firstLocal = std::min<uint64_t>(firstLocal, static_cast<uint64_t>(actual));
    directory.entries.push_back(std::move(e));
    i = next;
  }
  // Some writers keep only the low 16 bits of a large count.
  if (i != cd.size() || (directory.entries.size() & 0xFFFF) != (count & 0xFFFF)) {
    // A directory that does not parse to its end, or disagrees with the
    // count, is damaged: better to say so than to drop entries silently.
    message = "central directory damaged";
    return ReadResult::Broken;
  }
  // Entries that share their bytes (many pointing at one local header) would
  // extract the same data again and again: a crafted archive, not a damaged one.
  std::vector<std::pair<uint64_t, uint64_t>> spans;
  spans.reserve(directory.entries.size());
  for (const auto& e : directory.entries) {
    uint64_t at = static_cast<uint64_t>(static_cast<int64_t>(e.localOffset) + directory.bias);
    spans.push_back({at, at + 30 + std::min<uint64_t>(e.compressedSize, cdStart)});
  }
  std::sort(spans.begin(), spans.end());
  for (size_t k = 1; k < spans.size(); ++k) {
    if (spans[k].first < spans[k - 1].second) {
      message = "entries overlap";
      return ReadResult::Broken;
    }
  }
  directory.prefixSize = directory.entries.empty() ? std::max<int64_t>(directory.bias, 0) : firstLocal;
  return ReadResult::Ok;
}

ReadResult ScanLocalHeaders(File& file, Directory& directory) {
  directory = Directory{};
  uint64_t fileSize = file.Size();
  uint64_t pos = 0;
  // Find the first local header (a stub may precede it).
  {
    std::string block(1 << 20, '\0');
    bool found = false;
    while (pos < fileSize && !found) {
      if (!file.Seek(pos)) return ReadResult::CannotRead;
      size_t got = file.ReadSome(block.data(), block.size());
      if (got < 4) break;
      for (size_t k = 0; k + 4 <= got; ++k) {
        if (Get32(reinterpret_cast<const unsigned char*>(block.data()) + k) == SigLocal) {
          pos += k;
          found = true;
          break;
        }
      }
      if (!found) pos += got - 3;
    }
    if (!found) return ReadResult::NotZip;
  }
  directory.prefixSize = pos;
  while (pos + 30 <= fileSize) {
    unsigned char h[30];
    if (!file.Seek(pos) || !file.ReadExact(h, 30) || Get32(h) != SigLocal) break;
    Entry e;
    e.needed = Get16(h + 4);
    e.flags = Get16(h + 6);
    e.method = Get16(h + 8);
    e.dosTime = Get16(h + 10);
    e.dosDate = Get16(h + 12);
    e.crc = Get32(h + 14);
    e.compressedSize = Get32(h + 18);
    e.size = Get32(h + 22);
    size_t nameLength = Get16(h + 26), extraLength = Get16(h + 28);
    std::string nameExtra(nameLength + extraLength, '\0');
    if (!file.ReadExact(nameExtra.data(), nameExtra.size())) break;
    e.name = nameExtra.substr(0, nameLength);
    e.extra = ParseExtra(e, reinterpret_cast<const unsigned char*>(nameExtra.data()) + nameLength, extraLength, false);
    if (e.flags & FlagDescriptor) break;  // sizes unknown here: stop at what is safe
    e.localOffset = pos;
    if (e.IsDirectory()) e.externalAttributes = FILE_ATTRIBUTE_DIRECTORY;
    uint64_t span = 30 + nameExtra.size() + e.compressedSize;
    if (pos + span > fileSize) break;
    directory.entries.push_back(std::move(e));
    pos += span;
  }
  directory.directoryStart = pos;
  return directory.entries.empty() ? ReadResult::Broken : ReadResult::Ok;
}

bool EntrySpan(File& file, const Entry& entry, uint64_t offset, uint64_t& span) {
  unsigned char h[30];
  if (!file.Seek(offset) || !file.ReadExact(h, 30) || Get32(h) != SigLocal) return false;
  uint64_t dataStart = 30 + Get16(h + 26) + Get16(h + 28);
  span = dataStart + entry.compressedSize;
  if (entry.flags & FlagDescriptor) {
    bool zip64 = entry.size >= Max32 || entry.compressedSize >= Max32;
    unsigned char sig[4];
    if (!file.Seek(offset + span) || !file.ReadExact(sig, 4)) return false;
    span += (Get32(sig) == SigDescriptor ? 4 : 0) + 4 + (zip64 ? 16 : 8);
  }
  return offset + span <= file.Size();
}

bool Writer::CopyRaw(File& source, const Entry& entry, uint64_t offset) {
  uint64_t span = 0;
  if (!EntrySpan(source, entry, offset, span) || !source.Seek(offset)) return false;
  Entry copy = entry;
  copy.localOffset = out_.Tell();
  std::unique_ptr<char[]> buffer(new char[BlockSize * 4]);
  while (span > 0) {
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(span, BlockSize * 4));
    if (!source.ReadExact(buffer.get(), chunk) || !out_.Write(buffer.get(), chunk)) return false;
    span -= chunk;
  }
  written_.push_back(std::move(copy));
  return true;
}

bool Writer::WriteLocalHeader(const Entry& e, bool zip64) {
  std::string h = LocalHeader(e, zip64);
  return out_.Write(h.data(), h.size());
}

std::string Writer::LocalHeader(const Entry& e, bool zip64) {
  bool descriptor = (e.flags & FlagDescriptor) != 0;
  std::string h;
  Put32(h, SigLocal);
  Put16(h, zip64 ? 45 : e.needed);
  Put16(h, e.flags);
  Put16(h, e.method);
  Put16(h, e.dosTime);
  Put16(h, e.dosDate);
  Put32(h, descriptor ? 0 : e.crc);
  Put32(h, zip64 ? 0xFFFFFFFFu : descriptor ? 0 : Clamp32(e.compressedSize));
  Put32(h, zip64 ? 0xFFFFFFFFu : descriptor ? 0 : Clamp32(e.size));
  std::string extra;
  if (zip64) {
    Put16(extra, 0x0001);
    Put16(extra, 16);
    Put64(extra, descriptor ? 0 : e.size);
    Put64(extra, descriptor ? 0 : e.compressedSize);
  }
  extra += e.extra;
  Put16(h, static_cast<uint16_t>(e.name.size()));
  Put16(h, static_cast<uint16_t>(extra.size()));
  h += e.name;
  h += extra;
  return h;
}

namespace {

// The deflate state and buffers an entry needs, kept from entry to entry:
// for small files a new state and new buffers cost more than their data.
struct DataState {
  std::unique_ptr<unsigned char[]> in{new unsigned char[BlockSize]}, out{new unsigned char[BlockSize]};
  z_stream z{};
  int level = -1;  // of the live deflate state; -1: none
  DataState() = default;
  DataState(const DataState&) = delete;
  DataState& operator=(const DataState&) = delete;
  ~DataState() {
    if (level >= 0) deflateEnd(&z);
  }
  // A state that writes exactly what a new one would.
  z_stream* Deflater(int newLevel) {
    if (level == newLevel && deflateReset(&z) == Z_OK) return &z;
    if (level >= 0) deflateEnd(&z);
    z = z_stream{};
    level = -1;
    if (deflateInit2(&z, newLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return nullptr;
    level = newLevel;
    return &z;
  }
};

enum class DataResult { Ok, ReadError, WriteError, Cancelled };

// Reads source from its start to its end, deflated at `level` (0 stores) and
// encrypted when there is a cipher, and hands the output to `write`.
template <typename Write>
DataResult PassData(DataState& state, File& source, int level, Cipher* cipher, const Write& write,
                    const std::function<bool(uint64_t)>& progress, uint32_t& crcOut, uint64_t& totalOut) {
  if (!source.Seek(0)) return DataResult::ReadError;
  const auto& in = state.in;
  const auto& out = state.out;
  z_stream* z = level > 0 ? state.Deflater(level) : nullptr;
  if (level > 0 && z == nullptr) return DataResult::WriteError;
  uLong crc = crc32(0, nullptr, 0);
  uint64_t total = 0;
  for (bool end = false; !end;) {
    size_t got = source.ReadSome(in.get(), ProgressBlock);
    if (got == 0) {
      if (source.Failed()) return DataResult::ReadError;
      end = true;
    }
    crc = crc32(crc, in.get(), static_cast<uInt>(got));
    total += got;
    if (z == nullptr) {
      if (cipher) cipher->Encrypt(in.get(), got);
      if (got && !write(in.get(), got)) return DataResult::WriteError;
    } else {
      z->next_in = in.get();
      z->avail_in = static_cast<uInt>(got);
      int flush = end ? Z_FINISH : Z_NO_FLUSH;
      do {
        z->next_out = out.get();
        z->avail_out = static_cast<uInt>(BlockSize);
        deflate(z, flush);
        size_t have = BlockSize - z->avail_out;
        if (cipher) cipher->Encrypt(out.get(), have);
        if (have && !write(out.get(), have)) return DataResult::WriteError;
      } while (z->avail_out == 0);
    }
    if (progress && !progress(total)) return DataResult::Cancelled;
  }
  crcOut = static_cast<uint32_t>(crc);
  totalOut = total;
  return DataResult::Ok;
}

uint16_t DeflateKind(int level) { return level >= 8 ? 2 : level == 2 ? 4 : level == 1 ? 6 : 0; }

}  // namespace

struct Writer::Buffers {
  DataState state;
  std::string pending;  // a small entry's data, written with its header at once
};

struct Packer::State {
  DataState state;
};

Packer::Packer() : state_(std::make_unique<State>()) {}

Packer::~Packer() = default;

Packer::Result Packer::Pack(File& source, int level, uint64_t limit, Packed& packed,
                            const std::function<bool(uint64_t)>& progress) {
  packed.method = level > 0 ? 8 : 0;
  for (;;) {  // a second round stores data that deflate could not shrink
    packed.data.clear();
    auto write = [&](const void* data, size_t size) {
      if (packed.data.size() + size > limit) return false;
      packed.data.append(static_cast<const char*>(data), size);
      return true;
    };
    switch (PassData(state_->state, source, packed.method == 8 ? level : 0, nullptr, write, progress, packed.crc,
                     packed.size)) {
      case DataResult::Ok: break;
      case DataResult::ReadError: return Result::ReadError;
      case DataResult::WriteError: return Result::TooLarge;
      case DataResult::Cancelled: return Result::Cancelled;
    }
    if (packed.size > limit) return Result::TooLarge;
    if (packed.method == 8 && packed.data.size() > packed.size) {
      packed.method = 0;
      continue;
    }
    return Result::Ok;
  }
}

Writer::Writer(Sink& out) : out_(out) {}

Writer::~Writer() = default;

Writer::AddResult Writer::Add(Entry e, File* source, int level, const std::string& password,
                              const Progress& progress) {
  const bool encrypt = !password.empty() && source != nullptr;
  const bool zip64 = source != nullptr && e.size >= 0xFFFF0000ull;
  e.localOffset = out_.Tell();
  e.method = (source == nullptr || level == 0) ? 0 : 8;
  e.flags &= static_cast<uint16_t>(~6);
  if (e.method == 8) e.flags |= DeflateKind(level);  // deflate kind for listings
  if (encrypt) e.flags |= FlagEncrypted | FlagDescriptor;
  e.needed = zip64 ? 45 : 20;
  e.crc = 0;
  e.compressedSize = 0;
  if (source == nullptr) e.size = 0;
  if (!buffers_) buffers_ = std::make_unique<Buffers>();
  // A small entry is built in memory and written once, header and data:
  // writes and seeks cost a system call each under Wine.
  const bool buffered = source != nullptr && !zip64 && e.size <= BufferedEntry;
  std::string& pending = buffers_->pending;
  auto write = [&](const void* data, size_t size) {
    if (!buffered) return out_.Write(data, size);
    pending.append(static_cast<const char*>(data), size);
    return true;
  };
  for (;;) {  // a second round stores data that deflate could not shrink
    pending.clear();
    if (!buffered && (!out_.Seek(e.localOffset) || !WriteLocalHeader(e, zip64))) return AddResult::WriteError;
    uint64_t dataStart = out_.Tell();
    if (source == nullptr) break;
    std::unique_ptr<Cipher> cipher;
    if (encrypt) {
      unsigned char header[12];
      BCryptGenRandom(nullptr, header, sizeof header, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
      header[11] = static_cast<unsigned char>(e.dosTime >> 8);  // the check byte when sizes follow the data
      cipher = std::make_unique<Cipher>(password);
      cipher->Encrypt(header, sizeof header);
      if (!write(header, sizeof header)) return AddResult::WriteError;
    }
    uint32_t crc = 0;
    uint64_t total = 0;
    switch (PassData(buffers_->state, *source, e.method == 8 ? level : 0, cipher.get(), write, progress, crc, total)) {
      case DataResult::Ok: break;
      case DataResult::ReadError: return AddResult::ReadError;
      case DataResult::WriteError: return AddResult::WriteError;
      case DataResult::Cancelled: return AddResult::Cancelled;
    }
    e.crc = crc;
    e.size = total;
    e.compressedSize = buffered ? pending.size() : out_.Tell() - dataStart;
    if (e.method == 8 && e.compressedSize > total + (encrypt ? 12 : 0)) {
      e.method = 0;
      e.flags &= static_cast<uint16_t>(~6);
      continue;
    }
    break;
  }
  if (buffered) {
    std::string h = LocalHeader(e, zip64);
    h += pending;
    if (!out_.Write(h.data(), h.size())) return AddResult::WriteError;
  }
  if (e.flags & FlagDescriptor) {
    std::string d;
    Put32(d, SigDescriptor);
    Put32(d, e.crc);
    if (zip64) {
      Put64(d, e.compressedSize);
      Put64(d, e.size);
    } else {
      Put32(d, Clamp32(e.compressedSize));
      Put32(d, Clamp32(e.size));
    }
    if (!out_.Write(d.data(), d.size())) return AddResult::WriteError;
  } else if (source != nullptr && !buffered) {
    // Sizes and CRC go back into the local header now that they are known.
    uint64_t end = out_.Tell();
    if (!out_.Seek(e.localOffset) || !WriteLocalHeader(e, zip64) || !out_.Seek(end)) return AddResult::WriteError;
  }
  written_.push_back(std::move(e));
  return AddResult::Ok;
}

bool Writer::AddPacked(Entry e, const Packed& packed, int level) {
  // What Add writes for the same file without a password, byte for byte.
  e.localOffset = out_.Tell();
  e.method = packed.method;
  e.flags &= static_cast<uint16_t>(~6);
  if (e.method == 8) e.flags |= DeflateKind(level);
  e.needed = 20;
  e.crc = packed.crc;
  e.size = packed.size;
  e.compressedSize = packed.data.size();
  std::string h = LocalHeader(e, false);
  if (packed.data.size() <= BufferedEntry) {
    h += packed.data;
    if (!out_.Write(h.data(), h.size())) return false;
  } else if (!out_.Write(h.data(), h.size()) || !out_.Write(packed.data.data(), packed.data.size())) {
    return false;
  }
  written_.push_back(std::move(e));
  return true;
}

bool Writer::Finish(const std::string& comment) {
  uint64_t cdStart = out_.Tell();
  std::string block;
  for (const Entry& e : written_) {
    block += CentralRecord(e);
    if (block.size() >= BlockSize) {
      if (!out_.Write(block.data(), block.size())) return false;
      block.clear();
    }
  }
  uint64_t cdEnd = cdStart + (out_.Tell() - cdStart) + block.size();
  uint64_t cdSize = cdEnd - cdStart;
  uint64_t count = written_.size();
  if (count >= 0xFFFF || cdStart >= Max32 || cdSize >= Max32) {
    Put32(block, SigEnd64);
    Put64(block, 44);
    Put16(block, 45);
    Put16(block, 45);
    Put32(block, 0);
    Put32(block, 0);
    Put64(block, count);
    Put64(block, count);
    Put64(block, cdSize);
    Put64(block, cdStart);
    Put32(block, SigLocator64);
    Put32(block, 0);
    Put64(block, cdEnd);
    Put32(block, 1);
  }
  Put32(block, SigEnd);
  Put16(block, 0);
  Put16(block, 0);
  Put16(block, static_cast<uint16_t>(std::min<uint64_t>(count, 0xFFFF)));
  Put16(block, static_cast<uint16_t>(std::min<uint64_t>(count, 0xFFFF)));
  Put32(block, Clamp32(cdSize));
  Put32(block, Clamp32(cdStart));
  std::string shortComment = comment.substr(0, 0xFFFF);
  Put16(block, static_cast<uint16_t>(shortComment.size()));
  block += shortComment;
  return out_.Write(block.data(), block.size()) && out_.Truncate();
}

}  // namespace zip
