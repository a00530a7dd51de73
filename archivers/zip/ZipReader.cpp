#include "archivers/zip/ZipReader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace zip {
namespace {

constexpr size_t InputBlock = 256 * 1024;

std::wstring Normalize(std::wstring text) {
  std::replace(text.begin(), text.end(), L'\\', L'/');
  return arc::Lower(std::move(text));
}

// Parses the set starting at p (just after '['); returns the position after
// ']' or npos when the set is not closed.
size_t SetEnd(const std::wstring& p, size_t i) {
  size_t k = i;
  if (k < p.size() && (p[k] == L'!' || p[k] == L'^')) ++k;
  if (k < p.size() && p[k] == L']') ++k;  // a ']' first is a member
  while (k < p.size() && p[k] != L']') ++k;
  return k < p.size() ? k + 1 : std::wstring::npos;
}

bool InSet(const std::wstring& p, size_t from, size_t to, wchar_t c) {
  bool negate = false;
  size_t k = from;
  if (p[k] == L'!' || p[k] == L'^') negate = true, ++k;
  bool found = false;
  bool first = true;
  for (; k < to; ++k) {
    if (p[k] == L']' && !first) break;
    first = false;
    if (k + 2 < to && p[k + 1] == L'-' && p[k + 2] != L']') {
      if (c >= p[k] && c <= p[k + 2]) found = true;
      k += 2;
    } else if (p[k] == c) {
      found = true;
    }
  }
  return found != negate;
}

bool MatchFrom(const std::wstring& p, size_t pi, const std::wstring& n, size_t ni) {
  while (pi < p.size()) {
    wchar_t c = p[pi];
    if (c == L'*') {
      while (pi < p.size() && p[pi] == L'*') ++pi;
      if (pi == p.size()) return true;
      for (size_t k = ni; k <= n.size(); ++k)
        if (MatchFrom(p, pi, n, k)) return true;
      return false;
    }
    if (ni == n.size()) return false;
    if (c == L'?') {
      ++pi, ++ni;
    } else if (c == L'[' && SetEnd(p, pi + 1) != std::wstring::npos) {
      size_t end = SetEnd(p, pi + 1);
      if (!InSet(p, pi + 1, end - 1, n[ni])) return false;
      pi = end, ++ni;
    } else {
      if (c != n[ni]) return false;
      ++pi, ++ni;
    }
  }
  return ni == n.size();
}

// A set of exactly one member ("[[]", "[x]") is that character.
bool SingleCharacterSet(const std::wstring& p, size_t i, size_t& end) {
  end = SetEnd(p, i + 1);
  return end != std::wstring::npos && end == i + 3 && p[i + 1] != L'!' && p[i + 1] != L'^';
}

}  // namespace

bool ZipWildcard(const std::wstring& pattern, const std::wstring& name) {
  std::wstring p = Normalize(pattern), n = Normalize(name);
  if (p == L"*.*" || (p.size() > 4 && p.compare(p.size() - 4, 4, L"/*.*") == 0)) p.resize(p.size() - 2);
  return MatchFrom(p, 0, n, 0);
}

std::wstring Unescape(const std::wstring& pattern) {
  std::wstring out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    size_t end;
    if (pattern[i] == L'[' && SingleCharacterSet(pattern, i, end)) {
      out += pattern[i + 1];
      i = end - 1;
    } else {
      out += pattern[i] == L'\\' ? L'/' : pattern[i];
    }
  }
  return out;
}

bool HasWildcard(const std::wstring& pattern) {
  for (size_t i = 0; i < pattern.size(); ++i) {
    size_t end;
    if (pattern[i] == L'*' || pattern[i] == L'?') return true;
    if (pattern[i] == L'[') {
      if (SingleCharacterSet(pattern, i, end)) {
        i = end - 1;
      } else if (SetEnd(pattern, i + 1) != std::wstring::npos) {
        return true;
      }
    }
  }
  return false;
}

arc::EntryInfo Describe(const Entry& e) {
  arc::EntryInfo info;
  info.name = e.WideName();
  info.originalSize = e.size;
  info.compressedSize = e.compressedSize;
  info.crc = e.crc;
  int host = e.madeBy >> 8;
  switch (host) {
    case 0: case 14: info.osType = OSTYPE_MSDOS; break;
    case 3: info.osType = OSTYPE_UNIX; break;
    case 6: info.osType = OSTYPE_OS2; break;
    case 7: case 19: info.osType = OSTYPE_MAC; break;
    case 10: info.osType = OSTYPE_NTFS; break;
    default: info.osType = OSTYPE_OTHER; break;
  }
  DWORD attributes = e.externalAttributes & 0x3F;
  if (host == 3) {
    unsigned mode = e.externalAttributes >> 16;
    if ((mode & 0170000) == 0040000) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if ((mode & 0170000) == 0120000) info.isLink = true;
    if (mode != 0 && !(mode & 0200)) attributes |= FILE_ATTRIBUTE_READONLY;
  }
  info.isDirectory = e.IsDirectory();
  if (info.isDirectory) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (attributes == 0) attributes = FILE_ATTRIBUTE_ARCHIVE;
  info.attributes = attributes;
  switch (e.method) {
    case 0: info.method = "Stored"; break;
    case 8: {
      static const char* const kinds[] = {"Defl:N", "Defl:X", "Defl:F", "Defl:S"};
      info.method = kinds[(e.flags >> 1) & 3];
      break;
    }
    case 9: info.method = "Def64"; break;
    case 12: info.method = "BZip2"; break;
    case 14: info.method = "LZMA"; break;
    case 95: info.method = "XZ"; break;
    case 99: info.method = "AES"; break;
    default: info.method = "Unknown"; break;
  }
  info.writeTime = e.WriteTime();
  return info;
}

