#include "archivers/lha/LhaFormat.h"

#include "archivers/lha/LhaEncoder.h"

#include <algorithm>
#include <cstring>

namespace lha {

namespace {

constexpr UINT ShiftJis = 932;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Le64(const uint8_t* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }
FILETIME FileTimeAt(const uint8_t* p) {
  FILETIME time;
  time.dwLowDateTime = Le32(p);
  time.dwHighDateTime = Le32(p + 4);
  return time;
}

bool ValidMethod(const uint8_t* m) {
  if (m[0] != '-' || m[1] != 'l' || m[4] != '-') return false;
  if (m[2] == 'h') return (m[3] >= '0' && m[3] <= '7') || m[3] == 'd';
  if (m[2] == 'z') return m[3] == 's' || m[3] == '4' || m[3] == '5';
  return false;
}

// Stored names: 0xFF (never part of a Shift-JIS character) or '\' separate
// folders; the backslash is only seen after decoding, so a Shift-JIS trail
// byte 0x5C stays part of its character.
std::wstring DecodeName(const std::string& bytes) {
  std::wstring result;
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\xFF', start);
    if (end == std::string::npos) end = bytes.size();
    if (!result.empty() && result.back() != L'/') result += L'/';
    result += arc::FromCodePage(bytes.substr(start, end - start), ShiftJis);
    start = end + 1;
  }
  for (auto& c : result) {
    if (c == L'\\') c = L'/';
  }
  while (!result.empty() && result.back() == L'/') result.pop_back();
  return result;
}

struct Extensions {
  std::string fileName, folderName;
  bool haveFileName = false, haveFolder = false;
  int attributes = -1;
  bool haveWindowsTimes = false;
  FILETIME create{}, write{}, access{};
  int64_t unixTime = -1;
  bool haveLargeSizes = false;
  uint64_t compressed = 0, original = 0;
  int unixMode = -1;
};

void TakeExtension(Extensions& ext, uint8_t type, const uint8_t* data, size_t length) {
  switch (type) {
    case 0x01:
      ext.fileName.assign(reinterpret_cast<const char*>(data), length);
      ext.haveFileName = true;
      break;
    case 0x02:
      ext.folderName.assign(reinterpret_cast<const char*>(data), length);
      ext.haveFolder = true;
      break;
    case 0x40:
      if (length >= 2) ext.attributes = Le16(data);
      break;
    case 0x41:
      if (length >= 24) {
        ext.haveWindowsTimes = true;
        ext.create = FileTimeAt(data);
        ext.write = FileTimeAt(data + 8);
        ext.access = FileTimeAt(data + 16);
      }
      break;
    case 0x42:
      if (length >= 16) {
        ext.haveLargeSizes = true;
        ext.compressed = Le64(data);
        ext.original = Le64(data + 8);
      }
      break;
    case 0x50:
      if (length >= 2) ext.unixMode = Le16(data);
      break;
    case 0x54:
      if (length >= 4) ext.unixTime = Le32(data);
      break;
    default:
      break;
  }
}

UINT OsType(uint8_t id) {
  switch (id) {
    case 0:
    case 'M': return OSTYPE_MSDOS;
    case 'U': return OSTYPE_UNIX;
    case 'm': return OSTYPE_MAC;
    case '2': return OSTYPE_OS2;
    case 'W':
    case 'w': return OSTYPE_NTFS;
    default: return OSTYPE_OTHER;
  }
}

}  // namespace

uint16_t Crc16(const void* data, size_t size, uint16_t crc) {
  static uint16_t table[256] = {};
  static bool ready = [] {
    for (int i = 0; i < 256; ++i) {
      uint16_t c = static_cast<uint16_t>(i);
      for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
      table[i] = c;
    }
    return true;
  }();
  (void)ready;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ p[i]) & 0xFF]);
  return crc;
}

arc::EntryInfo Header::Entry() const {
  arc::EntryInfo entry;
  entry.name = name;
  entry.originalSize = originalSize;
  entry.compressedSize = compressedSize;
  entry.crc = crc;
  entry.osType = OsType(osId);
  entry.attributes = attributes;
  entry.method = method;
  entry.writeTime = writeTime;
  entry.createTime = createTime;
  entry.accessTime = accessTime;
  entry.isDirectory = isDirectory;
  entry.isLink = isLink;
  entry.linkTarget = linkTarget;
  return entry;
}

