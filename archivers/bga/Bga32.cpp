// BGA32.DLL: the BGA archives (".gza" deflate, ".bza" bzip2) on the shared core.
//
//   Bga <command> [-switches] archive [base folder\] [names | @list | -gbname]
//
//   x (default), e   extract (e: without folders)      a  add / replace
//   d                delete                             t  test every entry
//   l                list into the output buffer        s  make a self-extractor
//
//   -o overwrite existing files   -n only entries newer than the file on disk
//   -j no folders                 -r recurse into folders for wildcard names
//   -a hidden and system files    -l0 .. -l9 compression level
//   -i no dialogs (ours never show one)
#include "archivers/core/ArcCore.h"
#include "archivers/bga/BgaFormat.h"
#include "archivers/bga/BgaReader.h"
#include "archivers/sfx/SfxStubs.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <vector>

namespace {

const std::vector<std::wstring> KnownSwitches = {L"a", L"o", L"n", L"i", L"r", L"j", L"l"};

struct Command {
  std::wstring word;  // lower case
  arc::Switches switches;
  std::wstring archive;
  std::wstring baseFolder;  // "" when none was given
  std::vector<std::wstring> names;
};

bool EndsWithSeparator(const std::wstring& text) {
  return !text.empty() && (text.back() == L'\\' || text.back() == L'/');
}

Command Parse(const std::string& line) {
  arc::CommandLine parsed = arc::ParseCommandLine(line);
  Command command{arc::Lower(parsed.command), arc::Switches(parsed.switches, KnownSwitches), L"", L"", {}};
  if (command.word.empty()) command.word = L"x";
  size_t i = 0;
  if (i < parsed.words.size()) command.archive = parsed.words[i++].text;
  if (i < parsed.words.size() && !parsed.words[i].listed && EndsWithSeparator(parsed.words[i].text))
    command.baseFolder = parsed.words[i++].text;
  for (; i < parsed.words.size(); ++i) command.names.push_back(parsed.words[i].text);
  if (command.archive.empty()) throw arc::Error{ERROR_NOT_FIND_ARC_FILE, L""};
  return command;
}

// ---- writing ----

// The new archive is written beside the old one and replaces it only when
// complete; our format code writes through a C stream on the same file.
class ArchiveWriter {
 public:
  explicit ArchiveWriter(const std::wstring& target) : file_(target) {
    TKernelHandle duplicate;
    if (!DuplicateHandle(GetCurrentProcess(), file_.Handle(), GetCurrentProcess(), duplicate.put(), 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
      throw arc::Error{ERROR_TMP_OPEN, target};
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(duplicate.get()), _O_BINARY);
    if (descriptor < 0) throw arc::Error{ERROR_TMP_OPEN, target};
    duplicate.release();  // the descriptor owns it now
    stream_ = _fdopen(descriptor, "w+b");
    if (stream_ == nullptr) {
      _close(descriptor);
      throw arc::Error{ERROR_TMP_OPEN, target};
    }
  }
  ~ArchiveWriter() {
    if (stream_ != nullptr) std::fclose(stream_);
  }
  std::FILE* Stream() const { return stream_; }
  void Commit() {
    bool flushed = std::fflush(stream_) == 0;
    int error = errno;
    std::fclose(stream_);
    stream_ = nullptr;
    if (!flushed) throw arc::Error{error == ENOSPC ? ERROR_DISK_SPACE : ERROR_CANNOT_WRITE, L""};
    file_.Commit();
  }

 private:
  arc::AtomicFile file_;
  std::FILE* stream_ = nullptr;
};

[[noreturn]] void ThrowWriteResult(bga::Result result, const std::wstring& name) {
  switch (result) {
    case bga::Result::Cancelled:
      throw arc::Error{ERROR_USER_CANCEL, L""};
    case bga::Result::ReadError:
      throw arc::Error{ERROR_CANNOT_READ, name};
    case bga::Result::OutOfMemory:
      throw arc::Error{ERROR_ENOUGH_MEMORY, L""};
    case bga::Result::Unsupported:
      throw arc::Error{ERROR_TOO_BIG, name};
    default:
      throw arc::Error{errno == ENOSPC ? ERROR_DISK_SPACE : ERROR_CANNOT_WRITE, name};
  }
}

bool IsReadOnlyFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// The entries of an existing archive, kept in order (empty for a new one).
struct ExistingArchive {
  std::unique_ptr<TBgaReader> reader;
  std::vector<bga::Entry> entries;
};

ExistingArchive ReadExisting(const std::wstring& path) {
  ExistingArchive existing;
  if (!arc::FileExists(path)) return existing;
  existing.reader = std::make_unique<TBgaReader>(path);
  arc::EntryInfo info;
  while (existing.reader->Next(info)) existing.entries.push_back(existing.reader->Current());
  return existing;
}

// ---- collecting files to add ----

struct FileToAdd {
  std::wstring path;    // full path on disk
  std::wstring stored;  // folder\name as it goes into the archive
  uint64_t size;
  FILETIME writeTime;
  DWORD attributes;
};

bool HasWildcard(const std::wstring& name) { return name.find_first_of(L"*?") != std::wstring::npos; }

class FileCollector {
 public:
  FileCollector(const std::wstring& base, bool recurse, bool hidden, bool flat, const std::wstring& archive)
      : base_(base), recurse_(recurse), hidden_(hidden), flat_(flat), archive_(arc::Lower(arc::FullPath(archive))) {}

