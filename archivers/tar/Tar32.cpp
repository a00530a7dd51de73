// TAR32.DLL: tar, tar.gz, tar.Z, tar.bz2 and single gz/Z/bz2 files, read
// through libarchive; tar, tgz and tbz written through libarchive (pax
// headers carry UTF-8 names where ustar cannot).
//
// Command line: [x|c|l|t] [switches] -f "archive" -o "folder\" [names]; the
// command may also be given as -x/-c/-l/-t.
//   -z / -zN      gzip (level N, default 6)     -B / -BN  bzip2 (level N, default 9)
//   --use-directory=0   flat (no stored folders) on extraction and creation
//   --check-all-path=0  a name without folder also matches in every folder
//   -I            leave hidden and system files out when creating; -AH take them
//   existing files are overwritten (-g says so too); --keep-newer-files writes
//   only entries newer than the file on disk
//   --display-dialog=N and unknown long options are accepted; no dialog is ever shown.
#include "archivers/core/ArcCore.h"

#include <archive.h>
#include <archive_entry.h>

#include <zlib.h>

#include <clocale>
#include <algorithm>
#include <cstring>

namespace {

using arc::Error;

const std::vector<std::wstring> KnownSwitches = {
    L"x", L"c", L"l", L"t", L"v", L"f", L"o", L"z", L"B", L"I", L"AH", L"g", L"-use-directory=",
    L"-check-all-path=", L"-display-dialog=", L"-keep-newer-files"};

struct Request {
  wchar_t command = 0;
  std::wstring archive, folder;
  std::vector<std::wstring> names;
  arc::Switches switches{{}, {}};
};

Request Parse(const std::string& line) {
  arc::CommandLine parsed = arc::ParseCommandLine(line, {L"f", L"o"});
  Request request;
  request.switches = arc::Switches(parsed.switches, KnownSwitches);
  std::wstring command = arc::Lower(parsed.command);
  if (command.empty()) {
    for (const wchar_t* c : {L"x", L"c", L"l", L"t"}) {
      if (request.switches.Text(c).present) command = c;
    }
  }
  if (command.size() == 1) request.command = command[0];
  else if (!command.empty()) throw Error{ERROR_COMMAND_NAME, command};
  request.archive = request.switches.Text(L"f").value;
  request.folder = request.switches.Text(L"o").value;
  size_t i = 0;
  if (request.archive.empty() && i < parsed.words.size() && !parsed.words[i].listed)
    request.archive = parsed.words[i++].text;
  for (; i < parsed.words.size(); ++i) request.names.push_back(parsed.words[i].text);
  if (request.archive.empty()) throw Error{ERROR_NOT_FIND_ARC_FILE, L""};
  request.archive = arc::FullPath(request.archive);
  return request;
}

arc::PatternSet Patterns(const std::vector<std::wstring>& names, bool fullPath) {
  return arc::PatternSet(names, !fullPath);
}

// A single compressed file has no name inside: it is the archive's name
// without the compressor's extension.
std::wstring RawName(const std::wstring& archive) {
  std::wstring name = arc::FileNameOf(archive);
  std::wstring lower = arc::Lower(name);
  for (const wchar_t* ext : {L".gz", L".z", L".bz2", L".bz", L".tgz", L".taz", L".tbz"}) {
    size_t length = wcslen(ext);
    if (lower.size() > length && lower.compare(lower.size() - length, length, ext) == 0) {
      std::wstring base = name.substr(0, name.size() - length);
      if (wcscmp(ext, L".tgz") == 0 || wcscmp(ext, L".taz") == 0 || wcscmp(ext, L".tbz") == 0) base += L".tar";
      return base;
    }
  }
  return name + L".out";
}

int ArchiveType(const std::wstring& path);

// gzip through zlib: libarchive 3.6 does not check gzip's CRC-32, zlib does,
// member by member.
class GzipStream {
 public:
  explicit GzipStream(const std::wstring& path) : file_(path), input_(64 * 1024) {
    if (inflateInit2(&z_, 15 + 32) != Z_OK) throw Error{ERROR_ENOUGH_MEMORY, L""};
  }
  ~GzipStream() { inflateEnd(&z_); }

