// UNLHA32.DLL: LZH archives. Listing and headers through our own parser,
// decoding through libarchive, writing with our own level-2 headers and
// encoder.
//
// Switches (everything else is accepted and ignored):
//   -x0/-x1 folders on extraction and adding   -jf1 keep the path from the root
//   -p1 full-path matching (-p0: a name without folder matches in any folder)
//   -c1 overwrite / always replace; otherwise only newer files
//   -r0/-r1/-r2 recursion                      -a1 hidden and system files
//   -jm0..-jm4 lh0, lh1, lh5, lh6, lh7
//   -ji1 short names   -w<dir> work folder   -jo<date>/-job<date> date bounds
//   -jx<pattern> exclusion   -n1 reports to the owner window (never a dialog)
//   -gw/-gu/-jw self-extractor module choice for s
#include "archivers/core/ArcCore.h"
#include "archivers/lha/LhaEncoder.h"
#include "archivers/lha/LhaFormat.h"
#include "engine/SystemText.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {

using arc::Error;

const std::vector<std::wstring> KnownSwitches = {
    L"+",   L"-",   L"a",   L"c",   L"e",   L"f",   L"h",   L"i",   L"l",   L"m",   L"n",   L"o",   L"p",
    L"r",   L"s",   L"t",   L"u",   L"w",   L"x",   L"y",   L"z",   L"jc",  L"jd",  L"je",  L"jf",  L"jh",
    L"ji",  L"jm",  L"jn",  L"jo",  L"job", L"jp",  L"jr",  L"jsb", L"jsc", L"jsd", L"jse", L"jsf", L"jsl",
    L"jso", L"jss", L"jst", L"jsv", L"jsz", L"jw",  L"jx",  L"jyc", L"jyd", L"jyk", L"jyn", L"jyo", L"jz",
    L"ga",  L"gd",  L"ge",  L"gf",  L"gj",  L"gm",  L"gn",  L"go",  L"gp",  L"gr",  L"gs",  L"gu",  L"gw"};

struct Request {
  wchar_t command = 0;
  std::wstring archive;
  std::wstring base;  // base folder (adding) or destination (extraction)
  std::vector<std::wstring> names;
  arc::Switches switches{{}, {}};
};

Request Parse(const std::string& line, bool needCommand) {
  arc::CommandLine parsed = arc::ParseCommandLine(line, {}, needCommand);
  Request request;
  request.switches = arc::Switches(parsed.switches, KnownSwitches);
  if (needCommand) {
    if (parsed.command.size() != 1) throw Error{ERROR_COMMAND_NAME, parsed.command};
    request.command = static_cast<wchar_t>(towlower(parsed.command[0]));
    if (std::wstring(L"xetlvaufmds").find(request.command) == std::wstring::npos)
      throw Error{ERROR_COMMAND_NAME, parsed.command};
  }
  size_t i = 0;
  if (i < parsed.words.size() && !parsed.words[i].listed) request.archive = parsed.words[i++].text;
  if (request.archive.empty()) throw Error{ERROR_NOT_FIND_ARC_FILE, L""};
  if (i < parsed.words.size() && !parsed.words[i].listed) {
    const std::wstring& word = parsed.words[i].text;
    if (!word.empty() && (word.back() == L'\\' || word.back() == L'/')) {
      request.base = word;
      ++i;
    }
  }
  for (; i < parsed.words.size(); ++i) request.names.push_back(parsed.words[i].text);
  // A name without extension gets ".lzh", as the family has always done.
  std::wstring file = arc::FileNameOf(request.archive);
  if (file.find(L'.') == std::wstring::npos && !arc::FileExists(request.archive)) request.archive += L".lzh";
  request.archive = arc::FullPath(request.archive);
  return request;
}

// -p0: a pattern without a folder part also matches in every folder.
arc::PatternSet Patterns(const std::vector<std::wstring>& names, bool fullPath) {
  return arc::PatternSet(names, !fullPath);
}

// The names of a command, told from wildcards by the archive's listing.
arc::PatternSet SettledPatterns(const Request& request) {
  arc::PatternSet patterns = Patterns(request.names, request.switches.Number(L"p", 1) != 0);
  patterns.Settle([&] { return lha::OpenCursor(request.archive); });
  return patterns;
}

