// UNARJ32.DLL (entry prefix "Arj"): lists and extracts ARJ archives, methods
// 0 to 4, with our own decoder. It takes the LZH-style command line:
//   x|e|l|v|t [-switches] "archive" ["destination\"] [names | @list | -gbname]
// x keeps stored folders unless -x0; e is flat. -c1 overwrites existing
// files (otherwise only newer entries replace them), -p1 matches patterns
// against whole paths, -jx<pattern> excludes. Every other switch of the LZH
// family is accepted and has no effect here. ARJ archives are read-only.
#include "archivers/core/ArcCore.h"
#include "archivers/arj/ArjFormat.h"
#include "archivers/rar/FamilyTools.h"

#include <cstring>

namespace {

const std::string_view ArjSignature("\x60\xea", 2);

// Whether a main header starts at offset (what the search in a
// self-extractor looks for).
bool MainHeaderAt(arc::InputFile& file, uint64_t offset) {
  arj::Header header;
  uint64_t next = 0;
  auto read = [&file](uint64_t at, void* buffer, size_t size) { return file.ReadAt(at, buffer, size); };
  return arj::ParseHeader(read, offset, header, next) == arj::ParseResult::Ok && header.fileType == arj::MainHeader;
}

UINT OsType(std::uint8_t host) {
  switch (host) {
    case arj::Unix:
    case arj::Next:
      return OSTYPE_UNIX;
    case arj::MacOs:
      return OSTYPE_MAC;
    case arj::Os2:
      return OSTYPE_OS2;
    case arj::MsDos:
    case arj::Win95:
    case arj::Win32:
      return OSTYPE_MSDOS;
    default:
      return OSTYPE_OTHER;
  }
}

DWORD Attributes(const arj::Header& header) {
  DWORD attributes = 0;
  if (OsType(header.hostOs) == OSTYPE_UNIX) {
    // A Unix mode: read-only when the owner cannot write.
    attributes = FILE_ATTRIBUTE_ARCHIVE;
    if (!(header.accessMode & 0200)) attributes |= FILE_ATTRIBUTE_READONLY;
  } else {
    attributes = header.accessMode & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE);
  }
  if (header.fileType == arj::Directory) attributes = FILE_ATTRIBUTE_DIRECTORY;
  return attributes;
}

// Stored names are in the system code page; '/' separates folders, and so
// does a single-byte '\' (a trail byte such as the one of 表 is not one,
// which the conversion takes care of).
std::wstring EntryName(const std::string& stored) {
  std::wstring name = arc::FromAnsi(stored);
  for (auto& c : name) {
    if (c == L'\\') c = L'/';
  }
  while (!name.empty() && name.back() == L'/') name.pop_back();
  return name;
}

class ArjReader : public arc::EntryReader {
 public:
  ArjReader(const std::wstring& path, bool searchAll) : file_(path) {
    uint64_t offset = 0;
    if (!family::FindArchiveStart(path, ArjSignature, searchAll, MainHeaderAt, offset))
      throw arc::Error{ERROR_NOT_ARC_FILE, path};
    arj::Header main;
    if (arj::ParseHeader(Reader(), offset, main, next_) != arj::ParseResult::Ok)
      throw arc::Error{ERROR_NOT_ARC_FILE, path};
  }

  bool Next(arc::EntryInfo& entry) override {
    decoder_.reset();
    for (;;) {
      if (ended_) return false;
      switch (arj::ParseHeader(Reader(), next_, header_, next_)) {
        case arj::ParseResult::Ok:
          break;
        case arj::ParseResult::End:
          ended_ = true;
          return false;
        case arj::ParseResult::BadCrc:
          throw arc::Error{ERROR_HEADER_CRC, L""};
        case arj::ParseResult::Truncated:
          throw arc::Error{ERROR_UNEXPECTED_EOF, L""};
        default:
          throw arc::Error{ERROR_HEADER_BROKEN, L""};
      }
      next_ = header_.dataOffset + header_.compressedSize;
      // Volume labels and chapter marks are no files.
      if (header_.fileType != arj::Binary && header_.fileType != arj::Text7Bit && header_.fileType != arj::Directory)
        continue;
      break;
    }
    entry = arc::EntryInfo{};
    entry.name = EntryName(header_.name);
    name_ = entry.name;
    entry.isDirectory = header_.fileType == arj::Directory;
    entry.originalSize = entry.isDirectory ? 0 : header_.originalSize;
    entry.compressedSize = entry.isDirectory ? 0 : header_.compressedSize;
    entry.crc = header_.crc;
    entry.osType = OsType(header_.hostOs);
    entry.attributes = Attributes(header_);
    entry.method = arj::MethodText(header_.method);
    // Archives made on Unix hold Unix time; all others DOS local time.
    if (header_.hostOs == arj::Unix)
      entry.writeTime = arc::FileTimeFromUnix(header_.dosDateTime);
    else
      entry.writeTime = arc::FileTimeFromDos(static_cast<WORD>(header_.dosDateTime >> 16),
                                             static_cast<WORD>(header_.dosDateTime & 0xFFFF));
    started_ = false;
    return true;
  }

