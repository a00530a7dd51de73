#include "archivers/bga/BgaReader.h"

namespace {

// Foreign self-extractors keep their archive within the first few megabytes;
// ours put it right after the program image, which is found without a search.
constexpr uint64_t ScanLimit = 8ull << 20;

std::FILE* OpenForReading(const std::wstring& path, uint64_t& size) {
  std::FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return nullptr;
  if (_fseeki64(file, 0, SEEK_END) != 0) {
    std::fclose(file);
    return nullptr;
  }
  size = static_cast<uint64_t>(_ftelli64(file));
  return file;
}

bool StartsWithProgram(std::FILE* file) {
  char magic[2] = {};
  return _fseeki64(file, 0, SEEK_SET) == 0 && std::fread(magic, 1, 2, file) == 2 && magic[0] == 'M' &&
         magic[1] == 'Z';
}

// The archive's first header: at the start, or inside a program when allowed.
bool LocateArchive(std::FILE* file, uint64_t size, bool searchInside, uint64_t& start) {
  bga::Entry entry;
  if (bga::ReadEntry(file, 0, size, entry) == bga::Status::Ok) {
    start = 0;
    return true;
  }
  return searchInside && StartsWithProgram(file) && bga::FindArchiveStart(file, size, ScanLimit, start);
}

}  // namespace

arc::EntryInfo ToEntryInfo(const bga::Entry& entry, uint32_t crc) {
  arc::EntryInfo info;
  info.name = arc::FromAnsi(entry.Path());
  for (auto& c : info.name) {
    if (c == L'\\') c = L'/';
  }
  info.originalSize = entry.header.originalSize;
  info.compressedSize = entry.header.packedSize;
  info.crc = crc;
  info.osType = OSTYPE_MSDOS;
  info.attributes = entry.header.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  info.method = entry.ModeText();
  info.writeTime = arc::FileTimeFromDos(entry.header.date, entry.header.time);
  return info;
}

TBgaReader::TBgaReader(const std::wstring& path) {
  file_ = OpenForReading(path, size_);
  if (file_ == nullptr) throw arc::Error{ERROR_ARC_FILE_OPEN, path};
  if (!LocateArchive(file_, size_, true, start_)) {
    std::fclose(file_);
    file_ = nullptr;
    throw arc::Error{ERROR_NOT_ARC_FILE, path};
  }
  next_ = start_;
}

TBgaReader::~TBgaReader() {
  if (file_ != nullptr) std::fclose(file_);
}

bool TBgaReader::Next(arc::EntryInfo& entry) {
  hasCurrent_ = false;
  dataStarted_ = false;
  switch (bga::ReadEntry(file_, next_, size_, current_)) {
    case bga::Status::Ok:
      break;
    case bga::Status::End:
      return false;
    case bga::Status::Broken:
      throw arc::Error{ERROR_HEADER_CRC, L""};
    case bga::Status::Truncated:
      throw arc::Error{ERROR_UNEXPECTED_EOF, L""};
    case bga::Status::ReadError:
      throw arc::Error{ERROR_CANNOT_READ, L""};
  }
  next_ = current_.End();
  hasCurrent_ = true;
  entry = ToEntryInfo(current_, bga::StoredCrc(file_, current_));
  return true;
}

size_t TBgaReader::Read(void* buffer, size_t size) {
  if (!hasCurrent_) return 0;
  if (!dataStarted_) {
    dataStarted_ = true;
    dataDone_ = false;
    bga::Result started = data_.Start(file_, current_);
    if (started == bga::Result::Unsupported) throw arc::Error{ERROR_METHOD, arc::FromAnsi(current_.Path())};
    if (started != bga::Result::Ok) throw arc::Error{ERROR_ENOUGH_MEMORY, L""};
  }
  if (dataDone_) return 0;
  size_t got = 0;
  switch (data_.Read(buffer, size, got)) {
    case bga::Result::Ok:
      if (got == 0) dataDone_ = true;
      return got;
    case bga::Result::ReadError:
      throw arc::Error{ERROR_CANNOT_READ, arc::FromAnsi(current_.Path())};
    case bga::Result::OutOfMemory:
      throw arc::Error{ERROR_ENOUGH_MEMORY, L""};
    default:
      // Only this entry is lost: the next header stands on its own.
      dataDone_ = true;
      throw arc::Error{ERROR_FILE_CRC, arc::FromAnsi(current_.Path())};
  }
}

bool TBgaReader::Probe(const std::wstring& path, bool searchInside) {
  uint64_t size = 0, start = 0;
  std::FILE* file = OpenForReading(path, size);
  if (file == nullptr) return false;
  bool found = LocateArchive(file, size, searchInside, start);
  std::fclose(file);
  return found;
}