std::wstring StoredName(const arc::FoundFile& file, bool folders, bool fromRoot) {
  std::wstring name;
  if (!folders) {
    name = arc::FileNameOf(file.fullPath);
  } else if (fromRoot) {
    name = file.fullPath.size() >= 2 && file.fullPath[1] == L':' ? file.fullPath.substr(2) : file.fullPath;
  } else {
    name = file.relative;
  }
  name = arc::SanitizeEntryPath(name);
  for (auto& c : name) {
    if (c == L'\\') c = L'/';
  }
  return name;
}

// Folder entries are read back with a trailing '/'; compared without it.
std::wstring NameKey(const std::wstring& name) {
  std::wstring key = arc::Lower(name);
  while (!key.empty() && key.back() == L'/') key.pop_back();
  return key;
}

std::string MethodFor(int jm) {
  switch (jm) {
    case 0: return "-lh0-";
    case 1: return "-lh1-";
    case 3: return "-lh6-";
    case 4: return "-lh7-";
    default: return "-lh5-";
  }
}

int DictionaryBits(const std::string& method) {
  return method == "-lh7-" ? 16 : method == "-lh6-" ? 15 : method == "-lh1-" ? 12 : 13;
}

// ---------------------------------------------------------------- extraction

int Extract(const Request& request, arc::Output& output, bool test) {
  const auto& sw = request.switches;
  arc::ExtractOptions options;
  options.destination = request.base;
  options.patterns = SettledPatterns(request);
  options.exclusions = Patterns(sw.All(L"jx"), false);
  options.keepFolders = sw.Number(L"x", request.command == L'e' ? 0 : 1) > 0;
  options.overwrite = sw.Number(L"c", 0) > 0;
  options.testOnly = test;
  options.namesGiven = arc::NamesSelect(request.names);
  auto reader = lha::OpenReader(request.archive);
  arc::ExtractResult result = arc::ExtractEntries(*reader, request.archive, options, output);
  return result.code;
}

int List(const Request& request, arc::Output& output) {
  arc::PatternSet patterns = SettledPatterns(request);
  auto cursor = lha::OpenCursor(request.archive);
  arc::EntryInfo entry;
  uint64_t original = 0, compressed = 0;
  int count = 0;
  output.Line(L"   Original   Packed  Ratio   Date     Time    Attr  Method  CRC   Name");
  while (cursor->Next(entry)) {
    if (!patterns.Matches(entry.name)) continue;
    INDIVIDUALINFO record;
    arc::FillRecord(entry, record, true);
    wchar_t line[128];
    wsprintfW(line, L"%10lu %9lu %3u.%u%%  %04u-%02u-%02u %02u:%02u:%02u  %S  %S %04X  ", record.dwOriginalSize,
              record.dwCompressedSize, record.wRatio / 10, record.wRatio % 10, (record.wDate >> 9) + 1980,
              (record.wDate >> 5) & 15, record.wDate & 31, record.wTime >> 11, (record.wTime >> 5) & 63,
              (record.wTime & 31) * 2, record.szAttribute, record.szMode, record.dwCRC);
    output.Line(line + entry.name);
    original += entry.originalSize;
    compressed += entry.compressedSize;
    ++count;
  }
  wchar_t total[96];
  wsprintfW(total, L"%10I64u %9I64u  %d files", original, compressed, count);
  output.Line(total);
  return 0;
}

// ------------------------------------------------------------------- writing

// Writes one file as a new entry at the current end of out.
class EntryWriter {
 public:
  EntryWriter(arc::AtomicFile& out, arc::Progress& progress) : out_(out), progress_(progress) {}