  size_t Read(void* buffer, size_t size) override {
    if (header_.fileType == arj::Directory) return 0;
    if (!started_) Start();
    size_t got = decoder_->Read(buffer, size);
    if (got == 0) {
      switch (decoder_->Status()) {
        case arj::DecodeResult::Ok:
          break;
        case arj::DecodeResult::BadCrc:
          throw arc::Error{ERROR_FILE_CRC, name_};
        case arj::DecodeResult::Unsupported:
          throw arc::Error{ERROR_METHOD, name_};
        default:
          // Damaged data inside a complete archive spoils only this entry.
          throw arc::Error{truncated_ ? ERROR_UNEXPECTED_EOF : ERROR_FILE_CRC, name_};
      }
    }
    return got;
  }

 private:
  arj::ReadAt Reader() {
    return [this](uint64_t at, void* buffer, size_t size) { return file_.ReadAt(at, buffer, size); };
  }

  void Start() {
    started_ = true;
    if (header_.flags & arj::Garbled) throw arc::Error{ERROR_PASSWORD_FILE, name_};
    if (header_.flags & (arj::Volume | arj::ExtFile)) throw arc::Error{ERROR_NOT_SUPPORT, name_};
    if (header_.method > 4) throw arc::Error{ERROR_METHOD, name_};
    truncated_ = header_.dataOffset + header_.compressedSize > file_.Size();
    position_ = header_.dataOffset;
    remaining_ = header_.compressedSize;
    decoder_ = std::make_unique<arj::Decoder>(header_.method, header_.compressedSize, header_.originalSize,
                                              header_.crc, [this](void* buffer, size_t size) {
                                                size_t got = file_.ReadAt(position_, buffer,
                                                                          std::min<uint64_t>(size, remaining_));
                                                position_ += got;
                                                remaining_ -= got;
                                                return got;
                                              });
  }

  arc::InputFile file_;
  uint64_t next_ = 0;
  bool ended_ = false;
  arj::Header header_;
  std::wstring name_;
  std::unique_ptr<arj::Decoder> decoder_;
  bool started_ = false, truncated_ = false;
  uint64_t position_ = 0, remaining_ = 0;
};

const std::vector<std::wstring> KnownSwitches = {L"+", L"a", L"c", L"e", L"f", L"h", L"i", L"l", L"m", L"n", L"o",
                                                 L"p", L"r", L"s", L"t", L"u", L"w", L"x", L"y", L"z", L"jx", L"jf",
                                                 L"jm", L"jo", L"job", L"jz", L"gm", L"gr", L"gw", L"gu"};

int RunArj(HWND, const std::string& text, arc::Output& output) {
  arc::CommandLine line = arc::ParseCommandLine(text);
  std::wstring command = arc::Lower(line.command);
  if (command.empty()) command = L"x";
  arc::Switches options(line.switches, KnownSwitches);
  family::Positional words = family::SplitPositional(line);
  std::wstring archive = arc::FullPath(words.archive);
  family::Selection selection(words.names, options.Number(L"p", 0) > 0);

  if (command == L"l" || command == L"v") {
    selection.Settle([&] { return std::make_unique<ArjReader>(archive, false); });
    ArjReader reader(archive, false);
    return family::ListEntries(reader, selection, output);
  }
  if (command != L"x" && command != L"e" && command != L"t") {
    if (command == L"a" || command == L"u" || command == L"f" || command == L"m" || command == L"d" ||
        command == L"s")
      throw arc::Error{ERROR_NOT_SUPPORT, L"ARJ"};
    throw arc::Error{ERROR_COMMAND_NAME, line.command};
  }
  selection.Settle([&] { return std::make_unique<ArjReader>(archive, false); });

  arc::ExtractOptions extract;
  extract.destination = words.folder;
  extract.keepFolders = command == L"x" && options.Number(L"x", 1) != 0;
  extract.overwrite = options.Number(L"c", 0) > 0;
  extract.testOnly = command == L"t";
  extract.namesGiven = arc::NamesSelect(words.names);
  extract.exclusions = arc::PatternSet(options.All(L"jx"));
  family::AdaptedReader reader(std::make_unique<ArjReader>(archive, false),
                               [&](arc::EntryInfo& entry) { return selection.Matches(entry.name); });
  return arc::ExtractEntries(reader, archive, extract, output).code;
}

std::unique_ptr<arc::EntryCursor> OpenListing(const std::wstring& path, DWORD) {
  return std::make_unique<ArjReader>(path, false);
}

bool CheckArj(const std::wstring& path, int mode) {
  ArjReader reader(path, (mode & CHECKARCHIVE_ALL) != 0);
  int level = mode & 3;
  if (level == CHECKARCHIVE_FULLCRC) return family::ReadAllData(reader);
  if (level == CHECKARCHIVE_RAPID) return true;
  arc::EntryInfo entry;
  while (reader.Next(entry)) {
  }
  return true;
}

int ExtractMem(HWND, const std::string& text, arc::MemoryTarget& target, arc::Output&) {
  auto open = [](const std::wstring& path) -> std::unique_ptr<arc::EntryReader> {
    return std::make_unique<ArjReader>(path, false);
  };
  return family::ExtractMemory(text, {L"", L"x", L"e"}, open, target);
}

}  // namespace

ARC_EXPORT_COMMAND(Arj, RunArj)
ARC_EXPORT_COMMON(Arj, 100)
ARC_EXPORT_LISTING(Arj, OpenListing, CheckArj)
ARC_EXPORT_EXTRACTMEM(Arj, ExtractMem)
