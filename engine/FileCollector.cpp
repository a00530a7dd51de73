#include "engine/FileCollector.h"

#include "engine/EngineTexts.h"
#include "engine/Handles.h"
#include "engine/TextUtil.h"

#include <cstring>
#include <map>
#include <set>
#include <tuple>

namespace {

constexpr ULONGLONG TicksPerSecond = 10000000ULL;

// The system's case-insensitive order as a byte string, so that a large list
// is sorted and searched without a system call per comparison.
std::string SortKey(const std::string& name) {
  // One call for the usual path; only a long one asks for its size first.
  char buffer[2048];
  int size = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, name.c_str(),
                          static_cast<int>(name.size()), buffer, sizeof buffer);
  if (size > 0) return std::string(buffer, size);
  size = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, name.c_str(),
                      static_cast<int>(name.size()), nullptr, 0);
  if (size <= 0) return name;
  std::string key(size, '\0');
  LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, name.c_str(),
               static_cast<int>(name.size()), reinterpret_cast<char*>(key.data()), size);
  return key;
}

bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

// Byte offset just past the last "\", "/" or ":", double-byte aware.
size_t NameStart(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size())
      ++i;
    else if (IsSeparator(path[i]))
      start = i + 1;
  }
  return start;
}

bool EndsWithSeparator(const std::string& path) {
  if (path.empty()) return false;
  if (EndsWithBackslash(path)) return true;
  // "/" and ":" are never trail bytes of a double-byte character.
  return path.back() == '/' || path.back() == ':';
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return EndsWithSeparator(folder) ? folder + name : folder + "\\" + name;
}

// The directory part without its trailing backslash, except at a root.
std::string DirectoryPart(const std::string& path) {
  std::string folder = path.substr(0, NameStart(path));
  bool root = folder == "\\" || folder == "/" || (folder.size() == 3 && folder[1] == ':');
  if (!root && folder.size() > 1 && (folder.back() == '/' || EndsWithBackslash(folder)) &&
      folder[folder.size() - 2] != ':')
    folder.pop_back();
  return folder;
}

bool HasWildcard(const std::string& mask) { return mask.find_first_of("*?") != std::string::npos; }