  // Returns false (after a warning) when the file could not be read.
  bool Add(const arc::FoundFile& file, const std::wstring& stored, const std::string& method, arc::Output& output,
           int& warning) {
    if (file.size >= 0xFFFFFFFFull) return Warn(ERROR_TOO_BIG, file.fullPath, output, warning);
    bool lossy = false;
    arc::ToCodePage(stored, 932, &lossy);
    if (lossy) return Warn(ERROR_INVALID_PATH, file.fullPath, output, warning);
    if (file.isDirectory) return AddFolder(file, stored, output);
    TFileHandle sourceFile(CreateFileW(file.fullPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!sourceFile) return Warn(ERROR_FILE_OPEN, file.fullPath, output, warning);
    HANDLE source = sourceFile.get();

    lha::NewEntry entry;
    entry.name = stored;
    entry.method = file.size == 0 ? "-lh0-" : method;
    entry.attributes = file.attributes & 0x27;
    entry.writeTime = file.writeTime;
    entry.createTime = file.createTime;
    entry.accessTime = file.accessTime;
    arc::EntryInfo info;
    info.name = stored;
    info.originalSize = file.size;
    info.attributes = entry.attributes;
    info.method = entry.method;
    info.writeTime = file.writeTime;
    if (!progress_.Begin(info, file.fullPath)) throw Error{ERROR_USER_CANCEL, L""};

    // A small entry is built in memory and written once, header and data:
    // writes and seeks cost a system call each under Wine.
    buffered_ = file.size <= BufferedEntry;
    pending_.clear();
    uint64_t headerAt = out_.Position();
    std::vector<uint8_t> header = lha::BuildHeader(entry);
    if (!buffered_) out_.Write(header.data(), header.size());
    uint64_t dataAt = out_.Position();

    uint16_t crc = 0;
    uint64_t original = 0;
    std::vector<uint8_t>& block = block_;
    bool read = false;
    auto readAll = [&](auto consume) {
      LARGE_INTEGER zero{};
      if (read) SetFilePointerEx(source, zero, nullptr, FILE_BEGIN);
      read = true;
      crc = 0;
      original = 0;
      DWORD got = 0;
      while (ReadFile(source, block.data(), static_cast<DWORD>(block.size()), &got, nullptr) && got > 0) {
        crc = lha::Crc16(block.data(), got, crc);
        original += got;
        consume(block.data(), got);
      }
    };
    auto put = [this](const uint8_t* data, size_t size) { Put(data, size); };
    if (entry.method == "-lh0-") {
      readAll([&](const uint8_t* data, size_t size) {
        put(data, size);
        if (!progress_.Advance(size)) throw Error{ERROR_USER_CANCEL, L""};
      });
    } else {
      lha::Encoder& encoder = EncoderFor(DictionaryBits(entry.method));
      readAll([&](const uint8_t* data, size_t size) {
        encoder.Write(data, size);
        if (!progress_.Advance(size)) throw Error{ERROR_USER_CANCEL, L""};
      });
      encoder.Finish();
      // Data that does not shrink is stored as it is.
      if ((buffered_ ? pending_.size() : out_.Position() - dataAt) >= original) {
        entry.method = "-lh0-";
        if (buffered_) {
          pending_.clear();
        } else {
          out_.Seek(dataAt);
          SetEndOfFile(out_.Handle());
        }
        readAll(put);
      }
    }
    if (!progress_.Finish()) throw Error{ERROR_USER_CANCEL, L""};
    entry.compressedSize = buffered_ ? pending_.size() : out_.Position() - dataAt;
    entry.originalSize = original;
    entry.crc = crc;
    std::vector<uint8_t> final = lha::BuildHeader(entry);
    if (final.size() != header.size()) throw Error{ERROR_MAKE_ARCHIVE, stored};
    if (buffered_) {
      final.insert(final.end(), pending_.begin(), pending_.end());
      out_.Write(final.data(), final.size());
    } else {
      uint64_t end = out_.Position();
      out_.Seek(headerAt);
      out_.Write(final.data(), final.size());
      out_.Seek(end);
    }
    output.Line(L"+ " + stored);
    return true;
  }

 private:
  // A folder entry: a header without data.
  bool AddFolder(const arc::FoundFile& file, const std::wstring& stored, arc::Output& output) {
    lha::NewEntry entry;
    entry.name = stored;
    entry.method = "-lhd-";
    entry.isDirectory = true;
    entry.attributes = FILE_ATTRIBUTE_DIRECTORY;
    entry.writeTime = file.writeTime;
    entry.createTime = file.createTime;
    entry.accessTime = file.accessTime;
    std::vector<uint8_t> header = lha::BuildHeader(entry);
    out_.Write(header.data(), header.size());
    output.Line(L"+ " + stored + L"/");
    return true;
  }

  static bool Warn(int code, const std::wstring& name, arc::Output& output, int& warning) {
    output.Message(code, name);
    if (warning == 0) warning = code;
    return false;
  }

  void Put(const uint8_t* data, size_t size) {
    if (buffered_) pending_.insert(pending_.end(), data, data + size);
    else out_.Write(data, size);
  }

  // One encoder for the whole archive (the method is the same for every entry).
  lha::Encoder& EncoderFor(int bits) {
    if (!encoder_ || encoderBits_ != bits) {
      encoder_ = std::make_unique<lha::Encoder>(bits, [this](const uint8_t* data, size_t size) { Put(data, size); });
      encoderBits_ = bits;
    } else {
      encoder_->Reset();
    }
    return *encoder_;
  }

  arc::AtomicFile& out_;
  arc::Progress& progress_;
  std::vector<uint8_t> block_ = std::vector<uint8_t>(64 * 1024);  // a progress report at least every 64 KiB
  std::unique_ptr<lha::Encoder> encoder_;
  int encoderBits_ = 0;
  static constexpr uint64_t BufferedEntry = 1 << 20;
  bool buffered_ = false;
  std::vector<uint8_t> pending_;  // the entry's data while buffered_
};

void CopyRange(arc::InputFile& from, uint64_t offset, uint64_t size, arc::AtomicFile& to) {
  std::vector<uint8_t> block(256 * 1024);
  while (size > 0) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(size, block.size()));
    size_t got = from.ReadAt(offset, block.data(), want);
    if (got != want) throw Error{ERROR_UNEXPECTED_EOF, L""};
    to.Write(block.data(), got);
    offset += got;
    size -= got;
  }
}