  size_t Read(void* buffer, size_t size) {
    if (end_ || size == 0) return 0;
    z_.next_out = static_cast<Bytef*>(buffer);
    z_.avail_out = static_cast<uInt>(size);
    while (z_.avail_out == size && !end_) {
      if (z_.avail_in == 0 && !Fill()) throw Error{ERROR_UNEXPECTED_EOF, file_path()};
      int status = inflate(&z_, Z_NO_FLUSH);
      if (status == Z_STREAM_END) {
        // Another member may follow; anything else after the data is ignored.
        if (z_.avail_in < 2) Fill();
        if (z_.avail_in >= 2 && z_.next_in[0] == 0x1F && z_.next_in[1] == 0x8B) inflateReset(&z_);
        else end_ = true;
      } else if (status == Z_DATA_ERROR) {
        bool check = z_.msg != nullptr && std::strstr(z_.msg, "check") != nullptr;
        throw Error{check ? ERROR_FILE_CRC : ERROR_BROKEN_DATA, file_path()};
      } else if (status != Z_OK && status != Z_BUF_ERROR) {
        throw Error{ERROR_BROKEN_DATA, file_path()};
      }
    }
    return size - z_.avail_out;
  }

 private:
  std::wstring file_path() const { return L""; }
  // Appends input after what is left; false when the file has no more.
  bool Fill() {
    size_t left = z_.avail_in;
    if (left > 0) std::memmove(input_.data(), z_.next_in, left);
    size_t got = file_.ReadAt(position_, input_.data() + left, input_.size() - left);
    position_ += got;
    z_.next_in = input_.data();
    z_.avail_in = static_cast<uInt>(left + got);
    return got > 0;
  }

  arc::InputFile file_;
  std::vector<Bytef> input_;
  uint64_t position_ = 0;
  z_stream z_{};
  bool end_ = false;
};

// Names outside pax headers are raw bytes (read as ISO-8859-1, one character
// per byte): UTF-8 from Unix-like systems when they form valid UTF-8 with a
// non-ASCII character (Shift-JIS text almost never does), else Shift-JIS.
std::wstring DecodeRawName(const std::wstring& latin1) {
  std::string bytes;
  bool nonAscii = false;
  for (wchar_t c : latin1) {
    if (c > 0xFF) return latin1;
    bytes += static_cast<char>(c);
    nonAscii = nonAscii || c >= 0x80;
  }
  if (!nonAscii) return latin1;
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0) > 0)
    return arc::FromCodePage(bytes, CP_UTF8);
  return arc::FromCodePage(bytes, 932);
}

std::wstring Slashes(std::wstring name) {
  for (auto& c : name) {
    if (c == L'\\') c = L'/';
  }
  return name;
}

const char* const RawNames = "tar:hdrcharset=ISO-8859-1";

class TarReader : public arc::EntryReader {
 public:
  explicit TarReader(const std::wstring& path) : path_(path) {
    int type = ArchiveType(path);
    if (type < 0) throw Error{arc::FileExists(path) ? ERROR_ARC_FILE_OPEN : ERROR_NOT_FIND_ARC_FILE, path};
    if (type == 0) throw Error{ERROR_NOT_ARC_FILE, path};
    if (type == 2 || type == 4) {
      gzip_ = std::make_unique<GzipStream>(path);
      GzipStream* gzip = gzip_.get();
      reader_ = arc::OpenLibarchiveStream([gzip](void* buffer, size_t size) { return gzip->Read(buffer, size); },
                                          type == 2 ? arc::ReadFormats::Tar : arc::ReadFormats::Raw,
                                          type == 2 ? RawNames : nullptr);
    } else {
      bool tar = type == 1 || type == 3 || type == 6;
      reader_ = arc::OpenLibarchive(path, arc::ReadFormats::Tar, tar ? RawNames : nullptr);
    }
  }