// The path made absolute with the long-path prefix, so that searching below
// a deep folder does not stop at MAX_PATH characters.
std::wstring LongPath(const std::string& path) {
  std::wstring wide = AnsiToWide(path);
  DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return wide;
  std::wstring full(length, L'\0');
  length = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  if (length == 0 || length >= full.size()) return wide;
  full.resize(length);
  if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

bool IsDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// What the search needs of one match, its names in the system code page.
struct TFound {
  std::string name, shortName;
  DWORD attributes;
  FILETIME written;
};

// Every match of folder + mask; nothing when there is none.
std::vector<TFound> FindAll(const std::string& pattern) {
  std::vector<TFound> found;
  WIN32_FIND_DATAW data;
  TFindHandle find(FindFirstFileW(LongPath(pattern).c_str(), &data));
  if (!find) return found;
  do {
    found.push_back({WideToAnsi(data.cFileName), WideToAnsi(data.cAlternateFileName),
                     data.dwFileAttributes, data.ftLastWriteTime});
  } while (FindNextFileW(find.get(), &data));
  return found;
}

// The "*.*" listings of the folders, shared by the exclusion search and the
// main search: each folder is read once for its files and its sub-folders.
class TListings {
 public:
  // keep: a later search reads the same folder again (the listing stays
  // here); otherwise the listing moves into storage.
  const std::vector<TFound>& All(const std::string& folder, bool keep, std::vector<TFound>& storage) {
    std::string pattern = Join(folder, "*.*");
    auto found = listings_.find(pattern);
    if (keep) {
      if (found == listings_.end()) found = listings_.emplace(pattern, FindAll(pattern)).first;
      return found->second;
    }
    if (found == listings_.end()) {
      storage = FindAll(pattern);
    } else {
      storage = std::move(found->second);
      listings_.erase(found);
    }
    return storage;
  }

 private:
  std::map<std::string, std::vector<TFound>> listings_;
};

// A folder as the file system knows it, whatever path reaches it.
struct TFolderIdentity {
  DWORD volume = 0, high = 0, low = 0;
  bool operator<(const TFolderIdentity& other) const {
    return std::tie(volume, high, low) < std::tie(other.volume, other.high, other.low);
  }
};

bool FolderIdentityOf(const std::string& folder, TFolderIdentity& identity) {
  TFileHandle handle(CreateFileW(LongPath(folder).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!handle || !GetFileInformationByHandle(handle.get(), &info)) return false;
  identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

bool IsAbsolute(const std::string& path) {
  return (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

// Enters a folder and returns to where it was (the drive's own current folder
// first), also when the collection fails.
class TDirectoryVisit {
 public:
  explicit TDirectoryVisit(const std::string& folder) {
    if (folder.empty()) return;
    saved_ = CurrentDirectory();
    if (folder.size() >= 2 && folder[1] == ':' && IsCharAlphaA(folder[0])) {
      char drive[3] = {folder[0], ':', '\0'};
      std::string full(GetFullPathNameA(drive, 0, nullptr, nullptr), '\0');
      DWORD length = GetFullPathNameA(drive, static_cast<DWORD>(full.size()), full.data(), nullptr);
      if (length > 0 && length < full.size()) driveSaved_ = full.substr(0, length);
    }
    if (!SetCurrentDirectoryA(folder.c_str())) {
      // The current folder cannot be longer than MAX_PATH: a deeper base is
      // joined to each relative name instead.
      if (folder.size() >= MAX_PATH - 1 && IsDirectory(folder)) return;
      // Collecting elsewhere would add the wrong files.
      throw EArchiver(FormatMessageText(engine_texts::CannotEnterFolder, {AnsiToWide(folder)}));
    }
    entered_ = true;
  }
  // The folder that relative names are joined to: empty when it was entered.
  std::string Prefix(const std::string& folder) const { return entered_ || folder.empty() ? std::string() : folder; }
  ~TDirectoryVisit() {
    if (!entered_) return;
    if (!driveSaved_.empty()) SetCurrentDirectoryA(driveSaved_.c_str());
    SetCurrentDirectoryA(saved_.c_str());
  }
  TDirectoryVisit(const TDirectoryVisit&) = delete;
  TDirectoryVisit& operator=(const TDirectoryVisit&) = delete;

 private:
  static std::string CurrentDirectory() {
    DWORD length = GetCurrentDirectoryA(0, nullptr);
    std::string path(length, '\0');
    length = GetCurrentDirectoryA(length, path.data());
    path.resize(length);
    return path;
  }
  std::string saved_, driveSaved_;
  bool entered_ = false;
};

class TCollector {
 public:
  TCollector(const TArchiverOptions& options, const std::string& baseDirectory, bool& cancel, TListings& listings,
             bool keepListings, const std::string& prefix = {})
      : options_(options), base_(baseDirectory), cancel_(cancel), listings_(listings), keepListings_(keepListings),
        prefix_(prefix) {
    lower_ = DateTextToLocalTime(options.jo, "000000");
    upper_ = DateTextToLocalTime(options.job, "235959");
    // Folders are taken only when empty (the files stand for the others);
    // hidden and system files only when asked.
    excluded_ = FILE_ATTRIBUTE_DIRECTORY;
    emptyFolders_ = options.x != 0;
    if (options.a <= 0) excluded_ |= FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  }

  // Runs the search over names; found files go into result (key -> name).
  void Search(const std::vector<std::string>& names, std::map<std::string, std::string>& result,
              const std::set<std::string>* exclusions, const TCollectProgress* progress,
              bool emptyListFallback) {
    result_ = &result;
    exclusions_ = exclusions;
    progress_ = progress;
    if (progress_ != nullptr) record_ = TExtractingInfoEx{};
    for (const auto& given : names) {
      if (cancel_) return;
      // "-gb<name>": the rest is the file's own name, not a pattern; no
      // file name holds a wildcard character.
      bool literal = IsLiteralNameMark(given);
      std::string name = literal ? given.substr(3) : given;
      if (!prefix_.empty() && !name.empty() && !IsAbsolute(name)) name = Join(prefix_, name);
      if (literal && HasWildcard(name)) continue;
      if (options_.r > 1 && !name.empty() && IsDirectory(name))
        Scan(name, "*.*");
      else
        Scan(DirectoryPart(name), name.substr(NameStart(name)));
    }
    if (names.empty() && emptyListFallback) Scan(prefix_, "*.*");
  }

 private:
  // identity: the folder's, when the caller has asked for it already.
  void Scan(const std::string& folder, const std::string& mask, const TFolderIdentity* identity = nullptr) {
    if (mask.empty()) return;  // an empty name matches nothing
    bool descend = options_.r > 0 && (options_.p <= 0 || HasWildcard(mask));
    // "*.*" finds the files and the sub-folders in one listing.
    std::vector<TFound> storage;
    const std::vector<TFound>* all = nullptr;
    const std::vector<TFound>* files = nullptr;
    if (descend && mask == "*.*") {
      files = all = &listings_.All(folder, keepListings_, storage);
      // An empty folder has no file to stand for it: it is handed on itself,
      // so that it comes back on extraction.
      if (emptyFolders_ && !folder.empty() && IsEmptyListing(*all) && IsDirectory(folder)) {
        Take(options_.jf == -2 && !base_.empty() ? RelativeToBase(folder) : folder);
        return;
      }
    } else {
      storage = FindAll(Join(folder, mask));
      files = &storage;
    }
    for (const auto& match : *files) {
      if (cancel_) break;
      if (IsDots(match.name) || (match.attributes & excluded_) != 0) continue;
      if (!InDateWindow(match.written)) continue;
      Take(PathOf(folder, match));
    }
    if (cancel_ || !descend) return;
    if (!all) all = &listings_.All(folder, keepListings_, storage);
    // The listing is finished before descending, so no search handle stays open.
    std::vector<std::string> folders;
    for (const auto& match : *all)
      if ((match.attributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDots(match.name))
        folders.push_back(PathOf(folder, match));
    // A junction or link may lead back to a folder being searched: that
    // folder is not entered again, or the search would never end.
    TFolderIdentity self;
    bool known = identity != nullptr;
    if (known) self = *identity;
    else known = FolderIdentityOf(folder.empty() ? "." : folder, self);
    if (known && !ancestors_.insert(self).second) return;
    for (const auto& sub : folders) {
      if (cancel_) break;
      // Each folder is asked once (an open and a close each).
      TFolderIdentity child;
      bool childKnown = FolderIdentityOf(sub, child);
      if (childKnown && ancestors_.count(child) != 0) continue;
      Scan(sub, mask, childKnown ? &child : nullptr);
    }
    if (known) ancestors_.erase(self);
  }

  static bool IsDots(const std::string& name) { return name == "." || name == ".."; }

  static bool IsEmptyListing(const std::vector<TFound>& listing) {
    for (const auto& match : listing)
      if (!IsDots(match.name)) return false;
    return true;
  }

  bool InDateWindow(const FILETIME& written) const {
    if (lower_ == 0 && upper_ == 0) return true;
    ULONGLONG time = 0;
    FILETIME local;
    if ((written.dwLowDateTime | written.dwHighDateTime) != 0 &&
        FileTimeToLocalFileTime(&written, &local)) {
      time = (static_cast<ULONGLONG>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
      // Whole seconds: a file written at 23:59:59.5 belongs to that day.
      time -= time % TicksPerSecond;
    }
    return (lower_ == 0 || lower_ <= time) && (upper_ == 0 || time <= upper_);
  }

  std::string PathOf(const std::string& folder, const TFound& match) const {
    const std::string& name =
        options_.ji > 0 && !match.shortName.empty() ? match.shortName : match.name;
    std::string path = Join(folder, name);
    if (options_.jf == -2 && !base_.empty()) path = RelativeToBase(path);
    return path;
  }

  // A path below the base directory without the base; others stay as they are.
  std::string RelativeToBase(const std::string& path) const {
    if (!IsAbsolute(path)) return path;
    std::string base = EndsWithSeparator(base_) ? base_ : base_ + "\\";
    if (path.size() > base.size() &&
        CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, path.c_str(),
                       static_cast<int>(base.size()), base.c_str(),
                       static_cast<int>(base.size())) == CSTR_EQUAL)
      return path.substr(base.size());
    return path;
  }

  void Take(const std::string& path) {
    std::string key = SortKey(path);
    if (exclusions_ != nullptr && exclusions_->count(key) != 0) return;
    if (!result_->emplace(std::move(key), path).second || progress_ == nullptr) return;
    // The name field holds 512 bytes and a NUL; never split a double-byte character.
    size_t length = 0;
    while (length < path.size()) {
      size_t step = IsDBCSLeadByte(static_cast<BYTE>(path[length])) ? 2 : 1;
      if (length + step > FNAME_MAX32) break;
      length += step;
    }
    std::memcpy(record_.szSourceFileName, path.data(), length);
    record_.szSourceFileName[length] = '\0';
    (*progress_)(CollectProgressState, &record_, cancel_);
  }

  const TArchiverOptions& options_;
  std::string base_;
  bool& cancel_;
  TListings& listings_;
  bool keepListings_;
  std::string prefix_;  // the base, when relative names cannot be taken from the current folder
  ULONGLONG lower_ = 0, upper_ = 0;
  DWORD excluded_ = 0;
  bool emptyFolders_ = false;
  std::set<TFolderIdentity> ancestors_;  // the folders the search is inside of
  std::map<std::string, std::string>* result_ = nullptr;
  const std::set<std::string>* exclusions_ = nullptr;
  const TCollectProgress* progress_ = nullptr;
  TExtractingInfoEx record_{};
};

int Digits(const std::string& text, size_t start, size_t count, const std::string& whole) {
  int value = 0;
  for (size_t i = start; i < start + count; ++i) {
    if (text[i] < '0' || text[i] > '9')
      throw EConvertError(FormatMessageText(engine_texts::BadDate, {AnsiToWide(whole)}));
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

ULONGLONG DateTextToLocalTime(const std::string& original, const std::string& defaultTime) {
  std::string text = original;
  if (text.size() > 1 && text[0] == 'l') text.erase(0, 1);
  SYSTEMTIME date{};
  size_t timeStart;
  if (text.size() == 6 || text.size() == 12) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    date.wYear = static_cast<WORD>(now.wYear / 100 * 100 + Digits(text, 0, 2, original));
    timeStart = 6;
  } else if (text.size() == 8 || text.size() == 14) {
    date.wYear = static_cast<WORD>(Digits(text, 0, 4, original));
    timeStart = 8;
  } else {
    return 0;
  }
  date.wMonth = static_cast<WORD>(Digits(text, timeStart - 4, 2, original));
  date.wDay = static_cast<WORD>(Digits(text, timeStart - 2, 2, original));
  std::string clock = text.size() > timeStart ? text.substr(timeStart) : defaultTime;
  date.wHour = static_cast<WORD>(Digits(clock, 0, 2, original));
  date.wMinute = static_cast<WORD>(Digits(clock, 2, 2, original));
  date.wSecond = static_cast<WORD>(Digits(clock, 4, 2, original));
  FILETIME value;
  // The conversion checks the calendar: month 13, 30 February or hour 24 fail.
  if (date.wYear < 1601 || date.wHour > 23 || date.wMinute > 59 || date.wSecond > 59 ||
      !SystemTimeToFileTime(&date, &value))
    throw EConvertError(FormatMessageText(engine_texts::BadDate, {AnsiToWide(original)}));
  return (static_cast<ULONGLONG>(value.dwHighDateTime) << 32) | value.dwLowDateTime;
}

std::vector<std::string> CollectFiles(TArchiverOptions& options, const std::string& baseDirectory,
                                      const TNameList& files, bool& cancel,
                                      const TCollectProgress& progress) {
  std::vector<std::string> names = FlattenNames(files, true);
  TDirectoryVisit visit(baseDirectory);
  TListings listings;
  std::string prefix = visit.Prefix(baseDirectory);
  TCollector collector(options, baseDirectory, cancel, listings, false, prefix);

  std::map<std::string, std::string> excluded;
  bool noCancel = false;
  {
    // The exclusion search never reports and is never cancelled.
    TCollector exclusionCollector(options, baseDirectory, noCancel, listings, true, prefix);
    exclusionCollector.Search(options.jx, excluded, nullptr, nullptr, false);
  }
  std::set<std::string> exclusions;
  for (auto& [key, name] : excluded) exclusions.insert(key);

  std::map<std::string, std::string> found;
  collector.Search(names, found, &exclusions, progress ? &progress : nullptr, true);

  options.r = -1;
  options.jo.clear();
  options.job.clear();
  options.p = 1;
  std::vector<std::string> result;
  result.reserve(found.size());
  for (auto& [key, name] : found) result.push_back(std::move(name));
  return result;
}