void LoadDirectory(File& file, const std::wstring& path, Directory& directory, bool salvage) {
  if (!file.OpenRead(path)) {
    throw arc::Error{arc::FileExists(path) ? ERROR_ARC_FILE_OPEN : ERROR_NOT_FIND_ARC_FILE, path};
  }
  std::string message;
  ReadResult result = ReadDirectory(file, directory, message);
  if (result == ReadResult::Ok) return;
  if (salvage && result != ReadResult::CannotRead && ScanLocalHeaders(file, directory) == ReadResult::Ok) return;
  switch (result) {
    case ReadResult::NotZip: throw arc::Error{ERROR_NOT_ARC_FILE, path};
    case ReadResult::CannotRead: throw arc::Error{ERROR_CANNOT_READ, path};
    default: throw arc::Error{ERROR_HEADER_BROKEN, path + L": " + arc::FromAnsi(message)};
  }
}

struct ZipReader::Inflater {
  z_stream z{};
  bool ended = false;
  Inflater() {
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw arc::Error{ERROR_ENOUGH_MEMORY, L""};
  }
  ~Inflater() { inflateEnd(&z); }
};

ZipReader::ZipReader(const std::wstring& path, std::string password, bool salvage) : password_(std::move(password)) {
  LoadDirectory(file_, path, directory_, salvage);
}

ZipReader::~ZipReader() = default;

bool ZipReader::Supported() const {
  return std::all_of(directory_.entries.begin(), directory_.entries.end(), [](const Entry& e) {
    return (e.method == 0 || e.method == 8) && !(e.flags & 0x40);
  });
}

bool ZipReader::HeadersPresent() {
  uint64_t span = 0;
  return std::all_of(directory_.entries.begin(), directory_.entries.end(), [&](const Entry& e) {
    return EntrySpan(file_, e, e.localOffset + directory_.bias, span);
  });
}

bool ZipReader::Next(arc::EntryInfo& entry) {
  if (next_ >= directory_.entries.size()) return false;
  current_ = &directory_.entries[next_++];
  started_ = finished_ = false;
  inflater_.reset();
  cipher_.reset();
  entry = Describe(*current_);
  return true;
}

void ZipReader::StartData() {
  const Entry& e = *current_;
  const std::wstring name = e.WideName();
  uint64_t offset = e.localOffset + directory_.bias;
  unsigned char h[30];
  position_ = offset;
  if (!Fetch(h, 30) || h[0] != 'P' || h[1] != 'K' || h[2] != 3 || h[3] != 4)
    throw arc::Error{ERROR_HEADER_BROKEN, name};
  uint64_t dataStart = offset + 30 + (h[26] | h[27] << 8) + (h[28] | h[29] << 8);
  remaining_ = e.compressedSize;
  produced_ = 0;
  crc_ = crc32(0, nullptr, 0);
  position_ = dataStart;
  if (e.IsDirectory() && e.size == 0) {
    finished_ = true;
    return;
  }
  if (e.method != 0 && e.method != 8) throw arc::Error{ERROR_METHOD, name};
  if (e.IsEncrypted()) {
    if (password_.empty()) throw arc::Error{ERROR_PASSWORD_FILE, name};
    unsigned char header[12];
    if (remaining_ < 12 || !Fetch(header, 12)) throw arc::Error{ERROR_FILE_CRC, name};
    remaining_ -= 12;
    cipher_ = std::make_unique<Cipher>(password_);
    cipher_->Decrypt(header, 12);
    unsigned char check = (e.flags & FlagDescriptor) ? static_cast<unsigned char>(e.dosTime >> 8)
                                                     : static_cast<unsigned char>(e.crc >> 24);
    if (header[11] != check) throw arc::Error{ERROR_PASSWORD_FILE, name};
  }
  if (e.method == 8) inflater_ = std::make_unique<Inflater>();
}

