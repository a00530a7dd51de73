#include "archivers/zip/ZipCommands.h"

#include "archivers/zip/ZipAhead.h"
#include "archivers/zip/ZipFormat.h"
#include "archivers/zip/ZipReader.h"
#include "engine/SystemText.h"

#include <zlib.h>

#include <algorithm>
#include <map>
#include <vector>

namespace zip {
namespace {

std::wstring Trimmed(std::wstring path) {
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

bool EndsWithSlash(const std::wstring& word) {
  return !word.empty() && (word.back() == L'\\' || word.back() == L'/');
}

bool StartsWithFolder(const std::wstring& path, const std::wstring& folder) {
  std::wstring prefix = arc::Lower(Trimmed(folder));
  if (prefix.empty() || prefix.back() != L'\\') prefix += L'\\';
  return arc::Lower(path).compare(0, prefix.size(), prefix) == 0;
}

// The parts of the command line every ZIP command shares.
struct Words {
  std::wstring archive;
  std::wstring folder;  // destination (UnZip) or base folder (Zip); empty = none
  std::vector<std::wstring> names;
};

Words SplitWords(const arc::CommandLine& line) {
  Words words;
  size_t i = 0;
  if (i < line.words.size()) words.archive = line.words[i++].text;
  if (i < line.words.size() && !line.words[i].listed && EndsWithSlash(line.words[i].text))
    words.folder = line.words[i++].text;
  for (; i < line.words.size(); ++i) words.names.push_back(line.words[i].text);
  if (words.archive.empty()) throw arc::Error{ERROR_NOT_FIND_ARC_FILE, L"archive name missing"};
  return words;
}

// ---------------------------------------------------------------- UnZip

struct UnzipOptions {
  bool overwrite = false;
  bool junk = false;
  bool test = false;
  std::string password;
};

UnzipOptions ParseUnzipSwitches(const std::vector<std::wstring>& switches) {
  UnzipOptions o;
  for (std::wstring s : switches) {
    bool on = true;
    if (!s.empty() && s[0] == L'-') on = false, s.erase(0, 1);  // "--X" turns X off
    if (s.empty()) continue;
    if (s[0] == L'P') {
      o.password = on ? arc::ToAnsi(s.substr(1)) : std::string();
      continue;
    }
    for (wchar_t c : s) {
      switch (c) {
        case L'o': o.overwrite = on; break;
        case L'n': if (on) o.overwrite = false; break;
        case L'j': o.junk = on; break;
        case L't': o.test = on; break;
        default: break;  // x (extract), i (no dialog: we show none), q, a, ...: nothing to do
      }
    }
  }
  return o;
}

// Counts what the filter let through, so that names matching nothing are reported.
class CountingReader : public arc::EntryReader {
 public:
  explicit CountingReader(std::unique_ptr<arc::EntryReader> inner) : inner_(std::move(inner)) {}
  bool Next(arc::EntryInfo& entry) override {
    bool found = inner_->Next(entry);
    if (found) ++count_;
    return found;
  }
  size_t Read(void* buffer, size_t size) override { return inner_->Read(buffer, size); }
  int Count() const { return count_; }

 private:
  std::unique_ptr<arc::EntryReader> inner_;
  int count_ = 0;
};

// ---------------------------------------------------------------- Zip

enum class Mode { Add, Update, Freshen, Delete, Adjust };

struct ZipOptions {
  Mode mode = Mode::Add;
  bool system = false, noFolders = false, verbose = false, quiet = false, recurse = false;
  bool archiveTime = false, junkPaths = false, fix = false, dosNames = false, junkStub = false;
  int level = 6;
  std::string password;
};

ZipOptions ParseZipSwitches(const std::vector<std::wstring>& switches) {
  ZipOptions o;
  bool update = false, freshen = false, remove = false, adjust = false;
  for (const std::wstring& s : switches) {
    if (s.empty()) continue;
    if (s == L"FF" || s == L"F") {
      o.fix = true;
      continue;
    }
    if (s[0] == L'P') {
      o.password = arc::ToAnsi(s.substr(1));
      continue;
    }
    if (s[0] == L'-') continue;  // long options of other zips: nothing we need
    for (wchar_t c : s) {
      if (c >= L'0' && c <= L'9') {
        o.level = c - L'0';
        continue;
      }
      switch (c) {
        case L'S': o.system = true; break;
        case L'D': o.noFolders = true; break;
        case L'v': o.verbose = true; break;
        case L'q': o.quiet = true; break;
        case L'r': case L'R': o.recurse = true; break;
        case L'o': o.archiveTime = true; break;
        case L'u': update = true; break;
        case L'f': freshen = true; break;
        case L'd': remove = true; break;
        case L'j': o.junkPaths = true; break;
        case L'k': o.dosNames = true; break;
        case L'J': o.junkStub = true; break;
        case L'A': adjust = true; break;
        default: break;
      }
    }
  }
  o.mode = remove ? Mode::Delete : adjust ? Mode::Adjust : freshen ? Mode::Freshen : update ? Mode::Update : Mode::Add;
  return o;
}

// A file or folder on disk that goes into the archive.
struct Source {
  std::wstring path;
  std::wstring stored;  // '/'-separated, folders end in '/'
  bool folder = false;
  FILETIME writeTime{};
  DWORD attributes = 0;
  uint64_t size = 0;
};

std::wstring ShortStoredName(const std::wstring& path, const std::wstring& stored) {
  // DOS names: the short name of each stored part, upper case.
  size_t parts = std::count(stored.begin(), stored.end(), L'/') + 1;
  std::wstring shortPath =
      ReadSystemText([&path](wchar_t* buffer, DWORD size) { return GetShortPathNameW(path.c_str(), buffer, size); });
  if (shortPath.empty()) shortPath = path;
  std::vector<std::wstring> pieces;
  std::wstring piece;
  for (wchar_t c : shortPath) {
    if (c == L'\\' || c == L'/') {
      pieces.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  pieces.push_back(piece);
  std::wstring result;
  for (size_t i = pieces.size() >= parts ? pieces.size() - parts : 0; i < pieces.size(); ++i) {
    if (!result.empty()) result += L'/';
    result += pieces[i];
  }
  CharUpperBuffW(result.data(), static_cast<DWORD>(result.size()));
  return result;
}

class Collector {
 public:
  Collector(const ZipOptions& options, std::wstring base, std::wstring archive)
      : options_(options), base_(std::move(base)), archive_(arc::Lower(std::move(archive))) {}

  // One name of the command line: a file, a folder or a wildcard pattern,
  // relative to the base folder unless absolute. Returns false when it
  // matched nothing.
  bool AddName(const std::wstring& name) {
    size_t before = sources_.size();
    matchedExisting_ = false;
    std::wstring path = name;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    bool absolute = (path.size() >= 2 && path[1] == L':') || (!path.empty() && path[0] == L'\\');
    if (!absolute) path = arc::JoinPath(base_, path);
    size_t slash = path.find_last_of(L'\\');
    std::wstring folder = path.substr(0, slash), mask = path.substr(slash + 1);
    folder = Unescape(folder);
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    if (!HasWildcard(mask)) {
      std::wstring literal = arc::JoinPath(folder, Unescape(mask));
      WIN32_FILE_ATTRIBUTE_DATA data;
      if (!GetFileAttributesExW(literal.c_str(), GetFileExInfoStandard, &data)) return false;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        // -D leaves out the folder entries that files imply; an empty folder
        // named on its own has nothing else to stand for it.
        if (options_.noFolders && !options_.junkPaths && arc::FolderIsEmpty(literal))
          Push(Make(literal, data, true));
        else
          AddFolder(literal, data);
        if (options_.recurse) Walk(literal, L"*");
      } else {
        AddFile(literal, data);
      }
    } else {
      Walk(folder.empty() ? L"\\" : folder, mask);
    }
    return sources_.size() > before || matchedExisting_;
  }

  std::vector<Source>& Sources() { return sources_; }

 private:
  template <typename Data>
  Source Make(const std::wstring& path, const Data& data, bool folder) {
    Source s;
    s.path = arc::FullPath(path);
    s.folder = folder;
    s.writeTime = data.ftLastWriteTime;
    s.attributes = data.dwFileAttributes;
    s.size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    std::wstring relative;
    if (!base_.empty() && StartsWithFolder(s.path, base_)) {
      std::wstring prefix = Trimmed(base_);
      relative = s.path.substr(prefix.size() + (prefix.back() == L'\\' ? 0 : 1));
    } else {
      relative = s.path;
    }
    if (options_.junkPaths) relative = arc::FileNameOf(relative);
    relative = arc::SanitizeEntryPath(relative);  // no drive, root or ".." in what we store
    if (options_.dosNames && !relative.empty()) relative = ShortStoredName(s.path, relative);
    std::replace(relative.begin(), relative.end(), L'\\', L'/');
    s.stored = relative;
    if (folder && !s.stored.empty()) s.stored += L'/';
    return s;
  }

  bool Push(Source s) {
    if (s.stored.empty() || arc::Lower(s.path) == archive_) {
      matchedExisting_ = true;  // the archive itself is never added to itself
      return false;
    }
    std::wstring key = arc::Lower(s.stored);
    if (!seen_.emplace(key, sources_.size()).second) {
      matchedExisting_ = true;
      return false;
    }
    sources_.push_back(std::move(s));
    return true;
  }

  template <typename Data>
  void AddFile(const std::wstring& path, const Data& data) {
    Push(Make(path, data, false));
  }

  template <typename Data>
  void AddFolder(const std::wstring& path, const Data& data) {
    if (options_.noFolders || options_.junkPaths) {
      matchedExisting_ = true;
      return;
    }
    Push(Make(path, data, true));
  }

  bool Hidden(DWORD attributes) const {
    return !options_.system && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  }

  // Files matching mask in folder, and with -r in every folder below it.
  void Walk(const std::wstring& folder, const std::wstring& mask) {
    WIN32_FIND_DATAW data;
    TFindHandle find(FindFirstFileExW(arc::JoinPath(folder, L"*").c_str(), FindExInfoBasic, &data,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return;
    std::vector<std::wstring> folders;
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      if (Hidden(data.dwFileAttributes)) continue;
      std::wstring path = arc::JoinPath(folder, name);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (options_.recurse) {
          AddFolder(path, data);
          folders.push_back(path);
        }
      } else if (ZipWildcard(mask, name)) {
        AddFile(path, data);
      }
    } while (FindNextFileW(find.get(), &data));
    find.reset();  // closed before descending
    for (const auto& sub : folders) Walk(sub, mask);
  }

  const ZipOptions& options_;
  std::wstring base_;
  std::wstring archive_;
  std::vector<Source> sources_;
  std::map<std::wstring, size_t> seen_;
  bool matchedExisting_ = false;
};

// The core's atomic file as the writer's sink.
class AtomicSink : public Sink {
 public:
  explicit AtomicSink(arc::AtomicFile& file) : file_(file) {}
  bool Write(const void* data, size_t size) override {
    file_.Write(data, size);
    return true;
  }
  bool Seek(uint64_t offset) override {
    file_.Seek(offset);
    return true;
  }
  uint64_t Tell() const override { return file_.Position(); }
  bool Truncate() override { return SetEndOfFile(file_.Handle()) != 0; }

 private:
  arc::AtomicFile& file_;
};

// What the new archive holds, in order: entries kept from the old one and
// files to add.
struct Item {
  const Entry* old = nullptr;
  const Source* source = nullptr;
  bool replaces = false;
};

Entry NewEntry(const Source& s) {
  Entry e;
  bool lossy = false;
  std::string ansi = arc::ToCodePage(s.stored, CP_ACP, &lossy);
  if (lossy) {
    // Not expressible in the ANSI code page: UTF-8 with the flag that says so.
    e.name = arc::ToCodePage(s.stored, CP_UTF8);
    e.flags |= FlagUtf8;
  } else {
    e.name = ansi;
  }
  e.madeBy = 0x001E;  // MS-DOS attributes, version 3.0
  e.externalAttributes = s.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE);
  if (s.folder) e.externalAttributes |= FILE_ATTRIBUTE_DIRECTORY;
  FileTimeToDos(s.writeTime, e.dosDate, e.dosTime);
  // The extended timestamp keeps the exact UTC time for other tools.
  int64_t unix = FileTimeToUnix(s.writeTime);
  if (unix >= 0 && unix <= 0x7FFFFFFF) {
    e.modifiedUnix = unix;
    e.extra = std::string("\x55\x54\x05\x00\x01", 5);
    for (int i = 0; i < 4; ++i) e.extra += static_cast<char>((unix >> (8 * i)) & 0xFF);
  }
  if (!(e.flags & FlagUtf8) && arc::ToCodePage(s.stored, CP_UTF8) != e.name) {
    // A CP932 name also goes out in UTF-8 (Info-ZIP's unicode path field),
    // for tools that do not know the code page; readers that do keep ours.
    std::string utf8 = arc::ToCodePage(s.stored, CP_UTF8);
    uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.name.data()),
                                               static_cast<uInt>(e.name.size())));
    size_t length = 5 + utf8.size();
    e.extra += std::string("\x75\x70", 2);
    e.extra += static_cast<char>(length & 0xFF);
    e.extra += static_cast<char>(length >> 8);
    e.extra += '\x01';
    for (int i = 0; i < 4; ++i) e.extra += static_cast<char>((crc >> (8 * i)) & 0xFF);
    e.extra += utf8;
  }
  e.size = s.size;
  return e;
}

