// CAB32.DLL: cabinets. Reading (any number of folders; stored, MSZIP, LZX
// and Quantum data) through libarchive, with the directory read here for
// what libarchive does not tell; writing is our own MSZIP cabinet with one
// folder. A cabinet cannot be changed in place: adding rebuilds it.
//   -x extract   -a create or add   -l list   -t test   -f self-extractor
//   -o overwrite existing files (otherwise only newer entries replace them)
//   -j no folders (extraction and adding)   -r recurse into folders (adding)
//   -q 8.3 short names (adding)   -h<dir> work folder (adding)
//   -i report to the owner window only (we never show a dialog anyway)
// Words: "archive" ["folder\"] [names]. Names select entries by whole path.
#include "archivers/core/ArcCore.h"
#include "archivers/cab/CabFormat.h"
#include "archivers/cab/CabWriter.h"
#include "archivers/rar/FamilyTools.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {

using arc::Error;

struct Located {
  uint64_t offset = 0;
  cab::Directory directory;
};

cab::ReadAt ReaderOf(arc::InputFile& file) {
  return [&file](uint64_t at, void* buffer, size_t size) { return file.ReadAt(at, buffer, size); };
}

// Finds the cabinet (also inside a self-extractor) and reads its directory.
Located Locate(const std::wstring& path, bool searchAll, bool walkBlocks) {
  Located where;
  auto valid = [](arc::InputFile& file, uint64_t at) { return cab::LooksLikeHeader(ReaderOf(file), at, file.Size()); };
  if (!family::FindArchiveStart(path, "MSCF", searchAll, valid, where.offset)) {
    // A cabinet cut short still starts with its signature: say what is wrong.
    arc::InputFile file(path);
    char start[4] = {};
    if (file.ReadAt(0, start, 4) == 4 && std::memcmp(start, "MSCF", 4) == 0)
      throw Error{ERROR_UNEXPECTED_EOF, path};
    throw Error{ERROR_NOT_ARC_FILE, path};
  }
  arc::InputFile file(path);
  switch (cab::ReadDirectory(ReaderOf(file), where.offset, file.Size(), walkBlocks, where.directory)) {
    case cab::DirectoryResult::Ok:
      return where;
    case cab::DirectoryResult::Truncated:
      throw Error{ERROR_UNEXPECTED_EOF, path};
    case cab::DirectoryResult::NotCabinet:
      throw Error{ERROR_NOT_ARC_FILE, path};
    default:
      throw Error{ERROR_HEADER_BROKEN, path};
  }
}

std::wstring EntryName(const cab::FileInfo& file) {
  std::wstring name = file.attributes & cab::AttributeNameIsUtf8 ? arc::FromCodePage(file.name, CP_UTF8)
                                                                 : arc::FromAnsi(file.name);
  for (auto& c : name) {
    if (c == L'\\') c = L'/';
  }
  return name;
}

// What the directory knows of one file, as an entry.
void Describe(const cab::Directory& directory, const cab::FileInfo& file, arc::EntryInfo& entry) {
  entry.name = EntryName(file);
  entry.originalSize = file.size;
  entry.osType = OSTYPE_MSDOS;
  entry.attributes = file.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                        FILE_ATTRIBUTE_ARCHIVE);
  entry.writeTime = arc::FileTimeFromDos(file.date, file.time);
  entry.compressedSize = file.size;
  if (file.folder < directory.folders.size()) {
    const auto& folder = directory.folders[file.folder];
    entry.method = cab::CompressionText(folder.compression);
    // A folder compresses its files together: each gets its share.
    if (folder.unpackedBytes > 0 && folder.packedBytes > 0)
      entry.compressedSize = static_cast<uint64_t>(static_cast<double>(file.size) * folder.packedBytes /
                                                   folder.unpackedBytes);
  }
}

// The listing straight from the directory: nothing is decompressed.
class DirectoryCursor : public arc::EntryCursor {
 public:
  explicit DirectoryCursor(Located where) : where_(std::move(where)) {}
  bool Next(arc::EntryInfo& entry) override {
    if (next_ >= where_.directory.files.size()) return false;
    entry = arc::EntryInfo{};
    Describe(where_.directory, where_.directory.files[next_++], entry);
    return true;
  }

 private:
  Located where_;
  size_t next_ = 0;
};