  void AddName(const std::wstring& name) {
    std::wstring full = arc::FullPath(IsAbsolute(name) ? name : arc::JoinPath(base_, name));
    while (full.size() > 3 && EndsWithSeparator(full)) full.pop_back();
    if (HasWildcard(arc::FileNameOf(full))) {
      AddMatches(arc::FolderOf(full), arc::FileNameOf(full));
    } else if (arc::DirectoryExists(full)) {
      AddMatches(full, L"*", true);
    } else {
      WIN32_FIND_DATAW data;
      if (!TFindHandle(FindFirstFileW(full.c_str(), &data))) {
        missing_.push_back(name);
        return;
      }
      AddFound(arc::FolderOf(full), data, true);
    }
  }

  const std::vector<FileToAdd>& Files() const { return files_; }
  const std::vector<std::wstring>& Missing() const { return missing_; }
  const std::vector<std::wstring>& Clashes() const { return clashes_; }

 private:
  static bool IsAbsolute(const std::wstring& name) {
    return (name.size() >= 2 && name[1] == L':') || (!name.empty() && (name[0] == L'\\' || name[0] == L'/'));
  }

  // Files in folder matching pattern; below it too with -r (or always for a named folder).
  void AddMatches(const std::wstring& folder, const std::wstring& pattern, bool everything = false) {
    WIN32_FIND_DATAW data;
    if (TFindHandle find(FindFirstFileW(arc::JoinPath(folder, pattern).c_str(), &data)); find) {
      do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) AddFound(folder, data, false);
      } while (FindNextFileW(find.get(), &data));
    }
    if (recurse_ || everything) {
      if (TFindHandle find(FindFirstFileW(arc::JoinPath(folder, L"*").c_str(), &data)); find) {
        do {
          std::wstring name = data.cFileName;
          if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L"..") continue;
          if (!hidden_ && (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) continue;
          // Junctions could lead back up the tree.
          if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
          AddMatches(arc::JoinPath(folder, name), pattern, everything);
        } while (FindNextFileW(find.get(), &data));
      }
    }
  }