bool IsNewer(const FILETIME& file, const Entry& entry) {
  return FileTimeToUnix(file) > FileTimeToUnix(entry.WriteTime()) + 1;
}

std::wstring Percent(uint64_t size, uint64_t packed) {
  if (size == 0) return L"0%";
  int64_t saved = 100 - static_cast<int64_t>(packed * 100 / size);
  return std::to_wstring(std::max<int64_t>(saved, 0)) + L"%";
}

int Modify(const ZipOptions& o, const Words& words, arc::Output& output) {
  std::wstring archive = arc::FullPath(words.archive);
  bool exists = arc::FileExists(archive);
  if (!exists && o.mode != Mode::Delete && o.mode != Mode::Adjust &&
      arc::FileNameOf(archive).find(L'.') == std::wstring::npos && !arc::DirectoryExists(archive)) {
    archive += L".zip";  // Info-ZIP's rule for a name without extension
    exists = arc::FileExists(archive);
  }
  if (!exists && (o.mode == Mode::Delete || o.mode == Mode::Adjust || o.mode == Mode::Freshen))
    throw arc::Error{ERROR_NOT_FIND_ARC_FILE, archive};
  if (exists && (GetFileAttributesW(archive.c_str()) & FILE_ATTRIBUTE_READONLY))
    throw arc::Error{ERROR_ARC_READ_ONLY, archive};

  File oldFile;
  Directory old;
  if (exists) LoadDirectory(oldFile, archive, old, o.fix);

  std::wstring base = words.folder.empty() ? arc::FullPath(L".") : arc::FullPath(words.folder);
  std::vector<Item> plan;
  Collector collector(o, base, archive);
  int warning = 0;

  if (o.mode == Mode::Delete) {
    if (words.names.empty()) throw arc::Error{ERROR_NOT_FILENAME, L""};
    int removed = 0;
    ZipPatterns patterns(words.names, old);
    for (const Entry& e : old.entries) {
      std::wstring name = e.WideName();
      if (patterns.Matches(name)) {
        ++removed;
        if (!o.quiet) output.Line(L"deleting: " + name);
      } else {
        plan.push_back({&e, nullptr});
      }
    }
    if (removed == 0) throw arc::Error{ERROR_NOT_FIND_FILE, words.names.front()};
    if (plan.empty()) {
      // Nothing left: the archive goes away rather than stay as an empty shell.
      oldFile.Close();
      if (!DeleteFileW(archive.c_str())) throw arc::Error{ERROR_CANNOT_WRITE, archive};
      return 0;
    }
  } else if (o.mode == Mode::Adjust) {
    if (old.bias == 0 && !(o.junkStub && old.prefixSize > 0)) return 0;  // offsets already count from the start
    for (const Entry& e : old.entries) plan.push_back({&e, nullptr});
  } else {
    std::vector<std::wstring> names = words.names;
    if (names.empty() && o.mode == Mode::Freshen) {
      for (const Entry& e : old.entries)
        if (!e.IsDirectory()) names.push_back(e.WideName());
    }
    if (names.empty()) throw arc::Error{ERROR_NOT_FILENAME, L""};
    for (const std::wstring& name : names) {
      if (!collector.AddName(name)) {
        output.Line(L"name not matched: " + name);
        warning = ERROR_NOT_FIND_FILE;
      }
    }
    std::map<std::wstring, size_t> byName;
    for (const Entry& e : old.entries) {
      byName.emplace(arc::Lower(e.WideName()), plan.size());
      plan.push_back({&e, nullptr});
    }
    bool changed = false;
    for (const Source& s : collector.Sources()) {
      auto found = byName.find(arc::Lower(s.stored));
      if (found != byName.end()) {
        Item& item = plan[found->second];
        if (s.folder || ((o.mode == Mode::Update || o.mode == Mode::Freshen) && !IsNewer(s.writeTime, *item.old)))
          continue;
        item.source = &s;
        item.replaces = true;
        changed = true;
      } else if (o.mode != Mode::Freshen) {
        plan.push_back({nullptr, &s});
        changed = true;
      }
    }
    if (collector.Sources().empty() && !exists) throw arc::Error{ERROR_NOT_FIND_FILE, L"nothing to do"};
    if (!changed && !(o.junkStub && old.prefixSize > 0)) {
      if (!o.quiet) output.Line(L"nothing to update");
      return warning;
    }
  }

  arc::Progress progress(archive);
  if (!progress.Open()) throw arc::Error{ERROR_USER_CANCEL, L""};
  arc::AtomicFile out(archive);
  AtomicSink sink(out);
  Writer writer(sink);
  if (exists && old.prefixSize > 0 && !o.junkStub) {
    // A self-extractor stub stays in front; the offsets we write count from
    // the start of the file, which is what -A asks for.
    std::vector<char> block(1 << 20);
    uint64_t left = old.prefixSize;
    if (!oldFile.Seek(0)) throw arc::Error{ERROR_CANNOT_READ, archive};
    while (left > 0) {
      size_t chunk = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
      if (!oldFile.ReadExact(block.data(), chunk)) throw arc::Error{ERROR_CANNOT_READ, archive};
      sink.Write(block.data(), chunk);
      left -= chunk;
    }
  }
  FILETIME newest{};
  auto note = [&](const Entry& e) {
    FILETIME t = e.WriteTime();
    if (CompareFileTime(&t, &newest) > 0) newest = t;
  };
  // Files that fit in memory are compressed on worker threads ahead of this
  // one (deflate is most of the time); large and encrypted ones are streamed here.
  constexpr uint64_t AheadBudget = 64 << 20, AheadFile = AheadBudget / 2;
  constexpr size_t NoJob = static_cast<size_t>(-1);
  std::vector<size_t> jobOf(plan.size(), NoJob);
  std::unique_ptr<Ahead> ahead;
  if (o.password.empty() && Ahead::Processors() > 1) {
    std::vector<Ahead::Job> jobs;
    for (size_t k = 0; k < plan.size(); ++k) {
      const Source* s = plan[k].source;
      if (s == nullptr || s->folder || s->size > AheadFile) continue;
      jobOf[k] = jobs.size();
      jobs.push_back({s->path, s->size});
    }
    if (jobs.size() > 1) ahead = std::make_unique<Ahead>(std::move(jobs), o.level, AheadBudget, 4);
  }
  for (size_t k = 0; k < plan.size(); ++k) {
    const Item& item = plan[k];
    if (item.source == nullptr) {
      if (!writer.CopyRaw(oldFile, *item.old, item.old->localOffset + old.bias))
        throw arc::Error{ERROR_HEADER_BROKEN, item.old->WideName()};
      note(*item.old);
      continue;
    }
    const Source& s = *item.source;
    Entry entry = NewEntry(s);
    auto openFailed = [&]() {
      output.Message(ERROR_FILE_OPEN, s.path);
      warning = ERROR_FILE_OPEN;
      if (item.old != nullptr && !writer.CopyRaw(oldFile, *item.old, item.old->localOffset + old.bias))
        throw arc::Error{ERROR_HEADER_BROKEN, item.old->WideName()};
    };
    arc::EntryInfo info = Describe(entry);
    uint64_t reported = 0;
    auto advance = [&](uint64_t done) {
      bool go = progress.Advance(done - reported);
      reported = done;
      return go;
    };
    if (ahead && jobOf[k] != NoJob) {
      size_t job = jobOf[k];
      bool begun = false;
      auto tick = [&](bool opened, uint64_t read) {
        if (!opened) return true;
        if (!begun) {
          begun = true;
          if (!progress.Begin(info, s.path)) return false;
        }
        return read <= reported || advance(read);
      };
      switch (ahead->Wait(job, tick)) {
        case Ahead::State::Done: break;
        case Ahead::State::OpenError: openFailed(); continue;
        case Ahead::State::Cancelled: throw arc::Error{ERROR_USER_CANCEL, L""};
        default: throw arc::Error{ERROR_CANNOT_READ, s.path};
      }
      const Packed& packed = ahead->Result(job);
      if (!tick(true, packed.size)) throw arc::Error{ERROR_USER_CANCEL, L""};
      if (!writer.AddPacked(entry, packed, o.level)) throw arc::Error{ERROR_CANNOT_WRITE, archive};
      ahead->Release(job);
    } else {
      File input;
      if (!s.folder && !input.OpenRead(s.path)) {
        openFailed();
        continue;
      }
      if (!progress.Begin(info, s.path)) throw arc::Error{ERROR_USER_CANCEL, L""};
      switch (writer.Add(entry, s.folder ? nullptr : &input, o.level, o.password, advance)) {
        case Writer::AddResult::Ok: break;
        case Writer::AddResult::Cancelled: throw arc::Error{ERROR_USER_CANCEL, L""};
        case Writer::AddResult::ReadError: throw arc::Error{ERROR_CANNOT_READ, s.path};
        case Writer::AddResult::WriteError: throw arc::Error{ERROR_CANNOT_WRITE, archive};
      }
    }
    if (!progress.Finish()) throw arc::Error{ERROR_USER_CANCEL, L""};
    const Entry& added = writer.Entries().back();
    note(added);
    if (!o.quiet) {
      std::wstring verb = item.replaces ? L"updating: " : L"  adding: ";
      std::wstring how = s.folder ? L" (stored 0%)"
                         : added.method == 8 ? L" (deflated " + Percent(added.size, added.compressedSize) + L")"
                                             : L" (stored 0%)";
      std::wstring line = verb + s.stored + how;
      if (o.verbose) line += L" " + std::to_wstring(added.size) + L" -> " + std::to_wstring(added.compressedSize);
      output.Line(line);
    }
  }
  if (!writer.Finish(old.comment)) throw arc::Error{ERROR_CANNOT_WRITE, archive};
  oldFile.Close();  // the old archive must be closed before it can be replaced
  out.Commit(o.archiveTime && !arc::IsZero(newest) ? &newest : nullptr);
  progress.End();
  return warning;
}

}  // namespace