bool Newer(const FILETIME& file, const FILETIME& entry) {
  return arc::UnixFromFileTime(file) > arc::UnixFromFileTime(entry) + 1;
}

int Modify(const Request& request, arc::Output& output) {
  const auto& sw = request.switches;
  wchar_t command = request.command;
  bool exists = arc::FileExists(request.archive);
  if (exists && (GetFileAttributesW(request.archive.c_str()) & FILE_ATTRIBUTE_READONLY))
    throw Error{ERROR_ARC_READ_ONLY, request.archive};
  if (!exists && (command == L'd' || command == L'f')) throw Error{ERROR_NOT_FIND_ARC_FILE, request.archive};
  uint64_t start = 0;
  std::vector<lha::Header> old;
  if (exists) old = lha::ReadAllHeaders(request.archive, &start);

  // What goes into the new archive, in order: kept old entries, then new files.
  struct Item {
    const lha::Header* old = nullptr;
    const arc::FoundFile* file = nullptr;
    std::wstring stored;
  };
  std::vector<Item> items;
  std::vector<arc::FoundFile> files;
  int warning = 0;
  bool changed = false;

  if (command == L'd') {
    if (request.names.empty()) throw Error{ERROR_NOT_FILENAME, L""};
    arc::PatternSet patterns = Patterns(request.names, sw.Number(L"p", 1) != 0);
    for (const auto& header : old) patterns.Learn(header.name);
    for (const auto& header : old) {
      if (patterns.MatchesAny(header.name)) {
        output.Line(L"- " + header.name);
        changed = true;
      } else {
        items.push_back({&header, nullptr, header.name});
      }
    }
    if (!changed) throw Error{ERROR_NOT_FIND_FILE, request.names.front()};
  } else {
    arc::CollectOptions collect;
    collect.recursion = sw.Number(L"r", 0);
    collect.fullPathMatch = sw.Number(L"p", 0) > 0;
    collect.includeHidden = sw.Number(L"a", 0) > 0;
    collect.shortNames = sw.Number(L"ji", 0) > 0;
    auto jo = sw.Text(L"jo"), job = sw.Text(L"job");
    if (jo.present) collect.notBefore = arc::ParseDateBound(jo.value, false);
    if (job.present) collect.notAfter = arc::ParseDateBound(job.value, true);
    collect.exclusions = Patterns(sw.All(L"jx"), false);
    // A folder named on its own becomes a folder entry, so that an empty one
    // comes back on extraction.
    collect.namedFolders = sw.Number(L"x", 1) > 0;
    std::vector<std::wstring> unmatched;
    collect.unmatched = &unmatched;
    files = arc::CollectFiles(request.base, request.names, collect);
    for (const auto& name : unmatched) {
      output.Message(ERROR_NOT_FIND_FILE, name);
      if (warning == 0) warning = ERROR_NOT_FIND_FILE;
    }
    std::wstring self = arc::Lower(request.archive);
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const arc::FoundFile& f) { return arc::Lower(arc::FullPath(f.fullPath)) == self; }),
                files.end());
    if (files.empty()) throw Error{ERROR_NOT_FIND_FILE, request.names.empty() ? L"*.*" : request.names.front()};
    bool folders = sw.Number(L"x", 1) > 0;
    bool fromRoot = sw.Number(L"jf", 0) > 0;
    bool always = sw.Number(L"c", 0) > 0;
    std::map<std::wstring, size_t> byName;  // lower-case stored name -> file index
    std::vector<std::wstring> storedNames(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
      if (files[i].isDirectory && !folders) continue;
      storedNames[i] = StoredName(files[i], folders, fromRoot);
      if (storedNames[i].empty()) continue;
      byName.emplace(NameKey(storedNames[i]), i);  // the first of two same names wins
    }
    std::vector<bool> used(files.size(), false);
    for (const auto& header : old) {
      auto found = byName.find(NameKey(header.name));
      if (found == byName.end()) {
        items.push_back({&header, nullptr, header.name});
        continue;
      }
      const arc::FoundFile& file = files[found->second];
      used[found->second] = true;
      bool replace = command == L'a' || command == L'm' || always || Newer(file.writeTime, header.writeTime);
      if (replace) {
        items.push_back({nullptr, &file, storedNames[found->second]});
        changed = true;
      } else {
        items.push_back({&header, nullptr, header.name});
      }
    }
    if (command != L'f') {
      for (size_t i = 0; i < files.size(); ++i) {
        if (used[i] || storedNames[i].empty() || byName[NameKey(storedNames[i])] != i) continue;
        items.push_back({nullptr, &files[i], storedNames[i]});
        changed = true;
      }
    }
  }
  if (!changed) {
    output.Line(L"変更するファイルはありません。");
    return 0;
  }

  std::wstring work = sw.Text(L"w").value;
  std::string method = MethodFor(sw.Number(L"jm", 2));
  std::vector<const arc::FoundFile*> added;
  {
    std::unique_ptr<arc::InputFile> source;
    if (exists) source = std::make_unique<arc::InputFile>(request.archive);
    arc::AtomicFile out(request.archive, work);
    arc::Progress progress(request.archive);
    if (!progress.Open()) throw Error{ERROR_USER_CANCEL, L""};
    if (start > 0) CopyRange(*source, 0, start, out);  // the self-extractor's module
    EntryWriter writer(out, progress);
    size_t entries = 0;
    for (const auto& item : items) {
      if (item.old != nullptr) {
        CopyRange(*source, item.old->offset, item.old->End() - item.old->offset, out);
        ++entries;
      } else if (writer.Add(*item.file, item.stored, method, output, warning)) {
        added.push_back(item.file);
        ++entries;
      }
    }
    uint8_t endMark = 0;
    out.Write(&endMark, 1);
    progress.End();
    source.reset();
    if (entries == 0) {
      // An archive without entries is no archive: it goes away.
      out.Drop();
      if (exists && !DeleteFileW(request.archive.c_str())) throw Error{ERROR_CANNOT_WRITE, request.archive};
      return warning;
    }
    out.Commit();
  }
  if (command == L'm') {
    for (const auto* file : added) {
      if (file->isDirectory) {
        RemoveDirectoryW(file->fullPath.c_str());  // only when nothing was put into it meanwhile
        continue;
      }
      SetFileAttributesW(file->fullPath.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileW(file->fullPath.c_str())) output.Message(ERROR_CANNOT_WRITE, file->fullPath);
    }
  }
  return warning;
}