  bool Next(arc::EntryInfo& entry) override {
    if (!reader_->Next(entry)) {
      // The rest of a gzip stream after the tar's end holds its check sum.
      if (gzip_) {
        std::vector<char> rest(64 * 1024);
        while (gzip_->Read(rest.data(), rest.size()) > 0) {
        }
      }
      return false;
    }
    if (entry.format == ARCHIVE_FORMAT_RAW) {
      arc::InputFile file(path_);
      entry.name = RawName(path_);
      entry.compressedSize = file.Size();
      uint8_t magic[2] = {}, trailer[4] = {};
      file.ReadAt(0, magic, 2);
      // gzip keeps the original size (modulo 4 GiB) in its last four bytes.
      if (magic[0] == 0x1F && magic[1] == 0x8B && file.Size() >= 18 && file.ReadAt(file.Size() - 4, trailer, 4) == 4)
        entry.originalSize = trailer[0] | (trailer[1] << 8) | (trailer[2] << 16) | (static_cast<uint32_t>(trailer[3]) << 24);
      if (arc::IsZero(entry.writeTime)) {
        FILETIME created, accessed, written;
        if (GetFileTime(file.Handle(), &created, &accessed, &written)) entry.writeTime = written;
      }
      entry.method = "-gz-";
      if (magic[0] == 'B' && magic[1] == 'Z') entry.method = "-bz2-";
      if (magic[0] == 0x1F && magic[1] == 0x9D) entry.method = "-Z-";
    } else {
      entry.method = "-tar-";
      bool pax = entry.format == ARCHIVE_FORMAT_TAR_PAX_INTERCHANGE || entry.format == ARCHIVE_FORMAT_TAR_PAX_RESTRICTED;
      if (!pax) {
        entry.name = DecodeRawName(entry.name);
        if (entry.isLink) entry.linkTarget = DecodeRawName(entry.linkTarget);
      }
      entry.name = Slashes(entry.name);
      while (!entry.name.empty() && entry.name.back() == L'/') entry.name.pop_back();
      entry.linkTarget = Slashes(entry.linkTarget);
    }
    return true;
  }

  size_t Read(void* buffer, size_t size) override { return reader_->Read(buffer, size); }

 private:
  std::wstring path_;
  std::unique_ptr<GzipStream> gzip_;
  std::unique_ptr<arc::EntryReader> reader_;
};

// ------------------------------------------------------------- archive kind