int RunUnZip(HWND, const std::string& line, arc::Output& output) {
  arc::CommandLine parsed = arc::ParseCommandLine(line, {L"P"}, false);
  UnzipOptions o = ParseUnzipSwitches(parsed.switches);
  Words words = SplitWords(parsed);
  std::wstring archive = arc::FullPath(words.archive);
  CountingReader reader(OpenForExtraction(archive, o.password, words.names));
  arc::ExtractOptions options;
  options.destination = words.folder;
  options.keepFolders = !o.junk;
  options.overwrite = o.overwrite;
  options.testOnly = o.test;
  // Traditional encryption checks one byte of the password: a wrong one
  // passes for about one entry in 256, and an empty entry has no CRC to fail.
  // One entry that fails makes the password doubtful: files whose data
  // passed its CRC are kept, empty ones (nothing to check) are not.
  options.commitAtEnd = options.allOrNothing = !o.password.empty();
  arc::ExtractResult result = arc::ExtractEntries(reader, archive, options, output);
  if (!words.names.empty() && reader.Count() == 0) {
    output.Message(ERROR_NOT_FIND_FILE, words.names.front());
    return ERROR_NOT_FIND_FILE;
  }
  return result.code;
}

int RunZip(HWND, const std::string& line, arc::Output& output) {
  arc::CommandLine parsed = arc::ParseCommandLine(line, {L"P"}, false);
  ZipOptions o = ParseZipSwitches(parsed.switches);
  return Modify(o, SplitWords(parsed), output);
}