size_t ZipReader::Read(void* buffer, size_t size) {
  if (current_ == nullptr) return 0;
  if (!started_) {
    started_ = true;
    StartData();
  }
  if (finished_ || size == 0) return 0;
  // Progress is reported per call: at most 64 KiB each, so reports come at
  // least that often.
  size = std::min<size_t>(size, 64 * 1024);
  const Entry& e = *current_;
  size_t produced = 0;
  if (!inflater_) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(size, remaining_));
    if (n > 0 && !Fetch(buffer, n)) throw arc::Error{ERROR_UNEXPECTED_EOF, e.WideName()};
    if (cipher_) cipher_->Decrypt(static_cast<unsigned char*>(buffer), n);
    remaining_ -= n;
    produced = n;
  } else {
    z_stream& z = inflater_->z;
    z.next_out = static_cast<Bytef*>(buffer);
    z.avail_out = static_cast<uInt>(std::min<size_t>(size, 0x40000000));
    uInt wanted = z.avail_out;
    while (z.avail_out == wanted && !inflater_->ended) {
      if (z.avail_in == 0) {
        if (remaining_ == 0) throw arc::Error{ERROR_FILE_CRC, e.WideName()};  // data ends before the stream
        input_.resize(InputBlock);
        size_t n = static_cast<size_t>(std::min<uint64_t>(InputBlock, remaining_));
        if (!Fetch(input_.data(), n)) throw arc::Error{ERROR_UNEXPECTED_EOF, e.WideName()};
        if (cipher_) cipher_->Decrypt(input_.data(), n);
        remaining_ -= n;
        z.next_in = input_.data();
        z.avail_in = static_cast<uInt>(n);
      }
      int result = inflate(&z, Z_NO_FLUSH);
      if (result == Z_STREAM_END) {
        inflater_->ended = true;
      } else if (result != Z_OK && result != Z_BUF_ERROR) {
        throw arc::Error{ERROR_FILE_CRC, e.WideName()};
      }
    }
    produced = wanted - z.avail_out;
  }
  crc_ = crc32(crc_, static_cast<const Bytef*>(buffer), static_cast<uInt>(produced));
  produced_ += produced;
  // A stream that gives more than the declared size is damaged or hostile:
  // stop here rather than write it all out first.
  if (produced_ > e.size) throw arc::Error{ERROR_FILE_CRC, e.WideName()};
  if (produced == 0) {
    finished_ = true;
    if (crc_ != e.crc || produced_ != e.size) throw arc::Error{ERROR_FILE_CRC, e.WideName()};
  }
  return produced;
}

bool ZipReader::Fetch(void* data, size_t size) {
  auto* out = static_cast<unsigned char*>(data);
  while (size > 0) {
    if (position_ >= aheadStart_ && position_ < aheadStart_ + ahead_.size()) {
      size_t at = static_cast<size_t>(position_ - aheadStart_);
      size_t n = std::min(size, ahead_.size() - at);
      std::memcpy(out, ahead_.data() + at, n);
      out += n, size -= n, position_ += n;
      continue;
    }
    if (size >= InputBlock) {  // large reads go straight to the caller
      if (!file_.Seek(position_) || !file_.ReadExact(out, size)) return false;
      position_ += size;
      return true;
    }
    ahead_.resize(InputBlock);
    if (!file_.Seek(position_)) return false;
    size_t got = file_.ReadSome(ahead_.data(), ahead_.size());
    ahead_.resize(got);
    aheadStart_ = position_;
    if (got == 0) return false;
  }
  return true;
}

ZipPatterns::ZipPatterns(std::vector<std::wstring> patterns, const Directory& directory)
    : patterns_(std::move(patterns)) {
  std::unordered_set<std::wstring> listed;  // read only when some name may be a listed one
  for (size_t i = 0; i < patterns_.size(); ++i) {
    std::wstring plain = Normalize(Unescape(patterns_[i]));
    if (arc::MayBeListedName(plain) && patterns_[i].find(L'*') == std::wstring::npos) {
      if (listed.empty())
        for (const Entry& e : directory.entries) listed.insert(Normalize(arc::ListedName(e.WideName())));
      if (listed.count(plain) != 0) {
        literals_.insert(std::move(plain));
        continue;
      }
    }
    if (HasWildcard(patterns_[i]))
      wildcards_.push_back(i);
    else
      plain_.insert(std::move(plain));
  }
}

bool ZipPatterns::Matches(const std::wstring& name) const {
  if (!plain_.empty() && plain_.count(Normalize(name)) != 0) return true;
  if (!literals_.empty() && literals_.count(Normalize(arc::ListedName(name))) != 0) return true;
  for (size_t i : wildcards_)
    if (ZipWildcard(patterns_[i], name)) return true;
  return false;
}

bool FilteredReader::Next(arc::EntryInfo& entry) {
  while (inner_->Next(entry)) {
    if (patterns_.Empty() || patterns_.Matches(entry.name)) return true;
  }
  return false;
}

std::unique_ptr<arc::EntryReader> OpenForExtraction(const std::wstring& path, const std::string& password,
                                                    std::vector<std::wstring> patterns) {
  auto ours = std::make_unique<ZipReader>(path, password);
  ZipPatterns selection(std::move(patterns), ours->Contents());
  std::unique_ptr<arc::EntryReader> reader;
  if (ours->Supported()) {
    reader = std::move(ours);
  } else {
    ours.reset();
    reader = arc::OpenLibarchive(path, arc::ReadFormats::All, "hdrcharset=CP932");
  }
  return std::make_unique<FilteredReader>(std::move(reader), std::move(selection));
}

}  // namespace zip