// ------------------------------------------------------------ self-extractor

std::wstring ModuleFolder() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ModuleFolder), &self);
  return arc::FolderOf(ModulePath(self));
}

int MakeSfx(const Request& request, arc::Output& output) {
  const auto& sw = request.switches;
  // -gw: 32-bit GUI modules (1 plain, 3 with options, 4 installer); -jw: 16-bit Windows; neither: DOS.
  int gw = sw.Number(L"gw", 0), jw = sw.Number(L"jw", 0);
  std::wstring stub = gw == 4  ? L"sfxinst.dat"
                      : gw > 0 ? L"lhasfx32.dat"
                      : jw > 0 ? L"lhasfx16.dat"
                               : L"lhasfxd.dat";
  std::wstring stubPath = arc::JoinPath(ModuleFolder(), stub);
  if (!arc::FileExists(stubPath)) throw Error{ERROR_NOT_SUPPORT, L"自己解凍モジュール " + stub + L" がありません。"};
  lha::ReadAllHeaders(request.archive);  // a damaged archive makes no self-extractor
  std::wstring name = arc::FileNameOf(request.archive);
  size_t dot = name.rfind(L'.');
  name = (dot == std::wstring::npos ? name : name.substr(0, dot)) + L".exe";
  std::wstring folder = request.base.empty() ? arc::FolderOf(request.archive) : request.base;
  std::wstring target = arc::JoinPath(folder, name);
  // An output folder that is not there yet is made, as for extraction.
  if (!arc::CreateFolders(folder)) throw Error{ERROR_MAKEDIRECTORY, folder};
  arc::AtomicFile out(target);
  for (const auto& part : {stubPath, request.archive}) {
    arc::InputFile in(part);
    CopyRange(in, 0, in.Size(), out);
  }
  out.Commit();
  output.Line(target);
  return 0;
}