int ExtractMem(HWND, const std::string& line, arc::MemoryTarget& target, arc::Output&) {
  arc::CommandLine parsed = arc::ParseCommandLine(line, {L"P"}, false);
  UnzipOptions o = ParseUnzipSwitches(parsed.switches);
  Words words = SplitWords(parsed);
  if (!words.folder.empty()) words.names.insert(words.names.begin(), words.folder);
  if (words.names.empty()) throw arc::Error{ERROR_NOT_FILENAME, L""};
  auto reader = OpenForExtraction(arc::FullPath(words.archive), o.password, {words.names.front()});
  return arc::ExtractToMemory(*reader, L"*", target);
}

namespace {

class Listing : public arc::EntryCursor {
 public:
  // The directory is all a listing needs: the file is not kept open, so the
  // archive can be changed while a caller still holds the handle.
  explicit Listing(const std::wstring& path) {
    File file;
    LoadDirectory(file, path, directory_, false);
  }
  bool Next(arc::EntryInfo& entry) override {
    if (next_ >= directory_.entries.size()) return false;
    entry = Describe(directory_.entries[next_++]);
    return true;
  }

 private:
  Directory directory_;
  size_t next_ = 0;
};

}  // namespace

std::unique_ptr<arc::EntryCursor> OpenListing(const std::wstring& path, DWORD) {
  return std::make_unique<Listing>(path);
}

bool CheckZip(const std::wstring& path, int mode) {
  // The directory is found from the end of the file, so archives behind a
  // self-extractor stub pass at every level.
  ZipReader reader(path, std::string());
  if ((mode & 3) == CHECKARCHIVE_RAPID) return true;
  if ((mode & 3) == CHECKARCHIVE_BASIC) return reader.HeadersPresent();
  arc::EntryInfo entry;
  std::vector<char> block(256 * 1024);
  while (reader.Next(entry)) {
    if (entry.isDirectory) continue;
    try {
      while (reader.Read(block.data(), block.size()) > 0) {
      }
    } catch (const arc::Error& error) {
      if (error.code != ERROR_PASSWORD_FILE) return false;  // without a password, encrypted data cannot be checked
    }
  }
  return true;
}

}  // namespace zip