// Entries with their data, through libarchive; each one completed from the
// directory (libarchive reads the files in directory order).
std::unique_ptr<arc::EntryReader> OpenData(const std::wstring& path, bool searchAll) {
  auto where = std::make_shared<Located>(Locate(path, searchAll, true));
  std::string charset = family::AnsiCharsetOption();
  auto inner = arc::OpenLibarchive(path, arc::ReadFormats::All, charset.c_str(), where->offset);
  auto next = std::make_shared<size_t>(0);
  return std::make_unique<family::AdaptedReader>(std::move(inner), [where, next](arc::EntryInfo& entry) {
    const auto& files = where->directory.files;
    for (size_t i = *next; i < files.size(); ++i) {
      if (arc::Lower(EntryName(files[i])) != arc::Lower(entry.name)) continue;
      Describe(where->directory, files[i], entry);
      *next = i + 1;
      break;
    }
    return true;
  }, true);
}

// ------------------------------------------------------------------ adding

// Two names of one entry compare equal whatever their case and separators.
std::wstring NameKey(std::wstring name) {
  for (auto& c : name) {
    if (c == L'\\') c = L'/';
  }
  return arc::Lower(name);
}

// Names are stored in plain ASCII when they are, otherwise in UTF-8 with the
// format's mark, which every reader of cabinets understands.
void StoreName(const std::wstring& name, cab::FileToWrite& file) {
  std::wstring stored = name;
  for (auto& c : stored) {
    if (c == L'/') c = L'\\';
  }
  bool ascii = std::all_of(stored.begin(), stored.end(), [](wchar_t c) { return c < 0x80; });
  file.name = ascii ? arc::ToAnsi(stored) : arc::ToCodePage(stored, CP_UTF8);
  if (!ascii) file.attributes |= cab::AttributeNameIsUtf8;
}

// Reads a file on disk when the writer first asks for it, and closes it at its end.
std::function<size_t(void*, size_t)> DiskReader(const std::wstring& path) {
  // Shared: the writer copies the reader, and the last copy closes the file.
  auto handle = std::make_shared<TFileHandle>();
  auto done = std::make_shared<bool>(false);
  return [path, handle, done](void* buffer, size_t size) -> size_t {
    if (*done) return 0;
    if (!*handle) {
      handle->reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
      if (!*handle) return SIZE_MAX;
    }
    DWORD got = 0;
    if (!ReadFile(handle->get(), buffer, static_cast<DWORD>(size), &got, nullptr)) return SIZE_MAX;
    if (got == 0) {
      handle->reset();
      *done = true;
    }
    return got;
  };
}

// The cabinet being written, after whatever precedes it (a self-extractor's
// program when adding to one).
class AtomicOutput : public cab::Output {
 public:
  AtomicOutput(arc::AtomicFile& file, uint64_t base) : file_(file), base_(base) {}
  bool Write(const void* data, size_t size) override {
    file_.Write(data, size);
    return true;
  }
  bool WriteAt(uint64_t offset, const void* data, size_t size) override {
    uint64_t end = file_.Position();
    file_.Seek(base_ + offset);
    file_.Write(data, size);
    file_.Seek(end);
    return true;
  }

 private:
  arc::AtomicFile& file_;
  uint64_t base_;
};

// Copies the first size bytes of a file into out.
void CopyStart(const std::wstring& path, uint64_t size, arc::AtomicFile& out) {
  arc::InputFile in(path);
  std::vector<char> block(256 * 1024);
  for (uint64_t at = 0; at < size;) {
    size_t got = in.ReadAt(at, block.data(), static_cast<size_t>(std::min<uint64_t>(block.size(), size - at)));
    if (got == 0) throw Error{ERROR_CANNOT_READ, path};
    out.Write(block.data(), got);
    at += got;
  }
}