// ------------------------------------------------------------------ entries

int Run(HWND, const std::string& line, arc::Output& output) {
  Request request = Parse(line, true);
  switch (request.command) {
    case L'x':
    case L'e': return Extract(request, output, false);
    case L't': return Extract(request, output, true);
    case L'l':
    case L'v': return List(request, output);
    case L'a':
    case L'u':
    case L'f':
    case L'm':
    case L'd': return Modify(request, output);
    case L's': return MakeSfx(request, output);
    default: throw Error{ERROR_COMMAND_NAME, std::wstring(1, request.command)};
  }
}

std::unique_ptr<arc::EntryCursor> Open(const std::wstring& path, DWORD) { return lha::OpenCursor(path); }

bool Check(const std::wstring& path, int mode) {
  bool searchAll = (mode & (CHECKARCHIVE_ALL | CHECKARCHIVE_SFX)) != 0;
  int level = mode & 3;
  if (level == CHECKARCHIVE_FULLCRC) {
    auto reader = lha::OpenReader(path, searchAll);
    arc::EntryInfo entry;
    std::vector<char> block(256 * 1024);
    while (reader->Next(entry)) {
      while (reader->Read(block.data(), block.size()) > 0) {
      }
    }
    return true;
  }
  auto cursor = lha::OpenCursor(path, searchAll);
  arc::EntryInfo entry;
  if (level == CHECKARCHIVE_RAPID) return cursor->Next(entry);
  bool any = false;
  while (cursor->Next(entry)) any = true;
  return any;
}

int Mem(HWND, const std::string& line, arc::MemoryTarget& target, arc::Output&) {
  Request request = Parse(line, false);
  if (request.names.empty()) throw Error{ERROR_NOT_FILENAME, L""};
  auto reader = lha::OpenReader(request.archive);
  return arc::ExtractToMemory(*reader, request.names.front(), target);
}

}  // namespace

ARC_EXPORT_COMMAND(Unlha, Run)
ARC_EXPORT_COMMON(Unlha, 320)
ARC_EXPORT_LISTING(Unlha, Open, Check)
ARC_EXPORT_EXTRACTMEM(Unlha, Mem)