  bool AddFound(const std::wstring& folder, const WIN32_FIND_DATAW& data, bool named) {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    if (!hidden_ && !named && (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) return false;
    std::wstring path = arc::JoinPath(folder, data.cFileName);
    if (arc::Lower(path) == archive_) return false;  // never the archive into itself
    std::wstring stored = StoredName(path);
    std::wstring key = arc::Lower(stored);
    auto [existing, fresh] = seen_.emplace(key, files_.size());
    if (!fresh) {
      // Two files for one name (flat adding of equal names): the first stays.
      if (arc::Lower(files_[existing->second].path) != arc::Lower(path)) clashes_.push_back(path);
      return false;
    }
    uint64_t size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    files_.push_back({path, stored, size, data.ftLastWriteTime, data.dwFileAttributes});
    return true;
  }

  // Relative to the base folder when below it, else only the file name.
  std::wstring StoredName(const std::wstring& path) const {
    if (flat_) return arc::FileNameOf(path);
    std::wstring root = arc::FullPath(base_.empty() ? L"." : base_);
    if (!EndsWithSeparator(root)) root += L'\\';
    if (arc::Lower(path).compare(0, root.size(), arc::Lower(root)) == 0) return path.substr(root.size());
    return arc::FileNameOf(path);
  }

  std::wstring base_;
  bool recurse_, hidden_, flat_;
  std::wstring archive_;
  std::vector<FileToAdd> files_;
  std::map<std::wstring, size_t> seen_;
  std::vector<std::wstring> missing_;
  std::vector<std::wstring> clashes_;
};

// Splits a stored name into the header's folder ("a\b\") and file name, in ANSI.
bool HeaderNames(const std::wstring& stored, std::string& folder, std::string& name) {
  bool lossy = false;
  std::string ansi = arc::ToCodePage(stored, CP_ACP, &lossy);
  if (lossy) return false;
  // The split happens on the wide text: a trail byte may equal '\' in ANSI.
  size_t slash = stored.find_last_of(L"\\/");
  std::wstring folderWide = slash == std::wstring::npos ? L"" : stored.substr(0, slash + 1);
  for (auto& c : folderWide) {
    if (c == L'/') c = L'\\';
  }
  folder = arc::ToAnsi(folderWide);
  name = arc::ToAnsi(slash == std::wstring::npos ? stored : stored.substr(slash + 1));
  return true;
}

std::FILE* OpenSource(const std::wstring& path) { return _wfopen(path.c_str(), L"rb"); }

int AddFiles(const Command& command, arc::Output& output) {
  std::wstring archive = arc::FullPath(command.archive);
  if (IsReadOnlyFile(archive)) throw arc::Error{ERROR_ARC_READ_ONLY, archive};
  int level = command.switches.Number(L"l", -1);
  FileCollector collector(command.baseFolder, command.switches.Number(L"r", 0) > 0,
                          command.switches.Number(L"a", 0) > 0, command.switches.Number(L"j", 0) > 0, archive);
  for (const auto& name : command.names) collector.AddName(name);
  int warning = 0;
  auto warn = [&](int code, const std::wstring& detail) {
    output.Message(code, detail);
    if (warning == 0) warning = code;
  };
  for (const auto& name : collector.Missing()) warn(ERROR_NOT_FIND_FILE, name);
  for (const auto& path : collector.Clashes()) warn(ERROR_SAME_NAME_FILE, path);
  if (collector.Files().empty()) {
    if (warning == 0) warning = ERROR_NOT_FIND_FILE;
    return warning;
  }

  ExistingArchive existing = ReadExisting(archive);
  if (existing.reader && existing.reader->ArchiveStart() != 0) throw arc::Error{ERROR_NOT_SUPPORT, archive};
  bga::Method method = existing.entries.empty() ? bga::MethodForArchiveName(arc::ToAnsi(archive))
                       : existing.entries.front().IsBzip2() ? bga::Method::Bzip2
                                                             : bga::Method::Deflate;
  std::map<std::string, size_t> replaced;  // lower-case stored path -> index of the new file
  std::vector<std::pair<std::string, std::string>> names(collector.Files().size());
  std::vector<bool> usable(collector.Files().size(), true);
  for (size_t i = 0; i < collector.Files().size(); ++i) {
    const FileToAdd& file = collector.Files()[i];
    if (!HeaderNames(file.stored, names[i].first, names[i].second)) {
      warn(ERROR_NOT_FILENAME, file.stored);
      usable[i] = false;
    } else if (names[i].first.size() + names[i].second.size() > bga::MaxPathBytes) {
      warn(ERROR_LONG_FILE_NAME, file.stored);
      usable[i] = false;
    } else if (file.size > 0xFFFFFFFFull) {
      warn(ERROR_TOO_BIG, file.path);
      usable[i] = false;
    }
  }

  arc::Progress progress(archive);
  if (!progress.Open()) throw arc::Error{ERROR_USER_CANCEL, L""};
  ArchiveWriter writer(archive);
  // Old entries keep their place unless a new file of the same name replaces them.
  std::map<std::wstring, bool> incoming;
  for (size_t i = 0; i < collector.Files().size(); ++i) {
    if (usable[i]) incoming[arc::Lower(arc::FromAnsi(names[i].first + names[i].second))] = true;
  }
  for (const auto& entry : existing.entries) {
    if (incoming.count(arc::Lower(arc::FromAnsi(entry.Path())))) continue;
    bga::Result copied = bga::CopyEntry(writer.Stream(), existing.reader->File(), entry);
    if (copied != bga::Result::Ok) ThrowWriteResult(copied, archive);
  }
  for (size_t i = 0; i < collector.Files().size(); ++i) {
    if (!usable[i]) continue;
    const FileToAdd& file = collector.Files()[i];
    std::FILE* source = OpenSource(file.path);
    if (source == nullptr) {
      warn(ERROR_FILE_OPEN, file.path);
      continue;
    }
    arc::EntryInfo info;
    info.name = file.stored;
    info.originalSize = file.size;
    info.writeTime = file.writeTime;
    info.attributes = file.attributes;
    info.method = method == bga::Method::Bzip2 ? "BZ2" : "GZIP";
    if (!progress.Begin(info, file.path)) {
      std::fclose(source);
      throw arc::Error{ERROR_USER_CANCEL, L""};
    }
    WORD date = 0, time = 0;
    arc::DosDateTime(file.writeTime, date, time);
    uint64_t reported = 0;
    bga::Result result = bga::WriteEntry(
        writer.Stream(), source, file.size, method, level, names[i].first, names[i].second, date, time,
        static_cast<uint8_t>(file.attributes & 0x27), [&](uint64_t done) {
          bool go = progress.Advance(done - reported);
          reported = done;
          return go;
        });
    std::fclose(source);
    if (result != bga::Result::Ok) ThrowWriteResult(result, file.path);
    if (!progress.Finish()) throw arc::Error{ERROR_USER_CANCEL, L""};
    output.Line(file.stored);
  }
  existing.reader.reset();  // the old file must be closed before it is replaced
  writer.Commit();
  progress.End();
  return warning;
}

int DeleteEntries(const Command& command, arc::Output& output) {
  std::wstring archive = arc::FullPath(command.archive);
  if (!arc::FileExists(archive)) throw arc::Error{ERROR_NOT_FIND_ARC_FILE, archive};
  if (IsReadOnlyFile(archive)) throw arc::Error{ERROR_ARC_READ_ONLY, archive};
  if (command.names.empty()) throw arc::Error{ERROR_NOT_FILENAME, L""};
  arc::PatternSet patterns(command.names);
  ExistingArchive existing = ReadExisting(archive);
  if (existing.reader->ArchiveStart() != 0) throw arc::Error{ERROR_NOT_SUPPORT, archive};  // a self-extractor
  std::vector<const bga::Entry*> kept;
  for (const auto& entry : existing.entries) patterns.Learn(arc::FromAnsi(entry.Path()));
  for (const auto& entry : existing.entries) {
    std::wstring name = arc::FromAnsi(entry.Path());
    if (patterns.MatchesAny(name)) {
      output.Line(name);
    } else {
      kept.push_back(&entry);
    }
  }
  if (kept.size() == existing.entries.size()) return ERROR_NOT_FIND_FILE;
  arc::Progress progress(archive);
  if (!progress.Open()) throw arc::Error{ERROR_USER_CANCEL, L""};
  ArchiveWriter writer(archive);
  for (const bga::Entry* entry : kept) {
    bga::Result copied = bga::CopyEntry(writer.Stream(), existing.reader->File(), *entry);
    if (copied != bga::Result::Ok) ThrowWriteResult(copied, archive);
  }
  existing.reader.reset();  // the old file must be closed before it is replaced
  writer.Commit();
  progress.End();
  return 0;
}

int Extract(const Command& command, bool testOnly, arc::Output& output) {
  std::wstring archive = arc::FullPath(command.archive);
  TBgaReader reader(archive);
  arc::ExtractOptions options;
  options.destination = command.baseFolder;
  options.patterns = arc::PatternSet(command.names);
  options.patterns.Settle([&] { return std::make_unique<TBgaReader>(archive); });
  options.keepFolders = command.word != L"e" && command.switches.Number(L"j", 0) <= 0;
  options.overwrite = command.switches.Number(L"o", 0) > 0 && command.switches.Number(L"n", 0) <= 0;
  options.testOnly = testOnly;
  options.namesGiven = arc::NamesSelect(command.names);
  return arc::ExtractEntries(reader, archive, options, output).code;
}

int List(const Command& command, arc::Output& output) {
  arc::PatternSet patterns(command.names);
  patterns.Settle([&] { return std::make_unique<TBgaReader>(arc::FullPath(command.archive)); });
  TBgaReader reader(arc::FullPath(command.archive));
  arc::EntryInfo entry;
  wchar_t line[128];
  while (reader.Next(entry)) {
    if (!patterns.Matches(entry.name)) continue;
    swprintf(line, 128, L"%10llu %10llu %-4ls ", static_cast<unsigned long long>(entry.originalSize),
             static_cast<unsigned long long>(entry.compressedSize), arc::FromAnsi(entry.method).c_str());
    std::wstring name = entry.name;
    std::replace(name.begin(), name.end(), L'/', L'\\');
    output.Line(line + name);
  }
  return 0;
}

// The self-extractor: our GUI stub with the archive appended, as
// <output folder>\<archive name>.exe (the archive's folder when none is given).
int MakeSelfExtractor(const Command& command, arc::Output& output) {
  std::wstring archive = arc::FullPath(command.archive);
  if (!TBgaReader::Probe(archive, false)) {
    throw arc::Error{arc::FileExists(archive) ? ERROR_NOT_ARC_FILE : ERROR_NOT_FIND_ARC_FILE, archive};
  }
  std::wstring folder = command.baseFolder.empty() ? arc::FolderOf(archive) : arc::FullPath(command.baseFolder);
  std::wstring name = arc::FileNameOf(archive);
  size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  std::wstring target = arc::JoinPath(folder, name + L".exe");
  std::wstring stub = sfx::StubBesideModule(sfx::GuiStub, &KnownSwitches);
  if (stub.empty()) throw arc::Error{ERROR_NOT_FIND_FILE, sfx::GuiStub};
  if (!arc::CreateFolders(folder)) throw arc::Error{ERROR_MAKEDIRECTORY, folder};
  DWORD error = sfx::JoinStubAndArchive(stub, archive, target);
  if (error != 0) throw arc::Error{error == ERROR_DISK_FULL ? ERROR_DISK_SPACE : ERROR_CANNOT_WRITE, target};
  output.Line(target);
  return 0;
}

int RunBga(HWND, const std::string& line, arc::Output& output) {
  Command command = Parse(line);
  const std::wstring& word = command.word;
  if (word == L"x" || word == L"e") return Extract(command, false, output);
  if (word == L"t") return Extract(command, true, output);
  if (word == L"a") return AddFiles(command, output);
  if (word == L"d") return DeleteEntries(command, output);
  if (word == L"l" || word == L"v") return List(command, output);
  if (word == L"s") return MakeSelfExtractor(command, output);
  throw arc::Error{ERROR_COMMAND_NAME, word};
}

std::unique_ptr<arc::EntryCursor> OpenBga(const std::wstring& path, DWORD) {
  return std::make_unique<TBgaReader>(path);
}

// Level 0 reads the first header, 1 every header, 2 every entry's data too.
bool CheckBga(const std::wstring& path, int mode) {
  try {
    TBgaReader reader(path);
    if ((mode & 3) == CHECKARCHIVE_RAPID) return true;
    arc::EntryInfo entry;
    std::vector<char> block(64 * 1024);
    while (reader.Next(entry)) {
      if ((mode & 3) < CHECKARCHIVE_FULLCRC) continue;
      while (reader.Read(block.data(), block.size()) != 0) {
      }
    }
    return true;
  } catch (const arc::Error&) {
    return false;
  }
}

}  // namespace

ARC_EXPORT_COMMAND(Bga, RunBga)
ARC_EXPORT_COMMON(Bga, 37)
ARC_EXPORT_LISTING(Bga, OpenBga, CheckBga)