Parse ReadHeader(arc::InputFile& file, uint64_t offset, Header& header) {
  uint8_t base[32] = {};
  size_t got = file.ReadAt(offset, base, sizeof base);
  if (got == 0 || base[0] == 0) return Parse::End;
  if (got < 24 || !ValidMethod(base + 2)) return Parse::Invalid;
  header = Header{};
  header.offset = offset;
  header.level = base[20];
  header.method.assign(reinterpret_cast<const char*>(base + 2), 5);
  header.isDirectory = header.method == "-lhd-";
  Extensions ext;
  std::string storedName;
  uint64_t total = 0;
  std::vector<uint8_t> h;
  auto readWhole = [&](uint64_t size) {
    if (size < 24 || size > (1u << 20)) return false;
    h.resize(size);
    return file.ReadAt(offset, h.data(), h.size()) == h.size();
  };
  if (header.level == 0 || header.level == 1) {
    total = base[0] + 2u;
    if (!readWhole(total)) return Parse::Invalid;
    uint8_t sum = 0;
    for (size_t i = 2; i < total; ++i) sum = static_cast<uint8_t>(sum + h[i]);
    if (sum != h[1]) return Parse::Invalid;
    size_t nameLength = h[21];
    if (22 + nameLength + 2 > total) return Parse::Invalid;
    storedName.assign(reinterpret_cast<const char*>(&h[22]), nameLength);
    header.crc = Le16(&h[22 + nameLength]);
    header.compressedSize = Le32(&h[7]);
    header.originalSize = Le32(&h[11]);
    header.writeTime = arc::FileTimeFromDos(static_cast<WORD>(Le32(&h[15]) >> 16), static_cast<WORD>(Le32(&h[15])));
    header.dataOffset = offset + total;
    if (header.level == 0) {
      header.attributes = h[19];
      header.osId = total > 24 + nameLength ? h[24 + nameLength] : 0;
    } else {
      if (total < 27 + nameLength) return Parse::Invalid;
      header.osId = h[24 + nameLength];
      uint64_t next = Le16(&h[total - 2]);
      uint64_t extTotal = 0;
      uint64_t at = offset + total;
      while (next != 0) {
        if (next < 3 || extTotal + next > header.compressedSize) return Parse::Invalid;
        std::vector<uint8_t> e(next);
        if (file.ReadAt(at, e.data(), e.size()) != e.size()) return Parse::Invalid;
        TakeExtension(ext, e[0], e.data() + 1, next - 3);
        extTotal += next;
        at += next;
        next = Le16(&e[e.size() - 2]);
      }
      header.compressedSize -= extTotal;
      header.dataOffset = at;
    }
  } else if (header.level == 2 || header.level == 3) {
    size_t sizeField = header.level == 2 ? 2 : 4;
    if (header.level == 2) {
      total = Le16(base);
    } else {
      if (Le16(base) != 4) return Parse::Invalid;
      total = Le32(base + 24);
    }
    if (!readWhole(total)) return Parse::Invalid;
    header.compressedSize = Le32(&h[7]);
    header.originalSize = Le32(&h[11]);
    header.writeTime = arc::FileTimeFromUnix(Le32(&h[15]));
    header.crc = Le16(&h[21]);
    header.osId = h[23];
    size_t at = header.level == 2 ? 24 : 28;
    if (at + sizeField > total) return Parse::Invalid;
    uint64_t next = header.level == 2 ? Le16(&h[at]) : Le32(&h[at]);
    at += sizeField;
    long crcAt = -1;
    while (next != 0) {
      if (next < 1 + sizeField || at + next > total) return Parse::Invalid;
      const uint8_t* e = &h[at];
      size_t dataLength = next - 1 - sizeField;
      if (e[0] == 0x00 && dataLength >= 2) crcAt = static_cast<long>(at + 1);
      TakeExtension(ext, e[0], e + 1, dataLength);
      uint64_t following = header.level == 2 ? Le16(e + next - 2) : Le32(e + next - 4);
      at += static_cast<size_t>(next);
      next = following;
    }
    if (crcAt >= 0) {
      uint16_t stored = Le16(&h[crcAt]);
      h[crcAt] = h[crcAt + 1] = 0;
      if (Crc16(h.data(), h.size()) != stored) return Parse::Invalid;
    }
    header.dataOffset = offset + total;
  } else {
    return Parse::Invalid;
  }
  if (ext.haveLargeSizes) {
    header.compressedSize = ext.compressed;
    header.originalSize = ext.original;
  }
  // The next header must lie after this one: a size that wraps the position
  // round would send a listing back to an earlier header for ever.
  if (header.compressedSize > UINT64_MAX - header.dataOffset) return Parse::Invalid;
  std::string nameBytes = ext.haveFileName ? ext.fileName : storedName;
  std::wstring name = DecodeName(nameBytes);
  if (ext.haveFolder) {
    std::wstring folder = DecodeName(ext.folderName);
    name = folder.empty() ? name : (name.empty() ? folder : folder + L"/" + name);
  }
  // A Unix symbolic link is stored as "name|target" ('|' is in no Windows name).
  size_t bar = name.find(L'|');
  if (bar != std::wstring::npos || (ext.unixMode >= 0 && (ext.unixMode & 0xF000) == 0xA000)) {
    header.isLink = true;
    if (bar != std::wstring::npos) {
      header.linkTarget = name.substr(bar + 1);
      name.resize(bar);
    }
  }
  // A file without a name can be neither listed usefully nor read by the
  // data decoder: the header is broken.
  if (name.empty() && !header.isDirectory) return Parse::Invalid;
  header.name = name;
  if (ext.attributes >= 0) header.attributes = static_cast<DWORD>(ext.attributes);
  else if (header.level != 0) header.attributes = FILE_ATTRIBUTE_ARCHIVE;
  if (ext.unixMode >= 0 && !(ext.unixMode & 0222)) header.attributes |= FILE_ATTRIBUTE_READONLY;
  header.attributes &= 0x3F;
  if (header.isDirectory) header.attributes = (header.attributes & ~FILE_ATTRIBUTE_ARCHIVE) | FILE_ATTRIBUTE_DIRECTORY;
  else header.attributes &= ~(FILE_ATTRIBUTE_DIRECTORY | 0x08);
  if (ext.unixTime >= 0) header.writeTime = arc::FileTimeFromUnix(ext.unixTime);
  if (ext.haveWindowsTimes) {
    if (!arc::IsZero(ext.write)) header.writeTime = ext.write;
    header.createTime = ext.create;
    header.accessTime = ext.access;
  }
  return Parse::Ok;
}