int Add(const family::Positional& words, const arc::Switches& options, arc::Output& output) {
  std::wstring archive = arc::FullPath(words.archive);
  bool exists = arc::FileExists(archive);
  Located old;
  if (exists) {
    if (GetFileAttributesW(archive.c_str()) & FILE_ATTRIBUTE_READONLY) throw Error{ERROR_ARC_READ_ONLY, archive};
    old = Locate(archive, false, true);
    if (old.directory.flags & (cab::PreviousCabinet | cab::NextCabinet))
      throw Error{ERROR_NOT_SUPPORT, archive};  // one cabinet of a set
  }

  arc::CollectOptions collect;
  collect.recursion = options.Number(L"r", 0) > 0 ? 2 : 0;
  collect.shortNames = options.Number(L"q", 0) > 0;
  std::vector<arc::FoundFile> found = arc::CollectFiles(words.folder, words.names, collect);
  std::wstring self = arc::Lower(archive);
  bool flat = options.Number(L"j", 0) > 0;
  std::vector<cab::FileToWrite> added;
  std::vector<const arc::FoundFile*> sources;
  std::map<std::wstring, size_t> byName;
  int warning = 0;
  for (const auto& file : found) {
    if (file.isDirectory || arc::Lower(arc::FullPath(file.fullPath)) == self) continue;
    std::wstring stored = arc::SanitizeEntryPath(file.relative);
    if (flat) stored = arc::FileNameOf(stored);
    if (stored.empty()) continue;
    if (file.size > cab::MaxFolderSize) {
      output.Message(ERROR_TOO_BIG, file.fullPath);
      if (warning == 0) warning = ERROR_TOO_BIG;
      continue;
    }
    if (!byName.emplace(NameKey(stored), added.size()).second) continue;  // the first of two same names wins
    cab::FileToWrite item;
    item.size = static_cast<uint32_t>(file.size);
    arc::DosDateTime(file.writeTime, item.dosDate, item.dosTime);
    item.attributes = static_cast<uint16_t>(file.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    StoreName(stored, item);
    item.read = DiskReader(file.fullPath);
    added.push_back(std::move(item));
    sources.push_back(&file);
  }
  if (added.empty()) throw Error{ERROR_NOT_FIND_FILE, words.names.empty() ? L"*.*" : words.names.front()};

  // Entries of the old cabinet that no new file replaces come first, read
  // back through libarchive in their order.
  std::vector<cab::FileToWrite> files;
  std::shared_ptr<arc::EntryReader> oldData;
  if (exists) oldData = OpenData(archive, false);
  for (const auto& file : old.directory.files) {
    std::wstring name = EntryName(file);
    if (byName.count(NameKey(name)) > 0) continue;
    cab::FileToWrite item;
    item.name = file.name;
    item.size = file.size;
    item.dosDate = file.date;
    item.dosTime = file.time;
    item.attributes = file.attributes;
    auto started = std::make_shared<bool>(false);
    item.read = [oldData, name, started](void* buffer, size_t size) -> size_t {
      if (!*started) {
        *started = true;
        arc::EntryInfo entry;
        do {
          if (!oldData->Next(entry)) return SIZE_MAX;
        } while (arc::Lower(entry.name) != arc::Lower(name));
      }
      return oldData->Read(buffer, size);
    };
    files.push_back(std::move(item));
  }
  size_t firstNew = files.size();
  for (auto& item : added) files.push_back(std::move(item));

  arc::AtomicFile out(archive, options.Text(L"h").value);
  if (old.offset > 0) CopyStart(archive, old.offset, out);
  AtomicOutput cabinet(out, old.offset);
  arc::Progress progress(archive);
  if (!progress.Open()) throw Error{ERROR_USER_CANCEL, L""};
  size_t current = SIZE_MAX;
  uint64_t reported = 0;
  // Reports cover the new files only: they are what the caller asked for.
  auto report = [&](size_t index, uint64_t done) {
    if (index < firstNew) return true;
    if (index != current) {
      if (current != SIZE_MAX && !progress.Finish()) return false;
      current = index;
      reported = 0;
      const arc::FoundFile& source = *sources[index - firstNew];
      arc::EntryInfo info;
      info.name = arc::FromCodePage(files[index].name,
                                    files[index].attributes & cab::AttributeNameIsUtf8 ? CP_UTF8 : CP_ACP);
      info.originalSize = files[index].size;
      info.attributes = files[index].attributes & 0x27;
      info.method = "MSZIP";
      info.writeTime = source.writeTime;
      if (!progress.Begin(info, source.fullPath)) return false;
    }
    bool go = progress.Advance(done - reported);
    reported = done;
    return go;
  };
  size_t failed = 0;
  cab::WriteResult result = cab::WriteCabinet(files, cabinet, 6, report, failed);
  std::wstring culprit = failed < firstNew || files.empty()
                             ? archive
                             : sources[std::min(failed - firstNew, sources.size() - 1)]->fullPath;
  switch (result) {
    case cab::WriteResult::Ok:
      break;
    case cab::WriteResult::Cancelled:
      throw Error{ERROR_USER_CANCEL, L""};
    case cab::WriteResult::TooManyFiles:
      throw Error{ERROR_TOO_MANY_FILES, archive};
    case cab::WriteResult::TooBig:
      throw Error{ERROR_TOO_BIG, archive};
    case cab::WriteResult::ReadError:
    case cab::WriteResult::SizeChanged:
      throw Error{ERROR_CANNOT_READ, culprit};
    case cab::WriteResult::WriteError:
      throw Error{ERROR_CANNOT_WRITE, archive};
  }
  if (current != SIZE_MAX && !progress.Finish()) throw Error{ERROR_USER_CANCEL, L""};
  progress.End();
  for (size_t i = firstNew; i < files.size(); ++i)
    output.Line(L"+ " + arc::FromCodePage(files[i].name, files[i].attributes & cab::AttributeNameIsUtf8 ? CP_UTF8
                                                                                                     : CP_ACP));
  // The readers of the old cabinet hold it open; it is replaced next.
  files.clear();
  oldData.reset();
  out.Commit();
  return warning;
}

// ---------------------------------------------------------- self-extractor

// The self-extractor program: the GUI stub beside this library.
constexpr wchar_t SfxStub[] = L"sfx32gui.dat";

std::wstring ModuleFolder() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ModuleFolder), &self);
  std::wstring path(32768, L'\0');
  DWORD length = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return arc::FolderOf(path);
}