bool IsTarHeader(const uint8_t* block, size_t size) {
  if (size < 512) return false;
  if (std::memcmp(block + 257, "ustar", 5) == 0) return true;
  unsigned stored = 0;
  bool digits = false;
  for (int i = 148; i < 156; ++i) {
    if (block[i] >= '0' && block[i] <= '7') {
      stored = stored * 8 + (block[i] - '0');
      digits = true;
    } else if (block[i] != ' ' && block[i] != 0) {
      return false;
    }
  }
  if (!digits || block[0] == 0) return false;
  unsigned sum = 0;
  for (int i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? ' ' : block[i];
  return sum == stored;
}

int ArchiveType(const std::wstring& path) {
  uint8_t head[512] = {};
  size_t got;
  try {
    arc::InputFile file(path);
    got = file.ReadAt(0, head, sizeof head);
  } catch (const Error&) {
    return -1;
  }
  int compressed = 0;  // 1 gzip, 2 compress, 3 bzip2
  if (got >= 2 && head[0] == 0x1F && head[1] == 0x8B) compressed = 1;
  else if (got >= 2 && head[0] == 0x1F && head[1] == 0x9D) compressed = 2;
  else if (got >= 3 && head[0] == 'B' && head[1] == 'Z' && head[2] == 'h') compressed = 3;
  if (compressed == 0) return IsTarHeader(head, got) ? 1 : 0;
  uint8_t inner[512] = {};
  size_t innerSize = 0;
  try {
    auto raw = arc::OpenLibarchive(path, arc::ReadFormats::Raw);
    arc::EntryInfo entry;
    if (raw->Next(entry)) {
      while (innerSize < sizeof inner) {
        size_t n = raw->Read(inner + innerSize, sizeof inner - innerSize);
        if (n == 0) break;
        innerSize += n;
      }
    }
  } catch (const Error&) {
    return -1;
  }
  bool tar = IsTarHeader(inner, innerSize);
  switch (compressed) {
    case 1: return tar ? 2 : 4;
    case 2: return tar ? 3 : 5;
    default: return tar ? 6 : 7;
  }
}

// ------------------------------------------------------------------ commands

int Extract(const Request& request, arc::Output& output, bool test) {
  const auto& sw = request.switches;
  arc::ExtractOptions options;
  options.destination = request.folder;
  options.patterns = Patterns(request.names, sw.Number(L"-check-all-path=", 1) != 0);
  options.patterns.Settle([&] { return std::make_unique<TarReader>(request.archive); });
  options.keepFolders = sw.Number(L"-use-directory=", 1) != 0;
  // Existing files are overwritten, as tar does; --keep-newer-files keeps
  // those not older than the entry (-g, "overwrite", is the default anyway).
  options.overwrite = !sw.Text(L"-keep-newer-files").present;
  options.testOnly = test;
  options.namesGiven = arc::NamesSelect(request.names);
  // A compressed stream is checked only at its end: nothing is kept unless
  // the whole archive read without error.
  options.commitAtEnd = ArchiveType(request.archive) >= 2;
  TarReader reader(request.archive);
  return arc::ExtractEntries(reader, request.archive, options, output).code;
}

int List(const Request& request, arc::Output& output) {
  arc::PatternSet patterns = Patterns(request.names, request.switches.Number(L"-check-all-path=", 1) != 0);
  patterns.Settle([&] { return std::make_unique<TarReader>(request.archive); });
  TarReader reader(request.archive);
  arc::EntryInfo entry;
  while (reader.Next(entry)) {
    if (!patterns.Matches(entry.name)) continue;
    wchar_t size[32];
    wsprintfW(size, L"%12I64u  ", entry.originalSize);
    output.Line(size + entry.name);
  }
  return 0;
}

struct WriteTarget {
  arc::AtomicFile* file;
  Error error{0, L""};
};

la_ssize_t WriteCallback(struct archive*, void* data, const void* buffer, size_t size) {
  auto* target = static_cast<WriteTarget*>(data);
  try {
    target->file->Write(buffer, size);
    return static_cast<la_ssize_t>(size);
  } catch (const Error& error) {
    target->error = error;
    return -1;
  }
}

int Create(const Request& request, arc::Output& output) {
  const auto& sw = request.switches;
  if (arc::FileExists(request.archive) && (GetFileAttributesW(request.archive.c_str()) & FILE_ATTRIBUTE_READONLY))
    throw Error{ERROR_ARC_READ_ONLY, request.archive};
  arc::CollectOptions collect;
  collect.recursion = 2;  // a named folder goes in whole, as tar does
  collect.fullPathMatch = true;
  collect.includeHidden = !sw.Text(L"I").present || sw.Text(L"AH").present;
  collect.folders = true;
  std::vector<arc::FoundFile> files = arc::CollectFiles(request.folder, request.names, collect);
  std::wstring self = arc::Lower(request.archive);
  bool keepFolders = sw.Number(L"-use-directory=", 1) != 0;
  if (files.empty()) throw Error{ERROR_NOT_FIND_FILE, request.names.empty() ? L"*" : request.names.front()};

  std::setlocale(LC_ALL, "");  // libarchive converts names through the C locale
  struct archive* a = archive_write_new();
  TScopeExit freeWriter([a] { archive_write_free(a); });
  archive_write_set_format_pax_restricted(a);
  auto gzip = sw.Text(L"z"), bzip2 = sw.Text(L"B");
  std::string options;
  if (gzip.present) {
    archive_write_add_filter_gzip(a);
    int level = gzip.value.empty() ? 6 : _wtoi(gzip.value.c_str());
    options = "gzip:compression-level=" + std::to_string(level < 1 ? 1 : level > 9 ? 9 : level);
  } else if (bzip2.present) {
    archive_write_add_filter_bzip2(a);
    int level = bzip2.value.empty() ? 9 : _wtoi(bzip2.value.c_str());
    options = "bzip2:compression-level=" + std::to_string(level < 1 ? 1 : level > 9 ? 9 : level);
  }
  if (!options.empty()) archive_write_set_options(a, options.c_str());
  archive_write_set_bytes_in_last_block(a, 1);

  arc::AtomicFile out(request.archive);
  WriteTarget target{&out};
  auto check = [&](int status, const std::wstring& name) {
    if (status >= ARCHIVE_WARN) return;
    if (target.error.code != 0) throw target.error;
    const char* text = archive_error_string(a);
    throw Error{ERROR_CANNOT_WRITE, name + L": " + arc::FromCodePage(text ? text : "", CP_UTF8)};
  };
  check(archive_write_open(a, &target, nullptr, WriteCallback, nullptr), request.archive);
  arc::Progress progress(request.archive);
  if (!progress.Open()) throw Error{ERROR_USER_CANCEL, L""};
  std::vector<char> block(64 * 1024);  // a progress report at least every 64 KiB
  for (const auto& file : files) {
    if (arc::Lower(arc::FullPath(file.fullPath)) == self) continue;
    if (file.isDirectory && !keepFolders) continue;
    std::wstring name = keepFolders ? file.relative : arc::FileNameOf(file.fullPath);
    if (keepFolders && name.size() >= 2 && name[1] == L':') name = name.substr(2);
    name = arc::SanitizeEntryPath(name);
    for (auto& c : name) {
      if (c == L'\\') c = L'/';
    }
    if (name.empty()) continue;
    struct archive_entry* entry = archive_entry_new();
    TScopeExit freeEntry([entry] { archive_entry_free(entry); });
    archive_entry_copy_pathname_w(entry, file.isDirectory ? (name + L"/").c_str() : name.c_str());
    archive_entry_set_filetype(entry, file.isDirectory ? AE_IFDIR : AE_IFREG);
    archive_entry_set_perm(entry, file.isDirectory                              ? 0755
                                  : (file.attributes & FILE_ATTRIBUTE_READONLY) ? 0444
                                                                                : 0644);
    archive_entry_set_size(entry, file.isDirectory ? 0 : static_cast<la_int64_t>(file.size));
    archive_entry_set_mtime(entry, arc::UnixFromFileTime(file.writeTime), 0);
    if (file.isDirectory) {
      check(archive_write_header(a, entry), name);
      continue;
    }
    TFileHandle sourceFile(CreateFileW(file.fullPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!sourceFile) throw Error{ERROR_FILE_OPEN, file.fullPath};
    HANDLE source = sourceFile.get();
    arc::EntryInfo info;
    info.name = name;
    info.originalSize = file.size;
    info.compressedSize = file.size;
    info.writeTime = file.writeTime;
    info.method = "-tar-";
    if (!progress.Begin(info, file.fullPath)) throw Error{ERROR_USER_CANCEL, L""};
    check(archive_write_header(a, entry), name);
    uint64_t remaining = file.size;
    DWORD got = 0;
    // Exactly the size announced in the header, even if the file changes meanwhile.
    while (remaining > 0 && ReadFile(source, block.data(), static_cast<DWORD>(std::min<uint64_t>(block.size(), remaining)),
                                     &got, nullptr) &&
           got > 0) {
      if (archive_write_data(a, block.data(), got) < 0) check(ARCHIVE_FATAL, name);
      remaining -= got;
      if (!progress.Advance(got)) throw Error{ERROR_USER_CANCEL, L""};
    }
    if (remaining > 0) throw Error{ERROR_CANNOT_READ, file.fullPath};
    if (!progress.Finish()) throw Error{ERROR_USER_CANCEL, L""};
    output.Line(L"+ " + name);
  }
  check(archive_write_close(a), request.archive);
  progress.End();
  out.Commit();
  return 0;
}

int Run(HWND, const std::string& line, arc::Output& output) {
  Request request = Parse(line);
  switch (request.command) {
    case L'x': return Extract(request, output, false);
    case L't': return Extract(request, output, true);
    case L'l': return List(request, output);
    case L'c': return Create(request, output);
    default: throw Error{ERROR_COMMAND_NAME, std::wstring(1, request.command)};
  }
}

std::unique_ptr<arc::EntryCursor> Open(const std::wstring& path, DWORD) {
  return std::make_unique<TarReader>(path);
}

bool Check(const std::wstring& path, int mode) {
  TarReader reader(path);
  arc::EntryInfo entry;
  int level = mode & 3;
  if (level == CHECKARCHIVE_RAPID) return reader.Next(entry);
  std::vector<char> block(256 * 1024);
  bool any = false;
  while (reader.Next(entry)) {
    any = true;
    if (level == CHECKARCHIVE_FULLCRC) {
      while (reader.Read(block.data(), block.size()) > 0) {
      }
    }
  }
  return any;
}

int Mem(HWND, const std::string& line, arc::MemoryTarget& target, arc::Output&) {
  Request request = Parse(line);
  if (request.names.empty()) throw Error{ERROR_NOT_FILENAME, L""};
  TarReader reader(request.archive);
  return arc::ExtractToMemory(reader, request.names.front(), target);
}

}  // namespace

ARC_EXPORT_COMMAND(Tar, Run)
ARC_EXPORT_COMMON(Tar, 250)
ARC_EXPORT_LISTING(Tar, Open, Check)
ARC_EXPORT_EXTRACTMEM(Tar, Mem)

ARC_EXPORT int WINAPI TarGetArchiveType(LPCSTR path) {
  if (path == nullptr) return -1;
  return ArchiveType(arc::FromAnsi(path));
}