int64_t FindArchiveStart(arc::InputFile& file, bool searchAll) {
  Header header;
  if (ReadHeader(file, 0, header) == Parse::Ok) return 0;
  uint8_t magic[2] = {};
  file.ReadAt(0, magic, 2);
  if (!searchAll && !(magic[0] == 'M' && magic[1] == 'Z')) return -1;
  // A header inside other data only counts when the one after it is valid
  // too, or the archive ends right there.
  auto confirmed = [&](uint64_t offset) {
    Header first, second;
    if (ReadHeader(file, offset, first) != Parse::Ok) return false;
    if (first.End() > file.Size()) return false;
    return ReadHeader(file, first.End(), second) != Parse::Invalid;
  };
  std::vector<uint8_t> block(1 << 20);
  for (uint64_t at = 0; at < file.Size();) {
    size_t got = file.ReadAt(at, block.data(), block.size());
    if (got < 8) break;
    for (size_t i = 0; i + 7 <= got; ++i) {
      if (block[i + 2] == '-' && block[i + 3] == 'l' && block[i + 6] == '-' && ValidMethod(&block[i + 2]) &&
          confirmed(at + i))
        return static_cast<int64_t>(at + i);
    }
    at += got - 6;
  }
  return -1;
}

std::vector<uint8_t> BuildHeader(const NewEntry& entry) {
  std::wstring folder, name = entry.name;
  size_t slash = entry.name.rfind(L'/');
  if (entry.isDirectory) {
    folder = entry.name;
    name.clear();
  } else if (slash != std::wstring::npos) {
    folder = entry.name.substr(0, slash);
    name = entry.name.substr(slash + 1);
  }
  std::string nameBytes = arc::ToCodePage(name, ShiftJis);
  std::string folderBytes;
  if (!folder.empty()) {
    for (auto& part : [&] {
           std::vector<std::wstring> parts;
           size_t start = 0;
           while (start <= folder.size()) {
             size_t end = folder.find(L'/', start);
             if (end == std::wstring::npos) end = folder.size();
             parts.push_back(folder.substr(start, end - start));
             start = end + 1;
           }
           return parts;
         }()) {
      folderBytes += arc::ToCodePage(part, ShiftJis);
      folderBytes += '\xFF';
    }
  }
  std::vector<uint8_t> h(26, 0);
  auto put16 = [&](size_t at, uint32_t v) {
    h[at] = static_cast<uint8_t>(v);
    h[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  auto put32 = [&](size_t at, uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  std::memcpy(&h[2], entry.method.data(), 5);
  put32(7, static_cast<uint32_t>(entry.compressedSize));
  put32(11, static_cast<uint32_t>(entry.originalSize));
  // Out of the field's range: the nearest it holds (0x41 below keeps the real one).
  put32(15, static_cast<uint32_t>(std::clamp<int64_t>(arc::UnixFromFileTime(entry.writeTime), 0, 0xFFFFFFFFLL)));
  h[19] = 0x20;
  h[20] = 2;
  put16(21, entry.crc);
  h[23] = 'M';
  size_t nextAt = 24;  // where the size of the next extension goes
  auto extension = [&](uint8_t type, const void* data, size_t length) {
    put16(nextAt, static_cast<uint32_t>(length + 3));
    h.push_back(type);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    h.insert(h.end(), bytes, bytes + length);
    nextAt = h.size();
    h.push_back(0);
    h.push_back(0);
  };
  uint8_t zero[2] = {0, 0};
  extension(0x00, zero, 2);
  size_t crcAt = 27;
  if (!entry.isDirectory) extension(0x01, nameBytes.data(), nameBytes.size());
  if (!folderBytes.empty()) extension(0x02, folderBytes.data(), folderBytes.size());
  // Only what the base header cannot say: readers take a file without 0x40
  // as an archive-bit file, and a folder by its method.
  uint8_t attributes[2] = {static_cast<uint8_t>(entry.attributes & 0x27), 0};
  if (!entry.isDirectory && attributes[0] != FILE_ATTRIBUTE_ARCHIVE) extension(0x40, attributes, 2);
  // The base header's Unix time keeps the write time to the second, as every
  // LZH tool reads it; the 27 bytes of Windows times (a third of a small
  // entry's header) are spent only on a write time it cannot hold.
  int64_t unixTime = arc::UnixFromFileTime(entry.writeTime);
  bool fits = !arc::IsZero(entry.writeTime) && unixTime >= 0 && unixTime <= 0xFFFFFFFFLL;
  if (!fits && !arc::IsZero(entry.writeTime)) {
    uint8_t times[24];
    const FILETIME* all[3] = {&entry.createTime, &entry.writeTime, &entry.accessTime};
    for (int i = 0; i < 3; ++i) {
      std::memcpy(times + 8 * i, &all[i]->dwLowDateTime, 4);
      std::memcpy(times + 8 * i + 4, &all[i]->dwHighDateTime, 4);
    }
    extension(0x41, times, sizeof times);
  }
  // A header whose size has a zero low byte would read as the end mark.
  if ((h.size() & 0xFF) == 0) h.push_back(0);
  if (h.size() > 0xFFFF) throw arc::Error{ERROR_LONG_FILE_NAME, entry.name};
  put16(0, static_cast<uint32_t>(h.size()));
  uint16_t crc = Crc16(h.data(), h.size());
  put16(crcAt, crc);
  return h;
}

namespace {

class Cursor : public arc::EntryCursor {
 public:
  Cursor(const std::wstring& path, bool searchAll) : file_(path) {
    int64_t start = FindArchiveStart(file_, searchAll);
    if (start < 0) throw arc::Error{ERROR_NOT_ARC_FILE, path};
    position_ = static_cast<uint64_t>(start);
    start_ = position_;
  }

  bool Next(arc::EntryInfo& entry) override {
    Header header;
    if (!NextHeader(header)) return false;
    entry = header.Entry();
    return true;
  }

  bool NextHeader(Header& header) {
    if (truncated_) throw arc::Error{ERROR_UNEXPECTED_EOF, L""};
    Parse result = ReadHeader(file_, position_, header);
    if (result == Parse::End) return false;
    if (result == Parse::Invalid) throw arc::Error{ERROR_HEADER_BROKEN, L""};
    if (header.End() <= position_) throw arc::Error{ERROR_HEADER_BROKEN, L""};
    position_ = header.End();
    if (position_ > file_.Size()) truncated_ = true;
    return true;
  }

  bool BackslashNames() const override { return true; }
  uint64_t Start() const { return start_; }
  arc::InputFile& File() { return file_; }

 private:
  arc::InputFile file_;
  uint64_t position_ = 0, start_ = 0;
  bool truncated_ = false;
};

class Reader : public arc::EntryReader {
 public:
  Reader(const std::wstring& path, bool searchAll) : cursor_(path, searchAll) {
    data_ = arc::OpenLibarchive(path, arc::ReadFormats::Lha, "hdrcharset=CP932", cursor_.Start());
  }

  bool Next(arc::EntryInfo& entry) override {
    Header header;
    if (!cursor_.NextHeader(header)) return false;
    entry = header.Entry();
    arc::EntryInfo theirs;
    if (!data_->Next(theirs)) throw arc::Error{ERROR_HEADER_BROKEN, entry.name};
    // libarchive has no lh1 decoder: those entries are decoded here.
    lh1_.reset();
    if (header.method == "-lh1-" && !header.isDirectory) {
      uint64_t position = header.dataOffset, end = header.End();
      lh1_ = std::make_unique<Lh1Decoder>(
          [this, position, end](uint8_t* buffer, size_t size) mutable -> size_t {
            size_t n = cursor_.File().ReadAt(position, buffer, static_cast<size_t>(std::min<uint64_t>(size, end - position)));
            position += n;
            return n;
          },
          header.originalSize);
      expectedCrc_ = header.crc;
      crc_ = 0;
    }
    return true;
  }

  size_t Read(void* buffer, size_t size) override {
    if (!lh1_) return data_->Read(buffer, size);
    size_t n = 0;
    try {
      n = lh1_->Read(static_cast<uint8_t*>(buffer), size);
    } catch (const Lh1Decoder::Corrupt&) {
      throw arc::Error{ERROR_BROKEN_DATA, L""};
    }
    crc_ = Crc16(buffer, n, crc_);
    if (n == 0 && crc_ != expectedCrc_) throw arc::Error{ERROR_FILE_CRC, L""};
    return n;
  }
  bool BackslashNames() const override { return true; }

 private:
  Cursor cursor_;
  std::unique_ptr<arc::EntryReader> data_;
  std::unique_ptr<Lh1Decoder> lh1_;
  uint16_t expectedCrc_ = 0, crc_ = 0;
};

}  // namespace

std::unique_ptr<arc::EntryCursor> OpenCursor(const std::wstring& path, bool searchAll) {
  return std::make_unique<Cursor>(path, searchAll);
}

std::unique_ptr<arc::EntryReader> OpenReader(const std::wstring& path, bool searchAll) {
  return std::make_unique<Reader>(path, searchAll);
}

std::vector<Header> ReadAllHeaders(const std::wstring& path, uint64_t* start) {
  Cursor cursor(path, false);
  if (start != nullptr) *start = cursor.Start();
  std::vector<Header> headers;
  Header header;
  while (cursor.NextHeader(header)) headers.push_back(header);
  return headers;
}

}  // namespace lha