int MakeSfx(const family::Positional& words, arc::Output& output) {
  std::wstring archive = arc::FullPath(words.archive);
  Located where = Locate(archive, false, true);  // a damaged cabinet makes no self-extractor
  if (where.offset > 0) throw Error{ERROR_NOT_SUPPORT, archive};  // already one
  std::wstring stub = arc::JoinPath(ModuleFolder(), SfxStub);
  if (!arc::FileExists(stub))
    throw Error{ERROR_NOT_SUPPORT, L"自己解凍モジュール " + std::wstring(SfxStub) + L" がありません。"};
  std::wstring name = arc::FileNameOf(archive);
  size_t dot = name.rfind(L'.');
  name = (dot == std::wstring::npos ? name : name.substr(0, dot)) + L".exe";
  std::wstring folder = words.folder.empty() ? arc::FolderOf(archive) : arc::FullPath(words.folder);
  if (!arc::CreateFolders(folder)) throw Error{ERROR_MAKEDIRECTORY, folder};
  std::wstring target = arc::JoinPath(folder, name);
  // The stub finds the cabinet right after its own program image.
  arc::AtomicFile out(target);
  for (const auto& part : {stub, archive}) CopyStart(part, arc::InputFile(part).Size(), out);
  out.Commit();
  output.Line(target);
  return 0;
}

// ------------------------------------------------------------------ entries

int RunCab(HWND, const std::string& text, arc::Output& output) {
  arc::CommandLine line = arc::ParseCommandLine(text, {}, false);
  std::wstring command;
  std::vector<std::wstring> switches = line.switches;
  if (!switches.empty()) {
    std::wstring first = arc::Lower(switches.front());
    if (first == L"x" || first == L"a" || first == L"l" || first == L"t" || first == L"f" || first == L"e" ||
        first == L"v") {
      command = first;
      switches.erase(switches.begin());
    }
  }
  if (command.empty()) throw Error{ERROR_COMMAND_NAME, switches.empty() ? L"" : L"-" + switches.front()};
  arc::Switches options(switches, {L"o", L"i", L"r", L"h", L"j", L"q", L"n", L"y"});
  family::Positional words = family::SplitPositional(line);
  family::Selection selection(words.names, true);

  if (command == L"a") return Add(words, options, output);
  if (command == L"f") return MakeSfx(words, output);
  std::wstring archive = arc::FullPath(words.archive);
  selection.Settle([&] { return std::make_unique<DirectoryCursor>(Locate(archive, false, true)); });
  if (command == L"l" || command == L"v") {
    DirectoryCursor cursor(Locate(archive, false, true));
    return family::ListEntries(cursor, selection, output);
  }
  arc::ExtractOptions extract;
  extract.destination = words.folder;
  extract.keepFolders = command != L"e" && options.Number(L"j", 0) == 0;
  extract.overwrite = options.Number(L"o", 0) > 0;
  extract.testOnly = command == L"t";
  extract.namesGiven = arc::NamesSelect(words.names);
  family::AdaptedReader reader(OpenData(archive, false),
                               [&](arc::EntryInfo& entry) { return selection.Matches(entry.name); });
  return arc::ExtractEntries(reader, archive, extract, output).code;
}

std::unique_ptr<arc::EntryCursor> OpenListing(const std::wstring& path, DWORD) {
  return std::make_unique<DirectoryCursor>(Locate(path, false, true));
}

bool CheckCab(const std::wstring& path, int mode) {
  bool all = (mode & CHECKARCHIVE_ALL) != 0;
  switch (mode & 3) {
    case CHECKARCHIVE_RAPID:
      Locate(path, all, false);
      return true;
    case CHECKARCHIVE_FULLCRC: {
      auto reader = OpenData(path, all);
      return family::ReadAllData(*reader);
    }
    default:
      Locate(path, all, true);
      return true;
  }
}

int ExtractMem(HWND, const std::string& text, arc::MemoryTarget& target, arc::Output&) {
  return family::ExtractMemory(text, {}, [](const std::wstring& path) { return OpenData(path, false); }, target);
}

}  // namespace

ARC_EXPORT_COMMAND(Cab, RunCab)
ARC_EXPORT_COMMON(Cab, 100)
ARC_EXPORT_LISTING(Cab, OpenListing, CheckCab)
ARC_EXPORT_EXTRACTMEM(Cab, ExtractMem)
